#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

struct Provider {
  HCRYPTPROV h = 0;
  ~Provider() { if (h) CryptReleaseContext(h, 0); }
};
struct Key {
  HCRYPTKEY h = 0;
  ~Key() { if (h) CryptDestroyKey(h); }
};
struct Hash {
  HCRYPTHASH h = 0;
  ~Hash() { if (h) CryptDestroyHash(h); }
};

// A PUBLICKEYBLOB: the header, "RSA1" with the bit length and exponent, then the modulus
// least significant byte first.
std::vector<BYTE> PublicKeyBlob(const std::string& modulus, uint32_t exponent) {
  std::vector<BYTE> blob(sizeof(BLOBHEADER) + sizeof(RSAPUBKEY) + modulus.size());
  auto* header = reinterpret_cast<BLOBHEADER*>(blob.data());
  header->bType = PUBLICKEYBLOB;
  header->bVersion = CUR_BLOB_VERSION;
  header->reserved = 0;
  header->aiKeyAlg = CALG_RSA_SIGN;
  auto* rsa = reinterpret_cast<RSAPUBKEY*>(blob.data() + sizeof(BLOBHEADER));
  rsa->magic = 0x31415352;  // "RSA1"
  rsa->bitlen = static_cast<DWORD>(modulus.size() * 8);
  rsa->pubexp = exponent;
  std::reverse_copy(modulus.begin(), modulus.end(), blob.begin() + sizeof(BLOBHEADER) + sizeof(RSAPUBKEY));
  return blob;
}

}  // namespace

bool Win32Signatures::VerifyRsaSha256(const std::string& modulusBigEndian, uint32_t exponent,
                                      const std::string& data, const std::string& signatureBigEndian) {
  std::string modulus = modulusBigEndian;
  modulus.erase(0, std::min(modulus.find_first_not_of('\0'), modulus.size()));
  // The provider takes whole bytes; an even modulus or exponent is no RSA key.
  if (modulus.size() < 64 || modulus.size() > 2048 || !(modulus.back() & 1)) return false;
  if (exponent < 3 || !(exponent & 1)) return false;
  if (signatureBigEndian.empty() || signatureBigEndian.size() > modulus.size()) return false;
  std::vector<BYTE> signature(modulus.size(), 0);  // little-endian, as CryptoAPI reads it
  std::reverse_copy(signatureBigEndian.begin(), signatureBigEndian.end(), signature.begin());

  Provider provider;
  if (!CryptAcquireContextA(&provider.h, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    return false;
  std::vector<BYTE> blob = PublicKeyBlob(modulus, exponent);
  Key key;
  if (!CryptImportKey(provider.h, blob.data(), static_cast<DWORD>(blob.size()), 0, 0, &key.h)) return false;
  Hash hash;
  if (!CryptCreateHash(provider.h, CALG_SHA_256, 0, 0, &hash.h)) return false;
  size_t at = 0;
  do {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - at, 1u << 20));
    if (!CryptHashData(hash.h, reinterpret_cast<const BYTE*>(data.data() + at), chunk, 0)) return false;
    at += chunk;
  } while (at < data.size());
  return CryptVerifySignatureA(hash.h, signature.data(), static_cast<DWORD>(signature.size()), key.h,
                               nullptr, 0) != FALSE;
}

}  // namespace kx::win32
