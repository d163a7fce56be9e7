// TGA, PCX, WBMP, metafile and JPEG-2000 family codecs: ImageMagick's files decode to its pixels,
// pictures round-trip and ImageMagick reads them back, and the cases worked out by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"
#include "image/raster_image.h"
#include "tests/image/periphery_test_util.h"

using periphery_test::Bytes;
using periphery_test::Compare;
using raster_test::Put16;
using raster_test::Put32;

namespace {

struct FixtureRow {
  const char* name;
  uint32_t type;  // the format code detection finds
  uint32_t bpp;
  bool alpha;
  bool inverted = false;  // ImageMagick reads the picture's two colours the other way round
};

// ImageMagick reads a monochrome PCX with a set bit black whatever its header palette says; this
// library reads it by the header palette (black, white: a set bit white), as the PCX encoder writes it.
void Invert(Bytes& rgba) {
  for (size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = static_cast<uint8_t>(255 - rgba[i]);
    rgba[i + 1] = static_cast<uint8_t>(255 - rgba[i + 1]);
    rgba[i + 2] = static_cast<uint8_t>(255 - rgba[i + 2]);
  }
}

// Written by make_periphery_fixtures.sh; every pixel must equal ImageMagick's own decode.
const FixtureRow kFixtures[] = {
    {"tga_8.tga", kRasterFormatTga, 8, false},       {"tga_24.tga", kRasterFormatTga, 24, false},
    {"tga_24_top.tga", kRasterFormatTga, 24, false}, {"tga_24_rle.tga", kRasterFormatTga, 24, false},
    {"tga_32.tga", kRasterFormatTga, 24, true},      {"tga_grey.tga", kRasterFormatTga, 8, false},
    {"pcx_1.pcx", kRasterFormatPcx, 1, false, true}, {"pcx_8.pcx", kRasterFormatPcx, 8, false},
    {"pcx_24.pcx", kRasterFormatPcx, 24, false},     {"pcx_32.pcx", kRasterFormatPcx, 24, true},
    {"wbmp_150.wbmp", kRasterFormatWbmp, 1, false},  {"jp2_24.jp2", kRasterFormatJp2, 24, false},
    {"j2k_grey.j2k", kRasterFormatJpc, 8, false},    {"pgx_grey.pgx", kRasterFormatPgx, 8, false},
    {"pnm_p4.pbm", kRasterFormatPnm, 1, false},      {"pnm_p5.pgm", kRasterFormatPnm, 8, false},
    {"pnm_p6.ppm", kRasterFormatPnm, 24, false},     {"sun_1.ras", kRasterFormatRas, 1, false},
    {"sun_8.ras", kRasterFormatRas, 24, false},  // a colour map gives red, green and blue
    {"sun_24.ras", kRasterFormatRas, 24, false},
};

TEST(RasterCodecsMore, FixturesDecodeToImageMagicksPixels) {
  for (const FixtureRow& row : kFixtures) {
    SCOPED_TRACE(row.name);
    const Bytes file = periphery_test::Fixture(row.name);
    ASSERT_FALSE(file.empty());
    CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    EXPECT_EQ(img.GetType(), row.type);
    EXPECT_EQ(img.GetBpp(), row.bpp);
    EXPECT_EQ(img.AlphaIsValid(), row.alpha);
    Bytes ref = periphery_test::FixtureRgba(row.name);
    if (row.inverted) {
      Invert(ref);
    }
    const periphery_test::Difference d = Compare(img, ref, row.alpha);
    ASSERT_TRUE(d.sized);
    EXPECT_EQ(d.worst, 0);
    // The same bytes decode with the codec's own code too.
    CRasterImage again(file.data(), static_cast<uint32_t>(file.size()), row.type);
    EXPECT_TRUE(again.IsValid()) << again.GetLastError();
  }
}

TEST(RasterCodecsMore, JpegTwoThousandComponentsBeyondColourAreFrames) {
  // Grey and alpha: two components, so two grey frames (the second is ImageMagick's alpha).
  const Bytes file = periphery_test::Fixture("jp2_grey_alpha.jp2");
  const Bytes ref = periphery_test::FixtureRgba("jp2_grey_alpha.jp2");
  for (int32_t frame = 0; frame < 2; ++frame) {
    CRasterImage img;
    img.SetFrame(frame);
    ASSERT_TRUE(periphery_test::DecodeBytes(file, kRasterFormatUnknown, img)) << img.GetLastError();
    EXPECT_EQ(img.GetNumFrames(), 2);
    ASSERT_EQ(img.GetBpp(), 8u);
    const uint32_t w = img.GetWidth();
    const uint32_t h = img.GetHeight();
    ASSERT_EQ(ref.size(), static_cast<size_t>(w) * h * 4);
    for (uint32_t ty = 0; ty < h; ++ty) {
      for (uint32_t x = 0; x < w; ++x) {
        ASSERT_EQ(img.GetPixelIndex(x, h - 1 - ty), ref[(ty * w + x) * 4 + (frame == 0 ? 0 : 3)]) << x << "," << ty;
      }
    }
  }
  CRasterImage third;
  third.SetFrame(2);
  EXPECT_FALSE(periphery_test::DecodeBytes(file, kRasterFormatJp2, third));
  EXPECT_STREQ(third.GetLastError(), raster_error::kJasFrame);
}

CRasterImage Palette(uint32_t bpp, uint32_t w, uint32_t h) {
  CRasterImage img(w, h, bpp, 0);
  for (uint32_t i = 0; i < img.GetNumColors(); ++i) {
    const uint8_t v = static_cast<uint8_t>(i * 255 / (img.GetNumColors() - 1));
    img.SetPaletteColor(static_cast<uint8_t>(i), v, static_cast<uint8_t>(255 - v / 2), static_cast<uint8_t>(v / 3));
  }
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      img.SetPixelIndex(x, y, static_cast<uint8_t>(((x / 3) * 5 + y * 7) % img.GetNumColors()));
    }
  }
  return img;
}

