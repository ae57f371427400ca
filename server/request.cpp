#include "request.h"

#include <algorithm>

namespace kxs {

namespace {

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

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

std::string EscapeForLog(std::string_view in) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(in.size());
  for (unsigned char c : in) {
    if (c >= 0x20 && c < 0x7f && c != '\\') out += static_cast<char>(c);
    else out += {'\\', 'x', hex[c >> 4], hex[c & 15]};
  }
  return out;
}

bool TokenBuckets::Take(const std::string& key, double now) {
  std::lock_guard lock(mu_);
  // Only a full bucket is forgotten, so dropping one never gives a client more.
  if (buckets_.size() >= kMaxKeys)
    std::erase_if(buckets_, [&](const auto& kv) { return kv.second.tokens + (now - kv.second.at) * rate_ >= burst_; });
  auto [it, fresh] = buckets_.try_emplace(key, Bucket{burst_, now});
  Bucket& b = it->second;
  b.tokens = std::min(burst_, b.tokens + std::max(0.0, now - b.at) * rate_);
  b.at = now;
  if (b.tokens < 1) return false;
  b.tokens -= 1;
  return true;
}

}  // namespace kxs
