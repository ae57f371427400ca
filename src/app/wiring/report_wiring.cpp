#include "app/wiring/report_wiring.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/main_window/main_window_views.h"
#include "app/wiring/scan_wiring.h"

namespace kx {

ScanReport& ReportWiring::Get() {
  if (report_) return *report_;
  ScanWiring* scan = &scan_;
  auto summary = [scan] {
    Scanning* s = scan->scanning();
    return s ? s->driver.Summary() : ScanSummary{};
  };
  report_ = std::make_unique<ScanReport>(ReportInputs{app_.platform().files,
                                                      app_.info().branding.productName,
                                                      app_.info().major,
                                                      app_.info().minor,
                                                      app_.DataFolder(),
                                                      summary,
                                                      app_.views().report,
                                                      scan_.modules().results,
                                                      app_.report()});
  report_->set_messages([this](const char* key) {
    clsLanguages* languages = app_.languages();
    return languages ? languages->getMessages(key) : std::string();
  });
  return *report_;
}

void ReportWiring::ShowReport() {
  // The window's own title is no translation item: it names the program.
  if (clsLanguages* languages = app_.languages()) {
    const std::string title = languages->getMessages("MSG_LOG_TITLE");
    if (!title.empty()) app_.report().set_caption(title);
  }
  Get().ShowReport();
}
void ReportWiring::MakeReport() { Get().MakeReport(); }

}  // namespace kx
