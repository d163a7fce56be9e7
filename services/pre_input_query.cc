// The client's reading requests on its shipments: "PreInputData" (one pre-input shipment with its
// goods lines), "PreInputList" (a page of pre-input shipments) and "RecList" (a page of shipment
// records, each with its latest tracking event).

#include <cstring>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/pre_input_row.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/handlers.h"
#include "services/kind_aliases.h"
#include "services/client_codes.h"
#include "services/internal/client_read.h"
#include "services/internal/goods_rows.h"
#include "services/internal/replies.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"

namespace {

// "RecList" answers a missing client with -2.
constexpr int kRcRecListBadClient = -2;
// Numbers shorter than this do not name a pre-input shipment.
constexpr size_t kNumberMinLength = 7;
constexpr size_t kNumberMax = 30;
constexpr size_t kDesFilterMax = 63;
constexpr size_t kKindFilterMax = 15;
constexpr size_t kMarkFilterMax = 15;
constexpr size_t kReserveFilterMax = 30;

// ---- pre-input shipments --------------------------------------------------------------------------

// One rec_pre_input row as both reading requests select it ("cemskindc" and "cemskindw" by
// "PreInputData" only).
struct PreInputRow : PreInputColumns {
  DbText<31> ddate = "";  // "PreInputList" only
};

// The columns of both requests up to corigin; "PreInputData" goes on with the customer's and the
// supplier's kind codes, "PreInputList" with the date, both then with the fee parts.
#define TW_PRE_INPUT_COLUMNS                                                                           \
  "iid,irid,nitemtype,cemskind,cdes,fweight,cunitname,caddr,ccity,cpostcode,cprovince,ccountry,"        \
  "creceiver,cphone,nstate,cmemo,npayway,csender,clwh,iitem,fgoods,fgoodsc,cgoods,iquantity,iprice,"    \
  "cpacking,ctransnote,idvalue,iivalue,cmoney,csunitname,csaddr,csphone,cspostcode,cscountry,"          \
  "csprovince,cscity,nlanguage,cpaydir,famount,crefer,csmsnumber,csemail,cremail,crsms,cmark,cdepart," \
  "cno,crno,ccno,creserve,ireserve,cunit,cby1,cby2,cby3,cby4,cby5,cgoodsa,cgcodea,cgcodeb,cgcodec,"     \
  "fgcustom,fgcrate,cnum,caddrfrom,corigin,"
#define TW_FEE_PART_COLUMNS "faget,fasafe,fapack,faother,facheck,faremote,faby"

// The reading statements run prepared on each connection, their keys as parameters.
#define TW_PRE_INPUT_DATA_SQL                                                                          \
  "SELECT " TW_PRE_INPUT_COLUMNS "cemskindc,cemskindw," TW_FEE_PART_COLUMNS                             \
  " FROM dorvane.dbo.rec_pre_input WHERE icid=$1 AND "
DbPreparedSql kPreInputByIdSql(TW_PRE_INPUT_DATA_SQL "iid=$2");
DbPreparedSql kPreInputByNumberSql(TW_PRE_INPUT_DATA_SQL "cnum=$2");
constexpr char kPreInputListColumns[] = " " TW_PRE_INPUT_COLUMNS "ddate," TW_FEE_PART_COLUMNS;
constexpr char kPreInputListBase[] = " FROM dorvane.dbo.rec_pre_input WHERE icid=$1";
constexpr char kPreInputListOrder[] = " ORDER BY iid DESC";
DbPreparedSql kGoodsSql(
    "SELECT cgoods,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate FROM "
    "dorvane.dbo.rec_pre_input_goods WHERE iid=$1 ORDER BY wpos");

#undef TW_PRE_INPUT_DATA_SQL
#undef TW_PRE_INPUT_COLUMNS
#undef TW_FEE_PART_COLUMNS

enum class PreInputForm { kData, kList };

void BindPreInput(DbStatement& st, PreInputRow& r, PreInputForm form) {
  DbColumns b(st);
  b.Int(r.iid).Int(r.irid).Int(r.nitemtype).Text(r.cemskind).Text(r.cdes).Double(r.fweight);
  b.Text(r.cunitname).Text(r.caddr).Text(r.ccity).Text(r.cpostcode).Text(r.cprovince).Text(r.ccountry);
  b.Text(r.creceiver).Text(r.cphone).Int(r.nstate).Text(r.cmemo).Int(r.npayway).Text(r.csender).Text(r.clwh);
  b.Int(r.iitem).Double(r.fgoods).Double(r.fgoodsc).Text(r.cgoods).Int(r.iquantity).Int64(r.iprice);
  b.Text(r.cpacking).Text(r.ctransnote).Int64(r.idvalue).Int64(r.iivalue).Text(r.cmoney);
  b.Text(r.csunitname).Text(r.csaddr).Text(r.csphone).Text(r.cspostcode).Text(r.cscountry);
  b.Text(r.csprovince).Text(r.cscity).Int(r.nlanguage).Text(r.cpaydir).Double(r.famount).Text(r.crefer);
  b.Text(r.csmsnumber).Text(r.csemail).Text(r.cremail).Text(r.crsms).Text(r.cmark).Text(r.cdepart);
  b.Text(r.cno).Text(r.crno).Text(r.ccno).Text(r.creserve).Int(r.ireserve).Text(r.cunit);
  b.Text(r.cby1).Text(r.cby2).Text(r.cby3).Text(r.cby4).Text(r.cby5);
  b.Text(r.cgoodsa).Text(r.cgcodea).Text(r.cgcodeb).Text(r.cgcodec).Double(r.fgcustom).Double(r.fgcrate);
  b.Text(r.cnum).Text(r.caddrfrom).Text(r.corigin);
  if (form == PreInputForm::kData) {
    b.Text(r.cemskindc).Text(r.cemskindw);
  } else {
    b.Text(r.ddate);
  }
  b.Double(r.faget).Double(r.fasafe).Double(r.fapack).Double(r.faother).Double(r.facheck).Double(r.faremote);
  b.Double(r.faby);
}

// The input name of a kind code, "" when the kind has none.
struct KindAlias {
  char text[16] = "";
  explicit KindAlias(const char* code) { GetEmsKindAlias(code, text); }
};

// The keys both requests answer for a pre-input shipment, in their order.
void PutPreInputCommon(CJsonFields& f, const PreInputRow& r, PreInputForm form) {
  f.Str("cEmsKind", r.cemskind).Str("cEmsKindi", KindAlias(r.cemskind).text);
  if (form == PreInputForm::kData) f.Str("cEmsKindc", r.cemskindc).Str("cEmsKindw", r.cemskindw);
  PutPreInputKeys(f, r);
}

// The goods lines of shipment iid by a statement of their own; nothing when it does not run.
void PutGoodsList(tw::OutBuf& out, PoolSlot& slot, int32_t iid) {
  DbStatement st(slot.hDbc);
  if (!st.ok() || !DbOk(st.ExecPrepared(kGoodsSql, DbParams().Int(iid)))) return;
  tw::entry::PutGoodsRows(out, st);
}

class CPreInputListRows : public CListRows {
 public:
  void Bind(DbStatement& st) override { BindPreInput(st, row_, PreInputForm::kList); }
  void Put(tw::OutBuf& out) override {
    char date[kReplyDateSize];
    FormatReplyDate(row_.ddate, true, date);
    out.AppendChar('{');
    CJsonFields f(out);
    f.Int("iID", row_.iid).Int("irID", row_.irid).Str("dDate", date);
    f.Int("nItemType", row_.nitemtype).Int("nLanguage", row_.nlanguage);
    PutPreInputCommon(f, row_, PreInputForm::kList);
    out.AppendChar('}');
  }

