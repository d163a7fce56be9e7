#include "carriers/carrier_gate.h"

#include <cstdio>

#include "carriers/http_client.h"
#include "core/config.h"
#include "core/reply.h"
#include "platform/event.h"

namespace {

void LogGate(const std::string& name, const char* what) {
  char text[256];
  std::snprintf(text, sizeof text, "carrier %s: %s", name.c_str(), what);
  std::fprintf(stderr, "Tarnwick: %s\n", text);
  if (!ExtensionSettings.logFolder.empty()) WriteLog(text, "CARRIER");  // none before start-up found it
}

}  // namespace

bool IsCarrierFailure(int result) {
  return result == kHttpRefused || result == kHttpNotConnected || result == kHttpCut || result == kHttpNoHost;
}

void CCarrierGate::Configure(const std::string& name, int32_t limit, int32_t openMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  name_ = name;
  limit_ = limit >= 1 ? limit : kCarrierCallLimit;
  openMs_ = openMs >= 0 ? openMs : kCarrierBreakerOpenMs;
}

bool CCarrierGate::Open() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == EState::kTrial) return true;
  return state_ == EState::kOpen && tw::GetTickCount() - openedAt_ < static_cast<uint32_t>(openMs_);
}

const char* CCarrierGate::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  switch (state_) {
    case EState::kOpen: return "open";
    case EState::kTrial: return "trial";
    default: return "closed";
  }
}

int32_t CCarrierGate::InFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inFlight_;
}

int CCarrierGate::Execute(HttpRequest& request) {
  bool bTrial = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (state_ == EState::kTrial) return kCarrierNotTried;
    if (state_ == EState::kOpen) {
      if (tw::GetTickCount() - openedAt_ < static_cast<uint32_t>(openMs_)) return kCarrierNotTried;
      bTrial = true;  // this call decides; the others are refused meanwhile
      state_ = EState::kTrial;
    }
    // Full for a while without a place given back (the calls in flight stall): no wait, since the
    // caller holds a pool slot while it waits.
    const bool bStuck = inFlight_ >= limit_ && tw::GetTickCount() - changedAt_ >= kCarrierStuckMs;
    if (bStuck ||
        !freed_.wait_for(lock, std::chrono::milliseconds(kCarrierBusyWaitMs), [&] { return inFlight_ < limit_; })) {
      if (bTrial) state_ = EState::kOpen;  // still due: the next call tries
      return kCarrierBusy;
    }
    if (++inFlight_ == limit_) changedAt_ = tw::GetTickCount();
  }
  const uint32_t start = tw::GetTickCount();
  const int result = HttpExecute(request);
  const int64_t took = static_cast<int64_t>(tw::GetTickCount() - start);
  // A failure that waited out a whole time-out: the carrier accepts and does not answer.
  const bool bWaitedOut = (request.recvTimeoutMs > 0 && took >= request.recvTimeoutMs) ||
                          (request.connectTimeoutS > 0 && took >= int64_t{request.connectTimeoutS} * 1000);
  std::lock_guard<std::mutex> lock(mutex_);
  --inFlight_;
  changedAt_ = tw::GetTickCount();
  freed_.notify_one();
  Record(result, bTrial, bWaitedOut);
  return result;
}

void CCarrierGate::Record(int result, bool bTrial, bool bWaitedOut) {
  if (result == kHttpStopped) {
    if (bTrial) state_ = EState::kOpen;  // undecided: the next call after the pause tries again
    return;
  }
  if (IsCarrierFailure(result)) {
    ++failures_;
    if (bTrial || (state_ == EState::kClosed && (bWaitedOut || failures_ >= kCarrierBreakerFailures))) {
      state_ = EState::kOpen;
      openedAt_ = tw::GetTickCount();
      char what[128];
      std::snprintf(what, sizeof what, "breaker open for %d ms after %d failed calls (iRet:%d)", openMs_,
                    failures_, result);
      LogGate(name_, what);
    }
    return;
  }
  failures_ = 0;
  if (bTrial) {
    state_ = EState::kClosed;
    LogGate(name_, "breaker closed: the trial call was answered");
  }
}
