// The Australia Post client against fake carrier servers on 127.0.0.1 and the test database: its
// settings, the exact order form it posts, refusals before sending, the reply forms, and the label
// print with the fetch from the address the carrier gives.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "carriers/carrier_clients.h"
#include "carriers/http_client.h"
#include "carriers/label_store.h"
#include "carriers/label_worker.h"
#include "core/pool.h"
#include "tests/carriers/carrier_fixtures.h"
#include "tests/support/e2e.h"
#include "tests/support/fake_carrier.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::TestDb;

constexpr char kOrderPath[] = "/ay/service.asmx/ayorder";
constexpr char kPrintPath[] = "/ay/service.asmx/ayprint";
const std::string kBarcode = "01993300AP000000012345000AU01";  // 29 characters

std::string OrderReply(const std::string& barcode, const std::string& bookId, const std::string& status = "OK") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><response><status>" + status + "</status><barcode_number>" +
         barcode + "</barcode_number><bookid>" + bookId + "</bookid></response>";
}

void Fill(AuPostOrder& o) {
  o.weight = 1.5;
  o.quantity = 2;
  o.unitPrice = 3.25;
  std::strcpy(o.kind, "a8aup");
  std::strcpy(o.destination, "澳大利亚");
  std::strcpy(o.receiver, "Bob &amp; Co");
  std::strcpy(o.address, "5 Smith St");
  std::strcpy(o.postcode, "3053");
  std::strcpy(o.dimensions, "10*20*30");
  std::strcpy(o.company, "Acme <i>x</i>");
  std::strcpy(o.suburb, "Carlton");
  std::strcpy(o.state, "VIC");
  std::strcpy(o.phone, "0400");
  std::strcpy(o.goods, "书籍");
  std::strcpy(o.goodsEn, "Books");
  std::strcpy(o.reference, "TW000123");
}

class AuPostClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(labels.Start());
    ASSERT_EQ(client.LoadSettings(1, twcarrier::AuSettings(server.port()).c_str()), 1);
    if (!twcarrier::ConnectTestPool()) GTEST_SKIP() << "no test database";
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.file_share WHERE ngrade=119")) << db.error();
    ClearLabelJobs();
  }
  void TearDown() override { ClearLabelJobs(); }

  FakeCarrierServer server, labels;
  CAuPostClient client;
  TestDb db;
};

TEST(AuPostSettingsTest, RequiredKeysAndPort) {
  CAuPostClient c;
  ASSERT_EQ(c.LoadSettings(1, twcarrier::AuSettings(18083).c_str()), 1);
  EXPECT_EQ(c.port, 18083);
  EXPECT_STREQ(c.key, "AuKey-01");
  EXPECT_STREQ(c.printPaper, "0");
  ASSERT_EQ(c.SupportsKind("A8AUP"), 1);
  EXPECT_STREQ(c.FindKind("a8aup")->code, "7E");
  const struct {
    const char* text;
    int loaded;
    int32_t port;
  } cases[] = {
      {"服务器=au.example\r\n密钥=k\r\n<关联快递类别开始>\r\nK=7E\r\n<关联快递类别结束>", 1, 80},  // no port: 80
      {"端口=0\r\n服务器=au.example\r\n密钥=k\r\n<关联快递类别开始>\r\nK=7E\r\n<关联快递类别结束>", 1, 80},
      {"端口=8080\r\n服务器=au.example\r\n<关联快递类别开始>\r\nK=7E\r\n<关联快递类别结束>", 0, 8080},  // no key
      {"端口=8080\r\n密钥=k\r\n<关联快递类别开始>\r\nK=7E\r\n<关联快递类别结束>", 0, 8080},              // no host
      {"服务器=au.example\r\n密钥=k\r\n", 0, 80},                                                     // no kinds
  };
  for (const auto& c2 : cases) {
    CAuPostClient a;
    EXPECT_EQ(a.LoadSettings(1, c2.text), c2.loaded) << c2.text;
    if (c2.loaded == 1) {
      EXPECT_EQ(a.port, c2.port) << c2.text;
    }
  }
}

