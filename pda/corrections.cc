// Corrections of shipment records from the PDA: selected text fields overwritten ("pdaRecMod") and
// a shipment booked as returned, with its failed scans and, for a depot, the depot's handling
// ("pdaRecReturn"). Both find the record by its internal number or, with "bNo", its service number.

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
#include "pricing/depot_settings.h"
#include "pricing/ostrum_container.h"
#include "util/escape.h"
#include "util/json.h"

namespace {

constexpr char kLogCategory[] = "PDA";
constexpr size_t kNumberMax = 30;
constexpr size_t kDateMax = 30;
constexpr size_t kInfoMax = 254;
constexpr size_t kPlaceMax = 127;
constexpr size_t kCtrlCodeMax = 3;
constexpr size_t kDepotMax = 3;

// pdaRecMod: the station differs, the shipment was not delivered.
constexpr int kRcModStation = -14;
constexpr int kRcModNotDelivered = -15;
constexpr int32_t kStateNotDelivered = 3;
// pdaRecReturn: returned already, the station differs.
constexpr int kRcReturnedAlready = -13;
constexpr int kRcReturnStation = -15;
constexpr int kReturnYearMin = 2000;
// The depot operation whose fee and time a return booking carries.
constexpr int32_t kReturnOperation = 7;

// The editable columns of a shipment record, in the order of the UPDATE.
constexpr tw::pda::FieldMapping kRecordFields[] = {
    {"cNo", "cserviceno", 30},
    {"cRNo", "crno", 30},
    {"cCNo", "ccno", 30},
    {"cMark", "cmark", 15},
    {"cReserve", "creserve", 30},
    {"cBy1", "cby1", 63},
    {"cBy2", "cby2", 63},
    {"cBy3", "cby3", 63},
    {"cBy4", "cby4", 63},
    {"cBy5", "cby5", 254},
    {"cPacking", "cpacking", 15},
    {"cTransNote", "ctransnote", 63},
    {"cSender", "csender", 30},
    {"cSUnit", "csunitname", 127},
    {"cSAddr", "csaddr", 127},
    {"cSPhone", "csphone", 63},
    {"cSPostcode", "cspostcode", 15},
    {"cSCountry", "cscountry", 63},
    {"cSProvince", "csprovince", 30},
    {"cSCity", "cscity", 30},
    {"cSSms", "csmsnumber", 22},
    {"cSEMail", "csemail", 63},
    {"cDepart", "cdepart", 30},
};

// The condition that finds the record: its service number (newest first) or its internal number.
std::string RecordCondition(bool byServiceNumber, const char* number) {
  return std::string(byServiceNumber ? "a.cserviceno='" : "a.cnum='") + tw::SqlEscape(number) + "'";
}

constexpr char kModSql[] =
    "SELECT a.ddate,a.nstate,a.ifid,a.cnum,a.irid,a.cserviceno,b.cstation FROM dorvane.dbo.client_rec AS a INNER JOIN "
    "dorvane.dbo.client_arc AS b ON(a.icid=b.icid) WHERE ";

constexpr char kReturnSql[] =
    "SELECT a.icid,a.nitemtype,a.cemskind,a.cdes,a.fweight,a.famount,a.ddate,a.nstate,a.nfrom,a.piid,a.fweights,"
    "a.cnum,a.iitem,a.irid,a.cserviceno,a.cgoods,a.creturn,a.dreturn,b.cstation FROM dorvane.dbo.client_rec AS a "
    "INNER JOIN dorvane.dbo.client_arc AS b ON(a.icid=b.icid) WHERE ";

struct ReturnRow {
  int32_t icid = 0, nitemtype = 0;
  DbText<15> cemskind = "";
  DbText<63> cdes = "";
  double fweight = 0, famount = 0;
  DbText<31> ddate = "";
  int32_t nstate = 0, nfrom = 0, piid = 0;
  double fweights = 0;
  DbText<30> cnum = "";
  int32_t iitem = 0, irid = 0;
  DbText<30> cserviceno = "";
  DbText<254> cgoods = "";
  DbText<32> creturn = "";
  DbText<31> dreturn = "";
  DbText<15> cstation = "";
};

// The keys of a return.
struct ReturnRequest {
  char number[kNumberMax + 1] = "";
  double weight = 0;
  bool byServiceNumber = false;
  bool sysDate = false;
  char date[kDateMax + 1] = "";
  char info[kInfoMax + 1] = "", infoE[kInfoMax + 1] = "";
  char place[kPlaceMax + 1] = "", placeE[kPlaceMax + 1] = "";
  char ctrlCode[kCtrlCodeMax + 1] = "";
  char depot[kDepotMax + 1] = "";
};

// Records a scan that could not be carried out (its own failure is only logged: the refusal that
// caused it is answered either way).
void RecordScanError(PoolSlot& slot, const ReturnRequest& r, const PdaUser& user) {
  const std::string sql = StringPrintf(
      "{CALL dorvane.dbo.cp_check_scan_err_add('%s','%s','',4,'1900.1.1','','%s','%s','%s',%.3f,8,'%s',2,10)}",
      tw::SqlEscape(r.number).c_str(), tw::SqlEscape(user.mcstation).c_str(), tw::SqlEscape(r.date).c_str(),
      tw::SqlEscape(r.place).c_str(), tw::SqlEscape(r.info).c_str(), r.weight, tw::SqlEscape(user.mcname).c_str());
  DbStatement st(slot.hDbc);
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
    WriteLog(("failed scan not recorded: " + sql).c_str(), kLogCategory);
  }
}

