// GIF codec: files written by ImageMagick decode to its pixels, frames combine as its coalesced
// frames do, every coding option round-trips and is read back by ImageMagick, true-colour pictures go
// out as 17 x 15 tiles, and broken LZW data stays inside its frame.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"
#include "image/raster_image.h"
#include "tests/image/periphery_test_util.h"

using periphery_test::Bytes;
using periphery_test::Compare;

namespace {

struct GifFixture {
  const char* name;
  uint32_t bpp;
  bool transparent;
};

// Depths by the file's table: 2 entries 1 bit, 16 entries 4 bits, more 8 bits; a transparent frame
// with a smaller table gets 256 entries.
constexpr GifFixture kGifs[] = {
    {"gif_1.gif", 1, false},          {"gif_4.gif", 4, false},    {"gif_8.gif", 8, false},
    {"gif_interlaced.gif", 8, false}, {"gif_trans.gif", 8, true},
};

TEST(RasterGif, FixturesDecodeToImageMagicksPixels) {
  for (const GifFixture& row : kGifs) {
    SCOPED_TRACE(row.name);
    const Bytes file = periphery_test::Fixture(row.name);
    CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    EXPECT_EQ(img.GetType(), kRasterFormatGif);
    EXPECT_EQ(img.GetBpp(), row.bpp);
    EXPECT_EQ(img.GetNumFrames(), 1);
    const Bytes ref = periphery_test::FixtureRgba(row.name);
    const periphery_test::Difference d = Compare(img, ref, false, row.transparent);
    ASSERT_TRUE(d.sized);
    EXPECT_EQ(d.worst, 0);
    if (row.transparent) {
      ASSERT_GE(img.GetTransIndex(), 0);
      for (uint32_t ty = 0; ty < img.GetHeight(); ++ty) {
        for (uint32_t x = 0; x < img.GetWidth(); ++x) {
          const bool clear = ref[(ty * img.GetWidth() + x) * 4 + 3] == 0;
          EXPECT_EQ(img.GetPixelIndex(x, img.GetHeight() - 1 - ty) == img.GetTransIndex(), clear) << x << "," << ty;
        }
      }
    }
  }
}

TEST(RasterGif, TransparentFrameOfASmallTableGets256EntriesPastItWhite) {
  // gif_trans.gif has 12 colours in a 16-entry table and a transparent index.
  const Bytes file = periphery_test::Fixture("gif_trans.gif");
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatGif);
  ASSERT_TRUE(img.IsValid());
  ASSERT_EQ(img.GetNumColors(), 256u);
  for (uint32_t i = 16; i < 256; ++i) {
    EXPECT_EQ(img.GetPaletteColor(static_cast<uint8_t>(i)), RasterRgb(255, 255, 255)) << i;
  }
}

TEST(RasterGif, FramesCombineAsImageMagickCoalescesThem) {
  // gif_anim.gif: a full frame, then a 12 x 10 blue patch at (5, 4) that does not dispose.
  const Bytes file = periphery_test::Fixture("gif_anim.gif");
  const Bytes ref = periphery_test::FixtureRgba("gif_anim.gif");
  const size_t frameBytes = ref.size() / 2;
  for (int32_t frame = 0; frame < 2; ++frame) {
    SCOPED_TRACE(frame);
    CRasterImage img;
    img.SetFrame(frame);
    Bytes copy = file;
    CRasterMemFile mem(copy.data(), copy.size());
    ASSERT_TRUE(img.Decode(&mem, kRasterFormatUnknown)) << img.GetLastError();
    EXPECT_EQ(img.GetNumFrames(), 2);
    const Bytes one(ref.begin() + static_cast<std::ptrdiff_t>(frame * frameBytes),
                    ref.begin() + static_cast<std::ptrdiff_t>((frame + 1) * frameBytes));
    const periphery_test::Difference d = Compare(img, one);
    ASSERT_TRUE(d.sized);
    EXPECT_EQ(d.worst, 0);
  }
  CRasterImage beyond;
  beyond.SetFrame(2);
  Bytes copy = file;
  CRasterMemFile mem(copy.data(), copy.size());
  EXPECT_FALSE(beyond.Decode(&mem, kRasterFormatGif));
  EXPECT_STREQ(beyond.GetLastError(), raster_error::kGifFrame);
  // The size query answers the screen and the frame count.
  CRasterImage size;
  size.SetEscape(kRasterEscapeSizeOnly);
  CRasterMemFile again(copy.data(), copy.size());
  ASSERT_TRUE(size.Decode(&again, kRasterFormatGif));
  EXPECT_EQ(size.GetHeaderWidth(), 37u);
  EXPECT_EQ(size.GetNumFrames(), 2);
}

