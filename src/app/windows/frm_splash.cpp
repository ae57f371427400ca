#include "app/windows/frm_splash.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"

namespace kx {
namespace {
constexpr int kPx = 15;  // twips per pixel at 96 DPI
}

FrmSplash::FrmSplash(ui::Backend& backend, App& app) : Form("frmSplash", backend), app_(app) {
  const auto& b = app.info().branding;
  // A bare window in the middle of the screen, with no taskbar button while it lasts.
  set_border_style(ui::BorderStyle::None);
  set_show_in_taskbar(false);
  set_start_up_position(ui::StartUpPosition::CenterScreen);
  Move(0, 0, 420 * kPx, 200 * kPx);
  auto& product = Add(ui::ControlType::Label, "lblProductName");
  product.set_caption(b.productName);
  product.set_bold(true);
  product.Move(24 * kPx, 24 * kPx, 360 * kPx, 28 * kPx);
  auto& version = Add(ui::ControlType::Label, "lblVersion");
  version.set_caption("Version " + std::to_string(app.info().major) + "." + std::to_string(app.info().minor));
  version.Move(24 * kPx, 60 * kPx, 360 * kPx, 18 * kPx);
  auto& company = Add(ui::ControlType::Label, "lblCompany");
  company.set_caption(b.companyName);
  company.Move(24 * kPx, 84 * kPx, 360 * kPx, 18 * kPx);
  auto& loading = Add(ui::ControlType::Label, "lblLoading");
  loading.set_caption("Loading...");
  loading.Move(24 * kPx, 130 * kPx, 360 * kPx, 18 * kPx);

  auto& timer = Add(ui::ControlType::Timer, "Timer2");
  timer.set_interval(2);
  timer.set_enabled(false);
  timer.onTimer = [this] { Timer2_Timer(); };
  onLoad = [this] { Form_Load(); };
}

void FrmSplash::Form_Load() {
  // Branding came with AppInfo; no skin is applied.
  set_caption(app_.info().branding.productName);
  counter_ = 0;
  Get("Timer2").set_enabled(true);
}

void FrmSplash::Timer2_Timer() {
  const bool due = counter_ >= 148;
  counter_ += 2;
  if (!due) return;
  Get("Timer2").set_enabled(false);
  FrmMain& main = app_.main();
  main.Load();
  if (app_.ended()) return;
  // A start in the notification area leaves the main window there.
  if (app_.settings().ReadSetting("Settings", "Minimized", "No") != "Yes") main.Show();
  Hide();
}

}  // namespace kx
