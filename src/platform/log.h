// The program's diagnostics log: what it catches and ignores on purpose, with a timestamp a
// line. Owned by whoever owns the program and passed by reference; there is no global one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>

#include "platform/services.h"

namespace kx {

class Log {
 public:
  using Sink = std::function<void(const std::string& line)>;
  static constexpr uint64_t kDefaultCap = 256 * 1024;

  // Every line goes to debugOutput (OutputDebugStringA on Windows) when it is set.
  Log(Clock& clock, Sink debugOutput);
  // Also append to a text file. A file that would grow past `cap` bytes is first moved to
  // path + ".old" (replacing the one before), so at most about two caps are kept.
  void SetFile(FileSystem& files, std::string path, uint64_t cap = kDefaultCap);

  void Write(const std::string& message);
  int lines() const { return lines_; }

 private:
  Clock& clock_;
  Sink debug_;
  FileSystem* files_ = nullptr;
  std::string path_;
  uint64_t cap_ = kDefaultCap;
  uint64_t size_ = 0;  // of the file as far as we know
  int lines_ = 0;
};

// Runs one step of a longer handler; what it throws is logged under the step's name and the
// handler goes on with the next step, as the program's "on error resume next" handlers did.
namespace detail {
// The step's label is made only when it failed: guarded steps run on every start and scan.
template <class F, class Label>
bool Guarded(Log* log, const Label& label, F&& step) {
  try {
    step();
    return true;
  } catch (const std::exception& e) {
    if (log) log->Write(label() + ": " + e.what());
  } catch (...) {
    if (log) log->Write(label() + ": unknown exception");
  }
  return false;
}
}  // namespace detail

template <class F>
bool GuardedStep(Log* log, const char* name, F&& step) {
  return detail::Guarded(log, [name] { return std::string(name); }, std::forward<F>(step));
}

// The same, named by where it stands: the enclosing function and the step's line, which the
// defaults take from the caller.
template <class F>
bool GuardedStepHere(Log* log, F&& step, const char* function = __builtin_FUNCTION(), int line = __builtin_LINE()) {
  return detail::Guarded(
      log, [&] { return std::string(function) + ", step at line " + std::to_string(line); }, std::forward<F>(step));
}

}  // namespace kx
