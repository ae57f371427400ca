#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

TEST(WebContract, AnEndlessBodyEndsAtTheDeadlineOrTheCap) {
  struct Case {
    const char* what;
    uint32_t deadlineMs;
    size_t maxBytes;
    int firstYieldMs;  // a yield that blocks, as one with a modal box open does
  } cases[] = {
      {"deadline", 1500, size_t{1} << 30, 0},
      {"cap", 10000, 1000, 0},
      {"yield outlasting the deadline", 1000, size_t{1} << 30, 3000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto env = MakeEnv();
    WebOptions o = Quick();
    o.deadlineMs = c.deadlineMs;
    o.maxBytes = c.maxBytes;
    int yields = 0;
    size_t atFirstYield = 0;
    const auto start = std::chrono::steady_clock::now();
    WebResult r = env->web().Get(env->EndlessUrl(), o, [&](size_t received) {
      if (yields++ == 0) {
        atFirstYield = received;
        std::this_thread::sleep_for(std::chrono::milliseconds(c.firstYieldMs));
      }
      return true;
    });
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(r.ok);
    EXPECT_LT(took, std::chrono::seconds(20));
    EXPECT_EQ(r.body, Body(r.body.size()));  // nothing lost or repeated on the way
    if (c.maxBytes == 1000) EXPECT_EQ(r.body.size(), 1000u);
    if (c.firstYieldMs) {
      EXPECT_EQ(yields, 1);  // nothing more is taken once the deadline has gone by
      EXPECT_EQ(r.body.size(), atFirstYield);
    }
  }
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
