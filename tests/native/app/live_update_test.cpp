// Live Update through the real main window against a scripted definitions server, with
// packages signed by the build's own development key.
#include <gtest/gtest.h>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/wiring/update_wiring.h"
#include "definitions/codec.h"
#include "fakes/fake_platform.h"
#include "fakes/package_signing.h"
#include "platform/forms/headless.h"

namespace kx {
namespace {

constexpr const char* kUser = "Software\\Kestrix Labs\\Kestrix\\";
constexpr const char* kMachine = "SOFTWARE\\Kestrix Labs\\Kestrix\\";
const std::string kServer = "http://defs.test:8021";
const std::string kCurrent = kServer + "/asp/currentDateNEW.asp?prog=Kestrix&comp=Kestrix%20Labs";
const std::string kRecord = kServer + "/asp/date.asp";
std::string PackageUrl(const std::string& escapedDate) {
  return kServer + "/asp/getDefsNEW.asp?prog=Kestrix&comp=Kestrix%20Labs&date=" + escapedDate;
}
const std::string kFromDefault = PackageUrl("3%2F16%2F2006");

// A scan and a removal that say they are running, or not.
struct ScanSaysBusy : ScanFeature {
  bool busy = false;
  int starts = 0;
  bool Busy() const override { return busy; }
  void StartScan() override { ++starts; }
};
struct RemovalSaysBusy : RemovalFeature {
  bool busy = false;
  bool Busy() const override { return busy; }
};

struct LiveUpdateApp : ::testing::Test {
  fakes::FakePlatform fake;
  Platform platform = fake.platform();
  ui::HeadlessBackend ui;
  std::string data = fake.system.SpecialFolder(26) + "\\DideZuvurudARA";
  ScanSaysBusy scan;
  RemovalSaysBusy removal;
  std::unique_ptr<App> app;

