// The send scan "pdaRecSend" over HTTP through DoPda against the test database: shipments scanned
// into batches of 2026 (above 2^31) with the stored send rows and costs, the four scan procedures
// chosen by their conditions, every refusal of the check sequence, check texts that are short,
// malformed or carry a non-numeric id, and hostile scanned texts. Rows of this test use ids
// 931001-931099, numbers beginning "SD" and the PDA user "PDASD1".

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

constexpr char kPda[] = "PDASD1";
constexpr char kBatch[] = "261101-012-0";   // 2611010120
constexpr char kBatch2[] = "261101-012-1";  // 2611010121

using Rows = std::vector<std::vector<std::string>>;

bool Exec(TestDb& db, const std::string& sql) {
  const bool ok = db.Exec(sql);
  EXPECT_TRUE(ok) << sql << ": " << db.error();
  return ok;
}

// The plain check as the schema defines it, and a stand-in that answers crafted texts for the
// numbers "SDTXT*" (the handler must read whatever the database sends as data).
constexpr char kPlainCheck[] =
    "CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_x_check(p_cnum text, p_isid integer, p_batch bigint, "
    "p_fweights numeric, p_tolerance integer, p_credit integer, p_station text, p_dict64 integer, p_bnotno integer, "
    "OUT rv integer, OUT ctext varchar) LANGUAGE sql AS $$ SELECT * FROM dbo.pda_send_check(p_cnum, '', p_isid, "
    "p_batch, p_fweights, p_tolerance, p_credit, p_station, p_dict64, p_bnotno) $$";
constexpr char kCraftedCheck[] =
    "CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_x_check(p_cnum text, p_isid integer, p_batch bigint, "
    "p_fweights numeric, p_tolerance integer, p_credit integer, p_station text, p_dict64 integer, p_bnotno integer, "
    "OUT rv integer, OUT ctext varchar) LANGUAGE plpgsql AS $$ BEGIN "
    "IF p_cnum LIKE 'SDTXT%' THEN SELECT t.rv, t.ctext INTO rv, ctext FROM dbo.sd_crafted_check t "
    "WHERE t.cnum = p_cnum; RETURN; END IF; "
    "SELECT * INTO rv, ctext FROM dbo.pda_send_check(p_cnum, '', p_isid, p_batch, p_fweights, p_tolerance, "
    "p_credit, p_station, p_dict64, p_bnotno); END $$";

class PdaSendTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE(twtest::pda::SetPdaKey(db));
    const char* sqls[] = {
        "DELETE FROM dbo.man_main WHERE cpda = 'PDASD1'",
        "DELETE FROM dbo.client_arc WHERE icid BETWEEN 931001 AND 931099",
        "DELETE FROM dbo.sp_arc WHERE isid BETWEEN 931001 AND 931099",
        "DELETE FROM dbo.ems_sp WHERE isid BETWEEN 931001 AND 931099",
        "DELETE FROM dbo.ems_kind WHERE cemskind LIKE 'SDK%'",
        "DELETE FROM dbo.ems_area WHERE cemskind LIKE 'SDK%'",
        "DELETE FROM dbo.ems_price WHERE cemskind LIKE 'SDK%'",
        "DELETE FROM dbo.sp_special_price WHERE isid BETWEEN 931001 AND 931099",
        "DELETE FROM dbo.client_rec WHERE irid BETWEEN 931001 AND 931099",
        "DELETE FROM dbo.client_rec_send WHERE irid BETWEEN 931001 AND 931099",
        "DELETE FROM dbo.sp_batch WHERE ibatch BETWEEN 2611010120 AND 2611010129",
        "DELETE FROM dbo.sys_dict WHERE dcname IN ('39', '64')",
        "INSERT INTO dbo.sys_dict (dcname, dcvalue) VALUES ('39', '100')",
        "INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('PDASD1', 'SdOp''1', 'SZX')",
        "INSERT INTO dbo.client_arc (icid, capikey, fcredit) VALUES (931001, 'SdKey931001', 1000), "
        "(931002, 'SdKey931002', 0)",
        "INSERT INTO dbo.sp_arc (isid, cname, nbatch, nstate) VALUES (931001, 'SD供应商', 12, 0), "
        "(931002, 'SD Other', 13, 0), (931003, 'SD Inactive', 14, 1)",
        "INSERT INTO dbo.ems_kind (cemskind, ncost) VALUES ('SDK1', 1), ('SDK0', 0), ('SDK2', 1)",
        "INSERT INTO dbo.ems_area (cemskind, carea, narea, ntype) VALUES ('SDK1', 'SD目的地', 7, 1), "
        "('SDK0', 'SD目的地', 7, 1)",
        "INSERT INTO dbo.ems_price (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
        "itopprice) VALUES ('SDK1', 7, 1, 0, 10000, 0, 0, 0, 5000)",
        "INSERT INTO dbo.ems_sp (isid, cemskind, ipos, fsrate, fprate, fother, nstate) VALUES "
        "(931001, 'SDK1', 10, 1, 1, 2.5, 0), (931001, 'SDK0', 10, 1, 1, 0, 0), (931002, 'SDK1', 10, 1, 1, 0, 0), "
        "(931001, 'SDNOKIND', 10, 1, 1, 0, 0)",
        // 12.00 a kilogram to the destination for supplier 931001.
        "INSERT INTO dbo.sp_special_price (isid, cemskind, carea, nitemtype, ibweight, ieweight, iweightper, ntype, "
        "iprice, baddons) VALUES (931001, 'SDK1', 'SD目的地', 1, 0, 10000, 1000, 1, 1200, 0)",
        "INSERT INTO dbo.sp_batch (ibatch, isid, npaid) VALUES (2611010129, 931001, 1)",
        // The shipments: irid, client, number, service number, kind, destination, weight, amount, cost,
        // supplier of the cost, supplier of the sorting.
        "INSERT INTO dbo.client_rec (irid, icid, cnum, cserviceno, cemskind, cdes, fweight, famount, fcost, isidc, "
        "isids, iitem, cmark, cgoods, cpacking, ctransnote, cawb, cmemo) VALUES "
        "(931001, 931001, 'SDREC00001', 'SDSVC00001', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 2, 'M1', '鞋', 'BOX', "
        "'note', 'AWB1', 'memo  '), "
        "(931002, 931001, 'SDREC00002', '', 'SDK0', 'SD目的地', 1.5, 40, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931003, 931001, 'SDREC00003', '', 'SDK1', 'SD目的地', 2, 60, 5, 931001, 0, 1, '', '', '', '', '', ''), "
        "(931004, 931001, 'SDREC00004', '', 'SDK1', 'SD目的地', 2, 60, 5, 931001, 0, 1, '', '', '', '', '', ''), "
        "(931005, 931001, 'SDREC00005', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931006, 931001, 'SDREC00006', '', 'SDK0', 'SD目的地', 3, 70, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931007, 931001, 'SDREC00007', 'SDSVC00007', 'SDK0', 'SD目的地', 0.0004, 10, 0, 0, 0, 1, '', '', '', '', '', "
        "''), "
        "(931010, 931099, 'SDREC00010', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931011, 0, 'SDREC00011', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931012, 931002, 'SDREC00012', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931013, 931001, 'SDREC00013', '', 'SDK1', 'SD目的地', 2, 60, 5, 931002, 0, 1, '', '', '', '', '', ''), "
        "(931014, 931001, 'SDREC00014', '', 'SDK0', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931015, 931001, 'SDREC00015', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 931002, 1, '', '', '', '', '', ''), "
        "(931016, 931001, 'SDREC00016', '', 'SDNOKIND', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931017, 931001, 'SDREC00017', '', 'SDK1', 'SD未知地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931018, 931001, 'SDREC00018', '', 'SDK2', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931019, 931001, 'SDDUP00019', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931020, 931001, 'SDDUP00019', '', 'SDK0', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931021, 931001, 'SDREC00021', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931022, 931002, 'SDREC00022', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931023, 931001, 'SDREC00023', '', 'SDK1', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931024, 931001, 'SDREC00024', '', 'SDK0', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', ''), "
        "(931025, 931001, 'SDREC00025', '', 'SDK0', 'SD目的地', 2, 60, 0, 0, 0, 1, '', '', '', '', '', '')",
        "DROP TABLE IF EXISTS dbo.sd_crafted_check",
        "CREATE TABLE dbo.sd_crafted_check (cnum text PRIMARY KEY, rv integer, ctext varchar(1023))",
    };
    for (const char* sql : sqls) ASSERT_TRUE(Exec(db, sql));
  }
  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    Exec(db, kPlainCheck);
    Exec(db, "DROP TABLE IF EXISTS dbo.sd_crafted_check");
    Exec(db, "DELETE FROM dbo.sys_dict WHERE dcname IN ('39', '64')");
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

  static std::string Scan(const std::string& number, const std::string& more = "", int isid = 931001,
                          const char* batch = kBatch) {
    return ",\"isID\":" + std::to_string(isid) + ",\"cNum\":\"" + number + "\",\"cBatch\":\"" + batch + "\"" + more;
  }
  // The send row of a record: procedure form, supplier, batch, kind, amount, cost, weight, fees.
  Rows SendRow(int irid) {
    return db_.Query(
        "SELECT nwithcost, isid, ibatch, cemskind, famount, fcost, fweight, ffreight, ffixed, cbearer, "
        "cnextpoint, copname, idayindex > 0 FROM dbo.client_rec_send WHERE irid = " +
        std::to_string(irid));
  }

  TestHost host_;
  TestDb db_;
};

