// The client's fee account and totals: "FeeList" (a page of the client's charges and payments) and
// "PreInputTotal" (how many pre-input shipments the client has per reserve code).

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/handlers.h"
#include "services/internal/client_read.h"
#include "services/internal/replies.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"

namespace {

constexpr size_t kMarkFilterMax = 15;
constexpr size_t kInvoiceFilterMax = 30;
constexpr size_t kRefNoFilterMax = 30;
constexpr size_t kMoneyFilterMax = 15;
constexpr size_t kCurrencyLength = 3;
constexpr int kPayWays = 5;  // pay ways 0..4
// The reserve list is read at most this long.
constexpr size_t kReserveListMax = 8192;
constexpr size_t kReserveMax = 31;

constexpr char kFeeColumns[] =
    " ifid,ffee,cinvoice,dpdate,cmemo,ntype,ffeer,cmoney,fchg,cdocno,npayway,crefno,cmark,dsysdate";
constexpr char kFeeBase[] = " FROM dorvane.dbo.client_fee WHERE icid=%d";
constexpr char kFeeOrder[] = " ORDER BY dpdate DESC,ifid DESC";

constexpr char kTotalSelect[] = "SELECT creserve,COUNT(*)  FROM dorvane.dbo.rec_pre_input WHERE icid=%d";
constexpr char kTotalGroup[] = " GROUP BY creserve";

struct FeeRow {
  int32_t ifid = 0;
  double ffee = 0;
  DbText<30> cinvoice = "";
  DbText<31> dpdate = "";
  DbText<254> cmemo = "";
  int32_t ntype = 0;
  double ffeer = 0;
  DbText<3> cmoney = "";
  double fchg = 0;
  DbText<30> cdocno = "";
  int32_t npayway = 0;
  DbText<30> crefno = "";
  DbText<15> cmark = "";
  DbText<31> dsysdate = "";
};

class CFeeRows : public CListRows {
 public:
  void Bind(DbStatement& st) override {
    FeeRow& r = row_;
    DbColumns(st).Int(r.ifid).Double(r.ffee).Text(r.cinvoice).Text(r.dpdate).Text(r.cmemo).Int(r.ntype)
        .Double(r.ffeer).Text(r.cmoney).Double(r.fchg).Text(r.cdocno).Int(r.npayway).Text(r.crefno)
        .Text(r.cmark).Text(r.dsysdate);
  }
  void Put(tw::OutBuf& out) override {
    const FeeRow& r = row_;
    char date[kReplyDateSize], sysDate[kReplyDateSize];
    FormatReplyDate(r.dpdate, false, date);
    FormatReplyDate(r.dsysdate, true, sysDate);
    out.AppendChar('{');
    CJsonFields(out)
        .Int("ifID", r.ifid)
        .Str("dDate", date)
        .Str("dSysDate", sysDate)
        .Int("nType", r.ntype)
        .Str("cMoney", r.cmoney)
        .Real("fFee", r.ffee, 2)
        .Real("fFeer", r.ffeer, 2)
        .Real("fChg", r.fchg, 2)
        .Int("nPayWay", r.npayway)
        .Str("cInvoice", r.cinvoice)
        .Str("cRefNo", r.crefno)
        .Str("cDocNo", r.cdocno)
        .Str("cMark", r.cmark)
        .Str("cMemo", r.cmemo);
    out.AppendChar('}');
  }

 private:
  FeeRow row_;
};

// ReadReserveList: the texts of the "cqReserves" list (a JSON list of strings, read at most
// kReserveListMax bytes from its "["), each unescaped to GBK; items that are not strings are
// skipped. The list's structure is read here, never copied into the statement.
std::vector<std::string> ReadReserveList(std::string_view body) {
  std::vector<std::string> items;
  const size_t key = body.find("\"cqReserves\"");
  if (key == std::string_view::npos) return items;
  const size_t open = body.find('[', key);
  if (open == std::string_view::npos) return items;
  const std::string_view list = body.substr(open + 1, kReserveListMax);
  for (size_t i = 0; i < list.size() && list[i] != ']'; ++i) {
    if (list[i] != '"') continue;
    // The item runs to the next double quote that no backslash escapes.
    size_t end = i + 1;
    while (end < list.size() && (list[end] != '"' || list[end - 1] == '\\')) ++end;
    if (end >= list.size()) break;  // cut where the reading stops
    char text[kReserveMax * 2 + 1];
    tw::JsonUnescape(list.substr(i + 1, end - i - 1), text, sizeof text - 1, tw::kJsonModeCodePage);
    (void)tw::ReplaceAll(text, sizeof text, "\\\"", "\"");
    (void)tw::ReplaceAll(text, sizeof text, "\\\\", "\\");
    items.emplace_back(text);
    i = end;
  }
  return items;
}

}  // namespace

