#include "fakes/fake_notify.h"

namespace kx::fakes {
namespace {

// What the shell keeps of a record: the tip within its 64 bytes, up to the first NUL.
NotifyIcon AsHeld(NotifyIcon icon) {
  if (const size_t nul = icon.tip.find('\0'); nul != std::string::npos) icon.tip.resize(nul);
  if (icon.tip.size() > NotifyIcon::kTipBytes - 1) icon.tip.resize(NotifyIcon::kTipBytes - 1);
  return icon;
}

}  // namespace

bool FakeNotificationArea::Add(const NotifyIcon& icon) {
  ++adds;
  if (!taskbar || !icon.window) return false;
  return icons_.emplace(std::pair(icon.window, icon.id), AsHeld(icon)).second;
}

bool FakeNotificationArea::Modify(const NotifyIcon& icon) {
  ++modifies;
  auto it = icons_.find({icon.window, icon.id});
  if (!taskbar || it == icons_.end()) return false;
  // Only the parts the flags name change.
  const NotifyIcon held = AsHeld(icon);
  if (icon.flags & NotifyIcon::MESSAGE) it->second.callbackMessage = held.callbackMessage;
  if (icon.flags & NotifyIcon::ICON) it->second.icon = held.icon;
  if (icon.flags & NotifyIcon::TIP) it->second.tip = held.tip;
  return true;
}

bool FakeNotificationArea::Delete(const void* window, uint32_t id) {
  ++deletes;
  return taskbar && icons_.erase({window, id}) == 1;
}

std::optional<NotifyIcon> FakeNotificationArea::Find(const void* window, uint32_t id) const {
  auto it = icons_.find({window, id});
  if (it == icons_.end()) return std::nullopt;
  return it->second;
}

}  // namespace kx::fakes
