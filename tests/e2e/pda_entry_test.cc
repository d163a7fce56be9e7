// The PDA's shipment entry over HTTP through DoPda against the test database: "pdaRecAdd" stores a
// typed shipment with its pieces, goods lines and fees; "pdaRecReWeight" weighs a record again;
// "pdaRecReWeightPre", "pdaRecReWeightTrans" and "pdaTransBagOut" make records from pre-input
// shipments and transfer bags. Every stored row is read back from the database.
//
// Rows of this test: clients 961001-961009 (accounts "PEACC..."), PDA users "PEPDA1" (no station)
// and "PEPDA2" (station PES), kinds PEK1 (priced per 500 g), PEKD (volume letter D, weighed by the
// real weight), PEKT (a transfer-number rule of its own), PEKX (a transfer-number rule whose
// sequence is used up), place names beginning "PE", number sequences 96101-96103, records with
// numbers beginning "PE", the trigger function dbo.pe_refuse_rows.
//
// Prices are computed by hand: PEK1 to PE悉尼 costs 10.00 per started 500 g, plus a 10 % fuel
// surcharge, for an item type 1 shipment; the clients have no discounts.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "tests/support/load.h"
#include "tests/e2e/pda_support.h"

namespace {

using twtest::GbkToUtf8Text;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 961001;
constexpr int kOtherClient = 961002;
constexpr int kPassiveClient = 961003;  // nstate 1
using twtest::pda::kPdaKey;
constexpr char kPda[] = "PEPDA1";
constexpr char kStationPda[] = "PEPDA2";
constexpr char kPdaPath[] = "/cgi-bin/Tarnwick.dll?DoPda";

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

class PdaEntryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(twtest::pda::SetPdaKey(db)) << db.error();
    for (const char* sql : {
             "INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('PEPDA1', 'PE操作员', ''), "
             "('PEPDA2', 'PE站员', 'PES')",
             "INSERT INTO dbo.client_arc (icid, capikey, nstate, cmname, cstation, caccount) VALUES "
             "(961001, 'PEKey961001', 0, 'PE业务员', 'PESZ', 'PEACC1'), "
             "(961002, 'PEKey961002', 0, 'PE二号', 'PESH', 'PEACC2'), "
             "(961003, 'PEKey961003', 1, 'PE三号', '', 'PEACC3')",
             "INSERT INTO dbo.sys_place (iid, ccode, carea, careae, narea) VALUES "
             "(961101, 'PESY', 'PE悉尼', 'PE Sydney', 246)",
             "INSERT INTO dbo.ems_kind (cemskind, b1price, faddons, fcustoms, nwtypec, nweights) VALUES "
             "('PEK1', 1, 10, 0, 0, 0), ('PEKD', 1, 0, 0, 1, 1), ('PEKT', 1, 0, 0, 0, 0), ('PEKX', 1, 0, 0, 0, 0)",
             "INSERT INTO dbo.ems_area (cemskind, carea, narea, ntype) VALUES ('PEK1', 'PE悉尼', 3, 0), "
             "('PEKD', 'PE悉尼', 3, 0), ('PEKT', 'PE悉尼', 3, 0)",
             "INSERT INTO dbo.ems_price (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
             "itopprice) VALUES ('PEK1', 3, 1, 0, 1000000, 500, 1, 1000, 0), "
             "('PEKD', 3, 1, 0, 1000000, 500, 1, 1000, 0), ('PEKT', 3, 1, 0, 1000000, 500, 1, 1000, 0)",
             "INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
             "(96101, 'PN', '', 8, 0, 1, NULL), (96102, 'PT', '', 8, 0, 1, NULL), (96103, 'PX', '', 8, 0, 1, 0)",
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
    host_ = new TestHost;
    ASSERT_TRUE(host_->Start(Config(""))) << host_->error();
  }

  static void TearDownTestSuite() {
    if (host_ != nullptr) {
      EXPECT_EQ(host_->Stop(), 0);
      delete host_;
      host_ = nullptr;
    }
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    RemoveRows(db);
  }

  // The settings of a host: the container on, the transfer-number rules of PEKT (sequence 96102) and
  // PEKX (96103) and field checks, plus `more`.
  static twtest::HostConfig Config(const std::string& more) {
    twtest::HostConfig config;
    config.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n<转单号生成定义开始>\r\nPEKT=96102=\r\nPEKX=96103=\r\n<转单号生成定义结束>\r\n"
                     "<快递业务字段检查定义开始>\r\ncReceiver=0-40\r\nfWeight=0-500\r\n<快递业务字段检查定义开始>\r\n" +
                     more;
    return config;
  }

  static void RemoveRecords(TestDb& db) {
    for (const char* sql : {
             "DELETE FROM dbo.client_rec_weight_detail WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid "
             "BETWEEN 961000 AND 961009)",
             "DELETE FROM dbo.client_rec_goods WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid BETWEEN "
             "961000 AND 961009)",
             "DELETE FROM dbo.client_rec WHERE icid BETWEEN 961000 AND 961009",
             "DELETE FROM dbo.rec_pre_input_item WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid BETWEEN "
             "961000 AND 961009)",
             "DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid BETWEEN "
             "961000 AND 961009)",
             "DELETE FROM dbo.rec_pre_input WHERE icid BETWEEN 961000 AND 961009",
             "DELETE FROM dbo.rec_trans_goods WHERE iid IN (SELECT iid FROM dbo.rec_trans WHERE icid BETWEEN 961000 "
             "AND 961009)",
             "DELETE FROM dbo.rec_trans WHERE icid BETWEEN 961000 AND 961009",
             "DELETE FROM dbo.rec_trans_bag WHERE icid BETWEEN 961000 AND 961009",
         }) {
      EXPECT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
  }

  static void RemoveRows(TestDb& db) {
    RemoveRecords(db);
    for (const char* sql : {
             "DELETE FROM dbo.man_main WHERE cpda IN ('PEPDA1', 'PEPDA2')",
             "DELETE FROM dbo.client_arc WHERE icid BETWEEN 961000 AND 961009",
             "DELETE FROM dbo.sys_place WHERE iid BETWEEN 961100 AND 961199",
             "DELETE FROM dbo.ems_price WHERE cemskind IN ('PEK1', 'PEKD', 'PEKT')",
             "DELETE FROM dbo.ems_area WHERE cemskind IN ('PEK1', 'PEKD', 'PEKT')",
             "DELETE FROM dbo.ems_kind WHERE cemskind IN ('PEK1', 'PEKD', 'PEKT', 'PEKX')",
             "DELETE FROM dbo.sys_genno WHERE iid BETWEEN 96101 AND 96103",
             "DROP TRIGGER IF EXISTS pe_refuse_rows ON dbo.client_rec_goods",
             "DROP TRIGGER IF EXISTS pe_refuse_rows ON dbo.client_rec_weight_detail",
             "DROP FUNCTION IF EXISTS dbo.pe_refuse_rows()",
         }) {
      EXPECT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
  }

  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    ASSERT_NE(host_, nullptr);
    TestDb db;
    RemoveRecords(db);
  }

  // A signed PDA request: {"RequestName":name,"cUserPid":pda,"TimeStamp":..,"MD5":..,<more>} with
  // GBK pieces sent as UTF-8.
  static std::string Pda(HttpClient& http, const std::string& name, const std::string& more,
                         const char* pda = kPda) {
    const long long stamp = static_cast<long long>(std::time(nullptr)) * 1000;
    const std::string body = "{\"RequestName\":\"" + name + "\",\"cUserPid\":\"" + pda +
                             "\",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                             twtest::RequestSignature(pda, stamp, kPdaKey) + "\"" + more + "}";
    const HttpReply r = http.Post(kPdaPath, GbkToUtf8Text(body));
    EXPECT_EQ(r.status, 200) << name << more;
    return r.body;
  }

  static std::vector<std::vector<std::string>> Query(const std::string& sql) {
    TestDb db;
    auto rows = db.Query(sql);
    EXPECT_TRUE(db.error().empty()) << db.error() << "\n" << sql;
    return rows;
  }
  static std::string Scalar(const std::string& sql) {
    TestDb db;
    return db.Scalar(sql);
  }
  static bool Exec(const std::string& sql) {
    TestDb db;
    const bool ok = db.Exec(sql);
    EXPECT_TRUE(ok) << db.error() << "\n" << sql;
    return ok;
  }

  // The reply of "pdaRecAdd" as the handler writes it (texts GBK).
  static std::string AddReply(long long returnValue, long long irid, int icid, const std::string& num,
                              const std::string& no, const std::string& weight, const std::string& amount,
                              const std::string& mess) {
    return GbkToUtf8Text("{\"ReturnValue\":" + std::to_string(returnValue) + ",\"irID\":" + std::to_string(irid) +
                         ",\"icID\":" + std::to_string(icid) + ",\"cNum\":\"" + num + "\",\"cNo\":\"" + no +
                         "\",\"fWeight\":" + weight + ",\"fAmount\":" + amount + ",\"cMess\":\"" + mess + "\"}");
  }

  static TestHost* host_;
};

TestHost* PdaEntryTest::host_ = nullptr;

// ---- pdaRecAdd --------------------------------------------------------------------------------------

TEST_F(PdaEntryTest, TypedShipmentIsStoredWithPiecesGoodsAndFees) {
  HttpClient http(host_->port());
  const std::string body = Pda(
      http, "pdaRecAdd",
      ",\"icID\":961001,\"cNum\":\"pe0000001\",\"cNo\":\"PEX0000001\",\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\","
      "\"nItemType\":1,\"iItem\":2,\"fWeight\":1.2,\"faGet\":1.5,\"faPack\":2,\"cReceiver\":\"张三\","
      "\"cRAddr\":\"1 George St\",\"cSender\":\"李四\",\"cMName\":\"快递员\",\"cTaker\":\"T1\",\"cStation\":\"ST1\","
      "\"cBy5\":\"自由\",\"bPriceCalc\":true,"
      "\"ItemList\":[{\"fxWeight\":0.8,\"ixLong\":10,\"ixWidth\":10,\"ixHeight\":10,\"cxNo\":\"P1\"},"
      "{\"fxWeight\":0.9,\"ixLong\":20,\"ixWidth\":10,\"ixHeight\":10,\"cxNo\":\"P2\",\"cxGoods\":\"书\"}],"
      "\"GoodsList\":[{\"ixQuantity\":2,\"fxPrice\":3.5,\"cxGoods\":\"茶叶\",\"fxGCustom\":1},"
      "{\"ixQuantity\":1,\"fxPrice\":10,\"cxGoods\":\"丝巾\",\"cxGCodeA\":\"HS1\",\"fxGCustom\":2}]");
  const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = 'PE0000001'");
  ASSERT_FALSE(irid.empty()) << body;
  // The pieces weigh 1.7 kg (more than the 1.2 sent): four started 500 g steps of 10.00 and 10 % fuel,
  // 44.00; plus 3.50 of fees.
  EXPECT_EQ(body, AddReply(std::stoll(irid), std::stoll(irid), kClient, "PE0000001", "PEX0000001", "1.700", "47.50", ""));
  const auto rec = Query(
      "SELECT icid, cemskind, cdes, cserviceno, fweight, famount, fsprice, fabase, faaddon, faaddrate, foprice, "
      "cgoods, iquantity, iprice, idvalue, fgcustom, creceiver, csender, cmname, ctaker, cstation, cinput, nfrom, "
      "iitem, fweightb, cby5, (to_char(ddate, 'YYYY-MM-DD') = to_char(now(), 'YYYY-MM-DD'))::int "
      "FROM dbo.client_rec WHERE irid = " + irid);
  ASSERT_EQ(rec.size(), 1u);
  const std::vector<std::string> want = {
      "961001", "PEK1",  "PE悉尼", "PEX0000001", "1.700", "47.50", "47.50", "40.00", "4.00", "10.0000", "40.00",
      "茶叶",    "1",     "1700",  "1700",       "3.00",  "张三",  "李四",   "快递员", "T1",   "ST1",     "PE操作员",
      "5",      "2",     "1.700", "自由",        "1"};
  EXPECT_EQ(rec[0], want);
  EXPECT_EQ(Query("SELECT wpos, ilong, iweight, cno, cgoods FROM dbo.client_rec_weight_detail WHERE irid = " + irid +
                  " ORDER BY wpos"),
            (std::vector<std::vector<std::string>>{{"1", "10", "800", "P1", ""}, {"2", "20", "900", "P2", "书"}}));
  EXPECT_EQ(Query("SELECT wpos, cgoods, iquantity, fprice, cgcodea, fgcustom FROM dbo.client_rec_goods WHERE irid = " +
                  irid + " ORDER BY wpos"),
            (std::vector<std::vector<std::string>>{{"0", "茶叶", "2", "3.50", "", "1.00"},
                                                   {"1", "丝巾", "1", "10.00", "HS1", "2.00"}}));
}


TEST_F(PdaEntryTest, RefusalsComeInTheRoutinesOrderWithTheirCodes) {
  HttpClient http(host_->port());
  const std::string good = ",\"cNum\":\"PE0000010\",\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\",\"fWeight\":1";
  struct Case {
    const char* what;
    std::string more;
    std::string want;
  } cases[] = {
      {"no client id nor account", good, Code(-710)},
      {"an account nobody has", ",\"cAccount\":\"NOBODY\"" + good, Code(-710)},
      {"a client that does not exist", ",\"icID\":969999,\"irID\":77" + good,
       AddReply(-1, 0, 969999, "", "", "0.000", "0.00", "客户不存在")},
      {"priced without a weight (before the number is looked at)",
       ",\"icID\":961001,\"irID\":77,\"bPriceCalc\":true,\"fWeight\":0,\"cNum\":\"x\"",
       AddReply(-1, 0, kClient, "", "", "0.000", "0.00", "重量不合法(必须大于零)")},
      {"a short number without a default rule", ",\"icID\":961001,\"irID\":77,\"cNum\":\"pe12\",\"cEmsKind\":\"\"",
       AddReply(-1, 77, kClient, "pe12", "", "0.000", "0.00", "内单号不合法(7-30字符)")},
      {"no kind", ",\"icID\":961001,\"irID\":77,\"cNum\":\"pe0000011\",\"cDes\":\"\"",
       AddReply(-1, 77, kClient, "pe0000011", "", "0.000", "0.00", "快递类别空")},
      {"no destination", ",\"icID\":961001,\"irID\":77,\"cNum\":\"pe0000011\",\"cEmsKind\":\"NOKIND\"",
       AddReply(-1, 77, kClient, "pe0000011", "", "0.000", "0.00", "目的地空")},
      {"an unknown kind", ",\"icID\":961001,\"irID\":77,\"cNum\":\"pe0000011\",\"cEmsKind\":\"NOKIND\",\"cDes\":\"X\"",
       AddReply(-1, 77, kClient, "pe0000011", "", "0.000", "0.00", "快递类别[NOKIND]不存在。")},
      {"a field check", ",\"icID\":961001,\"irID\":77,\"cReceiver\":\"" + std::string(41, 'R') + "\"" + good,
       AddReply(-1, 77, kClient, "PE0000010", "", "0.000", "0.00", "[cReceiver] allowed length 0 - 40 bytes")},
      {"a weight no record can keep", ",\"icID\":961001,\"irID\":77,\"cNum\":\"PE0000010\",\"cEmsKind\":\"PEK1\","
       "\"cDes\":\"PE悉尼\",\"fAmount\":1e300",
       AddReply(-1, 77, kClient, "PE0000010", "", "0.000", "0.00", "[fAmount]数值不合法")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pda(http, "pdaRecAdd", c.more), c.want) << c.what;
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec WHERE icid BETWEEN 961000 AND 961009"), "0");
}

TEST_F(PdaEntryTest, RefusalsOfTheProcedureAnswerItsResultAsTheId) {
  HttpClient http(host_->port());
  const std::string first = Pda(http, "pdaRecAdd",
                                ",\"icID\":961001,\"cNum\":\"PE0000020\",\"cNo\":\"PEC0000020\",\"cEmsKind\":\"PEK1\","
                                "\"cDes\":\"PE悉尼\",\"fAmount\":5");
  ASSERT_GT(ReplyInts(first, "ReturnValue").at(0), 0) << first;
  struct Case {
    const char* what;
    std::string request;
    std::string want;
  } cases[] = {
      // Numbers are unique across clients and compared without case; the client comes by id or by
      // account alike, and the echo of "irID" gives way to the procedure's result.
      {"the same internal number, by id",
       ",\"icID\":961002,\"irID\":77,\"cNum\":\"pe0000020\",\"cNo\":\"PEC0000021\",\"cEmsKind\":\"PEK1\"",
       AddReply(-8, -8, kOtherClient, "PE0000020", "PEC0000021", "0.000", "0.00", "内单号重复，操作未完成。")},
      {"the same internal number, by account",
       ",\"cAccount\":\"PEACC2\",\"irID\":77,\"cNum\":\"pe0000020\",\"cNo\":\"PEC0000021\",\"cEmsKind\":\"PEK1\"",
       AddReply(-8, -8, kOtherClient, "PE0000020", "PEC0000021", "0.000", "0.00", "内单号重复，操作未完成。")},
      {"the same carrier number, by id",
       ",\"icID\":961002,\"irID\":77,\"cNum\":\"PE0000021\",\"cNo\":\"pec0000020\",\"cEmsKind\":\"PEK1\"",
       AddReply(-7, -7, kOtherClient, "PE0000021", "PEC0000020", "0.000", "0.00", "转单号重复，操作未完成。")},
      {"the same carrier number, by account",
       ",\"cAccount\":\"PEACC2\",\"irID\":77,\"cNum\":\"PE0000021\",\"cNo\":\"pec0000020\",\"cEmsKind\":\"PEK1\"",
       AddReply(-7, -7, kOtherClient, "PE0000021", "PEC0000020", "0.000", "0.00", "转单号重复，操作未完成。")},
      // PEKX's sequence is used up: no carrier number is drawn, and the procedure refuses the empty one.
      {"no carrier number could be drawn", ",\"icID\":961002,\"irID\":77,\"cNum\":\"PE0000022\",\"cEmsKind\":\"PEKX\"",
       AddReply(-6, -6, kOtherClient, "PE0000022", "", "0.000", "0.00", "运单号不能为空，操作未完成。")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pda(http, "pdaRecAdd", c.request + ",\"cDes\":\"PE悉尼\",\"fAmount\":5"), c.want) << c.what;
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec WHERE icid BETWEEN 961000 AND 961009"), "1");
}

// A goods row or a piece row that the database refuses takes the record with it: nothing is stored
// and the PDA is told the call did not run, so it sends the shipment again.
TEST_F(PdaEntryTest, ARefusedGoodsOrPieceRowStoresNothing) {
  HttpClient http(host_->port());
  ASSERT_TRUE(Exec("CREATE FUNCTION dbo.pe_refuse_rows() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                   "IF NEW.cgoods = 'PE拒收' THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$"));
  for (const char* table : {"client_rec_goods", "client_rec_weight_detail"}) {
    ASSERT_TRUE(Exec(std::string("CREATE TRIGGER pe_refuse_rows BEFORE INSERT ON dbo.") + table +
                     " FOR EACH ROW EXECUTE FUNCTION dbo.pe_refuse_rows()"));
  }
  // Two goods lines and two pieces (both stored: "iItem" 2), one of them named as the trigger refuses.
  auto request = [](const std::string& cnum, const char* goods, const char* piece) {
    return ",\"icID\":961001,\"irID\":77,\"cNum\":\"" + cnum + "\",\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\","
           "\"fAmount\":5,\"iItem\":2,\"ItemList\":[{\"fxWeight\":1,\"cxNo\":\"" + cnum + "A\"},{\"fxWeight\":1,\"cxNo\":\"" +
           cnum + "B\",\"cxGoods\":\"" + piece + "\"}],\"GoodsList\":[{\"ixQuantity\":1,\"cxGoods\":\"茶叶\"},"
           "{\"ixQuantity\":1,\"cxGoods\":\"" + goods + "\"}]";
  };
  struct Case {
    const char* what;
    std::string cnum;
    const char* goods;
    const char* piece;
  } cases[] = {
      {"a refused goods row", "PE0000070", "PE拒收", "书"},
      {"a refused piece row", "PE0000071", "丝巾", "PE拒收"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pda(http, "pdaRecAdd", request(c.cnum, c.goods, c.piece)),
              AddReply(-9, 77, kClient, c.cnum, c.cnum, "0.000", "0.00", "系统未执行"))
        << c.what;
    EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec WHERE cnum = '" + c.cnum + "'"), "0") << c.what;
    EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec_weight_detail WHERE cno LIKE '" + c.cnum + "_'"), "0")
        << c.what;
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec_goods WHERE cgoods = '茶叶' AND irid NOT IN (SELECT irid "
                   "FROM dbo.client_rec)"),
            "0");
  for (const char* table : {"client_rec_goods", "client_rec_weight_detail"}) {
    ASSERT_TRUE(Exec(std::string("DROP TRIGGER pe_refuse_rows ON dbo.") + table));
  }
  ASSERT_TRUE(Exec("DROP FUNCTION dbo.pe_refuse_rows()"));

  // Sent again, the same shipment is stored with its rows.
  const std::string body = Pda(http, "pdaRecAdd", request("PE0000070", "PE拒收", "书"));
  const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = 'PE0000070'");
  ASSERT_FALSE(irid.empty()) << body;
  EXPECT_EQ(body, AddReply(std::stoll(irid), std::stoll(irid), kClient, "PE0000070", "PE0000070", "2.000", "5.00", ""));
  EXPECT_EQ(Query("SELECT wpos, cgoods FROM dbo.client_rec_goods WHERE irid = " + irid + " ORDER BY wpos"),
            (std::vector<std::vector<std::string>>{{"0", "茶叶"}, {"1", "PE拒收"}}));
  EXPECT_EQ(Scalar("SELECT string_agg(cno, ',' ORDER BY wpos) FROM dbo.client_rec_weight_detail WHERE irid = " + irid),
            "PE0000070A,PE0000070B");
}

TEST_F(PdaEntryTest, PdasStoringOneNumberAtOnceStoreOneRecord) {
  constexpr int kThreads = 8;
  std::atomic<int> stored{0}, duplicates{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      HttpClient http(host_->port());
      // The same internal number, each with a carrier number of its own.
      const std::string body = Pda(http, "pdaRecAdd",
                                   ",\"icID\":961001,\"cNum\":\"PE0000060\",\"cNo\":\"PEC000006" + std::to_string(i) +
                                       "\",\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\",\"fAmount\":5");
      const auto rv = ReplyInts(body, "ReturnValue");
      if (!rv.empty() && rv[0] > 0) ++stored;
      if (!rv.empty() && rv[0] == -8) ++duplicates;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(stored.load(), 1);
  EXPECT_EQ(duplicates.load(), kThreads - 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec WHERE cnum = 'PE0000060'"), "1");
}

TEST_F(PdaEntryTest, UnpricedEntryKeepsItsAmountAndClampsItsEnumerations) {
  HttpClient http(host_->port());
  // No price is asked for and an amount is sent: it stays; "nItemType" 7 is stored as 1, "nPayWay"
  // -1 as 0; sides with a zero give no dimension text and no piece; the kind without a transfer rule
  // takes the internal number as its carrier number; the account finds the client.
  const std::string body = Pda(http, "pdaRecAdd",
                               ",\"cAccount\":\"PEACC2\",\"cNum\":\"PE0000030\",\"cEmsKind\":\"pek1\","
                               "\"cDes\":\"PE悉尼\",\"fAmount\":12.345,\"fWeight\":0,\"nItemType\":7,"
                               "\"nPayWay\":-1,\"iLong\":30,\"iWidth\":20,\"iHeight\":0");
  const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = 'PE0000030'");
  ASSERT_FALSE(irid.empty()) << body;
  EXPECT_EQ(body, AddReply(std::stoll(irid), std::stoll(irid), kOtherClient, "PE0000030", "PE0000030", "0.000",
                           "12.35", ""));
  EXPECT_EQ(Query("SELECT icid, cemskind, famount, nitemtype, npayway, clwh, cserviceno, fabase FROM dbo.client_rec "
                  "WHERE irid = " + irid),
            (std::vector<std::vector<std::string>>{{"961002", "PEK1", "12.35", "1", "0", "", "PE0000030", "0.00"}}));
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec_weight_detail WHERE irid = " + irid), "0");
}

TEST_F(PdaEntryTest, AVolumeKindChargesTheVolumeAndKeepsTheRealWeight) {
  HttpClient http(host_->port());
  // PEKD's weight type 1 divides by 5 cm3 a gram (letter D) and rounds up to 500 g, and the record
  // keeps the real weight as its weight: the sides make one piece of 0.5 kg whose 6000 cm3 weigh
  // 1.2 kg, charged as 1.5 kg, three steps of 10.00.
  const std::string body = Pda(http, "pdaRecAdd",
                               ",\"icID\":961001,\"cNum\":\"PE0000050\",\"cEmsKind\":\"PEKD\",\"cDes\":\"PE悉尼\","
                               "\"fWeight\":0.5,\"iLong\":30,\"iWidth\":20,\"iHeight\":10");
  const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = 'PE0000050'");
  ASSERT_FALSE(irid.empty()) << body;
  EXPECT_EQ(body, AddReply(std::stoll(irid), std::stoll(irid), kClient, "PE0000050", "PE0000050", "1.500", "30.00", ""));
  EXPECT_EQ(Query("SELECT fweight, fweights, fweightb, fweighti, clwh, icubic, famount FROM dbo.client_rec WHERE "
                  "irid = " + irid),
            (std::vector<std::vector<std::string>>{{"1.500", "0.500", "0.500", "1.500", "30*20*10D", "6000", "30.00"}}));
}

TEST_F(PdaEntryTest, HostilePieceAndGoodsTextsAreStoredAsSent) {
  HttpClient http(host_->port());
  // Quotes, a doubled quote, a statement end and a comment in every text that reaches SQL.
  const std::string hostile = "a'b'');DROP TABLE x;--";
  const std::string json = "a'b'');DROP TABLE x;--";
  std::string pieces;
  for (int i = 1; i <= 3; ++i) {
    if (i > 1) pieces += ",";
    pieces += "{\"fxWeight\":1,\"cxNo\":\"" + json + "\",\"cxGoods\":\"" + json + "\",\"cxNum\":\"" + json +
              "\",\"cxRNo\":\"" + json + "\",\"cxGoodsA\":\"" + json + "\",\"cxGCodeA\":\"" + json + "\"}";
  }
  const std::string body = Pda(http, "pdaRecAdd",
                               ",\"icID\":961001,\"cNum\":\"PE0000040\",\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\","
                               "\"iItem\":2,\"fAmount\":1,\"cReceiver\":\"" + json + "\",\"cMemo\":\"" + json +
                               "\",\"ItemList\":[" + pieces + "],\"GoodsList\":[{\"ixQuantity\":1,\"cxGoods\":\"" +
                               json + "\"},{\"ixQuantity\":2,\"cxGoods\":\"" + json + "\"}]");
  const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = 'PE0000040'");
  ASSERT_FALSE(irid.empty()) << body;
  EXPECT_EQ(Query("SELECT creceiver, cmemo, cgoods FROM dbo.client_rec WHERE irid = " + irid),
            (std::vector<std::vector<std::string>>{{hostile, hostile, hostile}}));
  // "iItem" 2 of three pieces: two rows.
  const auto rows = Query("SELECT wpos, cno, cgoods, cnum, crno, cgoodsa, cgcodea FROM dbo.client_rec_weight_detail "
                          "WHERE irid = " + irid + " ORDER BY wpos");
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    EXPECT_EQ(std::vector<std::string>(row.begin() + 1, row.end()),
              std::vector<std::string>(6, hostile));
  }
  EXPECT_EQ(Query("SELECT wpos, cgoods, iquantity FROM dbo.client_rec_goods WHERE irid = " + irid + " ORDER BY wpos"),
            (std::vector<std::vector<std::string>>{{"0", hostile, "1"}, {"1", hostile, "2"}}));
}

TEST_F(PdaEntryTest, DrawnNumbersAndTheTransferRule) {
  TestHost host;
  ASSERT_TRUE(host.Start(Config("内单号生成ID=96101\r\n"))) << host.error();
  HttpClient http(host.port());
  // No internal number: the default rule draws one; PEK1 has no transfer rule, so the carrier number
  // is the internal number. PEKT has a rule of its own: its carrier number is drawn from it.
  const std::string a = Pda(http, "pdaRecAdd",
                            ",\"icID\":961001,\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\",\"fAmount\":1");
  const std::string b = Pda(http, "pdaRecAdd",
                            ",\"icID\":961001,\"cNum\":\"\",\"cEmsKind\":\"PEKT\",\"cDes\":\"PE悉尼\",\"fAmount\":1");
  const auto numA = ReplyTexts(a, "cNum"), numB = ReplyTexts(b, "cNum");
  ASSERT_EQ(numA.size(), 1u);
  ASSERT_EQ(numB.size(), 1u);
  EXPECT_EQ(numA[0].substr(0, 2), "PN") << a;
  EXPECT_EQ(ReplyTexts(a, "cNo"), numA);
  EXPECT_EQ(numB[0].substr(0, 2), "PN") << b;
  const auto noB = ReplyTexts(b, "cNo");
  ASSERT_EQ(noB.size(), 1u);
  EXPECT_EQ(noB[0].substr(0, 2), "PT") << b;
  EXPECT_EQ(Scalar("SELECT cserviceno FROM dbo.client_rec WHERE cnum = '" + numB[0] + "'"), noB[0]);
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PdaEntryTest, DrawnNumbersHoldPastThePoolsSize) {
  // 64 connections, more than the pool's 50 slots, enter shipments without numbers for a few
  // seconds; each draws its number on the slot its request holds. None is refused for want of a
  // number, no number is stored twice, and the records answered stored are in the database, each
  // once.
  constexpr int kConnections = 64, kSeconds = 4;
  TestHost host;
  ASSERT_TRUE(host.Start(Config("内单号生成ID=96101\r\n"))) << host.error();
  const std::vector<std::string> replies =
      twtest::SendFor(host.port(), kConnections, kSeconds, [](HttpClient& http, int) {
        return Pda(http, "pdaRecAdd", ",\"icID\":961001,\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\",\"fAmount\":1");
      });
  twtest::EntryTally tally;
  for (const std::string& body : replies) {
    const std::vector<std::string> mess = ReplyTexts(body, "cMess");
    if (mess.empty()) {
      ++tally.bare;
      continue;
    }
    const long long id = ReplyInts(body, "ReturnValue").at(0);
    if (id > 0) {
      tally.stored.emplace_back(id, ReplyTexts(body, "cNum").at(0));
    } else {
      tally.refusals.push_back(mess[0]);
    }
  }
  EXPECT_EQ(std::count(tally.refusals.begin(), tally.refusals.end(), GbkToUtf8Text("内单号获取失败")), 0);
  twtest::ExpectEachStoredOnce(tally, Query("SELECT irid, cnum FROM dbo.client_rec WHERE icid = 961001"));
  EXPECT_GE(tally.stored.size(), static_cast<size_t>(kConnections));
  std::printf("%d connections: %zu records stored, %lld replies without a record\n", kConnections,
              tally.stored.size(), tally.bare);
  EXPECT_EQ(host.Stop(), 0);
}

// ---- pdaRecReWeight -----------------------------------------------------------------------------------

class PdaReweightTest : public PdaEntryTest {
 protected:
  // A record of PEK1 to PE悉尼: 1.000 kg, amount 30.00 with 2.00 of packing, two stored pieces.
  static std::string AddRecord(const std::string& cnum, const std::string& more = "") {
    TestDb db;
    EXPECT_TRUE(db.Exec("INSERT INTO dbo.client_rec (icid, cnum, cserviceno, cemskind, cdes, fweight, famount, "
                        "fapack, iitem, nitemtype, clwh" + std::string(more.empty() ? "" : ", ") +
                        more.substr(0, more.find('|')) + ") VALUES (961001, '" + cnum + "', 'S" + cnum +
                        "', 'PEK1', 'PE悉尼', 1, 30, 2, 2, 1, '10*10*10'" + (more.empty() ? "" : ", ") +
                        (more.empty() ? "" : more.substr(more.find('|') + 1)) + ")"))
        << db.error();
    const std::string irid =
        db.Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = '" + cnum + "' ORDER BY irid DESC LIMIT 1");
    EXPECT_TRUE(db.Exec("INSERT INTO dbo.client_rec_weight_detail (irid, wpos, ilong, iwidth, iheight, iweight) "
                        "VALUES (" + irid + ", 1, 10, 10, 10, 600), (" + irid + ", 2, 10, 10, 10, 700)"))
        << db.error();
    return irid;
  }
};

TEST_F(PdaReweightTest, StoredPiecesOrNewOnesGiveTheWeightAndThePrice) {
  HttpClient http(host_->port());
  const std::string irid = AddRecord("PEW000001");
  // Without "ItemList" the stored pieces weigh 1.3 kg: three started 500 g steps, 33.00 with fuel,
  // plus the 2.00 of packing. The stored rows stay as they were.
  std::string body = Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW000001\",\"fWeight\":0,\"cTaker\":\"TK\"");
  EXPECT_EQ(body, GbkToUtf8Text("{\"ReturnValue\":1,\"irID\":" + irid +
                                ",\"cNum\":\"PEW000001\",\"cNo\":\"SPEW000001\",\"cDes\":\"PE悉尼\",\"cEmsKind\":"
                                "\"PEK1\",\"fWeight\":1.300,\"nItemType\":1,\"iItem\":2,\"fAmount\":35.00}"));
  EXPECT_EQ(Query("SELECT fweight, famount, fsprice, fabase, ctaker, creweight, fweightb FROM dbo.client_rec "
                  "WHERE irid = " + irid),
            (std::vector<std::vector<std::string>>{{"1.300", "35.00", "35.00", "30.00", "TK", "PE操作员", "1.300"}}));
  EXPECT_EQ(Scalar("SELECT string_agg(iweight::text, ',' ORDER BY wpos) FROM dbo.client_rec_weight_detail "
                   "WHERE irid = " + irid),
            "600,700");

  // New pieces replace the stored rows; a carrier number sent with them replaces the record's.
  body = Pda(http, "pdaRecReWeight",
             ",\"cNum\":\"PEW000001\",\"cNo\":\" 'NEWNO0001' \",\"ItemList\":[{\"fxWeight\":2,\"cxNo\":\"A'1\"},"
             "{\"fxWeight\":0.4,\"cxNo\":\"A2\"},{\"fxWeight\":0.3,\"cxNo\":\"A3\"}]");
  EXPECT_EQ(ReplyTexts(body, "cNo"), std::vector<std::string>{"NEWNO0001"}) << body;
  EXPECT_EQ(ReplyTexts(body, "fWeight").size(), 0u);
  EXPECT_NE(body.find("\"fWeight\":2.700,"), std::string::npos) << body;
  // 2.4 kg of the first two pieces ("iItem" stays the record's 2): rows for two pieces only.
  EXPECT_EQ(Query("SELECT wpos, iweight, cno FROM dbo.client_rec_weight_detail WHERE irid = " + irid +
                  " ORDER BY wpos"),
            (std::vector<std::vector<std::string>>{{"1", "2000", "A'1"}, {"2", "400", "A2"}}));
  EXPECT_EQ(Scalar("SELECT cserviceno FROM dbo.client_rec WHERE irid = " + irid), "NEWNO0001");
}

TEST_F(PdaReweightTest, ACarrierNumberOfAnotherRecordIsNotTaken) {
  HttpClient http(host_->port());
  const std::string irid = AddRecord("PEW000040");
  AddRecord("PEW000041");
  const std::string body = Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW000040\",\"cNo\":\"SPEW000041\"");
  EXPECT_EQ(ReplyTexts(body, "cNo"), std::vector<std::string>{"SPEW000040"}) << body;
  EXPECT_EQ(Scalar("SELECT cserviceno FROM dbo.client_rec WHERE irid = " + irid), "SPEW000040");
}

TEST_F(PdaReweightTest, AnUnpricedRecordKeepsItsAmount) {
  HttpClient http(host_->port());
  const std::string irid = AddRecord("PEW000002");
  const std::string body =
      Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW000002\",\"bPriceCalc\":false,\"fWeight\":3");
  EXPECT_NE(body.find("\"fWeight\":3.000,"), std::string::npos) << body;
  EXPECT_NE(body.find("\"fAmount\":30.00}"), std::string::npos) << body;
  EXPECT_EQ(Query("SELECT fweight, famount FROM dbo.client_rec WHERE irid = " + irid),
            (std::vector<std::vector<std::string>>{{"3.000", "30.00"}}));
}

TEST_F(PdaReweightTest, RefusalsComeInTheirOrder) {
  HttpClient http(host_->port());
  struct Case {
    const char* what;
    std::string columns;  // "names|values" of the record
    std::string want;
  } cases[] = {
      // Sent and of an unknown kind: the first refusal wins.
      {"sent", "nstate, cemskindc|1, 'NOPE'", "该业务记录已经发送，不能复重核价。"},
      {"audited", "dfeeaud|'2024-05-06'", "已对客户费用核对。"},
      {"invoiced (the reply escapes the slash)", "iiid, iqid|3, 4", "已经开具发票\\x2F收据"},
      {"cheque", "iqid, ifid|4, 5", "已经开具支票付款"},
      {"fee document", "ifid, ipid|5, 6", "已经对客户核收"},
      {"supplier paid", "ipid, ifcid|6, 7", "已经对下家核付"},
      {"client refund", "ifcid, ifsid|7, 8", "已经向客户返款"},
      {"supplier refund", "ifsid|8", "已经从下家回款"},
  };
  int n = 10;
  for (const Case& c : cases) {
    const std::string cnum = "PEW0000" + std::to_string(n++);
    AddRecord(cnum, c.columns);
    EXPECT_EQ(Pda(http, "pdaRecReWeight", ",\"cNum\":\"" + cnum + "\""),
              GbkToUtf8Text("{\"ReturnValue\":-14,\"cNum\":\"" + cnum + "\",\"cMess\":\"" + c.want + "\"}"))
        << c.what;
  }
  AddRecord("PEW000030", "cemskindc|'NOPE'");
  EXPECT_EQ(Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW000030\",\"bEmsKindc\":true"),
            GbkToUtf8Text("{\"ReturnValue\":-14,\"cNum\":\"PEW000030\",\"cMess\":\"该业务记录所属快递类别不存在[NOPE]。\"}"));
  // An audit day of 1900 (never audited) is no refusal.
  AddRecord("PEW000031", "dfeeaud|'1900-01-01'");
  EXPECT_EQ(ReplyInts(Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW000031\""), "ReturnValue"),
            std::vector<long long>{1});
  EXPECT_EQ(Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW99\""), Code(-12));
  EXPECT_EQ(Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW999999\""), Code(-2));
  // By carrier number.
  EXPECT_EQ(ReplyInts(Pda(http, "pdaRecReWeight", ",\"cNum\":\"SPEW000031\",\"bNo\":true"), "ReturnValue"),
            std::vector<long long>{1});
  // An older record of the same number that was sent already does not stand in the way.
  ASSERT_TRUE(Exec("INSERT INTO dbo.client_rec (icid, cnum, cemskind, nstate) VALUES (961001, 'PEW000032', "
                   "'PEK1', 1)"));
  const std::string newest = AddRecord("PEW000032");
  EXPECT_EQ(ReplyInts(Pda(http, "pdaRecReWeight", ",\"cNum\":\"PEW000032\""), "irID"),
            std::vector<long long>{std::stoll(newest)});
}


