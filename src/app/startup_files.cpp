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

namespace {

constexpr DefinitionFile kRequired[] = {DefinitionFile::File, DefinitionFile::Registry, DefinitionFile::Exe,
                                        DefinitionFile::BlockedCookies, DefinitionFile::Directory};

bool HasRequiredFiles(FileSystem& files, const std::string& folder) {
  for (DefinitionFile file : kRequired)
    if (!FileExistsAnyAttributes(files, folder + "\\" + std::string(DefinitionFileName(file)))) return false;
  return true;
}

}  // namespace

bool SeedDefinitionSet(FileSystem& files, const std::string& machineSet, const std::string& dataFolder, Log* log) {
  if (dataFolder.empty()) return false;
  if (!files.FolderExists(dataFolder)) {
    if (const IoStatus made = files.CreateFolder(dataFolder); !made && log)
      log->Write("definitions: " + dataFolder + " not created, error " + std::to_string(made.error));
  }
  if (HasRequiredFiles(files, dataFolder)) return true;
  const std::string date(kDefinitionsDateFileName);
  // Without a whole machine set (a copy run from elsewhere), Live Update builds one.
  if (!HasRequiredFiles(files, machineSet) || !FileExistsAnyAttributes(files, machineSet + "\\" + date)) return false;
  bool all = true;
  for (DefinitionFile file : {DefinitionFile::File, DefinitionFile::Directory, DefinitionFile::Registry,
                              DefinitionFile::Exe, DefinitionFile::BlockedCookies, DefinitionFile::Safety}) {
    const std::string name(DefinitionFileName(file));
    if (file == DefinitionFile::Safety && !FileExistsAnyAttributes(files, machineSet + "\\" + name)) continue;
    if (const IoStatus copied = files.CopyFile(machineSet + "\\" + name, dataFolder + "\\" + name, false); !copied) {
      all = false;
      if (log) log->Write("definitions: " + name + " not copied in, error " + std::to_string(copied.error));
    }
  }
  // The date goes with a whole set only: with it, Live Update asks for what came since.
  if (all) {
    // Without the date Live Update asks for everything again, so only a note.
    if (const IoStatus copied = files.CopyFile(machineSet + "\\" + date, dataFolder + "\\" + date, false);
        !copied && log)
      log->Write("definitions: " + date + " not copied in, error " + std::to_string(copied.error));
  }
  return HasRequiredFiles(files, dataFolder);
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
