// Update packages, the current date and the language file: what a date receives, the
// signatures an OpenSSL verifier with only the public key accepts, and what the front keeps.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <sys/stat.h>

#include <atomic>
#include <ctime>
#include <future>
#include <optional>
#include <set>
#include <thread>

#include "package.h"
#include "signing_service.h"
#include "store.h"
#include "support.h"

namespace kxs {
namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0, at;
  while ((at = s.find(sep, start)) != std::string::npos) out.push_back(s.substr(start, at - start)), start = at + 1;
  out.push_back(s.substr(start));
  return out;
}

// The key id a client compiles in beside the key: SHA-256 of the DER public key, 16 hex digits.
std::string KeyIdOf(const std::string& public_pem) {
  BIO* bio = BIO_new_mem_buf(public_pem.data(), static_cast<int>(public_pem.size()));
  EVP_PKEY* key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  unsigned char* der = nullptr;
  const int len = i2d_PUBKEY(key, &der);
  unsigned char digest[32];
  unsigned int n = 0;
  EVP_Digest(der, static_cast<size_t>(len), digest, &n, EVP_sha256(), nullptr);
  OPENSSL_free(der);
  EVP_PKEY_free(key);
  char hex[17];
  for (int i = 0; i < 8; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return hex;
}

bool VerifyHex(const std::string& message, const std::string& hex, const std::string& public_pem) {
  std::vector<unsigned char> sig;
  // A client refuses a signature with any character that is not lower-case hex.
  if (hex.size() != 768 || hex.find_first_not_of("0123456789abcdef") != std::string::npos) return false;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) sig.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  BIO* bio = BIO_new_mem_buf(public_pem.data(), static_cast<int>(public_pem.size()));
  EVP_PKEY* key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const bool ok = key && EVP_DigestVerifyInit(ctx, nullptr, EVP_sha256(), nullptr, key) == 1 &&
                  EVP_DigestVerify(ctx, sig.data(), sig.size(), reinterpret_cast<const unsigned char*>(message.data()),
                                   message.size()) == 1;
  EVP_MD_CTX_free(ctx);
  EVP_PKEY_free(key);
  return ok;
}

// Verifies as a client would: the message rebuilt from the package alone, the key by its id.
bool VerifyPackage(const std::string& package, const std::string& public_pem, std::string* asked_out = nullptr) {
  const size_t br = package.rfind("[BR]");
  const std::string body = br == std::string::npos ? "" : package.substr(0, br);
  const auto f = Split(br == std::string::npos ? package : package.substr(br + 4), '|');
  // KXSIG|asked|asof|keyid|hex
  if (f.size() != 5 || f[0] != "KXSIG" || f[3] != KeyIdOf(public_pem)) return false;
  if (asked_out) *asked_out = f[1];
  return VerifyHex("KESTRIX-PACKAGE\n" + f[1] + "\n" + f[2] + "\n" + body, f[4], public_pem);
}

// "<date> KXDATE|issued|keyid|hex": the date a client reads, when the signature holds.
std::optional<std::string> VerifyDate(const std::string& answer, const std::string& public_pem) {
  const size_t at = answer.find(" KXDATE|");
  if (at == std::string::npos) return std::nullopt;
  const std::string date = answer.substr(0, at);
  const auto f = Split(answer.substr(at + 8), '|');
  if (f.size() != 3 || f[1] != KeyIdOf(public_pem) || !VerifyHex("KESTRIX-DATE\n" + date + "\n" + f[0], f[2], public_pem))
    return std::nullopt;
  return date;
}

// The file, then "<!-- KXSIG|keyid|hex -->" CR LF over everything before that line.
std::optional<std::string> VerifyLanguage(const std::string& file, const std::string& public_pem) {
  const size_t at = file.rfind("<!-- KXSIG|");
  if (at == std::string::npos || file.size() < 6 || file.compare(file.size() - 6, 6, " -->\r\n") != 0)
    return std::nullopt;
  const auto f = Split(file.substr(at + 11, file.size() - 6 - at - 11), '|');
  const std::string text = file.substr(0, at);
  if (f.size() != 2 || f[0] != KeyIdOf(public_pem) || !VerifyHex("KESTRIX-LANGUAGE\n" + text, f[1], public_pem))
    return std::nullopt;
  return text;
}

