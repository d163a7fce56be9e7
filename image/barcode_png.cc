#include "image/barcode_image.h"

int CBarcodeImage::ConvertToPng(const char* path) {
  (void)path;
  return 0;
}
