// TGA codec: colour-mapped (8 bits), true-colour (15, 16, 24, 32 bits) and grey (8 bits) files,
// uncompressed or run-length coded.
//
// A TGA file has no magic number, so detection would take random bytes for one if the header were
// read loosely: every field is checked against what the image type allows, colour maps are read by
// their entry size, and the data must be present in the stream (at its smallest coded size) before the
// picture is allocated. Run-length packets are bounded by the picture and may run on into the next row.

#include <cstring>
#include <vector>

#include "image/internal/raster_le.h"
#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

using raster_internal::GetLe16;
using raster_internal::PutLe16;
using raster_internal::ReadExact;

namespace {

constexpr uint32_t kHeaderSize = 18;
constexpr uint8_t kTypeMapped = 1;
constexpr uint8_t kTypeTrueColour = 2;
constexpr uint8_t kTypeGrey = 3;
constexpr uint8_t kTypeRle = 8;  // added to the three above
constexpr uint8_t kDescRightToLeft = 0x10;
constexpr uint8_t kDescTopToBottom = 0x20;
constexpr uint8_t kDescInterleave = 0xC0;
constexpr uint8_t kDescAlphaBits = 0x0F;
constexpr uint32_t kMaxMapLength = 256;
constexpr uint32_t kRunFlag = 0x80;
constexpr uint32_t kMaxPacket = 128;

struct TgaHeader {
  uint8_t idLength = 0;
  uint8_t mapType = 0;
  uint8_t imageType = 0;
  uint16_t mapFirst = 0;
  uint16_t mapLength = 0;
  uint8_t mapEntryBits = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t depth = 0;
  uint8_t descriptor = 0;
};

[[nodiscard]] bool ValidEntryBits(uint8_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Checks the header against what its image type allows. Returns a refusal text or null.
const char* CheckHeader(const TgaHeader& h) {
  const uint8_t base = h.imageType & ~kTypeRle;
  if ((h.imageType != base && h.imageType != base + kTypeRle) ||
      (base != kTypeMapped && base != kTypeTrueColour && base != kTypeGrey)) {
    return raster_error::kTgaType;
  }
  if (h.width == 0 || h.height == 0 || h.mapLength > kMaxMapLength ||
      (h.depth != 8 && h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32)) {
    return raster_error::kTgaHeader;
  }
  if (h.mapType > 1 || (h.descriptor & kDescInterleave) != 0 || (h.descriptor & kDescAlphaBits) > 8) {
    return raster_error::kTgaHeader;
  }
  if (h.mapType == 0 && h.mapLength != 0) {
    return raster_error::kTgaHeader;
  }
  if (h.mapType == 1 && (!ValidEntryBits(h.mapEntryBits) || h.mapLength == 0)) {
    return raster_error::kTgaHeader;
  }
  switch (base) {
    case kTypeMapped:
      if (h.mapType != 1 || h.depth != 8 || static_cast<uint32_t>(h.mapFirst) + h.mapLength > kMaxMapLength) {
        return raster_error::kTgaHeader;
      }
      break;
    case kTypeTrueColour:
      if (h.depth == 8) {
        return raster_error::kTgaHeader;
      }
      break;
    default:  // grey
      if (h.depth != 8) {
        return raster_error::kTgaHeader;
      }
      break;
  }
  return nullptr;
}

// One colour of `bytes` bytes (2: 5-5-5, 3: blue green red, 4: blue green red alpha).
[[nodiscard]] RasterQuad ColourOf(const uint8_t* p, uint32_t bytes) {
  if (bytes == 2) {
    const uint32_t v = GetLe16(p);
    return RasterRgb(static_cast<uint8_t>(((v >> 10) & 0x1F) << 3), static_cast<uint8_t>(((v >> 5) & 0x1F) << 3),
                     static_cast<uint8_t>((v & 0x1F) << 3), 255);
  }
  return RasterRgb(p[2], p[1], p[0], bytes == 4 ? p[3] : 255);
}

}  // namespace

bool CRasterImageTGA::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  uint8_t b[kHeaderSize];
  if (!ReadExact(file, b, kHeaderSize)) {
    SetLastError(raster_error::kTgaNotTga);
    return false;
  }
  TgaHeader h;
  h.idLength = b[0];
  h.mapType = b[1];
  h.imageType = b[2];
  h.mapFirst = GetLe16(b + 3);
  h.mapLength = GetLe16(b + 5);
  h.mapEntryBits = b[7];
  h.width = GetLe16(b + 12);
  h.height = GetLe16(b + 14);
  h.depth = b[16];
  h.descriptor = b[17];
  if (const char* refusal = CheckHeader(h)) {
    SetLastError(refusal);
    return false;
  }
  const uint32_t pixelBytes = (h.depth + 7u) / 8u;
  const uint32_t entryBytes = h.mapType == 1 ? (h.mapEntryBits + 7u) / 8u : 0;
  const bool rle = (h.imageType & kTypeRle) != 0;
  const uint64_t pixels = static_cast<uint64_t>(h.width) * h.height;
  // The smallest coded size of the data: every pixel once, or one full packet per 128 pixels.
  const uint64_t leastData = rle ? (pixels + kMaxPacket - 1) / kMaxPacket * (1 + pixelBytes) : pixels * pixelBytes;
  if (!FitsMemoryLimit(h.width, h.height, h.depth == 8 ? 8 : 24)) {
    SetLastError(raster_error::kMaxMemory);
    return false;
  }
  const int64_t remaining = raster_internal::StreamRemaining(file);
  const uint64_t before = h.idLength + static_cast<uint64_t>(h.mapLength) * entryBytes;
  if (remaining >= 0 && static_cast<uint64_t>(remaining) < before + leastData) {
    SetLastError(raster_error::kTgaCorrupted);
    return false;
  }
  if (GetEscape() == kRasterEscapeSizeOnly) {
    SetHeaderSize(h.width, h.height);
    return true;
  }
  if (!raster_internal::Skip(file, h.idLength)) {
    SetLastError(raster_error::kTgaCorrupted);
    return false;
  }
  if (!raster_internal::CreateForDecode(*this, h.width, h.height, h.depth == 8 ? 8 : 24, kRasterFormatTga,
                                        raster_error::kTgaCreate)) {
    return false;
  }
  if (h.depth == 32 && !AlphaCreate()) {
    SetLastError(raster_error::kTgaCreate);
    return false;
  }
  if (h.mapType == 1) {
    uint8_t map[kMaxMapLength * 4];
    if (!ReadExact(file, map, static_cast<size_t>(h.mapLength) * entryBytes)) {
      SetLastError(raster_error::kTgaCorrupted);
      return false;
    }
    if ((h.imageType & ~kTypeRle) == kTypeMapped) {
      for (uint32_t i = 0; i < h.mapLength; ++i) {
        RasterQuad c = ColourOf(map + i * entryBytes, entryBytes);
        c.rgbReserved = 0;
        SetPaletteColor(static_cast<uint8_t>(h.mapFirst + i), c);
      }
    }
  }
  if ((h.imageType & ~kTypeRle) == kTypeGrey) {
    SetGrayPalette();
  }

