// Small text helpers of the scanners.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx::scantext {

// Blanks (spaces) off both ends, as the classic Trim does.
inline std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

// Every piece between separators; one piece more than there are separators.
inline std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  size_t i = 0;
  for (size_t at; (at = s.find(sep, i)) != std::string_view::npos; i = at + 1) out.emplace_back(s.substr(i, at - i));
  out.emplace_back(s.substr(i));
  return out;
}

}  // namespace kx::scantext
