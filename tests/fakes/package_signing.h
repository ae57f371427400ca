// Update packages signed as the vendor server signs them, with OpenSSL: by the build's own
// development key (the one the program compiles in) or by a stranger's. Native tests only.
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <string>

namespace kx::testsign {

class SigningKey {
 public:
  explicit SigningKey(EVP_PKEY* key) : key_(key) {}
  ~SigningKey() { EVP_PKEY_free(key_); }
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;
  bool valid() const { return key_ != nullptr; }
  // The public modulus, big-endian, as the program's compiled-in key holds it.
  std::string Modulus() const {
    BIGNUM* n = nullptr;
    if (!key_ || EVP_PKEY_get_bn_param(key_, "n", &n) != 1) return {};
    std::string out(static_cast<size_t>(BN_num_bytes(n)), '\0');
    BN_bn2bin(n, reinterpret_cast<unsigned char*>(out.data()));
    BN_free(n);
    return out;
  }

  std::string SignHex(const std::string& message) const {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    size_t len = 0;
    EVP_DigestSignInit(md, nullptr, EVP_sha256(), nullptr, key_);
    EVP_DigestSign(md, nullptr, &len, reinterpret_cast<const unsigned char*>(message.data()), message.size());
    std::string sig(len, '\0');
    EVP_DigestSign(md, reinterpret_cast<unsigned char*>(sig.data()), &len,
                   reinterpret_cast<const unsigned char*>(message.data()), message.size());
    EVP_MD_CTX_free(md);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : sig.substr(0, len)) out += {hex[c >> 4], hex[c & 15]};
    return out;
  }
  // The package the server sends for `asked`, made at `asof`, holding `body`.
  std::string Package(const std::string& asked, const std::string& asof, const std::string& body) const {
    const std::string sig = SignHex("KESTRIX-PACKAGE\n" + asked + "\n" + asof + "\n" + body);
    return (body.empty() ? "" : body + "[BR]") + "KXSIG|" + asked + "|" + asof + "|" + sig;
  }

 private:
  EVP_PKEY* key_;
};

#ifdef KESTRIX_SIGNING_KEY
// The build's development key, whose public half the program compiled in.
inline const SigningKey& DevKey() {
  static const SigningKey key([] {
    EVP_PKEY* k = nullptr;
    if (FILE* f = std::fopen(KESTRIX_SIGNING_KEY, "rb")) {
      k = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
      std::fclose(f);
    }
    return k;
  }());
  return key;
}
#endif

// Somebody else's key.
inline const SigningKey& OtherKey() {
  static const SigningKey key(EVP_RSA_gen(3072));
  return key;
}

}  // namespace kx::testsign
