// Export bags on the PDA: one bag with its pack and, optionally, the bags of the same waybill,
// flight or airport counted by one of its fields ("pdaxBagQuery"); the bag's mark and reserve
// fields changed ("pdaxBagSet").

#include <cstdio>
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
#include "util/escape.h"
#include "util/json.h"

namespace {

constexpr size_t kBagNumberMax = 30;
// Bag numbers must be longer than this.
constexpr size_t kBagNumberMin = 3;

// The field "nCheckField" selects (below 0 the first, above 5 the last). Column names come only from
// here, never from the request.
constexpr const char* kCheckColumns[] = {"cmark", "cby1", "cby2", "cby3", "cby4", "cby5"};
constexpr int32_t kCheckColumnLast = 5;

// The editable fields of a bag, in the order of the UPDATE.
constexpr tw::pda::FieldMapping kBagFields[] = {
    {"cMark", "cmark", 15}, {"cBy1", "cby1", 63}, {"cBy2", "cby2", 63},
    {"cBy3", "cby3", 63},   {"cBy4", "cby4", 63}, {"cBy5", "cby5", 254},
};

constexpr char kBagSql[] =
    "SELECT a.cxno,a.cfrom,a.cdes,a.cstation,a.cstationd,a.cmark,a.ctype,a.ctransnote,a.cmemo,a.nstate,a.ntype,"
    "a.corder,a.cawb,a.dsysdate,a.cinput,a.iitem,a.fweight,a.il,a.iw,a.ih,a.icub,a.clastmod,a.dlastmod,a.cby1,"
    "a.cby2,a.cby3,a.cby4,a.cby5,a.nshare,a.chno,a.cpack,a.dpack,a.caddawb,a.daddawb,a.cunpack,a.dunpack,a.ixid,"
    "a.chorder,b.cairport,b.ddate,b.cflightno FROM dorvane.dbo.client_rec_xbag AS a INNER JOIN "
    "dorvane.dbo.client_rec_pack AS b ON(a.cawb=b.cawb) WHERE a.cxno='%s' ORDER BY a.ixid LIMIT 1";

// One bag row joined with its pack.
struct BagRow {
  DbText<30> cxno = "";
  DbText<63> cfrom = "";
  DbText<63> cdes = "";
  DbText<15> cstation = "";
  DbText<15> cstationd = "";
  DbText<15> cmark = "";
  DbText<15> ctype = "";
  DbText<63> ctransnote = "";
  DbText<254> cmemo = "";
  int32_t nstate = 0;
  int32_t ntype = 0;
  DbText<30> corder = "";
  DbText<30> cawb = "";
  DbText<31> dsysdate = "";
  DbText<32> cinput = "";
  int32_t iitem = 0;
  double fweight = 0;
  int32_t il = 0, iw = 0, ih = 0, icub = 0;
  DbText<32> clastmod = "";
  DbText<31> dlastmod = "";
  DbText<63> cby1 = "", cby2 = "", cby3 = "", cby4 = "";
  DbText<254> cby5 = "";
  int32_t nshare = 0;
  DbText<30> chno = "";
  DbText<32> cpack = "";
  DbText<31> dpack = "";
  DbText<32> caddawb = "";
  DbText<31> daddawb = "";
  DbText<32> cunpack = "";
  DbText<31> dunpack = "";
  int32_t ixid = 0;
  DbText<30> chorder = "";
  DbText<30> cairport = "";
  DbText<31> packDate = "";
  DbText<30> cflightno = "";
};

void BindBag(DbStatement& st, BagRow& r) {
  DbColumns b(st);
  b.Text(r.cxno).Text(r.cfrom).Text(r.cdes).Text(r.cstation).Text(r.cstationd).Text(r.cmark).Text(r.ctype);
  b.Text(r.ctransnote).Text(r.cmemo).Int(r.nstate).Int(r.ntype).Text(r.corder).Text(r.cawb).Text(r.dsysdate);
  b.Text(r.cinput).Int(r.iitem).Double(r.fweight).Int(r.il).Int(r.iw).Int(r.ih).Int(r.icub).Text(r.clastmod);
  b.Text(r.dlastmod).Text(r.cby1).Text(r.cby2).Text(r.cby3).Text(r.cby4).Text(r.cby5).Int(r.nshare).Text(r.chno);
  b.Text(r.cpack).Text(r.dpack).Text(r.caddawb).Text(r.daddawb).Text(r.cunpack).Text(r.dunpack).Int(r.ixid);
  b.Text(r.chorder).Text(r.cairport).Text(r.packDate).Text(r.cflightno);
}

// The year, month and day of a stored date (1900-01-01 for an empty one).
void DayOf(const char* dbText, int* y, int* m, int* d) {
  *y = 1900, *m = 1, *d = 1;
  if (std::sscanf(dbText, "%d-%d-%d", y, m, d) != 3) *y = 1900, *m = 1, *d = 1;
}

// The totals statement: the bags of the same waybill (type 1), flight and day (2) or airport and day
// (any other positive type), grouped by the chosen column.
std::string TotalsSql(const char* column, int32_t totalType, const BagRow& bag) {
  std::string sql = StringPrintf("SELECT %s,COUNT(*) FROM dorvane.dbo.client_rec_xbag  WHERE cawb", column);
  if (totalType == 1) {
    sql += "='" + tw::SqlEscape(bag.cawb) + "'";
  } else {
    int y, m, d;
    DayOf(bag.packDate, &y, &m, &d);
    const bool flight = totalType == 2;
    sql += StringPrintf(
        " IN (SELECT cawb FROM dorvane.dbo.client_rec_pack WHERE %s='%s' AND dfdate BETWEEN '%d.%d.%d 0:0:0.0' AND "
        "'%d.%d.%d 23:59:59.998')",
        flight ? "cflightno" : "cairport", tw::SqlEscape(flight ? bag.cflightno : bag.cairport).c_str(), y, m, d, y, m,
        d);
  }
  sql += StringPrintf(" GROUP BY %s ORDER BY 1", column);
  return sql;
}

}  // namespace

