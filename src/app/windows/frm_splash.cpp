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
  lastTickMs_ = app_.platform().clock.TickMs();
  Get("Timer2").set_enabled(true);
}

void FrmSplash::Timer2_Timer() {
  Clock& clock = app_.platform().clock;
  const uint64_t now = clock.TickMs();
  const uint64_t period = now - lastTickMs_;
  lastTickMs_ = now;
  const bool due = counter_ >= 148;
  counter_ += 2;
  FrmMain& main = app_.main();
  if (!mainLoaded_ && counter_ == 4) {
    // The main window loads behind the splash, at its second tick (when the timer's real
    // period is known), rather than after it: the splash keeps its length, and the load
    // stands in for the ticks it took instead of adding to them.
    mainLoaded_ = true;
    ui::Control& timer = Get("Timer2");
    timer.set_enabled(false);  // the load may ask first-start questions in a loop of their own
    main.Load();
    if (app_.ended()) return;
    const uint64_t took = clock.TickMs() - now;
    app_.log().Write("start-up: main window loaded in " + std::to_string(took) + " ms, at " +
                     std::to_string(app_.SinceStartMs()) + " ms; the splash ticks every " + std::to_string(period) +
                     " ms");
    if (period > 0) counter_ += 2 * static_cast<int>(took / period);
    timer.set_enabled(true);
    return;
  }
  if (!due) return;
  Get("Timer2").set_enabled(false);
  main.Load();  // already loaded, unless the splash was made to skip its ticks
  if (app_.ended()) return;
  // A start in the notification area leaves the main window there.
  if (app_.settings().ReadSetting("Settings", "Minimized", "No") != "Yes") main.Show();
  Hide();
  app_.log().Write("start-up: main window shown at " + std::to_string(app_.SinceStartMs()) + " ms");
}

}  // namespace kx
