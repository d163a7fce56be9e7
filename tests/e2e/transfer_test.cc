// Transfer records, transfer bags and the shipment-data request over HTTP against the test
// database: "RecTransSet", "RecTransDel", "RecTransData" and "RecTransList" through the WeChat door
// (the test runs on the trusted loopback address), "RecTransSet", "RecTransBagSet" and "RecDataRG"
// through the signed partner door. Every stored row is read back from the database.
//
// The rows of this test use ids and numbers no other test uses: clients 950001-950003, shipment
// records 950701-950799, transfer numbers beginning "TR".

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 950001;
constexpr int kOther = 950002;
constexpr char kPartnerKey[] = "PartnerKey01";

std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }
std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

// A GBK text as JsonEscapeWide writes it: ASCII as it is, everything else as "\uXXXX".
std::string Wide(const std::string& gbk) {
  const std::string utf8 = Utf8(gbk);
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const int n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    unsigned cp = c & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04X", cp);
    out += hex;
    i += n;
  }
  return out;
}

class TransferTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(Exec(db, "INSERT INTO dbo.client_arc (icid, capikey) VALUES (950001, 'TrKey950001'), "
                         "(950002, 'TrKey950002'), (950003, 'TrKey950003')"));
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
  static void RemoveTransfers(TestDb& db) {
    Exec(db, "DELETE FROM dbo.rec_trans_goods WHERE iid IN (SELECT iid FROM dbo.rec_trans WHERE icid BETWEEN 950000 "
             "AND 950999)");
    Exec(db, "DELETE FROM dbo.rec_trans WHERE icid BETWEEN 950000 AND 950999");
    Exec(db, "DELETE FROM dbo.rec_trans_bag WHERE icid BETWEEN 950000 AND 950999");
    Exec(db, "DELETE FROM dbo.client_rec_goods WHERE irid BETWEEN 950700 AND 950799");
    Exec(db, "DELETE FROM dbo.client_rec WHERE irid BETWEEN 950700 AND 950799");
  }
  static void RemoveRows(TestDb& db) {
    RemoveTransfers(db);
    Exec(db, "DELETE FROM dbo.client_arc WHERE icid BETWEEN 950000 AND 950999");
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    TestDb db;
    RemoveTransfers(db);
  }

  static void StartHost(TestHost& host) {
    HostConfig config;
    ASSERT_TRUE(host.Start(config)) << host.error();
  }

  // A request of the WeChat door.
  static std::string WeChat(HttpClient& http, const std::string& name, int client, const std::string& more) {
    HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?WeChat", "{\"RequestName\":\"" + name + "\",\"icID\":" +
                                                                std::to_string(client) + more + "}");
    EXPECT_EQ(r.status, 200) << name << more;
    EXPECT_EQ(r.Header("content-type"), "application/json") << name;
    return r.body;
  }
  // A request of the partner door, signed with the partner key.
  static std::string DoApi(HttpClient& http, const std::string& name, int client, const std::string& more) {
    const long long stamp = static_cast<long long>(std::time(nullptr)) * 1000;
    const std::string body = "{\"RequestName\":\"" + name + "\",\"icID\":" + std::to_string(client) +
                             ",\"xSetx\":1,\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                             twtest::RequestSignature(client, stamp, kPartnerKey) + "\"" + more + "}";
    HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?DoApi", body);
    EXPECT_EQ(r.status, 200) << name << more;
    return r.body;
  }
  static std::string Set(HttpClient& http, int client, const std::string& records) {
    return WeChat(http, "RecTransSet", client, ",\"RecList\":[" + records + "]");
  }

  static std::string Scalar(const std::string& sql) {
    TestDb db;
    return db.Scalar(sql);
  }
  static std::vector<std::vector<std::string>> Query(const std::string& sql) {
    TestDb db;
    return db.Query(sql);
  }
  static long long IdOf(int client, const std::string& number) {
    const std::string id = Scalar("SELECT iid FROM dbo.rec_trans WHERE icid = " + std::to_string(client) +
                                  " AND cf_num = '" + number + "'");
    return id.empty() ? 0 : std::stoll(id);
  }
  static std::vector<std::string> Row(long long iid, const std::string& columns) {
    auto rows = Query("SELECT " + columns + " FROM dbo.rec_trans WHERE iid = " + std::to_string(iid));
    return rows.empty() ? std::vector<std::string>() : rows[0];
  }
  static std::vector<std::vector<std::string>> Goods(long long iid) {
    return Query("SELECT wpos, cgoods, cunit, iquantity, fprice, cgcodea, fgcustom, fgcrate FROM dbo.rec_trans_goods "
                 "WHERE iid = " + std::to_string(iid) + " ORDER BY wpos");
  }
  // Stores a plain record of the client directly (the PDA side's receipts and bags included).
  static long long Insert(int client, const std::string& number, const std::string& columns = "",
                          const std::string& values = "") {
    TestDb db;
    Exec(db, "INSERT INTO dbo.rec_trans (icid, cf_num" + columns + ") VALUES (" + std::to_string(client) + ", '" +
                 number + "'" + values + ")");
    return IdOf(client, number);
  }
};

