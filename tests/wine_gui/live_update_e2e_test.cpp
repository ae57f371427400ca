// Live Update in the running program against the real vendor server on the loopback
// address. Driven by live_update_e2e.sh, which starts the servers and changes their
// definitions between the cases; run alone, the cases fail for want of a server.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "definitions/codec.h"
#include "running_kestrix.h"

namespace {

using namespace kx::exe_test;

const std::string kFiles[] = {"FileDefinition.dat", "ExeDefinition.dat", "RegistryDefinition.dat",
                              "BlockedCookies.dat", "DirectoryDefinition.dat", "Safety.dat", "date.dat"};

std::string ReadAll(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

// Decoded lines of a definition file (or of a plain sample file), as a set.
std::set<std::string> Lines(const std::string& text, bool encoded) {
  std::set<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty()) out.insert(encoded ? kx::DecodeDefinitionLine(line) : line);
    at = end + 2;
  }
  return out;
}

// The newest issued time of a signed current date the program took, "" for none.
std::string Confirmed() {
  return ReadString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "DateConfirmed");
}

struct LiveUpdateE2E : ::testing::Test {
  std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";

  void SetUp() override {
    const char* server = std::getenv("KESTRIX_E2E_SERVER");
    ASSERT_TRUE(server && *server) << "run through tests/wine_gui/live_update_e2e.sh, which starts the server";
    CommonSettings();
    const char* machine = "SOFTWARE\\Kestrix Labs\\Kestrix\\Servers";
    WriteString(HKEY_LOCAL_MACHINE, machine, "Definitions", server);
    WriteString(HKEY_LOCAL_MACHINE, machine, "TimeoutSeconds", "8");
    CreateDirectoryA(data.c_str(), nullptr);
  }
  std::string File(const std::string& name) { return ReadAll(data + "\\" + name); }
  std::string Sample(const std::string& name) { return ReadAll(WinePath(std::string(KESTRIX_SOURCE_DIR) + "/packaging/definitions/" + name)); }

  // Starts the program, presses Live Update and waits for the notice; its text.
  std::string RunLiveUpdate(RunningKestrix& k, const std::string& shot) {
    k.Start();
    HWND button = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (button = Button(k.main, "Live Update")) != nullptr; }, 10000));
    if (!button) return "";
    PostMessageA(button, BM_CLICK, 0, 0);
    HWND notice = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (notice = k.WindowWithButton("OK")) != nullptr; }, 60000)) << "no notice";
    if (!notice) return "";
    // It slides up from below the screen; wait until it stands still, wholly on screen.
    RECT was{}, now{};
    EXPECT_TRUE(WaitFor([&] {
      was = now;
      GetWindowRect(notice, &now);
      Sleep(200);
      return EqualRect(&was, &now) && now.bottom <= GetSystemMetrics(SM_CYSCREEN);
    }, 20000)) << "the notice never rose: top " << now.top;
    k.Screenshot(shot, notice);
    std::string text;
    for (HWND h : Children(notice)) text += Text(h) + "\n";
    return text;
  }
};

TEST_F(LiveUpdateE2E, AFirstUpdateFromTheDefaultDateBringsTheFullSet) {
  // Present but empty, so start-up does not ask for the missing files first.
  for (const std::string& f : kFiles) DeleteFileA((data + "\\" + f).c_str());
  for (int i = 0; i < 6; ++i) PutFile(data + "\\" + kFiles[i], "");
  RunningKestrix k;
  const std::string notice = RunLiveUpdate(k, "live_update_first.bmp");
  EXPECT_NE(notice.find("definitions have been updated"), std::string::npos) << notice;
  EXPECT_NE(File("date.dat"), "");
  // The signer's current date confirmed the definitions, issued just now by this clock.
  const std::string confirmed = Confirmed();
  ASSERT_FALSE(confirmed.empty());
  EXPECT_LE(std::llabs(std::stoll(confirmed) - static_cast<long long>(std::time(nullptr))), 600) << confirmed;
  for (const char* name : {"DirectoryDefinition", "BlockedCookies", "Safety"})
    EXPECT_EQ(Lines(File(std::string(name) + ".dat"), true), Lines(Sample(std::string(name) + ".txt"), false)) << name;
  // Every sample program and file is named again, each once.
  std::set<std::string> names;
  for (const std::string& l : Lines(File("FileDefinition.dat"), true)) names.insert(l.substr(0, l.find('=')));
  for (const std::string& l : Lines(Sample("FileDefinition.txt"), false))
    EXPECT_TRUE(names.count(l.substr(0, l.find('=')))) << l;
  EXPECT_EQ(Lines(File("ExeDefinition.dat"), true), Lines(Sample("ExeDefinition.txt"), false));
  EXPECT_EQ(Lines(File("RegistryDefinition.dat"), true).size(), Lines(Sample("RegistryDefinition.txt"), false).size());
}

