// The SF Express client against fake carrier servers on 127.0.0.1 and the test database: its
// settings, the signed request inside the SOAP envelope (the carrier receives exactly the text the
// verify code covers), refusals, the error table, the reply forms and the label.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "carriers/carrier_clients.h"
#include "carriers/label_store.h"
#include "carriers/label_worker.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "tests/carriers/carrier_fixtures.h"
#include "tests/support/e2e.h"
#include "tests/support/fake_carrier.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::TestDb;

constexpr char kServicePath[] = "/CBTA/ws/sfexpressService";

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

// The carrier's reply: the response document escaped inside the SOAP envelope.
FakeReply Soap(const std::string& inner) {
  FakeReply r = FakeReply::Ok(
      "<?xml version='1.0' encoding='UTF-8'?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
      "<soap:Body><ns2:sfexpressServiceResponse xmlns:ns2=\"urn:x\"><Return>" +
      Escape(twtest::GbkToUtf8Text(inner)) + "</Return></ns2:sfexpressServiceResponse></soap:Body></soap:Envelope>");
  r.sendContinue = true;
  return r;
}

// A mail number that passes the twelve-digit check.
std::string ValidMail() {
  return "44400012345" + std::to_string(CheckDigitWeighted(12345));
}

std::string OkReply(const std::string& mail) {
  return "<Response service=\"OrderService\"><Head>OK</Head><Body><OrderResponse orderid=\"TW0000123\" "
         "j_post_code=\"518000\" mailno=\"" + mail + "\"/></Body></Response>";
}

// The request R inside the envelope, as the carrier reads it.
std::string RequestOf(const std::string& envelope) {
  const std::string open = "<xml xmlns=\"\">";
  const size_t a = envelope.find(open);
  const size_t b = envelope.find("</xml>");
  if (a == std::string::npos || b == std::string::npos) return "";
  return twtest::XmlUnescape(envelope.substr(a + open.size(), b - a - open.size()));
}

void Fill(SfOrder& o) {
  o.weight = 2.0;
  o.quantity = 2;
  o.unitPrice = 5;
  o.pieces = 0;
  std::strcpy(o.kind, "s8sf");
  std::strcpy(o.destination, "美国");
  std::strcpy(o.postcode, "10001");
  std::strcpy(o.company, "Co & \"Q\"");
  std::strcpy(o.contact, "Ann");
  std::strcpy(o.address, "Apt \"2\"\r\nFloor 3");
  std::strcpy(o.phone, "555");
  std::strcpy(o.mobile, "666");
  std::strcpy(o.province, "NY");
  std::strcpy(o.city, "NYC");
  std::strcpy(o.country, "美国");
  std::strcpy(o.goods, "衣服");
  std::strcpy(o.goodsEn, "shirt");
  std::strcpy(o.customsCode, "6109");
  std::strcpy(o.orderId, "TW0000123");
}

class SfClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(labels.Start());
    ASSERT_EQ(client.LoadSettings(1, twcarrier::SfSettings(server.port()).c_str()), 1);
    if (!twcarrier::ConnectTestPool()) GTEST_SKIP() << "no test database";
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.file_share WHERE ngrade=119")) << db.error();
    ClearLabelJobs();
  }
  void TearDown() override { ClearLabelJobs(); }

  FakeCarrierServer server, labels;
  CSfClient client;
  TestDb db;
};

TEST(SfSettingsTest, KeysBlocksAndDefaults) {
  CSfClient c;
  ASSERT_EQ(c.LoadSettings(1, twcarrier::SfSettings(18085).c_str()), 1);
  EXPECT_EQ(c.port, 18085);
  EXPECT_STREQ(c.account, "SFACC01");
  EXPECT_STREQ(c.returns, "Y");
  EXPECT_STREQ(c.serviceNamespace, "urn:tarnwick:sfexpressService");
  EXPECT_STREQ(c.senderName, "王五");
  EXPECT_STREQ(c.FindKind("S8SF")->code, "9");
  EXPECT_STREQ(c.FindKind("s8two")->code, "12");  // two characters at most, stopping at a blank
  CSfClient other;
  ASSERT_EQ(other.LoadSettings(1, "服务器=sf.example\r\n密钥=w\r\n是否退件=y\r\n命名空间=urn:other\r\n"
                                  "<关联快递类别开始>\r\nK=1\r\n<关联快递类别结束>"),
            1);
  EXPECT_EQ(other.port, 80);
  EXPECT_STREQ(other.returns, "N");
  EXPECT_STREQ(other.serviceNamespace, "urn:other");
  CSfClient empty;
  EXPECT_EQ(empty.LoadSettings(1, "服务器=sf.example\r\n密钥=w\r\n<关联快递类别开始>\r\n<关联快递类别结束>"), 0);
  CSfClient noWord;
  EXPECT_EQ(noWord.LoadSettings(1, "服务器=sf.example\r\n<关联快递类别开始>\r\nK=1\r\n<关联快递类别结束>"), 0);
}

