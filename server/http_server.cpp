#include "http_server.h"

#include "request.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <cctype>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>

namespace kxs {

namespace {

std::string Stamp(std::time_t now) {
  thread_local std::time_t last = -1;
  thread_local char text[32];
  if (now != last) {
    std::tm tm{};
    localtime_r(&now, &tm);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    last = now;
  }
  return text;
}

// stdout behind a buffer: request lines are appended and written by a timer, so a request
// never waits on the terminal or on a log reader that has stalled. Past kMaxPending the
// lines are only counted.
class Log {
 public:
  static Log& Get() {
    static Log* log = new Log;  // never destroyed: threads may log while the program exits
    return *log;
  }
  void Add(const std::string& line) {
    std::lock_guard lock(mu_);
    if (pending_.size() + line.size() > kMaxPending) {
      ++dropped_;
      return;
    }
    pending_ += line;
  }
  void Flush() {
    std::lock_guard io(io_mu_);
    std::string out;
    {
      std::lock_guard lock(mu_);
      out.swap(pending_);
      if (dropped_) {
        out += Stamp(std::time(nullptr)) + " " + std::to_string(dropped_) +
               " log lines dropped: the log was not read fast enough\n";
        dropped_ = 0;
      }
    }
    for (size_t done = 0; done < out.size();) {
      const ssize_t n = ::write(STDOUT_FILENO, out.data() + done, out.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // nobody reads the log any more: the server goes on without it
      done += static_cast<size_t>(n);
    }
  }

 private:
  static constexpr size_t kMaxPending = 4 << 20;
  std::mutex mu_, io_mu_;
  std::string pending_;
  uint64_t dropped_ = 0;
};

struct Shared {
  std::shared_ptr<const std::string> body;
};

void FreeString(void* p) { delete static_cast<std::string*>(p); }
void FreeShared(void* p) { delete static_cast<Shared*>(p); }

std::string ClientText(MHD_Connection* c) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info || !info->client_addr) return "?";
  char text[INET6_ADDRSTRLEN] = "?";
  const sockaddr* sa = info->client_addr;
  if (sa->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
  else if (sa->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, text, sizeof text);
  return text;
}

}  // namespace

void LogLine(const std::string& line) {
  Log::Get().Add(Stamp(std::time(nullptr)) + " " + line + "\n");
  Log::Get().Flush();
}

struct HttpServer::Impl {
  HttpOptions opt;
  Handler handler;
  MHD_Daemon* daemon = nullptr;
  int port = 0;
  std::atomic<size_t> open{0};
  size_t limit = 0;

  std::thread flusher;
  std::mutex flusher_mu;
  std::condition_variable flusher_cv;
  bool stopping = false;

  struct Window {
    std::time_t second = 0;
    int logged = 0;
    uint64_t unlogged = 0;
  };
  std::mutex windows_mu;
  std::unordered_map<std::string, Window> windows;

  // At most log_lines_per_address lines a second from one address; the rest are counted
  // and told in one line when that second is over.
  // The line is only made when it is written: most of a flood's lines are not.
  template <typename MakeLine>
  void Request(const std::string& who, MakeLine make_line) {
    const std::time_t now = std::time(nullptr);
    {
      std::lock_guard lock(windows_mu);
      Window& w = windows[who];
      if (w.second != now) {
        if (w.unlogged) Log::Get().Add(Unlogged(w.unlogged, who, now));
        w = {now, 0, 0};
      }
      if (w.logged >= opt.log_lines_per_address) {
        ++w.unlogged;
        return;
      }
      ++w.logged;
    }
    Log::Get().Add(Stamp(now) + " " + make_line() + "\n");
  }
  static std::string Unlogged(uint64_t n, const std::string& who, std::time_t now) {
    return Stamp(now) + " " + std::to_string(n) + " more requests from " + who + " not logged\n";
  }
  void Sweep() {
    const std::time_t now = std::time(nullptr);
    std::lock_guard lock(windows_mu);
    for (auto it = windows.begin(); it != windows.end();) {
      if (it->second.second == now) {
        ++it;
        continue;
      }
      if (it->second.unlogged) Log::Get().Add(Unlogged(it->second.unlogged, it->first, now));
      it = windows.erase(it);
    }
  }
  void FlushLoop() {
    std::unique_lock lock(flusher_mu);
    while (!flusher_cv.wait_for(lock, std::chrono::milliseconds(200), [&] { return stopping; })) {
      lock.unlock();
      Sweep();
      Log::Get().Flush();
      lock.lock();
    }
  }

  // One request's state, made when its request line is read.
  struct Pending {
    std::string uri;  // as received, before any unescaping
    bool headers_seen = false;
    std::optional<HttpResponse> answer;  // made by a worker while the connection was suspended
  };

