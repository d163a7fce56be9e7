#pragma once
// Internal: the replace-all shared by the GBK text (char) and UTF-16 text (char16_t) helpers.
#include <cstddef>
#include <cstring>

#include "util/internal/scratch.h"

namespace tw::internal {

template <typename C>
size_t TextLength(const C* s) {
  size_t n = 0;
  while (s[n] != 0) {
    ++n;
  }
  return n;
}

template <typename C>
bool SameUnits(const C* a, const C* b, size_t n) {
  return memcmp(a, b, n * sizeof(C)) == 0;
}

// Replaces every non-overlapping occurrence of `from` by `to` in the NUL-terminated `text`, scanning
// on after each replacement. `capacity` counts the NUL. Returns false, and leaves the text as it was,
// when the result would not fit (or a work area could not be had). An empty `from` changes nothing.
template <typename C>
bool ReplaceAllUnits(C* text, size_t capacity, const C* from, size_t fromLen, const C* to,
                     size_t toLen) {
  if (text == nullptr || from == nullptr || fromLen == 0) {
    return true;
  }
  if (to == nullptr) {
    toLen = 0;
  }
  const size_t len = TextLength(text);
  if (toLen <= fromLen) {
    size_t r = 0;
    size_t w = 0;
    while (r < len) {
      if (r + fromLen <= len && SameUnits(text + r, from, fromLen)) {
        for (size_t k = 0; k < toLen; ++k) {
          text[w++] = to[k];
        }
        r += fromLen;
      } else {
        text[w++] = text[r++];
      }
    }
    text[w] = 0;
    return true;
  }
  size_t count = 0;
  for (size_t r = 0; r + fromLen <= len;) {
    if (SameUnits(text + r, from, fromLen)) {
      ++count;
      r += fromLen;
    } else {
      ++r;
    }
  }
  if (count == 0) {
    return true;
  }
  const size_t grow = toLen - fromLen;
  if (count > (static_cast<size_t>(-1) - len - 1) / grow || len + count * grow + 1 > capacity) {
    return false;
  }
  Scratch<C, 256> copy(len + 1);
  if (!copy.ok()) {
    return false;
  }
  memcpy(copy.data(), text, (len + 1) * sizeof(C));
  const C* src = copy.data();
  size_t w = 0;
  for (size_t r = 0; r < len;) {
    if (r + fromLen <= len && SameUnits(src + r, from, fromLen)) {
      memcpy(text + w, to, toLen * sizeof(C));
      w += toLen;
      r += fromLen;
    } else {
      text[w++] = src[r++];
    }
  }
  text[w] = 0;
  return true;
}

}  // namespace tw::internal
