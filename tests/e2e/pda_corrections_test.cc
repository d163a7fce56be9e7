// Corrections over HTTP through DoPda against the test database: record edits ("pdaRecMod"),
// returns to the sender and into a depot with the failed-scan record ("pdaRecReturn"), transfer
// receipt by full and partial number ("pdaTransRcv") and shelving ("pdaTransShelfPut"). Rows of
// this test use ids 932001-932099, numbers beginning "CR", depots "CR1"/"CR2" and the PDA users
// "PDACR1" (station SZX) and "PDACR2".

#include <gtest/gtest.h>

#include <string>
#include <thread>
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

using Rows = std::vector<std::vector<std::string>>;

constexpr char kPda[] = "PDACR1";
constexpr char kPda2[] = "PDACR2";

bool Exec(TestDb& db, const std::string& sql) {
  const bool ok = db.Exec(sql);
  EXPECT_TRUE(ok) << sql << ": " << db.error();
  return ok;
}

class PdaCorrectionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE(twtest::pda::SetPdaKey(db));
    const char* sqls[] = {
        "DELETE FROM dbo.man_main WHERE cpda LIKE 'PDACR%'",
        "DELETE FROM dbo.client_arc WHERE icid BETWEEN 932001 AND 932099",
        "DELETE FROM dbo.client_rec WHERE irid BETWEEN 932001 AND 932099",
        "DELETE FROM dbo.client_rec_return WHERE irid BETWEEN 932001 AND 932099",
        "DELETE FROM dbo.check_scan_err WHERE cnum LIKE 'CR%'",
        "DELETE FROM dbo.w_return WHERE irid BETWEEN 932001 AND 932099",
        "DELETE FROM dbo.w_depot WHERE cdepot IN ('CR1', 'CR2')",
        "DELETE FROM dbo.w_operate_define WHERE cdepot IN ('CR1', 'CR2')",
        "DELETE FROM dbo.w_client WHERE cdepot IN ('CR1', 'CR2')",
        "DELETE FROM dbo.rec_trans WHERE icid BETWEEN 932001 AND 932099 OR cf_num LIKE 'CR%'",
        "INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('PDACR1', 'CrOp''1', 'SZX'), ('PDACR2', 'CrOp2', "
        "'')",
        "INSERT INTO dbo.client_arc (icid, capikey, cstation) VALUES (932001, 'CrKey932001', 'SZX'), "
        "(932002, 'CrKey932002', 'PEK'), (932003, 'CrKey932003', 'SZX')",
        "INSERT INTO dbo.w_depot (cdepot, cname, fwpufee, nstate) VALUES ('CR1', 'CR仓', 1.5, 0), ('CR2', 'CR Two', 0, "
        "0)",
        "INSERT INTO dbo.w_operate_define (cdepot, ntype, ngrade, cname, cnamee, iseconds, cpoint, cmoney, fwage) "
        "VALUES ('CR1', 7, 2, '退件', 'Return', 30, 'P7', 'CNY', 0.8)",
        "INSERT INTO dbo.w_client (icid, cdepot) VALUES (932001, 'CR1')",
        "INSERT INTO dbo.client_rec (irid, icid, cnum, cserviceno, nstate, cemskind, cdes, fweight, fweights, famount, "
        "iitem, cgoods) VALUES "
        "(932001, 932001, 'CRREC00001', 'CRSVC00001', 0, 'K1', 'D1', 1, 1, 10, 1, ''), "
        "(932002, 932002, 'CRREC00002', '', 0, 'K1', 'D1', 1, 1, 10, 1, ''), "
        "(932003, 932001, 'CRREC00003', '', 3, 'K1', 'D1', 1, 1, 10, 1, ''), "
        "(932010, 932001, 'CRRET00010', 'CRSVR00010', 0, 'CRK', '悉尼', 2.5, 2.75, 88.8, 3, '鞋'), "
        "(932011, 932002, 'CRRET00011', '', 0, 'K1', 'D1', 1, 1, 10, 1, ''), "
        "(932012, 932001, 'CRRET00012', '', 0, 'K1', 'D1', 2, 2, 10, 1, ''), "
        "(932013, 932003, 'CRRET00013', '', 0, 'K1', 'D1', 4, 4, 10, 1, ''), "
        "(932014, 932001, 'CRRET00014', '', 0, 'K1', 'D1', 1, 1, 10, 1, ''), "
        "(932015, 932001, 'CRRET00015', '', 0, 'K1', 'D1', 1, 1, 10, 1, ''), "
        "(932016, 932001, 'CRRET00016', '', 0, 'K1', 'D1', 1, 1, 10, 1, ''), "
        "(932017, 932001, 'CRRET00017', '', 0, 'K1', 'D1', 1, 1, 10, 1, '')",
        "UPDATE dbo.client_rec SET dreturn = '1999-12-31 10:00' WHERE irid = 932016",
    };
    for (const char* sql : sqls) ASSERT_TRUE(Exec(db, sql));
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

  TestHost host_;
  TestDb db_;
};

