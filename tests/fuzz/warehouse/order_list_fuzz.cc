// The orders of "wOrderSet" cut from a partner's body: whatever the bytes, every order is an object
// text lying inside the body, orders follow one another without overlapping, each carries its own
// "ioID" key, and a body refused as a list gives no orders.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "warehouse/internal/order_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> orders;
  const bool ok = tw::warehouse::FindOrders(body, orders);
  if (!ok && !orders.empty()) std::abort();
  const char* after = body.data();
  for (std::string_view order : orders) {
    if (order.size() < 2 || order.front() != '{' || order.back() != '}') std::abort();
    if (order.data() < after || order.data() + order.size() > body.data() + body.size()) std::abort();
    if (!tw::warehouse::HasTopLevelKey(order, "ioID")) std::abort();
    after = order.data() + order.size();
  }
  return 0;
}
