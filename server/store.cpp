#include "store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace kxs {

namespace {

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw StoreError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "?";
    sqlite3_free(err);
    throw StoreError(std::string(sql).substr(0, 40) + ": " + msg);
  }
}

class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) Fail(db, "prepare");
  }
  ~Stmt() { sqlite3_finalize(st_); }
  Stmt& Bind(int i, int64_t v) {
    sqlite3_bind_int64(st_, i, v);
    return *this;
  }
  Stmt& Bind(int i, std::string_view v) {
    sqlite3_bind_blob(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  bool Step() {
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail(db_, "step");
    return false;
  }
  void Reset() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }
  bool Null(int c) { return sqlite3_column_type(st_, c) == SQLITE_NULL; }
  int64_t Int(int c) { return sqlite3_column_int64(st_, c); }
  std::string Text(int c) {
    const void* p = sqlite3_column_blob(st_, c);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st_, c))) : "";
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
};

// Rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) { Exec(db, "BEGIN IMMEDIATE"); }
  ~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Exec(db_, "COMMIT");
    done_ = true;
  }

 private:
  sqlite3* db_;
  bool done_ = false;
};

std::optional<Seconds> Newest(sqlite3* db) {
  Stmt s(db,
         "SELECT (SELECT max(added) FROM definitions), (SELECT max(withdrawn) FROM definitions)");
  s.Step();
  std::optional<Seconds> n;
  for (int c = 0; c < 2; ++c)
    if (!s.Null(c)) n = std::max(n.value_or(s.Int(c)), s.Int(c));
  return n;
}

Seconds ChangeTime(sqlite3* db, Seconds wanted) {
  const auto newest = Newest(db);
  return newest && wanted <= *newest ? *newest + 1 : wanted;
}

Definition ReadDefinition(Stmt& s) {
  Definition d;
  d.id = s.Int(0);
  d.row = {s.Text(1), s.Text(2)};
  d.added = s.Int(3);
  if (!s.Null(4)) d.withdrawn = s.Int(4);
  return d;
}

// SQLite gives the -wal and -shm files the database file's mode, so that one is made
// owner-only first; files an older version left readable by all are tightened.
void OwnerOnly(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string p = path + suffix;
    struct stat st{};
    if (::stat(p.c_str(), &st) == 0 && (st.st_mode & 077) != 0) ::chmod(p.c_str(), 0600);
  }
}

sqlite3* Open(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw StoreError("cannot open " + path + ": " + msg);
  }
  sqlite3_busy_timeout(db, 10000);
  return db;
}

void CreateDefinitionsSchema(sqlite3* db) {
  Exec(db, "PRAGMA journal_mode=WAL");
  Exec(db,
       "CREATE TABLE IF NOT EXISTS definitions(id INTEGER PRIMARY KEY, kind BLOB NOT NULL, body BLOB NOT NULL,"
       " added INTEGER NOT NULL, withdrawn INTEGER);"
       "CREATE INDEX IF NOT EXISTS definitions_added ON definitions(added);"
       "CREATE INDEX IF NOT EXISTS definitions_withdrawn ON definitions(withdrawn);"
       "CREATE INDEX IF NOT EXISTS definitions_live ON definitions(kind, body) WHERE withdrawn IS NULL;"
       "CREATE TABLE IF NOT EXISTS languages(product INTEGER PRIMARY KEY, body BLOB NOT NULL);");
}

}  // namespace

class SqliteStore::Lease {
 public:
  explicit Lease(SqliteStore& s) : s_(s) {
    std::unique_lock lock(s.mu_);
    s.idle_cv_.wait(lock, [&] { return !s.idle_.empty(); });
    db_ = s.idle_.back();
    s.idle_.pop_back();
  }
  ~Lease() {
    {
      std::lock_guard lock(s_.mu_);
      s_.idle_.push_back(db_);
    }
    s_.idle_cv_.notify_one();
  }
  sqlite3* db() const { return db_; }

 private:
  SqliteStore& s_;
  sqlite3* db_ = nullptr;
};

