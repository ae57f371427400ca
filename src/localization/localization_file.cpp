#include "localization/localization_file.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/utf8.h"

namespace kx {

// ---------------------------------------------------------------- Windows-1252 text

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

std::string LowerAnsi(std::string s) {
  for (char& c : s) c = LowerAnsiChar(c);
  return s;
}

std::string UpperAnsi(std::string s) {
  for (char& c : s) c = UpperAnsiChar(c);
  return s;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAnsiChar(a[i]) != LowerAnsiChar(b[i])) return false;
  return true;
}

size_t FindNoCase(const std::string& hay, const std::string& needle, size_t from) {
  if (from > hay.size() || needle.size() > hay.size() - from) return std::string::npos;
  auto it = std::search(hay.begin() + static_cast<std::ptrdiff_t>(from), hay.end(), needle.begin(),
                        needle.end(), [](char x, char y) { return LowerAnsiChar(x) == LowerAnsiChar(y); });
  return it == hay.end() && !needle.empty() ? std::string::npos : static_cast<size_t>(it - hay.begin());
}

std::string UpperFirst(std::string s) {
  if (!s.empty()) s[0] = UpperAnsiChar(s[0]);
  return s;
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

char AnsiOf(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (size_t i = 0; i < kCp1252High.size(); ++i)
    if (kCp1252High[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

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
    out += AnsiOf(cp);
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

// ---------------------------------------------------------------- reading

namespace {

std::string TrimBlanks(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

// The text between the first open tag and the first close tag after it.
std::optional<std::string> Between(const std::string& text, const std::string& open,
                                   const std::string& close) {
  const size_t a = FindNoCase(text, open);
  if (a == std::string::npos) return std::nullopt;
  const size_t from = a + open.size();
  const size_t b = FindNoCase(text, close, from);
  if (b == std::string::npos) return std::nullopt;
  return text.substr(from, b - from);
}

}  // namespace

std::vector<LanguageBlock> ReadLanguageBlocks(const std::string& text) {
  static const std::string kOpen = "<LANGUAGE_GROUP", kClose = "</LANGUAGE_GROUP>";
  std::vector<LanguageBlock> blocks;
  size_t pos = 0;
  while (true) {
    const size_t start = FindNoCase(text, kOpen, pos);
    if (start == std::string::npos) break;
    // The close is searched from the same place as the open, so a stray close before
    // the next open ends an (empty) block rather than swallowing the next one.
    const size_t end = FindNoCase(text, kClose, pos);
    if (end == std::string::npos) break;
    pos = end + kClose.size();
    if (end < start) continue;
    const std::string block = text.substr(start, end - start);
    auto name = Between(block, "<LANGUAGE_NAME>", "</LANGUAGE_NAME>");
    auto items = Between(block, "<TRANSLATION_ITEMS>", "</TRANSLATION_ITEMS>");
    if (!name || !items) continue;
    blocks.push_back({TrimBlanks(*name), std::move(*items)});
  }
  return blocks;
}

std::vector<std::string> LanguageNames(const std::string& text) {
  std::vector<std::string> names;
  for (auto& b : ReadLanguageBlocks(text)) names.push_back(std::move(b.name));
  return names;
}

std::optional<std::vector<std::string>> FindLanguageItems(const std::string& text,
                                                         const std::string& language) {
  for (const auto& b : ReadLanguageBlocks(text))
    if (EqualsNoCase(b.name, language)) return SplitItemLines(b.items);
  return std::nullopt;
}

std::vector<std::string> SplitItemLines(const std::string& items) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (true) {
    const size_t nl = items.find('\n', pos);
    std::string line = items.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (nl != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return lines;
}

std::optional<std::string> ItemKey(const std::string& line) {
  const size_t gt = line.find('>');
  const std::string head = line.substr(0, gt);
  if (head.size() <= 2) return std::nullopt;
  const size_t lt = head.find('<');
  if (lt == std::string::npos) return std::nullopt;
  return head.substr(lt + 1);
}

std::string LookupItem(const std::vector<std::string>& lines, const std::string& key) {
  for (const auto& line : lines) {
    if (line.empty()) continue;
    auto k = ItemKey(line);
    if (!k || !EqualsNoCase(*k, key)) continue;
    // First matching line wins, even when its closing tag is missing.
    return Between(line, "<" + key + ">", "</" + key + ">").value_or("");
  }
  return {};
}

// ---------------------------------------------------------------- keys of controls

std::vector<ControlItemKey> ControlItemKeys(const std::string& formName, const std::string& typeName,
                                            const std::string& controlName, int index,
                                            size_t tabCount, size_t columnCount, bool lowerCaseTypes) {
  const std::string type = lowerCaseTypes ? LowerAnsi(typeName) : typeName;
  auto is = [&](const char* name) { return type == (lowerCaseTypes ? LowerAnsi(name) : std::string(name)); };
  const std::string base = formName + "_" + controlName;
  std::vector<ControlItemKey> keys;
  if (is("Label") || is("CommandButton") || is("SkinLabel") || is("Frame") || is("CheckBox")) {
    keys.push_back({base, ItemTarget::Caption, 0});
  } else if (is("TabStrip")) {
    for (size_t n = 1; n <= tabCount; ++n)
      keys.push_back({base + "_TABS" + std::to_string(n), ItemTarget::Tab, n});
  } else if (is("ListView")) {
    for (size_t n = 1; n <= columnCount; ++n)
      keys.push_back({base + "_COL" + std::to_string(n), ItemTarget::Column, n});
  } else if (is("OptionButton")) {
    if (index >= 0) keys.push_back({base + std::to_string(index), ItemTarget::Caption, 0});
  } else if (is("Menu")) {
    keys.push_back({base + std::to_string(index >= 0 ? index : 0), ItemTarget::Caption, 0});
  }
  return keys;
}

// ---------------------------------------------------------------- writing

std::string LocalizationHeader() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
         "<XML_DIZ_INFO>\r\n"
         "\t<LOCALIZATION_FILE_INFO>\r\n"
         "\t\t<LOCALIZATION_FILE_VERSION>1.0</LOCALIZATION_FILE_VERSION>\r\n"
         "\t</LOCALIZATION_FILE_INFO>\r\n"
         "<LANGUAGE_GROUP xml:lang=\"en\">\r\n"
         "\t<LANGUAGE_NAME>English</LANGUAGE_NAME>\r\n"
         "\t<DESCRIPTION>This file contains various translations of program buttons, messages and "
         "menus in XML format.  The original document was created using translation software, and "
         "may sound strange when read by people.  We invite you to make modifications to existing "
         "languages and translate new languages.  Please send them to us so that we can update this "
         "file and make your translation available to all users.  Our current email address is "
         "located on our homepage which can be visited through the software or our program folder "
         "on your Start Menu.  Before making changes to a localization file please use the program "
         "to download the most recent localization file using the 'Check for Language Updates' "
         "button in the Languages window.</DESCRIPTION>\r\n"
         "\t<TRANSLATION_ITEMS>\r\n";
}

std::string LocalizationItem(const std::string& key, const std::string& text) {
  const std::string k = UpperAnsi(key);
  return "\t\t<" + k + ">" + text + "</" + k + ">\r\n";
}

std::string LocalizationFooter() {
  return "\t</TRANSLATION_ITEMS>\r\n"
         "</LANGUAGE_GROUP>\r\n"
         "</XML_DIZ_INFO>\r\n";
}

// ---------------------------------------------------------------- files

std::string LangTrimPath(const std::string& asPath) {
  const size_t slash = asPath.rfind('\\');
  return slash == std::string::npos ? asPath : asPath.substr(slash + 1);
}

bool LangFileExists(FileSystem& files, const std::string& asPath) {
  const std::string name = LangTrimPath(asPath);
  if (name.empty()) return false;
  for (const auto& e : files.Find(asPath))
    if (EqualsNoCase(e.name, name)) return true;
  return false;
}

}  // namespace kx