// ---- record edits ---------------------------------------------------------------------------------------

TEST_F(PdaCorrectionsTest, EditsEveryMappedField) {
  struct Field {
    const char* key;
    const char* column;
    std::string value;  // as sent (UTF-8 on the wire)
    std::string stored;
  } fields[] = {
      {"cNo", "cserviceno", "CRSVC00099", "CRSVC00099"},
      {"cRNo", "crno", "R-1", "R-1"},
      {"cCNo", "ccno", "C-1", "C-1"},
      {"cMark", "cmark", "1234567890123456789", "123456789012345"},  // cut to 15
      {"cReserve", "creserve", "res", "res"},
      {"cBy1", "cby1", "O'Brien", "O'Brien"},
      {"cBy2", "cby2", "b2", "b2"},
      {"cBy3", "cby3", "x'); DELETE FROM dbo.client_rec;--", "x'); DELETE FROM dbo.client_rec;--"},
      {"cBy4", "cby4", "b4", "b4"},
      {"cBy5", "cby5", Utf8("第五"), "第五"},
      {"cPacking", "cpacking", "BOX", "BOX"},
      {"cTransNote", "ctransnote", "note", "note"},
      {"cSender", "csender", Utf8("张三"), "张三"},
      {"cSUnit", "csunitname", "Unit", "Unit"},
      {"cSAddr", "csaddr", "Addr 1", "Addr 1"},
      {"cSPhone", "csphone", "123", "123"},
      {"cSPostcode", "cspostcode", "518000", "518000"},
      {"cSCountry", "cscountry", "CN", "CN"},
      {"cSProvince", "csprovince", "GD", "GD"},
      {"cSCity", "cscity", "SZ", "SZ"},
      {"cSSms", "csmsnumber", "138", "138"},
      {"cSEMail", "csemail", "a@b.c", "a@b.c"},
      {"cDepart", "cdepart", "Dep", "Dep"},
  };
  std::string more = ",\"cNum\":\"CRREC00001\"";
  std::string columns;
  std::vector<std::string> stored;
  for (const Field& f : fields) {
    more += ",\"" + std::string(f.key) + "\":\"" + f.value + "\"";
    columns += std::string(columns.empty() ? "" : ",") + f.column;
    stored.push_back(f.stored);
  }
  PdaClient pda(host_.port(), kPda);
  // The reply names the numbers as they were before the change.
  EXPECT_EQ(pda.Body("pdaRecMod", more),
            "{\"ReturnValue\":932001,\"irID\":932001,\"cNum\":\"CRREC00001\",\"cNo\":\"CRSVC00001\",\"nState\":0,"
            "\"iUpdate\":23}");
  EXPECT_EQ(db_.Query("SELECT " + columns + " FROM dbo.client_rec WHERE irid = 932001"), (Rows{stored}));
  EXPECT_EQ(db_.Query("SELECT clastmod, dlastmod IS NOT NULL FROM dbo.client_rec WHERE irid = 932001"),
            (Rows{{"CrOp'1", "1"}}));

  // Found by the new service number; an empty value clears its column and counts as given.
  EXPECT_EQ(pda.Body("pdaRecMod", ",\"cNum\":\"crsvc00099\",\"bNo\":true,\"cMark\":\"\",\"icID\":932001"),
            "{\"ReturnValue\":932001,\"irID\":932001,\"cNum\":\"CRREC00001\",\"cNo\":\"CRSVC00099\",\"nState\":0,"
            "\"iUpdate\":1}");
  EXPECT_EQ(db_.Scalar("SELECT cmark || '|' || cby1 FROM dbo.client_rec WHERE irid = 932001"), "|O'Brien");
}

