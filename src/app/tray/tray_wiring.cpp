#include "app/tray/tray_wiring.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/tray/frm_menu_popup.h"
#include "app/tray/tray.h"

namespace kx {
namespace {

// The icon's mouse messages as the platform numbers them.
constexpr int kLeftDown = 513, kLeftDoubleClick = 515, kRightDown = 516, kRightDoubleClick = 518;

}  // namespace

void TrayWiring::SendToTray() {
  FrmMain& main = app_.main();
  main.set_window_state(ui::WindowState::Minimized);
  main.Hide();
  app_.menuPopUp().Get("mnuMaxmimaize").set_enabled(true);
  app_.tray().ShowIcon(main);
  app_.tray().ChangeToolTip(main, app_.info().branding.productName);
  app_.settings().WriteSetting("Settings", "Minimized", "Yes");
}

void TrayWiring::RemoveTrayIcon() { app_.tray().RemoveIcon(app_.main()); }

void TrayWiring::TrayIconMessage(int message) {
  switch (message) {
    case kLeftDown:
    case kRightDown: app_.menuPopUp().Show(); break;
    case kLeftDoubleClick:
    case kRightDoubleClick: {
      FrmMain& main = app_.main();
      main.set_window_state(ui::WindowState::Normal);
      main.Show();
      // Gone rather than hidden: its timers would show it again at their next tick.
      app_.menuPopUp().Unload();
      break;
    }
    default: break;
  }
}

}  // namespace kx
