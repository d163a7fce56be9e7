// Reference data read from the test database: the place table, the base price bands, the service
// kinds in their three search modes with their areas and supplier prices, the container's whole
// load with its dictionary settings, and the load summary a host started with the container writes
// to its log.
//
// The loaders run in this process on a connection of its own (a pool slot made for the test), so no
// host is needed for them; the last test starts one.

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "pricing/ostrum_container.h"
#include "tests/support/e2e.h"

namespace {

using twtest::TestDb;

// The rows of this test: ids and codes no other test uses.
constexpr int kPlaceBase = 880000;
constexpr int kBandBase = 880000;
constexpr int kSupplier = 88001;
constexpr int kInactiveSupplier = 88002;
constexpr int kUnregisteredSupplier = 88003;

// A pool slot on a connection of its own.
class OwnSlot {
 public:
  OwnSlot() : slot_(std::make_unique<PoolSlot>()) {
    twtest::OdbcDir();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
      return;
    }
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &slot_->hDbc);
    const char* user = std::getenv("PGUSER");
    const char* password = std::getenv("PGPASSWORD");
    ok_ = SQL_SUCCEEDED(SQLConnect(slot_->hDbc, (SQLCHAR*)"dorvane", SQL_NTS, (SQLCHAR*)(user ? user : "tarnwick"),
                                   SQL_NTS, (SQLCHAR*)(password ? password : ""), SQL_NTS));
  }
  ~OwnSlot() {
    if (slot_->hDbc != SQL_NULL_HDBC) {
      if (ok_) {
        SQLDisconnect(slot_->hDbc);
      }
      SQLFreeHandle(SQL_HANDLE_DBC, slot_->hDbc);
    }
    if (env_ != SQL_NULL_HENV) {
      SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
  }
  bool ok() const { return ok_; }
  PoolSlot& slot() { return *slot_; }

 private:
  std::unique_ptr<PoolSlot> slot_;
  SQLHENV env_ = SQL_NULL_HENV;
  bool ok_ = false;
};

void RemoveRows(TestDb& db) {
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_place WHERE iid BETWEEN 880000 AND 880099")) << db.error();
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_price WHERE iid BETWEEN 880000 AND 880099")) << db.error();
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.ems_area WHERE cemskind IN ('E2EK1', 'E2EK2')")) << db.error();
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.ems_sp WHERE cemskind IN ('E2EK1', 'E2EK2')")) << db.error();
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.ems_kind WHERE cemskind IN ('E2EK1', 'E2EK2')")) << db.error();
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.sp_arc WHERE isid BETWEEN 88001 AND 88009")) << db.error();
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_dict WHERE dcname IN ('75', '47', '27', '115', 'd_ctrlcode')"))
      << db.error();
}

class RefDataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) {
      return;
    }
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(db.Exec(
        "INSERT INTO dbo.sys_place (iid, ccode, cscan, carea, careae, narea, ntype, czipcode, cc2, cc3) VALUES "
        "(880001, 'E2EA', 'S1', '测试甲地', 'Test Place A', 7, 1, '518000', 'CN', 'CHN'),"
        "(880002, 'E2EB', 'S2', '测试省测试乙地', 'Test Place B', 8, 0, '', 'CNX', 'CHN'),"
        // Twenty characters: 40 bytes, cut to the 15 characters that fit the 32-byte field.
        "(880003, 'E2EC', 'S3', '一二三四五六七八九十一二三四五六七八九十', 'Long', 300, 0, '', '', '')"))
        << db.error();
    ASSERT_TRUE(db.Exec(
        "INSERT INTO dbo.sys_price (iid, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, itopprice) "
        "VALUES (880001, 7, 0, 0, 500, 0, 0, 0, 1200),"
        "(880002, 7, 0, 500, 5000, 500, 2, 400, 1200),"
        "(880003, 7, 1, 0, 30000, 1000, 1, 900, 0),"
        "(880004, 8, 1, 0, 30000, 0, 3, 1500, 2000),"
        // Refused at load: a per-step band without a step, and a second band starting at 0.
        "(880005, 8, 0, 0, 1000, 0, 1, 100, 0),"
        "(880006, 7, 1, 0, 500, 0, 0, 0, 1)"))
        << db.error();
    ASSERT_TRUE(db.Exec(
        "INSERT INTO dbo.ems_kind (cemskind, cemskindi, narea, cmemo, fcustoms, faddons, b1price, ninput, "
        "cstation, nwtypec) VALUES "
        "('E2EK1', 'E2E一号', 5, '测试快递', 20.5, 12.5, 1, 1, 'SZX', 3),"
        "('E2EK2', 'E2E二号', 3, '', 0, 0, 0, 1, 'SZX', NULL)"))
        << db.error();
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.ems_area (cemskind, carea, careae, narea, ntype, ccode) VALUES "
                        "('E2EK1', '美国', 'United States', 5, 1, '5,8'),"
                        "('E2EK1', 'Canada', 'Canada', 4, 0, '6,9')"))
        << db.error();
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.sp_arc (isid, cname, nstate) VALUES (88001, '测试承运商', 0),"
                        "(88002, '停用承运商', 0)"))
        << db.error();
    ASSERT_TRUE(db.Exec(
        "INSERT INTO dbo.ems_sp (isid, cemskind, ndocdiscount, nbagdiscount, nwbagdiscount, ipos, fsrate, fprate, "
        "fother, nstate) VALUES (88001, 'E2EK1', 9000, 9200, 9500, 1000, 1.1, 0.9, 2.5, 0),"
        "(88002, 'E2EK1', 8000, 8000, 8000, 1, 1, 1, 0, 1),"
        "(88003, 'E2EK1', 7000, 7000, 7000, 1, 1, 1, 0, 0)"))
        << db.error();
  }
  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) {
      return;
    }
    TestDb db;
    RemoveRows(db);
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) {
      GTEST_SKIP() << "no test database";
    }
    ASSERT_TRUE(own_.ok());
  }
  OwnSlot own_;
};

