#include "protection/home_page_shield.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"
#include "native/protection/shield_test_host.h"

namespace kx {
namespace {

const char* const kMain = "Software\\Microsoft\\Internet Explorer\\Main";
const std::string kHome = "http://www.kestrix.example/";
const std::string kHijack = "http://search.hijacker.example/";

struct HomePageShieldTest : ::testing::Test {
  ui::HeadlessBackend ui;
  fakes::FakeRegistry registry;
  shieldtest::TestHost host{ui};
  FrmHomePageChangedAlert alert{ui, "Kestrix"};
  ShieldGate gate;
  HomePageShield shield{registry, "Kestrix", host, alert, gate};

  HomePageShieldTest() { host.Timer("tmrCheckHomePage").onTimer = [this] { shield.Tick(); }; }
  void StartPage(const std::string& page) { registry.PutString(Hive::CurrentUser, kMain, "Start Page", page); }
  std::string StartPage() {
    auto v = registry.Get(Hive::CurrentUser, kMain, "Start Page");
    return v ? v->AsString().value_or("?") : "<absent>";
  }
  void Answer(const char* button) {
    ui.onRunModal = [button](ui::Form& form) { form.Get(button).Click(); };
  }
};

TEST_F(HomePageShieldTest, FirstRunAcceptsThePageYesPutsAChangeBackNoAcceptsIt) {
  StartPage(kHome);
  shield.Tick();
  EXPECT_EQ(host.Stored("Homepage"), kHome);
  EXPECT_TRUE(ui.modal_forms().empty());

  StartPage("http://www.KESTRIX.example/");  // letter case counts
  bool timersQuiet = false;
  ui.onRunModal = [&](ui::Form& form) {
    timersQuiet = !host.AnyTimerRunning();
    EXPECT_EQ(form.Get("lblFrmHomePageProductName").caption(), "Kestrix");
    EXPECT_EQ(form.Get("lblHomePageInfo").caption(),
              "Kestrix has detected that your Homepage has been changed.\r\n\r\n"
              "Click YES to keep your homepage as:\r\nhttp://www.kestrix.example/\r\n\r\n"
              "Click No to change your homepage to:\r\nhttp://www.KESTRIX.example/");
    form.Get("cmdYes").Click();
  };
  shield.Tick();
  EXPECT_TRUE(timersQuiet);
  EXPECT_EQ(StartPage(), kHome);
  EXPECT_EQ(host.Stored("Homepage"), kHome);
  EXPECT_FALSE(alert.loaded());
  EXPECT_TRUE(host.Timer("tmrCheckHomePage").enabled());

  StartPage(kHijack);
  Answer("cmdNO");
  shield.Tick();
  shield.Tick();  // accepted: quiet
  EXPECT_EQ(ui.modal_forms().size(), 2u);
  EXPECT_EQ(host.Stored("Homepage"), kHijack);
  EXPECT_EQ(StartPage(), kHijack);
}

TEST_F(HomePageShieldTest, TheReactionOptionsDecideWithoutAsking) {
  host.settings = {{"Homepage", kHome}, {"optAlwaysnotifybeforerestoring", "False"}};
  StartPage(kHijack);
  for (int i = 0; i < 4; ++i) shield.Tick();  // neither reaction: left alone
  EXPECT_EQ(StartPage(), kHijack);
  EXPECT_EQ(host.Stored("Homepage"), kHome);

  host.settings["optRestoredefaultwithoutnotification"] = "True";
  shield.Tick();
  EXPECT_EQ(StartPage(), kHome);
  // No page at all differs from the accepted one too; the restore makes the key.
  registry.Clear();
  shield.Tick();
  EXPECT_EQ(StartPage(), kHome);
  EXPECT_TRUE(ui.modal_forms().empty());
}

TEST_F(HomePageShieldTest, OnItRunsTheMemoryShieldEveryThirdTickOffNothingRuns) {
  StartPage(kHome);
  ui.Advance(30000);
  EXPECT_EQ(host.memoryTicks, 2);

  host.memoryTicks = 0;
  host.settings = {{"optIEHomePageSheildOn", "False"}};
  StartPage(kHijack);
  ui.Advance(60000);
  EXPECT_EQ(host.memoryTicks, 0);
  EXPECT_FALSE(host.Timer("tmrCheckHomePage").enabled());
  EXPECT_EQ(host.Stored("Homepage"), "<absent>");
}

TEST_F(HomePageShieldTest, ATickInsideTheAlertOrAfterTheEndDoesNothing) {
  host.settings = {{"Homepage", kHome}};
  StartPage(kHijack);
  int alerts = 0;
  ui.onRunModal = [&](ui::Form& form) {
    if (++alerts > 1) return;
    // A timer re-armed inside the alert's message loop fires: no second alert, and no
    // memory check in the middle of this one.
    for (int i = 0; i < 3; ++i) shield.Tick();
    // The program ends with the alert open: its windows go, its timers stop.
    host.ending = true;
    host.ApplyTimerSettings(false);
    form.Unload(0);
  };
  shield.Tick();
  shield.Tick();
  EXPECT_EQ(alerts, 1);
  EXPECT_EQ(host.memoryTicks, 0);
  EXPECT_EQ(StartPage(), kHijack);
  EXPECT_EQ(host.Stored("Homepage"), kHome);
  EXPECT_FALSE(host.AnyTimerRunning());
}

TEST(ReadRegistryText, StringsUnchangedAnythingMissingOrTooLongIsEmptyAndFalse) {
  fakes::FakeRegistry registry;
  std::string text = "stale";
  EXPECT_FALSE(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Start Page", text) || !text.empty());
  for (const std::string& page : {std::string("  about:blank  "), std::string(1023, 'a'), std::string(1024, 'a')}) {
    registry.PutString(Hive::CurrentUser, kMain, "Start Page", page);
    // 1023 characters and the NUL fill the 1024-character buffer; one more does not fit.
    const bool fits = page.size() < 1024;
    EXPECT_EQ(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Start Page", text), fits);
    EXPECT_EQ(text, fits ? page : "");
  }
  EXPECT_FALSE(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Search Page", text) || !text.empty());
}

}  // namespace
}  // namespace kx
