// The services a contract suite runs against: the fakes natively, the win32 implementation
// under Wine. Each test executable links exactly one contract_env*.cpp.
#pragma once

#include <memory>
#include <string>

#include "platform/services.h"

namespace kx::contract {

struct Env {
  virtual ~Env() = default;
  virtual Registry& registry() = 0;
  virtual FileSystem& files() = 0;
  virtual SystemInfo& system() = 0;
  virtual Processes& processes() = 0;
  virtual Web& web() = 0;
  virtual SystemRestore& restore() = 0;
  virtual Com& com() = 0;
  virtual Shell& shell() = 0;
  virtual Locks& locks() = 0;
  virtual Clock& clock() = 0;
  // A fresh, empty folder for the test to work in (absolute Windows path, no trailing "\").
  virtual std::string ScratchFolder() = 0;
  // Marks a file hidden or system the way the platform does.
  virtual bool IsFake() const = 0;
};

// A new environment for one test.
std::unique_ptr<Env> MakeEnv();

}  // namespace kx::contract
