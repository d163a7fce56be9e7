// Shelves: "pdawShelfPut" and "pdawShelfGet" put one piece on a shelf and take one off,
// "pdawShelfQuery" lists the goods on a shelf, "pdawShelfGoods" the shelves holding a goods code, and
// "pdawShelfChange" moves a goods item's placement in the depot to other shelves.

#include <algorithm>
#include <cinttypes>
#include <string>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/result_codes.h"
#include "util/escape.h"
#include "util/json.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/request.h"

namespace {

using tw::warehouse::CDepotRequest;

constexpr size_t kGoodsCodeMax = 63;
constexpr size_t kShelfMax = 15;
constexpr size_t kChangeShelfMax = 30;
constexpr size_t kMarkMax = 15;
constexpr size_t kMemoMax = 254;
constexpr int32_t kStoryMax = 255;
constexpr int32_t kColumnMax = 30000;

// Put (bPut) or take one piece.
void MovePiece(CDepotRequest& req, bool bPut) {
  if (!req.ReadDepot()) return;
  char goods[kGoodsCodeMax + 1], shelf[kShelfMax + 1], serial[kGoodsCodeMax + 1];
  tw::JsonGetString("cgCode", req.body(), goods, kGoodsCodeMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cShelf", req.body(), shelf, kShelfMax, tw::kJsonModeCodePage);
  tw::JsonGetString("csCode", req.body(), serial, kGoodsCodeMax, tw::kJsonModeCodePage);
  if (goods[0] == '\0') return req.Code(MissingKeyCode(1));
  if (shelf[0] == '\0') return req.Code(MissingKeyCode(2));
  if (!req.Open()) return;

  int64_t movement = -1;
  int32_t result = -1;
  tw::warehouse::CProcCall call(bPut ? "cp_w_shelf_io_put" : "cp_w_shelf_io_get");
  call.OutInt64(&movement).Text(req.depotCode()).Text(shelf).Text(goods).Text(req.user().mcname).Text(serial);
  if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);

  tw::OutBuf& out = req.Reply();
  if (result < 0) {
    out.Printf("{\"ReturnValue\":%d,", tw::warehouse::kRcRefused);
  } else {
    // The id travels as quoted text; a procedure that left it unset shows 0.
    out.Printf("{\"ReturnValue\":%d,\"iwsioID\":\"%" PRIu64 "\",", result,
               static_cast<uint64_t>(std::max<int64_t>(movement, 0)));
  }
  CJsonFields(out).Str("cDepot", req.depotCode()).Str("cShelf", shelf).Str("cgCode", goods).Str("csCode", serial);
  if (result < 0) {
    const char* mess = result == -2   ? "物品未定义或未归库。"
                       : result == -3 ? (bPut ? "序列号物品不存在或已出库。" : "没有可下架物品或序列号物品未上架。")
                                      : tw::warehouse::kMessSystem;
    tw::warehouse::CloseWithMess(out, mess);
  } else {
    out.AppendChar('}');
  }
  req.Send();
}

// The grouped lists: the goods on one shelf (bByShelf) or the shelves of one goods code.
void ListShelf(CDepotRequest& req, bool bByShelf) {
  if (!req.ReadDepot()) return;
  char filter[kGoodsCodeMax + 1];
  if (bByShelf) {
    tw::JsonGetString("cqShelf", req.body(), filter, kShelfMax, tw::kJsonModeCodePage);
    if (filter[0] == '\0') return req.Code(MissingKeyCode(2));
  } else {
    tw::JsonGetString("cqgCode", req.body(), filter, kGoodsCodeMax, tw::kJsonModeCodePage);
    if (filter[0] == '\0') return req.Code(MissingKeyCode(1));
  }
  if (!req.Open()) return;
  if (!IsGbkText(filter)) return req.Code(kRcNotFound);

  const std::string sql =
      bByShelf ? "SELECT a.giid,a.cgcode,a.cname,COUNT(*) FROM dorvane.dbo.w_goods_define AS a INNER JOIN "
                 "dorvane.dbo.w_shelf_io AS b ON(a.giid=b.giid) WHERE b.cdepot='" +
                     req.sqlDepot() + "' AND b.cshelf='" + tw::SqlEscape(filter) +
                     "' GROUP BY a.giid,a.cgcode,a.cname ORDER BY a.cgcode,a.giid"
               : "SELECT a.giid,b.cshelf,a.cname,COUNT(*) FROM dorvane.dbo.w_goods_define AS a INNER JOIN "
                 "dorvane.dbo.w_shelf_io AS b ON(a.giid=b.giid) WHERE b.cdepot='" +
                     req.sqlDepot() + "' AND a.cgcode='" + tw::SqlEscape(filter) +
                     "' GROUP BY a.giid,b.cshelf,a.cname ORDER BY b.cshelf,a.giid";
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
  int32_t giid = 0;
  DbText<63> text = "";  // the goods code (by shelf) or the shelf (by goods)
  DbText<255> name = "";
  int64_t count = 0;
  DbColumns(st).Int(giid).Text(text).Text(name).Int64(count);

  tw::OutBuf& out = req.Reply();
  out.Append("{\"ReturnValue\":1,");
  CJsonFields(out).Str("cDepot", req.depotCode()).Str(bByShelf ? "cqShelf" : "cqgCode", filter).Raw("RecList", "[");
  int32_t groups = 0;
  for (;;) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
    if (groups > 0) out.AppendChar(',');
    out.AppendChar('{');
    CJsonFields(out).Int("iwGiid", giid).Int64("iCount", count).Str(bByShelf ? "cgCode" : "cShelf", text)
        .Str("cgName", name);
    out.AppendChar('}');
    ++groups;
  }
  if (groups == 0) return req.Code(kRcNotFound);
  out.Printf("],\"iTotalRec\":%d}", groups);
  req.Send();
}

