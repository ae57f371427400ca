// Everything a scan needs, built for one main window: the shared scan state, the threat
// list with its exclusions, the registry routines and the driver, with the list events
// connected. The window's owner keeps one of these for the program's life.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/form.h"
#include "platform/services.h"
#include "scan/cookie_scanner.h"
#include "scan/process_scanner.h"
#include "scan/registry_related.h"
#include "scan/results_binding.h"
#include "scan/scan_driver.h"
#include "scan/scan_results.h"
#include "scan/scan_state.h"
#include "scan/threat_list.h"

namespace kx {

struct ScanningSetup {
  std::function<std::string(const std::string&)> message;  // the message table
  std::string productName;
  std::string dataFolder;
  Log* log = nullptr;
};

class Scanning {
 public:
  Scanning(ScanView view, Platform& platform, ui::Backend& ui, ScanHost& host, ScanningSetup setup);

  // The window's commands.
  void cmdScanNow_Click() { driver.StartScan(false); }
  void lblStart_Click() { driver.lblStart_Click(); }
  void cmdPause_Click() { driver.cmdPause_Click(); }
  void lblPause_Click() { driver.lblPause_Click(); }
  void cmdStop_Click() { driver.cmdStop_Click(); }
  void lblStop_Click() { driver.lblStop_Click(); }
  void cmdSelectAll_Click() { threats.cmdSelectAll_Click(); }
  void cmdExclude_Click() { threats.cmdExclude_Click(); }
  void mnuQuarItem_Click(int index);
  ScanView view;
  ScanState state;
  ScanResults results;  // what the scan found; the window's lists show it
  ResultsBinding binding;
  ThreatList threats;
  ModRegistryRelated registry;
  ProcessScanner processes;
  CookieScanner cookies;
  ScanDriver driver;
};

}  // namespace kx
