#include "platform/forms/form.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <stdexcept>

namespace kx::ui {
namespace {

const std::string kEmpty;

void Fire(const std::function<void()>& f) {
  if (f) f();
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// A new position and size (never negative); false when nothing changed.
bool StoreBounds(int& l, int& t, int& w, int& h, int left, int top, int width, int height) {
  if (left == l && top == t && width == w && height == h) return false;
  l = left;
  t = top;
  w = std::max(0, width);
  h = std::max(0, height);
  return true;
}

}  // namespace

const char* TypeName(ControlType type) {
  switch (type) {
    case ControlType::Label: return "Label";
    case ControlType::CommandButton: return "CommandButton";
    case ControlType::CheckBox: return "CheckBox";
    case ControlType::OptionButton: return "OptionButton";
    case ControlType::Frame: return "Frame";
    case ControlType::TabStrip: return "TabStrip";
    case ControlType::ListView: return "ListView";
    case ControlType::ProgressBar: return "ProgressBar";
    case ControlType::ComboBox: return "ComboBox";
    case ControlType::TextBox: return "TextBox";
    case ControlType::DTPicker: return "DTPicker";
    case ControlType::Timer: return "Timer";
    case ControlType::Menu: return "Menu";
    case ControlType::PictureBox: return "PictureBox";
    case ControlType::Shape: return "Shape";
  }
  return "";
}

// ---------------------------------------------------------------- ListItem

const std::string& ListItem::SubItem(size_t i) const {
  if (i == 0 || i > subItems.size()) return kEmpty;
  return subItems[i - 1];
}

void ListItem::SetSubItem(size_t i, const std::string& value) {
  if (i == 0) return;
  if (subItems.size() < i) subItems.resize(i);
  subItems[i - 1] = value;
}

// ---------------------------------------------------------------- Control

Control::Control(Form& form, ControlType type, std::string name, int index)
    : form_(&form), type_(type), name_(std::move(name)), index_(index) {}

void Control::Changed(Prop p) { form_->backend().ControlChanged(*this, p); }

template <class T>
bool Control::Assign(T& field, const T& v, Prop p) {
  if (field == v) return false;
  field = v;
  Changed(p);
  return true;
}

bool Control::Usable() const {
  for (const Control* c = this; c; c = c->container_) {
    if (!c->enabled_) return false;
  }
  return true;
}

void Control::set_caption(const std::string& v) {
  if (caption_ == v) return;
  caption_ = v;
  const bool isText = type_ == ControlType::TextBox || type_ == ControlType::ComboBox;
  Changed(isText ? Prop::Text : Prop::Caption);
  if (isText) Fire(onChange);
}

void Control::set_enabled(bool v) { Assign(enabled_, v, Prop::Enabled); }

void Control::set_visible(bool v) { Assign(visible_, v, Prop::Visible); }

bool Control::shown() const {
  for (const Control* c = this; c; c = c->container_) {
    if (!c->visible_) return false;
  }
  return true;
}

void Control::Move(int left, int top, int width, int height) {
  if (StoreBounds(left_, top_, width_, height_, left, top, width, height)) Changed(Prop::Bounds);
}

void Control::set_bold(bool v) { Assign(bold_, v, Prop::Font); }

void Control::set_italic(bool v) { Assign(italic_, v, Prop::Font); }

void Control::set_tool_tip(const std::string& v) { Assign(toolTip_, v, Prop::ToolTip); }

void Control::set_value(int v) {
  switch (type_) {
    case ControlType::ProgressBar:
      if (v < min_ || v > max_) return;
      break;
    case ControlType::CheckBox:
    case ControlType::OptionButton:
      v = v ? 1 : 0;
      break;
    default:
      break;
  }
  if (value_ == v) return;
  value_ = v;
  Changed(Prop::Value);
  if (type_ == ControlType::OptionButton && v == 1) {
    // Clear the others before anyone hears of the change, so handlers see one option set.
    for (const auto& other : form_->controls()) {
      if (other.get() != this && other->type_ == ControlType::OptionButton &&
          other->container_ == container_ && other->value_ == 1) {
        other->value_ = 0;
        other->Changed(Prop::Value);
        Fire(other->onChange);
      }
    }
  }
  if (type_ == ControlType::CheckBox || type_ == ControlType::OptionButton) Fire(onChange);
}

void Control::set_range(int min, int max) {
  if (max < min) std::swap(min, max);
  if (min == min_ && max == max_) return;
  min_ = min;
  max_ = max;
  value_ = std::clamp(value_, min_, max_);
  Changed(Prop::Range);
}

void Control::set_interval(int ms) {
  ms = std::max(0, ms);
  if (interval_ == ms) return;
  interval_ = ms;
  Changed(Prop::Interval);
}

void Control::set_tabs(std::vector<std::string> tabs) {
  if (tabs_ == tabs) return;
  tabs_ = std::move(tabs);
  if (selectedTab_ > static_cast<int>(tabs_.size())) selectedTab_ = tabs_.empty() ? 1 : static_cast<int>(tabs_.size());
  Changed(Prop::Tabs);
}

void Control::set_tab_caption(size_t i, const std::string& caption) {
  if (i == 0 || i > tabs_.size() || tabs_[i - 1] == caption) return;
  tabs_[i - 1] = caption;
  Changed(Prop::Tabs);
}

void Control::set_selected_tab(int i) {
  if (i < 1 || i > static_cast<int>(tabs_.size())) return;
  if (selectedTab_ != i) {
    selectedTab_ = i;
    Changed(Prop::SelectedTab);
  }
  Fire(onClick);
}

void Control::set_columns(std::vector<ListColumn> columns) {
  columns_ = std::move(columns);
  Changed(Prop::Columns);
}

void Control::set_column_caption(size_t i, const std::string& caption) {
  if (i == 0 || i > columns_.size() || columns_[i - 1].caption == caption) return;
  columns_[i - 1].caption = caption;
  Changed(Prop::Columns);
}

void Control::set_column_width(size_t i, int twips) {
  if (i == 0 || i > columns_.size() || columns_[i - 1].width == twips) return;
  columns_[i - 1].width = std::max(0, twips);
  Changed(Prop::Columns);
}

void Control::set_fill_column(size_t column) {
  if (fillColumn_ == column) return;
  fillColumn_ = column;
  Changed(Prop::Columns);
}

void Control::DragColumn(size_t i, int twips) {
  if (i == 0 || i > columns_.size()) return;
  set_fill_column(0);
  set_column_width(i, twips);
}

size_t Control::AddItem(ListItem item) {
  items_.push_back(std::move(item));
  Changed(Prop::ListItems);
  return items_.size() - 1;
}

void Control::RemoveItem(size_t i) {
  if (i >= items_.size()) return;
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
  Changed(Prop::ListItems);
}

void Control::ClearItems() {
  if (items_.empty()) return;
  items_.clear();
  Changed(Prop::ListItems);
}

void Control::SetItemChecked(size_t i, bool checked) {
  if (i >= items_.size() || items_[i].checked == checked) return;
  items_[i].checked = checked;
  Changed(Prop::ItemChecked);
  if (onItemCheck) onItemCheck(i);
}

void Control::ClickItem(size_t i) {
  if (i >= items_.size() || !Usable()) return;
  bool changed = false;
  for (size_t k = 0; k < items_.size(); ++k) {
    const bool want = k == i;
    if (items_[k].selected != want) {
      items_[k].selected = want;
      changed = true;
    }
  }
  if (changed) Changed(Prop::ListItems);
  if (onItemClick) onItemClick(i);
  Fire(onClick);
}

std::optional<size_t> Control::FindItem(const std::string& prefix) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (StartsWithNoCase(items_[i].text, prefix)) return i;
  }
  return std::nullopt;
}

