#pragma once
// The gate every call to one carrier account passes (orders and label fetches alike), so that a
// carrier that stalls or refuses can never hold more than a few pool slots and request threads:
//
// - a limit on the calls in flight at once (the settings file's "并发数=", default 8): a call over the
//   limit waits up to 200 ms for a free place and is then refused as busy (kCarrierBusy), without
//   reaching the carrier; when the limit has been reached for a second without any call ending (the
//   carrier stalls), it is refused at once, since its request holds a pool slot while it waits;
// - a breaker: 3 consecutive calls that failed by time-out or refusal (no connection, nothing or a
//   refused or cut reply), or one failed call that waited out its whole receive or connect time-out
//   (a carrier that accepts and then stalls: three of those in a row would hold a batch for 90 s),
//   open it for 5 s, during which every call is refused at once as not tried (kCarrierNotTried). After that, one trial call goes through: when it succeeds the breaker closes,
//   when it fails it opens for another 5 s. Every opening and closing is written on standard error and
//   in the day's "CARRIER" log.
//
// Refused calls answer as failed calls of that carrier, with these codes where the HTTP client's
// result would stand ("邮政服务器断线!iRet:-130,..."). A call cut by the stop flag neither counts as a
// failure nor as a success.
//
// Thread-safety: every member may be called from any thread; a gate outlives every call through it
// (it is a member of its carrier client, which lives from start-up to unload).

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

struct HttpRequest;

inline constexpr int kCarrierBusy = -130;      // too many calls of the account in flight
inline constexpr int kCarrierNotTried = -131;  // the account's breaker is open

inline constexpr int32_t kCarrierCallLimit = 8;         // calls in flight per account, by default
inline constexpr int32_t kCarrierBusyWaitMs = 200;       // the wait for a free place
inline constexpr uint32_t kCarrierStuckMs = 1000;        // full this long with no place given back: no wait
inline constexpr int32_t kCarrierBreakerFailures = 3;   // consecutive failures that open the breaker
inline constexpr int32_t kCarrierBreakerOpenMs = 5000;  // how long it stays open before a trial

class CCarrierGate {
 public:
  CCarrierGate() = default;
  CCarrierGate(const CCarrierGate&) = delete;
  CCarrierGate& operator=(const CCarrierGate&) = delete;

  // Configure: the account's name in the log ("EUB 1"), its limit (below 1: the default) and how
  // long the breaker stays open. REQUIRES: no call through the gate yet.
  void Configure(const std::string& name, int32_t limit, int32_t openMs = kCarrierBreakerOpenMs);

  // Execute: HttpExecute(request) through the gate: its result, or kCarrierBusy / kCarrierNotTried
  // when the call was not made.
  [[nodiscard]] int Execute(HttpRequest& request);

  // Open: whether the breaker refuses calls now (open and not yet due for its trial, or its trial
  // running).
  [[nodiscard]] bool Open() const;
  // State: "closed", "open" or "trial" (the trial call running), for the about page.
  [[nodiscard]] const char* State() const;
  [[nodiscard]] const std::string& Name() const { return name_; }
  [[nodiscard]] int32_t Limit() const { return limit_; }
  [[nodiscard]] int32_t InFlight() const;

 private:
  enum class EState { kClosed, kOpen, kTrial };
  void Record(int result, bool bTrial, bool bWaitedOut);  // with mutex_ held

  std::string name_ = "carrier";
  int32_t limit_ = kCarrierCallLimit;
  int32_t openMs_ = kCarrierBreakerOpenMs;
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  int32_t inFlight_ = 0;
  int32_t failures_ = 0;
  EState state_ = EState::kClosed;
  uint32_t openedAt_ = 0;   // tick of the last opening
  uint32_t changedAt_ = 0;  // tick when the calls in flight last reached the limit or one ended
};

// IsCarrierFailure: whether an HttpExecute result is a failure by time-out or refusal (the ones that
// count towards opening a breaker).
[[nodiscard]] bool IsCarrierFailure(int result);
