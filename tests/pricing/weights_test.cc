// Parcel pieces and chargeable weight: the piece-list and dimension readers, a piece's volume weight
// by letter and by code with the blend percentage and the 10-gram rounding of dictionary row "47",
// and the shipment's weight per piece or whole (dictionary row "115").

#include <gtest/gtest.h>

#include <string>

#include "pricing/ostrum_container.h"
#include "pricing/pieces.h"

namespace {

TEST(PieceItems, ReadsUntilTheFirstPieceWithoutWeight) {
  // Request bodies carry UTF-8; the pieces keep GBK.
  const std::string list =
      std::string("[{\"fxWeight\":1.2345,\"ixLong\":30,\"ixWidth\":20,\"ixHeight\":10,\"ixQuantity\":3,"
                  "\"fxPrice\":12.34,\"cxGoods\":\"") +
      reinterpret_cast<const char*>(u8"丝绸") +
      "\",\"cxNum\":\"0123456789012345678901234567890123\",\"fxGCRate\":0.13},"
      "{\"fxWeight\":0,\"ixLong\":5},{\"fxWeight\":2}]";
  PieceList pieces;
  ASSERT_EQ(ParsePieceItems(pieces, list), 1u);  // the second object has no weight: it and the third stop
  const PieceItem& p = pieces[0];
  EXPECT_EQ(p.index, 1);
  EXPECT_EQ(p.weight, 1234);  // ScaleToInt(1.2345 x 1000) = 1234.5 + 0.1 truncated
  EXPECT_EQ(p.length, 30);
  EXPECT_EQ(p.width, 20);
  EXPECT_EQ(p.height, 10);
  EXPECT_EQ(p.quantity, 3);
  EXPECT_EQ(p.price, 1234);
  EXPECT_EQ(p.percent, 100);
  EXPECT_STREQ(p.cxGoods, "丝绸");
  EXPECT_STREQ(p.cxNum, "012345678901234567890123456789");  // cut at 30
  EXPECT_DOUBLE_EQ(p.fxGCRate, 0.13);
  EXPECT_EQ(p.ibag, 0);

  // A second list appends after the first, numbering on.
  ASSERT_EQ(ParsePieceItems(pieces, "[{\"fxWeight\":0.5},{\"fxWeight\":0.25}]"), 2u);
  EXPECT_EQ(pieces[2].index, 3);
  EXPECT_EQ(pieces[2].weight, 250);
  FreePtrArrayItems(pieces);
  EXPECT_TRUE(pieces.empty());
}

TEST(PieceItems, DimensionTexts) {
  struct Case {
    const char* text;
    int32_t l, w, h;
    char letter;
  } cases[] = {
      {"30*20*10D", 30, 20, 10, 'D'},
      {"30*20*10", 30, 20, 10, 0},
      {"30*20", 30, 20, 0, 0},   // no second "*": no height
      {"30", 0, 0, 0, 0},        // no "*": no sides
      {"40*30*20ET", 40, 30, 20, 'T'},  // T before E
      {"DTE", 0, 0, 0, 'D'},     // D before both
      {"10*10*10 E", 10, 10, 10, 'E'},
      {"", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t l = -1, w = -1, h = -1;
    EXPECT_EQ(ParseDimensionsWithLetter(c.text, &l, &w, &h), c.letter) << c.text;
    EXPECT_EQ(l, c.l) << c.text;
    EXPECT_EQ(w, c.w) << c.text;
    EXPECT_EQ(h, c.h) << c.text;
  }
  PieceList pieces;
  EXPECT_EQ(AddPieceFromDimensions(pieces, "0*10*10D", 1.0), 'D');
  EXPECT_TRUE(pieces.empty());  // no length: no piece
  EXPECT_EQ(AddPieceFromDimensions(pieces, "40*30*20E", 2.5), 'E');
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].weight, 2500);
  EXPECT_EQ(pieces[0].height, 20);
  EXPECT_EQ(pieces[0].percent, 100);
}

TEST(ChargeWeight, OnePiece) {
  // Expectations computed by hand from L x W x H / divisor (5 D, 3 T, 8 E, else 6; codes 1..4 give 5,
  // 6, 8, 3 and round up to 500 g).
  struct Case {
    int32_t l, w, h, g;
    int percent;
    char letter;
    int code;
    int rounding;
    int32_t expected;
    const char* why;
  } cases[] = {
      {50, 40, 30, 4000, 100, 'E', 0, -1, 7500, "60000 / 8"},
      {50, 40, 30, 4000, 50, 'E', 0, -1, 5750, "(50 x 7500 + 50 x 4000) / 100"},
      {50, 40, 30, 4000, 0, 'E', 0, -1, 4000, "percent 0 charges the real weight"},
      {50, 40, 30, 9000, 100, 'E', 0, -1, 9000, "the real weight is not smaller"},
      {50, 40, 30, 4000, 100, 'D', 0, -1, 12000, "60000 / 5"},
      {50, 40, 30, 4000, 100, 'T', 0, -1, 20000, "60000 / 3"},
      {50, 40, 30, 4000, 100, 0, 0, -1, 10000, "60000 / 6"},
      {50, 40, 30, 4000, 100, 'E', 2, -1, 10000, "code 2: 60000 / 6, a multiple of 500"},
      {50, 40, 30, 10001, 100, 'E', 2, -1, 10500, "code 2: the real 10001 g up to 10500"},
      {50, 40, 30, 4000, 0, 'E', 3, -1, 7500, "code 3: 60000 / 8, the percent does not count"},
      {10, 10, 10, 1, 100, 0, 4, -1, 500, "code 4: 1000 / 3 = 333, up to 500"},
      {41, 61, 18, 100, 100, 0, 0, 9, 7510, "45018 / 6 = 7503, rounding 9: up to 7510"},
      {41, 61, 18, 100, 100, 0, 0, 5, 7500, "7503, rounding 5: nearest 10"},
      {41, 61, 18, 100, 100, 0, 0, -1, 7503, "no rounding"},
      {41, 61, 18, 4000, 50, 0, 0, 9, 5760, "blend (7510 + 4000) / 2 = 5755, rounded up to 5760"},
      {41, 61, 18, 7505, 100, 0, 0, 9, 7510, "real 7505 < volume 7510"},
  };
  for (const Case& c : cases) {
    COstrumContainer container;
    container.weightRounding = c.rounding;
    EXPECT_EQ(container.CalcVolumeWeight(c.l, c.w, c.h, c.g, c.percent, c.letter, c.code), c.expected) << c.why;
  }
  COstrumContainer container;
  EXPECT_EQ(container.CalcVolumeWeight(2000000000, 2000000000, 2000000000, 1, 100, 'T', 0), INT32_MAX)
      << "sides beyond a kilometre are held there; the grams at the 32-bit limit";
}

