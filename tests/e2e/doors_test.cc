// The JSON front doors over HTTP: each door's order of checks and its refusal codes, the time window,
// the signatures and their keys, trusted callers, URL-decoded bodies, the return-address pool and
// the request log.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 900001;       // has a good key
constexpr int kShortKeyClient = 900002;
constexpr int kNoRowClient = 900003;
constexpr char kClientKey[] = "E2eKey0001";
constexpr char kSiteKey[] = "7k_Pav_e2esite_Qrm";  // site value "E2ESITE", lower-cased
using twtest::kPdaKey;
constexpr char kPda[] = "E2EPDA";
constexpr char kPartnerKey[] = "PartnerKey01";

using twtest::RequestSignature;

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

// A signed client request: name, icID, TimeStamp, MD5 and any further pieces.
std::string ClientRequest(const std::string& name, int icid, long long stamp, const std::string& key,
                          const std::string& more = "") {
  return "{\"RequestName\":\"" + name + "\",\"icID\":" + std::to_string(icid) + ",\"TimeStamp\":" +
         std::to_string(stamp) + ",\"MD5\":\"" + RequestSignature(std::to_string(icid), stamp, key) + "\"" + more + "}";
}

class DoorsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.client_arc WHERE icid BETWEEN 900001 AND 900009"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, capikey, voption) VALUES (900001, 'E2eKey0001', "
                        "'\\x05'::bytea), (900002, 'abc123', '\\x00'::bytea)"));
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_dict WHERE dcname = '45'"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_dict (dcname, dcvalue) VALUES ('45', 'E2ESITE')"));
    ASSERT_TRUE(twtest::UsePdaKey(db)) << db.error();
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.man_main WHERE cpda IN ('E2EPDA', 'e2epda')"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('E2EPDA', 'Op E2E', 'SZX')"));
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
  }

  static HostConfig WithContainer(const std::string& more = "") {
    HostConfig c;
    c.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n" + more;
    return c;
  }

  // The server clock in seconds, from its own "TimeStamp" answer.
  static long long ServerNow(HttpClient& http) {
    HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}");
    long long ms = 0;
    std::sscanf(r.body.c_str(), "{\"ReturnValue\":%lld}", &ms);
    return ms / 1000;
  }
};

