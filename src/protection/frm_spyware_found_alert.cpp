#include "protection/frm_spyware_found_alert.h"

#include "protection/alert_window.h"

namespace kx {

using alert_window::kPx;
using alert_window::Place;

FrmSpywareFoundAlert::FrmSpywareFoundAlert(ui::Backend& backend) : Form("frmSpywareFoundAlert", backend) {
  Move(0, 0, 400 * kPx, 250 * kPx);
  Place(Add(ui::ControlType::Label, "lblAlertHeading"), "A known adware or spyware program is running:", 20, 16,
        352, 20)
      .set_bold(true);
  // The shield fills both before it shows the window.
  Place(Add(ui::ControlType::Label, "lblAlertFileName"), "", 36, 48, 336, 20).set_bold(true);
  Place(Add(ui::ControlType::Label, "lblAlertCompanyName"), "", 36, 74, 336, 36);
  Place(Add(ui::ControlType::Label, "lblAlertQuestion"),
        "STOP ends the program now. ALLOW lets it run and no longer warns about it.", 20, 120, 352, 36);
  Place(Add(ui::ControlType::CommandButton, "cmdYes"), "STOP", 96, 170, 92, 30).onClick = [this] {
    cmdYes_Click();
  };
  Place(Add(ui::ControlType::CommandButton, "cmdNO"), "ALLOW", 204, 170, 92, 30).onClick = [this] {
    cmdNO_Click();
  };
  onLoad = [this] { Form_Load(); };
}

void FrmSpywareFoundAlert::Form_Load() {
  // STOP disables itself; a new alert starts with it usable again.
  Get("cmdYes").set_enabled(true);
  alert_window::CentreOnWorkArea(*this);
}

void FrmSpywareFoundAlert::cmdYes_Click() {
  Get("cmdYes").set_enabled(false);
  answered_ = true;
  if (onStop) onStop();
  Unload();
}

void FrmSpywareFoundAlert::cmdNO_Click() {
  answered_ = true;
  if (onAllow) onAllow();
  Unload();
}

}  // namespace kx
