// The picture object: creation and its limits, pixels, palette, planes, copies, ghosts, and the
// whole-picture operations.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/raster_errors.h"
#include "image/raster_image.h"

namespace {

TEST(RasterImage, CreateRefusalsAndLayout) {
  const struct {
    uint32_t w, h, bpp;
    bool ok;
    const char* text;
    uint32_t bits, rowBytes, imageSize, colours;  // worked out by hand: ((w * bits + 31) / 32) * 4
  } rows[] = {
      {0, 10, 24, false, raster_error::kCreateSize, 0, 0, 0, 0},
      {10, 0, 8, false, raster_error::kCreateSize, 0, 0, 0, 0},
      {300, 200, 24, true, nullptr, 24, 900, 180000, 0},
      {7, 3, 16, true, nullptr, 24, 24, 72, 0},  // 16 bits become 24
      {9, 2, 1, true, nullptr, 1, 4, 8, 2},
      {9, 2, 3, true, nullptr, 4, 8, 16, 16},
      {9, 2, 5, true, nullptr, 8, 12, 24, 256},
      {0, 5, 0, false, raster_error::kCreateSize, 0, 0, 0, 0},
      // 20000 x 20000 x 3 bytes is 1.2 GB.
      {20000, 20000, 24, false, raster_error::kMaxMemory, 0, 0, 0, 0},
      // width x height x bits wraps to 0 in 32 bits; in 64 bits it is 16 GB.
      {0x40000000, 4, 32, false, raster_error::kMaxMemory, 0, 0, 0, 0},
      {0xFFFFFFFF, 0xFFFFFFFF, 24, false, raster_error::kMaxMemory, 0, 0, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.w << "x" << row.h << "x" << row.bpp);
    CRasterImage img;
    void* block = img.Create(row.w, row.h, row.bpp, kRasterFormatPng);
    EXPECT_EQ(block != nullptr, row.ok);
    EXPECT_EQ(img.IsValid(), row.ok);
    if (!row.ok) {
      EXPECT_STREQ(img.GetLastError(), row.text);
      continue;
    }
    EXPECT_EQ(img.GetBpp(), row.bits);
    EXPECT_EQ(img.GetEffWidth(), row.rowBytes);
    EXPECT_EQ(img.GetImageSize(), row.imageSize);
    EXPECT_EQ(img.GetNumColors(), row.colours);
    EXPECT_EQ(img.GetType(), kRasterFormatPng);
    EXPECT_EQ(img.GetSize(), 40u + row.colours * 4 + row.imageSize);
    EXPECT_EQ(img.GetJpegQuality(), 90);
    EXPECT_EQ(img.GetTransIndex(), -1);
    EXPECT_EQ(img.GetInfoHeader().biXPelsPerMeter, 3780);  // 96 dpi x 39.37007874 rounded
  }
  EXPECT_TRUE(CRasterImage::FitsMemoryLimit(16000, 16000, 8));   // exactly 256000000 bytes
  EXPECT_FALSE(CRasterImage::FitsMemoryLimit(16001, 16000, 8));
}

TEST(RasterImage, ClearFillsByDepth) {
  const struct {
    uint32_t bpp;
    uint8_t value;
    uint8_t byte;
  } rows[] = {{1, 3, 255}, {1, 0, 0}, {4, 0x3A, 0xAA}, {8, 0x3A, 0x3A}, {24, 0x3A, 0x3A}};
  for (const auto& row : rows) {
    CRasterImage img(5, 2, row.bpp, 0);
    img.Clear(row.value);
    EXPECT_EQ(img.GetBits(1)[0], row.byte) << row.bpp;
  }
}

TEST(RasterImage, PixelsInsideAndOutside) {
  CRasterImage img(4, 3, 8, 0);
  img.SetPaletteColor(0, 0, 0, 0);
  img.SetPaletteColor(1, 200, 100, 50);
  img.SetPaletteColor(2, 10, 20, 30);
  img.SetPixelColor(0, 0, RasterRgb(9, 19, 31));  // nearest is entry 2
  EXPECT_EQ(img.GetPixelIndex(0, 0), 2);
  img.SetPixelColor(3, 2, RasterRgb(200, 100, 50));
  EXPECT_EQ(img.GetPixelIndex(3, 2), 1);
  img.SetPixelColor(9, 9, RasterRgb(200, 100, 50));  // outside: nothing
  // Outside the picture: pixel (0, 0) without a transparent index, the transparent colour with one.
  EXPECT_EQ(img.GetPixelColor(-1, 0).rgbRed, 10);
  img.SetTransIndex(1);
  EXPECT_EQ(img.GetPixelColor(4, 0).rgbRed, 200);
  // Alpha in the top byte when asked.
  ASSERT_TRUE(img.AlphaCreate());
  img.SetPixelColor(1, 1, RasterRgb(0, 0, 0, 77), true);
  EXPECT_EQ(img.GetPixelColor(1, 1, true).rgbReserved, 77);
  EXPECT_EQ(img.GetPixelColor(1, 1, false).rgbReserved, 0);

  CRasterImage empty;
  empty.SetBkgndColor(RasterRgb(1, 2, 3));
  EXPECT_EQ(empty.GetPixelColor(0, 0).rgbBlue, 3);

  CRasterImage rgb(2, 2, 24, 0);
  rgb.SetPixelColor(1, 0, RasterRgb(1, 2, 3));
  const uint8_t* p = rgb.GetBits(0) + 3;
  EXPECT_EQ(p[0], 3);  // blue, green, red in memory
  EXPECT_EQ(p[2], 1);
}

TEST(RasterImage, SubBytePixelsPackMostSignificantFirst) {
  CRasterImage one(10, 1, 1, 0);
  one.SetPixelIndex(0, 0, 1);
  one.SetPixelIndex(9, 0, 1);
  EXPECT_EQ(one.GetBits(0)[0], 0x80);
  EXPECT_EQ(one.GetBits(0)[1], 0x40);
  CRasterImage four(3, 1, 4, 0);
  four.SetPixelIndex(0, 0, 0xA);
  four.SetPixelIndex(1, 0, 0x5);
  four.SetPixelIndex(2, 0, 0xF);
  EXPECT_EQ(four.GetBits(0)[0], 0xA5);
  EXPECT_EQ(four.GetBits(0)[1], 0xF0);
  EXPECT_EQ(four.GetPixelIndex(1, 0), 5);
}

TEST(RasterImage, PaletteSettersAndGrey) {
  const struct {
    uint32_t bpp;
    uint8_t entry1;  // SetGrayPalette: i x (255 / (n - 1))
  } grey[] = {{1, 255}, {4, 17}, {8, 1}};
  for (const auto& row : grey) {
    CRasterImage img(2, 2, row.bpp, 0);
    img.SetGrayPalette();
    EXPECT_EQ(img.GetPaletteColor(1).rgbGreen, row.entry1) << row.bpp;
    EXPECT_EQ(img.IsGrayScale(), row.bpp == 8) << row.bpp;  // 1 bit: entry 1 is 255, not 1
  }
  CRasterImage rgb(2, 2, 24, 0);
  EXPECT_FALSE(rgb.IsGrayScale());
  uint8_t r = 0;
  EXPECT_FALSE(rgb.GetPaletteColor(0, &r, nullptr, nullptr));

  CRasterImage img(2, 2, 4, 0);
  const uint8_t reds[3] = {10, 20, 30};
  img.SetPalette(3, reds, nullptr, nullptr);  // missing green and blue arrays mean red
  EXPECT_EQ(img.GetPaletteColor(2).rgbBlue, 30);
  const uint8_t triples[6] = {1, 2, 3, 4, 5, 6};
  img.SetPaletteRgb(triples, 2);
  EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 4);
  EXPECT_EQ(img.GetPaletteColor(1).rgbBlue, 6);
  std::vector<RasterQuad> many(300, RasterRgb(9, 9, 9));
  img.SetPalette(many.data(), 300);  // cut to the 16 entries there are
  EXPECT_EQ(img.GetPaletteColor(15).rgbRed, 9);
  EXPECT_EQ(img.GetNearestIndex(RasterRgb(9, 9, 9)), 0);

