// The Win32 form backend with real windows, under Wine and an X server.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_misc.h"
#include "platform/log.h"
#include "platform/win32/ui_win32.h"

namespace kx::win32 {
namespace {

using ui::Control;
using ui::ControlType;
using ui::Form;

HWND H(const Control& c) { return static_cast<HWND>(c.native); }

std::string Text(HWND h) {
  char buf[512] = {};
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

std::string ItemText(HWND lv, int item, int sub) {
  char buf[256] = {};
  LVITEMA it = {};
  it.iSubItem = sub;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(lv, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
  return buf;
}

// A small window with one of most kinds of control.
struct TestForm : Form {
  explicit TestForm(Win32Backend& b) : Form("frmGuiTest", b) {
    set_caption("Kestrix form test");
    Move(600, 600, 9000, 6600);
    mnuFile = &Add(ControlType::Menu, "mnuFile");
    mnuFile->set_caption("&File");
    for (int i = 0; i < 3; ++i) Add(ControlType::Menu, "mnuFileItem", mnuFile, i);
    Get("mnuFileItem", 0).set_caption("Scan Now");
    Get("mnuFileItem", 1).set_caption("-");
    Get("mnuFileItem", 2).set_caption("Exit");
    mnuPopup = &Add(ControlType::Menu, "mnuPopup");
    mnuPopup->set_caption("Popup");
    mnuPopup->set_visible(false);
    Add(ControlType::Menu, "mnuProperties", mnuPopup).set_caption("File Properties");

    cmdScan = &Add(ControlType::CommandButton, "cmdScan");
    cmdScan->set_caption("Scan Now");
    cmdScan->Move(120, 120, 1500, 420);
    chkMakeLog = &Add(ControlType::CheckBox, "chkMakeLog");
    chkMakeLog->set_caption("Save scan results to log");
    chkMakeLog->Move(1800, 120, 3000, 300);
    TabStrip1 = &Add(ControlType::TabStrip, "TabStrip1");
    TabStrip1->set_tabs({"Scan Options", "Schedule"});
    TabStrip1->Move(120, 4200, 8000, 1500);
    // A frame holding option buttons; the options sit inside it at frame coordinates.
    fraType = &Add(ControlType::Frame, "fraType");
    fraType->set_caption("Scan Type");
    fraType->Move(300, 4600, 4000, 900);
    optFull = &Add(ControlType::OptionButton, "optFull", fraType);
    optFull->set_caption("Complete System Scan");
    optFull->Move(150, 250, 3000, 270);
    optQuick = &Add(ControlType::OptionButton, "optQuick", fraType);
    optQuick->set_caption("Quick Scan");
    optQuick->Move(150, 550, 3000, 270);
    lvw = &Add(ControlType::ListView, "lvwSpywareFound");
    lvw->set_checkboxes(true);
    lvw->set_columns({{"Spyware/Adware Found", 3000}, {"Location", 3000}});
    lvw->Move(120, 700, 8000, 2400);
    pbgMain = &Add(ControlType::ProgressBar, "pbgMain");
    pbgMain->Move(120, 3300, 8000, 300);
    dtpDate = &Add(ControlType::DTPicker, "dtpScheduleDate");
    dtpDate->Move(4500, 4700, 2000, 330);
    shpCircle = &Add(ControlType::Shape, "shpCircle");
    shpCircle->set_value(3);
    shpCircle->set_color(0xCC0000);
    shpCircle->Move(6800, 120, 400, 400);
    tmrTick = &Add(ControlType::Timer, "tmrTick");
    tmrTick->set_interval(50);
  }
  Control *mnuFile, *mnuPopup, *cmdScan, *chkMakeLog, *TabStrip1, *fraType, *optFull, *optQuick, *lvw,
      *pbgMain, *dtpDate, *shpCircle, *tmrTick;
};

class FormGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TestForm>(backend);
  }
  void TearDown() override { form.reset(); }
  // Pumps messages until `done` holds or a generous time has passed.
  bool PumpUntil(const std::function<bool()>& done, DWORD ms = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
      if (GetTickCount() - start > ms) return false;
      backend.DoEvents();
      Sleep(5);
    }
    return true;
  }
  Win32Backend backend;
  std::unique_ptr<TestForm> form;
};

TEST_F(FormGuiTest, ShowsARealWindowWithControlsInside) {
  form->Show();
  backend.DoEvents();
  HWND top = FindWindowA("KestrixForm_frmGuiTest", "Kestrix form test");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top, static_cast<HWND>(form->native));
  EXPECT_TRUE(IsWindowVisible(top));
  // Every control is a direct child of the form, even those inside the frame.
  EXPECT_EQ(GetParent(H(*form->optQuick)), top);
  EXPECT_TRUE(IsWindowVisible(H(*form->optQuick)));
  RECT frame, opt;
  GetWindowRect(H(*form->fraType), &frame);
  GetWindowRect(H(*form->optQuick), &opt);
  EXPECT_GT(opt.left, frame.left);
  EXPECT_GT(opt.top, frame.top);
  EXPECT_LT(opt.bottom, frame.bottom);

