#pragma once
// Constant data of the barcode renderer (CBarcodeImage): the Code 128 symbol patterns, the
// Interleaved 2 of 5 digit patterns and the two bitmap fonts of the human-readable line.
//
// Everything here is constexpr and built at compile time from readable sources (element widths,
// ASCII-art glyphs), so the tables hold no global objects and need no start-up work. Only the
// renderer and its tests include this header.

#include <array>
#include <cstdint>
#include <string_view>

namespace tw::barcode {

// ---- Code 128 --------------------------------------------------------------------------------

inline constexpr int kCode128Values = 107;     // 0-102 data and functions, 103-105 starts, 106 stop
inline constexpr int kCode128Modules = 11;     // modules of every symbol but the stop
inline constexpr int kCode128StopModules = 13; // the stop symbol carries a final 2-module bar
inline constexpr int kCode128ShiftCodeC = 99;  // "code C" in sets A and B
inline constexpr int kCode128ShiftCodeB = 100; // "code B" in sets A and C
inline constexpr int kCode128ShiftCodeA = 101; // "code A" in sets B and C
inline constexpr int kCode128Fnc1 = 102;
inline constexpr int kCode128StartA = 103;
inline constexpr int kCode128StartB = 104;
inline constexpr int kCode128StartC = 105;
inline constexpr int kCode128Stop = 106;
inline constexpr int kCode128CheckModulus = 103;

// Element widths (bar, space, bar, space, bar, space[, bar]) of every symbol value, in modules.
inline constexpr std::array<std::string_view, kCode128Values> kCode128Widths = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};

// Module flags of one symbol as a bit mask: bit (n - 1 - i) is module i, set for a bar module.
[[nodiscard]] constexpr uint16_t WidthsToModuleMask(std::string_view widths) {
  uint16_t mask = 0;
  bool bar = true;
  for (char w : widths) {
    for (int i = 0; i < w - '0'; ++i) {
      mask = static_cast<uint16_t>((mask << 1) | (bar ? 1u : 0u));
    }
    bar = !bar;
  }
  return mask;
}

inline constexpr std::array<uint16_t, kCode128Values> kCode128Masks = [] {
  std::array<uint16_t, kCode128Values> masks{};
  for (int v = 0; v < kCode128Values; ++v) {
    masks[v] = WidthsToModuleMask(kCode128Widths[v]);
  }
  return masks;
}();

// ---- Interleaved 2 of 5 ----------------------------------------------------------------------

inline constexpr int kI25Narrow = 1;
inline constexpr int kI25Wide = 3;
inline constexpr int kI25DigitModules = 2 * kI25Wide + 3 * kI25Narrow;  // 9 per digit

// Five elements per digit, 'n' narrow and 'w' wide; the first digit of a pair is drawn in the bars,
// the second in the spaces between them.
inline constexpr std::array<std::string_view, 10> kI25Digits = {
    "nnwwn", "wnnnw", "nwnnw", "wwnnn", "nnwnw", "wnwnn", "nwwnn", "nnnww", "wnnwn", "nwnwn",
};

// ---- Fonts -----------------------------------------------------------------------------------

inline constexpr int kGlyphRows = 9;  // row 0 is the top of a glyph
inline constexpr int kFirstGlyph = 32;
inline constexpr int kTextGlyphs = 95;  // characters 32 to 126

// A glyph is written as 8 rows of 5 pixels ('#' ink, '.' paper) separated by single spaces; they
// become rows 1-8 of the 9-row cell (row 0, above the capitals, stays empty; row 8 carries the
// descenders). The text font's pixels occupy mask bits 6..2 (columns 1-5 of the 8-pixel mask).
inline constexpr int kTextSourceRows = 8;
inline constexpr int kTextSourceCols = 5;
inline constexpr int kTextMaskShift = 2;

