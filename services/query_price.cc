// "QueryPrice": what a shipment would cost the client, for one service kind or for every kind that
// serves the destination, each price with its explanation text.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/db.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pricing/ostrum_container.h"
#include "pricing/quote.h"
#include "services/handlers.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/outbuf.h"
#include "util/text.h"

// The keys of a "QueryPrice" request.
struct QuoteRequest {
  int32_t icid = 0;
  char destination[64] = "";  // "cqDes"
  char kind[16] = "";         // "cqEmsKind": empty for every kind
  char from[64] = "";         // "cqFrom": the origin station, limits the kinds
  double weight = 0;          // "fqWeight" kg, as sent
  double length = 0, width = 0, height = 0;  // "fqLong", "fqWidth", "fqHeight" cm, as sent
  int32_t filter = 0;         // "nqFilter": 1 kinds taking input, 2 kinds with public prices
  int32_t itemType = 0;       // "nqItemType", 0..2
  double quotedKg = 0;        // the weight quoted (frWeight)
  int32_t grams = 0;
};

namespace {

constexpr size_t kDestinationMax = 63;
constexpr size_t kKindMax = 15;
constexpr size_t kFromMax = 63;
constexpr double kMinWeightKg = 0.001;
constexpr double kMinVolumeCm3 = 5;
// A parcel that passes the size check but whose volume weight rounds to nothing is charged the
// smallest volume weight, one hundredth of a kilogram.
constexpr double kMinQuotedKg = 0.01;
constexpr double kAllKindsMaxKg = 99999;
constexpr int kGramsPerKg = 1000;
constexpr int kRcNoDestination = MissingKeyCode(4);  // -15
constexpr int kRcNoWeight = MissingKeyCode(5);       // -16
constexpr int kRcBadQuote = MissingKeyCode(3);       // -14
constexpr int kRcNoPrice = -2;
constexpr int kItemTypeMax = 2;
constexpr int kFilterInput = 1;
constexpr int kFilterPublic = 2;
// The quote's reply grows beyond the slot's buffer up to this many bytes.
constexpr size_t kQuoteReplyMax = 8 * kReplyBytes;

// The quote's look-ups run prepared on each connection, their values as parameters.
DbPreparedSql kClientPriceSql(
    "{?=CALL dorvane.dbo.cp_ee_get_client_price(?,?,?,?,?,?,?,?,?,?,$1,$2,$3,$4,$5,$6)}");
constexpr char kKindSelect[] =
    "SELECT a.cemskind,a.fcustoms,a.faddons,b.narea,b.ntype,b.cmemo,b.ccode,a.nextra,a.cemskindd,a.ndiscountc,"
    "a.nallcustoms,b.ilong,b.iweight,b.icubic,COALESCE(a.cpmemo,''),COALESCE(a.cekgroup,''),a.ibagweighte,a.ckey,"
    "a.cstation FROM dorvane.dbo.ems_kind a INNER JOIN dorvane.dbo.ems_area b ON(a.cemskind=b.cemskind) "
    "WHERE b.carea=$1";
constexpr char kKindOne[] = " AND a.cemskind=$2";
constexpr char kKindInput[] = " AND a.ninput=1";
constexpr char kKindPublic[] = " AND a.npubprice=1";
constexpr char kKindStation[] = " AND a.cstation=$%d";
// Rows come in kind order, so equal prices list the same way on every run.
constexpr char kKindOrder[] = " ORDER BY a.cemskind";

// A text column of at most n characters: GBK needs up to two bytes each.
template <size_t Chars>
using Text = char[2 * Chars + 1];

// One row of the kind statement.
struct KindRow {
  Text<15> cemskind = "";
  double fcustoms = 0;
  double faddons = 0;
  int32_t narea = 0;
  int32_t ntype = 0;
  Text<254> areaMemo = "";
  Text<15> ccode = "";
  int32_t nextra = 0;
  Text<30> cemskindd = "";
  int32_t ndiscountc = 0;
  int32_t nallcustoms = 0;
  int32_t ilong = 0;
  int32_t iweight = 0;
  int32_t icubic = 0;
  Text<254> cpmemo = "";
  Text<15> cekgroup = "";
  int32_t ibagweighte = 0;
  Text<31> ckey = "";
  Text<15> cstation = "";
};

// The outputs of cp_ee_get_client_price, in the order of its markers (the discount table apart).
struct ClientPriceReply {
  int32_t result = -1;
  int32_t bandStart = 0, bandEnd = 0, step = 0, stepPrice = 0, top = 0, rule = 0;
  uint8_t discounts[8] = {};
  int32_t addons = 0;
  int32_t fixedFee = 0;
  int32_t segmentCode = 0;
};

// One kind of the answer.
struct QuoteEntry {
  KindRow row;
  bool bPriced = false;
  int64_t priceCents = 0;
  std::string method;
};

double Finite(double v) { return std::isfinite(v) ? v : 0; }

// Reads the rows of the kind statement in slot.szSql with its values. False when it failed.
bool ReadKindRows(PoolSlot& slot, const DbParams& values, std::vector<QuoteEntry>& entries) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) {
    return false;
  }
  KindRow r;
  SQLUSMALLINT c = 1;
  st.BindText(c++, r.cemskind, sizeof r.cemskind);
  st.BindDouble(c++, &r.fcustoms);
  st.BindDouble(c++, &r.faddons);
  st.BindInt(c++, &r.narea);
  st.BindInt(c++, &r.ntype);
  st.BindText(c++, r.areaMemo, sizeof r.areaMemo);
  st.BindText(c++, r.ccode, sizeof r.ccode);
  st.BindInt(c++, &r.nextra);
  st.BindText(c++, r.cemskindd, sizeof r.cemskindd);
  st.BindInt(c++, &r.ndiscountc);
  st.BindInt(c++, &r.nallcustoms);
  st.BindInt(c++, &r.ilong);
  st.BindInt(c++, &r.iweight);
  st.BindInt(c++, &r.icubic);
  st.BindText(c++, r.cpmemo, sizeof r.cpmemo);
  st.BindText(c++, r.cekgroup, sizeof r.cekgroup);
  st.BindInt(c++, &r.ibagweighte);
  st.BindText(c++, r.ckey, sizeof r.ckey);
  st.BindText(c++, r.cstation, sizeof r.cstation);
  if (!DbOk(st.ExecPrepared(slot.szSql, values))) {
    return false;
  }
  SQLRETURN rc;
  while (DbOk(rc = st.Fetch())) {
    QuoteEntry e;
    e.row = r;
    entries.push_back(std::move(e));
  }
  return rc == SQL_NO_DATA;
}