// ---- pdaRecReWeightPre, pdaRecReWeightTrans, pdaTransBagOut ------------------------------------------

class PdaConversionTest : public PdaEntryTest {
 protected:
  // A pre-input shipment of PEK1 to the English name of PE悉尼 with its reference fields; returns
  // its iid.
  static std::string AddPreInput(const std::string& cnum, const std::string& cno, const std::string& crefer,
                                 const std::string& kind = "PEK1") {
    TestDb db;
    EXPECT_TRUE(db.Exec(
        "INSERT INTO dbo.rec_pre_input (icid, cnum, cno, crefer, crno, ccno, cdepart, creserve, ireserve, cemskind, "
        "cdes, ccountry, fweight, famount, faget, iitem, clwh, cgoods, iquantity, iprice, idvalue, creceiver, "
        "csender, iidr, iids, iidi) VALUES (961001, '" + cnum + "', '" + cno + "', '" + crefer + "', 'PERNO1', "
        "'PECC1', 'PEDEP', 'PERSV', 9, '" + kind + "', 'PE Sydney', '', 0.8, 0, 1, 1, '', '旧货', 4, 300, 500, "
        "'收件人', '寄件人', 11, 12, 13)"))
        << db.error();
    return db.Scalar("SELECT iid FROM dbo.rec_pre_input WHERE cnum = '" + cnum + "' ORDER BY iid DESC LIMIT 1");
  }
  // A received, audited bag at station `station`; returns its biid.
  static std::string AddBag(const std::string& cnum, const std::string& station, const std::string& crefer = "") {
    TestDb db;
    EXPECT_TRUE(db.Exec("INSERT INTO dbo.rec_trans_bag (icid, cnum, bget, nbstate, caud, cstationr, iidrs, cemskind, "
                        "cdes, fweight, famount, fapack, nitemtype, iitem, cgoods, iquantity, iprice, crefer) VALUES "
                        "(961001, '" + cnum + "', 1, 1, 'AUD', '" + station + "', 21, 'PEK1', 'PE悉尼', 1.6, 0, 3, 1, 1, "
                        "'袋', 1, 0, '" +
                        crefer + "')"))
        << db.error();
    return db.Scalar("SELECT biid FROM dbo.rec_trans_bag WHERE cnum = '" + cnum + "' ORDER BY biid DESC LIMIT 1");
  }
};

