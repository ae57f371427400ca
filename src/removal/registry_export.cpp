#include "removal/registry_export.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>

#include "core/text.h"
#include "definitions/hive.h"

namespace kx {

namespace {

// Registry keys nest at most this deep; a deeper walk is a loop through a link.
constexpr int kMaxDepth = 512;
// Regedit breaks a hex line once it holds this many characters.
constexpr size_t kHexLineLimit = 77;

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The text of a REG_SZ that the quoted form carries unchanged: no line breaks, and nothing
// after the terminating NUL.
std::optional<std::string> PlainText(const std::string& data) {
  size_t nul = data.find('\0');
  std::string text = data.substr(0, nul);
  if (nul != std::string::npos && data.find_first_not_of('\0', nul) != std::string::npos) return std::nullopt;
  if (text.find_first_of("\r\n") != std::string::npos) return std::nullopt;
  return text;
}

void AppendHex(std::string& line, const std::string& data) {
  static const char digits[] = "0123456789abcdef";
  size_t length = line.size();
  for (size_t i = 0; i < data.size(); ++i) {
    auto b = static_cast<unsigned char>(data[i]);
    line += digits[b >> 4];
    line += digits[b & 15];
    if (i + 1 == data.size()) break;
    line += ',';
    length += 3;
    if (length >= kHexLineLimit) {
      line += "\\\r\n  ";
      length = 2;
    }
  }
}

// Orders full key names so that a key comes right before everything below it.
struct KeyOrder {
  bool operator()(const std::string& a, const std::string& b) const {
    auto rank = [](char c) { return c == '\\' ? 0 : static_cast<unsigned char>(c) + 1; };
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
      if (rank(a[i]) != rank(b[i])) return rank(a[i]) < rank(b[i]);
    return a.size() < b.size();
  }
};

struct Section {
  std::string name;
  std::vector<std::pair<std::string, RegValue>> values;
  bool whole = false;  // every value read, as the key stood

  bool Has(const std::string& valueName) const {
    for (const auto& v : values)
      if (EqualsNoCase(v.first, valueName)) return true;
    return false;
  }
};

using Sections = std::map<std::string, Section, KeyOrder>;  // by upper-case full name

std::optional<Hive> HiveOf(int64_t handle) {
  if (handle < INT32_MIN || handle > static_cast<int64_t>(UINT32_MAX)) return std::nullopt;
  return HiveOfHandle(static_cast<int32_t>(static_cast<uint32_t>(handle)));
}

std::string CleanKey(const std::string& key) {
  std::string k = Trim(key);
  size_t first = k.find_first_not_of('\\');
  if (first == std::string::npos) return "";
  size_t last = k.find_last_not_of('\\');
  return k.substr(first, last - first + 1);
}

class Collector {
 public:
  explicit Collector(Registry& registry) : registry_(registry) {}

  void Walk(Hive hive, const std::string& path, int depth) {
    auto name = registry_.RealKeyName(hive, path);
    if (!name) return;
    Section& s = SectionFor(*name);
    // Already read whole, with what is below it, through another item.
    if (s.whole) return;
    s.whole = true;
    std::vector<std::string> names;
    if (registry_.EnumValues(hive, path, names) == RegStatus::Ok) {
      s.values.clear();
      for (const auto& n : names) {
        RegValue v;
        if (registry_.QueryValue(hive, path, n, v) == RegStatus::Ok) s.values.emplace_back(n, std::move(v));
      }
    }
    std::vector<std::string> subkeys;
    if (depth >= kMaxDepth || registry_.EnumSubkeys(hive, path, subkeys) != RegStatus::Ok) return;
    for (const auto& sub : subkeys) Walk(hive, path + "\\" + sub, depth + 1);
  }

  void Value(Hive hive, const std::string& path, const std::string& valueName) {
    RegValue v;
    if (registry_.QueryValue(hive, path, valueName, v) != RegStatus::Ok) return;
    auto name = registry_.RealKeyName(hive, path);
    if (!name) return;
    Section& s = SectionFor(*name);
    if (s.whole || s.Has(valueName)) return;
    s.values.emplace_back(valueName, std::move(v));
  }

  Sections& sections() { return sections_; }

 private:
  Section& SectionFor(const std::string& name) {
    Section& s = sections_[UpperAnsi(name)];
    if (s.name.empty()) s.name = name;
    return s;
  }

  Registry& registry_;
  Sections sections_;
};

}  // namespace

std::string RegeditValueLines(const std::string& name, const RegValue& value) {
  std::string line = name.empty() ? "@=" : Quoted(name) + "=";
  std::optional<std::string> text;
  if (value.type == REGT_SZ) text = PlainText(value.data);
  if (text) {
    line += Quoted(*text);
  } else if (value.type == REGT_DWORD && value.data.size() == 4) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(*value.AsDword()));
    line += buf;
  } else {
    if (value.type == REGT_BINARY) {
      line += "hex:";
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
      line += buf;
    }
    AppendHex(line, value.data);
  }
  return line + "\r\n";
}

std::string RegistryExport::Text() const {
  Collector c(registry_);
  // Whole keys first, so that a value inside one is seen to be there already.
  for (const auto& item : items_) {
    auto hive = HiveOf(item.hive);
    std::string key = CleanKey(item.key);
    if (hive && !key.empty() && !item.value) c.Walk(*hive, key, 0);
  }
  for (const auto& item : items_) {
    auto hive = HiveOf(item.hive);
    std::string key = CleanKey(item.key);
    if (hive && !key.empty() && item.value) c.Value(*hive, key, *item.value);
  }
  if (c.sections().empty()) return "";
  std::string out = "REGEDIT4\r\n\r\n";
  for (const auto& [upper, s] : c.sections()) {
    out += "[" + s.name + "]\r\n";
    for (const auto& [name, value] : s.values) out += RegeditValueLines(name, value);
    out += "\r\n";
  }
  return out;
}

std::optional<std::string> RegistryExport::WriteTo(FileSystem& files, const std::string& quarantineFolder,
                                                   const DateTime& runTime) const {
  std::string text = Text();
  if (text.empty()) return std::nullopt;
  std::string folder = quarantineFolder;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "Registry %04d-%02d-%02d %02d.%02d.%02d", runTime.year, runTime.month,
                runTime.day, runTime.hour, runTime.minute, runTime.second);
  std::string path = folder + "\\" + stamp + ".reg";
  for (int n = 2; files.Attributes(path); ++n) {
    if (n > 999) return std::nullopt;
    path = folder + "\\" + stamp + " (" + std::to_string(n) + ").reg";
  }
  if (!files.WriteFile(path, text)) return std::nullopt;
  return path;
}

}  // namespace kx
