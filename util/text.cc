#include "util/text.h"

#include <sys/random.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "util/codepage.h"
#include "util/escape.h"
#include "util/internal/ascii.h"
#include "util/internal/replace.h"

namespace tw {
namespace {

constexpr size_t kXmlTagMax = 128;

inline bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }
inline bool IsBlankByte(char c) { return c >= 1 && c <= 32; }
using internal::UpperAscii;

// Length of the character at s[i] in a NUL-terminated text.
inline size_t CharLen(const char* s, size_t i) {
  return (IsLeadByte(s[i]) && s[i + 1] != 0) ? 2 : 1;
}

// End of the last two-byte character: trailing blanks are never cut at or before it.
size_t LastPairEnd(const char* text, size_t len) {
  size_t end = 0;
  for (size_t i = 0; i < len;) {
    size_t n = CharLen(text, i);
    i += n;
    if (n == 2) {
      end = i;
    }
  }
  return end;
}

// Walks the text by characters and keeps the ones `keep` accepts (single-byte ones only are asked).
template <typename Keep>
void FilterSingleBytes(char* text, Keep keep) {
  size_t w = 0;
  for (size_t r = 0; text[r] != 0;) {
    size_t n = CharLen(text, r);
    if (n == 2 || keep(text[r])) {
      memmove(text + w, text + r, n);
      w += n;
    }
    r += n;
  }
  text[w] = 0;
}

// atoi-style reading with clamping; INT64 range.
int64_t ParseLeadingInteger(const char* text, int64_t lo, int64_t hi) {
  if (text == nullptr) {
    return 0;
  }
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
    ++p;
  }
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulate as a negative number so that INT64_MIN is reachable.
  int64_t v = 0;
  bool clamped = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    int d = *p - '0';
    if (v < (INT64_MIN + d) / 10) {
      clamped = true;
      v = INT64_MIN;
      continue;
    }
    v = v * 10 - d;
  }
  if (!negative) {
    v = (v == INT64_MIN || clamped) ? INT64_MAX : -v;
  }
  if (v < lo) {
    return lo;
  }
  if (v > hi) {
    return hi;
  }
  return v;
}

}  // namespace

int ParseIntClamped(const char* text) {
  return static_cast<int>(ParseLeadingInteger(text, INT_MIN, INT_MAX));
}

int64_t ParseInt64Clamped(const char* text) { return ParseLeadingInteger(text, INT64_MIN, INT64_MAX); }

const char* FindNoCase(const char* text, const char* needle) {
  if (text == nullptr || needle == nullptr) {
    return nullptr;
  }
  size_t nlen = strlen(needle);
  if (nlen >= kFindNoCaseNeedleMax) {
    return nullptr;
  }
  char upper[kFindNoCaseNeedleMax];
  for (size_t i = 0; i < nlen;) {
    size_t n = CharLen(needle, i);
    upper[i] = n == 1 ? UpperAscii(needle[i]) : needle[i];
    if (n == 2) {
      upper[i + 1] = needle[i + 1];
    }
    i += n;
  }
  if (nlen == 0) {
    return text;
  }
  for (size_t start = 0; text[start] != 0; start += CharLen(text, start)) {
    size_t i = start;
    size_t j = 0;
    while (j < nlen && text[i] != 0) {
      size_t n = CharLen(text, i);
      if (n == 2) {
        if (j + 1 >= nlen || text[i] != upper[j] || text[i + 1] != upper[j + 1]) {
          break;
        }
      } else if (UpperAscii(text[i]) != upper[j]) {
        break;
      }
      i += n;
      j += n;
    }
    if (j == nlen) {
      return text + start;
    }
  }
  return nullptr;
}

char* FindNoCase(char* text, const char* needle) {
  return const_cast<char*>(FindNoCase(static_cast<const char*>(text), needle));
}

const char* FindChar(const char* text, char c) {
  if (text == nullptr) {
    return nullptr;
  }
  for (size_t i = 0; text[i] != 0; i += CharLen(text, i)) {
    if (text[i] == c && CharLen(text, i) == 1) {
      return text + i;
    }
  }
  return nullptr;
}

char* FindChar(char* text, char c) {
  return const_cast<char*>(FindChar(static_cast<const char*>(text), c));
}

