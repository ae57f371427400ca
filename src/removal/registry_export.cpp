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

// The text of a REG_SZ that the quoted form carries unchanged: no line breaks, and no NUL
// but one at the end, which regedit stores after every string it imports, quoted or not.
std::optional<std::string> PlainText(const std::string& data) {
  std::string text = data;
  if (!text.empty() && text.back() == '\0') text.pop_back();
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return std::nullopt;
  return text;
}

// A name regedit reads back as written: a line break would end its line, a NUL its name.
bool Writable(const std::string& name) { return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

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

// Reads the items into sections; each read says whether all of it could be written.
class Collector {
 public:
  explicit Collector(Registry& registry) : registry_(registry) {}

  bool Walk(Hive hive, const std::string& path, int depth) {
    auto name = registry_.RealKeyName(hive, path);
    if (!name || !Writable(*name)) return false;
    Section& s = SectionFor(*name);
    s.whole = true;
    std::vector<std::string> names;
    if (registry_.EnumValues(hive, path, names) != RegStatus::Ok) return false;
    for (const auto& n : names) {
      RegValue v;
      if (!Writable(n) || registry_.QueryValue(hive, path, n, v) != RegStatus::Ok) return false;
      s.values.emplace_back(n, std::move(v));
    }
    std::vector<std::string> subkeys;
    if (registry_.EnumSubkeys(hive, path, subkeys) != RegStatus::Ok) return false;
    if (!subkeys.empty() && depth >= kMaxDepth) return false;
    for (const auto& sub : subkeys)
      if (!Walk(hive, path + "\\" + sub, depth + 1)) return false;
    return true;
  }

  bool Value(Hive hive, const std::string& path, const std::string& valueName) {
    RegValue v;
    if (!Writable(valueName) || registry_.QueryValue(hive, path, valueName, v) != RegStatus::Ok) return false;
    auto name = registry_.RealKeyName(hive, path);
    if (!name || !Writable(*name)) return false;
    SectionFor(*name).values.emplace_back(valueName, std::move(v));
    return true;
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

// The sections that hold the item exactly: none when it does not exist, nullopt when it
// cannot be held exactly.
std::optional<Sections> Read(Registry& registry, const RegistryExportItem& item) {
  auto hive = HiveOf(item.hive);
  std::string key = CleanKey(item.key);
  if (!hive || key.empty()) return std::nullopt;
  bool exact = false;
  RegStatus status = registry.ReadsExactly(*hive, key, item.value, exact);
  if (status == RegStatus::NotFound) return Sections{};
  if (status != RegStatus::Ok || !exact) return std::nullopt;
  Collector c(registry);
  if (!(item.value ? c.Value(*hive, key, *item.value) : c.Walk(*hive, key, 0))) return std::nullopt;
  return std::move(c.sections());
}

void Merge(Sections& into, Sections&& part) {
  for (auto& [upper, s] : part) {
    Section& to = into[upper];
    // Already read whole, with what is below it, through another item.
    if (to.whole) continue;
    if (s.whole || to.name.empty()) {
      to = std::move(s);
      continue;
    }
    for (auto& v : s.values)
      if (!to.Has(v.first)) to.values.push_back(std::move(v));
  }
}

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
  Sections sections;
  // Whole keys first, so that a value inside one is seen to be there already.
  for (bool keys : {true, false})
    for (const auto& item : items_)
      if (keys != item.value.has_value())
        if (auto part = Read(registry_, item)) Merge(sections, std::move(*part));
  if (sections.empty()) return "";
  std::string out = "REGEDIT4\r\n\r\n";
  for (const auto& [upper, s] : sections) {
    out += "[" + s.name + "]\r\n";
    for (const auto& [name, value] : s.values) out += RegeditValueLines(name, value);
    out += "\r\n";
  }
  return out;
}

bool RegistryExport::Exact(const RegistryExportItem& item) const { return Read(registry_, item).has_value(); }

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
