// Message pumping: DoEvents, the modal loop, the keyboard of a dialog, and work posted from
// other threads, delivered on the UI thread through a message-only window.
#include <algorithm>

#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

const char kPostClass[] = "KestrixPost";
constexpr UINT kRunPosted = WM_APP + 1;

LRESULT CALLBACK PostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* impl = reinterpret_cast<Win32Backend::Impl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg != kRunPosted || !impl) return DefWindowProcA(hwnd, msg, wp, lp);
  impl->RunPosted();
  return 0;
}

}  // namespace

void Win32Backend::Impl::CreatePostWindow() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(inst, kPostClass, &wc)) {
    wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PostProc;
    wc.hInstance = inst;
    wc.lpszClassName = kPostClass;
    RegisterClassExA(&wc);
  }
  postWindow = CreateWindowExA(0, kPostClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
  if (postWindow) SetWindowLongPtrA(postWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Win32Backend::Impl::RunPosted() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(postMutex);
    batch.swap(posted);
  }
  // One failing piece of work must not cost the others theirs.
  for (auto& work : batch) {
    Guarded(
        *this, kRunPosted,
        [&]() -> LRESULT {
          work();
          return 0;
        },
        [] { return LRESULT{0}; });
  }
}

void Win32Backend::Post(std::function<void()> work) {
  if (!work) return;
  {
    std::lock_guard<std::mutex> lock(impl_->postMutex);
    impl_->posted.push_back(std::move(work));
  }
  // Every post carries its own wake-up; a run finds all that came before it.
  PostMessageA(impl_->postWindow, kRunPosted, 0, 0);
}

void Win32Backend::Impl::MoveFocus(FormWin& w, bool backwards) {
  // Controls kept out of sight beyond the window's edge are no stops either.
  RECT client, r, overlap;
  GetClientRect(w.hwnd, &client);
  std::vector<HWND> stops;
  for (Control* c : w.form->TabOrder()) {
    HWND h = H(*c);
    if (!h || !IsWindowVisible(h) || !IsWindowEnabled(h)) continue;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, w.hwnd, reinterpret_cast<POINT*>(&r), 2);
    if (IntersectRect(&overlap, &r, &client)) stops.push_back(h);
  }
  if (stops.empty()) return;
  HWND focus = GetFocus();
  // A control made of several windows (a date picker's parts) has the focus in a child.
  while (focus && GetParent(focus) && GetParent(focus) != w.hwnd) focus = GetParent(focus);
  auto at = std::find(stops.begin(), stops.end(), focus);
  size_t next = 0;
  if (at == stops.end()) next = backwards ? stops.size() - 1 : 0;
  else if (backwards) next = (static_cast<size_t>(at - stops.begin()) + stops.size() - 1) % stops.size();
  else next = (static_cast<size_t>(at - stops.begin()) + 1) % stops.size();
  HWND to = stops[next];
  {
    Syncing s(w);  // an option button that gets the focus reports a click; Tab chooses nothing
    SetFocus(to);
  }
  // Text is selected whole when tabbed into, as in a dialog.
  if (SendMessageA(to, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(to, EM_SETSEL, 0, -1);
}

bool Win32Backend::Impl::DialogKey(MSG& m) {
  if (m.message < WM_KEYFIRST || m.message > WM_KEYLAST || !m.hwnd) return false;
  HWND root = GetAncestor(m.hwnd, GA_ROOT);
  FormWin* w = nullptr;
  for (auto& [f, win] : wins)
    if (win->hwnd == root) w = win.get();
  if (!w || !w->form || !IsWindowEnabled(root)) return false;
  if (m.message == WM_KEYDOWN && GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_CONTROL) >= 0) {
    const auto wants = [&](UINT code) {
      return (SendMessageA(m.hwnd, WM_GETDLGCODE, m.wParam, reinterpret_cast<LPARAM>(&m)) & code) != 0;
    };
    // Only a control's own window names it; a part of one (a list's header) has its own ids.
    Control* focused = GetParent(m.hwnd) == root ? w->ById(GetDlgCtrlID(m.hwnd)) : nullptr;
    // An open drop-down list takes Enter and Escape itself, to close.
    const bool dropped = focused && focused->type() == ControlType::ComboBox &&
                         SendMessageA(m.hwnd, CB_GETDROPPEDSTATE, 0, 0);
    bool done = false;
    Guarded(
        *this, m.message,
        [&]() -> LRESULT {
          switch (m.wParam) {
            case VK_TAB:
              if (wants(DLGC_WANTTAB)) break;
              MoveFocus(*w, GetKeyState(VK_SHIFT) < 0);
              done = true;
              break;
            case VK_RETURN:
              if (dropped) break;
              // A command button with the focus is the one Enter presses.
              if (focused && focused->type() == ControlType::CommandButton) {
                focused->Click();
                done = true;
              } else {
                done = w->form->PressEnter();
              }
              break;
            case VK_ESCAPE:
              if (!dropped) done = w->form->PressEscape();
              break;
            case VK_F1:
              if (w->form->onHelp) {
                w->form->PressHelp();
                done = true;
              }
              break;
            default: break;
          }
          return 0;
        },
        [&] {
          done = true;  // the handler failed: the key is spent, as a click that failed would be
          return LRESULT{0};
        });
    if (done) return true;
  }
  // The rest as the dialog manager does it: arrows in option groups, mnemonics, Alt+letter for
  // the menu bar (passed on to the window when no control answers it).
  return IsDialogMessageA(root, &m) != FALSE;
}

bool Win32Backend::DialogMessage(void* msg) { return msg && impl_->DialogKey(*static_cast<MSG*>(msg)); }

void Win32Backend::DoEvents() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));  // leave it for the main loop
      break;
    }
    if (impl_->DialogKey(m)) {
      impl_->Reap();
      continue;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  impl_->Reap();
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
    const BOOL got = GetMessageA(&m, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (got < 0) break;
    if (!impl_->DialogKey(m)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    impl_->Reap();
  }
  for (HWND h : disabled)
    if (IsWindow(h)) EnableWindow(h, TRUE);
}

}  // namespace kx::win32
