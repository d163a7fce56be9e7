// The gate of a carrier account against the fake carrier server on loopback: the limit on calls in
// flight refuses the call over it as busy without reaching the carrier, and the breaker opens after
// consecutive failed calls, refuses at once while open, and lets one trial call decide.

#include "carriers/carrier_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "carriers/http_client.h"
#include "core/pool.h"
#include "tests/support/fake_carrier.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::NowMs;

struct Call {
  std::vector<char> work = std::vector<char>(16384);
  HttpRequest r;
  Call(uint16_t port, const char* path, int32_t recvTimeoutMs = 2000) {
    r.host = "127.0.0.1";
    r.port = port;
    r.path = path;
    r.work = r.headerBuffer = work.data();
    r.workSize = static_cast<int32_t>(work.size());
    r.connectTimeoutS = 2;
    r.recvTimeoutMs = recvTimeoutMs;
    r.sendTimeoutMs = 2000;
  }
};

class CarrierGateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.Script("GET", "/ok", {FakeReply::Ok("fine", "text/plain")});  // "/no" has no script: a 404
    FakeReply stall = FakeReply::Ok("late", "text/plain");
    stall.delayMs = 60000;
    server.Script("GET", "/stall", {stall});
  }
  FakeCarrierServer server;
};

TEST_F(CarrierGateTest, ACallOverTheLimitIsBusyWithoutReachingTheCarrier) {
  CCarrierGate gate;
  gate.Configure("test", 2, 0);  // the stalls below open the breaker; with no pause the next call is its trial
  std::vector<std::thread> stalled;
  std::vector<int> results(2);
  for (int i = 0; i < 2; ++i) {
    stalled.emplace_back([&, i] {
      Call call(server.port(), "/stall", 1500);
      results[static_cast<size_t>(i)] = gate.Execute(call.r);
    });
  }
  ASSERT_TRUE(server.WaitForRequests(2, 5000));
  EXPECT_EQ(gate.InFlight(), 2);
  Call over(server.port(), "/ok");
  const int64_t t0 = NowMs();
  EXPECT_EQ(gate.Execute(over.r), kCarrierBusy);
  EXPECT_LT(NowMs() - t0, 1000);  // it waited briefly, not for a stalled call
  EXPECT_EQ(server.RequestCount(), 2u);
  for (std::thread& t : stalled) t.join();
  for (int r : results) EXPECT_EQ(r, kHttpRefused);  // the receive time-out, as without a gate
  EXPECT_EQ(gate.InFlight(), 0);
  Call after(server.port(), "/ok");
  EXPECT_EQ(gate.Execute(after.r), 4);  // places are given back, the trial closes the breaker
  EXPECT_STREQ(gate.State(), "closed");
}

TEST_F(CarrierGateTest, TheBreakerOpensAfterConsecutiveFailuresAndOneTrialDecides) {
  constexpr int kOpenMs = 300;
  // A step: the path called ("-" waits out the open time first) and what the call answers: 'y' the
  // carrier's reply, 'f' a failed call that reached the carrier, 'n' not tried (the carrier not
  // reached).
  struct Step {
    const char* path;
    char expected;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"three refusals open it, a good trial closes it",
       {{"/no", 'f'}, {"/no", 'f'}, {"/no", 'f'}, {"/ok", 'n'}, {"-/ok", 'y'}, {"/no", 'f'}, {"/ok", 'y'}}},
      {"a failed trial opens it again",
       {{"/no", 'f'}, {"/no", 'f'}, {"/no", 'f'}, {"-/no", 'f'}, {"/ok", 'n'}, {"-/ok", 'y'}}},
      {"an answer between failures starts the count again",
       {{"/no", 'f'}, {"/no", 'f'}, {"/ok", 'y'}, {"/no", 'f'}, {"/no", 'f'}, {"/ok", 'y'}, {"/no", 'f'},
        {"/no", 'f'}, {"/no", 'f'}, {"/ok", 'n'}}},
      {"one call that waits out its receive time-out opens it at once", {{"/stall", 'f'}, {"/ok", 'n'}}},
      {"after a stall, a good trial closes it", {{"/stall", 'f'}, {"-/ok", 'y'}, {"/ok", 'y'}}},
  };
  for (const Case& c : cases) {
    CCarrierGate gate;
    gate.Configure("test", 8, kOpenMs);
    int index = 0;
    for (const Step& s : c.steps) {
      ++index;
      std::string path = s.path;
      if (path[0] == '-') {
        std::this_thread::sleep_for(std::chrono::milliseconds(kOpenMs + 50));
        path.erase(0, 1);
      }
      Call call(server.port(), path.c_str(), 300);
      EXPECT_EQ(gate.Open(), s.expected == 'n') << c.what << ", before step " << index;
      const size_t before = server.RequestCount();
      const int n = gate.Execute(call.r);
      const char got = n >= 0 ? 'y' : n == kCarrierNotTried ? 'n' : IsCarrierFailure(n) ? 'f' : '?';
      EXPECT_EQ(got, s.expected) << c.what << ", step " << index << " (" << n << ")";
      EXPECT_EQ(server.RequestCount() > before, s.expected != 'n') << c.what << ", step " << index;
    }
  }
}

TEST_F(CarrierGateTest, ACallCutByTheStopIsNoFailure) {
  CCarrierGate gate;
  gate.Configure("test", 8, 60000);
  for (int i = 0; i < 3; ++i) {
    std::thread stopper([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      g_bStopping.store(1);
    });
    Call call(server.port(), "/stall", 30000);
    EXPECT_EQ(gate.Execute(call.r), kHttpStopped);
    stopper.join();
    g_bStopping.store(0);
  }
  EXPECT_FALSE(gate.Open());
  Call call(server.port(), "/ok");
  EXPECT_EQ(gate.Execute(call.r), 4);
}

}  // namespace
