#include "util/outbuf.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace tw {
namespace {

TEST(OutBufTest, PieceThatDoesNotFitIsNotWritten) {
  char buf[8];
  OutBuf out(buf, sizeof buf);
  EXPECT_TRUE(out.Append("abc"));
  EXPECT_TRUE(out.Append("defg"));  // exactly fills the 7 bytes before the NUL
  EXPECT_FALSE(out.overflowed());
  EXPECT_FALSE(out.AppendChar('h'));
  EXPECT_TRUE(out.overflowed());
  EXPECT_STREQ(out.data(), "abcdefg");
  // Once overflowed, later pieces are ignored even when they would fit somewhere.
  out.Truncate(3);
  EXPECT_FALSE(out.Append("x"));
  EXPECT_STREQ(out.data(), "abc");
}

TEST(OutBufTest, PrintfIsWholeOrNothing) {
  char buf[10];
  OutBuf out(buf, sizeof buf);
  EXPECT_TRUE(out.Printf("%d,", 1234));
  EXPECT_FALSE(out.Printf("%s", "123456"));
  EXPECT_STREQ(buf, "1234,");
  EXPECT_EQ(out.size(), 5u);
}

TEST(OutBufTest, MarkAndRewindUndoAHalfWrittenItem) {
  char buf[16];
  OutBuf out(buf, sizeof buf);
  out.Append("[1,2");
  size_t mark = out.Mark();
  out.Append(",3333333333333");
  ASSERT_TRUE(out.overflowed());
  out.Rewind(mark);
  EXPECT_FALSE(out.overflowed());
  EXPECT_TRUE(out.Append("]"));
  EXPECT_STREQ(out.data(), "[1,2]");
  // A mark taken after the overflow does not clear it.
  out.Append("0123456789abcdef");
  size_t late = out.Mark();
  EXPECT_EQ(late, OutBuf::kOverflowedMark);
  out.Rewind(late);
  EXPECT_TRUE(out.overflowed());
}

TEST(OutBufTest, GrowableMovesToTheHeapUpToItsMaximum) {
  char buf[4];
  OutBuf out = OutBuf::Growable(buf, sizeof buf, 1000);
  std::string expected;
  for (int i = 0; i < 90; ++i) {
    ASSERT_TRUE(out.Printf("%03d,", i));
    char piece[8];
    snprintf(piece, sizeof piece, "%03d,", i);
    expected += piece;
  }
  EXPECT_EQ(out.view(), expected);
  EXPECT_NE(out.data(), buf);
  EXPECT_FALSE(out.Append(std::string(700, 'x')));  // 360 + 700 + 1 > 1000
  EXPECT_TRUE(out.overflowed());
  EXPECT_EQ(out.view(), expected);
}

TEST(OutBufTest, CharactersAndPiecesCrossTheEndOfTheRoomWhole) {
  // Single characters and pieces that end exactly at, or run past, the room there is: the buffer
  // stays NUL-terminated after each, grows when it may, and overflows whole when it may not.
  char buf[5];
  OutBuf out = OutBuf::Growable(buf, sizeof buf, 12);
  std::string expected;
  for (const char* piece : {"a", "b", "cd", "e", "fghi", "j", "k"}) {
    const bool one = piece[1] == 0;
    ASSERT_TRUE(one ? out.AppendChar(piece[0]) : out.Append(piece, std::strlen(piece)));
    expected += piece;
    ASSERT_EQ(out.view(), expected);
    ASSERT_EQ(out.data()[out.size()], 0);
  }
  EXPECT_EQ(out.room(), 0u);  // 11 bytes and the NUL: the maximum
  EXPECT_FALSE(out.AppendChar('l'));
  EXPECT_TRUE(out.overflowed());
  EXPECT_EQ(out.view(), expected);
  EXPECT_TRUE(out.Append("", 0) == false);  // nothing is taken once overflowed
}

TEST(OutBufTest, ZeroCapacityNeverWrites) {
  OutBuf out(nullptr, 0);
  EXPECT_FALSE(out.Append("a"));
  EXPECT_FALSE(out.AppendChar('b'));
  EXPECT_STREQ(out.data(), "");
}

TEST(OutBufTest, NumbersUseTheCLocaleWhateverTheProcessLocale) {
  // A locale with a decimal comma, when the machine has one; otherwise the C locale is tested.
  const char* previous = setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous != nullptr ? previous : "C";
  bool switched = setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  char buf[32];
  OutBuf out(buf, sizeof buf);
  out.Printf("%.2f", 2.5);
  setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_STREQ(buf, "2.50") << (switched ? "under de_DE" : "under C");
}

}  // namespace
}  // namespace tw
