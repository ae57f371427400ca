// What the installer tests share: where Windows says things go, running the installer
// and uninstaller, reading what they left, and putting the prefix back as it was.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "wine_gui/exe_support.h"

namespace kx::install_test {

using exe_test::ReadString;
using exe_test::WaitFor;
using exe_test::WinePath;

inline constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrix";
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kMachineRoot = "SOFTWARE\\Kestrix Labs";
inline constexpr const char* kMachineProduct = "SOFTWARE\\Kestrix Labs\\Kestrix";
inline constexpr const char* kUserRoot = "Software\\Kestrix Labs";
inline constexpr const char* kUserProduct = "Software\\Kestrix Labs\\Kestrix";

inline std::string ShellFolder(int csidl) {
  char buf[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE)) return "";
  return buf;
}
inline std::string InstallDir() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Kestrix"; }
inline std::string SeedFolder() { return InstallDir() + "\\Definitions"; }
inline std::string DataFolder() { return ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA"; }
inline std::string MenuFolder() { return ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Kestrix"; }
inline std::string SetupExe() { return WinePath(KESTRIX_SETUP); }

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// flags: 0 for the view this 32-bit process sees, KEY_WOW64_64KEY for the native one.
inline bool KeyExists(HKEY hive, const std::string& path, REGSAM flags = 0) {
  HKEY key;
  if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ | flags, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}
inline bool ValueExists(HKEY hive, const std::string& path, const char* name) {
  return ReadString(hive, path.c_str(), name) != "<none>";
}
// A REG_DWORD value; nullopt when it is missing or of another type.
inline std::optional<DWORD> ReadDword(HKEY hive, const std::string& path, const char* name) {
  DWORD value = 0, size = sizeof value, type = 0;
  HKEY key;
  if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value;
}

// The bytes of every file below the folder.
inline unsigned long long TreeBytes(const std::string& folder) {
  unsigned long long total = 0;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      total += TreeBytes(folder + "\\" + name);
    else
      total += (static_cast<unsigned long long>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return total;
}

inline void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName;
      if (name != "." && name != "..") RemoveTree(path + "\\" + name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}

struct Started {
  PROCESS_INFORMATION pi{};
  bool ok = false;
  DWORD Wait(DWORD ms) {
    if (!ok || WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
  ~Started() {
    if (!ok) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

inline void Start(Started& p, const std::string& exe, const std::string& args = "", const char* cwd = nullptr) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
  p.ok = CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd, &si, &p.pi);
}

// Processes started by the given one, by id (the help viewer the program opens, the copy of
// itself an NSIS uninstaller runs from the temporary folder).
inline std::vector<DWORD> ChildrenOf(DWORD parent) {
  std::vector<DWORD> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe))
    if (pe.th32ParentProcessID == parent && pe.th32ProcessID != parent) out.push_back(pe.th32ProcessID);
  CloseHandle(snap);
  return out;
}

inline void WaitForProcess(DWORD pid, DWORD ms) {
  if (HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
    WaitForSingleObject(h, ms);
    CloseHandle(h);
  }
}

// Runs the uninstaller and waits for the copy of itself that does the work; the exit code of
// the process that ended it.
inline DWORD RunUninstaller(const std::string& args) {
  Started u;
  Start(u, InstallDir() + "\\Uninstall.exe", args);
  if (!u.ok) {
    ADD_FAILURE() << "no uninstaller in " << InstallDir();
    return ERROR_FILE_NOT_FOUND;
  }
  const DWORD pid = u.pi.dwProcessId;
  DWORD code = u.Wait(60000);
  if (code != 0) return code;
  for (DWORD child : ChildrenOf(pid))
    if (HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, child)) {
      if (WaitForSingleObject(h, 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(h, &code)) code = STILL_ACTIVE;
      CloseHandle(h);
    }
  return code;
}

// The setup's exit code.
inline DWORD RunSetup(const std::string& args) {
  Started setup;
  Start(setup, SetupExe(), args);
  if (!setup.ok) {
    ADD_FAILURE() << SetupExe();
    return ERROR_FILE_NOT_FOUND;
  }
  return setup.Wait(120000);
}

inline void SilentInstall() {
  ASSERT_EQ(RunSetup("/S"), 0u) << "silent setup failed";
  ASSERT_TRUE(Exists(InstallDir() + "\\Kestrix.exe"));
}

// Everything an install, the program or a test can leave, gone.
inline void Clean() {
  RemoveTree(InstallDir());
  RemoveTree(DataFolder());
  RemoveTree(MenuFolder());
  RegDeleteTreeA(HKEY_CURRENT_USER, kUserRoot);
  RegDeleteKeyA(HKEY_CURRENT_USER, kUserRoot);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kMachineRoot);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMachineRoot);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "Kestrix");
}

// The lines of a text file, each without its end (CR LF, CR or LF).
inline std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

inline std::string SourceDefinitions(const std::string& name) {
  return ReadAll(WinePath(KESTRIX_SOURCE_DIR "/packaging/definitions/" + name + ".txt"));
}

}  // namespace kx::install_test
