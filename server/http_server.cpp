#include "http_server.h"

#include "request.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace kxs {

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kListenId = 0, kWakeId = 1;
constexpr int kWriteTimeoutMs = 10000;

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    default: return "Internal Server Error";
  }
}

// Writes everything, waiting while the peer's window is full.
bool WriteAll(int fd, const std::string& head, const std::string* body) {
  size_t done = 0;
  const size_t total = head.size() + (body ? body->size() : 0);
  while (done < total) {
    iovec iov[2];
    int n = 0;
    if (done < head.size()) iov[n++] = {const_cast<char*>(head.data()) + done, head.size() - done};
    if (body && !body->empty()) {
      const size_t off = done > head.size() ? done - head.size() : 0;
      iov[n++] = {const_cast<char*>(body->data()) + off, body->size() - off};
    }
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = static_cast<size_t>(n);
    const ssize_t w = sendmsg(fd, &msg, MSG_NOSIGNAL);
    if (w > 0) {
      done += static_cast<size_t>(w);
    } else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kWriteTimeoutMs) <= 0) return false;
    } else if (w < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

void LogLine(const std::string& line) {
  static std::mutex mu;
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
  std::lock_guard lock(mu);
  std::printf("%s %s\n", stamp, line.c_str());
  std::fflush(stdout);
}

struct HttpServer::Conn {
  uint64_t id;
  int fd;
  std::string buf;
  Clock::time_point last;
  int served = 0;
  bool busy = false;
};

HttpServer::HttpServer(HttpOptions options, Handler handler) : opt_(std::move(options)), handler_(std::move(handler)) {}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::Start() {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(opt_.port));
  if (inet_pton(AF_INET, opt_.bind.c_str(), &addr.sin_addr) != 1) {
    close(listen_fd_);
    listen_fd_ = -1;
    throw std::runtime_error("not an IPv4 address: " + opt_.bind);
  }
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listen_fd_, SOMAXCONN) != 0) {
    const std::string why = std::strerror(errno);
    close(listen_fd_);
    listen_fd_ = -1;
    throw std::runtime_error("cannot listen on " + opt_.bind + ":" + std::to_string(opt_.port) + ": " + why);
  }
  socklen_t len = sizeof addr;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);

  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = kListenId;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, listen_fd_, &ev);
  ev.data.u64 = kWakeId;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &ev);

  running_ = true;
  stopping_ = false;
  for (int i = 0; i < std::max(opt_.threads, 1); ++i) workers_.emplace_back([this] { Worker(); });
  loop_ = std::thread([this] { Loop(); });
}

void HttpServer::Stop() {
  if (!running_.exchange(false)) return;
  uint64_t one = 1;
  (void)!write(wake_fd_, &one, sizeof one);
  loop_.join();
  {
    std::lock_guard lock(queue_mu_);
    stopping_ = true;
  }
  queue_cv_.notify_all();
  for (auto& t : workers_) t.join();
  workers_.clear();
  queue_.clear();
  for (auto& [id, c] : conns_) close(c->fd);
  conns_.clear();
  close(listen_fd_);
  close(epoll_fd_);
  close(wake_fd_);
  listen_fd_ = epoll_fd_ = wake_fd_ = -1;
}

size_t HttpServer::open_connections() {
  std::lock_guard lock(conns_mu_);
  return conns_.size();
}

void HttpServer::Loop() {
  epoll_event events[256];
  Clock::time_point next_sweep = Clock::now() + std::chrono::seconds(1);
  while (running_) {
    const int n = epoll_wait(epoll_fd_, events, 256, 1000);
    for (int i = 0; i < n; ++i) {
      const uint64_t id = events[i].data.u64;
      if (id == kListenId) Accept();
      else if (id == kWakeId) return;
      else Readable(id);
    }
    if (Clock::now() >= next_sweep) {
      Sweep();
      next_sweep = Clock::now() + std::chrono::seconds(1);
    }
  }
}

void HttpServer::Accept() {
  for (;;) {
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE) LogLine("error: out of file descriptors, connection left waiting");
      return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard lock(conns_mu_);
    auto c = std::make_unique<Conn>();
    c->id = next_id_++;
    c->fd = fd;
    c->last = Clock::now();
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    ev.data.u64 = c->id;
    epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &ev);
    conns_.emplace(c->id, std::move(c));
  }
}

