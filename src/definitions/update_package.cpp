#include "definitions/update_package.h"

#include <algorithm>

#include "core/text.h"

namespace kx {

namespace {

constexpr std::string_view kSignatureTag = "KXSIG";
constexpr std::string_view kDateTag = "KXDATE|";

PackageCheck Refused(std::string reason) {
  PackageCheck c;
  c.reason = std::move(reason);
  return c;
}

}  // namespace

PackageCheck VerifyUpdatePackage(std::string_view package, std::string_view askedDate, const DateTime& localDate,
                                 const TrustedKeyList& keys, Signatures& signatures) {
  size_t last = package.rfind("[BR]");
  std::string_view body = last == std::string_view::npos ? std::string_view() : package.substr(0, last);
  std::string_view record = last == std::string_view::npos ? package : package.substr(last + 4);
  // A line end after the record is the transport's, not the server's.
  while (!record.empty() && (record.back() == '\n' || record.back() == '\r' || record.back() == ' '))
    record.remove_suffix(1);

  std::vector<std::string_view> fields = SplitViews(record, '|');
  if (fields.size() != 5 || fields[0] != kSignatureTag) return Refused("no signature record");
  const std::string_view asked = fields[1], asOfText = fields[2];

  std::string message = "KESTRIX-PACKAGE\n";
  message.reserve(message.size() + asked.size() + asOfText.size() + body.size() + 2);
  message.append(asked).append("\n").append(asOfText).append("\n").append(body);
  if (std::string why = CheckSignature(keys, fields[3], message, fields[4], signatures); !why.empty())
    return Refused("package " + why);
  // The server writes its own text of the date it was sent ("3/16/2006 12:00:00 AM" for
  // "3/16/2006"), so only the dates' values can be compared.
  const std::optional<DateTime> askedValue = ParseUsDateTime(std::string(asked));
  if (!askedValue || askedValue != ParseUsDateTime(std::string(askedDate)))
    return Refused("package answers another date: " + std::string(asked));
  std::optional<DateTime> asOf = ParseUsDateTime(std::string(asOfText));
  if (!asOf) return Refused("unreadable as-of date: " + std::string(asOfText));
  if (!(*asOf > localDate)) return Refused("package is not newer than the definitions: " + std::string(asOfText));

  PackageCheck c;
  c.ok = true;
  c.body.assign(body);
  c.asOf = *asOf;
  c.asOfText.assign(asOfText);
  return c;
}

std::string CleanDateText(std::string_view text) {
  std::string t = Trim(text);
  std::erase_if(t, [](char c) { return c == '\t' || c == '\r' || c == '\n'; });
  size_t at = FindNoCase(t, "PM");
  if (at == std::string::npos) at = FindNoCase(t, "AM");
  if (at != std::string::npos) t.resize(at + 2);
  return t;
}

DateTime DateOfServerText(std::string_view text) {
  return ParseUsDateTime(CleanDateText(text)).value_or(DateTime{});
}

DateAnswer ReadDateAnswer(std::string_view text, int64_t nowUnixSeconds, const TrustedKeyList& keys,
                          Signatures& signatures) {
  DateAnswer a;
  a.date = DateOfServerText(text);
  const size_t tag = text.rfind(kDateTag);
  if (tag == std::string_view::npos) {
    a.reason = "the current date is not signed";
    return a;
  }
  std::string dateText = Trim(text.substr(0, tag));
  std::erase_if(dateText, [](char c) { return c == '\t' || c == '\r' || c == '\n'; });
  std::string_view record = text.substr(tag + kDateTag.size());
  while (!record.empty() && (record.back() == '\n' || record.back() == '\r' || record.back() == ' ' || record.back() == '\t'))
    record.remove_suffix(1);
  const std::vector<std::string_view> fields = SplitViews(record, '|');
  const std::string_view issued = fields.size() == 3 ? fields[0] : std::string_view();
  // Nineteen digits always fit in 64 bits.
  if (issued.empty() || issued.size() > 18 || !std::all_of(issued.begin(), issued.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    a.reason = "the current date's signature record is malformed";
    return a;
  }
  const std::string message = "KESTRIX-DATE\n" + dateText + "\n" + std::string(issued);
  if (std::string why = CheckSignature(keys, fields[1], message, fields[2], signatures); !why.empty()) {
    a.reason = "current date " + why;
    return a;
  }
  const std::optional<DateTime> signedDate = ParseUsDateTime(dateText);
  if (!signedDate) {
    a.reason = "the signed current date cannot be read: " + dateText;
    return a;
  }
  a.date = *signedDate;
  const int64_t when = std::stoll(std::string(issued));
  if (when > nowUnixSeconds + kIssuedAheadAllowance) {
    a.reason = "the current date was issued at " + std::to_string(when) + ", more than a day after this clock's " +
               std::to_string(nowUnixSeconds);
    return a;
  }
  a.confirmed = true;
  a.issued = when;
  return a;
}

}  // namespace kx
