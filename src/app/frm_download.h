// The Live Update progress window. Its contents come with the part of the program that uses it.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class FrmDownload : public ui::Form {
 public:
  explicit FrmDownload(ui::Backend& backend) : Form("frmDownload", backend) {}
};

}  // namespace kx
