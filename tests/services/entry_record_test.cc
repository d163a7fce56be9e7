// The pieces of the shipment-entry worker that need no database: reading a record and its goods
// list, folding the lines into the record, the checks and floors, the two statements that store a
// record, the shipment a carrier receives, and the batch side (cutting a batch into records,
// reading the ids to withdraw).

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "carriers/carrier_choice.h"
#include "pricing/field_check.h"
#include "services/internal/pre_input_batch.h"
#include "services/internal/pre_input_record.h"

namespace {

using tw::entry::PreInputRecord;

// The arguments of a procedure call text "{?=CALL name(a,'b',...)}", split at the commas outside
// quoted texts (a doubled quote inside a text toggles twice and so stays inside).
std::vector<std::string> CallArguments(const std::string& call) {
  std::vector<std::string> out;
  const size_t open = call.find('('), close = call.rfind(')');
  if (open == std::string::npos || close == std::string::npos) return out;
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

PreInputRecord Read(const std::string& json) {
  PreInputRecord r;
  tw::entry::ReadRecord(json, r);
  return r;
}

TEST(PreInputRecordTest, KeysTheirDefaultsAndLengths) {
  PreInputRecord r = Read("{\"iID\":0}");
  EXPECT_EQ(r.nItemType, 1);
  EXPECT_EQ(r.iItem, 1);
  EXPECT_EQ(r.iQuantity, 1);
  EXPECT_EQ(r.nPayWay, 0);
  EXPECT_STREQ(r.cNum, "");

  // Texts are cut at their key's length without splitting a character: "cEmsKind" keeps 15 bytes,
  // "cNum" 30 (its buffer has room for the numbering's 31), "cMoney" 3.
  r = Read("{\"iID\":7,\"cEmsKind\":\"ABCDEFGHIJKLMNOPQRS\",\"cNum\":\"" + std::string(40, 'N') +
           "\",\"cMoney\":\"USDX\",\"fWeight\":\"2.5\",\"iQuantity\":\"3\"}");
  EXPECT_EQ(r.iID, 7);
  EXPECT_STREQ(r.cEmsKind, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(std::string(r.cNum), std::string(30, 'N'));
  EXPECT_STREQ(r.cMoney, "USD");
  EXPECT_DOUBLE_EQ(r.fWeight, 2.5);
  EXPECT_EQ(r.iQuantity, 3);

  // The receiver's name keeps a character GBK cannot hold as its decimal entity (U+D55C).
  r = Read("{\"iID\":0,\"cReceiver\":\"A\xED\x95\x9C\",\"cSender\":\"B\xED\x95\x9C\"}");
  EXPECT_STREQ(r.cReceiver, "A&#54620;");
  EXPECT_STREQ(r.cSender, "B?");  // read in the code-page mode
  EXPECT_STREQ(tw::entry::TextOf(r, "cReceiver"), "A&#54620;");
  EXPECT_STREQ(tw::entry::TextOf(r, "nosuch"), "");
}

TEST(PreInputRecordTest, GoodsListsAndWhereTheyEnd) {
  struct Case {
    const char* record;
    std::vector<std::string> goods;  // cxGoods of the accepted lines
    const char* why;
  } cases[] = {
      {R"({"iID":0,"GoodsList":[{"cxGoods":"A","ixQuantity":1},{"cxGoods":"B","ixQuantity":2}]})", {"A", "B"},
       "two lines"},
      {R"({"iID":0,"GoodsList": [ {"cxGoods":"A","ixQuantity":1} ,
         {"cxGoods":"B","ixQuantity":2} ] })",
       {"A", "B"}, "blanks and line breaks between the objects and the brackets"},
      {R"({"iID":0,"GoodsList":[{"cxGoods":"A","ixQuantity":1},{"cxGoods":"B","ixQuantity":0},)"
       R"({"cxGoods":"C","ixQuantity":1}]})",
       {"A"}, "a quantity of 0 ends the list"},
      {R"({"iID":0,"GoodsList":[{"cxGoods":"","ixQuantity":3},{"cxGoods":"C","ixQuantity":1}]})", {},
       "an empty name ends the list"},
      {R"({"iID":0,"GoodsList":[{"cxGoods":"12\" TV}","ixQuantity":1},{"cxGoods":"B","ixQuantity":1}]})",
       {"12\" TV}", "B"}, "an escaped quote and a brace inside a name"},
      {R"({"iID":0,"GoodsList":[]})", {}, "an empty list"},
      {R"({"iID":0,"GoodsList":[{"cxGoods":"A","ixQuantity":1})", {}, "a list that is not closed"},
      {R"({"iID":0,"GoodsList":"A"})", {}, "not a list"},
      {R"({"iID":0,"cGoods":"GoodsList"})", {}, "no list"},
  };
  for (const Case& c : cases) {
    const tw::entry::GoodsListText list = tw::entry::FindGoodsList(c.record);
    std::vector<std::string> names;
    for (std::string_view object : list.objects) {
      GoodsLine line;
      if (!tw::entry::ReadGoodsLine(object, line)) break;
      names.push_back(line.cxGoods);
    }
    EXPECT_EQ(names, c.goods) << c.why;
    if (!list.objects.empty()) {
      EXPECT_EQ(list.list.substr(0, 11), "\"GoodsList\"") << c.why;
      EXPECT_EQ(list.list.back(), ']') << c.why;
    }
  }

  GoodsLine line;
  ASSERT_TRUE(tw::entry::ReadGoodsLine(
      R"({"cxGoods":"G","cxGoodsA":"GA","cxGCodeA":"1","cxGCodeB":"2","cxGCodeC":"3","ixQuantity":2,)"
      R"("fxPrice":3.5,"fxGCustom":7,"fxGCRate":0.13})",
      line));
  EXPECT_STREQ(line.cxGoodsA, "GA");
  EXPECT_STREQ(line.cxGCodeC, "3");
  EXPECT_EQ(line.ixQuantity, 2);
  EXPECT_DOUBLE_EQ(line.fxPrice, 3.5);
  EXPECT_DOUBLE_EQ(line.fxGCustom, 7);
  EXPECT_DOUBLE_EQ(line.fxGCRate, 0.13);
}

