#include "core/numbering.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>
#include <vector>

#include "core/config.h"
#include "core/db.h"
#include "core/pool.h"
#include "util/escape.h"
#include "util/text.h"

namespace {

constexpr size_t kRuleFieldMax = 15;
constexpr char kDpdKind[] = "DPD";
constexpr int kDpdMinDigits = 6;

bool IsLineSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The leading characters of s in the range '0'..'Z'.
std::string_view LeadingCode(const char* s) {
  size_t n = 0;
  while (s[n] >= '0' && s[n] <= 'Z') ++n;
  return std::string_view(s, n);
}

int WeightedDigit(const char* digits, int32_t width) {
  int weight = width + 3;
  int sum = 0;
  for (const char* p = digits; *p != '\0'; ++p) {
    sum += (*p - '0') * weight;
    if (weight > 1) --weight;
  }
  return sum % 10;
}

}  // namespace

std::vector<NumberRule> ParseNumberRules(const char* text, const char* startMarker, const char* endMarker) {
  std::vector<NumberRule> rules;
  if (text == nullptr) return rules;
  const char* start = std::strstr(text, startMarker);
  if (start == nullptr) return rules;
  start += std::strlen(startMarker);
  const char* end = std::strstr(start, endMarker);
  if (end == nullptr) return rules;

  const char* p = start;
  while (p < end) {
    while (p < end && IsLineSpace(*p)) ++p;
    if (p >= end) break;
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (lf == nullptr) break;  // the last line counts only when a line feed ends it
    std::string line(p, static_cast<size_t>(lf - p));
    p = lf + 1;

    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0 || eq > kRuleFieldMax) continue;
    NumberRule rule;
    std::memcpy(rule.name, line.data(), eq);
    rule.ruleId = std::atoi(line.c_str() + eq + 1);
    size_t eq2 = line.find('=', eq + 1);
    if (eq2 != std::string::npos) {
      std::string rest = line.substr(eq2 + 1);
      TrimBoth(rest.data());
      rest.resize(std::strlen(rest.c_str()));
      size_t comma = rest.find(',');
      std::string kind = rest.substr(0, comma);
      std::string extra = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
      if (kind.size() <= kRuleFieldMax) std::memcpy(rule.kind, kind.c_str(), kind.size() + 1);
      if (extra.size() <= kRuleFieldMax) std::memcpy(rule.extra, extra.c_str(), extra.size() + 1);
    }
    rules.push_back(rule);
  }
  return rules;
}