TEST(SfVerifyCodeTest, KnownValues) {
  // Computed with an independent MD5 and base64 (Python's hashlib and base64).
  EXPECT_EQ(SfVerifyCode("<Request/>", "SfCheck01"), "M0REMzlDOTFCQUJGNUEzQzdCQjc4QjQ4MDlEMjkwM0M=");
  EXPECT_EQ(SfVerifyCode("", ""), "RDQxRDhDRDk4RjAwQjIwNEU5ODAwOTk4RUNGODQyN0U=");
}

TEST(SfErrorsTest, TableAndJoin) {
  EXPECT_STREQ(SfErrorText("6101"), "缺少必要参数");
  EXPECT_STREQ(SfErrorText("4002"), "报文解析错误");
  EXPECT_STREQ(SfErrorText("8044"), "错误代码8044");
  EXPECT_STREQ(SfErrorText("9110"), "【州╲省】APO/FPO军事区域不支持派送！");
  EXPECT_EQ(SfErrorText("6104"), nullptr);
  EXPECT_EQ(SfErrorText("9111"), nullptr);
  char out[256];
  JoinSfErrors("6101,9000", out, sizeof out);
  EXPECT_STREQ(out, "缺少必要参数\r\n身份验证失败");
  JoinSfErrors("1234, 4001 ,6150", out, sizeof out);
  EXPECT_STREQ(out, "系统发生数据错误或运行时异常\r\n订单不存在");
  // The joined text stops before a message that would not fit.
  char small[20];
  JoinSfErrors("6101,9000", small, sizeof small);
  EXPECT_STREQ(small, "缺少必要参数");
  JoinSfErrors("6101", small, 12);
  EXPECT_STREQ(small, "");
}

TEST_F(SfClientTest, PostsTheSignedEnvelopeExactly) {
  server.Script("POST", kServicePath, {Soap(OkReply(ValidMail()))});
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CSfSession session(slot.slot(), &client);
  SfOrder o;
  Fill(o);
  ASSERT_EQ(session.CreateOrder(o), 1) << o.message;
  ASSERT_EQ(server.RequestCount(), 1u);
  const twtest::FakeRequest req = server.Requests()[0];
  const std::string request = RequestOf(req.body);
  EXPECT_EQ(request, twtest::GbkToUtf8Text(
                         "<Request service=\"OrderService\" lang=\"zh-CN\"><Head>SFACC01</Head><Body><Order "
                         "orderid=\"TW0000123\" express_type=\"9\" j_company=\"顺丰寄件\" j_contact=\"王五\" "
                         "j_tel=\"0755-1\" j_mobile=\"13700000000\" j_address=\"深圳 &quot;仓&quot; 1号\" "
                         "d_company=\"Co &amp; &quot;Q&quot;\" d_contact=\"Ann\" d_tel=\"555\" d_mobile=\"666\" "
                         "operate_flag=\"1\" d_address=\"Apt  2  Floor 3\" parcel_quantity=\"1\" j_province=\"广东\" "
                         "j_city=\"深圳\" d_province=\"NY\" d_city=\"NYC\" j_country=\"CN\" j_post_code=\"518000\" "
                         "d_country=\"US\" d_post_code=\"10001\" cargo_total_weight=\"2.000\" returnsign=\"Y\">"
                         "<Cargo name=\"衣服\" ename=\"SHIRT\" hscode=\"6109\" count=\"2\" unit=\"PCE\" "
                         "weight=\"1.000\" amount=\"10.00\"/></Order></Body></Request>"));
  const size_t v = req.body.find("<verifyCode xmlns=\"\">");
  ASSERT_NE(v, std::string::npos);
  EXPECT_EQ(req.body.substr(v + 21, 44), SfVerifyCode(request, "SfCheck01"));
  EXPECT_EQ(req.body.substr(v + 21 + 44, 13), "</verifyCode>");
  EXPECT_NE(req.body.find("<sfexpressService xmlns=\"urn:tarnwick:sfexpressService\"><xml xmlns=\"\">"),
            std::string::npos);
  EXPECT_NE(req.body.find("</xml><verifyCode xmlns=\"\">"), std::string::npos);
  EXPECT_EQ(req.header,
            "POST /CBTA/ws/sfexpressService HTTP/1.1\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; MS Web "
            "Services Client Protocol 2.0.50727.3662)\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: "
            "\"\"\r\nHost: 127.0.0.1:" +
                std::to_string(server.port()) + "\r\nContent-Length: " + std::to_string(req.body.size()) +
                "\r\nExpect: 100-continue\r\nConnection: Keep-Alive\r\n\r\n");

  EXPECT_STREQ(o.mailNumber, ValidMail().c_str());
  ASSERT_GT(o.result, 0);
  EXPECT_EQ(db.Scalar("SELECT ckind||'|'||split_part(ctitle,':',1)||'|'||ckey FROM dbo.file_share WHERE iid=" +
                      std::to_string(o.result)),
            "SFEX_Label|SFACC01@TW0000123|" + ValidMail());
  LabelJob job;
  ASSERT_EQ(PopLabelJob(job), 1);
  EXPECT_EQ(job.kind, 2);
  EXPECT_STREQ(job.reference, "TW0000123");
}

