// Watches the Internet Explorer start page of the current user. The page the user accepted
// is kept in the settings; when the registry holds another one the shield asks whether to
// put it back, or puts it back silently, as the options say.
#pragma once

#include <string>

#include "platform/services.h"
#include "protection/frm_home_page_changed_alert.h"
#include "protection/shield_host.h"

namespace kx {

inline constexpr const char* kIeMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

// The value as text: a string value unchanged, without its terminating NUL. False with an
// empty text when the key or value is missing, the value is not a string or does not fit
// the 1024 characters the shield reads.
bool ReadRegistryText(Registry& registry, Hive root, const std::string& key, const std::string& valueName,
                      std::string& text);

// The alert's message for an accepted and a current page.
std::string HomePageAlertText(const std::string& productName, const std::string& acceptedPage,
                              const std::string& currentPage);

class HomePageShield {
 public:
  // The alert's buttons are the shield's from here on.
  HomePageShield(Registry& registry, std::string productName, ShieldHost& host, FrmHomePageChangedAlert& alert,
                 ShieldGate& gate);

  // tmrCheckHomePage.
  void Tick();
  // Puts the accepted page back as the start page.
  void RestoreHomePage();
  // Makes the current page the accepted one.
  void AcceptHomePage();

  // The two pages of the check last run.
  const std::string& currentPage() const { return currentPage_; }
  const std::string& acceptedPage() const { return acceptedPage_; }

 private:
  void CheckHomePage();
  bool Option(const char* key, const char* def);

  Registry& registry_;
  std::string productName_;
  ShieldHost& host_;
  FrmHomePageChangedAlert& alert_;
  ShieldGate& gate_;
  int ticks_ = 0;
  std::string currentPage_, acceptedPage_;
};

}  // namespace kx
