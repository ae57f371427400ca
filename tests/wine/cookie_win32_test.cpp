// The cookie phase on the real file system: what Windows lists and lets be read.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/text.h"
#include "platform/win32/services_win32.h"
#include "scan/cookie_scanner.h"
#include "scan_support/cookie_machine.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

TEST(CookieWin32, HiddenFilesCountSubfoldersDoNotAndALockedCookieReadsAsFalse) {
  win32::Win32Platform p;
  char temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string root = std::string(temp) + "KestrixCookieTest";
  const std::string folder = root + "\\Cookies", data = root + "\\Data";
  (void)p.files.DeleteFolder(root, true);  // it may not be there yet
  scanbench::CreateFolders(p.files, folder + "\\Low");
  scanbench::CreateFolders(p.files, data);
  const std::string body = "id\n7f3a\nwww.tracker.com/\n1536\n*\n";
  ASSERT_TRUE(p.files.WriteFile(folder + "\\index.dat", body));
  ASSERT_TRUE(p.files.SetAttributes(folder + "\\index.dat", FA_HIDDEN | FA_SYSTEM));
  for (const char* name : {"kx@tracker[1].txt", "kx@tracker[2].txt", "Low\\kx@tracker[1].txt"})
    ASSERT_TRUE(p.files.WriteFile(folder + "\\" + name, body));
  ASSERT_TRUE(p.files.WriteFile(data + "\\BlockedCookies.dat", scantest::EncodeFile({"tracker.com"})));
  // Held open by another program that shares nothing, as the browser holds its cookies.
  HANDLE held = CreateFileA((folder + "\\kx@tracker[2].txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
  rig.Get("cmdScan").set_enabled(false);
  rig.threats.LoadExclusions();
  CookieScanner scanner({p.files, p.system, data}, &rig.Get("cmdScan"), rig.threats, rig.state);
  long files = 0;
  scanner.ScanCookieFolder(folder, files);
  CloseHandle(held);

  EXPECT_EQ(files, 3);
  EXPECT_EQ(rig.Rows("lvwCookiesToDelete"), (std::vector<std::string>{folder + "\\kx@tracker[1].txt#0"}));
  EXPECT_EQ(rig.state.counters.threatsFound, 1);
  EXPECT_NE(Trim(scanner.GetSpecialFolder(kCsidlCookies)), "");
  (void)p.files.DeleteFolder(root, true);  // clean-up
}

}  // namespace
}  // namespace kx
