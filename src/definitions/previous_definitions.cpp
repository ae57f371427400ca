#include "definitions/previous_definitions.h"

#include "core/text.h"
#include "definitions/definition_files.h"
#include "definitions/definitions_date.h"

namespace kx {
namespace {

bool IsFile(FileSystem& files, const std::string& path) {
  const auto a = files.Attributes(path);
  return a && !(*a & FA_DIRECTORY);
}

// The lines of a small list written with CR LF.
std::vector<std::string> ListLines(const std::string& text) {
  std::vector<std::string> out;
  for (std::string line : Split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!Trim(line).empty()) out.push_back(Trim(line));
  }
  return out;
}

struct JournalLine {
  std::string name;
  bool current = false, previous = false;
};

}  // namespace

const std::vector<std::string>& PreviousDefinitions::SetFiles() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (DefinitionFile f : {DefinitionFile::File, DefinitionFile::Directory, DefinitionFile::Registry,
                             DefinitionFile::Exe, DefinitionFile::BlockedCookies, DefinitionFile::Safety})
      n.emplace_back(DefinitionFileName(f));
    n.emplace_back(kDefinitionsDateFileName);
    return n;
  }();
  return names;
}

void PreviousDefinitions::Note(const std::string& text) {
  if (log_) log_->Write("previous definitions: " + text);
}

std::optional<std::vector<std::string>> PreviousDefinitions::Manifest(const std::string& folder) {
  const auto text = files_.ReadFile(folder + "\\Set.txt");
  if (!text) return std::nullopt;
  std::vector<std::string> names;
  for (const std::string& name : ListLines(*text)) {
    bool known = false;
    for (const std::string& n : SetFiles()) known = known || EqualsNoCase(n, name);
    // A list edited by hand names nothing outside the set.
    if (!known || !IsFile(files_, folder + "\\" + name)) return std::nullopt;
    names.push_back(name);
  }
  return names;
}

bool PreviousDefinitions::SameAsCurrent(const std::string& folder, const std::vector<std::string>& names) {
  for (const std::string& n : SetFiles()) {
    bool listed = false;
    for (const std::string& m : names) listed = listed || EqualsNoCase(m, n);
    const bool present = IsFile(files_, Data(n));
    if (listed != present) return false;
    if (listed && files_.ReadFile(folder + "\\" + n) != files_.ReadFile(Data(n))) return false;
  }
  return true;
}

bool PreviousDefinitions::Stage() {
  Recover();
  const std::string staging = StagingFolder();
  if (files_.FolderExists(staging)) (void)files_.DeleteFolder(staging, true);  // a leftover; CreateFolder below reports
  if (!files_.CreateFolder(staging)) {
    Note("the folder for the replaced set cannot be made");
    return false;
  }
  std::string manifest;
  for (const std::string& n : SetFiles()) {
    if (!IsFile(files_, Data(n))) continue;
    const auto bytes = files_.ReadFile(Data(n));
    const IoStatus st = bytes ? files_.WriteFileFlushed(staging + "\\" + n, *bytes) : IoStatus::Fail(ERR_ACCESS_DENIED);
    if (!st) {
      Note(n + " cannot be kept (error " + std::to_string(st.error) + ")");
      (void)files_.DeleteFolder(staging, true);  // already failing; an unfinished copy has no Set.txt
      return false;
    }
    manifest += n + "\r\n";
  }
  // Written last: a folder without it is a copy that did not finish.
  if (const IoStatus st = files_.WriteFileFlushed(staging + "\\Set.txt", manifest); !st) {
    Note("the set's list cannot be written (error " + std::to_string(st.error) + ")");
    (void)files_.DeleteFolder(staging, true);  // already failing; an unfinished copy has no Set.txt
    return false;
  }
  return true;
}

bool PreviousDefinitions::Commit() {
  const std::string old = Folder() + ".old";
  if (files_.FolderExists(Folder())) {
    if (files_.FolderExists(old)) (void)files_.DeleteFolder(old, true);  // the move below reports
    if (!files_.MoveFile(Folder(), old)) {
      Note("the previous set cannot be replaced");
      Discard();
      Forget();
      return false;
    }
  }
  if (!files_.MoveFile(StagingFolder(), Folder())) {
    Note("the replaced set cannot be put in place");
    if (files_.FolderExists(old)) (void)files_.MoveFile(old, Folder());  // already failing; Recover moves it back next time
    Discard();
    Forget();
    return false;
  }
  if (files_.FolderExists(old)) (void)files_.DeleteFolder(old, true);  // the new set is in place; Recover drops a leftover .old
  return true;
}

void PreviousDefinitions::Discard() {
  if (files_.FolderExists(StagingFolder())) (void)files_.DeleteFolder(StagingFolder(), true);  // a staging folder without Set.txt is never used
}

void PreviousDefinitions::Forget() {
  if (files_.FolderExists(Folder())) (void)files_.DeleteFolder(Folder(), true);  // Available() rechecks the folder
}

bool PreviousDefinitions::Available() {
  Recover();
  return files_.FolderExists(Folder()) && Manifest(Folder()).has_value();
}

