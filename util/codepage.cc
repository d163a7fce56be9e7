#include "util/codepage.h"

#include <cstdio>
#include <cstring>

#include "util/internal/ascii.h"
#include "util/internal/piece_writer.h"
#include "util/internal/replace.h"
#include "util/internal/scratch.h"
#include "util/text.h"

namespace tw {
namespace {

constexpr char16_t kEuro = 0x20AC;

// Accent folding: each row maps the units first..last to one ASCII letter.
struct FoldRange {
  char16_t first;
  char16_t last;
  char letter;
};

constexpr FoldRange kFoldRanges[] = {
    {0x00C0, 0x00C6, 'A'}, {0x0104, 0x0104, 'A'}, {0x00C7, 0x00C7, 'C'}, {0x0106, 0x0106, 'C'},
    {0x00C8, 0x00CB, 'E'}, {0x0118, 0x0118, 'E'}, {0x0152, 0x0152, 'E'}, {0x00CC, 0x00CF, 'I'},
    {0x00D0, 0x00D0, 'D'}, {0x00D1, 0x00D1, 'N'}, {0x0143, 0x0143, 'N'}, {0x00D2, 0x00D6, 'O'},
    {0x00D9, 0x00DC, 'U'}, {0x00DD, 0x00DD, 'Y'}, {0x0178, 0x0178, 'Y'}, {0x00DE, 0x00DE, 'P'},
    {0x00DF, 0x00DF, 'B'}, {0x00E0, 0x00E6, 'a'}, {0x0101, 0x0101, 'a'}, {0x0105, 0x0105, 'a'},
    {0x01CE, 0x01CE, 'a'}, {0x0251, 0x0251, 'a'}, {0x00E7, 0x00E7, 'c'}, {0x0107, 0x0107, 'c'},
    {0x00E8, 0x00EB, 'e'}, {0x0113, 0x0113, 'e'}, {0x0119, 0x0119, 'e'}, {0x011B, 0x011B, 'e'},
    {0x0153, 0x0153, 'e'}, {0x00EC, 0x00EF, 'i'}, {0x012B, 0x012B, 'i'}, {0x01D0, 0x01D0, 'i'},
    {0x00F0, 0x00F0, 'd'}, {0x00F1, 0x00F1, 'n'}, {0x0144, 0x0144, 'n'}, {0x0148, 0x0148, 'n'},
    {0x01F9, 0x01F9, 'n'}, {0x00F2, 0x00F6, 'o'}, {0x00F8, 0x00F8, 'o'}, {0x014D, 0x014D, 'o'},
    {0x0151, 0x0151, 'o'}, {0x01D2, 0x01D2, 'o'}, {0x00F9, 0x00FC, 'u'}, {0x016B, 0x016B, 'u'},
    {0x01D4, 0x01D4, 'u'}, {0x01D6, 0x01D6, 'u'}, {0x01D8, 0x01D8, 'u'}, {0x01DA, 0x01DA, 'u'},
    {0x01DC, 0x01DC, 'u'}, {0x00FD, 0x00FD, 'y'}, {0x00FF, 0x00FF, 'y'}, {0x00FE, 0x00FE, 'p'},
    {0x0141, 0x0141, 'L'}, {0x0142, 0x0142, 'l'}, {0x015A, 0x015A, 'S'}, {0x0160, 0x0160, 'S'},
    {0x015B, 0x015B, 's'}, {0x0161, 0x0161, 's'}, {0x0179, 0x0179, 'Z'}, {0x017B, 0x017B, 'Z'},
    {0x017C, 0x017C, 'z'}, {0x0192, 0x0192, 'f'}, {0x0261, 0x0261, 'g'},
};

char16_t FoldAccent(char16_t u) {
  if (u < 0x00C0 || u > 0x0261) {
    return u;
  }
  for (const FoldRange& r : kFoldRanges) {
    if (u >= r.first && u <= r.last) {
      return static_cast<char16_t>(r.letter);
    }
  }
  return u;
}

// Appends the entity form of one unit ("&#%u;", at most 7 characters) to out; returns its length.
size_t FormatEntity(char16_t u, char* out) {
  char digits[5];
  size_t n = 0;
  unsigned v = u;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  size_t len = 0;
  out[len++] = '&';
  out[len++] = '#';
  while (n > 0) {
    out[len++] = digits[--n];
  }
  out[len++] = ';';
  return len;
}

// Writes the entity-form piece of one unit into piece (8 bytes of room); returns its length.
size_t EntityPiece(char16_t u, bool bTable, char* piece) {
  if (u < 0x80) {
    piece[0] = static_cast<char>(u);
    return 1;
  }
  if (bTable) {
    uint16_t code = GbkCodeOfUnit(u);
    if (code != 0) {
      piece[0] = static_cast<char>(code >> 8);
      piece[1] = static_cast<char>(code & 0xFF);
      return 2;
    }
  }
  return FormatEntity(u, piece);
}

size_t Utf16Length(const char16_t* s) { return internal::TextLength(s); }

using internal::HasHighByte8;
using internal::PieceWriter;

}  // namespace

size_t GbkPrefixLength(const char* s, size_t n, size_t max) {
  if (n <= max) {
    return n;
  }
  size_t i = 0;
  while (i < n) {
    size_t len = GbkCharLength(s, n, i);
    if (i + len > max) {
      break;
    }
    i += len;
  }
  return i;
}

int WideCharToGbkBytes(char16_t unit, char* out) {
  if (unit < 0x80) {
    out[0] = static_cast<char>(unit);
    return 1;
  }
  if (unit == kEuro) {
    out[0] = static_cast<char>(0x80);
    return 1;
  }
  uint16_t code = GbkCodeOfUnit(unit);
  if (code != 0) {
    out[0] = static_cast<char>(code >> 8);
    out[1] = static_cast<char>(code & 0xFF);
    return 2;
  }
  out[0] = '?';
  return 1;
}

size_t GbkToUnits(std::string_view gbk, char16_t* out, size_t room) {
  const auto* s = reinterpret_cast<const unsigned char*>(gbk.data());
  const size_t n = gbk.size();
  size_t i = 0;
  size_t w = 0;
  while (i < n && w < room) {
    out[w++] = DecodeGbkChar(s, n, &i);
  }
  return w;
}

size_t Utf8ToUnits(std::string_view utf8, char16_t* out, size_t room) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  size_t w = 0;
  while (i < n) {
    size_t at = i;
    char32_t c = DecodeUtf8Char(s, n, &at);
    if (c >= 0x10000) {
      if (room - w < 2) {
        break;
      }
      c -= 0x10000;
      out[w++] = static_cast<char16_t>(0xD800 + (c >> 10));
      out[w++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      if (w >= room) {
        break;
      }
      out[w++] = static_cast<char16_t>(c);
    }
    i = at;
  }
  return w;
}

size_t UnitsToGbk(const char16_t* units, size_t n, char* out, size_t max, bool* usedDefault) {
  size_t w = 0;
  for (size_t k = 0; k < n; ++k) {
    char piece[2];
    int len = WideCharToGbkBytes(units[k], piece);
    if (static_cast<size_t>(len) > max - w) {
      break;
    }
    if (len == 1 && piece[0] == '?' && units[k] != u'?' && usedDefault != nullptr) {
      *usedDefault = true;
    }
    memcpy(out + w, piece, static_cast<size_t>(len));
    w += static_cast<size_t>(len);
  }
  return w;
}

size_t UnitsToGbkEntities(const char16_t* units, size_t n, char* out, size_t outSize, bool bTable) {
  PieceWriter writer(out, outSize);
  for (size_t k = 0; k < n; ++k) {
    char piece[kEntityReserve];
    if (!writer.Put(piece, EntityPiece(units[k], bTable, piece))) {
      break;
    }
  }
  return writer.length();
}

size_t Utf8ToGbkText(std::string_view utf8, char* out, size_t max, bool* usedDefault) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  size_t w = 0;
  bool used = false;
  while (i < n) {
    // Runs of ASCII eight bytes at a time.
    while (i + 8 <= n && w + 8 <= max && !HasHighByte8(s + i)) {
      memcpy(out + w, s + i, 8);
      i += 8;
      w += 8;
    }
    if (i >= n) {
      break;
    }
    const unsigned char b = s[i];
    if (b < 0x80) {
      if (w >= max) {
        break;
      }
      out[w++] = static_cast<char>(b);
      ++i;
      continue;
    }
    char32_t c;
    size_t next;
    // The common case, a three-byte sequence outside the ranges that need extra checks.
    if (b >= 0xE1 && b != 0xED && b <= 0xEF && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
        (s[i + 2] & 0xC0) == 0x80) {
      c = static_cast<char32_t>((b & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F));
      next = i + 3;
    } else {
      next = i;
      c = DecodeUtf8Char(s, n, &next);
    }
    char piece[4];
    size_t len;
    if (c >= 0x10000) {
      // Two units, neither of which GBK has.
      piece[0] = '?';
      piece[1] = '?';
      len = 2;
      used = true;
    } else {
      len = static_cast<size_t>(WideCharToGbkBytes(static_cast<char16_t>(c), piece));
      if (len == 1 && piece[0] == '?') {
        used = true;
      }
    }
    if (len > max - w) {
      break;
    }
    memcpy(out + w, piece, len);
    w += len;
    i = next;
  }
  if (used && usedDefault != nullptr) {
    *usedDefault = true;
  }
  return w;
}

