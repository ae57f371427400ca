// A form's top-level window: made at load, every control a direct child at the absolute
// position its container chain gives (a group box or panel as parent would swallow the
// WM_COMMAND and WM_NOTIFY messages the model needs), destroyed at unload.
#include <algorithm>

#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

const char kOldProcProp[] = "KestrixOldProc";

// The one window procedure of every form: finds the form's data and hands over to FormProc.
LRESULT CALLBACK FormTrampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    if (auto* w = static_cast<FormWin*>(cs->lpCreateParams)) w->hwnd = hwnd;
  }
  auto* w = reinterpret_cast<FormWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!w || !w->form || !w->owner) return DefWindowProcA(hwnd, msg, wp, lp);
  // Closing stays the model's decision: the default would destroy the window under it.
  return Guarded(
      *w->owner, msg, [&] { return w->owner->FormProc(*w, msg, wp, lp); },
      [&] { return msg == WM_CLOSE ? 0 : DefWindowProcA(hwnd, msg, wp, lp); });
}

// Every control is subclassed for mouse moves, key presses and its kind's own messages.
LRESULT CALLBACK ControlSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kOldProcProp));
  if (!old) return DefWindowProcA(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    RemovePropA(hwnd, kOldProcProp);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    return CallWindowProcA(old, hwnd, msg, wp, lp);
  }
  FormWin* w = WinOfChild(hwnd);
  Control* c = w && w->form ? w->ById(GetDlgCtrlID(hwnd)) : nullptr;
  if (!c) return CallWindowProcA(old, hwnd, msg, wp, lp);
  Win32Backend::Impl& owner = *w->owner;
  bool passedOn = false;  // the class has had the message: a later failure must not repeat it
  return Guarded(
      owner, msg,
      [&]() -> LRESULT {
        if (msg == WM_MOUSEMOVE) {
          c->MouseMove(owner.Tw(static_cast<short>(LOWORD(lp))), owner.Tw(static_cast<short>(HIWORD(lp))));
        } else if (msg == WM_SETFOCUS) {
          ShowDefaultButton(*w, hwnd);
        } else if (msg == WM_CHAR && w->syncing == 0) {
          const int key = c->PressKey(static_cast<int>(wp));
          if (key == 0) return 0;
          wp = static_cast<WPARAM>(key);
        }
        const ControlKind& kind = KindOf(c->type());
        passedOn = true;
        if (kind.message) return kind.message(owner, *w, *c, old, msg, wp, lp);
        return CallWindowProcA(old, hwnd, msg, wp, lp);
      },
      [&] { return passedOn ? 0 : CallWindowProcA(old, hwnd, msg, wp, lp); });
}

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

struct Frame {
  DWORD style, exStyle;
};

// The classic border styles as Windows draws them. A bare pop-up has a raised edge so a grey
// window stands apart from what is behind it; kept out of the taskbar it is a tool window,
// which also keeps it out of Alt+Tab and has no caption to look different.
Frame FrameOf(const Form& form) {
  Frame f{WS_OVERLAPPEDWINDOW, 0};
  switch (form.border_style()) {
    case ui::BorderStyle::None: f = {WS_POPUP, WS_EX_DLGMODALFRAME}; break;
    case ui::BorderStyle::FixedSingle: f = {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0}; break;
    case ui::BorderStyle::Sizable: break;
    case ui::BorderStyle::FixedDialog: f = {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_DLGMODALFRAME}; break;
    case ui::BorderStyle::FixedToolWindow: f = {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW}; break;
    case ui::BorderStyle::SizableToolWindow:
      f = {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, WS_EX_TOOLWINDOW};
      break;
  }
  if (form.border_style() == ui::BorderStyle::None && !form.show_in_taskbar()) f.exStyle |= WS_EX_TOOLWINDOW;
  return f;
}

HWND OwnerWindow(const Form& form) {
  return form.owner() ? static_cast<HWND>(form.owner()->native) : nullptr;
}

