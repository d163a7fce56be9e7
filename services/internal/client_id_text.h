#pragma once
// Text helpers of the client's identity requests (ID-card records, client creation, the in-system
// login).

#include <cstddef>

namespace tw::clientid {

// MakeGbkSafe: every byte of 0x81 or more that does not lead a GBK character with its trail byte
// (0x40..0xFE, not 0x7F) becomes "?", in place, so a text stored or compared is one the database
// reads (a stray lead byte would otherwise take the next byte, a quote say, with it).
inline void MakeGbkSafe(char* text) {
  for (size_t i = 0; text[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x81) continue;
    const unsigned char t = static_cast<unsigned char>(text[i + 1]);
    if (c <= 0xFE && t >= 0x40 && t <= 0xFE && t != 0x7F) {
      ++i;
    } else {
      text[i] = '?';
    }
  }
}

// An account made from a name holds at most 30 characters.
inline constexpr size_t kAccountMax = 30;
inline constexpr size_t kAccountBytes = kAccountMax + 1;

// MakeAccount: the account of a new client from its unit name (GBK): the upper-case first letters
// of the pinyin of its Chinese characters; when it has none, its ASCII letters and digits
// upper-cased; at most 30 characters, into out. Empty when the name has neither.
void MakeAccount(const char* unitName, char out[kAccountBytes]);

}  // namespace tw::clientid
