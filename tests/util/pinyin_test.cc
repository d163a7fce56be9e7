#include "util/pinyin.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tw {
namespace {

struct PinyinCase {
  const char* in;
  bool space;
  bool upper;
  bool surname;
  const char* out;
  const char* why;
};

TEST(PinyinTest, GbkToPinyin) {
  const PinyinCase cases[] = {
      {"西安", true, false, false, "xi an ", "blanks after syllables"},
      {"西安", false, false, false, "xi'an", "a syllable without an initial after a letter"},
      {"西安", false, true, false, "XI'AN", "upper case"},
      {"单", false, false, true, "shan", "surname table"},
      {"单", false, false, false, "dan", "character table"},
      {"简单", false, false, true, "jiandan", "only the first character is a surname"},
      {"中国，ABC", false, false, false, "zhongguo，ABC", "a symbol without a reading is copied"},
      {"A安", false, false, false, "A'an", "after ASCII"},
      {"A 安", false, false, false, "A an", "not after a blank"},
      {"乞丐", false, false, false, "qigai", "g is an initial, not part of a final"},
      {"女", false, false, false, "nv", "u-umlaut as v"},
      {"", false, false, false, "", "empty"},
  };
  for (const PinyinCase& c : cases) {
    char out[64];
    EXPECT_STREQ(GbkToPinyin(c.in, out, sizeof out, c.space, c.upper, c.surname), c.out) << c.why;
  }
}

TEST(PinyinTest, OutputStaysInItsBuffer) {
  char out[9];
  EXPECT_STREQ(GbkToPinyin("中华人民", out, sizeof out, false, false, false), "zhonghua");
  char seven[7];
  EXPECT_STREQ(GbkToPinyin("中华", seven, sizeof seven, true, false, false), "zhong ");
  char six[6];
  EXPECT_STREQ(GbkToPinyin("中华", six, sizeof six, true, false, false), "") << "syllable and blank are one piece";
}

TEST(PinyinTest, Initials) {
  char out[16];
  EXPECT_STREQ(GbkToPinyinInitials("中国abc，人", out, sizeof out, false), "ZGR");
  EXPECT_STREQ(GbkToPinyinInitials("单田芳", out, sizeof out, true), "STF");
  EXPECT_STREQ(GbkToPinyinInitials("单田芳", out, sizeof out, false), "DTF");
  EXPECT_STREQ(GbkToPinyinInitials("安", out, sizeof out, false), "A") << "no initial: the final's letter";
}

TEST(PinyinTest, NameInitial) {
  EXPECT_EQ(GetNameInitial("3M", "张三"), 'Z');
  EXPECT_EQ(GetNameInitial("", ""), '$');
  EXPECT_EQ(GetNameInitial("apple", "张三"), 'A');
  EXPECT_EQ(GetNameInitial("单", nullptr), 'D') << "no surname table here";
  EXPECT_EQ(GetNameInitial("，，，，李", nullptr), '$') << "only the first 6 bytes count";
}

TEST(PinyinTest, Lookups) {
  EXPECT_EQ(FindPinyinIndex(0x8140), 0) << "the first GBK character";
  EXPECT_EQ(FindPinyinIndex(0xA3AC), -1) << "full-width comma";
  int zhong = FindPinyinIndex(0xD6D0);
  ASSERT_GE(zhong, 0);
  uint16_t code = PinyinSyllableAt(zhong);
  EXPECT_STREQ(PinyinInitials[code >> 8], "zh");
  EXPECT_STREQ(PinyinFinals[code & 0xFF], "ong");
  EXPECT_STREQ(FindSurnameReading(0xC7F8), "ou");  // 区
  EXPECT_EQ(FindSurnameReading(0xD6D0), nullptr);
}

}  // namespace
}  // namespace tw
