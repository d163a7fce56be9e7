// A "pdaRecAdd" body from a PDA through everything the shipment entry does before the database: the
// keys read with their limits, the goods list walked and folded, the pieces of "ItemList" read, the
// checks and clamps, the piece rows and the call of cp_client_rec_fast_add built. Nothing may read
// or write outside the given bytes, and whatever the body holds, the call keeps its 117 values and
// the piece rows stay one text (no text can leave its quotes).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pda/internal/entry_record.h"
#include "pda/internal/entry_sql.h"
#include "pricing/field_check.h"
#include "pricing/goods_list.h"
#include "pricing/pieces.h"

namespace {

// The number of values between "ROW(" and the closing ") AS", counting commas outside quoted
// texts; 0 when a quote is left open.
size_t RowValueCount(const std::string& call) {
  const size_t open = call.find("ROW(") + 4, close = call.rfind(") AS");
  size_t count = 1;
  bool quoted = false;
  for (size_t i = open; i < close; ++i) {
    if (call[i] == '\'') quoted = !quoted;
    if (call[i] == ',' && !quoted) ++count;
  }
  return quoted ? 0 : count;
}

const CFieldCheckList& Checks() {
  static CFieldCheckList* checks = [] {
    auto* c = new CFieldCheckList();
    c->Load("<快递业务字段检查定义开始>\r\ncReceiver=0-40\r\nfWeight=0-50\r\niQuantity=0-999\r\n"
            "<快递业务字段检查定义开始>\r\n");
    return c;
  }();
  return *checks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  tw::pda::PdaEntryRecord r;
  tw::pda::ReadEntryNumbers(body, r);
  tw::pda::ReadEntryNumber(body, r);
  tw::pda::ReadEntryTexts(body, r);
  const tw::entry::GoodsListText list = tw::entry::FindGoodsList(body);
  for (std::string_view object : list.objects) {
    GoodsLine line;
    if (!tw::entry::ReadGoodsLine(object, line)) break;
    r.goods.push_back(line);
  }
  tw::pda::FoldEntryGoods(r);
  char message[256];
  (void)tw::pda::CheckEntryFields(r, Checks(), message, sizeof message);
  tw::pda::ClampEntry(r);

  PieceList pieces;
  const tw::entry::GoodsListText items = tw::entry::FindObjectList("ItemList", body);
  if (!items.list.empty()) ParsePieceItems(pieces, items.list);
  const std::string detail =
      tw::pda::BuildWeightDetailInsert(pieces, static_cast<size_t>(r.iItem), tw::pda::kRecordIdMarker);

  tw::pda::FastAddValues v;
  v.cnum = r.cNum;
  v.cserviceno = r.cNo;
  v.cdes = r.cDes;
  v.creceiver = r.cReceiver;
  v.caddr = r.cRAddr;
  v.cmemo = r.cMemo;
  v.cgoods = r.cGoods;
  v.cby5 = r.cBy5;
  v.fweight = r.fWeight;
  v.famount = r.fAmount;
  v.iitem = r.iItem;
  v.weightDetail = detail;
  const std::string call = tw::pda::BuildFastAddCall(v);
  if (RowValueCount(call) != static_cast<size_t>(tw::pda::kFastAddValueCount)) std::abort();
  if (!r.goods.empty()) {
    const std::string goods = tw::pda::BuildRecordGoodsInsert(r.goods, 1);
    size_t quotes = 0;
    for (char c : goods) quotes += c == '\'';
    if (quotes % 2 != 0) std::abort();
  }
  return 0;
}
