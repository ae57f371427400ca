#include "definitions/records.h"

#include "core/text.h"
#include "definitions/codec.h"

namespace kx {

namespace {

std::string_view Field(const std::vector<std::string_view>& fields, size_t i) {
  return i < fields.size() ? fields[i] : std::string_view();
}

// "[drive]" replaced and the table expanded, without the backslash collapsing.
std::string ExpandWithDrive(std::string_view text, Placeholders& placeholders) {
  if (text.find("[drive]") == std::string_view::npos) return placeholders.Expanded(text);
  return placeholders.Expanded(ReplaceAll(text, "[drive]", placeholders.SystemDriveRoot()));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '\\';
  path += name;
  return CollapseDoubleBackslashes(path);
}

}  // namespace

std::string ExpandDefinitionPath(std::string_view text, Placeholders& placeholders) {
  return CollapseDoubleBackslashes(ExpandWithDrive(text, placeholders));
}

FileDefinition ReadFileDefinition(std::string_view line, Placeholders& placeholders) {
  FileDefinition d;
  auto fields = SplitViews(line, '|');
  auto name = SplitViews(Field(fields, 0), '=');
  d.fileName = Trim(Field(name, 0));
  d.threatName = std::string(Field(name, 1));
  d.type = std::string(Field(fields, 2));
  d.hasFolder = fields.size() > 1;
  d.path = d.hasFolder ? JoinPath(ExpandDefinitionPath(fields[1], placeholders), d.fileName) : d.fileName;
  return d;
}

FolderDefinition ReadFolderDefinition(std::string_view line, Placeholders& placeholders) {
  FolderDefinition d;
  auto fields = SplitViews(line, '|');
  auto name = SplitViews(Field(fields, 0), '=');
  for (char c : Field(name, 0))
    if (c != '\r' && c != '\n' && c != '\t') d.label += c;
  d.threatName = std::string(Field(name, 1));
  d.type = std::string(Field(fields, 2));
  d.valid = !Field(fields, 1).empty();
  if (d.valid) d.path = ExpandDefinitionPath(fields[1], placeholders);
  return d;
}

RegistryDefinition ReadRegistryDefinition(std::string_view line, Placeholders& placeholders) {
  RegistryDefinition d;
  size_t eq = line.rfind('=');
  if (eq == std::string_view::npos) return d;
  std::string threat = Trim(line.substr(eq + 1));
  size_t bar = threat.find('|');
  d.threatName = threat.substr(0, bar);
  if (bar != std::string::npos) d.type = threat.substr(bar + 1);

  std::string location = ExpandWithDrive(line.substr(0, eq), placeholders);
  auto parts = SplitViews(location, '^');
  d.hiveCode = Trim(Field(parts, 0));
  d.keyPath = std::string(Field(parts, 1));
  d.valueName = CollapseDoubleBackslashes(Field(parts, 2));
  if (parts.size() < 3 || d.hiveCode.empty()) return d;
  d.hive = HiveFromCode(d.hiveCode);
  d.valid = d.hive.valid();
  return d;
}

ExeDefinition ReadExeDefinition(std::string_view line, Placeholders& placeholders) {
  ExeDefinition d;
  if (line.find('=') == std::string_view::npos) return d;
  auto parts = SplitViews(line, '=');
  d.valid = true;
  d.exeName = std::string(parts[0]);
  std::string_view rest = Field(parts, 1);
  size_t bar = rest.find('|');
  std::string_view folder = rest;
  if (bar != std::string_view::npos) {
    d.threatName = std::string(rest.substr(0, bar));
    folder = rest.substr(bar + 1);
  }
  d.path = JoinPath(placeholders.Expanded(folder), d.exeName);
  return d;
}

std::vector<std::string> BlockedCookieList(const std::vector<std::string>& decodedLines) {
  std::vector<std::string> list;
  if (decodedLines.empty()) return list;
  for (const std::string& line : decodedLines)
    for (std::string_view entry : SplitViews(line, '|')) list.emplace_back(entry);
  list.emplace_back();
  return list;
}

std::optional<std::string> SafetyEntryOfLine(std::string_view line, Placeholders& placeholders) {
  if (line.find('|') == std::string_view::npos) return std::nullopt;
  auto fields = SplitViews(line, '|');
  std::string_view kind = fields[0];
  std::string entry;
  if (kind == "SFILE" || kind == "SEXE" || kind == "SDLL") {
    entry = ExpandDefinitionPath(Field(fields, 2), placeholders);
    if (entry.empty()) {
      std::string_view name = Field(fields, 1);
      entry = Trim(name.substr(0, name.find('=')));
    }
  } else if (kind == "SDIR") {
    entry = ExpandDefinitionPath(Field(fields, 2), placeholders);
  } else if (kind == "SREG") {
    std::string location = ExpandDefinitionPath(Field(fields, 2), placeholders);
    auto parts = SplitViews(location, '^');
    entry = HiveFromCode(Field(parts, 0)).name + "\\" + std::string(Field(parts, 1));
    if (!Field(parts, 2).empty()) entry += "\\" + std::string(parts[2]);
  } else {
    return std::nullopt;
  }
  return ReplaceAll(CollapseDoubleBackslashes(entry), "//", "/");
}

std::vector<std::string> ExclusionLines(std::string_view bytes) {
  std::vector<std::string> lines;
  for (std::string& line : SplitTextLines(bytes))
    if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(std::move(line));
  return lines;
}

}  // namespace kx
