// The database conventions on a pool connection: bound columns that come back NULL read as empty,
// procedure calls with output parameters, long binary data sent at execution time, and statements
// that do not fit their buffer are never run; values as the server writes them, texts cut at a whole
// GBK character, numbers out of range refused, SQL_NO_DATA for changes that touched nothing, texts of
// several statements, transactions and prepared statements.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/db.h"
#include "core/pool.h"
#include "tests/support/e2e.h"

namespace {

class DbTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    twtest::TestDb db;
    ASSERT_TRUE(db.Exec("CREATE TABLE IF NOT EXISTS dbo.tw_test_db (iid integer PRIMARY KEY, ctext varchar(20), "
                        "inum integer, vdata bytea)"));
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.tw_test_db"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.tw_test_db VALUES (1, 'first', 11, NULL), (2, NULL, NULL, NULL)"));
    ASSERT_TRUE(db.Exec("CREATE OR REPLACE FUNCTION dbo.tw_test_outputs(p_c text, OUT ret integer, OUT otext "
                        "varchar, OUT obytes bytea) LANGUAGE plpgsql AS $$ BEGIN ret := length(p_c) + 2; "
                        "otext := NULL; obytes := '\\xabcd'::bytea; END $$"));
    ASSERT_TRUE(db.Exec("CREATE OR REPLACE FUNCTION dbo.tw_test_void(p_a integer) RETURNS void LANGUAGE plpgsql "
                        "AS $$ BEGIN UPDATE dbo.tw_test_db SET inum = p_a WHERE iid = 1; END $$"));
    ASSERT_TRUE(db.Exec("CREATE OR REPLACE FUNCTION dbo.tw_test_proc(p_a integer, p_b text, OUT ret integer, "
                        "OUT outtext varchar, OUT outnum bigint) LANGUAGE plpgsql AS $$ BEGIN ret := p_a * 2; "
                        "outtext := upper(p_b); outnum := 9000000000; END $$"));
    twtest::OdbcDir();
    char why[1024];
    ASSERT_TRUE(ConnectPool("dorvane", std::getenv("PGUSER"), std::getenv("PGPASSWORD"), why, sizeof why)) << why;
    OpenPool();
  }
  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    twtest::TestDb db;
    db.Exec("DROP TABLE IF EXISTS dbo.tw_test_db");
    db.Exec("DROP FUNCTION IF EXISTS dbo.tw_test_proc(integer, text)");
    db.Exec("DROP FUNCTION IF EXISTS dbo.tw_test_void(integer)");
    db.Exec("DROP FUNCTION IF EXISTS dbo.tw_test_outputs(text)");
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    twtest::TestDb db;
    ASSERT_TRUE(db.Exec("UPDATE dbo.tw_test_db SET ctext = 'first', inum = 11 WHERE iid = 1"));
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.tw_test_db WHERE iid > 2"));
  }
};

// The text one column of one row reads as in a buffer of `size` bytes, with the statement's result.
struct TextRead {
  SQLRETURN rc = SQL_ERROR;
  std::string text;
  SQLLEN length = 0;
};

TextRead ReadText(const std::string& sql, size_t size) {
  PoolSlotGuard slot;
  DbStatement st(slot.dbc());
  std::vector<char> buffer(size, '\x7f');
  TextRead out;
  st.BindColumn(1, SQL_C_CHAR, buffer.data(), static_cast<SQLLEN>(size), &out.length);
  if (!DbOk(st.ExecDirect(sql.c_str()))) return out;
  out.rc = st.Fetch();
  out.text = buffer.data();
  return out;
}

