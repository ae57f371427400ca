// The vendor's server addresses as this machine has them, and the limits every request to
// them keeps.
#pragma once

#include <string>

#include "app/settings.h"
#include "core/servers.h"
#include "platform/services.h"

namespace kx {

ServerAddresses ReadServerAddresses(Settings& settings, const std::string& productName);
// The whole request within the configured time; connecting and each wait for data within
// a part of it.
WebOptions RequestLimits(const ServerAddresses& servers);

}  // namespace kx
