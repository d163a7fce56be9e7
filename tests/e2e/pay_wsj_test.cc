// The payment-terminal gateway over HTTP against the test database: the envelope and its signature
// rule, command 102 (what to collect for a waybill) and command 103 (booking the payment). Every
// booking is read back from client_fee and client_rec, not only from the reply.
//
// The rows of this test use ids and numbers no other test uses: clients 940001-940003, shipment
// records 940701-940799 with waybill numbers beginning "PW".

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/escape.h"
#include "util/md5.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::TestDb;
using twtest::TestHost;

constexpr char kKey[] = "TermKey-940";
constexpr char kTarget[] = "/cgi-bin/Tarnwick.dll?PayWsj";

std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

// The failure reply of a GBK message, as the terminal receives it.
std::string Failure(const std::string& gbkMessage) {
  return "{\"Response\":\"01\",\"ErrorDescription\":\"" + Utf8(gbkMessage) + "\"}";
}
const std::string kSuccess = "{\"Response\":\"00\",\"ErrorDescription\":\"\"}";

std::string Md5Hex(const std::string& text) {
  char digest[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), digest);
  return digest;
}

// The base64 text of the request JSON (standard alphabet).
std::string Base64(const std::string& text) {
  std::string out(4 * (text.size() / 3 + 2) + 1, '\0');
  size_t needed = 0;
  EXPECT_EQ(tw::Base64Encode(text.data(), text.size(), out.data(), out.size(), &needed, 0), 0);
  out.resize(needed);
  return out;
}

std::string WithAt(std::string text) {
  for (char& c : text) {
    if (c == '+') c = '@';
  }
  return text;
}

// A terminal's request: Data is the base64 text with "@" for "+", URL-encoded; Md5 is 16 characters
// of the digest of that text and the key, from `offset` on.
std::string Envelope(int command, const std::string& json, size_t offset = 8, const std::string& key = kKey) {
  const std::string data = WithAt(Base64(json));
  const std::string md5 = Md5Hex(data + key).substr(offset, 16);
  return "Command=" + std::to_string(command) + "&Data=" + twtest::UrlEncode(data) + "&Md5=" + md5;
}

std::string PayIni(const std::string& key = kKey) {
  return twtest::DefaultIni() + "PAYWSJ_KEY=" + key + "\r\nPAYWSJ_ACCOUNT=77\r\n";
}

class PayWsjTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(Exec(db, "INSERT INTO dbo.client_arc (icid, capikey) VALUES (940001, 'PwKey940001'), "
                         "(940002, 'PwKey940002')"));
  }
  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    RemoveRows(db);
  }
  static bool Exec(TestDb& db, const std::string& sql) {
    bool ok = db.Exec(sql);
    EXPECT_TRUE(ok) << db.error() << "\n" << sql;
    return ok;
  }
  static void RemoveRows(TestDb& db) {
    Exec(db, "DELETE FROM dbo.client_fee WHERE icid BETWEEN 940000 AND 940999");
    Exec(db, "DELETE FROM dbo.client_rec WHERE irid BETWEEN 940700 AND 940799");
    Exec(db, "DELETE FROM dbo.client_arc WHERE icid BETWEEN 940000 AND 940999");
  }

  // Every test starts from the same shipments: PW10000001 to collect, PW10000002 paid, PW10000003
  // with less than a cent to collect, PW10000004 paid and with nothing to collect, PW2000000x to
  // collect (the bookings).
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    TestDb db;
    Exec(db, "DELETE FROM dbo.client_fee WHERE icid BETWEEN 940000 AND 940999");
    Exec(db, "DELETE FROM dbo.client_rec WHERE irid BETWEEN 940700 AND 940799");
    Exec(db,
         "INSERT INTO dbo.client_rec (irid, icid, cnum, crno, fgoods, fweight, famount, ifsid, cpostcode, creceiver, "
         "caddr, cphone) VALUES "
         "(940701, 940001, 'PW10000001', 'ORD-1', 12.5, 1.255, 33, 0, '100010', '张三', '北京市\"东城区\"', "
         "'13800000000'), "
         "(940702, 940001, 'PW10000002', '', 8, 1, 0, 5, '', '', '', ''), "
         "(940703, 940001, 'PW10000003', '', 0.004, 1, 0, 0, '', '', '', ''), "
         "(940704, 940001, 'PW10000004', '', 0, 1, 0, 7, '', '', '', ''), "
         "(940711, 940001, 'PW20000001', '', 20, 1, 0, 0, '', '', '', ''), "
         "(940712, 940001, 'PW20000002', '', 30, 1, 0, 0, '', '', '', ''), "
         "(940713, 940002, 'PW20000003', '', 40, 1, 0, 0, '', '', '', ''), "
         "(940714, 940002, 'PW20000004', '', 50, 1, 0, 0, '', '', '', ''), "
         "(940715, 940002, 'PW20000005', '', 60, 1, 0, 0, '', '', '', '')");
  }

  static void StartHost(TestHost& host, const std::string& ini = PayIni()) {
    HostConfig config;
    config.iniText = ini;
    ASSERT_TRUE(host.Start(config)) << host.error();
  }

  static std::string Post(HttpClient& http, const std::string& body) {
    HttpReply r = http.Post(kTarget, body, "application/x-www-form-urlencoded");
    EXPECT_EQ(r.status, 200) << body;
    EXPECT_EQ(r.Header("content-type"), "application/json") << body;
    return r.body;
  }

  static std::string Scalar(const std::string& sql) {
    TestDb db;
    return db.Scalar(sql);
  }
  static std::vector<std::vector<std::string>> Query(const std::string& sql) {
    TestDb db;
    return db.Query(sql);
  }
  static std::string FeeCount() { return Scalar("SELECT count(*) FROM dbo.client_fee WHERE icid BETWEEN 940000 AND 940999"); }

  // A payment result of a terminal for the waybill.
  static std::string Result(const std::string& barCode, const std::string& state, const std::string& deal,
                            double amount = 20) {
    return "{\"BarCode\":\"" + barCode + "\",\"TerminalNo\":345,\"LoginName\":12,\"TotalPayment\":" +
           std::to_string(amount) + ",\"BusinessTime\":\"20261210 101500\",\"TerminalDealID\":\"T" + deal +
           "\",\"UnionpayDealID\":\"U" + deal + "\",\"State\":\"" + state +
           "\",\"CardNo\":\"6222\",\"SignFlag\":\"0\",\"SignName\":\"\",\"UntreadReasonCode\":\"\"}";
  }
};

