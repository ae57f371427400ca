#include "routes.h"

#include "request.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <cstdlib>

namespace kxs {

namespace {

HttpResponse Text(int status, std::string body) { return {status, "text/plain", std::move(body), nullptr, {}}; }
HttpResponse BadRequest(const std::string& why) { return Text(400, why + "\n"); }

constexpr const char* kProxiedPackage = "/_kestrix/package/";

HttpResponse FromFront(const Served& served, const char* what) {
  if (served.status == 200) return {200, "text/plain", "", served.body, {}};
  switch (served.status) {
    case 404: return Text(404, std::string("no ") + what + "\n");
    case 429: return Text(429, "too many new dates from this address; ask again later\n");
    default: return Text(503, std::string("the ") + what + " cannot be made now; ask again later\n");
  }
}

bool Require(const Query& q, std::initializer_list<const char*> keys, std::string& missing) {
  for (const char* k : keys)
    if (!q.Find(k)) {
      missing = std::string("missing \"") + k + "\"";
      return false;
    }
  return true;
}

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

HttpResponse Routes::Handle(const HttpRequest& req) {
  if (req.query.size() > limits_.query) return BadRequest("query too long");
  // The old servers' paths compared without regard to case; clients send them as listed.
  const std::string path = Lower(req.path);
  const bool asp = path.rfind("/asp/", 0) == 0;
  Query q;
  if (asp) {
    q = ParseQuery(req.query);
    if (!q.error.empty()) return BadRequest(q.error);
  }
  std::string missing;
  if (path == "/asp/currentdatenew.asp") {
    if (!Require(q, {"prog", "comp"}, missing)) return BadRequest(missing);
    return FromFront(front_.CurrentDate(), "current date");
  }
  if (path == "/asp/getdefsnew.asp") {
    if (!Require(q, {"prog", "comp", "date"}, missing)) return BadRequest(missing);
    return DefinitionsPackage(q, req);
  }
  if (path == "/asp/date.asp") return FromFront(front_.CurrentDate(), "current date");
  // For the balancer: this instance reaches its database.
  if (path == "/health") return front_.Current() ? Text(200, "ok\n") : Text(503, "no database\n");
  if (path.rfind(kProxiedPackage, 0) == 0) return ProxiedPackage(path, req);
  if (path == "/asp/getdata.asp") {
    if (!Require(q, {"data"}, missing)) return BadRequest(missing);
    return Submission(q, req.client);
  }
  if (path == "/languages/" + std::to_string(kProductNumber) + "/localization.txt")
    return FromFront(front_.LanguageFile(), "language file");
  const std::string version = "/definitions/version/";
  if (path.rfind(version, 0) == 0 && path.size() == version.size() + 5 && EndsWith(path, ".htm")) {
    const char letter = static_cast<char>(path[version.size()] - 'a' + 'A');
    if (auto page = front_.VersionPage(letter)) return {200, "text/html", "", page, {}};
  }
  const std::string data = "/definitions/data/";
  if (path.rfind(data, 0) == 0) {
    // The file names are matched as the address list writes them.
    if (auto file = front_.DataFile(req.path.substr(data.size()))) return {200, "text/plain", "", file, {}};
  }
  if (!web_dir_.empty() && !asp) return WebFile(req.path);
  return Text(404, "not found\n");
}

HttpResponse Routes::DefinitionsPackage(const Query& q, const HttpRequest& req) {
  const std::string& date = *q.Find("date");
  if (date.size() > limits_.date) return BadRequest("date too long");
  if (date.find_first_of("|[") != std::string::npos) return BadRequest("date holds \"|\" or \"[\"");
  const auto at = ParseDate(date);
  if (!at) return BadRequest("date not understood (M/D/YYYY h:mm:ss AM)");
  // A proxy that keeps packages itself is told where this one lives: the date as parsed and
  // the current date, so every spelling of a date and every instance share its one copy.
  if (req.via_proxy && req.accel) {
    const auto now = front_.Current();
    if (!now) return Text(503, "the package cannot be made now; ask again later\n");
    HttpResponse r = Text(200, "");
    r.headers.emplace_back("X-Accel-Redirect", kProxiedPackage + std::to_string(*at) + "/" + std::to_string(*now));
    return r;
  }
  // Every spelling of one date is one package, made once.
  return FromFront(front_.Package(*at, req.client), "package");
}

HttpResponse Routes::ProxiedPackage(const std::string& path, const HttpRequest& req) {
  // "<asked>/<current>": the current date only keys the proxy's copy.
  const std::string rest = path.substr(std::string(kProxiedPackage).size());
  const size_t slash = rest.find('/');
  Seconds asked = -1;
  if (slash == std::string::npos || slash == 0 || slash > 12 || rest.find_first_not_of("0123456789/") != std::string::npos)
    return Text(404, "not found\n");
  asked = std::stoll(rest.substr(0, slash));
  return FromFront(front_.Package(asked, req.client), "package");
}

HttpResponse Routes::Submission(const Query& q, const std::string& client) {
  const std::string& data = *q.Find("data");
  if (data.size() > limits_.data) return BadRequest("data too long");
  const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  if (!submission_rate_.Take(client, now)) return Text(429, "Too Many Requests\n");
  switch (submissions_.Submit(data, NowLocal())) {
    case Submitted::kAdded: return Text(200, "Added");
    case Submitted::kSkipped: return Text(200, "Skipped");
    case Submitted::kFull: break;
  }
  return Text(503, "submissions are full\n");
}

HttpResponse Routes::WebFile(const std::string& path) {
  // Hidden pieces (".git", ".env", "..") are never served; and what the path resolves to,
  // links followed, must be a regular file inside the folder.
  if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos || path.find('\\') != std::string::npos ||
      path.find("/.") != std::string::npos)
    return Text(404, "not found\n");
  char root[PATH_MAX], real[PATH_MAX];
  const std::string file = web_dir_ + (path == "/" ? std::string("/index.html") : path);
  if (!realpath(web_dir_.c_str(), root) || !realpath(file.c_str(), real)) return Text(404, "not found\n");
  const std::string inside = std::string(root) + "/";
  std::string text;
  if (std::string(real).rfind(inside, 0) != 0 || !ReadRegularFile(real, text)) return Text(404, "not found\n");
  const std::string lower = Lower(file);
  const char* type = EndsWith(lower, ".htm") || EndsWith(lower, ".html") ? "text/html"
                     : EndsWith(lower, ".txt")                           ? "text/plain"
                                                                         : "application/octet-stream";
  return {200, type, std::move(text), nullptr, {}};
}

}  // namespace kxs
