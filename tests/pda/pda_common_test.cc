// The PDA road's shared helpers that need no database: batch numbers, the day text of batches, the
// date texts of replies, key presence and the field-mapping UPDATE.

#include "pda/internal/pda_common.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "core/caches.h"

namespace tw::pda {
namespace {

TEST(PdaCommonTest, BatchNumbersAreSixtyFourBit) {
  struct Case {
    const char* text;
    int64_t want;
    const char* why;
  } cases[] = {
      {"260601-012-0", 2606010120LL, "a batch of 2026 is above 2^31"},
      {"991231-999-9", 9912319999LL, "the largest batch of the format"},
      {"150601-012-0", 1506010120LL, "dashes dropped"},
      {"000150601", 150601, "leading zeros dropped"},
      {"x1y2z3", 123, "other bytes dropped"},
      {"0000", 0, "no digit 1-9"},
      {"", 0, "empty"},
      {"1234567890123456789", 0, "19 digits do not fit a batch"},
      {"123456789012345678", 123456789012345678LL, "18 digits do"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractBatchNumber(c.text), c.want) << c.why;
  EXPECT_EQ(ExtractBatchNumber(nullptr), 0);
}

TEST(PdaCommonTest, BatchDayText) {
  struct Case {
    const char* date;
    const char* want;
  } cases[] = {
      {"2015.06.01", "150601"},
      {"2026-12-31 10:00", "261231"},
      {"15/6/1 00:00", "150601"},
      {"2015-02-30", "150228"},
  };
  for (const Case& c : cases) EXPECT_STREQ(BatchDayText(c.date).text, c.want) << c.date;

  // Empty or invalid: today.
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char today[40];
  std::snprintf(today, sizeof today, "%02d%02d%02d", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday);
  EXPECT_STREQ(BatchDayText("").text, today);
  EXPECT_STREQ(BatchDayText("abc").text, today);
  EXPECT_STREQ(BatchDayText(nullptr).text, today);
}

TEST(PdaCommonTest, TodayTextsAgree) {
  const ShortText dotted = TodayDotted();
  int y = 0, m = 0, d = 0;
  ASSERT_EQ(std::sscanf(dotted.text, "%4d.%2d.%2d", &y, &m, &d), 3) << dotted.text;
  EXPECT_EQ(std::string(dotted.text).size(), 10u);
  EXPECT_EQ(TodayNumber(), y * 10000 + m * 100 + d);
}

TEST(PdaCommonTest, DateTexts) {
  struct Case {
    const char* stored;
    const char* seconds;
    const char* minutes;
    int year;
  } cases[] = {
      {"2026-06-01 09:05:07.123", "2026-06-01 09:05:07", "2026-06-01 09:05", 2026},
      {"2026-06-01", "2026-06-01 00:00:00", "2026-06-01 00:00", 2026},
      {"1999-12-31 23:59:59", "1999-12-31 23:59:59", "1999-12-31 23:59", 1999},
      {"", "1900-01-01 00:00:00", "1900-01-01 00:00", 1900},  // NULL reads as empty
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(FormatSecondText(c.stored).text, c.seconds) << c.stored;
    EXPECT_STREQ(FormatMinuteText(c.stored).text, c.minutes) << c.stored;
    EXPECT_EQ(DateYear(c.stored), c.year) << c.stored;
  }
}

TEST(PdaCommonTest, KeyPresence) {
  const std::string body = R"({"cMark":"","cBy1" : "x","note":"cBy2","cBy3"})";
  struct Case {
    const char* key;
    bool given;
  } cases[] = {
      {"cMark", true},  // an empty value is given
      {"cBy1", true},   // blanks before the colon
      {"cBy2", false},  // only as a value
      {"cBy3", false},  // no colon
      {"cBy4", false},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyGiven(c.key, body), c.given) << c.key;
}

TEST(PdaCommonTest, StationTest) {
  PdaUser none;
  PdaUser szx;
  std::snprintf(szx.mcstation, sizeof szx.mcstation, "SZX");
  EXPECT_FALSE(StationDiffers(none, "PEK"));  // an operator without station sees every station
  EXPECT_FALSE(StationDiffers(szx, "SZX"));
  EXPECT_TRUE(StationDiffers(szx, "szx"));  // byte for byte
  EXPECT_TRUE(StationDiffers(szx, ""));
}

constexpr FieldMapping kFields[] = {
    {"cMark", "cmark", 15},
    {"cBy1", "cby1", 63},
    {"cBy5", "cby5", 254},
};

TEST(PdaCommonTest, FieldUpdateListsTheGivenKeysInMappingOrder) {
  struct Case {
    const char* body;
    int given;
    const char* sql;
  } cases[] = {
      {R"({"cBy5":"five","cMark":"M1"})", 2,
       "UPDATE dorvane.dbo.t SET dlastmod=LOCALTIMESTAMP,cmark='M1',cby5='five',clastmod='op' WHERE ixid=7"},
      {R"({"cMark":""})", 1, "UPDATE dorvane.dbo.t SET dlastmod=LOCALTIMESTAMP,cmark='',clastmod='op' WHERE ixid=7"},
      {R"({"cBy1":"O'Brien'); DROP TABLE x;--"})", 1,
       "UPDATE dorvane.dbo.t SET dlastmod=LOCALTIMESTAMP,cby1='O''Brien''); DROP TABLE x;--',clastmod='op' "
       "WHERE ixid=7"},
      {R"({"cMark":"1234567890123456789"})", 1,
       "UPDATE dorvane.dbo.t SET dlastmod=LOCALTIMESTAMP,cmark='123456789012345',clastmod='op' WHERE ixid=7"},
      {R"({"cmark":"x","column":"cby1"})", 0,
       "UPDATE dorvane.dbo.t SET dlastmod=LOCALTIMESTAMP,clastmod='op' WHERE ixid=7"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountGivenFields(kFields, c.body), c.given) << c.body;
    EXPECT_EQ(BuildFieldUpdate("dorvane.dbo.t", kFields, c.body, "op", "ixid", 7), c.sql) << c.body;
  }
  // The operator's name is sanitised too.
  EXPECT_EQ(BuildFieldUpdate("dorvane.dbo.t", kFields, "{}", "O'Neil", "irid", 4294967296LL),
            "UPDATE dorvane.dbo.t SET dlastmod=LOCALTIMESTAMP,clastmod='O''Neil' WHERE irid=4294967296");
}

TEST(PdaCommonTest, ShipmentRefusalTexts) {
  EXPECT_STREQ(SendRefusalText(-2), kMessNoRecord);
  EXPECT_STREQ(SendRefusalText(-3), kMessClientUnknown);
  EXPECT_STREQ(SendRefusalText(-5), kMessAlreadySent);
  for (int other : {-1, -4, -6, -9, -100, 0}) EXPECT_STREQ(SendRefusalText(other), kMessSystemError) << other;
}

}  // namespace
}  // namespace tw::pda
