#pragma once
// A transfer bag as "RecTransBagSet" reads and stores it: the shipment keys of the request and the
// two statements of the request (the check of the listed transfer records and the
// cp_rec_trans_bag_set call).
//
// Everything here is a function of its arguments alone. All functions are reentrant.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw::entry {

// A bag packs 1 to 200 transfer records; its own number has 7 to 30 characters.
inline constexpr size_t kBagRecordsMax = 200;
inline constexpr size_t kBagNumberMin = 7;

// The shipment keys of a bag. Each text holds its key's maximum length plus the NUL.
struct TransferBag {
  int32_t nItemType = 0;
  int32_t nLanguage = 0;
  int32_t iLong = 0;
  int32_t iWidth = 0;
  int32_t iHeight = 0;
  int32_t iItem = 0;
  int32_t nPayWay = 0;
  int32_t iQuantity = 0;

  double fWeight = 0;
  double fPrice = 0;
  double fGoods = 0;
  double fGoodsc = 0;
  double fDValue = 0;
  double fIValue = 0;
  double fGCustom = 0;
  double fGCRate = 0;

  char cNum[31] = "";
  char cEmsKind[16] = "";
  char cDes[64] = "";
  char cAddrFrom[64] = "";
  char cReceiver[64] = "";
  char cRUnit[255] = "";
  char cRAddr[255] = "";
  char cRCity[127] = "";
  char cRCountry[127] = "";
  char cRProvince[64] = "";
  char cRPhone[64] = "";
  char cREMail[64] = "";
  char cRPostcode[16] = "";
  char cRSms[23] = "";
  char cRNo[31] = "";
  char cSender[31] = "";
  char cSUnit[128] = "";
  char cSAddr[128] = "";
  char cSCity[64] = "";
  char cSCountry[64] = "";
  char cSPhone[64] = "";
  char cSEMail[64] = "";
  char cSPostcode[16] = "";
  char cSProvince[31] = "";
  char cSSms[23] = "";
  char cMark[16] = "";
  char cMemo[255] = "";
  char cBy1[64] = "";
  char cBy2[64] = "";
  char cBy3[64] = "";
  char cBy4[64] = "";
  char cBy5[255] = "";
  char cGoods[255] = "";
  char cGoodsA[255] = "";
  char cMoney[4] = "";
  char cPayDir[4] = "";
  char cOrigin[4] = "";  // read, stored nowhere
  char cGCodeA[64] = "";
  char cGCodeB[64] = "";
  char cGCodeC[64] = "";
  char cPacking[16] = "";
  char cTransNote[64] = "";
  char cStation[16] = "";
};

// ReadTransferNumbers: the parcel numbers of "TransNums" as GBK text, items of 4 to 30 characters
// (after decoding) kept in request order, the others skipped.
[[nodiscard]] std::vector<std::string> ReadTransferNumbers(std::string_view body);

// ReadTransferBag: every shipment key of the request into bag.
void ReadTransferBag(std::string_view body, TransferBag& bag);

// BuildBagCheckSql: the SELECT of the client's unbagged transfer records among the numbers, each
// through the SQL sanitiser. REQUIRES: numbers is not empty.
[[nodiscard]] std::string BuildBagCheckSql(int32_t clientId, std::span<const std::string> numbers);

// BuildBagSetCall: the call of cp_rec_trans_bag_set with its 79 arguments in their order: every text
// through the SQL sanitiser, money in cents, the ids as one text of ten characters per id
// (right-aligned) followed by their count, the caller's address and the twelve zero bytes as bytea
// literals, `localTime` ("%Y.%m.%d %H:%M:%S") as the bag's time.
[[nodiscard]] std::string BuildBagSetCall(const TransferBag& bag, int32_t clientId, std::span<const int32_t> ids,
                                          const unsigned char address[4], const char* localTime);

}  // namespace tw::entry
