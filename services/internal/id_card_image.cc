#include "services/internal/id_card_image.h"

#include <cstring>

#include "image/raster_image.h"
#include "util/escape.h"
#include "util/text.h"

namespace tw::idcard {

namespace {

// Brings one decoded side to the card size. False when the picture could not be made.
bool Normalise(CRasterImage& side) {
  if (side.GetWidth() > kCardWidth) return side.Thumbnail(kCardWidth, kCardHeight, RasterRgb(255, 255, 255));
  if (side.GetWidth() < kCardWidth) return side.Resample(kCardWidth, kCardHeight, kRasterResampleBilinear);
  return true;  // exactly the card's width: kept, whatever its height
}

bool Stamp(CRasterImage& side, const WatermarkSettingsRecord& mark) {
  return side.DrawString(nullptr, kWatermarkX, kWatermarkY, mark.text, RasterRgb(mark.red, mark.green, mark.blue),
                         mark.font, mark.fontSize, mark.fontWeight, false, false, true, mark.transparency,
                         kWatermarkEscapement);
}

}  // namespace

int MakeCardJpeg(const uint8_t* side1, size_t length1, const uint8_t* side2, size_t length2,
                 const WatermarkSettingsRecord& mark, size_t maxBytes, JpegBytes* jpeg, size_t* length, int* drawn) {
  jpeg->reset();
  *length = 0;
  *drawn = 0;
  const uint8_t* files[2] = {side1, side2};
  const size_t lengths[2] = {length1, length2};
  const int refusals[2] = {kRcBadPicture1, kRcBadPicture2};
  CRasterImage sides[2];
  for (int i = 0; i < 2; ++i) {
    // A value of 4 GB or more cannot be a picture the request carried (1000000 characters at most).
    if (lengths[i] > UINT32_MAX ||
        !sides[i].DecodeForSize(files[i], static_cast<uint32_t>(lengths[i]), kRasterFormatUnknown, kCardWidth,
                                kCardHeight) ||
        !sides[i].IsValid()) {
      return refusals[i];
    }
  }
  for (CRasterImage& side : sides) {
    if (!Normalise(side)) return kRcEncodeFailed;
    if (Stamp(side, mark)) ++*drawn;
  }
  CRasterImage joined(kJoinedWidth, kCardHeight, 24, kRasterFormatJpg);
  if (!joined.IsValid()) return kRcNoJpeg;
  joined.MixFrom(sides[0], 0, 0);
  joined.MixFrom(sides[1], kCardWidth, 0);
  joined.SetJpegQuality(static_cast<uint8_t>(mark.quality < 1 ? 1 : mark.quality > 100 ? 100 : mark.quality));
  uint8_t* out = nullptr;
  int64_t size = 0;
  if (!joined.Encode(out, size, kRasterFormatJpg)) {
    std::free(out);
    return kRcEncodeFailed;
  }
  JpegBytes owned(out);
  if (out == nullptr || size <= 0 || static_cast<uint64_t>(size) > maxBytes) return kRcNoJpeg;
  *jpeg = std::move(owned);
  *length = static_cast<size_t>(size);
  return 0;
}

long DecodePictureField(char* raw, char* end) {
  *end = '\0';
  tw::ReplaceChar(raw, ' ', '+');
  char* w = raw;
  for (const char* r = raw; *r != '\0'; ++r) {
    if (r[0] == '\\' && r[1] == '/') continue;
    *w++ = *r;
  }
  *w = '\0';
  return tw::Base64DecodeInPlace(raw);
}

}  // namespace tw::idcard
