// The notice that slides up after Live Update, stays seven seconds and falls again. OK (or
// the end of the fall) also takes the Live Update window's tray icon away.
#pragma once

#include <string>

#include "platform/forms/form.h"

namespace kx {

class App;

class FrmSignatureUpdated : public ui::Form {
 public:
  // iconOwner: the window whose tray icon OK removes (the Live Update window); may be null.
  FrmSignatureUpdated(ui::Backend& backend, App& app, ui::Form* iconOwner = nullptr);
  void set_icon_owner(ui::Form* owner) { iconOwner_ = owner; }

  // Live Update's report: loads the notice, starts it rising, shows it without waiting and
  // puts the text in.
  void ShowNotice(const std::string& text);
  // OK: also what the end of the fall does.
  void cmdUpdateSuccesfullOK_Click();

  int targetTop() const { return targetTop_; }
  int fallEnd() const { return fallEnd_; }

 private:
  void Form_Load();
  void tmrPopupSignatureUpdate_Timer();
  void tmrEnablePopDownTimer_Timer();
  void tmrPopDown_Timer();

  App& app_;
  ui::Form* iconOwner_;
  int targetTop_ = 0;
  int fallEnd_ = 0;
};

}  // namespace kx
