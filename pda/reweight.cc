// "pdaRecReWeight": a PDA operator weighs (and measures) a stored shipment record again. Records
// whose money has moved are refused; the pieces are rebuilt (from the request, the stored piece
// rows or the record's sides), the chargeable weight and the client price computed again, and
// cp_client_rec_reweight_ex stores the weights, amount, fees and piece rows.

#include <cstdio>
#include <cstring>
#include <string>

#include "core/config.h"
#include "core/db.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/entry_sql.h"
#include "pda/internal/entry_steps.h"
#include "pda/internal/pda_common.h"
#include "pricing/goods_list.h"
#include "pricing/ostrum_container.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"

namespace {

constexpr char kLogCategory[] = "TARNWICK";
constexpr size_t kNumberMax = 30;
constexpr size_t kNumberMinLength = 7;
constexpr double kMinKg = 0.001;
constexpr int kAuditYear = 2001;

// The record as the re-weighing reads it.
struct RecordRow {
  int32_t icid = 0, nitemtype = 0, nlanguage = 0;
  char cemskind[32] = "";
  char cdes[128] = "";
  double fweight = 0, famount = 0, fcost = 0;
  char ddate[32] = "";
  int32_t nstate = 0;
  double fsprice = 0;
  int32_t ifid = 0;
  double fweights = 0;
  char ctaker[64] = "";
  char cnum[64] = "";
  char caddrfrom[128] = "";
  char clwh[64] = "";
  double fweightb = 0;
  int32_t iitem = 0;
  double fsprices = 0, fabase = 0, faaddon = 0, facustom = 0, faother = 0, faaddrate = 0, faget = 0, facarry = 0,
         fasafe = 0, fapack = 0, fabaserate = 0, foprice = 0;
  int32_t ipid = 0, iiid = 0, iqid = 0, irid = 0, ifsid = 0, ifcid = 0;
  char cserviceno[64] = "";
  int64_t icubic = 0;
  double facheck = 0, faremote = 0, faby = 0, fdiscount = 0;
  char dfeeaud[32] = "";
  char cgoods[512] = "";
  int32_t ncs = 0;
  double focustomc = 0;
};

// Binds the columns of the record statement in its order.
void BindRecord(DbStatement& st, RecordRow& r) {
  SQLUSMALLINT c = 0;
  auto text = [&](char* buf, size_t size) { st.BindText(++c, buf, size); };
  auto integer = [&](int32_t* v) { st.BindInt(++c, v); };
  auto real = [&](double* v) { st.BindDouble(++c, v); };
  integer(&r.icid);
  integer(&r.nitemtype);
  integer(&r.nlanguage);
  text(r.cemskind, sizeof r.cemskind);
  text(r.cdes, sizeof r.cdes);
  real(&r.fweight);
  real(&r.famount);
  real(&r.fcost);
  text(r.ddate, sizeof r.ddate);
  integer(&r.nstate);
  real(&r.fsprice);
  integer(&r.ifid);
  real(&r.fweights);
  text(r.ctaker, sizeof r.ctaker);
  text(r.cnum, sizeof r.cnum);
  text(r.caddrfrom, sizeof r.caddrfrom);
  text(r.clwh, sizeof r.clwh);
  real(&r.fweightb);
  integer(&r.iitem);
  for (double* v : {&r.fsprices, &r.fabase, &r.faaddon, &r.facustom, &r.faother, &r.faaddrate, &r.faget, &r.facarry,
                    &r.fasafe, &r.fapack, &r.fabaserate, &r.foprice}) {
    real(v);
  }
  for (int32_t* v : {&r.ipid, &r.iiid, &r.iqid, &r.irid, &r.ifsid, &r.ifcid}) integer(v);
  text(r.cserviceno, sizeof r.cserviceno);
  st.BindInt64(++c, &r.icubic);
  for (double* v : {&r.facheck, &r.faremote, &r.faby, &r.fdiscount}) real(v);
  text(r.dfeeaud, sizeof r.dfeeaud);
  text(r.cgoods, sizeof r.cgoods);
  integer(&r.ncs);
  real(&r.focustomc);
}

// The first refusal the record meets, in the order the business checks them; null when none.
const char* MoneyRefusal(const RecordRow& r) {
  if (tw::pda::DateYear(r.dfeeaud) >= kAuditYear) return "已对客户费用核对。";
  if (r.iiid >= 1) return "已经开具发票/收据";
  if (r.iqid >= 1) return "已经开具支票付款";
  if (r.ifid >= 1) return "已经对客户核收";
  if (r.ipid >= 1) return "已经对下家核付";
  if (r.ifcid > 0) return "已经向客户返款";
  if (r.ifsid > 0) return "已经从下家回款";
  return nullptr;
}

}  // namespace