struct PlacementRow {
  int32_t icid = 0;
  DbText<31> cshelfb = "";
  int32_t nstoryb = 0, nstorye = 0, wcolumnb = 0, wcolumne = 0;
  int32_t nstate = 0;
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
  DbText<63> cccode = "";
  DbText<63> cgcode = "";
  DbText<255> cname = "";
  DbText<255> cnamee = "";
  int32_t ilong = 0, iwidth = 0, iheight = 0;
  double fweight = 0;
  int32_t giid = 0;
  int32_t iid = 0;
  DbText<15> ccolor = "";
  DbText<15> csize = "";
  DbText<15> cbrand = "";
  DbText<63> cmodel = "";
};

}  // namespace

namespace tw::warehouse {

void OnPdawShelfPut(const CRequest& rq) {
  CDepotRequest req(rq);
  MovePiece(req, true);
}

void OnPdawShelfGet(const CRequest& rq) {
  CDepotRequest req(rq);
  MovePiece(req, false);
}

void OnPdawShelfQuery(const CRequest& rq) {
  CDepotRequest req(rq);
  ListShelf(req, true);
}

void OnPdawShelfGoods(const CRequest& rq) {
  CDepotRequest req(rq);
  ListShelf(req, false);
}

void OnPdawShelfChange(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  tw::warehouse::GoodsKeys goods;
  goods.Read(rq.body, "iqwGiid", "cqgCode", "cqcCode", "cqAccount");
  char shelf[kChangeShelfMax + 1], mark[kMarkMax + 1], memo[kMemoMax + 1];
  tw::JsonGetString("cShelf", rq.body, shelf, kChangeShelfMax, tw::kJsonModeCodePage);
  int32_t storyB = tw::JsonGetInt("iStoryB", rq.body, 0);
  int32_t storyE = tw::JsonGetInt("iStoryE", rq.body, 0);
  int32_t columnB = tw::JsonGetInt("iColumnB", rq.body, 0);
  int32_t columnE = tw::JsonGetInt("iColumnE", rq.body, 0);
  tw::JsonGetString("cMark", rq.body, mark, kMarkMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cMemo", rq.body, memo, kMemoMax, tw::kJsonModeCodePage);
  if (!req.TakeSlot()) return;
  goods.ResolveAccount(req.dbc());
  const std::string condition = goods.Condition();
  if (condition.empty()) return req.Code(MissingKeyCode(1));
  if (shelf[0] == '\0') return req.Code(MissingKeyCode(2));
  storyB = std::clamp(storyB, 1, kStoryMax);
  storyE = std::max(storyE, storyB);
  columnB = std::clamp(columnB, 1, kColumnMax);
  columnE = std::max(columnE, columnB);
  if (!req.LoadDepot()) return;

  PlacementRow p;
  {
    const std::string sql =
        "SELECT b.icid,a.cshelfb,a.nstoryb,a.nstorye,a.wcolumnb,a.wcolumne,a.nstate,a.cmark,a.cmemo,b.cccode,"
        "b.cgcode,b.cname,b.cnamee,b.ilong,b.iwidth,b.iheight,b.fweight,a.giid,a.iid,b.ccolor,b.csize,b.cbrand,"
        "b.cmodel FROM dorvane.dbo.w_goods_depot AS a INNER JOIN dorvane.dbo.w_goods_define AS b "
        "ON(a.giid=b.giid) WHERE a.cdepot='" +
        req.sqlDepot() + "' AND " + condition + " ORDER BY a.iid LIMIT 1";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    DbColumns(st).Int(p.icid).Text(p.cshelfb).Int(p.nstoryb).Int(p.nstorye).Int(p.wcolumnb).Int(p.wcolumne)
        .Int(p.nstate).Text(p.cmark).Text(p.cmemo).Text(p.cccode).Text(p.cgcode).Text(p.cname).Text(p.cnamee)
        .Int(p.ilong).Int(p.iwidth).Int(p.iheight).Double(p.fweight).Int(p.giid).Int(p.iid).Text(p.ccolor)
        .Text(p.csize).Text(p.cbrand).Text(p.cmodel);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNotFound);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }
  {
    const std::string sqlShelf = tw::SqlEscape(shelf);
    std::string sql = "UPDATE dorvane.dbo.w_goods_depot SET cshelfb='" + sqlShelf + "',cshelfe='" + sqlShelf +
                      "',nstoryb=" + std::to_string(storyB) + ",nstorye=" + std::to_string(storyE) +
                      ",wcolumnb=" + std::to_string(columnB) + ",wcolumne=" + std::to_string(columnE);
    if (mark[0] != '\0') sql += ",cmark='" + tw::SqlEscape(mark) + "'";
    if (memo[0] != '\0') sql += ",cmemo='" + tw::SqlEscape(memo) + "'";
    sql += " WHERE iid=" + std::to_string(p.iid);
    DbStatement st(req.dbc());
    const SQLRETURN rc = st.ok() ? st.ExecDirect(sql.c_str()) : SQL_ERROR;
    if (!DbOk(rc) && rc != SQL_NO_DATA) return req.Code(kRcDbFailed);
  }

  tw::OutBuf& out = req.Reply();
  out.Append("{\"ReturnValue\":1,");
  CJsonFields(out).Str("cDepot", req.depotCode()).Int("iqwGiid", goods.giid).Str("cqgCode", goods.cgcode)
      .Str("cShelf", shelf).Int("iStoryB", storyB).Int("iStoryE", storyE).Int("iColumnB", columnB)
      .Int("iColumnE", columnE).Int("icID", p.icid).Int("iID", p.iid).Int("iwGiid", p.giid).Str("cgName", p.cname)
      .Str("cgNameE", p.cnamee).Str("cgCode", p.cgcode).Str("ccCode", p.cccode).Str("cColor", p.ccolor)
      .Str("cSize", p.csize).Str("cBrand", p.cbrand).Str("cModel", p.cmodel).Real("fWeight", p.fweight, 3)
      .Int("iLong", p.ilong).Int("iWidth", p.iwidth).Int("iHeight", p.iheight).Str("cShelf_o", p.cshelfb)
      .Int("iStoryB_o", p.nstoryb).Int("iStoryE_o", p.nstorye).Int("iColumnB_o", p.wcolumnb)
      .Int("iColumnE_o", p.wcolumne).Str("cMark", p.cmark).Str("cMemo", p.cmemo);
  out.AppendChar('}');
  req.Send();
}

}  // namespace tw::warehouse