TEST_F(DoorsTest, DoAppChecksInItsOrder) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  const long long now = ServerNow(http);
  ASSERT_GT(now, 1700000000);
  const long long ts = now * 1000;
  struct Case {
    const char* what;
    std::string body;
    std::string reply;
  } cases[] = {
      {"no name", "{\"icID\":1}", Code(-5)},
      {"bad time even with icID 0", ClientRequest("Nope", 0, (now - 7300) * 1000, kClientKey), Code(-720)},
      {"missing time stamp", "{\"RequestName\":\"Nope\",\"icID\":900001}", Code(-720)},
      {"short MD5", "{\"RequestName\":\"Nope\",\"icID\":900001,\"TimeStamp\":" + std::to_string(ts) +
                        ",\"MD5\":\"0123456789abcdef0123456789abcde\"}",
       Code(-730)},
      {"icID 0", ClientRequest("Nope", 0, ts, kClientKey), Code(-710)},
      {"no client row", ClientRequest("Nope", kNoRowClient, ts, kClientKey), Code(-711)},
      {"key of six characters", ClientRequest("Nope", kShortKeyClient, ts, "abc123"), Code(-711)},
      {"wrong key", ClientRequest("Nope", kClient, ts, "WrongKey99"), Code(-731)},
      {"signed, name not in the table", ClientRequest("Nope", kClient, ts, kClientKey), Code(-4)},
      {"upper-case MD5", "{\"RequestName\":\"Nope\",\"icID\":900001,\"TimeStamp\":" + std::to_string(ts) +
                             ",\"MD5\":\"" + [&] {
                               std::string m = RequestSignature("900001", ts, kClientKey);
                               for (char& c : m) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                               return m;
                             }() + "\"}",
       Code(-4)},
  };
  for (const Case& c : cases) {
    HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?DoApp", c.body);
    EXPECT_EQ(r.status, 200) << c.what;
    EXPECT_EQ(r.body, c.reply) << c.what;
    EXPECT_EQ(r.Header("content-type"), "application/json") << c.what;
    EXPECT_EQ(r.Header("cache-control"), "no-cache") << c.what;
  }
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, TimeStampNeedsNoSignatureAtAnyDoor) {
  TestHost host;
  ASSERT_TRUE(host.Start(WithContainer())) << host.error();
  HttpClient http(host.port());
  for (const char* door : {"DoApp", "DoApi", "DoChk", "DoPda"}) {
    HttpReply r = http.Post(std::string("/cgi-bin/Tarnwick.dll?") + door, "{\"RequestName\":\"TimeStamp\"}");
    long long ms = 0;
    ASSERT_EQ(std::sscanf(r.body.c_str(), "{\"ReturnValue\":%lld}", &ms), 1) << door << ": " << r.body;
    EXPECT_EQ(ms % 1000, 0) << door;
    EXPECT_NEAR(static_cast<double>(ms / 1000), static_cast<double>(std::time(nullptr)), 5.0) << door;
  }
  // "RequstName" wins over "RequestName".
  HttpReply both = http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequstName\":\"TimeStamp\",\"RequestName\":\"Nope\"}");
  long long ms = 0;
  EXPECT_EQ(std::sscanf(both.body.c_str(), "{\"ReturnValue\":%lld}", &ms), 1) << both.body;
  EXPECT_GT(ms, 1700000000000LL) << both.body;
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, TheTimeWindowIsSevenThousandTwoHundredSeconds) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    long long offsetSeconds;
    int reply;
  } cases[] = {{7200, -4}, {-7200, -4}, {7201, -720}, {-7201, -720}};
  for (const Case& c : cases) {
    // The server's clock may step a second between two requests; the edge is judged against the
    // clock it reports, and a step is tried again.
    std::string got;
    for (int attempt = 0; attempt < 3; ++attempt) {
      long long now = ServerNow(http);
      long long ts = (now + c.offsetSeconds) * 1000 + (c.offsetSeconds > 0 ? 999 : 0);
      got = http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, kClientKey)).body;
      if (got == Code(c.reply) && now == ServerNow(http)) break;
    }
    EXPECT_EQ(got, Code(c.reply)) << c.offsetSeconds;
  }
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, AChangedKeyIsReloadedOnce) {
  TestDb db;
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  long long ts = ServerNow(http) * 1000;
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, kClientKey)).body, Code(-4));
  ASSERT_TRUE(db.Exec("UPDATE dbo.client_arc SET capikey = 'E2eKey0002' WHERE icid = 900001"));
  // The cached key fails, the stored one has changed: the second try with it passes.
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, "E2eKey0002")).body, Code(-4));
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, kClientKey)).body, Code(-731));
  // A key shortened below seven characters does not replace the cached one.
  ASSERT_TRUE(db.Exec("UPDATE dbo.client_arc SET capikey = 'short' WHERE icid = 900001"));
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, "short")).body, Code(-731));
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, "E2eKey0002")).body, Code(-4));
  ASSERT_TRUE(db.Exec("UPDATE dbo.client_arc SET capikey = 'E2eKey0001' WHERE icid = 900001"));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, UrlEncodedBodiesAreDecodedWhenTheyBeginSo) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  // "%22" within the first 101 bytes: the whole body is URL-decoded ("%53" is "S").
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{%22RequestName%22:%22Time%53tamp%22}").body.substr(0, 15),
            "{\"ReturnValue\":");
  EXPECT_NE(http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{%22RequestName%22:%22Time%53tamp%22}").body, Code(-720));
  // "%22" only beyond byte 100: the body stays as it is, so the name is not "TimeStamp".
  std::string late = "{\"RequestName\":\"Time%53tamp\",\"cPad\":\"" + std::string(80, 'x') + "\",\"c\":\"%22\"}";
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", late).body, Code(-720));
  // A GET carries the request in its query, encoded.
  HttpReply get = http.Get("/cgi-bin/Tarnwick.dll?DoApp&" + twtest::UrlEncode("{\"RequestName\":\"TimeStamp\"}"));
  EXPECT_EQ(get.body.substr(0, 15), "{\"ReturnValue\":");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, DoApiTakesItsKeyByxSetx) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  long long ts = ServerNow(http) * 1000;
  auto api = [&](int xSetx, int icid, const std::string& key) {
    std::string body = ClientRequest("Nope", icid, ts, key, ",\"xSetx\":" + std::to_string(xSetx));
    return http.Post("/cgi-bin/Tarnwick.dll?DoApi", body).body;
  };
  struct Case {
    const char* what;
    std::string got, want;
  } cases[] = {
      {"client key", api(0, kClient, kClientKey), Code(-4)},
      {"client key, wrong", api(0, kClient, kPartnerKey), Code(-731)},
      {"partner key", api(1, kClient, kPartnerKey), Code(-4)},
      {"partner key, any positive", api(7, kNoRowClient, kPartnerKey), Code(-4)},
      {"site key", api(2, kNoRowClient, kSiteKey), Code(-4)},
      {"site key, wrong", api(2, kClient, kClientKey), Code(-731)},
      {"no client key", api(0, kNoRowClient, kClientKey), Code(-711)},
      {"icID 0 before the time", http.Post("/cgi-bin/Tarnwick.dll?DoApi", "{\"RequestName\":\"Nope\",\"icID\":0}").body,
       Code(-710)},
      {"no name", http.Post("/cgi-bin/Tarnwick.dll?DoApi", "{\"icID\":5}").body, Code(-5)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  // Names answered by an empty handler get an empty reply.
  HttpReply empty = http.Post("/cgi-bin/Tarnwick.dll?DoApi",
                              ClientRequest("wOrderDel", kClient, ts, kPartnerKey, ",\"xSetx\":1"));
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.body, "");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, DoApiWithAnEmptyPartnerKeySignsOverIdAndTime) {
  HostConfig config;
  config.iniText = "IP=127.0.0.1\r\nTEST_PASS=TestPass01\r\n";
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  HttpClient http(host.port());
  long long ts = ServerNow(http) * 1000;
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApi", ClientRequest("Nope", kClient, ts, "", ",\"xSetx\":1")).body,
            Code(-4));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, DoChkSignsWithTheSiteKeyAndRotatesReturnAddresses) {
  HostConfig config;
  // Three entries and lines that are not: a name of 3 bytes, an address of 9, a line without a tab.
  config.moduleFiles["Return_addr.txt"] =
      "Name1\tAddress one, 1 Road\r\nabc\tAddress too short name\r\nName4\t123456789\r\n"
      "no tab here at all\r\n\"Name2\"\t  Address two, 2 Road  \r\nName3\tAddress three, 3 Road\r\n";
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  HttpClient http(host.port());
  long long ts = ServerNow(http) * 1000;
  auto chk = [&](const std::string& name, int icid, const std::string& key) {
    return http.Post("/cgi-bin/Tarnwick.dll?DoChk", ClientRequest(name, icid, ts, key));
  };
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoChk", "{\"icID\":1}").body, Code(-4));
  EXPECT_EQ(chk("ReturnAddr", 0, kSiteKey).body, Code(-710));
  EXPECT_EQ(chk("ReturnAddr", 5, kClientKey).body, Code(-731));
  EXPECT_EQ(chk("Other", 5, kSiteKey).body, Code(-4));
  const char* turn[] = {"Name2\tAddress two, 2 Road", "Name3\tAddress three, 3 Road", "Name1\tAddress one, 1 Road",
                        "Name2\tAddress two, 2 Road"};
  for (const char* want : turn) {
    HttpReply r = chk("ReturnAddr", 5, kSiteKey);
    EXPECT_EQ(r.body, want);
    EXPECT_EQ(r.Header("content-type"), "text/html");
  }
  EXPECT_EQ(host.Stop(), 0);

  TestHost empty;
  ASSERT_TRUE(empty.Start()) << empty.error();
  HttpClient http2(empty.port());
  ts = ServerNow(http2) * 1000;
  EXPECT_EQ(http2.Post("/cgi-bin/Tarnwick.dll?DoChk", ClientRequest("ReturnAddr", 5, ts, kSiteKey)).body, Code(0));
  EXPECT_EQ(empty.Stop(), 0);
}