TEST_F(PayWsjTest, EnvelopeRefusalsComeInTheirOrder) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string query = "{\"BarCode\":\"PW10000001\"}";
  const std::string data = WithAt(Base64(query));
  const std::string digest = Md5Hex(data + kKey);
  const std::string goodMd5 = digest.substr(3, 16);
  const std::string encoded = twtest::UrlEncode(data);
  struct Case {
    std::string body;
    std::string reply;
    const char* why;
  } cases[] = {
      {"Data=" + encoded + "&Md5=" + goodMd5, Failure("没有解析出Command参数。"), "no Command"},
      {"Command=101&Data=" + encoded + "&Md5=" + goodMd5, Failure("Command 不支持。"), "a command not served"},
      {"Command=abc&Data=" + encoded + "&Md5=" + goodMd5, Failure("Command 不支持。"), "a command that is no number"},
      {"Command=102&Md5=" + goodMd5, Failure("没有解析出Data参数。"), "no Data"},
      {"Data=" + encoded + "&Command=102&Md5=" + goodMd5, Failure("没有解析出Data参数。"),
       "Data is found only after an \"&\""},
      {"Command=102&Data=" + encoded, Failure("没有解析出Md5参数。"), "no Md5"},
      {"Command=102&Data=" + encoded + "&Md5=" + goodMd5.substr(0, 15), Failure("Md5参数。"), "15 characters"},
      {"Command=102&Data=" + encoded + "&Md5=" + goodMd5 + "a", Failure("Md5参数。"), "17 characters"},
      {"Command=102&Md5=" + goodMd5 + "&Data=" + encoded, "", "the fields in any order after the first"},
      {"Command=102&Data=" + encoded + "&Md5=0123456789abcdef",
       Failure("MD5验证失败:[0123456789abcdef]不在[" + digest + "]里面。"), "16 characters not in the digest"},
      {"Command=102&Data=" + encoded + "&Md5=\"123456789abcdef",
       Failure("MD5验证失败:[\\\"123456789abcdef]不在[" + digest + "]里面。"),
       "a quote of the request is escaped in the reply"},
      {"Command=102&Data=" + std::string(40000, 'A') + "&Md5=" + goodMd5, Failure("Data参数太长。"),
       "Data and key do not fit the work buffer"},
  };
  for (const Case& c : cases) {
    const std::string reply = Post(http, c.body);
    if (c.reply.empty()) {
      EXPECT_NE(reply.find("\"Response\":\"00\""), std::string::npos) << c.why << "\n" << reply;
    } else {
      EXPECT_EQ(reply, c.reply) << c.why;
    }
  }
  // Refusals carry no no-cache lines; success replies do.
  HttpReply refused = http.Post(kTarget, "Command=101", "application/x-www-form-urlencoded");
  EXPECT_EQ(refused.Header("pragma"), "");
  EXPECT_EQ(refused.Header("content-length"), std::to_string(refused.body.size()));
  HttpReply served = http.Post(kTarget, Envelope(102, query), "application/x-www-form-urlencoded");
  EXPECT_EQ(served.Header("pragma"), "no-cache");
  EXPECT_EQ(served.Header("cache-control"), "no-cache");
  EXPECT_EQ(host.Stop(), 0);

  // Refusals from the third step on are logged, those before it are not.
  const std::string log = host.LogFile("PAYWSJ");
  EXPECT_NE(log.find("Md5=0123456789abcdef"), std::string::npos);
  EXPECT_EQ(log.find("Command=101"), std::string::npos);
}

TEST_F(PayWsjTest, WithoutAKeyEveryRequestIsRefused) {
  // No key, and a key longer than 63 characters, configure nothing.
  for (const std::string& ini : {twtest::DefaultIni(), PayIni(std::string(64, 'k'))}) {
    TestHost host;
    StartHost(host, ini);
    HttpClient http(host.port());
    EXPECT_EQ(Post(http, Envelope(102, "{\"BarCode\":\"PW10000001\"}")), Failure("没有配置密钥。"));
    EXPECT_EQ(Post(http, ""), Failure("没有配置密钥。"));
    EXPECT_EQ(host.Stop(), 0);
  }
}

