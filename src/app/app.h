// The program's owner: the platform services, the form backend, the language engine, the
// settings store and every window. Start runs the splash window, which loads the main one.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "localization/languages.h"
#include "platform/forms/form.h"
#include "platform/services.h"
#include "app/settings.h"
#include "app/subsystems.h"

namespace kx {

class FrmMain;
class FrmSplash;
class FrmHelp;

// What the program knows about itself, from its version resource.
struct AppInfo {
  Branding branding;
  int major = 1, minor = 0;
  std::string exeName = "Kestrix";  // without extension
};

class App {
 public:
  // subsystems: null for the ones built so far (PendingSubsystems); tests pass their own.
  App(Platform& platform, ui::Backend& ui, AppInfo info, Subsystems* subsystems = nullptr);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Shows the splash window; its timer loads the main window.
  void Start();
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
  const AppInfo& info() const { return info_; }
  Subsystems& subsystems() { return *subsystems_; }
  // The language engine exists from the main window's load on.
  clsLanguages* languages() { return languages_.get(); }
  clsLanguages& CreateLanguages();

  FrmSplash& splash() { return *splash_; }
  FrmMain& main() { return *main_; }
  FrmHelp& help() { return *help_; }
  ui::Form& about() { return *about_; }
  ui::Form& download() { return *download_; }
  ui::Form& homePageChangedAlert() { return *homePageChangedAlert_; }
  ui::Form& menuPopUp() { return *menuPopUp_; }
  ui::Form& report() { return *report_; }
  ui::Form& signatureUpdated() { return *signatureUpdated_; }
  ui::Form& spywareFoundAlert() { return *spywareFoundAlert_; }
  ui::Form& hidden() { return *hidden_; }
  ui::Form& deleteFailed() { return *delete_; }
  ui::Form& website() { return *website_; }
  ui::Form& language() { return *language_; }

 private:
  Platform& platform_;
  ui::Backend& ui_;
  AppInfo info_;
  Settings settings_;
  std::unique_ptr<Subsystems> ownSubsystems_;
  Subsystems* subsystems_;
  std::unique_ptr<clsLanguages> languages_;
  std::unique_ptr<InstanceLock> instanceLock_;
  bool ended_ = false;
  bool endWithWebsite_ = false;

  std::unique_ptr<FrmSplash> splash_;
  std::unique_ptr<FrmMain> main_;
  std::unique_ptr<FrmHelp> help_;
  std::unique_ptr<ui::Form> about_, download_, homePageChangedAlert_, menuPopUp_, report_,
      signatureUpdated_, spywareFoundAlert_, hidden_, delete_, website_, language_;
};

}  // namespace kx
