#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

std::u16string Decode(const std::string& utf8) {
  char16_t out[64];
  int n = MultiByteToWideChar(kCodePageUtf8, utf8.data(), static_cast<int>(utf8.size()), out, 64);
  return std::u16string(out, static_cast<size_t>(n));
}

TEST(PlatformCodePageTest, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    std::string in;
    std::u16string out;
    const char* why;
  } cases[] = {
      {"a\xE4\xB8\xAD", u"a\u4E2D", "valid"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00", "four bytes give a surrogate pair"},
      {"\xE4\xB8" "A", u"\uFFFDA", "a cut sequence is one U+FFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", "an encoded surrogate: each byte"},
      {"\xC0\x80", u"\uFFFD\uFFFD", "an overlong form"},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", "above U+10FFFF"},
      {"\x80\xBF", u"\uFFFD\uFFFD", "lone continuation bytes"},
      {"\xF0\x9F\x98", u"\uFFFD", "a cut four-byte sequence"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Decode(c.in), c.out) << c.why;
  }
}

TEST(PlatformCodePageTest, SizesAndRoom) {
  const char* text = "ab\xE4\xB8\xAD";
  EXPECT_EQ(MultiByteToWideChar(kCodePageUtf8, text, -1, nullptr, 0), 4) << "needed, NUL counted";
  char16_t out[3];
  EXPECT_EQ(MultiByteToWideChar(kCodePageUtf8, text, -1, out, 3), 0) << "does not fit";
  EXPECT_EQ(MultiByteToWideChar(kCodePageGbk, "a\xD6\xD0", 3, out, 3), 2);
  EXPECT_EQ(out[1], 0x4E2D);
  EXPECT_EQ(MultiByteToWideChar(kCodePageJisX0212, "a", 1, out, 3), 0) << "unknown code page";
  EXPECT_FALSE(IsCodePageKnown(kCodePageJisX0212));
  EXPECT_TRUE(IsCodePageKnown(kCodePageEucJp));
}

TEST(PlatformCodePageTest, WideToGbkUsesTheDefaultCharacter) {
  const char16_t text[] = {u'a', 0x4E2D, 0xD83D, 0xDE00, 0x20AC, 0};
  char out[16];
  bool used = false;
  int n = WideCharToMultiByte(kCodePageGbk, text, -1, out, sizeof out, nullptr, &used);
  EXPECT_EQ(std::string(out, static_cast<size_t>(n)), std::string("a\xD6\xD0??\x80", 7));
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(kCodePageGbk, text, -1, nullptr, 0, nullptr, nullptr), 7);
  EXPECT_EQ(WideCharToMultiByte(kCodePageGbk, text, -1, out, 3, nullptr, nullptr), 0);
  const char16_t lone[] = {0xDC00, u'b'};
  n = WideCharToMultiByte(kCodePageUtf8, lone, 2, out, sizeof out, nullptr, nullptr);
  EXPECT_EQ(std::string(out, static_cast<size_t>(n)), "\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace tw
