#pragma once
// GoodsLine: one goods line of a shipment, as the shipment entries read it from a request's
// "GoodsList" (names, quantity, unit price, customs codes and values), and JoinGoodsNames, which
// folds a shipment's lines into the one summary line its record keeps.
//
// A plain record: zero it (value-initialise) before filling. Texts are NUL-terminated GBK.

#include <cstddef>
#include <cstdint>
#include <vector>

struct GoodsLine {
  int32_t ixQuantity = 0;  // pieces of this goods
  double fxPrice = 0;      // unit price (yuan)
  double fxGCustom = 0;    // customs value
  double fxGCRate = 0;     // customs (tax) rate
  char cxGoods[256] = "";   // goods name
  char cxGoodsA[256] = "";  // goods name in a second language
  char cxGCodeA[64] = "";   // goods codes A (customs), B and C
  char cxGCodeB[64] = "";
  char cxGCodeC[64] = "";
  char cxQuantityList[64] = "";  // summary only: the quantities of the lines joined by ","
  double fxTotalValue = 0;       // summary only: the sum of quantity x unit price
};

// JoinGoodsNames: out becomes the summary of the lines, in their order: the goods names (each up to
// its first "(") joined by ",", while the summary stays under 254 bytes; the quantities joined by ","
// in cxQuantityList while it stays under 62 bytes; the second names (under 254 bytes) and the three
// codes (under 62 bytes each) joined the same way; the total quantity (at least 1), the total value,
// the unit price as total value / total quantity, the summed customs value and the first line's
// customs rate. A field whose next piece does not fit takes no further pieces. A line quantity
// below 1 is set to 1 in the line itself. Returns the number of lines.
size_t JoinGoodsNames(std::vector<GoodsLine>& lines, GoodsLine& out);
