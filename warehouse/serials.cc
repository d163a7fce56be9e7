// Serial-numbered goods: "pdawSerialIn" records one piece's code as it comes in with a goods-in
// notice, "pdawSerialOut" as it leaves with an order.

#include <string>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/result_codes.h"
#include "util/escape.h"
#include "util/json.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/goods_in.h"
#include "warehouse/internal/request.h"

namespace {

using tw::warehouse::CDepotRequest;
using tw::warehouse::CProcCall;

constexpr size_t kNumberMax = 30;
constexpr size_t kCodeMax = 63;
constexpr size_t kOrderNumberMin = 6;
constexpr int32_t kOperationSerialIn = 6;
constexpr int32_t kOperationSerialOut = 27;
constexpr int32_t kSerialGoods = 1;
constexpr int kRcStateTooLow = -15;
constexpr int kRcStateTooHigh = -16;
constexpr int kRcNotSerialGoods = -17;

// The goods of a goods-in or goods-out row, with their default shelf in the depot.
struct GoodsOfRow {
  int32_t icid = 0;
  int32_t nstate = 0;
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
  DbText<63> cgcode = "";
  DbText<255> cname = "";
  DbText<255> cnamee = "";
  int32_t ilong = 0, iwidth = 0, iheight = 0;
  double fweight = 0;
  int32_t giid = 0;
  DbText<15> ccolor = "";
  DbText<15> csize = "";
  DbText<15> cbrand = "";
  DbText<63> cmodel = "";
  DbText<15> cunit = "";
  int32_t iid = 0;
  DbText<31> cshelfb = "";
  int32_t ntype = 0;
};

constexpr char kGoodsColumns[] =
    "b.icid,a.nstate,a.cmark,a.cmemo,b.cgcode,b.cname,b.cnamee,b.ilong,b.iwidth,b.iheight,b.fweight,a.giid,b.ccolor,"
    "b.csize,b.cbrand,b.cmodel,b.cunit,a.iid,c.cshelfb,b.ntype";

// Runs the row statement: 1 read, 0 none, -9 failed.
int ReadGoodsOfRow(CDepotRequest& req, const std::string& sql, GoodsOfRow& r) {
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  DbColumns(st).Int(r.icid).Int(r.nstate).Text(r.cmark).Text(r.cmemo).Text(r.cgcode).Text(r.cname).Text(r.cnamee)
      .Int(r.ilong).Int(r.iwidth).Int(r.iheight).Double(r.fweight).Int(r.giid).Text(r.ccolor).Text(r.csize)
      .Text(r.cbrand).Text(r.cmodel).Text(r.cunit).Int(r.iid).Text(r.cshelfb).Int(r.ntype);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  return DbOk(rc) ? 1 : kRcDbFailed;
}

// The piece's serial row for these goods in this depot: 1 found, 0 none, -9 failed.
int FindSerial(CDepotRequest& req, int32_t giid, const char* code, int32_t* serid, int32_t* iidout) {
  const std::string sql = "SELECT serid,iidout FROM dorvane.dbo.w_g_serial WHERE giid=" + std::to_string(giid) +
                          " AND cdepot='" + req.sqlDepot() + "' AND ccode='" + tw::SqlEscape(code) + "'";
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  st.BindInt(1, serid);
  st.BindInt(2, iidout);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  return DbOk(rc) ? 1 : kRcDbFailed;
}

// The operation's values for one piece: seconds, currency and wage (0, "" and 0.00 when the depot
// does not define it).
void AddOperation(CProcCall& call, const CDepotSettings& depot, int32_t code, int32_t giid, const char* shelf) {
  const DepotOperation* op = depot.FindOperation(code);
  call.Text(GetWarehouseOperationName(code)).Text(std::to_string(tw::warehouse::TodayNumber()));
  call.Int(op != nullptr ? op->iseconds : 0);
  call.Int(depot.Touch(code, giid)).Int(0).Text(shelf).Text("").Text("").Text(op != nullptr ? op->cmoney : "");
  call.Real(op != nullptr ? op->fwage : 0.0, 2);
}

// The goods keys of a success reply, from "icID" on.
void PutGoods(CJsonFields& f, const GoodsOfRow& r) {
  f.Int("icID", r.icid).Int("iwGiid", r.giid).Str("cgName", r.cname).Str("cgNameE", r.cnamee).Str("cgCode", r.cgcode);
  f.Str("cUnit", r.cunit).Str("cColor", r.ccolor).Str("cSize", r.csize).Str("cBrand", r.cbrand);
  f.Str("cModel", r.cmodel).Real("fWeight", r.fweight, 3).Int("iLong", r.ilong).Int("iWidth", r.iwidth);
  f.Int("iHeight", r.iheight);
}

}  // namespace

