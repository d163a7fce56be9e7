#include "util/escape.h"

#include <cstring>

#include "util/codepage.h"
#include "util/internal/ascii.h"
#include "util/internal/replace.h"
#include "util/internal/scratch.h"
#include "util/text.h"

namespace tw {
namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kNotBase64 = 255;

struct Base64Table {
  unsigned char value[256];
};

constexpr Base64Table MakeBase64Table() {
  Base64Table t{};
  for (unsigned char& v : t.value) {
    v = kNotBase64;
  }
  for (unsigned i = 0; i < 64; ++i) {
    t.value[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<unsigned char>(i);
  }
  return t;
}

constexpr Base64Table kBase64Decode = MakeBase64Table();

constexpr char kFlagBase64Utf8a = 6;
constexpr char kFlagBase64Utf8b = 7;
constexpr size_t kAmpRow = 1;  // "&amp;" in HtmlEntityTable

inline bool IsSqlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

inline bool IsFlagged(const char* text) {
  return text[0] == kFlagBase64Utf8a || text[0] == kFlagBase64Utf8b;
}

// Decodes base64 from text[0..length) (CR and LF skipped) into out; `out` may be null to count.
// Returns the byte count, or kBadCharacter / kBadLength.
long DecodeBase64Groups(const char* text, size_t length, unsigned char* out, size_t room) {
  size_t w = 0;
  char group[4];
  size_t have = 0;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      continue;
    }
    group[have++] = c;
    if (have < 4) {
      continue;
    }
    have = 0;
    unsigned v[4];
    for (int k = 0; k < 4; ++k) {
      v[k] = kBase64Decode.value[static_cast<unsigned char>(group[k])];
    }
    if (v[0] == kNotBase64 || v[1] == kNotBase64 || (v[2] == kNotBase64 && group[2] != '=') ||
        (v[3] == kNotBase64 && group[3] != '=')) {
      return kBadCharacter;
    }
    unsigned char bytes[3];
    size_t n;
    bytes[0] = static_cast<unsigned char>(v[0] << 2 | v[1] >> 4);
    if (group[2] == '=') {
      n = 1;
    } else {
      bytes[1] = static_cast<unsigned char>((v[1] & 0x0F) << 4 | v[2] >> 2);
      if (group[3] == '=') {
        n = 2;
      } else {
        bytes[2] = static_cast<unsigned char>((v[2] & 0x03) << 6 | v[3]);
        n = 3;
      }
    }
    if (out != nullptr) {
      if (n > room - w) {
        return kBadLength;
      }
      memcpy(out + w, bytes, n);
    }
    w += n;
  }
  return static_cast<long>(w);
}

// Compares the reference name (with "&" and ";") against `first` followed by text.
bool NameMatches(const char* name, char16_t first, const char16_t* text) {
  if (static_cast<char16_t>(static_cast<unsigned char>(name[0])) != first) {
    return false;
  }
  for (size_t k = 1; name[k] != 0; ++k) {
    if (text[k - 1] != static_cast<char16_t>(static_cast<unsigned char>(name[k]))) {
      return false;
    }
  }
  return true;
}

// The first row at or after `from` whose name starts at `first`,text; kHtmlEntityCount when none.
size_t MatchEntity(char16_t first, const char16_t* text, size_t from) {
  for (size_t row = from; row < kHtmlEntityCount; ++row) {
    if (NameMatches(HtmlEntityTable[row].name, first, text)) {
      return row;
    }
  }
  return kHtmlEntityCount;
}

}  // namespace

std::string SqlEscape(const char* text) {
  std::string out;
  if (text == nullptr) {
    return out;
  }
  size_t len = strlen(text);
  while (len > 0 && IsSqlSpace(text[len - 1])) {
    --len;
  }
  out.reserve(len + 8);
  for (size_t i = 0; i < len; ++i) {
    out.push_back(text[i]);
    if (text[i] == '\'') {
      out.push_back('\'');
    }
  }
  return out;
}

