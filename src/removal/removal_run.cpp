#include "removal/removal_run.h"

#include <algorithm>
#include <cstdlib>

#include "core/paths.h"
#include "core/text.h"
#include "platform/datetime.h"
#include "definitions/hive.h"
#include "removal/registry_export.h"
#include "scan/scan_state.h"

namespace kx {
namespace {
constexpr uint32_t kRestorePointType = 6;  // application uninstall

void SetLabel(ui::Control* c, const std::string& text) {
  if (c) c->set_caption(text);
}

// A label's caption as a whole number, as the classic Val reads it.
long CaptionNumber(const ui::Control* c) {
  if (!c) return 0;
  return std::strtol(Trim(c->caption()).c_str(), nullptr, 10);
}
}  // namespace


RemovalRun::RemovalRun(RemovalServices services, RemovalControls controls, ScanResults& results, RemovalHost& host,
                       FrmDelete& failures, ProcessScanner& processes)
    : s_(std::move(services)),
      c_(controls),
      results_(results),
      host_(host),
      failures_(failures),
      processes_(processes),
      quarantine_({s_.platform.files, s_.platform.com, s_.platform.clock, s_.dataFolder,
                   [this] { Turn(); }, s_.log}),
      registry_(s_.platform.registry, [this](const std::string& key, const std::string& value) {
        quarantine_.WriteQuarantineRegistryRecord(key, value);
      }) {}

std::string RemovalRun::Msg(const std::string& key) const { return s_.message ? s_.message(key) : key; }

void RemovalRun::SetStatus(const std::string& text) { SetLabel(c_.lblDeletingPercentageCompleted, text); }
void RemovalRun::SetCaption(const std::string& text) { SetLabel(c_.lblDeletingCaption, text); }

void RemovalRun::ShowBar(bool visible) {
  for (ui::Control* c : {c_.pgbDeleteSpywaresFound, c_.lblDeletingPercentageCompleted, c_.lblDeletingCaption})
    if (c) c->set_visible(visible);
}

void RemovalRun::Command4_Click() {
  // Pressed again while a run yields: the run's own failure list must stay.
  if (running_) return;
  const bool anyTicked = results_.AnyTicked(ResultList::Threats);
  const bool automatic = host_.AutomaticDeletion();
  if (!anyTicked) {
    if (!automatic) s_.ui.MsgBox(Msg("MSG_SELECTED"), ui::MB_ICON_INFORMATION, s_.productName);
    return;
  }
  if (!automatic) {
    std::string text = Msg("MSG_CONFIRM1") + "\r\n\r\n" + Msg("MSG_CONFIRM2") + "\r\n\r\n" + quarantine_.Folder();
    if (IsSystemRestoreAvailable())
      text += "\r\n\r\n" + Msg("MSG_CONFIRM3") + "\r\n\r\n" + Msg("MSG_CONFIRM4");
    if (s_.ui.MsgBox(text, ui::MB_YES_NO, Msg("MSG_REALLY")) != ui::MsgResult::Yes) return;
  }
  ShowBar(true);
  failures_.ClearProblems();
  lblRemove_Click();
}

void RemovalRun::lblRemove_Click() {
  // A click on "Remove" while a run yields would start a second one over the same rows.
  if (running_) return;
  running_ = true;
  plan_ = RemovalPlan::FromTicked(results_);
  failed_.clear();
  outcomes_.clear();
  keptThreats_.clear();
  SetLabel(c_.lblRemovalSummary, "");
  quarantine_.CreateFolder();
  quarantine_.BeginRun();
  host_.ShowResultsPanel();
  for (ui::Control* c : {c_.lblOptions, c_.lblResult, c_.lblExit})
    if (c) c->set_enabled(true);
  if (c_.lblRemove) c_.lblRemove->set_enabled(false);
  HoldControls(true);
  host_.ApplyTimerSettings(false);
  ShowBar(true);

  // Exported before anything can change: what it holds is what the passes delete.
  ExportRegistry();

  SetStatus(Msg("MSG_INFORMATION"));
  for (int i = 0; i < pauseTurns; ++i) Turn();
  SetStatus("");

  const bool restore = IsSystemRestoreAvailable();
  if (restore) {
    SetStatus(Msg("MSG_RESTOREPOINT"));
    Turn();
    StartRestorePoint(s_.productName + " Restore Point " + FormatUsDateTime(s_.platform.clock.Now()),
                      kRestorePointType);
  }
  quarantine_.logging = true;
  RemovalPass();
  quarantine_.logging = false;
  RemovalPass();
  if (restore) EndRestorePoint();

  // The rows the run handled go; those that failed stay, and so does any row ticked after
  // the run began.
  RecordOutcomes();
  std::vector<size_t> files, registry;
  for (const RowOutcome& o : outcomes_) {
    if (!o.removed) continue;
    if (o.list == ResultList::Files) files.push_back(o.row);
    if (o.list == ResultList::Registry) registry.push_back(o.row);
  }
  results_.RemoveRows(ResultList::Files, files);
  results_.RemoveRows(ResultList::Registry, registry);
  results_.RemoveTickedRows(ResultList::Live);
  SetCaption("");
  std::vector<size_t> threats;
  for (size_t row : plan_.threatRows)
    if (!keptThreats_.count(row)) threats.push_back(row);
  results_.RemoveRows(ResultList::Threats, threats);

  if (c_.pgbDeleteSpywaresFound) c_.pgbDeleteSpywaresFound->set_value(c_.pgbDeleteSpywaresFound->max());
  SetStatus("100% " + Msg("MSG_COMPLETE"));

  quarantine_.EndRun();
  HoldControls(false);
  if (c_.lblSweepNow) c_.lblSweepNow->set_enabled(true);
  running_ = false;
  host_.ApplyTimerSettings(true);
  if (c_.lblRemove) c_.lblRemove->set_enabled(true);

  AddToRemovedTotal();
  ShowSummary();
  if (c_.chkSendData && c_.chkSendData->value() == 1) host_.SendData();
  host_.ShowStatusPanelValues();
  ShowBar(false);
}

void RemovalRun::AddToRemovedTotal() {
  long total = std::strtol(host_.ReadSetting("Settings", "lblDefRemoved", "0").c_str(), nullptr, 10);
  // The counts shown, less what stayed: each threat count is shown twice over.
  total += CaptionNumber(c_.lblRemovePicSoftwareFound) + CaptionNumber(c_.lbltracesFound) +
           CaptionNumber(c_.lblSoftwareFound) -
           static_cast<long>(failed_.size() + 2 * keptThreats_.size());
  host_.WriteSetting("Settings", "lblDefRemoved", std::to_string(total));
}

void RemovalRun::ShowSummary() {
  long removed = 0, failed = 0, traces = 0;
  for (const RowOutcome& o : outcomes_) {
    (o.removed ? removed : failed) += 1;
    // Cookies are threats of their own, not traces.
    if (o.removed && o.list != ResultList::Cookies) traces += 1;
  }
  long threats = 0;
  for (size_t row : plan_.threatRows)
    if (!keptThreats_.count(row)) threats += 1;
  // What is left of what the scan counted.
  auto less = [](ui::Control* c, long n) {
    if (c) c->set_caption(std::to_string(std::max(0L, CaptionNumber(c) - n)));
  };
  less(c_.lbltracesFound, traces);
  less(c_.lblRemovePicSoftwareFound, threats);

  std::string text = Msg(failed ? "MSG_REMOVAL_SUMMARY_FAILED" : "MSG_REMOVAL_SUMMARY");
  auto fill = [&text](const std::string& mark, const std::string& value) {
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
      text.replace(at, mark.size(), value);
  };
  fill("%1", std::to_string(removed));
  fill("%2", std::to_string(failed));
  fill("%3", quarantine_.Folder());
  SetLabel(c_.lblRemovalSummary, text);
  if (c_.lblRemovalSummary) c_.lblRemovalSummary->set_visible(true);
}

void RemovalRun::RecordOutcomes() {
  auto add = [this](ResultList list, size_t row, const std::string& location) {
    for (const RowOutcome& o : failed_)
      if (o.list == list && o.row == row) {
        outcomes_.push_back(o);
        if (s_.log) s_.log->Write("removal: " + o.location + " stays: " + o.cause);
        return;
      }
    outcomes_.push_back({list, row, location, true, ""});
  };
  for (const RemovalPlan::File& f : plan_.files) add(ResultList::Files, f.row, f.path);
  for (const RemovalPlan::Registry& r : plan_.registry)
    add(ResultList::Registry, r.row,
        ModRegistryRelated::HiveName(r.hive) + "\\" + r.key + (r.value.empty() ? "" : "\\" + r.value));
  for (const RemovalPlan::Cookie& c : plan_.cookies) add(ResultList::Cookies, c.row, c.path);
}

void RemovalRun::HoldControls(bool hold) {
  if (!hold) {
    for (auto& [control, enabled] : held_) control->set_enabled(enabled);
    held_.clear();
    return;
  }
  held_.clear();
  for (ui::Control* c : {c_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved, c_.cmdSelectAll, c_.cmdExclude,
                         c_.Command4, c_.cmdScanNow, c_.lblSweepNow}) {
    if (!c) continue;
    held_.emplace_back(c, c->enabled());
    c->set_enabled(false);
  }
}

bool RemovalRun::ExportRegistry() {
  lastExport_.clear();
  RegistryExport exporter(s_.platform.registry);
  std::vector<RemovalPlan::Registry*> exported;
  for (RemovalPlan::Registry& r : plan_.registry) {
    if (r.key.empty()) continue;
    // A row without a value name takes the whole key, its default value with it.
    RegistryExportItem item{r.hive, r.key, r.value.empty() ? std::nullopt : std::optional<std::string>(r.value)};
    if (!exporter.Exact(item)) {
      if (s_.log) s_.log->Write("removal: " + r.key + " cannot be backed up exactly; it is kept");
      continue;
    }
    exporter.Add(std::move(item));
    exported.push_back(&r);
  }
  if (exporter.Empty()) return true;
  if (auto file = exporter.WriteTo(s_.platform.files, quarantine_.Folder(), s_.platform.clock.Now())) {
    lastExport_ = *file;
    quarantine_.NoteRegistryExport(*file);
  } else if (!exporter.Text().empty()) {
    // Something to back up, and no file for it.
    if (s_.log) s_.log->Write("removal: the registry backup could not be written; no registry entry is deleted");
    return false;
  }
  for (RemovalPlan::Registry* r : exported) r->backedUp = true;
  return true;
}

void RemovalRun::Progress(size_t row, size_t rows, int barValue) {
  if (c_.pgbDeleteSpywaresFound) c_.pgbDeleteSpywaresFound->set_value(barValue);
  SetStatus(Msg("MSG_REMOVING2") + " : " + std::to_string(Percentage(double(row), double(rows))) + "% " +
            Msg("MSG_COMPLETED"));
}

void RemovalRun::RemovalPass() {
  const bool second = !quarantine_.logging;
  long failures = 0;
  if (!results_.threats().empty()) {
    ShowBar(true);
    SetStatus(Msg("MSG_REMOVING"));
    if (ui::Control* bar = c_.pgbDeleteSpywaresFound) {
      bar->set_range(0, static_cast<int>(plan_.registryRows + plan_.fileRows));
      bar->set_value(0);
    }
  }
  FilesPass(second, failures);
  RegistryPass(second, failures);
  CookiesPass(second, failures);
  if (failures > 0) failures_.ShowFailures(failed_);
}

bool RemovalRun::StillThere(const std::string& path) {
  // Hidden and system files count too: whatever is still on the disk was not removed.
  std::string p = path;
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  return s_.platform.files.Attributes(p).has_value();
}

bool RemovalRun::StillThere(const RemovalPlan::Registry& entry) {
  const auto hive = HiveOfHandle(static_cast<int32_t>(static_cast<uint32_t>(entry.hive)));
  if (!hive) return false;
  Registry& reg = s_.platform.registry;
  if (entry.value.empty()) return reg.OpenKey(*hive, entry.key, REGA_QUERY_VALUE) != RegStatus::NotFound;
  RegValue ignored;
  return reg.QueryValue(*hive, entry.key, entry.value, ignored) != RegStatus::NotFound;
}

void RemovalRun::Failed(ResultList queue, size_t row, const std::string& shown, const std::string& threat,
                        const std::string& location, const std::string& cause, long& failures) {
  failed_.push_back({queue, row, shown, false, cause});
  ++failures;
  const std::vector<ThreatEntry>& entries = results_.threats();
  for (size_t r = 0; r < entries.size(); ++r) {
    const ThreatEntry& entry = entries[r];
    const bool named = !Trim(threat).empty() && EqualsNoCase(entry.name, threat);
    const bool placed = !location.empty() && entry.kind == KIND_FOLDER && EqualsNoCase(entry.location, location);
    if (!named && !placed) continue;
    keptThreats_.insert(r);
    // Not propagated: the threat's other queue rows are the pass's to judge.
    results_.SetTicked(ResultList::Threats, r, false);
    break;
  }
  results_.SetTicked(queue, row, false);
}

void RemovalRun::FilesPass(bool second, long& failures) {
  const size_t count = plan_.fileRows;
  for (const RemovalPlan::File& item : plan_.files) {
    const std::string& path = item.path;
    Progress(item.row + 1, count, static_cast<int>(item.row + 1));
    SetCaption(LowerAnsi(path));
    const std::string ext = UpperAnsi(FileExtensionOfPath(path));
    if (ext == "DLL" || ext == "OCX") {
      quarantine_.RegisterComServer(path);
      quarantine_.QuarantineDll(path);
      // What could not be copied or deleted is still there: the second pass names it.
      (void)quarantine_.QuarantineItem(path);
    } else if (ext == "EXE") {
      RemoveExecutable(path);
    } else {
      (void)quarantine_.QuarantineItem(path);
    }
    Turn();
    if (!second || !StillThere(path)) continue;
    const bool exe = LowerAnsi(path).find(".exe") != std::string::npos;
    const bool unstoppable = exe && RemoveExecutable(path) == 2;
    // A folder whose copy failed, or a file that resisted, is still there.
    if (StillThere(path))
      Failed(ResultList::Files, item.row, path, item.threat, path,
             unstoppable ? "its process could not be stopped" : "still there after the second pass", failures);
  }
}

void RemovalRun::RegistryPass(bool second, long& failures) {
  const size_t count = plan_.registryRows;
  for (const RemovalPlan::Registry& entry : plan_.registry) {
    Progress(entry.row + 1, count, static_cast<int>(entry.row + 1 + count));
    SetCaption(LowerAnsi(entry.key + "\\" + entry.value));
    // Only what the .reg file holds is deleted; the rest stays and is listed.
    if (entry.backedUp) {
      // Whether each deletion took is read back below: what is still there is a failure.
      (void)registry_.DeleteRegistryValue(entry.hive, entry.key, entry.value);
      if (entry.value.empty()) (void)registry_.DeleteRegistryKey(entry.hive, entry.key);
    }
    Turn();
    if (second && !entry.key.empty() && StillThere(entry)) {
      const std::string hive = ModRegistryRelated::HiveName(entry.hive);
      Failed(ResultList::Registry, entry.row, hive + "\\" + entry.key + (entry.value.empty() ? "" : "\\" + entry.value),
             entry.threat, "", entry.backedUp ? "still there after the second pass" : "no exact backup could be made",
             failures);
    }
  }
}

void RemovalRun::CookiesPass(bool second, long& failures) {
  const size_t count = plan_.cookieRows;
  for (const RemovalPlan::Cookie& cookie : plan_.cookies) {
    Progress(cookie.row + 1, count, static_cast<int>(cookie.row + 1 + count));
    SetCaption(LowerAnsi(cookie.path));
    if (FileExists(s_.platform.files, cookie.path)) quarantine_.QuarantineCookie(cookie.path);
    Turn();
    if (second && StillThere(cookie.path)) {
      failed_.push_back({ResultList::Cookies, cookie.row, cookie.path, false, "still there after the second pass"});
      ++failures;
    }
  }
}

int RemovalRun::RemoveExecutable(const std::string& path) {
  if (path.find('\\') == std::string::npos) return 0;
  const std::string name = FileNameOfPath(path);
  if (!quarantine_.Listed(path, name)) return -1;
  // Only the process running this very file is stopped, never another of the same name.
  if (!processes_.KillProcessByName(name, path)) return 2;
  return quarantine_.QuarantineFile(path, name) ? 1 : 0;
}

bool RemovalRun::IsSystemRestoreAvailable() {
  const OsVersion v = s_.platform.system.Version();
  if (v.platformId == 1) return v.minor == 90;
  if (v.platformId == 2) return (v.major == 5 && v.minor == 1) || v.major > 5;
  return false;
}

bool RemovalRun::StartRestorePoint(const std::string& description, uint32_t restorePointType) {
  if (restoreSequence_ != 0) {
    if (s_.log) s_.log->Write("restore point: error 100001: You must End the previous restore point first.");
    return false;
  }
  const auto sequence = s_.platform.restore.Begin(description, restorePointType);
  if (!sequence) {
    if (s_.log) s_.log->Write("restore point: not started");
    return false;
  }
  restoreSequence_ = *sequence;
  return true;
}

bool RemovalRun::EndRestorePoint() {
  const bool ok = s_.platform.restore.End(restoreSequence_);
  restoreSequence_ = 0;
  return ok;
}

}  // namespace kx
