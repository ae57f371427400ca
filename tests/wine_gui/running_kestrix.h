// Kestrix.exe started on the prepared prefix and driven through its windows, as the
// end-to-end tests do: its lists read back, its buttons pressed, screenshots kept.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "exe_support.h"

namespace kx::exe_test {

using Rows = std::vector<std::string>;

inline std::string ClassOf(HWND h) {
  char buf[64] = {};
  GetClassNameA(h, buf, sizeof(buf));
  return buf;
}


inline std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

inline HWND Button(HWND main, const std::string& caption) {
  for (HWND h : Children(main))
    if (IsWindowVisible(h) && Text(h) == caption && ClassOf(h) == "Button") return h;
  return nullptr;
}



// The rows of another process's list view, as "text|sub1|...": the item texts are read
// through a buffer in that process.
inline Rows ReadListView(HANDLE process, HWND lv) {
  Rows rows;
  if (!SameBitness(process)) {
    ADD_FAILURE() << "Kestrix.exe and the tests differ in bitness: LVITEMA would not match";
    return rows;
  }
  int count = int(SendMessageA(lv, LVM_GETITEMCOUNT, 0, 0));
  HWND header = reinterpret_cast<HWND>(SendMessageA(lv, LVM_GETHEADER, 0, 0));
  int columns = header ? std::max(1, int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0))) : 1;
  const SIZE_T textSize = 1024;
  char* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + textSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) return rows;
  for (int i = 0; i < count; ++i) {
    std::string row;
    for (int c = 0; c < columns; ++c) {
      LVITEMA item{};
      item.iSubItem = c;
      item.pszText = remote + sizeof(LVITEMA);
      item.cchTextMax = int(textSize);
      WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      SendMessageA(lv, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote));
      char text[1024] = {};
      ReadProcessMemory(process, remote + sizeof(LVITEMA), text, textSize - 1, nullptr);
      if (c) row += "|";
      row += text;
    }
    while (row.size() && row.back() == '|') row.pop_back();
    rows.push_back(row);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return rows;
}


inline void PutFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::string ShellFolder(int csidl) {
  char buf[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE);
  return buf;
}

// A saved 24-bit screenshot's rows, bottom up, each padded to 4 bytes; no pixels when it
// cannot be read or holds another format.
struct Bmp24 {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
};
inline Bmp24 ReadBmp24(const std::string& path) {
  Bmp24 out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER bi{};
  if (std::fread(&fh, sizeof fh, 1, f) == 1 && std::fread(&bi, sizeof bi, 1, f) == 1 && bi.biBitCount == 24) {
    out.width = bi.biWidth;
    out.height = bi.biHeight;
    out.pixels.resize(fh.bfSize > fh.bfOffBits ? fh.bfSize - fh.bfOffBits : 0);
    std::fseek(f, static_cast<long>(fh.bfOffBits), SEEK_SET);
    out.pixels.resize(std::fread(out.pixels.data(), 1, out.pixels.size(), f));
  }
  std::fclose(f);
  return out;
}

// How many colours a saved 24-bit screenshot holds (0 when it cannot be read): a window
// that drew its controls has text, faces and edges, a blank capture one or two.
inline size_t DistinctColours(const std::string& path) {
  const std::vector<unsigned char> pixels = ReadBmp24(path).pixels;
  std::vector<uint32_t> colours;
  for (size_t i = 0; i + 2 < pixels.size(); i += 3)
    colours.push_back(pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16);
  std::sort(colours.begin(), colours.end());
  return static_cast<size_t>(std::unique(colours.begin(), colours.end()) - colours.begin());
}

// Kestrix.exe started on the prefix as it is, driven through its window.
struct RunningKestrix {
  PROCESS_INFORMATION pi{};
  HWND main = nullptr;

  void Start() {
    std::string exe = WinePath(KESTRIX_EXE);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    ASSERT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_TRUE(WaitFor([&] {
      struct Ctx {
        DWORD pid;
        HWND found;
      } ctx{pi.dwProcessId, nullptr};
      EnumWindows(
          [](HWND h, LPARAM p) CALLBACK -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == c->pid && IsWindowVisible(h) && Text(h).find(" by ") != std::string::npos) c->found = h;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&ctx));
      return (main = ctx.found) != nullptr;
    }));
  }

  // Scan Now, Start, wait for the end, then the Results panel.
  void QuickScan() {
    HWND scanNow = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (scanNow = Button(main, "Scan Now")) != nullptr; }, 10000));
    SendMessageA(scanNow, BM_CLICK, 0, 0);
    HWND start = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (start = Button(main, "Start")) != nullptr; }, 10000));
    PostMessageA(start, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] {
      return ReadString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "lblLastScan") != "Never";
    })) << "the scan never recorded its time";
    EXPECT_TRUE(WaitFor([&] {
      for (HWND h : Children(main))
        if (Text(h) == "Scanning complete.") return true;
      return false;
    }, 10000)) << "no \"Scanning complete.\" status";
    HWND results = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (results = Button(main, "Results/Removal")) != nullptr; }, 10000));
    SendMessageA(results, BM_CLICK, 0, 0);
    Sleep(500);
  }

  // A visible top-level window of the program, other than the main one, that has a button
  // of that caption; null when there is none.
  HWND WindowWithButton(const std::string& caption) {
    struct Ctx {
      DWORD pid;
      HWND main, found;
      const std::string* caption;
    } ctx{pi.dwProcessId, main, nullptr, &caption};
    EnumWindows(
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
          auto* c = reinterpret_cast<Ctx*>(p);
          DWORD pid = 0;
          GetWindowThreadProcessId(h, &pid);
          if (pid == c->pid && h != c->main && IsWindowVisible(h) && Button(h, *c->caption)) c->found = h;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
  }

  // Every list view of the main window, in window order.
  std::vector<Rows> Lists() {
    std::vector<Rows> lists;
    for (HWND h : Children(main))
      if (ClassOf(h) == "SysListView32") lists.push_back(ReadListView(pi.hProcess, h));
    return lists;
  }

  // Kept with the artefacts; the capture must show a drawn window.
  void Screenshot(const std::string& name, HWND window = nullptr) {
    if (const char* artifacts = std::getenv("KESTRIX_ARTIFACTS"); artifacts && *artifacts) {
      std::string dir = WinePath(artifacts);
      CreateDirectoryA(dir.c_str(), nullptr);
      const std::string path = dir + "\\" + name;
      EXPECT_TRUE(Capture(window ? window : main, path));
      EXPECT_GE(DistinctColours(path), 3u) << path << " shows a blank window";
    }
  }

  ~RunningKestrix() {
    if (!pi.hProcess) return;
    if (main) PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

inline std::string Dump(const std::vector<Rows>& lists) {
  std::string dump;  // what the window's lists hold, for a failure message
  for (const Rows& l : lists) {
    dump += "--\n";
    for (const std::string& r : l) dump += r + "\n";
  }
  return dump;
}

inline void CommonSettings() {
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "Language", "English");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "showHelp", "0");
  WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime", "Yes");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "lblLastScan", "Never");
}

}  // namespace kx::exe_test
