// Scripted answers per URL. A body is handed out in 256-byte blocks with the yield after
// each, as the real client reads it, so callers' yield counts and early stops are testable.
// The deadline is real time, as the real client's is: a yield that outlasts it fails the request.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/services.h"

namespace kx::fakes {

class FakeWeb final : public Web {
 public:
  struct Response {
    std::string body;
    int status = 200;
    bool fail = false;           // no connection: nothing arrives
    int failAfterBlocks = -1;    // the connection drops (or the deadline passes) after this many blocks
    bool endless = false;        // the body repeats without end, a block a millisecond, as a stream would
  };

  WebResult Get(const std::string& url, const WebOptions& options,
                const std::function<bool(size_t)>& yield) override;

  void Serve(const std::string& url, const std::string& body, int status = 200) {
    responses[url] = Response{body, status};
  }
  void Fail(const std::string& url) { responses[url] = Response{{}, 0, true}; }

  std::map<std::string, Response> responses;  // exact URL; anything else fails
  std::vector<std::string> requests;          // every URL asked for, in order
  WebOptions lastOptions;
  int yields = 0;                             // yield calls over all requests
};

}  // namespace kx::fakes
