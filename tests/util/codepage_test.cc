#include "util/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tw {
namespace {

TEST(GbkTableTest, HoldsEveryTwoByteCodeOfCodePage936) {
  size_t nonzero = 0;
  for (uint16_t code : GbkTable) {
    nonzero += code != 0 ? 1 : 0;
  }
  EXPECT_EQ(nonzero, 21791u);
  size_t reverse = 0;
  for (uint16_t unit : GbkReverseTable) {
    reverse += unit != 0 ? 1 : 0;
  }
  EXPECT_EQ(reverse, 21791u);
}

// The tables must agree with the C library's conversion (through the platform layer) for every
// unit and every pair: this is what Windows code page 936 gives, 0x80 included.
TEST(GbkTableTest, AgreesWithTheSystemConversionEverywhere) {
  for (uint32_t u = 1; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) {
      continue;
    }
    char16_t unit = static_cast<char16_t>(u);
    char ours[2];
    int n = WideCharToGbkBytes(unit, ours);
    char theirs[4];
    bool used = false;
    int m = WideCharToMultiByte(kCodePageGbk, &unit, 1, theirs, sizeof theirs, "?", &used);
    ASSERT_EQ(std::string(ours, n), std::string(theirs, m)) << "U+" << std::hex << u;
  }
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char16_t theirs[4];
      int m = MultiByteToWideChar(kCodePageGbk, pair, 2, theirs, 4);
      char16_t ours = UnitOfGbkPair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
      if (m == 1 && theirs[0] != u'?') {
        ASSERT_EQ(ours, theirs[0]) << std::hex << lead << trail;
        ASSERT_EQ(GbkCodeOfUnit(ours), lead << 8 | trail);
      } else {
        ASSERT_EQ(ours, 0) << std::hex << lead << trail;
      }
    }
  }
}

TEST(CodePageTest, WideCharToGbkBytes) {
  struct Case {
    char16_t unit;
    const char* bytes;
    const char* why;
  } cases[] = {
      {0x00B0, "\xA1\xE3", "degree sign"},
      {0x00E9, "\xA8\xA6", "e-acute"},
      {0x0080, "?", "a C1 control has no GBK form"},
      {0x20AC, "\x80", "euro sign, Windows 936"},
      {0x0041, "A", "ASCII"},
      {0x4E2D, "\xD6\xD0", "a common character"},
      {0xD83D, "?", "a surrogate"},
  };
  for (const Case& c : cases) {
    char out[2];
    int n = WideCharToGbkBytes(c.unit, out);
    EXPECT_EQ(std::string(out, n), c.bytes) << c.why;
  }
}

TEST(CodePageTest, Utf8ToGbk) {
  char text[64] = "Caf\xC3\xA9 \xE4\xB8\xAD\xF0\x9F\x98\x80";
  int flag = 0;
  EXPECT_STREQ(Utf8ToGbk(text, false, &flag), "Caf\xA8\xA6 \xD6\xD0??");
  EXPECT_EQ(flag, 1);
  char folded[32] = "Caf\xC3\xA9 \xC5\x81\xC3\x97";  // e-acute, L-stroke, multiplication sign
  flag = 0;
  EXPECT_STREQ(Utf8ToGbk(folded, true, &flag), "Cafe L\xA1\xC1");  // U+00D7 is not folded
  EXPECT_EQ(flag, 0);
  char header[64] = "text/xml; charset=UTF-8 \xE4\xB8\xAD";
  flag = 1;
  EXPECT_STREQ(Utf8ToGbk(header, false, &flag), "text/xml; charset=UTF-8 \xD6\xD0");
  char other[16] = "\xE4\xB8\xAD";
  flag = 1;
  EXPECT_STREQ(Utf8ToGbk(other, false, &flag), "\xE4\xB8\xAD") << "no charset: unchanged";
  char invalid[16] = "a\xE4\xB8" "b\xFF";
  EXPECT_STREQ(Utf8ToGbk(invalid, false, nullptr), "a?b?") << "invalid UTF-8 is U+FFFD, then ?";
}

TEST(CodePageTest, GbkToUtf8StaysInsideItsBuffer) {
  char out[8];
  EXPECT_STREQ(GbkToUtf8("A\xD6\xD0\xCE\xC4", out, sizeof out), "A\xE4\xB8\xAD\xE6\x96\x87");
  char small[6];
  EXPECT_STREQ(GbkToUtf8("A\xD6\xD0\xCE\xC4", small, sizeof small), "A\xE4\xB8\xAD")
      << "the second character does not fit whole";
  EXPECT_STREQ(GbkToUtf8("\x81", out, sizeof out), "?") << "a lone lead byte";
  EXPECT_STREQ(GbkToUtf8("\x80", out, sizeof out), "\xE2\x82\xAC");
}

