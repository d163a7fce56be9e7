// Resample, Thumbnail, MixFrom and DecodeForSize: against ImageMagick's results (make_periphery_fixtures.sh)
// and against geometry worked out by hand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "image/raster_file.h"
#include "image/raster_image.h"
#include "tests/image/periphery_test_util.h"

using periphery_test::Bytes;
using periphery_test::Compare;
using periphery_test::FillPattern;

namespace {

CRasterImage FixturePicture(const char* name) {
  const Bytes file = periphery_test::Fixture(name);
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
  return img;
}

bool SamePixels(const CRasterImage& a, const CRasterImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp()) {
    return false;
  }
  for (uint32_t y = 0; y < a.GetHeight(); ++y) {
    if (std::memcmp(a.GetBits(y), b.GetBits(y), a.GetEffWidth()) != 0) {
      return false;
    }
  }
  return true;
}

struct ScaleRow {
  const char* reference;  // ImageMagick's result (see make_periphery_fixtures.sh)
  uint32_t width;
  uint32_t height;
  int32_t mode;
  uint32_t border;  // pixels at each edge left out of the comparison
};

// ImageMagick's 8-bit output drops the fraction of its 16-bit values (a mean of 0.5 becomes 0) where
// this library rounds, so a value may be 1 higher here, and about half of them are: at most 1, mean
// under 0.6. At the edges a B-spline reaches outside the picture, which this library reads as the
// edge pixel and ImageMagick leaves out (renormalising the weights), so the outer 3 pixels differ.
constexpr ScaleRow kScales[] = {
    {"resample_area_23x17", 23, 17, kRasterResampleBilinear, 0},          // -scale: exact area mean
    {"resample_bilinear_150x110", 150, 110, kRasterResampleBilinear, 0},  // -filter Triangle
    {"resample_bicubic_150x110", 150, 110, kRasterResampleBicubic, 3},    // -filter Spline
};

TEST(RasterTransform, ResampleMatchesImageMagick) {
  for (const ScaleRow& row : kScales) {
    SCOPED_TRACE(row.reference);
    CRasterImage img = FixturePicture("resample_src.png");
    ASSERT_TRUE(img.IsValid());
    ASSERT_EQ(img.GetBpp(), 24u);
    ASSERT_TRUE(img.Resample(row.width, row.height, row.mode));
    ASSERT_EQ(img.GetWidth(), row.width);
    ASSERT_EQ(img.GetHeight(), row.height);
    const periphery_test::Difference d =
        Compare(img, periphery_test::FixtureRgba(row.reference), false, false, row.border);
    ASSERT_TRUE(d.sized);
    EXPECT_LE(d.worst, 1);
    EXPECT_LT(d.mean, 0.6);
  }
}

TEST(RasterTransform, NearestPixelTakesTargetTimesOldOverNew) {
  // 5 x 1 to 2 x 1: source columns floor(0 * 5 / 2) = 0 and floor(1 * 5 / 2) = 2; 2 x 3 to 2 x 5:
  // source rows floor(y * 3 / 5) = 0 0 1 1 2 (worked out by hand).
  CRasterImage row(5, 1, 24, 0);
  for (uint32_t x = 0; x < 5; ++x) {
    row.SetPixelColor(x, 0, RasterRgb(static_cast<uint8_t>(10 * x), 0, 0));
  }
  ASSERT_TRUE(row.Resample(2, 1, kRasterResampleNearest));
  EXPECT_EQ(row.GetPixelColor(0, 0).rgbRed, 0);
  EXPECT_EQ(row.GetPixelColor(1, 0).rgbRed, 20);

  CRasterImage column(2, 3, 8, 0);
  column.SetGrayPalette();
  for (uint32_t y = 0; y < 3; ++y) {
    column.SetPixelIndex(0, y, static_cast<uint8_t>(100 + y));
  }
  ASSERT_TRUE(column.Resample(2, 5, kRasterResampleNearest));
  EXPECT_EQ(column.GetBpp(), 8u);  // palette pictures keep their depth and indices
  const uint8_t expected[5] = {100, 100, 101, 101, 102};
  for (uint32_t y = 0; y < 5; ++y) {
    EXPECT_EQ(column.GetPixelIndex(0, y), expected[y]) << y;
  }
}

