// PCX codec: 1-bit planes (up to 4), packed 2-, 4- and 8-bit pixels, and 8-bit colour in 3 or 4 planes,
// run-length coded.
//
// The header's bytes per line must hold a whole line of the picture, the decoded image (height x planes
// x bytes per line) must fit the picture memory limit and be reachable from the bytes left in the
// stream (a run codes at most 63 bytes in 2) before it is allocated, and no run may pass the end of it.

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

constexpr uint32_t kHeaderSize = 128;
constexpr uint8_t kManufacturer = 10;
constexpr uint8_t kVersion = 5;
constexpr uint8_t kEncodingRle = 1;
constexpr uint32_t kMapOffset = 16;
constexpr uint32_t kHeaderMapEntries = 16;
constexpr uint8_t kPaletteSignature = 12;
constexpr uint32_t kPaletteBytes = 256 * 3;
constexpr uint32_t kMaxPlanes = 4;
constexpr uint8_t kRunMark = 0xC0;
constexpr uint8_t kRunCount = 0x3F;
constexpr uint32_t kMaxRun = 63;
// A run codes at most 63 bytes in 2.
constexpr uint64_t kMaxExpansion = 32;

[[nodiscard]] bool ValidVersion(uint8_t v) { return v == 0 || v == 2 || v == 3 || v == 4 || v == 5; }

// Run-length codes one line into `out`: runs of up to 63 equal bytes, and any byte that looks like a
// run mark, as 0xC0 | count followed by the byte.
void EncodeLine(const uint8_t* line, size_t n, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < n) {
    const uint8_t v = line[i];
    size_t run = 1;
    while (i + run < n && run < kMaxRun && line[i + run] == v) {
      ++run;
    }
    if (run > 1 || (v & kRunMark) == kRunMark) {
      out.push_back(static_cast<uint8_t>(kRunMark | run));
    }
    out.push_back(v);
    i += run;
  }
}

}  // namespace

