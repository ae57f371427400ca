// Where the vendor's servers are: compiled-in defaults that point at the local vendor server,
// each replaceable by a value of the machine-wide settings section "Servers" (written by the
// installer and the tests).
#pragma once

#include <cstdint>
#include <string>

namespace kx {

inline constexpr const char* kServersSection = "Servers";
inline constexpr const char* kDefaultServer = "http://127.0.0.1:8021";

struct ServerAddresses {
  std::string definitions = kDefaultServer;  // "Definitions"
  std::string data = kDefaultServer;         // "Data"
  std::string languages = kDefaultServer;    // "Languages"
  uint32_t timeoutSeconds = 60;              // "TimeoutSeconds": the longest any request may take

  // An address as stored, without a trailing "/", so paths append to it.
  static std::string Base(std::string address);
};

}  // namespace kx
