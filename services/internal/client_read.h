#pragma once
// The opening of the client's reading requests (the client id and a pool slot) and the reading of
// the one row that a one-record request answers.

#include <cstdint>
#include <string_view>

#include "core/db.h"
#include "core/extension.h"
#include "core/pool.h"
#include "core/result_codes.h"
#include "services/client_codes.h"
#include "util/json.h"
#include "util/outbuf.h"

namespace tw::entry {

// OpenClientRead: reads "icID" into *icid and takes a pool slot into `slot`. False, with the refusal
// written, when "icID" is missing or not positive (badClientCode) or no slot is free ("-9999").
inline bool OpenClientRead(CTarnwickExtension& ext, CHttpServerContext* pCtxt, std::string_view body,
                           int badClientCode, int32_t* icid, PoolSlotGuard& slot) {
  *icid = tw::JsonGetInt("icID", body, 0);
  if (*icid <= 0) {
    ext.WriteCode(pCtxt, badClientCode);
    return false;
  }
  if (!slot.Acquire()) {
    ext.WriteCode(pCtxt, kRcNoConnection);
    return false;
  }
  return true;
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
