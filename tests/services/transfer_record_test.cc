// The pieces of the transfer requests that need no database: cutting a "RecList" into its records,
// the goods fold and normalisation of a record, the parcel numbers of a bag, and the argument order
// of the two procedure calls.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/internal/transfer_bag.h"
#include "services/internal/transfer_record.h"

namespace {

using tw::entry::TransferBag;
using tw::entry::TransferRecord;

// The arguments of a call text "{?=CALL name(a,'b',...)}", split at the commas outside quoted texts.
std::vector<std::string> CallArguments(const std::string& call) {
  std::vector<std::string> out;
  const size_t open = call.find('('), close = call.rfind(')');
  std::string piece;
  bool quoted = false;
  for (size_t i = open + 1; i < close; ++i) {
    const char c = call[i];
    if (c == '\'') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.push_back(piece);
      piece.clear();
    } else {
      piece.push_back(c);
    }
  }
  out.push_back(piece);
  return out;
}

const unsigned char kAddress[4] = {192, 168, 0, 1};

TEST(TransferRecordTest, CutRecordObjectsFindsEachRecordWhole) {
  using V = std::vector<std::string>;
  struct Case {
    std::string list;
    bool ok;
    V records;
    const char* why;
  } cases[] = {
      {R"("RecList":[{"iID":1,"cNum":"A"},{"iID":2}])", true, {R"({"iID":1,"cNum":"A"})", R"({"iID":2})"},
       "two records"},
      {R"("RecList" : [ {"cNum":"B","iID":0} ] ,"cNum":"TOP")", true, {R"({"cNum":"B","iID":0})"},
       "a key before iID stays in its record; keys after the list are no record's"},
      {R"("RecList":[{"cNum":"C"},{"iID":3}])", true, {R"({"iID":3})"}, "an object without iID is no record"},
      {R"("RecList":[{"cNum":"D","GoodsList":[{"iID":9}]}])", true, {}, "an iID of a goods line does not count"},
      {R"("RecList":[{"iID":4,"cMemo":"} {\"iID\":5 ]","GoodsList":[{"cxGoods":"x"}]}])", true,
       {R"({"iID":4,"cMemo":"} {\"iID\":5 ]","GoodsList":[{"cxGoods":"x"}]})"}, "brackets inside texts"},
      {R"("RecList":[])", true, {}, "an empty list"},
      {R"("RecList":[{"iID":6})", true, {R"({"iID":6})"}, "a list not closed keeps its whole records"},
      {R"("RecList":{"iID":7})", false, {}, "not a list"},
      {R"("RecList":)", false, {}, "no value"},
  };
  for (const Case& c : cases) {
    std::vector<std::string_view> records;
    EXPECT_EQ(tw::entry::CutRecordObjects(c.list, 100, records), c.ok) << c.why;
    EXPECT_EQ(V(records.begin(), records.end()), c.records) << c.why;
  }
  std::vector<std::string_view> records;
  EXPECT_FALSE(tw::entry::CutRecordObjects(R"("RecList":[{"iID":1},{"iID":2},{"iID":3}])", 2, records));
  EXPECT_TRUE(records.empty());
}

TEST(TransferRecordTest, FoldNeedsNoQuantityAndNoGoodsOfItsOwn) {
  GoodsLine a{}, b{};
  a.ixQuantity = 2;
  a.fxPrice = 1.5;
  a.fxGCustom = 1;
  a.fxGCRate = 0.1;
  std::snprintf(a.cxGoods, sizeof a.cxGoods, "tea");
  std::snprintf(a.cxGCodeB, sizeof a.cxGCodeB, "B1");
  b.ixQuantity = 1;
  b.fxPrice = 4;
  b.fxGCustom = 2;
  std::snprintf(b.cxGoods, sizeof b.cxGoods, "cup");
  struct Case {
    int32_t quantity;
    const char* goods;
    std::vector<GoodsLine> lines;
    int32_t wantQuantity;
    double wantPrice;
    double wantValue;
    const char* wantGoods;
  } cases[] = {
      {0, "", {a, b}, 1, 7, 7, "tea"},       // several lines: the total value as the price
      {0, "", {a}, 2, 1.5, 3, "tea"},        // one line: its quantity and price
      {1, "", {a, b}, 1, 9, 0, ""},          // a quantity of its own: nothing folds
      {0, "own", {a, b}, 0, 9, 0, "own"},    // goods of its own: nothing folds
      {0, "", {}, 0, 9, 0, ""},              // no lines
  };
  for (const Case& c : cases) {
    TransferRecord r;
    r.iQuantity = c.quantity;
    r.fPrice = 9;
    std::snprintf(r.cGoods, sizeof r.cGoods, "%s", c.goods);
    r.goods = c.lines;
    tw::entry::FoldTransferGoods(r);
    EXPECT_EQ(r.iQuantity, c.wantQuantity) << c.goods << c.lines.size();
    EXPECT_DOUBLE_EQ(r.fPrice, c.wantPrice) << c.goods << c.lines.size();
    EXPECT_DOUBLE_EQ(r.fDValue, c.wantValue) << c.goods << c.lines.size();
    EXPECT_STREQ(r.cGoods, c.wantGoods);
    if (c.wantValue > 0) {
      EXPECT_STREQ(r.cGCodeB, "B1");
      EXPECT_DOUBLE_EQ(r.fGCRate, 0.1);
      EXPECT_DOUBLE_EQ(r.fGCustom, c.lines.size() == 2 ? 3 : 1);
    }
  }
}

