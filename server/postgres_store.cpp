#include "postgres_store.h"

#include <endian.h>
#include <libpq-fe.h>

#include <algorithm>
#include <cstring>

namespace kxs {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS definitions(id BIGSERIAL PRIMARY KEY, kind BYTEA NOT NULL, body BYTEA NOT NULL,"
    " added BIGINT NOT NULL, withdrawn BIGINT);"
    "CREATE INDEX IF NOT EXISTS definitions_added ON definitions(added);"
    "CREATE INDEX IF NOT EXISTS definitions_withdrawn ON definitions(withdrawn);"
    "CREATE INDEX IF NOT EXISTS definitions_live ON definitions(kind, body) WHERE withdrawn IS NULL;"
    "CREATE TABLE IF NOT EXISTS languages(product INTEGER PRIMARY KEY, body BYTEA NOT NULL);"
    "CREATE TABLE IF NOT EXISTS submissions(id BIGSERIAL PRIMARY KEY, data BYTEA NOT NULL UNIQUE,"
    " received BIGINT NOT NULL);";

// The connection, not the statement, failed: the database went away or is restarting.
class ConnectionLost : public StoreError {
 public:
  using StoreError::StoreError;
};

[[noreturn]] void Failed(PGconn* c, PGresult* r, const char* sql) {
  const std::string what = std::string(sql).substr(0, 40) + ": " + PQerrorMessage(c);
  const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  // No SQLSTATE means libpq itself lost the server; 08 is a connection exception, 57P the
  // server shutting down or restarting.
  if (!state || PQstatus(c) != CONNECTION_OK || std::strncmp(state, "08", 2) == 0 || std::strncmp(state, "57P", 3) == 0)
    throw ConnectionLost(what);
  throw StoreError(what);
}

// One result, freed on every path.
class Result {
 public:
  explicit Result(PGresult* r) : r_(r) {}
  ~Result() { PQclear(r_); }
  Result(Result&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  int Rows() const { return PQntuples(r_); }
  bool Null(int row, int col) const { return PQgetisnull(r_, row, col); }
  // Results are asked in binary: integers arrive big-endian, byte strings as they are.
  int64_t Int(int row, int col) const {
    const char* p = PQgetvalue(r_, row, col);
    if (PQgetlength(r_, row, col) == 4) {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return static_cast<int32_t>(be32toh(v));
    }
    uint64_t v;
    std::memcpy(&v, p, 8);
    return static_cast<int64_t>(be64toh(v));
  }
  std::string Bytes(int row, int col) const {
    return std::string(PQgetvalue(r_, row, col), static_cast<size_t>(PQgetlength(r_, row, col)));
  }
  PGresult* get() const { return r_; }

 private:
  PGresult* r_;
};

// Parameters: integers as text, byte strings as binary (bytea takes them as they are).
class Params {
 public:
  Params& Int(int64_t v) {
    texts_.push_back(std::to_string(v));
    kinds_.push_back(0);
    return *this;
  }
  Params& Bytes(std::string_view v) {
    texts_.emplace_back(v);
    kinds_.push_back(1);
    return *this;
  }
  void Fill(std::vector<const char*>& values, std::vector<int>& lengths, std::vector<int>& formats) const {
    for (size_t i = 0; i < texts_.size(); ++i) {
      values.push_back(texts_[i].data());
      lengths.push_back(static_cast<int>(texts_[i].size()));
      formats.push_back(kinds_[i]);
    }
  }

 private:
  std::vector<std::string> texts_;
  std::vector<int> kinds_;
};

Result Run(PGconn* c, const char* sql, const Params& p = Params()) {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  p.Fill(values, lengths, formats);
  Result r(PQexecParams(c, sql, static_cast<int>(values.size()), nullptr, values.data(), lengths.data(),
                        formats.data(), 1));
  const ExecStatusType st = PQresultStatus(r.get());
  if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) Failed(c, r.get(), sql);
  return r;
}

void Plain(PGconn* c, const char* sql) {
  Result r(PQexec(c, sql));
  const ExecStatusType st = PQresultStatus(r.get());
  if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) Failed(c, r.get(), sql);
}

PGconn* Connect(const std::string& conninfo) {
  PGconn* c = PQconnectdb(conninfo.c_str());
  if (PQstatus(c) != CONNECTION_OK) {
    const std::string why = c ? PQerrorMessage(c) : "out of memory";
    PQfinish(c);
    throw StoreError("cannot reach the database: " + why);
  }
  return c;
}

// Rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(PGconn* c) : c_(c) { Plain(c, "BEGIN"); }
  ~Transaction() {
    if (!done_) PQclear(PQexec(c_, "ROLLBACK"));
  }
  void Commit() {
    Plain(c_, "COMMIT");
    done_ = true;
  }

