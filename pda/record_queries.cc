// The PDA's record queries: one transfer record ("pdaTransQuery") or one pre-input shipment
// ("pdaPreInputQuery") by its number, newest first, so a courier can check it before acting on it;
// and one number of a numbering rule ("pdaGetNum").

#include <cstring>
#include <string>

#include "core/caches.h"
#include "core/db.h"
#include "core/db_columns.h"
#include "core/numbering.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/pre_input_row.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/pda_common.h"
#include "services/kind_aliases.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"

namespace {

constexpr size_t kNumberMax = 30;
constexpr size_t kAccountMax = 30;
constexpr int kCents = 100;
// A receipt dated before this year means "not received".
constexpr int kReceiptYearMin = 2001;
// Numbering rules below this id are not issued to PDAs.
constexpr int32_t kRuleIdMin = 2;

// The keys both queries read, and the client they are restricted to.
struct RecordQuery {
  int32_t icid = 0;
  char number[kNumberMax + 1] = "";
  char account[kAccountMax + 1] = "";
};

// ---- transfer records ---------------------------------------------------------------------------------

constexpr char kTransSql[] =
    "SELECT a.iid,a.biid,a.icid,a.irid,a.nitemtype,a.fweight,a.famount,a.ddate,a.nstate,a.cmemo,a.iitem,a.fgoods,"
    "a.fgoodsc,a.cgoods,a.iquantity,a.iprice,a.cmoney,a.cpacking,a.ctransnote,a.idvalue,a.iivalue,a.cf_emskind,"
    "a.cf_num,a.cpaydir,a.cmark,a.drdate,a.crname,a.nopen,a.cshelf,a.cstationr,a.cex1,a.cex2,a.cex3,a.icubic,a.il,"
    "a.iw,a.ih,b.cunitname,b.caccount FROM dorvane.dbo.rec_trans AS a INNER JOIN dorvane.dbo.client_arc AS b "
    "ON(a.icid=b.icid) WHERE a.cf_num='%s'";

struct TransRow {
  int32_t iid = 0, biid = 0, icid = 0, irid = 0, nitemtype = 0;
  double fweight = 0, famount = 0;
  DbText<31> ddate = "";
  int32_t nstate = 0;
  DbText<254> cmemo = "";
  int32_t iitem = 0;
  double fgoods = 0, fgoodsc = 0;
  DbText<254> cgoods = "";
  int32_t iquantity = 0;
  int64_t iprice = 0;  // cents
  DbText<3> cmoney = "";
  DbText<15> cpacking = "";
  DbText<63> ctransnote = "";
  int64_t idvalue = 0, iivalue = 0;  // cents
  DbText<15> cf_emskind = "";
  DbText<30> cf_num = "";
  DbText<3> cpaydir = "";
  DbText<15> cmark = "";
  DbText<31> drdate = "";
  DbText<32> crname = "";
  int32_t nopen = 0;
  DbText<30> cshelf = "";
  DbText<15> cstationr = "";
  DbText<63> cex1 = "", cex2 = "";
  DbText<254> cex3 = "";
  int32_t icubic = 0, il = 0, iw = 0, ih = 0;
  DbText<127> cunitname = "";
  DbText<63> caccount = "";
};

void BindTrans(DbStatement& st, TransRow& r) {
  DbColumns b(st);
  b.Int(r.iid).Int(r.biid).Int(r.icid).Int(r.irid).Int(r.nitemtype).Double(r.fweight).Double(r.famount);
  b.Text(r.ddate).Int(r.nstate).Text(r.cmemo).Int(r.iitem).Double(r.fgoods).Double(r.fgoodsc).Text(r.cgoods);
  b.Int(r.iquantity).Int64(r.iprice).Text(r.cmoney).Text(r.cpacking).Text(r.ctransnote).Int64(r.idvalue);
  b.Int64(r.iivalue).Text(r.cf_emskind).Text(r.cf_num).Text(r.cpaydir).Text(r.cmark).Text(r.drdate);
  b.Text(r.crname).Int(r.nopen).Text(r.cshelf).Text(r.cstationr).Text(r.cex1).Text(r.cex2).Text(r.cex3);
  b.Int(r.icubic).Int(r.il).Int(r.iw).Int(r.ih).Text(r.cunitname).Text(r.caccount);
}

void PutTrans(CJsonFields& f, const TransRow& r) {
  const bool received = tw::pda::DateYear(r.drdate) >= kReceiptYearMin;
  f.Int("iID", r.iid).Int("ibID", r.biid).Int("irID", r.irid).Int("icID", r.icid);
  f.Str("cAccount", r.caccount).Str("cUnitName", r.cunitname).Int("nItemType", r.nitemtype).Int("nOpen", r.nopen);
  f.Str("dDate", tw::pda::FormatSecondText(r.ddate).text).Str("cNum", r.cf_num).Str("cEmsKind", r.cf_emskind);
  f.Str("cShelf", r.cshelf).Str("dDate_r", received ? tw::pda::FormatSecondText(r.drdate).text : "");
  f.Str("cName_r", received ? r.crname : "");
  f.Real("fWeight", r.fweight, 3).Int("iItem", r.iitem).Real("fAmount", r.famount, 2);
  f.Str("cMark", r.cmark).Str("cMemo", r.cmemo).Str("cEx1", r.cex1).Str("cEx2", r.cex2).Str("cEx3", r.cex3);
  f.Str("cGoods", r.cgoods).Int("iQuantity", r.iquantity).Real("fPrice", tw::Ratio64(r.iprice, kCents), 2);
  f.Real("fGoods", r.fgoods, 2).Real("fGoodsc", r.fgoodsc, 2);
  f.Real("fDValue", tw::Ratio64(r.idvalue, kCents), 2).Real("fIValue", tw::Ratio64(r.iivalue, kCents), 2);
  f.Str("cMoney", r.cmoney).Str("cPayDir", r.cpaydir).Str("cPacking", r.cpacking).Str("cTransNote", r.ctransnote);
}

// ---- pre-input shipments ------------------------------------------------------------------------------

constexpr char kPreInputSql[] =
    "SELECT a.iid,a.irid,a.nitemtype,a.cemskind,a.cdes,a.fweight,a.cunitname,a.caddr,a.ccity,a.cpostcode,"
    "a.cprovince,a.ccountry,a.creceiver,a.cphone,a.nstate,a.cmemo,a.npayway,a.csender,a.clwh,a.iitem,a.fgoods,"
    "a.fgoodsc,a.cgoods,a.iquantity,a.iprice,a.cpacking,a.ctransnote,a.idvalue,a.iivalue,a.cmoney,a.csunitname,"
    "a.csaddr,a.csphone,a.cspostcode,a.cscountry,a.csprovince,a.cscity,a.nlanguage,a.cpaydir,a.famount,a.crefer,"
    "a.csmsnumber,a.csemail,a.cremail,a.crsms,a.cmark,a.cdepart,a.cno,a.crno,a.ccno,a.creserve,a.ireserve,a.cunit,"
    "a.cby1,a.cby2,a.cby3,a.cby4,a.cby5,a.cgoodsa,a.cgcodea,a.cgcodeb,a.cgcodec,a.fgcustom,a.fgcrate,a.cnum,"
    "a.caddrfrom,a.corigin,a.cemskindc,a.cemskindw,a.faget,a.fasafe,a.fapack,a.faother,a.facheck,a.faremote,"
    "a.faby,a.icid,b.cunitname,b.caccount FROM dorvane.dbo.rec_pre_input AS a INNER JOIN dorvane.dbo.client_arc "
    "AS b ON(a.icid=b.icid) WHERE a.cnum='%s'";

struct PreInputRow : PreInputColumns {
  int32_t icid = 0;
  DbText<127> clientUnit = "";
  DbText<63> caccount = "";
};

void BindPreInput(DbStatement& st, PreInputRow& r) {
  DbColumns b(st);
  b.Int(r.iid).Int(r.irid).Int(r.nitemtype).Text(r.cemskind).Text(r.cdes).Double(r.fweight).Text(r.cunitname);
  b.Text(r.caddr).Text(r.ccity).Text(r.cpostcode).Text(r.cprovince).Text(r.ccountry).Text(r.creceiver);
  b.Text(r.cphone).Int(r.nstate).Text(r.cmemo).Int(r.npayway).Text(r.csender).Text(r.clwh).Int(r.iitem);
  b.Double(r.fgoods).Double(r.fgoodsc).Text(r.cgoods).Int(r.iquantity).Int64(r.iprice).Text(r.cpacking);
  b.Text(r.ctransnote).Int64(r.idvalue).Int64(r.iivalue).Text(r.cmoney).Text(r.csunitname).Text(r.csaddr);
  b.Text(r.csphone).Text(r.cspostcode).Text(r.cscountry).Text(r.csprovince).Text(r.cscity).Int(r.nlanguage);
  b.Text(r.cpaydir).Double(r.famount).Text(r.crefer).Text(r.csmsnumber).Text(r.csemail).Text(r.cremail);
  b.Text(r.crsms).Text(r.cmark).Text(r.cdepart).Text(r.cno).Text(r.crno).Text(r.ccno).Text(r.creserve);
  b.Int(r.ireserve).Text(r.cunit).Text(r.cby1).Text(r.cby2).Text(r.cby3).Text(r.cby4).Text(r.cby5);
  b.Text(r.cgoodsa).Text(r.cgcodea).Text(r.cgcodeb).Text(r.cgcodec).Double(r.fgcustom).Double(r.fgcrate);
  b.Text(r.cnum).Text(r.caddrfrom).Text(r.corigin).Text(r.cemskindc).Text(r.cemskindw).Double(r.faget);
  b.Double(r.fasafe).Double(r.fapack).Double(r.faother).Double(r.facheck).Double(r.faremote).Double(r.faby);
  b.Int(r.icid).Text(r.clientUnit).Text(r.caccount);
}

void PutPreInput(CJsonFields& f, const PreInputRow& r) {
  char alias[16] = "";  // a kind without alias answers ""
  GetEmsKindAlias(r.cemskind, alias);
  f.Int("iID", r.iid).Int("irID", r.irid).Int("icID", r.icid).Str("cAccount", r.caccount);
  f.Str("cUnitName", r.clientUnit).Int("nItemType", r.nitemtype).Int("nLanguage", r.nlanguage);
  f.Str("cEmsKind", r.cemskind).Str("cEmsKindi", alias).Str("cEmsKindc", r.cemskindc).Str("cEmsKindw", r.cemskindw);
  PutPreInputKeys(f, r);
}

// Runs one record query: reads the keys, resolves the account, selects the newest matching row
// with `bind` and answers it with `put`. Row has an `iid`.
template <typename Row, typename Bind, typename Put>
void RunRecordQuery(CHttpServerContext* pCtxt, const char* body, const char* sqlHead, Bind bind, Put put) {
  RecordQuery q;
  q.icid = tw::JsonGetInt("iqcID", body, 0);
  tw::JsonGetString("cqNum", body, q.number, kNumberMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqAccount", body, q.account, kAccountMax, tw::kJsonModeCodePage);
  if (q.number[0] == '\0') {
    WriteCode(pCtxt, MissingKeyCode(1));
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(pCtxt, kRcNoConnection);
    return;
  }
  if (q.account[0] != '\0' && q.icid < 1) {
    // An account that names no client restricts to nothing (-1 adds no filter).
    int32_t found = 0;
    const int rc = tw::pda::FindClient(slot.slot(), 0, q.account, &found);
    if (rc < 0) {
      WriteCode(pCtxt, kRcDbFailed);
      return;
    }
    q.icid = rc > 0 ? found : -1;
  }
  if (!IsGbkText(q.number)) {
    WriteCode(pCtxt, tw::pda::kRcNoRecord);  // a text the database could not read names no record
    return;
  }
  std::string sql = StringPrintf(sqlHead, tw::SqlEscape(q.number).c_str());
  if (q.icid > 0) sql += " AND a.icid=" + std::to_string(q.icid);
  sql += " ORDER BY a.iid DESC LIMIT 1";  // numbers are not unique across clients: the newest

  DbStatement st(slot.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  Row row;
  bind(st, row);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) {
    WriteCode(pCtxt, tw::pda::kRcNoRecord);
    return;
  }
  if (!DbOk(rc)) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", row.iid).Int("iqcID", q.icid).Str("cqNum", q.number).Str("cqAccount", q.account);
  put(f, row);
  reply.AppendChar('}');
  tw::pda::SendReply(pCtxt, reply);
}

}  // namespace

namespace tw::pda {

void OnPdaTransQuery(const CRequest& rq) {
  RunRecordQuery<TransRow>(rq.pCtxt, rq.body, kTransSql, BindTrans, PutTrans);
}

void OnPdaPreInputQuery(const CRequest& rq) {
  RunRecordQuery<PreInputRow>(rq.pCtxt, rq.body, kPreInputSql, BindPreInput, PutPreInput);
}

void OnPdaGetNum(const CRequest& rq) {
  const int32_t icid = tw::JsonGetInt("icID", rq.body, 0);
  const int32_t rule = tw::JsonGetInt("iID", rq.body, 0);
  if (rule < kRuleIdMin) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  char text[kNumberTextBytes] = "";
  int64_t value = -1;
  const std::string ruleText = std::to_string(rule) + "*";
  int drawn = 0;
  {
    // The slot is taken before the number lock and given back once the number is drawn; none free
    // answers as a drawing that failed.
    PoolSlotGuard slot;
    if (slot.ok()) drawn = GenerateNumber(slot.slot(), icid, ruleText.c_str(), text, &value);
  }
  if (drawn != 1) {
    WriteCode(rq.pCtxt, kRcNotFound);
    return;
  }
  char replyText[128];
  tw::OutBuf reply(replyText, sizeof replyText);
  reply.AppendChar('{');
  CJsonFields(reply).Int("ReturnValue", kRcOk).Int("iID", rule).Str("cNum", text);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
