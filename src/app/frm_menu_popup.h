// The menu that slides up from the tray icon. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmMenuPopUp : public ui::Form {
 public:
  explicit FrmMenuPopUp(ui::Backend& backend) : Form("frmMenuPopUp", backend) {}
};

}  // namespace kx
