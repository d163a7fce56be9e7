// Events the PDA records on a shipment number: a pickup from a client ("pdaRecPickup") and a
// tracking event on a shipment record, an export bag or an air waybill ("pdaRecTrackInfo").

#include <cstring>
#include <string>

#include "core/caches.h"
#include "core/db.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/pda_common.h"
#include "util/escape.h"
#include "util/json.h"

namespace {

constexpr size_t kNumberMax = 30;
constexpr size_t kAccountMax = 30;
constexpr size_t kMemoMax = 254;
constexpr size_t kDateMax = 30;
constexpr size_t kPlaceMax = 128;
constexpr size_t kInfoMax = 254;

// Tracking numbers must be longer than this.
constexpr size_t kTrackNumberMin = 3;
// A date shorter than this stands for the server's time.
constexpr size_t kTrackDateMin = 8;
constexpr int32_t kPosMax = 90;

constexpr char kMessPickupTwice[] = "相同运单号的取件记录已经存在。";
constexpr int kProcPickupTwice = -1;

// The procedure and source tag of each number type: 3 air waybill, 2 export bag, else shipment record.
struct TrackSource {
  const char* suffix;
  const char* tag;
};

TrackSource ChooseTrackSource(int32_t type) {
  if (type == 3) return {"awb", "PDA-Awb"};
  if (type == 2) return {"xbag", "PDA-xBag"};
  return {"rec", "PDA-Rec"};
}

}  // namespace

namespace tw::pda {

void OnPdaRecPickup(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  char number[kNumberMax + 1];
  tw::JsonGetString("cNum", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(number) <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t icid = tw::JsonGetInt("icID", rq.body, 0);
  char account[kAccountMax + 1];
  tw::JsonGetString("cAccount", rq.body, account, kAccountMax, tw::kJsonModeCodePage);
  if (icid <= 0 && account[0] == '\0') {
    WriteCode(rq.pCtxt, MissingKeyCode(2));
    return;
  }
  char memo[kMemoMax + 1];
  tw::JsonGetString("cMemo", rq.body, memo, kMemoMax, tw::kJsonModeCodePage);

  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  int32_t client = 0;
  const int found = tw::pda::FindClient(slot.slot(), icid, account, &client);
  if (found < 0) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (found == 0) {
    WriteCode(rq.pCtxt, kRcNoClientKey);
    return;
  }
  const std::string sql =
      StringPrintf("{?=CALL dorvane.dbo.cp_client_rec_pick_add(%d,'%s','%s','%s')}", client,
                   tw::SqlEscape(number).c_str(), tw::SqlEscape(user.mcname).c_str(), tw::SqlEscape(memo).c_str());
  int32_t result = 0;
  if (!tw::pda::CallIntProcedure(slot.slot(), sql.c_str(), &result)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (result < 0) {
    tw::pda::WriteHandlerRefusal(rq.pCtxt, slot.slot(), number,
                                 result == kProcPickupTwice ? kMessPickupTwice : tw::pda::kMessSystemError);
    return;
  }
  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields(reply).Int("ReturnValue", result).Int("icID", client).Str("cNum", number);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

void OnPdaRecTrackInfo(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  char number[kNumberMax + 1];
  tw::JsonGetString("cNumber", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(number) <= kTrackNumberMin) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t type = tw::JsonGetInt("nNumberType", rq.body, 0);
  int32_t pos = tw::JsonGetInt("nPosB", rq.body, 0);
  if (pos > kPosMax) pos = kPosMax;  // a negative position goes on as read
  char info[kInfoMax + 1];
  tw::JsonGetString("cInfo", rq.body, info, kInfoMax, tw::kJsonModeCodePage);
  if (info[0] == '\0') {
    WriteCode(rq.pCtxt, MissingKeyCode(2));
    return;
  }
  const bool sysDate = tw::JsonGetBool("bSysDate", rq.body, 0) != 0;
  char date[kDateMax + 1], place[kPlaceMax + 1], placeE[kPlaceMax + 1], infoE[kInfoMax + 1];
  tw::JsonGetString("cDate", rq.body, date, kDateMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cPlace", rq.body, place, kPlaceMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cPlaceE", rq.body, placeE, kPlaceMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cInfoE", rq.body, infoE, kInfoMax, tw::kJsonModeCodePage);
  const bool serverTime = sysDate || std::strlen(date) < kTrackDateMin;

  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  const TrackSource source = ChooseTrackSource(type);
  std::string sql = StringPrintf(
      "{?=CALL dorvane.dbo.cp_pda_track_info_%s('%s',%d,'%s','',%d,'%s','%s','%s','%s','%s','%s','%s',%d",
      source.suffix, tw::SqlEscape(number).c_str(), serverTime ? 1 : 0, tw::SqlEscape(user.mcstation).c_str(), 0,
      tw::SqlEscape(date).c_str(), tw::SqlEscape(place).c_str(), tw::SqlEscape(info).c_str(),
      tw::SqlEscape(placeE).c_str(), tw::SqlEscape(infoE).c_str(), tw::SqlEscape(user.mcname).c_str(), source.tag, pos);
  if (type == 0) sql += ",0";
  if (type == 1) sql += ",1";
  sql += ")}";
  int32_t result = 0;
  if (!tw::pda::CallIntProcedure(slot.slot(), sql.c_str(), &result)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  // The result is signed: a refusal of -1 must not read as a large success.
  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields(reply).Int("ReturnValue", result).Int("iNumberType", type).Str("cNumber", number);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
