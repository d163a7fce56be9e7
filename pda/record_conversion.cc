// Shipment records made from waiting sources at the moment a PDA operator weighs them:
// "pdaRecReWeightPre" takes a client's pre-input shipment, "pdaRecReWeightTrans" (also bound to
// "pdaTransBagOut") a transfer bag that was received and audited. Both find the source (not yet
// made into a record), settle its kind and destination, fold its goods lines into the goods summary,
// weigh and price it like a re-weighed record, and let cp_client_rec_fast_add create the record,
// which links the source to it in the same transaction.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/db.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/entry_sql.h"
#include "pda/internal/entry_steps.h"
#include "pda/internal/pda_common.h"
#include "pricing/country.h"
#include "pricing/goods_line.h"
#include "pricing/goods_list.h"
#include "pricing/ostrum_container.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"

namespace {

constexpr char kLogCategory[] = "TARNWICK";
constexpr size_t kNumberMax = 30;
constexpr size_t kNumberMinLength = 7;
constexpr double kMinKg = 0.001;
constexpr int kCents = 100;

// A source row: a pre-input shipment or a transfer bag with its client's state, name and station.
struct SourceRow {
  int32_t nitemtype = 0, nlanguage = 0, npayway = 0, iitem = 0, iquantity = 0, iprice = 0, idvalue = 0, iivalue = 0;
  int32_t id = 0;  // iid or biid
  int32_t ireserve = 0, ncs = 0, icid = 0, iidr = 0, iids = 0, iidi = 0;
  double fgoods = 0, fgoodsc = 0, famount = 0, fweight = 0, fgcustom = 0, fgcrate = 0;
  double faget = 0, fasafe = 0, fapack = 0, faother = 0, facheck = 0, faremote = 0, faby = 0;
  char cemskind[32] = "", cemskindc[32] = "", cdes[128] = "";
  char cunitname[512] = "", caddr[512] = "", ccity[256] = "", cpostcode[32] = "", cprovince[128] = "",
       ccountry[256] = "", creceiver[128] = "", cphone[128] = "", cmemo[512] = "", csender[128] = "", clwh[64] = "";
  char cgoods[512] = "", cmoney[8] = "", cpacking[32] = "", ctransnote[128] = "", cnum[64] = "";
  char csunitname[256] = "", csaddr[256] = "", csphone[128] = "", cspostcode[32] = "", cscountry[128] = "",
       csprovince[128] = "", cscity[128] = "", cpaydir[8] = "", corigin[8] = "";
  char crefer[64] = "", csmsnumber[64] = "", csemail[128] = "", cremail[128] = "", crsms[64] = "",
       caddrfrom[128] = "", cmark[32] = "", cdepart[64] = "";
  char cby1[128] = "", cby2[128] = "", cby3[128] = "", cby4[128] = "", cby5[512] = "";
  char cno[64] = "", crno[64] = "", ccno[64] = "", creserve[64] = "";
  char cgoodsa[512] = "", cgcodea[128] = "", cgcodeb[128] = "", cgcodec[128] = "";
  char cmname[128] = "", cstation[32] = "", cstationr[32] = "";
};

// One column of a source statement: its text in the statement and where its value goes.
struct SourceColumn {
  const char* sql;
  enum Kind { kInt, kReal, kText } kind;
  size_t offset;
  size_t size;
};

#define TW_INT(col, field) SourceColumn{col, SourceColumn::kInt, offsetof(SourceRow, field), sizeof(int32_t)}
#define TW_REAL(col, field) SourceColumn{col, SourceColumn::kReal, offsetof(SourceRow, field), sizeof(double)}
#define TW_TEXT(col, field) SourceColumn{col, SourceColumn::kText, offsetof(SourceRow, field), sizeof(SourceRow::field)}

// The columns the two sources share, in the order both statements begin with.
#define TW_COMMON_HEAD                                                                                           \
  TW_INT("a.nitemtype", nitemtype), TW_INT("a.nlanguage", nlanguage), TW_TEXT("a.cemskind", cemskind),         \
      TW_TEXT("a.cdes", cdes), TW_TEXT("a.cunitname", cunitname), TW_TEXT("a.caddr", caddr),                    \
      TW_TEXT("a.ccity", ccity), TW_TEXT("a.cpostcode", cpostcode), TW_TEXT("a.cprovince", cprovince),          \
      TW_TEXT("a.ccountry", ccountry), TW_TEXT("a.creceiver", creceiver), TW_TEXT("a.cphone", cphone),          \
      TW_TEXT("a.cmemo", cmemo), TW_INT("a.npayway", npayway), TW_TEXT("a.csender", csender),                   \
      TW_TEXT("a.clwh", clwh), TW_INT("a.iitem", iitem), TW_REAL("a.fgoods", fgoods),                           \
      TW_REAL("a.fgoodsc", fgoodsc), TW_TEXT("a.cgoods", cgoods), TW_INT("a.iquantity", iquantity),             \
      TW_INT("a.iprice", iprice), TW_TEXT("a.cmoney", cmoney), TW_TEXT("a.cpacking", cpacking),                 \
      TW_TEXT("a.ctransnote", ctransnote), TW_INT("a.idvalue", idvalue), TW_INT("a.iivalue", iivalue)

#define TW_COMMON_MIDDLE                                                                                         \
  TW_TEXT("a.cnum", cnum), TW_TEXT("a.csunitname", csunitname), TW_TEXT("a.csaddr", csaddr),                    \
      TW_TEXT("a.csphone", csphone), TW_TEXT("a.cspostcode", cspostcode), TW_TEXT("a.cscountry", cscountry),   \
      TW_TEXT("a.csprovince", csprovince), TW_TEXT("a.cscity", cscity), TW_TEXT("a.cpaydir", cpaydir),         \
      TW_TEXT("a.corigin", corigin), TW_REAL("a.famount", famount), TW_REAL("a.fweight", fweight),             \
      TW_TEXT("a.crefer", crefer), TW_TEXT("a.csmsnumber", csmsnumber), TW_TEXT("a.csemail", csemail),         \
      TW_TEXT("a.cremail", cremail), TW_TEXT("a.crsms", crsms), TW_TEXT("a.caddrfrom", caddrfrom),             \
      TW_TEXT("a.cmark", cmark)

#define TW_REFERENCE_FIELDS                                                                                      \
  TW_TEXT("a.cby1", cby1), TW_TEXT("a.cby2", cby2), TW_TEXT("a.cby3", cby3), TW_TEXT("a.cby4", cby4),           \
      TW_TEXT("a.cby5", cby5)

#define TW_CUSTOMS                                                                                               \
  TW_TEXT("a.cgoodsa", cgoodsa), TW_TEXT("a.cgcodea", cgcodea), TW_TEXT("a.cgcodeb", cgcodeb),                  \
      TW_TEXT("a.cgcodec", cgcodec), TW_REAL("a.fgcustom", fgcustom), TW_REAL("a.fgcrate", fgcrate)

const SourceColumn kPreInputColumns[] = {
    TW_COMMON_HEAD,          TW_INT("a.iid", id),          TW_COMMON_MIDDLE,
    TW_TEXT("a.cdepart", cdepart), TW_REFERENCE_FIELDS,    TW_TEXT("a.cno", cno),
    TW_TEXT("a.crno", crno), TW_TEXT("a.ccno", ccno),      TW_TEXT("a.creserve", creserve),
    TW_INT("a.ireserve", ireserve), TW_CUSTOMS,            TW_INT("b.nstate AS ncs", ncs),
    TW_TEXT("a.cemskindc", cemskindc), TW_INT("a.icid", icid), TW_TEXT("b.cmname", cmname),
    TW_TEXT("b.cstation", cstation), TW_INT("a.iidr", iidr), TW_INT("a.iids", iids),
    TW_INT("a.iidi", iidi),  TW_REAL("a.faget", faget),    TW_REAL("a.fasafe", fasafe),
    TW_REAL("a.fapack", fapack), TW_REAL("a.faother", faother), TW_REAL("a.facheck", facheck),
    TW_REAL("a.faremote", faremote), TW_REAL("a.faby", faby),
};

const SourceColumn kBagColumns[] = {
    TW_COMMON_HEAD,          TW_INT("a.biid", id),         TW_COMMON_MIDDLE,
    TW_REFERENCE_FIELDS,     TW_REAL("a.faget", faget),    TW_REAL("a.fasafe", fasafe),
    TW_REAL("a.fapack", fapack), TW_REAL("a.faother", faother), TW_INT("a.iidrs", iidr),
    TW_TEXT("a.cstationr", cstationr), TW_INT("a.icid", icid), TW_CUSTOMS,
    TW_REAL("a.facheck", facheck), TW_REAL("a.faremote", faremote), TW_REAL("a.faby", faby),
    TW_INT("b.nstate AS ncs", ncs), TW_TEXT("b.cmname", cmname), TW_TEXT("b.cstation", cstation),
};

#undef TW_INT
#undef TW_REAL
#undef TW_TEXT
#undef TW_COMMON_HEAD
#undef TW_COMMON_MIDDLE
#undef TW_REFERENCE_FIELDS
#undef TW_CUSTOMS

// "SELECT <columns> FROM <from> WHERE ": the source statement's opening.
std::string SelectColumns(std::span<const SourceColumn> columns, const char* from) {
  std::string sql = "SELECT ";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) sql += ',';
    sql += columns[i].sql;
  }
  sql += " FROM ";
  sql += from;
  sql += " WHERE ";
  return sql;
}