TEST_F(PdaCorrectionsTest, EditRefusals) {
  PdaClient pda(host_.port(), kPda);
  PdaClient noStation(host_.port(), kPda2);
  struct Case {
    const char* what;
    PdaClient& from;
    std::string more;
    std::string want;
  } cases[] = {
      {"a short number", pda, ",\"cNum\":\"CRREC1\",\"cMark\":\"x\"", Code(-12)},
      {"no mapped key", pda, ",\"cNum\":\"CRREC00003\",\"cmark\":\"x\",\"cMemo\":\"x\"", Code(-13)},
      {"a record that does not exist", pda, ",\"cNum\":\"CRNOREC001\",\"cMark\":\"x\"", Code(-2)},
      {"another client's record", pda, ",\"cNum\":\"CRREC00003\",\"icID\":932002,\"cMark\":\"x\"", Code(-2)},
      {"another station's client", pda, ",\"cNum\":\"CRREC00002\",\"cMark\":\"x\"", Code(-14)},
      {"not delivered", pda, ",\"cNum\":\"CRREC00003\",\"bNotDelivered\":true,\"cMark\":\"x\"", Code(-15)},
      {"an operator without station edits any", noStation, ",\"cNum\":\"CRREC00002\",\"cMark\":\"ok2\"",
       "{\"ReturnValue\":932002,\"irID\":932002,\"cNum\":\"CRREC00002\",\"cNo\":\"\",\"nState\":0,\"iUpdate\":1}"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.from.Body("pdaRecMod", c.more), c.want) << c.what;
  EXPECT_EQ(db_.Query("SELECT irid, cmark FROM dbo.client_rec WHERE irid IN (932002, 932003) ORDER BY irid"),
            (Rows{{"932002", "ok2"}, {"932003", ""}}));

  // An UPDATE the database refuses is answered "-9" and changes nothing.
  ASSERT_TRUE(Exec(db_, "ALTER TABLE dbo.client_rec ADD CONSTRAINT cr_test_refuse CHECK (cby4 <> 'REFUSE') NOT VALID"));
  EXPECT_EQ(pda.Body("pdaRecMod", ",\"cNum\":\"CRREC00003\",\"cMark\":\"m\",\"cBy4\":\"REFUSE\""), Code(-9));
  ASSERT_TRUE(Exec(db_, "ALTER TABLE dbo.client_rec DROP CONSTRAINT cr_test_refuse"));
  EXPECT_EQ(db_.Scalar("SELECT cmark || '|' || cby4 FROM dbo.client_rec WHERE irid = 932003"), "|");
}

// ---- returns --------------------------------------------------------------------------------------------

TEST_F(PdaCorrectionsTest, ReturnToTheSender) {
  PdaClient pda(host_.port(), kPda);
  const std::string more = Utf8(
      ",\"cNum\":\"CRRET00010\",\"fWeight\":2.6,\"cDate\":\"2026-06-01 10:20:30\","
      "\"cPlace\":\"深圳\",\"cInfo\":\"退回'发件人\",\"cPlaceE\":\"SZ\",\"cInfoE\":\"back\","
      "\"cCtrlCode\":\"RT1\",\"cMark\":\"unused\"");
  const std::string reply = pda.Body("pdaRecReturn", more);
  const std::string id = db_.Scalar("SELECT iid FROM dbo.client_rec_return WHERE irid = 932010");
  ASSERT_FALSE(id.empty()) << reply;
  EXPECT_EQ(reply, Utf8("{\"ReturnValue\":" + id +
                        ",\"irID\":932010,\"ioID\":0,\"cDepot\":\"\",\"cNum\":\"CRRET00010\",\"cNo\":\"CRSVR00010\","
                        "\"cDes\":\"悉尼\",\"cEmsKind\":\"CRK\",\"cGoods\":\"鞋\",\"fWeight\":2.500,\"fWeights\":2.750,"
                        "\"nItemType\":1,\"iItem\":3,\"fAmount\":88.80}"));
  EXPECT_EQ(db_.Query("SELECT cnum, cctrlcode, nsys, cstation, cdate, cplace, cinfo, cplacee, cinfoe, copname, fweight "
                      "FROM dbo.client_rec_return WHERE irid = 932010"),
            (Rows{{"CRRET00010", "RT1", "0", "SZX", "2026-06-01 10:20:30", "深圳", "退回'发件人", "SZ", "back",
                   "CrOp'1", "2.600"}}));
  EXPECT_EQ(db_.Query("SELECT dreturn, creturn FROM dbo.client_rec WHERE irid = 932010"),
            (Rows{{"2026-06-01 10:20:30", "CrOp'1"}}));
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.w_return WHERE irid = 932010"), "0");

  // A second return is refused and recorded as a failed scan, as are the other refusals.
  struct Case {
    const char* what;
    std::string more;
    std::string want;
    const char* number;
  } cases[] = {
      {"returned already", ",\"cNum\":\"CRRET00010\",\"fWeight\":1.25,\"cPlace\":\"P2\",\"cInfo\":\"again\"", Code(-13),
       "CRRET00010"},
      {"no record", ",\"cNum\":\"CRNORET001\",\"cInfo\":\"none\"", Code(-2), "CRNORET001"},
      {"another station's client", ",\"cNum\":\"CRRET00011\",\"cInfo\":\"far\"", Code(-15), "CRRET00011"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pda.Body("pdaRecReturn", c.more), c.want) << c.what;
    EXPECT_EQ(db_.Scalar(std::string("SELECT count(*) FROM dbo.check_scan_err WHERE cnum = '") + c.number + "'"), "1")
        << c.what;
  }
  EXPECT_EQ(db_.Query("SELECT cstation, ntype, cdate, cplace, cinfo, fweight, nkind, copname, nsource, ncode "
                      "FROM dbo.check_scan_err WHERE cnum = 'CRRET00010'"),
            (Rows{{"SZX", "4", "", "P2", "again", "1.250", "8", "CrOp'1", "2", "10"}}));
  EXPECT_EQ(pda.Body("pdaRecReturn", ",\"cNum\":\"CRRET1\""), Code(-12));

  // A return before 2000 is no return; the server's date with bSysDate.
  EXPECT_EQ(pda.Body("pdaRecReturn", ",\"cNum\":\"CRRET00016\",\"bSysDate\":true,\"cDate\":\"2026-01-01\"")
                .rfind("{\"ReturnValue\":", 0),
            0u);
  EXPECT_EQ(db_.Scalar("SELECT dreturn::date = CURRENT_DATE FROM dbo.client_rec WHERE irid = 932016"), "1");
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.client_rec_return WHERE irid = 932016"), "1");
}

TEST_F(PdaCorrectionsTest, ReturnIntoADepot) {
  PdaClient pda(host_.port(), kPda);
  const std::string today = db_.Scalar("SELECT to_char(CURRENT_DATE, 'YYYYMMDD')");
  struct Case {
    const char* what;
    int irid;
    std::string number, depot;
    Rows booking;  // ctype, cdepot, icid, nitem, fweight, coperate, famount, iday, cname, cnamee, cpoint,
                   // cmoney, copname, ngrade, iseconds, fwage
  } cases[] = {
      {"a client of the depot",
       932012,
       "CRRET00012",
       "CR1",
       {{"o", "CR1", "932001", "1", "2.000", "入库:退件", "3.00", today, "退件", "Return", "P7", "CNY", "CrOp'1", "2",
         "30", "0.8000"}}},
      {"another client",
       932013,
       "CRRET00013",
       "CR1",
       {{"e", "CR1", "932003", "0", "4.000", "入库:退件", "6.00", today, "退件", "Return", "P7", "CNY", "CrOp'1", "2",
         "30", "0.8000"}}},
      {"a depot without a return operation",
       932014,
       "CRRET00014",
       "CR2",
       {{"e", "CR2", "932001", "0", "1.000", "入库:退件", "0.00", today, "", "", "", "", "CrOp'1", "0", "0",
         "0.0000"}}},
  };
  for (const Case& c : cases) {
    const std::string reply = pda.Body("pdaRecReturn", ",\"cNum\":\"" + c.number + "\",\"cDepot\":\"" + c.depot + "\"");
    const std::string ioid = db_.Scalar("SELECT ioid FROM dbo.w_return WHERE irid = " + std::to_string(c.irid));
    const std::string rid = db_.Scalar("SELECT iid FROM dbo.client_rec_return WHERE irid = " + std::to_string(c.irid));
    ASSERT_FALSE(ioid.empty()) << c.what << ": " << reply;
    EXPECT_EQ(reply.rfind("{\"ReturnValue\":" + rid + ",\"irID\":" + std::to_string(c.irid) + ",\"ioID\":" + ioid +
                              ",\"cDepot\":\"" + c.depot + "\",",
                          0),
              0u)
        << c.what << ": " << reply;
    EXPECT_EQ(db_.Query("SELECT ctype, cdepot, icid, nitem, fweight, coperate, famount, iday, cname, cnamee, cpoint, "
                        "cmoney, copname, ngrade, iseconds, fwage FROM dbo.w_return WHERE irid = " +
                        std::to_string(c.irid)),
              c.booking)
        << c.what;
  }
  // A depot that does not exist is refused before anything is stored.
  EXPECT_EQ(pda.Body("pdaRecReturn", ",\"cNum\":\"CRRET00015\",\"cDepot\":\"CRX\""), Code(-831));
  EXPECT_EQ(db_.Query("SELECT dreturn IS NULL, (SELECT count(*) FROM dbo.client_rec_return WHERE irid = 932015), "
                      "(SELECT count(*) FROM dbo.check_scan_err WHERE cnum = 'CRRET00015') FROM dbo.client_rec "
                      "WHERE irid = 932015"),
            (Rows{{"1", "0", "0"}}));
}

TEST_F(PdaCorrectionsTest, TwoPdasReturnTheSameShipmentOnce) {
  std::string replies[2];
  std::thread threads[2];
  for (int i = 0; i < 2; ++i) {
    threads[i] = std::thread([&, i] {
      PdaClient pda(host_.port(), i == 0 ? kPda : kPda2);
      replies[i] = pda.Body("pdaRecReturn", ",\"cNum\":\"CRRET00017\",\"cDepot\":\"CR1\"");
    });
  }
  for (std::thread& t : threads) t.join();
  const int successes = (replies[0].rfind("{\"ReturnValue\":", 0) == 0 && replies[0] != Code(-13)) +
                        (replies[1].rfind("{\"ReturnValue\":", 0) == 0 && replies[1] != Code(-13));
  EXPECT_EQ(successes, 1) << replies[0] << " / " << replies[1];
  EXPECT_TRUE(replies[0] == Code(-13) || replies[1] == Code(-13)) << replies[0] << " / " << replies[1];
  EXPECT_EQ(db_.Query("SELECT (SELECT count(*) FROM dbo.client_rec_return WHERE irid = 932017), "
                      "(SELECT count(*) FROM dbo.w_return WHERE irid = 932017), "
                      "(SELECT count(*) FROM dbo.check_scan_err WHERE cnum = 'CRRET00017')"),
            (Rows{{"1", "1", "1"}}));
}

// ---- transfer receipt and shelving -----------------------------------------------------------------------

// Transfers carry their receiving station: an operator of another station is refused.
class PdaTransferTest : public PdaCorrectionsTest {
 protected:
  void SetUp() override {
    PdaCorrectionsTest::SetUp();
    if (!twtest::DatabaseConfigured()) return;
    ASSERT_TRUE(Exec(db_, "DELETE FROM dbo.rec_trans WHERE icid BETWEEN 932001 AND 932099 OR cf_num LIKE 'CR%'"));
    ASSERT_TRUE(Exec(db_,
                     "INSERT INTO dbo.rec_trans (iid, icid, irid, cf_num, cf_emskind, cmark, cmemo, cstationr, crname, "
                     "drdate, cshelf) VALUES "
                     "(932001, 932001, 0, 'CRTR000001', '', '', '', 'SZX', '', NULL, 'A-00'), "
                     "(932002, 932001, 0, 'CRTR000002-2', 'EMS', 'TM', 'own memo', 'SZX', '', NULL, ''), "
                     "(932003, 932001, 0, 'CRTR0000029', '', '', '', 'SZX', '', NULL, ''), "
                     "(932004, 932001, 0, 'CR5ABTR-1', '', '', '', 'SZX', '', NULL, ''), "
                     "(932005, 932001, 0, 'CR5%_TR-1', '', '', '', 'SZX', '', NULL, ''), "
                     "(932006, 932001, 0, 'CRTR000006', '', '', '', 'SZX', 'Rcv', '2026-05-01', ''), "
                     "(932007, 932001, 0, 'CRTR000007', '', '', '', 'SZX', 'Old', '2000-06-01', ''), "
                     "(932008, 932001, 0, 'CRTR000008', '', '', '', 'PEK', '', NULL, ''), "
                     "(932009, 932001, 5, 'CRTR000009', '', '', '', 'SZX', '', NULL, ''), "
                     "(932010, 932001, 0, 'CRTR000010', '', '', '', 'SZX', '', NULL, 'S-1')"));
  }
};

TEST_F(PdaTransferTest, ReceiptOfKnownTransfers) {
  PdaClient pda(host_.port(), kPda);
  // By the full number, the scan normalised (lower case, a blank); sides beyond 999 are 999.
  EXPECT_EQ(pda.Body("pdaTransRcv",
                     ",\"cNo\":\"crtr 000001\",\"fWeight\":1.234,\"iLong\":1200,\"iWidth\":20,"
                     "\"iHeight\":-3,\"cShelf\":\"A-01\",\"cMemo\":\"m1\",\"iItem\":0,\"cMark\":\"RM\","
                     "\"cEmsKind_f\":\"RK\""),
            "{\"ReturnValue\":932001,\"cNo\":\"CRTR000001\",\"icID\":932001,\"cEmsKind_f\":\"RK\",\"cMark\":\"RM\","
            "\"cMemo\":\"m1\"}");
  EXPECT_EQ(db_.Query("SELECT crname, drdate IS NOT NULL, fweight, iitem, cshelf, icubic, il, iw, ih, cmemo, cmark "
                      "FROM dbo.rec_trans WHERE iid = 932001"),
            (Rows{{"CrOp'1", "1", "1.234", "1", "A-01", "0", "999", "20", "0", "m1", ""}}));
  struct Case {
    const char* what;
    std::string more;
    std::string want;
  } cases[] = {
      {"a number finds its split parcel, whose mark, kind and memo answer",
       ",\"cNo\":\"CRTR000002\",\"iLong\":10,"
       "\"iWidth\":20,\"iHeight\":30,\"cMark\":\"RM\",\"cMemo\":\"sent memo\"",
       "{\"ReturnValue\":932002,\"cNo\":\"CRTR000002\",\"icID\":932001,\"cEmsKind_f\":\"EMS\",\"cMark\":\"TM\","
       "\"cMemo\":\"own memo\"}"},
      {"% and _ in the number match only themselves", ",\"cNo\":\"CR5%_TR\"",
       "{\"ReturnValue\":932005,\"cNo\":\"CR5%_TR\",\"icID\":932001,\"cEmsKind_f\":\"\",\"cMark\":\"\",\"cMemo\":"
       "\"\"}"},
      {"received in 2000 counts as not received", ",\"cNo\":\"CRTR000007\"",
       "{\"ReturnValue\":932007,\"cNo\":\"CRTR000007\",\"icID\":932001,\"cEmsKind_f\":\"\",\"cMark\":\"\",\"cMemo\":"
       "\"\"}"},
      {"received already", ",\"cNo\":\"CRTR000006\"", Code(-16)},
      {"a second receipt", ",\"cNo\":\"CRTR000001\"", Code(-16)},
      {"another station's transfer", ",\"cNo\":\"CRTR000008\"", Code(-15)},
      {"a short number", ",\"cNo\":\"CR 'TR1\"", Code(-12)},
  };
  for (const Case& c : cases) EXPECT_EQ(pda.Body("pdaTransRcv", c.more), c.want) << c.what;
  EXPECT_EQ(db_.Query("SELECT iid, icubic, il, iw, ih, cmemo FROM dbo.rec_trans WHERE iid IN (932002, 932003, 932004) "
                      "ORDER BY iid"),
            (Rows{{"932002", "6000", "10", "20", "30", "sent memo"},
                  {"932003", "0", "0", "0", "0", ""},
                  {"932004", "0", "0", "0", "0", ""}}));
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.rec_trans WHERE iid IN (932003, 932004) AND crname = ''"), "2");
}

TEST_F(PdaTransferTest, UnclaimedAndNewTransfers) {
  PdaClient pda(host_.port(), kPda);
  // Unclaimed: an empty memo takes "|" + kind and "|" + mark.
  const std::string first = pda.Body("pdaTransRcv",
                                     ",\"cNo\":\"CRUC000001\",\"fWeight\":0.5,\"cShelf\":\"U-1\","
                                     "\"cEmsKind_f\":\"EMS\",\"cMark\":\"M1\",\"iItem\":2");
  const std::string id = db_.Scalar("SELECT iid FROM dbo.rec_trans WHERE cf_num = 'CRUC000001'");
  ASSERT_FALSE(id.empty()) << first;
  EXPECT_EQ(first,
            "{\"ReturnValue\":" + id +
                ",\"cNo\":\"CRUC000001\",\"icID\":0,\"cEmsKind_f\":\"EMS\",\"cMark\":\"M1\",\"cMemo\":\"|EMS|M1\"}");
  EXPECT_EQ(
      db_.Query("SELECT icid, cmemo, crname, cshelf, iitem, fweight, cstationr FROM dbo.rec_trans WHERE iid = " + id),
      (Rows{{"0", "|EMS|M1", "CrOp'1", "U-1", "2", "0.500", "SZX"}}));
  // The unclaimed number again: refused, once stored.
  EXPECT_EQ(pda.Body("pdaTransRcv", ",\"cNo\":\"CRUC000001\""),
            Utf8("{\"ReturnValue\":-14,\"cNo\":\"CRUC000001\",\"cMess\":\"同样号码的运单(未认领)已经存在。\"}"));
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.rec_trans WHERE cf_num = 'CRUC000001'"), "1");

  // A parcel of a client that announced none becomes the client's transfer.
  const std::string created = pda.Body("pdaTransRcv",
                                       ",\"cNo\":\"CRNEW00001\",\"icID\":932003,\"fWeight\":3,"
                                       "\"cEmsKind_f\":\"EMS\",\"cMark\":\"N'1\",\"cMemo\":\"memo\"");
  const std::string newId = db_.Scalar("SELECT iid FROM dbo.rec_trans WHERE cf_num = 'CRNEW00001'");
  ASSERT_FALSE(newId.empty()) << created;
  EXPECT_EQ(created,
            "{\"ReturnValue\":" + newId +
                ",\"cNo\":\"CRNEW00001\",\"icID\":0,\"cEmsKind_f\":\"EMS\",\"cMark\":\"N'1\",\"cMemo\":\"memo\"}");
  EXPECT_EQ(db_.Query("SELECT icid, cf_emskind, cmark, cmemo, crname FROM dbo.rec_trans WHERE iid = " + newId),
            (Rows{{"932003", "EMS", "N'1", "memo", "CrOp'1"}}));
  // A number the client has as a converted transfer: a duplicate.
  EXPECT_EQ(pda.Body("pdaTransRcv", ",\"cNo\":\"CRTR000009\",\"icID\":932001"),
            Utf8("{\"ReturnValue\":-14,\"cNo\":\"CRTR000009\",\"cMess\":\"运单号重复。\"}"));
  // A client that does not exist.
  EXPECT_EQ(pda.Body("pdaTransRcv", ",\"cNo\":\"CRNEW00002\",\"icID\":932099"),
            Utf8("{\"ReturnValue\":-14,\"cNo\":\"CRNEW00002\",\"cMess\":\"系统错误。\"}"));
}

TEST_F(PdaTransferTest, Shelving) {
  PdaClient pda(host_.port(), kPda);
  EXPECT_EQ(pda.Body("pdaTransShelfPut", ",\"cNo\":\"crtr000010\",\"cShelf\":\"B'-02\""),
            "{\"ReturnValue\":932010,\"cNo\":\"CRTR000010\",\"cShelf_o\":\"S-1\",\"cShelf\":\"B'-02\",\"icID\":932001,"
            "\"cEmsKind_f\":\"\",\"cMemo\":\"\"}");
  EXPECT_EQ(db_.Scalar("SELECT cshelf FROM dbo.rec_trans WHERE iid = 932010"), "B'-02");
  struct Case {
    const char* what;
    std::string more;
    std::string want;
  } cases[] = {
      {"the split parcel of a number", ",\"cNo\":\"CRTR000002\",\"cShelf\":\"C-3\"",
       "{\"ReturnValue\":932002,\"cNo\":\"CRTR000002\",\"cShelf_o\":\"\",\"cShelf\":\"C-3\",\"icID\":932001,"
       "\"cEmsKind_f\":\"EMS\",\"cMemo\":\"own memo\"}"},
      {"no shelf", ",\"cNo\":\"CRTR000010\"", Code(-13)},
      {"no transfer", ",\"cNo\":\"CRTR999999\",\"cShelf\":\"X\"", Code(-2)},
      {"another client's transfer", ",\"cNo\":\"CRTR000010\",\"icID\":932002,\"cShelf\":\"X\"", Code(-2)},
      {"another station's transfer", ",\"cNo\":\"CRTR000008\",\"cShelf\":\"X\"", Code(-15)},
      {"a short number", ",\"cNo\":\"CRTR1\",\"cShelf\":\"X\"", Code(-12)},
  };
  for (const Case& c : cases) EXPECT_EQ(pda.Body("pdaTransShelfPut", c.more), c.want) << c.what;

  ASSERT_TRUE(
      Exec(db_, "ALTER TABLE dbo.rec_trans ADD CONSTRAINT cr_test_refuse CHECK (cshelf <> 'REFUSE') NOT VALID"));
  EXPECT_EQ(pda.Body("pdaTransShelfPut", ",\"cNo\":\"CRTR000010\",\"cShelf\":\"REFUSE\""), Code(-9));
  ASSERT_TRUE(Exec(db_, "ALTER TABLE dbo.rec_trans DROP CONSTRAINT cr_test_refuse"));
  EXPECT_EQ(db_.Scalar("SELECT cshelf FROM dbo.rec_trans WHERE iid = 932010"), "B'-02");
}

}  // namespace