bool CRasterImagePCX::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  uint8_t h[kHeaderSize];
  if (!ReadExact(file, h, kHeaderSize)) {
    SetLastError(raster_error::kPcxRead);
    return false;
  }
  if (h[0] != kManufacturer) {
    SetLastError(raster_error::kPcxNotPcx);
    return false;
  }
  if (h[2] != kEncodingRle) {
    SetLastError(raster_error::kPcxEncoding);
    return false;
  }
  const uint32_t bits = h[3];
  const uint32_t xmin = GetLe16(h + 4);
  const uint32_t ymin = GetLe16(h + 6);
  const uint32_t xmax = GetLe16(h + 8);
  const uint32_t ymax = GetLe16(h + 10);
  const uint32_t planes = h[65];
  const uint32_t bytesPerLine = GetLe16(h + 66);
  if (!ValidVersion(h[1]) || (bits != 1 && bits != 2 && bits != 4 && bits != 8) || xmax < xmin || ymax < ymin ||
      planes == 0) {
    SetLastError(raster_error::kPcxNotPcx);
    return false;
  }
  if (planes > kMaxPlanes) {
    SetLastError(raster_error::kPcxPlanes);
    return false;
  }
  const uint32_t width = xmax - xmin + 1;
  const uint32_t height = ymax - ymin + 1;
  // A line must hold the picture's width, or reading it would run past the line.
  if (static_cast<uint64_t>(bytesPerLine) * 8 < static_cast<uint64_t>(width) * bits) {
    SetLastError(raster_error::kPcxNotPcx);
    return false;
  }
  const bool colour = bits == 8 && planes >= 3;
  uint32_t depth = 0;
  if (colour) {
    depth = 24;
  } else if (planes == 1) {
    depth = bits;
  } else if (bits == 1) {
    depth = 4;
  } else {
    SetLastError(bits == 8 ? raster_error::kPcxMoreBits : raster_error::kPcxPacked);
    return false;
  }
  const uint64_t total = static_cast<uint64_t>(height) * planes * bytesPerLine;
  if (total > kRasterMaxImageBytes) {
    SetLastError(raster_error::kMaxMemory);
    return false;
  }
  const int64_t remaining = raster_internal::StreamRemaining(file);
  if (remaining >= 0 && static_cast<uint64_t>(remaining) * kMaxExpansion < total) {
    SetLastError(raster_error::kPcxCorrupted);
    return false;
  }
  if (GetEscape() == kRasterEscapeSizeOnly) {
    SetHeaderSize(width, height);
    return true;
  }
  if (!raster_internal::CreateForDecode(*this, width, height, depth, kRasterFormatPcx, raster_error::kPcxCreate)) {
    return false;
  }
  SetXDPI(GetLe16(h + 12));
  SetYDPI(GetLe16(h + 14));
  if (colour && planes == 4 && !AlphaCreate()) {
    SetLastError(raster_error::kPcxCreate);
    return false;
  }

  std::vector<uint8_t> image;
  image.resize(static_cast<size_t>(total));
  const int64_t dataStart = file->Tell();
  int64_t consumed = 0;
  {
    raster_internal::StreamBytes in(file);
    size_t at = 0;
    while (at < image.size()) {
      const int32_t b = in.Next();
      ++consumed;
      if (b < 0) {
        SetLastError(raster_error::kPcxCorrupted);
        return false;
      }
      if ((b & kRunMark) != kRunMark) {
        image[at++] = static_cast<uint8_t>(b);
        continue;
      }
      const size_t count = static_cast<size_t>(b & kRunCount);
      const int32_t v = in.Next();
      ++consumed;
      if (v < 0) {
        SetLastError(raster_error::kPcxCorrupted);
        return false;
      }
      if (count > image.size() - at) {
        SetLastError(raster_error::kPcxRepeat);
        return false;
      }
      std::memset(image.data() + at, v, count);
      at += count;
    }
  }

  // Palette: 256 entries after the data for 8-bit single-plane files (the byte 12 first), else the 16
  // entries of the header; a 1-bit file whose header holds no two colours is black and white.
  if (bits == 8 && planes == 1) {
    // Right after the data, or else (a writer that padded the data) as the last 769 bytes of the file.
    uint8_t map[kPaletteBytes];
    auto paletteAt = [&](int64_t at) {
      uint8_t signature = 0;
      return at >= 0 && file->Seek(at, kRasterSeekSet) && ReadExact(file, &signature, 1) &&
             signature == kPaletteSignature && ReadExact(file, map, kPaletteBytes);
    };
    const int64_t size = file->Size();
    if (!paletteAt(dataStart + consumed) && !paletteAt(size - static_cast<int64_t>(kPaletteBytes + 1))) {
      SetLastError(raster_error::kPcxColorMap);
      return false;
    }
    SetPaletteRgb(map, 256);
  } else if (depth == 1 && std::memcmp(h + kMapOffset, h + kMapOffset + 3, 3) == 0) {
    SetPaletteColor(0, 0, 0, 0);
    SetPaletteColor(1, 255, 255, 255);
  } else if (!colour) {
    SetPaletteRgb(h + kMapOffset, kHeaderMapEntries);
  }

  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* line = image.data() + static_cast<size_t>(y) * planes * bytesPerLine;
    const uint32_t row = height - 1 - y;
    uint8_t* out = GetBits(row);
    for (uint32_t x = 0; x < width; ++x) {
      if (colour) {
        out[x * 3 + 2] = line[x];
        out[x * 3 + 1] = line[bytesPerLine + x];
        out[x * 3] = line[2 * bytesPerLine + x];
        if (planes == 4) {
          AlphaSet(x, row, line[3 * bytesPerLine + x]);
        }
        continue;
      }
      uint8_t index = 0;
      if (planes == 1) {
        switch (bits) {
          case 8:
            index = line[x];
            break;
          case 4:
            index = static_cast<uint8_t>((line[x / 2] >> ((x & 1) != 0 ? 0 : 4)) & 0x0F);
            break;
          case 2:
            index = static_cast<uint8_t>((line[x / 4] >> (6 - 2 * (x & 3))) & 0x03);
            break;
          default:
            index = static_cast<uint8_t>((line[x / 8] >> (7 - (x & 7))) & 1);
            break;
        }
      } else {
        for (uint32_t p = 0; p < planes; ++p) {
          index |= static_cast<uint8_t>(((line[p * bytesPerLine + x / 8] >> (7 - (x & 7))) & 1) << p);
        }
      }
      SetPixelIndex(x, row, index);
    }
  }
  return true;
}

