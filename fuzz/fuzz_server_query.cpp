// The vendor server's request parsing: request heads, percent-decoding and queries.
#include "request.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);

  if (const size_t end = kxs::HeadEnd(in); end != std::string::npos) {
    if (auto head = kxs::ParseHead(in.substr(0, end))) {
      if (head->target.empty() || head->target[0] != '/') std::abort();
    }
  }

  std::string decoded;
  if (kxs::PercentDecode(in, decoded) && decoded.size() > in.size()) std::abort();

  // Escaping every byte and decoding gives the bytes back.
  static const char hex[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : in) escaped += {'%', hex[c >> 4], hex[c & 15]};
  if (!kxs::PercentDecode(escaped, decoded) || decoded != in) std::abort();

  const kxs::Query q = kxs::ParseQuery(in);
  if (!q.error.empty() && !q.values.empty()) std::abort();
  if (q.error.empty() && in.find('%') == std::string::npos) {
    // Without escapes every key and value appears in the query as it is.
    for (const auto& [k, v] : q.values)
      if (in.find(k) == std::string::npos || in.find(v) == std::string::npos) std::abort();
  }
  return 0;
}
