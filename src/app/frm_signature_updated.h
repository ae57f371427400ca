// The notice after an automatic Live Update. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmSignatureUpdated : public ui::Form {
 public:
  explicit FrmSignatureUpdated(ui::Backend& backend) : Form("frmSignatureUpdated", backend) {}
};

}  // namespace kx
