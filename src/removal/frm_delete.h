// "Delete Failed": the files a removal run could not delete, with a way to copy the list.
#pragma once

#include <string>

#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

class FrmDelete : public ui::Form {
 public:
  FrmDelete(ui::Backend& backend, Shell& shell);

  void ClearProblems();
  void AddProblem(const std::string& path);
  // Shown without blocking the run, in front.
  void ShowFailures();

 private:
  void Command1_Click();  // Ok
  void Command2_Click();  // Copy List

  Shell& shell_;
};

}  // namespace kx