TEST(RasterTransform, PalettePicturesInterpolateToTheNearestEntry) {
  // A 4-bit grey picture, half black and half white, enlarged bilinearly: the grey in between takes
  // the nearest of the 16 entries (multiples of 17).
  CRasterImage img(2, 1, 4, 0);
  img.SetGrayPalette();
  img.SetPixelIndex(0, 0, 0);
  img.SetPixelIndex(1, 0, 15);
  ASSERT_TRUE(img.Resample(8, 1, kRasterResampleBilinear));
  ASSERT_EQ(img.GetBpp(), 4u);
  EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(img.GetPixelIndex(7, 0), 15);
  for (uint32_t x = 1; x < 8; ++x) {
    EXPECT_GE(img.GetPixelIndex(x, 0), img.GetPixelIndex(x - 1, 0));
    EXPECT_EQ(img.GetPixelColor(x, 0).rgbRed % 17, 0);
  }
}

TEST(RasterTransform, AlphaPlaneIsScaledWithThePixels) {
  CRasterImage img(4, 4, 24, 0);
  ASSERT_TRUE(img.AlphaCreate());
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      img.AlphaSet(x, y, x < 2 ? 0 : 255);
    }
  }
  ASSERT_TRUE(img.Resample(2, 2, kRasterResampleBilinear));  // area mean of 2 x 2 blocks
  ASSERT_TRUE(img.AlphaIsValid());
  EXPECT_EQ(img.AlphaGet(0, 0), 0);
  EXPECT_EQ(img.AlphaGet(1, 1), 255);
}

TEST(RasterTransform, RefusalsLeaveThePictureAsItWas) {
  CRasterImage empty;
  EXPECT_FALSE(empty.Resample(10, 10));
  EXPECT_FALSE(empty.Thumbnail(10, 10, RasterRgb(255, 255, 255)));
  CRasterImage img(8, 6, 24, 0);
  FillPattern(img);
  const CRasterImage before(img);
  EXPECT_FALSE(img.Resample(0, 10));
  EXPECT_FALSE(img.Resample(10, 0));
  EXPECT_FALSE(img.Thumbnail(0, 10, RasterRgb(0, 0, 0)));
  // 100000 x 100000 x 24 bits is past the picture memory limit.
  EXPECT_FALSE(img.Resample(100000, 100000));
  EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
  EXPECT_TRUE(SamePixels(img, before));
}

TEST(RasterTransform, DestinationGetsTheResultAndTheSourceStays) {
  CRasterImage img(40, 30, 24, 0);
  FillPattern(img);
  const CRasterImage before(img);
  CRasterImage out;
  ASSERT_TRUE(img.Resample(20, 15, kRasterResampleBilinear, &out));
  EXPECT_EQ(out.GetWidth(), 20u);
  EXPECT_TRUE(SamePixels(img, before));
  CRasterImage thumb;
  ASSERT_TRUE(img.Thumbnail(10, 10, RasterRgb(255, 255, 255), &thumb));
  EXPECT_EQ(thumb.GetWidth(), 10u);
  EXPECT_TRUE(SamePixels(img, before));
  // The same size copies into the destination.
  CRasterImage same;
  ASSERT_TRUE(img.Resample(40, 30, kRasterResampleBilinear, &same));
  EXPECT_TRUE(SamePixels(same, before));
}

TEST(RasterTransform, ThumbnailMatchesImageMagick) {
  // 160 x 120 into 30 x 20: 30 / 20 * 120 = 180 > 160, so the height decides: 26 x 20, 2 columns of
  // white on each side (ImageMagick: -scale 26x20! -gravity center -extent 30x20).
  CRasterImage img = FixturePicture("thumb_src.png");
  ASSERT_TRUE(img.IsValid());
  ASSERT_TRUE(img.Thumbnail(30, 20, RasterRgb(255, 255, 255)));
  const periphery_test::Difference d = Compare(img, periphery_test::FixtureRgba("thumb_30x20"));
  ASSERT_TRUE(d.sized);
  EXPECT_LE(d.worst, 1);
}

struct ThumbRow {
  uint32_t w, h;        // source size
  uint32_t boxW, boxH;  // thumbnail size
  uint32_t innerW, innerH;
  uint32_t left, top;  // borders in top-down terms
};

// Worked out by hand from the fitting rule (the tighter side decides, sizes truncated) and the
// centring rule (the odd pixel to the right and the bottom).
constexpr ThumbRow kThumbs[] = {
    {1600, 1200, 300, 200, 266, 200, 17, 0},  // 1600 * 200 / 1200 = 266.7
    {1600, 1200, 305, 195, 260, 195, 22, 0},  // the ID-card size: 1600 * 195 / 1200 = 260
    {100, 100, 300, 200, 100, 100, 100, 50},  // smaller: only centred
    {10, 10, 13, 13, 10, 10, 1, 1},           // 3 spare pixels: 1 left and top, 2 right and bottom
    {400, 100, 305, 195, 305, 76, 0, 59},     // the width decides: 100 * 305 / 400 = 76.25
    {3000, 2, 305, 195, 305, 1, 0, 97},       // never narrower than one pixel
};

