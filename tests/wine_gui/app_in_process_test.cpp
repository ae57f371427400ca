// The whole program in this process on the real services and real windows, where a test
// needs to look at the model while Windows drives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../scan_support/must.h"
#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "core/paths.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

// Pumps the message loop until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(5);
  }
  return true;
}

// Minimising the real window in the middle of a scan (a WM_SIZE that Windows sends while the
// scan pumps messages) must leave the shields' timers stopped until the scan ends.
TEST(AppInProcess, MinimisingDuringAScanLeavesTheProtectionTimersStopped) {
  win32::Win32Platform services;
  Platform platform = services.platform();
  PlaceholderCache folders(platform.system);
  const std::string data = DataFolder(folders);
  CreateDirectoryA(data.c_str(), nullptr);
  std::vector<std::string> lines;
  for (int i = 0; i < 3000; ++i) lines.push_back("kxtimer" + std::to_string(i) + ".exe=T|[windir]");
  ASSERT_TRUE(platform.files.WriteFile(data + "\\FileDefinition.dat", scantest::EncodeFile(lines)));
  for (const char* f : {"RegistryDefinition.dat", "ExeDefinition.dat", "BlockedCookies.dat", "DirectoryDefinition.dat"})
    ASSERT_TRUE(platform.files.WriteFile(data + "\\" + f, scantest::EncodeFile({"x"})));
  const std::string key = "Software\\Kestrix Labs\\Kestrix\\";
  test_support::Must(platform.registry.CreateKey(Hive::CurrentUser, key + "Settings"), "CreateKey");
  test_support::Must(platform.registry.SetValue(Hive::CurrentUser, key + "Settings", "Language", RegValue::String("English")), "SetValue");
  test_support::Must(platform.registry.SetValue(Hive::CurrentUser, key + "Settings", "showHelp", RegValue::String("0")), "SetValue");
  test_support::Must(platform.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings"), "CreateKey");
  test_support::Must(platform.registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime",
                             RegValue::String("Yes")), "SetValue");

  win32::Win32Backend ui;
  App app(platform, ui, AppInfo{});
  app.Start();
  ASSERT_TRUE(PumpUntil([&] { return app.main().visible(); }, 20000));
  FrmMain& main = app.main();
  // A window shown normally keeps the memory shield's timer stopped; minimised it would run.
  bool minimised = false, checked = false, armedDuringScan = false;
  // Runs at the scan's first message-loop turn.
  ui.Post([&] {
    ShowWindow(static_cast<HWND>(main.native), SW_MINIMIZE);
    minimised = IsIconic(static_cast<HWND>(main.native)) != 0;
    ui.Post([&] {
      checked = true;
      armedDuringScan = main.Get("tmrMemoryInspected").enabled() || main.Get("tmrCheckHomePage").enabled();
    });
  });
  main.Get("cmdScanNow").Click();
  EXPECT_TRUE(minimised);
  EXPECT_TRUE(checked) << "the scan ended before its second message-loop turn";
  EXPECT_FALSE(armedDuringScan);
  EXPECT_EQ(main.window_state(), ui::WindowState::Minimized);
  EXPECT_TRUE(main.Get("tmrMemoryInspected").enabled());  // the end of the scan arms them
  app.main().Unload();
}

}  // namespace
}  // namespace kx
