#include "app/app.h"

#include "app/frm_about.h"
#include "app/frm_delete.h"
#include "app/frm_download.h"
#include "app/frm_help.h"
#include "app/frm_hidden.h"
#include "app/frm_home_page_changed_alert.h"
#include "app/frm_language.h"
#include "app/frm_main.h"
#include "app/frm_menu_popup.h"
#include "app/frm_report.h"
#include "app/frm_signature_updated.h"
#include "app/frm_splash.h"
#include "app/frm_spyware_found_alert.h"
#include "app/frm_website.h"
#include "app/paths.h"
#include "app/subsystems_pending.h"

namespace kx {
namespace {
// One name for every copy of the program on the machine's session.
constexpr const char* kInstanceLockName = "Kestrix Labs Kestrix single instance";
}  // namespace

App::App(Platform& platform, ui::Backend& ui, AppInfo info, Subsystems* subsystems)
    : platform_(platform),
      ui_(ui),
      info_(std::move(info)),
      settings_(platform.registry, ui, info_.branding.companyName, info_.branding.productName) {
  if (!subsystems) {
    ownSubsystems_ = std::make_unique<PendingSubsystems>();
    subsystems = ownSubsystems_.get();
  }
  subsystems_ = subsystems;

  splash_ = std::make_unique<FrmSplash>(ui, *this);
  main_ = std::make_unique<FrmMain>(ui, *this);
  help_ = std::make_unique<FrmHelp>(ui, *this);
  about_ = std::make_unique<FrmAbout>(ui);
  download_ = std::make_unique<FrmDownload>(ui);
  homePageChangedAlert_ = std::make_unique<FrmHomePageChangedAlert>(ui);
  menuPopUp_ = std::make_unique<FrmMenuPopUp>(ui);
  report_ = std::make_unique<FrmReport>(ui);
  signatureUpdated_ = std::make_unique<FrmSignatureUpdated>(ui);
  spywareFoundAlert_ = std::make_unique<FrmSpywareFoundAlert>(ui);
  hidden_ = std::make_unique<FrmHidden>(ui);
  delete_ = std::make_unique<FrmDelete>(ui);
  website_ = std::make_unique<FrmWebsite>(ui);
  language_ = std::make_unique<FrmLanguage>(ui);
  for (ui::Form* f : {about_.get(), download_.get(), homePageChangedAlert_.get(), menuPopUp_.get(),
                      report_.get(), signatureUpdated_.get(), spywareFoundAlert_.get(), delete_.get(),
                      website_.get(), language_.get()}) {
    f->set_caption(info_.branding.productName);
    f->Move(0, 0, 6000, 4000);
  }
  // Left open at exit, the web page window ends the program when it closes.
  website_->onUnload = [this](int&) {
    if (endWithWebsite_) End();
  };
}

App::~App() {
  // Windows go before the services and the engine their handlers use.
  language_.reset();
  website_.reset();
  main_.reset();
  splash_.reset();
}

void App::Start() { splash_->Show(); }

void App::End() {
  if (ended_) return;
  ended_ = true;
  instanceLock_.reset();
  // Timers stop with the program; nothing else runs from here on.
  for (ui::Form* f : {static_cast<ui::Form*>(splash_.get()), static_cast<ui::Form*>(main_.get())})
    for (const auto& c : f->controls())
      if (c->type() == ui::ControlType::Timer) c->set_enabled(false);
  if (onEnd) onEnd();
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

clsLanguages& App::CreateLanguages() {
  languages_ = std::make_unique<clsLanguages>(platform_.files, platform_.system.ProgramFolder(), info_.branding);
  return *languages_;
}

}  // namespace kx
