// The main window: its handlers for navigation and menus, resizing and the ways out.
#include "app/main_window/frm_main.h"

#include "app/app.h"
#include "app/main_window/frm_main_parts.h"
#include "protection/frm_home_page_changed_alert.h"
#include "protection/frm_spyware_found_alert.h"
#include "definitions/definitions_date.h"

namespace kx {

using ui::Control;
using ui::ControlType;
using namespace frm_main;

// ------------------------------------------------------------------ building the window

FrmMain::FrmMain(ui::Backend& backend, App& app) : MainWindowControls(backend), app_(app) {
  Wire();
  LayoutPanels();
}

// ------------------------------------------------------------------ navigation

void FrmMain::cmdScan_Click() {
  HidePanels();
  Get("frmScan").set_visible(true);
}

void FrmMain::cmdResults_Click() {
  HidePanels();
  Get("frmResults").set_visible(true);
  if (Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").item_count() == 0 && Get("chkSendData").value() == 1)
    app_.subsystems().submission->SendRunningPrograms();
}

void FrmMain::cmdSettings_Click() {
  HidePanels();
  Get("frmOptions").set_visible(true);
}

void FrmMain::cmdStatus_Click() {
  HidePanels();
  Get("frmStatus").set_visible(true);
}

void FrmMain::cmdWebsite_Click() {
  std::string address = app_.info().branding.website;
  if (address.find("https://") == std::string::npos && address.find("http://") == std::string::npos)
    address = "http://" + address;
  app_.platform().shell.Open(address);
}

void FrmMain::Command2_Click() {
  auto path = backend().OpenFileDialog("Browse", "All Files (*.*)|*.*");
  if (!path) return;
  const size_t slash = path->rfind('\\');
  Get("txtFilename").set_caption(slash == std::string::npos ? *path : path->substr(slash + 1));
}

void FrmMain::txtFilename_KeyPress(int& keyAscii) {
  if (keyAscii == 13) app_.subsystems().submission->SubmitFileName();
}

void FrmMain::TabStrip1_Click() {
  Control& tabs = Get("TabStrip1");
  for (int i = 1; i <= static_cast<int>(tabs.tabs().size()); ++i)
    Get("frmView", i - 1).set_visible(i == tabs.selected_tab());
}

void FrmMain::mnuFileItem_Click(int index) {
  const Subsystems& sub = app_.subsystems();
  switch (index) {
    case 0: cmdScan_Click(); break;
    case 1: cmdResults_Click(); break;
    case 2: sub.report->ShowReport(); break;
    case 4: sub.update->RunLiveUpdate(); break;
    case 6: sub.tray->SendToTray(); break;
    case 8: Unload(); break;
    case kUndoMenuItem: sub.update->UndoLastUpdate(); break;
    default: break;
  }
}

void FrmMain::mnuSettingsItem_Click(int index) {
  if (index == kLanguageMenuItem) return OpenLanguageWindow();
  if (index >= static_cast<int>(Get("TabStrip1").tabs().size())) return;
  cmdSettings_Click();
  Get("TabStrip1").set_selected_tab(index + 1);
}

void FrmMain::OpenLanguageWindow() {
  FrmLanguage& language = app_.language();
  if (language.visible()) return;
  language.Show(true);
}

void FrmMain::ShowLastUpdate() {
  // The date is no item of the localization file: it is put back after every translation.
  Get("lblLastUpdate").set_caption(Message("MSG_LASTUPDATE") + " " +
                                   ReadDefinitionsDate(app_.platform().files, dataFolder_) + " PST");
}

void FrmMain::Form_Help() {
  // The help page of the panel in view; the Settings panel has one per tab.
  static const char* const kTabPages[] = {"options_scan.html", "options_protection.html", "options_schedule.html",
                                          "options_update.html"};
  std::string page = "index.html";
  if (Get("frmScan").visible()) page = "scan.html";
  else if (Get("frmResults").visible()) page = "results.html";
  else if (Get("frmStatus").visible()) page = "status.html";
  else if (Get("frmOptions").visible()) {
    const int tab = Get("TabStrip1").selected_tab();
    page = tab >= 1 && tab <= 4 ? kTabPages[tab - 1] : "options.html";
  }
  app_.OpenHelp(page);
}

void FrmMain::mnuViewHelp_Click() { app_.OpenHelp(""); }

void FrmMain::mnuAboutItem_Click() {
  app_.about().Load();
  app_.about().Show(true);
}

void FrmMain::mnuDebugItem_Click(int index) {
  ui::Form* windows[] = {&app_.homePageChangedAlert(), &app_.signatureUpdated(), &app_.spywareFoundAlert()};
  if (index < 0 || index > 2) return;
  windows[index]->Load();
  windows[index]->Show();
}

void FrmMain::lblOptions_Click() {
  ShowPanels(false, true, false, false);
  Get("lblOptions").set_enabled(false);
  for (const char* name : {"lblSweepNow", "lblRemove", "lblResult", "lblExit"}) Get(name).set_enabled(true);
}

void FrmMain::lblResult_Click() {
  ShowPanels(false, false, true, false);
  for (const char* name : {"pgbDeleteSpywaresFound", "lblDeletingCaption", "lblDeletingPercentageCompleted"})
    Get(name).set_visible(false);
  for (const char* name : {"lblSweepNow", "lblRemove", "lblOptions", "lblExit"}) Get(name).set_enabled(true);
  Get("lblResult").set_enabled(false);
}

void FrmMain::lblStart_Click() {
  if (!Get("cmdScanNow").enabled()) return;
  cmdScan_Click();
  app_.subsystems().scan->StartScan();
}

void FrmMain::lblHide_Click() {
  // Every way out leaves STATUS "STOPPED" and no tray icon behind.
  BeforeUnload();
  int cancel = 1;
  Form_Unload(cancel);
}

void FrmMain::SideBarLabel_MouseMove(Control& label) { label.set_italic(true); }

void FrmMain::ResetSideBarLabels() {
  for (const char* name : {"lblStart", "lblPause", "lblStop"}) Get(name).set_italic(false);
  backend().SetMousePointer(Get("cmdScan").enabled() ? ui::POINTER_DEFAULT : ui::POINTER_HOURGLASS);
}

void FrmMain::Form_Resize() {
  LayoutPanels();
  if (window_state() == ui::WindowState::Normal) {
    SetTimer("tmrScroll", true);
    SetTimer("tmrScheduler", false);
    SetTimer("tmrMemoryInspected", false);
    set_show_in_taskbar(true);
    if (visible()) app_.settings().WriteSetting(kSettings, "Minimized", "No");
  } else {
    ApplyTimerSettings(true);
    SetTimer("tmrScroll", false);
    set_show_in_taskbar(false);
  }
}

kx::Log& FrmMain::DiagnosticsLog() { return app_.log(); }

uint64_t FrmMain::NowMs() { return app_.platform().clock.TickMs(); }

void FrmMain::NoteSlowStep(uint64_t beganMs, const char* function, int line) {
  const uint64_t took = NowMs() - beganMs;
  if (took >= 50)
    app_.log().Write("start-up: " + std::string(function) + " step at line " + std::to_string(line) + " took " +
                     std::to_string(took) + " ms");
}

// ------------------------------------------------------------------ ways out

void FrmMain::BeforeUnload() {
  app_.settings().WriteSetting(kOptions, "RESTART", "False");
  app_.settings().WriteSetting(kOptions, "STATUS", "STOPPED");
  app_.subsystems().tray->RemoveTrayIcon();
}

void FrmMain::Form_QueryUnload(int& cancel, int unloadMode) { BeforeUnload(); }

void FrmMain::Form_Unload(int& cancel) { UnloadSteps(); }

void FrmMain::UnloadSteps() {
  Settings& s = app_.settings();
  Step([&] {
    // Only the user's widths: the fitted ones follow the window and are fitted again.
    const Control& list = Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
    if (list.fill_column() != 0) return;
    const auto& columns = list.columns();
    for (size_t n = 1; n <= columns.size(); ++n)
      s.WriteSetting(kSettings, "FoundCol2" + std::to_string(n), std::to_string(columns[n - 1].width));
  });
  Step([&] { s.WriteSetting(kSettings, "Max", window_state() == ui::WindowState::Maximized ? "1" : "0"); });
  Step([&] {
    set_window_state(ui::WindowState::Minimized);
    Hide();
  });
  for (const App::Window& w : app_.windows())
    if (w.unloadsWithMain)
      Step([&] {
        if (w.form->loaded()) w.form->Unload();
      });
  if (app_.website().visible()) {
    app_.EndWhenWebsiteCloses();
    return;
  }
  app_.End();
}

}  // namespace kx
