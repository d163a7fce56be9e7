#include "pricing/pieces.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "util/datetime.h"
#include "util/json.h"
#include "util/text.h"

namespace {

constexpr size_t kNumberMax = 30;  // cxNo, cxRNo, cxNum
constexpr size_t kGoodsMax = 63;   // goods names and codes
constexpr int kGramsPerKg = 1000;
constexpr int kCentsPerYuan = 100;
constexpr uint8_t kFullPercent = 100;

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// True when text holds the single-byte character c (two-byte characters are stepped over whole).
bool HoldsLetter(const char* text, char c) { return tw::FindChar(text, c) != nullptr; }

}  // namespace

size_t ParsePieceItems(PieceList& pieces, std::string_view listText) {
  size_t added = 0;
  std::string_view rest = listText, item;
  while (tw::JsonNextObject(rest, item)) {
    PieceItem p;
    p.weight = Clamp32(tw::ScaleToInt(tw::JsonGetDouble("fxWeight", item, 0), kGramsPerKg));
    if (p.weight <= 0) {
      break;
    }
    p.length = tw::JsonGetInt("ixLong", item, 0);
    p.width = tw::JsonGetInt("ixWidth", item, 0);
    p.height = tw::JsonGetInt("ixHeight", item, 0);
    p.index = static_cast<int32_t>(pieces.size()) + 1;
    p.percent = kFullPercent;
    p.quantity = tw::JsonGetInt("ixQuantity", item, 0);
    p.price = Clamp32(tw::ScaleToInt(tw::JsonGetDouble("fxPrice", item, 0), kCentsPerYuan));
    p.fxGCRate = tw::JsonGetDouble("fxGCRate", item, 0);
    p.fxGCustom = tw::JsonGetDouble("fxGCustom", item, 0);
    tw::JsonGetString("cxGoods", item, p.cxGoods, kGoodsMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cxGoodsA", item, p.cxGoodsA, kGoodsMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cxGCodeA", item, p.cxGCodeA, kGoodsMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cxGCodeB", item, p.cxGCodeB, kGoodsMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cxGCodeC", item, p.cxGCodeC, kGoodsMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cxNum", item, p.cxNum, kNumberMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cxNo", item, p.cxNo, kNumberMax, tw::kJsonModeCodePage);
    tw::JsonGetString("cxRNo", item, p.cxRNo, kNumberMax, tw::kJsonModeCodePage);
    pieces.push_back(p);
    ++added;
  }
  return added;
}

char FindDivisorLetter(const char* text) {
  if (text == nullptr) {
    return 0;
  }
  for (char letter : {'D', 'T', 'E'}) {
    if (HoldsLetter(text, letter)) {
      return letter;
    }
  }
  return 0;
}

char ParseDimensionsWithLetter(const char* text, int32_t* length, int32_t* width, int32_t* height) {
  *length = *width = *height = 0;
  if (text == nullptr) {
    return 0;
  }
  const char* first = tw::FindChar(text, '*');
  if (first != nullptr) {
    *length = tw::ParseIntClamped(text);
    *width = tw::ParseIntClamped(first + 1);
    const char* second = tw::FindChar(first + 1, '*');
    if (second != nullptr) {
      *height = tw::ParseIntClamped(second + 1);
    }
  }
  return FindDivisorLetter(text);
}

int AddPieceFromDimensions(PieceList& pieces, const char* dimensions, double kg) {
  PieceItem p;
  const char letter = ParseDimensionsWithLetter(dimensions, &p.length, &p.width, &p.height);
  if (p.length > 0) {
    p.index = static_cast<int32_t>(pieces.size()) + 1;
    p.weight = Clamp32(tw::ScaleToInt(kg, kGramsPerKg));
    p.percent = kFullPercent;
    pieces.push_back(p);
  }
  return static_cast<unsigned char>(letter);
}

void FreePtrArrayItems(PieceList& pieces) { pieces.clear(); }

int32_t VolumeDivisorOfLetter(char letter) {
  switch (letter) {
    case 'D':
      return 5;
    case 'T':
      return 3;
    case 'E':
      return 8;
    default:
      return 6;
  }
}

int32_t VolumeDivisorOfCode(int code) {
  switch (code) {
    case 1:
      return 5;
    case 2:
      return 6;
    case 3:
      return 8;
    case 4:
      return 3;
    default:
      return 0;
  }
}

FieldMapping& SetFieldMapping(FieldMapping& mapping, int32_t maxLength, const char* column, const char* jsonKey) {
  mapping.maxLength = maxLength;
  tw::CopyTextLimited(mapping.column, column, sizeof mapping.column - 1);
  mapping.jsonKey = jsonKey != nullptr ? jsonKey : "";
  return mapping;
}
