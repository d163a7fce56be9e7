// The client's writing road over HTTP against the test database: "PreInputSet" stores batches of
// pre-input shipments through the entry worker, "PreInputDel" withdraws them. Every stored row is
// read back from the database, not only from the reply.
//
// Most requests go through the Do door (the test runs on the trusted loopback address); the other
// doors are tried once each. The rows of this test use ids and codes no other test uses: clients
// 930001-930009, number sequences 93001-93003, kinds H8K, H8T, H8SAME and H8FILL, shipment
// record ids from 930700.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "tests/support/load.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 930001;        // most records
constexpr int kForeignClient = 930002;  // another client's shipments
constexpr int kRaceClient = 930003;     // the concurrent batches
constexpr int kDrawClient = 930004;     // drawn numbers
constexpr int kBatchClient = 930005;    // long batches
constexpr int kDoorClient = 930006;     // the signed doors
constexpr int kLoadClient = 930007;     // drawn numbers under load
// How long each load runs.
constexpr int kLoadSeconds = 4;
constexpr char kDoorKey[] = "H8Key930006";

// The settings every host of this test shares: two transfer-number rules (H8T draws from sequence
// 93002, H8SAME from 93001, which is also the default internal rule of the drawing host), the field
// checks and a kind fill record.
std::string BaseIni() {
  return twtest::DefaultIni() +
         "<转单号生成定义开始>\r\nH8T=93002=\r\nH8SAME=93001=\r\n<转单号生成定义结束>\r\n"
         "<快递业务字段检查定义开始>\r\ncReceiver=0-40\r\ncRAddr=0-40\r\nfWeight=0-50\r\n<快递业务字段检查定义开始>\r\n"
         "<字段填写定义开始>\r\nH8FILL=x|RSV-F||B2-F|||B5-F\r\n<字段填写定义结束>\r\n";
}

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

// Request text in GBK (as the test's literals are) sent as the UTF-8 that clients send.
std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

// One full "ErrList" entry of "PreInputSet" (texts in GBK, written as the reply's UTF-8).
std::string Entry(int index, long long id, const std::string& num, const std::string& no, const std::string& mess,
                  const std::string& reserve = "", const std::string& by1 = "", const std::string& by2 = "",
                  const std::string& by5 = "") {
  return "{\"iIndex\":" + std::to_string(index) + ",\"iID\":" + std::to_string(id) + ",\"cNum\":\"" + num +
         "\",\"cNo\":\"" + no + "\",\"cMess\":\"" + Utf8(mess) + "\",\"cReserve\":\"" + reserve + "\",\"cBy1\":\"" +
         by1 + "\",\"cBy2\":\"" + by2 + "\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"" + by5 + "\"}";
}

class PreInputSetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.client_arc (icid, capikey) VALUES (930001, 'H8Key930001'), "
                     "(930002, 'H8Key930002'), (930003, 'H8Key930003'), (930004, 'H8Key930004'), "
                     "(930005, 'H8Key930005'), (930006, 'H8Key930006'), (930007, 'H8Key930007')"));
    // 93001: internal numbers H8 and eight digits; 93002: transfer numbers TT and eight digits;
    // 93003: a sequence whose range is used up.
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
                     "(93001, 'H8', '', 8, 0, 1, NULL), (93002, 'TT', '', 8, 0, 1, NULL), "
                     "(93003, 'XX', '', 8, 0, 5, 4)"));
  }

  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    RemoveRows(db);
  }

  static bool Exec(TestDb& db, const std::string& sql) {
    bool ok = db.Exec(sql);
    EXPECT_TRUE(ok) << db.error() << "\n" << sql;
    return ok;
  }

  static void RemoveShipments(TestDb& db) {
    Exec(db, "DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid BETWEEN "
             "930000 AND 939999)");
    Exec(db, "DELETE FROM dbo.rec_pre_input WHERE icid BETWEEN 930000 AND 939999");
  }

  static void RemoveRows(TestDb& db) {
    RemoveShipments(db);
    Exec(db, "DELETE FROM dbo.client_arc WHERE icid BETWEEN 930000 AND 939999");
    Exec(db, "DELETE FROM dbo.sys_genno WHERE iid BETWEEN 93001 AND 93003");
  }

  // Every test starts without shipments of its clients.
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    TestDb db;
    RemoveShipments(db);
  }

  // Starts a host with the shared settings plus `more`.
  static void StartHost(TestHost& host, const std::string& more = "") {
    HostConfig config;
    config.iniText = BaseIni() + more;
    ASSERT_TRUE(host.Start(config)) << host.error();
  }

  // A request of the Do door: {"RequestName":name,"icID":client,<more>}.
  static std::string Do(HttpClient& http, const std::string& name, int client, const std::string& more) {
    HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"" + name + "\",\"icID\":" +
                                                            std::to_string(client) + more + "}");
    EXPECT_EQ(r.status, 200) << name << more;
    EXPECT_EQ(r.Header("content-type"), "application/json") << name;
    return r.body;
  }
  // "PreInputSet" of the records (JSON objects joined by ",").
  static std::string Set(HttpClient& http, int client, const std::string& records) {
    return Do(http, "PreInputSet", client, ",\"RecList\":[" + records + "]");
  }

  static std::string Scalar(const std::string& sql) {
    TestDb db;
    return db.Scalar(sql);
  }
  static std::vector<std::vector<std::string>> Query(const std::string& sql) {
    TestDb db;
    return db.Query(sql);
  }
  static long long Count(int client) {
    return std::stoll(Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE icid = " + std::to_string(client)));
  }
  // The id of the client's shipment with that internal number (0 when none).
  static long long IdOf(int client, const std::string& number) {
    std::string id = Scalar("SELECT iid FROM dbo.rec_pre_input WHERE icid = " + std::to_string(client) +
                            " AND cnum = '" + number + "'");
    return id.empty() ? 0 : std::stoll(id);
  }
  // The shipment's columns (as text) in the order asked.
  static std::vector<std::string> Row(long long iid, const std::string& columns) {
    auto rows = Query("SELECT " + columns + " FROM dbo.rec_pre_input WHERE iid = " + std::to_string(iid));
    return rows.empty() ? std::vector<std::string>() : rows[0];
  }
  // The shipment's goods rows, in their order.
  static std::vector<std::vector<std::string>> Goods(long long iid) {
    return Query("SELECT wpos, cgoods, cunit, iquantity, fprice, cgoodsa, cgcodea, cgcodeb, cgcodec, fgcustom, "
                 "fgcrate FROM dbo.rec_pre_input_goods WHERE iid = " + std::to_string(iid) + " ORDER BY wpos");
  }
};