TEST(RasterTransform, ThumbnailFitsAndCentres) {
  const RasterQuad canvas = RasterRgb(1, 2, 3);
  for (const ThumbRow& row : kThumbs) {
    SCOPED_TRACE(testing::Message() << row.w << "x" << row.h << " in " << row.boxW << "x" << row.boxH);
    CRasterImage img(row.w, row.h, 24, 0);
    img.Clear(200);
    ASSERT_TRUE(img.Thumbnail(row.boxW, row.boxH, canvas));
    ASSERT_EQ(img.GetWidth(), row.boxW);
    ASSERT_EQ(img.GetHeight(), row.boxH);
    // Top-down (tx, ty) is picture row boxH - 1 - ty.
    auto at = [&](uint32_t tx, uint32_t ty) { return img.GetPixelColor(tx, row.boxH - 1 - ty); };
    EXPECT_EQ(at(row.left, row.top).rgbRed, 200);
    EXPECT_EQ(at(row.left + row.innerW - 1, row.top + row.innerH - 1).rgbRed, 200);
    if (row.left > 0) {
      EXPECT_EQ(at(row.left - 1, row.top), canvas);
    }
    if (row.left + row.innerW < row.boxW) {
      EXPECT_EQ(at(row.left + row.innerW, row.top), canvas);
      EXPECT_EQ(row.boxW - row.left - row.innerW - row.left, (row.boxW - row.innerW) % 2);
    }
    if (row.top > 0) {
      EXPECT_EQ(at(row.left, row.top - 1), canvas);
    }
    if (row.top + row.innerH < row.boxH) {
      EXPECT_EQ(at(row.left, row.top + row.innerH), canvas);
    }
  }
}

TEST(RasterTransform, SmallerPictureIsCentredPixelForPixel) {
  CRasterImage img(100, 100, 24, 0);
  FillPattern(img, 3);
  const CRasterImage source(img);
  ASSERT_TRUE(img.Thumbnail(300, 200, RasterRgb(255, 255, 255)));
  // Left border 100, bottom border 50 (in the bottom-up rows the bottom border comes first).
  for (uint32_t y = 0; y < 100; ++y) {
    ASSERT_EQ(std::memcmp(img.GetBits(50 + y) + 100 * 3, source.GetBits(y), 300), 0) << y;
  }
}

TEST(RasterTransform, PaletteThumbnailCanvasTakesTheNearestEntry) {
  CRasterImage img(4, 4, 8, 0);
  img.SetGrayPalette();
  img.Clear(10);
  ASSERT_TRUE(img.Thumbnail(8, 8, RasterRgb(250, 250, 250)));
  EXPECT_EQ(img.GetBpp(), 8u);
  EXPECT_EQ(img.GetPixelIndex(0, 0), 250);
  EXPECT_EQ(img.GetPixelIndex(3, 3), 10);
}

TEST(RasterTransform, JoinTwoPicturesSideBySide) {
  // The ID-card join: two 305 x 195 pictures at (0, 0) and (305, 0) of a 610 x 195 canvas.
  CRasterImage left(305, 195, 24, 0);
  CRasterImage right(305, 195, 24, 0);
  FillPattern(left, 1);
  FillPattern(right, 2);
  CRasterImage joined(610, 195, 24, 0);
  ASSERT_TRUE(joined.MixFrom(left, 0, 0));
  ASSERT_TRUE(joined.MixFrom(right, 305, 0));
  for (uint32_t y = 0; y < 195; ++y) {
    ASSERT_EQ(std::memcmp(joined.GetBits(y), left.GetBits(y), 305 * 3), 0) << y;
    ASSERT_EQ(std::memcmp(joined.GetBits(y) + 305 * 3, right.GetBits(y), 305 * 3), 0) << y;
  }
}

TEST(RasterTransform, MixFromKeepsBlackPixelsOfASourceWithoutTransparency) {
  // Without a transparent colour every pixel is copied, black ones included; with one, only the
  // pixels of that colour are skipped.
  CRasterImage black(3, 3, 24, 0);  // all black
  CRasterImage canvas(5, 5, 24, 0);
  canvas.Clear(255);
  ASSERT_TRUE(canvas.MixFrom(black, 1, 1));
  EXPECT_EQ(canvas.GetPixelColor(1, 1), RasterRgb(0, 0, 0));
  EXPECT_EQ(canvas.GetPixelColor(0, 0), RasterRgb(255, 255, 255));

  CRasterImage keyed(3, 1, 24, 0);
  keyed.SetPixelColor(1, 0, RasterRgb(9, 9, 9));
  keyed.SetTransIndex(0);
  keyed.SetTransColor(RasterRgb(0, 0, 0));
  canvas.Clear(255);
  ASSERT_TRUE(canvas.MixFrom(keyed, 0, 0));
  EXPECT_EQ(canvas.GetPixelColor(0, 0), RasterRgb(255, 255, 255));
  EXPECT_EQ(canvas.GetPixelColor(1, 0), RasterRgb(9, 9, 9));
}

