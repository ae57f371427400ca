#include "app/wiring/submission_wiring.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/main_window/main_window_views.h"
#include "app/wiring/scan_wiring.h"
#include "app/vendor_servers.h"

namespace kx {

DataSubmission& SubmissionWiring::Get() {
  if (submission_) return *submission_;
  App* app = &app_;
  const ServerAddresses servers = ReadServerAddresses(app_.settings(), app_.info().branding.productName);
  fetch_ = std::make_unique<WebFetch>(app_.platform().web, [app] { app->ui().DoEvents(); }, RequestLimits(servers));
  ScanWiring* scan = &scan_;
  SubmissionServices services{*fetch_,
                              app_.ui(),
                              servers.data,
                              app_.Messages(),
                              [app](const std::string& value) {
                                app->settings().WriteSetting("OptionAndSettings", "chkSendData", value);
                              },
                              [scan] { return scan->modules().processes.GetRunningProgramList(); }};
  submission_ = std::make_unique<DataSubmission>(std::move(services), app_.views().submission);
  return *submission_;
}

void SubmissionWiring::SendRunningPrograms() { Get().SendRunningPrograms(); }
void SubmissionWiring::SubmitFileName() { Get().SubmitFileName(); }
void SubmissionWiring::SendDataOptionChanged() { Get().chkSendData_MouseUp(); }

}  // namespace kx