bool FormatDrawnNumber(int64_t value, const char* prefix, const char* suffix, int32_t width, int32_t checkType,
                       char out[kNumberTextBytes]) {
  out[0] = '\0';
  if (value < 0) return false;
  char digits[32];
  if (width <= 5) {
    std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
    std::memcpy(out, digits, std::strlen(digits) + 1);
    return true;
  }
  if (width >= static_cast<int32_t>(kNumberTextBytes)) return false;
  std::snprintf(digits, sizeof digits, "%0*lld", static_cast<int>(width), static_cast<long long>(value));

  std::string text(LeadingCode(prefix != nullptr ? prefix : ""));
  if (checkType == 3) text.push_back('-');
  text += digits;
  if (checkType == 3) {
    text.push_back(static_cast<char>('0' + value % 7));
  } else if (checkType == 2) {
    text.push_back(static_cast<char>('0' + CheckDigitS10(static_cast<uint32_t>(value & 0xFFFFFFFF))));
  } else if (checkType > 0) {
    text.push_back(static_cast<char>('0' + WeightedDigit(digits, width)));
  }
  text += LeadingCode(suffix != nullptr ? suffix : "");
  if (text.size() >= kNumberTextBytes) return false;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

char CheckCharMod3736(const char* text) {
  // ISO/IEC 7064, hybrid system with M = 36: P starts at M; for each character S = (P + value) mod M
  // (0 read as M), P = 2S mod (M + 1); the check value makes the final P equal to 1.
  constexpr int kM = 36;
  int p = kM;
  for (const char* c = text; *c != '\0'; ++c) {
    int v = (*c >= '0' && *c <= '9') ? *c - '0' : (*c >= 'A' && *c <= 'Z') ? *c - 'A' + 10 : 0;
    int s = (p + v) % kM;
    if (s == 0) s = kM;
    p = (2 * s) % (kM + 1);
  }
  int check = (kM + 1 - p) % kM;
  return static_cast<char>(check < 10 ? '0' + check : 'A' + check - 10);
}

bool FormatDpdNumber(int64_t value, char out[kNumberTextBytes], const char* prefix) {
  out[0] = '\0';
  if (value < 0) return false;
  char text[64];
  int n = std::snprintf(text, sizeof text, "%s%0*lld", prefix != nullptr ? prefix : "", kDpdMinDigits,
                        static_cast<long long>(value));
  if (n < 0 || static_cast<size_t>(n) + 1 >= kNumberTextBytes) return false;
  text[n] = CheckCharMod3736(text);
  text[n + 1] = '\0';
  std::memcpy(out, text, static_cast<size_t>(n) + 2);
  return true;
}

int CheckDigitS10(uint32_t n) {
  static constexpr int kWeights[8] = {8, 6, 4, 2, 3, 5, 9, 7};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08u", n);
  int sum = 0;
  for (int i = 0; i < 8; ++i) sum += (digits[i] - '0') * kWeights[i];
  int c = 11 - sum % 11;
  return c == 10 ? 0 : c == 11 ? 5 : c;
}

int CheckDigitWeighted(uint32_t n) {
  static constexpr int kWeights[8] = {15, 13, 11, 9, 7, 5, 3, 1};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08u", n);
  int total = 0;
  for (int i = 0; i < 8; ++i) {
    int p = (digits[i] - '0') * kWeights[i];
    total += p / 10 + p % 10;
  }
  int s = total % 10;
  return s == 0 ? 0 : 10 - s;
}

int IsValidTwelveDigitNumber(const char* text) {
  if (text == nullptr || std::strlen(text) != 12 || tw::IsAllDigits(text) == 0) return 0;
  char middle[9];
  std::memcpy(middle, text + 3, 8);
  middle[8] = '\0';
  return text[11] - '0' == CheckDigitWeighted(static_cast<uint32_t>(std::strtoul(middle, nullptr, 10))) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------------
// Drawing numbers
//
// A drawing waits in a queue for the number lock. The thread that takes the lock draws, in the same
// round trip on its own slot, every sequence drawing waiting behind it, so the lock is held once for
// many numbers when many requests draw at once; each number is what its own call of cp_x_genno_exx
// would give. A drawing that waits out the lock's time-out before a holder takes it fails.

namespace {

struct Drawing {
  int32_t clientId = 0;
  const char* ruleText = nullptr;
  int ruleId = 0;  // above 0 for a sequence rule ("8831*"), which a holder may draw with others
  char* text = nullptr;
  int64_t* value = nullptr;
  int result = 0;
  bool queued = true;  // waiting for a holder of the lock to take it (guarded by g_DrawingMutex)
  // What its caller sleeps on. kDone: drawn (or failed), result holds the outcome; a holder sets it
  // without g_DrawingMutex, so the caller returns without taking the mutex again. kNudged: a holder
  // has gone and this drawing, the oldest, tries the lock (set under g_DrawingMutex).
  std::atomic<uint32_t> state{0};
};

constexpr uint32_t kDone = 1;
constexpr uint32_t kNudged = 2;

// The caller of a drawing sleeps on its state word until the word is no longer `seen` (or until
// `deadline`, when given). A wake can come after the caller has gone: it then costs one system call
// and nothing else, so a holder wakes the drawings it finished after it has let go of every lock.
void SleepOnState(Drawing& d, uint32_t seen, const timespec* deadline) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&d.state), FUTEX_WAIT_BITSET_PRIVATE, seen, deadline, nullptr,
          FUTEX_BITSET_MATCH_ANY);
}

void WakeState(std::atomic<uint32_t>* state) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(state), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