  void SetUp() override {
    fake.registry.PutString(Hive::CurrentUser, std::string(kUser) + "Settings", "Language", "English");
    fake.registry.PutString(Hive::CurrentUser, std::string(kUser) + "Settings", "showHelp", "0");
    fake.registry.PutString(Hive::CurrentUser, std::string(kUser) + "Settings", "DiagnosticsLog", "1");
    fake.registry.PutString(Hive::LocalMachine, std::string(kMachine) + "Settings", "FirstTime", "Yes");
    fake.registry.PutString(Hive::LocalMachine, std::string(kMachine) + "Servers", "Definitions", kServer);
    fake.files.AddFolder(data);
    fake.files.AddFile(data + "\\FileDefinition.dat", EncodeDefinitionLine("old.dll=Old|[system]|Adware") + "\r\n");
    Subsystems given;
    given.scan = &scan;
    given.removal = &removal;
    app = std::make_unique<App>(platform, ui, AppInfo{}, given);
    app->Start();
    ui.Advance(400);
  }
  FrmMain& main() { return app->main(); }
  std::string File(const std::string& name) { return fake.files.ReadFile(data + "\\" + name).value_or("<none>"); }
  std::string Notice() { return app->signatureUpdated().Get("lblUpdateInfo").caption(); }
  std::string Stored(const char* key) {
    auto v = fake.registry.Get(Hive::CurrentUser, std::string(kUser) + "OptionAndSettings", key);
    return v ? v->AsString().value_or("?") : "<none>";
  }
  // A package record: the kind encoded, the body encoded but for its plain "|" and "=".
  static std::string Record(const std::string& kind, const std::string& op, const std::string& body) {
    std::string encoded = EncodeDefinitionLine(body);
    for (size_t i = 0; i < body.size(); ++i)
      if (body[i] == '|' || body[i] == '=') encoded[i] = body[i];
    return EncodeDefinitionLine(kind) + "|" + op + "[DEF]" + encoded;
  }
};

TEST_F(LiveUpdateApp, AFirstUpdateFromTheDefaultDateMergesTheSignedPackageAndRecordsTheDate) {
  const std::string asof = "12/9/2026 4:47:03 PM";
  // Trailing bytes after the PM are cut off before the date is read.
  fake.web.Serve(kCurrent, "  " + asof + "\r\n<!-- served -->");
  const std::string body = Record("EXE", "ADD", "bad.exe=Bad|[windir]") + "[BR]" +
                           Record("DEL", "DEL", "x") + "[BR]" + Record("FILE", "DEL", "old.dll=Old");
  fake.web.Serve(kFromDefault, testsign::DevKey().Package("3/16/2006", asof, body));
  fake.web.Serve(kRecord, asof);

  main().Get("cmdUpdate").Click();

  EXPECT_EQ(fake.web.requests, (std::vector<std::string>{kCurrent, kFromDefault, kRecord}));
  EXPECT_EQ(File("FileDefinition.dat"), EncodeDefinitionLine("bad.exe=Bad|[windir]") + "\r\n");
  EXPECT_EQ(File("ExeDefinition.dat"), EncodeDefinitionLine("bad.exe=Bad|[windir]") + "\r\n");
  EXPECT_EQ(File("date.dat"), asof + "\r\n");
  EXPECT_EQ(main().Get("lblDefVersion").caption(), asof + " PST");
  EXPECT_EQ(Notice(), "Your Kestrix definitions have been updated!");
  EXPECT_EQ(Stored("SHOW"), "True");
  EXPECT_EQ(Stored("RESTART"), "True");
  EXPECT_FALSE(app->download().loaded());
  EXPECT_TRUE(main().Get("cmdLiveUpdate").enabled());

  // The next update asks from the recorded date; the server has nothing newer.
  fake.web.requests.clear();
  main().Get("cmdLiveUpdate").Click();
  EXPECT_EQ(fake.web.requests, std::vector<std::string>{kCurrent});
  EXPECT_EQ(Notice(), "You are using the most recent Kestrix definitions.");

  // A user whose data folder is gone gets a whole set from the default date.
  ASSERT_TRUE(fake.files.DeleteFolder(data, true));
  main().Get("cmdLiveUpdate").Click();
  EXPECT_EQ(Notice(), "Your Kestrix definitions have been updated!");
  EXPECT_EQ(File("ExeDefinition.dat"), EncodeDefinitionLine("bad.exe=Bad|[windir]") + "\r\n");
  EXPECT_EQ(File("date.dat"), asof + "\r\n");
}

TEST_F(LiveUpdateApp, RefusedOrMissingAnswersChangeNothingAndSayTheUpdateFailed) {
  const std::string before = File("FileDefinition.dat");
  const std::string asof = "12/9/2026 4:47:03 PM";
  const std::string body = Record("FILE", "ADD", "evil.dll=X|[system]") + "[BR]" + Record("FILE", "DEL", "old.dll=Old");
  const std::string good = testsign::DevKey().Package("3/16/2006", asof, body);
  std::string flipped = good;
  flipped[5] ^= 1;
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"another key", testsign::OtherKey().Package("3/16/2006", asof, body)},
      {"a changed byte", flipped},
      {"cut short", good.substr(0, good.size() - 40)},
      {"no signature", body},
      {"another date asked", testsign::DevKey().Package("1/1/2020", asof, body)},
      {"not newer than what is here (a replay)", testsign::DevKey().Package("3/16/2006", "3/16/2006", body)},
  };
  fake.web.Serve(kCurrent, asof);
  fake.web.Serve(kRecord, asof);
  for (const auto& [what, package] : refused) {
    fake.web.Serve(kFromDefault, package);
    main().Get("cmdUpdate").Click();
    EXPECT_EQ(File("FileDefinition.dat"), before) << what;
    EXPECT_EQ(File("date.dat"), "<none>") << what;
    EXPECT_EQ(Notice(), "Kestrix could not update its definitions. Please check your internet connection and try again later.") << what;
  }
  // No server at all, and a server that answers with an error page.
  fake.web.Fail(kCurrent);
  main().Get("cmdUpdate").Click();
  EXPECT_EQ(Notice(), "Kestrix could not update its definitions. Please check your internet connection and try again later.");
  fake.web.Serve(kCurrent, "<html>Service Unavailable</html>", 503);
  main().Get("cmdUpdate").Click();
  EXPECT_EQ(Notice(), "Kestrix could not update its definitions. Please check your internet connection and try again later.");
  EXPECT_EQ(File("FileDefinition.dat"), before);
}

