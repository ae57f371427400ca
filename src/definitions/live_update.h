// Live Update: asks the definitions server for the date of its newest definitions, and when
// that is newer than the local date, downloads the package of changes since, has it checked
// and merged, and records the new date. The window around it (frmDownload, the notice) is
// the caller's; this is the run itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/web_fetch.h"
#include "platform/datetime.h"
#include "platform/log.h"
#include "platform/services.h"

namespace kx {

// The three requests to the definitions server. Every query value is percent-encoded.
struct DefinitionsServer {
  std::string address;  // "http://host:port", no trailing "/"
  std::string productName, companyName;

  std::string CurrentDateUrl() const;
  std::string PackageUrl(const std::string& dateText) const;
  std::string DateOfRecordUrl() const;
};

class LiveUpdateHost {
 public:
  virtual ~LiveUpdateHost() = default;
  virtual void SetStatus(const std::string& text) = 0;               // the window's txtStatus
  virtual void SetDefinitionsVersion(const std::string& text) = 0;   // lblDefVersion
  virtual void HandleWindowMessages() = 0;
  // The current-date answer as it came, for the host to check its signature.
  virtual void CurrentDateAnswered(const std::string& text) {}
};

// What became of a downloaded package: checked, and merged when it passed.
struct PackageOutcome {
  bool accepted = false;
  int32_t changes = 0;
  DateTime asOf;         // the server's date the package was made at
  std::string reason;    // why it was refused
  std::string mergeError;  // why the accepted package changed nothing, when it failed
};
// Checks the package against the date it was asked from and the local date, then merges it.
using PackageApplier =
    std::function<PackageOutcome(const std::string& package, const std::string& askedDate, const DateTime& local)>;

enum class UpdateOutcome { UpToDate, Updated, Failed };

struct UpdateResult {
  UpdateOutcome outcome = UpdateOutcome::Failed;
  int32_t changes = 0;
  std::string reason;  // for the log when it failed
};

class LiveUpdate {
 public:
  static constexpr size_t kDateAnswerCap = 4u << 10;
  static constexpr size_t kPackageCap = 64u << 20;

  LiveUpdate(FileSystem& files, WebFetch& fetch, std::string dataFolder, DefinitionsServer server,
             PackageApplier apply, LiveUpdateHost& host, Log* log = nullptr)
      : files_(files), fetch_(fetch), dataFolder_(std::move(dataFolder)), server_(std::move(server)),
        apply_(std::move(apply)), host_(host), log_(log) {}

  // The number of changes applied is the result's changes; 0 unless Updated.
  UpdateResult RunLiveUpdate();

 private:
  UpdateResult Fail(std::string reason);

  FileSystem& files_;
  WebFetch& fetch_;
  std::string dataFolder_;
  DefinitionsServer server_;
  PackageApplier apply_;
  LiveUpdateHost& host_;
  Log* log_;
};

}  // namespace kx