TEST_F(DoorsTest, DoPdaNeedsTheContainerAndAKnownUser) {
  {
    TestHost host;
    ASSERT_TRUE(host.Start()) << host.error();  // the container is not switched on
    HttpClient http(host.port());
    EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoPda", "{\"RequestName\":\"TimeStamp\"}").body, Code(-6));
    EXPECT_EQ(host.Stop(), 0);
  }
  TestHost host;
  ASSERT_TRUE(host.Start(WithContainer())) << host.error();
  HttpClient http(host.port());
  long long ts = ServerNow(http) * 1000;
  auto pda = [&](const std::string& name, const std::string& user, const std::string& key) {
    std::string body = "{\"RequestName\":\"" + name + "\",\"cUserPid\":\"" + user + "\",\"TimeStamp\":" +
                       std::to_string(ts) + ",\"MD5\":\"" + RequestSignature(user, ts, key) + "\"}";
    return http.Post("/cgi-bin/Tarnwick.dll?DoPda", body);
  };
  struct Case {
    const char* what;
    std::string got, want;
  } cases[] = {
      {"no name", http.Post("/cgi-bin/Tarnwick.dll?DoPda", "{\"cUserPid\":\"E2EPDA\"}").body, Code(-5)},
      {"no user", http.Post("/cgi-bin/Tarnwick.dll?DoPda", "{\"RequestName\":\"Nope\"}").body, Code(-810)},
      {"unknown user", pda("Nope", "NOBODY", kPdaKey).body, Code(-811)},
      {"ids differ in case", pda("Nope", "e2epda", kPdaKey).body, Code(-811)},
      {"an id too long for a user", pda("Nope", std::string(40, 'P'), kPdaKey).body, Code(-811)},
      {"wrong key", pda("Nope", kPda, kClientKey).body, Code(-731)},
      {"signed, not in the table", pda("Nope", kPda, kPdaKey).body, Code(-4)},
      {"an empty handler", pda("pdaRecExcept", kPda, kPdaKey).body, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, WeChatAndDoTrustOnlyTheirCallers) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient local(host.port());
  HttpClient other(host.port(), "127.0.0.2");  // a second loopback address is another caller
  struct Case {
    const char* what;
    HttpClient& from;
    const char* command;
    std::string body;
    std::string reply;
    const char* type;
  } cases[] = {
      {"WeChat, trusted, unknown name", local, "WeChat", "{\"RequestName\":\"Nope\"}", Code(-4), "application/json"},
      {"WeChat reads only RequestName", local, "WeChat", "{\"RequstName\":\"Nope\"}", Code(-4), "application/json"},
      {"WeChat, untrusted", other, "WeChat", "{\"RequestName\":\"Nope\"}", Code(-7), "application/json"},
      {"Do, trusted, no name", local, "Do", "{}", Code(-5), "application/json"},
      {"Do, trusted, unknown name", local, "Do", "{\"RequestName\":\"Nope\"}", Code(-4), "application/json"},
      {"Do, untrusted: its address", other, "Do", "{\"RequestName\":\"Nope\"}", "127.0.0.2", "text/html"},
      {"Do, untrusted, wrong pass", other, "Do", "{\"RequestName\":\"Nope\",\"TestPass\":\"x\"}", "127.0.0.2",
       "text/html"},
      {"Do, untrusted with the pass", other, "Do", "{\"RequestName\":\"Nope\",\"TestPass\":\"TestPass01\"}", Code(-4),
       "application/json"},
  };
  for (Case& c : cases) {
    HttpReply r = c.from.Post(std::string("/cgi-bin/Tarnwick.dll?") + c.command, c.body);
    EXPECT_EQ(r.body, c.reply) << c.what;
    EXPECT_EQ(r.Header("content-type"), c.type) << c.what;
  }
  EXPECT_EQ(host.Stop(), 0);
  EXPECT_NE(host.LogFile("WECHATDATA").find("{\"RequestName\":\"Nope\"}"), std::string::npos);
}