CRasterImage Grey8(uint32_t w, uint32_t h) {
  CRasterImage img(w, h, 8, 0);
  img.SetGrayPalette();
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      img.SetPixelIndex(x, y, static_cast<uint8_t>(x * 9 + y * 17));
    }
  }
  return img;
}

CRasterImage Colour(uint32_t w, uint32_t h, bool alpha) {
  CRasterImage img(w, h, 24, 0);
  periphery_test::FillPattern(img, 4);
  if (alpha) {
    img.AlphaCreate();
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        img.AlphaSet(x, y, static_cast<uint8_t>(x * 255 / (w - 1)));
      }
    }
  }
  return img;
}

CRasterImage Mono(bool whiteFirst) {
  CRasterImage img = Palette(1, 33, 9);
  img.SetPaletteColor(0, whiteFirst ? 255 : 0, whiteFirst ? 255 : 0, whiteFirst ? 255 : 0);
  img.SetPaletteColor(1, whiteFirst ? 0 : 255, whiteFirst ? 0 : 255, whiteFirst ? 0 : 255);
  return img;
}

struct RoundTrip {
  const char* what;
  uint32_t type;
  const char* suffix;  // for ImageMagick
  CRasterImage (*make)();
  bool alpha;
  bool inverted = false;  // as ImageMagick reads it (see Invert)
};

// Odd widths, so rows need their padding.
const RoundTrip kRoundTrips[] = {
    {"TGA 8 bits", kRasterFormatTga, ".tga", [] { return Palette(8, 33, 9); }, false},
    {"TGA 24 bits", kRasterFormatTga, ".tga", [] { return Colour(33, 9, false); }, false},
    {"TGA 24 bits with alpha", kRasterFormatTga, ".tga", [] { return Colour(33, 9, true); }, true},
    {"PCX 1 bit", kRasterFormatPcx, ".pcx", [] { return Mono(false); }, false, true},
    {"PCX 1 bit, white first", kRasterFormatPcx, ".pcx", [] { return Mono(true); }, false, true},
    {"PCX 4 bits", kRasterFormatPcx, ".pcx", [] { return Palette(4, 33, 9); }, false},
    {"PCX 8 bits", kRasterFormatPcx, ".pcx", [] { return Palette(8, 33, 9); }, false},
    {"PCX 24 bits", kRasterFormatPcx, ".pcx", [] { return Colour(33, 9, false); }, false},
    {"PCX 24 bits with alpha", kRasterFormatPcx, ".pcx", [] { return Colour(33, 9, true); }, true},
    {"WBMP 150 wide", kRasterFormatWbmp, ".wbmp",
     [] {
       CRasterImage img = Mono(false);
       img.Resample(150, 9, kRasterResampleNearest);
       return img;
     },
     false},
    {"WBMP, white first", kRasterFormatWbmp, ".wbmp", [] { return Mono(true); }, false},
    {"PGX grey", kRasterFormatPgx, ".pgx", [] { return Grey8(33, 9); }, false},
    {"PNM grey", kRasterFormatPnm, ".pgm", [] { return Grey8(33, 9); }, false},
    {"PNM colour", kRasterFormatPnm, ".ppm", [] { return Colour(33, 9, false); }, false},
    {"Sun raster grey", kRasterFormatRas, ".ras", [] { return Grey8(33, 9); }, false},
    {"Sun raster colour", kRasterFormatRas, ".ras", [] { return Colour(33, 9, false); }, false},
};

