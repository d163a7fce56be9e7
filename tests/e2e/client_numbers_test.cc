// "DoGetNo", "GenerateMD5", "GetClientID" and "ClientCreate" over HTTP against the test database:
// numbers of every rule kind and none given twice under concurrent requests; the MD5 of GBK text;
// the in-system login with right and wrong passwords, its key made once and handed out as stored;
// client accounts from Chinese and Latin names, every stored column read back.
//
// The rows of this test use clients 950501-950510, number sequences 95001-95099, the text rule
// "CNS", member logins of the site "cnsite" and new clients whose memo is "client-numbers-test".

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;

constexpr char kMemo[] = "client-numbers-test";

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }
std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

// The stored form of a member password, by hand: every byte XORed with 0x0B.
std::string Scrambled(const std::string& text) {
  std::string out;
  for (char c : text) out.push_back(static_cast<char>(c ^ 0x0B));
  return out;
}

// Transfer rules by sequence (CNT), by text (CNS, id 0), in the DPD form (CND) and without sequence
// (CNG); one internal rule (CNI) and the default internal rule 95003; a fill record for CNT.
std::string Ini() {
  return twtest::DefaultIni() + "内单号生成ID=95003\r\n" +
         "<转单号生成定义开始>\r\nCNT=95001=\r\nCNS=0=\r\nCND=95004=DPD,01234567\r\nCNG=95099=\r\n"
         "<转单号生成定义结束>\r\n<内单号生成定义开始>\r\nCNI=95002=\r\n<内单号生成定义结束>\r\n"
         "<字段填写定义开始>\r\nCNT=x|预留|B1||B3|B4|备注五\r\n<字段填写定义结束>\r\n";
}

class ClientNumbersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
  }
  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    RemoveRows(db);
  }
  static void RemoveRows(TestDb& db) {
    EXPECT_TRUE(db.Exec("DELETE FROM dbo.sys_genno WHERE iid BETWEEN 95001 AND 95099"));
    EXPECT_TRUE(db.Exec("DELETE FROM dbo.sys_num WHERE crule = 'CNS'"));
    EXPECT_TRUE(db.Exec("DELETE FROM dbo.client_arc WHERE icid BETWEEN 950501 AND 950510 OR cmemo = 'client-numbers-test'"));
    EXPECT_TRUE(db.Exec("DELETE FROM quillon.member_main WHERE wcid = 'cnsite'"));
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    HostConfig config;
    config.iniText = Ini();
    ASSERT_TRUE(host_.Start(config)) << host_.error();
  }
  void TearDown() override {
    if (host_.pid() > 0) {
      EXPECT_EQ(host_.Stop(), 0);
    }
  }

  std::string Post(const std::string& door, const std::string& name, const std::string& more) {
    HttpClient http(host_.port());
    return http.Post("/cgi-bin/Tarnwick.dll?" + door, "{\"RequestName\":\"" + name + "\"" + more + "}").body;
  }
  long long ServerTime() {
    long long ts = 0;
    EXPECT_EQ(std::sscanf(Post("DoApp", "TimeStamp", "").c_str(), "{\"ReturnValue\":%lld}", &ts), 1);
    return ts;
  }

  TestHost host_;
};

// ---- DoGetNo ----------------------------------------------------------------------------------------

