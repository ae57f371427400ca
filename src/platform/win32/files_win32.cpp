#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

bool HasWildcards(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string Trimmed(std::string p) {
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  return p;
}

DWORD RawAttributes(const std::string& path) {
  if (HasWildcards(path)) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesA(path.c_str());
}

bool IsFolder(const std::string& path) {
  DWORD a = RawAttributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE x) : h(x) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  bool ok() const { return h != INVALID_HANDLE_VALUE; }
};

IoStatus WriteAll(HANDLE h, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 30));
    DWORD wrote = 0;
    if (!::WriteFile(h, bytes.data() + at, chunk, &wrote, nullptr)) return IoStatus::Fail(GetLastError());
    if (wrote == 0) return IoStatus{ERROR_WRITE_FAULT};
    at += wrote;
  }
  return {};
}

std::vector<WIN32_FIND_DATAA> List(const std::string& pattern) {
  std::vector<WIN32_FIND_DATAA> out;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  // A pattern with wildcards ending in "." ("*.") takes only names without a dot on
  // Windows; Wine ignores that dot.
  size_t leaf = pattern.find_last_of("\\/") + 1;
  bool noDot = pattern.size() > leaf && pattern.back() == '.' && HasWildcards(pattern.substr(leaf));
  do {
    if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0) continue;
    if (noDot && strchr(fd.cFileName, '.')) continue;
    out.push_back(fd);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return out;
}

IoStatus LastError() { return IoStatus::Fail(GetLastError()); }
IoStatus Done(BOOL ok) { return ok ? IoStatus{} : LastError(); }
constexpr IoStatus kBadName{ERROR_INVALID_NAME};  // what Windows says of a name with wildcards

// The first failure wins; later steps still run.
void Keep(IoStatus& first, IoStatus next) {
  if (first.ok()) first = next;
}

// Why a path is not a folder: missing (its own code) or a file (ERROR_DIRECTORY).
IoStatus NotAFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return LastError();
  return IoStatus{ERROR_DIRECTORY};
}

// An existing read-only file, which Windows will not write, replace or rename over; Wine
// running as root would.
bool ReadOnlyFile(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_READONLY);
}

// Windows refuses to copy onto read-only and hidden targets; Wine would replace them.
bool RefusedTarget(DWORD existing) {
  return existing != INVALID_FILE_ATTRIBUTES && (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

// A junction or directory symbolic link.
bool IsFolderLink(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Windows removes a directory link as a folder; Wine, for a Unix symbolic link, as a file.
// Neither call follows it.
IoStatus RemoveLink(const std::string& path) {
  if (RemoveDirectoryA(path.c_str())) return {};
  const IoStatus why = LastError();
  return ::DeleteFileA(path.c_str()) ? IoStatus{} : why;
}

IoStatus CopyTree(const std::string& from, const std::string& to, bool overwrite) {
  if (!IsFolder(to) && !CreateDirectoryA(to.c_str(), nullptr)) return LastError();
  IoStatus first;
  for (const auto& fd : List(from + "\\*")) {
    std::string src = from + "\\" + fd.cFileName, dst = to + "\\" + fd.cFileName;
    if (IsFolderLink(fd.dwFileAttributes)) continue;  // what it points to lies elsewhere
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Keep(first, CopyTree(src, dst, overwrite));
      continue;
    }
    DWORD existing = GetFileAttributesA(dst.c_str());
    // A hidden target is replaced all the same; a read-only one stays a failure.
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
      Keep(first, IoStatus{ERROR_ACCESS_DENIED});
      continue;
    }
    if (overwrite && existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_HIDDEN))
      SetFileAttributesA(dst.c_str(), existing & ~FILE_ATTRIBUTE_HIDDEN);  // the copy's own attributes follow
    Keep(first, Done(::CopyFileA(src.c_str(), dst.c_str(), overwrite ? FALSE : TRUE)));
  }
  return first;
}

IoStatus DeleteTree(const std::string& folder, bool force) {
  IoStatus first;
  for (const auto& fd : List(folder + "\\*")) {
    std::string p = folder + "\\" + fd.cFileName;
    // The link goes, never what it points to.
    if (IsFolderLink(fd.dwFileAttributes)) {
      Keep(first, RemoveLink(p));
      continue;
    }
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Keep(first, DeleteTree(p, force));
      continue;
    }
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
      if (!force) {
        Keep(first, IoStatus{ERROR_ACCESS_DENIED});
        continue;
      }
      // Should clearing fail, the delete below says why.
      SetFileAttributesA(p.c_str(), fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    }
    Keep(first, Done(::DeleteFileA(p.c_str())));
  }
  if (!first.ok()) return first;
  DWORD a = GetFileAttributesA(folder.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(folder.c_str(), a & ~FILE_ATTRIBUTE_READONLY);  // else the removal says why
  return Done(RemoveDirectoryA(folder.c_str()));
}

}  // namespace

std::vector<FileEntry> Win32FileSystem::Find(const std::string& pattern) {
  std::vector<FileEntry> out;
  for (const auto& fd : List(pattern)) {
    FileEntry e;
    e.name = fd.cFileName;
    e.attributes = fd.dwFileAttributes;
    e.size = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    e.lastWrite = (static_cast<uint64_t>(fd.ftLastWriteTime.dwHighDateTime) << 32) | fd.ftLastWriteTime.dwLowDateTime;
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<std::string> Win32FileSystem::ListPlainFiles(const std::string& pattern) {
  std::string p = pattern;
  if (!p.empty() && (p.back() == '\\' || p.back() == '/')) p += "*.*";
  std::vector<std::string> names;
  for (const auto& fd : List(p))
    if (!(fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)))
      names.emplace_back(fd.cFileName);
  return names;
}

std::optional<uint32_t> Win32FileSystem::Attributes(const std::string& path) {
  DWORD a = RawAttributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return a;
}

IoStatus Win32FileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  if (HasWildcards(path)) return kBadName;
  uint32_t settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE;
  DWORD a = attributes & settable;
  return Done(SetFileAttributesA(path.c_str(), a ? a : FILE_ATTRIBUTE_NORMAL));
}