TEST_F(RefDataTest, PlaceTableLoadsEveryRowCutToItsFields) {
  TestDb db;
  const int rows = std::stoi(db.Scalar("SELECT count(*) FROM dbo.sys_place"));
  CPlaceTable table;
  ASSERT_EQ(table.Load(own_.slot()), rows);
  ASSERT_TRUE(table.IsLoaded());

  const PlaceRecord* a = table.FindByName("测试甲地", false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->iid, 880001);
  EXPECT_STREQ(a->careae, "Test Place A");
  EXPECT_STREQ(a->ccode, "E2EA");
  EXPECT_STREQ(a->czipcode, "518000");
  EXPECT_EQ(a->narea, 7);
  EXPECT_EQ(a->ntype, 1);
  EXPECT_EQ(table.FindByCode("e2eb")->iid, 880002);
  EXPECT_STREQ(table.FindByCode("e2eb")->cc2, "CN") << "cut to two characters";
  EXPECT_EQ(table.MatchPlace("测试乙地", 0)->iid, 880002) << "a three-character prefix, then the text";

  const PlaceRecord* c = table.FindByCode("E2EC");
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(c->carea, "一二三四五六七八九十一二三四五") << "15 whole characters";
  EXPECT_EQ(c->narea, kUnknownArea) << "an area number beyond a byte counts as unknown";
}

TEST_F(RefDataTest, BasePriceBandsLoadPerAreaAndItemType) {
  CBasePriceTable t;
  const int n = t.Load(own_.slot());
  EXPECT_EQ(n, t.BandCount());
  EXPECT_GE(n, 4);
  struct Case {
    int32_t grams;
    int area, itemType;
    int32_t want;
  } cases[] = {
      {500, 7, 0, 1200},          // fixed band
      {501, 7, 0, 1600},          // 1200 + 1 step of 400
      {5000, 7, 0, 1200 + 9 * 400},
      {1001, 7, 1, 1800},         // 2 steps of 900; the second band at 0 was refused
      {2500, 8, 1, 5750},         // 2000 + 2500 x 1500 / 1000
      {800, 8, 0, 0},             // the band without a step was refused
  };
  for (const Case& c : cases) {
    EXPECT_EQ(t.PriceForWeight(c.grams, c.area, c.itemType), c.want) << c.grams << " g, area " << c.area;
  }
}

TEST_F(RefDataTest, LoadEmsKindInItsThreeModes) {
  auto c = std::make_unique<COstrumContainer>();
  PoolSlot& slot = own_.slot();

  const CEmsKind* k1 = c->LoadEmsKind("e2ek1", slot, kKindByCode);
  ASSERT_NE(k1, nullptr) << "kind codes compare without case";
  EXPECT_STREQ(k1->cemskind, "E2EK1");
  EXPECT_STREQ(k1->cemskindi, "E2E一号");
  EXPECT_STREQ(k1->cmemo, "测试快递");
  EXPECT_DOUBLE_EQ(k1->fcustoms, 20.5);
  EXPECT_DOUBLE_EQ(k1->faddons, 12.5);
  EXPECT_EQ(k1->b1price, 1);
  EXPECT_STREQ(k1->cstation, "SZX");
  EXPECT_EQ(GetVolumeDivisorCode(*k1), 'E');
  EXPECT_EQ(c->EmsKindCount(), 1u);

  const CEmsKind* k2 = c->LoadEmsKind("E2E二号", slot, kKindByInputName);
  ASSERT_NE(k2, nullptr);
  EXPECT_STREQ(k2->cemskind, "E2EK2");
  EXPECT_EQ(k2->nwtypec, 0) << "a NULL weight type reads as 0";
  EXPECT_EQ(c->EmsKindCount(), 2u);

  EXPECT_EQ(c->LoadEmsKind("E2EK1", slot, kKindByEither), k1) << "kept: the same record";
  EXPECT_EQ(c->LoadEmsKind("E2E一号", slot, kKindByEither), k1);
  EXPECT_EQ(c->LoadEmsKind("E2E一号", slot, kKindByInputName), k1);
  EXPECT_EQ(c->LoadEmsKind("E2EK2", slot, kKindByInputName), nullptr) << "a code is no input name";
  EXPECT_EQ(c->LoadEmsKind("E2ENONE", slot, kKindByEither), nullptr);
  EXPECT_EQ(c->LoadEmsKind("x' OR '1'='1", slot, kKindByCode), nullptr) << "quotes stay inside the literal";
  EXPECT_EQ(c->EmsKindCount(), 2u) << "unknown kinds are not kept";
}

