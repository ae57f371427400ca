// PostgreSQL behind the same storage interfaces, for several server instances sharing one
// database. Change times come from the database under a table lock, so they increase strictly
// across every instance; a connection that broke is reset on the next use, so a restarted
// database is picked up without restarting the server.
#pragma once
#include "store.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

typedef struct pg_conn PGconn;

namespace kxs {

// "postgresql://..." or "postgres://...": a database address rather than a file name.
bool IsPostgresAddress(const std::string& db);

class PostgresStore final : public DefinitionStore {
 public:
  // Throws StoreError when the database cannot be reached. kReadWrite creates the schema.
  PostgresStore(const std::string& conninfo, size_t connections = 4, Access access = Access::kReadWrite);
  ~PostgresStore() override;
  PostgresStore(const PostgresStore&) = delete;
  PostgresStore& operator=(const PostgresStore&) = delete;

  std::optional<Seconds> NewestChange() override;
  std::vector<Change> ChangesAfter(Seconds since) override;
  std::vector<Definition> All() override;
  Committed Publish(const std::vector<Row>& rows, Seconds wanted) override;
  Committed Withdraw(std::string_view kind, const std::function<bool(const Row&)>& pick, Seconds wanted) override;
  std::optional<std::string> LanguageFile(int product) override;
  void SetLanguageFile(int product, std::string_view text) override;

  // The database's own wall clock (local time, whole seconds), so instances with skewed
  // clocks agree.
  Seconds ClockNow() override;
  void LoadExactly(const std::vector<Definition>& rows) override;

  class Pool;

 private:
  std::unique_ptr<Pool> pool_;
  Access access_;
};

class PostgresSubmissions final : public SubmissionStore {
 public:
  PostgresSubmissions(const std::string& conninfo, uint64_t max_bytes, size_t connections = 2);
  ~PostgresSubmissions() override;
  Submitted Submit(std::string_view data, Seconds received) override;
  std::optional<Seconds> Received(std::string_view data) override;
  std::vector<std::pair<std::string, Seconds>> AllSubmissions() override;
  void LoadSubmissions(const std::vector<std::pair<std::string, Seconds>>& rows) override;

 private:
  std::unique_ptr<PostgresStore::Pool> pool_;
  uint64_t max_bytes_;
  std::mutex size_mu_;
  std::chrono::steady_clock::time_point size_checked_{};
  bool full_ = false;
};

// Creates or upgrades the schema (definitions, languages, submissions); idempotent.
void MigratePostgres(const std::string& conninfo);

}  // namespace kxs
