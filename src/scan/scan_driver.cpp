#include "scan/scan_driver.h"

#include <cstdlib>

#include "core/paths.h"
#include "definitions/definition_files.h"
#include "scan/scan_paths.h"
#include "scan/scanners.h"
#include "core/text.h"

namespace kx {

bool SettingAsBoolean(const std::string& value) {
  std::string v = LowerAnsi(Trim(value));
  if (v == "true") return true;
  if (v == "false" || v.empty()) return false;
  return std::strtod(v.c_str(), nullptr) != 0;
}

long SettingAsNumber(const std::string& value) { return std::strtol(value.c_str(), nullptr, 10); }


ScanSummary ScanDriver::Summary() const {
  const ScanState::Inspected& shown = state_.inspectedShown();
  return {startTime_, endTime_, shown.memory, shown.registry, shown.files};
}

ScanDriver::ScanDriver(ScanView view, ScanServices services, ScanHost& host, ThreatList& threats, ScanState& state,
                       ModRegistryRelated& registry)
    : view_(view), services_(std::move(services)), host_(host), threats_(threats), state_(state), registry_(registry) {}

namespace {
void Caption(ui::Control* c, const std::string& s) {
  if (c) c->set_caption(s);
}
void Enable(ui::Control* c, bool on) {
  if (c) c->set_enabled(on);
}
void Visible(ui::Control* c, bool on) {
  if (c) c->set_visible(on);
}
void Value(ui::Control* c, int v) {
  if (c && v >= 0) c->set_value(v);
}
void Range(ui::Control* c, int max) {
  if (c) c->set_range(0, max);
}

}  // namespace

void ScanDriver::Frozen(const std::function<void()>& changes) {
  state_.FreezeRedraw(true);
  Step(changes);
  state_.FreezeRedraw(false);
}

void ScanDriver::PlaceCircleBeside(ui::Control* label) {
  if (!view_.shpCircle || !label) return;
  view_.shpCircle->set_left(label->left() - 250);
  view_.shpCircle->set_top(label->top() + 11);
}

void ScanDriver::StartScan(bool autoDelete) {
  // Asked for this one scan only: it must not carry over to the next one the user starts.
  autoDelete_ = autoDelete;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{autoDelete_};
  const ScanView& v = view_;
  Step([&] { Enable(v.tmrScroll, false); });
  Step([&] { host_.HideDeleteFailed(); });
  Step([&] {
    if (v.shpCircle) {
      v.shpCircle->set_left(1215);
      v.shpCircle->set_top(645);
    }
    Visible(v.shpCircle, false);
    Visible(v.cmdRemove, false);
    Enable(v.cmdResults, false);
    Enable(v.cmdSettings, false);
  });
  Step([&] { host_.ShowOnlySweepNowPanel(); });
  Step([&] { host_.ApplyTimerSettings(false); });
  Step([&] {
    Enable(v.cmdScanNow, false);
    Enable(v.cmdScan, false);
    Enable(v.cmdStop, true);
    Enable(v.cmdPause, true);
    Enable(v.cmdLog, false);
    Enable(v.cmdUpdate, false);
    Enable(v.cmdStatus, false);
  });
  Frozen([&] {
    for (ui::Control* c : {v.progress.lblRegistryInspected, v.progress.lblFilesFolderInspected, v.progress.lblMemoryInspected,
                           v.progress.lblSoftwareFound, v.progress.lblRemovePicSoftwareFound, v.lists.lbltracesFound,
                           v.lblPercentageCompleted, v.progress.lblStatus, v.lblTotalNoOfRunningItems})
      Caption(c, "0");
    Caption(v.lblRemovalSummary, "");
    Visible(v.lblRemovalSummary, false);
    state_.Reset();
    threats_.ClearAll();
    if (v.lvwFileNotFounds) v.lvwFileNotFounds->ClearItems();
  });
  state_.stop = false;

  startTime_ = FormatUsDateTime(services_.clock.Now());
  bool ran = false;
  Step([&] { ran = RunScanPhases(); });
  endTime_ = FormatUsDateTime(services_.clock.Now());
  // Whatever the progress labels last showed, the end shows the final counts.
  Step([&] { state_.ShowCounters(); });

  if (ran) {
    Step([&] {
      host_.WriteSetting("Settings", "lblLastScan", endTime_);
      if (v.optScanAllSelectedHardDrive && v.optScanAllSelectedHardDrive->value() != 0)
        host_.WriteSetting("Settings", "lblLastFullScan", endTime_);
    });
    Step([&] {
      if (v.chkMakeLog && v.chkMakeLog->value() == 1) host_.WriteScanReport();
    });
  }
  Step([&] {
    Visible(v.cmdRemove, true);
    Enable(v.cmdRemove, true);
    Enable(v.cmdResults, true);
    Enable(v.cmdSettings, true);
    Visible(v.shpCircle, false);
  });
  if (!ran) {
    // Refused for want of definitions: no scan time, no report, and the reason stays in
    // view rather than a completion.
    Frozen([&] {
      Caption(v.progress.lblStatus, Msg("MSG_MISSING"));
      Caption(v.lblPercentageCompleted, "0% " + Msg("MSG_COMPLETED"));
      Value(v.pbgMain, 0);
      Value(v.progress.pb1, 0);
      Value(v.progress.pb2, 0);
    });
  } else if (state_.stop) {
    Frozen([&] {
      Caption(v.progress.lblStatus, Msg("MSG_SCAN_CANCELLED"));
      Caption(v.lblPercentageCompleted, "0% " + Msg("MSG_COMPLETED"));
      Value(v.pbgMain, 0);
    });
  } else {
    Frozen([&] {
      Caption(v.progress.lblStatus, Msg("MSG_SCAN_COMPLETED"));
      Value(v.progress.pb1, 100);
      Value(v.progress.pb2, 100);
    });
    if (autoDelete_) {
      Step([&] { host_.ShowResultsPanel(); });
      Step([&] { threats_.cmdSelectAll_Click(); });
      Step([&] { host_.RunAutomaticDeletion(); });
    }
  }
  Step([&] {
    Enable(v.cmdScan, true);
    Enable(v.cmdScanNow, true);
    Enable(v.cmdStop, false);
    Enable(v.cmdLog, true);
    Enable(v.cmdPause, false);
    Enable(v.cmdUpdate, true);
    Enable(v.cmdStatus, true);
  });
  Step([&] { host_.ApplyTimerSettings(true); });
  // The status panel would put a definitions date over "Files Missing, Run Live Update".
  if (ran) Step([&] { host_.ShowStatusPanelValues(); });
}

bool ScanDriver::RunScanPhases() {
  const ScanView& v = view_;
  if (!CheckDefinitionsPresent()) {
    services_.ui.MsgBox(Msg("MSG_MISSING"), ui::MB_ICON_INFORMATION, services_.productName);
    return false;
  }
  std::unique_ptr<ScanPaths> paths = options.cachePaths ? MakeCachedScanPaths(services_.system, services_.files)
                                                        : MakeLiteralScanPaths(services_.system, services_.files);
  DefinitionStore store(services_.files, services_.dataFolder);
  Step([&] {
    threats_.SetSafeList(LoadSafetyList(store, paths->placeholders(),
                                        LineLoop{[&] { return state_.stop; }, [&] { state_.YieldToMessageLoop(); }}));
  });
  Step([&] {
    Visible(v.pbgMain, false);
    Range(v.pbgMain, 100);
    Value(v.pbgMain, 0);
    Range(v.progress.pb1, 100);
    Value(v.progress.pb1, 0);
    Range(v.progress.pb2, 100);
    Value(v.progress.pb2, 0);
  });
  cookieFiles_ = 0;
  const DefinitionCounts& d = state_.definitions;

  if (SettingAsNumber(host_.ReadSetting("OptionAndSettings", "chkScanCookies", "1")) == 1) {
    Visible(v.shpCircle, false);
    Frozen([&] {
      Caption(v.lblPercentageCompleted, Msg("MSG_COOKIES"));
      state_.phaseCaption = Msg("MSG_COOKIES") + ": ";
    });
    Step([&] {
      if (phases_.cookies) phases_.cookies(cookieFiles_);
    });
    Frozen([&] {
      Value(v.progress.pb1, 100);
      Value(v.progress.pb2, Percentage(d.cookie, d.total));
      Caption(v.progress.lblStatus, Msg("MSG_COOKIES_FINISHED"));
    });
  }

  if (SettingAsBoolean(host_.ReadSetting("OptionAndSettings", "chkSweepMemory", "True"))) {
    Frozen([&] {
      Caption(v.lblPercentageCompleted, Msg("MSG_MEMORY"));
      state_.phaseCaption = Msg("MSG_MEMORY") + ": ";
    });
    Step([&] {
      if (phases_.memory) phases_.memory();
    });
  } else {
    state_.ShowMemoryInspected(Msg("MSG_NOTSELECED"));
  }

  ScanContext ctx{services_.files, store, *paths, state_, threats_};
  Frozen([&] {
    Caption(v.lblPercentageCompleted, Msg("MSG_REGISTRY"));
    state_.phaseCaption = Msg("MSG_REGISTRY") + ": ";
    Value(v.progress.pb1, 0);
    Value(v.progress.pb2, Percentage(d.cookie, d.total));
  });
  if (SettingAsBoolean(host_.ReadSetting("OptionAndSettings", "chkScanRegistry", "True"))) {
    PlaceCircleBeside(v.Label4);
    RegistryScanner scanner(ctx, registry_, options.cachePaths);
    Step([&] { scanner.ScanRegistryDefinitions(); });
  } else {
    state_.ShowRegistryInspected(Msg("MSG_NOTSELECED"));
  }

  Range(v.pbgMain, 100);
  Frozen([&] {
    Caption(v.lblPercentageCompleted, Msg("MSG_SPYWARE"));
    state_.phaseCaption = Msg("MSG_SPYWARE") + ": ";
    Value(v.pbgMain, 0);
  });
  PlaceCircleBeside(v.Label5);
  FileFolderScanner files(ctx);
  Step([&] { files.ScanFileDefinitions(); });
  Step([&] { files.ScanFolderDefinitions(); });

  Range(v.pbgMain, 100);
  state_.UpdateScanProgress("Scan Complete", 100, 100);
  return true;
}

bool ScanDriver::CheckDefinitionsPresent() {
  for (DefinitionFile file : {DefinitionFile::File, DefinitionFile::Registry, DefinitionFile::Exe,
                              DefinitionFile::BlockedCookies, DefinitionFile::Directory}) {
    // The program's own files count whatever their attributes: a hidden one is still there.
    if (!FileExistsAnyAttributes(services_.files, services_.dataFolder + "\\" + std::string(DefinitionFileName(file)))) {
      Caption(view_.lblDefVersion, Msg("MSG_MISSINGFILES"));
      DeleteDefinitionFiles();
      return false;
    }
  }
  return true;
}

void ScanDriver::DeleteDefinitionFiles() {
  // Whatever cannot be deleted is only logged: Live Update rebuilds the set either way.
  auto remove = [this](std::string_view name) {
    const std::string path = services_.dataFolder + "\\" + std::string(name);
    const IoStatus deleted = services_.files.DeleteFile(path);
    if (!deleted && deleted.error != ERR_FILE_NOT_FOUND && services_.log)
      services_.log->Write("definitions: " + path + " not deleted, error " + std::to_string(deleted.error));
  };
  for (DefinitionFile file : {DefinitionFile::Directory, DefinitionFile::BlockedCookies, DefinitionFile::Exe,
                              DefinitionFile::Registry, DefinitionFile::File})
    remove(DefinitionFileName(file));
  remove(kDefinitionsDateFileName);
}

void ScanDriver::lblStart_Click() {
  host_.ShowScanPanel();
  if (view_.cmdScanNow && view_.cmdScanNow->enabled()) StartScan();
}

void ScanDriver::cmdPause_Click() {
  Enable(view_.cmdPause, false);
  Enable(view_.cmdStop, false);
  services_.ui.MsgBox(Msg("MSG_PAUSED"), ui::MB_ICON_INFORMATION, services_.productName);
  Enable(view_.cmdPause, true);
  Enable(view_.cmdStop, true);
}

void ScanDriver::lblPause_Click() {
  Enable(view_.lblPause, false);
  services_.ui.MsgBox(Msg("MSG_PAUSED"), ui::MB_ICON_INFORMATION, services_.productName);
  Enable(view_.lblPause, true);
}

void ScanDriver::cmdStop_Click() {
  if (services_.ui.MsgBox(Msg("MSG_STOP"), ui::MB_YES_NO | ui::MB_ICON_QUESTION, services_.productName) ==
      ui::MsgResult::Yes) {
    services_.ui.SetMousePointer(ui::POINTER_DEFAULT);
    state_.stop = true;
  }
}

void ScanDriver::lblStop_Click() {
  if (services_.ui.MsgBox(Msg("MSG_SURE"), ui::MB_YES_NO | ui::MB_ICON_QUESTION, services_.productName) ==
      ui::MsgResult::Yes)
    state_.stop = true;
}

}  // namespace kx
