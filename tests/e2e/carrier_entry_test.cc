// Shipments of carrier kinds through "PreInputSet" on a running host with fake carrier servers on
// 127.0.0.1: the carrier's mail number becomes the shipment's transfer number, and the host's label
// worker fetches each label into the label store. The settings files of the module folder hold EUB
// accounts 1, 2 and 4 (the series ends at the gap), Australia Post and SF Express. Client 930801.

#include <gtest/gtest.h>

#include <string>
#include <thread>

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
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 930801;

std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

std::string EubReply(const std::string& mail) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><mailnum>" + mail + "</mailnum></response>";
}

std::string LabelPath(const std::string& key, const std::string& mail) {
  char md5[tw::kMd5HexSize];
  const std::string text = key + mail;
  tw::MD5Hex(text.data(), text.size(), md5);
  return std::string("/partner/api/public/p/static/label/download/") + md5 + "/" + mail + ".pdf";
}

std::string SfSoap(const std::string& inner) {
  std::string escaped;
  for (char c : inner) {
    escaped += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : c == '&' ? "&amp;" : std::string(1, c);
  }
  FakeReply r = FakeReply::Ok("<soap:Envelope><soap:Body><Return>" + escaped + "</Return></soap:Body></soap:Envelope>");
  return r.bytes;
}

class CarrierEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    for (FakeCarrierServer* s : {&eub1, &eub2, &eub4, &eubLabels, &au, &auLabels, &sf, &sfLabels}) {
      ASSERT_TRUE(s->Start());
    }
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.file_share WHERE ngrade=119"));
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid=930801"));
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.client_arc WHERE icid=930801"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, capikey) VALUES (930801, 'H8Key930801')"));
  }
  void TearDown() override {
    if (!twtest::DatabaseConfigured()) return;
    db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid=930801");
    db.Exec("DELETE FROM dbo.client_arc WHERE icid=930801");
  }

  // A record of the kind with everything the carriers check.
  static std::string Record(const std::string& number, const std::string& kind, const std::string& destination) {
    return "{\"iID\":0,\"cNum\":\"" + number + "\",\"cEmsKind\":\"" + kind + "\",\"cDes\":\"" + Utf8(destination) +
           "\",\"cReceiver\":\"Ann Lee\",\"cRAddr\":\"1 Main St\",\"cRCity\":\"Melbourne\",\"cRProvince\":\"VIC\","
           "\"cRCountry\":\"" + Utf8(destination) + "\",\"cRPostcode\":\"3000\",\"fWeight\":1.2,\"cGoods\":\"" +
           Utf8("衣服衣服") + "\",\"cGoodsA\":\"shirt\",\"iQuantity\":1,\"fPrice\":2}";
  }

  FakeCarrierServer eub1, eub2, eub4, eubLabels, au, auLabels, sf, sfLabels;
  TestDb db;
};

