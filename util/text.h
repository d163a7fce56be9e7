#pragma once
// Text helpers for GBK text: searching, editing, trimming and cutting without splitting a two-byte
// character, plus a few small parsers of request values.
//
// GBK rule: a byte of 0x80 or more leads a two-byte character. The helpers that "walk by
// characters" step over both bytes, so a trail byte that happens to equal "\", "|" or a letter is
// never taken for that character. FindText, FindTextIndex, RemoveText, ReplaceAll and SplitText
// are byte-exact and not pair-aware. A null text gives null or no change. Nothing writes past the
// sizes it is given. All functions are reentrant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// Needles of this length or more find nothing in FindNoCase.
inline constexpr size_t kFindNoCaseNeedleMax = 512;
// Carrier address lines: up to 4 lines of at most 59 bytes each.
inline constexpr size_t kAddressLineCount = 4;
inline constexpr size_t kAddressLineSize = 60;

// FindNoCase: the first occurrence of needle in text, ASCII letters compared without case and
// two-byte characters as exact pairs (a match never starts or ends inside a pair); null when none,
// for null arguments, or for a needle of kFindNoCaseNeedleMax bytes or more.
[[nodiscard]] const char* FindNoCase(const char* text, const char* needle);
[[nodiscard]] char* FindNoCase(char* text, const char* needle);
// FindChar: the first single-byte character equal to c, or null.
[[nodiscard]] const char* FindChar(const char* text, char c);
[[nodiscard]] char* FindChar(char* text, char c);
// FindFirstDigit: the first ASCII digit (walking by characters), or null.
[[nodiscard]] const char* FindFirstDigit(const char* text);
// FindText: the first byte-exact occurrence of needle, or null; *matchedLen (when given) receives
// the needle's length.
[[nodiscard]] const char* FindText(const char* text, const char* needle, size_t* matchedLen = nullptr);
// FindTextIndex: the index of the first byte-exact occurrence, -1 when absent or an argument is null.
[[nodiscard]] long FindTextIndex(const char* text, const char* needle);

// MakeUpperAscii: upper-cases ASCII a-z in place (two-byte characters untouched).
void MakeUpperAscii(char* text);
// ReplaceChar: every single-byte character a becomes b, in place.
void ReplaceChar(char* text, char a, char b);
// RemoveChar: removes every single-byte character c, in place.
void RemoveChar(char* text, char c);
// RemoveText: removes every byte-exact occurrence of needle, in place.
void RemoveText(char* text, const char* needle);
// ReplaceAll: replaces every byte-exact occurrence of `from` by `to` (scanning on after each one; an
// empty `to` removes them) in text, whose buffer holds `size` bytes. Returns false, and leaves the
// text unchanged, when the longer result would not fit.
[[nodiscard]] bool ReplaceAll(char* text, size_t size, const char* from, const char* to);

// TrimBlanksGbk: removes bytes 1-32 at both ends, in place (never inside a two-byte character).
void TrimBlanksGbk(char* text);
// TrimTrailingBlanks: removes bytes 1-32 at the end, in place.
void TrimTrailingBlanks(char* text);
// TrimTrailingZeros: for a number text holding ".", removes trailing zeros and white space and then
// a trailing "." ("12.500" -> "12.5", "3.000" -> "3"). Other texts are left alone.
void TrimTrailingZeros(char* text);
// FullWidthToAscii: full-width ASCII (A3 xx) and a few full-width punctuation marks become their
// single ASCII byte, in place.
void FullWidthToAscii(char* text);
// TruncateText: cuts text to at most n bytes at a character boundary, in place.
void TruncateText(char* text, size_t n);
// CopyTextLimited: copies at most n bytes of text to out (which holds n + 1 bytes) without splitting
// a character, and NUL-terminates. Nothing when either is null.
void CopyTextLimited(char* out, const char* text, size_t n);
// AppendChar: appends c (unless it is 0) to text, whose buffer holds `size` bytes. Returns false,
// text unchanged, when there is no room.
bool AppendChar(char* text, size_t size, char c);

// SplitText: empties items, then appends each piece of text between separators whose byte length
// lies within minLen..maxLen. Returns the number of items.
size_t SplitText(const char* text, std::vector<std::string>& items, char separator, size_t minLen,
                 size_t maxLen);

// Up to four address lines for a carrier.
struct AddressLines {
  char line[kAddressLineCount][kAddressLineSize];
};
// SplitAddressLines: zeroes out, then fills up to `count` (at most 4) lines of at most maxLen (at
// most 59) bytes: the text's own lines when they all fit, else the text wrapped at blanks.
void SplitAddressLines(const char* text, AddressLines& out, size_t maxLen, int count);

// GetXmlElementText: the text between "<name>" and "</name>" in xml, into out (outSize bytes),
// cleaned of markup with bClean. Returns 1 when found and its length lies within minLen..maxLen
// (an empty element "<name/>" counts as found and empty), else 0. A text longer than out can hold
// is cut (never inside a character) and gives 0.
[[nodiscard]] int GetXmlElementText(const char* name, const char* xml, char* out, size_t outSize,
                                    size_t minLen, size_t maxLen, bool bClean);

// IsAllDigits: 1 when every byte is "0"-"9" (the empty text too), 0 otherwise or for null.
[[nodiscard]] int IsAllDigits(const char* text);
// IsBitSet: nonzero when bit (0x80 >> position) of flags is set; positions outside 0-7 give 0.
[[nodiscard]] int IsBitSet(uint8_t flags, int position);
// IsDigitSet: position <= 0: number > 0; 1-10: the decimal digit at that position (1 = units) is
// nonzero; otherwise 0.
[[nodiscard]] int IsDigitSet(int number, int position);
// ParsePair: reads "a,b" into *a and *b; both 0 (and false) when there is no comma.
bool ParsePair(const char* text, int* a, int* b);
// ParseDimensions: reads "L*W*H"; returns 1 when the first two are positive and the third nonzero.
[[nodiscard]] int ParseDimensions(const char* text, int* length, int* width, int* height);
// ClampShortInPlace: returns the previous value; sets value to min or max when outside them.
int16_t ClampShortInPlace(int16_t& value, int16_t min, int16_t max);
// MakeRandomText: n characters from "A"-"Z", "a"-"z", "0"-"9" drawn from the operating system's
// random source, into out (n + 1 bytes). Returns false (out empty) when the source failed.
[[nodiscard]] bool MakeRandomText(char* out, size_t n);

// ParseIntClamped: the value of the leading integer of text the way atoi reads it (white space,
// sign, digits), clamped to the int range; 0 when there is none. ParseInt64Clamped likewise.
[[nodiscard]] int ParseIntClamped(const char* text);
[[nodiscard]] int64_t ParseInt64Clamped(const char* text);

}  // namespace tw
