#pragma once
// Helpers of the image library tests: byte builders for hand-made files and encode/decode shortcuts.

#include <cstdint>
#include <string>
#include <vector>

#include "image/raster_image.h"

namespace raster_test {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v);
void Put32(Bytes& b, uint32_t v);

// A BMP file: 14-byte file header, 40-byte info header with the given fields, palette, data.
// dataOffset 0 means "right after the palette".
struct BmpSpec {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  uint32_t clrUsed = 0;
  uint32_t dataOffset = 0;
  bool fileHeader = true;
};
Bytes MakeBmp(const BmpSpec& shape, const Bytes& palette, const Bytes& data);

// Encodes `img` as `type` into memory. Returns the bytes (empty on failure).
Bytes EncodeToBytes(CRasterImage& img, uint32_t type);

// Reads a whole file (empty when missing).
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

// Path of a fixture under tests/fixtures/image.
std::string Fixture(const std::string& name);

// True when ImageMagick's identify is installed.
bool HaveIdentify();
// Runs `identify -regard-warnings` on the bytes (written to a temporary file with `suffix`) and
// returns its output, or "" with ok=false when identify complained.
std::string Identify(const Bytes& bytes, const std::string& suffix, bool* ok);

}  // namespace raster_test
