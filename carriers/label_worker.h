#pragma once
// The label job queue and the label worker, the library's only thread of its own.
//
// A carrier order that is accepted leaves a placeholder row in the label store and a LabelJob in the
// queue; the worker fetches the label PDFs later, and sweeps the store now and then, on the one pool
// slot it holds for its life. Request threads push while the worker pops: both take the queue's lock.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/event.h"

struct PoolSlot;

struct LabelJob {
  int32_t kind = 0;          // carrier code: 0 China Post EUB, 1 Australia Post, 2 SF Express
  int32_t id = 0;            // iid of the label row; 0 or less when no row exists yet
  char account[64] = "";     // the carrier key the label request needs
  char mailNumber[32] = "";  // the carrier's number of the parcel
  char reference[32] = "";   // Australia Post book id or SF order id; empty for EUB
};

// The queue, its lock and the worker thread (one static object; the worker is joined before the pool
// closes at unload).
struct LabelJobQueue {
  std::mutex lock;
  std::deque<LabelJob> jobs;
  std::thread worker;
  std::condition_variable stopSignal;  // waited on with `lock`
  bool bStop = false;                  // under `lock`: the worker is to end
  int keptDay = -1;                    // day of the year of the last purge (the load day at first)
  uint32_t passes = 0;                 // worker passes over the library's life
  uint64_t loggedMs = 0;               // fetch time of the jobs logged so far
  uint32_t logged = 0;
};
extern LabelJobQueue g_LabelJobQueue;
// The worker logs its jobs only while this is 1 (from the end of start-up to the start of shutdown).
extern std::atomic<int32_t> g_bLogEnabled;
// The stop signal of the worker.
extern CEvent g_LabelWorkerStopEvent;

// At most this many jobs wait; a push beyond it drops the oldest (the sweep recovers recent rows).
inline constexpr size_t kLabelQueueMax = 100000;

// PushLabelJob: appends a copy of the job. Returns 1.
int PushLabelJob(const LabelJob& job);
// IsLabelJobQueued: true when a job for label row `id` (> 0) waits in the queue.
bool IsLabelJobQueued(int32_t id);
// LabelJobCount: the jobs waiting.
size_t LabelJobCount();
// ClearLabelJobs: empties the queue.
void ClearLabelJobs();

// WaitForLabelStop: waits up to ms milliseconds; true at once, or as soon as, the worker is told to
// stop or the library is stopping.
bool WaitForLabelStop(uint32_t ms);

// RunLabelJob: fetches and stores the label of one job through the session of its carrier on the
// slot; jobs of unknown carriers are dropped (0). Returns the session's result.
int RunLabelJob(PoolSlot& slot, LabelJob& job);
// PopLabelJob: takes the first job of the queue into `job`. Returns 1, or 0 when the queue is empty.
int PopLabelJob(LabelJob& job);

// Starts the worker thread (start-up, once the configuration is loaded).
void StartLabelWorker();
// Signals the worker's stop event and waits for the thread to end (unload).
void StopLabelWorker();

// True when at least one carrier client is configured.
bool AnyCarrierConfigured();
