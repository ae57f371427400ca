// Real windows for the form model. Every control is a direct child of its form's top-level
// window, placed at the absolute position its container chain gives: a group box or panel as
// parent would swallow the WM_COMMAND and WM_NOTIFY messages the model needs.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "platform/win32/ui_win32.h"

namespace kx::win32 {

using ui::Control;
using ui::ControlType;
using ui::Form;
using ui::Prop;

namespace {

constexpr int kFirstId = 1000;
const char kShapeClass[] = "KestrixShape";
const char kOldProcProp[] = "KestrixOldProc";

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

struct FormWin {
  Win32Backend::Impl* owner = nullptr;
  Form* form = nullptr;
  HWND hwnd = nullptr;
  HWND tooltip = nullptr;
  HMENU menu = nullptr;
  std::map<int, Control*> byId;
  std::map<const Control*, int> idOf;
  int nextId = kFirstId;
  bool taskbarButton = true;
  int syncing = 0;  // our own updates of a control must not come back as user events
  std::map<uint32_t, HBRUSH> brushes;

  ~FormWin() {
    for (auto& [c, b] : brushes) DeleteObject(b);
    if (menu) DestroyMenu(menu);
  }
  Control* ById(int id) const {
    auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
  }
  HBRUSH Brush(uint32_t rgb) {
    auto& b = brushes[rgb];
    if (!b) b = CreateSolidBrush(RGB((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255));
    return b;
  }
};

struct Win32Backend::Impl {
  Win32Backend* self = nullptr;
  std::map<const Form*, std::unique_ptr<FormWin>> wins;
  std::vector<std::unique_ptr<FormWin>> graveyard;  // windows destroyed inside their own messages
  int depth = 0;
  int pointer = 0;
  int dpi = 96;
  HFONT fonts[4] = {};
  HIMAGELIST images = nullptr;

  int Px(int twips) const { return MulDiv(twips, dpi, 1440); }
  int Tw(int px) const { return MulDiv(px, 1440, dpi); }
  FormWin* Win(const Form& f) {
    auto it = wins.find(&f);
    return it == wins.end() ? nullptr : it->second.get();
  }
  HFONT Font(bool bold, bool italic) {
    HFONT& f = fonts[(bold ? 1 : 0) + (italic ? 2 : 0)];
    if (!f) {
      f = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE,
                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, "Tahoma");
      if (!f) f = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    return f;
  }

  void CreateImages();
  void CreateWindowFor(Form& form);
  void CreateControl(FormWin& w, Control& c);
  void DestroyWin(Form& form);
  void Place(FormWin& w, Control& c);
  void UpdateStates(FormWin& w);
  void UpdateTimer(FormWin& w, Control& c);
  void UpdateToolTip(FormWin& w, Control& c);
  void RebuildMenu(FormWin& w);
  HMENU BuildPopup(FormWin& w, const Control* parent);
  void SyncColumns(Control& c);
  void SyncRow(HWND h, const Control& c, size_t i, bool insert);
  void SyncListView(FormWin& w, Control& c);
  void SyncChecks(FormWin& w, Control& c);
  void SyncTabs(FormWin& w, Control& c);
  void SyncCombo(FormWin& w, Control& c);
  void SyncDate(FormWin& w, Control& c);
  void SyncValue(FormWin& w, Control& c);
  void SyncText(FormWin& w, Control& c);
  LRESULT FormProc(FormWin& w, UINT msg, WPARAM wp, LPARAM lp);
  void OnCommand(FormWin& w, WPARAM wp, LPARAM lp);
  LRESULT OnNotify(FormWin& w, NMHDR* h);
  void Reap() {
    if (depth == 0) graveyard.clear();
  }
};

namespace {

LRESULT CALLBACK FormTrampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    if (auto* w = static_cast<FormWin*>(cs->lpCreateParams)) w->hwnd = hwnd;
  }
  auto* w = reinterpret_cast<FormWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!w || !w->form || !w->owner) return DefWindowProcA(hwnd, msg, wp, lp);
  Win32Backend::Impl* owner = w->owner;
  ++owner->depth;
  LRESULT r = 0;
  try {
    r = owner->FormProc(*w, msg, wp, lp);
  } catch (...) {
    r = 0;  // a failing handler must not take the message loop down
  }
  --owner->depth;
  owner->Reap();
  return r;
}

FormWin* WinOfChild(HWND child) {
  HWND parent = GetParent(child);
  return parent ? reinterpret_cast<FormWin*>(GetWindowLongPtrA(parent, GWLP_USERDATA)) : nullptr;
}

// Every control is subclassed for mouse moves, key presses and the hourglass.
LRESULT CALLBACK ControlSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kOldProcProp));
  if (!old) return DefWindowProcA(hwnd, msg, wp, lp);
  FormWin* w = WinOfChild(hwnd);
  Control* c = w && w->form ? w->ById(GetDlgCtrlID(hwnd)) : nullptr;
  if (msg == WM_NCDESTROY) {
    RemovePropA(hwnd, kOldProcProp);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    return CallWindowProcA(old, hwnd, msg, wp, lp);
  }
  if (!c) return CallWindowProcA(old, hwnd, msg, wp, lp);
  Win32Backend::Impl* owner = w->owner;
  ++owner->depth;
  LRESULT r = 0;
  bool handled = false;
  try {
    if (msg == WM_MOUSEMOVE) {
      c->MouseMove(owner->Tw(static_cast<short>(LOWORD(lp))), owner->Tw(static_cast<short>(HIWORD(lp))));
    } else if (msg == WM_CHAR && w->syncing == 0) {
      int key = c->PressKey(static_cast<int>(wp));
      if (key == 0) {
        handled = true;
      } else {
        wp = static_cast<WPARAM>(key);
      }
    }
    if (!handled) r = CallWindowProcA(old, hwnd, msg, wp, lp);
  } catch (...) {
    r = 0;
  }
  --owner->depth;
  owner->Reap();
  return r;
}

