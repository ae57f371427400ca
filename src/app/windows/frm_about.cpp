#include "app/windows/frm_about.h"

#include <string>

#include "app/app.h"

namespace kx {

FrmAbout::FrmAbout(ui::Backend& backend, App& app) : Form("frmAbout", backend) {
  using ui::Control;
  using ui::ControlType;
  using ui::Place;
  constexpr int kPx = ui::kTwipsPerDesignPixel;
  const AppInfo& info = app.info();
  set_border_style(ui::BorderStyle::FixedDialog);
  set_start_up_position(ui::StartUpPosition::CenterOwner);
  set_show_in_taskbar(false);
  set_caption(info.branding.productName);
  Move(0, 0, 400 * kPx, 210 * kPx);

  Place(Add(ControlType::PictureBox, "picIcon"), "", 16, 16, 32, 32).set_app_icon(true);
  Place(Add(ControlType::Label, "lblProductName"), info.branding.productName, 64, 16, 310, 18).set_bold(true);
  Place(Add(ControlType::Label, "lblVersion"),
        "Version " + std::to_string(info.major) + "." + std::to_string(info.minor), 64, 38, 310, 18);
  Place(Add(ControlType::Label, "lblCompany"), info.branding.companyName, 64, 66, 310, 18);
  Place(Add(ControlType::Label, "lblCopyright"), info.branding.copyright, 64, 86, 310, 18);
  Place(Add(ControlType::Label, "lblWebsite"), info.branding.website, 64, 106, 310, 18);
  Control& ok = Place(Add(ControlType::CommandButton, "cmdOK"), "OK", 294, 140, 80, 26);
  ok.onClick = [this] { cmdOK_Click(); };
  // OK is all it has: Enter and Escape both close it.
  set_default_button(&ok);
  set_cancel_button(&ok);
}

void FrmAbout::cmdOK_Click() { Unload(); }

}  // namespace kx
