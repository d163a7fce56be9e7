#pragma once
// The opening of the client's reading requests (the client id and a pool slot) and the reading of
// the one row that a one-record request answers.

#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/db.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/client_codes.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/outbuf.h"

namespace tw::entry {

// OpenClientRead: reads "icID" into *icid and takes a pool slot into `slot` unless it holds one
// already (the door's). False, with the refusal written, when "icID" is missing or not positive
// (badClientCode) or no slot is free ("-9999").
inline bool OpenClientRead(CHttpServerContext* pCtxt, std::string_view body, int badClientCode, int32_t* icid,
                           PoolSlotGuard& slot) {
  *icid = tw::JsonGetInt("icID", body, 0);
  if (*icid <= 0) {
    WriteCode(pCtxt, badClientCode);
    return false;
  }
  if (!slot.ok() && !slot.Acquire()) {
    WriteCode(pCtxt, kRcNoConnection);
    return false;
  }
  return true;
}

// OpenRecordRead: as OpenClientRead for a request that names one record by its id ("idKey", taken
// when 1 or more) or else by its number ("cNum", at most numberMax bytes into number, which holds
// numberMax + 1). Between the client id and the slot it refuses kRcNoLookupKey when there is no id
// and the number is shorter than minNumber, and kRcRecordNotFound for a number that is not GBK text
// (no stored number reads so).
inline bool OpenRecordRead(CHttpServerContext* pCtxt, std::string_view body, const char* idKey, size_t numberMax,
                           size_t minNumber, int32_t* icid, int32_t* id, char* number, PoolSlotGuard& slot) {
  *icid = tw::JsonGetInt("icID", body, 0);
  if (*icid <= 0) {
    WriteCode(pCtxt, kRcBadClientId);
    return false;
  }
  *id = tw::JsonGetInt(idKey, body, 0);
  tw::JsonGetString("cNum", body, number, numberMax, tw::kJsonModeCodePage);
  if (*id < 1 && std::strlen(number) < minNumber) {
    WriteCode(pCtxt, kRcNoLookupKey);
    return false;
  }
  if (*id < 1 && !IsGbkText(number)) {
    WriteCode(pCtxt, kRcRecordNotFound);
    return false;
  }
  if (!slot.ok() && !slot.Acquire()) {
    WriteCode(pCtxt, kRcNoConnection);
    return false;
  }
  return true;
}

// AppendRecordKey: the condition that picks the record OpenRecordRead named: "idColumn=id" or
// "numberColumn='number'" (escaped).
inline void AppendRecordKey(tw::OutBuf& sql, const char* idColumn, const char* numberColumn, int32_t id,
                            const char* number) {
  if (id >= 1) {
    sql.Printf("%s=%d", idColumn, id);
    return;
  }
  sql.Append(numberColumn);
  sql.Append("='");
  sql.Append(tw::SqlEscape(number));
  sql.AppendChar('\'');
}

// ReadOneRow: runs the statement in sql on the slot's connection (a text that overflowed its buffer
// does not run), binds its columns by bind(statement) and fetches the first row into them. Returns
// kRcOk, else the code to answer: kRcRecordNotFound without a row, kRcDbFailed when the statement
// or the fetch failed.
template <typename BindColumns>
[[nodiscard]] int ReadOneRow(PoolSlot& slot, const tw::OutBuf& sql, BindColumns bind) {
  DbStatement st(slot.hDbc);
  if (sql.overflowed() || !st.ok() || !DbOk(st.ExecDirect(sql.data()))) return kRcDbFailed;
  bind(st);
  const SQLRETURN rc = st.Fetch();
  if (!DbOk(rc)) return rc == SQL_NO_DATA ? kRcRecordNotFound : kRcDbFailed;
  return kRcOk;
}

}  // namespace tw::entry