  raster_internal::StreamBytes in(file);
  const bool topDown = (h.descriptor & kDescTopToBottom) != 0;
  uint8_t pixel[4] = {};
  uint32_t packetLeft = 0;  // pixels left in the current packet
  bool run = false;
  for (uint32_t y = 0; y < h.height; ++y) {
    if (GetEscape() != 0) {
      SetLastError(raster_error::kCancelled);
      return false;
    }
    const uint32_t row = topDown ? h.height - 1 - y : y;
    uint8_t* bits = GetBits(row);
    for (uint32_t x = 0; x < h.width; ++x) {
      bool fresh = true;
      if (rle) {
        if (packetLeft == 0) {
          const int32_t head = in.Next();
          if (head < 0) {
            SetLastError(raster_error::kTgaCorrupted);
            return false;
          }
          run = (static_cast<uint32_t>(head) & kRunFlag) != 0;
          packetLeft = (static_cast<uint32_t>(head) & (kRunFlag - 1)) + 1;
        } else if (run) {
          fresh = false;  // the run repeats the pixel read at its start
        }
        --packetLeft;
      }
      if (fresh) {
        for (uint32_t i = 0; i < pixelBytes; ++i) {
          const int32_t v = in.Next();
          if (v < 0) {
            SetLastError(raster_error::kTgaCorrupted);
            return false;
          }
          pixel[i] = static_cast<uint8_t>(v);
        }
      }
      if (pixelBytes == 1) {
        bits[x] = pixel[0];
        continue;
      }
      const RasterQuad c = ColourOf(pixel, pixelBytes);
      bits[x * 3] = c.rgbBlue;
      bits[x * 3 + 1] = c.rgbGreen;
      bits[x * 3 + 2] = c.rgbRed;
      if (pixelBytes == 4) {
        AlphaSet(x, row, c.rgbReserved);
      }
    }
  }
  if ((h.descriptor & kDescRightToLeft) != 0 && !Mirror()) {
    SetLastError(raster_error::kTgaCreate);
    return false;
  }
  return true;
}

