// A "RecTransSet" or "RecTransBagSet" body from an untrusted client through everything the handlers
// do before the database: the list is cut into its records, each read with its goods lines, folded,
// normalised and its call built; the bag's numbers and keys are read and both of its statements
// built. Nothing may read or write outside the given bytes, and whatever the texts hold, the calls
// keep their argument counts (no text can leave its quotes).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "services/internal/pre_input_record.h"
#include "services/internal/transfer_bag.h"
#include "services/internal/transfer_record.h"

namespace {

// The number of arguments of a call text, counting commas outside quoted texts (0 when a quote is
// left open).
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

bool QuotesBalanced(const std::string& sql) {
  size_t quotes = 0;
  for (char c : sql) quotes += c == '\'';
  return quotes % 2 == 0;
}

constexpr size_t kRecordsPerInput = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string_view text(body.c_str());  // the doors hand over NUL-terminated text
  const unsigned char address[4] = {127, 0, 0, 1};

  const std::vector<std::string> numbers = tw::entry::ReadTransferNumbers(text);
  tw::entry::TransferBag bag;
  tw::entry::ReadTransferBag(text, bag);
  if (!numbers.empty()) {
    if (!QuotesBalanced(tw::entry::BuildBagCheckSql(1, numbers))) std::abort();
    std::vector<int32_t> ids(numbers.size(), 2147483647);
    if (CallArgumentCount(tw::entry::BuildBagSetCall(bag, 1, ids, address, "2026.12.10 10:00:00")) != 79) {
      std::abort();
    }
  }

  std::vector<std::string_view> records;
  if (!tw::entry::CutRecordObjects(text, kRecordsPerInput, records)) return 0;
  for (std::string_view record : records) {
    if (record.front() != '{' || record.back() != '}') std::abort();
    tw::entry::TransferRecord r;
    tw::entry::ReadTransferRecord(record, r);
    const tw::entry::GoodsListText list = tw::entry::FindGoodsList(record);
    for (std::string_view object : list.objects) {
      GoodsLine line;
      if (!tw::entry::ReadGoodsLine(object, line)) break;
      r.goods.push_back(line);
    }
    tw::entry::FoldTransferGoods(r);
    tw::entry::NormalizeTransferRecord(r);
    if (CallArgumentCount(tw::entry::BuildTransferSetCall(r, 1, address, "2026.12.10 10:00:00")) != 43) std::abort();
    if (r.goods.size() > 1) (void)tw::entry::BuildGoodsInsert(r.goods, 1, tw::entry::kTransferGoodsTable);
  }
  return 0;
}
