#include "util/json.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "util/codepage.h"
#include "util/escape.h"
#include "util/internal/ascii.h"
#include "util/internal/c_locale.h"
#include "util/internal/replace.h"
#include "util/internal/scratch.h"
#include "util/text.h"

namespace tw {
namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr size_t kPatternSize = 64;
// JsonGetStringArray: the "[" must follow within the key's length plus this many bytes.
constexpr size_t kArrayBracketReach = 10;
// Longest UTF-8 (or escape) output per input byte or unit of the escapers.
constexpr size_t kUtf8WorstPerByte = 4;
constexpr size_t kWideWorstPerUnit = 6;

// Index into JsonEscapeText of each ASCII byte, or -1.
struct SpecialTable {
  signed char index[128];
};

constexpr SpecialTable MakeSpecialTable() {
  SpecialTable t{};
  for (signed char& v : t.index) {
    v = -1;
  }
  for (int i = 0; i < 8; ++i) {
    t.index[static_cast<unsigned char>(JsonEscapeText[i].ch)] = static_cast<signed char>(i);
  }
  return t;
}

constexpr SpecialTable kSpecial = MakeSpecialTable();

// Formats the quoted key pattern; false for a null or too long key.
bool MakePattern(const char* key, char (&pattern)[kPatternSize], size_t* len) {
  if (key == nullptr) {
    return false;
  }
  size_t n = strnlen(key, kJsonKeyMax + 1);
  if (n > kJsonKeyMax) {
    return false;
  }
  pattern[0] = '"';
  memcpy(pattern + 1, key, n);
  pattern[n + 1] = '"';
  *len = n + 2;
  return true;
}

// Finds the value of `key`: the index after the colon and the blanks that follow it, or kNone.
// With bRetry, an occurrence not followed by a colon lets the search go on after it; without, the
// first occurrence decides. *keyPos receives the index of the key's opening quote.
size_t FindValue(std::string_view text, const char* key, bool bRetry, size_t* keyPos = nullptr) {
  char pattern[kPatternSize];
  size_t plen;
  if (!MakePattern(key, pattern, &plen)) {
    return kNone;
  }
  size_t from = 0;
  while (from < text.size()) {
    const void* hit = memmem(text.data() + from, text.size() - from, pattern, plen);
    if (hit == nullptr) {
      return kNone;
    }
    size_t at = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
    size_t p = JsonSkipBlanks(text, at + plen);
    if (p < text.size() && text[p] == ':') {
      if (keyPos != nullptr) {
        *keyPos = at;
      }
      return JsonSkipBlanks(text, p + 1);
    }
    if (!bRetry) {
      return kNone;
    }
    from = at + plen;
  }
  return kNone;
}

// The closing quote of a quoted value whose content starts at `start`: the first double quote after
// the first content byte that is not escaped by an odd run of backslashes. kNone when none.
size_t FindClosingQuote(std::string_view text, size_t start) {
  for (size_t i = start + 1; i < text.size(); ++i) {
    const void* q = memchr(text.data() + i, '"', text.size() - i);
    if (q == nullptr) {
      return kNone;
    }
    i = static_cast<size_t>(static_cast<const char*>(q) - text.data());
    size_t backslashes = 0;
    while (i - backslashes > start && text[i - backslashes - 1] == '\\') {
      ++backslashes;
    }
    if (backslashes % 2 == 0) {
      return i;
    }
  }
  return kNone;
}

bool HasHighBytePair(std::string_view s) {
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) >= 0x80 && static_cast<unsigned char>(s[i + 1]) >= 0x80) {
      return true;
    }
  }
  return false;
}

