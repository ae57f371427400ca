#include "protection/memory_shield.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "native/protection/shield_test_host.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

namespace kx {
namespace {

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";

struct MemoryShieldTest : ::testing::Test {
  fakes::FakePlatform fp;
  scantest::ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  ProcessScanner scanner{ProcessScanServices{fp.processes, fp.system, fp.files, rig.backend, scantest::KeyAsMessage,
                                             "Kestrix", kData},
                         rig.views.processes, rig.threats, rig.state};
  shieldtest::TestHost host{rig.backend};
  FrmSpywareFoundAlert alert{rig.backend};
  ShieldGate gate;
  MemoryShield shield{MemoryShieldServices{scantest::KeyAsMessage, "Kestrix"}, host, scanner, rig.threats, alert, gate};
  // What each alert showed ("company|file", "+" when STOP was usable, "quiet" when every
  // protection timer was stopped), and what the user does with each in turn.
  std::vector<std::string> shown;
  std::vector<std::function<void()>> answers;
  uint32_t bad = 0, tray = 0;

  void SetUp() override {
    scanner.SetPrompt(&shield);
    rig.state.yield.intervalMs = 0;
    fp.files.AddFile(kData + "\\ExeDefinition.dat",
                     scantest::EncodeFile({"bad.exe=Bad Adware|C:\\Program Files\\Bad\\", "tray.exe=Tray|C:\\Tools"}));
    fp.files.AddFile("C:\\Program Files\\Bad\\bad.exe", scanbench::detail::SignedBytes("Bad Corp"));
    fp.files.AddFile("C:\\Tools\\tray.exe", "MZ");
    bad = fp.processes.Add("C:\\Program Files\\Bad\\bad.exe");
    tray = fp.processes.Add("C:\\Tools\\tray.exe");
    rig.backend.onDoEvents = [this] {
      if (!alert.visible() || alert.answered()) return;
      if (shown.size() == answers.size()) {
        // Left unanswered: the shield must stop waiting by itself.
        if (++idle == 200) ADD_FAILURE() << "still waiting", alert.Unload(0);
        return;
      }
      shown.push_back(alert.Get("lblAlertCompanyName").caption() + "|" + alert.Get("lblAlertFileName").caption() +
                      (alert.Get("cmdYes").enabled() ? "+" : "") + (host.AnyTimerRunning() ? "" : " quiet"));
      answers[shown.size() - 1]();
    };
  }
  std::function<void()> Click(const char* button) {
    return [this, button] { alert.Get(button).Click(); };
  }
  int idle = 0;
};

TEST_F(MemoryShieldTest, ThreatsAreAskedOneAfterTheOtherStopEndsOneAllowExcludesTheOther) {
  answers = {Click("cmdYes"), Click("cmdNO")};
  shield.Tick();
  // STOP disables itself; the next alert has it back.
  EXPECT_EQ(shown, (std::vector<std::string>{"BAD CORP|BAD.EXE+ quiet", "[MSG_NOCOMPANY] TRAY.EXE|TRAY.EXE+ quiet"}));
  EXPECT_FALSE(fp.processes.IsRunning(bad));
  EXPECT_TRUE(fp.processes.IsRunning(tray));
  EXPECT_EQ(fp.files.ReadFile(kData + "\\ENoSignature.dat").value_or(""), "TRAY.EXE\r\n");
  EXPECT_TRUE(rig.threats.IsExcluded("tray.exe"));
  EXPECT_FALSE(alert.loaded());
  EXPECT_EQ(host.applied, (std::vector<bool>{false, true}));
  EXPECT_TRUE(rig.backend.msgboxes().empty());
  shield.Tick();  // one stopped, one allowed: quiet
  EXPECT_EQ(shown.size(), 2u);
}

TEST_F(MemoryShieldTest, AFailedStopSaysSoAndAProcessAlreadyGoneStopsQuietly) {
  fp.processes.Exit(tray, 0);
  fp.processes.Get(bad)->killable = false;
  answers = {Click("cmdYes"), [&] {
               fp.processes.Exit(bad, 0);
               alert.Get("cmdYes").Click();
             }};
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok);
  shield.Tick();
  ASSERT_EQ(rig.backend.msgboxes().size(), 1u);
  EXPECT_EQ(rig.backend.msgboxes()[0].text,
            "BAD.EXE could not be stopped.  You should try again after saving your work and closing any open "
            "applications.");
  EXPECT_EQ(rig.backend.msgboxes()[0].style, static_cast<uint32_t>(ui::MB_ICON_INFORMATION));
  EXPECT_EQ(rig.backend.msgboxes()[0].title, "Kestrix");
  EXPECT_FALSE(alert.loaded());
  host.settings["optMemorySheildOn"] = "False";
  shield.Tick();  // off: not a check
  EXPECT_EQ(shown.size(), 1u);
  host.settings.clear();
  shield.Tick();  // still running: asked again; gone before the answer, no message
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(rig.backend.msgboxes().size(), 1u);
}

TEST_F(MemoryShieldTest, ClosingTheAlertEndsTheWaitTheProgramEndingEndsTheCheck) {
  answers = {[&] {
               // A tick from a timer re-armed inside the wait shows no second alert.
               shield.Tick();
               alert.BackendClosed();  // its close box: nothing done, the next threat asked
             },
             [&] {
               host.ending = true;  // the alert left open
               host.ApplyTimerSettings(false);
             }};
  shield.Tick();
  shield.Tick();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], "[MSG_NOCOMPANY] TRAY.EXE|TRAY.EXE+ quiet");
  EXPECT_TRUE(fp.processes.IsRunning(bad) && fp.processes.IsRunning(tray));
  EXPECT_FALSE(fp.files.ReadFile(kData + "\\ENoSignature.dat").has_value());
  EXPECT_FALSE(host.AnyTimerRunning());
}

TEST_F(MemoryShieldTest, AnAllowedProgramIsListedOncePerProcessNotOnEveryCheck) {
  fp.files.AddFile(kData + "\\ENoSignature.dat", "BAD.EXE\r\nTRAY.EXE\r\n");
  rig.threats.LoadExclusions();
  auto rows = [&] { return rig.form.Get("lvwSpywareFound").item_count(); };
  const std::string badPath = "C:\\Program Files\\Bad\\bad.exe";
  uint32_t second = 0;
  const struct {
    const char* what;
    std::function<void()> step;
    size_t rows;
  } steps[] = {
      {"first check", [&] { shield.Tick(); }, 2},
      {"checks after", [&] { shield.Tick(), shield.Tick(), shield.Tick(); }, 2},
      {"another instance", [&] { second = fp.processes.Add(badPath), shield.Tick(); }, 3},
      {"one ends, is started again", [&] { fp.processes.Exit(bad, 0), fp.processes.Add(badPath), shield.Tick(); }, 4},
      {"a scan lists every one afresh",
       [&] {
         rig.form.Get("lvwSpywareFound").ClearItems();  // as the scan's start does
         rig.form.Get("cmdScan").set_enabled(false);
         scanner.ScanMemory();
         rig.form.Get("cmdScan").set_enabled(true);
       },
       3},
      {"checks after the scan", [&] { shield.Tick(), shield.Tick(); }, 3},
  };
  for (const auto& s : steps) {
    s.step();
    EXPECT_EQ(rows(), s.rows) << s.what;
  }
  EXPECT_TRUE(fp.processes.IsRunning(second) && fp.processes.IsRunning(tray));
  EXPECT_TRUE(shown.empty());
}

}  // namespace
}  // namespace kx