void Control::ItemsChanged() { Changed(Prop::ListItems); }

void Control::set_list(std::vector<std::string> list) {
  if (list_ == list) return;
  list_ = std::move(list);
  if (listIndex_ >= static_cast<int>(list_.size())) listIndex_ = -1;
  Changed(Prop::Items);
}

void Control::set_list_index(int i) {
  if (i < -1 || i >= static_cast<int>(list_.size())) return;
  if (listIndex_ != i) {
    listIndex_ = i;
    Changed(Prop::ListIndex);
  }
  set_caption(i >= 0 ? list_[static_cast<size_t>(i)] : std::string());
  Fire(onClick);
}

void Control::set_date(std::optional<DateTime> v) {
  if (Assign(date_, v, Prop::Date)) Fire(onChange);
}

void Control::set_checked(bool v) { Assign(checked_, v, Prop::Checked); }

void Control::set_color(uint32_t rgb) { Assign(color_, rgb, Prop::Color); }

void Control::Click() {
  if (!Usable()) return;
  switch (type_) {
    case ControlType::CheckBox: set_value(value_ ? 0 : 1); break;
    case ControlType::OptionButton: set_value(1); break;
    default: break;
  }
  Fire(onClick);
}

void Control::TypeText(const std::string& text) {
  if (!Usable()) return;
  set_caption(text);
}

