#include "scan/scan_paths.h"

#include <cctype>

namespace kx {

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  std::string out;
  size_t i = 0;
  for (size_t at; (at = s.find(from, i)) != std::string::npos; i = at + from.size()) {
    out.append(s, i, at - i);
    out += to;
  }
  out.append(s, i, std::string::npos);
  return out;
}

std::string FileNameOfPath(const std::string& path) {
  size_t at = path.rfind('\\');
  return at == std::string::npos ? path : path.substr(at + 1);
}

bool PlainFileExists(FileSystem& files, const std::string& path) {
  std::vector<std::string> names = files.ListPlainFiles(path);
  return !names.empty() && UpperAscii(names.front()) == UpperAscii(FileNameOfPath(path));
}

namespace {

struct Token {
  const char* text;
  int csidl;
};

// In the order they are applied.
const Token kTokens[] = {
    {"[startsp]", 29}, {"[appdata]", 26}, {"[recycle]", 10}, {"[comstar]", 30},
    {"[comapp]", 35},  {"[desktop]", 25}, {"[comdocs]", 46}, {"[comfav]", 31},
    {"[comprog]", 23}, {"[comstam]", 22}, {"[comtemp]", 45}, {"[cookies]", 33},
    {"[comdesk]", 16}, {"[favorit]", 6},  {"[fonts]", 20},   {"[history]", 34},
    {"[netcach]", 32}, {"[progs]", 2},    {"[progfil]", 38}, {"[comprogfil]", 43},
    {"[personl]", 5},  {"[recent]", 8},   {"[sendto]", 9},   {"[startup]", 7},
    {"[strtmnu]", 11}, {"[system]", 37},  {"[templat]", 21}, {"[windir]", 36},
};

std::string ReplaceAllNoCase(const std::string& s, const std::string& token, const std::string& to) {
  std::string upper = UpperAscii(s), utoken = UpperAscii(token);
  if (upper.find(utoken) == std::string::npos) return s;
  std::string out;
  size_t i = 0;
  for (size_t at; (at = upper.find(utoken, i)) != std::string::npos; i = at + utoken.size()) {
    out.append(s, i, at - i);
    out += to;
  }
  out.append(s, i, std::string::npos);
  return out;
}

std::string RemoveStartMenu(const std::string& folder) { return ReplaceAllNoCase(folder, "\\Start Menu", ""); }

}  // namespace

std::string PlaceholderFolders::SpecialFolderPath(int csidl) {
  if (cached_) {
    auto it = folders_.find(csidl);
    if (it != folders_.end()) return it->second;
  }
  std::string p = system_.SpecialFolder(csidl);
  if (!p.empty()) p += "\\";
  if (cached_) folders_[csidl] = p;
  return p;
}

std::string PlaceholderFolders::Expand(const std::string& text) {
  // Every folder is asked for even when its token is absent: that is what a lookup per
  // call costs, and the cached variant pays it once.
  std::string s = text;
  for (const Token& t : kTokens) s = ReplaceAllNoCase(s, t.text, SpecialFolderPath(t.csidl));
  s = ReplaceAll(s, "[user]", RemoveStartMenu(SpecialFolderPath(11)));
  s = ReplaceAll(s, "[alluser]", RemoveStartMenu(SpecialFolderPath(22)));
  return s;
}

std::string PlaceholderFolders::SystemDriveRoot() {
  if (cached_ && driveRoot_) return *driveRoot_;
  std::string p = system_.SpecialFolder(2);
  std::string root;
  if (!p.empty()) {
    if (p.back() != '\\') p += "\\";
    root = p.substr(0, 3);
  }
  if (cached_) driveRoot_ = root;
  return root;
}

namespace {

class LiteralScanPaths : public ScanPaths {
 public:
  LiteralScanPaths(SystemInfo& system, FileSystem& files) : folders_(system, false), files_(files) {}
  std::string ExpandDefinitionField(const std::string& text) override {
    return folders_.Expand(ReplaceAll(text, "[drive]", folders_.SystemDriveRoot()));
  }
  std::string SystemDriveRoot() override { return folders_.SystemDriveRoot(); }
  bool FileExists(const std::string& path) override { return PlainFileExists(files_, path); }
  bool FolderExists(const std::string& path) override { return files_.FolderExists(path); }

 private:
  PlaceholderFolders folders_;
  FileSystem& files_;
};

// Paths the listing shortcut does not model; they are asked about directly.
bool Unusual(const std::string& path) {
  if (path.size() < 4 || path[1] != ':' || path[2] != '\\') return true;
  if (path.back() == '\\' || path.back() == '.' || path.back() == ' ') return true;
  if (path.find_first_of("*?\"<>|/") != std::string::npos) return true;
  if (path.find("\\\\") != std::string::npos) return true;
  if (path.find("\\.") != std::string::npos) return true;  // ".", ".." and dot-names
  if (path.find(". \\") != std::string::npos || path.find(".\\") != std::string::npos ||
      path.find(" \\") != std::string::npos)
    return true;  // components Windows would trim
  return false;
}

class CachedScanPaths : public ScanPaths {
 public:
  CachedScanPaths(SystemInfo& system, FileSystem& files)
      : folders_(system, true), files_(files), literal_(system, files) {}
  std::string ExpandDefinitionField(const std::string& text) override {
    return folders_.Expand(ReplaceAll(text, "[drive]", folders_.SystemDriveRoot()));
  }
  std::string SystemDriveRoot() override { return folders_.SystemDriveRoot(); }

  bool FileExists(const std::string& path) override {
    if (Unusual(path)) return literal_.FileExists(path);
    size_t cut = path.rfind('\\');
    const Listing& l = ListingOf(path.substr(0, cut));
    return l.plainFiles.count(UpperAscii(path.substr(cut + 1))) != 0;
  }

  bool FolderExists(const std::string& path) override {
    if (Unusual(path) || path.size() <= 3) return literal_.FolderExists(path);
    std::string key = UpperAscii(path);
    auto it = folderAnswers_.find(key);
    if (it != folderAnswers_.end()) return it->second;
    size_t cut = path.rfind('\\');
    std::string parent = path.substr(0, cut);
    bool exists;
    if (parent.size() == 2) {  // "C:": ask directly rather than list a drive root
      exists = literal_.FolderExists(path);
    } else {
      const Listing& l = ListingOf(parent);
      exists = l.folders.count(UpperAscii(path.substr(cut + 1))) != 0;
    }
    folderAnswers_.emplace(std::move(key), exists);
    return exists;
  }

 private:
  struct Listing {
    std::unordered_set<std::string> plainFiles;  // upper case
    std::unordered_set<std::string> folders;     // upper case
  };

  const Listing& ListingOf(const std::string& folder) {
    std::string key = UpperAscii(folder);
    auto it = listings_.find(key);
    if (it != listings_.end()) return it->second;
    Listing l;
    for (const FileEntry& e : files_.Find(folder + "\\*")) {
      if (e.name == "." || e.name == "..") continue;
      if (e.attributes & FA_DIRECTORY)
        l.folders.insert(UpperAscii(e.name));
      else if (!(e.attributes & (FA_HIDDEN | FA_SYSTEM)))
        l.plainFiles.insert(UpperAscii(e.name));
    }
    return listings_.emplace(std::move(key), std::move(l)).first->second;
  }

  PlaceholderFolders folders_;
  FileSystem& files_;
  LiteralScanPaths literal_;
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
