#include "scan/scan_driver.h"

#include <gtest/gtest.h>

#include <utility>

#include "fakes/fake_platform.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

namespace kx {
namespace {

using scantest::EncodeFile;
using scantest::ScanRig;
using Rows = std::vector<std::string>;

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";

struct DriverTest : ::testing::Test {
  fakes::FakePlatform fp;
  ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  ScanDriver& d = rig.driver;

  void SetUp() override {
    fp.files.AddFolder(kData);
    rig.state.yield.intervalMs = 0;
    for (const char* f : {"FileDefinition.dat", "RegistryDefinition.dat", "ExeDefinition.dat", "BlockedCookies.dat",
                          "DirectoryDefinition.dat", "date.dat"})
      fp.files.AddFile(kData + "\\" + f, "");
    rig.Get("cmdScanNow").set_enabled(true);
    rig.Get("cmdStop").set_enabled(false);
    rig.Get("cmdPause").set_enabled(false);
  }
  void Definitions(const std::string& file, const std::vector<std::string>& lines) {
    ASSERT_TRUE(fp.files.WriteFile(kData + "\\" + file, EncodeFile(lines)).ok());
  }
};

TEST_F(DriverTest, PhasesRunInOrderAndTheWindowIsRestoredAfterwards) {
  fp.files.AddFile("C:\\Windows\\bad.exe", "x");
  Definitions("FileDefinition.dat", {"bad.exe=Bad|[windir]"});
  ui::ListItem old;
  old.text = "old";
  rig.Get("lvwFileNotFounds").AddItem(std::move(old));
  rig.Get("lbltracesFound").set_caption("7");
  bool checkedDuringScan = false;
  rig.backend.onDoEvents = [&] {
    if (checkedDuringScan) return;
    checkedDuringScan = true;
    EXPECT_TRUE(d.Running());
    EXPECT_FALSE(rig.Get("cmdScanNow").enabled());
    EXPECT_TRUE(rig.Get("cmdStop").enabled());
    EXPECT_TRUE(rig.Get("cmdPause").enabled());
    EXPECT_FALSE(rig.Get("cmdResults").enabled());
    EXPECT_FALSE(rig.Get("cmdRemove").visible());
  };
  d.StartScan();
  EXPECT_TRUE(checkedDuringScan);
  EXPECT_EQ(rig.host.calls, (Rows{"HideDeleteFailed", "ShowOnlySweepNowPanel", "Timers off",
                                  "ScanCookies", "ScanMemory", "Timers on",
                                  "ShowStatusPanelValues"}));
  EXPECT_EQ(rig.Rows("lvwSpywareFound"), (Rows{"Bad - Found#3"}));
  EXPECT_EQ(rig.Get("lvwFileNotFounds").item_count(), 0u);
  EXPECT_EQ(rig.Get("lbltracesFound").caption(), "1");
  EXPECT_EQ(rig.Get("lblStatus").caption(), "[MSG_SCAN_COMPLETED]");
  EXPECT_EQ(rig.Get("lblPercentageCompleted").caption(), "[MSG_SPYWARE]");
  EXPECT_EQ(rig.Get("pb1").value(), 100);
  EXPECT_EQ(rig.Get("pb2").value(), 100);
  EXPECT_EQ(rig.state.phaseCaption, "[MSG_SPYWARE]: ");
  // Fewer than a hundred progress calls, yet the end shows the final counts.
  EXPECT_EQ(rig.Get("lblFilesFolderInspected").caption(), "1");
  EXPECT_EQ(rig.Get("lblSoftwareFound").caption(), "1");
  EXPECT_EQ(rig.Get("lblRemovePicSoftwareFound").caption(), "1");
  EXPECT_EQ(rig.state.counters.filesFoldersInspected, 1);
  EXPECT_TRUE(rig.Get("cmdScanNow").enabled());
  EXPECT_TRUE(rig.Get("cmdScan").enabled());
  EXPECT_FALSE(rig.Get("cmdStop").enabled());
  EXPECT_FALSE(rig.Get("cmdPause").enabled());
  EXPECT_TRUE(rig.Get("cmdRemove").visible());
  EXPECT_TRUE(rig.Get("cmdResults").enabled());
  EXPECT_FALSE(rig.Get("shpCircle").visible());
  // Beside Label5 for the file phase: 250 twips to its left, 11 below its top.
  EXPECT_EQ(rig.Get("shpCircle").left(), rig.Get("Label5").left() - 250);
  EXPECT_EQ(rig.Get("shpCircle").top(), rig.Get("Label5").top() + 11);
  EXPECT_EQ(rig.backend.freeze_depth(rig.form), 0);
  EXPECT_EQ(rig.host.settings.at("Settings/lblLastScan"), "3/16/2006 10:15:02 AM");
  EXPECT_EQ(rig.host.settings.count("Settings/lblLastFullScan"), 0u);
  EXPECT_EQ(d.scanStartTime(), "3/16/2006 10:15:02 AM");
}

TEST_F(DriverTest, OptionsOffLeaveOnlyTheFilePhase) {
  rig.host.settings["OptionAndSettings/chkScanCookies"] = "0";
  rig.host.settings["OptionAndSettings/chkSweepMemory"] = "False";
  rig.host.settings["OptionAndSettings/chkScanRegistry"] = "False";
  fp.registry.AddKey(Hive::CurrentUser, "Software\\Bad");
  Definitions("RegistryDefinition.dat", {"1^Software\\Bad^=Bad"});
  rig.Get("optScanAllSelectedHardDrive").set_value(1);
  rig.Get("chkMakeLog").set_value(1);
  d.StartScan();
  EXPECT_EQ(rig.host.calls, (Rows{"HideDeleteFailed", "ShowOnlySweepNowPanel", "Timers off",
                                  "WriteScanReport", "Timers on",
                                  "ShowStatusPanelValues"}));
  EXPECT_EQ(rig.Get("lblMemoryInspected").caption(), "[MSG_NOTSELECED]");
  EXPECT_EQ(rig.Get("lblRegistryInspected").caption(), "[MSG_NOTSELECED]");
  EXPECT_EQ(rig.Get("lvwSpywareFound").item_count(), 0u);
  EXPECT_EQ(rig.host.settings.at("Settings/lblLastFullScan"), rig.host.settings.at("Settings/lblLastScan"));
}

TEST_F(DriverTest, MissingDefinitionsDeleteTheSetAndTheScanIsRefused) {
  ASSERT_TRUE(fp.files.DeleteFile(kData + "\\BlockedCookies.dat").ok());
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok, "[MSG_MISSING]");
  rig.Get("chkMakeLog").set_value(1);
  d.StartScan();
  EXPECT_EQ(rig.backend.msgboxes().at(0).style, ui::MB_ICON_INFORMATION);
  EXPECT_EQ(rig.backend.msgboxes().at(0).title, "Kestrix");
  EXPECT_EQ(rig.Get("lblDefVersion").caption(), "[MSG_MISSINGFILES]");
  for (const char* f : {"FileDefinition.dat", "RegistryDefinition.dat", "ExeDefinition.dat",
                        "DirectoryDefinition.dat", "date.dat"})
    EXPECT_FALSE(fp.files.Exists(kData + "\\" + f)) << f;
  // Refused: no scan time, no report, no completion, and the status panel's date does not
  // cover the missing-files notice.
  EXPECT_EQ(rig.host.calls, (Rows{"HideDeleteFailed", "ShowOnlySweepNowPanel", "Timers off", "Timers on"}));
  EXPECT_EQ(rig.host.settings.count("Settings/lblLastScan"), 0u);
  EXPECT_EQ(rig.Get("lblStatus").caption(), "[MSG_MISSING]");
  EXPECT_EQ(rig.Get("pb1").value(), 0);
  EXPECT_EQ(rig.Get("pb2").value(), 0);
  EXPECT_TRUE(rig.Get("cmdScanNow").enabled());
}

TEST_F(DriverTest, HiddenAndSystemDefinitionFilesArePresent) {
  ASSERT_TRUE(fp.files.SetAttributes(kData + "\\FileDefinition.dat", FA_HIDDEN).ok());
  ASSERT_TRUE(fp.files.SetAttributes(kData + "\\BlockedCookies.dat", FA_SYSTEM | FA_READONLY).ok());
  d.StartScan();
  EXPECT_NE(rig.Get("lblDefVersion").caption(), "[MSG_MISSINGFILES]");
  for (const char* f : {"FileDefinition.dat", "RegistryDefinition.dat", "ExeDefinition.dat", "BlockedCookies.dat",
                        "DirectoryDefinition.dat", "date.dat"})
    EXPECT_TRUE(fp.files.Exists(kData + "\\" + f)) << f;
  // A folder of that name is no file.
  ASSERT_TRUE(fp.files.DeleteFile(kData + "\\ExeDefinition.dat").ok());
  fp.files.AddFolder(kData + "\\ExeDefinition.dat");
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok, "[MSG_MISSING]");
  d.StartScan();
  EXPECT_EQ(rig.Get("lblDefVersion").caption(), "[MSG_MISSINGFILES]");
}