TEST_F(DbTest, NullColumnsNeverShowThePreviousRow) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  DbStatement st(slot.dbc());
  char text[21] = "";
  int32_t num = -1;
  st.BindText(1, text, sizeof text);
  st.BindInt(2, &num);
  ASSERT_TRUE(DbOk(st.ExecDirect("SELECT ctext, inum FROM dorvane.dbo.tw_test_db ORDER BY iid")));
  ASSERT_TRUE(DbOk(st.Fetch()));
  EXPECT_STREQ(text, "first");
  EXPECT_EQ(num, 11);
  ASSERT_TRUE(DbOk(st.Fetch()));
  EXPECT_STREQ(text, "");
  EXPECT_EQ(num, 0);
  EXPECT_EQ(st.Fetch(), SQL_NO_DATA);
}

TEST_F(DbTest, ProceduresAnswerThroughOutputParameters) {
  PoolSlotGuard slot;
  DbStatement st(slot.dbc());
  int32_t ret = -1;
  char out[16] = "";
  int64_t big = 0;
  st.BindOutInt(1, &ret);
  st.BindOutText(2, out, 10, sizeof out);
  st.BindOutInt64(3, &big);
  ASSERT_TRUE(DbOk(st.ExecDirect("{?=CALL dorvane.dbo.tw_test_proc(21,'abc',?,?)}"))) << st.Diagnostic();
  EXPECT_EQ(ret, 42);
  EXPECT_STREQ(out, "ABC");
  EXPECT_EQ(big, 9000000000LL);
}

TEST_F(DbTest, LongBinaryDataGoesAtExecution) {
  std::string pdf(300000, '\0');
  for (size_t i = 0; i < pdf.size(); ++i) pdf[i] = static_cast<char>((i * 7919) & 0xFF);
  {
    PoolSlotGuard slot;
    DbStatement st(slot.dbc());
    SQLRETURN rc = st.ExecWithLongBinary("UPDATE dorvane.dbo.tw_test_db SET vdata=? WHERE iid=1", pdf.data(),
                                         pdf.size(), 100);
    ASSERT_TRUE(DbOk(rc)) << st.Diagnostic();
  }
  twtest::TestDb db;
  EXPECT_EQ(db.Scalar("SELECT length(vdata) FROM dbo.tw_test_db WHERE iid = 1"), "300000");
  EXPECT_EQ(db.Scalar("SELECT md5(vdata) FROM dbo.tw_test_db WHERE iid = 1"),
            db.Scalar("SELECT md5(decode('" + [&] {
                        static const char kHex[] = "0123456789abcdef";
                        std::string hex;
                        for (unsigned char c : pdf) {
                          hex.push_back(kHex[c >> 4]);
                          hex.push_back(kHex[c & 15]);
                        }
                        return hex;
                      }() + "', 'hex'))"));
}

TEST_F(DbTest, ValuesReadAsTheServerWritesThem) {
  // Each expectation is the server's own text form of the value (client encoding GBK).
  const struct {
    const char* sql;
    const char* text;
  } cases[] = {
      {"SELECT DATE '2026-12-10'", "2026-12-10"},
      {"SELECT TIMESTAMP '2026-12-10 08:05:03'", "2026-12-10 08:05:03"},
      {"SELECT TIMESTAMP '2026-12-10 08:05:03.25'", "2026-12-10 08:05:03.25"},
      {"SELECT 12.5::numeric(10,2)", "12.50"},
      {"SELECT -0.125::numeric(12,3)", "-0.125"},
      {"SELECT 0.1::float8", "0.1"},
      {"SELECT 1::float8 / 3", "0.3333333333333333"},
      {"SELECT 0.1::float4", "0.1"},
      {"SELECT 'ab'::char(5)", "ab   "},
      {"SELECT '中文'::char(4)", "中文  "},
      {"SELECT true", "1"},
      {"SELECT 9000000000::bigint", "9000000000"},
      {"SELECT '\\x0aff'::bytea", "0aff"},
  };
  for (const auto& c : cases) {
    const TextRead r = ReadText(c.sql, 64);
    EXPECT_EQ(r.rc, SQL_SUCCESS) << c.sql;
    EXPECT_EQ(r.text, c.text) << c.sql;
    EXPECT_EQ(r.length, static_cast<SQLLEN>(std::strlen(c.text))) << c.sql;
  }
}

