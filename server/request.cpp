#include "request.h"

#include <cctype>

namespace kxs {

namespace {

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

size_t HeadEnd(std::string_view buffer) {
  // Bare LF line ends are tolerated, as most servers do.
  for (size_t i = 0; i < buffer.size(); ++i) {
    if (buffer[i] != '\n') continue;
    if (i + 1 < buffer.size() && buffer[i + 1] == '\n') return i + 2;
    if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') return i + 3;
  }
  return std::string_view::npos;
}

std::optional<RequestHead> ParseHead(std::string_view head) {
  size_t eol = head.find('\n');
  if (eol == std::string_view::npos) return std::nullopt;
  std::string_view line = head.substr(0, eol);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // Method and version are single words at either end; everything between is the target,
  // raw blanks included.
  const size_t first = line.find(' ');
  const size_t last = line.rfind(' ');
  if (first == std::string_view::npos || last <= first + 1) return std::nullopt;
  RequestHead h;
  h.method = std::string(line.substr(0, first));
  const std::string_view version = line.substr(last + 1);
  if (version != "HTTP/1.1" && version != "HTTP/1.0") return std::nullopt;
  h.target = std::string(line.substr(first + 1, last - first - 1));
  if (h.method.empty() || h.target.empty() || h.target[0] != '/') return std::nullopt;
  for (char c : h.method)
    if (!std::isupper(static_cast<unsigned char>(c))) return std::nullopt;
  for (char c : h.target)
    if (c == '\0' || c == '\r') return std::nullopt;
  h.keep_alive = version == "HTTP/1.1";

  std::string_view rest = head.substr(eol + 1);
  while (!rest.empty()) {
    eol = rest.find('\n');
    std::string_view field = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    field = TrimView(field);
    if (field.empty()) break;
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const std::string name = LowerAscii(TrimView(field.substr(0, colon)));
    const std::string value = LowerAscii(TrimView(field.substr(colon + 1)));
    if (name == "connection") {
      if (value.find("close") != std::string::npos) h.keep_alive = false;
      else if (value.find("keep-alive") != std::string::npos) h.keep_alive = true;
    } else if (name == "content-length") {
      if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
      if (value.find_first_not_of('0') != std::string::npos) h.has_body = true;
    } else if (name == "transfer-encoding") {
      h.has_body = true;
    }
  }
  return h;
}

bool PercentDecode(std::string_view in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      out += in[i];
      continue;
    }
    if (in.size() - i < 3) return false;
    const int hi = Hex(in[i + 1]), lo = Hex(in[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

Query ParseQuery(std::string_view raw) {
  Query q;
  size_t start = 0;
  while (start <= raw.size()) {
    size_t amp = raw.find('&', start);
    if (amp == std::string_view::npos) amp = raw.size();
    const std::string_view piece = raw.substr(start, amp - start);
    start = amp + 1;
    if (piece.empty()) continue;
    const size_t eq = piece.find('=');
    std::string key, value;
    if (!PercentDecode(piece.substr(0, eq), key) ||
        (eq != std::string_view::npos && !PercentDecode(piece.substr(eq + 1), value))) {
      q.error = "bad percent escape";
      q.values.clear();
      return q;
    }
    q.values.emplace(std::move(key), std::move(value));
  }
  return q;
}

}  // namespace kxs