// Builds the kind statement into slot.szSql and its values: the destination's areas, one kind or
// the filter's, the origin station. False when it does not fit.
bool BuildKindSql(PoolSlot& slot, const QuoteRequest& q, bool bOneKind, DbParams* values) {
  std::string sql = kKindSelect;
  values->SqlText(q.destination);
  if (bOneKind) {
    sql += kKindOne;
    values->SqlText(q.kind);
  } else if (q.filter == kFilterInput) {
    sql += kKindInput;
  } else if (q.filter == kFilterPublic) {
    sql += kKindPublic;
  }
  if (q.from[0] != '\0') {
    values->SqlText(q.from);
    sql += StringPrintf(kKindStation, values->count());
  }
  sql += kKindOrder;
  return FormatSql(slot.szSql, sizeof slot.szSql, "%s", sql.c_str());
}

// cp_ee_get_client_price for one kind. False when the call failed.
bool CallClientPrice(PoolSlot& slot, const QuoteRequest& q, const KindRow& row, const SysPlace& place,
                     ClientPriceReply* out) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) {
    return false;
  }
  int32_t* before[] = {&out->result, &out->bandStart, &out->bandEnd, &out->step,
                       &out->stepPrice, &out->top, &out->rule};
  SQLUSMALLINT marker = 1;
  for (int32_t* p : before) {
    st.BindOutInt(marker++, p);
  }
  // The discount table comes as eight bytes.
  SQLLEN discountLength = 0;
  SQLBindParameter(st.handle(), marker++, SQL_PARAM_OUTPUT, SQL_C_BINARY, SQL_VARBINARY, sizeof out->discounts, 0,
                   out->discounts, sizeof out->discounts, &discountLength);
  st.BindOutInt(marker++, &out->addons);
  st.BindOutInt(marker++, &out->fixedFee);
  st.BindOutInt(marker++, &out->segmentCode);
  const DbParams values =
      DbParams().Int(q.icid).SqlText(row.cemskind).Int(row.narea).SqlText(place.carea).Int(q.grams).Int(q.itemType);
  if (!DbOk(st.ExecPrepared(kClientPriceSql, values))) {
    return false;
  }
  if (discountLength < 0 || discountLength > static_cast<SQLLEN>(sizeof out->discounts)) {
    discountLength = 0;  // NULL: no table
  }
  std::memset(out->discounts + discountLength, 0, sizeof out->discounts - static_cast<size_t>(discountLength));
  return true;
}

