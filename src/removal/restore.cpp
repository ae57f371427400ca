#include "removal/restore.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/paths.h"
#include "core/text.h"
#include "platform/datetime.h"

namespace kx {
namespace {

struct Pair {
  std::string slot, path;
};

struct IndexRun {
  std::string time;
  std::vector<Pair> files;
  std::vector<std::string> exports;
  std::vector<std::string> locations;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      out.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) out.push_back(line);
  return out;
}

// A name below the quarantine folder that stays below it: a log or index edited by hand
// must not send a restore or a delete anywhere else.
bool SafeSlot(const std::string& slot) {
  if (slot.empty() || slot.front() == '\\' || slot.back() == '\\') return false;
  if (slot.find_first_of(":/*?\"<>|") != std::string::npos) return false;
  for (const std::string& part : Split(slot, '\\'))
    if (part.empty() || Trim(part) == "." || Trim(part) == "..") return false;
  return true;
}

std::string Key(const Pair& p) { return UpperAnsi(p.slot) + "|" + UpperAnsi(p.path); }

// The registry location a scan gives the entry a log record names.
std::string ScanLocation(const std::string& fullKey, const std::string& value) {
  if (value == "All Values") return fullKey;
  return value.empty() ? "" : fullKey + value;
}

std::vector<IndexRun> ReadIndex(FileSystem& files, const std::string& path) {
  std::vector<IndexRun> runs;
  const auto text = files.ReadFile(path);
  if (!text) return runs;
  for (const std::string& line : Lines(*text)) {
    const auto f = Split(line, '|');
    if (f.size() == 2 && f[0] == "Run") {
      runs.push_back({f[1], {}, {}, {}});
      continue;
    }
    if (runs.empty()) continue;
    IndexRun& r = runs.back();
    if (f.size() == 3 && f[0] == "File") r.files.push_back({f[1], f[2]});
    if (f.size() == 2 && f[0] == "Registry") r.exports.push_back(f[1]);
    if (f.size() == 3 && f[0] == "Key")
      if (std::string l = ScanLocation(f[1], f[2]); !l.empty()) r.locations.push_back(l);
  }
  return runs;
}

// The log's file records, in the order written.
std::vector<Pair> ReadLogFiles(FileSystem& files, const std::string& path) {
  std::vector<Pair> out;
  const auto text = files.ReadFile(path);
  if (!text) return out;
  const auto lines = Lines(*text);
  static const std::string kFile = " - File: ", kLocation = " - Location: ";
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const size_t at = lines[i].find(kFile);
    if (at == std::string::npos || lines[i + 1].rfind(kLocation, 0) != 0) continue;
    out.push_back({lines[i].substr(at + kFile.size()), lines[i + 1].substr(kLocation.size())});
    ++i;
  }
  return out;
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && EqualsNoCase(std::string_view(s).substr(s.size() - tail.size()), tail);
}

std::string Describe(const RestoreOutcome& o) {
  switch (o.status) {
    case RestoreStatus::Restored: return "restored";
    case RestoreStatus::InTheWay: return "skipped, " + o.cause;
    case RestoreStatus::Failed: break;
  }
  return "failed: " + o.cause;
}

std::string ValueLocation(const std::string& key, const std::string& name) {
  return key + "\\" + (name.empty() ? "(Default)" : name);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted text from s[i] (the opening quote) with regedit's two escapes; i ends past it.
bool Unquote(const std::string& s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  out.clear();
  for (++i; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out += s[++i];
    } else if (s[i] == '"') {
      ++i;
      return true;
    } else {
      out += s[i];
    }
  }
  return false;
}

bool ParseHexBytes(const std::string& text, std::string& out) {
  out.clear();
  std::string t;
  for (char c : text)
    if (c != ' ' && c != '\t') t += c;
  if (t.empty()) return true;
  for (const std::string& b : Split(t, ',')) {
    if (b.size() != 2 || HexDigit(b[0]) < 0 || HexDigit(b[1]) < 0) return false;
    out += static_cast<char>(HexDigit(b[0]) * 16 + HexDigit(b[1]));
  }
  return true;
}