bool CRasterImagePCX::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  const uint32_t bpp = GetBpp();
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (width > UINT16_MAX || height > UINT16_MAX) {
    SetLastError(raster_error::kPcxHeaderWrite);
    return false;
  }
  const bool wide = bpp >= 8;
  const bool alpha = bpp == 24 && AlphaIsValid();
  const uint32_t planes = bpp == 24 ? (alpha ? 4 : 3) : (bpp == 4 ? 4 : 1);
  uint32_t bytesPerLine = wide ? width : (width + 7) / 8;
  bytesPerLine += bytesPerLine & 1;  // lines of an even number of bytes
  uint8_t h[kHeaderSize] = {};
  h[0] = kManufacturer;
  h[1] = kVersion;
  h[2] = kEncodingRle;
  h[3] = wide ? 8 : 1;
  PutLe16(h + 8, static_cast<uint16_t>(width - 1));
  PutLe16(h + 10, static_cast<uint16_t>(height - 1));
  PutLe16(h + 12, static_cast<uint16_t>(GetXDPI() > UINT16_MAX ? UINT16_MAX : GetXDPI()));
  PutLe16(h + 14, static_cast<uint16_t>(GetYDPI() > UINT16_MAX ? UINT16_MAX : GetYDPI()));
  if (bpp == 1) {
    // Black and white in the header map.
    std::memset(h + kMapOffset + 3, 255, 3);
  } else if (bpp == 4) {
    for (uint32_t i = 0; i < kHeaderMapEntries; ++i) {
      const RasterQuad c = GetPaletteColor(static_cast<uint8_t>(i));
      h[kMapOffset + i * 3] = c.rgbRed;
      h[kMapOffset + i * 3 + 1] = c.rgbGreen;
      h[kMapOffset + i * 3 + 2] = c.rgbBlue;
    }
  }
  h[65] = static_cast<uint8_t>(planes);
  PutLe16(h + 66, static_cast<uint16_t>(bytesPerLine));
  PutLe16(h + 68, 1);  // colour palette
  if (file->Write(h, 1, kHeaderSize) != kHeaderSize) {
    SetLastError(raster_error::kPcxHeaderWrite);
    return false;
  }
  // A 1-bit picture whose entry 0 is the brighter is written with its bits inverted (1 is white).
  const bool invert = bpp == 1 && CompareColors(GetPaletteColor(0), GetPaletteColor(1)) > 0;
  std::vector<uint8_t> line(static_cast<size_t>(bytesPerLine) * planes);
  std::vector<uint8_t> coded;
  bool ok = true;
  for (uint32_t y = 0; ok && y < height; ++y) {
    const uint32_t row = height - 1 - y;
    std::fill(line.begin(), line.end(), 0);
    const uint8_t* bits = GetBits(row);
    for (uint32_t x = 0; x < width; ++x) {
      if (bpp == 24) {
        line[x] = bits[x * 3 + 2];
        line[bytesPerLine + x] = bits[x * 3 + 1];
        line[2 * bytesPerLine + x] = bits[x * 3];
        if (alpha) {
          line[3 * bytesPerLine + x] = AlphaGet(x, row);
        }
      } else if (bpp == 8) {
        line[x] = bits[x];
      } else {
        uint8_t index = GetPixelIndex(x, row);
        if (invert) {
          index ^= 1;
        }
        for (uint32_t p = 0; p < planes; ++p) {
          if (((index >> p) & 1) != 0) {
            line[p * bytesPerLine + x / 8] |= static_cast<uint8_t>(0x80 >> (x & 7));
          }
        }
      }
    }
    coded.clear();
    for (uint32_t p = 0; p < planes; ++p) {
      EncodeLine(line.data() + static_cast<size_t>(p) * bytesPerLine, bytesPerLine, coded);
    }
    ok = file->Write(coded.data(), 1, coded.size()) == coded.size();
  }
  if (ok && bpp == 8) {
    uint8_t map[1 + kPaletteBytes];
    map[0] = kPaletteSignature;
    for (uint32_t i = 0; i < 256; ++i) {
      const RasterQuad c = GetPaletteColor(static_cast<uint8_t>(i));
      map[1 + i * 3] = c.rgbRed;
      map[1 + i * 3 + 1] = c.rgbGreen;
      map[1 + i * 3 + 2] = c.rgbBlue;
    }
    ok = file->Write(map, 1, sizeof(map)) == sizeof(map);
  }
  if (!ok) {
    SetLastError(raster_error::kWriteError);
  }
  return ok;
}
