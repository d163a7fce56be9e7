// A carrier that stalls or refuses, against a running host with a fake China Post EUB server: the
// calls in flight to the account stay within its limit (the rest are refused as busy at once), its
// breaker refuses the remaining records of a batch at once, requests that need no carrier are served
// meanwhile, the account is used again once the carrier answers, and SIGTERM cuts the stalled calls
// so that the host exits in time. Records answered refused are never stored; those answered stored
// are stored once.
//
// Rows of this test: client 973301, PDA user "CSPDA1", kinds E9EUB (the EUB account's) and C9LOC
// (numbered locally), number sequences 97331 (transfer numbers "SL...") and 97332 (internal numbers
// "SN..."), records with numbers "CS...".

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/carriers/carrier_fixtures.h"
#include "tests/e2e/pda_support.h"
#include "tests/support/e2e.h"
#include "tests/support/fake_carrier.h"
#include "tests/support/http_client.h"
#include "tests/support/load.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::NowMs;
using twtest::HostConfig;
using twtest::HttpClient;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;

constexpr char kPda[] = "CSPDA1";
constexpr char kEubOrderPath[] = "/partner/api/public/p/order/";

std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

// The EUB refusal of a failed call with the given iRet, as the reply carries it.
std::string Down(int iRet) { return Utf8("邮政服务器断线!iRet:" + std::to_string(iRet) + ",sState:400"); }

FakeReply EubMail(const std::string& mail) {
  return FakeReply::Ok("<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><mailnum>" + mail +
                       "</mailnum></response>");
}

std::string ShipmentKeys(const std::string& number, const std::string& kind) {
  return ",\"cNum\":\"" + number + "\",\"cEmsKind\":\"" + kind + "\",\"cDes\":\"" + Utf8("美国") +
         "\",\"cReceiver\":\"Ann Lee\",\"cRAddr\":\"1 Main St\",\"cRCity\":\"Austin\",\"cRProvince\":\"TX\","
         "\"cRCountry\":\"" + Utf8("美国") + "\",\"cRPostcode\":\"73301\",\"fWeight\":1.2,\"cGoods\":\"" +
         Utf8("衣服衣服") + "\",\"cGoodsA\":\"shirt\",\"iQuantity\":1,\"fPrice\":2,\"fAmount\":1";
}

std::string Record(const std::string& number, const std::string& kind) {
  return "{\"iID\":0" + ShipmentKeys(number, kind) + "}";
}

std::string Number(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "CS%07d", n);
  return text;
}

// A PreInputSet of the records first..last (kind E9EUB), and of `local` records of kind C9LOC after.
std::string Batch(int first, int last, int local = 0) {
  std::string list;
  for (int n = first; n <= last; ++n) list += (list.empty() ? "" : ",") + Record(Number(n), "E9EUB");
  for (int n = 0; n < local; ++n) list += (list.empty() ? "" : ",") + Record(Number(900 + first + n), "C9LOC");
  return "{\"RequestName\":\"PreInputSet\",\"icID\":973301,\"RecList\":[" + list + "]}";
}

class CarrierStallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    ASSERT_TRUE(eub.Start());
    ASSERT_TRUE(eubLabels.Start());
    RemoveRows();
    ASSERT_TRUE(twtest::UsePdaKey(db)) << db.error();
    for (const std::string& sql : {
             std::string("INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('CSPDA1', 'CS操作员', '')"),
             std::string("INSERT INTO dbo.client_arc (icid, capikey, nstate, caccount) VALUES (973301, "
                         "'CSKey973301', 0, 'CSACC1')"),
             std::string("INSERT INTO dbo.ems_kind (cemskind, b1price) VALUES ('E9EUB', 1), ('C9LOC', 1)"),
             std::string("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
                         "(97331, 'SL', '', 8, 0, 1, NULL), (97332, 'SN', '', 8, 0, 1, NULL)"),
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
  }
  void TearDown() override {
    if (twtest::DatabaseConfigured()) RemoveRows();
  }

  void RemoveRows() {
    std::vector<std::string> statements = twcarrier::ClientRowDeletes(973301, kPda);
    statements.insert(statements.begin(), "DELETE FROM dbo.file_share WHERE ngrade=119 AND ckey LIKE 'LS%'");
    statements.push_back("DELETE FROM dbo.ems_kind WHERE cemskind IN ('E9EUB', 'C9LOC')");
    statements.push_back("DELETE FROM dbo.sys_genno WHERE iid IN (97331, 97332)");
    for (const std::string& sql : statements) EXPECT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
  }

  // The host with the EUB account at `orderPort` serving E9EUB, transfer-number rules for both kinds.
  HostConfig Config(uint16_t orderPort) const {
    HostConfig config;
    config.iniText = twtest::DefaultIni() +
                     "启用Ostrum容器=1\r\n内单号生成ID=97332\r\n<转单号生成定义开始>\r\nE9EUB=97331=\r\n"
                     "C9LOC=97331=\r\n<转单号生成定义结束>\r\n";
    std::string settings = twcarrier::EubSettings(orderPort, eubLabels.port(), "EubKey-09");
    settings.replace(settings.find("E8EUB=0"), 7, "E9EUB=0");
    config.moduleFiles["EPostApi_set_1.txt"] = settings;
    return config;
  }

  // The pre-input rows of client 973301 whose number is one of CS0000000..CS0000899 (the E9EUB ones).
  std::string CarrierRows() {
    return db.Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE icid=973301 AND cnum < 'CS0000900'");
  }

  FakeCarrierServer eub, eubLabels;
  TestDb db;
};

