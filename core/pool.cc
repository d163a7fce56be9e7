#include "core/pool.h"

#include "core/db.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>

PoolSlot g_PoolSlots[kPoolSlotCount];
std::mutex g_PoolLock;
int32_t g_nPoolHint = 1;
SQLHENV g_hEnv = SQL_NULL_HENV;
std::atomic<int32_t> g_bPoolOpen{0};
std::atomic<int32_t> g_bStopping{0};

namespace {

// When every slot is taken the search waits this long in all for a holder to give one back (what
// three passes of 100 ms came to), and is woken as soon as one does.
constexpr uint32_t kSearchWaitMs = 300;
constexpr int kLoginTimeoutSeconds = 20;

// Makes the reply buffer of a slot read as empty: what its last holder wrote is zeroed.
void ClearReply(PoolSlot& slot) {
  size_t used = strnlen(slot.szReply, kReplyBytes);
  std::memset(slot.szReply, 0, used < kReplyBytes ? used + 1 : kReplyBytes);
}

// The searches that found every slot taken, oldest first. A release hands its slot straight to the
// oldest, so a search that waits is never overtaken by one that came later and none waits longer than
// it must. Guarded by g_PoolLock; the count lets a release without waiters skip the lock.
struct PoolWaiter {
  std::condition_variable handed;
  int slot = -1;
};
std::deque<PoolWaiter*> g_PoolWaiters;
std::atomic<int32_t> g_nPoolWaiters{0};

// Takes slot i when it is free. Called with g_PoolLock held.
bool TryTake(int i) {
  PoolSlot& slot = g_PoolSlots[i];
  if (slot.bFree.load(std::memory_order_seq_cst) == 0) return false;
  ClearReply(slot);
  slot.bFree.store(0, std::memory_order_relaxed);
  g_nPoolHint = i + 1;
  return true;
}

// Gives slot i, free now, to the oldest waiting search when there is one. Called with g_PoolLock held.
void HandToOldestWaiter(int i) {
  if (g_PoolWaiters.empty() || !TryTake(i)) return;
  PoolWaiter* w = g_PoolWaiters.front();
  g_PoolWaiters.pop_front();
  g_nPoolWaiters.fetch_sub(1, std::memory_order_seq_cst);
  w->slot = i;
  w->handed.notify_one();
}

}  // namespace

int AcquirePoolSlot() {
  if (g_bStopping.load(std::memory_order_relaxed) != 0) return -1;
  // A pool that never opened (a failed start-up) would make every caller wait for ever.
  if (g_bPoolOpen.load(std::memory_order_acquire) == 0) return -1;
  std::unique_lock<std::mutex> lock(g_PoolLock);
  // The waiter count goes up before the scan, and a release stores its flag before it looks at the
  // count, so either the scan sees the freed slot or the release finds this search in the queue.
  g_nPoolWaiters.fetch_add(1, std::memory_order_seq_cst);
  // The search starts at the slot after the last one handed out and wraps around.
  const int hint = g_nPoolHint;
  for (int i = hint; i < kPoolSlotCount; ++i) {
    if (TryTake(i)) {
      g_nPoolWaiters.fetch_sub(1, std::memory_order_seq_cst);
      return i;
    }
  }
  for (int i = 0; i < hint && i < kPoolSlotCount; ++i) {
    if (TryTake(i)) {
      g_nPoolWaiters.fetch_sub(1, std::memory_order_seq_cst);
      return i;
    }
  }
  // Every slot is taken: wait in turn for one to be handed over.
  PoolWaiter self;
  g_PoolWaiters.push_back(&self);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSearchWaitMs);
  while (self.slot < 0 && g_bStopping.load(std::memory_order_relaxed) == 0) {
    if (self.handed.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  if (self.slot >= 0) return self.slot;
  // Timed out or stopping: leave the queue (nothing was handed over, so this search is still in it).
  g_PoolWaiters.erase(std::find(g_PoolWaiters.begin(), g_PoolWaiters.end(), &self));
  g_nPoolWaiters.fetch_sub(1, std::memory_order_seq_cst);
  if (g_bStopping.load(std::memory_order_relaxed) == 0) {
    for (int i = 0; i < kPoolSlotCount; ++i) {
      if (TryTake(i)) return i;
    }
  }
  g_nPoolHint = 1;
  return -1;
}

void ReleasePoolSlot(int slot) {
  if (slot < 0 || slot >= kPoolSlotCount) return;
  g_PoolSlots[slot].bFree.store(1, std::memory_order_seq_cst);
  if (g_nPoolWaiters.load(std::memory_order_seq_cst) > 0) {
    std::lock_guard<std::mutex> lock(g_PoolLock);
    HandToOldestWaiter(slot);
  }
}

bool ConnectPool(const char* dsn, const char* user, const char* password, char* why, size_t whySize) {
  why[0] = '\0';
  const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
  for (int i = 0; i < kPoolSlotCount; ++i) {
    PoolSlot& slot = g_PoolSlots[i];
    slot.bFree.store(1, std::memory_order_relaxed);
    slot.tConnected = now;
    char reason[600] = "";
    slot.hDbc = DbConnect(dsn, user, password, kLoginTimeoutSeconds, reason, sizeof reason);
    if (slot.hDbc == SQL_NULL_HDBC) {
      std::snprintf(why, whySize, "connection %d to data source \"%s\" failed: %s", i, dsn, reason);
      return false;
    }
  }
  return true;
}

void OpenPool() { g_bPoolOpen.store(1, std::memory_order_release); }

void ClosePool() {
  g_bPoolOpen.store(0, std::memory_order_release);
  for (PoolSlot& slot : g_PoolSlots) {
    slot.bFree.store(0, std::memory_order_relaxed);
    DbDisconnect(slot.hDbc);
    slot.hDbc = SQL_NULL_HDBC;
  }
}

void PoolCounts(int* nFree, int* highestTaken) {
  int free = 0, highest = 0;
  for (int i = 0; i < kPoolSlotCount; ++i) {
    if (g_PoolSlots[i].bFree.load(std::memory_order_relaxed) != 0) {
      ++free;
    } else {
      highest = i;
    }
  }
  *nFree = free;
  *highestTaken = highest;
}