GoodsLine Line(const char* name, int32_t quantity, double price, double custom, double rate) {
  GoodsLine g;
  std::snprintf(g.cxGoods, sizeof g.cxGoods, "%s", name);
  std::snprintf(g.cxGoodsA, sizeof g.cxGoodsA, "%s-A", name);
  std::snprintf(g.cxGCodeA, sizeof g.cxGCodeA, "%s-1", name);
  g.ixQuantity = quantity;
  g.fxPrice = price;
  g.fxGCustom = custom;
  g.fxGCRate = rate;
  return g;
}

TEST(PreInputRecordTest, GoodsLinesFoldIntoTheRecord) {
  // Two lines of 2 x 3.5 and 1 x 4: by hand a value of 11, quantity 1, price 11.
  PreInputRecord two;
  two.goods = {Line("G1", 2, 3.5, 1.25, 0.13), Line("G2", 1, 4, 2.5, 0.2)};
  tw::entry::FoldGoodsLines(two);
  EXPECT_TRUE(two.bGoodsFromLines);
  EXPECT_EQ(two.iQuantity, 1);
  EXPECT_DOUBLE_EQ(two.fPrice, 11);
  EXPECT_DOUBLE_EQ(two.fDValue, 11);
  EXPECT_DOUBLE_EQ(two.fGCustom, 3.75);
  EXPECT_DOUBLE_EQ(two.fGCRate, 0.13);
  EXPECT_STREQ(two.cGoods, "G1");
  EXPECT_STREQ(two.cGoodsA, "G1-A");
  EXPECT_STREQ(two.cGCodeA, "G1-1");
  EXPECT_TRUE(tw::entry::StoresGoodsRows(two));

  // One line: its own quantity and price; kept in the record, not as a goods row.
  PreInputRecord one;
  one.goods = {Line("G1", 3, 2.5, 1, 0.1)};
  tw::entry::FoldGoodsLines(one);
  EXPECT_EQ(one.iQuantity, 3);
  EXPECT_DOUBLE_EQ(one.fPrice, 2.5);
  EXPECT_DOUBLE_EQ(one.fDValue, 7.5);
  EXPECT_FALSE(tw::entry::StoresGoodsRows(one));

  // The record names its goods: nothing folds, and a single line is kept as a goods row.
  PreInputRecord named;
  std::snprintf(named.cGoods, sizeof named.cGoods, "own");
  named.iQuantity = 9;
  named.goods = {Line("G1", 3, 2.5, 1, 0.1)};
  tw::entry::FoldGoodsLines(named);
  EXPECT_FALSE(named.bGoodsFromLines);
  EXPECT_EQ(named.iQuantity, 9);
  EXPECT_STREQ(named.cGoods, "own");
  EXPECT_TRUE(tw::entry::StoresGoodsRows(named));

  PreInputRecord none;
  tw::entry::FoldGoodsLines(none);
  EXPECT_FALSE(none.bGoodsFromLines);
  EXPECT_FALSE(tw::entry::StoresGoodsRows(none));
}

