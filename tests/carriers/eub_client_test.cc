// The China Post EUB client against fake carrier servers on 127.0.0.1 and the test database: its
// settings, the exact order it posts, its refusals before anything is sent, every reply form, the
// label fetch and the label worker storing what the carrier returns.

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "carriers/carrier_clients.h"
#include "carriers/label_store.h"
#include "carriers/label_worker.h"
#include "core/pool.h"
#include "tests/carriers/carrier_fixtures.h"
#include "tests/support/e2e.h"
#include "tests/support/fake_carrier.h"
#include "util/md5.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::TestDb;

constexpr char kOrderPath[] = "/partner/api/public/p/order/";
const std::string kMailReply =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><status>success</status><mailnum>LX123456789CN</mailnum>"
    "</response>";

std::string Replace(std::string s, const std::string& open, const std::string& close, const std::string& with) {
  const size_t a = s.find(open);
  const size_t b = s.find(close, a);
  if (a == std::string::npos || b == std::string::npos) return s;
  return s.replace(a + open.size(), b - a - open.size(), with);
}

void Fill(EubOrder& o) {
  o.recordId = 77;
  o.weight = 1.2345;
  o.quantity = 2;
  o.unitPrice = 3.5;
  o.pieces = 2;
  std::strcpy(o.kind, "e8eub");  // kinds are matched without case
  std::strcpy(o.destination, "美国");
  std::strcpy(o.postcode, "10001");
  std::strcpy(o.orderId, "ORD-1");
  std::strcpy(o.dimensions, "10*20*30");
  std::strcpy(o.receiver, "John &amp; Jane");
  std::strcpy(o.address, "1 Main St\r\nA&lt;B&gt; &amp; more");
  std::strcpy(o.city, "New York");
  std::strcpy(o.province, "NY");
  std::strcpy(o.country, "美国");
  std::strcpy(o.phone, "555-1");
  std::strcpy(o.goods, "衣服衣服");
  std::strcpy(o.goodsEn, "T-shirt");
  std::strcpy(o.remark, "fragile &amp; dry");
}

class EubClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(orders.Start());
    ASSERT_TRUE(labels.Start());
    ASSERT_EQ(client.LoadSettings(3, twcarrier::EubSettings(orders.port(), labels.port()).c_str()), 1);
    if (!twcarrier::ConnectTestPool()) GTEST_SKIP() << "no test database";
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.file_share WHERE ngrade=119")) << db.error();
    ClearLabelJobs();
  }
  void TearDown() override { ClearLabelJobs(); }

  FakeCarrierServer orders, labels;
  CEubClient client;
  TestDb db;
};

TEST(EubSettingsTest, ReadsEachBlockOnItsOwn) {
  CEubClient c;
  ASSERT_EQ(c.LoadSettings(2, twcarrier::EubSettings(18081, 18082).c_str()), 1);
  EXPECT_EQ(c.accountNumber, 2u);
  EXPECT_STREQ(c.customerCode, "VIP001");
  EXPECT_STREQ(c.key, "EubKey-01");
  EXPECT_EQ(c.port, 18081);
  EXPECT_STREQ(c.labelHost, "127.0.0.1");
  EXPECT_EQ(c.labelPort, 18082);
  EXPECT_STREQ(c.labelPaper, "01");  // "00" is stored as "01"
  EXPECT_EQ(c.pickupType, 0);        // above 1 becomes 0
  EXPECT_STREQ(c.returnType, "Returned");
  // The pickup and sender blocks hold the same keys: each keeps its own values.
  EXPECT_STREQ(c.pickup.name, "张三");
  EXPECT_STREQ(c.sender.name, "SENDER LI");
  EXPECT_STREQ(c.sender.county, "310102");
  ASSERT_NE(c.FindKind("E8OP2"), nullptr);
  EXPECT_EQ(c.FindKind("E8OP2")->code[0], '2');
  EXPECT_EQ(c.FindKind("E8OP2")->product, '1');
  EXPECT_NE(c.FindKind("E8LOW"), nullptr);
  EXPECT_EQ(c.FindKind("E8NONE"), nullptr);

  // Without a kind block the account cannot be used; a port outside 80..65535 is 80, and the label
  // host defaults to the order host on port 80.
  CEubClient bare;
  EXPECT_EQ(bare.LoadSettings(1, "服务器=orders.example\r\n端口=0\r\n密钥=k\r\n"), 0);
  CEubClient defaults;
  ASSERT_EQ(defaults.LoadSettings(1, "服务器=orders.example\r\n端口=70000\r\n<关联快递类别开始>\r\nK=1\r\n<关联快递类别结束>"), 1);
  EXPECT_EQ(defaults.port, 80);
  EXPECT_STREQ(defaults.labelHost, "orders.example");
  EXPECT_EQ(defaults.labelPort, 80);
}