int Control::PressKey(int keyAscii) {
  if (!Usable()) return keyAscii;
  if (onKeyPress) onKeyPress(keyAscii);
  return keyAscii;
}

void Control::Tick() {
  if (type_ == ControlType::Timer && enabled_ && interval_ > 0 && onTimer) onTimer();
}

void Control::MouseMove(int x, int y) {
  if (onMouseMove) onMouseMove(0, 0, x, y);
}

// ---------------------------------------------------------------- Form

Form::Form(std::string name, Backend& backend) : name_(std::move(name)), backend_(&backend) {}

Form::~Form() {
  // The window must not outlive the model it points at.
  if (loaded_) {
    loaded_ = visible_ = false;
    backend_->FormUnloaded(*this);
  }
}

Control& Form::Add(ControlType type, const std::string& name, Control* container, int index) {
  for (const auto& c : controls_) {
    if (c->name() == name && c->index() == index)
      throw std::invalid_argument("duplicate control " + name);
  }
  controls_.push_back(std::make_unique<Control>(*this, type, name, index));
  Control& c = *controls_.back();
  c.set_container(container);
  return c;
}

Control* Form::Find(const std::string& name, int index) const {
  for (const auto& c : controls_) {
    if (c->name() == name && (index == -1 || c->index() == index)) return c.get();
  }
  return nullptr;
}

Control& Form::Get(const std::string& name, int index) const {
  Control* c = Find(name, index);
  if (!c) throw std::out_of_range("no control " + name_ + "." + name);
  return *c;
}

std::vector<Control*> Form::Children(const Control* container) const {
  std::vector<Control*> out;
  for (const auto& c : controls_) {
    if (c->container() == container) out.push_back(c.get());
  }
  // Members of one control array come together in index order, at their first member's place.
  auto rank = [&](const Control* c) {
    size_t first = 0;
    while (out[first]->name() != c->name()) ++first;
    return std::pair(first, c->index());
  };
  std::vector<std::pair<std::pair<size_t, int>, Control*>> keyed;
  for (Control* c : out) keyed.push_back({rank(c), c});
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < out.size(); ++i) out[i] = keyed[i].second;
  return out;
}

void Form::set_caption(const std::string& v) {
  if (caption_ == v) return;
  caption_ = v;
  backend_->FormChanged(*this);
}

void Form::Move(int left, int top, int width, int height) {
  if (StoreBounds(left_, top_, width_, height_, left, top, width, height)) backend_->FormChanged(*this);
}

void Form::set_window_state(WindowState s) {
  if (state_ == s) return;
  state_ = s;
  backend_->FormChanged(*this);
}

void Form::set_show_in_taskbar(bool v) {
  if (showInTaskbar_ == v) return;
  showInTaskbar_ = v;
  backend_->FormChanged(*this);
}

namespace {

bool Usable(const Control& c) {
  for (const Control* p = &c; p; p = p->container())
    if (!p->enabled()) return false;
  return true;
}

bool TakesFocus(ControlType t) {
  switch (t) {
    case ControlType::CommandButton:
    case ControlType::CheckBox:
    case ControlType::OptionButton:
    case ControlType::TabStrip:
    case ControlType::ListView:
    case ControlType::ComboBox:
    case ControlType::TextBox:
    case ControlType::DTPicker: return true;
    default: return false;
  }
}

bool Press(Control* button) {
  if (!button || !button->shown() || !Usable(*button)) return false;
  button->Click();
  return true;
}

}  // namespace

void Form::set_default_button(Control* button) {
  if (button && (&button->form() != this || button->type() != ControlType::CommandButton)) button = nullptr;
  if (defaultButton_ == button) return;
  defaultButton_ = button;
  backend_->FormChanged(*this);
}

