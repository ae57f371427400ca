// A reproducible machine to scan: definition files of a realistic mix and size, with some
// hundreds of the files, folders, keys and values they name planted on the machine, a
// few of them hidden, signed by Microsoft, on the safe list or excluded, and malformed
// lines of every kind mixed in. Built through the platform services, so the same machine
// can be made on the fakes and on a real (Wine) system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/paths.h"
#include "definitions/codec.h"
#include "definitions/records.h"
#include "platform/services.h"
#include "must.h"
#include "scan/scan_state.h"

namespace kx::scanbench {

struct MachineSpec {
  long definitionLines = 100000;  // 70% file, 20% registry, 5% folder, 2.5% exe, 2.5% cookie
  int folders = 50;               // distinct folders the file lines name
  int plantedFiles = 300;
  int plantedFolders = 50;
  int plantedRegistry = 200;      // keys and values
  int decoysPerFolder = 20;       // files on the machine that no definition names
  std::string tag = "Bench";      // names of everything planted start with it
};

struct Machine {
  DefinitionCounts counts;
  long plantedFiles = 0, plantedFolders = 0, plantedRegistry = 0;
};

namespace detail {

inline std::string Num(const char* fmt, long n) {
  char b[64];
  std::snprintf(b, sizeof b, fmt, n);
  return b;
}

inline std::string Encode(const std::string& text) { return EncodeDefinitionLine(text); }

inline void MakeFolders(FileSystem& fs, const std::string& path) {
  for (size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
    (void)fs.CreateFolder(path.substr(0, at));  // a parent may be there already
    if (at == std::string::npos) break;
  }
  if (!fs.FolderExists(path)) throw std::runtime_error("folder " + path + " not made");
}

inline std::string Wide(const std::string& s) {
  std::string out;
  for (char c : s) out += std::string(1, c) + '\0';
  return out;
}

// A file whose version resource names the company (the wide layout of a PE resource).
inline std::string SignedBytes(const std::string& company) {
  std::string b = "MZ" + std::string(62, '\0');
  b += std::string("\x01\0", 2) + Wide("StringFileInfo") + std::string(2, '\0');
  b += std::string(8, '\x11') + Wide("040904b0") + std::string(4, '\0');
  b += std::string("\x40\0\x16\0\x01\0", 6) + Wide("CompanyName") + std::string(4, '\0');
  b += Wide(company) + std::string(2, '\0');
  b += std::string("\x30\0\x0a\0\x01\0", 6) + Wide("FileDescription") + std::string(2, '\0') + Wide("Tool") +
       std::string(4, '\0');
  return b;
}

}  // namespace detail

// Builds the machine; dataFolder must be the scan's data folder (created here).
inline Machine BuildScanMachine(FileSystem& fs, Registry& reg, SystemInfo& sys, const std::string& dataFolder,
                                const MachineSpec& spec) {
  using detail::Num;
  Machine m;
  PlaceholderCache expand(sys);
  auto expanded = [&](const std::string& folder) { return ExpandDefinitionPath(folder, expand); };
  detail::MakeFolders(fs, dataFolder);
  const std::string& T = spec.tag;

  // The folders the file lines spread over: shell folders and vendor folders below them.
  static const char* const kRoots[] = {"[progfil]", "[appdata]", "[comapp]", "[personl]", "[comprogfil]",
                                       "[drive]",   "[progfil]", "[appdata]", "[comapp]", "[progfil]"};
  std::vector<std::string> folders;
  folders.push_back("[system]");
  folders.push_back("[windir]");
  folders.push_back("[WINDIR]\\" + T + "Upper");
  for (int i = (int)folders.size(); i < spec.folders; ++i)
    folders.push_back(std::string(kRoots[i % 10]) + "\\" + T + Num("Vendor%02ld", i));
  for (const std::string& f : folders) {
    std::string real = expanded(f);
    detail::MakeFolders(fs, real);
    for (int d = 0; d < spec.decoysPerFolder; ++d) test_support::Must(fs.WriteFile(real + "\\" + T + Num("decoy%03ld.txt", d), "decoy"), "WriteFile");
  }

  const long n = spec.definitionLines;
  const long fileLines = n * 70 / 100, regLines = n * 20 / 100, dirLines = n * 5 / 100;
  const long exeLines = n * 25 / 1000, cookieLines = n - fileLines - regLines - dirLines - exeLines;
  std::vector<std::string> safety, exclusions;
  static const char* const kMalformed[] = {"", "no separators at all", "=|", "|||", "^^^=", "a=b|", "\x01\x02\xff",
                                           "|[system]|", "=", "x=y|[nosuch]|t|extra|fields"};

  // FileDefinition.dat
  std::string out;
  const long fileStride = fileLines / (spec.plantedFiles + 1);
  for (long i = 0; i < fileLines; ++i) {
    if (i % 211 == 7) {
      out += detail::Encode(kMalformed[(i / 211) % 10]) + "\r\n";
      continue;
    }
    const std::string& folder = folders[i % folders.size()];
    std::string name = T + Num("f%06ld.dll", i);
    std::string threat = T + Num("Threat%04ld", i % 2500);
    std::string line = name + "=" + threat + "|" + folder + "\\";
    if (i % 3) line += "|" + std::string(i % 2 ? "Adware" : "Spyware");
    out += detail::Encode(line) + "\r\n";
    if (fileStride > 0 && i % fileStride == 3 && m.plantedFiles < spec.plantedFiles) {
      std::string path = expanded(folder + "\\" + name);
      long k = m.plantedFiles++;
      // Upper case on disk: names compare without regard to case.
      if (k % 7 == 0) path = path.substr(0, path.rfind('\\') + 1) + UpperAnsi(name);
      test_support::Must(
          fs.WriteFile(path, k % 10 == 1 ? detail::SignedBytes(k % 20 == 1 ? " MICROSOFT corporation " : "Microsoft Corporation")
                                         : "MZ plain " + name),
          "WriteFile");
      if (k % 15 == 2) test_support::Must(fs.SetAttributes(path, FA_HIDDEN), "SetAttributes");
      if (k % 15 == 4) test_support::Must(fs.SetAttributes(path, FA_SYSTEM), "SetAttributes");
      if (k % 50 == 5) safety.push_back("SFILE|" + name + "|" + folder + "\\" + name + "|x");
      if (k % 50 == 6) exclusions.push_back(path);
      if (k % 50 == 8) exclusions.push_back(T + Num("Threat%04ld", i % 2500));  // a name excludes nothing here
    }
  }
  test_support::Must(fs.WriteFile(dataFolder + "\\FileDefinition.dat", out), "WriteFile");

  // DirectoryDefinition.dat
  out.clear();
  const long dirStride = dirLines / (spec.plantedFolders + 1);
  for (long i = 0; i < dirLines; ++i) {
    if (i % 97 == 11) {
      out += detail::Encode(kMalformed[(i / 97) % 10]) + "\r\n";
      continue;
    }
    std::string folder = std::string(i % 2 ? "[progfil]" : "[appdata]") + "\\" + T + Num("Dir%05ld", i);
    std::string line = T + Num("Label\t%05ld", i) + "=" + T + Num("DirThreat%03ld", i % 400) + "|" + folder;
    if (i % 4 == 0) line += "|Hijacker";
    out += detail::Encode(line) + "\r\n";
    if (dirStride > 0 && i % dirStride == 1 && m.plantedFolders < spec.plantedFolders) {
      std::string path = expanded(folder);
      long k = m.plantedFolders++;
      detail::MakeFolders(fs, path);
      if (k % 3 == 0) test_support::Must(fs.WriteFile(path + "\\inside.dat", "x"), "WriteFile");
      if (k % 10 == 2) safety.push_back("SDIR|d|" + folder + "|");
      if (k % 10 == 3) exclusions.push_back(path + "\\inside.dat");  // an exclusion inside the folder
    }
  }
  test_support::Must(fs.WriteFile(dataFolder + "\\DirectoryDefinition.dat", out), "WriteFile");

  // RegistryDefinition.dat
  out.clear();
  const long regStride = regLines / (spec.plantedRegistry + 1);
  for (long i = 0; i < regLines; ++i) {
    if (i % 151 == 13) {
      out += detail::Encode(kMalformed[(i / 151) % 10]) + "\r\n";
      continue;
    }
    int hive = i % 2 ? 1 : 2;
    std::string key = "Software\\" + T + Num("Vendor%04ld", i % 3000);
    bool isKey = i % 10 < 3;
    std::string value = isKey ? "" : Num("Val%05ld", i);
    std::string threat = i % 40 == 9 ? "" : T + Num("RegThreat%04ld", i % 1500);
    std::string line = std::to_string(hive) + "^" + key + "^" + value + "=" + threat;
    if (i % 5 == 0) line += "|Browser Hijacker";
    out += detail::Encode(line) + "\r\n";
    if (regStride > 0 && i % regStride == 2 && m.plantedRegistry < spec.plantedRegistry) {
      long k = m.plantedRegistry++;
      Hive h = hive == 1 ? Hive::CurrentUser : Hive::LocalMachine;
      test_support::Must(reg.CreateKey(h, key), "CreateKey");
      if (!isKey) {
        if (k % 9 == 4)
          test_support::Must(reg.SetValue(h, key, value, RegValue{REGT_BINARY, "\x01\x02"}), "SetValue");  // never a find
        else if (k % 2)
          test_support::Must(reg.SetValue(h, key, value, RegValue::Dword(uint32_t(k))), "SetValue");
        else
          test_support::Must(reg.SetValue(h, key, value, RegValue::String("planted")), "SetValue");
      }
      const char* hiveName = hive == 1 ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\";
      if (k % 25 == 6) exclusions.push_back(hiveName + key);
      if (k % 25 == 7 && isKey) safety.push_back("SREG|r|" + std::to_string(hive) + "^" + key + "|");
    }
  }
  test_support::Must(fs.WriteFile(dataFolder + "\\RegistryDefinition.dat", out), "WriteFile");

  out.clear();
  for (long i = 0; i < exeLines; ++i)
    out += detail::Encode(T + Num("p%05ld.exe", i) + "=" + T + "ExeThreat|[progfil]\\" + T + "Exe") + "\r\n";
  test_support::Must(fs.WriteFile(dataFolder + "\\ExeDefinition.dat", out), "WriteFile");
  out.clear();
  for (long i = 0; i < cookieLines; ++i) out += detail::Encode(Num("tracker%05ld.example", i)) + "\r\n";
  test_support::Must(fs.WriteFile(dataFolder + "\\BlockedCookies.dat", out), "WriteFile");

  out.clear();
  for (const std::string& s : safety) out += detail::Encode(s) + "\r\n";
  out += detail::Encode("sfile|lower case kinds add nothing|[system]|") + "\r\n";
  test_support::Must(fs.WriteFile(dataFolder + "\\Safety.dat", out), "WriteFile");
  out.clear();
  for (const std::string& e : exclusions) out += e + "\r\n";
  test_support::Must(fs.WriteFile(dataFolder + "\\ENoSignature.dat", out), "WriteFile");

  m.counts.file = fileLines + dirLines;
  m.counts.registry = regLines;
  m.counts.exe = exeLines;
  m.counts.cookie = cookieLines;
  m.counts.total = n;
  return m;
}

}  // namespace kx::scanbench