TEST_F(SfClientTest, RefusalsAndReplyForms) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CSfSession session(slot.slot(), &client);
  {
    SfOrder o;
    Fill(o);
    std::strcpy(o.kind, "S8NONE");
    EXPECT_EQ(session.CreateOrder(o), 0);
    EXPECT_EQ(o.result, 12);
    EXPECT_STREQ(o.message, "类别不支持");
    Fill(o);
    std::strcpy(o.destination, "no such land");
    std::strcpy(o.country, "nowhere");
    EXPECT_EQ(session.CreateOrder(o), 0);
    EXPECT_STREQ(o.message, "目的国家错误");
    EXPECT_EQ(server.RequestCount(), 0u);
  }
  FakeReply cut = FakeReply::Raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n40\r\n<soap");
  cut.sendContinue = true;
  struct Case {
    const char* what;
    FakeReply reply;
    int result;
    std::string text;  // accepted: the mail number; refused: the message
    size_t jobs;
  };
  const Case cases[] = {
      {"errors joined by line", Soap("<Response><Head>ERR</Head><ERROR j_post_code=\"1\" code=\"6101,9000\">x</ERROR>"
                                     "</Response>"),
       0, "缺少必要参数\r\n身份验证失败", 0},
      {"an accepted number that fails the twelve-digit check: no label",
       Soap(OkReply("1234567890")), 1, "1234567890", 0},
      {"a number of 6 characters", Soap(OkReply("123456")), 0, "顺丰单号不合法:123456", 0},
      {"no number", Soap("<Response><Head>OK</Head><Body/></Response>"), 0, "顺丰单号不合法:", 0},
      {"a body cut short", cut, 0, "顺丰服务器断线!iRet:-205,sState:200", 0},
  };
  for (const Case& c : cases) {
    server.Script("POST", kServicePath, {c.reply});
    ClearLabelJobs();
    SfOrder o;
    Fill(o);
    EXPECT_EQ(session.CreateOrder(o), c.result) << c.what;
    EXPECT_STREQ(c.result == 1 ? o.mailNumber : o.message, c.text.c_str()) << c.what;
    EXPECT_EQ(LabelJobCount(), c.jobs) << c.what;
  }
}

TEST_F(SfClientTest, PrintLabel) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CSfSession session(slot.slot(), &client);
  const std::string pdf = twcarrier::SamplePdf(4000);
  const std::string mail = ValidMail();
  const int id = CreateLabelPlaceholder(slot.slot(), 2, "0", "SFACC01", "TW0000123", mail.c_str(), time(nullptr));
  ASSERT_GT(id, 0);
  LabelJob job;
  job.kind = 2;
  job.id = id;
  std::strcpy(job.account, "SFACC01");
  std::strcpy(job.mailNumber, mail.c_str());
  std::strcpy(job.reference, "TW0000123");
  const std::string url = "http://127.0.0.1:" + std::to_string(labels.port()) + "/sf/l.pdf?x=1&amp;y=2";
  server.Script("POST", kServicePath,
                {Soap("<Response service=\"OrderLabelPrintService\"><Head>OK</Head><Body><Label pdfUrl=\"" + url +
                      "\"/></Body></Response>")});
  labels.Script("GET", "/sf/l.pdf?x=1&y=2", {FakeReply::Chunked(pdf, {1000, 1000})});
  EXPECT_EQ(session.PrintLabel(job), 1);
  const std::string request = RequestOf(server.Requests().at(0).body);
  EXPECT_EQ(request, "<Request service=\"OrderLabelPrintService\" lang=\"zh-CN\"><Head>SFACC01</Head><Body>"
                     "<OrderLabelPrint orderid=\"TW0000123\" mailno=\"" + mail + "\" dealtype=\"1\"/></Body></Request>");
  EXPECT_EQ(db.Scalar("SELECT ilen||'|'||cfilename FROM dbo.file_share WHERE iid=" + std::to_string(id)),
            std::to_string(pdf.size()) + "|" + mail + ".pdf");

  const struct {
    std::string reply;
    int result;
  } cases[] = {
      {"<Response><Head>ERR</Head></Response>", -2},
      {"<Response><Head>OK</Head></Response>", -3},
      {"<Response><Head>OK</Head><Label pdfUrl=\"ftp://x/l.pdf\"/></Response>", -4},
      {"<Response><Head>OK</Head><Label pdfUrl=\"http://127.0.0.1/" + std::string(260, 'p') + "\"/></Response>", -6},
  };
  for (const auto& c : cases) {
    server.Script("POST", kServicePath, {Soap(c.reply)});
    EXPECT_EQ(session.PrintLabel(job), c.result) << c.reply;
  }
  std::strcpy(job.reference, "TW0001");  // an order id of 6 characters
  EXPECT_EQ(session.PrintLabel(job), -1);
}

}  // namespace
