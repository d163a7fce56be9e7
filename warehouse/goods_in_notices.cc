// Goods-in notices and their pictures: "pdawInAdd" announces a delivery of placed goods,
// "pdawInQuery" lists the depot's open notices a page at a time, "pdawInPicAdd" stores a picture of
// a delivery and "pdawInPicQuery" reads one back or lists a notice's pictures.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/result_codes.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/goods_in.h"
#include "warehouse/internal/request.h"

namespace {

using tw::warehouse::CDepotRequest;
using tw::warehouse::CProcCall;

constexpr size_t kTextMax = 30;
constexpr size_t kMarkMax = 15;
constexpr size_t kMemoMax = 254;
constexpr size_t kPhoneMax = 63;
constexpr size_t kAddrMax = 127;
constexpr size_t kFileNameMax = 255;
constexpr double kTakePlacementFee = -0.01;  // a fee at or below this takes the placement's
constexpr int kRcNoPlacement = -2;
constexpr int kRcPlacementInactive = -15;

// Picture limits: the base64 text sent, and the bytes it must give.
constexpr size_t kPictureTextMin = 1000;
constexpr size_t kPictureTextMax = 1400000;
constexpr long kPictureBytesMin = 100;
constexpr size_t kPictureReadMax = 1u << 20;
constexpr uint32_t kDataAtExecSleepMs = 500;

struct PlacementRow {
  int32_t icid = 0;
  DbText<31> cshelfb = "";
  int32_t nstoryb = 0, nstorye = 0, wcolumnb = 0, wcolumne = 0;
  int32_t nstate = 0;
  int32_t nqc = 0;
  double fqcin = 0, flabel = 0, farrange = 0;
  DbText<15> cunit = "";
  DbText<63> cccode = "";
  DbText<63> cgcode = "";
  DbText<255> cname = "";
  int32_t ilong = 0, iwidth = 0, iheight = 0;
  double fweight = 0;
  int32_t giid = 0;
};

// The notice row of the list.
struct NoticeRow {
  int32_t iid = 0;
  DbText<31> cshelfb = "";
  int32_t nstoryb = 0, nstorye = 0, wcolumnb = 0, wcolumne = 0;
  DbText<15> cunit = "";
  DbText<63> cccode = "";
  DbText<63> cgcode = "";
  DbText<255> cname = "";
  DbText<31> cshelf = "";
  int32_t nstory = 0, wcolumn = 0, giid = 0;
  DbText<31> cbatch = "";
  int32_t ntype = 0, icid = 0, npick = 0;
  double fpick = 0, fqcin = 0, flabel = 0, farrange = 0;
  DbText<31> cmname = "";
  DbText<63> cphone = "";
  char ddate[32] = "";
  DbText<31> cinput = "";
  int32_t nstate = 0, iquantity = 0;
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
  char deta[32] = "";
  DbText<30> crno = "";
  DbText<127> caddr = "";
};

class NoticeRows : public CListRows {
 public:
  void Bind(DbStatement& st) override {
    NoticeRow& r = row_;
    DbColumns b(st);
    b.Int(r.iid).Text(r.cshelfb).Int(r.nstoryb).Int(r.nstorye).Int(r.wcolumnb).Int(r.wcolumne).Text(r.cunit);
    b.Text(r.cccode).Text(r.cgcode).Text(r.cname).Text(r.cshelf).Int(r.nstory).Int(r.wcolumn).Int(r.giid);
    b.Text(r.cbatch).Int(r.ntype).Int(r.icid).Int(r.npick).Double(r.fpick).Double(r.fqcin).Double(r.flabel);
    b.Double(r.farrange).Text(r.cmname).Text(r.cphone).Text(r.ddate).Text(r.cinput).Int(r.nstate);
    b.Int(r.iquantity).Text(r.cmark).Text(r.cmemo).Text(r.deta).Text(r.crno).Text(r.caddr);
  }
  void Put(tw::OutBuf& out) override {
    const NoticeRow& r = row_;
    char eta[kReplyDateSize], made[kReplyDateSize];
    FormatReplyDate(r.deta, true, eta);
    eta[std::min<size_t>(std::strlen(eta), 16)] = '\0';  // "%d-%02d-%02d %02d:%02d"
    FormatReplyDate(r.ddate, true, made);
    out.AppendChar('{');
    CJsonFields(out).Int("iID", r.iid).Int("icID", r.icid).Int("iwGiid", r.giid).Str("cgName", r.cname)
        .Str("cgCode", r.cgcode).Str("ccCode", r.cccode).Str("cUnit", r.cunit).Int("iQuantity", r.iquantity)
        .Int("nState", r.nstate).Str("cRNo", r.crno).Str("cBatch", r.cbatch).Str("dETA", eta).Str("cMName", r.cmname)
        .Str("cPhone", r.cphone).Str("cAddr", r.caddr).Str("cShelf", r.cshelf).Int("iStory", r.nstory)
        .Int("iColumn", r.wcolumn).Str("cMark", r.cmark).Str("cMemo", r.cmemo).Str("dDate", made)
        .Str("cInput", r.cinput).Str("cShelf_d", r.cshelfb).Int("iStoryB", r.nstoryb).Int("iStoryE", r.nstorye)
        .Int("iColumnB", r.wcolumnb).Int("iColumnE", r.wcolumne);
    out.AppendChar('}');
  }