CRasterImage PalettePicture(uint32_t bpp, uint32_t w, uint32_t h) {
  CRasterImage img(w, h, bpp, 0);
  const uint32_t n = img.GetNumColors();
  for (uint32_t i = 0; i < n; ++i) {
    img.SetPaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i),
                        static_cast<uint8_t>(i * 11));
  }
  // Long runs and busy stretches both, so every coder meets its cases.
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t v = y < h / 2 ? (x / 9 + y) : (x * 7 + y * 13);
      img.SetPixelIndex(x, y, static_cast<uint8_t>(v % n));
    }
  }
  return img;
}

TEST(RasterGif, EveryCodingRoundTripsAndImageMagickReadsIt) {
  const bool convert = periphery_test::HaveConvert();
  for (uint32_t bpp : {1u, 4u, 8u}) {
    for (uint32_t option : {kGifCodeLzw, kGifCodeUncompressed, kGifCodeRunLength}) {
      SCOPED_TRACE(testing::Message() << bpp << " bits, option " << option);
      // 300 x 70: enough pixels for the 12-bit table to fill and start again.
      CRasterImage img = PalettePicture(bpp, 300, 70);
      img.SetCodecOption(option, kRasterFormatGif);
      const Bytes gif = raster_test::EncodeToBytes(img, kRasterFormatGif);
      ASSERT_FALSE(gif.empty()) << img.GetLastError();
      ASSERT_EQ(std::memcmp(gif.data(), "GIF89a", 6), 0);
      CRasterImage back(gif.data(), static_cast<uint32_t>(gif.size()), kRasterFormatUnknown);
      ASSERT_TRUE(back.IsValid()) << back.GetLastError();
      ASSERT_EQ(back.GetBpp(), bpp);
      for (uint32_t y = 0; y < 70; ++y) {
        for (uint32_t x = 0; x < 300; ++x) {
          ASSERT_EQ(back.GetPixelIndex(x, y), img.GetPixelIndex(x, y)) << x << "," << y;
        }
      }
      if (convert) {
        const periphery_test::Difference d = Compare(img, periphery_test::ImageMagickRgba(gif, ".gif"));
        ASSERT_TRUE(d.sized);
        EXPECT_EQ(d.worst, 0);
      }
    }
  }
}

// The bytes of a GIF from its header (13 bytes and the global table) up to its trailer.
Bytes EncodeFrame(const CRasterImage& picture, uint8_t disposal, uint16_t left, uint16_t top) {
  CRasterImageGIF writer;
  writer.Ghost(picture);
  writer.SetDisposalMethod(disposal);
  writer.SetOffset(left, top);
  CRasterMemFile out;
  if (!out.Open() || !writer.Encode(&out)) {
    return {};
  }
  const uint8_t* p = out.GetBuffer(false);
  return Bytes(p, p + out.Size() - 1);  // without the trailer
}

TEST(RasterGif, DisposalToBackgroundClearsToTheTransparentIndex) {
  // Frame 0 fills a 6 x 4 screen with index 5, transparent index 2, disposal 2; frame 1 (2 x 2 of
  // index 7 at (3, 1), the same palette) is drawn on a screen cleared to index 2 first. Without the
  // disposal the screen keeps index 5 around frame 1.
  for (uint8_t disposal : {uint8_t{2}, uint8_t{1}}) {
    SCOPED_TRACE(static_cast<int>(disposal));
    CRasterImage first = PalettePicture(4, 6, 4);
    first.Clear(5);
    first.SetTransIndex(2);
    CRasterImage second = PalettePicture(4, 2, 2);
    second.Clear(7);
    Bytes gif = EncodeFrame(first, disposal, 0, 0);
    const Bytes frame = EncodeFrame(second, 0, 3, 1);
    ASSERT_FALSE(gif.empty());
    ASSERT_FALSE(frame.empty());
    // The second file's frame: what follows its header and global table.
    gif.insert(gif.end(), frame.begin() + 13 + 16 * 3, frame.end());
    gif.push_back(';');
    CRasterImage img;
    img.SetFrame(1);
    ASSERT_TRUE(periphery_test::DecodeBytes(gif, kRasterFormatGif, img)) << img.GetLastError();
    EXPECT_EQ(img.GetNumFrames(), 2);
    // Top-down (3, 1) is picture row 4 - 1 - 1 = 2.
    EXPECT_EQ(img.GetPixelIndex(3, 2), 7);
    EXPECT_EQ(img.GetPixelIndex(4, 1), 7);
    EXPECT_EQ(img.GetPixelIndex(0, 0), disposal == 2 ? 2 : 5);
    EXPECT_EQ(img.GetPixelIndex(5, 3), disposal == 2 ? 2 : 5);
  }
}

