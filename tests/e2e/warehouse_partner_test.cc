// The warehouse's outside doors over HTTP against the test database: the partner's requests on
// DoApi ("wOrderSet", "wGoodsInfo", "wInQuery", "wInTotal" and the names answered with nothing) and
// the client's goods list "VstGoodsList" on DoApp, every request signed with the client's key.
//
// Rows use clients 937001-937003, depots "WP1"-"WP3", goods 937001-937014 and the goods of client
// 937003, placements 937201-937216 and those of client 937003, goods-in records 937301-937311, client
// goods 937401-937410 and numbers beginning "WPO", which no other test uses.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::ReplyInts;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 937001;
constexpr int kOtherClient = 937002;
constexpr int kEmptyClient = 937003;

using Ids = std::vector<long long>;

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }
// GBK text of the test's literals as the UTF-8 that requests and replies carry.
std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }
std::string Key(int client) { return "WpKey" + std::to_string(client); }

void RemoveRows(TestDb& db) {
  for (const char* sql : {
           "DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid BETWEEN "
           "937001 AND 937003)",
           "DELETE FROM dbo.rec_pre_input WHERE icid BETWEEN 937001 AND 937003",
           "DELETE FROM dbo.w_g_in WHERE iid BETWEEN 937301 AND 937399",
           "DELETE FROM dbo.w_goods_depot WHERE iid BETWEEN 937201 AND 937299 OR icid = 937003",
           "DELETE FROM dbo.w_goods_define WHERE giid BETWEEN 937001 AND 937099 OR icid = 937003",
           "DELETE FROM dbo.vst_goods_define WHERE giid BETWEEN 937401 AND 937499",
           "DELETE FROM dbo.w_depot WHERE cdepot IN ('WP1', 'WP2', 'WP3')",
           "DELETE FROM dbo.client_arc WHERE icid BETWEEN 937001 AND 937003",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
  }
}

// The goods of the lists. In WP1 client 937001 has twelve placements: four goods without a name
// (placed in an order of their own, so the tie-breaker shows), eight named ones; codes WPG01 ...
// WPG10, then WPG10_1 and WPG10A1 (a literal "_" against any character). Client 937002 has one
// placement in WP1; goods 937014 of client 937001 is placed in WP2 only.
void SeedGoods(TestDb& db) {
  for (const char* sql : {
           "INSERT INTO dbo.w_depot (cdepot, nstate) VALUES ('WP1', 0), ('WP2', 0), ('WP3', 1)",
           "INSERT INTO dbo.client_arc (icid, capikey, caccount) VALUES (937001, 'WpKey937001', 'WPACC1'), "
           "(937002, 'WpKey937002', 'WPACC2'), (937003, 'WpKey937003', 'WPACC3')",
           "INSERT INTO dbo.w_goods_define (giid, icid, cgcode, cccode, cname, cnamee, ckind, fweight) VALUES "
           "(937001, 937001, 'WPG01', 'C01', 'Apple', '苹果', 'Fruit', 1.5), (937002, 937001, 'WPG02', 'C02', '', "
           "'', '', 0), (937003, 937001, 'WPG03', 'C03', '', '', '', 0), (937004, 937001, 'WPG04', 'C04', '', '', "
           "'', 0), (937005, 937001, 'WPG05', 'C05', '', '', '', 0), (937006, 937001, 'WPG06', 'C06', 'Cable', '', "
           "'', 0), (937007, 937001, 'WPG07', 'C07', 'Drill', '', '', 0), (937008, 937001, 'WPG08', 'C08', "
           "'Eraser', '', '', 0), (937009, 937001, 'WPG09', 'C09', 'File', '', '', 0), (937010, 937001, 'WPG10', "
           "'C10', 'Glue', '', '', 0), (937011, 937001, 'WPG10_1', 'C11', 'Hammer', '', '', 0), (937012, 937001, "
           "'WPG10A1', 'C12', 'Ink', '', '', 0), (937013, 937002, 'WPG13', 'C01', 'Apple', '', '', 0), (937014, "
           "937001, 'WPG14', 'C14', 'Elsewhere', '', '', 0)",
           "INSERT INTO dbo.w_goods_depot (iid, giid, icid, cdepot, cunit, iedays, fprice, fprices, fpriceb, fpricev, "
           "fdvalue, fivalue, fevalue, iin, iout, imin, imax, cmark, cmemo) VALUES "
           "(937201, 937001, 937001, 'WP1', 'PCS', 30, 1.25, 2.5, 3.75, 4, 5.5, 6, 7.1, 10, 8, 5, 100, 'MK', 'a''b'), "
           "(937205, 937002, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937203, 937003, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937204, 937004, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937202, 937005, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937206, 937006, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 500, 0, 0, 100, '', ''), "
           "(937207, 937007, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 50, 10, 5, 100, '', ''), "
           "(937208, 937008, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937209, 937009, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937210, 937010, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937211, 937011, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937212, 937012, 937001, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937213, 937013, 937002, 'WP1', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937214, 937014, 937001, 'WP2', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', ''), "
           "(937215, 937001, 937001, 'WP2', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', '')",
           // Goods-in records of March 2026 in WP1 (301-306), one of April (307), one announced in
           // February but stored in March (311), and three that WP1's lists never show: another
           // client's (308), goods not placed in WP1 (309), a record of WP2 (310).
           "INSERT INTO dbo.w_g_in (iid, crno, cdepot, giid, icid, cbatch, ntype, fpick, fqcin, flabel, farrange, "
           "nstate, iquantity, inormal, idefective, cmark, cmemo, ddate, din, wpic) VALUES "
           "(937301, 'RN301', 'WP1', 937001, 937001, '', 0, 0, 0, 0, 0, 0, 5, 0, 0, '', '', '2026-03-01 08:00', "
           "'1900-01-01', 0), "
           "(937302, 'RN302', 'WP1', 937002, 937001, '', 0, 0, 0, 0, 0, 10, 1, 0, 0, '', '', '2026-03-02 09:15:30', "
           "'1900-01-01', 0), "
           "(937303, 'RN303', 'WP1', 937006, 937001, '', 0, 0, 0, 0, 0, 20, 1, 0, 0, '', '', '2026-03-03', "
           "'1900-01-01', 0), "
           "(937304, 'RN304', 'WP1', 937001, 937001, '', 0, 0, 0, 0, 0, 39, 1, 0, 0, '', '', '2026-03-04', "
           "'1900-01-01', 0), "
           "(937305, 'RN305', 'WP1', 937001, 937001, 'B-305', 1, 0.5, 1, 0.25, 2, 40, 8, 7, 1, 'M5', 'memo', "
           "'2026-03-05 10:00', '2026-03-06 11:22:33', 2), "
           "(937306, 'RN306', 'WP1', 937006, 937001, '', 0, 0, 0, 0, 0, 50, 3, 3, 0, '', '', '2026-03-06', "
           "'2026-03-07', 0), "
           "(937307, 'RN307', 'WP1', 937001, 937001, '', 0, 0, 0, 0, 0, 40, 100, 100, 0, '', '', '2026-04-10', "
           "'2026-04-11', 0), "
           "(937308, 'RN308', 'WP1', 937013, 937002, '', 0, 0, 0, 0, 0, 40, 9, 9, 0, '', '', '2026-03-02', "
           "'2026-03-10', 0), "
           "(937309, 'RN309', 'WP1', 937014, 937001, '', 0, 0, 0, 0, 0, 40, 9, 9, 0, '', '', '2026-03-02', "
           "'2026-03-10', 0), "
           "(937310, 'RN310', 'WP2', 937001, 937001, '', 0, 0, 0, 0, 0, 40, 9, 9, 0, '', '', '2026-03-02', "
           "'2026-03-10', 0), "
           "(937311, 'RN311', 'WP1', 937001, 937001, '', 0, 0, 0, 0, 0, 40, 4, 2, 2, '', '', '2026-02-20', "
           "'2026-03-20', 0)",
           // The client goods: 401-407 active goods of client 937001 (three named "Widget", stored out
           // of their id order), 408 and 409 not active, 410 another client's with the same scan code.
           "INSERT INTO dbo.vst_goods_define (giid, icid, bactive, cname, cnamee, cmodel, cscan, cunit, imin, imax, "
           "iin, iout, ibag, iweight, clwh, ccolor, csize, cbrand, cgcode, cstore, cshelf, cmark, cmemo) VALUES "
           "(937403, 937001, 1, 'Widget', '', '', 'B2', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', '', ''), "
           "(937401, 937001, 1, 'Widget', '', '', 'A1', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', '', ''), "
           "(937402, 937001, 1, 'Widget', '', '', 'A10', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', '', ''), "
           "(937404, 937001, 1, 'Anchor', 'Anchor E', 'M-1', 'C3', 'PCS', 1, 99, 10, 4, 2, 1250, '10*20*30', 'Red', "
           "'L', 'Acme', 'G-404', 'S1', 'A-01', 'MK', '备注'), "
           "(937405, 937001, 1, 'Zinc', '', '', 'a1b', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', '', ''), "
           "(937406, 937001, 1, 'Ratio 50%', '', '', 'D4', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', 'M_1', "
           "''), "
           "(937407, 937001, 1, 'Ratio 500', '', '', 'D5', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', 'MX1', "
           "''), "
           "(937408, 937001, 0, 'Widget', '', '', 'A1', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', '', ''), "
           "(937409, 937001, 2, 'Widget', '', '', 'A1', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', '', ''), "
           "(937410, 937002, 1, 'Widget', '', '', 'A1', '', 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', '', '', '')",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
  }
}

class WarehousePartnerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    SeedGoods(db);
  }
  static void TearDownTestSuite() {
    if (twtest::DatabaseConfigured()) {
      TestDb db;
      RemoveRows(db);
    }
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    HostConfig c;
    c.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n";
    ASSERT_TRUE(host_.Start(c)) << host_.error();
    http_ = std::make_unique<HttpClient>(host_.port());
    HttpReply r = http_->Post("/cgi-bin/Tarnwick.dll?DoApi", "{\"RequestName\":\"TimeStamp\"}");
    ASSERT_EQ(std::sscanf(r.body.c_str(), "{\"ReturnValue\":%lld}", &stamp_), 1) << r.body;
  }
  void TearDown() override {
    if (http_ != nullptr) {
      EXPECT_EQ(host_.Stop(), 0);
    }
  }

  // The request `name` of the client through the door, signed with the client's key, with the
  // further keys `more` (",\"key\":value" pieces, UTF-8). Returns the reply body.
  std::string Call(const char* door, const std::string& name, int client, const std::string& more) {
    const std::string body = "{\"RequestName\":\"" + name + "\",\"icID\":" + std::to_string(client) +
                             ",\"TimeStamp\":" + std::to_string(stamp_) + ",\"MD5\":\"" +
                             twtest::RequestSignature(client, stamp_, Key(client)) + "\"" + more + "}";
    HttpReply r = http_->Post(std::string("/cgi-bin/Tarnwick.dll?") + door, body);
    EXPECT_EQ(r.status, 200) << name << more;
    return r.body;
  }
  std::string Api(const std::string& name, const std::string& more, int client = kClient) {
    return Call("DoApi", name, client, more);
  }
  std::string App(const std::string& more, int client = kClient) { return Call("DoApp", "VstGoodsList", client, more); }

  TestHost host_;
  std::unique_ptr<HttpClient> http_;
  long long stamp_ = 0;
};

