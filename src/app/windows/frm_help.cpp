#include "app/windows/frm_help.h"

#include <utility>

#include "app/app.h"

namespace kx {

FrmHelp::FrmHelp(ui::Backend& backend, App& app) : Form("Form8", backend), app_(app) {
  Move(0, 0, 3000, 1200);
  onLoad = [this] { Form_Load(); };
}

void FrmHelp::Form_Load() {
  Platform& p = app_.platform();
  const std::string chm = p.system.ProgramFolder() + "\\Help.chm";
  auto attributes = p.files.Attributes(chm);
  const std::string page = std::exchange(page_, {});
  if (attributes && !(*attributes & FA_DIRECTORY)) {
    // A page inside the help file is an argument for the help viewer, not a file to open.
    if (page.empty()) p.shell.Open(chm);
    else p.shell.Start("hh.exe", "\"" + chm + "::/" + page + "\"");
  }
  app_.settings().WriteSetting("Settings", "showHelp", "0");
}

}  // namespace kx
