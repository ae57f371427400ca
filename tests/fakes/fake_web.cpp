#include "fakes/fake_web.h"

namespace kx::fakes {

WebResult FakeWeb::Get(const std::string& url, const WebOptions& options,
                       const std::function<bool(size_t)>& yield) {
  requests.push_back(url);
  lastOptions = options;
  WebResult r;
  auto it = responses.find(url);
  if (it == responses.end() || it->second.fail) return r;
  const Response& resp = it->second;
  r.status = resp.status;
  int blocks = 0;
  for (size_t at = 0; at < resp.body.size(); at += 256) {
    if (resp.failAfterBlocks >= 0 && blocks >= resp.failAfterBlocks) return r;
    const std::string block = resp.body.substr(at, 256);
    if (r.body.size() + block.size() > options.maxBytes) {
      r.body.append(block, 0, options.maxBytes - r.body.size());
      return r;
    }
    r.body += block;
    ++blocks;
    ++yields;
    if (yield && !yield(r.body.size())) return r;
  }
  if (resp.failAfterBlocks >= 0 && blocks >= resp.failAfterBlocks) return r;
  r.ok = true;
  return r;
}

}  // namespace kx::fakes
