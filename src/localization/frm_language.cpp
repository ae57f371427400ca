#include "localization/frm_language.h"

#include "core/text.h"
#include "localization/language_download.h"

namespace kx {
namespace {
constexpr int kPx = 15;  // twips per pixel at 96 DPI

using ui::Place;
}  // namespace

FrmLanguage::FrmLanguage(ui::Backend& backend, LanguageWindowHost& host) : Form("frmLanguage", backend), host_(host) {
  using ui::ControlType;
  set_caption("Language Selection");
  Move(0, 0, 374 * kPx, 236 * kPx);
  Place(Add(ControlType::Label, "Label1"),
        "Choose the language of the program's windows and messages, or fetch the newest translations.", 12, 10,
        340, 42);
  Place(Add(ControlType::ComboBox, "Combo1"), kChooseHere, 12, 58, 340, 22).onClick = [this] { Combo1_Click(); };
  Place(Add(ControlType::CommandButton, "Command1"), "Check for language updates", 12, 94, 340, 26).onClick = [this] {
    Command1_Click();
  };
  Place(Add(ControlType::CommandButton, "Command3"), "Translate this program", 12, 126, 340, 26).onClick = [this] {
    Command3_Click();
  };
  Place(Add(ControlType::CommandButton, "Command2"), "OK", 252, 164, 100, 26).onClick = [this] { Unload(); };
  set_default_button(Find("Command2"));
  set_cancel_button(Find("Command2"));
  onLoad = [this] { Form_Load(); };
}

std::string FrmLanguage::Message(const char* key) const {
  clsLanguages* languages = host_.Languages();
  return languages ? languages->getMessages(key) : std::string();
}

std::string FrmLanguage::LocalizationPath() {
  clsLanguages* languages = host_.Languages();
  return languages ? languages->LocalizationPath() : std::string();
}

void FrmLanguage::Form_Load() {
  int left = 0, top = 0, width = 0, height = 0;
  backend().WorkArea(left, top, width, height);
  Move(left + (width - this->width()) / 2, top + (height - this->height()) / 2, this->width(), this->height());
  clsLanguages* languages = host_.Languages();
  if (languages) languages->ChangeLanguage(*this, host_.StoredLanguage());
  // An empty title (a table without it) keeps the design caption.
  if (const std::string title = Message("MSG_TITLELANGUAGE"); !title.empty()) set_caption(title);
  if (languages) languages->ChangeLanguage(*this, host_.StoredLanguage());
  FillLanguageList();
}

void FrmLanguage::FillLanguageList() {
  filling_ = true;
  ui::Control& combo = Get("Combo1");
  combo.set_list({});
  combo.set_caption("");
  clsLanguages* languages = host_.Languages();
  // The file read may be the user's copy; without any file there are no names.
  if (languages && !languages->ReadablePath().empty()) {
    const std::vector<std::string> names = languages->LanguageNames();
    combo.set_list(names);
    const std::string stored = host_.StoredLanguage();
    int at = -1;
    for (size_t i = 0; i < names.size() && at < 0; ++i)
      if (EqualsNoCase(names[i], stored)) at = static_cast<int>(i);
    if (at >= 0) {
      combo.set_list_index(at);
    } else {
      combo.set_caption(stored);
    }
  }
  filling_ = false;
}

void FrmLanguage::Combo1_Click() {
  if (filling_) return;
  const std::string chosen = Get("Combo1").caption();
  if (chosen.empty() || chosen == kChooseHere) return;
  host_.StoreLanguage(chosen);
  host_.ApplyLanguage(chosen);
  // The title comes from the message table, which the switch has just translated.
  if (const std::string title = Message("MSG_TITLELANGUAGE"); !title.empty()) set_caption(title);
}

void FrmLanguage::Command1_Click() {
  if (downloading_) return;
  downloading_ = true;
  ui::Control& button = Get("Command1");
  button.set_enabled(false);
  const std::string answer = host_.FetchLocalizationFile(kMaxLocalizationBytes);
  // The window may have been closed while the answer came in.
  if (loaded()) button.set_enabled(true);
  downloading_ = false;

  std::string why;
  const std::optional<std::string> text = AcceptLocalizationDownload(answer, TrustedKeys(), host_.SignatureCheck(), &why);
  if (!text) {  // no answer, not a localization file, or not signed: the old one stays
    host_.LogLine("Language file not taken: " + why);
    return;
  }
  const std::string path = LocalizationPath();
  if (path.empty()) return;
  // A standard user may not write the program folder; the user's own copy, being newer,
  // is then the one read.
  clsLanguages* languages = host_.Languages();
  const std::string userPath = languages ? languages->UserLocalizationPath() : std::string();
  if (!ReplaceLocalizationFile(host_.Files(), path, *text) &&
      (userPath.empty() || !ReplaceLocalizationFile(host_.Files(), userPath, *text))) {
    const std::string folder = path.substr(0, path.rfind('\\'));
    backend().MsgBox(Message("MSG_LANGUAGE_NOT_SAVED") + "\r\n\r\n" + folder, ui::MB_OK_ONLY | ui::MB_ICON_EXCLAMATION,
                     caption());
    return;
  }
  if (loaded()) FillLanguageList();
  backend().MsgBox(Message("MSG_DOWNLOADED"), ui::MB_OK_ONLY, caption());
}

void FrmLanguage::Command3_Click() {
  clsLanguages* languages = host_.Languages();
  if (!languages) return;
  if (const std::string path = languages->MakeUserCopy(); !path.empty()) host_.OpenDocument(path);
}

}  // namespace kx
