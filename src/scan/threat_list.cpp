#include "scan/threat_list.h"

#include "core/paths.h"
#include "definitions/definition_files.h"
#include "core/text.h"

namespace kx {



ThreatList::ThreatList(ThreatListControls lists, ThreatListServices services, ScanCounters& counters,
                       ScanResults& results)
    : lists_(lists), services_(std::move(services)), counters_(counters), results_(results) {
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
  return results_.LiveRowStartingWith(threatName + " - Found");
}

bool ThreatList::HasThreatRow(const std::string& text, int kind) const {
  for (const ThreatEntry& row : results_.threats())
    if (row.kind == kind && EqualsNoCase(row.name, text)) return true;
  return false;
}

void ThreatList::AddLiveRow(const std::string& text, int image) { results_.Add(LiveRow{text, image}); }

void ThreatList::AddThreatRow(const std::string& text, int image, const std::string& location,
                              const std::string& type) {
  results_.Add(ThreatEntry{text, image, location, type, false});
}

void ThreatList::AddExcludedRow(const std::string& location) { AddLiveRow("EXCLUDED: " + location, KIND_EXCLUDED); }

void ThreatList::ReportFound(int kind, const std::string& threatName, const std::string& location,
                             const std::string& type) {
  AddTrace();
  if (IsListed(threatName)) return;
  AddLiveRow(threatName + " - Found", kind);
  AddThreatRow(threatName, kind, location, type);
  counters_.threatsFound += 1;
}

void ThreatList::ClearAll() { results_.Clear(); }

// ---------------------------------------------------------------- commands

void ThreatList::PropagateCheck(size_t threatRow) {
  if (threatRow >= results_.threats().size()) return;
  const ThreatEntry row = results_.threats()[threatRow];
  auto apply = [&](ResultList list, const auto& rows, auto matches) {
    for (size_t i = 0; i < rows.size(); ++i)
      if (matches(rows[i])) results_.SetTicked(list, i, row.checked);
  };
  // Case is ignored as the duplicate test ignores it: a find of "bar" joined the row "Bar".
  switch (row.kind) {
    case KIND_COOKIE:
      apply(ResultList::Cookies, results_.cookies(),
            [&](const CookieRow& q) { return EqualsNoCase(q.path, row.location); });
      break;
    case KIND_REGISTRY:
      apply(ResultList::Registry, results_.registry(), [&](const RegistryRow& q) {
        return EqualsNoCase(q.key, row.name) || EqualsNoCase(q.threat, row.name);
      });
      break;
    case KIND_FILE:
      apply(ResultList::Files, results_.files(), [&](const FileRow& q) { return EqualsNoCase(q.threat, row.name); });
      break;
    case KIND_FOLDER:
      apply(ResultList::Files, results_.files(), [&](const FileRow& q) {
        return EqualsNoCase(q.path, row.location) || (!q.threat.empty() && EqualsNoCase(q.threat, row.name));
      });
      break;
    default:
      break;
  }
}

void ThreatList::cmdSelectAll_Click() {
  for (size_t i = 0; i < results_.threats().size(); ++i) {
    if (results_.threats()[i].checked) continue;
    results_.SetTicked(ResultList::Threats, i, true);
    PropagateCheck(i);
  }
}

void ThreatList::cmdExclude_Click() {
  if (results_.threats().empty() && results_.registry().empty() && results_.live().empty()) {
    services_.ui.MsgBox(Msg("MSG_SORRY"), ui::MB_ICON_INFORMATION, services_.productName);
    return;
  }
  std::string text = Msg("MSG_EXC_SURE1") + "\r\n\r\n" + Msg("MSG_EXC_SURE2") + "\r\n\r\n" + Msg("MSG_EXC_SURE3");
  if (services_.ui.MsgBox(text, ui::MB_YES_NO, Msg("MSG_EXC_SURE4")) != ui::MsgResult::Yes) return;
  bool saved = true;
  for (const ThreatEntry& row : results_.threats()) {
    if (!saved) break;
    if (!row.checked) continue;
    saved = AddExclusion(row.location) && AddExclusion(ReplaceAll(row.name, "Cookie: ", ""));
  }
  // The rows stay when the file could not take them: they are not excluded.
  if (!saved) {
    services_.ui.MsgBox(Msg("MSG_EXCLUDE_FAILED"), ui::MB_ICON_EXCLAMATION, services_.productName);
    return;
  }
  for (ResultList l : {ResultList::Files, ResultList::Registry, ResultList::Live, ResultList::Cookies})
    results_.RemoveTickedRows(l);
  if (lists_.lblDeletingCaption) lists_.lblDeletingCaption->set_caption("");
  results_.RemoveTickedRows(ResultList::Threats);
}

void ThreatList::ViewQuarantine() {
  std::string folder = services_.dataFolder + "\\quarantine";
  if (!services_.files.FolderExists(folder)) (void)services_.files.CreateFolder(folder);  // Explorer shows the failure itself
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
