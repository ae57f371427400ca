// What the program asks of Windows. platform/win32 implements these on the real APIs;
// tests/fakes implements them in memory. The contract suites in tests/contract hold both
// to the same behaviour, so program logic can be tested natively against the fakes.
//
// Error contract: a failing call leaves its outputs untouched and reports through its
// return value; nothing throws. File and registry changes report the system's error code
// (IoStatus, RegResult), so a caller can tell a file in use from one it may not touch.
// Strings are ANSI bytes (Windows-1252).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace kx {

// The system error codes callers tell apart, as Windows numbers them (GetLastError, LSTATUS).
enum SysError : uint32_t {
  ERR_SUCCESS = 0, ERR_FILE_NOT_FOUND = 2, ERR_PATH_NOT_FOUND = 3, ERR_ACCESS_DENIED = 5,
  ERR_SHARING_VIOLATION = 32, ERR_FILE_EXISTS = 80, ERR_INVALID_PARAMETER = 87,
  ERR_INVALID_NAME = 123, ERR_DIR_NOT_EMPTY = 145, ERR_ALREADY_EXISTS = 183, ERR_DIRECTORY = 267,
};

// What a file change did: 0, or the system error code of the failure.
struct [[nodiscard]] IoStatus {
  uint32_t error = ERR_SUCCESS;
  bool ok() const { return error == ERR_SUCCESS; }
  explicit operator bool() const { return ok(); }
  static IoStatus Fail(uint32_t code) { return {code ? code : ERR_INVALID_PARAMETER}; }
};

// ---------------------------------------------------------------- registry

enum class Hive : uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
  Users = 0x80000003u,
  CurrentConfig = 0x80000005u,
};

// Value types as Windows numbers them.
enum RegType : uint32_t {
  REGT_NONE = 0, REGT_SZ = 1, REGT_EXPAND_SZ = 2, REGT_BINARY = 3, REGT_DWORD = 4, REGT_MULTI_SZ = 7,
};

// Access masks as Windows numbers them.
enum RegAccess : uint32_t {
  REGA_QUERY_VALUE = 0x0001, REGA_SET_VALUE = 0x0002, REGA_CREATE_SUB_KEY = 0x0004,
  REGA_ENUMERATE_SUB_KEYS = 0x0008, REGA_NOTIFY = 0x0010, REGA_CREATE_LINK = 0x0020,
  REGA_ALL_0x3F = 0x003F, REGA_READ = 0x20019, REGA_WRITE = 0x20006, REGA_ALL_ACCESS = 0xF003F,
};

enum class RegStatus { Ok, NotFound, AccessDenied, Failed };

// A registry change's outcome: the status callers compare, and the system code behind it.
struct [[nodiscard]] RegResult {
  RegStatus status = RegStatus::Ok;
  uint32_t error = ERR_SUCCESS;
  RegResult() = default;
  RegResult(RegStatus s, uint32_t code) : status(s), error(code) {}
  // A bare status carries the code it usually stands for.
  RegResult(RegStatus s);
  static RegResult OfCode(uint32_t code);  // ERR_FILE_NOT_FOUND -> NotFound, ...
  bool ok() const { return status == RegStatus::Ok; }
  // Implicit, so callers keep comparing with and returning RegStatus.
  operator RegStatus() const { return status; }
  friend bool operator==(const RegResult& a, RegStatus b) { return a.status == b; }
};

struct RegValue {
  uint32_t type = REGT_NONE;
  std::string data;  // raw bytes as stored: strings include their terminating NUL(s)

