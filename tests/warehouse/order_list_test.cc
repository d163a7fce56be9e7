// The orders of "wOrderSet": every object of "OrderList" that carries its own "ioID" key, each
// exactly as its text stands, whatever stands inside strings and nested lists.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "warehouse/internal/order_list.h"

namespace {

using tw::warehouse::FindOrders;
using tw::warehouse::HasTopLevelKey;

std::vector<std::string> Orders(std::string_view body) {
  std::vector<std::string_view> found;
  EXPECT_TRUE(FindOrders(body, found)) << body;
  return std::vector<std::string>(found.begin(), found.end());
}

TEST(OrderList, EachOrderIsExactlyItsOwnObject) {
  using V = std::vector<std::string>;
  struct Case {
    const char* why;
    const char* body;
    V orders;
  } cases[] = {
      {"three orders, ioID first", R"({"icID":5,"OrderList":[{"ioID":1,"cNum":"A"},{"ioID":2,"cNum":"B"},{"ioID":3}]})",
       V{R"({"ioID":1,"cNum":"A"})", R"({"ioID":2,"cNum":"B"})", R"({"ioID":3})"}},
      {"keys before ioID stay with their own order",
       R"({"OrderList":[{"cNum":"A","ioID":1},{"cDes":"AU","cNum":"B","ioID":2}]})",
       V{R"({"cNum":"A","ioID":1})", R"({"cDes":"AU","cNum":"B","ioID":2})"}},
      {"an object without ioID is no order and joins none",
       R"({"OrderList":[{"ioID":1,"cNum":"A"},{"cNum":"X"},{"ioID":2,"cNum":"B"}]})",
       V{R"({"ioID":1,"cNum":"A"})", R"({"ioID":2,"cNum":"B"})"}},
      {"keys after the list belong to no order",
       R"({"OrderList":[{"ioID":1,"cNum":"A"}],"cNum":"LATE","ioID":9})", V{R"({"ioID":1,"cNum":"A"})"}},
      {"nested goods lists stay inside their order",
       R"({"OrderList":[{"ioID":1,"GoodsList":[{"cxGoods":"a","ioID":7},{"cxGoods":"b"}],"cNum":"A"},{"ioID":2}]})",
       V{R"({"ioID":1,"GoodsList":[{"cxGoods":"a","ioID":7},{"cxGoods":"b"}],"cNum":"A"})", R"({"ioID":2})"}},
      {"an ioID only inside a nested object makes no order",
       R"({"OrderList":[{"cNum":"A","GoodsList":[{"ioID":7}]},{"ioID":2}]})", V{R"({"ioID":2})"}},
      {"braces, brackets and ioID inside texts count for nothing",
       R"({"OrderList":[{"ioID":1,"cMemo":"} ] {\"ioID\":5 [","cNum":"A"},{"cMemo":"\"ioID\":3"}]})",
       V{R"({"ioID":1,"cMemo":"} ] {\"ioID\":5 [","cNum":"A"})"}},
      {"ioID as a value is no key", R"({"OrderList":[{"cKey":"ioID"},{"ioID" : 4}]})", V{R"({"ioID" : 4})"}},
      {"an escaped backslash ends its string",
       R"({"OrderList":[{"ioID":1,"cMemo":"C:\\"},{"ioID":2}]})", V{R"({"ioID":1,"cMemo":"C:\\"})", R"({"ioID":2})"}},
      {"blanks and line breaks between the pieces", "{\"OrderList\" :\r\n [ \r\n{\"ioID\":1}\r\n ,\t{\"ioID\":2} ]}",
       V{R"({"ioID":1})", R"({"ioID":2})"}},
      {"values that are not objects are skipped", R"({"OrderList":[1,"x",[{"ioID":3}],null,{"ioID":4}]})",
       V{R"({"ioID":4})"}},
      {"a list without orders", R"({"OrderList":[{"iID":1},{"cNum":"A"}]})", V{}},
      {"an empty list", R"({"OrderList":[]})", V{}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Orders(c.body), c.orders) << c.why;
  }
}

TEST(OrderList, ABodyWithoutAWholeListHasNoOrders) {
  struct Case {
    const char* why;
    const char* body;
  } cases[] = {
      {"no list", R"({"icID":5,"RecList":[{"ioID":1}]})"},
      {"the key without a colon", R"({"OrderList" [{"ioID":1}]})"},
      {"not a list", R"({"OrderList":{"ioID":1}})"},
      {"a text", R"({"OrderList":"[{\"ioID\":1}]"})"},
      {"the list is cut off", R"({"OrderList":[{"ioID":1},{"ioID":2})"},
      {"an order is cut off", R"({"OrderList":[{"ioID":1},{"ioID":2,"cNum":"A")"},
      {"a text is not closed", R"({"OrderList":[{"ioID":1,"cNum":"A}]})"},
      {"brackets that do not pair", R"({"OrderList":[{"ioID":1,"GoodsList":[{"a":1}}]})"},
      {"a stray closing brace", R"({"OrderList":[{"ioID":1}}]})"},
  };
  for (const Case& c : cases) {
    std::vector<std::string_view> orders{"left over"};
    EXPECT_FALSE(FindOrders(c.body, orders)) << c.why;
    EXPECT_TRUE(orders.empty()) << c.why;
  }
}

TEST(OrderList, ABatchHoldsAtMostTheLargestNumberOfOrders) {
  std::string body = R"({"OrderList":[)";
  for (size_t i = 0; i < tw::warehouse::kOrdersMax; ++i) body += i == 0 ? R"({"ioID":1})" : R"(,{"ioID":1})";
  std::vector<std::string_view> orders;
  EXPECT_TRUE(FindOrders(body + "]}", orders));
  EXPECT_EQ(orders.size(), tw::warehouse::kOrdersMax);
  EXPECT_FALSE(FindOrders(body + R"(,{"ioID":1}]})", orders));
  // Objects that are no orders do not count.
  EXPECT_TRUE(FindOrders(body + R"(,{"cNum":"A"}]})", orders));
}

TEST(OrderList, TopLevelKeysOfAnObject) {
  struct Case {
    const char* object;
    bool has;
  } cases[] = {
      {R"({"ioID":1})", true},
      {R"({"a":{"ioID":1},"b":2})", false},
      {R"({"a":[1,{"ioID":1}],"ioID":2})", true},
      {R"({"ioIDx":1,"xioID":2})", false},
      {R"({"a":"ioID"})", false},
      {R"({"a":"x"}, "ioID":1})", false},  // after the object's own closing brace
      {R"({"a":"\"ioID\":1"})", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasTopLevelKey(c.object, "ioID"), c.has) << c.object;
  }
}

}  // namespace
