// Goods in over HTTP through DoPda: notices ("pdawInAdd", "pdawInQuery"), pictures ("pdawInPicAdd",
// "pdawInPicQuery"), the pick, check and confirm steps with the stock counter after each step, the
// handover check, concurrent confirms, and the one-step goods in ("pdawInConfirmEx").
//
// Rows use depots "WI1" and "WI2", client 934001 (account "WIACC"), goods 934001-934009 and codes
// beginning "WI", which no other test uses.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/warehouse_support.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/escape.h"

namespace {

using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::warehouse::Code;
using twtest::warehouse::PdaSession;
using twtest::warehouse::Utf8;

void RemoveRows(TestDb& db) {
  for (const char* sql : {
           "DELETE FROM dbo.w_depot WHERE cdepot IN ('WI1', 'WI2')",
           "DELETE FROM dbo.w_operate_define WHERE cdepot IN ('WI1', 'WI2')",
           "DELETE FROM dbo.client_arc WHERE icid = 934001",
           "DELETE FROM dbo.w_operate_log WHERE irefid IN (SELECT iid FROM dbo.w_g_in WHERE cdepot IN ('WI1', 'WI2'))",
           "DELETE FROM dbo.w_g_in_pic WHERE iid IN (SELECT iid FROM dbo.w_g_in WHERE cdepot IN ('WI1', 'WI2'))",
           "DELETE FROM dbo.w_g_in WHERE cdepot IN ('WI1', 'WI2')",
           "DELETE FROM dbo.w_goods_depot WHERE cdepot IN ('WI1', 'WI2')",
           "DELETE FROM dbo.w_goods_define WHERE icid = 934001",
           "DELETE FROM dbo.w_depot_role WHERE cdepot IN ('WI1', 'WI2')",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error();
  }
}

class WarehouseGoodsInTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    twtest::warehouse::SeedPdaUser(db);
    for (const char* sql : {
             "INSERT INTO dbo.sys_genno (iid, cprefix, iwidth, inext) VALUES (8831, 'RN', 8, 1) ON CONFLICT DO NOTHING",
             "INSERT INTO dbo.w_depot (cdepot) VALUES ('WI1'), ('WI2')",
             // Operations 2, 3 and 5 (not 4) of WI1.
             "INSERT INTO dbo.w_operate_define (cdepot, ntype, iseconds, fwage) VALUES ('WI1', 2, 10, 0.5), "
             "('WI1', 3, 20, 1.25), ('WI1', 5, 5, 0.1)",
             "INSERT INTO dbo.client_arc (icid, caccount) VALUES (934001, 'WIACC')",
             "INSERT INTO dbo.w_goods_define (giid, icid, cgcode, cccode, cname, cunit, fweight, ntype) VALUES "
             "(934001, 934001, 'WIG1', 'C1', 'In goods', 'PCS', 1.5, 0), (934002, 934001, 'WIG2', 'C2', 'Serial', "
             "'PCS', 0, 1), (934003, 934001, 'WIG3', 'C3', 'Retired', '', 0, 0), (934004, 934001, 'WIG4', 'C4', "
             "'Nowhere', '', 0, 0), (934005, 934001, 'WIG5', 'C5', 'Listed', 'BOX', 0, 0)",
             "INSERT INTO dbo.w_goods_depot (iid, giid, icid, cdepot, cshelfb, nstoryb, nstorye, wcolumnb, wcolumne, "
             "fqcin, flabel, farrange, cmoney, wfreedays, cunit, nstate) VALUES "
             "(934001, 934001, 934001, 'WI1', 'A01', 1, 3, 2, 4, 1.5, 0.3, 0.7, 'AUD', 7, 'PCS', 0), "
             "(934002, 934001, 934001, 'WI2', 'B01', 1, 1, 1, 1, 0, 0, 0, '', 0, '', 0), "
             "(934003, 934002, 934001, 'WI1', 'S01', 1, 1, 1, 1, 0, 0, 0, '', 0, '', 0), "
             "(934004, 934003, 934001, 'WI1', 'R01', 1, 1, 1, 1, 0, 0, 0, '', 0, '', 1), "
             "(934005, 934005, 934001, 'WI1', 'L01', 1, 1, 1, 1, 0, 0, 0, '', 0, 'BOX', 0), "
             "(934006, 934005, 934001, 'WI2', 'L01', 1, 1, 1, 1, 0, 0, 0, '', 0, 'BOX', 0)",
             "INSERT INTO dbo.w_depot_role (cname, cdepot, nrights, cpassword) VALUES ('Keeper', 'WI1', 1, 'Secret'), "
             "('NoRight', 'WI1', 6, 'pw'), ('Other', 'WI2', 7, 'pw')",
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

  // A notice of `quantity` pieces of WIG1 in WI1 under the number; its id.
  long long Notice(const std::string& number, int quantity, const std::string& goods = "WIG1") {
    const std::string got = pda_.Call("pdawInAdd", ",\"cDepot\":\"WI1\",\"cqgCode\":\"" + goods + "\",\"iQuantity\":" +
                                                       std::to_string(quantity) + ",\"cRNo\":\"" + number + "\"");
    const std::vector<long long> id = ReplyInts(got, "iID");
    return id.size() == 1 ? id[0] : 0;
  }
  static std::string Stock(int placement = 934001) {
    return TestDb().Scalar("SELECT iin FROM dbo.w_goods_depot WHERE iid = " + std::to_string(placement));
  }
  static std::string State(long long iid) {
    return TestDb().Scalar("SELECT nstate FROM dbo.w_g_in WHERE iid = " + std::to_string(iid));
  }

  PdaSession pda_;
};

TEST_F(WarehouseGoodsInTest, NoticesAndTheirDefaults) {
  TestDb db;
  const std::string got = pda_.Call("pdawInAdd", ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG1\",\"iQuantity\":5,\"cRNo\":"
                                                 "\"WIN001\",\"nType\":5,\"fQCIn\":0,\"bPick\":false,\"fPick\":9,"
                                                 "\"cShelf\":\"X9\",\"dETA\":\"2026-12-24 10:30\",\"cMemo\":\"a'b\"");
  const std::vector<long long> id = ReplyInts(got, "iID");
  ASSERT_EQ(id.size(), 1u) << got;
  EXPECT_EQ(got, "{\"ReturnValue\":" + std::to_string(id[0]) + ",\"cDepot\":\"WI1\",\"iID\":" + std::to_string(id[0]) +
                     ",\"iQuantity\":5,\"cShelf\":\"X9\",\"cRNo\":\"WIN001\",\"icID\":934001,\"iwGiid\":934001,"
                     "\"cgName\":\"In goods\",\"cgCode\":\"WIG1\",\"ccCode\":\"C1\",\"cUnit\":\"PCS\",\"fWeight\":1.500,"
                     "\"iLong\":0,\"iWidth\":0,\"iHeight\":0,\"cShelf_d\":\"A01\",\"iStoryB\":1,\"iStoryE\":3,"
                     "\"iColumnB\":2,\"iColumnE\":4}");
  // Kind 5 is 0; no pick fee without pick; 0 stays 0; a fee left out takes the placement's; the batch
  // of goods named by code ends in client 0.
  const auto rows = db.Query("SELECT ntype, npick, fpick, fqcin, flabel, farrange, nstate, iquantity, cshelf, "
                             "cshelftext, deta, cmemo, cinput, right(cbatch, 6), length(cbatch) FROM dbo.w_g_in WHERE "
                             "iid = " + std::to_string(id[0]));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"0", "0", "0.00", "0.00", "0.30", "0.70", "10", "5", "X9",
                                               "A01|2列|1层",
                                               "2026-12-24 10:30:00", "a'b", twtest::warehouse::kOperator, "000000",
                                               "14"}));

