#pragma once
// Small stream helpers shared by the codecs.

#include <cstddef>
#include <cstdint>

#include "image/raster_file.h"

class CRasterImage;

namespace raster_internal {

// Bytes from the stream's position to its end, or -1 when the stream cannot tell.
[[nodiscard]] int64_t StreamRemaining(CRasterFile* file);

// Reads exactly `bytes` bytes. Returns false on a short read.
[[nodiscard]] bool ReadExact(CRasterFile* file, void* buffer, size_t bytes);

// Skips `bytes` bytes forward. Returns false when the stream cannot seek.
[[nodiscard]] bool Skip(CRasterFile* file, uint64_t bytes);

// Create for a decoder: on failure the picture keeps "RASTER_MAX_MEMORY exceeded" when that was the
// reason, and otherwise takes `text`. Returns false on failure.
[[nodiscard]] bool CreateForDecode(CRasterImage& image, uint32_t width, uint32_t height, uint32_t bpp,
                                   uint32_t type, const char* text);

// Byte-at-a-time reading through a 4096-byte buffer, for run-length data.
class StreamBytes {
 public:
  explicit StreamBytes(CRasterFile* file) : m_file(file) {}
  // Next(): the next byte, or -1 at the end of the stream.
  [[nodiscard]] int32_t Next() {
    if (m_pos == m_len) {
      m_len = m_file->Read(m_buf, 1, sizeof(m_buf));
      m_pos = 0;
      if (m_len == 0) {
        return -1;
      }
    }
    return m_buf[m_pos++];
  }

 private:
  CRasterFile* m_file;
  uint8_t m_buf[4096];
  size_t m_pos = 0;
  size_t m_len = 0;
};

}  // namespace raster_internal
