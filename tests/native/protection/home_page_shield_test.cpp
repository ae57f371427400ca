#include "protection/home_page_shield.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"
#include "native/protection/shield_test_host.h"

namespace kx {
namespace {

using shieldtest::TestHost;

const char* const kMain = "Software\\Microsoft\\Internet Explorer\\Main";
const std::string kHome = "http://www.kestrix.example/";
const std::string kHijack = "http://search.hijacker.example/?q=";

struct HomePageShieldTest : ::testing::Test {
  ui::HeadlessBackend ui;
  fakes::FakeRegistry registry;
  TestHost host{ui};
  FrmHomePageChangedAlert alert{ui, "Kestrix"};
  ShieldGate gate;
  HomePageShield shield{registry, "Kestrix", host, alert, gate};
  int modals = 0;

  HomePageShieldTest() {
    host.Timer("tmrCheckHomePage").onTimer = [this] { shield.Tick(); };
  }
  void StartPage(const std::string& page) { registry.PutString(Hive::CurrentUser, kMain, "Start Page", page); }
  std::string StartPage() {
    auto v = registry.Get(Hive::CurrentUser, kMain, "Start Page");
    return v && v->AsString() ? *v->AsString() : "<absent>";
  }
  // Answers the next alert with its button.
  void Answer(const char* button) {
    ui.onRunModal = [this, button](ui::Form& form) {
      ++modals;
      ASSERT_EQ(&form, &alert);
      form.Get(button).Click();
    };
  }
};

TEST_F(HomePageShieldTest, FirstRunAcceptsThePageAndALetterCaseChangeAsksYesPutsItBack) {
  StartPage(kHome);
  Answer("cmdYes");
  shield.Tick();
  EXPECT_EQ(host.Stored("Homepage"), kHome);
  EXPECT_EQ(modals, 0);

  const std::string changed = "http://www.KESTRIX.example/";
  StartPage(changed);
  bool timersQuiet = false;
  ui.onRunModal = [&](ui::Form& form) {
    ++modals;
    // The check holds every protection timer off while the user decides.
    timersQuiet = !host.AnyProtectionTimerRunning();
    EXPECT_EQ(form.Get("lblFrmHomePageProductName").caption(), "Kestrix");
    EXPECT_EQ(form.Get("lblHomePageInfo").caption(),
              "Kestrix has detected that your Homepage has been changed.\r\n\r\n"
              "Click YES to keep your homepage as:\r\nhttp://www.kestrix.example/\r\n\r\n"
              "Click No to change your homepage to:\r\nhttp://www.KESTRIX.example/");
    form.Get("cmdYes").Click();
  };
  shield.Tick();
  EXPECT_EQ(modals, 1);
  EXPECT_TRUE(timersQuiet);
  EXPECT_EQ(StartPage(), kHome);
  EXPECT_EQ(host.Stored("Homepage"), kHome);
  EXPECT_FALSE(alert.loaded());
  EXPECT_TRUE(host.Timer("tmrCheckHomePage").enabled());
  EXPECT_EQ(host.applied.back(), true);

  shield.Tick();  // put back: quiet
  EXPECT_EQ(modals, 1);
}

TEST_F(HomePageShieldTest, NoMakesTheNewPageTheAcceptedOne) {
  host.Option("Homepage", kHome);
  StartPage(kHijack);
  Answer("cmdNO");
  shield.Tick();
  EXPECT_EQ(modals, 1);
  EXPECT_EQ(host.Stored("Homepage"), kHijack);
  EXPECT_EQ(StartPage(), kHijack);
  shield.Tick();
  EXPECT_EQ(modals, 1);
}

TEST_F(HomePageShieldTest, TheReactionOptionsDecideWithoutAsking) {
  host.Option("Homepage", kHome);
  host.Option("optAlwaysnotifybeforerestoring", "False");
  StartPage(kHijack);
  // Neither reaction: never reported, never restored.
  for (int i = 0; i < 4; ++i) shield.Tick();
  EXPECT_EQ(StartPage(), kHijack);
  EXPECT_EQ(host.Stored("Homepage"), kHome);

  host.Option("optRestoredefaultwithoutnotification", "True");
  shield.Tick();
  EXPECT_EQ(StartPage(), kHome);

  // An unreadable page counts as empty, so it differs too; the restore makes the key.
  registry.Clear();
  shield.Tick();
  EXPECT_EQ(StartPage(), kHome);
  EXPECT_TRUE(ui.modal_forms().empty());
}

TEST_F(HomePageShieldTest, OnItRunsTheMemoryShieldEveryThirdTickOffItRunsNothing) {
  StartPage(kHome);
  ui.Advance(30000);  // six ticks
  EXPECT_EQ(host.memoryTicks, 2);
  EXPECT_TRUE(host.Timer("tmrCheckHomePage").enabled());

  host.memoryTicks = 0;
  host.settings.clear();
  host.Option("optIEHomePageSheildOff", "True");
  host.Option("optIEHomePageSheildOn", "False");
  StartPage(kHijack);
  ui.Advance(60000);
  EXPECT_EQ(host.memoryTicks, 0);
  EXPECT_FALSE(host.Timer("tmrCheckHomePage").enabled());
  EXPECT_EQ(host.Stored("Homepage"), "<absent>");
  EXPECT_TRUE(ui.modal_forms().empty());
}

TEST_F(HomePageShieldTest, ATickInsideTheAlertOrAfterTheEndDoesNothing) {
  host.Option("Homepage", kHome);
  StartPage(kHijack);
  ui.onRunModal = [&](ui::Form& form) {
    if (++modals > 1) return;  // a second alert over the first
    // A timer re-armed inside the alert's message loop fires: no second alert, no
    // memory check in the middle of this one.
    host.Timer("tmrCheckHomePage").set_enabled(true);
    for (int i = 0; i < 3; ++i) shield.Tick();
    EXPECT_EQ(host.memoryTicks, 0);
    // The program ends with the alert open: its windows go, the timers stay stopped.
    host.ending = true;
    host.Timer("tmrCheckHomePage").set_enabled(false);
    form.Unload(0);
  };
  shield.Tick();
  EXPECT_EQ(modals, 1);
  EXPECT_EQ(StartPage(), kHijack);
  EXPECT_EQ(host.Stored("Homepage"), kHome);
  EXPECT_FALSE(host.AnyProtectionTimerRunning());
  shield.Tick();
  EXPECT_EQ(modals, 1);
}

TEST(ReadRegistryText, StringsUnchangedAnythingMissingOrTooLongIsEmptyAndFalse) {
  fakes::FakeRegistry registry;
  std::string text = "stale";
  EXPECT_FALSE(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Start Page", text));
  EXPECT_EQ(text, "");
  registry.PutString(Hive::CurrentUser, kMain, "Start Page", "  about:blank  ");
  EXPECT_TRUE(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Start Page", text));
  EXPECT_EQ(text, "  about:blank  ");
  text = "stale";
  EXPECT_FALSE(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Search Page", text));
  EXPECT_EQ(text, "");
  // 1023 characters and the NUL fill the 1024-character buffer; one more does not fit.
  registry.PutString(Hive::CurrentUser, kMain, "Start Page", std::string(1023, 'a'));
  EXPECT_TRUE(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Start Page", text));
  EXPECT_EQ(text.size(), 1023u);
  registry.PutString(Hive::CurrentUser, kMain, "Start Page", std::string(1024, 'a'));
  EXPECT_FALSE(ReadRegistryText(registry, Hive::CurrentUser, kMain, "Start Page", text));
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace kx
