// Orders out through picking carts: "pdawCartInfo" shows a cart of the depot with its goods to pick
// and its orders, "pdawCartChoose" gives it to a picker, "pdawCartConfirm" hands the picked cart over,
// "pdawOrderInfo" shows an order with its goods lines and "pdawOrderOut" confirms an order out of the
// depot with its fee items.

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
constexpr size_t kPersonMax = 30;
constexpr size_t kMarkMax = 15;
constexpr size_t kOrderInfoNumberMin = 6;
constexpr int32_t kCartConfirmed = 3;
constexpr int32_t kOrderReady = 10;
constexpr int32_t kOrderOut = 50;
constexpr int kRcStateTooLow = -15;
constexpr int kRcStateTooHigh = -16;

struct CartRow {
  int32_t iaid = 0;
  char ddate[32] = "";
  DbText<31> cinput = "";
  int32_t nstate = 0, iorder = 0, icatgory = 0, iquantity = 0;
  char dprint[32] = "";
  DbText<31> cprint = "";
  char dchoose[32] = "";
  DbText<31> cchoose = "";
  char dconfirm[32] = "";
  DbText<31> coper = "";
  DbText<31> cconfirm = "";
  DbText<15> cmark = "";
};

// The cart of this depot: 1 read, 0 none, -9 failed.
int ReadCart(CDepotRequest& req, int32_t cartId, CartRow& r) {
  const std::string sql =
      "SELECT iaid,ddate,cinput,nstate,iorder,icatgory,iquantity,dprint,cprint,dchoose,cchoose,dconfirm,coper,"
      "cconfirm,cmark FROM dorvane.dbo.w_order_cart WHERE cdepot='" +
      req.sqlDepot() + "' AND icartid=" + std::to_string(cartId);
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  DbColumns(st).Int(r.iaid).Text(r.ddate).Text(r.cinput).Int(r.nstate).Int(r.iorder).Int(r.icatgory)
      .Int(r.iquantity).Text(r.dprint).Text(r.cprint).Text(r.dchoose).Text(r.cchoose).Text(r.dconfirm).Text(r.coper)
      .Text(r.cconfirm).Text(r.cmark);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  return DbOk(rc) ? 1 : kRcDbFailed;
}

// The six keys of a cart that the choose and confirm replies carry.
void PutCartHead(CJsonFields& f, const char* depot, int32_t cartId, const CartRow& r) {
  f.Str("cDepot", depot).Int("iqCartID", cartId).Int("iState", r.nstate).Int("iOrder", r.iorder);
  f.Int("iCatgory", r.icatgory).Int("iQuantity", r.iquantity);
}

// The order condition: " ioid=<id>" or "cno='...'" / "cnum='...'" (always after a blank).
std::string OrderCondition(int32_t ioid, const char* number, bool bNo) {
  if (ioid > 0) return " ioid=" + std::to_string(ioid);
  return std::string(bNo ? " cno='" : " cnum='") + tw::SqlEscape(number) + "'";
}

void ChooseOrConfirm(CDepotRequest& req, bool bConfirm) {
  if (!req.ReadDepot()) return;
  const std::string_view body = req.body();
  const int32_t cartId = tw::JsonGetInt("iqCartID", body, 0);
  if (cartId <= 0) return req.Code(MissingKeyCode(1));
  char chooser[kPersonMax + 1] = "", picker[kPersonMax + 1] = "", confirm[kPersonMax + 1] = "";
  char password[kPersonMax + 1] = "", mark[kMarkMax + 1];
  if (bConfirm) {
    tw::JsonGetString("cOper", body, picker, kPersonMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cConfirm", body, confirm, kPersonMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cPassword", body, password, kPersonMax, tw::kJsonModeCodePage);
  } else {
    tw::JsonGetString("cChoose", body, chooser, kPersonMax, tw::kJsonModeCodePage);
  }
  tw::JsonGetString("cMark", body, mark, kMarkMax, tw::kJsonModeCodePage);
  if (!req.Open()) return;
  CartRow r;
  if (int got = ReadCart(req, cartId, r); got != 1) return req.Code(got);
  if (r.nstate >= kCartConfirmed) return req.Code(kRcStateTooLow);

  int32_t result = -1;
  if (bConfirm) {
    CProcCall call("cp_w_order_cart_set_confirm_ex");
    call.Int(tw::warehouse::TodayNumber()).Int(cartId).Text(picker).Text(confirm).Text(password).Text(mark);
    call.Text(req.user().mcname);
    if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);
  } else {
    CProcCall call("cp_w_order_cart_set_choose");
    call.Int(cartId).Text(chooser).Text(mark).Text(req.user().mcname);
    if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);
  }

  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", result < 0 ? tw::warehouse::kRcRefused : kRcOk);
  CJsonFields f(out);
  PutCartHead(f, req.depotCode(), cartId, r);
  if (result >= 0) {
    out.AppendChar('}');
    return req.Send();
  }
  const char* mess = tw::warehouse::kMessSystem;
  if (result == -2) mess = tw::warehouse::kMessGone;
  if (result == -4) mess = "记录已经完成确认。";
  if (bConfirm && result == -6) mess = "交接人不是捡货确认的角色。";
  if (bConfirm && result == -7) mess = "交接人没有捡货确认交接授权。";
  if (bConfirm && result == -8) mess = "交接人密码错误,请注意大小写!";
  tw::warehouse::CloseWithMess(out, mess);
  req.Send();
}

