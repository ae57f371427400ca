#include "scan/scan_paths.h"

#include <array>
#include <unordered_map>
#include <unordered_set>

namespace kx {
namespace {

// Every table folder asked for on every call, whether its token occurs or not: the cost
// of the expansion done literally, line by line.
class EveryFolderAnew final : public Placeholders {
 public:
  explicit EveryFolderAnew(SystemInfo& system) : system_(system), expander_(system) {}
  std::string Expanded(std::string_view text) override {
    std::array<std::string, kPlaceholderCount> folders;
    for (size_t row = 0; row < kPlaceholderCount; ++row) folders[row] = expander_.RowFolder(row);
    return PlaceholderCache(std::move(folders), "").Expanded(text);
  }
  std::string SystemDriveRoot() override { return kx::SystemDriveRoot(system_); }

 private:
  SystemInfo& system_;
  PathExpander expander_;
};

class LiteralScanPaths final : public ScanPaths {
 public:
  LiteralScanPaths(SystemInfo& system, FileSystem& files) : placeholders_(system), files_(files) {}
  Placeholders& placeholders() override { return placeholders_; }
  bool FileExists(const std::string& path) override { return kx::FileExists(files_, path); }
  bool FolderExists(const std::string& path) override { return kx::FolderExists(files_, path); }

 private:
  EveryFolderAnew placeholders_;
  FileSystem& files_;
};

// Paths the listing shortcut cannot answer as the system would; they are asked about
// directly.
bool Unusual(const std::string& path) {
  if (path.size() < 4 || path[1] != ':' || path[2] != '\\') return true;
  // The ANSI calls fail at MAX_PATH, where a listing would still find the entry.
  if (path.size() >= 260) return true;
  // Letters beyond ASCII fold by the system's code page and its own case table.
  for (unsigned char c : path)
    if (c >= 0x80) return true;
  // An 8.3 short name ("EVILCO~1") names an entry the listing only knows by its long name.
  if (path.find('~', path.rfind('\\')) != std::string::npos) return true;
  if (path.back() == '\\' || path.back() == '.' || path.back() == ' ') return true;
  if (path.find_first_of("*?\"<>|/") != std::string::npos) return true;
  if (path.find("\\\\") != std::string::npos) return true;
  if (path.find("\\.") != std::string::npos) return true;  // ".", ".." and dot-names
  if (path.find(".\\") != std::string::npos || path.find(" \\") != std::string::npos)
    return true;  // components Windows would trim
  return false;
}

class CachedScanPaths final : public ScanPaths {
 public:
  CachedScanPaths(SystemInfo& system, FileSystem& files) : placeholders_(system), files_(files) {}
  Placeholders& placeholders() override { return placeholders_; }

  bool FileExists(const std::string& path) override {
    if (Unusual(path)) return kx::FileExists(files_, path);
    size_t cut = path.rfind('\\');
    const Listing& l = ListingOf(path.substr(0, cut));
    if (l.unlistable) return kx::FileExists(files_, path);
    return l.plainFiles.count(UpperAnsi(path.substr(cut + 1))) != 0;
  }

  bool FolderExists(const std::string& path) override {
    if (Unusual(path)) return kx::FolderExists(files_, path);
    std::string key = UpperAnsi(path);
    auto it = folderAnswers_.find(key);
    if (it != folderAnswers_.end()) return it->second;
    size_t cut = path.rfind('\\');
    std::string parent = path.substr(0, cut);
    // A drive root is asked directly rather than listed.
    bool exists = false;
    if (parent.size() == 2) {
      exists = kx::FolderExists(files_, path);
    } else {
      const Listing& l = ListingOf(parent);
      exists = l.unlistable ? kx::FolderExists(files_, path) : l.folders.count(UpperAnsi(path.substr(cut + 1))) != 0;
    }
    folderAnswers_.emplace(std::move(key), exists);
    return exists;
  }

 private:
  struct Listing {
    std::unordered_set<std::string> plainFiles;  // upper case
    std::unordered_set<std::string> folders;     // upper case
    // The folder exists but lists nothing: empty, or one that may be passed through but not
    // listed (Vista's "Documents and Settings" junction). Its entries are asked for directly.
    bool unlistable = false;
  };

  const Listing& ListingOf(const std::string& folder) {
    std::string key = UpperAnsi(folder);
    auto it = listings_.find(key);
    if (it != listings_.end()) return it->second;
    Listing l;
    for (const FileEntry& e : files_.Find(folder + "\\*")) {
      if (e.name == "." || e.name == "..") continue;
      if (e.attributes & FA_DIRECTORY)
        l.folders.insert(UpperAnsi(e.name));
      else if (!(e.attributes & (FA_HIDDEN | FA_SYSTEM)))
        l.plainFiles.insert(UpperAnsi(e.name));
    }
    if (l.folders.empty() && l.plainFiles.empty()) l.unlistable = kx::FolderExists(files_, folder);
    return listings_.emplace(std::move(key), std::move(l)).first->second;
  }

  PlaceholderCache placeholders_;
  FileSystem& files_;
  std::unordered_map<std::string, Listing> listings_;
  std::unordered_map<std::string, bool> folderAnswers_;
};

}  // namespace

std::unique_ptr<ScanPaths> MakeLiteralScanPaths(SystemInfo& system, FileSystem& files) {
  return std::make_unique<LiteralScanPaths>(system, files);
}
std::unique_ptr<ScanPaths> MakeCachedScanPaths(SystemInfo& system, FileSystem& files) {
  return std::make_unique<CachedScanPaths>(system, files);
}

}  // namespace kx