// The depot's handling of the return: the check, then the booking of its kind. Returns the
// booking's id (0 when the depot books none), or -9 when a statement did not run.
int BookDepotReturn(PoolSlot& slot, const CDepotSettings& depot, const ReturnRow& rec, const char* depotCode,
                    const PdaUser& user) {
  int32_t rv = 0, n = 0;
  double amount = 0, weight = 0;
  {
    DbStatement st(slot.hDbc);
    if (!st.ok()) return kRcDbFailed;
    st.BindOutInt(1, &rv);
    st.BindOutInt(2, &n);
    st.BindOutDouble(3, &amount);
    st.BindOutDouble(4, &weight);
    const std::string sql = StringPrintf("{?=CALL dorvane.dbo.cp_pda_w_return_check(?,?,?,%d,%d,'%s')}", rec.irid,
                                         rec.icid, tw::SqlEscape(depotCode).c_str());
    if (!DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  }
  if (rv <= 0) return 0;
  // A depot that defines no return operation books it with empty texts and zeros.
  static const DepotOperation kNoOperation;
  const DepotOperation* op = depot.FindOperation(kReturnOperation);
  if (op == nullptr) op = &kNoOperation;
  const std::string sql = StringPrintf(
      "{?=CALL dorvane.dbo.cp_w_return_%s('%s',%d,%d,%d,%.3f,'%s',%.2f,0,0,0,0,0,%d,'%s','%s','%s','%s','%s',%d,%d,"
      "%.2f)}",
      n > 0 ? "o" : "e", tw::SqlEscape(depotCode).c_str(), rec.irid, rec.icid, n, weight,
      tw::SqlEscape(GetWarehouseOperationName(kReturnOperation)).c_str(), amount, tw::pda::TodayNumber(),
      tw::SqlEscape(op->cname).c_str(), tw::SqlEscape(op->cnamee).c_str(), tw::SqlEscape(op->cpoint).c_str(),
      tw::SqlEscape(op->cmoney).c_str(), tw::SqlEscape(user.mcname).c_str(), op->ngrade, op->iseconds, op->fwage);
  int32_t booked = 0;
  if (!tw::pda::CallIntProcedure(slot, sql.c_str(), &booked)) return kRcDbFailed;
  return booked > 0 ? booked : 0;
}

}  // namespace

