#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

// Closes the internet handles unless ownership was handed to the watchdog.
struct Inet {
  HINTERNET h = nullptr;
  ~Inet() {
    if (h) InternetCloseHandle(h);
  }
};

}  // namespace

WebResult Win32Web::Get(const std::string& url, const WebOptions& options,
                        const std::function<bool()>& yield) {
  WebResult result;
  const ULONGLONG start = GetTickCount64();
  auto late = [&] { return GetTickCount64() - start >= options.deadlineMs; };

  Inet session;
  session.h = InternetOpenA("Mozilla", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!session.h) return result;
  DWORD connectMs = options.connectTimeoutMs, receiveMs = options.receiveTimeoutMs;
  InternetSetOptionA(session.h, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
  InternetSetOptionA(session.h, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
  InternetSetOptionA(session.h, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
  DWORD retries = 1;
  InternetSetOptionA(session.h, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);

  // InternetOpenUrl blocks until the headers arrive; a watchdog closes the session at the
  // deadline, which makes the blocked call return.
  struct Watch {
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> fired{false};
    ~Watch() { CloseHandle(stop); }
  };
  auto watch = std::make_shared<Watch>();
  HINTERNET sessionHandle = session.h;
  DWORD deadline = options.deadlineMs;
  std::thread watchdog([watch, sessionHandle, deadline] {
    if (WaitForSingleObject(watch->stop, deadline) == WAIT_TIMEOUT) {
      watch->fired = true;
      InternetCloseHandle(sessionHandle);
    }
  });
  Inet request;
  // Stops the watchdog; when it fired, both handles are already closed.
  auto finish = [&] {
    SetEvent(watch->stop);
    watchdog.join();
    if (watch->fired) session.h = request.h = nullptr;
  };

  request.h = InternetOpenUrlA(session.h, url.c_str(), nullptr, 0,
                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE,
                               0);
  if (!request.h || watch->fired) {
    finish();
    return result;
  }
  DWORD status = 0, len = sizeof status;
  if (HttpQueryInfoA(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &len, nullptr))
    result.status = static_cast<int>(status);

  bool complete = false;
  for (;;) {
    char block[256];
    DWORD got = 0;
    if (watch->fired || !InternetReadFile(request.h, block, sizeof block, &got)) break;
    if (got == 0) {
      complete = true;
      break;
    }
    result.body.append(block, got);
    if (yield && !yield()) break;
    if (late()) break;
  }
  finish();
  result.ok = complete && !watch->fired;
  return result;
}

}  // namespace kx::win32