size_t Utf8ToGbkEntities(std::string_view utf8, char* out, size_t outSize, bool bTable) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  PieceWriter writer(out, outSize);
  size_t i = 0;
  while (i < n && !writer.full()) {
    char32_t c = DecodeUtf8Char(s, n, &i);
    char16_t units[2] = {static_cast<char16_t>(c), 0};
    size_t count = 1;
    if (c >= 0x10000) {
      units[0] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units[1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      count = 2;
    }
    // One piece per unit, as for text that arrives as UTF-16.
    for (size_t k = 0; k < count; ++k) {
      char piece[kEntityReserve];
      if (!writer.Put(piece, EntityPiece(units[k], bTable, piece))) {
        break;
      }
    }
  }
  return writer.length();
}

long TextToUnits(int codePage, std::string_view text, char16_t* out, size_t room) {
  if (text.empty()) {
    return 0;
  }
  if (codePage == kCodePageGbk) {
    return static_cast<long>(GbkToUnits(text, out, room));
  }
  if (codePage == kCodePageUtf8) {
    return static_cast<long>(Utf8ToUnits(text, out, room));
  }
  if (codePage == kCodePageJisX0212) {
    codePage = kCodePageEucJp;
  }
  if (text.size() > 0x7FFFFFFF || room > 0x7FFFFFFF) {
    return -1;
  }
  int n = MultiByteToWideChar(codePage, text.data(), static_cast<int>(text.size()), out,
                              static_cast<int>(room));
  return n > 0 ? n : -1;
}

