// The form model: windows as Forms holding named Controls of the classic types. Program
// logic reads and writes only this model and reacts to its events; a backend (Win32 or
// headless) turns it into windows and routes user actions back as events.
//
// Positions and sizes are in twips (1/1440 inch; 15 twips per pixel at 96 DPI).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace kx::ui {

class Backend;
class Form;

enum class ControlType {
  Label, CommandButton, CheckBox, OptionButton, Frame, TabStrip, ListView, ProgressBar,
  ComboBox, TextBox, DTPicker, Timer, Menu, PictureBox, Shape,
};

// The classic type name ("CommandButton", "ListView", ...): the language engine and the
// localization file key on it.
const char* TypeName(ControlType type);

// Which property changed, so a backend updates only that.
enum class Prop {
  Caption, Text, Enabled, Visible, Bounds, Font, ToolTip, Value, Range, Interval,
  Columns, Items, ItemChecked, Tabs, SelectedTab, ListItems, ListIndex, Date, Checked, Color,
};

struct ListColumn {
  std::string caption;
  int width = 1440;  // twips
};

struct ListItem {
  std::string text;
  std::vector<std::string> subItems;  // column 2 onwards
  bool checked = false;
  int smallIcon = 0;  // image index, 0 = none
  bool selected = false;

  // Sub-item i (1-based as ListView numbers them); "" when absent.
  const std::string& SubItem(size_t i) const;
  void SetSubItem(size_t i, const std::string& value);
};

class Control {
 public:
  Control(Form& form, ControlType type, std::string name, int index);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Form& form() const { return *form_; }
  ControlType type() const { return type_; }
  const std::string& name() const { return name_; }
  int index() const { return index_; }  // control-array index, -1 when not in an array
  Control* container() const { return container_; }  // Frame or PictureBox; null: the form
  void set_container(Control* c) { container_ = c; }

  // Common properties.
  const std::string& caption() const { return caption_; }  // Caption, or Text for text boxes
  void set_caption(const std::string& v);
  bool enabled() const { return enabled_; }
  void set_enabled(bool v);
  bool visible() const { return visible_; }
  void set_visible(bool v);
  // Visible and every container visible too.
  bool shown() const;
  int left() const { return left_; }
  int top() const { return top_; }
  int width() const { return width_; }
  int height() const { return height_; }
  void Move(int left, int top, int width, int height);
  void set_left(int v) { Move(v, top_, width_, height_); }
  void set_top(int v) { Move(left_, v, width_, height_); }
  void set_width(int v) { Move(left_, top_, v, height_); }
  void set_height(int v) { Move(left_, top_, width_, v); }
  bool bold() const { return bold_; }
  bool italic() const { return italic_; }
  void set_bold(bool v);
  void set_italic(bool v);
  const std::string& tool_tip() const { return toolTip_; }
  void set_tool_tip(const std::string& v);

  // CheckBox: 0 unchecked, 1 checked. OptionButton: 0/1. ProgressBar: the value.
  int value() const { return value_; }
  // ProgressBar ignores a value outside [min, max]. An OptionButton set to 1 clears the other
  // option buttons of its container. Check and option boxes fire onChange when it changes.
  void set_value(int v);
  int min() const { return min_; }
  int max() const { return max_; }
  void set_range(int min, int max);

  // Timer.
  int interval() const { return interval_; }
  void set_interval(int ms);

  // TabStrip: captions, selected tab 1-based.
  const std::vector<std::string>& tabs() const { return tabs_; }
  void set_tabs(std::vector<std::string> tabs);
  void set_tab_caption(size_t i, const std::string& caption);  // 1-based
  int selected_tab() const { return selectedTab_; }
  void set_selected_tab(int i);  // fires onClick like a user's choice

  // ListView.
  const std::vector<ListColumn>& columns() const { return columns_; }
  void set_columns(std::vector<ListColumn> columns);
  void set_column_caption(size_t i, const std::string& caption);  // 1-based
  void set_column_width(size_t i, int twips);
  // The column (1-based; 0 none) that takes what the others leave of the list's width, so the
  // columns follow the list as it is sized. A width the user drags turns it off.
  size_t fill_column() const { return fillColumn_; }
  void set_fill_column(size_t column);
  // A user's drag of column i's edge (1-based): its width, and the columns stop following the list.
  void DragColumn(size_t i, int twips);
  bool checkboxes() const { return checkboxes_; }
  void set_checkboxes(bool v) { checkboxes_ = v; }
  const std::vector<ListItem>& items() const { return items_; }
  size_t item_count() const { return items_.size(); }
  ListItem& item(size_t i) { return items_.at(i); }  // 0-based; call ItemsChanged after edits
  size_t AddItem(ListItem item);
  void RemoveItem(size_t i);
  void ClearItems();
  void SetItemChecked(size_t i, bool checked);  // fires onItemCheck
  // A user's click on row i: selects it alone, fires onItemClick then onClick.
  void ClickItem(size_t i);
  // First row whose text starts with prefix, ignoring case; nullopt when none.
  std::optional<size_t> FindItem(const std::string& prefix) const;
  void ItemsChanged();

