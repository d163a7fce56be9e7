// The PDA's lookups and events over HTTP through DoPda, signed as a PDA signs, against the test
// database: suppliers and batches, control codes, prompts, user rights, pickups, tracking events,
// export bags, record queries and number issue. Rows of this test use ids 930001-930099, numbers
// beginning "LK" and PDA users "PDALK*".

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/pda_support.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::TestDb;
using twtest::TestHost;
using twtest::pda::Code;
using twtest::pda::PdaClient;
using twtest::pda::Utf8;

constexpr char kPda[] = "PDALK1";           // operator LkOp1 at station SZX
constexpr char kPdaNoStation[] = "PDALK2";  // operator LkOp2, no station
constexpr char kPdaGone[] = "PDALK3";       // operator LkOp3, deleted after it was cached

bool Exec(TestDb& db, const std::string& sql) {
  const bool ok = db.Exec(sql);
  EXPECT_TRUE(ok) << sql << ": " << db.error();
  return ok;
}

class PdaLookupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE(twtest::pda::SetPdaKey(db));
    const char* cleanup[] = {
        "DELETE FROM dbo.man_main WHERE cpda LIKE 'PDALK%'",
        "DELETE FROM dbo.w_depot_role WHERE cname LIKE 'LkOp%'",
        "DELETE FROM dbo.client_arc WHERE icid BETWEEN 930001 AND 930099",
        "DELETE FROM dbo.sp_arc WHERE isid BETWEEN 930001 AND 930099",
        "DELETE FROM dbo.ems_sp WHERE isid BETWEEN 930001 AND 930099",
        "DELETE FROM dbo.client_rec WHERE irid BETWEEN 930001 AND 930099",
        "DELETE FROM dbo.check_detail WHERE irid BETWEEN 930001 AND 930099",
        "DELETE FROM dbo.client_rec_prompt WHERE cnum LIKE 'LK%'",
        "DELETE FROM dbo.client_rec_promptc WHERE cnum LIKE 'LK%'",
        "DELETE FROM dbo.client_rec_ctrl WHERE cno LIKE 'LK%'",
        "DELETE FROM dbo.client_rec_pick WHERE cnum LIKE 'LK%'",
        "DELETE FROM dbo.pda_track_info WHERE cnumber LIKE 'LK%'",
        "DELETE FROM dbo.client_rec_xbag WHERE cxno LIKE 'LK%'",
        "DELETE FROM dbo.client_rec_pack WHERE cawb LIKE 'LK%'",
        "DELETE FROM dbo.rec_trans WHERE iid BETWEEN 930001 AND 930099",
        "DELETE FROM dbo.rec_pre_input WHERE iid BETWEEN 930001 AND 930099",
        "DELETE FROM dbo.sys_genno WHERE iid BETWEEN 93001 AND 93009",
    };
    for (const char* sql : cleanup) ASSERT_TRUE(Exec(db, sql));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.man_main (cpda, mcname, mcstation, mvright, mvrighti, cstationt) VALUES "
                     "('PDALK1', 'LkOp1', 'SZX', '\\x00400000200000000000000000000000'::bytea, "
                     "'\\x41000000000000000000000000000000'::bytea, 'HKG'), "
                     "('PDALK2', 'LkOp2', '', '\\x3d3c100020000005c0000000000000'::bytea, NULL, ''), "
                     "('PDALK3', 'LkOp3', 'PEK', NULL, NULL, '')"));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.w_depot_role (cname, cdepot, vright) VALUES ('LkOp1', 'W01', '\\xff'::bytea), "
                     "('LkOp1', 'W01', NULL)"));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.client_arc (icid, capikey, caccount, cunitname, cstation) VALUES "
                     "(930001, 'LkKey930001', 'LKACC1', '甲公司', 'SZX'), "
                     "(930002, 'LkKey930002', 'LKACC2', 'B Co', 'PEK')"));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.sp_arc (isid, cname, nbatch, nstate) VALUES "
                     "(930001, 'LK供应商甲', 12, 0), (930002, 'LK Inactive', 7, 1), (930003, 'LK Negative', -5, 0), "
                     "(930004, 'LK Wide', 1234, 0)"));
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.ems_sp (isid, cemskind, nstate) VALUES (930001, 'LKK1', 0), (930001, 'LKK2', 0), "
                     "(930001, 'LKK3', 1), (930003, 'LKK1', 0)"));
    // Batches of 2026: every one is above 2^31.
    ASSERT_TRUE(Exec(db,
                     "INSERT INTO dbo.client_rec (irid, icid, cnum, isid, ibatch) VALUES "
                     "(930001, 930001, 'LKREC00001', 930001, 2606010120), "
                     "(930002, 930001, 'LKREC00002', 930001, 2606010123), "
                     "(930003, 930001, 'LKREC00003', 930001, 2606010123), "
                     "(930004, 930001, 'LKREC00004', 930001, 2606020121), "
                     "(930005, 930001, 'LKREC00005', 930002, 2606010070), "
                     "(930006, 930001, 'LKREC00006', 930004, 26060112349)"));
    ASSERT_TRUE(Exec(db, "UPDATE dbo.client_rec SET cserviceno = 'LKSVC00001' WHERE irid = 930001"));
  }

  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    ASSERT_TRUE(host_.Start(twtest::pda::PdaHostConfig())) << host_.error();
  }
  void TearDown() override {
    if (twtest::DatabaseConfigured()) {
      EXPECT_EQ(host_.Stop(), 0);
    }
  }

  struct Case {
    const char* what;
    std::string name;
    std::string more;
    std::string want;
  };
  void Check(PdaClient& pda, const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(pda.Body(c.name, c.more), c.want) << c.what;
  }

  TestHost host_;
  TestDb db_;
};