namespace tw::pda {

void OnPdaRecReWeight(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  char cNum[kNumberMax + 1];
  tw::JsonGetString("cNum", rq.body, cNum, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(cNum) <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  int32_t iItem = tw::JsonGetInt("iItem", rq.body, 0);
  const double requestKg = tw::JsonGetDouble("fWeight", rq.body, 0);
  const bool bNo = tw::JsonGetBool("bNo", rq.body, 0) != 0;
  const bool bKindC = tw::JsonGetBool("bEmsKindc", rq.body, 0) != 0;
  const bool bPriceCalc = tw::JsonGetBool("bPriceCalc", rq.body, 1) != 0;
  char cTaker[kNumberMax + 1], cNo[kNumberMax + 1];
  tw::JsonGetString("cTaker", rq.body, cTaker, kNumberMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cNo", rq.body, cNo, kNumberMax, tw::kJsonModeCodePage);
  StripQuotesAndTrim(cNo);

  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& slot = guard.slot();

  // ---- the record ----
  std::string sql = StringPrintf(
      "SELECT a.icid,a.nitemtype,a.nlanguage,a.cemskind%s,a.cdes,a.fweight,a.famount,a.fcost,a.ddate,a.nstate,"
      "a.fsprice,a.ifid,a.fweights,a.ctaker,a.cnum,a.caddrfrom,a.clwh,a.fweightb,a.iitem,a.fsprices,a.fabase,"
      "a.faaddon,a.facustom,a.faother,a.faaddrate,a.faget,a.facarry,a.fasafe,a.fapack,a.fabaserate,a.foprice,"
      "a.ipid,a.iiid,a.iqid,a.irid,a.ifsid,a.ifcid,a.cserviceno,a.icubic,a.facheck,a.faremote,a.faby,a.fdiscount,"
      "a.dfeeaud,a.cgoods,b.nstate AS ncs,a.focustomc FROM dorvane.dbo.client_rec AS a INNER JOIN "
      "dorvane.dbo.client_arc AS b ON(a.icid=b.icid) WHERE ",
      bKindC ? "c" : "");
  // Newest first either way: the table may hold older records of the same number.
  sql += (bNo ? "a.cserviceno='" : "a.cnum='") + tw::SqlEscape(cNum) + "' ORDER BY a.irid DESC LIMIT 1";
  RecordRow r;
  {
    DbStatement st(slot.hDbc);
    if (!st.ok()) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    BindRecord(st, r);
    if (!DbOk(st.ExecDirect(sql.c_str()))) {
      WriteLog(st.Diagnostic().c_str(), kLogCategory);
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    if (!tw::pda::FetchRowOrReply(rq.pCtxt, st, -2)) return;
  }

  // ---- refusals ----
  if (r.nstate >= 1) {
    tw::pda::WriteHandlerRefusal(rq.pCtxt, slot, cNum, "该业务记录已经发送，不能复重核价。");
    return;
  }
  const CEmsKind* kind = g_OstrumContainer.LoadEmsKind(r.cemskind, slot, kKindByCode);
  if (kind == nullptr) {
    char mess[128];
    std::snprintf(mess, sizeof mess, "该业务记录所属快递类别不存在[%s]。", r.cemskind);
    tw::pda::WriteHandlerRefusal(rq.pCtxt, slot, cNum, mess);
    return;
  }
  if (const char* why = MoneyRefusal(r); why != nullptr) {
    tw::pda::WriteHandlerRefusal(rq.pCtxt, slot, cNum, why);
    return;
  }
  if (iItem < 1) iItem = r.iitem;

  // ---- pieces and weight ----
  PieceList pieces;
  const tw::entry::GoodsListText items = tw::entry::FindObjectList("ItemList", rq.body);
  if (!items.list.empty()) ParsePieceItems(pieces, items.list);
  if (pieces.empty()) {
    char stored[160];
    if (!FormatSql(stored, sizeof stored,
                   "SELECT ilong,iwidth,iheight,iweight,npercent,wpos FROM dorvane.dbo.client_rec_weight_detail "
                   "WHERE irid=%d ORDER BY wpos ",
                   r.irid) ||
        tw::pda::ReadStoredPieces(slot, stored, false, pieces) < 0) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }
  if (pieces.empty() && r.clwh[0] != '\0') {
    AddPieceFromDimensions(pieces, r.clwh, requestKg < kMinKg ? r.fweight : requestKg);
  }
  tw::pda::WeighOutcome w;
  tw::pda::WeighPieces(*kind, pieces, requestKg, r.fweight, w);
  std::string detail;
  if (pieces.size() > 1) {
    detail = tw::pda::BuildWeightDetailInsert(pieces, static_cast<size_t>(iItem), std::to_string(r.irid));
  }

  // ---- price ----
  tw::pda::RecordFees fees;
  fees.famount = r.famount;
  fees.fsprice = r.fsprice;
  fees.faother = r.faother;
  fees.faaddrate = r.faaddrate;
  fees.fabase = r.fabase;
  fees.faaddon = r.faaddon;
  fees.facustom = r.facustom;
  fees.foprice = r.foprice;
  fees.fdiscount = r.fdiscount;
  fees.focustomc = r.focustomc;
  fees.fapack = r.fapack;
  fees.fasafe = r.fasafe;
  fees.facarry = r.facarry;
  fees.faget = r.faget;
  fees.faby = r.faby;
  fees.faremote = r.faremote;
  fees.facheck = r.facheck;
  tw::pda::RepriceQuery q;
  q.kind = kind;
  q.clientId = r.icid;
  q.recordId = r.irid;
  q.origin = r.caddrfrom;
  q.destination = r.cdes;
  q.pieceCount = iItem;
  q.weightKg = w.weight;
  q.bActiveClient = r.ncs == 0;
  q.itemType = r.nitemtype;
  q.customsFlag = r.nlanguage;
  (void)tw::pda::PriceAgain(q, bPriceCalc, slot, fees);

  // ---- storing ----
  tw::pda::ReweightValues v;
  v.irid = r.irid;
  v.icid = r.icid;
  v.fweight = w.weight;
  v.famount = fees.famount;
  v.opname = user.mcname;
  v.fsprice = fees.fsprice;
  v.ctaker = cTaker;
  v.clwh = w.dims.c_str();
  v.fweights = w.recordWeight;
  v.fweightb = w.realKg;
  v.iitem = iItem;
  v.fsprices = r.fsprices;
  v.fabase = fees.fabase;
  v.faaddon = fees.faaddon;
  v.facustom = fees.facustom;
  v.faother = fees.faother;
  v.faaddrate = fees.faaddrate;
  v.faget = fees.faget;
  v.facarry = fees.facarry;
  v.fasafe = fees.fasafe;
  v.fapack = fees.fapack;
  v.fabaserate = r.fabaserate;
  v.foprice = fees.foprice;
  v.icubic = tw::pda::VolumeCm3(w.cubicMetres);
  v.pieces = detail;
  v.facheck = fees.facheck;
  v.faremote = fees.faremote;
  v.faby = fees.faby;
  v.fdiscount = fees.fdiscount;
  v.focustomc = fees.focustomc;
  int32_t result = 0;
  if (!tw::pda::CallIntProcedure(slot, tw::pda::BuildReweightCall(v).c_str(), &result)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (result < 1) {
    tw::pda::WriteProcedureRefusal(rq.pCtxt, slot, result, cNum, tw::pda::SendRefusalText(result));
    return;
  }

  // A carrier number sent with the weighing replaces the record's; one that another record has
  // already is not stored, and the reply names the number the record keeps.
  const char* replyNo = r.cserviceno;
  if (std::strlen(cNo) >= kNumberMinLength) {
    const std::string no = tw::SqlEscape(cNo);
    const std::string update = StringPrintf(
        "UPDATE dorvane.dbo.client_rec SET cserviceno='%s' WHERE irid=%d AND NOT EXISTS (SELECT 1 FROM "
        "dorvane.dbo.client_rec WHERE cserviceno='%s' AND irid<>%d)",
        no.c_str(), r.irid, no.c_str(), r.irid);
    if (tw::pda::RunUpdate(slot, update.c_str()) == tw::pda::kUpdateTouched) {
      replyNo = cNo;
    } else {
      WriteLog(("pdaRecReWeight kept the number of " + std::to_string(r.irid) + ", not " + cNo).c_str(), kLogCategory);
    }
  }

  tw::OutBuf reply = tw::pda::OpenReply(slot);
  reply.AppendChar('{');
  CJsonFields(reply)
      .Int("ReturnValue", result)
      .Int("irID", r.irid)
      .Str("cNum", r.cnum)
      .Str("cNo", replyNo)
      .Str("cDes", r.cdes)
      .Str("cEmsKind", r.cemskind)
      .Real("fWeight", w.weight, 3)
      .Int("nItemType", r.nitemtype)
      .Int("iItem", iItem)
      .Real("fAmount", fees.famount, 2);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
