#include "signer.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace kxs {

namespace {

std::string Hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    hex += digits[p[i] >> 4];
    hex += digits[p[i] & 15];
  }
  return hex;
}

std::string OpenSslError() {
  char buf[256] = "unknown error";
  if (unsigned long e = ERR_get_error()) ERR_error_string_n(e, buf, sizeof buf);
  ERR_clear_error();
  return buf;
}

}  // namespace

Signer::Signer(const std::string& pem_path) {
  FILE* f = std::fopen(pem_path.c_str(), "rb");
  if (!f) throw KeyError("signing key " + pem_path + " not found (make one with: kestrix-server genkey " + pem_path + ")");
  key_ = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  if (!key_) throw KeyError("signing key " + pem_path + " is not a readable PEM private key: " + OpenSslError());
  if (EVP_PKEY_get_base_id(key_) != EVP_PKEY_RSA || EVP_PKEY_get_bits(key_) != 3072) {
    EVP_PKEY_free(key_);
    throw KeyError("signing key " + pem_path + " must be an RSA 3072-bit key");
  }
  unsigned char* der = nullptr;
  const int len = i2d_PUBKEY(key_, &der);
  if (len <= 0) {
    EVP_PKEY_free(key_);
    throw KeyError("signing key " + pem_path + ": no public half: " + OpenSslError());
  }
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(der, static_cast<size_t>(len), digest);
  OPENSSL_free(der);
  key_id_ = Hex(digest, 8);
}

Signer::~Signer() { EVP_PKEY_free(key_); }

std::string Signer::SignHex(std::string_view message) {
  std::lock_guard lock(mu_);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_PKEY_CTX* pctx = nullptr;
  size_t len = 0;
  std::vector<unsigned char> sig;
  bool ok = ctx && EVP_DigestSignInit(ctx, &pctx, EVP_sha256(), nullptr, key_) == 1 &&
            EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) == 1 &&
            EVP_DigestSign(ctx, nullptr, &len, reinterpret_cast<const unsigned char*>(message.data()),
                           message.size()) == 1;
  if (ok) {
    sig.resize(len);
    ok = EVP_DigestSign(ctx, sig.data(), &len, reinterpret_cast<const unsigned char*>(message.data()),
                        message.size()) == 1;
  }
  EVP_MD_CTX_free(ctx);
  if (!ok) throw KeyError("signing failed: " + OpenSslError());
  return Hex(sig.data(), len);
}

std::string Signer::PublicKeyPem() const {
  BIO* bio = BIO_new(BIO_s_mem());
  std::string out;
  if (bio && PEM_write_bio_PUBKEY(bio, key_) == 1) {
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    out.assign(data, static_cast<size_t>(n));
  }
  BIO_free(bio);
  return out;
}

void GenerateKeyFile(const std::string& path) {
  EVP_PKEY* key = EVP_RSA_gen(3072);
  if (!key) throw KeyError("key generation failed: " + OpenSslError());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    EVP_PKEY_free(key);
    throw KeyError("cannot create " + path + " (it must not exist yet)");
  }
  FILE* f = fdopen(fd, "wb");
  const bool ok = f && PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  if (f) std::fclose(f); else ::close(fd);
  EVP_PKEY_free(key);
  if (!ok) throw KeyError("cannot write " + path);
}

}  // namespace kxs