  // By account and client code, without a number: one is drawn, the batch carries the client.
  const std::string drawn =
      pda_.Call("pdawInAdd", ",\"cDepot\":\"WI1\",\"cqcCode\":\"C1\",\"cqAccount\":\"WIACC\",\"iQuantity\":1,"
                             "\"bPick\":true,\"fPick\":2.5");
  const std::vector<std::string> number = ReplyTexts(drawn, "cRNo");
  ASSERT_EQ(number.size(), 1u) << drawn;
  EXPECT_EQ(number[0].rfind("RN", 0), 0u) << number[0];
  EXPECT_EQ(db.Scalar("SELECT right(cbatch, 6) || ' ' || fpick FROM dbo.w_g_in WHERE crno = '" + number[0] + "'"),
            "934001 2.50");

  struct Case {
    const char* why;
    std::string more, want;
    const char* mess;
  } cases[] = {
      {"no depot", ",\"cqgCode\":\"WIG1\",\"iQuantity\":1", Code(-830), nullptr},
      {"no quantity", ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG1\"", Code(-13), nullptr},
      {"no goods", ",\"cDepot\":\"WI1\",\"iQuantity\":1", Code(-12), nullptr},
      {"client code of an unknown account", ",\"cDepot\":\"WI1\",\"cqcCode\":\"C1\",\"cqAccount\":\"NOBODY\","
       "\"iQuantity\":1", Code(-12), nullptr},
      {"unknown depot", ",\"cDepot\":\"WI7\",\"cqgCode\":\"WIG1\",\"iQuantity\":1", Code(-831), nullptr},
      {"goods not placed", ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG4\",\"iQuantity\":1", Code(-2), nullptr},
      {"unknown goods", ",\"cDepot\":\"WI1\",\"cqgCode\":\"WI'G\",\"iQuantity\":1", Code(-2), nullptr},
      {"placement not active", ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG3\",\"iQuantity\":1", Code(-15), nullptr},
      {"number used in the depot", ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG1\",\"iQuantity\":1,\"cRNo\":\"WIN001\"", "",
       "系统错误。"},
  };
  for (const Case& c : cases) {
    const std::string r = pda_.Call("pdawInAdd", c.more);
    if (c.mess != nullptr) {
      EXPECT_EQ(ReplyInts(r, "ReturnValue"), std::vector<long long>{-14}) << c.why << "\n" << r;
      EXPECT_EQ(ReplyTexts(r, "cMess"), std::vector<std::string>{Utf8(c.mess)}) << c.why;
    } else {
      EXPECT_EQ(r, c.want) << c.why;
    }
  }
  // The same number in another depot is another notice.
  EXPECT_GT(ReplyInts(pda_.Call("pdawInAdd", ",\"cDepot\":\"WI2\",\"cqgCode\":\"WIG1\",\"iQuantity\":1,\"cRNo\":"
                                             "\"WIN001\""),
                      "ReturnValue").at(0),
            0);
}

