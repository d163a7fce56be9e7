#include "util/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace tw {
namespace {

// GBK pairs whose trail byte looks like ASCII (codes from the CP936 table).
#define GBK_TRAIL_A "\x81\x61"          // trail byte "a"
#define GBK_TRAIL_BACKSLASH "\x95\x5C"  // trail byte "\"
#define GBK_ZHONG "\xD6\xD0"

TEST(TextSearchTest, FindNoCase) {
  struct Case {
    const char* text;
    const char* needle;
    long index;  // -1: not found
    const char* why;
  } cases[] = {
      {GBK_TRAIL_A "bc", "abc", -1, "no match inside a two-byte character"},
      {"x" GBK_TRAIL_A "aBc", "abc", 3, "found after the pair"},
      {"text/html; Charset=UTF-8", "harset=utf-", 12, "ASCII case ignored"},
      {"A" GBK_ZHONG "B", GBK_ZHONG "b", 1, "pairs compared exactly"},
      {"A" GBK_ZHONG, "\xD6", -1, "a needle ending inside a pair"},
      {"abc", "", 0, "empty needle"},
  };
  for (const Case& c : cases) {
    const char* p = FindNoCase(c.text, c.needle);
    EXPECT_EQ(p == nullptr ? -1 : p - c.text, c.index) << c.why;
  }
  std::string longNeedle(kFindNoCaseNeedleMax, 'a');
  std::string text(kFindNoCaseNeedleMax + 4, 'a');
  EXPECT_EQ(FindNoCase(text.c_str(), longNeedle.c_str()), nullptr);
  EXPECT_EQ(FindNoCase(static_cast<const char*>(nullptr), "a"), nullptr);
}

TEST(TextSearchTest, CharacterWalkers) {
  const char* text = GBK_TRAIL_BACKSLASH "a\\b1";
  EXPECT_EQ(FindChar(text, '\\') - text, 3) << "the trail byte is not a backslash";
  EXPECT_EQ(FindFirstDigit("\xB1\x31x2") - "\xB1\x31x2", 3) << "0x31 as trail is no digit";
  char upper[] = GBK_TRAIL_A "ab";
  MakeUpperAscii(upper);
  EXPECT_STREQ(upper, GBK_TRAIL_A "AB");
  char replaced[] = GBK_TRAIL_BACKSLASH "\\x\\";
  ReplaceChar(replaced, '\\', '/');
  EXPECT_STREQ(replaced, GBK_TRAIL_BACKSLASH "/x/");
  char removed[] = "|" GBK_TRAIL_BACKSLASH "|\\";
  RemoveChar(removed, '\\');
  EXPECT_STREQ(removed, "|" GBK_TRAIL_BACKSLASH "|");
  EXPECT_EQ(FindTextIndex("abcabc", "ca"), 2);
  EXPECT_EQ(FindTextIndex("abc", nullptr), -1);
  size_t len = 0;
  EXPECT_NE(FindText("abc", "bc", &len), nullptr);
  EXPECT_EQ(len, 2u);
}

TEST(TextEditTest, ReplaceAll) {
  struct Case {
    const char* text;
    const char* from;
    const char* to;
    size_t size;
    bool ok;
    const char* expected;
    const char* why;
  } cases[] = {
      {"x\\ny", "\\n", "\n", 16, true, "x\ny", "shorter replacement"},
      {"a--b--", "--", "", 16, true, "ab", "empty replacement removes"},
      {"aaaa", "aa", "b", 16, true, "bb", "matches do not overlap"},
      {"a'b'", "'", "''", 7, true, "a''b''", "longer, exactly fits with the NUL"},
      {"a'b'", "'", "''", 6, false, "a'b'", "longer, no room: unchanged"},
      {"abc", "b", "bbb", 6, true, "abbbc", "scanning goes on after the replacement"},
  };
  for (const Case& c : cases) {
    char buf[32];
    strcpy(buf, c.text);
    EXPECT_EQ(ReplaceAll(buf, c.size, c.from, c.to), c.ok) << c.why;
    EXPECT_STREQ(buf, c.expected) << c.why;
  }
  std::string big(300, '\'');
  std::vector<char> buf(big.begin(), big.end());
  buf.resize(602, 0);
  EXPECT_TRUE(ReplaceAll(buf.data(), buf.size(), "'", "''")) << "a long text uses heap memory";
  EXPECT_EQ(strlen(buf.data()), 600u);
  char text[] = "a--b";
  RemoveText(text, "--");
  EXPECT_STREQ(text, "ab");
}

TEST(TextEditTest, TrimAndCut) {
  char both[] = " \t a b \r\n";
  TrimBlanksGbk(both);
  EXPECT_STREQ(both, "a b");
  char pairEnd[] = "a\x81 ";  // a lead byte followed by a blank is one character: not cut
  TrimTrailingBlanks(pairEnd);
  EXPECT_STREQ(pairEnd, "a\x81 ");
  struct ZeroCase {
    const char* in;
    const char* out;
  } zeros[] = {{"12.500", "12.5"}, {"3.000", "3"}, {"10", "10"}, {"0.0", "0"}, {"1.50 \r\n", "1.5"}};
  for (const ZeroCase& z : zeros) {
    char buf[16];
    strcpy(buf, z.in);
    TrimTrailingZeros(buf);
    EXPECT_STREQ(buf, z.out) << z.in;
  }
  char cut[] = "A" GBK_ZHONG "B";
  TruncateText(cut, 2);
  EXPECT_STREQ(cut, "A");
  char exact[] = "A" GBK_ZHONG "B";
  TruncateText(exact, 3);
  EXPECT_STREQ(exact, "A" GBK_ZHONG);
  char out[8];
  CopyTextLimited(out, GBK_ZHONG GBK_ZHONG, 3);
  EXPECT_STREQ(out, GBK_ZHONG);
  CopyTextLimited(out, "abc", 7);
  EXPECT_STREQ(out, "abc");
  char full[] = "\xA3\xC1\xA3\xB1\xA3\xA4\xA1\xA1\xA1\xB0\xA1\xE7" GBK_ZHONG;
  FullWidthToAscii(full);
  EXPECT_STREQ(full, "A1\\ \"$" GBK_ZHONG);
  char small[4] = "ab";
  EXPECT_TRUE(AppendChar(small, sizeof small, 'c'));
  EXPECT_FALSE(AppendChar(small, sizeof small, 'd'));
  EXPECT_STREQ(small, "abc");
}

TEST(TextSplitTest, SplitText) {
  std::vector<std::string> items{"old"};
  EXPECT_EQ(SplitText("A,,BB,CCCC,D", items, ',', 1, 3), 3u);
  EXPECT_EQ(items, (std::vector<std::string>{"A", "BB", "D"}));
  EXPECT_EQ(SplitText("", items, ',', 1, 3), 0u);
}

TEST(TextSplitTest, AddressLines) {
  AddressLines lines;
  SplitAddressLines("Unit 5\r\n12 <b>High</b> St\nSydney NSW", lines, 20, 3);
  EXPECT_STREQ(lines.line[0], "Unit 5");
  EXPECT_STREQ(lines.line[1], "12 High St");
  EXPECT_STREQ(lines.line[2], "Sydney NSW");
  EXPECT_STREQ(lines.line[3], "");
  // Too long for its own lines: wrapped at the last blank within 8 bytes of the limit.
  SplitAddressLines("Flat 1204 Harbour View Tower 88 Queens Road Central", lines, 20, 2);
  EXPECT_STREQ(lines.line[0], "Flat 1204 Harbour");
  EXPECT_STREQ(lines.line[1], "View Tower 88");  // the blank 7 bytes before the limit
  EXPECT_STREQ(lines.line[2], "");
  // No blank near the limit: cut at the limit, never inside a character.
  SplitAddressLines("A" GBK_ZHONG GBK_ZHONG GBK_ZHONG, lines, 4, 2);
  EXPECT_STREQ(lines.line[0], "A" GBK_ZHONG);
  EXPECT_STREQ(lines.line[1], GBK_ZHONG GBK_ZHONG);
  SplitAddressLines("", lines, 20, 2);
  EXPECT_STREQ(lines.line[0], "");
}

TEST(TextXmlTest, GetXmlElementText) {
  char out[32];
  EXPECT_EQ(GetXmlElementText("a", "<x><a/></x>", out, sizeof out, 0, 10, false), 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(GetXmlElementText("a", "<a/>", out, sizeof out, 1, 10, false), 0);
  EXPECT_EQ(GetXmlElementText("m", "<m> x &amp; <i>y</i> </m>", out, sizeof out, 1, 10, true), 1);
  EXPECT_STREQ(out, "x & y");
  EXPECT_EQ(GetXmlElementText("m", "<m>abcdef</m>", out, sizeof out, 1, 3, false), 0);
  EXPECT_STREQ(out, "abcdef") << "out keeps the text when the length is refused";
  EXPECT_EQ(GetXmlElementText("m", "<m>abc", out, sizeof out, 0, 9, false), 0);
  char tiny[4];
  EXPECT_EQ(GetXmlElementText("m", "<m>A" GBK_ZHONG GBK_ZHONG "</m>", tiny, sizeof tiny, 0, 99, false), 0);
  EXPECT_STREQ(tiny, "A" GBK_ZHONG) << "cut to the buffer, never inside a character";
}

TEST(TextParseTest, SmallParsers) {
  EXPECT_EQ(IsAllDigits("0123"), 1);
  EXPECT_EQ(IsAllDigits(""), 1);
  EXPECT_EQ(IsAllDigits("12a"), 0);
  EXPECT_EQ(IsAllDigits(nullptr), 0);
  EXPECT_NE(IsBitSet(0x80, 0), 0);
  EXPECT_NE(IsBitSet(0x01, 7), 0);
  EXPECT_EQ(IsBitSet(0x80, 1), 0);
  EXPECT_EQ(IsBitSet(0xFF, 8), 0);
  EXPECT_EQ(IsDigitSet(1010, 2), 1);
  EXPECT_EQ(IsDigitSet(1010, 3), 0);
  EXPECT_EQ(IsDigitSet(1010, 4), 1);
  EXPECT_EQ(IsDigitSet(5, 0), 1);
  EXPECT_EQ(IsDigitSet(-5, 0), 0);
  EXPECT_EQ(IsDigitSet(1, 11), 0);
  int l = 0;
  int w = 0;
  int h = 0;
  EXPECT_EQ(ParseDimensions("30*20*10", &l, &w, &h), 1);
  EXPECT_EQ(l * 10000 + w * 100 + h, 302010);
  EXPECT_EQ(ParseDimensions("30*20", &l, &w, &h), 0);
  EXPECT_EQ(ParseDimensions("0*20*10", &l, &w, &h), 0);
  int a = 1;
  int b = 1;
  EXPECT_TRUE(ParsePair("12, -3", &a, &b));
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, -3);
  EXPECT_FALSE(ParsePair("12", &a, &b));
  EXPECT_EQ(a + b, 0);
  int16_t v = 500;
  EXPECT_EQ(ClampShortInPlace(v, 0, 100), 500);
  EXPECT_EQ(v, 100);
  v = -5;
  EXPECT_EQ(ClampShortInPlace(v, 0, 100), -5);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(ParseIntClamped("  -2147483649"), INT32_MIN);
  EXPECT_EQ(ParseIntClamped("+12x"), 12);
}

TEST(TextRandomTest, MakeRandomText) {
  char a[33];
  char b[33];
  ASSERT_TRUE(MakeRandomText(a, 32));
  ASSERT_TRUE(MakeRandomText(b, 32));
  EXPECT_EQ(strlen(a), 32u);
  EXPECT_STRNE(a, b);
  std::set<char> seen;
  for (int round = 0; round < 200; ++round) {
    ASSERT_TRUE(MakeRandomText(a, 32));
    for (const char* p = a; *p != 0; ++p) {
      ASSERT_TRUE((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9'));
      seen.insert(*p);
    }
  }
  EXPECT_EQ(seen.size(), 62u) << "6400 draws reach every one of the 62 characters";
}

}  // namespace
}  // namespace tw
