// libFuzzer targets of the image library periphery, one program per build-time choice:
//   TW_FUZZ_FORMAT n  decodes the input with format code n and, when that succeeds, encodes the
//                     picture again in its own format and as GIF and TGA, and fits and resamples it;
//   TW_FUZZ_EXIF      reads the input's JPEG sections and parses it as an EXIF block, and writes the
//                     EXIF sections of a good JPEG around it;
//   TW_FUZZ_TEXT      draws the input as text (its first 8 bytes choose the place, face, size, weight,
//                     style, opacity and escapement) on small pictures.
// Uploads are hostile: nothing here may read or write outside a buffer or run away.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/raster_exif.h"
#include "image/raster_file.h"
#include "image/raster_image.h"

namespace {

// Pictures beyond this are decoded but not worked on further (the fuzzer's time goes to decoding).
constexpr uint64_t kMaxWorkPixels = 1 << 20;
// Files whose header names a picture beyond this are only asked for their size: decoding tens of
// millions of pixels under the sanitizers takes seconds and teaches the fuzzer nothing new.
constexpr uint64_t kMaxDecodePixels = 1 << 22;

void EncodeAndFree(CRasterImage& img, uint32_t type) {
  uint8_t* out = nullptr;
  int64_t size = 0;
  if (img.Encode(out, size, type)) {
    std::free(out);
  }
}

[[maybe_unused]] void FuzzDecode(const uint8_t* data, size_t size, uint32_t format) {
  CRasterImage probe;
  probe.SetEscape(kRasterEscapeSizeOnly);
  if (probe.Decode(data, static_cast<uint32_t>(size), format) &&
      static_cast<uint64_t>(probe.GetHeaderWidth()) * probe.GetHeaderHeight() > kMaxDecodePixels) {
    return;
  }
  CRasterImage img(data, static_cast<uint32_t>(size), format);
  if (!img.IsValid() || static_cast<uint64_t>(img.GetWidth()) * img.GetHeight() > kMaxWorkPixels) {
    return;
  }
  EncodeAndFree(img, img.GetType());
  EncodeAndFree(img, kRasterFormatGif);
  EncodeAndFree(img, kRasterFormatTga);
  CRasterImage fitted;
  img.Thumbnail(30, 20, RasterRgb(255, 255, 255), &fitted);
  CRasterImage scaled;
  img.Resample(7, 5, kRasterResampleBicubic, &scaled);
  CRasterImage canvas(40, 30, 24, 0);
  canvas.MixFrom(img, -3, 2);
}

[[maybe_unused]] void FuzzExif(const uint8_t* data, size_t size) {
  CRasterMemFile in(const_cast<uint8_t*>(data), size);
  CRasterExifInfo sections;
  sections.DecodeExif(&in, kExifReadAll);
  CRasterExifInfo block;
  block.ProcessExif(data, static_cast<uint32_t>(size > UINT32_MAX ? UINT32_MAX : size));
  // The kept sections of the input written around the input itself as the fresh file.
  CRasterMemFile out;
  if (out.Open()) {
    CRasterExifInfo writer(sections);
    writer.EncodeExif(&out, data, size);
  }
}

[[maybe_unused]] void FuzzText(const uint8_t* data, size_t size) {
  constexpr size_t kHead = 8;
  if (size < kHead) {
    return;
  }
  static const char* const kFaces[] = {"黑体", "宋体", "NoSuchFace", ""};
  const int64_t x = static_cast<int8_t>(data[0]);
  const int64_t y = static_cast<int8_t>(data[1]);
  const char* face = kFaces[data[2] % 4];
  const int32_t height = static_cast<int8_t>(data[3]);
  const int32_t weight = data[4] * 4;
  const uint8_t flags = data[5];
  const float opacity = data[6] / 255.0f;
  const int32_t escapement = static_cast<int8_t>(data[7]) * 15;
  const std::string text(reinterpret_cast<const char*>(data + kHead), size - kHead);
  CRasterImage img(120, 80, (flags & 8) != 0 ? 8 : 24, 0);
  if ((flags & 8) != 0) {
    img.SetGrayPalette();
  }
  if ((flags & 16) != 0) {
    img.AlphaCreate();
  }
  img.DrawString(nullptr, x, y, text.c_str(), RasterRgb(data[6], data[4], data[3]), face, height, weight,
                 (flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0, opacity, escapement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) {
    return 0;
  }
#if defined(TW_FUZZ_EXIF)
  FuzzExif(data, size);
#elif defined(TW_FUZZ_TEXT)
  FuzzText(data, size);
#else
  FuzzDecode(data, size, TW_FUZZ_FORMAT);
#endif
  return 0;
}
