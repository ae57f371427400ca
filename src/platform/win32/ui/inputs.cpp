// Progress bars, drop-down lists, text boxes and date pickers.
#include "platform/win32/ui/backend_impl.h"

namespace kx::win32 {
namespace {

// ---------------------------------------------------------------- progress bar

void ShowProgress(Win32Backend::Impl&, FormWin& w, Control& c) {
  Syncing s(w);
  SendMessageA(H(c), PBM_SETRANGE32, static_cast<WPARAM>(c.min()), c.max());
  SendMessageA(H(c), PBM_SETPOS, static_cast<WPARAM>(c.value()), 0);
}

bool ProgressChanged(Win32Backend::Impl& impl, FormWin& w, Control& c, Prop what) {
  if (what != Prop::Value && what != Prop::Range) return false;
  ShowProgress(impl, w, c);
  return true;
}

// ---------------------------------------------------------------- combo box

void ShowList(Win32Backend::Impl&, FormWin& w, Control& c) {
  HWND h = H(c);
  Syncing s(w);
  SendMessageA(h, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : c.list()) SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(c.list_index()), 0);
}

bool ComboChanged(Win32Backend::Impl& impl, FormWin& w, Control& c, Prop what) {
  switch (what) {
    case Prop::Items:
    case Prop::ListIndex: ShowList(impl, w, c); return true;
    case Prop::Text: return true;  // a drop-down list shows its selection
    default: return false;
  }
}

void ComboCommand(FormWin&, Control& c, int code, HWND h) {
  if (code == CBN_SELCHANGE) c.set_list_index(static_cast<int>(SendMessageA(h, CB_GETCURSEL, 0, 0)));
}

// ---------------------------------------------------------------- text box

DWORD TextStyle(const Control& c) {
  DWORD style = c.locked() ? ES_READONLY : 0;
  if (!c.multi_line()) return style | ES_AUTOHSCROLL;
  // Without a horizontal bar the lines wrap at the box's edge.
  style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (c.scroll_bars() & 1) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  if (c.scroll_bars() & 2) style |= WS_VSCROLL;
  return style;
}

// A box of several lines takes whatever text it is given, not the default 32K; the text it
// was made with may have been cut to that.
void TextCreated(Win32Backend::Impl&, FormWin&, Control& c) {
  if (!c.multi_line()) return;
  SendMessageA(H(c), EM_SETLIMITTEXT, 0, 0);
  if (static_cast<size_t>(GetWindowTextLengthA(H(c))) != c.caption().size()) SetWindowTextA(H(c), c.caption().c_str());
}

void TextCommand(FormWin&, Control& c, int code, HWND h) {
  if (code == EN_CHANGE) c.set_caption(WindowText(h));
}

// ---------------------------------------------------------------- date picker

DWORD DateStyle(const Control& c) { return c.time_format() ? DTS_TIMEFORMAT : DTS_SHORTDATEFORMAT; }

void ShowDate(Win32Backend::Impl&, FormWin& w, Control& c) {
  HWND h = H(c);
  Syncing s(w);
  if (!c.date()) {
    SendMessageA(h, DTM_SETSYSTEMTIME, GDT_NONE, 0);
    return;
  }
  const DateTime& d = *c.date();
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(d.year);
  st.wMonth = static_cast<WORD>(d.month);
  st.wDay = static_cast<WORD>(d.day);
  st.wDayOfWeek = static_cast<WORD>(d.DayOfWeek() - 1);
  st.wHour = static_cast<WORD>(d.hour);
  st.wMinute = static_cast<WORD>(d.minute);
  st.wSecond = static_cast<WORD>(d.second);
  SendMessageA(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

bool DateChanged(Win32Backend::Impl& impl, FormWin& w, Control& c, Prop what) {
  if (what != Prop::Date) return false;
  ShowDate(impl, w, c);
  return true;
}

void DateNotify(Win32Backend::Impl&, FormWin&, Control& c, NMHDR* nm) {
  if (nm->code != DTN_DATETIMECHANGE) return;
  auto* dt = reinterpret_cast<NMDATETIMECHANGE*>(nm);
  if (dt->dwFlags == GDT_NONE) {
    c.set_date(std::nullopt);
  } else {
    const SYSTEMTIME& st = dt->st;
    c.set_date(DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond});
  }
}

}  // namespace

const ControlKind kProgressBarKind = {PROGRESS_CLASSA, 0, 0, nullptr, ShowProgress, ProgressChanged};
const ControlKind kComboBoxKind = {"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, nullptr,
                                   ShowList, ComboChanged, ComboCommand};
const ControlKind kTextBoxKind = {"EDIT", WS_TABSTOP, WS_EX_CLIENTEDGE, TextStyle, TextCreated, nullptr, TextCommand};
const ControlKind kDTPickerKind = {DATETIMEPICK_CLASSA, DTS_SHOWNONE | WS_TABSTOP, 0, DateStyle, ShowDate, DateChanged,
                                   nullptr, DateNotify};

}  // namespace kx::win32
