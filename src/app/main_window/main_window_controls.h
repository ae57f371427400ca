// The main window's controls and where they stand, without their handlers: FrmMain adds
// the handlers; tests and benchmarks build the same controls under the same names.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class MainWindowControls : public ui::Form {
 public:
  explicit MainWindowControls(ui::Backend& backend);

 private:
  void BuildMenus();
  void BuildPanels();
  void BuildStatusPanel(ui::Control& panel);
  void BuildScanPanel(ui::Control& panel);
  void BuildResultsPanel(ui::Control& panel);
  void BuildOptionsPanel(ui::Control& panel);
  void BuildSideBar();
  void BuildWorkingLists();
  void BuildTimers();
};

}  // namespace kx
