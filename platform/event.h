#pragma once
// Events, ticks and sleeps: the small pieces of the Windows kernel that the system uses.
//
// CEvent is a signalled/closed flag that threads wait on. An auto-reset event lets exactly one waiter
// through per signal and closes again behind it, so it serves as a mutex ("take" = Lock, "give back" =
// SetEvent). A manual-reset event stays signalled until ResetEvent. All members are thread-safe.

// <chrono> itself cannot be compiled with a GBK execution character set (its "\u00b5s" literal);
// <condition_variable> brings the duration types.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tw {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows tick count.
uint32_t GetTickCount();

// Sleeps the calling thread for `ms` milliseconds.
void Sleep(uint32_t ms);

}  // namespace tw

class CEvent {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  // bInitiallyOwn: start signalled. bManualReset: stay signalled until ResetEvent.
  explicit CEvent(bool bInitiallyOwn = false, bool bManualReset = false);
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;
  ~CEvent() = default;

  // Waits until the event is signalled or `timeoutMs` passes (kInfinite: no limit).
  // Returns true when the event was obtained; an auto-reset event is then closed again.
  [[nodiscard]] bool Lock(uint32_t timeoutMs = kInfinite);

  // Signals the event: releases one waiter (auto-reset) or all of them (manual reset).
  bool SetEvent();
  // Closes the event.
  bool ResetEvent();
  // Same as SetEvent; kept for callers that read as "give the lock back".
  bool Unlock() { return SetEvent(); }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_;
  const bool manualReset_;
};
