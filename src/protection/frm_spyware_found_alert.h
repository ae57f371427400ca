// The memory shield's alert: a known threat is running. STOP ends the process, ALLOW
// excludes its file name for good. Shown without blocking; the shield waits for the answer.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/form.h"

namespace kx {

class FrmSpywareFoundAlert : public ui::Form {
 public:
  explicit FrmSpywareFoundAlert(ui::Backend& backend);

  // Run by the buttons before the window closes.
  std::function<void()> onStop;
  std::function<void()> onAllow;

  // The answer flag: cleared before the alert is shown, set by STOP and ALLOW.
  bool answered() const { return answered_; }
  void ClearAnswer() { answered_ = false; }

 private:
  void Form_Load();
  void cmdYes_Click();
  void cmdNO_Click();

  bool answered_ = false;
};

}  // namespace kx