TEST_F(PdaLookupTest, SuppliersAndTheirBatches) {
  PdaClient pda(host_.port(), kPda);
  Check(pda,
        {
            {"one supplier", "pdaSpInfo", ",\"iqsID\":930001",
             Utf8("{\"ReturnValue\":1,\"iqsID\":930001,\"iqType\":0,\"cqEmsKind\":\"\",\"RecList\":[{\"isID\":930001,"
                  "\"iBatch\":12,\"cName\":\"LK供应商甲\"}],\"iTotalRec\":1}")},
            {"an inactive supplier is not listed", "pdaSpInfo", ",\"iqsID\":930002", Code(0)},
            {"a negative batch code is used as 0", "pdaSpInfo", ",\"iqsID\":930003",
             "{\"ReturnValue\":1,\"iqsID\":930003,\"iqType\":0,\"cqEmsKind\":\"\",\"RecList\":[{\"isID\":930003,"
             "\"iBatch\":0,\"cName\":\"LK Negative\"}],\"iTotalRec\":1}"},
            {"kind pairs with active bindings only", "pdaSpInfo", ",\"iqsID\":930001,\"iqType\":1",
             Utf8("{\"ReturnValue\":1,\"iqsID\":930001,\"iqType\":1,\"cqEmsKind\":\"\",\"RecList\":[{\"isID\":930001,"
                  "\"iBatch\":12,\"cEmsKind\":\"LKK1\",\"cName\":\"LK供应商甲\"},{\"isID\":930001,\"iBatch\":12,"
                  "\"cEmsKind\":\"LKK2\",\"cName\":\"LK供应商甲\"}],\"iTotalRec\":2}")},
            {"one kind's suppliers", "pdaSpInfo", ",\"iqType\":1,\"cqEmsKind\":\"lkk1\"",
             Utf8("{\"ReturnValue\":1,\"iqsID\":0,\"iqType\":1,\"cqEmsKind\":\"lkk1\",\"RecList\":[{\"isID\":930003,"
                  "\"iBatch\":0,\"cEmsKind\":\"LKK1\",\"cName\":\"LK Negative\"},{\"isID\":930001,\"iBatch\":12,"
                  "\"cEmsKind\":\"LKK1\",\"cName\":\"LK供应商甲\"}],\"iTotalRec\":2}")},
            {"an inactive kind binding", "pdaSpInfo", ",\"iqType\":1,\"cqEmsKind\":\"LKK3\"", Code(0)},
            {"a hostile kind is only a text", "pdaSpInfo", ",\"iqType\":1,\"cqEmsKind\":\"x' OR '1'='1\"", Code(0)},

            {"batches of 1 June 2026, newest first, as quoted texts", "pdaSpBatch",
             ",\"iqsID\":930001,\"cqDate\":\"2026-06-01\"",
             Utf8("{\"ReturnValue\":1,\"iqsID\":930001,\"cqDate\":\"260601\",\"iBatch\":12,\"cName\":\"LK供应商甲\","
                  "\"cBatches\":[\"2606010123\",\"2606010120\"],\"iTotalRec\":2}")},
            {"a day without batches leaves the list out", "pdaSpBatch", ",\"iqsID\":930001,\"cqDate\":\"2026.06.03\"",
             Utf8("{\"ReturnValue\":1,\"iqsID\":930001,\"cqDate\":\"260603\",\"iBatch\":12,\"cName\":\"LK供应商甲\","
                  "\"iTotalRec\":0}")},
            {"an inactive supplier still answers", "pdaSpBatch", ",\"iqsID\":930002,\"cqDate\":\"2026-06-01\"",
             "{\"ReturnValue\":1,\"iqsID\":930002,\"cqDate\":\"260601\",\"iBatch\":7,\"cName\":\"LK Inactive\","
             "\"cBatches\":[\"2606010070\"],\"iTotalRec\":1}"},
            {"a four-digit batch code keeps its digits", "pdaSpBatch", ",\"iqsID\":930004,\"cqDate\":\"2026-06-01\"",
             "{\"ReturnValue\":1,\"iqsID\":930004,\"cqDate\":\"260601\",\"iBatch\":1234,\"cName\":\"LK Wide\","
             "\"cBatches\":[\"26060112349\"],\"iTotalRec\":1}"},
            {"no supplier id", "pdaSpBatch", ",\"cqDate\":\"2026-06-01\"", Code(-10)},
            {"an unknown supplier", "pdaSpBatch", ",\"iqsID\":930099", Code(-20)},
        });
  // Without a date: today's batches.
  const std::string today = db_.Scalar("SELECT to_char(LOCALTIMESTAMP, 'YYMMDD')");
  EXPECT_EQ(pda.Body("pdaSpBatch", ",\"iqsID\":930003"),
            "{\"ReturnValue\":1,\"iqsID\":930003,\"cqDate\":\"" + today +
                "\",\"iBatch\":0,\"cName\":\"LK Negative\",\"iTotalRec\":0}");
}