LRESULT CALLBACK ShapeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    FormWin* w = WinOfChild(hwnd);
    Control* c = w && w->form ? w->ById(GetDlgCtrlID(hwnd)) : nullptr;
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    if (c) {
      HGDIOBJ oldBrush = SelectObject(dc, w->Brush(c->color()));
      const int shape = c->value();
      if (shape == 2 || shape == 3) {
        int x = rc.left, y = rc.top, cx = rc.right, cy = rc.bottom;
        if (shape == 3) {  // a circle keeps the smaller side, centred
          int d = std::min(cx, cy);
          x = (cx - d) / 2;
          y = (cy - d) / 2;
          cx = x + d;
          cy = y + d;
        }
        Ellipse(dc, x, y, cx, cy);
      } else {
        Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
      }
      SelectObject(dc, oldBrush);
    }
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return DefWindowProcA(hwnd, msg, wp, lp);
}

std::string WindowText(HWND h) {
  int n = GetWindowTextLengthA(h);
  std::string s(static_cast<size_t>(std::max(0, n)) + 1, '\0');
  int got = GetWindowTextA(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(0, got)));
  return s;
}

HWND H(const Control& c) { return static_cast<HWND>(c.native); }

bool UsableChain(const Control& c) {
  for (const Control* p = &c; p; p = p->container())
    if (!p->enabled()) return false;
  return true;
}

int Depth(const Control& c) {
  int d = 0;
  for (const Control* p = c.container(); p; p = p->container()) ++d;
  return d;
}

// A 16x16 picture for each row kind of the lists: 1..5.
HBITMAP DrawIcon(HDC screen, int index) {
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  RECT all = {0, 0, 16, 16};
  HBRUSH key = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(dc, &all, key);
  DeleteObject(key);
  static const COLORREF colours[] = {RGB(255, 0, 255), RGB(204, 0, 0), RGB(230, 180, 40),
                                     RGB(40, 90, 200), RGB(40, 160, 60), RGB(150, 90, 40)};
  HBRUSH fill = CreateSolidBrush(colours[index]);
  HGDIOBJ oldBrush = SelectObject(dc, fill);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  switch (index) {
    case 1: {  // a warning disc with a bar
      Ellipse(dc, 1, 1, 15, 15);
      RECT bar = {4, 7, 12, 9};
      FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      break;
    }
    case 2:  // a folder
      Rectangle(dc, 1, 4, 15, 14);
      Rectangle(dc, 1, 2, 7, 5);
      break;
    case 3: {  // registry blocks
      Rectangle(dc, 1, 1, 8, 8);
      Rectangle(dc, 8, 8, 15, 15);
      Rectangle(dc, 1, 8, 8, 15);
      break;
    }
    case 4:  // a program window
      Rectangle(dc, 1, 2, 15, 14);
      SelectObject(dc, GetStockObject(WHITE_BRUSH));
      Rectangle(dc, 3, 5, 13, 12);
      break;
    case 5:  // a cookie
      Ellipse(dc, 1, 1, 15, 15);
      SetPixel(dc, 5, 5, RGB(60, 30, 10));
      SetPixel(dc, 10, 7, RGB(60, 30, 10));
      SetPixel(dc, 7, 11, RGB(60, 30, 10));
      break;
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(fill);
  SelectObject(dc, oldBmp);
  DeleteDC(dc);
  return bmp;
}

}  // namespace

void Win32Backend::Impl::CreateImages() {
  if (images) return;
  images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 6, 0);
  if (!images) return;
  HDC screen = GetDC(nullptr);
  for (int i = 0; i <= 5; ++i) {
    HBITMAP bmp = DrawIcon(screen, i);
    ImageList_AddMasked(images, bmp, RGB(255, 0, 255));
    DeleteObject(bmp);
  }
  ReleaseDC(nullptr, screen);
}

