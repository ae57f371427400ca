// The program's one-shot requests to the vendor's servers: a whole answer as text, with the
// window kept responsive while it arrives, a deadline and a cap on its size.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/services.h"

namespace kx {

struct FetchResult {
  bool complete = false;  // the whole answer arrived
  int status = 0;         // HTTP status when known
  std::string text;       // the answer; empty unless complete
  bool Good() const { return complete && status == 200; }
};

class WebFetch {
 public:
  // pump: runs the window's pending messages between blocks.
  WebFetch(Web& web, std::function<void()> pump, WebOptions options = {})
      : web_(web), pump_(std::move(pump)), options_(options) {}

  // progress, when given, hears "Downloaded N bytes." after every block after the first.
  FetchResult Fetch(const std::string& url, size_t maxBytes,
                    const std::function<void(const std::string&)>& progress = {});
  // The answer's text whatever its status (an error page too); empty when no whole answer
  // arrived, so a cut-off answer is never taken for a short one.
  std::string FetchUrlText(const std::string& url, size_t maxBytes = kSmallAnswer);
  std::string FetchUrlTextWithProgress(const std::string& url,
                                       const std::function<void(const std::string&)>& progress,
                                       size_t maxBytes = kSmallAnswer);

  static constexpr size_t kSmallAnswer = 64u << 10;

 private:
  Web& web_;
  std::function<void()> pump_;
  WebOptions options_;
};

// A query value with everything but letters, digits and "-._~" percent-encoded, so blanks,
// "/" and "&" in a date, and any byte of an encoded line, arrive as they were sent.
std::string EncodeQueryValue(const std::string& value);

}  // namespace kx
