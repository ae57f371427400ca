#include "removal/frm_restore.h"

#include "core/paths.h"

namespace kx {
namespace {
constexpr int kPx = 15;  // twips per pixel at 96 DPI
constexpr size_t kOutcomeColumn = 3;

using ui::Place;
}  // namespace

FrmRestore::FrmRestore(ui::Backend& backend, std::function<std::string(const std::string&)> message,
                       std::string productName)
    : Form("frmRestore", backend), message_(std::move(message)), productName_(std::move(productName)) {
  set_caption("Restore");
  Move(0, 0, 640 * kPx, 420 * kPx);
  Place(Add(ui::ControlType::Label, "Label1"),
        "Tick what you want back and press Restore. A file goes back only where no other file stands now; "
        "the quarantine keeps its copy either way.",
        12, 10, 610, 34);
  auto& list = Place(Add(ui::ControlType::ListView, "lvwRestore"), "", 12, 48, 610, 270);
  list.set_checkboxes(true);
  list.set_columns({{"Item", 120 * kPx}, {"Original Location", 210 * kPx}, {"Removed", 135 * kPx},
                    {"Outcome", 125 * kPx}});
  auto& exclude = Place(Add(ui::ControlType::CheckBox, "chkExclude"), "Don't detect this again", 12, 326, 300, 22);
  exclude.set_value(1);
  Place(Add(ui::ControlType::CommandButton, "cmdRestore"), "Restore", 318, 356, 96, 28).onClick = [this] {
    cmdRestore_Click();
  };
  Place(Add(ui::ControlType::CommandButton, "cmdDelete"), "Delete", 422, 356, 96, 28).onClick = [this] {
    cmdDelete_Click();
  };
  Place(Add(ui::ControlType::CommandButton, "cmdClose"), "Close", 526, 356, 96, 28).onClick = [this] {
    cmdClose_Click();
  };
  // Escape closes; Enter presses nothing, as restoring and deleting copies take a choice.
  set_cancel_button(Find("cmdClose"));
  onLoad = [this] {
    int left = 0, top = 0, width = 0, height = 0;
    this->backend().WorkArea(left, top, width, height);
    Move(left + (width - this->width()) / 2, top + (height - this->height()) / 2, this->width(), this->height());
  };
}

void FrmRestore::Open(RestoreServices services) {
  engine_ = std::make_unique<Restore>(std::move(services));
  Reload();
  Show(false);
}

void FrmRestore::Reload() {
  ui::Control& list = Get("lvwRestore");
  list.ClearItems();
  rowItems_.clear();
  runs_ = engine_ ? engine_->List() : std::vector<RestoreRun>{};
  for (const RestoreRun& run : runs_)
    for (const RestoreItem& item : run.items) {
      ui::ListItem row;
      switch (item.kind) {
        case RestoreItem::Kind::File: row.text = FileNameOfPath(item.original); break;
        case RestoreItem::Kind::Folder: row.text = FileNameOfPath(item.original) + "\\"; break;
        case RestoreItem::Kind::RegistryExport: row.text = Msg("MSG_RESTORE_REGISTRY"); break;
      }
      std::string where = item.original;
      for (size_t at; (at = where.find("\r\n")) != std::string::npos;) where.replace(at, 2, "; ");
      row.subItems = {where, run.grouped ? run.time : Msg("MSG_RESTORE_EARLIER"), ""};
      list.AddItem(std::move(row));
      rowItems_.push_back(&item);
    }
}

std::vector<const RestoreItem*> FrmRestore::Ticked(std::vector<size_t>& rows) const {
  std::vector<const RestoreItem*> items;
  const auto& list = Get("lvwRestore").items();
  for (size_t i = 0; i < list.size() && i < rowItems_.size(); ++i)
    if (list[i].checked) {
      items.push_back(rowItems_[i]);
      rows.push_back(i);
    }
  return items;
}

std::string FrmRestore::Shown(const ItemOutcome& outcome) const {
  size_t restored = 0;
  const RestoreOutcome* first = nullptr;
  for (const RestoreOutcome& o : outcome.outcomes) {
    if (o.status == RestoreStatus::Restored) ++restored;
    else if (!first) first = &o;
  }
  if (!first) return Msg("MSG_RESTORED");
  std::string text = Msg(first->status == RestoreStatus::InTheWay ? "MSG_RESTORE_SKIPPED" : "MSG_RESTORE_FAILED") +
                     ": " + first->cause;
  if (outcome.outcomes.size() > 1)
    text += " (" + std::to_string(restored) + "/" + std::to_string(outcome.outcomes.size()) + ")";
  return text;
}

void FrmRestore::cmdRestore_Click() {
  std::vector<size_t> rows;
  const auto items = Ticked(rows);
  if (items.empty() || !engine_) {
    backend().MsgBox(Msg("MSG_SELECTED"), ui::MB_ICON_INFORMATION, productName_);
    return;
  }
  const auto outcomes = engine_->RestoreItems(items, Get("chkExclude").value() == 1);
  ui::Control& list = Get("lvwRestore");
  for (size_t i = 0; i < outcomes.size(); ++i) {
    list.item(rows[i]).SetSubItem(kOutcomeColumn, Shown(outcomes[i]));
    list.item(rows[i]).checked = false;
  }
  list.ItemsChanged();
}

void FrmRestore::cmdDelete_Click() {
  std::vector<size_t> rows;
  const auto items = Ticked(rows);
  if (items.empty() || !engine_) {
    backend().MsgBox(Msg("MSG_SELECTED"), ui::MB_ICON_INFORMATION, productName_);
    return;
  }
  if (backend().MsgBox(Msg("MSG_RESTORE_DISCARD"), ui::MB_YES_NO, productName_) != ui::MsgResult::Yes) return;
  const auto outcomes = engine_->DeleteCopies(items);
  std::vector<std::string> failed;
  for (const ItemOutcome& o : outcomes)
    if (!o.AllRestored()) failed.push_back(o.outcomes.empty() ? "" : o.outcomes[0].what + ": " + o.outcomes[0].cause);
  Reload();
  // What could not be deleted is still listed; say why.
  if (!failed.empty()) {
    std::string text = Msg("MSG_RESTORE_FAILED") + ":";
    for (const std::string& f : failed) text += "\r\n" + f;
    backend().MsgBox(text, ui::MB_ICON_EXCLAMATION, productName_);
  }
}

void FrmRestore::cmdClose_Click() { Hide(); }

}  // namespace kx