bool ParseData(const std::string& data, RegValue& value) {
  if (!data.empty() && data[0] == '"') {
    size_t i = 0;
    std::string text;
    if (!Unquote(data, i, text) || !Trim(data.substr(i)).empty()) return false;
    value = RegValue::String(text);
    return true;
  }
  if (data.rfind("dword:", 0) == 0) {
    const std::string digits = Trim(data.substr(6));
    if (digits.size() != 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) return false;
      v = v * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    value = RegValue::Dword(v);
    return true;
  }
  uint32_t type = REGT_BINARY;
  size_t colon;
  if (data.rfind("hex:", 0) == 0) {
    colon = 3;
  } else if (data.rfind("hex(", 0) == 0) {
    const size_t close = data.find("):");
    if (close == std::string::npos || close == 4 || close > 12) return false;
    type = 0;
    for (size_t i = 4; i < close; ++i) {
      if (HexDigit(data[i]) < 0) return false;
      type = type * 16 + static_cast<uint32_t>(HexDigit(data[i]));
    }
    colon = close + 1;
  } else {
    return false;
  }
  value.type = type;
  return ParseHexBytes(data.substr(colon + 1), value.data);
}

bool IsFileEntry(FileSystem& files, const std::string& path) {
  const auto a = files.Attributes(path);
  return a && !(*a & FA_DIRECTORY);
}

}  // namespace

bool ItemOutcome::AllRestored() const {
  if (outcomes.empty()) return false;
  for (const RestoreOutcome& o : outcomes)
    if (o.status != RestoreStatus::Restored) return false;
  return true;
}

bool ParseRegeditExport(const std::string& text, std::vector<ExportedKey>& keys) {
  const auto lines = Lines(text);
  size_t i = 0;
  while (i < lines.size() && Trim(lines[i]).empty()) ++i;
  if (i == lines.size() || Trim(lines[i]) != "REGEDIT4") return false;
  for (++i; i < lines.size(); ++i) {
    std::string line = lines[i];
    if (Trim(line).empty()) continue;
    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      if (close == std::string::npos || close < 2 || line[1] == '-') return false;
      keys.push_back({line.substr(1, close - 1), {}});
      continue;
    }
    if (keys.empty()) return false;
    ExportedValue v;
    size_t at = 0;
    if (line[0] == '@') {
      at = 1;
    } else if (!Unquote(line, at, v.name)) {
      return false;
    }
    if (at >= line.size() || line[at] != '=') return false;
    std::string data = line.substr(at + 1);
    // Long hex data goes on over lines ended by "\".
    if (data.rfind("hex", 0) == 0)
      while (!data.empty() && data.back() == '\\' && i + 1 < lines.size()) {
        data.pop_back();
        data += Trim(lines[++i]);
      }
    if (!ParseData(data, v.value)) return false;
    keys.back().values.push_back(std::move(v));
  }
  return true;
}

bool ImportTarget(const std::string& fullKey, Hive& hive, std::string& path) {
  const size_t cut = fullKey.find('\\');
  const std::string name = fullKey.substr(0, cut);
  static const std::pair<const char*, Hive> kHives[] = {
      {"HKEY_CLASSES_ROOT", Hive::ClassesRoot},   {"HKEY_CURRENT_USER", Hive::CurrentUser},
      {"HKEY_LOCAL_MACHINE", Hive::LocalMachine}, {"HKEY_USERS", Hive::Users},
      {"HKEY_CURRENT_CONFIG", Hive::CurrentConfig}};
  bool found = false;
  for (const auto& [n, h] : kHives)
    if (EqualsNoCase(name, n)) {
      hive = h;
      found = true;
    }
  if (!found || cut == std::string::npos || cut + 1 >= fullKey.size()) return false;
  std::vector<std::string> parts = Split(fullKey.substr(cut + 1), '\\');
  for (const std::string& p : parts)
    if (p.empty()) return false;
  auto isWow = [&](size_t at) { return at < parts.size() && EqualsNoCase(parts[at], "Wow6432Node"); };
  size_t wow = std::string::npos;
  if (hive == Hive::ClassesRoot && isWow(0)) wow = 0;
  if ((hive == Hive::LocalMachine || hive == Hive::CurrentUser) && !parts.empty() &&
      EqualsNoCase(parts[0], "SOFTWARE")) {
    if (isWow(1)) wow = 1;
    else if (parts.size() > 1 && EqualsNoCase(parts[1], "Classes") && isWow(2)) wow = 2;
  }
  if (wow != std::string::npos) parts.erase(parts.begin() + static_cast<long>(wow));
  if (parts.empty()) return false;
  path.clear();
  for (const std::string& p : parts) path += (path.empty() ? "" : "\\") + p;
  return true;
}

