// What a client ends up with: packages from the server applied by a merge written here
// from the package format's own table, compared with the plain definition files.
#include <gtest/gtest.h>

#include <map>

#include "package.h"
#include "signing_service.h"
#include "store.h"
#include "support.h"
#include "text.h"

namespace kxs {
namespace {

using Files = std::map<std::string, std::vector<std::string>>;  // file -> encoded lines

std::vector<std::string> SplitOn(const std::string& s, const std::string& sep, bool ignore_case = false) {
  std::vector<std::string> out;
  const std::string hay = ignore_case ? Lower(s) : s, needle = ignore_case ? Lower(sep) : sep;
  size_t start = 0, at;
  while ((at = hay.find(needle, start)) != std::string::npos) {
    out.push_back(s.substr(start, at - start));
    start = at + needle.size();
  }
  out.push_back(s.substr(start));
  return out;
}

// A body's own separators stay plain; the rest is encoded.
std::string DecodeKeepingSeparators(const std::string& body) {
  std::string out = DecodeLine(body);
  for (size_t i = 0; i < body.size(); ++i)
    if (body[i] == '|' || body[i] == '=') out[i] = body[i];
  return out;
}

std::string EncodeSeparators(std::string body) {
  for (char& c : body)
    if (c == '|' || c == '=') c = EncodeLine(std::string(1, c))[0];
  return body;
}

std::string NameOf(const std::string& decoded) { return Lower(decoded.substr(0, decoded.find('='))); }

// The merge: per target file, ADD lines appended, DEL names removing lines by name.
void Merge(const std::string& package, Files& files) {
  const std::vector<std::string> order{"FileDefinition.dat",      "ExeDefinition.dat",       "RegistryDefinition.dat",
                                       "BlockedCookies.dat",      "DirectoryDefinition.dat", "Safety.dat"};
  for (const std::string& file : order) {
    std::vector<std::string> deletions;
    for (std::string record : SplitOn(package, "[BR]", true)) {
      record = Trim(record);
      const size_t def = record.find("[DEF]");
      if (record.empty() || def == std::string::npos) continue;
      const auto header = SplitOn(record.substr(0, def), "|");
      if (header.size() < 2) continue;
      const std::string kind = DecodeLine(header[0]), op = header[1], body = record.substr(def + 5);
      bool mine = false;
      if (file == "FileDefinition.dat") mine = kind == "FILE" || kind == "EXE" || kind == "DLL";
      if (file == "ExeDefinition.dat") mine = kind == "EXE";
      if (file == "RegistryDefinition.dat") mine = kind == "REG";
      if (file == "BlockedCookies.dat") mine = kind == "COOK";
      if (file == "DirectoryDefinition.dat") mine = kind == "DIR";
      if (file == "Safety.dat") mine = Lower(kind).find('s') != std::string::npos;
      if (!mine) continue;
      const std::string name = NameOf(DecodeKeepingSeparators(body));
      if (op == "DEL") {
        deletions.push_back(name);
        continue;
      }
      if (op != "ADD") continue;
      std::string line;
      if (file == "RegistryDefinition.dat") {
        const auto f = SplitOn(body, "|");
        const std::string threat = f[0].substr(f[0].find('=') + 1);
        line = f[1] + EncodeLine("^=") + threat + EncodeLine("|") + f[2];
      } else if (file == "BlockedCookies.dat") {
        line = body.substr(0, body.find('='));
      } else if (file == "Safety.dat") {
        line = EncodeLine(kind + "|") + EncodeSeparators(body);
      } else {
        line = EncodeSeparators(body);
      }
      files[file].push_back(line);
      std::erase(deletions, name);
    }
    if (deletions.empty()) continue;
    std::erase_if(files[file], [&](const std::string& line) {
      return std::find(deletions.begin(), deletions.end(), NameOf(DecodeLine(line))) != deletions.end();
    });
  }
}

std::vector<std::string> Decoded(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) out.push_back(DecodeLine(l));
  return out;
}

std::vector<std::string> ShippedLines(const std::string& name) {
  std::ifstream f(std::string(KESTRIX_SOURCE_DIR) + "/packaging/definitions/" + name, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string l; std::getline(f, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (!l.empty()) lines.push_back(l);
  }
  return lines;
}

// Hive, key, value name, threat and type the way the registry reader splits a line.
std::vector<std::string> RegistryMeaning(const std::string& line) {
  const size_t eq = line.rfind('=');
  auto loc = SplitOn(line.substr(0, eq), "^");
  loc.resize(3);
  auto threat = SplitOn(Trim(line.substr(eq + 1)), "|");
  threat.resize(2);
  return {loc[0], loc[1], loc[2], threat[0], threat[1]};
}

class MergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir("merge");
    store_ = std::make_unique<SqliteStore>((dir_ / "k.db").string());
    signer_ = std::make_unique<Signer>(test::TestKeyPath());
    local_ = std::make_unique<LocalSigner>(*store_, *signer_, "");
  }
  std::string Package(Seconds asked) { return local_->Package(asked).text; }
  void ImportShipped(Seconds at) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : ImportFileNames()) {
      std::string text;
      for (const auto& l : ShippedLines(name)) text += l + "\r\n";
      files.emplace_back(name, text);
    }
    const auto rows = MapDefinitionFiles(files, [](auto&&...) {});
    ASSERT_FALSE(store_->Publish(rows, at).rows.empty());
  }
  std::filesystem::path dir_;
  std::unique_ptr<SqliteStore> store_;
  std::unique_ptr<Signer> signer_;
  std::unique_ptr<LocalSigner> local_;
};

