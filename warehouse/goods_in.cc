// Goods in: "pdawInPick" (the goods were fetched), "pdawInCheck" (counted and inspected) and
// "pdawInConfirm" (handed over and stored) on a goods-in notice of the depot, and "pdawInConfirmEx",
// which defines, places, announces and stores goods in one transaction.

#include <cstdio>
#include <ctime>
#include <string>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/result_codes.h"
#include "pricing/ostrum_container.h"
#include "util/escape.h"
#include "util/json.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/goods.h"
#include "warehouse/internal/goods_in.h"
#include "warehouse/internal/request.h"

namespace {

using tw::warehouse::CDepotRequest;
using tw::warehouse::CProcCall;

constexpr size_t kNumberMax = 30;
constexpr size_t kShelfMax = 30;
constexpr size_t kPersonMax = 30;
// A notice is ready for the steps from this state on.
constexpr int32_t kStateReady = 10;
constexpr int kRcNotReady = -15;
constexpr int kRcCountsDiffer = -16;

enum class Step { kPick, kCheck, kConfirm };

// The goods-in row with its goods (and, for confirm, the placement in the depot).
struct InRow {
  int32_t icid = 0;
  DbText<31> cbatch = "";
  int32_t npick = 0;
  double fstep = 0;  // fpick (pick) or fqcin (check, confirm)
  int32_t nstate = 0;
  int32_t iquantity = 0, inormal = 0, idefective = 0;
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
  // confirm only
  DbText<3> cmoney = "";
  int32_t wfreedays = 0;
  int32_t placementId = 0;
  DbText<31> cshelfb = "";
};

constexpr char kInColumns[] =
    "b.icid,a.cbatch,a.npick,%s,a.nstate,a.iquantity,a.inormal,a.idefective,a.cmark,a.cmemo,b.cgcode,b.cname,"
    "b.cnamee,b.ilong,b.iwidth,b.iheight,b.fweight,a.giid,b.ccolor,b.csize,b.cbrand,b.cmodel,b.cunit,a.iid";

// Reads the notice of the number in this depot. 1 read, 0 none, -9 the statement failed.
int ReadNotice(CDepotRequest& req, const char* number, Step step, InRow& r) {
  if (!IsGbkText(number)) return 0;  // no stored number reads so
  std::string sql = "SELECT " + StringPrintf(kInColumns, step == Step::kPick ? "a.fpick" : "a.fqcin");
  if (step == Step::kConfirm) {
    // The notice and its goods' placement, both of this depot.
    sql += ",c.cmoney,c.wfreedays,c.iid,c.cshelfb FROM dorvane.dbo.w_g_in AS a INNER JOIN "
           "dorvane.dbo.w_goods_define AS b ON(a.giid=b.giid) INNER JOIN dorvane.dbo.w_goods_depot AS c "
           "ON(a.giid=c.giid AND c.cdepot='" +
           req.sqlDepot() + "') WHERE a.crno='" + tw::SqlEscape(number) + "' AND a.cdepot='" + req.sqlDepot() + "'";
  } else {
    sql += " FROM dorvane.dbo.w_g_in AS a INNER JOIN dorvane.dbo.w_goods_define AS b ON(a.giid=b.giid) WHERE "
           "a.cdepot='" +
           req.sqlDepot() + "' AND a.crno='" + tw::SqlEscape(number) + "'";
  }
  sql += " ORDER BY a.iid LIMIT 1";
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  DbColumns b(st);
  b.Int(r.icid).Text(r.cbatch).Int(r.npick).Double(r.fstep).Int(r.nstate).Int(r.iquantity).Int(r.inormal);
  b.Int(r.idefective).Text(r.cmark).Text(r.cmemo).Text(r.cgcode).Text(r.cname).Text(r.cnamee).Int(r.ilong);
  b.Int(r.iwidth).Int(r.iheight).Double(r.fweight).Int(r.giid).Text(r.ccolor).Text(r.csize).Text(r.cbrand);
  b.Text(r.cmodel).Text(r.cunit).Int(r.iid);
  if (step == Step::kConfirm) b.Text(r.cmoney).Int(r.wfreedays).Int(r.placementId).Text(r.cshelfb);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  return DbOk(rc) ? 1 : kRcDbFailed;
}

const char* StepMess(Step step, int result) {
  if (result == -2) return tw::warehouse::kMessGone;
  switch (step) {
    case Step::kPick:
      if (result == -4) return "记录完成入库，不能再确认取货。";
      if (result == -5) return "记录完成质检，不能再确认取货。";
      break;
    case Step::kCheck:
      if (result == -4) return "记录完成入库，不能再确认质检。";
      break;
    case Step::kConfirm:
      if (result == -3) return "序列号物品明细码不匹配。";
      if (result == -4) return "记录完成入库，不能再确认质检。";
      if (result == -6) return "交接人不是仓库中的角色。";
      if (result == -7) return "交接人没有入库交接授权。";
      if (result == -8) return "交接人密码错误,请注意大小写!";
      break;
  }
  return tw::warehouse::kMessSystem;
}

// The goods keys every success reply ends with, from "icID" on.
void PutGoods(CJsonFields& f, const InRow& r) {
  f.Int("icID", r.icid).Int("iwGiid", r.giid).Str("cgName", r.cname).Str("cgNameE", r.cnamee).Str("cgCode", r.cgcode);
  f.Str("cUnit", r.cunit).Str("cColor", r.ccolor).Str("cSize", r.csize).Str("cBrand", r.cbrand);
  f.Str("cModel", r.cmodel).Real("fWeight", r.fweight, 3).Int("iLong", r.ilong).Int("iWidth", r.iwidth);
  f.Int("iHeight", r.iheight);
}

void RunStep(CDepotRequest& req, Step step) {
  if (!req.ReadDepot()) return;
  const std::string_view body = req.body();
  char number[kNumberMax + 1], shelf[kShelfMax + 1] = "", confirm[kPersonMax + 1] = "", password[kPersonMax + 1] = "";
  tw::JsonGetString("cRNo", body, number, kNumberMax, tw::kJsonModeCodePage);
  if (number[0] == '\0') return req.Code(MissingKeyCode(1));
  const int32_t normal = tw::JsonGetInt("iNormal", body, 0);
  const int32_t defective = tw::JsonGetInt("iDefective", body, 0);
  // The sum in 64 bits: two large counts must not wrap into a "valid" quantity.
  const int64_t sum = static_cast<int64_t>(normal) + defective;
  if (sum < 1 || sum > INT32_MAX) return req.Code(MissingKeyCode(2));
  const int32_t quantity = static_cast<int32_t>(sum);
  if (step == Step::kConfirm) {
    tw::JsonGetString("cShelf", body, shelf, kShelfMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cConfirm", body, confirm, kPersonMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cPassword", body, password, kPersonMax, tw::kJsonModeCodePage);
  }
  if (!req.Open()) return;

  InRow r;
  if (int got = ReadNotice(req, number, step, r); got != 1) return req.Code(got);
  if (r.nstate < kStateReady) return req.Code(kRcNotReady);

  tw::OutBuf& out = req.Reply();
  if (step == Step::kConfirm && (normal != r.inormal || defective != r.idefective)) {
    out.Printf("{\"ReturnValue\":%d,", kRcCountsDiffer);
    CJsonFields(out).Str("cDepot", req.depotCode()).Str("cRNo", number).Int("iID", r.iid).Int("nState", r.nstate)
        .Int("iQuantity", r.inormal + r.idefective).Int("iNormal", r.inormal).Int("iDefective", r.idefective);
    out.AppendChar('}');
    return req.Send();
  }

  int32_t result = -1;
  if (step == Step::kConfirm) {
    (void)req.depot().Touch(r.giid, quantity);
    CProcCall call("cp_w_g_in_confirm");
    call.Int(r.iid).Text(req.user().mcname).Int(quantity).Int(normal).Int(defective).Text("").Int(r.wfreedays).Int(0);
    call.Text(r.cbatch).Text(r.cshelfb).Text(confirm).Text(password).Text("").Text(r.cmoney).Int(r.placementId);
    call.Text(shelf).Int(0).Int(0).Fees(req.depot(), {2, 3, 4, 5}, quantity);
    if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);
  } else {
    CProcCall call(step == Step::kPick ? "cp_w_g_in_set_pick" : "cp_w_g_in_set_check");
    call.Int(r.iid).Text(req.user().mcname).Int(quantity).Int(normal).Int(defective).Text("");
    if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);
  }

  if (result < 0) {
    out.Printf("{\"ReturnValue\":%d,", tw::warehouse::kRcRefused);
    CJsonFields(out).Str("cDepot", req.depotCode()).Str("cRNo", number).Int("iID", r.iid).Int("iQuantity", quantity)
        .Int("iNormal", normal).Int("iDefective", defective).Str("cMark", r.cmark).Str("cMemo", r.cmemo)
        .Int("iwGiid", r.giid).Str("cgName", r.cname);
    tw::warehouse::CloseWithMess(out, StepMess(step, result));
    return req.Send();
  }
  out.Append("{\"ReturnValue\":1,");
  CJsonFields f(out);
  f.Str("cDepot", req.depotCode()).Str("cRNo", number);
  if (step == Step::kConfirm) {
    f.Str("cShelf", shelf[0] != '\0' ? shelf : r.cshelfb).Str("cConfirm", confirm).Int("iID", r.iid);
  } else {
    f.Int("iID", r.iid).Real(step == Step::kPick ? "fPick" : "fQCIn", r.fstep, 2);
  }
  f.Int("iQuantity", quantity).Int("iNormal", normal).Int("iDefective", defective).Str("cMark", r.cmark);
  f.Str("cMemo", r.cmemo);
  PutGoods(f, r);
  out.AppendChar('}');
  req.Send();
}

}  // namespace

