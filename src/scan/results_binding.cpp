#include "scan/results_binding.h"

#include <string>

namespace kx {

namespace {
constexpr ResultList kTickable[] = {ResultList::Threats, ResultList::Files, ResultList::Registry,
                                    ResultList::Cookies};
}

ResultsBinding::ResultsBinding(ScanResults& results, const ThreatListControls& lists)
    : results_(results), lists_(lists) {
  results_.SetObserver(this);
  for (ResultList list : kTickable)
    if (ui::Control* c = ListOf(list)) c->onItemCheck = [this, list](size_t row) { UserTicked(list, row); };
}

// The lists' handlers stay: the main window may already be gone.
ResultsBinding::~ResultsBinding() { results_.SetObserver(nullptr); }

ui::Control* ResultsBinding::ListOf(ResultList list) const {
  switch (list) {
    case ResultList::Live: return lists_.lvwSpywareFound;
    case ResultList::Threats: return lists_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
    case ResultList::Files: return lists_.lvwFilesToBeDeleted;
    case ResultList::Registry: return lists_.lvwRegistryToBeDeleted;
    case ResultList::Cookies: return lists_.lvwCookiesToDelete;
  }
  return nullptr;
}

ui::ListItem ResultsBinding::ItemOf(ResultList list, size_t i) const {
  ui::ListItem item;
  switch (list) {
    case ResultList::Live: {
      const LiveRow& r = results_.live()[i];
      item.text = r.text;
      item.smallIcon = r.image;
      break;
    }
    case ResultList::Threats: {
      const ThreatEntry& r = results_.threats()[i];
      item.text = r.name;
      item.smallIcon = r.kind;
      item.SetSubItem(1, r.location);
      if (!r.type.empty()) item.SetSubItem(2, r.type);
      break;
    }
    case ResultList::Files: {
      const FileRow& r = results_.files()[i];
      item.text = r.path;
      item.SetSubItem(1, r.threat);
      break;
    }
    case ResultList::Registry: {
      const RegistryRow& r = results_.registry()[i];
      item.text = std::to_string(r.hive);
      item.SetSubItem(1, r.key);
      item.SetSubItem(2, r.value);
      item.SetSubItem(3, r.threat);
      break;
    }
    case ResultList::Cookies:
      item.text = results_.cookies()[i].path;
      break;
  }
  item.checked = results_.Ticked(list, i);
  return item;
}

void ResultsBinding::RowAdded(ResultList list, size_t row) {
  if (ui::Control* c = ListOf(list)) c->AddItem(ItemOf(list, row));
}

void ResultsBinding::RowRemoved(ResultList list, size_t row) {
  if (ui::Control* c = ListOf(list)) c->RemoveItem(row);
}

void ResultsBinding::Cleared(ResultList list) {
  if (ui::Control* c = ListOf(list)) c->ClearItems();
}

void ResultsBinding::TickChanged(ResultList list, size_t row) {
  ui::Control* c = ListOf(list);
  if (!c || row >= c->item_count()) return;
  syncing_ = true;
  c->SetItemChecked(row, results_.Ticked(list, row));
  syncing_ = false;
}

void ResultsBinding::UserTicked(ResultList list, size_t row) {
  ui::Control* c = ListOf(list);
  if (syncing_ || !c || row >= c->item_count()) return;
  syncing_ = true;
  results_.SetTicked(list, row, c->items()[row].checked);
  syncing_ = false;
  if (list == ResultList::Threats && onThreatTicked) onThreatTicked(row);
}

}  // namespace kx
