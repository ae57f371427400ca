#include "admin.h"

#include "http_server.h"

#include <exception>

int main(int argc, char** argv) {
  try {
    kxs::Admin admin;
    return admin.Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    kxs::LogLine(std::string("error: ") + e.what());
    return 1;
  }
}
