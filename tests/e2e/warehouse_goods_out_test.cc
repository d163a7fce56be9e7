// Goods out over HTTP through DoPda: picking carts ("pdawCartInfo", "pdawCartChoose",
// "pdawCartConfirm"), orders ("pdawOrderInfo", "pdawOrderOut") with the fee rows and stock after
// each step, serial-numbered pieces in and out ("pdawSerialIn", "pdawSerialOut"), and concurrent
// serial-outs and order-outs.
//
// Rows use depots "WO1" and "WO2", client 935001, goods 935001-935002, carts, orders, goods-out rows
// and notices from 935001, which no other test uses.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/warehouse_support.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::warehouse::Code;
using twtest::warehouse::PdaSession;
using twtest::warehouse::Utf8;

void RemoveRows(TestDb& db) {
  for (const char* sql : {
           "DELETE FROM dbo.w_depot WHERE cdepot IN ('WO1', 'WO2')",
           "DELETE FROM dbo.w_operate_define WHERE cdepot IN ('WO1', 'WO2')",
           "DELETE FROM dbo.w_operate_log WHERE cmoney = 'WOX' OR (ckind = 'out' AND irefid BETWEEN 935001 AND 935099) "
           "OR (ckind LIKE 'serial%' AND irefid IN (SELECT serid FROM dbo.w_g_serial WHERE cdepot IN ('WO1', 'WO2')))",
           "DELETE FROM dbo.w_goods_define WHERE giid BETWEEN 935001 AND 935009",
           "DELETE FROM dbo.w_goods_depot WHERE cdepot IN ('WO1', 'WO2')",
           "DELETE FROM dbo.w_order_cart WHERE icartid BETWEEN 935001 AND 935009",
           "DELETE FROM dbo.w_order WHERE ioid BETWEEN 935001 AND 935099",
           "DELETE FROM dbo.w_order_item WHERE ioid BETWEEN 935001 AND 935099",
           "DELETE FROM dbo.w_g_out WHERE ioid BETWEEN 935001 AND 935099",
           "DELETE FROM dbo.w_order_out_book WHERE ioid BETWEEN 935001 AND 935099",
           "DELETE FROM dbo.w_g_in WHERE cdepot IN ('WO1', 'WO2')",
           "DELETE FROM dbo.w_g_serial WHERE cdepot IN ('WO1', 'WO2')",
           "DELETE FROM dbo.w_depot_role WHERE cdepot IN ('WO1', 'WO2')",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error();
  }
}

class WarehouseGoodsOutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    twtest::warehouse::SeedPdaUser(db);
    for (const char* sql : {
             "INSERT INTO dbo.w_depot (cdepot) VALUES ('WO1'), ('WO2')",
             "INSERT INTO dbo.w_operate_define (cdepot, ntype, iseconds, fwage, cmoney) VALUES ('WO1', 22, 10, 0.2, ''), "
             "('WO1', 23, 20, 0.5, ''), ('WO1', 26, 5, 1, ''), ('WO1', 6, 3, 0.05, 'WOX'), ('WO1', 27, 4, 0.07, 'WOX')",
             "INSERT INTO dbo.w_goods_define (giid, icid, cgcode, cccode, cname, cunit, ntype) VALUES "
             "(935001, 935001, 'WOG1', 'C1', 'Plain', 'PCS', 0), (935002, 935001, 'WOG2', 'C2', 'Serial', 'PCS', 1)",
             "INSERT INTO dbo.w_goods_depot (iid, giid, icid, cdepot, cshelfb, wcolumnb, nstoryb, iin, cmark) VALUES "
             "(935001, 935001, 935001, 'WO1', 'P01', 2, 3, 100, 'pm'), (935002, 935002, 935001, 'WO1', 'S01', 1, 1, 3, "
             "''), (935003, 935001, 935001, 'WO2', 'Q01', 1, 1, 100, '')",
             "INSERT INTO dbo.w_order_cart (cdepot, icartid, nstate, iorder, icatgory, iquantity, cinput, cmark, ddate) "
             "VALUES ('WO1', 935001, 1, 2, 2, 9, 'maker', 'm', '2026-03-04 05:06:07'), ('WO2', 935002, 0, 0, 0, 0, '', "
             "'', '2026-01-01'), ('WO1', 935003, 3, 0, 0, 0, '', '', '2026-01-01')",
             "INSERT INTO dbo.w_order (ioid, cdepot, icartid, icid, nstate, cnum, cno, crefer, creceiver, cgoods, "
             "iquantity, icategory, cemskind, cdes, iitem, fweight, cmark, ddate) VALUES "
             "(935001, 'WO1', 935001, 935001, 10, 'WOR0001', 'WNO0001', 'REF1', 'R1', 'G1', 5, 1, 'EMS', 'AU', 2, 1.5, "
             "'om', '2026-03-04 05:06:07'), "
             "(935002, 'WO1', 935001, 935001, 10, 'WOR0002', 'WNO0002', '', 'R2', 'G2', 4, 1, '', '', 1, 0, '', "
             "'2026-01-01'), "
             "(935003, 'WO2', 935001, 935001, 10, 'WOR0003', '', '', 'R3', '', 9, 1, '', '', 1, 0, '', '2026-01-01'), "
             "(935004, 'WO1', 0, 935001, 9, 'WOR0004', '', '', '', '', 1, 0, '', '', 1, 0, '', '2026-01-01'), "
             "(935005, 'WO1', 0, 935001, 50, 'WOR0005', '', '', '', '', 1, 0, '', '', 1, 0, '', '2026-01-01'), "
             "(935006, 'WO1', 0, 935001, 20, 'WOR0006', '', '', '', '', 1, 0, '', '', 1, 0, '', '2026-01-01'), "
             "(935007, 'WO1', 0, 935001, 20, 'WOR0007', '', '', '', '', 1, 0, '', '', 1, 0, '', '2026-01-01'), "
             "(935008, 'WO1', 0, 935001, 20, 'WOR0008', '', '', '', '', 1, 0, '', '', 1, 0, '', '2026-01-01')",
             "INSERT INTO dbo.w_order_item (ioid, giid, iquantity, irealout, wpos, cex1) VALUES (935001, 935001, 3, 3, 1, "
             "'x'), (935001, 935002, 2, 2, 2, ''), (935002, 935001, 4, 4, 1, ''), (935003, 935001, 9, 9, 1, '')",
             // Two goods-out rows of WOG1 on order 935001: its line is still listed once.
             "INSERT INTO dbo.w_g_out (iid, ioid, giid, iquantity, nstate) VALUES (935001, 935001, 935001, 3, 10), "
             "(935002, 935001, 935002, 2, 10), (935003, 935001, 935001, 0, 10), (935004, 935002, 935001, 4, 10), "
             "(935006, 935006, 935002, 1, 20), (935007, 935007, 935002, 1, 20), (935008, 935008, 935001, 1, 20)",
             "INSERT INTO dbo.w_depot_role (cname, cdepot, nrights, cpassword) VALUES ('Picker', 'WO1', 4, 'pk'), "
             "('Sender', 'WO1', 2, 'sd'), ('InOnly', 'WO1', 1, 'x')",
             "INSERT INTO dbo.w_g_in (iid, crno, cdepot, giid, icid, nstate, iquantity, inormal) VALUES "
             "(935001, 'WOIN1', 'WO1', 935002, 935001, 30, 4, 4), (935002, 'WOIN2', 'WO1', 935001, 935001, 30, 1, 1), "
             "(935003, 'WOIN3', 'WO1', 935002, 935001, 40, 1, 1)",
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
  }
  static void TearDownTestSuite() {
    if (twtest::DatabaseConfigured()) {
      TestDb db;
      RemoveRows(db);
    }
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    ASSERT_TRUE(pda_.Start()) << pda_.host().error();
  }
  static std::string Out(int placement) {
    return TestDb().Scalar("SELECT iout FROM dbo.w_goods_depot WHERE iid = " + std::to_string(placement));
  }
  // Runs the same signed request from 8 connections at once; the replies.
  std::vector<std::string> AtOnce(const std::vector<std::string>& bodies) {
    std::vector<std::string> replies(bodies.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < bodies.size(); ++i) {
      threads.emplace_back([&, i] {
        twtest::HttpClient http(pda_.port());
        replies[i] = http.Post("/cgi-bin/Tarnwick.dll?DoPda", bodies[i]).body;
      });
    }
    for (std::thread& t : threads) t.join();
    return replies;
  }

  PdaSession pda_;
};

TEST_F(WarehouseGoodsOutTest, CartInfoListsTheCartsGoodsAndOrdersOfTheDepot) {
  const std::string head = "{\"ReturnValue\":1,\"cDepot\":\"WO1\",\"iqCartID\":935001,\"iState\":1,\"iOrder\":2,"
                           "\"iCatgory\":2,\"iQuantity\":9,\"dInput\":\"2026-03-04 05:06:07\",\"cInput\":\"maker\","
                           "\"dPrint\":\"1900-01-01 00:00:00\",\"cPrint\":\"\",\"dChoose\":\"1900-01-01 00:00:00\","
                           "\"cChoose\":\"\",\"cOper\":\"\",\"cConfirm\":\"\",\"cMark\":\"m\"";
  EXPECT_EQ(pda_.Call("pdawCartInfo", ",\"cDepot\":\"WO1\",\"iqCartID\":935001"), head + "}");
  // The other depot's order on the same cart id (9 pieces) is neither summed nor listed.
  const std::string all = pda_.Call("pdawCartInfo", ",\"cDepot\":\"WO1\",\"iqCartID\":935001,\"bListGoods\":true,"
                                                    "\"bListOrder\":true");
  EXPECT_EQ(all, head +
                     ",\"GoodsList\":[{\"iwGiid\":935001,\"cgName\":\"Plain\",\"cgCode\":\"WOG1\",\"ccCode\":\"C1\","
                     "\"cgKind\":\"\",\"cgModel\":\"\",\"cShelf\":\"P01\",\"iClomn\":2,\"iStory\":3,\"iQuantity\":7,"
                     "\"cMark\":\"pm\",\"cMemo\":\"\",\"icID\":935001},{\"iwGiid\":935002,\"cgName\":\"Serial\","
                     "\"cgCode\":\"WOG2\",\"ccCode\":\"C2\",\"cgKind\":\"\",\"cgModel\":\"\",\"cShelf\":\"S01\","
                     "\"iClomn\":1,\"iStory\":1,\"iQuantity\":2,\"cMark\":\"\",\"cMemo\":\"\",\"icID\":935001}],"
                     "\"OrderList\":[{\"ioID\":935001,\"icID\":935001,\"cNum\":\"WOR0001\",\"cNo\":\"WNO0001\","
                     "\"cEmskind\":\"EMS\",\"cDes\":\"AU\",\"cReceiver\":\"R1\",\"cGoods\":\"G1\",\"iQuantity\":5,"
                     "\"iCategory\":1,\"cPack\":\"\",\"cTransNote\":\"\",\"cMark\":\"om\",\"cMemo\":\"\"},{\"ioID\":"
                     "935002,\"icID\":935001,\"cNum\":\"WOR0002\",\"cNo\":\"WNO0002\",\"cEmskind\":\"\",\"cDes\":\"\","
                     "\"cReceiver\":\"R2\",\"cGoods\":\"G2\",\"iQuantity\":4,\"iCategory\":1,\"cPack\":\"\","
                     "\"cTransNote\":\"\",\"cMark\":\"\",\"cMemo\":\"\"}]}");
  struct Case {
    const char* why;
    std::string more, want;
  } cases[] = {
      {"no cart", ",\"cDepot\":\"WO1\"", Code(-12)},
      {"no depot", ",\"iqCartID\":935001", Code(-830)},
      {"unknown depot", ",\"cDepot\":\"WO7\",\"iqCartID\":935001", Code(-831)},
      {"unknown cart", ",\"cDepot\":\"WO1\",\"iqCartID\":935009", Code(0)},
      {"a cart of another depot", ",\"cDepot\":\"WO1\",\"iqCartID\":935002", Code(0)},
  };
  for (const Case& c : cases) EXPECT_EQ(pda_.Call("pdawCartInfo", c.more), c.want) << c.why;
}

TEST_F(WarehouseGoodsOutTest, OrderInfoByIdAndNumbers) {
  const std::string order =
      "{\"ReturnValue\":1,\"cDepot\":\"WO1\",\"ioID\":935001,\"icID\":935001,\"iState\":10,\"iCartID\":935001,"
      "\"cNum\":\"WOR0001\",\"cNo\":\"WNO0001\",\"cRNo\":\"REF1\",\"cCNo\":\"\",\"cBatch\":\"\",\"cDes\":\"AU\","
      "\"cEmsKind\":\"EMS\",\"dInput\":\"2026-03-04 05:06:07\",\"cInput\":\"\",\"cReceiver\":\"R1\",\"cGoods\":\"G1\","
      "\"iQuantity\":5,\"cPack\":\"\",\"cTransNote\":\"\",\"cGoodsA\":\"\",\"cGCodeA\":\"\",\"cGCodeB\":\"\","
      "\"cGCodeC\":\"\",\"cBy1\":\"\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"\",\"cMark\":\"om\","
      "\"cMemo\":\"\"";
  EXPECT_EQ(pda_.Call("pdawOrderInfo", ",\"cDepot\":\"WO1\",\"iqoID\":935001"), order + "}");
  EXPECT_EQ(pda_.Call("pdawOrderInfo", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR0001\""), order + "}");
  EXPECT_EQ(pda_.Call("pdawOrderInfo", ",\"cDepot\":\"WO1\",\"cNum\":\"WNO0001\",\"bNo\":true"), order + "}");
  // Two goods-out rows of one goods item: its line once.
  EXPECT_EQ(pda_.Call("pdawOrderInfo", ",\"cDepot\":\"WO1\",\"iqoID\":935001,\"bListGoods\":true"),
            order +
                ",\"GoodsList\":[{\"iwGiid\":935001,\"cgName\":\"Plain\",\"cgCode\":\"WOG1\",\"ccCode\":\"C1\","
                "\"cShelf\":\"P01\",\"iColume\":2,\"iStory\":3,\"cUnit\":\"PCS\",\"bSerial\":false,\"cEx1\":\"x\","
                "\"iQuantity\":3,\"cMark\":\"pm\",\"cMemo\":\"\",\"icID\":935001},{\"iwGiid\":935002,\"cgName\":"
                "\"Serial\",\"cgCode\":\"WOG2\",\"ccCode\":\"C2\",\"cShelf\":\"S01\",\"iColume\":1,\"iStory\":1,"
                "\"cUnit\":\"PCS\",\"bSerial\":true,\"cEx1\":\"\",\"iQuantity\":2,\"cMark\":\"\",\"cMemo\":\"\","
                "\"icID\":935001}]}");
  struct Case {
    const char* why;
    std::string more, want;
  } cases[] = {
      {"a number of 5 characters", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR00\"", Code(-12)},
      {"no order", ",\"cDepot\":\"WO1\"", Code(-12)},
      {"the number is not a cno", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR0001\",\"bNo\":true", Code(0)},
      {"another depot's order", ",\"cDepot\":\"WO1\",\"iqoID\":935003", Code(0)},
      {"a quote", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR'0001\"", Code(0)},
  };
  for (const Case& c : cases) EXPECT_EQ(pda_.Call("pdawOrderInfo", c.more), c.want) << c.why;
}

TEST_F(WarehouseGoodsOutTest, CartsAndOrdersGoOutOnceWithTheirFeesAndStock) {
  TestDb db;
  const std::string cart = ",\"cDepot\":\"WO1\",\"iqCartID\":935001";
  const std::string six = "\"cDepot\":\"WO1\",\"iqCartID\":935001,\"iState\":%d,\"iOrder\":2,\"iCatgory\":2,"
                          "\"iQuantity\":9";
  auto sixKeys = [&](int state) {
    char text[256];
    std::snprintf(text, sizeof text, six.c_str(), state);
    return std::string(text);
  };
  EXPECT_EQ(pda_.Call("pdawCartChoose", cart + ",\"cChoose\":\"Ann\",\"cMark\":\"c'1\""),
            "{\"ReturnValue\":1," + sixKeys(1) + "}");
  EXPECT_EQ(db.Scalar("SELECT nstate || ' ' || cchoose || ' ' || cmark FROM dbo.w_order_cart WHERE icartid = 935001"),
            "2 Ann c'1");

  struct Step {
    const char* why;
    std::string more;
    int want;
    const char* mess;
  } confirms[] = {
      {"wrong password", ",\"cOper\":\"Ann\",\"cConfirm\":\"Picker\",\"cPassword\":\"PK\"", -14,
       "交接人密码错误,请注意大小写!"},
      {"no picking right", ",\"cOper\":\"Ann\",\"cConfirm\":\"Sender\",\"cPassword\":\"sd\"", -14,
       "交接人没有捡货确认交接授权。"},
      {"no role", ",\"cOper\":\"Ann\",\"cConfirm\":\"Nobody\",\"cPassword\":\"pk\"", -14, "交接人不是捡货确认的角色。"},
      {"confirmed", ",\"cOper\":\"Ann\",\"cConfirm\":\"Picker\",\"cPassword\":\"pk\"", 1, nullptr},
  };
  for (const Step& s : confirms) {
    const std::string got = pda_.Call("pdawCartConfirm", cart + s.more);
    EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{s.want}) << s.why << "\n" << got;
    if (s.mess != nullptr) {
      EXPECT_EQ(got, "{\"ReturnValue\":-14," + sixKeys(2) + ",\"cMess\":\"" + Utf8(s.mess) + "\"}") << s.why;
    } else {
      EXPECT_EQ(got, "{\"ReturnValue\":1," + sixKeys(2) + "}");
    }
  }
  // The cart's orders of this depot are picked now; the other depot's order is not touched.
  EXPECT_EQ(db.Scalar("SELECT string_agg(ioid || ':' || nstate, ' ' ORDER BY ioid) FROM dbo.w_order WHERE ioid IN "
                      "(935001, 935002, 935003)"),
            "935001:20 935002:20 935003:10");
  EXPECT_EQ(db.Scalar("SELECT nstate || ' ' || cconfirm || ' ' || coper FROM dbo.w_order_cart WHERE icartid = 935001"),
            "3 Picker Ann");
  for (const char* name : {"pdawCartChoose", "pdawCartConfirm"}) {
    EXPECT_EQ(pda_.Call(name, cart + ",\"cConfirm\":\"Picker\",\"cPassword\":\"pk\""), Code(-15)) << name;
    EXPECT_EQ(pda_.Call(name, ",\"cDepot\":\"WO1\",\"iqCartID\":935003"), Code(-15)) << name;
    EXPECT_EQ(pda_.Call(name, ",\"cDepot\":\"WO1\",\"iqCartID\":935002"), Code(0)) << name;
    EXPECT_EQ(pda_.Call(name, ",\"cDepot\":\"WO1\""), Code(-12)) << name;
  }

  // Serial pieces in with the notice (4 pieces), then out with the order (2 pieces).
  const std::string in = ",\"cDepot\":\"WO1\",\"cRNo\":\"WOIN1\",\"cCode\":\"";
  const std::string mismatch = Utf8("序列号物品明细码不匹配。");
  struct SerialStep {
    const char* why;
    const char* name;
    std::string more;
    int want;
    std::string mess;
  } serials[] = {
      {"a new piece", "pdawSerialIn", in + "SN-A\"", 1, ""},
      {"the same piece again", "pdawSerialIn", in + "SN-A\"", -14, mismatch},
      {"a defective piece", "pdawSerialIn", in + "SN-B\",\"bDefective\":true", 1, ""},
      {"by notice id", "pdawSerialIn", ",\"cDepot\":\"WO1\",\"iID\":935001,\"cCode\":\"SN-C\"", 1, ""},
      {"a fourth", "pdawSerialIn", in + "SN-D\"", 1, ""},
      {"more than the notice holds", "pdawSerialIn", in + "SN-E\"", -14, mismatch},
      {"out", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":935001,\"cqgCode\":\"WOG2\",\"cCode\":\"SN-A\"", 1, ""},
      {"unknown piece", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR0001\",\"iqwGiid\":935002,\"cCode\":\"SN-Z\"",
       -14, Utf8("序列号物品明细记录不存在，可能刚被删除。")},
      {"out by number", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR0001\",\"iqwGiid\":935002,\"cCode\":\"SN-B\"",
       1, ""},
      {"more than the order takes", "pdawSerialOut",
       ",\"cDepot\":\"WO1\",\"cNum\":\"WNO0001\",\"bNo\":true,\"cqgCode\":\"WOG2\",\"cCode\":\"SN-C\"", -14,
       Utf8("序列号物品数量已够，未操作。")},
  };
  for (const SerialStep& s : serials) {
    const std::string got = pda_.Call(s.name, s.more);
    EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{s.want}) << s.why << "\n" << got;
    if (!s.mess.empty()) {
      EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{s.mess}) << s.why;
    }
  }
  // The refused new piece left no serial row.
  EXPECT_EQ(db.Scalar("SELECT string_agg(ccode || ':' || nsound || ':' || iidin || ':' || iidout, ' ' ORDER BY ccode) "
                      "FROM dbo.w_g_serial WHERE cdepot = 'WO1'"),
            "SN-A:1:935001:935002 SN-B:0:935001:935002 SN-C:1:935001:0 SN-D:1:935001:0");
  // A fee row per piece scanned, per piece (not multiplied).
  EXPECT_EQ(db.Scalar("SELECT string_agg(ckind || ' ' || cname || ' ' || iseconds || ' ' || fwage, ', ' ORDER BY "
                      "ilogid) FROM dbo.w_operate_log WHERE cmoney = 'WOX'"),
            "serial_in 入库:序列号 3 0.05, serial_in 入库:序列号 3 0.05, serial_in 入库:序列号 3 0.05, serial_in "
            "入库:序列号 3 0.05, serial_out 出库:序列号 4 0.07, serial_out 出库:序列号 4 0.07");

  const std::string order = ",\"cDepot\":\"WO1\",\"iqoID\":935001";
  struct OutStep {
    const char* why;
    std::string more;
    std::string want;  // the reply, or its cMess for -14
    const char* iout1;
    const char* iout2;
  } outs[] = {
      {"wrong password", ",\"cConfirm\":\"Sender\",\"cPassword\":\"SD\"", Utf8("交接人密码错误,请注意大小写!"), "0", "0"},
      {"no goods-out right", ",\"cConfirm\":\"InOnly\",\"cPassword\":\"x\"", Utf8("交接人没有出库交接授权。"), "0", "0"},
      {"no role", ",\"cConfirm\":\"Picker2\",\"cPassword\":\"x\"", Utf8("交接人不是仓库中的角色。"), "0", "0"},
      {"out", ",\"cConfirm\":\"Sender\",\"cPassword\":\"sd\"", "", "3", "2"},
      {"out again", ",\"cConfirm\":\"Sender\",\"cPassword\":\"sd\"", Code(-16), "3", "2"},
  };
  for (const OutStep& s : outs) {
    const std::string got = pda_.Call("pdawOrderOut", order + s.more);
    if (s.want.empty()) {
      const std::string booking = db.Scalar("SELECT irid FROM dbo.w_order_out_book WHERE ioid = 935001");
      EXPECT_EQ(got, "{\"ReturnValue\":1,\"cDepot\":\"WO1\",\"icID\":935001,\"ioID\":935001,\"irID\":" + booking +
                         ",\"cNum\":\"WOR0001\",\"cNo\":\"WNO0001\",\"cDes\":\"AU\",\"cEmsKind\":\"EMS\",\"iItem\":2,"
                         "\"fWeight\":1.500,\"cGoods\":\"G1\",\"iQuantity\":5,\"cTransNote\":\"\",\"cMark\":\"om\","
                         "\"cMemo\":\"\"}")
          << s.why;
    } else if (s.want[0] == '{') {
      EXPECT_EQ(got, s.want) << s.why;
    } else {
      EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{-14}) << s.why << "\n" << got;
      EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{s.want}) << s.why;
    }
    EXPECT_EQ(Out(935001), s.iout1) << s.why;
    EXPECT_EQ(Out(935002), s.iout2) << s.why;
  }
  // Fees on the 5 pieces of the goods-out rows; operations 24 and 25 are not defined in WO1.
  EXPECT_EQ(db.Query("SELECT cname, iseconds, fwage FROM dbo.w_operate_log WHERE ckind = 'out' AND irefid = 935001 "
                     "ORDER BY ilogid"),
            (std::vector<std::vector<std::string>>{{"出库:审核", "50", "1.00"},
                                                   {"出库:拣选", "100", "2.50"},
                                                   {"出库:质检", "0", "0.00"},
                                                   {"出库:包装", "0", "0.00"},
                                                   {"出库:确认", "25", "5.00"}}));
  EXPECT_EQ(db.Scalar("SELECT nstate FROM dbo.w_order WHERE ioid = 935001"), "50");
  // Serial goods on an order that were not all scanned out: the procedure refuses.
  const std::string unscanned = pda_.Call("pdawOrderOut", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR0006\",\"cConfirm\":"
                                                          "\"Sender\",\"cPassword\":\"sd\"");
  EXPECT_EQ(ReplyTexts(unscanned, "cMess"), std::vector<std::string>{mismatch}) << unscanned;
}