TEST_F(WarehouseGoodsInTest, ExpectedArrivalIsStoredAsNormalised) {
  // A text too short to be a date goes to the procedure as the date alone ("1900.01.01"), a year out
  // of range as "1900.01.01 00:00:00": both are stored as the same "not given" time. "dETA" is read
  // with at most 30 bytes, so a longer text is cut before it is normalised.
  TestDb db;
  struct Case {
    const char* why;
    const char* eta;  // nullptr: the key left out
    const char* stored;
  } cases[] = {
      {"left out", nullptr, "1900-01-01 00:00:00"},
      {"shorter than 8 bytes", "2026-12", "1900-01-01 00:00:00"},
      {"a year before 2000", "1999-12-24 10:30", "1900-01-01 00:00:00"},
      {"a year after 9999", "12026-12-24 10:30", "1900-01-01 00:00:00"},
      {"longer than 30 bytes: cut first", "2026-12-24 10:30:15 and a note on the driver", "2026-12-24 10:30:15"},
      {"a date and time", "2026.1.5 8:05", "2026-01-05 08:05:00"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string number = "WIETA" + std::to_string(++n);
    std::string more = ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG1\",\"iQuantity\":1,\"cRNo\":\"" + number + "\"";
    if (c.eta != nullptr) more += ",\"dETA\":\"" + std::string(c.eta) + "\"";
    const std::string got = pda_.Call("pdawInAdd", more);
    const std::vector<long long> id = ReplyInts(got, "iID");
    ASSERT_EQ(id.size(), 1u) << c.why << "\n" << got;
    EXPECT_EQ(db.Scalar("SELECT deta FROM dbo.w_g_in WHERE iid = " + std::to_string(id[0])), c.stored) << c.why;
  }
}

TEST_F(WarehouseGoodsInTest, PickCheckConfirmInOrderWithTheStockCounter) {
  const long long iid = Notice("WIN010", 5);
  ASSERT_GT(iid, 0);
  const std::string base = ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN010\"";
  const std::string good = ",\"iNormal\":4,\"iDefective\":1";
  const std::string keeper = ",\"cConfirm\":\"Keeper\",\"cPassword\":\"Secret\"";
  struct Step {
    const char* why;
    const char* name;
    std::string more;
    int want;          // ReturnValue
    const char* mess;  // for -14
    const char* state;
    const char* stock;
  } steps[] = {
      {"confirm before the counts are stored", "pdawInConfirm", good + keeper, -16, nullptr, "10", "0"},
      {"pick", "pdawInPick", good, 1, nullptr, "20", "0"},
      {"check", "pdawInCheck", good, 1, nullptr, "30", "0"},
      {"pick after check", "pdawInPick", good, -14, "记录完成质检，不能再确认取货。", "30", "0"},
      {"confirm other counts", "pdawInConfirm", ",\"iNormal\":3,\"iDefective\":2" + keeper, -16, nullptr, "30", "0"},
      {"password in another case", "pdawInConfirm", good + ",\"cConfirm\":\"Keeper\",\"cPassword\":\"secret\"", -14,
       "交接人密码错误,请注意大小写!", "30", "0"},
      {"no goods-in handover right", "pdawInConfirm", good + ",\"cConfirm\":\"NoRight\",\"cPassword\":\"pw\"", -14,
       "交接人没有入库交接授权。", "30", "0"},
      {"a role in another depot only", "pdawInConfirm", good + ",\"cConfirm\":\"Other\",\"cPassword\":\"pw\"", -14,
       "交接人不是仓库中的角色。", "30", "0"},
      {"confirm", "pdawInConfirm", good + keeper, 1, nullptr, "40", "5"},
      {"confirm again", "pdawInConfirm", good + keeper, -14, "记录完成入库，不能再确认质检。", "40", "5"},
      {"check after confirm", "pdawInCheck", good, -14, "记录完成入库，不能再确认质检。", "40", "5"},
      {"pick after confirm", "pdawInPick", good, -14, "记录完成入库，不能再确认取货。", "40", "5"},
  };
  for (const Step& s : steps) {
    const std::string got = pda_.Call(s.name, base + s.more);
    EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{s.want}) << s.why << "\n" << got;
    if (s.mess != nullptr) {
      EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{Utf8(s.mess)}) << s.why;
    }
    EXPECT_EQ(State(iid), s.state) << s.why;
    EXPECT_EQ(Stock(), s.stock) << s.why;
  }

  // The fee items: seconds and wage times the quantity; operation 4 is not defined in WI1.
  EXPECT_EQ(TestDb().Query("SELECT cname, iseconds, fwage, cmoney FROM dbo.w_operate_log WHERE ckind = 'in' AND "
                           "irefid = " + std::to_string(iid) + " ORDER BY ilogid"),
            (std::vector<std::vector<std::string>>{{"入库:审核", "50", "2.50", "AUD"},
                                                   {"入库:提货", "100", "6.25", "AUD"},
                                                   {"入库:质检", "0", "0.00", "AUD"},
                                                   {"入库:确认", "25", "0.50", "AUD"}}));
  EXPECT_EQ(TestDb().Scalar("SELECT cshelf || ' ' || cconfirm || ' ' || (din >= '2000-01-01') FROM dbo.w_g_in WHERE "
                            "iid = " + std::to_string(iid)),
            "A01 Keeper true");
  // Handover passwords never reach the request log.
  const std::string log = pda_.host().LogFile("TARNWICK");
  EXPECT_NE(log.find("pdawInConfirm"), std::string::npos);
  EXPECT_EQ(log.find("Secret"), std::string::npos);
  EXPECT_NE(log.find("\"cPassword\":\"***\""), std::string::npos);
}