TEST(EubMailNumberTest, Positions) {
  const struct {
    const char* text;
    bool ok;
  } cases[] = {{"LX123456789CN", true}, {"LX12345678CN", false}, {"lx123456789cn", false},
               {"@:123456789?>", true}, {"LX1234567A9CN", false}, {"LX123456789CNX", false}, {"", false}};
  for (const auto& c : cases) EXPECT_EQ(IsEubMailNumber(c.text), c.ok) << c.text;
}

TEST_F(EubClientTest, PostsTheOrderExactly) {
  orders.Script("POST", kOrderPath, {FakeReply::Ok(kMailReply)});
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CEubSession session(slot.slot(), &client);
  EubOrder o;
  Fill(o);
  ASSERT_EQ(session.CreateOrder(o), 1) << o.message;
  ASSERT_EQ(orders.RequestCount(), 1u);
  const twtest::FakeRequest req = orders.Requests()[0];
  const std::string expectedXml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<orders xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
      "\r\n<order>\r\n<orderid>\r\nORD-1</orderid>\r\n<operationtype>0</operationtype>\r\n"
      "<customercode>X0000000077</customercode>\r\n<vipcode>VIP001</vipcode>\r\n<clcttype>0</clcttype>\r\n"
      "<pod>false</pod>\r\n<untread>Returned</untread>\r\n<volweight>1</volweight>\r\n<startdate>S</startdate>\r\n"
      "<enddate>E</enddate>\r\n<printcode>01</printcode>\r\n<sender>\r\n<name>SENDER LI</name>\r\n"
      "<postcode>200002</postcode>\r\n<phone>021-5678</phone>\r\n<mobile>13900000000</mobile>\r\n"
      "<country>CN</country>\r\n<province>310000</province>\r\n<city>310100</city>\r\n<county>310102</county>\r\n"
      "<company>揽收公司</company>\r\n<street>Sender Road 2</street>\r\n<email>s@b.cn</email>\r\n</sender>\r\n"
      "<receiver>\r\n<name>John &amp; Jane</name>\r\n<postcode>10001</postcode>\r\n<phone>555-1</phone>\r\n"
      "<mobile/>\r\n<country>UNITED STATES OF AMERICA</country>\r\n<province>NY</province>\r\n"
      "<city>New York</city>\r\n<county>A&lt;B&gt; &amp; more</county>\r\n<street>1 Main St</street>\r\n"
      "</receiver>\r\n<collect>\r\n<name>张三</name>\r\n<postcode>200001</postcode>\r\n<phone>021-1234</phone>\r\n"
      "<mobile>13800000000</mobile>\r\n<country>CN</country>\r\n<province>310000</province>\r\n"
      "<city>310100</city>\r\n<county>310101</county>\r\n<company>揽收公司</company>\r\n<street>揽收路1号</street>\r\n"
      "<email>a@b.cn</email>\r\n</collect>\r\n<retreat>\r\n<name></name>\r\n<postcode>3043</postcode>\r\n"
      "<phone></phone>\r\n<mobile></mobile>\r\n<country>AUSTRALIA</country>\r\n<province>VIC</province>\r\n"
      "<city>Tullamarine</city>\r\n<county></county>\r\n<street>StarTrack International,38 Annandale Road</street>"
      "\r\n</retreat>\r\n<items>\r\n<item>\r\n<cnname>衣服衣服</cnname>\r\n<enname>T-SHIRT</enname>\r\n"
      "<count>2</count>\r\n<weight>0.617</weight>\r\n<delcarevalue>7.00</delcarevalue>\r\n<origin>CN</origin>\r\n"
      "</item>\r\n</items>\r\n<remark>fragile &amp; dry</remark>\r\n</order>\r\n</orders>\r\n";
  std::string body = Replace(Replace(req.body, "<startdate>", "</startdate>", "S"), "<enddate>", "</enddate>", "E");
  EXPECT_EQ(body, twtest::GbkToUtf8Text(expectedXml));
  // The dates: now and ten days on.
  const std::string start = twtest::XmlText(req.body, "startdate");
  ASSERT_EQ(start.size(), 19u);
  EXPECT_EQ(start[10], 'T');
  EXPECT_EQ(req.header,
            "POST /partner/api/public/p/order/ HTTP/1.1\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
            "Accept-Encoding: gzip, deflate\r\nHost: 127.0.0.1:" +
                std::to_string(orders.port()) +
                "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                "version: international_eub_us_1.1\r\nauthenticate: EubKey-01\r\nContent-Length: " +
                std::to_string(req.body.size()) +
                "\r\nContent-Type: text/xml; charset=utf-8\r\nCache-Control: no-cache\r\nConnection: Close\r\n\r\n");

  // Accepted: the mail number, a placeholder row and a queued job for it.
  EXPECT_STREQ(o.mailNumber, "LX123456789CN");
  ASSERT_GT(o.result, 0);
  EXPECT_EQ(db.Scalar("SELECT ckind||'|'||corder||'|'||split_part(ctitle,':',1)||'|'||ckey||'|'||ilen FROM "
                      "dbo.file_share WHERE iid=" +
                      std::to_string(o.result)),
            "EUB_Label|77|EubKey-01|LX123456789CN|0");
  LabelJob job;
  ASSERT_EQ(PopLabelJob(job), 1);
  EXPECT_EQ(job.kind, 0);
  EXPECT_EQ(job.id, o.result);
  EXPECT_STREQ(job.account, "EubKey-01");
  EXPECT_STREQ(job.mailNumber, "LX123456789CN");
}