std::string Entry(int index, long long id, const std::string& num, const std::string& mess) {
  return "{\"iIndex\":" + std::to_string(index) + ",\"iID\":" + std::to_string(id) + ",\"cNum\":\"" + Wide(num) +
         "\",\"cMess\":\"" + Wide(mess) + "\"}";
}

const std::string kThreeLines =
    ",\"GoodsList\":[{\"cxGoods\":\"shoes\",\"ixQuantity\":2,\"fxPrice\":10.5,\"fxGCustom\":3,\"fxGCRate\":0.13,"
    "\"cxGCodeA\":\"HS1\"},{\"cxGoods\":\"hat\",\"ixQuantity\":1,\"fxPrice\":4,\"fxGCustom\":1},"
    "{\"cxGoods\":\"bag\",\"ixQuantity\":3,\"fxPrice\":1}]";

TEST_F(TransferTest, ABatchStoresItsRecordsWithTheirGoods) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string body = Set(
      http, kClient,
      "{\"iID\":0,\"cNum\":\"tr00000001\",\"cEmsKind\":\"TRK\",\"fWeight\":1.2346,\"cMemo\":\"" + Utf8("易碎") +
          "\",\"cStationc\":\"SZ\"" + kThreeLines +
          "},"
          "{\"iID\":0,\"cNum\":\"AB1\"},"
          "{\"iID\":0,\"cNum\":\"TR00000003\",\"nItemType\":5,\"nOpen\":2,\"iItem\":0,\"fWeight\":-2,\"fAmount\":-3,"
          "\"fPrice\":12.34,\"iQuantity\":-4,\"GoodsList\":[{\"cxGoods\":\"pen\",\"ixQuantity\":4,\"fxPrice\":2.5,"
          "\"fxGCRate\":0.2}]},"
          "{\"cMark\":\"M-4\",\"iID\":0,\"cNum\":\"TR00000004\",\"nOpen\":1,\"cGoods\":\"own\",\"iQuantity\":2,"
          "\"GoodsList\":[{\"cxGoods\":\"a\",\"ixQuantity\":1,\"fxPrice\":1},{\"cxGoods\":\"\",\"ixQuantity\":1},"
          "{\"cxGoods\":\"c\",\"ixQuantity\":1}]}");
  const long long id1 = IdOf(kClient, "TR00000001"), id3 = IdOf(kClient, "TR00000003"),
                  id4 = IdOf(kClient, "TR00000004");
  ASSERT_GT(id1, 0) << body;
  ASSERT_GT(id3, 0) << body;
  ASSERT_GT(id4, 0) << body;
  // Every record has its entry, the stored ones too; the number is echoed as sent.
  EXPECT_EQ(body, "{\"ReturnValue\":4,\"OK\":3,\"ErrList\":[" + Entry(0, id1, "tr00000001", "") + "," +
                      Entry(1, 0, "AB1", "运单号不合法(4-30字符)") + "," + Entry(2, id3, "TR00000003", "") + "," +
                      Entry(3, id4, "TR00000004", "") + "]}");

  // Three lines and no goods of its own: the goods come from the lines, which are stored as rows.
  EXPECT_EQ(Row(id1, "cf_num, cf_emskind, fweight, cmemo, cstationc, iquantity, iprice, idvalue, fgcustom, fgcrate, "
                     "cgoods, cgcodea, nitemtype, iitem, nopen, biid, irid, encode(vipaddr, 'hex')"),
            (std::vector<std::string>{"TR00000001", "TRK", "1.235", "易碎", "SZ", "1", "2800", "2800", "4.00",
                                      "0.1300", "shoes", "HS1", "0", "1", "0", "0", "0", "7f000001"}));
  EXPECT_EQ(Goods(id1), (std::vector<std::vector<std::string>>{{"0", "shoes", "", "2", "10.50", "HS1", "3.00", "0.1300"},
                                                               {"1", "hat", "", "1", "4.00", "", "1.00", "0.0000"},
                                                               {"2", "bag", "", "3", "1.00", "", "0.00", "0.0000"}}));
  // One line folds into the record and is not stored as a row; the values are normalised.
  EXPECT_EQ(Row(id3, "nitemtype, nopen, iitem, fweight, famount, iquantity, iprice, idvalue, cgoods, fgcrate"),
            (std::vector<std::string>{"1", "0", "1", "0.000", "-3.00", "4", "250", "1000", "pen", "0.2000"}));
  EXPECT_TRUE(Goods(id3).empty());
  // A key before "iID" belongs to its own record; the lines end at the first one without goods, and
  // a record with goods of its own keeps them.
  EXPECT_EQ(Row(id4, "cmark, nopen, cgoods, iquantity"), (std::vector<std::string>{"M-4", "1", "own", "2"}));
  EXPECT_TRUE(Goods(id4).empty());
  EXPECT_EQ(host.Stop(), 0);
  EXPECT_NE(host.LogFile("TRANSDATA").find("\"cxGoods\":\"hat\""), std::string::npos);
}

