// The settings-text readers.

#include <gtest/gtest.h>

#include <sys/stat.h>
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

namespace {

TEST(ReadWatermarkSettings, TakesValuesOnlyWithinTheirRanges) {
  struct Case {
    const char* ini;
    const char* text;
    float transparency;
    int red, green, blue;
    const char* font;
    int size, weight, quality;
  } cases[] = {
      // Nothing set: the defaults.
      {"", "-身份证上传-", 0.5f, 255, 99, 99, "黑体", 26, 600, 90},
      // Every key inside its range; the transparency is found anywhere in the text.
      {"图片水印= 仅供办理业务 \r\nx 水印透明=0.25\r\n水印颜色=RGB(10,20,30)\r\n水印字体=Microsoft YaHei\r\n"
       "水印字号=59\r\n水印加粗=100\r\n图片质量=1\r\n",
       "  仅供办理业务", 0.25f, 10, 20, 30, "Microsoft YaHei", 59, 100, 1},
      // Beyond the ranges: the defaults stay; a transparency is clamped.
      {"图片水印=X\r\n水印透明=1.5\r\n水印颜色=RGB(256,-1,7)\r\n水印字体=宋体\r\n水印字号=60\r\n"
       "水印加粗=901\r\n图片质量=101\r\n",
       "-身份证上传-", 1.0f, 255, 99, 7, "黑体", 26, 600, 90},
      {"水印透明=-0.2\r\n水印字号=0\r\n水印加粗=99\r\n", "-身份证上传-", 0.0f, 255, 99, 99, "黑体", 26, 600, 90},
  };
  for (const Case& c : cases) {
    WatermarkSettingsRecord w;
    ReadWatermarkSettings(c.ini, w);
    EXPECT_STREQ(w.text, c.text) << c.ini;
    EXPECT_FLOAT_EQ(w.transparency, c.transparency) << c.ini;
    EXPECT_EQ(w.red, c.red) << c.ini;
    EXPECT_EQ(w.green, c.green) << c.ini;
    EXPECT_EQ(w.blue, c.blue) << c.ini;
    EXPECT_STREQ(w.font, c.font) << c.ini;
    EXPECT_EQ(w.fontSize, c.size) << c.ini;
    EXPECT_EQ(w.fontWeight, c.weight) << c.ini;
    EXPECT_EQ(w.quality, c.quality) << c.ini;
    EXPECT_EQ(w.width, 305);
    EXPECT_EQ(w.height, 195);
  }
}

TEST(CleanPictureFolder, DeletesRegularFilesOnly) {
  char tmpl[] = "/tmp/tarnwick-pics.XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string outside = dir + "-outside.jpg";
  auto touch = [](const std::string& path) { std::fclose(std::fopen(path.c_str(), "w")); };
  touch(dir + "/a.jpg");
  touch(dir + "/b.png");
  ASSERT_EQ(mkdir((dir + "/keep").c_str(), 0755), 0);
  touch(dir + "/keep/inner.jpg");
  touch(outside);
  ASSERT_EQ(symlink(outside.c_str(), (dir + "/link.jpg").c_str()), 0);

  EXPECT_EQ(CleanPictureFolder(dir), 2);
  struct stat st {};
  EXPECT_NE(::stat((dir + "/a.jpg").c_str(), &st), 0);
  EXPECT_NE(::stat((dir + "/b.png").c_str(), &st), 0);
  EXPECT_EQ(::stat((dir + "/keep/inner.jpg").c_str(), &st), 0);  // the sub-folder is not entered
  EXPECT_EQ(::lstat((dir + "/link.jpg").c_str(), &st), 0);       // the link stays
  EXPECT_EQ(::stat(outside.c_str(), &st), 0);                    // and is not followed
  EXPECT_EQ(CleanPictureFolder(dir + "/absent"), 0);
  std::string cmd = "rm -rf '" + dir + "' '" + outside + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
