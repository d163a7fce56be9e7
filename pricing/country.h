#pragma once
// Country names: receivers' countries arrive as free Chinese or English text, as ISO codes or as a
// Chinese province; carriers need the ISO code, and postcodes are checked against the country's
// format. A fixed table of 240 rows in a fixed order (some codes occur twice; code lookups take the
// first row of a code).
//
// Texts are GBK. English names are compared with ASCII letter case ignored, Chinese names by their
// exact bytes, and a name is only found inside a text where it starts on a character boundary.
// Everything here is read-only and reentrant.

#include <cstddef>

struct CountryEntry {
  const char* code2;    // ISO 3166 alpha-2
  const char* code3;    // alpha-3
  const char* numeric;  // numeric code, three digits
  const char* nameCn;   // Chinese name
  const char* nameEn;   // English name
};

inline constexpr size_t kCountryCount = 240;
// The country table in its fixed order.
extern const CountryEntry kCountryTable[kCountryCount];

// Texts longer than this name no country.
inline constexpr size_t kCountryTextMaxBytes = 255;

// FindCountryEntry: the row a country text means: China for a text naming China or a Chinese
// province (unless a code is excluded), the United States, the United Kingdom, Germany and
// Australia by their codes and names, then (after a few spellings are normalised) the first row
// whose Chinese or English name equals the text, then the first whose name begins it, and with
// bLoose the first whose name occurs in it or contains it. Rows of the excluded code (may be null)
// are skipped by the prefix and loose passes; with "CN" excluded a text holding 内蒙古 finds nothing.
// Null for an empty text, one longer than kCountryTextMaxBytes, or no match.
[[nodiscard]] const CountryEntry* FindCountryEntry(const char* text, int bLoose, const char* excluded);
// FindCountryByCode: the first row with that alpha-2 code (letter case counts), or null.
[[nodiscard]] const CountryEntry* FindCountryByCode(const char* code);
// CountryCodeOf: the alpha-2 code of FindCountryEntry(text, 0), else of FindCountryEntry(text, 1),
// else "". The text returned is static.
[[nodiscard]] const char* CountryCodeOf(const char* text);

// The country checks: 1 when the text means that country, else 0. A text of two or three bytes is
// compared only with the country's codes (letter case counts).
[[nodiscard]] int IsChinaText(const char* text);  // contains 中国 or a province
[[nodiscard]] int IsUsText(const char* text);
[[nodiscard]] int IsGbText(const char* text);
[[nodiscard]] int IsDeText(const char* text);
[[nodiscard]] int IsAuText(const char* text);

// IsPostcodeValidForCountry: 1 when the postcode fits the format of the country (its Chinese name):
// 4 to 15 bytes, more than 3 left without "-" and blanks; for 澳大利亚 4 digits, 美国, 法国, 德国 5, 中国,
// 俄罗斯 6, 日本 7; for 英国 at most 7 letters and digits; any for other countries. Else 0.
[[nodiscard]] int IsPostcodeValidForCountry(const char* postcode, const char* country);
