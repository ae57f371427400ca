#include "signing_service.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kxs {

namespace {

constexpr size_t kMaxRequestLine = 64;
// A package of every definition is a few MB; anything far beyond is not a signer's answer.
constexpr size_t kMaxAnswer = 512u << 20;
constexpr int kSignerIoTimeoutMs = 5000;
constexpr const char* kLanguageSignature = "<!-- KXSIG|";

Signed Ok(std::string text) { return {Signed::kOk, std::move(text)}; }
Signed Failed(std::string why) { return {Signed::kFailed, std::move(why)}; }

// The date always with its time, so a reader that cuts after "AM"/"PM" stops right there.
std::string DateWithTime(Seconds t) {
  std::string text = FormatDate(t);
  if (text.find(' ') == std::string::npos) text += " 12:00:00 AM";
  return text;
}

void SetTimeouts(int fd, int ms) {
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool SendAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

sockaddr_un Address(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) throw std::runtime_error("socket path too long: " + path);
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return addr;
}

}  // namespace

// ---- building and signing ----

std::string LocalSigner::Records(const std::vector<Change>& changes) {
  std::string out;
  for (const Change& c : changes) {
    const std::string head = EncodeLine(c.row.kind) + (c.add ? "|ADD[DEF]" : "|DEL[DEF]");
    if (c.add) {
      if (!out.empty()) out += "[BR]";
      out += head + EncodeBody(c.row.body);
    } else {
      for (const std::string& name : WithdrawalNames(c.row)) {
        if (!out.empty()) out += "[BR]";
        out += head + EncodeBody(name);
      }
    }
  }
  return out;
}

std::string LocalSigner::PackageMessage(const std::string& asked, const std::string& asof, const std::string& body) {
  return "KESTRIX-PACKAGE\n" + asked + "\n" + asof + "\n" + body;
}

std::string LocalSigner::CurrentDateText(DefinitionStore& store) {
  if (auto newest = store.NewestChange()) return FormatDate(*newest);
  return kDefaultDate;
}