// Prices one kind of the quote (steps 3 to 5). False when a statement failed.
bool PriceEntry(PoolSlot& slot, const QuoteRequest& q, const SysPlace& place, QuoteEntry& e) {
  ClientPriceReply reply;
  if (!CallClientPrice(slot, q, e.row, place, &reply)) {
    return false;
  }
  if (reply.result < 0) {
    return true;  // no price for this kind
  }
  PriceExplainInput in;
  in.grams = q.grams;
  in.band.ibweight = reply.bandStart;
  in.band.ieweight = reply.bandEnd;
  in.band.iweightper = reply.step;
  in.band.iprice = reply.stepPrice;
  in.band.itopprice = reply.top;
  in.band.ntype = static_cast<uint8_t>(reply.rule);
  in.discountCode = reply.result > kResultSpecialZone ? DiscountCodeOf(reply.discounts, q.itemType) : kDiscountNone;
  in.addons = reply.addons;
  in.fixedFeeCents = reply.fixedFee;
  in.segmentCode = reply.segmentCode;
  in.result = reply.result;
  in.fuelRate = e.row.faddons;
  in.customsFee = e.row.fcustoms;
  in.nextra = e.row.nextra;
  in.ndiscountc = e.row.ndiscountc;
  in.nallcustoms = e.row.nallcustoms;
  in.areaType = e.row.ntype;
  in.dict86 = g_OstrumContainer.dict86;
  in.dict87 = g_OstrumContainer.dict87;
  if (e.row.nextra != 0) {
    const int base = GetBasePriceByProc(slot, place.carea, e.row.cemskind, q.itemType, q.grams);
    if (base == kRcDbFailed) {
      return false;
    }
    in.basePriceCents = base;
  }
  PriceExplanation price = FormatPriceHtml(in);
  e.bPriced = price.bPriced;
  e.priceCents = price.totalCents;
  e.method = std::move(price.text);
  return true;
}

// One "RecList" entry.
void PutEntry(tw::OutBuf& out, const QuoteEntry& e) {
  const KindRow& r = e.row;
  int daysB = 0, daysE = 0;
  tw::ParsePair(r.ccode, &daysB, &daysE);
  const std::string memo = QuoteMemo(r.cpmemo, r.areaMemo);
  out.AppendChar('{');
  tw::JsonPutString(out, "cEmsKind", r.cemskind, true);
  tw::JsonPutString(out, "cEmsKindi", r.cemskindd, true);
  tw::JsonPutDouble(out, "fPrice", Yuan(e.priceCents), 2, true);
  tw::JsonPutDouble(out, "fsPrice", 0, 2, true);
  tw::JsonPutDouble(out, "fAddOn", r.faddons, 2, true);
  tw::JsonPutDouble(out, "fCustoms", r.fcustoms, 2, true);
  tw::JsonPutDouble(out, "fDiscount", 0, 2, true);
  tw::JsonPutInt(out, "nDaysB", daysB, true);
  tw::JsonPutInt(out, "nDaysE", daysE, true);
  tw::JsonPutDouble(out, "fcWeight", tw::Ratio(r.iweight, 1000), 3, true);
  tw::JsonPutDouble(out, "fcLong", tw::Ratio(r.ilong, 1000), 2, true);
  tw::JsonPutDouble(out, "fcCubic", tw::Ratio(r.icubic, 1000000), 4, true);
  tw::JsonPutString(out, "cMemo", memo.c_str(), true);
  tw::JsonPutString(out, "cMethod", e.method.c_str(), true);
  tw::JsonPutString(out, "cStation", r.cstation, false);
  out.AppendChar('}');
}

