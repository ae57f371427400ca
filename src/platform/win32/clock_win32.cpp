#include <windows.h>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

DateTime Win32Clock::Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

int64_t Win32Clock::UnixSeconds() {
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  // 100 ns ticks since 1/1/1601.
  return static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
}

uint64_t Win32Clock::TickMs() { return GetTickCount64(); }

}  // namespace kx::win32