Signed LocalSigner::Package(Seconds asked) {
  try {
    // The asked date is echoed in the signer's own canonical text, never in the front's.
    const std::string asked_text = FormatDate(asked);
    const std::string asof = CurrentDateText(store_);
    const std::string body = Records(store_.ChangesAfter(asked));
    const std::string sig = signer_.SignHex(PackageMessage(asked_text, asof, body));
    std::string text;
    text.reserve(body.size() + sig.size() + 96);
    text = body;
    if (!body.empty()) text += "[BR]";
    text += "KXSIG|" + asked_text + "|" + asof + "|" + signer_.KeyId() + "|" + sig;
    return Ok(std::move(text));
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}

Signed LocalSigner::CurrentDate() {
  try {
    const auto newest = store_.NewestChange();
    const std::string date = DateWithTime(newest ? *newest : *ParseDate(kDefaultDate));
    const std::string issued = std::to_string(static_cast<long long>(std::time(nullptr)));
    const std::string sig = signer_.SignHex("KESTRIX-DATE\n" + date + "\n" + issued);
    return Ok(date + " KXDATE|" + issued + "|" + signer_.KeyId() + "|" + sig);
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}

Signed LocalSigner::LanguageFile() {
  try {
    std::string text;
    if (languages_dir_.empty() || !ReadRegularFile(languages_dir_ + "/Localization.txt", text)) {
      auto stored = store_.LanguageFile(kProductNumber);
      if (!stored) return {Signed::kNone, ""};
      text = std::move(*stored);
    }
    // A file taken from a client still carries its old signature line: sign the text alone.
    if (const size_t old = text.rfind(kLanguageSignature); old != std::string::npos && (old == 0 || text[old - 1] == '\n')) {
      const size_t end = text.find('\n', old);
      if (end == std::string::npos || end + 1 == text.size()) text.resize(old);
    }
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    const std::string sig = signer_.SignHex("KESTRIX-LANGUAGE\n" + text);
    text += kLanguageSignature + signer_.KeyId() + "|" + sig + " -->\r\n";
    return Ok(std::move(text));
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}

// ---- the signer's socket ----

SignerServer::SignerServer(SigningService& service, std::string socket_path, int threads)
    : service_(service), path_(std::move(socket_path)), threads_(std::max(1, threads)) {}

SignerServer::~SignerServer() { Stop(); }

void SignerServer::Start() {
  const sockaddr_un addr = Address(path_);
  struct stat st{};
  // A socket left by a signer that died; never remove anything else that sits there.
  if (lstat(path_.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) throw std::runtime_error(path_ + " exists and is not a socket");
    unlink(path_.c_str());
  }
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  // Only this user and its group may ask: run the front as another user in the signer's group,
  // and it can ask for answers without being able to read the key.
  const mode_t old_mask = umask(007);
  const int rc = bind(listen_fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  umask(old_mask);
  if (rc != 0 || listen(listen_fd_, 64) != 0) {
    const std::string why = std::strerror(errno);
    close(listen_fd_);
    listen_fd_ = -1;
    throw std::runtime_error("cannot listen on " + path_ + ": " + why);
  }
  running_ = true;
  for (int i = 0; i < threads_; ++i) workers_.emplace_back([this] { Serve(); });
}

void SignerServer::Stop() {
  if (!running_.exchange(false)) return;
  shutdown(listen_fd_, SHUT_RDWR);  // wakes the threads blocked in accept
  for (auto& t : workers_) t.join();
  workers_.clear();
  close(listen_fd_);
  listen_fd_ = -1;
  unlink(path_.c_str());
}

void SignerServer::Serve() {
  while (running_) {
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (!running_) return;
      // Out of descriptors: wait instead of spinning on a socket that stays readable.
      poll(nullptr, 0, 100);
      continue;
    }
    SetTimeouts(fd, kSignerIoTimeoutMs);
    Answer(fd);
    close(fd);
  }
}

void SignerServer::Answer(int fd) {
  std::string line;
  char c;
  while (line.size() <= kMaxRequestLine) {
    const ssize_t n = recv(fd, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    if (c == '\n') break;
    line += c;
  }
  Signed answer;
  if (line.size() > kMaxRequestLine) {
    answer = Failed("request too long");
  } else if (line == "DATE") {
    answer = service_.CurrentDate();
  } else if (line == "LANGUAGE") {
    answer = service_.LanguageFile();
  } else if (line.rfind("PACKAGE ", 0) == 0) {
    const std::string digits = line.substr(8);
    long long at = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), at);
    // Dates the front can parse: 1/1/1970 up to the end of year 9999.
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || at < 0 ||
        at > 253402300799LL)
      answer = Failed("not a date: " + digits.substr(0, 20));
    else
      answer = service_.Package(at);
  } else {
    answer = Failed("unknown request");
  }
  std::string head;
  if (answer.status == Signed::kOk) head = "OK " + std::to_string(answer.text.size()) + "\n";
  else if (answer.status == Signed::kNone) head = "NONE\n";
  else head = "ERR " + answer.text.substr(0, 200) + "\n";
  if (SendAll(fd, head.data(), head.size()) && answer.status == Signed::kOk)
    SendAll(fd, answer.text.data(), answer.text.size());
}

// ---- the front's client ----

Signed SignerClient::Ask(const std::string& line) {
  sockaddr_un addr;
  try {
    addr = Address(path_);
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Failed(std::string("socket: ") + std::strerror(errno));
  SetTimeouts(fd, timeout_ms_);
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
    return Failed("signer not reachable at " + path_ + ": " + std::strerror(errno));
  const std::string request = line + "\n";
  if (!SendAll(fd, request.data(), request.size())) return Failed("signer closed the connection");
  std::string data;
  char buf[65536];
  size_t want = std::string::npos, body_at = 0;
  for (;;) {
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
    if (want == std::string::npos) {
      const size_t nl = data.find('\n');
      if (nl == std::string::npos) {
        if (data.size() > 256) return Failed("signer answered garbage");
        continue;
      }
      const std::string head = data.substr(0, nl);
      if (head == "NONE") return {Signed::kNone, ""};
      if (head.rfind("ERR ", 0) == 0) return Failed("signer refused: " + head.substr(4));
      unsigned long long size = 0;
      if (head.rfind("OK ", 0) != 0 ||
          std::from_chars(head.data() + 3, head.data() + head.size(), size).ec != std::errc() || size > kMaxAnswer)
        return Failed("signer answered garbage");
      want = static_cast<size_t>(size);
      body_at = nl + 1;
      data.reserve(body_at + want);
    }
    if (want != std::string::npos && data.size() - body_at >= want) break;
  }
  if (want == std::string::npos || data.size() - body_at != want)
    return Failed(want == std::string::npos ? "signer gave no answer" : "signer's answer has the wrong length");
  return Ok(data.substr(body_at));
}

Signed SignerClient::Package(Seconds asked) { return Ask("PACKAGE " + std::to_string(asked)); }
Signed SignerClient::CurrentDate() { return Ask("DATE"); }
Signed SignerClient::LanguageFile() { return Ask("LANGUAGE"); }

}  // namespace kxs