 private:
  PreInputRow row_;
};

// ---- shipment records -----------------------------------------------------------------------------

constexpr char kRecListColumns[] =
    " a.nitemtype,a.cdes,a.fweight,a.famount,a.ddate,a.ifid,a.cnum,a.iitem,a.cmark,a.cmemo,a.npayway,a.irid,"
    "a.nstate,a.crno,a.creceiver,a.cserviceno,a.ccno,a.fsprice,a.cemskind,a.cemskindc,a.clwh,a.icubic,"
    "a.ireserve,a.creserve,a.cgoods,a.iquantity,a.fgoods,a.fgoodsc,a.fabase,a.faaddon,a.facustom,a.faother,"
    "a.faaddrate,a.faget,a.facarry,a.fasafe,a.fapack,a.facheck,a.faremote,a.faby,a.fdiscount,c.cdate,"
    "c.cplace,c.cinfo,a.dsysdate";
// Each record once: with its highest-numbered tracking event, or with none.
constexpr char kRecListBase[] =
    " FROM dorvane.dbo.client_rec AS a LEFT OUTER JOIN dorvane.dbo.check_detail AS c ON(a.irid=c.irid) "
    "WHERE a.icid=$1 AND (c.npos=(select COALESCE(max(npos),255) from dorvane.dbo.check_detail where "
    "irid=a.irid) OR c.npos IS NULL)";
constexpr char kRecListOrder[] = " ORDER BY a.ddate DESC,a.irid DESC";
// "cqStateMask" of a shipment record list: one position per state 0..10.
constexpr int kRecStates = 11;

struct RecRow {
  int32_t nitemtype = 0;
  DbText<63> cdes = "";
  double fweight = 0;
  double famount = 0;
  DbText<31> ddate = "";
  int32_t ifid = 0;
  DbText<30> cnum = "";
  int32_t iitem = 0;
  DbText<15> cmark = "";
  DbText<254> cmemo = "";
  int32_t npayway = 0;
  int32_t irid = 0;
  int32_t nstate = 0;
  DbText<30> crno = "";
  DbText<63> creceiver = "";
  DbText<30> cserviceno = "";
  DbText<30> ccno = "";
  double fsprice = 0;
  DbText<15> cemskind = "";
  DbText<15> cemskindc = "";
  DbText<40> clwh = "";
  int32_t icubic = 0;
  int32_t ireserve = 0;
  DbText<30> creserve = "";
  DbText<254> cgoods = "";
  int32_t iquantity = 0;
  double fgoods = 0;
  double fgoodsc = 0;
  double fabase = 0;
  double faaddon = 0;
  double facustom = 0;
  double faother = 0;
  double faaddrate = 0;
  double faget = 0;
  double facarry = 0;
  double fasafe = 0;
  double fapack = 0;
  double facheck = 0;
  double faremote = 0;
  double faby = 0;
  double fdiscount = 0;
  DbText<31> cdate = "";  // the latest event's, empty without one
  DbText<63> cplace = "";
  DbText<254> cinfo = "";
  DbText<31> dsysdate = "";
};

class CRecListRows : public CListRows {
 public:
  void Bind(DbStatement& st) override {
    RecRow& r = row_;
    DbColumns b(st);
    b.Int(r.nitemtype).Text(r.cdes).Double(r.fweight).Double(r.famount).Text(r.ddate).Int(r.ifid).Text(r.cnum);
    b.Int(r.iitem).Text(r.cmark).Text(r.cmemo).Int(r.npayway).Int(r.irid).Int(r.nstate).Text(r.crno);
    b.Text(r.creceiver).Text(r.cserviceno).Text(r.ccno).Double(r.fsprice).Text(r.cemskind).Text(r.cemskindc);
    b.Text(r.clwh).Int(r.icubic).Int(r.ireserve).Text(r.creserve).Text(r.cgoods).Int(r.iquantity);
    b.Double(r.fgoods).Double(r.fgoodsc).Double(r.fabase).Double(r.faaddon).Double(r.facustom).Double(r.faother);
    b.Double(r.faaddrate).Double(r.faget).Double(r.facarry).Double(r.fasafe).Double(r.fapack).Double(r.facheck);
    b.Double(r.faremote).Double(r.faby).Double(r.fdiscount).Text(r.cdate).Text(r.cplace).Text(r.cinfo);
    b.Text(r.dsysdate);
  }
  void Put(tw::OutBuf& out) override {
    const RecRow& r = row_;
    char date[kReplyDateSize], sysDate[kReplyDateSize];
    FormatReplyDate(r.ddate, false, date);
    FormatReplyDate(r.dsysdate, true, sysDate);
    int32_t length = 0, width = 0, height = 0;
    ParseSides(r.clwh, &length, &width, &height);
    out.AppendChar('{');
    CJsonFields f(out);
    f.Int("irID", r.irid).Str("dDate", date).Str("dSysDate", sysDate).Int("nItemType", r.nitemtype);
    f.Real("fWeight", r.fweight, 3).Int("iLong", length).Int("iWidth", width).Int("iHeight", height);
    f.Int("iCubic", r.icubic).Real("fAmount", r.famount, 2).Real("fSPrice", r.fsprice, 2);
    f.Int("nState", r.nstate).Int("nPayWay", r.npayway).Bool("bAudit", r.ifid > 0).Int("ifID", r.ifid);
    f.Int("iItem", r.iitem).Str("cEmsKind", r.cemskind).Str("cEmsKindi", KindAlias(r.cemskind).text);
    f.Str("cEmsKindc", r.cemskindc).Str("cEmsKindci", KindAlias(r.cemskindc).text);
    f.Str("cDes", r.cdes).Str("cReceiver", r.creceiver).Str("cNum", r.cnum).Str("cNo", r.cserviceno);
    f.Str("cRNo", r.crno).Str("cCNo", r.ccno).Str("cMark", r.cmark).Str("cMemo", r.cmemo).Str("cGoods", r.cgoods);
    f.Str("cLTDate", r.cdate).Str("cLTPlace", r.cplace).Str("cLTInfo", r.cinfo);
    f.Int("iReserve", r.ireserve).Int("iQuantity", r.iquantity).Real("fGoods", r.fgoods, 2);
    f.Real("fGoodsc", r.fgoodsc, 2).Real("faBase", r.fabase, 2).Real("faAddOn", r.faaddon, 2);
    f.Real("faCustom", r.facustom, 2).Real("faOther", r.faother, 2).Real("faAddRate", r.faaddrate, 4);
    f.Real("faGet", r.faget, 2).Real("faCarry", r.facarry, 2).Real("faSafe", r.fasafe, 2);
    f.Real("faPack", r.fapack, 2).Real("faCheck", r.facheck, 2).Real("faRemote", r.faremote, 2);
    f.Real("faBy", r.faby, 2).Real("fDiscount", r.fdiscount, 4);
    out.AppendChar('}');
  }