bool CRasterImageTGA::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  const uint32_t bpp = GetBpp();
  if (bpp < 8) {
    SetLastError(raster_error::kTgaBitDepth);
    return false;
  }
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (width > UINT16_MAX || height > UINT16_MAX) {
    SetLastError(raster_error::kTgaHeader);
    return false;
  }
  const bool mapped = bpp == 8;
  const bool alpha = !mapped && AlphaIsValid();
  uint8_t h[kHeaderSize] = {};
  h[1] = mapped ? 1 : 0;
  h[2] = mapped ? kTypeMapped : kTypeTrueColour;
  PutLe16(h + 5, mapped ? kMaxMapLength : 0);
  h[7] = mapped ? 24 : 0;
  PutLe16(h + 12, static_cast<uint16_t>(width));
  PutLe16(h + 14, static_cast<uint16_t>(height));
  h[16] = mapped ? 8 : (alpha ? 32 : 24);
  h[17] = alpha ? 8 : 0;  // bottom-up; a 32-bit file names its 8 alpha bits
  bool ok = file->Write(h, 1, kHeaderSize) == kHeaderSize;
  if (mapped) {
    uint8_t map[kMaxMapLength * 3] = {};
    for (uint32_t i = 0; i < kMaxMapLength; ++i) {
      const RasterQuad c = GetPaletteColor(static_cast<uint8_t>(i));
      map[i * 3] = c.rgbBlue;
      map[i * 3 + 1] = c.rgbGreen;
      map[i * 3 + 2] = c.rgbRed;
    }
    ok = ok && file->Write(map, 1, sizeof(map)) == sizeof(map);
  }
  const uint32_t ceiling = AlphaGetMax();
  std::vector<uint8_t> line(static_cast<size_t>(width) * 4);
  for (uint32_t y = 0; ok && y < height; ++y) {
    const uint8_t* bits = GetBits(y);
    if (!alpha) {
      const size_t n = static_cast<size_t>(width) * (mapped ? 1 : 3);
      ok = file->Write(bits, 1, n) == n;
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      line[x * 4] = bits[x * 3];
      line[x * 4 + 1] = bits[x * 3 + 1];
      line[x * 4 + 2] = bits[x * 3 + 2];
      line[x * 4 + 3] = static_cast<uint8_t>(AlphaGet(x, y) * ceiling / 255);
    }
    ok = file->Write(line.data(), 1, line.size()) == line.size();
  }
  if (!ok) {
    SetLastError(raster_error::kWriteError);
  }
  return ok;
}
