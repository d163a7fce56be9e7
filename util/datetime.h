#pragma once
// Dates, times and number helpers: request dates (free text) normalised to the SQL forms
// "%d.%02d.%02d" and "%d.%02d.%02d %02d:%02d:%02d", day numbers for comparisons, and the exact
// conversions of money and weights between floating point and the integer units the database keeps
// (cents, grams, thousandths). All functions are reentrant.
#include <cstddef>
#include <cstdint>

namespace tw {

// A short result text held by value ("2015.06.14 23:59:59.998" and the like).
struct ShortText {
  char text[32];
  [[nodiscard]] const char* c_str() const { return text; }
};

// The room a query bound needs: "9999.12.31 23:59:59.998" and the NUL.
inline constexpr size_t kQueryDateSize = 24;

// NormalizeDateOrToday: the date in text as "%d.%02d.%02d": year, month and day are the first three
// digit runs (a year below 1000 gets 2000 added; a month outside 1..12 is 1; a day outside 1..31 is
// 15, then cut to the month's length). The default (today when bToday, else "2002.01.01") for a year
// above 9999, for a text without a number, and for a text of 7 bytes or fewer unless it holds all
// three numbers.
[[nodiscard]] ShortText NormalizeDateOrToday(const char* text, bool bToday);
// NormalizeDate: the same rules with the default "1900.01.01", a year above 3000 giving the default,
// and every text of 7 bytes or fewer giving the default.
[[nodiscard]] ShortText NormalizeDate(const char* text);
// NormalizeQueryDate: a list-filter bound "%d.%02d.%02d %02d:%02d:%02d" plus ".998" (bEnd) or ".0";
// "" when the trimmed text is not 8 to 31 bytes or not a valid calendar date-time. Digits only:
// YYYYMMDD[hh[mm[ss]]]; otherwise up to six numbers in order. With bEnd, a second missing from the
// text is 59, a minute missing too 59, and an hour missing too 23.
[[nodiscard]] ShortText NormalizeQueryDate(const char* text, bool bEnd);
// The same in place: text (a buffer of `size` bytes) is replaced by the bound, or by "" when invalid
// or when the buffer is smaller than kQueryDateSize. Returns true for a valid bound.
bool NormalizeQueryDate(char* text, size_t size, bool bEnd);
// NormalizeDateTime: "%d.%02d.%02d %02d:%02d:%02d" from the digit runs of text; "1900.01.01" (the
// date alone) for a text shorter than 8 or of 32 bytes or more (a null text too), "1900.01.01
// 00:00:00" for a year outside 2000..9999. A month outside
// 1..12 gives January 1st, a day outside 1..31 the 1st, both at midnight; an hour, minute or second
// out of range is dropped with what follows it.
[[nodiscard]] ShortText NormalizeDateTime(const char* text);

// DayIndex: year x 372 + month x 31 + day - 403 of a "Y.M.D" text (it orders dates but does not count
// days); 0 when a number is missing or the month or day is not positive. A year below 100 gets 2000.
[[nodiscard]] int DayIndex(const char* text);
// ExtractNumber: the digits of text from its first digit 1-9 on, other bytes removed, read as an
// integer (at most INT_MAX); 0 for a text of 16 bytes or more.
[[nodiscard]] int ExtractNumber(const char* text);
// FormatDashedNumber: "0" for n outside 1..2100000000; otherwise "%d", and a 9- or 10-digit number
// not beginning with "2007" as "NNNNNN-NNN-N" (9 digits get a leading 0 first).
[[nodiscard]] ShortText FormatDashedNumber(int n);

// ScaleToInt: x x scale in integer units: a product p of 0.01 or more gives p + 0.1 truncated, any
// other p - 0.1 truncated (so 999.9 gives 1000, 1234.5 gives 1234). Clamped to the int64 range;
// NaN gives 0.
[[nodiscard]] int64_t ScaleToInt(double x, int scale);
// RoundCents: v rounded to 2 decimals, half away from zero on the third decimal after truncation to
// thousandths (1.2349 -> 1.23, 1.235 -> 1.24, 1.005 -> 1.00); stored back into v and returned.
double RoundCents(double& v);
// Ratio, Ratio64: a / b as double; 0 when b is 0.
[[nodiscard]] double Ratio(int a, int b);
[[nodiscard]] double Ratio64(int64_t a, int b);

// ReadZoneHours: the local standard time zone's offset from UTC in whole hours (east positive), as
// the zone (TZ) is now.
[[nodiscard]] int ReadZoneHours();
// GetZoneHours: ReadZoneHours as it was at the first call (the zone is read once per process).
[[nodiscard]] int GetZoneHours();
// GetUtcTime: seconds since 1970 minus GetZoneHours() x 3600 (a time that localtime shows as the
// UTC wall clock).
[[nodiscard]] int64_t GetUtcTime();

}  // namespace tw
