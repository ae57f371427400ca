#include "app/main_window/main_window_controls.h"
#include "app/main_window/main_window_views.h"
#include "report/scan_report.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "fakes/fake_files.h"
#include "platform/forms/headless.h"

namespace kx {
namespace {

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";
const std::string kLog = kData + "\\Scan_Log.txt";
const std::string kExclusions = kData + "\\ENoSignature.dat";
const std::string kQuarantineLog = kData + "\\quarantine\\QuarantineLog.txt";
const std::string kRule = "-----------------------";

// The file as lines, each ended by CR LF.
std::string Lines(std::initializer_list<std::string> lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

std::string Breaks(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "\r\n";
  return s;
}

// The part of every report down to "[Threats Detected]" and the two empty lines after it.
std::string Head(const std::string& title, const std::string& memory, const std::string& registry,
                 const std::string& files) {
  return Lines({"", "", "                   " + title + "   Scan Report.", "", "", "", kRule, "",
                " Scan Started at  : 3/16/2006 10:15:02 AM", "", " Scan Finished at : 3/16/2006 10:17:40 AM", "",
                kRule, "", "", "", "", "", "", "",
                " 1)Total Number of Cookies and Processes inspected: " + memory, "",
                " 2)Total Number of Registry entries inspected: " + registry, "",
                " 3)Total Number of Files/Folders inspected: " + files, "", "", "", "[Threats Detected]", "", ""});
}

// The main window, and what the scan left: its summary and results.
class MainStandIn : public MainWindowControls {
 public:
  explicit MainStandIn(ui::Backend& b) : MainWindowControls(b) {}
  void AddThreat(const std::string& threat, const std::string& location) {
    results.Add(ThreatEntry{threat, KIND_FILE, location, "File"});
  }
  ScanSummary summary{"3/16/2006 10:15:02 AM", "3/16/2006 10:17:40 AM", "57", "1200", "34"};
  ScanResults results;
};

struct ScanReportTest : ::testing::Test {
  fakes::FakeFileSystem files;
  ui::HeadlessBackend backend;
  MainStandIn main{backend};
  FrmReport window{backend, "Kestrix"};
  ScanReport report = Make(files, 1, 0);

  ScanReport Make(FileSystem& fs, int major, int minor) {
    return ScanReport({fs, "Kestrix", major, minor, kData, [this] { return main.summary; },
                       MainWindowViews::Of(main).report, main.results, window});
  }
  void SetUp() override { files.AddFolder(kData); }
  std::string Log() { return files.ReadFile(kLog).value_or("<no log>"); }
};

TEST_F(ScanReportTest, ThreatsWithTheirLocationsAndTotalBetweenHeadAndEnd) {
  ScanReport r = Make(files, 2, 10);  // plain numbers, nothing between the name and the "v"
  main.summary.registryInspected = "Not Selected";
  main.AddThreat("Cool Search Bar", "C:\\Program Files\\CoolBar\\bar.dll");
  main.AddThreat("Tracking Cookie", "user@ads.example");
  ASSERT_TRUE(r.MakeReport());
  EXPECT_EQ(Log(), Head("Kestrixv2.10", "57", "Not Selected", "34") +
                       Lines({"Cool Search Bar", "", "C:\\Program Files\\CoolBar\\bar.dll", "", "",  //
                              "Tracking Cookie", "", "user@ads.example", "", "",                    //
                              "Total = 2", "", "", "", "=====================End Of Report."}));
}

// In German the headings come from the language file; a heading it lacks stays English, and
// the rows (threats, locations, the total) are data that others read back, as they are.
TEST_F(ScanReportTest, HeadingsInTheUsersLanguageRowsUnchanged) {
  report.set_messages([](const char* key) -> std::string {
    const std::string k = key;
    if (k == "MSG_REPORT_TITLE") return "Pr\xC3\xBC" "fbericht.";
    if (k == "MSG_REPORT_STARTED") return "Pr\xC3\xBC" "fung begonnen um :";
    if (k == "MSG_REPORT_FINISHED") return "Pr\xC3\xBC" "fung beendet um  :";
    if (k == "MSG_REPORT_MEMORY") return "Gepr\xC3\xBC" "fte Cookies und Prozesse insgesamt:";
    if (k == "MSG_REPORT_REGISTRY") return "";
    if (k == "MSG_REPORT_FILES") return "Gepr\xC3\xBC" "fte Dateien/Ordner insgesamt:";
    return "unexpected key " + k;
  });
  main.AddThreat("Cool Search Bar", "C:\\Program Files\\CoolBar\\bar.dll");
  ASSERT_TRUE(report.MakeReport());
  EXPECT_EQ(Log(), Lines({"", "", "                   Kestrixv1.0   Pr\xC3\xBC" "fbericht.", "", "", "", kRule, "",
                          " Pr\xC3\xBC" "fung begonnen um : 3/16/2006 10:15:02 AM", "",
                          " Pr\xC3\xBC" "fung beendet um  : 3/16/2006 10:17:40 AM", "", kRule, "", "", "", "", "", "",
                          "", " 1)Gepr\xC3\xBC" "fte Cookies und Prozesse insgesamt: 57", "",
                          " 2)Total Number of Registry entries inspected: 1200", "",
                          " 3)Gepr\xC3\xBC" "fte Dateien/Ordner insgesamt: 34", "", "", "", "[Threats Detected]", "", ""}) +
                       Lines({"Cool Search Bar", "", "C:\\Program Files\\CoolBar\\bar.dll", "", "", "Total = 1", "",
                              "", "", "=====================End Of Report."}));
}

TEST_F(ScanReportTest, ExclusionAndQuarantineSectionsCopyTheirFiles) {
  // Only empty and single-blank lines are dropped from the exclusions; the quarantine log is
  // copied line for line, each line followed by an empty one.
  files.AddFile(kExclusions, "C:\\Bad\\a.exe\r\n\r\n \r\n   \r\nHKEY_CURRENT_USER\\Software\\X\r\n");
  files.AddFile(kQuarantineLog,
                "3/16/2006 9:01:00 AM - File: a.exe\r\n - Location: C:\\Bad\\a.exe\r\n\r\n\r\n"
                "3/16/2006 9:01:02 AM - Key: HKEY_CURRENT_USER\\Software\\X\r\nValue: All Values\r\n\r\n\r\n");
  ASSERT_TRUE(report.MakeReport());
  EXPECT_EQ(Log(), Head("Kestrixv1.0", "57", "1200", "34") +
                       Lines({"Total = 0", "",  //
                              "", "[Files Currently Excluded]", "", "C:\\Bad\\a.exe", "   ",
                              "HKEY_CURRENT_USER\\Software\\X", "", "",  //
                              "", "[Current Quarantine Log]", "",        //
                              "3/16/2006 9:01:00 AM - File: a.exe", "", " - Location: C:\\Bad\\a.exe", "", "", "", "",
                              "",  //
                              "3/16/2006 9:01:02 AM - Key: HKEY_CURRENT_USER\\Software\\X", "",
                              "Value: All Values", "", "", "", "", "",  //
                              "", "", "", "", "", "=====================End Of Report."}));
}

TEST_F(ScanReportTest, SectionsWithoutTextAreLeftOut) {
  const std::string bare = Head("Kestrixv1.0", "57", "1200", "34") +
                           Lines({"Total = 0", "", "", "", "=====================End Of Report."});
  // No files at all.
  ASSERT_TRUE(report.MakeReport());
  EXPECT_EQ(Log(), bare);
  // Files holding nothing that counts: an empty quarantine log, exclusions of empty lines.
  files.AddFile(kExclusions, "\r\n \r\n\r\n");
  files.AddFile(kQuarantineLog, "");
  ASSERT_TRUE(report.MakeReport());
  EXPECT_EQ(Log(), bare);
  // The program's presence rule: a hidden exclusion file counts as absent.
  files.AddFile(kExclusions, "C:\\Bad\\a.exe\r\n", FA_HIDDEN);
  ASSERT_TRUE(report.MakeReport());
  EXPECT_EQ(Log(), bare);
}

TEST_F(ScanReportTest, EachReportReplacesTheLastOne) {
  files.AddFile(kLog, std::string(100000, 'x'));
  main.AddThreat("First", "C:\\first.exe");
  main.AddThreat("Second", "C:\\second.exe");
  ASSERT_TRUE(report.MakeReport());
  main.results.Clear();
  main.AddThreat("Third", "C:\\third.exe");
  ASSERT_TRUE(report.MakeReport());
  EXPECT_EQ(Log(), Head("Kestrixv1.0", "57", "1200", "34") +
                       Lines({"Third", "", "C:\\third.exe", "", "", "Total = 1", "", "", "",
                              "=====================End Of Report."}));
}

// Writes part of a file and then fails, as a disk that fills up under a write does.
class HalfWritingFiles final : public FileSystem {
 public:
  explicit HalfWritingFiles(fakes::FakeFileSystem& f) : f_(f) {}
  std::vector<FileEntry> Find(const std::string& p) override { return f_.Find(p); }
  std::vector<std::string> ListPlainFiles(const std::string& p) override { return f_.ListPlainFiles(p); }
  std::optional<uint32_t> Attributes(const std::string& p) override { return f_.Attributes(p); }
  IoStatus SetAttributes(const std::string& p, uint32_t a) override { return f_.SetAttributes(p, a); }
  bool FolderExists(const std::string& p) override { return f_.FolderExists(p); }
  IoStatus CreateFolder(const std::string& p) override { return f_.CreateFolder(p); }
  IoStatus CopyFile(const std::string& a, const std::string& b, bool x) override { return f_.CopyFile(a, b, x); }
  IoStatus DeleteFile(const std::string& p) override { return f_.DeleteFile(p); }
  using FileSystem::MoveFile;
  IoStatus MoveFile(const std::string& a, const std::string& b, bool r) override { return f_.MoveFile(a, b, r); }
  IoStatus CopyFolder(const std::string& a, const std::string& b, bool o) override { return f_.CopyFolder(a, b, o); }
  IoStatus DeleteFolder(const std::string& p, bool force) override { return f_.DeleteFolder(p, force); }
  std::optional<std::string> ReadFile(const std::string& p) override { return f_.ReadFile(p); }
  IoStatus WriteFile(const std::string& p, const std::string& b) override {
    (void)f_.WriteFile(p, b.substr(0, b.size() / 2));  // half of it reaches the disk, as a full one leaves it
    return IoStatus{112};
  }
  IoStatus AppendFile(const std::string& p, const std::string& b) override { return f_.AppendFile(p, b); }

 private:
  fakes::FakeFileSystem& f_;
};

TEST_F(ScanReportTest, AFailedWriteLeavesNoLogBehind) {
  // Cut off half way: neither the half nor the old log stays.
  files.AddFile(kLog, "old report");
  HalfWritingFiles half(files);
  EXPECT_FALSE(Make(half, 1, 0).MakeReport());
  EXPECT_FALSE(files.Exists(kLog));

  // Refused outright (a full disk).
  files.AddFile(kLog, "old report");
  files.writeFailure = 112;
  EXPECT_FALSE(report.MakeReport());
  EXPECT_FALSE(files.Exists(kLog));
  files.writeFailure = 0;

  // A read-only log can be neither deleted nor written: it is left as it was.
  files.AddFile(kLog, "old report", FA_READONLY);
  EXPECT_FALSE(report.MakeReport());
  EXPECT_EQ(Log(), "old report");
}

// ---------------------------------------------------------------- the report window

TEST(FrmReportText, BlankLinesBreakAndOtherLinesJoin) {
  EXPECT_EQ(FrmReport::TextOfLog(""), "");
  EXPECT_EQ(FrmReport::TextOfLog("a\r\nb\r\n\r\nc"), "ab\r\nc");
  // Blanks alone count as empty; blanks around text are kept. A lone CR ends a line too.
  EXPECT_EQ(FrmReport::TextOfLog("  x \r\n   \r\ny\ry2\r\n\r\n\r\n"), "  x \r\nyy2\r\n\r\n");
}

TEST_F(ScanReportTest, ShowReportDisablesTheLabelWhileTheWindowShowsTheLog) {
  main.AddThreat("Cool Search Bar", "C:\\cool.dll");
  files.AddFile(kExclusions, "C:\\one.exe\r\nC:\\two.exe\r\n");
  files.AddFile(kQuarantineLog, "3/16/2006 9:01:00 AM - File: q.exe\r\n - Location: C:\\q.exe\r\n\r\n\r\n");
  ASSERT_TRUE(report.MakeReport());

  ui::Control& label = main.Get("lblViewLogFile");
  std::string shown;
  bool labelEnabledWhileOpen = true;
  backend.onRunModal = [&](ui::Form& f) {
    ASSERT_EQ(&f, &window);
    shown = f.Get("txtReport").caption();
    labelEnabledWhileOpen = label.enabled();
    f.Get("cmdOk").Click();
  };
  report.ShowReport();
  EXPECT_EQ(backend.modal_forms(), std::vector<std::string>{"frmReport"});
  EXPECT_FALSE(labelEnabledWhileOpen);
  EXPECT_TRUE(label.enabled());
  EXPECT_FALSE(window.loaded());
  EXPECT_EQ(window.caption(), "Kestrix Log");
  // Each threat, location and quarantine line on a line of its own; the excluded paths,
  // one line each in the file, run together.
  EXPECT_EQ(shown,
            std::string("\r\n\r\n                   Kestrixv1.0   Scan Report.\r\n\r\n\r\n-----------------------\r\n"
                        " Scan Started at  : 3/16/2006 10:15:02 AM\r\n Scan Finished at : 3/16/2006 10:17:40 AM\r\n"
                        "-----------------------") +
                Breaks(7) +
            " 1)Total Number of Cookies and Processes inspected: 57\r\n"
            " 2)Total Number of Registry entries inspected: 1200\r\n"
            " 3)Total Number of Files/Folders inspected: 34\r\n\r\n\r\n"
            "[Threats Detected]\r\n\r\nCool Search Bar\r\nC:\\cool.dll\r\n\r\nTotal = 1\r\n"
            "\r\n[Files Currently Excluded]\r\nC:\\one.exeC:\\two.exe\r\n\r\n"
            "\r\n[Current Quarantine Log]\r\n3/16/2006 9:01:00 AM - File: q.exe\r\n - Location: C:\\q.exe" +
                Breaks(10) + "=====================End Of Report.");

  // Opened again after the log is gone: it reads anew and shows nothing.
  ASSERT_TRUE(files.DeleteFile(kLog));
  report.ShowReport();
  EXPECT_EQ(shown, "");
  EXPECT_TRUE(label.enabled());

  // Closed by its window frame rather than OK: the label comes back all the same.
  backend.onRunModal = [&](ui::Form& f) { f.BackendClosed(); };
  report.ShowReport();
  EXPECT_TRUE(label.enabled());
  EXPECT_FALSE(window.loaded());
}

}  // namespace
}  // namespace kx