  // Requests that may wait (on the signer) are answered by workers, with their connection
  // suspended: a libmicrohttpd thread never waits, so its other connections do not either.
  std::vector<std::thread> workers;
  std::mutex jobs_mu;
  std::condition_variable jobs_cv;
  std::deque<std::function<void()>> jobs;
  bool workers_stopping = false;
  void Work() {
    std::unique_lock lock(jobs_mu);
    for (;;) {
      jobs_cv.wait(lock, [&] { return workers_stopping || !jobs.empty(); });
      if (jobs.empty()) return;
      auto job = std::move(jobs.front());
      jobs.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }
  bool MayWait(const std::string& path) const {
    for (const std::string& prefix : opt.slow_paths)
      if (path.size() >= prefix.size() &&
          std::equal(prefix.begin(), prefix.end(), path.begin(),
                     [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); }))
        return true;
    return false;
  }
  HttpResponse Call(const HttpRequest& req) {
    try {
      return handler(req);
    } catch (const std::exception& e) {
      LogLine("error: " + std::string(e.what()) + " answering " + EscapeForLog(req.target));
      return {500, "text/plain", "internal error\n", nullptr, {}};
    }
  }
  static void* UriLog(void*, const char* uri, MHD_Connection*) { return new Pending{uri}; }
  static size_t Unescape(void*, MHD_Connection*, char* s) { return std::strlen(s); }
  static void Completed(void*, MHD_Connection*, void** con_cls, MHD_RequestTerminationCode) {
    delete static_cast<Pending*>(*con_cls);
    *con_cls = nullptr;
  }
  static MHD_Result Admit(void* cls, const sockaddr*, socklen_t) {
    auto* self = static_cast<Impl*>(cls);
    return self->open < self->limit ? MHD_YES : MHD_NO;
  }
  static void Notify(void* cls, MHD_Connection*, void**, MHD_ConnectionNotificationCode code) {
    auto* self = static_cast<Impl*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) ++self->open;
    else --self->open;
  }
  static void Error(void* cls, const char* fmt, va_list ap) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    std::string_view msg(text);
    while (!msg.empty() && msg.back() == '\n') msg.remove_suffix(1);
    static_cast<Impl*>(cls)->Request("libmicrohttpd", [&] { return "libmicrohttpd: " + EscapeForLog(msg); });
  }
  static MHD_Result Header(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* out = static_cast<std::string*>(cls);
    *out += " | " + EscapeForLog(key) + ": " + EscapeForLog(value ? value : "");
    return MHD_YES;
  }

  static MHD_Result Access(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                           const char*, size_t* upload_size, void** con_cls) {
    auto* self = static_cast<Impl*>(cls);
    auto* pending = static_cast<Pending*>(*con_cls);
    if (*upload_size) {  // a body after the answer was queued: read and ignored
      *upload_size = 0;
      return MHD_YES;
    }
    HttpRequest req;
    req.method = method;
    req.target = pending ? pending->uri : url;
    req.client = ClientText(c);
    if (!self->opt.trusted_proxies.empty() &&
        std::find(self->opt.trusted_proxies.begin(), self->opt.trusted_proxies.end(), req.client) !=
            self->opt.trusted_proxies.end()) {
      req.via_proxy = true;
      const char* real = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Real-IP");
      // Only an address is taken: it becomes a log field and a limiter key.
      if (real && *real && std::strlen(real) <= 45 && std::strspn(real, "0123456789abcdefABCDEF:.") == std::strlen(real))
        req.client = real;
      const char* accel = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Kestrix-Accel");
      req.accel = accel && std::strcmp(accel, "1") == 0;
    }
    HttpResponse res;
    const size_t q = req.target.find('?');
    if (q != std::string::npos) req.query = req.target.substr(q + 1);
    const bool get = req.method == "GET" || req.method == "HEAD";
    if (!get) {
      res = {405, "text/plain", "method not allowed\n", nullptr, {}};
    } else if (MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) ||
               [&] {
                 const char* len = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
                 return len && std::strspn(len, "0") != std::strlen(len);
               }()) {
      res = {400, "text/plain", "a request with a body\n", nullptr, {}};
    } else if (req.target.empty() || req.target[0] != '/' ||
               !PercentDecode(std::string_view(req.target).substr(0, q), req.path)) {
      res = {400, "text/plain", "bad request target\n", nullptr, {}};
    } else if (pending && !pending->headers_seen) {
      // Answered on the next call, once MHD knows the request is whole: an answer queued
      // before that costs the connection its keep-alive.
      pending->headers_seen = true;
      return MHD_YES;
    } else if (pending && pending->answer) {
      res = std::move(*pending->answer);
    } else if (pending && !self->workers.empty() && self->MayWait(req.path)) {
      MHD_suspend_connection(c);
      {
        std::lock_guard lock(self->jobs_mu);
        // The connection stays until resumed, so `pending` does too; untouched after resuming.
        self->jobs.push_back([self, c, pending, req] {
          pending->answer = self->Call(req);
          MHD_resume_connection(c);
        });
      }
      self->jobs_cv.notify_one();
      return MHD_YES;
    } else {
      res = self->Call(req);
    }

    MHD_Response* r;
    size_t size;
    if (res.shared_body) {
      auto* hold = new Shared{std::move(res.shared_body)};
      size = hold->body->size();
      r = MHD_create_response_from_buffer_with_free_callback_cls(size, const_cast<char*>(hold->body->data()),
                                                                 FreeShared, hold);
    } else {
      auto* hold = new std::string(std::move(res.body));
      size = hold->size();
      r = MHD_create_response_from_buffer_with_free_callback_cls(size, hold->data(), FreeString, hold);
    }
    if (!r) return MHD_NO;
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, res.content_type.c_str());
    if (res.status == 405) MHD_add_response_header(r, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    for (const auto& [name, value] : res.headers) MHD_add_response_header(r, name.c_str(), value.c_str());
    const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(res.status), r);
    MHD_destroy_response(r);

    self->Request(req.client, [&] {
      // A long target is cut: 20 lines of 8 KB a second from each address would be a flood too.
      constexpr size_t kShown = 200;
      std::string line = req.client + " " + EscapeForLog(req.method) + " " +
                         EscapeForLog(std::string_view(req.target).substr(0, kShown)) +
                         (req.target.size() > kShown ? "... (" + std::to_string(req.target.size()) + " bytes)" : "") +
                         " " + std::to_string(res.status) + " " + std::to_string(size);
      if (self->opt.verbose) MHD_get_connection_values(c, MHD_HEADER_KIND, Header, &line);
      return line;
    });
    return queued;
  }
};

