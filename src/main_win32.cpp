// Program entry: builds the real platform services and the Win32 form backend, runs the
// program and its message loop until it ends.
#include <windows.h>

#include <string>

#include "app/app.h"
#include "platform/win32/module_path_win32.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/version_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kx::win32::Win32Platform services;
  kx::Platform platform = services.platform();
  kx::Log log(platform.clock, kx::win32::WriteDebugOutput);
  kx::win32::Win32Backend ui(&log);
  const std::string self = kx::win32::OwnModulePath();
  kx::App app(platform, ui, kx::AppInfoFromVersionResource(kx::win32::ReadVersionResource(self), self), {}, &log);
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