TEST_F(PdaLookupTest, ControlCodes) {
  PdaClient pda(host_.port(), kPda);
  Check(pda, {
                 {"a short number", "pdaRecCtrlCode", ",\"cNo\":\"LK0001\",\"cCtrlCode\":\"ABC\"", Code(-12)},
                 {"a code of two", "pdaRecCtrlCode", ",\"cNo\":\"LKCTRL0001\",\"cCtrlCode\":\"AB\"", Code(-13)},
                 {"no code", "pdaRecCtrlCode", ",\"cNo\":\"LKCTRL0001\"", Code(-13)},
                 {"a kind outside 0..3 goes as 0", "pdaRecCtrlCode",
                  ",\"iKind\":7,\"cNo\":\"LKCTRL0001\",\"cCtrlCode\":\"ABC\"",
                  "{\"ReturnValue\":1,\"iKind\":0,\"cNo\":\"LKCTRL0001\",\"cCtrlCode\":\"ABC\"}"},
                 {"a second code replaces the first", "pdaRecCtrlCode", ",\"cNo\":\"LKCTRL0001\",\"cCtrlCode\":\"XYZ\"",
                  "{\"ReturnValue\":2,\"iKind\":0,\"cNo\":\"LKCTRL0001\",\"cCtrlCode\":\"XYZ\"}"},
                 {"a longer code is cut to three", "pdaRecCtrlCode",
                  ",\"iKind\":1,\"cNo\":\"LKSVC00001\",\"cCtrlCode\":\"QRST\"",
                  "{\"ReturnValue\":1,\"iKind\":1,\"cNo\":\"LKSVC00001\",\"cCtrlCode\":\"QRS\"}"},
                 {"a hostile number", "pdaRecCtrlCode",
                  ",\"iKind\":2,\"cNo\":\"LK'); DROP TABLE x;--\",\"cCtrlCode\":\"A'B\"",
                  "{\"ReturnValue\":1,\"iKind\":2,\"cNo\":\"LK'); DROP TABLE x;--\",\"cCtrlCode\":\"A'B\"}"},
             });
  EXPECT_EQ(db_.Query("SELECT ikind, cno, cctrlcode, copname FROM dbo.client_rec_ctrl WHERE cno LIKE 'LK%' "
                      "ORDER BY ikind"),
            (std::vector<std::vector<std::string>>{{"0", "LKCTRL0001", "XYZ", "LkOp1"},
                                                   {"1", "LKSVC00001", "QRS", "LkOp1"},
                                                   {"2", "LK'); DROP TABLE x;--", "A'B", "LkOp1"}}));
  EXPECT_EQ(db_.Scalar("SELECT cctrlcode FROM dbo.client_rec WHERE irid = 930001"), "QRS");
}

TEST_F(PdaLookupTest, PromptsOfOneStep) {
  ASSERT_TRUE(Exec(db_,
                   "INSERT INTO dbo.client_rec_prompt (cnum, cmark, cmemo, cinput, ddate, bweight, bsend) VALUES "
                   "('LKPROMPT01', 'S1', '称重前核对', 'Staff A', '2026-06-01 10:00:00', 0, 1), "
                   "('LKPROMPT01', 'S2', 'weigh only', 'Staff B', '2026-06-01 09:00:00', 1, 0), "
                   "('LKPROMPT02', 'S3', 'no date', 'Staff C', NULL, 0, 1)"));
  ASSERT_TRUE(Exec(db_,
                   "INSERT INTO dbo.client_rec_promptc (cnum, cmark, cmemo, ddate, icid, bsend, bquery) VALUES "
                   "('LKPROMPT01', 'C1', 'client one \"quoted\"', '2026-06-02 08:30:05', 930001, 1, 0), "
                   "('LKPROMPT01', 'C2', 'client two', '2026-05-30 12:00:00', 930002, 1, 1)"));
  PdaClient pda(host_.port(), kPda);
  const std::string c2 =
      "{\"dDate\":\"2026-05-30 12:00:00\",\"cMark\":\"C2\",\"cMemo\":\"client two\","
      "\"cInput\":\"\",\"icID\":930002}";
  const std::string s1 = Utf8(
      "{\"dDate\":\"2026-06-01 10:00:00\",\"cMark\":\"S1\",\"cMemo\":\"称重前核对\","
      "\"cInput\":\"Staff A\",\"icID\":0}");
  const std::string c1 =
      "{\"dDate\":\"2026-06-02 08:30:05\",\"cMark\":\"C1\",\"cMemo\":\"client one "
      "\\x22quoted\\x22\",\"cInput\":\"\",\"icID\":930001}";
  Check(pda,
        {
            {"the sending step, by date", "pdaRecPromptQuery", ",\"iqType\":2,\"cqNum\":\"LKPROMPT01\"",
             "{\"ReturnValue\":1,\"iqType\":2,\"cqNum\":\"LKPROMPT01\",\"iqcID\":0,\"RecList\":[" + c2 + "," + s1 +
                 "," + c1 + "],\"iTotalRec\":3}"},
            {"a client restricts only the client prompts", "pdaRecPromptQuery",
             ",\"iqType\":2,\"cqNum\":\"lkprompt01\",\"iqcID\":930001",
             "{\"ReturnValue\":1,\"iqType\":2,\"cqNum\":\"lkprompt01\",\"iqcID\":930001,\"RecList\":[" + s1 + "," + c1 +
                 "],\"iTotalRec\":2}"},
            {"type 5 is the query step", "pdaRecPromptQuery", ",\"iqType\":5,\"cqNum\":\"LKPROMPT01\"",
             "{\"ReturnValue\":1,\"iqType\":5,\"cqNum\":\"LKPROMPT01\",\"iqcID\":0,\"RecList\":[" + c2 +
                 "],\"iTotalRec\":1}"},
            {"prompts of other steps only", "pdaRecPromptQuery", ",\"iqType\":1,\"cqNum\":\"LKPROMPT01\"", Code(0)},
            {"a prompt without date", "pdaRecPromptQuery", ",\"iqType\":2,\"cqNum\":\"LKPROMPT02\"",
             "{\"ReturnValue\":1,\"iqType\":2,\"cqNum\":\"LKPROMPT02\",\"iqcID\":0,\"RecList\":[{\"dDate\":"
             "\"1900-01-01 00:00:00\",\"cMark\":\"S3\",\"cMemo\":\"no date\",\"cInput\":\"Staff C\",\"icID\":0}],"
             "\"iTotalRec\":1}"},
            {"a short number", "pdaRecPromptQuery", ",\"cqNum\":\"LKPR01\"", Code(-12)},
            {"a hostile number", "pdaRecPromptQuery", ",\"cqNum\":\"LK' UNION SELECT 1--\"", Code(0)},
        });
}