TEST(RasterGif, HeaderFlagsGraphicControlAndComment) {
  // Screen flags 0x80 | (bits - 1) << 5 (cut to 8 bits) | (bits - 1): 0xE7 for 8 bits, 0xE3 for 4, 0x80
  // for 1 (worked out by hand); the transparent index, delay and comment come back.
  const struct {
    uint32_t bpp;
    uint8_t flags;
  } rows[] = {{8, 0xE7}, {4, 0xE3}, {1, 0x80}};
  for (const auto& row : rows) {
    CRasterImage img = PalettePicture(row.bpp, 10, 4);
    const Bytes gif = raster_test::EncodeToBytes(img, kRasterFormatGif);
    ASSERT_GT(gif.size(), 13u);
    EXPECT_EQ(gif[10], row.flags) << row.bpp;
  }
  CRasterImage img = PalettePicture(4, 10, 4);
  img.SetTransIndex(3);
  CRasterImageGIF writer;
  writer.Ghost(img);
  writer.SetComment("made here");
  writer.SetFrameDelay(250);
  writer.SetDisposalMethod(2);
  CRasterMemFile out;
  ASSERT_TRUE(out.Open());
  ASSERT_TRUE(writer.Encode(&out));
  CRasterMemFile in(out.GetBuffer(false), static_cast<size_t>(out.Size()));
  CRasterImageGIF reader;
  ASSERT_TRUE(reader.Decode(&in));
  EXPECT_STREQ(reader.GetComment(), "made here");
  EXPECT_EQ(reader.GetFrameDelay(), 250);
  EXPECT_EQ(reader.GetDisposalMethod(), 2);
  EXPECT_EQ(reader.GetTransIndex(), 3);
}

TEST(RasterGif, TrueColourGoesOutAsTilesOfSeventeenByFifteen) {
  // 40 x 30: tiles of 17, 17 and 6 columns in bands of 15 and 15 rows, left to right from the top.
  CRasterImage img(40, 30, 24, 0);
  periphery_test::FillPattern(img, 5);
  const Bytes gif = raster_test::EncodeToBytes(img, kRasterFormatGif);
  ASSERT_FALSE(gif.empty());
  EXPECT_EQ(gif[10], 0x11);  // no global table
  struct Tile {
    uint32_t left, top, width, height;
  };
  std::vector<Tile> tiles;
  for (size_t i = 13; i + 10 < gif.size(); ++i) {
    // An image descriptor follows the graphic control block's terminator.
    if (gif[i] == ',' && gif[i - 1] == 0 && gif[i - 8] == 0x21 && gif[i - 7] == 0xF9) {
      tiles.push_back(Tile{gif[i + 1] + 256u * gif[i + 2], gif[i + 3] + 256u * gif[i + 4],
                           gif[i + 5] + 256u * gif[i + 6], gif[i + 7] + 256u * gif[i + 8]});
    }
  }
  const Tile expected[] = {{0, 0, 17, 15},  {17, 0, 17, 15},  {34, 0, 6, 15},
                           {0, 15, 17, 15}, {17, 15, 17, 15}, {34, 15, 6, 15}};
  ASSERT_EQ(tiles.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(tiles[i].left, expected[i].left) << i;
    EXPECT_EQ(tiles[i].top, expected[i].top) << i;
    EXPECT_EQ(tiles[i].width, expected[i].width) << i;
    EXPECT_EQ(tiles[i].height, expected[i].height) << i;
  }
  // Decoding frame by frame on a true-colour screen: after the last tile the whole picture is back.
  CRasterImage last;
  last.SetFrame(5);
  Bytes copy = gif;
  CRasterMemFile mem(copy.data(), copy.size());
  ASSERT_TRUE(last.Decode(&mem, kRasterFormatUnknown)) << last.GetLastError();
  ASSERT_EQ(last.GetBpp(), 24u);
  EXPECT_EQ(last.GetNumFrames(), 6);
  for (uint32_t y = 0; y < 30; ++y) {
    ASSERT_EQ(std::memcmp(last.GetBits(y), img.GetBits(y), 40 * 3), 0) << y;
  }
  if (periphery_test::HaveConvert()) {
    const Bytes frames = periphery_test::ImageMagickRgba(gif, ".gif", true);
    ASSERT_EQ(frames.size(), 6u * 40 * 30 * 4);
    const Bytes final(frames.end() - 40 * 30 * 4, frames.end());
    EXPECT_EQ(Compare(img, final).worst, 0);
  }
}

