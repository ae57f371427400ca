// The vendor server's requests: what each path answers.
#pragma once
#include "http_server.h"
#include "package.h"
#include "request.h"
#include "store.h"

#include <string>

namespace kxs {

// The language file path carries the program's product number.
inline constexpr int kProductNumber = 21;

struct Limits {
  size_t query = 8 * 1024;
  size_t data = 4 * 1024;
  size_t date = 64;
};

class Routes {
 public:
  Routes(DefinitionStore& definitions, SubmissionStore& submissions, PackageBuilder& packages,
         std::string languages_dir, std::string web_dir)
      : definitions_(definitions),
        submissions_(submissions),
        packages_(packages),
        languages_dir_(std::move(languages_dir)),
        web_dir_(std::move(web_dir)) {}

  HttpResponse Handle(const HttpRequest& req);

 private:
  HttpResponse DefinitionsPackage(const Query& q);
  HttpResponse Submission(const Query& q);
  HttpResponse LanguageFile();
  HttpResponse WebFile(const std::string& path);

  DefinitionStore& definitions_;
  SubmissionStore& submissions_;
  PackageBuilder& packages_;
  std::string languages_dir_;
  std::string web_dir_;
  Limits limits_;
};

}  // namespace kxs