TEST_F(LiveUpdateApp, WithoutADateOfRecordTheServersCurrentDateIsKept) {
  fake.files.AddFile(data + "\\date.dat", "1/2/2026 3:04:05 PM\r\n");
  const std::string asof = "2/3/2026 8:00:00 AM";
  fake.web.Serve(kCurrent, asof);
  fake.web.Serve(PackageUrl("1%2F2%2F2026%203%3A04%3A05%20PM"),
                 testsign::DevKey().Package("1/2/2026 3:04:05 PM", asof, Record("COOK", "ADD", "ads.test=Ads")));
  fake.web.Fail(kRecord);
  main().Get("cmdUpdate").Click();
  EXPECT_EQ(File("BlockedCookies.dat"), EncodeDefinitionLine("ads.test") + "\r\n");
  EXPECT_EQ(File("date.dat"), asof + "\r\n");
}

TEST_F(LiveUpdateApp, TheStatusPanelWarnsAfterAWeekWithoutASignedCurrentDate) {
  constexpr int64_t kDay = 24 * 60 * 60;
  const std::string warning =
      "Your definitions could not be confirmed as current: Live Update has not reached the server for 7 days.";
  ui::Control& label = main().Get("lblDefUnconfirmed");
  auto shows = [&] {
    main().ShowStatusPanelValues();
    EXPECT_EQ(label.visible(), !label.caption().empty());
    return label.visible() && label.caption() == warning;
  };
  auto later = [&](int64_t seconds) { fake.clock.now = DateTime::FromSerialSeconds(fake.clock.now.SerialSeconds() + seconds); };
  // Signed `ahead` of now in UTC.
  auto update = [&](const std::string& answer) {
    fake.web.Serve(kCurrent, answer);
    main().Get("cmdUpdate").Click();
    EXPECT_EQ(Notice(), "You are using the most recent Kestrix definitions.");
  };
  auto signedAt = [&](int64_t ahead) {
    return testsign::DevKey().DateAnswer("3/16/2006 12:00:00 AM", std::to_string(fake.clock.UnixSeconds() + ahead));
  };
  // Nothing confirmed yet: the week counts from the start-up's first check.
  EXPECT_FALSE(shows());
  later(7 * kDay - 1);
  EXPECT_FALSE(shows());
  later(1);
  EXPECT_TRUE(shows());

  // A signed answer clears it at once, even one issued 20 hours ahead of UTC, which is more
  // than a day ahead of the local time read as UTC, ten hours behind here.
  fake.clock.utcOffsetSeconds = -10 * 60 * 60;
  update(signedAt(20 * 60 * 60));
  EXPECT_FALSE(label.visible());
  EXPECT_EQ(Stored("DateConfirmed"), std::to_string(fake.clock.UnixSeconds() + 20 * 60 * 60));
  later(7 * kDay + 20 * 60 * 60 - 1);
  EXPECT_FALSE(shows());
  later(1);
  EXPECT_TRUE(shows());

  // None of these is a confirmation: an old server's plain date, another key's, one issued
  // more than a day ahead, a replay of an older answer, a date changed after signing.
  const std::string replay = signedAt(-8 * kDay);
  std::string changed = signedAt(0);
  changed.replace(0, 9, "3/17/2006");
  for (const std::string& answer : {std::string("3/16/2006 12:00:00 AM"),
                                    testsign::OtherKey().DateAnswer("3/16/2006 12:00:00 AM",
                                                                    std::to_string(fake.clock.UnixSeconds())),
                                    signedAt(kDay + 60), replay}) {
    update(answer);
    EXPECT_TRUE(label.visible()) << answer;
  }
  fake.web.Serve(kCurrent, changed);
  main().Get("cmdUpdate").Click();
  EXPECT_TRUE(label.visible());
  const std::string log = File("Diagnostics.log");
  EXPECT_NE(log.find("not signed"), std::string::npos) << log;
  EXPECT_NE(log.find(testsign::OtherKey().KeyId()), std::string::npos) << log;

  // The next good answer clears it.
  update(signedAt(0));
  EXPECT_FALSE(label.visible());
}