int ContainsNoCase(const char* text, const char* needle) {
  if (text == nullptr || needle == nullptr) {
    return 0;
  }
  size_t n = strlen(needle);
  for (const char* p = text;; ++p) {
    size_t k = 0;
    while (k < n && p[k] != 0 && internal::UpperAscii(p[k]) == internal::UpperAscii(needle[k])) {
      ++k;
    }
    if (k == n) {
      return 1;
    }
    if (*p == 0) {
      return 0;
    }
  }
}

std::string MakeLikePattern(const char* text, int mode) {
  std::string out;
  if (text == nullptr) {
    return out;
  }
  size_t start = 0;
  size_t end = strlen(text);
  while (start < end && IsSqlSpace(text[start])) {
    ++start;
  }
  while (end > start && IsSqlSpace(text[end - 1])) {
    --end;
  }
  if (start == end) {
    return out;
  }
  out.reserve(end - start + 8);
  if (mode == kLikeEndsWith || mode == kLikeContains) {
    out.push_back('%');
  }
  for (size_t i = start; i < end;) {
    // A pair is taken whole only when its second byte can follow a lead byte in GBK, so a quote or
    // a wildcard after a stray lead byte is still doubled or escaped.
    size_t n = GbkCharLength(text, end, i);
    if (n == 2) {
      const unsigned char trail = static_cast<unsigned char>(text[i + 1]);
      if (trail < 0x40 || trail == 0x7F || trail == 0xFF) n = 1;
    }
    char c = text[i];
    if (n == 2) {
      out.append(text + i, 2);
    } else if (c == '%' || c == '_' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\'') {
      out.append("''");
    } else {
      out.push_back(c);
    }
    i += n;
  }
  if (mode == kLikeBeginsWith || mode == kLikeContains) {
    out.push_back('%');
  }
  return out;
}

char* UrlDecode(char* text) {
  if (text == nullptr) {
    return nullptr;
  }
  size_t w = 0;
  for (size_t r = 0; text[r] != 0;) {
    char c = text[r];
    if (c == '+') {
      text[w++] = ' ';
      ++r;
    } else if (c == '%' && internal::HexDigitValue(text[r + 1]) >= 0 && internal::HexDigitValue(text[r + 2]) >= 0) {
      text[w++] = static_cast<char>(internal::HexDigitValue(text[r + 1]) << 4 | internal::HexDigitValue(text[r + 2]));
      r += 3;
    } else {
      text[w++] = c;
      ++r;
    }
  }
  text[w] = 0;
  return text;
}

char* UrlEncode(const char* text, char* out, size_t outSize) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (out == nullptr || outSize == 0) {
    return out;
  }
  out[0] = 0;
  if (text == nullptr) {
    return out;
  }
  size_t len = strlen(text);
  if (len > (outSize - 1) / 3) {
    return out;
  }
  size_t w = 0;
  for (size_t i = 0; i < len; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '*' ||
        c == '-' || c == '.' || c == '_') {
      out[w++] = static_cast<char>(c);
    } else if (c == ' ') {
      out[w++] = '+';
    } else {
      out[w++] = '%';
      out[w++] = kHex[c >> 4];
      out[w++] = kHex[c & 0x0F];
    }
  }
  out[w] = 0;
  return out;
}

