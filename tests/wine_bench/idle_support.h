// What the Windows sides of the idle benchmarks share: the program's settings, its main
// window and the CPU time Wine reports for it.
#pragma once

#include <windows.h>

#include <string>

namespace kx::bench {

inline const char kOptions[] = "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings";
inline const char kSettings[] = "Software\\Kestrix Labs\\Kestrix\\Settings";

inline bool WriteString(const char* path, const char* name, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG r = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

// "<none>" when the value is missing or not text.
inline std::string ReadString(const char* path, const char* name) {
  char buf[512] = {};
  DWORD size = sizeof(buf) - 1, type = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
  const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS && type == REG_SZ ? std::string(buf) : "<none>";
}

inline std::string Text(HWND h) {
  char buf[512] = {};
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

// The running program's main window once it is up (visible, its title set), or null.
inline HWND FindMain() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        char cls[64] = {};
        GetClassNameA(h, cls, sizeof cls);
        if (std::string(cls) == "KestrixForm_FrmMain" && IsWindowVisible(h) &&
            Text(h).find(" by ") != std::string::npos)
          *reinterpret_cast<HWND*>(p) = h;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Kernel and user seconds as GetProcessTimes tells them; -1 when it fails. Under Wine they
// are zeros or stale for another process, which is why the scripts read /proc.
inline double CpuSeconds(HANDLE process) {
  FILETIME created, ended, kernel, user;
  if (!process || !GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1;
  auto s = [](FILETIME f) { return (f.dwLowDateTime + (static_cast<unsigned long long>(f.dwHighDateTime) << 32)) / 1e7; };
  return s(kernel) + s(user);
}

}  // namespace kx::bench