// Twelve single-record entries and a PDA entry against an account that stalls: 8 reach the carrier,
// the others are refused as busy at once, requests that need no carrier are served meanwhile, and
// SIGTERM ends the stalled ones so that the host exits in time.
TEST_F(CarrierStallTest, TheLimitHoldsAStallingCarrierAndTheStopCutsItsCalls) {
  FakeReply stall = EubMail("LS000000001CN");
  stall.delayMs = 120000;
  eub.Script("POST", kEubOrderPath, {stall});
  TestHost host;
  ASSERT_TRUE(host.Start(Config(eub.port()))) << host.error();

  std::vector<std::string> replies(12);
  std::vector<int64_t> took(12);
  std::vector<std::thread> clients;
  for (int i = 0; i < 12; ++i) {
    clients.emplace_back([&, i] {
      const int64_t t0 = NowMs();
      replies[static_cast<size_t>(i)] =
          twtest::PostAndWait(host.port(), "/cgi-bin/Tarnwick.dll?Do", Batch(i + 1, i + 1), 60000);
      took[static_cast<size_t>(i)] = NowMs() - t0;
    });
  }
  ASSERT_TRUE(eub.WaitForRequests(8, 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the others were refused meanwhile
  EXPECT_EQ(eub.RequestCount(), 8u);

  // The PDA entry of the same account is refused as busy too; an entry of a local kind is served.
  twtest::pda::PdaClient pda(host.port(), kPda);
  const std::string pdaBody =
      pda.Body("pdaRecAdd", ",\"icID\":973301" + ShipmentKeys(Number(50), "E9EUB"));
  EXPECT_EQ(ReplyTexts(pdaBody, "cMess"), std::vector<std::string>{Down(-130)}) << pdaBody;
  HttpClient http(host.port());
  const int64_t t0 = NowMs();
  const twtest::HttpReply local = http.Post("/cgi-bin/Tarnwick.dll?Do", Batch(1, 0, 1));
  EXPECT_LT(NowMs() - t0, 5000);
  EXPECT_EQ(ReplyInts(local.body, "OK"), std::vector<long long>{1}) << local.body;
  EXPECT_EQ(eub.RequestCount(), 8u);

  // SIGTERM: the drain bound (8 s), then the stalled calls are cut and the host exits.
  const int64_t stopAt = NowMs();
  EXPECT_EQ(host.Stop(15000), 0);
  EXPECT_LT(NowMs() - stopAt, 10000);
  for (std::thread& t : clients) t.join();
  int busy = 0, cut = 0;
  for (size_t i = 0; i < replies.size(); ++i) {
    const auto messages = ReplyTexts(replies[i], "cMess");
    if (messages == std::vector<std::string>{Down(-130)}) {
      ++busy;
      EXPECT_LT(took[i], 5000) << i;  // refused at once, not after a stalled call
    } else {
      // Cut by the stop: answered as a failed call.
      EXPECT_EQ(messages, std::vector<std::string>{Down(-125)}) << replies[i];
      ++cut;
    }
  }
  EXPECT_EQ(busy, 4);
  EXPECT_EQ(cut, 8);
  EXPECT_EQ(CarrierRows(), "0");
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.client_rec WHERE icid=973301"), "0");
}

// A batch of 20 records: against a carrier that refuses connections, against one that answers again
// (after the breaker's pause) and against one that stalls.
TEST_F(CarrierStallTest, ABatchOfAFailingCarrierIsRefusedAtOnceAndTheCarrierIsUsedAgain) {
  FakeCarrierServer closed;
  ASSERT_TRUE(closed.Start());
  const uint16_t port = closed.port();
  closed.Stop();  // nothing listens there for now
  TestHost host;
  ASSERT_TRUE(host.Start(Config(port))) << host.error();
  HttpClient http(host.port());

  // Refused connections: three calls fail, the breaker opens and the other 17 records are not tried;
  // the local record of the batch is stored.
  int64_t t0 = NowMs();
  twtest::HttpReply reply = http.Post("/cgi-bin/Tarnwick.dll?Do", Batch(1, 20, 1));
  EXPECT_LT(NowMs() - t0, 5000);
  std::vector<std::string> messages = ReplyTexts(reply.body, "cMess");
  ASSERT_EQ(messages.size(), 21u) << reply.body;
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(messages[i], Down(i < 3 ? -123 : -131)) << i;
  EXPECT_EQ(messages[20], "");
  EXPECT_EQ(ReplyInts(reply.body, "OK"), std::vector<long long>{1});
  EXPECT_EQ(CarrierRows(), "0");
  EXPECT_NE(host.StderrText().find("carrier EUB 1: breaker open"), std::string::npos) << host.StderrText();
  const std::string about = http.Get("/cgi-bin/Tarnwick.dll").body;
  EXPECT_NE(about.find("SPX breaker open: EUB 1<"), std::string::npos) << about;

  // The carrier is back: within the breaker's pause entries are still refused, then one succeeds.
  FakeCarrierServer back;
  ASSERT_TRUE(back.Start(port));
  back.Script("POST", kEubOrderPath, {EubMail("LS000000031CN"), EubMail("LS000000032CN")});
  t0 = NowMs();
  std::string body;
  int number = 31;
  while (NowMs() - t0 < 10000) {
    body = http.Post("/cgi-bin/Tarnwick.dll?Do", Batch(number, number)).body;
    if (ReplyInts(body, "OK") == std::vector<long long>{1}) break;
    EXPECT_EQ(ReplyTexts(body, "cMess"), std::vector<std::string>{Down(-131)}) << body;
    ++number;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EXPECT_EQ(ReplyTexts(body, "cNo"), std::vector<std::string>{"LS000000031CN"}) << body;
  body = http.Post("/cgi-bin/Tarnwick.dll?Do", Batch(60, 60)).body;
  EXPECT_EQ(ReplyTexts(body, "cNo"), std::vector<std::string>{"LS000000032CN"}) << body;
  EXPECT_EQ(back.RequestCount(), 2u);
  EXPECT_EQ(CarrierRows(), "2");
  EXPECT_EQ(http.Get("/cgi-bin/Tarnwick.dll").body.find("breaker open"), std::string::npos);
  EXPECT_EQ(db.Scalar("SELECT string_agg(cno, ',' ORDER BY cno) FROM dbo.rec_pre_input WHERE icid=973301 AND "
                      "cnum < 'CS0000900'"),
            "LS000000031CN,LS000000032CN");

  // A carrier that accepts and never answers: one call waits out the order's 30 s receive time-out,
  // the other records of the batch are not tried.
  FakeReply stall = EubMail("LS000000099CN");
  stall.delayMs = 120000;
  back.Script("POST", kEubOrderPath, {stall});
  t0 = NowMs();
  body = twtest::PostAndWait(host.port(), "/cgi-bin/Tarnwick.dll?Do", Batch(101, 120), 60000);
  const int64_t batchMs = NowMs() - t0;
  EXPECT_LT(batchMs, 45000);
  messages = ReplyTexts(body, "cMess");
  ASSERT_EQ(messages.size(), 20u) << body;
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(messages[i], Down(i == 0 ? -102 : -131)) << i;
  EXPECT_EQ(back.RequestCount(), 3u);
  EXPECT_EQ(CarrierRows(), "2");
  EXPECT_EQ(host.Stop(), 0);
  std::printf("20-record batch against a stalling carrier answered in %lld ms\n", static_cast<long long>(batchMs));
}

// Load: 60 connections post records of the stalling account over and over, 8 others post records of
// a local kind. The stalled calls hold at most the account's 8 slots; the local records are served
// in every 5 s window, and every carrier record ends with the carrier's failure message.
TEST_F(CarrierStallTest, AStallingCarrierUnderLoadLeavesTheOtherRequestsServed) {
  constexpr int kCarrierConnections = 60, kOthers = 8, kSeconds = 10;
  FakeReply stall = EubMail("LS000000001CN");
  stall.delayMs = 120000;
  eub.Script("POST", kEubOrderPath, {stall});
  TestHost host;
  ASSERT_TRUE(host.Start(Config(eub.port()))) << host.error();
  const std::string local =
      "{\"RequestName\":\"PreInputSet\",\"icID\":973301,\"RecList\":[{\"iID\":0,\"cEmsKind\":\"C9LOC\","
      "\"cDes\":\"" + Utf8("美国") + "\"}]}";
  struct Sent {
    bool bCarrier = false;
    int64_t atMs = 0, tookMs = 0;
    twtest::HttpReply reply;
  };
  const int64_t start = NowMs();
  // When the load ends the carrier goes away, so that its stalled calls end at once.
  std::thread ender([&] {
    std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
    eub.Stop();
  });
  const std::vector<Sent> sent =
      twtest::SendFor(host.port(), kCarrierConnections + kOthers, kSeconds, [&](HttpClient& http, int t) {
        Sent s;
        s.bCarrier = t < kCarrierConnections;
        s.atMs = NowMs() - start;
        s.reply = http.Post("/cgi-bin/Tarnwick.dll?Do", s.bCarrier ? Batch(t + 1, t + 1) : local);
        s.tookMs = NowMs() - start - s.atMs;
        return s;
      });
  ender.join();
  EXPECT_LE(eub.RequestCount(), 8u);  // never more carrier calls than the limit

  twtest::EntryTally tally;
  struct Window {
    int sent = 0, served = 0;
    std::vector<int64_t> took;
  } windows[kSeconds / 5 + 1];
  int carrierReplies = 0;
  for (const Sent& s : sent) {
    if (s.bCarrier) {
      const auto messages = ReplyTexts(s.reply.body, "cMess");
      ASSERT_EQ(messages.size(), 1u) << s.reply.body;
      EXPECT_EQ(messages[0].rfind(Utf8("邮政服务器断线!iRet:"), 0), 0u) << s.reply.body;
      ++carrierReplies;
      continue;
    }
    Window& w = windows[std::min<int64_t>(s.atMs / 5000, kSeconds / 5)];
    ++w.sent;
    w.took.push_back(s.tookMs);
    if (ReplyInts(s.reply.body, "OK") != std::vector<long long>{1}) continue;
    ++w.served;
    const auto ids = ReplyInts(s.reply.body, "iID");
    const auto nums = ReplyTexts(s.reply.body, "cNum");
    ASSERT_EQ(ids.size(), 1u) << s.reply.body;
    ASSERT_EQ(nums.size(), 1u) << s.reply.body;
    tally.stored.emplace_back(ids[0], twtest::Utf8ToGbkText(nums[0]));
  }
  EXPECT_GT(carrierReplies, 0);
  for (int i = 0; i < kSeconds / 5; ++i) {
    Window& w = windows[i];
    ASSERT_GT(w.sent, 0) << "window " << i;
    std::sort(w.took.begin(), w.took.end());
    const int64_t p99 = w.took[w.took.size() * 99 / 100];
    EXPECT_GE(w.served * 100, w.sent * 95) << "window " << i << ": " << w.served << " of " << w.sent;
    EXPECT_LT(p99, 2000) << "window " << i;
    std::printf("window %d: %d of %d served, p99 %lld ms\n", i, w.served, w.sent, static_cast<long long>(p99));
  }
  twtest::ExpectEachStoredOnce(
      tally, db.Query("SELECT iid, cnum FROM dbo.rec_pre_input WHERE icid=973301"));
  EXPECT_EQ(CarrierRows(), "0");
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