 private:
  NoticeRow row_;
};

}  // namespace

namespace tw::warehouse {

void OnPdawInAdd(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  const int32_t quantity = tw::JsonGetInt("iQuantity", rq.body, 0);
  if (quantity < 1) return req.Code(MissingKeyCode(2));
  tw::warehouse::GoodsKeys goods;
  goods.Read(rq.body, "iqwGiid", "cqgCode", "cqcCode", "cqAccount");
  if (!req.TakeSlot()) return;
  goods.ResolveAccount(req.dbc());
  const std::string condition = goods.Condition();
  if (condition.empty()) return req.Code(MissingKeyCode(1));

  int32_t kind = tw::JsonGetInt("nType", rq.body, 0);
  if (kind < 0 || kind > 2) kind = 0;
  char number[kTextMax + 1], batch[kTextMax + 1], eta[kTextMax + 1], made[kTextMax + 1], expires[kTextMax + 1];
  char mark[kMarkMax + 1], memo[kMemoMax + 1], person[kTextMax + 1], phone[kPhoneMax + 1], addr[kAddrMax + 1];
  char shelf[kTextMax + 1];
  tw::JsonGetString("cRNo", rq.body, number, kTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cBatch", rq.body, batch, kTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("dETA", rq.body, eta, kTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("dDate_p", rq.body, made, kTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("dDate_v", rq.body, expires, kTextMax, tw::kJsonModeCodePage);
  const bool bPick = tw::JsonGetBool("bPick", rq.body, 0) != 0;
  double fPick = tw::JsonGetDouble("fPick", rq.body, 0);
  double fQcIn = tw::JsonGetDouble("fQCIn", rq.body, -1);
  double fLabel = tw::JsonGetDouble("fLabel", rq.body, -1);
  double fArrange = tw::JsonGetDouble("fArrange", rq.body, -1);
  tw::JsonGetString("cMark", rq.body, mark, kMarkMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cMemo", rq.body, memo, kMemoMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cMName", rq.body, person, kTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cPhone", rq.body, phone, kPhoneMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cAddr", rq.body, addr, kAddrMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cShelf", rq.body, shelf, kTextMax, tw::kJsonModeCodePage);
  const tw::ShortText etaText = tw::NormalizeDateTime(eta);
  const tw::ShortText madeText = tw::NormalizeDate(made);
  const tw::ShortText expiresText = tw::NormalizeDate(expires);
  if (!req.LoadDepot()) return;

  PlacementRow p;
  {
    const std::string sql =
        "SELECT b.icid,a.cshelfb,a.nstoryb,a.nstorye,a.wcolumnb,a.wcolumne,a.nstate,a.nqc,a.fqcin,a.flabel,"
        "a.farrange,a.cunit,b.cccode,b.cgcode,b.cname,b.ilong,b.iwidth,b.iheight,b.fweight,a.giid FROM "
        "dorvane.dbo.w_goods_depot AS a INNER JOIN dorvane.dbo.w_goods_define AS b ON(a.giid=b.giid) WHERE "
        "a.cdepot='" +
        req.sqlDepot() + "' AND " + condition + " ORDER BY a.iid LIMIT 1";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    DbColumns(st).Int(p.icid).Text(p.cshelfb).Int(p.nstoryb).Int(p.nstorye).Int(p.wcolumnb).Int(p.wcolumne)
        .Int(p.nstate).Int(p.nqc).Double(p.fqcin).Double(p.flabel).Double(p.farrange).Text(p.cunit).Text(p.cccode)
        .Text(p.cgcode).Text(p.cname).Int(p.ilong).Int(p.iwidth).Int(p.iheight).Double(p.fweight).Int(p.giid);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNoPlacement);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }
  if (p.nstate > 0) return req.Code(kRcPlacementInactive);
  // Drawn only now, so a refused notice uses up no number.
  if (batch[0] == '\0') tw::warehouse::MakeBatch(goods.icid, batch);
  if (number[0] == '\0') tw::warehouse::DrawGoodsInNumber(req.slot(), goods.icid, number);
  if (!bPick) fPick = 0;
  if (fQcIn <= kTakePlacementFee) fQcIn = p.fqcin;
  if (fLabel <= kTakePlacementFee) fLabel = p.flabel;
  if (fArrange <= kTakePlacementFee) fArrange = p.farrange;

  const std::string shelfText =
      FormatShelfText(p.cshelfb, static_cast<uint32_t>(p.wcolumnb), static_cast<uint32_t>(p.nstoryb));
  CProcCall call("cp_w_g_in_add");
  call.Text(req.depotCode()).Int(p.giid).Int(kind).Int(0).Int(p.icid).Int(0).Text(shelf).Text(shelfText);
  call.Int(p.nstoryb).Int(p.wcolumnb).Text(batch).Int(0).Int(bPick ? 1 : 0).Real(fPick, 2).Real(fQcIn, 2);
  call.Real(fLabel, 2).Real(fArrange, 2).Int(0).Text(person).Text(addr).Text(phone).Int(tw::warehouse::TodayNumber());
  call.Text(madeText.c_str()).Text(expiresText.c_str()).Text(req.user().mcname).Int(quantity).Text(mark).Text(memo);
  call.Text(number).Text(etaText.c_str());
  int32_t result = -1;
  if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);

  tw::OutBuf& out = req.Reply();
  if (result < 0) {
    out.Printf("{\"ReturnValue\":%d,", tw::warehouse::kRcRefused);
    CJsonFields(out).Str("cDepot", req.depotCode());
    tw::warehouse::CloseWithMess(out, result == -8 ? "没有物品归库记录，操作未完成。" : tw::warehouse::kMessSystem);
    return req.Send();
  }
  out.Printf("{\"ReturnValue\":%d,", result);
  CJsonFields(out).Str("cDepot", req.depotCode()).Int("iID", result).Int("iQuantity", quantity).Str("cShelf", shelf)
      .Str("cRNo", number).Int("icID", p.icid).Int("iwGiid", p.giid).Str("cgName", p.cname).Str("cgCode", p.cgcode)
      .Str("ccCode", p.cccode).Str("cUnit", p.cunit).Real("fWeight", p.fweight, 3).Int("iLong", p.ilong)
      .Int("iWidth", p.iwidth).Int("iHeight", p.iheight).Str("cShelf_d", p.cshelfb).Int("iStoryB", p.nstoryb)
      .Int("iStoryE", p.nstorye).Int("iColumnB", p.wcolumnb).Int("iColumnE", p.wcolumne);
  out.AppendChar('}');
  req.Send();
}

void OnPdawInQuery(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  int32_t icid = tw::JsonGetInt("iqcID", rq.body, 0);
  tw::warehouse::GoodsKeys goods;
  goods.Read(rq.body, "iqwGiid", "cqgCode", "cqcCode", "cqAccount");
  char number[kTextMax + 1], batch[kTextMax + 1];
  tw::JsonGetString("cqRNo", rq.body, number, kTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqBatch", rq.body, batch, kTextMax, tw::kJsonModeCodePage);
  const PagingKeys keys = ReadPagingKeys(rq.body);
  if (!req.TakeSlot()) return;
  goods.ResolveAccount(req.dbc());
  // An account that names no client finds nothing (it must not widen the list to every client).
  if (goods.bUnknownAccount) return req.Code(kRcNotFound);
  if (goods.icid > 0) icid = goods.icid;
  if (!req.LoadDepot()) return;
  if (!IsGbkText(number) || !IsGbkText(batch)) return req.Code(kRcNotFound);

  int32_t giid = goods.giid;
  if (giid <= 0 && (goods.cgcode[0] != '\0' || goods.cccode[0] != '\0')) {
    const std::string condition = goods.Condition();
    if (condition.empty()) return req.Code(kRcNoPlacement);
    const std::string sql = "SELECT a.giid FROM dorvane.dbo.w_goods_depot AS a INNER JOIN dorvane.dbo.w_goods_define "
                            "AS b ON(a.giid=b.giid) WHERE a.cdepot='" +
                            req.sqlDepot() + "' AND " + condition + " ORDER BY a.iid LIMIT 1";
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    st.BindInt(1, &giid);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNoPlacement);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }

  CListFilter filter(req.slot().szWork, kWorkBytes);
  filter.Base(" FROM dorvane.dbo.w_g_in AS c INNER JOIN dorvane.dbo.w_goods_define AS b ON(c.giid=b.giid) INNER JOIN "
              "dorvane.dbo.w_goods_depot AS a ON(a.giid=c.giid AND a.cdepot='%s') WHERE c.nstate<40 AND "
              "c.cdepot='%s'",
              req.sqlDepot().c_str(), req.sqlDepot().c_str());
  if (icid > 0) filter.Add(" AND c.icid=%d", icid);
  if (giid > 0) filter.Add(" AND c.giid=%d", giid);
  filter.AddEqual("c.crno", number);
  if (batch[0] != '\0') filter.Add(" AND c.cbatch LIKE '%s'", tw::MakeLikePattern(batch, tw::kLikeBeginsWith).c_str());
  if (!filter.ok()) return req.Code(kRcDbFailed);

  int64_t total = 0;
  {
    const std::string sql = "SELECT COUNT(*)" + std::string(filter.text());
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    st.BindInt64(1, &total);
    if (!DbOk(st.Fetch())) return req.Code(kRcDbFailed);
  }
  if (total < 1) return req.Code(kRcNotFound);

  tw::OutBuf& out = req.Reply();
  auto head = [&](int32_t page) {
    out.Printf("{\"ReturnValue\":1,\"iqcID\":%d,\"iPage\":%d,\"iPagePer\":%d,\"iTotalRec\":%lld,", icid, page,
               keys.iPagePer, static_cast<long long>(total));
    CJsonFields f(out);
    f.Str("cDepot", req.depotCode()).Int("iqwGiid", goods.giid).Str("cqgCode", goods.cgcode)
        .Str("cqcCode", goods.cccode).Str("cqAccount", goods.account).Str("cqRNo", number).Str("cqBatch", batch);
    return f;
  };
  if (keys.iPagePer <= 0) {
    head(keys.iPage);
    out.AppendChar('}');
    return req.Send();
  }
  // Ascending pages: page p holds the notices (p - 1) x per + 1 ... p x per in id order.
  const PageWindow w = ChoosePage(total, keys);
  const std::string sql =
      "SELECT c.iid,a.cshelfb,a.nstoryb,a.nstorye,a.wcolumnb,a.wcolumne,a.cunit,b.cccode,b.cgcode,b.cname,c.cshelf,"
      "c.nstory,c.wcolumn,c.giid,c.cbatch,c.ntype,c.icid,c.npick,c.fpick,c.fqcin,c.flabel,c.farrange,c.cmname,"
      "c.cphone,c.ddate,c.cinput,c.nstate,c.iquantity,c.cmark,c.cmemo,c.deta,c.crno,c.caddr" +
      std::string(filter.text()) + " ORDER BY c.iid LIMIT " + std::to_string(w.limit) + " OFFSET " +
      std::to_string(w.offset);
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
  NoticeRows rows;
  rows.Bind(st);
  head(w.page).Raw("RecList", "[");
  for (bool first = true;; first = false) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
    if (!first) out.AppendChar(',');
    rows.Put(out);
  }
  out.Append("]}");
  req.Send();
}