// The whole answer: the count, the request echoed and the entries.
void PutQuote(tw::OutBuf& out, const QuoteRequest& q, int returnValue, bool bOneKind,
              const std::vector<const QuoteEntry*>& entries) {
  out.Printf("{\"ReturnValue\":%d,\"icID\":%d,", returnValue, q.icid);
  tw::JsonPutString(out, "cqFrom", q.from, true);
  tw::JsonPutString(out, "cqDes", q.destination, true);
  tw::JsonPutString(out, "cqEmsKind", bOneKind ? q.kind : "", true);
  tw::JsonPutInt(out, "nqItemType", q.itemType, true);
  tw::JsonPutDouble(out, "fqWeight", Finite(q.weight), 3, true);
  tw::JsonPutDouble(out, "fqLong", Finite(q.length), 1, true);
  tw::JsonPutDouble(out, "fqWidth", Finite(q.width), 1, true);
  tw::JsonPutDouble(out, "fqHeight", Finite(q.height), 1, true);
  tw::JsonPutDouble(out, "frWeight", q.quotedKg, 3, true);
  tw::JsonPutInt(out, "nqFilter", q.filter, true);
  out.Append("\"RecList\":[");
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) {
      out.AppendChar(',');
    }
    PutEntry(out, *entries[i]);
  }
  out.Append("]}");
}

// Sends the answer built in the slot's reply buffer (growing beyond it when needed).
void SendQuote(CHttpServerContext* pCtxt, PoolSlot& slot, const QuoteRequest& q, int returnValue, bool bOneKind,
               const std::vector<const QuoteEntry*>& entries) {
  tw::OutBuf out = tw::OutBuf::Growable(slot.szReply, kReplyBytes, kQuoteReplyMax);
  PutQuote(out, q, returnValue, bOneKind, entries);
  if (out.overflowed()) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  WriteJsonReply(pCtxt, out.data(), out.size());
}

// The destination and weight checks both quotes make first: 0 when the request can be quoted.
int CheckQuote(const QuoteRequest& q, double maxKg) {
  const size_t length = std::strlen(q.destination);
  if (length == 0 || length > kDestinationMax || !(q.quotedKg > 0) || !(q.quotedKg < maxKg)) {
    return kRcBadQuote;
  }
  return 0;
}

// The kinds a quote prices: the destination's place and the rows of the kind statement, on the slot's
// connection. Returns 0, or the refusal code: for a place the database does not know -14 (one kind)
// or -15 (every kind), -9 when a statement failed.
int ReadQuoteKinds(PoolSlot& slot, const QuoteRequest& q, bool bOneKind, SysPlace* place,
                   std::vector<QuoteEntry>& entries) {
  const int found = QuerySysPlace(slot, q.destination, place);
  if (found == kRcDbFailed) {
    return kRcDbFailed;
  }
  if (found != 1) {
    return bOneKind ? kRcBadQuote : kRcNoDestination;
  }
  DbParams kindValues;
  if (!BuildKindSql(slot, q, bOneKind, &kindValues) || !ReadKindRows(slot, kindValues, entries)) {
    return kRcDbFailed;
  }
  return 0;
}

}  // namespace

