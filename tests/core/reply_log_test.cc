// The reply writer's headers and wrapping, and the request log's file name and bytes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "core/config.h"
#include "core/reply.h"

namespace {

TEST(WriteReply, WrapsBareCodesAndSendsJsonHeaders) {
  struct Case {
    const char* text;
    int bJson;
    const char* headers;
    const char* body;
  } cases[] = {
      // The bare code is wrapped; 18 bytes of {"ReturnValue":-4}.
      {"-4", 1,
       "Content-Type: application/json\r\nContent-Length: 18\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n"
       "Expires: -1\r\n",
       "{\"ReturnValue\":-4}"},
      // A text beginning with '{' goes out unchanged, whatever follows.
      {"{not json", 1,
       "Content-Type: application/json\r\nContent-Length: 9\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n"
       "Expires: -1\r\n",
       "{not json"},
      // text/html: no wrapping, no no-cache lines.
      {"127.0.0.1", 0, "Content-Type: text/html\r\nContent-Length: 9\r\n", "127.0.0.1"},
  };
  for (const Case& c : cases) {
    CHttpServerContext ctxt(nullptr);
    WriteReply(&ctxt, c.text, c.bJson);
    EXPECT_EQ(ctxt.m_strHeaders, c.headers) << c.text;
    EXPECT_EQ(ctxt.m_body, c.body) << c.text;
  }
}

TEST(WriteReply, ALongBareTextIsWrappedWhole) {
  std::string code(200, '7');
  CHttpServerContext ctxt(nullptr);
  WriteReply(&ctxt, code.c_str(), 1);
  EXPECT_EQ(ctxt.m_body, "{\"ReturnValue\":" + code + "}");
  EXPECT_NE(ctxt.m_strHeaders.find("Content-Length: 216\r\n"), std::string::npos);
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tarnwick-log.XXXXXX";
    dir_ = mkdtemp(tmpl);
    ExtensionSettings.logFolder = dir_ + "/";
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string FileOf(const char* category) const {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y_%m_%d", &local);
    return dir_ + "/LOG_" + category + "_" + day + ".txt";
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string dir_;
};

TEST_F(LogTest, AnEntryIsStoredWithTextModeLineEnds) {
  WriteLog("*DoApp_1_TimeStamp,5", "TARNWICK");
  WriteLog("a\nb", "TARNWICK");
  std::string bytes = Read(FileOf("TARNWICK"));
  // CR CR LF [yy-mm-dd HH:MM:SS] text CR CR LF, twice; a line feed inside the text becomes CR LF.
  ASSERT_EQ(bytes.size(), (3 + 19 + 20 + 3) + (3 + 19 + 4 + 3));
  EXPECT_EQ(bytes.substr(0, 4), "\r\r\n[");
  EXPECT_EQ(bytes[3 + 18], ']');
  EXPECT_EQ(bytes.substr(22, 23), "*DoApp_1_TimeStamp,5\r\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 7), "a\r\nb\r\r\n");
  // The time is the local time as %y-%m-%d %H:%M:%S.
  int yy, mo, dd, hh, mi, ss;
  ASSERT_EQ(std::sscanf(bytes.c_str() + 4, "%2d-%2d-%2d %2d:%2d:%2d]", &yy, &mo, &dd, &hh, &mi, &ss), 6);
}

TEST_F(LogTest, TheLimitIsThirtyThousandBytes) {
  std::string limit(30000, 'x');
  WriteLog(limit.c_str(), "TRANSDATA");
  EXPECT_EQ(Read(FileOf("TRANSDATA")).size(), 3 + 19 + 30000 + 3u);
  std::string over(30001, 'x');
  WriteLog(over.c_str(), "PAYWSJ");
  struct stat st {};
  EXPECT_NE(::stat(FileOf("PAYWSJ").c_str(), &st), 0);  // nothing written, no file made
}

TEST_F(LogTest, TheByteOrderMarkStartsOnlyANewFile) {
  WriteLog("first", "WECHATDATA", 1);
  WriteLog("second", "WECHATDATA", 1);
  std::string bytes = Read(FileOf("WECHATDATA"));
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 3), std::string::npos);
}

// The request's opening entries go out in one append; the file holds what two WriteLog calls store.
TEST_F(LogTest, APairIsStoredAsTwoEntries) {
  const std::string over(30001, 'x');
  struct Case {
    const char* first;
    const char* second;
  } cases[] = {
      {"*DoApp_1_PreInputData,5", "{\"a\":1,\n\"b\":2}"},
      {"*DoApp_3_PreInputData,5", over.c_str()},  // the body over the limit is left out
      {over.c_str(), "body"},
  };
  // The time stamps are masked: the two ways may write in different seconds.
  auto masked = [](std::string bytes) {
    for (size_t at = bytes.find("\r\r\n["); at != std::string::npos; at = bytes.find("\r\r\n[", at + 1)) {
      bytes.replace(at + 4, 17, 17, 'T');
    }
    return bytes;
  };
  int n = 0;
  for (const Case& c : cases) {
    // A category of its own for each case (the log keeps its files open).
    const std::string single = "SINGLE" + std::to_string(n), pair = "PAIR" + std::to_string(n++);
    WriteLog(c.first, single.c_str());
    WriteLog(c.second, single.c_str());
    WriteLogPair(c.first, c.second, pair.c_str());
    const std::string one = Read(FileOf(single.c_str()));
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(masked(Read(FileOf(pair.c_str()))), masked(one)) << c.first;
  }
}

TEST_F(LogTest, AMissingFolderLeavesTheLogUnchanged) {
  ExtensionSettings.logFolder = dir_ + "/absent/";
  WriteLog("lost", "TARNWICK");
  struct stat st {};
  EXPECT_NE(::stat((dir_ + "/absent").c_str(), &st), 0);
}

}  // namespace
