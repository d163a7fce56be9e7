#include "util/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

namespace tw {
namespace {

struct DateCase {
  const char* in;
  const char* out;
  const char* why;
};

TEST(DateTest, NormalizeDateOrToday) {
  const DateCase cases[] = {
      {"2015-2-30", "2015.02.28", "cut to the month"},
      {"15/13/5", "2015.01.05", "short year, month out of range (7 bytes, three numbers)"},
      {"2015-06", "2002.01.01", "7 bytes without a day"},
      {"2016/2/30", "2016.02.29", "leap year"},
      {"2100/2/29", "2100.02.28", "a century is no leap year"},
      {"2000/2/30", "2000.02.29", "every 400 years is"},
      {"2015-06-32", "2015.06.15", "day out of range"},
      {"10000-1-1", "2002.01.01", "year above 9999"},
      {"abcdefghij", "2002.01.01", "no number at all"},
      {"2015-4-31 10:00", "2015.04.30", "30-day month"},
  };
  for (const DateCase& c : cases) {
    EXPECT_STREQ(NormalizeDateOrToday(c.in, false).c_str(), c.out) << c.why;
  }
  time_t now = time(nullptr);
  struct tm tm;
  localtime_r(&now, &tm);
  char today[16];
  strftime(today, sizeof today, "%Y.%m.%d", &tm);
  EXPECT_STREQ(NormalizeDateOrToday("", true).c_str(), today);
}

TEST(DateTest, NormalizeDate) {
  const DateCase cases[] = {
      {"2016.02.31", "2016.02.29", "leap February"},
      {"2016.04.40", "2016.04.15", "day out of range"},
      {"3100.01.01", "1900.01.01", "year above 3000"},
      {"2015-13-01", "2015.01.01", "month out of range"},
      {"15.6.1", "1900.01.01", "7 bytes or fewer"},
      {"x 15.6.14", "2015.06.14", "from the first digit"},
  };
  for (const DateCase& c : cases) {
    EXPECT_STREQ(NormalizeDate(c.in).c_str(), c.out) << c.why;
  }
}

TEST(DateTest, NormalizeQueryDate) {
  struct Case {
    const char* in;
    bool bEnd;
    const char* out;
    const char* why;
  } cases[] = {
      {"20150614", true, "2015.06.14 23:59:59.998", "digits, end of the day"},
      {"20150614093000", false, "2015.06.14 09:30:00.0", "digits with a time"},
      {"2015-06-14 10:00", true, "2015.06.14 10:00:59.998", "only the missing second is filled"},
      {"2015-06-14 10", true, "2015.06.14 10:59:59.998", "missing minute and second"},
      {"2015-06-14 00:00:00", true, "2015.06.14 00:00:00.998", "a given midnight stays"},
      {"2015-02-30", false, "", "no such day"},
      {"2016-02-29", false, "2016.02.29 00:00:00.0", "leap day"},
      {"  2015-06-14  ", false, "2015.06.14 00:00:00.0", "trimmed"},
      {"2015-6-1", false, "2015.06.01 00:00:00.0", "8 bytes"},
      {"15-6-1", false, "", "shorter than 8"},
      {"2015-06-14 24:00", false, "", "hour out of range"},
      {"0099-01-01", false, "", "year below 100"},
      {"2015-06-14 10:00:00 and more text here", false, "", "32 bytes or more"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(NormalizeQueryDate(c.in, c.bEnd).c_str(), c.out) << c.why << ": " << c.in;
  }
  char buf[kQueryDateSize] = "20150614";
  EXPECT_TRUE(NormalizeQueryDate(buf, sizeof buf, true));
  EXPECT_STREQ(buf, "2015.06.14 23:59:59.998");
  char small[16] = "20150614";
  EXPECT_FALSE(NormalizeQueryDate(small, sizeof small, true));
  EXPECT_STREQ(small, "");
}

TEST(DateTest, NormalizeDateTime) {
  const DateCase cases[] = {
      {"1999-01-01", "1900.01.01 00:00:00", "year before 2000"},
      {"2015-13-05 10:00", "2015.01.01 00:00:00", "month out of range"},
      {"2015-02-31 10:20:30", "2015.02.28 10:20:30", "cut to the month"},
      {"2015-02-32 10:20:30", "2015.02.01 00:00:00", "day out of range"},
      {"2015-02-10 25:20:30", "2015.02.10 00:00:00", "hour out of range"},
      {"2015-02-10 10:61:30", "2015.02.10 10:00:00", "minute out of range"},
      {"2015-02-10 10:20:61", "2015.02.10 10:20:00", "second out of range"},
      {"2015-2-1", "2015.02.01 00:00:00", "8 bytes"},
      {"2015-2", "1900.01.01", "shorter than 8: the date alone"},
      {"", "1900.01.01", "empty"},
      {"2015-02-10 10:20:30           .", "2015.02.10 10:20:30", "31 bytes"},
      {"2015-02-10 10:20:30            .", "1900.01.01", "32 bytes: the date alone"},
      {"2015-02-10 10:20:30 and a long tail of text", "1900.01.01", "longer still"},
      {"10000-01-01 10:20:30", "1900.01.01 00:00:00", "year after 9999"},
      {"0015-06-14 10:20:30", "1900.01.01 00:00:00", "year 15 is not 2015 here"},
      {"2000-01-01", "2000.01.01 00:00:00", "year 2000"},
      {"9999-12-31 23:59:59", "9999.12.31 23:59:59", "year 9999"},
  };
  for (const DateCase& c : cases) {
    EXPECT_STREQ(NormalizeDateTime(c.in).c_str(), c.out) << c.why;
  }
  EXPECT_STREQ(NormalizeDateTime(nullptr).c_str(), "1900.01.01");
}

TEST(DateTest, DayIndex) {
  EXPECT_EQ(DayIndex("2015.6.14"), 2015 * 372 + 6 * 31 + 14 - 403);
  EXPECT_EQ(DayIndex("15.6.14"), DayIndex("2015.6.14"));
  EXPECT_EQ(DayIndex("2015.2.30"), DayIndex("2015.2.28"));
  EXPECT_EQ(DayIndex("2016.2.30"), DayIndex("2016.2.29"));
  EXPECT_LT(DayIndex("2015.1.31"), DayIndex("2015.2.1"));
  EXPECT_EQ(DayIndex("2015.0.1"), 0);
  EXPECT_EQ(DayIndex("2015.6"), 0);
}

TEST(NumberTest, ExtractNumberAndDashes) {
  EXPECT_EQ(ExtractNumber("a0012b3"), 123);
  EXPECT_EQ(ExtractNumber("000"), 0);
  EXPECT_EQ(ExtractNumber("1234567890123456"), 0) << "16 bytes";
  EXPECT_EQ(ExtractNumber("999999999999999"), 2147483647);
  EXPECT_STREQ(FormatDashedNumber(123456789).c_str(), "012345-678-9");
  EXPECT_STREQ(FormatDashedNumber(1234567890).c_str(), "123456-789-0");
  EXPECT_STREQ(FormatDashedNumber(2007123456).c_str(), "2007123456");
  EXPECT_STREQ(FormatDashedNumber(12345678).c_str(), "12345678");
  EXPECT_STREQ(FormatDashedNumber(0).c_str(), "0");
  EXPECT_STREQ(FormatDashedNumber(2100000001).c_str(), "0");
}

TEST(NumberTest, ScaleToInt) {
  struct Case {
    double x;
    int scale;
    int64_t out;
    const char* why;
  } cases[] = {
      {0.005, 1, 0, "a small product gives 0"},
      {12.345, 100, 1234, "fraction dropped"},
      {-1.5, 100, -150, "negative"},
      {0.9999, 1000, 1000, "less than 0.1 below a whole number"},
      {19.99, 100, 1999, "19.99 x 100 is 1998.9999999999998 in binary"},
      {0.01, 1, 0, "0.01 + 0.1 truncates to 0"},
      {-0.95, 1, -1, "-1.05 truncates to -1"},
      {1e300, 100, INT64_MAX, "clamped"},
      {-1e300, 100, INT64_MIN, "clamped"},
      {NAN, 100, 0, "not a number"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScaleToInt(c.x, c.scale), c.out) << c.why;
  }
}

TEST(NumberTest, RoundCents) {
  struct Case {
    double in;
    double out;
    const char* why;
  } cases[] = {
      {0.125, 0.13, "half up"},
      {1.005, 1.00, "1.005 is 1004.999... thousandths"},
      {1.2349, 1.23, "truncated to thousandths first"},
      {1.235, 1.24, "half away from zero"},
      {-1.235, -1.24, "half away from zero, negative"},
      {0.0, 0.0, "zero"},
      {123456.784, 123456.78, "large amount"},
  };
  for (const auto& c : cases) {
    double v = c.in;
    EXPECT_DOUBLE_EQ(RoundCents(v), c.out) << c.why;
    EXPECT_DOUBLE_EQ(v, c.out) << c.why;
  }
  EXPECT_DOUBLE_EQ(Ratio(1, 4), 0.25);
  EXPECT_DOUBLE_EQ(Ratio(1, 0), 0.0);
  EXPECT_DOUBLE_EQ(Ratio64(int64_t{1} << 40, 2), static_cast<double>(int64_t{1} << 39));
}

TEST(ZoneTest, HoursFromTheStandardZone) {
  const char* saved = getenv("TZ");
  std::string keep = saved != nullptr ? saved : "";
  struct Case {
    const char* tz;
    int hours;
  } cases[] = {{"CST-8", 8}, {"EST5EDT", -5}, {"IST-5:30", 5}, {"UTC0", 0}};
  setenv("TZ", "CST-8", 1);
  const int first = GetZoneHours();  // read once, at the first call
  for (const Case& c : cases) {
    setenv("TZ", c.tz, 1);
    EXPECT_EQ(ReadZoneHours(), c.hours) << c.tz;
    EXPECT_EQ(GetZoneHours(), first) << c.tz;
  }
  int64_t expected = static_cast<int64_t>(time(nullptr)) - first * 3600;
  EXPECT_NEAR(static_cast<double>(GetUtcTime()), static_cast<double>(expected), 2.0);
  if (saved != nullptr) {
    setenv("TZ", keep.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace tw