TEST_F(ClientNumbersTest, DoGetNoDrawsByEveryRuleKind) {
  TestDb db;
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext) VALUES "
                      "(95001, 'CN', '', 8, 3, 100), (95002, 'RR', 'CN', 8, 2, 47312482), "
                      "(95003, 'DF', '', 6, 3, 14), (95004, '', '', 8, 0, 1)"));
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_num (crule, icid, cprefix, iwidth, inext) VALUES ('CNS', 0, 'SN', 6, 5)"));
  const std::string empty6 = ",\"cReserve\":\"\",\"cBy1\":\"\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"\"}";
  struct Case {
    std::string more;
    std::string reply;
  } cases[] = {
      {",\"icID\":0,\"cEmsKind\":\"CNT\"", Code(-710)},
      {",\"icID\":950501", Code(-14)},
      {",\"icID\":950501,\"cEmsKind\":\"NORULE\"", Code(-15)},
      {",\"icID\":950501,\"cEmsKind\":\"cnt\"", Code(-15)},  // rule names compare exactly
      {",\"icID\":950501,\"cEmsKind\":\"CNG\"", Code(0)},    // its sequence does not exist
      // By sequence: "CN-", eight digits, the value mod 7; with the kind's fill record.
      {",\"icID\":950501,\"cEmsKind\":\"CNT\"",
       "{\"ReturnValue\":1,\"cNo\":\"CN-000001002\",\"cReserve\":\"" + Utf8("预留") +
           "\",\"cBy1\":\"B1\",\"cBy2\":\"\",\"cBy3\":\"B3\",\"cBy4\":\"B4\",\"cBy5\":\"" + Utf8("备注五") + "\"}"},
      {",\"icID\":950501,\"cEmsKind\":\"CNT\",\"iType\":0",
       "{\"ReturnValue\":1,\"cNo\":\"CN-000001013\",\"cReserve\":\"" + Utf8("预留") +
           "\",\"cBy1\":\"B1\",\"cBy2\":\"\",\"cBy3\":\"B3\",\"cBy4\":\"B4\",\"cBy5\":\"" + Utf8("备注五") + "\"}"},
      // By rule text (id 0), and in the DPD form (ISO 7064 MOD 37,36 check character, by hand).
      {",\"icID\":950501,\"cEmsKind\":\"CNS\"", "{\"ReturnValue\":1,\"cNo\":\"SN000005\"" + empty6},
      {",\"icID\":950501,\"cEmsKind\":\"CND\"", "{\"ReturnValue\":1,\"cNo\":\"012345670000014\"" + empty6},
      // Internal numbers: by rule name (UPU S10 check digit of 47312482 is 9), an unknown name by the
      // default rule.
      {",\"icID\":950501,\"cEmsKind\":\"CNI\",\"iType\":1", "{\"ReturnValue\":1,\"cNo\":\"RR473124829CN\"" + empty6},
      {",\"icID\":950501,\"cEmsKind\":\"NOSUCH\",\"iType\":2", "{\"ReturnValue\":1,\"cNo\":\"DF-0000140\"" + empty6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Post("Do", "DoGetNo", c.more), c.reply) << c.more;
  }
  // The signed doors serve it too.
  const long long ts = ServerTime();
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, capikey) VALUES (950501, 'CnKey950501')"));
  const std::string signedKeys = ",\"icID\":950501,\"TimeStamp\":" + std::to_string(ts) + ",\"MD5\":\"" +
                                 twtest::RequestSignature(950501, ts, "CnKey950501") + "\",\"cEmsKind\":\"CNT\"";
  EXPECT_EQ(ReplyTexts(Post("DoApp", "DoGetNo", signedKeys), "cNo"), std::vector<std::string>{"CN-000001024"});
  const std::string partnerKeys = ",\"icID\":950501,\"xSetx\":1,\"TimeStamp\":" + std::to_string(ts) +
                                  ",\"MD5\":\"" + twtest::RequestSignature(950501, ts, "PartnerKey01") +
                                  "\",\"cEmsKind\":\"CNT\"";
  EXPECT_EQ(ReplyTexts(Post("DoApi", "DoGetNo", partnerKeys), "cNo"), std::vector<std::string>{"CN-000001035"});
}

