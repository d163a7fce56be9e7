// "EPostUpload" and "EPostPdf" through the DoApi door of a running host, with fake carrier servers on
// 127.0.0.1 for all three carriers: orders for each, the refusals of the door's steps and of the
// carriers, and labels answered as stored, fetched on demand, or not yet there. Client 930811.

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "core/numbering.h"
#include "tests/carriers/carrier_fixtures.h"
#include "tests/support/e2e.h"
#include "tests/support/fake_carrier.h"
#include "tests/support/http_client.h"
#include "util/md5.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 930811;
constexpr char kPartnerKey[] = "PartnerKey01";

std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

std::string EubLabelPath(const std::string& key, const std::string& mail) {
  char md5[tw::kMd5HexSize];
  const std::string text = key + mail;
  tw::MD5Hex(text.data(), text.size(), md5);
  return std::string("/partner/api/public/p/static/label/download/") + md5 + "/" + mail + ".pdf";
}

FakeReply SfSoap(const std::string& inner) {
  std::string escaped;
  for (char c : inner) {
    escaped += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : c == '&' ? "&amp;" : std::string(1, c);
  }
  FakeReply r = FakeReply::Ok("<soap:Envelope><soap:Body><Return>" + escaped + "</Return></soap:Body></soap:Envelope>");
  r.sendContinue = true;
  return r;
}

class CarrierLabelRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    for (FakeCarrierServer* s : {&eub, &eubLabels, &au, &auLabels, &sf}) ASSERT_TRUE(s->Start());
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.file_share WHERE ngrade=119"));
  }

  HostConfig Config(uint16_t auPort) {
    HostConfig config;
    config.moduleFiles["EPostApi_set_1.txt"] = twcarrier::EubSettings(eub.port(), eubLabels.port());
    config.moduleFiles["AUPostxApi_set_1.txt"] = twcarrier::AuSettings(auPort);
    config.moduleFiles["SFExApi_set_1.txt"] = twcarrier::SfSettings(sf.port());
    return config;
  }

  // A signed DoApi request with the partner key.
  static std::string Api(HttpClient& http, const std::string& name, const std::string& more) {
    const long long stamp = static_cast<long long>(time(nullptr)) * 1000;
    HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?DoApi",
                            "{\"RequestName\":\"" + name + "\",\"xSetx\":1,\"icID\":" + std::to_string(kClient) +
                                ",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                                twtest::RequestSignature(kClient, stamp, kPartnerKey) + "\"" + more + "}");
    return r.body;
  }
  static HttpReply ApiReply(HttpClient& http, const std::string& name, const std::string& more) {
    const long long stamp = static_cast<long long>(time(nullptr)) * 1000;
    return http.Post("/cgi-bin/Tarnwick.dll?DoApi",
                     "{\"RequestName\":\"" + name + "\",\"xSetx\":1,\"icID\":" + std::to_string(kClient) +
                         ",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                         twtest::RequestSignature(kClient, stamp, kPartnerKey) + "\"" + more + "}");
  }

  static std::string Shipment(const std::string& kind, const std::string& destination) {
    return ",\"cEmsKind\":\"" + kind + "\",\"cNum\":\"TW0000811\",\"cDes\":\"" + Utf8(destination) +
           "\",\"cReceiver\":\"Ann &amp; Lee\",\"cRAddr\":\"1 Main St\",\"cRCity\":\"Melbourne\","
           "\"cRProvince\":\"VIC\",\"cRCountry\":\"" + Utf8(destination) +
           "\",\"cRPostcode\":\"3000\",\"fWeight\":1.2,\"cGoods\":\"" + Utf8("衣服衣服") +
           "\",\"cGoodsA\":\"shirt\",\"iQuantity\":1,\"fPrice\":2,\"cRSms\":\"0400\"";
  }

  FakeCarrierServer eub, eubLabels, au, auLabels, sf;
  TestDb db;
};

