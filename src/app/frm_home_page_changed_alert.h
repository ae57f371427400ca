// The home page shield's alert. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmHomePageChangedAlert : public ui::Form {
 public:
  explicit FrmHomePageChangedAlert(ui::Backend& backend) : Form("frmHomePageChangedAlert", backend) {}
};

}  // namespace kx