TEST_F(LiveUpdateApp, NeverDuringAScanAndTheAutomaticUpdateRunsOnceAfterFiveIdleMinutes) {
  fake.web.Serve(kCurrent, "3/16/2006");  // nothing newer
  scan.busy = true;
  main().Get("cmdUpdate").Click();
  main().Get("mnuFileItem", 4).Click();
  EXPECT_TRUE(fake.web.requests.empty());
  scan.busy = false;

  UpdateFeature& update = *app->subsystems().update;
  main().Get("timUpdate").set_enabled(true);
  main().Get("cmdScanNow").set_enabled(false);  // a scan runs: those seconds do not count
  for (int i = 0; i < 50; ++i) update.AutoUpdateTick();
  main().Get("cmdScanNow").set_enabled(true);
  for (int i = 0; i < 300; ++i) update.AutoUpdateTick();
  EXPECT_TRUE(fake.web.requests.empty());
  removal.busy = true;      // the 301st counted second falls during a removal
  update.AutoUpdateTick();
  EXPECT_TRUE(fake.web.requests.empty());
  EXPECT_TRUE(main().Get("timUpdate").enabled());
  removal.busy = false;
  update.AutoUpdateTick();  // and the update runs at the next one
  EXPECT_EQ(fake.web.requests.size(), 1u);
  EXPECT_FALSE(main().Get("timUpdate").enabled());
}

TEST_F(LiveUpdateApp, AFileThatCannotBeReplacedFailsTheWholeUpdateAndKeepsTheDate) {
  fake.files.AddFile(data + "\\date.dat", "1/2/2026 3:04:05 PM\r\n");
  fake.files.AddFile(data + "\\ExeDefinition.dat", EncodeDefinitionLine("e.exe=E|[windir]") + "\r\n");
  const std::string fileBefore = File("FileDefinition.dat"), exeBefore = File("ExeDefinition.dat");
  const std::string asof = "2/3/2026 8:00:00 AM";
  fake.web.Serve(kCurrent, asof);
  fake.web.Serve(PackageUrl("1%2F2%2F2026%203%3A04%3A05%20PM"),
                 testsign::DevKey().Package("1/2/2026 3:04:05 PM", asof,
                                            Record("EXE", "ADD", "n.exe=N|[windir]") + "[BR]" + Record("COOK", "ADD", "c.test")));
  fake.web.Serve(kRecord, asof);
  fake.files.SetInUse(data + "\\ExeDefinition.dat");  // another program holds it
  main().Get("cmdUpdate").Click();
  EXPECT_EQ(Notice(), "Kestrix could not update its definitions. Please check your internet connection and try again later.");
  EXPECT_EQ(File("FileDefinition.dat"), fileBefore);
  EXPECT_EQ(File("ExeDefinition.dat"), exeBefore);
  EXPECT_EQ(File("BlockedCookies.dat"), "<none>");
  EXPECT_EQ(File("date.dat"), "1/2/2026 3:04:05 PM\r\n");
  const std::string log = File("Diagnostics.log");
  EXPECT_NE(log.find("ExeDefinition.dat could not be replaced (error 5)"), std::string::npos) << log;

  // Once the file is free, the same update goes through whole.
  fake.files.SetInUse(data + "\\ExeDefinition.dat", false);
  main().Get("cmdUpdate").Click();
  EXPECT_EQ(Notice(), "Your Kestrix definitions have been updated!");
  EXPECT_EQ(File("ExeDefinition.dat"), exeBefore + EncodeDefinitionLine("n.exe=N|[windir]") + "\r\n");
  EXPECT_EQ(File("BlockedCookies.dat"), EncodeDefinitionLine("c.test") + "\r\n");
  EXPECT_EQ(File("date.dat"), asof + "\r\n");
}

