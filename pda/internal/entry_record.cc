#include "pda/internal/entry_record.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "pricing/field_check.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::pda {

namespace {

// A request's numbers are read at most 30 long.
constexpr size_t kNumberMax = 30;

// The largest amounts the record's columns keep: numeric(14,2) money, numeric(12,3) weights,
// numeric(10,4) rates, and values kept in cents as 32-bit integers.
constexpr double kMoneyMax = 999999999999.99;
constexpr double kWeightMax = 999999999.999;
constexpr double kRateMax = 999999.9999;
constexpr double kCentsMaxYuan = 21474836.47;

constexpr char kBadNumber[] = "[%s]数值不合法";

struct TextKey {
  const char* key;
  char* (*field)(PdaEntryRecord&);
  size_t max;
  int mode;
};

#define TW_TEXT_KEY(name, mode) \
  TextKey { #name, [](PdaEntryRecord& r) -> char* { return r.name; }, sizeof(PdaEntryRecord::name) - 1, mode }

constexpr int kPlain = tw::kJsonModeCodePage;
constexpr int kTable = tw::kJsonModeTable;

// In reading order; cNum is read on its own before these.
constexpr TextKey kTextKeys[] = {
    TW_TEXT_KEY(cEmsKind, kPlain),   TW_TEXT_KEY(cDes, kPlain),       TW_TEXT_KEY(cAddrFrom, kPlain),
    TW_TEXT_KEY(cReceiver, kTable),  TW_TEXT_KEY(cRUnit, kTable),     TW_TEXT_KEY(cRAddr, kTable),
    TW_TEXT_KEY(cRCity, kTable),     TW_TEXT_KEY(cRCountry, kTable),  TW_TEXT_KEY(cRProvince, kTable),
    TW_TEXT_KEY(cRPostcode, kPlain), TW_TEXT_KEY(cRPhone, kPlain),    TW_TEXT_KEY(cREMail, kPlain),
    TW_TEXT_KEY(cRSms, kPlain),      TW_TEXT_KEY(cSender, kPlain),    TW_TEXT_KEY(cSUnit, kPlain),
    TW_TEXT_KEY(cSAddr, kPlain),     TW_TEXT_KEY(cSCity, kPlain),     TW_TEXT_KEY(cSCountry, kPlain),
    TW_TEXT_KEY(cSPhone, kPlain),    TW_TEXT_KEY(cSEMail, kPlain),    TW_TEXT_KEY(cSPostcode, kPlain),
    TW_TEXT_KEY(cSProvince, kPlain), TW_TEXT_KEY(cSSms, kPlain),      TW_TEXT_KEY(cDepart, kPlain),
    TW_TEXT_KEY(cMark, kPlain),      TW_TEXT_KEY(cMemo, kPlain),      TW_TEXT_KEY(cReserve, kPlain),
    TW_TEXT_KEY(cBy1, kPlain),       TW_TEXT_KEY(cBy2, kPlain),       TW_TEXT_KEY(cBy3, kPlain),
    TW_TEXT_KEY(cBy4, kPlain),       TW_TEXT_KEY(cBy5, kPlain),       TW_TEXT_KEY(cGoods, kPlain),
    TW_TEXT_KEY(cGoodsA, kPlain),    TW_TEXT_KEY(cMoney, kPlain),     TW_TEXT_KEY(cPayDir, kPlain),
    TW_TEXT_KEY(cOrigin, kPlain),    TW_TEXT_KEY(cGCodeA, kPlain),    TW_TEXT_KEY(cGCodeB, kPlain),
    TW_TEXT_KEY(cGCodeC, kPlain),    TW_TEXT_KEY(cPacking, kPlain),   TW_TEXT_KEY(cTransNote, kPlain),
    TextKey{"cNo", [](PdaEntryRecord& r) -> char* { return r.cNo; }, kNumberMax, kPlain},
    TW_TEXT_KEY(cRNo, kPlain),       TW_TEXT_KEY(cCNo, kPlain),       TW_TEXT_KEY(cPrintCode, kPlain),
    TW_TEXT_KEY(cMName, kPlain),     TW_TEXT_KEY(cTaker, kPlain),     TW_TEXT_KEY(cStation, kPlain),
};

#undef TW_TEXT_KEY

const char* TextOf(const PdaEntryRecord& r, const char* key) {
  for (const TextKey& k : kTextKeys) {
    if (std::strcmp(k.key, key) == 0) return k.field(const_cast<PdaEntryRecord&>(r));
  }
  return "";
}

struct RealKey {
  const char* key;
  double PdaEntryRecord::*field;
  double max;
};

constexpr RealKey kRealKeys[] = {
    {"fWeight", &PdaEntryRecord::fWeight, kWeightMax},   {"fAmount", &PdaEntryRecord::fAmount, kMoneyMax},
    {"fPrice", &PdaEntryRecord::fPrice, kCentsMaxYuan},  {"fGoods", &PdaEntryRecord::fGoods, kMoneyMax},
    {"fDValue", &PdaEntryRecord::fDValue, kCentsMaxYuan}, {"fIValue", &PdaEntryRecord::fIValue, kCentsMaxYuan},
    {"fGCustom", &PdaEntryRecord::fGCustom, kMoneyMax}, {"fGCRate", &PdaEntryRecord::fGCRate, kRateMax},
    {"faGet", &PdaEntryRecord::faGet, kMoneyMax},       {"faSafe", &PdaEntryRecord::faSafe, kMoneyMax},
    {"faPack", &PdaEntryRecord::faPack, kMoneyMax},     {"faOther", &PdaEntryRecord::faOther, kMoneyMax},
    {"faCheck", &PdaEntryRecord::faCheck, kMoneyMax},   {"faRemote", &PdaEntryRecord::faRemote, kMoneyMax},
    {"faBy", &PdaEntryRecord::faBy, kMoneyMax},
};

constexpr const char* kLengthChecks[] = {
    "cReceiver", "cRUnit",  "cRAddr",   "cRCity",   "cRPostcode", "cRProvince", "cRCountry", "cRPhone",
    "cREMail",   "cRSms",   "cSender",  "cSUnit",   "cSAddr",     "cSCity",     "cSPostcode", "cSProvince",
    "cSCountry", "cSPhone", "cSEMail",  "cSSms",    "cGoods",     "cGoodsA",    "cGCodeA",   "cGCodeB",
    "cGCodeC",   "cOrigin", "cMoney",   "cPacking", "cTransNote", "cReserve",   "cRNo",      "cCNo",
    "cBy1",      "cBy2",    "cBy3",     "cBy4",     "cBy5",
};

struct RealValue {
  const char* key;
  double value;
  double max;
};

bool Keepable(double value, double max) { return std::isfinite(value) && std::fabs(value) <= max; }

}  // namespace

void ReadEntryNumbers(std::string_view text, PdaEntryRecord& r) {
  r.bPriceCalc = tw::JsonGetBool("bPriceCalc", text, 0);
  r.irID = tw::JsonGetInt("irID", text, 0);
  r.nItemType = tw::JsonGetInt("nItemType", text, 1);
  r.nLanguage = tw::JsonGetInt("nLanguage", text, 0);
  r.iLong = tw::JsonGetInt("iLong", text, 0);
  r.iWidth = tw::JsonGetInt("iWidth", text, 0);
  r.iHeight = tw::JsonGetInt("iHeight", text, 0);
  r.iItem = tw::JsonGetInt("iItem", text, 1);
  if (r.iItem < 1) r.iItem = 1;
  r.nPayWay = tw::JsonGetInt("nPayWay", text, 0);
  r.iReserve = tw::JsonGetInt("iReserve", text, 0);
  r.iQuantity = tw::JsonGetInt("iQuantity", text, 1);
  for (const RealKey& k : kRealKeys) r.*k.field = tw::JsonGetDouble(k.key, text, 0);
}

void ReadEntryNumber(std::string_view text, PdaEntryRecord& r) {
  tw::JsonGetString("cNum", text, r.cNum, kNumberMax, kPlain);
}

void ReadEntryTexts(std::string_view text, PdaEntryRecord& r) {
  for (const TextKey& k : kTextKeys) tw::JsonGetString(k.key, text, k.field(r), k.max, k.mode);
}

void FoldEntryGoods(PdaEntryRecord& r) {
  if (r.cGoods[0] != '\0' || r.goods.empty()) return;
  int64_t quantity = 0;
  double value = 0, customs = 0;
  for (const GoodsLine& g : r.goods) {
    quantity += g.ixQuantity;
    value += g.ixQuantity * g.fxPrice;
    customs += g.fxGCustom;
  }
  if (quantity <= 0) return;
  const GoodsLine& first = r.goods.front();
  if (r.goods.size() == 1) {
    r.fPrice = first.fxPrice;
    r.iQuantity = first.ixQuantity;
  } else {
    r.fPrice = value;
    r.iQuantity = 1;
  }
  r.fDValue = value;
  r.fGCustom = customs;
  r.fGCRate = first.fxGCRate;
  tw::CopyTextLimited(r.cGoods, first.cxGoods, sizeof r.cGoods - 1);
  tw::CopyTextLimited(r.cGoodsA, first.cxGoodsA, sizeof r.cGoodsA - 1);
  tw::CopyTextLimited(r.cGCodeA, first.cxGCodeA, sizeof r.cGCodeA - 1);
  tw::CopyTextLimited(r.cGCodeB, first.cxGCodeB, sizeof r.cGCodeB - 1);
  tw::CopyTextLimited(r.cGCodeC, first.cxGCodeC, sizeof r.cGCodeC - 1);
}

int CheckEntryFields(const PdaEntryRecord& r, const CFieldCheckList& checks, char* message, size_t messageSize) {
  for (const char* key : kLengthChecks) {
    if (checks.CheckLength(key, TextOf(r, key), message, messageSize) != 0) return 1;
  }
  if (checks.CheckInt("iQuantity", r.iQuantity, message, messageSize) != 0) return 1;
  const std::pair<const char*, double> reals[] = {
      {"fGoods", r.fGoods}, {"fDValue", r.fDValue}, {"fIValue", r.fIValue}, {"fPrice", r.fPrice},
      {"fWeight", r.fWeight}};
  for (const auto& [key, value] : reals) {
    if (checks.CheckReal(key, value, message, messageSize) != 0) return 1;
  }
  for (const RealKey& k : kRealKeys) {
    if (!Keepable(r.*k.field, k.max)) {
      std::snprintf(message, messageSize, kBadNumber, k.key);
      return 1;
    }
  }
  for (const GoodsLine& g : r.goods) {
    const RealValue line[] = {
        {"fxPrice", g.fxPrice, kMoneyMax}, {"fxGCustom", g.fxGCustom, kMoneyMax}, {"fxGCRate", g.fxGCRate, kRateMax}};
    for (const RealValue& v : line) {
      if (!Keepable(v.value, v.max)) {
        std::snprintf(message, messageSize, kBadNumber, v.key);
        return 1;
      }
    }
  }
  return 0;
}

void ClampEntry(PdaEntryRecord& r) {
  auto within = [](int32_t v) { return v >= 0 && v <= 2; };
  if (!within(r.nItemType)) r.nItemType = 1;
  if (!within(r.nLanguage)) r.nLanguage = 0;
  if (!within(r.nPayWay)) r.nPayWay = 0;
  if (r.iReserve < 0) r.iReserve = 0;
  if (r.iQuantity < 0) r.iQuantity = 0;
  for (double* v : {&r.fWeight, &r.fPrice, &r.fGoods, &r.fDValue, &r.fIValue, &r.fGCustom, &r.fGCRate}) {
    if (*v < 0) *v = 0;
  }
}

}  // namespace tw::pda