std::vector<RestoreRun> Restore::List() {
  std::vector<IndexRun> index = ReadIndex(s_.files, Folder() + "\\RunIndex.txt");
  std::set<std::string> indexed, indexedExports;
  for (const IndexRun& r : index) {
    for (const Pair& p : r.files) indexed.insert(Key(p));
    for (const std::string& e : r.exports) indexedExports.insert(UpperAnsi(e));
  }

  auto build = [this](const std::vector<Pair>& files, const std::vector<std::string>& exports,
                      const std::vector<std::string>& locations) {
    std::vector<RestoreItem> items;
    std::set<std::string> seen;
    for (const Pair& p : files) {
      if (!SafeSlot(p.slot) || !IsAbsolutePath(p.path) || !seen.insert(Key(p)).second) continue;
      const size_t cut = p.slot.find('\\');
      const std::string rest = cut == std::string::npos ? "" : p.slot.substr(cut + 1);
      if (cut != std::string::npos && EndsWithNoCase(p.path, "\\" + rest)) {
        const std::string top = p.slot.substr(0, cut);
        const std::string folder = p.path.substr(0, p.path.size() - rest.size() - 1);
        if (!IsFileEntry(s_.files, Folder() + "\\" + p.slot)) continue;
        auto it = std::find_if(items.begin(), items.end(), [&](const RestoreItem& i) {
          return i.kind == RestoreItem::Kind::Folder && EqualsNoCase(i.copy, top) && EqualsNoCase(i.original, folder);
        });
        if (it == items.end()) {
          items.push_back({RestoreItem::Kind::Folder, top, folder, {}, {}});
          it = items.end() - 1;
        }
        it->parts.push_back({p.slot, p.path});
        continue;
      }
      if (!IsFileEntry(s_.files, Folder() + "\\" + p.slot)) continue;
      items.push_back({RestoreItem::Kind::File, p.slot, p.path, {}, {}});
    }
    for (const std::string& e : exports) {
      if (!SafeSlot(e) || e.find('\\') != std::string::npos) continue;
      const auto text = s_.files.ReadFile(Folder() + "\\" + e);
      if (!text) continue;
      RestoreItem item{RestoreItem::Kind::RegistryExport, e, "", {}, locations};
      std::vector<ExportedKey> keys;
      ParseRegeditExport(*text, keys);
      for (const ExportedKey& k : keys) item.original += (item.original.empty() ? "" : "\r\n") + k.name;
      items.push_back(std::move(item));
    }
    return items;
  };

  std::vector<RestoreRun> runs;
  for (auto r = index.rbegin(); r != index.rend(); ++r) {
    RestoreRun run{r->time, true, build(r->files, r->exports, r->locations)};
    if (!run.items.empty()) runs.push_back(std::move(run));
  }

  std::vector<Pair> earlier;
  for (const Pair& p : ReadLogFiles(s_.files, Folder() + "\\QuarantineLog.txt"))
    if (!indexed.count(Key(p))) earlier.push_back(p);
  std::vector<std::string> earlierExports;
  for (const FileEntry& e : s_.files.Find(Folder() + "\\*.reg"))
    if (!(e.attributes & FA_DIRECTORY) && !indexedExports.count(UpperAnsi(e.name))) earlierExports.push_back(e.name);
  std::sort(earlierExports.begin(), earlierExports.end());
  RestoreRun old{"", false, build(earlier, earlierExports, {})};
  if (!old.items.empty()) runs.push_back(std::move(old));
  return runs;
}

