// Request targets as old clients send them: the target may hold raw blanks and bytes >= 0x80,
// and query values may or may not be percent-escaped.
#pragma once
#include <cstddef>
#include <map>
#include <mutex>
#include <unordered_map>
#include <string>
#include <string_view>

namespace kxs {

// "%XX" becomes the byte XX; every other byte, "+" and raw blanks included, stays as it
// is. False on a "%" not followed by two hex digits.
bool PercentDecode(std::string_view in, std::string& out);

struct Query {
  std::map<std::string, std::string> values;  // the first of repeated keys wins
  std::string error;                          // set when the query is malformed
  const std::string* Find(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? nullptr : &it->second;
  }
};
// "k=v&k2=v2", decoded. A piece without "=" is a key with an empty value.
Query ParseQuery(std::string_view raw);

// Every byte outside printable ASCII, and the backslash, as \xNN: a log line never carries
// terminal escapes, line ends or forged escapes.
std::string EscapeForLog(std::string_view in);

// One token bucket per key (a client address): `burst` at once, then `rate` a second.
class TokenBuckets {
 public:
  TokenBuckets(double rate, double burst) : rate_(rate), burst_(burst) {}
  void Set(double rate, double burst) {
    std::lock_guard lock(mu_);
    rate_ = rate;
    burst_ = burst;
  }
  // now: seconds on any steady clock.
  bool Take(const std::string& key, double now);

 private:
  static constexpr size_t kMaxKeys = 100000;
  struct Bucket {
    double tokens, at;
  };
  std::mutex mu_;
  double rate_, burst_;
  std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace kxs