void Win32Backend::Impl::CreateWindowFor(Form& form) {
  if (Win(form)) return;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  const std::string cls = "KestrixForm_" + form.name();
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(inst, cls.c_str(), &wc)) {
    wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FormTrampoline;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = cls.c_str();
    if (form.icon) wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(form.icon));
    RegisterClassExA(&wc);
  }
  auto w = std::make_unique<FormWin>();
  w->owner = this;
  w->form = &form;
  FormWin* wp = w.get();
  wins[&form] = std::move(w);
  HWND hwnd = CreateWindowExA(0, cls.c_str(), form.caption().c_str(),
                              WS_OVERLAPPEDWINDOW, Px(form.left()), Px(form.top()),
                              Px(form.width()), Px(form.height()), nullptr, nullptr, inst, wp);
  if (!hwnd) {
    wins.erase(&form);
    return;
  }
  wp->hwnd = hwnd;
  form.native = hwnd;
  wp->tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                inst, nullptr);
  ++wp->syncing;
  for (const auto& c : form.controls()) CreateControl(*wp, *c);
  // Containers lie beneath what they hold, the outermost lowest, and a tab strip under the
  // frames that make its pages.
  std::vector<Control*> back;
  for (const auto& c : form.controls()) {
    ControlType t = c->type();
    if ((t == ControlType::Frame || t == ControlType::PictureBox || t == ControlType::TabStrip) && H(*c))
      back.push_back(c.get());
  }
  std::stable_sort(back.begin(), back.end(), [](Control* a, Control* b) {
    const bool tabA = a->type() == ControlType::TabStrip, tabB = b->type() == ControlType::TabStrip;
    if (Depth(*a) != Depth(*b)) return Depth(*a) > Depth(*b);
    return !tabA && tabB;
  });
  for (Control* c : back)
    SetWindowPos(H(*c), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  --wp->syncing;
  RebuildMenu(*wp);
  UpdateStates(*wp);
  for (const auto& c : form.controls())
    if (c->type() == ControlType::Timer) UpdateTimer(*wp, *c);
}

void Win32Backend::Impl::CreateControl(FormWin& w, Control& c) {
  if (c.native || w.idOf.count(&c)) return;
  const int id = w.nextId++;
  w.byId[id] = &c;
  w.idOf[&c] = id;
  const char* cls = nullptr;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS, ex = 0;
  switch (c.type()) {
    case ControlType::Timer:
    case ControlType::Menu: return;  // no window of their own
    case ControlType::Label: cls = "STATIC"; style |= SS_LEFT | SS_NOTIFY; break;
    case ControlType::CommandButton: cls = "BUTTON"; style |= BS_PUSHBUTTON | WS_TABSTOP; break;
    case ControlType::CheckBox: cls = "BUTTON"; style |= BS_CHECKBOX | WS_TABSTOP; break;
    case ControlType::OptionButton: cls = "BUTTON"; style |= BS_RADIOBUTTON | WS_TABSTOP; break;
    case ControlType::Frame: cls = "BUTTON"; style |= BS_GROUPBOX; break;
    case ControlType::TabStrip: cls = WC_TABCONTROLA; style |= WS_TABSTOP; break;
    case ControlType::ListView:
      cls = WC_LISTVIEWA;
      style |= LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | WS_TABSTOP;
      ex = WS_EX_CLIENTEDGE;
      break;
    case ControlType::ProgressBar: cls = PROGRESS_CLASSA; break;
    case ControlType::ComboBox: cls = "COMBOBOX"; style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP; break;
    case ControlType::TextBox:
      cls = "EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      ex = WS_EX_CLIENTEDGE;
      break;
    case ControlType::DTPicker:
      cls = DATETIMEPICK_CLASSA;
      style |= DTS_SHOWNONE | WS_TABSTOP | (c.time_format() ? DTS_TIMEFORMAT : DTS_SHORTDATEFORMAT);
      break;
    case ControlType::PictureBox: cls = "STATIC"; style |= SS_NOTIFY; break;
    case ControlType::Shape: cls = kShapeClass; break;
  }
  HWND h = CreateWindowExA(ex, cls, c.caption().c_str(), style, 0, 0, 0, 0, w.hwnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (!h) return;
  c.native = h;
  ++w.syncing;
  SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font(c.bold(), c.italic())), FALSE);
  SetPropA(h, kOldProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrA(h, GWLP_WNDPROC)));
  SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclass));
  switch (c.type()) {
    case ControlType::ListView:
      ListView_SetExtendedListViewStyle(h, LVS_EX_FULLROWSELECT | (c.checkboxes() ? LVS_EX_CHECKBOXES : 0));
      CreateImages();
      if (images) ListView_SetImageList(h, images, LVSIL_SMALL);
      SyncColumns(c);
      SyncListView(w, c);
      break;
    case ControlType::TabStrip: SyncTabs(w, c); break;
    case ControlType::ComboBox: SyncCombo(w, c); break;
    case ControlType::DTPicker: SyncDate(w, c); break;
    case ControlType::ProgressBar:
    case ControlType::CheckBox:
    case ControlType::OptionButton: SyncValue(w, c); break;
    default: break;
  }
  --w.syncing;
  Place(w, c);
  UpdateToolTip(w, c);
}

