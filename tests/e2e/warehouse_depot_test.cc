// The depot core over HTTP through DoPda: the depot checks every warehouse request makes, the
// warehouse client look-up ("pdawClientInfo") and the stock moves between depots ("pdawMoveInfo",
// "pdawMoveOut", "pdawMoveIn") with the rows they store.
//
// Rows use depots "WD1".."WD3" (and the inactive "WD9"), clients 937001-937199, goods 937001 and
// moves from 937001, which no other test uses.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/warehouse_support.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::warehouse::Code;
using twtest::warehouse::PdaSession;
using twtest::warehouse::Utf8;

void RemoveRows(TestDb& db) {
  for (const char* sql : {
           "DELETE FROM dbo.w_depot WHERE cdepot IN ('WD1', 'WD2', 'WD3', 'WD9')",
           "DELETE FROM dbo.w_client WHERE icid BETWEEN 937001 AND 937199",
           "DELETE FROM dbo.client_arc WHERE icid BETWEEN 937001 AND 937199",
           "DELETE FROM dbo.w_goods_define WHERE giid = 937001",
           "DELETE FROM dbo.w_move WHERE imid BETWEEN 937001 AND 938999",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error();
  }
}

class WarehouseDepotTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    twtest::warehouse::SeedPdaUser(db);
    for (const char* sql : {
             "INSERT INTO dbo.w_depot (cdepot, nstate) VALUES ('WD1', 0), ('WD2', 0), ('WD3', 0), ('WD9', 1)",
             "INSERT INTO dbo.client_arc (icid, caccount, cunitname) VALUES (937001, 'WACC1', '甲贸易公司'), "
             "(937002, 'WACC2', 'Beta Trading'), (937003, 'W_X%9', 'Under_score'), (937004, 'WACC4', 'Beta Away'), "
             "(937005, 'WB\\SL', 'Back\\slash')",
             "INSERT INTO dbo.w_client (icid, cdepot, cshelfb, cshelfe, clinkman, cphone, cmark, cmemo) VALUES "
             "(937001, 'WD1', 'A01', 'A09', '张三', '0755-1', 'vip', 'memo 1'), (937002, 'WD1', 'B01', 'B02', 'Li', "
             "'2', '', ''), (937003, 'WD1', '', '', '', '', '', ''), (937004, 'WD2', '', '', '', '', '', ''), "
             "(937005, 'WD1', '', '', '', '', '', '')",
             // 120 clients of one name in WD1 (beyond the 100 a reply lists).
             "INSERT INTO dbo.client_arc (icid, caccount, cunitname) SELECT 937050 + g, 'WBULK' || g, 'Bulk Firm' "
             "FROM generate_series(0, 119) AS g",
             "INSERT INTO dbo.w_client (icid, cdepot) SELECT 937050 + g, 'WD1' FROM generate_series(0, 119) AS g",
             "INSERT INTO dbo.w_goods_define (giid, icid, cgcode, cname, cunit) VALUES (937001, 937001, 'WG1', '货物一', "
             "'PCS')",
             "INSERT INTO dbo.w_move (imid, cnum, giid, iquantity, inormal, idefective, cdepotf, cdepotd, cinput, "
             "ddate, cmark, cmemo, cbatch, cout, dout, ix) VALUES "
             "(937001, 'WM001', 937001, 3, 3, 0, 'WD1', 'WD2', 'in1', '2026-01-10 08:00:00', '', '', 'B1', '', "
             "'1900-01-01', NULL), "
             "(937002, 'WM002', 937001, 2, 2, 0, 'WD1', 'WD2', 'in1', '2026-01-11 08:00:00', '', '', 'B2', 'outer', "
             "'2026-01-11 09:00:00', 7), "
             "(937003, 'WM003', 937001, 5, 4, 1, 'WD2', 'WD1', 'in1', '2026-01-12 09:30:00', 'm', 'memo', 'B3', "
             "'outer', '2026-01-12 10:00:00', NULL), "
             "(937004, 'WM004', 937001, 1, 1, 0, 'WD1', 'WD2', 'in1', '2025-12-31 23:59:59', '', '', 'B1', '', "
             "'1900-01-01', NULL), "
             "(937005, 'WM005', 937001, 1, 1, 0, 'WD2', 'WD1', 'in1', '2026-01-13 08:00:00', '', '', '', '', "
             "'1900-01-01', NULL), "
             "(937006, 'WM006', 937001, 1, 1, 0, 'WD1', 'WD2', 'in1', '2026-01-14 08:00:00', '', '', '', '', "
             "'1900-01-01', NULL)",
             // 505 moves leaving WD3.
             "INSERT INTO dbo.w_move (imid, cnum, giid, cdepotf, cdepotd, ddate) SELECT 938000 + g, 'WBULK' || g, "
             "937001, 'WD3', 'WD2', '2026-02-01' FROM generate_series(0, 504) AS g",
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
  }
  static void TearDownTestSuite() {
    if (twtest::DatabaseConfigured()) {
      TestDb db;
      RemoveRows(db);
    }
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    ASSERT_TRUE(pda_.Start()) << pda_.host().error();
  }

  PdaSession pda_;
};

TEST_F(WarehouseDepotTest, EveryRequestChecksTheDepotFirst) {
  struct Case {
    const char* why;
    std::string more, want;
  } cases[] = {
      {"no depot", ",\"cqAccount\":\"W\"", Code(-830)},
      {"empty depot", ",\"cDepot\":\"\",\"cqAccount\":\"W\"", Code(-830)},
      {"two characters", ",\"cDepot\":\"WD\",\"cqAccount\":\"W\"", Code(-831)},
      {"unknown", ",\"cDepot\":\"WD7\",\"cqAccount\":\"W\"", Code(-831)},
      {"inactive", ",\"cDepot\":\"WD9\",\"cqAccount\":\"W\"", Code(-831)},
      {"lower case", ",\"cDepot\":\"wd1\",\"cqAccount\":\"W\"", Code(-831)},
      {"a quote", ",\"cDepot\":\"W'1\",\"cqAccount\":\"W\"", Code(-831)},
      // Read with at most 3 characters: "WD1X" is WD1.
      {"cut to three", ",\"cDepot\":\"WD1X\",\"cqAccount\":\"WACC1\"", ""},
  };
  for (const Case& c : cases) {
    const std::string got = pda_.Call("pdawClientInfo", c.more);
    if (c.want.empty()) {
      EXPECT_EQ(ReplyInts(got, "icID"), std::vector<long long>{937001}) << c.why << "\n" << got;
    } else {
      EXPECT_EQ(got, c.want) << c.why;
    }
  }
}

TEST_F(WarehouseDepotTest, ClientInfoByAccountAndName) {
  const std::string one = pda_.Call("pdawClientInfo", ",\"cDepot\":\"WD1\",\"cqAccount\":\"ACC1\"");
  EXPECT_EQ(one, Utf8("{\"ReturnValue\":1,\"cDepot\":\"WD1\",\"cqAccount\":\"ACC1\",\"cqUnitName\":\"\",\"RecList\":[{"
                      "\"icID\":937001,\"cAccount\":\"WACC1\",\"cUnitName\":\"甲贸易公司\",\"cShelfb\":\"A01\","
                      "\"cShelfe\":\"A09\",\"cLink\":\"张三\",\"cPhone\":\"0755-1\",\"cMark\":\"vip\",\"cMemo\":\"memo "
                      "1\"}],\"iTotalRec\":1}"));

  struct Case {
    const char* why;
    std::string more;
    std::vector<long long> ids;  // empty: the reply is "0"
  } cases[] = {
      {"account fragment (WACC4 is of another depot)", ",\"cqAccount\":\"WACC\"", {937001, 937002}},
      {"name fragment, Chinese", ",\"cqUnitName\":\"" + Utf8("贸易") + "\"", {937001}},
      {"name fragment, any case in the depot only", ",\"cqUnitName\":\"Beta\"", {937002}},
      {"both must match", ",\"cqAccount\":\"WACC2\",\"cqUnitName\":\"Beta\"", {937002}},
      {"both, one fails", ",\"cqAccount\":\"WACC1\",\"cqUnitName\":\"Beta\"", {}},
      {"_ is a wildcard", ",\"cqAccount\":\"W_X\"", {937003}},
      {"% is a wildcard", ",\"cqAccount\":\"WACC%1\"", {937001}},
      {"a backslash is literal", ",\"cqAccount\":\"WB\\\\SL\"", {937005}},
      {"a trailing backslash", ",\"cqUnitName\":\"Back\\\\\"", {937005}},
      {"a quote", ",\"cqAccount\":\"W'ACC\"", {}},
      {"a statement in the text", ",\"cqAccount\":\"x'; DELETE FROM dbo.w_client; --\"", {}},
      {"other depot's client", ",\"cqAccount\":\"WACC4\"", {}},
  };
  for (const Case& c : cases) {
    const std::string got = pda_.Call("pdawClientInfo", ",\"cDepot\":\"WD1\"" + c.more);
    if (c.ids.empty()) {
      EXPECT_EQ(got, Code(0)) << c.why;
    } else {
      EXPECT_EQ(ReplyInts(got, "icID"), c.ids) << c.why << "\n" << got;
      EXPECT_EQ(ReplyInts(got, "iTotalRec"), std::vector<long long>{static_cast<long long>(c.ids.size())}) << c.why;
    }
  }
  EXPECT_EQ(TestDb().Scalar("SELECT COUNT(*) FROM dbo.w_client WHERE icid BETWEEN 937001 AND 937199"), "125");
}

TEST_F(WarehouseDepotTest, ClientInfoNeedsAFilterAndListsAtMost100) {
  EXPECT_EQ(pda_.Call("pdawClientInfo", ",\"cDepot\":\"WD1\""), Code(-12));
  // -12 comes before the depot is looked at.
  EXPECT_EQ(pda_.Call("pdawClientInfo", ",\"cDepot\":\"WD7\",\"cqAccount\":\"\",\"cqUnitName\":\"\""), Code(-12));
  const std::string bulk = pda_.Call("pdawClientInfo", ",\"cDepot\":\"WD1\",\"cqUnitName\":\"Bulk\"");
  const std::vector<long long> ids = ReplyInts(bulk, "icID");
  ASSERT_EQ(ids.size(), 100u);
  EXPECT_EQ(ids.front(), 937050);  // by client id
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  EXPECT_EQ(ReplyInts(bulk, "iTotalRec"), std::vector<long long>{100});
}

TEST_F(WarehouseDepotTest, MoveInfoListsTheDepotsMovesNewestFirst) {
  const std::string from = ",\"cDepot\":\"WD1\",\"dqDateB\":\"2026-01-01\"";
  const std::string one = pda_.Call("pdawMoveInfo", from + ",\"bIn\":true,\"cqNum\":\"WM003\"");
  EXPECT_EQ(one, Utf8("{\"ReturnValue\":1,\"cDepot\":\"WD1\",\"cqNum\":\"WM003\",\"cqBatch\":\"\",\"cqgCode\":\"\","
                      "\"dqDateB\":\"2026.01.01 00:00:00.0\",\"dqDateE\":\"\",\"bIn\":true,\"bNoInSign\":false,"
                      "\"bNoOutSign\":false,\"RecList\":[{\"imID\":937003,\"iX\":0,\"cDepotf\":\"WD2\",\"cDepotd\":"
                      "\"WD1\",\"cNum\":\"WM003\",\"iwGiid\":937001,\"cgName\":\"货物一\",\"cgCode\":\"WG1\","
                      "\"cUnit\":\"PCS\",\"iQuantity\":5,\"iNormal\":4,\"iDefictive\":1,\"dDate\":\"2026-01-12 "
                      "09:30:00\",\"cInput\":\"in1\",\"dOut\":\"2026-01-12 10:00:00\",\"cOut\":\"outer\",\"dIn\":"
                      "\"1900-01-01 00:00:00\",\"cIn\":\"\",\"cBatch\":\"B3\",\"cMark\":\"m\",\"cMemo\":\"memo\"}],"
                      "\"iTotalRec\":1}"));

  struct Case {
    const char* why;
    std::string more;
    std::vector<long long> ids;  // empty: "0"
  } cases[] = {
      {"leaving, from the start date", "", {937006, 937002, 937001}},
      {"arriving", ",\"bIn\":true", {937005, 937003}},
      {"number contains", ",\"cqNum\":\"M00\"", {937006, 937002, 937001}},
      {"number pattern is literal", ",\"cqNum\":\"M_0\"", {}},
      {"batch", ",\"cqBatch\":\"B1\"", {937001}},
      {"goods code", ",\"cqgCode\":\"WG1\"", {937006, 937002, 937001}},
      {"goods code unknown", ",\"cqgCode\":\"WG'1\"", {}},
      {"not signed out", ",\"bNoOutSign\":true", {937006, 937001}},
      {"not signed in", ",\"bIn\":true,\"bNoInSign\":true", {937005, 937003}},
      {"end date applied", ",\"dqDateE\":\"2026-01-11\"", {937002, 937001}},
  };
  for (const Case& c : cases) {
    const std::string got = pda_.Call("pdawMoveInfo", from + c.more);
    if (c.ids.empty()) {
      EXPECT_EQ(got, Code(0)) << c.why;
    } else {
      EXPECT_EQ(ReplyInts(got, "imID"), c.ids) << c.why << "\n" << got;
    }
  }
  // The end date is echoed as the end of its day.
  EXPECT_EQ(ReplyTexts(pda_.Call("pdawMoveInfo", from + ",\"dqDateE\":\"2026-01-11\""), "dqDateE"),
            std::vector<std::string>{"2026.01.11 23:59:59.998"});
  EXPECT_EQ(ReplyInts(pda_.Call("pdawMoveInfo", from + ",\"cqNum\":\"WM002\""), "iX"), std::vector<long long>{7});
}

TEST_F(WarehouseDepotTest, MoveInfoNeedsAStartDateAndListsAtMost500) {
  for (const char* date : {"", "garbage", "2026-13-45"}) {
    EXPECT_EQ(pda_.Call("pdawMoveInfo", std::string(",\"cDepot\":\"WD1\",\"dqDateB\":\"") + date + "\""), Code(-12))
        << date;
  }
  const std::string bulk = pda_.Call("pdawMoveInfo", ",\"cDepot\":\"WD3\",\"dqDateB\":\"2026-01-01\"");
  const std::vector<long long> ids = ReplyInts(bulk, "imID");
  ASSERT_EQ(ids.size(), 500u);
  EXPECT_EQ(ids.front(), 938504);
  EXPECT_EQ(ids.back(), 938005);
  EXPECT_EQ(ReplyInts(bulk, "iTotalRec"), std::vector<long long>{500});
}

TEST_F(WarehouseDepotTest, AMoveIsSignedOutThenInOnceEach) {
  TestDb db;
  auto stored = [&](const char* column) {
    return db.Scalar(std::string("SELECT ") + column + " FROM dbo.w_move WHERE imid = 937001");
  };
  const std::string signedText = Utf8("已经签名，未操作。");
  const std::string systemText = Utf8("系统错误。");

  // Signing in before signing out is refused and changes nothing.
  std::string got = pda_.Call("pdawMoveIn", ",\"cDepot\":\"WD2\",\"imID\":937001");
  EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{-14}) << got;
  EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{systemText});
  EXPECT_EQ(stored("cin"), "");

  // Out at the source, by number; the reply shows the move as read before.
  got = pda_.Call("pdawMoveOut", ",\"cDepot\":\"WD1\",\"cNum\":\"WM001\"");
  EXPECT_EQ(got, Utf8("{\"ReturnValue\":1,\"cDepotf\":\"WD1\",\"cDepotd\":\"WD2\",\"cNum\":\"WM001\",\"iwGiid\":937001,"
                      "\"cgName\":\"货物一\",\"cgCode\":\"WG1\",\"cUnit\":\"PCS\",\"iQuantity\":3,\"iNormal\":3,"
                      "\"iDefictive\":0,\"dDate\":\"2026-01-10 08:00:00\",\"cInput\":\"in1\",\"dOut\":\"1900-01-01 "
                      "00:00:00\",\"cOut\":\"\",\"dIn\":\"1900-01-01 00:00:00\",\"cIn\":\"\",\"cBatch\":\"B1\","
                      "\"cMark\":\"\",\"cMemo\":\"\"}"));
  EXPECT_EQ(stored("cout"), twtest::warehouse::kOperator);
  EXPECT_EQ(stored("dout >= '2000-01-01'"), "1");

  // Out again: already signed, nothing changes.
  const std::string dout = stored("dout");
  got = pda_.Call("pdawMoveOut", ",\"cDepot\":\"WD1\",\"imID\":937001");
  EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{-14});
  EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{signedText});
  EXPECT_EQ(ReplyTexts(got, "cOut"), std::vector<std::string>{twtest::warehouse::kOperator});
  EXPECT_EQ(stored("dout"), dout);

  // The source cannot sign it in, the destination cannot sign it out.
  EXPECT_EQ(pda_.Call("pdawMoveIn", ",\"cDepot\":\"WD1\",\"imID\":937001"), Code(0));
  EXPECT_EQ(pda_.Call("pdawMoveOut", ",\"cDepot\":\"WD2\",\"imID\":937001"), Code(0));

  got = pda_.Call("pdawMoveIn", ",\"cDepot\":\"WD2\",\"imID\":937001");
  EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{1}) << got;
  EXPECT_EQ(stored("cin"), twtest::warehouse::kOperator);
  got = pda_.Call("pdawMoveIn", ",\"cDepot\":\"WD2\",\"cNum\":\"WM001\"");
  EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{signedText});
}

