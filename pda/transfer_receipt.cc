// Transfer parcels arriving at a station: received against a known transfer, stored as the
// transfer of a client who announced none, or kept as unclaimed ("pdaTransRcv"); and put on a shelf
// ("pdaTransShelfPut"). A scanned number N matches the transfers numbered N and "N-<part>" (split
// parcels) that are not yet shipment records.

#include <cstring>
#include <string>

#include "core/caches.h"
#include "core/db.h"
#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/pda_common.h"
#include "pricing/depot_settings.h"
#include "util/escape.h"
#include "util/json.h"

namespace {

constexpr size_t kNumberMax = 30;
constexpr size_t kShelfMax = 30;
constexpr size_t kMemoMax = 254;
constexpr size_t kMarkMax = 15;
constexpr size_t kKindMax = 15;
// The memo of an unclaimed parcel takes the kind and the mark while it stays below this.
constexpr size_t kMemoAppendLimit = 250;
constexpr int32_t kSideMax = 999;
constexpr int kReceiptYearAfter = 2000;

constexpr int kRcStationDiffers = -15;
constexpr int kRcReceivedAlready = -16;

// The transfers a scanned number matches, the unreceived first (a transfer never received has no
// receipt time), then the oldest receipt.
std::string NumberCondition(const std::string& number) {
  return "a.irid=0 AND (a.cf_num='" + tw::SqlEscape(number.c_str()) + "' OR a.cf_num LIKE '" +
         tw::MakeLikePattern(number.c_str(), -1) + "-%')";
}
constexpr char kCandidateOrder[] = " ORDER BY a.drdate NULLS FIRST,a.iid LIMIT 1";

constexpr char kReceiptSql[] =
    "SELECT a.iid,a.biid,a.icid,a.irid,a.nitemtype,a.fweight,a.famount,a.ddate,a.nstate,a.cmemo,a.iitem,a.fgoods,"
    "a.fgoodsc,a.cgoods,a.iquantity,a.iprice,a.cmoney,a.cpacking,a.ctransnote,a.idvalue,a.iivalue,a.cf_emskind,"
    "a.cf_num,a.cpaydir,a.cmark,a.drdate,a.crname,a.nopen,a.cshelf,a.cstationr,a.cex1,a.cex2,a.cex3,a.icubic,a.il,"
    "a.iw,a.ih,b.cemail FROM dorvane.dbo.rec_trans AS a INNER JOIN dorvane.dbo.client_arc AS b ON(a.icid=b.icid) "
    "WHERE ";

constexpr char kShelfSql[] =
    "SELECT a.iid,a.icid,a.irid,a.fweight,a.cgoods,a.iquantity,a.iprice,a.cmoney,a.cpacking,a.ctransnote,a.idvalue,"
    "a.iivalue,a.cf_emskind,a.cf_num,a.cstationr,a.cmemo,a.cshelf FROM dorvane.dbo.rec_trans AS a INNER JOIN "
    "dorvane.dbo.client_arc AS b ON(a.icid=b.icid) WHERE ";

// The columns of a found transfer that the handlers use (the others are selected and unused).
struct FoundTransfer {
  int32_t iid = 0, icid = 0;
  DbText<254> cmemo = "";
  DbText<15> cf_emskind = "";
  DbText<15> cmark = "";
  DbText<31> drdate = "";
  DbText<32> crname = "";
  DbText<30> cshelf = "";
  DbText<15> cstationr = "";
};

// Binds the receipt statement's columns: the used ones into t, the rest into scratch.
struct ReceiptScratch {
  int32_t i = 0;
  double d = 0;
  int64_t l = 0;
  DbText<254> text = "";
};

void BindReceipt(DbStatement& st, FoundTransfer& t, ReceiptScratch& s) {
  DbColumns b(st);
  b.Int(t.iid).Int(s.i).Int(t.icid).Int(s.i).Int(s.i).Double(s.d).Double(s.d).Text(s.text).Int(s.i).Text(t.cmemo);
  b.Int(s.i).Double(s.d).Double(s.d).Text(s.text).Int(s.i).Int64(s.l).Text(s.text).Text(s.text).Text(s.text);
  b.Int64(s.l).Int64(s.l).Text(t.cf_emskind).Text(s.text).Text(s.text).Text(t.cmark).Text(t.drdate).Text(t.crname);
  b.Int(s.i).Text(t.cshelf).Text(t.cstationr).Text(s.text).Text(s.text).Text(s.text).Int(s.i).Int(s.i).Int(s.i);
  b.Int(s.i).Text(s.text);
}

void BindShelf(DbStatement& st, FoundTransfer& t, ReceiptScratch& s) {
  DbColumns b(st);
  b.Int(t.iid).Int(t.icid).Int(s.i).Double(s.d).Text(s.text).Int(s.i).Int64(s.l).Text(s.text).Text(s.text);
  b.Text(s.text).Int64(s.l).Int64(s.l).Text(t.cf_emskind).Text(s.text).Text(t.cstationr).Text(t.cmemo);
  b.Text(t.cshelf);
}

// Finds the first matching transfer. Returns 1 (found), 0 (none) or -9.
template <typename Bind>
int FindTransfer(PoolSlot& slot, const char* head, const std::string& number, int32_t icid, FoundTransfer& t,
                 Bind bind) {
  std::string sql = head + NumberCondition(number);
  if (icid > 0) sql += " AND a.icid=" + std::to_string(icid);
  sql += kCandidateOrder;
  DbStatement st(slot.hDbc);
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  ReceiptScratch scratch;
  bind(st, t, scratch);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  return DbOk(rc) ? 1 : kRcDbFailed;
}

int32_t ClampSide(int32_t v) { return v < 0 ? 0 : v > kSideMax ? kSideMax : v; }

// The refusal texts of the three receipt procedures.
const char* ReceiveRefusalText(int result) {
  switch (result) {
    case -4:
      return "快件已经打包发送。";
    case -3:
      return "没有改变状态。";
    case -2:
      return tw::pda::kMessNoRecord;
    default:
      return tw::pda::kMessSystemError;
  }
}
const char* NoClaimRefusalText(int result) {
  switch (result) {
    case -4:
      return "数据无效。";
    case -2:
      return tw::pda::kMessNoRecord;
    case -1:
      return "同样号码的运单(未认领)已经存在。";
    default:
      return tw::pda::kMessSystemError;
  }
}
const char* CreateRefusalText(int result) { return result == -1 ? "运单号重复。" : tw::pda::kMessSystemError; }

// The scanned number as stored, from the request's "cNo".
std::string ReadScannedNumber(const char* body) {
  char raw[kNumberMax + 1];
  tw::JsonGetString("cNo", body, raw, kNumberMax, tw::kJsonModeCodePage);
  return NormalizeScannedNumber(raw);
}

}  // namespace

