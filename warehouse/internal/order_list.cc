#include "warehouse/internal/order_list.h"

#include <string>

#include "util/json.h"

namespace tw::warehouse {

namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr char kOrderListKey[] = "OrderList";
constexpr std::string_view kOrderKey = "ioID";

// The index of the double quote that closes the string opened at `open`; kNone when none does.
size_t StringEnd(std::string_view t, size_t open) {
  for (size_t i = open + 1; i < t.size(); ++i) {
    if (t[i] == '\\') {
      ++i;  // the escaped byte, whatever it is
    } else if (t[i] == '"') {
      return i;
    }
  }
  return kNone;
}

// The index just past the object or list opened at `open`; kNone when it is not closed, or closed
// by the wrong bracket.
size_t ContainerEnd(std::string_view t, size_t open) {
  std::string open_brackets(1, t[open]);
  for (size_t i = open + 1; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '"') {
      i = StringEnd(t, i);
      if (i == kNone) return kNone;
    } else if (c == '{' || c == '[') {
      open_brackets.push_back(c);
    } else if (c == '}' || c == ']') {
      if (open_brackets.back() != (c == '}' ? '{' : '[')) return kNone;
      open_brackets.pop_back();
      if (open_brackets.empty()) return i + 1;
    }
  }
  return kNone;
}

}  // namespace

bool HasTopLevelKey(std::string_view object, std::string_view key) {
  int depth = 0;
  for (size_t i = 1; i < object.size(); ++i) {
    const char c = object[i];
    if (c == '"') {
      const size_t close = StringEnd(object, i);
      if (close == kNone) return false;
      if (depth == 0 && object.substr(i + 1, close - i - 1) == key) {
        const size_t after = tw::JsonSkipBlanks(object, close + 1);
        if (after < object.size() && object[after] == ':') return true;
      }
      i = close;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (--depth < 0) return false;  // the object's own closing brace
    }
  }
  return false;
}

bool FindOrders(std::string_view body, std::vector<std::string_view>& orders) {
  orders.clear();
  const char* key = tw::JsonFindKey(kOrderListKey, body);
  if (key == nullptr) return false;
  size_t at = tw::JsonSkipBlanks(body, static_cast<size_t>(key - body.data()) + sizeof kOrderListKey + 1);
  if (at >= body.size() || body[at] != ':') return false;
  at = tw::JsonSkipBlanks(body, at + 1);
  if (at >= body.size() || body[at] != '[') return false;

  for (size_t i = at + 1; i < body.size(); ++i) {
    const char c = body[i];
    if (c == ']') return true;
    if (c == '}') break;  // a stray closing brace: the list is not well formed
    if (c == '"') {
      i = StringEnd(body, i);
      if (i == kNone) break;
    } else if (c == '{' || c == '[') {
      const size_t end = ContainerEnd(body, i);
      if (end == kNone) break;
      const std::string_view value = body.substr(i, end - i);
      if (c == '{' && HasTopLevelKey(value, kOrderKey)) {
        if (orders.size() == kOrdersMax) break;
        orders.push_back(value);
      }
      i = end - 1;
    }
  }
  orders.clear();
  return false;
}

}  // namespace tw::warehouse