TEST_F(PdaConversionTest, PreInputBecomesARecordAndIsLinked) {
  HttpClient http(host_->port());
  const std::string iid = AddPreInput("PEP000001", "PECNO0001", "EC");
  ASSERT_TRUE(Exec("INSERT INTO dbo.rec_pre_input_goods (iid, wpos, cgoods, iquantity, fprice, fgcustom) VALUES (" +
                   iid + ", 0, '茶叶(绿)', 2, 3.50, 1), (" + iid + ", 1, '丝巾', 1, 10, 2)"));
  ASSERT_TRUE(Exec("INSERT INTO dbo.rec_pre_input_item (iid, wpos, ilong, iwidth, iheight, iweight, cgoods) VALUES (" +
                   iid + ", 1, 10, 10, 10, 700, '件一'), (" + iid + ", 2, 10, 10, 10, 800, '件二')"));
  const std::string body = Pda(http, "pdaRecReWeightPre", ",\"cNum\":\"PEP000001\",\"cTaker\":\"TK\",\"iItem\":2");
  const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = 'PEP000001'");
  ASSERT_FALSE(irid.empty()) << body;
  // The stored pieces weigh 1.5 kg: three steps, 33.00 with fuel, plus the 1.00 the source had.
  EXPECT_EQ(body, GbkToUtf8Text("{\"ReturnValue\":" + irid + ",\"irID\":" + irid +
                                ",\"cNum\":\"PEP000001\",\"cNo\":\"PECNO0001\",\"cDes\":\"PE悉尼\",\"cEmsKind\":"
                                "\"PEK1\",\"fWeight\":1.500,\"nItemType\":1,\"iItem\":2,\"fAmount\":34.00}"));
  EXPECT_EQ(Scalar("SELECT irid FROM dbo.rec_pre_input WHERE iid = " + iid), irid);
  // The goods summary comes from the lines (names up to their "("; the unit price 17.00 / 3 in cents
  // as the system scales it, 566), the reference "EC" gives way to crno, and the source's ids, reserve fields and the client's name and station are kept.
  EXPECT_EQ(Query("SELECT nfrom, piid, cserviceno, crno, ccno, cdepart, creserve, ireserve, cgoods, iquantity, "
                  "iprice, idvalue, fgcustom, iidr, iids, iidi, cmname, cstation, cinput, ctaker, creceiver, "
                  "csender, fweighti, fsprice, famount FROM dbo.client_rec WHERE irid = " + irid),
            (std::vector<std::vector<std::string>>{{"2", iid, "PECNO0001", "PERNO1", "PECC1", "PEDEP", "PERSV", "9",
                                                    "茶叶,丝巾", "3", "566", "500", "3.00", "11", "12", "13",
                                                    "PE业务员", "PESZ", "PE操作员", "TK", "收件人", "寄件人", "0.800",
                                                    "34.00", "34.00"}}));
  EXPECT_EQ(Query("SELECT wpos, iweight, cgoods FROM dbo.client_rec_weight_detail WHERE irid = " + irid +
                  " ORDER BY wpos"),
            (std::vector<std::vector<std::string>>{{"1", "700", "件一"}, {"2", "800", "件二"}}));
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec_goods WHERE irid = " + irid), "2");
  // A converted source is not found again.
  EXPECT_EQ(Pda(http, "pdaRecReWeightPre", ",\"cNum\":\"PEP000001\""), Code(-2));
}

