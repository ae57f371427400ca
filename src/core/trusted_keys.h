// The vendor's public keys this build trusts, each named by its key id: the first 16
// lower-case hex digits of SHA-256 over the key's DER SubjectPublicKeyInfo. Everything the
// vendor signs (update packages, the current date, the language file) names the key that
// signed it, so a new key can ship in the list before the old one retires.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace kx {

struct TrustedKey {
  std::string id;       // 16 lower-case hex digits
  std::string modulus;  // big-endian bytes
  uint32_t exponent = 65537;
};
using TrustedKeyList = std::vector<TrustedKey>;

// The keys the build compiled in (KESTRIX_PUBLIC_KEYS, or the development key's public half).
const TrustedKeyList& TrustedKeys();

// Empty when hexSignature is an RSA (PKCS #1 v1.5, SHA-256) signature of message by the
// trusted key named keyId; otherwise why not, for the log.
std::string CheckSignature(const TrustedKeyList& keys, std::string_view keyId, std::string_view message,
                           std::string_view hexSignature, Signatures& signatures);

}  // namespace kx
