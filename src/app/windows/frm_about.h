// The about box. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmAbout : public ui::Form {
 public:
  explicit FrmAbout(ui::Backend& backend) : Form("frmAbout", backend) {}
};

}  // namespace kx
