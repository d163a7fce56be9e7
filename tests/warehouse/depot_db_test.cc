// The container's depot and client lists against the test database: a depot read with its
// operations, packages and carts; the codes that find none; a depot whose follow-up statements fail
// is not kept; simultaneous misses keep one object; clients by id and by account.
//
// Rows use depot codes beginning "Q" and clients 936001-936009, which no other test uses.

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/pool.h"
#include "pricing/ostrum_container.h"
#include "tests/support/e2e.h"

namespace {

using twtest::TestDb;

void RemoveRows(TestDb& db) {
  for (const char* sql : {
           "DELETE FROM dbo.w_depot WHERE cdepot LIKE 'Q%'",
           "DELETE FROM dbo.w_operate_define WHERE cdepot LIKE 'Q%'",
           "DELETE FROM dbo.w_package WHERE cdepot LIKE 'Q%'",
           "DELETE FROM dbo.w_depot_cart WHERE cdepot LIKE 'Q%'",
           "DELETE FROM dbo.client_arc WHERE icid BETWEEN 936001 AND 936009",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error();
  }
}

class DepotDbTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    for (const char* sql : {
             "INSERT INTO dbo.w_depot (cdepot, nstate, nconfirm0, nconfirm1, nconfirm2, ncheck0, ncheck1, ncheck2, "
             "cname, caddr, cshelfb, cshelfe, cmoney, fwpufee, iex1, iex2, iex3, voption) VALUES ('QD1', 0, 1, 2, 0, "
             "0, 1, -1, '一号仓', 'Addr 1', 'A01', 'Z99', 'AUD', 1.25, 2500000, 1, -3000000, "
             "'\\x0102030405060708090a0b0c0d0e0f10'::bytea)",
             "INSERT INTO dbo.w_depot (cdepot, nstate) VALUES ('QD2', 1), ('QD3', 0), ('QD4', 0)",
             "INSERT INTO dbo.w_operate_define (cdepot, ntype, ngrade, cname, iseconds, cmoney, fwage) VALUES "
             "('QD1', 5, 1, '确认', 30, 'AUD', 0.5), ('QD1', 2, 0, '审核', 12, 'AUD', 0.25), "
             "('QD3', 2, 0, 'other depot', 99, '', 9)",
             "INSERT INTO dbo.w_package (ipid, cdepot, cname, ilong, iwidth, iheight, fmaxload, nbox, nstate) VALUES "
             "(936001, 'QD1', 'P1', 10, 30, 20, 5, 1, 0), (936002, 'QD1', 'P2', 2000, 2000, 2000, 50, 1, 0), "
             "(936003, 'QD1', 'no load', 10, 10, 10, 0, 1, 0), (936004, 'QD1', 'not a box', 10, 10, 10, 1, 0, 0), "
             "(936005, 'QD1', 'retired', 10, 10, 10, 1, 1, 1)",
             "INSERT INTO dbo.w_depot_cart (iaid, cdepot, ccode, cname, ipos, iorder, fweight, nstate) VALUES "
             "(936001, 'QD1', 'C1', 'cart 1', 2, 4, 1.5, 0), (936002, 'QD1', 'C2', 'cart 2', 1, 0, 0, 0), "
             "(936003, 'QD1', 'C3', 'retired', 0, 0, 0, 1)",
             "INSERT INTO dbo.client_arc (icid, caccount, nstate) VALUES (936001, 'QACME', 0), (936002, 'qlow', 3)",
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
    twtest::OdbcDir();
    char why[1024];
    const char* user = std::getenv("PGUSER");
    ASSERT_TRUE(ConnectPool("dorvane", user != nullptr ? user : "tarnwick", std::getenv("PGPASSWORD"), why, sizeof why))
        << why;
    OpenPool();
  }
  static void TearDownTestSuite() {
    if (twtest::DatabaseConfigured()) {
      TestDb db;
      RemoveRows(db);
    }
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    ASSERT_TRUE(slot_.ok());
  }

  PoolSlotGuard slot_;
  COstrumContainer container_;
};

TEST_F(DepotDbTest, ReadsTheHeaderOperationsPackagesAndCarts) {
  const CDepotSettings* d = container_.LoadDepotSettings("QD1", slot_.dbc());
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->info.cdepot, "QD1");
  EXPECT_STREQ(d->info.cname, "一号仓");
  EXPECT_STREQ(d->info.cshelfb, "A01");
  EXPECT_STREQ(d->info.cshelfe, "Z99");
  EXPECT_STREQ(d->info.cmoney, "AUD");
  EXPECT_DOUBLE_EQ(d->info.fwpufee, 1.25);
  // Flags are set only by a value of exactly 1.
  EXPECT_TRUE(d->info.nconfirm0);
  EXPECT_FALSE(d->info.nconfirm1);
  EXPECT_FALSE(d->info.nconfirm2);
  EXPECT_FALSE(d->info.ncheck0);
  EXPECT_TRUE(d->info.ncheck1);
  EXPECT_FALSE(d->info.ncheck2);
  EXPECT_DOUBLE_EQ(d->info.iex1, 2.5);
  EXPECT_DOUBLE_EQ(d->info.iex2, 0.000001);
  EXPECT_DOUBLE_EQ(d->info.iex3, -3.0);
  EXPECT_EQ(d->info.voption[0], 1);
  EXPECT_EQ(d->info.voption[15], 16);

  ASSERT_EQ(d->operations().size(), 2u);
  ASSERT_NE(d->FindOperation(5), nullptr);
  EXPECT_EQ(d->FindOperation(5)->iseconds, 30);
  EXPECT_DOUBLE_EQ(d->FindOperation(2)->fwage, 0.25);

  // Boxes in service with a load only; sides sorted; 2000^3 kept in 64 bits.
  ASSERT_EQ(d->packagesBySide().size(), 2u);
  EXPECT_EQ(d->FindPackage(936001)->ilong, 30);
  EXPECT_EQ(d->FindPackage(936001)->volume, 6000);
  EXPECT_EQ(d->FindPackage(936002)->volume, 8000000000LL);
  EXPECT_EQ(d->FindPackage(936003), nullptr);
  EXPECT_EQ(d->FindPackage(936004), nullptr);
  EXPECT_EQ(d->FindPackage(936005), nullptr);

  ASSERT_EQ(d->carts().size(), 2u);
  EXPECT_EQ(d->carts()[0].iaid, 936002);  // position 1 before position 2
  EXPECT_STREQ(d->FindCart(936001)->ccode, "C1");

  // Kept: the second look-up gives the same object.
  EXPECT_EQ(container_.LoadDepotSettings("QD1", slot_.dbc()), d);
}

TEST_F(DepotDbTest, CodesThatFindNoDepot) {
  struct Case {
    const char* why;
    const char* code;
  } cases[] = {
      {"two characters", "QD"},     {"four characters", "QD11"}, {"empty", ""},
      {"inactive", "QD2"},          {"lower case", "qd1"},       {"unknown", "QD9"},
      {"a quote", "Q'1"},
  };
  for (const Case& c : cases) EXPECT_EQ(container_.LoadDepotSettings(c.code, slot_.dbc()), nullptr) << c.why;
  EXPECT_EQ(container_.LoadDepotSettings(nullptr, slot_.dbc()), nullptr);
}

TEST_F(DepotDbTest, ADepotWhoseFollowUpStatementsFailIsNotKept) {
  TestDb db;
  ASSERT_TRUE(db.Exec("ALTER TABLE dbo.w_depot_cart RENAME TO w_depot_cart_away")) << db.error();
  const CDepotSettings* failed = container_.LoadDepotSettings("QD4", slot_.dbc());
  ASSERT_TRUE(db.Exec("ALTER TABLE dbo.w_depot_cart_away RENAME TO w_depot_cart")) << db.error();
  EXPECT_EQ(failed, nullptr);
  // The next request tries again and now finds the depot.
  EXPECT_NE(container_.LoadDepotSettings("QD4", slot_.dbc()), nullptr);
}

TEST_F(DepotDbTest, SimultaneousMissesKeepOneDepot) {
  constexpr int kThreads = 8;
  std::vector<const CDepotSettings*> got(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      PoolSlotGuard slot;
      if (slot.ok()) got[i] = container_.LoadDepotSettings("QD3", slot.dbc());
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<const CDepotSettings*> distinct(got.begin(), got.end());
  ASSERT_EQ(distinct.size(), 1u);
  ASSERT_NE(*distinct.begin(), nullptr);
  // Its operations are its own, not another depot's.
  EXPECT_EQ((*distinct.begin())->FindOperation(2)->iseconds, 99);
}

TEST_F(DepotDbTest, ClientsByIdAndByAccount) {
  const ClientRef* byId = container_.FindClientById(936001, slot_.dbc());
  ASSERT_NE(byId, nullptr);
  EXPECT_STREQ(byId->caccount, "QACME");
  EXPECT_EQ(container_.FindClientByAccount("QACME", slot_.dbc()), byId);
  EXPECT_EQ(container_.GetClientId("QACME", slot_.dbc()), 936001);

  // The state does not matter for the look-up.
  const ClientRef* low = container_.FindClientByAccount("qlow", slot_.dbc());
  ASSERT_NE(low, nullptr);
  EXPECT_EQ(low->nstate, 3);
  EXPECT_EQ(container_.FindClientById(936002, slot_.dbc()), low);

  struct Case {
    const char* why;
    const char* account;
  } unknown[] = {{"other case", "qacme"}, {"unknown", "QNOBODY"}, {"empty", ""}, {"a quote", "Q'ACME"}};
  for (const Case& c : unknown) EXPECT_EQ(container_.GetClientId(c.account, slot_.dbc()), -1) << c.why;
  EXPECT_EQ(container_.FindClientById(936009, slot_.dbc()), nullptr);
  EXPECT_EQ(container_.FindClientById(0, slot_.dbc()), nullptr);
}

}  // namespace
