#include "app/windows/frm_download.h"

namespace kx {
namespace {
constexpr int kPx = 15;  // twips per pixel at 96 DPI

using ui::Place;
}  // namespace

FrmDownload::FrmDownload(ui::Backend& backend) : Form("frmDownload", backend) {
  using ui::ControlType;
  Move(0, 0, 400 * kPx, 150 * kPx);
  Place(Add(ControlType::PictureBox, "picUp"), "", 12, 12, 32, 32).set_color(0x2E8B57);
  Place(Add(ControlType::PictureBox, "picDown"), "", 12, 12, 32, 32).set_color(0x4169E1);
  Place(Add(ControlType::Label, "lblProduct"), "", 56, 18, 320, 20);
  Place(Add(ControlType::TextBox, "txtStatus"), "", 12, 56, 366, 22).set_locked(true);
  Place(Add(ControlType::CommandButton, "Command1"), "Cancel", 290, 88, 88, 26).onClick = [this] { Unload(); };
  set_cancel_button(Find("Command1"));
  ui::Control& blink = Add(ControlType::Timer, "tmrBlink");
  blink.set_interval(800);
  blink.set_enabled(false);
  blink.onTimer = [this] { tmrBlink_Timer(); };
  onLoad = [this] { Form_Load(); };
  onUnload = [this](int&) {
    Get("tmrBlink").set_enabled(false);
    if (takeIcon) takeIcon(*this);
  };
}

void FrmDownload::Form_Load() {
  int left = 0, top = 0, width = 0, height = 0;
  backend().WorkArea(left, top, width, height);
  Move(left + (width - this->width()) / 2, top + (height - this->height()) / 2, this->width(), this->height());
  step_ = 0;
  Get("tmrBlink").set_enabled(true);
  Get("picDown").set_visible(false);
  Get("picUp").set_visible(true);
  Get("lblProduct").set_caption("Connecting to server/downloading.....");
  if (putIcon) putIcon(*this, kIconTip);
}

void FrmDownload::tmrBlink_Timer() {
  ui::Control& up = Get("picUp");
  ui::Control& down = Get("picDown");
  ui::Control& label = Get("lblProduct");
  if (down.visible()) {
    down.set_visible(false);
    up.set_visible(true);
    label.set_caption("Connecting to server.....");
  } else {
    label.set_caption("Checking for Definitions.....");
    down.set_visible(true);
    up.set_visible(false);
  }
  if (step_ > 14) step_ = 0;
  switch (step_) {
    case 0: label.set_caption("Connecting to the Server."); break;
    case 6: label.set_caption("Successfully sent the request."); break;
    case 8: label.set_caption("Receiving a response from the Server."); break;
    case 1: case 7: case 9: break;  // the alternation's own text stays
    default: label.set_caption("Sending and receiving data, please wait."); break;
  }
  ++step_;
}

}  // namespace kx
