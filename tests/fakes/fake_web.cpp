#include "fakes/fake_web.h"

#include <chrono>
#include <thread>

namespace kx::fakes {

WebResult FakeWeb::Get(const std::string& url, const WebOptions& options,
                       const std::function<bool(size_t)>& yield) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(options.deadlineMs);
  requests.push_back(url);
  lastOptions = options;
  WebResult r;
  auto it = responses.find(url);
  if (it == responses.end() || it->second.fail) return r;
  const Response& resp = it->second;
  if (resp.endless && resp.body.empty()) return r;  // would never move
  r.status = resp.status;
  int blocks = 0;
  for (size_t at = 0; resp.endless || at < resp.body.size(); at += 256) {
    if (resp.failAfterBlocks >= 0 && blocks >= resp.failAfterBlocks) return r;
    std::string block;
    if (resp.endless) {
      // Paced, so a body the deadline ends stays as small as a network's would.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (Clock::now() >= deadline) return r;
      for (size_t i = 0; i < 256; ++i) block.push_back(resp.body[(at + i) % resp.body.size()]);
    } else {
      block = resp.body.substr(at, 256);
    }
    if (r.body.size() + block.size() > options.maxBytes) {
      r.body.append(block, 0, options.maxBytes - r.body.size());
      return r;
    }
    r.body += block;
    ++blocks;
    ++yields;
    if (yield && !yield(r.body.size())) return r;
    if (Clock::now() >= deadline) return r;
  }
  if (resp.failAfterBlocks >= 0 && blocks >= resp.failAfterBlocks) return r;
  r.ok = true;
  return r;
}

}  // namespace kx::fakes
