// Update packages: which changes a date receives, in what order, and the signature that
// an OpenSSL verifier with only the public key accepts.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "package.h"
#include "store.h"
#include "support.h"

namespace kxs {
namespace {

// Verifies as a client would: the message rebuilt from the package alone.
bool VerifyPackage(const std::string& package, const std::string& public_pem, std::string* asked_out = nullptr) {
  const size_t br = package.rfind("[BR]");
  const std::string body = br == std::string::npos ? "" : package.substr(0, br);
  const std::string sig_record = br == std::string::npos ? package : package.substr(br + 4);
  // KXSIG|asked|asof|hex
  const size_t a = sig_record.find('|'), b = sig_record.find('|', a + 1), c = sig_record.find('|', b + 1);
  if (sig_record.substr(0, a) != "KXSIG" || c == std::string::npos) return false;
  const std::string asked = sig_record.substr(a + 1, b - a - 1), asof = sig_record.substr(b + 1, c - b - 1);
  const std::string hex = sig_record.substr(c + 1);
  if (asked_out) *asked_out = asked;
  std::vector<unsigned char> sig;
  // A client refuses a signature with any character that is not lower-case hex.
  if (hex.find_first_not_of("0123456789abcdef") != std::string::npos) return false;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) sig.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  const std::string message = "KESTRIX-PACKAGE\n" + asked + "\n" + asof + "\n" + body;

  BIO* bio = BIO_new_mem_buf(public_pem.data(), static_cast<int>(public_pem.size()));
  EVP_PKEY* key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const bool ok = key && EVP_DigestVerifyInit(ctx, nullptr, EVP_sha256(), nullptr, key) == 1 &&
                  EVP_DigestVerify(ctx, sig.data(), sig.size(), reinterpret_cast<const unsigned char*>(message.data()),
                                   message.size()) == 1;
  EVP_MD_CTX_free(ctx);
  EVP_PKEY_free(key);
  return ok && hex.size() == 768;  // 3072 bits, lower-case hex
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
    builder_ = std::make_unique<PackageBuilder>(*store_, *signer_);
  }
  Seconds At(const std::string& text) { return *ParseDate(text); }
  void Withdraw(const std::string& kind, const std::string& name, Seconds at) {
    ASSERT_EQ(store_->Withdraw(kind, [&](const Row& r) { return NameMatches(r, name); }, at).rows.size(), 1u);
  }
  std::filesystem::path dir_;
  std::unique_ptr<SqliteStore> store_;
  std::unique_ptr<Signer> signer_;
  std::unique_ptr<PackageBuilder> builder_;
};

TEST_F(PackageTest, AdditionsAndWithdrawalsAfterTheAskedDate) {
  store_->Publish({{"FILE", "a.dll=A|[system]|Adware"}, {"FILE", "b.dll=B|[system]"}}, At("1/10/2026 10:00:00 AM"));
  store_->Publish({{"COOK", "c.example"}}, At("1/11/2026"));
  Withdraw("FILE", "b.dll", At("1/12/2026 3:00:00 PM"));
  store_->Publish({{"FILE", "d.dll=D|[windir]"}}, At("1/13/2026"));
  Withdraw("FILE", "d.dll", At("1/14/2026"));  // added and withdrawn after 1/11: never sent to that client
  EXPECT_EQ(builder_->CurrentDateText(), "1/14/2026");

  // From the first day: every live definition; b.dll and d.dll were never on this client.
  EXPECT_EQ(Records(*builder_->Package("3/16/2006", At("3/16/2006"))),
            (std::vector<std::string>{"FILE|ADD|a.dll=A|[system]|Adware", "COOK|ADD|c.example"}));
  // A client that has everything up to and including 1/11: it must drop b.dll, by name.
  EXPECT_EQ(Records(*builder_->Package("1/11/2026", At("1/11/2026"))), (std::vector<std::string>{"FILE|DEL|b.dll"}));
  // Dates compare at one-second precision: the second of a change itself is already held.
  EXPECT_EQ(Records(*builder_->Package("1/10/2026 9:59:59 AM", At("1/10/2026 9:59:59 AM"))),
            (std::vector<std::string>{"FILE|ADD|a.dll=A|[system]|Adware", "COOK|ADD|c.example"}));
  EXPECT_EQ(Records(*builder_->Package("1/10/2026 10:00:00 AM", At("1/10/2026 10:00:00 AM"))),
            (std::vector<std::string>{"COOK|ADD|c.example", "FILE|DEL|b.dll"}));
  // Up to date: the signature record alone.
  const std::string none = *builder_->Package("1/14/2026", At("1/14/2026"));
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
  EXPECT_EQ(builder_->CurrentDateText(), "2/1/2026 8:00:03 AM");
  // A client that took the first package (asof 8:00:00) still receives the rest.
  EXPECT_EQ(Records(*builder_->Package("2/1/2026 8:00:00 AM", t)).size(), 3u);
  // Publishing what is already live changes nothing, not even the date.
  EXPECT_TRUE(store_->Publish({{"DIR", "Y=Y|[progfil]Y|Adware"}}, t + 100).rows.empty());
  EXPECT_EQ(builder_->CurrentDateText(), "2/1/2026 8:00:03 AM");
}