TEST_F(AuPostClientTest, PostsTheOrderFormExactly) {
  server.Script("POST", kOrderPath, {FakeReply::Ok(OrderReply(kBarcode, "BOOK77"))});
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CAuPostSession session(slot.slot(), &client);
  AuPostOrder o;
  Fill(o);
  ASSERT_EQ(session.CreateOrder(o), 1) << o.message;
  ASSERT_EQ(server.RequestCount(), 1u);
  const twtest::FakeRequest req = server.Requests()[0];
  ASSERT_EQ(req.body.rfind("order=", 0), 0u);
  EXPECT_EQ(twtest::FormField(req.body, "order"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<order>\r\n<reference>TW000123</reference>\r\n"
            "<dangerous_goods>false</dangerous_goods>\r\n<validate_recipient_address>false</validate_recipient_address>"
            "\r\n<recipient_name>Bob &amp; Co</recipient_name>\r\n<recipient_phone_number>0400</recipient_phone_number>"
            "\r\n<recipient_company_name>Acme  x</recipient_company_name>\r\n<recipient_address_line_1>5 Smith St"
            "</recipient_address_line_1>\r\n<recipient_address_line_2/>\r\n<recipient_address_line_3/>\r\n"
            "<recipient_suburb>Carlton</recipient_suburb>\r\n<recipient_postcode>3053</recipient_postcode>\r\n"
            "<recipient_state>VIC</recipient_state>\r\n<recipient_country_code>AU</recipient_country_code>\r\n"
            "<weight>1.500</weight>\r\n<width>20</width>\r\n<height>30</height>\r\n<depth>10</depth>\r\n"
            "<goods_value>6.50</goods_value>\r\n<goods_currency>AUD</goods_currency>\r\n"
            "<goods_description>Books</goods_description>\r\n<export_reason>Sample</export_reason>\r\n"
            "<courier_service>7E</courier_service>\r\n</order>");
  EXPECT_EQ(req.header, "POST /ay/service.asmx/ayorder HTTP/1.1\r\n" + std::string(GetDefaultAcceptHeader()) +
                            "Accept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\nHost: 127.0.0.1:" +
                            std::to_string(server.port()) + "\r\nAuthorization: AuKey-01\r\n" +
                            GetUserAgentHeader(0) + "Content-Length: " + std::to_string(req.body.size()) +
                            "\r\nContent-Type: application/x-www-form-urlencoded\r\nCache-Control: no-cache\r\n"
                            "Connection: Close\r\n\r\n");
  // The mail number is the barcode's 16 characters from the ninth; the placeholder and job carry
  // the key and the book id.
  EXPECT_STREQ(o.mailNumber, "AP00000001234500");
  EXPECT_STREQ(o.barcode, kBarcode.c_str());
  EXPECT_STREQ(o.bookId, "BOOK77");
  ASSERT_GT(o.result, 0);
  EXPECT_EQ(db.Scalar("SELECT ckind||'|'||split_part(ctitle,':',1)||'|'||ckey FROM dbo.file_share WHERE iid=" +
                      std::to_string(o.result)),
            "AUPOSTX_Lbl|AuKey-01@BOOK77|AP00000001234500");
  LabelJob job;
  ASSERT_EQ(PopLabelJob(job), 1);
  EXPECT_EQ(job.kind, 1);
  EXPECT_STREQ(job.reference, "BOOK77");
}

TEST_F(AuPostClientTest, LongTextsAreNeverCutOffTheForm) {
  // Long Chinese texts grow in UTF-8 and threefold in URL encoding: the whole order still goes.
  server.Script("POST", kOrderPath, {FakeReply::Ok(OrderReply(kBarcode, "BOOK77"))});
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CAuPostSession session(slot.slot(), &client);
  AuPostOrder o;
  Fill(o);
  std::string company;
  while (company.size() < 240) company += "澳大利亚公司";
  std::strcpy(o.company, company.c_str());
  std::strcpy(o.address, "Unit 12 Very Long Building Name Tower 3 Level 40 Collins Street Docklands Area");
  ASSERT_EQ(session.CreateOrder(o), 1) << o.message;
  const std::string xml = twtest::FormField(server.Requests()[0].body, "order");
  EXPECT_NE(xml.find(twtest::GbkToUtf8Text(company)), std::string::npos);
  EXPECT_NE(xml.find("</order>"), std::string::npos);
  for (const char* line : {"recipient_address_line_1", "recipient_address_line_2", "recipient_address_line_3"}) {
    const std::string text = twtest::XmlText(xml, line);
    EXPECT_FALSE(text.empty()) << line;
    EXPECT_LE(text.size(), 30u) << line;
  }
}

TEST_F(AuPostClientTest, RefusalsAndReplyForms) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CAuPostSession session(slot.slot(), &client);
  {
    AuPostOrder o;
    Fill(o);
    std::strcpy(o.kind, "A8NONE");
    EXPECT_EQ(session.CreateOrder(o), 0);
    EXPECT_EQ(o.result, 12);
    EXPECT_STREQ(o.message, "快递类别或服务不支持");
    Fill(o);
    std::strcpy(o.destination, "新西兰");
    EXPECT_EQ(session.CreateOrder(o), 0);
    EXPECT_EQ(o.result, 12);
    EXPECT_STREQ(o.message, "目的国家错误");
    EXPECT_EQ(server.RequestCount(), 0u);
  }
  FakeReply cut = FakeReply::Raw("HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n<response><barcode_number>");
  struct Case {
    const char* what;
    FakeReply reply;
    int result;
    std::string mail;  // accepted: the mail number; refused: the message
  };
  const Case cases[] = {
      {"a barcode of another length is the mail number", FakeReply::Ok(OrderReply("AP12345678", "B1")), 1,
       "AP12345678"},
      {"consignment number when there is no barcode",
       FakeReply::Ok("<response><status>OK</status><consignment_number>CN1234567</consignment_number><bookid>B2"
                     "</bookid></response>"),
       1, "CN1234567"},
      {"chunked", FakeReply::Chunked(OrderReply(kBarcode, "B3"), {7, 13}), 1, "AP00000001234500"},
      {"a barcode too short", FakeReply::Ok(OrderReply("AP123", "B4")), 0, "澳邮单号不合法:AP123"},
      {"the carrier's refusal",
       FakeReply::Ok("<response><status>Invalid postcode</status></response>"), 0, "Invalid postcode"},
      {"no book id", FakeReply::Ok(OrderReply(kBarcode, "", "no book")), 0, "no book"},
      {"a body cut short", cut, 0, "澳邮服务器断线!iRet:-205,sState:200"},
  };
  for (const Case& c : cases) {
    server.Script("POST", kOrderPath, {c.reply});
    AuPostOrder o;
    Fill(o);
    EXPECT_EQ(session.CreateOrder(o), c.result) << c.what;
    EXPECT_STREQ(c.result == 1 ? o.mailNumber : o.message, c.mail.c_str()) << c.what;
  }
}