 private:
  PGconn* c_;
  bool done_ = false;
};

Definition ReadDefinition(const Result& r, int i) {
  Definition d;
  d.id = r.Int(i, 0);
  d.row = {r.Bytes(i, 1), r.Bytes(i, 2)};
  d.added = r.Int(i, 3);
  if (!r.Null(i, 4)) d.withdrawn = r.Int(i, 4);
  return d;
}

// Serialises changes across instances; readers are not held.
Seconds LockAndTime(PGconn* c, Seconds wanted) {
  Plain(c, "LOCK TABLE definitions IN SHARE ROW EXCLUSIVE MODE");
  Result r = Run(c, "SELECT greatest(max(added), max(withdrawn)) FROM definitions");
  if (r.Null(0, 0)) return wanted;
  const Seconds newest = r.Int(0, 0);
  return wanted <= newest ? newest + 1 : wanted;
}

}  // namespace

bool IsPostgresAddress(const std::string& db) {
  return db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0;
}

class PostgresStore::Pool {
 public:
  Pool(std::string conninfo, size_t n, bool read_only) : conninfo_(std::move(conninfo)), read_only_(read_only) {
    try {
      for (size_t i = 0; i < std::max<size_t>(n, 1); ++i) {
        PGconn* c = Connect(conninfo_);
        all_.push_back(c);
        idle_.push_back(c);
        Prepare(c);
      }
    } catch (...) {
      for (PGconn* c : all_) PQfinish(c);
      throw;
    }
  }
  ~Pool() {
    for (PGconn* c : all_) PQfinish(c);
  }

  // A connection for one use; one that broke (the database restarted) is reset first.
  class Lease {
   public:
    explicit Lease(Pool& p) : p_(p) {
      std::unique_lock lock(p.mu_);
      p.idle_cv_.wait(lock, [&] { return !p.idle_.empty(); });
      c_ = p.idle_.back();
      p.idle_.pop_back();
      lock.unlock();
      if (PQstatus(c_) != CONNECTION_OK) Reset();
    }
    ~Lease() {
      if (c_) Release();
    }
    PGconn* get() const { return c_; }
    void Reset() {
      PQreset(c_);
      if (PQstatus(c_) != CONNECTION_OK) {
        const std::string why = PQerrorMessage(c_);
        Release();
        throw StoreError("cannot reach the database: " + why);
      }
      p_.Prepare(c_);
    }

   private:
    void Release() {
      {
        std::lock_guard lock(p_.mu_);
        p_.idle_.push_back(c_);
      }
      c_ = nullptr;
      p_.idle_cv_.notify_one();
    }
    Pool& p_;
    PGconn* c_ = nullptr;
  };

  // Runs `f` on a connection; when the connection turns out to have broken under it (the
  // database restarted since its last use), once more on the same connection made anew.
  // A failed transaction was rolled back by the database, so running it again is safe.
  template <class F>
  auto With(F&& f) {
    Lease l(*this);
    try {
      return f(l.get());
    } catch (const ConnectionLost&) {
      l.Reset();
      return f(l.get());
    }
  }