inline constexpr std::array<std::string_view, kTextGlyphs> kTextFontSource = {
    "..... ..... ..... ..... ..... ..... ..... .....",  // ' '
    "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#.. .....",  // '!'
    ".#.#. .#.#. .#.#. ..... ..... ..... ..... .....",  // '"'
    ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#. .....",  // '#'
    "..#.. .#### #.#.. .###. ..#.# ####. ..#.. .....",  // '$'
    "##... ##..# ...#. ..#.. .#... #..## ...## .....",  // '%'
    ".##.. #..#. #.#.. .#... #.#.# #..#. .##.# .....",  // '&'
    "..#.. ..#.. .#... ..... ..... ..... ..... .....",  // '\''
    "...#. ..#.. .#... .#... .#... ..#.. ...#. .....",  // '('
    ".#... ..#.. ...#. ...#. ...#. ..#.. .#... .....",  // ')'
    "..... ..#.. #.#.# .###. #.#.# ..#.. ..... .....",  // '*'
    "..... ..#.. ..#.. ##### ..#.. ..#.. ..... .....",  // '+'
    "..... ..... ..... ..... ..... .##.. ..#.. .#...",  // ','
    "..... ..... ..... ##### ..... ..... ..... .....",  // '-'
    "..... ..... ..... ..... ..... .##.. .##.. .....",  // '.'
    "..... ....# ...#. ..#.. .#... #.... ..... .....",  // '/'
    ".###. #...# #..## #.#.# ##..# #...# .###. .....",  // '0'
    "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###. .....",  // '1'
    ".###. #...# ....# ...#. ..#.. .#... ##### .....",  // '2'
    "##### ...#. ..#.. ...#. ....# #...# .###. .....",  // '3'
    "...#. ..##. .#.#. #..#. ##### ...#. ...#. .....",  // '4'
    "##### #.... ####. ....# ....# #...# .###. .....",  // '5'
    "..##. .#... #.... ####. #...# #...# .###. .....",  // '6'
    "##### ....# ...#. ..#.. .#... .#... .#... .....",  // '7'
    ".###. #...# #...# .###. #...# #...# .###. .....",  // '8'
    ".###. #...# #...# .#### ....# ...#. .##.. .....",  // '9'
    "..... .##.. .##.. ..... .##.. .##.. ..... .....",  // ':'
    "..... .##.. .##.. ..... .##.. ..#.. .#... .....",  // ';'
    "...#. ..#.. .#... #.... .#... ..#.. ...#. .....",  // '<'
    "..... ..... ##### ..... ##### ..... ..... .....",  // '='
    ".#... ..#.. ...#. ....# ...#. ..#.. .#... .....",  // '>'
    ".###. #...# ....# ...#. ..#.. ..... ..#.. .....",  // '?'
    ".###. #...# ....# .##.# #.#.# #.#.# .###. .....",  // '@'
    ".###. #...# #...# ##### #...# #...# #...# .....",  // 'A'
    "####. #...# #...# ####. #...# #...# ####. .....",  // 'B'
    ".###. #...# #.... #.... #.... #...# .###. .....",  // 'C'
    "###.. #..#. #...# #...# #...# #..#. ###.. .....",  // 'D'
    "##### #.... #.... ####. #.... #.... ##### .....",  // 'E'
    "##### #.... #.... ####. #.... #.... #.... .....",  // 'F'
    ".###. #...# #.... #.### #...# #...# .#### .....",  // 'G'
    "#...# #...# #...# ##### #...# #...# #...# .....",  // 'H'
    ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###. .....",  // 'I'
    "..### ...#. ...#. ...#. ...#. #..#. .##.. .....",  // 'J'
    "#...# #..#. #.#.. ##... #.#.. #..#. #...# .....",  // 'K'
    "#.... #.... #.... #.... #.... #.... ##### .....",  // 'L'
    "#...# ##.## #.#.# #.#.# #...# #...# #...# .....",  // 'M'
    "#...# #...# ##..# #.#.# #..## #...# #...# .....",  // 'N'
    ".###. #...# #...# #...# #...# #...# .###. .....",  // 'O'
    "####. #...# #...# ####. #.... #.... #.... .....",  // 'P'
    ".###. #...# #...# #...# #.#.# #..#. .##.# .....",  // 'Q'
    "####. #...# #...# ####. #.#.. #..#. #...# .....",  // 'R'
    ".#### #.... #.... .###. ....# ....# ####. .....",  // 'S'
    "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. .....",  // 'T'
    "#...# #...# #...# #...# #...# #...# .###. .....",  // 'U'
    "#...# #...# #...# #...# #...# .#.#. ..#.. .....",  // 'V'
    "#...# #...# #...# #.#.# #.#.# #.#.# .#.#. .....",  // 'W'
    "#...# #...# .#.#. ..#.. .#.#. #...# #...# .....",  // 'X'
    "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#.. .....",  // 'Y'
    "##### ....# ...#. ..#.. .#... #.... ##### .....",  // 'Z'
    ".###. .#... .#... .#... .#... .#... .###. .....",  // '['
    "..... #.... .#... ..#.. ...#. ....# ..... .....",  // '\\'
    ".###. ...#. ...#. ...#. ...#. ...#. .###. .....",  // ']'
    "..#.. .#.#. #...# ..... ..... ..... ..... .....",  // '^'
    "..... ..... ..... ..... ..... ..... ..... #####",  // '_'
    ".#... ..#.. ...#. ..... ..... ..... ..... .....",  // '`'
    "..... ..... .###. ....# .#### #...# .#### .....",  // 'a'
    "#.... #.... #.##. ##..# #...# #...# ####. .....",  // 'b'
    "..... ..... .###. #.... #.... #...# .###. .....",  // 'c'
    "....# ....# .##.# #..## #...# #...# .#### .....",  // 'd'
    "..... ..... .###. #...# ##### #.... .###. .....",  // 'e'
    "..##. .#..# .#... ###.. .#... .#... .#... .....",  // 'f'
    "..... ..... .#### #...# #...# .#### ....# .###.",  // 'g'
    "#.... #.... #.##. ##..# #...# #...# #...# .....",  // 'h'
    "..#.. ..... .##.. ..#.. ..#.. ..#.. .###. .....",  // 'i'
    "...#. ..... ..##. ...#. ...#. ...#. #..#. .##..",  // 'j'
    "#.... #.... #..#. #.#.. ##... #.#.. #..#. .....",  // 'k'
    ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###. .....",  // 'l'
    "..... ..... ##.#. #.#.# #.#.# #...# #...# .....",  // 'm'
    "..... ..... #.##. ##..# #...# #...# #...# .....",  // 'n'
    "..... ..... .###. #...# #...# #...# .###. .....",  // 'o'
    "..... ..... ####. #...# ####. #.... #.... #....",  // 'p'
    "..... ..... .#### #...# .#### ....# ....# ....#",  // 'q'
    "..... ..... #.##. ##..# #.... #.... #.... .....",  // 'r'
    "..... ..... .###. #.... .###. ....# ####. .....",  // 's'
    ".#... .#... ###.. .#... .#... .#..# ..##. .....",  // 't'
    "..... ..... #...# #...# #...# #..## .##.# .....",  // 'u'
    "..... ..... #...# #...# #...# .#.#. ..#.. .....",  // 'v'
    "..... ..... #...# #...# #.#.# #.#.# .#.#. .....",  // 'w'
    "..... ..... #...# .#.#. ..#.. .#.#. #...# .....",  // 'x'
    "..... ..... #...# #...# #...# .#### ....# .###.",  // 'y'
    "..... ..... ##### ...#. ..#.. .#... ##### .....",  // 'z'
    "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#. .....",  // '{'
    "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. .....",  // '|'
    ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#... .....",  // '}'
    "..... ..... .#... #.#.# ...#. ..... ..... .....",  // '~'
};

