// WBMP codec (type 0): 1-bit pictures, rows top first, a set bit white.
//
// A WBMP file has no magic number: the type and the fixed header must be 0, width and height are
// multi-byte integers (7 bits a byte, high bit "more") of at most 4 bytes, and the data must be
// exactly height x ((width + 7) / 8) bytes, so that random bytes are not taken for a picture.

#include <cstring>
#include <vector>

#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

namespace {

constexpr uint32_t kMaxIntBytes = 4;
constexpr uint8_t kMore = 0x80;
// Pictures written are below this in both directions.
constexpr uint32_t kSaveLimit = 256;

// Reads one multi-byte integer. Returns false at the end of the stream or when it is longer than 4 bytes.
bool ReadInt(CRasterFile* file, uint32_t* value, bool* truncated) {
  *value = 0;
  for (uint32_t i = 0; i < kMaxIntBytes; ++i) {
    const int64_t b = file->GetC();
    if (b < 0) {
      *truncated = true;
      return false;
    }
    *value = (*value << 7) | (static_cast<uint32_t>(b) & 0x7F);
    if ((b & kMore) == 0) {
      return true;
    }
  }
  return false;
}

// Writes one multi-byte integer into `out`; returns the bytes used.
size_t PutInt(uint32_t v, uint8_t* out) {
  uint8_t tmp[5];
  size_t n = 0;
  do {
    tmp[n++] = static_cast<uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v != 0);
  for (size_t i = 0; i < n; ++i) {
    out[i] = static_cast<uint8_t>(tmp[n - 1 - i] | (i + 1 < n ? kMore : 0));
  }
  return n;
}

}  // namespace

bool CRasterImageWBMP::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  bool truncated = false;
  uint32_t type = 0;
  uint32_t fixed = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  if (!ReadInt(file, &type, &truncated) || !ReadInt(file, &fixed, &truncated)) {
    SetLastError(truncated ? raster_error::kWbmpNotWbmp : raster_error::kWbmpType);
    return false;
  }
  if (type != 0 || fixed != 0) {
    SetLastError(raster_error::kWbmpType);
    return false;
  }
  if (!ReadInt(file, &width, &truncated) || !ReadInt(file, &height, &truncated)) {
    SetLastError(truncated ? raster_error::kWbmpNotWbmp : raster_error::kWbmpCorrupted);
    return false;
  }
  const uint64_t rowBytes = (static_cast<uint64_t>(width) + 7) / 8;
  if (width != 0 && height != 0 && !FitsMemoryLimit(width, height, 1)) {
    SetLastError(raster_error::kMaxMemory);
    return false;
  }
  const int64_t remaining = raster_internal::StreamRemaining(file);
  if (width == 0 || height == 0 || (remaining >= 0 && static_cast<uint64_t>(remaining) != rowBytes * height)) {
    SetLastError(raster_error::kWbmpCorrupted);
    return false;
  }
  if (GetEscape() == kRasterEscapeSizeOnly) {
    SetHeaderSize(width, height);
    return true;
  }
  if (!raster_internal::CreateForDecode(*this, width, height, 1, kRasterFormatWbmp, raster_error::kWbmpCreate)) {
    return false;
  }
  SetPaletteColor(0, 0, 0, 0);
  SetPaletteColor(1, 255, 255, 255);
  for (uint32_t y = 0; y < height; ++y) {
    if (!raster_internal::ReadExact(file, GetBits(height - 1 - y), static_cast<size_t>(rowBytes))) {
      SetLastError(raster_error::kWbmpCorrupted);
      return false;
    }
  }
  return true;
}

bool CRasterImageWBMP::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (GetBpp() != 1 || width >= kSaveLimit || height >= kSaveLimit) {
    SetLastError(raster_error::kWbmpSave);
    return false;
  }
  uint8_t header[2 + 2 * 5] = {0, 0};
  size_t n = 2;
  n += PutInt(width, header + n);
  n += PutInt(height, header + n);
  bool ok = file->Write(header, 1, n) == n;
  // A set bit is white: a picture whose entry 0 is the brighter is written inverted.
  const bool invert = CompareColors(GetPaletteColor(0), GetPaletteColor(1)) > 0;
  const size_t rowBytes = (width + 7) / 8;
  std::vector<uint8_t> row(rowBytes);
  for (uint32_t y = 0; ok && y < height; ++y) {
    std::memcpy(row.data(), GetBits(height - 1 - y), rowBytes);
    if (invert) {
      for (uint8_t& b : row) {
        b = static_cast<uint8_t>(~b);
      }
    }
    if ((width & 7) != 0) {
      row[rowBytes - 1] &= static_cast<uint8_t>(0xFF << (8 - (width & 7)));  // unused bits clear
    }
    ok = file->Write(row.data(), 1, rowBytes) == rowBytes;
  }
  if (!ok) {
    SetLastError(raster_error::kWriteError);
  }
  return ok;
}
