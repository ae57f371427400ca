// Labels, frames, picture boxes and shapes: what shows without being worked.
#include <algorithm>

#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

const char kShapeClass[] = "KestrixShape";

LRESULT CALLBACK ShapeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) return 1;
  if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wp, lp);
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
        const int d = std::min(cx, cy);
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

// Shapes and pictures draw their colour at the next paint.
bool Repaint(Win32Backend::Impl&, FormWin&, Control& c, Prop what) {
  if (what != Prop::Value && what != Prop::Color) return false;
  InvalidateRect(H(c), nullptr, TRUE);
  return true;
}

void Command(FormWin&, Control& c, int code, HWND) {
  if (code == STN_CLICKED) c.Click();
  else if (code == STN_DBLCLK && c.onDblClick) c.onDblClick();
}

DWORD PictureStyle(const Control& c) { return c.app_icon() ? SS_ICON | SS_CENTERIMAGE : 0; }

void PictureCreated(Win32Backend::Impl&, FormWin&, Control& c) {
  if (!c.app_icon()) return;
  HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), kAppIconName, IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  if (icon) SendMessageA(H(c), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

}  // namespace

void RegisterShapeClass() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(inst, kShapeClass, &wc)) return;
  wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ShapeProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kShapeClass;
  RegisterClassExA(&wc);
}

const ControlKind kLabelKind = {"STATIC", SS_LEFT | SS_NOTIFY, 0, nullptr, nullptr, nullptr, Command};
const ControlKind kFrameKind = {"BUTTON", BS_GROUPBOX};
const ControlKind kPictureBoxKind = {"STATIC", SS_NOTIFY, 0, PictureStyle, PictureCreated, Repaint, Command};
const ControlKind kShapeKind = {kShapeClass, 0, 0, nullptr, nullptr, Repaint};

}  // namespace kx::win32
