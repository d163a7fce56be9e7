// The client's reading road over HTTP against the test database: "PreInputData", "PreInputList",
// "RecList", "FeeList", "PreInputTotal", "ClientInfo"/"ClientAuth" and "EmsKindList" with the kind
// alias table.
//
// Most requests go through the Do door (the test runs on the trusted loopback address, so no
// signature is needed); the signed DoApp door is used where its road matters. The rows of this test
// use ids and codes no other test uses: clients 910001-910009, pre-input ids from 910001, shipment
// records from 910101, fee rows from 910201, kinds RDK0-RDK2.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kListClient = 910001;     // 25 pre-input shipments, 4 shipment records, 5 fee rows
constexpr int kMemberClient = 910002;   // web account with a member login
constexpr int kBadLinkClient = 910003;  // web account without a member login
constexpr int kNoLinkClient = 910004;   // no web account
constexpr int kEmptyClient = 910005;    // nothing at all
constexpr int kWideClient = 910007;     // 1000 wide pre-input shipments
constexpr char kMemberKey[] = "RdKey910002";

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

// Request text in GBK (as the test's literals are) sent as the UTF-8 that clients send.
std::string Utf8(const std::string& gbk) { return twtest::GbkToUtf8Text(gbk); }

// The values of every "key":number in a reply, in order.
std::vector<long long> Ints(const std::string& body, const std::string& key) {
  std::vector<long long> out;
  std::regex re("\"" + key + "\":(-?[0-9]+)");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), re); it != std::sregex_iterator(); ++it) {
    out.push_back(std::stoll((*it)[1]));
  }
  return out;
}

// The values of every "key":"text" in a reply (UTF-8, escapes as sent), in order.
std::vector<std::string> Strs(const std::string& body, const std::string& key) {
  std::vector<std::string> out;
  std::regex re("\"" + key + "\":\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), re); it != std::sregex_iterator(); ++it) {
    out.push_back((*it)[1]);
  }
  return out;
}

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }
bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<long long> Range(long long from, long long to) {  // from..to, either direction
  std::vector<long long> out;
  for (long long i = from;; i += from <= to ? 1 : -1) {
    out.push_back(i);
    if (i == to) break;
  }
  return out;
}

// The stored form of a member password, by hand: every byte XORed with 0x0B.
std::string Scrambled(const std::string& text) {
  std::string out;
  for (char c : text) out.push_back(static_cast<char>(c ^ 0x0B));
  return out;
}

class ClientReadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.client_arc (icid, capikey, cwebac, cwechat, fcredit, fdeposit, fpay0, ipay0, "
                     "fpay1, ipay1, cunitname, caddr, cby5) VALUES "
                     "(910001, 'RdKey910001', '', '', 0, 0, 0, 0, 0, 0, '', '', ''),"
                     "(910002, 'RdKey910002', 'rdweb2', 'rdwx2', 1000, 200.50, 50, 3, 25.25, 2, '示例公司', "
                     "'深圳 \"南山\" 1号', 'by5'),"
                     "(910003, 'RdKey910003', 'rdweb3', '', 0, 0, 0, 0, 0, 0, '', '', ''),"
                     "(910004, 'RdKey910004', '', 'rdwx4', 0, 0, 0, 0, 0, 0, '', '', ''),"
                     "(910005, 'RdKey910005', '', '', 0, 0, 0, 0, 0, 0, '', '', ''),"
                     "(910007, 'RdKey910007', '', '', 0, 0, 0, 0, 0, 0, '', '', '')"));
    ASSERT_TRUE(Exec(db, "INSERT INTO quillon.member_main (mcaccount, mcpassword) VALUES ('rdweb2', 'pw-plain')"));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.ems_kind (cemskind, cemskindi, ninput, idocweighte) VALUES "
                     "('RDK1', 'RD一号', 1, 900), ('RDK2', 'RD二号', 0, 901), ('RDK0', 'RD零号', 1, 899)"));

    // 25 pre-input shipments, row i: day 2026-11-i at noon (row 10 at 23:59:59.5, row 11 at
    // midnight), taken over (irid) from row 11 on, destination US for odd rows, marks and reserves
    // with LIKE specials, kind RDK2 (no alias) every fifth row and "rdk1" in row 22.
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.rec_pre_input (iid, icid, irid, cdes, cnum, cemskind, cmark, creserve, ddate, "
                     "clwh, fweight, iprice, idvalue, cgoods, creceiver) "
                     "SELECT 910000 + i, 910001, CASE WHEN i > 10 THEN i ELSE 0 END, "
                     "CASE WHEN i % 2 = 1 THEN '美国' ELSE '英国' END, 'RD' || lpad(i::text, 6, '0'), "
                     "CASE WHEN i % 5 = 0 THEN 'RDK2' WHEN i = 22 THEN 'rdk1' ELSE 'RDK1' END, "
                     "CASE i WHEN 1 THEN '50%' WHEN 2 THEN '500' WHEN 3 THEN 'A_1' WHEN 4 THEN 'AB1' ELSE '' END, "
                     "CASE WHEN i <= 12 THEN 'RES-A' WHEN i <= 20 THEN 'R''Q' ELSE '' END, "
                     "CASE i WHEN 10 THEN timestamp '2026-11-10 23:59:59.5' WHEN 11 THEN timestamp '2026-11-11' "
                     "ELSE timestamp '2026-11-01 12:00' + (i - 1) * interval '1 day' END, "
                     "CASE WHEN i = 1 THEN '30*20' ELSE '40*30*20' END, 1.25, 12345, 200, '', '' "
                     "FROM generate_series(1, 25) AS i"));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.rec_pre_input_goods (iid, wpos, cgoods, iquantity, fprice, fgcustom, fgcrate) "
                     "VALUES (910001, 2, '第三', 3, 3.30, 9.9, 0.125), (910001, 0, '第一', 1, 1.10, 1.1, 0.1), "
                     "(910001, 1, '第二', 2, 2.20, 4.4, 0)"));

    // Shipment records: 910101 with three events, 910102 and 910104 without, 910103 with one.
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.client_rec (irid, icid, ddate, ifid, nstate, cnum, cemskind, cemskindc, cdes, "
                     "dsysdate, clwh) VALUES "
                     "(910101, 910001, '2026-11-05', 0, 9, 'RR01', 'RDK1', 'RDK1', 'X', '2026-11-05 08:00:01', '1*2*3'),"
                     "(910102, 910001, '2026-11-06', 55, 10, 'RR02', 'RDK2', 'RDK1', 'X', '2026-11-06 09:00:00', ''),"
                     "(910103, 910001, '2026-11-06', 0, 2, 'RR03', 'RDK1', 'RDK2', 'X', '2026-11-06 10:00:00', ''),"
                     "(910104, 910001, '2026-11-07', 56, 0, 'RR04', 'RDK1', 'RDK2', 'X', '2026-11-07 11:00:00', '')"));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.check_detail (irid, npos, cdate, cplace, cinfo) VALUES "
                     "(910101, 2, '2026-11-06 10:00', 'P2', 'E2'), (910101, 3, '2026-11-07 10:00', 'P3', 'E3'), "
                     "(910101, 1, '2026-11-05 10:00', 'P1', 'E1'), (910103, 1, '2026-11-06 12:00', 'Q1', 'F1')"));

    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.client_fee (ifid, icid, ntype, npayway, cmoney, dpdate, cinvoice, ffee, "
                     "dsysdate) VALUES "
                     "(910201, 910001, 0, 0, 'CNY', '2026-11-01', 'INV_1', 10.5, '2026-11-01 10:00:00'),"
                     "(910202, 910001, 1, 2, 'USD', '2026-11-02', 'INV21', 20, '2026-11-02 10:00:00'),"
                     "(910203, 910001, 0, 4, 'CNY', '2026-11-03', '', 30, '2026-11-03 10:00:00'),"
                     "(910204, 910001, 1, 1, 'CNY', '2026-11-03', '', 40, '2026-11-03 11:00:00'),"
                     "(910205, 910001, 0, 2, 'HKD', '2026-11-04', '', 50, '2026-11-04 10:00:00')"));

    // 1000 wide rows: six texts of 254 Chinese characters each, about 4.5 KB of reply per row.
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.rec_pre_input (iid, icid, cnum, cunitname, caddr, cmemo, cgoods, cby5, cgoodsa) "
                     "SELECT 911000 + i, 910007, 'RW' || i, repeat('宽', 254), repeat('址', 254), repeat('备', 254), "
                     "repeat('货', 254), repeat('五', 254), repeat('英', 254) FROM generate_series(1, 1000) AS i"));
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
    Exec(db, "DELETE FROM dbo.rec_pre_input_goods WHERE iid BETWEEN 910000 AND 919999");
    Exec(db, "DELETE FROM dbo.rec_pre_input WHERE icid BETWEEN 910000 AND 919999");
    Exec(db, "DELETE FROM dbo.check_detail WHERE irid BETWEEN 910000 AND 919999");
    Exec(db, "DELETE FROM dbo.client_rec WHERE icid BETWEEN 910000 AND 919999");
    Exec(db, "DELETE FROM dbo.client_fee WHERE icid BETWEEN 910000 AND 919999");
    Exec(db, "DELETE FROM dbo.client_arc WHERE icid BETWEEN 910000 AND 919999");
    Exec(db, "DELETE FROM quillon.member_main WHERE mcaccount IN ('rdweb2', 'rdweb3')");
    Exec(db, "DELETE FROM dbo.ems_kind WHERE cemskind IN ('RDK0', 'RDK1', 'RDK2')");
  }

  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
  }

  // A request of the Do door: {"RequestName":name,<more>}.
  static std::string Do(HttpClient& http, const std::string& name, const std::string& more) {
    HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"" + name + "\"" + more + "}");
    EXPECT_EQ(r.status, 200) << name << more;
    EXPECT_EQ(r.Header("content-type"), "application/json") << name << more;
    return r.body;
  }

  static std::string Client(int icid) { return ",\"icID\":" + std::to_string(icid); }
};

