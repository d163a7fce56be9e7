// Stock moves between depots: "pdawMoveInfo" lists the moves leaving or arriving at the depot,
// "pdawMoveOut" signs a move out at its source and "pdawMoveIn" signs it in at its destination.

#include <cstring>
#include <string>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/result_codes.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/request.h"

namespace {

using tw::warehouse::CDepotRequest;

constexpr int32_t kMoveListMax = 500;
constexpr size_t kNumberMax = 30;
constexpr size_t kBatchMax = 30;
constexpr size_t kGoodsCodeMax = 63;
constexpr size_t kDateKeyMax = 30;

constexpr char kMoveColumns[] =
    "a.imid,a.cnum,a.giid,a.iquantity,a.inormal,a.idefective,a.cdepotf,a.cdepotd,a.cinput,a.ddate,a.cmark,"
    "a.cmemo,a.cbatch,a.cout,a.dout,a.cin,a.din,b.cgcode,b.cunit,b.cname,b.icid";
constexpr char kMoveFrom[] = " FROM dorvane.dbo.w_move AS a INNER JOIN dorvane.dbo.w_goods_define AS b ON(a.giid=b.giid)";

constexpr char kMessSigned[] = "已经签名，未操作。";

struct MoveRow {
  int32_t imid = 0;
  DbText<30> cnum = "";
  int32_t giid = 0;
  int32_t iquantity = 0;
  int32_t inormal = 0;
  int32_t idefective = 0;
  DbText<3> cdepotf = "";
  DbText<3> cdepotd = "";
  DbText<31> cinput = "";
  char ddate[32] = "";
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
  DbText<31> cbatch = "";
  DbText<31> cout = "";
  char dout[32] = "";
  DbText<31> cin = "";
  char din[32] = "";
  DbText<63> cgcode = "";
  DbText<15> cunit = "";
  DbText<255> cname = "";
  int32_t icid = 0;
  int32_t ix = 0;  // the list only
};

void BindMove(DbStatement& st, MoveRow& r, bool withX) {
  DbColumns b(st);
  b.Int(r.imid).Text(r.cnum).Int(r.giid).Int(r.iquantity).Int(r.inormal).Int(r.idefective).Text(r.cdepotf);
  b.Text(r.cdepotd).Text(r.cinput).Text(r.ddate).Text(r.cmark).Text(r.cmemo).Text(r.cbatch).Text(r.cout);
  b.Text(r.dout).Text(r.cin).Text(r.din).Text(r.cgcode).Text(r.cunit).Text(r.cname).Int(r.icid);
  if (withX) b.Int(r.ix);
}

// The move's keys from "cDepotf" on.
void PutMoveBody(CJsonFields& f, const MoveRow& r) {
  char ddate[kReplyDateSize], dout[kReplyDateSize], din[kReplyDateSize];
  FormatReplyDate(r.ddate, true, ddate);
  FormatReplyDate(r.dout, true, dout);
  FormatReplyDate(r.din, true, din);
  f.Str("cDepotf", r.cdepotf).Str("cDepotd", r.cdepotd).Str("cNum", r.cnum).Int("iwGiid", r.giid);
  f.Str("cgName", r.cname).Str("cgCode", r.cgcode).Str("cUnit", r.cunit).Int("iQuantity", r.iquantity);
  f.Int("iNormal", r.inormal).Int("iDefictive", r.idefective).Str("dDate", ddate).Str("cInput", r.cinput);
  f.Str("dOut", dout).Str("cOut", r.cout).Str("dIn", din).Str("cIn", r.cin).Str("cBatch", r.cbatch);
  f.Str("cMark", r.cmark).Str("cMemo", r.cmemo);
}

// Signs a move at this depot's end: the destination for sign-in, the source for sign-out.
void SignMove(CDepotRequest& req, bool bIn) {
  if (!req.ReadDepot()) return;
  const int32_t imid = tw::JsonGetInt("imID", req.body(), 0);
  char number[kNumberMax + 1];
  tw::JsonGetString("cNum", req.body(), number, kNumberMax, tw::kJsonModeCodePage);
  if (imid <= 0 && number[0] == '\0') return req.Code(MissingKeyCode(1));
  if (!req.Open()) return;
  if (imid <= 0 && !IsGbkText(number)) return req.Code(kRcNotFound);  // no stored number reads so

  std::string sql = std::string("SELECT ") + kMoveColumns + kMoveFrom + (bIn ? " WHERE a.cdepotd='" : " WHERE a.cdepotf='") +
                    req.sqlDepot() + "'";
  sql += imid > 0 ? " AND a.imid=" + std::to_string(imid) : " AND a.cnum='" + tw::SqlEscape(number) + "'";
  sql += " ORDER BY a.imid LIMIT 1";
  MoveRow r;
  {
    DbStatement st(req.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
    BindMove(st, r, false);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return req.Code(kRcNotFound);
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
  }

  int32_t result = 0;
  if (!tw::warehouse::IsSignedTime(bIn ? r.din : r.dout)) {
    tw::warehouse::CProcCall call(bIn ? "cp_w_move_set_in" : "cp_w_move_set_out");
    call.Int(r.imid).Text(req.user().mcname);
    if (!call.Run(req.dbc(), &result)) return req.Code(kRcDbFailed);
  }

  tw::OutBuf& out = req.Reply();
  out.Printf("{\"ReturnValue\":%d,", result > 0 ? kRcOk : tw::warehouse::kRcRefused);
  CJsonFields f(out);
  PutMoveBody(f, r);
  if (result > 0) {
    out.AppendChar('}');
  } else {
    tw::warehouse::CloseWithMess(out, result == 0    ? kMessSigned
                                      : result == -2 ? tw::warehouse::kMessGone
                                                     : tw::warehouse::kMessSystem);
  }
  req.Send();
}

}  // namespace

namespace tw::warehouse {

void OnPdawMoveInfo(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  char number[kNumberMax + 1], batch[kBatchMax + 1], goods[kGoodsCodeMax + 1];
  char dateB[kDateKeyMax + 1], dateE[kDateKeyMax + 1];
  tw::JsonGetString("cqNum", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqBatch", rq.body, batch, kBatchMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqgCode", rq.body, goods, kGoodsCodeMax, tw::kJsonModeCodePage);
  const bool bIn = tw::JsonGetBool("bIn", rq.body, 0) != 0;
  const bool bNoInSign = tw::JsonGetBool("bNoInSign", rq.body, 0) != 0;
  const bool bNoOutSign = tw::JsonGetBool("bNoOutSign", rq.body, 0) != 0;
  tw::JsonGetString("dqDateB", rq.body, dateB, kDateKeyMax, tw::kJsonModeCodePage);
  tw::JsonGetString("dqDateE", rq.body, dateE, kDateKeyMax, tw::kJsonModeCodePage);
  if (!tw::NormalizeQueryDate(dateB, sizeof dateB, false)) return req.Code(MissingKeyCode(1));
  tw::NormalizeQueryDate(dateE, sizeof dateE, true);
  if (!req.Open()) return;
  if (!IsGbkText(number) || !IsGbkText(batch) || !IsGbkText(goods)) return req.Code(kRcNotFound);

  std::string sql = std::string("SELECT ") + kMoveColumns + ",COALESCE(a.ix,0)" + kMoveFrom + " WHERE a.ddate>='" +
                    dateB + "' AND a.cdepot" + (bIn ? "d='" : "f='") + req.sqlDepot() + "'";
  if (dateE[0] != '\0') sql += std::string(" AND a.ddate<='") + dateE + "'";
  if (number[0] != '\0') sql += " AND a.cnum LIKE '" + tw::MakeLikePattern(number, tw::kLikeContains) + "'";
  if (batch[0] != '\0') sql += " AND a.cbatch='" + tw::SqlEscape(batch) + "'";
  if (goods[0] != '\0') sql += " AND b.cgcode='" + tw::SqlEscape(goods) + "'";
  if (bNoInSign) sql += " AND a.cin=''";
  if (bNoOutSign) sql += " AND a.cout=''";
  sql += " ORDER BY a.imid DESC LIMIT " + std::to_string(kMoveListMax);

  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
  MoveRow r;
  BindMove(st, r, true);
  tw::OutBuf& out = req.Reply();
  out.Append("{\"ReturnValue\":1,");
  CJsonFields head(out);
  head.Str("cDepot", req.depotCode()).Str("cqNum", number).Str("cqBatch", batch).Str("cqgCode", goods);
  head.Str("dqDateB", dateB).Str("dqDateE", dateE).Bool("bIn", bIn).Bool("bNoInSign", bNoInSign);
  head.Bool("bNoOutSign", bNoOutSign).Raw("RecList", "[");
  int32_t count = 0;
  for (;;) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
    if (count > 0) out.AppendChar(',');
    out.AppendChar('{');
    CJsonFields f(out);
    f.Int("imID", r.imid).Int("iX", r.ix);
    PutMoveBody(f, r);
    out.AppendChar('}');
    ++count;
  }
  if (count == 0) return req.Code(kRcNotFound);
  out.Printf("],\"iTotalRec\":%d}", count);
  req.Send();
}

void OnPdawMoveIn(const CRequest& rq) {
  CDepotRequest req(rq);
  SignMove(req, true);
}

void OnPdawMoveOut(const CRequest& rq) {
  CDepotRequest req(rq);
  SignMove(req, false);
}

}  // namespace tw::warehouse
