#include "core/version_info.h"

#include <algorithm>

#include "core/text.h"

namespace kx {

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;

uint16_t Word(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

uint32_t Dword(const std::string& b, size_t at) { return Word(b, at) | (uint32_t{Word(b, at + 2)} << 16); }

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

// UTF-16LE from at up to a NUL or end, as ANSI; end is where the scan stops.
std::string Utf16ToAnsi(const std::string& b, size_t at, size_t end, size_t* after = nullptr) {
  std::string ansi;
  size_t i = at;
  bool terminated = false;
  for (; i + 2 <= end; i += 2) {
    uint32_t cp = Word(b, i);
    if (cp == 0) {
      i += 2;
      terminated = true;
      break;
    }
    // Nothing outside the BMP fits 1252 anyway.
    ansi += cp >= 0xD800 && cp <= 0xDFFF ? '?' : AnsiOfCodePoint(cp);
  }
  if (after) *after = terminated ? i : end;
  return ansi;
}

struct Node {
  size_t start = 0, end = 0;  // end: start + wLength, inside the buffer
  uint16_t valueLength = 0, type = 0;
  std::string key;
  size_t value = 0;     // where the value starts
  size_t children = 0;  // where the first child starts
};

// The node at start, clamped to limit; nullopt when not even its header fits.
std::optional<Node> ReadNode(const std::string& b, size_t start, size_t limit) {
  if (start + 6 > limit) return std::nullopt;
  Node n;
  n.start = start;
  const uint16_t length = Word(b, start);
  if (length < 6 || start + length > limit) return std::nullopt;
  n.end = start + length;
  n.valueLength = Word(b, start + 2);
  n.type = Word(b, start + 4);
  size_t after = 0;
  n.key = Utf16ToAnsi(b, start + 6, n.end, &after);
  n.value = std::min(Align4(after), n.end);
  // Text values count UTF-16 units, binary ones bytes.
  const size_t valueBytes = n.type == 1 ? size_t{n.valueLength} * 2 : n.valueLength;
  n.children = std::min(Align4(std::min(n.value + valueBytes, n.end)), n.end);
  return n;
}

template <typename F>
void ForEachChild(const std::string& b, const Node& parent, F&& f) {
  size_t at = parent.children;
  while (at < parent.end) {
    auto child = ReadNode(b, at, parent.end);
    if (!child) break;
    f(*child);
    at = Align4(child->end);
  }
}

// StringFileInfo holds string tables, each holding the name/value strings.
void ReadStrings(const std::string& b, const Node& node, VersionInfo& info) {
  ForEachChild(b, node, [&](const Node& table) {
    ForEachChild(b, table, [&](const Node& s) {
      if (s.key.empty() || info.String(s.key)) return;
      // Some tools count the value in bytes or leave it 0; read to the NUL or node end.
      std::string value = s.value < s.end ? Utf16ToAnsi(b, s.value, s.end) : std::string();
      info.strings.emplace_back(s.key, std::move(value));
    });
  });
}

}  // namespace

std::optional<std::string> VersionInfo::String(const std::string& name) const {
  for (const auto& [k, v] : strings)
    if (EqualsNoCase(k, name)) return v;
  return std::nullopt;
}

std::optional<VersionInfo> ParseVersionInfo(const std::string& bytes) {
  auto root = ReadNode(bytes, 0, bytes.size());
  if (!root || root->key != "VS_VERSION_INFO") return std::nullopt;
  VersionInfo info;
  if (root->valueLength >= 52 && root->value + 52 <= root->end &&
      Dword(bytes, root->value) == kFixedSignature) {
    const size_t f = root->value;
    info.hasFixed = true;
    info.fileMajor = Word(bytes, f + 10);
    info.fileMinor = Word(bytes, f + 8);
    info.fileBuild = Word(bytes, f + 14);
    info.fileRevision = Word(bytes, f + 12);
    info.productMajor = Word(bytes, f + 18);
    info.productMinor = Word(bytes, f + 16);
    info.productBuild = Word(bytes, f + 22);
    info.productRevision = Word(bytes, f + 20);
  }
  ForEachChild(bytes, *root, [&](const Node& child) {
    if (EqualsNoCase(child.key, "StringFileInfo")) ReadStrings(bytes, child, info);
  });
  return info;
}

Branding BrandingFromVersionInfo(const VersionInfo& info, Branding defaults) {
  auto take = [&](const char* name, std::string& into) {
    auto v = info.String(name);
    if (v && !v->empty()) into = *v;
  };
  take("ProductName", defaults.productName);
  take("CompanyName", defaults.companyName);
  take("Comments", defaults.website);
  take("LegalCopyright", defaults.copyright);
  return defaults;
}

}  // namespace kx