TEST_F(PdaLookupTest, UserRights) {
  PdaClient one(host_.port(), kPda);
  // mvright byte 1 = 0x40 (bClientRec), byte 4 = 0x20 (bSend); mvrighti byte 0 = 0x41; several depot
  // roles give one answer.
  EXPECT_EQ(
      one.Body("pdaUserInfo"),
      "{\"ReturnValue\":1,\"cUserName\":\"LkOp1\",\"cUserPid\":\"PDALK1\",\"cDepot\":\"W01\",\"cStation\":\"SZX\","
      "\"cStationt\":\"HKG\",\"bClientRec\":true,\"bSend\":true,\"bReWeight\":false,\"bCheckScan\":false,"
      "\"bCodeScan\":false,\"bReturnScan\":false,\"bTransReceive\":false,\"bTransSend\":false,"
      "\"bxBagCreate\":true,\"bxBagAddRec\":false,\"bxBagPack\":false,\"bxBagUnpack\":false,\"bxBagAwb\":true,"
      "\"bwInPick\":false,\"bwInCheck\":false,\"bwInConfirm\":false,\"bwInShelf\":false,\"bwInRet\":false,"
      "\"bwOutChoose\":false,\"bwOutCheck\":false,\"bwOutPack\":false,\"bwOutConfirm\":false,"
      "\"bwDepotMove\":false}");

  // A 15-byte mvright (the last byte missing reads as 0) with the other bits of the table set, and
  // no mvrighti at all: byte 0 = 0x3d, 1 = 0x3c, 2 = 0x10, 7 = 0x05, 8 = 0xc0 (15 bytes given).
  PdaClient two(host_.port(), kPdaNoStation);
  const std::string reply = two.Body("pdaUserInfo");
  struct Flag {
    const char* key;
    bool on;
  } flags[] = {
      {"bClientRec", false},  {"bSend", true},        {"bReWeight", true},     {"bCheckScan", true},
      {"bCodeScan", false},   {"bReturnScan", false}, {"bTransReceive", true}, {"bTransSend", true},
      {"bxBagCreate", false}, {"bxBagAwb", false},    {"bwInPick", true},      {"bwInCheck", true},
      {"bwInConfirm", true},  {"bwInShelf", true},    {"bwInRet", true},       {"bwOutChoose", true},
      {"bwOutCheck", true},   {"bwOutPack", true},    {"bwOutConfirm", true},  {"bwDepotMove", true},
  };
  for (const Flag& f : flags) {
    EXPECT_NE(reply.find(std::string("\"") + f.key + "\":" + (f.on ? "true" : "false")), std::string::npos)
        << f.key << " in " << reply;
  }
  EXPECT_NE(reply.find("\"cDepot\":\"\",\"cStation\":\"\",\"cStationt\":\"\""), std::string::npos) << reply;

  // An operator deleted after the PDA user was cached: the door still accepts the PDA, the rights
  // answer "0".
  PdaClient gone(host_.port(), kPdaGone);
  EXPECT_EQ(gone.Body("pdaUserInfo").substr(0, 16), "{\"ReturnValue\":1");
  ASSERT_TRUE(Exec(db_, "DELETE FROM dbo.man_main WHERE cpda = 'PDALK3'"));
  EXPECT_EQ(gone.Body("pdaUserInfo"), Code(0));
}

TEST_F(PdaLookupTest, Pickups) {
  PdaClient pda(host_.port(), kPda);
  const std::string first =
      pda.Body("pdaRecPickup", Utf8(",\"cNum\":\"LKPICK0001\",\"icID\":930001,\"cMemo\":\"门口'交接\""));
  const std::string id = db_.Scalar("SELECT iid FROM dbo.client_rec_pick WHERE cnum = 'LKPICK0001'");
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(first, "{\"ReturnValue\":" + id + ",\"icID\":930001,\"cNum\":\"LKPICK0001\"}");
  EXPECT_EQ(db_.Query("SELECT icid, copname, cmemo FROM dbo.client_rec_pick WHERE cnum = 'LKPICK0001'"),
            (std::vector<std::vector<std::string>>{{"930001", "LkOp1", "门口'交接"}}));
  // By account.
  const std::string second = pda.Body("pdaRecPickup", ",\"cNum\":\"LKPICK0002\",\"cAccount\":\"LKACC2\"");
  EXPECT_EQ(second, "{\"ReturnValue\":" + db_.Scalar("SELECT iid FROM dbo.client_rec_pick WHERE cnum = 'LKPICK0002'") +
                        ",\"icID\":930002,\"cNum\":\"LKPICK0002\"}");
  Check(pda, {
                 {"a short number", "pdaRecPickup", ",\"cNum\":\"LKP001\",\"icID\":930001", Code(-12)},
                 {"neither client nor account", "pdaRecPickup", ",\"cNum\":\"LKPICK0003\"", Code(-13)},
                 {"an unknown account", "pdaRecPickup", ",\"cNum\":\"LKPICK0003\",\"cAccount\":\"NOBODY\"", Code(-711)},
                 {"an unknown client", "pdaRecPickup", ",\"cNum\":\"LKPICK0003\",\"icID\":930099", Code(-711)},
                 {"the same number again", "pdaRecPickup", ",\"cNum\":\"lkpick0001\",\"icID\":930002",
                  Utf8("{\"ReturnValue\":-14,\"cNum\":\"lkpick0001\",\"cMess\":\"相同运单号的取件记录已经存在。\"}")},
             });
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.client_rec_pick WHERE cnum LIKE 'LKPICK%'"), "2");
}

