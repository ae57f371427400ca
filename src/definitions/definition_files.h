// The definition files in the data folder: their names, their staged downloads, and
// reading their decoded lines.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.h"
#include "platform/services.h"

namespace kx {

enum class DefinitionFile { File, Directory, Registry, Exe, BlockedCookies, Safety };

inline constexpr std::string_view kExclusionFileName = "ENoSignature.dat";  // plain text
inline constexpr std::string_view kDefinitionsDateFileName = "date.dat";     // the definitions' date

// "FileDefinition.dat" and so on.
std::string_view DefinitionFileName(DefinitionFile file);

// A downloaded copy waiting to be installed is "DL" + the file's name; only these four are
// ever staged, and start-up installs them in this order.
inline constexpr std::array<DefinitionFile, 4> kStagedDefinitionFiles = {
    DefinitionFile::BlockedCookies, DefinitionFile::Registry, DefinitionFile::File, DefinitionFile::Exe};
// "DLFileDefinition.dat", or none for a file that is never staged.
std::optional<std::string> StagingFileName(DefinitionFile file);

// The data folder's definition files, read through the file system service. Each read
// takes the file as it is now; nothing is kept between reads.
class DefinitionStore {
 public:
  DefinitionStore(FileSystem& files, std::string dataFolder)
      : files_(files), dataFolder_(std::move(dataFolder)) {}

  const std::string& dataFolder() const { return dataFolder_; }
  std::string PathOf(std::string_view fileName) const { return dataFolder_ + "\\" + std::string(fileName); }
  std::string PathOf(DefinitionFile file) const { return PathOf(DefinitionFileName(file)); }

  // Present as the plain-file listing sees it: a hidden definition file is absent.
  bool Present(DefinitionFile file) { return FileExists(files_, PathOf(file)); }
  // The file's lines, decoded; none when the file is absent or unreadable.
  std::vector<std::string> DecodedLines(DefinitionFile file);
  // The lines as stored (encoded), as the line counts and the update merge see them.
  std::vector<std::string> RawLines(DefinitionFile file);
  // The exclusion file's non-blank lines, exactly as read.
  std::vector<std::string> ExclusionLines();

 private:
  std::vector<std::string> LinesOf(const std::string& path);

  FileSystem& files_;
  std::string dataFolder_;
};

// Between lines of a long read: stop is asked before each line, yield after it (the
// message loop's turn). Either may be empty.
struct LineLoop {
  std::function<bool()> stop;
  std::function<void()> yield;
};

// The safe list from Safety.dat's decoded lines: the entries, each ended by CR LF, joined
// and split again on CR LF, so a non-empty list ends with one empty element.
std::vector<std::string> SafeListFromLines(const std::vector<std::string>& decodedLines,
                                           Placeholders& placeholders, const LineLoop& loop = {});
// Reads Safety.dat into the safe list; empty when the file is absent.
std::vector<std::string> LoadSafetyList(DefinitionStore& store, Placeholders& placeholders,
                                        const LineLoop& loop = {});

}  // namespace kx
