#pragma once
// Code-page conversions in place of the Windows MultiByteToWideChar / WideCharToMultiByte pair.
//
// Text inside the system is GBK (code page 936); UTF-8 (65001) appears at the edges. UTF-16 is held in
// char16_t units (wchar_t is 32 bits here). UTF-8 is converted by our own code (an invalid sequence
// becomes U+FFFD, one per maximal invalid subpart, as the Windows conversion does); every other code
// page goes through iconv with a descriptor opened per call, so all functions are thread-safe.
//
// Code page 936 follows Windows: the single byte 0x80 is the euro sign U+20AC, the bytes 0x81..0xFE
// lead a two-byte character, 0xFF and unknown pairs decode as "?" (U+003F).
#include <cstddef>
#include <cstdint>

namespace tw {

inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kCodePageEucJp = 51932;
// JIS X 0212 as a code page of its own; this system does not know it (callers use 51932 instead).
inline constexpr int kCodePageJisX0212 = 20932;

// IsCodePageKnown: true when the conversions below accept `codePage`.
[[nodiscard]] bool IsCodePageKnown(int codePage);

// MultiByteToWideChar: converts `srcLen` bytes of `src` (srcLen < 0: up to and including the NUL) to
// UTF-16 in `dst`, which holds `dstUnits` units. dstUnits == 0 asks for the needed number of units.
// Returns the units written (or needed), counting the NUL when srcLen < 0; 0 when the code page is
// unknown, an argument is invalid, or the result does not fit (nothing beyond dstUnits is written).
// Invalid input is never an error: it decodes to U+FFFD (UTF-8) or "?" (other code pages).
[[nodiscard]] int MultiByteToWideChar(int codePage, const char* src, int srcLen, char16_t* dst,
                                      int dstUnits);

// WideCharToMultiByte: converts `srcLen` units of `src` (srcLen < 0: up to and including the NUL) to
// `codePage` in `dst` of `dstSize` bytes; dstSize == 0 asks for the needed size. A unit that the code
// page cannot represent is written as `defaultChar` (null: "?") and sets *usedDefault (when given);
// for UTF-8 a lone surrogate becomes U+FFFD. Returns the bytes written (or needed), counting the NUL
// when srcLen < 0; 0 on an unknown code page, an invalid argument or a result that does not fit.
[[nodiscard]] int WideCharToMultiByte(int codePage, const char16_t* src, int srcLen, char* dst,
                                      int dstSize, const char* defaultChar, bool* usedDefault);

// DecodeUtf8Char: decodes the character at s[*i] (REQUIRES *i < n) and advances *i past it. An
// invalid sequence gives U+FFFD and advances past its maximal invalid subpart (at least one byte).
[[nodiscard]] char32_t DecodeUtf8Char(const unsigned char* s, size_t n, size_t* i);

// EncodeUtf8Char: writes the UTF-8 form of `c` (a surrogate or a value above U+10FFFF becomes
// U+FFFD) into out and returns its length, 1 to 4.
size_t EncodeUtf8Char(char32_t c, unsigned char out[4]);

}  // namespace tw
