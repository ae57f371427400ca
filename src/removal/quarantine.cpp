#include "removal/quarantine.h"

#include "core/paths.h"
#include "core/text.h"
#include "platform/datetime.h"

namespace kx {
namespace {
constexpr int kDeleteAttempts = 8;
constexpr int kMostSlots = 9999;

// The last component of a path, a trailing "\" ignored.
std::string ItemName(const std::string& path) {
  if (path.size() < 2) return {};
  const size_t cut = path.find_last_of('\\', path.size() - 2);
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  std::string out;
  for (char c : name)
    if (c != '\\') out += c;
  return out;
}

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

bool IsFolderLink(uint32_t attributes) { return (attributes & FA_DIRECTORY) && (attributes & FA_REPARSE_POINT); }

std::optional<uint64_t> SizeOf(FileSystem& files, const std::string& path) {
  const std::string name = FileNameOfPath(path);
  for (const FileEntry& e : files.Find(path))
    if (!(e.attributes & FA_DIRECTORY) && EqualsNoCase(e.name, name)) return e.size;
  return std::nullopt;
}
}  // namespace

void Quarantine::CreateFolder() {
  if (!s_.files.FolderExists(Folder())) (void)s_.files.CreateFolder(Folder());  // each copy into it fails and says so
}

std::string Quarantine::SlotName(const std::string& name, int n) {
  if (n <= 1) return name;
  const size_t dot = name.rfind('.');
  const std::string suffix = " (" + std::to_string(n) + ")";
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

bool Quarantine::Listed(const std::string& path, const std::string& name) {
  for (const std::string& listed : s_.files.ListPlainFiles(path))
    if (EqualsNoCase(listed, name)) return true;
  return false;
}

bool Quarantine::SameFile(const std::string& a, const std::string& b) {
  const auto sa = SizeOf(s_.files, a), sb = SizeOf(s_.files, b);
  if (!sa || !sb || *sa != *sb) return false;
  const auto ba = s_.files.ReadFile(a), bb = s_.files.ReadFile(b);
  return ba && bb && *ba == *bb;
}

std::optional<std::string> Quarantine::BackUpFile(const std::string& path, const std::string& name) {
  if (name.empty()) return std::nullopt;
  const auto size = SizeOf(s_.files, path);
  if (!size) return std::nullopt;
  for (int n = 1; n <= kMostSlots; ++n) {
    const std::string slot = SlotName(name, n);
    const std::string target = Folder() + "\\" + slot;
    if (s_.files.Attributes(target)) {
      if (SameFile(path, target)) return slot;
      continue;
    }
    const IoStatus copied = s_.files.CopyFile(path, target, true);
    if (copied && SizeOf(s_.files, target) == size) return slot;
    Note("quarantine: no copy of " + path + " (error " + std::to_string(copied.error) + "); left in place");
    // A partial copy would pass for a backup next time.
    if (copied || s_.files.Attributes(target)) {
      // Already failing; a copy left in the slot never passes SameFile, so it is never taken as the backup.
      (void)s_.files.SetAttributes(target, FA_NORMAL);
      (void)s_.files.DeleteFile(target);
    }
    return std::nullopt;
  }
  return std::nullopt;
}

bool Quarantine::CopyTree(const std::string& from, const std::string& to) {
  if (!s_.files.CreateFolder(to)) return false;
  bool ok = true;
  for (const FileEntry& e : s_.files.Find(from + "\\*")) {
    const std::string src = from + "\\" + e.name, dst = to + "\\" + e.name;
    if (IsFolderLink(e.attributes)) continue;  // what it points to is not the threat's
    if (e.attributes & FA_DIRECTORY)
      ok = CopyTree(src, dst) && ok;
    else
      ok = s_.files.CopyFile(src, dst, true).ok() && ok;
  }
  return ok;
}

bool Quarantine::SameTree(const std::string& source, const std::string& copy) {
  if (!s_.files.FolderExists(copy)) return false;
  for (const FileEntry& e : s_.files.Find(source + "\\*")) {
    const std::string src = source + "\\" + e.name, dst = copy + "\\" + e.name;
    if (IsFolderLink(e.attributes)) continue;
    if (e.attributes & FA_DIRECTORY) {
      if (!SameTree(src, dst)) return false;
    } else if (!SameFile(src, dst)) {
      // Names and sizes alike are not enough: another folder of the same name would pass
      // for this one's backup.
      return false;
    }
  }
  return true;
}

std::optional<std::string> Quarantine::BackUpFolder(const std::string& path, const std::string& name) {
  if (name.empty()) return std::nullopt;
  for (int n = 1; n <= kMostSlots; ++n) {
    const std::string slot = SlotName(name, n);
    const std::string target = Folder() + "\\" + slot;
    if (s_.files.Attributes(target)) {
      // A slot already holding every file of the folder: an earlier pass copied it.
      if (SameTree(path, target)) return slot;
      continue;
    }
    (void)CopyTree(path, target);  // SameTree below decides
    if (SameTree(path, target)) return slot;
    // The folder stays where it is; a part copy would later pass for its backup.
    Note("quarantine: folder " + path + " not copied whole; left in place");
    (void)s_.files.DeleteFolder(target, true);  // a part copy left behind is not listed
    return std::nullopt;
  }
  return std::nullopt;
}

void Quarantine::DeleteCopiedTree(const std::string& source, const std::string& copy, const std::string& slot) {
  for (const FileEntry& e : s_.files.Find(source + "\\*")) {
    const std::string src = source + "\\" + e.name, dst = copy + "\\" + e.name;
    if (IsFolderLink(e.attributes)) {
      RemoveLink(src);
    } else if (e.attributes & FA_DIRECTORY) {
      DeleteCopiedTree(src, dst, slot + "\\" + e.name);
    } else if (SameFile(src, dst)) {
      if (e.attributes & FA_READONLY) (void)s_.files.SetAttributes(src, e.attributes & ~FA_READONLY);  // the delete that follows decides
      if (s_.files.DeleteFile(src)) WriteQuarantineFileRecord(src, slot + "\\" + e.name);
    }
  }
  // Empty now unless something resisted; then the folder stays with it.
  if (s_.files.Find(source + "\\*").empty()) {
    if (const auto a = s_.files.Attributes(source); a && (*a & FA_READONLY))
      (void)s_.files.SetAttributes(source, *a & ~FA_READONLY);
    // The files inside are gone and recorded; an empty folder left behind is harmless.
    (void)s_.files.DeleteFolder(source, true);
  }
}

bool Quarantine::QuarantineFile(const std::string& path, const std::string& name) {
  if (!Listed(path, name)) return false;
  std::optional<std::string> stored;
  bool tried = false;
  for (int i = 0; i < kDeleteAttempts; ++i) {
    if (Listed(path, name)) {
      if (!tried) {
        tried = true;
        stored = BackUpFile(path, name);
        if (!stored) return false;
        WriteQuarantineFileRecord(path, *stored);
      }
      (void)s_.files.DeleteFile(path);  // Listed() looks again on the next attempt
    }
    if (s_.yield) s_.yield();
  }
  return true;
}

int Quarantine::QuarantineDll(const std::string& path) {
  if (path.find('\\') == std::string::npos) return 0;
  const std::string name = FileNameOfPath(path);
  if (!Listed(path, name)) return -1;
  RegisterComServer(path);
  if (!Listed(path, name)) return 0;
  const auto stored = BackUpFile(path, name);
  // Unregistered as asked, but without a copy the library stays.
  if (!stored) return 0;
  if (!s_.files.DeleteFile(path)) return 0;
  WriteQuarantineFileRecord(path, *stored);
  return 1;
}

void Quarantine::RemoveLink(const std::string& path) {
  // Removing a link leaves what it points to; there is nothing of the threat's to copy.
  if (s_.files.DeleteFolder(path, false)) {
    WriteQuarantineFileRecord(path, ItemName(path));
    Note("quarantine: link " + path + " removed; what it points to was left alone");
  }
}

bool Quarantine::QuarantineItem(const std::string& path) {
  if (path.find('\\') == std::string::npos) return false;
  // A folder's path may end in "\"; listing that would list the folder's files instead.
  const std::string source = WithoutTrailingBackslash(path);
  const bool folder = s_.files.FolderExists(source);
  const bool found = !folder && !s_.files.ListPlainFiles(path).empty();
  if (!found && !folder) return false;
  const std::string name = ItemName(path);
  if (folder && IsFolderLink(s_.files.Attributes(source).value_or(0))) {
    RemoveLink(source);
    return true;
  }
  if (!folder) {
    const auto stored = BackUpFile(path, name);
    if (!stored) return true;
    WriteQuarantineFileRecord(path, *stored);
    for (int i = 0; i < kDeleteAttempts; ++i) {
      (void)s_.files.DeleteFile(path);  // retried; the caller looks again
      if (s_.yield) s_.yield();
    }
    return true;
  }
  if (const auto stored = BackUpFolder(source, name)) DeleteCopiedTree(source, Folder() + "\\" + *stored, *stored);
  return true;
}

void Quarantine::QuarantineCookie(const std::string& path) {
  const auto stored = BackUpFile(path, ItemName(path));
  if (!stored) return;
  WriteQuarantineFileRecord(path, *stored);
  if (const IoStatus gone = s_.files.DeleteFile(path); !gone)
    Note("quarantine: cookie " + path + " backed up but not deleted, error " + std::to_string(gone.error));
}

void Quarantine::RegisterComServer(const std::string& path) { s_.com.Unregister(path); }

void Quarantine::BeginRun() {
  inRun_ = true;
  recorded_.clear();
  runTime_ = "Run|" + FormatUsDateTime(s_.clock.Now());
}

void Quarantine::EndRun() {
  inRun_ = false;
  recorded_.clear();
  runTime_.clear();
}

void Quarantine::IndexLine(const std::string& line) {
  if (!inRun_) return;
  // A run that took nothing gets no entry.
  std::string text = runTime_.empty() ? "" : runTime_ + "\r\n";
  text += line + "\r\n";
  if (const IoStatus st = s_.files.AppendFile(RunIndexFile(), text); !st) {
    Note("quarantine: run index line lost (error " + std::to_string(st.error) + ")");
    return;
  }
  runTime_.clear();
}

void Quarantine::NoteRegistryExport(const std::string& path) { IndexLine("Registry|" + FileNameOfPath(path)); }

void Quarantine::WriteQuarantineFileRecord(const std::string& path, const std::string& name) {
  // The second pass writes no records of its own, but a file it is the first to remove
  // still gets one: the log is the only note of where a copy came from.
  const bool first = recorded_.insert(UpperAnsi(path)).second;
  if (!logging && !(inRun_ && first)) return;
  Append(FormatUsDateTime(s_.clock.Now()) + " - File: " + name + "\r\n - Location: " + path + "\r\n\r\n\r\n");
  IndexLine("File|" + name + "|" + path);
}

void Quarantine::WriteQuarantineRegistryRecord(const std::string& fullKey, const std::string& valueName) {
  if (!logging) return;
  Append(FormatUsDateTime(s_.clock.Now()) + " - Key: " + fullKey + "\r\nValue: " + valueName + "\r\n\r\n\r\n");
  IndexLine("Key|" + fullKey + "|" + valueName);
}

void Quarantine::Append(const std::string& record) {
  if (const IoStatus st = s_.files.AppendFile(LogFile(), record); !st)
    Note("quarantine: log record lost (error " + std::to_string(st.error) + ")");
}

void Quarantine::Note(const std::string& text) {
  if (s_.log) s_.log->Write(text);
}

}  // namespace kx
