#include "core/text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/utf8.h"

namespace kx {

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string_view> SplitViews(std::string_view s, char sep) {
  std::vector<std::string_view> out;
  size_t i = 0;
  for (size_t at; (at = s.find(sep, i)) != std::string_view::npos; i = at + 1) out.push_back(s.substr(i, at - i));
  out.push_back(s.substr(i));
  return out;
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  for (std::string_view piece : SplitViews(s, sep)) out.emplace_back(piece);
  return out;
}

char LowerAnsiChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 32);
  switch (b) {
    case 0x8A: return static_cast<char>(0x9A);  // Š
    case 0x8C: return static_cast<char>(0x9C);  // Œ
    case 0x8E: return static_cast<char>(0x9E);  // Ž
    case 0x9F: return static_cast<char>(0xFF);  // Ÿ
    default: return c;
  }
}

char UpperAnsiChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 32);
  switch (b) {
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9E: return static_cast<char>(0x8E);
    case 0xFF: return static_cast<char>(0x9F);
    default: return c;
  }
}

std::string LowerAnsi(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAnsiChar(c);
  return out;
}

std::string UpperAnsi(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperAnsiChar(c);
  return out;
}

std::string UpperFirst(std::string s) {
  if (!s.empty()) s[0] = UpperAnsiChar(s[0]);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAnsiChar(a[i]) != LowerAnsiChar(b[i])) return false;
  return true;
}

size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
  if (from > hay.size() || needle.size() > hay.size() - from) return std::string::npos;
  auto it = std::search(hay.begin() + static_cast<std::ptrdiff_t>(from), hay.end(), needle.begin(), needle.end(),
                        [](char x, char y) { return LowerAnsiChar(x) == LowerAnsiChar(y); });
  return it == hay.end() && !needle.empty() ? std::string::npos : static_cast<size_t>(it - hay.begin());
}

namespace {

template <typename Find>
std::string ReplaceWith(std::string_view text, std::string_view from, std::string_view to, Find find) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = find(text, from, pos)) != std::string_view::npos; pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  return ReplaceWith(text, from, to, [](std::string_view t, std::string_view f, size_t p) { return t.find(f, p); });
}

std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view from, std::string_view to) {
  return ReplaceWith(text, from, to, [](std::string_view t, std::string_view f, size_t p) { return FindNoCase(t, f, p); });
}

namespace {

// 0x80..0x9F of code page 1252; the five unassigned bytes map to the C1 controls of the
// same number, as MultiByteToWideChar does, so they survive a round trip.
constexpr std::array<uint16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char AnsiOfCodePoint(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (size_t i = 0; i < kCp1252High.size(); ++i)
    if (kCp1252High[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

std::string Utf8ToAnsi(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  const size_t n = utf8.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    size_t len = 0;
    uint32_t cp = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07, min = 0x10000;
    bool ok = len > 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (c & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out += '?';  // one mark per bad lead byte; the next byte is tried afresh
      ++i;
      continue;
    }
    out += AnsiOfCodePoint(cp);
    i += len;
  }
  return out;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 8);
  for (char c : ansi) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : b);
  }
  return out;
}

}  // namespace kx
