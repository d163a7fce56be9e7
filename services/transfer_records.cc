// The client's transfer records: parcels it announces for forwarding before they reach the depot.
// "RecTransSet" stores a batch of them (new or changed, each with its goods lines), "RecTransDel"
// withdraws a list of them, "RecTransData" reads one with its goods lines and "RecTransList" answers
// a page of them. A record that is in a bag or already a shipment record can no longer be changed
// or withdrawn (cp_rec_trans_set and cp_rec_trans_del decide).

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
#include "services/internal/pre_input_batch.h"
#include "services/internal/pre_input_record.h"
#include "services/internal/replies.h"
#include "services/internal/transfer_record.h"
#include "services/shipment_entry.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/outbuf.h"

namespace {

constexpr char kLogCategory[] = "TRANSDATA";
constexpr int kCents = 100;
// A record already turned into a shipment record is not shown.
constexpr int kRcConverted = -6;
// Receipts before this year are placeholders of the depot: no receipt.
constexpr int kFirstReceiptYear = 2001;
constexpr size_t kKindFilterMax = 15;
constexpr size_t kMarkFilterMax = 15;
constexpr size_t kNumberFilterMax = 30;
constexpr size_t kBoolFilterMax = 15;

// Results of cp_rec_trans_set and cp_rec_trans_del.
constexpr int kProcDuplicateNumber = -1;
constexpr int kProcNotFound = -2;
constexpr int kProcTaken = -4;
constexpr int kProcFailed = -9;

constexpr char kMessBadNumber[] = "运单号不合法(4-30字符)";
constexpr char kMessNoStatement[] = "系统忙";
constexpr char kMessNotRun[] = "系统未执行(-8)";
constexpr char kMessSetTaken[] = "记录已经处理(-4)。";
constexpr char kMessSetNotFound[] = "记录不存在(-2)。";
constexpr char kMessSetDuplicate[] = "同样内单号的记录已经存在(-1)。";
constexpr char kMessSetFailed[] = "系统执行错误(-9)。";
constexpr char kMessDelTaken[] = "记录已经处理。";
constexpr char kMessDelNotFound[] = "记录不存在。";
constexpr char kMessDelFailed[] = "处理失败。";

constexpr char kDelCallSql[] = "{?=CALL dorvane.dbo.cp_rec_trans_del(%d,%d)}";

#define TW_TRANSFER_COLUMNS                                                                                  \
  "iid,irid,nitemtype,fweight,famount,nstate,cmemo,iitem,fgoods,fgoodsc,cgoods,iquantity,iprice,cpacking,"    \
  "ctransnote,idvalue,iivalue,cmoney,cpaydir,cf_emskind,cmark,nopen,cstationc,nex1,nex2,nex3,cex1,cex2,cex3," \
  "isplite,iidori,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate,biid,cf_num,cshelf,crname,drdate,ddate"
constexpr char kDataSql[] =
    "SELECT " TW_TRANSFER_COLUMNS ",cstationc,cstationr FROM dorvane.dbo.rec_trans WHERE icid=%d AND ";
constexpr char kListColumns[] = " " TW_TRANSFER_COLUMNS;
#undef TW_TRANSFER_COLUMNS
constexpr char kListBase[] = " FROM dorvane.dbo.rec_trans WHERE icid=%d";
constexpr char kListOrder[] = " ORDER BY iid DESC";
constexpr char kGoodsSql[] =
    "SELECT cgoods,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate FROM "
    "dorvane.dbo.rec_trans_goods WHERE iid=%d ORDER BY wpos";

// One rec_trans row as both reading requests select it.
struct TransferRow {
  int32_t iid = 0;
  int32_t irid = 0;
  int32_t nitemtype = 0;
  double fweight = 0;
  double famount = 0;
  int32_t nstate = 0;
  DbText<254> cmemo = "";
  int32_t iitem = 0;
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
  DbText<3> cpaydir = "";
  DbText<15> cf_emskind = "";
  DbText<15> cmark = "";
  int32_t nopen = 0;
  DbText<15> cstationc = "";
  int32_t nex1 = 0;
  int32_t nex2 = 0;
  int32_t nex3 = 0;
  DbText<63> cex1 = "";
  DbText<63> cex2 = "";
  DbText<254> cex3 = "";
  int32_t isplite = 0;
  int32_t iidori = 0;
  DbText<254> cgoodsa = "";
  DbText<63> cgcodea = "";
  DbText<63> cgcodeb = "";
  DbText<63> cgcodec = "";
  double fgcustom = 0;
  double fgcrate = 0;
  int32_t biid = 0;
  DbText<30> cf_num = "";
  DbText<30> cshelf = "";
  DbText<63> crname = "";
  DbText<31> drdate = "";
  DbText<31> ddate = "";
  DbText<15> cstationc2 = "";  // "RecTransData" only
  DbText<15> cstationr = "";   // "RecTransData" only
};

enum class TransferForm { kData, kList };

void BindTransfer(DbStatement& st, TransferRow& r, TransferForm form) {
  DbColumns b(st);
  b.Int(r.iid).Int(r.irid).Int(r.nitemtype).Double(r.fweight).Double(r.famount).Int(r.nstate).Text(r.cmemo);
  b.Int(r.iitem).Double(r.fgoods).Double(r.fgoodsc).Text(r.cgoods).Int(r.iquantity).Int64(r.iprice);
  b.Text(r.cpacking).Text(r.ctransnote).Int64(r.idvalue).Int64(r.iivalue).Text(r.cmoney).Text(r.cpaydir);
  b.Text(r.cf_emskind).Text(r.cmark).Int(r.nopen).Text(r.cstationc).Int(r.nex1).Int(r.nex2).Int(r.nex3);
  b.Text(r.cex1).Text(r.cex2).Text(r.cex3).Int(r.isplite).Int(r.iidori).Text(r.cgoodsa).Text(r.cgcodea);
  b.Text(r.cgcodeb).Text(r.cgcodec).Double(r.fgcustom).Double(r.fgcrate).Int(r.biid).Text(r.cf_num);
  b.Text(r.cshelf).Text(r.crname).Text(r.drdate).Text(r.ddate);
  if (form == TransferForm::kData) b.Text(r.cstationc2).Text(r.cstationr);
}

// The receipt of a row: its date and the receiver's name, both empty without a real receipt.
struct Receipt {
  char date[kReplyDateSize] = "";
  const char* name = "";
  explicit Receipt(const TransferRow& r) {
    FormatReplyDate(r.drdate, true, date);
    if (date[0] == '\0' || std::atoi(date) < kFirstReceiptYear) {
      date[0] = '\0';
    } else {
      name = r.crname;
    }
  }
};

// The keys both reading requests answer from "fWeight" to "cTransNote".
void PutTransferTail(CJsonFields& f, const TransferRow& r) {
  f.Real("fWeight", r.fweight, 3).Int("iItem", r.iitem).Real("fAmount", r.famount, 2);
  f.Str("cMark", r.cmark).Str("cMemo", r.cmemo);
  f.Int("nEx1", r.nex1).Int("nEx2", r.nex2).Int("nEx3", r.nex3);
  f.Str("cEx1", r.cex1).Str("cEx2", r.cex2).Str("cEx3", r.cex3);
  f.Str("cGoods", r.cgoods).Int("iQuantity", r.iquantity).Real("fPrice", tw::Ratio64(r.iprice, kCents), 2);
  f.Real("fGoods", r.fgoods, 2).Real("fGoodsc", r.fgoodsc, 2);
  f.Real("fDValue", tw::Ratio64(r.idvalue, kCents), 2).Real("fIValue", tw::Ratio64(r.iivalue, kCents), 2);
  f.Str("cMoney", r.cmoney).Str("cPayDir", r.cpaydir);
  f.Str("cGoodsA", r.cgoodsa).Str("cGCodeA", r.cgcodea).Str("cGCodeB", r.cgcodeb).Str("cGCodeC", r.cgcodec);
  f.Real("fGCustom", r.fgcustom, 2).Real("fGCRate", r.fgcrate, 4);
  f.Str("cPacking", r.cpacking).Str("cTransNote", r.ctransnote);
}

class CTransferListRows : public CListRows {
 public:
  void Bind(DbStatement& st) override { BindTransfer(st, row_, TransferForm::kList); }
  void Put(tw::OutBuf& out) override {
    const TransferRow& r = row_;
    char date[kReplyDateSize];
    FormatReplyDate(r.ddate, true, date);
    const Receipt receipt(r);
    out.AppendChar('{');
    CJsonFields f(out);
    f.Int("iID", r.iid).Int("ibID", r.biid).Int("irID", r.irid).Int("nItemType", r.nitemtype).Int("nOpen", r.nopen);
    f.Str("dDate", date).Str("cNum", r.cf_num).Str("cEmsKind", r.cf_emskind).Str("cShelf", r.cshelf);
    f.Str("dDate_r", receipt.date).Str("cName_r", receipt.name);
    PutTransferTail(f, r);
    out.AppendChar('}');
  }

