#pragma once
// A pre-input shipment record as the shipment-entry worker reads, checks and stores it: the keys of
// one record of a "PreInputSet" (or partner order) batch, its goods lines, the rules applied before
// it is stored, and the two statements that store it (the cp_rec_pre_input_set call and the INSERT
// of its goods lines).
//
// Everything here is a function of its arguments alone (no database, no configuration besides the
// field-check list it is given); tw::services::SavePreInputRecord puts the steps together.
// All functions are reentrant.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pricing/goods_line.h"
#include "pricing/goods_list.h"
#include "util/text.h"

class CFieldCheckList;
struct CarrierShipment;

namespace tw::entry {

// Internal and transfer numbers shorter than this are not numbers: the entry draws one instead.
inline constexpr size_t kNumberMinLength = 7;
// CopyText: text into the fixed buffer out, cut to fit without splitting a character.
template <size_t N>
void CopyText(char (&out)[N], const char* text) {
  tw::CopyTextLimited(out, text, N - 1);
}

// The keys of one record, read with their defaults. Each text holds its key's maximum length plus
// the NUL; cNum and cNo hold 32 bytes because the numbering writes up to 31 characters into them.
struct PreInputRecord {
  int32_t iID = 0;
  int32_t nItemType = 1;
  int32_t nLanguage = 0;
  int32_t iLong = 0;
  int32_t iWidth = 0;
  int32_t iHeight = 0;
  int32_t iItem = 1;
  int32_t nPayWay = 0;
  int32_t iReserve = 0;
  int32_t iQuantity = 1;

  double fWeight = 0;  // kg
  double fAmount = 0;
  double fPrice = 0;   // unit price
  double fGoods = 0;
  double fGoodsc = 0;
  double fDValue = 0;  // declared value
  double fIValue = 0;  // insured value
  double fGCustom = 0;
  double fGCRate = 0;
  double faGet = 0;
  double faSafe = 0;
  double faPack = 0;
  double faOther = 0;
  double faCheck = 0;
  double faRemote = 0;
  double faBy = 0;

  char cNum[32] = "";
  char cEmsKind[16] = "";
  char cDes[64] = "";
  char cAddrFrom[64] = "";
  char cReceiver[64] = "";
  char cRUnit[255] = "";
  char cRAddr[255] = "";
  char cRCity[127] = "";
  char cRCountry[127] = "";
  char cRProvince[64] = "";
  char cRPostcode[16] = "";
  char cRPhone[64] = "";
  char cREMail[64] = "";
  char cRSms[23] = "";
  char cSender[31] = "";
  char cDepart[31] = "";
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
  char cPacking[16] = "";
  char cEmsKindc[16] = "";
  char cEmsKindw[16] = "";
  char cPrintCode[16] = "";
  char cMemo[255] = "";
  char cGoods[255] = "";
  char cGoodsA[255] = "";
  char cBy5[255] = "";
  char cReserve[31] = "";
  char cBy1[64] = "";
  char cBy2[64] = "";
  char cBy3[64] = "";
  char cBy4[64] = "";
  char cMoney[4] = "";
  char cPayDir[4] = "";
  char cOrigin[4] = "";
  char cGCodeA[64] = "";
  char cGCodeB[64] = "";
  char cGCodeC[64] = "";
  char cTransNote[64] = "";
  char cNo[32] = "";
  char cRNo[31] = "";
  char cCNo[31] = "";

  // The accepted goods lines, in request order.
  std::vector<GoodsLine> goods;
  // True when the shipment's goods fields were taken from its lines (FoldGoodsLines).
  bool bGoodsFromLines = false;
};

// One text key of a record: its name, where it goes, the longest value kept (bytes of GBK text)
// and its reading mode (tw::kJsonModeTable for the receiver's names and address, which keep what
// GBK cannot hold as "&#NNN;").
struct TextKey {
  const char* key;
  char* (*field)(PreInputRecord&);
  size_t max;
  int mode;
};

// TextKeys: every text key of a record, in reading order.
[[nodiscard]] std::span<const TextKey> TextKeys();

// TextOf: the value of the text key `key` ("" for a name that is not a text key).
[[nodiscard]] const char* TextOf(const PreInputRecord& r, const char* key);

// ReadRecord: every integer, real and text key of the record text into r (r's goods untouched).
void ReadRecord(std::string_view text, PreInputRecord& r);

// FoldGoodsLines: when the record names no goods ("cGoods" empty) and has lines, its goods fields
// come from them: with one line its quantity and unit price, with more a quantity of 1 and the
// lines' total value as the price; in both cases the total value as the declared value, the total
// customs value, the first line's customs rate and the first line's names and codes. Sets
// bGoodsFromLines then.
void FoldGoodsLines(PreInputRecord& r);

// CheckFields: the configured field checks, in their fixed order (text lengths, then "iQuantity",
// then "fGoods", "fDValue", "fIValue", "fPrice", "fWeight"). Returns 1 with the first failing
// check's text in message (messageSize bytes), 0 when every check passes.
[[nodiscard]] int CheckFields(const PreInputRecord& r, const CFieldCheckList& checks, char* message,
                              size_t messageSize);

// Normalize: small enumerations outside 0..2 to their defaults, counts and non-negative amounts
// below their floors to the floor.
void Normalize(PreInputRecord& r);

// CheckStorable: whether the database can keep the record as it stands: every real finite and within
// its column (money kept in cents within a 32-bit integer), every text GBK. Returns 1 with
// "[key]数值不合法" or "[key]文字编码不合法" in message when not, else 0.
[[nodiscard]] int CheckStorable(const PreInputRecord& r, char* message, size_t messageSize);

// StoresGoodsRows: whether the record's lines are stored as goods rows: always with two or more; a
// single line only when the record names goods of its own (else the line is kept in the record).
[[nodiscard]] bool StoresGoodsRows(const PreInputRecord& r);

// BuildSetCall: the call of cp_rec_pre_input_set for the record, its 79 arguments in their order,
// every text through the SQL sanitiser, the caller's address and the twelve option bytes as bytea
// literals. Of any length (a record's texts are bounded, so it stays a few KB).
[[nodiscard]] std::string BuildSetCall(const PreInputRecord& r, int32_t clientId, const unsigned char address[4]);

// The goods rows of pre-input shipments and of transfer records.
inline constexpr char kPreInputGoodsTable[] = "dorvane.dbo.rec_pre_input_goods";
inline constexpr char kTransferGoodsTable[] = "dorvane.dbo.rec_trans_goods";

// BuildGoodsInsert: one INSERT of the lines as goods rows of record iid into `table` (one of the two
// above), numbered from 0 (wpos) in their order. REQUIRES: lines is not empty.
[[nodiscard]] std::string BuildGoodsInsert(std::span<const GoodsLine> lines, int32_t iid,
                                           const char* table = kPreInputGoodsTable);

// FillCarrierShipment: the shipment a carrier receives for the record, with the carriers' floors
// (weight 0.5 below 0.001 kg, quantity at least 1, unit price 1.0 below 0.01) and the goods of the
// first line when there are lines.
void FillCarrierShipment(const PreInputRecord& r, int32_t clientId, CarrierShipment& s);

}  // namespace tw::entry
