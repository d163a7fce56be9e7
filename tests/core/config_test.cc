// The settings-text readers.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/config.h"

namespace {

TEST(GetSettingText, FindsOnlyKeysThatStartALine) {
  const char* text = "IP=10.0.0.1\r\n KEY=indented\r\nX KEY=inline\nKEY=  partner  \nTEST_PASS=abc";
  struct Case {
    const char* key;
    size_t minLen, maxLen;
    bool trim;
    const char* want;
  } cases[] = {
      {"IP=", 5, 15, true, "10.0.0.1"},
      {"KEY=", 1, 30, true, "partner"},           // the indented and inline ones are not keys
      {"KEY=", 1, 30, false, "  partner  "},      // untrimmed
      {"TEST_PASS=", 1, 30, true, "abc"},         // the last line needs no line break
      {"IP=", 9, 15, true, ""},                   // too short for the range: empty
      {"ABSENT=", 0, 30, true, ""},
  };
  for (const Case& c : cases) {
    char out[32] = "junk";
    GetSettingText(c.key, text, out, sizeof out, c.minLen, c.maxLen, c.trim);
    EXPECT_STREQ(out, c.want) << c.key;
  }
}

TEST(GetSettingText, AFourCharacterAddressIsTooShort) {
  char out[32];
  GetSettingText("IP=", "IP=1.2.\r\n", out, sizeof out, 5, 15, true);
  EXPECT_STREQ(out, "");
}

TEST(GetSettingText, AValueLongerThanTheFieldIsNotCut) {
  std::string text = "KEY=" + std::string(40, 'k');
  char out[32];
  GetSettingText("KEY=", text.c_str(), out, sizeof out, 1, 60, true);
  EXPECT_STREQ(out, "");
}

TEST(GetSettingInt, ReadsAtoiOfTheFirstLineKey) {
  EXPECT_EQ(GetSettingInt("URL_ENCODE=", "URL_ENCODE=1\r\n", 0), 1);
  EXPECT_EQ(GetSettingInt("内单号生成ID=", "a=1\n内单号生成ID=8831x\n", 0), 8831);
  EXPECT_EQ(GetSettingInt("URL_ENCODE=", " URL_ENCODE=1\r\n", 7), 7);  // indented: not found
  EXPECT_EQ(GetSettingInt("URL_ENCODE=", "URL_ENCODE=\r\n", 7), 0);    // present but empty: atoi
}

TEST(TrimBoth, RemovesBlanksBreaksAndFullWidthBlanks) {
  char text[] = "\xA1\xA1 \t\r\nvalue\xA1\xA1\r\n";
  TrimBoth(text);
  EXPECT_STREQ(text, "value");
  char inner[] = "  a \xA1\xA1 b  ";
  TrimBoth(inner);
  EXPECT_STREQ(inner, "a \xA1\xA1 b");
}

TEST(StripQuotesAndTrim, RemovesQuotesButNotInsideTwoByteCharacters) {
  // The quotes around a two-byte character go; the character stays whole.
  char gbk[] = " '\x95\x5C' ";
  StripQuotesAndTrim(gbk);
  EXPECT_STREQ(gbk, "\x95\x5C");
  char quoted[] = " 'O\"Brien' ";
  StripQuotesAndTrim(quoted);
  EXPECT_STREQ(quoted, "OBrien");
}

TEST(AppendXmlElement, WritesAnElementOrAnEmptyOne) {
  char buf[64];
  char* end = AppendXmlElement(buf, buf + sizeof buf, "abc", "name");
  end = AppendXmlElement(end, buf + sizeof buf, "", "city");
  EXPECT_STREQ(buf, "<name>abc</name>\r\n<city/>\r\n");
  char small[8];
  EXPECT_EQ(AppendXmlElement(small, small + sizeof small, "abcdef", "name"), small);
}

TEST(ReadWholeFile, ReportsMissingAndOverLongFiles) {
  char path[] = "/tmp/tarnwick-read.XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "0123456789", 10), 10);
  close(fd);
  char buf[16];
  EXPECT_EQ(ReadWholeFile(path, buf, 10), 10);
  EXPECT_STREQ(buf, "0123456789");
  EXPECT_EQ(ReadWholeFile(path, buf, 9), -2);
  EXPECT_STREQ(buf, "");
  std::remove(path);
  EXPECT_EQ(ReadWholeFile(path, buf, 10), -1);
  EXPECT_STREQ(buf, "");
}

}  // namespace
