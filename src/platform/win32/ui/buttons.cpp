// Command buttons, check boxes and option buttons: BUTTON windows of three styles.
#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

void ShowValue(FormWin& w, Control& c) {
  Syncing s(w);
  SendMessageA(H(c), BM_SETCHECK, c.value() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Created(Win32Backend::Impl&, FormWin& w, Control& c) {
  if (c.type() != ControlType::CommandButton) ShowValue(w, c);
}

bool Changed(Win32Backend::Impl&, FormWin& w, Control& c, Prop what) {
  if (what != Prop::Value) return false;
  ShowValue(w, c);
  return true;
}

void Command(FormWin& w, Control& c, int code, HWND) {
  if (code == BN_CLICKED) {
    c.Click();
    // The plain (not automatic) styles leave the mark to us; a handler may have unloaded.
    if (c.native && c.type() != ControlType::CommandButton) ShowValue(w, c);
  } else if (code == BN_DOUBLECLICKED && c.onDblClick) {
    c.onDblClick();
  }
}

}  // namespace

const ControlKind kCommandButtonKind = {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, nullptr, Created, Changed, Command};
const ControlKind kCheckBoxKind = {"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0, nullptr, Created, Changed, Command};
const ControlKind kOptionButtonKind = {"BUTTON", BS_RADIOBUTTON | WS_TABSTOP, 0, nullptr, Created, Changed, Command};

}  // namespace kx::win32
