#include "services/internal/pre_input_record.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "carriers/carrier_choice.h"
#include "core/db.h"
#include "core/paging.h"
#include "pricing/field_check.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::entry {

namespace {

constexpr int kCents = 100;

// The column limits of what the record stores: numeric(14,2) money, numeric(12,3) weights,
// numeric(10,4) rates, and amounts kept in cents as 32-bit integers.
constexpr double kMoneyMax = 999999999999.99;
constexpr double kWeightMax = 999999999.999;
constexpr double kRateMax = 999999.9999;
constexpr int64_t kCentsMax = INT32_MAX;

constexpr char kBadNumber[] = "[%s]数值不合法";
constexpr char kBadText[] = "[%s]文字编码不合法";

// The option bytes of a pre-input shipment: twelve zero bytes.
constexpr char kOptionBytes[] = "'\\x000000000000000000000000'::bytea";

#define TW_TEXT_KEY(name, mode) \
  TextKey { #name, [](PreInputRecord& r) -> char* { return r.name; }, sizeof(PreInputRecord::name) - 1, mode }

// The numbers hold 32 bytes for the numbering; a request's number is read at most 30 long.
constexpr size_t kNumberMax = 30;

constexpr TextKey kTextKeys[] = {
    TextKey{"cNum", [](PreInputRecord& r) -> char* { return r.cNum; }, kNumberMax, tw::kJsonModeCodePage},
    TW_TEXT_KEY(cEmsKind, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cDes, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cAddrFrom, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cReceiver, tw::kJsonModeTable),
    TW_TEXT_KEY(cRUnit, tw::kJsonModeTable),
    TW_TEXT_KEY(cRAddr, tw::kJsonModeTable),
    TW_TEXT_KEY(cRCity, tw::kJsonModeTable),
    TW_TEXT_KEY(cRCountry, tw::kJsonModeTable),
    TW_TEXT_KEY(cRProvince, tw::kJsonModeTable),
    TW_TEXT_KEY(cRPostcode, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cRPhone, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cREMail, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cRSms, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSender, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cDepart, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSUnit, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSAddr, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSCity, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSCountry, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSPhone, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSEMail, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSPostcode, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSProvince, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cSSms, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cMark, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cPacking, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cEmsKindc, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cEmsKindw, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cPrintCode, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cMemo, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cGoods, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cGoodsA, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cBy5, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cReserve, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cBy1, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cBy2, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cBy3, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cBy4, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cMoney, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cPayDir, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cOrigin, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cGCodeA, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cGCodeB, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cGCodeC, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cTransNote, tw::kJsonModeCodePage),
    TextKey{"cNo", [](PreInputRecord& r) -> char* { return r.cNo; }, kNumberMax, tw::kJsonModeCodePage},
    TW_TEXT_KEY(cRNo, tw::kJsonModeCodePage),
    TW_TEXT_KEY(cCNo, tw::kJsonModeCodePage),
};

#undef TW_TEXT_KEY

struct IntKey {
  const char* key;
  int32_t PreInputRecord::*field;
  int32_t def;
};

constexpr IntKey kIntKeys[] = {
    {"iID", &PreInputRecord::iID, 0},           {"nItemType", &PreInputRecord::nItemType, 1},
    {"nLanguage", &PreInputRecord::nLanguage, 0}, {"iLong", &PreInputRecord::iLong, 0},
    {"iWidth", &PreInputRecord::iWidth, 0},     {"iHeight", &PreInputRecord::iHeight, 0},
    {"iItem", &PreInputRecord::iItem, 1},       {"nPayWay", &PreInputRecord::nPayWay, 0},
    {"iReserve", &PreInputRecord::iReserve, 0}, {"iQuantity", &PreInputRecord::iQuantity, 1},
};

// A real key and the largest value its column keeps (kept in cents when `cents`).
struct RealKey {
  const char* key;
  double PreInputRecord::*field;
  double max;
  bool cents;
};

constexpr RealKey kRealKeys[] = {
    {"fWeight", &PreInputRecord::fWeight, kWeightMax, false},
    {"fAmount", &PreInputRecord::fAmount, kMoneyMax, false},
    {"fPrice", &PreInputRecord::fPrice, 0, true},
    {"fGoods", &PreInputRecord::fGoods, kMoneyMax, false},
    {"fGoodsc", &PreInputRecord::fGoodsc, kMoneyMax, false},
    {"fDValue", &PreInputRecord::fDValue, 0, true},
    {"fIValue", &PreInputRecord::fIValue, 0, true},
    {"fGCustom", &PreInputRecord::fGCustom, kMoneyMax, false},
    {"fGCRate", &PreInputRecord::fGCRate, kRateMax, false},
    {"faGet", &PreInputRecord::faGet, kMoneyMax, false},
    {"faSafe", &PreInputRecord::faSafe, kMoneyMax, false},
    {"faPack", &PreInputRecord::faPack, kMoneyMax, false},
    {"faOther", &PreInputRecord::faOther, kMoneyMax, false},
    {"faCheck", &PreInputRecord::faCheck, kMoneyMax, false},
    {"faRemote", &PreInputRecord::faRemote, kMoneyMax, false},
    {"faBy", &PreInputRecord::faBy, kMoneyMax, false},
};

// The field checks of the texts, in their order.
constexpr const char* kLengthChecks[] = {
    "cReceiver", "cRUnit",   "cRAddr",    "cRCity",   "cRPostcode", "cRProvince", "cRCountry", "cRPhone",
    "cREMail",   "cRSms",    "cSender",   "cSUnit",   "cSAddr",     "cSCity",     "cSPostcode", "cSProvince",
    "cSCountry", "cSPhone",  "cSEMail",   "cSSms",    "cGoods",     "cGoodsA",    "cGCodeA",   "cGCodeB",
    "cGCodeC",   "cOrigin",  "cMoney",    "cPacking", "cTransNote", "cReserve",   "cRNo",      "cCNo",
    "cBy1",      "cBy2",     "cBy3",      "cBy4",     "cBy5",
};
constexpr const char* kRealChecks[] = {"fGoods", "fDValue", "fIValue", "fPrice", "fWeight"};

double RealOf(const PreInputRecord& r, const char* key) {
  for (const RealKey& k : kRealKeys) {
    if (std::strcmp(k.key, key) == 0) return r.*k.field;
  }
  return 0;
}

// Whether a real fits its column: finite, and within the column's range (or, in cents, within a
// 32-bit integer).
bool Storable(double value, double max, bool cents) {
  if (!std::isfinite(value)) return false;
  if (cents) {
    const int64_t c = tw::ScaleToInt(value, kCents);
    return c <= kCentsMax && c >= -kCentsMax;
  }
  return std::fabs(value) <= max;
}

int Refuse(char* message, size_t messageSize, const char* format, const char* key) {
  std::snprintf(message, messageSize, format, key);
  return 1;
}

std::string Sql(const char* text) { return tw::SqlEscape(text); }

}  // namespace

std::span<const TextKey> TextKeys() { return kTextKeys; }

const char* TextOf(const PreInputRecord& r, const char* key) {
  for (const TextKey& k : kTextKeys) {
    if (std::strcmp(k.key, key) == 0) return k.field(const_cast<PreInputRecord&>(r));
  }
  return "";
}

void ReadRecord(std::string_view text, PreInputRecord& r) {
  for (const IntKey& k : kIntKeys) r.*k.field = tw::JsonGetInt(k.key, text, k.def);
  for (const RealKey& k : kRealKeys) r.*k.field = tw::JsonGetDouble(k.key, text, 0);
  for (const TextKey& k : kTextKeys) tw::JsonGetString(k.key, text, k.field(r), k.max, k.mode);
}

void FoldGoodsLines(PreInputRecord& r) {
  if (r.cGoods[0] != '\0' || r.goods.empty()) return;
  double totalValue = 0, totalCustom = 0;
  for (const GoodsLine& line : r.goods) {
    totalValue += line.ixQuantity * line.fxPrice;
    totalCustom += line.fxGCustom;
  }
  const GoodsLine& first = r.goods.front();
  if (r.goods.size() == 1) {
    r.iQuantity = first.ixQuantity;
    r.fPrice = first.fxPrice;
  } else {
    r.iQuantity = 1;
    r.fPrice = totalValue;
  }
  r.fDValue = totalValue;
  r.fGCustom = totalCustom;
  r.fGCRate = first.fxGCRate;
  CopyText(r.cGoods, first.cxGoods);
  CopyText(r.cGoodsA, first.cxGoodsA);
  CopyText(r.cGCodeA, first.cxGCodeA);
  CopyText(r.cGCodeB, first.cxGCodeB);
  CopyText(r.cGCodeC, first.cxGCodeC);
  r.bGoodsFromLines = true;
}

int CheckFields(const PreInputRecord& r, const CFieldCheckList& checks, char* message, size_t messageSize) {
  for (const char* key : kLengthChecks) {
    if (checks.CheckLength(key, TextOf(r, key), message, messageSize) != 0) return 1;
  }
  if (checks.CheckInt("iQuantity", r.iQuantity, message, messageSize) != 0) return 1;
  for (const char* key : kRealChecks) {
    if (checks.CheckReal(key, RealOf(r, key), message, messageSize) != 0) return 1;
  }
  return 0;
}

void Normalize(PreInputRecord& r) {
  auto within = [](int32_t v) { return v >= 0 && v <= 2; };
  if (!within(r.nItemType)) r.nItemType = 1;
  if (!within(r.nLanguage)) r.nLanguage = 0;
  if (!within(r.nPayWay)) r.nPayWay = 0;
  if (r.iItem < 1) r.iItem = 1;
  if (r.iReserve < 0) r.iReserve = 0;
  if (r.iQuantity < 0) r.iQuantity = 0;
  for (double* v : {&r.fWeight, &r.fPrice, &r.fGoods, &r.fGoodsc, &r.fDValue, &r.fIValue, &r.fGCustom, &r.fGCRate}) {
    if (*v < 0) *v = 0;
  }
}

int CheckStorable(const PreInputRecord& r, char* message, size_t messageSize) {
  for (const RealKey& k : kRealKeys) {
    if (!Storable(r.*k.field, k.max, k.cents)) return Refuse(message, messageSize, kBadNumber, k.key);
  }
  for (const GoodsLine& line : r.goods) {
    if (!Storable(line.fxPrice, kMoneyMax, false)) return Refuse(message, messageSize, kBadNumber, "fxPrice");
    if (!Storable(line.fxGCustom, kMoneyMax, false)) return Refuse(message, messageSize, kBadNumber, "fxGCustom");
    if (!Storable(line.fxGCRate, kRateMax, false)) return Refuse(message, messageSize, kBadNumber, "fxGCRate");
  }
  for (const TextKey& k : kTextKeys) {
    if (!IsGbkText(k.field(const_cast<PreInputRecord&>(r)))) return Refuse(message, messageSize, kBadText, k.key);
  }
  for (const GoodsLine& line : r.goods) {
    const std::pair<const char*, const char*> texts[] = {{"cxGoods", line.cxGoods},
                                                         {"cxGoodsA", line.cxGoodsA},
                                                         {"cxGCodeA", line.cxGCodeA},
                                                         {"cxGCodeB", line.cxGCodeB},
                                                         {"cxGCodeC", line.cxGCodeC}};
    for (const auto& [key, text] : texts) {
      if (!IsGbkText(text)) return Refuse(message, messageSize, kBadText, key);
    }
  }
  return 0;
}

bool StoresGoodsRows(const PreInputRecord& r) {
  return r.goods.size() > 1 || (r.goods.size() == 1 && !r.bGoodsFromLines);
}

std::string BuildSetCall(const PreInputRecord& r, int32_t clientId, const unsigned char address[4]) {
  return StringPrintf(
      "{?=CALL dorvane.dbo.cp_rec_pre_input_set(%d,%d,%d,%d,'%s','%s',%.3f,%.2f,'%s','%s','%s','%s','%s','%s','%s',"
      "'%s',0,'%s','%s','%s','',%d,'%s','%d*%d*%d',%d,%.2f,%.2f,'%s',%d,%lld,'%s','%s','%s',%lld,%lld,1,%s,%s,'%s',"
      "'%s','%s','%s','%s','%s','%s','%s','CN','%s','%s','%s','%s','%s','%s','%s','%s','%s','%s',%d,'','%s','%s',"
      "'%s','%s','%s','%s','%s','%s','%s',%.2f,%.4f,'%s','%s',%.2f,%.2f,%.2f,%.2f,%.2f,%.2f,%.2f)}",
      r.iID, clientId, r.nItemType, r.nLanguage, Sql(r.cEmsKind).c_str(), Sql(r.cDes).c_str(), r.fWeight, r.fAmount,
      Sql(r.cRUnit).c_str(), Sql(r.cRAddr).c_str(), Sql(r.cRCity).c_str(), Sql(r.cRPostcode).c_str(),
      Sql(r.cRProvince).c_str(), Sql(r.cRCountry).c_str(), Sql(r.cReceiver).c_str(), Sql(r.cRPhone).c_str(),
      Sql(r.cMemo).c_str(), Sql(r.cNum).c_str(), Sql(r.cRNo).c_str(), r.nPayWay, Sql(r.cSender).c_str(), r.iLong,
      r.iWidth, r.iHeight, r.iItem, r.fGoods, r.fGoodsc, Sql(r.cGoods).c_str(), r.iQuantity,
      static_cast<long long>(tw::ScaleToInt(r.fPrice, kCents)), Sql(r.cMoney).c_str(), Sql(r.cPacking).c_str(),
      Sql(r.cTransNote).c_str(), static_cast<long long>(tw::ScaleToInt(r.fDValue, kCents)),
      static_cast<long long>(tw::ScaleToInt(r.fIValue, kCents)), AddressLiteral(address).c_str(), kOptionBytes,
      Sql(r.cSUnit).c_str(), Sql(r.cSAddr).c_str(), Sql(r.cSPhone).c_str(), Sql(r.cSPostcode).c_str(),
      Sql(r.cSCountry).c_str(), Sql(r.cSProvince).c_str(), Sql(r.cSCity).c_str(), Sql(r.cPayDir).c_str(),
      Sql(r.cSSms).c_str(), Sql(r.cSEMail).c_str(), Sql(r.cREMail).c_str(), Sql(r.cRSms).c_str(),
      Sql(r.cMark).c_str(), Sql(r.cDepart).c_str(), Sql(r.cNo).c_str(), Sql(r.cRNo).c_str(), Sql(r.cCNo).c_str(),
      Sql(r.cReserve).c_str(), r.iReserve, Sql(r.cBy1).c_str(), Sql(r.cBy2).c_str(), Sql(r.cBy3).c_str(),
      Sql(r.cBy4).c_str(), Sql(r.cBy5).c_str(), Sql(r.cGoodsA).c_str(), Sql(r.cGCodeA).c_str(),
      Sql(r.cGCodeB).c_str(), Sql(r.cGCodeC).c_str(), r.fGCustom, r.fGCRate, Sql(r.cEmsKindc).c_str(),
      Sql(r.cEmsKindw).c_str(), r.faGet, r.faSafe, r.faPack, r.faOther, r.faCheck, r.faRemote, r.faBy);
}

std::string BuildGoodsInsert(std::span<const GoodsLine> lines, int32_t iid, const char* table) {
  std::string sql = StringPrintf(
      "INSERT INTO %s(wpos,iid,cgoods,cunit,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate) ",
      table);
  for (size_t i = 0; i < lines.size(); ++i) {
    const GoodsLine& g = lines[i];
    sql += StringPrintf("%s select %d,%d,'%s','',%d,%.2f,'%s','%s','%s','%s',%.2f,%.4f ", i == 0 ? "" : " union all",
                        static_cast<int>(i), iid, Sql(g.cxGoods).c_str(), g.ixQuantity, g.fxPrice,
                        Sql(g.cxGoodsA).c_str(), Sql(g.cxGCodeA).c_str(), Sql(g.cxGCodeB).c_str(),
                        Sql(g.cxGCodeC).c_str(), g.fxGCustom, g.fxGCRate);
  }
  return sql;
}

void FillCarrierShipment(const PreInputRecord& r, int32_t clientId, CarrierShipment& s) {
  constexpr double kWeightFloor = 0.001, kCarrierWeight = 0.5;
  constexpr double kPriceFloor = 0.01, kCarrierPrice = 1.0;
  s.clientId = clientId;
  s.weight = r.fWeight < kWeightFloor ? kCarrierWeight : r.fWeight;
  s.quantity = r.iQuantity < 1 ? 1 : r.iQuantity;
  s.unitPrice = r.fPrice < kPriceFloor ? kCarrierPrice : r.fPrice;
  s.pieces = 1;
  s.declaredValue = r.fDValue;
  CopyText(s.kind, r.cEmsKind);
  CopyText(s.destination, r.cDes);
  CopyText(s.postcode, r.cRPostcode);
  CopyText(s.receiver, r.cReceiver);
  CopyText(s.address, r.cRAddr);
  CopyText(s.company, r.cRUnit);
  CopyText(s.city, r.cRCity);
  CopyText(s.province, r.cRProvince);
  CopyText(s.country, r.cRCountry);
  CopyText(s.phone, r.cRPhone);
  CopyText(s.email, r.cREMail);
  CopyText(s.sms, r.cRSms);
  CopyText(s.transNote, r.cTransNote);
  CopyText(s.internalNumber, r.cNum);
  CopyText(s.printCode, r.cPrintCode);
  if (r.iLong > 0 && r.iWidth > 0 && r.iHeight > 0) {
    std::snprintf(s.dimensions, sizeof s.dimensions, "%u*%u*%u", static_cast<unsigned>(r.iLong),
                  static_cast<unsigned>(r.iWidth), static_cast<unsigned>(r.iHeight));
  }
  if (!r.goods.empty()) {
    const GoodsLine& first = r.goods.front();
    CopyText(s.goods, first.cxGoods);
    CopyText(s.goodsA, first.cxGoodsA);
    CopyText(s.goodsCodeA, first.cxGCodeA);
  } else {
    CopyText(s.goods, r.cGoods);
    CopyText(s.goodsA, r.cGoodsA);
    CopyText(s.goodsCodeA, r.cGCodeA);
  }
}

}  // namespace tw::entry
