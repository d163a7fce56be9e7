// AddShipmentRecord driven directly on a pool connection against the test database, with a stand-in
// carrier that accepts or refuses by kind: the carrier's mail number as the record's carrier number
// (and as its internal number when the default rule drew that), the carriers' floors, the carrier's
// refusal, and a kind with its own transfer rule but no carrier. Rows: client 961011, number
// sequences 96111-96112, kinds PCEUB, PCBAD and PCLOC, numbers beginning "PC".

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "carriers/carrier_choice.h"
#include "core/config.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "pda/handlers.h"
#include "services/shipment_entry.h"
#include "tests/support/e2e.h"

namespace {

using twtest::TestDb;

constexpr int32_t kClient = 961011;

// PCEUB goes to China Post EUB (accepts), PCBAD to SF Express (refuses); other kinds to nobody.
class CStandInCarrier : public CCarrierHandOver {
 public:
  int32_t FindCarrier(const char* kind) const override {
    const std::string k = kind;
    if (k == "PCEUB") return kCarrierEub;
    if (k == "PCBAD") return kCarrierSf;
    return kCarrierNone;
  }
  int CreateOrder(PoolSlot&, int32_t carrier, const CarrierShipment& shipment, CarrierOrderResult& result) override {
    ++orders;
    last = shipment;
    if (carrier == kCarrierSf) {
      std::snprintf(result.message, sizeof result.message, "收件地址不详");
      return 0;
    }
    std::snprintf(result.mailNumber, sizeof result.mailNumber, "LP%09dCN", orders);
    return 1;
  }
  int orders = 0;
  CarrierShipment last;
};

class PdaEntryCarrierTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    for (const char* sql : {
             "INSERT INTO dbo.client_arc (icid, capikey, nstate) VALUES (961011, 'PCKey961011', 0)",
             "INSERT INTO dbo.ems_kind (cemskind) VALUES ('PCEUB'), ('PCBAD'), ('PCLOC')",
             "INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
             "(96111, 'PC', '', 8, 0, 1, NULL), (96112, 'PL', '', 8, 0, 1, NULL)",
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
    twtest::OdbcDir();
    char why[1024];
    const std::string user = std::getenv("PGUSER") ? std::getenv("PGUSER") : "tarnwick";
    ASSERT_TRUE(ConnectPool("dorvane", user.c_str(), std::getenv("PGPASSWORD"), why, sizeof why)) << why;
    OpenPool();
    g_NumberLock.SetEvent();
    char logs[] = "/tmp/tarnwick-pda-entry-log.XXXXXX";
    ExtensionSettings.logFolder = std::string(mkdtemp(logs)) + "/";
    ExtensionSettings.defaultInternalRuleId = 96111;
    const std::string ini = std::string(kTransferRulesStart) + "\r\nPCEUB=96112=\r\nPCBAD=96112=\r\nPCLOC=96112=\r\n" +
                            kTransferRulesEnd + "\r\n";
    g_TransferNumberRules = ParseNumberRules(ini.c_str(), kTransferRulesStart, kTransferRulesEnd);
  }

  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    SetCarrierHandOver(nullptr);
    TestDb db;
    RemoveRows(db);
  }

  static void RemoveRows(TestDb& db) {
    db.Exec("DELETE FROM dbo.client_rec WHERE icid = 961011");
    db.Exec("DELETE FROM dbo.client_arc WHERE icid = 961011");
    db.Exec("DELETE FROM dbo.ems_kind WHERE cemskind IN ('PCEUB', 'PCBAD', 'PCLOC')");
    db.Exec("DELETE FROM dbo.sys_genno WHERE iid BETWEEN 96111 AND 96112");
  }

  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    SetCarrierHandOver(&carrier_);
  }
  void TearDown() override { SetCarrierHandOver(nullptr); }

  static int Add(const std::string& request, ShipmentEntryResult& result) {
    PoolSlotGuard slot;
    EXPECT_TRUE(slot.ok());
    if (!slot.ok()) return 0;
    return tw::pda::AddShipmentRecord(slot.slot(), kClient, request, result, "PC操作员");
  }
  static std::vector<std::string> Row(int irid, const std::string& columns) {
    TestDb db;
    auto rows = db.Query("SELECT " + columns + " FROM dbo.client_rec WHERE irid = " + std::to_string(irid));
    return rows.empty() ? std::vector<std::string>() : rows[0];
  }
  static std::string Scalar(const std::string& sql) {
    TestDb db;
    return db.Scalar(sql);
  }

  CStandInCarrier carrier_;
};

