#include "reference/literal_merge.h"

#include <vector>

#include "core/text.h"
#include "definitions/codec.h"
#include "../scan_support/must.h"

namespace kx::reference {

namespace {

std::vector<std::string> SplitIgnoringCase(std::string_view text, std::string_view sep) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t hit; (hit = FindNoCase(text, sep, start)) != std::string_view::npos; start = hit + sep.size())
    pieces.emplace_back(text.substr(start, hit - start));
  pieces.emplace_back(text.substr(start));
  return pieces;
}

std::vector<std::string> SplitExact(std::string_view text, std::string_view sep) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t hit; (hit = text.find(sep, start)) != std::string_view::npos; start = hit + sep.size())
    pieces.emplace_back(text.substr(start, hit - start));
  pieces.emplace_back(text.substr(start));
  return pieces;
}

bool KindBelongs(const std::string& kind, const std::string& fileName) {
  if (fileName == "FileDefinition.dat") return kind == "FILE" || kind == "EXE" || kind == "DLL";
  if (fileName == "ExeDefinition.dat") return kind == "EXE";
  if (fileName == "RegistryDefinition.dat") return kind == "REG";
  if (fileName == "BlockedCookies.dat") return kind == "COOK";
  if (fileName == "DirectoryDefinition.dat") return kind == "DIR";
  return FindNoCase(kind, "S") != std::string::npos;
}

std::string EncodeSeparators(const std::string& body) {
  std::string out = ReplaceAll(body, "|", EncodeDefinitionLine("|"));
  return ReplaceAll(out, "=", EncodeDefinitionLine("="));
}

std::string BodyName(const std::string& body) { return DecodeDefinitionLine(Split(body, '=')[0]); }

struct MissingField {};

const std::string& At(const std::vector<std::string>& v, size_t i) {
  if (i >= v.size()) throw MissingField{};
  return v[i];
}

std::string BuildLine(const std::string& fileName, const std::string& kind, const std::string& body) {
  if (fileName == "RegistryDefinition.dat") {
    std::vector<std::string> fields = Split(body, '|');
    std::string threat = At(Split(At(fields, 0), '='), 1);
    return At(fields, 1) + EncodeDefinitionLine("^=") + threat + EncodeDefinitionLine("|") + At(fields, 2);
  }
  if (fileName == "BlockedCookies.dat") return Split(body, '=')[0];
  if (fileName == "Safety.dat") return EncodeDefinitionLine(kind + "|") + EncodeSeparators(body);
  return EncodeSeparators(body);
}

void AppendLine(FileSystem& files, const std::string& path, const std::string& line) {
  test_support::Must(files.AppendFile(path, line + "\r\n"), "AppendFile");
}

}  // namespace

int32_t LiteralMergeUpdatePackage(FileSystem& files, const std::string& dataFolder, UpdateMergeHost& host,
                                  std::string_view package) {
  int32_t count = 0;
  const std::vector<std::string> records = SplitIgnoringCase(package, "[BR]");
  for (const char* fileName : {"FileDefinition.dat", "ExeDefinition.dat", "RegistryDefinition.dat",
                               "BlockedCookies.dat", "DirectoryDefinition.dat", "Safety.dat"}) {
    const std::string path = dataFolder + "\\" + fileName;
    std::vector<std::string> deletions;
    test_support::Must(files.AppendFile(path, ""), "AppendFile");  // open for appending: created when missing
    for (const std::string& raw : records) {
      try {
        std::string rec = Trim(raw);
        if (rec.empty()) continue;
        std::vector<std::string> parts = SplitExact(rec, "[DEF]");
        const std::string& body = At(parts, 1);
        std::vector<std::string> header = Split(parts[0], '|');
        std::string kind = DecodeDefinitionLine(header[0]);
        const std::string& op = At(header, 1);
        if (!KindBelongs(kind, fileName)) continue;
        if (op == "ADD") {
          // The one departure from the literal rule: a last line without its line end is
          // ended first, or the added line would be joined to it.
          const std::string line = BuildLine(fileName, kind, body);
          const std::string now = files.ReadFile(path).value_or("");
          if (!now.empty() && now.back() != '\n' && now.back() != '\r') test_support::Must(files.AppendFile(path, "\r\n"), "AppendFile");
          AppendLine(files, path, line);
          ++count;
          std::string name = BodyName(body);
          std::erase_if(deletions, [&](const std::string& d) { return EqualsNoCase(d, name); });
        } else if (op == "DEL") {
          deletions.push_back(BodyName(body));
        }
      } catch (const MissingField&) {
        // the rest of this record is skipped
      }
    }
    host.SetStatus("Applying new updates...");
    host.PumpMessages();

    if (deletions.empty()) continue;
    ++count;
    const std::string temp = dataFolder + "\\temp.dat";
    test_support::Must(files.AppendFile(temp, ""), "AppendFile");
    std::vector<std::string> lines = SplitTextLines(files.ReadFile(path).value_or(""));
    for (size_t i = 0; i < lines.size(); ++i) {
      size_t number = i + 1;
      if (number % 100 == 0) {
        host.SetStatus("Removing outdated definitions: checking entry " + std::to_string(number));
        host.PumpMessages();
      }
      if (lines[i].empty()) continue;
      std::string name = DecodeDefinitionLine(lines[i]);
      name = Split(name, '=')[0];
      bool listed = false;
      for (const std::string& d : deletions)
        if (EqualsNoCase(d, name)) listed = true;
      if (!listed) AppendLine(files, temp, lines[i]);
    }
    test_support::Must(files.DeleteFile(path), "DeleteFile");
    test_support::Must(files.WriteFile(path, ""), "WriteFile");
    for (const std::string& l : SplitTextLines(files.ReadFile(temp).value_or("")))
      if (!l.empty()) AppendLine(files, path, l);
    test_support::Must(files.DeleteFile(temp), "DeleteFile");
  }
  return count;
}

}  // namespace kx::reference
