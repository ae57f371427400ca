// The form backend on real windows and common controls. This header does not include
// windows.h; the window handles live in Form::native and Control::native.
#pragma once

#include <memory>
#include <string>

#include "platform/forms/form.h"
#include "platform/log.h"

namespace kx::win32 {

class Win32Backend final : public ui::Backend {
 public:
  // What the window procedures catch goes to `log` (to the debugger when null). Make it on
  // the UI thread: posted work is delivered to the thread that made the backend. Workers must
  // stop posting before it is destroyed; work still queued then is dropped.
  explicit Win32Backend(Log* log = nullptr);
  ~Win32Backend() override;
  void set_log(Log* log);

  void FormLoaded(ui::Form& form) override;
  void FormShown(ui::Form& form, bool modal) override;
  void FormHidden(ui::Form& form) override;
  void FormUnloaded(ui::Form& form) override;
  void FormChanged(ui::Form& form) override;
  void ControlChanged(ui::Control& control, ui::Prop what) override;
  void FreezeRedraw(ui::Form& form, bool frozen) override;
  ui::MsgResult MsgBox(const std::string& text, uint32_t style, const std::string& title) override;
  void DoEvents() override;
  void SetMousePointer(int pointer) override;
  int MousePointer() const override;
  std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter) override;
  void RunModal(ui::Form& form) override;
  void WorkAreaPixels(int& left, int& top, int& width, int& height) override;
  bool ShiftKeyDown() const override;
  void PopupMenu(ui::Control& menu) override;
  void Post(std::function<void()> work) override;
  int Dpi() const override;
  // The keyboard of the program's windows as in a dialog (Tab, Enter, Escape, F1, arrows in
  // option groups, Alt+letter); call with each message the loop gets, a MSG. True: it was
  // handled here and must not be dispatched.
  bool DialogMessage(void* msg);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// OutputDebugStringA, as a Log's debug-output sink.
void WriteDebugOutput(const std::string& line);

// Writes what the form's window shows to a 24-bit BMP file; false when it has no window or
// the file cannot be written.
bool SaveWindowBitmap(ui::Form& form, const std::string& path);
// The same for any window (an HWND), as the screen shows it now, without asking it to redraw.
// Either gives the part of the window that is on the screen.
bool SaveWindowBitmap(void* window, const std::string& path);

}  // namespace kx::win32
