#include "carriers/label_worker.h"

#include <cstdio>
#include <ctime>

#include "carriers/carrier_clients.h"
#include "carriers/label_store.h"
#include "core/pool.h"
#include "core/reply.h"
#include "platform/event.h"

std::atomic<int32_t> g_bLogEnabled{0};
CEvent g_LabelWorkerStopEvent(false, false);
LabelJobQueue g_LabelJobQueue;

namespace {

constexpr uint32_t kFirstPassDelayMs = 2000;
constexpr uint32_t kPassWaitMs = 5000;
constexpr uint32_t kSweepEvery = 100;  // passes 1, 101, 201, ...

bool Stopping() { return g_bStopping.load() != 0; }

void LogJob(const LabelJob& job, uint32_t ms) {
  if (g_bLogEnabled.load() == 0) return;
  uint32_t average, count;
  {
    std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
    g_LabelJobQueue.loggedMs += ms;
    count = ++g_LabelJobQueue.logged;
    average = static_cast<uint32_t>(g_LabelJobQueue.loggedMs / count);
  }
  char line[128];
  std::snprintf(line, sizeof line, "**PDF_%u_%u_%s: %u ms. Av:%u/%u", static_cast<unsigned>(job.kind),
                static_cast<unsigned>(job.id), job.mailNumber, ms, average, count);
  WriteLog(line, "TARNWICK");
}

void LabelWorkerThread() {
  if (!AnyCarrierConfigured()) return;
  PoolSlotGuard slot;
  if (!slot.ok()) return;
  if (WaitForLabelStop(kFirstPassDelayMs)) return;
  bool configured[3] = {IsCarrierClientConfigured(0), IsCarrierClientConfigured(1), IsCarrierClientConfigured(2)};
  if (WaitForLabelStop(kPassWaitMs)) return;
  while (!WaitForLabelStop(0) && AnyCarrierConfigured()) {
    if (g_LabelJobQueue.passes++ % kSweepEvery == 0) {
      // The sweep runs between jobs on the worker's own slot: the worker never holds a second one.
      int keptDay;
      {
        std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
        keptDay = g_LabelJobQueue.keptDay;
      }
      (void)RequeueAndPurgeLabels(slot.slot(), time(nullptr), &keptDay, configured);
      std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
      g_LabelJobQueue.keptDay = keptDay;
    }
    LabelJob job;
    while (!WaitForLabelStop(0) && PopLabelJob(job) == 1) {
      const uint32_t t0 = tw::GetTickCount();
      (void)RunLabelJob(slot.slot(), job);
      LogJob(job, tw::GetTickCount() - t0);
    }
    if (WaitForLabelStop(kPassWaitMs)) break;
  }
}

}  // namespace

int PushLabelJob(const LabelJob& job) {
  std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
  if (g_LabelJobQueue.jobs.size() >= kLabelQueueMax) g_LabelJobQueue.jobs.pop_front();
  g_LabelJobQueue.jobs.push_back(job);
  return 1;
}

int PopLabelJob(LabelJob& job) {
  std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
  if (g_LabelJobQueue.jobs.empty()) return 0;
  job = g_LabelJobQueue.jobs.front();
  g_LabelJobQueue.jobs.pop_front();
  return 1;
}

bool IsLabelJobQueued(int32_t id) {
  if (id <= 0) return false;
  std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
  for (const LabelJob& job : g_LabelJobQueue.jobs) {
    if (job.id == id) return true;
  }
  return false;
}

size_t LabelJobCount() {
  std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
  return g_LabelJobQueue.jobs.size();
}

void ClearLabelJobs() {
  std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
  g_LabelJobQueue.jobs.clear();
}

bool WaitForLabelStop(uint32_t ms) {
  std::unique_lock<std::mutex> lock(g_LabelJobQueue.lock);
  auto stop = [] { return g_LabelJobQueue.bStop || Stopping(); };
  if (ms == 0 || stop()) return stop();
  // The library's stop flag has no signal of its own: look at it at least every 100 ms.
  uint32_t waited = 0;
  while (waited < ms) {
    const uint32_t step = ms - waited < 100 ? ms - waited : 100;
    if (g_LabelJobQueue.stopSignal.wait_for(lock, std::chrono::milliseconds(step), stop)) return true;
    waited += step;
  }
  return stop();
}

void StartLabelWorker() {
  {
    std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
    g_LabelJobQueue.bStop = false;
    if (g_LabelJobQueue.keptDay < 0) {
      const time_t now = time(nullptr);
      tm local{};
      localtime_r(&now, &local);
      g_LabelJobQueue.keptDay = local.tm_yday;
    }
  }
  if (!g_LabelJobQueue.worker.joinable()) g_LabelJobQueue.worker = std::thread(LabelWorkerThread);
}

void StopLabelWorker() {
  {
    std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
    g_LabelJobQueue.bStop = true;
  }
  g_LabelJobQueue.stopSignal.notify_all();
  g_LabelWorkerStopEvent.SetEvent();
  if (g_LabelJobQueue.worker.joinable()) g_LabelJobQueue.worker.join();
}