TEST_F(PdaLookupTest, TrackingEvents) {
  ASSERT_TRUE(
      Exec(db_, "INSERT INTO dbo.client_rec_pack (cawb, cairport, cflightno) VALUES ('LKAWB0001', 'HKG', 'CX1')"));
  ASSERT_TRUE(Exec(db_, "INSERT INTO dbo.client_rec_xbag (cxno, cawb) VALUES ('LKBAG0001', 'LKAWB0001')"));
  PdaClient pda(host_.port(), kPda);
  struct Event {
    const char* what;
    std::string more;
    std::string reply;
    std::string stored;  // tag|type|nsys|cdate (or "now")|cplace|cinfo|nposb, "" for none
  } events[] = {
      {"a record by its internal number",
       ",\"cNumber\":\"LKREC00001\",\"nNumberType\":0,\"cInfo\":\"到达'深圳\",\"cDate\":\"2026-06-01 10:00\","
       "\"cPlace\":\"SZX\",\"nPosB\":120",
       "{\"ReturnValue\":1,\"iNumberType\":0,\"cNumber\":\"LKREC00001\"}",
       "PDA-Rec|0|0|2026-06-01 10:00|SZX|到达'深圳|90"},
      {"a record by its service number, a short date means now",
       ",\"cNumber\":\"LKSVC00001\",\"nNumberType\":1,\"cInfo\":\"out\",\"cDate\":\"260601\",\"nPosB\":-3",
       "{\"ReturnValue\":1,\"iNumberType\":1,\"cNumber\":\"LKSVC00001\"}", "PDA-Rec|1|1|now||out|-3"},
      {"type 5: a record by either number",
       ",\"cNumber\":\"LKSVC00001\",\"nNumberType\":5,\"cInfo\":\"x\",\"bSysDate\":true",
       "{\"ReturnValue\":1,\"iNumberType\":5,\"cNumber\":\"LKSVC00001\"}", "PDA-Rec|-1|1|now||x|0"},
      {"an export bag",
       ",\"cNumber\":\"LKBAG0001\",\"nNumberType\":2,\"cInfo\":\"bagged\",\"cDate\":\"2026-06-02 11:00\"",
       "{\"ReturnValue\":1,\"iNumberType\":2,\"cNumber\":\"LKBAG0001\"}", "PDA-xBag|-1|0|2026-06-02 11:00||bagged|0"},
      {"an air waybill",
       ",\"cNumber\":\"LKAWB0001\",\"nNumberType\":3,\"cInfo\":\"flown\",\"cDate\":\"2026-06-03 12:00\"",
       "{\"ReturnValue\":1,\"iNumberType\":3,\"cNumber\":\"LKAWB0001\"}", "PDA-Awb|-1|0|2026-06-03 12:00||flown|0"},
      {"a refusal is negative, not a large number", ",\"cNumber\":\"LKNOBAG9\",\"nNumberType\":2,\"cInfo\":\"x\"",
       "{\"ReturnValue\":-1,\"iNumberType\":2,\"cNumber\":\"LKNOBAG9\"}", ""},
      {"a record that does not exist", ",\"cNumber\":\"LKNOREC9\",\"cInfo\":\"x\"",
       "{\"ReturnValue\":-1,\"iNumberType\":0,\"cNumber\":\"LKNOREC9\"}", ""},
      {"four characters are enough", ",\"cNumber\":\"LK12\",\"nNumberType\":3,\"cInfo\":\"x\"",
       "{\"ReturnValue\":-1,\"iNumberType\":3,\"cNumber\":\"LK12\"}", ""},
      {"three are not", ",\"cNumber\":\"LK1\",\"cInfo\":\"x\"", Code(-12), ""},
      {"no event text", ",\"cNumber\":\"LKREC00001\"", Code(-13), ""},
  };
  for (const Event& e : events) {
    EXPECT_EQ(pda.Body("pdaRecTrackInfo", Utf8(e.more)), e.reply) << e.what;
    if (e.stored.empty()) continue;
    const std::string row = db_.Scalar(
        "SELECT ctag || '|' || ntype || '|' || nsys || '|' || CASE WHEN nsys = 1 THEN 'now' ELSE cdate END || '|' || "
        "cplace || '|' || cinfo || '|' || nposb FROM dbo.pda_track_info WHERE cnumber LIKE 'LK%' ORDER BY iid DESC "
        "LIMIT 1");
    EXPECT_EQ(row, e.stored) << e.what;
    EXPECT_EQ(db_.Scalar("SELECT cstation || '/' || copname FROM dbo.pda_track_info ORDER BY iid DESC LIMIT 1"),
              "SZX/LkOp1")
        << e.what;
  }
  // The record events are also its tracking lines.
  EXPECT_EQ(db_.Query("SELECT npos, cinfo FROM dbo.check_detail WHERE irid = 930001 ORDER BY npos"),
            (std::vector<std::vector<std::string>>{{"1", "到达'深圳"}, {"2", "out"}, {"3", "x"}}));
}

