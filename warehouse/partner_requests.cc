// The partner door's warehouse requests: "wOrderSet" hands a batch of the partner's outbound orders
// to the client road's shipment-entry worker (each order becomes a pre-input shipment of the
// client), "wGoodsInfo" lists the client's goods placed in a depot with their stock, "wInQuery" the
// client's goods-in records of a depot, both a page at a time in ascending order, and "wInTotal"
// sums what was stored in a depot over a time span, by goods.
//
// The lists read "cDepot" (empty "-830"), "icID" ("-2"), the dates where they have them ("-12"),
// then take a pool slot ("-9999") and load the depot's settings ("-831") before any statement.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/caches.h"
#include "core/db.h"
#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/shipment_entry.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/outbuf.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/order_list.h"
#include "warehouse/internal/prefix_filter.h"
#include "warehouse/internal/request.h"

namespace {

using tw::warehouse::CDepotRequest;

constexpr int kRcNoOrderList = -3;
constexpr int kRcNoClient = -2;
constexpr int kRcBadDateRange = MissingKeyCode(1);

constexpr size_t kGoodsCodeMax = 63;
constexpr size_t kQueryDateMax = 22;
// The largest "ErrList" entry of an order: its ten texts (855 bytes of GBK at most) at four reply
// bytes per byte at worst, the keys and two numbers. The batch reply is bounded by it.
constexpr size_t kOrderEntryMaxBytes = 4096;
constexpr size_t kOrderReplyRoom = 256;

// ---- the keys of the lists --------------------------------------------------------------------------

// The goods filters and the client the three lists share, and the date span of the goods-in lists.
struct PartnerListKeys {
  int32_t icid = 0;
  int32_t giid = 0;
  char cgcode[kGoodsCodeMax + 1] = "";
  char cccode[kGoodsCodeMax + 1] = "";
  int32_t nqType = 0;
  char dateB[tw::kQueryDateSize] = "";
  char dateE[tw::kQueryDateSize] = "";

