// An invisible window that start-up does not use; unloaded with the others at exit.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmHidden : public ui::Form {
 public:
  explicit FrmHidden(ui::Backend& backend) : Form("frmHidden", backend) {}
};

}  // namespace kx
