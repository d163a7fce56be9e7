// Feeds arbitrary texts, plans and parameters to the barcode renderer the way the barcode command
// does (the query is untrusted): nothing may crash, write outside the file buffer or leave a file
// image whose headers disagree with its length.
//
// Input: 4 parameter bytes (bar height, module width, orientation, type), then the text, a 0 byte,
// then the plan.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "image/barcode_image.h"
#include "image/barcode_query.h"

namespace {

[[nodiscard]] uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void CheckPicture(const CBarcodeImage& image) {
  const uint32_t length = image.FileLength();
  if (length == 0 || image.IsPng()) {
    return;
  }
  const uint8_t* f = image.FileImage();
  const uint32_t stride = (image.Width() + 31) / 32 * 4;
  if (length > kBarcodeFileCapacity || f[0] != 'B' || f[1] != 'M' || Le32(f + 2) != length ||
      Le32(f + 18) != image.Width() || Le32(f + 22) != image.Rows() ||
      62u + static_cast<uint64_t>(stride) * image.Rows() != length) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) {
    return 0;
  }
  const int barHeight = static_cast<int8_t>(data[0]) * 3;
  const int moduleWidth = data[1] % 11 - 1;
  const int orientation = data[2] % 6 - 1;
  const uint8_t type = data[3];
  std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);
  const size_t split = rest.find('\0');
  std::string_view text = rest.substr(0, split);
  std::string_view plan = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);

  CBarcodeImage direct;
  direct.SetModuleWidth(moduleWidth);
  direct.SetGs1Mode((type & 1) != 0, (type & 2) != 0);
  if ((type & 4) != 0) {
    (void)direct.EncodeInterleaved2of5(text, barHeight, (type & 8) != 0, orientation);
  } else {
    (void)direct.EncodeCode128(text, barHeight, (type & 8) != 0, plan, orientation);
  }
  CheckPicture(direct);

  CBarcodeImage door;
  BarcodeQuery query;
  query.ccode = text;
  query.cmask = plan;
  query.ih = barHeight;
  query.iwz = moduleWidth;
  query.idir = orientation;
  query.ntype = (type & 16) != 0 ? 1000 + type % 3 + ((type & 8) != 0 ? 100 : 0) : type % 3;
  BarcodeAnswer answer = RenderBarcodeQuery(query, door);
  if (answer.size == 0 || answer.size > kBarcodeFileCapacity) {
    std::abort();
  }
  CheckPicture(door);
  return 0;
}