TEST_F(WarehouseGoodsInTest, StepReplies) {
  const long long iid = Notice("WIN030", 3);
  ASSERT_GT(iid, 0);
  ASSERT_TRUE(TestDb().Exec("UPDATE dbo.w_g_in SET fpick = 1.25, cmark = 'mk' WHERE iid = " + std::to_string(iid)));
  const std::string id = std::to_string(iid);
  const std::string goods = ",\"icID\":934001,\"iwGiid\":934001,\"cgName\":\"In goods\",\"cgNameE\":\"\",\"cgCode\":"
                            "\"WIG1\",\"cUnit\":\"PCS\",\"cColor\":\"\",\"cSize\":\"\",\"cBrand\":\"\",\"cModel\":\"\","
                            "\"fWeight\":1.500,\"iLong\":0,\"iWidth\":0,\"iHeight\":0}";
  EXPECT_EQ(pda_.Call("pdawInPick", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iNormal\":3"),
            "{\"ReturnValue\":1,\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iID\":" + id +
                ",\"fPick\":1.25,\"iQuantity\":3,\"iNormal\":3,\"iDefective\":0,\"cMark\":\"mk\",\"cMemo\":\"\"" + goods);
  EXPECT_EQ(pda_.Call("pdawInCheck", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iNormal\":2,\"iDefective\":1"),
            "{\"ReturnValue\":1,\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iID\":" + id +
                ",\"fQCIn\":1.50,\"iQuantity\":3,\"iNormal\":2,\"iDefective\":1,\"cMark\":\"mk\",\"cMemo\":\"\"" + goods);
  EXPECT_EQ(pda_.Call("pdawInConfirm", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iNormal\":2,\"iDefective\":0"),
            "{\"ReturnValue\":-16,\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iID\":" + id +
                ",\"nState\":30,\"iQuantity\":3,\"iNormal\":2,\"iDefective\":1}");
  EXPECT_EQ(pda_.Call("pdawInConfirm", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iNormal\":2,\"iDefective\":1,"
                                       "\"cShelf\":\"Z9\",\"cConfirm\":\"Keeper\",\"cPassword\":\"Secret\""),
            "{\"ReturnValue\":1,\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"cShelf\":\"Z9\",\"cConfirm\":\"Keeper\","
            "\"iID\":" + id + ",\"iQuantity\":3,\"iNormal\":2,\"iDefective\":1,\"cMark\":\"mk\",\"cMemo\":\"\"" + goods);

  ASSERT_TRUE(TestDb().Exec("INSERT INTO dbo.w_g_in (crno, cdepot, giid, icid, nstate) VALUES ('WIN031', 'WI1', "
                            "934001, 934001, 5)"));
  struct Case {
    const char* why;
    const char* name;
    std::string more, want;
  } cases[] = {
      {"no depot", "pdawInPick", ",\"cRNo\":\"WIN030\",\"iNormal\":1", Code(-830)},
      {"no number", "pdawInPick", ",\"cDepot\":\"WI1\",\"iNormal\":1", Code(-12)},
      {"no pieces", "pdawInCheck", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iNormal\":0,\"iDefective\":0", Code(-13)},
      {"counts that add up to nothing", "pdawInConfirm", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iNormal\":2,"
       "\"iDefective\":-2", Code(-13)},
      {"unknown depot", "pdawInPick", ",\"cDepot\":\"WI7\",\"cRNo\":\"WIN030\",\"iNormal\":1", Code(-831)},
      {"unknown number", "pdawInPick", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN999\",\"iNormal\":1", Code(0)},
      {"a quote in the number", "pdawInCheck", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN'030\",\"iNormal\":1", Code(0)},
      {"another depot's notice", "pdawInConfirm", ",\"cDepot\":\"WI2\",\"cRNo\":\"WIN030\",\"iNormal\":2,"
       "\"iDefective\":1", Code(0)},
      {"not ready", "pdawInPick", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN031\",\"iNormal\":1", Code(-15)},
  };
  for (const Case& c : cases) EXPECT_EQ(pda_.Call(c.name, c.more), c.want) << c.why;
  // Negative counts that still add up to a quantity reach the procedure, which refuses them.
  const std::string negative = pda_.Call("pdawInCheck", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN030\",\"iNormal\":3,"
                                                        "\"iDefective\":-1");
  EXPECT_EQ(ReplyInts(negative, "ReturnValue"), std::vector<long long>{-14}) << negative;
}

TEST_F(WarehouseGoodsInTest, TwoPdasConfirmingOneNoticeStoreItOnce) {
  const long long iid = Notice("WIN020", 2);
  ASSERT_GT(iid, 0);
  ASSERT_EQ(ReplyInts(pda_.Call("pdawInCheck", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN020\",\"iNormal\":2"), "ReturnValue"),
            std::vector<long long>{1});
  const long long before = std::stoll(Stock());
  constexpr int kThreads = 8;
  const std::string body = pda_.Body("pdawInConfirm", ",\"cDepot\":\"WI1\",\"cRNo\":\"WIN020\",\"iNormal\":2,"
                                                      "\"cConfirm\":\"Keeper\",\"cPassword\":\"Secret\"");
  std::vector<std::string> replies(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      twtest::HttpClient http(pda_.port());
      replies[i] = http.Post("/cgi-bin/Tarnwick.dll?DoPda", body).body;
    });
  }
  for (std::thread& t : threads) t.join();
  int stored = 0, refused = 0;
  for (const std::string& r : replies) {
    const std::vector<long long> rv = ReplyInts(r, "ReturnValue");
    stored += rv == std::vector<long long>{1} ? 1 : 0;
    refused += rv == std::vector<long long>{-14} ? 1 : 0;
  }
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(refused, kThreads - 1);
  EXPECT_EQ(std::stoll(Stock()), before + 2);
  EXPECT_EQ(TestDb().Scalar("SELECT COUNT(*) FROM dbo.w_operate_log WHERE ckind = 'in' AND irefid = " +
                            std::to_string(iid)),
            "4");
}