TEST(PreInputRecordTest, FieldChecksRunInTheirOrder) {
  CFieldCheckList checks;
  ASSERT_EQ(checks.Load("<快递业务字段检查定义开始>\r\nfWeight=0.001-30\r\ncRAddr=1-10\r\niQuantity=1-99\r\n"
                        "<快递业务字段检查定义开始>\r\n"),
            1);
  char message[256];
  PreInputRecord r = Read(R"({"iID":0,"cRAddr":"12345678901","iQuantity":100,"fWeight":31})");
  ASSERT_EQ(tw::entry::CheckFields(r, checks, message, sizeof message), 1);
  EXPECT_STREQ(message, "[cRAddr] allowed length 1 - 10 bytes");  // the texts come first
  std::snprintf(r.cRAddr, sizeof r.cRAddr, "short");
  ASSERT_EQ(tw::entry::CheckFields(r, checks, message, sizeof message), 1);
  EXPECT_STREQ(message, "[iQuantity] allowed values 1 - 99");  // then the integer
  r.iQuantity = 5;
  ASSERT_EQ(tw::entry::CheckFields(r, checks, message, sizeof message), 1);
  EXPECT_STREQ(message, "[fWeight] allowed values 0.001 - 30.000");  // then the reals
  r.fWeight = 2;
  EXPECT_EQ(tw::entry::CheckFields(r, checks, message, sizeof message), 0);
}

TEST(PreInputRecordTest, NormalizeAndStorableValues) {
  PreInputRecord r = Read(
      R"({"iID":0,"nItemType":3,"nLanguage":-1,"nPayWay":7,"iItem":0,"iReserve":-2,"iQuantity":-3,)"
      R"("fWeight":-1,"fPrice":-2,"fGoods":-3,"fGoodsc":-4,"fDValue":-5,"fIValue":-6,"fGCustom":-7,"fGCRate":-8,)"
      R"("fAmount":-9,"faGet":-1})");
  tw::entry::Normalize(r);
  EXPECT_EQ(r.nItemType, 1);
  EXPECT_EQ(r.nLanguage, 0);
  EXPECT_EQ(r.nPayWay, 0);
  EXPECT_EQ(r.iItem, 1);
  EXPECT_EQ(r.iReserve, 0);
  EXPECT_EQ(r.iQuantity, 0);
  for (double v : {r.fWeight, r.fPrice, r.fGoods, r.fGoodsc, r.fDValue, r.fIValue, r.fGCustom, r.fGCRate}) {
    EXPECT_EQ(v, 0);
  }
  EXPECT_EQ(r.fAmount, -9);  // amounts and fee parts may be negative
  EXPECT_EQ(r.faGet, -1);

  // What the columns can keep: weights numeric(12,3), money numeric(14,2), rates numeric(10,4),
  // prices and values in cents as 32-bit integers.
  struct Case {
    const char* record;
    const char* message;  // null: storable
  } cases[] = {
      {R"({"iID":0,"fWeight":999999999.999,"fAmount":-999999999999.99,"fPrice":21474836.47,"fGCRate":999999.9999})",
       nullptr},
      {R"({"iID":0,"fWeight":1000000000})", "[fWeight]数值不合法"},
      {R"({"iID":0,"fWeight":"nan"})", "[fWeight]数值不合法"},
      {R"({"iID":0,"fAmount":1e999})", "[fAmount]数值不合法"},
      {R"({"iID":0,"fPrice":21474836.48})", "[fPrice]数值不合法"},  // 2147483648 cents
      {R"({"iID":0,"fIValue":"inf"})", "[fIValue]数值不合法"},
      {R"({"iID":0,"faBy":1e12})", "[faBy]数值不合法"},
      {R"({"iID":0,"fGCRate":1000000})", "[fGCRate]数值不合法"},
      {"{\"iID\":0,\"cMemo\":\"\\x81'\"}", "[cMemo]文字编码不合法"},  // a lead byte without its trail byte
  };
  for (const Case& c : cases) {
    PreInputRecord x = Read(c.record);
    char message[256] = "";
    const int refused = tw::entry::CheckStorable(x, message, sizeof message);
    EXPECT_EQ(refused, c.message != nullptr ? 1 : 0) << c.record;
    if (c.message != nullptr) {
      EXPECT_STREQ(message, c.message) << c.record;
    }
  }

  PreInputRecord goods;
  goods.goods = {Line("G", 1, 1, 1, 1), Line("H", 1, std::numeric_limits<double>::infinity(), 1, 1)};
  char message[256] = "";
  ASSERT_EQ(tw::entry::CheckStorable(goods, message, sizeof message), 1);
  EXPECT_STREQ(message, "[fxPrice]数值不合法");
  goods.goods[1] = Line("\x81", 1, 1, 1, 1);
  ASSERT_EQ(tw::entry::CheckStorable(goods, message, sizeof message), 1);
  EXPECT_STREQ(message, "[cxGoods]文字编码不合法");
}

