// Joins the scan report to the main window: the scan asks for the log after each scan, and
// "View Log", "Show Report" and the File menu open the report window. Built when first needed.
#pragma once

#include <memory>

#include "app/subsystems.h"
#include "report/scan_report.h"

namespace kx {

class App;
class ScanWiring;

class ReportWiring final : public ReportFeature {
 public:
  ReportWiring(App& app, ScanWiring& scan) : app_(app), scan_(scan) {}

  void ShowReport() override;
  void MakeReport() override;

 private:
  ScanReport& Get();

  App& app_;
  ScanWiring& scan_;
  std::unique_ptr<ScanReport> report_;
};

}  // namespace kx
