// Program entry: builds the real platform services and the Win32 form backend, runs the
// program and its message loop until it ends.
#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"
#include "scan/scan_subsystems.h"

namespace {

std::string ModulePath() {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::string(buf.data(), n);
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

std::string VersionString(const std::vector<char>& block, const char* name) {
  char* value = nullptr;
  UINT len = 0;
  const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &len) || !value || len == 0)
    return {};
  return std::string(value, strnlen(value, len));
}

// What the version resource says about the program; the defaults stand in for anything missing.
kx::AppInfo ReadAppInfo() {
  kx::AppInfo info;
  const std::string path = ModulePath();
  const size_t slash = path.find_last_of('\\');
  std::string exe = slash == std::string::npos ? path : path.substr(slash + 1);
  if (const size_t dot = exe.rfind('.'); dot != std::string::npos) exe.resize(dot);
  if (!exe.empty()) info.exeName = exe;

  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return info;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return info;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len) && fixed && len >= sizeof(*fixed)) {
    info.major = HIWORD(fixed->dwFileVersionMS);
    info.minor = LOWORD(fixed->dwFileVersionMS);
  }
  if (auto s = VersionString(block, "ProductName"); !s.empty()) info.branding.productName = s;
  if (auto s = VersionString(block, "CompanyName"); !s.empty()) info.branding.companyName = s;
  if (auto s = VersionString(block, "Comments"); !s.empty()) info.branding.website = s;
  return info;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kx::win32::Win32Platform services;
  kx::Platform platform = services.platform();
  kx::Log log(platform.clock, kx::win32::WriteDebugOutput);
  kx::win32::Win32Backend ui(&log);
  kx::ScanSubsystems subsystems;
  kx::App app(platform, ui, ReadAppInfo(), &subsystems);
  subsystems.Attach(app);
  app.onEnd = [] { PostQuitMessage(0); };
  app.Start();
  MSG m;
  while (!app.ended() && GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}