  static RegValue String(const std::string& s, uint32_t type = REGT_SZ);  // appends the NUL
  static RegValue Dword(uint32_t v);
  // REGT_SZ/REGT_EXPAND_SZ text up to the first NUL; nullopt for other types.
  std::optional<std::string> AsString() const;
  std::optional<uint32_t> AsDword() const;  // REGT_DWORD with 4 bytes
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens the key with the access mask and closes it again: does it exist, may we.
  virtual RegStatus OpenKey(Hive hive, const std::string& path, uint32_t access) = 0;
  // Opens the key for reading and queries one value ("" is the default value).
  virtual RegStatus QueryValue(Hive hive, const std::string& path, const std::string& name,
                               RegValue& out) = 0;
  // Opens an existing key for writing and sets one value.
  virtual RegResult SetValue(Hive hive, const std::string& path, const std::string& name,
                             const RegValue& value) = 0;
  // Creates the key and any missing parents (opening it when it exists).
  virtual RegResult CreateKey(Hive hive, const std::string& path) = 0;
  virtual RegResult DeleteValue(Hive hive, const std::string& path, const std::string& name) = 0;
  // Deletes the key with all its subkeys.
  virtual RegResult DeleteTree(Hive hive, const std::string& path) = 0;
  virtual RegStatus EnumSubkeys(Hive hive, const std::string& path, std::vector<std::string>& out) = 0;
  virtual RegStatus EnumValues(Hive hive, const std::string& path, std::vector<std::string>& out) = 0;
  // The key's full name as the system stores it, as regedit names keys: a 32-bit program's
  // "HKLM\SOFTWARE\X" on 64-bit Windows is "HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\X".
  // Keys of the current user keep HKEY_CURRENT_USER (so an import by the same user lands in
  // the same place); other users' keys are named below HKEY_USERS. nullopt when the key
  // cannot be opened for reading. Where the system names no key otherwise, this default
  // answers the hive's name and the path as given.
  virtual std::optional<std::string> RealKeyName(Hive hive, const std::string& path);
  // Whether the calls above read the key with its whole subtree (value nullopt), or one of
  // its values, exactly as stored: the system keeps names and strings in Unicode and these
  // calls give "?" (or a look-alike) for characters outside the ANSI code page. Exact when
  // every key name, value name and string datum (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) in it
  // is made of code page characters and every key in the subtree can be listed and read.
  // NotFound or AccessDenied for the key or value itself, leaving `exact` untouched. This
  // default cannot see Unicode, so it answers false for whatever exists.
  virtual RegStatus ReadsExactly(Hive hive, const std::string& path, const std::optional<std::string>& value,
                                 bool& exact);
};

// "HKEY_LOCAL_MACHINE" and so on; "" for a value outside the enumeration.
const char* HiveName(Hive hive);

// ---------------------------------------------------------------- file system

enum FileAttr : uint32_t {
  FA_READONLY = 0x01, FA_HIDDEN = 0x02, FA_SYSTEM = 0x04, FA_DIRECTORY = 0x10,
  FA_ARCHIVE = 0x20, FA_NORMAL = 0x80,
  // A junction or symbolic link: what it points to is somewhere else, never part of the
  // folder holding it.
  FA_REPARSE_POINT = 0x400,
};

struct FileEntry {
  std::string name;  // as stored, without the folder
  uint32_t attributes = 0;
  uint64_t size = 0;
  // FILETIME ticks (UTC). Copying keeps the source's, as Windows' CopyFile does; 0 unknown.
  uint64_t lastWrite = 0;
};

// Windows path semantics: names compare without regard to case, "\" separates, a drive
// letter starts an absolute path.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Entries matching a FindFirstFile pattern ("C:\dir\*.*", "C:\dir\a?.txt", or an exact
  // path), without "." and "..". Empty when the folder does not exist.
  virtual std::vector<FileEntry> Find(const std::string& pattern) = 0;
  // The names of the plain files matching the pattern: never hidden, system or directory
  // entries (the classic Dir() listing).
  virtual std::vector<std::string> ListPlainFiles(const std::string& pattern) = 0;
  virtual std::optional<uint32_t> Attributes(const std::string& path) = 0;
  virtual IoStatus SetAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  virtual IoStatus CreateFolder(const std::string& path) = 0;  // one level; ok when it exists after
  // Windows refuses to copy onto a read-only or hidden file (ERR_ACCESS_DENIED).
  virtual IoStatus CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual IoStatus DeleteFile(const std::string& path) = 0;
  // A rename, across folders and drives. replaceExisting swaps the target in one step
  // (never a read-only one), so there is no moment without either file.
  virtual IoStatus MoveFile(const std::string& from, const std::string& to, bool replaceExisting) = 0;
  IoStatus MoveFile(const std::string& from, const std::string& to) { return MoveFile(from, to, false); }
  // Copies a folder with its contents into "to" (created), replacing files when overwrite.
  // The code is the first failure's; the copy goes on past it.
  virtual IoStatus CopyFolder(const std::string& from, const std::string& to, bool overwrite) = 0;
  // Deletes a folder with its contents; force also removes read-only entries. The code is
  // the first failure's; whatever could go is gone.
  virtual IoStatus DeleteFolder(const std::string& path, bool force) = 0;
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // ReadFile for the file another process runs from, named as the system names it. A 32-bit
  // program on 64-bit Windows would read "<windir>\System32\x.exe" from SysWOW64 instead
  // (another file, or none); this reads the file the path names. Where paths are not
  // redirected it is ReadFile.
  virtual std::optional<std::string> ReadImageFile(const std::string& path) { return ReadFile(path); }
  virtual IoStatus WriteFile(const std::string& path, const std::string& bytes) = 0;  // whole
  // WriteFile, and on the disk before it returns (FlushFileBuffers): for a file that is about
  // to replace another. Where nothing is cached, WriteFile already is that.
  virtual IoStatus WriteFileFlushed(const std::string& path, const std::string& bytes) {
    return WriteFile(path, bytes);
  }
  virtual IoStatus AppendFile(const std::string& path, const std::string& bytes) = 0;
};

