// Shipments of carrier kinds through both shipment entries of a running host, with fake carrier
// servers on 127.0.0.1 for all three carriers: "pdaRecAdd" of the PDA door and "PreInputSet" of the
// client door hand each kind to its carrier, keep the carrier's mail number (and Australia Post's
// barcode and book id) in the stored row, and the host's label worker fetches the labels. A carrier
// that refuses, one that is down and one that stalls end the shipment with the carrier's message,
// and an order made for a record that is refused afterwards stays made and is logged.
//
// Rows of this test: client 973201 (account "CRACC1"), PDA user "CRPDA1", kinds E8EUB, A8AUP, S8SF
// (the carrier settings' kinds) and C8LOC (numbered locally), number sequences 97321 (transfer
// numbers "CL...") and 97322 (the default internal numbers "CN..."), records with numbers "CR...".

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "core/numbering.h"
#include "tests/carriers/carrier_fixtures.h"
#include "tests/e2e/pda_support.h"
#include "tests/support/e2e.h"
#include "tests/support/fake_carrier.h"
#include "tests/support/http_client.h"
#include "util/md5.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::HostConfig;
using twtest::HttpClient;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;
using twtest::pda::PdaClient;

constexpr int kClient = 973201;
constexpr char kPda[] = "CRPDA1";
constexpr char kPartnerKey[] = "PartnerKey01";  // the partner key of the tests' tarnwick.ini ("xSetx":1)
constexpr char kEubOrderPath[] = "/partner/api/public/p/order/";
constexpr char kAuOrderPath[] = "/ay/service.asmx/ayorder";
constexpr char kAuPrintPath[] = "/ay/service.asmx/ayprint";
constexpr char kSfPath[] = "/CBTA/ws/sfexpressService";
constexpr char kAuBarcode[] = "01993300AP000000012345000AU01";
constexpr char kAuMail[] = "AP00000001234500";  // what the client makes of the barcode

std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

// An SF mail number that passes the twelve-digit check (so that the order leaves a label job).
std::string SfMail(uint32_t serial) {
  return "44400" + std::to_string(100000 + serial) + std::to_string(CheckDigitWeighted(100000 + serial));
}

FakeReply EubMail(const std::string& mail) {
  return FakeReply::Ok("<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><mailnum>" + mail +
                       "</mailnum></response>");
}

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

FakeReply SfOrderOk(const std::string& mail) {
  return SfSoap("<Response><Head>OK</Head><Body><OrderResponse mailno=\"" + mail + "\"/></Body></Response>");
}

FakeReply AuOrderOk() {
  return FakeReply::Ok(std::string("<response><status>OK</status><barcode_number>") + kAuBarcode +
                       "</barcode_number><bookid>BOOK9</bookid></response>");
}

// The shipment keys every carrier checks, after a comma (UTF-8 as the devices send it).
std::string ShipmentKeys(const std::string& number, const std::string& kind, const std::string& destination) {
  return ",\"cNum\":\"" + number + "\",\"cEmsKind\":\"" + kind + "\",\"cDes\":\"" + Utf8(destination) +
         "\",\"cReceiver\":\"Ann Lee\",\"cRAddr\":\"1 Main St\",\"cRCity\":\"Melbourne\",\"cRProvince\":\"VIC\","
         "\"cRCountry\":\"" + Utf8(destination) + "\",\"cRPostcode\":\"3000\",\"fWeight\":1.2,\"cGoods\":\"" +
         Utf8("衣服衣服") + "\",\"cGoodsA\":\"shirt\",\"iQuantity\":1,\"fPrice\":2,\"fAmount\":1";
}

// A pdaRecAdd of client 973201 (after a comma).
std::string PdaShipment(const std::string& number, const std::string& kind, const std::string& destination) {
  return ",\"icID\":" + std::to_string(kClient) + ShipmentKeys(number, kind, destination);
}

// A PreInputSet record.
std::string Record(const std::string& number, const std::string& kind, const std::string& destination) {
  return "{\"iID\":0" + ShipmentKeys(number, kind, destination) + "}";
}

class CarrierRoadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    for (FakeCarrierServer* s : {&eub, &eubLabels, &au, &auLabels, &sf, &sfLabels}) ASSERT_TRUE(s->Start());
    RemoveRows();
    ASSERT_TRUE(twtest::UsePdaKey(db)) << db.error();
    for (const std::string& sql : {
             std::string("INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('CRPDA1', 'CR操作员', '')"),
             std::string("INSERT INTO dbo.client_arc (icid, capikey, nstate, caccount) VALUES (973201, "
                         "'CRKey973201', 0, 'CRACC1')"),
             std::string("INSERT INTO dbo.ems_kind (cemskind, b1price) VALUES ('E8EUB', 1), ('A8AUP', 1), "
                         "('S8SF', 1), ('C8LOC', 1)"),
             std::string("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
                         "(97321, 'CL', '', 8, 0, 1, NULL), (97322, 'CN', '', 8, 0, 1, NULL)"),
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
  }
  void TearDown() override {
    if (twtest::DatabaseConfigured()) RemoveRows();
  }

  void RemoveRows() {
    std::vector<std::string> statements = twcarrier::ClientRowDeletes(kClient, kPda);
    statements.insert(statements.begin(), "DELETE FROM dbo.file_share WHERE ngrade=119");
    statements.push_back("DELETE FROM dbo.ems_kind WHERE cemskind IN ('E8EUB', 'A8AUP', 'S8SF', 'C8LOC')");
    statements.push_back("DELETE FROM dbo.sys_genno WHERE iid IN (97321, 97322)");
    for (const std::string& sql : statements) EXPECT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
  }

  // The host: the container on (the PDA entry loads the kind), a default internal-number rule, a
  // transfer-number rule for each kind (so each kind goes to a carrier when one serves it), and the
  // three carriers' settings; Australia Post's orders go to `auPort`. With bSfListsAll, SF's
  // settings list the EUB and Australia Post kinds too.
  HostConfig Config(uint16_t auPort, bool bSfListsAll = false) const {
    HostConfig config;
    config.iniText = twtest::DefaultIni() +
                     "启用Ostrum容器=1\r\n内单号生成ID=97322\r\n<转单号生成定义开始>\r\nE8EUB=97321=\r\nA8AUP=97321=\r\n"
                     "S8SF=97321=\r\nC8LOC=97321=\r\n<转单号生成定义结束>\r\n";
    config.moduleFiles["EPostApi_set_1.txt"] = twcarrier::EubSettings(eub.port(), eubLabels.port(), "EubKey-01");
    config.moduleFiles["AUPostxApi_set_1.txt"] = twcarrier::AuSettings(auPort);
    std::string sfSettings = twcarrier::SfSettings(sf.port());
    if (bSfListsAll) sfSettings.replace(sfSettings.find("S8SF=9\r\n"), 8, "S8SF=9\r\nE8EUB=9\r\nA8AUP=9\r\n");
    config.moduleFiles["SFExApi_set_1.txt"] = sfSettings;
    return config;
  }

  // The labels of the carriers' label servers for the mail numbers, and the AU print call.
  void ScriptLabels(const std::string& pdf, const std::string& eubMail) {
    eubLabels.Script("GET", EubLabelPath("EubKey-01", eubMail), {FakeReply::Ok(pdf, "application/pdf")});
    au.Script("POST", kAuPrintPath,
              {FakeReply::Ok("<response><url>http://127.0.0.1:" + std::to_string(auLabels.port()) +
                             "/l/au.pdf</url></response>")});
    auLabels.Script("GET", "/l/au.pdf", {FakeReply::Ok(pdf, "application/pdf")});
    sfLabels.Script("GET", "/l/sf.pdf", {FakeReply::Ok(pdf, "application/pdf")});
  }
  FakeReply SfLabelOk() const {
    return SfSoap("<Response><Head>OK</Head><Label pdfUrl=\"http://127.0.0.1:" + std::to_string(sfLabels.port()) +
                  "/l/sf.pdf\"/></Response>");
  }

  // Waits up to 20 s until `count` labels of `bytes` bytes are stored; their "kind:file" list.
  std::string StoredLabels(size_t bytes, int count) {
    const std::string where = " FROM dbo.file_share WHERE ngrade=119 AND ilen=" + std::to_string(bytes);
    for (int i = 0; i < 200 && db.Scalar("SELECT count(*)" + where) != std::to_string(count); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return db.Scalar("SELECT string_agg(ckind||':'||cfilename, ',' ORDER BY ckind)" + where);
  }

  std::string Row(const std::string& table, const std::string& columns, const std::string& number) {
    const auto rows =
        db.Query("SELECT " + columns + " FROM dbo." + table + " WHERE icid=973201 AND cnum='" + number + "'");
    if (rows.empty()) return "(none)";
    std::string out;
    for (const std::string& v : rows[0]) out += (out.empty() ? "" : "|") + v;
    return rows.size() == 1 ? out : out + " (+" + std::to_string(rows.size() - 1) + ")";
  }

  FakeCarrierServer eub, eubLabels, au, auLabels, sf, sfLabels;
  TestDb db;
};

TEST_F(CarrierRoadsTest, PdaEntryHandsEachKindToItsCarrierAndTheLabelsAreFetched) {
  const std::string pdf = twcarrier::SamplePdf(6000);
  const std::string sfMail = SfMail(1);
  // The second EUB order is the one of a record the database refuses afterwards.
  eub.Script("POST", kEubOrderPath, {EubMail("LX000000001CN"), EubMail("LX000000002CN")});
  au.Script("POST", kAuOrderPath, {AuOrderOk()});
  sf.Script("POST", kSfPath, {SfOrderOk(sfMail), SfLabelOk()});
  ScriptLabels(pdf, "LX000000001CN");
  TestHost host;
  ASSERT_TRUE(host.Start(Config(au.port()))) << host.error();
  PdaClient pda(host.port(), kPda);

  struct Case {
    std::string number, kind, destination;
    std::string wantNum, wantNo;  // the reply's and the row's numbers; "CL"/"CN": a drawn number
    std::string wantReserve;      // the row's creserve|cby1
  };
  const Case cases[] = {
      {"CR0000001", "E8EUB", "美国", "CR0000001", "LX000000001CN", "|"},
      {"CR0000002", "A8AUP", "澳大利亚", "CR0000002", kAuMail, std::string(kAuBarcode) + "|BOOK9"},
      // No internal number: the default rule draws one, and the carrier's number replaces it.
      {"", "S8SF", "美国", sfMail, sfMail, "|"},
      {"CR0000004", "C8LOC", "美国", "CR0000004", "CL", "|"},
  };
  for (const Case& c : cases) {
    const std::string body = pda.Body("pdaRecAdd", PdaShipment(c.number, c.kind, c.destination));
    SCOPED_TRACE(c.kind + " " + body);
    const auto ids = ReplyInts(body, "ReturnValue");
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_GT(ids[0], 0);
    const auto num = ReplyTexts(body, "cNum"), no = ReplyTexts(body, "cNo");
    ASSERT_EQ(num.size(), 1u);
    ASSERT_EQ(no.size(), 1u);
    if (c.wantNo == "CL") {
      EXPECT_EQ(no[0].substr(0, 2), "CL");
    } else {
      EXPECT_EQ(no[0], c.wantNo);
    }
    EXPECT_EQ(num[0], c.wantNum);
    EXPECT_EQ(Row("client_rec", "cserviceno,creserve,cby1", num[0]), no[0] + "|" + c.wantReserve);
  }
  // Each carrier had exactly its own order, with the shipment's receiver.
  ASSERT_EQ(eub.Requests().size(), 1u);
  EXPECT_NE(eub.Requests()[0].body.find("Ann Lee"), std::string::npos);
  EXPECT_EQ(au.Requests().size(), 1u);
  ASSERT_EQ(sf.Requests().size(), 1u);
  EXPECT_NE(sf.Requests()[0].body.find("Ann Lee"), std::string::npos);

  // The worker stores the three labels.
  EXPECT_EQ(StoredLabels(pdf.size(), 3),
            "AUPOSTX_Lbl:BOOK9.pdf,EUB_Label:LX000000001CN.pdf,SFEX_Label:" + sfMail + ".pdf");

  // A partner downloads each stored label: the bytes the carrier sent.
  HttpClient http(host.port());
  const struct {
    std::string kind, mail;
  } labels[] = {{"E8EUB", "LX000000001CN"}, {"A8AUP", kAuMail}, {"S8SF", sfMail}};
  for (const auto& l : labels) {
    const long long stamp = static_cast<long long>(time(nullptr)) * 1000;
    const twtest::HttpReply r = http.Post(
        "/cgi-bin/Tarnwick.dll?DoApi", "{\"RequestName\":\"EPostPdf\",\"xSetx\":1,\"icID\":" + std::to_string(kClient) +
                                           ",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                                           twtest::RequestSignature(kClient, stamp, kPartnerKey) +
                                           "\",\"cEmsKind\":\"" + l.kind + "\",\"cqNo\":\"" + l.mail + "\"}");
    EXPECT_EQ(r.Header("content-type"), "application/pdf") << l.kind << " " << r.body.substr(0, 100);
    EXPECT_TRUE(r.body == pdf) << l.kind << " " << r.body.size();
  }

  // The same internal number again: the carrier makes its order, then the database refuses the
  // record. The order's number stays made: its label row is there and the log names it.
  const std::string again = pda.Body("pdaRecAdd", PdaShipment("CR0000001", "E8EUB", "美国"));
  EXPECT_EQ(ReplyInts(again, "ReturnValue"), std::vector<long long>{-8}) << again;
  EXPECT_EQ(ReplyTexts(again, "cMess"), std::vector<std::string>{Utf8("内单号重复，操作未完成。")});
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119 AND ckey='LX000000002CN'"), "1");
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.client_rec WHERE cserviceno='LX000000002CN'"), "0");
  EXPECT_EQ(host.Stop(), 0);
  EXPECT_NE(host.LogFile("TARNWICK").find("pdaRecAdd carrier order CR0000001 LX000000002CN"), std::string::npos);
}

// A carrier's refusal ends the entry with the carrier's words; a kind that several carriers list goes
// to the first of EUB, Australia Post, SF.
TEST_F(CarrierRoadsTest, PdaEntryAnswersACarriersRefusalWithItsMessage) {
  // Australia Post's settings point at a port where nothing listens.
  FakeCarrierServer closed;
  ASSERT_TRUE(closed.Start());
  const uint16_t down = closed.port();
  closed.Stop();
  eub.Script("POST", kEubOrderPath,
             {FakeReply::Ok(Utf8("<response><status>error</status><description>地址不详</description></response>"))});
  sf.Script("POST", kSfPath,
            {SfSoap("<Response><Head>ERR</Head><ERROR code=\"8016\">bad</ERROR></Response>")});
  // SF lists the EUB and Australia Post kinds as well: they still go to EUB and Australia Post.
  TestHost host;
  ASSERT_TRUE(host.Start(Config(down, true))) << host.error();
  PdaClient pda(host.port(), kPda);

  const struct {
    const char* what;
    std::string number, kind, destination;
  } cases[] = {
      {"EUB refuses", "CR0000011", "E8EUB", "美国"},
      {"Australia Post is down", "CR0000012", "A8AUP", "澳大利亚"},
      {"SF refuses", "CR0000013", "S8SF", "美国"},
  };
  std::vector<std::string> messages;
  for (const auto& c : cases) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::string body = pda.Body("pdaRecAdd", PdaShipment(c.number, c.kind, c.destination));
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    SCOPED_TRACE(std::string(c.what) + " " + body);
    // Refused before the record was stored: the routine's -1, the request's echo, the carrier's words.
    EXPECT_EQ(ReplyInts(body, "ReturnValue"), std::vector<long long>{-1});
    EXPECT_EQ(ReplyTexts(body, "cNo"), std::vector<std::string>{""});
    const auto mess = ReplyTexts(body, "cMess");
    ASSERT_EQ(mess.size(), 1u);
    messages.push_back(twtest::Utf8ToGbkText(mess[0]));
    EXPECT_EQ(Row("client_rec", "cserviceno", c.number), "(none)");
    EXPECT_LT(took, 10000);
  }
  EXPECT_EQ(messages[0], "地址不详");
  EXPECT_EQ(messages[1], "澳邮服务器断线!iRet:-123,sState:400");
  EXPECT_NE(messages[2].find("8016"), std::string::npos) << messages[2];
  EXPECT_EQ(eub.RequestCount(), 1u);
  EXPECT_EQ(sf.RequestCount(), 1u);
  // No label row for a refused order.
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119"), "0");
  EXPECT_EQ(host.Stop(), 0);
  EXPECT_NE(host.LogFile("TARNWICK").find("地址不详"), std::string::npos);
}

