// An in-memory file system with Windows path semantics: drive-rooted paths, names that
// compare without regard to case (Windows-1252 letters too) and lose trailing dots and
// blanks, attributes, FindFirstFile patterns, and the rules that bite: read-only files
// resist deletion and overwriting, hidden ones being copied onto, hidden and system files
// never show in plain listings, and a name with wildcards is never a file. Failures carry
// the codes Windows gives for the same situation.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/services.h"

namespace kx::fakes {

class FakeFileSystem final : public FileSystem {
 public:
  std::vector<FileEntry> Find(const std::string& pattern) override;
  std::vector<std::string> ListPlainFiles(const std::string& pattern) override;
  std::optional<uint32_t> Attributes(const std::string& path) override;
  IoStatus SetAttributes(const std::string& path, uint32_t attributes) override;
  bool FolderExists(const std::string& path) override;
  IoStatus CreateFolder(const std::string& path) override;
  IoStatus CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  IoStatus DeleteFile(const std::string& path) override;
  using FileSystem::MoveFile;
  IoStatus MoveFile(const std::string& from, const std::string& to, bool replaceExisting) override;
  IoStatus CopyFolder(const std::string& from, const std::string& to, bool overwrite) override;
  IoStatus DeleteFolder(const std::string& path, bool force) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  IoStatus WriteFile(const std::string& path, const std::string& bytes) override;
  IoStatus AppendFile(const std::string& path, const std::string& bytes) override;

  // Test set-up: plants a file or folder, creating missing parent folders. A file's
  // attributes are FileAttr bits (FA_ARCHIVE is what a new file gets on Windows).
  void AddFile(const std::string& path, const std::string& bytes = {}, uint32_t attrs = FA_ARCHIVE);
  void AddFolder(const std::string& path, uint32_t attrs = FA_DIRECTORY);
  // A junction or directory symbolic link at path pointing to target: paths through it
  // reach the target's contents; the link itself is removed as an empty folder.
  void AddFolderLink(const std::string& path, const std::string& target);
  // A file another program holds open for reading, sharing reading only: it can be read,
  // copied and have its attributes set, but not be deleted, moved or written
  // (ERR_SHARING_VIOLATION), nor be replaced.
  void SetInUse(const std::string& path, bool inUse = true);
  bool Exists(const std::string& path);  // file or folder, whatever its attributes
  // When set, writing file contents (WriteFile, AppendFile, CopyFile) fails with this code
  // before anything changes, as on a full disk (ERROR_DISK_FULL, 112).
  uint32_t writeFailure = 0;
  void Clear() { drives_.clear(); }

 private:
  struct Node {
    std::string name;
    uint32_t attrs = 0;
    bool inUse = false;
    std::string bytes;
    uint64_t lastWrite = 0;
    std::string linkTarget;  // a folder link's target
    std::map<std::string, std::unique_ptr<Node>> children;  // by upper-case name
    bool IsDir() const { return attrs & FA_DIRECTORY; }
  };
  Node* Lookup(const std::string& path);
  // The folder that would hold `path`, and its last component; null when absent.
  Node* Parent(const std::string& path, std::string& leaf);
  // Why `path` names nothing: its folder is missing too, or only the last part.
  IoStatus Missing(const std::string& path);
  Node* MakeFolders(const std::vector<std::string>& parts, size_t count);
  static FileEntry EntryOf(const Node& n);
  static std::unique_ptr<Node> Clone(const Node& n);
  IoStatus DeleteTree(Node& folder, bool force);
  IoStatus CopyInto(const Node& from, Node& to, bool overwrite);
  IoStatus Store(const std::string& path, const std::string& bytes, bool append);

  std::map<std::string, std::unique_ptr<Node>> drives_;  // "C:" upper case
  // Each write stamps a later time than any before it; the start is 1/1/2020.
  uint64_t clock_ = 132223104000000000ull;
  uint64_t Tick() { return clock_ += 10000000; }
};

}  // namespace kx::fakes
