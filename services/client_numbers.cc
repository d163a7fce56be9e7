// Four small requests of the client doors: waybill and internal numbers with the kind's default
// reserve fields ("DoGetNo"), the MD5 of a text ("GenerateMD5"), the in-system login that hands a
// member its client id and API key ("GetClientID"), and partners opening client accounts
// ("ClientCreate").

#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "core/db.h"
#include "core/db_columns.h"
#include "core/numbering.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pricing/kind_fill.h"
#include "services/client_codes.h"
#include "services/handlers.h"
#include "services/internal/client_id_text.h"
#include "services/internal/replies.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/md5.h"
#include "util/outbuf.h"
#include "util/pinyin.h"
#include "util/registry.h"
#include "util/text.h"

namespace {

constexpr char kLogCategory[] = "TARNWICK";

// ---- DoGetNo ----
constexpr size_t kKindMax = 15;
constexpr int kRcNoKind = -14;          // "cEmsKind" empty
constexpr int kRcNoTransferRule = -15;  // no transfer-number rule for the kind

// ---- GenerateMD5 ----
constexpr size_t kMd5TextMax = 255;

// ---- GetClientID ----
constexpr size_t kMd5FieldMax = 33;  // "MD5": 34-byte field
constexpr size_t kLoginTextMax = 30;
constexpr size_t kApiKeyLength = 15;
constexpr int kRcNoWebAccount = -12;
constexpr int kRcNoSite = -13;
constexpr int kRcNoMember = -2;
constexpr int kRcWrongPassword = -14;
constexpr int kRcNoClient = -22;
constexpr int kRcNoKey = -23;
constexpr char kMemberSql[] = "SELECT mcpassword FROM quillon.member_main WHERE wcid='%s' AND mcaccount='%s'";
constexpr char kClientSql[] =
    "SELECT icid,COALESCE(capikey,'') FROM dorvane.dbo.client_arc WHERE cwebac='%s' ORDER BY icid LIMIT 1";
// The key is stored only where the client has none, so two logins racing for a client's first key
// both hand out the one that was stored. The option's first byte becomes FF, the others stay.
constexpr char kNewKeySql[] =
    "UPDATE dorvane.dbo.client_arc SET capikey='%s',voption='\\xff'::bytea || CASE WHEN length(voption)>=2 "
    "THEN substring(voption from 2) ELSE '\\x00'::bytea END WHERE icid=%d AND (capikey IS NULL OR capikey='')";
constexpr char kKeySql[] = "SELECT COALESCE(capikey,'') FROM dorvane.dbo.client_arc WHERE icid=%d";

// ---- ClientCreate ----
constexpr size_t kUnitNameMax = 63;
constexpr size_t kUnitNameMin = 2;
constexpr size_t kAccountShort = 10;  // shorter accounts get a five-digit suffix
constexpr int kRcShortUnitName = -12;

}  // namespace

// ---- waybill numbers --------------------------------------------------------------------------------

