#include "util/datetime.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace tw {
namespace {

constexpr int kMaxRuns = 6;
constexpr int64_t kRunCap = 999999999;  // digit runs are read up to this value
constexpr size_t kShortDateText = 7;    // texts of this length or less give a default
constexpr size_t kQueryMinLen = 8;
constexpr size_t kQueryMaxLen = 31;
constexpr size_t kDateTimeMinLen = 8;
constexpr size_t kDateTimeMaxLen = 31;
constexpr size_t kNumberTextMax = 15;

struct Runs {
  int64_t value[kMaxRuns] = {};
  int count = 0;
};

// The first digit runs of text.
Runs ReadRuns(const char* text) {
  Runs r;
  for (const char* p = text; *p != 0 && r.count < kMaxRuns;) {
    if (*p < '0' || *p > '9') {
      ++p;
      continue;
    }
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      v = v * 10 + (*p - '0');
      if (v > kRunCap) {
        v = kRunCap;
      }
    }
    r.value[r.count++] = v;
  }
  return r;
}

bool IsLeapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int64_t y, int64_t m) {
  switch (m) {
    case 2:
      return IsLeapYear(y) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

ShortText Format(const char* fmt, int64_t y, int64_t m, int64_t d) {
  ShortText t;
  snprintf(t.text, sizeof t.text, fmt, static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
  return t;
}

ShortText FormatDateTime(int64_t y, int64_t mo, int64_t d, int64_t h, int64_t mi, int64_t s,
                         const char* suffix) {
  ShortText t;
  snprintf(t.text, sizeof t.text, "%d.%02d.%02d %02d:%02d:%02d%s", static_cast<int>(y),
           static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h), static_cast<int>(mi),
           static_cast<int>(s), suffix);
  return t;
}

ShortText Today() {
  time_t now = time(nullptr);
  struct tm tm;
  localtime_r(&now, &tm);
  return Format("%d.%02d.%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

// The common part of the two date normalisers.
ShortText NormalizeYmd(const Runs& r, int64_t maxYear, const ShortText& fallback) {
  int64_t y = r.value[0];
  if (y < 1000) {
    y += 2000;
  }
  if (y > maxYear) {
    return fallback;
  }
  int64_t m = r.count > 1 ? r.value[1] : 0;
  if (m < 1 || m > 12) {
    m = 1;
  }
  int64_t d = r.count > 2 ? r.value[2] : 0;
  if (d < 1 || d > 31) {
    d = 15;
  } else if (d > DaysInMonth(y, m)) {
    d = DaysInMonth(y, m);
  }
  return Format("%d.%02d.%02d", y, m, d);
}

int64_t DigitsValue(const char* s, size_t n) {
  int64_t v = 0;
  for (size_t k = 0; k < n; ++k) {
    v = v * 10 + (s[k] - '0');
  }
  return v;
}

}  // namespace

ShortText NormalizeDateOrToday(const char* text, bool bToday) {
  ShortText fallback = bToday ? Today() : Format("%d.%02d.%02d", 2002, 1, 1);
  if (text == nullptr) {
    return fallback;
  }
  Runs r = ReadRuns(text);
  if (r.count == 0 || (strlen(text) <= kShortDateText && r.count < 3)) {
    return fallback;
  }
  return NormalizeYmd(r, 9999, fallback);
}

ShortText NormalizeDate(const char* text) {
  ShortText fallback = Format("%d.%02d.%02d", 1900, 1, 1);
  if (text == nullptr || strlen(text) <= kShortDateText) {
    return fallback;
  }
  Runs r = ReadRuns(text);
  if (r.count == 0) {
    return fallback;
  }
  return NormalizeYmd(r, 3000, fallback);
}

ShortText NormalizeQueryDate(const char* text, bool bEnd) {
  ShortText empty{};
  if (text == nullptr) {
    return empty;
  }
  const char* start = text;
  while (*start >= 1 && *start <= 32) {
    ++start;
  }
  size_t len = strlen(start);
  while (len > 0 && start[len - 1] >= 1 && start[len - 1] <= 32) {
    --len;
  }
  if (len < kQueryMinLen || len > kQueryMaxLen) {
    return empty;
  }
  char trimmed[kQueryMaxLen + 1];
  memcpy(trimmed, start, len);
  trimmed[len] = 0;
  bool allDigits = true;
  for (size_t k = 0; k < len; ++k) {
    allDigits = allDigits && trimmed[k] >= '0' && trimmed[k] <= '9';
  }
  int64_t v[kMaxRuns] = {};
  int given = 0;
  if (allDigits) {
    v[0] = DigitsValue(trimmed, 4);
    v[1] = DigitsValue(trimmed + 4, 2);
    v[2] = DigitsValue(trimmed + 6, 2);
    given = 3;
    for (size_t part = 3, at = 8; part < 6 && at + 2 <= len; ++part, at += 2) {
      v[part] = DigitsValue(trimmed + at, 2);
      given = static_cast<int>(part) + 1;
    }
  } else {
    Runs r = ReadRuns(trimmed);
    for (int k = 0; k < r.count; ++k) {
      v[k] = r.value[k];
    }
    given = r.count;
  }
  if (bEnd && given < 6) {
    v[5] = 59;
    if (given < 5) {
      v[4] = 59;
      if (given < 4) {
        v[3] = 23;
      }
    }
  }
  if (v[0] < 100 || v[0] > 9999 || v[1] < 1 || v[1] > 12 || v[2] < 1 ||
      v[2] > DaysInMonth(v[0], v[1]) || v[3] > 23 || v[4] > 59 || v[5] > 59) {
    return empty;
  }
  return FormatDateTime(v[0], v[1], v[2], v[3], v[4], v[5], bEnd ? ".998" : ".0");
}

bool NormalizeQueryDate(char* text, size_t size, bool bEnd) {
  if (text == nullptr || size == 0) {
    return false;
  }
  ShortText t = NormalizeQueryDate(text, bEnd);
  size_t n = strlen(t.text);
  if (size < kQueryDateSize || n + 1 > size) {
    text[0] = 0;
    return false;
  }
  memcpy(text, t.text, n + 1);
  return n > 0;
}

ShortText NormalizeDateTime(const char* text) {
  // A text too short or too long to be a date and time gives the date alone.
  const size_t len = text == nullptr ? 0 : strlen(text);
  if (len < kDateTimeMinLen || len > kDateTimeMaxLen) {
    return Format("%d.%02d.%02d", 1900, 1, 1);
  }
  Runs r = ReadRuns(text);
  int64_t y = r.value[0];
  if (y < 2000 || y > 9999) {
    return FormatDateTime(1900, 1, 1, 0, 0, 0, "");
  }
  int64_t mo = r.value[1];
  int64_t d = r.value[2];
  int64_t h = 0;
  int64_t mi = 0;
  int64_t s = 0;
  if (mo < 1 || mo > 12) {
    return FormatDateTime(y, 1, 1, 0, 0, 0, "");
  }
  if (d < 1 || d > 31) {
    return FormatDateTime(y, mo, 1, 0, 0, 0, "");
  }
  if (d > DaysInMonth(y, mo)) {
    d = DaysInMonth(y, mo);
  }
  if (r.value[3] <= 23) {
    h = r.value[3];
    if (r.value[4] <= 59) {
      mi = r.value[4];
      s = r.value[5] <= 59 ? r.value[5] : 0;
    }
  }
  return FormatDateTime(y, mo, d, h, mi, s, "");
}

int DayIndex(const char* text) {
  if (text == nullptr) {
    return 0;
  }
  Runs r = ReadRuns(text);
  if (r.count < 3) {
    return 0;
  }
  int64_t y = r.value[0];
  int64_t m = r.value[1];
  int64_t d = r.value[2];
  if (y < 100) {
    y += 2000;
  }
  if (m <= 0 || d <= 0) {
    return 0;
  }
  if (d > DaysInMonth(y, m)) {
    d = DaysInMonth(y, m);
  }
  int64_t index = y * 372 + m * 31 + d - 403;
  return index > INT_MAX ? INT_MAX : static_cast<int>(index);
}

int ExtractNumber(const char* text) {
  if (text == nullptr || strnlen(text, kNumberTextMax + 1) > kNumberTextMax) {
    return 0;
  }
  const char* p = text;
  while (*p != 0 && (*p < '1' || *p > '9')) {
    ++p;
  }
  int64_t v = 0;
  for (; *p != 0; ++p) {
    if (*p >= '0' && *p <= '9') {
      v = v * 10 + (*p - '0');
    }
  }
  return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

ShortText FormatDashedNumber(int n) {
  ShortText t;
  if (n < 1 || n > 2100000000) {
    snprintf(t.text, sizeof t.text, "0");
    return t;
  }
  char digits[16];
  int len = snprintf(digits, sizeof digits, "%d", n);
  if ((len != 9 && len != 10) || strncmp(digits, "2007", 4) == 0) {
    memcpy(t.text, digits, static_cast<size_t>(len) + 1);
    return t;
  }
  char ten[11];
  snprintf(ten, sizeof ten, "%010d", n);
  snprintf(t.text, sizeof t.text, "%.6s-%.3s-%.1s", ten, ten + 6, ten + 9);
  return t;
}

int64_t ScaleToInt(double x, int scale) {
  double p = x * scale;
  if (std::isnan(p)) {
    return 0;
  }
  double r = p >= 0.01 ? p + 0.1 : p - 0.1;
  // 2^63 as a double; anything at or beyond it is out of range.
  constexpr double kLimit = 9223372036854775808.0;
  if (r >= kLimit) {
    return INT64_MAX;
  }
  if (r <= -kLimit) {
    return INT64_MIN;
  }
  return static_cast<int64_t>(r);
}

double RoundCents(double& v) {
  double thousandths = v * 1000;
  if (std::isnan(thousandths)) {
    return v;
  }
  constexpr double kLimit = 9223372036854775808.0;
  int64_t t;
  if (thousandths >= kLimit) {
    t = INT64_MAX - 5;
  } else if (thousandths <= -kLimit) {
    t = INT64_MIN + 5;
  } else {
    t = static_cast<int64_t>(thousandths);
  }
  t = t > 0 ? (t + 5) / 10 : (t - 5) / 10;
  v = static_cast<double>(t) * 0.01;
  return v;
}

double Ratio(int a, int b) { return b == 0 ? 0.0 : static_cast<double>(a) / b; }

double Ratio64(int64_t a, int b) { return b == 0 ? 0.0 : static_cast<double>(a) / b; }

int ReadZoneHours() {
  tzset();
  // `timezone` is the standard offset in seconds west of UTC, like the Windows zone bias.
  long biasMinutes = timezone / 60;
  return static_cast<int>(-biasMinutes / 60);
}

int GetZoneHours() {
  // Read once: every request asks, and tzset takes the C library's zone lock and looks at the zone
  // file each time.
  static const int hours = ReadZoneHours();
  return hours;
}

int64_t GetUtcTime() { return static_cast<int64_t>(time(nullptr)) - GetZoneHours() * 3600LL; }

}  // namespace tw
