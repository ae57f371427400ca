// The main window: four stacked panels (Scan, Results, Status, Options), the navigation
// buttons, the side bar, the menus, the working lists and the window's timers.
#pragma once

#include <cstdint>
#include <string>

#include "app/main_window/main_window_controls.h"
#include "platform/forms/form.h"
#include "platform/log.h"

namespace kx {

class App;

class FrmMain : public MainWindowControls {
 public:
  using Control = ui::Control;

  FrmMain(ui::Backend& backend, App& app);

  // Settings menu: the four option tabs, a separator, then "Language...".
  static constexpr int kLanguageMenuItem = 5;
  // Appended, so the older items keep their indexes and translations.
  static constexpr int kUndoMenuItem = 9;     // mnuFileItem
  static constexpr int kRestoreMenuItem = 2;  // mnuQuarItem

  // Panels and side bar.
  void ShowScanPanel() { cmdScan_Click(); }
  void ShowPanels(bool startUp, bool options, bool results, bool sweepNow);
  void HidePanels();
  void LayoutPanels();
  void showitem(int index) {}

  // Start-up pieces, in the order the load runs them.
  long CountDefinitions();
  void ShowStatusPanelValues();
  // The Status panel's warning when no signed current date has been seen for a week.
  void ShowDefinitionsConfirmation();
  void FillDriveList();
  void LoadSettingsIntoWindow();
  // "Signatures Last Updated On <date> PST" in the window's language.
  void ShowLastUpdate();
  void ApplyTimerSettings(bool enable);
  void OpenHelpOnFirstStart();
  void OfferFirstLiveUpdate();

  // The screen's mouse pointer and the italic hover marks of the side-bar labels.
  void ResetSideBarLabels();

  // Counts kept by CountDefinitions.
  long cookieCount() const { return cookieCount_; }
  long exeCount() const { return exeCount_; }
  long registryCount() const { return registryCount_; }
  long fileCount() const { return fileCount_; }
  long definitionsCount() const { return definitionsCount_; }

  const std::string& dataFolder() const { return dataFolder_; }

  // Whether the program has a button in the taskbar.
  bool taskbarButton() const { return show_in_taskbar(); }

  // Ways out.
  void UnloadSteps();     // the numbered steps of the window's unload
  void BeforeUnload();    // STATUS, RESTART and the tray icon

 private:
  // One step of a handler that goes on whatever happens to it: what it throws is logged
  // with where the step stands, and the next step runs.
  // A step that takes long is logged with its time, so a slow start can be told apart.
  template <typename F>
  void Step(F&& f, const char* function = __builtin_FUNCTION(), int line = __builtin_LINE()) {
    const uint64_t began = NowMs();
    GuardedStepHere(&DiagnosticsLog(), std::forward<F>(f), function, line);
    NoteSlowStep(began, function, line);
  }
  kx::Log& DiagnosticsLog();
  uint64_t NowMs();
  void NoteSlowStep(uint64_t beganMs, const char* function, int line);

  void Wire();

  void Form_Load();
  void Form_Resize();
  void Form_QueryUnload(int& cancel, int unloadMode);
  void Form_Unload(int& cancel);

  // Navigation.
  void cmdScan_Click();
  void cmdResults_Click();
  void cmdSettings_Click();
  void cmdStatus_Click();
  void cmdWebsite_Click();
  void Command2_Click();
  void txtFilename_KeyPress(int& keyAscii);
  void TabStrip1_Click();
  void mnuFileItem_Click(int index);
  void mnuSettingsItem_Click(int index);
  void OpenLanguageWindow();
  void mnuViewHelp_Click();
  void Form_Help();  // F1
  void mnuAboutItem_Click();
  void mnuDebugItem_Click(int index);
  void lblOptions_Click();
  void lblResult_Click();
  void lblStart_Click();
  void lblHide_Click();
  void SideBarLabel_MouseMove(Control& label);

  // Options that store at once.
  // The stored value of an option into its control, and back.
  void LoadOption(const char* name);
  void StoreOption(const char* name);
  void chkAutoProtect_Click();
  void chkHomePage_Click();
  void optIEHomePageSheild_Click(bool on);
  void optMemorySheild_Click(bool on);
  void optRestoreMode_Click();
  void optScanType_Click(bool all);
  void lvwHardDrives_ItemCheck(size_t item);
  void cmdDefaultSetting_Click();
  void chkRunAtStartup_Click();
  void PutRunAtStartupBack(int value);


  void SetTimer(const char* name, bool running);
  std::string Message(const char* key) const;

  App& app_;
  std::string dataFolder_;
  bool puttingRunAtStartupBack_ = false;  // the tick's own click, as the option is put back
  long cookieCount_ = 0, exeCount_ = 0, registryCount_ = 0, fileCount_ = 0, definitionsCount_ = 0;
};

}  // namespace kx
