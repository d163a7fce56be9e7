// Goods definitions, placements and shelves over HTTP through DoPda: "pdawGoodsDefine",
// "pdawGoodsDepot", "pdawGoodsInfo", "pdawShelfPut", "pdawShelfGet", "pdawShelfQuery",
// "pdawShelfGoods" and "pdawShelfChange", with the stored rows and the shelf content after each step.
//
// Rows use depots "WS1" and "WS2", client 933001 (account "WSACC") and goods codes beginning "WSG",
// which no other test uses.

#include <gtest/gtest.h>

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
           "DELETE FROM dbo.w_depot WHERE cdepot IN ('WS1', 'WS2')",
           "DELETE FROM dbo.client_arc WHERE icid BETWEEN 933001 AND 933009",
           "DELETE FROM dbo.w_goods_depot WHERE cdepot IN ('WS1', 'WS2')",
           "DELETE FROM dbo.w_shelf_io WHERE cdepot IN ('WS1', 'WS2')",
           "DELETE FROM dbo.w_shelf_io_log WHERE cdepot IN ('WS1', 'WS2')",
           "DELETE FROM dbo.w_g_serial WHERE cdepot IN ('WS1', 'WS2')",
           "DELETE FROM dbo.w_goods_define WHERE icid BETWEEN 933001 AND 933009",
       }) {
    ASSERT_TRUE(db.Exec(sql)) << db.error();
  }
}

class WarehouseShelvesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    twtest::warehouse::SeedPdaUser(db);
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.w_depot (cdepot) VALUES ('WS1'), ('WS2')"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, caccount) VALUES (933001, 'WSACC'), (933002, 'WSOTHER')"));
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

  // Defines goods of client 933001 and places them in WS1; returns the goods id.
  int Placed(const std::string& code, const std::string& name, const std::string& more = "") {
    std::string got = pda_.Call("pdawGoodsDefine", ",\"cDepot\":\"WS1\",\"icID\":933001,\"cgCode\":\"" + code +
                                                       "\",\"cgName\":\"" + name + "\"" + more);
    std::vector<long long> rv = ReplyInts(got, "ReturnValue");
    if (rv.size() != 1 || rv[0] <= 0) return 0;
    got = pda_.Call("pdawGoodsDepot", ",\"cDepot\":\"WS1\",\"cgCode\":\"" + code + "\",\"cShelf\":\"D01\"");
    rv = ReplyInts(got, "ReturnValue");
    return rv.size() == 1 && rv[0] > 0 ? static_cast<int>(ReplyInts(got, "iwGiid").at(0)) : 0;
  }
  // The pieces of the goods on the shelf now.
  static std::string Content(const std::string& shelf, int giid) {
    return TestDb().Scalar("SELECT COUNT(*) FROM dbo.w_shelf_io WHERE cdepot = 'WS1' AND cshelf = '" + shelf +
                           "' AND giid = " + std::to_string(giid));
  }

  PdaSession pda_;
};

