#include "app/main_window/main_window_views.h"

#include "platform/forms/find_controls.h"

namespace kx {

using ui::RequireControls;

MainWindowViews MainWindowViews::Of(ui::Form& f) {
  MainWindowViews v;
  ScanView& scan = v.scan;
  scan.form = &f;
  scan.progress.form = &f;
  RequireControls(f, scan.progress, {
      {"lblMemoryInspected", &ProgressControls::lblMemoryInspected},
      {"lblRegistryInspected", &ProgressControls::lblRegistryInspected},
      {"lblFilesFolderInspected", &ProgressControls::lblFilesFolderInspected},
      {"lblSoftwareFound", &ProgressControls::lblSoftwareFound},
      {"lblStatus", &ProgressControls::lblStatus},
      {"lblRemovePicSoftwareFound", &ProgressControls::lblRemovePicSoftwareFound},
      {"pb1", &ProgressControls::pb1},
      {"pb2", &ProgressControls::pb2},
  });
  RequireControls(f, scan.lists, {
      {"lvwSpywareFound", &ThreatListControls::lvwSpywareFound},
      {"lvwPicRemoveListOfSpywareFoundAndToBeRemoved", &ThreatListControls::lvwPicRemoveListOfSpywareFoundAndToBeRemoved},
      {"lvwFilesToBeDeleted", &ThreatListControls::lvwFilesToBeDeleted},
      {"lvwRegistryToBeDeleted", &ThreatListControls::lvwRegistryToBeDeleted},
      {"lvwCookiesToDelete", &ThreatListControls::lvwCookiesToDelete},
      {"lbltracesFound", &ThreatListControls::lbltracesFound},
      {"lblDeletingCaption", &ThreatListControls::lblDeletingCaption},
  });
  RequireControls(f, scan, {
      {"tmrScroll", &ScanView::tmrScroll}, {"shpCircle", &ScanView::shpCircle},
      {"cmdRemove", &ScanView::cmdRemove}, {"cmdResults", &ScanView::cmdResults},
      {"cmdSettings", &ScanView::cmdSettings}, {"cmdScanNow", &ScanView::cmdScanNow},
      {"cmdScan", &ScanView::cmdScan}, {"cmdStop", &ScanView::cmdStop}, {"cmdPause", &ScanView::cmdPause},
      {"cmdLog", &ScanView::cmdLog}, {"cmdUpdate", &ScanView::cmdUpdate}, {"cmdStatus", &ScanView::cmdStatus},
      {"lblPercentageCompleted", &ScanView::lblPercentageCompleted},
      {"lblTotalNoOfRunningItems", &ScanView::lblTotalNoOfRunningItems},
      {"lblDefVersion", &ScanView::lblDefVersion}, {"lvwFileNotFounds", &ScanView::lvwFileNotFounds},
      {"optScanAllSelectedHardDrive", &ScanView::optScanAllSelectedHardDrive}, {"chkMakeLog", &ScanView::chkMakeLog},
      {"pbgMain", &ScanView::pbgMain}, {"Label4", &ScanView::Label4}, {"Label5", &ScanView::Label5},
      {"lblPause", &ScanView::lblPause}, {"lblStop", &ScanView::lblStop}, {"lblStart", &ScanView::lblStart},
      {"lblRemovalSummary", &ScanView::lblRemovalSummary},
  });
  v.processes = {scan.lblTotalNoOfRunningItems, scan.cmdScan};
  RequireControls(f, v.removal, {
      {"lvwPicRemoveListOfSpywareFoundAndToBeRemoved", &RemovalControls::lvwPicRemoveListOfSpywareFoundAndToBeRemoved},
      {"pgbDeleteSpywaresFound", &RemovalControls::pgbDeleteSpywaresFound},
      {"lblDeletingPercentageCompleted", &RemovalControls::lblDeletingPercentageCompleted},
      {"lblDeletingCaption", &RemovalControls::lblDeletingCaption},
      {"lblSweepNow", &RemovalControls::lblSweepNow}, {"lblOptions", &RemovalControls::lblOptions},
      {"lblResult", &RemovalControls::lblResult}, {"lblExit", &RemovalControls::lblExit},
      {"lblRemove", &RemovalControls::lblRemove},
      {"lblRemovePicSoftwareFound", &RemovalControls::lblRemovePicSoftwareFound},
      {"lbltracesFound", &RemovalControls::lbltracesFound}, {"lblSoftwareFound", &RemovalControls::lblSoftwareFound},
      {"chkSendData", &RemovalControls::chkSendData}, {"cmdScanNow", &RemovalControls::cmdScanNow},
      {"cmdSelectAll", &RemovalControls::cmdSelectAll}, {"cmdExclude", &RemovalControls::cmdExclude},
      {"Command4", &RemovalControls::Command4}, {"lblRemovalSummary", &RemovalControls::lblRemovalSummary},
  });
  RequireControls(f, v.report, {{"lblViewLogFile", &ReportControls::lblViewLogFile}});
  RequireControls(f, v.submission, {
      {"txtFilename", &SubmissionControls::txtFilename}, {"Label26", &SubmissionControls::Label26},
      {"chkSendData", &SubmissionControls::chkSendData},
  });
  return v;
}

}  // namespace kx