// ---- wOrderSet --------------------------------------------------------------------------------------

// One "ErrList" entry of "wOrderSet" (the message in GBK, written as the reply's UTF-8).
std::string OrderEntry(int index, long long id, const std::string& num, const std::string& no,
                       const std::string& mess) {
  return "{\"iIndex\":" + std::to_string(index) + ",\"ioID\":" + std::to_string(id) + ",\"cNum\":\"" + num +
         "\",\"cNo\":\"" + no + "\",\"cMess\":\"" + Utf8(mess) +
         "\",\"cReserve\":\"\",\"cBy1\":\"\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"\"}";
}

TEST_F(WarehousePartnerTest, OrdersAreStoredEachFromItsOwnObject) {
  TestDb db;
  // The second order has no destination of its own: the "cDes" written before the third order's
  // "ioID" is the third's, and the "cDes" after the list is nobody's. The object without "ioID" is
  // no order.
  const std::string got =
      Api("wOrderSet", ",\"OrderList\":[{\"ioID\":501,\"cNum\":\"WPO0000001\",\"cEmsKind\":\"WPK\",\"cDes\":\"US\","
                       "\"cReceiver\":\"" + Utf8("张三") + "\",\"GoodsList\":[{\"cxGoods\":\"Tea\",\"ixQuantity\":2,"
                       "\"fxPrice\":1.5},{\"cxGoods\":\"Cup\",\"ixQuantity\":1}]},"
                       "{\"cNum\":\"WPO0000002\",\"ioID\":502,\"cEmsKind\":\"WPK\"},"
                       "{\"cMemo\":\"not an order\"},"
                       "{\"cDes\":\"AU\",\"ioID\":503,\"cEmsKind\":\"WPK\",\"cNum\":\"WPO0000003\"}],\"cDes\":\"LATE\"");
  const std::string first = db.Scalar("SELECT iid FROM dbo.rec_pre_input WHERE icid = 937001 AND cnum = 'WPO0000001'");
  const std::string third = db.Scalar("SELECT iid FROM dbo.rec_pre_input WHERE icid = 937001 AND cnum = 'WPO0000003'");
  ASSERT_FALSE(first.empty()) << got;
  ASSERT_FALSE(third.empty()) << got;
  EXPECT_EQ(got, "{\"ReturnValue\":3,\"OK\":2,\"ErrList\":[" +
                     OrderEntry(0, std::stoll(first), "WPO0000001", "WPO0000001", "") + "," +
                     OrderEntry(1, 0, "WPO0000002", "", "目的地空") + "," +
                     OrderEntry(2, std::stoll(third), "WPO0000003", "WPO0000003", "") + "]}");

  // The stored rows, with the caller's address; the goods lines went in with their order.
  EXPECT_EQ(db.Query("SELECT cnum, cno, cemskind, cdes, creceiver, encode(vaddress, 'hex') FROM dbo.rec_pre_input "
                     "WHERE icid = 937001 ORDER BY cnum"),
            (std::vector<std::vector<std::string>>{{"WPO0000001", "WPO0000001", "WPK", "US", "张三", "7f000001"},
                                                   {"WPO0000003", "WPO0000003", "WPK", "AU", "", "7f000001"}}));
  EXPECT_EQ(db.Query("SELECT wpos, cgoods, iquantity, fprice FROM dbo.rec_pre_input_goods WHERE iid = " + first +
                     " ORDER BY wpos"),
            (std::vector<std::vector<std::string>>{{"0", "Tea", "2", "1.50"}, {"1", "Cup", "1", "0.00"}}));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.rec_pre_input_goods WHERE iid = " + third), "0");

  // The same numbers again: the database refuses both, and nothing more is stored.
  const std::string again = Api("wOrderSet", ",\"OrderList\":[{\"ioID\":1,\"cNum\":\"WPO0000001\",\"cEmsKind\":"
                                             "\"WPK\",\"cDes\":\"US\"},{\"ioID\":2,\"cNum\":\"WPO0000003\","
                                             "\"cEmsKind\":\"WPK\",\"cDes\":\"US\"}]");
  EXPECT_EQ(again, "{\"ReturnValue\":2,\"OK\":0,\"ErrList\":[" +
                       OrderEntry(0, 0, "WPO0000001", "WPO0000001", "同样内单号的记录已经存在。") + "," +
                       OrderEntry(1, 0, "WPO0000003", "WPO0000003", "同样内单号的记录已经存在。") + "]}");
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE icid = 937001"), "2");
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (" + first + ", " + third + ")"));
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid = 937001"));
}