  // ComboBox.
  const std::vector<std::string>& list() const { return list_; }
  void set_list(std::vector<std::string> list);
  int list_index() const { return listIndex_; }  // -1 none
  void set_list_index(int i);                     // sets the text too, fires onClick

  // TextBox, fixed before the window is made: several lines, read-only (Locked), and its
  // scroll bars (0 none, 1 horizontal, 2 vertical, 3 both; only with several lines).
  bool multi_line() const { return multiLine_; }
  void set_multi_line(bool v) { multiLine_ = v; }
  bool locked() const { return locked_; }
  void set_locked(bool v) { locked_ = v; }
  int scroll_bars() const { return scrollBars_; }
  void set_scroll_bars(int v) { scrollBars_ = v; }

  // DTPicker.
  bool time_format() const { return timeFormat_; }
  void set_time_format(bool v) { timeFormat_ = v; }
  const std::optional<DateTime>& date() const { return date_; }
  void set_date(std::optional<DateTime> v);

  // Menu: a checked mark.
  bool checked() const { return checked_; }
  void set_checked(bool v);

  // Shape: value() is the classic Shape property (0 rectangle, 2 oval, 3 circle).
  // Shape and PictureBox: a colour, RGB; 0 leaves a PictureBox in the window's colour.
  uint32_t color() const { return color_; }
  void set_color(uint32_t rgb);
  // PictureBox: shows the program's icon (the resource "AAA") at the system's icon size, fixed
  // before the window is made.
  bool app_icon() const { return appIcon_; }
  void set_app_icon(bool v) { appIcon_ = v; }

  // Events. User actions on the real window and the headless backend's scripted actions
  // arrive through these; programmatic property changes fire onChange/onItemCheck as VB did.
  std::function<void()> onClick;
  std::function<void()> onDblClick;
  std::function<void()> onChange;
  std::function<void()> onTimer;
  std::function<void(int button, int shift, int x, int y)> onMouseMove;
  std::function<void(int& keyAscii)> onKeyPress;
  std::function<void(size_t item)> onItemCheck;
  std::function<void(size_t item)> onItemClick;

  // What a user does, for backends and tests: same effects as the real gesture.
  void Click();                     // buttons: only when enabled; check box toggles; option sets
  void TypeText(const std::string& text);  // text box: replaces text, fires onChange
  // Fires onKeyPress; returns the key the handlers left (0: swallowed).
  int PressKey(int keyAscii);
  // Timer: fires onTimer when enabled with an interval; backends call it when due.
  void Tick();
  void MouseMove(int x = 0, int y = 0);

  // Backend-private handle.
  void* native = nullptr;

 private:
  void Changed(Prop p);
  // Sets a property and tells the backend, only when the value differs.
  template <class T>
  bool Assign(T& field, const T& v, Prop p);
  bool Usable() const;  // enabled, and every container enabled

  Form* form_;
  ControlType type_;
  std::string name_;
  int index_;
  Control* container_ = nullptr;
  std::string caption_;
  std::string toolTip_;
  bool enabled_ = true, visible_ = true, bold_ = false, italic_ = false;
  int left_ = 0, top_ = 0, width_ = 1200, height_ = 360;
  int value_ = 0, min_ = 0, max_ = 100;
  int interval_ = 0;
  std::vector<std::string> tabs_;
  int selectedTab_ = 1;
  std::vector<ListColumn> columns_;
  size_t fillColumn_ = 0;
  std::vector<ListItem> items_;
  bool checkboxes_ = false;
  std::vector<std::string> list_;
  int listIndex_ = -1;
  bool multiLine_ = false, locked_ = false;
  int scrollBars_ = 0;
  bool timeFormat_ = false;
  std::optional<DateTime> date_;
  bool checked_ = false;
  uint32_t color_ = 0;
  bool appIcon_ = false;
};

enum class WindowState { Normal = 0, Minimized = 1, Maximized = 2 };

// The frame around a window, numbered as the classic forms number BorderStyle. None is a bare
// pop-up; the tool-window styles have a small caption and never a taskbar button.
enum class BorderStyle {
  None = 0, FixedSingle = 1, Sizable = 2, FixedDialog = 3, FixedToolWindow = 4, SizableToolWindow = 5,
};

