// The blocked-cookie match over arbitrary lists and domains: the index built once per phase
// must answer exactly as the literal rule does. Input lines: the domain, then the
// definition lines, joined and split on "|" as BlockedCookies.dat is.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "definitions/records.h"
#include "scan/cookie_scanner.h"

namespace {

void Check(const std::vector<std::string>& list, const kx::BlockedCookieIndex& index, const std::string& domain) {
  if (index.IsBlocked(domain) != kx::IsBlockedCookieDomain(list, domain)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines = kx::Split(input, '\n');
  std::string domain = lines.front();
  lines.erase(lines.begin());
  if (lines.size() > 256) lines.resize(256);
  std::vector<std::string> list = kx::BlockedCookieList(lines);
  kx::BlockedCookieIndex index(list);

  Check(list, index, domain);
  Check(list, index, kx::LowerAnsi(domain));
  Check(list, index, kx::UpperAnsi(domain));
  Check(list, index, kx::MatchingCookieDomain(domain));
  Check(list, index, "");
  // Domains near the entries, so that matches are common rather than rare.
  for (size_t i = 0; i < list.size() && i < 32; ++i) {
    const std::string& e = list[i];
    std::string near = e.substr(0, e.rfind('.') == std::string::npos ? e.size() : e.rfind('.'));
    Check(list, index, near);
    if (size_t star = near.find('*'); star != std::string::npos) near.erase(star, 1);
    Check(list, index, near);
    Check(list, index, kx::UpperAnsi(near));
    Check(list, index, e);
  }
  // The raw lines as a list of their own, "|" and all.
  kx::BlockedCookieIndex raw(lines);
  Check(lines, raw, domain);
  for (size_t i = 0; i < lines.size() && i < 32; ++i) Check(lines, raw, kx::MatchingCookieDomain(lines[i]));
  return 0;
}
