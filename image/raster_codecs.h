#pragma once
// The codec classes of the image library, one per format code. Each is a CRasterImage with its own
// Decode (stream) and Encode (stream); the dispatch of CRasterImage::Decode/Encode (raster_codec.cc)
// decodes into a codec object and transfers the result, and encodes through a ghost of the caller's
// picture, which the codecs never change.
//
// A later codec (GIF, TGA, PCX, WBMP, metafile, JPEG-2000) is added as a class here and one row of the
// format table in raster_codec.cc.

#include "image/raster_image.h"

class CRasterFile;

class CRasterImageBMP : public CRasterImage {
 public:
  CRasterImageBMP() : CRasterImage(kRasterFormatBmp) {}
  // Decode: a BMP file, or a bare bitmap info header with its data. Returns false with the text set.
  bool Decode(CRasterFile* file);
  // Encode: the file header and the whole pixel block as they are.
  bool Encode(CRasterFile* file);
};

class CRasterImageICO : public CRasterImage {
 public:
  CRasterImageICO() : CRasterImage(kRasterFormatIco) {}
  // Decode: the icon or cursor entry GetFrame() of the directory (the count goes to GetNumFrames()).
  bool Decode(CRasterFile* file);
  // Encode: one icon of at most 255 x 255 pixels.
  bool Encode(CRasterFile* file);
};

class CRasterImagePNG : public CRasterImage {
 public:
  CRasterImagePNG() : CRasterImage(kRasterFormatPng) {}
  bool Decode(CRasterFile* file);
  bool Encode(CRasterFile* file);
};

// JPEG codec options (the system sets none).
inline constexpr uint32_t kJpegEncodeBaseline = 0x1;
inline constexpr uint32_t kJpegEncodeOptimize = 0x4;
inline constexpr uint32_t kJpegEncodeProgressive = 0x10;
inline constexpr uint32_t kJpegDecodeGrayscale = 0x80;
inline constexpr uint32_t kJpegDecodeQuantize = 0x100;
inline constexpr uint32_t kJpegDecodeDither = 0x200;
inline constexpr uint32_t kJpegDecodeOnePass = 0x400;
inline constexpr uint32_t kJpegDecodeNoSmooth = 0x800;

// The JPEG section reader and EXIF record (CRasterExifInfo) of a later piece plug in at the start of
// Decode (sections read, the stream put back, EXIF resolution preferred to the JFIF density) and at the
// end of Encode (kept sections written back around the new image data).
class CRasterImageJPG : public CRasterImage {
 public:
  CRasterImageJPG() : CRasterImage(kRasterFormatJpg) {}
  bool Decode(CRasterFile* file);
  // Encode: 24-bit pictures as YCbCr, greyscale palette pictures as one grey component.
  bool Encode(CRasterFile* file);
};