TEST_F(MergeTest, FirstUpdateRebuildsTheShippedDefinitionFiles) {
  const Seconds t = *ParseDate("5/1/2026 9:00:00 AM");
  ImportShipped(t);
  Files files;
  Merge(Package(*ParseDate(kDefaultDate)), files);

  for (const char* same : {"ExeDefinition", "BlockedCookies", "DirectoryDefinition", "Safety"})
    EXPECT_EQ(Decoded(files[std::string(same) + ".dat"]), ShippedLines(std::string(same) + ".txt")) << same;

  // Every program also reaches the file list; a file line naming the same file is not
  // repeated, so each file is listed once.
  const auto file_lines = Decoded(files["FileDefinition.dat"]);
  std::vector<std::string> expected = ShippedLines("ExeDefinition.txt");
  for (const auto& l : ShippedLines("FileDefinition.txt"))
    if (l.rfind("btupd.exe=", 0) != 0 && l.rfind("qmon.exe=", 0) != 0) expected.push_back(l);
  EXPECT_EQ(file_lines, expected);

  // Registry lines read back as the same hive, key, value, threat and type.
  const auto reg = Decoded(files["RegistryDefinition.dat"]);
  const auto shipped = ShippedLines("RegistryDefinition.txt");
  ASSERT_EQ(reg.size(), shipped.size());
  for (size_t i = 0; i < reg.size(); ++i) EXPECT_EQ(RegistryMeaning(reg[i]), RegistryMeaning(shipped[i])) << reg[i];
  EXPECT_EQ(reg[0], "2^SOFTWARE\\BonziTrack^=BonziTrack|Adware");
}

TEST_F(MergeTest, WithdrawalsRemoveExactlyTheirLines) {
  const Seconds t = *ParseDate("5/1/2026 9:00:00 AM");
  ImportShipped(t);
  Files files;
  Merge(Package(*ParseDate(kDefaultDate)), files);
  // A client that got the value line from the installer holds it in its shipped form.
  files["RegistryDefinition.dat"].push_back(EncodeLine("1^Software\\PopZilla\\^Install Path=PopZilla"));

  auto withdraw = [&](const std::string& kind, const std::string& name) {
    EXPECT_EQ(store_->Withdraw(kind, [&](const Row& r) { return NameMatches(r, name); }, t + 60).rows.size(), 1u)
        << name;
  };
  withdraw("REG", "2^software\\bonzitrack^");
  withdraw("REG", "1^Software\\PopZilla\\^Install Path^");
  withdraw("FILE", "BTCORE.DLL");
  withdraw("SEXE", "explorer.exe");
  withdraw("COOK", "ads.popzilla.test");
  withdraw("EXE", "popz.exe");
  const std::string asked = FormatDate(t);
  Merge(Package(t), files);

  const auto reg = Decoded(files["RegistryDefinition.dat"]);
  EXPECT_EQ(reg.size(), 4u);
  for (const auto& l : reg) {
    EXPECT_NE(l.rfind("2^SOFTWARE\\BonziTrack^=", 0), 0u) << l;
    EXPECT_EQ(l.find("PopZilla"), std::string::npos) << l;
  }
  auto has = [&](const std::string& file, const std::string& prefix) {
    for (const auto& l : Decoded(files[file]))
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  };
  EXPECT_FALSE(has("FileDefinition.dat", "btcore.dll="));
  EXPECT_TRUE(has("FileDefinition.dat", "btbar.dll="));
  EXPECT_FALSE(has("ExeDefinition.dat", "popz.exe="));
  // The file list's line for popz.exe is by name: withdrawing the program takes it too.
  EXPECT_FALSE(has("FileDefinition.dat", "popz.exe="));
  EXPECT_FALSE(has("Safety.dat", "SEXE|explorer.exe"));
  EXPECT_TRUE(has("Safety.dat", "SDLL|kernel32.dll"));
  EXPECT_EQ(Decoded(files["BlockedCookies.dat"]), (std::vector<std::string>{"bonzitrack.example", "*clickquill.example"}));

  // Asked again from the newest date, nothing is left to change.
  const std::string now = LocalSigner::CurrentDateText(*store_);
  const std::string empty = Package(*ParseDate(now));
  EXPECT_EQ(empty.rfind("KXSIG|", 0), 0u);
}

TEST(MappingTest, LinesThatCannotTravelIntactAreRefused) {
  // "<" and 252 would turn into the package's own separators; 201 and 204 into line ends.
  for (std::string body : {"a<b.dll=T|[system]", "a\xFC.dll=T|x", "a\xC9.dll=T|x", "a\xCC.dll=T|x", "tab\tx=T|x"})
    EXPECT_FALSE(RowProblem({"FILE", body}).empty()) << body;
  EXPECT_TRUE(RowProblem({"FILE", "\xE4hnlich.dll=T|[system]|Adware"}).empty());
  EXPECT_FALSE(RowProblem({"REG", "2^X^=T|2^X"}).empty());  // two fields
  EXPECT_FALSE(RowProblem({"EXE", "nothing.exe"}).empty());
  EXPECT_FALSE(RowProblem({"file", "x=T|y"}).empty());
  EXPECT_TRUE(RowProblem({"sfile", "x=T|y|"}).empty());  // reaches the safe list
}

}  // namespace
}  // namespace kxs