// The records of a package, decoded to "KIND|OP|body".
std::vector<std::string> Records(const std::string& package) {
  std::vector<std::string> out;
  size_t start = 0, at;
  while ((at = package.find("[BR]", start)) != std::string::npos) {
    const std::string rec = package.substr(start, at - start);
    const size_t bar = rec.find('|'), def = rec.find("[DEF]");
    std::string body = DecodeLine(rec.substr(def + 5));
    for (size_t i = def + 5; i < rec.size(); ++i)
      if (rec[i] == '|' || rec[i] == '=') body[i - def - 5] = rec[i];
    out.push_back(DecodeLine(rec.substr(0, bar)) + "|" + rec.substr(bar + 1, def - bar - 1) + "|" + body);
    start = at + 4;
  }
  return out;
}

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir("package");
    store_ = std::make_unique<SqliteStore>((dir_ / "k.db").string());
    signer_ = std::make_unique<Signer>(test::TestKeyPath());
    local_ = std::make_unique<LocalSigner>(*store_, *signer_, (dir_ / "lang").string());
    front_ = std::make_unique<FrontCache>(*store_, *local_);
  }
  std::string Package(const std::string& asked) {
    const Served s = front_->Package(At(asked), "192.0.2.1");
    return s.body ? *s.body : "status " + std::to_string(s.status);
  }
  Seconds At(const std::string& text) { return *ParseDate(text); }
  void Withdraw(const std::string& kind, const std::string& name, Seconds at) {
    ASSERT_EQ(store_->Withdraw(kind, [&](const Row& r) { return NameMatches(r, name); }, at).rows.size(), 1u);
  }
  std::filesystem::path dir_;
  std::unique_ptr<SqliteStore> store_;
  std::unique_ptr<Signer> signer_;
  std::unique_ptr<LocalSigner> local_;
  std::unique_ptr<FrontCache> front_;
};

TEST_F(PackageTest, AdditionsAndWithdrawalsAfterTheAskedDate) {
  store_->Publish({{"FILE", "a.dll=A|[system]|Adware"}, {"FILE", "b.dll=B|[system]"}}, At("1/10/2026 10:00:00 AM"));
  store_->Publish({{"COOK", "c.example"}}, At("1/11/2026"));
  Withdraw("FILE", "b.dll", At("1/12/2026 3:00:00 PM"));
  store_->Publish({{"FILE", "d.dll=D|[windir]"}}, At("1/13/2026"));
  Withdraw("FILE", "d.dll", At("1/14/2026"));  // added and withdrawn after 1/11: never sent to that client
  EXPECT_EQ(front_->CurrentDateText(), "1/14/2026");

  // From the first day: every live definition; b.dll and d.dll were never on this client.
  EXPECT_EQ(Records(Package("3/16/2006")),
            (std::vector<std::string>{"FILE|ADD|a.dll=A|[system]|Adware", "COOK|ADD|c.example"}));
  // A client that has everything up to and including 1/11: it must drop b.dll, by name.
  EXPECT_EQ(Records(Package("1/11/2026")), (std::vector<std::string>{"FILE|DEL|b.dll"}));
  // Dates compare at one-second precision: the second of a change itself is already held.
  EXPECT_EQ(Records(Package("1/10/2026 9:59:59 AM")),
            (std::vector<std::string>{"FILE|ADD|a.dll=A|[system]|Adware", "COOK|ADD|c.example"}));
  EXPECT_EQ(Records(Package("1/10/2026 10:00:00 AM")),
            (std::vector<std::string>{"COOK|ADD|c.example", "FILE|DEL|b.dll"}));
  // Up to date: the signature record alone.
  const std::string none = Package("1/14/2026");
  EXPECT_TRUE(Records(none).empty());
  EXPECT_EQ(none.rfind("KXSIG|1/14/2026|1/14/2026|", 0), 0u);
}

TEST_F(PackageTest, ChangesInOneSecondStillGetDistinctDates) {
  const Seconds t = At("2/1/2026 8:00:00 AM");
  EXPECT_EQ(store_->Publish({{"DIR", "X=X|[progfil]X|Adware"}}, t).at, t);
  // The same second again, and an earlier one: each change lands after the newest.
  EXPECT_EQ(store_->Publish({{"DIR", "Y=Y|[progfil]Y|Adware"}}, t).at, t + 1);
  EXPECT_EQ(store_->Publish({{"DIR", "Z=Z|[progfil]Z|Adware"}}, t - 3600).at, t + 2);
  EXPECT_EQ(store_->Withdraw("DIR", [](const Row& r) { return NameMatches(r, "x"); }, t).at, t + 3);
  EXPECT_EQ(front_->CurrentDateText(), "2/1/2026 8:00:03 AM");
  // A client that took the first package (asof 8:00:00) still receives the rest.
  EXPECT_EQ(Records(Package("2/1/2026 8:00:00 AM")).size(), 3u);
  // Publishing what is already live changes nothing, not even the date.
  EXPECT_TRUE(store_->Publish({{"DIR", "Y=Y|[progfil]Y|Adware"}}, t + 100).rows.empty());
  EXPECT_EQ(front_->CurrentDateText(), "2/1/2026 8:00:03 AM");
}