TEST_F(PdaSendTest, ScansChooseTheirProcedure) {
  PdaClient pda(host_.port(), kPda);
  // A costed send: 2 kg at 12.00 = 24.00 plus the fixed fee 2.50 as the cost; the standard price
  // 50.00 plus the fee as the amount.
  EXPECT_EQ(
      pda.Body("pdaRecSend", Scan("SDREC00001", ",\"cBearer\":\"B'1\",\"cNextPoint\":\"HKG\"")),
      Utf8("{\"ReturnValue\":931001,\"cNum\":\"SDREC00001\",\"cNo\":\"SDSVC00001\",\"cDes\":\"SD目的地\","
           "\"cEmsKind\":\"SDK1\",\"fWeights\":2.000,\"nItemType\":1,\"iItem\":2,\"cAWB\":\"AWB1\","
           "\"cGoods\":\"鞋\",\"cPacking\":\"BOX\",\"cTransNote\":\"note\",\"cMark\":\"M1\",\"cMemo\":\"memo\"}"));
  EXPECT_EQ(SendRow(931001), (Rows{{"1", "931001", "2611010120", "", "52.50", "26.50", "2.000", "24.00", "2.50", "B'1",
                                    "HKG", "SdOp'1", "1"}}));
  EXPECT_EQ(db_.Query("SELECT isid, ibatch, nstate, fcost, isidc FROM dbo.client_rec WHERE irid = 931001"),
            (Rows{{"931001", "2611010120", "1", "26.50", "931001"}}));

  struct Case {
    const char* what;
    std::string more;
    int irid;
    Rows send;
  } cases[] = {
      {"a kind not costed: the plain send with the record's amount",
       Scan("SDREC00002"),
       931002,
       {{"0", "931001", "2611010120", "", "40.00", "0.00", "1.500", "0.00", "0.00", "", "", "SdOp'1", "1"}}},
      {"already costed: sent without recosting",
       Scan("SDREC00003"),
       931003,
       {{"0", "931001", "2611010120", "", "60.00", "0.00", "2.000", "0.00", "0.00", "", "", "SdOp'1", "1"}}},
      {"already costed and bCost: costed again",
       Scan("SDREC00004", ",\"bCost\":true"),
       931004,
       {{"1", "931001", "2611010120", "", "52.50", "26.50", "2.000", "24.00", "2.50", "", "", "SdOp'1", "1"}}},
      {"a kind chosen on the PDA: the costed send of that kind",
       Scan("SDREC00005", ",\"cEmsKind\":\"sdk1\""),
       931005,
       {{"1", "931001", "2611010120", "sdk1", "52.50", "26.50", "2.000", "24.00", "2.50", "", "", "SdOp'1", "1"}}},
      {"a kind chosen on the PDA: the plain send of that kind",
       Scan("SDREC00006", ",\"cEmsKind\":\"SDK0\""),
       931006,
       {{"0", "931001", "2611010120", "SDK0", "70.00", "0.00", "3.000", "0.00", "0.00", "", "", "SdOp'1", "1"}}},
      {"by service number, the PDA's weight",
       Scan("SDSVC00007", ",\"bNo\":true,\"fWeights\":0.8", 931001, kBatch2),
       931007,
       {{"0", "931001", "2611010121", "", "10.00", "0.00", "0.800", "0.00", "0.00", "", "", "SdOp'1", "1"}}},
  };
  for (const Case& c : cases) {
    const std::string reply = pda.Body("pdaRecSend", c.more);
    EXPECT_EQ(reply.rfind("{\"ReturnValue\":" + std::to_string(c.irid) + ",", 0), 0u) << c.what << ": " << reply;
    EXPECT_EQ(SendRow(c.irid), c.send) << c.what;
  }
  // A kind chosen on the PDA restricts the record: another kind's record is not found.
  EXPECT_EQ(pda.Body("pdaRecSend", Scan("SDREC00021", ",\"cEmsKind\":\"SDK0\"")),
            Utf8("{\"ReturnValue\":-102,\"cNum\":\"SDREC00021\",\"cMess\":\"记录不存在,请检查运单号。\"}"));
  EXPECT_EQ(db_.Scalar("SELECT fcost FROM dbo.client_rec WHERE irid = 931003"), "5.00");
}