// Where a window first opens (the classic StartUpPosition): where Move put it, centred on its
// owner (on the screen when it has none), or centred on the screen's work area.
enum class StartUpPosition { Manual = 0, CenterOwner = 1, CenterScreen = 2 };

class Form {
 public:
  Form(std::string name, Backend& backend);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return name_; }
  Backend& backend() const { return *backend_; }

  // Builds the control tree; call from the derived window's constructor.
  Control& Add(ControlType type, const std::string& name, Control* container = nullptr, int index = -1);
  // The control by name (and array index); null when none.
  Control* Find(const std::string& name, int index = -1) const;
  Control& Get(const std::string& name, int index = -1) const;  // throws std::out_of_range
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
  // Menu items of a menu array in index order, or the items under a top menu.
  std::vector<Control*> Children(const Control* container) const;

  const std::string& caption() const { return caption_; }
  void set_caption(const std::string& v);
  bool visible() const { return visible_; }
  int left() const { return left_; }
  int top() const { return top_; }
  int width() const { return width_; }
  int height() const { return height_; }
  void Move(int left, int top, int width, int height);
  // Client area in twips.
  int scale_width() const { return scaleWidth_; }
  int scale_height() const { return scaleHeight_; }
  WindowState window_state() const { return state_; }
  void set_window_state(WindowState s);
  // Whether the window has a button in the taskbar.
  bool show_in_taskbar() const { return showInTaskbar_; }
  void set_show_in_taskbar(bool v);
  // Fixed before the window is made (at load), as the classic forms fix them at design time.
  BorderStyle border_style() const { return borderStyle_; }
  void set_border_style(BorderStyle v) { borderStyle_ = v; }
  StartUpPosition start_up_position() const { return startUpPosition_; }
  void set_start_up_position(StartUpPosition v) { startUpPosition_ = v; }
  // The window this one belongs to: it stays above it and has no taskbar button of its own.
  Form* owner() const { return owner_; }
  void set_owner(Form* v) { owner_ = v; }
  // The smallest client area the user can size the window to, twips; 0 leaves it free.
  int min_client_width() const { return minClientWidth_; }
  int min_client_height() const { return minClientHeight_; }
  void set_min_client_size(int width, int height) {
    minClientWidth_ = width;
    minClientHeight_ = height;
  }

  // The command button Enter presses (the default) and the one Escape presses (the cancel);
  // null for none. Anything but a command button of this form leaves it none.
  Control* default_button() const { return defaultButton_; }
  void set_default_button(Control* button);
  Control* cancel_button() const { return cancelButton_; }
  void set_cancel_button(Control* button);
  // The keys, for backends and tests: Enter clicks the default button and Escape the cancel
  // button when it is shown and usable; true when it was clicked.
  bool PressEnter();
  bool PressEscape();
  // F1: the form's help, when it has any.
  std::function<void()> onHelp;
  void PressHelp();
  // What Tab visits, in creation order: shown, usable controls that take the focus, and of
  // each group of option buttons (one container) only the set one, or the first when none is.
  std::vector<Control*> TabOrder() const;

  bool loaded() const { return loaded_; }
  // Load runs onLoad once; Show loads first when needed. A modal Show returns when the form
  // is hidden or unloaded.
  void Load();
  void Show(bool modal = false);
  void Hide();
  // Runs onQueryUnload and onUnload; either may cancel. True when the form was unloaded.
  bool Unload(int unloadMode = 1);
  // Redraw frozen while the window is visible; a hidden window is left as it is.
  void FreezeRedraw(bool frozen);
  // Shows a Menu control's items as a context menu at the mouse (the menu may be hidden).
  void PopupMenu(Control& menu);

  std::function<void()> onLoad;
  std::function<void(int& cancel, int unloadMode)> onQueryUnload;
  std::function<void(int& cancel)> onUnload;
  std::function<void()> onResize;
  std::function<void()> onActivate;
  // Mouse moves over the window itself, in twips (its controls have their own).
  std::function<void(int button, int shift, int x, int y)> onMouseMove;
  void MouseMove(int x = 0, int y = 0);
  // The window's notification-area icon was used: the mouse message the shell reports
  // (513 left button down, 515 left double-click, 516/518 the right button's), as it is.
  // Windows sends it as a mouse move with the message where the position would be; read as
  // a position it would pass through twips and come back wrong at any scale but 96 DPI.
  std::function<void(int message)> onNotifyIconMessage;
  void NotifyIconMessage(int message);

  // For backends: the window moved, resized or changed state on its own.
  void BackendResized(int width, int height, int scaleWidth, int scaleHeight, WindowState state);
  void BackendClosed();  // the user closed it: query unload with mode 0

  void* native = nullptr;
  // Nonzero: the window (and its owner, if any) shows the program's icon, the resource
  // "AAA". Backends apply it when the window is shown or the form changes.
  int icon = 0;

 private:
  std::string name_;
  Backend* backend_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::string caption_;
  bool visible_ = false, loaded_ = false;
  int left_ = 0, top_ = 0, width_ = 9600, height_ = 7200;
  int scaleWidth_ = 9480, scaleHeight_ = 6600;
  WindowState state_ = WindowState::Normal;
  bool showInTaskbar_ = true;
  BorderStyle borderStyle_ = BorderStyle::Sizable;
  StartUpPosition startUpPosition_ = StartUpPosition::Manual;
  Form* owner_ = nullptr;
  int minClientWidth_ = 0, minClientHeight_ = 0;
  Control* defaultButton_ = nullptr;
  Control* cancelButton_ = nullptr;
};

