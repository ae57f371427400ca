#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

using Clock = std::chrono::steady_clock;

// Blocks the reader may hold for a caller that is slow to take them (its yield may have a
// modal box open for minutes): the stream waits in the network instead of in memory.
constexpr size_t kQueueBytes = 16 * 1024;

// What the reading thread hands to the caller. The caller may walk away (deadline, or its
// yield said stop); the reader then finishes on its own and nothing it touches dies first.
struct Transfer {
  std::mutex mu;
  std::condition_variable arrived, room;
  std::deque<std::string> blocks;
  size_t queued = 0;
  bool done = false, complete = false, abandoned = false, sessionClosed = false;
  int status = 0;
  HINTERNET session = nullptr;

  // Closing the session also unblocks a call that waits on the network.
  void CloseSession() {
    if (session && !sessionClosed) {
      sessionClosed = true;
      InternetCloseHandle(session);
    }
  }
};

void Read(std::shared_ptr<Transfer> t, std::string url, WebOptions options, Clock::time_point deadline) {
  HINTERNET session = InternetOpenA("Mozilla", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  auto finish = [&](bool complete) {
    std::lock_guard<std::mutex> lock(t->mu);
    t->complete = complete;
    t->done = true;
    t->CloseSession();
    t->arrived.notify_all();
  };
  {
    std::lock_guard<std::mutex> lock(t->mu);
    t->session = session;
  }
  if (!session) return finish(false);
  DWORD connectMs = options.connectTimeoutMs, receiveMs = options.receiveTimeoutMs, retries = 1;
  InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
  InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
  InternetSetOptionA(session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
  InternetSetOptionA(session, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);

  HINTERNET request = InternetOpenUrlA(
      session, url.c_str(), nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
  if (!request) return finish(false);
  DWORD status = 0, len = sizeof status;
  if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &len, nullptr)) {
    std::lock_guard<std::mutex> lock(t->mu);
    t->status = static_cast<int>(status);
  }
  bool complete = false;
  size_t total = 0;
  while (Clock::now() < deadline) {
    char block[256];
    DWORD got = 0;
    if (!InternetReadFile(request, block, sizeof block, &got)) break;
    if (got == 0) {
      complete = true;
      break;
    }
    std::unique_lock<std::mutex> lock(t->mu);
    if (!t->room.wait_until(lock, deadline, [&] { return t->abandoned || t->queued < kQueueBytes; })) break;
    if (t->abandoned) break;
    t->blocks.emplace_back(block, got);
    t->queued += got;
    t->arrived.notify_all();
    // Past the cap the answer is refused whatever follows; the caller cuts what it has.
    total += got;
    if (total > options.maxBytes) break;
  }
  {
    std::lock_guard<std::mutex> lock(t->mu);
    if (!t->sessionClosed) InternetCloseHandle(request);  // else it went with the session
  }
  finish(complete);
}

}  // namespace

WebResult Win32Web::Get(const std::string& url, const WebOptions& options,
                        const std::function<bool(size_t)>& yield) {
  WebResult result;
  auto t = std::make_shared<Transfer>();
  const auto deadline = Clock::now() + std::chrono::milliseconds(options.deadlineMs);
  std::thread reader;
  try {
    reader = std::thread(Read, t, url, options, deadline);
  } catch (const std::system_error& e) {
    // No thread for the transfer: a failed request (ok stays false), said where it is seen.
    OutputDebugStringA((std::string("web: no thread for the request: ") + e.what() + "\n").c_str());
    return result;
  }
  bool abandon = false;
  for (;;) {
    std::unique_lock<std::mutex> lock(t->mu);
    if (!t->arrived.wait_until(lock, deadline, [&] { return !t->blocks.empty() || t->done; })) {
      abandon = true;
      break;
    }
    result.status = t->status;
    if (t->blocks.empty()) {  // done
      result.ok = t->complete;
      break;
    }
    std::string block = std::move(t->blocks.front());
    t->blocks.pop_front();
    t->queued -= block.size();
    t->room.notify_all();
    lock.unlock();
    if (result.body.size() + block.size() > options.maxBytes) {
      result.body.append(block, 0, options.maxBytes - result.body.size());
      abandon = true;
      break;
    }
    result.body += block;
    // The yield runs on the caller's thread: it pumps the caller's messages.
    if (yield && !yield(result.body.size())) {
      abandon = true;
      break;
    }
    // A modal box inside the yield may have outlasted the deadline: what waits is not taken.
    if (Clock::now() >= deadline) {
      abandon = true;
      break;
    }
  }
  if (abandon) {
    {
      std::lock_guard<std::mutex> lock(t->mu);
      t->abandoned = true;
      result.status = t->status;
      t->CloseSession();
      t->room.notify_all();
    }
    result.ok = false;
    reader.detach();  // it ends when its blocked call does
  } else {
    reader.join();
  }
  return result;
}

}  // namespace kx::win32