TEST_F(PdaSendTest, RefusalsInTheirOrder) {
  ASSERT_TRUE(Exec(db_, "UPDATE dbo.client_rec SET ibatch = 2611010122, isid = 931001 WHERE irid = 931021"));
  PdaClient pda(host_.port(), kPda);
  auto mess = [](int code, const std::string& number, const std::string& text) {
    return Utf8("{\"ReturnValue\":" + std::to_string(code) + ",\"cNum\":\"" + number + "\",\"cMess\":\"" + text +
                "\"}");
  };
  struct Case {
    const char* what;
    std::string more;
    std::string want;  // a success is checked by its head
  } cases[] = {
      {"no supplier", ",\"cNum\":\"SDREC00014\",\"cBatch\":\"261101-012-0\"", Code(-820)},
      {"a short number before the batch", ",\"isID\":931001,\"cNum\":\"SD0014\",\"cBatch\":\"x\"", Code(-12)},
      {"a batch of 11", Scan("SDREC00014", "", 931001, "261101-012-"), Code(-13)},
      {"a batch of 13", Scan("SDREC00014", "", 931001, "261101-012-00"), Code(-13)},
      {"an inactive supplier", Scan("SDREC00014", "", 931003), Code(-821)},
      {"an unknown supplier", Scan("SDREC00014", "", 931098), Code(-821)},
      {"no record", Scan("SDNOREC001"), mess(-102, "SDNOREC001", "记录不存在,请检查运单号。")},
      {"a number of two records", Scan("SDDUP00019"), mess(-105, "SDDUP00019", "快件已经发送,或转单号不唯一。")},
      {"sent already", Scan("SDREC00021"), mess(-105, "SDREC00021", "快件已经发送,或转单号不唯一。")},
      {"a client unknown", Scan("SDREC00010"), mess(-103, "SDREC00010", "客户不存在,原因不明确。")},
      {"no client", Scan("SDREC00011"), mess(-112, "SDREC00011", "客户不存在。")},
      {"no credit", Scan("SDREC00012", ",\"bCredit\":true"),
       mess(-113, "SDREC00012", "客户信用额度不足或且收款周期内无收款。")},
      {"bCredit 1 is not true", Scan("SDREC00022", ",\"bCredit\":1"), "{\"ReturnValue\":931022,"},
      {"costed for another supplier", Scan("SDREC00013"),
       mess(-106, "SDREC00013", "快件已经核算成本，但不是当前下家。")},
      {"the supplier does not carry the kind", Scan("SDREC00014", "", 931002, "261101-013-0"),
       mess(-107, "SDREC00014", "服务商没有相关网络的绑定。")},
      {"the batch of another supplier", Scan("SDREC00023", "", 931002, "261101-012-2"),
       mess(-108, "SDREC00023", "批次号错误,已经被其它服务商使用或它用。")},
      {"a paid batch", Scan("SDREC00014", "", 931001, "261101-012-9"),
       mess(-110, "SDREC00014", "批次号错误,已经被使用并付款。")},
      {"the weight check's own message", Scan("SDREC00014", ",\"bCheckWeight\":true,\"fWeights\":2.5"),
       mess(-111, "SDREC00014", "重量差异超出范围: 记录 2.000 kg, 称重 2.500 kg")},
      {"within the tolerance", Scan("SDREC00014", ",\"bCheckWeight\":true,\"fWeights\":2.05"),
       "{\"ReturnValue\":931014,"},
      {"without bCheckWeight no tolerance", Scan("SDREC00024", ",\"fWeights\":2.5"), "{\"ReturnValue\":931024,"},
      {"the sorting chose another supplier", Scan("SDREC00015", ",\"bCost\":true"),
       mess(-198, "SDREC00015", "分拣 或 成本优化【下家】不一致！,分拣优化: SD Other[931002]")},
      {"an unknown kind", Scan("SDREC00016"), Code(-201)},
      {"an unknown destination with bCheckDes", Scan("SDREC00017", ",\"bCheckDes\":true"), Code(-203)},
      {"a hostile number", Scan("SD'); DROP TABLE x;--"),
       mess(-102, "SD'); DROP TABLE x;--", "记录不存在,请检查运单号。")},
  };
  for (const Case& c : cases) {
    const std::string reply = pda.Body("pdaRecSend", c.more);
    if (c.want.back() == '}') {
      EXPECT_EQ(reply, c.want) << c.what;
    } else {
      EXPECT_EQ(reply.rfind(c.want, 0), 0u) << c.what << ": " << reply;
    }
  }
  EXPECT_EQ(SendRow(931014),
            (Rows{{"0", "931001", "2611010120", "", "60.00", "0.00", "2.050", "0.00", "0.00", "", "", "SdOp'1", "1"}}));
  // Nothing of the refused scans was stored; the sorting check needs bCost, the destination check
  // bCheckDes.
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.client_rec_send WHERE irid IN (931010, 931011, 931012, 931013, "
                       "931015, 931016, 931017, 931019, 931020, 931023)"),
            "0");
  EXPECT_EQ(pda.Body("pdaRecSend", Scan("SDREC00015")).rfind("{\"ReturnValue\":931015,", 0), 0u);
  EXPECT_EQ(pda.Body("pdaRecSend", Scan("SDREC00017")).rfind("{\"ReturnValue\":931017,", 0), 0u);
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.client_rec WHERE irid BETWEEN 931001 AND 931099"), "23");
}