// ---------------------------------------------------------------- shell and system

enum class DriveType : uint32_t { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

struct DriveInfo {
  std::string root;  // "C:\"
  DriveType type = DriveType::Unknown;
  bool ready = false;
};

struct OsVersion {
  uint32_t platformId = 2;  // 1: Windows 95 family, 2: NT family
  uint32_t major = 6;
  uint32_t minor = 1;
  bool IsWin9x() const { return platformId == 1; }
  bool IsVistaOrLater() const { return platformId == 2 && major >= 6; }
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // Path of a shell folder by CSIDL number, without trailing backslash, not creating it;
  // empty for a virtual or unknown folder.
  virtual std::string SpecialFolder(int csidl) = 0;
  virtual std::string WindowsDirectory() = 0;  // without trailing backslash
  virtual std::string SystemDirectory() = 0;   // without trailing backslash
  virtual std::vector<DriveInfo> Drives() = 0;
  virtual OsVersion Version() = 0;
  virtual std::string ProgramFolder() = 0;  // folder of the running executable, no trailing "\"
  virtual std::string UserName() = 0;
  // The all-users profile folder ("C:\Documents and Settings\All Users", "C:\ProgramData"),
  // without trailing backslash; empty where the system has no profiles.
  virtual std::string AllUsersProfile() = 0;
};

// ---------------------------------------------------------------- processes

struct ProcessEntry {
  uint32_t pid = 0;
  std::string exeFile;  // the toolhelp base name, "notepad.exe"
};

// A process's executable: its first module's name and full path.
struct ProcessImage {
  std::string baseName;  // "notepad.exe"
  std::string path;      // "C:\Windows\notepad.exe"
};

class Processes {
 public:
  virtual ~Processes() = default;
  virtual std::vector<uint32_t> EnumIds() = 0;  // grows its buffer until every id fits
  virtual std::optional<std::string> ModulePath(uint32_t pid) = 0;      // first module's full path
  virtual std::optional<std::string> ModuleBaseName(uint32_t pid) = 0;  // first module's name
  // The executable's name and full path: the image name the system keeps for the process
  // (Vista and later), which names the same file as the first module and can be had where
  // the modules cannot be read (a 64-bit process seen from this 32-bit program); else the
  // first module's. nullopt when neither can be had.
  virtual std::optional<ProcessImage> Image(uint32_t pid) = 0;
  virtual bool Terminate(uint32_t pid, uint32_t exitCode) = 0;
  // Exit code of an ended process; nullopt while it runs or when it cannot be opened.
  virtual std::optional<uint32_t> ExitCode(uint32_t pid) = 0;
  virtual bool WaitForExit(uint32_t pid, uint32_t milliseconds) = 0;  // true when it ended
  virtual bool EnableDebugPrivilege() = 0;                            // "SeDebugPrivilege"
  virtual void DisableDebugPrivilege() = 0;
  virtual std::vector<ProcessEntry> Snapshot() = 0;                   // toolhelp
  virtual std::optional<std::vector<std::string>> WmiProcessNames() = 0;  // Win32_Process Name
  virtual uint32_t CurrentId() = 0;
};

// ---------------------------------------------------------------- web

struct WebOptions {
  uint32_t connectTimeoutMs = 10000;
  uint32_t receiveTimeoutMs = 10000;
  uint32_t deadlineMs = 60000;  // whole request, so a dead server never hangs the window
  // The most body bytes taken: a longer answer is cut there and the request fails.
  size_t maxBytes = 16u << 20;
};

struct WebResult {
  bool ok = false;      // a complete answer arrived, whatever its status
  int status = 0;       // HTTP status when known
  std::string body;     // what arrived, even when not ok
};

class Web {
 public:
  virtual ~Web() = default;
  // GET with user agent "Mozilla", no cache, through the system's proxy settings (a direct
  // connection where none is set), read in 256-byte blocks; yield runs after every block and
  // may return false to abandon the request; it is given the body bytes received so far.
  virtual WebResult Get(const std::string& url, const WebOptions& options,
                        const std::function<bool(size_t received)>& yield) = 0;
};

// ---------------------------------------------------------------- odds and ends

class SystemRestore {
 public:
  virtual ~SystemRestore() = default;
  virtual bool Available() = 0;  // srclient.dll present with its entry point
  // Begins a restore point of the given type (SRSetRestorePointA, event 100); the sequence
  // number to end it with. The description is cut to the record's 64 characters.
  virtual std::optional<int64_t> Begin(const std::string& description, uint32_t restorePointType = 6) = 0;
  virtual bool End(int64_t sequence) = 0;
};

class Com {
 public:
  virtual ~Com() = default;
  // Loads the library and calls its "DllUnregisterServer"; true when it reported success.
  virtual bool Unregister(const std::string& dllPath) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  virtual bool Open(const std::string& fileOrAddress) = 0;  // the "open" verb
  virtual bool Start(const std::string& program, const std::string& arguments) = 0;  // "explorer", "notepad"
  virtual bool SetClipboardText(const std::string& text) = 0;
  virtual std::optional<std::string> ClipboardText() = 0;
};

class InstanceLock {
 public:
  virtual ~InstanceLock() = default;  // releases
};

class Locks {
 public:
  virtual ~Locks() = default;
  // The named lock, or null when another holder has it.
  virtual std::unique_ptr<InstanceLock> TryAcquire(const std::string& name) = 0;
};

class Signatures {
 public:
  virtual ~Signatures() = default;
  // RSASSA-PKCS1-v1_5 over SHA-256(data). The modulus and the signature are big-endian bytes,
  // as OpenSSL writes them. False for anything that does not verify, a malformed key included.
  virtual bool VerifyRsaSha256(const std::string& modulusBigEndian, uint32_t exponent,
                               const std::string& data, const std::string& signatureBigEndian) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() = 0;         // local time
  // Seconds since 1/1/1970 UTC: what times signed elsewhere are compared with, whatever the
  // time zone.
  virtual int64_t UnixSeconds() = 0;
  virtual uint64_t TickMs() = 0;      // monotonic milliseconds
};

// ---------------------------------------------------------------- notification area

// The shell's notify-icon record as first defined (NOTIFYICONDATAA, 88 bytes): which window
// owns the icon and which of its icons it is, the message the icon's mouse events come back
// as, the picture and the tip.
struct NotifyIcon {
  enum Flags : uint32_t { MESSAGE = 1, ICON = 2, TIP = 4 };
  static constexpr size_t kTipBytes = 64;  // with its terminating NUL

