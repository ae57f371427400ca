// RSA with SHA-256 signatures, checked against signatures that OpenSSL made at build time:
// the verifier must accept exactly what OpenSSL's signer writes and nothing else.
#include <gtest/gtest.h>

#include "contract/contract_env.h"
#include "signature_vectors.h"

namespace kx::contract {

namespace {

using namespace kx::vectors;

class SignaturesContract : public ::testing::Test {
 protected:
  std::unique_ptr<Env> env = MakeEnv();
  Signatures& sig = env->signatures();
};

std::string Flipped(std::string s, size_t at, unsigned char bit) {
  s[at] = static_cast<char>(s[at] ^ bit);
  return s;
}

TEST_F(SignaturesContract, AcceptsOpenSslSignaturesOfEitherKeyAndTheEmptyMessage) {
  ASSERT_EQ(kKey_a_modulus.size(), 384u);
  ASSERT_EQ(kSig_a_data.size(), 384u);
  EXPECT_TRUE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, kSig_a_data));
  EXPECT_TRUE(sig.VerifyRsaSha256(kKey_b_modulus, kKey_b_exponent, kData, kSig_b_data));
  EXPECT_TRUE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, "", kSig_a_empty));
}

TEST_F(SignaturesContract, RefusesAnyChangedByteOfDataOrSignature) {
  for (size_t at : {size_t{0}, size_t{1}, kData.size() / 2, kData.size() - 1})
    EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, Flipped(kData, at, 0x01), kSig_a_data)) << at;
  for (size_t at : {size_t{0}, size_t{100}, kSig_a_data.size() - 1})
    EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, Flipped(kSig_a_data, at, 0x80))) << at;
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData + "x", kSig_a_data));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, "x", kSig_a_empty));
}

TEST_F(SignaturesContract, RefusesAnotherKeyOrExponent) {
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_b_modulus, kKey_b_exponent, kData, kSig_a_data));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, kSig_b_data));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, 3, kData, kSig_a_data));
  EXPECT_FALSE(sig.VerifyRsaSha256(Flipped(kKey_a_modulus, 200, 0x10), kKey_a_exponent, kData, kSig_a_data));
}

TEST_F(SignaturesContract, RefusesEmptyShortLongAndMalformedInput) {
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, ""));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, kSig_a_data.substr(1)));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, kSig_a_data.substr(0, 16)));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, kSig_a_data + '\0'));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, kKey_a_exponent, kData, std::string(384, '\0')));
  EXPECT_FALSE(sig.VerifyRsaSha256("", kKey_a_exponent, kData, kSig_a_data));
  EXPECT_FALSE(sig.VerifyRsaSha256(kKey_a_modulus, 0, kData, kSig_a_data));
}

}  // namespace

}  // namespace kx::contract
