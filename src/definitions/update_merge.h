// Applying a definitions update package to the six definition files of the data folder.
//
// A package is records joined by "[BR]" (any case): encoded kind "|" ADD or DEL "[DEF]" body.
// Each target file gets its added lines appended; a file with withdrawals is rewritten
// without the lines whose name (decoded text before the first "=", any case) was withdrawn,
// and without blank lines. Every file changes in one step: its new content is written beside
// it ("<name>.new", flushed) and renamed over it, so each file is always whole, old or new.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
  // Told when a file's new content could not be written or put in place (the system's
  // error code): the file stays as it was and its changes are not counted.
  virtual void FileNotReplaced(DefinitionFile file, uint32_t error) {}
};

// The six files in the order the merge writes them.
inline constexpr DefinitionFile kMergeOrder[] = {
    DefinitionFile::File, DefinitionFile::Exe, DefinitionFile::Registry,
    DefinitionFile::BlockedCookies, DefinitionFile::Directory, DefinitionFile::Safety};

class UpdateMerge {
 public:
  UpdateMerge(FileSystem& files, std::string dataFolder, UpdateMergeHost& host)
      : files_(files), dataFolder_(std::move(dataFolder)), host_(host) {}

  // Applies the package; the change count: one per ADD record applied to a file (an EXE
  // record feeds two files and counts twice), plus one per file rewritten for withdrawals.
  // 0 when nothing changed. Every definition file exists afterwards (created empty when
  // missing), except one that could not be read or replaced, which stays as it was.
  int32_t MergeUpdatePackage(std::string_view package);

  // The scratch copy a merge writes beside a definition file.
  std::string ScratchPathOf(DefinitionFile file) const;

 private:
  std::string PathOf(DefinitionFile file) const;

  FileSystem& files_;
  std::string dataFolder_;
  UpdateMergeHost& host_;
};

}  // namespace kx
