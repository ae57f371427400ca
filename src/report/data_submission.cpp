#include "report/data_submission.h"

#include "core/text.h"
#include "definitions/codec.h"

namespace kx {


std::string DataSubmission::RequestUrl(const std::string& data) const {
  return s_.dataServer + "/asp/getData.asp?data=" + EncodeQueryValue(data);
}

void DataSubmission::SubmitFileName() {
  if (!c_.txtFilename) return;
  const std::string name = c_.txtFilename->caption();
  const std::string reply = s_.fetch.FetchUrlText(RequestUrl(EncodeDefinitionLine(name) + "|"), kReplyCap);
  std::string outcome;
  if (FindNoCase(reply, "Skipped") != std::string::npos || FindNoCase(reply, "Added") != std::string::npos)
    outcome = s_.message("MSG_RESULTS") + " " + name + " " + s_.message("MSG_RESULTS_THANK");
  else
    outcome = s_.message("MSG_RESULTS") + " " + s_.message("MSG_PROBLEM") + " " + name + ".  " +
              s_.message("MSG_PROBLEM2");
  if (c_.Label26) c_.Label26->set_caption(outcome);
  c_.txtFilename->set_caption("");
}

std::vector<std::string> DataSubmission::SplitForRequests(const std::string& list) {
  const size_t room = kQueryLimit - (sizeof "data=" - 1);
  std::vector<std::string> parts;
  std::string part;
  size_t escaped = 0;  // the part's length once percent-encoded
  for (const std::string_view name : SplitViews(list, '|')) {
    if (name.empty()) continue;
    const size_t nameEscaped = EncodeQueryValue(std::string(name)).size();
    const size_t sep = part.empty() ? 0 : 1, sepEscaped = part.empty() ? 0 : 3;  // "|" is "%7C"
    if (part.size() + sep + name.size() <= kDataLimit && escaped + sepEscaped + nameEscaped <= room) {
      if (sep) part += '|';
      part += name;
      escaped += sepEscaped + nameEscaped;
      continue;
    }
    if (!part.empty()) parts.push_back(std::move(part));
    part.clear();
    escaped = 0;
    if (name.size() <= kDataLimit && nameEscaped <= room) {
      part.assign(name);
      escaped = nameEscaped;
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

void DataSubmission::SendRunningPrograms() {
  if (!c_.chkSendData || c_.chkSendData->value() != 1) return;
  const std::string list = s_.runningProgramList ? s_.runningProgramList() : std::string();
  // The answers are not the user's concern.
  for (const std::string& part : SplitForRequests(list)) s_.fetch.FetchUrlText(RequestUrl(part), kReplyCap);
}

void DataSubmission::chkSendData_MouseUp() {
  if (!c_.chkSendData) return;
  if (c_.chkSendData->value() == 0) {
    const std::string text = s_.message("MSG_ANON1") + "\r\n\r\n" + s_.message("MSG_ANON2") + "\r\n\r\n" +
                             s_.message("MSG_ANON3");
    if (s_.ui.MsgBox(text, ui::MB_YES_NO, s_.message("MSG_ANON4")) == ui::MsgResult::No) {
      c_.chkSendData->set_value(1);
      s_.storeSendData("1");
      return;
    }
  }
  s_.storeSendData(c_.chkSendData->value() == 1 ? "1" : "0");
}

}  // namespace kx