TEST_F(RefDataTest, AreasAndSupplierPricesOfAKind) {
  auto c = std::make_unique<COstrumContainer>();
  PoolSlot& slot = own_.slot();
  const CEmsKind* k = c->LoadEmsKind("E2EK1", slot, kKindByCode);
  ASSERT_NE(k, nullptr);

  const AreaRecord* us = k->GetArea("美国", slot);
  ASSERT_NE(us, nullptr);
  EXPECT_EQ(us->narea, 5);
  EXPECT_EQ(us->ntype, 1);
  EXPECT_EQ(us->nDaysB, 5);
  EXPECT_EQ(us->nDaysE, 8);
  EXPECT_STREQ(us->careae, "United States");
  EXPECT_EQ(k->GetArea("canada", slot)->narea, 4);
  EXPECT_EQ(k->GetArea("美国", slot), us) << "kept";
  EXPECT_EQ(k->GetArea("英国", slot), nullptr);
  EXPECT_EQ(k->AreaCount(), 2u);

  EXPECT_EQ(k->GetSpDiscount(kSupplier, 0), kNoDiscount) << "nothing kept yet";
  const SpPriceRecord* sp = k->GetSpPrice(kSupplier, slot);
  ASSERT_NE(sp, nullptr);
  EXPECT_EQ(sp->ipos, 1000);
  EXPECT_DOUBLE_EQ(sp->fsrate, 1.1);
  EXPECT_DOUBLE_EQ(sp->fprate, 0.9);
  EXPECT_DOUBLE_EQ(sp->fother, 2.5);
  EXPECT_EQ(k->GetSpDiscount(kSupplier, 0), 9000);
  EXPECT_EQ(k->GetSpDiscount(kSupplier, 1), 9200);
  EXPECT_EQ(k->GetSpDiscount(kSupplier, 2), 9500);
  EXPECT_EQ(k->GetSpPrice(kInactiveSupplier, slot), nullptr) << "its price row is not in force";
  EXPECT_EQ(k->GetSpPrice(kUnregisteredSupplier, slot), nullptr) << "no sp_arc row";
  EXPECT_EQ(k->SpPriceCount(), 1u);
}

TEST_F(RefDataTest, ContainerLoadsTablesAndDictionary) {
  TestDb db;
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_dict (dcname, dcvalue, diposition) VALUES ('75', 'E', 0), "
                      "('47', '3', 0), ('27', '1', 0), ('115', '0', 0), ('d_ctrlcode', 'B', 2), "
                      "('d_ctrlcode', 'A', 1)"))
      << db.error();
  auto c = std::make_unique<COstrumContainer>();
  const int n = c->Load(own_.slot());
  EXPECT_TRUE(c->IsLoaded());
  const int places = static_cast<int>(c->places.size());
  const int bands = c->basePrices.BandCount();
  EXPECT_EQ(n, places + bands);
  EXPECT_EQ(std::string(c->GetLoadSummary()), "Pl:" + std::to_string(places) + ",Pr:" + std::to_string(bands));
  EXPECT_EQ(c->volumeDivisor, 8000);
  EXPECT_EQ(c->volumeLetter, 'E');
  EXPECT_EQ(c->weightRounding, -1);
  EXPECT_TRUE(c->dict27);
  EXPECT_FALSE(c->wholeShipmentWeight);
  ASSERT_EQ(c->controlCodes.size(), 2u);
  EXPECT_EQ(c->controlCodes[0], "A");
  EXPECT_EQ(c->controlCodes[1], "B");
  EXPECT_EQ(c->GetBasePrice(400, "测试甲地", 0), 1200);
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_dict WHERE dcname IN ('75', '47', '27', '115', 'd_ctrlcode')"));
}

TEST_F(RefDataTest, HostLogsTheLoadSummary) {
  TestDb db;
  const std::string places = db.Scalar("SELECT count(*) FROM dbo.sys_place");
  CBasePriceTable t;
  const std::string bands = std::to_string(t.Load(own_.slot()));

  twtest::TestHost host;
  twtest::HostConfig config;
  config.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n";
  ASSERT_TRUE(host.Start(config)) << host.error();
  host.Stop();
  const std::string log = host.LogFile("TARNWICK");
  const std::string want = "启用Ostrum容器:Pl:" + places + ",Pr:" + bands + ",";
  EXPECT_NE(log.find(want), std::string::npos) << log;
}

}  // namespace