const char* GetFormField(const char* name, const char* body, char* out, size_t max) {
  if (out != nullptr) {
    out[0] = 0;
  }
  if (name == nullptr || body == nullptr || name[0] == 0) {
    return nullptr;
  }
  const size_t n = strlen(name);
  // "&name=" anywhere first; "name=" at the very start only when that is absent.
  const char* value = nullptr;
  for (const char* p = strstr(body, name); p != nullptr; p = strstr(p + 1, name)) {
    if (p > body && p[-1] == '&' && p[n] == '=') {
      value = p + n + 1;
      break;
    }
  }
  if (value == nullptr && strncmp(body, name, n) == 0 && body[n] == '=') {
    value = body + n + 1;
  }
  if (value == nullptr || out == nullptr) {
    return value;
  }
  size_t w = 0;
  for (size_t r = 0; value[r] != 0 && value[r] != '&' && w < max;) {
    if (value[r] == '%' && internal::HexDigitValue(value[r + 1]) >= 0 && internal::HexDigitValue(value[r + 2]) >= 0) {
      out[w++] = static_cast<char>(internal::HexDigitValue(value[r + 1]) << 4 | internal::HexDigitValue(value[r + 2]));
      r += 3;
    } else {
      out[w++] = value[r] == '+' ? ' ' : value[r];
      ++r;
    }
  }
  out[w] = 0;
  return out;
}

int Base64Encode(const void* data, size_t length, char* out, size_t outSize, size_t* needed,
                 int groupsPerLine) {
  const auto* in = static_cast<const unsigned char*>(data);
  const size_t groups = (length + 2) / 3;
  size_t size = groups * 4;
  if (groupsPerLine > 0) {
    size += 2 * (groups / static_cast<size_t>(groupsPerLine));
  }
  if (needed != nullptr) {
    *needed = size;
  }
  if (out == nullptr || outSize < size || (in == nullptr && length > 0)) {
    return kBadLength;
  }
  size_t w = 0;
  for (size_t g = 0; g < groups; ++g) {
    size_t i = g * 3;
    unsigned b0 = in[i];
    unsigned b1 = i + 1 < length ? in[i + 1] : 0;
    unsigned b2 = i + 2 < length ? in[i + 2] : 0;
    out[w++] = kBase64Alphabet[b0 >> 2];
    out[w++] = kBase64Alphabet[(b0 & 0x03) << 4 | b1 >> 4];
    out[w++] = i + 1 < length ? kBase64Alphabet[(b1 & 0x0F) << 2 | b2 >> 6] : '=';
    out[w++] = i + 2 < length ? kBase64Alphabet[b2 & 0x3F] : '=';
    if (groupsPerLine > 0 && (g + 1) % static_cast<size_t>(groupsPerLine) == 0) {
      out[w++] = '\r';
      out[w++] = '\n';
    }
  }
  if (outSize > w) {
    out[w] = 0;
  }
  return 0;
}

int Base64Decode(const char* text, size_t length, void* out, size_t outSize, size_t* count) {
  if (count != nullptr) {
    *count = 0;
  }
  if (text == nullptr || out == nullptr || outSize == 0) {
    return text == nullptr ? kBadCharacter : kBadLength;
  }
  static_cast<unsigned char*>(out)[0] = 0;
  // Skip CR and LF before looking at the start.
  size_t start = 0;
  auto nextSignificant = [&](size_t from) {
    while (from < length && (text[from] == '\r' || text[from] == '\n')) {
      ++from;
    }
    return from;
  };
  start = nextSignificant(0);
  if (start < length && text[start] == '+') {
    size_t second = nextSignificant(start + 1);
    if (second < length && text[second] == ' ') {
      start = second + 1;
    }
  }
  if (nextSignificant(start) >= length) {
    return kBadCharacter;
  }
  long n = DecodeBase64Groups(text + start, length - start, static_cast<unsigned char*>(out),
                              outSize - 1);
  if (n < 0) {
    static_cast<unsigned char*>(out)[0] = 0;
    return static_cast<int>(n);
  }
  static_cast<unsigned char*>(out)[n] = 0;
  if (count != nullptr) {
    *count = static_cast<size_t>(n);
  }
  return 0;
}

long Base64DecodeInPlace(char* text) {
  if (text == nullptr) {
    return 0;
  }
  RemoveLineBreaks(text);
  size_t len = strlen(text);
  if (len < 4) {
    return 0;
  }
  if (len % 4 != 0) {
    return kBadLength;
  }
  // Output never overtakes input: each group of four gives at most three bytes, written behind it.
  long n = DecodeBase64Groups(text, len, reinterpret_cast<unsigned char*>(text), len);
  if (n < 0) {
    return n;
  }
  text[n] = 0;
  text[n + 1] = 0;
  return n;
}