TEST_F(PdaLookupTest, ExportBags) {
  ASSERT_TRUE(Exec(db_,
                   "INSERT INTO dbo.client_rec_pack (cawb, cairport, ddate, cflightno, dfdate) VALUES "
                   "('LKAWB1001', 'HKG', '2026-06-05 14:35:20', 'CX101', '2026-06-05 16:00'), "
                   "('LKAWB1002', 'HKG', '2026-06-05 09:00', 'CX101', '2026-06-05 23:00'), "
                   "('LKAWB1003', 'HKG', '2026-06-05 09:00', 'KA900', '2026-06-05 08:00'), "
                   "('LKAWB1004', 'PVG', '2026-06-05 09:00', 'CX101', '2026-06-06 00:00:01')"));
  ASSERT_TRUE(
      Exec(db_,
           "INSERT INTO dbo.client_rec_xbag (ixid, cxno, cfrom, cdes, cstation, cstationd, cmark, ctransnote, "
           "cmemo, nstate, corder, cawb, dsysdate, cinput, iitem, fweight, chno, cby1, cby5) VALUES "
           "(930001, 'LKXB0001', 'SZX', '悉尼', 'SZX', 'SYD', 'M1', 'note', 'memo \"1\"', 2, 'ORD1', "
           "'LKAWB1001', '2026-06-05 10:11:12', 'Op In', 12, 34.5, 'H1', 'A', 'V1'), "
           "(930002, 'LKXB0002', '', '', '', '', 'M1', '', '', 0, '', 'LKAWB1001', NULL, '', 0, 0, '', 'A', ''), "
           "(930003, 'LKXB0003', '', '', '', '', 'M2', '', '', 0, '', 'LKAWB1001', NULL, '', 0, 0, '', 'B', 'V1'), "
           "(930004, 'LKXB0004', '', '', '', '', 'M2', '', '', 0, '', 'LKAWB1002', NULL, '', 0, 0, '', 'A', 'V2'), "
           "(930005, 'LKXB0005', '', '', '', '', 'M1', '', '', 0, '', 'LKAWB1003', NULL, '', 0, 0, '', 'A', 'V1'), "
           "(930006, 'LKXB0006', '', '', '', '', 'M1', '', '', 0, '', 'LKAWB1004', NULL, '', 0, 0, '', 'A', 'V1'), "
           "(930007, 'LKXB0007', '', '', '', '', 'M1', '', '', 0, '', 'LKNOPACK', NULL, '', 0, 0, '', '', '')"));
  PdaClient pda(host_.port(), kPda);
  const std::string bag = Utf8(
      "\"ixID\":930001,\"iState\":2,\"iItem\":12,\"fWeight\":34.500,\"dInput\":\"2026-06-05 10:11:12\","
      "\"cInput\":\"Op In\",\"cFrom\":\"SZX\",\"cDes\":\"悉尼\",\"cStation\":\"SZX\",\"cStationd\":\"SYD\","
      "\"cTransNote\":\"note\",\"cOrder\":\"ORD1\",\"cAwb\":\"LKAWB1001\",\"cHandleNo\":\"H1\",\"cBy1\":\"A\","
      "\"cBy2\":\"\",\"cBy3\":\"\",\"cBy4\":\"\",\"cBy5\":\"V1\",\"cMark\":\"M1\",\"cMemo\":\"memo \\x221\\x22\","
      "\"cFlightNo\":\"CX101\",\"cAirport\":\"HKG\",\"dDepart\":\"2026-06-05 14:35\"");
  auto head = [](int field, int total) {
    return "{\"ReturnValue\":1,\"cxNo\":\"LKXB0001\",\"nCheckField\":" + std::to_string(field) +
           ",\"nTotalType\":" + std::to_string(total) + ",";
  };
  Check(pda,
        {
            {"the bag alone", "pdaxBagQuery", ",\"cxNo\":\"LKXB0001\"", head(0, 0) + bag + "}"},
            {"the same waybill by mark", "pdaxBagQuery", ",\"cxNo\":\"LKXB0001\",\"nTotalType\":1",
             head(0, 1) + bag + ",\"TotalList\":[{\"cValue\":\"M1\",\"iCount\":2},{\"cValue\":\"M2\",\"iCount\":1}]}"},
            {"field 9 counts by cby5 and is echoed as sent", "pdaxBagQuery",
             ",\"cxNo\":\"LKXB0001\",\"nCheckField\":9,\"nTotalType\":1",
             head(9, 1) + bag + ",\"TotalList\":[{\"cValue\":\"\",\"iCount\":1},{\"cValue\":\"V1\",\"iCount\":2}]}"},
            {"the same flight and day by cby1 (field -1 is the mark)", "pdaxBagQuery",
             ",\"cxNo\":\"LKXB0001\",\"nCheckField\":-1,\"nTotalType\":2",
             head(-1, 2) + bag + ",\"TotalList\":[{\"cValue\":\"M1\",\"iCount\":2},{\"cValue\":\"M2\",\"iCount\":2}]}"},
            {"the same airport and day", "pdaxBagQuery", ",\"cxNo\":\"LKXB0001\",\"nCheckField\":1,\"nTotalType\":3",
             head(1, 3) + bag + ",\"TotalList\":[{\"cValue\":\"A\",\"iCount\":4},{\"cValue\":\"B\",\"iCount\":1}]}"},
            {"a bag whose waybill has no pack", "pdaxBagQuery", ",\"cxNo\":\"LKXB0007\"", Code(0)},
            {"an unknown bag", "pdaxBagQuery", ",\"cxNo\":\"LKXB9999\"", Code(0)},
            {"a short number", "pdaxBagQuery", ",\"cxNo\":\"LKX\"", Code(-12)},
        });

  Check(pda, {
                 {"an empty mark clears it", "pdaxBagSet", ",\"cxNo\":\"LKXB0002\",\"cMark\":\"\"",
                  "{\"ReturnValue\":930002,\"ixID\":930002,\"cxNo\":\"LKXB0002\",\"iUpdate\":1}"},
                 {"hostile texts are stored as sent", "pdaxBagSet",
                  Utf8(",\"cxNo\":\"LKXB0003\",\"cBy5\":\"x'); DELETE FROM "
                       "dbo.client_rec_xbag;--\",\"cBy2\":\"二\",\"cmark\":\"no\""),
                  "{\"ReturnValue\":930003,\"ixID\":930003,\"cxNo\":\"LKXB0003\",\"iUpdate\":2}"},
                 {"only the number", "pdaxBagSet", ",\"cxNo\":\"LKXB0002\"", Code(-13)},
                 {"an unknown bag", "pdaxBagSet", ",\"cxNo\":\"LKXB9999\",\"cMark\":\"x\"", Code(-2)},
                 {"a short number", "pdaxBagSet", ",\"cxNo\":\"LKX\",\"cMark\":\"x\"", Code(-12)},
             });
  EXPECT_EQ(db_.Query("SELECT ixid, cmark, cby2, cby5, clastmod, dlastmod IS NOT NULL FROM dbo.client_rec_xbag "
                      "WHERE ixid IN (930002, 930003) ORDER BY ixid"),
            (std::vector<std::vector<std::string>>{
                {"930002", "", "", "", "LkOp1", "1"},
                {"930003", "M2", "二", "x'); DELETE FROM dbo.client_rec_xbag;--", "LkOp1", "1"}}));
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.client_rec_xbag WHERE cxno LIKE 'LKXB%'"), "7");

  // An UPDATE the database refuses is answered "-9", not success, and changes nothing.
  ASSERT_TRUE(
      Exec(db_, "ALTER TABLE dbo.client_rec_xbag ADD CONSTRAINT lk_test_refuse CHECK (cby4 <> 'REFUSE') NOT VALID"));
  EXPECT_EQ(pda.Body("pdaxBagSet", ",\"cxNo\":\"LKXB0002\",\"cMark\":\"M9\",\"cBy4\":\"REFUSE\""), Code(-9));
  ASSERT_TRUE(Exec(db_, "ALTER TABLE dbo.client_rec_xbag DROP CONSTRAINT lk_test_refuse"));
  EXPECT_EQ(db_.Scalar("SELECT cmark || '|' || cby4 FROM dbo.client_rec_xbag WHERE ixid = 930002"), "|");
}

