// The signed update package and the date texts of the definitions server.
//
// A package is its records joined by "[BR]", then a last record "KXSIG|asked|asof|keyid|hex":
// the server's text of the date the client asked from, the server's as-of date, the id of
// the signing key, and an RSA (PKCS #1 v1.5, SHA-256) signature in hex over
// "KESTRIX-PACKAGE\n" + asked + "\n" + asof + "\n" + body, where body is every byte before
// the last "[BR]". Nothing of a package is merged unless a trusted key signed it, it answers
// the date asked, and it is newer than the definitions in place.
//
// The current-date answer is "date KXDATE|issued|keyid|hex": the date as
// "M/D/YYYY h:mm:ss AM", the Unix time (UTC) the signer made the answer, and a signature over
// "KESTRIX-DATE\n" + date + "\n" + issued. Nothing after the date holds "AM" or "PM", so
// CleanDateText reads the date out of it as out of an unsigned answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/trusted_keys.h"
#include "platform/datetime.h"
#include "platform/services.h"

namespace kx {

struct PackageCheck {
  bool ok = false;
  std::string body;    // what to merge; empty unless ok
  DateTime asOf;       // the server's date for these definitions, when ok
  std::string asOfText;
  std::string reason;  // why not, for the log; empty when ok
};

// askedDate: the date text the client sent, compared with the package's by date value;
// localDate: the definitions date in place.
PackageCheck VerifyUpdatePackage(std::string_view package, std::string_view askedDate, const DateTime& localDate,
                                 const TrustedKeyList& keys, Signatures& signatures);

// A current-date answer as proof that the vendor's signer was reached lately.
struct DateAnswer {
  bool confirmed = false;  // signed by a trusted key, issued no more than a day ahead of now
  DateTime date;           // the date the answer gives (CleanDateText's); zero when unreadable
  int64_t issued = 0;      // Unix seconds (UTC), when confirmed
  std::string reason;      // why it is no confirmation, for the log
};
inline constexpr int64_t kIssuedAheadAllowance = 24 * 60 * 60;
DateAnswer ReadDateAnswer(std::string_view text, int64_t nowUnixSeconds, const TrustedKeyList& keys,
                          Signatures& signatures);

// The server's date text made readable: blanks off both ends, TAB, CR and LF removed, then
// cut right after the first "PM", or failing that the first "AM" (either in any case).
std::string CleanDateText(std::string_view text);
// The cleaned text as a date; the zero date when it is not one.
DateTime DateOfServerText(std::string_view text);

}  // namespace kx
