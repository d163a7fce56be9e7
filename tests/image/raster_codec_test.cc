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
  raster_test::BmpSpec shape;
  shape.width = width;
  shape.height = height;
  shape.bits = 1;
  shape.sizeImage = static_cast<uint32_t>(data.size());
  const Bytes palette = {255, 255, 255, 0, 0, 0, 0, 0};
  return raster_test::MakeBmp(shape, palette, data);
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

namespace {

// Fills a picture with a pattern in which neighbouring pixels differ: palette pictures get a palette
// of distinct colours and indices (x * 7 + y * 3) mod entries.
void FillPattern(CRasterImage& img) {
  const uint32_t n = img.GetNumColors();
  for (uint32_t i = 0; i < n; ++i) {
    img.SetPaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i * 37 + 11), static_cast<uint8_t>(255 - i),
                        static_cast<uint8_t>(i * 91));
  }
  for (uint32_t y = 0; y < img.GetHeight(); ++y) {
    for (uint32_t x = 0; x < img.GetWidth(); ++x) {
      if (n != 0) {
        img.SetPixelIndex(x, y, static_cast<uint8_t>((x * 7 + y * 3) % n));
      } else {
        img.SetPixelColor(x, y, RasterRgb(static_cast<uint8_t>(x * 13), static_cast<uint8_t>(y * 29),
                                          static_cast<uint8_t>((x + y) * 7)));
      }
    }
  }
}

void ExpectSamePixels(const CRasterImage& a, const CRasterImage& b, bool alpha) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  for (uint32_t y = 0; y < a.GetHeight(); ++y) {
    for (uint32_t x = 0; x < a.GetWidth(); ++x) {
      const RasterQuad p = a.GetPixelColor(x, y, alpha);
      const RasterQuad q = b.GetPixelColor(x, y, alpha);
      ASSERT_EQ(p.rgbRed, q.rgbRed) << x << "," << y;
      ASSERT_EQ(p.rgbGreen, q.rgbGreen) << x << "," << y;
      ASSERT_EQ(p.rgbBlue, q.rgbBlue) << x << "," << y;
      if (alpha) {
        ASSERT_EQ(p.rgbReserved, q.rgbReserved) << x << "," << y;
      }
    }
  }
}

void ExpectIdentifyAccepts(const Bytes& bytes, const char* suffix, const char* format) {
  if (!raster_test::HaveIdentify()) {
    return;
  }
  bool ok = false;
  const std::string out = raster_test::Identify(bytes, suffix, &ok);
  EXPECT_TRUE(ok) << out;
  EXPECT_EQ(out.rfind(format, 0), 0u) << out;
}

struct RoundTripRow {
  uint32_t type;
  uint32_t bpp;
  bool alpha;           // an alpha plane with a gradient
  int32_t transIndex;   // transparent palette index, or -1
  const char* suffix;   // for identify
  const char* format;   // what identify must call it
};

// Lossless codecs give every pixel back; ICO and PNG also the alpha plane.
constexpr RoundTripRow kLossless[] = {
    {kRasterFormatBmp, 1, false, -1, ".bmp", "BMP"},
    {kRasterFormatBmp, 4, false, -1, ".bmp", "BMP"},
    {kRasterFormatBmp, 8, false, -1, ".bmp", "BMP"},
    {kRasterFormatBmp, 24, false, -1, ".bmp", "BMP"},
    {kRasterFormatPng, 1, false, -1, ".png", "PNG"},
    {kRasterFormatPng, 4, false, -1, ".png", "PNG"},
    {kRasterFormatPng, 8, false, -1, ".png", "PNG"},
    {kRasterFormatPng, 24, false, -1, ".png", "PNG"},
    {kRasterFormatPng, 24, true, -1, ".png", "PNG"},
    {kRasterFormatPng, 8, false, 0, ".png", "PNG"},
    {kRasterFormatPng, 4, false, 5, ".png", "PNG"},
    {kRasterFormatIco, 1, false, -1, ".ico", "ICO"},
    {kRasterFormatIco, 4, false, -1, ".ico", "ICO"},
    {kRasterFormatIco, 8, false, -1, ".ico", "ICO"},
    {kRasterFormatIco, 24, false, -1, ".ico", "ICO"},
    {kRasterFormatIco, 24, true, -1, ".ico", "ICO"},
};

