#include "app/windows/frm_help.h"

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
  if (attributes && !(*attributes & FA_DIRECTORY)) p.shell.Open(chm);
  app_.settings().WriteSetting("Settings", "showHelp", "0");
}

}  // namespace kx
