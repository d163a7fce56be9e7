// BMP codec: Windows bitmaps with 1, 4, 8, 16, 24 or 32 bits per pixel, uncompressed, RLE8, RLE4 or
// with bit fields; also a bare bitmap info header followed by its data.
//
// Every size and count in a BMP file is untrusted: the info header's size, depth, compression and
// colour count are checked, uncompressed data must be present in the stream before the picture is
// allocated, and run-length codes never write outside the picture.

#include <cstdlib>
#include <cstring>

#include "image/internal/raster_le.h"
#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

using raster_internal::GetLe16;
using raster_internal::GetLe32;
using raster_internal::PutLe16;
using raster_internal::PutLe32;
using raster_internal::ReadExact;
using raster_internal::Skip;

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kOs2HeaderSize = 64;
constexpr uint32_t kOs2HeaderExtra = 24;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kMask555Red = 0x7C00;
constexpr uint32_t kMask555Green = 0x03E0;
constexpr uint32_t kMask555Blue = 0x001F;
constexpr uint32_t kMask888Red = 0x00FF0000;
constexpr uint32_t kMask888Green = 0x0000FF00;
constexpr uint32_t kMask888Blue = 0x000000FF;

// Reads the info header at the stream's position into `h` (a core header is widened). `core` tells
// which palette entry size follows. Returns false when it is short or refused.
bool ReadInfoHeader(CRasterFile* file, RasterInfoHeader* h, bool* core) {
  uint8_t buf[kRasterInfoHeaderSize] = {};
  if (!ReadExact(file, buf, 4)) {
    return false;
  }
  const uint32_t size = GetLe32(buf);
  *core = false;
  if (size == kCoreHeaderSize) {
    if (!ReadExact(file, buf + 4, kCoreHeaderSize - 4)) {
      return false;
    }
    *h = RasterInfoHeader{};
    h->biSize = size;
    h->biWidth = GetLe16(buf + 4);
    h->biHeight = static_cast<int16_t>(GetLe16(buf + 6));
    h->biPlanes = GetLe16(buf + 8);
    h->biBitCount = GetLe16(buf + 10);
    *core = true;
    return true;
  }
  if (size < kRasterInfoHeaderSize || !ReadExact(file, buf + 4, kRasterInfoHeaderSize - 4)) {
    return false;
  }
  *h = raster_internal::GetInfoHeader(buf);
  if (size == kRasterInfoHeaderSize) {
    return true;
  }
  if (size == kOs2HeaderSize) {
    return Skip(file, kOs2HeaderExtra);
  }
  // Any other (longer) header is taken only when its first 40 bytes describe a plain bitmap.
  const uint64_t expected =
      (static_cast<uint64_t>(h->biBitCount) * static_cast<uint32_t>(h->biWidth) + 31) / 32 * 4 *
      static_cast<uint64_t>(h->biHeight < 0 ? -static_cast<int64_t>(h->biHeight) : h->biHeight);
  if (h->biSizeImage != expected || h->biPlanes != 1 || h->biCompression != kBiRgb || h->biClrUsed != 0) {
    return false;
  }
  return Skip(file, size - kRasterInfoHeaderSize);
}