// The usual backslash escapes of quote, r, n, t and backslash, decoded in one pass over GBK text.
size_t DecodeBackslashEscapes(char* s, size_t n) {
  size_t w = 0;
  for (size_t r = 0; r < n;) {
    char c = s[r];
    if (static_cast<unsigned char>(c) >= 0x80 && r + 1 < n) {
      s[w++] = s[r++];
      s[w++] = s[r++];
      continue;
    }
    if (c == '\\' && r + 1 < n) {
      char e = s[r + 1];
      char decoded = 0;
      switch (e) {
        case '"': decoded = '"'; break;
        case 'r': decoded = '\r'; break;
        case 'n': decoded = '\n'; break;
        case 't': decoded = '\t'; break;
        case '\\': decoded = '\\'; break;
        default: break;
      }
      if (decoded != 0) {
        s[w++] = decoded;
        r += 2;
        continue;
      }
    }
    s[w++] = s[r++];
  }
  s[w] = 0;
  return w;
}

inline bool EndsBareValue(char c) {
  return c == ' ' || c == ',' || c == '}' || c == ']' || c == '\r' || c == '\n' || c == '\t' ||
         c == 0;
}

// Reads a value with the number readers' limits.
bool ReadNumberText(const char* key, std::string_view text, char (&buf)[kJsonNumberMax + 1]) {
  JsonGetString(key, text, buf, kJsonNumberMax, kJsonModeTable);
  return buf[0] != 0;
}

// Ends a writer: when the buffer overflowed, the partial piece since `mark` is removed.
bool FinishPiece(OutBuf& out, size_t mark) {
  if (out.overflowed()) {
    if (mark != OutBuf::kOverflowedMark) {
      out.Truncate(mark);
    }
    return false;
  }
  return true;
}

bool PutKey(OutBuf& out, const char* key) {
  out.AppendChar('"');
  out.Append(key);
  return out.Append("\":", 2);
}

// Appends one piece produced by write(dst) (dst null: only measure). `worst` bounds its length.
template <typename Write>
bool AppendMeasured(OutBuf& out, size_t worst, Write write) {
  if (out.overflowed()) {
    return false;
  }
  size_t need = out.room() >= worst ? worst : write(nullptr);
  char* dst = out.Reserve(need);
  if (dst == nullptr) {
    return false;
  }
  out.Commit(write(dst));
  return true;
}

// Writes one special or plain ASCII byte of escaped output; returns the bytes written.
inline size_t PutAscii(unsigned char c, bool bFlat, char* dst) {
  int special = kSpecial.index[c];
  if (special < 0) {
    if (dst != nullptr) {
      *dst = static_cast<char>(c);
    }
    return 1;
  }
  if (bFlat && c == '\r') {
    return 0;
  }
  if (bFlat && c == '\n') {
    if (dst != nullptr) {
      *dst = ' ';
    }
    return 1;
  }
  if (dst != nullptr) {
    memcpy(dst, JsonEscapeText[special].text, 4);
  }
  return 4;
}

// Reads the next code point of UTF-16 units (pairs joined).
inline char32_t NextCodePoint(const char16_t* u, size_t n, size_t* i) {
  char32_t c = u[*i];
  if (c >= 0xD800 && c <= 0xDBFF && *i + 1 < n && u[*i + 1] >= 0xDC00 && u[*i + 1] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (u[*i + 1] - 0xDC00);
    *i += 2;
  } else {
    *i += 1;
  }
  return c;
}

// Escaped UTF-8 of GBK bytes or UTF-16 units; `next` reads one non-ASCII character.
template <typename Unit, typename Next>
size_t EscapeToUtf8(const Unit* s, size_t n, bool bFlat, char* dst, Next next) {
  size_t w = 0;
  for (size_t i = 0; i < n;) {
    if (s[i] < 0x80) {
      w += PutAscii(static_cast<unsigned char>(s[i]), bFlat, dst != nullptr ? dst + w : nullptr);
      ++i;
      continue;
    }
    unsigned char utf8[4];
    size_t len = EncodeUtf8Char(next(s, n, &i), utf8);
    if (dst != nullptr) {
      memcpy(dst + w, utf8, len);
    }
    w += len;
  }
  return w;
}

size_t EscapeGbkToUtf8(const unsigned char* s, size_t n, bool bFlat, char* dst) {
  return EscapeToUtf8(s, n, bFlat, dst, [](const unsigned char* p, size_t len, size_t* i) {
    return static_cast<char32_t>(DecodeGbkChar(p, len, i));
  });
}