TEST_F(PdaConversionTest, TheNumbersAndReferencesAPreInputPasses) {
  HttpClient http(host_->port());
  struct Case {
    const char* what;
    std::string cnum, cno, crefer, request;
    std::string wantNo, wantRNo;
  } cases[] = {
      {"looked up by its own number, a request number of 7 replaces it", "PEP000010", "PECNO0010", "ECX",
       ",\"cNum\":\"PECNO0010\",\"bNo\":true,\"cNo\":\"PENEW10\"", "PENEW10", "ECX"},
      {"a request number of 6 leaves the pre-input's, an empty reference gives crno", "PEP000011", "PECNO0011", "",
       ",\"cNum\":\"PEP000011\",\"cNo\":\"PENEW1\"", "PECNO0011", "PERNO1"},
      {"lower-case ec is a reference of its own", "PEP000012", "PECNO0012", "ec", ",\"cNum\":\"PEP000012\"",
       "PECNO0012", "ec"},
  };
  for (const Case& c : cases) {
    AddPreInput(c.cnum, c.cno, c.crefer);
    const std::string body = Pda(http, "pdaRecReWeightPre", c.request);
    EXPECT_EQ(ReplyTexts(body, "cNo"), std::vector<std::string>{c.wantNo}) << c.what << body;
    EXPECT_EQ(Query("SELECT cserviceno, crno, cgoods, iquantity, iprice FROM dbo.client_rec WHERE cnum = '" + c.cnum +
                    "'"),
              (std::vector<std::vector<std::string>>{{c.wantNo, c.wantRNo, "旧货", "4", "300"}}))
        << c.what;
  }
}

