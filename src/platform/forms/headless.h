// A backend without windows, for tests: a virtual clock drives the timers, message boxes and
// file dialogs answer from a script, and everything shown is recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <optional>
#include <string>
#include <vector>

#include "platform/forms/form.h"

namespace kx::ui {

class HeadlessBackend : public Backend {
 public:
  struct ShownMsgBox {
    std::string text;
    uint32_t style = 0;
    std::string title;
  };

  // --- virtual clock
  // Moves the clock on; every timer of a loaded form falls due as often as its interval
  // fits, all timers together in time order.
  void Advance(int64_t ms);
  int64_t now() const { return now_; }

  // --- scripted answers
  // The next message box answers `result`; with `expectText`, its text must contain it.
  void ExpectMsgBox(MsgResult result, const std::string& expectText = "");
  size_t pending_msgboxes() const { return msgAnswers_.size(); }
  const std::vector<ShownMsgBox>& msgboxes() const { return shown_; }
  // The next file-open dialog answers `path` (nullopt: cancelled).
  void ExpectOpenFile(std::optional<std::string> path);
  int open_file_dialogs() const { return openFileCalls_; }

  // --- posted work: runs at the next DoEvents (what that work posts waits for the one after)
  size_t pending_posts() const;

  // --- hooks and counters
  // Runs at every DoEvents, after the posted work.
  std::function<void()> onDoEvents;
  int do_events_count() const { return doEvents_; }
  // Runs inside a modal Show so a test can work the modal form (and hide it).
  std::function<void(Form&)> onRunModal;
  const std::vector<std::string>& modal_forms() const { return modalForms_; }
  const std::vector<std::string>& popup_menus() const { return popups_; }
  // Freeze calls minus thaw calls of a form, and how many freezes it saw.
  int freeze_depth(const Form& f) const;
  int freeze_count() const { return freezeCount_; }
  // Each backend notification, for tests of what reaches the windows.
  int control_changes() const { return controlChanges_; }
  // The screen: its scale and its work area (without the taskbar), in pixels.
  void set_dpi(int dpi) { dpi_ = dpi; }
  void set_work_area_pixels(int left, int top, int width, int height);
  const std::vector<Form*>& loaded_forms() const { return loaded_; }
  // The shell's broadcasts, as the Win32 backend passes them on.
  void TaskbarCreated() {
    if (onTaskbarCreated) onTaskbarCreated();
  }
  void EndSession() {
    if (onEndSession) onEndSession();
  }

  // --- Backend
  void FormLoaded(Form& form) override;
  void FormShown(Form& form, bool modal) override;
  void FormHidden(Form& form) override {}
  void FormUnloaded(Form& form) override;
  void FormChanged(Form& form) override {}
  void ControlChanged(Control& control, Prop what) override;
  void FreezeRedraw(Form& form, bool frozen) override;
  MsgResult MsgBox(const std::string& text, uint32_t style, const std::string& title) override;
  void DoEvents() override;
  void SetMousePointer(int pointer) override { pointer_ = pointer; }
  int MousePointer() const override { return pointer_; }
  std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter) override;
  void RunModal(Form& form) override;
  void WorkAreaPixels(int& left, int& top, int& width, int& height) override;
  int Dpi() const override { return dpi_; }
  void PopupMenu(Control& menu) override { popups_.push_back(menu.name()); }
  bool ShiftKeyDown() const override { return shiftDown; }
  void Post(std::function<void()> work) override;

  bool shiftDown = false;  // what ShiftKeyDown answers

 private:
  struct Answer {
    MsgResult result;
    std::string expectText;
  };
  void Schedule(Control& timer);

  int64_t now_ = 0;
  std::map<const Control*, int64_t> due_;
  std::vector<Form*> loaded_;
  std::deque<Answer> msgAnswers_;
  std::vector<ShownMsgBox> shown_;
  std::deque<std::optional<std::string>> fileAnswers_;
  int openFileCalls_ = 0;
  int doEvents_ = 0;
  int pointer_ = POINTER_DEFAULT;
  std::vector<std::string> modalForms_;
  std::vector<std::string> popups_;
  std::map<const Form*, int> freeze_;
  std::set<const Form*> placed_;
  int freezeCount_ = 0;
  int controlChanges_ = 0;
  int dpi_ = 96;
  int workArea_[4] = {0, 0, 1024, 738};
  mutable std::mutex postMutex_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace kx::ui
