#pragma once
// Helpers of the image periphery tests: pictures against ImageMagick's raw RGBA, small file builders.

#include <cstdint>
#include <string>

#include "image/raster_image.h"
#include "tests/image/raster_test_util.h"

namespace periphery_test {

using raster_test::Bytes;

// How far a picture is from ImageMagick's pixels (raw RGBA rows, top row first).
struct Difference {
  int worst = 0;       // largest channel difference
  double mean = 0;     // mean channel difference
  bool sized = false;  // the reference has the picture's size
};

// Compare: red, green and blue of every pixel (and alpha when `alpha`), pixels whose reference alpha
// is 0 skipped when `skipTransparent`, and the outer `border` pixels on each side left out.
Difference Compare(const CRasterImage& img, const Bytes& rgba, bool alpha = false, bool skipTransparent = false,
                   uint32_t border = 0);

// A picture decoded from a fixture file (format detected).
Bytes Fixture(const std::string& name);
Bytes FixtureRgba(const std::string& name);

// A 24-bit picture whose pixels differ in every channel from their neighbours.
void FillPattern(CRasterImage& img, uint32_t seed = 0);

// Decodes `bytes` with `type`; false with the text in `error` when it fails.
bool DecodeBytes(const Bytes& bytes, uint32_t type, CRasterImage& img);

// True when ImageMagick's convert is installed.
bool HaveConvert();
// The pixels ImageMagick decodes from `bytes` (written to a temporary file with `suffix`) as raw
// 8-bit RGBA, top row first, every frame one after the other (coalesced when `coalesce`). Empty when
// it fails.
Bytes ImageMagickRgba(const Bytes& bytes, const std::string& suffix, bool coalesce = false);

// An 18-byte TGA header (no id field, colour map from entry 0, origin 0, 0) followed by `dataBytes`
// bytes of 0x11.
Bytes Tga(uint8_t mapType, uint8_t type, uint16_t mapLength, uint8_t mapBits, uint16_t w, uint16_t h, uint8_t depth,
          uint8_t descriptor, size_t dataBytes = 0);

// Big-endian writers for hand-made files.
void PutBe16(Bytes& b, uint32_t v);
void PutBe32(Bytes& b, uint32_t v);

}  // namespace periphery_test
