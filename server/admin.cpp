#include "admin.h"

#include "http_server.h"
#include "package.h"
#include "routes.h"
#include "signer.h"
#include "signing_service.h"
#include "postgres_store.h"
#include "store.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace kxs {

namespace {

const char* kUsage =
    "usage: kestrix-server serve [--port 8080] [--bind 127.0.0.1] [--db kestrix.db]\n"
    "                            [--signer kestrix-signer.sock] [--web DIR]\n"
    "                            [--threads N] [--verbose] [--submissions FILE] [--trust-proxy ADDR]\n"
    "                            [--submissions-max-mb 256] [--submission-rate 1]\n"
    "                            [--max-connections N] [--max-connections-per-address 256]\n"
    "       kestrix-server signer [--signer kestrix-signer.sock] [--db kestrix.db]\n"
    "                            [--key build/keys/signing-key.pem] [--languages DIR] [--threads N]\n"
    "       kestrix-server migrate [--db F]\n"
    "       kestrix-server copy --from DB --to DB    (definitions, language file, submissions)\n"
    "       (--db is a SQLite file or a postgresql:// address)\n"
    "       kestrix-server import DIR [--db F] [--at \"M/D/YYYY h:mm:ss AM\"]\n"
    "       kestrix-server publish KIND BODY [--db F] [--at DATE]\n"
    "       kestrix-server withdraw KIND NAME [--db F] [--at DATE]\n"
    "       kestrix-server list [--db F]\n"
    "       kestrix-server language FILE [--db F]\n"
    "       kestrix-server genkey FILE\n";

std::string Describe(const Row& row) { return row.kind + " " + row.body; }

std::unique_ptr<DefinitionStore> OpenDefinitions(const std::string& db, size_t connections,
                                                 Access access = Access::kReadWrite) {
  if (IsPostgresAddress(db)) return std::make_unique<PostgresStore>(db, connections, access);
  return std::make_unique<SqliteStore>(db, connections, access);
}

// Beside the definitions: their own file for SQLite, their own table for PostgreSQL.
std::unique_ptr<SubmissionStore> OpenSubmissions(const std::string& db, const std::string& given, uint64_t max_bytes,
                                                 std::string& where) {
  where = !given.empty() ? given : IsPostgresAddress(db) ? db : SubmissionsPathFor(db);
  if (IsPostgresAddress(where)) return std::make_unique<PostgresSubmissions>(where, max_bytes);
  return std::make_unique<SqliteSubmissions>(where, max_bytes);
}

// The address without its password, for the log.
std::string Shown(const std::string& db) {
  if (!IsPostgresAddress(db)) return db;
  const size_t scheme = db.find("://") + 3, at = db.find('@', scheme), colon = db.find(':', scheme);
  if (at == std::string::npos || colon == std::string::npos || colon > at) return db;
  return db.substr(0, colon) + ":***" + db.substr(at);
}

}  // namespace

int Admin::Run(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      out = args[++i];
    };
    std::string v;
    if (a == "--db") value(db_);
    else if (a == "--key") value(key_), key_given_ = true;
    else if (a == "--languages") value(languages_), languages_given_ = true;
    else if (a == "--signer") value(signer_);
    else if (a == "--web") value(web_);
    else if (a == "--bind") value(bind_);
    else if (a == "--at") value(at_);
    else if (a == "--submissions") value(submissions_);
    else if (a == "--submissions-max-mb") value(v), submissions_max_mb_ = std::stoull(v);
    else if (a == "--submission-rate") value(v), submission_rate_ = std::stod(v);
    else if (a == "--max-connections") value(v), max_connections_ = std::stoi(v);
    else if (a == "--max-connections-per-address") value(v), max_per_address_ = std::stoi(v);
    else if (a == "--port") value(v), port_ = std::stoi(v);
    else if (a == "--threads") value(v), threads_ = std::max(1, std::stoi(v));
    else if (a == "--trust-proxy") value(v), trusted_proxies_.push_back(v);
    else if (a == "--from") value(from_);
    else if (a == "--to") value(to_);
    else if (a == "--verbose") verbose_ = true;
    else if (a.size() > 2 && a.rfind("--", 0) == 0) throw std::invalid_argument("unknown option " + a);
    else positional_.push_back(a);
  }
  const std::string cmd = positional_.empty() ? "" : positional_[0];
  auto need = [&](size_t n) {
    if (positional_.size() != n + 1) throw std::invalid_argument(cmd + " takes " + std::to_string(n) + " argument(s)");
  };
  if (cmd == "serve") return need(0), Serve();
  if (cmd == "signer") return need(0), SignerProcess();
  if (cmd == "import") return need(1), Import(positional_[1]);
  if (cmd == "migrate") return need(0), Migrate();
  if (cmd == "copy") return need(0), Copy();
  if (cmd == "publish") return need(2), Publish(positional_[1], positional_[2]);
  if (cmd == "withdraw") return need(2), Withdraw(positional_[1], positional_[2]);
  if (cmd == "list") return need(0), List();
  if (cmd == "genkey") return need(1), GenKey(positional_[1]);
  if (cmd == "language") return need(1), Language(positional_[1]);
  std::fputs(kUsage, stderr);
  return 2;
}

