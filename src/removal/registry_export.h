// A backup of registry entries about to be deleted, as one REGEDIT4 file that regedit
// imports on every Windows version (a double-click puts everything back). What an item
// names is read when the text is made, so the file holds exactly what was there just
// before the deletion, whole subtrees for keys. An item the file cannot hold exactly is
// left out of it whole, and the caller is told (Exact), so that it keeps that item.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/datetime.h"
#include "platform/services.h"

namespace kx {

struct RegistryExportItem {
  int64_t hive = 0;                  // the predefined handle as a signed number: -2147483646 is HKLM
  std::string key;                   // below the hive
  std::optional<std::string> value;  // a value's name, "" the default value; nullopt: the key and its subtree
};

class RegistryExport {
 public:
  explicit RegistryExport(Registry& registry) : registry_(registry) {}

  void Add(RegistryExportItem item) { items_.push_back(std::move(item)); }
  void Add(int64_t hive, std::string key, std::optional<std::string> value) {
    items_.push_back({hive, std::move(key), std::move(value)});
  }
  bool Empty() const { return items_.empty(); }

  // The REGEDIT4 text of the items that exist now and are Exact, sections named as the
  // system stores the keys; "" when there are none.
  std::string Text() const;

  // Whether deleting the item now loses nothing that the text holds back: true when the text
  // holds all of it as it is (a key with its whole subtree), or when it does not exist.
  // False when some name or string of it reads differently through the ANSI calls
  // (Registry::ReadsExactly), a value name holds a line break or a NUL, a key's name is one
  // regedit cannot read back, part of it cannot be read, or it names no hive or key. Text()
  // leaves out exactly the items this answers false for; the caller keeps those.
  bool Exact(const RegistryExportItem& item) const;

  // Writes the text into the folder as "Registry 2026-12-09 03.15.10.reg" (the run's time;
  // " (2)" and so on when that name is taken). The file's path, or nullopt when nothing
  // exists to export or the file could not be written.
  std::optional<std::string> WriteTo(FileSystem& files, const std::string& quarantineFolder,
                                     const DateTime& runTime) const;

 private:
  Registry& registry_;
  std::vector<RegistryExportItem> items_;
};

// One value as regedit writes it in a REGEDIT4 file: `"name"=...` or `@=...`, long hex data
// wrapped with " \" continuations, ended by CR LF.
std::string RegeditValueLines(const std::string& name, const RegValue& value);

}  // namespace kx