TEST_F(PdaSendTest, WithoutTheBindingSwitchTheSupplierPriceDecides) {
  // Dictionary row 64 "0": the check no longer asks for the binding; the handler's supplier price
  // lookup refuses the kind the supplier does not carry.
  EXPECT_EQ(host_.Stop(), 0);
  ASSERT_TRUE(Exec(db_, "INSERT INTO dbo.sys_dict (dcname, dcvalue) VALUES ('64', '0')"));
  ASSERT_TRUE(host_.Start(twtest::pda::PdaHostConfig())) << host_.error();
  PdaClient pda(host_.port(), kPda);
  EXPECT_EQ(pda.Body("pdaRecSend", Scan("SDREC00018")), Code(-202));
  EXPECT_EQ(pda.Body("pdaRecSend", Scan("SDREC00018", "", 931002, "261101-013-0")), Code(-202));
  ASSERT_TRUE(Exec(db_, "DELETE FROM dbo.sys_dict WHERE dcname = '64'"));
}

TEST_F(PdaSendTest, CheckTextsAreReadAsData) {
  ASSERT_TRUE(Exec(db_, kCraftedCheck));
  auto lines = [](int count, const std::string& id) {
    std::string t = "VCHK01\n";
    for (int n = 2; n <= count; ++n) {
      t += (n == 13 ? id : n == 9 ? std::string("SDK0") : n == 6 ? std::string("1.000") : "L" + std::to_string(n));
      t += "\n";
    }
    return t;
  };
  const std::string longMessage(1000, 'm');
  struct Crafted {
    const char* number;
    int rv;
    std::string text;
  } crafted[] = {
      {"SDTXT00001", 1, lines(22, "931014")},
      {"SDTXT00002", 1, lines(24, "931014x")},
      {"SDTXT00003", 1, lines(24, "931014; DELETE FROM dbo.client_rec")},
      {"SDTXT00004", 1, std::string(1023, 'V')},
      {"SDTXT00005", 1, ""},
      {"SDTXT00006", -11, longMessage},
      {"SDTXT00007", 1, lines(24, "931025")},
      {"SDTXT00008", -9, ""},
      {"SDTXT00009", -77, "ignored"},
  };
  for (const Crafted& c : crafted) {
    ASSERT_TRUE(Exec(db_, "INSERT INTO dbo.sd_crafted_check (cnum, rv, ctext) VALUES ('" + std::string(c.number) +
                              "', " + std::to_string(c.rv) + ", '" + c.text + "')"));
  }
  PdaClient pda(host_.port(), kPda);
  struct Case {
    const char* what;
    std::string number;
    std::string want;
  } cases[] = {
      {"22 lines", "SDTXT00001", Code(-199)},
      {"an id with a letter", "SDTXT00002", Code(-199)},
      {"an id with SQL after it", "SDTXT00003", Code(-199)},
      {"a full text without line feeds", "SDTXT00004", Code(-199)},
      {"an empty text", "SDTXT00005", Code(-199)},
      {"a long message of the procedure", "SDTXT00006",
       "{\"ReturnValue\":-111,\"cNum\":\"SDTXT00006\",\"cMess\":\"" + longMessage + "\"}"},
      {"the procedure failed", "SDTXT00008", Code(-9)},
      {"another refusal", "SDTXT00009",
       Utf8("{\"ReturnValue\":-177,\"cNum\":\"SDTXT00009\",\"cMess\":\"系统错误。\"}")},
  };
  for (const Case& c : cases) EXPECT_EQ(pda.Body("pdaRecSend", Scan(c.number)), c.want) << c.what;
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM dbo.client_rec_send WHERE irid = 931025"), "0");
  // A well-formed text names the record by its id: the send goes to that record.
  EXPECT_EQ(pda.Body("pdaRecSend", Scan("SDTXT00007", ",\"cBearer\":\"x'y\"")).rfind("{\"ReturnValue\":931025,", 0),
            0u);
  EXPECT_EQ(db_.Query("SELECT nwithcost, cbearer, fweight FROM dbo.client_rec_send WHERE irid = 931025"),
            (Rows{{"0", "x'y", "1.000"}}));
  // The same record again: the send procedure refuses it as sent.
  EXPECT_EQ(pda.Body("pdaRecSend", Scan("SDTXT00007")),
            Utf8("{\"ReturnValue\":-105,\"cNum\":\"SDTXT00007\",\"cMess\":\"快件已经发送,或转单号不唯一。\"}"));
  ASSERT_TRUE(Exec(db_, kPlainCheck));
}

}  // namespace
