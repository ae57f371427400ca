// Message pumping: DoEvents, the modal loop, and work posted from other threads, delivered
// on the UI thread through a message-only window.
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
    TranslateMessage(&m);
    DispatchMessageA(&m);
    impl_->Reap();
  }
  for (HWND h : disabled)
    if (IsWindow(h)) EnableWindow(h, TRUE);
}

}  // namespace kx::win32
