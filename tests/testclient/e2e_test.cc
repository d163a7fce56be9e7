// The test client against the real tarnwick-host and the test database: for each API type an
// unsigned "TimeStamp" and a signed "PreInputList" built, signed and sent by the command line, the
// signature accepted by the library and a wrong key refused. Rows of this test: client 946001 and
// its pre-input shipment 946001.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testclient/cli.h"
#include "testclient/form.h"
#include "tests/support/e2e.h"

namespace {

using twtest::TestDb;
using twtest::TestHost;

constexpr char kClient[] = "946001";
constexpr char kKey[] = "TcKey946001";

struct CliRun {
  int code = -1;
  std::string out;  // as printed (UTF-8), read back as GBK
};

CliRun Cli(std::vector<std::string> args) {
  CliRun r;
  std::string utf8;
  r.code = tw::RunTestClientCommand(args, [&utf8](const std::string& text, bool) { utf8 += text; });
  r.out = tw::Utf8ToGbkString(utf8);
  return r;
}

class TestClientE2e : public ::testing::Test {
 protected:
  static void RemoveRows(TestDb& db) {
    EXPECT_TRUE(db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid = 946001")) << db.error();
    EXPECT_TRUE(db.Exec("DELETE FROM dbo.client_arc WHERE icid = 946001")) << db.error();
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, capikey, cwebac, cwechat, cunitname, caddr, cby5) "
                        "VALUES (946001, 'TcKey946001', '', '', '', '', '')"))
        << db.error();
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.rec_pre_input (iid, icid, cnum, cdes, cemskind, ddate) "
                        "VALUES (946001, 946001, 'TC946001', '美国', 'EMS', LOCALTIMESTAMP)"))
        << db.error();
  }
  void TearDown() override {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    RemoveRows(db);
  }
};

TEST_F(TestClientE2e, EachApiTypeReachesTheLibrary) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  const std::string port = std::to_string(host.port());
  for (const char* api : {"0", "1", "2"}) {
    SCOPED_TRACE(std::string("API type ") + api);
    unsetenv("TARNWICK_TESTCLIENT_TIME");
    // Type 0 posts "MfcISAPICommand=DoApp&d=..." to the bare library path.
    CliRun stamp = Cli({"send", "--host", "127.0.0.1", "--port", port, "--api", api});
    ASSERT_EQ(stamp.code, 0) << stamp.out;
    EXPECT_NE(stamp.out.find(std::string("POST ") + (api[0] == '0' ? "/cgi-bin/Tarnwick.dll HTTP/1.0" :
                                                                      "/cgi-bin/Tarnwick.dll?DoApp HTTP/1.0")),
              std::string::npos);
    if (api[0] == '0') {
      EXPECT_NE(stamp.out.find("\r\nMfcISAPICommand=DoApp&d=%7B%22RequestName%22%3A%22TimeStamp%22%7D\r\n"),
                std::string::npos)
          << stamp.out;
    }
    long long ms = 0;
    size_t at = stamp.out.find("请求完成。响应实体:\r\n{\"ReturnValue\":");
    ASSERT_NE(at, std::string::npos) << stamp.out;
    ASSERT_EQ(std::sscanf(stamp.out.c_str() + at, "请求完成。响应实体:\r\n{\"ReturnValue\":%lld}", &ms), 1);
    EXPECT_GT(ms, 1700000000000LL);
    EXPECT_NE(stamp.out.find("\r\n数据提交成功！\r\n"), std::string::npos);

    // Signed at the server's own second: the library accepts the signature and counts the
    // client's one shipment.
    setenv("TARNWICK_TESTCLIENT_TIME", std::to_string(ms / 1000).c_str(), 1);
    CliRun list = Cli({"send", "--host", "127.0.0.1", "--port", port, "--api", api, "--request", "PreInputList",
                       "--icid", kClient, "--key", kKey});
    EXPECT_EQ(list.code, 0) << list.out;
    EXPECT_NE(list.out.find("{\"ReturnValue\":1,\"icID\":946001,"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\"iTotalRec\":1,"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\r\n数据提交成功！\r\n"), std::string::npos) << list.out;

    CliRun wrong = Cli({"send", "--host", "127.0.0.1", "--port", port, "--api", api, "--request", "PreInputList",
                        "--icid", kClient, "--key", "NotTheKey"});
    EXPECT_EQ(wrong.code, 0) << wrong.out;
    EXPECT_NE(wrong.out.find("{\"ReturnValue\":-731}\r\n数据提交失败，原因:MD5 错误，不匹配\r\n"), std::string::npos)
        << wrong.out;
  }
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
