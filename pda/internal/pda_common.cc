#include "pda/internal/pda_common.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/caches.h"
#include "core/db.h"
#include "core/paging.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "util/escape.h"
#include "util/json.h"

namespace tw::pda {

namespace {

// The numbers of a driver date text ("2015-06-14 09:05:01.123"): up to six digit runs.
int DateNumbers(const char* text, int v[6]) {
  int n = 0;
  if (text == nullptr) return 0;
  for (const char* p = text; *p != '\0' && n < 6;) {
    if (*p < '0' || *p > '9') {
      ++p;
      continue;
    }
    int value = 0;
    for (int digits = 0; *p >= '0' && *p <= '9'; ++p, ++digits) {
      if (digits < 9) value = value * 10 + (*p - '0');
    }
    v[n++] = value;
  }
  return n;
}

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm;
}

}  // namespace

const char* SendRefusalText(int result) {
  switch (result) {
    case -2:
      return kMessNoRecord;
    case -3:
      return kMessClientUnknown;
    case -5:
      return kMessAlreadySent;
    default:
      return kMessSystemError;
  }
}

tw::OutBuf OpenReply(PoolSlot& slot) { return tw::OutBuf::Growable(slot.szReply, kReplyBytes, kListReplyMaxBytes); }

void SendReply(CHttpServerContext* pCtxt, const tw::OutBuf& reply) {
  if (reply.overflowed()) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  WriteJsonReply(pCtxt, reply.data(), reply.size());
}

void WriteRefusal(CHttpServerContext* pCtxt, PoolSlot& slot, int code, const char* numberKey, const char* number,
                  const char* mess) {
  tw::OutBuf reply = OpenReply(slot);
  reply.AppendChar('{');
  CJsonFields(reply).Int("ReturnValue", code).Str(numberKey, number).Str("cMess", mess);
  reply.AppendChar('}');
  SendReply(pCtxt, reply);
}

void WriteProcedureRefusal(CHttpServerContext* pCtxt, PoolSlot& slot, int result, const char* cNum, const char* mess) {
  WriteRefusal(pCtxt, slot, result - kProcedureRefusalOffset, "cNum", cNum, mess);
}

void WriteHandlerRefusal(CHttpServerContext* pCtxt, PoolSlot& slot, const char* number, const char* mess,
                         const char* numberKey) {
  WriteRefusal(pCtxt, slot, kRcHandlerRefusal, numberKey, number, mess);
}

bool KeyGiven(const char* key, std::string_view body) { return tw::JsonFindKey(key, body) != nullptr; }

bool StationDiffers(const PdaUser& user, const char* station) {
  return user.mcstation[0] != '\0' && std::strcmp(user.mcstation, station) != 0;
}

int CountGivenFields(std::span<const FieldMapping> fields, std::string_view body) {
  int n = 0;
  for (const FieldMapping& f : fields) {
    if (KeyGiven(f.key, body)) ++n;
  }
  return n;
}

std::string BuildFieldUpdate(const char* table, std::span<const FieldMapping> fields, std::string_view body,
                             const char* operatorName, const char* idColumn, int64_t id) {
  std::string sql = "UPDATE ";
  sql += table;
  sql += " SET dlastmod=LOCALTIMESTAMP";
  for (const FieldMapping& f : fields) {
    if (!KeyGiven(f.key, body)) continue;
    const std::string value = tw::JsonGetString(f.key, body, f.max, tw::kJsonModeCodePage);
    sql += ',';
    sql += f.column;
    sql += "='";
    sql += tw::SqlEscape(value.c_str());
    sql += '\'';
  }
  sql += ",clastmod='";
  sql += tw::SqlEscape(operatorName);
  sql += "' WHERE ";
  sql += idColumn;
  sql += '=';
  sql += std::to_string(id);
  return sql;
}

int RunUpdate(PoolSlot& slot, const char* sql) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) return kRcDbFailed;
  const SQLRETURN rc = st.ExecDirect(sql);
  if (rc == SQL_NO_DATA) return kUpdateNoRow;
  if (!DbOk(rc)) return kRcDbFailed;
  SQLLEN rows = 0;
  if (!DbOk(SQLRowCount(st.handle(), &rows))) return kRcDbFailed;
  return rows > 0 ? kUpdateTouched : kUpdateNoRow;
}

