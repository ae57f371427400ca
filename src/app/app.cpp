#include "app/app.h"

#include <utility>

#include "app/windows/frm_about.h"
#include "app/windows/frm_download.h"
#include "app/windows/frm_help.h"
#include "app/windows/frm_hidden.h"
#include "app/windows/frm_language_host.h"
#include "app/main_window/frm_main.h"
#include "app/main_window/main_window_views.h"
#include "app/tray/frm_menu_popup.h"
#include "app/wiring/report_wiring.h"
#include "app/tray/frm_signature_updated.h"
#include "app/windows/frm_splash.h"
#include "app/wiring/removal_wiring.h"
#include "app/windows/frm_website.h"
#include "app/wiring/scan_wiring.h"
#include "app/wiring/schedule_wiring.h"
#include "app/wiring/shields_wiring.h"
#include "app/wiring/submission_wiring.h"
#include "app/wiring/update_wiring.h"
#include "app/tray/tray_wiring.h"
#include "core/paths.h"
#include "core/version_info.h"
#include "protection/frm_home_page_changed_alert.h"
#include "protection/frm_spyware_found_alert.h"

namespace kx {
namespace {
// One name for every copy of the program on the machine's session.
constexpr const char* kInstanceLockName = "Kestrix Labs Kestrix single instance";
}  // namespace

template <class W, class... Args>
W* App::AddWindow(bool unloadsWithMain, Args&&... args) {
  auto window = std::make_unique<W>(std::forward<Args>(args)...);
  W* w = window.get();
  windows_.push_back({std::move(window), unloadsWithMain});
  return w;
}

App::App(Platform& platform, ui::Backend& ui, AppInfo info, Subsystems given, Log* log)
    : platform_(platform),
      startedAtMs_(platform.clock.TickMs()),
      ui_(ui),
      info_(std::move(info)),
      settings_(platform.registry, ui, info_.branding.companyName, info_.branding.productName),
      log_(log),
      subsystems_(given) {
  if (!log_) {
    ownLog_ = std::make_unique<Log>(platform.clock, nullptr);
    log_ = ownLog_.get();
  }
  if (!subsystems_.scan) {
    ownScan_ = std::make_unique<ScanWiring>(*this);
    subsystems_.scan = ownScan_.get();
  }
  if (!subsystems_.removal) {
    if (ownScan_) {
      ownRemoval_ = std::make_unique<RemovalWiring>(*this, *ownScan_);
      subsystems_.removal = ownRemoval_.get();
    } else {
      subsystems_.removal = &idle_;
    }
  }
  if (!subsystems_.report) {
    if (ownScan_) {
      ownReport_ = std::make_unique<ReportWiring>(*this, *ownScan_);
      subsystems_.report = ownReport_.get();
    } else {
      subsystems_.report = &idle_;
    }
  }
  tray_ = std::make_unique<Tray>(platform.notifyArea, ui);
  if (!subsystems_.tray) subsystems_.tray = (ownTray_ = std::make_unique<TrayWiring>(*this)).get();
  if (!subsystems_.submission) {
    if (ownScan_) {
      ownSubmission_ = std::make_unique<SubmissionWiring>(*this, *ownScan_);
      subsystems_.submission = ownSubmission_.get();
    } else {
      subsystems_.submission = &idle_;
    }
  }
  if (!subsystems_.shields) {
    // The memory shield asks through the scan's process scanner: the program's own scan.
    if (ownScan_) {
      ownShields_ = std::make_unique<ShieldsWiring>(*this, *ownScan_);
      subsystems_.shields = ownShields_.get();
    } else {
      subsystems_.shields = &idle_;
    }
  }
  if (!subsystems_.schedule) {
    ownSchedule_ = std::make_unique<ScheduleWiring>(*this);
    subsystems_.schedule = ownSchedule_.get();
  }

  splash_ = AddWindow<FrmSplash>(false, ui, *this);
  main_ = AddWindow<FrmMain>(false, ui, *this);
  views_ = std::make_unique<MainWindowViews>(MainWindowViews::Of(*main_));
  // These go with the main window's unload, in this order.
  help_ = AddWindow<FrmHelp>(true, ui, *this);
  about_ = AddWindow<FrmAbout>(true, ui, *this);
  about_->set_owner(main_);
  download_ = AddWindow<FrmDownload>(true, ui);
  homePageChangedAlert_ = AddWindow<FrmHomePageChangedAlert>(true, ui, info_.branding.productName);
  menuPopUp_ = AddWindow<FrmMenuPopUp>(true, ui, *this);
  report_ = AddWindow<FrmReport>(true, ui, info_.branding.productName);
  signatureUpdated_ = AddWindow<FrmSignatureUpdated>(true, ui, *this, download_);
  spywareFoundAlert_ = AddWindow<FrmSpywareFoundAlert>(true, ui);
  hidden_ = AddWindow<FrmHidden>(true, ui);
  delete_ = AddWindow<FrmDelete>(true, ui, platform.shell);
  restore_ = AddWindow<FrmRestore>(
      true, ui,
      [this](const std::string& key) {
        clsLanguages* l = languages();
        return l ? l->getMessages(key) : key;
      },
      info_.branding.productName);
  website_ = AddWindow<FrmWebsite>(false, ui);
  languageHost_ = std::make_unique<LanguageWiring>(*this);
  language_ = AddWindow<FrmLanguage>(false, ui, *languageHost_);
  // The progress window's own tray icon; a double click on it brings the window back while
  // the program lives in the tray.
  auto* download = static_cast<FrmDownload*>(download_);
  download->putIcon = [this](ui::Form& f, const std::string& tip) {
    tray_->RemoveIcon(f);
    tray_->ShowIcon(f);
    tray_->ChangeToolTip(f, tip);
  };
  download->takeIcon = [this](ui::Form& f) { tray_->RemoveIcon(f); };
  download->onNotifyIconMessage = [this, download](int message) {
    if (message == 515 && !main_->visible()) {  // a left double-click
      download->set_window_state(ui::WindowState::Normal);
      download->Show(false);
    }
  };
  // Live Update drives its progress window, so it comes after the windows.
  if (!subsystems_.update) {
    ownUpdate_ = std::make_unique<UpdateWiring>(*this);
    subsystems_.update = ownUpdate_.get();
  }

  ui::Form* homeAlert = homePageChangedAlert_;
  ui::Form* memoryAlert = spywareFoundAlert_;
  ui::Form* menu = menuPopUp_;
  ui::Form* notice = signatureUpdated_;
  for (ui::Form* f : {about_, homeAlert, menu, notice, memoryAlert, website_}) {
    f->set_caption(info_.branding.productName);
    // The alerts and the slide-up windows lay themselves out.
    if (f != about_ && f != homeAlert && f != memoryAlert && f != menu && f != notice) f->Move(0, 0, 6000, 4000);
  }
  // Left open at exit, the web page window ends the program when it closes.
  website_->onUnload = [this](int&) {
    if (endWithWebsite_) End();
  };
  // F1 in the windows the help has a page for, as in the main window.
  const std::pair<ui::Form*, const char*> helped[] = {
      {report_, "report.html"}, {restore_, "quarantine.html"}, {delete_, "removal.html"}, {language_, "languages.html"}};
  for (const auto& [form, page] : helped) form->onHelp = [this, page = std::string(page)] { OpenHelp(page); };
}

void App::OpenHelp(const std::string& page) {
  help_->set_page(page);
  help_->Load();
  help_->Show();
  ui_.DoEvents();
  help_->Unload();
}

App::~App() {
  // Windows go before the subsystems, services and engine their handlers use, the last
  // made first. No icon outlives the program.
  ownTray_.reset();
  tray_->RemoveAll();
  while (!windows_.empty()) windows_.pop_back();
  ownUpdate_.reset();
  ownSubmission_.reset();
  ownShields_.reset();
  ownRemoval_.reset();
  ownReport_.reset();
  ownScan_.reset();
}

void App::Start() {
  log_->Write("start-up: windows built at " + std::to_string(SinceStartMs()) + " ms");
  splash_->Show();
  log_->Write("start-up: splash shown at " + std::to_string(SinceStartMs()) + " ms");
}

void App::End() {
  if (ended_) return;
  ended_ = true;
  instanceLock_.reset();
  // Timers stop with the program; nothing else runs from here on.
  for (const Window& w : windows_)
    for (const auto& c : w.form->controls())
      if (c->type() == ui::ControlType::Timer) c->set_enabled(false);
  if (onEnd) onEnd();
}

AppInfo AppInfoFromVersionResource(const std::optional<std::string>& versionBlock, const std::string& modulePath) {
  AppInfo info;
  std::string exe = FileNameOfPath(modulePath);
  if (const size_t dot = exe.rfind('.'); dot != std::string::npos) exe.resize(dot);
  if (!exe.empty()) info.exeName = exe;
  if (!versionBlock) return info;
  const auto parsed = ParseVersionInfo(*versionBlock);
  if (!parsed) return info;
  info.branding = BrandingFromVersionInfo(*parsed, info.branding);
  if (parsed->hasFixed) {
    info.major = parsed->fileMajor;
    info.minor = parsed->fileMinor;
  }
  return info;
}

void App::StartLogFile(const std::string& dataFolder) {
  // Off unless asked for: "1" in Settings\DiagnosticsLog.
  if (settings_.ReadSetting("Settings", "DiagnosticsLog", "0") != "1") return;
  log_->SetFile(platform_.files, dataFolder + "\\Diagnostics.log");
}

bool App::AcquireInstanceLock() {
  if (instanceLock_) return true;
  instanceLock_ = platform_.locks.TryAcquire(kInstanceLockName);
  return instanceLock_ != nullptr;
}

std::string App::DataFolder() const {
  PathExpander paths(platform_.system);
  return kx::DataFolder(paths);
}

void App::ChangeLanguage(const std::string& language) {
  if (!languages_) return;
  // Windows not loaded yet too: they show these captions when they load.
  for (const Window& w : windows_) languages_->ChangeLanguage(*w.form, language);
}

std::string App::Message(const std::string& key) {
  return languages_ ? languages_->getMessages(key) : key;
}

std::function<std::string(const std::string&)> App::Messages() {
  return [this](const std::string& key) { return Message(key); };
}

clsLanguages& App::CreateLanguages() {
  languages_ = std::make_unique<clsLanguages>(platform_.files, platform_.system.ProgramFolder(), info_.branding,
                                              DataFolder());
  return *languages_;
}

}  // namespace kx