TEST_F(WarehouseGoodsOutTest, SerialAndOrderRefusals) {
  struct Case {
    const char* why;
    const char* name;
    std::string more, want;
  } cases[] = {
      {"in: no notice", "pdawSerialIn", ",\"cDepot\":\"WO1\",\"cCode\":\"X\"", Code(-12)},
      {"in: no code", "pdawSerialIn", ",\"cDepot\":\"WO1\",\"cRNo\":\"WOIN1\"", Code(-13)},
      {"in: not serial goods", "pdawSerialIn", ",\"cDepot\":\"WO1\",\"cRNo\":\"WOIN2\",\"cCode\":\"X\"", Code(-17)},
      {"in: notice stored already", "pdawSerialIn", ",\"cDepot\":\"WO1\",\"cRNo\":\"WOIN3\",\"cCode\":\"X\"", Code(-16)},
      {"in: unknown notice", "pdawSerialIn", ",\"cDepot\":\"WO1\",\"cRNo\":\"WOIN9\",\"cCode\":\"X\"", Code(0)},
      {"in: another depot", "pdawSerialIn", ",\"cDepot\":\"WO2\",\"cRNo\":\"WOIN1\",\"cCode\":\"X\"", Code(0)},
      {"out: no goods", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":935006,\"cCode\":\"X\"", Code(-11)},
      {"out: short number", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR06\",\"cqgCode\":\"WOG2\",\"cCode\":\"X\"",
       Code(-12)},
      {"out: no code", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":935006,\"cqgCode\":\"WOG2\"", Code(-13)},
      {"out: order not picked", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":935004,\"cqgCode\":\"WOG2\","
       "\"cCode\":\"X\"", Code(-15)},
      {"out: order out", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":935005,\"cqgCode\":\"WOG2\",\"cCode\":\"X\"",
       Code(-16)},
      {"out: not serial goods", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":935008,\"cqgCode\":\"WOG1\","
       "\"cCode\":\"X\"", Code(-17)},
      {"out: goods not on the order", "pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":935008,\"cqgCode\":\"WOG2\","
       "\"cCode\":\"X\"", Code(0)},
      {"order out: not ready", "pdawOrderOut", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR0004\"", Code(-15)},
      {"order out: out", "pdawOrderOut", ",\"cDepot\":\"WO1\",\"cNum\":\"WOR0005\"", Code(-16)},
      {"order out: no order", "pdawOrderOut", ",\"cDepot\":\"WO1\"", Code(-12)},
      {"order out: any number", "pdawOrderOut", ",\"cDepot\":\"WO1\",\"cNum\":\"W1\"", Code(0)},
      {"order out: another depot's", "pdawOrderOut", ",\"cDepot\":\"WO1\",\"iqoID\":935003", Code(0)},
  };
  for (const Case& c : cases) EXPECT_EQ(pda_.Call(c.name, c.more), c.want) << c.why;
  // The goods that are not serial-numbered got no serial row.
  EXPECT_EQ(TestDb().Scalar("SELECT COUNT(*) FROM dbo.w_g_serial WHERE giid = 935001"), "0");
}