TEST_F(WarehouseGoodsInTest, PicturesComeBackByteExact) {
  const long long iid = Notice("WIN040", 1);
  ASSERT_GT(iid, 0);
  std::mt19937 rng(7);
  std::string picture(300 * 1024, '\0');
  for (char& c : picture) c = static_cast<char>(rng());
  auto base64 = [](const std::string& bytes) {
    std::string out(bytes.size() / 3 * 4 + 8, '\0');
    size_t needed = 0;
    EXPECT_EQ(tw::Base64Encode(bytes.data(), bytes.size(), out.data(), out.size(), &needed, 0), 0);
    out.resize(needed);
    return out;
  };
  const std::string text = base64(picture);
  const std::string added = pda_.Call("pdawInPicAdd", ",\"iID\":" + std::to_string(iid) +
                                                          ",\"cFileName\":\"dock.photo.jpeg\",\"vPic\":\"" + text + "\"");
  const std::vector<long long> pic = ReplyInts(added, "iipID");
  ASSERT_EQ(pic.size(), 1u) << added;
  EXPECT_EQ(added, "{\"ReturnValue\":" + std::to_string(pic[0]) + ",\"iID\":" + std::to_string(iid) + ",\"iipID\":" +
                       std::to_string(pic[0]) + ",\"iLen\":307200,\"cFileName\":\"dock.photo.jpeg\"}");
  const std::string back = pda_.Call("pdawInPicQuery", ",\"iipID\":" + std::to_string(pic[0]));
  EXPECT_EQ(back, "{\"ReturnValue\":" + std::to_string(pic[0]) + ",\"iipID\":" + std::to_string(pic[0]) +
                      ",\"cExt\":\"jpeg\",\"vPic\":\"" + text + "\"}");
  EXPECT_EQ(TestDb().Scalar("SELECT ilen || ' ' || length(vdata) FROM dbo.w_g_in_pic WHERE iipid = " +
                            std::to_string(pic[0])),
            "307200 307200");

  // A second picture, named by number; blanks in the text stand for '+'.
  std::string small(1000, 'A');
  small[10] = ' ';
  const std::string second =
      pda_.Call("pdawInPicAdd", ",\"cRNo\":\"WIN040\",\"cFileName\":\"a.png\",\"vPic\":\"" + small + "\"");
  const std::vector<long long> pic2 = ReplyInts(second, "iipID");
  ASSERT_EQ(pic2.size(), 1u) << second;
  EXPECT_EQ(ReplyInts(second, "iLen"), std::vector<long long>{750});
  const std::string list = "{\"ReturnValue\":1,\"iipID_List\":[" + std::to_string(pic[0]) + "," +
                           std::to_string(pic2[0]) + "],\"iTotalRec\":2}";
  EXPECT_EQ(pda_.Call("pdawInPicQuery", ",\"iID\":" + std::to_string(iid)), list);
  EXPECT_EQ(pda_.Call("pdawInPicQuery", ",\"cRNo\":\"WIN040\""), list);

  const std::string name = ",\"iID\":" + std::to_string(iid) + ",\"cFileName\":\"a.jpg\"";
  struct Case {
    const char* why;
    std::string more;
    int want;
  } cases[] = {
      {"no notice", ",\"cFileName\":\"a.jpg\",\"vPic\":\"" + small + "\"", -11},
      {"no dot", ",\"iID\":1,\"cFileName\":\"ajpg\",\"vPic\":\"" + small + "\"", -12},
      {"a five-letter extension", ",\"iID\":1,\"cFileName\":\"a.jpegx\",\"vPic\":\"" + small + "\"", -12},
      {"a two-letter extension", ",\"iID\":1,\"cFileName\":\"a.jp\",\"vPic\":\"" + small + "\"", -12},
      {"no picture", name, -13},
      {"999 characters", name + ",\"vPic\":\"" + std::string(999, 'A') + "\"", -14},
      {"too long", name + ",\"vPic\":\"" + std::string(1400004, 'A') + "\"", -15},
      {"not base64", name + ",\"vPic\":\"" + std::string(1000, '*') + "\"", -16},
      {"an unknown notice", ",\"iID\":99999999,\"cFileName\":\"a.jpg\",\"vPic\":\"" + small + "\"", -9},
  };
  for (const Case& c : cases) EXPECT_EQ(pda_.Call("pdawInPicAdd", c.more), Code(c.want)) << c.why;
  // The refused upload left no row behind.
  EXPECT_EQ(TestDb().Scalar("SELECT COUNT(*) FROM dbo.w_g_in_pic WHERE iid = 99999999"), "0");
  EXPECT_EQ(pda_.Call("pdawInPicQuery", ""), Code(-11));
  EXPECT_EQ(pda_.Call("pdawInPicQuery", ",\"iipID\":99999999"), Code(0));
  EXPECT_EQ(pda_.Call("pdawInPicQuery", ",\"cRNo\":\"WIN'999\""), Code(0));
}