TEST_F(WarehousePartnerTest, OrderListsWithoutOrdersAndBadLists) {
  struct Case {
    const char* why;
    std::string more;
    std::string reply;
  } cases[] = {
      {"no object with ioID", ",\"OrderList\":[{\"iID\":1,\"cNum\":\"WPO0000009\"}],\"ioID\":5",
       "{\"ReturnValue\":0,\"OK\":0}"},
      {"an empty list", ",\"OrderList\":[]", "{\"ReturnValue\":0,\"OK\":0}"},
      {"no list", ",\"RecList\":[{\"ioID\":1}]", Code(-3)},
      {"not a list", ",\"OrderList\":{\"ioID\":1,\"cNum\":\"WPO0000009\"}", Code(-3)},
      {"a list cut off", ",\"OrderList\":[{\"ioID\":1,\"cNum\":\"WPO0000009\",\"cEmsKind\":\"WPK\",\"cDes\":\"US\"}",
       Code(-3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Api("wOrderSet", c.more), c.reply) << c.why;
  }
  EXPECT_EQ(TestDb().Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE icid = 937001"), "0");
}

TEST_F(WarehousePartnerTest, ALargeBatchIsAnsweredWhole) {
  // 300 refused orders with 30-character numbers: a reply far beyond a few kilobytes.
  constexpr int kOrders = 300;
  std::string list;
  for (int i = 0; i < kOrders; ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "WPO%027d", i);
    list += (i == 0 ? "{\"ioID\":" : ",{\"ioID\":") + std::to_string(i) + ",\"cNum\":\"" + number +
            "\",\"cEmsKind\":\"WPK\"}";
  }
  const std::string got = Api("wOrderSet", ",\"OrderList\":[" + list + "]");
  ASSERT_GT(got.size(), 8192u);
  Ids index;
  for (int i = 0; i < kOrders; ++i) index.push_back(i);
  EXPECT_EQ(ReplyInts(got, "iIndex"), index);
  EXPECT_EQ(got.substr(0, 36), "{\"ReturnValue\":300,\"OK\":0,\"ErrList\":");
  EXPECT_EQ(got.substr(got.size() - 2), "]}");
  EXPECT_EQ(TestDb().Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE icid = 937001"), "0");
}

TEST_F(WarehousePartnerTest, NamesWithoutAHandlerAnswerNothing) {
  for (const char* name : {"wOrderDel", "wOutQuery", "wOutTotal", "wOrderInfo"}) {
    EXPECT_EQ(Api(name, ",\"OrderList\":[{\"ioID\":1}]"), "") << name;
  }
}

// ---- wGoodsInfo -------------------------------------------------------------------------------------

// The placements of client 937001 in WP1 in list order: the goods without a name by placement id,
// then by name.
const Ids kPlacedInOrder = {937202, 937203, 937204, 937205, 937201, 937206,
                            937207, 937208, 937209, 937210, 937211, 937212};

TEST_F(WarehousePartnerTest, GoodsPagesFollowTheNamesWithoutRepeatsOrGaps) {
  struct Case {
    int page;
    int shownPage;
    Ids ids;
  } cases[] = {
      {1, 1, Ids(kPlacedInOrder.begin(), kPlacedInOrder.begin() + 5)},
      {2, 2, Ids(kPlacedInOrder.begin() + 5, kPlacedInOrder.begin() + 10)},
      {3, 3, Ids(kPlacedInOrder.begin() + 10, kPlacedInOrder.end())},
      {0, 1, Ids(kPlacedInOrder.begin(), kPlacedInOrder.begin() + 5)},
      {-3, 1, Ids(kPlacedInOrder.begin(), kPlacedInOrder.begin() + 5)},
      {9, 3, Ids(kPlacedInOrder.begin() + 10, kPlacedInOrder.end())},
  };
  for (const Case& c : cases) {
    const std::string got = Api("wGoodsInfo", ",\"cDepot\":\"WP1\",\"iPagePer\":5,\"iPage\":" + std::to_string(c.page));
    EXPECT_EQ(got.substr(0, got.find("\"RecList\"")),
              "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":" + std::to_string(c.shownPage) +
                  ",\"iPagePer\":5,\"iTotalRec\":12,\"cDepot\":\"WP1\",\"cqgCode\":\"\",\"cqcCode\":\"\",")
        << c.page;
    EXPECT_EQ(ReplyInts(got, "iID"), c.ids) << c.page;
  }
  // The count alone, with the filters echoed.
  EXPECT_EQ(Api("wGoodsInfo", ",\"cDepot\":\"WP1\",\"cqgCode\":\"WPG1\",\"iPage\":2"),
            "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":2,\"iPagePer\":0,\"iTotalRec\":3,\"cDepot\":\"WP1\","
            "\"cqgCode\":\"WPG1\",\"cqcCode\":\"\"}");
}

TEST_F(WarehousePartnerTest, GoodsFiltersAndTheirRow) {
  struct Case {
    const char* why;
    std::string more;
    Ids ids;  // empty: nothing found
  } cases[] = {
      {"the goods id alone, the codes then count for nothing", ",\"iqwGiid\":937006,\"cqgCode\":\"WPG01\"", {937206}},
      {"another client's goods id", ",\"iqwGiid\":937013", {}},
      {"a goods code prefix", ",\"cqgCode\":\"WPG1\"", {937210, 937211, 937212}},
      {"\"_\" is a literal underscore", ",\"cqgCode\":\"WPG10_\"", {937211}},
      {"a client code prefix", ",\"cqcCode\":\"C1\"", {937210, 937211, 937212}},
      {"both prefixes", ",\"cqgCode\":\"WPG1\",\"cqcCode\":\"C12\"", {937212}},
      {"\"%\" is a literal per cent", ",\"cqgCode\":\"%\"", {}},
      {"a quote stays inside its text", ",\"cqgCode\":\"WPG' OR ''='\"", {}},
      {"below the minimum", ",\"nqType\":1", {937201}},
      {"within the bounds",
       ",\"nqType\":2",
       {937202, 937203, 937204, 937205, 937207, 937208, 937209, 937210, 937211, 937212}},
      {"above the maximum", ",\"nqType\":3", {937206}},
      {"any other type filters nothing", ",\"nqType\":4", kPlacedInOrder},
  };
  for (const Case& c : cases) {
    const std::string got = Api("wGoodsInfo", ",\"cDepot\":\"WP1\",\"iPagePer\":50" + c.more);
    if (c.ids.empty()) {
      EXPECT_EQ(got, Code(0)) << c.why;
    } else {
      EXPECT_EQ(ReplyInts(got, "iID"), c.ids) << c.why << "\n" << got;
    }
  }
  // Another client sees only its own placement, and the other depot holds other placements.
  EXPECT_EQ(ReplyInts(Api("wGoodsInfo", ",\"cDepot\":\"WP1\",\"iPagePer\":50", kOtherClient), "iID"), Ids{937213});
  EXPECT_EQ(ReplyInts(Api("wGoodsInfo", ",\"cDepot\":\"WP2\",\"iPagePer\":50"), "iID"), (Ids{937215, 937214}));

  EXPECT_EQ(Api("wGoodsInfo", ",\"cDepot\":\"WP1\",\"iPagePer\":1,\"cqgCode\":\"WPG01\""),
            "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":1,\"iPagePer\":1,\"iTotalRec\":1,\"cDepot\":\"WP1\","
            "\"cqgCode\":\"WPG01\",\"cqcCode\":\"\",\"RecList\":[{\"iID\":937201,\"iwGiid\":937001,\"cgName\":"
            "\"Apple\",\"cgNameE\":\"" + Utf8("苹果") + "\",\"cgCode\":\"WPG01\",\"ccCode\":\"C01\",\"cUnit\":\"PCS\","
            "\"fWeight\":1.500,\"iEDays\":30,\"fPrice\":1.25,\"fPriceS\":2.50,\"fPriceB\":3.75,\"fPriceV\":4.00,"
            "\"fDValue\":5.50,\"fIValue\":6.00,\"fEValue\":7.10,\"cKind\":\"Fruit\",\"iMin\":5,\"iMax\":100,"
            "\"iIn\":10,\"iOut\":8,\"nState\":0,\"cMark\":\"MK\",\"cMemo\":\"a'b\"}]}");
}

TEST_F(WarehousePartnerTest, APageOfAThousandWideRowsIsSentWhole) {
  // 1000 goods of client 937003 in WP2 whose three long texts are Chinese (three reply bytes per
  // character): the page is larger than the slot's reply buffer of 2 MB.
  TestDb db;
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.w_goods_define (icid, cgcode, cname, cnamee) SELECT 937003, 'WPW' || i, "
                      "repeat('货', 250) || lpad(i::text, 4, '0'), repeat('物', 255) FROM generate_series(1, 1000) "
                      "AS i"))
      << db.error();
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.w_goods_depot (giid, icid, cdepot, cmemo) SELECT giid, 937003, 'WP2', "
                      "repeat('注', 255) FROM dbo.w_goods_define WHERE icid = 937003"))
      << db.error();
  std::vector<long long> placements;
  for (const auto& row : db.Query("SELECT a.iid FROM dbo.w_goods_depot AS a INNER JOIN dbo.w_goods_define AS b "
                                  "ON (a.giid = b.giid) WHERE a.icid = 937003 ORDER BY b.cname")) {
    placements.push_back(std::stoll(row[0]));
  }
  ASSERT_EQ(placements.size(), 1000u);

  const std::string got = Api("wGoodsInfo", ",\"cDepot\":\"WP2\",\"iPagePer\":1000", kEmptyClient);
  EXPECT_GT(got.size(), 2u * 1024 * 1024);
  EXPECT_EQ(ReplyInts(got, "iID"), placements);
  EXPECT_EQ(got.substr(got.size() - 2), "]}");
  // The last row is whole, its memo not cut.
  std::string memo;
  for (int i = 0; i < 255; ++i) memo += "注";
  EXPECT_NE(got.find("\"cMemo\":\"" + Utf8(memo) + "\"}]}"), std::string::npos);
}

