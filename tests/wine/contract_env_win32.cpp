// The contract suites' environment on the real APIs, with a loopback HTTP server for the
// web client. Winsock headers come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <aclapi.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "../scan_support/must.h"
#include "contract/contract_env.h"
#include "platform/win32/services_win32.h"

namespace kx::contract {

namespace {

// Answers GETs by path from a table, one connection at a time. A "silent" path keeps the
// connection open and never answers, until the server stops; an "endless" one streams a body
// from a thread of its own until the client goes or the server stops.
class LoopbackServer {
 public:
  LoopbackServer() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listener_, 8);
    int len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    for (auto& [c, t] : streams_) {
      closesocket(c);
      t.join();
    }
    for (SOCKET s : held_) closesocket(s);
    closesocket(listener_);
    WSACleanup();
  }

  std::string Add(const std::string& body, int status) {
    std::lock_guard<std::mutex> lock(mu_);
    std::string path = "/r" + std::to_string(++n_);
    routes_[path] = {body, status};
    return Url(path);
  }
  std::string Silent() {
    std::lock_guard<std::mutex> lock(mu_);
    std::string path = "/silent" + std::to_string(++n_);
    routes_[path] = {"", kSilent};
    return Url(path);
  }
  std::string Endless() {
    std::lock_guard<std::mutex> lock(mu_);
    std::string path = "/endless" + std::to_string(++n_);
    routes_[path] = {"", kEndless};
    return Url(path);
  }

 private:
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

  void Run() {
    while (!stop_) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(listener_, &set);
      timeval tv{0, 50000};
      if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
      SOCKET c = accept(listener_, nullptr, nullptr);
      if (c == INVALID_SOCKET) continue;
      Serve(c);
    }
  }

  void Serve(SOCKET c) {
    DWORD timeout = 3000;
    setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string request;
    char buf[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      int n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      request.append(buf, n);
    }
    std::string path;
    if (request.rfind("GET ", 0) == 0) path = request.substr(4, request.find(' ', 4) - 4);
    std::pair<std::string, int> route{"", 404};
    {
      std::lock_guard<std::mutex> lock(mu_);
      auto it = routes_.find(path);
      if (it != routes_.end()) route = it->second;
    }
    if (route.second == kSilent) {
      held_.push_back(c);
      return;
    }
    if (route.second == kEndless) {
      streams_.emplace_back(c, std::thread([this, c] { Stream(c); }));
      return;
    }
    std::string reply = "HTTP/1.1 " + std::to_string(route.second) + " X\r\nContent-Type: text/plain\r\n" +
                        "Content-Length: " + std::to_string(route.first.size()) + "\r\nConnection: close\r\n\r\n" +
                        route.first;
    for (size_t at = 0; at < reply.size();) {
      int n = send(c, reply.data() + at, static_cast<int>(reply.size() - at), 0);
      if (n <= 0) break;
      at += n;
    }
    shutdown(c, SD_SEND);
    closesocket(c);
  }

  // No length: the body ends only when the connection does. The socket stays open until the
  // server stops, whose closing of it ends a send that blocks on a client that stopped reading.
  void Stream(SOCKET c) {
    const std::string head = "HTTP/1.1 200 X\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n";
    std::string letters;  // whole alphabets, so the stream runs on seamlessly
    for (int i = 0; i < 26 * 630; ++i) letters.push_back(static_cast<char>('a' + i % 26));
    if (send(c, head.data(), static_cast<int>(head.size()), 0) != static_cast<int>(head.size())) return;
    for (size_t at = 0; !stop_;) {
      int n = send(c, letters.data() + at, static_cast<int>(letters.size() - at), 0);
      if (n <= 0) return;
      at = (at + n) % letters.size();
    }
  }

  static constexpr int kSilent = -1, kEndless = -2;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mu_;
  std::map<std::string, std::pair<std::string, int>> routes_;
  std::vector<SOCKET> held_;
  std::vector<std::pair<SOCKET, std::thread>> streams_;
  int n_ = 0;
};

int counter = 0;

class Win32Env final : public Env {
 public:
  ~Win32Env() override {
    for (HWND w : windows_) DestroyWindow(w);
    for (HANDLE h : children_) {
      TerminateProcess(h, 1);
      CloseHandle(h);
    }
    for (const auto& k : restricted_) Grant(k, KEY_ALL_ACCESS);
    // The system's own tree deletion, which also reaches names the ANSI calls cannot give.
    for (const auto& k : keys_) RegDeleteTreeA(HKEY_CURRENT_USER, k.c_str());
    for (const auto& f : folders_) (void)p_.files.DeleteFolder(f, true);  // clean-up; what stays is only a leftover folder
  }

