// The memory shield's alert. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmSpywareFoundAlert : public ui::Form {
 public:
  explicit FrmSpywareFoundAlert(ui::Backend& backend) : Form("frmSpywareFoundAlert", backend) {}
};

}  // namespace kx
