#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

bool Win32Shell::Open(const std::string& fileOrAddress) {
  auto rc = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", fileOrAddress.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return rc > 32;
}

bool Win32Shell::Start(const std::string& program, const std::string& arguments) {
  std::string line = program + " " + arguments;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

bool Win32Shell::SetClipboardText(const std::string& text) {
  if (!OpenClipboard(nullptr)) return false;
  bool ok = false;
  if (EmptyClipboard()) {
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
      if (void* p = GlobalLock(mem)) {
        memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(mem);
        ok = SetClipboardData(CF_TEXT, mem) != nullptr;
      }
      if (!ok) GlobalFree(mem);  // the clipboard owns it only on success
    }
  }
  CloseClipboard();
  return ok;
}

std::optional<std::string> Win32Shell::ClipboardText() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::string> text;
  if (HANDLE mem = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(mem))) {
      text = std::string(p, strnlen(p, GlobalSize(mem)));
      GlobalUnlock(mem);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace kx::win32
