#include "app/wiring/scan_wiring.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "fakes/fake_platform.h"
#include "platform/forms/headless.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

// A program that has run before, on fakes, with these definition lines; the other files
// hold one line that matches nothing.
struct WiredApp {
  fakes::FakePlatform fake;
  Platform platform = fake.platform();
  ui::HeadlessBackend ui;
  const std::string key = "Software\\Kestrix Labs\\Kestrix\\";
  std::string data = fake.system.SpecialFolder(26) + "\\DideZuvurudARA";

  WiredApp(const std::vector<std::string>& fileLines, const std::vector<std::string>& registryLines) {
    fake.registry.PutString(Hive::CurrentUser, key + "Settings", "Language", "English");
    fake.registry.PutString(Hive::CurrentUser, key + "Settings", "showHelp", "0");
    fake.registry.PutString(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime", "Yes");
    fake.files.AddFolder(data);
    fake.files.AddFile(data + "\\FileDefinition.dat", scantest::EncodeFile(fileLines));
    fake.files.AddFile(data + "\\RegistryDefinition.dat", scantest::EncodeFile(registryLines));
    for (const char* f : {"ExeDefinition.dat", "BlockedCookies.dat", "DirectoryDefinition.dat"})
      fake.files.AddFile(data + "\\" + f, scantest::EncodeFile({"x"}));
  }
};

// The scan wired into the real main window, on fakes.
TEST(ScanWiring, TheMainWindowScansAndItsListCommandsReachTheQueues) {
  WiredApp w({"bad.exe=Bad|[windir]", "bad2.exe=Bad|[windir]"}, {"1^Software\\BadCo^=BadKey"});
  auto& [fake, platform, ui, key, data] = w;
  fake.registry.PutString(Hive::CurrentUser, key + "OptionAndSettings", "chkScanCookies", "0");
  fake.files.AddFile("C:\\Windows\\bad.exe", "MZ");
  fake.files.AddFile("C:\\Windows\\bad2.exe", "MZ");
  fake.registry.AddKey(Hive::CurrentUser, "Software\\BadCo");

  App app(platform, ui, AppInfo{});
  app.Start();
  ui.Advance(400);
  FrmMain& main = app.main();
  main.Get("cmdScanNow").Click();

  ui::Control& threats = main.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
  ASSERT_EQ(threats.item_count(), 2u);
  EXPECT_EQ(threats.items()[0].text, "BadKey");
  EXPECT_EQ(threats.items()[1].text, "Bad");
  EXPECT_EQ(main.Get("lvwFilesToBeDeleted").item_count(), 2u);
  EXPECT_EQ(main.Get("lblStatus").caption(), "Scanning complete.");
  EXPECT_EQ(main.Get("lbltracesFound").caption(), "3");
  EXPECT_TRUE(main.Get("cmdScanNow").enabled());
  EXPECT_TRUE(fake.registry.Get(Hive::CurrentUser, key + "Settings", "lblLastScan"));

  // Ticking a threat row ticks its files in the queue.
  threats.SetItemChecked(1, true);
  for (const ui::ListItem& r : main.Get("lvwFilesToBeDeleted").items()) EXPECT_TRUE(r.checked);
  ui.ExpectMsgBox(ui::MsgResult::Yes);
  main.Get("cmdExclude").Click();
  EXPECT_EQ(threats.item_count(), 1u);
  EXPECT_EQ(*fake.files.ReadFile(data + "\\ENoSignature.dat"), "C:\\Windows\\bad.exe\r\nBad\r\n");

  // The Stop label asks its own question, the button its own.
  ui.ExpectMsgBox(ui::MsgResult::No);
  main.Get("lblStop").Click();
  EXPECT_EQ(ui.msgboxes().back().text, "Are you sure?");
  main.Get("cmdStop").set_enabled(true);
  ui.ExpectMsgBox(ui::MsgResult::No);
  main.Get("cmdStop").Click();
  EXPECT_EQ(ui.msgboxes().back().text, "Are you sure you want to stop the scan?");
}

// After Delete the results panel says what the run did and its counters show what is left;
// that line speaks of the previous finds, so whichever way the next scan starts, it goes.
TEST(ScanWiring, TheRemovalSummaryStaysUntilTheNextScanStarts) {
  WiredApp w({"bad.exe=Bad|[windir]"}, {"1^Software\\BadCo^=BadKey"});
  auto& [fake, platform, ui, key, data] = w;
  fake.registry.PutString(Hive::CurrentUser, key + "OptionAndSettings", "chkScanCookies", "0");
  App app(platform, ui, AppInfo{});
  app.Start();
  ui.Advance(400);
  FrmMain& main = app.main();
  ui::Control& summary = main.Get("lblRemovalSummary");
  ui::Control& threats = main.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");

  struct NextScan {
    const char* how;
    std::function<void()> start;
  };
  const NextScan ways[] = {
      {"Scan Now", [&] { main.Get("cmdScanNow").Click(); }},
      {"scheduled", [&] { app.subsystems().scan->StartScheduledScan(false); }},
  };
  for (const NextScan& next : ways) {
    SCOPED_TRACE(next.how);
    fake.files.AddFile("C:\\Windows\\bad.exe", "MZ");
    fake.registry.AddKey(Hive::CurrentUser, "Software\\BadCo");
    main.Get("cmdScanNow").Click();
    ASSERT_EQ(threats.item_count(), 2u);
    ASSERT_EQ(main.Get("lbltracesFound").caption(), "2");
    main.Get("cmdSelectAll").Click();
    ui.ExpectMsgBox(ui::MsgResult::Yes);
    main.Get("Command4").Click();

    EXPECT_EQ(threats.item_count(), 0u);
    EXPECT_FALSE(fake.files.Exists("C:\\Windows\\bad.exe"));
    EXPECT_TRUE(summary.visible());
    EXPECT_EQ(summary.caption().rfind("2 item(s) removed.", 0), 0u) << summary.caption();
    EXPECT_NE(summary.caption().find(data + "\\quarantine"), std::string::npos) << summary.caption();
    EXPECT_EQ(main.Get("lbltracesFound").caption(), "0");
    EXPECT_EQ(main.Get("lblRemovePicSoftwareFound").caption(), "0");

    // Nothing is left to find: only the start of the scan can have cleared the line.
    next.start();
    EXPECT_EQ(main.Get("lblStatus").caption(), "Scanning complete.");
    EXPECT_EQ(threats.item_count(), 0u);
    EXPECT_EQ(summary.caption(), "");
    EXPECT_FALSE(summary.visible());
  }
}

// Minimising the window during a scan must not start the shields inside the scan's
// message-loop turns; the end of the scan arms them.
TEST(ScanWiring, AResizeDuringAScanLeavesTheProtectionTimersStopped) {
  std::vector<std::string> lines;
  for (int i = 0; i < 50; ++i) lines.push_back("f" + std::to_string(i) + ".exe=T|[windir]");
  WiredApp w(lines, {"x"});
  auto& ui = w.ui;
  App app(w.platform, ui, AppInfo{});
  app.Start();
  ui.Advance(400);
  FrmMain& main = app.main();
  ASSERT_TRUE(main.Get("tmrMemoryInspected").enabled());
  bool minimised = false, armedDuringScan = false;
  ui.onDoEvents = [&] {
    if (!minimised) {
      minimised = true;
      main.BackendResized(main.width(), main.height(), main.scale_width(), main.scale_height(),
                          ui::WindowState::Minimized);
    }
    armedDuringScan |= main.Get("tmrMemoryInspected").enabled() || main.Get("tmrCheckHomePage").enabled();
  };
  main.Get("cmdScanNow").Click();
  ui.onDoEvents = nullptr;
  EXPECT_TRUE(minimised);
  EXPECT_FALSE(armedDuringScan);
  EXPECT_TRUE(main.Get("tmrMemoryInspected").enabled());
  EXPECT_TRUE(main.Get("tmrCheckHomePage").enabled());
}

}  // namespace
}  // namespace kx
