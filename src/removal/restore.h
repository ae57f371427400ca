// The way back from a removal: what each run took away (its file and folder copies in the
// quarantine, and its .reg export), put back on request. A copy goes back to its original
// path only where nothing is in the way now, and an export is imported value by value
// through the registry service, each read back. Nothing in the quarantine is touched by a
// restore; only Delete discards copies. Every outcome is returned and written to the log.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/services.h"

namespace kx {

struct RestoreItem {
  enum class Kind { File, Folder, RegistryExport };
  Kind kind = Kind::File;
  std::string copy;      // below the quarantine folder: "a.exe", "a (2).exe", "Folder", "Registry ....reg"
  std::string original;  // where it came from; for an export, the keys it holds, one line each
  // A folder's files: each below the folder's copy, and where it came from.
  struct Part {
    std::string copy, original;
  };
  std::vector<Part> parts;
  // For an export: the locations its run removed, as a scan names them ("HKEY_...\key" for
  // a key, "HKEY_...\key" + value name for a value), so they can be excluded.
  std::vector<std::string> locations;
};

struct RestoreRun {
  std::string time;       // the run's time as the log writes it; "" for the earlier group
  bool grouped = true;    // false: removals from before runs were recorded, by their log records
  std::vector<RestoreItem> items;
};

enum class RestoreStatus { Restored, InTheWay, Failed };

struct RestoreOutcome {
  std::string what;  // a file's path, or a registry value's location
  RestoreStatus status = RestoreStatus::Failed;
  std::string cause;  // why it was not restored
};

// Outcomes of one item: a file's one, a folder's per file, an export's per value.
struct ItemOutcome {
  const RestoreItem* item = nullptr;
  std::vector<RestoreOutcome> outcomes;
  bool AllRestored() const;
};

struct RestoreServices {
  FileSystem& files;
  Registry& registry;
  Clock& clock;
  std::string dataFolder;  // no trailing "\"
  // Adds one line to the exclusions; false when it could not be written.
  std::function<bool(const std::string&)> addExclusion;
  Log* log = nullptr;
};

class Restore {
 public:
  explicit Restore(RestoreServices services) : s_(std::move(services)) {}

  std::string Folder() const { return s_.dataFolder + "\\quarantine"; }

  // Newest run first, the earlier group last; only items whose copy is still there.
  std::vector<RestoreRun> List();

  // Puts the items back. exclude: each restored item's place is added to the exclusions,
  // so the next scan leaves it alone.
  std::vector<ItemOutcome> RestoreItems(const std::vector<const RestoreItem*>& items, bool exclude);

  // Discards the items' copies for good (the caller has asked). Restored means deleted.
  std::vector<ItemOutcome> DeleteCopies(const std::vector<const RestoreItem*>& items);

 private:
  RestoreOutcome RestoreFile(const std::string& copy, const std::string& target);
  std::vector<RestoreOutcome> ImportExport(const RestoreItem& item);
  [[nodiscard]] bool MakeFolders(const std::string& folder, std::string& cause);
  void Record(const RestoreOutcome& o, const char* action);

  RestoreServices s_;
};

// One value of a REGEDIT4 export, as regedit would import it.
struct ExportedValue {
  std::string name;  // "" the default value
  RegValue value;
};
struct ExportedKey {
  std::string name;  // the full key as written: "HKEY_LOCAL_MACHINE\SOFTWARE\X"
  std::vector<ExportedValue> values;
};
// The keys and values of a REGEDIT4 text; false when a line cannot be read (the keys read
// up to it are given).
bool ParseRegeditExport(const std::string& text, std::vector<ExportedKey>& keys);

// The hive and path this 32-bit program writes a key of an export to: the registry's own
// name of the 32-bit view ("SOFTWARE\Wow6432Node\X") is this program's "SOFTWARE\X".
bool ImportTarget(const std::string& fullKey, Hive& hive, std::string& path);

}  // namespace kx