TEST(TransferRecordTest, TheSetCallTakesItsArgumentsInOrder) {
  TransferRecord r;
  tw::entry::ReadTransferRecord(
      R"({"iID":12,"cNum":"ab'12","nItemType":7,"nOpen":3,"iItem":-1,"iQuantity":-2,"fWeight":-1,"fAmount":-2.5,)"
      R"("fPrice":12.34,"fDValue":0.5,"fIValue":1,"fGCRate":0.12345,"cMoney":"USD","cStationc":"SZ","nEx3":9,)"
      R"("cEx3":"e3","cGCodeC":"C3","cEmsKind":"K1","cMark":"M"})",
      r);
  tw::entry::NormalizeTransferRecord(r);
  const std::vector<std::string> args =
      CallArguments(tw::entry::BuildTransferSetCall(r, 77, kAddress, "2026.12.10 10:11:12"));
  ASSERT_EQ(args.size(), 43u);
  struct Expect {
    size_t position;  // 1-based
    const char* text;
  } expect[] = {
      {1, "12"},  {2, "77"},     {3, "1"},       {4, "0.000"},  {5, "-2.50"},        {6, "'2026.12.10 10:11:12'"},
      {7, "0"},   {9, "1"},      {13, "0"},      {14, "1234"},  {15, "'USD'"},       {18, "50"},
      {19, "100"}, {20, "1"},    {21, "'\\xC0A80001'::bytea"}, {22, "'\\x000000000000000000000000'::bytea"},
      {23, "'K1'"}, {24, "'AB''12'"}, {26, "'M'"}, {27, "0"},   {28, "''"},          {29, "'SZ'"},
      {30, "0"},  {31, "0"},     {34, "9"},      {37, "'e3'"},  {41, "'C3'"},        {43, "0.1235"},
  };
  for (const Expect& e : expect) EXPECT_EQ(args[e.position - 1], e.text) << "argument " << e.position;
}

TEST(TransferBagTest, NumbersOfFourToThirtyCharactersAreKept) {
  const std::string body = R"({"TransNums":["ABC","ABCD",")" + std::string(30, 'x') + R"(",")" +
                           std::string(31, 'y') + R"(","\u4E2D\u6587\u4E2D\u6587"]})";
  const std::vector<std::string> numbers = tw::entry::ReadTransferNumbers(body);
  // The last item is four GBK characters (eight bytes) once decoded.
  EXPECT_EQ(numbers, (std::vector<std::string>{"ABCD", std::string(30, 'x'), "中文中文"}));
}

TEST(TransferBagTest, TheBagCallCarriesTheIdsRightAligned) {
  TransferBag bag;
  tw::entry::ReadTransferBag(
      R"({"cNum":"BAG1234567","fPrice":12.34,"fGoods":1.234,"fGoodsc":2,"fDValue":3,"fIValue":4.5,"iLong":1,)"
      R"("iWidth":2,"iHeight":3,"cMoney":"U'S","cStation":"ST","cOrigin":"XX","cBy5":"b5","fGCRate":0.5,)"
      R"("cSSms":"sms","cMark":"mk"})",
      bag);
  const int32_t ids[] = {5, 17, 1234};
  const std::vector<std::string> args =
      CallArguments(tw::entry::BuildBagSetCall(bag, 88, ids, kAddress, "2026.12.10 10:11:12"));
  ASSERT_EQ(args.size(), 79u);
  struct Expect {
    size_t position;
    std::string text;
  } expect[] = {
      {1, "0"},       {2, "88"},      {9, "'2026.12.10 10:11:12'"}, {20, "'BAG1234567'"}, {25, "'1*2*3'"},
      {27, "1.23"},   {28, "2.00"},   {31, "1234"},   {32, "'U''S'"},  {35, "300"},  {36, "450"},  {37, "1"},
      {38, "'\\xC0A80001'::bytea"},  {48, "'CN'"},   {49, "'mk'"},
      {50, "'         5        17      1234'"},       {51, "3"},    {52, "'sms'"},   {56, "''"},   {61, "'b5'"},
      {62, "0.00"},   {66, "0"},      {68, "'ST'"},   {73, "0"},    {79, "0.5000"},
  };
  for (const Expect& e : expect) EXPECT_EQ(args[e.position - 1], e.text) << "argument " << e.position;
  // cOrigin is read and goes nowhere.
  for (const std::string& a : args) EXPECT_EQ(a.find("XX"), std::string::npos);
}

}  // namespace
