// The dictionary settings of the reference-data container and their defaults.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pricing/ostrum_container.h"

namespace {

TEST(OstrumContainer, StartsWithItsDefaults) {
  auto c = std::make_unique<COstrumContainer>();
  EXPECT_FALSE(c->IsLoaded());
  EXPECT_EQ(c->volumeDivisor, 6000);
  EXPECT_EQ(c->volumeLetter, 0);
  EXPECT_EQ(c->weightRounding, -1);
  EXPECT_TRUE(c->dict64);
  EXPECT_FALSE(c->dict27);
  EXPECT_TRUE(c->controlCodes.empty());
  EXPECT_EQ(c->places.size(), 0u);
  EXPECT_EQ(c->basePrices.BandCount(), 0);
}

TEST(OstrumContainer, MapsDictionaryRowsToItsSettings) {
  struct Case {
    const char* name;
    const char* value;
    int32_t divisor;
    char letter;
    int32_t rounding;
    const char* why;  // the mapping of each row
  } cases[] = {
      {"75", "D", 5000, 'D', -1, "D: 5000 cm3 per kg"},
      {"75", "E", 8000, 'E', -1, "E: 8000"},
      {"75", "T", 3000, 'T', -1, "T: 3000"},
      {"75", "X", 6000, 'X', -1, "any other letter keeps 6000 and is kept as the letter"},
      {"75", "Ex", 8000, 'E', -1, "only the first letter counts"},
      {"47", "1", 6000, 0, 5, "1: nearest 10 g"},
      {"47", "2", 6000, 0, 9, "2: up to the next 10 g"},
      {"47", "3", 6000, 0, -1, "3: no rounding"},
      {"47", "7", 6000, 0, 7, "any other number as it is"},
      {"47", "0", 6000, 0, 0, "0 as it is"},
  };
  for (const Case& k : cases) {
    auto c = std::make_unique<COstrumContainer>();
    c->SetDictValue(k.name, k.value);
    EXPECT_EQ(c->volumeDivisor, k.divisor) << k.why;
    EXPECT_EQ(c->volumeLetter, k.letter) << k.why;
    EXPECT_EQ(c->weightRounding, k.rounding) << k.why;
  }
}

TEST(OstrumContainer, FlagsAreTheFirstCharacterBeingOne) {
  struct Case {
    const char* value;
    bool want;
  } cases[] = {{"1", true}, {"10", true}, {"0", false}, {"", false}, {"01", false}, {"true", false}};
  for (const Case& k : cases) {
    auto c = std::make_unique<COstrumContainer>();
    c->SetDictValue("27", k.value);
    c->SetDictValue("115", k.value);
    c->SetDictValue("64", k.value);
    EXPECT_EQ(c->dict27, k.want) << k.value;
    EXPECT_EQ(c->wholeShipmentWeight, k.want) << k.value;
    EXPECT_EQ(c->dict64, k.want) << k.value;
  }
}

TEST(OstrumContainer, TextsAndNumbersOfTheOtherRows) {
  auto c = std::make_unique<COstrumContainer>();
  c->SetDictValue("89", "ABCDE");
  c->SetDictValue("90", "中国");  // four bytes: cut to the one character that fits three
  c->SetDictValue("86", "12.5");
  c->SetDictValue("87", "30");
  c->SetDictValue("77", "PdaKey");
  c->SetDictValue("39", "42");
  c->SetDictValue("65", std::string(40, 'v').c_str());
  c->SetDictValue("999", "ignored");
  EXPECT_STREQ(c->dict89, "ABC");
  EXPECT_STREQ(c->dict90, "中");
  EXPECT_DOUBLE_EQ(c->dict86, 12.5);
  EXPECT_DOUBLE_EQ(c->dict87, 30.0);
  EXPECT_STREQ(c->pdaKey, "PdaKey");
  EXPECT_EQ(c->dict39, 42);
  EXPECT_EQ(std::string(c->dict65), std::string(15, 'v'));
}

}  // namespace