TEST_F(DbTest, ALongTextIsCutAtAWholeGbkCharacterAndReportedTruncated) {
  // "a中b" is the four GBK bytes 61 D6 D0 62.
  const struct {
    size_t size;
    const char* text;
    SQLRETURN rc;
  } cases[] = {
      {5, "a中b", SQL_SUCCESS},           // all four bytes and the NUL
      {4, "a中", SQL_SUCCESS_WITH_INFO},  // room for three: the character stays whole
      {3, "a", SQL_SUCCESS_WITH_INFO},    // room for two: never half of 中
      {2, "a", SQL_SUCCESS_WITH_INFO},
      {1, "", SQL_SUCCESS_WITH_INFO},
  };
  for (const auto& c : cases) {
    const TextRead r = ReadText("SELECT 'a中b'::varchar", c.size);
    EXPECT_EQ(r.rc, c.rc) << c.size;
    EXPECT_EQ(r.text, c.text) << c.size;
    EXPECT_EQ(r.length, 4) << "the length counts the whole value";
  }
}

TEST_F(DbTest, NumbersAreParsedAndAnOutOfRangeIntegerIsAnError) {
  const struct {
    const char* sql;
    bool ok;
    int32_t value;
  } cases[] = {
      {"SELECT 2147483647", true, 2147483647},
      {"SELECT -2147483648", true, INT32_MIN},
      {"SELECT 2147483648::bigint", false, 0},
      {"SELECT -9000000000::bigint", false, 0},
      {"SELECT 12.75::numeric(10,2)", true, 12},  // the fraction goes, as a C conversion would
      {"SELECT '0042'::varchar", true, 42},
      {"SELECT 'x1'::varchar", false, 0},
      {"SELECT false", true, 0},
  };
  for (const auto& c : cases) {
    PoolSlotGuard slot;
    DbStatement st(slot.dbc());
    int32_t value = -7;
    st.BindInt(1, &value);
    ASSERT_TRUE(DbOk(st.ExecDirect(c.sql))) << c.sql;
    const SQLRETURN rc = st.Fetch();
    EXPECT_EQ(DbOk(rc), c.ok) << c.sql;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.sql;
    }
  }
  PoolSlotGuard slot;
  DbStatement st(slot.dbc());
  int64_t big = 0;
  double d = 0;
  st.BindInt64(1, &big);
  st.BindDouble(2, &d);
  ASSERT_TRUE(DbOk(st.ExecDirect("SELECT 9000000000::bigint, 12.34::numeric(10,2)")));
  ASSERT_TRUE(DbOk(st.Fetch()));
  EXPECT_EQ(big, 9000000000LL);
  EXPECT_DOUBLE_EQ(d, 12.34);
}

TEST_F(DbTest, BinaryColumnsReadTheirBytesWithTheirLength) {
  {
    PoolSlotGuard slot;
    DbStatement st(slot.dbc());
    const unsigned char bytes[] = {0x00, 0x01, 0xFF, 0x5C, 0x78};
    ASSERT_TRUE(DbOk(st.ExecWithLongBinary("UPDATE dorvane.dbo.tw_test_db SET vdata=? WHERE iid=2", bytes,
                                           sizeof bytes, 100)))
        << st.Diagnostic();
  }
  PoolSlotGuard slot;
  DbStatement st(slot.dbc());
  unsigned char got[8];
  unsigned char small[2];
  SQLLEN length = 0, smallLength = 0, nullLength = 0;
  unsigned char none[4] = {9, 9, 9, 9};
  st.BindBinary(1, got, sizeof got, &length);
  st.BindBinary(2, small, sizeof small, &smallLength);
  st.BindBinary(3, none, sizeof none, &nullLength);
  ASSERT_TRUE(DbOk(st.ExecDirect("SELECT vdata, vdata, NULL::bytea FROM dorvane.dbo.tw_test_db WHERE iid=2")));
  EXPECT_EQ(st.Fetch(), SQL_SUCCESS_WITH_INFO);  // the two-byte buffer holds only the start
  EXPECT_EQ(length, 5);
  EXPECT_EQ(0, std::memcmp(got, "\x00\x01\xff\x5c\x78", 5));
  EXPECT_EQ(smallLength, 5);
  EXPECT_EQ(small[0], 0x00);
  EXPECT_EQ(small[1], 0x01);
  EXPECT_EQ(nullLength, SQL_NULL_DATA);
  EXPECT_EQ(none[0], 0);
}

