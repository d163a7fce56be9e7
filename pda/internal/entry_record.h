#pragma once
// A shipment record as a PDA enters it ("pdaRecAdd"): the request's keys with their limits and
// defaults, its goods lines, the field checks and clamps it passes before it is stored.
//
// Functions of their arguments alone (the field checks they are given); reentrant.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pricing/goods_line.h"

class CFieldCheckList;

namespace tw::pda {

// Internal and transfer numbers shorter than this are not numbers.
inline constexpr size_t kEntryNumberMinLength = 7;

// The keys of one entry. Each text holds its key's maximum length plus the NUL; cNum and cNo hold
// 32 bytes because the numbering and the carriers write up to 31 characters into them.
struct PdaEntryRecord {
  int32_t bPriceCalc = 0;
  int32_t irID = 0;
  int32_t nItemType = 1;
  int32_t nLanguage = 0;
  int32_t iLong = 0, iWidth = 0, iHeight = 0;
  int32_t iItem = 1;
  int32_t nPayWay = 0;
  int32_t iReserve = 0;
  int32_t iQuantity = 1;

  double fWeight = 0;  // kg
  double fAmount = 0;
  double fPrice = 0;
  double fGoods = 0;
  double fDValue = 0, fIValue = 0;
  double fGCustom = 0, fGCRate = 0;
  double faGet = 0, faSafe = 0, faPack = 0, faOther = 0, faCheck = 0, faRemote = 0, faBy = 0;

  char cNum[32] = "";
  char cEmsKind[16] = "";
  char cDes[64] = "";
  char cAddrFrom[64] = "";
  char cReceiver[64] = "";
  char cRUnit[255] = "", cRAddr[255] = "";
  char cRCity[127] = "", cRCountry[127] = "";
  char cRProvince[64] = "";
  char cRPostcode[16] = "";
  char cRPhone[64] = "", cREMail[64] = "";
  char cRSms[23] = "";
  char cSender[31] = "";
  char cSUnit[128] = "", cSAddr[128] = "";
  char cSCity[64] = "", cSCountry[64] = "", cSPhone[64] = "", cSEMail[64] = "";
  char cSPostcode[16] = "";
  char cSProvince[31] = "";
  char cSSms[23] = "";
  char cDepart[31] = "";
  char cMark[16] = "";
  char cMemo[255] = "";
  char cReserve[31] = "";
  char cBy1[64] = "", cBy2[64] = "", cBy3[64] = "", cBy4[64] = "";
  char cBy5[255] = "";
  char cGoods[255] = "", cGoodsA[255] = "";
  char cMoney[4] = "", cPayDir[4] = "", cOrigin[4] = "";
  char cGCodeA[64] = "", cGCodeB[64] = "", cGCodeC[64] = "";
  char cPacking[16] = "";
  char cTransNote[64] = "";
  char cNo[32] = "";
  char cRNo[31] = "", cCNo[31] = "";
  char cPrintCode[16] = "";
  char cMName[31] = "", cTaker[31] = "";
  char cStation[16] = "";

  // The accepted goods lines, in request order.
  std::vector<GoodsLine> goods;
};

// ReadEntryNumbers: the integer and real keys of the entry, with their defaults; "iItem" below 1
// reads as 1 (every other clamp waits for ClampEntry, so the field checks see the values as sent).
void ReadEntryNumbers(std::string_view text, PdaEntryRecord& r);
// ReadEntryNumber: "cNum" alone (the routine refuses on it before it reads the other texts).
void ReadEntryNumber(std::string_view text, PdaEntryRecord& r);
// ReadEntryTexts: every other text key, cut at its limit (the receiver's name, company, address,
// city, country and province keep what GBK cannot hold as "&#NNN;").
void ReadEntryTexts(std::string_view text, PdaEntryRecord& r);

// FoldEntryGoods: when the entry names no goods ("cGoods" empty) and its lines hold a positive
// quantity: with one line its unit price and quantity, with more the lines' total value as the price
// and a quantity of 1; in both cases the total value as the declared value, the total customs value,
// the first line's customs rate, names and codes.
void FoldEntryGoods(PdaEntryRecord& r);

// CheckEntryFields: the configured field checks in their fixed order (text lengths, "iQuantity",
// then "fGoods", "fDValue", "fIValue", "fPrice", "fWeight"), then whether every amount is a number
// the record can keep ("[key]数值不合法"). Returns 1 with the first failure's text in message, else 0.
[[nodiscard]] int CheckEntryFields(const PdaEntryRecord& r, const CFieldCheckList& checks, char* message,
                                   size_t messageSize);

// ClampEntry: the small enumerations outside 0..2 to their defaults ("nItemType" 1, "nLanguage" and
// "nPayWay" 0), a negative "iReserve" or "iQuantity" to 0, the negative weight and values to 0.
void ClampEntry(PdaEntryRecord& r);

}  // namespace tw::pda