TEST_F(WarehouseShelvesTest, GoodsDefinitionsAndTheirRefusals) {
  TestDb db;
  const std::string first = pda_.Call(
      "pdawGoodsDefine", ",\"cDepot\":\"WS1\",\"icID\":933001,\"cgCode\":\"WSG1\",\"ccCode\":\"C1\",\"cgName\":\"" +
                             Utf8("螺丝") + "\",\"fLong\":0.35,\"fWidth\":0.99999,\"nQC\":300,\"nType\":5,\"cUnit\":\"PCS\","
                             "\"fWeight\":1.2346,\"cMark\":\"O'Brien\",\"bShare\":true");
  const std::vector<long long> rv = ReplyInts(first, "ReturnValue");
  ASSERT_EQ(rv.size(), 1u) << first;
  ASSERT_GT(rv[0], 0) << first;
  EXPECT_EQ(first, Utf8("{\"ReturnValue\":" + std::to_string(rv[0]) + ",\"cDepot\":\"WS1\",\"icID\":933001,\"iwGiid\":" +
                        std::to_string(rv[0]) +
                        ",\"cgName\":\"螺丝\",\"cgCode\":\"WSG1\",\"ccCode\":\"C1\",\"cUnit\":\"PCS\"}"));
  // Sides in ten-thousandths, the low byte of nQC, any type other than 0 is serial goods.
  EXPECT_EQ(db.Query("SELECT icid, ilong, iwidth, nqc, ntype, fweight, cmark, nshare, cweightunit, coper FROM "
                     "dbo.w_goods_define WHERE giid = " + std::to_string(rv[0])),
            (std::vector<std::vector<std::string>>{
                {"933001", "3500", "10000", "44", "1", "1.235", "O'Brien", "1", "KGM", twtest::warehouse::kOperator}}));

  struct Case {
    const char* why;
    std::string more;
    int want;            // the ReturnValue; > 0: a new goods id
    const char* mess;    // the refusal's text (GBK), or null
    const char* stored;  // the goods code stored for a new definition
  } cases[] = {
      {"no codes", ",\"icID\":933001,\"cgName\":\"x\"", -12, nullptr, nullptr},
      {"no name", ",\"icID\":933001,\"cgCode\":\"WSG9\"", -13, nullptr, nullptr},
      {"no client", ",\"cgCode\":\"WSG9\",\"cgName\":\"x\"", -710, nullptr, nullptr},
      {"unknown account", ",\"cAccount\":\"WSNOBODY\",\"cgCode\":\"WSG9\",\"cgName\":\"x\"", -711, nullptr, nullptr},
      {"goods code taken", ",\"icID\":933002,\"cgCode\":\"WSG1\",\"cgName\":\"y\"", -1, "统一物品编码重复。", nullptr},
      {"client code taken", ",\"icID\":933001,\"cgCode\":\"WSG2\",\"ccCode\":\"C1\",\"cgName\":\"y\"", -3,
       "客户物品编码重复。", nullptr},
      {"client goods name taken", ",\"icID\":933001,\"cgCode\":\"WSG2\",\"cgName\":\"" + Utf8("螺丝") + "\"", -4,
       "客户物品名称重复。", nullptr},
      {"the same client code for another client", ",\"icID\":933002,\"cgCode\":\"WSG3\",\"ccCode\":\"C1\","
       "\"cgName\":\"y\"", 1, nullptr, "WSG3"},
      {"default goods code", ",\"icID\":933001,\"ccCode\":\"C2\",\"cgName\":\"z\"", 1, nullptr, "933001C2"},
      {"by account", ",\"cAccount\":\"WSACC\",\"ccCode\":\"C3\",\"cgName\":\"w\"", 1, nullptr, "933001C3"},
      {"a long client code is the goods code", ",\"icID\":933001,\"ccCode\":\"" + std::string(51, 'L') +
       "\",\"cgName\":\"v\"", 1, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const std::string got = pda_.Call("pdawGoodsDefine", ",\"cDepot\":\"WS1\"" + c.more);
    const std::vector<long long> v = ReplyInts(got, "ReturnValue");
    ASSERT_EQ(v.size(), 1u) << c.why << "\n" << got;
    if (c.want > 0) {
      EXPECT_GT(v[0], 0) << c.why << "\n" << got;
      if (c.stored != nullptr) {
        EXPECT_EQ(db.Scalar("SELECT cgcode FROM dbo.w_goods_define WHERE giid = " + std::to_string(v[0])), c.stored)
            << c.why;
      }
    } else {
      EXPECT_EQ(v[0], c.want) << c.why << "\n" << got;
      if (c.mess != nullptr) {
        EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{Utf8(c.mess)}) << c.why;
      } else {
        EXPECT_EQ(got, Code(c.want)) << c.why;
      }
    }
  }
  EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM dbo.w_goods_define WHERE cgcode = '" + std::string(51, 'L') + "'"), "1");
  EXPECT_EQ(pda_.Call("pdawGoodsDefine", ",\"icID\":933001,\"cgCode\":\"WSG8\",\"cgName\":\"x\""), Code(-830));
  // nQC above 100 is held at 100.
  const std::string capped =
      pda_.Call("pdawGoodsDefine", ",\"cDepot\":\"WS1\",\"icID\":933001,\"cgCode\":\"WSG4\",\"cgName\":\"q\",\"nQC\":250");
  EXPECT_EQ(db.Scalar("SELECT nqc FROM dbo.w_goods_define WHERE cgcode = 'WSG4'"), "100") << capped;
}

