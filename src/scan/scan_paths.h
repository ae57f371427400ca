// Placeholder expansion and existence tests as a scan uses them, in two strengths: Literal
// does what each definition line asks for, anew every time (every placeholder folder
// looked up, one directory search per path); Cached gives the same answers from one lookup
// per placeholder and one listing per distinct folder, which is what makes a scan of many
// thousands of lines fast. A Cached object lives for one scan, so files that change
// between scans are seen.
#pragma once

#include <memory>
#include <string>

#include "core/paths.h"
#include "platform/services.h"

namespace kx {

class ScanPaths {
 public:
  virtual ~ScanPaths() = default;
  virtual Placeholders& placeholders() = 0;
  // A plain file (not hidden, system or a directory) of exactly that name.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
};

std::unique_ptr<ScanPaths> MakeLiteralScanPaths(SystemInfo& system, FileSystem& files);
std::unique_ptr<ScanPaths> MakeCachedScanPaths(SystemInfo& system, FileSystem& files);

}  // namespace kx
