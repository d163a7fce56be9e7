// The shipment-entry worker driven directly on a pool connection against the test database: the
// hand-over to a carrier (through a stand-in carrier that accepts or refuses by kind), the zone
// fields, and storing a record with its goods rows as one transaction. The rows use client 930011,
// number sequences 93101-93102 and kinds beginning with H8.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "carriers/carrier_choice.h"
#include "core/config.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "pricing/kind_fill.h"
#include "pricing/zone_table.h"
#include "services/shipment_entry.h"
#include "tests/support/e2e.h"

namespace {

using twtest::TestDb;

constexpr int32_t kClient = 930011;
const unsigned char kAddress[4] = {10, 1, 2, 3};

// Serves H8EUB as China Post EUB and H8AUP as Australia Post (both accept), H8BAD as SF Express
// (refuses); every other kind has no carrier. Keeps the last shipment it was given.
class CStandInCarrier : public CCarrierHandOver {
 public:
  int32_t FindCarrier(const char* kind) const override {
    const std::string k = kind;
    if (k == "H8EUB") return kCarrierEub;
    if (k == "H8AUP") return kCarrierAuPost;
    if (k == "H8BAD") return kCarrierSf;
    return kCarrierNone;
  }
  int CreateOrder(PoolSlot&, int32_t carrier, const CarrierShipment& shipment, CarrierOrderResult& result) override {
    ++orders;
    last = shipment;
    lastCarrier = carrier;
    if (carrier == kCarrierSf) {
      std::snprintf(result.message, sizeof result.message, "收件邮编错");
      return 0;
    }
    if (carrier == kCarrierAuPost) {
      std::snprintf(result.mailNumber, sizeof result.mailNumber, "AP%014d", orders);
      result.bReserveFields = true;
      std::snprintf(result.reserve, sizeof result.reserve, "BC-%d", orders);
      std::snprintf(result.by1, sizeof result.by1, "LBL-%d", orders);
      return 1;
    }
    std::snprintf(result.mailNumber, sizeof result.mailNumber, "LX%09dCN", orders);
    return 1;
  }
  int orders = 0;
  int32_t lastCarrier = kCarrierNone;
  CarrierShipment last;
};

class EntryWorkerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
                        "(93101, 'W8', '', 8, 0, 1, NULL), (93102, 'TW', '', 8, 0, 1, NULL)"))
        << db.error();
    // A goods row named H8-FAIL cannot be stored.
    ASSERT_TRUE(db.Exec("CREATE OR REPLACE FUNCTION dbo.tw_h8_refuse_goods() RETURNS trigger LANGUAGE plpgsql AS $$ "
                        "BEGIN IF NEW.cgoods = 'H8-FAIL' THEN RAISE EXCEPTION 'refused goods row'; END IF; "
                        "RETURN NEW; END $$"))
        << db.error();
    ASSERT_TRUE(db.Exec("CREATE OR REPLACE TRIGGER tw_h8_refuse_goods BEFORE INSERT ON dbo.rec_pre_input_goods "
                        "FOR EACH ROW EXECUTE FUNCTION dbo.tw_h8_refuse_goods()"))
        << db.error();

    twtest::OdbcDir();
    char why[1024];
    const std::string user = std::getenv("PGUSER") ? std::getenv("PGUSER") : "tarnwick";
    ASSERT_TRUE(ConnectPool("dorvane", user.c_str(), std::getenv("PGPASSWORD"), why, sizeof why)) << why;
    OpenPool();
    g_NumberLock.SetEvent();
    char logs[] = "/tmp/tarnwick-entry-log.XXXXXX";
    ExtensionSettings.logFolder = std::string(mkdtemp(logs)) + "/";

    ExtensionSettings.defaultInternalRuleId = 93101;
    const std::string ini = std::string(kTransferRulesStart) +
                            "\r\nH8EUB=93102=\r\nH8AUP=93102=\r\nH8BAD=93102=\r\nH8NONE=93102=\r\nH8Z=93102=\r\n" +
                            kTransferRulesEnd + "\r\n" + kKindFillBlockStart + "\r\nH8Z=x||||FILL3|||\r\n" +
                            kKindFillBlockEnd + "\r\n";
    g_TransferNumberRules = ParseNumberRules(ini.c_str(), kTransferRulesStart, kTransferRulesEnd);
    ASSERT_EQ(LoadEmsKindExFields(ini.c_str()), 1u);
    // Kind H8Z: postcodes 200001-200003 in zone 1 of the quote list; 200002 in zone 2 of the
    // sorting list, which gives the zone number and letter.
    ASSERT_EQ(g_ZoneTable.ParseDefinition(
                  "[定义开始]\r\n类型=报价\r\n快递类别=H8Z\r\n<第1区定义>,200001,200002,200003\r\n<第1区定义>\r\n"),
              kZoneAdded);
    ASSERT_EQ(g_ZoneTable.ParseDefinition(
                  "[定义开始]\r\n类型=分拣\r\n快递类别=H8Z\r\n备用1数字=1\r\n备用2字母=1\r\n"
                  "<第1区定义>,100001,100002\r\n<第1区定义>\r\n<第2区定义>,200002,200009\r\n<第2区定义>\r\n"),
              kZoneAdded);
  }

  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    SetCarrierHandOver(nullptr);
    g_ZoneTable.Clear();
    TestDb db;
    RemoveRows(db);
    db.Exec("DROP TRIGGER IF EXISTS tw_h8_refuse_goods ON dbo.rec_pre_input_goods");
    db.Exec("DROP FUNCTION IF EXISTS dbo.tw_h8_refuse_goods()");
  }

  static void RemoveRows(TestDb& db) {
    db.Exec("DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid = 930011)");
    db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid = 930011");
    db.Exec("DELETE FROM dbo.sys_genno WHERE iid BETWEEN 93101 AND 93102");
  }

  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    SetCarrierHandOver(&carrier_);
  }
  void TearDown() override { SetCarrierHandOver(nullptr); }

  // Runs the worker on a slot of its own for one record.
  static int Save(const std::string& record, ShipmentEntryResult& result) {
    PoolSlotGuard slot;
    EXPECT_TRUE(slot.ok());
    if (!slot.ok()) return 0;
    return tw::services::SavePreInputRecord(slot.slot(), kClient, record, result, kAddress);
  }
  static std::vector<std::string> Row(int id, const std::string& columns) {
    TestDb db;
    auto rows = db.Query("SELECT " + columns + " FROM dbo.rec_pre_input WHERE iid = " + std::to_string(id));
    return rows.empty() ? std::vector<std::string>() : rows[0];
  }
  static std::string Scalar(const std::string& sql) {
    TestDb db;
    return db.Scalar(sql);
  }

  CStandInCarrier carrier_;
};