TEST(RasterCodecsMore, RoundTripsKeepEveryPixelAndImageMagickAgrees) {
  const bool convert = periphery_test::HaveConvert();
  for (const RoundTrip& row : kRoundTrips) {
    SCOPED_TRACE(row.what);
    CRasterImage img = row.make();
    const Bytes file = raster_test::EncodeToBytes(img, row.type);
    ASSERT_FALSE(file.empty()) << img.GetLastError();
    CRasterImage back(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
    ASSERT_TRUE(back.IsValid()) << back.GetLastError();
    EXPECT_EQ(back.GetType(), row.type);
    ASSERT_EQ(back.GetWidth(), img.GetWidth());
    int mismatches = 0;
    for (uint32_t y = 0; y < img.GetHeight(); ++y) {
      for (uint32_t x = 0; x < img.GetWidth(); ++x) {
        mismatches += back.GetPixelColor(x, y, row.alpha) == img.GetPixelColor(x, y, row.alpha) ? 0 : 1;
      }
    }
    EXPECT_EQ(mismatches, 0);
    if (convert) {
      Bytes theirs = periphery_test::ImageMagickRgba(file, row.suffix);
      if (row.inverted) {
        Invert(theirs);
      }
      const periphery_test::Difference d = Compare(img, theirs, row.alpha);
      ASSERT_TRUE(d.sized);
      EXPECT_EQ(d.worst, 0);
    }
  }
}

TEST(RasterCodecsMore, JpegTwoThousandLosslessAndLossy) {
  // Quality 100 is lossless (reversible wavelet); 90 keeps 90 % of the size and stays close.
  for (uint32_t type : {kRasterFormatJp2, kRasterFormatJpc}) {
    for (bool grey : {false, true}) {
      SCOPED_TRACE(testing::Message() << type << (grey ? " grey" : " colour"));
      CRasterImage img = grey ? Grey8(61, 37) : Colour(61, 37, false);
      img.SetJpegQuality(100);
      const Bytes exact = raster_test::EncodeToBytes(img, type);
      ASSERT_FALSE(exact.empty()) << img.GetLastError();
      CRasterImage back(exact.data(), static_cast<uint32_t>(exact.size()), kRasterFormatUnknown);
      ASSERT_TRUE(back.IsValid()) << back.GetLastError();
      EXPECT_EQ(back.GetType(), type);
      for (uint32_t y = 0; y < 37; ++y) {
        ASSERT_EQ(std::memcmp(back.GetBits(y), img.GetBits(y), grey ? 61 : 61 * 3), 0) << y;
      }
      if (periphery_test::HaveConvert()) {
        EXPECT_EQ(
            Compare(img, periphery_test::ImageMagickRgba(exact, type == kRasterFormatJp2 ? ".jp2" : ".j2k")).worst, 0);
      }
      img.SetJpegQuality(90);
      const Bytes lossy = raster_test::EncodeToBytes(img, type);
      CRasterImage near(lossy.data(), static_cast<uint32_t>(lossy.size()), type);
      ASSERT_TRUE(near.IsValid());
      int worst = 0;
      for (uint32_t y = 0; y < 37; ++y) {
        for (uint32_t x = 0; x < (grey ? 61u : 61u * 3); ++x) {
          worst = std::max(worst, std::abs(near.GetBits(y)[x] - img.GetBits(y)[x]));
        }
      }
      EXPECT_LE(worst, 24);
    }
  }
}

TEST(RasterCodecsMore, GreyPalettesOfEveryDepthGoOutAsTheirGreys) {
  // A 1-bit and a 4-bit picture whose palettes are greys (entry i is i, i, i: IsGrayScale) write each
  // pixel's grey, read back as an 8-bit grey PNM.
  for (uint32_t bpp : {1u, 4u}) {
    SCOPED_TRACE(bpp);
    CRasterImage img(37, 5, bpp, 0);
    for (uint32_t i = 0; i < img.GetNumColors(); ++i) {
      img.SetPaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                          static_cast<uint8_t>(i));
    }
    ASSERT_TRUE(img.IsGrayScale());
    for (uint32_t y = 0; y < 5; ++y) {
      for (uint32_t x = 0; x < 37; ++x) {
        img.SetPixelIndex(x, y, static_cast<uint8_t>((x + y) % img.GetNumColors()));
      }
    }
    const Bytes pnm = raster_test::EncodeToBytes(img, kRasterFormatPnm);
    CRasterImage back(pnm.data(), static_cast<uint32_t>(pnm.size()), kRasterFormatPnm);
    ASSERT_TRUE(back.IsValid()) << back.GetLastError();
    ASSERT_EQ(back.GetBpp(), 8u);
    for (uint32_t y = 0; y < 5; ++y) {
      for (uint32_t x = 0; x < 37; ++x) {
        ASSERT_EQ(back.GetPixelIndex(x, y), (x + y) % img.GetNumColors()) << x << "," << y;
      }
    }
  }
}

