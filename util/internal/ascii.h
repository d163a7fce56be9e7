#pragma once
// Internal: small byte helpers shared by the text, escaping and JSON code.
#include <cstdint>
#include <cstring>

namespace tw::internal {

// The value of a hex digit of either case, or -1.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// True when one of the eight bytes at p is 0x80 or more.
inline bool HasHighByte8(const unsigned char* p) {
  uint64_t v;
  memcpy(&v, p, sizeof v);
  return (v & 0x8080808080808080ULL) != 0;
}

}  // namespace tw::internal
