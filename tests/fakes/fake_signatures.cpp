#include "fakes/fake_signatures.h"

#if KESTRIX_HAVE_OPENSSL
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#endif

namespace kx::fakes {

#if KESTRIX_HAVE_OPENSSL

namespace {

EVP_PKEY* RsaPublicKey(const std::string& modulus, uint32_t exponent) {
  BIGNUM* n = BN_bin2bn(reinterpret_cast<const unsigned char*>(modulus.data()), static_cast<int>(modulus.size()), nullptr);
  BIGNUM* e = BN_new();
  OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
  EVP_PKEY* key = nullptr;
  OSSL_PARAM* params = nullptr;
  if (n && e && build && ctx && BN_set_word(e, exponent) &&
      OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_RSA_N, n) &&
      OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_RSA_E, e) &&
      (params = OSSL_PARAM_BLD_to_param(build)) != nullptr && EVP_PKEY_fromdata_init(ctx) > 0)
    EVP_PKEY_fromdata(ctx, &key, EVP_PKEY_PUBLIC_KEY, params);
  OSSL_PARAM_free(params);
  EVP_PKEY_CTX_free(ctx);
  OSSL_PARAM_BLD_free(build);
  BN_free(e);
  BN_free(n);
  return key;
}

}  // namespace

bool FakeSignatures::VerifyRsaSha256(const std::string& modulusBigEndian, uint32_t exponent,
                                     const std::string& data, const std::string& signatureBigEndian) {
  ++calls;
  if (modulusBigEndian.empty() || signatureBigEndian.empty() || exponent < 3 || !(exponent & 1)) return false;
  EVP_PKEY* key = RsaPublicKey(modulusBigEndian, exponent);
  if (!key) return false;
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  bool ok = md && EVP_DigestVerifyInit(md, nullptr, EVP_sha256(), nullptr, key) == 1 &&
            EVP_DigestVerify(md, reinterpret_cast<const unsigned char*>(signatureBigEndian.data()),
                             signatureBigEndian.size(), reinterpret_cast<const unsigned char*>(data.data()),
                             data.size()) == 1;
  EVP_MD_CTX_free(md);
  EVP_PKEY_free(key);
  return ok;
}

#else

// The Windows test build has no OpenSSL; code under Wine verifies with Win32Signatures.
bool FakeSignatures::VerifyRsaSha256(const std::string&, uint32_t, const std::string&, const std::string&) {
  ++calls;
  return false;
}

#endif

}  // namespace kx::fakes
