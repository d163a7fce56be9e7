#pragma once
// The connection pool: 50 database connections opened once at start-up, each with the working memory
// of the request that holds it (SQL text, reply and scratch buffers), so a handler allocates nothing
// of its own.
//
// A handler takes a slot with AcquirePoolSlot and gives it back by storing 1 in its free flag; a
// PoolSlotGuard does that on every path. The search for a free slot is serialised by g_PoolLock; the
// release takes no lock unless a search waits. Until all 50 connections are open the pool is closed and refuses at once. While a slot is taken its buffers belong to its holder alone.

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/event.h"

inline constexpr int kPoolSlotCount = 50;
inline constexpr size_t kSqlBytes = 16384;
inline constexpr size_t kReplyBytes = 2097152;
inline constexpr size_t kWorkBytes = 32768;

struct PoolSlot {
  std::atomic<int32_t> bFree{0};  // 1 = free, 0 = taken
  SQLHDBC hDbc = SQL_NULL_HDBC;   // connected at start-up; a lost connection is reopened in place
  uint32_t tConnected = 0;        // when the connection was opened (seconds since 1970)
  char szSql[kSqlBytes];
  char szReply[kReplyBytes];
  char szWork[kWorkBytes];
};

extern PoolSlot g_PoolSlots[kPoolSlotCount];
// Serialises the search for a free slot (held through the search's sleeps).
extern std::mutex g_PoolLock;
extern int32_t g_nPoolHint;
extern SQLHENV g_hEnv;  // kept for callers of the ODBC form; the connections need no environment
// Set once all 50 connections are open; a pool that never opened refuses every request at once.
extern std::atomic<int32_t> g_bPoolOpen;

// The library is stopping: every later slot request fails at once.
extern std::atomic<int32_t> g_bStopping;

// AcquirePoolSlot: the index (0..49) of a slot now held by the caller, with a reply buffer that reads
// as empty; -1 when the library is stopping, the pool never opened, or no slot came free within
// 300 ms (a release hands its slot to the search that has waited longest, at once).
[[nodiscard]] int AcquirePoolSlot();

// Gives the slot back: a store of its free flag, or, when searches wait, the slot handed to the oldest.
void ReleasePoolSlot(int slot);

// Holds a pool slot for a scope and gives it back on every path.
class PoolSlotGuard {
 public:
  PoolSlotGuard() : index_(AcquirePoolSlot()) {}
  explicit PoolSlotGuard(int index) : index_(index) {}
  PoolSlotGuard(const PoolSlotGuard&) = delete;
  PoolSlotGuard& operator=(const PoolSlotGuard&) = delete;
  ~PoolSlotGuard() { Release(); }

  bool ok() const { return index_ >= 0; }
  // Takes a slot now (giving back any held before). Returns ok().
  bool Acquire() {
    Release();
    index_ = AcquirePoolSlot();
    return ok();
  }
  int index() const { return index_; }
  PoolSlot& slot() const { return g_PoolSlots[index_]; }
  SQLHDBC dbc() const { return g_PoolSlots[index_].hDbc; }
  // Gives the slot back now.
  void Release() {
    if (index_ >= 0) ReleasePoolSlot(index_);
    index_ = -1;
  }

 private:
  int index_;
};

// Start-up of the pool: connects every slot in index order to the data source `dsn` (a libpq service)
// with the login (login time-out 20 s). Returns false at the first failure, with the reason in `why`;
// connections opened before it stay open. REQUIRES: called once, before requests are served.
[[nodiscard]] bool ConnectPool(const char* dsn, const char* user, const char* password, char* why, size_t whySize);

// Opens the pool for requests.
void OpenPool();

// Teardown: marks every slot taken, disconnects and frees the connections and the environment.
void ClosePool();

// Counts over all slots, without the lock: free slots, and the highest index of a taken slot (0 when
// none is taken).
void PoolCounts(int* nFree, int* highestTaken);
