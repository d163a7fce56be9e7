// The PDA's shipment entry over HTTP through DoPda against the test database: "pdaRecAdd" stores a
// typed shipment with its pieces, goods lines and fees; "pdaRecReWeight" weighs a record again;
// "pdaRecReWeightPre", "pdaRecReWeightTrans" and "pdaTransBagOut" make records from pre-input
// shipments and transfer bags. Every stored row is read back from the database.
//
// Rows of this test: clients 940001-940009 (accounts "PEACC..."), PDA users "PEPDA1" (no station)
// and "PEPDA2" (station PES), kinds PEK1 (priced per 500 g), PEKD (volume letter D, weighed by the
// real weight), PEKT (a transfer-number rule of its own), place names beginning "PE", number
// sequences 94001-94002, records with numbers beginning "PE".
//
// Prices are computed by hand: PEK1 to PE悉尼 costs 10.00 per started 500 g, plus a 10 % fuel
// surcharge, for an item type 1 shipment; the clients have no discounts.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::GbkToUtf8Text;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 940001;
constexpr int kOtherClient = 940002;
constexpr int kPassiveClient = 940003;  // nstate 1
constexpr char kPdaKey[] = "E2ePdaKey77";
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
    for (const char* sql : {
             "INSERT INTO dbo.sys_dict (dcname, dcvalue) SELECT '77', 'E2ePdaKey77' WHERE NOT EXISTS (SELECT 1 FROM "
             "dbo.sys_dict WHERE dcname = '77')",
             "INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('PEPDA1', 'PE操作员', ''), "
             "('PEPDA2', 'PE站员', 'PES')",
             "INSERT INTO dbo.client_arc (icid, capikey, nstate, cmname, cstation, caccount) VALUES "
             "(940001, 'PEKey940001', 0, 'PE业务员', 'PESZ', 'PEACC1'), "
             "(940002, 'PEKey940002', 0, 'PE二号', 'PESH', 'PEACC2'), "
             "(940003, 'PEKey940003', 1, 'PE三号', '', 'PEACC3')",
             "INSERT INTO dbo.sys_place (iid, ccode, carea, careae, narea) VALUES "
             "(940101, 'PESY', 'PE悉尼', 'PE Sydney', 246)",
             "INSERT INTO dbo.ems_kind (cemskind, b1price, faddons, fcustoms, nwtypec, nweights) VALUES "
             "('PEK1', 1, 10, 0, 0, 0), ('PEKD', 1, 0, 0, 1, 1), ('PEKT', 1, 0, 0, 0, 0)",
             "INSERT INTO dbo.ems_area (cemskind, carea, narea, ntype) VALUES ('PEK1', 'PE悉尼', 3, 0), "
             "('PEKD', 'PE悉尼', 3, 0), ('PEKT', 'PE悉尼', 3, 0)",
             "INSERT INTO dbo.ems_price (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
             "itopprice) VALUES ('PEK1', 3, 1, 0, 1000000, 500, 1, 1000, 0), "
             "('PEKD', 3, 1, 0, 1000000, 500, 1, 1000, 0), ('PEKT', 3, 1, 0, 1000000, 500, 1, 1000, 0)",
             "INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
             "(94001, 'PN', '', 8, 0, 1, NULL), (94002, 'PT', '', 8, 0, 1, NULL)",
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

  // The settings of a host: the container on, PEKT's own transfer-number rule (sequence 94002) and
  // field checks, plus `more`.
  static twtest::HostConfig Config(const std::string& more) {
    twtest::HostConfig config;
    config.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n<转单号生成定义开始>\r\nPEKT=94002=\r\n<转单号生成定义结束>\r\n"
                     "<快递业务字段检查定义开始>\r\ncReceiver=0-40\r\nfWeight=0-500\r\n<快递业务字段检查定义开始>\r\n" +
                     more;
    return config;
  }

  static void RemoveRecords(TestDb& db) {
    for (const char* sql : {
             "DELETE FROM dbo.client_rec_weight_detail WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid "
             "BETWEEN 940000 AND 940009)",
             "DELETE FROM dbo.client_rec_goods WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid BETWEEN "
             "940000 AND 940009)",
             "DELETE FROM dbo.client_rec WHERE icid BETWEEN 940000 AND 940009",
             "DELETE FROM dbo.rec_pre_input_item WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid BETWEEN "
             "940000 AND 940009)",
             "DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid BETWEEN "
             "940000 AND 940009)",
             "DELETE FROM dbo.rec_pre_input WHERE icid BETWEEN 940000 AND 940009",
             "DELETE FROM dbo.rec_trans_goods WHERE iid IN (SELECT iid FROM dbo.rec_trans WHERE icid BETWEEN 940000 "
             "AND 940009)",
             "DELETE FROM dbo.rec_trans WHERE icid BETWEEN 940000 AND 940009",
             "DELETE FROM dbo.rec_trans_bag WHERE icid BETWEEN 940000 AND 940009",
         }) {
      EXPECT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
  }

  static void RemoveRows(TestDb& db) {
    RemoveRecords(db);
    for (const char* sql : {
             "DELETE FROM dbo.man_main WHERE cpda IN ('PEPDA1', 'PEPDA2')",
             "DELETE FROM dbo.client_arc WHERE icid BETWEEN 940000 AND 940009",
             "DELETE FROM dbo.sys_place WHERE iid BETWEEN 940100 AND 940199",
             "DELETE FROM dbo.ems_price WHERE cemskind LIKE 'PEK%'",
             "DELETE FROM dbo.ems_area WHERE cemskind LIKE 'PEK%'",
             "DELETE FROM dbo.ems_kind WHERE cemskind LIKE 'PEK%'",
             "DELETE FROM dbo.sys_genno WHERE iid BETWEEN 94001 AND 94002",
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
      ",\"icID\":940001,\"cNum\":\"pe0000001\",\"cNo\":\"PEX0000001\",\"cEmsKind\":\"PEK1\",\"cDes\":\"PE悉尼\","
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
      "iitem, fweightb, cby5, to_char(ddate, 'YYYY-MM-DD') = to_char(now(), 'YYYY-MM-DD') "
      "FROM dbo.client_rec WHERE irid = " + irid);
  ASSERT_EQ(rec.size(), 1u);
  const std::vector<std::string> want = {
      "940001", "PEK1",  "PE悉尼", "PEX0000001", "1.700", "47.50", "47.50", "40.00", "4.00", "10.0000", "40.00",
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

}  // namespace