TEST_F(PdaConversionTest, RefusalsOfAPreInput) {
  HttpClient http(host_->port());
  AddPreInput("PEP000020", "PECNO0020", "", "NOPE");
  EXPECT_EQ(Pda(http, "pdaRecReWeightPre", ",\"cNum\":\"PEP000020\""),
            GbkToUtf8Text("{\"ReturnValue\":-14,\"cNum\":\"PEP000020\",\"cMess\":\"该预录记录所属快递类别不存在[NOPE]。\"}"));
  AddPreInput("PEP000021", "PECNO0021", "");
  EXPECT_EQ(Pda(http, "pdaRecReWeightPre", ",\"cNum\":\"PEP000021\",\"icID\":961002"), Code(-2));
  EXPECT_EQ(Pda(http, "pdaRecReWeightPre", ",\"cNum\":\"PEP21\""), Code(-12));
  // A record of that internal number exists already: the procedure refuses, nothing is linked.
  ASSERT_TRUE(Exec("INSERT INTO dbo.client_rec (icid, cnum) VALUES (961002, 'PEP000021')"));
  EXPECT_EQ(Pda(http, "pdaRecReWeightPre", ",\"cNum\":\"PEP000021\""),
            GbkToUtf8Text("{\"ReturnValue\":-108,\"cNum\":\"PEP000021\",\"cMess\":\"内单号重复，操作未完成。\"}"));
  EXPECT_EQ(Scalar("SELECT irid FROM dbo.rec_pre_input WHERE cnum = 'PEP000021'"), "0");
}