TEST_F(PdaEntryCarrierTest, CarrierKindsGetTheCarriersNumbers) {
  // The default rule draws the internal number, so the mail number replaces it too. The sides weigh
  // 1 kg by volume (30 x 20 x 10 / 6000), which the carrier and the record get; the carrier gets the
  // price floor and the first goods line's goods.
  ShipmentEntryResult drawn;
  const int irid = Add(R"({"cEmsKind":"PCEUB","cDes":"US","cReceiver":"R","fAmount":3,"iLong":30,"iWidth":20,)"
                       R"("iHeight":10,"cPrintCode":"01","GoodsList":[{"ixQuantity":2,"cxGoods":"G1"},)"
                       R"({"ixQuantity":1,"cxGoods":"G2"}]})",
                       drawn);
  ASSERT_GT(irid, 0) << drawn.cMess;
  EXPECT_STREQ(drawn.cNum, "LP000000001CN");
  EXPECT_STREQ(drawn.cNo, "LP000000001CN");
  EXPECT_DOUBLE_EQ(carrier_.last.weight, 1.0);
  EXPECT_DOUBLE_EQ(carrier_.last.unitPrice, 1.0);
  EXPECT_STREQ(carrier_.last.dimensions, "30*20*10");
  EXPECT_STREQ(carrier_.last.printCode, "01");
  EXPECT_STREQ(carrier_.last.goods, "G1");
  EXPECT_EQ(std::string(carrier_.last.internalNumber).substr(0, 2), "PC");  // handed over before replacing
  EXPECT_EQ(Row(irid, "cnum, cserviceno, fweight, cinput"),
            (std::vector<std::string>{"LP000000001CN", "LP000000001CN", "1.000", "PC操作员"}));

  // A number of the PDA's own stays; a carrier number of 7 or more characters makes no order.
  ShipmentEntryResult own;
  ASSERT_GT(Add(R"({"cNum":"pcown001","cEmsKind":"PCEUB","cDes":"US","fAmount":3})", own), 0) << own.cMess;
  EXPECT_STREQ(own.cNum, "PCOWN001");
  EXPECT_STREQ(own.cNo, "LP000000002CN");
  ShipmentEntryResult given;
  ASSERT_GT(Add(R"({"cNum":"PCOWN002","cNo":"pcgiven7","cEmsKind":"PCEUB","cDes":"US","fAmount":3})", given), 0);
  EXPECT_EQ(carrier_.orders, 2);
  EXPECT_STREQ(given.cNo, "PCGIVEN7");

  // No carrier for the kind: its own transfer rule numbers it.
  ShipmentEntryResult local;
  ASSERT_GT(Add(R"({"cNum":"PCOWN003","cEmsKind":"PCLOC","cDes":"US","fAmount":3})", local), 0) << local.cMess;
  EXPECT_EQ(std::string(local.cNo).substr(0, 2), "PL");
}

TEST_F(PdaEntryCarrierTest, ACarriersRefusalStoresNothing) {
  ShipmentEntryResult refused;
  EXPECT_EQ(Add(R"({"cNum":"PCBAD0001","irID":5,"cEmsKind":"PCBAD","cDes":"US"})", refused), -1);
  EXPECT_STREQ(refused.cMess, "收件地址不详");
  EXPECT_EQ(refused.iID, 5);
  // Without weight or sides the carrier got its weight floor; the record would keep 0 kg.
  EXPECT_DOUBLE_EQ(carrier_.last.weight, 0.5);
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_rec WHERE cnum = 'PCBAD0001'"), "0");
}

}  // namespace