size_t EscapeUnitsToUtf8(const char16_t* u, size_t n, bool bFlat, char* dst) {
  return EscapeToUtf8(u, n, bFlat, dst, NextCodePoint);
}

size_t EscapeUnitsToAscii(const char16_t* u, size_t n, bool bFlat, char* dst) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  size_t w = 0;
  for (size_t i = 0; i < n; ++i) {
    if (u[i] < 0x80) {
      w += PutAscii(static_cast<unsigned char>(u[i]), bFlat, dst != nullptr ? dst + w : nullptr);
      continue;
    }
    if (dst != nullptr) {
      char* p = dst + w;
      p[0] = '\\';
      p[1] = 'u';
      p[2] = kHex[(u[i] >> 12) & 0xF];
      p[3] = kHex[(u[i] >> 8) & 0xF];
      p[4] = kHex[(u[i] >> 4) & 0xF];
      p[5] = kHex[u[i] & 0xF];
    }
    w += 6;
  }
  return w;
}

// True when text is "x" followed by upper-case hex digits in groups of four.
bool LooksLikeHexForm(const char* text, size_t n) {
  if (n < 5 || text[0] != 'x' || (n - 1) % 4 != 0) {
    return false;
  }
  for (size_t i = 1; i < n; ++i) {
    char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

// Converts text to UTF-16 the way the escapers read it: the "x"-hex form, else the code page; then
// HTML entities decoded. Returns the unit count, or -1 when the text cannot be converted.
long EscaperUnits(const char* text, size_t n, int codePage, char16_t* units, size_t room) {
  long count = 0;
  if (LooksLikeHexForm(text, n)) {
    HexToWideString(text, units, room);
    count = static_cast<long>(internal::TextLength(units));
  }
  if (count == 0) {
    count = TextToUnits(codePage, std::string_view(text, n), units, room - 1);
    if (count < 0) {
      return -1;
    }
  }
  units[count] = 0;
  for (long k = 0; k < count; ++k) {
    if (units[k] == u'&') {
      DecodeHtmlEntitiesWide(units);
      return static_cast<long>(internal::TextLength(units));
    }
  }
  return count;
}

}  // namespace

size_t JsonSkipBlanks(std::string_view text, size_t pos) {
  while (pos < text.size()) {
    char c = text[pos];
    if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
      ++pos;
    } else if (c == '%' && pos + 2 < text.size() && text[pos + 1] == '2' && text[pos + 2] == '0') {
      pos += 3;
    } else {
      break;
    }
  }
  return pos;
}

unsigned char JsonUnescapeHexByte(const char* p) {
  for (const JsonEscapeEntry& e : JsonEscapeText) {
    if (memcmp(p, e.text, 4) == 0) {
      return static_cast<unsigned char>(e.ch);
    }
  }
  if (p[0] != '\\' || p[1] != 'x') {
    return 0;
  }
  int hi = internal::HexDigitValue(p[2]);
  int lo = internal::HexDigitValue(p[3]);
  if (hi < 0 || lo < 0) {
    return 0;
  }
  return static_cast<unsigned char>(hi << 4 | lo);
}

size_t JsonUnescapeUnicode(std::string_view content, char16_t* out, size_t room) {
  const size_t n = content.size();
  const char* s = content.data();
  size_t w = 0;
  for (size_t i = 0; i < n && w < room;) {
    if (s[i] == '\\' && i + 6 <= n && s[i + 1] == 'u') {
      int d0 = internal::HexDigitValue(s[i + 2]);
      int d1 = internal::HexDigitValue(s[i + 3]);
      int d2 = internal::HexDigitValue(s[i + 4]);
      int d3 = internal::HexDigitValue(s[i + 5]);
      if (d0 >= 0 && d1 >= 0 && d2 >= 0 && d3 >= 0) {
        char16_t unit = static_cast<char16_t>(d0 << 12 | d1 << 8 | d2 << 4 | d3);
        if (unit != 0) {
          out[w++] = unit;
          i += 6;
          continue;
        }
      }
    }
    if (s[i] == '\\' && i + 4 <= n && s[i + 1] == 'x') {
      unsigned char byte = JsonUnescapeHexByte(s + i);
      if (byte != 0) {
        out[w++] = byte;
        i += 4;
        continue;
      }
    }
    // Any other byte is one unit of its own (a high byte widened as its Latin-1 value).
    out[w++] = static_cast<unsigned char>(s[i]);
    ++i;
  }
  return w;
}

