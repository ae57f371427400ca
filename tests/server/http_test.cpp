// The server over real loopback connections: the client's requests as old clients send
// them, the answers to malformed ones, submissions, and many idle connections.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "http_server.h"
#include "package.h"
#include "routes.h"
#include "store.h"
#include "support.h"

namespace kxs {
namespace {

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir("http");
    std::filesystem::create_directories(dir_ / "lang");
    std::filesystem::create_directories(dir_ / "web" / "sub" / ".git");
    store_ = std::make_unique<SqliteStore>((dir_ / "k.db").string(), 5);
    submissions_ = std::make_unique<SqliteSubmissions>((dir_ / "s.db").string(), 1 << 20);
    signer_ = std::make_unique<Signer>(test::TestKeyPath());
    local_ = std::make_unique<LocalSigner>(*store_, *signer_, (dir_ / "lang").string());
    front_ = std::make_unique<FrontCache>(*store_, *local_);
    routes_ = std::make_unique<Routes>(*submissions_, *front_, (dir_ / "web").string());
    HttpOptions opt;
    opt.port = 0;
    opt.threads = 4;
    opt.per_address_connection_limit = 2000;  // the idle-connections case comes from one address
    server_ = std::make_unique<HttpServer>(opt, [this](const HttpRequest& r) { return routes_->Handle(r); });
    server_->Start();
    port_ = server_->port();
  }
  void TearDown() override { server_->Stop(); }
  test::Reply Get(const std::string& target) { return test::Get(port_, target); }
  // The date of a signed date answer, as a client's cut after "AM"/"PM" reads it.
  static std::string Date(const test::Reply& r) { return r.body.substr(0, r.body.find(" KXDATE|")); }
  std::string Asked(const std::string& package) {
    const size_t at = package.find("KXSIG|") + 6;
    return package.substr(at, package.find('|', at) - at);
  }

  std::filesystem::path dir_;
  std::unique_ptr<SqliteStore> store_;
  std::unique_ptr<SqliteSubmissions> submissions_;
  std::unique_ptr<Signer> signer_;
  std::unique_ptr<LocalSigner> local_;
  std::unique_ptr<FrontCache> front_;
  std::unique_ptr<Routes> routes_;
  std::unique_ptr<HttpServer> server_;
  int port_ = 0;
};

TEST_F(HttpTest, DateRequestsBeforeAndAfterTheFirstPublish) {
  const std::string q = "?prog=Kestrix&comp=Kestrix%20Software";
  EXPECT_EQ(Date(Get("/asp/currentDateNEW.asp" + q)), "3/16/2006 12:00:00 AM");
  EXPECT_EQ(Date(Get("/asp/date.asp")), "3/16/2006 12:00:00 AM");
  store_->Publish({{"FILE", "x.dll=X|[system]"}}, *ParseDate("7/4/2026 1:02:03 PM"));
  EXPECT_EQ(Date(Get("/asp/currentDateNEW.asp" + q)), "7/4/2026 1:02:03 PM");
  EXPECT_EQ(Date(Get("/asp/date.asp")), "7/4/2026 1:02:03 PM");
  const auto pkg = Get("/asp/getDefsNEW.asp" + q + "&date=3/16/2006");
  EXPECT_EQ(pkg.status, 200);
  EXPECT_EQ(pkg.body.substr(0, pkg.body.find("[BR]")), EncodeLine("FILE") + "|ADD[DEF]" + EncodeBody("x.dll=X|[system]"));
  EXPECT_EQ(Get("/asp/nothing.asp").status, 404);
  EXPECT_EQ(Get("/definitions/version/X.HTM").status, 404);
}

TEST_F(HttpTest, QueryValuesDecodedOrTakenRaw) {
  const std::string q = "/asp/getDefsNEW.asp?prog=Kestrix&comp=Kestrix%20Software&date=";
  // Unescaped blanks, as the client inserts the date, and the escaped form: the same date,
  // echoed in the server's own text of it.
  auto raw = Get(q + "3/16/2006 1:00:00 PM");
  ASSERT_EQ(raw.status, 200) << raw.body;
  EXPECT_EQ(Asked(raw.body), "3/16/2006 1:00:00 PM");
  EXPECT_EQ(Asked(Get(q + "3/16/2006%201:00:00%20PM").body), "3/16/2006 1:00:00 PM");
  // "+" is a plus sign, not a blank: this date does not parse.
  EXPECT_EQ(Get(q + "3/16/2006+1:00:00+PM").status, 400);

  // Submissions: encoded bytes >= 0x80 raw or escaped are the same data.
  const std::string name = EncodeLine("spy.exe") + "|";
  std::string escaped;
  for (unsigned char c : name) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", c);
    escaped += buf;
  }
  EXPECT_EQ(Get("/asp/getData.asp?data=" + name).body, "Added");
  EXPECT_EQ(Get("/asp/getData.asp?data=" + escaped).body, "Skipped");
  const auto when = submissions_->Received(name);
  ASSERT_TRUE(when);
  EXPECT_LE(std::llabs(*when - NowLocal()), 5);
  EXPECT_EQ(Get("/asp/getData.asp?data=" + EncodeLine("other.exe") + "|").body, "Added");
}

