// Storage of the vendor server behind two narrow interfaces, so that another database can
// take SQLite's place. Every change is one transaction.
#pragma once
#include "mapping.h"
#include "text.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace kxs {

struct Definition {
  int64_t id = 0;
  Row row;
  Seconds added = 0;
  std::optional<Seconds> withdrawn;
};

// One package record: an addition (at its added time) or a withdrawal (at its withdrawn time).
struct Change {
  int64_t id = 0;
  Row row;
  Seconds at = 0;
  bool add = true;
};

struct Committed {
  Seconds at = 0;                  // the change time given to the rows
  std::vector<Definition> rows;    // rows added or withdrawn
  size_t unchanged = 0;            // rows already live (publish) or not found (none)
};

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DefinitionStore {
 public:
  virtual ~DefinitionStore() = default;
  // The newest added or withdrawn time; none before the first publish.
  virtual std::optional<Seconds> NewestChange() = 0;
  // Additions after `since` still live, and withdrawals after `since` of rows added at or
  // before it; by change time, then id.
  virtual std::vector<Change> ChangesAfter(Seconds since) = 0;
  virtual std::vector<Definition> All() = 0;
  // Change times are whole seconds, strictly after the newest change: `wanted` moves forward
  // when it is not, so nothing hides behind a date a client already holds.
  virtual Committed Publish(const std::vector<Row>& rows, Seconds wanted) = 0;
  virtual Committed Withdraw(std::string_view kind, const std::function<bool(const Row&)>& pick, Seconds wanted) = 0;
  virtual std::optional<std::string> LanguageFile(int product) = 0;
  virtual void SetLanguageFile(int product, std::string_view text) = 0;
  // The wall clock a change is stamped with when the administrator gives no time.
  virtual Seconds ClockNow() { return NowLocal(); }
  // Moving to another database: the rows exactly as they are (ids, times), into a store that
  // holds no definition yet, in one transaction. Throws StoreError otherwise.
  virtual void LoadExactly(const std::vector<Definition>& rows) = 0;
};

enum class Submitted { kAdded, kSkipped, kFull };

class SubmissionStore {
 public:
  virtual ~SubmissionStore() = default;
  // kAdded when these bytes were never submitted before, kFull when the store is at its cap.
  virtual Submitted Submit(std::string_view data, Seconds received) = 0;
  virtual std::optional<Seconds> Received(std::string_view data) = 0;
  // Every submission with its time, oldest first; for moving to another database.
  virtual std::vector<std::pair<std::string, Seconds>> AllSubmissions() = 0;
  // Adds these with their own times, skipping any already held; one transaction.
  virtual void LoadSubmissions(const std::vector<std::pair<std::string, Seconds>>& rows) = 0;
};

enum class Access { kReadWrite, kReadOnly };

// Database files are created owner-only (0600) and tightened to it when found wider.
// SQLite in WAL mode; a small pool of connections serves concurrent readers. kReadOnly is
// the front's view: changes throw StoreError; a missing file gets the empty schema first.
class SqliteStore final : public DefinitionStore {
 public:
  explicit SqliteStore(const std::string& path, size_t connections = 4, Access access = Access::kReadWrite);
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  std::optional<Seconds> NewestChange() override;
  std::vector<Change> ChangesAfter(Seconds since) override;
  std::vector<Definition> All() override;
  Committed Publish(const std::vector<Row>& rows, Seconds wanted) override;
  Committed Withdraw(std::string_view kind, const std::function<bool(const Row&)>& pick, Seconds wanted) override;
  std::optional<std::string> LanguageFile(int product) override;
  void SetLanguageFile(int product, std::string_view text) override;
  void LoadExactly(const std::vector<Definition>& rows) override;

 private:
  class Lease;
  void Writable() const;
  std::string path_;
  Access access_;
  std::mutex mu_;
  std::condition_variable idle_cv_;
  std::vector<sqlite3*> idle_;
  std::vector<sqlite3*> all_;
};

// Submissions in a file of their own, so that a flood can neither lock nor grow the
// definitions. Past max_bytes (the database file) Submit answers kFull and stores nothing.
class SqliteSubmissions final : public SubmissionStore {
 public:
  SqliteSubmissions(const std::string& path, uint64_t max_bytes);
  ~SqliteSubmissions() override;
  SqliteSubmissions(const SqliteSubmissions&) = delete;
  SqliteSubmissions& operator=(const SqliteSubmissions&) = delete;

  Submitted Submit(std::string_view data, Seconds received) override;
  std::optional<Seconds> Received(std::string_view data) override;
  std::vector<std::pair<std::string, Seconds>> AllSubmissions() override;
  void LoadSubmissions(const std::vector<std::pair<std::string, Seconds>>& rows) override;

 private:
  std::mutex mu_;
  sqlite3* db_ = nullptr;
};

// "dir/kestrix.db" -> "dir/kestrix-submissions.db"; "-submissions" is appended when the
// name has no extension.
std::string SubmissionsPathFor(const std::string& definitions_path);

}  // namespace kxs
