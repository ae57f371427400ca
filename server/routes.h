// The vendor server's requests: what each path answers.
#pragma once
#include "http_server.h"
#include "package.h"
#include "request.h"
#include "store.h"

#include <string>

namespace kxs {

struct Limits {
  size_t query = 8 * 1024;
  size_t data = 4 * 1024;
  size_t date = 64;
};

class Routes {
 public:
  Routes(SubmissionStore& submissions, FrontCache& front, std::string web_dir)
      : submissions_(submissions), front_(front), web_dir_(std::move(web_dir)) {}

  HttpResponse Handle(const HttpRequest& req);
  // Submissions one address may make: `burst` at once, then `per_second`; beyond it 429.
  void SetSubmissionRate(double per_second, double burst) { submission_rate_.Set(per_second, burst); }

 private:
  HttpResponse DefinitionsPackage(const Query& q, const HttpRequest& req);
  HttpResponse ProxiedPackage(const std::string& path, const HttpRequest& req);
  HttpResponse Submission(const Query& q, const std::string& client);
  HttpResponse WebFile(const std::string& path);

  SubmissionStore& submissions_;
  FrontCache& front_;
  std::string web_dir_;
  Limits limits_;
  TokenBuckets submission_rate_{1, 20};
};

}  // namespace kxs