 private:
  void Prepare(PGconn* c) {
    // The front may not change a definition even through a bug of its own.
    if (read_only_) Plain(c, "SET default_transaction_read_only = on");
    Plain(c, "SET client_min_messages = warning");
  }

  std::string conninfo_;
  bool read_only_;
  std::mutex mu_;
  std::condition_variable idle_cv_;
  std::vector<PGconn*> idle_, all_;
};

void MigratePostgres(const std::string& conninfo) {
  PGconn* c = Connect(conninfo);
  try {
    Plain(c, "SET client_min_messages = warning");
    Plain(c, kSchema);
  } catch (...) {
    PQfinish(c);
    throw;
  }
  PQfinish(c);
}

PostgresStore::PostgresStore(const std::string& conninfo, size_t connections, Access access) : access_(access) {
  if (access == Access::kReadWrite) MigratePostgres(conninfo);
  pool_ = std::make_unique<Pool>(conninfo, connections, access == Access::kReadOnly);
}

PostgresStore::~PostgresStore() = default;

std::optional<Seconds> PostgresStore::NewestChange() {
  return pool_->With([](PGconn* c) -> std::optional<Seconds> {
    Result r = Run(c, "SELECT greatest((SELECT max(added) FROM definitions), (SELECT max(withdrawn) FROM definitions))");
    if (r.Null(0, 0)) return std::nullopt;
    return r.Int(0, 0);
  });
}

std::vector<Change> PostgresStore::ChangesAfter(Seconds since) {
  return pool_->With([&](PGconn* c) {
  Result r = Run(c,
                 "SELECT id, kind, body, added AS at, 1 FROM definitions WHERE added > $1 AND withdrawn IS NULL "
                 "UNION ALL SELECT id, kind, body, withdrawn AS at, 0 FROM definitions "
                 "WHERE added <= $1 AND withdrawn > $1 ORDER BY at, id",
                 Params().Int(since));
  std::vector<Change> out;
  out.reserve(static_cast<size_t>(r.Rows()));
  for (int i = 0; i < r.Rows(); ++i) out.push_back({r.Int(i, 0), {r.Bytes(i, 1), r.Bytes(i, 2)}, r.Int(i, 3), r.Int(i, 4) != 0});
  return out;
  });
}

std::vector<Definition> PostgresStore::All() {
  return pool_->With([](PGconn* c) {
    Result r = Run(c, "SELECT id, kind, body, added, withdrawn FROM definitions ORDER BY added, id");
    std::vector<Definition> out;
    out.reserve(static_cast<size_t>(r.Rows()));
    for (int i = 0; i < r.Rows(); ++i) out.push_back(ReadDefinition(r, i));
    return out;
  });
}

namespace {

// COPY's text form of a byte string: bytea's hex input, its backslash doubled for COPY.
void AppendCopyBytes(std::string& out, std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  out += "\\\\x";
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
}

// The rows into a temporary table in one COPY: an import of 50,000 rows is one round trip,
// not 100,000.
void CopyBatch(PGconn* c, const std::vector<Row>& rows) {
  Plain(c, "CREATE TEMP TABLE batch(ord INTEGER, kind BYTEA, body BYTEA) ON COMMIT DROP");
  Result start(PQexec(c, "COPY batch(ord, kind, body) FROM STDIN"));
  if (PQresultStatus(start.get()) != PGRES_COPY_IN) Failed(c, start.get(), "COPY batch");
  std::string chunk;
  for (size_t i = 0; i < rows.size(); ++i) {
    chunk += std::to_string(i);
    chunk += '\t';
    AppendCopyBytes(chunk, rows[i].kind);
    chunk += '\t';
    AppendCopyBytes(chunk, rows[i].body);
    chunk += '\n';
    if (chunk.size() > (1u << 20) || i + 1 == rows.size()) {
      if (PQputCopyData(c, chunk.data(), static_cast<int>(chunk.size())) != 1) Failed(c, nullptr, "COPY batch");
      chunk.clear();
    }
  }
  if (PQputCopyEnd(c, nullptr) != 1) Failed(c, nullptr, "COPY batch");
  Result done(PQgetResult(c));
  if (PQresultStatus(done.get()) != PGRES_COMMAND_OK) Failed(c, done.get(), "COPY batch");
  while (PGresult* more = PQgetResult(c)) PQclear(more);
}

}  // namespace

