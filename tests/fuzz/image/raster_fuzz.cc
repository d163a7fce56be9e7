// libFuzzer target of the image codecs: decodes the input with the format code given at build time
// (0 = detection) and, when that succeeds, encodes the picture again as PNG and BMP, so that both
// directions run on whatever a hostile upload can produce.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "image/raster_file.h"
#include "image/raster_image.h"

#ifndef TW_FUZZ_FORMAT
#define TW_FUZZ_FORMAT 0
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) {
    return 0;
  }
  CRasterImage img(data, static_cast<uint32_t>(size), TW_FUZZ_FORMAT);
  if (!img.IsValid()) {
    return 0;
  }
  for (uint32_t type : {kRasterFormatPng, kRasterFormatBmp}) {
    uint8_t* out = nullptr;
    int64_t outSize = 0;
    if (img.Encode(out, outSize, type)) {
      std::free(out);
    }
  }
  return 0;
}
