// The Win32 form backend's front: what the model asks of it, handed to the window, control
// kind, menu, loop or dialog code in the files beside this one.
#include <cstdio>

#include "platform/win32/ui/backend_impl.h"

#include <shobjidl.h>

namespace kx::win32 {
namespace {

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

const ControlKind kWindowless = {};

}  // namespace

const ControlKind& KindOf(ControlType type) {
  switch (type) {
    case ControlType::Label: return kLabelKind;
    case ControlType::CommandButton: return kCommandButtonKind;
    case ControlType::CheckBox: return kCheckBoxKind;
    case ControlType::OptionButton: return kOptionButtonKind;
    case ControlType::Frame: return kFrameKind;
    case ControlType::TabStrip: return kTabStripKind;
    case ControlType::ListView: return kListViewKind;
    case ControlType::ProgressBar: return kProgressBarKind;
    case ControlType::ComboBox: return kComboBoxKind;
    case ControlType::TextBox: return kTextBoxKind;
    case ControlType::DTPicker: return kDTPickerKind;
    case ControlType::PictureBox: return kPictureBoxKind;
    case ControlType::Shape: return kShapeKind;
    case ControlType::Timer:
    case ControlType::Menu: return kWindowless;
  }
  return kWindowless;
}

void WriteDebugOutput(const std::string& line) { OutputDebugStringA(line.c_str()); }

std::string WindowText(HWND h) {
  const int n = GetWindowTextLengthA(h);
  std::string s(static_cast<size_t>(std::max(0, n)) + 1, '\0');
  const int got = GetWindowTextA(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(0, got)));
  return s;
}

FormWin* WinOfChild(HWND child) {
  HWND parent = GetParent(child);
  return parent ? reinterpret_cast<FormWin*>(GetWindowLongPtrA(parent, GWLP_USERDATA)) : nullptr;
}