char* Utf8ToGbk(char* text, bool bStripAccents, int* flag) {
  if (text == nullptr) {
    return nullptr;
  }
  bool onlyWithCharset = flag != nullptr && *flag != 0;
  if (flag != nullptr) {
    *flag = 0;
  }
  if (onlyWithCharset && FindNoCase(text, "harset=utf-") == nullptr) {
    return text;
  }
  size_t len = strlen(text);
  internal::Scratch<char16_t, 1024> units(len + 1);
  if (!units.ok()) {
    return nullptr;
  }
  size_t n = Utf8ToUnits(std::string_view(text, len), units.data(), len + 1);
  if (bStripAccents) {
    for (size_t k = 0; k < n; ++k) {
      units.data()[k] = FoldAccent(units.data()[k]);
    }
  }
  bool used = false;
  size_t w = UnitsToGbk(units.data(), n, text, len, &used);
  text[w] = 0;
  if (flag != nullptr) {
    *flag = used ? 1 : 0;
  }
  return text;
}

char* GbkToUtf8(const char* text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) {
    return out;
  }
  out[0] = 0;
  if (text == nullptr) {
    return out;
  }
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  const size_t n = strlen(text);
  const size_t limit = outSize - 1;
  size_t i = 0;
  size_t w = 0;
  while (i < n) {
    while (i + 8 <= n && w + 8 <= limit && !HasHighByte8(s + i)) {
      memcpy(out + w, s + i, 8);
      i += 8;
      w += 8;
    }
    if (i >= n) {
      break;
    }
    if (s[i] < 0x80) {
      if (w >= limit) {
        break;
      }
      out[w++] = static_cast<char>(s[i++]);
      continue;
    }
    size_t next = i;
    char32_t u = DecodeGbkChar(s, n, &next);
    if (u < 0x80) {
      if (w >= limit) {
        break;
      }
      out[w++] = static_cast<char>(u);
    } else if (u < 0x800) {
      if (limit - w < 2) {
        break;
      }
      out[w++] = static_cast<char>(0xC0 | (u >> 6));
      out[w++] = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      // Every unit of the table lies below U+FFE6: three bytes at most.
      if (limit - w < 3) {
        break;
      }
      out[w++] = static_cast<char>(0xE0 | (u >> 12));
      out[w++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out[w++] = static_cast<char>(0x80 | (u & 0x3F));
    }
    i = next;
  }
  out[w] = 0;
  return out;
}

