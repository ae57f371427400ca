// The small menu that slides up from the taskbar when the tray icon is clicked: show the
// program, end it, or close the menu. It rises, lingers while the mouse is on it, falls and
// unloads.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class App;

class FrmMenuPopUp : public ui::Form {
 public:
  FrmMenuPopUp(ui::Backend& backend, App& app);

  int targetTop() const { return targetTop_; }
  int fallEnd() const { return fallEnd_; }
  int lTimDown() const { return lTimDown_; }

 private:
  void Form_Load();
  void Window_MouseMove();
  void tmrMenuPopup_Timer();
  void TmrEnablePopDown_Timer();
  void tmrPopDown_Timer();
  void mnuMaxmimaize_Click();
  void mnuClose_Click();
  void lblMenuClose_Click();
  void lblMenuClose_MouseMove();

  App& app_;
  int lTimDown_ = 0;  // seconds lingered since it rose or the mouse last moved over it
  int targetTop_ = 0;
  int fallEnd_ = 0;
};

}  // namespace kx
