// The connection pool's search order, exhaustion and reply-buffer hygiene, on slots without real
// connections.

#include "core/pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (PoolSlot& slot : g_PoolSlots) slot.bFree.store(1);
    g_nPoolHint = 1;
    g_bStopping.store(0);
    OpenPool();
  }
  void TearDown() override {
    g_bPoolOpen.store(0);
    g_bStopping.store(0);
  }
  static void TakeAll() {
    for (PoolSlot& slot : g_PoolSlots) slot.bFree.store(0);
  }
};

TEST_F(PoolTest, FirstSlotAfterLoadIsOneAndTheSearchMovesOn) {
  EXPECT_EQ(AcquirePoolSlot(), 1);
  EXPECT_EQ(AcquirePoolSlot(), 2);
  ReleasePoolSlot(1);
  // The search starts after the slot last handed out, not at the freed one.
  EXPECT_EQ(AcquirePoolSlot(), 3);
}

TEST_F(PoolTest, WrapsAroundToTheSlotsBeforeTheHint) {
  TakeAll();
  g_PoolSlots[0].bFree.store(1);
  g_nPoolHint = kPoolSlotCount;  // forward scan is empty
  EXPECT_EQ(AcquirePoolSlot(), 0);
  EXPECT_EQ(g_nPoolHint, 1);
}

TEST_F(PoolTest, AllTakenGivesMinusOneAfterThreePassesAndResetsTheHint) {
  TakeAll();
  g_nPoolHint = 17;
  uint32_t start = tw::GetTickCount();
  EXPECT_EQ(AcquirePoolSlot(), -1);
  uint32_t waited = tw::GetTickCount() - start;
  EXPECT_GE(waited, 250u);  // three passes of 100 ms
  EXPECT_EQ(g_nPoolHint, 1);
}

TEST_F(PoolTest, ASlotFreedDuringTheSearchIsFound) {
  TakeAll();
  std::thread releaser([] {
    tw::Sleep(150);
    ReleasePoolSlot(33);
  });
  EXPECT_EQ(AcquirePoolSlot(), 33);
  releaser.join();
}

TEST_F(PoolTest, AReleasedSlotGoesToTheSearchThatWaitedNotToALaterOne) {
  TakeAll();
  std::strcpy(g_PoolSlots[7].szReply, "{\"ReturnValue\":1}");
  std::atomic<int> waited{-2};
  std::thread a([&] { waited = AcquirePoolSlot(); });
  tw::Sleep(40);
  // A search that comes right after the release does not take the slot from the one that waited:
  // it waits in turn for the next release.
  ReleasePoolSlot(7);
  std::thread later([] {
    tw::Sleep(60);
    ReleasePoolSlot(12);
  });
  const int mine = AcquirePoolSlot();
  a.join();
  later.join();
  EXPECT_EQ(waited.load(), 7);
  EXPECT_EQ(mine, 12);
  EXPECT_EQ(g_PoolSlots[7].szReply[0], '\0');
}

TEST_F(PoolTest, EveryHandOutReadsAsEmpty) {
  // Forward scan and wrap-around scan alike: the previous holder's reply never shows.
  int a = AcquirePoolSlot();
  ASSERT_GE(a, 0);
  std::strcpy(g_PoolSlots[a].szReply, "{\"ReturnValue\":1,\"cSecret\":\"x\"}");
  ReleasePoolSlot(a);
  TakeAll();
  ReleasePoolSlot(a);
  g_nPoolHint = kPoolSlotCount;
  EXPECT_EQ(AcquirePoolSlot(), a);
  EXPECT_EQ(g_PoolSlots[a].szReply[0], '\0');
  EXPECT_EQ(std::strlen(g_PoolSlots[a].szReply + 1), 0u);
}

TEST_F(PoolTest, StoppingOrANeverOpenedPoolRefusesAtOnce) {
  g_bStopping.store(1);
  EXPECT_EQ(AcquirePoolSlot(), -1);
  g_bStopping.store(0);
  g_bPoolOpen.store(0);
  uint32_t start = tw::GetTickCount();
  EXPECT_EQ(AcquirePoolSlot(), -1);
  EXPECT_LT(tw::GetTickCount() - start, 50u);
}

TEST_F(PoolTest, GuardGivesTheSlotBackOnEveryPath) {
  int held;
  {
    PoolSlotGuard guard;
    ASSERT_TRUE(guard.ok());
    held = guard.index();
    EXPECT_EQ(g_PoolSlots[held].bFree.load(), 0);
  }
  EXPECT_EQ(g_PoolSlots[held].bFree.load(), 1);
  int nFree = 0, highest = 0;
  PoolCounts(&nFree, &highest);
  EXPECT_EQ(nFree, kPoolSlotCount);
  EXPECT_EQ(highest, 0);
}

}  // namespace
