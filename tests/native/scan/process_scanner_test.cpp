#include "scan/process_scanner.h"

#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/text.h"
#include "definitions/codec.h"
#include "fakes/fake_platform.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

namespace kx {
namespace {

using scantest::EncodeFile;
using scantest::KeyAsMessage;
using scantest::ScanRig;
using Rows = std::vector<std::string>;
using scanbench::detail::SignedBytes;

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";

// Records what the memory shield would have been asked.
struct RecordingPrompt : MemoryThreatPrompt {
  std::vector<MemoryThreat> asked;
  void AskAboutThreat(const MemoryThreat& t) override { asked.push_back(t); }
};

struct ProcessScannerTest : ::testing::Test {
  fakes::FakePlatform fp;
  ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  std::vector<std::string> logged;
  Log log{fp.clock, [this](const std::string& line) { logged.push_back(line); }};
  ProcessScanner scanner{ProcessScanServices{fp.processes, fp.system, fp.files, rig.backend, KeyAsMessage, "Kestrix",
                                             kData, &log},
                         rig.views.processes, rig.threats, rig.state};
  RecordingPrompt prompt;

  void SetUp() override {
    fp.files.AddFolder(kData);
    rig.state.yield.intervalMs = 0;
    rig.threats.LoadExclusions();
    scanner.SetPrompt(&prompt);
  }
  void ExeDefinitions(const std::vector<std::string>& lines) {
    fp.files.AddFile(kData + "\\ExeDefinition.dat", EncodeFile(lines));
  }
  void Exclusions(const std::string& text) {
    fp.files.AddFile(kData + "\\ENoSignature.dat", text);
    rig.threats.LoadExclusions();
  }
  // A program on disk, running.
  uint32_t Run(const std::string& path, const std::string& company = "") {
    fp.files.AddFile(path, company.empty() ? "MZ" : SignedBytes(company));
    return fp.processes.Add(path);
  }
  void ScanIsRunning(bool running) { rig.Get("cmdScan").set_enabled(!running); }
};

TEST_F(ProcessScannerTest, DuringAScanStopsTheMatchedThreatsAndListsWhatWasSpared) {
  ExeDefinitions({
      "bad.exe=Bad Adware|[progfil]Bad\\",
      "tray.exe=Tray Adware|C:\\Tools\\",  // the folder's "\" and the joining one make one
      "winhelp.exe=Looks Bad|[system]",     // signed by Microsoft: spared
      "allowed.exe=Allowed|[progfil]Allowed\\",
      "Quorvane.exe=Companion|[progfil]Kestrix\\",
      "no equals sign here",
      "gone.exe=Not Running|[progfil]Gone\\",
  });
  Exclusions("ALLOWED.EXE\r\n");
  const uint32_t bad = Run("C:\\Program Files\\Bad\\bad.exe", "Bad Corp");
  const uint32_t tray = Run("C:\\Tools\\TRAY.EXE");
  // The system folder reached under another name is still the system folder.
  fp.files.AddFile("C:\\Windows\\system32\\winhelp.exe", SignedBytes("  microsoft CORPORATION "));
  const uint32_t ms = fp.processes.Add("\\SystemRoot\\System32\\winhelp.exe");
  const uint32_t allowed = Run("C:\\Program Files\\Allowed\\allowed.exe");
  const uint32_t companion = Run("C:\\Program Files\\Kestrix\\Quorvane.exe");
  const uint32_t unopenable = Run("C:\\Program Files\\Bad\\bad.exe");
  fp.processes.Get(unopenable)->openable = false;
  // A 64-bit process: its modules cannot be read, its image name still can.
  const uint32_t wide = Run("C:\\Tools\\tray.exe");
  fp.processes.Get(wide)->modulesReadable = false;
  const long processes = static_cast<long>(fp.processes.EnumIds().size());
  rig.state.definitions = {0, 0, 0, 7, 7};

  ScanIsRunning(true);
  scanner.ScanMemory();

  EXPECT_FALSE(fp.processes.IsRunning(bad));
  EXPECT_FALSE(fp.processes.IsRunning(tray));
  EXPECT_FALSE(fp.processes.IsRunning(wide));
  for (uint32_t spared : {ms, allowed, companion, unopenable, fp.processes.selfId})
    EXPECT_TRUE(fp.processes.IsRunning(spared)) << spared;
  EXPECT_EQ(rig.Rows("lvwSpywareFound"), (Rows{
      "Detected in the memory : BAD.EXE was stopped from running.#3",
      "Detected in the memory : TRAY.EXE was stopped from running.#3",
      "EXCLUDED: ALLOWED.EXE#5",
      "Detected in the memory : TRAY.EXE was stopped from running.#3",
  }));
  EXPECT_TRUE(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").empty());
  EXPECT_EQ(rig.state.counters.threatsFound, 3);
  // Every definition line read, and every process whose name could be read (the
  // unopenable one has none, so it is not in the list).
  EXPECT_EQ(rig.state.counters.memoryInspected, 7 + processes - 1);
  EXPECT_EQ(rig.Get("lblTotalNoOfRunningItems").caption(), std::to_string(processes - 1));
  EXPECT_TRUE(prompt.asked.empty());
}

TEST_F(ProcessScannerTest, TheShieldAsksInsteadAndIsNotBlindedByAnEarlierCancelledScan) {
  ExeDefinitions({"bad.exe=Bad Adware|[progfil]Bad\\", "nameless.exe=X|[progfil]Bad\\"});
  const uint32_t bad = Run("C:\\Program Files\\Bad\\bad.exe", "Bad Corp");
  const uint32_t nameless = Run("C:\\Program Files\\Bad\\nameless.exe");
  rig.state.stop = true;  // what a cancelled scan leaves behind

  ScanIsRunning(false);
  scanner.ScanMemory();

  ASSERT_EQ(prompt.asked.size(), 2u);
  EXPECT_EQ(prompt.asked[0].fileName, "BAD.EXE");
  EXPECT_EQ(prompt.asked[0].company, "Bad Corp");
  EXPECT_EQ(prompt.asked[0].pid, bad);
  EXPECT_EQ(prompt.asked[1].company, "");
  EXPECT_EQ(prompt.asked[1].pid, nameless);
  EXPECT_TRUE(fp.processes.IsRunning(bad));
  EXPECT_TRUE(rig.Rows("lvwSpywareFound").empty());
  // Outside a scan only the processes count, not the definition lines.
  EXPECT_EQ(rig.state.counters.memoryInspected, static_cast<long>(fp.processes.EnumIds().size()));

  // New definitions take effect at the next check.
  const uint32_t fresh = Run("C:\\Program Files\\New\\fresh.exe");
  ExeDefinitions({"fresh.exe=Fresh|[progfil]New\\"});
  prompt.asked.clear();
  scanner.ScanMemory();
  ASSERT_EQ(prompt.asked.size(), 1u);
  EXPECT_EQ(prompt.asked[0].pid, fresh);
}

TEST_F(ProcessScannerTest, StoppingByNameNeverTouchesAnotherProgramOfTheSameName) {
  const uint32_t other = Run("C:\\Program Files\\Editor\\updater.exe");
  const uint32_t threat = Run("C:\\Program Files\\Bad\\updater.exe");
  ExeDefinitions({"updater.exe=Bad Updater|[progfil]Bad\\"});

  // The scan stops the process that matched, though another comes first by name.
  ScanIsRunning(true);
  scanner.ScanMemory();
  EXPECT_TRUE(fp.processes.IsRunning(other));
  EXPECT_FALSE(fp.processes.IsRunning(threat));

  // The alert's STOP, by name with the threat's path: the other program stays; the
  // threat, started again, goes.
  const uint32_t again = Run("C:\\Program Files\\Bad\\updater.exe");
  EXPECT_TRUE(scanner.KillProcessByName("UPDATER.EXE", "C:\\PROGRAM FILES\\BAD\\UPDATER.EXE"));
  EXPECT_TRUE(fp.processes.IsRunning(other));
  EXPECT_FALSE(fp.processes.IsRunning(again));
  // Nothing of that path runs any more: nothing is stopped, and that counts as stopped.
  EXPECT_TRUE(scanner.KillProcessByName("UPDATER.EXE", "C:\\PROGRAM FILES\\BAD\\UPDATER.EXE"));
  EXPECT_TRUE(fp.processes.IsRunning(other));
}

TEST_F(ProcessScannerTest, StoppingByNameFollowsTheShortAndCutNameRules) {
  // A ten-letter name also matches the short form of its first six letters...
  const uint32_t shortForm = fp.processes.Add("C:\\PROGRA~1\\ABCDEF~1.EXE");
  EXPECT_TRUE(scanner.KillProcessByName("abcdefghij.exe"));
  EXPECT_FALSE(fp.processes.IsRunning(shortForm));
  // ...and a long name matches a process listed under its first 15 characters.
  const uint32_t cut = fp.processes.Add("C:\\Tools\\averyverylongnaXYZ.exe");
  EXPECT_TRUE(scanner.KillProcessByName("AVeryVeryLongNameOfAProgram.exe"));
  EXPECT_FALSE(fp.processes.IsRunning(cut));
  // A process that will not die: eleven tries, then false.
  const uint32_t stubborn = fp.processes.Add("C:\\Tools\\stubborn.exe");
  fp.processes.Get(stubborn)->killable = false;
  EXPECT_FALSE(scanner.KillProcessByName("stubborn.exe"));
  EXPECT_TRUE(fp.processes.IsRunning(stubborn));
  // The debug privilege is given back after every attempt.
  EXPECT_FALSE(fp.processes.debugPrivilegeHeld);
  EXPECT_GE(fp.processes.debugPrivilegeRequests, 11);
}

TEST_F(ProcessScannerTest, DuringAScanAThreatThatWillNotStopIsListedAsSuchAndNotCounted) {
  ExeDefinitions({"bad.exe=Bad Adware|[progfil]Bad\\"});
  const struct {
    bool killable;
    const char* row;
    long counted;
  } cases[] = {
      {true, "Detected in the memory : BAD.EXE was stopped from running.#3", 1},
      {false, "[MSG_NOTSTOPPED] BAD.EXE#3", 0},
  };
  ScanIsRunning(true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    rig.Get("lvwSpywareFound").ClearItems();
    rig.state.Reset();
    const uint32_t pid = Run("C:\\Program Files\\Bad\\bad.exe", "Bad Corp");
    fp.processes.Get(pid)->killable = c.killable;
    scanner.ScanMemory();
    EXPECT_EQ(fp.processes.IsRunning(pid), !c.killable);
    EXPECT_EQ(rig.Rows("lvwSpywareFound"), Rows{c.row});
    EXPECT_EQ(rig.state.counters.threatsFound, c.counted);
    fp.processes.Exit(pid, 0);
  }
}

TEST_F(ProcessScannerTest, StoppingByNameTriesEveryInstanceAndIsTrueOnlyWhenAllStopped) {
  const std::string path = "C:\\Program Files\\Bad\\bad.exe";
  const struct {
    std::vector<bool> killable;  // in the order the system lists them
    bool allStopped;
  } cases[] = {
      {{false, true, true}, false},
      {{true, false, true}, false},
      {{true, true}, true},
      {{false}, false},
  };
  for (const char* threatPath : {"C:\\PROGRAM FILES\\BAD\\BAD.EXE", ""}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(threatPath) + " case of " + std::to_string(c.killable.size()));
      std::vector<uint32_t> pids;
      for (bool killable : c.killable) {
        pids.push_back(Run(path));
        fp.processes.Get(pids.back())->killable = killable;
      }
      EXPECT_EQ(scanner.KillProcessByName("bad.exe", threatPath), c.allStopped);
      for (size_t i = 0; i < pids.size(); ++i) {
        EXPECT_EQ(fp.processes.IsRunning(pids[i]), !c.killable[i]) << i;
        fp.processes.Exit(pids[i], 0);
      }
    }
  }
}

TEST_F(ProcessScannerTest, AProgramInTheWindowsFolderIsStoppedOnlyWhenItsFileIsReadAndNotMicrosofts) {
  const struct {
    const char* folder;   // where the definition names it
    const char* running;  // the image path the system reports
    std::optional<std::string> company;  // the file there: none, or its company
    bool threat;
  } cases[] = {
      // What a 32-bit program cannot read in the 64-bit system folder may be the system's own.
      {"[system]", "C:\\Windows\\System32\\winlogon.exe", std::nullopt, false},
      {"[system]", "\\SystemRoot\\System32\\smss.exe", std::nullopt, false},
      {"C:\\Windows\\SysWOW64\\", "C:\\WINDOWS\\SysWOW64\\wowsvc.exe", std::nullopt, false},
      {"[windir]", "C:\\Windows\\explorer.exe", std::nullopt, false},
      {"[system]", "C:\\Windows\\system32\\lsass.exe", "Microsoft Corporation", false},
      {"[system]", "C:\\Windows\\system32\\evil.exe", "Evil Ltd", true},
      {"[system]", "C:\\Windows\\system32\\blank.exe", "", true},
      // Elsewhere a file that cannot be read is no reason to spare its process.
      {"[progfil]Bad\\", "C:\\Program Files\\Bad\\bad.exe", std::nullopt, true},
      {"C:\\Windows Tools\\", "C:\\Windows Tools\\tool.exe", std::nullopt, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.running);
    const std::string name = FileNameOfPath(c.running);
    ExeDefinitions({name + "=Threat|" + c.folder});
    const std::string onDisk = UpperAnsi(scanner.MapSystem32Path(c.running));
    if (c.company) fp.files.AddFile(onDisk, c.company->empty() ? "MZ" : SignedBytes(*c.company));
    logged.clear();

    // The shield asks only about a threat.
    uint32_t pid = fp.processes.Add(c.running);
    ScanIsRunning(false);
    prompt.asked.clear();
    scanner.ScanMemory();
    EXPECT_EQ(prompt.asked.size(), c.threat ? 1u : 0u);

    // A scan stops and lists only a threat.
    rig.Get("lvwSpywareFound").ClearItems();
    rig.state.Reset();
    ScanIsRunning(true);
    scanner.ScanMemory();
    EXPECT_EQ(fp.processes.IsRunning(pid), !c.threat);
    EXPECT_EQ(rig.Rows("lvwSpywareFound").size(), c.threat ? 1u : 0u);
    EXPECT_EQ(rig.state.counters.threatsFound, c.threat ? 1 : 0);

    // By name (the removal, the alert's STOP): the same; left running, it was not stopped.
    if (c.threat) pid = fp.processes.Add(c.running);
    EXPECT_EQ(scanner.KillProcessByName(name, onDisk), c.threat);
    EXPECT_EQ(fp.processes.IsRunning(pid), !c.threat);
    // Logged once for the process, not on every check.
    EXPECT_EQ(logged.size(), c.threat ? 0u : 1u);
    fp.processes.Exit(pid, 0);
  }
}

TEST_F(ProcessScannerTest, WithoutTheDebugPrivilegeAProcessOfOnesOwnIsStillStopped) {
  fp.processes.debugPrivilege = false;
  const uint32_t pid = fp.processes.Add("C:\\Tools\\bad.exe");
  EXPECT_TRUE(scanner.KillProcessById(pid, 0));
  EXPECT_FALSE(fp.processes.IsRunning(pid));
}

TEST_F(ProcessScannerTest, OnTheWindows95FamilyTheToolhelpVariantAsksThroughAQuestionBox) {
  fp.system.version = OsVersion{1, 4, 10};
  // This variant matches a name that ends its line.
  ExeDefinitions({"bad.exe", " other.exe ", "x.exe=X|C:\\"});
  const uint32_t bad = fp.processes.Add("C:\\Program Files\\Bad\\bad.exe");
  const uint32_t other = fp.processes.Add("C:\\Program Files\\Other\\other.exe");
  const uint32_t plain = fp.processes.Add("C:\\Program Files\\Other\\other.exe.bak");
  rig.backend.ExpectMsgBox(ui::MsgResult::Yes, "BAD.EXE");
  rig.backend.ExpectMsgBox(ui::MsgResult::No, "OTHER.EXE");

  ScanIsRunning(false);
  scanner.ScanMemory();

  ASSERT_EQ(rig.backend.msgboxes().size(), 2u);
  EXPECT_EQ(rig.backend.msgboxes()[0].text, "[MSG_FOUND1]BAD.EXE[MSG_FOUND2]BAD.EXE[MSG_FOUND3]");
  EXPECT_EQ(rig.backend.msgboxes()[0].title, "Kestrix  - Alert");
  EXPECT_FALSE(fp.processes.IsRunning(bad));
  EXPECT_TRUE(fp.processes.IsRunning(other));
  EXPECT_TRUE(fp.processes.IsRunning(plain));
  EXPECT_TRUE(rig.threats.IsExcluded("other.exe"));  // No allows it for good
  EXPECT_EQ(rig.state.counters.threatsFound, 1);
  EXPECT_EQ(rig.state.counters.memoryInspected, 3);
  // The running-items label counts every snapshot entry on top of what it showed.
  EXPECT_EQ(rig.Get("lblTotalNoOfRunningItems").caption(), "4");

  // The list is kept: a second run reads no file but counts its lines, and now lists the
  // allowed program as excluded.
  ASSERT_TRUE(fp.files.DeleteFile(kData + "\\ExeDefinition.dat").ok());
  ScanIsRunning(true);
  scanner.ScanMemory();
  EXPECT_EQ(rig.state.counters.memoryInspected, 6);
  EXPECT_EQ(rig.Rows("lvwSpywareFound"), (Rows{"EXCLUDED: OTHER.EXE#5"}));
}

TEST_F(ProcessScannerTest, RunningProgramListLeavesOutTheSystemsOwnAndEncodesTheRest) {
  fp.processes.Clear();
  for (const char* p : {"C:\\Windows\\explorer.exe", "C:\\Windows\\svchost.exe", "C:\\Tools\\one.exe",
                        "C:\\Tools\\Explorer.exe", "C:\\Tools\\two.exe"})
    fp.processes.Add(p);
  EXPECT_EQ(scanner.GetRunningProgramList(), EncodeDefinitionLine("one.exe") + "|" +
                                                 EncodeDefinitionLine("Explorer.exe") + "|" +
                                                 EncodeDefinitionLine("two.exe"));
  fp.processes.wmiAvailable = false;
  EXPECT_EQ(scanner.GetRunningProgramList(), "");
}

}  // namespace
}  // namespace kx