TEST_F(WarehousePartnerTest, ListRefusalsComeInTheirOrder) {
  const std::string march = ",\"cqDateB\":\"2026-03-01\",\"cqDateE\":\"2026-03-31\"";
  struct Case {
    const char* why;
    const char* name;
    std::string more;
    int code;
  } cases[] = {
      {"no depot", "wGoodsInfo", ",\"cDepot\":\"\"", -830},
      {"no depot before the dates", "wInQuery", ",\"cqDateB\":\"\"", -830},
      {"an unknown depot", "wGoodsInfo", ",\"cDepot\":\"ZZ9\"", -831},
      {"an inactive depot", "wGoodsInfo", ",\"cDepot\":\"WP3\"", -831},
      {"a quote in the depot", "wGoodsInfo", ",\"cDepot\":\"W'1\"", -831},
      {"no start", "wInQuery", ",\"cDepot\":\"WP1\",\"cqDateE\":\"2026-03-31\"", -12},
      {"a start that is no date", "wInQuery", ",\"cDepot\":\"WP1\",\"cqDateB\":\"yesterday\",\"cqDateE\":\"2026-03-31\"",
       -12},
      {"no end", "wInQuery", ",\"cDepot\":\"WP1\",\"cqDateB\":\"2026-03-01\"", -12},
      {"the start after the end", "wInQuery", ",\"cDepot\":\"WP1\",\"cqDateB\":\"2026-04-01\",\"cqDateE\":\"2026-03-01\"",
       -12},
      {"the dates before the depot", "wInTotal", ",\"cDepot\":\"ZZ9\",\"cqDateB\":\"2026-04-01\"", -12},
      {"the total, no start", "wInTotal", ",\"cDepot\":\"WP1\",\"cqDateE\":\"2026-03-31\"", -12},
      {"the total, an unknown depot", "wInTotal", ",\"cDepot\":\"ZZ9\"" + march, -831},
      {"goods of a depot without them", "wGoodsInfo", ",\"cDepot\":\"WP2\",\"cqgCode\":\"WPG06\"", 0},
      {"records of a month without them", "wInQuery",
       ",\"cDepot\":\"WP1\",\"cqDateB\":\"2025-01-01\",\"cqDateE\":\"2025-01-31\"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Api(c.name, c.more), Code(c.code)) << c.why;
  }
  // A longer depot code is cut to its three characters, not refused.
  EXPECT_EQ(ReplyInts(Api("wGoodsInfo", ",\"cDepot\":\"WP1X\",\"iPagePer\":1,\"cqgCode\":\"WPG01\""), "iID"),
            Ids{937201});
}

// ---- wInQuery and wInTotal --------------------------------------------------------------------------

TEST_F(WarehousePartnerTest, GoodsInRecordsByPageAndFilter) {
  const std::string march = ",\"cDepot\":\"WP1\",\"cqDateB\":\"2026-03-01\",\"cqDateE\":\"2026-03-31\"";
  struct Case {
    const char* why;
    std::string more;
    int shownPage;
    Ids ids;
  } cases[] = {
      {"the first page", ",\"iPagePer\":4,\"iPage\":1", 1, {937301, 937302, 937303, 937304}},
      {"the last page", ",\"iPagePer\":4,\"iPage\":2", 2, {937305, 937306}},
      {"beyond the last page", ",\"iPagePer\":4,\"iPage\":5", 2, {937305, 937306}},
      {"a negative page", ",\"iPagePer\":4,\"iPage\":-1", 1, {937301, 937302, 937303, 937304}},
      {"announced", ",\"iPagePer\":10,\"nqType\":1", 1, {937301}},
      {"being picked and checked", ",\"iPagePer\":10,\"nqType\":2", 1, {937302, 937303, 937304}},
      {"stored", ",\"iPagePer\":10,\"nqType\":3", 1, {937305, 937306}},
      {"a goods id", ",\"iPagePer\":10,\"iqwGiid\":937006", 1, {937303, 937306}},
      {"a goods code prefix", ",\"iPagePer\":10,\"cqgCode\":\"WPG06\"", 1, {937303, 937306}},
      {"a client code", ",\"iPagePer\":10,\"cqcCode\":\"C02\"", 1, {937302}},
  };
  for (const Case& c : cases) {
    const std::string got = Api("wInQuery", march + c.more);
    EXPECT_EQ(ReplyInts(got, "iID"), c.ids) << c.why << "\n" << got;
    EXPECT_EQ(ReplyInts(got, "iPage"), Ids{c.shownPage}) << c.why;
  }
  // The days are whole: the end day's last second is in, the start's first second too.
  EXPECT_EQ(ReplyInts(Api("wInQuery", ",\"cDepot\":\"WP1\",\"cqDateB\":\"2026-03-06\",\"cqDateE\":\"2026-03-06\","
                                      "\"iPagePer\":10"),
                      "iID"),
            Ids{937306});
  EXPECT_EQ(ReplyInts(Api("wInQuery", march + ",\"iPagePer\":10", kOtherClient), "iID"), Ids{937308});

  EXPECT_EQ(Api("wInQuery", march + ",\"iPagePer\":1,\"iPage\":5"),
            "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":5,\"iPagePer\":1,\"iTotalRec\":6,\"cDepot\":\"WP1\","
            "\"cqgCode\":\"\",\"cqcCode\":\"\",\"cqDateB\":\"2026.03.01 00:00:00.0\",\"cqDateE\":"
            "\"2026.03.31 23:59:59.998\",\"RecList\":[{\"iID\":937305,\"iwGiid\":937001,\"cgName\":\"Apple\","
            "\"cgCode\":\"WPG01\",\"ccCode\":\"C01\",\"cUnit\":\"PCS\",\"nType\":1,\"nState\":40,\"cBatch\":"
            "\"B-305\",\"cRNo\":\"RN305\",\"dDate\":\"2026-03-05 10:00\",\"dInDate\":\"2026-03-06 11:22\","
            "\"iQuantity\":8,\"fPick\":0.50,\"fQCIn\":1.00,\"fLabel\":0.25,\"fArrange\":2.00,\"iPic\":2,"
            "\"cMark\":\"M5\",\"cMemo\":\"memo\"}]}");
  EXPECT_EQ(Api("wInQuery", march + ",\"nqType\":3"),
            "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":0,\"iPagePer\":0,\"iTotalRec\":2,\"cDepot\":\"WP1\","
            "\"cqgCode\":\"\",\"cqcCode\":\"\",\"cqDateB\":\"2026.03.01 00:00:00.0\",\"cqDateE\":"
            "\"2026.03.31 23:59:59.998\"}");
}

TEST_F(WarehousePartnerTest, StoredTotalsByGoods) {
  // Stored in March: 305 and 311 of Apple, 306 of Cable. The April record, the record announced in
  // March but stored later, another client's, the unplaced goods' and WP2's are not counted.
  EXPECT_EQ(Api("wInTotal", ",\"cDepot\":\"WP1\",\"cqDateB\":\"2026-03-01\",\"cqDateE\":\"2026-03-31\""),
            "{\"ReturnValue\":1,\"RecList\":[{\"iwGiid\":937001,\"cgName\":\"Apple\",\"cgCode\":\"WPG01\","
            "\"ccCode\":\"C01\",\"cUnit\":\"PCS\",\"iQuantity\":12,\"iNormal\":9,\"iDefective\":3,\"iCount\":2},"
            "{\"iwGiid\":937006,\"cgName\":\"Cable\",\"cgCode\":\"WPG06\",\"ccCode\":\"C06\",\"cUnit\":\"\","
            "\"iQuantity\":3,\"iNormal\":3,\"iDefective\":0,\"iCount\":1}],\"iTotalRec\":2}");
  const std::string march = ",\"cqDateB\":\"2026-03-01\",\"cqDateE\":\"2026-03-31\"";
  struct Case {
    const char* why;
    std::string more;
    Ids goods;
  } cases[] = {
      {"a goods id", march + ",\"iqwGiid\":937006", {937006}},
      {"a goods code prefix", march + ",\"cqgCode\":\"WPG01\"", {937001}},
      {"a client code prefix", march + ",\"cqcCode\":\"C0\"", {937001, 937006}},
      {"the type is no filter of the totals", march + ",\"nqType\":1", {937001, 937006}},
      {"a stored time past the end", ",\"cqDateB\":\"2026-03-01\",\"cqDateE\":\"2026-03-06 11:22:00\"", {}},
      {"a stored time within", ",\"cqDateB\":\"2026-03-01\",\"cqDateE\":\"2026-03-06 11:23\"", {937001}},
      {"a stored time at the start", ",\"cqDateB\":\"2026-03-06 11:22:33\",\"cqDateE\":\"2026-03-06\"", {937001}},
  };
  for (const Case& c : cases) {
    const std::string got = Api("wInTotal", ",\"cDepot\":\"WP1\"" + c.more);
    EXPECT_EQ(ReplyInts(got, "iwGiid"), c.goods) << c.why << "\n" << got;
    EXPECT_EQ(ReplyInts(got, "iTotalRec"), Ids{static_cast<long long>(c.goods.size())}) << c.why;
  }
  EXPECT_EQ(Api("wInTotal", ",\"cDepot\":\"WP1\",\"cqDateB\":\"2025-01-01\",\"cqDateE\":\"2025-01-31\""),
            "{\"ReturnValue\":1,\"RecList\":[],\"iTotalRec\":0}");
  EXPECT_EQ(ReplyInts(Api("wInTotal", ",\"cDepot\":\"WP1\",\"cqDateB\":\"2026-03-01\",\"cqDateE\":\"2026-03-31\"",
                          kOtherClient),
                      "iwGiid"),
            Ids{937013});
}

// ---- VstGoodsList -----------------------------------------------------------------------------------

TEST_F(WarehousePartnerTest, ClientGoodsPagesAndTheirCount) {
  // The active goods by name, the three named "Widget" by id.
  struct Case {
    std::string more;
    std::string head;
    Ids ids;
  } cases[] = {
      {",\"iPagePer\":3,\"iPage\":1", "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":1,\"iPagePer\":3,\"iTotalRec\":7,",
       {937404, 937406, 937407}},
      {",\"iPagePer\":3,\"iPage\":2", "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":2,\"iPagePer\":3,\"iTotalRec\":7,",
       {937401, 937402, 937403}},
      {",\"iPagePer\":3,\"iPage\":9", "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":3,\"iPagePer\":3,\"iTotalRec\":7,",
       {937405}},
      {",\"iPagePer\":3,\"iPage\":-2", "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":1,\"iPagePer\":3,\"iTotalRec\":7,",
       {937404, 937406, 937407}},
      {",\"iPagePer\":5000",
       "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":1,\"iPagePer\":1000,\"iTotalRec\":7,",
       {937404, 937406, 937407, 937401, 937402, 937403, 937405}},
  };
  for (const Case& c : cases) {
    const std::string got = App(c.more);
    EXPECT_EQ(got.substr(0, got.find("\"RecList\"")), c.head) << c.more;
    EXPECT_EQ(ReplyInts(got, "iID"), c.ids) << c.more;
  }
  EXPECT_EQ(App(",\"iPagePer\":0"), "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":0,\"iPagePer\":0,\"iTotalRec\":7}");
  EXPECT_EQ(App(",\"iPagePer\":-4,\"iPage\":2"),
            "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":2,\"iPagePer\":0,\"iTotalRec\":7}");
  // Another client sees its own goods only; a client without goods finds nothing.
  EXPECT_EQ(ReplyInts(App(",\"iPagePer\":10", kOtherClient), "iID"), Ids{937410});
  EXPECT_EQ(App(",\"iPagePer\":10", kEmptyClient), Code(0));
  // The list is served by the client application's door only.
  EXPECT_EQ(Api("VstGoodsList", ",\"iPagePer\":10"), Code(-4));

  EXPECT_EQ(App(",\"iPagePer\":10,\"cqScanCode\":\"C3\""),
            "{\"ReturnValue\":1,\"icID\":937001,\"iPage\":1,\"iPagePer\":10,\"iTotalRec\":1,\"RecList\":[{\"iID\":"
            "937404,\"cName\":\"Anchor\",\"cNameE\":\"Anchor E\",\"cScanCode\":\"C3\",\"cGCode\":\"G-404\",\"cUnit\":"
            "\"PCS\",\"fWeight\":1.250,\"cLwh\":\"10*20*30\",\"cColor\":\"Red\",\"cSize\":\"L\",\"cBrand\":\"Acme\","
            "\"cModel\":\"M-1\",\"cMark\":\"MK\",\"cMemo\":\"" + Utf8("备注") + "\",\"cStore\":\"S1\",\"cShelf\":"
            "\"A-01\",\"iIn\":10,\"iOut\":4,\"iBag\":2,\"iQuantity\":6,\"iMin\":1,\"iMax\":99}]}");
}

TEST_F(WarehousePartnerTest, ClientGoodsFilters) {
  std::string longList;  // 1990 codes that name nothing, then B2: close to the list bound
  for (int i = 0; i < 1990; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "Q%04d,", i);
    longList += code;
  }
  struct Case {
    const char* why;
    std::string more;
    Ids ids;  // empty: nothing found
  } cases[] = {
      {"a list of scan codes", ",\"cqScanCode\":\"A1,B2,C3\"", {937404, 937401, 937403}},
      {"a list compares without case", ",\"cqScanCode\":\"a1,b2\"", {937401, 937403}},
      {"one scan code is a prefix, without case", ",\"cqScanCode\":\"A1\"", {937401, 937402, 937405}},
      {"a trailing comma is dropped", ",\"cqScanCode\":\"A1,\"", {937401, 937402, 937405}},
      {"empty codes in a list", ",\"cqScanCode\":\"A1,,B2\"", {937401, 937403}},
      {"a bare code does not run over the keys after it", ",\"cqScanCode\":A1,\"iPage\":1", {937401, 937402, 937405}},
      {"a long list", ",\"cqScanCode\":\"" + longList + "B2\"", {937403}},
      {"a list at the bound is a prefix", ",\"cqScanCode\":\"" + longList + std::string(60, 'Q') + "\"", {}},
      {"quotes stay inside their codes", ",\"cqScanCode\":\"A1','B2\"", {}},
      {"a name prefix", ",\"cqName\":\"Wid\"", {937401, 937402, 937403}},
      {"\"%\" in a name is a per cent", ",\"cqName\":\"Ratio 50%\"", {937406}},
      {"a quote in a name", ",\"cqName\":\"x' OR '1'='1\"", {}},
      {"\"_\" in a mark is an underscore", ",\"cqMark\":\"M_\"", {937406}},
      {"a backslash in a mark is a backslash", ",\"cqMark\":\"M\\\\\"", {}},
      {"name, code and mark together", ",\"cqName\":\"Ratio\",\"cqScanCode\":\"D4,D5\",\"cqMark\":\"MX\"", {937407}},
  };
  for (const Case& c : cases) {
    const std::string got = App(",\"iPagePer\":20" + c.more);
    if (c.ids.empty()) {
      EXPECT_EQ(got, Code(0)) << c.why;
    } else {
      EXPECT_EQ(ReplyInts(got, "iID"), c.ids) << c.why << "\n" << got.substr(0, 300);
    }
  }
}

}  // namespace