const char* FindFirstDigit(const char* text) {
  if (text == nullptr) {
    return nullptr;
  }
  for (size_t i = 0; text[i] != 0; i += CharLen(text, i)) {
    if (text[i] >= '0' && text[i] <= '9') {
      return text + i;
    }
  }
  return nullptr;
}

const char* FindText(const char* text, const char* needle, size_t* matchedLen) {
  if (text == nullptr || needle == nullptr) {
    return nullptr;
  }
  if (matchedLen != nullptr) {
    *matchedLen = strlen(needle);
  }
  return strstr(text, needle);
}

long FindTextIndex(const char* text, const char* needle) {
  const char* p = FindText(text, needle);
  return p != nullptr ? static_cast<long>(p - text) : -1;
}

void MakeUpperAscii(char* text) {
  if (text == nullptr) {
    return;
  }
  for (size_t i = 0; text[i] != 0; i += CharLen(text, i)) {
    text[i] = UpperAscii(text[i]);
  }
}

void ReplaceChar(char* text, char a, char b) {
  if (text == nullptr) {
    return;
  }
  for (size_t i = 0; text[i] != 0; i += CharLen(text, i)) {
    if (text[i] == a && CharLen(text, i) == 1) {
      text[i] = b;
    }
  }
}

void RemoveChar(char* text, char c) {
  if (text == nullptr) {
    return;
  }
  FilterSingleBytes(text, [c](char x) { return x != c; });
}

void RemoveText(char* text, const char* needle) {
  if (text == nullptr || needle == nullptr) {
    return;
  }
  // Removing never grows the text.
  (void)internal::ReplaceAllUnits<char>(text, static_cast<size_t>(-1), needle, strlen(needle),
                                        nullptr, 0);
}

bool ReplaceAll(char* text, size_t size, const char* from, const char* to) {
  if (text == nullptr || from == nullptr) {
    return true;
  }
  return internal::ReplaceAllUnits<char>(text, size, from, strlen(from), to,
                                         to != nullptr ? strlen(to) : 0);
}

void TrimTrailingBlanks(char* text) {
  if (text == nullptr) {
    return;
  }
  size_t len = strlen(text);
  size_t floor = LastPairEnd(text, len);
  while (len > floor && IsBlankByte(text[len - 1])) {
    --len;
  }
  text[len] = 0;
}

void TrimBlanksGbk(char* text) {
  if (text == nullptr) {
    return;
  }
  size_t start = 0;
  while (IsBlankByte(text[start])) {
    ++start;
  }
  if (start > 0) {
    memmove(text, text + start, strlen(text + start) + 1);
  }
  TrimTrailingBlanks(text);
}

void TrimTrailingZeros(char* text) {
  if (text == nullptr || strchr(text, '.') == nullptr) {
    return;
  }
  size_t len = strlen(text);
  while (len > 0 && (text[len - 1] == '0' || text[len - 1] == ' ' || text[len - 1] == '\t' ||
                     text[len - 1] == '\r' || text[len - 1] == '\n')) {
    --len;
  }
  if (len > 0 && text[len - 1] == '.') {
    --len;
  }
  text[len] = 0;
}

void FullWidthToAscii(char* text) {
  if (text == nullptr) {
    return;
  }
  size_t w = 0;
  for (size_t r = 0; text[r] != 0;) {
    size_t n = CharLen(text, r);
    if (n == 1) {
      text[w++] = text[r++];
      continue;
    }
    auto lead = static_cast<unsigned char>(text[r]);
    auto trail = static_cast<unsigned char>(text[r + 1]);
    int single = -1;
    if (lead == 0xA3 && trail == 0xA4) {
      single = '\\';
    } else if (lead == 0xA3 && trail >= 0xA1) {
      single = trail - 0x80;
    } else if (lead == 0xA1) {
      switch (trail) {
        case 0xA1: single = ' '; break;
        case 0xAB: single = '~'; break;
        case 0xAE: single = '`'; break;
        case 0xAF: single = '\''; break;
        case 0xB0:
        case 0xB1: single = '"'; break;
        case 0xE7: single = '$'; break;
        default: break;
      }
    }
    if (single >= 0) {
      text[w++] = static_cast<char>(single);
    } else {
      text[w++] = text[r];
      text[w++] = text[r + 1];
    }
    r += 2;
  }
  text[w] = 0;
}

