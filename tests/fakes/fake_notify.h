// The notification area: the icons the shell holds, keyed by owner window and id, and a
// screen with a taskbar along its bottom.
#pragma once

#include <map>
#include <optional>
#include <utility>

#include "platform/services.h"

namespace kx::fakes {

class FakeNotificationArea final : public NotificationArea {
 public:
  bool Add(const NotifyIcon& icon) override;
  bool Modify(const NotifyIcon& icon) override;
  bool Delete(const void* window, uint32_t id) override;
  PixelSize DesktopClientSize() override { return desktop; }
  int TaskbarClientHeight() override { return taskbar ? taskbarHeight : 0; }

  // The icon as the shell holds it (its tip cut to fit the record); nullopt when absent.
  std::optional<NotifyIcon> Find(const void* window, uint32_t id = 1) const;
  size_t count() const { return icons_.size(); }
  // Explorer ended: every icon is gone until the program adds it again.
  void RestartShell() { icons_.clear(); }

  PixelSize desktop{1024, 768};
  int taskbarHeight = 30;
  bool taskbar = true;  // without one, the shell refuses every icon
  int adds = 0, modifies = 0, deletes = 0;  // calls, whatever their outcome

 private:
  std::map<std::pair<const void*, uint32_t>, NotifyIcon> icons_;
};

}  // namespace kx::fakes