void OnPdawInPicAdd(const CRequest& rq) {
  CDepotRequest req(rq);
  char number[kTextMax + 1], fileName[kFileNameMax + 1];
  tw::JsonGetString("cRNo", rq.body, number, kTextMax, tw::kJsonModeCodePage);
  const int32_t iid = tw::JsonGetInt("iID", rq.body, 0);
  if (iid <= 0 && number[0] == '\0') return req.Code(MissingKeyCode(0));
  tw::JsonGetString("cFileName", rq.body, fileName, kFileNameMax, tw::kJsonModeCodePage);
  const char* dot = std::strrchr(fileName, '.');
  const size_t extLength = dot != nullptr ? std::strlen(dot + 1) : 0;
  if (dot == nullptr || extLength < 3 || extLength > 4) return req.Code(MissingKeyCode(1));
  const std::string ext = dot + 1;

  const char* end = nullptr;
  const char* raw = tw::JsonGetRaw("vPic", rq.body, &end);
  if (raw == nullptr || end == nullptr) return req.Code(MissingKeyCode(2));
  const size_t rawLength = static_cast<size_t>(end - raw);
  if (rawLength < kPictureTextMin) return req.Code(MissingKeyCode(3));
  if (rawLength > kPictureTextMax) return req.Code(MissingKeyCode(4));
  // The picture is decoded where it lies in the request body (the body is the request's own).
  char* text = rq.body + (raw - rq.body);
  text[rawLength] = '\0';
  std::replace(text, text + rawLength, ' ', '+');
  const long length = tw::Base64DecodeInPlace(text);
  if (length < kPictureBytesMin) return req.Code(MissingKeyCode(5));

  if (!req.TakeSlot()) return;
  // The row and its bytes are stored together: no picture row is ever left without its data.
  DbTransaction tx(req.dbc());
  if (!tx.ok()) return req.Code(kRcDbFailed);
  int32_t pictureId = -1;
  CProcCall call("cp_w_g_in_pic_add");
  call.Int(iid).Text(number).Int(0).Text(ext).Text(req.user().mcname);
  if (!call.Run(req.dbc(), &pictureId) || pictureId <= 0) return req.Code(kRcDbFailed);
  {
    DbStatement st(req.dbc());
    const std::string sql = "UPDATE dorvane.dbo.w_g_in_pic SET vdata=?,ilen=" + std::to_string(length) +
                            " WHERE iipid=" + std::to_string(pictureId);
    if (!st.ok() ||
        !DbOk(st.ExecWithLongBinary(sql.c_str(), text, static_cast<size_t>(length), kDataAtExecSleepMs))) {
      return req.Code(kRcDbFailed);
    }
  }
  if (!tx.Commit()) return req.Code(kRcDbFailed);

  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", pictureId);
  CJsonFields(out).Int("iID", iid).Int("iipID", pictureId).Int("iLen", static_cast<int32_t>(length))
      .Str("cFileName", fileName);
  out.AppendChar('}');
  req.Send();
}

