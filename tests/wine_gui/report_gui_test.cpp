// The scan report on Windows: the log written through the real file system, and the report
// window as a real read-only edit box over it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"
#include "app/main_window/main_window_controls.h"
#include "app/main_window/main_window_views.h"
#include "report/scan_report.h"

namespace kx {
namespace {

std::string Text(HWND h) {
  std::string s(static_cast<size_t>(GetWindowTextLengthA(h)) + 1, '\0');
  s.resize(static_cast<size_t>(GetWindowTextA(h, s.data(), static_cast<int>(s.size()))));
  return s;
}

using MainStandIn = MainWindowControls;

TEST(ReportGui, TheLogOnDiskShowsInAReadOnlyScrollingBox) {
  win32::Win32Platform p;
  char temp[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string data = std::string(temp) + "kestrix_report_gui";
  CreateDirectoryA(data.c_str(), nullptr);
  const std::string log = data + "\\Scan_Log.txt";
  // An old, longer log that the report must replace, not extend.
  ASSERT_TRUE(p.files.WriteFile(log, std::string(50000, 'x')));
  ASSERT_TRUE(p.files.WriteFile(data + "\\ENoSignature.dat", "C:\\one.exe\r\nC:\\two.exe\r\n"));

  win32::Win32Backend backend;
  MainStandIn main(backend);
  ScanResults results;
  results.Add(ThreatEntry{"Cool Search Bar", KIND_FILE, "C:\\Program Files\\CoolBar\\bar.dll"});
  main.Show();
  FrmReport window(backend, "Kestrix");
  ScanReport report({p.files, "Kestrix", 1, 0, data,
                     [] { return ScanSummary{"3/16/2006 10:15:02 AM", "3/16/2006 10:17:40 AM", "12", "12", "12"}; },
                     MainWindowViews::Of(main).report, results, window});
  ASSERT_TRUE(report.MakeReport());
  // Byte for byte what was built, the old log's tail gone.
  EXPECT_TRUE(p.files.ReadFile(log) == report.ReportText());

  HWND label = static_cast<HWND>(main.Get("lblViewLogFile").native);
  bool checked = false;
  backend.Post([&] {
    checked = true;
    HWND edit = static_cast<HWND>(window.Get("txtReport").native);
    if (!edit) {
      ADD_FAILURE() << "the report window has no text box";
      window.Unload();
      return;
    }
    const LONG style = GetWindowLongA(edit, GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_FALSE(IsWindowEnabled(label));
    EXPECT_EQ(Text(static_cast<HWND>(window.native)), "Kestrix Log");
    const std::string shown = Text(edit);
    EXPECT_NE(shown.find("\r\nCool Search Bar\r\nC:\\Program Files\\CoolBar\\bar.dll\r\n"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("\r\nC:\\one.exeC:\\two.exe\r\n"), std::string::npos) << shown;
    // Typing into it changes nothing.
    SendMessageA(edit, WM_CHAR, 'z', 0);
    EXPECT_EQ(Text(edit), shown);
    // The box takes the window's width and most of its height.
    RECT client, box;
    GetClientRect(static_cast<HWND>(window.native), &client);
    GetWindowRect(edit, &box);
    MapWindowPoints(nullptr, static_cast<HWND>(window.native), reinterpret_cast<POINT*>(&box), 2);
    EXPECT_GT(box.right - box.left, (client.right - client.left) * 9 / 10);
    EXPECT_GT(box.bottom - box.top, (client.bottom - client.top) * 3 / 4);
    EXPECT_LE(box.right, client.right);
    EXPECT_LE(box.bottom, client.bottom);
    if (const char* dir = std::getenv("KESTRIX_ARTIFACTS"); dir && *dir) {
      CreateDirectoryA(dir, nullptr);
      RedrawWindow(static_cast<HWND>(window.native), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      win32::SaveWindowBitmap(window, std::string(dir) + "\\report.bmp");
    }
    SendMessageA(static_cast<HWND>(window.Get("cmdOk").native), BM_CLICK, 0, 0);
    if (window.loaded()) {
      ADD_FAILURE() << "OK left the window open";
      window.Unload();
    }
  });
  report.ShowReport();  // returns once OK has closed the window
  EXPECT_TRUE(checked);
  EXPECT_TRUE(IsWindowEnabled(label));
  EXPECT_FALSE(window.loaded());
  main.Unload();
  DeleteFileA(log.c_str());
  DeleteFileA((data + "\\ENoSignature.dat").c_str());
  RemoveDirectoryA(data.c_str());
}

// A box made with a text longer than an edit control's default limit still shows all of it.
TEST(ReportGui, ALongTextSurvivesTheBoxBeingMade) {
  win32::Win32Backend backend;
  ui::Form form("frmLongText", backend);
  ui::Control& box = form.Add(ui::ControlType::TextBox, "txtReport");
  box.set_multi_line(true);
  box.set_scroll_bars(2);
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + " of a long report\r\n";
  ASSERT_GT(text.size(), 65536u);
  box.set_caption(text);
  form.Show();
  const std::string shown = Text(static_cast<HWND>(box.native));
  EXPECT_EQ(shown.size(), text.size());
  EXPECT_TRUE(shown == text);
  form.Unload();
}

}  // namespace
}  // namespace kx
