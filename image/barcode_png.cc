// CBarcodeImage::ConvertToPng: the drawn BMP goes through the image library (format detection,
// then the PNG codec) and the PNG bytes replace it in the file buffer.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/barcode_image.h"
#include "image/raster_image.h"

namespace {

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};

// Writes the bytes to `path` (created or truncated). Returns true when all were written and closed.
[[nodiscard]] bool WriteFileBytes(const char* path, const uint8_t* data, uint32_t size) {
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) {
    return false;
  }
  const bool written = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

}  // namespace

int CBarcodeImage::ConvertToPng(const char* path) {
  if (fileLength_ == 0 || isPng_) {
    return 0;
  }
  CRasterImage picture(file_, fileLength_, kRasterFormatUnknown);
  if (!picture.IsValid()) {
    return 0;
  }
  uint8_t* block = nullptr;
  int64_t size = 0;
  const bool encoded = picture.Encode(block, size, kRasterFormatPng);
  std::unique_ptr<uint8_t, FreeDeleter> png(block);
  if (!encoded || png == nullptr || size < 1 || size > static_cast<int64_t>(kBarcodeFileCapacity)) {
    return 0;  // the BMP stays
  }
  const uint32_t length = static_cast<uint32_t>(size);
  // The file comes first: when it cannot be written the caller keeps the BMP and learns of it.
  if (path != nullptr && !WriteFileBytes(path, png.get(), length)) {
    return 0;
  }
  std::memcpy(file_, png.get(), length);
  fileLength_ = length;
  isPng_ = true;
  return 1;
}
