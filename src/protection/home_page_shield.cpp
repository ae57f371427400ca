#include "protection/home_page_shield.h"

#include "scan/scan_driver.h"

namespace kx {
namespace {
constexpr size_t kReadBuffer = 1024;  // characters, the terminating NUL included
constexpr const char* kStartPage = "Start Page";
}  // namespace

bool ReadRegistryText(Registry& registry, Hive root, const std::string& key, const std::string& valueName,
                      std::string& text) {
  text.clear();
  RegValue value;
  if (registry.QueryValue(root, key, valueName, value) != RegStatus::Ok) return false;
  if (value.type != REGT_SZ && value.type != REGT_EXPAND_SZ) return false;
  // A longer value does not fit the buffer: the system refuses to read it at all.
  if (value.data.size() > kReadBuffer) return false;
  std::string data = std::move(value.data);
  if (!data.empty() && data.back() == '\0') data.pop_back();
  text = std::move(data);
  return true;
}

std::string HomePageAlertText(const std::string& productName, const std::string& acceptedPage,
                              const std::string& currentPage) {
  return productName + " has detected that your Homepage has been changed." +
         "\r\n\r\nClick YES to keep your homepage as:\r\n" + acceptedPage +
         "\r\n\r\nClick No to change your homepage to:\r\n" + currentPage;
}

HomePageShield::HomePageShield(Registry& registry, std::string productName, ShieldHost& host,
                               FrmHomePageChangedAlert& alert, ShieldGate& gate)
    : registry_(registry), productName_(std::move(productName)), host_(host), alert_(alert), gate_(gate) {
  alert_.onYes = [this] { RestoreHomePage(); };
  alert_.onNo = [this] { AcceptHomePage(); };
}

bool HomePageShield::Option(const char* key, const char* def) {
  return SettingAsBoolean(host_.ReadSetting(kShieldSection, key, def));
}

void HomePageShield::Tick() {
  if (gate_.busy() || host_.ProgramEnding()) return;
  // Every third tick, that is every 15 seconds, the memory shield runs too.
  if (++ticks_ > 2) {
    ticks_ = 0;
    host_.MemoryShieldTick();
    if (host_.ProgramEnding()) return;
  }
  ShieldGate::Hold hold(gate_);
  host_.ApplyTimerSettings(false);
  ui::Control* timer = host_.CheckHomePageTimer();
  if (timer) timer->set_enabled(false);
  if (Option("optIEHomePageSheildOn", "True")) CheckHomePage();
  // Re-arms this timer when the shield is on; an ending program stays stopped.
  if (!host_.ProgramEnding()) host_.ApplyTimerSettings(true);
}

void HomePageShield::CheckHomePage() {
  ReadRegistryText(registry_, Hive::CurrentUser, kIeMainKey, kStartPage, currentPage_);
  acceptedPage_ = host_.ReadSetting(kShieldSection, "Homepage", "");
  if (acceptedPage_.empty()) {
    acceptedPage_ = currentPage_;
    host_.WriteSetting(kShieldSection, "Homepage", acceptedPage_);
  }
  if (acceptedPage_ == currentPage_) return;

  if (Option("optAlwaysnotifybeforerestoring", "True")) {
    alert_.Get("lblHomePageInfo").set_caption(HomePageAlertText(productName_, acceptedPage_, currentPage_));
    // Yes and No act from the window; closed any other way the change stays, and the
    // next tick finds it again.
    alert_.Show(true);
  } else if (Option("optRestoredefaultwithoutnotification", "False")) {
    RestoreHomePage();
  }
}

void HomePageShield::RestoreHomePage() {
  host_.WriteSetting(kShieldSection, "Homepage", acceptedPage_);
  const RegValue page = RegValue::String(acceptedPage_);
  RegResult written = registry_.SetValue(Hive::CurrentUser, kIeMainKey, kStartPage, page);
  // A user who never opened the browser has no key yet; a failed write leaves the
  // registry as it was, and the next tick finds the difference again.
  if (written == RegStatus::NotFound && registry_.CreateKey(Hive::CurrentUser, kIeMainKey) == RegStatus::Ok)
    (void)registry_.SetValue(Hive::CurrentUser, kIeMainKey, kStartPage, page);
}

void HomePageShield::AcceptHomePage() { host_.WriteSetting(kShieldSection, "Homepage", currentPage_); }

}  // namespace kx