TEST_F(DriverTest, StopDuringTheRegistryPhaseSkipsTheRestAndTheAutomaticDeletion) {
  std::vector<std::string> reg;
  for (int i = 0; i < 20; ++i) reg.push_back("1^Software\\K" + std::to_string(i) + "^=T");
  Definitions("RegistryDefinition.dat", reg);
  fp.files.AddFile("C:\\Windows\\bad.exe", "x");
  Definitions("FileDefinition.dat", {"bad.exe=Bad|[windir]"});
  rig.Get("pbgMain").set_value(40);
  rig.backend.onDoEvents = [&] {
    if (rig.state.counters.registryInspected == 5 && rig.Get("cmdStop").enabled()) {
      rig.backend.ExpectMsgBox(ui::MsgResult::Yes, "[MSG_STOP]");
      rig.backend.SetMousePointer(ui::POINTER_HOURGLASS);
      rig.Get("cmdStop").Click();
    }
  };
  rig.Get("cmdStop").onClick = [&] { d.cmdStop_Click(); };
  d.StartScan(/*autoDelete=*/true);
  EXPECT_EQ(rig.state.counters.registryInspected, 5);
  EXPECT_EQ(rig.state.counters.filesFoldersInspected, 0);
  EXPECT_EQ(rig.backend.MousePointer(), ui::POINTER_DEFAULT);
  EXPECT_EQ(rig.backend.msgboxes().at(0).style, ui::MB_YES_NO | ui::MB_ICON_QUESTION);
  EXPECT_EQ(rig.Get("lblStatus").caption(), "[MSG_SCAN_CANCELLED]");
  EXPECT_EQ(rig.Get("lblPercentageCompleted").caption(), "0% [MSG_COMPLETED]");
  EXPECT_EQ(rig.Get("pbgMain").value(), 0);
  EXPECT_EQ(rig.host.settings.count("Settings/lblLastScan"), 1u);
  for (const std::string& c : rig.host.calls) EXPECT_NE(c, "RunAutomaticDeletion");
  EXPECT_TRUE(rig.state.stop);  // stays set until the next scan
}

