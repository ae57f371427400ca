#include "core/servers.h"

namespace kx {

std::string ServerAddresses::Base(std::string address) {
  while (!address.empty() && (address.back() == '/' || address.back() == ' ')) address.pop_back();
  while (!address.empty() && address.front() == ' ') address.erase(address.begin());
  return address;
}

}  // namespace kx
