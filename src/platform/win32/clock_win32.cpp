#include <windows.h>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

DateTime Win32Clock::Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

uint64_t Win32Clock::TickMs() { return GetTickCount64(); }

}  // namespace kx::win32
