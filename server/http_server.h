// A small HTTP/1.1 server: one thread waits on every connection with epoll and a pool of
// workers answers complete requests. An idle keep-alive connection holds no worker, so a
// thousand of them do not keep other clients waiting.
#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kxs {

struct HttpRequest {
  std::string method;
  std::string path;   // percent-decoded
  std::string query;  // raw, as received
  std::string target;
  std::string client;  // the peer's address, e.g. "127.0.0.1"
};

struct HttpResponse {
  int status = 200;
  std::string content_type = "text/plain";
  std::string body;
  std::shared_ptr<const std::string> shared_body;  // used instead of body when set
};

struct HttpOptions {
  std::string bind = "127.0.0.1";
  int port = 8080;  // 0: any free port
  int threads = 4;
  int idle_timeout_seconds = 15;
  int max_requests_per_connection = 1000;
  size_t max_head_bytes = 16 * 1024;
  bool verbose = false;
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
  int port() const { return port_; }
  size_t open_connections();

 private:
  struct Conn;
  void Loop();
  void Accept();
  void Readable(uint64_t id);
  void Serve(uint64_t id);
  void Close(uint64_t id);
  void Rearm(Conn& c);
  void Sweep();
  bool Answer(Conn& c, const std::string& head_text);
  void Worker();

  HttpOptions opt_;
  Handler handler_;
  int listen_fd_ = -1, epoll_fd_ = -1, wake_fd_ = -1, port_ = 0;
  std::atomic<bool> running_{false};
  std::thread loop_;
  std::vector<std::thread> workers_;

  std::mutex conns_mu_;
  std::unordered_map<uint64_t, std::unique_ptr<Conn>> conns_;
  uint64_t next_id_ = 2;

  std::mutex queue_mu_;
  std::condition_variable queue_cv_;
  std::deque<uint64_t> queue_;
  bool stopping_ = false;
};

// One line on stdout, with the time; safe from any thread.
void LogLine(const std::string& line);

}  // namespace kxs
