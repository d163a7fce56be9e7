// Goods definitions and their placement in depots: "pdawGoodsDefine" defines an article once,
// "pdawGoodsDepot" places it in a depot, "pdawGoodsInfo" reads a placed article; AddGoodsDefine and
// AddGoodsDepot do the two writing steps for these and for the one-step goods in.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/result_codes.h"
#include "pricing/ostrum_container.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/goods.h"
#include "warehouse/internal/request.h"

namespace {

using tw::warehouse::CDepotRequest;
using tw::warehouse::CProcCall;

constexpr char kMessBusy[] = "系统忙。";
// "pdawGoodsDepot": no goods of that id or code.
constexpr int kRcNoSuchGoods = -2;

// Reads a text key into a record field of N bytes (at most max characters, max < N).
template <size_t N>
void ReadText(std::string_view body, const char* key, char (&out)[N], size_t max) {
  tw::JsonGetString(key, body, out, std::min(max, N - 1), tw::kJsonModeCodePage);
}

const char* DefineMess(int result) {
  switch (result) {
    case -9: return kMessBusy;
    case -1: return "统一物品编码重复。";
    case -2: return "该记录刚被删除，数据修改失败。";
    case -3: return "客户物品编码重复。";
    case -4: return "客户物品名称重复。";
    default: return tw::warehouse::kMessSystem;
  }
}

const char* DepotMess(int result) {
  switch (result) {
    case -9: return kMessBusy;
    case -1: return "该物品已经归库。";
    default: return tw::warehouse::kMessSystem;
  }
}

// A negative result with its text: {"ReturnValue":result,"cDepot":...,"cMess":...}.
void ReplyRefusal(CDepotRequest& req, int result, const std::string& mess) {
  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", result);
  CJsonFields(out).Str("cDepot", req.depotCode());
  tw::warehouse::CloseWithMess(out, mess.c_str());
  req.Send();
}

struct GoodsRow {
  int32_t icid = 0;
  int32_t nshare = 0;
  int32_t nqc = 0;
  DbText<63> cccode = "";
  DbText<63> cgcode = "";
  DbText<31> ckind = "";
  DbText<255> cname = "";
  DbText<15> cunit = "";
  int32_t giid = 0;
  double fwpu = 0;
  int32_t iedays = 0;
  int32_t wfreedays = 0;
};

struct PlacedGoodsRow {
  int32_t icid = 0;
  DbText<31> cshelfb = "";
  int32_t nstoryb = 0, nstorye = 0, wcolumnb = 0, wcolumne = 0;
  DbText<15> cunit = "";
  int32_t iedays = 0, iin = 0, iout = 0;
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
  DbText<63> cccode = "";
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
  int32_t ntype = 0;
};

}  // namespace