TEST_F(ClientReadTest, RefusalCodesOfEachRequest) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    const char* name;
    std::string more;
    int code;
  } cases[] = {
      {"PreInputData", ",\"icID\":0,\"iID\":910001", -710},
      {"PreInputData", Client(kListClient) + ",\"cNum\":\"RD0001\"", -3},  // six characters name nothing
      {"PreInputData", Client(kListClient), -3},
      {"PreInputData", Client(kListClient) + ",\"iID\":919999", -2},
      {"PreInputData", Client(kEmptyClient) + ",\"iID\":910001", -2},  // another client's shipment
      {"PreInputData", Client(kListClient) + ",\"cNum\":\"RD000001' OR '1'='1\"", -2},
      {"PreInputList", ",\"icID\":0", -710},
      {"PreInputList", Client(kEmptyClient) + ",\"iPagePer\":10", 0},
      {"PreInputList", Client(kListClient) + ",\"iPagePer\":10,\"cqDes\":\"nowhere\"", 0},
      {"RecList", ",\"icID\":0", -2},
      {"RecList", Client(kEmptyClient) + ",\"iPagePer\":10", 0},
      {"FeeList", ",\"icID\":-1", -710},
      {"PreInputTotal", ",\"icID\":0", -710},
      {"PreInputTotal", Client(kEmptyClient), 0},
      {"ClientAuth", ",\"icID\":\"0\"", -3},
      {"ClientAuth", ",\"icID\":\"919999\"", -2},
      {"ClientAuth", ",\"cWebAccount\":\"x' OR '1'='1\"", -2},
      // A stray GBK lead byte before a quote: nothing can match, and nothing reaches the database.
      {"PreInputData", Client(kListClient) + ",\"cNum\":\"\x81' OR '1'='1\"", -2},
      {"PreInputList", Client(kListClient) + ",\"cqMark\":\"\x81') OR 1=1 --\"", 0},
      {"PreInputList", Client(kListClient) + ",\"cqEmsKind\":\"\x81' OR '1'='1\"", 0},
      {"PreInputTotal", Client(kListClient) + ",\"cqReserves\":[\"\x81') OR 1=1 --\"]", 0},
      {"ClientAuth", ",\"cWeChat\":\"\x81' OR '1'='1\"", -2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Do(http, c.name, c.more), Code(c.code)) << c.name << c.more;
  }
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, PreInputDataWithItsGoodsLines) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  // By id (the number is not looked at when an id is given), and by number in other letter case.
  for (const std::string& key : {std::string(",\"iID\":910001,\"cNum\":\"RD000002\""), std::string(",\"cNum\":\"rd000001\"")}) {
    std::string body = Do(http, "PreInputData", Client(kListClient) + key);
    ASSERT_TRUE(StartsWith(body, "{\"ReturnValue\":1,\"icID\":910001,\"iID\":910001,\"irID\":0,\"nItemType\":1,\"nLanguage\":0,"
                         "\"cEmsKind\":\"RDK1\",\"cEmsKindi\":\"" + Utf8("RD一号") + "\",\"cEmsKindc\":\"\","
                         "\"cEmsKindw\":\"\",\"cAddrFrom\":\"\",\"cDes\":\"" + Utf8("美国") + "\",\"fWeight\":1.250,"
                         "\"iLong\":30,\"iWidth\":20,\"iHeight\":0,"))
        << body;
    // Cents as decimals.
    EXPECT_NE(body.find("\"fPrice\":123.45,\"fGoods\":0.00,\"fGoodsc\":0.00,\"fDValue\":2.00,\"fIValue\":0.00,"), std::string::npos);
    // The goods lines in wpos order, closing the reply.
    const std::string goods = ",\"GoodsList\":[{\"cxGoods\":\"" + Utf8("第一") +
                              "\",\"ixQuantity\":1,\"fxPrice\":1.10,\"cxGoodsA\":\"\",\"cxGCodeA\":\"\",\"cxGCodeB\":\"\","
                              "\"cxGCodeC\":\"\",\"fxGCustom\":1.10,\"fxGCRate\":0.1000},{\"cxGoods\":\"" +
                              Utf8("第二") + "\",\"ixQuantity\":2,\"fxPrice\":2.20,\"cxGoodsA\":\"\",\"cxGCodeA\":\"\","
                              "\"cxGCodeB\":\"\",\"cxGCodeC\":\"\",\"fxGCustom\":4.40,\"fxGCRate\":0.0000},{\"cxGoods\":\"" +
                              Utf8("第三") + "\",\"ixQuantity\":3,\"fxPrice\":3.30,\"cxGoodsA\":\"\",\"cxGCodeA\":\"\","
                              "\"cxGCodeB\":\"\",\"cxGCodeC\":\"\",\"fxGCustom\":9.90,\"fxGCRate\":0.1250}]}";
    ASSERT_GE(body.size(), goods.size());
    EXPECT_EQ(body.substr(body.size() - goods.size()), goods);
    EXPECT_EQ(Ints(body, "iID"), std::vector<long long>{910001});
  }
  // Without goods lines no "GoodsList"; the reply ends with the transport note.
  std::string plain = Do(http, "PreInputData", Client(kListClient) + ",\"iID\":910002");
  EXPECT_EQ(plain.find("GoodsList"), std::string::npos);
  EXPECT_TRUE(EndsWith(plain, "\"cPacking\":\"\",\"cTransNote\":\"\"}")) << plain;

  // The signed door reaches the same handler.
  HttpReply stamp = http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}");
  long long ts = 0;
  ASSERT_EQ(std::sscanf(stamp.body.c_str(), "{\"ReturnValue\":%lld}", &ts), 1);
  std::string signedBody = "{\"RequestName\":\"PreInputData\",\"icID\":910002,\"TimeStamp\":" + std::to_string(ts) +
                           ",\"MD5\":\"" + twtest::RequestSignature(kMemberClient, ts, kMemberKey) + "\",\"iID\":910001}";
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", signedBody).body, Code(-2));  // not its shipment
  EXPECT_EQ(host.Stop(), 0);
}