TEST(RasterCodec, LosslessRoundTripsKeepEveryPixel) {
  for (const RoundTripRow& row : kLossless) {
    SCOPED_TRACE(testing::Message() << "type " << row.type << " bpp " << row.bpp << " alpha " << row.alpha
                                    << " trans " << row.transIndex);
    CRasterImage img(29, 17, row.bpp, 0);
    ASSERT_TRUE(img.IsValid());
    FillPattern(img);
    if (row.alpha) {
      ASSERT_TRUE(img.AlphaCreate());
      for (uint32_t y = 0; y < 17; ++y) {
        for (uint32_t x = 0; x < 29; ++x) {
          img.AlphaSet(x, y, static_cast<uint8_t>(x * 9));
        }
      }
    }
    img.SetTransIndex(row.transIndex);
    const Bytes out = raster_test::EncodeToBytes(img, row.type);
    ASSERT_FALSE(out.empty()) << img.GetLastError();
    ExpectIdentifyAccepts(out, row.suffix, row.format);
    CRasterImage back(out.data(), static_cast<uint32_t>(out.size()), kRasterFormatUnknown);
    ASSERT_TRUE(back.IsValid()) << back.GetLastError();
    EXPECT_EQ(back.GetType(), row.type);
    EXPECT_EQ(back.GetBpp(), row.alpha ? 24u : row.bpp);
    ExpectSamePixels(img, back, row.alpha);
    if (row.transIndex >= 0) {
      // PNG writes the transparent entry as index 0; its colour stays the transparent colour.
      EXPECT_EQ(back.GetTransIndex(), 0);
      EXPECT_EQ(back.GetTransColor().rgbRed, img.GetTransColor().rgbRed);
    }
  }
}

TEST(RasterCodec, JpegRoundTripsStayCloseAndCarryQuality) {
  const struct {
    uint32_t bpp;
    uint8_t quality;
    int tolerance;  // largest channel error seen on this smooth pattern, measured at these qualities
  } rows[] = {{24, 95, 24}, {8, 90, 8}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.bpp);
    CRasterImage img(64, 48, row.bpp, 0);
    if (row.bpp == 8) {
      img.SetGrayPalette();
    }
    for (uint32_t y = 0; y < 48; ++y) {
      for (uint32_t x = 0; x < 64; ++x) {
        if (row.bpp == 8) {
          img.SetPixelIndex(x, y, static_cast<uint8_t>(x * 4));
        } else {
          img.SetPixelColor(x, y, RasterRgb(static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5), 128));
        }
      }
    }
    img.SetJpegQuality(row.quality);
    const Bytes out = raster_test::EncodeToBytes(img, kRasterFormatJpg);
    ASSERT_FALSE(out.empty()) << img.GetLastError();
    ExpectIdentifyAccepts(out, ".jpg", "JPEG");
    CRasterImage back(out.data(), static_cast<uint32_t>(out.size()), kRasterFormatUnknown);
    ASSERT_TRUE(back.IsValid()) << back.GetLastError();
    EXPECT_EQ(back.GetType(), kRasterFormatJpg);
    EXPECT_EQ(back.GetBpp(), row.bpp);
    EXPECT_EQ(back.GetXDPI(), 96);  // the JFIF density written is the picture's 96 dpi
    int worst = 0;
    for (uint32_t y = 0; y < 48; ++y) {
      for (uint32_t x = 0; x < 64; ++x) {
        const RasterQuad p = img.GetPixelColor(x, y);
        const RasterQuad q = back.GetPixelColor(x, y);
        worst = std::max({worst, std::abs(p.rgbRed - q.rgbRed), std::abs(p.rgbGreen - q.rgbGreen),
                          std::abs(p.rgbBlue - q.rgbBlue)});
      }
    }
    EXPECT_LE(worst, row.tolerance);
  }
}

