#include "scan/cookie_scanner.h"

#include <cmath>

#include "core/text.h"
#include "definitions/codec.h"
#include "definitions/definition_files.h"
#include "definitions/records.h"

namespace kx {

// ---------------------------------------------------------------- the pure rules

std::string GetCookieSite(std::string_view path) {
  size_t at = path.find('@');
  if (at == std::string_view::npos) return "";
  std::string_view rest = path.substr(at + 1);
  size_t copy = rest.find('(');
  if (copy == std::string_view::npos) copy = rest.find('[');
  if (copy != std::string_view::npos) return std::string(rest.substr(0, copy));
  size_t dot = rest.rfind('.');
  return dot == std::string_view::npos ? "" : std::string(rest.substr(0, dot));
}

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// One field from `at`, leaving `at` past its delimiter.
std::string_view NextField(std::string_view bytes, size_t& at) {
  const size_t n = bytes.size();
  while (at < n && (bytes[at] == ' ' || bytes[at] == '\t')) ++at;
  std::string_view field;
  if (at < n && bytes[at] == '"') {
    size_t start = at + 1, end = start;
    while (end < n && bytes[end] != '"' && !IsLineEnd(bytes[end])) ++end;
    field = bytes.substr(start, end - start);
    at = end;
    if (at < n && bytes[at] == '"') ++at;
    while (at < n && bytes[at] != ',' && !IsLineEnd(bytes[at])) ++at;
  } else {
    size_t start = at;
    while (at < n && bytes[at] != ',' && !IsLineEnd(bytes[at])) ++at;
    field = bytes.substr(start, at - start);
  }
  if (at < n) at += (bytes[at] == '\r' && at + 1 < n && bytes[at + 1] == '\n') ? 2 : 1;
  return field;
}

// What a blocked entry is compared as: less its last label, then less its first "*".
std::string ReducedEntry(std::string_view entry) {
  size_t dot = entry.rfind('.');
  std::string e(dot == std::string_view::npos ? entry : entry.substr(0, dot));
  size_t star = e.find('*');
  if (star != std::string::npos) e.erase(star, 1);
  return e;
}

}  // namespace

std::string CookieDomainInText(std::string_view bytes, std::string_view site,
                               const std::function<void()>& afterField) {
  if (site.empty()) return std::string(kNoCookieDomain);
  size_t at = 0;
  while (at < bytes.size()) {
    std::string_view field = NextField(bytes, at);
    size_t hit = field.find(site);
    if (hit != std::string_view::npos) {
      std::string_view rest = field.substr(hit);
      size_t slash = rest.find('/');
      if (slash != std::string_view::npos) return std::string(rest.substr(0, slash));
    }
    if (afterField) afterField();
  }
  return std::string(kNoCookieDomain);
}

std::string MatchingCookieDomain(std::string_view domain) {
  size_t dot = domain.rfind('.');
  if (dot != std::string_view::npos) domain = domain.substr(0, dot);
  if (domain.size() >= 4 && EqualsNoCase(domain.substr(0, 4), "www.")) domain.remove_prefix(4);
  return std::string(domain);
}

bool IsBlockedCookieDomain(const std::vector<std::string>& list, const std::string& domain) {
  for (const std::string& entry : list)
    if (entry.find(domain) != std::string::npos && EqualsNoCase(ReducedEntry(entry), domain)) return true;
  return false;
}

BlockedCookieIndex::BlockedCookieIndex(const std::vector<std::string>& list) {
  for (const std::string& entry : list) byReduced_[LowerAnsi(ReducedEntry(entry))].push_back(entry);
}

bool BlockedCookieIndex::IsBlocked(const std::string& domain) const {
  // Equal ignoring case is equal in lower case; the exact-case containment is asked of
  // the group's own entries, as the literal rule asks it of every entry.
  auto group = byReduced_.find(LowerAnsi(domain));
  if (group == byReduced_.end()) return false;
  for (const std::string& entry : group->second)
    if (entry.find(domain) != std::string::npos) return true;
  return false;
}

