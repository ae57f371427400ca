#include "app/wiring/update_wiring.h"

#include "app/app.h"
#include "app/definitions_confirmation.h"
#include "app/windows/frm_download.h"
#include "app/main_window/frm_main.h"
#include "app/tray/frm_signature_updated.h"
#include "app/vendor_servers.h"
#include "core/text.h"
#include "definitions/previous_definitions.h"
#include "definitions/update_package.h"

namespace kx {

UpdateWiring::UpdateWiring(App& app) : app_(app), download_(static_cast<FrmDownload&>(app.download())) {}
UpdateWiring::~UpdateWiring() = default;

bool UpdateWiring::RunLiveUpdate() {
  // One at a time, and never over a scan or a removal: the merge rewrites the files they read.
  const Subsystems& sub = app_.subsystems();
  if (running_ || sub.scan->Busy() || sub.removal->Busy()) {
    app_.log().Write("Live Update not started: " + std::string(running_ ? "one is running" : "a scan or removal runs"));
    return false;
  }
  if (app_.ui().ShiftKeyDown()) app_.ui().MsgBox(AddressList(), ui::MB_OK_ONLY, app_.info().branding.productName);
  cmdUpdate_Click();
  return true;
}

void UpdateWiring::AutoUpdateTick() {
  ui::Control& scanNow = app_.main().Get("cmdScanNow");
  if (idle_ > 299 && scanNow.enabled()) {
    if (!RunLiveUpdate()) return;  // a removal runs: the next tick tries again
    idle_ = 0;
    app_.main().Get("timUpdate").set_enabled(false);
  } else if (scanNow.enabled()) {
    ++idle_;
  }
}

void UpdateWiring::UndoLastUpdate() {
  const Subsystems& sub = app_.subsystems();
  // Never under a scan, a removal or an update reading or writing the set.
  if (running_ || sub.scan->Busy() || sub.removal->Busy()) return;
  auto message = [this](const char* key) {
    clsLanguages* l = app_.languages();
    return l ? l->getMessages(key) : std::string(key);
  };
  const std::string product = app_.info().branding.productName;
  if (app_.ui().MsgBox(message("MSG_UNDO_DEFS_SURE"), ui::MB_YES_NO | ui::MB_ICON_QUESTION, product) !=
      ui::MsgResult::Yes)
    return;
  PreviousDefinitions previous(app_.platform().files, app_.DataFolder(), &app_.log());
  const PreviousDefinitions::UndoResult r = previous.Undo();
  FrmMain& main = app_.main();
  if (r.ok) {
    main.CountDefinitions();
    main.ShowStatusPanelValues();
    main.Get("lblDefVersion").set_caption(r.date + " PST");
    app_.ui().MsgBox(message("MSG_UNDO_DEFS_DONE") + " " + r.date + ".", ui::MB_ICON_INFORMATION, product);
  } else {
    app_.log().Write("Undo of the last definitions update failed: " + r.error);
    app_.ui().MsgBox(message("MSG_UNDO_DEFS_FAILED") + "\r\n\r\n" + r.error, ui::MB_ICON_EXCLAMATION, product);
  }
  ShowUndoAvailable();
}

void UpdateWiring::ShowUndoAvailable() {
  PreviousDefinitions previous(app_.platform().files, app_.DataFolder(), &app_.log());
  app_.main().Get("mnuFileItem", FrmMain::kUndoMenuItem).set_enabled(previous.Available());
}

std::string UpdateWiring::AddressList() const {
  std::string site = app_.info().branding.website;
  if (FindNoCase(site, "http://") == 0) site.erase(0, 7);
  if (const size_t slash = site.find('/'); slash != std::string::npos) site.resize(slash);
  if (FindNoCase(site, "www.") == std::string::npos) site = "www." + site;
  site = "http://" + site;
  std::string text;
  for (const char* path : {"/definitions/version/R.HTM", "/definitions/version/F.HTM", "/definitions/version/E.HTM",
                           "/definitions/version/C.HTM", "/definitions/data/BlockedCookies.dat",
                           "/definitions/data/RegistryDefinition.dat", "/definitions/data/FileDefinition.dat",
                           "/definitions/data/ExeDefinition.dat"})
    text += site + path + "\r\n";
  return text;
}

void UpdateWiring::cmdUpdate_Click() {
  FrmMain& main = app_.main();
  ui::Control& scanNow = main.Get("cmdScanNow");
  // Whatever way the update ends, the window is given back as it was.
  struct GiveBack {
    UpdateWiring& w;
    ui::Control& scanNow;
    const bool scanNowWas;
    ~GiveBack() {
      try {
        if (w.download_.loaded()) w.download_.Unload();
        scanNow.set_enabled(scanNowWas);
        w.app_.main().Get("cmdLiveUpdate").set_enabled(true);
        w.running_ = false;
        w.app_.main().ApplyTimerSettings(true);
        w.ShowUndoAvailable();
      } catch (const std::exception& e) {
        w.running_ = false;
        w.app_.log().Write(std::string("Live Update: the window was not given back whole: ") + e.what());
      } catch (...) {
        w.running_ = false;
        w.app_.log().Write("Live Update: the window was not given back whole: unknown exception");
      }
    }
  } giveBack{*this, scanNow, scanNow.enabled()};
  running_ = true;
  main.ApplyTimerSettings(false);
  main.Get("cmdLiveUpdate").set_enabled(false);
  main.Get("mnuFileItem", FrmMain::kUndoMenuItem).set_enabled(false);
  scanNow.set_enabled(false);

  UpdateResult result;
  try {
    result = Run();
  } catch (const std::exception& e) {
    result = {UpdateOutcome::Failed, 0, e.what()};
    app_.log().Write(std::string("Live Update failed: ") + e.what());
  }
  auto message = [this](const char* key) { return app_.Message(key); };
  switch (result.outcome) {
    case UpdateOutcome::Failed: Notice(message("MSG_UPDATE_FAILED")); break;
    case UpdateOutcome::UpToDate: Notice(message("MSG_RECENT_DEFS")); break;
    case UpdateOutcome::Updated:
      app_.settings().WriteSetting("OptionAndSettings", "SHOW", "True");
      app_.settings().WriteSetting("OptionAndSettings", "RESTART", "True");
      if (download_.takeIcon) download_.takeIcon(download_);
      Notice(message("MSG_UPDATED_DEFS"));
      main.CountDefinitions();
      main.ShowStatusPanelValues();
      main.Get("cmdScan").set_enabled(true);
      break;
  }
  main.ShowDefinitionsConfirmation();
}

UpdateResult UpdateWiring::Run() {
  download_.Show(false);
  const ServerAddresses servers = ReadServerAddresses(app_.settings(), app_.info().branding.productName);
  App* app = &app_;
  WebFetch fetch(app_.platform().web, [app] { app->ui().DoEvents(); }, RequestLimits(servers));
  DefinitionsServer server{servers.definitions, app_.info().branding.productName, app_.info().branding.companyName};
  LiveUpdate update(app_.platform().files, fetch, app_.DataFolder(), server,
                    [this](const std::string& package, const std::string& asked, const DateTime& local) {
                      return ApplyPackage(package, asked, local);
                    },
                    *this, &app_.log());
  return update.RunLiveUpdate();
}

void UpdateWiring::SetStatus(const std::string& text) {
  if (download_.loaded()) download_.SetStatus(text);
}

void UpdateWiring::SetDefinitionsVersion(const std::string& text) { app_.main().Get("lblDefVersion").set_caption(text); }

void UpdateWiring::HandleWindowMessages() { app_.ui().DoEvents(); }

void UpdateWiring::CurrentDateAnswered(const std::string& text) {
  Platform& p = app_.platform();
  // An unconfirmed date still decides whether to ask for a package, which is checked on its own.
  const DateAnswer answer = ReadDateAnswer(text, p.clock.UnixSeconds(), TrustedKeys(), p.signatures);
  if (!answer.confirmed) {
    app_.log().Write("Live Update: the current date is no confirmation: " + answer.reason);
    return;
  }
  DefinitionsConfirmation(app_.settings(), p.clock).Record(answer.issued);
}

}  // namespace kx

namespace kx {

void UpdateWiring::Notice(const std::string& text) { app_.signatureUpdated().ShowNotice(text); }

PackageOutcome UpdateWiring::ApplyPackage(const std::string& package, const std::string& asked, const DateTime& local) {
  PackageOutcome out;
  // Nothing of a package touches a file before it has passed.
  const PackageCheck check = VerifyUpdatePackage(package, asked, local, TrustedKeys(), app_.platform().signatures);
  if (!check.ok) {
    out.reason = check.reason;
    return out;
  }
  UpdateMerge merge(app_.platform().files, app_.DataFolder(), *this);
  out.accepted = true;
  const MergeResult merged = merge.MergeUpdatePackage(check.body);
  if (!merged.ok) out.mergeError = merged.Describe();
  out.changes = merged.changes;
  out.asOf = check.asOf;
  return out;
}

}  // namespace kx