TEST(ChargeWeight, Shipment) {
  // Piece A: 50 x 40 x 30, 4000 g (E: 7500 g); piece B: 10 x 10 x 10, 2000 g (E: 125 g).
  PieceItem a, b;
  a.length = 50, a.width = 40, a.height = 30, a.weight = 4000;
  b.length = 10, b.width = 10, b.height = 10, b.weight = 2000;
  PieceItem half = b;
  half.percent = 50;
  PieceItem none = b;
  none.percent = 0;
  struct Case {
    PieceList pieces;
    bool wholeFlag;  // dictionary row "115"
    int bWhole;
    int code;
    int rounding;
    double kg;
    int32_t grams;
    double realKg;
    double m3;
    const char* why;
  } cases[] = {
      {{}, false, 0, 0, -1, 0, 0, 0, 0, "no pieces"},
      {{a, b}, false, 0, 0, -1, 9.5, 9500, 6.0, 0.061, "per piece 7500 + 2000; 61000 cm3 = 61 l"},
      {{a, b}, false, 1, 0, -1, 7.625, 7625, 6.0, 0.061, "whole: 61000 / 8 = 7625 against 6000"},
      {{a, b}, true, 0, 0, -1, 7.625, 7625, 6.0, 0.061, "whole by row 115"},
      {{a, b}, true, 1, 2, -1, 12.0, 12000, 6.0, 0.061, "a code weighs per piece: 10000 + 2000"},
      {{a, half}, false, 1, 0, -1, 6.812, 6812, 6.0, 0.061, "the last piece's 50 %: (7625 + 6000) / 2"},
      {{a, none}, false, 1, 0, -1, 6.0, 6000, 6.0, 0.061, "the last piece's 0 %: the real weight"},
      {{a, b}, false, 0, 0, 9, 9.5, 9500, 6.0, 0.061, "rounding 9: 7500 + 2000, (9500 + 1) / 10 tens"},
  };
  for (const Case& c : cases) {
    COstrumContainer container;
    container.wholeShipmentWeight = c.wholeFlag;
    container.weightRounding = c.rounding;
    int32_t grams = -1;
    double realKg = -1, m3 = -1;
    EXPECT_DOUBLE_EQ(container.CalcChargeWeight(c.pieces, 'E', c.bWhole, &grams, &realKg, &m3, c.code), c.kg) << c.why;
    EXPECT_EQ(grams, c.grams) << c.why;
    EXPECT_DOUBLE_EQ(realKg, c.realKg) << c.why;
    EXPECT_DOUBLE_EQ(m3, c.m3) << c.why;
  }
}

TEST(ChargeWeight, RoundingAndVolumeReport) {
  // With rounding the grams are kept in whole tens: (grams + 1) / 10.
  struct Case {
    int32_t grams;
    double kg;
  } rounded[] = {{7503, 7.50}, {7508, 7.50}, {7509, 7.51}, {7510, 7.51}};
  for (const Case& c : rounded) {
    COstrumContainer container;
    container.weightRounding = 5;
    PieceItem p;
    p.length = p.width = p.height = 1;
    p.weight = c.grams;
    int32_t grams = 0;
    double realKg = 0, m3 = 0;
    EXPECT_DOUBLE_EQ(container.CalcChargeWeight({p}, 0, 0, &grams, &realKg, &m3, 0), c.kg) << c.grams;
    EXPECT_EQ(grams, static_cast<int32_t>(c.kg * 100 + 0.5) * 10) << c.grams;
    EXPECT_EQ(m3, 0) << "1 cm3 is below 500";
  }
  struct Volume {
    int32_t l, w, h;
    double m3;
  } volumes[] = {
      {499, 1, 1, 0},             // below 500 cm3
      {500, 1, 1, 0.001},         // (500 + 500) / 1000 = 1 litre
      {1499, 1, 1, 0.001},        // 1999 / 1000 = 1 litre
      {100, 100, 150, 1.5},       // 1,500,000 cm3
      {2000, 1000, 2000, 2100},   // 4000 m3, held at 2100
  };
  for (const Volume& v : volumes) {
    COstrumContainer container;
    PieceItem p;
    p.length = v.l, p.width = v.w, p.height = v.h, p.weight = 1;
    int32_t grams = 0;
    double realKg = 0, m3 = 0;
    (void)container.CalcChargeWeight({p}, 'E', 1, &grams, &realKg, &m3, 0);
    EXPECT_DOUBLE_EQ(m3, v.m3) << v.l << "x" << v.w << "x" << v.h;
  }
}

}  // namespace