TEST_F(PackageTest, SignatureVerifiesAndFailsOnAnyChangedByte) {
  store_->Publish({{"REG", "2^SOFTWARE\\Q^=Q Spy|2^SOFTWARE\\Q|Spyware"}, {"SDIR", "Windows|[windir]|"}},
                  At("3/3/2026 4:47:03 PM"));
  const std::string asked = "3/16/2006 12:00:00 AM";
  const std::string package = *builder_->Package(asked, At(asked));
  const std::string pub = signer_->PublicKeyPem();
  std::string echoed;
  ASSERT_TRUE(VerifyPackage(package, pub, &echoed));
  EXPECT_EQ(echoed, asked);
  EXPECT_NE(package.find("|3/3/2026 4:47:03 PM|"), std::string::npos);
  EXPECT_EQ(Records(package),
            (std::vector<std::string>{"REG|ADD|2^SOFTWARE\\Q^=Q Spy|2^SOFTWARE\\Q|Spyware", "SDIR|ADD|Windows|[windir]|"}));

  for (size_t i : {size_t{0}, package.size() / 3, package.find("KXSIG") + 7, package.size() - 1}) {
    std::string changed = package;
    changed[i] = changed[i] == '0' ? '1' : static_cast<char>(changed[i] ^ 1);
    EXPECT_FALSE(VerifyPackage(changed, pub)) << "byte " << i;
  }
  // Another key's public half does not accept it.
  const auto other = test::TempDir("otherkey") / "k.pem";
  GenerateKeyFile(other.string());
  EXPECT_FALSE(VerifyPackage(package, Signer(other.string()).PublicKeyPem()));
}

TEST_F(PackageTest, RepeatsComeFromTheCacheUntilTheNextChange) {
  store_->Publish({{"FILE", "a.dll=A|[system]"}}, At("4/1/2026"));
  const auto first = builder_->Package("3/16/2006", At("3/16/2006"));
  EXPECT_EQ(builder_->Package("3/16/2006", At("3/16/2006")), first);
  EXPECT_EQ(builder_->builds(), 1u);
  // The same date written another way is another signed text.
  EXPECT_NE(*builder_->Package("3/16/2006 12:00:00 AM", At("3/16/2006")), *first);
  // A change made by another process is seen at once.
  SqliteStore(( dir_ / "k.db").string(), 1).Publish({{"FILE", "b.dll=B|[system]"}}, At("4/2/2026"));
  const auto after = builder_->Package("3/16/2006", At("3/16/2006"));
  EXPECT_EQ(Records(*after).size(), 2u);
  EXPECT_NE(after->find("|4/2/2026|"), std::string::npos);
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
