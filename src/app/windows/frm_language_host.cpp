#include "app/windows/frm_language_host.h"

#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/vendor_servers.h"
#include "core/web_fetch.h"

namespace kx {

clsLanguages* LanguageWiring::Languages() { return app_.languages(); }

std::string LanguageWiring::StoredLanguage() { return app_.settings().ReadSetting("Settings", "Language", "English"); }

void LanguageWiring::StoreLanguage(const std::string& language) {
  app_.settings().WriteSetting("Settings", "Language", language);
}

void LanguageWiring::ApplyLanguage(const std::string& language) {
  FrmMain& main = app_.main();
  // What a scan or a removal counted is data: the file's "0" for these labels must not
  // replace it.
  std::vector<std::pair<ui::Control*, std::string>> counts;
  if (main.loaded())
    for (const char* name : {"lblSoftwareFound", "lblRegistryInspected", "lblFilesFolderInspected", "lblMemoryInspected",
                             "lblTotalNoOfRunningItems", "lbltracesFound", "lblRemovePicSoftwareFound"})
      if (ui::Control* c = main.Find(name)) counts.emplace_back(c, c->caption());
  app_.ChangeLanguage(language);
  for (const auto& [control, caption] : counts) control->set_caption(caption);
  clsLanguages* languages = app_.languages();
  if (!languages || !main.loaded()) return;
  // The captions the load takes from the message table follow the switch too, rather
  // than waiting for the next start.
  main.set_caption(languages->getMessages("MSG_CAPTION"));
  main.Get("cmdWebsite").set_caption(languages->getMessages("MSG_WEBSITE"));
  main.Get("Label22").set_caption(languages->getMessages("MSG_CAPTION2"));
  const std::string status = languages->getMessages("MSG_STATUS_TITLE");
  main.Get("frmStatus").set_caption(status.empty() ? app_.info().branding.productName + " Status" : status);
  main.ShowStatusPanelValues();
  main.ShowLastUpdate();
}

std::string LanguageWiring::LocalizationAddress() {
  const ServerAddresses servers = ReadServerAddresses(app_.settings(), app_.info().branding.productName);
  return servers.languages + "/Languages/" + std::to_string(app_.info().branding.productNumber) +
         "/Localization.txt";
}

std::string LanguageWiring::FetchLocalizationFile(size_t maxBytes) {
  const ServerAddresses servers = ReadServerAddresses(app_.settings(), app_.info().branding.productName);
  App* app = &app_;
  // As Live Update does: the request on the UI thread, the window's messages run between blocks.
  WebFetch fetch(app_.platform().web, [app] { app->ui().DoEvents(); }, RequestLimits(servers));
  const FetchResult answer = fetch.Fetch(LocalizationAddress(), maxBytes);
  app_.log().Write("Language file from " + LocalizationAddress() + ": " +
                   (answer.complete ? "status " + std::to_string(answer.status) + ", " +
                                          std::to_string(answer.text.size()) + " bytes"
                                    : std::string("no whole answer")));
  // An answer other than 200 is the server's error page, whatever it says.
  return answer.Good() ? answer.text : std::string();
}

FileSystem& LanguageWiring::Files() { return app_.platform().files; }

Signatures& LanguageWiring::SignatureCheck() { return app_.platform().signatures; }

void LanguageWiring::LogLine(const std::string& line) { app_.log().Write(line); }

void LanguageWiring::OpenDocument(const std::string& path) { app_.platform().shell.Open(path); }

}  // namespace kx