TEST(PreInputRecordTest, TheCallCarriesItsSeventyNineArgumentsInOrder) {
  PreInputRecord r = Read(
      R"({"iID":5,"nItemType":2,"nLanguage":1,"cEmsKind":"K1","cDes":"D1","fWeight":1.2346,"fAmount":10.006,)"
      R"("cRUnit":"RU","cRAddr":"RA","cRCity":"RC","cRPostcode":"RP","cRProvince":"RPr","cRCountry":"RCo",)"
      R"("cReceiver":"O'Brien","cRPhone":"RPh","cMemo":"M  ","cNum":"N1234567","cRNo":"RNO","nPayWay":2,)"
      R"("cSender":"S","iLong":30,"iWidth":20,"iItem":3,"fGoods":1.5,"fGoodsc":2.25,"cGoods":"G","iQuantity":4,)"
      R"("fPrice":12.345,"cMoney":"USD","cPacking":"PK","cTransNote":"TN","fDValue":11,"fIValue":0.07,)"
      R"("cSUnit":"SU","cSAddr":"SA","cSPhone":"SPh","cSPostcode":"SP","cSCountry":"SCo","cSProvince":"SPr",)"
      R"("cSCity":"SC","cPayDir":"PD","cOrigin":"XX","cAddrFrom":"AF","cSSms":"SS","cSEMail":"SE","cREMail":"RE",)"
      R"("cRSms":"RS","cMark":"MK","cDepart":"DP","cNo":"NO1234567","cCNo":"CNO","cReserve":"RSV","iReserve":9,)"
      R"("cBy1":"B1","cBy2":"B2","cBy3":"B3","cBy4":"B4","cBy5":"B5","cGoodsA":"GA","cGCodeA":"GCA",)"
      R"("cGCodeB":"GCB","cGCodeC":"GCC","fGCustom":3.333,"fGCRate":0.12346,"cEmsKindc":"KC","cEmsKindw":"KW",)"
      R"("faGet":1,"faSafe":2,"faPack":3,"faOther":4,"faCheck":5,"faRemote":6,"faBy":7.5})");
  const unsigned char address[4] = {192, 168, 1, 10};
  const std::string call = tw::entry::BuildSetCall(r, 930001, address);
  EXPECT_EQ(call.rfind("{?=CALL dorvane.dbo.cp_rec_pre_input_set(", 0), 0u);
  EXPECT_EQ(call.substr(call.size() - 2), ")}");
  // Argument by argument, as the procedure takes them (worked out by hand: 12.345 yuan is 1234
  // cents by the scaling rule, 0.07 is 7; texts trimmed at the end and their quotes doubled).
  const std::vector<std::string> want = {
      "5", "930001", "2", "1", "'K1'", "'D1'", "1.235", "10.01",                              // 1-8
      "'RU'", "'RA'", "'RC'", "'RP'", "'RPr'", "'RCo'", "'O''Brien'", "'RPh'",                // 9-16
      "0", "'M'", "'N1234567'", "'RNO'", "''", "2", "'S'", "'30*20*0'", "3", "1.50", "2.25",   // 17-27
      "'G'", "4", "1234", "'USD'", "'PK'", "'TN'", "1100", "7", "1",                           // 28-36
      "'\\xC0A8010A'::bytea", "'\\x000000000000000000000000'::bytea",                         // 37-38
      "'SU'", "'SA'", "'SPh'", "'SP'", "'SCo'", "'SPr'", "'SC'", "'PD'", "'CN'",              // 39-47
      "'SS'", "'SE'", "'RE'", "'RS'", "'MK'", "'DP'", "'NO1234567'", "'RNO'", "'CNO'",        // 48-56
      "'RSV'", "9", "''", "'B1'", "'B2'", "'B3'", "'B4'", "'B5'", "'GA'", "'GCA'", "'GCB'",   // 57-67
      "'GCC'", "3.33", "0.1235", "'KC'", "'KW'", "1.00", "2.00", "3.00", "4.00", "5.00",      // 68-77
      "6.00", "7.50",                                                                          // 78-79
  };
  const std::vector<std::string> got = CallArguments(call);
  ASSERT_EQ(got.size(), 79u) << call;
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "argument " << i + 1;
}

