// ICO codec: Windows icons and cursors (one entry of the directory is decoded; one is written).
//
// The directory, the entry's offset, its bitmap header and the AND mask are all untrusted: the entry
// must exist, its data must be in the stream before the picture is allocated, and the mask is read
// into its own block of exactly the size the picture needs.

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

namespace {

constexpr uint32_t kDirHeaderSize = 6;
constexpr uint32_t kDirEntrySize = 16;
constexpr uint16_t kTypeIcon = 1;
constexpr uint16_t kTypeCursor = 2;
constexpr uint32_t kMaxIconSide = 255;

[[nodiscard]] uint64_t MaskRowBytes(uint64_t width) { return (width + 31) / 32 * 4; }

[[nodiscard]] bool MaskBit(const uint8_t* mask, uint64_t maskRow, uint32_t x, uint32_t y) {
  return ((mask[y * maskRow + (x >> 3)] >> (7 - (x & 7u))) & 1u) != 0;
}

// Applies the AND mask to a decoded icon (see the codec header for the rules).
void ApplyMask(CRasterImage& img, const uint8_t* mask, uint64_t maskBytes, uint32_t sourceBits) {
  const uint32_t width = img.GetWidth();
  const uint32_t height = img.GetHeight();
  const uint64_t maskRow = MaskRowBytes(width);
  bool allSet = true;
  for (uint64_t i = 0; i < maskBytes && allSet; ++i) {
    allSet = mask[i] == 0xFF;
  }
  if (allSet) {
    img.SetTransIndex(0);
    img.Negative();
    return;
  }
  const bool hadAlpha = img.AlphaIsValid();
  if (!img.AlphaCreate()) {
    return;
  }
  uint64_t masked = 0;
  bool sameColour = true;
  RasterQuad first;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      if (!MaskBit(mask, maskRow, x, y)) {
        continue;
      }
      img.AlphaSet(x, y, 0);
      const RasterQuad c = img.GetPixelColor(x, y, false);
      if (masked == 0) {
        first = c;
      } else if (!(c == first)) {
        sameColour = false;
      }
      ++masked;
    }
  }
  if (masked == 0 && !hadAlpha) {
    img.AlphaDelete();
  }
  if (sourceBits == 24) {
    if (masked > 0 && sameColour) {
      img.SetTransColor(first);
      img.SetTransIndex(0);
      img.AlphaDelete();
    }
    return;
  }
  if (sourceBits > 24) {
    return;  // 32-bit icons keep their alpha plane
  }
  // Palette icons: masked pixels take the lowest unused index, which becomes the transparent one.
  bool used[256] = {};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      used[img.GetPixelIndex(x, y)] = true;
    }
  }
  int32_t unused = -1;
  for (uint32_t i = 0; i < img.GetNumColors(); ++i) {
    if (!used[i]) {
      unused = static_cast<int32_t>(i);
      break;
    }
  }
  if (unused < 0) {
    return;
  }
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      if (MaskBit(mask, maskRow, x, y)) {
        img.SetPixelIndex(x, y, static_cast<uint8_t>(unused));
      }
    }
  }
  if (masked > 0) {
    img.SetTransIndex(unused);
  }
  img.AlphaDelete();
}

}  // namespace

bool CRasterImageICO::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  const int64_t start = file->Tell();
  uint8_t dir[kDirHeaderSize];
  if (!ReadExact(file, dir, sizeof(dir))) {
    SetLastError(raster_error::kIcoHeader);
    return false;
  }
  const uint16_t reserved = GetLe16(dir);
  const uint16_t type = GetLe16(dir + 2);
  const uint16_t count = GetLe16(dir + 4);
  if (reserved != 0 || (type != kTypeIcon && type != kTypeCursor)) {
    SetLastError(raster_error::kIcoHeader);
    return false;
  }
  SetNumFrames(count);
  const int32_t frame = GetFrame();
  if (frame < 0 || frame >= count) {
    SetLastError(raster_error::kIcoFrame);
    return false;
  }
  uint8_t entry[kDirEntrySize];
  for (int32_t i = 0; i <= frame; ++i) {
    if (!ReadExact(file, entry, sizeof(entry))) {
      SetLastError(raster_error::kIcoTruncated);
      return false;
    }
  }
  const uint32_t width = entry[0];
  const uint32_t height = entry[1];
  const uint32_t offset = GetLe32(entry + 12);
  uint8_t ih[kRasterInfoHeaderSize];
  if (!file->Seek(start + offset, kRasterSeekSet) || !ReadExact(file, ih, sizeof(ih))) {
    SetLastError(raster_error::kIcoTruncated);
    return false;
  }
  const RasterInfoHeader h = raster_internal::GetInfoHeader(ih);
  const uint32_t bits = h.biBitCount;
  if (h.biSize != kRasterInfoHeaderSize || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
    SetLastError(raster_error::kIcoInfo);
    return false;
  }
  if (GetEscape() == kRasterEscapeSizeOnly) {
    SetHeaderSize(width, height);
    return true;
  }

  // The palette and pixels must be in the stream before the picture is allocated.
  const uint64_t paletteBytes = bits <= 8 ? (4ull << bits) : 0;
  const uint64_t pixelBytes =
      bits > 24 ? static_cast<uint64_t>(width) * height * 4 : CRasterImage::ImageBytes(width, height, bits);
  const int64_t remaining = raster_internal::StreamRemaining(file);
  if (remaining >= 0 && static_cast<uint64_t>(remaining) < paletteBytes + pixelBytes) {
    SetLastError(raster_error::kIcoTruncated);
    return false;
  }
  if (!raster_internal::CreateForDecode(*this, width, height, bits, kRasterFormatIco, raster_error::kIcoInfo)) {
    return false;
  }
  if (paletteBytes > 0) {
    RasterQuad palette[256];
    if (!ReadExact(file, palette, static_cast<size_t>(paletteBytes))) {
      SetLastError(raster_error::kIcoTruncated);
      return false;
    }
    SetPalette(palette, GetNumColors());
  }
  if (bits > 24) {
    auto* raw = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(pixelBytes)));
    if (raw == nullptr || !AlphaCreate()) {
      std::free(raw);
      SetLastError(raster_error::kCreateAlloc);
      return false;
    }
    if (!ReadExact(file, raw, static_cast<size_t>(pixelBytes))) {
      std::free(raw);
      SetLastError(raster_error::kIcoTruncated);
      return false;
    }
    const uint8_t* s = raw;
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* d = GetBits(y);
      for (uint32_t x = 0; x < width; ++x, s += 4) {
        d[x * 3] = s[0];
        d[x * 3 + 1] = s[1];
        d[x * 3 + 2] = s[2];
        AlphaSet(x, y, s[3]);
      }
    }
    std::free(raw);
  } else if (!ReadExact(file, GetBits(0), static_cast<size_t>(pixelBytes))) {
    SetLastError(raster_error::kIcoTruncated);
    return false;
  }

  // The AND mask; an icon whose mask is missing or short is kept as decoded.
  const uint64_t maskBytes = MaskRowBytes(width) * height;
  auto* mask = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(maskBytes)));
  if (mask == nullptr) {
    return true;
  }
  if (ReadExact(file, mask, static_cast<size_t>(maskBytes))) {
    ApplyMask(*this, mask, maskBytes, bits);
  }
  std::free(mask);
  return true;
}