TEST_F(ClientNumbersTest, DoGetNoNeverGivesANumberTwice) {
  TestDb db;
  ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_genno WHERE iid = 95001"));
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext) VALUES "
                      "(95001, 'CN', '', 8, 3, 1)"));
  constexpr int kThreads = 8;
  constexpr int kEach = 25;
  std::vector<std::vector<std::string>> drawn(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      HttpClient http(host_.port());
      for (int i = 0; i < kEach; ++i) {
        const std::string body =
            http.Post("/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"DoGetNo\",\"icID\":950502,\"cEmsKind\":\"CNT\"}")
                .body;
        for (const std::string& n : ReplyTexts(body, "cNo")) drawn[t].push_back(n);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<std::string> all;
  size_t count = 0;
  for (const auto& list : drawn) {
    count += list.size();
    all.insert(list.begin(), list.end());
  }
  EXPECT_EQ(count, static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(all.size(), count) << "a number was given twice";
  EXPECT_EQ(db.Scalar("SELECT inext FROM dbo.sys_genno WHERE iid = 95001"), std::to_string(1 + kThreads * kEach));
}

// ---- GenerateMD5 ------------------------------------------------------------------------------------

TEST_F(ClientNumbersTest, GenerateMd5OfTheTextsGbkBytes) {
  // Expected digests from an independent MD5 (RFC 1321; "abc" is its test vector) of the GBK bytes.
  struct Case {
    std::string text;  // GBK
    std::string reply;
  } cases[] = {
      {"abc", "{\"ReturnValue\":1,\"MD5\":\"900150983cd24fb0d6963f7d28e17f72\"}"},
      {"中", "{\"ReturnValue\":1,\"MD5\":\"5301da37e5ffca1823a5cef67488d4bf\"}"},  // D6 D0
      {"Tarnwick 中文", "{\"ReturnValue\":1,\"MD5\":\"402fe7e2cc0a3a2a38ed9f1aaba4ffbf\"}"},
      {"", Code(0)},
  };
  for (const Case& c : cases) {
    // Unsigned: answered before any check, at both signed doors.
    for (const char* door : {"DoApp", "DoApi"}) {
      EXPECT_EQ(Post(door, "GenerateMD5", ",\"cString\":\"" + Utf8(c.text) + "\""), c.reply) << door << c.text;
    }
  }
}

// ---- GetClientID ------------------------------------------------------------------------------------

class ClientLoginTest : public ClientNumbersTest {
 protected:
  void SetUp() override {
    ClientNumbersTest::SetUp();
    if (IsSkipped()) return;
    TestDb db;
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.client_arc WHERE icid BETWEEN 950501 AND 950510"));
    ASSERT_TRUE(db.Exec("DELETE FROM quillon.member_main WHERE wcid = 'cnsite'"));
    ASSERT_TRUE(db.Exec("INSERT INTO quillon.member_main (wcid, mcaccount, mcpassword) VALUES "
                        "('cnsite', 'cnweb1', '" + Scrambled("pw-1") + "'), ('cnsite', 'cnweb2', '" +
                        Scrambled("pw-2") + "'), ('cnsite', 'cnweb3', '" + Scrambled("pw-3") + "'), "
                        "('cnsite', 'cnweb4', '" + Scrambled("pw-4") + "'), ('cnsite', 'cnweb5', '" +
                        Scrambled("pw-5") + "')"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, cwebac, capikey, voption) VALUES "
                        "(950503, 'cnweb1', 'CnKey950503xyz', '\\x01'::bytea), "
                        "(950504, 'cnweb2', '', '\\x0c0d0e'::bytea), (950505, 'cnweb3', '', '\\x00'::bytea), "
                        "(950506, 'cnweb5', '', '\\x0c'::bytea)"));
  }

  // Posts a login; md5 is the request's "MD5" text, which masks the key.
  std::string Login(const std::string& keys, const std::string& md5) {
    return Post("DoApp", "GetClientID",
                ",\"TimeStamp\":" + std::to_string(ServerTime()) + ",\"MD5\":\"" + md5 + "\"" + keys);
  }
  static std::string Unmask(const std::string& hex, const std::string& md5) {
    std::string key;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
      key.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16) ^ md5[i / 2]));
    }
    return key;
  }
};