TEST_F(PdaConversionTest, TwoPdasConvertingOneSourceStoreOneRecord) {
  AddPreInput("PEP000030", "PECNO0030", "");
  constexpr int kThreads = 8;
  std::atomic<int> stored{0}, refused{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      HttpClient http(host_->port());
      const std::string body = Pda(http, "pdaRecReWeightPre", ",\"cNum\":\"PEP000030\",\"fWeight\":1");
      const auto rv = ReplyInts(body, "ReturnValue");
      if (!rv.empty() && rv[0] > 0) {
        ++stored;
      } else if (body == Code(-2) ||
                 body == GbkToUtf8Text("{\"ReturnValue\":-103,\"cNum\":\"PEP000030\",\"cMess\":\"记录刚被发送，请刷新数据后再修改。\"}")) {
        ++refused;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(stored.load(), 1);
  EXPECT_EQ(refused.load(), kThreads - 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec WHERE cnum = 'PEP000030'"), "1");
  EXPECT_EQ(Scalar("SELECT (r.irid = p.irid)::int FROM dbo.client_rec AS r, dbo.rec_pre_input AS p WHERE r.cnum = "
                   "'PEP000030' AND p.cnum = 'PEP000030'"),
            "1");
}

TEST_F(PdaConversionTest, TransferBagBecomesARecordForItsStation) {
  HttpClient http(host_->port());
  const std::string biid = AddBag("PEB000001", "PES");
  const std::string other = AddBag("PEB000002", "PEOTHER");
  ASSERT_TRUE(Exec("INSERT INTO dbo.rec_trans (icid, biid, cf_emskind, cf_num) VALUES (961001, " + biid +
                   ", 'X', 'T1'), (961001, " + biid + ", 'X', 'T2')"));
  ASSERT_TRUE(Exec("INSERT INTO dbo.rec_trans_goods (iid, wpos, cgoods, iquantity, fprice, fgcustom) SELECT iid, 0, "
                   "'笔', 2, 1.5, 0.5 FROM dbo.rec_trans WHERE biid = " + biid));
  // The station's PDA does not see another station's bag.
  EXPECT_EQ(Pda(http, "pdaTransBagOut", ",\"cNum\":\"PEB000002\"", kStationPda), Code(-2));
  const std::string body = Pda(http, "pdaTransBagOut", ",\"cNum\":\"PEB000001\",\"cNo\":\"PEBNO0001\"", kStationPda);
  const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = 'PEB000001'");
  ASSERT_FALSE(irid.empty()) << body;
  // 1.6 kg: four steps, 44.00 with fuel, plus 3.00 of packing.
  EXPECT_EQ(body, GbkToUtf8Text("{\"ReturnValue\":" + irid + ",\"irID\":" + irid +
                                ",\"cNum\":\"PEB000001\",\"cNo\":\"PEBNO0001\",\"cDes\":\"PE悉尼\",\"cEmsKind\":"
                                "\"PEK1\",\"fWeight\":1.600,\"nItemType\":1,\"iItem\":1,\"fAmount\":47.00}"));
  EXPECT_EQ(Scalar("SELECT irid FROM dbo.rec_trans_bag WHERE biid = " + biid), irid);
  // The two transfers' goods are summed into one line; a bag passes no reserve number or second ids.
  EXPECT_EQ(Query("SELECT nfrom, piid, cserviceno, crno, ireserve, iidr, iids, iidi, cgoods, iquantity, iprice, "
                  "fgcustom, cinput FROM dbo.client_rec WHERE irid = " + irid),
            (std::vector<std::vector<std::string>>{
                {"3", biid, "PEBNO0001", "", "0", "21", "0", "0", "笔", "4", "150", "1.00", "PE站员"}}));
  // An operator without a station sees every station's bags.
  const std::string anyStation = Pda(http, "pdaRecReWeightTrans", ",\"cNum\":\"PEB000002\",\"cNo\":\"PEBNO0002\"");
  EXPECT_EQ(ReplyTexts(anyStation, "cNo"), std::vector<std::string>{"PEBNO0002"}) << anyStation;
  EXPECT_EQ(Scalar("SELECT (irid > 0)::int FROM dbo.rec_trans_bag WHERE biid = " + other), "1");
}

// A record needs a carrier number: a bag, or a pre-input shipment without one of its own, converted
// without a "cNo" of 7 characters or more is refused by the procedure, nothing is stored and the
// source stays unlinked, so the operator scans the number and sends it again.
TEST_F(PdaConversionTest, ASourceWithoutACarrierNumberIsRefusedUntilOneIsSent) {
  HttpClient http(host_->port());
  struct Case {
    const char* what;
    const char* command;
    std::string cnum;
    bool bPreInput;
    std::string cno;  // of 7 characters
  } cases[] = {
      {"a bag", "pdaRecReWeightTrans", "PEB000040", false, "PENO040"},
      {"a pre-input shipment without cno", "pdaRecReWeightPre", "PEP000040", true, "PENO041"},
  };
  for (const Case& c : cases) {
    const std::string id = c.bPreInput ? AddPreInput(c.cnum, "", "") : AddBag(c.cnum, "PES");
    const std::string source = c.bPreInput ? "SELECT irid FROM dbo.rec_pre_input WHERE iid = " + id
                                           : "SELECT irid FROM dbo.rec_trans_bag WHERE biid = " + id;
    const std::string refused = GbkToUtf8Text("{\"ReturnValue\":-106,\"cNum\":\"" + c.cnum +
                                              "\",\"cMess\":\"运单号不能为空，操作未完成。\"}");
    // No number, and a number of 6 characters, which the routine does not take.
    for (const char* cno : {"", ",\"cNo\":\"PENO06\""}) {
      EXPECT_EQ(Pda(http, c.command, ",\"cNum\":\"" + c.cnum + "\"" + cno), refused) << c.what << cno;
    }
    EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec WHERE cnum = '" + c.cnum + "'"), "0") << c.what;
    EXPECT_EQ(Scalar(source), "0") << c.what;

    const std::string body = Pda(http, c.command, ",\"cNum\":\"" + c.cnum + "\",\"cNo\":\"" + c.cno + "\"");
    EXPECT_EQ(ReplyTexts(body, "cNo"), std::vector<std::string>{c.cno}) << c.what << body;
    const std::string irid = Scalar("SELECT irid FROM dbo.client_rec WHERE cnum = '" + c.cnum + "'");
    EXPECT_FALSE(irid.empty()) << c.what;
    EXPECT_EQ(Scalar(source), irid) << c.what;
  }
}

}  // namespace
