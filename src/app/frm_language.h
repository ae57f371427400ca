// The language selection window. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmLanguage : public ui::Form {
 public:
  explicit FrmLanguage(ui::Backend& backend) : Form("frmLanguage", backend) {}
};

}  // namespace kx
