// The frame over HTTP: the host loads the library, opens 50 connections, serves the about page,
// refuses what the platform layer refuses, survives a failed start-up and stops cleanly.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::TestDb;
using twtest::TestHost;

// Connections of the login user other than the test's own.
int LibraryConnections(TestDb& db) {
  return std::atoi(db.Scalar("SELECT count(*) FROM pg_stat_activity WHERE usename = current_user "
                             "AND pid <> pg_backend_pid()")
                       .c_str());
}

int WaitForConnections(TestDb& db, int want) {
  int n = -1;
  for (int i = 0; i < 100; ++i) {
    n = LibraryConnections(db);
    if (n == want) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return n;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
  }
};

TEST_F(FrameTest, ServesTheAboutPageWithFiftyConnections) {
  TestDb db;
  ASSERT_TRUE(db.ok());
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  EXPECT_EQ(WaitForConnections(db, 50), 50);

  HttpClient http(host.port());
  for (const char* target : {"/cgi-bin/Tarnwick.dll", "/cgi-bin/Tarnwick.dll?Default", "/CGI-BIN/tarnwick.dll"}) {
    twtest::HttpReply r = http.Get(target);
    ASSERT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.Header("content-type"), "text/html") << target;
    EXPECT_NE(r.body.find("<title>About Tarnwick.dll version 4.8</title>"), std::string::npos);
    EXPECT_NE(r.body.find(" Tarnwick.dll V4.8 [OstrumContainer:0]"), std::string::npos);
    EXPECT_NE(r.body.find(" SPX: EUB_0,AUPOST_0,SFE_0"), std::string::npos);
    EXPECT_EQ(r.body.find(" EXX: "), std::string::npos);
    EXPECT_NE(r.body.find("Updated on 2015-06-14"), std::string::npos);
    EXPECT_NE(r.body.find("<tr><td>DB</td><td>Used</td><td>Idle</td><td>Pos</td></tr>"), std::string::npos);
    EXPECT_NE(r.body.find("<tr><td>DBC</td><td>0</td><td>50</td><td>0</td></tr>"), std::string::npos) << r.body;
  }

  EXPECT_EQ(host.Stop(), 0);
  EXPECT_EQ(WaitForConnections(db, 0), 0);
}

TEST_F(FrameTest, TheAboutPageShowsTheLoadedConfiguration) {
  HostConfig config;
  config.iniText = twtest::DefaultIni() +
                   "启用Ostrum容器=1\r\n<字段填写定义开始>\r\nK1=|R1|a|b|c|d|e\r\nK2=|R2|a|b|c|d\r\n"
                   "K3=|R3|a|b|c|d|e\r\n<字段填写定义结束>\r\n";
  // A settings file of an EUB account that no client can use yet ends the series at once.
  config.moduleFiles["EPostApi_set_1.txt"] = std::string(60, 'x');
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  HttpClient http(host.port());
  twtest::HttpReply r = http.Get("/cgi-bin/Tarnwick.dll");
  EXPECT_NE(r.body.find(" Tarnwick.dll V4.8 [OstrumContainer:1]"), std::string::npos) << r.body;
  EXPECT_NE(r.body.find(" SPX: EUB_0,AUPOST_0,SFE_0"), std::string::npos) << r.body;
  // The line of six pieces is skipped; the two of seven make records.
  EXPECT_NE(r.body.find(" EXX: EmsKindExFields_Fill_2"), std::string::npos) << r.body;
  EXPECT_EQ(host.Stop(), 0);
  // The container's load is logged with its counts.
  EXPECT_NE(host.LogFile("TARNWICK").find("启用Ostrum容器:Pl:"), std::string::npos);
}

TEST_F(FrameTest, RefusesWhatThePlatformRefuses) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    std::string request;
    int status;
  } cases[] = {
      {"POST /cgi-bin/Tarnwick.dll?DoApp HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
       "2\r\n{}\r\n0\r\n\r\n",
       413},
      {"PUT /cgi-bin/Tarnwick.dll?DoApp HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\n{}", 405},
      {"GET /cgi-bin/Tarnwick.dll?NoSuchCommand HTTP/1.1\r\nHost: x\r\n\r\n", 400},
      {"GET /cgi-bin/Other.dll HTTP/1.1\r\nHost: x\r\n\r\n", 404},
      {"GET /cgi-bin/Tarnwick.dll?DoBarCode&ih=x HTTP/1.1\r\nHost: x\r\n\r\n", 400},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(http.Raw(c.request).status, c.status) << c.request;
  }
  // The connection stays usable after each refusal.
  EXPECT_EQ(http.Get("/cgi-bin/Tarnwick.dll").status, 200);
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(FrameTest, AFailedStartUpKeepsServingTheAboutPage) {
  struct Case {
    const char* what;
    HostConfig config;
    const char* stderrHas;
  };
  Case cases[3];
  cases[0].what = "a registry value missing";
  cases[0].config.registry["Item2"] = twtest::kMissingValue;
  cases[0].stderrHas = "SOFTWARE\\Halvern";
  cases[1].what = "a wrong database password";
  cases[1].config.registry["Item2"] = "not-the-password";
  cases[1].stderrHas = "connection 0";
  cases[2].what = "a library file of another name";
  cases[2].config.libraryName = "Other.so";
  cases[2].stderrHas = "Other.so";

  TestDb db;
  ASSERT_TRUE(db.ok());
  for (Case& c : cases) {
    TestHost host;
    ASSERT_TRUE(host.Start(c.config)) << c.what << ": " << host.error();
    EXPECT_NE(host.StderrText().find(c.stderrHas), std::string::npos) << c.what << ": " << host.StderrText();
    HttpClient http(host.port());
    twtest::HttpReply r = http.Get("/cgi-bin/Tarnwick.dll");
    EXPECT_EQ(r.status, 200) << c.what;
    EXPECT_NE(r.body.find("About Tarnwick.dll version 4.8"), std::string::npos) << c.what;
    EXPECT_EQ(WaitForConnections(db, 0), 0) << c.what;
    EXPECT_EQ(host.Stop(), 0) << c.what;
  }
}

TEST_F(FrameTest, StopsWithinSecondsWhileClientsStayConnected) {
  TestDb db;
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient keepAlive(host.port());
  ASSERT_EQ(keepAlive.Get("/cgi-bin/Tarnwick.dll").status, 200);
  uint32_t start = static_cast<uint32_t>(std::time(nullptr));
  EXPECT_EQ(host.Stop(10000), 0);
  EXPECT_LE(static_cast<uint32_t>(std::time(nullptr)) - start, 5u);
  EXPECT_EQ(WaitForConnections(db, 0), 0);
}

}  // namespace
