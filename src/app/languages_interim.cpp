// Until the language engine lands: the messages start-up shows, in English, and no
// translation. Compiles to nothing once localization/messages.h exists.
#if !__has_include("localization/messages.h")

#include <cctype>

#include "localization/languages.h"

namespace kx {
namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

void ReplaceAll(std::string& s, const std::string& what, const std::string& with) {
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
    s.replace(at, what.size(), with);
}

}  // namespace

clsLanguages::clsLanguages(FileSystem& files, std::string programFolder, Branding branding)
    : files_(files), programFolder_(std::move(programFolder)), branding_(std::move(branding)) {}

void clsLanguages::setMessage(const std::string& strName, const std::string& strMessage) {
  for (Slot& s : slots_) {
    if (s.used) continue;
    s = {strName, strMessage, true};
    return;
  }
}

std::string clsLanguages::getMessages(const std::string& strName) const {
  for (const Slot& s : slots_) {
    if (!s.used) break;
    if (!SameNoCase(s.key, strName)) continue;
    std::string text = s.text;
    ReplaceAll(text, "[ProgramName]", branding_.productName);
    ReplaceAll(text, "[CompanyName]", branding_.companyName);
    ReplaceAll(text, "[Company]", branding_.companyName);
    ReplaceAll(text, "[Website]", branding_.website);
    return text;
  }
  return {};
}

void clsLanguages::LoadBuiltInMessages() {
  setMessage("MSG_THANK1", "Thank you for using [ProgramName]!");
  setMessage("MSG_THANK2",
             "Because this is the first time you have used [ProgramName] we recommend running Live "
             "Update now to download the most recent adware and spyware definitions.");
  setMessage("MSG_THANK3", "Would you like to run Live Update now?");
  setMessage("MSG_THANK4", "Update Now?");
  setMessage("MSG_WEBSITE", "Visit [Website]");
  setMessage("MSG_CAPTION", "[ProgramName] by [Company]");
  setMessage("MSG_CAPTION2", "Welcome to [ProgramName]");
}

void clsLanguages::ChangeLanguage(ui::Form&, const std::string& strLang) { currentLanguage_ = strLang; }
void clsLanguages::ChangeLanguageMDI(ui::Form&, const std::string& strLang) { currentLanguage_ = strLang; }
int clsLanguages::ListLanguages() { return 0; }
bool clsLanguages::LangFileExists(const std::string& asPath) { return files_.Attributes(asPath).has_value(); }
std::string clsLanguages::LangTrimPath(const std::string& asPath) { return asPath.substr(asPath.rfind('\\') + 1); }
void clsLanguages::makeLocalizationFile(const std::vector<ui::Form*>&) {}
void clsLanguages::LoadLanguage(const std::string& strLang) { currentLanguage_ = strLang; }
std::string clsLanguages::GetTranslation(const std::string&) const { return {}; }

}  // namespace kx

#endif