Committed PostgresStore::Publish(const std::vector<Row>& rows, Seconds wanted) {
  if (access_ == Access::kReadOnly) throw StoreError("the definitions are open read-only");
  return pool_->With([&](PGconn* conn) {
    Transaction tx(conn);
    Committed c;
    c.at = LockAndTime(conn, wanted);
    if (rows.empty()) return c;
    CopyBatch(conn, rows);
    // The first of rows repeated in the batch, unless already live, in the batch's order.
    Result added = Run(conn,
                       "INSERT INTO definitions(kind, body, added) "
                       "SELECT kind, body, $1 FROM (SELECT DISTINCT ON (kind, body) ord, kind, body FROM batch "
                       "ORDER BY kind, body, ord) firsts "
                       "WHERE NOT EXISTS (SELECT 1 FROM definitions d WHERE d.kind = firsts.kind AND d.body = firsts.body "
                       "AND d.withdrawn IS NULL) ORDER BY ord RETURNING id, kind, body",
                       Params().Int(c.at));
    for (int i = 0; i < added.Rows(); ++i) c.rows.push_back({added.Int(i, 0), {added.Bytes(i, 1), added.Bytes(i, 2)}, c.at, std::nullopt});
    std::sort(c.rows.begin(), c.rows.end(), [](const Definition& a, const Definition& b) { return a.id < b.id; });
    c.unchanged = rows.size() - c.rows.size();
    if (!c.rows.empty()) tx.Commit();
    return c;
  });
}

Committed PostgresStore::Withdraw(std::string_view kind, const std::function<bool(const Row&)>& pick, Seconds wanted) {
  if (access_ == Access::kReadOnly) throw StoreError("the definitions are open read-only");
  return pool_->With([&](PGconn* conn) {
  Transaction tx(conn);
  Committed c;
  c.at = LockAndTime(conn, wanted);
  Result live = Run(conn, "SELECT id, kind, body, added, withdrawn FROM definitions WHERE kind = $1 AND withdrawn IS NULL ORDER BY id",
                    Params().Bytes(kind));
  for (int i = 0; i < live.Rows(); ++i) {
    Definition d = ReadDefinition(live, i);
    if (!pick(d.row)) continue;
    Run(conn, "UPDATE definitions SET withdrawn = $2 WHERE id = $1", Params().Int(d.id).Int(c.at));
    d.withdrawn = c.at;
    c.rows.push_back(std::move(d));
  }
  if (!c.rows.empty()) tx.Commit();
  return c;
  });
}

std::optional<std::string> PostgresStore::LanguageFile(int product) {
  return pool_->With([&](PGconn* c) -> std::optional<std::string> {
    Result r = Run(c, "SELECT body FROM languages WHERE product = $1", Params().Int(product));
    if (r.Rows() == 0) return std::nullopt;
    return r.Bytes(0, 0);
  });
}

void PostgresStore::SetLanguageFile(int product, std::string_view text) {
  if (access_ == Access::kReadOnly) throw StoreError("the definitions are open read-only");
  pool_->With([&](PGconn* c) {
    Run(c, "INSERT INTO languages(product, body) VALUES ($1, $2) ON CONFLICT (product) DO UPDATE SET body = $2",
        Params().Int(product).Bytes(text));
    return 0;
  });
}

Seconds PostgresStore::ClockNow() {
  return pool_->With(
      [](PGconn* c) { return Run(c, "SELECT floor(extract(epoch FROM localtimestamp))::bigint").Int(0, 0); });
}