TEST_F(AuPostClientTest, PrintLabelFetchesFromTheGivenAddress) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  CAuPostSession session(slot.slot(), &client);
  const std::string pdf = twcarrier::SamplePdf(5000);
  const int id = CreateLabelPlaceholder(slot.slot(), 1, "0", "OldKey", "BOOK77", "AP00000001234500", time(nullptr));
  ASSERT_GT(id, 0);
  LabelJob job;
  job.kind = 1;
  job.id = id;
  std::strcpy(job.account, "OldKey");  // the key the order was made with
  std::strcpy(job.mailNumber, "AP00000001234500");
  std::strcpy(job.reference, "BOOK77");
  const std::string url = "http://127.0.0.1:" + std::to_string(labels.port()) + "/labels/l.pdf?a=1&amp;b=2";
  server.Script("POST", kPrintPath, {FakeReply::Ok("<response><url>" + url + "</url></response>")});
  labels.Script("GET", "/labels/l.pdf?a=1&b=2", {FakeReply::Gzip(pdf)});
  EXPECT_EQ(session.PrintLabel(job), 1);
  ASSERT_EQ(server.RequestCount(), 1u);
  const twtest::FakeRequest print = server.Requests()[0];
  EXPECT_EQ(print.Header("Authorization"), "OldKey");
  EXPECT_EQ(twtest::FormField(print.body, "print"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<order>\r\n<printcode>0</printcode>\r\n<bookid>BOOK77</bookid>"
            "\r\n</order>");
  ASSERT_EQ(labels.RequestCount(), 1u);
  EXPECT_EQ(labels.Requests()[0].Header("Authorization"), "");
  EXPECT_EQ(db.Scalar("SELECT ilen||'|'||cfilename FROM dbo.file_share WHERE iid=" + std::to_string(id)),
            std::to_string(pdf.size()) + "|BOOK77.pdf");

  // Addresses the label cannot come from.
  const struct {
    std::string url;
    int result;
  } cases[] = {
      {"", -3},
      {"https://127.0.0.1/l.pdf", -4},
      {"http://127.0.0.1", -5},
      {"http://127.0.0.1/" + std::string(240, 'p'), -3},  // an element over 254 characters reads as none
      {"http://" + std::string(70, 'h') + "/l.pdf", -7},
      {"http://127.0.0.1/l.pdf\r\nX-Injected: 1", -4},
  };
  for (const auto& c : cases) {
    server.Script("POST", kPrintPath, {FakeReply::Ok("<response><url>" + c.url + "</url></response>")});
    EXPECT_EQ(session.PrintLabel(job), c.result) << c.url;
  }
  job.reference[0] = '\0';
  EXPECT_EQ(session.PrintLabel(job), -1);
}

}  // namespace
