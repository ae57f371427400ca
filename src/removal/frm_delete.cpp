#include "removal/frm_delete.h"

namespace kx {
namespace {
constexpr int kPx = 15;  // twips per pixel at 96 DPI

using ui::Place;
}  // namespace

FrmDelete::FrmDelete(ui::Backend& backend, Shell& shell) : Form("frmDelete", backend), shell_(shell) {
  set_caption("Delete Failed");
  Move(0, 0, 480 * kPx, 330 * kPx);
  Place(Add(ui::ControlType::Label, "Label1"),
        "The following files could not be deleted.  You should save your work, close all running programs "
        "(especially browsers) and try to delete them again.",
        12, 10, 450, 48);
  auto& list = Place(Add(ui::ControlType::ListView, "lstProblem"), "", 12, 62, 450, 180);
  list.set_columns({{"Location", 430 * kPx}});
  Place(Add(ui::ControlType::CommandButton, "Command1"), "Ok", 262, 252, 96, 28).onClick = [this] {
    Command1_Click();
  };
  Place(Add(ui::ControlType::CommandButton, "Command2"), "Copy List", 366, 252, 96, 28).onClick = [this] {
    Command2_Click();
  };
  set_default_button(Find("Command1"));
  set_cancel_button(Find("Command1"));
  onLoad = [this] {
    int left = 0, top = 0, width = 0, height = 0;
    this->backend().WorkArea(left, top, width, height);
    Move(left + (width - this->width()) / 2, top + (height - this->height()) / 2, this->width(), this->height());
  };
}

void FrmDelete::ClearProblems() { Get("lstProblem").ClearItems(); }

void FrmDelete::AddProblem(const std::string& path) {
  ui::ListItem row;
  row.text = path;
  Get("lstProblem").AddItem(std::move(row));
}

void FrmDelete::ShowFailures(const std::vector<RowOutcome>& outcomes) {
  bool any = false;
  for (const RowOutcome& o : outcomes) {
    if (o.removed) continue;
    AddProblem(o.location);
    any = true;
  }
  if (any) Show(false);
}

void FrmDelete::Command1_Click() { Hide(); }

void FrmDelete::Command2_Click() {
  std::string text;
  for (const ui::ListItem& row : Get("lstProblem").items()) text += row.text + "\r\n";
  shell_.SetClipboardText(text);
}

}  // namespace kx
