// "Delete Failed": the files a removal run could not delete, with a way to copy the list.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "platform/services.h"
#include "removal/removal_plan.h"

namespace kx {

class FrmDelete : public ui::Form {
 public:
  FrmDelete(ui::Backend& backend, Shell& shell);

  void ClearProblems();
  // Lists the rows that were not removed and shows the window without blocking the run, in
  // front; nothing when every row went.
  void ShowFailures(const std::vector<RowOutcome>& outcomes);

 private:
  void AddProblem(const std::string& path);
  void Command1_Click();  // Ok
  void Command2_Click();  // Copy List

  Shell& shell_;
};

}  // namespace kx