TEST_F(PdaLookupTest, RecordQueries) {
  ASSERT_TRUE(
      Exec(db_,
           "INSERT INTO dbo.rec_trans (iid, icid, biid, irid, nitemtype, fweight, famount, ddate, cmemo, iitem, "
           "cgoods, iquantity, iprice, cmoney, idvalue, iivalue, cf_emskind, cf_num, cmark, drdate, crname, "
           "nopen, cshelf, cex3) VALUES "
           "(930001, 930001, 930005, 0, 1, 1.25, 30.5, '2026-06-01 08:00:01', 'old', 1, '', 0, 0, '', 0, 0, '', "
           "'LKTR000001', '', NULL, '', 0, '', ''), "
           "(930002, 930002, 930006, 7, 2, 2.5, 12.34, '2026-06-02 09:10:11', '备注', 3, '鞋', 2, 1999, 'AUD', "
           "12345, 99, 'EMS', 'LKTR000001', 'MK', '2026-06-03 10:00:00', 'Rcv Op', 1, 'A-01', 'ex3'), "
           "(930003, 930001, 0, 0, 1, 1, 1, '2026-06-01', '', 1, '', 0, 0, '', 0, 0, '', 'LKTR000002', '', "
           "'2000-12-31 23:00:00', 'Early', 0, '', '')"));
  PdaClient pda(host_.port(), kPda);
  const std::string newest = Utf8(
      "\"iID\":930002,\"ibID\":930006,\"irID\":7,\"icID\":930002,\"cAccount\":\"LKACC2\",\"cUnitName\":\"B Co\","
      "\"nItemType\":2,\"nOpen\":1,\"dDate\":\"2026-06-02 09:10:11\",\"cNum\":\"LKTR000001\",\"cEmsKind\":\"EMS\","
      "\"cShelf\":\"A-01\",\"dDate_r\":\"2026-06-03 10:00:00\",\"cName_r\":\"Rcv Op\",\"fWeight\":2.500,\"iItem\":3,"
      "\"fAmount\":12.34,\"cMark\":\"MK\",\"cMemo\":\"备注\",\"cEx1\":\"\",\"cEx2\":\"\",\"cEx3\":\"ex3\","
      "\"cGoods\":\"鞋\",\"iQuantity\":2,\"fPrice\":19.99,\"fGoods\":0.00,\"fGoodsc\":0.00,\"fDValue\":123.45,"
      "\"fIValue\":0.99,\"cMoney\":\"AUD\",\"cPayDir\":\"\",\"cPacking\":\"\",\"cTransNote\":\"\"}");
  Check(pda, {
                 {"the newest of a number two clients share", "pdaTransQuery", ",\"cqNum\":\"lktr000001\"",
                  "{\"ReturnValue\":930002,\"iqcID\":0,\"cqNum\":\"lktr000001\",\"cqAccount\":\"\"," + newest},
                 {"an account that names no client restricts to nothing", "pdaTransQuery",
                  ",\"cqNum\":\"LKTR000001\",\"cqAccount\":\"NOBODY\"",
                  "{\"ReturnValue\":930002,\"iqcID\":-1,\"cqNum\":\"LKTR000001\",\"cqAccount\":\"NOBODY\"," + newest},
                 {"another client's record", "pdaTransQuery", ",\"cqNum\":\"LKTR000002\",\"iqcID\":930002", Code(-2)},
                 {"an account resolves to its client", "pdaTransQuery",
                  ",\"cqNum\":\"LKTR000002\",\"cqAccount\":\"LKACC2\"", Code(-2)},
                 {"an empty number", "pdaTransQuery", ",\"cqNum\":\"\"", Code(-12)},
                 {"a hostile number", "pdaTransQuery", ",\"cqNum\":\"x' OR '1'='1\"", Code(-2)},
             });
  // Received in 2000 or never: the receipt shows empty.
  for (const char* more :
       {",\"cqNum\":\"LKTR000002\",\"iqcID\":930001", ",\"cqNum\":\"LKTR000001\",\"iqcID\":930001"}) {
    const std::string reply = pda.Body("pdaTransQuery", more);
    EXPECT_NE(reply.find("\"dDate_r\":\"\",\"cName_r\":\"\""), std::string::npos) << reply;
  }
  EXPECT_NE(pda.Body("pdaTransQuery", ",\"cqNum\":\"LKTR000001\",\"cqAccount\":\"LKACC1\"")
                .find("{\"ReturnValue\":930001,\"iqcID\":930001,"),
            std::string::npos);
}

