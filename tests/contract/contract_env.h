// The services a contract suite runs against: the fakes natively, the win32 implementation
// under Wine. Each test executable links exactly one contract_env*.cpp.
#pragma once

#include <cstdint>
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
  virtual Signatures& signatures() = 0;
  // A fresh, empty folder for the test to work in (absolute Windows path, no trailing "\").
  virtual std::string ScratchFolder() = 0;
  // A fresh, empty key below HKEY_CURRENT_USER (no leading or trailing "\"); removed after.
  virtual std::string ScratchKey() = 0;
  // Sets a value through the wide calls, from UTF-8: the names of the value and of the keys
  // on the way (made as needed) and string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, given
  // without the last NUL) may hold characters outside the ANSI code page. Other types take
  // the bytes as given. False when it could not be set.
  virtual bool PutUnicode(Hive hive, const std::string& utf8Path, const std::string& utf8Name, uint32_t type,
                          const std::string& utf8Data) = 0;
  // Lets the key be opened only with rights within `allowed`, as a security descriptor that
  // grants no more would. False when the platform cannot enforce it.
  virtual bool RestrictKey(Hive hive, const std::string& path, uint32_t allowed) = 0;
  // Holds the file open as another program would: reading, sharing reading only, until the
  // returned object goes. Null when the file cannot be opened.
  struct Hold {
    virtual ~Hold() = default;
  };
  virtual std::unique_ptr<Hold> HoldOpen(const std::string& path) = 0;
  // Starts a process that runs until it is terminated; its id, or 0 on failure.
  virtual uint32_t StartChild() = 0;
  // Starts a running 64-bit program (on Windows, a process whose modules this 32-bit
  // program cannot read); its id and the full path it was started from, or 0.
  virtual uint32_t StartChild64(std::string& imagePath) = 0;
  // An http:// address that answers GET with this status and body.
  virtual std::string ServeBody(const std::string& body, int status = 200) = 0;
  // An address whose server accepts the connection and then never answers.
  virtual std::string SilentUrl() = 0;
  // An address that answers 200 with a body that never ends, "abc...z" over and over, until
  // the client goes.
  virtual std::string EndlessUrl() = 0;
  // An address where nothing listens: the connection is refused.
  virtual std::string RefusedUrl() = 0;
  virtual NotificationArea& notifyArea() = 0;
  // A window of this program that can own notification icons, alive until the environment
  // goes; every call gives another one.
  virtual const void* IconOwnerWindow() = 0;
  // The primary screen's size in pixels as the system states it outside the desktop window.
  virtual PixelSize ScreenPixels() = 0;
  virtual bool IsFake() const = 0;
};

// A new environment for one test.
std::unique_ptr<Env> MakeEnv();

}  // namespace kx::contract
