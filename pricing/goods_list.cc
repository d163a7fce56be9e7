#include "pricing/goods_list.h"

#include <cstring>

#include "util/json.h"

namespace tw::entry {

GoodsListText FindGoodsList(std::string_view text) { return FindObjectList("GoodsList", text); }

GoodsListText FindObjectList(const char* name, std::string_view text) {
  const char* key = tw::JsonFindKey(name, text);
  if (key == nullptr) return {};
  const size_t keyAt = static_cast<size_t>(key - text.data());
  size_t at = tw::JsonSkipBlanks(text, keyAt + std::strlen(name) + 2);
  if (at >= text.size() || text[at] != ':') return {};
  at = tw::JsonSkipBlanks(text, at + 1);
  if (at >= text.size() || text[at] != '[') return {};

  GoodsListText out;
  std::string_view rest = text.substr(at + 1);
  for (;;) {
    const char* next = tw::JsonNextObjectStart(rest);
    const size_t before = next != nullptr ? static_cast<size_t>(next - rest.data()) : rest.size();
    const size_t close = rest.substr(0, before).find(']');
    if (close != std::string_view::npos) {
      const size_t end = static_cast<size_t>(rest.data() + close + 1 - text.data());
      out.list = text.substr(keyAt, end - keyAt);
      return out;
    }
    std::string_view object;
    if (next == nullptr || !tw::JsonNextObject(rest, object)) return {};  // the list is not closed
    out.objects.push_back(object);
  }
}

bool ReadGoodsLine(std::string_view object, GoodsLine& line) {
  line.ixQuantity = tw::JsonGetInt("ixQuantity", object, 0);
  line.fxPrice = tw::JsonGetDouble("fxPrice", object, 0);
  line.fxGCRate = tw::JsonGetDouble("fxGCRate", object, 0);
  line.fxGCustom = tw::JsonGetDouble("fxGCustom", object, 0);
  tw::JsonGetString("cxGoods", object, line.cxGoods, kGoodsTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cxGoodsA", object, line.cxGoodsA, kGoodsTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cxGCodeA", object, line.cxGCodeA, kGoodsTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cxGCodeB", object, line.cxGCodeB, kGoodsTextMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cxGCodeC", object, line.cxGCodeC, kGoodsTextMax, tw::kJsonModeCodePage);
  return line.ixQuantity >= 1 && line.cxGoods[0] != '\0';
}

}  // namespace tw::entry