TEST_F(WarehouseShelvesTest, PlacementAndGoodsInfo) {
  TestDb db;
  ASSERT_NE(pda_.Call("pdawGoodsDefine", ",\"cDepot\":\"WS1\",\"icID\":933001,\"cgCode\":\"WSG10\",\"ccCode\":\"C10\","
                                         "\"cgName\":\"Ten\",\"fWeight\":2.5,\"cUnit\":\"BOX\""),
            Code(-9));
  const std::string placed = pda_.Call(
      "pdawGoodsDepot", ",\"cDepot\":\"WS1\",\"ccCode\":\"C10\",\"cAccount\":\"WSACC\",\"cShelf\":\"A'1\",\"cMoney\":"
                        "\"A'U\",\"cUnit\":\"EA\",\"iStoryB\":2,\"iStoryE\":4,\"iColumnB\":3,\"iColumnE\":9,\"fQCIn\":1.5,"
                        "\"fPrice\":12.345,\"cMemo\":\"x'; DROP TABLE dbo.w_goods_depot; --\"");
  const std::vector<long long> id = ReplyInts(placed, "iID");
  ASSERT_EQ(id.size(), 1u) << placed;
  EXPECT_EQ(ReplyInts(placed, "ReturnValue"), id);
  EXPECT_EQ(ReplyTexts(placed, "cUnit"), std::vector<std::string>{"EA"});
  EXPECT_EQ(db.Query("SELECT cdepot, icid, cshelfb, cshelfe, nstoryb, nstorye, wcolumnb, wcolumne, cmoney, fqcin, "
                     "fprice, imax, cunit, cmemo, iin FROM dbo.w_goods_depot WHERE iid = " + std::to_string(id[0])),
            (std::vector<std::vector<std::string>>{{"WS1", "933001", "A'1", "A'1", "2", "4", "3", "9", "A'U", "1.50",
                                                    "12.35", "999999", "EA", "x'; DROP TABLE dbo.w_goods_depot; --",
                                                    "0"}}));

  struct Case {
    const char* why;
    std::string more, want;
    const char* mess;
  } cases[] = {
      {"placed twice", ",\"cDepot\":\"WS1\",\"cgCode\":\"WSG10\"", "", "该物品已经归库。"},
      {"no goods named", ",\"cDepot\":\"WS1\",\"cShelf\":\"A1\"", Code(-12), nullptr},
      {"client code without the account", ",\"cDepot\":\"WS1\",\"ccCode\":\"C10\"", Code(-12), nullptr},
      {"unknown goods", ",\"cDepot\":\"WS1\",\"cgCode\":\"WSG'X\"", Code(-2), nullptr},
      {"unknown depot", ",\"cDepot\":\"WS9\",\"cgCode\":\"WSG10\"", Code(-831), nullptr},
  };
  for (const Case& c : cases) {
    const std::string got = pda_.Call("pdawGoodsDepot", c.more);
    if (c.mess != nullptr) {
      EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{-1}) << c.why << "\n" << got;
      EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{Utf8(c.mess)}) << c.why;
    } else {
      EXPECT_EQ(got, c.want) << c.why;
    }
  }
  // Placed in another depot as well: one row per depot.
  EXPECT_GT(ReplyInts(pda_.Call("pdawGoodsDepot", ",\"cDepot\":\"WS2\",\"cgCode\":\"WSG10\""), "ReturnValue").at(0), 0);

  const std::string info = pda_.Call("pdawGoodsInfo", ",\"cDepot\":\"WS1\",\"cqgCode\":\"WSG10\"");
  const std::string giid = std::to_string(ReplyInts(placed, "iwGiid").at(0));
  EXPECT_EQ(info, "{\"ReturnValue\":1,\"icID\":933001,\"iwGiid\":" + giid +
                      ",\"cgName\":\"Ten\",\"cgNameE\":\"\",\"cgCode\":\"WSG10\",\"ccCode\":\"C10\",\"cUnit\":\"EA\","
                      "\"bSerial\":false,\"cColor\":\"\",\"cSize\":\"\",\"cBrand\":\"\",\"cModel\":\"\",\"fWeight\":2.500,"
                      "\"iLong\":0,\"iWidth\":0,\"iHeight\":0,\"cShelf\":\"A'1\",\"iStoryB\":2,\"iStoryE\":4,"
                      "\"iColumnB\":3,\"iColumnE\":9,\"iEDays\":0,\"iIn\":0,\"iOut\":0,\"cMark\":\"\",\"cMemo\":\"x'; "
                      "DROP TABLE dbo.w_goods_depot; --\"}");
  EXPECT_EQ(pda_.Call("pdawGoodsInfo", ",\"cDepot\":\"WS1\",\"iqwGiid\":" + giid), info);
  EXPECT_EQ(pda_.Call("pdawGoodsInfo", ",\"cDepot\":\"WS1\",\"cqcCode\":\"C10\",\"cqAccount\":\"WSACC\""), info);
  EXPECT_EQ(pda_.Call("pdawGoodsInfo", ",\"cDepot\":\"WS1\",\"cqgCode\":\"WSG1\""), Code(0));  // not placed
  EXPECT_EQ(pda_.Call("pdawGoodsInfo", ",\"cDepot\":\"WS1\""), Code(-12));
  EXPECT_EQ(pda_.Call("pdawGoodsInfo", ",\"cDepot\":\"WS1\",\"cqcCode\":\"C10\",\"cqAccount\":\"WSNOBODY\""), Code(-12));
}

