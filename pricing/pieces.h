#pragma once
// Parcel pieces: the record of one piece of a shipment (sides, grams, numbers, goods), the readers
// that build pieces from a request's "ItemList" or from a dimension text such as "30*20*10D", the
// volume-divisor letters and codes that turn a volume into grams, and the field mapping that the PDA
// handlers use to build UPDATE statements from request keys.
//
// Chargeable weight itself depends on the dictionary's rounding and whole-shipment settings and so
// lives on the reference-data container (COstrumContainer::CalcVolumeWeight, CalcChargeWeight).
//
// All functions are reentrant; a PieceList belongs to the request that builds it.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// One parcel piece. Texts are NUL-terminated GBK, never cut inside a two-byte character.
struct PieceItem {
  int32_t index = 0;   // 1-based position in the request's list
  int32_t length = 0;  // sides in cm ("long")
  int32_t width = 0;
  int32_t height = 0;
  int32_t weight = 0;  // grams
  int32_t ibag = 0;    // weight-detail columns: 0 from the readers
  double famount = 0;
  double fcost = 0;
  char cxNo[32] = "";    // piece number (up to 30)
  char cxRNo[32] = "";   // reference number (up to 30)
  char cxNum[32] = "";   // waybill number (up to 30)
  char cxGoods[64] = "";  // goods name (up to 63)
  int32_t quantity = 0;
  int32_t price = 0;     // goods price in cents
  uint8_t percent = 100;  // volume-weight percentage
  double fxGCustom = 0;  // customs value
  double fxGCRate = 0;   // customs rate
  char cxGoodsA[64] = "";  // second goods name and three goods codes (up to 63 each)
  char cxGCodeA[64] = "";
  char cxGCodeB[64] = "";
  char cxGCodeC[64] = "";
};

using PieceList = std::vector<PieceItem>;

// ParsePieceItems: appends the pieces of a JSON list of piece objects ("fxWeight" kg, "ixLong",
// "ixWidth", "ixHeight" cm, "ixQuantity", "fxPrice", "fxGCRate", "fxGCustom", "cxGoods",
// "cxGoodsA", "cxGCodeA", "cxGCodeB", "cxGCodeC", "cxNum", "cxNo", "cxRNo") to pieces, in list
// order. Reading stops at the first object whose weight is not positive (it and every later object
// are left out). Returns the number of pieces appended.
size_t ParsePieceItems(PieceList& pieces, std::string_view listText);

// FindDivisorLetter: the volume-divisor letter a dimension text carries: 'D' when it holds a "D",
// else 'T' for a "T", else 'E' for an "E", else 0 (two-byte characters are never read as letters).
[[nodiscard]] char FindDivisorLetter(const char* text);

// ParseDimensionsWithLetter: the sides of "L*W*H" (integer readings before the first "*", after it
// and after the second "*"; all 0 when there is no "*", H 0 when there is no second one). Returns
// the text's divisor letter (FindDivisorLetter).
char ParseDimensionsWithLetter(const char* text, int32_t* length, int32_t* width, int32_t* height);

// AddPieceFromDimensions: appends one piece with the sides of the dimension text, the grams of `kg`
// (ScaleToInt by 1000) and percent 100 when its length is above 0. Returns the text's divisor
// letter in the low byte.
int AddPieceFromDimensions(PieceList& pieces, const char* dimensions, double kg);

// FreePtrArrayItems: drops every piece of the list.
void FreePtrArrayItems(PieceList& pieces);

// Volume divisors in cm3 per gram: the divisor of a dimension letter ('D' 5, 'T' 3, 'E' 8, any
// other 6) and of a volume code (1 -> 5, 2 -> 6, 3 -> 8, 4 -> 3; 0 for any other code).
[[nodiscard]] int32_t VolumeDivisorOfLetter(char letter);
[[nodiscard]] int32_t VolumeDivisorOfCode(int code);

// One request key that a PDA edit writes to a column of client_rec.
struct FieldMapping {
  int32_t maxLength = 0;  // bytes
  char column[16] = "";   // up to 15 characters
  const char* jsonKey = "";
};

// SetFieldMapping: fills the mapping (a column name longer than 15 bytes is cut). Returns mapping.
FieldMapping& SetFieldMapping(FieldMapping& mapping, int32_t maxLength, const char* column, const char* jsonKey);
