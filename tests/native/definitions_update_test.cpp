// The update merge against hand-built expectations and against the step-by-step merge, its
// crash safety, the signed package's checks, and the server's date texts.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "definitions/codec.h"
#include "definitions/update_merge.h"
#include "definitions/update_package.h"
#include "fakes/fake_platform.h"
#include "fakes/package_signing.h"
#include "reference/literal_merge.h"

namespace kx {
namespace {

const std::string kData = "C:\\Data";
const char* const kFiles[] = {"FileDefinition.dat", "ExeDefinition.dat", "RegistryDefinition.dat",
                              "BlockedCookies.dat", "DirectoryDefinition.dat", "Safety.dat"};

// A body as the server sends it: encoded, except "|" and "=" plain.
std::string Body(std::string_view plain) {
  std::string out;
  for (char c : plain) out += (c == '|' || c == '=') ? std::string(1, c) : EncodeDefinitionLine(std::string(1, c));
  return out;
}
std::string Rec(std::string_view kind, std::string_view op, std::string_view plainBody) {
  return EncodeDefinitionLine(kind) + "|" + std::string(op) + "[DEF]" + Body(plainBody);
}
std::string Lines(std::initializer_list<std::string_view> plain) {
  std::string out;
  for (std::string_view l : plain) out += EncodeDefinitionLine(l) + "\r\n";
  return out;
}

struct RecordingHost : UpdateMergeHost {
  std::vector<std::string> statuses;
  int pumps = 0;
  std::vector<DefinitionFile> replaced;
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void PumpMessages() override { ++pumps; }
  void FileReplaced(DefinitionFile f) override { replaced.push_back(f); }
  void FileNotReplaced(DefinitionFile f, uint32_t error) override { notReplaced.emplace_back(f, error); }
  std::vector<std::pair<DefinitionFile, uint32_t>> notReplaced;
};

class UpdateMergeTest : public ::testing::Test {
 protected:
  UpdateMergeTest() { fake.files.AddFolder(kData); }
  std::string File(const char* name) { return fake.files.ReadFile(kData + "\\" + name).value_or("<missing>"); }
  int32_t Merge(std::string_view package) {
    const MergeResult r = UpdateMerge(fake.files, kData, host).MergeUpdatePackage(package);
    EXPECT_TRUE(r.ok) << r.Describe();
    return r.changes;
  }

