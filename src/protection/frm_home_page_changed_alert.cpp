#include "protection/frm_home_page_changed_alert.h"

#include "protection/alert_window.h"

namespace kx {

using alert_window::kPx;
using alert_window::Place;

FrmHomePageChangedAlert::FrmHomePageChangedAlert(ui::Backend& backend, std::string productName)
    : Form("frmHomePageChangedAlert", backend), productName_(std::move(productName)) {
  Move(0, 0, 420 * kPx, 290 * kPx);
  // Filled when the window loads: the product name may differ from the built-in one.
  Place(Add(ui::ControlType::Label, "lblFrmHomePageProductName"), "", 20, 16, 372, 24).set_bold(true);
  // The shield writes the message before it shows the window.
  Place(Add(ui::ControlType::Label, "lblHomePageInfo"), "", 20, 50, 372, 150);
  Place(Add(ui::ControlType::CommandButton, "cmdYes"), "Yes", 110, 212, 88, 28).onClick = [this] {
    cmdYes_Click();
  };
  Place(Add(ui::ControlType::CommandButton, "cmdNO"), "No", 214, 212, 88, 28).onClick = [this] {
    cmdNO_Click();
  };
  // Escape leaves the home page as it is now; restoring it takes a choice.
  set_cancel_button(Find("cmdNO"));
  onLoad = [this] { Form_Load(); };
}

void FrmHomePageChangedAlert::Form_Load() {
  Get("lblFrmHomePageProductName").set_caption(productName_);
  alert_window::CentreOnWorkArea(*this);
}

void FrmHomePageChangedAlert::cmdYes_Click() {
  if (onYes) onYes();
  Unload();
}

void FrmHomePageChangedAlert::cmdNO_Click() {
  if (onNo) onNo();
  Unload();
}

}  // namespace kx
