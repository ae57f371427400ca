// What the scanners read from the definition files, behind one narrow seam: the line
// decoding, the split of each record format into its fields, the hive codes and the safe
// list. Fields come back unexpanded; the scanner expands them through its ScanPaths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/services.h"
#include "scan/scan_paths.h"

namespace kx::scan_input {

// The decoded lines of a definition file; nullopt when the file is absent.
std::optional<std::vector<std::string>> ReadDecodedLines(FileSystem& files, ScanPaths& paths,
                                                         const std::string& path);

// FileDefinition.dat and DirectoryDefinition.dat: name=threat|folder|type.
struct NameFolderRecord {
  std::string name;        // file name (trimmed) or folder label
  std::string threatName;  // not trimmed; "" when the name part has no "="
  bool hasThreatName = false;
  std::string folder;      // unexpanded
  bool hasFolder = false;  // the line has a "|"
  std::string type;
};
NameFolderRecord ParseNameFolderLine(const std::string& line);

// RegistryDefinition.dat: hive^key^value=threat|type, split at the last "=".
struct RegistryRecord {
  bool valid = false;      // has "=" and three "^" fields
  std::string threatPart;  // trimmed
  std::string location;    // unexpanded, before the last "="
};
RegistryRecord ParseRegistryLine(const std::string& line);

// A hive code: handle (the predefined value as a signed 32-bit number) and name, or -1
// and "" for an invalid code. Text that is not a number counts as 0.
struct HiveCode {
  int64_t handle = -1;
  std::string name;
};
HiveCode HiveFromCode(const std::string& code);

// Safety.dat: the safe list (the entries, ending with one empty element).
std::vector<std::string> LoadSafetyList(FileSystem& files, ScanPaths& paths, const std::string& dataFolder,
                                        const bool& stop, const std::function<void()>& yield);

std::vector<std::string> Split(const std::string& s, char sep);
std::string Trim(const std::string& s);

}  // namespace kx::scan_input