void OnPdawInPicQuery(const CRequest& rq) {
  CDepotRequest req(rq);
  const int32_t iid = tw::JsonGetInt("iID", rq.body, 0);
  const int32_t pictureId = tw::JsonGetInt("iipID", rq.body, 0);
  char number[kTextMax + 1];
  tw::JsonGetString("cRNo", rq.body, number, kTextMax, tw::kJsonModeCodePage);
  if (iid <= 0 && pictureId <= 0 && number[0] == '\0') return req.Code(MissingKeyCode(0));
  if (!req.TakeSlot()) return;

  tw::OutBuf& out = req.Reply();
  if (pictureId >= 1) {
    const std::string sql = "SELECT iipid,cext,ilen,vdata FROM dorvane.dbo.w_g_in_pic WHERE iipid=" +
                            std::to_string(pictureId) + " ORDER BY iipid";
    std::vector<unsigned char> data(kPictureReadMax);
    int32_t id = 0, storedLength = 0;
    DbText<7> ext = "";
    SQLLEN dataLength = 0;
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    DbColumns(st).Int(id).Text(ext).Int(storedLength);
    st.BindBinary(4, data.data(), data.size(), &dataLength);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNotFound);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
    // At most 1 MB comes back; a NULL picture has no bytes.
    const size_t bytes = dataLength <= 0 ? 0 : std::min(static_cast<size_t>(dataLength), data.size());
    out.Printf("{\"ReturnValue\":%u,\"iipID\":%d,", static_cast<unsigned>(id), id);
    CJsonFields(out).Str("cExt", ext);
    out.Append(",\"vPic\":\"");
    size_t needed = 0;
    char* at = out.Reserve(bytes / 3 * 4 + 8);
    if (at == nullptr) return req.Code(kRcDbFailed);
    if (tw::Base64Encode(data.data(), bytes, at, bytes / 3 * 4 + 8, &needed, 0) != 0) return req.Code(kRcDbFailed);
    out.Commit(needed);
    out.Append("\"}");
    return req.Send();
  }

  std::string sql = "SELECT iipid FROM dorvane.dbo.w_g_in_pic WHERE iid=";
  if (iid > 0) {
    sql += std::to_string(iid);
  } else {
    if (!IsGbkText(number)) return req.Code(kRcNotFound);
    sql += "(SELECT iid FROM dorvane.dbo.w_g_in WHERE crno='" + tw::SqlEscape(number) + "' ORDER BY iid LIMIT 1)";
  }
  sql += " ORDER BY iipid";
  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
  int32_t id = 0;
  st.BindInt(1, &id);
  out.Append("{\"ReturnValue\":1,\"iipID_List\":[");
  uint32_t count = 0;
  for (;;) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
    out.Printf(count > 0 ? ",%u" : "%u", static_cast<unsigned>(id));
    ++count;
  }
  if (count == 0) return req.Code(kRcNotFound);
  out.Printf("],\"iTotalRec\":%u}", count);
  req.Send();
}

}  // namespace tw::warehouse
