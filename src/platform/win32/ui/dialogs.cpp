// Message boxes and the common file-open dialog.
#include <algorithm>

#include "platform/win32/ui/backend_impl.h"

#include <commdlg.h>

namespace kx::win32 {

ui::MsgResult Win32Backend::MsgBox(const std::string& text, uint32_t style, const std::string& title) {
  const int r = MessageBoxA(GetActiveWindow(), text.c_str(), title.c_str(), style);
  if (r < 1 || r > 7) return ui::MsgResult::Cancel;
  return static_cast<ui::MsgResult>(r);
}

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

}  // namespace kx::win32