TEST(RasterCodecsMore, EncodersRefuseWhatTheirFormatCannotHold) {
  CRasterMemFile mem;
  ASSERT_TRUE(mem.Open());
  CRasterImage wide(300, 10, 1, 0);
  CRasterImage colourPalette = Palette(8, 8, 8);
  CRasterImage colour = Colour(8, 8, false);
  CRasterImage four(8, 8, 4, 0);
  const struct {
    CRasterImage* img;
    uint32_t type;
    const char* text;
  } rows[] = {
      {&wide, kRasterFormatWbmp, raster_error::kWbmpSave},  // 300 pixels wide
      {&colour, kRasterFormatWbmp, raster_error::kWbmpSave},
      {&four, kRasterFormatTga, raster_error::kTgaBitDepth},
      {&colourPalette, kRasterFormatJp2, raster_error::kJasSaveKind},
      {&colourPalette, kRasterFormatPnm, raster_error::kJasSaveKind},
      {&colour, kRasterFormatPgx, raster_error::kPgxSaveKind},
      {&colour, kRasterFormatWmf, raster_error::kWmfSave},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_FALSE(row.img->Encode(&mem, row.type));
    EXPECT_STREQ(row.img->GetLastError(), row.text);
  }
}

TEST(RasterCodecsMore, TgaRunLengthPacketsCrossRowEnds) {
  // 3 x 2, type 10, 24 bits: a run of 4 red pixels (header 0x83) ends one pixel into the second
  // row; a raw packet of 2 (header 0x01) gives green and blue. Bottom-up: row 0 is the bottom.
  Bytes b = periphery_test::Tga(0, 10, 0, 0, 3, 2, 24, 0);
  b.insert(b.end(), {0x83, 0, 0, 255, 0x01, 0, 255, 0, 255, 0, 0});
  CRasterImage img;
  ASSERT_TRUE(periphery_test::DecodeBytes(b, kRasterFormatTga, img)) << img.GetLastError();
  const RasterQuad red = RasterRgb(255, 0, 0);
  EXPECT_EQ(img.GetPixelColor(0, 0), red);
  EXPECT_EQ(img.GetPixelColor(2, 0), red);
  EXPECT_EQ(img.GetPixelColor(0, 1), red);
  EXPECT_EQ(img.GetPixelColor(1, 1), RasterRgb(0, 255, 0));
  EXPECT_EQ(img.GetPixelColor(2, 1), RasterRgb(0, 0, 255));
}

TEST(RasterCodecsMore, TgaOriginsAndSixteenBitColourMaps) {
  // 2 x 2 grey, pixels 10 20 / 30 40 in file order. Top-to-bottom (bit 5): the first row is the top;
  // right-to-left (bit 4): the first pixel is the rightmost.
  const struct {
    uint8_t descriptor;
    uint8_t topLeft, topRight, bottomLeft, bottomRight;
  } rows[] = {
      {0x00, 30, 40, 10, 20},
      {0x20, 10, 20, 30, 40},
      {0x10, 40, 30, 20, 10},
      {0x30, 20, 10, 40, 30},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.descriptor));
    Bytes b = periphery_test::Tga(0, 3, 0, 0, 2, 2, 8, row.descriptor);
    b.insert(b.end(), {10, 20, 30, 40});
    CRasterImage img;
    ASSERT_TRUE(periphery_test::DecodeBytes(b, kRasterFormatTga, img)) << img.GetLastError();
    EXPECT_EQ(img.GetPixelIndex(0, 1), row.topLeft);
    EXPECT_EQ(img.GetPixelIndex(1, 1), row.topRight);
    EXPECT_EQ(img.GetPixelIndex(0, 0), row.bottomLeft);
    EXPECT_EQ(img.GetPixelIndex(1, 0), row.bottomRight);
  }
  // A colour map of 16-bit entries is read as 5-5-5 by its entry size: 0x7C00 red, 0x03E0 green.
  Bytes m = periphery_test::Tga(1, 1, 2, 16, 2, 1, 8, 0);
  m.insert(m.end(), {0x00, 0x7C, 0xE0, 0x03, 1, 0});
  CRasterImage mapped;
  ASSERT_TRUE(periphery_test::DecodeBytes(m, kRasterFormatTga, mapped)) << mapped.GetLastError();
  EXPECT_EQ(mapped.GetPixelColor(0, 0), RasterRgb(0, 248, 0));
  EXPECT_EQ(mapped.GetPixelColor(1, 0), RasterRgb(248, 0, 0));
}

