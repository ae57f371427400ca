// The command line of kestrix-server: serving, and the administrator's changes.
#pragma once
#include <string>
#include <vector>

#include "store.h"

namespace kxs {

class Admin {
 public:
  // Runs one command; returns the process exit code.
  int Run(const std::vector<std::string>& args);

 private:
  int Serve();
  int SignerProcess();
  int Import(const std::string& dir);
  int Publish(const std::string& kind, const std::string& body);
  int Withdraw(const std::string& kind, const std::string& name);
  int List();
  int GenKey(const std::string& file);
  int Language(const std::string& file);
  bool ChangeTime(DefinitionStore& store, long long& at);
  int Migrate();
  int Copy();

  std::vector<std::string> positional_;
  std::string db_ = "kestrix.db";
  std::string key_ = "build/keys/signing-key.pem";
  std::string signer_ = "kestrix-signer.sock";
  bool key_given_ = false, languages_given_ = false;
  std::string languages_, web_, bind_ = "127.0.0.1", at_;
  std::string submissions_;
  std::vector<std::string> trusted_proxies_;
  std::string from_, to_;
  unsigned long long submissions_max_mb_ = 256;
  double submission_rate_ = 1;
  int max_connections_ = 0, max_per_address_ = 256;
  int port_ = 8080, threads_ = 4;
  bool verbose_ = false;
};

}  // namespace kxs