[[nodiscard]] bool SupportedDepth(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Decodes RLE8 or RLE4 data into `img`, bottom row first. Runs stop at the row's end, literal pixels
// past it are dropped, and a delta may not leave the picture. Returns false when the data ends before
// the picture is complete or a delta is out of range.
bool DecodeRle(CRasterImage& img, CRasterFile* file, bool rle4) {
  raster_internal::StreamBytes in(file);
  const int64_t width = img.GetWidth();
  const int64_t height = img.GetHeight();
  uint8_t* bits = img.GetBits(0);
  const size_t rowBytes = img.GetEffWidth();
  int64_t x = 0;
  int64_t y = 0;
  auto put = [&](uint8_t v) {
    if (x < width && y < height) {
      if (rle4) {
        img.SetPixelIndex(x, y, v);
      } else {
        bits[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x)] = v;
      }
    }
    if (x < width) {
      ++x;
    }
  };
  for (;;) {
    const int32_t n = in.Next();
    const int32_t v = in.Next();
    if (n < 0 || v < 0) {
      return y >= height;
    }
    if (n > 0) {
      for (int32_t i = 0; i < n && x < width; ++i) {
        if (rle4) {
          put((i & 1) != 0 ? static_cast<uint8_t>(v & 0x0F) : static_cast<uint8_t>(v >> 4));
        } else {
          put(static_cast<uint8_t>(v));
        }
      }
      continue;
    }
    switch (v) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return true;
      case 2: {  // delta
        const int32_t dx = in.Next();
        const int32_t dy = in.Next();
        if (dx < 0 || dy < 0) {
          return false;
        }
        x += dx;
        y += dy;
        if (x > width || y > height) {
          return false;
        }
        break;
      }
      default: {  // v literal pixels
        const int32_t bytes = rle4 ? (v + 1) / 2 : v;
        for (int32_t i = 0; i < bytes; ++i) {
          const int32_t b = in.Next();
          if (b < 0) {
            return false;
          }
          if (rle4) {
            put(static_cast<uint8_t>(b >> 4));
            if (i * 2 + 1 < v) {
              put(static_cast<uint8_t>(b & 0x0F));
            }
          } else {
            put(static_cast<uint8_t>(b));
          }
        }
        if ((bytes & 1) != 0 && in.Next() < 0) {
          return y >= height;
        }
        break;
      }
    }
  }
}

}  // namespace