TEST_F(EubClientTest, WeightCapGeneratedIdAndJapanesePostcode) {
  orders.Script("POST", kOrderPath, {FakeReply::Ok(kMailReply)});
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CEubSession session(slot.slot(), &client);
  EubOrder o;
  Fill(o);
  o.weight = 2.5;
  o.pieces = 1;
  o.orderId[0] = '\0';
  std::strcpy(o.destination, "日本");
  std::strcpy(o.postcode, "100 0001");
  std::strcpy(o.goodsEn, "");
  ASSERT_EQ(session.CreateOrder(o), 1) << o.message;
  const std::string body = orders.Requests()[0].body;
  EXPECT_EQ(twtest::XmlText(body, "weight"), "1.900");
  EXPECT_EQ(twtest::XmlText(body, "volweight"), "2");
  EXPECT_EQ(twtest::XmlText(body, "postcode").size(), 6u);  // the sender's comes first
  EXPECT_NE(body.find("<postcode>100-0001</postcode>"), std::string::npos);
  EXPECT_EQ(twtest::XmlText(body, "country").size(), 2u);  // sender "CN"
  EXPECT_NE(body.find("<country>JP</country>"), std::string::npos);
  const std::string id = twtest::XmlText(body, "orderid");
  EXPECT_EQ(id.rfind("\r\nKMWT3", 0), 0u) << id;
  EXPECT_STREQ(o.sentOrderId, id.substr(2).c_str());
  // Without an English name the goods travel as upper-case pinyin.
  const std::string en = twtest::XmlText(body, "enname");
  ASSERT_FALSE(en.empty());
  for (char c : en) EXPECT_TRUE((c >= 'A' && c <= 'Z') || c == ' ') << en;
}