void Form::set_cancel_button(Control* button) {
  if (button && (&button->form() != this || button->type() != ControlType::CommandButton)) button = nullptr;
  cancelButton_ = button;
}

bool Form::PressEnter() { return Press(defaultButton_); }

bool Form::PressEscape() { return Press(cancelButton_); }

void Form::PressHelp() { Fire(onHelp); }

std::vector<Control*> Form::TabOrder() const {
  std::vector<Control*> out;
  std::vector<const Control*> groupsDone;  // containers whose option group has its stop
  for (const auto& c : controls_) {
    if (!TakesFocus(c->type()) || !c->shown() || !Usable(*c)) continue;
    if (c->type() == ControlType::OptionButton) {
      const Control* box = c->container();
      if (std::find(groupsDone.begin(), groupsDone.end(), box) != groupsDone.end()) continue;
      // The group is one stop: the set option, else the first one that can take the focus.
      Control* stop = nullptr;
      for (const auto& o : controls_) {
        if (o->type() != ControlType::OptionButton || o->container() != box || !o->shown() || !Usable(*o))
          continue;
        if (!stop) stop = o.get();
        if (o->value()) {
          stop = o.get();
          break;
        }
      }
      groupsDone.push_back(box);
      out.push_back(stop);
      continue;
    }
    out.push_back(c.get());
  }
  return out;
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  backend_->FormLoaded(*this);
  Fire(onLoad);
}

void Form::Show(bool modal) {
  Load();
  if (!loaded_) return;  // onLoad unloaded it again
  const bool wasVisible = visible_;
  visible_ = true;
  backend_->FormShown(*this, modal);
  if (!wasVisible) Fire(onActivate);
  if (modal && loaded_ && visible_) backend_->RunModal(*this);
}

void Form::Hide() {
  if (!visible_) return;
  visible_ = false;
  backend_->FormHidden(*this);
}

bool Form::Unload(int unloadMode) {
  if (!loaded_) return true;
  int cancel = 0;
  if (onQueryUnload) onQueryUnload(cancel, unloadMode);
  if (cancel) return false;
  if (onUnload) onUnload(cancel);
  if (cancel) return false;
  if (!loaded_) return true;  // a handler unloaded it already
  visible_ = false;
  loaded_ = false;
  backend_->FormUnloaded(*this);
  return true;
}

void Form::MouseMove(int x, int y) {
  if (onMouseMove) onMouseMove(0, 0, x, y);
}

void Form::NotifyIconMessage(int message) {
  if (onNotifyIconMessage) onNotifyIconMessage(message);
}

void Form::FreezeRedraw(bool frozen) { backend_->FreezeRedraw(*this, frozen); }

void Form::PopupMenu(Control& menu) { backend_->PopupMenu(menu); }

void Form::BackendResized(int width, int height, int scaleWidth, int scaleHeight, WindowState state) {
  width_ = width;
  height_ = height;
  scaleWidth_ = scaleWidth;
  scaleHeight_ = scaleHeight;
  state_ = state;
  Fire(onResize);
}

void Form::BackendClosed() { Unload(0); }

// ---------------------------------------------------------------- Backend

namespace {

// a * b / c rounded half away from zero, as MulDiv rounds; c > 0.
int MulDivRound(int a, int b, int c) {
  const int64_t n = static_cast<int64_t>(a) * b;
  return static_cast<int>(n >= 0 ? (n + c / 2) / c : -((-n + c / 2) / c));
}

}  // namespace

int Backend::TwipsFromPixels(int pixels) const {
  const int dpi = Dpi();
  return MulDivRound(pixels, 1440, dpi > 0 ? dpi : 96);
}

int Backend::PixelsFromTwips(int twips) const {
  const int dpi = Dpi();
  return MulDivRound(twips, dpi > 0 ? dpi : 96, 1440);
}

void Backend::WorkArea(int& left, int& top, int& width, int& height) {
  WorkAreaPixels(left, top, width, height);
  left = TwipsFromPixels(left);
  top = TwipsFromPixels(top);
  width = TwipsFromPixels(width);
  height = TwipsFromPixels(height);
}

}  // namespace kx::ui
