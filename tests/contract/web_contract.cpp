#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace kx::contract {
namespace {

WebOptions Quick() {
  WebOptions o;
  o.connectTimeoutMs = 1500;
  o.receiveTimeoutMs = 1500;
  o.deadlineMs = 2500;
  return o;
}

std::string Body(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('a' + i % 26));
  return s;
}

TEST(WebContract, TheBodyArrivesWithAYieldPerBlock) {
  auto env = MakeEnv();
  std::string body = Body(1000);  // four blocks of at most 256 bytes
  std::string url = env->ServeBody(body);
  int yields = 0;
  WebResult r = env->web().Get(url, Quick(), [&](size_t) { return ++yields, true; });
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, body);
  EXPECT_GE(yields, 4);
  EXPECT_LE(yields, 1000);

  WebResult empty = env->web().Get(env->ServeBody(""), Quick(), [](size_t) { return true; });
  EXPECT_TRUE(empty.ok);
  EXPECT_EQ(empty.body, "");
}

TEST(WebContract, StatusOfAnErrorPageIsReported) {
  auto env = MakeEnv();
  WebResult r = env->web().Get(env->ServeBody("Not Found", 404), Quick(), [](size_t) { return true; });
  EXPECT_EQ(r.status, 404);
}

TEST(WebContract, AYieldReturningFalseAbandonsTheRequest) {
  auto env = MakeEnv();
  std::string body = Body(4096);
  int yields = 0;
  WebResult r = env->web().Get(env->ServeBody(body), Quick(), [&](size_t) { return ++yields < 2; });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(yields, 2);
  EXPECT_FALSE(r.body.empty());
  EXPECT_LT(r.body.size(), body.size());
  EXPECT_EQ(body.compare(0, r.body.size(), r.body), 0);
}

TEST(WebContract, AnAnswerLongerThanTheCapFailsAtTheCap) {
  auto env = MakeEnv();
  std::string body = Body(3000);
  WebOptions capped = Quick();
  capped.maxBytes = 1000;
  WebResult r = env->web().Get(env->ServeBody(body), capped, [](size_t) { return true; });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.body, body.substr(0, 1000));
  capped.maxBytes = 3000;  // exactly the cap is still whole
  WebResult whole = env->web().Get(env->ServeBody(body), capped, [](size_t) { return true; });
  EXPECT_TRUE(whole.ok);
  EXPECT_EQ(whole.body, body);
}

TEST(WebContract, SilentAndRefusedServersFailWithoutHanging) {
  auto env = MakeEnv();
  int yields = 0;
  WebResult silent = env->web().Get(env->SilentUrl(), Quick(), [&](size_t) { return ++yields, true; });
  EXPECT_FALSE(silent.ok);
  EXPECT_EQ(silent.body, "");
  WebResult refused = env->web().Get(env->RefusedUrl(), Quick(), [&](size_t) { return ++yields, true; });
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.body, "");
  EXPECT_EQ(yields, 0);
}

}  // namespace
}  // namespace kx::contract