TEST_F(EntryWorkerTest, CarrierKindsGetTheCarriersNumbers) {
  // A drawn internal number (by the default rule) is replaced by the mail number too; a number of
  // the client's own is not.
  ShipmentEntryResult drawn;
  const int id = Save(R"({"iID":0,"cEmsKind":"H8EUB","cDes":"US","cReceiver":"R","cRAddr":"A","cGoods":"G",)"
                      R"("fWeight":0,"fPrice":0,"iLong":30,"iWidth":20,"iHeight":10,"cPrintCode":"01"})",
                      drawn);
  ASSERT_GT(id, 0) << drawn.cMess;
  EXPECT_EQ(carrier_.lastCarrier, kCarrierEub);
  EXPECT_STREQ(drawn.cNum, "LX000000001CN");
  EXPECT_STREQ(drawn.cNo, "LX000000001CN");
  EXPECT_EQ(drawn.iID, id);
  // The carrier got its floors (0.5 kg, price 1.0) and the shipment's fields; the row keeps 0 kg.
  EXPECT_DOUBLE_EQ(carrier_.last.weight, 0.5);
  EXPECT_DOUBLE_EQ(carrier_.last.unitPrice, 1.0);
  EXPECT_STREQ(carrier_.last.dimensions, "30*20*10");
  EXPECT_STREQ(carrier_.last.printCode, "01");
  EXPECT_STREQ(carrier_.last.goods, "G");
  EXPECT_EQ(std::string(carrier_.last.internalNumber).substr(0, 2), "W8");  // handed over before replacing
  EXPECT_EQ(Row(id, "cnum, cno, fweight, encode(vaddress, 'hex')"),
            (std::vector<std::string>{"LX000000001CN", "LX000000001CN", "0.000", "0a010203"}));

  ShipmentEntryResult own;
  const int ownId = Save(R"({"iID":0,"cNum":"own0001","cEmsKind":"H8EUB","cDes":"US"})", own);
  ASSERT_GT(ownId, 0) << own.cMess;
  EXPECT_STREQ(own.cNum, "OWN0001");
  EXPECT_STREQ(own.cNo, "LX000000002CN");

  // A transfer number of 7 or more characters is never replaced: no order is made.
  ShipmentEntryResult given;
  ASSERT_GT(Save(R"({"iID":0,"cEmsKind":"H8EUB","cDes":"US","cNo":"given77"})", given), 0) << given.cMess;
  EXPECT_EQ(carrier_.orders, 2);
  EXPECT_STREQ(given.cNo, "GIVEN77");
  EXPECT_EQ(std::string(given.cNum).substr(0, 2), "W8");

  // Australia Post's further values become the reserve field and free field 1.
  ShipmentEntryResult au;
  const int auId = Save(R"({"iID":0,"cEmsKind":"H8AUP","cDes":"AU","cReserve":"mine","cBy1":"b1","cBy2":"b2"})", au);
  ASSERT_GT(auId, 0) << au.cMess;
  EXPECT_STREQ(au.cReserve, "BC-3");
  EXPECT_STREQ(au.cBy1, "LBL-3");
  EXPECT_EQ(Row(auId, "cnum, cno, creserve, cby1, cby2"),
            (std::vector<std::string>{"AP00000000000003", "AP00000000000003", "BC-3", "LBL-3", "b2"}));

  // A carrier's refusal refuses the record with the carrier's text; nothing is stored.
  ShipmentEntryResult refused;
  EXPECT_EQ(Save(R"({"iID":0,"cNum":"H8REFUSED1","cEmsKind":"H8BAD","cDes":"US"})", refused), -1);
  EXPECT_STREQ(refused.cMess, "收件邮编错");
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE cnum = 'H8REFUSED1'"), "0");

  // A kind no carrier serves draws from its transfer rule.
  ShipmentEntryResult local;
  ASSERT_GT(Save(R"({"iID":0,"cEmsKind":"H8NONE","cDes":"US"})", local), 0) << local.cMess;
  EXPECT_EQ(std::string(local.cNo).substr(0, 2), "TW");
  EXPECT_EQ(carrier_.orders, 4);
}

