// A "PreInputSet" or "PreInputDel" body from an untrusted client through everything the entry worker
// does before the database: the batch is cut into records, each record read with its goods lines,
// folded, checked and normalised, and both statements built; the ids of a withdrawal are read.
// Nothing may read or write outside the given bytes, and whatever the record holds, the call keeps
// its 79 arguments (no text can leave its quotes).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "carriers/carrier_choice.h"
#include "pricing/field_check.h"
#include "services/internal/pre_input_batch.h"
#include "services/internal/pre_input_record.h"

namespace {

// The number of arguments of a call text, counting commas outside quoted texts.
size_t CallArgumentCount(const std::string& call) {
  size_t count = 1;
  bool quoted = false;
  const size_t open = call.find('(');
  for (size_t i = open + 1; i + 2 < call.size(); ++i) {
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

constexpr size_t kRecordsPerInput = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string_view text(body.c_str());  // the doors hand over NUL-terminated text

  std::vector<int32_t> ids;
  (void)tw::entry::ReadIdList(text, kRecordsPerInput, ids);

  std::vector<std::string_view> records;
  if (!tw::entry::CutRecords(text, kRecordsPerInput, records)) return 0;
  const unsigned char address[4] = {127, 0, 0, 1};
  for (std::string_view record : records) {
    tw::entry::PreInputRecord r;
    tw::entry::ReadRecord(record, r);
    const tw::entry::GoodsListText list = tw::entry::FindGoodsList(record);
    for (std::string_view object : list.objects) {
      GoodsLine line;
      if (!tw::entry::ReadGoodsLine(object, line)) break;
      r.goods.push_back(line);
    }
    tw::entry::FoldGoodsLines(r);
    char message[256];
    (void)tw::entry::CheckFields(r, Checks(), message, sizeof message);
    tw::entry::Normalize(r);
    (void)tw::entry::CheckStorable(r, message, sizeof message);
    if (CallArgumentCount(tw::entry::BuildSetCall(r, 1, address)) != 79) std::abort();
    if (!r.goods.empty()) (void)tw::entry::BuildGoodsInsert(r.goods, 1);
    CarrierShipment shipment;
    tw::entry::FillCarrierShipment(r, 1, shipment);
  }
  return 0;
}
