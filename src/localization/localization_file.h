// Localization.txt: one block per language in an XML-like tag syntax, read by plain,
// case-insensitive text search (never by an XML parser, so a damaged file still yields
// whatever items it holds) and written anew with exactly one English block.
//
// The file is UTF-8; the program's texts are ANSI (Windows-1252). Readers convert the
// whole file to ANSI once, so every comparison below works on single-byte text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/text.h"
#include "platform/services.h"

namespace kx {

// ---------------------------------------------------------------- Windows-1252 text

// ---------------------------------------------------------------- reading

struct LanguageBlock {
  std::string name;   // between <LANGUAGE_NAME> and </LANGUAGE_NAME>, blanks trimmed
  std::string items;  // between <TRANSLATION_ITEMS> and </TRANSLATION_ITEMS>
};

// Every well-formed block in file order. A block without its closing tag, its name or
// its items section is skipped.
std::vector<LanguageBlock> ReadLanguageBlocks(const std::string& text);
std::vector<std::string> LanguageNames(const std::string& text);
// The item lines of the first block named language (ignoring case); nullopt when none.
std::optional<std::vector<std::string>> FindLanguageItems(const std::string& text,
                                                         const std::string& language);
// Lines split at CR LF; a bare LF also ends a line, so a file saved by a Unix editor
// still reads.
std::vector<std::string> SplitItemLines(const std::string& items);

// The key of an item line: what follows the first "<" of the part before the first ">",
// when that part is longer than 2 characters.
std::optional<std::string> ItemKey(const std::string& line);
// The text between "<key>" and "</key>" of the first line whose key is key (ignoring
// case); "" when no line has it or its text is empty.
std::string LookupItem(const std::vector<std::string>& lines, const std::string& key);

// One language's item lines with each key's first line found once: LookupItem's answers,
// without reading every line for every key (a window asks for hundreds).
class ItemTable {
 public:
  ItemTable() = default;
  explicit ItemTable(std::vector<std::string> lines);
  const std::vector<std::string>& lines() const { return lines_; }
  std::string Lookup(const std::string& key) const;

 private:
  std::vector<std::string> lines_;
  std::unordered_map<std::string, size_t> first_;  // key in lower case -> its first line
};

// ---------------------------------------------------------------- keys of controls

enum class ItemTarget { Caption, Tab, Column, ListEntry };

struct ControlItemKey {
  std::string key;
  ItemTarget target = ItemTarget::Caption;
  size_t n = 0;  // tab, column or list entry number, 1-based
};

// The items a control of this type name has: caption controls one, a tab strip one per
// tab, a list view one per column, a combo box one per list entry ("_LIST" n), option
// buttons and menus their array index (menus "0" outside an array; an option button
// outside an array its plain name). Other types have none.
// lowerCaseTypes compares the type name in lower case, as MDI children report theirs.
std::vector<ControlItemKey> ControlItemKeys(const std::string& formName, const std::string& typeName,
                                            const std::string& controlName, int index,
                                            size_t tabCount, size_t columnCount, size_t listCount,
                                            bool lowerCaseTypes = false);

// ---------------------------------------------------------------- writing

// Declaration through the opening of the items section, CR LF after each line.
std::string LocalizationHeader();
// "\t\t<KEY>text</KEY>" CR LF with the key in upper case.
std::string LocalizationItem(const std::string& key, const std::string& text);
// Closes the items section, the block and the document.
std::string LocalizationFooter();

// ---------------------------------------------------------------- files

// A directory search for the path (hidden, system and read-only entries included)
// returns an entry named as the path's file-name part.
bool LangFileExists(FileSystem& files, const std::string& asPath);
// The text after the last "\".
std::string LangTrimPath(const std::string& asPath);

}  // namespace kx