size_t JsonUnescape(std::string_view content, char* out, size_t max, int mode) {
  if (out == nullptr) {
    return 0;
  }
  if (max == static_cast<size_t>(-1)) {
    --max;  // max + 1 is the room of out
  }
  const size_t n = content.size();
  if (n >= kJsonUnescapeMax) {
    size_t len = GbkPrefixLength(content.data(), n, max);
    memcpy(out, content.data(), len);
    out[len] = 0;
    return len;
  }
  char work[kJsonUnescapeMax];
  std::string_view text = content;
  if (memmem(content.data(), n, "\\x", 2) != nullptr) {
    size_t w = 0;
    for (size_t r = 0; r < n && w < max;) {
      unsigned char byte = 0;
      if (content[r] == '\\' && r + 4 <= n) {
        byte = JsonUnescapeHexByte(content.data() + r);
      }
      if (byte != 0) {
        work[w++] = static_cast<char>(byte);
        r += 4;
      } else {
        work[w++] = content[r++];
      }
    }
    text = std::string_view(work, w);
  }
  if (HasHighBytePair(text)) {
    if (mode == kJsonModeTable) {
      return Utf8ToGbkEntities(text, out, max + 1, true);
    }
    size_t len = Utf8ToGbkText(text, out, max, nullptr);
    out[len] = 0;
    return len;
  }
  if (memmem(text.data(), text.size(), "\\u", 2) != nullptr) {
    char16_t units[kJsonUnescapeMax];
    size_t count = JsonUnescapeUnicode(text, units, kJsonUnescapeMax - 1);
    if (mode == kJsonModeTable) {
      return UnitsToGbkEntities(units, count, out, max + 1, true);
    }
    size_t len = UnitsToGbk(units, count, out, max, nullptr);
    out[len] = 0;
    return len;
  }
  size_t len = GbkPrefixLength(text.data(), text.size(), max);
  memmove(out, text.data(), len);
  out[len] = 0;
  return len;
}

char* JsonGetString(const char* key, std::string_view text, char* out, size_t max, int mode) {
  if (out == nullptr) {
    return nullptr;
  }
  out[0] = 0;
  size_t v = FindValue(text, key, false);
  if (v == kNone || v >= text.size()) {
    return out;
  }
  if (text[v] == '"') {
    size_t start = v + 1;
    if (start >= text.size() || text[start] == '"') {
      return out;
    }
    size_t close = FindClosingQuote(text, start);
    if (close == kNone) {
      return out;
    }
    size_t len = JsonUnescape(text.substr(start, close - start), out, max, mode);
    DecodeBackslashEscapes(out, len);
    return out;
  }
  if (text.substr(v, 4) == "null") {
    return out;
  }
  size_t len = 0;
  while (v + len < text.size() && len < max && !EndsBareValue(text[v + len])) {
    ++len;
  }
  memcpy(out, text.data() + v, len);
  out[len] = 0;
  return out;
}

std::string JsonGetString(const char* key, std::string_view text, size_t max, int mode) {
  // A value is never longer than its text with every character written as two references.
  const size_t longest = 4 * text.size() + 1;
  if (max > longest) {
    max = longest;
  }
  internal::Scratch<char, 256> buf(max + 1);
  if (!buf.ok()) {
    return std::string();
  }
  JsonGetString(key, text, buf.data(), max, mode);
  return std::string(buf.data());
}

int JsonGetInt(const char* key, std::string_view text, int def) {
  char buf[kJsonNumberMax + 1];
  return ReadNumberText(key, text, buf) ? ParseIntClamped(buf) : def;
}