TEST_F(TransferTest, AChangeReplacesTheRecordAndItsGoods) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  ASSERT_EQ(ReplyInts(Set(http, kClient, "{\"iID\":0,\"cNum\":\"TR00000011\",\"cMark\":\"old\"" + kThreeLines + "}"),
                      "OK"),
            std::vector<long long>{1});
  const long long id = IdOf(kClient, "TR00000011");
  ASSERT_EQ(Goods(id).size(), 3u);

  const std::string two =
      ",\"GoodsList\":[{\"cxGoods\":\"x\",\"ixQuantity\":1,\"fxPrice\":1},{\"cxGoods\":\"y\",\"ixQuantity\":2,"
      "\"fxPrice\":2}]";
  const std::string changed =
      Set(http, kClient, "{\"iID\":" + std::to_string(id) + ",\"cNum\":\"TR00000011\",\"fWeight\":2" + two + "}");
  EXPECT_EQ(changed, "{\"ReturnValue\":1,\"OK\":1,\"ErrList\":[" + Entry(0, id, "TR00000011", "") + "]}");
  // The old lines are gone, the new ones stored once; keys the change did not send are back to
  // their defaults.
  EXPECT_EQ(Goods(id).size(), 2u);
  EXPECT_EQ(Row(id, "cmark, fweight, iprice"), (std::vector<std::string>{"", "2.000", "500"}));

  const long long other = Insert(kOther, "TR00000012");
  const long long bagged = Insert(kClient, "TR00000013", ", biid", ", 950077");
  Insert(kClient, "TR00000014");
  struct Case {
    std::string record;
    long long id;
    const char* mess;
  } cases[] = {
      {"{\"iID\":0,\"cNum\":\"tr00000014\"}", 0, "同样内单号的记录已经存在(-1)。"},
      {"{\"iID\":" + std::to_string(id) + ",\"cNum\":\"TR00000014\"}", id, "同样内单号的记录已经存在(-1)。"},
      {"{\"iID\":" + std::to_string(other) + ",\"cNum\":\"TR00000015\"}", other, "记录不存在(-2)。"},
      {"{\"iID\":" + std::to_string(bagged) + ",\"cNum\":\"TR00000013\"}", bagged, "记录已经处理(-4)。"},
      {"{\"iID\":0,\"cNum\":\"TR00000016\",\"fPrice\":1e30}", 0, "系统执行错误(-9)。"},
  };
  for (const Case& c : cases) {
    const std::string body = Set(http, kClient, c.record);
    EXPECT_EQ(ReplyTexts(body, "cMess"), std::vector<std::string>{Wide(c.mess)}) << c.record << "\n" << body;
    EXPECT_EQ(ReplyInts(body, "iID"), std::vector<long long>{c.id}) << c.record;
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_trans WHERE icid = 950001"), "3");
  EXPECT_EQ(Row(other, "icid, cf_num"), (std::vector<std::string>{"950002", "TR00000012"}));

  // No list, not a list, and a list without records; the partner door serves the request too.
  EXPECT_EQ(WeChat(http, "RecTransSet", kClient, ""), Code(-3));
  EXPECT_EQ(WeChat(http, "RecTransSet", kClient, ",\"RecList\":{\"iID\":0}"), Code(-3));
  EXPECT_EQ(WeChat(http, "RecTransSet", 0, ",\"RecList\":[]"), Code(-710));
  EXPECT_EQ(Set(http, kClient, "{\"cNum\":\"TR00000017\"}"), "{\"ReturnValue\":0,\"OK\":0}");
  EXPECT_EQ(ReplyInts(DoApi(http, "RecTransSet", kClient, ",\"RecList\":[{\"iID\":0,\"cNum\":\"TR00000018\"}]"),
                      "OK"),
            std::vector<long long>{1});
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(TransferTest, DataReadsOneRecordWithItsGoods) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  ASSERT_EQ(ReplyInts(Set(http, kClient,
                          "{\"iID\":0,\"cNum\":\"TR00000021\",\"cEmsKind\":\"TRK\",\"fWeight\":1.5,\"fAmount\":7,"
                          "\"cMark\":\"" + Utf8("标记") + "\",\"nEx2\":5,\"cEx3\":\"e3\",\"fIValue\":3.25,"
                          "\"cMoney\":\"USD\",\"cPayDir\":\"P\",\"cPacking\":\"box\",\"cTransNote\":\"tn\","
                          "\"cStationc\":\"SZ\",\"nOpen\":1" + kThreeLines + "}"),
                      "OK"),
            std::vector<long long>{1});
  const long long id = IdOf(kClient, "TR00000021");
  {
    TestDb db;
    Exec(db, "UPDATE dbo.rec_trans SET ddate = '2026-03-04 05:06:07', drdate = '2026-03-05 08:09:10', crname = '"
             "李四', cshelf = 'A-1', cstationr = 'BJ' WHERE iid = " + std::to_string(id));
  }
  const std::string expected =
      "{\"ReturnValue\":1,\"icID\":950001,\"iID\":" + std::to_string(id) +
      ",\"ibID\":0,\"irID\":0,\"nItemType\":0,\"nOpen\":1,\"dDate\":\"2026-03-04 05:06:07\",\"cNum\":\"TR00000021\","
      "\"cEmsKind\":\"TRK\",\"cStationc\":\"SZ\",\"cStationr\":\"BJ\",\"cShelf\":\"A-1\",\"dDate_r\":\"2026-03-05 "
      "08:09:10\",\"cName_r\":\"" + Utf8("李四") + "\",\"fWeight\":1.500,\"iItem\":1,\"fAmount\":7.00,\"cMark\":\"" +
      Utf8("标记") + "\",\"cMemo\":\"\",\"nEx1\":0,\"nEx2\":5,\"nEx3\":0,\"cEx1\":\"\",\"cEx2\":\"\",\"cEx3\":\"e3\","
      "\"cGoods\":\"shoes\",\"iQuantity\":1,\"fPrice\":28.00,\"fGoods\":0.00,\"fGoodsc\":0.00,\"fDValue\":28.00,"
      "\"fIValue\":3.25,\"cMoney\":\"USD\",\"cPayDir\":\"P\",\"cGoodsA\":\"\",\"cGCodeA\":\"HS1\",\"cGCodeB\":\"\","
      "\"cGCodeC\":\"\",\"fGCustom\":4.00,\"fGCRate\":0.1300,\"cPacking\":\"box\",\"cTransNote\":\"tn\","
      "\"GoodsList\":[{\"cxGoods\":\"shoes\",\"ixQuantity\":2,\"fxPrice\":10.50,\"cxGoodsA\":\"\",\"cxGCodeA\":\"HS1\","
      "\"cxGCodeB\":\"\",\"cxGCodeC\":\"\",\"fxGCustom\":3.00,\"fxGCRate\":0.1300},{\"cxGoods\":\"hat\","
      "\"ixQuantity\":1,\"fxPrice\":4.00,\"cxGoodsA\":\"\",\"cxGCodeA\":\"\",\"cxGCodeB\":\"\",\"cxGCodeC\":\"\","
      "\"fxGCustom\":1.00,\"fxGCRate\":0.0000},{\"cxGoods\":\"bag\",\"ixQuantity\":3,\"fxPrice\":1.00,\"cxGoodsA\":"
      "\"\",\"cxGCodeA\":\"\",\"cxGCodeB\":\"\",\"cxGCodeC\":\"\",\"fxGCustom\":0.00,\"fxGCRate\":0.0000}]}";
  EXPECT_EQ(WeChat(http, "RecTransData", kClient, ",\"iID\":" + std::to_string(id)), expected);
  EXPECT_EQ(WeChat(http, "RecTransData", kClient, ",\"cNum\":\"tr00000021\""), expected);

  const long long old = Insert(kClient, "TR00000022", ", drdate, crname", ", '2000-12-31 10:00:00', 'X'");
  const long long converted = Insert(kClient, "TR00000023", ", irid", ", 7");
  const long long other = Insert(kOther, "TR00000024");
  const std::string oldReply = WeChat(http, "RecTransData", kClient, ",\"iID\":" + std::to_string(old));
  EXPECT_EQ(ReplyTexts(oldReply, "dDate_r"), std::vector<std::string>{""}) << oldReply;
  EXPECT_EQ(ReplyTexts(oldReply, "cName_r"), std::vector<std::string>{""});
  EXPECT_EQ(oldReply.find("GoodsList"), std::string::npos);
  struct Case {
    std::string more;
    std::string reply;
    const char* why;
  } cases[] = {
      {",\"iID\":" + std::to_string(converted), Code(-6), "already a shipment record"},
      {",\"iID\":" + std::to_string(other), Code(-2), "another client's"},
      {",\"cNum\":\"TR00000024\"", Code(-2), "another client's, by number"},
      {",\"cNum\":\"TR9\"", Code(-3), "neither an id nor a number of 4"},
      {",\"cNum\":\"T'R'\"", Code(-2), "a quote stays inside its literal"},
  };
  for (const Case& c : cases) EXPECT_EQ(WeChat(http, "RecTransData", kClient, c.more), c.reply) << c.why;
  EXPECT_EQ(WeChat(http, "RecTransData", 0, ",\"iID\":1"), Code(-710));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(TransferTest, DelWithdrawsTheClientsOpenRecords) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  ASSERT_EQ(ReplyInts(Set(http, kClient, "{\"iID\":0,\"cNum\":\"TR00000031\"" + kThreeLines + "}"), "OK"),
            std::vector<long long>{1});
  const long long a = IdOf(kClient, "TR00000031");
  const long long b = Insert(kClient, "TR00000032");
  const long long bagged = Insert(kClient, "TR00000033", ", biid", ", 950005");
  const long long other = Insert(kOther, "TR00000034");
  const std::string body = WeChat(http, "RecTransDel", kClient,
                                  ",\"iIDs\":[" + std::to_string(a) + ",x," + std::to_string(b) + "," +
                                      std::to_string(bagged) + "," + std::to_string(other) + "]");
  EXPECT_EQ(body, "{\"ReturnValue\":4,\"OK\":2,\"ErrList\":[{\"iIndex\":2,\"iID\":" + std::to_string(bagged) +
                      ",\"cMess\":\"" + Wide("记录已经处理。") + "\"},{\"iIndex\":3,\"iID\":" + std::to_string(other) +
                      ",\"cMess\":\"" + Wide("记录不存在。") + "\"}]}");
  EXPECT_EQ(IdOf(kClient, "TR00000031"), 0);
  EXPECT_EQ(IdOf(kClient, "TR00000032"), 0);
  EXPECT_TRUE(Goods(a).empty());
  EXPECT_EQ(IdOf(kClient, "TR00000033"), bagged);
  EXPECT_EQ(IdOf(kOther, "TR00000034"), other);

  EXPECT_EQ(WeChat(http, "RecTransDel", kClient, ",\"iIDs\":[x]"), "{\"ReturnValue\":0,\"OK\":0}");
  EXPECT_EQ(WeChat(http, "RecTransDel", kClient, ""), Code(-3));
  EXPECT_EQ(WeChat(http, "RecTransDel", 0, ",\"iIDs\":[1]"), Code(-710));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(TransferTest, ListPagesAndFilters) {
  // Five records, created in this order (ids rising).
  Insert(kClient, "TR00000041", ", cf_emskind, cmark, ddate", ", 'TRK', 'red', '2026-01-10 09:00:00'");
  Insert(kClient, "TR00000042", ", cf_emskind, crname, drdate, ddate",
         ", 'TRX', 'Li', '2026-02-01', '2026-02-10 09:00:00'");
  Insert(kClient, "TR00000043", ", cf_emskind, biid, cmark, ddate", ", 'trk', 950009, 'dark red', '2026-03-10 09:00:00'");
  Insert(kClient, "TR00000044", ", irid, biid, crname, ddate", ", 3, 950009, 'Wu', '2026-04-10 09:00:00'");
  Insert(kClient, "TR0000_045", ", ddate", ", '2026-05-10 09:00:00'");
  Insert(kOther, "TR00000046");
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  auto numbers = [&](const std::string& more) {
    return ReplyTexts(WeChat(http, "RecTransList", kClient, ",\"iPagePer\":10" + more), "cNum");
  };
  using V = std::vector<std::string>;
  struct Case {
    std::string more;
    V numbers;
  } cases[] = {
      {"", {"TR0000_045", "TR00000044", "TR00000043", "TR00000042", "TR00000041"}},
      {",\"cqNum\":\"0004\"", {"TR00000044", "TR00000043", "TR00000042", "TR00000041"}},
      {",\"cqNum\":\"_\"", {"TR0000_045"}},
      {",\"cqMark\":\"RED\"", {"TR00000043", "TR00000041"}},
      {",\"cqEmsKind\":\"TRK\"", {"TR00000043", "TR00000041"}},
      {",\"bqReceived\":\"true\"", {"TR00000044", "TR00000042"}},
      {",\"bqReceived\":\"false\",\"bqBagged\":\"false\"", {"TR0000_045", "TR00000041"}},
      {",\"bqReceived\":\"false\",\"bqBagged\":\"true\"", {"TR00000043"}},
      {",\"bqSent\":\"true\"", {"TR00000044"}},
      {",\"bqSent\":\"1\"", {"TR0000_045", "TR00000044", "TR00000043", "TR00000042", "TR00000041"}},
      {",\"dqBDate\":\"2026-02-10\",\"dqEDate\":\"2026-03-10\"", {"TR00000043", "TR00000042"}},
      {",\"cqNum\":\"'\"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(numbers(c.more), c.numbers) << c.more;

  const std::string page = WeChat(http, "RecTransList", kClient, ",\"iPage\":2,\"iPagePer\":2");
  EXPECT_EQ(page.rfind("{\"ReturnValue\":1,\"icID\":950001,\"iPage\":2,\"iPagePer\":2,\"iTotalRec\":5,\"RecList\":[", 0),
            0u)
      << page;
  EXPECT_EQ(ReplyTexts(page, "cNum"), (V{"TR00000043", "TR00000042"}));
  // A row holds the keys of one record without its client and stations.
  EXPECT_EQ(page.find("cStation"), std::string::npos);
  EXPECT_EQ(ReplyTexts(page, "dDate_r"), (V{"", "2026-02-01 00:00:00"}));
  EXPECT_EQ(ReplyInts(page, "ibID"), (std::vector<long long>{950009, 0}));
  EXPECT_EQ(WeChat(http, "RecTransList", kClient, ""),
            "{\"ReturnValue\":1,\"icID\":950001,\"iPage\":0,\"iPagePer\":0,\"iTotalRec\":5}");
  EXPECT_EQ(WeChat(http, "RecTransList", kClient, ",\"cqNum\":\"nothing\""), Code(0));
  EXPECT_EQ(WeChat(http, "RecTransList", 0, ""), Code(-710));
  EXPECT_EQ(host.Stop(), 0);
}

// The shipment keys of a bag request.
std::string BagKeys(const std::string& num) {
  return ",\"cNum\":\"" + num +
         "\",\"cEmsKind\":\"TRK\",\"cDes\":\"US\",\"fWeight\":2.5,\"fPrice\":12.34,\"fGoods\":1.25,\"fDValue\":7,"
         "\"iLong\":10,\"iWidth\":20,\"iHeight\":30,\"cReceiver\":\"" + Utf8("王五") +
         "\",\"cRAddr\":\"1 Main St\",\"cSUnit\":\"Sender Co\",\"cMoney\":\"U'D\",\"cStation\":\"SZ\","
         "\"cBy5\":\"by5\",\"cGoodsA\":\"ga\",\"fGCRate\":0.5,\"cOrigin\":\"XX\"";
}

TEST_F(TransferTest, ABagClaimsItsRecords) {
  const long long a = Insert(kClient, "TR00000051");
  const long long b = Insert(kClient, "TR00000052");
  const long long taken = Insert(kClient, "TR00000053", ", biid", ", 950004");
  Insert(kOther, "TR00000054");
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  auto bag = [&](const std::string& nums, const std::string& keys) {
    return DoApi(http, "RecTransBagSet", kClient, ",\"TransNums\":[" + nums + "]" + keys);
  };

  // Refused: nothing is stored and no record is claimed.
  std::string many;
  for (int i = 0; i < 201; ++i) many += std::string(i > 0 ? "," : "") + "\"TR" + std::to_string(10000000 + i) + "\"";
  struct Case {
    std::string nums;
    std::string keys;
    std::string reply;
    const char* why;
  } cases[] = {
      {many, BagKeys("BAG0000001"), Code(-3), "201 numbers"},
      {"\"TR1\"", BagKeys("BAG0000001"), Code(-3), "a number of 3 characters does not count"},
      {"\"TR00000051\"", BagKeys("BAG0001"), "", "a bag number of 7 characters"},
      {"\"TR00000051\"", BagKeys("BAG001"), Code(-14), "a bag number of 6"},
      {"\"TR00000051\",\"TR00000053\",\"TR1\"", BagKeys("BAG0000001"),
       "{\"ReturnValue\":-4,\"cNum\":\"BAG0000001\",\"Error\":1,\"TransNums\":[\"TR00000053\"]}", "one is in a bag"},
      {"\"TR00000054\",\"TR00000052\",\"TR'X'\"", BagKeys("BAG0000001"),
       "{\"ReturnValue\":-4,\"cNum\":\"BAG0000001\",\"Error\":2,\"TransNums\":[\"TR00000054\",\"TR'X'\"]}",
       "another client's and an unknown one with a quote"},
      {"\"TR00000051\",\"tr00000051\"", BagKeys("BAG0000001"),
       "{\"ReturnValue\":-4,\"cNum\":\"BAG0000001\",\"Error\":1,\"TransNums\":[\"tr00000051\"]}", "listed twice"},
      {"\"TR00000051\"", ",\"cNum\":\"BAG0000001\",\"cDes\":\"US\"", Code(-15), "no kind, after the records"},
      {"\"TR00000051\"", ",\"cNum\":\"BAG0000001\",\"cEmsKind\":\"TRK\"", Code(-16), "no destination"},
  };
  for (const Case& c : cases) {
    const std::string reply = bag(c.nums, c.keys);
    if (c.reply.empty()) {
      const std::vector<long long> value = ReplyInts(reply, "ReturnValue");
      ASSERT_EQ(value.size(), 1u) << c.why << reply;
      EXPECT_EQ(reply, "{\"ReturnValue\":" + std::to_string(value[0]) + ",\"cNum\":\"BAG0001\"}") << c.why;
      EXPECT_GT(value[0], 0) << c.why;
      TestDb db;
      Exec(db, "UPDATE dbo.rec_trans SET biid = 0 WHERE iid = " + std::to_string(a));
      Exec(db, "DELETE FROM dbo.rec_trans_bag WHERE icid = 950001");
    } else {
      EXPECT_EQ(reply, c.reply) << c.why;
    }
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_trans_bag WHERE icid = 950001"), "0");
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_trans WHERE icid = 950001 AND biid > 0"), "1");

  const std::string reply = bag("\"tr00000051\",\"TR00000052\"", BagKeys("BAG0000002"));
  const std::string biid = Scalar("SELECT biid FROM dbo.rec_trans_bag WHERE icid = 950001");
  ASSERT_FALSE(biid.empty()) << reply;
  EXPECT_EQ(reply, "{\"ReturnValue\":" + biid + ",\"cNum\":\"BAG0000002\"}");
  EXPECT_EQ(Query("SELECT iid, biid FROM dbo.rec_trans WHERE icid = 950001 ORDER BY iid"),
            (std::vector<std::vector<std::string>>{
                {std::to_string(a), biid}, {std::to_string(b), biid}, {std::to_string(taken), "950004"}}));
  EXPECT_EQ(Query("SELECT cnum, cemskind, cdes, fweight, iprice, fgoods, idvalue, clwh, creceiver, caddr, csunitname, "
                  "cmoney, cstationr, cby5, cgoodsa, fgcrate, irid, bget, nbstate, caud, encode(vipaddr, 'hex') "
                  "FROM dbo.rec_trans_bag WHERE biid = " + biid)[0],
            (std::vector<std::string>{"BAG0000002", "TRK", "US", "2.500", "1234", "1.25", "700", "10*20*30", "王五",
                                      "1 Main St", "Sender Co", "U'D", "SZ", "by5", "ga", "0.5000", "0", "0", "0", "",
                                      "7f000001"}));
  // Packed records are no longer the client's to change, withdraw or pack again.
  EXPECT_EQ(ReplyTexts(WeChat(http, "RecTransDel", kClient, ",\"iIDs\":[" + std::to_string(a) + "]"), "cMess"),
            std::vector<std::string>{Wide("记录已经处理。")});
  EXPECT_EQ(ReplyInts(bag("\"TR00000052\"", BagKeys("BAG0000003")), "ReturnValue"), std::vector<long long>{-4});
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(TransferTest, TwoBagsOfTheSameRecordsAtOnceStoreOne) {
  std::string nums;
  for (int i = 0; i < 20; ++i) {
    const std::string num = "TR000001" + std::to_string(10 + i);
    Insert(kClient, num);
    nums += std::string(i > 0 ? "," : "") + "\"" + num + "\"";
  }
  TestHost host;
  StartHost(host);
  constexpr int kSenders = 6;
  std::vector<std::string> replies(kSenders);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kSenders; ++i) {
    threads.emplace_back([&, i] {
      HttpClient http(host.port());
      ++ready;
      while (ready.load() < kSenders) std::this_thread::yield();
      replies[i] = DoApi(http, "RecTransBagSet", kClient,
                         ",\"TransNums\":[" + nums + "]" + BagKeys("BAGRACE00" + std::to_string(i)));
    });
  }
  for (std::thread& t : threads) t.join();
  int stored = 0;
  for (const std::string& r : replies) {
    const std::vector<long long> values = ReplyInts(r, "ReturnValue");
    ASSERT_EQ(values.size(), 1u) << r;
    if (values[0] > 0) {
      ++stored;
    } else {
      EXPECT_EQ(values[0], -4) << r;
      EXPECT_EQ(ReplyInts(r, "Error"), std::vector<long long>{20}) << r;
    }
  }
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_trans_bag WHERE icid = 950001"), "1");
  EXPECT_EQ(Scalar("SELECT count(DISTINCT biid) FROM dbo.rec_trans WHERE icid = 950001"), "1");
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_trans r JOIN dbo.rec_trans_bag b ON b.biid = r.biid "
                   "WHERE r.icid = 950001"),
            "20");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(TransferTest, TheBagProcedureClaimsOnlyFreeRecords) {
  // A record taken by another writer after the handler's check: the procedure refuses the whole bag.
  const long long free1 = Insert(kClient, "TR00000061");
  const long long taken = Insert(kClient, "TR00000062", ", irid", ", 8");
  const long long other = Insert(kOther, "TR00000063");
  auto call = [&](const std::vector<long long>& ids) {
    std::string text;
    for (long long id : ids) {
      char piece[16];
      std::snprintf(piece, sizeof piece, "%10lld", id);
      text += piece;
    }
    std::string args = "0,950001,1,0,'TRK','US',1.0,0.0,'2026.12.10 10:00:00'";
    for (int i = 10; i <= 17; ++i) args += ",''";
    args += ",0,'','BAGPROC01','','',0,'','0*0*0',1,0,0,'',1,0,'','','',0,0,1,'\\x7f000001'::bytea,"
            "'\\x000000000000000000000000'::bytea,'','','','','','','','','CN','','" +
            text + "'," + std::to_string(ids.size()) +
            ",'','','','','','','','','','',0.00,0.00,0.00,0.00,0,0,'',0,0,0,0,0,'','','','',0.00,0.0000";
    return Scalar("SELECT dbo.cp_rec_trans_bag_set(" + args + ")");
  };
  EXPECT_EQ(call({free1, taken}), "-4");
  EXPECT_EQ(call({free1, other}), "-4");
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_trans_bag WHERE icid = 950001"), "0");
  EXPECT_EQ(Row(free1, "biid"), std::vector<std::string>{"0"});
  const std::string biid = call({free1});
  ASSERT_GT(std::stoll(biid), 0);
  EXPECT_EQ(Row(free1, "biid"), std::vector<std::string>{biid});
}

TEST_F(TransferTest, RecDataReadsTheClientsShipmentData) {
  {
    TestDb db;
    Exec(db, "INSERT INTO dbo.client_rec (irid, icid, cnum, cserviceno, crno, creceiver, cunitname, caddr, ccity, "
             "cpostcode, cprovince, ccountry, cphone, cremail, crsms, cgoods, iquantity, iprice, fgoods, fgoodsc, "
             "idvalue, iivalue, cmoney, corigin, cgoodsa, cgcodea, fgcustom, fgcrate, cpacking, ctransnote) VALUES "
             "(950701, 950001, 'TRS0000001', 'SV1', 'RN1', '赵六', 'Unit', 'Addr', 'City', '10001', 'Prov', 'US', "
             "'555', 'a@b.c', '139', 'tea', 2, 1234, 5.5, 6.25, 700, 50, 'USD', 'CN', 'ga', 'HS9', 1.5, 0.25, 'box', "
             "'tn'), (950702, 950002, 'TRS0000002', '', '', '', '', '', '', '', '', '', '', '', '', '', 1, 0, 0, 0, 0, "
             "0, '', '', '', '', 0, 0, '', '')");
    Exec(db, "INSERT INTO dbo.client_rec_goods (irid, wpos, cgoods, iquantity, fprice) VALUES "
             "(950701, 1, 'second', 1, 2), (950701, 0, 'first', 3, 1.5)");
  }
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string expected =
      "{\"ReturnValue\":1,\"icID\":950001,\"irID\":950701,\"cReceiver\":\"" + Utf8("赵六") +
      "\",\"cRUnit\":\"Unit\",\"cRAddr\":\"Addr\",\"cRCity\":\"City\",\"cRPostcode\":\"10001\",\"cRProvince\":"
      "\"Prov\",\"cRCountry\":\"US\",\"cRPhone\":\"555\",\"cREMail\":\"a@b.c\",\"cRSms\":\"139\",\"cNum\":"
      "\"TRS0000001\",\"cNo\":\"SV1\",\"cRNo\":\"RN1\",\"cGoods\":\"tea\",\"iQuantity\":2,\"fPrice\":12.34,\"fGoods\":"
      "5.50,\"fGoodsc\":6.25,\"fDValue\":7.00,\"fIValue\":0.50,\"cMoney\":\"USD\",\"cOrigin\":\"CN\",\"cGoodsA\":"
      "\"ga\",\"cGCodeA\":\"HS9\",\"cGCodeB\":\"\",\"cGCodeC\":\"\",\"fGCustom\":1.50,\"fGCRate\":0.2500,"
      "\"cPacking\":\"box\",\"cTransNote\":\"tn\",\"GoodsList\":[{\"cxGoods\":\"first\",\"ixQuantity\":3,\"fxPrice\":"
      "1.50,\"cxGoodsA\":\"\",\"cxGCodeA\":\"\",\"cxGCodeB\":\"\",\"cxGCodeC\":\"\",\"fxGCustom\":0.00,\"fxGCRate\":"
      "0.0000},{\"cxGoods\":\"second\",\"ixQuantity\":1,\"fxPrice\":2.00,\"cxGoodsA\":\"\",\"cxGCodeA\":\"\","
      "\"cxGCodeB\":\"\",\"cxGCodeC\":\"\",\"fxGCustom\":0.00,\"fxGCRate\":0.0000}]}";
  EXPECT_EQ(DoApi(http, "RecDataRG", kClient, ",\"irID\":950701"), expected);
  EXPECT_EQ(DoApi(http, "RecDataRG", kClient, ",\"cNum\":\"trs0000001\""), expected);
  struct Case {
    int client;
    std::string more;
    std::string reply;
    const char* why;
  } cases[] = {
      {kClient, ",\"irID\":950702", Code(-2), "another client's, by id"},
      {kClient, ",\"cNum\":\"TRS0000002\"", Code(-2), "another client's, by number"},
      {kOther, ",\"cNum\":\"TRS0000002\"",
       "", "its own client reads it, without goods lines"},
      {kClient, "", Code(-3), "neither id nor number"},
      {kClient, ",\"cNum\":\"x'y\"", Code(-2), "a quote stays inside its literal"},
      {0, ",\"irID\":950701", Code(-710), "no client"},
  };
  for (const Case& c : cases) {
    const std::string reply = DoApi(http, "RecDataRG", c.client, c.more);
    if (c.reply.empty()) {
      EXPECT_EQ(ReplyInts(reply, "irID"), std::vector<long long>{950702}) << c.why << reply;
      EXPECT_EQ(reply.find("GoodsList"), std::string::npos) << c.why;
    } else {
      EXPECT_EQ(reply, c.reply) << c.why;
    }
  }
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
