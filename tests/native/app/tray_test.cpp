// The tray icon, its menu and the update notice on the headless backend: where the windows
// stand and how they move, what the icon's mouse messages do, and that no way out leaves an
// icon behind.
#include <cmath>
#include <functional>
#include <string>

#include "app/tray/frm_menu_popup.h"
#include "app/tray/frm_signature_updated.h"
#include "app/tray/tray.h"
#include "native/app/app_fixture.h"

namespace kx::testing_app {
namespace {

// A 1920x1080 screen with a 40-pixel taskbar along the bottom.
constexpr int kScreenW = 1920, kWorkBottom = 1040;

// What Windows draws a twips figure as at this scale: MulDiv's rounding.
int Pixels(int twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

class TrayTest : public AppTest {
 protected:
  TrayTest() {
    SeenBefore();
    ui.set_work_area_pixels(0, 0, kScreenW, kWorkBottom);
  }
  // The whole program with its own tray; the other features recorded.
  App& StartWithTray() {
    Subsystems s = sub.bundle();
    s.tray = nullptr;
    app.reset();  // one program at a time: it holds the single-instance lock
    app = std::make_unique<App>(platform, ui, AppInfo{}, s);
    app->Start();
    ui.Advance(400);
    return *app;
  }
  // The icon's mouse message, as the shell reports it to the main window.
  void IconMessage(int message) { main().NotifyIconMessage(message); }
  std::optional<NotifyIcon> MainIcon() { return fake.notifyArea.Find(main().native); }
  ui::Form& menu() { return app->menuPopUp(); }
  ui::Control& M(const std::string& name) { return menu().Get(name); }
};

TEST_F(TrayTest, SendToTrayHidesTheWindowBehindAnIconThatADoubleClickBringsBack) {
  StartWithTray();
  ASSERT_TRUE(main().visible());
  EXPECT_FALSE(app->tray().bRunningInTray());
  C("Command5").Click();

  EXPECT_FALSE(main().visible());
  EXPECT_EQ(main().window_state(), ui::WindowState::Minimized);
  EXPECT_TRUE(app->tray().bRunningInTray());
  EXPECT_EQ(User("Settings", "Minimized"), "Yes");
  auto icon = MainIcon();
  ASSERT_TRUE(icon) << "no icon for the main window";
  EXPECT_EQ(icon->id, 1u);
  EXPECT_EQ(icon->flags, 7u);
  EXPECT_EQ(icon->callbackMessage, 512u);
  EXPECT_EQ(icon->tip, "Kestrix");
  EXPECT_EQ(fake.notifyArea.count(), 1u);

  // Moves, button-up and the middle button mean nothing.
  for (int message : {512, 514, 517, 519, 520}) IconMessage(message);
  EXPECT_FALSE(menu().loaded());
  EXPECT_FALSE(main().visible());

  // A click opens the menu with "Show Program" on; a double-click restores the window and
  // takes the menu away for good, though its rise had only begun.
  IconMessage(513);
  ASSERT_TRUE(menu().visible());
  EXPECT_TRUE(M("mnuMaxmimaize").enabled());
  IconMessage(515);
  EXPECT_TRUE(main().visible());
  EXPECT_EQ(main().window_state(), ui::WindowState::Normal);
  ui.Advance(100);
  EXPECT_FALSE(menu().visible());
  // The icon stays while the window is shown; the right button does the same.
  EXPECT_TRUE(MainIcon());
  C("mnuFileItem", 6).Click();
  EXPECT_FALSE(main().visible());
  IconMessage(516);
  EXPECT_TRUE(menu().visible());
  IconMessage(518);
  EXPECT_TRUE(main().visible());
  ui.Advance(100);
  EXPECT_FALSE(menu().visible());
  EXPECT_EQ(fake.notifyArea.count(), 1u);
}

TEST_F(TrayTest, TheMenuLingersWhileTheMouseMovesOverItAndCloseThisMenuDropsIt) {
  StartWithTray();
  IconMessage(513);
  ASSERT_TRUE(menu().visible());
  EXPECT_EQ(menu().caption(), "Kestrix");
  EXPECT_EQ(M("lblName").caption(), "Kestrix");
  for (int ms = 0; ms < 1000 && M("tmrMenuPopup").enabled(); ++ms) ui.Advance(1);
  ASSERT_TRUE(M("TmrEnablePopDown").enabled()) << "the menu never finished rising";
  const int risen = menu().top();

  // Five seconds up, then the mouse passes over an item: six seconds more from there.
  ui.Advance(5000);
  EXPECT_EQ(menu().top(), risen);
  M("mnuClose").MouseMove();
  ui.Advance(5999);
  EXPECT_FALSE(M("tmrPopDown").enabled()) << "fell while the mouse had just been on it";
  EXPECT_EQ(menu().top(), risen);
  ui.Advance(1);
  ASSERT_TRUE(M("tmrPopDown").enabled());
  EXPECT_FALSE(M("TmrEnablePopDown").enabled());
  ui.Advance(5000);
  EXPECT_FALSE(menu().loaded());

  // "Close This Menu" turns bold under the mouse and starts the fall at once.
  IconMessage(513);
  M("lblMenuClose").MouseMove();
  EXPECT_TRUE(M("lblMenuClose").bold());
  menu().MouseMove();
  EXPECT_FALSE(M("lblMenuClose").bold());
  M("lblMenuClose").Click();
  EXPECT_TRUE(M("tmrPopDown").enabled());
  EXPECT_FALSE(M("tmrMenuPopup").enabled());
  ui.Advance(5000);
  EXPECT_FALSE(menu().loaded());
}

// At every scale Windows offers: the icon's messages do what they say, and both slide-up
// windows rise from the work area's bottom at its right edge until they stand 100 twips above
// the taskbar, wholly inside, then fall until they are out of it and go.
TEST_F(TrayTest, AtEveryScaleTheIconAnswersAndTheSlideUpsRiseInsideTheWorkAreaAndFallOutOfIt) {
  for (int dpi : {96, 120, 144, 168, 192}) {
    SCOPED_TRACE("dpi " + std::to_string(dpi));
    ui.set_dpi(dpi);
    StartWithTray();
    C("Command5").Click();
    ASSERT_FALSE(main().visible());
    IconMessage(513);
    EXPECT_TRUE(menu().visible()) << "a left click did not open the menu";
    IconMessage(515);
    EXPECT_TRUE(main().visible()) << "a double-click did not bring the window back";
    ui.Advance(100);

    const double bottom = kWorkBottom * 1440.0 / dpi;  // the work area's bottom in twips
    auto slide = [&](ui::Form& f, const char* riser, int rise, const std::function<void()>& drop) {
      SCOPED_TRACE(f.name());
      const int width = Pixels(f.width(), dpi), height = Pixels(f.height(), dpi);
      EXPECT_EQ(Pixels(f.left(), dpi) + width, kScreenW) << "not against the work area's right edge";
      EXPECT_EQ(Pixels(f.top(), dpi), kWorkBottom) << "does not rise from the work area's bottom";
      for (int ms = 0; ms < 10000 && f.Get(riser).enabled(); ++ms) ui.Advance(1);
      ASSERT_FALSE(f.Get(riser).enabled()) << "never stopped rising";
      const int top = Pixels(f.top(), dpi);
      EXPECT_TRUE(top >= 0 && top + height <= kWorkBottom)
          << "risen to " << top << ".." << top + height << " px, outside the work area";
      const double gap = bottom - (f.top() + f.height());
      EXPECT_TRUE(gap >= 99.5 && gap < 100 + rise) << "risen to " << gap << " twips above the taskbar";

      drop();
      int last = f.top();
      for (int ms = 0; ms < 10000 && f.loaded(); ++ms) {
        last = f.top();
        ui.Advance(1);
      }
      ASSERT_FALSE(f.loaded()) << "never went";
      EXPECT_LE(last, bottom + 0.5) << "fell on below the work area";
      EXPECT_GE(Pixels(f.top(), dpi), kWorkBottom) << "went while still in the work area";
    };
    IconMessage(516);
    ASSERT_TRUE(menu().visible());
    slide(menu(), "tmrMenuPopup", 80, [&] { M("lblMenuClose").Click(); });
    FrmSignatureUpdated& notice = app->signatureUpdated();
    notice.Load();
    slide(notice, "tmrPopupSignatureUpdate", 20, [&] {
      ui.Advance(7000);
      EXPECT_TRUE(notice.Get("tmrPopDown").enabled());
    });
  }
}

TEST_F(TrayTest, TheMenuItemsFollowTheMainWindow) {
  StartWithTray();
  // The window shown: nothing to show.
  IconMessage(513);
  EXPECT_FALSE(M("mnuMaxmimaize").enabled());
  M("lblMenuClose").Click();
  ui.Advance(3000);

  // "Exit Program" needs one of the side bar's Result and Options labels usable.
  C("lblResult").set_enabled(false);
  C("lblOptions").set_enabled(false);
  C("Command5").Click();
  IconMessage(513);
  EXPECT_TRUE(M("mnuMaxmimaize").enabled());
  EXPECT_FALSE(M("mnuClose").enabled());
  M("lblMenuClose").Click();
  ui.Advance(3000);
  C("lblOptions").set_enabled(true);
  IconMessage(513);
  EXPECT_TRUE(M("mnuClose").enabled());

  // "Show Program" brings the window back and closes the menu.
  M("mnuMaxmimaize").Click();
  EXPECT_TRUE(main().visible());
  EXPECT_EQ(main().window_state(), ui::WindowState::Normal);
  EXPECT_FALSE(menu().loaded());
}

TEST_F(TrayTest, EveryWayOutTakesTheIconAway) {
  // "Exit Program": no question, the companions told, the main window and the menu gone.
  StartWithTray();
  C("Command5").Click();
  IconMessage(513);
  M("mnuClose").Click();
  EXPECT_EQ(User("OptionAndSettings", "RESTART"), "False");
  EXPECT_EQ(User("OptionAndSettings", "STATUS"), "STOPPED");
  EXPECT_EQ(fake.notifyArea.count(), 0u);
  EXPECT_FALSE(main().loaded());
  EXPECT_FALSE(menu().loaded());
  EXPECT_TRUE(app->ended());
  EXPECT_TRUE(ui.msgboxes().empty());

  // The window closed while in the tray.
  StartWithTray();
  C("Command5").Click();
  ASSERT_EQ(fake.notifyArea.count(), 1u);
  main().BackendClosed();
  EXPECT_EQ(fake.notifyArea.count(), 0u);
  EXPECT_FALSE(app->tray().bRunningInTray());

  // The session ends; then a program that simply goes.
  StartWithTray();
  C("Command5").Click();
  ui.EndSession();
  EXPECT_EQ(fake.notifyArea.count(), 0u);
  C("mnuFileItem", 6).Click();
  ASSERT_EQ(fake.notifyArea.count(), 1u);
  app.reset();
  EXPECT_EQ(fake.notifyArea.count(), 0u);
}

TEST_F(TrayTest, TheIconRecordKeepsItsRules) {
  StartWithTray();
  Tray& tray = app->tray();
  // No icon yet: a new tip changes nothing.
  tray.ChangeToolTip(main(), "too early");
  EXPECT_EQ(fake.notifyArea.modifies, 0);
  EXPECT_EQ(fake.notifyArea.count(), 0u);

  // The tip is the owner's caption, cut to 63 characters.
  const std::string longCaption(64, 'a');
  main().set_caption(longCaption + "bcd");
  tray.ShowIcon(main());
  ASSERT_TRUE(MainIcon());
  EXPECT_EQ(MainIcon()->tip, longCaption.substr(0, 63));
  tray.ChangeToolTip(main(), std::string(63, 'x') + "yz");
  EXPECT_EQ(MainIcon()->tip, std::string(63, 'x'));

  // A second window's icon is its own; removing it ends "running in the tray" all the same.
  ui::Form& download = app->download();
  download.set_caption("Getting latest definitions.");
  tray.ShowIcon(download);
  EXPECT_EQ(fake.notifyArea.count(), 2u);
  EXPECT_EQ(fake.notifyArea.Find(download.native)->tip, "Getting latest definitions.");
  tray.RemoveIcon(download);
  EXPECT_FALSE(tray.bRunningInTray());
  EXPECT_TRUE(MainIcon());

  // Explorer restarts: what is still shown comes back.
  fake.notifyArea.RestartShell();
  ui.TaskbarCreated();
  EXPECT_TRUE(MainIcon());
  EXPECT_FALSE(fake.notifyArea.Find(download.native));
}

TEST_F(TrayTest, TheNoticeStaysSevenSecondsAndTakesTheLiveUpdateIconWithIt) {
  StartWithTray();
  ui::Form& download = app->download();
  app->tray().ShowIcon(download);
  FrmSignatureUpdated& notice = app->signatureUpdated();
  notice.ShowNotice("You are using the most recent Kestrix definitions.");
  ASSERT_TRUE(notice.visible());
  EXPECT_EQ(notice.Get("lblUpdateInfo").caption(), "You are using the most recent Kestrix definitions.");
  for (int ms = 0; ms < 10000 && notice.Get("tmrPopupSignatureUpdate").enabled(); ++ms) ui.Advance(1);
  ASSERT_TRUE(notice.Get("tmrEnablePopDownTimer").enabled()) << "the notice never finished rising";
  const int risen = notice.top();
  ui.Advance(6999);
  EXPECT_EQ(notice.top(), risen) << "fell before seven seconds";
  ui.Advance(1);
  EXPECT_TRUE(notice.Get("tmrPopDown").enabled());

  // The end of the fall acts as OK.
  ui.Advance(5000);
  EXPECT_FALSE(notice.loaded());
  EXPECT_EQ(User("OptionAndSettings", "SHOW"), "false");
  EXPECT_FALSE(fake.notifyArea.Find(download.native)) << "the Live Update icon outlived the notice";

  // Loaded by itself it tells of an automatic update; OK ends it at once.
  notice.Load();
  EXPECT_TRUE(notice.visible());
  EXPECT_EQ(notice.Get("lblUpdateInfo").caption(),
            "All Kestrix signatures have been updated automatically.  You are now protected from new malicious "
            "applications.");
  notice.Get("cmdUpdateSuccesfullOK").Click();
  EXPECT_FALSE(notice.loaded());
}

}  // namespace
}  // namespace kx::testing_app