double JsonGetDouble(const char* key, std::string_view text, double def) {
  char buf[kJsonNumberMax + 1];
  if (!ReadNumberText(key, text, buf)) {
    return def;
  }
  locale_t c = internal::CLocale();
  return c != nullptr ? strtod_l(buf, nullptr, c) : strtod(buf, nullptr);
}

int64_t JsonGetInt64(const char* key, std::string_view text) {
  char buf[kJsonNumberMax + 1];
  return ReadNumberText(key, text, buf) ? ParseInt64Clamped(buf) : 0;
}

int JsonGetBool(const char* key, std::string_view text, int def) {
  char buf[kJsonBoolMax + 1];
  JsonGetString(key, text, buf, kJsonBoolMax, kJsonModeCodePage);
  if (buf[0] == 0) {
    return def;
  }
  return (buf[0] == 'T' || buf[0] == 't') ? 1 : 0;
}

const char* JsonFindKey(const char* key, std::string_view text) {
  size_t keyPos = 0;
  return FindValue(text, key, true, &keyPos) == kNone ? nullptr : text.data() + keyPos;
}

const char* JsonGetRaw(const char* key, std::string_view text, const char** end) {
  size_t v = FindValue(text, key, true);
  if (v == kNone) {
    return nullptr;
  }
  const char* base = text.data();
  if (v < text.size() && text[v] == '"') {
    const void* q = memchr(base + v + 1, '"', text.size() - v - 1);
    if (q == nullptr) {
      return nullptr;
    }
    if (end != nullptr) {
      *end = static_cast<const char*>(q);
    }
    return base + v + 1;
  }
  size_t e = v;
  while (e < text.size() && text[e] != ' ' && text[e] != '\t' && text[e] != ';' && text[e] != 0) {
    ++e;
  }
  if (end != nullptr) {
    *end = base + e;
  }
  return base + v;
}

size_t JsonGetStringArray(const char* key, std::string_view text, std::vector<std::string>& items,
                          size_t minLen, size_t maxLen) {
  size_t keyPos = 0;
  if (key == nullptr || FindValue(text, key, true, &keyPos) == kNone) {
    return 0;
  }
  size_t open = text.find('[', keyPos);
  if (open == kNone || open - keyPos > strlen(key) + kArrayBracketReach) {
    return 0;
  }
  size_t close = text.find(']', open);
  if (close == kNone) {
    return 0;
  }
  std::string_view list = text.substr(open + 1, close - open - 1);
  for (size_t i = 0;;) {
    size_t q1 = list.find('"', i);
    if (q1 == kNone) {
      break;
    }
    size_t q2 = list.find('"', q1 + 1);
    if (q2 == kNone) {
      break;
    }
    size_t len = q2 - q1 - 1;
    if (len >= minLen && len <= maxLen) {
      items.emplace_back(list.substr(q1 + 1, len));
    }
    i = q2 + 1;
  }
  return items.size();
}

namespace {

const char* NextOutsideQuotes(std::string_view text, char wanted) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == wanted) {
      return text.data() + i;
    }
    if (c == '"') {
      size_t q = FindClosingQuote(text, i);
      if (q == kNone) {
        return nullptr;
      }
      i = q;
    } else if (c == 0) {
      return nullptr;
    }
  }
  return nullptr;
}

}  // namespace

const char* JsonNextObjectStart(std::string_view text) { return NextOutsideQuotes(text, '{'); }

const char* JsonNextObjectEnd(std::string_view text) { return NextOutsideQuotes(text, '}'); }

bool JsonNextObject(std::string_view& rest, std::string_view& item) {
  const char* start = JsonNextObjectStart(rest);
  if (start == nullptr) {
    return false;
  }
  size_t from = static_cast<size_t>(start - rest.data());
  const char* end = JsonNextObjectEnd(rest.substr(from));
  if (end == nullptr) {
    return false;
  }
  size_t to = static_cast<size_t>(end - rest.data()) + 1;
  item = rest.substr(from, to - from);
  rest = rest.substr(to);
  return true;
}

