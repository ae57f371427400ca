#include "app/tray/tray.h"

#include <algorithm>

namespace kx {
namespace {

constexpr uint32_t kIconId = 1;
constexpr uint32_t kCallbackMessage = 512;  // arrives as the owner's mouse move

std::string TipText(const std::string& text) {
  std::string tip = text.substr(0, text.find('\0'));
  if (tip.size() > NotifyIcon::kTipBytes - 1) tip.resize(NotifyIcon::kTipBytes - 1);
  return tip;
}

}  // namespace

clsTray::clsTray(NotificationArea& area, ui::Backend& backend) : area_(area), backend_(backend) {
  backend_.onTaskbarCreated = [this] { AddAllAgain(); };
  backend_.onEndSession = [this] { RemoveAll(); };
}

clsTray::~clsTray() {
  backend_.onTaskbarCreated = nullptr;
  backend_.onEndSession = nullptr;
  RemoveAll();
}

void clsTray::ShowIcon(ui::Form& owner) {
  // The icon belongs to the owner's window, which exists from its load on.
  owner.Load();
  NotifyIcon record;
  record.window = owner.native;
  record.id = kIconId;
  record.flags = NotifyIcon::MESSAGE | NotifyIcon::ICON | NotifyIcon::TIP;
  record.callbackMessage = kCallbackMessage;
  record.tip = TipText(owner.caption());
  if (auto it = icons_.find(&owner); it != icons_.end() && it->second.window != record.window)
    area_.Delete(it->second.window, it->second.id);  // its window was made anew: no ghost icon
  area_.Add(record);
  icons_[&owner] = record;
  running_ = true;
}

void clsTray::RemoveIcon(ui::Form& owner) {
  const auto it = icons_.find(&owner);
  area_.Delete(it != icons_.end() ? it->second.window : owner.native, kIconId);
  if (it != icons_.end()) icons_.erase(it);
  running_ = false;
}

void clsTray::ChangeToolTip(ui::Form& owner, const std::string& text) {
  if (!running_) return;
  const auto it = icons_.find(&owner);
  if (it == icons_.end()) {
    // Not an icon of ours: the shell refuses the change, as it would have.
    NotifyIcon record;
    record.window = owner.native;
    record.id = kIconId;
    record.tip = TipText(text);
    area_.Modify(record);
    return;
  }
  it->second.tip = TipText(text);
  area_.Modify(it->second);
}

void clsTray::RemoveAll() {
  for (const auto& [owner, record] : icons_) area_.Delete(record.window, record.id);
  icons_.clear();
  running_ = false;
}

void clsTray::AddAllAgain() {
  for (const auto& [owner, record] : icons_) area_.Add(record);
}

}  // namespace kx

namespace kx {

SlideUpPlace PlaceSlideUp(const ui::Form& window) {
  ui::Backend& screen = window.backend();
  int left = 0, top = 0, width = 0, height = 0;
  screen.WorkAreaPixels(left, top, width, height);
  const int bottom = screen.TwipsFromPixels(top + height);
  SlideUpPlace p;
  // The right edge in whole pixels, as the window will be drawn.
  p.left = screen.TwipsFromPixels(left + width - screen.PixelsFromTwips(window.width()));
  p.startTop = bottom;
  // Taller than the work area, it rises no higher than the work area's top.
  p.targetTop = std::max(screen.TwipsFromPixels(top), bottom - (window.height() + 100));
  p.fallEnd = bottom;
  return p;
}

}  // namespace kx
