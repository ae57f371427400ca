// The program's notification-area icon: one per owner window, with the owner's caption as
// its tip and its mouse events coming back to the owner as mouse moves.
#pragma once

#include <map>
#include <string>

#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

class clsTray {
 public:
  // Takes the backend's taskbar and session-end hooks for as long as it lives.
  clsTray(NotificationArea& area, ui::Backend& backend);
  ~clsTray();  // removes every icon still shown
  clsTray(const clsTray&) = delete;
  clsTray& operator=(const clsTray&) = delete;

  // Adds the owner's icon (id 1, its window's picture, its caption as the tip) and sets
  // bRunningInTray. An owner that already has one gets it added again.
  void ShowIcon(ui::Form& owner);
  // Deletes the owner's icon and clears bRunningInTray.
  void RemoveIcon(ui::Form& owner);
  // Only while bRunningInTray: the owner's icon takes the new tip.
  void ChangeToolTip(ui::Form& owner, const std::string& text);
  bool bRunningInTray() const { return running_; }

  // Every icon this program shows goes: the last of the ways out.
  void RemoveAll();
  // Explorer came back: the icons still shown are added to the new taskbar.
  void AddAllAgain();
  bool HasIcon(const ui::Form& owner) const { return icons_.count(&owner) != 0; }

 private:
  NotificationArea& area_;
  ui::Backend& backend_;
  bool running_ = false;
  // The record each owner's icon was added with: its window handle stays known after the
  // window has gone, so the icon can still be deleted.
  std::map<const ui::Form*, NotifyIcon> icons_;
};

using Tray = clsTray;

}  // namespace kx

namespace kx {

// Where a slide-up window stands, in twips: at the right edge of the screen's work area (the
// taskbar excluded), starting just below the work area's bottom, rising until its own bottom
// is 100 twips above it, and gone once it has fallen below it again. Worked out in pixels and
// converted with the screen's own scale, so it holds at every DPI.
struct SlideUpPlace {
  int left = 0;
  int startTop = 0;
  int targetTop = 0;
  int fallEnd = 0;  // a top past this is out of the work area
};
SlideUpPlace PlaceSlideUp(const ui::Form& window);

}  // namespace kx
