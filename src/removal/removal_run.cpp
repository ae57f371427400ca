#include "removal/removal_run.h"

#include <cstdlib>

#include "core/paths.h"
#include "core/text.h"
#include "platform/datetime.h"
#include "removal/registry_export.h"
#include "scan/scan_state.h"
#include "scan/threat_list.h"

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

// Unticks a row without telling the list: the threat list would pass the change on to
// every queue row of that threat, which the pass has not reached yet.
void Untick(ui::Control& list, size_t row) {
  if (!list.items()[row].checked) return;
  list.item(row).checked = false;
  list.ItemsChanged();
}
}  // namespace

RemovalControls RemovalControls::FromForm(ui::Form& form) {
  RemovalControls c;
  c.lvwPicRemoveListOfSpywareFoundAndToBeRemoved = form.Find("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
  c.lvwFilesToBeDeleted = form.Find("lvwFilesToBeDeleted");
  c.lvwRegistryToBeDeleted = form.Find("lvwRegistryToBeDeleted");
  c.lvwCookiesToDelete = form.Find("lvwCookiesToDelete");
  c.lvwSpywareFound = form.Find("lvwSpywareFound");
  c.pgbDeleteSpywaresFound = form.Find("pgbDeleteSpywaresFound");
  c.lblDeletingPercentageCompleted = form.Find("lblDeletingPercentageCompleted");
  c.lblDeletingCaption = form.Find("lblDeletingCaption");
  c.lblSweepNow = form.Find("lblSweepNow");
  c.lblOptions = form.Find("lblOptions");
  c.lblResult = form.Find("lblResult");
  c.lblExit = form.Find("lblExit");
  c.lblRemove = form.Find("lblRemove");
  c.lblRemovePicSoftwareFound = form.Find("lblRemovePicSoftwareFound");
  c.lbltracesFound = form.Find("lbltracesFound");
  c.lblSoftwareFound = form.Find("lblSoftwareFound");
  c.chkSendData = form.Find("chkSendData");
  return c;
}

RemovalRun::RemovalRun(RemovalServices services, RemovalControls controls, RemovalHost& host, FrmDelete& failures,
                       ProcessScanner& processes)
    : s_(std::move(services)),
      c_(controls),
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
  ui::Control* results = c_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
  bool anyTicked = false;
  if (results)
    for (const ui::ListItem& row : results->items()) anyTicked = anyTicked || row.checked;
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
  quarantine_.CreateFolder();
  host_.ShowResultsPanel();
  for (ui::Control* c : {c_.lblSweepNow, c_.lblOptions, c_.lblResult, c_.lblExit})
    if (c) c->set_enabled(true);
  if (c_.lblRemove) c_.lblRemove->set_enabled(false);
  host_.ApplyTimerSettings(false);
  ShowBar(true);

  SetStatus(Msg("MSG_INFORMATION"));
  for (int i = 0; i < pauseTurns; ++i) Turn();
  SetStatus("");

  // Exported before the first pass deletes anything.
  ExportRegistry();

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

  for (ui::Control* list : {c_.lvwFilesToBeDeleted, c_.lvwRegistryToBeDeleted, c_.lvwSpywareFound})
    if (list) ThreatList::RemoveCheckedRows(*list);
  SetCaption("");
  if (c_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved)
    ThreatList::RemoveCheckedRows(*c_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved);

  if (c_.pgbDeleteSpywaresFound) c_.pgbDeleteSpywaresFound->set_value(c_.pgbDeleteSpywaresFound->max());
  SetStatus("100% " + Msg("MSG_COMPLETE"));

  running_ = false;
  host_.ApplyTimerSettings(true);
  if (c_.lblRemove) c_.lblRemove->set_enabled(true);

  AddToRemovedTotal();
  if (c_.chkSendData && c_.chkSendData->value() == 1) host_.SendData();
  host_.ShowStatusPanelValues();
  ShowBar(false);
}

void RemovalRun::AddToRemovedTotal() {
  long total = std::strtol(host_.ReadSetting("Settings", "lblDefRemoved", "0").c_str(), nullptr, 10);
  total += CaptionNumber(c_.lblRemovePicSoftwareFound) + CaptionNumber(c_.lbltracesFound) +
           CaptionNumber(c_.lblSoftwareFound);
  host_.WriteSetting("Settings", "lblDefRemoved", std::to_string(total));
}

bool RemovalRun::ExportRegistry() {
  lastExport_.clear();
  registryBackedUp_ = true;
  ui::Control* queue = c_.lvwRegistryToBeDeleted;
  if (!queue) return true;
  RegistryExport exporter(s_.platform.registry);
  for (const ui::ListItem& row : queue->items()) {
    if (!row.checked) continue;
    const std::string hive = Trim(row.text), key = Trim(row.SubItem(1)), value = Trim(row.SubItem(2));
    if (hive.empty() || key.empty()) continue;
    // A row without a value name takes the whole key, its default value with it.
    exporter.Add(std::strtoll(hive.c_str(), nullptr, 10), key,
                 value.empty() ? std::nullopt : std::optional<std::string>(value));
  }
  if (exporter.Empty()) return true;
  if (auto file = exporter.WriteTo(s_.platform.files, quarantine_.Folder(), s_.platform.clock.Now())) {
    lastExport_ = *file;
    return true;
  }
  // No file either because nothing of it is there any more, or because it could not be written.
  if (exporter.Text().empty()) return true;
  if (s_.log) s_.log->Write("removal: the registry backup could not be written; no registry entry is deleted");
  registryBackedUp_ = false;
  return false;
}

