// The PDA's small lookups: suppliers and their batch numbers ("pdaSpInfo", "pdaSpBatch"), control
// codes and shipment prompts ("pdaRecCtrlCode", "pdaRecPromptQuery") and the operator's rights
// ("pdaUserInfo").

#include <cstdio>
#include <cstring>
#include <string>

#include "core/caches.h"
#include "core/db.h"
#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/pda_common.h"
#include "util/escape.h"
#include "util/json.h"

namespace {

constexpr char kLogCategory[] = "PDA";
constexpr size_t kKindMax = 15;
constexpr size_t kDateMax = 30;
constexpr size_t kNumberMax = 30;
constexpr size_t kCtrlCodeMax = 3;

// ---- suppliers ----------------------------------------------------------------------------------------

// "pdaSpBatch": no supplier id, no such supplier.
constexpr int kRcNoSupplierId = -10;
constexpr int kRcSupplierUnknown = -20;
// Batch codes have three digits; a longer one is used as stored (and logged), a negative one as 0.
constexpr int32_t kBatchCodeMax = 999;

int32_t UsableBatchCode(int32_t isid, int32_t nbatch) {
  if (nbatch < 0) return 0;
  if (nbatch > kBatchCodeMax) {
    char text[96];
    std::snprintf(text, sizeof text, "supplier %d has the batch code %d (more than three digits)", isid, nbatch);
    WriteLog(text, kLogCategory);
  }
  return nbatch;
}

constexpr char kSpInfoSql[] = "SELECT a.isid,a.cname,a.nbatch FROM dorvane.dbo.sp_arc AS a WHERE a.nstate=0";
constexpr char kSpInfoKindSql[] =
    "SELECT a.isid,a.cname,a.nbatch,b.cemskind FROM dorvane.dbo.sp_arc AS a INNER JOIN dorvane.dbo.ems_sp AS b "
    "ON(a.isid=b.isid) WHERE a.nstate=0 AND b.nstate=0";
constexpr char kSpRowSql[] = "SELECT cname,nbatch FROM dorvane.dbo.sp_arc WHERE isid=%d";
constexpr char kSpBatchSql[] =
    "SELECT DISTINCT(ibatch) FROM dorvane.dbo.client_rec WHERE isid=%d AND ibatch BETWEEN %s%03d0 AND %s%03d9 "
    "ORDER BY ibatch DESC";

// ---- prompts ------------------------------------------------------------------------------------------

// The flag of each step: 0 weighing, 1 input, 2 sending, any other the query.
const char* PromptFlag(int32_t step) {
  switch (step) {
    case 0:
      return " AND bweight=1";
    case 1:
      return " AND binput=1";
    case 2:
      return " AND bsend=1";
    default:
      return " AND bquery=1";
  }
}

constexpr int32_t kCtrlKindMax = 3;

// ---- rights -------------------------------------------------------------------------------------------

constexpr size_t kRightBytes = 16;

enum RightField { kMvRight, kMvRightI };

struct RightFlag {
  const char* key;
  RightField field;
  int byte;
  int bit;
};

// The 23 flags of "pdaUserInfo", in reply order: bit 0 is the least significant of its byte.
constexpr RightFlag kRightFlags[] = {
    {"bClientRec", kMvRight, 1, 6},    {"bSend", kMvRight, 4, 5},       {"bReWeight", kMvRight, 7, 2},
    {"bCheckScan", kMvRight, 7, 0},    {"bCodeScan", kMvRight, 12, 5},  {"bReturnScan", kMvRight, 15, 1},
    {"bTransReceive", kMvRight, 8, 7}, {"bTransSend", kMvRight, 8, 6},  {"bxBagCreate", kMvRightI, 0, 6},
    {"bxBagAddRec", kMvRightI, 0, 3},  {"bxBagPack", kMvRightI, 0, 2},  {"bxBagUnpack", kMvRightI, 0, 1},
    {"bxBagAwb", kMvRightI, 0, 0},     {"bwInPick", kMvRight, 0, 5},    {"bwInCheck", kMvRight, 0, 4},
    {"bwInConfirm", kMvRight, 0, 3},   {"bwInShelf", kMvRight, 0, 2},   {"bwInRet", kMvRight, 0, 0},
    {"bwOutChoose", kMvRight, 1, 5},   {"bwOutCheck", kMvRight, 1, 4},  {"bwOutPack", kMvRight, 1, 3},
    {"bwOutConfirm", kMvRight, 1, 2},  {"bwDepotMove", kMvRight, 2, 4},
};

constexpr char kUserInfoSql[] =
    "SELECT a.mvright,a.mvrighte,a.mvrighti,a.cstationt,b.vright FROM dorvane.dbo.man_main AS a LEFT OUTER JOIN "
    "dorvane.dbo.w_depot_role AS b ON(a.mcname=b.cname) WHERE a.mcname='%s'";

// SendRecList: ends a reply whose "RecList" rows are written: "-9" when the rows stopped on a
// failed fetch (rc the last Fetch's result), "0" when there were none, else the list closed with
// "iTotalRec" and sent.
void SendRecList(CHttpServerContext* pCtxt, tw::OutBuf& reply, SQLRETURN rc, int32_t count) {
  if (rc != SQL_NO_DATA) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  if (count == 0) {
    WriteCode(pCtxt, kRcNotFound);
    return;
  }
  reply.Printf("],\"iTotalRec\":%d}", count);
  tw::pda::SendReply(pCtxt, reply);
}

}  // namespace