TEST(RasterCodec, RefusalsOfEncodersCarryTheirTexts) {
  CRasterImage oneBit(8, 8, 1, 0);
  CRasterImage wide(300, 10, 24, 0);
  CRasterImage empty;
  CRasterMemFile mem;
  ASSERT_TRUE(mem.Open());
  const struct {
    CRasterImage* img;
    CRasterFile* file;
    uint32_t type;
    const char* text;
  } rows[] = {
      {&oneBit, &mem, kRasterFormatJpg, raster_error::kJpegSaveKind},
      {&wide, &mem, kRasterFormatIco, raster_error::kIcoSave},
      {&wide, &mem, kRasterFormatWmf, raster_error::kWmfSave},
      {&wide, &mem, 15, raster_error::kEncodeUnknown},
      {&wide, &mem, kRasterFormatUnknown, raster_error::kEncodeUnknown},
      {&wide, &mem, kRasterFormatWbmp, raster_error::kWbmpSave},
      {&oneBit, &mem, kRasterFormatTga, raster_error::kTgaBitDepth},
      {&wide, nullptr, kRasterFormatPng, raster_error::kNullFile},
      {&empty, &mem, kRasterFormatPng, raster_error::kNullImage},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_FALSE(row.img->Encode(row.file, row.type));
    EXPECT_STREQ(row.img->GetLastError(), row.text);
  }
  uint8_t byte = 0;
  uint8_t* notEmpty = &byte;
  int64_t size = 0;
  EXPECT_FALSE(wide.Encode(notEmpty, size, kRasterFormatPng));
  EXPECT_STREQ(wide.GetLastError(), raster_error::kBufferNotEmpty);
}

