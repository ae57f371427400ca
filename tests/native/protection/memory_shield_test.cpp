#include "protection/memory_shield.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "native/protection/shield_test_host.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

namespace kx {
namespace {

using scantest::EncodeFile;
using scantest::KeyAsMessage;
using scantest::ScanRig;
using scanbench::detail::SignedBytes;
using shieldtest::TestHost;

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";
const std::string kStopFailed =
    " could not be stopped.  You should try again after saving your work and closing any open applications.";

// What the alert showed each time it came up.
struct Shown {
  std::string company, file;
  bool stopUsable = false;
  bool timersQuiet = false;
};

struct MemoryShieldTest : ::testing::Test {
  fakes::FakePlatform fp;
  ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  ProcessScanner scanner{ProcessScanServices{fp.processes, fp.system, fp.files, rig.backend, KeyAsMessage, "Kestrix",
                                             kData},
                         ProcessScanControls::FromForm(rig.form), rig.threats, rig.state};
  TestHost host{rig.backend};
  FrmSpywareFoundAlert alert{rig.backend};
  ShieldGate gate;
  MemoryShield shield{MemoryShieldServices{KeyAsMessage, "Kestrix"}, host, scanner, rig.threats, alert, gate};
  std::vector<Shown> shown;
  // What the user does with each alert in turn.
  std::vector<std::function<void()>> answers;
  int unanswered = 0;

  void SetUp() override {
    fp.files.AddFolder(kData);
    rig.state.yield.intervalMs = 0;
    rig.threats.LoadExclusions();
    fp.files.AddFile(kData + "\\ExeDefinition.dat",
                     EncodeFile({"bad.exe=Bad Adware|C:\\Program Files\\Bad\\", "tray.exe=Tray Adware|C:\\Tools"}));
    rig.backend.onDoEvents = [this] {
      if (!alert.visible() || alert.answered()) return;
      if (shown.size() >= answers.size()) {
        // Left unanswered: the shield must stop waiting by itself.
        if (++unanswered == 200) {
          ADD_FAILURE() << "the shield still waits for an answer";
          alert.Unload(0);
        }
        return;
      }
      shown.push_back({alert.Get("lblAlertCompanyName").caption(), alert.Get("lblAlertFileName").caption(),
                       alert.Get("cmdYes").enabled(), !host.AnyProtectionTimerRunning()});
      answers[shown.size() - 1]();
    };
  }
  uint32_t Run(const std::string& path, const std::string& company = "") {
    fp.files.AddFile(path, company.empty() ? "MZ" : SignedBytes(company));
    return fp.processes.Add(path);
  }
  std::function<void()> Click(const char* button) {
    return [this, button] { alert.Get(button).Click(); };
  }
};

TEST_F(MemoryShieldTest, TwoThreatsAreAskedOneAfterTheOtherStopEndsOneAllowExcludesTheOther) {
  const uint32_t bad = Run("C:\\Program Files\\Bad\\bad.exe", "Bad Corp");
  const uint32_t tray = Run("C:\\Tools\\tray.exe");
  answers = {Click("cmdYes"), Click("cmdNO")};
  shield.Tick();

  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].company, "BAD CORP");
  EXPECT_EQ(shown[0].file, "BAD.EXE");
  EXPECT_EQ(shown[1].company, "[MSG_NOCOMPANY] TRAY.EXE");
  EXPECT_EQ(shown[1].file, "TRAY.EXE");
  // STOP disables itself; the next alert has it back.
  EXPECT_TRUE(shown[1].stopUsable);
  EXPECT_TRUE(shown[0].timersQuiet && shown[1].timersQuiet);
  EXPECT_FALSE(fp.processes.IsRunning(bad));
  EXPECT_TRUE(fp.processes.IsRunning(tray));
  EXPECT_EQ(fp.files.ReadFile(kData + "\\ENoSignature.dat").value_or(""), "TRAY.EXE\r\n");
  EXPECT_TRUE(rig.threats.IsExcluded("tray.exe"));
  EXPECT_FALSE(alert.loaded());
  EXPECT_EQ(host.applied, (std::vector<bool>{false, true}));
  EXPECT_TRUE(host.Timer("tmrMemoryInspected").enabled());
  EXPECT_TRUE(rig.backend.msgboxes().empty());

  // Allowed for good, stopped gone: the next check is quiet.
  shield.Tick();
  EXPECT_EQ(shown.size(), 2u);
}

TEST_F(MemoryShieldTest, AStopThatFailsSaysSoAndAProcessAlreadyGoneIsStoppedQuietly) {
  const uint32_t bad = Run("C:\\Program Files\\Bad\\bad.exe");
  fp.processes.Get(bad)->killable = false;
  answers = {Click("cmdYes")};
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok);
  shield.Tick();
  ASSERT_EQ(rig.backend.msgboxes().size(), 1u);
  EXPECT_EQ(rig.backend.msgboxes()[0].text, "BAD.EXE" + kStopFailed);
  EXPECT_EQ(rig.backend.msgboxes()[0].style, static_cast<uint32_t>(ui::MB_ICON_INFORMATION));
  EXPECT_EQ(rig.backend.msgboxes()[0].title, "Kestrix");
  EXPECT_FALSE(alert.loaded());
  EXPECT_TRUE(fp.processes.IsRunning(bad));

  // Still running: asked again. It ends before the answer; STOP then says nothing.
  answers.push_back([&] {
    fp.processes.Exit(bad, 0);
    alert.Get("cmdYes").Click();
  });
  shield.Tick();
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(rig.backend.msgboxes().size(), 1u);
  EXPECT_FALSE(alert.loaded());
}

TEST_F(MemoryShieldTest, ClosingTheAlertEndsTheWaitAndTheProgramEndingEndsTheCheck) {
  const uint32_t bad = Run("C:\\Program Files\\Bad\\bad.exe");
  const uint32_t tray = Run("C:\\Tools\\tray.exe");
  // Closed with its close box: nothing done, the check goes on with the next threat. A
  // tick that starts inside the wait (a timer re-armed meanwhile) shows no second alert.
  answers = {[&] {
               host.Timer("tmrMemoryInspected").set_enabled(true);
               shield.Tick();
               alert.BackendClosed();
             },
             [&] {
               // The program ends, the alert still open: its timers stop.
               host.ending = true;
               host.ApplyTimerSettings(false);
             }};
  shield.Tick();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].file, "BAD.EXE");
  EXPECT_EQ(shown[1].file, "TRAY.EXE");
  EXPECT_TRUE(fp.processes.IsRunning(bad) && fp.processes.IsRunning(tray));
  EXPECT_FALSE(fp.files.ReadFile(kData + "\\ENoSignature.dat").has_value());
  EXPECT_FALSE(host.AnyProtectionTimerRunning());
  shield.Tick();
  EXPECT_EQ(shown.size(), 2u);
}

TEST_F(MemoryShieldTest, OffItChecksNothingNotEvenFromTheHomePageShield) {
  Run("C:\\Program Files\\Bad\\bad.exe");
  host.Option("optMemorySheildOn", "False");
  host.onMemoryTick = [&] { shield.Tick(); };
  host.MemoryShieldTick();
  shield.Tick();
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(host.applied.empty());
  EXPECT_EQ(rig.backend.loaded_forms().end(),
            std::find(rig.backend.loaded_forms().begin(), rig.backend.loaded_forms().end(), &alert));
}

}  // namespace
}  // namespace kx