TEST_F(DriverTest, AutomaticDeletionSelectsEverythingAndHandsOver) {
  fp.files.AddFile("C:\\Windows\\bad.exe", "x");
  Definitions("FileDefinition.dat", {"bad.exe=Bad|[windir]"});
  bool flagDuringScan = false;
  rig.backend.onDoEvents = [&] { flagDuringScan = flagDuringScan || d.autoDeleting(); };
  d.StartScan(/*autoDelete=*/true);
  EXPECT_TRUE(flagDuringScan);
  EXPECT_FALSE(d.autoDeleting()) << "asked for that scan only";
  EXPECT_TRUE(rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").items().at(0).checked);
  EXPECT_TRUE(rig.Get("lvwFilesToBeDeleted").items().at(0).checked);
  Rows tail(rig.host.calls.end() - 5, rig.host.calls.end());
  EXPECT_EQ(tail, (Rows{"ScanMemory", "ShowResultsPanel", "RunAutomaticDeletion", "Timers on",
                        "ShowStatusPanelValues"}));
}

TEST_F(DriverTest, PauseHoldsTheScanInsideTheMessageBox) {
  std::vector<std::string> lines;
  for (int i = 0; i < 5; ++i) lines.push_back("f" + std::to_string(i) + ".dll=T|[windir]");
  Definitions("FileDefinition.dat", lines);
  long inspectedAtPause = -1;
  bool pausedOnce = false;
  rig.Get("cmdPause").onClick = [&] { d.cmdPause_Click(); };
  rig.backend.onDoEvents = [&] {
    if (pausedOnce || rig.state.counters.filesFoldersInspected != 2) return;
    pausedOnce = true;
    rig.backend.ExpectMsgBox(ui::MsgResult::Ok, "[MSG_PAUSED]");
    inspectedAtPause = rig.state.counters.filesFoldersInspected;
    rig.Get("cmdPause").Click();
    EXPECT_TRUE(rig.Get("cmdPause").enabled());
    EXPECT_TRUE(rig.Get("cmdStop").enabled());
  };
  d.StartScan();
  EXPECT_EQ(inspectedAtPause, 2);
  EXPECT_EQ(rig.state.counters.filesFoldersInspected, 5);

  // The label variants: lblPause around its box, lblStop with its own question.
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok, "[MSG_PAUSED]");
  d.lblPause_Click();
  EXPECT_TRUE(rig.Get("lblPause").enabled());
  rig.backend.ExpectMsgBox(ui::MsgResult::No, "[MSG_SURE]");
  d.lblStop_Click();
  EXPECT_FALSE(rig.state.stop);
  rig.backend.ExpectMsgBox(ui::MsgResult::Yes, "[MSG_SURE]");
  d.lblStop_Click();
  EXPECT_TRUE(rig.state.stop);
}