  void Read(std::string_view body) {
    icid = tw::JsonGetInt("icID", body, 0);
    giid = tw::JsonGetInt("iqwGiid", body, 0);
    tw::JsonGetString("cqgCode", body, cgcode, kGoodsCodeMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cqcCode", body, cccode, kGoodsCodeMax, tw::kJsonModeCodePage);
    nqType = tw::JsonGetInt("nqType", body, 0);
  }
  // ReadDates: "cqDateB" as the start and "cqDateE" as the end of the span. False when the start is
  // empty or invalid, or later than the end (an empty or invalid end included).
  [[nodiscard]] bool ReadDates(std::string_view body) {
    tw::JsonGetString("cqDateB", body, dateB, kQueryDateMax, tw::kJsonModeTable);
    tw::JsonGetString("cqDateE", body, dateE, kQueryDateMax, tw::kJsonModeTable);
    tw::NormalizeQueryDate(dateB, sizeof dateB, false);
    tw::NormalizeQueryDate(dateE, sizeof dateE, true);
    return dateB[0] != '\0' && std::strcmp(dateB, dateE) <= 0;
  }
};

// The goods filters, in their order: the goods id alone when one is given, else the prefixes of the
// goods code and of the client's code.
void AddGoodsFilters(CListFilter& filter, const PartnerListKeys& k) {
  if (k.giid > 0) {
    filter.Add(" AND a.giid=%d", k.giid);
    return;
  }
  tw::warehouse::AddPrefix(filter, "b.cgcode", k.cgcode);
  tw::warehouse::AddPrefix(filter, "b.cccode", k.cccode);
}

// Opens a list request: the depot, the client, the dates when the list has them, the slot and the
// depot's settings, each refused in that order. False when the request was answered.
bool OpenList(CDepotRequest& req, PartnerListKeys& k, bool bDates) {
  if (!req.ReadDepot()) return false;
  k.Read(req.body());
  if (k.icid <= 0) {
    req.Code(kRcNoClient);
    return false;
  }
  if (bDates && !k.ReadDates(req.body())) {
    req.Code(kRcBadDateRange);
    return false;
  }
  return req.Open();
}

// A date of a goods-in record as "%d-%02d-%02d %02d:%02d".
void FormatMinute(const char* dbText, char out[kReplyDateSize]) {
  FormatReplyDate(dbText, true, out);
  const size_t n = std::strlen(out);
  if (n >= 3) out[n - 3] = '\0';  // without ":%02d" of the seconds
}

// ---- wGoodsInfo -------------------------------------------------------------------------------------

constexpr char kGoodsColumns[] =
    " a.iid,a.nstate,a.nshare,a.nqc,a.fwpu,a.wfreedays,a.fprice,a.fprices,a.fpriceb,a.fpricev,a.fdvalue,a.fivalue,"
    "a.fevalue,a.fvaday,a.cunit,a.imin,a.imax,a.iedays,a.iin,a.iout,a.cmark,a.cmemo,b.cccode,b.cgcode,b.ckind,"
    "b.cname,b.ilong,b.iwidth,b.iheight,b.fweight,b.giid,b.cnamee";
// By name; the placement id keeps pages of equal names apart.
constexpr char kGoodsOrder[] = " ORDER BY b.cname,a.iid";

struct PlacedGoodsRow {
  int32_t iid = 0, nstate = 0, nshare = 0, nqc = 0;
  double fwpu = 0;
  int32_t wfreedays = 0;
  double fprice = 0, fprices = 0, fpriceb = 0, fpricev = 0, fdvalue = 0, fivalue = 0, fevalue = 0, fvaday = 0;
  DbText<15> cunit = "";
  int32_t imin = 0, imax = 0, iedays = 0, iin = 0, iout = 0;
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
  DbText<63> cccode = "";
  DbText<63> cgcode = "";
  DbText<31> ckind = "";
  DbText<255> cname = "";
  int32_t ilong = 0, iwidth = 0, iheight = 0;
  double fweight = 0;
  int32_t giid = 0;
  DbText<255> cnamee = "";
};

class PlacedGoodsRows : public CListRows {
 public:
  void Bind(DbStatement& st) override {
    PlacedGoodsRow& r = row_;
    DbColumns b(st);
    b.Int(r.iid).Int(r.nstate).Int(r.nshare).Int(r.nqc).Double(r.fwpu).Int(r.wfreedays).Double(r.fprice);
    b.Double(r.fprices).Double(r.fpriceb).Double(r.fpricev).Double(r.fdvalue).Double(r.fivalue).Double(r.fevalue);
    b.Double(r.fvaday).Text(r.cunit).Int(r.imin).Int(r.imax).Int(r.iedays).Int(r.iin).Int(r.iout).Text(r.cmark);
    b.Text(r.cmemo).Text(r.cccode).Text(r.cgcode).Text(r.ckind).Text(r.cname).Int(r.ilong).Int(r.iwidth);
    b.Int(r.iheight).Double(r.fweight).Int(r.giid).Text(r.cnamee);
  }
  void Put(tw::OutBuf& out) override {
    const PlacedGoodsRow& r = row_;
    out.AppendChar('{');
    CJsonFields(out).Int("iID", r.iid).Int("iwGiid", r.giid).Str("cgName", r.cname).Str("cgNameE", r.cnamee)
        .Str("cgCode", r.cgcode).Str("ccCode", r.cccode).Str("cUnit", r.cunit).Real("fWeight", r.fweight, 3)
        .Int("iEDays", r.iedays).Real("fPrice", r.fprice, 2).Real("fPriceS", r.fprices, 2)
        .Real("fPriceB", r.fpriceb, 2).Real("fPriceV", r.fpricev, 2).Real("fDValue", r.fdvalue, 2)
        .Real("fIValue", r.fivalue, 2).Real("fEValue", r.fevalue, 2).Str("cKind", r.ckind).Int("iMin", r.imin)
        .Int("iMax", r.imax).Int("iIn", r.iin).Int("iOut", r.iout).Int("nState", r.nstate).Str("cMark", r.cmark)
        .Str("cMemo", r.cmemo);
    out.AppendChar('}');
  }

