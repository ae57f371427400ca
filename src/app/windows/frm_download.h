// The Live Update progress window: the status box the download writes to, two pictures and
// a label that blink on a clock of their own, and its own tray icon while it is loaded.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/form.h"

namespace kx {

class FrmDownload : public ui::Form {
 public:
  static constexpr const char* kIconTip = "Getting latest definitions.";

  explicit FrmDownload(ui::Backend& backend);

  // The window's tray icon, given by the program: put up (replacing one already there)
  // with the tip, and taken down.
  std::function<void(ui::Form&, const std::string& tip)> putIcon;
  std::function<void(ui::Form&)> takeIcon;

  void SetStatus(const std::string& text) { Get("txtStatus").set_caption(text); }
  int step() const { return step_; }

 private:
  void Form_Load();
  void tmrBlink_Timer();

  int step_ = 0;
};

}  // namespace kx