namespace tw::pda {

void OnPdaRecMod(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  char number[kNumberMax + 1];
  tw::JsonGetString("cNum", rq.body, number, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(number) <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t icid = tw::JsonGetInt("icID", rq.body, 0);
  const bool byServiceNumber = tw::JsonGetBool("bNo", rq.body, 0) != 0;
  const bool notDelivered = tw::JsonGetBool("bNotDelivered", rq.body, 0) != 0;
  const int given = tw::pda::CountGivenFields(kRecordFields, rq.body);
  if (given == 0) {
    WriteCode(rq.pCtxt, MissingKeyCode(2));
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  if (!IsGbkText(number)) {
    WriteCode(rq.pCtxt, tw::pda::kRcNoRecord);  // a text the database could not read names no record
    return;
  }
  std::string sql = kModSql + RecordCondition(byServiceNumber, number);
  if (icid > 0) sql += " AND a.icid=" + std::to_string(icid);
  sql += " ORDER BY a.irid DESC LIMIT 1";
  DbText<31> ddate = "";
  int32_t nstate = 0, ifid = 0, irid = 0;
  DbText<30> cnum = "", cserviceno = "";
  DbText<15> station = "";
  {
    DbStatement st(slot.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbColumns(st).Text(ddate).Int(nstate).Int(ifid).Text(cnum).Int(irid).Text(cserviceno).Text(station);
    if (!tw::pda::FetchRowOrReply(rq.pCtxt, st, tw::pda::kRcNoRecord)) return;
  }
  if (tw::pda::StationDiffers(user, station)) {
    WriteCode(rq.pCtxt, kRcModStation);
    return;
  }
  if (notDelivered && nstate == kStateNotDelivered) {
    WriteCode(rq.pCtxt, kRcModNotDelivered);
    return;
  }
  const std::string update =
      tw::pda::BuildFieldUpdate("dorvane.dbo.client_rec", kRecordFields, rq.body, user.mcname, "irid", irid);
  // Not run (a service number another record has, say): "-9"; the record went away: "-2".
  if (!tw::pda::RunUpdateOrReply(rq.pCtxt, slot.slot(), update.c_str())) return;
  // The numbers as they were before the change.
  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields(reply)
      .Int("ReturnValue", irid)
      .Int("irID", irid)
      .Str("cNum", cnum)
      .Str("cNo", cserviceno)
      .Int("nState", nstate)
      .Int("iUpdate", given);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

void OnPdaRecReturn(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  ReturnRequest r;
  tw::JsonGetString("cNum", rq.body, r.number, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(r.number) <= tw::pda::kShortNumberMax) {
    WriteCode(rq.pCtxt, MissingKeyCode(1));
    return;
  }
  r.weight = tw::JsonGetDouble("fWeight", rq.body, 0);
  r.byServiceNumber = tw::JsonGetBool("bNo", rq.body, 0) != 0;
  r.sysDate = tw::JsonGetBool("bSysDate", rq.body, 0) != 0;
  tw::JsonGetString("cDate", rq.body, r.date, kDateMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cInfo", rq.body, r.info, kInfoMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cInfoE", rq.body, r.infoE, kInfoMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cPlace", rq.body, r.place, kPlaceMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cPlaceE", rq.body, r.placeE, kPlaceMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cCtrlCode", rq.body, r.ctrlCode, kCtrlCodeMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cDepot", rq.body, r.depot, kDepotMax, tw::kJsonModeCodePage);
  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& slot = guard.slot();

  // The record and the outcome of the checks.
  ReturnRow rec;
  int outcome = 1;
  if (!IsGbkText(r.number)) {
    outcome = tw::pda::kRcNoRecord;
  } else {
    std::string sql = kReturnSql + RecordCondition(r.byServiceNumber, r.number) + " ORDER BY a.irid DESC LIMIT 1";
    DbStatement st(slot.hDbc);
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
      outcome = kRcDbFailed;
    } else {
      DbColumns b(st);
      b.Int(rec.icid).Int(rec.nitemtype).Text(rec.cemskind).Text(rec.cdes).Double(rec.fweight).Double(rec.famount);
      b.Text(rec.ddate).Int(rec.nstate).Int(rec.nfrom).Int(rec.piid).Double(rec.fweights).Text(rec.cnum);
      b.Int(rec.iitem).Int(rec.irid).Text(rec.cserviceno).Text(rec.cgoods).Text(rec.creturn).Text(rec.dreturn);
      b.Text(rec.cstation);
      const SQLRETURN rc = st.Fetch();
      if (rc == SQL_NO_DATA) {
        outcome = tw::pda::kRcNoRecord;
      } else if (!DbOk(rc)) {
        outcome = kRcDbFailed;
      } else if (rec.dreturn[0] != '\0' && tw::pda::DateYear(rec.dreturn) >= kReturnYearMin) {
        outcome = kRcReturnedAlready;
      } else if (tw::pda::StationDiffers(user, rec.cstation)) {
        outcome = kRcReturnStation;
      }
    }
  }
  if (outcome < 0) {
    RecordScanError(slot, r, user);
    WriteCode(rq.pCtxt, outcome);
    return;
  }

  // A depot that does not exist is refused before anything is stored.
  const CDepotSettings* depot = nullptr;
  if (r.depot[0] != '\0') {
    depot = g_OstrumContainer.LoadDepotSettings(r.depot, slot.hDbc);
    if (depot == nullptr) {
      WriteCode(rq.pCtxt, kRcDepotNotFound);
      return;
    }
  }

  // The return and its depot booking are one change: both are stored or neither.
  DbTransaction tx(slot.hDbc);
  if (!tx.ok()) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  const std::string sql =
      StringPrintf("{?=CALL dorvane.dbo.cp_pda_return_add(%d,'%s','%s',%s,'%s','%s','%s','%s','%s','%s','%s',%.3f)}",
                   rec.irid, tw::SqlEscape(r.number).c_str(), tw::SqlEscape(r.ctrlCode).c_str(), r.sysDate ? "1" : "0",
                   tw::SqlEscape(user.mcstation).c_str(), tw::SqlEscape(r.date).c_str(), tw::SqlEscape(r.place).c_str(),
                   tw::SqlEscape(r.info).c_str(), tw::SqlEscape(r.placeE).c_str(), tw::SqlEscape(r.infoE).c_str(),
                   tw::SqlEscape(user.mcname).c_str(), r.weight);
  int32_t result = 0;
  if (!tw::pda::CallIntProcedure(slot, sql.c_str(), &result)) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  if (result == kRcReturnedAlready) {
    // Another PDA returned it since the record was read: the same refusal as above.
    (void)tx.Commit();
    RecordScanError(slot, r, user);
    WriteCode(rq.pCtxt, kRcReturnedAlready);
    return;
  }
  if (result < 1) {
    tw::pda::WriteHandlerRefusal(rq.pCtxt, slot, r.number,
                                 result == tw::pda::kRcNoRecord ? tw::pda::kMessNoRecord : tw::pda::kMessSystemError);
    return;
  }
  int booked = 0;
  if (depot != nullptr) {
    booked = BookDepotReturn(slot, *depot, rec, r.depot, user);
    if (booked < 0) {
      WriteCode(rq.pCtxt, kRcDbFailed);  // the return is rolled back with it
      return;
    }
  }
  if (!tx.Commit()) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }

  tw::OutBuf reply = tw::pda::OpenReply(slot);
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", result).Int("irID", rec.irid).Int("ioID", booked).Str("cDepot", r.depot);
  f.Str("cNum", rec.cnum).Str("cNo", rec.cserviceno).Str("cDes", rec.cdes).Str("cEmsKind", rec.cemskind);
  f.Str("cGoods", rec.cgoods).Real("fWeight", rec.fweight, 3).Real("fWeights", rec.fweights, 3);
  f.Int("nItemType", rec.nitemtype).Int("iItem", rec.iitem).Real("fAmount", rec.famount, 2);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
