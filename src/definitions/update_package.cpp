#include "definitions/update_package.h"

#include "core/text.h"

namespace kx {

namespace {

constexpr std::string_view kSignatureTag = "KXSIG";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(std::string_view hex, std::string& out) {
  if (hex.empty() || hex.size() % 2) return false;
  out.clear();
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

PackageCheck Refused(std::string reason) {
  PackageCheck c;
  c.reason = std::move(reason);
  return c;
}

}  // namespace

PackageCheck VerifyUpdatePackage(std::string_view package, std::string_view askedDate, const DateTime& localDate,
                                 const PackageKey& key, Signatures& signatures) {
  size_t last = package.rfind("[BR]");
  std::string_view body = last == std::string_view::npos ? std::string_view() : package.substr(0, last);
  std::string_view record = last == std::string_view::npos ? package : package.substr(last + 4);
  // A line end after the record is the transport's, not the server's.
  while (!record.empty() && (record.back() == '\n' || record.back() == '\r' || record.back() == ' '))
    record.remove_suffix(1);

  std::vector<std::string_view> fields = SplitViews(record, '|');
  if (fields.size() != 4 || fields[0] != kSignatureTag) return Refused("no signature record");
  std::string signature;
  if (!FromHex(fields[3], signature)) return Refused("signature is not hex");
  const std::string_view asked = fields[1], asOfText = fields[2];

  std::string message = "KESTRIX-PACKAGE\n";
  message.reserve(message.size() + asked.size() + asOfText.size() + body.size() + 2);
  message.append(asked).append("\n").append(asOfText).append("\n").append(body);
  if (!signatures.VerifyRsaSha256(key.modulus, key.exponent, message, signature))
    return Refused("signature does not verify");
  if (asked != askedDate) return Refused("package answers another date: " + std::string(asked));
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

}  // namespace kx
