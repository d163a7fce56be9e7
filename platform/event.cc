#include "platform/event.h"

#include <thread>

namespace tw {

uint32_t GetTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace tw

CEvent::CEvent(bool bInitiallyOwn, bool bManualReset)
    : signalled_(bInitiallyOwn), manualReset_(bManualReset) {}

bool CEvent::Lock(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (timeoutMs == 0) {
    // A test: taken when signalled, never a wait (a condition variable's wait with a deadline already
    // past still goes through the kernel).
    if (!signalled_) return false;
  } else if (timeoutMs == kInfinite) {
    cv_.wait(lock, [this] { return signalled_; });
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; })) {
    return false;
  }
  if (!manualReset_) {
    signalled_ = false;
  }
  return true;
}

bool CEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  if (manualReset_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
  return true;
}

bool CEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
  return true;
}
