#pragma once
// The opening of the client's reading requests: the client id and a pool slot.

#include <cstdint>
#include <string_view>

#include "core/extension.h"
#include "core/pool.h"
#include "core/result_codes.h"
#include "util/json.h"

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

}  // namespace tw::entry
