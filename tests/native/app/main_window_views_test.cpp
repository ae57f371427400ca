// The controls each feature drives are found once, when the window is built, and a name the
// window lacks stops the program there, naming it.
#include <gtest/gtest.h>

#include "app/main_window/main_window_controls.h"
#include "app/main_window/main_window_views.h"
#include "platform/forms/find_controls.h"
#include "platform/forms/headless.h"

namespace kx {
namespace {

// The main window's controls under their names, less one.
class WindowWithout : public ui::Form {
 public:
  WindowWithout(ui::Backend& b, const MainWindowControls& real, const std::string& missing) : Form("FrmMain", b) {
    for (const auto& c : real.controls())
      if (c->name() != missing) Add(c->type(), c->name(), nullptr, c->index());
  }
};

TEST(MainWindowViews, EveryFeatureGetsAllItsControlsOrStartUpFailsNamingTheMissingOne) {
  ui::HeadlessBackend backend;
  MainWindowControls real(backend);
  const MainWindowViews v = MainWindowViews::Of(real);
  EXPECT_EQ(v.scan.lblStart, real.Find("lblStart"));
  EXPECT_EQ(v.processes.cmdScan, real.Find("cmdScan"));
  EXPECT_EQ(v.removal.Command4, real.Find("Command4"));
  EXPECT_EQ(v.report.lblViewLogFile, real.Find("lblViewLogFile"));
  EXPECT_EQ(v.submission.txtFilename, real.Find("txtFilename"));

  // One control of each feature's view: the scan's progress, its lists, its own, the
  // removal's, the report's and the submission's.
  for (const char* missing : {"pb2", "lvwCookiesToDelete", "lblStart", "pgbDeleteSpywaresFound", "lblViewLogFile",
                              "Label26"}) {
    WindowWithout window(backend, real, missing);
    try {
      MainWindowViews::Of(window);
      ADD_FAILURE() << "no failure without " << missing;
    } catch (const ui::MissingControl& e) {
      EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace kx