TEST(CodePageTest, EntityForms) {
  char out[32];
  EXPECT_STREQ(MultiByteToGbkTable(kCodePageUtf8, "a\xE4\xB8\xAD\xE2\x82\xAC", out, sizeof out, true),
               "a\xD6\xD0&#8364;");
  EXPECT_STREQ(MultiByteToGbkTable(kCodePageUtf8, "a\xE4\xB8\xAD", out, sizeof out, false),
               "a&#20013;");
  // A piece is written only when it fits whole with the NUL.
  char small[9];
  EXPECT_STREQ(MultiByteToGbkTable(kCodePageUtf8, "ab\xE4\xB8\xAD", small, sizeof small, false), "ab");
  const char16_t wide[] = u"x\u4E2D\u00FF";
  EXPECT_STREQ(WideToGbkWithEntities(wide, out, sizeof out, true), "x\xD6\xD0&#255;");
}

TEST(CodePageTest, HexToWideString) {
  char16_t out[4];
  EXPECT_EQ(std::u16string(HexToWideString("x4F602D4E", out, 4)), u"\u604F\u4E2D");
  EXPECT_EQ(std::u16string(HexToWideString("x4f60", out, 4)), u"") << "lower case";
  EXPECT_EQ(std::u16string(HexToWideString("x4F6", out, 4)), u"") << "count not a multiple of 4";
  EXPECT_EQ(std::u16string(HexToWideString("x", out, 4)), u"") << "no digits";
  EXPECT_EQ(std::u16string(HexToWideString("x414141414141", out, 3)), u"") << "more units than fit";
  EXPECT_EQ(std::u16string(HexToWideString("x414142424343", out, 4)), u"\u4141\u4242\u4343");
}

TEST(CodePageTest, WideToUtf8JoinsPairs) {
  char out[16];
  const char16_t grin[] = {0xD83D, 0xDE00, 0};
  EXPECT_STREQ(WideToUtf8(grin, out, sizeof out), "\xF0\x9F\x98\x80");
  const char16_t lone[] = {0xD83D, u'a', 0};
  EXPECT_STREQ(WideToUtf8(lone, out, sizeof out), "\xEF\xBF\xBD" "a");
}

TEST(CodePageTest, StripAccents) {
  char16_t text[] = u"\u00C0\u00C7\u0152\u00D8\u00D7\u00DF\u0101\u01DC\u0261z";
  StripAccents(text);
  EXPECT_EQ(std::u16string(text), u"ACE\u00D8\u00D7Baugz");
}

TEST(CodePageTest, ReplaceAllWide) {
  char16_t text[12] = u"a--b--c";
  EXPECT_TRUE(ReplaceAllWide(text, 12, u"--", u"+"));
  EXPECT_EQ(std::u16string(text), u"a+b+c");
  EXPECT_TRUE(ReplaceAllWide(text, 12, u"+", u"<=>"));
  EXPECT_EQ(std::u16string(text), u"a<=>b<=>c");  // 9 units + NUL
  EXPECT_FALSE(ReplaceAllWide(text, 11, u"<=>", u"<==>")) << "11 units and the NUL need 12";
  EXPECT_EQ(std::u16string(text), u"a<=>b<=>c");
  RemoveAllWide(text, u"<=>");
  EXPECT_EQ(std::u16string(text), u"abc");
  char16_t chinese[8] = u"x\u4E2Dy";
  EXPECT_TRUE(ReplaceAllWideA(chinese, 8, "\xD6\xD0", u""));
  EXPECT_EQ(std::u16string(chinese), u"xy");
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// Every GBK character in one text: our conversions against the system's, both ways.
TEST(CodePageTest, WholeTableRoundTripsThroughUtf8) {
  std::string gbk = "ASCII 0x80:\x80;";
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (UnitOfGbkPair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)) != 0) {
        gbk.push_back(static_cast<char>(lead));
        gbk.push_back(static_cast<char>(trail));
      }
    }
    gbk += "ab";  // ASCII between the rows, off the 8-byte runs
  }
  std::vector<char16_t> units(gbk.size() + 1);
  int n = MultiByteToWideChar(kCodePageGbk, gbk.data(), static_cast<int>(gbk.size()), units.data(),
                              static_cast<int>(units.size()));
  ASSERT_GT(n, 0);
  std::string expected(gbk.size() * 2, 0);
  int m = WideCharToMultiByte(kCodePageUtf8, units.data(), n, expected.data(),
                              static_cast<int>(expected.size()), nullptr, nullptr);
  ASSERT_GT(m, 0);
  expected.resize(static_cast<size_t>(m));
  std::vector<char> utf8(expected.size() + 1);
  GbkToUtf8(gbk.c_str(), utf8.data(), utf8.size());
  ASSERT_EQ(std::string(utf8.data()), expected);
  std::vector<char> back(gbk.size() + 1);
  bool used = false;
  size_t len = Utf8ToGbkText(expected, back.data(), gbk.size(), &used);
  EXPECT_EQ(std::string(back.data(), len), gbk);
  EXPECT_FALSE(used);
}

}  // namespace
}  // namespace tw