void BindSource(DbStatement& st, std::span<const SourceColumn> columns, SourceRow& row) {
  char* base = reinterpret_cast<char*>(&row);
  for (size_t i = 0; i < columns.size(); ++i) {
    const SourceColumn& c = columns[i];
    const auto n = static_cast<SQLUSMALLINT>(i + 1);
    switch (c.kind) {
      case SourceColumn::kInt:
        st.BindInt(n, reinterpret_cast<int32_t*>(base + c.offset));
        break;
      case SourceColumn::kReal:
        st.BindDouble(n, reinterpret_cast<double*>(base + c.offset));
        break;
      case SourceColumn::kText:
        st.BindText(n, base + c.offset, c.size);
        break;
    }
  }
}

// What differs between the two conversions.
struct SourceKind {
  bool bPreInput;
  const char* unknownKindText;
};

constexpr SourceKind kPreInputSource = {true, "该预录记录所属快递类别不存在[%s]。"};
constexpr SourceKind kBagSource = {false, "该转发打包记录所属快递类别不存在[%s]。"};

// The text of a cp_client_rec_fast_add refusal.
const char* ConversionRefusalText(int result) {
  switch (result) {
    case -1:
      return "客户不存在。";
    case -3:
      return "记录刚被发送，请刷新数据后再修改。";
    case -4:
      return "记录已经收款或者开票，不能修改。";
    case -5:
      return "记录被记过失（快件丢失），不能修改。";
    case -6:
      return "运单号不能为空，操作未完成。";
    case -7:
      return "转单号重复，操作未完成。";
    case -8:
      return "内单号重复，操作未完成。";
    case -10:
      return "批次号错误,已经被使用并付款，操作未完成。";
    case -11:
      return "记录已付款或者已签发支票，不能修改。";
    default:
      return "系统错误。";
  }
}

