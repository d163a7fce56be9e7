// Hand-made malformed files: each is refused with its text, never read or written outside a buffer
// (the asan build runs these under AddressSanitizer).

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "image/raster_errors.h"
#include "image/raster_file.h"
#include "image/raster_image.h"
#include "tests/image/raster_test_util.h"

using raster_test::BmpSpec;
using raster_test::Bytes;
using raster_test::MakeBmp;
using raster_test::Put16;
using raster_test::Put32;

namespace {

Bytes Bmp(int32_t w, int32_t h, uint16_t bits, uint32_t compression, uint32_t clrUsed, const Bytes& palette,
          const Bytes& data) {
  BmpSpec s;
  s.width = w;
  s.height = h;
  s.bits = bits;
  s.compression = compression;
  s.clrUsed = clrUsed;
  return MakeBmp(s, palette, data);
}

Bytes WithDataOffset(Bytes b, uint32_t offset) {
  for (int i = 0; i < 4; ++i) {
    b[10 + i] = static_cast<uint8_t>(offset >> (8 * i));
  }
  return b;
}

Bytes Gray8Palette() {
  Bytes p;
  for (int i = 0; i < 256; ++i) {
    p.insert(p.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
  }
  return p;
}

// An icon directory of `count` entries (only the first written) and a 40-byte header of `bits`.
Bytes Ico(uint16_t reserved, uint16_t count, uint8_t w, uint8_t h, uint16_t bits, uint32_t offset,
          size_t pixelBytes, bool pngInside = false) {
  Bytes b;
  Put16(b, reserved);
  Put16(b, 1);
  Put16(b, count);
  b.insert(b.end(), {w, h, 0, 0});
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, 40);
  Put32(b, offset);
  if (pngInside) {
    b.insert(b.end(), {0x89, 'P', 'N', 'G', 13, 10, 26, 10});
    b.resize(b.size() + 32, 0);
    return b;
  }
  Put32(b, 40);
  Put32(b, w);
  Put32(b, h * 2u);
  Put16(b, 1);
  Put16(b, bits);
  b.resize(b.size() + 24, 0);
  b.resize(b.size() + pixelBytes, 0x11);
  return b;
}

Bytes Prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)); }

void PngChunk(Bytes& b, const char* type, const Bytes& data) {
  const uint32_t len = static_cast<uint32_t>(data.size());
  b.insert(b.end(), {static_cast<uint8_t>(len >> 24), static_cast<uint8_t>(len >> 16), static_cast<uint8_t>(len >> 8),
                     static_cast<uint8_t>(len)});
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  b.insert(b.end(), body.begin(), body.end());
  const uLong crc = crc32(0, body.data(), static_cast<uInt>(body.size()));
  b.insert(b.end(), {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 8),
                     static_cast<uint8_t>(crc)});
}

// A PNG of the given size whose image data is one zlib stream of a few bytes (so: far too short).
Bytes PngClaiming(uint32_t w, uint32_t h, uint8_t depth, uint8_t colorType) {
  Bytes b = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  Bytes ihdr = {static_cast<uint8_t>(w >> 24), static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 8),
                static_cast<uint8_t>(w),       static_cast<uint8_t>(h >> 24), static_cast<uint8_t>(h >> 16),
                static_cast<uint8_t>(h >> 8),  static_cast<uint8_t>(h),       depth,
                colorType,                     0,                             0,
                0};
  PngChunk(b, "IHDR", ihdr);
  const Bytes raw(8, 0);
  Bytes z(64);
  uLongf zlen = static_cast<uLongf>(z.size());
  compress(z.data(), &zlen, raw.data(), static_cast<uLong>(raw.size()));
  z.resize(zlen);
  PngChunk(b, "IDAT", z);
  PngChunk(b, "IEND", {});
  return b;
}

// The fixture JPEG with its frame header's height and width replaced.
Bytes JpegClaiming(uint16_t w, uint16_t h) {
  Bytes j = raster_test::ReadFile(raster_test::Fixture("jpg_base.jpg"));
  for (size_t i = 2; i + 9 < j.size(); ++i) {
    if (j[i] == 0xFF && j[i + 1] == 0xC0) {
      j[i + 5] = static_cast<uint8_t>(h >> 8);
      j[i + 6] = static_cast<uint8_t>(h);
      j[i + 7] = static_cast<uint8_t>(w >> 8);
      j[i + 8] = static_cast<uint8_t>(w);
      break;
    }
  }
  return j;
}

