#pragma once
// Conversions between GBK (code page 936, the system's own text), UTF-8 and UTF-16 (char16_t units).
//
// Code page 936 and UTF-8 are converted through our own tables (GbkTable and its reverse, generated
// at build time from the C library's CP936 conversion): ASCII is itself, the byte 0x80 is U+20AC, a
// byte of 0x80 or more leads a two-byte character. A unit that GBK lacks becomes "?" (or "&#%u;" in
// the entity forms); malformed input never fails: invalid UTF-8 becomes U+FFFD, an invalid GBK pair
// becomes "?". Other code pages go through platform/codepage.h. Every writer stays inside the size
// it is given, stops before the first character that does not fit whole, and NUL-terminates.
//
// All functions are reentrant.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/codepage.h"

namespace tw {

// GbkTable: for each UTF-16 unit from U+00A4 to U+FFE5, its two-byte GBK code (lead byte in the high
// half) or 0; 21791 entries are nonzero. GbkReverseTable: for each pair lead 0x81..0xFE x trail
// 0x40..0xFE (191 trails per lead), its unit or 0.
inline constexpr char16_t kGbkTableFirstUnit = 0xA4;
inline constexpr char16_t kGbkTableLastUnit = 0xFFE5;
inline constexpr size_t kGbkTableSize = kGbkTableLastUnit - kGbkTableFirstUnit + 1;  // 65346
inline constexpr unsigned kGbkFirstLead = 0x81;
inline constexpr unsigned kGbkFirstTrail = 0x40;
inline constexpr unsigned kGbkLastTrail = 0xFE;
inline constexpr unsigned kGbkTrailCount = kGbkLastTrail - kGbkFirstTrail + 1;  // 191
inline constexpr size_t kGbkReverseTableSize = (0xFE - kGbkFirstLead + 1) * kGbkTrailCount;
extern const uint16_t GbkTable[kGbkTableSize];
extern const uint16_t GbkReverseTable[kGbkReverseTableSize];

// The longest reference "&#65535;" and its NUL.
inline constexpr size_t kEntityReserve = 8;

// GbkCodeOfUnit: the two-byte GBK code of `u` (lead byte high), or 0 when GBK has none.
[[nodiscard]] inline uint16_t GbkCodeOfUnit(char16_t u) {
  return (u >= kGbkTableFirstUnit && u <= kGbkTableLastUnit) ? GbkTable[u - kGbkTableFirstUnit] : 0;
}

// UnitOfGbkPair: the UTF-16 unit of the pair lead, trail, or 0 when it is not a GBK character.
[[nodiscard]] inline char16_t UnitOfGbkPair(unsigned char lead, unsigned char trail) {
  if (lead < kGbkFirstLead || lead > 0xFE || trail < kGbkFirstTrail || trail > kGbkLastTrail) {
    return 0;
  }
  return GbkReverseTable[(lead - kGbkFirstLead) * kGbkTrailCount + (trail - kGbkFirstTrail)];
}

// GbkCharLength: 2 when s[i] leads a two-byte character (a byte of 0x80 or more with a byte after
// it before n), else 1. REQUIRES: i < n.
[[nodiscard]] inline size_t GbkCharLength(const char* s, size_t n, size_t i) {
  return (static_cast<unsigned char>(s[i]) >= 0x80 && i + 1 < n) ? 2 : 1;
}

// DecodeGbkChar: the unit of the character at s[*i] (REQUIRES *i < n), advancing *i past it. ASCII
// is itself, 0x80 is U+20AC; a lead byte with a valid trail byte is one character ("?" when GBK does
// not assign the pair); a lead byte without a trail byte, and 0xFF, are "?" on their own.
[[nodiscard]] inline char16_t DecodeGbkChar(const unsigned char* s, size_t n, size_t* i) {
  unsigned char b = s[*i];
  if (b < 0x80) {
    *i += 1;
    return b;
  }
  if (b == 0x80) {
    *i += 1;
    return 0x20AC;
  }
  if (b <= 0xFE && *i + 1 < n) {
    unsigned char t = s[*i + 1];
    if (t >= kGbkFirstTrail && t <= kGbkLastTrail && t != 0x7F) {
      *i += 2;
      char16_t u = UnitOfGbkPair(b, t);
      return u != 0 ? u : u'?';
    }
  }
  *i += 1;
  return u'?';
}

// GbkPrefixLength: the length of the longest prefix of s[0..n) of at most `max` bytes that does
// not split a two-byte character.
[[nodiscard]] size_t GbkPrefixLength(const char* s, size_t n, size_t max);

// WideCharToGbkBytes: writes the GBK form of one unit into out (2 bytes of room): 0..127 as that
// byte, U+20AC as 0x80, a unit of the table as its two bytes, anything else as "?".
// Returns the number of bytes written (1 or 2).
int WideCharToGbkBytes(char16_t unit, char* out);

// Utf8ToGbk: converts the NUL-terminated UTF-8 `text` to GBK in place (the result is never longer).
// With *flag nonzero on entry, converts only when the text contains "harset=utf-" (ASCII case
// ignored) and otherwise returns it unchanged. bStripAccents folds accented Latin letters to ASCII
// first. On return *flag (when given) is 1 when a character had no GBK form and became "?".
// Returns text; null for a null text.
char* Utf8ToGbk(char* text, bool bStripAccents, int* flag);

// GbkToUtf8: the UTF-8 form of the GBK `text` in out (outSize bytes, NUL counted). Returns out.
char* GbkToUtf8(const char* text, char* out, size_t outSize);

// MultiByteToGbkTable: converts `text` of `codePage` to UTF-16 and writes it into out (outSize
// bytes): ASCII as is; with bTable, a unit that has a two-byte GBK code as those bytes; every other
// unit as "&#%u;" (decimal). A piece that does not fit whole ends the output. Returns out.
char* MultiByteToGbkTable(int codePage, const char* text, char* out, size_t outSize, bool bTable);

// WideToGbkWithEntities: the same as MultiByteToGbkTable for NUL-terminated UTF-16 text.
char* WideToGbkWithEntities(const char16_t* text, char* out, size_t outSize, bool bTable);

// HexToWideString: parses the "x"-hex form: "x" followed only by upper-case hex digits in groups of
// four, each group one unit given as its two bytes little-endian ("4F60" is U+604F). `units` is the
// room of out, NUL counted. Returns out; out is empty when the text is not of that form or has more
// units than fit.
char16_t* HexToWideString(const char* text, char16_t* out, size_t units);

// WideToUtf8: the UTF-8 form of the NUL-terminated UTF-16 text (surrogate pairs joined, a lone
// surrogate as U+FFFD) in out (outSize bytes, NUL counted). Returns out.
char* WideToUtf8(const char16_t* text, char* out, size_t outSize);

// StripAccents: folds accented Latin letters of the UTF-16 text to ASCII letters, in place.
void StripAccents(char16_t* text);

// ReplaceAllWide: replaces every occurrence of `from` by `to` in the UTF-16 text (capacity units,
// NUL counted); an empty or null `to` removes them. Returns false, text unchanged, when the result
// would not fit.
[[nodiscard]] bool ReplaceAllWide(char16_t* text, size_t capacity, const char16_t* from,
                                  const char16_t* to);
// ReplaceAllWideA: the same with `from` given as GBK text.
[[nodiscard]] bool ReplaceAllWideA(char16_t* text, size_t capacity, const char* fromGbk,
                                   const char16_t* to);
// RemoveAllWide: removes every occurrence of `seq` from the UTF-16 text, in place.
void RemoveAllWide(char16_t* text, const char16_t* seq);

// The building blocks of the converters above, on counted text (no NUL needed).

// GbkToUnits: decodes GBK into at most `room` units; returns the units written.
size_t GbkToUnits(std::string_view gbk, char16_t* out, size_t room);
// Utf8ToUnits: decodes UTF-8 into at most `room` units; a character that does not fit whole ends
// the output. Returns the units written.
size_t Utf8ToUnits(std::string_view utf8, char16_t* out, size_t room);
// UnitsToGbk: GBK bytes ("?" for what GBK lacks) into at most `max` bytes, never half a character;
// sets *usedDefault (when given) when a "?" was written for a unit. Returns the bytes written (no
// NUL is written).
size_t UnitsToGbk(const char16_t* units, size_t n, char* out, size_t max, bool* usedDefault);
// UnitsToGbkEntities: the entity form of MultiByteToGbkTable into out (outSize bytes, NUL written).
// Returns the length.
size_t UnitsToGbkEntities(const char16_t* units, size_t n, char* out, size_t outSize, bool bTable);
// Utf8ToGbkText: UTF-8 straight to GBK ("?" for what GBK lacks) into at most `max` bytes, never
// half a character. Returns the bytes written (no NUL).
size_t Utf8ToGbkText(std::string_view utf8, char* out, size_t max, bool* usedDefault);
// Utf8ToGbkEntities: UTF-8 straight to the entity form into out (outSize bytes, NUL written).
size_t Utf8ToGbkEntities(std::string_view utf8, char* out, size_t outSize, bool bTable);
// TextToUnits: `text` of `codePage` (936 and 65001 by our tables, others by the platform; 20932
// read as 51932) into at most `room` units. Returns the units written, or -1 when the code page is
// unknown or the conversion failed.
[[nodiscard]] long TextToUnits(int codePage, std::string_view text, char16_t* out, size_t room);

}  // namespace tw