bool JsonPutInt(OutBuf& out, const char* key, int value, bool bComma) {
  return JsonPutInt64(out, key, value, bComma);
}

bool JsonPutInt64(OutBuf& out, const char* key, int64_t value, bool bComma) {
  size_t mark = out.Mark();
  char digits[24];
  auto r = std::to_chars(digits, digits + sizeof digits, value);
  PutKey(out, key);
  out.Append(digits, static_cast<size_t>(r.ptr - digits));
  if (bComma) {
    out.AppendChar(',');
  }
  return FinishPiece(out, mark);
}

bool JsonPutBool(OutBuf& out, const char* key, bool value, bool bComma) {
  size_t mark = out.Mark();
  PutKey(out, key);
  out.Append(value ? "true" : "false");
  if (bComma) {
    out.AppendChar(',');
  }
  return FinishPiece(out, mark);
}

bool JsonPutDouble(OutBuf& out, const char* key, double value, int decimals, bool bComma) {
  constexpr int kDefaultDecimals = 6;  // "%f"
  size_t mark = out.Mark();
  int precision = (decimals >= 1 && decimals <= 6) ? decimals : kDefaultDecimals;
  // "%f" of the largest double has 309 integer digits.
  char number[400];
  auto r = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, precision);
  PutKey(out, key);
  if (r.ec == std::errc()) {
    out.Append(number, static_cast<size_t>(r.ptr - number));
  } else {
    out.Printf("%.*f", precision, value);
  }
  if (bComma) {
    out.AppendChar(',');
  }
  return FinishPiece(out, mark);
}

bool JsonPutString(OutBuf& out, const char* key, const char* gbkValue, bool bComma, int codePage,
                   bool bFlat) {
  size_t mark = out.Mark();
  PutKey(out, key);
  out.AppendChar('"');
  JsonEscapeUtf8(gbkValue, out, codePage, bFlat);
  out.AppendChar('"');
  if (bComma) {
    out.AppendChar(',');
  }
  return FinishPiece(out, mark);
}

namespace {

// The escapers' road through UTF-16: converts text (EscaperUnits) and appends write(units, count,
// dst) as one piece of at most worstPerUnit bytes per unit.
template <typename Write>
bool AppendEscapedUnits(const char* text, size_t n, OutBuf& out, int codePage, size_t worstPerUnit,
                        Write write) {
  internal::Scratch<char16_t, 1024> units(n + 1);
  if (!units.ok()) {
    return !out.overflowed();
  }
  long count = EscaperUnits(text, n, codePage, units.data(), n + 1);
  if (count <= 0) {
    return !out.overflowed();
  }
  const char16_t* u = units.data();
  size_t c = static_cast<size_t>(count);
  return AppendMeasured(out, c * worstPerUnit, [&](char* dst) { return write(u, c, dst); });
}

}  // namespace

bool JsonEscapeUtf8(const char* text, OutBuf& out, int codePage, bool bFlat) {
  if (text == nullptr || text[0] == 0) {
    return !out.overflowed();
  }
  const size_t n = strlen(text);
  if (codePage == kCodePageGbk && memchr(text, '&', n) == nullptr && !LooksLikeHexForm(text, n)) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    return AppendMeasured(out, n * kUtf8WorstPerByte,
                          [&](char* dst) { return EscapeGbkToUtf8(s, n, bFlat, dst); });
  }
  return AppendEscapedUnits(text, n, out, codePage, kUtf8WorstPerByte,
                            [bFlat](const char16_t* u, size_t c, char* dst) {
                              return EscapeUnitsToUtf8(u, c, bFlat, dst);
                            });
}

bool JsonEscapeWide(const char* text, OutBuf& out, int codePage, bool bFlat) {
  if (text == nullptr || text[0] == 0) {
    return !out.overflowed();
  }
  return AppendEscapedUnits(text, strlen(text), out, codePage, kWideWorstPerUnit,
                            [bFlat](const char16_t* u, size_t c, char* dst) {
                              return EscapeUnitsToAscii(u, c, bFlat, dst);
                            });
}

}  // namespace tw