void PostgresStore::LoadExactly(const std::vector<Definition>& rows) {
  if (access_ == Access::kReadOnly) throw StoreError("the definitions are open read-only");
  pool_->With([&](PGconn* c) {
    Transaction tx(c);
    Plain(c, "LOCK TABLE definitions IN SHARE ROW EXCLUSIVE MODE");
    if (Run(c, "SELECT 1 FROM definitions LIMIT 1").Rows() > 0) throw StoreError("the database already holds definitions");
    for (const Definition& d : rows) {
      Params p;
      p.Int(d.id).Bytes(d.row.kind).Bytes(d.row.body).Int(d.added);
      if (d.withdrawn)
        Run(c, "INSERT INTO definitions(id, kind, body, added, withdrawn) VALUES ($1, $2, $3, $4, $5)", p.Int(*d.withdrawn));
      else
        Run(c, "INSERT INTO definitions(id, kind, body, added) VALUES ($1, $2, $3, $4)", p);
    }
    // New rows continue after the copied ids.
    Plain(c, "SELECT setval(pg_get_serial_sequence('definitions', 'id'), coalesce(max(id), 0) + 1, false) FROM definitions");
    tx.Commit();
    return 0;
  });
}

PostgresSubmissions::PostgresSubmissions(const std::string& conninfo, uint64_t max_bytes, size_t connections)
    : max_bytes_(max_bytes) {
  MigratePostgres(conninfo);
  pool_ = std::make_unique<PostgresStore::Pool>(conninfo, connections, false);
}

PostgresSubmissions::~PostgresSubmissions() = default;

Submitted PostgresSubmissions::Submit(std::string_view data, Seconds received) {
  return pool_->With([&](PGconn* c) {
  {
    // The table's size is asked at most once a second, not on every submission.
    std::lock_guard lock(size_mu_);
    const auto now = std::chrono::steady_clock::now();
    if (now - size_checked_ >= std::chrono::seconds(1)) {
      size_checked_ = now;
      full_ = static_cast<uint64_t>(
                  Run(c, "SELECT pg_total_relation_size('submissions')").Int(0, 0)) >= max_bytes_;
    }
    if (full_) {
      const bool known = Run(c, "SELECT 1 FROM submissions WHERE data = $1", Params().Bytes(data)).Rows() > 0;
      return known ? Submitted::kSkipped : Submitted::kFull;
    }
  }
  Result r = Run(c, "INSERT INTO submissions(data, received) VALUES ($1, $2) ON CONFLICT (data) DO NOTHING",
                 Params().Bytes(data).Int(received));
  return std::strcmp(PQcmdTuples(r.get()), "1") == 0 ? Submitted::kAdded : Submitted::kSkipped;
  });
}

std::vector<std::pair<std::string, Seconds>> PostgresSubmissions::AllSubmissions() {
  return pool_->With([](PGconn* c) {
    Result r = Run(c, "SELECT data, received FROM submissions ORDER BY received, id");
    std::vector<std::pair<std::string, Seconds>> out;
    for (int i = 0; i < r.Rows(); ++i) out.emplace_back(r.Bytes(i, 0), r.Int(i, 1));
    return out;
  });
}

void PostgresSubmissions::LoadSubmissions(const std::vector<std::pair<std::string, Seconds>>& rows) {
  pool_->With([&](PGconn* c) {
    Transaction tx(c);
    for (const auto& [data, received] : rows)
      Run(c, "INSERT INTO submissions(data, received) VALUES ($1, $2) ON CONFLICT (data) DO NOTHING",
          Params().Bytes(data).Int(received));
    tx.Commit();
    return 0;
  });
}

std::optional<Seconds> PostgresSubmissions::Received(std::string_view data) {
  return pool_->With([&](PGconn* c) -> std::optional<Seconds> {
    Result r = Run(c, "SELECT received FROM submissions WHERE data = $1", Params().Bytes(data));
    if (r.Rows() == 0) return std::nullopt;
    return r.Int(0, 0);
  });
}

}  // namespace kxs
