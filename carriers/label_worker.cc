#include "carriers/label_worker.h"

#include "core/extension.h"
#include "core/pool.h"

namespace {

constexpr uint32_t kFirstPassDelayMs = 2000;
constexpr uint32_t kPassWaitMs = 5000;


void LabelWorkerThread() {
  if (!AnyCarrierConfigured()) return;
  PoolSlotGuard slot;
  if (!slot.ok()) return;
  tw::Sleep(kFirstPassDelayMs);
  // The carrier sessions and their label passes come with the carrier clients.
  while (g_bStopping.load() == 0 && AnyCarrierConfigured()) {
    if (g_LabelWorkerStopEvent.Lock(kPassWaitMs)) break;
  }
}

}  // namespace

int PushLabelJob(const LabelJob& job) {
  std::lock_guard<std::mutex> lock(g_LabelJobQueue.lock);
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

void StartLabelWorker() {
  if (!g_LabelJobQueue.worker.joinable()) g_LabelJobQueue.worker = std::thread(LabelWorkerThread);
}

void StopLabelWorker() {
  g_LabelWorkerStopEvent.SetEvent();
  if (g_LabelJobQueue.worker.joinable()) g_LabelJobQueue.worker.join();
}

bool AnyCarrierConfigured() { return false; }
