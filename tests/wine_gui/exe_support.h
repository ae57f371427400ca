// What the tests that start the real Kestrix.exe share: paths, the registry, waiting,
// window texts and screenshots.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

// Saves what the screen shows of the window as a 24-bit BMP.
inline bool Capture(HWND h, const std::string& path) {
  RECT r;
  if (!GetWindowRect(h, &r)) return false;
  const int w = r.right - r.left, hgt = r.bottom - r.top;
  if (w <= 0 || hgt <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, hgt);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, hgt, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof(bi);
  bi.biWidth = w;
  bi.biHeight = hgt;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  const int stride = (w * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(stride) * hgt);
  GetDIBits(mem, bmp, 0, hgt, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi);
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(&fh, sizeof(fh), 1, f);
  std::fwrite(&bi, sizeof(bi), 1, f);
  std::fwrite(pixels.data(), 1, pixels.size(), f);
  return std::fclose(f) == 0;
}

}  // namespace kx::exe_test