bool CRasterImageBMP::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  const int64_t start = file->Tell();
  uint8_t fh[kFileHeaderSize];
  if (!ReadExact(file, fh, sizeof(fh))) {
    SetLastError(raster_error::kBmpNotBmp);
    return false;
  }
  uint64_t offBits = 0;
  if (fh[0] == 'B' && fh[1] == 'M') {
    offBits = GetLe32(fh + 10);
  } else if (!file->Seek(start, kRasterSeekSet)) {
    SetLastError(raster_error::kBmpNotBmp);
    return false;
  }

  RasterInfoHeader h;
  bool core = false;
  if (!ReadInfoHeader(file, &h, &core) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
      !SupportedDepth(h.biBitCount) || (core && h.biBitCount > 8 && h.biBitCount != 24)) {
    SetLastError(raster_error::kBmpInfo);
    return false;
  }
  const uint32_t bits = h.biBitCount;
  const uint32_t width = static_cast<uint32_t>(h.biWidth);
  const bool topDown = h.biHeight < 0;
  const uint32_t height = static_cast<uint32_t>(topDown ? -static_cast<int64_t>(h.biHeight) : h.biHeight);
  const uint32_t compression = h.biCompression;
  uint32_t colours = h.biClrUsed;
  if (bits <= 8) {
    const uint32_t entries = 1u << bits;
    if (colours == 0) {
      colours = entries;
    } else if (colours > entries) {
      SetLastError(raster_error::kBmpInfo);
      return false;
    }
  }

  // Compression by depth, refused before anything is allocated.
  bool rle = false;
  if (bits <= 8) {
    if (compression == kBiRle8 && bits == 8) {
      rle = true;
    } else if (compression == kBiRle4 && bits == 4) {
      rle = true;
    } else if (compression != kBiRgb) {
      SetLastError(raster_error::kBmpCompression);
      return false;
    }
  } else if (bits == 24 ? compression != kBiRgb : (compression != kBiRgb && compression != kBiBitfields)) {
    SetLastError(raster_error::kBmpUnknownCompression);
    return false;
  }

  if (GetEscape() == kRasterEscapeSizeOnly) {
    SetHeaderSize(width, height);
    return true;
  }

  // Channel masks of 16- and 32-bit data follow the header.
  uint32_t masks[3] = {bits == 16 ? kMask555Red : kMask888Red, bits == 16 ? kMask555Green : kMask888Green,
                       bits == 16 ? kMask555Blue : kMask888Blue};
  if (bits > 8 && bits != 24 && compression == kBiBitfields) {
    uint8_t mb[12];
    if (!ReadExact(file, mb, sizeof(mb))) {
      SetLastError(raster_error::kBmpTruncated);
      return false;
    }
    masks[0] = GetLe32(mb);
    masks[1] = GetLe32(mb + 4);
    masks[2] = GetLe32(mb + 8);
  }

  // The palette (a core header has 3-byte entries).
  const uint32_t entryBytes = core ? 3 : 4;
  RasterQuad palette[256] = {};
  if (bits <= 8) {
    uint8_t raw[256 * 4];
    if (!ReadExact(file, raw, static_cast<size_t>(colours) * entryBytes)) {
      SetLastError(raster_error::kBmpTruncated);
      return false;
    }
    for (uint32_t i = 0; i < colours; ++i) {
      palette[i] = RasterRgb(raw[i * entryBytes + 2], raw[i * entryBytes + 1], raw[i * entryBytes]);
    }
  } else if (colours > 0 && !Skip(file, static_cast<uint64_t>(colours) * entryBytes)) {
    SetLastError(raster_error::kBmpTruncated);
    return false;
  }

  if (offBits != 0 && !file->Seek(start + static_cast<int64_t>(offBits), kRasterSeekSet)) {
    SetLastError(raster_error::kBmpTruncated);
    return false;
  }

  // Uncompressed data must all be there before the picture is allocated.
  uint64_t dataBytes = 0;
  if (bits == 16) {
    dataBytes = (static_cast<uint64_t>(width) + 1) / 2 * 4 * height;
  } else if (bits == 32) {
    dataBytes = static_cast<uint64_t>(width) * 4 * height;
  } else if (!rle) {
    dataBytes = CRasterImage::ImageBytes(width, height, bits);
  }
  if (!CRasterImage::FitsMemoryLimit(width, height, bits) || dataBytes > kRasterMaxImageBytes * 2) {
    SetLastError(raster_error::kMaxMemory);
    return false;
  }
  const int64_t remaining = raster_internal::StreamRemaining(file);
  if (remaining >= 0 && static_cast<uint64_t>(remaining) < (rle ? 2 : dataBytes)) {
    SetLastError(raster_error::kBmpTruncated);
    return false;
  }

  if (!raster_internal::CreateForDecode(*this, width, height, bits, kRasterFormatBmp, raster_error::kBmpAlloc)) {
    return false;
  }
  SetXDPI(raster_internal::PpmToDpi(h.biXPelsPerMeter));
  SetYDPI(raster_internal::PpmToDpi(h.biYPelsPerMeter));
  if (GetEscape() != 0) {
    SetLastError(raster_error::kCancelled);
    return false;
  }
  if (bits <= 8) {
    SetPalette(palette, colours);
  }

  if (rle) {
    if (!DecodeRle(*this, file, compression == kBiRle4)) {
      SetLastError(raster_error::kBmpRle);
      return false;
    }
  } else if (bits == 16 || bits == 32) {
    auto* raw = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(dataBytes)));
    if (raw == nullptr) {
      SetLastError(raster_error::kBmpTempAlloc);
      return false;
    }
    const bool ok = ReadExact(file, raw, static_cast<size_t>(dataBytes)) &&
                    Bitfield2RGB(raw, dataBytes, masks[0], masks[1], masks[2], bits);
    std::free(raw);
    if (!ok) {
      SetLastError(raster_error::kBmpTruncated);
      return false;
    }
  } else if (!ReadExact(file, GetBits(0), static_cast<size_t>(dataBytes))) {
    SetLastError(raster_error::kBmpTruncated);
    return false;
  }

  if (topDown && !Flip()) {
    SetLastError(raster_error::kBmpAlloc);
    return false;
  }
  return true;
}

bool CRasterImageBMP::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  const uint32_t paletteBytes = GetPaletteSize();
  const uint64_t fileSize = static_cast<uint64_t>(kFileHeaderSize) + kRasterInfoHeaderSize + paletteBytes +
                            GetImageSize();
  uint8_t head[kFileHeaderSize + kRasterInfoHeaderSize];
  head[0] = 'B';
  head[1] = 'M';
  PutLe32(head + 2, static_cast<uint32_t>(fileSize));
  PutLe16(head + 6, 0);
  PutLe16(head + 8, 0);
  PutLe32(head + 10, kFileHeaderSize + kRasterInfoHeaderSize + paletteBytes);
  raster_internal::PutInfoHeader(head + kFileHeaderSize, GetInfoHeader());
  const size_t body = static_cast<size_t>(paletteBytes) + GetImageSize();
  if (file->Write(head, 1, sizeof(head)) != sizeof(head) ||
      file->Write(GetDIB() + kRasterInfoHeaderSize, 1, body) != body) {
    SetLastError(raster_error::kWriteError);
    return false;
  }
  return true;
}