namespace tw::services {

void OnFeeList(const CRequest& rq) {
  int32_t icid = 0;
  PoolSlotGuard slot(-1);
  if (!tw::entry::OpenClientRead(rq.pCtxt, rq.body, kRcBadClientId, &icid, slot)) return;
  const PagingKeys keys = ReadPagingKeys(rq.body);
  PoolSlot& s = slot.slot();
  char mark[kMarkFilterMax + 1], invoice[kInvoiceFilterMax + 1], refNo[kRefNoFilterMax + 1];
  char money[kMoneyFilterMax + 1], typeMask[kFilterMaskMax + 1], payWayMask[kFilterMaskMax + 1];
  FilterDate begin, end;
  tw::JsonGetString("cqMark", rq.body, mark, kMarkFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqInvoice", rq.body, invoice, kInvoiceFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqRefNo", rq.body, refNo, kRefNoFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqMoney", rq.body, money, kMoneyFilterMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqTypeMask", rq.body, typeMask, kFilterMaskMax, tw::kJsonModeTable);
  tw::JsonGetString("cqPayWayMask", rq.body, payWayMask, kFilterMaskMax, tw::kJsonModeTable);

  CListFilter filter(s.szWork, kWorkBytes);
  filter.Base(kFeeBase, icid);
  filter.ReadDateRange(rq.body, "dpdate", begin, end);
  filter.AddLike("cmark", mark);
  filter.AddLike("cinvoice", invoice);
  filter.AddLike("crefno", refNo);
  if (std::strlen(money) == kCurrencyLength) filter.AddEqual("cmoney", money);
  filter.AddTwoStateMask(typeMask, " AND ntype=0", " AND ntype=1");
  filter.AddPositionMask("npayway", payWayMask, kPayWays, 0);

  PagedListShape shape{kFeeColumns, kFeeOrder};
  shape.bEmptyAsList = true;
  CFeeRows rows;
  RunPagedList(rq.pCtxt, s, icid, keys, filter, {}, shape, rows);
}

void OnPreInputTotal(const CRequest& rq) {
  int32_t icid = 0;
  PoolSlotGuard slot(-1);
  if (!tw::entry::OpenClientRead(rq.pCtxt, rq.body, kRcBadClientId, &icid, slot)) return;
  PoolSlot& s = slot.slot();
  CListFilter sql(s.szSql, kSqlBytes);
  sql.Base(kTotalSelect, icid);
  FilterDate begin, end;
  sql.ReadDateRange(rq.body, "ddate", begin, end);
  const std::vector<std::string> reserves = ReadReserveList(rq.body);
  if (!reserves.empty()) {
    std::string in;
    for (const std::string& r : reserves) {
      if (!IsGbkText(r.c_str())) continue;  // no stored reserve reads so
      in += in.empty() ? "'" : ",'";
      in += tw::SqlEscape(r.c_str());
      in += '\'';
    }
    if (in.empty()) {
      sql.Add("%s", kSqlSelectNothing);
    } else {
      sql.Add(" AND creserve IN(%s)", in.c_str());
    }
  }
  sql.Add("%s", kTotalGroup);
  if (!sql.ok()) {
    WriteCode(rq.pCtxt, kRcDbFailed);
    return;
  }
  const std::string text(sql.text());

  struct Total {
    std::string reserve;
    int64_t count;
  };
  std::vector<Total> totals;
  {
    DbStatement st(slot.dbc());
    if (!st.ok() || !DbOk(st.ExecDirect(text.c_str()))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbText<kReserveMax> reserve = "";
    int64_t count = 0;
    DbColumns(st).Text(reserve).Int64(count);
    while (DbOk(st.Fetch())) {
      tw::TruncateText(reserve, kReserveMax);
      totals.push_back({reserve, count});
    }
  }
  if (totals.empty()) {
    WriteCode(rq.pCtxt, kRcNotFound);
    return;
  }
  tw::OutBuf reply = tw::OutBuf::Growable(s.szReply, kReplyBytes, kListReplyMaxBytes);
  reply.Printf("{\"ReturnValue\":%zu,\"icID\":%d,\"TotalList\":[", totals.size(), icid);
  for (size_t i = 0; i < totals.size(); ++i) {
    reply.Append(i == 0 ? "{" : ",{");
    CJsonFields(reply).Str("cReserve", totals[i].reserve.c_str()).Int64("iTotal", totals[i].count);
    reply.AppendChar('}');
  }
  reply.Append("]}");
  tw::entry::SendWholeReply(rq.pCtxt, reply);
}

}  // namespace tw::services
