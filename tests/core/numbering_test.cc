// Numbering rules: the rule-block syntax, the dressing of drawn numbers and the check characters.

#include "core/numbering.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Block(const std::string& lines, bool withEnd = true) {
  return std::string("x=1\r\n") + kTransferRulesStart + "\r\n" + lines + (withEnd ? kTransferRulesEnd : "") + "\r\n";
}

TEST(ParseNumberRules, ReadsNameIdKindAndExtra) {
  std::string text = Block(
      "  K1=8831=DPD,01234567\r\n"
      "\tK2=12\r\n"                           // no second '=': kind and extra empty
      "K3=0= EMS , x \r\n"                     // trimmed, cut at the first ','
      "NoEqualsHere\r\n"                      // skipped
      "=5=A\r\n"                               // empty name: skipped
      "SixteenBytesName=7=A\r\n"               // a 16-byte name: skipped
      "K4=9=KINDLONGERTHAN15,EXTRALONGERTHAN15X\r\n"  // over-long kind and extra stay empty
      "K5=21=A,B\r\n");                        // the end marker stands on its own line
  std::vector<NumberRule> rules = ParseNumberRules(text.c_str(), kTransferRulesStart, kTransferRulesEnd);
  struct Want {
    const char* name;
    int id;
    const char* kind;
    const char* extra;
  } want[] = {
      {"K1", 8831, "DPD", "01234567"}, {"K2", 12, "", ""}, {"K3", 0, "EMS ", " x"}, {"K4", 9, "", ""},
      {"K5", 21, "A", "B"},
  };
  ASSERT_EQ(rules.size(), std::size(want));
  for (size_t i = 0; i < rules.size(); ++i) {
    EXPECT_STREQ(rules[i].name, want[i].name) << i;
    EXPECT_EQ(rules[i].ruleId, want[i].id) << i;
    EXPECT_STREQ(rules[i].kind, want[i].kind) << i;
    EXPECT_STREQ(rules[i].extra, want[i].extra) << i;
  }
}

TEST(ParseNumberRules, NeedsTheEndMarkerAndALineFeed) {
  EXPECT_TRUE(ParseNumberRules(Block("K1=1=A\r\n", false).c_str(), kTransferRulesStart, kTransferRulesEnd).empty());
  // The end marker on the rule's own line: that line has no line feed and is not used.
  std::string text = std::string(kTransferRulesStart) + "\nK1=1=A" + kTransferRulesEnd;
  EXPECT_TRUE(ParseNumberRules(text.c_str(), kTransferRulesStart, kTransferRulesEnd).empty());
  // Fifteen bytes is the longest name.
  std::string fifteen = Block("ABCDEFGHIJKLMNO=3=A\r\n");
  ASSERT_EQ(ParseNumberRules(fifteen.c_str(), kTransferRulesStart, kTransferRulesEnd).size(), 1u);
}

TEST(FormatDrawnNumber, DressesTheNumber) {
  struct Case {
    int64_t value;
    const char* prefix;
    const char* suffix;
    int width, check;
    const char* want;  // null: does not fit
  } cases[] = {
      {12345, "AB", "", 8, 3, "AB-000123454"},      // 12345 mod 7 = 4
      {12345, "AB", "", 8, 0, "AB00012345"},
      {12345, "a1", "CN", 8, 0, "00012345CN"},      // the prefix stops at the first byte outside '0'..'Z'
      {12345, "R", "X-Y", 8, -1, "R00012345X"},
      {47312482, "RR", "CN", 8, 2, "RR473124829CN"},  // S10 check digit 9
      {12, "", "", 8, 1, "000000123"},  // weighted, weights 11, 10 ... 4: 1*5 + 2*4 = 13 -> 3
      {12345, "AB", "", 5, 3, "12345"},                // width 5 or less: the number alone
      {7, "AB", "", 40, 0, nullptr},                   // a width the text cannot hold
      {1, "ABCD", "WXYZ", 25, 3, nullptr},
  };
  for (const Case& c : cases) {
    char out[kNumberTextBytes];
    bool ok = FormatDrawnNumber(c.value, c.prefix, c.suffix, c.width, c.check, out);
    if (c.want == nullptr) {
      EXPECT_FALSE(ok) << c.value;
      EXPECT_STREQ(out, "");
    } else {
      EXPECT_TRUE(ok) << c.value;
      EXPECT_STREQ(out, c.want) << c.value;
    }
  }
}

TEST(CheckDigits, MatchKnownValues) {
  // UPU S10: the standard's example 47312482 -> 9; 0 -> 11 - 0 = 11 -> 5.
  EXPECT_EQ(CheckDigitS10(47312482), 9);
  EXPECT_EQ(CheckDigitS10(0), 5);
  // By hand, "12345678" with weights 15..1: products 15 26 33 36 35 30 21 8, digit sums
  // 6 8 6 9 8 3 3 8 = 51 -> 10 - 1 = 9.
  EXPECT_EQ(CheckDigitWeighted(12345678), 9);
  EXPECT_EQ(CheckDigitWeighted(0), 0);
  EXPECT_EQ(IsValidTwelveDigitNumber("000123456789"), 1);   // digits 4..11 are 12345678, check 9
  EXPECT_EQ(IsValidTwelveDigitNumber("000123456780"), 0);
  EXPECT_EQ(IsValidTwelveDigitNumber("00012345678"), 0);
  EXPECT_EQ(IsValidTwelveDigitNumber("00012345678A"), 0);
}

TEST(FormatDpdNumber, AppendsTheMod3736Character) {
  // By hand for "0": P = 36; S = (36 + 0) mod 36 = 0 -> 36; P = 72 mod 37 = 35; check = 37 - 35 = 2.
  EXPECT_EQ(CheckCharMod3736("0"), '2');
  // By hand for "A1": S = (36 + 10) mod 36 = 10, P = 20; S = (20 + 1) mod 36 = 21, P = 42 mod 37 = 5;
  // check = (37 - 5) mod 36 = 32, "W" (and (5 + 32) mod 36 = 1, as a valid text ends).
  EXPECT_EQ(CheckCharMod3736("A1"), 'W');
  std::string body = "01234567000042";
  std::string whole = body + CheckCharMod3736(body.c_str());
  char out[kNumberTextBytes];
  ASSERT_TRUE(FormatDpdNumber(42, out, "01234567"));
  EXPECT_EQ(std::string(out), whole);
  EXPECT_EQ(std::string(out).size(), 15u);
  // Another prefix length keeps the whole prefix and the check character at the end.
  ASSERT_TRUE(FormatDpdNumber(1234567, out, "AB"));
  EXPECT_EQ(std::string(out), std::string("AB1234567") + CheckCharMod3736("AB1234567"));
  EXPECT_FALSE(FormatDpdNumber(1, out, "PREFIXOFTWENTYSIXCHARSXXXX"));
  EXPECT_FALSE(FormatDpdNumber(-1, out, "01234567"));
}

}  // namespace
