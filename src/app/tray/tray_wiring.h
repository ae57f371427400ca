// Joins the tray to the main window: "Send to Tray" hides the window behind an icon, the
// icon's mouse messages open the menu or bring the window back, and every way out takes the
// icon away.
#pragma once

#include "app/subsystems.h"

namespace kx {

class App;

class TrayWiring final : public TrayFeature {
 public:
  explicit TrayWiring(App& app) : app_(app) {}

  void SendToTray() override;        // Command5, File > Minimize to Tray, Minimized = "Yes"
  void RemoveTrayIcon() override;    // the main window's query unload
  void TrayIconMessage(int message) override;  // WM_LBUTTONDOWN (513) and the rest

 private:
  App& app_;
};

}  // namespace kx