TEST(RasterCodec, PngOfOneBitPictureWithTransparentIndexOneSwapsEntriesOnACopy) {
  CRasterImage img(10, 4, 1, 0);
  img.SetPaletteColor(0, 255, 255, 255);
  img.SetPaletteColor(1, 0, 0, 0);
  img.SetPixelIndex(3, 2, 1);
  img.SetTransIndex(1);
  const Bytes before(img.GetDIB(), img.GetDIB() + img.GetSize());
  const Bytes out = raster_test::EncodeToBytes(img, kRasterFormatPng);
  ASSERT_FALSE(out.empty()) << img.GetLastError();
  // The caller's picture is untouched: same block, same transparent index.
  EXPECT_EQ(Bytes(img.GetDIB(), img.GetDIB() + img.GetSize()), before);
  EXPECT_EQ(img.GetTransIndex(), 1);
  const PngFacts f = ReadPngFacts(out);
  EXPECT_EQ(f.colorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(f.bitDepth, 1);
  EXPECT_EQ(f.paletteEntries, 2);
  EXPECT_EQ(f.transCount, 1);
  EXPECT_EQ(f.trans0, 0);
  CRasterImage back(out.data(), static_cast<uint32_t>(out.size()), kRasterFormatPng);
  ASSERT_TRUE(back.IsValid());
  EXPECT_EQ(back.GetPaletteColor(0).rgbRed, 0);  // black moved to entry 0
  EXPECT_EQ(back.GetPixelIndex(3, 2), 0);
  EXPECT_EQ(back.GetPixelIndex(0, 0), 1);
  EXPECT_EQ(back.GetTransIndex(), 0);
}

TEST(RasterCodec, PngPaletteIsCutToHighestUsedIndexOnSmallPictures) {
  CRasterImage img(100, 100, 8, 0);
  for (uint32_t y = 0; y < 100; ++y) {
    for (uint32_t x = 0; x < 100; ++x) {
      img.SetPixelIndex(x, y, static_cast<uint8_t>((x + y) % 10));
    }
  }
  const PngFacts f = ReadPngFacts(raster_test::EncodeToBytes(img, kRasterFormatPng));
  EXPECT_EQ(f.paletteEntries, 10);
}

TEST(RasterCodec, PngOfTrueColourWithTransparentColourWritesAlphaWithoutTouchingThePicture) {
  CRasterImage img(6, 3, 24, 0);
  img.SetPixelColor(1, 1, RasterRgb(10, 20, 30));
  img.SetTransIndex(0);
  img.SetTransColor(RasterRgb(10, 20, 30));
  const Bytes out = raster_test::EncodeToBytes(img, kRasterFormatPng);
  ASSERT_FALSE(out.empty());
  EXPECT_FALSE(img.AlphaIsValid());
  EXPECT_EQ(ReadPngFacts(out).colorType, PNG_COLOR_TYPE_RGB_ALPHA);
  CRasterImage back(out.data(), static_cast<uint32_t>(out.size()), kRasterFormatPng);
  ASSERT_TRUE(back.AlphaIsValid());
  EXPECT_EQ(back.AlphaGet(1, 1), 0);
  EXPECT_EQ(back.AlphaGet(0, 0), 255);
}

TEST(RasterCodec, PngAlphaPaletteTravelsInTrns) {
  CRasterImage img(4, 4, 4, 0);
  FillPattern(img);
  for (uint8_t i = 0; i < 16; ++i) {
    RasterQuad c = img.GetPaletteColor(i);
    c.rgbReserved = static_cast<uint8_t>(i * 16);
    img.SetPaletteColor(i, c);
  }
  img.AlphaPaletteEnable(true);
  const Bytes out = raster_test::EncodeToBytes(img, kRasterFormatPng);
  CRasterImage back(out.data(), static_cast<uint32_t>(out.size()), kRasterFormatPng);
  ASSERT_TRUE(back.IsValid()) << back.GetLastError();
  EXPECT_TRUE(back.AlphaPaletteIsEnabled());
  const uint8_t highest = img.GetHighestIndex();
  for (uint8_t i = 0; i <= highest; ++i) {
    EXPECT_EQ(back.GetPaletteColor(i).rgbReserved, i * 16);
  }
}

TEST(RasterCodec, InterlacedPngDecodeAsksForInterlacedEncode) {
  const Bytes file = raster_test::ReadFile(raster_test::Fixture("png_24_interlaced.png"));
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatPng);
  ASSERT_TRUE(img.IsValid());
  EXPECT_EQ(img.GetCodecOption(kRasterFormatPng), 1u);
  const Bytes out = raster_test::EncodeToBytes(img, kRasterFormatPng);
  ASSERT_GT(out.size(), 28u);
  EXPECT_EQ(out[28], 1);  // IHDR interlace method: Adam7
  CRasterImage back(out.data(), static_cast<uint32_t>(out.size()), kRasterFormatPng);
  ExpectSamePixels(img, back, false);
}

TEST(RasterCodec, DetectionFindsPngFromTheSameStartAfterEarlierCodecsFail) {
  // A PNG placed after 5 bytes of other data: decoding starts at the stream's position.
  const Bytes png = raster_test::ReadFile(raster_test::Fixture("png_24.png"));
  Bytes buf = {1, 2, 3, 4, 5};
  buf.insert(buf.end(), png.begin(), png.end());
  CRasterMemFile mem(buf.data(), buf.size());
  ASSERT_TRUE(mem.Seek(5, kRasterSeekSet));
  CRasterImage img;
  ASSERT_TRUE(img.Decode(&mem, kRasterFormatUnknown)) << img.GetLastError();
  EXPECT_EQ(img.GetType(), kRasterFormatPng);
  EXPECT_EQ(img.GetWidth(), 37u);
}

TEST(RasterCodec, SizeOnlyQueryReadsNoPixels) {
  const char* files[] = {"bmp_24.bmp", "png_24.png", "jpg_base.jpg", "ico_4.ico"};
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const Bytes file = raster_test::ReadFile(raster_test::Fixture(name));
    CRasterImage img;
    img.SetEscape(kRasterEscapeSizeOnly);
    ASSERT_TRUE(img.Decode(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown));
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(img.GetHeaderWidth(), std::string(name) == "ico_4.ico" ? 16u : 37u);
  }
}

