// The client's own record ("ClientInfo", "ClientAuth": the account with its member password from
// the member tables) and the service kinds clients may enter ("EmsKindList", with the kind alias
// table g_EmsKindAliases that it refills).

#include <cstring>
#include <string>
#include <vector>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "services/handlers.h"
#include "services/kind_aliases.h"
#include "core/result_codes.h"
#include "pricing/kind_fill.h"
#include "services/client_codes.h"
#include "services/internal/client_read.h"
#include "services/internal/replies.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/registry.h"
#include "util/text.h"

namespace {

constexpr size_t kLookupKeyMax = 30;
constexpr size_t kPasswordMax = 31;
constexpr size_t kAliasTextMax = sizeof EmsKindAlias::cemskind - 1;

// The password texts when the member login cannot be read.
constexpr char kNoLink[] = "*No Link!";        // the client has no web account
constexpr char kNoMemberTable[] = "*No Quillon!";  // the member statement did not run
constexpr char kBadLink[] = "*Bad Link!";      // no member with the client's web account

constexpr char kClientSql[] =
    "SELECT cunitname,cunitnamee,caddr,caddre,ccity,ccitye,cpostcode,cprovince,cprovincee,ccountry,"
    "ccountrye,csender,csendere,cphone,cfax,cemail,cmname,caccount,csmnumber,cwebac,cstation,cqq,cmsn,"
    "cskype,cwang,cby1,cby2,cby3,cby4,cby5,fcredit,fdeposit,ndeposit,fpay0,ipay0,fpay1,ipay1,icid,cwechat "
    "FROM dorvane.dbo.client_arc WHERE ";
constexpr char kMemberSql[] = "SELECT mcpassword FROM quillon.member_main WHERE mcaccount='";
constexpr char kAliasSql[] =
    "SELECT cemskind,cemskindi FROM dorvane.dbo.ems_kind WHERE ninput=1 ORDER BY idocweighte,cemskindi";

struct ClientRow {
  DbText<127> cunitname = "";
  DbText<127> cunitnamee = "";
  DbText<254> caddr = "";
  DbText<254> caddre = "";
  DbText<63> ccity = "";
  DbText<63> ccitye = "";
  DbText<15> cpostcode = "";
  DbText<63> cprovince = "";
  DbText<63> cprovincee = "";
  DbText<63> ccountry = "";
  DbText<63> ccountrye = "";
  DbText<63> csender = "";
  DbText<63> csendere = "";
  DbText<63> cphone = "";
  DbText<63> cfax = "";
  DbText<63> cemail = "";
  DbText<63> cmname = "";
  DbText<63> caccount = "";
  DbText<22> csmnumber = "";
  DbText<30> cwebac = "";
  DbText<15> cstation = "";
  DbText<63> cqq = "";
  DbText<63> cmsn = "";
  DbText<63> cskype = "";
  DbText<63> cwang = "";
  DbText<63> cby1 = "";
  DbText<63> cby2 = "";
  DbText<63> cby3 = "";
  DbText<63> cby4 = "";
  DbText<254> cby5 = "";
  double fcredit = 0;
  double fdeposit = 0;
  int32_t ndeposit = 0;
  double fpay0 = 0;
  int32_t ipay0 = 0;
  double fpay1 = 0;
  int32_t ipay1 = 0;
  int32_t icid = 0;
  DbText<63> cwechat = "";
};

void BindClient(DbStatement& st, ClientRow& r) {
  DbColumns b(st);
  b.Text(r.cunitname).Text(r.cunitnamee).Text(r.caddr).Text(r.caddre).Text(r.ccity).Text(r.ccitye);
  b.Text(r.cpostcode).Text(r.cprovince).Text(r.cprovincee).Text(r.ccountry).Text(r.ccountrye);
  b.Text(r.csender).Text(r.csendere).Text(r.cphone).Text(r.cfax).Text(r.cemail).Text(r.cmname);
  b.Text(r.caccount).Text(r.csmnumber).Text(r.cwebac).Text(r.cstation).Text(r.cqq).Text(r.cmsn);
  b.Text(r.cskype).Text(r.cwang).Text(r.cby1).Text(r.cby2).Text(r.cby3).Text(r.cby4).Text(r.cby5);
  b.Double(r.fcredit).Double(r.fdeposit).Int(r.ndeposit).Double(r.fpay0).Int(r.ipay0).Double(r.fpay1);
  b.Int(r.ipay1).Int(r.icid).Text(r.cwechat);
}

// The member password of the web account (at most 31 bytes), or the text that says why there is
// none. Empty when no statement can be had.
std::string MemberPassword(SQLHDBC dbc, const char* webAccount) {
  if (webAccount[0] == '\0') return kNoLink;
  DbStatement st(dbc);
  if (!st.ok()) return std::string();
  const std::string sql = std::string(kMemberSql) + tw::SqlEscape(webAccount) + "'";
  if (!DbOk(st.ExecDirect(sql.c_str()))) return kNoMemberTable;
  DbText<kPasswordMax> password = "";
  st.BindText(1, password, sizeof password);
  if (!DbOk(st.Fetch())) return kBadLink;
  tw::TruncateText(password, kPasswordMax);
  return password;
}

}  // namespace

// ---- client information -----------------------------------------------------------------------------

