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

bool WriteAll(HANDLE h, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 30));
    DWORD wrote = 0;
    if (!::WriteFile(h, bytes.data() + at, chunk, &wrote, nullptr) || wrote == 0) return false;
    at += wrote;
  }
  return true;
}

std::vector<WIN32_FIND_DATAA> List(const std::string& pattern) {
  std::vector<WIN32_FIND_DATAA> out;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0) continue;
    out.push_back(fd);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return out;
}

bool CopyTree(const std::string& from, const std::string& to, bool overwrite) {
  if (!IsFolder(to) && !CreateDirectoryA(to.c_str(), nullptr)) return false;
  bool ok = true;
  for (const auto& fd : List(from + "\\*")) {
    std::string src = from + "\\" + fd.cFileName, dst = to + "\\" + fd.cFileName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!CopyTree(src, dst, overwrite)) ok = false;
    } else {
      DWORD existing = GetFileAttributesA(dst.c_str());
      // Windows refuses to copy over hidden targets; read-only ones stay a failure.
      if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
        ok = false;
        continue;
      }
      if (overwrite && existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_HIDDEN))
        SetFileAttributesA(dst.c_str(), existing & ~FILE_ATTRIBUTE_HIDDEN);
      if (!::CopyFileA(src.c_str(), dst.c_str(), overwrite ? FALSE : TRUE)) ok = false;
    }
  }
  return ok;
}

bool DeleteTree(const std::string& folder, bool force) {
  bool ok = true;
  for (const auto& fd : List(folder + "\\*")) {
    std::string p = folder + "\\" + fd.cFileName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!DeleteTree(p, force)) ok = false;
      continue;
    }
    if (force && (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
      SetFileAttributesA(p.c_str(), fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) || force) {
      if (!::DeleteFileA(p.c_str())) ok = false;
    } else {
      ok = false;
    }
  }
  if (!ok) return false;
  DWORD a = GetFileAttributesA(folder.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(folder.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  return RemoveDirectoryA(folder.c_str()) != 0;
}

}  // namespace

std::vector<FileEntry> Win32FileSystem::Find(const std::string& pattern) {
  std::vector<FileEntry> out;
  for (const auto& fd : List(pattern)) {
    FileEntry e;
    e.name = fd.cFileName;
    e.attributes = fd.dwFileAttributes;
    e.size = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
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

bool Win32FileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  if (HasWildcards(path)) return false;
  uint32_t settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE;
  DWORD a = attributes & settable;
  return SetFileAttributesA(path.c_str(), a ? a : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool Win32FileSystem::FolderExists(const std::string& path) { return IsFolder(Trimmed(path)); }

bool Win32FileSystem::CreateFolder(const std::string& path) {
  if (HasWildcards(path)) return false;
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  return IsFolder(Trimmed(path));
}

bool Win32FileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (HasWildcards(from) || HasWildcards(to)) return false;
  // Windows refuses read-only and hidden targets; Wine would replace them.
  DWORD existing = GetFileAttributesA(to.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)))
    return false;
  return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

bool Win32FileSystem::DeleteFile(const std::string& path) {
  if (HasWildcards(path)) return false;
  return ::DeleteFileA(path.c_str()) != 0;
}

bool Win32FileSystem::MoveFile(const std::string& from, const std::string& to) {
  if (HasWildcards(from) || HasWildcards(to)) return false;
  return ::MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool Win32FileSystem::CopyFolder(const std::string& from, const std::string& to, bool overwrite) {
  std::string f = Trimmed(from), t = Trimmed(to);
  if (!IsFolder(f)) return false;
  std::string fu = f, tu = t;
  CharUpperA(fu.data());
  CharUpperA(tu.data());
  if (tu == fu || tu.rfind(fu + "\\", 0) == 0) return false;  // into itself
  if (RawAttributes(t) != INVALID_FILE_ATTRIBUTES && !IsFolder(t)) return false;
  return CopyTree(f, t, overwrite);
}

bool Win32FileSystem::DeleteFolder(const std::string& path, bool force) {
  std::string p = Trimmed(path);
  if (p.size() <= 3 || !IsFolder(p)) return false;  // never a drive root
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

bool Win32FileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  if (HasWildcards(path)) return false;
  // OPEN_ALWAYS and truncate: CREATE_ALWAYS refuses existing hidden files.
  Handle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_ARCHIVE, nullptr));
  if (!f.ok() || !SetEndOfFile(f.h)) return false;
  return WriteAll(f.h, bytes);
}

bool Win32FileSystem::AppendFile(const std::string& path, const std::string& bytes) {
  if (HasWildcards(path)) return false;
  Handle f(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_ARCHIVE, nullptr));
  if (!f.ok()) return false;
  return WriteAll(f.h, bytes);
}

}  // namespace kx::win32
