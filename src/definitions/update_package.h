// The signed update package and the date texts of the definitions server.
//
// A package is its records joined by "[BR]", then a last record "KXSIG|asked|asof|hex":
// the date text the client asked from, the server's as-of date, and an RSA (PKCS #1 v1.5,
// SHA-256) signature in hex over "KESTRIX-PACKAGE\n" + asked + "\n" + asof + "\n" + body,
// where body is every byte before the last "[BR]". Nothing of a package is merged unless it
// verifies, answers the date asked, and is newer than the definitions in place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/datetime.h"
#include "platform/services.h"

namespace kx {

struct PackageKey {
  std::string modulus;  // big-endian bytes
  uint32_t exponent = 65537;
};

// The key the build compiled in (the public half of the development or release key).
PackageKey CompiledInPackageKey();

struct PackageCheck {
  bool ok = false;
  std::string body;    // what to merge; empty unless ok
  DateTime asOf;       // the server's date for these definitions, when ok
  std::string asOfText;
  std::string reason;  // why not, for the log; empty when ok
};

// askedDate: the date text the client sent; localDate: the definitions date in place.
PackageCheck VerifyUpdatePackage(std::string_view package, std::string_view askedDate, const DateTime& localDate,
                                 const PackageKey& key, Signatures& signatures);

// The server's date text made readable: blanks off both ends, TAB, CR and LF removed, then
// cut right after the first "PM", or failing that the first "AM" (either in any case).
std::string CleanDateText(std::string_view text);
// The cleaned text as a date; the zero date when it is not one.
DateTime DateOfServerText(std::string_view text);

}  // namespace kx