 private:
  PlacedGoodsRow row_;
};

// ---- wInQuery ---------------------------------------------------------------------------------------

constexpr char kGoodsInColumns[] =
    " c.iid,a.cunit,b.cccode,b.cgcode,b.cname,c.cbatch,c.ntype,c.npick,c.fpick,c.fqcin,c.flabel,c.farrange,c.ddate,"
    "c.nstate,c.iquantity,c.cmark,c.cmemo,c.deta,c.crno,c.din,a.nqc,b.giid,c.wpic";
constexpr char kGoodsInOrder[] = " ORDER BY c.iid";

struct GoodsInRow {
  int32_t iid = 0;
  DbText<15> cunit = "";
  DbText<63> cccode = "";
  DbText<63> cgcode = "";
  DbText<255> cname = "";
  DbText<31> cbatch = "";
  int32_t ntype = 0, npick = 0;
  double fpick = 0, fqcin = 0, flabel = 0, farrange = 0;
  char ddate[32] = "";
  int32_t nstate = 0, iquantity = 0;
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
  char deta[32] = "";
  DbText<30> crno = "";
  char din[32] = "";
  int32_t nqc = 0, giid = 0, wpic = 0;
};

class GoodsInRows : public CListRows {
 public:
  void Bind(DbStatement& st) override {
    GoodsInRow& r = row_;
    DbColumns b(st);
    b.Int(r.iid).Text(r.cunit).Text(r.cccode).Text(r.cgcode).Text(r.cname).Text(r.cbatch).Int(r.ntype).Int(r.npick);
    b.Double(r.fpick).Double(r.fqcin).Double(r.flabel).Double(r.farrange).Text(r.ddate).Int(r.nstate);
    b.Int(r.iquantity).Text(r.cmark).Text(r.cmemo).Text(r.deta).Text(r.crno).Text(r.din).Int(r.nqc).Int(r.giid);
    b.Int(r.wpic);
  }
  void Put(tw::OutBuf& out) override {
    const GoodsInRow& r = row_;
    char announced[kReplyDateSize], stored[kReplyDateSize];
    FormatMinute(r.ddate, announced);
    FormatMinute(r.din, stored);
    out.AppendChar('{');
    CJsonFields(out).Int("iID", r.iid).Int("iwGiid", r.giid).Str("cgName", r.cname).Str("cgCode", r.cgcode)
        .Str("ccCode", r.cccode).Str("cUnit", r.cunit).Int("nType", r.ntype).Int("nState", r.nstate)
        .Str("cBatch", r.cbatch).Str("cRNo", r.crno).Str("dDate", announced).Str("dInDate", stored)
        .Int("iQuantity", r.iquantity).Real("fPick", r.fpick, 2).Real("fQCIn", r.fqcin, 2)
        .Real("fLabel", r.flabel, 2).Real("fArrange", r.farrange, 2).Int("iPic", r.wpic).Str("cMark", r.cmark)
        .Str("cMemo", r.cmemo);
    out.AppendChar('}');
  }