TEST(PreInputRecordTest, GoodsRowsGoInOneInsert) {
  const std::vector<GoodsLine> lines = {Line("O'Neil", 2, 3.5, 1.255, 0.13), Line("B", 1, 4, 0, 0.123456)};
  EXPECT_EQ(tw::entry::BuildGoodsInsert(lines, 930123),
            "INSERT INTO dorvane.dbo.rec_pre_input_goods(wpos,iid,cgoods,cunit,iquantity,fprice,cgoodsa,cgcodea,"
            "cgcodeb,cgcodec,fgcustom,fgcrate)  select 0,930123,'O''Neil','',2,3.50,'O''Neil-A','O''Neil-1','','',"
            "1.25,0.1300  union all select 1,930123,'B','',1,4.00,'B-A','B-1','','',0.00,0.1235 ");
  // A long list is one statement of any length.
  const std::vector<GoodsLine> many(3000, Line("X", 1, 1, 1, 1));
  const std::string insert = tw::entry::BuildGoodsInsert(many, 1);
  EXPECT_GT(insert.size(), 16384u);
  EXPECT_NE(insert.find(" union all select 2999,1,'X'"), std::string::npos);
}

TEST(PreInputRecordTest, TheShipmentACarrierReceives) {
  PreInputRecord r = Read(
      R"({"iID":0,"cEmsKind":"EU","cDes":"US","cNum":"N1234567","cReceiver":"R","cRAddr":"A","cRUnit":"U",)"
      R"("cRPostcode":"10001","cGoods":"own","cGoodsA":"ownA","cGCodeA":"C","cPrintCode":"01","fDValue":8,)"
      R"("iLong":30,"iWidth":20,"iHeight":10})");
  CarrierShipment s;
  tw::entry::FillCarrierShipment(r, 930001, s);
  EXPECT_EQ(s.clientId, 930001);
  EXPECT_DOUBLE_EQ(s.weight, 0.5);     // no weight: half a kilogram
  EXPECT_DOUBLE_EQ(s.unitPrice, 1.0);  // no price: 1.0
  EXPECT_EQ(s.quantity, 1);
  EXPECT_EQ(s.pieces, 1);
  EXPECT_DOUBLE_EQ(s.declaredValue, 8);
  EXPECT_STREQ(s.dimensions, "30*20*10");
  EXPECT_STREQ(s.goods, "own");
  EXPECT_STREQ(s.goodsA, "ownA");
  EXPECT_STREQ(s.goodsCodeA, "C");
  EXPECT_STREQ(s.internalNumber, "N1234567");
  EXPECT_STREQ(s.company, "U");
  EXPECT_STREQ(s.printCode, "01");

  r.fWeight = 0.001;
  r.fPrice = 0.01;
  r.iQuantity = 0;
  r.iHeight = 0;
  r.goods = {Line("L1", 2, 3, 0, 0), Line("L2", 1, 1, 0, 0)};
  CarrierShipment t;
  tw::entry::FillCarrierShipment(r, 930001, t);
  EXPECT_DOUBLE_EQ(t.weight, 0.001);
  EXPECT_DOUBLE_EQ(t.unitPrice, 0.01);
  EXPECT_EQ(t.quantity, 1);
  EXPECT_STREQ(t.dimensions, "");  // a side of 0: no dimensions
  EXPECT_STREQ(t.goods, "L1");     // the first line's goods
  EXPECT_STREQ(t.goodsA, "L1-A");
  EXPECT_STREQ(t.goodsCodeA, "L1-1");
}

