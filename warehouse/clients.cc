// "pdawClientInfo": the clients that keep goods in the depot, found by part of their account or of
// their company name, with their shelf range, contact and notes in this depot.

#include <string>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/result_codes.h"
#include "util/escape.h"
#include "util/json.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/request.h"

namespace {

constexpr int32_t kClientListMax = 100;
constexpr size_t kAccountMax = 30;
constexpr size_t kUnitNameMax = 63;

struct ClientRow {
  int32_t icid = 0;
  DbText<127> cunitname = "";
  DbText<63> caccount = "";
  DbText<15> cshelfb = "";
  DbText<15> cshelfe = "";
  DbText<31> clinkman = "";
  DbText<63> cphone = "";
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
};

// A contains-pattern of the sanitised text: "%" and "_" in it keep their wildcard meaning, and the
// empty ESCAPE keeps a backslash literal.
std::string ContainsLike(const char* column, const char* text) {
  return std::string(" AND ") + column + " LIKE '%" + tw::SqlEscape(text) + "%' ESCAPE ''";
}

}  // namespace

namespace tw::warehouse {

void OnPdawClientInfo(const CRequest& rq) {
  CDepotRequest req(rq);
  if (!req.ReadDepot()) return;
  char account[kAccountMax + 1], unitName[kUnitNameMax + 1];
  tw::JsonGetString("cqAccount", rq.body, account, kAccountMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqUnitName", rq.body, unitName, kUnitNameMax, tw::kJsonModeCodePage);
  if (account[0] == '\0' && unitName[0] == '\0') return req.Code(MissingKeyCode(1));
  if (!req.Open()) return;
  if (!IsGbkText(account) || !IsGbkText(unitName)) return req.Code(kRcNotFound);

  std::string sql =
      "SELECT a.icid,a.cunitname,a.caccount,b.cshelfb,b.cshelfe,b.clinkman,b.cphone,b.cmark,b.cmemo FROM "
      "dorvane.dbo.client_arc AS a INNER JOIN dorvane.dbo.w_client AS b ON(a.icid=b.icid) WHERE b.cdepot='" +
      req.sqlDepot() + "'";
  if (account[0] != '\0') sql += ContainsLike("a.caccount", account);
  if (unitName[0] != '\0') sql += ContainsLike("a.cunitname", unitName);
  sql += " ORDER BY a.icid LIMIT " + std::to_string(kClientListMax);

  DbStatement st(req.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return req.Code(kRcDbFailed);
  ClientRow r;
  DbColumns(st).Int(r.icid).Text(r.cunitname).Text(r.caccount).Text(r.cshelfb).Text(r.cshelfe).Text(r.clinkman)
      .Text(r.cphone).Text(r.cmark).Text(r.cmemo);
  tw::OutBuf& out = req.Reply();
  out.Append("{\"ReturnValue\":1,");
  CJsonFields(out).Str("cDepot", req.depotCode()).Str("cqAccount", account).Str("cqUnitName", unitName)
      .Raw("RecList", "[");
  int32_t count = 0;
  for (;;) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return req.Code(kRcDbFailed);
    if (count > 0) out.AppendChar(',');
    out.AppendChar('{');
    CJsonFields(out).Int("icID", r.icid).Str("cAccount", r.caccount).Str("cUnitName", r.cunitname)
        .Str("cShelfb", r.cshelfb).Str("cShelfe", r.cshelfe).Str("cLink", r.clinkman).Str("cPhone", r.cphone)
        .Str("cMark", r.cmark).Str("cMemo", r.cmemo);
    out.AppendChar('}');
    ++count;
  }
  if (count == 0) return req.Code(kRcNotFound);
  out.Printf("],\"iTotalRec\":%d}", count);
  req.Send();
}

}  // namespace tw::warehouse
