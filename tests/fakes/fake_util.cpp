#include "fakes/fake_util.h"

#include <cctype>

namespace kx::fakes {

std::string Upper(std::string s) {
  for (char& c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') c = static_cast<char>(u - 32);
    // Windows-1252 lower-case letters à..þ (except ÷) and the few outliers.
    else if (u >= 0xE0 && u <= 0xFE && u != 0xF7) c = static_cast<char>(u - 32);
    else if (u == 0x9A || u == 0x9C || u == 0x9E) c = static_cast<char>(u - 16);
    else if (u == 0xFF) c = static_cast<char>(0x9F);
  }
  return s;
}

bool EqualNoCase(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

bool HasWildcards(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

namespace {

bool Match(const std::string& p, size_t pi, const std::string& n, size_t ni) {
  while (pi < p.size()) {
    char pc = p[pi];
    if (pc == '*') {
      // DOS rule: "*." at the very end, or ".*" after a star, may swallow the missing dot.
      if (pi + 2 == p.size() && p[pi + 1] == '.' && n.find('.', ni) == std::string::npos) return true;
      for (size_t k = ni; k <= n.size(); ++k)
        if (Match(p, pi + 1, n, k)) return true;
      return false;
    }
    if (ni == n.size()) {
      // Name used up: a trailing ".", ".*" or "*" still matches.
      std::string rest = p.substr(pi);
      if (rest == "." ) return n.find('.') == std::string::npos;
      return rest == ".*" || rest == "*";
    }
    if (pc == '?') {
      ++pi, ++ni;
      continue;
    }
    if (Upper(std::string(1, pc)) != Upper(std::string(1, n[ni]))) return false;
    ++pi, ++ni;
  }
  return ni == n.size();
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  return Match(pattern, 0, name, 0);
}

}  // namespace kx::fakes