TEST_F(WarehouseGoodsOutTest, ConcurrentSerialOutsAndOrderOutsTakeTheirPieceOnce) {
  TestDb db;
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.w_g_serial (giid, cdepot, ccode, iidin) VALUES (935002, 'WO1', 'SN-P', 935001)"));
  std::vector<std::string> bodies;
  for (int i = 0; i < 8; ++i) {
    // Two orders each wanting one piece race for the same one.
    bodies.push_back(pda_.Body("pdawSerialOut", ",\"cDepot\":\"WO1\",\"iqoID\":" + std::to_string(i % 2 ? 935006 : 935007) +
                                                    ",\"iqwGiid\":935002,\"cCode\":\"SN-P\""));
  }
  int ok = 0;
  for (const std::string& r : AtOnce(bodies)) ok += ReplyInts(r, "ReturnValue") == std::vector<long long>{1} ? 1 : 0;
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM dbo.w_g_serial WHERE ccode = 'SN-P' AND iidout IN (935006, 935007)"), "1");

  const std::string before = Out(935001);
  bodies.assign(8, pda_.Body("pdawOrderOut", ",\"cDepot\":\"WO1\",\"iqoID\":935008,\"cConfirm\":\"Sender\","
                                             "\"cPassword\":\"sd\""));
  ok = 0;
  for (const std::string& r : AtOnce(bodies)) ok += ReplyInts(r, "ReturnValue") == std::vector<long long>{1} ? 1 : 0;
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(std::stoll(Out(935001)), std::stoll(before) + 1);
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM dbo.w_order_out_book WHERE ioid = 935008"), "1");
}

}  // namespace
