// The anonymous data submission wired into the real main window, against a scripted server.
#include <gtest/gtest.h>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "definitions/codec.h"
#include "fakes/fake_platform.h"
#include "platform/forms/headless.h"

namespace kx {
namespace {

constexpr const char* kUser = "Software\\Kestrix Labs\\Kestrix\\";
constexpr const char* kMachine = "SOFTWARE\\Kestrix Labs\\Kestrix\\";

struct SubmissionApp : ::testing::Test {
  fakes::FakePlatform fake;
  Platform platform = fake.platform();
  ui::HeadlessBackend ui;
  std::unique_ptr<App> app;

  void SetUp() override {
    fake.registry.PutString(Hive::CurrentUser, std::string(kUser) + "Settings", "Language", "English");
    fake.registry.PutString(Hive::CurrentUser, std::string(kUser) + "Settings", "showHelp", "0");
    fake.registry.PutString(Hive::LocalMachine, std::string(kMachine) + "Settings", "FirstTime", "Yes");
    fake.registry.PutString(Hive::LocalMachine, std::string(kMachine) + "Servers", "Data", "http://data.test:81/");
    fake.files.AddFolder(fake.system.SpecialFolder(26) + "\\DideZuvurudARA");
    app = std::make_unique<App>(platform, ui, AppInfo{});
    app->Start();
    ui.Advance(400);
  }
  ui::Control& C(const char* name) { return app->main().Get(name); }
  std::string Stored(const char* key) {
    auto v = fake.registry.Get(Hive::CurrentUser, std::string(kUser) + "OptionAndSettings", key);
    return v ? v->AsString().value_or("?") : "<none>";
  }
  // The data the server would read: the query value with its percent-escapes undone.
  static std::string Decoded(const std::string& url) {
    const std::string marker = "/asp/getData.asp?data=";
    size_t at = url.find(marker);
    if (at == std::string::npos) return "<no data request>";
    std::string out;
    for (size_t i = at + marker.size(); i < url.size(); ++i) {
      if (url[i] == '%' && i + 2 < url.size()) {
        out += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        out += url[i];
      }
    }
    return out;
  }
};

TEST_F(SubmissionApp, ASubmittedNameReachesTheDataServerEncodedAndTheLabelTellsTheOutcome) {
  const std::string name = "C:\\Program Files\\Odd & Co\\t\xE9st.exe";
  const std::string expected = EncodeDefinitionLine(name) + "|";
  auto url = [&] { return fake.web.requests.empty() ? std::string() : fake.web.requests.back(); };

  // No server answers first; then the same address answers.
  C("txtFilename").TypeText(name);
  C("cmdSubmit").Click();
  ASSERT_EQ(fake.web.requests.size(), 1u);
  EXPECT_EQ(url().rfind("http://data.test:81/asp/getData.asp?data=", 0), 0u) << url();
  EXPECT_EQ(Decoded(url()), expected);
  for (char c : url().substr(std::string("http://data.test:81/asp/getData.asp?data=").size()))
    EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80 && c != ' ' && c != '&' && c != '#') << url();
  EXPECT_EQ(C("Label26").caption(),
            "Results: There was a problem submitting " + name + ".  Please make sure you are connected to the internet, or try again later.");
  EXPECT_EQ(C("txtFilename").caption(), "");

  fake.web.Serve(url(), "<html>skipped</html>");  // looked at without regard to case
  C("txtFilename").TypeText(name);
  C("txtFilename").PressKey(13);  // Enter submits too
  EXPECT_EQ(fake.web.requests.size(), 2u);
  // The message table capitalises every message's first letter.
  EXPECT_EQ(C("Label26").caption(), "Results: " + name + " Submitted.  Thank you!");

  // An empty box still sends its bar, and an error page is a problem.
  const std::string emptyUrl = "http://data.test:81/asp/getData.asp?data=%7C";
  fake.web.Serve(emptyUrl, "<html>500 Internal Server Error</html>", 500);
  C("cmdSubmit").Click();
  EXPECT_EQ(url(), emptyUrl);
  EXPECT_EQ(C("Label26").caption(),
            "Results: There was a problem submitting .  Please make sure you are connected to the internet, or try again later.");
}

TEST_F(SubmissionApp, ClearingSendDataAsksAndOnlyYesTurnsItOff) {
  ASSERT_EQ(C("chkSendData").value(), 1);
  ui.ExpectMsgBox(ui::MsgResult::No);
  C("chkSendData").Click();
  ASSERT_EQ(ui.msgboxes().size(), 1u);
  EXPECT_EQ(ui.msgboxes()[0].title, "Really turn off anonymous data collection?");
  EXPECT_EQ(ui.msgboxes()[0].text.find("By sending anonymous data"), 0u);
  EXPECT_NE(ui.msgboxes()[0].text.find("\r\n\r\nDo you really want to turn off anonymous data collection?"), std::string::npos);
  EXPECT_EQ(C("chkSendData").value(), 1);
  EXPECT_EQ(Stored("chkSendData"), "1");

  ui.ExpectMsgBox(ui::MsgResult::Yes);
  C("chkSendData").Click();
  EXPECT_EQ(C("chkSendData").value(), 0);
  EXPECT_EQ(Stored("chkSendData"), "0");
  // Now nothing goes out when the Results panel opens on an empty list.
  C("cmdResults").Click();
  EXPECT_TRUE(fake.web.requests.empty());

  C("chkSendData").Click();  // ticking asks nothing
  EXPECT_EQ(ui.msgboxes().size(), 2u);
  EXPECT_EQ(Stored("chkSendData"), "1");
}

TEST_F(SubmissionApp, ALongRunningProgramListGoesInRequestsTheServerTakes) {
  // Over 9 KB of names once escaped, and one name no request can hold.
  std::vector<std::string> sent;
  for (uint32_t i = 0; i < 120; ++i) {
    const std::string name = "Program number " + std::to_string(i) + " of a long list.exe";
    fake.processes.Add("C:\\Apps\\" + name, 1000 + i);
    sent.push_back(EncodeDefinitionLine(name));
    if (i == 60) fake.processes.Add("C:\\Apps\\" + std::string(3000, 'x') + ".exe", 1000 + 500);
  }
  C("cmdResults").Click();

  ASSERT_GE(fake.web.requests.size(), 3u);
  std::vector<std::string> arrived;
  for (const std::string& url : fake.web.requests) {
    const std::string query = url.substr(url.find('?') + 1);
    EXPECT_LE(query.size(), 8192u);
    const std::string data = Decoded(url);
    EXPECT_LE(data.size(), 4096u);
    EXPECT_FALSE(data.empty());
    for (size_t start = 0;;) {
      const size_t bar = data.find('|', start);
      arrived.push_back(data.substr(start, bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
  }
  std::erase(arrived, EncodeDefinitionLine("Kestrix.exe"));  // the program itself runs too
  ASSERT_EQ(arrived.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) ASSERT_EQ(arrived[i], sent[i]) << "name " << i;
}

}  // namespace
}  // namespace kx
