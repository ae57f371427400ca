#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/win32/services_win32.h"

namespace kx::win32 {
namespace {

// The record as Windows 95 and NT 4 defined it: the version every shell accepts.
constexpr DWORD kRecordSize = 88;
static_assert(offsetof(NOTIFYICONDATAA, szTip) + 64 == kRecordSize, "the first record ends with its tip");

HICON IconOf(HWND owner) {
  // The window's own picture, as the taskbar shows it; the class's; the system's default.
  DWORD_PTR icon = 0;
  for (WPARAM which : {WPARAM(ICON_SMALL), WPARAM(ICON_BIG)}) {
    if (SendMessageTimeoutA(owner, WM_GETICON, which, 0, SMTO_ABORTIFHUNG, 1000, &icon) && icon)
      return reinterpret_cast<HICON>(icon);
  }
  for (int index : {GCLP_HICONSM, GCLP_HICON})
    if (ULONG_PTR cls = GetClassLongPtrA(owner, index)) return reinterpret_cast<HICON>(cls);
  return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
}

BOOL Send(DWORD what, const NotifyIcon& icon) {
  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = kRecordSize;
  data.hWnd = static_cast<HWND>(const_cast<void*>(icon.window));
  data.uID = icon.id;
  data.uFlags = icon.flags;
  data.uCallbackMessage = icon.callbackMessage;
  data.hIcon = icon.icon ? static_cast<HICON>(const_cast<void*>(icon.icon)) : IconOf(data.hWnd);
  // 63 bytes and the NUL: a longer tip is cut, never overruns.
  const size_t n = std::min(icon.tip.size(), sizeof data.szTip - 1);
  std::memcpy(data.szTip, icon.tip.data(), n);
  data.szTip[n] = '\0';
  return Shell_NotifyIconA(what, &data);
}

}  // namespace

bool Win32NotificationArea::Add(const NotifyIcon& icon) { return Send(NIM_ADD, icon) != FALSE; }

bool Win32NotificationArea::Modify(const NotifyIcon& icon) { return Send(NIM_MODIFY, icon) != FALSE; }

bool Win32NotificationArea::Delete(const void* window, uint32_t id) {
  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = kRecordSize;
  data.hWnd = static_cast<HWND>(const_cast<void*>(window));
  data.uID = id;
  return Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

PixelSize Win32NotificationArea::DesktopClientSize() {
  RECT r{};
  if (!GetClientRect(GetDesktopWindow(), &r)) return {};
  return {int(r.right - r.left), int(r.bottom - r.top)};
}

int Win32NotificationArea::TaskbarClientHeight() {
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  RECT r{};
  if (!taskbar || !GetClientRect(taskbar, &r)) return 0;
  return int(r.bottom - r.top);
}

}  // namespace kx::win32
