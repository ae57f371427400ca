// What the tests that start the real Kestrix.exe share: paths, the registry, waiting,
// window texts and screenshots.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/ui_win32.h"

namespace kx::exe_test {

// A Unix path as this Windows process sees it.
inline std::string WinePath(std::string unix) {
  for (char& c : unix)
    if (c == '/') c = '\\';
  return unix.size() && unix[0] == '\\' ? "Z:" + unix : unix;
}

inline std::string ReadString(HKEY hive, const char* path, const char* name) {
  char buf[512] = {};
  DWORD size = sizeof(buf) - 1, type = 0;
  HKEY key;
  if (RegOpenKeyExA(hive, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
  const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) return "<none>";
  return type == REG_SZ ? std::string(buf) : "<not text>";
}

inline void WriteString(HKEY hive, const char* path, const char* name, const std::string& value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(hive, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

template <typename F>
bool WaitFor(F&& done, int ms = 60000) {
  for (int waited = 0; waited < ms; waited += 100) {
    if (done()) return true;
    Sleep(100);
  }
  return done();
}

inline std::string Text(HWND h) {
  char buf[512] = {};
  GetWindowTextA(h, buf, sizeof(buf));
  return buf;
}

// Whether the process is built for the same word size as this one: structures handed to
// its windows through its memory (LVITEMA with pointers) must have its layout.
inline bool SameBitness(HANDLE process) {
  BOOL ours = FALSE, theirs = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &ours) || !IsWow64Process(process, &theirs)) return false;
  return ours == theirs;
}

// Saves what the screen shows of the window as a 24-bit BMP.
inline bool Capture(HWND h, const std::string& path) { return kx::win32::SaveWindowBitmap(h, path); }

}  // namespace kx::exe_test
