// The money rules of prices: discount codes and their arithmetic, how a band of a client table prices
// a weight and explains it, the quote's explanation text with each of its lines, the quoted weight of
// a request, the quote memo, and the goods summary of a shipment.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "pricing/goods_line.h"
#include "pricing/prices.h"
#include "pricing/quote.h"

namespace {

TEST(Discounts, CodesAndTheirArithmetic) {
  struct Adjust {
    int64_t cents;
    int32_t code;
    int64_t expected;
    const char* why;
  } adjust[] = {
      {1000, 9500, 950, "the 50.00-cent discount"},
      {1001, 9500, 951, "(500 x 1001 + 5000) / 10000 = 50: 50.55 cents cut to 50"},
      {1010, 9500, 959, "(500 x 1010 + 5000) / 10000 = 51: 50.5 cents round up"},
      {1000, 10500, 1050, "above 10000 adds"},
      {1000, 10000, 1000, "10000 is no discount"},
      {1000, 0, 1000, "no code"},
      {34000, 9000, 30600, "10 % of 340.00"},
  };
  for (const Adjust& a : adjust) {
    EXPECT_EQ(AdjustByDiscount(a.cents, a.code), a.expected) << a.why;
  }
  const uint8_t table[8] = {95, 90, 100, 80, 50, 0, 0, 25};
  EXPECT_EQ(DiscountCodeOf(table, 0), 9550);
  EXPECT_EQ(DiscountCodeOf(table, 1), 9000);
  EXPECT_EQ(DiscountCodeOf(table, 2), 10000);
  EXPECT_EQ(DiscountCodeOf(table, 3), 8025);
  EXPECT_EQ(DiscountCodeOf(table, 4), kDiscountNone);
  EXPECT_DOUBLE_EQ(DiscountToFactor(10000), 0);
  EXPECT_DOUBLE_EQ(DiscountToFactor(9500), 0.95);
  EXPECT_DOUBLE_EQ(DiscountToFactor(10500), 1.05);

  struct Ratio {
    double base, price, factor;
  } ratios[] = {{100, 95, 0.95}, {3, 1, 0.3333}, {70, 25, 0.3571}, {10, 10, 0}, {0.005, 1, 0}, {1, 20, 9.9999}};
  for (const Ratio& r : ratios) {
    EXPECT_DOUBLE_EQ(DiscountRatio(r.base, r.price), r.factor) << r.base << " " << r.price;
  }
  EXPECT_EQ(PercentOfCents(12.5, 22500), 2813) << "12.5 % of 225.00 = 28.125";
  EXPECT_EQ(PercentOfCents(NAN, 22500), 0);
  EXPECT_EQ(PerKgCents(2500, 1500), 3750);
  EXPECT_EQ(PerKgCents(1001, 1050), 1051) << "10.5105 yuan";
  EXPECT_EQ(PerKgCents(1, 500), 1) << "0.005 yuan rounds up";
  EXPECT_EQ(CentsOf(999.9), 99990);
}

PriceBand Band(uint8_t ntype, int32_t ibweight, int32_t ieweight, int32_t step, int32_t iprice, int32_t itopprice) {
  PriceBand b;
  b.ntype = ntype;
  b.ibweight = ibweight;
  b.ieweight = ieweight;
  b.iweightper = step;
  b.iprice = iprice;
  b.itopprice = itopprice;
  return b;
}

TEST(ClientBands, PriceAndExplainAWeight) {
  struct Case {
    PriceBand band;
    int32_t w;
    int64_t cents;
    int32_t accounted;
    const char* lines;
  } cases[] = {
      {Band(0, 0, 500, 0, 0, 1200), 500, 1200, 0, "　     12.00(速查0-500克)<BR>"},
      {Band(1, 0, 5000, 500, 600, 0), 1001, 1800, 1000, "　     18.00(总乘6.00元/500克:6.00*3)<BR>"},
      {Band(3, 0, 30000, 0, 1500, 2000), 2500, 5750, 0,
       "　     37.50(直乘15.00元/公斤:15.00*2.5公斤)<BR>+      20.00(额外加价)<BR>"},
      {Band(3, 0, 30000, 0, 1500, 0), 3000, 4500, 0, "　     45.00(直乘15.00元/公斤:15.00*3公斤)<BR>"},
      {Band(2, 1000, 5000, 1000, 800, 2000), 1001, 2800, 1000,
       "　     20.00(首重1000克)<BR>+       8.00(续重8.00元/1000克:8.00*1)<BR>"},
      {Band(2, 1000, 5000, 1000, 800, 2000), 3000, 3600, 3000,
       "　     20.00(首重1000克)<BR>+      16.00(续重8.00元/1000克:8.00*2)<BR>"},
  };
  for (const Case& c : cases) {
    const BandPrice p = ClientBandPrice(c.band, c.w);
    ASSERT_TRUE(p.bValid) << c.lines;
    EXPECT_EQ(p.cents, c.cents) << c.lines;
    EXPECT_EQ(p.accounted, c.accounted) << c.lines;
    std::string text;
    AppendBandLines(text, c.band, p, c.w);
    EXPECT_EQ(text, c.lines);
  }
  EXPECT_FALSE(ClientBandPrice(Band(1, 0, 500, 0, 600, 0), 100).bValid) << "a step of 0";
  EXPECT_FALSE(ClientBandPrice(Band(2, 0, 500, -5, 600, 0), 100).bValid);
}

PriceExplainInput Quote(PriceBand band, int32_t grams, int result) {
  PriceExplainInput in;
  in.band = band;
  in.grams = grams;
  in.result = result;
  return in;
}

TEST(PriceExplanation, EachLine) {
  struct Case {
    PriceExplainInput in;
    int64_t total;
    const char* text;
    const char* why;
  };
  std::vector<Case> cases;
  {
    // The demo quote of EMS: 1.5 kg to area 5, 90 % for the client, 12.5 % fuel, customs 20.00.
    PriceExplainInput in = Quote(Band(2, 500, 30000, 500, 4500, 16000), 1500, kResultPeer);
    in.discountCode = 9000;
    in.fuelRate = 12.5;
    in.customsFee = 20;
    in.areaType = 1;
    cases.push_back({in, 27313,
                     "　    160.00(首重500克)<BR>+      90.00(续重45.00元/500克:45.00*2)<BR>"
                     "-      25.00(折扣:250.00*10.00%)<BR>+      28.13(燃附12.50%)<BR>+      20.00(报关费)<BR>"
                     "────────────────<BR> =    273.13(同行报价)<BR>",
                     "peer price: discount, fuel, customs"});
  }
  {
    PriceExplainInput in = Quote(Band(0, 0, 2000, 0, 0, 4000), 1500, kResultMember);
    in.discountCode = 9500;
    in.fuelRate = 50;  // not the member price's
    in.customsFee = 99;
    in.dict86 = 8;
    in.dict87 = 10;
    in.nallcustoms = 1;
    in.ndiscountc = 1;
    in.nextra = 1;  // never for member prices
    in.basePriceCents = 100000;
    cases.push_back({in, 5054,
                     "　     40.00(速查0-2000克)<BR>-       2.00(折扣:40.00*5.00%)<BR>+       3.04(燃附8.00%)<BR>"
                     "+       9.50(报关费)<BR>────────────────<BR> =     50.54(会员价)<BR>",
                     "member price: rows 86 and 87, the customs fee discounted"});
  }
  {
    PriceExplainInput in = Quote(Band(1, 0, 5000, 500, 600, 0), 1001, kResultSpecialZone);
    in.discountCode = 9000;  // not for special prices
    in.fuelRate = 10;        // the flag is off
    in.customsFee = 15;
    in.areaType = 1;
    in.fixedFeeCents = 250;
    cases.push_back({in, 3550,
                     "　     18.00(总乘6.00元/500克:6.00*3)<BR>+      15.00(报关费)<BR>+       2.50(固定杂费)\r\n"
                     "────────────────<BR> =     35.50(特殊分区价)<BR>",
                     "special zone price: no discount, no fuel without the flag, the fixed fee"});
  }
  {
    PriceExplainInput in = Quote(Band(0, 0, 2000, 0, 0, 5000), 1000, kResultSpecialPlace);
    in.addons = 1;
    in.fuelRate = 10;
    cases.push_back({in, 5500, "　     50.00(速查0-2000克)<BR>+       5.00(燃附10.00%)<BR>────────────────<BR> =     55.00(特殊目的地价)<BR>",
                     "special destination price with the fuel flag"});
  }
  {
    PriceExplainInput in = Quote(Band(3, 0, 30000, 0, 1500, 2000), 2500, kResultPeer);
    in.segmentCode = 10500;
    in.discountCode = 9000;  // the segment code stands for it
    in.fuelRate = 10;
    in.nextra = 1;
    in.basePriceCents = 30000;
    in.customsFee = 10;
    in.areaType = 1;
    in.ndiscountc = 1;
    cases.push_back({in, 10088,
                     "　     37.50(直乘15.00元/公斤:15.00*2.5公斤)<BR>+      20.00(额外加价)<BR>"
                     "+       2.88(段折扣:57.50*5.00%)\r\n+      30.00(燃附10.00%)<BR>+      10.50(报关费)<BR>"
                     "────────────────<BR> =    100.88(同行报价)<BR>",
                     "segment surcharge, fuel on the base price, customs by the segment code"});
  }
  {
    PriceExplainInput in = Quote(Band(3, 0, 30000, 0, 1500, 2000), 2500, kResultPeer);
    in.segmentCode = 9000;
    cases.push_back({in, 5175,
                     "　     37.50(直乘15.00元/公斤:15.00*2.5公斤)<BR>+      20.00(额外加价)<BR>"
                     "-       5.75(段折扣:57.50*10.00%)\r\n────────────────<BR> =     51.75(同行报价)<BR>",
                     "segment discount"});
  }
  for (const Case& c : cases) {
    const PriceExplanation e = FormatPriceHtml(c.in);
    EXPECT_TRUE(e.bPriced) << c.why;
    EXPECT_EQ(e.totalCents, c.total) << c.why;
    EXPECT_EQ(e.text, c.text) << c.why;
  }
  EXPECT_FALSE(FormatPriceHtml(Quote(Band(2, 0, 5000, 0, 100, 0), 1000, kResultPeer)).bPriced)
      << "a stepped band without a step prices nothing";
}

TEST(QuotedWeight, SidesAndVolume) {
  struct Side {
    double cm;
    int32_t whole;
  } sides[] = {{30.05, 30}, {30.1, 31}, {30.0, 30}, {0.1, 1}, {0, 0}, {-3, 0}, {NAN, 0}, {1e12, kQuoteSideMaxCm}};
  for (const Side& s : sides) {
    EXPECT_EQ(QuoteSide(s.cm), s.whole) << s.cm;
  }
  struct Case {
    double kg, l, w, h;
    int32_t divisor;
    double quoted;
    const char* why;
  } cases[] = {
      {1.2, 30, 20, 15, 6000, 1.5, "9000 cm3: (900000 + 5) / 6000 = 150 hundredths"},
      {2.0, 30, 20, 15, 6000, 2.0, "the weight is larger"},
      {1.2, 30, 20, 15, 5000, 1.8, "divisor 5000"},
      {1.2, 30, 20, 15, 0, 1.5, "no divisor: (9000 / 6 + 5) / 10"},
      {0, 1, 1, 5, 6000, 0, "5 cm3 weighs nothing"},
      {1.2, 30, 20, 0, 6000, 1.2, "a side missing: no volume weight"},
      {1.2, 29.05, 20, 15, 6000, 1.45, "29.05 counts as 29: 8700 cm3"},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(QuotedWeightKg(c.kg, c.l, c.w, c.h, c.divisor), c.quoted) << c.why;
  }
}

TEST(QuoteMemo, JoinsAndBreaksLines) {
  EXPECT_EQ(QuoteMemo("时效快\r\n全程跟踪", "限重30公斤"), "时效快<BR>全程跟踪<BR>限重30公斤");
  EXPECT_EQ(QuoteMemo("", "限重\n2公斤"), "限重<BR>2公斤");
  EXPECT_EQ(QuoteMemo("a \"b\" \\c", ""), "a \"b\" \\c<BR>") << "quotes stay for the JSON writer to escape";
}

TEST(GoodsSummary, JoinsTheLines) {
  std::vector<GoodsLine> lines(3);
  std::snprintf(lines[0].cxGoods, sizeof lines[0].cxGoods, "丝绸围巾(红)");
  std::snprintf(lines[0].cxGoodsA, sizeof lines[0].cxGoodsA, "Silk scarf");
  std::snprintf(lines[0].cxGCodeA, sizeof lines[0].cxGCodeA, "6214.40");
  lines[0].ixQuantity = 2;
  lines[0].fxPrice = 38;
  lines[0].fxGCustom = 76;
  lines[0].fxGCRate = 0.13;
  std::snprintf(lines[1].cxGoods, sizeof lines[1].cxGoods, "陶瓷茶杯");
  lines[1].ixQuantity = 0;  // counts as 1
  lines[1].fxPrice = 15.5;
  lines[1].fxGCustom = 15.5;
  lines[1].fxGCRate = 0.1;
  std::snprintf(lines[2].cxGoods, sizeof lines[2].cxGoods, "书");
  lines[2].ixQuantity = 3;
  lines[2].fxPrice = 10;
  GoodsLine out;
  ASSERT_EQ(JoinGoodsNames(lines, out), 3u);
  EXPECT_STREQ(out.cxGoods, "丝绸围巾,陶瓷茶杯,书");
  EXPECT_STREQ(out.cxQuantityList, "2,1,3");
  EXPECT_STREQ(out.cxGoodsA, "Silk scarf,,");
  EXPECT_STREQ(out.cxGCodeA, "6214.40,,");
  EXPECT_EQ(out.ixQuantity, 6);
  EXPECT_EQ(lines[1].ixQuantity, 1);
  EXPECT_DOUBLE_EQ(out.fxTotalValue, 121.5);
  EXPECT_DOUBLE_EQ(out.fxPrice, 121.5 / 6);
  EXPECT_DOUBLE_EQ(out.fxGCustom, 91.5);
  EXPECT_DOUBLE_EQ(out.fxGCRate, 0.13);

  // Names stop at the first that would reach 254 bytes; quantities at 62.
  std::vector<GoodsLine> many(40);
  for (GoodsLine& g : many) {
    std::snprintf(g.cxGoods, sizeof g.cxGoods, "名称名称名称"); // 12 bytes
    g.ixQuantity = 100;
  }
  ASSERT_EQ(JoinGoodsNames(many, out), 40u);
  EXPECT_EQ(std::string(out.cxGoods).size(), 12u * 19 + 18) << "19 names of 12 bytes and 18 commas: 246 bytes";
  EXPECT_EQ(std::string(out.cxQuantityList).size(), 3u * 15 + 14) << "15 quantities: 59 bytes";
  EXPECT_EQ(out.ixQuantity, 4000);

  std::vector<GoodsLine> empty;
  ASSERT_EQ(JoinGoodsNames(empty, out), 0u);
  EXPECT_EQ(out.ixQuantity, 1);
  EXPECT_DOUBLE_EQ(out.fxPrice, 0);
}

}  // namespace