void RemoveLineBreaks(char* text) {
  if (text == nullptr) {
    return;
  }
  size_t w = 0;
  for (size_t r = 0; text[r] != 0; ++r) {
    if (text[r] != '\r' && text[r] != '\n') {
      text[w++] = text[r];
    }
  }
  text[w] = 0;
}

char* DecodeBase64Field(char* text) {
  if (text == nullptr || !IsFlagged(text)) {
    return text;
  }
  size_t len = strlen(text + 1);
  internal::Scratch<char, 1024> work(len + 2);
  size_t count = 0;
  if (!work.ok() ||
      Base64Decode(text + 1, len, work.data(), work.capacity(), &count) != 0) {
    text[0] = 0;
    return text;
  }
  Utf8ToGbk(work.data(), true, nullptr);
  // The GBK form is never longer than the base64 text it came from.
  size_t n = strlen(work.data());
  memcpy(text, work.data(), n + 1);
  return text;
}

char* DecodeField(const char* text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) {
    return out;
  }
  out[0] = 0;
  if (text == nullptr || text[0] == 0) {
    return out;
  }
  if (IsFlagged(text)) {
    size_t count = 0;
    if (Base64Decode(text + 1, strlen(text + 1), out, outSize, &count) != 0) {
      out[0] = 0;
    }
    return out;
  }
  size_t len = strlen(text);
  internal::Scratch<char16_t, 1024> units(len + 1);
  if (!units.ok()) {
    return out;
  }
  MultiByteToWideDecoded(text, units.data(), len + 1, kCodePageGbk);
  return WideToUtf8(units.data(), out, outSize);
}

void DecodeNamedEntitiesWide(char16_t* text) {
  if (text == nullptr) {
    return;
  }
  size_t w = 0;
  for (size_t r = 0; text[r] != 0;) {
    if (text[r] != u'&') {
      text[w++] = text[r++];
      continue;
    }
    size_t row = MatchEntity(u'&', text + r + 1, 0);
    if (row == kHtmlEntityCount) {
      text[w++] = text[r++];
      continue;
    }
    r += strlen(HtmlEntityTable[row].name);
    char16_t ch = HtmlEntityTable[row].ch;
    if (row == kAmpRow) {
      // The "&" just decoded meets the rows after "&amp;" in their turn.
      size_t next = MatchEntity(u'&', text + r, kAmpRow + 1);
      if (next != kHtmlEntityCount) {
        r += strlen(HtmlEntityTable[next].name) - 1;
        ch = HtmlEntityTable[next].ch;
      }
    }
    text[w++] = ch;
  }
  text[w] = 0;
}

void DecodeHtmlEntitiesWide(char16_t* text) {
  if (text == nullptr) {
    return;
  }
  constexpr unsigned kMinUnit = 10;
  constexpr unsigned kMaxUnit = 65535;
  size_t w = 0;
  for (size_t r = 0; text[r] != 0;) {
    if (text[r] == u'&' && text[r + 1] == u'#' && text[r + 2] >= u'0' && text[r + 2] <= u'9') {
      size_t k = r + 2;
      unsigned long value = 0;
      while (text[k] >= u'0' && text[k] <= u'9') {
        if (value <= kMaxUnit) {
          value = value * 10 + (text[k] - u'0');
        }
        ++k;
      }
      if (value >= kMinUnit && value <= kMaxUnit) {
        if (text[k] == u';') {
          ++k;
        }
        text[w++] = static_cast<char16_t>(value);
        r = k;
        continue;
      }
    }
    text[w++] = text[r++];
  }
  text[w] = 0;
  DecodeNamedEntitiesWide(text);
}

