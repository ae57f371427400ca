#include <gtest/gtest.h>

#include <stdexcept>

#include "app/windows/frm_splash.h"
#include "app/startup_files.h"

#include "app_fixture.h"

namespace kx::testing_app {
namespace {

using ui::MsgResult;

TEST_F(AppTest, FirstStartAsksLanguageThenHelpThenLiveUpdate) {
  fake.files.AddFile(fake.system.programFolder + "\\Help.chm", "chm");
  bool languageShown = false;
  ui.onRunModal = [&](ui::Form& f) {
    EXPECT_EQ(f.name(), "frmLanguage");
    EXPECT_TRUE(fake.shell.opened.empty());
    EXPECT_TRUE(ui.msgboxes().empty());
    EXPECT_EQ(User("Settings", "Language"), "English");
    languageShown = true;
    f.Hide();
  };
  sub.onCall = [&](const std::string& name) {
    if (name != "RunLiveUpdate") return;
    ASSERT_EQ(fake.shell.opened.size(), 1u);  // the help came before the offer
    EXPECT_EQ(User("Settings", "showHelp"), "0");
  };
  // A standard user: the machine's settings can be read, not written. Only the offer asks.
  fake.registry.Restrict(Hive::LocalMachine, "SOFTWARE", REGA_READ);
  ui.ExpectMsgBox(MsgResult::Yes, "Would you like to run Live Update now?");
  Start();

  EXPECT_TRUE(languageShown);
  EXPECT_EQ(fake.shell.opened, std::vector<std::string>{fake.system.programFolder + "\\Help.chm"});
  EXPECT_EQ(User("Settings", "FirstTime"), "Yes");
  EXPECT_FALSE(fake.registry.HasKey(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs"));
  ASSERT_EQ(ui.msgboxes().size(), 1u);
  EXPECT_EQ(ui.msgboxes()[0].title, "Update Now?");
  EXPECT_EQ(ui.msgboxes()[0].style & 0xF, ui::MB_YES_NO);
  EXPECT_NE(ui.msgboxes()[0].text.find("!\r\n\r\nBecause this is the first time"), std::string::npos);
  EXPECT_NE(ui.msgboxes()[0].text.find("definitions.\r\n\r\nWould you like"), std::string::npos);
  EXPECT_EQ(sub.Count("RunLiveUpdate"), 1);
  EXPECT_TRUE(main().visible());
  EXPECT_FALSE(app->splash().visible());
}

TEST_F(AppTest, SecondStartAsksNothing) {
  fake.files.AddFile(fake.system.programFolder + "\\Help.chm", "chm");
  ui.onRunModal = [&](ui::Form& f) { f.Hide(); };
  ui.ExpectMsgBox(MsgResult::No);
  Start();
  main().Unload();
  EXPECT_EQ(sub.Count("RunLiveUpdate"), 0);  // No ends start-up

  app.reset();
  ui.onRunModal = [&](ui::Form& f) { ADD_FAILURE() << "modal " << f.name(); };
  const size_t boxes = ui.msgboxes().size();
  Start();
  EXPECT_EQ(ui.msgboxes().size(), boxes);
  EXPECT_EQ(fake.shell.opened.size(), 1u);
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "RUNNING");
}

TEST_F(AppTest, EachUsersDataFolderGetsTheMachinesDefinitionSetWhenItLacksOne) {
  const std::string machine = fake.system.programFolder + "\\Definitions";
  const char* const kSet[] = {"FileDefinition.dat", "DirectoryDefinition.dat", "RegistryDefinition.dat",
                              "ExeDefinition.dat", "BlockedCookies.dat", "Safety.dat", "date.dat"};
  auto machineBytes = [](const std::string& name) {
    return name == "date.dat" ? std::string("11/30/2026 9:00:00 AM\r\n") : "machine " + name + "\r\nline 2\r\n";
  };
  const std::string userFile = "user's newer file\r\n";
  struct Case {
    const char* what;
    bool dataFolder;                  // the user's data folder exists
    std::vector<std::string> userHas;  // files in it
    std::vector<std::string> machineHas;
    bool seeded;                      // the machine's set is copied in
  };
  const std::vector<std::string> all(std::begin(kSet), std::end(kSet));
  const Case cases[] = {
      {"a new user without a data folder", false, {}, all, true},
      {"an empty data folder", true, {}, all, true},
      {"a whole set of the user's", true, all, all, false},
      {"one file the scan needs is gone", true, {"FileDefinition.dat", "RegistryDefinition.dat", "ExeDefinition.dat",
                                                 "BlockedCookies.dat", "date.dat"}, all, true},
      {"the machine's set has no date", false, {}, {"FileDefinition.dat", "DirectoryDefinition.dat",
                                                    "RegistryDefinition.dat", "ExeDefinition.dat", "BlockedCookies.dat"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The first case finds neither folder yet; each case starts from neither.
    (void)fake.files.DeleteFolder(dataFolder, true);
    (void)fake.files.DeleteFolder(machine, true);
    ASSERT_FALSE(fake.files.FolderExists(dataFolder) || fake.files.FolderExists(machine));
    fake.files.AddFolder(machine);
    for (const std::string& name : c.machineHas) fake.files.AddFile(machine + "\\" + name, machineBytes(name));
    if (c.dataFolder) fake.files.AddFolder(dataFolder);
    for (const std::string& name : c.userHas) fake.files.AddFile(dataFolder + "\\" + name, userFile);
    SeenBefore();
    Start();  // an unexpected message box fails the test
    EXPECT_TRUE(fake.files.FolderExists(dataFolder));
    for (const std::string& name : all) {
      const auto now = fake.files.ReadFile(dataFolder + "\\" + name);
      if (c.seeded) EXPECT_EQ(now, machineBytes(name)) << name;
      else if (std::count(c.userHas.begin(), c.userHas.end(), name)) EXPECT_EQ(now, userFile) << name;
      else EXPECT_FALSE(now) << name;
    }
    // The five counted files of two lines each.
    if (c.seeded) EXPECT_EQ(C("lblDefCount").caption(), "10");
    main().Unload();
    app.reset();
  }
}

TEST_F(AppTest, HelpFileMissingStillClearsTheFirstStartFlag) {
  SeenBefore();
  PutUser("Settings", "showHelp", "1");
  Start();
  EXPECT_TRUE(fake.shell.opened.empty());
  EXPECT_EQ(User("Settings", "showHelp"), "0");
  EXPECT_EQ(Machine("Settings", "showHelp"), "<none>");
}

// A failing step of the load is logged under its place and the load goes on; with the
// setting on, the log also goes to a file in the data folder.
TEST_F(AppTest, AFailingLoadStepIsLoggedAndTheNextStepRuns) {
  SeenBefore();
  PutUser("Settings", "DiagnosticsLog", "1");
  std::vector<std::string> lines, startUp;
  // The start-up steps' times go to the log too, each once; they are counted apart.
  Log log(fake.clock, [&](const std::string& line) {
    (line.find("start-up: ") != std::string::npos ? startUp : lines).push_back(line);
  });
  sub.onCall = [](const std::string& name) {
    if (name == "LoadExclusions") throw std::runtime_error("exclusions unreadable");
  };
  app = std::make_unique<App>(platform, ui, AppInfo{}, sub.bundle(), &log);
  app->Start();
  ui.Advance(400);
  EXPECT_EQ(sub.Count("LoadSchedule"), 1);  // a later step still ran
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "RUNNING");
  EXPECT_EQ(startUp.size(), 4u);  // windows built, splash shown, main window loaded and shown
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("Form_Load"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("exclusions unreadable"), std::string::npos) << lines[0];
  auto file = fake.files.ReadFile(dataFolder + "\\Diagnostics.log");
  ASSERT_TRUE(file);
  EXPECT_NE(file->find("exclusions unreadable"), std::string::npos);
}

TEST_F(AppTest, SplashLoadsTheMainWindowBehindItAndShowsItOnItsSeventyFifthTick) {
  SeenBefore();
  app = std::make_unique<App>(platform, ui, AppInfo{}, sub.bundle());
  app->Start();
  EXPECT_TRUE(app->splash().visible());
  ui.Advance(2);
  EXPECT_FALSE(main().loaded());
  ui.Advance(2);  // the second tick: the load runs behind the splash
  EXPECT_TRUE(main().loaded());
  EXPECT_FALSE(main().visible());
  ui.Advance(144);  // 74 ticks in all
  EXPECT_FALSE(main().visible());
  EXPECT_TRUE(app->splash().visible());
  ui.Advance(2);
  EXPECT_TRUE(main().visible());
  EXPECT_FALSE(app->splash().visible());
  EXPECT_FALSE(app->splash().Get("Timer2").enabled());
}

TEST_F(AppTest, EmptyStoreShowsTheDocumentedDefaultsAndStoresWhatItShows) {
  SeenBefore();
  fake.system.drives = {{"C:\\", DriveType::Fixed, true}, {"D:\\", DriveType::CdRom, false}};
  Start();
  for (const char* box : {"chkMakeLog", "chkSweepMemory", "chkScanRegistry", "chkScanCookies", "chkSendData",
                          "chkAutomaticUpdate", "chkHomePage", "chkAutoProtect"})
    EXPECT_EQ(C(box).value(), 1) << box;
  EXPECT_EQ(C("chkAutomaticScanYesOrNo").value(), 0);
  EXPECT_EQ(C("chkRunAtStartup").value(), 0);
  for (const char* off : {"dtpScheduleDate", "dtpScheduleTime", "cmbDays"}) EXPECT_FALSE(C(off).enabled()) << off;
  EXPECT_EQ(C("optIEHomePageSheildOn").value(), 1);
  EXPECT_EQ(C("optMemorySheildOn").value(), 1);
  EXPECT_EQ(C("optAlwaysnotifybeforerestoring").value(), 1);
  EXPECT_EQ(C("optScanOnlyKnownSoftwares").value(), 1);
  EXPECT_EQ(C("optScanAllSelectedHardDrive").value(), 0);
  EXPECT_FALSE(C("lvwHardDrives").visible());
  ASSERT_EQ(C("lvwHardDrives").item_count(), 2u);
  EXPECT_TRUE(C("lvwHardDrives").items()[0].checked);
  EXPECT_TRUE(C("lvwHardDrives").items()[1].checked);
  // No widths dragged: the location column follows the list.
  EXPECT_EQ(C("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").fill_column(), 2u);

  EXPECT_EQ(User("OptionAndSettings", "SHOW"), "True");
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "RUNNING");
  EXPECT_EQ(User("OptionAndSettings", "RESTART"), "False");
  EXPECT_EQ(User("OptionAndSettings", "optScanOnlyKnownSoftwares"), "True");
  EXPECT_EQ(User("OptionAndSettings", "optScanAllSelectedHardDrive"), "False");
  EXPECT_EQ(User("OptionAndSettings", "optIEHomePageSheildOn"), "True");
  EXPECT_EQ(User("OptionAndSettings", "optIEHomePageSheildOff"), "False");
  EXPECT_EQ(User("OptionAndSettings", "optMemorySheildOn"), "True");
  EXPECT_EQ(User("OptionAndSettings", "chkMakeLog"), "1");
  EXPECT_EQ(User("Drives", "C"), "True");
  EXPECT_EQ(User("Drives", "D"), "True");
  // Protection armed from the store; the scroll timer stopped.
  EXPECT_TRUE(C("tmrCheckHomePage").enabled());
  EXPECT_TRUE(C("tmrMemoryInspected").enabled());
  EXPECT_FALSE(C("tmrScheduler").enabled());
  EXPECT_FALSE(C("tmrScroll").enabled());
  // The load stored the ticked box, so the update timer starts at once.
  EXPECT_EQ(User("OptionAndSettings", "chkAutomaticUpdate"), "1");
  EXPECT_TRUE(C("timUpdate").enabled());
  EXPECT_EQ(sub.Count("LoadExclusions"), 1);
  EXPECT_EQ(sub.Count("LoadSchedule"), 1);
  EXPECT_EQ(sub.Count("SendDataOptionChanged"), 0);
  EXPECT_TRUE(app->deleteFailed().loaded());
  EXPECT_FALSE(app->deleteFailed().visible());
}

TEST_F(AppTest, StoredOptionsComeBackAndFullScanNeverSurvivesAStart) {
  SeenBefore();
  PutUser("OptionAndSettings", "optScanAllSelectedHardDrive", "True");
  PutUser("OptionAndSettings", "chkMakeLog", "0");
  PutUser("OptionAndSettings", "chkScanCookies", "garbage");  // leaves the box as it was
  PutUser("OptionAndSettings", "optIEHomePageSheildOn", "False");
  PutUser("OptionAndSettings", "optIEHomePageSheildOff", "True");
  PutUser("OptionAndSettings", "optMemorySheildOn", "False");
  PutUser("OptionAndSettings", "optMemorySheildOff", "True");
  PutUser("OptionAndSettings", "chkAutomaticScanYesOrNo", "1");
  PutUser("OptionAndSettings", "chkAutomaticUpdate", "1");
  PutUser("Settings", "FoundCol22", "2500");
  Start();
  EXPECT_EQ(C("optScanOnlyKnownSoftwares").value(), 1);
  EXPECT_EQ(User("OptionAndSettings", "optScanOnlyKnownSoftwares"), "True");
  EXPECT_EQ(User("OptionAndSettings", "optScanAllSelectedHardDrive"), "False");
  EXPECT_EQ(C("chkMakeLog").value(), 0);
  EXPECT_EQ(C("chkScanCookies").value(), 0);
  EXPECT_EQ(C("chkHomePage").value(), 0);
  EXPECT_EQ(C("optIEHomePageSheildOff").value(), 1);
  EXPECT_FALSE(C("optAlwaysnotifybeforerestoring").enabled());
  EXPECT_EQ(C("chkAutoProtect").value(), 0);
  EXPECT_FALSE(C("tmrCheckHomePage").enabled());
  EXPECT_FALSE(C("tmrMemoryInspected").enabled());
  EXPECT_TRUE(C("tmrScheduler").enabled());
  EXPECT_TRUE(C("cmbDays").enabled());
  EXPECT_TRUE(C("timUpdate").enabled());
  EXPECT_EQ(C("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").columns()[1].width, 2500);
}

TEST_F(AppTest, StatusPanelShowsCountsDateVersionAndHistory) {
  SeenBefore();
  std::string many;
  for (int i = 0; i < 1233; ++i) many += "x\r\n";
  fake.files.AddFile(dataFolder + "\\FileDefinition.dat", many + "\r\n");  // trailing empty line counts
  fake.files.AddFile(dataFolder + "\\DirectoryDefinition.dat", "a\r\nb");
  fake.files.AddFile(dataFolder + "\\BlockedCookies.dat", "c1\r\nc2\r\nc3\r\n");
  fake.files.AddFile(dataFolder + "\\ExeDefinition.dat", "");
  PutUser("Settings", "lblLastScan", "3/20/2006 1:02:03 PM");
  PutUser("Settings", "lblDefRemoved", "17");
  Start();
  EXPECT_EQ(main().cookieCount(), 3);
  EXPECT_EQ(main().exeCount(), 0);
  EXPECT_EQ(main().registryCount(), 0);
  EXPECT_EQ(main().fileCount(), 1236);
  EXPECT_EQ(main().definitionsCount(), 1239);
  EXPECT_EQ(C("lblDefCount").caption(), "1,239");
  EXPECT_EQ(C("lblDefVersion").caption(), "3/16/2006 12:00:00 AM PST");
  EXPECT_EQ(C("lblVersion").caption(), "1.0");
  EXPECT_EQ(C("lblDefRemoved").caption(), "17");
  EXPECT_EQ(C("lblLastScan").caption(), "3/20/2006 1:02:03 PM");
  EXPECT_EQ(C("lblLastFullScan").caption(), "Never");
  EXPECT_EQ(C("lblLastUpdate").caption(), "Signatures Last Updated On 3/16/2006 12:00:00 AM PST");
  EXPECT_EQ(C("frmStatus").caption(), "Kestrix Status");
  EXPECT_TRUE(C("frmStatus").visible());
  for (const char* hidden : {"frmScan", "frmResults", "frmOptions", "pgbDeleteSpywaresFound", "shpCircle"})
    EXPECT_FALSE(C(hidden).visible()) << hidden;
}

TEST_F(AppTest, DefinitionsDateIsTheFirstLineOfDateDat) {
  SeenBefore();
  fake.files.AddFile(dataFolder + "\\date.dat", "4/2/2007 9:30:00 PM\r\nignored\r\n");
  Start();
  EXPECT_EQ(C("lblDefVersion").caption(), "4/2/2007 9:30:00 PM PST");
}

TEST_F(AppTest, StagedDefinitionsReplaceTheirFilesExceptTheFolderList) {
  SeenBefore();
  fake.files.AddFile(dataFolder + "\\RegistryDefinition.dat", "old\r\n");
  fake.files.AddFile(dataFolder + "\\DLRegistryDefinition.dat", "n1\r\nn2\r\n");
  fake.files.AddFile(dataFolder + "\\DLBlockedCookies.dat", "c\r\n");
  fake.files.AddFile(dataFolder + "\\DLDirectoryDefinition.dat", "d\r\n");
  Start();
  EXPECT_EQ(fake.files.ReadFile(dataFolder + "\\RegistryDefinition.dat"), "n1\r\nn2\r\n");
  EXPECT_FALSE(fake.files.Exists(dataFolder + "\\DLRegistryDefinition.dat"));
  EXPECT_EQ(fake.files.ReadFile(dataFolder + "\\BlockedCookies.dat"), "c\r\n");
  EXPECT_TRUE(fake.files.Exists(dataFolder + "\\DLDirectoryDefinition.dat"));
  EXPECT_FALSE(fake.files.Exists(dataFolder + "\\DirectoryDefinition.dat"));
  EXPECT_EQ(main().registryCount(), 2);  // counted after promotion
}

TEST(StartupFiles, AStagedCopyThatCannotMoveLeavesTheOldFileAndItself) {
  fakes::FakeFileSystem files;
  const std::string data = "C:\\Data";
  files.AddFile(data + "\\FileDefinition.dat", "old\r\n");
  files.AddFile(data + "\\DLFileDefinition.dat", "new\r\n");
  files.AddFile(data + "\\ExeDefinition.dat", "exe old\r\n", FA_HIDDEN);
  files.AddFile(data + "\\DLExeDefinition.dat", "exe new\r\n");
  files.SetInUse(data + "\\DLFileDefinition.dat");  // a scanner still reading it
  PromotePendingDefinitions(files, data);
  EXPECT_EQ(files.ReadFile(data + "\\FileDefinition.dat"), "old\r\n");
  EXPECT_EQ(files.ReadFile(data + "\\DLFileDefinition.dat"), "new\r\n");
  EXPECT_EQ(files.ReadFile(data + "\\ExeDefinition.dat"), "exe new\r\n");  // the others still move
  EXPECT_FALSE(files.Exists(data + "\\DLExeDefinition.dat"));
}

TEST(StartupFiles, LinesCountAsLineInputReadsThem) {
  fakes::FakeFileSystem files;
  auto count = [&](const std::string& bytes) {
    files.AddFile("C:\\d\\f.dat", bytes);
    return CountFileLines(files, "C:\\d\\f.dat");
  };
  EXPECT_EQ(count(""), 0);
  EXPECT_EQ(count("a"), 1);
  EXPECT_EQ(count("a\r\n"), 1);
  EXPECT_EQ(count("a\r\n\r\n"), 2);
  EXPECT_EQ(count("a\rb\r\nc"), 3);
  EXPECT_EQ(CountFileLines(files, "C:\\d\\missing.dat"), 0);
  EXPECT_EQ(GroupDigits(0), "0");
  EXPECT_EQ(GroupDigits(999), "999");
  EXPECT_EQ(GroupDigits(1000), "1,000");
  EXPECT_EQ(GroupDigits(1234567), "1,234,567");
}

TEST_F(AppTest, SecondCopyEndsSilentlyAndLeavesTheFirstAlone) {
  SeenBefore();
  Start();
  App& first = *app;
  PutUser("OptionAndSettings", "STATUS", "marker");

  ui::HeadlessBackend ui2;
  RecordingSubsystems sub2;
  App second(platform, ui2, AppInfo{}, sub2.bundle());
  bool ended = false;
  second.onEnd = [&] { ended = true; };
  second.Start();
  ui2.Advance(400);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(second.ended());
  EXPECT_FALSE(second.main().visible());
  EXPECT_TRUE(ui2.msgboxes().empty());
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "marker");
  EXPECT_EQ(sub2.Count("LoadExclusions"), 0);
  EXPECT_FALSE(first.ended());
  EXPECT_TRUE(first.main().visible());
}

TEST_F(AppTest, MinimizedStartGoesToTheTray) {
  SeenBefore();
  PutUser("Settings", "Minimized", "Yes");
  Start();
  EXPECT_EQ(sub.Count("SendToTray"), 1);
  EXPECT_FALSE(main().visible());
}

TEST_F(AppTest, DriveListHoldsReadyFixedAndAllRemovableNetworkAndCdDrives) {
  SeenBefore();
  fake.system.drives = {{"A:\\", DriveType::Removable, false}, {"C:\\", DriveType::Fixed, true},
                        {"E:\\", DriveType::Fixed, false},     {"F:\\", DriveType::CdRom, false},
                        {"G:\\", DriveType::Remote, true},     {"R:\\", DriveType::RamDisk, true},
                        {"U:\\", DriveType::Unknown, true}};
  PutUser("Drives", "F", "False");
  Start();
  std::vector<std::string> letters;
  for (const auto& item : C("lvwHardDrives").items()) letters.push_back(item.text + (item.checked ? "+" : "-"));
  EXPECT_EQ(letters, (std::vector<std::string>{"A+", "C+", "F-", "G+"}));

  C("lvwHardDrives").SetItemChecked(1, false);  // every drive is written again
  EXPECT_EQ(User("Drives", "A"), "True");
  EXPECT_EQ(User("Drives", "C"), "False");
  EXPECT_EQ(User("Drives", "F"), "False");
  EXPECT_EQ(User("Drives", "G"), "True");
}

}  // namespace
}  // namespace kx::testing_app

namespace kx::testing_app {
namespace {

TEST_F(AppTest, UnreadableFirstRunFlagSkipsOnlyTheOffer) {
  PutUser("Settings", "Language", "English");
  PutUser("Settings", "showHelp", "0");
  fake.registry.PutDword(Hive::LocalMachine, std::string(kMachineKey) + "Settings", "FirstTime", 1);
  Start();  // an unexpected message box fails the test
  EXPECT_TRUE(main().visible());
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "RUNNING");
  EXPECT_EQ(sub.Count("RunLiveUpdate"), 0);
}

}  // namespace
}  // namespace kx::testing_app
