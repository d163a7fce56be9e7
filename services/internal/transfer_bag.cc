#include "services/internal/transfer_bag.h"

#include "core/db.h"
#include "services/internal/transfer_record.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"

namespace tw::entry {

namespace {

constexpr int kCents = 100;
constexpr char kZeroBytes[] = "'\\x000000000000000000000000'::bytea";
// A "TransNums" item is read raw at most this long before it is decoded.
constexpr size_t kRawNumberMax = 4 * kTransferNumberMax;

struct IntKey {
  const char* key;
  int32_t TransferBag::*field;
};
constexpr IntKey kIntKeys[] = {
    {"nItemType", &TransferBag::nItemType}, {"nLanguage", &TransferBag::nLanguage}, {"iLong", &TransferBag::iLong},
    {"iWidth", &TransferBag::iWidth},       {"iHeight", &TransferBag::iHeight},     {"iItem", &TransferBag::iItem},
    {"nPayWay", &TransferBag::nPayWay},     {"iQuantity", &TransferBag::iQuantity},
};

struct RealKey {
  const char* key;
  double TransferBag::*field;
};
constexpr RealKey kRealKeys[] = {
    {"fWeight", &TransferBag::fWeight}, {"fPrice", &TransferBag::fPrice},     {"fGoods", &TransferBag::fGoods},
    {"fGoodsc", &TransferBag::fGoodsc}, {"fDValue", &TransferBag::fDValue},   {"fIValue", &TransferBag::fIValue},
    {"fGCustom", &TransferBag::fGCustom}, {"fGCRate", &TransferBag::fGCRate},
};

struct TextKey {
  const char* key;
  char* (*field)(TransferBag&);
  size_t max;
};
#define TW_TEXT_KEY(name, member) {name, [](TransferBag& b) { return b.member; }, sizeof(TransferBag::member) - 1}
const TextKey kTextKeys[] = {
    TW_TEXT_KEY("cNum", cNum),           TW_TEXT_KEY("cEmsKind", cEmsKind),     TW_TEXT_KEY("cDes", cDes),
    TW_TEXT_KEY("cAddrFrom", cAddrFrom), TW_TEXT_KEY("cReceiver", cReceiver),   TW_TEXT_KEY("cRUnit", cRUnit),
    TW_TEXT_KEY("cRAddr", cRAddr),       TW_TEXT_KEY("cRCity", cRCity),         TW_TEXT_KEY("cRCountry", cRCountry),
    TW_TEXT_KEY("cRProvince", cRProvince), TW_TEXT_KEY("cRPhone", cRPhone),     TW_TEXT_KEY("cREMail", cREMail),
    TW_TEXT_KEY("cRPostcode", cRPostcode), TW_TEXT_KEY("cRSms", cRSms),         TW_TEXT_KEY("cRNo", cRNo),
    TW_TEXT_KEY("cSender", cSender),     TW_TEXT_KEY("cSUnit", cSUnit),         TW_TEXT_KEY("cSAddr", cSAddr),
    TW_TEXT_KEY("cSCity", cSCity),       TW_TEXT_KEY("cSCountry", cSCountry),   TW_TEXT_KEY("cSPhone", cSPhone),
    TW_TEXT_KEY("cSEMail", cSEMail),     TW_TEXT_KEY("cSPostcode", cSPostcode), TW_TEXT_KEY("cSProvince", cSProvince),
    TW_TEXT_KEY("cSSms", cSSms),         TW_TEXT_KEY("cMark", cMark),           TW_TEXT_KEY("cMemo", cMemo),
    TW_TEXT_KEY("cBy1", cBy1),           TW_TEXT_KEY("cBy2", cBy2),             TW_TEXT_KEY("cBy3", cBy3),
    TW_TEXT_KEY("cBy4", cBy4),           TW_TEXT_KEY("cBy5", cBy5),             TW_TEXT_KEY("cGoods", cGoods),
    TW_TEXT_KEY("cGoodsA", cGoodsA),     TW_TEXT_KEY("cMoney", cMoney),         TW_TEXT_KEY("cPayDir", cPayDir),
    TW_TEXT_KEY("cOrigin", cOrigin),     TW_TEXT_KEY("cGCodeA", cGCodeA),       TW_TEXT_KEY("cGCodeB", cGCodeB),
    TW_TEXT_KEY("cGCodeC", cGCodeC),     TW_TEXT_KEY("cPacking", cPacking),     TW_TEXT_KEY("cTransNote", cTransNote),
    TW_TEXT_KEY("cStation", cStation),
};
#undef TW_TEXT_KEY

std::string Sql(const char* text) { return tw::SqlEscape(text); }
long long Cents(double value) { return static_cast<long long>(tw::ScaleToInt(value, kCents)); }

}  // namespace

std::vector<std::string> ReadTransferNumbers(std::string_view body) {
  std::vector<std::string> raw, numbers;
  tw::JsonGetStringArray("TransNums", body, raw, 1, kRawNumberMax);
  for (const std::string& item : raw) {
    char text[kTransferNumberMax + 2];
    // One byte more than a number may have tells a longer item from a number of 30 characters.
    const size_t n = tw::JsonUnescape(item, text, kTransferNumberMax + 1, tw::kJsonModeCodePage);
    if (n >= kTransferNumberMin && n <= kTransferNumberMax) numbers.emplace_back(text, n);
  }
  return numbers;
}

void ReadTransferBag(std::string_view body, TransferBag& bag) {
  for (const IntKey& k : kIntKeys) bag.*k.field = tw::JsonGetInt(k.key, body, 0);
  for (const RealKey& k : kRealKeys) bag.*k.field = tw::JsonGetDouble(k.key, body, 0);
  for (const TextKey& k : kTextKeys) tw::JsonGetString(k.key, body, k.field(bag), k.max, tw::kJsonModeCodePage);
}

std::string BuildBagCheckSql(int32_t clientId, std::span<const std::string> numbers) {
  std::string sql =
      StringPrintf("SELECT iid,cf_num FROM dorvane.dbo.rec_trans WHERE icid=%d AND biid=0 AND cf_num IN(", clientId);
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) sql += ',';
    sql += '\'';
    sql += Sql(numbers[i].c_str());
    sql += '\'';
  }
  sql += ')';
  return sql;
}

