// The main window's load: the start-up sequence and the status values it shows.
#include "app/main_window/frm_main.h"

#include "app/app.h"
#include "app/definitions_confirmation.h"
#include "app/main_window/frm_main_parts.h"
#include "app/windows/frm_splash.h"
#include "app/startup_files.h"
#include "definitions/definition_files.h"

namespace kx {

using ui::Control;
using ui::ControlType;
using namespace frm_main;

// ------------------------------------------------------------------ start-up

long FrmMain::CountDefinitions() {
  FileSystem& files = app_.platform().files;
  cookieCount_ = exeCount_ = registryCount_ = fileCount_ = 0;
  long total = 0;
  const std::pair<DefinitionFile, long*> counts[] = {{DefinitionFile::BlockedCookies, &cookieCount_},
                                                     {DefinitionFile::Exe, &exeCount_},
                                                     {DefinitionFile::Registry, &registryCount_},
                                                     {DefinitionFile::File, &fileCount_},
                                                     {DefinitionFile::Directory, &fileCount_}};
  for (auto [file, count] : counts) {
    const long lines = CountFileLines(files, dataFolder_ + "\\" + std::string(DefinitionFileName(file)));
    *count += lines;
    total += lines;
  }
  definitionsCount_ = total;
  return total;
}

void FrmMain::ShowStatusPanelValues() {
  Settings& s = app_.settings();
  Get("lblDefCount").set_caption(GroupDigits(definitionsCount_));
  Get("lblVersion").set_caption(std::to_string(app_.info().major) + "." + std::to_string(app_.info().minor));
  Get("lblDefVersion").set_caption(ReadDefinitionsDate(app_.platform().files, dataFolder_) + " PST");
  Get("lblDefRemoved").set_caption(s.ReadSetting(kSettings, "lblDefRemoved", "0"));
  // "Never" is what is stored for no scan yet; it is shown in the window's language.
  for (const char* name : {"lblLastScan", "lblLastFullScan"}) {
    const std::string when = s.ReadSetting(kSettings, name, "Never");
    const std::string never = when == "Never" ? Message("MSG_NEVER") : std::string();
    Get(name).set_caption(never.empty() ? when : never);
  }
  ShowDefinitionsConfirmation();
}

void FrmMain::ShowDefinitionsConfirmation() {
  const bool unconfirmed = DefinitionsConfirmation(app_.settings(), app_.platform().clock).Unconfirmed();
  Control& warning = Get("lblDefUnconfirmed");
  warning.set_caption(unconfirmed ? Message("MSG_DEFS_UNCONFIRMED") : std::string());
  warning.set_visible(unconfirmed);
}

void FrmMain::FillDriveList() {
  Control& list = Get("lvwHardDrives");
  list.ClearItems();
  for (const DriveInfo& d : app_.platform().system.Drives()) {
    const bool listed = d.type == DriveType::Removable || d.type == DriveType::Remote ||
                        d.type == DriveType::CdRom || (d.type == DriveType::Fixed && d.ready);
    if (!listed || d.root.empty()) continue;
    ui::ListItem item;
    item.text = d.root.substr(0, 1);
    list.AddItem(std::move(item));
  }
}

void FrmMain::OpenHelpOnFirstStart() {
  Settings& s = app_.settings();
  if (s.ReadSetting(kSettings, "showHelp", "1") != "1") return;
  Platform& p = app_.platform();
  const std::string chm = p.system.ProgramFolder() + "\\Help.chm";
  // Kept for this user only: a standard user cannot write the machine's settings.
  if (FileExistsAnyAttributes(p.files, chm)) p.shell.Open(chm);
  backend().DoEvents();
  s.WriteSetting(kSettings, "showHelp", "0");
}

void FrmMain::OfferFirstLiveUpdate() {
  Settings& s = app_.settings();
  const std::string& product = app_.info().branding.productName;
  // Each user is asked once; the machine's value, where setup or an older version wrote
  // one, stands for every user. Nothing is written where a standard user cannot write.
  SettingError error;
  std::string firstTime = s.ReadSetting(kSettings, "FirstTime", "");
  if (firstTime.empty()) firstTime = s.ReadMachineSetting(product, kSettings, "FirstTime", "", &error);
  if (error.number != 0 || !firstTime.empty()) return;
  s.WriteSetting(kSettings, "FirstTime", "Yes");
  const std::string text = Message("MSG_THANK1") + "\r\n\r\n" + Message("MSG_THANK2") + "\r\n\r\n" + Message("MSG_THANK3");
  if (backend().MsgBox(text, ui::MB_YES_NO | ui::MB_ICON_QUESTION, Message("MSG_THANK4")) == ui::MsgResult::Yes)
    app_.subsystems().update->RunLiveUpdate();
}

void FrmMain::Form_Load() {
  Settings& s = app_.settings();
  const std::string& product = app_.info().branding.productName;
  bool firstStart = false;
  // The skin component's start call is left out: no skin is used.
  Step([&] { icon = 1; });
  Step([&] { dataFolder_ = app_.DataFolder(); });
  Step([&] { app_.StartLogFile(dataFolder_); });
  Step([&] { firstStart = s.ReadSetting(kSettings, "Language", "").empty(); });
  Step([&] {
    clsLanguages& languages = app_.CreateLanguages();
    languages.LoadBuiltInMessages();
    // Every window, so one opened later (the tray's menu, Delete Failed) is in it too.
    app_.ChangeLanguage(s.ReadSetting(kSettings, "Language", "English"));
  });
  if (firstStart) {
    Step([&] {
      s.WriteSetting(kSettings, "Language", "English");
      app_.language().Load();
      app_.language().Show(true);
    });
  }
  Step([&] { icon = app_.splash().icon ? app_.splash().icon : icon; });
  if (!app_.AcquireInstanceLock()) {
    app_.End();
    return;
  }
  // An undo of an update that was stopped half way is taken back before the set is read.
  Step([&] { app_.subsystems().update->ShowUndoAvailable(); });
  Step([&] { PromotePendingDefinitions(app_.platform().files, dataFolder_, &app_.log()); });
  Step([&] {
    // A set still incomplete is logged by the seeding, counted short below and refused by a scan.
    (void)SeedDefinitionSet(app_.platform().files,
                      app_.platform().system.ProgramFolder() + "\\" + kMachineDefinitionsFolder, dataFolder_,
                      &app_.log());
  });
  Step([&] { CountDefinitions(); });
  Step([&] { ShowStatusPanelValues(); });
  Step([&] { app_.subsystems().scan->LoadExclusions(); });
  Step([&] {
    HidePanels();
    const std::string title = Message("MSG_STATUS_TITLE");
    Get("frmStatus").set_caption(title.empty() ? product + " Status" : title);
    Get("frmStatus").set_visible(true);
  });
  Step([&] {
    s.WriteSetting(kOptions, "STATUS", "RUNNING");
    s.WriteSetting(kOptions, "RESTART", "False");
  });
  Step([&] {
    set_caption(Message("MSG_CAPTION"));
    Get("cmdWebsite").set_caption(Message("MSG_WEBSITE"));
  });
  Step([&] {
    Get("shpCircle").set_visible(false);
    set_show_in_taskbar(false);
  });
  Step([&] { ApplyTimerSettings(false); });
  Step([&] { app_.subsystems().schedule->LoadSchedule(); });
  Step([&] { FillDriveList(); });
  Step([&] { LoadSettingsIntoWindow(); });
  Step([&] { ApplyTimerSettings(true); });
  Step([&] { SetTimer("tmrScroll", false); });
  Step([&] { app_.deleteFailed().Load(); });
  Step([&] { Get("Label22").set_caption(Message("MSG_CAPTION2")); });
  Step([&] { OpenHelpOnFirstStart(); });
  Step([&] {
    if (ParseSettingInt(s.ReadSetting(kOptions, "chkAutomaticUpdate", "0")) == 1) SetTimer("timUpdate", true);
  });
  Step([&] {
    if (s.ReadSetting(kSettings, "Minimized", "No") == "Yes") app_.subsystems().tray->SendToTray();
  });
  Step([&] { OfferFirstLiveUpdate(); });
}

}  // namespace kx