// A GIF of one 2 x 2 frame with a 4-entry global table and the given LZW bytes (code size 2).
Bytes TinyGif(const Bytes& lzw, uint16_t frameWidth = 2) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x81, 0, 0};
  for (int i = 0; i < 4; ++i) {
    b.insert(b.end(), {static_cast<uint8_t>(i * 80), static_cast<uint8_t>(i * 80), static_cast<uint8_t>(i * 80)});
  }
  b.insert(b.end(), {',', 0, 0, 0, 0, static_cast<uint8_t>(frameWidth), 0, 2, 0, 0, 2});
  b.push_back(static_cast<uint8_t>(lzw.size()));
  b.insert(b.end(), lzw.begin(), lzw.end());
  b.insert(b.end(), {0, ';'});
  return b;
}

TEST(RasterGif, BrokenLzwDataStaysInsideItsFrame) {
  // Codes clear (4), 1, 7, end (5) at 3 bits, least significant bit first: 0xCC 0x0B (by hand). 7 is
  // beyond the table (next entry 6): the frame's data ends there, after its first pixel.
  CRasterImage img;
  ASSERT_TRUE(periphery_test::DecodeBytes(TinyGif({0xCC, 0x0B}), kRasterFormatGif, img)) << img.GetLastError();
  EXPECT_EQ(img.GetPixelIndex(0, 1), 1);  // top-left
  EXPECT_EQ(img.GetPixelIndex(1, 1), 0);
  EXPECT_EQ(img.GetPixelIndex(0, 0), 0);

  // A frame wider than the screen is passed over: no frame to decode.
  CRasterImage wide;
  EXPECT_FALSE(periphery_test::DecodeBytes(TinyGif({0xCC, 0x0B}, 3), kRasterFormatGif, wide));
  EXPECT_STREQ(wide.GetLastError(), raster_error::kGifFrame);

  // Data for 16 pixels in a frame of 4: the pixels past the frame are dropped. (A 4 x 4 picture's
  // file with screen and frame made 2 x 2; its frame descriptor follows the header, the 16-entry table
  // and the graphic control block: at 13 + 48 + 8.)
  CRasterImage four = PalettePicture(4, 4, 4);
  Bytes gif = raster_test::EncodeToBytes(four, kRasterFormatGif);
  constexpr size_t kDescriptor = 13 + 48 + 8;
  ASSERT_EQ(gif[kDescriptor], ',');
  gif[6] = gif[8] = gif[kDescriptor + 5] = gif[kDescriptor + 7] = 2;
  CRasterImage cut;
  ASSERT_TRUE(periphery_test::DecodeBytes(gif, kRasterFormatGif, cut)) << cut.GetLastError();
  ASSERT_EQ(cut.GetWidth(), 2u);
  // The first four pixels in writing order (the top row of the 4 x 4 picture) fill the 2 x 2 frame.
  EXPECT_EQ(cut.GetPixelIndex(0, 1), four.GetPixelIndex(0, 3));
  EXPECT_EQ(cut.GetPixelIndex(1, 1), four.GetPixelIndex(1, 3));
  EXPECT_EQ(cut.GetPixelIndex(0, 0), four.GetPixelIndex(2, 3));
  EXPECT_EQ(cut.GetPixelIndex(1, 0), four.GetPixelIndex(3, 3));
}

TEST(RasterGif, MalformedFilesAreRefusedWithTheirTexts) {
  const struct {
    const char* what;
    Bytes file;
    const char* text;
  } rows[] = {
      {"not GIF8", Bytes{'G', 'I', 'F', '7', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, raster_error::kGifNotGif},
      {"global table cut short", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0, 1, 2, 3},
       raster_error::kGifTruncated},
      {"no image before the trailer", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'},
       raster_error::kGifFrame},
      {"frame of 8000 x 8000 in 60 bytes",
       [] {
         Bytes b = TinyGif({0xCC, 0x0B}, 2);
         for (size_t at : {size_t{6}, size_t{13 + 12 + 5}}) {  // the screen's and the frame's size
           b[at] = 0x40;
           b[at + 1] = 0x1F;
           b[at + 2] = 0x40;
           b[at + 3] = 0x1F;
         }
         return b;
       }(),
       raster_error::kGifTruncated},
      {"screen of 65535 x 65535",
       [] {
         Bytes b = TinyGif({0xCC, 0x0B}, 2);
         b[6] = 0xFF;
         b[7] = 0xFF;
         b[8] = 0xFF;
         b[9] = 0xFF;
         return b;
       }(),
       raster_error::kMaxMemory},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CRasterImage img;
    EXPECT_FALSE(periphery_test::DecodeBytes(row.file, kRasterFormatGif, img));
    EXPECT_STREQ(img.GetLastError(), row.text);
  }
}

}  // namespace
