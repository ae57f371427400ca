#include "scan/cookie_scanner.h"

#include <gtest/gtest.h>

#include <map>

#include "core/text.h"
#include "fakes/fake_platform.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

using scantest::EncodeFile;
using scantest::ScanRig;
using Rows = std::vector<std::string>;

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";

// An Internet Explorer cookie record: name, value, host/path, flags, expiry and creation
// times, and the "*" that ends it; lines end in LF.
std::string CookieBody(const std::string& host) {
  return "id\n7f3a,9\n" + host + "/\n1536\n2916958208\n30127115\n3806725072\n29875001\n*\n";
}

TEST(CookieRules, SiteOfFileNameEndsAtCopyNumberOrExtension) {
  const std::string dir = "C:\\Documents and Settings\\Ann\\Cookies\\";
  EXPECT_EQ(GetCookieSite(dir + "ann@doubleclick[1].txt"), "doubleclick");
  EXPECT_EQ(GetCookieSite(dir + "ann@doubleclick(2).txt"), "doubleclick");
  EXPECT_EQ(GetCookieSite(dir + "ann@doubleclick.txt"), "doubleclick");
  EXPECT_EQ(GetCookieSite(dir + "ann@ads.example[1].txt"), "ads.example");
  // A "(" anywhere after the "@" wins over an earlier "[".
  EXPECT_EQ(GetCookieSite(dir + "ann@a[1]b(2).txt"), "a[1]b");
  EXPECT_EQ(GetCookieSite(dir + "index.dat"), "");
  EXPECT_EQ(GetCookieSite(dir + "ann@noextension"), "");
  EXPECT_EQ(GetCookieSite(""), "");
  // The first "@" of the whole path counts, even in a folder name.
  EXPECT_EQ(GetCookieSite("C:\\Users\\a@corp\\Cookies\\x.txt"), "corp\\Cookies\\x");
}

TEST(CookieRules, DomainIsReadFromCommaSeparatedFields) {
  EXPECT_EQ(CookieDomainInText(CookieBody("doubleclick.net"), "doubleclick"), "doubleclick.net");
  EXPECT_EQ(CookieDomainInText(CookieBody("ad.doubleclick.net"), "doubleclick"), "doubleclick.net");
  // Only the path's first "/" ends the domain; a field with the site but no "/" is passed over.
  EXPECT_EQ(CookieDomainInText("doubleclick\r\nx.doubleclick.net/a/b\r\n", "doubleclick"), "doubleclick.net");
  // The site search keeps letter case.
  EXPECT_EQ(CookieDomainInText(CookieBody("DoubleClick.net"), "doubleclick"), "False");
  // A comma or a line end ends a field...
  EXPECT_EQ(CookieDomainInText("id,doubleclick,net/\n", "doubleclick"), "False");
  EXPECT_EQ(CookieDomainInText("doubleclick\r.net/\n", "doubleclick"), "False");
  // ...unless the field is in double quotes; what follows the closing quote is dropped.
  EXPECT_EQ(CookieDomainInText("id, \"doubleclick,x.net/\"tail/,y\n", "doubleclick"), "doubleclick,x.net");
  EXPECT_EQ(CookieDomainInText("\"doubleclick\"tail.net/\n", "doubleclick"), "False");
  EXPECT_EQ(CookieDomainInText("", "doubleclick"), "False");
  EXPECT_EQ(CookieDomainInText(std::string("a\0doubleclick.net/", 18), "doubleclick"), "doubleclick.net");

  EXPECT_EQ(MatchingCookieDomain("a.b.c"), "a.b");
  EXPECT_EQ(MatchingCookieDomain("WwW.tracker.com"), "tracker");
  EXPECT_EQ(MatchingCookieDomain("wwwtracker.com"), "wwwtracker");
  EXPECT_EQ(MatchingCookieDomain("localhost"), "localhost");
  EXPECT_EQ(MatchingCookieDomain("False"), "False");
}

TEST(CookieRules, BlockedEntryMatchesItsHostLessTheLastLabel) {
  const std::vector<std::string> list = {"b.c", "a.x.y", "*star.com", "**two.com", "Mixed.com", "fALSE.False", ""};
  EXPECT_TRUE(IsBlockedCookieDomain(list, "b"));      // b.c, and www.b.c once reduced
  EXPECT_FALSE(IsBlockedCookieDomain(list, "b.c"));
  EXPECT_TRUE(IsBlockedCookieDomain(list, "a.x"));
  EXPECT_FALSE(IsBlockedCookieDomain(list, "x"));
  EXPECT_TRUE(IsBlockedCookieDomain(list, "star"));   // a leading "*" goes...
  EXPECT_FALSE(IsBlockedCookieDomain(list, "two"));   // ...only the first one
  EXPECT_TRUE(IsBlockedCookieDomain(list, "*two"));
  // The candidate search keeps letter case, the final comparison ignores it.
  EXPECT_TRUE(IsBlockedCookieDomain(list, "Mixed"));
  EXPECT_FALSE(IsBlockedCookieDomain(list, "mixed"));
  EXPECT_TRUE(IsBlockedCookieDomain(list, "False"));
  EXPECT_FALSE(IsBlockedCookieDomain({"false.com", "FALSE"}, "False"));
  // The trailing empty element matches only an empty domain; an empty list nothing.
  EXPECT_FALSE(IsBlockedCookieDomain({""}, "b"));
  EXPECT_TRUE(IsBlockedCookieDomain({"zzz", ""}, ""));
  EXPECT_FALSE(IsBlockedCookieDomain({}, ""));
}