TEST_F(WarehouseGoodsInTest, NoticeListInAscendingPagesOfTheDepot) {
  std::vector<long long> ids;
  for (int i = 1; i <= 7; ++i) {
    ids.push_back(Notice("WIQ0" + std::to_string(i), i, "WIG5"));
    ASSERT_GT(ids.back(), 0);
  }
  TestDb db;
  // A stored notice and another depot's are not listed.
  ASSERT_TRUE(db.Exec("UPDATE dbo.w_g_in SET nstate = 40 WHERE iid = " + std::to_string(ids[6])));
  ASSERT_GT(ReplyInts(pda_.Call("pdawInAdd", ",\"cDepot\":\"WI2\",\"cqgCode\":\"WIG5\",\"iQuantity\":1"), "ReturnValue")
                .at(0),
            0);
  const std::string q = ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG5\"";
  struct Case {
    const char* why;
    std::string more;
    std::vector<long long> want;
    long long page;
  } cases[] = {
      {"first page", ",\"iPage\":1,\"iPagePer\":4", {ids[0], ids[1], ids[2], ids[3]}, 1},
      {"second page", ",\"iPage\":2,\"iPagePer\":4", {ids[4], ids[5]}, 2},
      {"beyond the last", ",\"iPage\":9,\"iPagePer\":4", {ids[4], ids[5]}, 2},
      {"page 0 is the first", ",\"iPage\":0,\"iPagePer\":2", {ids[0], ids[1]}, 1},
      {"by number", ",\"cqRNo\":\"WIQ03\",\"iPagePer\":10", {ids[2]}, 1},
      {"batch prefix", ",\"cqBatch\":\"" + db.Scalar("SELECT left(cbatch, 4) FROM dbo.w_g_in WHERE iid = " +
                                                     std::to_string(ids[0])) +
                           "\",\"iPagePer\":3",
       {ids[0], ids[1], ids[2]}, 1},
  };
  for (const Case& c : cases) {
    const std::string got = pda_.Call("pdawInQuery", q + c.more);
    EXPECT_EQ(ReplyInts(got, "iID"), c.want) << c.why << "\n" << got;
    EXPECT_EQ(ReplyInts(got, "iPage"), std::vector<long long>{c.page}) << c.why;
  }
  const std::string head = pda_.Call("pdawInQuery", q + ",\"cqAccount\":\"WIACC\",\"iPagePer\":1");
  EXPECT_EQ(head.substr(0, head.find(",\"RecList\"")),
            "{\"ReturnValue\":1,\"iqcID\":934001,\"iPage\":1,\"iPagePer\":1,\"iTotalRec\":6,\"cDepot\":\"WI1\","
            "\"iqwGiid\":0,\"cqgCode\":\"WIG5\",\"cqcCode\":\"\",\"cqAccount\":\"WIACC\",\"cqRNo\":\"\",\"cqBatch\":\"\"");
  EXPECT_EQ(ReplyTexts(head, "cShelf_d"), std::vector<std::string>{"L01"});
  EXPECT_EQ(pda_.Call("pdawInQuery", q + ",\"cqAccount\":\"NOBODY\",\"iPagePer\":5"), Code(0));
  EXPECT_EQ(pda_.Call("pdawInQuery", ",\"cDepot\":\"WI1\",\"cqgCode\":\"WIG4\",\"iPagePer\":5"), Code(-2));
  EXPECT_EQ(pda_.Call("pdawInQuery", q + ",\"cqRNo\":\"NONE\",\"iPagePer\":5"), Code(0));
  EXPECT_EQ(pda_.Call("pdawInQuery", q + ",\"cqBatch\":\"%\",\"iPagePer\":5"), Code(0));  // % is literal
}