TEST_F(DbTest, AChangeThatTouchedNoRowIsNoDataTheFirstStatementDeciding) {
  const struct {
    const char* sql;
    SQLRETURN rc;
  } cases[] = {
      {"UPDATE dorvane.dbo.tw_test_db SET inum = 5 WHERE iid = 999", SQL_NO_DATA},
      {"DELETE FROM dorvane.dbo.tw_test_db WHERE iid = 999", SQL_NO_DATA},
      {"UPDATE dorvane.dbo.tw_test_db SET inum = 11 WHERE iid = 1", SQL_SUCCESS},
      {"INSERT INTO dorvane.dbo.tw_test_db (iid) SELECT 5 WHERE false", SQL_SUCCESS},
      {"UPDATE dorvane.dbo.tw_test_db SET inum = 5 WHERE iid = 999; UPDATE dorvane.dbo.tw_test_db SET inum = 11 "
       "WHERE iid = 1",
       SQL_NO_DATA},
      {"UPDATE dorvane.dbo.tw_test_db SET inum = 11 WHERE iid = 1; DELETE FROM dorvane.dbo.tw_test_db WHERE iid = "
       "999",
       SQL_SUCCESS},
      {"SELECT 1 WHERE false", SQL_SUCCESS},
  };
  for (const auto& c : cases) {
    PoolSlotGuard slot;
    DbStatement st(slot.dbc());
    EXPECT_EQ(st.ExecDirect(c.sql), c.rc) << c.sql << " " << st.Diagnostic();
  }
}

TEST_F(DbTest, ATextWhoseSecondStatementFailsIsAnErrorAndChangesNothing) {
  {
    PoolSlotGuard slot;
    DbStatement st(slot.dbc());
    const SQLRETURN rc = st.ExecDirect(
        "UPDATE dorvane.dbo.tw_test_db SET inum = 77 WHERE iid = 1; SELECT * FROM dorvane.dbo.no_such_table");
    EXPECT_EQ(rc, SQL_ERROR);
    EXPECT_EQ(std::string(st.State()), "42P01") << st.Diagnostic();
    // The connection goes on working.
    int32_t one = 0;
    st.BindInt(1, &one);
    ASSERT_TRUE(DbOk(st.ExecDirect("SELECT 1")));
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_EQ(one, 1);
  }
  twtest::TestDb db;
  EXPECT_EQ(db.Scalar("SELECT inum FROM dbo.tw_test_db WHERE iid = 1"), "11");
}

TEST_F(DbTest, SeveralSelectsAreReadResultByResult) {
  PoolSlotGuard slot;
  DbStatement st(slot.dbc());
  int32_t a = 0;
  char text[8] = "";
  st.BindInt(1, &a);
  ASSERT_TRUE(DbOk(st.ExecDirect("SELECT 1 UNION ALL SELECT 2 ORDER BY 1; SELECT 'x'::varchar, 3")));
  ASSERT_TRUE(DbOk(st.Fetch()));
  EXPECT_EQ(a, 1);
  ASSERT_TRUE(DbOk(st.Fetch()));
  EXPECT_EQ(a, 2);
  EXPECT_EQ(st.Fetch(), SQL_NO_DATA);
  SQLFreeStmt(st.handle(), SQL_UNBIND);
  ASSERT_EQ(SQLMoreResults(st.handle()), SQL_SUCCESS);
  st.BindText(1, text, sizeof text);
  st.BindInt(2, &a);
  ASSERT_TRUE(DbOk(st.Fetch()));
  EXPECT_STREQ(text, "x");
  EXPECT_EQ(a, 3);
  EXPECT_EQ(st.Fetch(), SQL_NO_DATA);
  EXPECT_EQ(SQLMoreResults(st.handle()), SQL_NO_DATA);
}

