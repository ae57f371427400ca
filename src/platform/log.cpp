#include "platform/log.h"

#include <cstdio>
#include <utility>

namespace kx {

Log::Log(Clock& clock, Sink debugOutput) : clock_(clock), debug_(std::move(debugOutput)) {}

void Log::SetFile(FileSystem& files, std::string path, uint64_t cap) {
  files_ = &files;
  path_ = std::move(path);
  cap_ = cap;
  size_ = 0;
  for (const FileEntry& e : files.Find(path_)) size_ = e.size;
}

void Log::Write(const std::string& message) {
  const DateTime t = clock_.Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  const std::string line = stamp + message + "\r\n";
  ++lines_;
  if (debug_) debug_(line);
  if (!files_) return;
  if (size_ > 0 && size_ + line.size() > cap_) {
    const std::string old = path_ + ".old";
    (void)files_->DeleteFile(old);  // rotation is best effort; the log goes on
    // When the file cannot move away, start it afresh rather than let it grow.
    if (!files_->MoveFile(path_, old)) (void)files_->DeleteFile(path_);  // rotation is best effort; the log goes on
    size_ = 0;
  }
  if (files_->AppendFile(path_, line)) size_ += line.size();
}

}  // namespace kx
