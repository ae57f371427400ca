// The server's HTTP front on GNU libmicrohttpd: a pool of threads, each waiting with epoll on
// its share of the connections, non-blocking writes (a client that never reads holds no
// thread), a total and a per-address connection cap, an idle timeout. The handler gets the
// request target exactly as received, raw blanks and bytes >= 0x80 included.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kxs {

struct HttpRequest {
  std::string method;
  std::string path;    // percent-decoded
  std::string query;   // raw, as received
  std::string target;  // raw, as received
  std::string client;  // the peer's address, e.g. "127.0.0.1"; behind a trusted proxy, its X-Real-IP
  bool via_proxy = false;  // came through a trusted proxy
  bool accel = false;      // that proxy serves X-Accel-Redirect answers from its own cache
};

struct HttpResponse {
  int status = 200;
  std::string content_type = "text/plain";
  std::string body;
  std::shared_ptr<const std::string> shared_body;  // used instead of body when set
  std::vector<std::pair<std::string, std::string>> headers;  // beyond Content-Type
};

struct HttpOptions {
  std::string bind = "127.0.0.1";
  int port = 8080;  // 0: any free port
  int threads = 4;
  int idle_timeout_seconds = 15;
  int connection_limit = 0;              // 0: the descriptor limit less what the rest needs
  int per_address_connection_limit = 256;  // never more than half the connection limit
  size_t connection_memory = 16 * 1024;   // request head and the answer's head
  int log_lines_per_address = 20;        // a second; the rest are counted in one line
  bool verbose = false;                  // the request headers in the log too
  // Paths (prefixes, any case) whose answers may wait on another process: answered by
  // slow_workers threads of their own with the connection suspended meanwhile.
  std::vector<std::string> slow_paths;
  int slow_workers = 8;
  // Proxies (nginx) whose X-Real-IP names the client: per-address limits apply to it.
  std::vector<std::string> trusted_proxies;
};

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;
  HttpServer(HttpOptions options, Handler handler);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and starts serving; throws std::runtime_error when the address cannot be bound.
  void Start();
  void Stop();
  int port() const;
  size_t open_connections() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// One line on stdout, with the time, written at once; safe from any thread. For start,
// stop, errors and the admin commands; requests go through a buffered, rate-limited log.
void LogLine(const std::string& line);

}  // namespace kxs
