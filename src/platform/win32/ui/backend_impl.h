// What the files of the Win32 form backend share. Only they include it: it brings windows.h.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/win32/ui_win32.h"

namespace kx::win32 {

using ui::Control;
using ui::ControlType;
using ui::Form;
using ui::Prop;

// The program's icon in kestrix.rc, and the list pictures beside it (row kinds 1..5).
inline constexpr const char* kAppIconName = "AAA";
inline constexpr int kFirstRowIcon = 101;
inline constexpr int kRowIconCount = 5;

struct FormWin {
  Win32Backend::Impl* owner = nullptr;
  Form* form = nullptr;
  HWND hwnd = nullptr;
  HWND tooltip = nullptr;
  HMENU menu = nullptr;
  std::map<int, Control*> byId;
  std::map<const Control*, int> idOf;
  int nextId = 1000;
  bool taskbarButton = true;
  bool frozen = false;  // drawing switched off by FreezeRedraw
  bool iconSet = false;
  bool placed = false;  // its start-up position taken, at its first show
  bool menuStale = false;  // menu items changed while the window was hidden
  HWND lastFocus = nullptr;  // the control that had the focus when the window was left
  int syncing = 0;      // our own updates of a control must not come back as user events
  std::map<uint32_t, HBRUSH> brushes;

  ~FormWin();
  Control* ById(int id) const;
  HBRUSH Brush(uint32_t rgb);
};

// Marks the window's own updates for as long as it lives.
class Syncing {
 public:
  explicit Syncing(FormWin& w) : w_(w) { ++w_.syncing; }
  ~Syncing() { --w_.syncing; }
  Syncing(const Syncing&) = delete;
  Syncing& operator=(const Syncing&) = delete;

 private:
  FormWin& w_;
};

// What differs between kinds of control: the window they are made of and how model changes
// and the window's notifications pass between the two. Each kind lives in its own file.
struct ControlKind {
  const char* windowClass = nullptr;  // null: no window of its own (Timer, Menu)
  DWORD style = 0;
  DWORD exStyle = 0;
  DWORD (*extraStyle)(const Control&) = nullptr;
  // Fills a new window, and follows a property of the kind's own (not caption, bounds...).
  void (*created)(Win32Backend::Impl&, FormWin&, Control&) = nullptr;
  bool (*changed)(Win32Backend::Impl&, FormWin&, Control&, Prop) = nullptr;  // false: not its own
  void (*command)(FormWin&, Control&, int code, HWND) = nullptr;
  void (*notify)(Win32Backend::Impl&, FormWin&, Control&, NMHDR*) = nullptr;
  // Wraps the class's own handling (classProc) of a message to the control's window.
  LRESULT (*message)(Win32Backend::Impl&, FormWin&, Control&, WNDPROC classProc, UINT, WPARAM, LPARAM) = nullptr;
};

extern const ControlKind kCommandButtonKind, kCheckBoxKind, kOptionButtonKind;  // buttons.cpp
extern const ControlKind kLabelKind, kFrameKind, kPictureBoxKind, kShapeKind;    // statics.cpp
extern const ControlKind kListViewKind;                                           // list_view.cpp
extern const ControlKind kTabStripKind;                                           // tab_strip.cpp
extern const ControlKind kProgressBarKind, kComboBoxKind, kTextBoxKind, kDTPickerKind;  // inputs.cpp
const ControlKind& KindOf(ControlType type);

struct Win32Backend::Impl {
  Win32Backend* self = nullptr;
  Log* log = nullptr;
  std::map<const Form*, std::unique_ptr<FormWin>> wins;
  std::vector<std::unique_ptr<FormWin>> graveyard;  // windows destroyed inside their own messages
  int depth = 0;
  int pointer = 0;
  int dpi = 96;
  HFONT fonts[4] = {};
  HIMAGELIST images = nullptr;
  // Work handed over from other threads (modal.cpp).
  HWND postWindow = nullptr;
  std::mutex postMutex;
  std::deque<std::function<void()>> posted;

  ~Impl();
  int Px(int twips) const { return MulDiv(twips, dpi, 1440); }
  int Tw(int px) const { return MulDiv(px, 1440, dpi); }
  FormWin* Win(const Form& f);
  HFONT Font(bool bold, bool italic);
  void Reap() {
    if (depth == 0) graveyard.clear();
  }
  // Writes what a window procedure caught to the log (or the debugger when there is none).
  void Report(UINT msg, const char* what);

  // form_window.cpp
  void CreateWindowFor(Form& form);
  void CreateControl(FormWin& w, Control& c);
  void DestroyWin(Form& form);
  RECT PlaceOf(const Control& c) const;  // where the control's window goes, in client pixels
  void Place(FormWin& w, Control& c);
  void UpdateStates(FormWin& w);
  void UpdateTimer(FormWin& w, Control& c);
  void UpdateToolTip(FormWin& w, Control& c);
  void ApplyIcon(FormWin& w);
  void PlaceAtFirstShow(FormWin& w);
  LRESULT FormProc(FormWin& w, UINT msg, WPARAM wp, LPARAM lp);
  // menus.cpp
  void RebuildMenu(FormWin& w);
  HMENU BuildPopup(FormWin& w, const Control* parent);
  // list_view.cpp
  void CreateImages();
  // modal.cpp
  void CreatePostWindow();
  void RunPosted();
  bool DialogKey(MSG& m);
  void MoveFocus(FormWin& w, bool backwards);
};

// Runs one window message's handling with the backend's re-entry count held; whatever the
// handling throws stops here, is reported, and the message gets its default handling.
template <class Handle, class Fallback>
LRESULT Guarded(Win32Backend::Impl& owner, UINT msg, Handle&& handle, Fallback&& fallback) {
  ++owner.depth;
  LRESULT r = 0;
  try {
    r = handle();
  } catch (const std::exception& e) {
    owner.Report(msg, e.what());
    r = fallback();
  } catch (...) {
    owner.Report(msg, "unknown exception");
    r = fallback();
  }
  --owner.depth;
  owner.Reap();
  return r;
}

inline HWND H(const Control& c) { return static_cast<HWND>(c.native); }
std::string WindowText(HWND h);
// The form's window data of a control window (its parent's).
FormWin* WinOfChild(HWND child);
void SetTaskbarButton(HWND hwnd, bool shown);
// Whether Windows gives the window a button: neither owned nor a tool window.
bool HasOwnTaskbarButton(HWND hwnd);
void RegisterShapeClass();
// Draws the default frame on the command button that has the focus, else on the form's
// default button (buttons.cpp).
void ShowDefaultButton(FormWin& w, HWND focus);
// WS_GROUP where a group of controls starts (buttons.cpp).
DWORD GroupStyle(const Control& c);

}  // namespace kx::win32
