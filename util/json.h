#pragma once
// JSON text reader and writer without an object model.
//
// Readers search the raw request text for a quoted key followed by a colon and copy out the value
// that follows; every lookup scans from the start of the text, and the FIRST occurrence of the
// quoted key decides (a key met earlier inside a list item wins; read list items from their own
// text, see JsonNextObject). Readers never write into the request text and never fail: a missing or
// malformed piece gives the empty text, the caller's default or 0. Text is counted
// (std::string_view; a const char* is read up to its NUL), so a list item is read in place.
//
// Writers append key-and-value pieces to an OutBuf; a piece that does not fit is not written and
// the buffer is marked overflowed (they then return false). Keys are written as given, never
// escaped; callers decide the commas (bComma) and write braces and brackets themselves.
//
// This system's escape convention: special characters are written as "\xHH" (four characters),
// see JsonEscapeText; the reader accepts those, "\uXXXX", and the usual backslash escapes of ", \,
// r, n and t.
//
// Reading modes for text: kJsonModeCodePage converts non-ASCII input to GBK with "?" for what GBK
// lacks; kJsonModeTable converts through the GBK table and writes "&#%u;" (the decimal UTF-16 unit)
// for what GBK lacks.
//
// All functions are reentrant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "util/outbuf.h"

namespace tw {

inline constexpr int kJsonModeCodePage = 0;
inline constexpr int kJsonModeTable = 1;
// Key names are at most this long (the quoted pattern fits 64 bytes); longer keys find nothing.
inline constexpr size_t kJsonKeyMax = 61;
// Quoted values of this length or more are copied raw, without unescaping or conversion.
inline constexpr size_t kJsonUnescapeMax = 16384;
// The number readers read at most this many bytes of a value; the boolean reader kJsonBoolMax.
inline constexpr size_t kJsonNumberMax = 63;
inline constexpr size_t kJsonBoolMax = 15;

// The eight special characters and their escape texts, in this order.
struct JsonEscapeEntry {
  char ch;
  char text[5];
};
inline constexpr JsonEscapeEntry JsonEscapeText[8] = {
    {'"', "\\x22"}, {'\\', "\\x5C"}, {'/', "\\x2F"},  {'\b', "\\x08"},
    {'\f', "\\x0C"}, {'\n', "\\x0A"}, {'\r', "\\x0D"}, {'\t', "\\x09"},
};

// ---- Readers ----

// JsonGetString: the value of `key` in out (max bytes plus the NUL; out holds max + 1 bytes),
// decoded and converted to GBK by `mode` when quoted, copied as it stands when bare (up to a blank,
// ",", "}", "]", CR, LF or TAB). Empty when the key is missing, its first occurrence is not followed
// by a colon, or the value is null, "" or unterminated. Never splits a two-byte character.
// Returns out.
char* JsonGetString(const char* key, std::string_view text, char* out, size_t max, int mode);
// JsonGetString into a std::string (same rules, at most max bytes).
[[nodiscard]] std::string JsonGetString(const char* key, std::string_view text, size_t max, int mode);
// JsonGetInt: the value read as text (quoted or bare) the way atoi reads it, clamped to the int
// range; `def` when the value is empty or the key missing.
[[nodiscard]] int JsonGetInt(const char* key, std::string_view text, int def);
// JsonGetDouble: the value read as a C-locale floating-point number; `def` when empty.
[[nodiscard]] double JsonGetDouble(const char* key, std::string_view text, double def);
// JsonGetInt64: the value read as a 64-bit integer (clamped); 0 when empty.
[[nodiscard]] int64_t JsonGetInt64(const char* key, std::string_view text);
// JsonGetBool: `def` when empty; 1 when the value begins with "T" or "t"; otherwise 0 (so "1" is 0).
[[nodiscard]] int JsonGetBool(const char* key, std::string_view text, int def);
// JsonFindKey: the opening quote of the first occurrence of the quoted key that is followed (after
// blanks) by a colon; later occurrences are tried. Null when none.
[[nodiscard]] const char* JsonFindKey(const char* key, std::string_view text);
// JsonGetRaw: the value without copying: for a quoted value the byte after the opening quote, with
// *end at the next double quote (escapes not honoured; null when unterminated); for a bare value
// its start, with *end at the first blank, TAB, ";" or the end of the text. Null when absent.
[[nodiscard]] const char* JsonGetRaw(const char* key, std::string_view text, const char** end);
// JsonGetStringArray: appends to items the quoted strings of the key's "[...]" list (no escape
// handling) whose byte length lies within minLen..maxLen. The "[" must follow within the key's
// length plus 10 bytes of the key's opening quote. Returns items.size() afterwards.
size_t JsonGetStringArray(const char* key, std::string_view text, std::vector<std::string>& items,
                          size_t minLen, size_t maxLen);
// JsonNextObjectStart / JsonNextObjectEnd: the next "{" / "}" outside quoted strings (a quoted
// string runs to the next double quote that no backslash escapes); null when none.
[[nodiscard]] const char* JsonNextObjectStart(std::string_view text);
[[nodiscard]] const char* JsonNextObjectEnd(std::string_view text);
// JsonNextObject: walks a list of objects. Finds the next "{...}" in `rest`, sets item to it (braces
// included) and rest to the text after it; false when there is none. Objects nested inside list
// items are not supported.
//   std::string_view rest = list, item;
//   while (JsonNextObject(rest, item)) { ... JsonGetString("cNum", item, ...) ... }
bool JsonNextObject(std::string_view& rest, std::string_view& item);

// JsonSkipBlanks: the index of the first byte at or after `pos` that is not TAB, LF, CR, blank or
// the start of "%20".
[[nodiscard]] size_t JsonSkipBlanks(std::string_view text, size_t pos);

// JsonUnescape: decodes a quoted value's content (without its quotes) into out (max bytes plus the
// NUL) by `mode`: "\xHH" forms, then UTF-8 input (a high byte followed by another) or "\uXXXX" forms
// converted to GBK; otherwise a GBK-safe copy. Returns the length written.
size_t JsonUnescape(std::string_view content, char* out, size_t max, int mode);
// JsonUnescapeHexByte: the byte of the "\xHH" form at p (4 bytes available), or 0 when it is not
// one (or is "\x00").
[[nodiscard]] unsigned char JsonUnescapeHexByte(const char* p);
// JsonUnescapeUnicode: the content as UTF-16 units: "\uXXXX" gives that unit, "\xHH" that byte's
// value, every other byte one unit. Writes at most `room` units; returns the count.
size_t JsonUnescapeUnicode(std::string_view content, char16_t* out, size_t room);

// ---- Writers ---- (each returns false once the buffer has overflowed)

// JsonPutInt: "key":value then "," when bComma.
bool JsonPutInt(OutBuf& out, const char* key, int value, bool bComma);
// JsonPutInt64: "key":value then "," when bComma.
bool JsonPutInt64(OutBuf& out, const char* key, int64_t value, bool bComma);
// JsonPutBool: "key":true or "key":false then "," when bComma.
bool JsonPutBool(OutBuf& out, const char* key, bool value, bool bComma);
// JsonPutDouble: "key":value with 1 to 6 decimals ("%.Nf"), any other `decimals` as "%f"; C locale.
bool JsonPutDouble(OutBuf& out, const char* key, double value, int decimals, bool bComma);
// JsonPutString: "key":"value" with the GBK value as escaped UTF-8 (JsonEscapeUtf8), then ","
// when bComma.
bool JsonPutString(OutBuf& out, const char* key, const char* gbkValue, bool bComma,
                   int codePage = kCodePageGbk, bool bFlat = false);

// JsonEscapeUtf8: appends `text` as UTF-8 with the eight specials escaped (bFlat: CR dropped and LF
// as a blank instead). The text is read as the "x"-hex form when it is one, else in codePage
// (20932 read as 51932); HTML entities in it are decoded. A text that cannot be converted appends
// nothing. The piece is written whole or not at all.
bool JsonEscapeUtf8(const char* text, OutBuf& out, int codePage, bool bFlat);
// JsonEscapeWide: the same conversion, appended as pure ASCII: every unit of 128 or more as
// "\uXXXX" (upper-case hex), the specials as their escape texts.
bool JsonEscapeWide(const char* text, OutBuf& out, int codePage, bool bFlat);

}  // namespace tw