TEST_F(EubClientTest, RefusesBeforeSending) {
  struct Case {
    const char* what;
    void (*change)(EubOrder&);
    int code;
    const char* message;
  };
  const Case cases[] = {
      {"kind", [](EubOrder& o) { std::strcpy(o.kind, "E8NONE"); }, 12, "类别不支持"},
      {"short postcode", [](EubOrder& o) { std::strcpy(o.postcode, "100"); }, 3, "收件邮编错"},
      {"postcode of the country (operation 2)",
       [](EubOrder& o) {
         std::strcpy(o.kind, "E8OP2");
         std::strcpy(o.postcode, "1234");
       },
       3, "收件邮编错"},
      {"country", [](EubOrder& o) { o.country[0] = '\0'; }, 3, "收件国家空"},
      {"province (operation 0)", [](EubOrder& o) { o.province[0] = '\0'; }, 3, "收件省州空"},
      {"city", [](EubOrder& o) { std::strcpy(o.city, "<b></b>"); }, 3, "收件城市空"},
      {"address", [](EubOrder& o) { std::strcpy(o.address, "  "); }, 4, "收件地址空"},
      {"receiver", [](EubOrder& o) { o.receiver[0] = '\0'; }, 5, "收件人空"},
      {"weight", [](EubOrder& o) { o.weight = 0.005; }, 6, "重量错"},
      {"goods", [](EubOrder& o) { std::strcpy(o.goods, "abc"); }, 14, "物品空或太短"},
  };
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CEubSession session(slot.slot(), &client);
  for (const Case& c : cases) {
    EubOrder o;
    Fill(o);
    c.change(o);
    EXPECT_EQ(session.CreateOrder(o), 0) << c.what;
    EXPECT_EQ(o.result, c.code) << c.what;
    EXPECT_STREQ(o.message, c.message) << c.what;
  }
  EXPECT_EQ(orders.RequestCount(), 0u);
  // With operation 1 the province may be empty, and the second name stands in for the first.
  orders.Script("POST", kOrderPath, {FakeReply::Ok(kMailReply)});
  EubOrder o;
  Fill(o);
  std::strcpy(o.kind, "E8LOW");
  o.province[0] = '\0';
  o.receiver[0] = '\0';
  std::strcpy(o.receiver2, "Second Name");
  EXPECT_EQ(session.CreateOrder(o), 1) << o.message;
  EXPECT_NE(orders.Requests().at(0).body.find("<name>Second Name</name>"), std::string::npos);
}

TEST_F(EubClientTest, ReplyForms) {
  FakeReply cut = FakeReply::Raw("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<mailnum>LX1");
  FakeReply chunked = FakeReply::Chunked(kMailReply, {10, 20});
  struct Case {
    const char* what;
    FakeReply reply;
    int result;
    std::string message;
  };
  const Case cases[] = {
      {"success", FakeReply::Ok(kMailReply), 1, ""},
      {"chunked success", chunked, 1, ""},
      {"gzip success", FakeReply::Gzip(kMailReply), 1, ""},
      {"error with a description",
       FakeReply::Ok(twtest::GbkToUtf8Text("<response><status>error</status><description>地址错误 A&amp;B"
                                            "</description><mailnum>LX123456789CN</mailnum></response>")),
       0, "地址错误 A&amp;B"},
      {"no mail number", FakeReply::Ok("<response><status>success</status></response>"), 0, "邮政服务器异常!"},
      {"mail number of 12 characters", FakeReply::Ok("<response><mailnum>LX12345678CN</mailnum></response>"), 0,
       "邮政服务器异常!"},
      {"body cut short", cut, 0, "邮政服务器断线!iRet:-205,sState:200"},
      {"refused status", FakeReply::Ok("nope", "text/plain", 403), 0, "邮政服务器断线!iRet:-102,sState:403"},
  };
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CEubSession session(slot.slot(), &client);
  for (const Case& c : cases) {
    orders.Script("POST", kOrderPath, {c.reply});
    ClearLabelJobs();
    EubOrder o;
    Fill(o);
    EXPECT_EQ(session.CreateOrder(o), c.result) << c.what;
    if (c.result == 1) {
      EXPECT_STREQ(o.mailNumber, "LX123456789CN") << c.what;
      EXPECT_EQ(LabelJobCount(), 1u) << c.what;
    } else {
      EXPECT_STREQ(o.message, c.message.c_str()) << c.what;
      EXPECT_STREQ(o.mailNumber, "") << c.what;
      EXPECT_EQ(LabelJobCount(), 0u) << c.what;
    }
  }
}

