// The platform services on the real Windows APIs. Only platform/win32 includes windows.h;
// this header does not.
#pragma once

#include "platform/services.h"

namespace kx::win32 {

class Win32Registry final : public Registry {
 public:
  RegStatus OpenKey(Hive hive, const std::string& path, uint32_t access) override;
  RegStatus QueryValue(Hive hive, const std::string& path, const std::string& name,
                       RegValue& out) override;
  RegResult SetValue(Hive hive, const std::string& path, const std::string& name,
                     const RegValue& value) override;
  RegResult CreateKey(Hive hive, const std::string& path) override;
  RegResult DeleteValue(Hive hive, const std::string& path, const std::string& name) override;
  RegResult DeleteTree(Hive hive, const std::string& path) override;
  RegStatus EnumSubkeys(Hive hive, const std::string& path, std::vector<std::string>& out) override;
  RegStatus EnumValues(Hive hive, const std::string& path, std::vector<std::string>& out) override;
  std::optional<std::string> RealKeyName(Hive hive, const std::string& path) override;
  RegStatus ReadsExactly(Hive hive, const std::string& path, const std::optional<std::string>& value,
                         bool& exact) override;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::vector<FileEntry> Find(const std::string& pattern) override;
  std::vector<std::string> ListPlainFiles(const std::string& pattern) override;
  std::optional<uint32_t> Attributes(const std::string& path) override;
  IoStatus SetAttributes(const std::string& path, uint32_t attributes) override;
  bool FolderExists(const std::string& path) override;
  IoStatus CreateFolder(const std::string& path) override;
  IoStatus CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  IoStatus DeleteFile(const std::string& path) override;
  using FileSystem::MoveFile;
  IoStatus MoveFile(const std::string& from, const std::string& to, bool replaceExisting) override;
  IoStatus CopyFolder(const std::string& from, const std::string& to, bool overwrite) override;
  IoStatus DeleteFolder(const std::string& path, bool force) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  std::optional<std::string> ReadImageFile(const std::string& path) override;
  IoStatus WriteFile(const std::string& path, const std::string& bytes) override;
  IoStatus WriteFileFlushed(const std::string& path, const std::string& bytes) override;
  IoStatus AppendFile(const std::string& path, const std::string& bytes) override;
};

class Win32SystemInfo final : public SystemInfo {
 public:
  std::string SpecialFolder(int csidl) override;
  std::string WindowsDirectory() override;
  std::string SystemDirectory() override;
  std::vector<DriveInfo> Drives() override;
  OsVersion Version() override;
  std::string ProgramFolder() override;
  std::string UserName() override;
  std::string AllUsersProfile() override;
};

class Win32Processes final : public Processes {
 public:
  std::vector<uint32_t> EnumIds() override;
  std::optional<std::string> ModulePath(uint32_t pid) override;
  std::optional<std::string> ModuleBaseName(uint32_t pid) override;
  std::optional<ProcessImage> Image(uint32_t pid) override;
  bool Terminate(uint32_t pid, uint32_t exitCode) override;
  std::optional<uint32_t> ExitCode(uint32_t pid) override;
  bool WaitForExit(uint32_t pid, uint32_t milliseconds) override;
  bool EnableDebugPrivilege() override;
  void DisableDebugPrivilege() override;
  std::vector<ProcessEntry> Snapshot() override;
  std::optional<std::vector<std::string>> WmiProcessNames() override;
  uint32_t CurrentId() override;
};

class Win32Web final : public Web {
 public:
  WebResult Get(const std::string& url, const WebOptions& options,
                const std::function<bool(size_t)>& yield) override;
};

class Win32SystemRestore final : public SystemRestore {
 public:
  bool Available() override;
  std::optional<int64_t> Begin(const std::string& description, uint32_t restorePointType = 6) override;
  bool End(int64_t sequence) override;
};

class Win32Com final : public Com {
 public:
  bool Unregister(const std::string& dllPath) override;
};

class Win32Shell final : public Shell {
 public:
  bool Open(const std::string& fileOrAddress) override;
  bool Start(const std::string& program, const std::string& arguments) override;
  bool SetClipboardText(const std::string& text) override;
  std::optional<std::string> ClipboardText() override;
};

class Win32Locks final : public Locks {
 public:
  std::unique_ptr<InstanceLock> TryAcquire(const std::string& name) override;
};

class Win32Clock final : public Clock {
 public:
  DateTime Now() override;
  int64_t UnixSeconds() override;
  uint64_t TickMs() override;
};

// CryptoAPI's enhanced RSA and AES provider: SHA-256 from XP SP3 on.
class Win32Signatures final : public Signatures {
 public:
  bool VerifyRsaSha256(const std::string& modulusBigEndian, uint32_t exponent, const std::string& data,
                       const std::string& signatureBigEndian) override;
};

// Icons through Shell_NotifyIconA with the first, 88-byte record; sizes from the desktop and
// the taskbar window.
class Win32NotificationArea final : public NotificationArea {
 public:
  bool Add(const NotifyIcon& icon) override;
  bool Modify(const NotifyIcon& icon) override;
  bool Delete(const void* window, uint32_t id) override;
  PixelSize DesktopClientSize() override;
  int TaskbarClientHeight() override;
};

// One of each, and the Platform view that program code takes.
struct Win32Platform {
  Win32Registry registry;
  Win32FileSystem files;
  Win32SystemInfo system;
  Win32Processes processes;
  Win32Web web;
  Win32SystemRestore restore;
  Win32Com com;
  Win32Shell shell;
  Win32Locks locks;
  Win32Clock clock;
  Win32Signatures signatures;
  Win32NotificationArea notifyArea;

  kx::Platform platform() {
    return {registry, files, system, processes, web, restore, com, shell, locks, clock, signatures, notifyArea};
  }
};

}  // namespace kx::win32