TEST_F(DoorsTest, AFullThirtyCharacterTestPassMatches) {
  HostConfig config;
  config.iniText = "IP=127.0.0.1\r\nTEST_PASS=" + std::string(30, 'p') + "\r\n";
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  HttpClient other(host.port(), "127.0.0.2");
  EXPECT_EQ(other.Post("/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"Nope\",\"TestPass\":\"" + std::string(30, 'p') +
                                                        "\"}")
                .body,
            Code(-4));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(DoorsTest, LogsEachDispatchedRequestWithItsSerial) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  long long ts = ServerNow(http) * 1000;
  std::string first = ClientRequest("Nope", kClient, ts, kClientKey);
  http.Post("/cgi-bin/Tarnwick.dll?DoApp", first);
  http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, "WrongKey99"));  // refused: no log
  http.Post("/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"Again\"}");
  EXPECT_EQ(host.Stop(), 0);
  std::string log = host.LogFile("TARNWICK");
  size_t a = log.find("]*DoApp_1_Nope,900001\r\r\n");
  size_t body = log.find("]" + first + "\r\r\n");
  size_t end = log.find("]*DoApp_1_Nope,900001,time:");
  size_t next = log.find("]*Do_3_Again\r\r\n");
  EXPECT_NE(a, std::string::npos) << log;
  EXPECT_NE(body, std::string::npos) << log;
  EXPECT_NE(end, std::string::npos) << log;
  EXPECT_NE(next, std::string::npos) << log;
  EXPECT_TRUE(a < body && body < end && end < next) << log;
  EXPECT_NE(log.find("]*Do_3_Again,time:"), std::string::npos) << log;
  // The refused request left no line: one start and one end line of DoApp only.
  size_t lines = 0;
  for (size_t at = log.find("*DoApp_"); at != std::string::npos; at = log.find("*DoApp_", at + 1)) ++lines;
  EXPECT_EQ(lines, 2u) << log;
}

TEST_F(DoorsTest, NoConnectionAnswersMinusNineThousandNineHundredNinetyNine) {
  HostConfig config;
  config.registry["Item2"] = "not-the-password";
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  HttpClient http(host.port());
  long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", ClientRequest("Nope", kClient, ts, kClientKey)).body,
            Code(-9999));
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApi", ClientRequest("Nope", kClient, ts, kClientKey)).body,
            Code(-9999));
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