// The progressive fixture with its last scan repeated `times` times before the end marker.
Bytes JpegWithRepeatedScan(int times) {
  const Bytes j = raster_test::ReadFile(raster_test::Fixture("jpg_prog.jpg"));
  size_t lastSos = 0;
  for (size_t i = 2; i + 1 < j.size(); ++i) {
    if (j[i] == 0xFF && j[i + 1] == 0xDA) {
      lastSos = i;
    }
  }
  const size_t eoi = j.size() - 2;
  Bytes out(j.begin(), j.begin() + static_cast<std::ptrdiff_t>(eoi));
  const Bytes scan(j.begin() + static_cast<std::ptrdiff_t>(lastSos), j.begin() + static_cast<std::ptrdiff_t>(eoi));
  for (int i = 0; i < times; ++i) {
    out.insert(out.end(), scan.begin(), scan.end());
  }
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

struct MalformedRow {
  const char* what;
  Bytes file;
  uint32_t type;
  const char* text;  // null: a libpng/libjpeg message, any non-empty text
};

TEST(RasterMalformed, EveryFileIsRefusedWithItsText) {
  const Bytes pal8 = Gray8Palette();
  const Bytes rle = {0, 3, 1, 2, 3, 0, 0, 0};
  const MalformedRow rows[] = {
      {"file shorter than the BMP header", Bytes{'B', 'M', 1, 2, 3}, kRasterFormatBmp, raster_error::kBmpNotBmp},
      {"BMP header without info header", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0}, kRasterFormatBmp,
       raster_error::kBmpInfo},
      {"60000 x 60000 x 24 bits in a 60-byte file", Bmp(60000, 60000, 24, 0, 0, {}, Bytes(6, 0)), kRasterFormatBmp,
       raster_error::kMaxMemory},
      {"width x height x bits wraps to 0 in 32 bits", Bmp(0x40000000, 4, 32, 0, 0, {}, Bytes(16, 0)),
       kRasterFormatBmp, raster_error::kMaxMemory},
      {"16384 x 16384 1-bit: 32 MB, but the file holds 8 bytes", Bmp(16384, 16384, 1, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0},
                                                                  Bytes(8, 0)),
       kRasterFormatBmp, raster_error::kBmpTruncated},
      {"bit count 7", Bmp(4, 4, 7, 0, 0, {}, Bytes(64, 0)), kRasterFormatBmp, raster_error::kBmpInfo},
      {"bit count 2", Bmp(4, 4, 2, 0, 0, {}, Bytes(64, 0)), kRasterFormatBmp, raster_error::kBmpInfo},
      {"300 colours for 8 bits", Bmp(4, 4, 8, 0, 300, pal8, Bytes(64, 0)), kRasterFormatBmp, raster_error::kBmpInfo},
      {"height 0", Bmp(4, 0, 24, 0, 0, {}, Bytes(64, 0)), kRasterFormatBmp, raster_error::kBmpInfo},
      {"negative width", Bmp(-4, 4, 24, 0, 0, {}, Bytes(64, 0)), kRasterFormatBmp, raster_error::kBmpInfo},
      {"height -2^31", Bmp(4, INT32_MIN, 24, 0, 0, {}, Bytes(64, 0)), kRasterFormatBmp, raster_error::kBmpInfo},
      {"24-bit pixels cut short", Bmp(10, 10, 24, 0, 0, {}, Bytes(50, 0)), kRasterFormatBmp,
       raster_error::kBmpTruncated},
      {"palette cut short", Bmp(4, 4, 8, 0, 0, Bytes(100, 0), {}), kRasterFormatBmp, raster_error::kBmpTruncated},
      {"data offset past the end", WithDataOffset(Bmp(2, 2, 24, 0, 0, {}, Bytes(16, 0)), 4000), kRasterFormatBmp,
       raster_error::kBmpTruncated},
      {"RLE on 24 bits", Bmp(4, 4, 24, 1, 0, {}, Bytes(64, 0)), kRasterFormatBmp,
       raster_error::kBmpUnknownCompression},
      {"compression 5 on 8 bits", Bmp(4, 4, 8, 5, 0, pal8, Bytes(64, 0)), kRasterFormatBmp,
       raster_error::kBmpCompression},
      {"RLE8 on a 4-bit picture", Bmp(4, 4, 4, 1, 0, Bytes(64, 0), Bytes(64, 0)), kRasterFormatBmp,
       raster_error::kBmpCompression},
      {"RLE delta past the picture", Bmp(4, 4, 8, 1, 0, pal8, {0, 2, 200, 0, 0, 1}), kRasterFormatBmp,
       raster_error::kBmpRle},
      {"RLE ends before its last row", Bmp(4, 4, 8, 1, 0, pal8, rle), kRasterFormatBmp, raster_error::kBmpRle},
      {"RLE literal cut short", Bmp(4, 4, 8, 1, 0, pal8, {0, 200, 1, 2}), kRasterFormatBmp, raster_error::kBmpRle},
      {"bit fields on 24 bits", Bmp(4, 4, 24, 3, 0, {}, Bytes(64, 0)), kRasterFormatBmp,
       raster_error::kBmpUnknownCompression},

      {"icon directory reserved word set", Ico(1, 1, 4, 4, 8, 22, 2000), kRasterFormatIco, raster_error::kIcoHeader},
      {"icon directory of 0 entries", Ico(0, 0, 4, 4, 8, 22, 2000), kRasterFormatIco, raster_error::kIcoFrame},
      {"icon directory claims 5 entries, holds 1", Prefix(Ico(0, 5, 4, 4, 8, 22, 0), 22), kRasterFormatIco,
       raster_error::kIcoTruncated},
      {"icon offset past the end", Ico(0, 1, 4, 4, 8, 100000, 2000), kRasterFormatIco, raster_error::kIcoTruncated},
      {"icon bit count 7", Ico(0, 1, 4, 4, 7, 22, 2000), kRasterFormatIco, raster_error::kIcoInfo},
      {"icon entry of width 0", Ico(0, 1, 0, 4, 8, 22, 2000), kRasterFormatIco, raster_error::kCreateSize},
      {"icon pixels cut short", Ico(0, 1, 64, 64, 32, 22, 100), kRasterFormatIco, raster_error::kIcoTruncated},
      {"PNG inside an icon", Ico(0, 1, 16, 16, 32, 22, 0, true), kRasterFormatIco, raster_error::kIcoInfo},

      {"PNG 50000 x 50000 RGB in 70 bytes", PngClaiming(50000, 50000, 8, 2), kRasterFormatPng,
       raster_error::kMaxMemory},
      {"PNG image data far too short", PngClaiming(64, 64, 8, 2), kRasterFormatPng, nullptr},
      {"PNG signature only", Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, kRasterFormatPng, raster_error::kPngRead},
      {"PNG width 0", PngClaiming(0, 10, 8, 2), kRasterFormatPng, nullptr},
      {"PNG bit depth 3", PngClaiming(4, 4, 3, 0), kRasterFormatPng, nullptr},

      {"JPEG 60000 x 60000 in a small file", JpegClaiming(60000, 60000), kRasterFormatJpg, raster_error::kMaxMemory},
      {"JPEG start marker only", Bytes{0xFF, 0xD8}, kRasterFormatJpg, nullptr},
      {"JPEG of no bytes", Bytes{}, kRasterFormatJpg, nullptr},
      {"JPEG width 0", JpegClaiming(0, 10), kRasterFormatJpg, nullptr},
      {"JPEG with 600 progressive scans", JpegWithRepeatedScan(600), kRasterFormatJpg, raster_error::kJpegScans},

      {"GIF header cut short", Bytes{'G', 'I', 'F', '8', '9', 'a'}, kRasterFormatGif, raster_error::kGifNotGif},
      {"format code 99", Bytes{1, 2, 3}, 99, raster_error::kDecodeUnknown},
  };
  for (const MalformedRow& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes copy = row.file;
    copy.reserve(copy.size() + 1);
    CRasterMemFile mem(copy.data(), copy.size());
    CRasterImage img;
    EXPECT_FALSE(img.Decode(&mem, row.type));
    EXPECT_FALSE(img.IsValid());
    if (row.text != nullptr) {
      EXPECT_STREQ(img.GetLastError(), row.text);
    } else {
      EXPECT_NE(img.GetLastError()[0], '\0');
    }
    // Detection refuses the same bytes with the common text, or with the size refusal of the codec
    // that recognised the file.
    CRasterImage detect(copy.data(), static_cast<uint32_t>(copy.size()), kRasterFormatUnknown);
    EXPECT_FALSE(detect.IsValid());
    const bool tooLarge = row.text != nullptr && std::strcmp(row.text, raster_error::kMaxMemory) == 0;
    EXPECT_STREQ(detect.GetLastError(), tooLarge ? raster_error::kMaxMemory : raster_error::kDecodeUnknown);
  }
}

TEST(RasterMalformed, TruncatedJpegKeepsWhatWasDecoded) {
  // libjpeg supplies an end marker for a cut file: the picture keeps its size and what was decoded.
  Bytes base = raster_test::ReadFile(raster_test::Fixture("jpg_base.jpg"));
  base.resize(base.size() * 2 / 3);
  // A progressive file cut before its last scan, as phone uploads sometimes arrive.
  const Bytes full = raster_test::ReadFile(raster_test::Fixture("jpg_prog.jpg"));
  size_t lastSos = 0;
  for (size_t i = 2; i + 1 < full.size(); ++i) {
    if (full[i] == 0xFF && full[i + 1] == 0xDA) {
      lastSos = i;
    }
  }
  for (const Bytes& j : {base, Prefix(full, lastSos)}) {
    CRasterImage img(j.data(), static_cast<uint32_t>(j.size()), kRasterFormatJpg);
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 37u);
    EXPECT_EQ(img.GetHeight(), 23u);
  }
}

}  // namespace
