#include "definitions/codec.h"

namespace kx {

std::string EncodeDefinitionLine(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    int c = static_cast<unsigned char>(ch) + 64;
    if (c > 255) c -= 255;
    ch = static_cast<char>(c);
  }
  return out;
}

std::string DecodeDefinitionLine(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    int c = static_cast<unsigned char>(ch) - 64;
    if (c < 0) c += 255;
    ch = static_cast<char>(c);
  }
  return out;
}

std::vector<std::string> SplitTextLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(bytes.substr(start, i - start));
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

}  // namespace kx
