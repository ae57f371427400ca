// The definition set a Live Update replaced (the six files and date.dat), kept in the data
// folder's "PreviousDefinitions" so that a bad update can be undone. There is at most one:
// each update that changes the set makes the set it replaced the previous one.
//
// Crash safety. Keeping: the set is copied into "PreviousDefinitions.new", its list "Set.txt"
// written last; that folder is renamed into place only once the update changed the files.
// Undoing: every file of the previous set is first written beside its file ("<name>.undo",
// flushed), then a journal ("UndoDefinitions.dat") is written, the current files are renamed
// to "<name>.cur" and the ".undo" ones into their place; the journal goes last. Whatever
// Recover finds half done is put back to the set as it was before the undo, so the data
// folder always holds one whole set.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/services.h"

namespace kx {

class PreviousDefinitions {
 public:
  PreviousDefinitions(FileSystem& files, std::string dataFolder, Log* log = nullptr)
      : files_(files), dataFolder_(std::move(dataFolder)), log_(log) {}

  // The six definition files and date.dat, as named in the data folder.
  static const std::vector<std::string>& SetFiles();

  std::string Folder() const { return dataFolder_ + "\\PreviousDefinitions"; }
  std::string StagingFolder() const { return Folder() + ".new"; }
  std::string JournalPath() const { return dataFolder_ + "\\UndoDefinitions.dat"; }

  // Before an update: copies the current set aside. False when it could not be.
  [[nodiscard]] bool Stage();
  // The update changed the set: the staged copy becomes the one previous set.
  [[nodiscard]] bool Commit();
  // The update changed nothing: the staged copy goes.
  void Discard();
  // The update changed the set but nothing was staged: the previous set kept is no longer
  // the one this set replaced, so it goes too.
  void Forget();

  // A whole previous set is there to go back to.
  bool Available();

  struct UndoResult {
    bool ok = false;
    std::string date;   // date.dat's date after the undo
    std::string error;  // why nothing changed
  };
  // Puts the previous set back in place of the current one, in one step as far as anyone
  // reading the data folder can tell; the previous set is used up.
  UndoResult Undo();

  // Finishes or takes back what a keep or an undo left half done. Every call above does it
  // first; start-up may too.
  void Recover();

 private:
  std::optional<std::vector<std::string>> Manifest(const std::string& folder);
  bool SameAsCurrent(const std::string& folder, const std::vector<std::string>& names);
  void RollBackUndo();
  std::string Data(const std::string& name) const { return dataFolder_ + "\\" + name; }
  void Note(const std::string& text);

  FileSystem& files_;
  std::string dataFolder_;
  Log* log_;
};

}  // namespace kx
