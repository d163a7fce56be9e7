#include "image/barcode_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "image/barcode_query.h"
#include "image/barcode_tables.h"
#include "tests/image/barcode_test_util.h"

namespace {

using barcode_test::Bmp;
using barcode_test::Le16;
using barcode_test::Le32;
using barcode_test::ModulesFromWidths;
using barcode_test::ReadBmp;

[[nodiscard]] Bmp PictureOf(const CBarcodeImage& image) { return ReadBmp(image.FileImage(), image.FileLength()); }

// ---- constant tables -------------------------------------------------------------------------

TEST(BarcodeTables, Code128PatternsAreDistinctWithEvenBarParity) {
  // Every Code 128 symbol's bar widths add up to an even number; the patterns are all different.
  std::set<uint16_t> seen;
  for (int v = 0; v < tw::barcode::kCode128Values; ++v) {
    std::string_view w = tw::barcode::kCode128Widths[v];
    int bars = 0;
    for (size_t i = 0; i < w.size(); i += 2) {
      bars += w[i] - '0';
    }
    EXPECT_EQ(bars % 2, 0) << "value " << v;
    EXPECT_TRUE(seen.insert(tw::barcode::kCode128Masks[v]).second) << "value " << v;
  }
}

TEST(BarcodeTables, Interleaved2of5DigitsHaveTwoWideElements) {
  std::set<std::string_view> seen;
  for (std::string_view d : tw::barcode::kI25Digits) {
    EXPECT_EQ(std::count(d.begin(), d.end(), 'w'), 2) << d;
    EXPECT_TRUE(seen.insert(d).second) << d;
  }
}

// ---- module strings of the top bar row -------------------------------------------------------

struct ModuleCase {
  const char* why;  // where the expected symbols come from
  const char* text;
  const char* plan;
  bool hide;
  bool gs1;
  bool i25;
  const char* expectedPlan;
  const char* widths;  // element widths, bar first, worked out by hand from the symbology tables
};

TEST(BarcodeImage, TopBarRowCarriesTheExpectedModules) {
  const ModuleCase cases[] = {
      {"set A: start A, 'A'=33, 'B'=34, check (103+33+68)%103=101, stop", "AB", "", false, false, false, "A2",
       "211412 111323 131123 311141 2331112"},
      {"hidden 8 digits: automatic C8, pairs 12 34 56 78, check 665%103=47", "12345678", "", true, false, false,
       "C8", "211232 112232 131123 331121 241112 133121 2331112"},
      {"odd run of 7 starts one later: B4C6, check 2054%103=97", "abc1234567", "", false, false, false, "B4C6",
       "211214 121124 121421 141122 123221 113141 312131 113123 141122 411113 2331112"},
      {"caller plan C2B1: start C, 12, code B, 'x'=88, check 581%103=66", "12x", "C2B1", false, false, false,
       "C2B1", "211232 112232 114131 421211 121421 2331112"},
      {"GS1 set A: start A, FNC1, '0' '1' '0' '1', check 437%103=25", "0101", "", false, true, false, "A4",
       "211412 411131 123122 123221 123122 123221 321122 2331112"},
      {"I2of5 '12': start nnnn, '1' wnnnw in bars, '2' nwnnw in spaces, stop wnn", "12", "", false, false, true, "",
       "1111 3113111133 311"},
  };
  for (const ModuleCase& c : cases) {
    SCOPED_TRACE(c.why);
    CBarcodeImage image;
    image.SetModuleWidth(1);
    image.SetGs1Mode(c.gs1, false);
    int drawn = c.i25 ? image.EncodeInterleaved2of5(c.text, 30, c.hide, 0)
                      : image.EncodeCode128(c.text, 30, c.hide, c.plan, 0);
    ASSERT_EQ(drawn, 1);
    EXPECT_STREQ(image.Plan(), c.expectedPlan);
    Bmp bmp = PictureOf(image);
    ASSERT_TRUE(bmp.ok);
    EXPECT_EQ(bmp.Row(0), ModulesFromWidths(c.widths));
    // Every bar row is the same; the last one sits right above the white separator row.
    const uint32_t lastBarRow = bmp.height - 1 - (c.hide ? 0 : 10);
    EXPECT_EQ(bmp.Row(lastBarRow), bmp.Row(0));
    if (!c.hide) {
      EXPECT_EQ(bmp.Row(lastBarRow + 1), std::string(bmp.width, '0'));
    }
  }
}

TEST(BarcodeImage, WidthAndPlanFollowTheText) {
  struct Case {
    const char* why;
    const char* text;
    const char* plan;
    bool hide;
    bool gs1;
    const char* expectedPlan;
    uint32_t modules;  // symbols x 11 + check, stop and quiet zones, counted by hand
  };
  const Case cases[] = {
      {"8 digits with the text band: set A, 11*8+51", "12345678", "", false, false, "A8", 139},
      {"7 characters hidden: still set A, 11*7+51", "1234567", "", true, false, "A7", 128},
      {"16 digits: automatic C16, 11*9+40", "1234567890123456", "", false, false, "C16", 139},
      {"GS1 set A: FNC1 adds a symbol, 11*4+62", "0101", "", false, true, "A4", 106},
      {"run of 6 inside: B1C6B1, switches counted, 11*8+40", "X123456Y", "", true, false, "B1C6B1", 128},
      {"odd run inside: B2C6B1, 11*9+40", "X1234567Y", "", true, false, "B2C6B1", 139},
      {"equal runs: the later one wins, B7C6", "123456X654321", "", true, false, "B7C6", 172},
      {"no run of 6: plain B over 14 characters, 11*15+40", "ABCDE12345FGHI", "", false, false, "B", 205},
      {"lower case plan, three switches: 11*8+40", "AbCd", "a1b1a1b1", false, false, "a1b1a1b1", 128},
      {"A/B counts past the end take what is left", "ABC", "B12", false, false, "B12", 84},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    CBarcodeImage image;
    image.SetModuleWidth(1);
    image.SetGs1Mode(c.gs1, false);
    ASSERT_EQ(image.EncodeCode128(c.text, 30, c.hide, c.plan, 0), 1);
    EXPECT_STREQ(image.Plan(), c.expectedPlan);
    EXPECT_EQ(image.Width(), c.modules);
    EXPECT_STREQ(image.DisplayText(), c.text);
  }
  CBarcodeImage image;
  image.SetModuleWidth(1);
  ASSERT_EQ(image.EncodeInterleaved2of5("123456", 30, false, 0), 1);
  EXPECT_EQ(image.Width(), 9u * 6 + 25);
}

TEST(BarcodeImage, RowsAreClampedAndTheTextBandIsOptional) {
  struct Case {
    int barHeight;
    bool hide;
    uint32_t rows;
  };
  const Case cases[] = {{5, false, 30}, {5, true, 20}, {30, false, 40}, {30, true, 30}, {400, false, 320}, {-7, true, 20}};
  for (const Case& c : cases) {
    CBarcodeImage code128;
    ASSERT_EQ(code128.EncodeCode128("AB12", c.barHeight, c.hide, "", 0), 1);
    EXPECT_EQ(code128.Rows(), c.rows) << c.barHeight << (c.hide ? " hidden" : "");
    CBarcodeImage i25;
    ASSERT_EQ(i25.EncodeInterleaved2of5("1234", c.barHeight, c.hide, 0), 1);
    EXPECT_EQ(i25.Rows(), c.rows) << c.barHeight << (c.hide ? " hidden" : "");
  }
}

TEST(BarcodeImage, BmpHeaderDescribesTheBitmap) {
  CBarcodeImage image;  // default module width 2
  ASSERT_EQ(image.EncodeCode128("AB", 30, false, "", 0), 1);
  const uint8_t* f = image.FileImage();
  // 73 modules x 2 = 146 pixels, rows of 20 bytes, 40 rows: 800 bytes of pixels behind 62 of headers.
  ASSERT_EQ(image.FileLength(), 862u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Le32(f + 2), 862u);   // file size
  EXPECT_EQ(Le32(f + 6), 0u);     // reserved
  EXPECT_EQ(Le32(f + 10), 62u);   // pixel data offset
  EXPECT_EQ(Le32(f + 14), 40u);   // info header size
  EXPECT_EQ(Le32(f + 18), 146u);  // width
  EXPECT_EQ(Le32(f + 22), 40u);   // height = rows
  EXPECT_EQ(Le16(f + 26), 1u);    // planes
  EXPECT_EQ(Le16(f + 28), 1u);    // bits per pixel
  EXPECT_EQ(Le32(f + 30), 0u);    // no compression
  EXPECT_EQ(Le32(f + 34), 800u);  // image size = rows x stride / 8
  const uint8_t palette[8] = {255, 255, 255, 0, 0, 0, 0, 0};  // entry 0 white, entry 1 black
  EXPECT_EQ(std::memcmp(f + 54, palette, 8), 0);
  EXPECT_EQ(image.StrideBits(), 160u);
  EXPECT_EQ(image.ModuleWidthUsed(), 2);
}

// The ink of a glyph cell: `cols` pixel columns from column x, 7 rows from the cap line (top-down row
// y), as '#' and '.' rows.
[[nodiscard]] std::vector<std::string> Cell(const Bmp& bmp, uint32_t x, uint32_t y, uint32_t cols) {
  std::vector<std::string> rows;
  for (uint32_t r = 0; r < 7; ++r) {
    std::string row;
    for (uint32_t c = 0; c < cols; ++c) {
      row += bmp.Black(x + c, y + r) ? '#' : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(BarcodeImage, TextBandShowsTheGlyphsUnderTheirSymbols) {
  // 20 bar rows, then top-down row 20 is the white separator, row 21 the empty glyph row 0 and row
  // 22 the cap line of the glyphs.
  struct Case {
    const char* why;
    const char* text;
    const char* plan;
    uint32_t x;
    uint32_t cols;
    std::vector<std::string> ink;
  };
  const Case cases[] = {
      {"'A' of set A: symbol at modules 19-29, glyph 3 modules in", "A1", "", 22, 5,
       {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
      {"'1' of set A: symbol at modules 30-40", "A1", "", 33, 5,
       {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
      {"set C pair '17': narrow '1' in columns 20-23", "17", "C", 20, 4,
       {"..#.", ".##.", "..#.", "..#.", "..#.", "..#.", ".###"}},
      {"set C pair '17': narrow '7' in columns 25-28", "17", "C", 25, 4,
       {"####", "...#", "..#.", "..#.", ".#..", ".#..", ".#.."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    CBarcodeImage image;
    image.SetModuleWidth(1);
    ASSERT_EQ(image.EncodeCode128(c.text, 20, false, c.plan, 0), 1);
    Bmp bmp = PictureOf(image);
    ASSERT_TRUE(bmp.ok);
    EXPECT_EQ(Cell(bmp, c.x, 22, c.cols), c.ink);
    EXPECT_EQ(bmp.Row(20), std::string(bmp.width, '0'));
    EXPECT_EQ(bmp.Row(21), std::string(bmp.width, '0'));
  }
}

// ---- GS1 check digit -------------------------------------------------------------------------

TEST(BarcodeImage, Gs1CheckDigitIsAppendedOnlyWhenMissing) {
  struct Case {
    const char* why;
    const char* text;
    const char* encoded;
  };
  const Case cases[] = {
      {"GS1 example GTIN 950110153000 has check digit 3", "950110153000", "9501101530003"},
      {"already ends with its check digit", "9501101530003", "9501101530003"},
      {"3*7+6+3*5+4+3*3+2+3*1 = 60: check 0", "1234567", "12345670"},
      {"already checked", "12345670", "12345670"},
      {"3*5 = 15: check 5", "5", "55"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    CBarcodeImage image;
    image.SetGs1Mode(true, true);
    ASSERT_EQ(image.EncodeCode128(c.text, 30, false, "", 0), 1);
    EXPECT_STREQ(image.EncodedText(), c.encoded);
    EXPECT_STREQ(image.DisplayText(), c.text);
  }
  CBarcodeImage noCheck;
  noCheck.SetGs1Mode(true, false);
  ASSERT_EQ(noCheck.EncodeCode128("950110153000", 30, false, "", 0), 1);
  EXPECT_STREQ(noCheck.EncodedText(), "950110153000");
}

// ---- refusals --------------------------------------------------------------------------------

TEST(BarcodeImage, RefusedTextsLeaveNoPictureAndAnswerE) {
  const std::string sixtyOne(61, 'A');
  std::string manySwitches;  // 60 characters in 60 segments: 1360 modules, too wide with the band
  std::string manyPlan;
  for (int i = 0; i < 30; ++i) {
    manySwitches += "Ab";
    manyPlan += "A1B1";
  }
  struct Case {
    const char* why;
    std::string text;
    std::string plan;
    bool gs1Check;
    int barHeight;
  };
  const Case cases[] = {
      {"empty", "", "", false, 30},
      {"61 characters", sixtyOne, "", false, 30},
      {"tab on the set A path", "AB\tC", "", false, 30},
      {"control character on the automatic path", "ab\x01", "", false, 30},
      {"control character on a plan", "AB\x1f", "B", false, 30},
      {"code 127 has no place in set B", "AB\x7f", "", false, 30},
      {"byte above 127", "AB\x80", "", false, 30},
      {"same letter twice", "abc", "B1B2", false, 30},
      {"same letter twice in another case", "abc", "b1B2", false, 30},
      {"plan ends before the text", "abcd", "B2", false, 30},
      {"odd C count", "123", "C3", false, 30},
      {"C count past the end of the text", "12", "C4", false, 30},
      {"non-digit in C", "12ab", "C", false, 30},
      {"lower case in A", "abc", "A", false, 30},
      {"letter outside A-C", "ABC", "X3", false, 30},
      {"count of zero", "ABC", "B0C", false, 30},
      {"three-digit count", "ABC", "B123", false, 30},
      {"GS1 check digit over a non-digit", "12345X", "", true, 30},
      {"picture over 32706 bytes", manySwitches, manyPlan, false, 310},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    CBarcodeImage image;
    image.SetGs1Mode(c.gs1Check, c.gs1Check);
    EXPECT_EQ(image.EncodeCode128(c.text, c.barHeight, false, c.plan, 0), 0);
    EXPECT_EQ(image.FileLength(), 0u);

    CBarcodeImage door;
    BarcodeQuery query;
    query.ccode = c.text;
    query.cmask = c.plan;
    query.ih = c.barHeight;
    if (!c.gs1Check) {  // the door itself never asks for the check digit
      BarcodeAnswer answer = RenderBarcodeQuery(query, door);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(answer.data), answer.size), "E!");
      EXPECT_EQ(answer.imageType, nullptr);
    }
  }
  // The same wide plan fits without the band at a low bar height: 1360 modules of 2 pixels.
  CBarcodeImage hidden;
  EXPECT_EQ(hidden.EncodeCode128(manySwitches, 20, true, manyPlan, 0), 1);
  EXPECT_EQ(hidden.Width(), 2720u);
}

TEST(BarcodeImage, Interleaved2of5RefusesWhatItCannotCarry) {
  const char* refused[] = {"", "1", "12345", "12a4", "12 4"};
  for (const char* text : refused) {
    CBarcodeImage image;
    EXPECT_EQ(image.EncodeInterleaved2of5(text, 30, false, 0), 0) << text;
    EXPECT_EQ(image.FileLength(), 0u);
  }
  CBarcodeImage longest;
  EXPECT_EQ(longest.EncodeInterleaved2of5(std::string(60, '7'), 30, false, 0), 1);
  CBarcodeImage tooLong;
  EXPECT_EQ(tooLong.EncodeInterleaved2of5(std::string(62, '7'), 30, false, 0), 0);
}

TEST(BarcodeImage, RefusalClearsAnEarlierPicture) {
  CBarcodeImage image;
  ASSERT_EQ(image.EncodeCode128("AB", 30, false, "", 0), 1);
  ASSERT_GT(image.FileLength(), 0u);
  EXPECT_EQ(image.EncodeCode128("A\tB", 30, false, "", 0), 0);
  EXPECT_EQ(image.FileLength(), 0u);
  EXPECT_EQ(image.ConvertToPng(nullptr), 0);
}

// ---- widening and turning --------------------------------------------------------------------

TEST(BarcodeImage, ModuleWidthIsLoweredUntilThePictureFits) {
  // 60 lower-case letters in set B: 711 modules; 70 rows. By hand: width 8, 7 and 6 give 712, 624
  // and 536 bytes per row (49840, 43680, 37520 bytes); width 5 gives 448 (31360 bytes).
  const std::string text(60, 'x');
  CBarcodeImage image;
  image.SetModuleWidth(8);
  ASSERT_EQ(image.EncodeCode128(text, 60, false, "", 0), 1);
  EXPECT_EQ(image.ModuleWidthUsed(), 5);
  EXPECT_EQ(image.Width(), 711u * 5);
  EXPECT_EQ(image.FileLength(), 62u + 448u * 70u);

  struct Case {
    int set;
    int used;
  };
  const Case cases[] = {{1, 1}, {2, 2}, {8, 8}, {9, 1}, {0, 1}, {-3, 1}};
  for (const Case& c : cases) {
    CBarcodeImage small;
    small.SetModuleWidth(c.set);
    ASSERT_EQ(small.EncodeCode128("AB", 30, false, "", 0), 1);
    EXPECT_EQ(small.ModuleWidthUsed(), c.used) << c.set;
    EXPECT_EQ(small.Width(), 73u * static_cast<uint32_t>(c.used)) << c.set;
  }
}

TEST(BarcodeImage, TurnsAreRotationsOfTheDrawnPicture) {
  // Top-down coordinates: a quarter turn clockwise takes (x, y) of the drawn W x H picture to
  // (H - 1 - y, x); counter-clockwise to (y, W - 1 - x); the half turn to (W - 1 - x, H - 1 - y).
  for (bool i25 : {false, true}) {
    for (int width : {1, 3}) {
      auto draw = [&](CBarcodeImage& im, int dir) {
        im.SetModuleWidth(width);
        return i25 ? im.EncodeInterleaved2of5("0123456789", 25, false, dir)
                   : im.EncodeCode128("Ab12345678", 25, false, "", dir);
      };
      CBarcodeImage flat;
      ASSERT_EQ(draw(flat, 0), 1);
      Bmp f = PictureOf(flat);
      ASSERT_TRUE(f.ok);
      for (int dir : {1, 2, 3, 7}) {
        SCOPED_TRACE(testing::Message() << (i25 ? "I2of5" : "Code 128") << " width " << width << " idir " << dir);
        CBarcodeImage turned;
        ASSERT_EQ(draw(turned, dir), 1);
        Bmp t = PictureOf(turned);
        ASSERT_TRUE(t.ok);
        const bool quarter = dir != 2;
        ASSERT_EQ(t.width, quarter ? f.height : f.width);
        ASSERT_EQ(t.height, quarter ? f.width : f.height);
        int mismatches = 0;
        for (uint32_t y = 0; y < f.height; ++y) {
          for (uint32_t x = 0; x < f.width; ++x) {
            uint32_t tx = dir == 1 ? f.height - 1 - y : dir == 2 ? f.width - 1 - x : y;
            uint32_t ty = dir == 1 ? x : dir == 2 ? f.height - 1 - y : f.width - 1 - x;
            mismatches += f.Black(x, y) != t.Black(tx, ty) ? 1 : 0;
          }
        }
        EXPECT_EQ(mismatches, 0);
      }
    }
  }
}

TEST(BarcodeImage, PicturesTooLargeToTurnStayAsDrawn) {
  // 33 letters in set B: 414 modules, 828 pixels at width 2 (104 bytes per row), 290 rows: 30160
  // bytes as drawn, but turned the 290 rows pad to 40 bytes: 40 x 828 = 33120 bytes.
  CBarcodeImage tall;
  ASSERT_EQ(tall.EncodeCode128(std::string(33, 'x'), 280, false, "", 1), 1);
  EXPECT_EQ(tall.Width(), 828u);
  EXPECT_EQ(tall.Rows(), 290u);
  EXPECT_EQ(tall.ModuleWidthUsed(), 2);
  // 60 letters at width 8: 5688 pixels, 712 bytes per row, over the 200 bytes a turn takes.
  CBarcodeImage wide;
  wide.SetModuleWidth(8);
  ASSERT_EQ(wide.EncodeCode128(std::string(60, 'x'), 30, false, "", 2), 1);
  EXPECT_EQ(wide.Width(), 5688u);
  EXPECT_EQ(wide.Rows(), 40u);
}

// ---- PNG --------------------------------------------------------------------------------------

[[nodiscard]] uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

TEST(BarcodeImage, ConvertToPngReplacesTheBitmapAndWritesTheFile) {
  barcode_test::TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  const std::string path = dir.Path() + "/label.png";
  CBarcodeImage image;
  ASSERT_EQ(image.EncodeCode128("AB", 30, false, "", 0), 1);
  ASSERT_EQ(image.ConvertToPng(path.c_str()), 1);
  EXPECT_TRUE(image.IsPng());
  const uint8_t* f = image.FileImage();
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_GT(image.FileLength(), 33u);
  EXPECT_EQ(std::memcmp(f, signature, 8), 0);
  EXPECT_EQ(std::memcmp(f + 12, "IHDR", 4), 0);
  EXPECT_EQ(Be32(f + 16), 146u);  // the bitmap's width and height
  EXPECT_EQ(Be32(f + 20), 40u);
  // The file holds the same bytes.
  FILE* in = std::fopen(path.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  std::string disk(kBarcodeFileCapacity + 1, '\0');
  disk.resize(std::fread(disk.data(), 1, disk.size(), in));
  std::fclose(in);
  EXPECT_EQ(disk, std::string(reinterpret_cast<const char*>(f), image.FileLength()));
  // Already PNG: nothing more to convert.
  const uint32_t length = image.FileLength();
  EXPECT_EQ(image.ConvertToPng(nullptr), 0);
  EXPECT_EQ(image.FileLength(), length);
}

TEST(BarcodeImage, ConvertToPngKeepsTheBitmapWhenTheFileCannotBeWritten) {
  CBarcodeImage image;
  ASSERT_EQ(image.EncodeCode128("AB", 30, false, "", 0), 1);
  EXPECT_EQ(image.ConvertToPng("/nonexistent-folder/label.png"), 0);
  EXPECT_FALSE(image.IsPng());
  EXPECT_EQ(image.FileLength(), 862u);
  EXPECT_EQ(image.FileImage()[0], 'B');
}

// ---- the barcode command's steps -------------------------------------------------------------

TEST(BarcodeQuery, FollowsTheCommandsTypeAndWidthRules) {
  {
    // Interleaved 2 of 5 without its text line, as PNG.
    CBarcodeImage image;
    BarcodeQuery q;
    q.ccode = "123456";
    q.ntype = 1101;
    BarcodeAnswer a = RenderBarcodeQuery(q, image);
    EXPECT_STREQ(a.imageType, "png");
    EXPECT_EQ(a.data, image.FileImage());
    EXPECT_STREQ(image.Plan(), "");  // no code-set plan: Interleaved 2 of 5
    EXPECT_EQ(image.Rows(), 30u);
    EXPECT_EQ(a.size, image.FileLength());
  }
  {
    // An odd digit count falls back to Code 128.
    CBarcodeImage image;
    BarcodeQuery q;
    q.ccode = "12345";
    q.ntype = 1101;
    BarcodeAnswer a = RenderBarcodeQuery(q, image);
    EXPECT_STREQ(a.imageType, "png");
    EXPECT_STREQ(image.Plan(), "A5");
  }
  {
    // ntype 2: GS1-128, BMP, no check digit appended.
    CBarcodeImage image;
    BarcodeQuery q;
    q.ccode = "950110153000";
    q.ntype = 2;
    BarcodeAnswer a = RenderBarcodeQuery(q, image);
    EXPECT_STREQ(a.imageType, "bmp");
    EXPECT_STREQ(image.EncodedText(), "950110153000");
    EXPECT_EQ(image.Width(), (11u * 12 + 62) * 2);
  }
  for (int iwz : {1, 9, 0}) {
    CBarcodeImage image;
    BarcodeQuery q;
    q.ccode = "AB";
    q.iwz = iwz;
    BarcodeAnswer a = RenderBarcodeQuery(q, image);
    EXPECT_STREQ(a.imageType, "bmp");
    EXPECT_EQ(image.ModuleWidthUsed(), 2) << iwz;
  }
  {
    CBarcodeImage image;
    BarcodeQuery q;
    q.ccode = "AB";
    q.iwz = 4;
    q.idir = 1;
    (void)RenderBarcodeQuery(q, image);
    EXPECT_EQ(image.ModuleWidthUsed(), 4);
    EXPECT_EQ(image.Width(), 40u);
    EXPECT_EQ(image.Rows(), 73u * 4);
  }
}

}  // namespace