 private:
  RecRow row_;
};

// The text filters both shipment lists read, as the request gives them.
struct ShipmentFilters {
  char mask[kFilterMaskMax + 1] = "";
  char des[kDesFilterMax + 1] = "";
  char kind[kKindFilterMax + 1] = "";
  char mark[kMarkFilterMax + 1] = "";
  char reserve[kReserveFilterMax + 1] = "";
  char number[kNumberPatternMax + 1] = "";  // filled by CListFilter::ReadNumberFilter
  FilterDate begin, end;                   // filled by CListFilter::ReadDateRange

  explicit ShipmentFilters(const char* body) {
    tw::JsonGetString("cqStateMask", body, mask, kFilterMaskMax, tw::kJsonModeTable);
    tw::JsonGetString("cqDes", body, des, kDesFilterMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cqEmsKind", body, kind, kKindFilterMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cqMark", body, mark, kMarkFilterMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cqReserve", body, reserve, kReserveFilterMax, tw::kJsonModeCodePage);
  }
};

}  // namespace

namespace tw::services {

void OnPreInputData(const CRequest& rq) {
  int32_t icid = 0, iid = 0;
  char number[kNumberMax + 1];
  PoolSlotGuard own(-1);
  PoolSlotGuard& slot = HandlerSlot(rq, own);
  if (!tw::entry::OpenRecordRead(rq.pCtxt, rq.body != nullptr ? rq.body : "", "iID", kNumberMax, kNumberMinLength,
                                 &icid, &iid, number, slot)) {
    return;
  }
  PoolSlot& s = slot.slot();
  // By id, the shipment and its goods lines come back in one round trip, as two result sets.
  const bool byId = iid > 0;
  DbStatement st(slot.dbc());
  const DbParams recordKeys = byId ? DbParams().Int(icid).Int(iid) : DbParams().Int(icid).SqlText(number);
  const DbParams goodsKeys = DbParams().Int(iid);
  const SQLRETURN run = !st.ok() ? SQL_ERROR
                        : byId   ? st.ExecPrepared({{kPreInputByIdSql, recordKeys}, {kGoodsSql, goodsKeys}})
                                 : st.ExecPrepared(kPreInputByNumberSql, recordKeys);
  if (!DbOk(run)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  PreInputRow r;
  BindPreInput(st, r, PreInputForm::kData);
  const SQLRETURN rc = st.Fetch();
  if (!DbOk(rc)) {
    WriteCode(rq.pCtxt, rc == SQL_NO_DATA ? kRcRecordNotFound : kRcDbFailed);
    return;
  }

  tw::OutBuf reply = tw::OutBuf::Growable(s.szReply, kReplyBytes, kListReplyMaxBytes);
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", kRcOk).Int("icID", icid).Int("iID", r.iid).Int("irID", r.irid);
  f.Int("nItemType", r.nitemtype).Int("nLanguage", r.nlanguage);
  PutPreInputCommon(f, r, PreInputForm::kData);
  if (byId) {
    // The shipment's buffers are unbound before the goods lines are bound over the same columns.
    SQLFreeStmt(st.handle(), SQL_UNBIND);
    if (DbOk(SQLMoreResults(st.handle()))) tw::entry::PutGoodsRows(reply, st);
  } else {
    PutGoodsList(reply, s, r.iid);
  }
  reply.AppendChar('}');
  tw::entry::SendWholeReply(rq.pCtxt, reply);
}

void OnPreInputList(const CRequest& rq) {
  int32_t icid = 0;
  PoolSlotGuard own(-1);
  PoolSlotGuard& slot = HandlerSlot(rq, own);
  if (!tw::entry::OpenClientRead(rq.pCtxt, rq.body, kRcBadClientId, &icid, slot)) return;
  const PagingKeys keys = ReadPagingKeys(rq.body);
  PoolSlot& s = slot.slot();
  ShipmentFilters q(rq.body);
  CListFilter filter(s.szWork, kWorkBytes);
  filter.Base(kPreInputListBase);
  filter.AddTwoStateMask(q.mask, " AND irid=0", " AND irid>0");
  filter.ReadDateRange(rq.body, "ddate", q.begin, q.end);
  filter.AddLike("cdes", q.des);
  filter.ReadNumberFilter(rq.body, "cnum", q.number, sizeof q.number);
  filter.AddEqual("cemskind", q.kind);
  filter.AddLike("cmark", q.mark);
  filter.AddLike("creserve", q.reserve);

  const FilterEcho echo[] = {{"dqBDate", q.begin.text}, {"dqEDate", q.end.text}, {"cqDes", q.des},
                             {"cqEmsKind", q.kind},     {"cqStateMask", q.mask}, {"cqNum", q.number},
                             {"cqMark", q.mark},        {"cqReserve", q.reserve}};
  PagedListShape shape{kPreInputListColumns, kPreInputListOrder};
  shape.bClientParam = true;
  CPreInputListRows rows;
  RunPagedList(rq.pCtxt, s, icid, keys, filter, echo, shape, rows);
}

void OnRecList(const CRequest& rq) {
  int32_t icid = 0;
  PoolSlotGuard own(-1);
  PoolSlotGuard& slot = HandlerSlot(rq, own);
  if (!tw::entry::OpenClientRead(rq.pCtxt, rq.body, kRcRecListBadClient, &icid, slot)) return;
  const int32_t feeId = tw::JsonGetInt("iqfID", rq.body, 0);
  const PagingKeys keys = ReadPagingKeys(rq.body);
  PoolSlot& s = slot.slot();
  ShipmentFilters q(rq.body);
  char audit[kFilterMaskMax + 1];
  tw::JsonGetString("bqAudit", rq.body, audit, kFilterMaskMax, tw::kJsonModeTable);
  CListFilter filter(s.szWork, kWorkBytes);
  filter.Base(kRecListBase);
  filter.ReadDateRange(rq.body, "a.ddate", q.begin, q.end);
  if (feeId > 0) filter.Add(" AND a.ifid=%d", feeId);
  filter.AddLike("a.cdes", q.des);
  filter.ReadNumberFilter(rq.body, "a.cnum", q.number, sizeof q.number);
  filter.AddEqual("a.cemskind", q.kind);
  if (std::strcmp(audit, "true") == 0) {
    filter.Add(" AND a.ifid>0");
  } else if (std::strcmp(audit, "false") == 0) {
    filter.Add(" AND a.ifid=0");
  }
  filter.AddPositionMask("a.nstate", q.mask, kRecStates, kRecStates);
  filter.AddLike("a.cmark", q.mark);
  filter.AddLike("a.creserve", q.reserve);

  const FilterEcho echo[] = {{"dqBDate", q.begin.text}, {"dqEDate", q.end.text},   {"cqDes", q.des},
                             {"cqEmsKind", q.kind},     {"cqStateMask", q.mask},   {"bqAudit", audit},
                             {"cqNum", q.number},       {"cqMark", q.mark},        {"cqReserve", q.reserve}};
  PagedListShape shape{kRecListColumns, kRecListOrder};
  shape.bClientParam = true;
  CRecListRows rows;
  RunPagedList(rq.pCtxt, s, icid, keys, filter, echo, shape, rows);
}

}  // namespace tw::services
