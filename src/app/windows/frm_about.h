// The about box: the program's icon, name, version, company, copyright line and web site, as
// its version resource gives them, and OK. It opens centred on the main window.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class App;

class FrmAbout : public ui::Form {
 public:
  FrmAbout(ui::Backend& backend, App& app);

 private:
  void cmdOK_Click();
};

}  // namespace kx
