#pragma once
// The codec classes of the image library, one per format code. Each is a CRasterImage with its own
// Decode (stream) and Encode (stream); the dispatch of CRasterImage::Decode/Encode (raster_codec.cc)
// decodes into a codec object and transfers the result, and encodes through a ghost of the caller's
// picture, which the codecs never change.
//
// Each codec is a class here and one row of the format table in raster_codec.cc, which keeps the order
// in which detection tries them.

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

// Decode reads the marker sections first (CRasterExifInfo, raster_exif.h) and puts the stream back;
// the picture keeps them and prefers the EXIF resolution to the JFIF density. Encode writes a
// picture's kept EXIF and comment sections back around the new image data.
class CRasterImageJPG : public CRasterImage {
 public:
  CRasterImageJPG() : CRasterImage(kRasterFormatJpg) {}
  bool Decode(CRasterFile* file);
  // Encode: 24-bit pictures as YCbCr, greyscale palette pictures as one grey component.
  bool Encode(CRasterFile* file);
};

// GIF codec options: how the pixel data is coded (the system uses LZW).
inline constexpr uint32_t kGifCodeLzw = 0;
inline constexpr uint32_t kGifCodeUncompressed = 1;
inline constexpr uint32_t kGifCodeRunLength = 2;

// GIF: single and animated files. Decode gives frame GetFrame() combined with the frames before it
// (GetNumFrames() tells how many there are); Encode writes palette pictures as one image and 24-bit
// pictures as tiles of 17 x 15 pixels, each with its own palette.
class CRasterImageGIF : public CRasterImage {
 public:
  CRasterImageGIF() : CRasterImage(kRasterFormatGif) {}
  bool Decode(CRasterFile* file);
  bool Encode(CRasterFile* file);

  // What the last decode found, and what an encode writes.
  [[nodiscard]] uint8_t GetDisposalMethod() const { return m_disposal; }
  void SetDisposalMethod(uint8_t method) { m_disposal = method; }
  [[nodiscard]] uint16_t GetFrameDelay() const { return m_delay; }
  void SetFrameDelay(uint16_t delay) { m_delay = delay; }
  [[nodiscard]] int32_t GetLoops() const { return m_loops; }
  [[nodiscard]] const char* GetComment() const { return m_comment; }
  // SetComment: at most 255 bytes are kept.
  void SetComment(const char* text);
  void SetOffset(uint16_t left, uint16_t top) {
    m_left = left;
    m_top = top;
  }

 private:
  uint8_t m_disposal = 0;
  uint16_t m_delay = 0;
  int32_t m_loops = 0;
  uint16_t m_left = 0;
  uint16_t m_top = 0;
  char m_comment[256] = {};
};

// TGA: colour-mapped, true-colour and grey files, plain or run-length coded. The format has no magic
// number, so the header is checked strictly before anything is read.
class CRasterImageTGA : public CRasterImage {
 public:
  CRasterImageTGA() : CRasterImage(kRasterFormatTga) {}
  bool Decode(CRasterFile* file);
  // Encode: 8-bit pictures with their palette, 24-bit ones (32 with an alpha plane), bottom-up.
  bool Encode(CRasterFile* file);
};

// PCX: 1, 2, 4 and 8 bits in up to 4 planes, run-length coded.
class CRasterImagePCX : public CRasterImage {
 public:
  CRasterImagePCX() : CRasterImage(kRasterFormatPcx) {}
  bool Decode(CRasterFile* file);
  bool Encode(CRasterFile* file);
};

// WBMP (type 0): 1-bit pictures. No magic number either: the header and the exact data length are
// checked.
class CRasterImageWBMP : public CRasterImage {
 public:
  CRasterImageWBMP() : CRasterImage(kRasterFormatWbmp) {}
  bool Decode(CRasterFile* file);
  // Encode: 1-bit pictures below 256 x 256 pixels.
  bool Encode(CRasterFile* file);
};

// Windows metafiles (placeable WMF and EMF). Without a metafile renderer on this platform a decode
// checks the headers and answers the size query (escape -1), and a full decode is refused with
// "corrupted WMF". Never encoded ("Save WMF not supported").
class CRasterImageWMF : public CRasterImage {
 public:
  CRasterImageWMF() : CRasterImage(kRasterFormatWmf) {}
  bool Decode(CRasterFile* file);
};

// The JPEG-2000 family, codes 10-14: jp2 and jpc through OpenJPEG, pgx, pnm and ras (Sun raster) by
// small codecs of ours. Decode detects among the five whatever the code; three (or four) components of
// one size give a 24-bit picture (the fourth an alpha plane), any other layout one grey frame per
// component. Encode writes the format of the picture's code (8-bit greyscale or 24-bit pictures).
class CRasterImageJAS : public CRasterImage {
 public:
  // `target`: the format code (10-14) an Encode writes.
  explicit CRasterImageJAS(uint32_t target = kRasterFormatJp2) : CRasterImage(kRasterFormatJp2), m_target(target) {}
  bool Decode(CRasterFile* file);
  bool Encode(CRasterFile* file);

 private:
  uint32_t m_target;
};