SqliteStore::SqliteStore(const std::string& path, size_t connections, Access access)
    : path_(path), access_(access) {
  OwnerOnly(path);
  if (access == Access::kReadOnly) {
    sqlite3* db = Open(path, SQLITE_OPEN_READWRITE);
    try {
      CreateDefinitionsSchema(db);
    } catch (...) {
      sqlite3_close(db);
      throw;
    }
    sqlite3_close(db);
  }
  try {
    for (size_t i = 0; i < std::max<size_t>(connections, 1); ++i) {
      sqlite3* db = Open(path, access == Access::kReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
      all_.push_back(db);
      idle_.push_back(db);
      if (access == Access::kReadOnly) continue;
      // A committed change survives a crash of the process and of the machine.
      Exec(db, "PRAGMA synchronous=FULL");
      if (i == 0) CreateDefinitionsSchema(db);
    }
  } catch (...) {
    for (sqlite3* db : all_) sqlite3_close(db);
    throw;
  }
}

void SqliteStore::Writable() const {
  if (access_ == Access::kReadOnly) throw StoreError(path_ + " is open read-only");
}

SqliteStore::~SqliteStore() {
  for (sqlite3* db : all_) sqlite3_close(db);
}

std::optional<Seconds> SqliteStore::NewestChange() {
  Lease l(*this);
  return Newest(l.db());
}

std::vector<Change> SqliteStore::ChangesAfter(Seconds since) {
  Lease l(*this);
  Stmt s(l.db(),
         "SELECT id, kind, body, added AS at, 1 FROM definitions WHERE added > ?1 AND withdrawn IS NULL "
         "UNION ALL SELECT id, kind, body, withdrawn AS at, 0 FROM definitions WHERE added <= ?1 AND withdrawn > ?1 "
         "ORDER BY at, id");
  s.Bind(1, since);
  std::vector<Change> out;
  while (s.Step()) out.push_back({s.Int(0), {s.Text(1), s.Text(2)}, s.Int(3), s.Int(4) != 0});
  return out;
}

std::vector<Definition> SqliteStore::All() {
  Lease l(*this);
  Stmt s(l.db(), "SELECT id, kind, body, added, withdrawn FROM definitions ORDER BY coalesce(added, 0), id");
  std::vector<Definition> out;
  while (s.Step()) out.push_back(ReadDefinition(s));
  return out;
}

Committed SqliteStore::Publish(const std::vector<Row>& rows, Seconds wanted) {
  Writable();
  Lease l(*this);
  Transaction tx(l.db());
  Committed c;
  c.at = ChangeTime(l.db(), wanted);
  Stmt live(l.db(), "SELECT 1 FROM definitions WHERE kind = ?1 AND body = ?2 AND withdrawn IS NULL");
  Stmt insert(l.db(), "INSERT INTO definitions(kind, body, added) VALUES (?1, ?2, ?3)");
  for (const Row& row : rows) {
    live.Bind(1, row.kind).Bind(2, row.body);
    const bool present = live.Step();
    live.Reset();
    if (present) {
      ++c.unchanged;
      continue;
    }
    insert.Bind(1, row.kind).Bind(2, row.body).Bind(3, c.at);
    insert.Step();
    insert.Reset();
    c.rows.push_back({sqlite3_last_insert_rowid(l.db()), row, c.at, std::nullopt});
  }
  if (!c.rows.empty()) tx.Commit();
  return c;
}

Committed SqliteStore::Withdraw(std::string_view kind, const std::function<bool(const Row&)>& pick, Seconds wanted) {
  Writable();
  Lease l(*this);
  Transaction tx(l.db());
  Committed c;
  c.at = ChangeTime(l.db(), wanted);
  Stmt live(l.db(), "SELECT id, kind, body, added, withdrawn FROM definitions WHERE kind = ?1 AND withdrawn IS NULL "
                    "ORDER BY id");
  live.Bind(1, kind);
  while (live.Step()) {
    Definition d = ReadDefinition(live);
    if (pick(d.row)) {
      d.withdrawn = c.at;
      c.rows.push_back(std::move(d));
    }
  }
  Stmt update(l.db(), "UPDATE definitions SET withdrawn = ?2 WHERE id = ?1");
  for (const Definition& d : c.rows) {
    update.Bind(1, d.id).Bind(2, c.at);
    update.Step();
    update.Reset();
  }
  if (!c.rows.empty()) tx.Commit();
  return c;
}

std::optional<std::string> SqliteStore::LanguageFile(int product) {
  Lease l(*this);
  Stmt s(l.db(), "SELECT body FROM languages WHERE product = ?1");
  s.Bind(1, int64_t{product});
  if (!s.Step()) return std::nullopt;
  return s.Text(0);
}

void SqliteStore::SetLanguageFile(int product, std::string_view text) {
  Writable();
  Lease l(*this);
  Transaction tx(l.db());
  Stmt s(l.db(), "INSERT OR REPLACE INTO languages(product, body) VALUES (?1, ?2)");
  s.Bind(1, int64_t{product}).Bind(2, text);
  s.Step();
  tx.Commit();
}

SqliteSubmissions::SqliteSubmissions(const std::string& path, uint64_t max_bytes) {
  OwnerOnly(path);
  db_ = Open(path, SQLITE_OPEN_READWRITE);
  try {
    Exec(db_, "PRAGMA journal_mode=WAL");
    // Losing the last few submissions to a power cut is acceptable; an fsync each is not.
    Exec(db_, "PRAGMA synchronous=NORMAL");
    // The log file shrinks back after each checkpoint instead of keeping its largest size.
    Exec(db_, "PRAGMA journal_size_limit=4194304");
    Exec(db_,
         "CREATE TABLE IF NOT EXISTS submissions(id INTEGER PRIMARY KEY, data BLOB NOT NULL UNIQUE,"
         " received INTEGER NOT NULL)");
    Stmt page(db_, "PRAGMA page_size");
    page.Step();
    const uint64_t pages = std::max<uint64_t>(max_bytes / static_cast<uint64_t>(page.Int(0)), 8);
    // SQLite refuses to grow the file past this many pages: SQLITE_FULL, nothing written.
    Exec(db_, ("PRAGMA max_page_count=" + std::to_string(pages)).c_str());
  } catch (...) {
    sqlite3_close(db_);
    throw;
  }
}

SqliteSubmissions::~SqliteSubmissions() { sqlite3_close(db_); }

Submitted SqliteSubmissions::Submit(std::string_view data, Seconds received) {
  std::lock_guard lock(mu_);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO submissions(data, received) VALUES (?1, ?2)", -1, &st,
                         nullptr) != SQLITE_OK)
    Fail(db_, "prepare");
  sqlite3_bind_blob(st, 1, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(st, 2, received);
  const int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc == SQLITE_FULL) return Submitted::kFull;
  if (rc != SQLITE_DONE) Fail(db_, "submit");
  return sqlite3_changes(db_) == 1 ? Submitted::kAdded : Submitted::kSkipped;
}

