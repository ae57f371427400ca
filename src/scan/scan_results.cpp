#include "scan/scan_results.h"

#include <algorithm>
#include <type_traits>

#include "core/text.h"

namespace kx {

// Calls f with the list's rows, whatever their type.
template <class F>
void ScanResults::Each(ResultList list, F&& f) {
  switch (list) {
    case ResultList::Live: f(live_); break;
    case ResultList::Threats: f(threats_); break;
    case ResultList::Files: f(files_); break;
    case ResultList::Registry: f(registry_); break;
    case ResultList::Cookies: f(cookies_); break;
  }
}

size_t ScanResults::size(ResultList list) const {
  size_t n = 0;
  const_cast<ScanResults*>(this)->Each(list, [&](auto& rows) { n = rows.size(); });
  return n;
}

namespace {
template <class Rows, class Row>
void Append(Rows& rows, Row row, ResultsObserver* observer, ResultList list) {
  rows.push_back(std::move(row));
  if (observer) observer->RowAdded(list, rows.size() - 1);
}

template <class Row>
bool TickOf(const Row& row) {
  if constexpr (std::is_same_v<Row, LiveRow>)
    return false;  // live rows are never ticked
  else
    return row.checked;
}
}  // namespace

void ScanResults::Add(LiveRow row) { Append(live_, std::move(row), observer_, ResultList::Live); }
void ScanResults::Add(ThreatEntry row) { Append(threats_, std::move(row), observer_, ResultList::Threats); }
void ScanResults::Add(FileRow row) { Append(files_, std::move(row), observer_, ResultList::Files); }
void ScanResults::Add(RegistryRow row) { Append(registry_, std::move(row), observer_, ResultList::Registry); }
void ScanResults::Add(CookieRow row) { Append(cookies_, std::move(row), observer_, ResultList::Cookies); }

bool ScanResults::Ticked(ResultList list, size_t row) const {
  bool ticked = false;
  const_cast<ScanResults*>(this)->Each(list, [&](auto& rows) {
    if (row < rows.size()) ticked = TickOf(rows[row]);
  });
  return ticked;
}

void ScanResults::SetTicked(ResultList list, size_t row, bool ticked) {
  if (list == ResultList::Live) return;
  bool changed = false;
  Each(list, [&](auto& rows) {
    using Row = typename std::decay_t<decltype(rows)>::value_type;
    if constexpr (!std::is_same_v<Row, LiveRow>) {
      if (row >= rows.size() || rows[row].checked == ticked) return;
      rows[row].checked = ticked;
      changed = true;
    }
  });
  if (changed && observer_) observer_->TickChanged(list, row);
}

bool ScanResults::AnyTicked(ResultList list) const {
  for (size_t i = 0; i < size(list); ++i)
    if (Ticked(list, i)) return true;
  return false;
}

bool ScanResults::LiveRowStartingWith(const std::string& prefix) const {
  for (const LiveRow& row : live_)
    if (row.text.size() >= prefix.size() && EqualsNoCase(std::string_view(row.text).substr(0, prefix.size()), prefix))
      return true;
  return false;
}

void ScanResults::Erase(ResultList list, size_t row) {
  Each(list, [&](auto& rows) { rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row)); });
  if (observer_) observer_->RowRemoved(list, row);
}

void ScanResults::RemoveTickedRows(ResultList list) {
  size_t i = 0;
  while (i < size(list)) {
    if (Ticked(list, i))
      Erase(list, i);
    else
      ++i;
  }
}

void ScanResults::RemoveRows(ResultList list, std::vector<size_t> rows) {
  std::sort(rows.rbegin(), rows.rend());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (size_t row : rows)
    if (row < size(list)) Erase(list, row);
}

void ScanResults::Clear() {
  for (ResultList list :
       {ResultList::Live, ResultList::Threats, ResultList::Files, ResultList::Registry, ResultList::Cookies}) {
    if (size(list) == 0) continue;
    Each(list, [](auto& rows) { rows.clear(); });
    if (observer_) observer_->Cleared(list);
  }
}

}  // namespace kx