TEST_F(LiveUpdateApp, TheUnsignedDateOfRecordIsKeptBetweenTheLocalAndTheSignedDates) {
  const std::string local = "1/2/2026 3:04:05 PM", asof = "2/3/2026 8:00:00 AM";
  const std::vector<std::pair<std::string, std::string>> answers = {
      {"1/15/2026 10:00:00 AM", "1/15/2026 10:00:00 AM"},  // in between: taken
      {"2/3/2026 8:00:00 AM", asof},
      {"1/1/2000", asof},                                    // backwards: would apply everything again
      {local, asof},                                         // not later than what is here
      {"12/31/2030 11:59:59 PM", asof},                      // later than the package covers
      {"not a date", asof},
  };
  for (const auto& [answer, stored] : answers) {
    SCOPED_TRACE(answer);
    fake.files.AddFile(data + "\\date.dat", local + "\r\n");
    fake.web.Serve(kCurrent, asof);
    fake.web.Serve(PackageUrl("1%2F2%2F2026%203%3A04%3A05%20PM"),
                   testsign::DevKey().Package(local, asof, Record("COOK", "ADD", "x.test")));
    fake.web.Serve(kRecord, answer);
    main().Get("cmdUpdate").Click();
    EXPECT_EQ(File("date.dat"), stored + "\r\n");
  }
}

TEST_F(LiveUpdateApp, NoScanStartsWhileItRunsAndEveryWayOutGivesTheWindowBack) {
  const std::string asof = "12/9/2026 4:47:03 PM";
  fake.web.Serve(kCurrent, asof);
  fake.web.Serve(kFromDefault, testsign::DevKey().Package("3/16/2006", asof, Record("COOK", "ADD", "x.test")));
  fake.web.Serve(kRecord, asof);
  const bool shieldBefore = main().Get("tmrCheckHomePage").enabled();
  ASSERT_TRUE(main().Get("cmdScanNow").enabled());

  // While the update turns the message loop, Start and the side bar start nothing.
  int turns = 0;
  bool scanNowSeenEnabled = false;
  ui.onDoEvents = [&] {
    ++turns;
    scanNowSeenEnabled = scanNowSeenEnabled || main().Get("cmdScanNow").enabled();
    main().Get("cmdScanNow").Click();
    main().Get("lblStart").Click();
  };
  main().Get("cmdUpdate").Click();
  EXPECT_GT(turns, 0);
  EXPECT_FALSE(scanNowSeenEnabled);
  EXPECT_EQ(scan.starts, 0);
  EXPECT_EQ(Notice(), "Your Kestrix definitions have been updated!");
  EXPECT_TRUE(main().Get("cmdScanNow").enabled());

  // An exception out of the update: reported as a failure, and nothing stays held.
  ASSERT_TRUE(fake.files.DeleteFile(data + "\\date.dat").ok());
  ui.onDoEvents = [] { throw std::runtime_error("out of memory"); };
  main().Get("cmdUpdate").Click();
  ui.onDoEvents = nullptr;
  EXPECT_EQ(Notice(), "Kestrix could not update its definitions. Please check your internet connection and try again later.");
  EXPECT_TRUE(main().Get("cmdLiveUpdate").enabled());
  EXPECT_TRUE(main().Get("cmdScanNow").enabled());
  EXPECT_EQ(main().Get("tmrCheckHomePage").enabled(), shieldBefore);
  EXPECT_FALSE(app->download().loaded());
  EXPECT_FALSE(app->subsystems().update->Busy());
  fake.web.requests.clear();
  main().Get("cmdLiveUpdate").Click();  // and the next update runs
  EXPECT_EQ(fake.web.requests.size(), 3u);
}

TEST_F(LiveUpdateApp, ShiftShowsTheDefinitionAddressesFirst) {
  fake.web.Serve(kCurrent, "3/16/2006");
  ui.shiftDown = true;
  ui.ExpectMsgBox(ui::MsgResult::Ok);
  main().Get("cmdUpdate").Click();
  ASSERT_EQ(ui.msgboxes().size(), 1u);
  const std::string base = "http://www.kestrix.example/definitions/";
  EXPECT_EQ(ui.msgboxes()[0].text,
            base + "version/R.HTM\r\n" + base + "version/F.HTM\r\n" + base + "version/E.HTM\r\n" + base +
                "version/C.HTM\r\n" + base + "data/BlockedCookies.dat\r\n" + base + "data/RegistryDefinition.dat\r\n" +
                base + "data/FileDefinition.dat\r\n" + base + "data/ExeDefinition.dat\r\n");
  EXPECT_EQ(fake.web.requests.size(), 1u);  // and the update ran as usual
}

}  // namespace
}  // namespace kx