TEST_F(HttpTest, MalformedAndOversizedRequestsAreRefused) {
  const std::string defs = "/asp/getDefsNEW.asp?prog=Kestrix&comp=K&date=";
  struct Case {
    std::string target;
    int status;
  };
  const std::vector<Case> cases{
      {"/asp/getData.asp?data=%zz", 400},
      {"/asp/getData.asp?data=abc%4", 400},
      {"/asp/getData.asp?other=1", 400},
      {"/asp/getDefsNEW.asp?prog=Kestrix&comp=K", 400},
      {"/asp/currentDateNEW.asp?prog=Kestrix", 400},
      {defs + "not a date", 400},
      {defs + "3/16/2006|x", 400},
      {defs + "3/16/2006[BR]", 400},
      {defs + "3/16/2006" + std::string(56, ' '), 400},      // 65 bytes
      {defs + "3/16/2006" + std::string(55, ' '), 200},      // 64 bytes: accepted
      {"/asp/getData.asp?data=" + std::string(4097, 'a'), 400},
      {"/asp/getData.asp?data=" + std::string(4096, 'a'), 200},
      {"/asp/date.asp?pad=" + std::string(8300, 'b'), 400},  // query over 8 KB
      {"/asp/%2", 400},
  };
  for (const Case& c : cases) {
    const auto r = Get(c.target);
    EXPECT_EQ(r.status, c.status) << c.target.substr(0, 80) << " -> " << r.body;
    if (r.status == 400) EXPECT_FALSE(r.body.empty());
  }
  // A request line that is not HTTP at all, and a head too big to be one.
  const int fd = test::Connect(port_);
  const std::string junk = "HELLO\r\n\r\n";
  send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
  const int junk_status = test::ReadReply(fd).status;
  EXPECT_TRUE(junk_status == 400 || junk_status == 0) << junk_status;  // 0: closed unanswered
  close(fd);
  EXPECT_EQ(Get("/" + std::string(30000, 'c')).status, 414);
  EXPECT_EQ(test::Get(port_, "/asp/date.asp HTTP/1.1\r\nX-Pad: " + std::string(30000, 'c') + "\r\nX:").status, 431);

  // Other methods are refused; HEAD is GET's head with no body, on a connection kept open.
  const auto raw = [&](const std::string& request) {
    const int c = test::Connect(port_);
    send(c, request.data(), request.size(), MSG_NOSIGNAL);
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = recv(c, buf, sizeof buf, 0)) > 0;) got.append(buf, size_t(n));
    close(c);
    return got;
  };
  EXPECT_EQ(raw("POST /asp/date.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\nConnection: close\r\n\r\nx").substr(0, 12),
            "HTTP/1.1 405");
  const std::string body = Get("/definitions/version/F.HTM").body;
  const std::string head = raw("HEAD /definitions/version/F.HTM HTTP/1.1\r\nHost: x\r\n\r\n"
                               "GET /asp/nothing.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(head.substr(0, 12), "HTTP/1.1 200");
  EXPECT_NE(head.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos) << head;
  // The next answer follows the head at once: HEAD sent no body.
  EXPECT_NE(head.find("\r\n\r\nHTTP/1.1 404"), std::string::npos) << head;
}

