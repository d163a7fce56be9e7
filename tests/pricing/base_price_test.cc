// The base price table: the band rules at their edges for both item types, the order of bands, the
// bands refused at insert, and the container's base price of a place.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "pricing/base_price.h"
#include "pricing/ostrum_container.h"
#include "util/text.h"

namespace {

PriceBand Band(int32_t from, int32_t to, int32_t step, uint8_t rule, int32_t price, int32_t top) {
  PriceBand b;
  b.ibweight = from;
  b.ieweight = to;
  b.iweightper = step;
  b.ntype = rule;
  b.iprice = price;
  b.itopprice = top;
  return b;
}

TEST(BasePriceTable, PricesWeightsAtBandEdges) {
  CBasePriceTable t;
  // Area 1, documents (item type 0).
  ASSERT_EQ(t.InsertBand(Band(0, 500, 0, kBandFixed, 0, 1200), 0, 0), 1);
  // Area 2, documents: per step.
  ASSERT_EQ(t.InsertBand(Band(0, 30000, 500, kBandPerStep, 600, 0), 1, 0), 1);
  // Area 1, parcels (item type 1): base plus per kg, and base plus steps.
  ASSERT_EQ(t.InsertBand(Band(0, 1000, 0, kBandPerKg, 1500, 2000), 0, 1), 1);
  ASSERT_EQ(t.InsertBand(Band(1000, 5000, 1000, 2, 800, 2000), 0, 1), 1);
  // Area 3, item type 2.
  ASSERT_EQ(t.InsertBand(Band(0, 2000, 0, kBandFixed, 0, 3300), 2, 2), 1);

  struct Case {
    int32_t grams;
    int area, itemType;
    int32_t want;
    const char* why;  // by hand from the band rules
  } cases[] = {
      {500, 1, 0, 1200, "fixed band, its end is inside"},
      {501, 1, 0, 0, "past the only band: no price"},
      {0, 1, 0, 0, "a weight equal to the band start is outside"},
      {1001, 2, 0, 1800, "ceil(1001 / 500) = 3 steps x 600"},
      {1000, 2, 0, 1200, "exactly 2 steps"},
      {1, 2, 0, 600, "a part step counts whole"},
      {1000, 1, 1, 3500, "2000 + 1000 x 1500 / 1000"},
      {999, 1, 1, 3498, "2000 + 999 x 1500 / 1000 = 2000 + 1498 (integer division)"},
      {1001, 1, 1, 2800, "1000 is the end of the per-kg band: 2000 + ceil(1 / 1000) x 800"},
      {3000, 1, 1, 3600, "2000 + ceil(2000 / 1000) x 800"},
      {5000, 1, 1, 5200, "2000 + 4 x 800 at the band end"},
      {5001, 1, 1, 0, "past the last band"},
      {500, 1, 1, 2750, "2000 + 500 x 1500 / 1000"},
      {2000, 3, 2, 3300, "item type 2"},
      {2000, 3, 7, 3300, "any other item type uses the type-2 cells"},
      {2000, 3, -1, 3300, "a negative item type too"},
      {500, 0, 0, 0, "area 0 has no price"},
      {500, 257, 0, 0, "no area above 256"},
      {500, 4, 0, 0, "an area without bands"},
      {500, 1, 2, 0, "an item type without bands there"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(t.PriceForWeight(c.grams, c.area, c.itemType), c.want) << c.why;
  }
  EXPECT_EQ(t.BandCount(), 5);
}

TEST(BasePriceTable, TheBandRulesOfTheSpecificationExamples) {
  struct Case {
    PriceBand band;
    int32_t grams;
    int32_t want;
  } cases[] = {
      {Band(0, 500, 0, kBandFixed, 0, 1200), 500, 1200},
      {Band(0, 500, 0, kBandFixed, 0, 1200), 501, 0},
      {Band(0, 99999, 500, kBandPerStep, 600, 0), 1001, 1800},
      {Band(0, 99999, 0, kBandPerKg, 1500, 2000), 2500, 5750},  // 2000 + 3750
      {Band(1000, 5000, 1000, 2, 800, 2000), 1001, 2800},
      {Band(1000, 5000, 1000, 2, 800, 2000), 3000, 3600},
      {Band(1000, 5000, 1000, 2, 800, 2000), 1000, 0},
  };
  for (const Case& c : cases) {
    CBasePriceTable t;
    ASSERT_EQ(t.InsertBand(c.band, 0, 0), 1);
    EXPECT_EQ(t.PriceForWeight(c.grams, 1, 0), c.want) << "rule " << int(c.band.ntype) << ", " << c.grams << " g";
  }
}

TEST(BasePriceTable, AStepBandLetsALaterMatchingBandReplaceIt) {
  CBasePriceTable t;
  ASSERT_EQ(t.InsertBand(Band(0, 5000, 1000, 2, 100, 1000), 0, 0), 1);   // goes on after a match
  ASSERT_EQ(t.InsertBand(Band(1000, 3000, 0, kBandFixed, 0, 777), 0, 0), 1);  // stops
  ASSERT_EQ(t.InsertBand(Band(2000, 9000, 0, kBandFixed, 0, 888), 0, 0), 1);
  EXPECT_EQ(t.PriceForWeight(500, 1, 0), 1100);   // only the step band
  EXPECT_EQ(t.PriceForWeight(2500, 1, 0), 777);   // the fixed band replaces it and stops the search
  EXPECT_EQ(t.PriceForWeight(4000, 1, 0), 888);   // step band (4000) replaced by the third band

  CBasePriceTable two;
  ASSERT_EQ(two.InsertBand(Band(0, 5000, 1000, 2, 100, 1000), 0, 0), 1);
  ASSERT_EQ(two.InsertBand(Band(1000, 5000, 1000, 2, 200, 5000), 0, 0), 1);
  EXPECT_EQ(two.PriceForWeight(2500, 1, 0), 5000 + 2 * 200);  // the later step band's value stands
}

TEST(BasePriceTable, InsertKeepsOrderAndRefusesWhatCannotPrice) {
  CBasePriceTable t;
  EXPECT_EQ(t.InsertBand(Band(1000, 2000, 0, kBandFixed, 0, 2), 0, 1), 1);
  EXPECT_EQ(t.InsertBand(Band(0, 1000, 0, kBandFixed, 0, 1), 0, 1), 1);
  EXPECT_EQ(t.InsertBand(Band(2000, 3000, 0, kBandFixed, 0, 3), 0, 1), 1);
  EXPECT_EQ(t.InsertBand(Band(1000, 9999, 0, kBandFixed, 0, 9), 0, 1), 0) << "same ibweight";
  EXPECT_EQ(t.InsertBand(Band(0, 10, 0, kBandPerStep, 5, 0), 0, 1), 0) << "per step without a step";
  EXPECT_EQ(t.InsertBand(Band(0, 10, -5, 2, 5, 0), 0, 1), 0) << "negative step";
  EXPECT_EQ(t.InsertBand(Band(0, 10, 0, kBandFixed, 0, 1), kAreaCount, 0), 0) << "area index 256";
  EXPECT_EQ(t.InsertBand(Band(0, 10, 0, kBandFixed, 0, 1), -1, 0), 0) << "negative area index";
  EXPECT_EQ(t.InsertBand(Band(0, 10, 0, kBandFixed, 0, 1), 0, kItemTypeCount), 0) << "item type 3";
  const CPriceBandList* list = t.FindBandList(1, 0);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->bands().size(), 3u);
  EXPECT_EQ(list->bands()[0].itopprice, 1);
  EXPECT_EQ(list->bands()[1].itopprice, 2);
  EXPECT_EQ(list->bands()[2].itopprice, 3);
}

TEST(BasePriceTable, AnEmptyCellPricesNothingAndHugePricesAreHeld) {
  CBasePriceTable t;
  ASSERT_NE(t.GetBandList(0, 5), nullptr);  // created empty
  EXPECT_EQ(t.PriceForWeight(100, 6, 0), 0);
  EXPECT_EQ(t.GetBandList(3, 0), nullptr);

  // 2e9 steps of 2e9 cents would overflow 32 bits: the value is held at INT32_MAX.
  ASSERT_EQ(t.InsertBand(Band(0, std::numeric_limits<int32_t>::max(), 1, kBandPerStep, 2000000000, 0), 0, 0), 1);
  EXPECT_EQ(t.PriceForWeight(2000000000, 1, 0), std::numeric_limits<int32_t>::max());
  t.Clear();
  EXPECT_EQ(t.BandCount(), 0);
  EXPECT_EQ(t.PriceForWeight(100, 1, 0), 0);
}

TEST(OstrumContainer, BasePriceOfAPlaceUsesItsArea) {
  auto c = std::make_unique<COstrumContainer>();
  PlaceRecord gz;
  gz.iid = 1;
  tw::CopyTextLimited(gz.carea, "广州", sizeof gz.carea - 1);
  gz.narea = 1;
  c->places.LoadRows({gz});
  ASSERT_EQ(c->basePrices.InsertBand(Band(0, 1000, 0, kBandFixed, 0, 1200), 0, 1), 1);
  // Area 255 is where places that no place names fall.
  ASSERT_EQ(c->basePrices.InsertBand(Band(0, 1000, 0, kBandFixed, 0, 9900), kUnknownArea - 1, 1), 1);
  EXPECT_EQ(c->GetBasePrice(800, "广州", 1), 1200);
  EXPECT_EQ(c->GetBasePrice(800, "广州", 0), 0);     // no document bands
  EXPECT_EQ(c->GetBasePrice(1001, "广州", 1), 0);    // past the band
  EXPECT_EQ(c->GetBasePrice(800, "火星", 1), 9900);  // unknown place: area 255
}

}  // namespace
