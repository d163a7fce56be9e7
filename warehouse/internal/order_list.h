#pragma once
// The orders of a partner's warehouse order batch ("wOrderSet"): the value of "OrderList" is a list
// of objects, and every object that carries its own "ioID" key is one order. Each order is handed
// on as exactly the text of its object, braces included: keys of one order never leak into
// another, nested lists inside an order (its "GoodsList") stay with it, and keys after the list are
// no order's. Objects without "ioID" and values that are not objects are skipped.
//
// The scan knows strings (a string runs to the next double quote that no odd run of backslashes
// escapes, as the JSON readers see it) and nesting, so braces and brackets inside texts count for
// nothing. The request text is only read, never changed.
//
// Functions of their arguments alone; reentrant.

#include <cstddef>
#include <string_view>
#include <vector>

namespace tw::warehouse {

// A batch holds at most this many orders.
inline constexpr size_t kOrdersMax = 20000;

// FindOrders: the orders of the body's "OrderList" into orders (cleared first). Returns false when
// the body has no "OrderList" key, its value is not a list, the list is not closed (the body is cut
// off, a string or an object in it is not closed), or it holds more than kOrdersMax orders.
[[nodiscard]] bool FindOrders(std::string_view body, std::vector<std::string_view>& orders);

// HasTopLevelKey: true when the object text ("{...}") holds `key` as one of its own keys, not only
// inside a nested object or list or a string value.
[[nodiscard]] bool HasTopLevelKey(std::string_view object, std::string_view key);

}  // namespace tw::warehouse