namespace tw::services {

void OnClientAuth(const CRequest& rq) {
  char idText[kLookupKeyMax + 1], webAccount[kLookupKeyMax + 1], weChat[kLookupKeyMax + 1];
  tw::JsonGetString("icID", rq.body, idText, kLookupKeyMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cWebAccount", rq.body, webAccount, kLookupKeyMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cWeChat", rq.body, weChat, kLookupKeyMax, tw::kJsonModeCodePage);
  const int32_t icid = tw::ParseIntClamped(idText);
  std::string lookup;
  if (icid > 0) {
    lookup = "icid=" + std::to_string(icid);
  } else if (webAccount[0] != '\0') {
    lookup = "cwebac='" + tw::SqlEscape(webAccount) + "'";
  } else if (weChat[0] != '\0') {
    lookup = "cwechat='" + tw::SqlEscape(weChat) + "'";
  } else {
    WriteCode(rq.pCtxt, kRcNoLookupKey);
    return;
  }
  if (!IsGbkText(webAccount) || !IsGbkText(weChat)) {
    WriteCode(rq.pCtxt, kRcRecordNotFound);  // no stored account reads so
    return;
  }

  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& s = slot.slot();
  tw::OutBuf sql(s.szSql, kSqlBytes);
  sql.Append(kClientSql);
  sql.Append(lookup);
  ClientRow r;
  const int read = tw::entry::ReadOneRow(s, sql, [&r](DbStatement& st) { BindClient(st, r); });
  if (read != kRcOk) {
    WriteCode(rq.pCtxt, read);
    return;
  }
  const std::string password = ScramblePassword(MemberPassword(slot.dbc(), r.cwebac).c_str());

  tw::OutBuf reply(s.szReply, kReplyBytes);
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", kRcOk).Int("icID", r.icid).Str("cWebAccount", r.cwebac).Str("cPassword", password.c_str());
  f.Real("fCredit", r.fcredit, 2).Real("fBalance", r.fdeposit, 2);
  f.Int64("iNoAudit", static_cast<int64_t>(r.ipay0) + r.ipay1).Real("fNoAudit", r.fpay0 + r.fpay1, 2);
  f.Real("fABalance", r.fcredit + r.fdeposit - r.fpay0 - r.fpay1, 2);
  f.Str("cAccount", r.caccount).Str("cStation", r.cstation);
  f.Str("cUnitName", r.cunitname).Str("cUnitNameE", r.cunitnamee).Str("cAddr", r.caddr).Str("cAddrE", r.caddre);
  f.Str("cCity", r.ccity).Str("cCityE", r.ccitye).Str("cProvince", r.cprovince).Str("cProvinceE", r.cprovincee);
  f.Str("cCountry", r.ccountry).Str("cCountryE", r.ccountrye).Str("cSign", r.csender).Str("cSignE", r.csendere);
  f.Str("cPostCode", r.cpostcode).Str("cPhone", r.cphone).Str("cFax", r.cfax).Str("cSms", r.csmnumber);
  f.Str("cEMail", r.cemail).Str("cQQ", r.cqq).Str("cMSN", r.cmsn).Str("cSkype", r.cskype).Str("cWang", r.cwang);
  f.Str("cWeChat", r.cwechat);
  f.Str("cBy1", r.cby1).Str("cBy2", r.cby2).Str("cBy3", r.cby3).Str("cBy4", r.cby4).Str("cBy5", r.cby5);
  reply.AppendChar('}');
  tw::entry::SendWholeReply(rq.pCtxt, reply);
}

}  // namespace tw::services

// ---- service kinds ----------------------------------------------------------------------------------

void LoadEmsKindAliases(PoolSlot& slot) {
  DbStatement st(slot.hDbc);
  if (!st.ok() || !DbOk(st.ExecDirect(kAliasSql))) return;
  // Wider than the table's 15 bytes, so a longer stored text is cut at a character boundary.
  DbText<kAliasTextMax> code = "", name = "";
  DbColumns(st).Text(code).Text(name);
  std::vector<EmsKindAlias> rows;
  while (DbOk(st.Fetch())) {
    EmsKindAlias a;
    tw::CopyTextLimited(a.cemskind, code, kAliasTextMax);
    tw::CopyTextLimited(a.cemskindi, name, kAliasTextMax);
    rows.push_back(a);
  }
  // A query that finds nothing (or fails) keeps the table loaded before.
  if (!rows.empty()) g_EmsKindAliases.Replace(std::move(rows));
}

char* GetEmsKindAlias(const char* code, char out[16]) {
  EmsKindAlias a;
  if (g_EmsKindAliases.FindByKind(code, &a)) std::memcpy(out, a.cemskindi, sizeof a.cemskindi);
  return out;
}

namespace tw::services {

void OnEmsKindList(const CRequest& rq) {
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  LoadEmsKindAliases(slot.slot());
  const std::vector<EmsKindAlias> kinds = g_EmsKindAliases.Snapshot();
  if (kinds.empty()) {
    slot.Release();
    WriteCode(rq.pCtxt, kRcNotFound);
    return;
  }
  tw::OutBuf reply(slot.slot().szReply, kReplyBytes);
  reply.Printf("{\"ReturnValue\":%zu,\"List\":[", kinds.size());
  for (size_t i = 0; i < kinds.size(); ++i) {
    reply.Append(i == 0 ? "{" : ",{");
    CJsonFields(reply).Str("oName", kinds[i].cemskind).Str("cName", kinds[i].cemskindi);
    reply.AppendChar('}');
  }
  reply.Append("]}");
  tw::entry::SendWholeReply(rq.pCtxt, reply);
}

}  // namespace tw::services