TEST_F(PayWsjTest, TheSignatureRule) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  const std::string query = "{\"BarCode\":\"PW10000001\"}";
  const std::string data = WithAt(Base64(query));
  const std::string digest = Md5Hex(data + kKey);
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  struct Case {
    std::string md5;
    bool ok;
    const char* why;
  } cases[] = {
      {digest.substr(0, 16), true, "the first 16"},
      {digest.substr(16, 16), true, "the last 16"},
      {upper(digest.substr(5, 16)), true, "any case"},
      {digest.substr(1, 15) + (digest[16] == 'f' ? "0" : "f"), false, "one character off"},
      {Md5Hex(data + "other-key").substr(0, 16), false, "another key"},
  };
  for (const Case& c : cases) {
    const std::string reply =
        Post(http, "Command=102&Data=" + twtest::UrlEncode(data) + "&Md5=" + twtest::UrlEncode(c.md5));
    EXPECT_EQ(reply.find("\"Response\":\"00\"") != std::string::npos, c.ok) << c.why << "\n" << reply;
  }

  // A base64 text holding "+" must travel with "@": a "+" sent as it is becomes a blank in the form
  // decoding, so its signature no longer matches.
  std::string json = "{\"BarCode\":\"PW10000001\",\"x\":\"~\"}";
  for (int i = 0; i < 3 && Base64(json).find('+') == std::string::npos; ++i) json.insert(json.size() - 2, "~");
  ASSERT_NE(Base64(json).find('+'), std::string::npos);
  const std::string plus = Base64(json);
  const std::string plusDigest = Md5Hex(plus + kKey);
  std::string blanked = plus;
  for (char& c : blanked) {
    if (c == '+') c = ' ';
  }
  EXPECT_EQ(Post(http, "Command=102&Data=" + plus + "&Md5=" + plusDigest.substr(0, 16)),
            Failure("MD5验证失败:[" + plusDigest.substr(0, 16) + "]不在[" + Md5Hex(blanked + kKey) + "]里面。"));
  EXPECT_NE(Post(http, Envelope(102, json)).find("\"Response\":\"00\""), std::string::npos);
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PayWsjTest, QueryTellsWhatToCollect) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  struct Case {
    std::string barCode;
    std::string reply;
    const char* why;
  } cases[] = {
      {"PW10000001",
       "{\"Response\":\"00\",\"ErrorDescription\":\"\",\"BarCode\":\"PW10000001\",\"EnterpriseID\":940001,"
       "\"OrderNumber\":\"ORD-1\",\"RecipientCode\":\"100010\",\"RecipientName\":\"" +
           Utf8("张三") + "\",\"RecipientAddress\":\"" + Utf8("北京市") + "\\x22" + Utf8("东城区") +
           "\\x22\",\"RecipientPhone\":\"13800000000\",\"Payment\":12.50,\"Weight\":1.25,\"Postage\":0.00,"
           "\"ServiceCharge\":0.00,\"PostagePostPaidFlag\":1,\"ExchangeFlag\":1,\"OriginMailBarcode\":\"\","
           "\"Description\":\"\"}",
       "to collect: the goods value, never the stored amount as postage"},
      {"pw10000002", Failure("记录已经回款(-4)"), "paid already (the number upper-cased)"},
      {"PW10000003", Failure("没有需要支付的款项(-1)"), "less than a cent (kept as 0.00)"},
      {"PW10000004", Failure("记录已经回款(-4)"), "paid is told before nothing to pay"},
      {"PW19999999", Failure("记录不存在(-2)"), "no such waybill"},
      {"PW1'0001", Failure("记录不存在(-2)"), "a quote stays inside its literal"},
      {"PW10001", Failure("记录不存在(-2)"), "7 characters are a number"},
      {"PW1000", Failure("BarCode参数错误(7-30字符)"), "6 characters are not"},
      {"PW10000001" + std::string(21, '0'), Failure("记录不存在(-2)"), "31 characters are a number"},
      {"PW10000001" + std::string(22, ' '), Failure("BarCode参数错误(7-30字符)"),
       "32 are refused, not cut to another waybill"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Post(http, Envelope(102, "{\"BarCode\":\"" + c.barCode + "\"}")), c.reply) << c.why;
  }
  // Data that is not base64 decodes to nothing: no waybill.
  const std::string bad = "!!!!";
  EXPECT_EQ(Post(http, "Command=102&Data=" + bad + "&Md5=" + Md5Hex(bad + kKey).substr(0, 16)),
            Failure("BarCode参数错误(7-30字符)"));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(PayWsjTest, ResultBooksThePaymentOnce) {
  TestHost host;
  StartHost(host);
  HttpClient http(host.port());
  struct Case {
    std::string barCode;
    std::string state;
    const char* payWay;
    int irid;
  } cases[] = {
      {"PW20000001", "00", "POS", 940711},
      {"pw20000002", "31", "CASH", 940712},
      {"PW20000003", "60", "CASH.", 940713},
  };
  for (const Case& c : cases) {
    const std::string deal = std::to_string(c.irid);
    ASSERT_EQ(Post(http, Envelope(103, Result(c.barCode, c.state, deal, 20.5))), kSuccess) << c.state;
    // One fee of the shipment's client, linked from the shipment, with the terminal's texts.
    const auto rows = Query(
        "SELECT f.icid, f.ffee, f.cpayway, f.cmoney, f.crefno, f.cdocno, f.cmemo, f.ntype, (f.dpdate = CURRENT_DATE)::int "
        "FROM dbo.client_fee f JOIN dbo.client_rec r ON r.ifsid = f.ifid WHERE r.irid = " +
        std::to_string(c.irid));
    ASSERT_EQ(rows.size(), 1u) << c.state;
    EXPECT_EQ(rows[0], (std::vector<std::string>{c.irid == 940713 ? "940002" : "940001", "20.50", c.payWay, "CNY",
                                                 "U" + deal, "00000012,00000345",
                                                 "万事捷POS,20261210 101500,[00000345]T" + deal, "1", "1"}))
        << c.state;
  }
  EXPECT_EQ(FeeCount(), "3");

  // The terminal sends the same result again: answered as booked, not booked twice. Another deal for
  // a paid shipment is refused.
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000001", "00", "940711"))), kSuccess);
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000001", "00", "other"))), Failure("记录已经回款(-4)"));
  EXPECT_EQ(FeeCount(), "3");

  // A state that moves no money books nothing; an unknown waybill is not told "paid".
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000004", "99", "x1"))), kSuccess);
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000004", "", "x2"))), kSuccess);
  EXPECT_EQ(Scalar("SELECT ifsid FROM dbo.client_rec WHERE irid = 940714"), "0");
  EXPECT_EQ(Post(http, Envelope(103, Result("PW29999999", "00", "x3"))), Failure("记录不存在(-2)"));
  EXPECT_EQ(Post(http, Envelope(103, Result("PW2", "00", "x4"))), Failure("BarCode参数错误(7-30字符)"));
  // A booking that did not happen is never told "00": the statement cannot run (an amount that is no
  // number), or the procedure cannot store the fee (an amount beyond the fee column).
  std::string nan = Result("PW20000004", "00", "x6");
  nan.replace(nan.find("\"TotalPayment\":") + 15, 9, "\"nan\"");
  EXPECT_EQ(Post(http, Envelope(103, nan)), Failure("数据库执行错误(-9)")) << nan;
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000004", "00", "x7", 1e20))), Failure("数据库执行错误(-9)"));
  // A deal number too long to keep is refused rather than cut into another deal's number.
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000004", "00", std::string(31, '9')))),
            Failure("TerminalDealID参数太长。"));
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000004", "00" + std::string(30, '0'), "x5"))),
            Failure("State参数太长。"));
  EXPECT_EQ(Scalar("SELECT ifsid FROM dbo.client_rec WHERE irid = 940714"), "0");
  // Texts with quotes stay inside their literals.
  EXPECT_EQ(Post(http, Envelope(103, Result("PW20000004", "00", "'q"))), kSuccess);
  EXPECT_EQ(Scalar("SELECT f.crefno FROM dbo.client_fee f JOIN dbo.client_rec r ON r.ifsid = f.ifid "
                   "WHERE r.irid = 940714"),
            "U'q");
  EXPECT_EQ(FeeCount(), "4");
  EXPECT_EQ(host.Stop(), 0);

  const std::string log = host.LogFile("PAYWSJ");
  EXPECT_NE(log.find("****State:99"), std::string::npos);
  EXPECT_NE(log.find("*FAIL*Ret:-2"), std::string::npos);
  EXPECT_NE(log.find("*FAIL*Ret:-9"), std::string::npos);
  EXPECT_NE(log.find("*FAIL*Ret:0"), std::string::npos);  // the statement that did not run
}

TEST_F(PayWsjTest, OneDealSentByTwoTerminalsAtOnceIsBookedOnce) {
  TestHost host;
  StartHost(host);
  constexpr int kSenders = 8;
  std::vector<std::string> replies(kSenders);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kSenders; ++i) {
    threads.emplace_back([&, i] {
      HttpClient http(host.port());
      const std::string body = Envelope(103, Result("PW20000005", "00", "race"));
      ++ready;
      while (ready.load() < kSenders) std::this_thread::yield();
      replies[i] = http.Post(kTarget, body, "application/x-www-form-urlencoded").body;
    });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& r : replies) EXPECT_EQ(r, kSuccess);
  EXPECT_EQ(Scalar("SELECT count(*) FROM dbo.client_fee WHERE icid = 940002 AND crefno = 'Urace'"), "1");
  EXPECT_EQ(Scalar("SELECT (r.ifsid = f.ifid)::int FROM dbo.client_rec r, dbo.client_fee f WHERE r.irid = 940715 AND "
                   "f.crefno = 'Urace'"),
            "1");
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