TEST_F(DbTest, ProcedureCallsInEveryForm) {
  PoolSlotGuard slot;
  {
    // Outputs by SQLBindParameter, a NULL text output and a binary one.
    DbStatement st(slot.dbc());
    int32_t ret = -1;
    char text[8] = "zz";
    unsigned char bytes[4] = {};
    SQLLEN textLength = 0, byteLength = 0;
    st.BindOutInt(1, &ret);
    SQLBindParameter(st.handle(), 2, SQL_PARAM_OUTPUT, SQL_C_CHAR, SQL_CHAR, 7, 0, text, sizeof text, &textLength);
    SQLBindParameter(st.handle(), 3, SQL_PARAM_OUTPUT, SQL_C_BINARY, SQL_VARBINARY, sizeof bytes, 0, bytes,
                     sizeof bytes, &byteLength);
    ASSERT_TRUE(DbOk(st.ExecDirect("{?=CALL dorvane.dbo.tw_test_outputs(?,?,'中')}"))) << st.Diagnostic();
    EXPECT_EQ(ret, 3);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(textLength, SQL_NULL_DATA);
    EXPECT_EQ(byteLength, 2);
    EXPECT_EQ(bytes[0], 0xAB);
    EXPECT_EQ(bytes[1], 0xCD);
  }
  {
    // An input marker among the outputs goes as a value.
    DbStatement st(slot.dbc());
    int32_t ret = -1, in = 5;
    char text[8] = "";
    int64_t big = 0;
    st.BindOutInt(1, &ret);
    SQLBindParameter(st.handle(), 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &in, 0, nullptr);
    st.BindOutText(3, text, 7, sizeof text);
    st.BindOutInt64(4, &big);
    ASSERT_TRUE(DbOk(st.ExecDirect("{?=CALL dorvane.dbo.tw_test_proc(?,'x y',?,?)}"))) << st.Diagnostic();
    EXPECT_EQ(ret, 10);
    EXPECT_STREQ(text, "X Y");
    EXPECT_EQ(big, 9000000000LL);
  }
  {
    // {CALL ...} without outputs runs the procedure.
    DbStatement st(slot.dbc());
    ASSERT_TRUE(DbOk(st.ExecDirect("{CALL dorvane.dbo.tw_test_void(31)}"))) << st.Diagnostic();
  }
  twtest::TestDb db;
  EXPECT_EQ(db.Scalar("SELECT inum FROM dbo.tw_test_db WHERE iid = 1"), "31");
  DbStatement st(slot.dbc());
  EXPECT_EQ(st.ExecDirect("{?=CALL dorvane.dbo.tw_no_such_proc(?)}"), SQL_ERROR);
  EXPECT_EQ(st.ExecDirect("{?=CALL dorvane.dbo.tw_test_proc(1,'a'"), SQL_ERROR);
}

