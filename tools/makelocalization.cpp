// Writes the English block of Localization.txt from the program's real windows, built
// without showing them, and the built-in message table: the same makeLocalizationFile the
// program has. Every other language block of an existing file is kept as it stands.
//
//   makelocalization <Localization.txt>           rewrite the English block in place
//   makelocalization --check <Localization.txt>   exit 1 when the English block is stale
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/windows/frm_splash.h"
#include "fakes/fake_platform.h"
#include "localization/languages.h"
#include "localization/localization_file.h"
#include "platform/forms/headless.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The English block exactly as the program writes it.
std::string WriteEnglish() {
  kx::fakes::FakePlatform fake;
  kx::Platform platform = fake.platform();
  kx::ui::HeadlessBackend ui;
  kx::App app(platform, ui, kx::AppInfo{});
  const std::string folder = fake.system.ProgramFolder();
  kx::clsLanguages engine(fake.files, folder, app.info().branding);
  engine.LoadBuiltInMessages();
  // The windows in the order the running program has them loaded: the main window and
  // the failure list at start-up, the language window on a first start, then the six
  // that writing the file loads, and the Restore window.
  std::vector<kx::ui::Form*> forms = {&app.splash(), &app.main(), &app.deleteFailed(), &app.language(),
                                      &app.download(), &app.homePageChangedAlert(), &app.menuPopUp(),
                                      &app.signatureUpdated(), &app.spywareFoundAlert(), &app.report(),
                                      &app.restoreWindow()};
  if (!engine.makeLocalizationFile(forms)) return {};
  return fake.files.ReadFile(engine.LocalizationPath()).value_or("");
}

// Every block of the file but the English one, byte for byte.
std::string OtherBlocks(const std::string& file) {
  std::string out;
  size_t pos = 0;
  while (true) {
    const size_t start = kx::FindNoCase(file, "<LANGUAGE_GROUP", pos);
    if (start == std::string::npos) break;
    size_t end = kx::FindNoCase(file, "</LANGUAGE_GROUP>", start);
    if (end == std::string::npos) break;
    end += 17;
    if (file.compare(end, 2, "\r\n") == 0) end += 2;
    const std::string block = file.substr(start, end - start);
    const auto names = kx::LanguageNames(kx::Utf8ToAnsi(block));
    if (names.size() != 1 || !kx::EqualsNoCase(names[0], "English")) out += block;
    pos = end;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string(argv[1]) == "--check";
  if (argc != 2 && !check) {
    std::cerr << "usage: makelocalization [--check] <Localization.txt>\n";
    return 2;
  }
  const std::string path = argv[argc - 1];
  const std::string english = WriteEnglish();
  const std::string closing = "</XML_DIZ_INFO>";
  const size_t at = english.rfind(closing);
  if (english.empty() || at == std::string::npos) {
    std::cerr << "makelocalization: the English block could not be written\n";
    return 1;
  }
  const std::string old = ReadAll(path);
  const std::string text = english.substr(0, at) + OtherBlocks(old) + english.substr(at);
  if (check) {
    if (text == old) return 0;
    std::cerr << path << ": the English block differs from the program's windows; run makelocalization\n";
    return 1;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "makelocalization: cannot write " << path << "\n";
    return 1;
  }
  std::cout << path << ": " << kx::LanguageNames(kx::Utf8ToAnsi(text)).size() << " languages\n";
  return 0;
}
