#include "scan/threat_list.h"

#include "platform/forms/find_controls.h"

#include "core/paths.h"
#include "definitions/definition_files.h"
#include "core/text.h"

namespace kx {


ThreatListControls ThreatListControls::FromForm(ui::Form& f) {
  ThreatListControls l;
  ui::FindControls(f, l, {
      {"lvwSpywareFound", &ThreatListControls::lvwSpywareFound},
      {"lvwPicRemoveListOfSpywareFoundAndToBeRemoved", &ThreatListControls::lvwPicRemoveListOfSpywareFoundAndToBeRemoved},
      {"lvwFilesToBeDeleted", &ThreatListControls::lvwFilesToBeDeleted},
      {"lvwRegistryToBeDeleted", &ThreatListControls::lvwRegistryToBeDeleted},
      {"lvwCookiesToDelete", &ThreatListControls::lvwCookiesToDelete},
      {"lbltracesFound", &ThreatListControls::lbltracesFound},
      {"lblDeletingCaption", &ThreatListControls::lblDeletingCaption},
  });
  return l;
}

ThreatList::ThreatList(ThreatListControls lists, ThreatListServices services, ScanCounters& counters)
    : lists_(lists), services_(std::move(services)), counters_(counters) {
  exclusionElements_ = {""};
}

// ---------------------------------------------------------------- exclusions

void ThreatList::LoadExclusions() {
  exclusions_.clear();
  DefinitionStore store(services_.files, services_.dataFolder);
  for (const std::string& line : store.ExclusionLines()) exclusions_ += line + "|";
  exclusionElements_.clear();
  for (std::string& e : Split(exclusions_, '|')) exclusionElements_.push_back(LowerAnsi(e));
}

bool ThreatList::AddExclusion(const std::string& text) {
  const bool saved = static_cast<bool>(services_.files.AppendFile(ExclusionFile(), Trim(text) + "\r\n"));
  LoadExclusions();
  return saved;
}

bool ThreatList::IsExcluded(const std::string& item) const {
  std::string a = LowerAnsi(item), b = LowerAnsi(Trim(item));
  for (const std::string& e : exclusionElements_)
    if (e == a || e == b) return true;
  return false;
}

bool ThreatList::IsExcludedOrContaining(const std::string& folderPath) const {
  if (IsExcluded(folderPath)) return true;
  std::string p = LowerAnsi(folderPath);
  for (const std::string& e : exclusionElements_)
    if (e.find(p) != std::string::npos) return true;
  return false;
}

// ---------------------------------------------------------------- safe list

namespace {
std::string NormaliseSafe(const std::string& s) {
  std::string t = LowerAnsi(Trim(s));
  if (!t.empty() && t.back() == '/') t.pop_back();
  if (!t.empty() && t.back() == '\\') t.pop_back();
  return t;
}
}  // namespace

void ThreatList::SetSafeList(std::vector<std::string> entries) {
  safe_.clear();
  for (const std::string& e : entries) {
    std::string n = NormaliseSafe(e);
    if (!n.empty()) safe_.push_back(std::move(n));
  }
}

bool ThreatList::IsSafePath(const std::string& path) const {
  std::string c = NormaliseSafe(path);
  if (c.empty()) return true;
  if (safe_.empty()) return false;
  std::string upper = UpperAnsi(c);
  for (const char* hive : {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                           "HKEY_CURRENT_CONFIG"})
    if (upper == hive) return true;
  for (const std::string& e : safe_)
    if (e == c || e == c + "\\" || c == e + "\\") return true;
  return false;
}

// ---------------------------------------------------------------- reporting

void ThreatList::AddTrace() {
  if (!lists_.lbltracesFound) return;
  long n = std::atol(lists_.lbltracesFound->caption().c_str());
  lists_.lbltracesFound->set_caption(std::to_string(n + 1));
}

bool ThreatList::IsListed(const std::string& threatName) const {
  return lists_.lvwSpywareFound && lists_.lvwSpywareFound->FindItem(threatName + " - Found").has_value();
}

bool ThreatList::HasThreatRow(const std::string& text, int kind) const {
  const ui::Control* list = lists_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
  if (!list) return false;
  for (const ui::ListItem& row : list->items())
    if (row.smallIcon == kind && EqualsNoCase(row.text, text)) return true;
  return false;
}

void ThreatList::AddLiveRow(const std::string& text, int image) {
  if (!lists_.lvwSpywareFound) return;
  ui::ListItem row;
  row.text = text;
  row.smallIcon = image;
  lists_.lvwSpywareFound->AddItem(std::move(row));
}

void ThreatList::AddThreatRow(const std::string& text, int image, const std::string& location,
                              const std::string& type) {
  ui::Control* list = lists_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
  if (!list) return;
  ui::ListItem row;
  row.text = text;
  row.smallIcon = image;
  row.SetSubItem(1, location);
  if (!type.empty()) row.SetSubItem(2, type);
  list->AddItem(std::move(row));
}

void ThreatList::AddExcludedRow(const std::string& location) { AddLiveRow("EXCLUDED: " + location, KIND_EXCLUDED); }

void ThreatList::ReportThreat(int kind, const std::string& threatName, const std::string& location,
                              const std::string& type, ui::Control& queue, ui::ListItem queueRow) {
  queue.AddItem(std::move(queueRow));
  AddTrace();
  if (IsListed(threatName)) return;
  AddLiveRow(threatName + " - Found", kind);
  AddThreatRow(threatName, kind, location, type);
  counters_.threatsFound += 1;
}

void ThreatList::ClearAll() {
  for (ui::Control* l : {lists_.lvwSpywareFound, lists_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved,
                         lists_.lvwFilesToBeDeleted, lists_.lvwRegistryToBeDeleted, lists_.lvwCookiesToDelete})
    if (l) l->ClearItems();
}

// ---------------------------------------------------------------- commands

void ThreatList::RemoveCheckedRows(ui::Control& list) {
  size_t i = 0;
  while (i < list.item_count()) {
    if (list.items()[i].checked)
      list.RemoveItem(i);
    else
      ++i;
  }
}

void ThreatList::PropagateCheck(size_t threatRow) {
  ui::Control* threats = lists_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
  if (!threats || threatRow >= threats->item_count()) return;
  const ui::ListItem row = threats->items()[threatRow];
  const std::string& location = row.SubItem(1);
  auto apply = [&](ui::Control* queue, auto matches) {
    if (!queue) return;
    for (size_t i = 0; i < queue->item_count(); ++i)
      if (matches(queue->items()[i]) && queue->items()[i].checked != row.checked)
        queue->SetItemChecked(i, row.checked);
  };
  // Case is ignored as the duplicate test ignores it: a find of "bar" joined the row "Bar".
  switch (row.smallIcon) {
    case KIND_COOKIE:
      apply(lists_.lvwCookiesToDelete, [&](const ui::ListItem& q) { return EqualsNoCase(q.text, location); });
      break;
    case KIND_REGISTRY:
      apply(lists_.lvwRegistryToBeDeleted, [&](const ui::ListItem& q) {
        return EqualsNoCase(q.SubItem(1), row.text) || EqualsNoCase(q.SubItem(3), row.text);
      });
      break;
    case KIND_FILE:
      apply(lists_.lvwFilesToBeDeleted, [&](const ui::ListItem& q) { return EqualsNoCase(q.SubItem(1), row.text); });
      break;
    case KIND_FOLDER:
      apply(lists_.lvwFilesToBeDeleted, [&](const ui::ListItem& q) {
        return EqualsNoCase(q.text, location) || (!q.SubItem(1).empty() && EqualsNoCase(q.SubItem(1), row.text));
      });
      break;
    default:
      break;
  }
}

void ThreatList::cmdSelectAll_Click() {
  ui::Control* threats = lists_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
  if (!threats) return;
  for (size_t i = 0; i < threats->item_count(); ++i) {
    if (threats->items()[i].checked) continue;
    // Checking fires the list's item-check handler when one is wired; propagate once
    // either way so the queues follow even without it.
    auto handler = std::move(threats->onItemCheck);
    threats->onItemCheck = nullptr;
    threats->SetItemChecked(i, true);
    threats->onItemCheck = std::move(handler);
    PropagateCheck(i);
  }
}

void ThreatList::cmdExclude_Click() {
  ui::Control* threats = lists_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
  auto empty = [](ui::Control* l) { return !l || l->item_count() == 0; };
  if (empty(threats) && empty(lists_.lvwRegistryToBeDeleted) && empty(lists_.lvwSpywareFound)) {
    services_.ui.MsgBox(Msg("MSG_SORRY"), ui::MB_ICON_INFORMATION, services_.productName);
    return;
  }
  std::string text = Msg("MSG_EXC_SURE1") + "\r\n\r\n" + Msg("MSG_EXC_SURE2") + "\r\n\r\n" + Msg("MSG_EXC_SURE3");
  if (services_.ui.MsgBox(text, ui::MB_YES_NO, Msg("MSG_EXC_SURE4")) != ui::MsgResult::Yes) return;
  bool saved = true;
  if (threats) {
    for (size_t i = 0; i < threats->item_count() && saved; ++i) {
      const ui::ListItem& row = threats->items()[i];
      if (!row.checked) continue;
      std::string location = row.SubItem(1);
      std::string name = ReplaceAll(row.text, "Cookie: ", "");
      saved = AddExclusion(location) && AddExclusion(name);
    }
  }
  // The rows stay when the file could not take them: they are not excluded.
  if (!saved) {
    services_.ui.MsgBox(Msg("MSG_EXCLUDE_FAILED"), ui::MB_ICON_EXCLAMATION, services_.productName);
    return;
  }
  for (ui::Control* l : {lists_.lvwFilesToBeDeleted, lists_.lvwRegistryToBeDeleted, lists_.lvwSpywareFound,
                         lists_.lvwCookiesToDelete})
    if (l) RemoveCheckedRows(*l);
  if (lists_.lblDeletingCaption) lists_.lblDeletingCaption->set_caption("");
  if (threats) RemoveCheckedRows(*threats);
}

void ThreatList::ViewQuarantine() {
  std::string folder = services_.dataFolder + "\\quarantine";
  if (!services_.files.FolderExists(folder)) services_.files.CreateFolder(folder);
  services_.shell.Start("explorer", folder);
}

void ThreatList::ViewExclusions() {
  std::string file = ExclusionFile();
  if (FileExists(services_.files, file)) {
    services_.shell.Start("notepad", file);
  } else {
    services_.ui.MsgBox(Msg("MSG_EXCLUDE1"), ui::MB_OK_ONLY, Msg("MSG_EXCLUDE2"));
  }
}

}  // namespace kx