TEST(CookieRules, IndexGivesTheLiteralRulesAnswers) {
  const std::vector<std::vector<std::string>> lists = {
      {},
      {""},
      {"b.c", "a.x.y", "*star.com", "**two.com", "Mixed.com", "fALSE.False", "mIxEd.org", "*", ".", "x|y.z", ""},
      {"B.C", "b.C", "www.b.c", "*.c", "c", "a*b.c", "False", "\xE9T\xC9.x", ""},
  };
  const std::vector<std::string> domains = {"", "b", "B", "b.c", "a.x", "star", "*star", "two", "*two", "Mixed",
                                            "mixed", "MIXED", "False", "false", "*", ".", "x|y", "x", "www", "ab", "a*b",
                                            "\xC9t\xE9", "\xE9T\xC9"};
  for (const auto& list : lists) {
    BlockedCookieIndex index(list);
    for (const std::string& d : domains)
      EXPECT_EQ(index.IsBlocked(d), IsBlockedCookieDomain(list, d)) << "domain \"" << d << "\", " << list.size();
  }
  // Accented letters fold as Windows-1252 does, in both.
  EXPECT_TRUE(BlockedCookieIndex({"\xC9t\xE9.com"}).IsBlocked("\xC9t\xE9"));
  EXPECT_FALSE(BlockedCookieIndex({"\xC9t\xE9.com"}).IsBlocked("\xE9t\xE9"));
}

struct CookieScanTest : ::testing::Test {
  fakes::FakePlatform fp;
  ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  CookieScanner scanner{CookieScanServices{fp.files, fp.system, kData}, &rig.Get("cmdScan"), rig.threats, rig.state};
  std::string cookies = fp.system.SpecialFolder(33);
  long cookieFiles = 0;

  void SetUp() override {
    fp.files.AddFolder(kData);
    rig.state.yield.intervalMs = 0;
    rig.state.phaseCaption = "Inspecting Cookies: ";
    rig.Get("cmdScan").set_enabled(false);  // as during a scan
    rig.threats.LoadExclusions();
  }
  void Blocked(const std::vector<std::string>& lines) {
    fp.files.AddFile(kData + "\\BlockedCookies.dat", EncodeFile(lines));
  }
  void Cookie(const std::string& name, const std::string& host) {
    fp.files.AddFile(cookies + "\\" + name, CookieBody(host));
  }
};

TEST_F(CookieScanTest, BlockedCookiesAreListedQueuedAndCountedEveryFileExamined) {
  Blocked({"tracker.com", "ads.net|*evil.org", "sub.host.com"});
  fp.files.AddFile(cookies + "\\index.dat", CookieBody("tracker.com"), FA_HIDDEN | FA_SYSTEM);
  Cookie("user@ads[1].txt", "ads.net");
  Cookie("user@evil(2).txt", "evil.org");
  Cookie("user@host[1].txt", "sub.host.com");       // domain "host": sub.host.com wants sub.host
  Cookie("user@sub.host[1].txt", "sub.host.com");   // blocked, but excluded
  Cookie("user@tracker.txt", "TRACKER.com");        // the site is not in the body in that case
  Cookie("user@WWW.tracker[1].txt", "WWW.tracker.com");
  fp.files.AddFile(cookies + "\\Low\\user@ads[1].txt", CookieBody("ads.net"));
  fp.files.AddFile(kData + "\\ENoSignature.dat", UpperAnsi(cookies) + "\\USER@SUB.HOST[1].TXT\r\n");
  rig.threats.LoadExclusions();

  scanner.ScanCookies(cookieFiles);

  const std::string c = cookies + "\\";
  EXPECT_EQ(rig.Rows("lvwSpywareFound"),
            (Rows{"Cookie Found: user@ads[1].txt#1", "Cookie Found: user@evil(2).txt#1",
                  "EXCLUDED: " + c + "user@sub.host[1].txt#5", "Cookie Found: user@WWW.tracker[1].txt#1"}));
  EXPECT_EQ(rig.Rows("lvwCookiesToDelete"),
            (Rows{c + "user@ads[1].txt#0", c + "user@evil(2).txt#0", c + "user@WWW.tracker[1].txt#0"}));
  EXPECT_EQ(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"),
            (Rows{"Cookie: user@ads[1].txt|" + c + "user@ads[1].txt|Tracking Cookie#1",
                  "Cookie: user@evil(2).txt|" + c + "user@evil(2).txt|Tracking Cookie#1",
                  "Cookie: user@WWW.tracker[1].txt|" + c + "user@WWW.tracker[1].txt|Tracking Cookie#1"}));
  EXPECT_EQ(cookieFiles, 7);  // index.dat too, the subfolder not
  EXPECT_EQ(rig.state.counters.threatsFound, 3);
  EXPECT_EQ(rig.state.counters.memoryInspected, 4);  // the list's highest index: 4 entries, then ""
  EXPECT_EQ(rig.state.counters.progressCalls, 14);
}

