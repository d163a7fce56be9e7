#include "platform/event.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

// Lock(0) only tests the event: an auto-reset event is taken once per signal, a manual-reset one
// stays open until it is reset.
TEST(EventTest, ATestTakesWhatIsSignalledAndNothingElse) {
  struct Case {
    bool manualReset;
    bool secondTest;  // what a second Lock(0) after one signal gives
  };
  for (const Case c : {Case{false, false}, Case{true, true}}) {
    CEvent event(false, c.manualReset);
    EXPECT_FALSE(event.Lock(0)) << c.manualReset;
    EXPECT_FALSE(event.Lock(0)) << c.manualReset;
    event.SetEvent();
    EXPECT_TRUE(event.Lock(0)) << c.manualReset;
    EXPECT_EQ(event.Lock(0), c.secondTest) << c.manualReset;
    event.ResetEvent();
    EXPECT_FALSE(event.Lock(0)) << c.manualReset;
  }
}

// A wait with a time-out is let through by a signal from another thread; without one it fails once
// the time is up, and the event is still closed.
TEST(EventTest, AWaitEndsWithTheSignalOrTheTimeOut) {
  CEvent lock(true, false);
  ASSERT_TRUE(lock.Lock(0));
  std::atomic<bool> taken{false};
  std::thread waiter([&] { taken = lock.Lock(5000); });
  usleep(50 * 1000);
  EXPECT_FALSE(taken.load());
  lock.SetEvent();
  waiter.join();
  EXPECT_TRUE(taken.load());

  const uint32_t start = tw::GetTickCount();
  EXPECT_FALSE(lock.Lock(100));
  EXPECT_GE(tw::GetTickCount() - start, 90u);
  EXPECT_FALSE(lock.Lock(0));
}

}  // namespace
