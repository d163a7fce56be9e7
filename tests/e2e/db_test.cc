// The database conventions on a pool connection: bound columns that come back NULL read as empty,
// procedure calls with output parameters, long binary data sent at execution time, and statements
// that do not fit their buffer are never run.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
  }
};

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

TEST_F(DbTest, AStatementThatDoesNotFitIsNotBuilt) {
  char sql[32];
  EXPECT_TRUE(FormatSql(sql, sizeof sql, "SELECT %d", 1));
  EXPECT_FALSE(FormatSql(sql, sizeof sql, "SELECT * FROM t WHERE c='%s'", "a value far too long to fit"));
  EXPECT_STREQ(sql, "");
  const unsigned char addr[4] = {192, 168, 1, 10};
  EXPECT_EQ(AddressLiteral(addr), "'\\xC0A8010A'::bytea");
}

}  // namespace