namespace tw::pda {

void OnPdaSpInfo(const CRequest& rq) {
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  const int32_t isid = tw::JsonGetInt("iqsID", rq.body, 0);
  const int32_t type = tw::JsonGetInt("iqType", rq.body, 0);
  char kind[kKindMax + 1];
  tw::JsonGetString("cqEmsKind", rq.body, kind, kKindMax, tw::kJsonModeCodePage);

  std::string sql = type == 0 ? kSpInfoSql : kSpInfoKindSql;
  if (isid > 0) sql += " AND a.isid=" + std::to_string(isid);
  if (type != 0 && kind[0] != '\0') {
    // A text the database could not read names no kind.
    sql += IsGbkText(kind) ? " AND b.cemskind='" + tw::SqlEscape(kind) + "'" : std::string(kSqlSelectNothing);
  }
  sql += type == 0 ? " ORDER BY a.cname" : " ORDER BY a.cname,b.cemskind";

  DbStatement st(slot.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  int32_t rowIsid = 0, nbatch = 0;
  DbText<63> name = "";
  DbText<15> rowKind = "";
  DbColumns b(st);
  b.Int(rowIsid).Text(name).Int(nbatch);
  if (type != 0) b.Text(rowKind);

  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.Printf("{\"ReturnValue\":1,\"iqsID\":%d,\"iqType\":%d,", isid, type);
  CJsonFields(reply).Str("cqEmsKind", kind);
  reply.Append(",\"RecList\":[");
  int32_t count = 0;
  SQLRETURN rc;
  while (DbOk(rc = st.Fetch())) {
    reply.Append(count == 0 ? "{" : ",{");
    CJsonFields f(reply);
    f.Int("isID", rowIsid).Int("iBatch", UsableBatchCode(rowIsid, nbatch));
    if (type != 0) f.Str("cEmsKind", rowKind);
    f.Str("cName", name);
    reply.AppendChar('}');
    ++count;
  }
  SendRecList(rq.pCtxt, reply, rc, count);
}

void OnPdaSpBatch(const CRequest& rq) {
  const int32_t isid = tw::JsonGetInt("iqsID", rq.body, 0);
  if (isid <= 0) {
    WriteCode(rq.pCtxt, kRcNoSupplierId);
    return;
  }
  char date[kDateMax + 1];
  tw::JsonGetString("cqDate", rq.body, date, kDateMax, tw::kJsonModeCodePage);
  const tw::ShortText day = tw::pda::BatchDayText(date);

  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  DbText<63> name = "";
  int32_t nbatch = 0;
  {
    DbStatement st(slot.dbc());
    char sql[sizeof kSpRowSql + 16];
    if (!st.ok() || !FormatSql(sql, sizeof sql, kSpRowSql, isid) || !DbOk(st.ExecDirect(sql))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbColumns(st).Text(name).Int(nbatch);
    if (!tw::pda::FetchRowOrReply(rq.pCtxt, st, kRcSupplierUnknown)) return;
  }
  const int32_t code = UsableBatchCode(isid, nbatch);

  DbStatement st(slot.dbc());
  char sql[sizeof kSpBatchSql + 64];
  if (!st.ok() || !FormatSql(sql, sizeof sql, kSpBatchSql, isid, day.text, code, day.text, code) ||
      !DbOk(st.ExecDirect(sql))) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  int64_t batch = 0;
  st.BindInt64(1, &batch);

  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.Printf("{\"ReturnValue\":1,\"iqsID\":%d,\"cqDate\":\"%s\",", isid, day.text);
  CJsonFields(reply).Int("iBatch", code).Str("cName", name);
  int32_t count = 0;
  SQLRETURN rc;
  while (DbOk(rc = st.Fetch())) {
    reply.Append(count == 0 ? ",\"cBatches\":[" : ",");
    reply.Printf("\"%lld\"", static_cast<long long>(batch));
    ++count;
  }
  if (rc != SQL_NO_DATA) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (count > 0) reply.AppendChar(']');
  reply.Printf(",\"iTotalRec\":%d}", count);
  tw::pda::SendReply(rq.pCtxt, reply);
}

void OnPdaRecCtrlCode(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  int32_t kind = tw::JsonGetInt("iKind", rq.body, 0);
  if (kind < 0 || kind > kCtrlKindMax) kind = 0;
  char number[kNumberMax + 1];
  tw::JsonGetString("cNo", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(number) <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  char code[kCtrlCodeMax + 1];
  tw::JsonGetString("cCtrlCode", rq.body, code, kCtrlCodeMax, tw::kJsonModeCodePage);
  if (std::strlen(code) != kCtrlCodeMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(2));
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  const std::string sql =
      StringPrintf("{?=CALL dorvane.dbo.cp_pda_rec_ctrl_set_no(%d,'%s','%s','%s')}", kind,
                   tw::SqlEscape(number).c_str(), tw::SqlEscape(code).c_str(), tw::SqlEscape(user.mcname).c_str());
  int32_t result = 0;
  if (!tw::pda::CallIntProcedure(slot.slot(), sql.c_str(), &result) || result == tw::pda::kProcFailed) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields(reply).Int("ReturnValue", result).Int("iKind", kind).Str("cNo", number).Str("cCtrlCode", code);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

void OnPdaRecPromptQuery(const CRequest& rq) {
  const int32_t step = tw::JsonGetInt("iqType", rq.body, 0);
  char number[kNumberMax + 1];
  tw::JsonGetString("cqNum", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(number) <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t icid = tw::JsonGetInt("iqcID", rq.body, 0);
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  const std::string num = tw::SqlEscape(number);
  const char* flag = PromptFlag(step);
  // The flag and UNION are kept apart by a blank; the list is ordered by the prompts' dates.
  std::string sql = "SELECT cmark,cmemo,cinput,ddate,0 FROM dorvane.dbo.client_rec_prompt WHERE cnum='" + num + "'" +
                    flag + " UNION SELECT cmark,cmemo,'',ddate,icid FROM dorvane.dbo.client_rec_promptc WHERE cnum='" +
                    num + "'" + flag;
  if (icid > 0) sql += " AND icid=" + std::to_string(icid);
  sql += " ORDER BY 4";

  DbStatement st(slot.dbc());
  if (!IsGbkText(number) || !st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
    WriteCode(rq.pCtxt, IsGbkText(number) ? kRcDbFailed : kRcNotFound);
    return;
  }
  DbText<15> mark = "";
  DbText<254> memo = "";
  DbText<32> input = "";
  DbText<31> date = "";
  int32_t rowIcid = 0;
  DbColumns(st).Text(mark).Text(memo).Text(input).Text(date).Int(rowIcid);

  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.Printf("{\"ReturnValue\":1,\"iqType\":%d,", step);
  CJsonFields(reply).Str("cqNum", number).Int("iqcID", icid);
  reply.Append(",\"RecList\":[");
  int32_t count = 0;
  SQLRETURN rc;
  while (DbOk(rc = st.Fetch())) {
    reply.Append(count == 0 ? "{" : ",{");
    CJsonFields(reply)
        .Str("dDate", tw::pda::FormatSecondText(date).text)
        .Str("cMark", mark)
        .Str("cMemo", memo)
        .Str("cInput", input)
        .Int("icID", rowIcid);
    reply.AppendChar('}');
    ++count;
  }
  SendRecList(rq.pCtxt, reply, rc, count);
}

void OnPdaUserInfo(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  const std::string sql = StringPrintf(kUserInfoSql, tw::SqlEscape(user.mcname).c_str());
  DbStatement st(slot.dbc());
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  // Missing or NULL right bytes read as 0: the buffers start zeroed, and a short value leaves the
  // rest zero.
  unsigned char right[kRightBytes] = {}, rightE[kRightBytes] = {}, rightI[kRightBytes] = {},
                roleRight[kRightBytes] = {};
  SQLLEN lengths[4] = {0, 0, 0, 0};
  DbText<15> stationT = "";
  st.BindBinary(1, right, sizeof right, &lengths[0]);
  st.BindBinary(2, rightE, sizeof rightE, &lengths[1]);
  st.BindBinary(3, rightI, sizeof rightI, &lengths[2]);
  st.BindText(4, stationT, sizeof stationT);
  st.BindBinary(5, roleRight, sizeof roleRight, &lengths[3]);
  if (!tw::pda::FetchRowOrReply(rq.pCtxt, st, kRcNotFound)) return;
  // A NULL or short value leaves bytes that were not sent: keep only those that came.
  unsigned char* fields[2] = {right, rightI};
  const SQLLEN fieldLengths[2] = {lengths[0], lengths[2]};
  for (int i = 0; i < 2; ++i) {
    const size_t got = fieldLengths[i] < 0 ? 0 : static_cast<size_t>(fieldLengths[i]);
    if (got < kRightBytes) std::memset(fields[i] + got, 0, kRightBytes - got);
  }

  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", kRcOk).Str("cUserName", user.mcname).Str("cUserPid", user.cpda);
  f.Str("cDepot", user.cdepot).Str("cStation", user.mcstation).Str("cStationt", stationT);
  for (const RightFlag& flag : kRightFlags) {
    const unsigned char* bytes = flag.field == kMvRight ? right : rightI;
    f.Bool(flag.key, ((bytes[flag.byte] >> flag.bit) & 1) != 0);
  }
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