// The signed reading requests run on the slot their door took for the key check: 36 of them waiting
// on tables another session holds locked keep 36 slots, not 72 (more than the pool has), and every
// one answers once the lock goes.
TEST_F(ClientReadTest, SignedReadsWaitingOnTheDatabaseHoldOneSlotEach) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  TestDb locker, watcher;
  ASSERT_TRUE(Exec(locker, "BEGIN"));
  ASSERT_TRUE(Exec(locker, "LOCK TABLE dbo.rec_pre_input, dbo.client_rec IN ACCESS EXCLUSIVE MODE"));
  const long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string sign = ",\"icID\":910001,\"TimeStamp\":" + std::to_string(ts) + ",\"MD5\":\"" +
                           twtest::RequestSignature(kListClient, ts, "RdKey910001") + "\"";
  struct Read {
    const char* body;
    const char* answer;  // how the reply starts
  } reads[] = {
      {"\"iID\":910001", "{\"ReturnValue\":1,\"icID\":910001,\"iID\":910001,"},
      {"\"nPageSize\":2", "{\"ReturnValue\":1,"},
      {"\"nPageSize\":2", "{\"ReturnValue\":1,"},
  };
  const char* names[] = {"PreInputData", "PreInputList", "RecList"};
  constexpr int kEach = 12;
  std::vector<std::string> replies(3 * kEach);
  std::vector<std::thread> threads;
  for (int i = 0; i < 3 * kEach; ++i) {
    threads.emplace_back([&, i] {
      HttpClient http(host.port());
      replies[i] = http.Post("/cgi-bin/Tarnwick.dll?DoApp", std::string("{\"RequestName\":\"") + names[i % 3] +
                                                                 "\"" + sign + "," + reads[i % 3].body + "}")
                       .body;
    });
  }
  // Every request is inside the database, waiting for the lock, before it is let go.
  int waiting = 0;
  for (int tries = 0; tries < 200 && waiting < 3 * kEach; ++tries) {
    usleep(50000);
    waiting = std::atoi(watcher
                            .Scalar("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND "
                                    "datname = current_database()")
                            .c_str());
  }
  EXPECT_EQ(waiting, 3 * kEach);
  ASSERT_TRUE(Exec(locker, "COMMIT"));
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 3 * kEach; ++i) {
    EXPECT_TRUE(StartsWith(replies[i], reads[i % 3].answer)) << names[i % 3] << ": " << replies[i];
  }
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, PreInputListPages) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  // 25 rows newest first (by iid): by hand, page p of 10 holds 910025 - 10(p-1) down to the page's end.
  struct Case {
    std::string paging;
    int headPage, headPer;
    std::vector<long long> ids;
  } cases[] = {
      {",\"iPage\":1,\"iPagePer\":10", 1, 10, Range(910025, 910016)},
      {",\"iPage\":0,\"iPagePer\":10", 1, 10, Range(910025, 910016)},
      {",\"iPage\":2,\"iPagePer\":10", 2, 10, Range(910015, 910006)},
      {",\"iPage\":3,\"iPagePer\":10", 3, 10, Range(910005, 910001)},
      {",\"iPage\":7,\"iPagePer\":10", 3, 10, Range(910005, 910001)},
      {",\"iPage\":-2,\"iPagePer\":10", 1, 10, Range(910025, 910016)},
      {",\"iPage\":2,\"iPagePer\":5000", 1, 1000, Range(910025, 910001)},
      {",\"iPage\":9,\"iPagePer\":3", 9, 3, Range(910001, 910001)},
  };
  for (const Case& c : cases) {
    std::string body = Do(http, "PreInputList", Client(kListClient) + c.paging);
    EXPECT_EQ(body.rfind("{\"ReturnValue\":1,\"icID\":910001,\"iPage\":" + std::to_string(c.headPage) +
                             ",\"iPagePer\":" + std::to_string(c.headPer) + ",\"iTotalRec\":25,\"dqBDate\":\"\",",
                         0),
              0u)
        << c.paging << body.substr(0, 200);
    EXPECT_EQ(Ints(body, "iID"), c.ids) << c.paging;
    EXPECT_TRUE(EndsWith(body, "\"}]}")) << c.paging;
  }

  // A row's input name never shows in the next row: RDK2 has no alias, "rdk1" differs in case.
  std::string page = Do(http, "PreInputList", Client(kListClient) + ",\"iPagePer\":6");
  EXPECT_EQ(Strs(page, "cEmsKind"), (std::vector<std::string>{"RDK2", "RDK1", "RDK1", "rdk1", "RDK1", "RDK2"}));
  const std::string alias = Utf8("RD一号");
  EXPECT_EQ(Strs(page, "cEmsKindi"), (std::vector<std::string>{"", alias, alias, "", alias, ""}));
  EXPECT_EQ(Strs(page, "dDate")[0], "2026-11-25 12:00:00");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, PreInputListFilters) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  // Counts worked out by hand from the rows of SetUpTestSuite; 0 is the bare "nothing found".
  struct Case {
    std::string filter;
    long long total;
  } cases[] = {
      {"", 25},
      {",\"cqStateMask\":\"10\"", 10},  // not taken over
      {",\"cqStateMask\":\"01\"", 15},  // taken over
      {",\"cqStateMask\":\"11\"", 25},
      {",\"cqStateMask\":\"1\"", 25},
      {",\"dqBDate\":\"2026-11-10\",\"dqEDate\":\"2026-11-10\"", 1},  // 23:59:59.5 is still the 10th
      {",\"dqBDate\":\"2026-11-11\",\"dqEDate\":\"2026-11-11\"", 1},  // midnight begins the 11th
      {",\"dqBDate\":\"2026.11.20\"", 6},
      {",\"dqEDate\":\"20261102\"", 2},
      {",\"dqBDate\":\"not a date\"", 25},
      {",\"cqDes\":\"" + Utf8("美") + "\"", 13},
      {",\"cqMark\":\"50%\"", 1},   // the % is a character of its own
      {",\"cqMark\":\"50\"", 2},
      {",\"cqMark\":\"A_1\"", 1},   // the _ is a character of its own
      {",\"cqMark\":\"a\"", 2},     // letter case ignored
      {",\"cqNum\":\"RD000003,RD000007\"", 2},
      {",\"cqNum\":\"rd000003, RD000007,RD999999,\"", 2},
      {",\"cqNum\":\"RD00001\"", 10},  // pattern: RD000010 .. RD000019
      {",\"cqNum\":\"RD000001','RD000002\"", 0},
      {",\"cqNum\":\"RD000001') OR ('1'='1\"", 0},
      {",\"cqEmsKind\":\"rdk2\"", 5},
      {",\"cqEmsKind\":\"RDK\"", 0},  // exact, not a pattern
      {",\"cqReserve\":\"RES\"", 12},
      {",\"cqReserve\":\"R'Q\"", 8},
      {",\"cqReserve\":\"'--\"", 0},
      {",\"cqStateMask\":\"01\",\"cqDes\":\"" + Utf8("英") + "\",\"cqReserve\":\"R'\"", 4},  // 14, 16, 18, 20
  };
  for (const Case& c : cases) {
    std::string body = Do(http, "PreInputList", Client(kListClient) + ",\"iPagePer\":0" + c.filter);
    if (c.total == 0) {
      EXPECT_EQ(body, Code(0)) << c.filter;
    } else {
      EXPECT_EQ(Ints(body, "iTotalRec"), std::vector<long long>{c.total}) << c.filter << "\n" << body;
    }
  }
  // The count-only reply echoes the filters in their order (dates as applied), the last without ",".
  EXPECT_EQ(Do(http, "PreInputList",
               Client(kListClient) + ",\"iPage\":4,\"iPagePer\":0,\"cqReserve\":\"RES\",\"cqNum\":\"rd0000\","
                                     "\"dqEDate\":\"2026-11-30\",\"cqStateMask\":\"10\",\"cqMark\":\"\""),
            "{\"ReturnValue\":1,\"icID\":910001,\"iPage\":4,\"iPagePer\":0,\"iTotalRec\":10,\"dqBDate\":\"\","
            "\"dqEDate\":\"2026.11.30 23:59:59.998\",\"cqDes\":\"\",\"cqEmsKind\":\"\",\"cqStateMask\":\"10\","
            "\"cqNum\":\"RD0000\",\"cqMark\":\"\",\"cqReserve\":\"RES\"}");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, APageOfWideRowsIsSentWhole) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?Do",
                          "{\"RequestName\":\"PreInputList\",\"icID\":910007,\"iPage\":1,\"iPagePer\":1000}");
  ASSERT_EQ(r.status, 200);
  // More than the slot's 2 MB reply buffer, every row whole, the list closed.
  EXPECT_GT(r.body.size(), 2u * 1024 * 1024);
  EXPECT_EQ(r.Header("content-length"), std::to_string(r.body.size()));
  EXPECT_EQ(Ints(r.body, "iID"), Range(912000, 911001));
  EXPECT_EQ(Strs(r.body, "cMemo").size(), 1000u);
  std::string memo;
  for (int i = 0; i < 254; ++i) memo += "备";
  EXPECT_EQ(Strs(r.body, "cMemo").back(), Utf8(memo));
  EXPECT_TRUE(EndsWith(r.body, "\"}]}"));
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, RecListEachRecordOnceWithItsLatestEvent) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    std::string filter;
    std::vector<long long> irids;  // newest day first, then the higher id
  } cases[] = {
      {"", {910104, 910103, 910102, 910101}},
      {",\"bqAudit\":\"true\"", {910104, 910102}},
      {",\"bqAudit\":\"false\"", {910103, 910101}},
      {",\"bqAudit\":\"TRUE\"", {910104, 910103, 910102, 910101}},  // the comparison is exact
      {",\"cqStateMask\":\"00000000011\"", {910102, 910101}},        // states 9 and 10
      {",\"cqStateMask\":\"11111111111\"", {910104, 910103, 910102, 910101}},
      {",\"cqStateMask\":\"0010000000\"", {910104, 910103, 910102, 910101}},  // ten characters
      {",\"iqfID\":55", {910102}},
      {",\"dqBDate\":\"2026-11-06\",\"dqEDate\":\"2026-11-06\"", {910103, 910102}},
      {",\"cqNum\":\"RR01,rr04\"", {910104, 910101}},
      {",\"cqEmsKind\":\"RDK2\"", {910102}},
      {",\"iPage\":2,\"iPagePer\":3", {910101}},
  };
  for (const Case& c : cases) {
    std::string more = Client(kListClient) + (c.filter.find("iPagePer") == std::string::npos ? ",\"iPagePer\":10" : "") +
                       c.filter;
    std::string body = Do(http, "RecList", more);
    EXPECT_EQ(Ints(body, "irID"), c.irids) << c.filter << "\n" << body.substr(0, 300);
  }
  std::string all = Do(http, "RecList", Client(kListClient) + ",\"iPagePer\":10");
  EXPECT_EQ(Strs(all, "cLTInfo"), (std::vector<std::string>{"", "F1", "", "E3"}));
  EXPECT_EQ(Strs(all, "cLTPlace"), (std::vector<std::string>{"", "Q1", "", "P3"}));
  EXPECT_EQ(Strs(all, "cLTDate"), (std::vector<std::string>{"", "2026-11-06 12:00", "", "2026-11-07 10:00"}));
  EXPECT_EQ(Strs(all, "dDate"), (std::vector<std::string>{"2026-11-07", "2026-11-06", "2026-11-06", "2026-11-05"}));
  EXPECT_EQ(Strs(all, "dSysDate")[3], "2026-11-05 08:00:01");
  const std::string one = Utf8("RD一号");
  EXPECT_EQ(Strs(all, "cEmsKindi"), (std::vector<std::string>{one, one, "", one}));
  EXPECT_EQ(Strs(all, "cEmsKindci"), (std::vector<std::string>{"", "", one, one}));
  EXPECT_NE(all.find("\"irID\":910101,\"dDate\":\"2026-11-05\",\"dSysDate\":\"2026-11-05 08:00:01\",\"nItemType\":1,"
                     "\"fWeight\":0.000,\"iLong\":1,\"iWidth\":2,\"iHeight\":3,"),
            std::string::npos);
  EXPECT_NE(all.find("\"bAudit\":true,\"ifID\":55,"), std::string::npos);
  EXPECT_EQ(Do(http, "RecList", Client(kListClient) + ",\"iPagePer\":0,\"bqAudit\":\"false\""),
            "{\"ReturnValue\":1,\"icID\":910001,\"iPage\":0,\"iPagePer\":0,\"iTotalRec\":2,\"dqBDate\":\"\","
            "\"dqEDate\":\"\",\"cqDes\":\"\",\"cqEmsKind\":\"\",\"cqStateMask\":\"\",\"bqAudit\":\"false\",\"cqNum\":\"\","
            "\"cqMark\":\"\",\"cqReserve\":\"\"}");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, FeeListFiltersAndPages) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    std::string filter;
    std::vector<long long> ids;  // newest day first, then the higher id
  } cases[] = {
      {"", {910205, 910204, 910203, 910202, 910201}},
      {",\"cqTypeMask\":\"10\"", {910205, 910203, 910201}},
      {",\"cqTypeMask\":\"01\"", {910204, 910202}},
      {",\"cqTypeMask\":\"11\"", {910205, 910204, 910203, 910202, 910201}},
      {",\"cqTypeMask\":\"00\"", {910205, 910204, 910203, 910202, 910201}},
      {",\"cqPayWayMask\":\"10100\"", {910205, 910202, 910201}},  // pay ways 0 and 2
      {",\"cqPayWayMask\":\"11111\"", {910205, 910204, 910203, 910202, 910201}},
      {",\"cqPayWayMask\":\"00000\"", {910205, 910204, 910203, 910202, 910201}},
      {",\"cqPayWayMask\":\"000001\"", {}},  // only a pay way that does not exist
      {",\"cqMoney\":\"CNY\"", {910204, 910203, 910201}},
      {",\"cqMoney\":\"usd\"", {910202}},
      {",\"cqMoney\":\"CNYX\"", {910205, 910204, 910203, 910202, 910201}},  // not three characters: ignored
      {",\"cqInvoice\":\"INV_\"", {910201}},                                 // the _ is a character of its own
      {",\"cqInvoice\":\"INV\"", {910202, 910201}},
      {",\"dqBDate\":\"2026-11-03\",\"dqEDate\":\"2026-11-03\"", {910204, 910203}},
      {",\"iPage\":2,\"iPagePer\":2", {910203, 910202}},
      {",\"iPage\":3,\"iPagePer\":2", {910201}},
  };
  for (const Case& c : cases) {
    std::string more = Client(kListClient) + (c.filter.find("iPagePer") == std::string::npos ? ",\"iPagePer\":10" : "") +
                       c.filter;
    std::string body = Do(http, "FeeList", more);
    EXPECT_EQ(Ints(body, "ifID"), c.ids) << c.filter << "\n" << body.substr(0, 300);
    EXPECT_EQ(Ints(body, "iTotalRec"), std::vector<long long>{static_cast<long long>(
                                           c.filter.find("iPage\":") != std::string::npos ? 5 : c.ids.size())})
        << c.filter;
  }
  std::string all = Do(http, "FeeList", Client(kListClient) + ",\"iPagePer\":1");
  EXPECT_EQ(all,
            "{\"ReturnValue\":1,\"icID\":910001,\"iPage\":1,\"iPagePer\":1,\"iTotalRec\":5,\"RecList\":[{\"ifID\":910205,"
            "\"dDate\":\"2026-11-04\",\"dSysDate\":\"2026-11-04 10:00:00\",\"nType\":0,\"cMoney\":\"HKD\",\"fFee\":50.00,"
            "\"fFeer\":0.00,\"fChg\":0.00,\"nPayWay\":2,\"cInvoice\":\"\",\"cRefNo\":\"\",\"cDocNo\":\"\",\"cMark\":\"\","
            "\"cMemo\":\"\"}]}");
  // Nothing found is an empty list, not a bare code; the count alone has no filter echo.
  EXPECT_EQ(Do(http, "FeeList", Client(kEmptyClient) + ",\"iPagePer\":10"),
            "{\"ReturnValue\":1,\"icID\":910005,\"iPage\":1,\"iPagePer\":10,\"iTotalRec\":0,\"RecList\":[]}");
  EXPECT_EQ(Do(http, "FeeList", Client(kListClient) + ",\"iPage\":2"),
            "{\"ReturnValue\":1,\"icID\":910001,\"iPage\":2,\"iPagePer\":0,\"iTotalRec\":5}");
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, PreInputTotalPerReserve) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    std::string filter;
    std::map<std::string, long long> totals;  // by hand from the 25 rows
  } cases[] = {
      {"", {{"", 5}, {"R'Q", 8}, {"RES-A", 12}}},
      {",\"cqReserves\":[\"RES-A\",\"R'Q\"]", {{"R'Q", 8}, {"RES-A", 12}}},
      {",\"cqReserves\":[\"r'q\"]", {{"R'Q", 8}}},
      {",\"cqReserves\" : [ \"R\\x27Q\" , \"\" ]", {{"", 5}, {"R'Q", 8}}},  // escapes, blanks
      {",\"cqReserves\":[1,2]", {{"", 5}, {"R'Q", 8}, {"RES-A", 12}}},      // bare numbers: no filter
      {",\"cqReserves\":[\"x') OR 1=1 --\"]", {}},
      {",\"cqReserves\":[\"RES-A\\\") OR (\\\"1\\\"=\\\"1\"]", {}},
      {",\"dqBDate\":\"2026-11-20\"", {{"", 5}, {"R'Q", 1}}},
      {",\"dqBDate\":\"2026-11-01\",\"dqEDate\":\"2026-11-10\"", {{"RES-A", 10}}},
  };
  for (const Case& c : cases) {
    std::string body = Do(http, "PreInputTotal", Client(kListClient) + c.filter);
    if (c.totals.empty()) {
      EXPECT_EQ(body, Code(0)) << c.filter;
      continue;
    }
    std::vector<std::string> reserves = Strs(body, "cReserve");
    std::vector<long long> counts = Ints(body, "iTotal");
    ASSERT_EQ(reserves.size(), counts.size()) << body;
    std::map<std::string, long long> got;
    for (size_t i = 0; i < reserves.size(); ++i) got[reserves[i]] = counts[i];
    EXPECT_EQ(got, c.totals) << c.filter << "\n" << body;
    EXPECT_EQ(body.rfind("{\"ReturnValue\":" + std::to_string(c.totals.size()) + ",\"icID\":910001,\"TotalList\":[{", 0),
              0u)
        << body;
  }
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ClientReadTest, ClientAuthByEachKeyWithItsPasswordText) {
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    std::string keys;
    int icid;
    std::string password;  // before scrambling
  } cases[] = {
      {",\"icID\":\"910002\"", kMemberClient, "pw-plain"},
      {",\"icID\":910002,\"cWebAccount\":\"rdweb3\"", kMemberClient, "pw-plain"},  // the id comes first
      {",\"cWebAccount\":\"RDWEB2\"", kMemberClient, "pw-plain"},
      {",\"icID\":\"0\",\"cWeChat\":\"rdwx2\"", kMemberClient, "pw-plain"},
      {",\"cWebAccount\":\"\",\"cWeChat\":\"rdwx4\"", kNoLinkClient, "*No Link!"},
      {",\"icID\":910003", kBadLinkClient, "*Bad Link!"},
      {",\"icID\":910004", kNoLinkClient, "*No Link!"},
  };
  for (const Case& c : cases) {
    std::string body = Do(http, "ClientAuth", c.keys);
    EXPECT_EQ(Ints(body, "icID"), std::vector<long long>{c.icid}) << c.keys << body;
    EXPECT_EQ(Strs(body, "cPassword"), std::vector<std::string>{Scrambled(c.password)}) << c.keys << body;
  }
  std::string member = Do(http, "ClientAuth", ",\"icID\":910002");
  EXPECT_TRUE(StartsWith(member, "{\"ReturnValue\":1,\"icID\":910002,\"cWebAccount\":\"rdweb2\",\"cPassword\":\"" +
                                     Scrambled("pw-plain") +
                                     "\",\"fCredit\":1000.00,\"fBalance\":200.50,\"iNoAudit\":5,\"fNoAudit\":75.25,"
                                     "\"fABalance\":1125.25,\"cAccount\":\"\",\"cStation\":\"\",\"cUnitName\":\"" +
                                     Utf8("示例公司") + "\","))
      << member;
  EXPECT_NE(member.find("\"cAddr\":\"" + Utf8("深圳 \\x22南山\\x22 1号") + "\""), std::string::npos) << member;
  EXPECT_TRUE(EndsWith(member, "\"cWeChat\":\"rdwx2\",\"cBy1\":\"\",\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"by5\"}"))
      << member;

  // "ClientInfo" is the same handler behind the signed door.
  HttpReply stamp = http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}");
  long long ts = 0;
  ASSERT_EQ(std::sscanf(stamp.body.c_str(), "{\"ReturnValue\":%lld}", &ts), 1);
  std::string info = "{\"RequestName\":\"ClientInfo\",\"icID\":910002,\"TimeStamp\":" + std::to_string(ts) +
                     ",\"MD5\":\"" + twtest::RequestSignature(kMemberClient, ts, kMemberKey) + "\"}";
  EXPECT_EQ(http.Post("/cgi-bin/Tarnwick.dll?DoApp", info).body, member);

  // A member table that cannot be read shows as its password text, not as a failure.
  TestDb db;
  ASSERT_TRUE(db.Exec("ALTER TABLE quillon.member_main RENAME TO member_main_away")) << db.error();
  std::string away = Do(http, "ClientAuth", ",\"icID\":910002");
  ASSERT_TRUE(db.Exec("ALTER TABLE quillon.member_main_away RENAME TO member_main")) << db.error();
  EXPECT_EQ(Strs(away, "cPassword"), std::vector<std::string>{Scrambled("*No Quillon!")}) << away;
  EXPECT_EQ(host.Stop(), 0);
}

