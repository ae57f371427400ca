#include "app/vendor_servers.h"

#include <algorithm>
#include <cstdlib>

namespace kx {

ServerAddresses ReadServerAddresses(Settings& settings, const std::string& productName) {
  ServerAddresses s;
  auto read = [&](const char* key, const std::string& def) {
    const std::string v = ServerAddresses::Base(settings.ReadMachineSetting(productName, kServersSection, key, def));
    return v.empty() ? def : v;
  };
  s.definitions = read("Definitions", s.definitions);
  s.data = read("Data", s.data);
  s.languages = read("Languages", s.languages);
  const long seconds = std::strtol(settings.ReadMachineSetting(productName, kServersSection, "TimeoutSeconds", "").c_str(), nullptr, 10);
  if (seconds > 0) s.timeoutSeconds = static_cast<uint32_t>(std::min(seconds, 3600L));
  return s;
}

WebOptions RequestLimits(const ServerAddresses& servers) {
  WebOptions o;
  o.deadlineMs = servers.timeoutSeconds * 1000;
  o.connectTimeoutMs = std::min<uint32_t>(o.deadlineMs, 15000);
  o.receiveTimeoutMs = std::min<uint32_t>(o.deadlineMs, 30000);
  return o;
}

}  // namespace kx
