// Parsing of HTTP requests as old clients send them: the target may hold raw blanks and
// bytes >= 0x80, and query values may or may not be percent-escaped.
#pragma once
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kxs {

struct RequestHead {
  std::string method;
  std::string target;  // raw bytes between the method and the version
  bool keep_alive = true;
  bool has_body = false;
};

// The position just after the blank line that ends a request head, or npos.
size_t HeadEnd(std::string_view buffer);
// Parses a complete head; none when it is not a request line plus headers.
std::optional<RequestHead> ParseHead(std::string_view head);

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

}  // namespace kxs
