// The program's owner: the platform services, the form backend, the language engine, the
// settings store and every window. Start runs the splash window, which loads the main one.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/branding.h"
#include "localization/frm_language.h"
#include "localization/languages.h"
#include "platform/forms/form.h"
#include "platform/log.h"
#include "platform/services.h"
#include "app/settings.h"
#include "app/tray/frm_menu_popup.h"
#include "app/tray/frm_signature_updated.h"
#include "app/subsystems.h"
#include "app/tray/tray.h"
#include "protection/frm_home_page_changed_alert.h"
#include "protection/frm_spyware_found_alert.h"
#include "removal/frm_delete.h"
#include "removal/frm_restore.h"
#include "report/frm_report.h"

namespace kx {

class FrmMain;
class FrmSplash;
class FrmHelp;
class ScanWiring;
struct MainWindowViews;

// What the program knows about itself, from its version resource.
struct AppInfo {
  Branding branding;
  int major = 1, minor = 0;
  std::string exeName = "Kestrix";  // without extension
};

// The program's own version block (nullopt when it has none) and path, read the one way
// the program and its tests share; the defaults stand in for anything missing.
AppInfo AppInfoFromVersionResource(const std::optional<std::string>& versionBlock, const std::string& modulePath);

class App {
 public:
  // given: the features a caller supplies (tests record them); every null entry is taken
  // by the program's own subsystem for it, or stays idle where none is built yet.
  // log: the program's diagnostics log; null gives the program one of its own that only
  // its file (when turned on) receives.
  App(Platform& platform, ui::Backend& ui, AppInfo info, Subsystems given = {}, Log* log = nullptr);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Shows the splash window; its timer loads the main window.
  void Start();
  // Milliseconds since this object began, for the start-up steps' log lines.
  uint64_t SinceStartMs() const { return platform_.clock.TickMs() - startedAtMs_; }
  // Ends the program: nothing else runs afterwards.
  void End();
  bool ended() const { return ended_; }
  // The main window has gone but the web page window is open: it ends the program.
  void EndWhenWebsiteCloses() { endWithWebsite_ = true; }
  std::function<void()> onEnd;  // the entry point's way to leave its message loop

  // Single instance: true when this copy holds the program's lock.
  bool AcquireInstanceLock();
  // "[appdata]DideZuvurudARA".
  std::string DataFolder() const;

  Platform& platform() { return platform_; }
  ui::Backend& ui() { return ui_; }
  Settings& settings() { return settings_; }
  Log& log() { return *log_; }
  // The log's text file in the data folder, when the settings ask for it.
  void StartLogFile(const std::string& dataFolder);
  const AppInfo& info() const { return info_; }
  // Every entry set.
  const Subsystems& subsystems() const { return subsystems_; }
  // The language engine exists from the main window's load on.
  clsLanguages* languages() { return languages_.get(); }
  clsLanguages& CreateLanguages();
  // A message in the current language; before the language engine exists, its key, so a
  // text shown too early names itself rather than showing nothing.
  std::string Message(const std::string& key);
  std::function<std::string(const std::string&)> Messages();

  // Every window of the program, in the order they are made. Unloading, stopping the
  // timers at the end and switching the language walk this list.
  struct Window {
    std::unique_ptr<ui::Form> form;
    bool unloadsWithMain = false;  // unloaded by the main window's unload steps, in list order
  };
  const std::vector<Window>& windows() const { return windows_; }
  // Applies the language to every window, loaded or not.
  void ChangeLanguage(const std::string& language);

  FrmSplash& splash() { return *splash_; }
  FrmMain& main() { return *main_; }
  // The main window's controls each feature drives, checked complete when it was built.
  const MainWindowViews& views() const { return *views_; }
  FrmHelp& help() { return *help_; }
  // The help file at one of its pages ("" its first page).
  void OpenHelp(const std::string& page);
  ui::Form& about() { return *about_; }
  ui::Form& download() { return *download_; }
  FrmHomePageChangedAlert& homePageChangedAlert() { return *homePageChangedAlert_; }
  FrmMenuPopUp& menuPopUp() { return *menuPopUp_; }
  FrmReport& report() { return *report_; }
  FrmSignatureUpdated& signatureUpdated() { return *signatureUpdated_; }
  FrmSpywareFoundAlert& spywareFoundAlert() { return *spywareFoundAlert_; }
  ui::Form& hidden() { return *hidden_; }
  FrmDelete& deleteFailed() { return *delete_; }
  FrmRestore& restoreWindow() { return *restore_; }
  ui::Form& website() { return *website_; }
  FrmLanguage& language() { return *language_; }
  // The notification-area icons, one clsTray for the program.
  Tray& tray() { return *tray_; }

 private:
  Platform& platform_;
  uint64_t startedAtMs_;
  ui::Backend& ui_;
  AppInfo info_;
  Settings settings_;
  std::unique_ptr<Log> ownLog_;
  Log* log_;
  template <class W, class... Args>
  W* AddWindow(bool unloadsWithMain, Args&&... args);

  // The features no caller supplied.
  struct Idle final : ScanFeature, RemovalFeature, ReportFeature, UpdateFeature, TrayFeature,
                      SubmissionFeature, ShieldsFeature, ScheduleFeature {};
  Idle idle_;
  std::unique_ptr<ScanWiring> ownScan_;
  std::unique_ptr<ShieldsFeature> ownShields_;
  std::unique_ptr<RemovalFeature> ownRemoval_;
  std::unique_ptr<ReportFeature> ownReport_;
  std::unique_ptr<SubmissionFeature> ownSubmission_;
  std::unique_ptr<UpdateFeature> ownUpdate_;
  std::unique_ptr<ScheduleFeature> ownSchedule_;
  std::unique_ptr<Tray> tray_;
  std::unique_ptr<TrayFeature> ownTray_;
  Subsystems subsystems_;
  std::unique_ptr<clsLanguages> languages_;
  std::unique_ptr<InstanceLock> instanceLock_;
  bool ended_ = false;
  bool endWithWebsite_ = false;

  std::vector<Window> windows_;
  FrmSplash* splash_ = nullptr;
  FrmMain* main_ = nullptr;
  std::unique_ptr<MainWindowViews> views_;
  FrmHelp* help_ = nullptr;
  FrmHomePageChangedAlert* homePageChangedAlert_ = nullptr;
  FrmSpywareFoundAlert* spywareFoundAlert_ = nullptr;
  FrmDelete* delete_ = nullptr;
  FrmRestore* restore_ = nullptr;
  FrmReport* report_ = nullptr;
  FrmMenuPopUp* menuPopUp_ = nullptr;
  FrmSignatureUpdated* signatureUpdated_ = nullptr;
  ui::Form *about_ = nullptr, *download_ = nullptr, *hidden_ = nullptr,
           *website_ = nullptr;
  std::unique_ptr<LanguageWindowHost> languageHost_;
  FrmLanguage* language_ = nullptr;
};

}  // namespace kx