namespace tw::warehouse {

int AddGoodsDefine(PoolSlot& slot, const GoodsDefineRecord& r, const PdaUser& user, std::string& mess) {
  CProcCall call("cp_w_goods_define_add");
  call.Int(r.icid).Text(r.cccode).Text(r.cgcode).Text(r.chscode).Text(r.cgpccode).Text(user.mcname).Int(0);
  call.Int(r.bshare != 0 ? 1 : 0).Int(r.nqc).Real(r.fwpu, 4).Int(r.freedays).Text(r.ckind).Text(r.cname);
  call.Text(r.cnamee).Text(r.cproducer).Text(r.ccolor).Text(r.csize).Text(r.cbrand).Text(r.cmodel);
  call.Int(r.ilong).Int(r.iwidth).Int(r.iheight).Real(r.fweight, 3).Text("KGM").Text(r.corigin).Text(r.cunit);
  call.Int(r.iedays).Int(r.ntype != 0 ? 1 : 0).Text(r.cmark).Text(r.cmemo).Int(0).Int(1).Int(r.iweightdiff);
  int32_t result = -1;
  if (!call.Run(slot.hDbc, &result)) result = kRcDbFailed;
  if (result < 0) mess = DefineMess(result);
  return result;
}

int AddGoodsDepot(PoolSlot& slot, const GoodsDepotRecord& r, const char* depotCode, const PdaUser& user,
                  std::string& mess) {
  CProcCall call("cp_w_goods_depot_add");
  call.Int(r.giid).Int(r.icid).Text(depotCode).Text(r.cshelf).Text(r.cshelf).Int(r.storyb).Int(r.storye);
  call.Int(r.columnb).Int(r.columne).Text(user.mcname).Int(r.reserve).Int(r.bshare != 0 ? 1 : 0).Int(r.nqc);
  call.Text("").Real(r.fpackm, 2).Real(r.fpackl, 2).Real(r.fqcin, 2).Real(r.flabel, 2).Real(r.farrange, 2);
  call.Real(r.fqcout, 2).Real(r.fwpu, 4).Int(r.freedays).Text(r.cmoney).Real(r.fprice, 2).Real(r.fprices, 2);
  call.Real(r.fpriceb, 2).Real(r.fpricev, 2).Real(r.fdvalue, 2).Real(r.fivalue, 2).Real(r.fevalue, 2);
  call.Real(r.fvaday, 4).Text(r.cunit).Int(r.imin).Int(r.imax).Int(r.iedays).Int(0).Text(r.cmark).Text(r.cmemo);
  call.Int(0).Int(1).Int(0).Real(0, 2);
  int32_t result = -1;
  if (!call.Run(slot.hDbc, &result)) result = kRcDbFailed;
  if (result < 0) mess = DepotMess(result);
  return result;
}

void OnPdawGoodsDefine(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  GoodsDefineRecord r;
  char account[31];
  if (int code = tw::warehouse::ReadGoodsDefineKeys(rq.body, r, account); code != 0) return req.Code(code);
  // The depot is not looked up: goods are defined for every depot.
  if (!req.TakeSlot()) return;
  if (r.icid <= 0) {
    r.icid = g_OstrumContainer.GetClientId(account, req.dbc());
    if (r.icid <= 0) return req.Code(kRcNoClientKey);
  }
  tw::warehouse::ReadGoodsDefineAttributes(rq.body, r);

  std::string mess;
  const int result = AddGoodsDefine(req.slot(), r, req.user(), mess);
  if (result < 0) return ReplyRefusal(req, result, mess);
  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", result);
  CJsonFields(out).Str("cDepot", req.depotCode()).Int("icID", r.icid).Int("iwGiid", result).Str("cgName", r.cname)
      .Str("cgCode", r.cgcode).Str("ccCode", r.cccode).Str("cUnit", r.cunit);
  out.AppendChar('}');
  req.Send();
}

void OnPdawGoodsDepot(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  tw::warehouse::GoodsKeys goods;
  goods.Read(rq.body, "iwGiid", "cgCode", "ccCode", "cAccount");
  if (!req.TakeSlot()) return;
  goods.ResolveAccount(req.dbc());
  const std::string condition = goods.Condition("");
  if (condition.empty()) return req.Code(MissingKeyCode(1));
  if (!req.LoadDepot()) return;

  GoodsRow g;
  {
    const std::string sql =
        "SELECT icid,nshare,nqc,cccode,cgcode,ckind,cname,cunit,giid,fwpu,iedays,wfreedays FROM "
        "dorvane.dbo.w_goods_define WHERE " +
        condition + " ORDER BY giid LIMIT 1";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    DbColumns(st).Int(g.icid).Int(g.nshare).Int(g.nqc).Text(g.cccode).Text(g.cgcode).Text(g.ckind).Text(g.cname)
        .Text(g.cunit).Int(g.giid).Double(g.fwpu).Int(g.iedays).Int(g.wfreedays);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNoSuchGoods);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }

  GoodsDepotRecord r;
  r.giid = g.giid;
  r.icid = g.icid;
  ReadText(rq.body, "cShelf", r.cshelf, 15);
  ReadText(rq.body, "cMoney", r.cmoney, 3);
  ReadText(rq.body, "cUnit", r.cunit, 15);
  ReadText(rq.body, "cMark", r.cmark, 15);
  ReadText(rq.body, "cMemo", r.cmemo, 254);
  r.bshare = tw::JsonGetBool("bShare", rq.body, 0);
  r.nqc = tw::JsonGetInt("nQC", rq.body, 0);
  r.imin = tw::JsonGetInt("iMin", rq.body, 0);
  r.imax = tw::JsonGetInt("iMax", rq.body, 999999);
  r.columnb = tw::JsonGetInt("iColumnB", rq.body, 0);
  r.columne = tw::JsonGetInt("iColumnE", rq.body, 0);
  r.storyb = tw::JsonGetInt("iStoryB", rq.body, 0);
  r.storye = tw::JsonGetInt("iStoryE", rq.body, 0);
  r.iedays = tw::JsonGetInt("iEDays", rq.body, 0);
  r.freedays = tw::JsonGetInt("iFreeDays", rq.body, 0);
  r.fwpu = tw::JsonGetDouble("fWPU", rq.body, 0);
  r.farrange = tw::JsonGetDouble("fArrange", rq.body, 0);
  r.fpackm = tw::JsonGetDouble("fPackM", rq.body, 0);
  r.fpackl = tw::JsonGetDouble("fPackL", rq.body, 0);
  r.fqcin = tw::JsonGetDouble("fQCIn", rq.body, 0);
  r.fqcout = tw::JsonGetDouble("fQCOut", rq.body, 0);
  r.flabel = tw::JsonGetDouble("fLabel", rq.body, 0);
  r.fprice = tw::JsonGetDouble("fPrice", rq.body, 0);
  r.fpriceb = tw::JsonGetDouble("fPriceB", rq.body, 0);
  r.fpricev = tw::JsonGetDouble("fPriceV", rq.body, 0);
  r.fprices = tw::JsonGetDouble("fPriceS", rq.body, 0);
  r.fdvalue = tw::JsonGetDouble("fDValue", rq.body, 0);
  r.fivalue = tw::JsonGetDouble("fIValue", rq.body, 0);
  r.fevalue = tw::JsonGetDouble("fEValue", rq.body, 0);
  r.fvaday = tw::JsonGetDouble("fVaDay", rq.body, 0);

