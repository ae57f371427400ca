// Program entry: builds the real platform services and the Win32 form backend, runs the
// program and its message loop until it ends.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "app/app.h"
#include "platform/win32/module_path_win32.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/version_win32.h"

namespace {

// How long Windows took to start the process and load what it imports, before any of ours ran.
std::string MsSinceProcessBegan() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return "?";
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](FILETIME f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return ticks(now) >= ticks(created) ? std::to_string((ticks(now) - ticks(created)) / 10000) : "?";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string entered = MsSinceProcessBegan();
  kx::win32::Win32Platform services;
  kx::Platform platform = services.platform();
  kx::Log log(platform.clock, kx::win32::WriteDebugOutput);
  log.Write("start-up: the program ran " + entered + " ms after its process began");
  kx::win32::Win32Backend ui(&log);
  const std::string self = kx::win32::OwnModulePath();
  std::unique_ptr<kx::App> owner;
  try {
    owner = std::make_unique<kx::App>(platform, ui,
                                      kx::AppInfoFromVersionResource(kx::win32::ReadVersionResource(self), self), kx::Subsystems{},
                                      &log);
  } catch (const std::exception& e) {
    // A build fault (a window without a control a feature drives): say so and stop,
    // rather than run with that feature silently half-wired.
    log.Write(std::string("start-up failed: ") + e.what());
    MessageBoxA(nullptr, e.what(), "Kestrix", MB_OK | MB_ICONERROR);
    return 1;
  }
  kx::App& app = *owner;
  app.onEnd = [] { PostQuitMessage(0); };
  app.Start();
  MSG m;
  while (!app.ended() && GetMessageA(&m, nullptr, 0, 0) > 0) {
    if (ui.DialogMessage(&m)) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}