TEST_F(PdaLookupTest, PreInputQuery) {
  ASSERT_TRUE(
      Exec(db_,
           "INSERT INTO dbo.rec_pre_input (iid, icid, irid, cnum, cemskind, cdes, fweight, clwh, iprice, "
           "idvalue, creceiver, cgoods, npayway, fgcrate) VALUES "
           "(930001, 930001, 0, 'LKPRE00001', 'LKNOALIAS', '美国', 1.5, '40*30', 1250, 100, '张三', '', 2, 0.1234), "
           "(930002, 930001, 930001, 'LKPRE00002', 'LKNOALIAS', '', 0, '', 0, 0, '', '', 0, 0)"));
  PdaClient pda(host_.port(), kPda);
  const std::string reply = pda.Body("pdaPreInputQuery", ",\"cqNum\":\"LKPRE00001\",\"iqcID\":930001");
  const std::string head = Utf8(
      "{\"ReturnValue\":930001,\"iqcID\":930001,\"cqNum\":\"LKPRE00001\",\"cqAccount\":\"\",\"iID\":930001,"
      "\"irID\":0,\"icID\":930001,\"cAccount\":\"LKACC1\",\"cUnitName\":\"甲公司\",\"nItemType\":1,");
  EXPECT_EQ(reply.rfind(head, 0), 0u) << reply;
  for (const std::string piece : {"\"cEmsKind\":\"LKNOALIAS\",\"cEmsKindi\":\"\",",
                                  "\"fWeight\":1.500,\"iLong\":40,"
                                  "\"iWidth\":30,\"iHeight\":0,",
                                  "\"siPayWay\":2,", "\"fPrice\":12.50,", "\"fDValue\":1.00,", "\"fGCRate\":0.1234,"}) {
    EXPECT_NE(reply.find(piece), std::string::npos) << piece << " in " << reply;
  }
  EXPECT_NE(reply.find(Utf8("\"cReceiver\":\"张三\"")), std::string::npos);
  // A pre-input shipment already converted is still shown.
  EXPECT_EQ(pda.Body("pdaPreInputQuery", ",\"cqNum\":\"LKPRE00002\"").substr(0, 40),
            "{\"ReturnValue\":930002,\"iqcID\":0,\"cqNum\":");
  EXPECT_EQ(pda.Body("pdaPreInputQuery", ",\"cqNum\":\"LKPRE00001\",\"iqcID\":930002"), Code(-2));
  EXPECT_EQ(pda.Body("pdaPreInputQuery", ""), Code(-12));
}

TEST_F(PdaLookupTest, NumberIssue) {
  ASSERT_TRUE(
      Exec(db_, "INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, inext) VALUES (93001, 'LK', 'X', 6, 41)"));
  PdaClient pda(host_.port(), kPda);
  Check(pda,
        {
            {"a number of the rule", "pdaGetNum", ",\"iID\":93001,\"icID\":930001",
             "{\"ReturnValue\":1,\"iID\":93001,\"cNum\":\"LK000041X\"}"},
            {"the next one", "pdaGetNum", ",\"iID\":93001", "{\"ReturnValue\":1,\"iID\":93001,\"cNum\":\"LK000042X\"}"},
            {"a rule that does not exist", "pdaGetNum", ",\"iID\":93009", Code(0)},
            {"rule 1 is refused", "pdaGetNum", ",\"iID\":1", Code(-12)},
            {"no rule", "pdaGetNum", "", Code(-12)},
        });
}

TEST_F(PdaLookupTest, OtherNamesOfTheDoor) {
  PdaClient pda(host_.port(), kPda);
  EXPECT_EQ(pda.Body("pdaRecExcept"), "");
  // Names are compared exactly; a name the door does not serve answers "-4".
  for (const char* name : {"pdarecexcept", "pdaNoSuchRequest"}) EXPECT_EQ(pda.Body(name), Code(-4)) << name;
}

}  // namespace