TEST_F(DbTest, TransactionsCommitRollBackAndEndAtTheirFirstFailure) {
  PoolSlotGuard slot;
  auto exec = [&](const char* sql) {
    DbStatement st(slot.dbc());
    return st.ExecDirect(sql);
  };
  twtest::TestDb db;
  {
    DbTransaction tx(slot.dbc());
    ASSERT_TRUE(tx.ok());
    ASSERT_TRUE(DbOk(exec("INSERT INTO dorvane.dbo.tw_test_db (iid) VALUES (10)")));
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.tw_test_db WHERE iid = 10"), "0") << "not visible before commit";
    EXPECT_TRUE(tx.Commit());
  }
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.tw_test_db WHERE iid = 10"), "1");
  {
    DbTransaction tx(slot.dbc());
    ASSERT_TRUE(DbOk(exec("INSERT INTO dorvane.dbo.tw_test_db (iid) VALUES (11)")));
  }  // left without Commit
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.tw_test_db WHERE iid = 11"), "0");
  {
    DbTransaction tx(slot.dbc());
    ASSERT_TRUE(DbOk(exec("INSERT INTO dorvane.dbo.tw_test_db (iid) VALUES (12)")));
    EXPECT_EQ(exec("INSERT INTO dorvane.dbo.tw_test_db (iid) VALUES (12)"), SQL_ERROR);  // duplicate key
    // The transaction is over: nothing more of it runs, and it does not commit.
    EXPECT_EQ(exec("INSERT INTO dorvane.dbo.tw_test_db (iid) VALUES (13)"), SQL_ERROR);
    EXPECT_FALSE(tx.Commit());
  }
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.tw_test_db WHERE iid IN (12, 13)"), "0");
  // Autocommit again afterwards.
  ASSERT_TRUE(DbOk(exec("INSERT INTO dorvane.dbo.tw_test_db (iid) VALUES (14)")));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.tw_test_db WHERE iid = 14"), "1");
}

DbPreparedSql kPreparedRowSql(
    "SELECT ctext, inum FROM dorvane.dbo.tw_test_db WHERE iid = $1 OR ctext = $2 ORDER BY iid");

TEST_F(DbTest, PreparedStatementsTakeTheirValuesAsParameters) {
  twtest::TestDb db;
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.tw_test_db (iid, ctext, inum) VALUES (20, 'o''neil 中', 20)"));
  // Every slot runs it at least once, some twice: prepared once per connection, then reused.
  for (int round = 0; round < 60; ++round) {
    PoolSlotGuard slot;
    ASSERT_TRUE(slot.ok());
    DbStatement st(slot.dbc());
    char text[21] = "";
    int32_t num = -1;
    st.BindText(1, text, sizeof text);
    st.BindInt(2, &num);
    const SQLRETURN rc = st.ExecPrepared(kPreparedRowSql, DbParams().Int(1).Text("o'neil 中"));
    ASSERT_TRUE(DbOk(rc)) << st.Diagnostic();
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_STREQ(text, "first");
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_STREQ(text, "o'neil 中") << "the quote arrives as a value, never pasted";
    EXPECT_EQ(num, 20);
    EXPECT_EQ(st.Fetch(), SQL_NO_DATA);
  }
  PoolSlotGuard slot;
  DbStatement st(slot.dbc());
  EXPECT_EQ(st.ExecPrepared(kPreparedRowSql, DbParams().Text("not a number").Null()), SQL_ERROR);
  EXPECT_EQ(std::string(st.State()), "22P02");
}

DbPreparedSql kPreparedCallSql("{?=CALL dorvane.dbo.tw_test_proc($1,$2,?,?)}");

