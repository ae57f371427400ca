// Applying a definitions update package to the six definition files of the data folder.
//
// A package is records joined by "[BR]" (any case): encoded kind "|" ADD or DEL "[DEF]" body.
// Each target file gets its added lines appended; a file with withdrawals is rewritten
// without the lines whose name (decoded text before the first "=", any case) was withdrawn,
// and without blank lines. The six files change together: every new content is first written
// beside its file ("<name>.new", flushed), the old ones are kept ("<name>.old") under a
// journal, and only then are the new ones renamed over the old. When one cannot be put in
// place, those already replaced are put back; when the program dies half way, the next merge
// puts them back. So the set is always either wholly old or wholly new.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definition_files.h"
#include "platform/services.h"

namespace kx {

// The Live Update window, as the merge sees it.
class UpdateMergeHost {
 public:
  virtual ~UpdateMergeHost() = default;
  // The progress text (the window's txtStatus).
  virtual void SetStatus(const std::string& text) = 0;
  // A turn of the message loop, so the window stays responsive.
  virtual void PumpMessages() = 0;
  // Told after a definition file was replaced, in the merge's order. For tests that stop
  // a merge half way; nothing else needs it.
  virtual void FileReplaced(DefinitionFile file) {}
  // Told when a file could not be read, or its new content not written or put in place (the
  // system's error code; 0 when unknown): no file changes.
  virtual void FileNotReplaced(DefinitionFile file, uint32_t error) {}
};

// The six files in the order the merge writes them.
inline constexpr DefinitionFile kMergeOrder[] = {
    DefinitionFile::File, DefinitionFile::Exe, DefinitionFile::Registry,
    DefinitionFile::BlockedCookies, DefinitionFile::Directory, DefinitionFile::Safety};

struct MergeResult {
  bool ok = true;       // false: nothing changed, the set is as it was
  int32_t changes = 0;  // 0 unless ok
  DefinitionFile failedFile = DefinitionFile::File;  // when not ok
  uint32_t error = 0;   // the system's code, 0 when unknown
  std::string Describe() const;  // "ExeDefinition.dat could not be replaced (error 5)"
  enum class Step { None, Read, Write, Replace } step = Step::None;
};

class UpdateMerge {
 public:
  UpdateMerge(FileSystem& files, std::string dataFolder, UpdateMergeHost& host)
      : files_(files), dataFolder_(std::move(dataFolder)), host_(host) {}

  // Applies the package; the change count: one per ADD record applied to a file (an EXE
  // record feeds two files and counts twice), plus one per file rewritten for withdrawals.
  // 0 when nothing changed. Every definition file exists afterwards (created empty when
  // missing), unless the merge failed: then no file changed.
  MergeResult MergeUpdatePackage(std::string_view package);

  // Puts back the set a merge that died half way was replacing, and clears its leftovers.
  // Every merge does this first; start-up may too.
  void RecoverInterrupted();

  // The scratch copy a merge writes beside a definition file, and the old one it keeps.
  std::string ScratchPathOf(DefinitionFile file) const;
  std::string BackupPathOf(DefinitionFile file) const;
  // Present only while files are being replaced: lists the files that did not exist before.
  std::string JournalPath() const;

 private:
  struct Staged;
  std::string PathOf(DefinitionFile file) const;
  MergeResult Replace(const std::vector<Staged>& staged, int32_t changes);

  FileSystem& files_;
  std::string dataFolder_;
  UpdateMergeHost& host_;
};

}  // namespace kx
