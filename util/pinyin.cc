#include "util/pinyin.h"

#include <algorithm>
#include <cstring>

#include "util/internal/ascii.h"
#include "util/internal/piece_writer.h"

namespace tw {
namespace {

#include "util/pinyin_table.inc"

struct SurnameRow {
  uint16_t code;
  const char* reading;
};

// Readings of characters that sound otherwise as the first character of a name.
constexpr SurnameRow kSurnames[] = {
    {0x82E0, "que"},   // 傕
    {0x855E, "ou"},    // 區
    {0x8567, "shan"},  // 単
    {0x86CE, "shan"},  // 單
    {0x8AB7, "xian"},  // 姺
    {0x8ACB, "bi"},    // 娝
    {0x9B52, "huang"}, // 汻
    {0xAB74, "xian"},  // 玹
    {0xAD95, "hu"},    // 瓡
    {0xB3F0, "qiu"},   // 仇
    {0xB5A5, "shan"},  // 单
    {0xB5B6, "diao"},  // 刀
    {0xB5D4, "zhai"},  // 翟
    {0xB7AC, "pan"},   // 番
    {0xB8C7, "ge"},    // 盖
    {0xBCC0, "zhai"},  // 祭
    {0xBDE2, "xie"},   // 解
    {0xBEE4, "gou"},   // 句
    {0xC6D3, "piao"},  // 朴
    {0xC7F8, "ou"},    // 区
    {0xCFB4, "xian"},  // 洗
    {0xD4F8, "zeng"},  // 曾
    {0xC674, "bo"},    // 苩
    {0xD36E, "xie"},   // 觧
    {0xD892, "yun"},   // 貟
    {0xD8A2, "ji"},    // 丌
    {0xDA4F, "yun"},   // 贠
    {0xDBA7, "qie"},   // 郄
    {0xE0A8, "chuai"}, // 啜
    {0xF1D2, "chu"},   // 褚
    {0xF3D0, "ze"},    // 笮
};

constexpr size_t kNameInitialBytes = 6;

using internal::PieceWriter;

// Builds a syllable's text into buf (at most 9 bytes); returns its length, 0 when none.
size_t SyllableText(uint16_t code, char* buf, bool* hasInitial) {
  unsigned initial = code >> 8;
  unsigned final = code & 0xFF;
  if (final >= kPinyinFinalCount) {
    return 0;
  }
  size_t n = 0;
  *hasInitial = initial < kPinyinNoInitial;
  if (*hasInitial) {
    const char* i = PinyinInitials[initial];
    n = strlen(i);
    memcpy(buf, i, n);
  }
  const char* f = PinyinFinals[final];
  size_t m = strlen(f);
  memcpy(buf + n, f, m);
  return n + m;
}

inline uint16_t PairCode(const char* s) {
  return static_cast<uint16_t>(static_cast<unsigned char>(s[0]) << 8 | static_cast<unsigned char>(s[1]));
}

inline bool IsPair(const char* s) { return static_cast<unsigned char>(s[0]) >= 0x80 && s[1] != 0; }

// The reading of the two-byte character at text[i] into buf (16 bytes): from the surname table for
// the first character when bSurname, else from the character table. Returns its length, 0 when the
// character has no reading.
size_t ReadingOf(const char* text, size_t i, bool bSurname, char* buf, bool* hasInitial) {
  uint16_t code = PairCode(text + i);
  const char* surname = (i == 0 && bSurname) ? FindSurnameReading(code) : nullptr;
  if (surname != nullptr) {
    *hasInitial = true;
    size_t n = strlen(surname);
    memcpy(buf, surname, n);
    return n;
  }
  return SyllableText(PinyinSyllableAt(FindPinyinIndex(code)), buf, hasInitial);
}

}  // namespace

const char* const PinyinInitials[kPinyinInitialCount] = {
    "b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "h", "j",
    "q", "x", "zh", "ch", "sh", "r", "z", "c", "s", "y", "w", "v",
};

const char* const PinyinFinals[kPinyinFinalCount] = {
    "a",    "ad",  "ae",  "aeng", "ai",    "ak",    "al",   "am",  "an",  "ang",  "ao",
    "e",    "ed",  "ei",  "em",   "en",    "eng",   "eo",   "eok", "eol", "eom",  "eon",
    "eor",  "er",  "eos", "eus",  "g",     "gag",   "gai",  "gam", "has", "hdeng", "hoi",
    "hos",  "i",   "ia",  "ian",  "iang",  "iao",   "ib",   "ie",  "im",  "in",   "ing",
    "iong", "iou", "is",  "iu",   "o",     "ol",    "om",   "ong", "os",  "ou",   "u",
    "ua",   "uai", "uan", "uang", "ue",    "uei",   "uen",  "ueng", "ui", "ul",   "un",
    "ung",  "uo",  "v",   "ve",   "w",     "wa",    "weok", "wi",  "yeo", "yeon", "yeong",
};

int FindPinyinIndex(uint16_t gbkCode) {
  const uint16_t* end = kPinyinCodes + kPinyinCount;
  const uint16_t* p = std::lower_bound(kPinyinCodes, end, gbkCode);
  return (p != end && *p == gbkCode) ? static_cast<int>(p - kPinyinCodes) : -1;
}

uint16_t PinyinSyllableAt(int index) {
  return (index >= 0 && static_cast<size_t>(index) < kPinyinCount) ? kPinyinSyllables[index] : 0xFFFF;
}

const char* FindSurnameReading(uint16_t gbkCode) {
  for (const SurnameRow& row : kSurnames) {
    if (row.code == gbkCode) {
      return row.reading;
    }
  }
  return nullptr;
}

char* GbkToPinyin(const char* text, char* out, size_t outSize, bool bSpaceAfterSyllable, bool bUpper,
                  bool bSurname) {
  PieceWriter w(out, outSize);
  if (text == nullptr) {
    return out;
  }
  for (size_t i = 0; text[i] != 0 && !w.full();) {
    if (!IsPair(text + i)) {
      w.Put(text + i, 1);
      ++i;
      continue;
    }
    // Room for "'", the longest syllable and a blank.
    char syllable[16];
    bool hasInitial = true;
    size_t n = ReadingOf(text, i, bSurname, syllable + 1, &hasInitial);
    if (n == 0) {
      w.Put(text + i, 2);
      i += 2;
      continue;
    }
    char* start = syllable + 1;
    char last = w.last();
    if (!hasInitial && i > 0 && last != 0 && last != ' ' && static_cast<unsigned char>(last) < 0x80) {
      syllable[0] = '\'';
      start = syllable;
      ++n;
    }
    if (bUpper) {
      for (size_t k = 0; k < n; ++k) {
        start[k] = internal::UpperAscii(start[k]);
      }
    }
    if (bSpaceAfterSyllable) {
      start[n++] = ' ';
    }
    w.Put(start, n);
    i += 2;
  }
  return out;
}

char* GbkToPinyinInitials(const char* text, char* out, size_t outSize, bool bSurname) {
  PieceWriter w(out, outSize);
  if (text == nullptr) {
    return out;
  }
  for (size_t i = 0; text[i] != 0 && !w.full();) {
    if (!IsPair(text + i)) {
      ++i;
      continue;
    }
    char syllable[16];
    bool hasInitial = true;
    if (ReadingOf(text, i, bSurname, syllable, &hasInitial) > 0) {
      char letter = internal::UpperAscii(syllable[0]);
      w.Put(&letter, 1);
    }
    i += 2;
  }
  return out;
}

char GetNameInitial(const char* name1, const char* name2) {
  for (const char* name : {name1, name2}) {
    if (name == nullptr) {
      continue;
    }
    char head[kNameInitialBytes + 1];
    size_t n = 0;
    while (name[n] != 0) {
      size_t len = IsPair(name + n) ? 2 : 1;
      if (n + len > kNameInitialBytes) {
        break;
      }
      n += len;
    }
    memcpy(head, name, n);
    head[n] = 0;
    char first = internal::UpperAscii(head[0]);
    if (first >= 'A' && first <= 'Z') {
      return first;
    }
    char initials[kNameInitialBytes + 1];
    GbkToPinyinInitials(head, initials, sizeof initials, false);
    if (initials[0] >= 'A' && initials[0] <= 'Z') {
      return initials[0];
    }
  }
  return '$';
}

}  // namespace tw
