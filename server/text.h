// Small text helpers of the vendor server: the definition line codec, dates as the
// client writes them, and case-insensitive comparison of single-byte text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kxs {

// Shift 64, modulus 255: the codec of the definition files and submissions.
std::string EncodeLine(std::string_view plain);
std::string DecodeLine(std::string_view encoded);
// A package body: encoded, except that "|" and "=" stay plain for the merge to split on.
std::string EncodeBody(std::string_view plain);

std::string Lower(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);
std::string Trim(std::string_view s);

// Seconds since 1/1/1970 of a wall-clock date without time zone.
using Seconds = int64_t;
// "M/D/YYYY", "M/D/YYYY h:mm[:ss] AM|PM" or "M/D/YYYY H:mm[:ss]" (24 h); blanks around ignored.
std::optional<Seconds> ParseDate(std::string_view text);
// "M/D/YYYY h:mm:ss AM", or "M/D/YYYY" alone at exactly midnight.
std::string FormatDate(Seconds t);
// The local wall clock now.
Seconds NowLocal();

// The whole content of a regular file (not a folder or device); false when there is none.
bool ReadRegularFile(const std::string& path, std::string& out);

}  // namespace kxs