template <size_t N>
void Copy(char (&out)[N], const char* text) {
  tw::CopyTextLimited(out, text, N - 1);
}

// The place a destination text means, tried by name rules, code, name prefix, English name and,
// when the source names a country, that country's Chinese name; null when none.
const PlaceRecord* FindDestination(const SourceRow& s) {
  const CPlaceTable& places = g_OstrumContainer.places;
  if (const PlaceRecord* p = places.MatchPlace(s.cdes, 0)) return p;
  if (const PlaceRecord* p = places.FindByCode(s.cdes)) return p;
  if (const PlaceRecord* p = places.FindByName(s.cdes, true)) return p;
  if (const PlaceRecord* p = places.FindByNameE(s.cdes)) return p;
  if (s.ccountry[0] == '\0') return nullptr;
  const CountryEntry* country = FindCountryEntry(s.ccountry, 0, nullptr);
  if (country == nullptr) country = FindCountryEntry(s.cdes, 0, nullptr);
  return country != nullptr ? places.FindByName(country->nameCn, true) : nullptr;
}

// Reads the goods lines of the source. Returns the number read, -9 when the statement failed.
int ReadGoodsLines(PoolSlot& slot, const char* sql, std::vector<GoodsLine>& lines) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) return -9;
  GoodsLine row;
  int64_t quantity = 0;
  st.BindText(1, row.cxGoods, sizeof row.cxGoods);
  st.BindInt64(2, &quantity);
  st.BindDouble(3, &row.fxPrice);
  st.BindText(4, row.cxGoodsA, sizeof row.cxGoodsA);
  st.BindText(5, row.cxGCodeA, sizeof row.cxGCodeA);
  st.BindText(6, row.cxGCodeB, sizeof row.cxGCodeB);
  st.BindText(7, row.cxGCodeC, sizeof row.cxGCodeC);
  st.BindDouble(8, &row.fxGCustom);
  st.BindDouble(9, &row.fxGCRate);
  if (!DbOk(st.ExecDirect(sql))) return -9;
  for (;;) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return -9;
    GoodsLine line = row;
    line.ixQuantity = static_cast<int32_t>(quantity > INT32_MAX ? INT32_MAX : quantity < 0 ? 0 : quantity);
    lines.push_back(line);
  }
  return static_cast<int>(lines.size());
}

}  // namespace

