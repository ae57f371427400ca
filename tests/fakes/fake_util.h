// Small helpers the fakes share.
#pragma once

#include <string>
#include <vector>

namespace kx::fakes {

std::string Upper(std::string s);  // ASCII and Windows-1252 letters compare alike
bool EqualNoCase(const std::string& a, const std::string& b);
// Splits on "\" (and "/"), dropping empty parts.
std::vector<std::string> SplitPath(const std::string& path);
// FindFirstFile matching: "*" any run, "?" one character, without regard to case;
// a trailing ".*" also matches a name without a dot and a trailing "." a name without one.
bool WildcardMatch(const std::string& pattern, const std::string& name);
bool HasWildcards(const std::string& s);

}  // namespace kx::fakes
