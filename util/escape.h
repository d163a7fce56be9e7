#pragma once
// Escaping and encodings between the system's GBK text and the outside: the SQL literal sanitiser and
// LIKE-pattern builder, URL decoding and encoding, form fields, base64, HTML entity decoding (UTF-16)
// and HTML cleaning.
//
// Decoders report bad input by negative codes (kBadCharacter, kBadLength); nothing writes past the
// sizes it is given. All functions are reentrant and leave their const arguments untouched.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

// Results of the base64 functions.
inline constexpr int kBadCharacter = -1;  // a byte outside the alphabet, or empty input
inline constexpr int kBadLength = -2;     // a length that is not a multiple of 4, or no room

// One named character reference: the UTF-16 character and its name with "&" and ";".
struct HtmlEntity {
  char16_t ch;
  char name[12];
};
// The 253 named references of HTML 4.01 plus "&apos;", in decoding order ("&quot;", "&amp;",
// "&apos;", "&lt;", "&gt;", "&nbsp;", the Latin-1 ones from "&iexcl;" up, then the rest).
inline constexpr size_t kHtmlEntityCount = 253;
extern const HtmlEntity HtmlEntityTable[kHtmlEntityCount];

// SqlEscape: `text` made safe between single quotes of SQL text: trailing white space (blank, TAB,
// CR, LF, VT, FF) trimmed, every "'" doubled. Markup is left as it stands. Null gives "".
[[nodiscard]] std::string SqlEscape(const char* text);

// ContainsNoCase: 1 when needle occurs in text with ASCII letters compared without case, else 0.
[[nodiscard]] int ContainsNoCase(const char* text, const char* needle);

// Modes of MakeLikePattern.
inline constexpr int kLikeEndsWith = 0;
inline constexpr int kLikeBeginsWith = 1;
inline constexpr int kLikeContains = 2;
// MakeLikePattern: a PostgreSQL LIKE pattern (backslash the escape character) for the trimmed text:
// "%", "_" and "\" escaped with a backslash, "'" doubled, two-byte characters copied whole; then "%"
// before (mode 0), after (mode 1), on both sides (mode 2) or nowhere (other modes). An empty text
// gives "". The result goes between single quotes as it is: do not pass it through SqlEscape.
[[nodiscard]] std::string MakeLikePattern(const char* text, int mode);

// UrlDecode: in place, "+" becomes a blank and "%" with two hex digits the byte of that value; any
// other "%" is kept. Returns text.
char* UrlDecode(char* text);
// UrlEncode: digits, ASCII letters and "*-._" copied, blank as "+", every other byte as "%XX"
// (upper-case hex). out stays "" unless outSize is at least 3 x length + 1. Returns out.
char* UrlEncode(const char* text, char* out, size_t outSize);
// GetFormField: the value of field `name` in a body "a=1&b=2", URL-decoded into out (max bytes plus
// the NUL); with out null, the raw position of the value. Null when the field is absent.
const char* GetFormField(const char* name, const char* body, char* out, size_t max);

// Base64Encode: the standard alphabet with "=" padding; with groupsPerLine > 0, CR LF after every
// groupsPerLine groups of four. *needed (when given) receives the text length. Returns 0, or
// kBadLength (nothing written) when outSize is smaller than that length; the NUL is written only
// when outSize exceeds it.
[[nodiscard]] int Base64Encode(const void* data, size_t length, char* out, size_t outSize,
                               size_t* needed, int groupsPerLine);
// Base64Decode: decodes the first `length` bytes of text (CR and LF skipped, a leading "+ " skipped,
// a trailing partial group ignored, "=" accepted as the third or fourth character of any group) into
// out (outSize bytes), NUL-terminates and sets *count. Returns 0, kBadCharacter for a byte outside
// the alphabet or empty input, kBadLength when out has no room.
[[nodiscard]] int Base64Decode(const char* text, size_t length, void* out, size_t outSize,
                               size_t* count);
// Base64DecodeInPlace: removes CR and LF, then decodes the text over itself and writes two NULs after
// the data. Returns the byte count; 0 for a text shorter than 4; kBadLength when the length is not a
// multiple of 4; kBadCharacter on a bad byte.
[[nodiscard]] long Base64DecodeInPlace(char* text);
// RemoveLineBreaks: removes every CR and LF, in place.
void RemoveLineBreaks(char* text);
// DecodeBase64Field: a carrier field whose first byte is 6 or 7 holds base64 of UTF-8 text after it:
// it is replaced, flag byte included, by its GBK form with accents folded ("" when the base64 is
// bad). Other texts are left alone. Returns text.
char* DecodeBase64Field(char* text);
// DecodeField: UTF-8 for a carrier: a flagged text (first byte 6 or 7) base64-decoded as it is,
// other text taken as GBK with HTML entities decoded. out (outSize bytes) is "" when nothing fits.
char* DecodeField(const char* text, char* out, size_t outSize);

// DecodeHtmlEntitiesWide: in place, numeric references "&#NNN;" of 10..65535 first, then the named
// ones of HtmlEntityTable (decoded in table order, so "&amp;lt;" ends as "<").
void DecodeHtmlEntitiesWide(char16_t* text);
// DecodeNamedEntitiesWide: the named-reference half of DecodeHtmlEntitiesWide.
void DecodeNamedEntitiesWide(char16_t* text);
// MultiByteToWideDecoded: text of codePage to UTF-16 in out (units, NUL counted) with HTML entities
// decoded; out is empty when the conversion fails. Returns out.
char16_t* MultiByteToWideDecoded(const char* text, char16_t* out, size_t units, int codePage);
// CleanHtml: in place, markup removed from element text ("&nbsp;", comments, script spans, "<br>",
// tags, the four basic entities); with bCollapse white-space runs become one blank and the ends are
// trimmed (full-width blanks too). Returns text.
char* CleanHtml(char* text, bool bCollapse);

}  // namespace tw