// The narrow digits of code set C, two under every 11-module symbol: 7 rows of 4 pixels, rows 1-7
// of the cell, in mask bits 7..4.
inline constexpr int kDigitSourceRows = 7;
inline constexpr int kDigitSourceCols = 4;
inline constexpr int kDigitMaskShift = 4;

inline constexpr std::array<std::string_view, 10> kDigitFontSource = {
    ".##. #..# #..# #..# #..# #..# .##.",  // '0'
    "..#. .##. ..#. ..#. ..#. ..#. .###",  // '1'
    ".##. #..# ...# ..#. .#.. #... ####",  // '2'
    "###. ...# ...# .##. ...# ...# ###.",  // '3'
    "..#. .##. #.#. #.#. #### ..#. ..#.",  // '4'
    "#### #... ###. ...# ...# #..# .##.",  // '5'
    ".##. #... #... ###. #..# #..# .##.",  // '6'
    "#### ...# ..#. ..#. .#.. .#.. .#..",  // '7'
    ".##. #..# #..# .##. #..# #..# .##.",  // '8'
    ".##. #..# #..# .### ...# ...# .##.",  // '9'
};

using Glyph = std::array<uint8_t, kGlyphRows>;

// True when an ASCII-art glyph has `rows` rows of `cols` '#' or '.' characters, single spaces between.
[[nodiscard]] constexpr bool GlyphSourceValid(std::string_view src, int rows, int cols) {
  if (src.size() != static_cast<size_t>(rows * (cols + 1) - 1)) {
    return false;
  }
  for (size_t i = 0; i < src.size(); ++i) {
    const bool gap = (i % static_cast<size_t>(cols + 1)) == static_cast<size_t>(cols);
    if (gap ? src[i] != ' ' : (src[i] != '#' && src[i] != '.')) {
      return false;
    }
  }
  return true;
}

