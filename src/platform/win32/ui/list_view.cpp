// The list view: report view with columns, rows, sub-items, check marks and a small picture
// a row. Column widths the user drags go back into the model, which saves them at unload;
// until the user drags one, a fill column takes what the others leave of the list's width.
#include <algorithm>

#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

void ShowColumns(Win32Backend::Impl& impl, FormWin& w, Control& c) {
  HWND h = H(c);
  Syncing s(w);  // the header reports our own widths back as changes
  std::vector<ui::ListColumn> cols = c.columns();
  if (cols.empty()) cols.push_back({"", c.width()});  // report view shows nothing without one
  HWND header = ListView_GetHeader(h);
  const size_t have = header ? static_cast<size_t>(std::max(0, Header_GetItemCount(header))) : 0;
  if (have != cols.size()) {
    while (ListView_DeleteColumn(h, 0)) {
    }
  }
  for (size_t i = 0; i < cols.size(); ++i) {
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<char*>(cols[i].caption.c_str());
    col.cx = impl.Px(cols[i].width);
    col.iSubItem = static_cast<int>(i);
    // Same count: change in place, so the widths the user set survive a caption change.
    if (have == cols.size()) {
      if (ListView_GetColumnWidth(h, static_cast<int>(i)) == col.cx) col.mask &= ~LVCF_WIDTH;
      SendMessageA(h, LVM_SETCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    } else {
      SendMessageA(h, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
  }
}

// The fill column gets the client width the others leave (the vertical scroll bar, when
// there is one, is outside it), and the model its width.
void FitColumns(Win32Backend::Impl& impl, FormWin& w, Control& c) {
  const size_t fill = c.fill_column();
  HWND h = H(c);
  RECT client{};
  if (fill == 0 || fill > c.columns().size() || !GetClientRect(h, &client)) return;
  int others = 0;
  for (size_t i = 0; i < c.columns().size(); ++i)
    if (i + 1 != fill) others += ListView_GetColumnWidth(h, static_cast<int>(i));
  // A list narrower than its other columns scrolls rather than hiding the fill column.
  const int width = std::max<int>(client.right - others, impl.Px(600));
  Syncing s(w);
  if (ListView_GetColumnWidth(h, static_cast<int>(fill - 1)) != width) ListView_SetColumnWidth(h, static_cast<int>(fill - 1), width);
  if (impl.Px(c.columns()[fill - 1].width) != width) c.set_column_width(fill, impl.Tw(width));
}

// The widths the window has now, into the model; the model's own change comes back as a no-op.
// A drag is the user's choice of widths: the columns stop following the list's width.
void ReadColumnWidths(Win32Backend::Impl& impl, FormWin& w, Control& c) {
  Syncing s(w);
  for (size_t i = 0; i < c.columns().size(); ++i) {
    const int px = ListView_GetColumnWidth(H(c), static_cast<int>(i));
    if (px > 0 && impl.Px(c.columns()[i].width) != px) c.DragColumn(i + 1, impl.Tw(px));
  }
}

void ShowRow(HWND h, const Control& c, size_t i, bool insert) {
  const ui::ListItem& row = c.items()[i];
  LVITEMA it = {};
  it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
  it.iItem = static_cast<int>(i);
  it.pszText = const_cast<char*>(row.text.c_str());
  it.iImage = (row.smallIcon >= 1 && row.smallIcon <= kRowIconCount) ? row.smallIcon : 0;
  it.stateMask = LVIS_SELECTED | LVIS_STATEIMAGEMASK;
  it.state = (row.selected ? LVIS_SELECTED : 0) | INDEXTOSTATEIMAGEMASK(row.checked ? 2 : 1);
  if (!c.checkboxes()) it.stateMask = LVIS_SELECTED;
  SendMessageA(h, insert ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  if (insert) SendMessageA(h, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&it));
  const size_t cols = std::max<size_t>(c.columns().size(), 1);
  for (size_t s = 1; s < cols; ++s) {
    LVITEMA sub = {};
    sub.iSubItem = static_cast<int>(s);
    sub.pszText = const_cast<char*>(row.SubItem(s).c_str());
    SendMessageA(h, LVM_SETITEMTEXTA, i, reinterpret_cast<LPARAM>(&sub));
  }
}

void ShowRows(FormWin& w, Control& c) {
  HWND h = H(c);
  Syncing s(w);
  const size_t have = static_cast<size_t>(std::max(0, ListView_GetItemCount(h)));
  const size_t want = c.item_count();
  if (have + 1 == want) {
    ShowRow(h, c, want - 1, true);  // the common case while a scan fills a list
  } else if (have == want) {
    for (size_t i = 0; i < want; ++i) ShowRow(h, c, i, false);
  } else {
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(h);
    for (size_t i = 0; i < want; ++i) ShowRow(h, c, i, true);
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
  }
}

void ShowChecks(FormWin& w, Control& c) {
  HWND h = H(c);
  Syncing s(w);
  for (size_t i = 0; i < c.item_count(); ++i) {
    const bool on = c.items()[i].checked;
    if ((ListView_GetCheckState(h, static_cast<UINT>(i)) != 0) != on) ListView_SetCheckState(h, static_cast<UINT>(i), on);
  }
}

void Created(Win32Backend::Impl& impl, FormWin& w, Control& c) {
  HWND h = H(c);
  ListView_SetExtendedListViewStyle(h, LVS_EX_FULLROWSELECT | (c.checkboxes() ? LVS_EX_CHECKBOXES : 0));
  impl.CreateImages();
  if (impl.images) ListView_SetImageList(h, impl.images, LVSIL_SMALL);
  ShowColumns(impl, w, c);
  ShowRows(w, c);
  FitColumns(impl, w, c);
}

bool Changed(Win32Backend::Impl& impl, FormWin& w, Control& c, Prop what) {
  switch (what) {
    case Prop::Columns:
      if (w.syncing) return true;  // our own read-back of the widths
      ShowColumns(impl, w, c);
      ShowRows(w, c);
      FitColumns(impl, w, c);
      return true;
    case Prop::ListItems:
      ShowRows(w, c);
      FitColumns(impl, w, c);  // rows past the bottom bring a scroll bar that narrows the list
      return true;
    case Prop::Bounds:
      impl.Place(w, c);  // holds no controls: placing itself is all a move needs
      FitColumns(impl, w, c);
      return true;
    case Prop::ItemChecked: ShowChecks(w, c); return true;
    default: return false;
  }
}

void Notify(Win32Backend::Impl&, FormWin&, Control& c, NMHDR* nm) {
  if (nm->code == LVN_ITEMCHANGED) {
    auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
    if (lv->iItem < 0 || static_cast<size_t>(lv->iItem) >= c.item_count() || !(lv->uChanged & LVIF_STATE)) return;
    const size_t i = static_cast<size_t>(lv->iItem);
    if ((lv->uNewState ^ lv->uOldState) & LVIS_SELECTED) c.item(i).selected = (lv->uNewState & LVIS_SELECTED) != 0;
    if (c.checkboxes() && ((lv->uNewState ^ lv->uOldState) & LVIS_STATEIMAGEMASK)) {
      const UINT image = (lv->uNewState & LVIS_STATEIMAGEMASK) >> 12;
      if (image == 1 || image == 2) c.SetItemChecked(i, image == 2);
    }
  } else if (nm->code == NM_CLICK) {
    auto* ia = reinterpret_cast<NMITEMACTIVATE*>(nm);
    if (ia->iItem >= 0) c.ClickItem(static_cast<size_t>(ia->iItem));
  } else if (nm->code == NM_DBLCLK) {
    if (c.onDblClick) c.onDblClick();
  }
}

bool IsWidthChange(const NMHDR* nm) {
  switch (nm->code) {
    case HDN_ITEMCHANGEDA:
    case HDN_ITEMCHANGEDW:
    case HDN_ENDTRACKA:
    case HDN_ENDTRACKW: {
      const HDITEMA* item = reinterpret_cast<const NMHEADERA*>(nm)->pitem;
      return !item || (item->mask & HDI_WIDTH);
    }
    default: return false;
  }
}

// The header tells the list view, not the form, when a column is dragged or set wider.
LRESULT Message(Win32Backend::Impl& impl, FormWin& w, Control& c, WNDPROC classProc, UINT msg, WPARAM wp, LPARAM lp) {
  const LRESULT r = CallWindowProcA(classProc, H(c), msg, wp, lp);
  if (msg == WM_NOTIFY && !w.syncing && IsWidthChange(reinterpret_cast<NMHDR*>(lp))) ReadColumnWidths(impl, w, c);
  return r;
}

}  // namespace

void Win32Backend::Impl::CreateImages() {
  if (images) return;
  images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, kRowIconCount + 1, 0);
  if (!images) return;
  // Slot 0 is "no picture"; a missing resource leaves its slot blank so the numbers hold.
  HINSTANCE inst = GetModuleHandleA(nullptr);
  const std::vector<BYTE> clearMask(32, 0xFF), noColour(32, 0);  // a fully transparent 16x16
  for (int i = 0; i <= kRowIconCount; ++i) {
    HICON icon = i == 0 ? nullptr
                        : static_cast<HICON>(LoadImageA(inst, MAKEINTRESOURCEA(kFirstRowIcon + i - 1), IMAGE_ICON, 16, 16, 0));
    if (!icon) icon = CreateIcon(inst, 16, 16, 1, 1, clearMask.data(), noColour.data());
    ImageList_AddIcon(images, icon);
    DestroyIcon(icon);
  }
}

const ControlKind kListViewKind = {WC_LISTVIEWA, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | WS_TABSTOP,
                                   WS_EX_CLIENTEDGE, nullptr, Created, Changed, nullptr, Notify, Message};

}  // namespace kx::win32