TEST_F(CarrierLabelRequestsTest, UploadsToEachCarrier) {
  const std::string sfMail = "44400012345" + std::to_string(CheckDigitWeighted(12345));
  eub.Script("POST", "/partner/api/public/p/order/",
             {FakeReply::Ok("<response><mailnum>LX000000811CN</mailnum></response>"),
              FakeReply::Ok(Utf8("<response><status>error</status><description>地址不详</description></response>"))});
  au.Script("POST", "/ay/service.asmx/ayorder",
            {FakeReply::Ok("<response><status>OK</status><barcode_number>01993300AP000000012345000AU01"
                           "</barcode_number><bookid>BOOK9</bookid></response>")});
  sf.Script("POST", "/CBTA/ws/sfexpressService",
            {SfSoap("<Response><Head>OK</Head><Body><OrderResponse mailno=\"" + sfMail + "\"/></Body></Response>")});
  TestHost host;
  ASSERT_TRUE(host.Start(Config(au.port()))) << host.error();
  HttpClient http(host.port());

  const std::string fields = "\"cReserve\":\"\",\"cBy1\":\"\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"\"}";
  EXPECT_EQ(Api(http, "EPostUpload", Shipment("E8EUB", "美国")),
            "{\"ReturnValue\":1,\"cNum\":\"TW0000811\",\"cNo\":\"LX000000811CN\",\"cMess\":\"\"," + fields);
  // The receiver's keys reach the EUB order.
  ASSERT_EQ(eub.RequestCount(), 1u);
  EXPECT_NE(eub.Requests()[0].body.find("<name>Ann &amp; Lee</name>"), std::string::npos);
  EXPECT_NE(eub.Requests()[0].body.find("<street>1 Main</street>"), std::string::npos);
  EXPECT_EQ(Api(http, "EPostUpload", Shipment("A8AUP", "澳大利亚")),
            "{\"ReturnValue\":1,\"cNum\":\"TW0000811\",\"cNo\":\"AP00000001234500\",\"cMess\":\"\",\"cReserve\":\"\","
            "\"cBy1\":\"01993300AP000000012345000AU01\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"\"}");
  EXPECT_EQ(Api(http, "EPostUpload", Shipment("S8SF", "美国")),
            "{\"ReturnValue\":1,\"cNum\":\"TW0000811\",\"cNo\":\"" + sfMail + "\",\"cMess\":\"\"," + fields);
  // A carrier's refusal: -12 and its reason.
  EXPECT_EQ(Api(http, "EPostUpload", Shipment("E8EUB", "美国")),
            "{\"ReturnValue\":-12,\"cNum\":\"TW0000811\",\"cNo\":\"\",\"cMess\":\"" + Utf8("地址不详") + "\"," + fields);
  // Each upload left its placeholder.
  EXPECT_EQ(db.Scalar("SELECT string_agg(ckind, ',' ORDER BY ckind) FROM dbo.file_share WHERE ngrade=119"),
            "AUPOSTX_Lbl,EUB_Label,SFEX_Label");

  const struct {
    const char* what;
    std::string more;
    std::string reply;
  } refusals[] = {
      {"no kind", ",\"cEmsKind\":\"\"", "{\"ReturnValue\":-810}"},
      {"carrier code 3", Shipment("E8EUB", "美国") + ",\"iSP_Type\":3", "{\"ReturnValue\":-820}"},
      {"a kind no carrier lists", Shipment("Z8NONE", "美国"), "{\"ReturnValue\":-820}"},
      {"SF for a kind it does not serve", Shipment("E8EUB", "美国") + ",\"iSP_Type\":2",
       "{\"ReturnValue\":-810,\"cMess\":\"SFE_null\"}"},
      {"Australia Post likewise", Shipment("E8EUB", "美国") + ",\"iSP_Type\":1",
       "{\"ReturnValue\":-810,\"cMess\":\"AUPost_null\"}"},
  };
  for (const auto& c : refusals) EXPECT_EQ(Api(http, "EPostUpload", c.more), c.reply) << c.what;
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(CarrierLabelRequestsTest, ACarrierThatIsDownIsARefusal) {
  FakeCarrierServer closed;
  ASSERT_TRUE(closed.Start());
  const uint16_t down = closed.port();
  closed.Stop();
  TestHost host;
  ASSERT_TRUE(host.Start(Config(down))) << host.error();
  HttpClient http(host.port());
  EXPECT_EQ(Api(http, "EPostUpload", Shipment("A8AUP", "澳大利亚")),
            "{\"ReturnValue\":-12,\"cNum\":\"TW0000811\",\"cNo\":\"\",\"cMess\":\"" +
                Utf8("澳邮服务器断线!iRet:-123,sState:400") +
                "\",\"cReserve\":\"\",\"cBy1\":\"\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"\"}");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(CarrierLabelRequestsTest, ACarrierThatStallsIsARefusalWithinItsTimeOut) {
  // The carrier accepts the connection and the order but never answers: the request ends after the
  // 30 s receive time-out of an order, with the carrier's refusal.
  FakeReply stall = FakeReply::Ok("<response><mailnum>LX000000811CN</mailnum></response>");
  stall.delayMs = 120000;
  eub.Script("POST", "/partner/api/public/p/order/", {stall});
  TestHost host;
  ASSERT_TRUE(host.Start(Config(au.port()))) << host.error();
  const time_t t0 = time(nullptr);
  const long long stamp = static_cast<long long>(t0) * 1000;
  EXPECT_EQ(twtest::PostAndWait(host.port(), "/cgi-bin/Tarnwick.dll?DoApi",
                     "{\"RequestName\":\"EPostUpload\",\"xSetx\":1,\"icID\":" + std::to_string(kClient) +
                         ",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                         twtest::RequestSignature(kClient, stamp, kPartnerKey) + "\"" + Shipment("E8EUB", "美国") + "}"),
            "{\"ReturnValue\":-12,\"cNum\":\"TW0000811\",\"cNo\":\"\",\"cMess\":\"" +
                Utf8("邮政服务器断线!iRet:-102,sState:400") +
                "\",\"cReserve\":\"\",\"cBy1\":\"\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"\"}");
  const time_t took = time(nullptr) - t0;
  EXPECT_GE(took, 29);
  EXPECT_LE(took, 40);
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(CarrierLabelRequestsTest, PdfStoredFetchedOrNotYet) {
  const std::string stored = twcarrier::SamplePdf(50000);
  const std::string fetched = twcarrier::SamplePdf(7000);
  // A stored label (the worker's placeholder of another row of the same number, older and empty,
  // must not hide it), an old placeholder to fetch on demand, a young one, one whose label server
  // sends an error page.
  std::string hex;
  char b[3];
  for (unsigned char c : stored) {
    std::snprintf(b, sizeof b, "%02x", c);
    hex += b;
  }
  const long long now = static_cast<long long>(time(nullptr));
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.file_share (ngrade,ckind,ctitle,ckey,ilen,cfilename,vdata) VALUES "
                      "(119,'EUB_Label','EubKey-01:1','LX000000001CN',0,'',NULL),"
                      "(119,'EUB_Label','EubKey-01:1','LX000000001CN'," + std::to_string(stored.size()) +
                      ",'LX000000001CN.pdf',decode('" + hex + "','hex')),"
                      "(119,'EUB_Label','EubKey-01:" + std::to_string(now - 100) + "','LX000000002CN',0,'',NULL),"
                      "(119,'EUB_Label','EubKey-01:" + std::to_string(now) + "','LX000000003CN',0,'',NULL),"
                      "(119,'EUB_Label','EubKey-01:" + std::to_string(now - 100) + "','LX000000004CN',0,'',NULL)"))
      << db.error();
  eubLabels.Script("GET", EubLabelPath("EubKey-01", "LX000000002CN"), {FakeReply::Ok(fetched, "application/pdf")});
  eubLabels.Script("GET", EubLabelPath("EubKey-01", "LX000000004CN"), {FakeReply::Ok("<html>busy</html>", "text/html")});
  TestHost host;
  ASSERT_TRUE(host.Start(Config(au.port()))) << host.error();
  HttpClient http(host.port());

  HttpReply r = ApiReply(http, "EPostPdf", ",\"cEmsKind\":\"E8EUB\",\"cqNo\":\"lx000000001cn\"");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.Header("content-type"), "application/pdf");
  EXPECT_EQ(r.Header("content-disposition"), "attachment; filename=LX000000001CN.pdf");
  EXPECT_EQ(r.Header("content-length"), std::to_string(stored.size()));
  EXPECT_TRUE(r.body == stored) << r.body.size();

  r = ApiReply(http, "EPostPdf", ",\"cEmsKind\":\"E8EUB\",\"cqNo\":\"LX000000002CN\"");
  EXPECT_EQ(r.Header("content-type"), "application/pdf");
  EXPECT_TRUE(r.body == fetched) << r.body.substr(0, 100);
  EXPECT_EQ(db.Scalar("SELECT ilen FROM dbo.file_share WHERE ckey='LX000000002CN'"), std::to_string(fetched.size()));

  const struct {
    const char* what;
    std::string more;
    std::string reply;
  } cases[] = {
      {"a placeholder of 20 s or less", ",\"cEmsKind\":\"E8EUB\",\"cqNo\":\"LX000000003CN\"", "{\"ReturnValue\":-10}"},
      {"an error page is no label", ",\"cEmsKind\":\"E8EUB\",\"cqNo\":\"LX000000004CN\"", "{\"ReturnValue\":-10}"},
      {"an unknown number", ",\"cEmsKind\":\"E8EUB\",\"cqNo\":\"LX000000009CN\"", "{\"ReturnValue\":-2}"},
      {"not an EUB number", ",\"cEmsKind\":\"E8EUB\",\"cqNo\":\"LX00000001CN\"", "{\"ReturnValue\":-3}"},
      {"not an SF number", ",\"iSP_Type\":2,\"cqNo\":\"444000123450\"", "{\"ReturnValue\":-3}"},
      {"no carrier", ",\"cEmsKind\":\"Z8NONE\",\"cqNo\":\"LX000000001CN\"", "{\"ReturnValue\":-820}"},
  };
  for (const auto& c : cases) EXPECT_EQ(Api(http, "EPostPdf", c.more), c.reply) << c.what;
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(CarrierLabelRequestsTest, AnOnDemandLabelFetchAsksTheAccountsBreaker) {
  // Four old placeholders; the label server refuses every fetch (no label of that path). Three
  // refused fetches open the account's breaker: the fourth EPostPdf is answered "not yet" without
  // reaching the label server, and every placeholder stays a placeholder.
  const long long now = static_cast<long long>(time(nullptr));
  std::string rows;
  for (int i = 1; i <= 4; ++i) {
    rows += std::string(i > 1 ? "," : "") + "(119,'EUB_Label','EubKey-01:" + std::to_string(now - 100) +
            "','LX00000002" + std::to_string(i) + "CN',0,'',NULL)";
  }
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.file_share (ngrade,ckind,ctitle,ckey,ilen,cfilename,vdata) VALUES " + rows))
      << db.error();
  TestHost host;
  ASSERT_TRUE(host.Start(Config(au.port()))) << host.error();
  HttpClient http(host.port());
  for (int i = 1; i <= 4; ++i) {
    const std::string number = "LX00000002" + std::to_string(i) + "CN";
    EXPECT_EQ(Api(http, "EPostPdf", ",\"cEmsKind\":\"E8EUB\",\"cqNo\":\"" + number + "\""), "{\"ReturnValue\":-10}")
        << number;
    EXPECT_EQ(eubLabels.RequestCount(), static_cast<size_t>(i < 4 ? i : 3)) << number;
  }
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119 AND ilen=0 AND ckey LIKE 'LX00000002%'"),
            "4");
  EXPECT_EQ(host.Stop(), 0);
  EXPECT_NE(host.StderrText().find("carrier EUB 1: breaker open"), std::string::npos) << host.StderrText();
}

}  // namespace