namespace tw::services {

void OnDoGetNo(const CRequest& rq) {
  const int32_t icid = tw::JsonGetInt("icID", rq.body, 0);
  if (icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  char kind[kKindMax + 1];
  tw::JsonGetString("cEmsKind", rq.body, kind, kKindMax, tw::kJsonModeCodePage);
  if (kind[0] == '\0') {
    WriteCode(rq.pCtxt, kRcNoKind);
    return;
  }
  const bool bInternal = tw::JsonGetInt("iType", rq.body, 0) != 0;
  if (!bInternal && FindTransferNumberRuleId(kind) < 0) {
    WriteCode(rq.pCtxt, kRcNoTransferRule);
    return;
  }
  char number[kNumberTextBytes] = "";
  int32_t ruleId = -1;
  int drawn = 0;
  {
    // The slot is taken before the number lock and given back once the number is drawn; none free
    // answers as a drawing that failed.
    PoolSlotGuard slot;
    if (slot.ok()) {
      drawn = bInternal ? GenerateInternalNumber(slot.slot(), icid, kind, number, &ruleId)
                        : GenerateTransferNumber(slot.slot(), icid, kind, number, &ruleId);
    }
  }
  if (drawn == 0 || number[0] == '\0') {
    WriteCode(rq.pCtxt, kRcNotFound);
    return;
  }
  EmsKindExFields fill;  // all empty when the kind has none
  (void)FindEmsKindExFields(kind, &fill);

  char text[4096];  // the six fields at their limits, every byte escaped, fit
  tw::OutBuf reply(text, sizeof text);
  reply.AppendChar('{');
  CJsonFields(reply)
      .Int("ReturnValue", kRcOk)
      .Str("cNo", number)
      .Str("cReserve", fill.cReserve)
      .Str("cBy1", fill.cBy1)
      .Str("cBy2", fill.cBy2)
      .Str("cBy3", fill.cBy3)
      .Str("cBy4", fill.cBy4)
      .Str("cBy5", fill.cBy5);
  reply.AppendChar('}');
  tw::entry::SendWholeReply(rq.pCtxt, reply);
}

// ---- MD5 of a text ----------------------------------------------------------------------------------

void OnGenerateMD5(const CRequest& rq) {
  char text[kMd5TextMax + 1];
  tw::JsonGetString("cString", rq.body, text, kMd5TextMax, tw::kJsonModeCodePage);
  if (text[0] == '\0') {
    WriteCode(rq.pCtxt, kRcNotFound);
    return;
  }
  char hex[tw::kMd5HexSize];
  tw::MD5Hex(text, std::strlen(text), hex);
  char reply[64];
  std::snprintf(reply, sizeof reply, "{\"ReturnValue\":1,\"MD5\":\"%s\"}", hex);
  WriteReply(rq.pCtxt, reply, 1);
}

// ---- the in-system login ----------------------------------------------------------------------------

namespace {

// Runs a query of one text column on dbc and reads its first row into out. SQL_NO_DATA when there
// is no row; an error result when the statement did not run.
template <size_t N>
SQLRETURN QueryText(SQLHDBC dbc, const std::string& sql, char (&out)[N]) {
  out[0] = '\0';
  DbStatement st(dbc);
  if (!st.ok()) return SQL_ERROR;
  SQLRETURN rc = st.ExecDirect(sql.c_str());
  if (!DbOk(rc)) return rc == SQL_NO_DATA ? SQL_ERROR : rc;
  st.BindText(1, out, N);
  return st.Fetch();
}

}  // namespace

void OnGetClientID(const CRequest& rq) {
  char md5[kMd5FieldMax + 1];
  tw::JsonGetString("MD5", rq.body, md5, kMd5FieldMax, tw::kJsonModeCodePage);
  for (char* p = md5; *p != '\0'; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  char webAccount[kLoginTextMax + 1], site[kLoginTextMax + 1], password[kLoginTextMax + 1];
  tw::JsonGetString("cWebAc", rq.body, webAccount, kLoginTextMax, tw::kJsonModeCodePage);
  if (webAccount[0] == '\0') {
    WriteCode(rq.pCtxt, kRcNoWebAccount);
    return;
  }
  tw::JsonGetString("cWcid", rq.body, site, kLoginTextMax, tw::kJsonModeCodePage);
  if (site[0] == '\0') {
    WriteCode(rq.pCtxt, kRcNoSite);
    return;
  }
  tw::JsonGetString("cPassword", rq.body, password, kLoginTextMax, tw::kJsonModeCodePage);
  const bool genKey = tw::JsonGetBool("bGenKey", rq.body, 0) != 0;
  if (!IsGbkText(webAccount) || !IsGbkText(site)) {
    WriteCode(rq.pCtxt, kRcNoMember);  // no stored login reads so
    return;
  }

  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  DbText<31> stored = "";
  SQLRETURN rc = QueryText(slot.dbc(),
                           StringPrintf(kMemberSql, tw::SqlEscape(site).c_str(), tw::SqlEscape(webAccount).c_str()),
                           stored);
  if (rc == SQL_NO_DATA) {
    WriteCode(rq.pCtxt, kRcNoMember);
    return;
  }
  if (!DbOk(rc)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (ScramblePassword(stored) != password) {
    WriteCode(rq.pCtxt, kRcWrongPassword);
    return;
  }

  int32_t icid = 0;
  DbText<32> key = "";
  {
    DbStatement st(slot.dbc());
    const std::string sql = StringPrintf(kClientSql, tw::SqlEscape(webAccount).c_str());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbColumns(st).Int(icid).Text(key);
    rc = st.Fetch();
    if (rc == SQL_NO_DATA) {
      WriteCode(rq.pCtxt, kRcNoClient);
      return;
    }
    if (!DbOk(rc)) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }
  if (key[0] == '\0') {
    if (!genKey) {
      WriteCode(rq.pCtxt, kRcNoKey);
      return;
    }
    char made[kApiKeyLength + 1];
    if (!tw::MakeRandomText(made, kApiKeyLength)) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbStatement st(slot.dbc());
    const std::string sql = StringPrintf(kNewKeySql, tw::SqlEscape(made).c_str(), icid);
    rc = st.ok() ? st.ExecDirect(sql.c_str()) : SQL_ERROR;
    if (!DbOk(rc) && rc != SQL_NO_DATA) {  // no row changed: another login stored a key first
      WriteLog(st.Diagnostic().c_str(), kLogCategory);
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    // The key handed out is the one stored, whoever stored it.
    if (!DbOk(QueryText(slot.dbc(), StringPrintf(kKeySql, icid), key)) || key[0] == '\0') {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }

  // The key travels masked: each character XORed with the same character of the request's MD5
  // text, as two hexadecimal digits; the caller undoes it with its own MD5 text.
  std::string masked;
  const size_t md5Length = std::strlen(md5);
  for (size_t i = 0; key[i] != '\0' && i < md5Length; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X",
                  static_cast<unsigned>(static_cast<unsigned char>(key[i]) ^ static_cast<unsigned char>(md5[i])));
    masked += hex;
  }
  tw::OutBuf reply(slot.slot().szReply, kReplyBytes);
  reply.Printf("{\"ReturnValue\":%d,", icid);
  CJsonFields(reply).Str("cWebAc", webAccount).Int("icID", icid).Str("cKey", masked.c_str());
  reply.AppendChar('}');
  WriteJsonReply(rq.pCtxt, reply.data(), reply.size());
}

// ---- client creation --------------------------------------------------------------------------------

namespace {

// The texts of a new client, read with their limits.
struct NewClient {
  char unitName[kUnitNameMax + 1] = "";
  char account[tw::clientid::kAccountBytes] = "";
  char unitNameE[128] = "", addr[128] = "", addrE[128] = "", city[64] = "", cityE[64] = "";
  char postCode[16] = "", province[16] = "", provinceE[31] = "", country[31] = "", countryE[64] = "";
  char sign[31] = "", signE[31] = "", phone[23] = "", fax[23] = "", sms[23] = "", email[64] = "";
  char contact[31] = "", kind[16] = "", brief[16] = "", order[64] = "", station[16] = "", qq[64] = "";
  char msn[64] = "", skype[64] = "", wang[64] = "", weChat[31] = "", mark[16] = "", memo[1023] = "";
  char by1[64] = "", by2[64] = "", by3[64] = "", by4[64] = "", by5[255] = "";
  int32_t payWay = 0;
  int32_t state = 0;
};

template <size_t N>
void ReadText(const char* body, const char* key, char (&out)[N]) {
  tw::JsonGetString(key, body, out, N - 1, tw::kJsonModeCodePage);
  tw::clientid::MakeGbkSafe(out);
}

void ReadNewClient(const char* body, NewClient& c) {
  (void)tw::JsonGetInt("iKind", body, 0);  // read and not used
  c.payWay = tw::JsonGetInt("nPayWay", body, 0);
  if (c.payWay < 0 || c.payWay > 2) c.payWay = 0;
  c.state = tw::JsonGetInt("nState", body, 0);
  if (c.state < 0 || c.state > 1) c.state = 0;
  ReadText(body, "cAccount", c.account);
  ReadText(body, "cUnitNameE", c.unitNameE);
  ReadText(body, "cAddr", c.addr);
  ReadText(body, "cAddrE", c.addrE);
  ReadText(body, "cCity", c.city);
  ReadText(body, "cCityE", c.cityE);
  ReadText(body, "cPostCode", c.postCode);
  ReadText(body, "cProvince", c.province);
  ReadText(body, "cProvinceE", c.provinceE);
  ReadText(body, "cCountry", c.country);
  ReadText(body, "cCountryE", c.countryE);
  ReadText(body, "cSign", c.sign);
  ReadText(body, "cSignE", c.signE);
  ReadText(body, "cPhone", c.phone);
  ReadText(body, "cFax", c.fax);
  ReadText(body, "cSms", c.sms);
  ReadText(body, "cEMail", c.email);
  ReadText(body, "cMName", c.contact);
  ReadText(body, "cKind", c.kind);
  ReadText(body, "cBrief", c.brief);
  ReadText(body, "cOrder", c.order);
  ReadText(body, "cStation", c.station);
  ReadText(body, "cQQ", c.qq);
  ReadText(body, "cMSN", c.msn);
  ReadText(body, "cSkype", c.skype);
  ReadText(body, "cWang", c.wang);
  ReadText(body, "cWeChat", c.weChat);
  ReadText(body, "cMark", c.mark);
  ReadText(body, "cMemo", c.memo);
  ReadText(body, "cBy1", c.by1);
  ReadText(body, "cBy2", c.by2);
  ReadText(body, "cBy3", c.by3);
  ReadText(body, "cBy4", c.by4);
  ReadText(body, "cBy5", c.by5);
}

// A suffix of exactly five digits for short accounts.
unsigned AccountSuffix() {
  thread_local std::mt19937 generator{std::random_device{}()};
  return std::uniform_int_distribution<unsigned>(0, 99999)(generator);
}

}  // namespace

void OnClientCreate(const CRequest& rq) {
  NewClient c;
  ReadText(rq.body, "cUnitName", c.unitName);
  if (std::strlen(c.unitName) < kUnitNameMin) {
    WriteCode(rq.pCtxt, kRcShortUnitName);
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  ReadNewClient(rq.body, c);
  if (c.account[0] == '\0') tw::clientid::MakeAccount(c.unitName, c.account);
  if (std::strlen(c.account) < kAccountShort) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%05u", AccountSuffix());
    std::strncat(c.account, suffix, sizeof c.account - std::strlen(c.account) - 1);
  }

  auto q = [](const char* text) { return tw::SqlEscape(text); };
  const std::string call =
      "{?=CALL dorvane.dbo.cp_client_arc_add('" + q(c.unitName) + "','" + q(c.unitNameE) + "','" + q(c.addr) +
      "','" + q(c.addrE) + "','" + q(c.city) + "','" + q(c.cityE) + "','" + q(c.postCode) + "','" +
      q(c.province) + "','" + q(c.provinceE) + "','" + q(c.country) + "','" + q(c.countryE) + "','" + q(c.sign) +
      "','" + q(c.signE) + "','" + q(c.phone) + "','" + q(c.fax) + "',0,'" + q(c.memo) + "'," +
      std::to_string(c.state) + ",'" + q(c.email) + "','" + q(c.contact) + "',0.00,'" + q(c.account) + "','" +
      q(c.sms) + "',0,0,0,0,'" + q(c.kind) + "',0,0,0,'" + q(c.brief) + "','',0,'" + q(c.station) + "','" +
      q(c.contact) + "'," + std::to_string(c.payWay) + "," + (c.state == 1 ? "1" : "0") + ",'" + q(c.qq) +
      "','" + q(c.msn) + "','" + q(c.skype) + "','" + q(c.wang) + "','" + q(c.order) + "','" + q(c.mark) +
      "',0,0,'','','',0,'','','" + q(c.by1) + "','" + q(c.by2) + "','" + q(c.by3) + "','" + q(c.by4) + "','" +
      q(c.by5) + "','','','','','','','" + q(c.weChat) + "')}";

  int32_t result = 0;
  {
    DbStatement st(slot.dbc());
    st.BindOutInt(1, &result);
    if (!st.ok() || !DbOk(st.ExecDirect(call.c_str()))) {
      WriteLog(st.Diagnostic().c_str(), kLogCategory);
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }
  if (result == kRcDbFailed) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  tw::OutBuf reply(slot.slot().szReply, kReplyBytes);
  reply.Printf("{\"ReturnValue\":%d,", result);
  CJsonFields(reply).Str("cUnitName", c.unitName).Str("cAccount", c.account);
  reply.AppendChar('}');
  WriteJsonReply(rq.pCtxt, reply.data(), reply.size());
}

}  // namespace tw::services
