// Who the program says it is: read once at start-up from its own version resource
// (BrandingFromVersionInfo); these defaults stand in when the resource cannot be read.
#pragma once

#include <string>

namespace kx {

struct Branding {
  std::string productName = "Kestrix";
  std::string companyName = "Kestrix Labs";
  std::string website = "http://www.kestrix.example";
  int productNumber = 21;  // the language server's folder for this program
  bool skinning = true;
  bool takeSplashIcon = true;
  std::string copyright = "Copyright (C) 2026 Kestrix Labs";  // LegalCopyright
};

}  // namespace kx
