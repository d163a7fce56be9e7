// Metafile codec: placeable Windows metafiles and enhanced metafiles.
//
// Playing a metafile needs a renderer of its drawing records, which this platform lacks (it has no
// GDI). The codec checks the headers, works out the picture size as the platform would render it (96
// dots per inch, at most 4000 x 4000 pixels with the other side in proportion) and answers the size
// query with it; a full decode is refused with "corrupted WMF".

#include <cstdlib>

#include "image/internal/raster_le.h"
#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

using raster_internal::GetLe16;
using raster_internal::GetLe32;
using raster_internal::ReadExact;

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kPlaceableSize = 22;
constexpr uint32_t kMetaHeaderSize = 18;
constexpr uint32_t kMetaHeaderWords = 9;
constexpr uint32_t kMaxUnitsPerInch = 2540;
constexpr uint32_t kEmfHeaderMin = 88;
constexpr uint32_t kEmfHeaderType = 1;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr int64_t kScreenDpi = 96;
constexpr int64_t kMaxSide = 4000;

// The size of a placeable metafile, or false.
bool PlaceableSize(CRasterFile* file, int64_t* width, int64_t* height) {
  uint8_t p[kPlaceableSize];
  if (!ReadExact(file, p, kPlaceableSize) || GetLe32(p) != kPlaceableKey) {
    return false;
  }
  uint16_t checksum = 0;
  for (uint32_t i = 0; i < 10; ++i) {
    checksum ^= GetLe16(p + 2 * i);
  }
  const uint32_t inch = GetLe16(p + 14);
  if (checksum != GetLe16(p + 20) || inch == 0 || inch > kMaxUnitsPerInch) {
    return false;
  }
  const int64_t left = static_cast<int16_t>(GetLe16(p + 6));
  const int64_t top = static_cast<int16_t>(GetLe16(p + 8));
  const int64_t right = static_cast<int16_t>(GetLe16(p + 10));
  const int64_t bottom = static_cast<int16_t>(GetLe16(p + 12));
  const int64_t remaining = raster_internal::StreamRemaining(file);
  uint8_t m[kMetaHeaderSize];
  if (!ReadExact(file, m, kMetaHeaderSize)) {
    return false;
  }
  const uint32_t type = GetLe16(m);
  const uint64_t words = GetLe32(m + 6);
  if ((type != 1 && type != 2) || GetLe16(m + 2) != kMetaHeaderWords || words < kMetaHeaderWords ||
      (remaining >= 0 && words * 2 > static_cast<uint64_t>(remaining))) {
    return false;
  }
  *width = std::llabs(right - left) * kScreenDpi / inch;
  *height = std::llabs(bottom - top) * kScreenDpi / inch;
  return true;
}

// The size of an enhanced metafile (its header's bounds, in device pixels), or false.
bool EnhancedSize(CRasterFile* file, int64_t* width, int64_t* height) {
  const int64_t remaining = raster_internal::StreamRemaining(file);
  uint8_t e[kEmfHeaderMin];
  if (!ReadExact(file, e, kEmfHeaderMin)) {
    return false;
  }
  const uint32_t size = GetLe32(e + 4);
  const uint32_t bytes = GetLe32(e + 48);
  if (GetLe32(e) != kEmfHeaderType || size < kEmfHeaderMin || GetLe32(e + 40) != kEmfSignature || bytes < size ||
      (remaining >= 0 && bytes > static_cast<uint64_t>(remaining))) {
    return false;
  }
  const int64_t left = static_cast<int32_t>(GetLe32(e + 8));
  const int64_t top = static_cast<int32_t>(GetLe32(e + 12));
  const int64_t right = static_cast<int32_t>(GetLe32(e + 16));
  const int64_t bottom = static_cast<int32_t>(GetLe32(e + 20));
  // The bounds are inclusive.
  *width = right >= left ? right - left + 1 : 0;
  *height = bottom >= top ? bottom - top + 1 : 0;
  return true;
}

}  // namespace

bool CRasterImageWMF::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  const int64_t start = file->Tell();
  int64_t width = 0;
  int64_t height = 0;
  if (!PlaceableSize(file, &width, &height)) {
    if (!file->Seek(start, kRasterSeekSet) || !EnhancedSize(file, &width, &height)) {
      SetLastError(raster_error::kWmfCorrupted);
      return false;
    }
  }
  if (width == 0 || height == 0) {
    SetLastError(raster_error::kWmfEmpty);
    return false;
  }
  if (width > kMaxSide || height > kMaxSide) {
    if (width >= height) {
      height = height * kMaxSide / width;
      width = kMaxSide;
    } else {
      width = width * kMaxSide / height;
      height = kMaxSide;
    }
    width = width == 0 ? 1 : width;
    height = height == 0 ? 1 : height;
  }
  if (GetEscape() == kRasterEscapeSizeOnly) {
    SetHeaderSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    return true;
  }
  if (GetEscape() != 0) {
    SetLastError(raster_error::kCancelled);
    return false;
  }
  // No renderer for the drawing records on this platform.
  SetLastError(raster_error::kWmfCorrupted);
  return false;
}
