// A cookie file as the cookie scan reads it: the first line is taken as the file's path, the
// rest as its bytes. The site comes from the name, the domain from the comma-separated fields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scan/cookie_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find('\n');
  std::string_view path = input.substr(0, cut);
  std::string_view body = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

  std::string site = kx::GetCookieSite(path);
  if (!site.empty() && path.find(site) == std::string_view::npos) __builtin_trap();
  for (std::string_view s : {std::string_view(site), path.substr(0, path.size() % 7)}) {
    size_t fields = 0;
    std::string domain = kx::CookieDomainInText(body, s, [&] { ++fields; });
    if (fields > body.size()) __builtin_trap();  // every field takes at least one byte
    if (domain == "False") continue;
    // A domain begins with the site (cut at the site's own "/", if it has one), stops before
    // a "/" and stays inside one line of the file.
    const size_t n = std::min(s.size(), domain.size());
    if (s.empty() || domain.compare(0, n, s.substr(0, n)) != 0) __builtin_trap();
    if (s.find('/') == std::string_view::npos && domain.size() < s.size()) __builtin_trap();
    if (domain.find_first_of("/\r\n") != std::string::npos) __builtin_trap();
    if (body.find(domain) == std::string_view::npos) __builtin_trap();
    if (kx::MatchingCookieDomain(domain).size() > domain.size()) __builtin_trap();
  }
  return 0;
}