namespace tw::pda {

void OnPdaxBagQuery(const CRequest& rq) {
  char number[kBagNumberMax + 1];
  tw::JsonGetString("cxNo", rq.body, number, kBagNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(number) <= kBagNumberMin) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t checkField = tw::JsonGetInt("nCheckField", rq.body, 0);
  const int32_t totalType = tw::JsonGetInt("nTotalType", rq.body, 0);
  const char* column = kCheckColumns[checkField < 0                  ? 0
                                     : checkField > kCheckColumnLast ? kCheckColumnLast
                                                                     : checkField];

  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  if (!IsGbkText(number)) {
    WriteCode(rq.pCtxt, kRcNotFound);  // a text the database could not read names no bag
    return;
  }
  BagRow bag;
  {
    DbStatement st(slot.dbc());
    const std::string sql = StringPrintf(kBagSql, tw::SqlEscape(number).c_str());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    BindBag(st, bag);
    if (!tw::pda::FetchRowOrReply(rq.pCtxt, st, kRcNotFound)) return;
  }

  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", kRcOk).Str("cxNo", number).Int("nCheckField", checkField).Int("nTotalType", totalType);
  f.Int("ixID", bag.ixid).Int("iState", bag.nstate).Int("iItem", bag.iitem).Real("fWeight", bag.fweight, 3);
  f.Str("dInput", tw::pda::FormatSecondText(bag.dsysdate).text).Str("cInput", bag.cinput);
  f.Str("cFrom", bag.cfrom).Str("cDes", bag.cdes).Str("cStation", bag.cstation).Str("cStationd", bag.cstationd);
  f.Str("cTransNote", bag.ctransnote).Str("cOrder", bag.corder).Str("cAwb", bag.cawb).Str("cHandleNo", bag.chno);
  f.Str("cBy1", bag.cby1).Str("cBy2", bag.cby2).Str("cBy3", bag.cby3).Str("cBy4", bag.cby4).Str("cBy5", bag.cby5);
  f.Str("cMark", bag.cmark).Str("cMemo", bag.cmemo).Str("cFlightNo", bag.cflightno).Str("cAirport", bag.cairport);
  f.Str("dDepart", tw::pda::FormatMinuteText(bag.packDate).text);

  if (totalType > 0) {
    // The whole reply waits for the totals: a failed totals statement answers "-9" alone.
    DbStatement st(slot.dbc());
    const std::string sql = TotalsSql(column, totalType, bag);
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbText<255> value = "";
    int64_t count = 0;
    DbColumns(st).Text(value).Int64(count);
    reply.Append(",\"TotalList\":[");
    int n = 0;
    SQLRETURN rc;
    while (DbOk(rc = st.Fetch())) {
      reply.Append(n++ == 0 ? "{" : ",{");
      CJsonFields(reply).Str("cValue", value).Int64("iCount", count);
      reply.AppendChar('}');
    }
    if (rc != SQL_NO_DATA) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    reply.AppendChar(']');
  }
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

void OnPdaxBagSet(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  char number[kBagNumberMax + 1];
  tw::JsonGetString("cxNo", rq.body, number, kBagNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(number) <= kBagNumberMin) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int given = tw::pda::CountGivenFields(kBagFields, rq.body);
  if (given == 0) {
    WriteCode(rq.pCtxt, MissingKeyCode(2));
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  if (!IsGbkText(number)) {
    WriteCode(rq.pCtxt, tw::pda::kRcNoRecord);
    return;
  }
  int32_t ixid = 0;
  {
    DbStatement st(slot.dbc());
    const std::string sql =
        StringPrintf("SELECT ixid FROM dorvane.dbo.client_rec_xbag WHERE cxno='%s' ORDER BY ixid LIMIT 1",
                     tw::SqlEscape(number).c_str());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    st.BindInt(1, &ixid);
    if (!tw::pda::FetchRowOrReply(rq.pCtxt, st, tw::pda::kRcNoRecord)) return;
  }
  const std::string sql =
      tw::pda::BuildFieldUpdate("dorvane.dbo.client_rec_xbag", kBagFields, rq.body, user.mcname, "ixid", ixid);
  // Not run: "-9"; the bag went away since it was found: "-2".
  if (!tw::pda::RunUpdateOrReply(rq.pCtxt, slot.slot(), sql.c_str())) return;
  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields(reply).Int("ReturnValue", ixid).Int("ixID", ixid).Str("cxNo", number).Int("iUpdate", given);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