TEST_F(DbTest, PreparedCallsAndTextsBuiltAtRunTime) {
  for (int round = 0; round < 3; ++round) {
    PoolSlotGuard slot;
    DbStatement st(slot.dbc());
    int32_t ret = -1;
    char out[16] = "";
    int64_t big = 0;
    st.BindOutInt(1, &ret);
    st.BindOutText(2, out, 10, sizeof out);
    st.BindOutInt64(3, &big);
    const DbParams values = DbParams().Int(4 + round).Text("ab");  // a copy keeps its own texts
    ASSERT_TRUE(DbOk(st.ExecPrepared(kPreparedCallSql, values))) << st.Diagnostic();
    EXPECT_EQ(ret, 2 * (4 + round));
    EXPECT_STREQ(out, "AB");
    EXPECT_EQ(big, 9000000000LL);
  }
  PoolSlotGuard slot;
  for (int round = 0; round < 3; ++round) {
    DbStatement st(slot.dbc());
    int32_t sum = 0;
    char text[16] = "";
    st.BindInt(1, &sum);
    st.BindText(2, text, sizeof text);
    const std::string sql = "SELECT $1::integer + " + std::to_string(round) + ", $2::varchar";
    ASSERT_TRUE(DbOk(st.ExecPrepared(sql.c_str(), DbParams().Int(40).SqlText("x y \t\r\n")))) << st.Diagnostic();
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_EQ(sum, 40 + round);
    EXPECT_STREQ(text, "x y") << "trailing white space goes, as from a quoted text";
  }
  // A text run once stays unprepared; the second run prepares it on the connection.
  auto preparedCount = [&] {
    DbStatement st(slot.dbc());
    int32_t n = -1;
    st.BindInt(1, &n);
    EXPECT_TRUE(DbOk(st.ExecDirect("SELECT count(*) FROM pg_prepared_statements WHERE statement = "
                                   "'SELECT $1::integer * 5'")));
    EXPECT_TRUE(DbOk(st.Fetch()));
    return n;
  };
  for (int round = 0; round < 3; ++round) {
    DbStatement st(slot.dbc());
    int32_t product = 0;
    st.BindInt(1, &product);
    ASSERT_TRUE(DbOk(st.ExecPrepared("SELECT $1::integer * 5", DbParams().Int(round))));
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_EQ(product, 5 * round);
    EXPECT_EQ(preparedCount(), round == 0 ? 0 : 1) << round;
  }
}

DbPreparedSql kPipelineFirstSql("SELECT inum FROM dorvane.dbo.tw_test_db WHERE iid = $1");
DbPreparedSql kPipelineSecondSql("SELECT $1::integer * 2 UNION ALL SELECT $1::integer * 3");

TEST_F(DbTest, PreparedStatementsInOneRoundTripReadResultByResult) {
  for (int round = 0; round < 2; ++round) {  // prepared in the pipeline, then already prepared
    PoolSlotGuard slot;
    DbStatement st(slot.dbc());
    int32_t value = 0;
    st.BindInt(1, &value);
    const DbParams first = DbParams().Int(1), second = DbParams().Int(7);
    ASSERT_TRUE(DbOk(st.ExecPrepared({{kPipelineFirstSql, first}, {kPipelineSecondSql, second}})))
        << st.Diagnostic();
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_EQ(value, 11);
    EXPECT_EQ(st.Fetch(), SQL_NO_DATA);
    ASSERT_EQ(st.MoreResults(), SQL_SUCCESS);
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_EQ(value, 14);
    ASSERT_TRUE(DbOk(st.Fetch()));
    EXPECT_EQ(value, 21);
    EXPECT_EQ(st.MoreResults(), SQL_NO_DATA);
  }
  // One failing statement fails the whole, and the connection goes on.
  PoolSlotGuard slot;
  DbStatement st(slot.dbc());
  const DbParams bad = DbParams().Text("x"), good = DbParams().Int(1);
  EXPECT_EQ(st.ExecPrepared({{kPipelineSecondSql, bad}, {kPipelineFirstSql, good}}), SQL_ERROR);
  EXPECT_EQ(std::string(st.State()), "22P02");
  ASSERT_TRUE(DbOk(st.ExecPrepared(kPipelineFirstSql, good))) << st.Diagnostic();
}

TEST_F(DbTest, AStatementThatDoesNotFitIsNotBuilt) {
  char sql[32];
  EXPECT_TRUE(FormatSql(sql, sizeof sql, "SELECT %d", 1));
  EXPECT_FALSE(FormatSql(sql, sizeof sql, "SELECT * FROM t WHERE c='%s'", "a value far too long to fit"));
  EXPECT_STREQ(sql, "");
  const unsigned char addr[4] = {192, 168, 1, 10};
  EXPECT_EQ(AddressLiteral(addr), "'\\xC0A8010A'::bytea");
}

}  // namespace