 private:
  TransferRow row_;
};

const char* SetRefusal(int result) {
  switch (result) {
    case kProcTaken:
      return kMessSetTaken;
    case kProcNotFound:
      return kMessSetNotFound;
    case kProcDuplicateNumber:
      return kMessSetDuplicate;
    default:
      return kMessSetFailed;
  }
}

}  // namespace

namespace tw::services {

int SaveTransferRecord(PoolSlot& slot, int32_t clientId, std::string_view record, ShipmentEntryResult& result,
                       const unsigned char* address) {
  WriteLog(std::string(record).c_str(), kLogCategory);
  tw::entry::TransferRecord r;
  tw::entry::ReadTransferRecord(record, r);
  result.iID = r.iID;
  tw::entry::CopyText(result.cNum, r.cNum);
  if (std::strlen(r.cNum) < tw::entry::kTransferNumberMin) {
    tw::entry::CopyText(result.cMess, kMessBadNumber);
    return -1;
  }

  const tw::entry::GoodsListText list = tw::entry::FindGoodsList(record);
  if (!list.list.empty()) WriteLog(std::string(list.list).c_str(), kLogCategory);
  for (std::string_view object : list.objects) {
    WriteLog(std::string(object).c_str(), kLogCategory);
    GoodsLine line;
    if (!tw::entry::ReadGoodsLine(object, line)) break;  // this line and the ones after it are dropped
    r.goods.push_back(line);
  }
  tw::entry::FoldTransferGoods(r);
  tw::entry::NormalizeTransferRecord(r);

  const std::string call = tw::entry::BuildTransferSetCall(r, clientId, address, tw::entry::LocalTimeText().c_str());
  int32_t stored = 0;
  {
    DbStatement st(slot.hDbc);
    if (!st.ok()) {
      tw::entry::CopyText(result.cMess, kMessNoStatement);
      return kProcFailed;
    }
    st.BindOutInt(1, &stored);
    if (!DbOk(st.ExecDirect(call.c_str()))) {
      WriteLog(st.Diagnostic().c_str(), kLogCategory);
      tw::entry::CopyText(result.cMess, kMessNotRun);
      return kProcFailed;
    }
  }
  if (stored < 1) {
    tw::entry::CopyText(result.cMess, SetRefusal(stored));
    return stored;
  }
  result.iID = stored;

  // One line lives in the record itself; several are stored as rows (the old ones were removed).
  if (r.goods.size() > 1) {
    const std::string insert = tw::entry::BuildGoodsInsert(r.goods, stored, tw::entry::kTransferGoodsTable);
    DbStatement st(slot.hDbc);
    if (!st.ok() || !DbOk(st.ExecDirect(insert.c_str()))) {
      const std::string line = "*FAIL*goods:" + std::to_string(stored) + "," + (st.ok() ? st.Diagnostic() : "");
      WriteLog(line.c_str(), kLogCategory);
    }
  }
  return stored;
}

void OnRecTransSet(const CRequest& rq) {
  const std::string_view text(rq.body != nullptr ? rq.body : "");
  const int32_t icid = tw::JsonGetInt("icID", text, 0);
  if (icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  const char* list = tw::JsonFindKey("RecList", text);
  std::vector<std::string_view> records;
  if (list == nullptr ||
      !tw::entry::CutRecordObjects(text.substr(static_cast<size_t>(list - text.data())), tw::entry::kBatchRecordsMax,
                                   records)) {
    WriteCode(rq.pCtxt, kRcNoBatchList);
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }

  std::vector<ShipmentEntryResult> results(records.size());
  int32_t stored = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    results[i].iIndex = static_cast<int32_t>(i);
    if (SaveTransferRecord(slot.slot(), icid, records[i], results[i], rq.address) > 0) ++stored;
  }

  tw::OutBuf reply = tw::entry::BatchReplyBuffer(slot.slot());
  CBatchReply batch(reply, static_cast<int32_t>(records.size()), stored);
  for (const ShipmentEntryResult& r : results) {
    batch.BeginEntry(r.iIndex).Int("iID", r.iID).StrWide("cNum", r.cNum).StrWide("cMess", r.cMess);
    batch.EndEntry();
  }
  tw::entry::SendBatchReply(rq.pCtxt, reply, batch);
}

void OnRecTransDel(const CRequest& rq) {
  int32_t icid = 0;
  std::vector<int32_t> ids;
  PoolSlotGuard slot(-1);
  if (!tw::entry::OpenWithdrawal(rq.pCtxt, rq.body != nullptr ? rq.body : "", &icid, ids, slot)) return;

  struct Failure {
    int32_t index;
    int32_t id;
    const char* message;
  };
  std::vector<Failure> failures;
  for (size_t i = 0; i < ids.size(); ++i) {
    int32_t result = 0;
    if (!tw::entry::CallWithdraw(slot.slot(), kDelCallSql, ids[i], icid, &result)) {
      WriteCode(rq.pCtxt, kRcDbFailed);  // the records withdrawn before this one stay withdrawn
      return;
    }
    if (result < 0) {
      const char* message = result == kProcTaken      ? kMessDelTaken
                            : result == kProcNotFound ? kMessDelNotFound
                                                      : kMessDelFailed;
      failures.push_back({static_cast<int32_t>(i), ids[i], message});
    }
  }

  tw::OutBuf reply = tw::entry::BatchReplyBuffer(slot.slot());
  CBatchReply batch(reply, static_cast<int32_t>(ids.size()), static_cast<int32_t>(ids.size() - failures.size()));
  for (const Failure& f : failures) {
    batch.BeginEntry(f.index).Int("iID", f.id).StrWide("cMess", f.message);
    batch.EndEntry();
  }
  tw::entry::SendBatchReply(rq.pCtxt, reply, batch);
}

void OnRecTransData(const CRequest& rq) {
  int32_t icid = 0, iid = 0;
  char number[tw::entry::kTransferNumberMax + 1];
  PoolSlotGuard slot(-1);
  if (!tw::entry::OpenRecordRead(rq.pCtxt, rq.body != nullptr ? rq.body : "", "iID", tw::entry::kTransferNumberMax,
                                 tw::entry::kTransferNumberMin, &icid, &iid, number, slot)) {
    return;
  }
  PoolSlot& s = slot.slot();
  tw::OutBuf sql(s.szSql, kSqlBytes);
  sql.Printf(kDataSql, icid);
  tw::entry::AppendRecordKey(sql, "iid", "cf_num", iid, number);
  TransferRow r;
  const int read = tw::entry::ReadOneRow(s, sql, [&r](DbStatement& st) { BindTransfer(st, r, TransferForm::kData); });
  if (read != kRcOk) {
    WriteCode(rq.pCtxt, read);
    return;
  }
  if (r.irid > 0) {
    WriteCode(rq.pCtxt, kRcConverted);
    return;
  }

  char date[kReplyDateSize];
  FormatReplyDate(r.ddate, true, date);
  const Receipt receipt(r);
  tw::OutBuf reply = tw::OutBuf::Growable(s.szReply, kReplyBytes, kListReplyMaxBytes);
  reply.AppendChar('{');
  CJsonFields f(reply);
  f.Int("ReturnValue", kRcOk).Int("icID", icid).Int("iID", r.iid).Int("ibID", r.biid).Int("irID", r.irid);
  f.Int("nItemType", r.nitemtype).Int("nOpen", r.nopen);
  f.Str("dDate", date).Str("cNum", r.cf_num).Str("cEmsKind", r.cf_emskind).Str("cStationc", r.cstationc);
  f.Str("cStationr", r.cstationr).Str("cShelf", r.cshelf).Str("dDate_r", receipt.date).Str("cName_r", receipt.name);
  PutTransferTail(f, r);
  char goods[sizeof kGoodsSql + 16];
  if (FormatSql(goods, sizeof goods, kGoodsSql, r.iid)) tw::entry::PutGoodsList(reply, s, goods);
  reply.AppendChar('}');
  tw::entry::SendWholeReply(rq.pCtxt, reply);
}

void OnRecTransList(const CRequest& rq) {
  int32_t icid = 0;
  PoolSlotGuard slot(-1);
  if (!tw::entry::OpenClientRead(rq.pCtxt, rq.body, kRcBadClientId, &icid, slot)) return;
  const PagingKeys keys = ReadPagingKeys(rq.body);
  PoolSlot& s = slot.slot();

  char number[kNumberFilterMax + 1], mark[kMarkFilterMax + 1], kind[kKindFilterMax + 1];
  char received[kBoolFilterMax + 1], bagged[kBoolFilterMax + 1], sent[kBoolFilterMax + 1];
  tw::JsonGetString("cqNum", rq.body, number, kNumberFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqMark", rq.body, mark, kMarkFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqEmsKind", rq.body, kind, kKindFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("bqReceived", rq.body, received, kBoolFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("bqBagged", rq.body, bagged, kBoolFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("bqSent", rq.body, sent, kBoolFilterMax, tw::kJsonModeCodePage);

  CListFilter filter(s.szWork, kWorkBytes);
  filter.Base(kListBase, icid);
  FilterDate begin, end;
  filter.ReadDateRange(rq.body, "ddate", begin, end);
  filter.AddLike("cf_num", number);
  filter.AddLike("cmark", mark);
  filter.AddEqual("cf_emskind", kind);
  // Each state filter acts only on the exact texts "true" and "false".
  const struct {
    const char* value;
    const char* ifTrue;
    const char* ifFalse;
  } states[] = {{received, " AND crname<>''", " AND crname=''"},
                {bagged, " AND biid>0", " AND biid=0"},
                {sent, " AND irid>0", " AND irid=0"}};
  for (const auto& state : states) {
    if (std::strcmp(state.value, "true") == 0) {
      filter.Add("%s", state.ifTrue);
    } else if (std::strcmp(state.value, "false") == 0) {
      filter.Add("%s", state.ifFalse);
    }
  }

  PagedListShape shape{kListColumns, kListOrder};
  CTransferListRows rows;
  RunPagedList(rq.pCtxt, s, icid, keys, filter, {}, shape, rows);
}

}  // namespace tw::services
