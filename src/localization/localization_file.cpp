#include "localization/localization_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "core/paths.h"

namespace kx {

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

ItemTable::ItemTable(std::vector<std::string> lines) : lines_(std::move(lines)) {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].empty()) continue;
    if (auto k = ItemKey(lines_[i])) first_.emplace(LowerAnsi(*k), i);  // the first stays
  }
}

std::string ItemTable::Lookup(const std::string& key) const {
  const auto it = first_.find(LowerAnsi(key));
  if (it == first_.end()) return {};
  return Between(lines_[it->second], "<" + key + ">", "</" + key + ">").value_or("");
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
                                            size_t tabCount, size_t columnCount, size_t listCount,
                                            bool lowerCaseTypes) {
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
  } else if (is("ComboBox")) {
    for (size_t n = 1; n <= listCount; ++n)
      keys.push_back({base + "_LIST" + std::to_string(n), ItemTarget::ListEntry, n});
  } else if (is("OptionButton")) {
    // One outside an array has its own item too, so no caption of a window stays untranslated;
    // a file written before it had them simply leaves those captions as they are.
    keys.push_back({index >= 0 ? base + std::to_string(index) : base, ItemTarget::Caption, 0});
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
  return EntryExists(files, asPath);
}

}  // namespace kx
