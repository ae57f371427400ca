// A scheduled scan on the real clock: Kestrix.exe's Schedule page is set to "Daily" a few
// seconds ahead with "Delete spyware automatically" ticked and applied; at that time the
// scan starts by itself and the planted threat is removed without a question, its copy
// kept in the quarantine.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "running_kestrix.h"
#include "scan_support/scan_kit.h"

namespace {

using namespace kx::exe_test;

const char* const kOptions = "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings";
const char* const kSettings = "Software\\Kestrix Labs\\Kestrix\\Settings";

std::string ReadAll(const std::string& path) {
  std::string out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HWND ChildOfClass(HWND main, const std::string& cls, int nth = 0) {
  for (HWND h : Children(main))
    if (ClassOf(h) == cls && nth-- == 0) return h;
  return nullptr;
}

HWND ButtonAnywhere(HWND main, const std::string& caption) {
  for (HWND h : Children(main))
    if (Text(h) == caption && ClassOf(h) == "Button") return h;
  return nullptr;
}

// Clicks a tab the way the mouse does; its rectangle is read through Kestrix's memory.
bool ClickTab(HANDLE process, HWND tabs, int index) {
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) return false;
  RECT r{};
  const bool got = SendMessageA(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote)) &&
                   ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (!got) return false;
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(tabs, WM_LBUTTONUP, 0, at);
  return true;
}

// The local time in the US general format's time part, "2:30:05 PM".
std::string UsTime(const SYSTEMTIME& t) {
  char buf[32];
  const int h12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, t.wMinute, t.wSecond, t.wHour < 12 ? "AM" : "PM");
  return buf;
}

SYSTEMTIME SecondsFromNow(int seconds) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME f;
  SystemTimeToFileTime(&now, &f);
  ULARGE_INTEGER u{{f.dwLowDateTime, f.dwHighDateTime}};
  u.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ULL;
  f = {u.LowPart, u.HighPart};
  SYSTEMTIME later;
  FileTimeToSystemTime(&f, &later);
  return later;
}

TEST(ScheduledScanThroughTheWindow, DailyAFewSecondsAheadScansAndRemovesWithoutAsking) {
#ifndef KESTRIX_EXE
  FAIL() << "Kestrix.exe is not part of this build";
#else
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  const std::string windir = ShellFolder(CSIDL_WINDOWS);
  ASSERT_FALSE(windir.empty());
  CreateDirectoryA(data.c_str(), nullptr);
  using kx::scantest::EncodeFile;
  PutFile(data + "\\FileDefinition.dat", EncodeFile({"e2esched.dat=E2E Scheduled|[windir]"}));
  PutFile(data + "\\DirectoryDefinition.dat", EncodeFile({"E2ENoSuchDir=None|[progfil]\\E2ENoSuchDir|x"}));
  PutFile(data + "\\RegistryDefinition.dat", EncodeFile({"1^Software\\E2ENoSuchKey^=None"}));
  PutFile(data + "\\ExeDefinition.dat", EncodeFile({"nothing.exe=None|[windir]"}));
  PutFile(data + "\\BlockedCookies.dat", EncodeFile({"nothing.example"}));
  DeleteFileA((data + "\\ENoSignature.dat").c_str());
  const std::string threat = windir + "\\e2esched.dat";
  PutFile(threat, "scheduled threat");
  DeleteFileA((data + "\\quarantine\\e2esched.dat").c_str());
  DeleteFileA((data + "\\Diagnostics.log").c_str());

  CommonSettings();
  WriteString(HKEY_CURRENT_USER, kOptions, "chkScanCookies", "0");
  WriteString(HKEY_CURRENT_USER, kOptions, "chkSweepMemory", "0");
  WriteString(HKEY_CURRENT_USER, kOptions, "chkAutomaticScanYesOrNo", "0");
  WriteString(HKEY_CURRENT_USER, kOptions, "Day", "0");
  WriteString(HKEY_CURRENT_USER, kSettings, "chkAutoDel", "0");
  WriteString(HKEY_CURRENT_USER, kSettings, "DiagnosticsLog", "1");
  // The time picker shows the stored time; the page below makes it a daily schedule.
  const std::string at = UsTime(SecondsFromNow(45));
  WriteString(HKEY_CURRENT_USER, kOptions, "Time", at);

  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  // The window's first showing in its normal state rests the scheduler's timer; the page is
  // worked after it, as a user would.
  Sleep(3000);
  HWND settings = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (settings = Button(k.main, "Settings")) != nullptr; }, 20000));
  SendMessageA(settings, BM_CLICK, 0, 0);
  HWND tabs = ChildOfClass(k.main, WC_TABCONTROLA);
  ASSERT_TRUE(tabs);
  ASSERT_TRUE(ClickTab(k.pi.hProcess, tabs, 2));
  HWND enable = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (enable = Button(k.main, "Enable Scheduled Scans")) != nullptr; }, 10000))
      << "the Schedule tab did not show";
  SendMessageA(enable, BM_CLICK, 0, 0);
  HWND days = ChildOfClass(k.main, "ComboBox");
  ASSERT_TRUE(days);
  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(days) != FALSE; }, 5000)) << "ticking did not enable the day list";
  SendMessageA(days, CB_SETCURSEL, 7, 0);
  SendMessageA(k.main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(days), CBN_SELCHANGE), reinterpret_cast<LPARAM>(days));
  SendMessageA(ButtonAnywhere(k.main, "Delete spyware automatically after scheduled scan"), BM_CLICK, 0, 0);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kSettings, "chkAutoDel"), "1") << "stored at once";
  HWND apply = Button(k.main, "Apply");
  ASSERT_TRUE(apply);
  EXPECT_TRUE(IsWindowEnabled(apply));
  k.Screenshot("schedule_page.bmp");
  SendMessageA(apply, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowEnabled(apply));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kOptions, "chkAutomaticScanYesOrNo"), "1");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kOptions, "Day"), "7");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kOptions, "Time"), at);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kOptions, "Date"), "Null");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kSettings, "lblLastScan"), "Never") << "nothing scanned before its time";
  EXPECT_TRUE(Exists(threat));

  // At its time the scan runs by itself; the removal asks nothing.
  ASSERT_TRUE(WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kSettings, "lblLastScan") != "Never"; }, 90000))
      << "no scan started by the schedule at " << at;
  EXPECT_TRUE(WaitFor([&] { return !Exists(threat); }, 60000)) << "the threat was not removed";
  EXPECT_EQ(k.WindowWithButton("&Yes"), nullptr) << "a question was asked";
  EXPECT_TRUE(Exists(data + "\\quarantine\\e2esched.dat"));
  EXPECT_NE(ReadAll(data + "\\Diagnostics.log").find("scheduled scan: starting"), std::string::npos);
  k.Screenshot("schedule_after_scan.bmp");
#endif
}

}  // namespace
