// "Restore": what each removal run took, newest run first, for the user to bring back or
// to discard for good. Each row shows what became of it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "removal/restore.h"

namespace kx {

class FrmRestore : public ui::Form {
 public:
  FrmRestore(ui::Backend& backend, std::function<std::string(const std::string&)> message, std::string productName);

  // Lists the quarantine through the engine and shows the window.
  void Open(RestoreServices services);
  // Lists it again (after a Delete, or when opened).
  void Reload();

  const std::vector<RestoreRun>& runs() const { return runs_; }

  void cmdRestore_Click();
  void cmdDelete_Click();
  void cmdClose_Click();

 private:
  std::string Msg(const std::string& key) const { return message_ ? message_(key) : key; }
  std::vector<const RestoreItem*> Ticked(std::vector<size_t>& rows) const;
  std::string Shown(const ItemOutcome& outcome) const;

  std::function<std::string(const std::string&)> message_;
  std::string productName_;
  std::unique_ptr<Restore> engine_;
  std::vector<RestoreRun> runs_;
  std::vector<const RestoreItem*> rowItems_;  // per list row
};

}  // namespace kx
