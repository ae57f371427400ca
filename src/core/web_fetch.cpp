#include "core/web_fetch.h"

namespace kx {

FetchResult WebFetch::Fetch(const std::string& url, size_t maxBytes,
                            const std::function<void(const std::string&)>& progress) {
  WebOptions options = options_;
  options.maxBytes = maxBytes;
  bool first = true;
  WebResult r = web_.Get(url, options, [&](size_t received) {
    if (progress && !first) progress("Downloaded " + std::to_string(received) + " bytes.");
    first = false;
    if (pump_) pump_();
    return true;
  });
  FetchResult out;
  out.complete = r.ok;
  out.status = r.status;
  if (r.ok) out.text = std::move(r.body);
  return out;
}

std::string WebFetch::FetchUrlText(const std::string& url, size_t maxBytes) {
  return Fetch(url, maxBytes).text;
}

std::string WebFetch::FetchUrlTextWithProgress(const std::string& url,
                                               const std::function<void(const std::string&)>& progress,
                                               size_t maxBytes) {
  return Fetch(url, maxBytes, progress).text;
}

std::string EncodeQueryValue(const std::string& value) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size() * 3);
  for (unsigned char c : value) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace kx
