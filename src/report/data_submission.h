// The anonymous data the program sends to the vendor's data server: the names of the running
// programs (automatically, when the user allows it) and a file name the user submits by hand.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/web_fetch.h"
#include "platform/forms/form.h"

namespace kx {

struct SubmissionServices {
  WebFetch& fetch;
  ui::Backend& ui;
  std::string dataServer;                                   // "http://host:port"
  std::function<std::string(const std::string&)> message;  // the message table
  std::function<void(const std::string& value)> storeSendData;  // OptionAndSettings\chkSendData
  std::function<std::string()> runningProgramList;          // encoded, "" when nothing to send
};

// The Auto Update tab's controls.
struct SubmissionControls {
  ui::Control* txtFilename = nullptr;
  ui::Control* Label26 = nullptr;  // the outcome
  ui::Control* chkSendData = nullptr;
};

class DataSubmission {
 public:
  static constexpr size_t kReplyCap = 64u << 10;
  // What the data server takes in one request: a query of at most 8 KB, holding at most
  // 4 KB of data once its escapes are undone.
  static constexpr size_t kQueryLimit = 8u << 10;
  static constexpr size_t kDataLimit = 4u << 10;

  // The running-program list cut into the data of as many requests as it needs, each a
  // whole number of names in their order. A name too long for any request is left out.
  static std::vector<std::string> SplitForRequests(const std::string& list);

  DataSubmission(SubmissionServices services, SubmissionControls controls)
      : s_(std::move(services)), c_(controls) {}

  void SubmitFileName();       // cmdSubmit, Enter in txtFilename
  void SendRunningPrograms();  // only when chkSendData is ticked
  void chkSendData_MouseUp();  // after the box has changed

  // "/asp/getData.asp?data=" + the data, percent-encoded.
  std::string RequestUrl(const std::string& data) const;

 private:
  SubmissionServices s_;
  SubmissionControls c_;
};

}  // namespace kx