TEST_F(WarehouseShelvesTest, PutAndTakeKeepTheShelfContent) {
  const int giid = Placed("WSG20", "Twenty");
  ASSERT_GT(giid, 0);
  ASSERT_GT(Placed("WSG21", "Serial", ",\"nType\":1"), 0);
  ASSERT_NE(pda_.Call("pdawGoodsDefine", ",\"cDepot\":\"WS1\",\"icID\":933001,\"cgCode\":\"WSG22\",\"cgName\":\"Loose\""),
            Code(-9));
  ASSERT_TRUE(TestDb().Exec("INSERT INTO dbo.w_g_serial (giid, cdepot, ccode) SELECT giid, 'WS1', 'SN1' FROM "
                            "dbo.w_goods_define WHERE cgcode = 'WSG21'"));
  ASSERT_TRUE(TestDb().Exec("INSERT INTO dbo.w_g_serial (giid, cdepot, ccode, iidout) SELECT giid, 'WS1', 'SNOUT', 5 "
                            "FROM dbo.w_goods_define WHERE cgcode = 'WSG21'"));
  const std::string putGone = Utf8("序列号物品不存在或已出库。");
  const std::string getNone = Utf8("没有可下架物品或序列号物品未上架。");
  const std::string undefined = Utf8("物品未定义或未归库。");
  struct Step {
    const char* why;
    const char* name;
    std::string more;
    int want;          // ReturnValue
    std::string mess;  // the refusal's text (UTF-8)
    std::string s1;    // pieces of WSG20 on S1 afterwards
  } steps[] = {
      {"put", "pdawShelfPut", ",\"cgCode\":\"WSG20\",\"cShelf\":\"S1\"", 1, "", "1"},
      {"put again", "pdawShelfPut", ",\"cgCode\":\"WSG20\",\"cShelf\":\"S1\"", 1, "", "2"},
      {"put a third", "pdawShelfPut", ",\"cgCode\":\"WSG20\",\"cShelf\":\"S1\",\"csCode\":\"\"", 1, "", "3"},
      {"put on S2", "pdawShelfPut", ",\"cgCode\":\"WSG20\",\"cShelf\":\"S2\"", 1, "", "3"},
      {"take one", "pdawShelfGet", ",\"cgCode\":\"WSG20\",\"cShelf\":\"S1\"", 1, "", "2"},
      {"take from an empty shelf", "pdawShelfGet", ",\"cgCode\":\"WSG20\",\"cShelf\":\"S3\"", -14, getNone, "2"},
      {"unknown goods", "pdawShelfPut", ",\"cgCode\":\"WSG'X\",\"cShelf\":\"S1\"", -14, undefined, "2"},
      {"goods not placed", "pdawShelfPut", ",\"cgCode\":\"WSG22\",\"cShelf\":\"S1\"", -14, undefined, "2"},
      {"unknown serial piece", "pdawShelfPut", ",\"cgCode\":\"WSG21\",\"cShelf\":\"S1\",\"csCode\":\"SN9\"", -14,
       putGone, "2"},
      {"serial piece gone out", "pdawShelfPut", ",\"cgCode\":\"WSG21\",\"cShelf\":\"S1\",\"csCode\":\"SNOUT\"", -14,
       putGone, "2"},
      {"serial piece", "pdawShelfPut", ",\"cgCode\":\"WSG21\",\"cShelf\":\"S1\",\"csCode\":\"SN1\"", 1, "", "2"},
      {"serial piece twice", "pdawShelfPut", ",\"cgCode\":\"WSG21\",\"cShelf\":\"S2\",\"csCode\":\"SN1\"", -14,
       putGone, "2"},
      {"take a serial piece not on the shelf", "pdawShelfGet",
       ",\"cgCode\":\"WSG21\",\"cShelf\":\"S2\",\"csCode\":\"SN1\"", -14, getNone, "2"},
      {"take the serial piece", "pdawShelfGet", ",\"cgCode\":\"WSG21\",\"cShelf\":\"S1\",\"csCode\":\"SN1\"", 1, "",
       "2"},
      {"take it again", "pdawShelfGet", ",\"cgCode\":\"WSG21\",\"cShelf\":\"S1\",\"csCode\":\"SN1\"", -14, getNone,
       "2"},
  };
  for (const Step& s : steps) {
    const std::string got = pda_.Call(s.name, ",\"cDepot\":\"WS1\"" + s.more);
    EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{s.want}) << s.why << "\n" << got;
    if (s.want > 0) {
      const std::vector<std::string> id = ReplyTexts(got, "iwsioID");
      ASSERT_EQ(id.size(), 1u) << s.why;
      EXPECT_GT(std::stoll(id[0]), 0) << s.why;
    } else {
      EXPECT_EQ(ReplyTexts(got, "cMess"), std::vector<std::string>{s.mess}) << s.why << "\n" << got;
    }
    EXPECT_EQ(Content("S1", giid), s.s1) << s.why;
  }
  EXPECT_EQ(Content("S2", giid), "1");
  // The history keeps every put and take.
  EXPECT_EQ(TestDb().Scalar("SELECT COUNT(*) FROM dbo.w_shelf_io_log WHERE cdepot = 'WS1'"), "7");

  const std::string g = std::to_string(giid);
  EXPECT_EQ(pda_.Call("pdawShelfQuery", ",\"cDepot\":\"WS1\",\"cqShelf\":\"S1\""),
            "{\"ReturnValue\":1,\"cDepot\":\"WS1\",\"cqShelf\":\"S1\",\"RecList\":[{\"iwGiid\":" + g +
                ",\"iCount\":2,\"cgCode\":\"WSG20\",\"cgName\":\"Twenty\"}],\"iTotalRec\":1}");
  EXPECT_EQ(pda_.Call("pdawShelfGoods", ",\"cDepot\":\"WS1\",\"cqgCode\":\"WSG20\""),
            "{\"ReturnValue\":1,\"cDepot\":\"WS1\",\"cqgCode\":\"WSG20\",\"RecList\":[{\"iwGiid\":" + g +
                ",\"iCount\":2,\"cShelf\":\"S1\",\"cgName\":\"Twenty\"},{\"iwGiid\":" + g +
                ",\"iCount\":1,\"cShelf\":\"S2\",\"cgName\":\"Twenty\"}],\"iTotalRec\":2}");
  struct Case {
    const char* why;
    const char* name;
    std::string more, want;
  } refusals[] = {
      {"empty shelf", "pdawShelfQuery", ",\"cDepot\":\"WS1\",\"cqShelf\":\"S3\"", Code(0)},
      {"other depot", "pdawShelfQuery", ",\"cDepot\":\"WS2\",\"cqShelf\":\"S1\"", Code(0)},
      {"no shelf", "pdawShelfQuery", ",\"cDepot\":\"WS1\"", Code(-13)},
      {"no goods code", "pdawShelfGoods", ",\"cDepot\":\"WS1\"", Code(-12)},
      {"a quote", "pdawShelfGoods", ",\"cDepot\":\"WS1\",\"cqgCode\":\"WSG'20\"", Code(0)},
      {"put without goods", "pdawShelfPut", ",\"cDepot\":\"WS1\",\"cShelf\":\"S1\"", Code(-12)},
      {"take without shelf", "pdawShelfGet", ",\"cDepot\":\"WS1\",\"cgCode\":\"WSG20\"", Code(-13)},
      {"put without depot", "pdawShelfPut", ",\"cgCode\":\"WSG20\",\"cShelf\":\"S1\"", Code(-830)},
      {"put in an unknown depot", "pdawShelfPut", ",\"cDepot\":\"WS7\",\"cgCode\":\"WSG20\",\"cShelf\":\"S1\"",
       Code(-831)},
  };
  for (const Case& c : refusals) EXPECT_EQ(pda_.Call(c.name, c.more), c.want) << c.why;
}