  EXPECT_EQ(CRasterImage::RGBtoBGR(0xAA112233u), 0x00332211u);
  EXPECT_LT(CRasterImage::CompareColors(RasterRgb(0, 0, 255), RasterRgb(0, 255, 0)), 0);
}

TEST(RasterImage, SwapIndexRewritesPixels) {
  CRasterImage img(3, 1, 8, 0);
  img.SetPaletteColor(0, 1, 1, 1);
  img.SetPaletteColor(4, 4, 4, 4);
  img.SetPixelIndex(0, 0, 0);
  img.SetPixelIndex(1, 0, 4);
  img.SetPixelIndex(2, 0, 2);
  img.SwapIndex(0, 4);
  EXPECT_EQ(img.GetPixelIndex(0, 0), 4);
  EXPECT_EQ(img.GetPixelIndex(1, 0), 0);
  EXPECT_EQ(img.GetPixelIndex(2, 0), 2);
  EXPECT_EQ(img.GetPaletteColor(0).rgbRed, 4);
  EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 4);  // same colours as before the swap
}

TEST(RasterImage, BitFieldsTo24Bits) {
  CRasterImage img(2, 1, 24, 0);
  // 5-6-5: 0xF800 is full red -> 248 (shifted left by 3); 0x07E0 full green -> 252; 0x001F blue -> 248.
  const uint8_t px16[4] = {0x00, 0xF8, 0xE0, 0x07};
  ASSERT_TRUE(img.Bitfield2RGB(px16, sizeof(px16), 0xF800, 0x07E0, 0x001F, 16));
  EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 248);
  EXPECT_EQ(img.GetPixelColor(1, 0).rgbGreen, 252);
  const uint8_t px32[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(img.Bitfield2RGB(px32, sizeof(px32), 0xFF0000, 0xFF00, 0xFF, 32));
  EXPECT_EQ(img.GetPixelColor(1, 0).rgbBlue, 5);
  EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 7);
  EXPECT_FALSE(img.Bitfield2RGB(px32, 7, 0xFF0000, 0xFF00, 0xFF, 32));  // too short
}

