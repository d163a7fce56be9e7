// Transfer bags and the client's shipment data: "RecTransBagSet" packs a client's announced transfer
// records into one outgoing shipment (the bag) with the shipment's receiver, sender and goods data;
// "RecDataRG" reads back the receiver and goods data of one of the client's shipment records.
//
// DoApi runs "RecTransBagSet" under the transfer-bag lock, so two bags are never checked and stored
// at once; cp_rec_trans_bag_set claims the records itself as well, against every other writer.

#include <strings.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/db.h"
#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/client_codes.h"
#include "services/handlers.h"
#include "services/internal/client_read.h"
#include "services/internal/goods_rows.h"
#include "services/internal/replies.h"
#include "services/internal/transfer_bag.h"
#include "services/internal/transfer_record.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/outbuf.h"

namespace {

constexpr int kCents = 100;
constexpr int kRcBagBadNumber = MissingKeyCode(3);  // -14: "cNum" shorter than 7 characters
constexpr int kRcBagNoKind = MissingKeyCode(4);     // -15: "cEmsKind" empty
constexpr int kRcBagNoDestination = MissingKeyCode(5);  // -16: "cDes" empty
constexpr int kRcBagRecordsTaken = -4;
constexpr int kProcFailed = -9;
constexpr size_t kNumberMax = 30;

constexpr char kRecDataSql[] =
    "SELECT irid,cunitname,caddr,ccity,cpostcode,cprovince,ccountry,creceiver,cphone,nstate,fgoods,fgoodsc,cgoods,"
    "iquantity,iprice,cpacking,ctransnote,idvalue,iivalue,cmoney,cremail,crsms,cserviceno,crno,cnum,cgoodsa,cgcodea,"
    "cgcodeb,cgcodec,fgcustom,fgcrate,corigin FROM dorvane.dbo.client_rec WHERE icid=%d AND ";
constexpr char kRecGoodsSql[] =
    "SELECT cgoods,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate FROM "
    "dorvane.dbo.client_rec_goods WHERE irid=%d ORDER BY wpos";

struct RecDataRow {
  int32_t irid = 0;
  DbText<254> cunitname = "";
  DbText<254> caddr = "";
  DbText<126> ccity = "";
  DbText<15> cpostcode = "";
  DbText<63> cprovince = "";
  DbText<126> ccountry = "";
  DbText<63> creceiver = "";
  DbText<63> cphone = "";
  int32_t nstate = 0;
  double fgoods = 0;
  double fgoodsc = 0;
  DbText<254> cgoods = "";
  int32_t iquantity = 0;
  int64_t iprice = 0;
  DbText<15> cpacking = "";
  DbText<63> ctransnote = "";
  int64_t idvalue = 0;
  int64_t iivalue = 0;
  DbText<3> cmoney = "";
  DbText<63> cremail = "";
  DbText<22> crsms = "";
  DbText<30> cserviceno = "";
  DbText<30> crno = "";
  DbText<30> cnum = "";
  DbText<254> cgoodsa = "";
  DbText<63> cgcodea = "";
  DbText<63> cgcodeb = "";
  DbText<63> cgcodec = "";
  double fgcustom = 0;
  double fgcrate = 0;
  DbText<3> corigin = "";
};

// Removes one number equal to `number` (compared as the database compares them, without case) from
// the list. Returns true when one was there.
bool RemoveOne(std::vector<std::string>& numbers, const char* number) {
  for (auto it = numbers.begin(); it != numbers.end(); ++it) {
    if (strcasecmp(it->c_str(), number) == 0) {
      numbers.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace

namespace tw::services {

void OnRecTransBagSet(const CRequest& rq) {
  const std::string_view text(rq.body != nullptr ? rq.body : "");
  const int32_t icid = tw::JsonGetInt("icID", text, 0);
  if (icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  std::vector<std::string> numbers = tw::entry::ReadTransferNumbers(text);
  if (numbers.empty() || numbers.size() > tw::entry::kBagRecordsMax) {
    WriteCode(rq.pCtxt, kRcNoBatchList);
    return;
  }
  tw::entry::TransferBag bag;
  tw::entry::ReadTransferBag(text, bag);
  if (std::strlen(bag.cNum) < tw::entry::kBagNumberMin) {
    WriteCode(rq.pCtxt, kRcBagBadNumber);
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& s = slot.slot();

  // Numbers that are not GBK name no stored record: they stay among the remaining ones.
  std::vector<std::string> searched;
  for (const std::string& n : numbers) {
    if (IsGbkText(n.c_str())) searched.push_back(n);
  }
  std::vector<int32_t> ids;
  if (!searched.empty()) {
    const std::string sql = tw::entry::BuildBagCheckSql(icid, searched);
    DbStatement st(s.hDbc);
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    int32_t iid = 0;
    DbText<30> number = "";
    DbColumns(st).Int(iid).Text(number);
    SQLRETURN rc;
    while (DbOk(rc = st.Fetch())) {
      if (RemoveOne(numbers, number)) ids.push_back(iid);
    }
    if (rc != SQL_NO_DATA) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }

  tw::OutBuf reply(s.szReply, kReplyBytes);
  if (!numbers.empty()) {
    // Not the client's, already in a bag, or listed twice: nothing is stored.
    reply.Printf("{\"ReturnValue\":%d,", kRcBagRecordsTaken);
    tw::JsonPutString(reply, "cNum", bag.cNum, true);
    reply.Printf("\"Error\":%d,\"TransNums\":[", static_cast<int>(numbers.size()));
    for (size_t i = 0; i < numbers.size(); ++i) {
      if (i > 0) reply.AppendChar(',');
      reply.AppendChar('"');
      tw::JsonEscapeUtf8(numbers[i].c_str(), reply, tw::kCodePageGbk, false);
      reply.AppendChar('"');
    }
    reply.Append("]}");
    WriteJsonReply(rq.pCtxt, reply.data(), reply.size());
    return;
  }

  if (bag.cEmsKind[0] == '\0') {
    WriteCode(rq.pCtxt, kRcBagNoKind);
    return;
  }
  if (bag.cDes[0] == '\0') {
    WriteCode(rq.pCtxt, kRcBagNoDestination);
    return;
  }
  const std::string call = tw::entry::BuildBagSetCall(bag, icid, ids, rq.address, tw::entry::LocalTimeText().c_str());
  int32_t result = 0;
  {
    DbStatement st(s.hDbc);
    if (!st.ok()) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    st.BindOutInt(1, &result);
    if (!DbOk(st.ExecDirect(call.c_str()))) {
      WriteLog(st.Diagnostic().c_str(), "TRANSDATA");
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }
  if (result == kProcFailed) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  reply.Printf("{\"ReturnValue\":%d,", result);
  tw::JsonPutString(reply, "cNum", bag.cNum, false);
  reply.AppendChar('}');
  WriteJsonReply(rq.pCtxt, reply.data(), reply.size());
}

void OnRecDataRG(const CRequest& rq) {
  int32_t icid = 0, irid = 0;
  char number[kNumberMax + 1];
  PoolSlotGuard slot(-1);
  if (!tw::entry::OpenRecordRead(rq.pCtxt, rq.body != nullptr ? rq.body : "", "irID", kNumberMax, 1, &icid, &irid,
                                 number, slot)) {
    return;
  }
  PoolSlot& s = slot.slot();
  tw::OutBuf sql(s.szSql, kSqlBytes);
  sql.Printf(kRecDataSql, icid);
  tw::entry::AppendRecordKey(sql, "irid", "cnum", irid, number);
  RecDataRow r;
  const int read = tw::entry::ReadOneRow(s, sql, [&r](DbStatement& st) {
    DbColumns b(st);
    b.Int(r.irid).Text(r.cunitname).Text(r.caddr).Text(r.ccity).Text(r.cpostcode).Text(r.cprovince);
    b.Text(r.ccountry).Text(r.creceiver).Text(r.cphone).Int(r.nstate).Double(r.fgoods).Double(r.fgoodsc);
    b.Text(r.cgoods).Int(r.iquantity).Int64(r.iprice).Text(r.cpacking).Text(r.ctransnote).Int64(r.idvalue);
    b.Int64(r.iivalue).Text(r.cmoney).Text(r.cremail).Text(r.crsms).Text(r.cserviceno).Text(r.crno).Text(r.cnum);
    b.Text(r.cgoodsa).Text(r.cgcodea).Text(r.cgcodeb).Text(r.cgcodec).Double(r.fgcustom).Double(r.fgcrate);
    b.Text(r.corigin);
  });
  if (read != kRcOk) {
    WriteCode(rq.pCtxt, read);
    return;
  }

  tw::OutBuf reply = tw::OutBuf::Growable(s.szReply, kReplyBytes, kListReplyMaxBytes);
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", kRcOk).Int("icID", icid).Int("irID", r.irid);
  f.Str("cReceiver", r.creceiver).Str("cRUnit", r.cunitname).Str("cRAddr", r.caddr).Str("cRCity", r.ccity);
  f.Str("cRPostcode", r.cpostcode).Str("cRProvince", r.cprovince).Str("cRCountry", r.ccountry);
  f.Str("cRPhone", r.cphone).Str("cREMail", r.cremail).Str("cRSms", r.crsms);
  f.Str("cNum", r.cnum).Str("cNo", r.cserviceno).Str("cRNo", r.crno);
  f.Str("cGoods", r.cgoods).Int("iQuantity", r.iquantity).Real("fPrice", tw::Ratio64(r.iprice, kCents), 2);
  f.Real("fGoods", r.fgoods, 2).Real("fGoodsc", r.fgoodsc, 2);
  f.Real("fDValue", tw::Ratio64(r.idvalue, kCents), 2).Real("fIValue", tw::Ratio64(r.iivalue, kCents), 2);
  f.Str("cMoney", r.cmoney).Str("cOrigin", r.corigin);
  f.Str("cGoodsA", r.cgoodsa).Str("cGCodeA", r.cgcodea).Str("cGCodeB", r.cgcodeb).Str("cGCodeC", r.cgcodec);
  f.Real("fGCustom", r.fgcustom, 2).Real("fGCRate", r.fgcrate, 4);
  f.Str("cPacking", r.cpacking).Str("cTransNote", r.ctransnote);
  char goods[sizeof kRecGoodsSql + 16];
  if (FormatSql(goods, sizeof goods, kRecGoodsSql, r.irid)) tw::entry::PutGoodsList(reply, s, goods);
  reply.AppendChar('}');
  tw::entry::SendWholeReply(rq.pCtxt, reply);
}

}  // namespace tw::services