void Win32Backend::Impl::Place(FormWin& w, Control& c) {
  HWND h = H(c);
  if (!h) return;
  int left = 0, top = 0;
  for (const Control* p = &c; p; p = p->container()) {
    left += p->left();
    top += p->top();
  }
  int height = c.height();
  if (c.type() == ControlType::ComboBox) height += 3000;  // room for the drop-down list
  SetWindowPos(h, nullptr, Px(left), Px(top), Px(c.width()), Px(height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::Impl::UpdateStates(FormWin& w) {
  for (const auto& c : w.form->controls()) {
    HWND h = H(*c);
    if (!h) continue;
    const bool show = c->shown();
    if ((IsWindowVisible(h) != FALSE) != show) ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
    const bool enable = UsableChain(*c);
    if ((IsWindowEnabled(h) != FALSE) != enable) EnableWindow(h, enable);
  }
}

void Win32Backend::Impl::UpdateTimer(FormWin& w, Control& c) {
  auto it = w.idOf.find(&c);
  if (it == w.idOf.end()) return;
  const UINT_PTR id = static_cast<UINT_PTR>(it->second);
  // Re-setting restarts the countdown, as switching a timer on does.
  if (c.enabled() && c.interval() > 0)
    SetTimer(w.hwnd, id, static_cast<UINT>(c.interval()), nullptr);
  else
    KillTimer(w.hwnd, id);
}

void Win32Backend::Impl::UpdateToolTip(FormWin& w, Control& c) {
  HWND h = H(c);
  if (!h || !w.tooltip) return;
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = w.hwnd;
  ti.uId = reinterpret_cast<UINT_PTR>(h);
  SendMessageA(w.tooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  if (c.tool_tip().empty()) return;
  std::string text = c.tool_tip();
  ti.lpszText = text.data();
  SendMessageA(w.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

HMENU Win32Backend::Impl::BuildPopup(FormWin& w, const Control* parent) {
  HMENU m = CreatePopupMenu();
  for (Control* item : w.form->Children(parent)) {
    if (item->type() != ControlType::Menu || !item->visible()) continue;
    if (item->caption() == "-") {
      AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (item->enabled() ? 0 : MF_GRAYED) | (item->checked() ? MF_CHECKED : 0);
    bool hasItems = false;
    for (Control* sub : w.form->Children(item))
      if (sub->type() == ControlType::Menu) hasItems = true;
    if (hasItems) {
      AppendMenuA(m, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(BuildPopup(w, item)), item->caption().c_str());
    } else {
      AppendMenuA(m, flags, static_cast<UINT_PTR>(w.idOf[item]), item->caption().c_str());
    }
  }
  return m;
}

void Win32Backend::Impl::RebuildMenu(FormWin& w) {
  // Top menus are the Menu controls on the form itself; hidden ones only pop up.
  std::vector<Control*> tops;
  for (Control* c : w.form->Children(nullptr))
    if (c->type() == ControlType::Menu && c->visible()) tops.push_back(c);
  HMENU bar = nullptr;
  if (!tops.empty()) {
    bar = CreateMenu();
    for (Control* top : tops) {
      UINT flags = MF_STRING | (top->enabled() ? 0 : MF_GRAYED);
      bool hasItems = false;
      for (Control* sub : w.form->Children(top))
        if (sub->type() == ControlType::Menu) hasItems = true;
      if (hasItems)
        AppendMenuA(bar, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(BuildPopup(w, top)), top->caption().c_str());
      else
        AppendMenuA(bar, flags, static_cast<UINT_PTR>(w.idOf[top]), top->caption().c_str());
    }
  }
  SetMenu(w.hwnd, bar);
  if (w.menu) DestroyMenu(w.menu);
  w.menu = bar;
  DrawMenuBar(w.hwnd);
}

void Win32Backend::Impl::SyncColumns(Control& c) {
  HWND h = H(c);
  while (ListView_DeleteColumn(h, 0)) {
  }
  std::vector<ui::ListColumn> cols = c.columns();
  if (cols.empty()) cols.push_back({"", c.width()});  // report view shows nothing without one
  for (size_t i = 0; i < cols.size(); ++i) {
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<char*>(cols[i].caption.c_str());
    col.cx = Px(cols[i].width);
    col.iSubItem = static_cast<int>(i);
    SendMessageA(h, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
  }
}

void Win32Backend::Impl::SyncRow(HWND h, const Control& c, size_t i, bool insert) {
  const ui::ListItem& row = c.items()[i];
  LVITEMA it = {};
  it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
  it.iItem = static_cast<int>(i);
  it.pszText = const_cast<char*>(row.text.c_str());
  it.iImage = (row.smallIcon >= 1 && row.smallIcon <= 5) ? row.smallIcon : 0;
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

void Win32Backend::Impl::SyncListView(FormWin& w, Control& c) {
  HWND h = H(c);
  ++w.syncing;
  const size_t have = static_cast<size_t>(std::max(0, ListView_GetItemCount(h)));
  const size_t want = c.item_count();
  if (have + 1 == want) {
    SyncRow(h, c, want - 1, true);  // the common case while a scan fills a list
  } else if (have == want) {
    for (size_t i = 0; i < want; ++i) SyncRow(h, c, i, false);
  } else {
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(h);
    for (size_t i = 0; i < want; ++i) SyncRow(h, c, i, true);
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
  }
  --w.syncing;
}

void Win32Backend::Impl::SyncChecks(FormWin& w, Control& c) {
  HWND h = H(c);
  ++w.syncing;
  for (size_t i = 0; i < c.item_count(); ++i) {
    const bool on = c.items()[i].checked;
    if ((ListView_GetCheckState(h, static_cast<UINT>(i)) != 0) != on)
      ListView_SetCheckState(h, static_cast<UINT>(i), on);
  }
  --w.syncing;
}

void Win32Backend::Impl::SyncTabs(FormWin& w, Control& c) {
  HWND h = H(c);
  ++w.syncing;
  TabCtrl_DeleteAllItems(h);
  for (size_t i = 0; i < c.tabs().size(); ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(c.tabs()[i].c_str());
    SendMessageA(h, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  TabCtrl_SetCurSel(h, c.selected_tab() - 1);
  --w.syncing;
}

void Win32Backend::Impl::SyncCombo(FormWin& w, Control& c) {
  HWND h = H(c);
  ++w.syncing;
  SendMessageA(h, CB_RESETCONTENT, 0, 0);
  for (const std::string& s : c.list()) SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(c.list_index()), 0);
  --w.syncing;
}

void Win32Backend::Impl::SyncDate(FormWin& w, Control& c) {
  HWND h = H(c);
  ++w.syncing;
  if (c.date()) {
    const DateTime& d = *c.date();
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(d.year);
    st.wMonth = static_cast<WORD>(d.month);
    st.wDay = static_cast<WORD>(d.day);
    st.wDayOfWeek = static_cast<WORD>(d.DayOfWeek() - 1);
    st.wHour = static_cast<WORD>(d.hour);
    st.wMinute = static_cast<WORD>(d.minute);
    st.wSecond = static_cast<WORD>(d.second);
    SendMessageA(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  } else {
    SendMessageA(h, DTM_SETSYSTEMTIME, GDT_NONE, 0);
  }
  --w.syncing;
}

void Win32Backend::Impl::SyncValue(FormWin& w, Control& c) {
  HWND h = H(c);
  ++w.syncing;
  switch (c.type()) {
    case ControlType::CheckBox:
    case ControlType::OptionButton:
      SendMessageA(h, BM_SETCHECK, c.value() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case ControlType::ProgressBar:
      SendMessageA(h, PBM_SETRANGE32, static_cast<WPARAM>(c.min()), c.max());
      SendMessageA(h, PBM_SETPOS, static_cast<WPARAM>(c.value()), 0);
      break;
    default: InvalidateRect(h, nullptr, TRUE); break;
  }
  --w.syncing;
}

void Win32Backend::Impl::SyncText(FormWin& w, Control& c) {
  HWND h = H(c);
  if (c.type() == ControlType::ComboBox) return;  // a drop-down list shows its selection
  if (WindowText(h) == c.caption()) return;
  ++w.syncing;
  SetWindowTextA(h, c.caption().c_str());
  --w.syncing;
  if (c.type() == ControlType::Label || c.type() == ControlType::Frame) InvalidateRect(h, nullptr, TRUE);
}

void Win32Backend::Impl::DestroyWin(Form& form) {
  auto it = wins.find(&form);
  if (it == wins.end()) return;
  std::unique_ptr<FormWin> w = std::move(it->second);
  wins.erase(it);
  HWND hwnd = w->hwnd;
  for (const auto& c : form.controls()) c->native = nullptr;
  form.native = nullptr;
  w->form = nullptr;  // messages from here on go to DefWindowProc
  if (hwnd) DestroyWindow(hwnd);
  graveyard.push_back(std::move(w));
  Reap();
}

void Win32Backend::Impl::OnCommand(FormWin& w, WPARAM wp, LPARAM lp) {
  const int id = LOWORD(wp);
  const int code = HIWORD(wp);
  Control* c = w.ById(id);
  if (!c) return;
  if (lp == 0) {  // a menu item
    if (c->type() == ControlType::Menu) c->Click();
    return;
  }
  if (w.syncing) return;
  HWND h = reinterpret_cast<HWND>(lp);
  switch (c->type()) {
    case ControlType::CommandButton:
    case ControlType::CheckBox:
    case ControlType::OptionButton:
      if (code == BN_CLICKED) {
        c->Click();
        if (c->native && c->type() != ControlType::CommandButton) SyncValue(w, *c);
      } else if (code == BN_DOUBLECLICKED && c->onDblClick) {
        c->onDblClick();
      }
      break;
    case ControlType::Label:
    case ControlType::PictureBox:
      if (code == STN_CLICKED) c->Click();
      else if (code == STN_DBLCLK && c->onDblClick) c->onDblClick();
      break;
    case ControlType::TextBox:
      if (code == EN_CHANGE) c->set_caption(WindowText(h));
      break;
    case ControlType::ComboBox:
      if (code == CBN_SELCHANGE) c->set_list_index(static_cast<int>(SendMessageA(h, CB_GETCURSEL, 0, 0)));
      break;
    default: break;
  }
}

LRESULT Win32Backend::Impl::OnNotify(FormWin& w, NMHDR* nm) {
  Control* c = w.ById(static_cast<int>(nm->idFrom));
  if (!c || w.syncing) return 0;
  switch (c->type()) {
    case ControlType::TabStrip:
      if (nm->code == TCN_SELCHANGE) c->set_selected_tab(TabCtrl_GetCurSel(nm->hwndFrom) + 1);
      break;
    case ControlType::ListView:
      if (nm->code == LVN_ITEMCHANGED) {
        auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
        if (lv->iItem < 0 || static_cast<size_t>(lv->iItem) >= c->item_count() || !(lv->uChanged & LVIF_STATE))
          break;
        const size_t i = static_cast<size_t>(lv->iItem);
        if ((lv->uNewState ^ lv->uOldState) & LVIS_SELECTED)
          c->item(i).selected = (lv->uNewState & LVIS_SELECTED) != 0;
        if (c->checkboxes() && ((lv->uNewState ^ lv->uOldState) & LVIS_STATEIMAGEMASK)) {
          const UINT image = (lv->uNewState & LVIS_STATEIMAGEMASK) >> 12;
          if (image == 1 || image == 2) c->SetItemChecked(i, image == 2);
        }
      } else if (nm->code == NM_CLICK) {
        auto* ia = reinterpret_cast<NMITEMACTIVATE*>(nm);
        if (ia->iItem >= 0) c->ClickItem(static_cast<size_t>(ia->iItem));
      } else if (nm->code == NM_DBLCLK) {
        if (c->onDblClick) c->onDblClick();
      }
      break;
    case ControlType::DTPicker:
      if (nm->code == DTN_DATETIMECHANGE) {
        auto* dt = reinterpret_cast<NMDATETIMECHANGE*>(nm);
        if (dt->dwFlags == GDT_NONE) {
          c->set_date(std::nullopt);
        } else {
          const SYSTEMTIME& st = dt->st;
          c->set_date(DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond});
        }
      }
      break;
    default: break;
  }
  return 0;
}

LRESULT Win32Backend::Impl::FormProc(FormWin& w, UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = w.hwnd;
  switch (msg) {
    case WM_COMMAND: OnCommand(w, wp, lp); return 0;
    case WM_NOTIFY: return OnNotify(w, reinterpret_cast<NMHDR*>(lp));
    case WM_TIMER:
      if (Control* c = w.ById(static_cast<int>(wp))) {
        if (w.form->loaded()) c->Tick();
      }
      return 0;
    case WM_SIZE: {
      if (!hwnd) break;
      RECT wr;
      GetWindowRect(hwnd, &wr);
      ui::WindowState st = wp == SIZE_MINIMIZED   ? ui::WindowState::Minimized
                           : wp == SIZE_MAXIMIZED ? ui::WindowState::Maximized
                                                  : ui::WindowState::Normal;
      int sw = w.form->scale_width(), sh = w.form->scale_height();
      if (st != ui::WindowState::Minimized) {
        sw = Tw(LOWORD(lp));
        sh = Tw(HIWORD(lp));
      }
      w.form->BackendResized(Tw(wr.right - wr.left), Tw(wr.bottom - wr.top), sw, sh, st);
      return 0;
    }
    case WM_CLOSE: w.form->BackendClosed(); return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && w.form->onActivate) w.form->onActivate();
      break;
    case WM_SETCURSOR:
      if (pointer == ui::POINTER_HOURGLASS) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      Control* c = w.ById(GetDlgCtrlID(reinterpret_cast<HWND>(lp)));
      if (c && c->type() == ControlType::PictureBox && c->color() != 0) return reinterpret_cast<LRESULT>(w.Brush(c->color()));
      break;
    }
    default: break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// ---------------------------------------------------------------- Win32Backend

Win32Backend::Win32Backend() : impl_(std::make_unique<Impl>()) {
  impl_->self = this;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                              ICC_DATE_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  if (!GetClassInfoExA(inst, kShapeClass, &wc)) {
    wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ShapeProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kShapeClass;
    RegisterClassExA(&wc);
  }
  impl_->dpi = ScreenDpi();
}

Win32Backend::~Win32Backend() {
  std::vector<Form*> forms;
  for (auto& [f, w] : impl_->wins) forms.push_back(const_cast<Form*>(f));
  for (Form* f : forms) impl_->DestroyWin(*f);
  impl_->graveyard.clear();
  for (HFONT f : impl_->fonts)
    if (f) DeleteObject(f);
  if (impl_->images) ImageList_Destroy(impl_->images);
}

void Win32Backend::FormLoaded(Form& form) { impl_->CreateWindowFor(form); }

namespace {

// The taskbar's own list of buttons; changing window styles instead would need a hide/show.
void SetTaskbarButton(HWND hwnd, bool shown) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ITaskbarList* list = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList,
                              reinterpret_cast<void**>(&list))) || !list) {
    if (SUCCEEDED(init)) CoUninitialize();
    return;
  }
  if (SUCCEEDED(list->HrInit())) {
    if (shown) list->AddTab(hwnd);
    else list->DeleteTab(hwnd);
  }
  list->Release();
  if (SUCCEEDED(init)) CoUninitialize();
}

}  // namespace

void Win32Backend::FormShown(Form& form, bool modal) {
  impl_->CreateWindowFor(form);
  FormWin* w = impl_->Win(form);
  if (!w) return;
  int cmd = SW_SHOW;
  if (form.window_state() == ui::WindowState::Minimized) cmd = SW_SHOWMINIMIZED;
  if (form.window_state() == ui::WindowState::Maximized) cmd = SW_SHOWMAXIMIZED;
  ShowWindow(w->hwnd, cmd);
  UpdateWindow(w->hwnd);
  // A shown window gets a taskbar button; take it away again when the form has none.
  w->taskbarButton = true;
  if (!form.show_in_taskbar()) {
    w->taskbarButton = false;
    SetTaskbarButton(w->hwnd, false);
  }
}

void Win32Backend::FormHidden(Form& form) {
  if (FormWin* w = impl_->Win(form)) ShowWindow(w->hwnd, SW_HIDE);
}

void Win32Backend::FormUnloaded(Form& form) { impl_->DestroyWin(form); }

void Win32Backend::FormChanged(Form& form) {
  FormWin* w = impl_->Win(form);
  if (!w) return;
  if (w->taskbarButton != form.show_in_taskbar()) {
    w->taskbarButton = form.show_in_taskbar();
    SetTaskbarButton(w->hwnd, w->taskbarButton);
  }
  if (WindowText(w->hwnd) != form.caption()) SetWindowTextA(w->hwnd, form.caption().c_str());
  if (form.window_state() == ui::WindowState::Normal) {
    RECT r;
    GetWindowRect(w->hwnd, &r);
    const int x = impl_->Px(form.left()), y = impl_->Px(form.top());
    const int cx = impl_->Px(form.width()), cy = impl_->Px(form.height());
    if (r.left != x || r.top != y || r.right - r.left != cx || r.bottom - r.top != cy)
      SetWindowPos(w->hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (form.visible()) {
    const bool iconic = IsIconic(w->hwnd), zoomed = IsZoomed(w->hwnd);
    switch (form.window_state()) {
      case ui::WindowState::Minimized: if (!iconic) ShowWindow(w->hwnd, SW_MINIMIZE); break;
      case ui::WindowState::Maximized: if (!zoomed) ShowWindow(w->hwnd, SW_MAXIMIZE); break;
      case ui::WindowState::Normal: if (iconic || zoomed) ShowWindow(w->hwnd, SW_RESTORE); break;
    }
  }
}

void Win32Backend::ControlChanged(Control& c, Prop what) {
  FormWin* w = impl_->Win(c.form());
  if (!w) return;
  if (c.type() == ControlType::Menu) {
    impl_->RebuildMenu(*w);
    return;
  }
  if (c.type() == ControlType::Timer) {
    if (!w->idOf.count(&c)) impl_->CreateControl(*w, c);
    if (what == Prop::Enabled || what == Prop::Interval) impl_->UpdateTimer(*w, c);
    return;
  }
  if (!c.native) {  // added after the window was made
    impl_->CreateControl(*w, c);
    impl_->UpdateStates(*w);
    return;
  }
  switch (what) {
    case Prop::Caption:
    case Prop::Text: impl_->SyncText(*w, c); break;
    case Prop::Enabled:
    case Prop::Visible: impl_->UpdateStates(*w); break;
    case Prop::Bounds:
      // Moving a container moves everything inside it.
      for (const auto& other : c.form().controls()) impl_->Place(*w, *other);
      break;
    case Prop::Font:
      SendMessageA(H(c), WM_SETFONT, reinterpret_cast<WPARAM>(impl_->Font(c.bold(), c.italic())), TRUE);
      InvalidateRect(H(c), nullptr, TRUE);
      break;
    case Prop::ToolTip: impl_->UpdateToolTip(*w, c); break;
    case Prop::Value:
    case Prop::Range:
    case Prop::Color: impl_->SyncValue(*w, c); break;
    case Prop::Columns:
      impl_->SyncColumns(c);
      impl_->SyncListView(*w, c);
      break;
    case Prop::ListItems: impl_->SyncListView(*w, c); break;
    case Prop::ItemChecked: impl_->SyncChecks(*w, c); break;
    case Prop::Tabs:
    case Prop::SelectedTab: impl_->SyncTabs(*w, c); break;
    case Prop::Items:
    case Prop::ListIndex: impl_->SyncCombo(*w, c); break;
    case Prop::Date: impl_->SyncDate(*w, c); break;
    default: break;
  }
}

void Win32Backend::FreezeRedraw(Form& form, bool frozen) {
  FormWin* w = impl_->Win(form);
  if (!w) return;
  SendMessageA(w->hwnd, WM_SETREDRAW, frozen ? FALSE : TRUE, 0);
  if (!frozen) RedrawWindow(w->hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

ui::MsgResult Win32Backend::MsgBox(const std::string& text, uint32_t style, const std::string& title) {
  HWND owner = GetActiveWindow();
  int r = MessageBoxA(owner, text.c_str(), title.c_str(), style);
  if (r < 1 || r > 7) return ui::MsgResult::Cancel;
  return static_cast<ui::MsgResult>(r);
}

void Win32Backend::DoEvents() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));  // leave it for the main loop
      break;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  impl_->Reap();
}

void Win32Backend::SetMousePointer(int pointer) {
  impl_->pointer = pointer;
  SetCursor(LoadCursor(nullptr, pointer == ui::POINTER_HOURGLASS ? IDC_WAIT : IDC_ARROW));
}

int Win32Backend::MousePointer() const { return impl_->pointer; }

std::optional<std::string> Win32Backend::OpenFileDialog(const std::string& title, const std::string& filter) {
  // The classic filter "Text (*.txt)|*.txt" becomes the NUL-separated list Windows wants.
  std::string f = filter.empty() ? std::string("All Files (*.*)|*.*") : filter;
  std::replace(f.begin(), f.end(), '|', '\0');
  f.push_back('\0');
  f.push_back('\0');
  char file[MAX_PATH * 4] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = GetActiveWindow();
  ofn.lpstrFilter = f.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameA(&ofn)) return std::nullopt;
  return std::string(file);
}

void Win32Backend::RunModal(Form& form) {
  FormWin* w = impl_->Win(form);
  if (!w) return;
  HWND self = w->hwnd;
  std::vector<HWND> disabled;
  for (auto& [f, other] : impl_->wins) {
    if (other->hwnd != self && IsWindowEnabled(other->hwnd)) {
      EnableWindow(other->hwnd, FALSE);
      disabled.push_back(other->hwnd);
    }
  }
  MSG m;
  while (form.loaded() && form.visible()) {
    BOOL got = GetMessageA(&m, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (got < 0) break;
    TranslateMessage(&m);
    DispatchMessageA(&m);
    impl_->Reap();
  }
  for (HWND h : disabled)
    if (IsWindow(h)) EnableWindow(h, TRUE);
}

void Win32Backend::WorkArea(int& left, int& top, int& width, int& height) {
  RECT r = {0, 0, 1024, 768};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  left = impl_->Tw(r.left);
  top = impl_->Tw(r.top);
  width = impl_->Tw(r.right - r.left);
  height = impl_->Tw(r.bottom - r.top);
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

// ---------------------------------------------------------------- screenshots

bool SaveWindowBitmap(ui::Form& form, const std::string& path) {
  HWND hwnd = static_cast<HWND>(form.native);
  if (!hwnd || !IsWindow(hwnd)) return false;
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  RECT r;
  GetWindowRect(hwnd, &r);
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  if (cx <= 0 || cy <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, cx, cy);
  HGDIOBJ old = SelectObject(mem, bmp);
  // The screen has the children as drawn; PrintWindow is the fallback when it is not ours.
  if (!BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY)) PrintWindow(hwnd, mem, 0);
  SelectObject(mem, old);
  BITMAPINFOHEADER bi = {};
  bi.biSize = sizeof bi;
  bi.biWidth = cx;
  bi.biHeight = cy;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  const DWORD stride = static_cast<DWORD>((cx * 3 + 3) & ~3);
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(cy));
  const int lines = GetDIBits(mem, bmp, 0, static_cast<UINT>(cy), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (lines != cy) return false;
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  bi.biSizeImage = static_cast<DWORD>(pixels.size());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi, sizeof bi, 1, f) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace kx::win32
