// The "Delete Failed" window of the removal run. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmDelete : public ui::Form {
 public:
  explicit FrmDelete(ui::Backend& backend) : Form("frmDelete", backend) {}
};

}  // namespace kx
