// Prices against the test database: the client price tables by class, destination and area; a
// client's price with each of its roads (table, undifferentiated base price, peer price, special
// price, discount row, procedure discount, surcharges); a supplier's cost (standard with discount and
// coefficient, segment discount, special price); suppliers kept by the container; the place and base
// price procedures; and the zone definitions loaded from file_share.
//
// Every expectation is computed by hand from the rows inserted below.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/pool.h"
#include "pricing/ostrum_container.h"
#include "pricing/quote.h"
#include "pricing/zone_table.h"
#include "tests/support/e2e.h"

namespace {

using twtest::TestDb;

constexpr char kPlace[] = "QP墨尔本";      // sys_place area 249; the kinds' area 7
constexpr char kNoBasePlace[] = "QP无基价";  // sys_place area 248 without bands; the kind QPA's area 8
constexpr char kNowhere[] = "QP无处";

void RemoveRows(TestDb& db) {
  for (const char* sql : {
           "DELETE FROM dbo.sys_place WHERE iid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.sys_price WHERE iid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.ems_price WHERE cemskind LIKE 'QP_'",
           "DELETE FROM dbo.ems_price1 WHERE cemskind LIKE 'QP_'",
           "DELETE FROM dbo.ems_price2 WHERE cemskind LIKE 'QP_'",
           "DELETE FROM dbo.ems_area WHERE cemskind LIKE 'QP_'",
           "DELETE FROM dbo.ems_sp WHERE cemskind LIKE 'QP_'",
           "DELETE FROM dbo.ems_kind WHERE cemskind LIKE 'QP_'",
           "DELETE FROM dbo.client_arc WHERE icid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.client_discount WHERE icid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.client_special_price WHERE icid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.client_discount_seg WHERE icid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.sp_arc WHERE isid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.sp_special_price WHERE isid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.sp_discount_seg WHERE isid BETWEEN 920000 AND 920099",
           "DELETE FROM dbo.file_share WHERE ngrade = 188 AND ctitle LIKE 'Zip_Choice_%'",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error();
  }
}

class PricesDbTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) {
      return;
    }
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    for (const std::string& sql : std::initializer_list<std::string>{
             "INSERT INTO dbo.sys_place (iid, ccode, carea, careae, narea) VALUES (920001, 'QPM', 'QP墨尔本', "
             "'QP Melbourne', 249), (920002, 'QPN', 'QP无基价', '', 248), (920003, 'QPL', '辽宁旅顺QP', '', 247)",
             "INSERT INTO dbo.sys_price (iid, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, itopprice) "
             "VALUES (920001, 249, 1, 0, 1000, 0, 0, 0, 4000), (920002, 249, 1, 1000, 10000, 1000, 2, 700, 4000), "
             "(920003, 249, 1, 5000, 10000, 1000, 2, 500, 6000)",
             "INSERT INTO dbo.ems_kind (cemskind, b1price, faddons, fcustoms, ndiscountc, fsaddons, fscustoms, ndiscounts, "
             "ibagweighte, nbusitype) VALUES ('QPA', 1, 10, 15, 1, 5, 6, 1, 0, 0), ('QPB', 0, 0, 0, 0, 0, 0, 0, 0, 0), "
             "('QPC', 0, 0, 0, 0, 0, 0, 0, 1, 0), ('QPN', 1, 10, 0, 0, 0, 0, 0, 0, 1)",
             "INSERT INTO dbo.ems_area (cemskind, carea, narea, ntype) VALUES ('QPA', 'QP墨尔本', 7, 1), "
             "('QPA', 'QP无基价', 8, 0), ('QPB', 'QP墨尔本', 7, 0), ('QPC', 'QP墨尔本', 7, 0), ('QPN', 'QP墨尔本', 7, 0)",
             "INSERT INTO dbo.ems_price (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
             "itopprice) VALUES ('QPA', 7, 1, 0, 1000, 0, 0, 0, 5000), ('QPA', 7, 1, 1000, 10000, 500, 2, 1000, 5000), "
             "('QPA', 8, 1, 0, 10000, 0, 0, 0, 6600), ('QPB', 7, 1, 0, 10000, 0, 0, 0, 9900), "
             "('QPC', 7, 1, 0, 10000, 0, 0, 0, 8800)",
             "INSERT INTO dbo.ems_price1 (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
             "itopprice) VALUES ('QPB', 7, 1, 0, 5000, 1000, 1, 1500, 0), ('QPC', 7, 1, 0, 10000, 0, 0, 0, 1111)",
             "INSERT INTO dbo.ems_price2 (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
             "itopprice) VALUES ('QPA', 7, 1, 0, 1000, 0, 0, 0, 7777)",
             "INSERT INTO dbo.client_arc (icid, capikey, nstate) VALUES (920001, 'QpKey00001', 0), "
             "(920002, 'QpKey00002', 1), (920003, 'QpKey00003', 0), (920004, 'QpKey00004', 0), "
             "(920005, 'QpKey00005', 0), (920006, 'QpKey00006', 0)",
             "INSERT INTO dbo.client_discount (icid, cemskind, baddons, vdiscount, iother) VALUES "
             "(920001, 'QPA', 1, '\\x5f5a646432000000'::bytea, 300), "
             "(920005, '无差别价格', 1, '\\x5050505000000000'::bytea, 0), "
             "(920006, 'QPA', 0, '\\x6464646400000000'::bytea, 0)",
             "INSERT INTO dbo.client_special_price (icid, cemskind, carea, nitemtype, ibweight, ieweight, ntype, "
             "itopprice, baddons) VALUES (920003, 'QPA', 'QP墨尔本', 1, 0, 10000, 0, 2500, 1)",
             "INSERT INTO dbo.client_discount_seg (icid, cemskind, nitemtype, ibweight, ieweight, idiscount) VALUES "
             "(920004, 'QPA', 1, 0, 10000, 9000)",
             "INSERT INTO dbo.sp_arc (isid, cname, nbatch, ntype, nstate) VALUES (920001, 'QP承运商', 3, 1, 0), "
             "(920002, 'QP特价', 0, 0, 0), (920003, 'QP无价', 0, 0, 0), (920004, 'QP停用', 0, 0, 1)",
             "INSERT INTO dbo.ems_sp (isid, cemskind, ndocdiscount, nbagdiscount, nwbagdiscount, ipos, nextra, fsrate, "
             "fprate, fother, nstate) VALUES (920001, 'QPA', 9000, 8500, 8000, 1000, 0, 1.1, 1, 3, 0), "
             "(920002, 'QPA', 10000, 10000, 10000, 10, 0, 1, 0.5, 0, 0)",
             "INSERT INTO dbo.sp_special_price (isid, cemskind, carea, nitemtype, ibweight, ieweight, iweightper, ntype, "
             "iprice, baddons) VALUES (920002, 'QPA', 'QP墨尔本', 1, 0, 10000, 1000, 1, 1200, 0)",
             "INSERT INTO dbo.sp_discount_seg (isid, cemskind, nitemtype, ibweight, ieweight, idiscount) VALUES "
             "(920001, 'QPA', 1, 5000, 10000, 10500)",
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
    if (!twtest::DatabaseConfigured()) {
      GTEST_SKIP() << "no test database (run ./test.sh)";
    }
    ASSERT_TRUE(slot_.ok());
    // The container's base prices: area 249 (index 248) prices parcels at 40.00 up to 10 kg.
    PlaceRecord place;
    place.iid = 920001;
    std::snprintf(place.carea, sizeof place.carea, "%s", kPlace);
    place.narea = 249;
    container_.places.LoadRows({place});
    PriceBand band;
    band.ieweight = 10000;
    band.itopprice = 4000;
    ASSERT_EQ(container_.basePrices.InsertBand(band, 248, 1), 1);
    container_.dict86 = 5;
    container_.dict87 = 8;
  }

  const CEmsKind* Kind(const char* code) { return container_.LoadEmsKind(code, slot_.slot(), kKindByCode); }

  // A supplier's query for parcels of kind QPA.
  SupplierPriceQuery SupplierQuery(int32_t supplier, const char* destination, int32_t weight) {
    SupplierPriceQuery q;
    q.kind = Kind("QPA");
    q.supplierId = supplier;
    std::snprintf(q.destination, sizeof q.destination, "%s", destination);
    q.weight = weight;
    q.itemType = 1;
    return q;
  }

  PoolSlotGuard slot_;
  COstrumContainer container_;
};

TEST_F(PricesDbTest, ClientTables) {
  PoolSlot& s = slot_.slot();
  struct Case {
    const char* kind;
    const char* destination;
    int area;
    int32_t weight;
    int priceClass;
    int64_t cents;
    int32_t accounted;
    const char* why;
  } cases[] = {
      {"QPA", kPlace, 0, 2000, 0, 7000, 2000, "50.00 + ceil(1000 / 500) x 10.00; w out: 1000 + 2 x 500"},
      {"QPA", kPlace, 0, 1800, 0, 7000, 1500, "1800 g: 2 steps charged, the whole steps under it accounted"},
      {"QPA", kPlace, 0, 1000, 0, 5000, 0, "1000 g falls in (0, 1000]: w out the band start"},
      {"QPA", kPlace, 0, 800, 2, 7777, 0, "ems_price2"},
      {"QPA", kPlace, 0, 2000, 2, 0, 2000, "ems_price2 has no band for 2000 g"},
      {"QPA", nullptr, 7, 2000, 0, 7000, 2000, "by area number"},
      {"QPA", nullptr, 0, 2000, 0, 0, 2000, "neither a destination nor an area"},
      {"QPA", kPlace, 0, 2000, 5, 0, 2000, "no such class"},
      {"QPB", kPlace, 0, 2000, 1, 3000, 2000, "ems_price1: ceil(2000 / 1000) x 15.00"},
      {"QPA", "QP'墨尔本", 0, 2000, 0, 0, 2000, "a quote in the name is only text"},
  };
  for (const Case& c : cases) {
    int32_t w = c.weight;
    EXPECT_EQ(PriceFromClientTable(s, c.kind, c.destination, c.area, &w, 1, c.priceClass), c.cents) << c.why;
    EXPECT_EQ(w, c.accounted) << c.why;
  }
  PriceBand band;
  EXPECT_EQ(FindClientPriceBand(&band, s, "QPA", kPlace, 2000, 0, 1), 7);
  EXPECT_EQ(band.ntype, 2);
  EXPECT_EQ(FindClientPriceBand(&band, s, "QPA", kNowhere, 2000, 0, 1), 0);
  std::string lines;
  int32_t w = 2000;
  ASSERT_EQ(PriceFromClientTable(s, "QPA", kPlace, 0, &w, 1, 0, &lines), 7000);
  EXPECT_EQ(lines, "　     50.00(首重1000克)<BR>+      20.00(续重10.00元/500克:10.00*2)<BR>");
}

TEST_F(PricesDbTest, ClientPrice) {
  struct Case {
    const char* kind;
    int32_t client;
    int active;
    bool dict27;
    const char* destination;
    int32_t weight;
    uint8_t customs;
    int result;
    double freight, baseFreight, standard, list, fuelAmount, fuelRate, customsFee, factor;
    int32_t otherFee;
    const char* priceKind;
    const char* why;
  } cases[] = {
      {"QPA", 920002, 0, false, kPlace, 2000, 0, 0, 77.00, 70.00, 77.00, 70.00, 7.00, 10, 0, 0, 0, "",
       "table price 70.00 with 10 % fuel; no discount row"},
      {"QPA", 920002, 0, false, kPlace, 2000, 1, 0, 92.00, 70.00, 92.00, 70.00, 7.00, 10, 15, 0, 0, "",
       "and the customs fee 15.00"},
      {"QPA", 920001, 1, false, kPlace, 2000, 1, 0, 82.80, 63.00, 92.00, 70.00, 6.30, 10, 13.50, 0.9, 300, "",
       "discount row: 90 % for parcels (code 9000), the customs fee discounted too, other fee 3.00"},
      {"QPA", 920003, 1, false, kPlace, 2000, 0, 0, 27.50, 25.00, 77.00, 70.00, 2.50, 10, 0, 0.3571, 0, "特殊价",
       "special price 25.00 whatever the table price"},
      {"QPA", 920004, 1, false, kPlace, 2000, 0, 0, 69.30, 63.00, 77.00, 70.00, 6.30, 10, 0, 0.9, 0, "",
       "the procedure's segment code 9000"},
      {"QPA", 920006, 1, false, kPlace, 2000, 0, 0, 70.00, 70.00, 77.00, 70.00, 0, 0, 0, 0, 0, "",
       "a discount row without the fuel surcharge"},
      {"QPN", 920001, 1, false, kPlace, 2000, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", "a kind priced at nothing"},
      {"QPA", 920005, 1, true, kPlace, 2000, 1, 0, 40.00, 32.00, 50.00, 40.00, 1.60, 5, 6.40, 0.8, 0, "无差别价",
       "row 27, active client: base price 40.00 at 80 % (row of 无差别价格), rows 86 and 87"},
      {"QPA", 920005, 1, true, kNoBasePlace, 2000, 0, 0, 72.60, 66.00, 72.60, 66.00, 6.60, 10, 0, 0, 0, "",
       "no base price: ems_price"},
      {"QPA", 920005, 1, true, kNowhere, 2000, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", "neither: no price"},
      {"QPB", 920002, 0, true, kPlace, 2000, 0, 0, 30.00, 30.00, 30.00, 30.00, 0, 0, 0, 0, 0, "同行价",
       "row 27, inactive client: the peer table"},
      {"QPB", 920002, 0, false, kPlace, 6000, 0, 0, 99.00, 99.00, 99.00, 99.00, 0, 0, 0, 0, 0, "",
       "no peer band for 6 kg: ems_price"},
      {"QPC", 920005, 1, true, kPlace, 2000, 0, 0, 88.00, 88.00, 88.00, 88.00, 0, 0, 0, 0, 0, "",
       "row 27, active client, ibagweighte 1: ems_price, never the base price"},
      {"QPB", 0, 0, true, kPlace, 2000, 0, 0, 99.00, 99.00, 99.00, 99.00, 0, 0, 0, 0, 0, "",
       "row 27 without a client: ems_price"},
  };
  for (const Case& c : cases) {
    container_.dict27 = c.dict27;
    PriceQuery q;
    q.kind = Kind(c.kind);
    ASSERT_NE(q.kind, nullptr) << c.kind;
    q.clientId = c.client;
    q.activeClient = c.active;
    std::snprintf(q.destination, sizeof q.destination, "%s", c.destination);
    q.weight = c.weight;
    q.itemType = 1;
    q.customsFlag = c.customs;
    char priceKind[kPriceKindBytes] = "x";
    ASSERT_EQ(container_.GetClientPrice(q, slot_.slot(), priceKind), c.result) << c.why;
    if (c.result != 0) {
      continue;
    }
    EXPECT_DOUBLE_EQ(q.freight, c.freight) << c.why;
    EXPECT_DOUBLE_EQ(q.baseFreight, c.baseFreight) << c.why;
    EXPECT_DOUBLE_EQ(q.standardPrice, c.standard) << c.why;
    EXPECT_DOUBLE_EQ(q.listFreight, c.list) << c.why;
    EXPECT_DOUBLE_EQ(q.fuelAmount, c.fuelAmount) << c.why;
    EXPECT_DOUBLE_EQ(q.fuelRate, c.fuelRate) << c.why;
    EXPECT_DOUBLE_EQ(q.customsFee, c.customsFee) << c.why;
    EXPECT_DOUBLE_EQ(q.discountFactor, c.factor) << c.why;
    EXPECT_EQ(q.otherFeeCents, c.otherFee) << c.why;
    EXPECT_STREQ(priceKind, c.priceKind) << c.why;
    EXPECT_DOUBLE_EQ(q.customsSetting, q.kind->fcustoms) << c.why;
  }
}

TEST_F(PricesDbTest, SupplierPrice) {
  struct Case {
    int32_t supplier;
    const char* destination;
    int32_t weight;
    uint8_t customs;
    int bTakeFixedFee;
    int result;
    double total, freight, standard, fuelAmount, customsFee, fixedFee;
    int32_t pricedWeight, bandStart;
    const char* why;
  } cases[] = {
      {920001, kPlace, 2000, 0, 1, 0, 71.72, 65.45, 76.50, 3.27, 0, 3.00, 2000, 2000,
       "70.00 at 85 % = 59.50, x 1.1 = 65.45, fuel 5 % 3.27, fixed fee 3.00; standard 70 + 3.50 + 3"},
      {920001, kPlace, 2000, 1, 1, 0, 76.82, 65.45, 82.50, 3.27, 5.10, 3.00, 2000, 2000,
       "and the customs fee 6.00 at 85 %"},
      {920001, kPlace, 6000, 0, 0, 0, 181.91, 173.25, 157.50, 8.66, 0, 0, 6000, 6000,
       "150.00 with the segment code 10500: 157.50, x 1.1 = 173.25, fuel 8.66; no fixed fee asked"},
      {920002, kPlace, 2000, 0, 0, 0, 12.00, 12.00, 73.50, 0, 0, 0, 2000, 0,
       "special price 2 x 12.00 at coefficient 0.5; no fuel (flag 0), yet the standard price grows 5 %"},
      {920003, kPlace, 2000, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, "no supplier price record"},
      {920004, kPlace, 2000, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, "an inactive supplier"},
      {920001, kNowhere, 2000, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, "no standard price"},
  };
  for (const Case& c : cases) {
    SupplierPriceQuery q = SupplierQuery(c.supplier, c.destination, c.weight);
    ASSERT_NE(q.kind, nullptr);
    q.customsFlag = c.customs;
    ASSERT_EQ(container_.GetSupplierPrice(q, c.bTakeFixedFee, slot_.slot()), c.result) << c.why;
    if (c.result != 0) {
      continue;
    }
    EXPECT_DOUBLE_EQ(q.total, c.total) << c.why;
    EXPECT_DOUBLE_EQ(q.freight, c.freight) << c.why;
    EXPECT_DOUBLE_EQ(q.standardPrice, c.standard) << c.why;
    EXPECT_DOUBLE_EQ(q.fuelAmount, c.fuelAmount) << c.why;
    EXPECT_DOUBLE_EQ(q.customsFee, c.customsFee) << c.why;
    EXPECT_DOUBLE_EQ(q.fixedFee, c.fixedFee) << c.why;
    EXPECT_EQ(q.pricedWeight, c.pricedWeight) << c.why;
    EXPECT_EQ(q.bandStart, c.bandStart) << c.why;
    EXPECT_DOUBLE_EQ(q.customsSetting, 6) << c.why;
  }
  // The breakdown of the first case, line by line; a coefficient of 1 writes no coefficient line.
  SupplierPriceQuery q = SupplierQuery(920001, kPlace, 2000);
  std::string text;
  ASSERT_EQ(container_.GetSupplierPrice(q, 1, slot_.slot(), &text), 0);
  EXPECT_EQ(text,
            "　     50.00(首重1000克)<BR>+      20.00(续重10.00元/500克:10.00*2)<BR>-      10.50(折扣:70.00*15.00%)<BR>"
            "*     1.1000(系数)<BR>=      65.45<BR>+       3.27(燃附5.00%)<BR>+       3.00(固定杂费)\r\n"
            "────────────────<BR> =     71.72");
  q = SupplierQuery(920002, kNoBasePlace, 2000);
  text.clear();
  ASSERT_EQ(container_.GetSupplierPrice(q, 0, slot_.slot(), &text), 0);
  EXPECT_DOUBLE_EQ(q.total, 66.00) << "discount 10000, coefficient 1, no fuel below position 1000";
  EXPECT_EQ(text, "　     66.00(速查0-10000克)<BR>────────────────<BR> =     66.00");
}

TEST_F(PricesDbTest, SuppliersAreKept) {
  const SupplierRecord* s = container_.LoadSupplier(920001, slot_.slot());
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->cname, "QP承运商");
  EXPECT_EQ(s->nbatch, 3);
  EXPECT_EQ(s->ntype, 1);
  EXPECT_EQ(container_.LoadSupplier(920001, slot_.slot()), s) << "the kept record";
  EXPECT_EQ(container_.FindSupplier(920001), s);
  EXPECT_EQ(container_.LoadSupplier(920004, slot_.slot()), nullptr) << "inactive";
  EXPECT_EQ(container_.LoadSupplier(920099, slot_.slot()), nullptr);
  EXPECT_EQ(container_.FindSupplier(920099), nullptr);
}

TEST_F(PricesDbTest, PlaceAndBasePriceProcedures) {
  PoolSlot& s = slot_.slot();
  struct Place {
    const char* text;
    int found;
    const char* carea;
    int32_t narea;
  } places[] = {
      {kPlace, 1, kPlace, 249},
      {"qp melbourne", 1, kPlace, 249},  // English name, case ignored
      {"qpm", 1, kPlace, 249},           // code
      {"旅顺QP", 1, "辽宁旅顺QP", 247},    // the end of a name
      {"旅顺QP市", 1, "辽宁旅顺QP", 247},  // without its 市
      {kNowhere, 0, "", 0},
      {"QP'墨", 0, "", 0},
      {"", 0, "", 0},
  };
  for (const Place& p : places) {
    SysPlace place;
    EXPECT_EQ(QuerySysPlace(s, p.text, &place), p.found) << p.text;
    EXPECT_STREQ(place.carea, p.carea) << p.text;
    EXPECT_EQ(place.narea, p.narea) << p.text;
  }
  SysPlace place;
  EXPECT_EQ(QuerySysPlace(s, std::string(64, 'a').c_str(), &place), 0) << "longer than 63 bytes";

  struct Base {
    const char* place;
    int32_t grams;
    int cents;
    const char* why;
  } bases[] = {
      {kPlace, 500, 4000, "(0, 1000] fixed"},
      {kPlace, 2000, 4700, "(1000, 10000]: 40.00 + 1 x 7.00"},
      {kPlace, 6000, 6500, "a later stepped band replaces: 60.00 + 1 x 5.00"},
      {kPlace, 20000, 0, "no band"},
      {kNoBasePlace, 500, 0, "an area without bands"},
      {kNowhere, 500, -4, "an unknown place"},
  };
  for (const Base& b : bases) {
    EXPECT_EQ(GetBasePriceByProc(s, b.place, "QPA", 1, b.grams), b.cents) << b.why;
  }
}

TEST_F(PricesDbTest, ZoneDefinitionsFromFileShare) {
  TestDb db;
  auto store = [&](const char* title, const std::string& body, const char* length) {
    ASSERT_TRUE(db.Exec(std::string("INSERT INTO dbo.file_share (ngrade, ctitle, ilen, vdata) VALUES (188, '") + title +
                        "', " + length + ", convert_to(" + body + ", 'GBK'))"))
        << db.error();
  };
  const std::string sorting =
      "E'[定义开始]\\r\\n类型=分拣\\r\\n快递类别=QPZ\\r\\n备用1数字=1\\r\\n备用2字母=1\\r\\n"
      "<第1区定义>,100001,100002\\r\\n<第1区定义>\\r\\n<第2区定义>,200001,200002\\r\\n<第2区定义>\\r\\n'";
  const std::string quote =
      "E'[定义开始]\\r\\n类型=报价\\r\\n快递类别=QPZ\\r\\n<第1区定义>,200001,300001\\r\\n<第1区定义>\\r\\n'";
  const std::string late = "E'[定义开始]\\r\\n类型=报价\\r\\n快递类别=QPY\\r\\n<第1区定义>,100001\\r\\n<第1区定义>\\r\\n'";
  store("Zip_Choice_Zone_0", sorting, "500");
  store("Zip_Choice_Zone_1", "'short'", "5");  // below 10 bytes: the zone list ends here
  store("Zip_Choice_Zone_2", late, "500");     // never read
  store("Zip_Choice_Price_0", quote, "500");
  store("Zip_Choice_Price_2", late, "500");  // after the missing Zip_Choice_Price_1: never read

  g_ZoneTable.Clear();
  LoadZipChoiceTables();
  EXPECT_EQ(g_ZoneTable.count(), 2u);
  char number[kZoneNumberBytes], letter[kZoneLetterBytes];
  ASSERT_EQ(g_ZoneTable.FindZone("200002", "QPZ", number, letter), 1);
  EXPECT_STREQ(number, "");  // not in the quote list, whose default is -1
  EXPECT_STREQ(letter, "B");
  ASSERT_EQ(g_ZoneTable.FindZone("200-001", "QPZ", number, letter), 1);
  EXPECT_STREQ(number, "1");
  EXPECT_STREQ(letter, "B");
  EXPECT_EQ(g_ZoneTable.FindZoneNumber("100001", "QPY"), -1);
  g_ZoneTable.Clear();
}

}  // namespace
