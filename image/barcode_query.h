#pragma once
// The drawing steps of the barcode command ("DoBarCode"): from its six query parameters to the
// picture bytes it sends, or to its refusal "E!". The command itself adds the headers
// "Content-Type: image/<type>", "Accept-Ranges: bytes" and "Content-Length" and streams the bytes;
// a refusal is sent as the bare two characters, with no header of its own.

#include <cstdint>
#include <string_view>

#include "image/barcode_image.h"

// The body the barcode command answers when the text cannot be drawn.
inline constexpr std::string_view kBarcodeRefusal = "E!";

// "ntype" parts: 1000 and more asks for PNG; then, modulo 1000, 100 and more hides the text band,
// and modulo 100: 1 Interleaved 2 of 5 (Code 128 when that fails), 2 GS1-128, else Code 128.
inline constexpr int32_t kBarcodeTypePng = 1000;
inline constexpr int32_t kBarcodeTypeHideText = 100;
inline constexpr int32_t kBarcodeTypeInterleaved2of5 = 1;
inline constexpr int32_t kBarcodeTypeGs1 = 2;

// The query parameters, with the command's defaults.
struct BarcodeQuery {
  std::string_view ccode;  // text to encode
  int32_t ih = 30;         // bar height in rows
  int32_t iwz = 1;         // module width; only 2 to 8 replace the renderer's default
  int32_t idir = 0;        // orientation
  int32_t ntype = 0;       // symbology and options
  std::string_view cmask;  // Code 128 code-set plan
};

// What the command sends: the bytes (pointing into the CBarcodeImage, or at kBarcodeRefusal) and
// the image type "png" or "bmp" for the Content-Type header, null for the refusal.
struct BarcodeAnswer {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  const char* imageType = nullptr;
};

// RenderBarcodeQuery draws the picture the query asks for into `image` and returns what to send.
// REQUIRES: `image` outlives the use of the answer's bytes. Never fails otherwise: a text that
// cannot be drawn gives the "E!" answer.
[[nodiscard]] BarcodeAnswer RenderBarcodeQuery(const BarcodeQuery& query, CBarcodeImage& image);