void TruncateText(char* text, size_t n) {
  if (text == nullptr) {
    return;
  }
  size_t len = strlen(text);
  if (len > n) {
    text[GbkPrefixLength(text, len, n)] = 0;
  }
}

void CopyTextLimited(char* out, const char* text, size_t n) {
  if (out == nullptr || text == nullptr) {
    return;
  }
  size_t len = strnlen(text, n + 1);
  size_t keep = len <= n ? len : GbkPrefixLength(text, len, n);
  memmove(out, text, keep);
  out[keep] = 0;
}

bool AppendChar(char* text, size_t size, char c) {
  if (text == nullptr) {
    return false;
  }
  if (c == 0) {
    return true;
  }
  size_t len = strnlen(text, size);
  if (len + 2 > size) {
    return false;
  }
  text[len] = c;
  text[len + 1] = 0;
  return true;
}

size_t SplitText(const char* text, std::vector<std::string>& items, char separator, size_t minLen,
                 size_t maxLen) {
  items.clear();
  if (text == nullptr) {
    return 0;
  }
  const char* p = text;
  for (;;) {
    const char* sep = strchr(p, separator);
    size_t len = sep != nullptr ? static_cast<size_t>(sep - p) : strlen(p);
    if (len >= minLen && len <= maxLen) {
      items.emplace_back(p, len);
    }
    if (sep == nullptr || separator == 0) {
      break;
    }
    p = sep + 1;
  }
  return items.size();
}

void SplitAddressLines(const char* text, AddressLines& out, size_t maxLen, int count) {
  memset(&out, 0, sizeof out);
  if (text == nullptr || text[0] == 0 || count <= 0) {
    return;
  }
  const size_t lines = static_cast<size_t>(count) < kAddressLineCount ? static_cast<size_t>(count)
                                                                      : kAddressLineCount;
  if (maxLen > kAddressLineSize - 1) {
    maxLen = kAddressLineSize - 1;
  }
  const size_t len = strlen(text);
  std::string work(text, len);

  // First try the text's own lines.
  std::vector<std::string> own;
  size_t start = 0;
  while (own.size() + 1 < lines) {
    size_t lf = work.find('\n', start);
    if (lf == std::string::npos) {
      break;
    }
    own.push_back(work.substr(start, lf - start));
    start = lf + 1;
  }
  own.push_back(work.substr(start));
  bool allFit = true;
  for (std::string& line : own) {
    std::string cleaned;
    for (char c : line) {
      if (c != '\r') {
        cleaned.push_back(c == '\n' ? ' ' : c);
      }
    }
    CleanHtml(cleaned.data(), true);
    cleaned.resize(strlen(cleaned.c_str()));
    line = cleaned;
    if (line.size() > maxLen) {
      allFit = false;
    }
  }
  if (allFit) {
    for (size_t k = 0; k < own.size(); ++k) {
      memcpy(out.line[k], own[k].data(), own[k].size());
    }
    return;
  }

  // Otherwise wrap the whole text at blanks.
  std::string flat;
  for (char c : work) {
    if (c != '\r') {
      flat.push_back(c == '\n' ? ' ' : c);
    }
  }
  constexpr size_t kBlankReach = 8;
  size_t pos = 0;
  for (size_t k = 0; k < lines && pos < flat.size(); ++k) {
    const char* s = flat.c_str() + pos;
    size_t rest = flat.size() - pos;
    size_t take;
    size_t next;
    if (rest <= maxLen) {
      take = rest;
      next = rest;
    } else {
      size_t limit = GbkPrefixLength(s, rest, maxLen);
      size_t lastBlank = std::string::npos;
      for (size_t i = 0; i < limit; i += GbkCharLength(s, rest, i)) {
        if (s[i] == ' ') {
          lastBlank = i;
        }
      }
      if (lastBlank != std::string::npos && lastBlank + kBlankReach > maxLen) {
        take = lastBlank;
        next = lastBlank + 1;
      } else {
        take = limit;
        next = limit;
      }
    }
    std::string line(s, take);
    CleanHtml(line.data(), true);
    size_t n = strlen(line.c_str());
    memcpy(out.line[k], line.data(), n < maxLen ? n : maxLen);
    pos += next > 0 ? next : 1;
  }
}