TEST_F(PreInputSetTest, ABatchOfThreeWithItsExactReply) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string body =
      Set(http, kClient,
          "{\"iID\":0,\"cNum\":\"h8a0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"" + Utf8("美国") + "\",\"cReceiver\":\"" +
              Utf8("张三") + "\",\"fWeight\":1.5,\"cRNo\":\"R-1\"},"
              "{\"iID\":0,\"cNum\":\"123\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"},"
              "{\"iID\":0,\"cNum\":\"H8A0000003\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"cRAddr\":\"" +
              std::string(41, 'a') + "\"}");
  const long long id = IdOf(kClient, "H8A0000001");
  ASSERT_GT(id, 0) << body;
  EXPECT_EQ(body, "{\"ReturnValue\":3,\"OK\":1,\"ErrList\":[" + Entry(0, id, "H8A0000001", "H8A0000001", "") + "," +
                      Entry(1, 0, "123", "", "内单号不合法(7-30字符)") + "," +
                      Entry(2, 0, "H8A0000003", "", "[cRAddr] allowed length 0 - 40 bytes") + "]}");

  // Only the first was stored, with the caller's address, the option bytes and the fixed arguments.
  EXPECT_EQ(Count(kClient), 1);
  EXPECT_EQ(Row(id, "icid, irid, cnum, cno, cemskind, cdes, creceiver, fweight, nitemtype, iitem, iquantity, "
                    "clwh, nstate, nsource, encode(vaddress, 'hex'), encode(voption, 'hex'), corigin, crefer, crno, "
                    "caddrfrom, cunit"),
            (std::vector<std::string>{"930001", "0", "H8A0000001", "H8A0000001", "H8K", "美国", "张三", "1.500", "1",
                                      "1", "1", "0*0*0", "0", "1", "7f000001", std::string(24, '0'), "CN", "R-1", "R-1",
                                      "", ""}));
  EXPECT_TRUE(Goods(id).empty());
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, RefusalsComeInTheirOrder) {
  // Each record is refused by the first rule it breaks; none is stored. The texts are the worker's
  // own and those of the field checks of BaseIni.
  struct Case {
    std::string record;
    const char* mess;
  } cases[] = {
      {"\"cNum\":\"123456\"", "内单号不合法(7-30字符)"},  // before the kind is even looked at
      {"\"cNum\":\"H8R0000002\"", "快递类别空"},
      {"\"cNum\":\"H8R0000003\",\"cEmsKind\":\"H8K\"", "目的地空"},
      {"\"cNum\":\"H8R0000004\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"cRAddr\":\"" + std::string(41, 'a') +
           "\",\"fWeight\":60",
       "[cRAddr] allowed length 0 - 40 bytes"},  // the texts are checked before the weight
      {"\"cNum\":\"H8R0000005\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"fWeight\":60",
       "[fWeight] allowed values 0.000 - 50.000"},
      {"\"cNum\":\"H8R0000006\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"fAmount\":1e20", "[fAmount]数值不合法"},
      {"\"cNum\":\"H8R0000007\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"fPrice\":30000000", "[fPrice]数值不合法"},
      {"\"cNum\":\"H8R0000008\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"cMemo\":\"\\x81'\"", "[cMemo]文字编码不合法"},
  };
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  for (const Case& c : cases) {
    const std::string body = Set(http, kClient, "{\"iID\":0," + c.record + "}");
    EXPECT_EQ(ReplyTexts(body, "cMess"), std::vector<std::string>{Utf8(c.mess)}) << c.record << "\n" << body;
    EXPECT_EQ(ReplyInts(body, "OK"), std::vector<long long>{0}) << c.record;
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE icid = 930001 AND cnum LIKE 'H8R%'"), "0");
  EXPECT_EQ(host.Stop(), 0);

  // With a default rule whose sequence is used up no number can be drawn; the kind is still looked
  // at first.
  TestHost noNumbers;
  StartHost(noNumbers, "内单号生成ID=93003\r\n");
  HttpClient http2(noNumbers.port());
  EXPECT_EQ(ReplyTexts(Set(http2, kClient, "{\"iID\":0,\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}"), "cMess"),
            std::vector<std::string>{Utf8("内单号获取失败")});
  EXPECT_EQ(ReplyTexts(Set(http2, kClient, "{\"iID\":0,\"cDes\":\"US\"}"), "cMess"),
            std::vector<std::string>{Utf8("快递类别空")});
  EXPECT_EQ(noNumbers.Stop(), 0);
}

TEST_F(PreInputSetTest, DrawnNumbersTransferNumbersAndKindFill) {
  TestHost host;
  StartHost(host, "内单号生成ID=93001\r\n");
  HttpClient http(host.port());
  struct Case {
    std::string record;
    const char* num;  // regular expressions of the numbers in the reply and the row
    const char* no;
    bool bNoIsNum;  // the transfer number is the internal number itself
    const char* why;
  } cases[] = {
      {"\"cEmsKind\":\"H8K\"", "H8[0-9]{8}", "H8[0-9]{8}", true, "drawn; a kind without a transfer rule"},
      {"\"cNum\":\"abc\",\"cEmsKind\":\"H8K\"", "H8[0-9]{8}", "H8[0-9]{8}", true, "a short number is replaced"},
      {"\"cNum\":\"own-num1\",\"cEmsKind\":\"H8T\"", "OWN-NUM1", "TT[0-9]{8}", false,
       "given and upper-cased; the kind's transfer rule draws the transfer number"},
      {"\"cEmsKind\":\"H8T\",\"cNo\":\"ab12\"", "H8[0-9]{8}", "TT[0-9]{8}", false, "a short transfer number is replaced"},
      {"\"cEmsKind\":\"H8T\",\"cNo\":\"no12345x\"", "H8[0-9]{8}", "NO12345X", false,
       "a transfer number of 7 or more is kept (upper-cased)"},
      {"\"cEmsKind\":\"H8SAME\"", "H8[0-9]{8}", "H8[0-9]{8}", true,
       "the transfer rule is the rule that drew the internal number"},
      {"\"cNum\":\"OWN-NUM2\",\"cEmsKind\":\"H8SAME\"", "OWN-NUM2", "H8[0-9]{8}", false,
       "a given internal number: the transfer rule draws"},
  };
  for (const Case& c : cases) {
    const std::string body = Set(http, kDrawClient, "{\"iID\":0,\"cDes\":\"US\"," + c.record + "}");
    ASSERT_EQ(ReplyInts(body, "OK"), std::vector<long long>{1}) << c.why << "\n" << body;
    const std::string num = ReplyTexts(body, "cNum").at(0), no = ReplyTexts(body, "cNo").at(0);
    EXPECT_TRUE(std::regex_match(num, std::regex(c.num))) << c.why << ": " << num;
    EXPECT_TRUE(std::regex_match(no, std::regex(c.no))) << c.why << ": " << no;
    EXPECT_EQ(num == no, c.bNoIsNum) << c.why;
    EXPECT_EQ(Row(ReplyInts(body, "iID").at(0), "cnum, cno"), (std::vector<std::string>{num, no})) << c.why;
  }

  // The kind's fill record replaces what the request sent, where it has a value.
  const std::string body = Set(http, kDrawClient,
                               "{\"iID\":0,\"cDes\":\"US\",\"cEmsKind\":\"H8FILL\",\"cReserve\":\"mine\","
                               "\"cBy1\":\"B1mine\",\"cBy2\":\"B2mine\",\"cBy3\":\"B3mine\"}");
  const long long id = ReplyInts(body, "iID").at(0);
  ASSERT_GT(id, 0) << body;
  EXPECT_EQ(Row(id, "creserve, cby1, cby2, cby3, cby4, cby5"),
            (std::vector<std::string>{"RSV-F", "B1mine", "B2-F", "B3mine", "", "B5-F"}));
  EXPECT_EQ(ReplyTexts(body, "cReserve"), std::vector<std::string>{"RSV-F"});
  EXPECT_EQ(ReplyTexts(body, "cBy2"), std::vector<std::string>{"B2-F"});
  EXPECT_EQ(ReplyTexts(body, "cBy5"), std::vector<std::string>{"B5-F"});
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, GoodsLinesAndAmounts) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string apple = Utf8("苹果"), pear = Utf8("梨");
  const std::string twoLines = ",\"GoodsList\":[{\"cxGoods\":\"" + apple +
                               "\",\"cxGoodsA\":\"Apple\",\"cxGCodeA\":\"0808\",\"ixQuantity\":2,\"fxPrice\":3.5,"
                               "\"fxGCustom\":1.25,\"fxGCRate\":0.13},{\"cxGoods\":\"" + pear +
                               "\",\"ixQuantity\":1,\"fxPrice\":4,\"fxGCustom\":2.5,\"fxGCRate\":0.2}]";
  const std::string body = Set(
      http, kClient,
      "{\"iID\":0,\"cNum\":\"H8G0000002\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"" + twoLines + "},"
      "{\"iID\":0,\"cNum\":\"H8G0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"GoodsList\":[{\"cxGoods\":\"" + pear +
          "\",\"ixQuantity\":3,\"fxPrice\":2.5}]},"
      "{\"iID\":0,\"cNum\":\"H8G0000003\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"cGoods\":\"" + Utf8("自有") +
          "\",\"iQuantity\":9,\"GoodsList\":[{\"cxGoods\":\"" + pear + "\",\"ixQuantity\":3,\"fxPrice\":2.5}]},"
      "{\"iID\":0,\"cNum\":\"H8G0000004\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"GoodsList\":[ {\"cxGoods\":\"A\","
      "\"ixQuantity\":1,\"fxPrice\":1} , {\"cxGoods\":\"B\",\"ixQuantity\":1,\"fxPrice\":2} ]},"
      "{\"iID\":0,\"cNum\":\"H8M0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\",\"fWeight\":2.3456,\"fAmount\":12.5,"
      "\"fPrice\":12.345,\"fDValue\":19.99,\"fIValue\":0.07,\"fGoods\":3.456,\"fGoodsc\":-1,\"fGCustom\":7.777,"
      "\"fGCRate\":0.12346,\"faGet\":1.234,\"faBy\":-2.5,\"iLong\":30,\"iWidth\":20,\"iHeight\":10,\"iQuantity\":-4,"
      "\"nPayWay\":5,\"cMemo\":\"a'b\\\\c?{d}\"}");
  ASSERT_EQ(ReplyInts(body, "OK"), std::vector<long long>{5}) << body;

  // Two lines, no goods of the record's own: the record carries the first line's names and the
  // totals (2 x 3.50 + 1 x 4.00 = 11.00: quantity 1, price and declared value 1100 cents), the
  // lines become rows 0 and 1.
  const long long two = IdOf(kClient, "H8G0000002");
  EXPECT_EQ(Row(two, "cgoods, cgoodsa, cgcodea, iquantity, iprice, idvalue, fgcustom, fgcrate"),
            (std::vector<std::string>{"苹果", "Apple", "0808", "1", "1100", "1100", "3.75", "0.1300"}));
  EXPECT_EQ(Goods(two), (std::vector<std::vector<std::string>>{
                            {"0", "苹果", "", "2", "3.50", "Apple", "0808", "", "", "1.25", "0.1300"},
                            {"1", "梨", "", "1", "4.00", "", "", "", "", "2.50", "0.2000"}}));
  // One line: kept in the record itself (3 x 2.50), no goods row.
  const long long one = IdOf(kClient, "H8G0000001");
  EXPECT_EQ(Row(one, "cgoods, iquantity, iprice, idvalue"), (std::vector<std::string>{"梨", "3", "250", "750"}));
  EXPECT_TRUE(Goods(one).empty());
  // One line beside goods of the record's own: the record keeps its own, the line is a row.
  const long long named = IdOf(kClient, "H8G0000003");
  EXPECT_EQ(Row(named, "cgoods, iquantity"), (std::vector<std::string>{"自有", "9"}));
  EXPECT_EQ(Goods(named).size(), 1u);
  // Blanks between the objects and the brackets lose nothing.
  EXPECT_EQ(Goods(IdOf(kClient, "H8G0000004")).size(), 2u);

  // Money in cents by the scaling rule (12.345 -> 1234, 19.99 -> 1999, 0.07 -> 7), the weight to the
  // gram, the other reals to their places; negative counts and values become 0 where they must not be
  // negative, fee parts keep their sign.
  const long long money = IdOf(kClient, "H8M0000001");
  EXPECT_EQ(Row(money, "fweight, (fweight * 1000)::integer, famount, iprice, idvalue, iivalue, fgoods, fgoodsc, "
                       "fgcustom, fgcrate, faget, faby, clwh, iquantity, npayway, cmemo"),
            (std::vector<std::string>{"2.346", "2346", "12.50", "1234", "1999", "7", "3.46", "0.00", "7.78", "0.1235",
                                      "1.23", "-2.50", "30*20*10", "0", "0", "a'b\\c?{d}"}));

  // "PreInputData" reads them back: the money as decimals, the goods lines in order.
  const std::string data = Do(http, "PreInputData", kClient, ",\"iID\":" + std::to_string(money));
  EXPECT_NE(data.find("\"fWeight\":2.346,\"iLong\":30,\"iWidth\":20,\"iHeight\":10,"), std::string::npos) << data;
  EXPECT_NE(data.find("\"fPrice\":12.34,\"fGoods\":3.46,\"fGoodsc\":0.00,\"fDValue\":19.99,\"fIValue\":0.07,"),
            std::string::npos)
      << data;
  const std::string goods = Do(http, "PreInputData", kClient, ",\"iID\":" + std::to_string(two));
  EXPECT_EQ(ReplyTexts(goods, "cxGoods"), (std::vector<std::string>{apple, pear}));
  EXPECT_EQ(ReplyInts(goods, "ixQuantity"), (std::vector<long long>{2, 1}));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, AReceiverNameOutsideGbkIsKeptAsItsEntity) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  // U+D55C (a Hangul syllable) has no GBK form: the name is stored with its decimal entity and
  // "PreInputData" gives the character back.
  const std::string name = Utf8("张") + "\xED\x95\x9C";
  const std::string body = Set(http, kClient,
                               "{\"iID\":0,\"cNum\":\"H8E0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"KR\",\"cReceiver\":\"" +
                                   name + "\",\"cRCity\":\"\xED\x95\x9C\"}");
  const long long id = IdOf(kClient, "H8E0000001");
  ASSERT_GT(id, 0) << body;
  EXPECT_EQ(Row(id, "creceiver, ccity"), (std::vector<std::string>{"张&#54620;", "&#54620;"}));
  const std::string data = Do(http, "PreInputData", kClient, ",\"iID\":" + std::to_string(id));
  EXPECT_EQ(ReplyTexts(data, "cReceiver"), std::vector<std::string>{name});
  EXPECT_EQ(ReplyTexts(data, "cRCity"), std::vector<std::string>{"\xED\x95\x9C"});
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, ChangedAndTakenOverRecords) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string lines = ",\"GoodsList\":[{\"cxGoods\":\"A\",\"ixQuantity\":1,\"fxPrice\":1},"
                            "{\"cxGoods\":\"B\",\"ixQuantity\":2,\"fxPrice\":2}]";
  ASSERT_EQ(ReplyInts(Set(http, kClient,
                     "{\"iID\":0,\"cNum\":\"H8C0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"" + lines + "},"
                     "{\"iID\":0,\"cNum\":\"H8C0000002\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}"),
                 "OK"),
            std::vector<long long>{2});
  ASSERT_EQ(ReplyInts(Set(http, kForeignClient, "{\"iID\":0,\"cNum\":\"H8C0000009\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}"),
                 "OK"),
            std::vector<long long>{1});
  const long long x = IdOf(kClient, "H8C0000001"), y = IdOf(kClient, "H8C0000002");
  const long long foreign = IdOf(kForeignClient, "H8C0000009");
  const std::string ids = std::to_string(x);

  // A change keeps the id, replaces the fields and the goods rows.
  std::string body = Set(http, kClient,
                         "{\"iID\":" + ids + ",\"cNum\":\"H8C0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"" + Utf8("英国") +
                             "\",\"cReceiver\":\"" + Utf8("李四") + "\",\"GoodsList\":[{\"cxGoods\":\"C\","
                             "\"ixQuantity\":5,\"fxPrice\":1},{\"cxGoods\":\"D\",\"ixQuantity\":1,\"fxPrice\":2}]}");
  EXPECT_EQ(body, "{\"ReturnValue\":1,\"OK\":1,\"ErrList\":[" + Entry(0, x, "H8C0000001", "H8C0000001", "") + "]}");
  EXPECT_EQ(Row(x, "cdes, creceiver, cgoods, iquantity, iprice"),
            (std::vector<std::string>{"英国", "李四", "C", "1", "700"}));
  auto goods = Goods(x);
  ASSERT_EQ(goods.size(), 2u);
  EXPECT_EQ(goods[0][1], "C");
  EXPECT_EQ(goods[1][1], "D");
  // Changed again with a single line that the record keeps: no goods rows are left.
  body = Set(http, kClient, "{\"iID\":" + ids + ",\"cNum\":\"H8C0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\","
                            "\"GoodsList\":[{\"cxGoods\":\"E\",\"ixQuantity\":1,\"fxPrice\":9}]}");
  EXPECT_EQ(ReplyInts(body, "OK"), std::vector<long long>{1}) << body;
  EXPECT_TRUE(Goods(x).empty());
  EXPECT_EQ(Row(x, "cgoods, iprice"), (std::vector<std::string>{"E", "900"}));

  // Refusals of the procedure: another record's number (letter case does not count), someone
  // else's record, a record already taken over. None changes a row.
  ASSERT_TRUE(TestDb().Exec("UPDATE dbo.rec_pre_input SET irid = 930700 WHERE iid = " + std::to_string(y)));
  struct Case {
    std::string record;
    long long id;
    const char* mess;
  } cases[] = {
      {"{\"iID\":0,\"cNum\":\"h8c0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}", 0, "同样内单号的记录已经存在。"},
      {"{\"iID\":" + std::to_string(foreign) + ",\"cNum\":\"H8C0000003\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}",
       foreign, "记录不存在。"},
      {"{\"iID\":" + std::to_string(y) + ",\"cNum\":\"H8C0000002\",\"cEmsKind\":\"H8K\",\"cDes\":\"CN\"}", y,
       "记录已经处理。"},
      {"{\"iID\":999999999,\"cNum\":\"H8C0000004\",\"cEmsKind\":\"H8K\",\"cDes\":\"CN\"}", 999999999, "记录不存在。"},
  };
  for (const Case& c : cases) {
    body = Set(http, kClient, c.record);
    EXPECT_EQ(ReplyInts(body, "OK"), std::vector<long long>{0}) << c.record;
    EXPECT_EQ(ReplyInts(body, "iID"), std::vector<long long>{c.id}) << c.record;
    EXPECT_EQ(ReplyTexts(body, "cMess"), std::vector<std::string>{Utf8(c.mess)}) << c.record;
  }
  // A number taken by another record: refused when a change asks for it.
  body = Set(http, kClient, "{\"iID\":" + ids + ",\"cNum\":\"H8C0000002\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}");
  EXPECT_EQ(ReplyTexts(body, "cMess"), std::vector<std::string>{Utf8("同样内单号的记录已经存在。")});
  EXPECT_EQ(Row(y, "cdes, irid"), (std::vector<std::string>{"US", "930700"}));
  EXPECT_EQ(Row(x, "cnum"), std::vector<std::string>{"H8C0000001"});
  EXPECT_EQ(Row(foreign, "cnum"), std::vector<std::string>{"H8C0000009"});
  EXPECT_EQ(Count(kClient), 2);
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, WithdrawingShipments) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string lines = ",\"GoodsList\":[{\"cxGoods\":\"A\",\"ixQuantity\":1},{\"cxGoods\":\"B\",\"ixQuantity\":2}]";
  ASSERT_EQ(ReplyInts(Set(http, kClient,
                     "{\"iID\":0,\"cNum\":\"H8D0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"" + lines + "},"
                     "{\"iID\":0,\"cNum\":\"H8D0000002\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}"),
                 "OK"),
            std::vector<long long>{2});
  ASSERT_EQ(ReplyInts(Set(http, kForeignClient, "{\"iID\":0,\"cNum\":\"H8D0000003\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}"),
                 "OK"),
            std::vector<long long>{1});
  const long long w = IdOf(kClient, "H8D0000001"), taken = IdOf(kClient, "H8D0000002");
  const long long foreign = IdOf(kForeignClient, "H8D0000003");
  ASSERT_EQ(Goods(w).size(), 2u);
  ASSERT_TRUE(TestDb().Exec("UPDATE dbo.rec_pre_input SET irid = 930701 WHERE iid = " + std::to_string(taken)));

  const std::string list = "[" + std::to_string(w) + "," + std::to_string(taken) + "," + std::to_string(foreign) +
                           ",999999999]";
  // The failure texts are escaped as \u units (by hand from their code points).
  EXPECT_EQ(Do(http, "PreInputDel", kClient, ",\"iIDs\":" + list),
            "{\"ReturnValue\":4,\"OK\":1,\"ErrList\":[{\"iIndex\":0,\"iID\":" + std::to_string(taken) +
                ",\"cMess\":\"\\u8BB0\\u5F55\\u5DF2\\u7ECF\\u5904\\u7406\\u3002\"},{\"iIndex\":1,\"iID\":" +
                std::to_string(foreign) +
                ",\"cMess\":\"\\u8BB0\\u5F55\\u4E0D\\u5B58\\u5728\\u3002\"},{\"iIndex\":2,\"iID\":999999999,"
                "\"cMess\":\"\\u8BB0\\u5F55\\u4E0D\\u5B58\\u5728\\u3002\"}]}");
  EXPECT_TRUE(Row(w, "iid").empty());
  EXPECT_TRUE(Goods(w).empty());
  EXPECT_EQ(Row(taken, "irid"), std::vector<std::string>{"930701"});
  EXPECT_EQ(Row(foreign, "icid"), std::vector<std::string>{"930002"});
  // Withdrawn once, gone the second time.
  EXPECT_EQ(ReplyInts(Do(http, "PreInputDel", kClient, ",\"iIDs\":[" + std::to_string(w) + "]"), "OK"),
            std::vector<long long>{0});

  struct Case {
    std::string more;
    std::string reply;
  } cases[] = {
      {",\"iIDs\":[]", "{\"ReturnValue\":0,\"OK\":0}"},
      {"", Code(-3)},
      {",\"iIDs\":\"" + std::to_string(foreign) + "\"", Code(-3)},  // not a list
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Do(http, "PreInputDel", kClient, c.more), c.reply) << c.more;
  }
  EXPECT_EQ(Do(http, "PreInputDel", 0, ",\"iIDs\":[1]"), Code(-710));
  EXPECT_EQ(Do(http, "PreInputSet", 0, ",\"RecList\":[]"), Code(-710));
  EXPECT_EQ(Do(http, "PreInputSet", kClient, ""), Code(-3));
  EXPECT_EQ(Do(http, "PreInputSet", kClient, ",\"RecList\":[{\"cNum\":\"H8D0000009\"}]"), "{\"ReturnValue\":0,\"OK\":0}");
  EXPECT_EQ(Row(foreign, "icid"), std::vector<std::string>{"930002"});
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, ConcurrentBatchesStoreANumberOnce) {
  TestHost host;
  StartHost(host);
  constexpr int kRounds = 4, kRecords = 20;
  for (int round = 0; round < kRounds; ++round) {
    // Both batches carry the same numbers; every other record has goods rows, so it is stored in a
    // transaction of its own.
    std::string records;
    for (int i = 0; i < kRecords; ++i) {
      char num[16];
      std::snprintf(num, sizeof num, "H8P%d%06d", round, i);
      if (i > 0) records += ",";
      records += std::string("{\"iID\":0,\"cNum\":\"") + num + "\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"" +
                 (i % 2 == 0 ? ",\"GoodsList\":[{\"cxGoods\":\"A\",\"ixQuantity\":1},{\"cxGoods\":\"B\",\"ixQuantity\":1}]"
                             : "") +
                 "}";
    }
    std::string replies[2];
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back([&, t] {
        HttpClient http(host.port());
        ++ready;
        while (ready.load() < 2) std::this_thread::yield();
        replies[t] = Set(http, kRaceClient, records);
      });
    }
    for (std::thread& t : threads) t.join();
    std::vector<std::string> mess[2] = {ReplyTexts(replies[0], "cMess"), ReplyTexts(replies[1], "cMess")};
    ASSERT_EQ(mess[0].size(), static_cast<size_t>(kRecords)) << replies[0];
    ASSERT_EQ(mess[1].size(), static_cast<size_t>(kRecords)) << replies[1];
    for (int i = 0; i < kRecords; ++i) {
      // Exactly one of the two stored it; the other was told why not.
      EXPECT_NE(mess[0][i].empty(), mess[1][i].empty()) << "round " << round << " record " << i;
      EXPECT_EQ(mess[0][i].empty() ? mess[1][i] : mess[0][i], Utf8("同样内单号的记录已经存在。"));
    }
    EXPECT_EQ(ReplyInts(replies[0], "OK")[0] + ReplyInts(replies[1], "OK")[0], kRecords);
  }
  EXPECT_EQ(Count(kRaceClient), kRounds * kRecords);
  EXPECT_EQ(Scalar("SELECT count(DISTINCT cnum) FROM dbo.rec_pre_input WHERE icid = 930003"),
            std::to_string(kRounds * kRecords));
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_pre_input_goods g JOIN dbo.rec_pre_input p USING (iid) "
                   "WHERE p.icid = 930003"),
            std::to_string(kRounds * kRecords));  // two rows for each of the ten records with lines
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, DrawnNumbersHoldPastThePoolsSize) {
  // More connections than the pool's 50 slots post batches of five records without numbers; each
  // record draws its number on the slot its request holds. None is refused for want of a number, no
  // number is stored twice, and the records answered stored are in the database, each once.
  TestHost host;
  StartHost(host, "内单号生成ID=93001\r\n");
  std::string records;
  for (int i = 0; i < 5; ++i) {
    records += std::string(i > 0 ? "," : "") + "{\"iID\":0,\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}";
  }
  const std::string request =
      "{\"RequestName\":\"PreInputSet\",\"icID\":" + std::to_string(kLoadClient) + ",\"RecList\":[" + records + "]}";
  for (const int connections : {64, 128}) {
    SCOPED_TRACE(std::to_string(connections) + " connections");
    {
      TestDb db;
      RemoveShipments(db);
    }
    const std::vector<HttpReply> replies = twtest::SendFor(
        host.port(), connections, kLoadSeconds,
        [&request](HttpClient& http, int) { return http.Post("/cgi-bin/Tarnwick.dll?Do", request); });
    twtest::EntryTally tally;
    for (const HttpReply& r : replies) {
      ASSERT_EQ(r.status, 200);
      if (ReplyInts(r.body, "OK").empty()) {
        ++tally.bare;
        continue;
      }
      const std::vector<long long> ids = ReplyInts(r.body, "iID");
      const std::vector<std::string> nums = ReplyTexts(r.body, "cNum"), mess = ReplyTexts(r.body, "cMess");
      ASSERT_EQ(ids.size(), 5u) << r.body;
      ASSERT_EQ(nums.size(), 5u) << r.body;
      ASSERT_EQ(mess.size(), 5u) << r.body;
      for (size_t i = 0; i < 5; ++i) {
        if (mess[i].empty()) {
          tally.stored.emplace_back(ids[i], nums[i]);
        } else {
          tally.refusals.push_back(mess[i]);
        }
      }
    }
    EXPECT_EQ(std::count(tally.refusals.begin(), tally.refusals.end(), Utf8("内单号获取失败")), 0);
    twtest::ExpectEachStoredOnce(
        tally, Query("SELECT iid, cnum FROM dbo.rec_pre_input WHERE icid = " + std::to_string(kLoadClient)));
    // The load went through: on average every connection stored a batch or more.
    EXPECT_GE(tally.stored.size(), 5u * connections);
    std::printf("%d connections: %zu records stored, %lld replies without a batch\n", connections,
                tally.stored.size(), tally.bare);
  }
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, EveryDoorOfTheRequests) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  HttpReply stamp = http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}");
  long long ts = 0;
  ASSERT_EQ(std::sscanf(stamp.body.c_str(), "{\"ReturnValue\":%lld}", &ts), 1);
  auto record = [](const char* num) {
    return std::string(",\"RecList\":[{\"iID\":0,\"cNum\":\"") + num + "\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}]";
  };
  const std::string clientSigned = ",\"icID\":930006,\"TimeStamp\":" + std::to_string(ts) + ",\"MD5\":\"" +
                                   twtest::RequestSignature(kDoorClient, ts, kDoorKey) + "\"";
  const std::string partnerSigned = ",\"icID\":930006,\"xSetx\":1,\"TimeStamp\":" + std::to_string(ts) +
                                    ",\"MD5\":\"" + twtest::RequestSignature(kDoorClient, ts, "PartnerKey01") + "\"";
  struct Case {
    const char* door;
    std::string body;
    const char* num;
  } cases[] = {
      {"DoApp", "{\"RequestName\":\"PreInputSet\"" + clientSigned + record("H8W0000001") + "}", "H8W0000001"},
      {"DoApi", "{\"RequestName\":\"PreInputSet\"" + partnerSigned + record("H8W0000002") + "}", "H8W0000002"},
      {"WeChat", "{\"RequestName\":\"PreInputSet\",\"icID\":930006" + record("H8W0000003") + "}", "H8W0000003"},
      {"Do", "{\"RequestName\":\"PreInputSet\",\"icID\":930006" + record("H8W0000004") + "}", "H8W0000004"},
  };
  for (const Case& c : cases) {
    const std::string body = http.Post(std::string("/cgi-bin/Tarnwick.dll?") + c.door, c.body).body;
    EXPECT_EQ(ReplyInts(body, "OK"), std::vector<long long>{1}) << c.door << ": " << body;
    EXPECT_GT(IdOf(kDoorClient, c.num), 0) << c.door;
  }
  const std::string del = "{\"RequestName\":\"PreInputDel\"";
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp",
                      del + clientSigned + ",\"iIDs\":[" + std::to_string(IdOf(kDoorClient, "H8W0000001")) + "]}")
                .body,
            "{\"ReturnValue\":1,\"OK\":1}");
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?WeChat",
                      del + ",\"icID\":930006,\"iIDs\":[" + std::to_string(IdOf(kDoorClient, "H8W0000003")) + "]}")
                .body,
            "{\"ReturnValue\":1,\"OK\":1}");
  // The partner door has no "PreInputDel".
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApi",
                      del + partnerSigned + ",\"iIDs\":[" + std::to_string(IdOf(kDoorClient, "H8W0000002")) + "]}")
                .body,
            Code(-4));
  EXPECT_EQ(Count(kDoorClient), 2);
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PreInputSetTest, LongBatchesAreAnsweredWhole) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  // 14000 records refused for want of a kind: about 2.3 MB of reply, more than a slot's buffer.
  constexpr int kLong = 14000;
  std::string records;
  records.reserve(kLong * 60);
  for (int i = 0; i < kLong; ++i) {
    char rec[64];
    std::snprintf(rec, sizeof rec, "%s{\"iID\":%d,\"cNum\":\"H8L%027d\"}", i == 0 ? "" : ",", i, i);
    records += rec;
  }
  std::string body = Set(http, kBatchClient, records);
  ASSERT_GT(body.size(), 2097152u);
  EXPECT_EQ(body.rfind("{\"ReturnValue\":14000,\"OK\":0,\"ErrList\":[", 0), 0u);
  const std::vector<long long> index = ReplyInts(body, "iIndex");
  ASSERT_EQ(index.size(), static_cast<size_t>(kLong));
  EXPECT_EQ(index.back(), kLong - 1);
  EXPECT_EQ(body.substr(body.size() - 3), "}]}");

  // A batch longer than 20000 records is refused before anything is stored.
  std::string tooLong = "{\"iID\":0,\"cNum\":\"H8L0000001\",\"cEmsKind\":\"H8K\",\"cDes\":\"US\"}";
  for (int i = 0; i < 20000; ++i) tooLong += ",{\"iID\":0}";
  EXPECT_EQ(Set(http, kBatchClient, tooLong), Code(-3));
  EXPECT_EQ(Count(kBatchClient), 0);
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
