// The cookie phase: every file in the user's Internet Explorer cookies folder, its web
// domain read from inside the file and matched against the blocked-cookie definitions.
// A blocked cookie is listed live, queued for deletion and added to the threat list as a
// "Tracking Cookie", unless the user excluded it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/forms/form.h"
#include "platform/log.h"
#include "platform/services.h"
#include "scan/scan_state.h"
#include "scan/threat_list.h"

namespace kx {

inline constexpr int kCsidlCookies = 33;
// What a cookie file yields when no domain can be read from it.
inline constexpr std::string_view kNoCookieDomain = "False";

struct CookieScanServices {
  FileSystem& files;
  SystemInfo& system;
  std::string dataFolder;  // no trailing "\"
  Log* log = nullptr;
};

// The site part of a cookie file's name ("user@site[1].txt" gives "site"): after the first
// "@" of the path, up to a "(" (or, when there is none, a "["), else up to the last ".";
// "" when the path has no "@", or no such end.
std::string GetCookieSite(std::string_view path);

// The domain a cookie file's bytes give for its site: the first comma-separated field that
// holds the site (exact case) with a "/" after it, from the site up to that "/". A field
// ends at a comma or a line end (CR, LF or CR LF); leading blanks are skipped, and a field
// that opens with a double quote runs to the closing quote, commas included, whatever
// follows the quote being dropped. "False" when no field gives one. afterField, when set,
// runs after each field read.
std::string CookieDomainInText(std::string_view bytes, std::string_view site,
                               const std::function<void()>& afterField = {});

// The domain as it is matched: its last label cut off ("a.b.c" gives "a.b"), then a
// leading "www." (any case) dropped.
std::string MatchingCookieDomain(std::string_view domain);

// The literal rule: some entry holds the domain (exact case) and, less its last label and
// its first "*", equals the domain ignoring case.
bool IsBlockedCookieDomain(const std::vector<std::string>& list, const std::string& domain);

// The same answers as IsBlockedCookieDomain over one list, built once per phase: entries
// are grouped by what they reduce to, lower case, so a lookup reads one small group.
class BlockedCookieIndex {
 public:
  explicit BlockedCookieIndex(const std::vector<std::string>& list);
  bool IsBlocked(const std::string& domain) const;

 private:
  std::unordered_map<std::string, std::vector<std::string>> byReduced_;
};

class CookieScanner {
 public:
  // cmdScan: the main window's scan button, disabled while a scan runs; may be null.
  CookieScanner(CookieScanServices services, ui::Control* cmdScan, ThreatList& threats, ScanState& state);

  // The phase; cookieFiles is the driver's cookie-file counter, one added per file.
  void ScanCookies(long& cookieFiles);
  // A shell folder's path; 255 blanks when the shell cannot name it.
  std::string GetSpecialFolder(int csidl);
  void ScanCookieFolder(const std::string& folder, long& cookieFiles);
  // The domain inside the cookie file, or "False"; the file is read once.
  std::string ReadCookieDomain(const std::string& path);

  // The blocked-cookie list for this phase, read from BlockedCookies.dat (empty without it).
  std::vector<std::string> LoadBlockedList();

 private:
  int FirstBar(double files) const;

  CookieScanServices services_;
  ui::Control* cmdScan_;
  ThreatList& threats_;
  ScanState& state_;
};

}  // namespace kx
