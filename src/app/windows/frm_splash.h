// The splash window: the program's entry. Its timer loads and shows the main window.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class App;

class FrmSplash : public ui::Form {
 public:
  FrmSplash(ui::Backend& backend, App& app);

  int counter() const { return counter_; }

 private:
  void Form_Load();
  void Timer2_Timer();

  App& app_;
  int counter_ = 0;
};

}  // namespace kx