// Restores the kinds that take input, whatever the test did to them.
class InputKinds {
 public:
  explicit InputKinds(TestDb& db) : db_(db) {
    for (const auto& row : db_.Query("SELECT cemskind FROM dbo.ems_kind WHERE ninput = 1")) kinds_.push_back(row[0]);
  }
  ~InputKinds() { Restore(); }
  void Clear() { EXPECT_TRUE(db_.Exec("UPDATE dbo.ems_kind SET ninput = 0 WHERE ninput = 1")) << db_.error(); }
  void Restore() {
    for (const std::string& k : kinds_) db_.Exec("UPDATE dbo.ems_kind SET ninput = 1 WHERE cemskind = '" + k + "'");
  }
  size_t size() const { return kinds_.size(); }

 private:
  TestDb& db_;
  std::vector<std::string> kinds_;
};

TEST_F(ClientReadTest, EmsKindListRefillsTheAliasTableAndKeepsItWhenNothingIsFound) {
  TestDb db;
  InputKinds kinds(db);
  ASSERT_GE(kinds.size(), 2u);  // RDK0 and RDK1 at least
  kinds.Clear();
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  // Nothing takes input at start: the table is empty and the list says so.
  EXPECT_EQ(Do(http, "EmsKindList", ""), Code(0));
  EXPECT_NE(Do(http, "PreInputData", Client(kListClient) + ",\"iID\":910001").find("\"cEmsKindi\":\"\""),
            std::string::npos);

  kinds.Restore();
  for (const char* door : {"Do", "DoApp", "DoApi", "WeChat"}) {
    HttpReply r = http.Post(std::string("/cgi-bin/Tarnwick.dll?") + door, "{\"RequestName\":\"EmsKindList\"}");
    EXPECT_EQ(Ints(r.body, "ReturnValue"), std::vector<long long>{static_cast<long long>(kinds.size())}) << door;
    // Ordered by idocweighte: RDK0 (899) right before RDK1 (900).
    EXPECT_NE(r.body.find("{\"oName\":\"RDK0\",\"cName\":\"" + Utf8("RD零号") + "\"},{\"oName\":\"RDK1\",\"cName\":\"" +
                          Utf8("RD一号") + "\"}"),
              std::string::npos)
        << door << r.body;
    EXPECT_EQ(r.body.find("RDK2"), std::string::npos) << door;
  }
  // The input names now show in the queries.
  EXPECT_NE(Do(http, "PreInputData", Client(kListClient) + ",\"iID\":910001")
                .find("\"cEmsKindi\":\"" + Utf8("RD一号") + "\""),
            std::string::npos);

  // A query that finds nothing keeps the table loaded before.
  std::string before = Do(http, "EmsKindList", "");
  kinds.Clear();
  EXPECT_EQ(Do(http, "EmsKindList", ""), before);
  EXPECT_NE(Do(http, "PreInputData", Client(kListClient) + ",\"iID\":910001")
                .find("\"cEmsKindi\":\"" + Utf8("RD一号") + "\""),
            std::string::npos);
  kinds.Restore();
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