TEST_F(CarrierRoadsTest, PdaEntryOfAStallingCarrierEndsWithinTheCarriersTimeOut) {
  // SF accepts the connection and the order and never answers.
  FakeReply stall = SfOrderOk(SfMail(2));
  stall.delayMs = 120000;
  sf.Script("POST", kSfPath, {stall});
  TestHost host;
  ASSERT_TRUE(host.Start(Config(au.port()))) << host.error();
  HttpClient http(host.port());
  long long stamp = 0;
  std::sscanf(http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}").body.c_str(),
              "{\"ReturnValue\":%lld}", &stamp);
  const std::string request = "{\"RequestName\":\"pdaRecAdd\",\"cUserPid\":\"" + std::string(kPda) +
                              "\",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                              twtest::RequestSignature(kPda, stamp, twtest::kPdaKey) + "\"" +
                              PdaShipment("CR0000021", "S8SF", "美国") + "}";
  const auto t0 = std::chrono::steady_clock::now();
  const std::string body = twtest::PostAndWait(host.port(), "/cgi-bin/Tarnwick.dll?DoPda", request);
  const auto took = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(ReplyInts(body, "ReturnValue"), std::vector<long long>{-1}) << body;
  EXPECT_EQ(ReplyTexts(body, "cMess"), std::vector<std::string>{Utf8("顺丰服务器断线!iRet:-102,sState:400")}) << body;
  // The 30 s receive time-out of an order (after at most 2 s waiting for "100 Continue").
  EXPECT_GE(took, 29);
  EXPECT_LE(took, 45);
  EXPECT_EQ(Row("client_rec", "cserviceno", "CR0000021"), "(none)");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(CarrierRoadsTest, PreInputBatchMixesCarriersRefusalsAndALocalKind) {
  const std::string pdf = twcarrier::SamplePdf(5000);
  const std::string sfMail = SfMail(3);
  FakeCarrierServer closed;
  ASSERT_TRUE(closed.Start());
  const uint16_t down = closed.port();
  closed.Stop();
  // EUB accepts the first order, refuses the second and accepts the third, for a record whose
  // internal number the batch already stored; Australia Post is down; SF accepts.
  eub.Script("POST", kEubOrderPath,
             {EubMail("LX000000031CN"),
              FakeReply::Ok(Utf8("<response><status>error</status><description>重量超限</description></response>")),
              EubMail("LX000000036CN")});
  sf.Script("POST", kSfPath, {SfOrderOk(sfMail), SfLabelOk()});
  ScriptLabels(pdf, "LX000000031CN");
  TestHost host;
  ASSERT_TRUE(host.Start(Config(down))) << host.error();
  HttpClient http(host.port());
  const twtest::HttpReply reply = http.Post(
      "/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"PreInputSet\",\"icID\":973201,\"RecList\":[" +
                                      Record("CR0000031", "E8EUB", "美国") + "," +
                                      Record("CR0000032", "E8EUB", "美国") + "," +
                                      Record("CR0000033", "A8AUP", "澳大利亚") + "," +
                                      Record("CR0000034", "S8SF", "美国") + "," +
                                      Record("CR0000035", "C8LOC", "美国") + "," +
                                      Record("CR0000031", "E8EUB", "美国") + "]}");
  ASSERT_EQ(reply.status, 200);
  EXPECT_EQ(ReplyInts(reply.body, "ReturnValue"), std::vector<long long>{6}) << reply.body;
  EXPECT_EQ(ReplyInts(reply.body, "OK"), std::vector<long long>{3});
  const auto numbers = ReplyTexts(reply.body, "cNo");
  const auto messages = ReplyTexts(reply.body, "cMess");
  ASSERT_EQ(numbers.size(), 6u) << reply.body;
  ASSERT_EQ(messages.size(), 6u);
  const struct {
    std::string no, mess;
  } want[] = {
      {"LX000000031CN", ""},
      {"", Utf8("重量超限")},
      {"", Utf8("澳邮服务器断线!iRet:-123,sState:400")},
      {sfMail, ""},
      {"CL", ""},
      {"LX000000036CN", Utf8("同样内单号的记录已经存在。")},
  };
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(want[i].no == "CL" ? numbers[i].substr(0, 2) : numbers[i], want[i].no) << i;
    EXPECT_EQ(messages[i], want[i].mess) << i;
  }
  EXPECT_EQ(Row("rec_pre_input", "cno", "CR0000031"), "LX000000031CN");
  EXPECT_EQ(Row("rec_pre_input", "cno", "CR0000032"), "(none)");
  EXPECT_EQ(Row("rec_pre_input", "cno", "CR0000033"), "(none)");
  EXPECT_EQ(Row("rec_pre_input", "cno", "CR0000034"), sfMail);
  EXPECT_EQ(Row("rec_pre_input", "cno", "CR0000035"), twtest::Utf8ToGbkText(numbers[4]));

  EXPECT_EQ(StoredLabels(pdf.size(), 2), "EUB_Label:LX000000031CN.pdf,SFEX_Label:" + sfMail + ".pdf");
  EXPECT_EQ(host.Stop(), 0);
  // The order of the refused duplicate stays made, and the log says so.
  const std::string log = host.LogFile("TARNWICK");
  EXPECT_NE(log.find("carrier order CR0000031 LX000000036CN"), std::string::npos);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119 AND ckey='LX000000036CN'"), "1");
  EXPECT_NE(log.find("drew transfer number " + twtest::Utf8ToGbkText(numbers[4])), std::string::npos);
}

}  // namespace