char* MultiByteToGbkTable(int codePage, const char* text, char* out, size_t outSize, bool bTable) {
  if (out == nullptr || outSize == 0) {
    return out;
  }
  memset(out, 0, outSize);
  if (text == nullptr || text[0] == 0) {
    return out;
  }
  size_t len = strlen(text);
  if (codePage == kCodePageUtf8) {
    Utf8ToGbkEntities(std::string_view(text, len), out, outSize, bTable);
    return out;
  }
  internal::Scratch<char16_t, 1024> units(len + 1);
  if (!units.ok()) {
    return out;
  }
  long n = TextToUnits(codePage, std::string_view(text, len), units.data(), len + 1);
  if (n > 0) {
    UnitsToGbkEntities(units.data(), static_cast<size_t>(n), out, outSize, bTable);
  }
  return out;
}

char* WideToGbkWithEntities(const char16_t* text, char* out, size_t outSize, bool bTable) {
  if (out == nullptr || outSize == 0) {
    return out;
  }
  memset(out, 0, outSize);
  if (text != nullptr) {
    UnitsToGbkEntities(text, Utf16Length(text), out, outSize, bTable);
  }
  return out;
}

char16_t* HexToWideString(const char* text, char16_t* out, size_t units) {
  if (out == nullptr || units == 0) {
    return out;
  }
  out[0] = 0;
  if (text == nullptr || text[0] != 'x') {
    return out;
  }
  const char* hex = text + 1;
  size_t digits = strlen(hex);
  if (digits == 0 || digits % 4 != 0 || digits / 4 + 1 > units) {
    return out;
  }
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') {
      return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
      return c - 'A' + 10;
    }
    return -1;
  };
  size_t w = 0;
  for (size_t k = 0; k < digits; k += 4) {
    int d[4];
    for (int j = 0; j < 4; ++j) {
      d[j] = value(hex[k + j]);
      if (d[j] < 0) {
        out[0] = 0;
        return out;
      }
    }
    // The group is the unit's low byte, then its high byte.
    out[w++] = static_cast<char16_t>((d[2] << 12) | (d[3] << 8) | (d[0] << 4) | d[1]);
  }
  out[w] = 0;
  return out;
}

char* WideToUtf8(const char16_t* text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) {
    return out;
  }
  memset(out, 0, outSize);
  if (text == nullptr) {
    return out;
  }
  PieceWriter writer(out, outSize);
  for (size_t i = 0; text[i] != 0; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    unsigned char piece[4];
    if (!writer.Put(reinterpret_cast<const char*>(piece), EncodeUtf8Char(c, piece))) {
      break;
    }
  }
  return out;
}

void StripAccents(char16_t* text) {
  if (text == nullptr) {
    return;
  }
  for (; *text != 0; ++text) {
    *text = FoldAccent(*text);
  }
}

bool ReplaceAllWide(char16_t* text, size_t capacity, const char16_t* from, const char16_t* to) {
  if (text == nullptr || from == nullptr) {
    return true;
  }
  return internal::ReplaceAllUnits(text, capacity, from, Utf16Length(from), to,
                                   to != nullptr ? Utf16Length(to) : 0);
}

bool ReplaceAllWideA(char16_t* text, size_t capacity, const char* fromGbk, const char16_t* to) {
  if (text == nullptr || fromGbk == nullptr) {
    return true;
  }
  size_t len = strlen(fromGbk);
  internal::Scratch<char16_t, 256> from(len + 1);
  if (!from.ok()) {
    return false;
  }
  size_t n = GbkToUnits(std::string_view(fromGbk, len), from.data(), len);
  from.data()[n] = 0;
  return ReplaceAllWide(text, capacity, from.data(), to);
}

void RemoveAllWide(char16_t* text, const char16_t* seq) {
  if (text == nullptr || seq == nullptr) {
    return;
  }
  // Removing never grows the text, so the room is never the limit.
  (void)internal::ReplaceAllUnits<char16_t>(text, static_cast<size_t>(-1), seq, Utf16Length(seq),
                                            nullptr, 0);
}

}  // namespace tw
