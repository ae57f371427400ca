// What the two alert windows share: pixel placement and a place in the middle of the screen.
#pragma once

#include <string>

#include "platform/forms/form.h"

namespace kx::alert_window {

constexpr int kPx = 15;  // twips per pixel at 96 DPI

using ui::Place;

// The alerts pop up by themselves, often with the main window in the notification area:
// the middle of the work area is where they are seen.
inline void CentreOnWorkArea(ui::Form& form) {
  int left = 0, top = 0, width = 0, height = 0;
  form.backend().WorkArea(left, top, width, height);
  form.Move(left + (width - form.width()) / 2, top + (height - form.height()) / 2, form.width(), form.height());
}

}  // namespace kx::alert_window
