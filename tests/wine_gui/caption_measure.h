// What the in-process window tests share: running the message loop a while, and whether a
// caption fits its control as Windows draws it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/forms/form.h"

namespace kx {

inline void Pump(DWORD ms) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(5)) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
}

// Why the caption does not fit its control as Windows draws it, or "" when it does.
inline std::string Overflow(const ui::Control& c) {
  HWND h = static_cast<HWND>(c.native);
  if (!h || c.caption().empty()) return "";
  RECT client;
  GetClientRect(h, &client);
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)));
  SIZE line{};
  GetTextExtentPoint32A(dc, c.caption().c_str(), static_cast<int>(c.caption().size()), &line);
  RECT wrapped{0, 0, client.right, 0};
  DrawTextA(dc, c.caption().c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  int room = 0;
  switch (c.type()) {
    case ui::ControlType::CommandButton: room = client.right - 8; break;  // edges and focus rectangle
    case ui::ControlType::CheckBox:
    case ui::ControlType::OptionButton: room = client.right - GetSystemMetrics(SM_CXMENUCHECK) - 6; break;
    case ui::ControlType::Frame: room = client.right - 20; break;  // the caption sits in the line
    case ui::ControlType::Label:  // labels wrap: the lines must fit the height
      return wrapped.bottom > client.bottom
                 ? "needs " + std::to_string(wrapped.bottom) + " px of height, has " + std::to_string(client.bottom)
                 : "";
    default: return "";
  }
  return line.cx > room ? "needs " + std::to_string(line.cx) + " px, has " + std::to_string(room) : "";
}

inline void ExpectCaptionsFit(ui::Form& form, const std::string& where) {
  for (const auto& c : form.controls())
    if (c->shown() && c->type() != ui::ControlType::Menu)
      if (const std::string why = Overflow(*c); !why.empty())
        ADD_FAILURE() << where << ": " << c->name() << " \"" << c->caption() << "\" " << why;
}

}  // namespace kx
