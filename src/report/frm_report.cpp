#include "report/frm_report.h"

#include <algorithm>
#include <optional>

#include "core/text.h"
#include "definitions/codec.h"

namespace kx {
namespace {

constexpr int kPx = 15;  // twips per pixel at 96 DPI
constexpr int kMargin = 8 * kPx;
constexpr int kButtonWidth = 88 * kPx, kButtonHeight = 28 * kPx;

}  // namespace

FrmReport::FrmReport(ui::Backend& backend, const std::string& productName) : Form("frmReport", backend) {
  set_caption(productName + " Log");
  Move(0, 0, 600 * kPx, 460 * kPx);
  ui::Control& text = Add(ui::ControlType::TextBox, "txtReport");
  text.set_multi_line(true);
  text.set_locked(true);
  text.set_scroll_bars(2);
  ui::Control& ok = Add(ui::ControlType::CommandButton, "cmdOk");
  ok.set_caption("OK");
  ok.onClick = [this] { cmdOk_Click(); };
  set_default_button(&ok);
  set_cancel_button(&ok);
  onResize = [this] { Form_Resize(); };
  onLoad = [this] { Form_Load(nullptr, {}); };
  // A long text would otherwise go into the next window before the log is read again.
  onUnload = [this](int&) { Get("txtReport").set_caption({}); };
  Form_Resize();
}

void FrmReport::ReadLogFrom(FileSystem& files, std::string logPath) {
  onLoad = [this, &files, path = std::move(logPath)] { Form_Load(&files, path); };
}

std::string FrmReport::TextOfLog(std::string_view logBytes) {
  std::string text;
  text.reserve(logBytes.size());
  for (const std::string& line : SplitTextLines(logBytes)) {
    if (Trim(line).empty()) text += "\r\n";
    else text += line;
  }
  return text;
}

void FrmReport::Form_Load(FileSystem* files, const std::string& logPath) {
  std::optional<std::string> bytes;
  if (files && !logPath.empty()) bytes = files->ReadFile(logPath);
  Get("txtReport").set_caption(bytes ? TextOfLog(*bytes) : std::string());
  int left = 0, top = 0, width = 0, height = 0;
  backend().WorkArea(left, top, width, height);
  Move(left + std::max(0, (width - this->width()) / 2), top + std::max(0, (height - this->height()) / 2),
       this->width(), this->height());
  Form_Resize();
}

// The text takes the whole window above the button row, however the window is sized.
void FrmReport::Form_Resize() {
  const int width = std::max(scale_width(), kButtonWidth + 2 * kMargin);
  const int height = std::max(scale_height(), kButtonHeight + 3 * kMargin + 20 * kPx);
  const int buttonTop = height - kMargin - kButtonHeight;
  Get("txtReport").Move(kMargin, kMargin, width - 2 * kMargin, buttonTop - 2 * kMargin);
  Get("cmdOk").Move(width - kMargin - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
}

void FrmReport::cmdOk_Click() { Unload(); }

}  // namespace kx