  const void* window = nullptr;  // the owner window's handle
  uint32_t id = 1;
  uint32_t flags = MESSAGE | ICON | TIP;
  uint32_t callbackMessage = 512;  // posted to the owner: wParam the id, lParam the mouse message
  const void* icon = nullptr;      // null: the owner window's own icon
  std::string tip;                 // what does not fit the 64 bytes is cut off
};

struct PixelSize {
  int width = 0;
  int height = 0;
};

class NotificationArea {
 public:
  virtual ~NotificationArea() = default;
  // The shell's NIM_ADD, NIM_MODIFY and NIM_DELETE: false when refused (an icon added twice,
  // changed or deleted when it is not there, no taskbar to take it).
  virtual bool Add(const NotifyIcon& icon) = 0;
  virtual bool Modify(const NotifyIcon& icon) = 0;
  virtual bool Delete(const void* window, uint32_t id) = 0;
  // The desktop window's client area, in pixels.
  virtual PixelSize DesktopClientSize() = 0;
  // The client height of the taskbar window (class "Shell_TrayWnd") in pixels; 0 without one.
  virtual int TaskbarClientHeight() = 0;
};

// Every service, passed by reference to whatever needs them. Owned by the caller.
struct Platform {
  Registry& registry;
  FileSystem& files;
  SystemInfo& system;
  Processes& processes;
  Web& web;
  SystemRestore& restore;
  Com& com;
  Shell& shell;
  Locks& locks;
  Clock& clock;
  Signatures& signatures;
  NotificationArea& notifyArea;
};

}  // namespace kx