TEST_F(WarehouseDepotTest, SignRefusals) {
  struct Case {
    const char* why;
    const char* name;
    std::string more, want;
  } cases[] = {
      {"no depot", "pdawMoveOut", ",\"imID\":937004", Code(-830)},
      {"no move named", "pdawMoveOut", ",\"cDepot\":\"WD1\"", Code(-12)},
      {"id 0 and no number", "pdawMoveIn", ",\"cDepot\":\"WD1\",\"imID\":0,\"cNum\":\"\"", Code(-12)},
      {"unknown depot", "pdawMoveOut", ",\"cDepot\":\"WD7\",\"imID\":937004", Code(-831)},
      {"unknown number", "pdawMoveOut", ",\"cDepot\":\"WD1\",\"cNum\":\"WM999\"", Code(0)},
      {"a quote in the number", "pdawMoveOut", ",\"cDepot\":\"WD1\",\"cNum\":\"WM'004\"", Code(0)},
      {"a statement in the number", "pdawMoveOut", ",\"cDepot\":\"WD1\",\"cNum\":\"x' OR '1'='1\"", Code(0)},
  };
  for (const Case& c : cases) EXPECT_EQ(pda_.Call(c.name, c.more), c.want) << c.why;
  EXPECT_EQ(TestDb().Scalar("SELECT COUNT(*) FROM dbo.w_move WHERE imid BETWEEN 937001 AND 937006 AND cout = '" +
                            std::string(twtest::warehouse::kOperator) + "' AND imid <> 937001"),
            "0");
}

TEST_F(WarehouseDepotTest, TwoPdasSigningOneMoveSignItOnce) {
  constexpr int kThreads = 8;
  const std::string body = pda_.Body("pdawMoveOut", ",\"cDepot\":\"WD1\",\"imID\":937006");
  std::vector<std::string> replies(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      twtest::HttpClient http(pda_.port());
      replies[i] = http.Post("/cgi-bin/Tarnwick.dll?DoPda", body).body;
    });
  }
  for (std::thread& t : threads) t.join();
  int signedNow = 0, refused = 0;
  for (const std::string& r : replies) {
    const std::vector<long long> rv = ReplyInts(r, "ReturnValue");
    if (rv == std::vector<long long>{1}) ++signedNow;
    if (rv == std::vector<long long>{-14} &&
        ReplyTexts(r, "cMess") == std::vector<std::string>{Utf8("已经签名，未操作。")}) {
      ++refused;
    }
  }
  EXPECT_EQ(signedNow, 1);
  EXPECT_EQ(refused, kThreads - 1);
  EXPECT_EQ(TestDb().Scalar("SELECT cout FROM dbo.w_move WHERE imid = 937006"), twtest::warehouse::kOperator);
}

}  // namespace
