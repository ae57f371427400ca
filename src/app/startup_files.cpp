#include "app/startup_files.h"

#include "definitions/definition_files.h"

namespace kx {

void PromotePendingDefinitions(FileSystem& files, const std::string& dataFolder, Log* log) {
  // DirectoryDefinition.dat is not staged by a download.
  for (DefinitionFile file : kStagedDefinitionFiles) {
    const std::string plain = dataFolder + "\\" + std::string(DefinitionFileName(file));
    const std::string staged = dataFolder + "\\" + StagingFileName(file).value_or("");
    if (!FileExistsAnyAttributes(files, staged)) continue;
    // One step, so a failure keeps the old file and the staged one for the next start.
    if (const IoStatus moved = files.MoveFile(staged, plain, true); !moved && log)
      log->Write("definitions: " + staged + " not installed, error " + std::to_string(moved.error));
  }
}

long CountFileLines(FileSystem& files, const std::string& path) {
  auto bytes = files.ReadFile(path);
  if (!bytes) return 0;
  const std::string& s = *bytes;
  long lines = 0;
  bool open = false;  // a line has begun and not ended
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      ++lines;
      open = false;
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      open = true;
    }
  }
  return lines + (open ? 1 : 0);
}

std::string GroupDigits(long n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

}  // namespace kx