  // Hiding the frame hides what it holds; showing it brings them back.
  form->fraType->set_visible(false);
  EXPECT_FALSE(IsWindowVisible(H(*form->optQuick)));
  form->fraType->set_visible(true);
  EXPECT_TRUE(IsWindowVisible(H(*form->optQuick)));

  form->cmdScan->set_caption("Stop");
  EXPECT_EQ(Text(H(*form->cmdScan)), "Stop");
  form->set_caption("Kestrix renamed");
  EXPECT_EQ(Text(top), "Kestrix renamed");
  form->cmdScan->set_enabled(false);
  EXPECT_FALSE(IsWindowEnabled(H(*form->cmdScan)));
}

TEST_F(FormGuiTest, ClicksReachTheModel) {
  int scans = 0;
  form->cmdScan->onClick = [&] { ++scans; };
  form->Show();
  PostMessageA(H(*form->cmdScan), BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return scans == 1; }));

  SendMessageA(H(*form->chkMakeLog), BM_CLICK, 0, 0);
  backend.DoEvents();
  EXPECT_EQ(form->chkMakeLog->value(), 1);
  EXPECT_EQ(SendMessageA(H(*form->chkMakeLog), BM_GETCHECK, 0, 0), BST_CHECKED);

  form->optFull->set_value(1);
  EXPECT_EQ(SendMessageA(H(*form->optFull), BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageA(H(*form->optQuick), BM_CLICK, 0, 0);
  backend.DoEvents();
  EXPECT_EQ(form->optQuick->value(), 1);
  EXPECT_EQ(form->optFull->value(), 0);
  EXPECT_EQ(SendMessageA(H(*form->optFull), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  // A disabled button's click never arrives.
  form->cmdScan->set_enabled(false);
  SendMessageA(H(*form->cmdScan), BM_CLICK, 0, 0);
  backend.DoEvents();
  EXPECT_EQ(scans, 1);
}

TEST_F(FormGuiTest, MenusFollowTheModel) {
  int exits = 0;
  form->Get("mnuFileItem", 2).onClick = [&] { ++exits; };
  form->Show();
  HWND top = static_cast<HWND>(form->native);
  HMENU bar = GetMenu(top);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(GetMenuItemCount(bar), 1);  // the hidden popup menu stays off the bar
  HMENU file = GetSubMenu(bar, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(GetMenuItemCount(file), 3);
  MENUITEMINFOA mi = {};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_FTYPE;
  GetMenuItemInfoA(file, 1, TRUE, &mi);
  EXPECT_TRUE(mi.fType & MFT_SEPARATOR);
  const UINT exitId = GetMenuItemID(file, 2);
  SendMessageA(top, WM_COMMAND, MAKEWPARAM(exitId, 0), 0);
  EXPECT_EQ(exits, 1);
  form->Get("mnuFileItem", 0).set_visible(false);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(top), 0)), 2);
  // Changed while the window is hidden, the bar shows the change when the window shows again.
  form->Hide();
  form->Get("mnuFileItem", 2).set_caption("&Quit");
  form->Get("mnuFileItem", 0).set_visible(true);
  form->Show();
  char text[32] = {};
  GetMenuStringA(GetSubMenu(GetMenu(top), 0), 2, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "&Quit");
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(top), 0)), 3);
}