void RemovalRun::Progress(size_t row, size_t rows, int barValue) {
  if (c_.pgbDeleteSpywaresFound) c_.pgbDeleteSpywaresFound->set_value(barValue);
  SetStatus(Msg("MSG_REMOVING2") + " : " + std::to_string(Percentage(double(row), double(rows))) + "% " +
            Msg("MSG_COMPLETED"));
}

void RemovalRun::RemovalPass() {
  const bool second = !quarantine_.logging;
  long failures = 0;
  ui::Control* results = c_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved;
  if (results && results->item_count() > 0) {
    ShowBar(true);
    SetStatus(Msg("MSG_REMOVING"));
    if (ui::Control* bar = c_.pgbDeleteSpywaresFound) {
      const size_t rows = (c_.lvwRegistryToBeDeleted ? c_.lvwRegistryToBeDeleted->item_count() : 0) +
                          (c_.lvwFilesToBeDeleted ? c_.lvwFilesToBeDeleted->item_count() : 0);
      bar->set_range(0, static_cast<int>(rows));
      bar->set_value(0);
    }
  }
  FilesPass(second, failures);
  RegistryPass();
  CookiesPass();
  if (failures > 0) failures_.ShowFailures();
}

void RemovalRun::FilesPass(bool second, long& failures) {
  ui::Control* queue = c_.lvwFilesToBeDeleted;
  if (!queue) return;
  FileSystem& files = s_.platform.files;
  const size_t count = queue->item_count();
  for (size_t i = 0; i < count && i < queue->item_count(); ++i) {
    const ui::ListItem row = queue->items()[i];
    if (row.checked) {
      const std::string& path = row.text;
      Progress(i + 1, count, static_cast<int>(i + 1));
      SetCaption(LowerAnsi(path));
      const std::string ext = UpperAnsi(FileExtensionOfPath(path));
      if (ext == "DLL" || ext == "OCX") {
        quarantine_.RegisterComServer(path);
        quarantine_.QuarantineDll(path);
        quarantine_.QuarantineItem(path);
      } else if (ext == "EXE") {
        RemoveExecutable(path);
      } else {
        quarantine_.QuarantineItem(path);
      }
    }
    Turn();
    if (!second || !row.checked || !FileExists(files, row.text)) continue;
    if (LowerAnsi(row.text).find(".exe") != std::string::npos) RemoveExecutable(row.text);
    if (!FileExists(files, row.text)) continue;
    failures_.AddProblem(row.text);
    ++failures;
    if (ui::Control* results = c_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved) {
      for (size_t r = 0; r < results->item_count(); ++r)
        if (results->items()[r].text == row.SubItem(1)) {
          Untick(*results, r);
          break;
        }
    }
    Untick(*queue, i);
  }
}

void RemovalRun::RegistryPass() {
  ui::Control* queue = c_.lvwRegistryToBeDeleted;
  if (!queue) return;
  const size_t count = queue->item_count();
  for (size_t i = 0; i < count && i < queue->item_count(); ++i) {
    const ui::ListItem row = queue->items()[i];
    if (row.checked) {
      Progress(i + 1, count, static_cast<int>(i + 1 + count));
      SetCaption(LowerAnsi(row.SubItem(1) + "\\" + row.SubItem(2)));
      const std::string hiveText = Trim(row.text), key = Trim(row.SubItem(1)), value = Trim(row.SubItem(2));
      const int64_t hive = std::strtoll(hiveText.c_str(), nullptr, 10);
      if (!registryBackedUp_) {
        // Without its backup the entry stays, and its rows stay for another run.
        if (ui::Control* results = c_.lvwPicRemoveListOfSpywareFoundAndToBeRemoved)
          for (size_t r = 0; r < results->item_count(); ++r)
            if (results->items()[r].text == row.SubItem(3)) Untick(*results, r);
        Untick(*queue, i);
      } else if (!hiveText.empty() && !key.empty()) {
        registry_.DeleteRegistryValue(hive, key, value);
        if (value.empty()) registry_.DeleteRegistryKey(hive, key);
      }
    }
    Turn();
  }
}

void RemovalRun::CookiesPass() {
  ui::Control* queue = c_.lvwCookiesToDelete;
  if (!queue) return;
  const size_t count = queue->item_count();
  for (size_t i = 0; i < count && i < queue->item_count(); ++i) {
    const ui::ListItem row = queue->items()[i];
    if (row.checked) {
      Progress(i + 1, count, static_cast<int>(i + 1 + count));
      SetCaption(LowerAnsi(row.text));
      if (FileExists(s_.platform.files, row.text)) quarantine_.QuarantineCookie(row.text);
    }
    Turn();
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