TEST_F(PackageTest, SignatureVerifiesAndFailsOnAnyChangedByte) {
  store_->Publish({{"REG", "2^SOFTWARE\\Q^=Q Spy|2^SOFTWARE\\Q|Spyware"}, {"SDIR", "Windows|[windir]|"}},
                  At("3/3/2026 4:47:03 PM"));
  const std::string asked = "3/16/2006 12:00:00 AM";
  const std::string package = Package(asked);
  const std::string pub = signer_->PublicKeyPem();
  std::string echoed;
  ASSERT_TRUE(VerifyPackage(package, pub, &echoed));
  EXPECT_EQ(echoed, "3/16/2006");  // the signer's own text of the date asked
  EXPECT_NE(package.find("|3/3/2026 4:47:03 PM|"), std::string::npos);
  EXPECT_EQ(Records(package),
            (std::vector<std::string>{"REG|ADD|2^SOFTWARE\\Q^=Q Spy|2^SOFTWARE\\Q|Spyware", "SDIR|ADD|Windows|[windir]|"}));

  for (size_t i : {size_t{0}, package.size() / 3, package.find("KXSIG") + 7, package.rfind('|') - 1, package.size() - 1}) {
    std::string changed = package;
    changed[i] = changed[i] == '0' ? '1' : static_cast<char>(changed[i] ^ 1);
    EXPECT_FALSE(VerifyPackage(changed, pub)) << "byte " << i;
  }
  // Another key's public half does not accept it.
  const auto other = test::TempDir("otherkey") / "k.pem";
  GenerateKeyFile(other.string());
  EXPECT_FALSE(VerifyPackage(package, Signer(other.string()).PublicKeyPem()));
}

TEST_F(PackageTest, DateAndLanguageAnswersAreSignedInFormsOldReadersSkip) {
  const std::string pub = signer_->PublicKeyPem();
  // Before any publish the default date, always with its time so the reader's cut after
  // "AM"/"PM" ends right at the date.
  auto answer = front_->CurrentDate();
  ASSERT_EQ(answer.status, 200);
  EXPECT_EQ(VerifyDate(*answer.body, pub), "3/16/2006 12:00:00 AM");
  store_->Publish({{"FILE", "a.dll=A|[system]"}}, At("5/2/2026 4:05:06 PM"));
  answer = front_->CurrentDate();
  EXPECT_EQ(VerifyDate(*answer.body, pub), "5/2/2026 4:05:06 PM");
  EXPECT_EQ(answer.body->find("PM"), answer.body->find(" KXDATE|") - 2);
  const std::string issued = Split(answer.body->substr(answer.body->find(" KXDATE|") + 8), '|')[0];
  EXPECT_LE(std::llabs(std::stoll(issued) - static_cast<long long>(std::time(nullptr))), 5);

  EXPECT_EQ(front_->LanguageFile().status, 404);
  std::filesystem::create_directories(dir_ / "lang");
  const std::string file = "<XML_DIZ_INFO>\r\n<LANGUAGE_GROUP>x</LANGUAGE_GROUP>\r\n</XML_DIZ_INFO>";
  test::WriteFile(dir_ / "lang" / "Localization.txt", file);
  const Signed lang = local_->LanguageFile();
  ASSERT_EQ(lang.status, Signed::kOk) << lang.text;
  EXPECT_EQ(VerifyLanguage(lang.text, pub), file + "\r\n");
  // A file that already carries a signature line (one saved by a client) is signed afresh.
  test::WriteFile(dir_ / "lang" / "Localization.txt", lang.text);
  EXPECT_EQ(local_->LanguageFile().text, lang.text);

  // Any changed byte, or another key, and a client refuses them.
  for (size_t i : {size_t{0}, answer.body->find("KXDATE") + 8, answer.body->size() - 1}) {
    std::string changed = *answer.body;
    changed[i] = changed[i] == '0' ? '1' : static_cast<char>(changed[i] ^ 1);
    EXPECT_FALSE(VerifyDate(changed, pub)) << i;
  }
  std::string changed = lang.text;
  changed[3] ^= 1;
  EXPECT_FALSE(VerifyLanguage(changed, pub));
  const auto other = test::TempDir("otherkey2") / "k.pem";
  GenerateKeyFile(other.string());
  EXPECT_FALSE(VerifyDate(*answer.body, Signer(other.string()).PublicKeyPem()));
}

