// What an untrusted client sends as ID-card pictures and names: the bytes are split in two (the
// first byte says where) and taken as the two sides of a card through the whole picture work; the
// same bytes are decoded as a picture value of the request and made safe and into an account as a
// name. Nothing may read or write outside the given bytes; a card that comes out is 610 x 195.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/config.h"
#include "image/raster_image.h"
#include "services/internal/client_id_text.h"
#include "services/internal/id_card_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t split = 1 + (size - 1) * data[0] / 255;
  const uint8_t* sides = data + 1;
  tw::idcard::JpegBytes jpeg;
  size_t length = 0;
  int drawn = 0;
  const WatermarkSettingsRecord mark;
  if (tw::idcard::MakeCardJpeg(sides, split - 1, sides + (split - 1), size - split, mark, 2097152, &jpeg, &length,
                               &drawn) == 0) {
    CRasterImage card;
    if (!card.Decode(jpeg.get(), static_cast<uint32_t>(length), kRasterFormatJpg) || card.GetWidth() != 610 ||
        card.GetHeight() != 195) {
      std::abort();
    }
  }

  // The request's picture value runs to its closing quote.
  std::string value(reinterpret_cast<const char*>(data), size);
  value += '"';
  const long count = tw::idcard::DecodePictureField(value.data(), value.data() + size);
  if (count > static_cast<long>(size)) std::abort();

  std::string name(reinterpret_cast<const char*>(data), size);
  name = name.c_str();  // up to the first NUL, as the request reader hands it over
  tw::clientid::MakeGbkSafe(name.data());
  char account[tw::clientid::kAccountBytes];
  tw::clientid::MakeAccount(name.c_str(), account);
  return 0;
}