std::optional<Seconds> SqliteSubmissions::Received(std::string_view data) {
  std::lock_guard lock(mu_);
  Stmt s(db_, "SELECT received FROM submissions WHERE data = ?1");
  s.Bind(1, data);
  if (!s.Step()) return std::nullopt;
  return s.Int(0);
}

void SqliteStore::LoadExactly(const std::vector<Definition>& rows) {
  Writable();
  Lease l(*this);
  Transaction tx(l.db());
  Stmt any(l.db(), "SELECT 1 FROM definitions LIMIT 1");
  if (any.Step()) throw StoreError(path_ + " already holds definitions");
  Stmt insert(l.db(), "INSERT INTO definitions(id, kind, body, added, withdrawn) VALUES (?1, ?2, ?3, ?4, ?5)");
  for (const Definition& d : rows) {
    insert.Bind(1, d.id).Bind(2, d.row.kind).Bind(3, d.row.body).Bind(4, d.added);
    if (d.withdrawn) insert.Bind(5, *d.withdrawn);
    insert.Step();
    insert.Reset();
  }
  tx.Commit();
}

std::vector<std::pair<std::string, Seconds>> SqliteSubmissions::AllSubmissions() {
  std::lock_guard lock(mu_);
  Stmt s(db_, "SELECT data, received FROM submissions ORDER BY received, id");
  std::vector<std::pair<std::string, Seconds>> out;
  while (s.Step()) out.emplace_back(s.Text(0), s.Int(1));
  return out;
}

void SqliteSubmissions::LoadSubmissions(const std::vector<std::pair<std::string, Seconds>>& rows) {
  std::lock_guard lock(mu_);
  Transaction tx(db_);
  Stmt insert(db_, "INSERT OR IGNORE INTO submissions(data, received) VALUES (?1, ?2)");
  for (const auto& [data, received] : rows) {
    insert.Bind(1, data).Bind(2, received);
    insert.Step();
    insert.Reset();
  }
  tx.Commit();
}

std::string SubmissionsPathFor(const std::string& definitions_path) {
  const size_t slash = definitions_path.rfind('/');
  const size_t dot = definitions_path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
    return definitions_path + "-submissions";
  return definitions_path.substr(0, dot) + "-submissions" + definitions_path.substr(dot);
}

}  // namespace kxs
