#include "definitions/update_merge.h"

#include <unordered_set>
#include <vector>

#include "core/text.h"
#include "definitions/codec.h"

namespace kx {

namespace {

constexpr char kEncodedPipe = static_cast<char>('|' + 64);
constexpr char kEncodedEquals = static_cast<char>('=' + 64);

enum Target : unsigned {
  kToFile = 1u << 0, kToExe = 1u << 1, kToRegistry = 1u << 2,
  kToCookies = 1u << 3, kToDirectory = 1u << 4, kToSafety = 1u << 5,
};

unsigned TargetBit(DefinitionFile file) {
  switch (file) {
    case DefinitionFile::File: return kToFile;
    case DefinitionFile::Exe: return kToExe;
    case DefinitionFile::Registry: return kToRegistry;
    case DefinitionFile::BlockedCookies: return kToCookies;
    case DefinitionFile::Directory: return kToDirectory;
    case DefinitionFile::Safety: return kToSafety;
  }
  return 0;
}

// The kinds are exact, except that any kind holding an "s" of either case feeds the safe list.
unsigned TargetsOfKind(std::string_view kind) {
  unsigned t = 0;
  if (kind == "FILE" || kind == "EXE" || kind == "DLL") t |= kToFile;
  if (kind == "EXE") t |= kToExe;
  if (kind == "REG") t |= kToRegistry;
  if (kind == "COOK") t |= kToCookies;
  if (kind == "DIR") t |= kToDirectory;
  if (kind.find_first_of("Ss") != std::string_view::npos) t |= kToSafety;
  return t;
}

struct Record {
  unsigned targets = 0;
  bool add = false;
  std::string kind;  // decoded
  std::string body;  // as sent: encoded, with "|" and "=" plain
  std::string name;  // decoded, before the first "=", folded to lower case
};

// Records that can change something; the rest (no "[DEF]", no "|", another operation or
// kind) are dropped here.
std::vector<Record> ParseRecords(std::string_view package) {
  std::vector<Record> records;
  for (size_t start = 0; start <= package.size();) {
    size_t end = FindNoCase(package, "[BR]", start);
    if (end == std::string_view::npos) end = package.size();
    std::string rec = Trim(package.substr(start, end - start));
    start = end + 4;
    size_t def = rec.find("[DEF]");
    if (def == std::string::npos) continue;
    std::string_view header = std::string_view(rec).substr(0, def);
    size_t pipe = header.find('|');
    if (pipe == std::string_view::npos) continue;
    std::string_view op = header.substr(pipe + 1);
    op = op.substr(0, op.find('|'));
    if (op != "ADD" && op != "DEL") continue;
    Record r;
    r.kind = DecodeDefinitionLine(header.substr(0, pipe));
    r.targets = TargetsOfKind(r.kind);
    if (!r.targets) continue;
    r.add = op == "ADD";
    size_t bodyAt = def + 5;
    size_t bodyEnd = rec.find("[DEF]", bodyAt);
    r.body = rec.substr(bodyAt, bodyEnd == std::string::npos ? std::string::npos : bodyEnd - bodyAt);
    r.name = LowerAnsi(DecodeDefinitionLine(std::string_view(r.body).substr(0, r.body.find('='))));
    records.push_back(std::move(r));
  }
  return records;
}

std::string WithSeparatorsEncoded(std::string_view body) {
  std::string out(body);
  for (char& c : out) {
    if (c == '|') c = kEncodedPipe;
    else if (c == '=') c = kEncodedEquals;
  }
  return out;
}

// The line an ADD record writes into the file; none when its body lacks the fields.
bool LineFor(DefinitionFile file, const Record& r, std::string& line) {
  switch (file) {
    case DefinitionFile::File:
    case DefinitionFile::Exe:
    case DefinitionFile::Directory:
      line = WithSeparatorsEncoded(r.body);
      return true;
    case DefinitionFile::BlockedCookies:
      line = r.body.substr(0, r.body.find('='));
      return true;
    case DefinitionFile::Safety:
      line = EncodeDefinitionLine(r.kind + "|") + WithSeparatorsEncoded(r.body);
      return true;
    case DefinitionFile::Registry: {
      // name "=" threat | location | type  ->  location "^=" threat "|" type: a key definition.
      std::vector<std::string_view> fields = SplitViews(r.body, '|');
      if (fields.size() < 3) return false;
      std::vector<std::string_view> nameThreat = SplitViews(fields[0], '=');
      if (nameThreat.size() < 2) return false;
      line.assign(fields[1]);
      line += EncodeDefinitionLine("^=");
      line += nameThreat[1];
      line += kEncodedPipe;
      line += fields[2];
      return true;
    }
  }
  return false;
}

// The name of an encoded line: its decoded text before the first "=", folded to lower case.
void LineNameKey(std::string_view encoded, std::string& key) {
  size_t eq = encoded.find(kEncodedEquals);
  key = DecodeDefinitionLine(encoded.substr(0, eq));
  for (char& c : key) c = LowerAnsiChar(c);
}

}  // namespace

std::string UpdateMerge::PathOf(DefinitionFile file) const {
  return dataFolder_ + "\\" + std::string(DefinitionFileName(file));
}

std::string UpdateMerge::ScratchPathOf(DefinitionFile file) const { return PathOf(file) + ".new"; }

int32_t UpdateMerge::MergeUpdatePackage(std::string_view package) {
  // A merge that died half way leaves its scratch copies; the files themselves are whole.
  for (DefinitionFile file : kMergeOrder)
    if (files_.Attributes(ScratchPathOf(file))) files_.DeleteFile(ScratchPathOf(file));

  const std::vector<Record> records = ParseRecords(package);
  int32_t changes = 0;
  std::string line, key;
  for (DefinitionFile file : kMergeOrder) {
    const unsigned bit = TargetBit(file);
    const std::string path = PathOf(file);
    std::unordered_set<std::string> withdrawn;
    std::string added;
    int32_t adds = 0;
    for (const Record& r : records) {
      if (!(r.targets & bit)) continue;
      if (!r.add) {
        withdrawn.insert(r.name);
      } else if (LineFor(file, r, line)) {
        added += line;
        added += "\r\n";
        ++adds;
        withdrawn.erase(r.name);
      }
    }
    host_.SetStatus("Applying new updates...");
    host_.PumpMessages();

    const bool present = files_.Attributes(path).has_value();
    std::string content;
    if (present) {
      std::optional<std::string> old = files_.ReadFile(path);
      if (!old) continue;  // unreadable now: leave it as it is rather than lose it
      content = std::move(*old);
    }
    if (present && !adds && withdrawn.empty()) continue;
    content += added;

    if (!withdrawn.empty()) {
      std::string kept;
      kept.reserve(content.size());
      size_t number = 0;
      for (const std::string& l : SplitTextLines(content)) {
        if (++number % 100 == 0) {
          host_.SetStatus("Removing outdated definitions: checking entry " + std::to_string(number));
          host_.PumpMessages();
        }
        if (l.empty()) continue;
        LineNameKey(l, key);
        if (withdrawn.count(key)) continue;
        kept += l;
        kept += "\r\n";
      }
      content = std::move(kept);
    }

    const std::string scratch = ScratchPathOf(file);
    IoStatus put = files_.WriteFileFlushed(scratch, content);
    if (put) put = files_.MoveFile(scratch, path, true);
    if (!put) {
      files_.DeleteFile(scratch);
      host_.FileNotReplaced(file, put.error);
      continue;
    }
    changes += adds + (withdrawn.empty() ? 0 : 1);
    host_.FileReplaced(file);
  }
  return changes;
}

}  // namespace kx
