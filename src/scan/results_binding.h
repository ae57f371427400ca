// Shows a scan's results in the main window's list views: every change of the results is
// made in the lists, and a tick the user sets in a list is read back into the results.
#pragma once

#include <functional>

#include "platform/forms/form.h"
#include "scan/scan_results.h"
#include "scan/threat_list.h"

namespace kx {

class ResultsBinding final : public ResultsObserver {
 public:
  ResultsBinding(ScanResults& results, const ThreatListControls& lists);
  ~ResultsBinding() override;
  ResultsBinding(const ResultsBinding&) = delete;
  ResultsBinding& operator=(const ResultsBinding&) = delete;

  // The user ticked or unticked a threat row (already in the results).
  std::function<void(size_t row)> onThreatTicked;

  void RowAdded(ResultList list, size_t row) override;
  void RowRemoved(ResultList list, size_t row) override;
  void Cleared(ResultList list) override;
  void TickChanged(ResultList list, size_t row) override;

 private:
  ui::Control* ListOf(ResultList list) const;
  ui::ListItem ItemOf(ResultList list, size_t row) const;
  void UserTicked(ResultList list, size_t row);

  ScanResults& results_;
  ThreatListControls lists_;
  bool syncing_ = false;  // the binding itself is setting a tick
};

}  // namespace kx
