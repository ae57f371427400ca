// The tab strip: its captions and the selected tab; the pages are frames the program shows.
#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

void ShowTabs(Win32Backend::Impl&, FormWin& w, Control& c) {
  HWND h = H(c);
  Syncing s(w);
  TabCtrl_DeleteAllItems(h);
  for (size_t i = 0; i < c.tabs().size(); ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(c.tabs()[i].c_str());
    SendMessageA(h, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  TabCtrl_SetCurSel(h, c.selected_tab() - 1);
}

bool Changed(Win32Backend::Impl& impl, FormWin& w, Control& c, Prop what) {
  if (what != Prop::Tabs && what != Prop::SelectedTab) return false;
  ShowTabs(impl, w, c);
  return true;
}

void Notify(Win32Backend::Impl&, FormWin&, Control& c, NMHDR* nm) {
  if (nm->code == TCN_SELCHANGE) c.set_selected_tab(TabCtrl_GetCurSel(nm->hwndFrom) + 1);
}

}  // namespace

const ControlKind kTabStripKind = {WC_TABCONTROLA, WS_TABSTOP, 0, nullptr, ShowTabs, Changed, nullptr, Notify};

}  // namespace kx::win32