TEST_F(WarehouseShelvesTest, ConcurrentTakesOfTheLastPieceTakeItOnce) {
  const int giid = Placed("WSG30", "Last");
  ASSERT_GT(giid, 0);
  ASSERT_EQ(ReplyInts(pda_.Call("pdawShelfPut", ",\"cDepot\":\"WS1\",\"cgCode\":\"WSG30\",\"cShelf\":\"S9\""),
                      "ReturnValue"),
            std::vector<long long>{1});
  constexpr int kThreads = 8;
  const std::string body = pda_.Body("pdawShelfGet", ",\"cDepot\":\"WS1\",\"cgCode\":\"WSG30\",\"cShelf\":\"S9\"");
  std::vector<std::string> replies(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      twtest::HttpClient http(pda_.port());
      replies[i] = http.Post("/cgi-bin/Tarnwick.dll?DoPda", body).body;
    });
  }
  for (std::thread& t : threads) t.join();
  int taken = 0, refused = 0;
  for (const std::string& r : replies) {
    const std::vector<long long> rv = ReplyInts(r, "ReturnValue");
    taken += rv == std::vector<long long>{1} ? 1 : 0;
    refused += rv == std::vector<long long>{-14} ? 1 : 0;
  }
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(refused, kThreads - 1);
  EXPECT_EQ(Content("S9", giid), "0");
}