HICON LoadAppIcon(int sizeMetricX, int sizeMetricY) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), kAppIconName, IMAGE_ICON,
                                       GetSystemMetrics(sizeMetricX), GetSystemMetrics(sizeMetricY), LR_SHARED));
}

}  // namespace

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
    RegisterClassExA(&wc);
  }
  auto w = std::make_unique<FormWin>();
  w->owner = this;
  w->form = &form;
  FormWin* wp = w.get();
  wins[&form] = std::move(w);
  const Frame frame = FrameOf(form);
  HWND hwnd = CreateWindowExA(frame.exStyle, cls.c_str(), form.caption().c_str(), frame.style, Px(form.left()),
                              Px(form.top()), Px(form.width()), Px(form.height()), OwnerWindow(form), nullptr,
                              inst, wp);
  if (!hwnd) {
    wins.erase(&form);
    return;
  }
  wp->hwnd = hwnd;
  form.native = hwnd;
  {
    Syncing s(*wp);
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
    for (Control* c : back) SetWindowPos(H(*c), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  RebuildMenu(*wp);
  UpdateStates(*wp);
  ShowDefaultButton(*wp, nullptr);
  ApplyIcon(*wp);
  for (const auto& c : form.controls())
    if (c->type() == ControlType::Timer) UpdateTimer(*wp, *c);
}

void Win32Backend::Impl::CreateControl(FormWin& w, Control& c) {
  if (c.native || w.idOf.count(&c)) return;
  const int id = w.nextId++;
  w.byId[id] = &c;
  w.idOf[&c] = id;
  const ControlKind& kind = KindOf(c.type());
  if (!kind.windowClass) return;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style | GroupStyle(c);
  if (kind.extraStyle) style |= kind.extraStyle(c);
  // Made where it belongs: placing it afterwards costs another round trip to the window
  // server for each of a form's few hundred controls.
  const RECT r = PlaceOf(c);
  HWND h = CreateWindowExA(kind.exStyle, kind.windowClass, c.caption().c_str(), style, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, w.hwnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (!h) return;
  c.native = h;
  {
    Syncing s(w);
    SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font(c.bold(), c.italic())), FALSE);
    SetPropA(h, kOldProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrA(h, GWLP_WNDPROC)));
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclass));
    if (kind.created) kind.created(*this, w, c);
  }
  UpdateToolTip(w, c);
}

