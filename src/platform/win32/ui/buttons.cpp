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

void ShowDefaultButton(FormWin& w, HWND focus) {
  Control* focused = focus && GetParent(focus) == w.hwnd ? w.ById(GetDlgCtrlID(focus)) : nullptr;
  const Control* def = focused && focused->type() == ControlType::CommandButton ? focused : w.form->default_button();
  for (const auto& c : w.form->controls()) {
    if (c->type() != ControlType::CommandButton || !H(*c)) continue;
    const LONG_PTR want = c.get() == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((GetWindowLongPtrA(H(*c), GWL_STYLE) & BS_TYPEMASK) != want) SendMessageA(H(*c), BM_SETSTYLE, want, TRUE);
  }
}

DWORD GroupStyle(const Control& c) {
  // Arrow keys move within a group: an option button continues the one just before it in the
  // same frame; every other control starts a group of its own.
  if (c.type() != ControlType::OptionButton) return WS_GROUP;
  const Control* before = nullptr;
  for (const auto& other : c.form().controls()) {
    if (other.get() == &c) break;
    if (KindOf(other->type()).windowClass && other->type() != ControlType::Frame &&
        other->type() != ControlType::PictureBox && other->type() != ControlType::TabStrip)
      before = other.get();
  }
  const bool continues = before && before->type() == ControlType::OptionButton && before->container() == c.container();
  return continues ? 0 : WS_GROUP;
}

const ControlKind kCommandButtonKind = {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, nullptr, Created, Changed, Command};
const ControlKind kCheckBoxKind = {"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0, nullptr, Created, Changed, Command};
const ControlKind kOptionButtonKind = {"BUTTON", BS_RADIOBUTTON | WS_TABSTOP, 0, nullptr, Created, Changed, Command};

}  // namespace kx::win32