  Registry& registry() override { return p_.registry; }
  FileSystem& files() override { return p_.files; }
  SystemInfo& system() override { return p_.system; }
  Processes& processes() override { return p_.processes; }
  Web& web() override { return p_.web; }
  SystemRestore& restore() override { return p_.restore; }
  Com& com() override { return p_.com; }
  Shell& shell() override { return p_.shell; }
  Locks& locks() override { return p_.locks; }
  Clock& clock() override { return p_.clock; }
  Signatures& signatures() override { return p_.signatures; }
  NotificationArea& notifyArea() override { return p_.notifyArea; }

  const void* IconOwnerWindow() override {
    // A plain hidden top-level window, as a program's form is before it is shown.
    HWND w = CreateWindowExA(0, "STATIC", "Kestrix contract", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (w) windows_.push_back(w);
    return w;
  }
  PixelSize ScreenPixels() override { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

  std::string ScratchFolder() override {
    char tmp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, tmp);
    std::string base = tmp;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    std::string path = base + "\\kxc" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
    (void)p_.files.DeleteFolder(path, true);  // it may not be there yet
    CreateDirectoryA(path.c_str(), nullptr);
    folders_.push_back(path);
    return path;
  }

  std::string ScratchKey() override {
    std::string path = "Software\\KestrixContract\\k" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(++counter);
    test_support::Must(p_.registry.CreateKey(Hive::CurrentUser, path), "CreateKey");
    keys_.push_back(path);
    return path;
  }

  bool PutUnicode(Hive hive, const std::string& utf8Path, const std::string& utf8Name, uint32_t type,
                  const std::string& utf8Data) override {
    if (hive != Hive::CurrentUser) return false;
    std::wstring data = Wide(utf8Data);
    std::string bytes = utf8Data;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
      bytes.assign(reinterpret_cast<const char*>(data.c_str()), (data.size() + 1) * sizeof(wchar_t));
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(utf8Path).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
      return false;
    LONG rc = RegSetValueExW(h, Wide(utf8Name).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size()));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
  }

  bool RestrictKey(Hive hive, const std::string& path, uint32_t allowed) override {
    if (hive != Hive::CurrentUser) return false;
    // Keep WRITE_DAC so the key can be opened up again for cleaning away.
    if (!Grant(path, allowed | WRITE_DAC)) return false;
    restricted_.push_back(path);
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &h);
    if (rc == ERROR_SUCCESS) {
      RegCloseKey(h);
      return false;  // the descriptor is not enforced here
    }
    return rc == ERROR_ACCESS_DENIED;
  }

  std::unique_ptr<Hold> HoldOpen(const std::string& path) override {
    struct Win32Hold final : Hold {
      HANDLE h;
      explicit Win32Hold(HANDLE x) : h(x) {}
      ~Win32Hold() override { CloseHandle(h); }
    };
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32Hold>(h);
  }

  uint32_t StartChild() override {
    // This very program, suspended: it never runs a line of its own.
    char exe[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string line = std::string("\"") + exe + "\" --gtest_list_tests";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(exe, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi))
      return 0;
    CloseHandle(pi.hThread);
    children_.push_back(pi.hProcess);  // held, so the exit code outlives the process
    return pi.dwProcessId;
  }

  uint32_t StartChild64(std::string& imagePath) override {
    // Built beside the tests with the 64-bit compiler.
    char exe[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path = exe;
    path = path.substr(0, path.find_last_of('\\') + 1) + "kestrix_sleeper64.exe";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi))
      return 0;
    CloseHandle(pi.hThread);
    children_.push_back(pi.hProcess);
    // Running, not merely created: its loader has set it up.
    WaitForInputIdle(pi.hProcess, 2000);
    Sleep(200);
    imagePath = path;
    return pi.dwProcessId;
  }

  std::string ServeBody(const std::string& body, int status) override { return server_.Add(body, status); }
  std::string SilentUrl() override { return server_.Silent(); }
  std::string EndlessUrl() override { return server_.Endless(); }
  std::string RefusedUrl() override {
    // A port that was free a moment ago and that nobody listens on.
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    closesocket(s);
    return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/refused";
  }
  bool IsFake() const override { return false; }

 private:
  // Embedded NULs kept.
  static std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
  }

  // Replaces the key's DACL by one that grants everyone exactly `rights`.
  static bool Grant(const std::string& path, DWORD rights) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &h) != ERROR_SUCCESS) return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    bool ok = false;
    if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
      char aclBuf[256];
      PACL acl = reinterpret_cast<PACL>(aclBuf);
      SECURITY_DESCRIPTOR sd;
      ok = InitializeAcl(acl, sizeof aclBuf, ACL_REVISION) && AddAccessAllowedAce(acl, ACL_REVISION, rights, everyone) &&
           InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) &&
           RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
      FreeSid(everyone);
    }
    RegCloseKey(h);
    return ok;
  }

  win32::Win32Platform p_;
  LoopbackServer server_;
  std::vector<std::string> folders_, keys_, restricted_;
  std::vector<HANDLE> children_;
  std::vector<HWND> windows_;
};

}  // namespace

std::unique_ptr<Env> MakeEnv() { return std::make_unique<Win32Env>(); }

}  // namespace kx::contract
