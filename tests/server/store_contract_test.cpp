// The storage contract, the same cases on SQLite (a file) and on PostgreSQL (a cluster of its
// own in a temporary folder): what a date receives, change times strictly increasing across
// two instances writing at once, read-only fronts, and submissions deduplicated and capped.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "postgres_store.h"
#include "store.h"
#include "support.h"

namespace kxs {
namespace {

// A PostgreSQL cluster in a temporary folder on a Unix socket, stopped when the tests end.
// PostgreSQL will not run as root, so as root it runs as the postgres user.
class TempPostgres {
 public:
  static TempPostgres& Get() {
    static TempPostgres pg;
    return pg;
  }
  const std::string& error() const { return error_; }
  // A new, empty database; its address.
  std::string NewDatabase(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Sh(Bin("psql") + " -q -h " + dir_ + " -p " + port_ + " -d postgres -c 'CREATE DATABASE " + name + "'");
    return "postgresql:///" + name + "?host=" + dir_ + "&port=" + port_ + "&user=" + user_;
  }
  // Stops the cluster at once (as a crash would), runs `while_down`, starts it again.
  void Restart(const std::function<void()>& while_down) {
    Sh(Bin("pg_ctl") + " -D " + dir_ + "/data -m immediate stop >/dev/null 2>&1");
    while_down();
    Sh(Bin("pg_ctl") + " -D " + dir_ + "/data -w -l " + dir_ + "/server.log -o \"" + opts_ + "\" start >/dev/null");
  }
  ~TempPostgres() {
    if (started_) Sh(Bin("pg_ctl") + " -D " + dir_ + "/data -m immediate stop >/dev/null 2>&1");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  TempPostgres() {
    for (const std::string v : {"17", "16", "15", "14", "13"})
      if (std::filesystem::exists("/usr/lib/postgresql/" + v + "/bin/initdb")) {
        bin_ = "/usr/lib/postgresql/" + v + "/bin/";
        break;
      }
    if (bin_.empty()) {
      error_ = "PostgreSQL is not installed (apt-get install postgresql)";
      return;
    }
    dir_ = "/tmp/kx-pg-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir_);
    user_ = ::getuid() == 0 ? "postgres" : (getpwuid(::getuid()) ? getpwuid(::getuid())->pw_name : "");
    if (::getuid() == 0) {
      const passwd* pw = getpwnam("postgres");
      if (!pw || ::chown(dir_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
        error_ = "running as root and there is no postgres user to run PostgreSQL as";
        return;
      }
      as_ = "runuser -u postgres -- ";
    }
    port_ = std::to_string(40000 + ::getpid() % 20000);
    if (Sh(Bin("initdb") + " -D " + dir_ + "/data -A trust -U " + user_ + " >" + dir_ + "/initdb.log 2>&1") != 0) {
      error_ = "initdb failed: " + test::ServerProcesses::ReadAll(dir_ + "/initdb.log");
      return;
    }
    opts_ = "-c listen_addresses='' -c unix_socket_directories=" + dir_ + " -p " + port_ +
            " -c fsync=off -c max_connections=60";
    if (Sh(Bin("pg_ctl") + " -D " + dir_ + "/data -w -l " + dir_ + "/server.log -o \"" + opts_ + "\" start >/dev/null") != 0) {
      error_ = "PostgreSQL did not start: " + test::ServerProcesses::ReadAll(dir_ + "/server.log");
      return;
    }
    started_ = true;
  }
  std::string Bin(const std::string& name) const { return as_ + bin_ + name; }
  static int Sh(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }

  std::string bin_, dir_, user_, as_, port_, opts_, error_;
  bool started_ = false;
};

struct Backend {
  std::string name;
  // A fresh database's address and stores on it.
  std::function<std::string(const std::string&)> fresh;
  std::function<std::unique_ptr<DefinitionStore>(const std::string&, Access)> definitions;
  std::function<std::unique_ptr<SubmissionStore>(const std::string&, uint64_t)> submissions;
};

Backend Sqlite() {
  return {"sqlite",
          [](const std::string& name) { return (test::TempDir("contract-" + name) / "k.db").string(); },
          [](const std::string& db, Access a) { return std::make_unique<SqliteStore>(db, 2, a); },
          [](const std::string& db, uint64_t max) { return std::make_unique<SqliteSubmissions>(SubmissionsPathFor(db), max); }};
}

Backend Postgres() {
  return {"postgresql",
          [](const std::string& name) { return TempPostgres::Get().NewDatabase(name); },
          [](const std::string& db, Access a) { return std::make_unique<PostgresStore>(db, 2, a); },
          [](const std::string& db, uint64_t max) { return std::make_unique<PostgresSubmissions>(db, max); }};
}

class StoreContract : public ::testing::TestWithParam<Backend (*)()> {
 protected:
  void SetUp() override {
    backend_ = GetParam()();
    if (backend_.name == "postgresql" && !TempPostgres::Get().error().empty())
      GTEST_SKIP() << "PostgreSQL cannot start on this machine: " << TempPostgres::Get().error();
  }
  std::string Fresh() {
    static int n = 0;
    return backend_.fresh(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()).substr(0, 20) +
                          std::to_string(++n));
  }
  static Seconds At(const std::string& text) { return *ParseDate(text); }
  Backend backend_;
};

std::vector<std::string> Described(const std::vector<Change>& changes) {
  std::vector<std::string> out;
  for (const Change& c : changes) out.push_back((c.add ? "+" : "-") + c.row.body + "@" + FormatDate(c.at));
  return out;
}

TEST_P(StoreContract, ChangesAfterADateAndTimesThatOnlyMoveForward) {
  const std::string db = Fresh();
  auto store = backend_.definitions(db, Access::kReadWrite);
  EXPECT_FALSE(store->NewestChange());
  EXPECT_TRUE(store->ChangesAfter(0).empty());

  const Seconds t = At("1/10/2026 10:00:00 AM");
  struct Step {
    const char* what;
    std::function<Committed()> run;
    Seconds at;      // the change time the store must give
    size_t changed;  // rows added or withdrawn
  };
  const std::vector<Step> steps{
      {"first publish", [&] { return store->Publish({{"FILE", "a.dll=A|[system]"}, {"FILE", "b.dll=B|[system]"}}, t); }, t, 2},
      {"same second again", [&] { return store->Publish({{"COOK", "c.example"}}, t); }, t + 1, 1},
      {"an earlier time", [&] { return store->Publish({{"DIR", "X=X|[progfil]X|Adware"}}, t - 3600); }, t + 2, 1},
      {"already live", [&] { return store->Publish({{"FILE", "a.dll=A|[system]"}}, t + 50); }, t + 50, 0},
      {"withdrawal", [&] { return store->Withdraw("FILE", [](const Row& r) { return r.body[0] == 'b'; }, t + 10); }, t + 10, 1},
      {"withdrawal of nothing", [&] { return store->Withdraw("EXE", [](const Row&) { return true; }, t + 20); }, t + 20, 0},
      {"bytes >= 0x80 and NUL kept", [&] { return store->Publish({{"FILE", std::string("\xe9\x00z.dll=Z|[system]", 17)}}, t + 30); }, t + 30, 1},
      {"one row twice in a change", [&] { return store->Publish({{"COOK", "c.example"}, {"COOK", "d.example"}, {"COOK", "d.example"}}, t + 30); }, t + 31, 1},
  };
  for (const Step& s : steps) {
    const Committed c = s.run();
    EXPECT_EQ(c.rows.size(), s.changed) << s.what;
    if (s.changed) EXPECT_EQ(c.at, s.at) << s.what;
  }
  EXPECT_EQ(store->NewestChange(), t + 31);
  EXPECT_EQ(Described(store->ChangesAfter(t)),
            (std::vector<std::string>{"+c.example@1/10/2026 10:00:01 AM", "+X=X|[progfil]X|Adware@1/10/2026 10:00:02 AM",
                                      "-b.dll=B|[system]@1/10/2026 10:00:10 AM",
                                      "+" + std::string("\xe9\x00z.dll=Z|[system]", 17) + "@1/10/2026 10:00:30 AM",
                                      "+d.example@1/10/2026 10:00:31 AM"}));
  // Added and withdrawn after the date: never on that client, so not sent.
  EXPECT_EQ(Described(store->ChangesAfter(0)).size(), 5u);
  EXPECT_EQ(store->All().size(), 6u);

  EXPECT_FALSE(store->LanguageFile(21));
  store->SetLanguageFile(21, "one");
  store->SetLanguageFile(21, "two\r\n\xc3\xa4");
  EXPECT_EQ(store->LanguageFile(21), "two\r\n\xc3\xa4");

  // The front's view: it reads everything and changes nothing.
  auto front = backend_.definitions(db, Access::kReadOnly);
  EXPECT_EQ(front->NewestChange(), t + 31);
  EXPECT_THROW(front->Publish({{"FILE", "n.dll=N|[system]"}}, t + 99), StoreError);
  EXPECT_THROW(front->SetLanguageFile(21, "x"), StoreError);
  EXPECT_EQ(store->All().size(), 6u);

  // Moving to another database keeps every row as it was, and the next change follows them.
  const auto copy = backend_.definitions(Fresh(), Access::kReadWrite);
  const std::vector<Definition> all = store->All();
  copy->LoadExactly(all);
  auto same = [](const std::vector<Definition>& a, const std::vector<Definition>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Definition& x, const Definition& y) {
             return x.id == y.id && x.row.kind == y.row.kind && x.row.body == y.row.body && x.added == y.added &&
                    x.withdrawn == y.withdrawn;
           });
  };
  EXPECT_TRUE(same(copy->All(), all));
  EXPECT_THROW(copy->LoadExactly(all), StoreError);  // never into a store that holds rows
  EXPECT_TRUE(same(copy->All(), all));
  const Committed next = copy->Publish({{"COOK", "next.example"}}, t);
  ASSERT_EQ(next.rows.size(), 1u);
  EXPECT_EQ(next.at, t + 32);
  EXPECT_GT(next.rows[0].id, all.back().id);
}

TEST_P(StoreContract, TwoInstancesPublishingAtOnceGetDistinctIncreasingTimesSeenByBoth) {
  const std::string db = Fresh();
  auto a = backend_.definitions(db, Access::kReadWrite);
  auto b = backend_.definitions(db, Access::kReadWrite);
  auto reader = backend_.definitions(db, Access::kReadOnly);
  const Seconds t = At("3/3/2026 3:00:00 PM");
  std::vector<Seconds> times_a, times_b;
  auto publish = [&](DefinitionStore& s, const std::string& tag, std::vector<Seconds>& times) {
    for (int i = 0; i < 25; ++i) times.push_back(s.Publish({{"FILE", tag + std::to_string(i) + ".dll=T|[system]"}}, t).at);
  };
  std::thread ta([&] { publish(*a, "a", times_a); });
  std::thread tb([&] { publish(*b, "b", times_b); });
  ta.join();
  tb.join();
  std::set<Seconds> all(times_a.begin(), times_a.end());
  all.insert(times_b.begin(), times_b.end());
  EXPECT_EQ(all.size(), 50u);  // no two changes share a time
  EXPECT_TRUE(std::is_sorted(times_a.begin(), times_a.end()));
  EXPECT_EQ(*all.begin(), t);
  EXPECT_EQ(*all.rbegin(), t + 49);
  // A publish through one instance is what the other answers at once.
  const Seconds later = b->Publish({{"COOK", "late.example"}}, t + 1000).at;
  EXPECT_EQ(a->NewestChange(), later);
  EXPECT_EQ(reader->NewestChange(), later);
  EXPECT_EQ(reader->ChangesAfter(t + 49).size(), 1u);
}

TEST_P(StoreContract, SubmissionsAreKeptOnceAndRefusedPastTheirCap) {
  const std::string db = Fresh();
  auto subs = backend_.submissions(db, 256 * 1024);
  const std::string name = std::string("\xb3\xb0\xb9|", 4);
  EXPECT_EQ(subs->Submit(name, 1000), Submitted::kAdded);
  EXPECT_EQ(subs->Submit(name, 2000), Submitted::kSkipped);
  EXPECT_EQ(subs->Received(name), 1000);
  EXPECT_FALSE(subs->Received("other"));
  // Distinct names until the cap answers; what was stored stays.
  int added = 0;
  Submitted last = Submitted::kAdded;
  const std::string pad(1000, 'p');
  for (int i = 0; i < 2000 && last != Submitted::kFull; ++i) {
    last = subs->Submit(pad + std::to_string(i), 3000 + i);
    if (last == Submitted::kAdded) ++added;
    if (backend_.name == "postgresql" && i % 50 == 49) std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  }
  EXPECT_EQ(last, Submitted::kFull);
  EXPECT_GT(added, 20);
  EXPECT_EQ(subs->Received(name), 1000);
  // A name already held is still known; a new one is refused.
  EXPECT_EQ(subs->Submit(name, 4000), Submitted::kSkipped);
  EXPECT_EQ(subs->Submit("new" + pad, 4000), Submitted::kFull);

  // Moving: every submission with its own time, none twice.
  const auto all = subs->AllSubmissions();
  EXPECT_EQ(all.size(), static_cast<size_t>(added) + 1);
  EXPECT_EQ(all.front(), std::make_pair(name, Seconds{1000}));
  auto moved = backend_.submissions(Fresh(), 64 << 20);
  moved->LoadSubmissions(all);
  moved->LoadSubmissions(all);
  EXPECT_EQ(moved->AllSubmissions(), all);
}

TEST(PostgresStoreTest, ADatabaseThatRestartsIsUsedAgainWithoutReopening) {
  if (!TempPostgres::Get().error().empty()) GTEST_SKIP() << "PostgreSQL cannot start on this machine: " << TempPostgres::Get().error();
  const std::string db = TempPostgres::Get().NewDatabase("restart");
  PostgresStore writer(db, 1);
  PostgresStore front(db, 3, Access::kReadOnly);
  PostgresSubmissions subs(db, 1 << 20, 2);
  writer.Publish({{"FILE", "a.dll=A|[system]"}}, 1000);
  // Every pooled connection has been used once before the database goes.
  std::vector<std::thread> warm;
  for (int i = 0; i < 6; ++i) warm.emplace_back([&] { ASSERT_EQ(front.NewestChange(), 1000); });
  for (auto& t : warm) t.join();
  TempPostgres::Get().Restart([&] {
    EXPECT_THROW(front.NewestChange(), StoreError);
    EXPECT_THROW(subs.Submit("x", 1), StoreError);
  });
  for (int i = 0; i < 6; ++i) EXPECT_EQ(front.NewestChange(), 1000) << i;
  EXPECT_EQ(subs.Submit("x", 1), Submitted::kAdded);
  EXPECT_EQ(writer.Publish({{"FILE", "b.dll=B|[system]"}}, 2000).at, 2000);
  EXPECT_EQ(front.NewestChange(), 2000);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreContract, ::testing::Values(&Sqlite, &Postgres),
                         [](const auto& info) { return info.param == &Sqlite ? std::string("Sqlite") : std::string("Postgres"); });

}  // namespace
}  // namespace kxs