int GetXmlElementText(const char* name, const char* xml, char* out, size_t outSize, size_t minLen,
                      size_t maxLen, bool bClean) {
  if (out != nullptr && outSize > 0) {
    out[0] = 0;
  }
  if (name == nullptr || xml == nullptr || out == nullptr || outSize == 0) {
    return 0;
  }
  char tag[kXmlTagMax];
  int n = snprintf(tag, sizeof tag, "<%s>", name);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof tag) {
    return 0;
  }
  const char* open = strstr(xml, tag);
  if (open == nullptr) {
    n = snprintf(tag, sizeof tag, "<%s/>", name);
    bool empty = n > 0 && static_cast<size_t>(n) < sizeof tag && strstr(xml, tag) != nullptr;
    return (empty && minLen == 0) ? 1 : 0;
  }
  const char* content = open + n;
  n = snprintf(tag, sizeof tag, "</%s>", name);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof tag) {
    return 0;
  }
  const char* close = strstr(content, tag);
  if (close == nullptr) {
    return 0;
  }
  size_t len = static_cast<size_t>(close - content);
  bool cut = len + 1 > outSize;
  size_t keep = cut ? GbkPrefixLength(content, len, outSize - 1) : len;
  memcpy(out, content, keep);
  out[keep] = 0;
  if (bClean) {
    CleanHtml(out, true);
  }
  size_t got = strlen(out);
  return (!cut && got >= minLen && got <= maxLen) ? 1 : 0;
}

int IsAllDigits(const char* text) {
  if (text == nullptr) {
    return 0;
  }
  for (; *text != 0; ++text) {
    if (*text < '0' || *text > '9') {
      return 0;
    }
  }
  return 1;
}

int IsBitSet(uint8_t flags, int position) {
  if (position < 0 || position > 7) {
    return 0;
  }
  return flags & (0x80 >> position);
}

int IsDigitSet(int number, int position) {
  if (position <= 0) {
    return number > 0 ? 1 : 0;
  }
  if (position > 10) {
    return 0;
  }
  int64_t v = number < 0 ? -static_cast<int64_t>(number) : number;
  for (int k = 1; k < position; ++k) {
    v /= 10;
  }
  return (v % 10) != 0 ? 1 : 0;
}

bool ParsePair(const char* text, int* a, int* b) {
  int x = 0;
  int y = 0;
  const char* comma = text != nullptr ? strchr(text, ',') : nullptr;
  if (comma != nullptr) {
    x = ParseIntClamped(text);
    y = ParseIntClamped(comma + 1);
  }
  if (a != nullptr) {
    *a = x;
  }
  if (b != nullptr) {
    *b = y;
  }
  return comma != nullptr;
}

int ParseDimensions(const char* text, int* length, int* width, int* height) {
  int v[3] = {0, 0, 0};
  const char* p = text;
  for (int k = 0; k < 3 && p != nullptr; ++k) {
    v[k] = ParseIntClamped(p);
    p = strchr(p, '*');
    if (p != nullptr) {
      ++p;
    }
  }
  if (length != nullptr) {
    *length = v[0];
  }
  if (width != nullptr) {
    *width = v[1];
  }
  if (height != nullptr) {
    *height = v[2];
  }
  return (v[0] > 0 && v[1] > 0 && v[2] != 0) ? 1 : 0;
}

int16_t ClampShortInPlace(int16_t& value, int16_t min, int16_t max) {
  int16_t previous = value;
  if (value < min) {
    value = min;
  } else if (value > max) {
    value = max;
  }
  return previous;
}

bool MakeRandomText(char* out, size_t n) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  constexpr unsigned kAlphabetSize = sizeof kAlphabet - 1;  // 62
  // Bytes of 248 or more are drawn again, so that every character is equally likely.
  constexpr unsigned kLimit = 256 - 256 % kAlphabetSize;
  if (out == nullptr) {
    return false;
  }
  size_t w = 0;
  unsigned char pool[64];
  while (w < n) {
    ssize_t got = getrandom(pool, sizeof pool, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      out[0] = 0;
      return false;
    }
    for (ssize_t k = 0; k < got && w < n; ++k) {
      if (pool[k] < kLimit) {
        out[w++] = kAlphabet[pool[k] % kAlphabetSize];
      }
    }
  }
  out[n] = 0;
  return true;
}

}  // namespace tw
