// Codec tests: round trips per codec and depth, fixtures written by ImageMagick, detection order and
// the outputs read back by ImageMagick's identify.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"
#include "image/raster_image.h"
#include "tests/image/raster_test_util.h"

using raster_test::Bytes;

namespace {

// The barcode renderer's picture: a 1-bit bottom-up BMP with white entry 0 and black entry 1.
Bytes BarcodeLikeBmp(int32_t width, int32_t height) {
  const uint32_t row = (static_cast<uint32_t>(width) + 31) / 32 * 4;
  Bytes data(row * static_cast<uint32_t>(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      if ((x / 2) % 2 == 0) {
        data[y * row + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  raster_test::BmpSpec spec;
  spec.width = width;
  spec.height = height;
  spec.bits = 1;
  spec.sizeImage = static_cast<uint32_t>(data.size());
  const Bytes palette = {255, 255, 255, 0, 0, 0, 0, 0};
  return raster_test::MakeBmp(spec, palette, data);
}

// Reads a PNG header with libpng: width, height, bit depth, colour type, palette entries.
struct PngFacts {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 0;
  int colorType = -1;
  int paletteEntries = 0;
  int transCount = 0;
  int trans0 = -1;
};

PngFacts ReadPngFacts(const Bytes& png) {
  PngFacts f;
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) {
    return f;
  }
  png_image_free(&image);
  // IHDR: width at 16, height at 20, depth at 24, colour type at 25.
  auto be32 = [&](size_t at) {
    return (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) | (uint32_t{png[at + 2]} << 8) | png[at + 3];
  };
  f.width = be32(16);
  f.height = be32(20);
  f.bitDepth = png[24];
  f.colorType = png[25];
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t len = be32(at);
    const std::string type(png.begin() + at + 4, png.begin() + at + 8);
    if (type == "PLTE") {
      f.paletteEntries = static_cast<int>(len / 3);
    } else if (type == "tRNS") {
      f.transCount = static_cast<int>(len);
      f.trans0 = len > 0 ? png[at + 8] : -1;
    }
    at += 12 + len;
  }
  return f;
}

TEST(RasterCodec, BarcodeBmpInMemoryBecomesPng) {
  Bytes bmp = BarcodeLikeBmp(100, 40);
  CRasterImage img(bmp.data(), static_cast<uint32_t>(bmp.size()), kRasterFormatUnknown);
  ASSERT_TRUE(img.IsValid()) << img.GetLastError();
  EXPECT_EQ(img.GetType(), kRasterFormatBmp);
  EXPECT_EQ(img.GetWidth(), 100u);
  EXPECT_EQ(img.GetHeight(), 40u);
  EXPECT_EQ(img.GetBpp(), 1u);

  uint8_t* out = nullptr;
  int64_t size = 0;
  ASSERT_TRUE(img.Encode(out, size, kRasterFormatPng)) << img.GetLastError();
  ASSERT_NE(out, nullptr);
  Bytes png(out, out + size);
  free(out);
  const PngFacts f = ReadPngFacts(png);
  EXPECT_EQ(f.width, 100u);
  EXPECT_EQ(f.height, 40u);
  EXPECT_EQ(f.bitDepth, 1);
  EXPECT_EQ(f.colorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(f.paletteEntries, 2);

  CRasterImage back(png.data(), static_cast<uint32_t>(png.size()), kRasterFormatUnknown);
  ASSERT_TRUE(back.IsValid()) << back.GetLastError();
  EXPECT_EQ(back.GetType(), kRasterFormatPng);
  for (uint32_t y = 0; y < 40; ++y) {
    for (uint32_t x = 0; x < 100; ++x) {
      ASSERT_EQ(back.GetPixelColor(x, y).rgbRed, img.GetPixelColor(x, y).rgbRed) << x << "," << y;
    }
  }
  EXPECT_EQ(back.GetPixelColor(0, 0).rgbRed, 0);    // columns 0-1 are bars (index 1, black)
  EXPECT_EQ(back.GetPixelColor(2, 0).rgbRed, 255);  // columns 2-3 are spaces
}

}  // namespace

namespace {

struct FixtureRow {
  const char* name;
  uint32_t type;        // format code that detection must find
  uint32_t bpp;         // depth of the decoded picture
  int tolerance;        // largest channel difference from ImageMagick's own decode
  bool alpha;           // the picture carries an alpha plane equal to ImageMagick's alpha
  bool transparentIdx;  // pixels ImageMagick reads as transparent use the transparent index
};

// Expectations: the format, depth and pixels ImageMagick (make_fixtures.sh) wrote. Both decode JPEG
// with libjpeg's defaults, so JPEG pixels match exactly; the tolerance covers where the two scale
// differently (5-6-5 bit fields: ImageMagick scales by 255/31, this library shifts left by 3; CMYK
// conversion rounds differently).
constexpr FixtureRow kFixtures[] = {
    {"bmp_1.bmp", kRasterFormatBmp, 1, 0, false, false},
    {"bmp_4.bmp", kRasterFormatBmp, 4, 0, false, false},
    {"bmp_8.bmp", kRasterFormatBmp, 8, 0, false, false},
    {"bmp_8_rle.bmp", kRasterFormatBmp, 8, 0, false, false},
    {"bmp_16_565.bmp", kRasterFormatBmp, 24, 7, false, false},
    {"bmp_24.bmp", kRasterFormatBmp, 24, 0, false, false},
    {"bmp_32.bmp", kRasterFormatBmp, 24, 0, false, false},
    {"png_1.png", kRasterFormatPng, 1, 0, false, false},
    {"png_2g.png", kRasterFormatPng, 4, 0, false, false},
    {"png_4p.png", kRasterFormatPng, 4, 0, false, false},
    {"png_8g.png", kRasterFormatPng, 8, 0, false, false},
    {"png_8p_trns.png", kRasterFormatPng, 8, 0, false, true},
    {"png_24.png", kRasterFormatPng, 24, 0, false, false},
    {"png_24_interlaced.png", kRasterFormatPng, 24, 0, false, false},
    {"png_48.png", kRasterFormatPng, 24, 0, false, false},
    {"png_32.png", kRasterFormatPng, 24, 0, true, false},
    {"jpg_base.jpg", kRasterFormatJpg, 24, 0, false, false},
    {"jpg_prog.jpg", kRasterFormatJpg, 24, 0, false, false},
    {"jpg_grey.jpg", kRasterFormatJpg, 8, 0, false, false},
    {"jpg_300dpi.jpg", kRasterFormatJpg, 24, 0, false, false},
    {"jpg_cmyk.jpg", kRasterFormatJpg, 24, 1, false, false},
    {"ico_4.ico", kRasterFormatIco, 4, 0, false, false},
    {"ico_32.ico", kRasterFormatIco, 24, 0, true, false},
};

TEST(RasterCodec, FixturesDecodeToImageMagicksPixels) {
  for (const FixtureRow& row : kFixtures) {
    SCOPED_TRACE(row.name);
    const Bytes file = raster_test::ReadFile(raster_test::Fixture(row.name));
    const Bytes ref = raster_test::ReadFile(raster_test::Fixture(std::string(row.name) + ".rgba"));
    ASSERT_FALSE(file.empty());
    CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    EXPECT_EQ(img.GetType(), row.type);
    EXPECT_EQ(img.GetBpp(), row.bpp);
    const uint32_t w = img.GetWidth();
    const uint32_t h = img.GetHeight();
    ASSERT_EQ(ref.size(), static_cast<size_t>(w) * h * 4);
    EXPECT_EQ(img.AlphaIsValid(), row.alpha);
    if (row.transparentIdx) {
      EXPECT_EQ(img.GetTransIndex(), 0);
    }
    int worst = 0;
    for (uint32_t ty = 0; ty < h; ++ty) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* r = &ref[(static_cast<size_t>(ty) * w + x) * 4];
        const uint32_t y = h - 1 - ty;  // ImageMagick's rows run from the top
        const RasterQuad c = img.GetPixelColor(x, y);
        if (row.transparentIdx && r[3] == 0) {
          EXPECT_EQ(img.GetPixelIndex(x, y), 0) << x << "," << ty;
          continue;
        }
        const int d = std::max({std::abs(c.rgbRed - r[0]), std::abs(c.rgbGreen - r[1]), std::abs(c.rgbBlue - r[2])});
        worst = std::max(worst, d);
        if (row.alpha) {
          ASSERT_EQ(c.rgbReserved, r[3]) << x << "," << ty;
        }
      }
    }
    EXPECT_LE(worst, row.tolerance);
  }
}

TEST(RasterCodec, JfixDensityInDotsPerCentimetreBecomesDpi) {
  // 118 dots per centimetre: floor(118 * 2.54 + 0.5) = 300 (computed by hand).
  const Bytes file = raster_test::ReadFile(raster_test::Fixture("jpg_300dpi.jpg"));
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatJpg);
  ASSERT_TRUE(img.IsValid()) << img.GetLastError();
  EXPECT_EQ(img.GetXDPI(), 300);
  EXPECT_EQ(img.GetYDPI(), 300);
}

}  // namespace
