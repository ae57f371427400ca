#include "scan/definition_input.h"

#include <cmath>
#include <cstdlib>

namespace kx::scan_input {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t i = 0;
  for (size_t at; (at = s.find(sep, i)) != std::string::npos; i = at + 1) out.push_back(s.substr(i, at - i));
  out.push_back(s.substr(i));
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

namespace {
char Decode(char c) {
  int e = static_cast<unsigned char>(c) - 64;
  if (e < 0) e += 255;
  return static_cast<char>(e);
}
}  // namespace

std::optional<std::vector<std::string>> ReadDecodedLines(FileSystem& files, ScanPaths& paths,
                                                         const std::string& path) {
  // Asked directly, never from a scan's listings: the data folder may change under them.
  if (!PlainFileExists(files, path)) return std::nullopt;
  std::optional<std::string> bytes = files.ReadFile(path);
  if (!bytes) return std::nullopt;
  std::vector<std::string> lines;
  std::string cur;
  const std::string& b = *bytes;
  for (size_t i = 0; i < b.size(); ++i) {
    char c = b[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(cur));
      cur.clear();
      if (c == '\r' && i + 1 < b.size() && b[i + 1] == '\n') ++i;
      continue;
    }
    cur.push_back(Decode(c));
  }
  if (!cur.empty()) lines.push_back(std::move(cur));
  return lines;
}

NameFolderRecord ParseNameFolderLine(const std::string& line) {
  NameFolderRecord r;
  std::vector<std::string> fields = Split(line, '|');
  std::vector<std::string> name = Split(fields[0], '=');
  r.name = name[0];
  if (name.size() > 1) {
    r.threatName = name[1];
    r.hasThreatName = true;
  }
  if (fields.size() > 1) {
    r.hasFolder = true;
    r.folder = fields[1];
  }
  if (fields.size() > 2) r.type = fields[2];
  return r;
}

RegistryRecord ParseRegistryLine(const std::string& line) {
  RegistryRecord r;
  size_t eq = line.rfind('=');
  if (eq == std::string::npos) return r;
  r.location = line.substr(0, eq);
  r.threatPart = Trim(line.substr(eq + 1));
  r.valid = Split(r.location, '^').size() >= 3;
  return r;
}

HiveCode HiveFromCode(const std::string& code) {
  // As a numeric conversion of text reads it: leading blanks, a number, anything after.
  const char* s = code.c_str();
  while (*s == ' ' || *s == '\t') ++s;
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s) v = 0;
  static const char* const kNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                       "HKEY_USERS", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
  static const int64_t kHandles[] = {-2147483648LL, -2147483647LL, -2147483646LL,
                                     -2147483645LL, -2147483643LL, -2147483642LL};
  if (!(v >= 0 && v <= 5) || v != std::floor(v)) return {};
  int i = static_cast<int>(v);
  return {kHandles[i], kNames[i]};
}

std::vector<std::string> LoadSafetyList(FileSystem& files, ScanPaths& paths, const std::string& dataFolder,
                                        const bool& stop, const std::function<void()>& yield) {
  std::optional<std::vector<std::string>> lines = ReadDecodedLines(files, paths, dataFolder + "\\Safety.dat");
  if (!lines) return {};
  std::string acc;
  for (const std::string& line : *lines) {
    if (stop) break;
    std::vector<std::string> f = Split(line, '|');
    if (f.size() >= 2) {
      const std::string& kind = f[0];
      std::string location = f.size() > 2 ? paths.ExpandDefinitionField(f[2]) : "";
      std::string entry;
      bool add = true;
      if (kind == "SFILE" || kind == "SEXE" || kind == "SDLL") {
        entry = location.empty() ? Trim(Split(f[1], '=')[0]) : location;
      } else if (kind == "SDIR") {
        entry = location;
      } else if (kind == "SREG") {
        std::vector<std::string> parts = Split(location, '^');
        entry = HiveFromCode(parts[0]).name + "\\" + (parts.size() > 1 ? parts[1] : "");
        if (parts.size() > 2 && !parts[2].empty()) entry += "\\" + parts[2];
      } else {
        add = false;
      }
      if (add) acc += ReplaceAll(ReplaceAll(entry, "\\\\", "\\"), "//", "/") + "\r\n";
    }
    if (yield) yield();
  }
  std::vector<std::string> out;
  size_t i = 0;
  for (size_t at; (at = acc.find("\r\n", i)) != std::string::npos; i = at + 2) out.push_back(acc.substr(i, at - i));
  out.push_back(acc.substr(i));
  return out;
}

}  // namespace kx::scan_input
