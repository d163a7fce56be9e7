// The send scan ("pdaRecSend"): the last scan before a shipment leaves. The check procedure decides
// whether the shipment may join the supplier's batch and describes it in its text; the shipment is
// costed at the supplier's price when its kind asks for it, and one of the four scan procedures
// records the send. Batch numbers are 64-bit throughout (every batch since 2022 is above 2^31).

#include <cstdio>
#include <cstring>
#include <string>

#include "core/caches.h"
#include "core/db.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/check_text.h"
#include "pda/internal/pda_common.h"
#include "pricing/ems_kind.h"
#include "pricing/ostrum_container.h"
#include "pricing/prices.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"

namespace {

constexpr size_t kNumberMax = 30;
constexpr size_t kBatchMax = 15;
constexpr size_t kBatchLength = 12;
constexpr size_t kKindMax = 15;
constexpr size_t kBearerMax = 30;
constexpr size_t kNextPointMax = 15;
// The check text's output buffer: 1023 characters and the NUL.
constexpr size_t kCheckTextBytes = 1024;

constexpr int kRcSupplierUnknown = -821;
constexpr int kRcBadCheckText = -199;
constexpr int kRcSortingDiffers = -198;
constexpr int kRcKindUnknown = -201;
constexpr int kRcNoSupplierPrice = -202;
constexpr int kRcAreaUnknown = -203;
// The check procedure's own message comes in its text.
constexpr int kProcOwnMessage = -11;

constexpr double kMinWeightKg = 0.001;
constexpr double kMinFee = 0.01;

// The "cMess" of a check refusal.
const char* CheckRefusalText(int result) {
  switch (result) {
    case -2:
      return tw::pda::kMessNoRecord;
    case -3:
      return tw::pda::kMessClientUnknown;
    case -5:
      return tw::pda::kMessAlreadySent;
    case -6:
      return "快件已经核算成本，但不是当前下家。";
    case -7:
      return "服务商没有相关网络的绑定。";
    case -8:
      return "批次号错误,已经被其它服务商使用或它用。";
    case -10:
      return "批次号错误,已经被使用并付款。";
    case -12:
      return "客户不存在。";
    case -13:
      return "客户信用额度不足或且收款周期内无收款。";
    default:
      return tw::pda::kMessSystemError;
  }
}

struct SendRequest {
  int32_t isid = 0;
  char number[kNumberMax + 1] = "";
  char batchText[kBatchMax + 1] = "";
  char kind[kKindMax + 1] = "";
  char bearer[kBearerMax + 1] = "";
  char nextPoint[kNextPointMax + 1] = "";
  double weights = 0;
  bool credit = false;
  bool byServiceNumber = false;
  bool cost = false;
  bool checkWeight = false;
  bool checkDes = false;
  int64_t batch = 0;
};

// The supplier costing's outcome; `done` false keeps the check's amount and cost.
struct Costing {
  bool done = false;
  double cost = 0;
  double amount = 0;
  SupplierPriceQuery q;
};

std::string E(const char* text) { return tw::SqlEscape(text); }

}  // namespace