// Guards the queue and the `queued` flags of the drawings. It is held for a few instructions at a
// time: the wakes are made after it is let go.
std::mutex g_DrawingMutex;
std::deque<Drawing*> g_DrawingQueue;  // oldest first
// The most sequence drawings one statement draws.
constexpr size_t kDrawingsPerRound = 64;

// Fills the caller's text and value from one row of cp_x_genno_exx or genno_draw_many. Returns the
// drawing's outcome.
int FinishSequenceDrawing(bool bRan, int32_t ret, int64_t number, const char* prefix, const char* suffix,
                          int32_t width, int32_t checkType, Drawing& d) {
  if (bRan && ret > 0 && number >= 0) {
    // A width the text cannot hold fails the drawing rather than cut the number.
    if (!FormatDrawnNumber(number, prefix, suffix, width, checkType, d.text)) return 0;
    *d.value = number;
  }
  if (!bRan || ret <= 0) return 0;
  d.text[kNumberTextBytes - 1] = '\0';
  tw::TrimTrailingBlanks(d.text);
  return 1;
}

// One drawing, by its own call.
int DrawOne(PoolSlot& slot, Drawing& d) {
  std::memset(d.text, 0, kNumberTextBytes);
  DbStatement st(slot.hDbc);
  if (!st.ok()) return 0;
  *d.value = -1;

  int32_t ret = -1;
  if (d.ruleId > 0) {
    int64_t number = -1;
    char prefix[8] = {0}, suffix[8] = {0};
    int32_t width = 0, checkType = 0;
    st.BindOutInt(1, &ret);
    st.BindOutInt64(2, &number);
    st.BindOutText(3, prefix, 4, sizeof prefix);
    st.BindOutText(4, suffix, 4, sizeof suffix);
    st.BindOutInt(5, &width);
    st.BindOutInt(6, &checkType);
    char sql[96];
    std::snprintf(sql, sizeof sql, "{?=CALL dorvane.dbo.cp_x_genno_exx(%d,?,?,?,?,?)}", d.ruleId);
    const bool bRan = DbOk(st.ExecDirect(sql));
    return FinishSequenceDrawing(bRan, ret, number, prefix, suffix, width, checkType, d);
  }
  st.BindOutInt(1, &ret);
  st.BindOutText(2, d.text, 30, kNumberTextBytes);
  std::string sql = StringPrintf("{?=CALL dorvane.dbo.cp_get_sys_num(?,%d,'%s')}", d.clientId,
                                 tw::SqlEscape(d.ruleText).c_str());
  if (!DbOk(st.ExecDirect(sql.c_str())) || ret <= 0) return 0;
  d.text[kNumberTextBytes - 1] = '\0';
  tw::TrimTrailingBlanks(d.text);
  return 1;
}

// Sequence drawings, all in one statement (one transaction: all are drawn or none), each given what
// its own call of cp_x_genno_exx would give. False when the statement failed and none was drawn.
bool DrawSequences(PoolSlot& slot, const std::vector<Drawing*>& round) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) return false;
  std::string sql = "SELECT ret, num, prefix, suffix, width, checktype FROM dorvane.dbo.genno_draw_many('{";
  for (size_t i = 0; i < round.size(); ++i) {
    if (i > 0) sql += ',';
    sql += std::to_string(round[i]->ruleId);
  }
  sql += "}'::integer[])";
  int32_t ret = -1, width = 0, checkType = 0;
  int64_t number = -1;
  char prefix[8] = {0}, suffix[8] = {0};
  st.BindInt(1, &ret);
  st.BindInt64(2, &number);
  st.BindText(3, prefix, sizeof prefix);
  st.BindText(4, suffix, sizeof suffix);
  st.BindInt(5, &width);
  st.BindInt(6, &checkType);
  if (!DbOk(st.ExecDirect(sql.c_str()))) return false;
  for (Drawing* d : round) {
    std::memset(d->text, 0, kNumberTextBytes);
    *d->value = -1;
    ret = -1;
    number = -1;
    prefix[0] = suffix[0] = '\0';
    width = checkType = 0;
    const bool bRan = DbOk(st.Fetch());
    d->result = FinishSequenceDrawing(bRan, ret, number, prefix, suffix, width, checkType, *d);
  }
  return true;
}

