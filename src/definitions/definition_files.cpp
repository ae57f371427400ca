#include "definitions/definition_files.h"

#include "definitions/codec.h"
#include "definitions/records.h"

namespace kx {

std::string_view DefinitionFileName(DefinitionFile file) {
  switch (file) {
    case DefinitionFile::File: return "FileDefinition.dat";
    case DefinitionFile::Directory: return "DirectoryDefinition.dat";
    case DefinitionFile::Registry: return "RegistryDefinition.dat";
    case DefinitionFile::Exe: return "ExeDefinition.dat";
    case DefinitionFile::BlockedCookies: return "BlockedCookies.dat";
    case DefinitionFile::Safety: return "Safety.dat";
  }
  return "";
}

std::optional<std::string> StagingFileName(DefinitionFile file) {
  for (DefinitionFile staged : kStagedDefinitionFiles)
    if (staged == file) return "DL" + std::string(DefinitionFileName(file));
  return std::nullopt;
}

std::vector<std::string> DefinitionStore::LinesOf(const std::string& path) {
  if (!FileExists(files_, path)) return {};
  std::optional<std::string> bytes = files_.ReadFile(path);
  if (!bytes) return {};
  return SplitTextLines(*bytes);
}

std::vector<std::string> DefinitionStore::RawLines(DefinitionFile file) { return LinesOf(PathOf(file)); }

std::vector<std::string> DefinitionStore::DecodedLines(DefinitionFile file) {
  std::vector<std::string> lines = RawLines(file);
  for (std::string& line : lines) line = DecodeDefinitionLine(line);
  return lines;
}

std::vector<std::string> DefinitionStore::ExclusionLines() {
  std::string path = PathOf(kExclusionFileName);
  if (!FileExists(files_, path)) return {};
  std::optional<std::string> bytes = files_.ReadFile(path);
  return bytes ? kx::ExclusionLines(*bytes) : std::vector<std::string>{};
}

std::vector<std::string> SafeListFromLines(const std::vector<std::string>& decodedLines,
                                           Placeholders& placeholders, const LineLoop& loop) {
  std::string text;
  for (const std::string& line : decodedLines) {
    if (loop.stop && loop.stop()) break;
    if (std::optional<std::string> entry = SafetyEntryOfLine(line, placeholders)) {
      text += *entry;
      text += "\r\n";
    }
    if (loop.yield) loop.yield();
  }
  std::vector<std::string> list;
  if (text.empty()) return list;
  size_t start = 0;
  for (size_t hit; (hit = text.find("\r\n", start)) != std::string::npos; start = hit + 2)
    list.push_back(text.substr(start, hit - start));
  list.push_back(text.substr(start));
  return list;
}

std::vector<std::string> LoadSafetyList(DefinitionStore& store, Placeholders& placeholders,
                                        const LineLoop& loop) {
  return SafeListFromLines(store.DecodedLines(DefinitionFile::Safety), placeholders, loop);
}

}  // namespace kx
