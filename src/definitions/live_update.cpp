#include "definitions/live_update.h"

#include "definitions/definitions_date.h"
#include "definitions/previous_definitions.h"
#include "definitions/update_package.h"

namespace kx {

std::string DefinitionsServer::CurrentDateUrl() const {
  return address + "/asp/currentDateNEW.asp?prog=" + EncodeQueryValue(productName) +
         "&comp=" + EncodeQueryValue(companyName);
}

std::string DefinitionsServer::PackageUrl(const std::string& dateText) const {
  return address + "/asp/getDefsNEW.asp?prog=" + EncodeQueryValue(productName) +
         "&comp=" + EncodeQueryValue(companyName) + "&date=" + EncodeQueryValue(dateText);
}

std::string DefinitionsServer::DateOfRecordUrl() const { return address + "/asp/date.asp"; }

UpdateResult LiveUpdate::Fail(std::string reason) {
  if (log_) log_->Write("Live Update failed: " + reason);
  UpdateResult r;
  r.outcome = UpdateOutcome::Failed;
  r.reason = std::move(reason);
  return r;
}

UpdateResult LiveUpdate::RunLiveUpdate() {
  host_.SetStatus("Connecting to the definition server, please wait.");
  host_.HandleWindowMessages();
  auto status = [this](const std::string& text) { host_.SetStatus(text); };

  // An unreadable date.dat asks for everything, as a missing one does.
  const DateTime local = ParseUsDateTime(ReadDefinitionsDate(files_, dataFolder_))
                             .value_or(*ParseUsDateTime(kDefaultDefinitionsDate));

  FetchResult current = fetch_.Fetch(server_.CurrentDateUrl(), kDateAnswerCap, status);
  if (!current.Good()) return Fail("no answer to the current-date request (status " + std::to_string(current.status) + ")");
  host_.CurrentDateAnswered(current.text);
  const DateTime server = DateOfServerText(current.text);
  if (server == DateTime{}) return Fail("the server's date cannot be read");
  if (server <= local) return {UpdateOutcome::UpToDate, 0, {}};

  // The date goes back as text in the general date form, as it was read.
  const std::string asked = FormatUsDateTime(local);
  FetchResult package = fetch_.Fetch(server_.PackageUrl(asked), kPackageCap, status);
  if (!package.Good()) return Fail("the update package did not arrive (status " + std::to_string(package.status) + ")");
  // The set about to be replaced is kept aside first, and becomes the previous set only
  // when the merge changed it (with date.dat as it stood).
  PreviousDefinitions previous(files_, dataFolder_, log_);
  const bool kept = previous.Stage();
  const PackageOutcome merged = apply_(package.text, asked, local);
  const bool changed = merged.accepted && merged.mergeError.empty() && merged.changes > 0;
  if (!changed) previous.Discard();
  else if (!kept) previous.Forget();
  else if (!previous.Commit() && log_) log_->Write("Live Update: the replaced definitions could not be kept for undo");
  if (!merged.accepted) return Fail("the update package was refused: " + merged.reason);
  if (!merged.mergeError.empty()) return Fail("the definitions were left as they were: " + merged.mergeError);
  if (merged.changes <= 0) return {UpdateOutcome::UpToDate, 0, {}};

  // The date of record is not signed: it is taken only when it lies after the local date
  // (an earlier one would have the next update apply everything again) and not after the
  // signed date the package was made at (a later one would hide what was published in
  // between). Otherwise, or when it cannot be read, the signed date stands.
  const DateTime upper = merged.asOf != DateTime{} ? merged.asOf : server;
  DateTime recorded = DateOfServerText(fetch_.FetchUrlText(server_.DateOfRecordUrl(), kDateAnswerCap));
  if (recorded == DateTime{} || recorded <= local || recorded > upper) recorded = upper;
  const std::string text = FormatUsDateTime(recorded);
  if (IoStatus s = WriteDefinitionsDate(files_, dataFolder_, text); !s && log_)
    log_->Write("Live Update: date.dat not written, error " + std::to_string(s.error));
  host_.SetDefinitionsVersion(text + " PST");
  return {UpdateOutcome::Updated, merged.changes, {}};
}

}  // namespace kx
