// What the vendor's signer signs (update packages, the current-date answer, the language
// file), signed as it signs them, with OpenSSL: by the build's own development key (the one
// the program trusts) or by a stranger's. Native tests only.
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstdio>
#include <string>

#include "core/trusted_keys.h"

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

  // The first 16 hex digits of SHA-256 over the DER SubjectPublicKeyInfo, as the vendor's
  // tools name a key.
  std::string KeyId() const {
    unsigned char* der = nullptr;
    const int len = key_ ? i2d_PUBKEY(key_, &der) : -1;
    if (len <= 0) return {};
    unsigned char digest[32];
    unsigned int digestLen = 0;
    EVP_Digest(der, static_cast<size_t>(len), digest, &digestLen, EVP_sha256(), nullptr);
    OPENSSL_free(der);
    return Hex(std::string(reinterpret_cast<char*>(digest), 8));
  }
  // The key as the program's trusted list holds it.
  TrustedKey Public() const { return {KeyId(), Modulus(), 65537}; }

  std::string SignHex(const std::string& message) const {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    size_t len = 0;
    EVP_DigestSignInit(md, nullptr, EVP_sha256(), nullptr, key_);
    EVP_DigestSign(md, nullptr, &len, reinterpret_cast<const unsigned char*>(message.data()), message.size());
    std::string sig(len, '\0');
    EVP_DigestSign(md, reinterpret_cast<unsigned char*>(sig.data()), &len,
                   reinterpret_cast<const unsigned char*>(message.data()), message.size());
    EVP_MD_CTX_free(md);
    return Hex(sig.substr(0, len));
  }
  // The package the server sends for `asked`, made at `asof`, holding `body`.
  std::string Package(const std::string& asked, const std::string& asof, const std::string& body) const {
    const std::string sig = SignHex("KESTRIX-PACKAGE\n" + asked + "\n" + asof + "\n" + body);
    return (body.empty() ? "" : body + "[BR]") + "KXSIG|" + asked + "|" + asof + "|" + KeyId() + "|" + sig;
  }
  // The current-date answer: `date` as "M/D/YYYY h:mm:ss AM", issued at Unix time `issued`.
  std::string DateAnswer(const std::string& date, const std::string& issued) const {
    return date + " KXDATE|" + issued + "|" + KeyId() + "|" + SignHex("KESTRIX-DATE\n" + date + "\n" + issued);
  }
  // A language file as served: `text` (ending in a line end) and the signature line.
  std::string Language(const std::string& text) const {
    return text + "<!-- KXSIG|" + KeyId() + "|" + SignHex("KESTRIX-LANGUAGE\n" + text) + " -->\r\n";
  }

 private:
  static std::string Hex(const std::string& bytes) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {hex[c >> 4], hex[c & 15]};
    return out;
  }

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
