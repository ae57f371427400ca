#include "mapping.h"

#include "text.h"

#include <set>

namespace kxs {

namespace {

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    parts.emplace_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

std::string BeforeFirst(std::string_view s, char c) { return std::string(s.substr(0, s.find(c))); }

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::string cur;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += text[i];
    }
  }
  if (!cur.empty()) lines.push_back(std::move(cur));
  return lines;
}

}  // namespace

bool IsSafetyKind(std::string_view kind) { return Lower(kind).find('s') != std::string::npos; }

bool IsKnownKind(std::string_view kind) {
  return kind == "FILE" || kind == "EXE" || kind == "DLL" || kind == "REG" || kind == "COOK" || kind == "DIR" ||
         IsSafetyKind(kind);
}

std::string RowProblem(const Row& row) {
  if (row.kind.empty() || !IsKnownKind(row.kind)) return "unknown kind \"" + row.kind + "\"";
  for (unsigned char c : row.kind)
    if (c <= ' ' || c >= 127 || c == '|' || c == '[' || c == '=') return "kind holds a character a package cannot carry";
  if (row.body.empty()) return "empty body";
  for (unsigned char c : row.body) {
    // Below blank: control bytes (and what would spell record markers once encoded); "<" and 252
    // encode to "|" and "="; 201 and 204 encode to LF and CR; 255 comes back as 0.
    if (c < ' ' || c == '<' || c == 252 || c == 201 || c == 204 || c == 255)
      return "body holds a byte the line encoding cannot carry (" + std::to_string(c) + ")";
  }
  // The merge trims each record: a body must not end in what encodes to a blank or TAB.
  const unsigned char last = static_cast<unsigned char>(row.body.back());
  if (last == 223 || last == 200 || last == 202 || last == 203) return "body ends in a byte that encodes to a blank";
  if (row.kind == "REG") {
    auto f = Split(row.body, '|');
    if (f.size() != 3 || f[0].find('=') == std::string::npos || f[1].empty())
      return "a REG body is name=threat|location|type";
    if (f[1].find('=') != std::string::npos) return "a registry location holding \"=\" cannot be withdrawn by name";
  } else if (row.kind == "EXE") {
    if (row.body.find('=') == std::string::npos) return "an EXE body is name=threat|folder";
  } else if (row.kind == "COOK") {
    if (row.body.find_first_of("=|") != std::string::npos) return "a cookie site holds no \"=\" or \"|\"";
  }
  return "";
}

std::string ClientLine(const Row& row) {
  if (row.kind == "REG") {
    auto f = Split(row.body, '|');
    f.resize(3);
    const size_t eq = f[0].find('=');
    const std::string threat = eq == std::string::npos ? "" : f[0].substr(eq + 1);
    return f[1] + "^=" + threat + "|" + f[2];
  }
  if (row.kind == "COOK") return BeforeFirst(row.body, '=');
  if (IsSafetyKind(row.kind)) return row.kind + "|" + row.body;
  return row.body;
}

std::vector<std::string> WithdrawalNames(const Row& row) {
  std::vector<std::string> names{BeforeFirst(ClientLine(row), '=')};
  if (row.kind == "REG") {
    // Written back, a value line gains a "^" before its "=": "H^key^value^=". Its shipped
    // form "H^key^value=" has the name without it.
    const std::string location = Split(row.body, '|')[1];
    const auto parts = Split(location, '^');
    if (parts.size() >= 3 && !parts[2].empty()) names.push_back(location);
  }
  return names;
}

bool NameMatches(const Row& row, std::string_view name) {
  for (const std::string& n : WithdrawalNames(row))
    if (EqualNoCase(n, name) || (IsSafetyKind(row.kind) && EqualNoCase(n, row.kind + "|" + std::string(name))))
      return true;
  return false;
}

const std::vector<std::string>& ImportFileNames() {
  // Programs before files: a file line for the same path as a program folds into it.
  static const std::vector<std::string> names{"ExeDefinition.txt",      "FileDefinition.txt", "RegistryDefinition.txt",
                                              "BlockedCookies.txt",     "DirectoryDefinition.txt", "Safety.txt"};
  return names;
}