// The order keys "iqoID", "cNum" and "bNo". A number that is not GBK names no order.
struct OrderKeys {
  int32_t ioid = 0;
  char number[kNumberMax + 1] = "";
  bool bNo = false;
  void Read(std::string_view body) {
    ioid = tw::JsonGetInt("iqoID", body, 0);
    tw::JsonGetString("cNum", body, number, kNumberMax, tw::kJsonModeCodePage);
    bNo = tw::JsonGetBool("bNo", body, 0) != 0;
  }
  [[nodiscard]] bool Usable() const { return ioid > 0 || IsGbkText(number); }
  [[nodiscard]] std::string Condition() const { return OrderCondition(ioid, number, bNo); }
};

}  // namespace

namespace tw::warehouse {

void OnPdawCartInfo(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  const int32_t cartId = tw::JsonGetInt("iqCartID", rq.body, 0);
  if (cartId <= 0) return req.Code(MissingKeyCode(1));
  const bool bGoods = tw::JsonGetBool("bListGoods", rq.body, 0) != 0;
  const bool bOrders = tw::JsonGetBool("bListOrder", rq.body, 0) != 0;
  if (!req.Open()) return;
  CartRow r;
  if (int got = ReadCart(req, cartId, r); got != 1) return req.Code(got);

  tw::OutBuf& out = req.Reply();
  char input[kReplyDateSize], print[kReplyDateSize], choose[kReplyDateSize];
  FormatReplyDate(r.ddate, true, input);
  FormatReplyDate(r.dprint, true, print);
  FormatReplyDate(r.dchoose, true, choose);
  out.Append("{\"ReturnValue\":1,");
  CJsonFields head(out);
  PutCartHead(head, req.depotCode(), cartId, r);
  head.Str("dInput", input).Str("cInput", r.cinput).Str("dPrint", print).Str("cPrint", r.cprint);
  head.Str("dChoose", choose).Str("cChoose", r.cchoose).Str("cOper", r.coper).Str("cConfirm", r.cconfirm);
  head.Str("cMark", r.cmark);

  // The orders of the cart are those of this depot: a cart id names one cart.
  const std::string cartOrders =
      "(SELECT ioid FROM dorvane.dbo.w_order WHERE icartid=" + std::to_string(cartId) + " AND cdepot='" +
      req.sqlDepot() + "')";
  if (bGoods) {
    const std::string sql =
        "SELECT a.giid,b.cccode,b.cgcode,b.cname,c.cshelfb,c.wcolumnb,c.nstoryb,c.icid,c.cmark,c.cmemo,b.ckind,"
        "b.cmodel,SUM(a.irealout) AS qtt FROM dorvane.dbo.w_order_item AS a INNER JOIN dorvane.dbo.w_goods_define AS "
        "b ON(a.giid=b.giid) INNER JOIN dorvane.dbo.w_goods_depot AS c ON(a.giid=c.giid AND c.cdepot='" +
        req.sqlDepot() + "') WHERE a.ioid IN " + cartOrders +
        " GROUP BY a.giid,b.cccode,b.cgcode,b.cname,c.cshelfb,c.wcolumnb,c.nstoryb,c.icid,c.cmark,c.cmemo,b.ckind,"
        "b.cmodel ORDER BY c.cshelfb,b.cgcode,a.giid";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    int32_t giid = 0, column = 0, story = 0, icid = 0;
    int64_t quantity = 0;
    DbText<63> cccode = "", cgcode = "", cmodel = "";
    DbText<255> cname = "", cmemo = "";
    DbText<31> shelf = "", kind = "";
    DbText<15> cmark = "";
    DbColumns(st).Int(giid).Text(cccode).Text(cgcode).Text(cname).Text(shelf).Int(column).Int(story).Int(icid)
        .Text(cmark).Text(cmemo).Text(kind).Text(cmodel).Int64(quantity);
    out.Append(",\"GoodsList\":[");
    for (bool first = true;; first = false) {
      const SQLRETURN rc = st.Fetch();
      if (rc == SQL_NO_DATA) break;
      if (!DbOk(rc)) return req.Code(kRcDbFailed);
      if (!first) out.AppendChar(',');
      out.AppendChar('{');
      CJsonFields(out).Int("iwGiid", giid).Str("cgName", cname).Str("cgCode", cgcode).Str("ccCode", cccode)
          .Str("cgKind", kind).Str("cgModel", cmodel).Str("cShelf", shelf).Int("iClomn", column).Int("iStory", story)
          .Int64("iQuantity", quantity).Str("cMark", cmark).Str("cMemo", cmemo).Int("icID", icid);
      out.AppendChar('}');
    }
    out.AppendChar(']');
  }
  if (bOrders) {
    const std::string sql =
        "SELECT ioid,icid,cemskind,cdes,creceiver,cmark,cmemo,cnum,cno,cgoods,iquantity,cpacking,ctransnote,icategory "
        "FROM dorvane.dbo.w_order WHERE icartid=" +
        std::to_string(cartId) + " AND cdepot='" + req.sqlDepot() + "' ORDER BY ioid";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    int32_t ioid = 0, icid = 0, quantity = 0, category = 0;
    DbText<15> kind = "", cmark = "";
    DbText<63> des = "", receiver = "", packing = "";
    DbText<254> memo = "", goods = "", note = "";
    DbText<30> cnum = "", cno = "";
    DbColumns(st).Int(ioid).Int(icid).Text(kind).Text(des).Text(receiver).Text(cmark).Text(memo).Text(cnum).Text(cno)
        .Text(goods).Int(quantity).Text(packing).Text(note).Int(category);
    out.Append(",\"OrderList\":[");
    for (bool first = true;; first = false) {
      const SQLRETURN rc = st.Fetch();
      if (rc == SQL_NO_DATA) break;
      if (!DbOk(rc)) return req.Code(kRcDbFailed);
      if (!first) out.AppendChar(',');
      out.AppendChar('{');
      CJsonFields(out).Int("ioID", ioid).Int("icID", icid).Str("cNum", cnum).Str("cNo", cno).Str("cEmskind", kind)
          .Str("cDes", des).Str("cReceiver", receiver).Str("cGoods", goods).Int("iQuantity", quantity)
          .Int("iCategory", category).Str("cPack", packing).Str("cTransNote", note).Str("cMark", cmark)
          .Str("cMemo", memo);
      out.AppendChar('}');
    }
    out.AppendChar(']');
  }
  out.AppendChar('}');
  req.Send();
}

void OnPdawCartChoose(const CRequest& rq) {
  CDepotRequest req(rq);
  ChooseOrConfirm(req, false);
}

void OnPdawCartConfirm(const CRequest& rq) {
  CDepotRequest req(rq);
  ChooseOrConfirm(req, true);
}

void OnPdawOrderInfo(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  OrderKeys keys;
  keys.Read(rq.body);
  if (keys.ioid <= 0 && std::string_view(keys.number).size() < kOrderInfoNumberMin) return req.Code(MissingKeyCode(1));
  const bool bGoods = tw::JsonGetBool("bListGoods", rq.body, 0) != 0;
  if (!req.Open()) return;
  if (!keys.Usable()) return req.Code(kRcNotFound);

  const std::string sql =
      "SELECT ioid,icid,nstate,icartid,cnum,cno,crefer,ccno,cbatch,cdes,cemskind,ddate,cinput,creceiver,cgoods,"
      "iquantity,cpacking,ctransnote,cgoodsa,cgcodea,cgcodeb,cgcodec,cby1,cby2,cby3,cby4,cby5,cmark,cmemo FROM "
      "dorvane.dbo.w_order WHERE cdepot='" +
      req.sqlDepot() + "' AND" + keys.Condition() + " ORDER BY ioid LIMIT 1";
  int32_t ioid = 0, icid = 0, state = 0, cart = 0, quantity = 0;
  DbText<30> cnum = "", cno = "", crefer = "", ccno = "";
  DbText<31> batch = "", input = "";
  DbText<63> des = "", receiver = "", packing = "", codeA = "", codeB = "", codeC = "";
  DbText<63> by1 = "", by2 = "", by3 = "", by4 = "";
  DbText<254> goods = "", note = "", goodsA = "", by5 = "", memo = "";
  DbText<15> kind = "", mark = "";
  char made[32] = "";
  {
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    DbColumns(st).Int(ioid).Int(icid).Int(state).Int(cart).Text(cnum).Text(cno).Text(crefer).Text(ccno).Text(batch)
        .Text(des).Text(kind).Text(made).Text(input).Text(receiver).Text(goods).Int(quantity).Text(packing).Text(note)
        .Text(goodsA).Text(codeA).Text(codeB).Text(codeC).Text(by1).Text(by2).Text(by3).Text(by4).Text(by5).Text(mark)
        .Text(memo);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNotFound);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }
  char madeText[kReplyDateSize];
  FormatReplyDate(made, true, madeText);
  tw::OutBuf& out = req.Reply();
  out.Append("{\"ReturnValue\":1,");
  CJsonFields(out).Str("cDepot", req.depotCode()).Int("ioID", ioid).Int("icID", icid).Int("iState", state)
      .Int("iCartID", cart).Str("cNum", cnum).Str("cNo", cno).Str("cRNo", crefer).Str("cCNo", ccno)
      .Str("cBatch", batch).Str("cDes", des).Str("cEmsKind", kind).Str("dInput", madeText).Str("cInput", input)
      .Str("cReceiver", receiver).Str("cGoods", goods).Int("iQuantity", quantity).Str("cPack", packing)
      .Str("cTransNote", note).Str("cGoodsA", goodsA).Str("cGCodeA", codeA).Str("cGCodeB", codeB)
      .Str("cGCodeC", codeC).Str("cBy1", by1).Str("cBy2", by2).Str("cBy3", by3).Str("cBy4", by4).Str("cBy5", by5)
      .Str("cMark", mark).Str("cMemo", memo);
  if (bGoods) {
    // One goods-out row per goods item: several rows of one goods must not repeat its line.
    const std::string lines =
        "SELECT a.giid,a.iquantity,b.cgcode,b.cname,b.cunit,b.icid,a.cex1,b.ntype,b.cccode,d.cshelfb,d.wcolumnb,"
        "d.nstoryb,d.cmark,d.cmemo FROM dorvane.dbo.w_order_item AS a INNER JOIN dorvane.dbo.w_goods_define AS b "
        "ON(a.giid=b.giid) INNER JOIN dorvane.dbo.w_goods_depot AS d ON(d.giid=b.giid AND d.cdepot='" +
        req.sqlDepot() +
        "') LEFT OUTER JOIN (SELECT ioid,giid,MIN(iid) AS iid FROM dorvane.dbo.w_g_out GROUP BY ioid,giid) AS c "
        "ON(a.giid=c.giid AND c.ioid=" +
        std::to_string(ioid) + ") WHERE a.ioid=" + std::to_string(ioid) + " ORDER BY a.wpos,a.iid";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(lines.c_str()))) return req.Code(kRcDbFailed);
    int32_t giid = 0, lineQuantity = 0, owner = 0, type = 0, column = 0, story = 0;
    DbText<63> cgcode = "", cccode = "", ex1 = "";
    DbText<255> cname = "", dmemo = "";
    DbText<15> unit = "", dmark = "";
    DbText<31> shelf = "";
    DbColumns(st).Int(giid).Int(lineQuantity).Text(cgcode).Text(cname).Text(unit).Int(owner).Text(ex1).Int(type)
        .Text(cccode).Text(shelf).Int(column).Int(story).Text(dmark).Text(dmemo);
    out.Append(",\"GoodsList\":[");
    for (bool first = true;; first = false) {
      const SQLRETURN rc = st.Fetch();
      if (rc == SQL_NO_DATA) break;
      if (!DbOk(rc)) return req.Code(kRcDbFailed);
      if (!first) out.AppendChar(',');
      out.AppendChar('{');
      CJsonFields(out).Int("iwGiid", giid).Str("cgName", cname).Str("cgCode", cgcode).Str("ccCode", cccode)
          .Str("cShelf", shelf).Int("iColume", column).Int("iStory", story).Str("cUnit", unit)
          .Bool("bSerial", type == 1).Str("cEx1", ex1).Int("iQuantity", lineQuantity).Str("cMark", dmark)
          .Str("cMemo", dmemo).Int("icID", owner);
      out.AppendChar('}');
    }
    out.AppendChar(']');
  }
  out.AppendChar('}');
  req.Send();
}