// A 22-byte placeable metafile header and an 18-byte metafile header (9 words of header only).
Bytes PlaceableWmf(int16_t right, int16_t bottom, uint16_t inch, bool goodChecksum = true) {
  Bytes b;
  Put32(b, 0x9AC6CDD7);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, static_cast<uint16_t>(right));
  Put16(b, static_cast<uint16_t>(bottom));
  Put16(b, inch);
  Put32(b, 0);
  uint16_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) {
    sum ^= static_cast<uint16_t>(b[i] | (b[i + 1] << 8));
  }
  Put16(b, goodChecksum ? sum : static_cast<uint16_t>(sum ^ 1));
  Put16(b, 1);  // in memory
  Put16(b, 9);  // header words
  Put16(b, 0x300);
  Put32(b, 9);  // file size in words
  Put16(b, 0);
  Put32(b, 0);
  Put16(b, 0);
  return b;
}

Bytes Emf(int32_t right, int32_t bottom) {
  Bytes b;
  Put32(b, 1);   // EMR_HEADER
  Put32(b, 88);  // its size
  for (int32_t v : {0, 0, right, bottom, 0, 0, right * 10, bottom * 10}) {
    Put32(b, static_cast<uint32_t>(v));
  }
  Put32(b, 0x464D4520);  // " EMF"
  Put32(b, 0x10000);
  Put32(b, 88);  // bytes in the file
  b.resize(88, 0);
  return b;
}

TEST(RasterCodecsMore, MetafileSizesWithoutARenderer) {
  const struct {
    const char* what;
    Bytes file;
    uint32_t width, height;
  } rows[] = {
      // 2880 x 1440 units at 1440 units per inch, on a 96 dpi screen: 192 x 96.
      {"placeable WMF", PlaceableWmf(2880, 1440, 1440), 192, 96},
      // Bounds 0..7999 x 0..1999 are 8000 x 2000 pixels, limited to 4000 wide: 4000 x 1000.
      {"enhanced metafile 8000 x 2000", Emf(7999, 1999), 4000, 1000},
      {"enhanced metafile 300 x 200", Emf(299, 199), 300, 200},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CRasterImage size;
    size.SetEscape(kRasterEscapeSizeOnly);
    ASSERT_TRUE(periphery_test::DecodeBytes(row.file, kRasterFormatWmf, size)) << size.GetLastError();
    EXPECT_EQ(size.GetHeaderWidth(), row.width);
    EXPECT_EQ(size.GetHeaderHeight(), row.height);
    // No renderer: a full decode is refused, and detection goes on past the metafile.
    CRasterImage full;
    EXPECT_FALSE(periphery_test::DecodeBytes(row.file, kRasterFormatWmf, full));
    EXPECT_STREQ(full.GetLastError(), raster_error::kWmfCorrupted);
    CRasterImage detect;
    EXPECT_FALSE(periphery_test::DecodeBytes(row.file, kRasterFormatUnknown, detect));
  }
  CRasterImage empty;
  EXPECT_FALSE(periphery_test::DecodeBytes(PlaceableWmf(0, 100, 1440), kRasterFormatWmf, empty));
  EXPECT_STREQ(empty.GetLastError(), raster_error::kWmfEmpty);
  CRasterImage bad;
  EXPECT_FALSE(periphery_test::DecodeBytes(PlaceableWmf(100, 100, 1440, false), kRasterFormatWmf, bad));
  EXPECT_STREQ(bad.GetLastError(), raster_error::kWmfCorrupted);
}

}  // namespace
