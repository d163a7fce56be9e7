#include "pricing/goods_line.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "util/text.h"

namespace {

// Room of the summary fields: a joined text stays under these byte counts.
constexpr size_t kNamesUnder = 254;
constexpr size_t kCodesUnder = 62;

// One joined field of the summary: pieces are appended whole while the text stays under `under`
// bytes; after the first piece that does not fit the field takes no more.
class JoinedField {
 public:
  JoinedField(char* text, size_t under) : text_(text), under_(under) {}
  void Add(std::string_view piece, bool bFirst) {
    if (full_) {
      return;
    }
    const size_t length = std::strlen(text_);
    const size_t extra = piece.size() + (bFirst ? 0 : 1);
    if (length + extra >= under_) {
      full_ = true;
      return;
    }
    char* at = text_ + length;
    if (!bFirst) {
      *at++ = ',';
    }
    std::memcpy(at, piece.data(), piece.size());
    at[piece.size()] = '\0';
  }

 private:
  char* text_;
  size_t under_;
  bool full_ = false;
};

// The goods name up to its first "(" (a single-byte one; two-byte characters are stepped over).
std::string_view NameBeforeBracket(const char* name) {
  const char* bracket = tw::FindChar(name, '(');
  return bracket != nullptr ? std::string_view(name, static_cast<size_t>(bracket - name)) : std::string_view(name);
}

}  // namespace

size_t JoinGoodsNames(std::vector<GoodsLine>& lines, GoodsLine& out) {
  out = GoodsLine{};
  static_assert(sizeof out.cxGoods > kNamesUnder && sizeof out.cxQuantityList > kCodesUnder);
  JoinedField names(out.cxGoods, kNamesUnder), namesA(out.cxGoodsA, kNamesUnder);
  JoinedField codesA(out.cxGCodeA, kCodesUnder), codesB(out.cxGCodeB, kCodesUnder),
      codesC(out.cxGCodeC, kCodesUnder), quantities(out.cxQuantityList, kCodesUnder);
  int64_t quantity = 0;
  double value = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    GoodsLine& line = lines[i];
    const bool bFirst = i == 0;
    if (line.ixQuantity < 1) {
      line.ixQuantity = 1;
    }
    names.Add(NameBeforeBracket(line.cxGoods), bFirst);
    char number[16];
    std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(line.ixQuantity));
    quantities.Add(number, bFirst);
    quantity += line.ixQuantity;
    value += line.ixQuantity * line.fxPrice;
    namesA.Add(line.cxGoodsA, bFirst);
    codesA.Add(line.cxGCodeA, bFirst);
    codesB.Add(line.cxGCodeB, bFirst);
    codesC.Add(line.cxGCodeC, bFirst);
    if (bFirst) {
      out.fxGCRate = line.fxGCRate;
    }
    out.fxGCustom += line.fxGCustom;
  }
  if (quantity < 1) {
    quantity = 1;
  }
  out.ixQuantity = quantity > INT32_MAX ? INT32_MAX : static_cast<int32_t>(quantity);
  out.fxTotalValue = value;
  out.fxPrice = value / static_cast<double>(quantity);
  return lines.size();
}
