// The splash window: the program's entry. Its timer loads the main window behind it and
// shows it when the splash has had its time.
#pragma once

#include <cstdint>

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
  uint64_t lastTickMs_ = 0;
  bool mainLoaded_ = false;
};

}  // namespace kx
