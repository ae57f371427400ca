#include <windows.h>
#include <shlobj.h>

#include "platform/win32/module_path_win32.h"
#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

std::string NoTrailingSlash(std::string p) {
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  return p;
}

}  // namespace

std::string Win32SystemInfo::SpecialFolder(int csidl) {
  char buf[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE)) return {};
  return NoTrailingSlash(buf);
}

std::string Win32SystemInfo::WindowsDirectory() {
  char buf[MAX_PATH + 1] = {};
  UINT n = GetWindowsDirectoryA(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  return NoTrailingSlash(std::string(buf, n));
}

std::string Win32SystemInfo::SystemDirectory() {
  char buf[MAX_PATH + 1] = {};
  UINT n = GetSystemDirectoryA(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  return NoTrailingSlash(std::string(buf, n));
}

std::vector<DriveInfo> Win32SystemInfo::Drives() {
  std::vector<DriveInfo> out;
  char buf[512] = {};
  DWORD n = GetLogicalDriveStringsA(sizeof buf - 1, buf);
  if (n == 0 || n >= sizeof buf) return out;
  // An empty floppy or card reader must not put up "insert a disk".
  UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  for (const char* p = buf; *p; p += strlen(p) + 1) {
    DriveInfo d;
    d.root = p;
    d.type = static_cast<DriveType>(GetDriveTypeA(p));
    DWORD serial = 0, maxLen = 0, flags = 0;
    d.ready = GetVolumeInformationA(p, nullptr, 0, &serial, &maxLen, &flags, nullptr, 0) != 0;
    out.push_back(std::move(d));
  }
  SetErrorMode(old);
  return out;
}

OsVersion Win32SystemInfo::Version() {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  BOOL ok = GetVersionExA(&vi);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  OsVersion v;
  if (ok) {
    v.platformId = vi.dwPlatformId;
    v.major = vi.dwMajorVersion;
    v.minor = vi.dwMinorVersion;
  }
  return v;
}

std::string Win32SystemInfo::ProgramFolder() {
  std::string path = OwnModulePath();
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : NoTrailingSlash(path.substr(0, slash));
}

std::string Win32SystemInfo::UserName() {
  char buf[257] = {};
  DWORD n = sizeof buf;
  if (!GetUserNameA(buf, &n)) return {};
  return buf;
}

std::string Win32SystemInfo::AllUsersProfile() {
  // userenv is not on the Windows 95 family: asked for at run time.
  using Fn = BOOL(WINAPI*)(LPSTR, LPDWORD);
  std::string path;
  HMODULE userenv = LoadLibraryA("userenv.dll");
  if (!userenv) return path;
  if (auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(userenv, "GetAllUsersProfileDirectoryA")))) {
    char buf[MAX_PATH + 1] = {};
    DWORD n = MAX_PATH;
    if (fn(buf, &n)) path = buf;
  }
  FreeLibrary(userenv);
  if (path.empty()) {
    // Wine's userenv looks for a value Windows 7 no longer writes; the environment names it.
    char buf[MAX_PATH + 1] = {};
    const DWORD n = GetEnvironmentVariableA("ALLUSERSPROFILE", buf, MAX_PATH);
    if (n > 0 && n < MAX_PATH) path.assign(buf, n);
  }
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace kx::win32