namespace tw::warehouse {

void OnPdawSerialIn(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  const int32_t iid = tw::JsonGetInt("iID", rq.body, 0);
  char number[kNumberMax + 1], code[kCodeMax + 1];
  tw::JsonGetString("cRNo", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  if (iid <= 0 && number[0] == '\0') return req.Code(MissingKeyCode(1));
  tw::JsonGetString("cCode", rq.body, code, kCodeMax, tw::kJsonModeCodePage);
  if (code[0] == '\0') return req.Code(MissingKeyCode(2));
  const bool bDefective = tw::JsonGetBool("bDefective", rq.body, 0) != 0;
  if (!req.Open()) return;
  if ((iid <= 0 && !IsGbkText(number)) || !IsGbkText(code)) return req.Code(kRcNotFound);

  // The notice of this depot, with its goods placed in this depot.
  GoodsOfRow r;
  const std::string sql = std::string("SELECT ") + kGoodsColumns +
                          " FROM dorvane.dbo.w_g_in AS a INNER JOIN dorvane.dbo.w_goods_define AS b ON(a.giid=b.giid) "
                          "INNER JOIN dorvane.dbo.w_goods_depot AS c ON(a.giid=c.giid AND c.cdepot='" +
                          req.sqlDepot() + "') WHERE a.cdepot='" + req.sqlDepot() + "' AND " +
                          (iid > 0 ? "a.iid=" + std::to_string(iid) : "a.crno='" + tw::SqlEscape(number) + "'") +
                          " ORDER BY a.iid LIMIT 1";
  if (int got = ReadGoodsOfRow(req, sql, r); got != 1) return req.Code(got);
  if (r.nstate < 10) return req.Code(kRcStateTooLow);
  if (r.nstate >= 40) return req.Code(kRcStateTooHigh);
  if (r.ntype != kSerialGoods) return req.Code(kRcNotSerialGoods);

  int32_t serid = 0, iidout = 0;
  const int found = FindSerial(req, r.giid, code, &serid, &iidout);
  if (found < 0) return req.Code(kRcDbFailed);
  if (found == 1 && iidout > 0) return req.Code(kRcStateTooHigh);
  tw::OutBuf& out = req.Reply();
  auto refuse = [&](int32_t shownSerid, const char* mess) {
    out.Printf("{\"ReturnValue\":%d,", tw::warehouse::kRcRefused);
    CJsonFields(out).Str("cDepot", req.depotCode()).Str("cRNo", number).Str("cCode", code).Int("iserID", shownSerid)
        .Int("iID", r.iid).Str("cMark", r.cmark).Str("cMemo", r.cmemo).Int("iwGiid", r.giid).Str("cgName", r.cname);
    tw::warehouse::CloseWithMess(out, mess);
    req.Send();
  };
  // A new code and its scan are one transaction: a refused scan leaves no serial row behind.
  DbTransaction tx(req.dbc());
  if (!tx.ok()) return req.Code(kRcDbFailed);
  if (found == 0) {
    CProcCall add("cp_w_g_serial_add");
    add.Text(req.depotCode()).Int(r.giid).Int(r.icid).Text(code).Int(tw::warehouse::TodayNumber());
    add.Text(req.user().mcname).Int(0).Text("").Text("").Int(0).Int(0);
    if (!add.Run(req.dbc(), &serid)) return req.Code(kRcDbFailed);
    if (serid <= 0) return refuse(0, tw::warehouse::kMessSystem);
  }

  CProcCall call("cp_w_g_serial_in_id");
  call.Int(serid).Int(bDefective ? 0 : 1).Int(tw::warehouse::TodayNumber()).Text(req.user().mcname).Int(r.iid);
  AddOperation(call, req.depot(), kOperationSerialIn, r.giid, r.cshelfb);
  int32_t result = -1;
  if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);
  if (result >= 0 && !tx.Commit()) return req.Code(kRcDbFailed);
  if (result < 0) {
    return refuse(serid, result == -2   ? "入库记录不存在，可能刚被删除。"
                         : result == -3 ? "序列号物品明细码不匹配。"
                         : result == -4 ? "记录完成出库，未操作。"
                                        : tw::warehouse::kMessSystem);
  }
  out.Append("{\"ReturnValue\":1,");
  CJsonFields f(out);
  f.Str("cDepot", req.depotCode()).Str("cRNo", number).Str("cShelf", r.cshelfb).Str("cCode", code);
  f.Int("iserID", serid).Int("iID", r.iid).Str("cMark", r.cmark).Str("cMemo", r.cmemo);
  PutGoods(f, r);
  out.AppendChar('}');
  req.Send();
}

void OnPdawSerialOut(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  const int32_t orderId = tw::JsonGetInt("iqoID", rq.body, 0);
  char number[kNumberMax + 1], goodsCode[kCodeMax + 1], code[kCodeMax + 1];
  tw::JsonGetString("cNum", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  if (orderId <= 0 && std::string_view(number).size() < kOrderNumberMin) return req.Code(MissingKeyCode(1));
  const bool bNo = tw::JsonGetBool("bNo", rq.body, 0) != 0;
  const int32_t giid = tw::JsonGetInt("iqwGiid", rq.body, 0);
  tw::JsonGetString("cqgCode", rq.body, goodsCode, kCodeMax, tw::kJsonModeCodePage);
  if (giid <= 0 && goodsCode[0] == '\0') return req.Code(MissingKeyCode(0));
  tw::JsonGetString("cCode", rq.body, code, kCodeMax, tw::kJsonModeCodePage);
  if (code[0] == '\0') return req.Code(MissingKeyCode(2));
  const bool bDefective = tw::JsonGetBool("bDefective", rq.body, 0) != 0;
  if (!req.Open()) return;
  if ((orderId <= 0 && !IsGbkText(number)) || (giid <= 0 && !IsGbkText(goodsCode)) || !IsGbkText(code)) {
    return req.Code(kRcNotFound);
  }

  int32_t ioid = 0, orderState = 0;
  DbText<30> cnum = "", cno = "";
  {
    const std::string sql = "SELECT ioid,nstate,cnum,cno FROM dorvane.dbo.w_order WHERE cdepot='" + req.sqlDepot() +
                            "' AND " +
                            (orderId > 0 ? "ioid=" + std::to_string(orderId)
                                         : std::string(bNo ? "cno='" : "cnum='") + tw::SqlEscape(number) + "'") +
                            " ORDER BY ioid LIMIT 1";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    DbColumns(st).Int(ioid).Int(orderState).Text(cnum).Text(cno);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNotFound);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }
  if (orderState < 20) return req.Code(kRcStateTooLow);
  if (orderState >= 50) return req.Code(kRcStateTooHigh);

  GoodsOfRow r;
  const std::string sql = std::string("SELECT ") + kGoodsColumns +
                          " FROM dorvane.dbo.w_g_out AS a INNER JOIN dorvane.dbo.w_goods_define AS b ON(a.giid=b.giid) "
                          "INNER JOIN dorvane.dbo.w_goods_depot AS c ON(a.giid=c.giid AND c.cdepot='" +
                          req.sqlDepot() + "') WHERE a.ioid=" + std::to_string(ioid) +
                          (giid > 0 ? " AND b.giid=" + std::to_string(giid)
                                    : " AND b.cgcode='" + tw::SqlEscape(goodsCode) + "'") +
                          " ORDER BY a.iid LIMIT 1";
  if (int got = ReadGoodsOfRow(req, sql, r); got != 1) return req.Code(got);
  if (r.nstate < 20) return req.Code(kRcStateTooLow);
  if (r.nstate >= 50) return req.Code(kRcStateTooHigh);
  if (r.ntype != kSerialGoods) return req.Code(kRcNotSerialGoods);

  int32_t serid = 0, iidout = 0;
  const int found = FindSerial(req, r.giid, code, &serid, &iidout);
  if (found < 0) return req.Code(kRcDbFailed);
  if (found == 1 && iidout > 0) return req.Code(kRcStateTooHigh);
  // An unknown code goes on as serial id 0, which the procedure refuses as no such piece.
  CProcCall call("cp_w_g_serial_out_id");
  call.Int(serid).Int(bDefective ? 0 : 1).Int(TodayNumber()).Text(req.user().mcname).Int(ioid).Int(r.iid);
  AddOperation(call, req.depot(), kOperationSerialOut, r.giid, r.cshelfb);
  int32_t result = -1;
  if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);

  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", result < 0 ? tw::warehouse::kRcRefused : kRcOk);
  CJsonFields f(out);
  f.Str("cDepot", req.depotCode()).Int("ioID", ioid).Str("cNum", cnum).Str("cNo", cno).Str("cCode", code);
  f.Int("iserID", serid).Int("iID", r.iid).Str("cMark", r.cmark).Str("cMemo", r.cmemo);
  if (result < 0) {
    f.Int("iwGiid", r.giid).Str("cgName", r.cname);
    tw::warehouse::CloseWithMess(out, result == -2   ? "序列号物品明细记录不存在，可能刚被删除。"
                                      : result == -3 ? "序列号物品数量已够，未操作。"
                                      : result == -4 ? "该序列号的物品已经出库。"
                                                     : tw::warehouse::kMessSystem);
    return req.Send();
  }
  PutGoods(f, r);
  out.AppendChar('}');
  req.Send();
}

}  // namespace tw::warehouse