void RemoveFromQueue(Drawing& d) {
  for (auto it = g_DrawingQueue.begin(); it != g_DrawingQueue.end(); ++it) {
    if (*it == &d) {
      g_DrawingQueue.erase(it);
      break;
    }
  }
  d.queued = false;
}

// Lets the oldest waiting drawing try the lock: marks it while `lock` (on g_DrawingMutex) is held,
// then lets go of the mutex and wakes it.
void NudgeOldestAndUnlock(std::unique_lock<std::mutex>& lock) {
  std::atomic<uint32_t>* next = nullptr;
  if (!g_DrawingQueue.empty()) {
    next = &g_DrawingQueue.front()->state;
    next->fetch_or(kNudged, std::memory_order_relaxed);
  }
  lock.unlock();
  if (next != nullptr) WakeState(next);
}

// With the number lock and g_DrawingMutex held: draws `me` and, when it is a sequence drawing on a
// connection outside a transaction, the sequence drawings waiting with it; then gives the lock back.
// Returns with g_DrawingMutex released.
int HoldTheLock(PoolSlot& slot, Drawing& me, std::unique_lock<std::mutex>& lock) {
  std::vector<Drawing*> round{&me};
  RemoveFromQueue(me);
  // Numbers drawn for others must not depend on the holder's own transaction.
  if (me.ruleId > 0 && !DbInTransaction(slot.hDbc)) {
    for (auto it = g_DrawingQueue.begin(); it != g_DrawingQueue.end() && round.size() < kDrawingsPerRound;) {
      if ((*it)->ruleId > 0) {
        (*it)->queued = false;
        round.push_back(*it);
        it = g_DrawingQueue.erase(it);
      } else {
        ++it;
      }
    }
  }
  lock.unlock();
  bool bDrawn = true;
  if (round.size() == 1) {
    me.result = DrawOne(slot, me);
  } else {
    bDrawn = DrawSequences(slot, round);
  }
  lock.lock();
  if (!bDrawn) {
    // The holder's connection failed: its own drawing fails, the others wait for the next holder.
    me.result = 0;
    for (size_t i = round.size(); i-- > 1;) {
      round[i]->queued = true;
      g_DrawingQueue.push_front(round[i]);
    }
    round.resize(1);
  }
  // The lock goes on to the next drawing first; only then are the drawings of this round woken.
  g_NumberLock.SetEvent();
  NudgeOldestAndUnlock(lock);
  // The drawings taken are the holder's alone until they are done: no mutex is needed to finish
  // them, and their callers wake without waiting for it.
  for (size_t i = 1; i < round.size(); ++i) {
    round[i]->state.fetch_or(kDone, std::memory_order_release);
    WakeState(&round[i]->state);
  }
  return me.result;
}

// The futex's absolute time-out: steady_clock is CLOCK_MONOTONIC, the clock FUTEX_WAIT_BITSET uses.
timespec ToTimespec(std::chrono::steady_clock::time_point t) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

