#include "app/tray/frm_menu_popup.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/tray/tray.h"

namespace kx {
namespace {

constexpr int kPx = 15;
constexpr int kRise = 80;   // twips per tick of tmrMenuPopup
constexpr int kFall = 100;  // twips per tick of tmrPopDown, until it is below the work area
constexpr int kLingerSeconds = 5;  // TmrEnablePopDown's ticks past this start the fall

}  // namespace

FrmMenuPopUp::FrmMenuPopUp(ui::Backend& backend, App& app) : Form("frmMenuPopUp", backend), app_(app) {
  using ui::ControlType;
  // Part of the tray, not a window of its own: no caption, no taskbar button.
  set_border_style(ui::BorderStyle::None);
  set_show_in_taskbar(false);
  Move(0, 0, 180 * kPx, 120 * kPx);
  // The inner size as designed; the window reports its own once it is shown.
  BackendResized(width(), height(), 178 * kPx, 118 * kPx, ui::WindowState::Normal);
  auto label = [this](const char* name, const char* caption, int top) -> ui::Control& {
    ui::Control& c = Add(ControlType::Label, name);
    c.set_caption(caption);
    c.Move(12 * kPx, top * kPx, 150 * kPx, 20 * kPx);
    c.onMouseMove = [this](int, int, int, int) { Window_MouseMove(); };
    return c;
  };
  label("lblName", "", 6).set_bold(true);
  label("mnuMaxmimaize", "Show Program", 34).onClick = [this] { mnuMaxmimaize_Click(); };
  label("mnuClose", "Exit Program", 58).onClick = [this] { mnuClose_Click(); };
  ui::Control& close = label("lblMenuClose", "Close This Menu", 88);
  close.onClick = [this] { lblMenuClose_Click(); };
  close.onMouseMove = [this](int, int, int, int) { lblMenuClose_MouseMove(); };

  auto timer = [this](const char* name, int interval, void (FrmMenuPopUp::*tick)()) {
    ui::Control& t = Add(ControlType::Timer, name);
    t.set_interval(interval);
    t.set_enabled(false);
    t.onTimer = [this, tick] { (this->*tick)(); };
  };
  timer("tmrMenuPopup", 1, &FrmMenuPopUp::tmrMenuPopup_Timer);
  timer("TmrEnablePopDown", 1000, &FrmMenuPopUp::TmrEnablePopDown_Timer);
  timer("tmrPopDown", 10, &FrmMenuPopUp::tmrPopDown_Timer);

  onLoad = [this] { Form_Load(); };
  onMouseMove = [this](int, int, int, int) { Window_MouseMove(); };
}

void FrmMenuPopUp::Form_Load() {
  const std::string& product = app_.info().branding.productName;
  Get("lblName").set_caption(product);
  Get("tmrPopDown").set_enabled(false);
  Get("TmrEnablePopDown").set_enabled(false);
  lTimDown_ = 0;

  FrmMain& main = app_.main();
  Get("mnuClose").set_enabled(main.Get("lblResult").enabled() || main.Get("lblOptions").enabled());
  Get("mnuMaxmimaize").set_enabled(!main.visible());

  set_caption(product);
  const SlideUpPlace place = PlaceSlideUp(*this);
  targetTop_ = place.targetTop;
  fallEnd_ = place.fallEnd;
  Move(place.left, place.startTop, width(), height());
  Show();
  Get("tmrMenuPopup").set_enabled(true);
}

void FrmMenuPopUp::Window_MouseMove() {
  // The menu stays while the mouse is on it.
  lTimDown_ = 0;
  Get("lblMenuClose").set_bold(false);
}

void FrmMenuPopUp::lblMenuClose_MouseMove() {
  lTimDown_ = 0;
  Get("lblMenuClose").set_bold(true);
}

void FrmMenuPopUp::tmrMenuPopup_Timer() {
  if (!visible()) Show();
  if (top() > targetTop_) {
    Move(left(), top() - kRise, width(), height());
  } else {
    Get("tmrMenuPopup").set_enabled(false);
    Get("TmrEnablePopDown").set_enabled(true);
  }
}

void FrmMenuPopUp::TmrEnablePopDown_Timer() {
  if (++lTimDown_ > kLingerSeconds) {
    lTimDown_ = 0;
    Get("TmrEnablePopDown").set_enabled(false);
    Get("tmrPopDown").set_enabled(true);
  }
}

void FrmMenuPopUp::tmrPopDown_Timer() {
  if (!visible()) Show();
  Move(left(), top() + kFall, width(), height());
  if (top() > fallEnd_) {
    Get("tmrPopDown").set_enabled(false);
    Unload();
  }
}

void FrmMenuPopUp::mnuMaxmimaize_Click() {
  FrmMain& main = app_.main();
  main.set_window_state(ui::WindowState::Normal);
  main.Show();
  Unload();
}

void FrmMenuPopUp::mnuClose_Click() {
  app_.settings().WriteSetting("OptionAndSettings", "RESTART", "False");
  app_.settings().WriteSetting("OptionAndSettings", "STATUS", "STOPPED");
  app_.tray().RemoveIcon(app_.main());
  // No question: the main window's own unload steps take the rest down, this menu among them.
  app_.main().Unload();
  Unload();
}

void FrmMenuPopUp::lblMenuClose_Click() {
  Get("TmrEnablePopDown").set_enabled(false);
  Get("tmrMenuPopup").set_enabled(false);
  Get("tmrPopDown").set_enabled(true);
}

}  // namespace kx