// The routine both conversions follow.
static void ConvertSource(CHttpServerContext* pCtxt, char* body, const PdaUser& user, const SourceKind& source) {
  char cNum[kNumberMax + 1];
  tw::JsonGetString("cNum", body, cNum, kNumberMax, tw::kJsonModeCodePage);
  if (std::strlen(cNum) <= tw::pda::kShortNumberMax) {
    WriteCode(pCtxt, MissingKeyCode(1));
    return;
  }
  const int32_t icid = tw::JsonGetInt("icID", body, 0);
  int32_t iItem = tw::JsonGetInt("iItem", body, 0);
  const double requestKg = tw::JsonGetDouble("fWeight", body, 0);
  const bool bPriceCalc = tw::JsonGetBool("bPriceCalc", body, 1) != 0;
  const bool bNo = source.bPreInput && tw::JsonGetBool("bNo", body, 0) != 0;
  const bool bKindC = source.bPreInput && tw::JsonGetBool("bEmsKindc", body, 0) != 0;
  char cTaker[kNumberMax + 1], cNo[kNumberMax + 1];
  tw::JsonGetString("cTaker", body, cTaker, kNumberMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cNo", body, cNo, kNumberMax, tw::kJsonModeCodePage);
  StripQuotesAndTrim(cNo);

  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& slot = guard.slot();

  // ---- the source: not yet a record; a bag also received, audited and (for an operator with a
  // station) addressed to that station; the newest first ----
  const std::span<const SourceColumn> columns =
      source.bPreInput ? std::span<const SourceColumn>(kPreInputColumns) : std::span<const SourceColumn>(kBagColumns);
  std::string sql;
  if (source.bPreInput) {
    sql = SelectColumns(columns, "dorvane.dbo.rec_pre_input AS a INNER JOIN dorvane.dbo.client_arc AS b "
                                 "ON(a.icid=b.icid)") +
          "a.irid=0 AND " + (bNo ? "a.cno='" : "a.cnum='") + tw::SqlEscape(cNum) + "'";
    if (icid > 0) sql += StringPrintf(" AND a.icid=%d", icid);
    sql += " ORDER BY a.iid DESC LIMIT 1";
  } else {
    sql = SelectColumns(columns, "dorvane.dbo.rec_trans_bag AS a INNER JOIN dorvane.dbo.client_arc AS b "
                                 "ON(a.icid=b.icid)") +
          "a.irid=0 AND a.bget=1 AND a.nbstate=1 AND a.caud<>'' AND a.cnum='" + tw::SqlEscape(cNum) + "'";
    if (user.mcstation[0] != '\0') sql += " AND a.cstationr='" + tw::SqlEscape(user.mcstation) + "'";
    if (icid > 0) sql += StringPrintf(" AND a.icid=%d", icid);
    sql += " ORDER BY a.biid DESC LIMIT 1";
  }
  SourceRow s;
  {
    DbStatement st(slot.hDbc);
    if (!st.ok()) {
      WriteCode(pCtxt, kRcDbFailed);
      return;
    }
    BindSource(st, columns, s);
    if (!DbOk(st.ExecDirect(sql.c_str()))) {
      WriteLog(st.Diagnostic().c_str(), kLogCategory);
      WriteCode(pCtxt, kRcDbFailed);
      return;
    }
    if (!tw::pda::FetchRowOrReply(pCtxt, st, -2)) return;
  }

  // ---- kind and destination ----
  const char* kindText = bKindC && s.cemskindc[0] != '\0' ? s.cemskindc : s.cemskind;
  const CEmsKind* kind = g_OstrumContainer.LoadEmsKind(kindText, slot, kKindByCode);
  if (kind == nullptr) {
    char mess[128];
    std::snprintf(mess, sizeof mess, source.unknownKindText, kindText);
    tw::pda::WriteHandlerRefusal(pCtxt, slot, cNum, mess);
    return;
  }
  if (const PlaceRecord* place = FindDestination(s)) Copy(s.cdes, place->carea);

  // ---- goods lines into the goods summary (a source without lines keeps its own) ----
  std::vector<GoodsLine> lines;
  {
    const std::string goodsSql =
        source.bPreInput
            ? StringPrintf("SELECT cgoods,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate FROM "
                           "dorvane.dbo.rec_pre_input_goods WHERE iid=%d ORDER BY wpos",
                           s.id)
            : StringPrintf("SELECT a.cgoods,SUM(a.iquantity),a.fprice,a.cgoodsa,a.cgcodea,a.cgcodeb,a.cgcodec,"
                           "SUM(a.fgcustom),a.fgcrate FROM dorvane.dbo.rec_trans_goods AS a INNER JOIN "
                           "dorvane.dbo.rec_trans AS b ON(a.iid=b.iid) WHERE b.biid=%d GROUP BY a.cgoods,a.fprice,"
                           "a.cgoodsa,a.cgcodea,a.cgcodeb,a.cgcodec,a.fgcrate ORDER BY a.cgoods",
                           s.id);
    if (ReadGoodsLines(slot, goodsSql.c_str(), lines) < 0) {
      WriteCode(pCtxt, kRcDbFailed);
      return;
    }
  }
  if (!lines.empty()) {
    GoodsLine summary;
    JoinGoodsNames(lines, summary);
    Copy(s.cgoods, summary.cxGoods);
    Copy(s.cgoodsa, summary.cxGoodsA);
    Copy(s.cgcodea, summary.cxGCodeA);
    Copy(s.cgcodeb, summary.cxGCodeB);
    Copy(s.cgcodec, summary.cxGCodeC);
    s.iquantity = summary.ixQuantity;
    s.iprice = static_cast<int32_t>(tw::ScaleToInt(summary.fxPrice, kCents));
    s.fgcustom = summary.fxGCustom;
  }

  // ---- pieces, weight and price ----
  if (iItem < 1) iItem = s.iitem;
  PieceList pieces;
  const tw::entry::GoodsListText items = tw::entry::FindObjectList("ItemList", body);
  if (!items.list.empty()) ParsePieceItems(pieces, items.list);
  if (pieces.empty() && source.bPreInput) {
    const std::string stored = StringPrintf(
        "SELECT ilong,iwidth,iheight,iweight,npercent,cgoods,iquantity,iprice,cgoodsa,cgcodea,cgcodeb,cgcodec,"
        "fgcustom,fgcrate FROM dorvane.dbo.rec_pre_input_item WHERE iid=%d ORDER BY wpos ",
        s.id);
    if (tw::pda::ReadStoredPieces(slot, stored.c_str(), true, pieces) < 0) {
      WriteCode(pCtxt, kRcDbFailed);
      return;
    }
  }
  if (pieces.empty() && s.clwh[0] != '\0') {
    AddPieceFromDimensions(pieces, s.clwh, requestKg < kMinKg ? s.fweight : requestKg);
  }
  tw::pda::WeighOutcome w;
  tw::pda::WeighPieces(*kind, pieces, requestKg, s.fweight, w);
  std::string detail;
  if (pieces.size() > 1) {
    detail = tw::pda::BuildWeightDetailInsert(pieces, static_cast<size_t>(iItem), tw::pda::kRecordIdMarker);
  }

  tw::pda::RecordFees fees;
  fees.famount = s.famount;
  fees.faother = s.faother;
  fees.fapack = s.fapack;
  fees.fasafe = s.fasafe;
  fees.faget = s.faget;
  fees.faby = s.faby;
  fees.faremote = s.faremote;
  fees.facheck = s.facheck;
  tw::pda::RepriceQuery q;
  q.kind = kind;
  q.clientId = s.icid;
  q.origin = s.caddrfrom;
  q.destination = s.cdes;
  q.pieceCount = iItem;
  q.weightKg = w.weight;
  q.bActiveClient = s.ncs == 0;
  q.itemType = s.nitemtype;
  q.customsFlag = s.nlanguage;
  (void)tw::pda::PriceAgain(q, bPriceCalc, slot, fees);

  // ---- the record ----
  const char* serviceNo = std::strlen(cNo) >= kNumberMinLength ? cNo : source.bPreInput ? s.cno : "";
  const bool bNoRefer = s.crefer[0] == '\0' || std::strcmp(s.crefer, "EC") == 0;
  tw::pda::FastAddValues v;
  v.icid = s.icid;
  v.nitemtype = s.nitemtype;
  v.nlanguage = s.nlanguage;
  Copy(v.ddate, tw::pda::TodayDotted().c_str());
  v.npayway = s.npayway;
  v.cinput = user.mcname;
  v.cemskind = kind->cemskind;
  v.caddrfrom = s.caddrfrom;
  v.cdes = s.cdes;
  v.cnum = s.cnum;
  v.cserviceno = serviceNo;
  v.fweight = w.weight;
  v.famount = fees.famount;
  v.csender = s.csender;
  v.creceiver = s.creceiver;
  v.cphone = s.cphone;
  v.cunitname = s.cunitname;
  v.cpostcode = s.cpostcode;
  v.caddr = s.caddr;
  v.ccountry = s.ccountry;
  v.ccity = s.ccity;
  v.cprovince = s.cprovince;
  v.cmname = s.cmname;
  v.ctaker = cTaker;
  v.cmemo = s.cmemo;
  v.ireserve = source.bPreInput ? s.ireserve : 0;
  v.fweights = w.recordWeight;
  v.clwh = w.dims.c_str();
  v.fweightb = w.realKg;
  v.piid = s.id;
  v.fsprice = fees.fsprice;
  v.fsprices = fees.famount;
  v.fabase = fees.fabase;
  v.faaddon = fees.faaddon;
  v.facustom = fees.facustom;
  v.faother = fees.faother;
  v.faaddrate = fees.faaddrate;
  v.cgoods = s.cgoods;
  v.iquantity = s.iquantity;
  v.iprice = s.iprice;
  v.cpacking = s.cpacking;
  v.ctransnote = s.ctransnote;
  v.idvalue = s.idvalue;
  v.iivalue = s.iivalue;
  v.faget = s.faget;
  v.fasafe = s.fasafe;
  v.fapack = s.fapack;
  v.cmoney = s.cmoney;
  v.foprice = fees.foprice;
  v.csunitname = s.csunitname;
  v.csaddr = s.csaddr;
  v.csphone = s.csphone;
  v.cspostcode = s.cspostcode;
  v.cscountry = s.cscountry;
  v.csprovince = s.csprovince;
  v.cscity = s.cscity;
  v.cmark = s.cmark;
  v.cpaydir = s.cpaydir;
  v.corigin = s.corigin;
  v.iitem = iItem;
  v.weightDetail = detail;
  v.nfrom = source.bPreInput ? tw::pda::kSourcePreInput : tw::pda::kSourceTransferBag;
  v.fweighti = s.fweight;
  v.crno = !bNoRefer ? s.crefer : source.bPreInput ? s.crno : "";
  v.cstation = s.cstation;
  v.csmsnumber = s.csmsnumber;
  v.fgoods = s.fgoods;
  v.ccno = source.bPreInput ? s.ccno : "";
  v.cdepart = source.bPreInput ? s.cdepart : "";
  v.csemail = s.csemail;
  v.cremail = s.cremail;
  v.crsms = s.crsms;
  v.creserve = source.bPreInput ? s.creserve : "";
  v.cby1 = s.cby1;
  v.cby2 = s.cby2;
  v.cby3 = s.cby3;
  v.cby4 = s.cby4;
  v.cby5 = s.cby5;
  v.icubic = tw::pda::VolumeCm3(w.cubicMetres);
  v.iidr = s.iidr;
  v.iids = source.bPreInput ? s.iids : 0;
  v.iidi = source.bPreInput ? s.iidi : 0;
  v.cgoodsa = s.cgoodsa;
  v.cgcodea = s.cgcodea;
  v.cgcodeb = s.cgcodeb;
  v.cgcodec = s.cgcodec;
  v.fgcustom = s.fgcustom;
  v.fgcrate = s.fgcrate;
  v.facheck = s.facheck;
  v.faremote = s.faremote;
  v.faby = s.faby;
  v.fdiscount = fees.fdiscount;
  v.focustomc = fees.focustomc;

  int32_t result = 0;
  if (!tw::pda::CallIntProcedure(slot, tw::pda::BuildFastAddCall(v).c_str(), &result)) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  if (result < 1) {
    tw::pda::WriteProcedureRefusal(pCtxt, slot, result, cNum, ConversionRefusalText(result));
    return;
  }
  if (lines.size() > 1) {
    DbStatement goods(slot.hDbc);
    const std::string insert = tw::pda::BuildRecordGoodsInsert(lines, result);
    if (!goods.ok() || !DbOk(goods.ExecDirect(insert.c_str()))) {
      WriteLog(("goods rows of " + std::to_string(result) + ": " + goods.Diagnostic()).c_str(), kLogCategory);
    }
  }

  tw::OutBuf reply = tw::pda::OpenReply(slot);
  reply.AppendChar('{');
  CJsonFields(reply)
      .Int("ReturnValue", result)
      .Int("irID", result)
      .Str("cNum", s.cnum)
      .Str("cNo", serviceNo)
      .Str("cDes", s.cdes)
      .Str("cEmsKind", kind->cemskind)
      .Real("fWeight", w.weight, 3)
      .Int("nItemType", s.nitemtype)
      .Int("iItem", iItem)
      .Real("fAmount", fees.famount, 2);
  reply.AppendChar('}');
  tw::pda::SendReply(pCtxt, reply);
}

namespace tw::pda {

void OnPdaRecReWeightPre(const CRequest& rq) { ConvertSource(rq.pCtxt, rq.body, *rq.user, kPreInputSource); }

void OnPdaRecReWeightTrans(const CRequest& rq) { ConvertSource(rq.pCtxt, rq.body, *rq.user, kBagSource); }

}  // namespace tw::pda
