#include "services/internal/pre_input_batch.h"

#include <climits>

#include "core/db.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/client_codes.h"
#include "util/json.h"

namespace tw::entry {

namespace {

// A procedure result that ends a whole withdrawing request.
constexpr int32_t kProcFailed = -9;
// A withdrawing call with its two numbers fits in this many bytes.
constexpr size_t kWithdrawCallBytes = 128;

constexpr std::string_view kRecordKey = "\"iID\"";
constexpr std::string_view kIdsKey = "\"iIDs\"";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of the run of digits at text[at..], clamped to the int range; `at` moves past it.
int32_t ReadDigits(std::string_view text, size_t& at) {
  int64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    if (value <= INT_MAX) value = value * 10 + (text[at] - '0');
  }
  return value > INT_MAX ? INT_MAX : static_cast<int32_t>(value);
}

// The position of the first digit at or after `at`, or npos.
size_t NextDigit(std::string_view text, size_t at) {
  for (; at < text.size(); ++at) {
    if (IsDigit(text[at])) return at;
  }
  return std::string_view::npos;
}

}  // namespace

bool CutRecords(std::string_view list, size_t max, std::vector<std::string_view>& records) {
  records.clear();
  std::vector<size_t> starts;
  for (size_t at = list.find(kRecordKey); at != std::string_view::npos; at = list.find(kRecordKey, at + 1)) {
    const size_t after = JsonSkipBlanks(list, at + kRecordKey.size());
    if (at == 0 || after >= list.size() || list[after] != ':') continue;
    if (starts.size() == max) return false;
    starts.push_back(at - 1);
  }
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = i + 1 < starts.size() ? starts[i + 1] : list.size();
    records.push_back(list.substr(starts[i], end - starts[i]));
  }
  return true;
}

bool ReadIdList(std::string_view body, size_t max, std::vector<int32_t>& ids) {
  ids.clear();
  const char* key = JsonFindKey("iIDs", body);
  if (key == nullptr) return false;
  size_t at = JsonSkipBlanks(body, static_cast<size_t>(key - body.data()) + kIdsKey.size());
  at = JsonSkipBlanks(body, at + 1);  // past the colon JsonFindKey found
  if (at >= body.size() || body[at] != '[') return false;
  const size_t close = body.find(']', at);
  if (close == std::string_view::npos) return false;
  const std::string_view list = body.substr(at + 1, close - at - 1);

  size_t pos = NextDigit(list, 0);
  while (pos != std::string_view::npos) {
    if (ids.size() == max) {
      ids.clear();
      return false;
    }
    ids.push_back(ReadDigits(list, pos));
    const size_t comma = list.find(',', pos);
    if (comma == std::string_view::npos) break;
    pos = NextDigit(list, comma + 1);
  }
  return true;
}

bool OpenWithdrawal(CHttpServerContext* pCtxt, std::string_view body, int32_t* icid, std::vector<int32_t>& ids,
                    PoolSlotGuard& slot) {
  *icid = tw::JsonGetInt("icID", body, 0);
  if (*icid <= 0) {
    WriteCode(pCtxt, kRcBadClientId);
    return false;
  }
  if (!ReadIdList(body, kBatchRecordsMax, ids)) {
    WriteCode(pCtxt, kRcNoBatchList);
    return false;
  }
  if (!slot.Acquire()) {
    WriteCode(pCtxt, kRcNoConnection);
    return false;
  }
  return true;
}

bool CallWithdraw(PoolSlot& slot, const char* callFormat, int32_t id, int32_t icid, int32_t* result) {
  *result = 0;
  DbStatement st(slot.hDbc);
  if (!st.ok()) return false;
  st.BindOutInt(1, result);
  char sql[kWithdrawCallBytes];
  return FormatSql(sql, sizeof sql, callFormat, id, icid) && DbOk(st.ExecDirect(sql)) && *result != kProcFailed;
}

}  // namespace tw::entry
