// Signs update packages: RSA PKCS#1 v1.5 over SHA-256, the key a 3072-bit PKCS#8 PEM file.
#pragma once
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

typedef struct evp_pkey_st EVP_PKEY;

namespace kxs {

class KeyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Signer {
 public:
  // Throws KeyError when the file is missing, unreadable or not an RSA 3072-bit key.
  explicit Signer(const std::string& pem_path);
  ~Signer();
  Signer(const Signer&) = delete;
  Signer& operator=(const Signer&) = delete;

  // The signature of `message`, big-endian, lower-case hex.
  std::string SignHex(std::string_view message);
  // The public key as PEM, for tests and for the client build.
  std::string PublicKeyPem() const;
  // Names the key in every signature record, so clients can hold several while keys rotate:
  // the first 16 hex digits of SHA-256 over the DER SubjectPublicKeyInfo.
  const std::string& KeyId() const { return key_id_; }

 private:
  EVP_PKEY* key_ = nullptr;
  std::string key_id_;
  std::mutex mu_;
};

// Writes a new RSA 3072-bit key (exponent 65537) as PKCS#8 PEM, readable by the owner only.
// Throws KeyError; refuses to overwrite an existing file.
void GenerateKeyFile(const std::string& path);

}  // namespace kxs