TEST_F(LiveUpdateE2E, AWithdrawalPublishedLaterIsAppliedByTheNextUpdate) {
  const std::string before = File("date.dat");
  ASSERT_NE(Lines(File("DirectoryDefinition.dat"), true).size(), 0u) << "the first case ran first";
  RunningKestrix k;
  const std::string notice = RunLiveUpdate(k, "live_update_withdrawal.bmp");
  EXPECT_NE(notice.find("definitions have been updated"), std::string::npos) << notice;
  EXPECT_NE(File("date.dat"), before);
  for (const std::string& l : Lines(File("DirectoryDefinition.dat"), true)) EXPECT_NE(l.rfind("PopZilla=", 0), 0u) << l;
  EXPECT_EQ(Lines(File("DirectoryDefinition.dat"), true).size() + 1, Lines(Sample("DirectoryDefinition.txt"), false).size());
}

void Key(WORD vk) {
  INPUT in[2] = {};
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = vk;
    in[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(2, in, sizeof(INPUT));
  Sleep(200);
}

// A definition published since the last case: Live Update brings it, and File > Undo last
// definitions update puts back the set it replaced, byte for byte, with its date shown.
TEST_F(LiveUpdateE2E, UndoPutsBackTheSetTheLastUpdateReplaced) {
  std::vector<std::string> before;
  for (const std::string& f : kFiles) before.push_back(File(f));
  std::string oldDate = before.back().substr(0, before.back().find("\r\n"));
  ASSERT_FALSE(oldDate.empty()) << "the first case ran first";
  RunningKestrix k;
  const std::string notice = RunLiveUpdate(k, "live_update_before_undo.bmp");
  ASSERT_NE(notice.find("definitions have been updated"), std::string::npos) << notice;
  ASSERT_NE(File("BlockedCookies.dat"), before[3]) << "the published cookie site did not arrive";
  if (HWND ok = k.WindowWithButton("OK")) {
    PostMessageA(Button(ok, "OK"), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(ok); }, 10000)) << "the notice stays";
  }

  // File: Scan Now, Scan Results, View Log, Run Live Update, Minimize to Tray, Exit, Undo
  // (separators are passed over).
  ASSERT_TRUE(WaitFor([&] {
    SetForegroundWindow(k.main);
    return GetForegroundWindow() == k.main;
  }, 10000));
  Key(VK_F10);
  Key(VK_DOWN);
  for (int i = 0; i < 6; ++i) Key(VK_DOWN);
  Key(VK_RETURN);
  HWND ask = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (ask = k.WindowWithButton("&Yes")) != nullptr; }, 20000)) << "no question";
  PostMessageA(Button(ask, "&Yes"), BM_CLICK, 0, 0);
  HWND done = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (done = k.WindowWithButton("OK")) != nullptr; }, 20000)) << "no outcome";
  std::string said;
  for (HWND h : Children(done)) said += Text(h) + "\n";
  EXPECT_NE(said.find("dated " + oldDate), std::string::npos) << said;
  PostMessageA(Button(done, "OK"), BM_CLICK, 0, 0);

  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(File(kFiles[i]), before[i]) << kFiles[i];
  bool shown = false;
  for (HWND h : Children(k.main)) shown = shown || Text(h) == oldDate + " PST";
  EXPECT_TRUE(shown) << "the Status panel does not show " << oldDate;
  k.Screenshot("undo_definitions.bmp");
}

// The server in front is another key's, a hanging one, or one that sends a cut or replayed
// package: each is refused, the notice says so, and nothing on disk changes.
TEST_F(LiveUpdateE2E, ARefusedUpdateChangesNothing) {
  std::string before;
  for (const std::string& f : kFiles) before += f + ":" + File(f) + "\n";
  const std::string confirmed = Confirmed();
  RunningKestrix k;
  const std::string notice = RunLiveUpdate(k, std::string("live_update_refused_") + (std::getenv("KESTRIX_E2E_CASE") ? std::getenv("KESTRIX_E2E_CASE") : "case") + ".bmp");
  EXPECT_NE(notice.find("could not update its definitions"), std::string::npos) << notice;
  std::string after;
  for (const std::string& f : kFiles) after += f + ":" + File(f) + "\n";
  EXPECT_EQ(after, before);
  // Another key's current date is no confirmation, however new.
  const char* which = std::getenv("KESTRIX_E2E_CASE");
  if (which && std::string(which) == "other-key") EXPECT_EQ(Confirmed(), confirmed);
}

// A file name submitted from the Auto Update page reaches the server's store; the script
// checks the store afterwards.
TEST_F(LiveUpdateE2E, ASubmittedFileNameReachesTheServer) {
  WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Servers", "Data", std::getenv("KESTRIX_E2E_SERVER"));
  RunningKestrix k;
  k.Start();
  HWND submit = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND h : Children(k.main))
      if (Text(h) == "Submit" && ClassOf(h) == "Button") submit = h;
    return submit != nullptr;
  }, 10000));
  HWND edit = nullptr;
  for (HWND h : Children(GetParent(submit)))
    if (ClassOf(h) == "Edit") edit = h;
  ASSERT_TRUE(edit);
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("qmprobe.exe"));
  PostMessageA(submit, BM_CLICK, 0, 0);
  // The message table capitalises each message's first letter, "submitted" too.
  std::string texts;
  EXPECT_TRUE(WaitFor([&] {
    texts.clear();
    for (HWND h : Children(k.main)) texts += Text(h) + "\n";
    return texts.find("Results: qmprobe.exe Submitted.  Thank you!\n") != std::string::npos;
  }, 20000)) << texts;
}

}  // namespace