TEST_F(CookieScanTest, InspectedValueIsEntriesTimesFilesTakenOverFilesRoundedToEven) {
  Blocked({"a.com", "b.com", "c.com"});
  for (int i = 1; i <= 6; ++i) Cookie("user@site" + std::to_string(i) + "[1].txt", "site.com");
  std::map<long, long> inspected;  // after each file
  rig.backend.onDoEvents = [&] { inspected[cookieFiles] = rig.state.counters.memoryInspected; };
  scanner.ScanCookies(cookieFiles);
  // 3k/6: 0.5, 1, 1.5, 2, 2.5, 3
  EXPECT_EQ(inspected, (std::map<long, long>{{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}, {5, 2}, {6, 3}}));

  // Without BlockedCookies.dat the list is empty: every file still counts, the value heads
  // to -1 and the report of a list entry is left out.
  ASSERT_TRUE(fp.files.DeleteFile(kData + "\\BlockedCookies.dat"));
  rig.state.Reset();
  cookieFiles = 0;
  inspected.clear();
  scanner.ScanCookies(cookieFiles);
  EXPECT_EQ(inspected, (std::map<long, long>{{1, 0}, {2, 0}, {3, 0}, {4, -1}, {5, -1}, {6, -1}}));
  EXPECT_EQ(rig.state.counters.progressCalls, 6);
}

TEST_F(CookieScanTest, StopEndsThePhaseAtTheNextFile) {
  Blocked({"ads.net"});
  Cookie("user@ads[1].txt", "ads.net");
  Cookie("user@ads[2].txt", "ads.net");
  rig.backend.onDoEvents = [&] {
    if (cookieFiles == 1) rig.state.stop = true;
  };
  scanner.ScanCookies(cookieFiles);
  EXPECT_EQ(cookieFiles, 1);
  EXPECT_EQ(rig.Rows("lvwCookiesToDelete"), (Rows{cookies + "\\user@ads[1].txt#0"}));
}

TEST_F(CookieScanTest, EnabledScanButtonEndsThePhaseAtTheFirstFind) {
  Blocked({"ads.net"});
  Cookie("user@a.txt", "a.com");
  Cookie("user@ads[1].txt", "ads.net");
  Cookie("user@ads[2].txt", "ads.net");
  rig.Get("cmdScan").set_enabled(true);
  scanner.ScanCookies(cookieFiles);
  EXPECT_EQ(rig.Rows("lvwSpywareFound"), (Rows{"Cookie Found: user@ads[1].txt#1"}));
  EXPECT_TRUE(rig.Rows("lvwCookiesToDelete").empty());
  EXPECT_TRUE(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").empty());
  EXPECT_EQ(rig.state.counters.threatsFound, 0);
  EXPECT_EQ(cookieFiles, 2);
}

TEST_F(CookieScanTest, CookieThatVanishesOrFolderThatCannotBeNamedIsNoError) {
  Blocked({"ads.net", "False.x"});  // "False.x" matches what gives no domain
  Cookie("user@ads[1].txt", "ads.net");
  Cookie("user@ads[2].txt", "ads.net");
  rig.backend.onDoEvents = [&] {  // after the listing, before the second file is read
    if (cookieFiles == 1) (void)fp.files.DeleteFile(cookies + "\\user@ads[2].txt");  // the scan may have taken it already
  };
  scanner.ScanCookies(cookieFiles);
  EXPECT_EQ(cookieFiles, 2);
  EXPECT_EQ(rig.Rows("lvwSpywareFound"),
            (Rows{"Cookie Found: user@ads[1].txt#1", "Cookie Found: user@ads[2].txt#1"}));

  fp.system.SetFolder(33, "");
  EXPECT_EQ(scanner.GetSpecialFolder(33), std::string(255, ' '));
  cookieFiles = 0;
  scanner.ScanCookies(cookieFiles);
  EXPECT_EQ(cookieFiles, 0);
}

}  // namespace
}  // namespace kx