TEST_F(FormGuiTest, TimerFiresWhilePumping) {
  int ticks = 0;
  form->tmrTick->onTimer = [&] { ++ticks; };
  form->Show();
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }));
  form->tmrTick->set_enabled(false);
  backend.DoEvents();
  const int stopped = ticks;
  Sleep(200);
  backend.DoEvents();
  EXPECT_EQ(ticks, stopped);
}

TEST_F(FormGuiTest, ListViewRowsAndChecksAreVisibleToWindows) {
  form->Show();
  HWND lv = H(*form->lvw);
  ui::ListItem a;
  a.text = "BargainBuddy";
  a.SetSubItem(1, "C:\\Program Files\\BB");
  a.smallIcon = 2;
  form->lvw->AddItem(a);
  ui::ListItem b;
  b.text = "Alexa";
  b.checked = true;
  b.smallIcon = 3;
  form->lvw->AddItem(b);
  EXPECT_EQ(ListView_GetItemCount(lv), 2);
  EXPECT_EQ(ItemText(lv, 0, 0), "BargainBuddy");
  EXPECT_EQ(ItemText(lv, 0, 1), "C:\\Program Files\\BB");
  EXPECT_FALSE(ListView_GetCheckState(lv, 0));
  EXPECT_TRUE(ListView_GetCheckState(lv, 1));

  std::vector<size_t> checks;
  form->lvw->onItemCheck = [&](size_t i) { checks.push_back(i); };
  form->lvw->SetItemChecked(0, true);
  EXPECT_TRUE(ListView_GetCheckState(lv, 0));
  // A check made on the window itself comes back to the model.
  ListView_SetCheckState(lv, 1, FALSE);
  backend.DoEvents();
  EXPECT_FALSE(form->lvw->items()[1].checked);
  EXPECT_EQ(checks, (std::vector<size_t>{0, 1}));

  form->lvw->item(0).text = "Renamed";
  form->lvw->ItemsChanged();
  EXPECT_EQ(ItemText(lv, 0, 0), "Renamed");
  form->lvw->RemoveItem(0);
  EXPECT_EQ(ListView_GetItemCount(lv), 1);
  EXPECT_EQ(ItemText(lv, 0, 0), "Alexa");
  form->lvw->ClearItems();
  EXPECT_EQ(ListView_GetItemCount(lv), 0);
}

TEST_F(FormGuiTest, TabsProgressAndEmptyDates) {
  form->Show();
  std::vector<int> tabs;
  form->TabStrip1->onClick = [&] { tabs.push_back(form->TabStrip1->selected_tab()); };
  HWND tab = H(*form->TabStrip1);
  EXPECT_EQ(TabCtrl_GetItemCount(tab), 2);
  form->TabStrip1->set_selected_tab(2);
  EXPECT_EQ(TabCtrl_GetCurSel(tab), 1);
  EXPECT_EQ(tabs, std::vector<int>{2});

  form->pbgMain->set_range(0, 200);
  form->pbgMain->set_value(150);
  form->pbgMain->set_value(500);  // outside the range: ignored
  EXPECT_EQ(SendMessageA(H(*form->pbgMain), PBM_GETPOS, 0, 0), 150);

  SYSTEMTIME st = {};
  EXPECT_EQ(SendMessageA(H(*form->dtpDate), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)), GDT_NONE);
  form->dtpDate->set_date(DateTime{2006, 3, 16});
  ASSERT_EQ(SendMessageA(H(*form->dtpDate), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)), GDT_VALID);
  EXPECT_EQ(st.wYear, 2006);
  EXPECT_EQ(st.wMonth, 3);
  EXPECT_EQ(st.wDay, 16);
}

TEST_F(FormGuiTest, CloseBoxAsksTheModelAndCanBeRefused) {
  int refuse = 1;
  form->onQueryUnload = [&](int& cancel, int mode) {
    EXPECT_EQ(mode, 0);
    cancel = refuse;
  };
  form->Show();
  HWND top = static_cast<HWND>(form->native);
  SendMessageA(top, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(top));
  EXPECT_TRUE(form->loaded());
  refuse = 0;
  SendMessageA(top, WM_CLOSE, 0, 0);
  backend.DoEvents();
  EXPECT_FALSE(form->loaded());
  EXPECT_FALSE(IsWindow(top));
  EXPECT_EQ(form->native, nullptr);
}

