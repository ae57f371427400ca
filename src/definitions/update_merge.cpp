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

std::string MergeResult::Describe() const {
  std::string what(DefinitionFileName(failedFile));
  switch (step) {
    case Step::Read: what += " could not be read"; break;
    case Step::Write: what += ": its new content could not be written"; break;
    case Step::Replace: what += " could not be replaced"; break;
    case Step::None: return "no error";
  }
  return what + " (error " + std::to_string(error) + ")";
}

struct UpdateMerge::Staged {
  DefinitionFile file;
  bool existed = false;
  std::string old;  // the content it had
};

std::string UpdateMerge::PathOf(DefinitionFile file) const {
  return dataFolder_ + "\\" + std::string(DefinitionFileName(file));
}

std::string UpdateMerge::ScratchPathOf(DefinitionFile file) const { return PathOf(file) + ".new"; }
std::string UpdateMerge::BackupPathOf(DefinitionFile file) const { return PathOf(file) + ".old"; }
std::string UpdateMerge::JournalPath() const { return dataFolder_ + "\\update.pending"; }

void UpdateMerge::RecoverInterrupted() {
  // With the journal present, some files may be new and others old: the old ones come back,
  // and the files the merge created go. Without it the set is whole; only leftovers remain.
  if (std::optional<std::string> journal = files_.ReadFile(JournalPath())) {
    bool allBack = true;
    for (DefinitionFile file : kMergeOrder) {
      const std::string name(DefinitionFileName(file));
      IoStatus back;
      if (files_.Attributes(BackupPathOf(file))) {
        back = files_.MoveFile(BackupPathOf(file), PathOf(file), true);
      } else {
        for (const std::string& created : SplitTextLines(*journal))
          if (created == name && files_.Attributes(PathOf(file))) back = files_.DeleteFile(PathOf(file));
      }
      if (!back) {
        allBack = false;
        host_.FileNotReplaced(file, back.error);
      }
    }
    // The journal and the old copies are all that can put the set back: both stay until it is.
    if (!allBack) return;
    (void)files_.DeleteFile(JournalPath());  // every file is back; a stale journal finds no backups
  }
  for (DefinitionFile file : kMergeOrder) {
    if (files_.Attributes(ScratchPathOf(file))) (void)files_.DeleteFile(ScratchPathOf(file));  // scratch left over; never read
    if (files_.Attributes(BackupPathOf(file))) (void)files_.DeleteFile(BackupPathOf(file));  // a leftover; the set is whole
  }
}

MergeResult UpdateMerge::MergeUpdatePackage(std::string_view package) {
  // A user's first update may find no data folder yet.
  if (!files_.FolderExists(dataFolder_)) (void)files_.CreateFolder(dataFolder_);  // the writes into it fail and report
  RecoverInterrupted();
  // A set still mixed from an interrupted merge is not merged into; its backups would be overwritten.
  if (files_.ReadFile(JournalPath())) {
    MergeResult mixed;
    mixed.ok = false;
    mixed.step = MergeResult::Step::Replace;
    return mixed;
  }

  const std::vector<Record> records = ParseRecords(package);
  std::vector<Staged> staged;
  MergeResult failed;
  failed.ok = false;
  auto fail = [&](DefinitionFile file, MergeResult::Step step, uint32_t error) {
    for (const Staged& s : staged) (void)files_.DeleteFile(ScratchPathOf(s.file));  // already failing; scratch only
    (void)files_.DeleteFile(ScratchPathOf(file));  // already failing; scratch only
    failed.failedFile = file;
    failed.step = step;
    failed.error = error;
    host_.FileNotReplaced(file, error);
    return failed;
  };

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

    Staged s{file, files_.Attributes(path).has_value(), {}};
    if (s.existed) {
      std::optional<std::string> old = files_.ReadFile(path);
      if (!old) return fail(file, MergeResult::Step::Read, 0);
      s.old = std::move(*old);
    }
    if (s.existed && !adds && withdrawn.empty()) continue;
    std::string content = s.old;
    // A last line without its line end would swallow the first added one.
    if (!added.empty() && !content.empty() && content.back() != '\n' && content.back() != '\r') content += "\r\n";
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

    if (IoStatus put = files_.WriteFileFlushed(ScratchPathOf(file), content); !put)
      return fail(file, MergeResult::Step::Write, put.error);
    changes += adds + (withdrawn.empty() ? 0 : 1);
    staged.push_back(std::move(s));
  }
  if (staged.empty()) return MergeResult{true, 0};
  return Replace(staged, changes);
}

MergeResult UpdateMerge::Replace(const std::vector<Staged>& staged, int32_t changes) {
  MergeResult failed;
  failed.ok = false;
  auto clear = [&] {
    for (const Staged& s : staged) {
      (void)files_.DeleteFile(ScratchPathOf(s.file));  // clean-up; leftovers go at the next merge
      (void)files_.DeleteFile(BackupPathOf(s.file));  // clean-up; leftovers go at the next merge
    }
  };
  // The old contents are kept first; the journal then marks the moment from which the set
  // may be mixed, and names the files that were not there.
  std::string created;
  for (const Staged& s : staged) {
    if (!s.existed) {
      created += std::string(DefinitionFileName(s.file)) + "\r\n";
      continue;
    }
    if (IoStatus kept = files_.WriteFileFlushed(BackupPathOf(s.file), s.old); !kept) {
      clear();
      failed.failedFile = s.file;
      failed.step = MergeResult::Step::Write;
      failed.error = kept.error;
      host_.FileNotReplaced(s.file, kept.error);
      return failed;
    }
  }
  if (IoStatus journal = files_.WriteFileFlushed(JournalPath(), created); !journal) {
    clear();
    failed.failedFile = staged.front().file;
    failed.step = MergeResult::Step::Write;
    failed.error = journal.error;
    host_.FileNotReplaced(staged.front().file, journal.error);
    return failed;
  }
  for (size_t i = 0; i < staged.size(); ++i) {
    const DefinitionFile file = staged[i].file;
    if (IoStatus put = files_.MoveFile(ScratchPathOf(file), PathOf(file), true); !put) {
      bool allBack = true;
      for (size_t j = 0; j < i; ++j) {
        const Staged& back = staged[j];
        const std::string path = PathOf(back.file);
        if (!back.existed) allBack = files_.DeleteFile(path).ok() && allBack;
        else if (!files_.MoveFile(BackupPathOf(back.file), path, true))
          allBack = files_.WriteFileFlushed(path, back.old).ok() && allBack;
      }
      if (allBack) {
        clear();
        (void)files_.DeleteFile(JournalPath());  // every file is back and no backup is left to replay
      } else {  // the journal and the old copies stay, for the next merge to put back
        for (const Staged& s : staged) (void)files_.DeleteFile(ScratchPathOf(s.file));  // scratch only
      }
      failed.failedFile = file;
      failed.step = MergeResult::Step::Replace;
      failed.error = put.error;
      host_.FileNotReplaced(file, put.error);
      return failed;
    }
    host_.FileReplaced(file);
  }
  // The set is new from here on.
  // Should the journal stay, the next merge would drop the files this one created: not yet handled.
  (void)files_.DeleteFile(JournalPath());
  clear();
  return MergeResult{true, changes};
}

}  // namespace kx