bool CRasterImageICO::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (width > kMaxIconSide || height > kMaxIconSide) {
    SetLastError(raster_error::kIcoSave);
    return false;
  }
  const bool alpha32 = GetBpp() == 24 && AlphaIsValid();
  const uint32_t bits = alpha32 ? 32 : GetBpp();
  const uint32_t imageBytes = alpha32 ? width * height * 4 : GetImageSize();
  const uint32_t paletteBytes = GetPaletteSize();
  const uint32_t maskRow = static_cast<uint32_t>(MaskRowBytes(width));
  const uint32_t maskBytes = maskRow * height;

  uint8_t head[kDirHeaderSize + kDirEntrySize + kRasterInfoHeaderSize] = {};
  PutLe16(head, 0);
  PutLe16(head + 2, kTypeIcon);
  PutLe16(head + 4, 1);
  uint8_t* e = head + kDirHeaderSize;
  e[0] = static_cast<uint8_t>(width);
  e[1] = static_cast<uint8_t>(height);
  e[2] = static_cast<uint8_t>(GetNumColors());
  e[3] = 0;
  PutLe16(e + 4, 0);
  PutLe16(e + 6, static_cast<uint16_t>(bits));
  PutLe32(e + 8, imageBytes + paletteBytes + maskBytes + kRasterInfoHeaderSize);
  PutLe32(e + 12, kDirHeaderSize + kDirEntrySize);
  RasterInfoHeader h;
  h.biSize = kRasterInfoHeaderSize;
  h.biWidth = static_cast<int32_t>(width);
  h.biHeight = static_cast<int32_t>(height * 2);
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biSizeImage = imageBytes;
  raster_internal::PutInfoHeader(head + kDirHeaderSize + kDirEntrySize, h);
  if (file->Write(head, 1, sizeof(head)) != sizeof(head) ||
      (paletteBytes > 0 && file->Write(GetPalette(), 1, paletteBytes) != paletteBytes)) {
    SetLastError(raster_error::kWriteError);
    return false;
  }
  if (alpha32) {
    uint8_t row[kMaxIconSide * 4];
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* s = GetBits(y);
      for (uint32_t x = 0; x < width; ++x) {
        row[x * 4] = s[x * 3];
        row[x * 4 + 1] = s[x * 3 + 1];
        row[x * 4 + 2] = s[x * 3 + 2];
        row[x * 4 + 3] = AlphaGet(x, y);
      }
      if (file->Write(row, 1, width * 4) != width * 4) {
        SetLastError(raster_error::kWriteError);
        return false;
      }
    }
  } else if (file->Write(GetBits(0), 1, imageBytes) != imageBytes) {
    SetLastError(raster_error::kWriteError);
    return false;
  }

  auto* mask = static_cast<uint8_t*>(std::calloc(1, maskBytes));
  if (mask == nullptr) {
    SetLastError(raster_error::kCreateAlloc);
    return false;
  }
  const bool palette = GetNumColors() != 0;
  const bool alphaPalette = palette && AlphaPaletteIsEnabled();
  const bool trans = GetTransIndex() >= 0;
  const RasterQuad tc = GetTransColor();
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const RasterQuad c = GetPixelColor(x, y, false);
      bool masked = AlphaIsValid() && AlphaGet(x, y) == 0;
      if (!masked && alphaPalette) {
        masked = GetPaletteColor(GetPixelIndex(x, y)).rgbReserved == 0;
      }
      if (!masked && trans) {
        masked = c.rgbRed == tc.rgbRed && c.rgbGreen == tc.rgbGreen && c.rgbBlue == tc.rgbBlue;
      }
      if (masked) {
        mask[static_cast<size_t>(y) * maskRow + (x >> 3)] |= static_cast<uint8_t>(0x80u >> (x & 7u));
      }
    }
  }
  const bool ok = file->Write(mask, 1, maskBytes) == maskBytes;
  std::free(mask);
  if (!ok) {
    SetLastError(raster_error::kWriteError);
  }
  return ok;
}