void HttpServer::Readable(uint64_t id) {
  Conn* c;
  {
    std::lock_guard lock(conns_mu_);
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    c = it->second.get();
  }
  // Armed once: until re-armed, this thread alone touches the connection.
  char chunk[8192];
  bool open = true;
  for (;;) {
    const ssize_t r = recv(c->fd, chunk, sizeof chunk, 0);
    if (r > 0) {
      c->buf.append(chunk, static_cast<size_t>(r));
      if (c->buf.size() > opt_.max_head_bytes + sizeof chunk) break;
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) open = false;
    break;
  }
  const size_t end = HeadEnd(c->buf);
  if (end == std::string::npos ? c->buf.size() > opt_.max_head_bytes : end > opt_.max_head_bytes) {
    // Unread input at close would reset the connection before the client reads the answer.
    while (recv(c->fd, chunk, sizeof chunk, 0) > 0) {
    }
    WriteAll(c->fd, "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: text/plain\r\n"
                    "Content-Length: 20\r\nConnection: close\r\n\r\nrequest is too long\n", nullptr);
    return Close(id);
  }
  if (end != std::string::npos) {
    {
      std::lock_guard lock(conns_mu_);
      c->busy = true;
    }
    {
      std::lock_guard lock(queue_mu_);
      queue_.push_back(id);
    }
    queue_cv_.notify_one();
    return;
  }
  if (!open) return Close(id);
  Rearm(*c);
}

void HttpServer::Rearm(Conn& c) {
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
  ev.data.u64 = c.id;
  epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, c.fd, &ev);
}

void HttpServer::Close(uint64_t id) {
  std::lock_guard lock(conns_mu_);
  auto it = conns_.find(id);
  if (it == conns_.end()) return;
  epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, it->second->fd, nullptr);
  close(it->second->fd);
  conns_.erase(it);
}

void HttpServer::Sweep() {
  const auto limit = Clock::now() - std::chrono::seconds(opt_.idle_timeout_seconds);
  std::lock_guard lock(conns_mu_);
  for (auto it = conns_.begin(); it != conns_.end();) {
    if (!it->second->busy && it->second->last < limit) {
      epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, it->second->fd, nullptr);
      close(it->second->fd);
      it = conns_.erase(it);
    } else {
      ++it;
    }
  }
}

void HttpServer::Worker() {
  for (;;) {
    uint64_t id;
    {
      std::unique_lock lock(queue_mu_);
      queue_cv_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      id = queue_.front();
      queue_.pop_front();
    }
    Serve(id);
  }
}

void HttpServer::Serve(uint64_t id) {
  Conn* c;
  {
    std::lock_guard lock(conns_mu_);
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    c = it->second.get();
  }
  for (;;) {
    const size_t end = HeadEnd(c->buf);
    if (end == std::string::npos) break;
    const std::string head = c->buf.substr(0, end);
    c->buf.erase(0, end);
    if (!Answer(*c, head)) return Close(id);
  }
  {
    std::lock_guard lock(conns_mu_);
    c->busy = false;
    c->last = Clock::now();
  }
  Rearm(*c);
}

// False when the connection is to be closed.
bool HttpServer::Answer(Conn& c, const std::string& head_text) {
  HttpResponse res;
  bool keep = false;
  bool head_only = false;
  std::string target;
  const auto head = ParseHead(head_text);
  if (!head) {
    res = {400, "text/plain", "malformed request\n", nullptr};
  } else if (head->has_body) {
    res = {400, "text/plain", "a request body is not accepted\n", nullptr};
  } else if (head->method != "GET" && head->method != "HEAD") {
    res = {405, "text/plain", "only GET and HEAD\n", nullptr};
  } else {
    target = head->target;
    head_only = head->method == "HEAD";
    keep = head->keep_alive && ++c.served < opt_.max_requests_per_connection;
    HttpRequest req;
    req.method = head->method;
    req.target = head->target;
    const size_t q = head->target.find('?');
    if (q != std::string::npos) req.query = head->target.substr(q + 1);
    if (!PercentDecode(std::string_view(head->target).substr(0, q), req.path)) {
      res = {400, "text/plain", "bad percent escape in the path\n", nullptr};
    } else {
      try {
        res = handler_(req);
      } catch (const std::exception& e) {
        LogLine("error: " + std::string(e.what()) + " answering " + target);
        res = {500, "text/plain", "internal error\n", nullptr};
      }
    }
  }
  const std::string& body = res.shared_body ? *res.shared_body : res.body;
  std::string out = "HTTP/1.1 " + std::to_string(res.status) + " " + Reason(res.status) +
                    "\r\nContent-Type: " + res.content_type + "\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nCache-Control: no-cache\r\nConnection: " + (keep ? "keep-alive" : "close") + "\r\n\r\n";
  if (opt_.verbose) LogLine(std::to_string(res.status) + " " + target + " (" + std::to_string(body.size()) + " bytes)");
  return WriteAll(c.fd, out, head_only ? nullptr : &body) && keep;
}

}  // namespace kxs