// ---------------------------------------------------------------- the phase

CookieScanner::CookieScanner(CookieScanServices services, ui::Control* cmdScan, ThreatList& threats,
                             ScanState& state)
    : services_(std::move(services)), cmdScan_(cmdScan), threats_(threats), state_(state) {}

std::string CookieScanner::GetSpecialFolder(int csidl) {
  std::string path = services_.system.SpecialFolder(csidl);
  return path.empty() ? std::string(255, ' ') : path;
}

void CookieScanner::ScanCookies(long& cookieFiles) {
  std::string folder = GetSpecialFolder(kCsidlCookies);
  if (Trim(folder).empty()) return;
  ScanCookieFolder(folder, cookieFiles);
}

std::vector<std::string> CookieScanner::LoadBlockedList() {
  DefinitionStore store(services_.files, services_.dataFolder);
  if (!store.Present(DefinitionFile::BlockedCookies)) {
    if (services_.log) services_.log->Write("Cookie scan: no BlockedCookies.dat, no cookie can match");
    return {};
  }
  std::vector<std::string> lines = store.RawLines(DefinitionFile::BlockedCookies);
  for (std::string& line : lines) {
    line = DecodeDefinitionLine(line);
    state_.YieldToMessageLoop();
  }
  return BlockedCookieList(lines);
}

int CookieScanner::FirstBar(double files) const {
  double v = std::nearbyint(state_.counters.memoryInspected / files);
  return v >= 0 && v <= 100 ? static_cast<int>(v) : -1;
}

std::string CookieScanner::ReadCookieDomain(const std::string& path) {
  std::string site = GetCookieSite(path);
  if (site.empty()) return std::string(kNoCookieDomain);
  std::optional<std::string> bytes = services_.files.ReadFile(path);
  if (!bytes) {
    if (services_.log) services_.log->Write("Cookie scan: cannot read " + path);
    return std::string(kNoCookieDomain);
  }
  return CookieDomainInText(*bytes, site, [this] { state_.YieldToMessageLoop(); });
}

void CookieScanner::ScanCookieFolder(const std::string& folder, long& cookieFiles) {
  const std::vector<std::string> blocked = LoadBlockedList();
  const BlockedCookieIndex index(blocked);
  // The highest index of the list: the entries before its trailing empty one, -1 for none.
  const double highest = static_cast<double>(blocked.size()) - 1;

  const std::string base = !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
  // Hidden and system files count too (IE's index.dat is both); subfolders are not entered.
  // The listing is taken once: N is its count, not re-read for every file.
  std::vector<std::string> names;
  for (const FileEntry& e : services_.files.Find(base + "*"))
    if (!(e.attributes & FA_DIRECTORY)) names.push_back(e.name);
  const double files = static_cast<double>(names.size());

  long k = 0;
  for (const std::string& name : names) {
    if (state_.stop) return;
    ++k;
    cookieFiles += 1;
    state_.UpdateScanProgress(state_.phaseCaption + "\r\n" + name, FirstBar(files), -1);
    const std::string path = base + name;
    const std::string domain = MatchingCookieDomain(ReadCookieDomain(path));
    const bool matched = index.IsBlocked(domain);
    state_.counters.memoryInspected = static_cast<long>(std::nearbyint(highest * k / files));
    if (!blocked.empty())
      state_.UpdateScanProgress(state_.phaseCaption + "\r\n" + blocked.front(), FirstBar(files), -1);
    if (matched) {
      if (threats_.IsExcluded(path)) {
        threats_.AddExcludedRow(path);
      } else {
        threats_.AddLiveRow("Cookie Found: " + name, KIND_COOKIE);
        // An enabled scan button means no scan is running any more.
        if (cmdScan_ && cmdScan_->enabled()) return;
        threats_.results().Add(CookieRow{path});
        threats_.AddThreatRow("Cookie: " + name, KIND_COOKIE, path, "Tracking Cookie");
        state_.counters.threatsFound += 1;
      }
    }
    state_.YieldToMessageLoop();
  }
}

}  // namespace kx