// ---------------------------------------------------------------- message boxes

enum MsgButtons : uint32_t {
  MB_OK_ONLY = 0, MB_OK_CANCEL = 1, MB_ABORT_RETRY_IGNORE = 2, MB_YES_NO_CANCEL = 3,
  MB_YES_NO = 4, MB_RETRY_CANCEL = 5,
  MB_ICON_CRITICAL = 16, MB_ICON_QUESTION = 32, MB_ICON_EXCLAMATION = 48, MB_ICON_INFORMATION = 64,
};

enum class MsgResult { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum MousePointer { POINTER_DEFAULT = 0, POINTER_HOURGLASS = 11 };

// What the program asks of the windowing system beyond the forms themselves.
class Backend {
 public:
  virtual ~Backend() = default;

  // Form lifecycle: a window exists from load (hidden; its timers run) to unload.
  virtual void FormLoaded(Form& form) {}
  virtual void FormShown(Form& form, bool modal) = 0;
  virtual void FormHidden(Form& form) = 0;
  virtual void FormUnloaded(Form& form) = 0;
  virtual void FormChanged(Form& form) = 0;  // caption, bounds or state
  virtual void ControlChanged(Control& control, Prop what) = 0;
  virtual void FreezeRedraw(Form& form, bool frozen) = 0;

  virtual MsgResult MsgBox(const std::string& text, uint32_t style, const std::string& title) = 0;
  // Runs pending messages and due timers once.
  virtual void DoEvents() = 0;
  virtual void SetMousePointer(int pointer) = 0;
  virtual int MousePointer() const = 0;
  // The common file-open dialog; nullopt when cancelled.
  virtual std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter) = 0;
  // Runs a modal loop until the form is hidden or unloaded.
  virtual void RunModal(Form& form) = 0;
  // Screen work area (without the task bar) in pixels.
  virtual void WorkAreaPixels(int& left, int& top, int& width, int& height) = 0;
  // The same in twips.
  void WorkArea(int& left, int& top, int& width, int& height);
  virtual void PopupMenu(Control& menu) {}
  // Whether a Shift key is held down now.
  virtual bool ShiftKeyDown() const { return false; }
  // Runs `work` on the UI thread, after the handler now running returns: callable from any
  // thread, so a worker can report back without the UI waiting in DoEvents. Posts run in order.
  virtual void Post(std::function<void()> work) = 0;
  // Screen pixels per inch: 96 at 100 %, 120, 144, 168, 192 at 200 %. A twip is 1/1440 inch
  // at every scale, so twips per pixel is a whole number only at some of them: convert with
  // the ratio itself, rounding to the nearest as MulDiv does.
  virtual int Dpi() const { return 96; }
  int TwipsFromPixels(int pixels) const;
  int PixelsFromTwips(int twips) const;

  // The taskbar was made anew (Explorer restarted; the shell's "TaskbarCreated"): every icon
  // must be added again. The session ends (WM_ENDSESSION): nothing may be left behind. Each
  // has one owner, which clears it when it goes.
  std::function<void()> onTaskbarCreated;
  std::function<void()> onEndSession;
};

// Windows are laid out in pixels at 96 DPI, 15 twips each.
inline constexpr int kTwipsPerDesignPixel = 15;

// Sets a control's caption and places it, all four figures in design pixels.
inline Control& Place(Control& c, const std::string& caption, int x, int y, int w, int h) {
  constexpr int px = kTwipsPerDesignPixel;
  c.set_caption(caption);
  c.Move(x * px, y * px, w * px, h * px);
  return c;
}

}  // namespace kx::ui
