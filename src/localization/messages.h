// The built-in English message table, in slot order.
#pragma once

#include <span>

namespace kx {

struct BuiltInMessage {
  const char* key;
  const char* text;
};

std::span<const BuiltInMessage> BuiltInMessages();

}  // namespace kx