  fakes::FakePlatform fake;
  RecordingHost host;
};

TEST_F(UpdateMergeTest, AddsFollowTheKindsTable) {
  std::string package = Rec("FILE", "ADD", "a.dll=Threat A|[system]|Adware") + "[BR]" +
                        Rec("EXE", "ADD", "b.exe=Threat B|[windows]") + " [br] " +
                        Rec("REG", "ADD", "key=Threat R|Software\\Bad Co|Spyware") + "[Br]" +
                        Rec("COOK", "ADD", "ads.example=An ad tracker") + "[BR]" +
                        Rec("DIR", "ADD", "Bad=Threat D|[program files]\\Bad") + "[BR]" +
                        Rec("SFILE", "ADD", "ok.exe=fine|[system]\\ok.exe|x") + "[BR]" +
                        Rec("sreg", "ADD", "2^Software\\Good^") + "[BR]" +
                        Rec("exe", "ADD", "lower.exe=L|c:\\") + "[BR]" + Rec("DLL", "ADD", "c.dll=C");
  // FILE, EXE twice, REG, COOK, DIR, SFILE, sreg, DLL; "exe" matches no exact kind and holds no "s".
  EXPECT_EQ(Merge(package), 9);
  EXPECT_EQ(File("FileDefinition.dat"), Lines({"a.dll=Threat A|[system]|Adware", "b.exe=Threat B|[windows]", "c.dll=C"}));
  EXPECT_EQ(File("ExeDefinition.dat"), Lines({"b.exe=Threat B|[windows]"}));
  EXPECT_EQ(File("RegistryDefinition.dat"), Lines({"Software\\Bad Co^=Threat R|Spyware"}));
  EXPECT_EQ(File("BlockedCookies.dat"), Lines({"ads.example"}));
  EXPECT_EQ(File("DirectoryDefinition.dat"), Lines({"Bad=Threat D|[program files]\\Bad"}));
  EXPECT_EQ(File("Safety.dat"), Lines({"SFILE|ok.exe=fine|[system]\\ok.exe|x", "sreg|2^Software\\Good^"}));
  EXPECT_EQ(host.statuses, std::vector<std::string>(6, "Applying new updates..."));
  EXPECT_FALSE(fake.files.Exists(kData + "\\temp.dat"));

  // A last line without its line end stays a line of its own.
  fake.files.AddFile(kData + "\\DirectoryDefinition.dat", EncodeDefinitionLine("Old=Threat O|x"));
  EXPECT_EQ(Merge(Rec("DIR", "ADD", "New=Threat N|y")), 1);
  EXPECT_EQ(File("DirectoryDefinition.dat"), Lines({"Old=Threat O|x", "New=Threat N|y"}));
}

TEST_F(UpdateMergeTest, WithdrawalsRewriteOnlyTheirFilesAndReAddsStay) {
  fake.files.AddFile(kData + "\\FileDefinition.dat",
                     Lines({"old.dll=Old|[system]", "", "keep.dll=Keep|[system]", "OLD.DLL=same name other case"}) +
                         EncodeDefinitionLine("back.dll=Back") + "\r" + EncodeDefinitionLine("gone") + "\r");
  const std::string exeBefore = Lines({"gone.exe=G", "", "x.exe=X"});
  fake.files.AddFile(kData + "\\ExeDefinition.dat", exeBefore);
  std::string package = Rec("FILE", "DEL", "old.dll=Old") + "[BR]" + Rec("DLL", "DEL", "back.dll") + "[BR]" +
                        Rec("FILE", "ADD", "back.dll=Back again") + "[BR]" + Rec("DLL", "DEL", "GONE") + "[BR]" +
                        Rec("REG", "ADD", "too|few") + "[BR]" + Rec("FILE", "add", "lower.dll=op") + "[BR]" +
                        EncodeDefinitionLine("FILE") + "ADD[DEF]" + Body("nopipe.dll") + "[BR]" +
                        Rec("FILE", "ADD", "nodef.dll").substr(0, 8);
  // One add, one rewrite; the malformed records change nothing.
  EXPECT_EQ(Merge(package), 2);
  EXPECT_EQ(File("FileDefinition.dat"), Lines({"keep.dll=Keep|[system]", "back.dll=Back", "back.dll=Back again"}));
  EXPECT_EQ(File("ExeDefinition.dat"), exeBefore);  // blank line kept: not rewritten
  EXPECT_EQ(File("RegistryDefinition.dat"), "");     // created, as opening it for appending would
  EXPECT_EQ(fake.files.Find(kData + "\\*").size(), 6u);
}

TEST_F(UpdateMergeTest, ReportsEveryHundredthLineOfARewrite) {
  std::string lines;
  for (int i = 1; i <= 250; ++i) lines += EncodeDefinitionLine(i == 150 ? "" : "f" + std::to_string(i) + "=T") + "\r\n";
  fake.files.AddFile(kData + "\\DirectoryDefinition.dat", lines);
  EXPECT_EQ(Merge(Rec("DIR", "DEL", "F7=T")), 1);
  EXPECT_EQ(host.statuses, (std::vector<std::string>{
      "Applying new updates...", "Applying new updates...", "Applying new updates...",
      "Applying new updates...", "Applying new updates...",
      "Removing outdated definitions: checking entry 100", "Removing outdated definitions: checking entry 200",
      "Applying new updates..."}));
  EXPECT_EQ(host.pumps, 8);
  EXPECT_EQ(SplitTextLines(File("DirectoryDefinition.dat")).size(), 248u);
  EXPECT_EQ(Merge(""), 0);
}

constexpr uint32_t kDiskFull = 112;  // ERROR_DISK_FULL

// A file system that checks, after every change, that each definition file is whole, and
// fails the reads, writes or renames it is told to.
struct WatchingFiles final : FileSystem {
  fakes::FakeFileSystem real;
  std::map<std::string, std::set<std::string>> allowed;  // path -> contents it may have
  int checks = 0, torn = 0;
  std::set<std::string> failReads, failWrites, failMovesTo;
  IoStatus Checked(IoStatus r) {
    for (auto& [path, contents] : allowed) {
      ++checks;
      if (!contents.count(real.ReadFile(path).value_or("<missing>"))) ++torn;
    }
    return r;
  }
  std::vector<FileEntry> Find(const std::string& p) override { return real.Find(p); }
  std::vector<std::string> ListPlainFiles(const std::string& p) override { return real.ListPlainFiles(p); }
  std::optional<uint32_t> Attributes(const std::string& p) override { return real.Attributes(p); }
  IoStatus SetAttributes(const std::string& p, uint32_t a) override { return Checked(real.SetAttributes(p, a)); }
  bool FolderExists(const std::string& p) override { return real.FolderExists(p); }
  IoStatus CreateFolder(const std::string& p) override { return Checked(real.CreateFolder(p)); }
  IoStatus CopyFile(const std::string& f, const std::string& t, bool x) override { return Checked(real.CopyFile(f, t, x)); }
  IoStatus DeleteFile(const std::string& p) override { return Checked(real.DeleteFile(p)); }
  using FileSystem::MoveFile;
  IoStatus MoveFile(const std::string& f, const std::string& t, bool x) override {
    if (failMovesTo.count(t)) return IoStatus::Fail(ERR_ACCESS_DENIED);
    return Checked(real.MoveFile(f, t, x));
  }
  IoStatus CopyFolder(const std::string& f, const std::string& t, bool o) override { return Checked(real.CopyFolder(f, t, o)); }
  IoStatus DeleteFolder(const std::string& p, bool f) override { return Checked(real.DeleteFolder(p, f)); }
  std::optional<std::string> ReadFile(const std::string& p) override {
    if (failReads.count(p)) return std::nullopt;
    return real.ReadFile(p);
  }
  IoStatus WriteFile(const std::string& p, const std::string& b) override {
    if (failWrites.count(p)) return IoStatus::Fail(kDiskFull);
    return Checked(real.WriteFile(p, b));
  }
  IoStatus AppendFile(const std::string& p, const std::string& b) override { return Checked(real.AppendFile(p, b)); }
};

TEST(UpdateMergeAtomicity, TheSetChangesWholeOrNotAtAll) {
  const std::string fileOld = Lines({"a=1", "b=2"}), exeOld = Lines({"e=1"}), dirOld = Lines({"d=1"});
  const std::string fileNew = Lines({"b=2", "n=3"}), exeNew = exeOld + Lines({"n=3"}), dirNew = dirOld + Lines({"m=4"});
  // FileDefinition.dat rewritten, ExeDefinition.dat and DirectoryDefinition.dat appended to,
  // the other three created.
  const std::string package = Rec("EXE", "ADD", "n=3") + "[BR]" + Rec("FILE", "DEL", "a") + "[BR]" + Rec("DIR", "ADD", "m=4");
  const std::string F = kData + "\\FileDefinition.dat", E = kData + "\\ExeDefinition.dat",
                    D = kData + "\\DirectoryDefinition.dat", S = kData + "\\Safety.dat";
  struct Case {
    const char* what;
    std::set<std::string> failReads, failWrites, failMovesTo;
    DefinitionFile failed;
    uint32_t error;
  };
  const Case cases[] = {
      {"nothing fails", {}, {}, {}, DefinitionFile::File, 0},
      {"the first file cannot be read", {F}, {}, {}, DefinitionFile::File, 0},
      {"a later file cannot be read", {D}, {}, {}, DefinitionFile::Directory, 0},
      {"a new content cannot be written", {}, {E + ".new"}, {}, DefinitionFile::Exe, kDiskFull},
      {"an old content cannot be kept", {}, {D + ".old"}, {}, DefinitionFile::Directory, kDiskFull},
      {"the first file cannot be replaced", {}, {}, {F}, DefinitionFile::File, ERR_ACCESS_DENIED},
      {"the last file cannot be replaced", {}, {}, {S}, DefinitionFile::Safety, ERR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WatchingFiles files;
    files.real.AddFolder(kData);
    files.real.AddFile(F, fileOld);
    files.real.AddFile(E, exeOld);
    files.real.AddFile(D, dirOld);
    files.real.AddFile(kData + "\\Safety.dat.new", "half written by a merge that died");
    files.allowed[F] = {fileOld, fileNew};
    files.allowed[E] = {exeOld, exeNew};
    files.allowed[D] = {dirOld, dirNew};
    files.failReads = c.failReads;
    files.failWrites = c.failWrites;
    files.failMovesTo = c.failMovesTo;
    RecordingHost host;
    const MergeResult r = UpdateMerge(files, kData, host).MergeUpdatePackage(package);
    EXPECT_GT(files.checks, 0);
    EXPECT_EQ(files.torn, 0);
    const bool fails = !c.failReads.empty() || !c.failWrites.empty() || !c.failMovesTo.empty();
    EXPECT_EQ(r.ok, !fails);
    if (fails) {
      EXPECT_EQ(r.changes, 0);
      EXPECT_EQ(r.failedFile, c.failed);
      EXPECT_EQ(r.error, c.error);
      EXPECT_EQ(host.notReplaced, (std::vector<std::pair<DefinitionFile, uint32_t>>{{c.failed, c.error}}));
      EXPECT_EQ(files.real.ReadFile(F), fileOld);
      EXPECT_EQ(files.real.ReadFile(E), exeOld);
      EXPECT_EQ(files.real.ReadFile(D), dirOld);
      EXPECT_EQ(files.real.Find(kData + "\\*").size(), 3u) << "a created file or a leftover stayed";
    } else {
      EXPECT_EQ(r.changes, 4);  // the EXE record counts once per file it feeds
      EXPECT_EQ(files.real.ReadFile(F), fileNew);
      EXPECT_EQ(files.real.ReadFile(E), exeNew);
      EXPECT_EQ(files.real.ReadFile(D), dirNew);
      EXPECT_EQ(files.real.ReadFile(S), "");
      EXPECT_EQ(files.real.Find(kData + "\\*").size(), 6u) << "a leftover stayed";
    }
  }
}

TEST(UpdateMergeAtomicity, ASetLeftMixedIsPutBackByTheNextMerge) {
  // A merge stopped after its first rename, as a crash or a failed putting back leaves it:
  // the journal names the file it created, the old copies are beside the new files.
  WatchingFiles files;
  files.real.AddFolder(kData);
  const std::string fileOld = Lines({"a=1"}), exeOld = Lines({"e=1"});
  files.real.AddFile(kData + "\\FileDefinition.dat", Lines({"a=1", "n=3"}));  // already new
  files.real.AddFile(kData + "\\FileDefinition.dat.old", fileOld);
  files.real.AddFile(kData + "\\ExeDefinition.dat", exeOld);                    // not yet
  files.real.AddFile(kData + "\\ExeDefinition.dat.old", exeOld);
  files.real.AddFile(kData + "\\ExeDefinition.dat.new", exeOld + Lines({"n=3"}));
  files.real.AddFile(kData + "\\Safety.dat", "");                               // created
  files.real.AddFile(kData + "\\update.pending", "Safety.dat\r\n");
  RecordingHost host;
  // An old copy that cannot be put back: the journal and every copy stay, and no merge goes
  // into the mixed set, whose copies it would overwrite.
  files.failMovesTo = {kData + "\\FileDefinition.dat"};
  const size_t mixedFiles = files.real.Find(kData + "\\*").size();
  const MergeResult refused = UpdateMerge(files, kData, host).MergeUpdatePackage(Rec("EXE", "ADD", "x=9"));
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.changes, 0);
  EXPECT_EQ(host.notReplaced, (std::vector<std::pair<DefinitionFile, uint32_t>>{{DefinitionFile::File, ERR_ACCESS_DENIED}}));
  EXPECT_EQ(files.real.ReadFile(kData + "\\FileDefinition.dat.old"), fileOld);
  EXPECT_TRUE(files.real.ReadFile(kData + "\\update.pending"));
  EXPECT_EQ(files.real.Find(kData + "\\*").size(), mixedFiles - 2) << "only what was put back may go";

  // Once the file can be replaced, the next merge puts the set back first.
  files.failMovesTo.clear();
  UpdateMerge(files, kData, host).RecoverInterrupted();
  EXPECT_EQ(files.real.ReadFile(kData + "\\FileDefinition.dat"), fileOld);
  EXPECT_EQ(files.real.ReadFile(kData + "\\ExeDefinition.dat"), exeOld);
  EXPECT_EQ(files.real.Find(kData + "\\*").size(), 2u);

  // Without the journal the set is whole, whatever copies are beside it.
  files.real.AddFile(kData + "\\FileDefinition.dat.old", "older");
  files.real.AddFile(kData + "\\Safety.dat.new", "newer");
  UpdateMerge(files, kData, host).RecoverInterrupted();
  EXPECT_EQ(files.real.ReadFile(kData + "\\FileDefinition.dat"), fileOld);
  EXPECT_EQ(files.real.Find(kData + "\\*").size(), 2u);
}

// Random folders and packages: the merge must match the step-by-step one byte for byte.
std::string RandomText(std::mt19937& rng, size_t maxLen, bool withSeparators) {
  static const std::string common = "abcABCxyzs.S\\ ";
  std::string s;
  size_t n = rng() % (maxLen + 1);
  for (size_t i = 0; i < n; ++i) {
    unsigned r = rng() % 10;
    if (r < 5) s += common[rng() % common.size()];
    else if (r < 7 && withSeparators) s += "|="[rng() % 2];
    else if (r < 8) s += static_cast<char>(128 + rng() % 128);
    else s += static_cast<char>(33 + rng() % 90);
  }
  return s;
}

TEST(UpdateMergeEquivalence, MatchesTheStepByStepMergeOnRandomPackages) {
  std::mt19937 rng(20260409);
  const char* kinds[] = {"FILE", "EXE", "DLL", "REG", "COOK", "DIR", "SFILE", "SREG", "sdir", "file", "Exe", "BOGUS", "MISC"};
  for (int round = 0; round < 150; ++round) {
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) names.push_back(RandomText(rng, 6, false));
    fakes::FakePlatform a, b;
    for (auto* p : {&a, &b}) p->files.AddFolder(kData);
    for (const char* file : kFiles) {
      if (rng() % 4 == 0) continue;  // missing
      std::string bytes;
      int lines = static_cast<int>(rng() % 260);
      for (int i = 0; i < lines; ++i) {
        unsigned r = rng() % 20;
        std::string line = names[rng() % names.size()] + (rng() % 2 ? "=" + RandomText(rng, 12, true) : "");
        if (r == 0) line.clear();
        bytes += EncodeDefinitionLine(line) + (r == 1 ? "\r" : r == 2 ? "\n" : "\r\n");
      }
      if (rng() % 3 == 0) bytes += EncodeDefinitionLine(names[0]);  // no line end at the end
      a.files.AddFile(kData + "\\" + file, bytes);
      b.files.AddFile(kData + "\\" + file, bytes);
    }
    std::string package;
    int records = static_cast<int>(rng() % 40);
    for (int i = 0; i < records; ++i) {
      std::string body = names[rng() % names.size()];
      if (rng() % 3) body += "=" + RandomText(rng, 5, false);
      if (rng() % 2) body += "|" + RandomText(rng, 8, false) + "|" + RandomText(rng, 5, true);
      const char* op = rng() % 2 ? "ADD" : (rng() % 8 ? "DEL" : "Del");
      std::string rec = Rec(kinds[rng() % std::size(kinds)], op, body);
      if (rng() % 25 == 0) rec = "  " + RandomText(rng, 10, true) + " ";
      package += rec + (rng() % 6 ? "[BR]" : rng() % 2 ? " [br]" : "[BR][BR]");
    }
    RecordingHost hostA, hostB;
    int32_t countA = UpdateMerge(a.files, kData, hostA).MergeUpdatePackage(package).changes;
    int32_t countB = reference::LiteralMergeUpdatePackage(b.files, kData, hostB, package);
    ASSERT_EQ(countA, countB) << "round " << round;
    for (const char* file : kFiles)
      ASSERT_EQ(a.files.ReadFile(kData + "\\" + file), b.files.ReadFile(kData + "\\" + file)) << round << " " << file;
    ASSERT_EQ(hostA.statuses, hostB.statuses) << round;
    ASSERT_EQ(hostA.pumps, hostB.pumps) << round;
    ASSERT_EQ(a.files.Find(kData + "\\*").size(), 6u);
  }
}

// ------------------------------------------------------------------ the signed package

// A signing key with the public half the verifier is given.
struct TestKey {
  explicit TestKey(EVP_PKEY* k) : signer(k) { pub = signer.Public(); }
  std::string Package(const std::string& body, const std::string& asked, const std::string& asof) const {
    return signer.Package(asked, asof, body);
  }
  testsign::SigningKey signer;
  TrustedKey pub;
};

class PackageTest : public ::testing::Test {
 protected:
  // key and next are trusted (a new key shipped before the old one retires); other is not.
  static inline TestKey* key = nullptr;
  static inline TestKey* next = nullptr;
  static inline TestKey* other = nullptr;
  static void SetUpTestSuite() {
    key = new TestKey(EVP_RSA_gen(3072));
    next = new TestKey(EVP_RSA_gen(2048));
    other = new TestKey(EVP_RSA_gen(2048));
  }
  static void TearDownTestSuite() { delete key; delete next; delete other; }
  TrustedKeyList Trusted() const { return {key->pub, next->pub}; }
  PackageCheck Check(const std::string& package, const std::string& asked = "3/16/2006") {
    return VerifyUpdatePackage(package, asked, local, Trusted(), fake.signatures);
  }
  fakes::FakePlatform fake;
  DateTime local{2006, 3, 16};
};

TEST_F(PackageTest, AcceptsTheSignedPackageAndGivesItsBody) {
  const std::string body = Rec("FILE", "ADD", "a=b") + "[BR]" + Rec("DEL", "DEL", "x") + "[br]" + Rec("EXE", "ADD", "c");
  PackageCheck c = Check(key->Package(body, "3/16/2006", "12/9/2026 4:47:03 PM"));
  ASSERT_TRUE(c.ok) << c.reason;
  EXPECT_EQ(c.body, body);
  EXPECT_EQ(c.asOf, (DateTime{2026, 12, 9, 16, 47, 3}));
  EXPECT_EQ(c.asOfText, "12/9/2026 4:47:03 PM");

  PackageCheck none = Check(key->Package("", "3/16/2006", "3/17/2006"));
  ASSERT_TRUE(none.ok) << none.reason;
  EXPECT_EQ(none.body, "");
  // A line end after the signature record is no part of what was signed.
  EXPECT_TRUE(Check(key->Package(body, "3/16/2006", "3/17/2006") + "\r\n").ok);
}

TEST_F(PackageTest, TakesOnlyATrustedKeyByItsIdAndTheDateAskedByValue) {
  const std::string body = Rec("FILE", "ADD", "a=b") + "[BR]" + Rec("EXE", "ADD", "c");
  const std::string good = key->Package(body, "3/16/2006", "3/17/2006");
  const std::string sigRecord = good.substr(good.rfind("KXSIG"));
  std::string tampered = good;
  tampered[3] ^= 1;
  std::string badSig = good;
  badSig.back() = badSig.back() == '0' ? '1' : '0';
  // The old record without a key id, signed over the same message.
  const std::string unnamed = body + "[BR]KXSIG|3/16/2006|3/17/2006|" +
                              key->signer.SignHex("KESTRIX-PACKAGE\n3/16/2006\n3/17/2006\n" + body);
  // Signed by one key, naming the other trusted one.
  std::string misnamed = good;
  misnamed.replace(misnamed.find(key->pub.id), key->pub.id.size(), next->pub.id);
  struct Case {
    const char* what;
    std::string package;
    std::string sent;    // the date text the client asked with
    bool ok;
    std::string reason;  // part of the refusal's reason
  };
  const std::vector<Case> cases = {
      {"by the first trusted key", good, "3/16/2006", true, ""},
      {"by the next trusted key", next->Package(body, "3/16/2006", "3/17/2006"), "3/16/2006", true, ""},
      {"server's text of midnight", key->Package(body, "3/16/2006 12:00:00 AM", "3/17/2006"), "3/16/2006", true, ""},
      {"client's text of midnight", good, "3/16/2006 12:00:00 AM", true, ""},
      {"same time, other text", key->Package(body, "1/2/2026 3:04:05 PM", "1/3/2026"), "01/02/2026 03:04:05 pm", true, ""},
      {"unknown key", other->Package(body, "3/16/2006", "3/17/2006"), "3/16/2006", false, other->pub.id},
      {"names the other trusted key", misnamed, "3/16/2006", false, "does not verify"},
      {"old record without a key id", unnamed, "3/16/2006", false, "no signature record"},
      {"other asked date", key->Package(body, "3/15/2006", "3/17/2006"), "3/16/2006", false, "another date"},
      {"asked a second later", key->Package(body, "3/16/2006 12:00:01 AM", "3/17/2006"), "3/16/2006", false, "another date"},
      {"unreadable asked date", key->Package(body, "yesterday", "3/17/2006"), "3/16/2006", false, "another date"},
      {"tampered body", tampered, "3/16/2006", false, "does not verify"},
      {"tampered signature", badSig, "3/16/2006", false, "does not verify"},
      {"record dropped", Rec("EXE", "ADD", "c") + "[BR]" + sigRecord, "3/16/2006", false, "does not verify"},
      {"no signature record", body, "3/16/2006", false, "no signature record"},
      {"empty", "", "3/16/2006", false, "no signature record"},
      {"signature record after a lower-case [br]", body + "[br]" + sigRecord, "3/16/2006", false, ""},
      {"garbled hex", good.substr(0, good.size() - 1) + "g", "3/16/2006", false, "hex"},
      {"odd hex", good.substr(0, good.size() - 1), "3/16/2006", false, "hex"},
      {"extra field", good + "|x", "3/16/2006", false, "no signature record"},
      {"other tag", "KXSIH" + good.substr(good.rfind("KXSIG") + 5), "3/16/2006", false, "no signature record"},
      {"as of the local date", key->Package(body, "3/16/2006", "3/16/2006"), "3/16/2006", false, "not newer"},
      {"older", key->Package(body, "3/16/2006", "1/1/2006 1:00:00 PM"), "3/16/2006", false, "not newer"},
      {"unreadable as-of date", key->Package(body, "3/16/2006", "soon"), "3/16/2006", false, "as-of"},
  };
  for (const Case& t : cases) {
    PackageCheck c = Check(t.package, t.sent);
    EXPECT_EQ(c.ok, t.ok) << t.what << ": " << c.reason;
    if (t.ok) {
      EXPECT_EQ(c.body, body) << t.what;
      continue;
    }
    EXPECT_EQ(c.body, "") << t.what;
    EXPECT_FALSE(c.reason.empty()) << t.what;
    EXPECT_NE(c.reason.find(t.reason), std::string::npos) << t.what << ": " << c.reason;
  }
}

TEST_F(PackageTest, TheTrustedKeysAreTheBuildsKeyFileNamedByItsId) {
  FILE* f = fopen(KESTRIX_SIGNING_KEY, "rb");
  ASSERT_NE(f, nullptr) << KESTRIX_SIGNING_KEY;
  std::string pem(20000, '\0');
  pem.resize(fread(pem.data(), 1, pem.size(), f));
  fclose(f);
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  TestKey fromFile(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  ASSERT_TRUE(fromFile.signer.valid());
  // The development key among those listed (a build may list more).
  const TrustedKeyList& keys = TrustedKeys();
  ASSERT_EQ(fromFile.pub.id.size(), 16u);
  const auto dev = std::find_if(keys.begin(), keys.end(), [&](const TrustedKey& k) { return k.id == fromFile.pub.id; });
  ASSERT_NE(dev, keys.end()) << fromFile.pub.id;
  EXPECT_EQ(dev->modulus, fromFile.pub.modulus);
  EXPECT_EQ(dev->exponent, 65537u);
  PackageCheck c =
      VerifyUpdatePackage(fromFile.Package("", "1/1/2020", "1/2/2020"), "1/1/2020", local, keys, fake.signatures);
  EXPECT_TRUE(c.ok) << c.reason;
}

TEST_F(PackageTest, ASignedCurrentDateConfirmsOnlyWhenATrustedKeySignedItLately) {
  const int64_t now = 1796832000;  // 12/9/2026 4:00:00 PM UTC
  const std::string pm = "12/9/2026 4:47:03 PM", midnight = "3/16/2006 12:00:00 AM";
  const DateTime pmDate{2026, 12, 9, 16, 47, 3}, midnightDate{2006, 3, 16};
  const std::string issued = std::to_string(now - 60);
  const std::string good = key->signer.DateAnswer(pm, issued);
  std::string laterDate = good;
  laterDate.replace(laterDate.find("4:47:03"), 7, "4:47:04");
  std::string laterIssued = good;
  laterIssued.replace(laterIssued.find(issued), issued.size(), std::to_string(now - 59));
  struct Case {
    const char* what;
    std::string answer;
    DateTime date;       // what Live Update reads as the server's date, signed or not
    std::string reason;  // empty: a confirmation issued at `at`; else part of the reason
    int64_t at = 0;
  };
  const std::vector<Case> cases = {
      {"signed", good, pmDate, "", now - 60},
      {"midnight, with its time", key->signer.DateAnswer(midnight, "1142467200"), midnightDate, "", 1142467200},
      {"by the next trusted key", next->signer.DateAnswer(pm, issued), pmDate, "", now - 60},
      {"with the transport's line end", good + "\r\n", pmDate, "", now - 60},
      {"issued just under a day ahead", key->signer.DateAnswer(pm, std::to_string(now + 86399)), pmDate, "",
       now + 86399},
      {"issued two days ahead", key->signer.DateAnswer(pm, std::to_string(now + 2 * 86400)), pmDate, "a day"},
      {"date changed", laterDate, DateTime{2026, 12, 9, 16, 47, 4}, "does not verify"},
      {"issued changed", laterIssued, pmDate, "does not verify"},
      {"unknown key", other->signer.DateAnswer(pm, issued), pmDate, other->pub.id},
      {"an old server's plain date", pm + "\r\n", pmDate, "not signed"},
      {"issued not a number", key->signer.DateAnswer(pm, "17968x"), pmDate, "malformed"},
      {"a field short", pm + " KXDATE|" + issued + "|" + key->pub.id, pmDate, "malformed"},
      {"an error page", "<html>502</html>", DateTime{}, "not signed"},
  };
  for (const Case& t : cases) {
    const DateAnswer a = ReadDateAnswer(t.answer, now, Trusted(), fake.signatures);
    // An old client reads the signed answer as it read the plain one.
    EXPECT_EQ(DateOfServerText(t.answer), t.date) << t.what << ": " << CleanDateText(t.answer);
    EXPECT_EQ(a.date, t.date) << t.what;
    EXPECT_EQ(a.confirmed, t.reason.empty()) << t.what << ": " << a.reason;
    if (t.reason.empty()) {
      EXPECT_EQ(a.issued, t.at) << t.what;
    } else {
      EXPECT_NE(a.reason.find(t.reason), std::string::npos) << t.what << ": " << a.reason;
    }
  }
  EXPECT_EQ(CleanDateText(good), pm);
  EXPECT_EQ(CleanDateText(key->signer.DateAnswer(midnight, "1142467200")), midnight);
}

TEST(ServerDateText, CleansAsLiveUpdateReadsIt) {
  EXPECT_EQ(CleanDateText("  12/9/2026 4:47:03 PM  "), "12/9/2026 4:47:03 PM");
  EXPECT_EQ(CleanDateText("12/9/2026 4:47:03 pm<br>\r\n"), "12/9/2026 4:47:03 pm");
  EXPECT_EQ(CleanDateText("\t3/16/2006\r\n 10:15:02 AM trailing AM"), "3/16/2006 10:15:02 AM");
  EXPECT_EQ(CleanDateText("1/2/2006 1:00:00 AM, PM"), "1/2/2006 1:00:00 AM, PM");  // "PM" first
  EXPECT_EQ(CleanDateText("3/16/2006\r\n"), "3/16/2006");
  EXPECT_EQ(DateOfServerText("3/16/2006 10:15:02 AM\r\n<html>"), (DateTime{2006, 3, 16, 10, 15, 2}));
  EXPECT_EQ(DateOfServerText(" 3/16/2006 \r\n"), (DateTime{2006, 3, 16}));
  EXPECT_EQ(DateOfServerText("<html>error</html>"), DateTime{});
  EXPECT_EQ(DateOfServerText(""), DateTime{});
}

}  // namespace
}  // namespace kx