void Win32Backend::Impl::PlaceAtFirstShow(FormWin& w) {
  if (w.placed) return;
  w.placed = true;
  const Form& form = *w.form;
  if (form.start_up_position() == ui::StartUpPosition::Manual) return;
  RECT area{}, self{};
  // The work area of the monitor it is to stand on: its owner's, or the one it is on now.
  HWND owner = OwnerWindow(form);
  const bool onOwner = form.start_up_position() == ui::StartUpPosition::CenterOwner && owner && IsWindowVisible(owner) &&
                       !IsIconic(owner);
  HMONITOR monitor = MonitorFromWindow(onOwner ? owner : w.hwnd, MONITOR_DEFAULTTONEAREST);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoA(monitor, &mi) || !GetWindowRect(w.hwnd, &self)) return;
  area = mi.rcWork;
  RECT around = area;
  if (onOwner) GetWindowRect(owner, &around);
  const int cx = self.right - self.left, cy = self.bottom - self.top;
  // Centred, but never with its caption off the work area.
  int x = around.left + ((around.right - around.left) - cx) / 2;
  int y = around.top + ((around.bottom - around.top) - cy) / 2;
  x = std::max<int>(area.left, std::min<int>(x, area.right - cx));
  y = std::max<int>(area.top, std::min<int>(y, area.bottom - cy));
  SetWindowPos(w.hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  w.form->Move(Tw(x), Tw(y), w.form->width(), w.form->height());
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

RECT Win32Backend::Impl::PlaceOf(const Control& c) const {
  int left = 0, top = 0;
  for (const Control* p = &c; p; p = p->container()) {
    left += p->left();
    top += p->top();
  }
  int height = c.height();
  if (c.type() == ControlType::ComboBox) height += 3000;  // room for the drop-down list
  return {Px(left), Px(top), Px(left) + Px(c.width()), Px(top) + Px(height)};
}

void Win32Backend::Impl::Place(FormWin& w, Control& c) {
  HWND h = H(c);
  if (!h) return;
  const RECT r = PlaceOf(c);
  SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
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
  if (!h) return;
  if (!w.tooltip) {
    // Made with the first tip: most windows have none, and each window costs start-up time.
    if (c.tool_tip().empty()) return;
    w.tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w.hwnd, nullptr, GetModuleHandleA(nullptr),
                                nullptr);
    if (!w.tooltip) return;
  }
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

void Win32Backend::Impl::ApplyIcon(FormWin& w) {
  // The form may ask for its icon in its load handler, after the window exists: every show and
  // change looks again. The owner, when there is one, stands for the program in the taskbar.
  if (w.iconSet || !w.form->icon) return;
  HICON big = LoadAppIcon(SM_CXICON, SM_CYICON);
  HICON small = LoadAppIcon(SM_CXSMICON, SM_CYSMICON);
  if (!big && !small) return;
  for (HWND h : {w.hwnd, GetWindow(w.hwnd, GW_OWNER)}) {
    if (!h) continue;
    SendMessageA(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }
  // The class is the form's own; what the shell (and Wine, across processes) reads is there.
  SetClassLongPtrA(w.hwnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(big));
  SetClassLongPtrA(w.hwnd, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(small));
  w.iconSet = true;
}

namespace {

// Registered by the shell, broadcast to every top-level window when the taskbar is made anew.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

// A notification icon reports its mouse events as mouse moves with the event where the
// position would be (x: WM_LBUTTONDOWN and the rest, y: 0). A real move is told apart by the
// pointer standing where the message says.
bool FromNotificationIcon(HWND hwnd, LPARAM lp) {
  const UINT event = LOWORD(lp);
  if (HIWORD(lp) != 0 || event < WM_MOUSEFIRST || event > WM_MOUSELAST) return false;
  POINT cursor{};
  if (!GetCursorPos(&cursor) || !ScreenToClient(hwnd, &cursor)) return true;
  return !(cursor.x == LONG(event) && cursor.y == 0);
}

}  // namespace

LRESULT Win32Backend::Impl::FormProc(FormWin& w, UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = w.hwnd;
  if (msg == TaskbarCreatedMessage() && msg != 0) {
    if (self->onTaskbarCreated) self->onTaskbarCreated();
    return 0;
  }
  switch (msg) {
    case WM_MOUSEMOVE:
      if (FromNotificationIcon(hwnd, lp))
        w.form->NotifyIconMessage(LOWORD(lp));
      else
        w.form->MouseMove(Tw(static_cast<short>(LOWORD(lp))), Tw(static_cast<short>(HIWORD(lp))));
      return 0;
    case WM_ENDSESSION:
      if (wp && self->onEndSession) self->onEndSession();
      return 0;
    case WM_COMMAND: {
      Control* c = w.ById(LOWORD(wp));
      // What the dialog manager sends for Enter and Escape when no button took them.
      if (!c && lp == 0 && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        if (LOWORD(wp) == IDOK) w.form->PressEnter();
        else w.form->PressEscape();
        return 0;
      }
      if (!c) break;
      if (lp == 0) {  // a menu item
        if (c->type() == ControlType::Menu) c->Click();
        return 0;
      }
      const ControlKind& kind = KindOf(c->type());
      if (!w.syncing && kind.command) kind.command(w, *c, HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    }
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(lp);
      Control* c = w.ById(static_cast<int>(nm->idFrom));
      if (!c || w.syncing) return 0;
      const ControlKind& kind = KindOf(c->type());
      if (kind.notify) kind.notify(*this, w, *c, nm);
      return 0;
    }
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
      // The layout has moved controls over what the old sizes drew (group boxes keep their
      // old frame lines): draw it all again.
      if (!w.frozen && st != ui::WindowState::Minimized)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
      return 0;
    }
    case WM_GETMINMAXINFO: {
      const int minW = w.form->min_client_width(), minH = w.form->min_client_height();
      if (!hwnd || (minW <= 0 && minH <= 0)) break;
      // The client minimum plus this window's own frame, caption and menu bar at this scale.
      RECT r{0, 0, Px(minW), Px(minH)};
      AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)), GetMenu(hwnd) != nullptr,
                         static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)));
      // Never more than the monitor's work area: at a large scale on a small screen the window
      // must still fit on it, clipped, rather than stand off its edges.
      MONITORINFO mi{};
      mi.cbSize = sizeof mi;
      LONG roomX = r.right - r.left, roomY = r.bottom - r.top;
      if (GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi)) {
        roomX = std::min<LONG>(roomX, mi.rcWork.right - mi.rcWork.left);
        roomY = std::min<LONG>(roomY, mi.rcWork.bottom - mi.rcWork.top);
      }
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      if (minW > 0) mmi->ptMinTrackSize.x = std::max<LONG>(mmi->ptMinTrackSize.x, roomX);
      if (minH > 0) mmi->ptMinTrackSize.y = std::max<LONG>(mmi->ptMinTrackSize.y, roomY);
      return 0;
    }
    case WM_CLOSE: w.form->BackendClosed(); return 0;
    case WM_ACTIVATE: {
      // The focus comes back to the control that had it, as in a dialog.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f && IsChild(hwnd, f)) w.lastFocus = f;
        break;
      }
      if (w.form->onActivate) w.form->onActivate();
      HWND f = w.lastFocus;
      if (w.form && HIWORD(wp) == 0 && f && IsChild(hwnd, f) && IsWindowVisible(f) && IsWindowEnabled(f)) {
        Syncing s(w);  // an option button that gets the focus reports a click
        SetFocus(f);
        return 0;
      }
      break;
    }
    case WM_SETCURSOR:
      if (pointer == ui::POINTER_HOURGLASS) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      Control* c = w.ById(GetDlgCtrlID(reinterpret_cast<HWND>(lp)));
      if (c && c->type() == ControlType::PictureBox && c->color() != 0)
        return reinterpret_cast<LRESULT>(w.Brush(c->color()));
      break;
    }
    default: break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace kx::win32
