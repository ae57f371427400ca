// Path expansion and existence tests as a scan uses them, in two strengths: Literal does
// what each definition line asks for, anew every time (every placeholder folder looked
// up, one directory search per path); Cached gives the same answers from one lookup per
// placeholder and one listing per distinct folder, which is what makes a scan of many
// thousands of lines fast. A Cached object lives for one scan, so files that change
// between scans are seen.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/services.h"

namespace kx {

class ScanPaths {
 public:
  virtual ~ScanPaths() = default;
  // "[drive]" (exact case) by the system drive root, then the placeholder table.
  virtual std::string ExpandDefinitionField(const std::string& text) = 0;
  virtual std::string SystemDriveRoot() = 0;
  // A plain file (not hidden, system or a directory) of exactly that name.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
};

// Upper case of the ASCII letters only, as the file system compares names.
std::string UpperAscii(std::string s);
std::string LowerAscii(std::string s);
std::string ReplaceAll(std::string s, const std::string& from, const std::string& to);
// The text after the last backslash, or the whole text.
std::string FileNameOfPath(const std::string& path);

// True when a directory listing restricted to plain files finds exactly this file.
bool PlainFileExists(FileSystem& files, const std::string& path);

// The placeholder folder lookups, either per call or once.
class PlaceholderFolders {
 public:
  PlaceholderFolders(SystemInfo& system, bool cached) : system_(system), cached_(cached) {}
  std::string Expand(const std::string& text);
  std::string SystemDriveRoot();
  // The shell folder with one trailing backslash, or "".
  std::string SpecialFolderPath(int csidl);

 private:
  SystemInfo& system_;
  bool cached_;
  std::map<int, std::string> folders_;
  std::optional<std::string> driveRoot_;
};

std::unique_ptr<ScanPaths> MakeLiteralScanPaths(SystemInfo& system, FileSystem& files);
std::unique_ptr<ScanPaths> MakeCachedScanPaths(SystemInfo& system, FileSystem& files);

}  // namespace kx