TEST_F(ClientLoginTest, RightAndWrongLogins) {
  const std::string md5 = twtest::RequestSignature("login", 1, "x");
  const std::string site = ",\"cWcid\":\"cnsite\"";
  struct Case {
    std::string keys;
    int code;
  } cases[] = {
      {site + ",\"cPassword\":\"pw-1\"", -12},
      {",\"cWebAc\":\"cnweb1\",\"cPassword\":\"pw-1\"", -13},
      {",\"cWebAc\":\"nobody\"" + site + ",\"cPassword\":\"pw-1\"", -2},
      {",\"cWebAc\":\"cnweb1\",\"cWcid\":\"othersite\",\"cPassword\":\"pw-1\"", -2},
      {",\"cWebAc\":\"cnweb1' OR '1'='1\"" + site + ",\"cPassword\":\"pw-1\"", -2},
      {",\"cWebAc\":\"cnweb1\"" + site + ",\"cPassword\":\"pw-2\"", -14},
      {",\"cWebAc\":\"cnweb1\"" + site + ",\"cPassword\":\"PW-1\"", -14},
      {",\"cWebAc\":\"cnweb1\"" + site, -14},
      {",\"cWebAc\":\"cnweb4\"" + site + ",\"cPassword\":\"pw-4\"", -22},  // no client with the account
      {",\"cWebAc\":\"cnweb3\"" + site + ",\"cPassword\":\"pw-3\"", -23},  // no key, none asked for
      {",\"cWebAc\":\"cnweb3\"" + site + ",\"cPassword\":\"pw-3\",\"bGenKey\":false", -23},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Login(c.keys, md5), Code(c.code)) << c.keys;
  }
  // A right login: the client's id and its key, masked with the request's MD5 text.
  const std::string reply = Login(",\"cWebAc\":\"CNWEB1\"" + site + ",\"cPassword\":\"pw-1\"", md5);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(reply, m, std::regex(
      "\\{\"ReturnValue\":950503,\"cWebAc\":\"CNWEB1\",\"icID\":950503,\"cKey\":\"([0-9A-F]+)\"\\}")))
      << reply;
  EXPECT_EQ(Unmask(m[1], md5), "CnKey950503xyz");
  // The wrong password never reached a key.
  TestDb db;
  EXPECT_EQ(db.Scalar("SELECT capikey FROM dbo.client_arc WHERE icid = 950505"), "");
}

TEST_F(ClientLoginTest, ANewKeyIsStoredOnceAndHandedOutAsStored) {
  // Eight logins race for the first key of a client: each one hands out the key that is stored.
  constexpr int kThreads = 8;
  std::vector<std::string> keys(kThreads);
  std::vector<std::thread> threads;
  const long long ts = ServerTime();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string md5 = twtest::RequestSignature(t, ts, "any");
      HttpClient http(host_.port());
      const std::string body = http.Post("/cgi-bin/Tarnwick.dll?DoApp",
                                         "{\"RequestName\":\"GetClientID\",\"TimeStamp\":" + std::to_string(ts) +
                                             ",\"MD5\":\"" + md5 + "\",\"cWebAc\":\"cnweb2\",\"cWcid\":\"cnsite\","
                                             "\"cPassword\":\"pw-2\",\"bGenKey\":true}")
                                   .body;
      const std::vector<std::string> masked = ReplyTexts(body, "cKey");
      if (masked.size() == 1) keys[t] = Unmask(masked[0], md5);
    });
  }
  for (std::thread& t : threads) t.join();
  TestDb db;
  const std::string stored = db.Scalar("SELECT capikey FROM dbo.client_arc WHERE icid = 950504");
  ASSERT_TRUE(std::regex_match(stored, std::regex("[A-Za-z0-9]{15}"))) << stored;
  for (const std::string& k : keys) EXPECT_EQ(k, stored);
  // The option's first byte became FF, the others stayed; a one-byte option gets a second byte 0.
  EXPECT_EQ(db.Scalar("SELECT encode(voption, 'hex') FROM dbo.client_arc WHERE icid = 950504"), "ff0d0e");
  const std::string md5 = twtest::RequestSignature("five", 5, "x");
  const std::string reply = Login(",\"cWebAc\":\"cnweb5\",\"cWcid\":\"cnsite\",\"cPassword\":\"pw-5\",\"bGenKey\":true", md5);
  EXPECT_EQ(ReplyInts(reply, "icID"), std::vector<long long>{950506}) << reply;
  EXPECT_EQ(db.Scalar("SELECT encode(voption, 'hex') FROM dbo.client_arc WHERE icid = 950506"), "ff00");
  // Another client's key is a different one.
  EXPECT_NE(db.Scalar("SELECT capikey FROM dbo.client_arc WHERE icid = 950506"), stored);

  // The key handed out signs the client's requests.
  const long long now = ServerTime();
  const std::string info = Post("DoApp", "ClientInfo",
                                ",\"icID\":950504,\"TimeStamp\":" + std::to_string(now) + ",\"MD5\":\"" +
                                    twtest::RequestSignature(950504, now, keys[0]) + "\"");
  EXPECT_EQ(ReplyInts(info, "icID"), std::vector<long long>{950504}) << info;
}

