#pragma once
// Little-endian fields of the Windows bitmap structures, read and written byte by byte so that the
// layout never depends on the host's integer sizes or byte order.

#include <cstdint>

#include "image/raster_image.h"

namespace raster_internal {

[[nodiscard]] inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
[[nodiscard]] inline uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The 40 bytes of a BITMAPINFOHEADER.
inline void PutInfoHeader(uint8_t* p, const RasterInfoHeader& h) {
  PutLe32(p + 0, h.biSize);
  PutLe32(p + 4, static_cast<uint32_t>(h.biWidth));
  PutLe32(p + 8, static_cast<uint32_t>(h.biHeight));
  PutLe16(p + 12, h.biPlanes);
  PutLe16(p + 14, h.biBitCount);
  PutLe32(p + 16, h.biCompression);
  PutLe32(p + 20, h.biSizeImage);
  PutLe32(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  PutLe32(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  PutLe32(p + 32, h.biClrUsed);
  PutLe32(p + 36, h.biClrImportant);
}

[[nodiscard]] inline RasterInfoHeader GetInfoHeader(const uint8_t* p) {
  RasterInfoHeader h;
  h.biSize = GetLe32(p + 0);
  h.biWidth = static_cast<int32_t>(GetLe32(p + 4));
  h.biHeight = static_cast<int32_t>(GetLe32(p + 8));
  h.biPlanes = GetLe16(p + 12);
  h.biBitCount = GetLe16(p + 14);
  h.biCompression = GetLe32(p + 16);
  h.biSizeImage = GetLe32(p + 20);
  h.biXPelsPerMeter = static_cast<int32_t>(GetLe32(p + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(GetLe32(p + 28));
  h.biClrUsed = GetLe32(p + 32);
  h.biClrImportant = GetLe32(p + 36);
  return h;
}

// Pixels per metre of a resolution in dots per inch, and back.
[[nodiscard]] inline int32_t DpiToPpm(int32_t dpi) {
  constexpr double kInchesPerMetre = 39.37007874015748;
  const double v = dpi * kInchesPerMetre + 0.5;
  return v < 0 ? 0 : static_cast<int32_t>(v);
}
[[nodiscard]] inline int32_t PpmToDpi(int32_t ppm) {
  constexpr double kMetresPerInch = 0.0254;
  const double v = ppm * kMetresPerInch + 0.5;
  return v < 0 ? 0 : static_cast<int32_t>(v);
}

}  // namespace raster_internal
