// The web page window. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmWebsite : public ui::Form {
 public:
  explicit FrmWebsite(ui::Backend& backend) : Form("frmWebsite", backend) {}
};

}  // namespace kx