TEST_F(FormGuiTest, ModalShowReturnsWhenTheFormHides) {
  form->Show();
  Form dialog("frmAbout", backend);
  dialog.set_caption("About");
  dialog.Move(1200, 1200, 4000, 3000);
  Control& tmr = dialog.Add(ControlType::Timer, "tmrClose");
  tmr.set_interval(100);
  int ticks = 0;
  tmr.onTimer = [&] {
    ++ticks;
    EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(form->native)));
    dialog.Hide();
  };
  dialog.Show(true);  // returns only once the timer hid it
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(dialog.visible());
  EXPECT_TRUE(IsWindowEnabled(static_cast<HWND>(form->native)));
}

TEST_F(FormGuiTest, SavesAScreenshot) {
  ui::ListItem row;
  row.text = "CoolWebSearch";
  row.SetSubItem(1, "HKEY_LOCAL_MACHINE\\Software\\CWS");
  row.smallIcon = 1;
  form->lvw->AddItem(row);
  for (int i = 2; i <= 5; ++i) {
    ui::ListItem r;
    r.text = "Row " + std::to_string(i);
    r.smallIcon = i;
    r.checked = i % 2 == 0;
    form->lvw->AddItem(r);
  }
  form->pbgMain->set_value(40);
  form->Show();
  PumpUntil([] { return false; }, 300);
  const char* dir = std::getenv("KESTRIX_ARTIFACTS");
  std::string folder = dir && *dir ? dir : ".";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "\\form.bmp";
  ASSERT_TRUE(SaveWindowBitmap(*form, path));
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER bi = {};
  ASSERT_EQ(std::fread(&fh, sizeof fh, 1, f), 1u);
  ASSERT_EQ(std::fread(&bi, sizeof bi, 1, f), 1u);
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  EXPECT_EQ(fh.bfType, 0x4D42);
  EXPECT_EQ(bi.biBitCount, 24);
  RECT r;
  GetWindowRect(static_cast<HWND>(form->native), &r);
  EXPECT_EQ(bi.biWidth, r.right - r.left);
  EXPECT_EQ(static_cast<DWORD>(size), fh.bfSize);
  Form hidden("frmNever", backend);
  EXPECT_FALSE(SaveWindowBitmap(hidden, folder + "\\never.bmp"));
}

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return dpi;
}

TEST_F(FormGuiTest, WorkPostedFromWorkersRunsOnTheUiThreadInOrder) {
  const DWORD uiThread = GetCurrentThreadId();
  std::vector<DWORD> ranOn;
  std::vector<std::pair<int, int>> order;  // touched on the UI thread only
  std::vector<std::thread> workers;
  for (int t = 0; t < 2; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i)
        backend.Post([&, t, i] {
          ranOn.push_back(GetCurrentThreadId());
          order.emplace_back(t, i);
        });
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_TRUE(order.empty());  // nothing runs before the UI thread pumps
  ASSERT_TRUE(PumpUntil([&] { return order.size() == 400; }));
  int next[2] = {0, 0};
  for (auto [t, i] : order) EXPECT_EQ(i, next[t]++) << "worker " << t;
  for (DWORD id : ranOn) ASSERT_EQ(id, uiThread);

  // A modal window waiting on a worker: the worker's report closes it through the modal loop.
  Form dialog("frmDownload", backend);
  dialog.set_caption("Downloading");
  std::thread download([&] {
    Sleep(100);
    backend.Post([&] { dialog.Hide(); });
  });
  dialog.Show(true);  // returns only once the posted work hid it
  download.join();
  EXPECT_FALSE(dialog.visible());
}