bool RunUpdateOrReply(CHttpServerContext* pCtxt, PoolSlot& slot, const char* sql) {
  const int updated = RunUpdate(slot, sql);
  if (updated == kUpdateTouched) return true;
  WriteCode(pCtxt, updated == kUpdateNoRow ? kRcNoRecord : kRcDbFailed);
  return false;
}

bool FetchRowOrReply(CHttpServerContext* pCtxt, DbStatement& st, int noRowCode) {
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) {
    WriteCode(pCtxt, noRowCode);
    return false;
  }
  if (!DbOk(rc)) {
    WriteCode(pCtxt, kRcDbFailed);
    return false;
  }
  return true;
}

bool CallIntProcedure(PoolSlot& slot, const char* sql, int32_t* result) {
  *result = 0;
  DbStatement st(slot.hDbc);
  if (!st.ok()) return false;
  st.BindOutInt(1, result);
  if (!DbOk(st.ExecDirect(sql))) {
    *result = 0;
    return false;
  }
  return true;
}

int FindClient(PoolSlot& slot, int32_t icid, const char* account, int32_t* found) {
  *found = 0;
  std::string sql;
  if (icid > 0) {
    sql = "SELECT icid FROM dorvane.dbo.client_arc WHERE icid=" + std::to_string(icid);
  } else if (account != nullptr && account[0] != '\0') {
    if (!IsGbkText(account)) return 0;  // a text the database could not read names no client
    sql =
        "SELECT icid FROM dorvane.dbo.client_arc WHERE caccount='" + tw::SqlEscape(account) + "' ORDER BY icid LIMIT 1";
  } else {
    return 0;
  }
  DbStatement st(slot.hDbc);
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  int32_t id = 0;
  st.BindInt(1, &id);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  if (!DbOk(rc)) return kRcDbFailed;
  *found = id;
  return 1;
}

int64_t ExtractBatchNumber(const char* text) {
  constexpr int kMaxDigits = 18;
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p != '\0' && (*p < '1' || *p > '9')) ++p;
  int64_t value = 0;
  int digits = 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') continue;
    if (++digits > kMaxDigits) return 0;
    value = value * 10 + (*p - '0');
  }
  return value;
}

tw::ShortText BatchDayText(const char* date) {
  const tw::ShortText dotted = tw::NormalizeDateOrToday(date != nullptr ? date : "", true);
  tw::ShortText out{};
  size_t n = 0;
  // "2015.06.01": the century is dropped, then the dots.
  for (const char* p = dotted.text + 2; *p != '\0' && n + 1 < sizeof out.text; ++p) {
    if (*p != '.') out.text[n++] = *p;
  }
  out.text[n] = '\0';
  return out;
}

tw::ShortText TodayDotted() {
  const std::tm tm = LocalNow();
  tw::ShortText out{};
  std::snprintf(out.text, sizeof out.text, "%04d.%02d.%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return out;
}

int32_t TodayNumber() {
  const std::tm tm = LocalNow();
  return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

int DateYear(const char* dbText) {
  int v[6] = {0, 0, 0, 0, 0, 0};
  if (DateNumbers(dbText, v) < 1) return 1900;
  return v[0];
}

tw::ShortText FormatSecondText(const char* dbText) {
  int v[6] = {1900, 1, 1, 0, 0, 0};
  if (DateNumbers(dbText, v) < 3) {
    v[0] = 1900, v[1] = 1, v[2] = 1, v[3] = v[4] = v[5] = 0;
  }
  tw::ShortText out{};
  std::snprintf(out.text, sizeof out.text, "%d-%02d-%02d %02d:%02d:%02d", v[0], v[1], v[2], v[3], v[4], v[5]);
  return out;
}

tw::ShortText FormatMinuteText(const char* dbText) {
  int v[6] = {1900, 1, 1, 0, 0, 0};
  if (DateNumbers(dbText, v) < 3) {
    v[0] = 1900, v[1] = 1, v[2] = 1, v[3] = v[4] = 0;
  }
  tw::ShortText out{};
  std::snprintf(out.text, sizeof out.text, "%d-%02d-%02d %02d:%02d", v[0], v[1], v[2], v[3], v[4]);
  return out;
}

}  // namespace tw::pda
