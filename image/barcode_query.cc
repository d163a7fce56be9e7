#include "image/barcode_query.h"

BarcodeAnswer RenderBarcodeQuery(const BarcodeQuery& query, CBarcodeImage& image) {
  int32_t type = query.ntype;
  const bool png = type >= kBarcodeTypePng;
  if (png) {
    type %= kBarcodeTypePng;
  }
  if (query.iwz > 1 && query.iwz <= kBarcodeMaxModuleWidth) {
    image.SetModuleWidth(query.iwz);
  }
  const bool hideText = type >= kBarcodeTypeHideText;
  const int32_t symbology = type % kBarcodeTypeHideText;

  int drawn = 0;
  if (symbology == kBarcodeTypeInterleaved2of5) {
    drawn = image.EncodeInterleaved2of5(query.ccode, query.ih, hideText, query.idir);
  } else if (symbology == kBarcodeTypeGs1) {
    image.SetGs1Mode(true, false);
  }
  if (drawn == 0) {
    drawn = image.EncodeCode128(query.ccode, query.ih, hideText, query.cmask, query.idir);
  }
  if (drawn == 0) {
    return BarcodeAnswer{reinterpret_cast<const uint8_t*>(kBarcodeRefusal.data()),
                         static_cast<uint32_t>(kBarcodeRefusal.size()), nullptr};
  }
  if (png) {
    (void)image.ConvertToPng(nullptr);  // on failure the picture stays BMP
  }
  return BarcodeAnswer{image.FileImage(), image.FileLength(), image.IsPng() ? "png" : "bmp"};
}