namespace tw::services {

void OnQueryPrice(const CRequest& rq) {
  QuoteRequest q;
  q.icid = tw::JsonGetInt("icID", rq.body, 0);
  if (q.icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  tw::JsonGetString("cqDes", rq.body, q.destination, kDestinationMax, tw::kJsonModeCodePage);
  tw::TrimBlanksGbk(q.destination);
  if (q.destination[0] == '\0') {
    WriteCode(rq.pCtxt, kRcNoDestination);
    return;
  }
  q.weight = tw::JsonGetDouble("fqWeight", rq.body, 0);
  q.length = tw::JsonGetDouble("fqLong", rq.body, 0);
  q.width = tw::JsonGetDouble("fqWidth", rq.body, 0);
  q.height = tw::JsonGetDouble("fqHeight", rq.body, 0);
  const double volume = q.length * q.width * q.height;
  if (q.weight < kMinWeightKg && volume < kMinVolumeCm3) {
    WriteCode(rq.pCtxt, kRcNoWeight);
    return;
  }
  q.filter = tw::JsonGetInt("nqFilter", rq.body, 0);
  q.itemType = std::clamp(tw::JsonGetInt("nqItemType", rq.body, 0), 0, kItemTypeMax);
  tw::JsonGetString("cqEmsKind", rq.body, q.kind, kKindMax, tw::kJsonModeCodePage);
  tw::TrimBlanksGbk(q.kind);
  tw::JsonGetString("cqFrom", rq.body, q.from, kFromMax, tw::kJsonModeCodePage);
  tw::TrimBlanksGbk(q.from);

  q.quotedKg = QuotedWeightKg(q.weight, q.length, q.width, q.height, g_OstrumContainer.volumeDivisor);
  int64_t grams = tw::ScaleToInt(q.quotedKg, kGramsPerKg);
  if (grams <= 0 && !std::isnan(q.quotedKg) && volume >= kMinVolumeCm3 && q.length > 0 && q.width > 0 &&
      q.height > 0) {
    q.quotedKg = kMinQuotedKg;
    grams = tw::ScaleToInt(q.quotedKg, kGramsPerKg);
  }
  // Grams travel to the procedures as 32-bit integers: a weight beyond that is no shipment.
  q.grams = grams > INT32_MAX ? 0 : static_cast<int32_t>(grams);
  if (q.grams <= 0) {
    q.quotedKg = 0;
  }
  // Both quotes check the destination and the weight (every kind only below 99999 kg) first.
  const bool bOneKind = q.kind[0] != '\0';
  if (CheckQuote(q, bOneKind ? HUGE_VAL : kAllKindsMaxKg) != 0) {
    WriteCode(rq.pCtxt, kRcBadQuote);
    return;
  }
  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  if (bOneKind) {
    QuoteOneKind(rq.pCtxt, q, guard.slot());
  } else {
    QuoteAllKinds(rq.pCtxt, q, guard.slot());
  }
}

void QuoteOneKind(CHttpServerContext* pCtxt, const QuoteRequest& q, PoolSlot& slot) {
  SysPlace place;
  std::vector<QuoteEntry> entries;
  if (const int rc = ReadQuoteKinds(slot, q, true, &place, entries); rc != 0) {
    WriteCode(pCtxt, rc);
    return;
  }
  if (entries.empty()) {
    WriteCode(pCtxt, kRcNoPrice);
    return;
  }
  entries.resize(1);  // the first area row of the kind
  if (!PriceEntry(slot, q, place, entries[0])) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  if (!entries[0].bPriced || entries[0].priceCents <= 0) {
    WriteCode(pCtxt, kRcNoPrice);
    return;
  }
  SendQuote(pCtxt, slot, q, kRcOk, true, {&entries[0]});
}

void QuoteAllKinds(CHttpServerContext* pCtxt, const QuoteRequest& q, PoolSlot& slot) {
  SysPlace place;
  std::vector<QuoteEntry> entries;
  if (const int rc = ReadQuoteKinds(slot, q, false, &place, entries); rc != 0) {
    WriteCode(pCtxt, rc);
    return;
  }
  std::vector<const QuoteEntry*> priced;
  for (QuoteEntry& e : entries) {
    if (!PriceEntry(slot, q, place, e)) {
      WriteCode(pCtxt, kRcDbFailed);
      return;
    }
    if (e.bPriced && e.priceCents > 0) {
      priced.push_back(&e);
    }
  }
  if (priced.empty()) {
    WriteCode(pCtxt, kRcNoPrice);
    return;
  }
  std::stable_sort(priced.begin(), priced.end(),
                   [](const QuoteEntry* a, const QuoteEntry* b) { return a->priceCents < b->priceCents; });
  SendQuote(pCtxt, slot, q, static_cast<int>(priced.size()), false, priced);
}

}  // namespace tw::services