TEST_F(WarehouseGoodsInTest, OneStepGoodsInIsAllOrNothing) {
  TestDb db;
  const std::string goods = ",\"cDepot\":\"WI1\",\"icID\":934001,\"cgCode\":\"WIX1\",\"ccCode\":\"X1\",\"cgName\":"
                            "\"Express\",\"cUnit\":\"EA\",\"iFreeDays\":3,\"cShelf\":\"E1\",\"cMoney\":\"AUD\"";
  const std::string keeper = ",\"cConfirm\":\"Keeper\",\"cPassword\":\"Secret\"";
  auto leftBehind = [&](const char* code) {
    return db.Scalar(std::string("SELECT COUNT(*) FROM dbo.w_goods_define WHERE cgcode = '") + code + "'") + "/" +
           db.Scalar(std::string("SELECT COUNT(*) FROM dbo.w_goods_depot AS a JOIN dbo.w_goods_define AS b ON "
                                 "a.giid = b.giid WHERE b.cgcode = '") + code + "'");
  };

  // The third step fails (a number used in the depot already): nothing is left, and the retry works.
  ASSERT_GT(Notice("WIN050", 1), 0);
  EXPECT_EQ(pda_.Call("pdawInConfirmEx", goods + ",\"iQuantity\":4,\"cRNo\":\"WIN050\"" + keeper), Code(-9));
  EXPECT_EQ(leftBehind("WIX1"), "0/0");
  // A wrong password fails the fourth step: nothing is left either.
  EXPECT_EQ(pda_.Call("pdawInConfirmEx", goods + ",\"iQuantity\":4,\"cRNo\":\"WIN051\",\"cConfirm\":\"Keeper\","
                                                 "\"cPassword\":\"secret\""),
            Code(-9));
  EXPECT_EQ(leftBehind("WIX1"), "0/0");
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM dbo.w_g_in WHERE crno = 'WIN051'"), "0");

  const std::string done = pda_.Call("pdawInConfirmEx", goods + ",\"iQuantity\":4,\"cRNo\":\"WIN051\"" + keeper);
  const std::vector<long long> giid = ReplyInts(done, "iwGiid");
  const std::vector<long long> notice = ReplyInts(done, "iID");
  ASSERT_EQ(giid.size(), 1u) << done;
  ASSERT_EQ(notice.size(), 1u) << done;
  EXPECT_EQ(done, "{\"ReturnValue\":1,\"cDepot\":\"WI1\",\"icID\":934001,\"iwGiid\":" + std::to_string(giid[0]) +
                      ",\"iID\":" + std::to_string(notice[0]) +
                      ",\"iQuantity\":4,\"cRNo\":\"WIN051\",\"cBatch\":\"" +
                      db.Scalar("SELECT cbatch FROM dbo.w_g_in WHERE iid = " + std::to_string(notice[0])) +
                      "\",\"cShelf\":\"E1\",\"cgName\":\"Express\",\"cgCode\":\"WIX1\",\"ccCode\":\"X1\",\"cUnit\":\"EA\"}");
  EXPECT_EQ(leftBehind("WIX1"), "1/1");
  EXPECT_EQ(db.Query("SELECT g.nstate, g.inormal, g.idefective, g.cshelf, g.cshelftext, g.wfreedays, d.iin, d.cunit, "
                     "d.imax FROM dbo.w_g_in AS g JOIN dbo.w_goods_depot AS d ON d.giid = g.giid AND d.cdepot = "
                     "g.cdepot WHERE g.iid = " + std::to_string(notice[0])),
            (std::vector<std::vector<std::string>>{{"40", "4", "0", "E1", "E1|0列|0层", "3", "4", "EA", "999999"}}));
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM dbo.w_operate_log WHERE ckind = 'in' AND irefid = " +
                      std::to_string(notice[0])),
            "4");

  struct Case {
    const char* why;
    std::string more, want;
    const char* mess;
  } cases[] = {
      {"the code is taken", goods + ",\"iQuantity\":1", "-1", "统一物品编码重复。"},
      {"no quantity", ",\"cDepot\":\"WI1\",\"icID\":934001,\"cgCode\":\"WIX2\",\"cgName\":\"x\"", Code(-15), nullptr},
      {"no codes", ",\"cDepot\":\"WI1\",\"icID\":934001,\"cgName\":\"x\",\"iQuantity\":1", Code(-12), nullptr},
      {"no name", ",\"cDepot\":\"WI1\",\"icID\":934001,\"cgCode\":\"WIX2\",\"iQuantity\":1", Code(-13), nullptr},
      {"no client", ",\"cDepot\":\"WI1\",\"cgCode\":\"WIX2\",\"cgName\":\"x\",\"iQuantity\":1", Code(-710), nullptr},
      {"unknown account", ",\"cDepot\":\"WI1\",\"cAccount\":\"NOBODY\",\"cgCode\":\"WIX2\",\"cgName\":\"x\","
       "\"iQuantity\":1", Code(-711), nullptr},
      {"unknown depot", ",\"cDepot\":\"WI7\",\"icID\":934001,\"cgCode\":\"WIX2\",\"cgName\":\"x\",\"iQuantity\":1",
       Code(-831), nullptr},
  };
  for (const Case& c : cases) {
    const std::string got = pda_.Call("pdawInConfirmEx", c.more);
    if (c.mess != nullptr) {
      EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{std::stoll(c.want)}) << c.why << "\n" << got;
      EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{Utf8(c.mess)}) << c.why;
    } else {
      EXPECT_EQ(got, c.want) << c.why;
    }
  }
  EXPECT_EQ(leftBehind("WIX2"), "0/0");
}

}  // namespace