TEST(PreInputBatchTest, RecordsOfABatch) {
  std::vector<std::string_view> records;
  const std::string list = R"("RecList":[{"iID":1,"cNum":"A"},{"iID" : 2,"cMemo":"iID"},{"iID":3}]})";
  ASSERT_TRUE(tw::entry::CutRecords(list, 100, records));
  // Each record runs from its "{" to the "," before the next record's "{"; the last to the end.
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], R"({"iID":1,"cNum":"A"},)");
  EXPECT_EQ(records[1], R"({"iID" : 2,"cMemo":"iID"},)");  // a value "iID" is no key
  EXPECT_EQ(records[2], R"({"iID":3}]})");

  ASSERT_TRUE(tw::entry::CutRecords(R"("RecList":[])", 100, records));
  EXPECT_TRUE(records.empty());
  EXPECT_FALSE(tw::entry::CutRecords(list, 2, records));  // more records than a batch may hold
  EXPECT_TRUE(records.empty());
}

TEST(PreInputBatchTest, IdsToWithdraw) {
  struct Case {
    const char* body;
    bool ok;
    std::vector<int32_t> ids;
  } cases[] = {
      {R"({"icID":1,"iIDs":[12,13]})", true, {12, 13}},
      {R"({"iIDs" : [ 5 , 6 ,7 ]})", true, {5, 6, 7}},
      {R"({"iIDs":[]})", true, {}},
      {R"({"iIDs":[5,,7]})", true, {5, 7}},                   // the first digits after each ","
      {R"({"iIDs":[-5,6]})", true, {5, 6}},                    // a "-" is not part of an id
      {R"({"iIDs":["8","9x"]})", true, {8, 9}},
      {R"({"iIDs":[99999999999]})", true, {INT_MAX}},
      {R"({"iIDs":[1],"icID":930001})", true, {1}},            // reading stops at the "]"
      {R"({"icID":1})", false, {}},                            // no list
      {R"({"iIDs":"12,13"})", false, {}},                      // not a list
      {R"({"iIDs":[1,2)", false, {}},                          // not closed
  };
  for (const Case& c : cases) {
    std::vector<int32_t> ids = {42};
    EXPECT_EQ(tw::entry::ReadIdList(c.body, 100, ids), c.ok) << c.body;
    EXPECT_EQ(ids, c.ids) << c.body;
  }
  std::vector<int32_t> ids;
  EXPECT_FALSE(tw::entry::ReadIdList(R"({"iIDs":[1,2,3]})", 2, ids));
  EXPECT_TRUE(ids.empty());
}

TEST(CarrierHandOverTest, NoCarrierServesAKindUntilOneIsInstalled) {
  EXPECT_EQ(CarrierHandOver().FindCarrier("EMS"), kCarrierNone);

  class COneKind : public CCarrierHandOver {
   public:
    int32_t FindCarrier(const char* kind) const override { return std::string(kind) == "SF" ? kCarrierSf : kCarrierNone; }
    int CreateOrder(PoolSlot&, int32_t, const CarrierShipment&, CarrierOrderResult&) override { return 0; }
  } oneKind;
  SetCarrierHandOver(&oneKind);
  EXPECT_EQ(CarrierHandOver().FindCarrier("SF"), kCarrierSf);
  EXPECT_EQ(CarrierHandOver().FindCarrier("EMS"), kCarrierNone);
  SetCarrierHandOver(nullptr);
  EXPECT_EQ(CarrierHandOver().FindCarrier("SF"), kCarrierNone);
}

}  // namespace