bool Win32FileSystem::FolderExists(const std::string& path) { return IsFolder(Trimmed(path)); }

IoStatus Win32FileSystem::CreateFolder(const std::string& path) {
  if (HasWildcards(path)) return kBadName;
  if (CreateDirectoryA(path.c_str(), nullptr)) return {};
  IoStatus why = LastError();
  return IsFolder(Trimmed(path)) ? IoStatus{} : why;
}

IoStatus Win32FileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (HasWildcards(from) || HasWildcards(to)) return kBadName;
  if (GetFileAttributesA(from.c_str()) == INVALID_FILE_ATTRIBUTES) return LastError();
  if (!failIfExists && RefusedTarget(GetFileAttributesA(to.c_str()))) return IoStatus{ERROR_ACCESS_DENIED};
  return Done(::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE));
}

IoStatus Win32FileSystem::DeleteFile(const std::string& path) {
  if (HasWildcards(path)) return kBadName;
  return Done(::DeleteFileA(path.c_str()));
}

IoStatus Win32FileSystem::MoveFile(const std::string& from, const std::string& to, bool replaceExisting) {
  if (HasWildcards(from) || HasWildcards(to)) return kBadName;
  if (replaceExisting && ReadOnlyFile(to) && GetFileAttributesA(from.c_str()) != INVALID_FILE_ATTRIBUTES)
    return IoStatus{ERROR_ACCESS_DENIED};
  // Write-through: the rename (or the copy, across drives) is on the disk when this returns.
  DWORD flags = MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
  return Done(MoveFileExA(from.c_str(), to.c_str(), flags));
}

IoStatus Win32FileSystem::CopyFolder(const std::string& from, const std::string& to, bool overwrite) {
  std::string f = Trimmed(from), t = Trimmed(to);
  if (HasWildcards(f) || HasWildcards(t)) return kBadName;
  if (!IsFolder(f)) return NotAFolder(f);
  std::string fu = f, tu = t;
  CharUpperA(fu.data());
  CharUpperA(tu.data());
  if (tu == fu || tu.rfind(fu + "\\", 0) == 0) return IoStatus{ERROR_INVALID_PARAMETER};  // into itself
  if (RawAttributes(t) != INVALID_FILE_ATTRIBUTES && !IsFolder(t)) return IoStatus{ERROR_ALREADY_EXISTS};
  return CopyTree(f, t, overwrite);
}

IoStatus Win32FileSystem::DeleteFolder(const std::string& path, bool force) {
  std::string p = Trimmed(path);
  if (HasWildcards(p)) return kBadName;
  if (p.size() <= 3) return IoStatus{ERROR_ACCESS_DENIED};  // never a drive root
  if (!IsFolder(p)) return NotAFolder(p);
  if (IsFolderLink(RawAttributes(p))) return RemoveLink(p);
  return DeleteTree(p, force);
}

std::optional<std::string> Win32FileSystem::ReadFile(const std::string& path) {
  if (HasWildcards(path)) return std::nullopt;
  Handle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.h, &size) || size.QuadPart < 0 || size.QuadPart > 0x7FFFFFFF) return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!bytes.empty() && !::ReadFile(f.h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
    return std::nullopt;
  bytes.resize(got);  // shorter when the file shrank meanwhile
  return bytes;
}

std::optional<std::string> Win32FileSystem::ReadImageFile(const std::string& path) {
  // Looked up at run time: XP before SP2 and 32-bit Windows may lack them, and there
  // nothing is redirected anyway.
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  using RevertFn = BOOL(WINAPI*)(PVOID);
  static const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  static const auto disable = reinterpret_cast<DisableFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
  static const auto revert = reinterpret_cast<RevertFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
  PVOID previous = nullptr;
  // Off for this thread only, and only for the read: with it off, loading a DLL would find
  // the 64-bit one.
  const bool off = disable && revert && disable(&previous);
  std::optional<std::string> bytes = ReadFile(path);
  if (off) revert(previous);
  return bytes;
}

IoStatus Win32FileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  if (HasWildcards(path)) return kBadName;
  if (ReadOnlyFile(path)) return IoStatus{ERROR_ACCESS_DENIED};
  // OPEN_ALWAYS and truncate: CREATE_ALWAYS refuses existing hidden files.
  Handle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_ARCHIVE, nullptr));
  if (!f.ok() || !SetEndOfFile(f.h)) return LastError();
  return WriteAll(f.h, bytes);
}

IoStatus Win32FileSystem::WriteFileFlushed(const std::string& path, const std::string& bytes) {
  if (HasWildcards(path)) return kBadName;
  if (ReadOnlyFile(path)) return IoStatus{ERROR_ACCESS_DENIED};
  Handle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_ARCHIVE, nullptr));
  if (!f.ok() || !SetEndOfFile(f.h)) return LastError();
  IoStatus written = WriteAll(f.h, bytes);
  if (!written) return written;
  return FlushFileBuffers(f.h) ? IoStatus{} : LastError();
}

IoStatus Win32FileSystem::AppendFile(const std::string& path, const std::string& bytes) {
  if (HasWildcards(path)) return kBadName;
  if (ReadOnlyFile(path)) return IoStatus{ERROR_ACCESS_DENIED};
  Handle f(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_ARCHIVE, nullptr));
  if (!f.ok()) return LastError();
  return WriteAll(f.h, bytes);
}

}  // namespace kx::win32