 private:
  GoodsInRow row_;
};

// ---- wInTotal ---------------------------------------------------------------------------------------

struct StoredTotalRow {
  int32_t giid = 0;
  DbText<15> cunit = "";
  DbText<63> cccode = "";
  DbText<63> cgcode = "";
  DbText<255> cname = "";
  int64_t inormal = 0, idefective = 0, count = 0;
};

}  // namespace

namespace tw::warehouse {

// ---- the orders -------------------------------------------------------------------------------------

void OnWOrderSet(const CRequest& rq) {
  const std::string_view text(rq.body != nullptr ? rq.body : "");
  const int32_t icid = tw::JsonGetInt("icID", text, 0);
  if (icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  std::vector<std::string_view> orders;
  if (!tw::warehouse::FindOrders(text, orders)) {
    WriteCode(rq.pCtxt, kRcNoOrderList);
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }

  // Each order holds the slot for its whole run, a carrier order included.
  std::vector<ShipmentEntryResult> results(orders.size());
  int32_t stored = 0;
  for (size_t i = 0; i < orders.size(); ++i) {
    results[i].iIndex = static_cast<int32_t>(i);
    if (tw::services::SavePreInputRecord(slot.slot(), icid, orders[i], results[i], rq.address) >= 1) ++stored;
  }

  // Written once every order is done: a carrier order works in the slot's reply buffer.
  tw::OutBuf reply =
      tw::OutBuf::Growable(slot.slot().szReply, kReplyBytes, orders.size() * kOrderEntryMaxBytes + kOrderReplyRoom);
  CBatchReply batch(reply, static_cast<int32_t>(orders.size()), stored);
  for (const ShipmentEntryResult& r : results) PutEntryResult(batch, "ioID", r);
  if (!batch.Finish()) {
    WriteCode(rq.pCtxt, kRcDbFailed);  // cannot happen within the entry bound
    return;
  }
  WriteJsonReply(rq.pCtxt, reply.data(), reply.size());
}

// ---- the lists --------------------------------------------------------------------------------------

void OnWGoodsInfo(const CRequest& rq) {
  CDepotRequest req(rq);
  PartnerListKeys k;
  if (!OpenList(req, k, false)) return;
  const PagingKeys keys = ReadPagingKeys(req.body());

  CListFilter filter(req.slot().szWork, kWorkBytes);
  filter.Base(" FROM dorvane.dbo.w_goods_depot AS a INNER JOIN dorvane.dbo.w_goods_define AS b ON(a.giid=b.giid) "
              "WHERE a.cdepot='%s' AND a.icid=%d",
              req.sqlDepot().c_str(), k.icid);
  AddGoodsFilters(filter, k);
  switch (k.nqType) {
    case 1:  // below the minimum
      filter.Add(" AND a.iin-a.iout<a.imin");
      break;
    case 2:  // within the bounds
      filter.Add(" AND a.iin-a.iout>=a.imin AND a.iin-a.iout<=a.imax");
      break;
    case 3:  // above the maximum
      filter.Add(" AND a.iin-a.iout>a.imax");
      break;
    default:
      break;
  }

  const FilterEcho echo[] = {{"cDepot", req.depotCode()}, {"cqgCode", k.cgcode}, {"cqcCode", k.cccode}};
  PagedListShape shape;
  shape.columns = kGoodsColumns;
  shape.orderDesc = kGoodsOrder;
  PlacedGoodsRows rows;
  RunPagedList(rq.pCtxt, req.slot(), k.icid, keys, filter, echo, shape, rows);
}

void OnWInQuery(const CRequest& rq) {
  CDepotRequest req(rq);
  PartnerListKeys k;
  if (!OpenList(req, k, true)) return;
  const PagingKeys keys = ReadPagingKeys(req.body());

  CListFilter filter(req.slot().szWork, kWorkBytes);
  filter.Base(" FROM dorvane.dbo.w_g_in AS c INNER JOIN dorvane.dbo.w_goods_define AS b ON(c.giid=b.giid) INNER JOIN "
              "dorvane.dbo.w_goods_depot AS a ON(a.giid=c.giid AND a.cdepot='%s') WHERE c.cdepot='%s' AND c.icid=%d "
              "AND c.ddate BETWEEN '%s' AND '%s'",
              req.sqlDepot().c_str(), req.sqlDepot().c_str(), k.icid, k.dateB, k.dateE);
  AddGoodsFilters(filter, k);
  switch (k.nqType) {
    case 1:  // announced
      filter.Add(" AND c.nstate=0");
      break;
    case 2:  // being picked and checked
      filter.Add(" AND c.nstate BETWEEN 10 AND 39");
      break;
    case 3:  // stored
      filter.Add(" AND c.nstate>=40");
      break;
    default:
      break;
  }

  const FilterEcho echo[] = {{"cDepot", req.depotCode()}, {"cqgCode", k.cgcode}, {"cqcCode", k.cccode},
                             {"cqDateB", k.dateB},        {"cqDateE", k.dateE}};
  PagedListShape shape;
  shape.columns = kGoodsInColumns;
  shape.orderDesc = kGoodsInOrder;
  GoodsInRows rows;
  RunPagedList(rq.pCtxt, req.slot(), k.icid, keys, filter, echo, shape, rows);
}

void OnWInTotal(const CRequest& rq) {
  CDepotRequest req(rq);
  PartnerListKeys k;
  if (!OpenList(req, k, true)) return;

  CListFilter filter(req.slot().szWork, kWorkBytes);
  filter.Base("SELECT b.giid,a.cunit,b.cccode,b.cgcode,b.cname,SUM(c.inormal),SUM(c.idefective),COUNT(1) FROM "
              "dorvane.dbo.w_g_in AS c INNER JOIN dorvane.dbo.w_goods_define AS b ON(c.giid=b.giid) INNER JOIN "
              "dorvane.dbo.w_goods_depot AS a ON(a.giid=c.giid AND a.cdepot='%s') WHERE c.cdepot='%s' AND c.icid=%d "
              "AND c.nstate>=40 AND c.din BETWEEN '%s' AND '%s'",
              req.sqlDepot().c_str(), req.sqlDepot().c_str(), k.icid, k.dateB, k.dateE);
  AddGoodsFilters(filter, k);
  // By name; the goods id keeps goods of equal names in one order.
  filter.Add(" GROUP BY b.giid,a.cunit,b.cccode,b.cgcode,b.cname ORDER BY b.cname,b.giid");
  if (!filter.ok()) return req.Code(kRcDbFailed);

  DbStatement st(req.dbc());
  const std::string sql(filter.text());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
  StoredTotalRow r;
  DbColumns(st).Int(r.giid).Text(r.cunit).Text(r.cccode).Text(r.cgcode).Text(r.cname).Int64(r.inormal)
      .Int64(r.idefective).Int64(r.count);

  tw::OutBuf& out = req.Reply();
  out.Append("{\"ReturnValue\":1,\"RecList\":[");
  int32_t goods = 0;
  for (;; ++goods) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
    if (goods > 0) out.AppendChar(',');
    out.AppendChar('{');
    CJsonFields(out).Int("iwGiid", r.giid).Str("cgName", r.cname).Str("cgCode", r.cgcode).Str("ccCode", r.cccode)
        .Str("cUnit", r.cunit).Int64("iQuantity", r.inormal + r.idefective).Int64("iNormal", r.inormal)
        .Int64("iDefective", r.idefective).Int64("iCount", r.count);
    out.AppendChar('}');
  }
  out.Printf("],\"iTotalRec\":%d}", goods);
  req.Send();
}

}  // namespace tw::warehouse
