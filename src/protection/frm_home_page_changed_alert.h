// The home page shield's alert: the start page has changed; Yes puts the accepted page
// back, No keeps the new one. Shown modally by the shield, which says what each answer does.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/form.h"

namespace kx {

class FrmHomePageChangedAlert : public ui::Form {
 public:
  FrmHomePageChangedAlert(ui::Backend& backend, std::string productName);

  std::function<void()> onYes;
  std::function<void()> onNo;

 private:
  void Form_Load();
  void cmdYes_Click();
  void cmdNO_Click();

  std::string productName_;
};

}  // namespace kx