TEST_F(EubClientTest, PrintLabelStoresOnlyAPdf) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  const std::string pdf = twcarrier::SamplePdf();
  char md5[tw::kMd5HexSize];
  const std::string signedText = std::string("EubKey-01") + "LX123456789CN";
  tw::MD5Hex(signedText.data(), signedText.size(), md5);
  const std::string path = std::string("/partner/api/public/p/static/label/download/") + md5 + "/LX123456789CN.pdf";

  // An error page (even a long one, even with status 200) is never a label: three tries a second
  // apart, then -2, and the placeholder stays.
  const int id = CreateLabelPlaceholder(slot.slot(), 0, "1", "EubKey-01", nullptr, "LX123456789CN", time(nullptr));
  ASSERT_GT(id, 0);
  labels.Script("GET", path, {FakeReply::Ok("<html>" + std::string(3000, 'e') + "</html>", "text/html")});
  LabelJob job;
  job.kind = 0;
  job.id = id;
  std::strcpy(job.account, "EubKey-01");
  std::strcpy(job.mailNumber, "LX123456789CN");
  CEubSession session(slot.slot(), &client);
  EXPECT_EQ(session.PrintLabel(job), -2);
  const auto tries = labels.Requests();
  ASSERT_EQ(tries.size(), 3u);
  EXPECT_GE(tries[1].atMs - tries[0].atMs, 900);
  EXPECT_GE(tries[2].atMs - tries[1].atMs, 900);
  EXPECT_EQ(tries[0].Header("Authorization"), "");
  EXPECT_EQ(tries[0].Header("Cookie"), "");
  EXPECT_EQ(db.Scalar("SELECT ilen FROM dbo.file_share WHERE iid=" + std::to_string(id)), "0");

  // The PDF on the second try is stored in the row.
  labels.Clear();
  labels.Script("GET", path, {FakeReply::Ok("busy", "text/plain", 500), FakeReply::Ok(pdf, "application/pdf")});
  EXPECT_EQ(session.PrintLabel(job), 1);
  EXPECT_EQ(labels.RequestCount(), 2u);
  EXPECT_EQ(session.labelLength, static_cast<int32_t>(pdf.size()));
  EXPECT_EQ(db.Scalar("SELECT ilen||'|'||cfilename||'|'||md5(vdata) FROM dbo.file_share WHERE iid=" + std::to_string(id)),
            std::to_string(pdf.size()) + "|LX123456789CN.pdf|" + [&] {
              char m[tw::kMd5HexSize];
              return std::string(tw::MD5Hex(pdf.data(), pdf.size(), m));
            }());

  // Without an account there is nothing to ask for.
  job.account[0] = '\0';
  EXPECT_EQ(session.PrintLabel(job), -1);
}

TEST_F(EubClientTest, TheWorkerFetchesQueuedLabelsAndStopsAtOnce) {
  g_EubClients.push_back(std::make_unique<CEubClient>());
  ASSERT_EQ(g_EubClients.back()->LoadSettings(1, twcarrier::EubSettings(orders.port(), labels.port()).c_str()), 1);
  g_pEubClient = g_EubClients.front().get();
  orders.Script("POST", kOrderPath, {FakeReply::Ok(kMailReply)});
  const std::string pdf = twcarrier::SamplePdf(20000);
  char md5[tw::kMd5HexSize];
  const std::string signedText = std::string("EubKey-01") + "LX123456789CN";
  tw::MD5Hex(signedText.data(), signedText.size(), md5);
  labels.Script("GET", std::string("/partner/api/public/p/static/label/download/") + md5 + "/LX123456789CN.pdf",
                {FakeReply::Gzip(pdf)});
  int id = 0;
  {
    PoolSlotGuard slot;
    ASSERT_TRUE(slot.ok());
    CEubSession session(slot.slot(), g_pEubClient);
    EubOrder o;
    Fill(o);
    ASSERT_EQ(session.CreateOrder(o), 1) << o.message;
    id = o.result;
  }
  ASSERT_GT(id, 0);
  g_bLogEnabled.store(1);
  StartLabelWorker();
  std::string stored;
  for (int i = 0; i < 150 && stored != std::to_string(pdf.size()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stored = db.Scalar("SELECT ilen FROM dbo.file_share WHERE iid=" + std::to_string(id));
  }
  EXPECT_EQ(stored, std::to_string(pdf.size()));
  const auto t0 = std::chrono::steady_clock::now();
  StopLabelWorker();
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count(), 1000);
  g_bLogEnabled.store(0);
  // The job's log line: kind, row, mail number, time, average and count.
  const std::string logName = ExtensionSettings.logFolder + "LOG_TARNWICK_" + twtest::TodayForLog() + ".txt";
  FILE* f = std::fopen(logName.c_str(), "rb");
  ASSERT_NE(f, nullptr) << logName;
  char text[4096] = "";
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[n] = '\0';
  EXPECT_NE(std::string(text).find("**PDF_0_" + std::to_string(id) + "_LX123456789CN: "), std::string::npos) << text;
  EXPECT_NE(std::string(text).find(" ms. Av:"), std::string::npos) << text;
  DeleteCarrierClients();
}

}  // namespace