// Turns one ASCII-art glyph into its 9 row masks: source row r becomes cell row r + 1, a '#' in
// column c sets mask bit (shift + cols - 1 - c). REQUIRES: GlyphSourceValid(src, rows, cols).
[[nodiscard]] constexpr Glyph ParseGlyph(std::string_view src, int rows, int cols, int shift) {
  Glyph g{};
  for (int r = 0; r < rows; ++r) {
    uint8_t mask = 0;
    for (int c = 0; c < cols; ++c) {
      if (src[static_cast<size_t>(r * (cols + 1) + c)] == '#') {
        mask = static_cast<uint8_t>(mask | (1u << (shift + cols - 1 - c)));
      }
    }
    g[static_cast<size_t>(r + 1)] = mask;
  }
  return g;
}

static_assert([] {
  for (auto src : kTextFontSource) {
    if (!GlyphSourceValid(src, kTextSourceRows, kTextSourceCols)) {
      return false;
    }
  }
  for (auto src : kDigitFontSource) {
    if (!GlyphSourceValid(src, kDigitSourceRows, kDigitSourceCols)) {
      return false;
    }
  }
  return true;
}(), "every glyph source is a full grid of '#' and '.'");

static_assert([] {
  for (auto w : kCode128Widths) {
    int modules = 0;
    for (char c : w) {
      modules += c - '0';
    }
    if (modules != (w.size() == 7 ? kCode128StopModules : kCode128Modules)) {
      return false;
    }
  }
  return true;
}(), "every Code 128 symbol spans 11 modules, the stop 13");

inline constexpr std::array<Glyph, kTextGlyphs> kTextFont = [] {
  std::array<Glyph, kTextGlyphs> font{};
  for (int i = 0; i < kTextGlyphs; ++i) {
    font[i] = ParseGlyph(kTextFontSource[i], kTextSourceRows, kTextSourceCols, kTextMaskShift);
  }
  return font;
}();

inline constexpr std::array<Glyph, 10> kDigitFont = [] {
  std::array<Glyph, 10> font{};
  for (int i = 0; i < 10; ++i) {
    font[i] = ParseGlyph(kDigitFontSource[i], kDigitSourceRows, kDigitSourceCols, kDigitMaskShift);
  }
  return font;
}();

}  // namespace tw::barcode
