// Shared helpers of the server tests: a scratch folder, one signing key per run, and a
// raw HTTP client that sends request lines byte for byte.
#pragma once
#include <arpa/inet.h>
#include <signal.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "signer.h"

namespace kxs::test {

// Removed when the test program ends.
inline std::filesystem::path TempDir(const std::string& name) {
  struct Cleanup {
    std::vector<std::filesystem::path> dirs;
    pid_t owner = ::getpid();
    ~Cleanup() {
      std::error_code ec;
      if (::getpid() == owner)
        for (const auto& d : dirs) std::filesystem::remove_all(d, ec);
    }
  };
  static Cleanup cleanup;
  auto dir = std::filesystem::temp_directory_path() /
             ("kestrix-server-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  cleanup.dirs.push_back(dir);
  return dir;
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// Generating a 3072-bit key takes a moment: one per test program.
inline const std::string& TestKeyPath() {
  static const std::string path = [] {
    auto dir = TempDir("key");
    const std::string p = (dir / "signing-key.pem").string();
    GenerateKeyFile(p);
    return p;
  }();
  return path;
}

inline int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  timeval tv{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

struct Reply {
  int status = 0;
  std::string head, body;
};

// Reads one response with a Content-Length from an open connection.
inline Reply ReadReply(int fd) {
  std::string buf;
  char chunk[65536];
  Reply r;
  size_t head_end;
  while ((head_end = buf.find("\r\n\r\n")) == std::string::npos) {
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return r;
    buf.append(chunk, static_cast<size_t>(n));
  }
  r.head = buf.substr(0, head_end);
  r.status = std::stoi(r.head.substr(9, 3));
  const size_t cl = r.head.find("Content-Length: ");
  const size_t len = cl == std::string::npos ? 0 : std::stoul(r.head.substr(cl + 16));
  r.body = buf.substr(head_end + 4);
  while (r.body.size() < len) {
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    r.body.append(chunk, static_cast<size_t>(n));
  }
  return r;
}

// One GET whose target is sent exactly as given (raw blanks, bytes >= 0x80), on a fresh connection.
inline Reply Get(int port, const std::string& target) {
  const int fd = Connect(port);
  if (fd < 0) return {};
  const std::string req = "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
  send(fd, req.data(), req.size(), MSG_NOSIGNAL);
  Reply r = ReadReply(fd);
  close(fd);
  return r;
}

#ifdef KESTRIX_SERVER_EXE
// The server as it is deployed: a signer holding the key on a Unix socket and a front
// process without it, each started through sh so a test can set limits (`ulimit -n 128;`).
class ServerProcesses {
 public:
  // `db` must exist (imported or published). Extra arguments go to the front.
  ServerProcesses(const std::filesystem::path& dir, const std::string& db, const std::string& front_args = "",
                  const std::string& front_shell_prefix = "")
      : dir_(dir) {
    const std::string sock = (dir / "signer.sock").string();
    signer_ = Spawn("exec " + std::string(KESTRIX_SERVER_EXE) + " signer --signer " + sock + " --db " + db +
                    " --key " + TestKeyPath() + " >" + (dir / "signer.log").string() + " 2>&1");
    for (int i = 0; i < 200 && !std::filesystem::exists(sock); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    front_ = Spawn(front_shell_prefix + " exec " + std::string(KESTRIX_SERVER_EXE) + " serve --port 0 --db " + db +
                   " --signer " + sock + " " + front_args + " >" + FrontLog().string() + " 2>&1");
    const std::string marker = "listening on 127.0.0.1:";
    for (int i = 0; i < 400 && port_ == 0; ++i) {
      const std::string log = ReadAll(FrontLog());
      if (const size_t at = log.find(marker); at != std::string::npos) port_ = std::atoi(log.c_str() + at + marker.size());
      else std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
  ~ServerProcesses() {
    for (pid_t p : {front_, signer_}) {
      if (p <= 0) continue;
      kill(p, SIGTERM);
      waitpid(p, nullptr, 0);
    }
  }
  ServerProcesses(const ServerProcesses&) = delete;
  ServerProcesses& operator=(const ServerProcesses&) = delete;

  int port() const { return port_; }  // 0 when the front did not come up
  pid_t front_pid() const { return front_; }
  std::filesystem::path FrontLog() const { return dir_ / "front.log"; }

  static std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }

 private:
  static pid_t Spawn(const std::string& command) {
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }

  std::filesystem::path dir_;
  pid_t signer_ = -1, front_ = -1;
  int port_ = 0;
};
#endif

}  // namespace kxs::test
