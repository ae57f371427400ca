// The help window: opening it opens Help.chm beside the program.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class App;

class FrmHelp : public ui::Form {
 public:
  FrmHelp(ui::Backend& backend, App& app);

 private:
  void Form_Load();
  App& app_;
};

}  // namespace kx
