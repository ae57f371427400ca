// The scan report window. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmReport : public ui::Form {
 public:
  explicit FrmReport(ui::Backend& backend) : Form("frmReport", backend) {}
};

}  // namespace kx