void PreviousDefinitions::RollBackUndo() {
  const auto text = files_.ReadFile(JournalPath());
  if (!text) return;
  bool clean = true;
  for (const std::string& line : ListLines(*text)) {
    const auto f = Split(line, '|');
    if (f.size() != 3) continue;
    JournalLine j{f[0], f[1] == "1", f[2] == "1"};
    bool known = false;
    for (const std::string& n : SetFiles()) known = known || EqualsNoCase(n, j.name);
    if (!known) continue;
    const std::string file = Data(j.name), cur = file + ".cur", undo = file + ".undo";
    if (j.current) {
      if (IsFile(files_, cur)) {
        // What stands at the name now came from the previous set.
        if (IsFile(files_, file)) (void)files_.DeleteFile(file);  // the move below reports
        clean = files_.MoveFile(cur, file).ok() && clean;
      }
    } else if (j.previous && IsFile(files_, file) && !IsFile(files_, undo)) {
      clean = files_.DeleteFile(file).ok() && clean;
    }
    if (IsFile(files_, undo)) (void)files_.DeleteFile(undo);  // a stale .undo is cleared by Recover
  }
  // Kept until every file is back, so the next start finishes the job.
  if (clean) (void)files_.DeleteFile(JournalPath());  // every file is back; a journal left over is replayed harmlessly
  else Note("an undo could not be taken back whole; the next start tries again");
}

void PreviousDefinitions::Recover() {
  if (IsFile(files_, JournalPath())) RollBackUndo();
  bool leftovers = false;
  for (const std::string& n : SetFiles()) {
    if (IsFile(files_, Data(n) + ".undo")) (void)files_.DeleteFile(Data(n) + ".undo");  // leftovers; Recover clears them again
    if (IsFile(files_, Data(n) + ".cur")) {
      leftovers = true;
      (void)files_.DeleteFile(Data(n) + ".cur");  // leftovers; Recover clears them again
    }
  }
  // An undo that was done but not tidied: its previous set is the set in place now.
  if (leftovers && files_.FolderExists(Folder()))
    if (auto m = Manifest(Folder()); m && SameAsCurrent(Folder(), *m)) Forget();

  const std::string old = Folder() + ".old";
  if (files_.FolderExists(StagingFolder())) {
    const auto m = Manifest(StagingFolder());
    if (!m) {
      Discard();
    } else if (!files_.FolderExists(Folder()) && files_.FolderExists(old)) {
      // Stopped between the two renames of a commit.
      if (files_.MoveFile(StagingFolder(), Folder())) (void)files_.DeleteFolder(old, true);  // the .old branch below retries
    } else if (SameAsCurrent(StagingFolder(), *m)) {
      Discard();  // the update it was kept for changed nothing
    } else {
      (void)Commit();  // the update went through; the program stopped before keeping its set
    }
  }
  if (files_.FolderExists(old)) {
    if (files_.FolderExists(Folder())) (void)files_.DeleteFolder(old, true);  // retried on the next Recover
    else if (!files_.MoveFile(old, Folder())) Note("the previous set cannot be put back; the next start tries again");
  }
}

PreviousDefinitions::UndoResult PreviousDefinitions::Undo() {
  UndoResult r;
  Recover();
  const auto manifest = files_.FolderExists(Folder()) ? Manifest(Folder()) : std::nullopt;
  if (!manifest) {
    r.error = "there is no previous definition set";
    return r;
  }
  auto inPrevious = [&](const std::string& n) {
    for (const std::string& m : *manifest)
      if (EqualsNoCase(m, n)) return true;
    return false;
  };
  auto dropStaged = [&] {
    for (const std::string& n : SetFiles())
      if (IsFile(files_, Data(n) + ".undo")) (void)files_.DeleteFile(Data(n) + ".undo");  // leftovers; Recover clears them again
  };
  std::string journal;
  for (const std::string& n : SetFiles()) {
    const bool prev = inPrevious(n);
    journal += n + "|" + (IsFile(files_, Data(n)) ? "1" : "0") + "|" + (prev ? "1" : "0") + "\r\n";
    if (!prev) continue;
    const auto bytes = files_.ReadFile(Folder() + "\\" + n);
    const IoStatus st = bytes ? files_.WriteFileFlushed(Data(n) + ".undo", *bytes) : IoStatus::Fail(ERR_ACCESS_DENIED);
    if (!st) {
      dropStaged();
      r.error = n + " cannot be written (error " + std::to_string(st.error) + ")";
      return r;
    }
  }
  if (const IoStatus st = files_.WriteFileFlushed(JournalPath(), journal); !st) {
    dropStaged();
    r.error = "the undo journal cannot be written (error " + std::to_string(st.error) + ")";
    return r;
  }
  auto fail = [&](const std::string& why) {
    r.error = why;
    RollBackUndo();
    return r;
  };
  for (const std::string& n : SetFiles())
    if (IsFile(files_, Data(n)))
      if (const IoStatus st = files_.MoveFile(Data(n), Data(n) + ".cur"); !st)
        return fail(n + " cannot be replaced (error " + std::to_string(st.error) + ")");
  for (const std::string& n : SetFiles())
    if (inPrevious(n))
      if (const IoStatus st = files_.MoveFile(Data(n) + ".undo", Data(n)); !st)
        return fail(n + " cannot be put back (error " + std::to_string(st.error) + ")");
  // The journal's removal puts the previous set in place for good.
  if (const IoStatus st = files_.DeleteFile(JournalPath()); !st)
    return fail("the undo journal cannot be removed (error " + std::to_string(st.error) + ")");
  for (const std::string& n : SetFiles())
    if (IsFile(files_, Data(n) + ".cur")) (void)files_.DeleteFile(Data(n) + ".cur");  // leftovers; Recover clears them again
  Forget();
  r.ok = true;
  r.date = ReadDefinitionsDate(files_, dataFolder_);
  Note("the previous set is back, dated " + r.date);
  return r;
}

}  // namespace kx
