#pragma once
// The goods list of a shipment request ("GoodsList": a list of goods objects) as the shipment
// entries of both roads walk it: the list's text and its objects found in the request text, and one
// object read into a GoodsLine. Functions of their arguments alone; reentrant.

#include <cstddef>
#include <string_view>
#include <vector>

#include "pricing/goods_line.h"

namespace tw::entry {

// Texts of a goods line are read at most this long.
inline constexpr size_t kGoodsTextMax = 63;

// The goods list of a shipment record: the list text (from the "GoodsList" key through its closing
// "]") and the text of each object in it. Both are empty when the record has no list, when the value
// is not a list, or when the list is not closed.
struct GoodsListText {
  std::string_view list;
  std::vector<std::string_view> objects;
};

// FindObjectList: the list of objects under `key` in the record text ("ItemList" ...), found as
// FindGoodsList finds the goods list.
[[nodiscard]] GoodsListText FindObjectList(const char* key, std::string_view text);

// FindGoodsList: the goods list of the record text. Objects are found outside quoted strings; blanks
// and line breaks may stand anywhere between them and the list's brackets.
[[nodiscard]] GoodsListText FindGoodsList(std::string_view text);

// ReadGoodsLine: the keys of one goods object into a value-initialised line. Returns false when the
// object ends the list: its "ixQuantity" is below 1 or its "cxGoods" is empty.
[[nodiscard]] bool ReadGoodsLine(std::string_view object, GoodsLine& line);

}  // namespace tw::entry
