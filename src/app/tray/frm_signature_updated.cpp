#include "app/tray/frm_signature_updated.h"

#include "app/app.h"
#include "app/tray/tray.h"

namespace kx {
namespace {

constexpr int kPx = 15;
constexpr int kRise = 20;  // twips per tick of tmrPopupSignatureUpdate
constexpr int kFall = 40;  // twips per tick of tmrPopDown, until it is below the work area

}  // namespace

FrmSignatureUpdated::FrmSignatureUpdated(ui::Backend& backend, App& app, ui::Form* iconOwner)
    : Form("frmSignatureUpdated", backend), app_(app), iconOwner_(iconOwner) {
  using ui::ControlType;
  // A notice from the tray: no caption, no taskbar button.
  set_border_style(ui::BorderStyle::None);
  set_show_in_taskbar(false);
  Move(0, 0, 300 * kPx, 120 * kPx);
  // The inner size as designed; the window reports its own once it is shown.
  BackendResized(width(), height(), 298 * kPx, 118 * kPx, ui::WindowState::Normal);
  Add(ControlType::Label, "lblUpdateInfo").Move(12 * kPx, 10 * kPx, 270 * kPx, 64 * kPx);
  ui::Control& ok = Add(ControlType::CommandButton, "cmdUpdateSuccesfullOK");
  ok.set_caption("OK");
  ok.Move(110 * kPx, 82 * kPx, 72 * kPx, 24 * kPx);
  ok.onClick = [this] { cmdUpdateSuccesfullOK_Click(); };
  set_default_button(&ok);
  set_cancel_button(&ok);

  auto timer = [this](const char* name, int interval, void (FrmSignatureUpdated::*tick)()) {
    ui::Control& t = Add(ControlType::Timer, name);
    t.set_interval(interval);
    t.set_enabled(false);
    t.onTimer = [this, tick] { (this->*tick)(); };
  };
  timer("tmrPopupSignatureUpdate", 10, &FrmSignatureUpdated::tmrPopupSignatureUpdate_Timer);
  timer("tmrEnablePopDownTimer", 7000, &FrmSignatureUpdated::tmrEnablePopDownTimer_Timer);
  timer("tmrPopDown", 10, &FrmSignatureUpdated::tmrPopDown_Timer);

  onLoad = [this] { Form_Load(); };
}

void FrmSignatureUpdated::Form_Load() {
  Get("tmrEnablePopDownTimer").set_enabled(false);
  Get("tmrPopDown").set_enabled(false);
  Get("lblUpdateInfo")
      .set_caption("All " + app_.info().branding.productName +
                   " signatures have been updated automatically.  You are now protected from new malicious "
                   "applications.");
  const SlideUpPlace place = PlaceSlideUp(*this);
  targetTop_ = place.targetTop;
  fallEnd_ = place.fallEnd;
  Move(place.left, place.startTop, width(), height());
  Show();
  Get("tmrPopupSignatureUpdate").set_enabled(true);
}

void FrmSignatureUpdated::ShowNotice(const std::string& text) {
  Load();
  Get("tmrPopupSignatureUpdate").set_enabled(true);
  Show();
  Get("lblUpdateInfo").set_caption(text);
}

void FrmSignatureUpdated::tmrPopupSignatureUpdate_Timer() {
  if (!visible()) Show();
  if (top() > targetTop_) {
    Move(left(), top() - kRise, width(), height());
  } else {
    Get("tmrPopupSignatureUpdate").set_enabled(false);
    Get("tmrEnablePopDownTimer").set_enabled(true);
  }
}

void FrmSignatureUpdated::tmrEnablePopDownTimer_Timer() {
  // Its interval is how long the notice stays up.
  Get("tmrEnablePopDownTimer").set_enabled(false);
  Get("tmrPopDown").set_enabled(true);
}

void FrmSignatureUpdated::tmrPopDown_Timer() {
  Move(left(), top() + kFall, width(), height());
  if (top() > fallEnd_) {
    Get("tmrPopDown").set_enabled(false);
    cmdUpdateSuccesfullOK_Click();
  }
}

void FrmSignatureUpdated::cmdUpdateSuccesfullOK_Click() {
  app_.settings().WriteSetting("OptionAndSettings", "SHOW", "false");
  Get("tmrPopupSignatureUpdate").set_enabled(false);
  if (iconOwner_) app_.tray().RemoveIcon(*iconOwner_);
  Unload();
}

}  // namespace kx