TEST(RasterTransform, MixFromClipsAndBlendsByAlpha) {
  CRasterImage src(4, 4, 24, 0);
  src.Clear(100);
  ASSERT_TRUE(src.AlphaCreate());
  src.AlphaSet(0, 0, 0);
  src.AlphaSet(1, 0, 128);
  CRasterImage canvas(4, 4, 24, 0);
  canvas.Clear(200);
  // Half of the source lies outside on each side; nothing outside is written (and ASan watches).
  ASSERT_TRUE(canvas.MixFrom(src, -2, -2));
  ASSERT_TRUE(canvas.MixFrom(src, 3, 3));
  ASSERT_TRUE(canvas.MixFrom(src, 100, 100));
  ASSERT_TRUE(canvas.MixFrom(src, INT64_MAX, INT64_MIN));
  EXPECT_EQ(canvas.GetPixelColor(0, 0).rgbRed, 100);
  EXPECT_EQ(canvas.GetPixelColor(2, 2).rgbRed, 200);
  EXPECT_EQ(canvas.GetPixelColor(3, 3).rgbRed, 200);  // the source's (0, 0) has alpha 0
  CRasterImage blend(2, 1, 24, 0);
  blend.Clear(200);
  ASSERT_TRUE(blend.MixFrom(src, 0, 0));
  // (100 * 128 + 200 * 127 + 127) / 255 = 150 (by hand).
  EXPECT_EQ(blend.GetPixelColor(1, 0).rgbRed, 150);
  CRasterImage empty;
  EXPECT_FALSE(canvas.MixFrom(empty, 0, 0));
}

TEST(RasterTransform, DecodeForSizeShrinksLargeJpegsInTheDecoder) {
  // A 1600 x 1200 JPEG for a 305 x 195 card decodes at 1/4 (400 x 300: still wider than 305 and
  // higher than 195), and its thumbnail stays close to the one of the full-size decode.
  CRasterImage big(1600, 1200, 24, 0);
  for (uint32_t y = 0; y < 1200; ++y) {
    for (uint32_t x = 0; x < 1600; ++x) {
      big.SetPixelColor(
          x, y,
          RasterRgb(static_cast<uint8_t>(x / 7), static_cast<uint8_t>(y / 5), static_cast<uint8_t>((x + y) / 11)));
    }
  }
  const Bytes jpeg = raster_test::EncodeToBytes(big, kRasterFormatJpg);
  ASSERT_FALSE(jpeg.empty());
  CRasterImage fast;
  ASSERT_TRUE(fast.DecodeForSize(jpeg.data(), static_cast<uint32_t>(jpeg.size()), kRasterFormatUnknown, 305, 195));
  EXPECT_EQ(fast.GetWidth(), 400u);
  EXPECT_EQ(fast.GetHeight(), 300u);
  EXPECT_EQ(fast.GetJpegScale(), 0);  // the scale is not left behind
  CRasterImage full(jpeg.data(), static_cast<uint32_t>(jpeg.size()), kRasterFormatUnknown);
  ASSERT_TRUE(full.IsValid());
  ASSERT_TRUE(fast.Thumbnail(305, 195, RasterRgb(255, 255, 255)));
  ASSERT_TRUE(full.Thumbnail(305, 195, RasterRgb(255, 255, 255)));
  int worst = 0;
  for (uint32_t y = 0; y < 195; ++y) {
    for (uint32_t x = 0; x < 305 * 3; ++x) {
      worst = std::max(worst, std::abs(fast.GetBits(y)[x] - full.GetBits(y)[x]));
    }
  }
  EXPECT_LE(worst, 4);

  // A picture narrower than the card is not shrunk at all (the caller stretches it instead).
  CRasterImage narrow(300, 1200, 24, 0);
  const Bytes tall = raster_test::EncodeToBytes(narrow, kRasterFormatJpg);
  CRasterImage t;
  ASSERT_TRUE(t.DecodeForSize(tall.data(), static_cast<uint32_t>(tall.size()), kRasterFormatJpg, 305, 195));
  EXPECT_EQ(t.GetWidth(), 300u);
}

}  // namespace