bool Admin::ChangeTime(DefinitionStore& store, long long& at) {
  if (at_.empty()) {
    at = store.ClockNow();
    return true;
  }
  auto parsed = ParseDate(at_);
  if (!parsed) {
    LogLine("error: --at \"" + at_ + "\" is not a date (M/D/YYYY h:mm:ss AM)");
    return false;
  }
  // A date far ahead would stay the current date, and one past 9999 could not be written in
  // the client's form, so every later change would be unreadable too.
  if (const Seconds now = store.ClockNow(); *parsed > now + 86400) {
    LogLine("error: --at \"" + at_ + "\" is more than one day ahead of now (" + FormatDate(now) + ")");
    return false;
  }
  at = *parsed;
  return true;
}

namespace {

// SIGINT and SIGTERM, blocked before any thread starts so only the final wait receives them.
sigset_t BlockStopSignals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  // A peer that goes away mid-answer (a client, the log reader) is not a reason to stop.
  std::signal(SIGPIPE, SIG_IGN);
  return stop;
}

int WaitForStop(sigset_t& stop) {
  int sig = 0;
  sigwait(&stop, &sig);
  LogLine("stopping (signal " + std::to_string(sig) + ")");
  return 0;
}

}  // namespace

int Admin::Serve() {
  if (key_given_ || languages_given_) {
    LogLine(std::string("error: serve holds no private key and signs nothing: give ") +
            (key_given_ ? "--key" : "--languages") + " to `kestrix-server signer` and --signer SOCKET to serve");
    return 2;
  }
  sigset_t stop = BlockStopSignals();
  const auto store = OpenDefinitions(db_, static_cast<size_t>(threads_) + 1, Access::kReadOnly);
  std::string submissions_path;
  const auto submissions = OpenSubmissions(db_, submissions_, submissions_max_mb_ << 20, submissions_path);
  SignerClient signer(signer_);
  FrontCache front(*store, signer);
  Routes routes(*submissions, front, web_);
  routes.SetSubmissionRate(submission_rate_, std::max(20.0, submission_rate_));
  HttpOptions opt;
  opt.bind = bind_;
  opt.port = port_;
  opt.threads = threads_;
  opt.verbose = verbose_;
  opt.trusted_proxies = trusted_proxies_;
  opt.connection_limit = max_connections_;
  opt.per_address_connection_limit = max_per_address_;
  // A package not yet made (asked directly or by the balancer) and the language file wait on the signer.
  opt.slow_paths = {"/asp/getdefsnew.asp", "/languages/", "/_kestrix/package/"};
  HttpServer server(opt, [&](const HttpRequest& r) { return routes.Handle(r); });
  server.Start();
  LogLine("kestrix-server listening on " + bind_ + ":" + std::to_string(server.port()) + " (database " + Shown(db_) +
          " read-only, submissions " + Shown(submissions_path) + ", signer " + signer_ + ", current date " +
          front.CurrentDateText() + ", " + std::to_string(threads_) + " threads)");
  WaitForStop(stop);
  server.Stop();
  return 0;
}

int Admin::SignerProcess() {
  sigset_t stop = BlockStopSignals();
  std::unique_ptr<Signer> key;
  try {
    key = std::make_unique<Signer>(key_);
  } catch (const KeyError& e) {
    LogLine(std::string("error: ") + e.what() + "; not starting");
    return 2;
  }
  const auto store = OpenDefinitions(db_, 2, Access::kReadOnly);
  LocalSigner local(*store, *key, languages_);
  SignerServer server(local, signer_, std::min(threads_, 4));
  server.Start();
  LogLine("kestrix-server signer on " + signer_ + " (key " + key->KeyId() + ", database " + Shown(db_) +
          " read-only, current date " + LocalSigner::CurrentDateText(*store) + ")");
  WaitForStop(stop);
  server.Stop();
  return 0;
}