TEST_F(CarrierEntryTest, CarrierKindsGetTheCarriersNumbersAndTheirLabels) {
  // Account 2 serves E8EUB2, account 4 (after the gap) would serve E8EUB4.
  const std::string eub2Settings = twcarrier::EubSettings(eub2.port(), eubLabels.port(), "EubKey-02");
  std::string eub4Settings = twcarrier::EubSettings(eub4.port(), eubLabels.port(), "EubKey-04");
  auto rename = [](std::string text, const std::string& kind) {
    const size_t at = text.find("E8EUB=0");
    return text.replace(at, 5, kind);
  };
  const std::string pdf = twcarrier::SamplePdf(8000);
  const std::string sfMail = "44400012345" + std::to_string(CheckDigitWeighted(12345));
  eub2.Script("POST", "/partner/api/public/p/order/", {FakeReply::Ok(EubReply("LX000000002CN"))});
  eubLabels.Script("GET", LabelPath("EubKey-02", "LX000000002CN"), {FakeReply::Ok(pdf, "application/pdf")});
  au.Script("POST", "/ay/service.asmx/ayorder",
            {FakeReply::Ok("<response><status>OK</status><barcode_number>01993300AP000000012345000AU01"
                           "</barcode_number><bookid>BOOK9</bookid></response>")});
  au.Script("POST", "/ay/service.asmx/ayprint",
            {FakeReply::Ok("<response><url>http://127.0.0.1:" + std::to_string(auLabels.port()) +
                           "/l/au.pdf</url></response>")});
  auLabels.Script("GET", "/l/au.pdf", {FakeReply::Ok(pdf, "application/pdf")});
  FakeReply sfOrder = FakeReply::Raw(SfSoap("<Response><Head>OK</Head><Body><OrderResponse mailno=\"" + sfMail +
                                            "\"/></Body></Response>"));
  sfOrder.sendContinue = true;
  FakeReply sfLabel = FakeReply::Raw(SfSoap("<Response><Head>OK</Head><Label pdfUrl=\"http://127.0.0.1:" +
                                            std::to_string(sfLabels.port()) + "/l/sf.pdf\"/></Response>"));
  sfLabel.sendContinue = true;
  sf.Script("POST", "/CBTA/ws/sfexpressService", {sfOrder, sfLabel});
  sfLabels.Script("GET", "/l/sf.pdf", {FakeReply::Ok(pdf, "application/pdf")});

  HostConfig config;
  config.iniText = twtest::DefaultIni() +
                   "<转单号生成定义开始>\r\nE8EUB2=93801=\r\nE8EUB4=93801=\r\nA8AUP=93801=\r\nS8SF=93801=\r\n"
                   "<转单号生成定义结束>\r\n";
  config.moduleFiles["EPostApi_set_1.txt"] = twcarrier::EubSettings(eub1.port(), eubLabels.port(), "EubKey-01");
  config.moduleFiles["EPostApi_set_2.txt"] = rename(eub2Settings, "E8EUB2");
  config.moduleFiles["EPostApi_set_4.txt"] = rename(eub4Settings, "E8EUB4");
  config.moduleFiles["AUPostxApi_set_1.txt"] = twcarrier::AuSettings(au.port());
  config.moduleFiles["SFExApi_set_1.txt"] = twcarrier::SfSettings(sf.port());
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  HttpClient http(host.port());
  const twtest::HttpReply reply = http.Post(
      "/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"PreInputSet\",\"icID\":930801,\"RecList\":[" +
                                      Record("E8A0000001", "E8EUB2", "美国") + "," +
                                      Record("E8A0000002", "E8EUB4", "美国") + "," +
                                      Record("E8A0000003", "A8AUP", "澳大利亚") + "," +
                                      Record("E8A0000004", "S8SF", "澳大利亚") + "]}");
  ASSERT_EQ(reply.status, 200);
  const auto numbers = twtest::ReplyTexts(reply.body, "cNo");
  ASSERT_EQ(numbers.size(), 4u) << reply.body;
  EXPECT_EQ(numbers[0], "LX000000002CN");
  EXPECT_NE(numbers[1], "LX000000002CN");  // account 4 lies past the gap: no EUB order for it
  EXPECT_EQ(numbers[2], "AP00000001234500");
  EXPECT_EQ(numbers[3], sfMail);
  const auto reserves = twtest::ReplyTexts(reply.body, "cReserve");
  const auto by1 = twtest::ReplyTexts(reply.body, "cBy1");
  ASSERT_EQ(reserves.size(), 4u);
  EXPECT_EQ(reserves[2], "01993300AP000000012345000AU01");
  EXPECT_EQ(by1[2], "BOOK9");
  EXPECT_EQ(eub1.RequestCount(), 0u);
  EXPECT_EQ(eub2.RequestCount(), 1u);
  EXPECT_EQ(eub4.RequestCount(), 0u);
  EXPECT_EQ(db.Scalar("SELECT cno FROM dbo.rec_pre_input WHERE icid=930801 AND cnum='E8A0000001'"), "LX000000002CN");

  // The worker stores the three labels within a pass or two.
  std::string stored;
  for (int i = 0; i < 200 && stored != "3"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stored = db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119 AND ilen=" + std::to_string(pdf.size()));
  }
  EXPECT_EQ(stored, "3");
  EXPECT_EQ(db.Scalar("SELECT string_agg(ckind||':'||cfilename, ',' ORDER BY ckind) FROM dbo.file_share WHERE "
                      "ngrade=119"),
            "AUPOSTX_Lbl:BOOK9.pdf,EUB_Label:LX000000002CN.pdf,SFEX_Label:" + sfMail + ".pdf");
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
