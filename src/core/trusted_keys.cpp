#include "core/trusted_keys.h"

#include "signing_keys.h"

namespace kx {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(std::string_view hex, std::string& out) {
  if (hex.empty() || hex.size() % 2) return false;
  out.clear();
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

}  // namespace

const TrustedKeyList& TrustedKeys() {
  static const TrustedKeyList keys = [] {
    TrustedKeyList list;
    for (const signing::CompiledKey& k : signing::kKeys)
      list.push_back({k.id, std::string(k.modulus, k.modulusBytes), k.exponent});
    return list;
  }();
  return keys;
}

std::string CheckSignature(const TrustedKeyList& keys, std::string_view keyId, std::string_view message,
                           std::string_view hexSignature, Signatures& signatures) {
  const TrustedKey* key = nullptr;
  for (const TrustedKey& k : keys)
    if (k.id == keyId) key = &k;
  // The id is outside input: only a short, plain one goes into the log.
  if (!key) return "signed by an unknown key " + std::string(keyId.substr(0, 32));
  std::string signature;
  if (!FromHex(hexSignature, signature)) return "signature is not hex";
  if (!signatures.VerifyRsaSha256(key->modulus, key->exponent, std::string(message), signature))
    return "signature by key " + key->id + " does not verify";
  return {};
}

}  // namespace kx
