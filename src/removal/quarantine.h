// The quarantine store: before anything is deleted it is copied into the data folder's
// "quarantine" folder, and each removed file or registry entry gets a record in
// QuarantineLog.txt. The quarantine is the user's only way back, so nothing is deleted
// unless a copy of it was made and checked: a name already taken by another item gets a
// slot of its own ("name (2).ext"), and an item whose copy failed is left where it is.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "platform/log.h"
#include "platform/services.h"

namespace kx {

struct QuarantineServices {
  FileSystem& files;
  Com& com;
  Clock& clock;
  std::string dataFolder;       // no trailing "\"
  std::function<void()> yield;  // the message loop's turn between deletion attempts
  Log* log = nullptr;
};

class Quarantine {
 public:
  explicit Quarantine(QuarantineServices services) : s_(std::move(services)) {}

  // QuarantineLogging: records are appended while it is on, and, inside a run, for a file
  // first removed while it is off.
  bool logging = false;
  void BeginRun();
  void EndRun();

  std::string Folder() const { return s_.dataFolder + "\\quarantine"; }
  std::string LogFile() const { return Folder() + "\\QuarantineLog.txt"; }
  // Which run took what: a "Run|<time>" line, then one "File|<slot>|<path>",
  // "Key|<full key>|<value>" or "Registry|<.reg file>" line per item the run recorded. The
  // log alone cannot tell one run's records from the next.
  std::string RunIndexFile() const { return Folder() + "\\RunIndex.txt"; }
  // The run's .reg export, written into the quarantine folder.
  void NoteRegistryExport(const std::string& path);
  void CreateFolder();

  // name is the text after the last "\" of path. True when the file was present and was
  // backed up (it is then deleted, with retries).
  [[nodiscard]] bool QuarantineFile(const std::string& path, const std::string& name);
  // -1 when the file is not present, 1 when it was backed up and deleted, 0 otherwise.
  int QuarantineDll(const std::string& path);
  // A file or a whole folder. True when path named a present file or an existing folder.
  [[nodiscard]] bool QuarantineItem(const std::string& path);
  // A cookie file: backed up, recorded and deleted once.
  void QuarantineCookie(const std::string& path);
  // Only unregistration is ever asked for, so there is no register flag. Whether it took
  // shows in the library's copy and deletion that follow.
  void RegisterComServer(const std::string& path);

  void WriteQuarantineFileRecord(const std::string& path, const std::string& name);
  void WriteQuarantineRegistryRecord(const std::string& fullKey, const std::string& valueName);

  // The slot the n-th item of a name is kept in: "a.exe", "a (2).exe", "a (3).exe"...
  static std::string SlotName(const std::string& name, int n);
  // A plain (not hidden, not system) file of that name is listed at path.
  bool Listed(const std::string& path, const std::string& name);
  // The name of a verified copy of the file in the quarantine: a new slot, or one that
  // already holds the same bytes (a retry, or the same threat removed before). nullopt
  // when no copy could be made.
  std::optional<std::string> BackUpFile(const std::string& path, const std::string& name);
  // The same for a folder: every file below it copied and checked.
  std::optional<std::string> BackUpFolder(const std::string& path, const std::string& name);

 private:
  bool SameFile(const std::string& a, const std::string& b);
  bool SameTree(const std::string& source, const std::string& copy);
  [[nodiscard]] bool CopyTree(const std::string& from, const std::string& to);
  // Deletes what the copy holds the same bytes of, read-only entries included, each file
  // with its record (named by its place below the slot); the rest stays. Links inside are
  // removed, never followed.
  void DeleteCopiedTree(const std::string& source, const std::string& copy, const std::string& slot);
  void RemoveLink(const std::string& path);
  void Append(const std::string& record);
  void IndexLine(const std::string& line);
  void Note(const std::string& text);

  QuarantineServices s_;
  bool inRun_ = false;
  std::set<std::string> recorded_;  // upper-case paths recorded in this run
  std::string runTime_;             // the run's "Run|" line, until it is written
};

}  // namespace kx