TEST_F(FormGuiTest, WhatHandlersThrowIsLoggedAndTheMessageGetsItsDefault) {
  fakes::FakeClock clock;
  std::vector<std::string> lines;
  Log log(clock, [&](const std::string& line) { lines.push_back(line); });
  backend.set_log(&log);
  Control& txt = form->Add(ControlType::TextBox, "txtName");
  txt.Move(120, 3700, 3000, 300);
  txt.onKeyPress = [](int&) { throw std::runtime_error("key handler failed"); };
  form->cmdScan->onClick = [] { throw std::runtime_error("scan failed"); };
  form->Show();

  SendMessageA(H(*form->cmdScan), BM_CLICK, 0, 0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("0x0111"), std::string::npos) << lines[0];  // WM_COMMAND
  EXPECT_NE(lines[0].find("scan failed"), std::string::npos) << lines[0];
  // The edit box's own handling still runs: the key is typed.
  SendMessageA(H(txt), WM_CHAR, 'k', 0);
  EXPECT_EQ(Text(H(txt)), "k");
  EXPECT_EQ(txt.caption(), "k");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("0x0102"), std::string::npos) << lines[1];  // WM_CHAR

  // Failing posted work is logged too and does not cost the next its turn.
  bool next = false;
  backend.Post([] { throw std::runtime_error("posted failed"); });
  backend.Post([&] { next = true; });
  EXPECT_TRUE(PumpUntil([&] { return next; }));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[2].find("posted failed"), std::string::npos);
  backend.set_log(nullptr);
}

TEST_F(FormGuiTest, TheProgramIconAskedForAtLoadReachesTheWindow) {
  // As the main window gets it: asked for in the load handler, loaded and shown in two steps.
  // (Wine answers neither WM_GETICON nor the class icon across processes, so the real
  // Kestrix.exe cannot be asked from here.)
  form->onLoad = [&] { form->icon = 1; };
  form->Load();
  form->Show();
  HWND top = static_cast<HWND>(form->native);
  const HICON aaa = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "AAA", IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  ASSERT_NE(aaa, nullptr) << "the test program carries kestrix.rc";
  EXPECT_NE(SendMessageA(top, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(top, WM_GETICON, ICON_SMALL, 0)), aaa);
  EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(top, GCLP_HICONSM)), aaa);
  // The list pictures come from the resources too: "no picture" and the five row kinds.
  HIMAGELIST images = ListView_GetImageList(H(*form->lvw), LVSIL_SMALL);
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(images), 6);
}

TEST_F(FormGuiTest, ColumnWidthsSetOnTheWindowAreInTheModelWhenItUnloads) {
  std::vector<int> atUnload;
  form->onUnload = [&](int&) {
    for (const auto& c : form->lvw->columns()) atUnload.push_back(c.width);
  };
  form->Show();
  HWND lv = H(*form->lvw);
  // What a drag does: the header item gets a new width; and the list view's own call.
  HDITEMA item = {};
  item.mask = HDI_WIDTH;
  item.cxy = 150;
  SendMessageA(ListView_GetHeader(lv), HDM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  ListView_SetColumnWidth(lv, 1, 123);
  backend.DoEvents();
  // A caption change (a language switch) keeps the widths the user chose.
  form->lvw->set_column_caption(1, "Path");
  EXPECT_EQ(ListView_GetColumnWidth(lv, 0), 150);
  EXPECT_EQ(ListView_GetColumnWidth(lv, 1), 123);
  ASSERT_TRUE(form->Unload());
  const int dpi = ScreenDpi();
  EXPECT_EQ(atUnload, (std::vector<int>{MulDiv(150, 1440, dpi), MulDiv(123, 1440, dpi)}));
}

TEST_F(FormGuiTest, FreezingNeverShowsAHiddenWindow) {
  form->Load();
  HWND top = static_cast<HWND>(form->native);
  form->FreezeRedraw(true);
  form->FreezeRedraw(false);
  EXPECT_FALSE(IsWindowVisible(top));
  // Hidden to the notification area while frozen: thawing must not bring it back.
  form->Show();
  form->FreezeRedraw(true);
  form->Hide();
  form->FreezeRedraw(false);
  EXPECT_FALSE(IsWindowVisible(top));
  form->Show();
  form->FreezeRedraw(true);
  form->FreezeRedraw(false);
  EXPECT_TRUE(IsWindowVisible(top));
}

}  // namespace
}  // namespace kx::win32
