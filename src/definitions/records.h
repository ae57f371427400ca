// One record per decoded definition line, for each definition format. A reader never fails:
// a malformed line gives a record that is not valid or whose path names nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.h"
#include "definitions/hive.h"

namespace kx {

// A definition folder as a real path: "[drive]" (exact case) becomes the system drive root,
// the table placeholders are expanded, then "\\" becomes "\".
std::string ExpandDefinitionPath(std::string_view text, Placeholders& placeholders);

// FileDefinition.dat: file name=threat name|folder|type
struct FileDefinition {
  std::string fileName;    // trimmed
  std::string threatName;  // as written
  std::string type;        // "" without the third field
  bool hasFolder = false;  // false for a line without "|"
  std::string path;        // folder\file name, or the bare file name without a folder
};
FileDefinition ReadFileDefinition(std::string_view line, Placeholders& placeholders);

// DirectoryDefinition.dat: label=threat name|folder|type
struct FolderDefinition {
  std::string label;  // for the progress text only; CR, LF and TAB taken out
  std::string threatName;
  std::string type;
  std::string path;    // the expanded folder
  bool valid = false;  // false without "|" or with an empty folder field: the line is skipped
};
FolderDefinition ReadFolderDefinition(std::string_view line, Placeholders& placeholders);

// RegistryDefinition.dat: hive code^key^value name=threat name|type (value name empty for
// a key). The last "=" splits, so a value name may hold "=" itself.
struct RegistryDefinition {
  // False for a line without "=", with fewer than three "^" fields, or with an empty or
  // invalid hive code: such a line is not a definition and is neither counted nor tested.
  bool valid = false;
  std::string hiveCode;   // trimmed
  HiveCode hive;
  std::string keyPath;    // as written, after expansion
  std::string valueName;  // "\\" collapsed
  std::string threatName;
  std::string type;

  bool IsKey() const { return valueName.empty(); }
  // hive name\key path + value name, with no separator before the value name.
  std::string FullLocation() const { return hive.name + "\\" + keyPath + valueName; }
  std::string KeyLocation() const { return hive.name + "\\" + keyPath; }
};
RegistryDefinition ReadRegistryDefinition(std::string_view line, Placeholders& placeholders);

// ExeDefinition.dat: executable=threat name|folder ("[drive]" is not replaced here).
struct ExeDefinition {
  bool valid = false;      // false for a line without "="
  std::string exeName;
  std::string threatName;  // "" when there is no "|": the whole text is then the folder
  std::string path;        // folder\executable
};
ExeDefinition ReadExeDefinition(std::string_view line, Placeholders& placeholders);

// BlockedCookies.dat: the decoded lines joined by "|" and split again, so a "|" inside a
// line makes two entries and a non-empty list ends with one empty element.
std::vector<std::string> BlockedCookieList(const std::vector<std::string>& decodedLines);

// Safety.dat: kind|name part|location|ignored. The entry one line adds to the safe list,
// or none for a line without "|" or of another kind than SFILE, SEXE, SDLL, SDIR, SREG.
std::optional<std::string> SafetyEntryOfLine(std::string_view line, Placeholders& placeholders);

// ENoSignature.dat (plain text): every line that is not blank, exactly as read.
std::vector<std::string> ExclusionLines(std::string_view bytes);

}  // namespace kx