// A signer that counts, can be made slow, and can go away.
class CountingSigner final : public SigningService {
 public:
  explicit CountingSigner(SigningService& real) : real_(real) {}
  Signed Package(Seconds asked) override { return Wait(), ++packages, up ? real_.Package(asked) : Signed{}; }
  Signed CurrentDate() override { return ++dates, up ? real_.CurrentDate() : Signed{}; }
  Signed LanguageFile() override { return up ? real_.LanguageFile() : Signed{}; }
  void Wait() {
    if (gate.valid()) gate.wait();
  }
  std::atomic<int> packages{0}, dates{0};
  std::atomic<bool> up{true};
  std::shared_future<void> gate;

 private:
  SigningService& real_;
};

TEST_F(PackageTest, FrontKeepsOnePackagePerDateWithinItsBoundsAndMakesEachOnce) {
  store_->Publish({{"FILE", "a.dll=A|[system]"}}, At("4/1/2026"));
  CountingSigner counting(*local_);
  CacheLimits limits;
  limits.misses_per_second = 0.001;  // no refill within the test
  limits.miss_burst = 6;
  FrontCache front(*store_, counting, limits);
  const std::string client = "192.0.2.7";

  // Every spelling of one date is one entry, made once.
  const auto first = front.Package(At("3/16/2006"), client).body;
  ASSERT_TRUE(first);
  EXPECT_EQ(front.Package(*ParseDate(" 3/16/2006 12:00:00 AM "), client).body, first);
  EXPECT_EQ(front.Package(*ParseDate("3/16/2006 00:00:00"), "192.0.2.8").body, first);
  EXPECT_EQ(counting.packages, 1);

  // Eight clients asking for one new date while it is being made: one build, one answer.
  std::promise<void> open;
  counting.gate = open.get_future().share();
  std::vector<std::future<Served>> asks;
  for (int i = 0; i < 8; ++i)
    asks.push_back(std::async(std::launch::async, [&, i] { return front.Package(At("1/1/2026"), "198.51.100." + std::to_string(i)); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  open.set_value();
  std::set<const std::string*> answers;
  for (auto& a : asks) answers.insert(a.get().body.get());
  counting.gate = {};
  EXPECT_EQ(answers.size(), 1u);
  EXPECT_NE(*answers.begin(), nullptr);
  EXPECT_EQ(counting.packages, 2);

  // One address that keeps asking for new dates is stopped after its burst; others are not.
  int refused = 0;
  for (int day = 1; day <= 10; ++day)
    if (front.Package(At("2/" + std::to_string(day) + "/2026"), client).status == 429) ++refused;
  EXPECT_EQ(refused, 10 - 5);  // six misses in all, one spent above
  EXPECT_EQ(front.Package(At("3/1/2026"), "192.0.2.9").status, 200);
  // What is kept stays served to the limited address.
  EXPECT_EQ(front.Package(At("3/16/2006"), client).body, first);

  // A change made by another process is seen at once, and retires what was kept.
  SqliteStore((dir_ / "k.db").string(), 1).Publish({{"FILE", "b.dll=B|[system]"}}, At("4/2/2026"));
  const auto after = front.Package(At("3/16/2006"), "192.0.2.10").body;
  ASSERT_TRUE(after);
  EXPECT_EQ(Records(*after).size(), 2u);
  EXPECT_NE(after->find("|4/2/2026|"), std::string::npos);
  EXPECT_EQ(front.cached_bytes(), after->size());
}

TEST_F(PackageTest, FrontCacheStaysWithinItsBytesAndServesTheLastDateWhileTheSignerIsAway) {
  for (int i = 0; i < 40; ++i)
    store_->Publish({{"FILE", "f" + std::to_string(i) + ".dll=F|[system]|" + std::string(200, 'x')}}, At("1/1/2026") + i);
  CountingSigner counting(*local_);
  CacheLimits limits;
  limits.package_bytes = 8 * 1024;
  limits.miss_burst = 1000;
  limits.date_refresh = std::chrono::seconds(0);  // every answer asks the signer
  FrontCache front(*store_, counting, limits);
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(front.Package(At("1/1/2026") + i, "192.0.2.1").status, 200);
    EXPECT_LE(front.cached_bytes(), limits.package_bytes) << i;
  }
  // The most recently used stay; older ones went to make room.
  const int before = counting.packages;
  front.Package(At("1/1/2026") + 39, "192.0.2.1");
  front.Package(At("1/1/2026") + 38, "192.0.2.1");
  EXPECT_EQ(counting.packages, before);
  front.Package(At("1/1/2026") + 20, "192.0.2.1");
  EXPECT_EQ(counting.packages, before + 1);

  ASSERT_EQ(front.CurrentDate().status, 200);
  counting.up = false;
  // The same current date keeps its signed answer; a new one cannot be made up.
  EXPECT_EQ(front.CurrentDate().status, 200);
  EXPECT_EQ(front.Package(At("6/6/2025"), "192.0.2.1").status, 503);
  store_->Publish({{"COOK", "new.example"}}, At("2/1/2026"));
  EXPECT_EQ(front.CurrentDate().status, 503);
  counting.up = true;
  EXPECT_EQ(VerifyDate(*front.CurrentDate().body, signer_->PublicKeyPem()), "2/1/2026 12:00:00 AM");
}

TEST_F(PackageTest, SignerSocketAnswersItsThreeQuestionsAndRefusesEverythingElse) {
  store_->Publish({{"FILE", "a.dll=A|[system]|Adware"}}, At("7/7/2026 7:07:07 AM"));
  const std::string sock = (dir_ / "signer.sock").string();
  SignerServer server(*local_, sock);
  server.Start();
  SignerClient client(sock);
  const std::string pub = signer_->PublicKeyPem();
  const Signed pkg = client.Package(At("3/16/2006"));
  ASSERT_EQ(pkg.status, Signed::kOk) << pkg.text;
  EXPECT_TRUE(VerifyPackage(pkg.text, pub));
  EXPECT_EQ(Records(pkg.text), (std::vector<std::string>{"FILE|ADD|a.dll=A|[system]|Adware"}));
  EXPECT_EQ(VerifyDate(client.CurrentDate().text, pub), "7/7/2026 7:07:07 AM");
  EXPECT_EQ(client.LanguageFile().status, Signed::kNone);

  // Nothing the asker supplies is ever signed: no other verb, no bytes, no odd date.
  for (const std::string line : std::vector<std::string>{"SIGN KESTRIX-PACKAGE", "PACKAGE 1/1/2026", "PACKAGE -5", "PACKAGE 99999999999999",
                                  "PACKAGE 12 [BR]KXSIG", "date", "PACKAGE " + std::string(80, '1'), std::string()}) {
    const Signed r = client.Ask(line);
    EXPECT_EQ(r.status, Signed::kFailed) << line << " -> " << r.text.substr(0, 60);
  }
  // Nobody outside the signer's user and group may connect.
  struct stat st{};
  ASSERT_EQ(stat(sock.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 007, 0u);
  server.Stop();
  EXPECT_EQ(client.CurrentDate().status, Signed::kFailed);
}

TEST(DateTest, ClientDateTextsReadAndWrite) {
  EXPECT_EQ(FormatDate(*ParseDate("12/9/2026 4:47:03 PM")), "12/9/2026 4:47:03 PM");
  EXPECT_EQ(FormatDate(*ParseDate("3/16/2006 12:00:00 AM")), "3/16/2006");
  EXPECT_EQ(*ParseDate("3/16/2006 12:00:00 AM"), *ParseDate("3/16/2006"));
  EXPECT_EQ(FormatDate(*ParseDate("1/1/2026 12:30 PM")), "1/1/2026 12:30:00 PM");
  EXPECT_EQ(FormatDate(*ParseDate("1/1/2026 00:00:01")), "1/1/2026 12:00:01 AM");
  EXPECT_EQ(*ParseDate("1/1/1970 1:00:00 AM"), 3600);
  EXPECT_EQ(*ParseDate("2/29/2024") - *ParseDate("2/28/2024"), 86400);
  for (const char* bad : {"", "2/30/2026", "13/1/2026", "1/1/26", "1/1/2026 13:00 PM", "1/1/2026 0:00 AM",
                          "1/1/2026 10:60", "1/1/2026 10:00 XM", "1/1/2026x", "a/b/c"})
    EXPECT_FALSE(ParseDate(bad)) << bad;
}

TEST(CodecTest, ShiftOfSixtyFourModulo255) {
  EXPECT_EQ(EncodeLine("A"), "\x81");
  EXPECT_EQ(EncodeLine("\xC8"), "\t");
  EXPECT_EQ(EncodeLine("\xFF"), EncodeLine(std::string(1, '\0')));
  std::string all;
  for (int c = 0; c < 255; ++c)
    if (c != 201 && c != 204) all += static_cast<char>(c);
  EXPECT_EQ(DecodeLine(EncodeLine(all)), all);
  EXPECT_EQ(EncodeBody("a=b|c"), EncodeLine("a") + "=" + EncodeLine("b") + "|" + EncodeLine("c"));
}

}  // namespace
}  // namespace kxs
