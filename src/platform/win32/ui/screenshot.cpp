// Screenshots of a form window for the tests' artifacts.
#include <cstdio>

#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {

bool SaveWindowBitmap(ui::Form& form, const std::string& path) {
  HWND hwnd = static_cast<HWND>(form.native);
  if (!hwnd || !IsWindow(hwnd)) return false;
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  return SaveWindowBitmap(static_cast<void*>(hwnd), path);
}

bool SaveWindowBitmap(void* window, const std::string& path) {
  HWND hwnd = static_cast<HWND>(window);
  if (!hwnd || !IsWindow(hwnd)) return false;
  RECT r, whole;
  GetWindowRect(hwnd, &whole);
  // Only what is on the screen: a window larger than it (a big scale on a small screen)
  // would otherwise give nothing at all.
  const int sx = GetSystemMetrics(SM_XVIRTUALSCREEN), sy = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT screenRect = {sx, sy, sx + GetSystemMetrics(SM_CXVIRTUALSCREEN), sy + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  if (!IntersectRect(&r, &whole, &screenRect)) return false;
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  if (cx <= 0 || cy <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, cx, cy);
  HGDIOBJ old = SelectObject(mem, bmp);
  // The screen has the children as drawn; PrintWindow is the fallback when it is not ours.
  if (!BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY)) {
    SetViewportOrgEx(mem, whole.left - r.left, whole.top - r.top, nullptr);
    PrintWindow(hwnd, mem, 0);
  }
  SelectObject(mem, old);
  BITMAPINFOHEADER bi = {};
  bi.biSize = sizeof bi;
  bi.biWidth = cx;
  bi.biHeight = cy;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  const DWORD stride = static_cast<DWORD>((cx * 3 + 3) & ~3);
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(cy));
  const int lines = GetDIBits(mem, bmp, 0, static_cast<UINT>(cy), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (lines != cy) return false;
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  bi.biSizeImage = static_cast<DWORD>(pixels.size());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi, sizeof bi, 1, f) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace kx::win32
