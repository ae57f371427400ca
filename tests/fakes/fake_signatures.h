// Signature checks for the native tests: a real verifier on OpenSSL, so a package signed by
// the tests' own keys verifies here exactly as CryptoAPI verifies it on Windows.
#pragma once

#include "platform/services.h"

namespace kx::fakes {

class FakeSignatures final : public Signatures {
 public:
  bool VerifyRsaSha256(const std::string& modulusBigEndian, uint32_t exponent, const std::string& data,
                       const std::string& signatureBigEndian) override;
  int calls = 0;
};

}  // namespace kx::fakes