void OnPdawOrderOut(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  OrderKeys keys;
  keys.Read(rq.body);
  if (keys.ioid <= 0 && keys.number[0] == '\0') return req.Code(MissingKeyCode(1));
  char confirm[kPersonMax + 1], password[kPersonMax + 1];
  tw::JsonGetString("cConfirm", rq.body, confirm, kPersonMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cPassword", rq.body, password, kPersonMax, tw::kJsonModeCodePage);
  if (!req.Open()) return;
  if (!keys.Usable()) return req.Code(kRcNotFound);

  int32_t ioid = 0, state = 0, quantity = 0, items = 0, icid = 0;
  double weight = 0;
  DbText<254> goods = "", note = "", memo = "";
  DbText<15> kind = "", mark = "";
  DbText<63> des = "";
  DbText<30> cnum = "", cno = "";
  {
    const std::string sql =
        "SELECT ioid,nstate,cgoods,iquantity,ctransnote,fweight,iitem,icid,cemskind,cdes,cnum,cno,cmark,cmemo FROM "
        "dorvane.dbo.w_order WHERE cdepot='" +
        req.sqlDepot() + "' AND" + keys.Condition() + " ORDER BY ioid LIMIT 1";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    DbColumns(st).Int(ioid).Int(state).Text(goods).Int(quantity).Text(note).Double(weight).Int(items).Int(icid)
        .Text(kind).Text(des).Text(cnum).Text(cno).Text(mark).Text(memo);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNotFound);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }
  if (state < kOrderReady) return req.Code(kRcStateTooLow);
  if (state >= kOrderOut) return req.Code(kRcStateTooHigh);

  // The fees are charged on the pieces of the goods-out rows (not the order's own count).
  int64_t pieces = 0;
  {
    const std::string sql =
        "SELECT COALESCE(SUM(c.iquantity),0) FROM dorvane.dbo.w_g_out AS c INNER JOIN dorvane.dbo.w_goods_depot AS a "
        "ON(c.giid=a.giid AND a.cdepot='" +
        req.sqlDepot() + "') INNER JOIN dorvane.dbo.w_goods_define AS b ON(c.giid=b.giid) WHERE c.ioid=" +
        std::to_string(ioid);
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    st.BindInt64(1, &pieces);
    if (!DbOk(st.Fetch())) return req.Code(kRcDbFailed);
  }

  int32_t result = -1, booking = 0;
  (void)req.depot().Touch(ioid, static_cast<int32_t>(pieces));
  CProcCall call("cp_w_order_set_o_confirm");
  call.OutInt(&booking).Int(ioid).Text(req.user().mcname).Text("").Text("").Text("").Text(confirm).Text(password);
  call.Text("").Text("").Fees(req.depot(), {22, 23, 24, 25, 26}, pieces);
  if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);

  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", result < 0 ? tw::warehouse::kRcRefused : kRcOk);
  CJsonFields f(out);
  f.Str("cDepot", req.depotCode()).Int("icID", icid).Int("ioID", ioid);
  if (result >= 0) f.Int("irID", booking);
  f.Str("cNum", cnum).Str("cNo", cno).Str("cDes", des).Str("cEmsKind", kind).Int("iItem", items);
  f.Real("fWeight", weight, 3).Str("cGoods", goods).Int("iQuantity", quantity).Str("cTransNote", note);
  f.Str("cMark", mark).Str("cMemo", memo);
  if (result >= 0) {
    out.AppendChar('}');
    return req.Send();
  }
  const char* mess = tw::warehouse::kMessSystem;
  switch (result) {
    case -2: mess = tw::warehouse::kMessGone; break;
    case -3: mess = "序列号物品明细码不匹配。"; break;
    case -4: mess = "记录完成出库。"; break;
    case -6: mess = "交接人不是仓库中的角色。"; break;
    case -7: mess = "交接人没有出库交接授权。"; break;
    case -8: mess = "交接人密码错误,请注意大小写!"; break;
    default: break;
  }
  tw::warehouse::CloseWithMess(out, mess);
  req.Send();
}

}  // namespace tw::warehouse