namespace tw::warehouse {

void OnPdawInPick(const CRequest& rq) {
  CDepotRequest req(rq);
  RunStep(req, Step::kPick);
}

void OnPdawInCheck(const CRequest& rq) {
  CDepotRequest req(rq);
  RunStep(req, Step::kCheck);
}

void OnPdawInConfirm(const CRequest& rq) {
  CDepotRequest req(rq);
  RunStep(req, Step::kConfirm);
}

void OnPdawInConfirmEx(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  GoodsDefineRecord goods;
  char account[31];
  if (int code = tw::warehouse::ReadGoodsDefineKeys(rq.body, goods, account); code != 0) return req.Code(code);
  if (!req.TakeSlot()) return;
  if (goods.icid <= 0) {
    goods.icid = g_OstrumContainer.GetClientId(account, req.dbc());
    if (goods.icid <= 0) return req.Code(kRcNoClientKey);
  }
  if (!req.LoadDepot()) return;
  tw::warehouse::ReadGoodsDefineAttributes(rq.body, goods);

  GoodsDepotRecord place;
  place.icid = goods.icid;
  tw::JsonGetString("cShelf", rq.body, place.cshelf, 15, tw::kJsonModeCodePage);
  tw::JsonGetString("cMoney", rq.body, place.cmoney, 3, tw::kJsonModeCodePage);
  place.imin = tw::JsonGetInt("iMin", rq.body, 0);
  place.imax = tw::JsonGetInt("iMax", rq.body, 999999);
  place.columnb = tw::JsonGetInt("iColumnB", rq.body, 0);
  place.columne = tw::JsonGetInt("iColumnE", rq.body, 0);
  place.storyb = tw::JsonGetInt("iStoryB", rq.body, 0);
  place.storye = tw::JsonGetInt("iStoryE", rq.body, 0);
  std::snprintf(place.cunit, sizeof place.cunit, "%s", goods.cunit);
  const int32_t quantity = tw::JsonGetInt("iQuantity", rq.body, 0);
  if (quantity < 1) return req.Code(kRcNotReady);
  int32_t kind = tw::JsonGetInt("nType", rq.body, 0);
  if (kind < 0 || kind > 2) kind = 0;
  char number[kNumberMax + 1], batch[kNumberMax + 1], confirm[kPersonMax + 1], password[kPersonMax + 1];
  tw::JsonGetString("cRNo", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cBatch", rq.body, batch, kNumberMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cConfirm", rq.body, confirm, kPersonMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cPassword", rq.body, password, kPersonMax, tw::kJsonModeCodePage);
  if (batch[0] == '\0') tw::warehouse::MakeBatch(goods.icid, batch);
  // The number is drawn before the transaction opens: it is used up even when the goods in fails.
  if (number[0] == '\0') tw::warehouse::DrawGoodsInNumber(req.slot(), goods.icid, number);

  // The four steps form one transaction: a failure leaves nothing behind, so a retry can succeed.
  DbTransaction tx(req.dbc());
  if (!tx.ok()) return req.Code(kRcDbFailed);
  std::string mess;
  const int giid = AddGoodsDefine(req.slot(), goods, req.user(), mess);
  tw::OutBuf& out = req.Reply();
  if (giid < 0) {
    out.Printf("{\"ReturnValue\":%d,", giid);
    CJsonFields(out).Str("cDepot", req.depotCode());
    tw::warehouse::CloseWithMess(out, mess.c_str());
    return req.Send();
  }
  place.giid = giid;
  const int placement = AddGoodsDepot(req.slot(), place, req.depotCode(), req.user(), mess);
  if (placement < 0) {
    out.Printf("{\"ReturnValue\":%d,", placement);
    CJsonFields(out).Str("cDepot", req.depotCode()).Int("icID", goods.icid).Int("iwGiid", giid)
        .Str("cgName", goods.cname).Str("cgCode", goods.cgcode).Str("ccCode", goods.cccode);
    tw::warehouse::CloseWithMess(out, mess.c_str());
    return req.Send();
  }

  const std::string shelfText =
      FormatShelfText(place.cshelf, static_cast<uint32_t>(place.columnb), static_cast<uint32_t>(place.storyb));
  int32_t notice = -1;
  {
    CProcCall call("cp_w_g_in_add");
    call.Text(req.depotCode()).Int(giid).Int(kind).Int(0).Int(goods.icid).Int(0).Text(place.cshelf).Text(shelfText);
    call.Int(place.storyb).Int(place.columnb).Text(batch).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0);
    call.Text("").Text("").Text("").Int(tw::warehouse::TodayNumber()).Text("1900.1.1").Text("1900.1.1");
    call.Text(req.user().mcname).Int(quantity).Text(goods.cmark).Text(goods.cmemo).Text(number).Text("1900.1.1");
    if (!call.Run(req.dbc(), &notice) || notice <= 0) return req.Code(kRcDbFailed);
  }
  int32_t result = -1;
  {
    (void)req.depot().Touch(giid, quantity);
    CProcCall call("cp_w_g_in_confirm");
    call.Int(notice).Text(req.user().mcname).Int(quantity).Int(quantity).Int(0).Text("").Int(goods.freedays).Int(0);
    call.Text(batch).Text(place.cshelf).Text(confirm).Text(password).Text("").Text(place.cmoney).Int(placement);
    call.Text(place.cshelf).Int(0).Int(0).Fees(req.depot(), {2, 3, 4, 5}, quantity);
    // The handover refusals are not told apart here: any refusal is "-9".
    if (!call.Run(req.dbc(), &result) || result < 0) return req.Code(kRcDbFailed);
  }
  if (!tx.Commit()) return req.Code(kRcDbFailed);

  out.Printf("{\"ReturnValue\":%d,", result);
  CJsonFields(out).Str("cDepot", req.depotCode()).Int("icID", goods.icid).Int("iwGiid", giid).Int("iID", notice)
      .Int("iQuantity", quantity).Str("cRNo", number).Str("cBatch", batch).Str("cShelf", place.cshelf)
      .Str("cgName", goods.cname).Str("cgCode", goods.cgcode).Str("ccCode", goods.cccode).Str("cUnit", goods.cunit);
  out.AppendChar('}');
  req.Send();
}

}  // namespace tw::warehouse