TEST(RasterCodec, BareInfoHeaderAndTopDownBmpDecode) {
  // 2 x 2, 24 bits, rows padded to 8 bytes; stored rows: first (1,2,3)(4,5,6), second (7,8,9)(10,11,12).
  const Bytes data = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  raster_test::BmpSpec bare;
  bare.width = 2;
  bare.height = 2;
  bare.fileHeader = false;
  Bytes file = raster_test::MakeBmp(bare, {}, data);
  CRasterImage a(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatBmp);
  ASSERT_TRUE(a.IsValid()) << a.GetLastError();
  EXPECT_EQ(a.GetPixelColor(0, 0).rgbBlue, 1);  // bottom-up: first stored row is the bottom row
  EXPECT_EQ(a.GetPixelColor(1, 1).rgbRed, 12);

  raster_test::BmpSpec topDown;
  topDown.width = 2;
  topDown.height = -2;
  file = raster_test::MakeBmp(topDown, {}, data);
  CRasterImage b(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
  ASSERT_TRUE(b.IsValid()) << b.GetLastError();
  EXPECT_EQ(b.GetHeight(), 2u);
  EXPECT_EQ(b.GetPixelColor(0, 1).rgbBlue, 1);  // first stored row at the top
  EXPECT_EQ(b.GetPixelColor(1, 0).rgbRed, 12);
}

TEST(RasterCodec, CoreHeaderBmpShorterThanAnInfoHeaderDecodes) {
  // 1 x 1, 1 bit, 12-byte core header, 3-byte palette entries: 36 bytes in all, fewer than the
  // 14 + 40 that an info header would need.
  Bytes b = {'B', 'M', 36, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0};
  raster_test::Put32(b, 12);
  raster_test::Put16(b, 1);
  raster_test::Put16(b, 1);
  raster_test::Put16(b, 1);
  raster_test::Put16(b, 1);
  b.insert(b.end(), {0, 0, 0, 255, 255, 255, 0x80, 0, 0, 0});
  CRasterImage img(b.data(), static_cast<uint32_t>(b.size()), kRasterFormatUnknown);
  ASSERT_TRUE(img.IsValid()) << img.GetLastError();
  EXPECT_EQ(img.GetType(), kRasterFormatBmp);
  EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 255);
}

// RLE rows worked out by hand for a 4 x 2 picture (bottom row first).
TEST(RasterCodec, BmpRunLengthCodesAsWorkedOutByHand) {
  const Bytes palette(256 * 4, 0);
  const struct {
    const char* what;
    uint16_t bits;
    uint32_t compression;
    Bytes data;
    uint8_t expect[2][4];  // [row][x], row 0 = bottom
  } rows[] = {
      {"RLE8 run longer than the row stops at its end", 8, 1, {6, 9, 0, 0, 2, 7, 0, 1}, {{9, 9, 9, 9}, {7, 7, 0, 0}}},
      {"RLE8 literal of 3 with pad, delta", 8, 1, {0, 3, 1, 2, 3, 0, 0, 2, 0, 1, 1, 5, 0, 1},
       {{1, 2, 3, 0}, {0, 0, 0, 5}}},
      {"RLE4 run alternates nibbles", 4, 2, {4, 0x12, 0, 0, 3, 0x34, 0, 1}, {{1, 2, 1, 2}, {3, 4, 3, 0}}},
      {"RLE4 literal of 3 nibbles in 2 bytes", 4, 2, {0, 3, 0x56, 0x70, 0, 1}, {{5, 6, 7, 0}, {0, 0, 0, 0}}},
      {"RLE4 delta of one pixel moves one pixel", 4, 2, {0, 2, 1, 1, 1, 0x90, 0, 1}, {{0, 0, 0, 0}, {0, 9, 0, 0}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    raster_test::BmpSpec shape;
    shape.width = 4;
    shape.height = 2;
    shape.bits = row.bits;
    shape.compression = row.compression;
    const Bytes file = raster_test::MakeBmp(shape, Bytes(palette.begin(), palette.begin() + (4u << row.bits)), row.data);
    CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatBmp);
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    for (uint32_t y = 0; y < 2; ++y) {
      for (uint32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(img.GetPixelIndex(x, y), row.expect[y][x]) << x << "," << y;
      }
    }
  }
}

}  // namespace
