#include <gtest/gtest.h>

#include "app_fixture.h"

namespace kx::testing_app {
namespace {

using ui::MsgResult;
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class MainWindowTest : public AppTest {
 protected:
  void SetUp() override {
    SeenBefore();
    Start();
    sub.calls.clear();
  }
};

TEST_F(MainWindowTest, ControlTreeHasTheNamedControlsCaptionsAndTimers) {
  EXPECT_EQ(C("cmdExclude").tool_tip(), "Exclude selected items from being detected in future scans");
  EXPECT_EQ(C("Command4").tool_tip(), "Permanently delete selected items");
  EXPECT_EQ(C("Command5").caption(), "Send to Tray");
  EXPECT_EQ(C("chkSweepMemory").caption(), "Scan Proccesses and Files");
  EXPECT_EQ(C("Label18").caption(), "Spyware\\Adware found : ");
  EXPECT_EQ(C("TabStrip1").tabs(), (std::vector<std::string>{"Scan Options", "Proactive Protection", "Schedule", "Auto Update"}));
  EXPECT_EQ(C("cmbDays").list().size(), 10u);
  EXPECT_EQ(C("cmbDays").list()[8], "Date & Time");
  std::vector<std::string> file;
  for (auto* item : main().Children(&C("mnuFile"))) file.push_back(item->caption());
  // Items added later are appended, so the older indexes keep their translations.
  EXPECT_EQ(file, (std::vector<std::string>{"&Scan Now", "Scan &Results", "View &Log", "-", "Run Live &Update", "-",
                                            "&Minimize to Tray", "-", "E&xit", "U&ndo last definitions update"}));
  EXPECT_FALSE(C("mnuPopup").visible());
  EXPECT_FALSE(C("mnuDebug").visible());
  EXPECT_EQ(C("mnuDebugItem", 2).caption(), "Show SpywareFound");
  EXPECT_EQ(C("tmrScroll").interval(), 200);
  EXPECT_EQ(C("tmrCheckHomePage").interval(), 5000);
  EXPECT_EQ(C("tmrMemoryInspected").interval(), 10000);
  EXPECT_EQ(C("tmrScheduler").interval(), 10);
  EXPECT_EQ(C("timUpdate").interval(), 1000);
  const auto& reg = C("lvwRegistryToBeDeleted").columns();
  ASSERT_EQ(reg.size(), 4u);
  EXPECT_EQ(reg[3].caption, "SpywareName");
  EXPECT_TRUE(C("fraWorkingLists").visible());
  EXPECT_GE(C("fraWorkingLists").left(), main().scale_width());  // out of sight, not hidden
}

TEST_F(MainWindowTest, PanelButtonsShowExactlyOnePanel) {
  auto shown = [&] {
    std::string s;
    for (const char* p : {"frmScan", "frmResults", "frmStatus", "frmOptions"})
      if (C(p).visible()) s += std::string(s.empty() ? "" : ",") + p;
    return s;
  };
  C("cmdScan").Click();
  EXPECT_EQ(shown(), "frmScan");
  C("cmdSettings").Click();
  EXPECT_EQ(shown(), "frmOptions");
  C("cmdStatus").Click();
  EXPECT_EQ(shown(), "frmStatus");
  C("mnuFileItem", 0).Click();
  EXPECT_EQ(shown(), "frmScan");
  C("cmdRemove").set_visible(true);
  C("cmdRemove").Click();
  EXPECT_EQ(shown(), "frmResults");
  C("Command1").Click();
  EXPECT_EQ(shown(), "frmScan");
  // A Settings menu item switches panel and tab in one step.
  C("mnuSettingsItem", 2).Click();
  EXPECT_EQ(shown(), "frmOptions");
  EXPECT_EQ(C("TabStrip1").selected_tab(), 3);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(C("frmView", i).visible(), i == 2) << i;
}

TEST_F(MainWindowTest, ResultsSubmitRunningProgramsOnlyForAnEmptyListWithSendDataTicked) {
  C("cmdResults").Click();
  EXPECT_EQ(sub.Count("SendRunningPrograms"), 1);
  C("chkSendData").Click();  // the user's untick
  EXPECT_EQ(sub.Count("SendDataOptionChanged"), 1);
  C("cmdResults").Click();
  EXPECT_EQ(sub.Count("SendRunningPrograms"), 1);
  C("chkSendData").set_value(1);
  C("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").AddItem(ui::ListItem{"Threat", {}});
  C("cmdResults").Click();
  C("cmdRemove").set_visible(true);
  C("cmdRemove").Click();
  EXPECT_EQ(sub.Count("SendRunningPrograms"), 1);
}

TEST_F(MainWindowTest, CommandsReachTheirSubsystems) {
  C("cmdUpdate").Click();
  C("cmdLiveUpdate").Click();
  C("mnuFileItem", 4).Click();
  EXPECT_EQ(sub.Count("RunLiveUpdate"), 3);
  C("cmdLog").Click();
  C("mnuFileItem", 2).Click();
  C("lblViewLogFile").Click();
  EXPECT_EQ(sub.Count("ShowReport"), 3);
  C("Command5").Click();
  C("mnuFileItem", 6).Click();
  EXPECT_EQ(sub.Count("SendToTray"), 2);
  C("cmdSubmit").Click();
  C("txtFilename").PressKey('a');
  C("txtFilename").PressKey(13);
  EXPECT_EQ(sub.Count("SubmitFileName"), 2);
  C("mnuQuarItem", 1).Click();
  EXPECT_EQ(sub.Count("QuarantineMenu"), 1);
  C("Command4").Click();
  C("lblRemove").Click();  // the run itself, without the question
  EXPECT_EQ(sub.Count("DeleteSelected"), 1);
  EXPECT_EQ(sub.Count("Remove"), 1);
}

TEST_F(MainWindowTest, StartLabelScansOnlyWhileStartIsEnabled) {
  C("cmdScanNow").set_enabled(false);
  C("lblStart").Click();
  EXPECT_EQ(sub.Count("StartScan"), 0);
  EXPECT_TRUE(C("frmStatus").visible());
  C("cmdScanNow").set_enabled(true);
  C("lblStart").Click();
  EXPECT_EQ(sub.Count("StartScan"), 1);
  EXPECT_TRUE(C("frmScan").visible());
}

TEST_F(MainWindowTest, SideBarLabelsSwitchPicturesAndTheirOwnEnabledState) {
  C("tmrScroll").set_enabled(true);
  C("lblOptions").Click();
  EXPECT_TRUE(C("PicOptions").visible());
  EXPECT_FALSE(C("PicStartUp").visible());
  EXPECT_FALSE(C("lblOptions").enabled());
  EXPECT_FALSE(C("tmrScroll").enabled());
  C("lblResult").Click();
  EXPECT_TRUE(C("PicResults").visible());
  EXPECT_FALSE(C("PicOptions").visible());
  EXPECT_TRUE(C("lblOptions").enabled());
  EXPECT_FALSE(C("lblResult").enabled());

  main().ShowPanels(false, false, false, true);
  C("lblStart").MouseMove();
  C("lblHide").MouseMove();
  EXPECT_TRUE(C("lblStart").italic());
  EXPECT_TRUE(C("lblHide").italic());
  C("cmdScan").set_enabled(false);  // a scan runs
  C("PicSweepNow").MouseMove();
  EXPECT_FALSE(C("lblStart").italic());
  EXPECT_EQ(ui.MousePointer(), ui::POINTER_HOURGLASS);
  C("cmdScan").set_enabled(true);
  main().ResetSideBarLabels();
  EXPECT_EQ(ui.MousePointer(), ui::POINTER_DEFAULT);
}

TEST_F(MainWindowTest, CheckBoxesStoreTheirStateAtOnce) {
  C("chkMakeLog").Click();
  EXPECT_EQ(User("OptionAndSettings", "chkMakeLog"), "0");
  C("chkAutomaticUpdate").Click();
  EXPECT_EQ(User("OptionAndSettings", "chkAutomaticUpdate"), "0");
  C("chkAutoDel").Click();
  EXPECT_EQ(User("Settings", "chkAutoDel"), "1");
  EXPECT_EQ(User("OptionAndSettings", "chkAutoDel"), "<none>");
}

TEST_F(MainWindowTest, HomePageShieldControlsStoreBothKeysAndDriveTheTimer) {
  C("chkHomePage").Click();
  EXPECT_EQ(User("OptionAndSettings", "optIEHomePageSheildOn"), "False");
  EXPECT_EQ(User("OptionAndSettings", "optIEHomePageSheildOff"), "True");
  EXPECT_FALSE(C("tmrCheckHomePage").enabled());
  EXPECT_FALSE(C("optAlwaysnotifybeforerestoring").enabled());
  EXPECT_FALSE(C("optRestoredefaultwithoutnotification").enabled());
  C("chkHomePage").Click();
  EXPECT_TRUE(C("tmrCheckHomePage").enabled());
  EXPECT_TRUE(C("optRestoredefaultwithoutnotification").enabled());

  C("optIEHomePageSheildOff").Click();
  EXPECT_EQ(User("OptionAndSettings", "optIEHomePageSheildOn"), "False");
  EXPECT_EQ(User("OptionAndSettings", "optIEHomePageSheildOff"), "True");
  EXPECT_FALSE(C("tmrCheckHomePage").enabled());
  EXPECT_FALSE(C("optAlwaysnotifybeforerestoring").enabled());
  C("optIEHomePageSheildOn").Click();
  EXPECT_EQ(User("OptionAndSettings", "optIEHomePageSheildOn"), "True");
  EXPECT_TRUE(C("tmrCheckHomePage").enabled());

  C("optRestoredefaultwithoutnotification").Click();
  EXPECT_EQ(User("OptionAndSettings", "optRestoredefaultwithoutnotification"), "True");
  EXPECT_EQ(User("OptionAndSettings", "optAlwaysnotifybeforerestoring"), "False");
}

TEST_F(MainWindowTest, MemoryShieldControlsStoreBothKeysAndDriveTheTimer) {
  C("optMemorySheildOff").Click();
  EXPECT_EQ(User("OptionAndSettings", "optMemorySheildOn"), "False");
  EXPECT_EQ(User("OptionAndSettings", "optMemorySheildOff"), "True");
  EXPECT_FALSE(C("tmrMemoryInspected").enabled());
  C("optMemorySheildOn").Click();
  EXPECT_TRUE(C("tmrMemoryInspected").enabled());
  C("chkAutoProtect").Click();
  EXPECT_EQ(User("OptionAndSettings", "optMemorySheildOn"), "False");
  EXPECT_EQ(User("OptionAndSettings", "optMemorySheildOff"), "True");
  EXPECT_FALSE(C("tmrMemoryInspected").enabled());
}

TEST_F(MainWindowTest, ScanTypeShowsTheDriveListForACompleteScan) {
  C("optScanAllSelectedHardDrive").Click();
  EXPECT_TRUE(C("lvwHardDrives").visible());
  EXPECT_EQ(User("OptionAndSettings", "optScanAllSelectedHardDrive"), "True");
  EXPECT_EQ(User("OptionAndSettings", "optScanOnlyKnownSoftwares"), "False");
  C("optScanOnlyKnownSoftwares").Click();
  EXPECT_FALSE(C("lvwHardDrives").visible());
  EXPECT_EQ(User("OptionAndSettings", "optScanAllSelectedHardDrive"), "False");
}

TEST_F(MainWindowTest, ResetSelectsNeverAndAppliesTheSchedule) {
  C("chkAutomaticScanYesOrNo").set_value(1);
  sub.calls.clear();
  C("cmdDefaultSetting").Click();
  EXPECT_EQ(C("cmbDays").list_index(), 7);
  EXPECT_EQ(C("chkAutomaticScanYesOrNo").value(), 0);
  ASSERT_FALSE(sub.calls.empty());
  EXPECT_EQ(sub.calls.back(), "ApplySchedule");
}

TEST_F(MainWindowTest, RunAtStartupWritesTheMachinesRunValueBeforeVistaAndTheUsersFromVistaOn) {
  struct Case {
    OsVersion version;
    Hive hive;
    std::string value;
  };
  const std::string folder = fake.system.programFolder;
  const Case cases[] = {
      {{1, 4, 10}, Hive::LocalMachine, folder + "\\Kestrix"},  // Windows 98
      {{2, 5, 1}, Hive::LocalMachine, folder + "\\Kestrix"},   // XP
      // Vista, 7, 10: the user's own Run key, which a standard user may write; quoted, as the
      // folder holds blanks.
      {{2, 6, 0}, Hive::CurrentUser, "\"" + folder + "\\Kestrix.exe\""},
      {{2, 6, 1}, Hive::CurrentUser, "\"" + folder + "\\Kestrix.exe\""},
      {{2, 10, 0}, Hive::CurrentUser, "\"" + folder + "\\Kestrix.exe\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.version.major) + "." + std::to_string(c.version.minor));
    fake.system.version = c.version;
    const Hive other = c.hive == Hive::LocalMachine ? Hive::CurrentUser : Hive::LocalMachine;
    if (c.hive == Hive::CurrentUser) fake.registry.Restrict(Hive::LocalMachine, kRun, REGA_READ);  // a standard user
    ASSERT_EQ(C("chkRunAtStartup").value(), 0);
    C("chkRunAtStartup").Click();
    EXPECT_EQ(User("OptionAndSettings", "chkRunAtStartup"), "1");
    auto v = fake.registry.Get(c.hive, kRun, "Kestrix");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->AsString(), c.value);
    EXPECT_FALSE(fake.registry.Get(other, kRun, "Kestrix"));
    C("chkRunAtStartup").Click();
    EXPECT_EQ(User("OptionAndSettings", "chkRunAtStartup"), "0");
    EXPECT_FALSE(fake.registry.Get(c.hive, kRun, "Kestrix"));
    EXPECT_TRUE(ui.msgboxes().empty());
    EXPECT_TRUE(fake.shell.started.empty());
  }
}

// A Run key the user may not write leaves the option as it was, before Vista (the machine's
// key) as from Vista on (the user's): unticked when the value cannot be set, ticked when it
// cannot be removed.
TEST_F(MainWindowTest, RunAtStartupThatCannotBeChangedKeepsTheOptionAsItWas) {
  for (const auto& [version, hive] : {std::pair{OsVersion{2, 5, 1}, Hive::LocalMachine},
                                      std::pair{OsVersion{2, 6, 1}, Hive::CurrentUser}}) {
    SCOPED_TRACE(std::to_string(version.major) + "." + std::to_string(version.minor));
    fake.system.version = version;
    fake.registry.Restrict(hive, kRun, REGA_READ);
    ASSERT_EQ(C("chkRunAtStartup").value(), 0);
    C("chkRunAtStartup").Click();
    EXPECT_EQ(C("chkRunAtStartup").value(), 0);
    EXPECT_EQ(User("OptionAndSettings", "chkRunAtStartup"), "0");
    EXPECT_FALSE(fake.registry.Get(hive, kRun, "Kestrix"));
    // And a value that cannot be removed leaves the option ticked.
    fake.registry.Restrict(hive, kRun, REGA_ALL_ACCESS);
    C("chkRunAtStartup").Click();
    ASSERT_TRUE(fake.registry.Get(hive, kRun, "Kestrix"));
    fake.registry.Restrict(hive, kRun, REGA_READ);
    C("chkRunAtStartup").Click();
    EXPECT_EQ(C("chkRunAtStartup").value(), 1);
    EXPECT_EQ(User("OptionAndSettings", "chkRunAtStartup"), "1");
    EXPECT_TRUE(fake.registry.Get(hive, kRun, "Kestrix"));
    fake.registry.Restrict(hive, kRun, REGA_ALL_ACCESS);
    C("chkRunAtStartup").Click();
  }
}

TEST_F(MainWindowTest, BrowseKeepsTheNameAfterTheLastBackslash) {
  ui.ExpectOpenFile(std::string("C:\\Windows\\system32\\bad.dll"));
  C("Command2").Click();
  EXPECT_EQ(C("txtFilename").caption(), "bad.dll");
  ui.ExpectOpenFile(std::string("plain.exe"));
  C("Command2").Click();
  EXPECT_EQ(C("txtFilename").caption(), "plain.exe");
  ui.ExpectOpenFile(std::nullopt);
  C("Command2").Click();
  EXPECT_EQ(C("txtFilename").caption(), "plain.exe");
}

TEST_F(MainWindowTest, WebsiteAddressGetsASchemeWhenItHasNone) {
  C("cmdWebsite").Click();
  EXPECT_EQ(fake.shell.opened.back(), "http://www.kestrix.example");
  AppInfo bare;
  bare.branding.website = "www.kestrix.example";
  app.reset();
  app = std::make_unique<App>(platform, ui, bare, sub.bundle());
  app->Start();
  ui.Advance(400);
  C("cmdWebsite").Click();
  EXPECT_EQ(fake.shell.opened.back(), "http://www.kestrix.example");
}

TEST_F(MainWindowTest, HelpAboutAndDebugMenusOpenTheirWindows) {
  fake.files.AddFile(fake.system.programFolder + "\\Help.chm", "chm");
  PutUser("Settings", "showHelp", "1");
  const int events = ui.do_events_count();
  C("mnuViewHelp").Click();
  EXPECT_EQ(fake.shell.opened.back(), fake.system.programFolder + "\\Help.chm");
  EXPECT_EQ(User("Settings", "showHelp"), "0");
  EXPECT_GT(ui.do_events_count(), events);
  EXPECT_FALSE(app->help().loaded());
  C("mnuAboutItem").Click();
  EXPECT_TRUE(app->about().visible());
  C("mnuDebugItem", 0).Click();
  C("mnuDebugItem", 1).Click();
  C("mnuDebugItem", 2).Click();
  EXPECT_TRUE(app->homePageChangedAlert().visible());
  EXPECT_TRUE(app->signatureUpdated().visible());
  EXPECT_TRUE(app->spywareFoundAlert().visible());
}

// F1 opens the help at the page that covers what is in view, the Settings tab's own page.
TEST_F(MainWindowTest, F1OpensTheHelpPageOfThePanelInView) {
  const std::string chm = fake.system.programFolder + "\\Help.chm";
  fake.files.AddFile(chm, "chm");
  const struct {
    std::function<void()> show;
    const char* page;
  } cases[] = {
      {[&] { C("cmdStatus").Click(); }, "status.html"},
      {[&] { C("cmdScan").Click(); }, "scan.html"},
      {[&] { C("cmdRemove").set_visible(true), C("cmdRemove").Click(); }, "results.html"},
      {[&] { C("mnuSettingsItem", 0).Click(); }, "options_scan.html"},
      {[&] { C("mnuSettingsItem", 1).Click(); }, "options_protection.html"},
      {[&] { C("mnuSettingsItem", 2).Click(); }, "options_schedule.html"},
      {[&] { C("mnuSettingsItem", 3).Click(); }, "options_update.html"},
  };
  // The other windows that have a page of their own.
  const struct {
    ui::Form& window;
    const char* page;
  } windows[] = {{app->report(), "report.html"},
                 {app->restoreWindow(), "quarantine.html"},
                 {app->deleteFailed(), "removal.html"},
                 {app->language(), "languages.html"}};
  auto expectPage = [&](ui::Form& window, const char* page) {
    fake.shell.started.clear();
    window.PressHelp();
    ASSERT_EQ(fake.shell.started.size(), 1u) << page;
    EXPECT_EQ(fake.shell.started[0].first, "hh.exe");
    EXPECT_EQ(fake.shell.started[0].second, "\"" + chm + "::/" + page + "\"");
    EXPECT_FALSE(app->help().loaded());
  };
  for (const auto& c : cases) {
    c.show();
    expectPage(main(), c.page);
  }
  for (const auto& w : windows) expectPage(w.window, w.page);
  // The menu's View Help still opens the help's own first page.
  fake.shell.opened.clear();
  C("mnuViewHelp").Click();
  EXPECT_EQ(fake.shell.opened, std::vector<std::string>{chm});
}

TEST_F(MainWindowTest, NormalWindowPausesSchedulerAndMemoryShieldMinimisedRearms) {
  PutUser("OptionAndSettings", "chkAutomaticScanYesOrNo", "1");
  main().BackendResized(main().width(), main().height(), main().scale_width(), main().scale_height(),
                        ui::WindowState::Normal);
  EXPECT_TRUE(C("tmrScroll").enabled());
  EXPECT_FALSE(C("tmrScheduler").enabled());
  EXPECT_FALSE(C("tmrMemoryInspected").enabled());
  EXPECT_TRUE(main().taskbarButton());
  EXPECT_EQ(User("Settings", "Minimized"), "No");

  main().BackendResized(main().width(), main().height(), main().scale_width(), main().scale_height(),
                        ui::WindowState::Minimized);
  EXPECT_FALSE(C("tmrScroll").enabled());
  EXPECT_TRUE(C("tmrScheduler").enabled());
  EXPECT_TRUE(C("tmrMemoryInspected").enabled());
  EXPECT_TRUE(C("tmrCheckHomePage").enabled());
  EXPECT_FALSE(main().taskbarButton());

  ui.Advance(10000);
  EXPECT_EQ(sub.Count("MemoryTick"), 1);
  EXPECT_EQ(sub.Count("HomePageTick"), 2);
  EXPECT_EQ(sub.Count("SchedulerTick"), 1000);
  main().ApplyTimerSettings(false);
  ui.Advance(20000);
  EXPECT_EQ(sub.Count("MemoryTick"), 1);
}

TEST_F(MainWindowTest, ResizeStacksThePanelsAndFitsTheirContents) {
  // The smallest client area the window can be sized to (860 x 520 pixels), and a large one.
  for (auto [w, h] : {std::pair{12900, 7800}, {19200, 14000}}) {
    main().BackendResized(w + 240, h + 900, w, h, ui::WindowState::Normal);
    const auto& status = C("frmStatus");
    EXPECT_LE(status.left() + status.width(), w);
    EXPECT_LE(status.top() + status.height(), h);
    for (const char* p : {"frmScan", "frmResults", "frmOptions"}) {
      EXPECT_EQ(C(p).left(), status.left()) << p;
      EXPECT_EQ(C(p).top(), status.top()) << p;
      EXPECT_EQ(C(p).width(), status.width()) << p;
      EXPECT_EQ(C(p).height(), status.height()) << p;
    }
    for (const char* inner : {"lvwSpywareFound", "cmdRemove", "pbgMain", "lvwPicRemoveListOfSpywareFoundAndToBeRemoved",
                              "Command4", "pgbDeleteSpywaresFound", "TabStrip1"}) {
      const auto& c = C(inner);
      EXPECT_LE(c.left() + c.width(), status.width()) << inner << " at " << w;
      EXPECT_LE(c.top() + c.height(), status.height()) << inner << " at " << w;
    }
    EXPECT_GT(C("lvwSpywareFound").width(), status.width() - 600);
  }
}

// Siblings that share a container never overlap, except the layers meant to stack.
TEST_F(MainWindowTest, NoTwoVisibleSiblingsOverlap) {
  main().BackendResized(12300, 9300, 12060, 8400, ui::WindowState::Normal);
  auto stacked = [](const ui::Control& c) {
    const std::string& n = c.name();
    return n == "frmScan" || n == "frmResults" || n == "frmOptions" || n == "frmStatus" || n == "frmView" ||
           n.rfind("Pic", 0) == 0 || n == "TabStrip1" || n == "fraWorkingLists" || n == "shpCircle";
  };
  std::vector<const ui::Control*> laid;
  for (const auto& c : main().controls())
    if (c->type() != ui::ControlType::Timer && c->type() != ui::ControlType::Menu && !stacked(*c)) laid.push_back(c.get());
  for (size_t i = 0; i < laid.size(); ++i)
    for (size_t j = i + 1; j < laid.size(); ++j) {
      const auto* a = laid[i];
      const auto* b = laid[j];
      if (a->container() != b->container()) continue;
      const bool overlap = a->left() < b->left() + b->width() && b->left() < a->left() + a->width() &&
                           a->top() < b->top() + b->height() && b->top() < a->top() + a->height();
      EXPECT_FALSE(overlap) << a->name() << " overlaps " << b->name();
    }
}

// ------------------------------------------------------------------ ways out

TEST_F(MainWindowTest, FileExitWritesStoppedColumnsAndMaxAndUnloadsEverything) {
  ui::Control& results = C("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
  results.DragColumn(3, 2222);
  app->about().Show();
  bool ended = false;
  app->onEnd = [&] { ended = true; };
  C("mnuFileItem", 8).Click();
  EXPECT_TRUE(ended);
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "STOPPED");
  EXPECT_EQ(User("OptionAndSettings", "RESTART"), "False");
  // A drag makes every width the user's: all are kept.
  EXPECT_EQ(User("Settings", "FoundCol21"), std::to_string(results.columns()[0].width));
  EXPECT_EQ(User("Settings", "FoundCol23"), "2222");
  EXPECT_EQ(User("Settings", "Max"), "0");
  EXPECT_EQ(sub.Count("RemoveTrayIcon"), 1);
  EXPECT_FALSE(app->about().loaded());
  EXPECT_FALSE(app->deleteFailed().loaded());
  EXPECT_FALSE(main().loaded());
}

TEST_F(MainWindowTest, CloseBoxOfAMaximisedWindowRemembersMax) {
  main().set_window_state(ui::WindowState::Maximized);
  main().BackendClosed();
  EXPECT_TRUE(app->ended());
  EXPECT_EQ(User("Settings", "Max"), "1");
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "STOPPED");
  EXPECT_EQ(main().window_state(), ui::WindowState::Minimized);
}

TEST_F(MainWindowTest, MaxFromTheLastRunMaximisesTheWindow) {
  PutUser("Settings", "Max", "1");
  main().Unload();
  EXPECT_EQ(User("Settings", "Max"), "0");
  PutUser("Settings", "Max", "1");
  app.reset();
  Start();
  EXPECT_EQ(main().window_state(), ui::WindowState::Maximized);
}

TEST_F(MainWindowTest, HideLabelLeavesLikeEveryOtherWayOut) {
  C("lblHide").Click();
  EXPECT_TRUE(app->ended());
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "STOPPED");
  // Widths nobody dragged follow the window and are not kept.
  EXPECT_EQ(User("Settings", "FoundCol21"), "<none>");
  EXPECT_EQ(sub.Count("RemoveTrayIcon"), 1);
  EXPECT_FALSE(main().visible());
  EXPECT_FALSE(app->deleteFailed().loaded());
}

TEST_F(MainWindowTest, AnOpenWebPageWindowKeepsTheProgramUntilItCloses) {
  app->website().Show();
  C("mnuFileItem", 8).Click();
  EXPECT_FALSE(app->ended());
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "STOPPED");
  app->website().Unload();
  EXPECT_TRUE(app->ended());
}

TEST_F(MainWindowTest, EndedProgramReleasesItsSingleInstanceLock) {
  main().Unload();
  EXPECT_TRUE(platform.locks.TryAcquire("Kestrix Labs Kestrix single instance") != nullptr);
}

}  // namespace
}  // namespace kx::testing_app