HttpServer::HttpServer(HttpOptions options, Handler handler) : impl_(std::make_unique<Impl>()) {
  impl_->opt = std::move(options);
  impl_->handler = std::move(handler);
}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::port() const { return impl_->port; }
size_t HttpServer::open_connections() const { return impl_->open; }

void HttpServer::Start() {
  Impl& m = *impl_;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(m.opt.port));
  if (inet_pton(AF_INET, m.opt.bind.c_str(), &addr.sin_addr) != 1)
    throw std::runtime_error("not an IPv4 address: " + m.opt.bind);

  const unsigned threads = static_cast<unsigned>(std::max(1, m.opt.threads));
  unsigned limit = static_cast<unsigned>(std::max(0, m.opt.connection_limit));
  if (limit == 0) {
    // What the rest of the process holds: stdio, the databases, a pipe and an epoll per thread.
    rlimit rl{};
    getrlimit(RLIMIT_NOFILE, &rl);
    const rlim_t margin = 32 + 4 * threads;
    const rlim_t have = rl.rlim_cur == RLIM_INFINITY ? 65536 : rl.rlim_cur;
    limit = static_cast<unsigned>(std::clamp<rlim_t>(have > margin ? have - margin : 8, 8, 1 << 20));
  }
  m.limit = limit;
  const unsigned per_address =
      std::max(1u, std::min(static_cast<unsigned>(std::max(1, m.opt.per_address_connection_limit)), limit / 2));

  m.daemon = MHD_start_daemon(
      MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG | MHD_USE_TURBO | MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME, 0, &Impl::Admit, &m, &Impl::Access, &m,
      MHD_OPTION_EXTERNAL_LOGGER, &Impl::Error, &m,
      MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&addr),
      MHD_OPTION_THREAD_POOL_SIZE, threads,
      // libmicrohttpd splits this between its threads, and a thread at its share closes what
      // it accepts, an honest client too while other threads have room: so every thread may
      // take the whole, and Admit keeps the total.
      MHD_OPTION_CONNECTION_LIMIT, limit * threads,
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, per_address,
      MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(std::max(1, m.opt.idle_timeout_seconds)),
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, m.opt.connection_memory,
      MHD_OPTION_URI_LOG_CALLBACK, &Impl::UriLog, &m,
      MHD_OPTION_UNESCAPE_CALLBACK, &Impl::Unescape, &m,
      MHD_OPTION_NOTIFY_COMPLETED, &Impl::Completed, &m,
      MHD_OPTION_NOTIFY_CONNECTION, &Impl::Notify, &m,
      MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u,
      MHD_OPTION_END);
  if (!m.daemon) throw std::runtime_error("cannot listen on " + m.opt.bind + ":" + std::to_string(m.opt.port));
  const MHD_DaemonInfo* info = MHD_get_daemon_info(m.daemon, MHD_DAEMON_INFO_BIND_PORT);
  m.port = info ? info->port : m.opt.port;
  m.stopping = false;
  m.flusher = std::thread([&m] { m.FlushLoop(); });
  m.workers_stopping = false;
  if (!m.opt.slow_paths.empty())
    for (int i = 0; i < std::max(1, m.opt.slow_workers); ++i) m.workers.emplace_back([&m] { m.Work(); });
}

void HttpServer::Stop() {
  Impl& m = *impl_;
  if (!m.daemon) return;
  {
    // Every suspended connection is resumed before the daemon may stop.
    std::lock_guard lock(m.jobs_mu);
    m.workers_stopping = true;
  }
  m.jobs_cv.notify_all();
  for (auto& w : m.workers) w.join();
  m.workers.clear();
  MHD_stop_daemon(m.daemon);
  m.daemon = nullptr;
  {
    std::lock_guard lock(m.flusher_mu);
    m.stopping = true;
  }
  m.flusher_cv.notify_all();
  m.flusher.join();
  m.Sweep();
  Log::Get().Flush();
}

}  // namespace kxs