// The taskbar's own list of buttons; changing window styles instead would need a hide/show.
void SetTaskbarButton(HWND hwnd, bool shown) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ITaskbarList* list = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList,
                              reinterpret_cast<void**>(&list))) ||
      !list) {
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

namespace {
// Whether c lies in container, however deep.
bool Inside(const Control& c, const Control& container) {
  for (const Control* p = c.container(); p; p = p->container())
    if (p == &container) return true;
  return false;
}
}  // namespace

bool HasOwnTaskbarButton(HWND hwnd) {
  return !GetWindow(hwnd, GW_OWNER) && !(GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

// ---------------------------------------------------------------- FormWin and Impl

FormWin::~FormWin() {
  for (auto& [c, b] : brushes) DeleteObject(b);
  if (menu) DestroyMenu(menu);
}

Control* FormWin::ById(int id) const {
  auto it = byId.find(id);
  return it == byId.end() ? nullptr : it->second;
}

HBRUSH FormWin::Brush(uint32_t rgb) {
  auto& b = brushes[rgb];
  if (!b) b = CreateSolidBrush(RGB((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255));
  return b;
}

Win32Backend::Impl::~Impl() {
  std::vector<Form*> forms;
  for (auto& [f, w] : wins) forms.push_back(const_cast<Form*>(f));
  for (Form* f : forms) DestroyWin(*f);
  graveyard.clear();
  if (postWindow) DestroyWindow(postWindow);
  for (HFONT f : fonts)
    if (f) DeleteObject(f);
  if (images) ImageList_Destroy(images);
}

FormWin* Win32Backend::Impl::Win(const Form& f) {
  auto it = wins.find(&f);
  return it == wins.end() ? nullptr : it->second.get();
}

HFONT Win32Backend::Impl::Font(bool bold, bool italic) {
  HFONT& f = fonts[(bold ? 1 : 0) + (italic ? 2 : 0)];
  if (!f) {
    f = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, DEFAULT_CHARSET,
                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
    if (!f) f = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  return f;
}

void Win32Backend::Impl::Report(UINT msg, const char* what) {
  char text[64];
  std::snprintf(text, sizeof text, "window message 0x%04X: ", msg);
  const std::string line = text + std::string(what ? what : "");
  if (log) log->Write(line);
  else WriteDebugOutput(line + "\r\n");
}

// ---------------------------------------------------------------- Win32Backend

Win32Backend::Win32Backend(Log* log) : impl_(std::make_unique<Impl>()) {
  impl_->self = this;
  impl_->log = log;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                              ICC_DATE_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterShapeClass();
  impl_->CreatePostWindow();
  impl_->dpi = ScreenDpi();
}

Win32Backend::~Win32Backend() = default;

void Win32Backend::set_log(Log* log) { impl_->log = log; }

void Win32Backend::FormLoaded(Form& form) { impl_->CreateWindowFor(form); }

void Win32Backend::FormShown(Form& form, bool modal) {
  impl_->CreateWindowFor(form);
  FormWin* w = impl_->Win(form);
  if (!w) return;
  if (w->menuStale) impl_->RebuildMenu(*w);
  impl_->ApplyIcon(*w);
  impl_->PlaceAtFirstShow(*w);
  int cmd = SW_SHOW;
  if (form.window_state() == ui::WindowState::Minimized) cmd = SW_SHOWMINIMIZED;
  if (form.window_state() == ui::WindowState::Maximized) cmd = SW_SHOWMAXIMIZED;
  // Back from minimised or hidden in the tray: a plain show would leave it an icon.
  if (form.window_state() == ui::WindowState::Normal && (IsIconic(w->hwnd) || IsZoomed(w->hwnd))) cmd = SW_SHOWNORMAL;
  ShowWindow(w->hwnd, cmd);
  UpdateWindow(w->hwnd);
  // A shown window gets a taskbar button unless it is owned or a tool window; take it away
  // again when the form has none.
  w->taskbarButton = HasOwnTaskbarButton(w->hwnd);
  if (w->taskbarButton && !form.show_in_taskbar()) {
    w->taskbarButton = false;
    SetTaskbarButton(w->hwnd, false);
  }
}

void Win32Backend::FormHidden(Form& form) {
  FormWin* w = impl_->Win(form);
  if (!w) return;
  // A frozen window has WS_VISIBLE off already; it must be on for the hide to take.
  if (w->frozen) {
    SendMessageA(w->hwnd, WM_SETREDRAW, TRUE, 0);
    w->frozen = false;
  }
  ShowWindow(w->hwnd, SW_HIDE);
}

void Win32Backend::FormUnloaded(Form& form) { impl_->DestroyWin(form); }

void Win32Backend::FormChanged(Form& form) {
  FormWin* w = impl_->Win(form);
  if (!w) return;
  impl_->ApplyIcon(*w);
  ShowDefaultButton(*w, GetFocus());
  if (w->taskbarButton != form.show_in_taskbar() && HasOwnTaskbarButton(w->hwnd)) {
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
    // A hidden window's bar is built again once, when it shows: the load sets every caption
    // of it, one at a time. Hidden as the form knows it: frozen for drawing, Windows calls it
    // hidden too.
    if (c.form().visible()) impl_->RebuildMenu(*w);
    else w->menuStale = true;
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
  const ControlKind& kind = KindOf(c.type());
  if (kind.changed && kind.changed(*impl_, *w, c, what)) return;
  HWND h = H(c);
  switch (what) {
    case Prop::Caption:
    case Prop::Text:
      if (WindowText(h) != c.caption()) {
        {
          Syncing s(*w);
          SetWindowTextA(h, c.caption().c_str());
        }
        InvalidateRect(h, nullptr, TRUE);  // labels and frames leave the old text otherwise
      }
      break;
    case Prop::Enabled:
    case Prop::Visible: impl_->UpdateStates(*w); break;
    case Prop::Bounds:
      // Moving a container moves everything inside it, and nothing else: each placing is a
      // round trip to the window server, and a form holds a few hundred controls.
      impl_->Place(*w, c);
      for (const auto& other : c.form().controls())
        if (Inside(*other, c)) impl_->Place(*w, *other);
      break;
    case Prop::Font:
      SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(impl_->Font(c.bold(), c.italic())), TRUE);
      InvalidateRect(h, nullptr, TRUE);
      break;
    case Prop::ToolTip: impl_->UpdateToolTip(*w, c); break;
    default: break;
  }
}

void Win32Backend::FreezeRedraw(Form& form, bool frozen) {
  FormWin* w = impl_->Win(form);
  if (!w || frozen == w->frozen) return;
  // WM_SETREDRAW works through WS_VISIBLE: on a hidden window it would show it.
  if (frozen && !(form.visible() && IsWindowVisible(w->hwnd))) return;
  SendMessageA(w->hwnd, WM_SETREDRAW, frozen ? FALSE : TRUE, 0);
  w->frozen = frozen;
  if (!frozen) RedrawWindow(w->hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Win32Backend::SetMousePointer(int pointer) {
  impl_->pointer = pointer;
  SetCursor(LoadCursor(nullptr, pointer == ui::POINTER_HOURGLASS ? IDC_WAIT : IDC_ARROW));
}

int Win32Backend::MousePointer() const { return impl_->pointer; }

bool Win32Backend::ShiftKeyDown() const { return GetKeyState(VK_SHIFT) < 0; }

int Win32Backend::Dpi() const { return impl_->dpi; }

void Win32Backend::WorkAreaPixels(int& left, int& top, int& width, int& height) {
  RECT r = {0, 0, 1024, 768};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  left = r.left;
  top = r.top;
  width = r.right - r.left;
  height = r.bottom - r.top;
}

}  // namespace kx::win32