std::vector<Row> MapDefinitionFiles(
    const std::vector<std::pair<std::string, std::string>>& files,
    const std::function<void(const std::string&, const std::string&, const std::string&)>& skipped) {
  std::vector<Row> rows;
  std::set<std::string> exe_paths;  // lower-case name "\" folder of every program line
  auto add = [&](const std::string& file, const std::string& line, Row row) {
    std::string why = RowProblem(row);
    if (why.empty()) {
      rows.push_back(std::move(row));
    } else {
      skipped(file, line, why);
    }
  };
  for (const std::string& file : ImportFileNames()) {
    for (const auto& [name, content] : files) {
      if (name != file) continue;
      for (const std::string& line : Lines(content)) {
        if (Trim(line).empty()) continue;
        if (file == "ExeDefinition.txt") {
          if (line.find('=') == std::string::npos) {
            skipped(file, line, "no \"=\": names no program");
            continue;
          }
          const auto el = Split(line, '=');
          const size_t bar = el[1].find('|');
          exe_paths.insert(Lower(el[0] + "\\" + (bar == std::string::npos ? el[1] : el[1].substr(bar + 1))));
          add(file, line, {"EXE", line});
        } else if (file == "FileDefinition.txt") {
          const auto f = Split(line, '|');
          const std::string key = Lower(Trim(BeforeFirst(f[0], '=')) + "\\" + (f.size() > 1 ? f[1] : ""));
          if (exe_paths.count(key)) {
            // The program's line already reaches FileDefinition.dat: one line per file.
            skipped(file, line, "same file as a program definition, which the client also scans as a file");
            continue;
          }
          add(file, line, {"FILE", line});
        } else if (file == "RegistryDefinition.txt") {
          const size_t eq = line.rfind('=');
          if (eq == std::string::npos) {
            skipped(file, line, "no \"=\"");
            continue;
          }
          std::string location = line.substr(0, eq);
          const std::string threat_part = Trim(line.substr(eq + 1));
          const auto parts = Split(location, '^');
          if (parts.size() < 3 || Trim(parts[0]).empty()) {
            skipped(file, line, "not hive^key^value");
            continue;
          }
          const auto tp = Split(threat_part, '|');
          if (tp.size() > 2 || tp[0].find('=') != std::string::npos) {
            skipped(file, line, "threat part holds more than threat|type");
            continue;
          }
          // The merge writes location "^=": a key line drops its own "^" here, a value line
          // comes back as "H^key^value^=", which reads as the same hive, key and value.
          if (location.back() == '^') location.pop_back();
          const std::string name = location + "^";
          add(file, line, {"REG", name + "=" + tp[0] + "|" + location + "|" + (tp.size() > 1 ? tp[1] : "")});
        } else if (file == "BlockedCookies.txt") {
          for (const std::string& site : Split(line, '|'))
            if (!site.empty()) add(file, line, {"COOK", site});
        } else if (file == "DirectoryDefinition.txt") {
          add(file, line, {"DIR", line});
        } else if (file == "Safety.txt") {
          const size_t bar = line.find('|');
          if (bar == std::string::npos || !IsSafetyKind(line.substr(0, bar))) {
            skipped(file, line, "not KIND|... with a safe-list kind");
            continue;
          }
          add(file, line, {line.substr(0, bar), line.substr(bar + 1)});
        }
      }
    }
  }
  return rows;
}

std::vector<std::string> LinesOfFile(const std::vector<Row>& live, std::string_view dat_name) {
  std::vector<std::string> lines;
  for (const Row& row : live) {
    const std::string& k = row.kind;
    bool in = false;
    if (dat_name == "FileDefinition.dat") in = k == "FILE" || k == "EXE" || k == "DLL";
    else if (dat_name == "ExeDefinition.dat") in = k == "EXE";
    else if (dat_name == "RegistryDefinition.dat") in = k == "REG";
    else if (dat_name == "BlockedCookies.dat") in = k == "COOK";
    else if (dat_name == "DirectoryDefinition.dat") in = k == "DIR";
    else if (dat_name == "Safety.dat") in = IsSafetyKind(k);
    if (in) lines.push_back(ClientLine(row));
  }
  return lines;
}

}  // namespace kxs