TEST(RasterImage, CopyTransferAndGhost) {
  CRasterImage src(5, 4, 24, kRasterFormatJpg);
  src.SetPixelColor(2, 3, RasterRgb(1, 2, 3));
  ASSERT_TRUE(src.AlphaCreate());
  src.AlphaSet(2, 3, 44);
  ASSERT_TRUE(src.SelectionCreate());
  src.SelectionSet(1, 1, 255);
  src.SetJpegQuality(55);

  CRasterImage copy(src);
  EXPECT_EQ(copy.GetPixelColor(2, 3).rgbBlue, 3);
  EXPECT_EQ(copy.AlphaGet(2, 3), 44);
  EXPECT_TRUE(copy.SelectionIsInside(1, 1));
  EXPECT_FALSE(copy.SelectionIsInside(0, 0));
  EXPECT_EQ(copy.GetJpegQuality(), 55);
  EXPECT_NE(copy.GetDIB(), src.GetDIB());
  copy.AlphaSet(2, 3, 1);
  EXPECT_EQ(src.AlphaGet(2, 3), 44);

  CRasterImage paletteOnly(src, false, false, false);
  EXPECT_EQ(paletteOnly.GetPixelColor(2, 3).rgbBlue, 0);
  EXPECT_FALSE(paletteOnly.AlphaIsValid());

  CRasterImage moved;
  ASSERT_TRUE(moved.Transfer(copy));
  EXPECT_FALSE(copy.IsValid());
  EXPECT_FALSE(copy.AlphaIsValid());
  EXPECT_EQ(moved.AlphaGet(2, 3), 1);

  {
    CRasterImage ghost;
    ghost.Ghost(src);
    EXPECT_TRUE(ghost.IsGhost());
    EXPECT_EQ(ghost.GetDIB(), src.GetDIB());
    EXPECT_FALSE(ghost.Destroy());       // frees nothing
    EXPECT_EQ(ghost.Create(2, 2, 8, 0), nullptr);  // a ghost refuses to be replaced
    EXPECT_FALSE(moved.Transfer(ghost));
  }
  EXPECT_EQ(src.GetPixelColor(2, 3).rgbRed, 1);  // still there after the ghost went
  CRasterImage assigned;
  assigned = src;
  EXPECT_EQ(assigned.AlphaGet(2, 3), 44);
}