int Admin::Import(const std::string& dir) {
  const auto store = OpenDefinitions(db_, 1);
  long long at;
  if (!ChangeTime(*store, at)) return 2;
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& name : ImportFileNames()) {
    std::string text;
    if (ReadRegularFile(dir + "/" + name, text)) files.emplace_back(name, std::move(text));
  }
  if (files.empty()) {
    LogLine("error: no definition files in " + dir);
    return 1;
  }
  size_t skipped = 0;
  const auto rows = MapDefinitionFiles(files, [&](const std::string& file, const std::string& line,
                                                  const std::string& why) {
    ++skipped;
    LogLine("import: skipped " + file + " line \"" + line + "\": " + why);
  });
  const Committed c = store->Publish(rows, at);
  if (c.rows.empty()) {
    LogLine("import " + dir + ": nothing new (" + std::to_string(c.unchanged) + " already live, " +
            std::to_string(skipped) + " skipped)");
    return 0;
  }
  if (c.at != at) LogLine("import: change time moved to " + FormatDate(c.at) + ", after the newest change");
  LogLine("import " + dir + ": " + std::to_string(c.rows.size()) + " added at " + FormatDate(c.at) + " (" +
          std::to_string(c.unchanged) + " already live, " + std::to_string(skipped) + " skipped)");
  return 0;
}

int Admin::Publish(const std::string& kind, const std::string& body) {
  const auto store = OpenDefinitions(db_, 1);
  long long at;
  if (!ChangeTime(*store, at)) return 2;
  const Row row{kind, body};
  if (std::string why = RowProblem(row); !why.empty()) {
    LogLine("error: cannot publish " + Describe(row) + ": " + why);
    return 1;
  }
  const Committed c = store->Publish({row}, at);
  if (c.rows.empty()) {
    LogLine("publish: " + Describe(row) + " is already live");
    return 0;
  }
  LogLine("published #" + std::to_string(c.rows[0].id) + " " + Describe(row) + " at " + FormatDate(c.at));
  return 0;
}

int Admin::Withdraw(const std::string& kind, const std::string& name) {
  const auto store = OpenDefinitions(db_, 1);
  long long at;
  if (!ChangeTime(*store, at)) return 2;
  const Committed c = store->Withdraw(kind, [&](const Row& r) { return NameMatches(r, name); }, at);
  if (c.rows.empty()) {
    LogLine("withdraw: no live " + kind + " definition named \"" + name + "\"");
    return 1;
  }
  for (const Definition& d : c.rows)
    LogLine("withdrawn #" + std::to_string(d.id) + " " + Describe(d.row) + " at " + FormatDate(c.at));
  return 0;
}

int Admin::List() {
  const auto store = OpenDefinitions(db_, 1, Access::kReadOnly);
  for (const Definition& d : store->All())
    std::cout << d.id << '\t' << d.row.kind << '\t' << FormatDate(d.added) << '\t'
              << (d.withdrawn ? FormatDate(*d.withdrawn) : "live") << '\t' << d.row.body << '\n';
  return 0;
}

int Admin::Migrate() {
  if (IsPostgresAddress(db_)) {
    MigratePostgres(db_);
  } else {
    SqliteStore schema(db_, 1);  // opening read-write creates or completes the schema
  }
  LogLine("schema of " + Shown(db_) + " is current");
  return 0;
}

int Admin::Copy() {
  if (from_.empty() || to_.empty()) throw std::invalid_argument("copy needs --from and --to");
  const auto from = OpenDefinitions(from_, 1, Access::kReadOnly);
  const auto to = OpenDefinitions(to_, 1);
  const std::vector<Definition> rows = from->All();
  to->LoadExactly(rows);
  if (auto language = from->LanguageFile(kProductNumber)) to->SetLanguageFile(kProductNumber, *language);
  std::string from_where, to_where;
  const auto subs = OpenSubmissions(from_, "", ~uint64_t{0}, from_where)->AllSubmissions();
  OpenSubmissions(to_, "", ~uint64_t{0}, to_where)->LoadSubmissions(subs);
  LogLine("copied " + std::to_string(rows.size()) + " definitions and " + std::to_string(subs.size()) +
          " submissions from " + Shown(from_) + " to " + Shown(to_) + " (current date " +
          LocalSigner::CurrentDateText(*to) + ")");
  return 0;
}

int Admin::GenKey(const std::string& file) {
  GenerateKeyFile(file);
  LogLine("wrote a new RSA 3072-bit signing key to " + file);
  return 0;
}

int Admin::Language(const std::string& file) {
  std::string text;
  if (!ReadRegularFile(file, text)) {
    LogLine("error: cannot read " + file);
    return 1;
  }
  OpenDefinitions(db_, 1)->SetLanguageFile(kProductNumber, text);
  LogLine("language file " + file + " stored (" + std::to_string(text.size()) + " bytes)");
  return 0;
}

}  // namespace kxs