namespace tw::pda {

void OnPdaRecSend(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  SendRequest r;
  r.isid = tw::JsonGetInt("isID", rq.body, 0);
  if (r.isid <= 0) {
    WriteCode(rq.pCtxt, kRcBadSupplier);
    return;
  }
  tw::JsonGetString("cNum", rq.body, r.number, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(r.number) <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  tw::JsonGetString("cBatch", rq.body, r.batchText, kBatchMax, tw::kJsonModeCodePage);
  if (std::strlen(r.batchText) != kBatchLength) {
    WriteCode(rq.pCtxt, MissingKeyCode(2));
    return;
  }
  tw::JsonGetString("cEmsKind", rq.body, r.kind, kKindMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cBearer", rq.body, r.bearer, kBearerMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cNextPoint", rq.body, r.nextPoint, kNextPointMax, tw::kJsonModeCodePage);
  r.weights = tw::JsonGetDouble("fWeights", rq.body, 0);
  r.credit = tw::JsonGetBool("bCredit", rq.body, 0) != 0;
  r.byServiceNumber = tw::JsonGetBool("bNo", rq.body, 0) != 0;
  r.cost = tw::JsonGetBool("bCost", rq.body, 0) != 0;
  r.checkWeight = tw::JsonGetBool("bCheckWeight", rq.body, 0) != 0;
  r.checkDes = tw::JsonGetBool("bCheckDes", rq.body, 0) != 0;
  r.batch = tw::pda::ExtractBatchNumber(r.batchText);
  const bool extended = r.kind[0] != '\0';

  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& slot = guard.slot();
  const SupplierRecord* supplier = g_OstrumContainer.LoadSupplier(r.isid, slot);
  if (supplier == nullptr) {
    WriteCode(rq.pCtxt, kRcSupplierUnknown);
    return;
  }

  // ---- the check ----
  const int32_t tolerance = r.checkWeight ? g_OstrumContainer.dict39 : -1;
  const std::string kindArg = extended ? "'" + E(r.kind) + "'," : std::string();
  const std::string checkSql =
      StringPrintf("{?=CALL dorvane.dbo.cp_client_rec_send_x_check%s(?,'%s',%s%d,%lld,%.3f,%d,%s,'%s',%s,%d)}",
                   extended ? "_ex" : "", E(r.number).c_str(), kindArg.c_str(), r.isid, static_cast<long long>(r.batch),
                   r.weights, tolerance, r.credit ? "1" : "0", E(user.mcstation).c_str(),
                   g_OstrumContainer.dict64 ? "1" : "0", r.byServiceNumber ? 0 : 1);
  int32_t checkResult = 0;
  char checkText[kCheckTextBytes];
  std::memset(checkText, 0, sizeof checkText);
  {
    DbStatement st(slot.hDbc);
    if (!st.ok()) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    st.BindOutInt(1, &checkResult);
    st.BindOutText(2, checkText, kCheckTextBytes - 1, kCheckTextBytes);
    if (!DbOk(st.ExecDirect(checkSql.c_str())) || checkResult == tw::pda::kProcFailed) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }
  checkText[kCheckTextBytes - 1] = '\0';
  if (checkResult < 1) {
    tw::pda::WriteProcedureRefusal(rq.pCtxt, slot, checkResult, r.number,
                                   checkResult == kProcOwnMessage ? checkText : CheckRefusalText(checkResult));
    return;
  }
  tw::pda::CheckText check;
  if (!tw::pda::ParseCheckText(std::string_view(checkText, strnlen(checkText, kCheckTextBytes - 1)), &check)) {
    WriteCode(rq.pCtxt, kRcBadCheckText);
    return;
  }

  // ---- the sorting, the kind, its supplier price and area ----
  if (r.cost && check.sortingSupplier > 0 && check.sortingSupplier != r.isid) {
    const SupplierRecord* sorting = g_OstrumContainer.LoadSupplier(check.sortingSupplier, slot);
    char mess[192];
    std::snprintf(mess, sizeof mess, "分拣 或 成本优化【下家】不一致！,分拣优化: %s[%u]",
                  sorting != nullptr ? sorting->cname : "", static_cast<unsigned>(check.sortingSupplier));
    tw::pda::WriteRefusal(rq.pCtxt, slot, kRcSortingDiffers, "cNum", r.number, mess);
    return;
  }
  const CEmsKind* kind = g_OstrumContainer.LoadEmsKind(check.line(9).c_str(), slot, kKindByCode);
  if (kind == nullptr) {
    WriteCode(rq.pCtxt, kRcKindUnknown);
    return;
  }
  const SpPriceRecord* spPrice = kind->GetSpPrice(r.isid, slot);
  if (spPrice == nullptr) {
    WriteCode(rq.pCtxt, kRcNoSupplierPrice);
    return;
  }
  if (r.checkDes && kind->GetArea(check.line(2).c_str(), slot) == nullptr) {
    WriteCode(rq.pCtxt, kRcAreaUnknown);
    return;
  }

  // ---- the supplier cost ----
  Costing c;
  c.cost = check.cost;
  c.amount = check.amount;
  if (check.weight >= kMinWeightKg && (check.cost <= 0 || r.cost) && kind->ncost != 0) {
    c.q.kind = kind;
    c.q.supplierId = r.isid;
    tw::CopyTextLimited(c.q.destination, check.line(2).c_str(), sizeof c.q.destination - 1);
    c.q.pieceCount = check.pieces;
    c.q.itemType = static_cast<uint8_t>(check.itemType);
    c.q.customsFlag = static_cast<uint8_t>(check.code & 0xFF);
    c.q.weight = static_cast<int32_t>(tw::ScaleToInt(check.weight, 1000));
    if (g_OstrumContainer.GetSupplierPrice(c.q, 0, slot) == 0) {
      c.done = true;
      c.cost = c.q.total;
      c.amount = c.q.standardPrice;
      if (spPrice->fother >= kMinFee) {
        c.cost += spPrice->fother;
        c.amount += spPrice->fother;
        c.q.fixedFee = spPrice->fother;
      } else {
        c.q.fixedFee = 0;
      }
    }
  }

  // ---- the send ----
  const int32_t day = tw::DayIndex(tw::pda::TodayDotted().text);
  const std::string kindPiece = extended ? "'" + E(r.kind) + "'," : std::string();
  std::string sendSql;
  if (c.done) {
    sendSql = StringPrintf(
        "{?=CALL dorvane.dbo.cp_client_rec_send_scan_1%s(%d,%d,'%s',%s%.2f,'%s',%lld,%d,%.2f,'%s','%s',%.3f,1,%.2f,"
        "%.2f,%.2f,0,0,0,%.2f,%.4f,%.2f)}",
        extended ? "_ex" : "", check.recordId, r.isid, E(supplier->cname).c_str(), kindPiece.c_str(), c.cost,
        E(r.bearer).c_str(), static_cast<long long>(r.batch), day, c.amount, E(user.mcname).c_str(),
        E(r.nextPoint).c_str(), check.weight, c.q.freight, c.q.fuelAmount, c.q.customsFee, c.q.fixedFee, c.q.fuelRate,
        c.q.customsSetting);
  } else {
    sendSql = StringPrintf(
        "{?=CALL dorvane.dbo.cp_client_rec_send_scan_0%s(%d,%d,'%s',%s'%s',%lld,%d,%.2f,'%s','%s',%.3f,1)}",
        extended ? "_ex" : "", check.recordId, r.isid, E(supplier->cname).c_str(), kindPiece.c_str(),
        E(r.bearer).c_str(), static_cast<long long>(r.batch), day, c.amount, E(user.mcname).c_str(),
        E(r.nextPoint).c_str(), check.weight);
  }
  int32_t sent = 0;
  if (!tw::pda::CallIntProcedure(slot, sendSql.c_str(), &sent)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (sent < 1) {
    tw::pda::WriteProcedureRefusal(rq.pCtxt, slot, sent, r.number, tw::pda::SendRefusalText(sent));
    return;
  }

  tw::OutBuf reply = tw::pda::OpenReply(slot);
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", sent).Str("cNum", r.number).Str("cNo", check.line(3).c_str());
  f.Str("cDes", check.line(2).c_str()).Str("cEmsKind", check.line(9).c_str()).Real("fWeights", check.weight, 3);
  f.Int("nItemType", check.itemType).Int("iItem", check.pieces).Str("cAWB", check.line(17).c_str());
  f.Str("cGoods", check.line(23).c_str()).Str("cPacking", check.line(21).c_str());
  f.Str("cTransNote", check.line(22).c_str()).Str("cMark", check.line(19).c_str());
  f.Str("cMemo", check.line(24).c_str());
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