// ---- ClientCreate -----------------------------------------------------------------------------------

TEST_F(ClientNumbersTest, ClientCreateStoresTheAccount) {
  const std::string memo = std::string(",\"cMemo\":\"") + kMemo + "\"";
  // Refused before anything is stored.
  EXPECT_EQ(Post("Do", "ClientCreate", ",\"cUnitName\":\"A\"" + memo), Code(-12));
  EXPECT_EQ(Post("Do", "ClientCreate", memo), Code(-12));

  struct Case {
    std::string more;
    std::string accountPattern;  // of the reply and the row
    std::string state, payWay;
  } cases[] = {
      // Pinyin initials of the Chinese name, upper-cased, with five digits.
      {",\"cUnitName\":\"" + Utf8("深圳测试公司") + "\",\"nState\":1,\"nPayWay\":2", "SZCSGS[0-9]{5}", "1", "2"},
      // Latin letters when the name has no Chinese.
      {",\"cUnitName\":\"ab co\",\"nState\":3,\"nPayWay\":5", "ABCO[0-9]{5}", "0", "0"},
      {",\"cUnitName\":\"O'Brien & Sons 2\",\"nState\":-1,\"nPayWay\":1", "OBRIENSONS2", "0", "1"},
      // An account given is kept; a short one gets the digits.
      {",\"cUnitName\":\"Given Ltd\",\"cAccount\":\"cngiven01x\"", "cngiven01x", "0", "0"},
      {",\"cUnitName\":\"Short Ltd\",\"cAccount\":\"cns\"", "cns[0-9]{5}", "0", "0"},
  };
  TestDb db;
  for (const Case& c : cases) {
    const std::string reply = Post("Do", "ClientCreate", c.more + memo +
                                                             ",\"cCity\":\"" + Utf8("深圳") +
                                                             "\",\"cWeChat\":\"wx-1\",\"cBy5\":\"b5'\",\"cQQ\":\"123\"");
    const std::vector<long long> id = ReplyInts(reply, "ReturnValue");
    ASSERT_EQ(id.size(), 1u) << reply;
    ASSERT_GT(id[0], 0) << reply;
    const std::vector<std::string> account = ReplyTexts(reply, "cAccount");
    ASSERT_EQ(account.size(), 1u);
    EXPECT_TRUE(std::regex_match(account[0], std::regex(c.accountPattern))) << account[0];
    auto rows = db.Query("SELECT caccount, nstate, npayway, ccity, cwechat, cby5, cqq, cunitname FROM dbo.client_arc "
                         "WHERE icid = " + std::to_string(id[0]));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], account[0]);
    EXPECT_EQ(rows[0][1], c.state) << c.more;
    EXPECT_EQ(rows[0][2], c.payWay) << c.more;
    EXPECT_EQ(rows[0][3], "深圳");
    EXPECT_EQ(rows[0][4], "wx-1");
    EXPECT_EQ(rows[0][5], "b5'");
    EXPECT_EQ(rows[0][6], "123");
    EXPECT_EQ(Utf8(rows[0][7]), ReplyTexts(reply, "cUnitName").at(0));
  }
  // An account names one client, whatever its letter case.
  EXPECT_EQ(Post("Do", "ClientCreate", ",\"cUnitName\":\"Again Ltd\",\"cAccount\":\"CNGIVEN01X\"" + memo),
            "{\"ReturnValue\":-1,\"cUnitName\":\"Again Ltd\",\"cAccount\":\"CNGIVEN01X\"}");
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.client_arc WHERE cmemo = 'client-numbers-test'"), "5");
}

}  // namespace