bool Restore::MakeFolders(const std::string& folder, std::string& cause) {
  if (s_.files.FolderExists(folder)) return true;
  size_t start = 3;  // past "C:\"
  if (folder.rfind("\\\\", 0) == 0) {
    // \\server\share itself cannot be made.
    start = folder.find('\\', 2);
    start = start == std::string::npos ? folder.size() : folder.find('\\', start + 1);
    if (start == std::string::npos) start = folder.size();
  }
  for (size_t at = folder.find('\\', start);; at = folder.find('\\', at + 1)) {
    const std::string part = folder.substr(0, at);
    if (!s_.files.FolderExists(part)) {
      const IoStatus made = s_.files.CreateFolder(part);
      if (!made || !s_.files.FolderExists(part)) {
        cause = "the folder " + part + " cannot be created (error " + std::to_string(made.error) + ")";
        return false;
      }
    }
    if (at == std::string::npos) return true;
  }
}

RestoreOutcome Restore::RestoreFile(const std::string& copy, const std::string& target) {
  RestoreOutcome o{target, RestoreStatus::Failed, ""};
  if (!IsAbsolutePath(target) || target.find_first_of("*?\"<>|") != std::string::npos) {
    o.cause = "not a full path";
    return o;
  }
  const std::string source = Folder() + "\\" + copy;
  const auto bytes = s_.files.ReadFile(source);
  if (!bytes) {
    o.cause = "the copy " + source + " cannot be read";
    return o;
  }
  if (s_.files.Attributes(target)) {
    o.status = RestoreStatus::InTheWay;
    o.cause = "a file is in the way";
    return o;
  }
  const size_t cut = target.find_last_of('\\');
  if (cut != std::string::npos && cut > 2 && !MakeFolders(target.substr(0, cut), o.cause)) return o;
  // Fails rather than replace anything that appeared meanwhile.
  const IoStatus copied = s_.files.CopyFile(source, target, true);
  if (copied.error == ERR_FILE_EXISTS || copied.error == ERR_ALREADY_EXISTS) {
    o.status = RestoreStatus::InTheWay;
    o.cause = "a file is in the way";
    return o;
  }
  if (!copied) {
    o.cause = "the copy cannot be written (error " + std::to_string(copied.error) + ")";
    return o;
  }
  if (s_.files.ReadFile(target) != bytes) {
    o.cause = "the file written reads back differently";
    return o;
  }
  o.status = RestoreStatus::Restored;
  return o;
}

std::vector<RestoreOutcome> Restore::ImportExport(const RestoreItem& item) {
  std::vector<RestoreOutcome> out;
  const std::string file = Folder() + "\\" + item.copy;
  const auto text = s_.files.ReadFile(file);
  std::vector<ExportedKey> keys;
  if (!text) {
    out.push_back({file, RestoreStatus::Failed, "the export cannot be read"});
    return out;
  }
  const bool whole = ParseRegeditExport(*text, keys);
  for (const ExportedKey& k : keys) {
    Hive hive{};
    std::string path;
    auto failAll = [&](const std::string& cause) {
      if (k.values.empty()) out.push_back({k.name, RestoreStatus::Failed, cause});
      for (const ExportedValue& v : k.values) out.push_back({ValueLocation(k.name, v.name), RestoreStatus::Failed, cause});
    };
    if (!ImportTarget(k.name, hive, path)) {
      failAll("names no registry key this program can write");
      continue;
    }
    if (const RegResult made = s_.registry.CreateKey(hive, path); !made.ok()) {
      failAll("the key cannot be written (error " + std::to_string(made.error) + ")");
      continue;
    }
    if (k.values.empty()) out.push_back({k.name, RestoreStatus::Restored, ""});
    for (const ExportedValue& v : k.values) {
      RestoreOutcome o{ValueLocation(k.name, v.name), RestoreStatus::Failed, ""};
      RegValue now;
      if (s_.registry.QueryValue(hive, path, v.name, now) == RegStatus::Ok) {
        if (now.type == v.value.type && now.data == v.value.data) {
          o.status = RestoreStatus::Restored;
        } else {
          o.status = RestoreStatus::InTheWay;
          o.cause = "a value of that name is in the way";
        }
        out.push_back(o);
        continue;
      }
      if (const RegResult set = s_.registry.SetValue(hive, path, v.name, v.value); !set.ok()) {
        o.cause = "the value cannot be written (error " + std::to_string(set.error) + ")";
      } else if (s_.registry.QueryValue(hive, path, v.name, now) != RegStatus::Ok || now.type != v.value.type ||
                 now.data != v.value.data) {
        o.cause = "the value written reads back differently";
      } else {
        o.status = RestoreStatus::Restored;
      }
      out.push_back(o);
    }
  }
  if (!whole) out.push_back({file, RestoreStatus::Failed, "the rest of the export cannot be read"});
  return out;
}

