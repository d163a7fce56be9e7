#pragma once
// Comparisons of GBK text with ASCII letter case ignored, the way the database's citext columns
// compare codes and names: single-byte letters A-Z fold to a-z, a two-byte character (a byte of 0x80
// or more and the byte after it) is compared as its exact bytes, so a trail byte that happens to be
// a letter never folds and two different Chinese characters never compare equal.
//
// All functions are reentrant and read only the bytes they are given.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::refdata {

inline constexpr unsigned char kGbkLeadMin = 0x80;

// The folded form of one byte outside a two-byte character.
[[nodiscard]] inline unsigned char FoldAsciiByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// FoldGbk: writes the folded form of text to out (text.size() bytes; no NUL). REQUIRES: out holds
// text.size() bytes.
inline void FoldGbk(std::string_view text, char* out) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= kGbkLeadMin && i + 1 < text.size()) {
      out[i] = text[i];
      out[i + 1] = text[i + 1];
      i += 2;
    } else {
      out[i] = static_cast<char>(FoldAsciiByte(c));
      ++i;
    }
  }
}

// CompareNoCaseGbk: <0, 0 or >0 as the folded form of a sorts before, equal to or after that of b
// (bytes unsigned). A consistent total order, so it can sort and binary-search.
[[nodiscard]] inline int CompareNoCaseGbk(std::string_view a, std::string_view b) {
  bool trailA = false, trailB = false;
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    const unsigned char fa = trailA ? ca : FoldAsciiByte(ca);
    const unsigned char fb = trailB ? cb : FoldAsciiByte(cb);
    if (fa != fb) {
      return fa < fb ? -1 : 1;
    }
    trailA = !trailA && ca >= kGbkLeadMin && i + 1 < a.size();
    trailB = !trailB && cb >= kGbkLeadMin && i + 1 < b.size();
  }
  if (a.size() == b.size()) {
    return 0;
  }
  return a.size() < b.size() ? -1 : 1;
}

[[nodiscard]] inline bool EqualsNoCaseGbk(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCaseGbk(a, b) == 0;
}

// IsCharStart: true when byte offset `at` of text begins a character (walking from the start).
[[nodiscard]] inline bool IsCharStart(std::string_view text, size_t at) {
  size_t i = 0;
  while (i < at) {
    i += (static_cast<unsigned char>(text[i]) >= kGbkLeadMin && i + 1 < text.size()) ? 2 : 1;
  }
  return i == at;
}

// EndsWithChar: true when the last character of text is the two-byte character `ch`.
[[nodiscard]] inline bool EndsWithChar(std::string_view text, std::string_view ch) {
  return text.size() >= ch.size() && text.substr(text.size() - ch.size()) == ch &&
         IsCharStart(text, text.size() - ch.size());
}

}  // namespace tw::refdata