std::string BuildBagSetCall(const TransferBag& b, int32_t clientId, std::span<const int32_t> ids,
                            const unsigned char address[4], const char* localTime) {
  std::string call = StringPrintf(
      "{?=CALL dorvane.dbo.cp_rec_trans_bag_set(0,%d,%d,%d,'%s','%s',%.3f,0.0,'%s','%s','%s','%s','%s','%s','%s','%s',"
      "'%s',0,'%s','%s','%s','%s',%d,'%s','%d*%d*%d',%d,%.2f,%.2f,'%s',%d,%lld,'%s','%s','%s',%lld,%lld,1,%s,%s,'%s',"
      "'%s','%s','%s','%s','%s','%s','%s','CN','%s','",
      clientId, b.nItemType, b.nLanguage, Sql(b.cEmsKind).c_str(), Sql(b.cDes).c_str(), b.fWeight,
      Sql(localTime).c_str(), Sql(b.cRUnit).c_str(), Sql(b.cRAddr).c_str(), Sql(b.cRCity).c_str(),
      Sql(b.cRPostcode).c_str(), Sql(b.cRProvince).c_str(), Sql(b.cRCountry).c_str(), Sql(b.cReceiver).c_str(),
      Sql(b.cRPhone).c_str(), Sql(b.cMemo).c_str(), Sql(b.cNum).c_str(), Sql(b.cRNo).c_str(),
      Sql(b.cAddrFrom).c_str(), b.nPayWay, Sql(b.cSender).c_str(), b.iLong, b.iWidth, b.iHeight, b.iItem, b.fGoods,
      b.fGoodsc, Sql(b.cGoods).c_str(), b.iQuantity, Cents(b.fPrice), Sql(b.cMoney).c_str(), Sql(b.cPacking).c_str(),
      Sql(b.cTransNote).c_str(), Cents(b.fDValue), Cents(b.fIValue), AddressLiteral(address).c_str(), kZeroBytes,
      Sql(b.cSUnit).c_str(), Sql(b.cSAddr).c_str(), Sql(b.cSPhone).c_str(), Sql(b.cSPostcode).c_str(),
      Sql(b.cSCountry).c_str(), Sql(b.cSProvince).c_str(), Sql(b.cSCity).c_str(), Sql(b.cPayDir).c_str(),
      Sql(b.cMark).c_str());
  for (int32_t id : ids) call += StringPrintf("%10d", id);
  call += StringPrintf("',%d", static_cast<int>(ids.size()));
  call += StringPrintf(
      ",'%s','%s','%s','%s','','%s','%s','%s','%s','%s',%.2f,%.2f,%.2f,%.2f,%d,%d,'%s',%d,%d,%d,%d,%d,'%s','%s','%s',"
      "'%s',%.2f,%.4f)}",
      Sql(b.cSSms).c_str(), Sql(b.cSEMail).c_str(), Sql(b.cREMail).c_str(), Sql(b.cRSms).c_str(), Sql(b.cBy1).c_str(),
      Sql(b.cBy2).c_str(), Sql(b.cBy3).c_str(), Sql(b.cBy4).c_str(), Sql(b.cBy5).c_str(), 0.0, 0.0, 0.0, 0.0, 0, 0,
      Sql(b.cStation).c_str(), 0, 0, 0, 0, 0, Sql(b.cGoodsA).c_str(), Sql(b.cGCodeA).c_str(), Sql(b.cGCodeB).c_str(),
      Sql(b.cGCodeC).c_str(), b.fGCustom, b.fGCRate);
  return call;
}

}  // namespace tw::entry