TEST(RasterImage, AlphaAndSelectionPlanes) {
  CRasterImage img(3, 2, 24, 0);
  EXPECT_EQ(img.AlphaGet(0, 0), 0);  // no plane: transparent, not opaque
  img.AlphaSet(0, 0, 9);             // ignored
  EXPECT_FALSE(img.AlphaFlip());
  ASSERT_TRUE(img.AlphaCreate());
  EXPECT_EQ(img.AlphaGet(2, 1), 255);
  EXPECT_EQ(img.AlphaGet(3, 1), 0);
  img.AlphaSet(0, 0, 1);
  ASSERT_TRUE(img.AlphaMirror());
  EXPECT_EQ(img.AlphaGet(2, 0), 1);
  ASSERT_TRUE(img.AlphaFlip());
  EXPECT_EQ(img.AlphaGet(2, 1), 1);
  img.AlphaDelete();
  EXPECT_FALSE(img.AlphaIsValid());

  EXPECT_TRUE(img.SelectionIsInside(1, 1));  // no plane: everything is selected
  EXPECT_FALSE(img.SelectionIsInside(3, 0));
  ASSERT_TRUE(img.SelectionCreate());
  EXPECT_FALSE(img.SelectionIsInside(1, 1));
  img.SelectionSet(1, 1, 1);
  EXPECT_EQ(img.GetSelectionBox().left, 1);
  EXPECT_EQ(img.GetSelectionBox().top, 2);
  EXPECT_TRUE(img.SelectionDelete());
  EXPECT_EQ(img.GetSelectionBox().left, 3);  // empty box: left = width, bottom = height
  EXPECT_EQ(img.GetSelectionBox().bottom, 2);

  CRasterImage pal(2, 2, 8, 0);
  EXPECT_FALSE(pal.AlphaPaletteIsValid());
  pal.SetPaletteColor(3, 1, 1, 1, 128);
  EXPECT_TRUE(pal.AlphaPaletteIsValid());
}

TEST(RasterImage, FlipTwiceRestoresPixelsAndAlpha) {
  CRasterImage img(2, 3, 24, 0);
  for (uint32_t y = 0; y < 3; ++y) {
    img.SetPixelColor(0, y, RasterRgb(static_cast<uint8_t>(y + 1), 0, 0));
  }
  ASSERT_TRUE(img.AlphaCreate());
  img.AlphaSet(1, 0, 5);
  ASSERT_TRUE(img.SelectionCreate());
  const std::vector<uint8_t> before(img.GetBits(0), img.GetBits(0) + img.GetImageSize());
  ASSERT_TRUE(img.Flip());
  EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 3);
  EXPECT_EQ(img.GetPixelColor(0, 1).rgbRed, 2);
  EXPECT_EQ(img.GetPixelColor(0, 2).rgbRed, 1);
  EXPECT_EQ(img.AlphaGet(1, 2), 5);
  EXPECT_FALSE(img.SelectionIsValid());
  ASSERT_TRUE(img.Flip());
  EXPECT_EQ(std::vector<uint8_t>(img.GetBits(0), img.GetBits(0) + img.GetImageSize()), before);
  EXPECT_EQ(img.AlphaGet(1, 0), 5);
  CRasterImage empty;
  EXPECT_FALSE(empty.Flip());
  EXPECT_FALSE(empty.Mirror());
  EXPECT_FALSE(empty.Negative());
}