TEST_F(WarehouseShelvesTest, ShelfChangeBoundsAndKeptTexts) {
  const int giid = Placed("WSG40", "Forty", ",\"ccCode\":\"C40\"");
  ASSERT_GT(giid, 0);
  TestDb db;
  ASSERT_TRUE(db.Exec("UPDATE dbo.w_goods_depot SET cmark = 'old', cmemo = 'old memo', nstoryb = 2, nstorye = 3, "
                      "wcolumnb = 4, wcolumne = 5 WHERE cdepot = 'WS1' AND giid = " + std::to_string(giid)));
  const std::string first = pda_.Call("pdawShelfChange", ",\"cDepot\":\"WS1\",\"cqgCode\":\"WSG40\",\"cShelf\":"
                                                         "\"NEW-1\",\"iStoryB\":0,\"iStoryE\":0,\"cMark\":\"\"");
  const std::string iid = db.Scalar("SELECT iid FROM dbo.w_goods_depot WHERE cdepot = 'WS1' AND giid = " +
                                    std::to_string(giid));
  EXPECT_EQ(first, "{\"ReturnValue\":1,\"cDepot\":\"WS1\",\"iqwGiid\":0,\"cqgCode\":\"WSG40\",\"cShelf\":\"NEW-1\","
                   "\"iStoryB\":1,\"iStoryE\":1,\"iColumnB\":1,\"iColumnE\":1,\"icID\":933001,\"iID\":" + iid +
                       ",\"iwGiid\":" + std::to_string(giid) +
                       ",\"cgName\":\"Forty\",\"cgNameE\":\"\",\"cgCode\":\"WSG40\",\"ccCode\":\"C40\",\"cColor\":\"\","
                       "\"cSize\":\"\",\"cBrand\":\"\",\"cModel\":\"\",\"fWeight\":0.000,\"iLong\":0,\"iWidth\":0,"
                       "\"iHeight\":0,\"cShelf_o\":\"D01\",\"iStoryB_o\":2,\"iStoryE_o\":3,\"iColumnB_o\":4,"
                       "\"iColumnE_o\":5,\"cMark\":\"old\",\"cMemo\":\"old memo\"}");

  struct Case {
    const char* why;
    std::string more;
    std::vector<std::string> stored;  // cshelfb, cshelfe, stories, columns, cmark, cmemo
  } cases[] = {
      {"story above 255 raises a smaller end", ",\"iStoryB\":300,\"iStoryE\":5,\"iColumnB\":2,\"iColumnE\":1",
       {"NEW-2", "NEW-2", "255", "255", "2", "2", "old", "old memo"}},
      {"ends without an upper bound", ",\"iStoryB\":3,\"iStoryE\":100000,\"iColumnB\":40000,\"iColumnE\":70000",
       {"NEW-2", "NEW-2", "3", "100000", "30000", "70000", "old", "old memo"}},
      {"negative starts", ",\"iStoryB\":-5,\"iStoryE\":-1,\"iColumnB\":-7,\"iColumnE\":-2",
       {"NEW-2", "NEW-2", "1", "1", "1", "1", "old", "old memo"}},
      {"mark and memo written when given", ",\"cMark\":\"m'2\",\"cMemo\":\"n\"",
       {"NEW-2", "NEW-2", "1", "1", "1", "1", "m'2", "n"}},
  };
  for (const Case& c : cases) {
    const std::string got =
        pda_.Call("pdawShelfChange", ",\"cDepot\":\"WS1\",\"cqcCode\":\"C40\",\"cqAccount\":\"WSACC\",\"cShelf\":\"NEW-2\"" +
                                         c.more);
    EXPECT_EQ(ReplyInts(got, "ReturnValue"), std::vector<long long>{1}) << c.why << "\n" << got;
    const auto rows = db.Query("SELECT cshelfb, cshelfe, nstoryb, nstorye, wcolumnb, wcolumne, cmark, cmemo FROM "
                               "dbo.w_goods_depot WHERE iid = " + iid);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], c.stored) << c.why;
  }
  EXPECT_EQ(pda_.Call("pdawShelfChange", ",\"cDepot\":\"WS1\",\"cShelf\":\"X\""), Code(-12));
  EXPECT_EQ(pda_.Call("pdawShelfChange", ",\"cDepot\":\"WS1\",\"cqgCode\":\"WSG40\""), Code(-13));
  EXPECT_EQ(pda_.Call("pdawShelfChange", ",\"cDepot\":\"WS2\",\"cqgCode\":\"WSG40\",\"cShelf\":\"X\""), Code(0));
  EXPECT_EQ(pda_.Call("pdawShelfChange", ",\"cDepot\":\"WS7\",\"cqgCode\":\"WSG40\",\"cShelf\":\"X\""), Code(-831));
}

}  // namespace