int GenerateNumber(PoolSlot& slot, int32_t clientId, const char* ruleText, char text[kNumberTextBytes],
                   int64_t* value) {
  // The caller's slot is already held: a holder of the lock never waits for the pool, so requests
  // waiting for the lock cannot starve it of a slot.
  Drawing me;
  me.clientId = clientId;
  me.ruleText = ruleText;
  const int ruleId = std::atoi(ruleText);
  if (std::strchr(ruleText, '*') != nullptr && ruleId > 0) me.ruleId = ruleId;
  me.text = text;
  me.value = value;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNumberLockWaitMs);
  const timespec deadlineSpec = ToTimespec(deadline);
  // Past the lock's time-out a drawing no holder has taken fails; one being drawn waits for its round.
  bool bLate = false;
  std::unique_lock<std::mutex> lock(g_DrawingMutex);
  g_DrawingQueue.push_back(&me);
  for (;;) {
    // One read both tells whether the drawing is done and gives the word to sleep on: a holder that
    // finishes it between two reads would leave its caller asleep on a word that no wake follows.
    const uint32_t seen = me.state.fetch_and(~kNudged, std::memory_order_acquire) & ~kNudged;
    if ((seen & kDone) != 0) return me.result;
    if (me.queued) {
      if (!bLate && g_NumberLock.Lock(0)) return HoldTheLock(slot, me, lock);
      if (bLate) {
        RemoveFromQueue(me);
        NudgeOldestAndUnlock(lock);
        return 0;
      }
    }
    lock.unlock();
    while (me.state.load(std::memory_order_acquire) == seen) {
      if (!bLate && std::chrono::steady_clock::now() >= deadline) {
        bLate = true;
        break;
      }
      SleepOnState(me, seen, bLate ? nullptr : &deadlineSpec);
    }
    if ((me.state.load(std::memory_order_acquire) & kDone) != 0) return me.result;
    lock.lock();
  }
}

void OpenNumberLock() {
  std::unique_lock<std::mutex> lock(g_DrawingMutex);
  g_NumberLock.SetEvent();
  NudgeOldestAndUnlock(lock);
}

int FindTransferNumberRuleId(const char* kind) {
  for (const NumberRule& r : g_TransferNumberRules) {
    if (std::strcmp(r.name, kind) == 0) return r.ruleId;
  }
  return -1;
}

namespace {

// The rule text of a rule: "%u*" of its id when it has one, else its name.
std::string RuleText(const NumberRule& rule) {
  return rule.ruleId >= 1 ? std::to_string(rule.ruleId) + "*" : std::string(rule.name);
}

// The DPD form, for a value drawn from a sequence (the text path has none).
bool ApplyDpdForm(const NumberRule& rule, int64_t value, char text[kNumberTextBytes]) {
  if (std::strcmp(rule.kind, kDpdKind) != 0 || value < 0) return true;
  return FormatDpdNumber(value, text, rule.extra);
}

const NumberRule* FindRule(const std::vector<NumberRule>& rules, const char* name) {
  for (const NumberRule& r : rules) {
    if (std::strcmp(r.name, name) == 0) return &r;
  }
  return nullptr;
}

}  // namespace

int GenerateTransferNumber(PoolSlot& slot, int32_t clientId, const char* kind, char text[kNumberTextBytes],
                           int32_t* ruleId) {
  *ruleId = -1;
  const NumberRule* rule = FindRule(g_TransferNumberRules, kind);
  if (rule == nullptr) return 0;
  int64_t value = -1;
  if (GenerateNumber(slot, clientId, RuleText(*rule).c_str(), text, &value) == 0) return 0;
  if (!ApplyDpdForm(*rule, value, text)) return 0;
  *ruleId = rule->ruleId;
  return 1;
}

int GenerateInternalNumber(PoolSlot& slot, int32_t clientId, const char* ruleName, char text[kNumberTextBytes],
                           int32_t* ruleId) {
  *ruleId = -1;
  int64_t value = -1;
  if (const NumberRule* rule = FindRule(g_InternalNumberRules, ruleName)) {
    if (GenerateNumber(slot, clientId, RuleText(*rule).c_str(), text, &value) != 0 &&
        ApplyDpdForm(*rule, value, text)) {
      *ruleId = rule->ruleId;
      return 1;
    }
    // A rule whose drawing fails falls back to the default rule.
  }
  const int32_t fallback = ExtensionSettings.defaultInternalRuleId;
  if (fallback < 1) return 0;
  std::string ruleText = std::to_string(fallback) + "*";
  if (GenerateNumber(slot, clientId, ruleText.c_str(), text, &value) == 0) return 0;
  *ruleId = fallback;
  return 1;
}

std::vector<NumberRule> g_TransferNumberRules;
std::vector<NumberRule> g_InternalNumberRules;
CEvent g_NumberLock(false, false);