char16_t* MultiByteToWideDecoded(const char* text, char16_t* out, size_t units, int codePage) {
  if (out == nullptr || units == 0) {
    return out;
  }
  memset(out, 0, units * sizeof(char16_t));
  if (text == nullptr) {
    return out;
  }
  long n = TextToUnits(codePage, std::string_view(text), out, units - 1);
  if (n < 0) {
    out[0] = 0;
    return out;
  }
  out[n] = 0;
  DecodeHtmlEntitiesWide(out);
  return out;
}

char* CleanHtml(char* text, bool bCollapse) {
  if (text == nullptr) {
    return nullptr;
  }
  constexpr size_t kGrowNever = static_cast<size_t>(-1);  // every replacement here shrinks
  (void)ReplaceAll(text, kGrowNever, "&nbsp;", " ");
  // Comments.
  for (char* open = strstr(text, "<!--"); open != nullptr; open = strstr(open, "<!--")) {
    char* close = strstr(open + 4, "-->");
    if (close == nullptr) {
      break;
    }
    memmove(open, close + 3, strlen(close + 3) + 1);
  }
  // Script spans.
  for (char* open = FindNoCase(text, "<script"); open != nullptr; open = FindNoCase(open, "<script")) {
    char* close = FindNoCase(open + 7, "</script>");
    if (close == nullptr) {
      break;
    }
    memmove(open, close + 9, strlen(close + 9) + 1);
  }
  // Line breaks: one blank unless a blank is already there.
  for (const char* br : {"<br>", "<br/>"}) {
    size_t brLen = strlen(br);
    for (char* p = FindNoCase(text, br); p != nullptr; p = FindNoCase(p, br)) {
      if (p > text && p[-1] != ' ') {
        *p++ = ' ';
        memmove(p, p + brLen - 1, strlen(p + brLen - 1) + 1);
      } else {
        memmove(p, p + brLen, strlen(p + brLen) + 1);
      }
    }
  }
  // Remaining tags.
  for (char* open = strchr(text, '<'); open != nullptr; open = strchr(open, '<')) {
    char* close = strchr(open, '>');
    if (close == nullptr) {
      break;
    }
    *open++ = ' ';
    memmove(open, close + 1, strlen(close + 1) + 1);
  }
  (void)ReplaceAll(text, kGrowNever, "&amp;", "&");
  (void)ReplaceAll(text, kGrowNever, "&lt;", "<");
  (void)ReplaceAll(text, kGrowNever, "&gt;", ">");
  (void)ReplaceAll(text, kGrowNever, "&quot;", "\"");
  if (!bCollapse) {
    return text;
  }
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t w = 0;
  for (size_t r = 0; text[r] != 0;) {
    if (static_cast<unsigned char>(text[r]) >= 0x80 && text[r + 1] != 0) {
      text[w++] = text[r++];
      text[w++] = text[r++];
    } else if (isSpace(text[r])) {
      while (isSpace(text[r])) {
        ++r;
      }
      if (w > 0) {
        text[w++] = ' ';
      }
    } else {
      text[w++] = text[r++];
    }
  }
  text[w] = 0;
  // Trim blanks and full-width blanks (A1 A1) at both ends.
  auto isFullBlank = [](const char* p) {
    return static_cast<unsigned char>(p[0]) == 0xA1 && static_cast<unsigned char>(p[1]) == 0xA1;
  };
  size_t start = 0;
  for (;;) {
    if (isSpace(text[start])) {
      ++start;
    } else if (isFullBlank(text + start)) {
      start += 2;
    } else {
      break;
    }
  }
  size_t len = strlen(text + start);
  memmove(text, text + start, len + 1);
  for (;;) {
    if (len > 0 && isSpace(text[len - 1])) {
      --len;
    } else if (len >= 2 && isFullBlank(text + len - 2) && GbkPrefixLength(text, len, len - 2) == len - 2) {
      len -= 2;
    } else {
      break;
    }
  }
  text[len] = 0;
  return text;
}

}  // namespace tw