TEST_F(HttpTest, FilesBehindTheAddressList) {
  // Each read of the language file is kept a few seconds; these are separate fronts' first reads.
  EXPECT_EQ(FrontCache(*store_, *local_).LanguageFile().status, 404);
  store_->SetLanguageFile(21, "<TRANSLATION_ITEMS>stored");
  EXPECT_EQ(FrontCache(*store_, *local_).LanguageFile().body->rfind("<TRANSLATION_ITEMS>stored\r\n<!-- KXSIG|", 0), 0u);
  test::WriteFile(dir_ / "lang" / "Localization.txt", "<TRANSLATION_ITEMS>folder");
  EXPECT_EQ(Get("/Languages/21/Localization.txt").body.rfind("<TRANSLATION_ITEMS>folder\r\n<!-- KXSIG|", 0), 0u);

  store_->Publish({{"EXE", "p.exe=P|[windir]"}, {"FILE", "f.dll=F|[system]|Adware"}, {"REG", "1^K^=K|1^K|Spyware"},
                   {"COOK", "ads.example"}},
                  *ParseDate("6/1/2026"));
  EXPECT_EQ(Get("/definitions/data/FileDefinition.dat").body,
            EncodeLine("p.exe=P|[windir]") + "\r\n" + EncodeLine("f.dll=F|[system]|Adware") + "\r\n");
  EXPECT_EQ(Get("/definitions/data/ExeDefinition.dat").body, EncodeLine("p.exe=P|[windir]") + "\r\n");
  EXPECT_EQ(Get("/definitions/data/RegistryDefinition.dat").body, EncodeLine("1^K^=K|Spyware") + "\r\n");
  EXPECT_EQ(Get("/definitions/data/BlockedCookies.dat").body, EncodeLine("ads.example") + "\r\n");
  const auto page = Get("/definitions/version/F.HTM");
  EXPECT_NE(page.body.find("6/1/2026"), std::string::npos);
  EXPECT_NE(page.body.find(": 2 definitions"), std::string::npos);
}

TEST_F(HttpTest, WebFolderServesItsRegularFilesOnly) {
  const auto web = dir_ / "web";
  test::WriteFile(web / "index.html", "home");
  test::WriteFile(web / "sub" / "a.txt", "a");
  test::WriteFile(web / ".env", "secret");
  test::WriteFile(web / "sub" / ".git" / "config", "secret");
  test::WriteFile(dir_ / "outside.txt", "secret");
  std::filesystem::create_symlink(dir_ / "outside.txt", web / "out.txt");
  std::filesystem::create_symlink(dir_, web / "up");
  std::filesystem::create_symlink(web / "sub" / "a.txt", web / "alias.txt");
  const struct {
    std::string target;
    int status;
  } cases[] = {
      {"/", 200},           {"/sub/a.txt", 200},      {"/alias.txt", 200},  // a link that stays inside
      {"/.env", 404},       {"/sub/.git/config", 404}, {"/sub/%2Egit/config", 404},
      {"/out.txt", 404},    {"/up/outside.txt", 404},  {"/up/k.db", 404},
      {"/../outside.txt", 404}, {"/sub", 404},          {"/missing.txt", 404},
  };
  for (const auto& c : cases) {
    const auto r = Get(c.target);
    EXPECT_EQ(r.status, c.status) << c.target;
    EXPECT_EQ(r.body.find("secret"), std::string::npos) << c.target;
  }
}

TEST_F(HttpTest, ThousandIdleKeepAliveConnectionsDoNotBlockOthers) {
  std::vector<int> idle;
  for (int i = 0; i < 1000; ++i) {
    const int fd = test::Connect(port_);
    ASSERT_GE(fd, 0) << i;
    idle.push_back(fd);
  }
  // Half of them served once and kept open, the rest never said anything.
  for (size_t i = 0; i < idle.size(); i += 2) {
    const std::string req = "GET /asp/date.asp HTTP/1.1\r\nHost: x\r\n\r\n";
    send(idle[i], req.data(), req.size(), MSG_NOSIGNAL);
  }
  for (size_t i = 0; i < idle.size(); i += 2) ASSERT_EQ(test::ReadReply(idle[i]).status, 200) << i;
  // The silent half may still wait in the kernel's queue: only the served half is certain.
  while (server_->open_connections() < 500) std::this_thread::sleep_for(std::chrono::milliseconds(10));

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Get("/asp/currentDateNEW.asp?prog=K&comp=K").status, 200);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(2));
  // The kept connections still answer.
  const std::string req = "GET /asp/date.asp HTTP/1.1\r\nHost: x\r\n\r\n";
  send(idle[0], req.data(), req.size(), MSG_NOSIGNAL);
  EXPECT_EQ(test::ReadReply(idle[0]).body.rfind("3/16/2006 12:00:00 AM KXDATE|", 0), 0u);
  for (int fd : idle) close(fd);
}

}  // namespace
}  // namespace kxs
