// The main window's controls and where they stand: the panels, the side bar, the menus,
// the working lists and timers, their events, and the layout that stacks the panels.
#include "app/main_window/frm_main.h"
#include "app/main_window/main_window_controls.h"

#include "app/app.h"
#include "app/main_window/frm_main_parts.h"

namespace kx {

using ui::Control;
using ui::ControlType;
using namespace frm_main;

// ------------------------------------------------------------------ controls
using ui::Place;

MainWindowControls::MainWindowControls(ui::Backend& backend) : Form("FrmMain", backend) {
  set_caption("Vuziva zav Uzavira Rizezov");
  Move(0, 0, T(936), T(640));
  set_min_client_size(T(kMinClientW), T(kMinClientH));
  BuildMenus();
  auto& banner = Add(ControlType::Label, "Label22");
  banner.set_caption("Welcome");
  banner.set_bold(true);
  BuildSideBar();
  BuildPanels();
  BuildWorkingLists();
  BuildTimers();
}

void MainWindowControls::BuildMenus() {
  auto items = [this](const char* top, const char* caption, const char* item,
                      std::initializer_list<const char*> captions) {
    auto& menu = Add(ControlType::Menu, top);
    menu.set_caption(caption);
    int i = 0;
    for (const char* c : captions) Add(ControlType::Menu, item, &menu, i++).set_caption(c);
    return &menu;
  };
  // "&" marks the letter that picks the item from the keyboard; each language sets its own.
  items("mnuFile", "&File", "mnuFileItem",
        {"&Scan Now", "Scan &Results", "View &Log", "-", "Run Live &Update", "-", "&Minimize to Tray", "-", "E&xit",
         "U&ndo last definitions update"});
  items("mnuSettings", "&Settings", "mnuSettingsItem",
        {"&Scan Options", "&Proactive Protection", "Sc&hedule", "&Auto Update", "-", "&Language..."});
  items("mnuQuarantine", "&Quarantine", "mnuQuarItem", {"View &Quarantine", "View &Exclusions", "&Restore..."});
  auto& help = Add(ControlType::Menu, "mnuHelp");
  help.set_caption("&Help");
  Add(ControlType::Menu, "mnuViewHelp", &help).set_caption("View &Help");
  auto& about = Add(ControlType::Menu, "mnuAbout");
  about.set_caption("&About");
  Add(ControlType::Menu, "mnuAboutItem", &about).set_caption("&About this software");
  auto& popup = Add(ControlType::Menu, "mnuPopup");
  popup.set_caption("Popup");
  popup.set_visible(false);
  Add(ControlType::Menu, "mnuFileProperties", &popup).set_caption("File &Properties");
  items("mnuDebug", "Debug", "mnuDebugItem",
        {"Show Homepage Changed", "Show SignatureUpdated", "Show SpywareFound"})->set_visible(false);
}

void MainWindowControls::BuildSideBar() {
  const char* buttons[][2] = {{"cmdScan", "Scan Now"},     {"cmdResults", "Results/Removal"},
                              {"cmdSettings", "Settings"}, {"cmdStatus", "Status"},
                              {"cmdUpdate", "Live Update"}, {"cmdLog", "View Log"},
                              {"Command5", "Send to Tray"}, {"cmdWebsite", "Visit Website"}};
  int y = kPanelTop;
  for (auto& b : buttons) {
    Place(Add(ControlType::CommandButton, b[0]), b[1], 8, y, kLeftColumn, 26);
    y += 30;
  }
  y += 6;
  const char* labels[][2] = {{"lblSweepNow", "Sweep Now"}, {"lblRemove", "Remove"},
                             {"lblOptions", "Options"},    {"lblResult", "Result"},
                             {"lblExit", "Exit"}};
  for (auto& l : labels) {
    Place(Add(ControlType::Label, l[0]), l[1], 14, y, kLeftColumn - 12, 18);
    y += 20;
  }
  Place(Add(ControlType::Label, "lblHide"), "X", 780, 6, 16, 18).set_bold(true);

  // The four side-bar pictures share one place; ShowPanels picks which shows.
  for (const char* name : {"PicStartUp", "PicOptions", "PicResults", "PicSweepNow"}) {
    auto& pic = Add(ControlType::PictureBox, name);
    pic.set_color(0xF4EEE6);
    pic.set_visible(std::string(name) == "PicStartUp");
  }
  Control* sweep = Find("PicSweepNow");
  const char* scan[][2] = {{"lblStart", "Start"}, {"lblPause", "Pause"}, {"lblStop", "Stop"},
                           {"lblViewLogFile", "Show Report"}};
  int sy = 10;
  for (auto& l : scan) {
    Place(Add(ControlType::Label, l[0], sweep), l[1], 12, sy, 170, 18);
    sy += 22;
  }
}

void MainWindowControls::BuildPanels() {
  auto& status = Add(ControlType::Frame, "frmStatus");
  status.set_caption("Status");
  BuildStatusPanel(status);
  auto& scan = Add(ControlType::Frame, "frmScan");
  scan.set_caption("Scan");
  BuildScanPanel(scan);
  auto& results = Add(ControlType::Frame, "frmResults");
  results.set_caption("Results");
  BuildResultsPanel(results);
  auto& options = Add(ControlType::Frame, "frmOptions");
  options.set_caption("");
  BuildOptionsPanel(options);
  for (Control* p : {&scan, &results, &options}) p->set_visible(false);
}

void MainWindowControls::BuildStatusPanel(Control& panel) {
  const char* rows[][3] = {
      {"Label10", "Your definitions were last updated:", "lblDefVersion"},
      {"Label11", "You are protected against this many Adware/Spyware traces:", "lblDefCount"},
      {"Label12", "You have removed this many adware and spyware traces:", "lblDefRemoved"},
      {"Label13", "This program's version number is:", "lblVersion"},
      {"Label14", "Your last scan was completed:", "lblLastScan"},
      {"Label15", "Your last full system scan was completed:", "lblLastFullScan"}};
  int y = 36;
  for (auto& r : rows) {
    // Two lines' room: some translations wrap.
    Place(Add(ControlType::Label, r[0], &panel), r[1], 16, y, 380, 32);
    Place(Add(ControlType::Label, r[2], &panel), "", 404, y, 200, 18).set_bold(true);
    y += 36;
  }
  // Below the rows, across the panel: the sentence runs to two lines in some languages.
  auto& unconfirmed = Place(Add(ControlType::Label, "lblDefUnconfirmed", &panel), "", 16, y + 8, 548, 36);
  unconfirmed.set_bold(true);
  unconfirmed.set_visible(false);
}

void MainWindowControls::BuildScanPanel(Control& panel) {
  Place(Add(ControlType::CommandButton, "cmdScanNow", &panel), "Start", 16, 24, 96, 26);
  Place(Add(ControlType::CommandButton, "cmdPause", &panel), "Pause", 120, 24, 96, 26);
  Place(Add(ControlType::CommandButton, "cmdStop", &panel), "Stop", 224, 24, 96, 26);
  Place(Add(ControlType::Label, "lblStatus", &panel), "", 16, 60, 548, 32);
  Place(Add(ControlType::Label, "lblPercentageCompleted", &panel), "", 16, 96, 548, 18);
  for (auto [name, y] : {std::pair{"pbgMain", 118}, {"pb1", 140}, {"pb2", 162}})
    Place(Add(ControlType::ProgressBar, name, &panel), "", 16, y, 548, 16);
  const char* counters[][3] = {{"Label3", "Spyware/Adware Found", "lblSoftwareFound"},
                               {"Label4", "Registry Entries Inspected", "lblRegistryInspected"},
                               {"Label5", "Files/Folders Inspected", "lblFilesFolderInspected"},
                               {"Label6", "Cookies/Processes Inspected", "lblMemoryInspected"}};
  int y = 192;
  for (auto& c : counters) {
    Place(Add(ControlType::Label, c[0], &panel), c[1], 40, y, 220, 18);
    Place(Add(ControlType::Label, c[2], &panel), "0", 268, y, 120, 18).set_bold(true);
    y += 22;
  }
  Place(Add(ControlType::Label, "lblTotalNoOfRunningItems", &panel), "0", 396, y - 22, 80, 18);
  auto& circle = Place(Add(ControlType::Shape, "shpCircle", &panel), "", 16, 194, 12, 12);
  circle.set_color(0x00A000);
  circle.set_visible(false);
  auto& found = Place(Add(ControlType::ListView, "lvwSpywareFound", &panel), "", 16, 284, 548, 190);
  found.set_columns({{"Adware and Spyware Found", T(520)}});
  auto& remove = Place(Add(ControlType::CommandButton, "cmdRemove", &panel), "Click Here to Continue",
                       384, 484, 180, 28);
  remove.set_visible(false);
}

void MainWindowControls::BuildResultsPanel(Control& panel) {
  Place(Add(ControlType::Label, "Label16", &panel),
        "Check each item you would like to work with, then press Exclude or Delete", 16, 20, 548, 28);
  Place(Add(ControlType::Label, "Label17", &panel), "Traces found :", 16, 52, 130, 18);
  Place(Add(ControlType::Label, "lbltracesFound", &panel), "0", 150, 52, 60, 18).set_bold(true);
  Place(Add(ControlType::Label, "Label18", &panel), "Spyware\\Adware found : ", 220, 52, 230, 18);
  Place(Add(ControlType::Label, "lblRemovePicSoftwareFound", &panel), "0", 454, 52, 60, 18).set_bold(true);
  auto& list = Place(Add(ControlType::ListView, "lvwPicRemoveListOfSpywareFoundAndToBeRemoved", &panel),
                     "", 16, 76, 548, 294);
  list.set_checkboxes(true);
  // Until the user drags a column, the location takes what the name and type leave.
  list.set_columns({{"Spyware/Adware Found", T(180)}, {"Location", T(240)}, {"Type", T(110)}});
  list.set_fill_column(2);
  Place(Add(ControlType::Label, "lblDeletingCaption", &panel), "", 16, 378, 420, 18);
  Place(Add(ControlType::Label, "lblDeletingPercentageCompleted", &panel), "", 444, 378, 120, 18);
  Place(Add(ControlType::ProgressBar, "pgbDeleteSpywaresFound", &panel), "", 16, 400, 548, 16);
  // Filled by a removal run; two lines leave room for the quarantine's path.
  Place(Add(ControlType::Label, "lblRemovalSummary", &panel), "", 16, 420, 548, 32);
  Place(Add(ControlType::CommandButton, "cmdSelectAll", &panel), "Select All", 16, 476, 120, 28);
  Place(Add(ControlType::CommandButton, "cmdExclude", &panel), "Exclude", 144, 476, 120, 28)
      .set_tool_tip("Exclude selected items from being detected in future scans");
  Place(Add(ControlType::CommandButton, "Command4", &panel), "Delete", 272, 476, 120, 28)
      .set_tool_tip("Permanently delete selected items");
}

void MainWindowControls::BuildOptionsPanel(Control& panel) {
  auto& tabs = Place(Add(ControlType::TabStrip, "TabStrip1", &panel), "", 8, 18, 564, 494);
  tabs.set_tabs({"Scan Options", "Proactive Protection", "Schedule", "Auto Update"});
  Control* view[4];
  for (int i = 0; i < 4; ++i) {
    view[i] = &Place(Add(ControlType::Frame, "frmView", &panel, i), "", 16, 48, 548, 456);
    view[i]->set_visible(i == 0);
  }
  constexpr int FW = kSettingsPageW;

  // Scan Options.
  const char* checks[][2] = {{"chkSweepMemory", "Scan Proccesses and Files"},
                             {"chkScanRegistry", "Scan Windows Registry"},
                             {"chkScanCookies", "Scan Internet Cookies"},
                             {"chkMakeLog", "Save scan results to log"},
                             {"chkSendData", "Send anonymous data to help identify unknown spyware"}};
  int y = 16;
  for (auto& c : checks) {
    Place(Add(ControlType::CheckBox, c[0], view[0]), c[1], 16, y, FW - 32, 20);
    y += 24;
  }
  auto& type = Place(Add(ControlType::Frame, "fraScanType", view[0]), "Scan Type", 16, 148, 250, 76);
  Place(Add(ControlType::OptionButton, "optScanAllSelectedHardDrive", &type), "Complete System Scan", 12, 20, 220, 20);
  Place(Add(ControlType::OptionButton, "optScanOnlyKnownSoftwares", &type), "Quick Scan", 12, 46, 220, 20);
  auto& drives = Place(Add(ControlType::Frame, "fraDriveSelection", view[0]), "Drive Selection", 282, 148, FW - 298, 160);
  auto& list = Place(Add(ControlType::ListView, "lvwHardDrives", &drives), "", 12, 20, FW - 322, 128);
  list.set_checkboxes(true);
  list.set_columns({{"Drive", T(FW - 350)}});
  Place(Add(ControlType::CommandButton, "Command1", view[0]), "Scan Now", 16, 240, 150, 28);

  // Proactive Protection.
  auto& home = Place(Add(ControlType::Frame, "fraHomePageShield", view[1]), "Home Page Shield", 16, 12, FW - 32, 172);
  Place(Add(ControlType::CheckBox, "chkHomePage", &home), "Enable", 12, 24, 100, 20);
  auto& homeState = Place(Add(ControlType::Frame, "fraHomePageState", &home), "", 130, 12, 260, 38);
  Place(Add(ControlType::OptionButton, "optIEHomePageSheildOn", &homeState), "Enabled", 10, 12, 100, 20);
  Place(Add(ControlType::OptionButton, "optIEHomePageSheildOff", &homeState), "Disabled", 130, 12, 100, 20);
  auto& mode = Place(Add(ControlType::Frame, "fraRestoreMode", &home),
                     "When a change in my Home Page is detected:", 12, 62, FW - 56, 96);
  Place(Add(ControlType::OptionButton, "optAlwaysnotifybeforerestoring", &mode),
        "Ask me what I would like to do", 12, 24, FW - 84, 20);
  Place(Add(ControlType::OptionButton, "optRestoredefaultwithoutnotification", &mode),
        "Silently restore my original home page", 12, 54, FW - 84, 20);
  auto& memory = Place(Add(ControlType::Frame, "fraMemoryShield", view[1]), "Memory Shield", 16, 196, FW - 32, 62);
  Place(Add(ControlType::CheckBox, "chkAutoProtect", &memory), "Enable", 12, 26, 100, 20);
  auto& memoryState = Place(Add(ControlType::Frame, "fraMemoryState", &memory), "", 130, 14, 260, 38);
  Place(Add(ControlType::OptionButton, "optMemorySheildOn", &memoryState), "Enabled", 10, 12, 100, 20);
  Place(Add(ControlType::OptionButton, "optMemorySheildOff", &memoryState), "Disabled", 130, 12, 100, 20);
  Place(Add(ControlType::CheckBox, "chkRunAtStartup", view[1]),
        "Run at Startup and protect my computer automatically", 16, 274, FW - 32, 20);

  // Schedule.
  Place(Add(ControlType::CheckBox, "chkAutomaticScanYesOrNo", view[2]), "Enable Scheduled Scans", 16, 16, FW - 32, 20);
  auto& days = Place(Add(ControlType::ComboBox, "cmbDays", view[2]), "", 16, 48, 150, 22);
  days.set_list({"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday",
                 "Daily", "Date & Time", "Never!"});
  Place(Add(ControlType::DTPicker, "dtpScheduleDate", view[2]), "", 176, 48, 120, 22);
  Place(Add(ControlType::DTPicker, "dtpScheduleTime", view[2]), "", 306, 48, 110, 22).set_time_format(true);
  Place(Add(ControlType::CheckBox, "chkAutoDel", view[2]), "Delete spyware automatically after scheduled scan",
        16, 84, FW - 32, 20);
  Place(Add(ControlType::CommandButton, "CmdProceed", view[2]), "Apply", 16, 116, 90, 28);
  Place(Add(ControlType::CommandButton, "cmdDefaultSetting", view[2]), "Reset", 114, 116, 90, 28);

  // Auto Update.
  Place(Add(ControlType::CheckBox, "chkAutomaticUpdate", view[3]), "Enable automatic Live update (recommended)",
        16, 16, FW - 32, 20);
  Place(Add(ControlType::Label, "lblLastUpdate", view[3]), "Last update", 16, 44, FW - 32, 18);
  Place(Add(ControlType::CommandButton, "cmdLiveUpdate", view[3]), "Run Live Update Now", 16, 68, 220, 28);
  auto& submit = Place(Add(ControlType::Frame, "fraSubmit", view[3]), "Submit a File", 16, 112, FW - 32, 110);
  Place(Add(ControlType::TextBox, "txtFilename", &submit), "", 12, 26, FW - 32 - 208, 22);
  Place(Add(ControlType::CommandButton, "Command2", &submit), "Browse", FW - 32 - 188, 25, 84, 24);
  Place(Add(ControlType::CommandButton, "cmdSubmit", &submit), "Submit", FW - 32 - 96, 25, 84, 24);
  Place(Add(ControlType::Label, "Label26", &submit), "", 12, 60, FW - 56, 36);
}

void MainWindowControls::BuildWorkingLists() {
  // Scanners and the removal run keep their tables here; the frame stays out of sight
  // beyond the right edge rather than hidden.
  auto& frame = Place(Add(ControlType::Frame, "fraWorkingLists"), "", 0, 0, 420, 300);
  Place(Add(ControlType::Label, "Label20", &frame), "DO NOT HIDE THIS FRAME BY ITS PROPERTIES", 8, 16, 400, 18);
  auto& files = Place(Add(ControlType::ListView, "lvwFilesToBeDeleted", &frame), "", 8, 40, 200, 60);
  files.set_checkboxes(true);
  files.set_columns({{"", 1400}, {"", 1400}});
  Place(Add(ControlType::ListView, "lvwFileNotFounds", &frame), "", 212, 40, 200, 60).set_columns({{"", 1400}});
  Place(Add(ControlType::ListView, "lvwBlockedCookies", &frame), "", 8, 110, 200, 60).set_columns({{"", 1400}});
  auto& cookies = Place(Add(ControlType::ListView, "lvwCookiesToDelete", &frame), "", 212, 110, 200, 60);
  cookies.set_checkboxes(true);
  cookies.set_columns({{"Cookie Name", 1400}, {"CookieLocation", 1400}});
  auto& registry = Place(Add(ControlType::ListView, "lvwRegistryToBeDeleted", &frame), "", 8, 180, 404, 80);
  registry.set_checkboxes(true);
  registry.set_columns({{"Main Key", 1400}, {"KeyValue", 1400}, {"Value", 1400}, {"SpywareName", 1400}});
}

void MainWindowControls::BuildTimers() {
  const std::pair<const char*, int> timers[] = {{"tmrScroll", 200}, {"tmrCheckHomePage", 5000},
                                                {"tmrMemoryInspected", 10000}, {"tmrScheduler", 10},
                                                {"timUpdate", 1000}};
  for (auto [name, interval] : timers) {
    auto& t = Add(ControlType::Timer, name);
    t.set_interval(interval);
    t.set_enabled(std::string(name) != "timUpdate");
  }
}

void FrmMain::Wire() {
  onLoad = [this] { Form_Load(); };
  onResize = [this] { Form_Resize(); };
  onHelp = [this] { Form_Help(); };
  onQueryUnload = [this](int& cancel, int mode) { Form_QueryUnload(cancel, mode); };
  onUnload = [this](int& cancel) { Form_Unload(cancel); };
  onNotifyIconMessage = [this](int message) { app_.subsystems().tray->TrayIconMessage(message); };
  auto on = [this](const char* name, std::function<void()> f) { Get(name).onClick = std::move(f); };
  const Subsystems& sub = app_.subsystems();

  on("cmdScan", [this] { cmdScan_Click(); });
  on("cmdResults", [this] { cmdResults_Click(); });
  on("cmdSettings", [this] { cmdSettings_Click(); });
  on("cmdStatus", [this] { cmdStatus_Click(); });
  on("cmdRemove", [this] { cmdResults_Click(); });
  on("Command1", [this] { cmdScan_Click(); });
  on("cmdUpdate", [&sub] { sub.update->RunLiveUpdate(); });
  on("cmdLiveUpdate", [&sub] { sub.update->RunLiveUpdate(); });
  on("cmdLog", [&sub] { sub.report->ShowReport(); });
  on("Command5", [&sub] { sub.tray->SendToTray(); });
  on("cmdWebsite", [this] { cmdWebsite_Click(); });
  on("cmdScanNow", [&sub] { sub.scan->StartScan(); });
  on("cmdPause", [&sub] { sub.scan->PauseScan(); });
  on("cmdStop", [&sub] { sub.scan->StopScan(); });
  on("cmdSelectAll", [&sub] { sub.scan->SelectAll(); });
  on("cmdExclude", [&sub] { sub.scan->ExcludeSelected(); });
  on("Command4", [&sub] { sub.removal->DeleteSelected(); });
  on("Command2", [this] { Command2_Click(); });
  on("cmdSubmit", [&sub] { sub.submission->SubmitFileName(); });
  Get("txtFilename").onKeyPress = [this](int& key) { txtFilename_KeyPress(key); };
  on("TabStrip1", [this] { TabStrip1_Click(); });

  for (Control* item : Children(&Get("mnuFile"))) {
    const int i = item->index();
    item->onClick = [this, i] { mnuFileItem_Click(i); };
  }
  for (Control* item : Children(&Get("mnuSettings"))) {
    const int i = item->index();
    item->onClick = [this, i] { mnuSettingsItem_Click(i); };
  }
  for (Control* item : Children(&Get("mnuQuarantine"))) {
    const int i = item->index();
    if (i == kRestoreMenuItem) item->onClick = [&sub] { sub.removal->OpenRestore(); };
    else item->onClick = [&sub, i] { sub.scan->QuarantineMenu(i); };
  }
  for (Control* item : Children(&Get("mnuDebug"))) {
    const int i = item->index();
    item->onClick = [this, i] { mnuDebugItem_Click(i); };
  }
  on("mnuViewHelp", [this] { mnuViewHelp_Click(); });
  on("mnuAboutItem", [this] { mnuAboutItem_Click(); });
  on("mnuFileProperties", [&sub] { sub.scan->FileProperties(); });

  // Side bar.
  on("lblOptions", [this] { lblOptions_Click(); });
  on("lblResult", [this] { lblResult_Click(); });
  on("lblStart", [this] { lblStart_Click(); });
  on("lblHide", [this] { lblHide_Click(); });
  on("lblExit", [this] { Unload(); });
  on("lblRemove", [&sub] { sub.removal->Remove(); });
  on("lblPause", [&sub] { sub.scan->PauseScan(); });
  on("lblStop", [&sub] { sub.scan->StopScan(); });
  on("lblViewLogFile", [&sub] { sub.report->ShowReport(); });
  for (const char* name : {"lblStart", "lblHide", "lblPause", "lblStop"}) {
    Control& label = Get(name);
    label.onMouseMove = [this, &label](int, int, int, int) { SideBarLabel_MouseMove(label); };
  }
  Get("PicSweepNow").onMouseMove = [this](int, int, int, int) { ResetSideBarLabels(); };

  // Options store the moment their state changes, whether the user or the load changed it.
  auto changed = [this](const char* name, std::function<void()> f) { Get(name).onChange = std::move(f); };
  // An option button acts when it becomes the selected one of its group.
  auto selected = [this](const char* name, std::function<void()> f) {
    Control& option = Get(name);
    option.onChange = [&option, f = std::move(f)] {
      if (option.value() == 1) f();
    };
  };
  for (const char* name : {"chkMakeLog", "chkScanCookies", "chkScanRegistry", "chkSweepMemory", "chkAutomaticUpdate",
                           "chkAutoDel"})
    changed(name, [this, name] { StoreOption(name); });
  changed("chkAutoProtect", [this] { chkAutoProtect_Click(); });
  changed("chkHomePage", [this] { chkHomePage_Click(); });
  selected("optIEHomePageSheildOn", [this] { optIEHomePageSheild_Click(true); });
  selected("optIEHomePageSheildOff", [this] { optIEHomePageSheild_Click(false); });
  selected("optMemorySheildOn", [this] { optMemorySheild_Click(true); });
  selected("optMemorySheildOff", [this] { optMemorySheild_Click(false); });
  selected("optAlwaysnotifybeforerestoring", [this] { optRestoreMode_Click(); });
  selected("optRestoredefaultwithoutnotification", [this] { optRestoreMode_Click(); });
  selected("optScanAllSelectedHardDrive", [this] { optScanType_Click(true); });
  selected("optScanOnlyKnownSoftwares", [this] { optScanType_Click(false); });
  Get("lvwHardDrives").onItemCheck = [this](size_t item) { lvwHardDrives_ItemCheck(item); };
  on("cmdDefaultSetting", [this] { cmdDefaultSetting_Click(); });
  changed("chkRunAtStartup", [this] { chkRunAtStartup_Click(); });
  on("CmdProceed", [&sub] { sub.schedule->ApplySchedule(); });
  changed("chkAutomaticScanYesOrNo", [&sub] { sub.schedule->ScheduleOptionChanged(); });
  on("cmbDays", [&sub] { sub.schedule->ScheduleOptionChanged(); });
  changed("dtpScheduleDate", [&sub] { sub.schedule->ScheduleOptionChanged(); });
  changed("dtpScheduleTime", [&sub] { sub.schedule->ScheduleOptionChanged(); });
  // Its handler answers the user's own click, never a state set from the store.
  on("chkSendData", [&sub] { sub.submission->SendDataOptionChanged(); });

  // Timers.
  Get("tmrScroll").onTimer = [this] { backend().DoEvents(); };
  Get("tmrCheckHomePage").onTimer = [&sub] { sub.shields->HomePageTick(); };
  Get("tmrMemoryInspected").onTimer = [&sub] { sub.shields->MemoryTick(); };
  Get("tmrScheduler").onTimer = [&sub] { sub.schedule->SchedulerTick(); };
  Get("timUpdate").onTimer = [&sub] { sub.update->AutoUpdateTick(); };
}

// ------------------------------------------------------------------ layout

void FrmMain::LayoutPanels() {
  const int cw = std::max(scale_width() / kPx, kMinClientW);
  const int ch = std::max(scale_height() / kPx, kMinClientH);
  Get("Label22").Move(T(8), T(6), T(cw - 48), T(20));
  Get("lblHide").Move(T(cw - 26), T(6), T(16), T(18));
  const int picTop = kPanelTop + 8 * 30 + 6 + 5 * 20 + 8;
  for (const char* pic : {"PicStartUp", "PicOptions", "PicResults", "PicSweepNow"})
    Get(pic).Move(T(8), T(picTop), T(kLeftColumn), T(ch - picTop - 8));

  Control& status = Get("frmStatus");
  status.Move(T(kPanelLeft), T(kPanelTop), T(cw - kPanelLeft - 8), T(ch - kPanelTop - 8));
  for (const char* panel : {"frmScan", "frmResults", "frmOptions"})
    Get(panel).Move(status.left(), status.top(), status.width(), status.height());
  const int w = status.width() / kPx, h = status.height() / kPx;

  for (const char* value : {"lblDefVersion", "lblDefCount", "lblDefRemoved", "lblVersion", "lblLastScan", "lblLastFullScan"})
    Get(value).set_width(T(w - 420));
  Get("lblDefUnconfirmed").set_width(T(w - 32));

  for (const char* wide : {"lblStatus", "lblPercentageCompleted", "pbgMain", "pb1", "pb2"})
    Get(wide).set_width(T(w - 32));
  Get("lvwSpywareFound").Move(T(16), T(284), T(w - 32), T(h - 284 - 44));
  Get("cmdRemove").Move(T(w - 196), T(h - 36), T(180), T(28));

  Get("Label16").set_width(T(w - 32));
  Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").Move(T(16), T(76), T(w - 32), T(h - 76 - 130));
  Get("lblDeletingCaption").Move(T(16), T(h - 122), T(w - 160), T(18));
  Get("lblDeletingPercentageCompleted").Move(T(w - 136), T(h - 122), T(120), T(18));
  Get("pgbDeleteSpywaresFound").Move(T(16), T(h - 100), T(w - 32), T(16));
  Get("lblRemovalSummary").Move(T(16), T(h - 80), T(w - 32), T(32));
  int x = 16;
  for (const char* button : {"cmdSelectAll", "cmdExclude", "Command4"}) {
    Get(button).Move(T(x), T(h - 44), T(120), T(28));
    x += 128;
  }

  Get("TabStrip1").Move(T(8), T(18), T(w - 16), T(h - 26));
  for (int i = 0; i < 4; ++i) Get("frmView", i).Move(T(16), T(48), T(w - 32), T(h - 64));

  Get("fraWorkingLists").Move(T(cw + 40), 0, T(420), T(300));
}

void FrmMain::ShowPanels(bool startUp, bool options, bool results, bool sweepNow) {
  Get("PicStartUp").set_visible(startUp);
  Get("PicOptions").set_visible(options);
  Get("PicResults").set_visible(results);
  Get("PicSweepNow").set_visible(sweepNow);
  SetTimer("tmrScroll", false);
}

void FrmMain::HidePanels() {
  for (const char* name : {"frmOptions", "frmScan", "frmResults", "frmStatus", "pgbDeleteSpywaresFound",
                           "lblDeletingCaption", "lblDeletingPercentageCompleted"})
    Get(name).set_visible(false);
}


}  // namespace kx