TEST_F(EntryWorkerTest, ZoneFieldsAndTheKindFill) {
  struct Case {
    const char* postcode;
    const char* by1;
    const char* by2;
    const char* why;
  } cases[] = {
      {"200002", "1", "B", "zone number from the quote list, letter from the sorting list's zone 2"},
      {"200-009", "mine1", "B", "in the sorting list only: the letter alone"},
      {"999999", "mine1", "mine2", "in no zone: the request's own fields"},
  };
  for (const Case& c : cases) {
    ShipmentEntryResult result;
    const int id = Save(std::string(R"({"iID":0,"cEmsKind":"H8Z","cDes":"US","cBy1":"mine1","cBy2":"mine2",)") +
                            "\"cBy3\":\"mine3\",\"cRPostcode\":\"" + c.postcode + "\"}",
                        result);
    ASSERT_GT(id, 0) << result.cMess;
    // The kind's fill record sets free field 3 over the request's.
    EXPECT_EQ(Row(id, "cby1, cby2, cby3"), (std::vector<std::string>{c.by1, c.by2, "FILL3"})) << c.why;
    EXPECT_STREQ(result.cBy1, c.by1) << c.why;
    EXPECT_STREQ(result.cBy3, "FILL3") << c.why;
  }
}

TEST_F(EntryWorkerTest, AShipmentAndItsGoodsRowsAreStoredTogether) {
  const std::string lines = R"(,"GoodsList":[{"cxGoods":"OK-1","ixQuantity":1},{"cxGoods":"H8-FAIL","ixQuantity":1}]})";
  // The second goods row cannot be stored: the shipment is not stored either.
  ShipmentEntryResult failed;
  EXPECT_EQ(Save(R"({"iID":0,"cNum":"H8TX000001","cEmsKind":"H8K","cDes":"US")" + lines, failed), -9);
  EXPECT_STREQ(failed.cMess, "系统未执行");
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE cnum = 'H8TX000001'"), "0");

  // A change whose goods rows fail leaves the shipment and its old rows as they were.
  ShipmentEntryResult first;
  const int id = Save(R"({"iID":0,"cNum":"H8TX000002","cEmsKind":"H8K","cDes":"US",)"
                      R"("GoodsList":[{"cxGoods":"OLD-1","ixQuantity":1},{"cxGoods":"OLD-2","ixQuantity":2}]})",
                      first);
  ASSERT_GT(id, 0) << first.cMess;
  ShipmentEntryResult change;
  EXPECT_EQ(Save("{\"iID\":" + std::to_string(id) + R"(,"cNum":"H8TX000002","cEmsKind":"H8K","cDes":"GB")" + lines,
                 change),
            -9);
  EXPECT_EQ(Row(id, "cdes, cgoods"), (std::vector<std::string>{"US", "OLD-1"}));
  EXPECT_EQ(Scalar("SELECT string_agg(cgoods, ',' ORDER BY wpos) FROM dbo.rec_pre_input_goods WHERE iid = " +
                   std::to_string(id)),
            "OLD-1,OLD-2");

  // Each slot's connection is back in autocommit mode: what the next record stores on it is seen
  // by every other connection at once.
  for (int i = 0; i < kPoolSlotCount + 1; ++i) {
    ShipmentEntryResult next;
    char record[96];
    std::snprintf(record, sizeof record, R"({"iID":0,"cNum":"H8TX1%05d","cEmsKind":"H8K","cDes":"US"})", i);
    ASSERT_GT(Save(record, next), 0) << next.cMess;
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE cnum LIKE 'H8TX1%'"),
            std::to_string(kPoolSlotCount + 1));
}

}  // namespace
