// The main window's controls that each feature drives, found by name in one place when the
// window is built. A name the window lacks throws ui::MissingControl naming it, so a control
// renamed in the layout fails at start-up instead of skipping a step in silence.
#pragma once

#include "platform/forms/form.h"
#include "removal/removal_run.h"
#include "report/data_submission.h"
#include "report/scan_report.h"
#include "scan/process_scanner.h"
#include "scan/scan_driver.h"

namespace kx {

struct MainWindowViews {
  ScanView scan;
  ProcessScanControls processes;
  RemovalControls removal;
  ReportControls report;
  SubmissionControls submission;

  static MainWindowViews Of(ui::Form& mainWindow);
};

}  // namespace kx