namespace tw::pda {

void OnPdaTransRcv(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  const std::string number = ReadScannedNumber(rq.body);
  if (number.size() <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t icid = tw::JsonGetInt("icID", rq.body, 0);
  const int32_t length = ClampSide(tw::JsonGetInt("iLong", rq.body, 0));
  const int32_t width = ClampSide(tw::JsonGetInt("iWidth", rq.body, 0));
  const int32_t height = ClampSide(tw::JsonGetInt("iHeight", rq.body, 0));
  const double weight = tw::JsonGetDouble("fWeight", rq.body, 0);
  char shelf[kShelfMax + 1], mark[kMarkMax + 1], kind[kKindMax + 1];
  tw::JsonGetString("cShelf", rq.body, shelf, kShelfMax, tw::kJsonModeCodePage);
  std::string memo = tw::JsonGetString("cMemo", rq.body, kMemoMax, tw::kJsonModeCodePage);
  int32_t items = tw::JsonGetInt("iItem", rq.body, 0);
  if (items < 1) items = 1;
  tw::JsonGetString("cMark", rq.body, mark, kMarkMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cEmsKind_f", rq.body, kind, kKindMax, tw::kJsonModeCodePage);
  const int32_t volume = length * width * height;  // at most 999^3: within the int range

  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& slot = guard.slot();
  FoundTransfer t;
  const int found = FindTransfer(slot, kReceiptSql, number, icid, t, BindReceipt);
  if (found < 0) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  std::string replyKind = kind, replyMark = mark;
  const std::string num = tw::SqlEscape(number.c_str());
  const std::string op = tw::SqlEscape(user.mcname), station = tw::SqlEscape(user.mcstation);
  std::string sql;
  const char* (*refusalText)(int) = nullptr;
  if (found > 0) {
    if (tw::pda::StationDiffers(user, t.cstationr)) {
      WriteCode(rq.pCtxt, kRcStationDiffers);
      return;
    }
    if (t.crname[0] != '\0' && tw::pda::DateYear(t.drdate) > kReceiptYearAfter) {
      WriteCode(rq.pCtxt, kRcReceivedAlready);
      return;
    }
    // The transfer's own mark and kind serve the reply only.
    if (t.cmark[0] != '\0') replyMark = t.cmark;
    if (t.cf_emskind[0] != '\0') replyKind = t.cf_emskind;
    sql = StringPrintf("{?=CALL dorvane.dbo.cp_rec_trans_receive_set(%d,%d,%.3f,'%s','%s',%d,'%s','%s',%d,%d,%d,%d)}",
                       t.iid, 1, weight, op.c_str(), tw::SqlEscape(memo.c_str()).c_str(), items,
                       tw::SqlEscape(shelf).c_str(), station.c_str(), volume, static_cast<int16_t>(length),
                       static_cast<int16_t>(width), static_cast<int16_t>(height));
    refusalText = ReceiveRefusalText;
  } else if (icid < 1) {
    // An unclaimed parcel keeps its kind and mark in the memo.
    if (kind[0] != '\0' && std::strlen(kind) + memo.size() < kMemoAppendLimit) memo += std::string("|") + kind;
    if (mark[0] != '\0' && std::strlen(mark) + memo.size() < kMemoAppendLimit) memo += std::string("|") + mark;
    sql =
        StringPrintf("{?=CALL dorvane.dbo.cp_rec_trans_noclaim_set(0,'%s',%.3f,0,'%s','%s',%d,'%s','%s',%d,%d,%d,%d)}",
                     num.c_str(), weight, op.c_str(), tw::SqlEscape(memo.c_str()).c_str(), items,
                     tw::SqlEscape(shelf).c_str(), station.c_str(), volume, length, width, height);
    refusalText = NoClaimRefusalText;
  } else {
    sql = StringPrintf(
        "{?=CALL dorvane.dbo.cp_rec_trans_set_ems(%d,%.3f,%d,'',1,'%s','%s','%s','%s',0,'%s','%s',0,0,0,0,0,'','','',1,"
        "'%s','','','','',0,0,%d,%d,%d,%d)}",
        icid, weight, items, tw::SqlEscape(kind).c_str(), num.c_str(), tw::SqlEscape(mark).c_str(),
        tw::SqlEscape(memo.c_str()).c_str(), op.c_str(), station.c_str(), tw::SqlEscape(shelf).c_str(), volume, length,
        width, height);
    refusalText = CreateRefusalText;
  }
  int32_t result = 0;
  if (!tw::pda::CallIntProcedure(slot, sql.c_str(), &result)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (result < 0) {
    tw::pda::WriteHandlerRefusal(rq.pCtxt, slot, number.c_str(), refusalText(result), "cNo");
    return;
  }
  tw::OutBuf reply = tw::pda::OpenReply(slot);
  reply.AppendChar('{');
  CJsonFields(reply)
      .Int("ReturnValue", found > 0 ? t.iid : result)
      .Str("cNo", number.c_str())
      .Int("icID", found > 0 ? t.icid : 0)
      .Str("cEmsKind_f", replyKind.c_str())
      .Str("cMark", replyMark.c_str())
      .Str("cMemo", found > 0 && t.cmemo[0] != '\0' ? t.cmemo : memo.c_str());
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

void OnPdaTransShelfPut(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  const std::string number = ReadScannedNumber(rq.body);
  if (number.size() <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t icid = tw::JsonGetInt("icID", rq.body, 0);
  char shelf[kShelfMax + 1];
  tw::JsonGetString("cShelf", rq.body, shelf, kShelfMax, tw::kJsonModeCodePage);
  if (shelf[0] == '\0') {
    WriteCode(rq.pCtxt, MissingKeyCode(2));
    return;
  }
  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& slot = guard.slot();
  FoundTransfer t;
  const int found = FindTransfer(slot, kShelfSql, number, icid, t, BindShelf);
  if (found <= 0) {
    WriteCode(rq.pCtxt, found < 0 ? kRcDbFailed : tw::pda::kRcNoRecord);
    return;
  }
  if (tw::pda::StationDiffers(user, t.cstationr)) {
    WriteCode(rq.pCtxt, kRcStationDiffers);
    return;
  }
  const std::string sql =
      StringPrintf("UPDATE dorvane.dbo.rec_trans SET cshelf='%s' WHERE iid=%d", tw::SqlEscape(shelf).c_str(), t.iid);
  if (!tw::pda::RunUpdateOrReply(rq.pCtxt, slot, sql.c_str())) return;
  tw::OutBuf reply = tw::pda::OpenReply(slot);
  reply.AppendChar('{');
  CJsonFields(reply)
      .Int("ReturnValue", t.iid)
      .Str("cNo", number.c_str())
      .Str("cShelf_o", t.cshelf)
      .Str("cShelf", shelf)
      .Int("icID", t.icid)
      .Str("cEmsKind_f", t.cf_emskind)
      .Str("cMemo", t.cmemo);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