TEST(RasterImage, MirrorEveryDepth) {
  for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
    SCOPED_TRACE(bpp);
    CRasterImage img(11, 2, bpp, 0);
    for (uint32_t i = 0; i < img.GetNumColors(); ++i) {
      img.SetPaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0, 0);
    }
    const uint8_t top = bpp == 24 ? 255 : static_cast<uint8_t>(img.GetNumColors() - 1);
    for (uint32_t x = 0; x < 11; ++x) {
      img.SetPixelColor(x, 1, RasterRgb(static_cast<uint8_t>(x % (top + 1u)), 0, 0));
    }
    ASSERT_TRUE(img.Mirror());
    for (uint32_t x = 0; x < 11; ++x) {
      EXPECT_EQ(img.GetPixelColor(x, 1).rgbRed, (10 - x) % (top + 1u)) << x;
    }
  }
}

TEST(RasterImage, NegativeByKindOfPicture) {
  // 24 bits without a selection: every byte of the block, padding included.
  CRasterImage rgb(1, 1, 24, 0);
  rgb.GetBits(0)[3] = 0x10;  // row padding
  rgb.SetTransColor(RasterRgb(1, 2, 3));
  ASSERT_TRUE(rgb.Negative());
  EXPECT_EQ(rgb.GetBits(0)[0], 255);
  EXPECT_EQ(rgb.GetBits(0)[3], 0xEF);
  EXPECT_EQ(rgb.GetTransColor().rgbRed, 254);

  // 24 bits with a selection: only the selected pixels.
  CRasterImage sel(2, 1, 24, 0);
  ASSERT_TRUE(sel.SelectionCreate());
  sel.SelectionSet(1, 0, 1);
  ASSERT_TRUE(sel.Negative());
  EXPECT_EQ(sel.GetPixelColor(0, 0).rgbRed, 0);
  EXPECT_EQ(sel.GetPixelColor(1, 0).rgbRed, 255);

  // Colour palette: entries complemented, indices kept.
  CRasterImage pal(1, 1, 8, 0);
  pal.SetPaletteColor(0, 10, 20, 30);
  ASSERT_TRUE(pal.Negative());
  EXPECT_EQ(pal.GetPaletteColor(0).rgbRed, 245);
  EXPECT_EQ(pal.GetPixelIndex(0, 0), 0);

  // Grey palette: indices complemented, entries kept.
  CRasterImage grey(1, 1, 8, 0);
  grey.SetGrayPalette();
  grey.SetPixelIndex(0, 0, 10);
  ASSERT_TRUE(grey.Negative());
  EXPECT_EQ(grey.GetPixelIndex(0, 0), 245);
  EXPECT_EQ(grey.GetPaletteColor(10).rgbRed, 10);
}

TEST(RasterImage, ResolutionAndOptions) {
  CRasterImage img(1, 1, 24, kRasterFormatPng);
  img.SetXDPI(300);
  EXPECT_EQ(img.GetInfoHeader().biXPelsPerMeter, 11811);  // 300 x 39.37007874 = 11811.02
  img.SetYDPI(0);
  EXPECT_EQ(img.GetYDPI(), 96);
  img.SetCodecOption(7);  // the picture's own format
  EXPECT_EQ(img.GetCodecOption(kRasterFormatPng), 7u);
  EXPECT_EQ(img.GetCodecOption(), 7u);
  EXPECT_EQ(img.GetCodecOption(15), 0u);
  CRasterImage* layer = img.LayerCreate();
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(img.GetNumLayers(), 1u);
  EXPECT_EQ(img.GetLayer(0), layer);
  EXPECT_EQ(img.GetLayer(1), nullptr);
}

}  // namespace
