// The menu bar, built again from the Menu controls whenever one changes, and context menus.
#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

bool HasItems(const Form& form, const Control* menu) {
  for (Control* sub : form.Children(menu))
    if (sub->type() == ControlType::Menu) return true;
  return false;
}

// One entry: a separator for "-", a submenu when the item has items of its own.
void Append(Win32Backend::Impl& impl, FormWin& w, HMENU m, Control* item, UINT flags) {
  if (item->caption() == "-") {
    AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
  } else if (HasItems(*w.form, item)) {
    AppendMenuA(m, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(impl.BuildPopup(w, item)), item->caption().c_str());
  } else {
    AppendMenuA(m, flags, static_cast<UINT_PTR>(w.idOf[item]), item->caption().c_str());
  }
}

}  // namespace

HMENU Win32Backend::Impl::BuildPopup(FormWin& w, const Control* parent) {
  HMENU m = CreatePopupMenu();
  for (Control* item : w.form->Children(parent)) {
    if (item->type() != ControlType::Menu || !item->visible()) continue;
    Append(*this, w, m, item, MF_STRING | (item->enabled() ? 0 : MF_GRAYED) | (item->checked() ? MF_CHECKED : 0));
  }
  return m;
}

void Win32Backend::Impl::RebuildMenu(FormWin& w) {
  w.menuStale = false;
  // Top menus are the Menu controls on the form itself; hidden ones only pop up.
  HMENU bar = nullptr;
  for (Control* top : w.form->Children(nullptr)) {
    if (top->type() != ControlType::Menu || !top->visible()) continue;
    if (!bar) bar = CreateMenu();
    Append(*this, w, bar, top, MF_STRING | (top->enabled() ? 0 : MF_GRAYED));
  }
  SetMenu(w.hwnd, bar);
  if (w.menu) DestroyMenu(w.menu);
  w.menu = bar;
  DrawMenuBar(w.hwnd);
}

void Win32Backend::PopupMenu(Control& menu) {
  FormWin* w = impl_->Win(menu.form());
  if (!w) return;
  HMENU m = impl_->BuildPopup(*w, &menu);
  POINT pt;
  GetCursorPos(&pt);
  SetForegroundWindow(w->hwnd);
  const int id = static_cast<int>(TrackPopupMenu(m, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, w->hwnd, nullptr));
  DestroyMenu(m);
  if (id) {
    if (Control* c = w->ById(id)) c->Click();
  }
}

}  // namespace kx::win32