  std::string mess;
  const int result = AddGoodsDepot(req.slot(), r, req.depotCode(), req.user(), mess);
  if (result < 0) return ReplyRefusal(req, result, mess);
  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", result);
  CJsonFields(out).Str("cDepot", req.depotCode()).Int("icID", g.icid).Int("iwGiid", g.giid).Int("iID", result)
      .Str("cgName", g.cname).Str("cgCode", g.cgcode).Str("ccCode", g.cccode).Str("cUnit", r.cunit)
      .Str("cShelf", r.cshelf);
  out.AppendChar('}');
  req.Send();
}

void OnPdawGoodsInfo(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  tw::warehouse::GoodsKeys goods;
  goods.Read(rq.body, "iqwGiid", "cqgCode", "cqcCode", "cqAccount");
  if (!req.TakeSlot()) return;
  goods.ResolveAccount(req.dbc());
  const std::string condition = goods.Condition();
  if (condition.empty()) return req.Code(MissingKeyCode(1));
  if (!req.LoadDepot()) return;

  const std::string sql =
      "SELECT b.icid,a.cshelfb,a.nstoryb,a.nstorye,a.wcolumnb,a.wcolumne,a.cunit,a.iedays,a.iin,a.iout,a.cmark,"
      "a.cmemo,b.cccode,b.cgcode,b.cname,b.cnamee,b.ilong,b.iwidth,b.iheight,b.fweight,a.giid,b.ccolor,b.csize,"
      "b.cbrand,b.cmodel,b.ntype FROM dorvane.dbo.w_goods_depot AS a INNER JOIN dorvane.dbo.w_goods_define AS b "
      "ON(a.giid=b.giid) WHERE a.cdepot='" +
      req.sqlDepot() + "' AND " + condition + " ORDER BY a.iid LIMIT 1";
  PlacedGoodsRow p;
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
  DbColumns(st).Int(p.icid).Text(p.cshelfb).Int(p.nstoryb).Int(p.nstorye).Int(p.wcolumnb).Int(p.wcolumne)
      .Text(p.cunit).Int(p.iedays).Int(p.iin).Int(p.iout).Text(p.cmark).Text(p.cmemo).Text(p.cccode).Text(p.cgcode)
      .Text(p.cname).Text(p.cnamee).Int(p.ilong).Int(p.iwidth).Int(p.iheight).Double(p.fweight).Int(p.giid)
      .Text(p.ccolor).Text(p.csize).Text(p.cbrand).Text(p.cmodel).Int(p.ntype);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return req.Code(kRcNotFound);
  if (!DbOk(rc)) return req.Code(kRcDbFailed);

  tw::OutBuf& out = req.Reply();
  out.Append("{\"ReturnValue\":1,");
  CJsonFields(out).Int("icID", p.icid).Int("iwGiid", p.giid).Str("cgName", p.cname).Str("cgNameE", p.cnamee)
      .Str("cgCode", p.cgcode).Str("ccCode", p.cccode).Str("cUnit", p.cunit).Bool("bSerial", p.ntype == 1)
      .Str("cColor", p.ccolor).Str("cSize", p.csize).Str("cBrand", p.cbrand).Str("cModel", p.cmodel)
      .Real("fWeight", p.fweight, 3).Int("iLong", p.ilong).Int("iWidth", p.iwidth).Int("iHeight", p.iheight)
      .Str("cShelf", p.cshelfb).Int("iStoryB", p.nstoryb).Int("iStoryE", p.nstorye).Int("iColumnB", p.wcolumnb)
      .Int("iColumnE", p.wcolumne).Int("iEDays", p.iedays).Int("iIn", p.iin).Int("iOut", p.iout)
      .Str("cMark", p.cmark).Str("cMemo", p.cmemo);
  out.AppendChar('}');
  req.Send();
}

}  // namespace tw::warehouse
