#pragma once
// A transfer record as "RecTransSet" reads, normalises and stores it: the keys of one record, its
// goods lines, the rules applied before it is stored and the cp_rec_trans_set call; and the cut of a
// "RecList" into its records.
//
// Everything here is a function of its arguments alone; tw::services::SaveTransferRecord puts
// the steps together with the database. All functions are reentrant.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pricing/goods_line.h"

namespace tw::entry {

// Parcel numbers of transfer records: 4 to 30 characters.
inline constexpr size_t kTransferNumberMin = 4;
inline constexpr size_t kTransferNumberMax = 30;

// The keys of one transfer record. Each text holds its key's maximum length plus the NUL.
struct TransferRecord {
  int32_t iID = 0;
  int32_t nItemType = 0;
  int32_t iItem = 0;
  int32_t nOpen = 0;
  int32_t iQuantity = 0;
  int32_t nEx1 = 0;
  int32_t nEx2 = 0;
  int32_t nEx3 = 0;

  double fWeight = 0;
  double fAmount = 0;
  double fPrice = 0;
  double fGoods = 0;
  double fGoodsc = 0;
  double fDValue = 0;
  double fIValue = 0;
  double fGCustom = 0;
  double fGCRate = 0;

  char cNum[kTransferNumberMax + 1] = "";
  char cEmsKind[16] = "";
  char cMark[16] = "";
  char cMemo[255] = "";
  char cEx1[64] = "";
  char cEx2[64] = "";
  char cEx3[255] = "";
  char cGoods[255] = "";
  char cGoodsA[255] = "";
  char cPayDir[4] = "";
  char cMoney[4] = "";
  char cGCodeA[64] = "";
  char cGCodeB[64] = "";
  char cGCodeC[64] = "";
  char cPacking[16] = "";
  char cTransNote[64] = "";
  char cStationc[16] = "";

  // The kept goods lines, in request order.
  std::vector<GoodsLine> goods;
};

// CutRecordObjects: the records of a "RecList": `list` is the text from the "RecList" key on. The
// value must be a list; its top-level objects are found with strings and nested lists and objects
// skipped, and an object is a record when it has a top-level "iID" key. Each record is exactly its
// own object's text. Returns false (records cleared) when the value is not a list or holds more
// than `max` records.
[[nodiscard]] bool CutRecordObjects(std::string_view list, size_t max, std::vector<std::string_view>& records);

// ReadTransferRecord: every key of the record text into r (r.goods untouched).
void ReadTransferRecord(std::string_view text, TransferRecord& r);

// FoldTransferGoods: when the record names no goods (iQuantity below 1 and cGoods empty) and its
// kept lines hold a positive total quantity, its goods fields come from the lines: with one line its
// quantity and unit price, with more a quantity of 1 and the lines' total value as the price; in
// both cases the total value as the declared value, the total customs value, the first line's
// customs rate and the first line's names and codes.
void FoldTransferGoods(TransferRecord& r);

// NormalizeTransferRecord: nItemType outside 0..2 becomes 1, iItem below 1 becomes 1, nOpen other
// than 1 becomes 0, iQuantity below 0 becomes 0, every negative amount 0; the number upper-cased.
void NormalizeTransferRecord(TransferRecord& r);

// BuildTransferSetCall: the call of cp_rec_trans_set for the record with its 43 arguments in their
// order: every text through the SQL sanitiser, money in cents, the caller's address and the twelve
// zero bytes as bytea literals, `localTime` ("%Y.%m.%d %H:%M:%S") as the record's time.
[[nodiscard]] std::string BuildTransferSetCall(const TransferRecord& r, int32_t clientId,
                                               const unsigned char address[4], const char* localTime);

// LocalTimeText: the current local time as "%Y.%m.%d %H:%M:%S".
[[nodiscard]] std::string LocalTimeText();

}  // namespace tw::entry