void Restore::Record(const RestoreOutcome& o, const char* action) {
  const std::string outcome = Describe(o);
  if (const IoStatus st = s_.files.AppendFile(Folder() + "\\QuarantineLog.txt",
                                             FormatUsDateTime(s_.clock.Now()) + " - " + action + ": " + o.what +
                                                 "\r\n - Outcome: " + outcome + "\r\n\r\n\r\n");
      !st && s_.log)
    s_.log->Write("restore: log record lost (error " + std::to_string(st.error) + ")");
  if (s_.log) s_.log->Write(std::string("restore: ") + action + " " + o.what + ": " + outcome);
}

std::vector<ItemOutcome> Restore::RestoreItems(const std::vector<const RestoreItem*>& items, bool exclude) {
  std::vector<ItemOutcome> all;
  for (const RestoreItem* item : items) {
    ItemOutcome io{item, {}};
    switch (item->kind) {
      case RestoreItem::Kind::File:
        if (SafeSlot(item->copy)) io.outcomes.push_back(RestoreFile(item->copy, item->original));
        else io.outcomes.push_back({item->original, RestoreStatus::Failed, "its copy is not in the quarantine"});
        break;
      case RestoreItem::Kind::Folder:
        for (const RestoreItem::Part& p : item->parts) {
          if (SafeSlot(p.copy)) io.outcomes.push_back(RestoreFile(p.copy, p.original));
          else io.outcomes.push_back({p.original, RestoreStatus::Failed, "its copy is not in the quarantine"});
        }
        break;
      case RestoreItem::Kind::RegistryExport:
        if (SafeSlot(item->copy)) io.outcomes = ImportExport(*item);
        else io.outcomes.push_back({item->copy, RestoreStatus::Failed, "not in the quarantine"});
        break;
    }
    for (const RestoreOutcome& o : io.outcomes) Record(o, "Restore");
    if (exclude && io.AllRestored() && s_.addExclusion) {
      std::vector<std::string> places;
      if (item->kind == RestoreItem::Kind::RegistryExport) places = item->locations;
      else places.push_back(item->original);
      for (const std::string& place : places)
        if (!s_.addExclusion(place) && s_.log) s_.log->Write("restore: " + place + " could not be excluded");
    }
    all.push_back(std::move(io));
  }
  return all;
}

std::vector<ItemOutcome> Restore::DeleteCopies(const std::vector<const RestoreItem*>& items) {
  std::vector<ItemOutcome> all;
  for (const RestoreItem* item : items) {
    const std::string copy = Folder() + "\\" + item->copy;
    RestoreOutcome o{copy, RestoreStatus::Failed, ""};
    if (!SafeSlot(item->copy) || (item->kind != RestoreItem::Kind::Folder && item->copy.find('\\') != std::string::npos)) {
      o.cause = "not in the quarantine";
    } else {
      IoStatus st;
      if (item->kind == RestoreItem::Kind::Folder) {
        st = s_.files.DeleteFolder(copy, true);
      } else {
        if (const auto a = s_.files.Attributes(copy); a && (*a & FA_READONLY))
          (void)s_.files.SetAttributes(copy, *a & ~FA_READONLY);  // the delete that follows reports
        st = s_.files.DeleteFile(copy);
      }
      if (st) o.status = RestoreStatus::Restored;
      else o.cause = "error " + std::to_string(st.error);
    }
    Record(o, "Discard");
    all.push_back({item, {o}});
  }
  return all;
}

}  // namespace kx