TEST_F(DriverTest, StartLabelRefusesWhileAScanRuns) {
  int starts = 0;
  rig.backend.onDoEvents = [&] {
    ++starts;
    d.lblStart_Click();  // cmdScanNow is disabled: nothing starts
  };
  Definitions("FileDefinition.dat", {"a=b|[windir]"});
  d.lblStart_Click();
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(std::count(rig.host.calls.begin(), rig.host.calls.end(), "ShowScanPanel"), 2);
  EXPECT_EQ(std::count(rig.host.calls.begin(), rig.host.calls.end(), "Timers off"), 1);
}

// The cached paths and throttled yields must not change anything a scan finds.
TEST(ScanIdentity, CachedAndLiteralScansOfOneMachineAgree) {
  fakes::FakePlatform fp;
  scanbench::MachineSpec spec;
  spec.definitionLines = 20000;
  spec.plantedFiles = 150;
  spec.plantedFolders = 30;
  spec.plantedRegistry = 100;
  scanbench::Machine m = scanbench::BuildScanMachine(fp.files, fp.registry, fp.system, kData, spec);
  auto scan = [&](bool cached) {
    ScanRig rig(fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData);
    rig.state.definitions = m.counts;
    rig.driver.options.cachePaths = cached;
    rig.state.yield.intervalMs = cached ? 10 : 0;
    rig.backend.onDoEvents = [&] { fp.clock.Advance(1); };
    rig.threats.LoadExclusions();
    rig.driver.StartScan();
    std::vector<Rows> lists;
    for (const char* l : {"lvwSpywareFound", "lvwPicRemoveListOfSpywareFoundAndToBeRemoved", "lvwFilesToBeDeleted",
                          "lvwRegistryToBeDeleted", "lvwCookiesToDelete", "lvwFileNotFounds"})
      lists.push_back(rig.Rows(l));
    for (const char* l : {"lbltracesFound", "lblFilesFolderInspected", "lblRegistryInspected", "lblSoftwareFound",
                          "lblStatus"})
      lists.push_back({rig.Get(l).caption()});
    return std::tuple(lists, rig.state.counters, rig.backend.do_events_count());
  };
  auto [cachedLists, cachedCounters, cachedYields] = scan(true);
  auto [literalLists, literalCounters, literalYields] = scan(false);
  EXPECT_EQ(cachedLists, literalLists);
  EXPECT_TRUE(cachedCounters == literalCounters);
  EXPECT_LT(cachedYields * 5, literalYields);
  // The machine is meant to hold finds of every kind, and things that must not be found.
  const Rows& live = cachedLists[0];
  EXPECT_GT(cachedCounters.threatsFound, 100);
  EXPECT_GT(cachedLists[2].size(), 100u);
  EXPECT_GT(cachedLists[3].size(), 50u);
  EXPECT_GT(std::count_if(live.begin(), live.end(), [](const std::string& r) { return r.rfind("EXCLUDED: ", 0) == 0; }),
            3);
  EXPECT_LT(cachedLists[2].size(), size_t(m.plantedFiles + m.plantedFolders));
}

}  // namespace
}  // namespace kx
