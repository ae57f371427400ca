// The vendor server's own request handling (libmicrohttpd reads the request heads):
// percent-decoding, queries and the escaping of log lines.
#include "request.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);

  // A log line shows printable ASCII only, and the bytes can be read back from it.
  const std::string shown = kxs::EscapeForLog(in);
  std::string back;
  for (size_t i = 0; i < shown.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(shown[i]);
    if (c < 0x20 || c >= 0x7f) std::abort();
    if (c != '\\') {
      back += shown[i];
      continue;
    }
    if (i + 3 >= shown.size() || shown[i + 1] != 'x') std::abort();
    back += static_cast<char>(std::stoi(shown.substr(i + 2, 2), nullptr, 16));
    i += 3;
  }
  if (back != in) std::abort();

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
