// Joins the data submission to the main window's Auto Update tab, the Results panel and the
// removal run. Built when first needed.
#pragma once

#include <memory>

#include "app/subsystems.h"
#include "core/web_fetch.h"
#include "report/data_submission.h"

namespace kx {

class App;
class ScanWiring;

class SubmissionWiring final : public SubmissionFeature {
 public:
  SubmissionWiring(App& app, ScanWiring& scan) : app_(app), scan_(scan) {}

  void SendRunningPrograms() override;
  void SubmitFileName() override;
  void SendDataOptionChanged() override;

 private:
  DataSubmission& Get();

  App& app_;
  ScanWiring& scan_;
  std::unique_ptr<WebFetch> fetch_;
  std::unique_ptr<DataSubmission> submission_;
};

}  // namespace kx
