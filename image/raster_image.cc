#include "image/raster_image.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "image/internal/raster_le.h"
#include "image/raster_errors.h"
#include "image/raster_exif.h"

using raster_internal::DpiToPpm;

namespace {

constexpr uint32_t kPaletteEntryBytes = 4;

[[nodiscard]] uint32_t PaletteEntriesFor(uint32_t bpp) {
  switch (bpp) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

// Position of the lowest set bit of a mask and the number of bits set.
void MaskShape(uint32_t mask, uint32_t* shift, uint32_t* bits) {
  *shift = 0;
  *bits = 0;
  if (mask == 0) {
    return;
  }
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++*shift;
  }
  while ((mask & 1u) != 0) {
    mask >>= 1;
    ++*bits;
  }
}

// One channel of a bit-field pixel scaled to 8 bits (the value shifted to the top of the byte).
[[nodiscard]] inline uint8_t MaskChannel(uint32_t px, uint32_t mask, uint32_t shift, uint32_t bits) {
  if (bits == 0) {
    return 0;
  }
  const uint32_t v = (px & mask) >> shift;
  if (bits >= 8) {
    return static_cast<uint8_t>(v >> (bits - 8));
  }
  return static_cast<uint8_t>(v << (8 - bits));
}

}  // namespace

// ---- life ---------------------------------------------------------------------------------------

void CRasterImage::Startup(uint32_t type) {
  m_block = nullptr;
  m_palette = nullptr;
  m_bits = nullptr;
  m_selection = nullptr;
  m_alpha = nullptr;
  m_layers = nullptr;
  m_layerCount = 0;
  m_exif = nullptr;
  m_ghost = false;
  m_head = RasterInfoHeader{};
  m_rowBytes = 0;
  m_type = type;
  m_transIndex = kRasterNoTransparency;
  m_transColor = RasterQuad{};
  m_bkgndColor = RasterQuad{};
  m_jpegQuality = kRasterDefaultJpegQuality;
  m_jpegScale = 0;
  m_alphaMax = 255;
  m_alphaPalette = false;
  m_escape = 0;
  m_progress = 0;
  m_frame = 0;
  m_numFrames = 0;
  std::memset(m_codecOptions, 0, sizeof(m_codecOptions));
  SetXDPI(kRasterDefaultDpi);
  SetYDPI(kRasterDefaultDpi);
  m_headerWidth = 0;
  m_headerHeight = 0;
  m_selectionBox = SelectionBox{};
  m_lastError[0] = '\0';
  m_lastNearestValid = false;
}

CRasterImage::CRasterImage(uint32_t type) { Startup(type); }

CRasterImage::CRasterImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
  Startup(type);
  Create(width, height, bpp, type);
}

CRasterImage::CRasterImage(const uint8_t* buffer, uint32_t size, uint32_t type) {
  Startup(type);
  Decode(buffer, size, type);
}

CRasterImage::CRasterImage(const CRasterImage& src) {
  Startup(0);
  Copy(src, true, true, true);
}

CRasterImage::CRasterImage(const CRasterImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
  Startup(0);
  Copy(src, copyPixels, copySelection, copyAlpha);
}

CRasterImage& CRasterImage::operator=(const CRasterImage& src) {
  if (this != &src) {
    Copy(src, true, true, true);
  }
  return *this;
}

CRasterImage::~CRasterImage() { Destroy(); }

void CRasterImage::ResetPlanes() {
  m_block = nullptr;
  m_palette = nullptr;
  m_bits = nullptr;
  m_selection = nullptr;
  m_alpha = nullptr;
  m_layers = nullptr;
  m_layerCount = 0;
  m_exif = nullptr;
}

bool CRasterImage::Destroy() {
  if (m_ghost) {
    return false;
  }
  LayerDeleteAll();
  delete m_exif;
  std::free(m_selection);
  std::free(m_alpha);
  std::free(m_block);
  ResetPlanes();
  return true;
}

uint32_t CRasterImage::NormaliseBpp(uint32_t bpp) {
  if (bpp <= 1) {
    return 1;
  }
  if (bpp <= 4) {
    return 4;
  }
  if (bpp <= 8) {
    return 8;
  }
  return 24;
}

uint64_t CRasterImage::ImageBytes(uint64_t width, uint64_t height, uint32_t bpp) {
  const uint64_t n = NormaliseBpp(bpp);
  // width and height come from 32-bit fields, so width * 24 + 31 cannot overflow 64 bits.
  const uint64_t row = (width * n + 31) / 32 * 4;
  if (height != 0 && row > UINT64_MAX / height) {
    return UINT64_MAX;
  }
  return row * height;
}

bool CRasterImage::FitsMemoryLimit(uint64_t width, uint64_t height, uint32_t bpp) {
  if (width > UINT32_MAX || height > UINT32_MAX) {
    return false;
  }
  return ImageBytes(width, height, bpp) <= kRasterMaxImageBytes;
}

void* CRasterImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
  if (!Destroy()) {
    return nullptr;
  }
  if (width == 0 || height == 0) {
    SetLastError(raster_error::kCreateSize);
    return nullptr;
  }
  bpp = NormaliseBpp(bpp);
  if (!FitsMemoryLimit(width, height, bpp)) {
    SetLastError(raster_error::kMaxMemory);
    return nullptr;
  }
  const uint64_t rowBytes = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
  const uint64_t imageBytes = rowBytes * height;
  const uint32_t entries = PaletteEntriesFor(bpp);
  const uint64_t total = kRasterInfoHeaderSize + entries * kPaletteEntryBytes + imageBytes;

  m_type = type;
  m_head = RasterInfoHeader{};
  m_head.biSize = kRasterInfoHeaderSize;
  m_head.biWidth = static_cast<int32_t>(width);
  m_head.biHeight = static_cast<int32_t>(height);
  m_head.biPlanes = 1;
  m_head.biBitCount = static_cast<uint16_t>(bpp);
  m_head.biCompression = 0;
  m_head.biSizeImage = static_cast<uint32_t>(imageBytes);
  m_head.biClrUsed = entries;
  m_head.biXPelsPerMeter = DpiToPpm(m_xDpi);
  m_head.biYPelsPerMeter = DpiToPpm(m_yDpi);
  m_rowBytes = static_cast<uint32_t>(rowBytes);

  m_block = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(total)));
  if (m_block == nullptr) {
    m_head = RasterInfoHeader{};
    m_rowBytes = 0;
    SetLastError(raster_error::kCreateAlloc);
    return nullptr;
  }
  raster_internal::PutInfoHeader(m_block, m_head);
  m_palette = reinterpret_cast<RasterQuad*>(m_block + kRasterInfoHeaderSize);
  m_bits = m_block + kRasterInfoHeaderSize + entries * kPaletteEntryBytes;
  SelectionDelete();
  AlphaDelete();
  m_headerWidth = width;
  m_headerHeight = height;
  InvalidateNearestCache();
  return m_block;
}

void CRasterImage::CopySettings(const CRasterImage& src) {
  m_type = src.m_type;
  m_transIndex = src.m_transIndex;
  m_transColor = src.m_transColor;
  m_bkgndColor = src.m_bkgndColor;
  m_jpegQuality = src.m_jpegQuality;
  m_jpegScale = src.m_jpegScale;
  m_alphaMax = src.m_alphaMax;
  m_alphaPalette = src.m_alphaPalette;
  m_escape = src.m_escape;
  m_frame = src.m_frame;
  m_numFrames = src.m_numFrames;
  std::memcpy(m_codecOptions, src.m_codecOptions, sizeof(m_codecOptions));
  m_xDpi = src.m_xDpi;
  m_yDpi = src.m_yDpi;
  m_headerWidth = src.m_headerWidth;
  m_headerHeight = src.m_headerHeight;
}

bool CRasterImage::Copy(const CRasterImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
  if (&src == this) {
    return true;
  }
  if (m_ghost) {
    return false;
  }
  if (!src.IsValid()) {
    Destroy();
    CopySettings(src);
    return true;
  }
  if (Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType()) == nullptr) {
    return false;
  }
  CopySettings(src);
  m_head.biXPelsPerMeter = src.m_head.biXPelsPerMeter;
  m_head.biYPelsPerMeter = src.m_head.biYPelsPerMeter;
  raster_internal::PutInfoHeader(m_block, m_head);
  if (copyPixels) {
    std::memcpy(m_block + kRasterInfoHeaderSize, src.m_block + kRasterInfoHeaderSize,
                static_cast<size_t>(GetPaletteSize()) + GetImageSize());
  } else if (GetPaletteSize() > 0) {
    std::memcpy(m_palette, src.m_palette, GetPaletteSize());
  }
  const size_t planeBytes = static_cast<size_t>(GetWidth()) * GetHeight();
  if (copySelection && src.m_selection != nullptr) {
    m_selection = static_cast<uint8_t*>(std::malloc(planeBytes));
    if (m_selection != nullptr) {
      std::memcpy(m_selection, src.m_selection, planeBytes);
      m_selectionBox = src.m_selectionBox;
    }
  }
  if (copyAlpha && src.m_alpha != nullptr) {
    m_alpha = static_cast<uint8_t*>(std::malloc(planeBytes));
    if (m_alpha != nullptr) {
      std::memcpy(m_alpha, src.m_alpha, planeBytes);
    }
  }
  if (src.m_exif != nullptr) {
    m_exif = new (std::nothrow) CRasterExifInfo(*src.m_exif);
  }
  return true;
}

bool CRasterImage::Transfer(CRasterImage& from) {
  if (&from == this) {
    return true;
  }
  if (m_ghost || from.m_ghost) {
    return false;
  }
  Destroy();
  CopySettings(from);
  TakePlanesOf(from);
  std::memcpy(m_lastError, from.m_lastError, sizeof(m_lastError));

  from.ResetPlanes();
  from.m_head = RasterInfoHeader{};
  from.m_rowBytes = 0;
  from.InvalidateNearestCache();
  return true;
}

void CRasterImage::Ghost(const CRasterImage& from) {
  if (&from == this) {
    return;
  }
  Destroy();
  CopySettings(from);
  TakePlanesOf(from);
  m_ghost = true;
}

void CRasterImage::TakePlanesOf(const CRasterImage& from) {
  m_block = from.m_block;
  m_palette = from.m_palette;
  m_bits = from.m_bits;
  m_selection = from.m_selection;
  m_alpha = from.m_alpha;
  m_layers = from.m_layers;
  m_layerCount = from.m_layerCount;
  m_exif = from.m_exif;
  m_head = from.m_head;
  m_rowBytes = from.m_rowBytes;
  m_selectionBox = from.m_selectionBox;
  InvalidateNearestCache();
}

bool CRasterImage::EncodeSafeCheck(const CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  if (m_block == nullptr) {
    SetLastError(raster_error::kNullImage);
    return false;
  }
  return true;
}

uint64_t CRasterImage::GetSize() const {
  if (m_block == nullptr) {
    return 0;
  }
  return static_cast<uint64_t>(kRasterInfoHeaderSize) + GetPaletteSize() + GetImageSize();
}

void CRasterImage::Clear(uint8_t value) {
  if (m_block == nullptr) {
    return;
  }
  if (GetBpp() == 1) {
    value = value != 0 ? 255 : 0;
  } else if (GetBpp() == 4) {
    value = static_cast<uint8_t>((value & 0x0F) * 0x11);
  }
  std::memset(m_bits, value, GetImageSize());
}

// ---- pixels -------------------------------------------------------------------------------------

uint8_t CRasterImage::BlindGetPixelIndex(uint32_t x, uint32_t y) const {
  const uint8_t* row = m_bits + static_cast<size_t>(y) * m_rowBytes;
  switch (m_head.biBitCount) {
    case 8:
      return row[x];
    case 4: {
      const uint8_t b = row[x >> 1];
      return (x & 1u) != 0 ? static_cast<uint8_t>(b & 0x0F) : static_cast<uint8_t>(b >> 4);
    }
    case 1:
      return static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7u))) & 1u);
    default:
      return 0;
  }
}

void CRasterImage::BlindSetPixelIndex(uint32_t x, uint32_t y, uint8_t index) {
  uint8_t* row = m_bits + static_cast<size_t>(y) * m_rowBytes;
  switch (m_head.biBitCount) {
    case 8:
      row[x] = index;
      break;
    case 4: {
      uint8_t& b = row[x >> 1];
      if ((x & 1u) != 0) {
        b = static_cast<uint8_t>((b & 0xF0) | (index & 0x0F));
      } else {
        b = static_cast<uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
      }
      break;
    }
    case 1: {
      uint8_t& b = row[x >> 3];
      const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7u));
      b = (index & 1u) != 0 ? static_cast<uint8_t>(b | bit) : static_cast<uint8_t>(b & ~bit);
      break;
    }
    default:
      break;
  }
}

uint8_t CRasterImage::GetPixelIndex(int64_t x, int64_t y) const {
  if (!IsInside(x, y) || m_head.biClrUsed == 0) {
    return 0;
  }
  return BlindGetPixelIndex(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
}

void CRasterImage::SetPixelIndex(int64_t x, int64_t y, uint8_t index) {
  if (!IsInside(x, y) || m_head.biClrUsed == 0) {
    return;
  }
  BlindSetPixelIndex(static_cast<uint32_t>(x), static_cast<uint32_t>(y), index);
}

RasterQuad CRasterImage::GetPixelColor(int64_t x, int64_t y, bool getAlpha) const {
  if (m_block == nullptr) {
    return m_bkgndColor;
  }
  if (!IsInside(x, y)) {
    if (m_transIndex >= 0) {
      return GetTransColor();
    }
    x = 0;
    y = 0;
  }
  RasterQuad c;
  const uint32_t ux = static_cast<uint32_t>(x);
  const uint32_t uy = static_cast<uint32_t>(y);
  if (m_head.biClrUsed != 0) {
    c = GetPaletteColor(BlindGetPixelIndex(ux, uy));
  } else {
    const uint8_t* p = m_bits + static_cast<size_t>(uy) * m_rowBytes + static_cast<size_t>(ux) * 3;
    c.rgbBlue = p[0];
    c.rgbGreen = p[1];
    c.rgbRed = p[2];
    c.rgbReserved = 0;
  }
  if (getAlpha && m_alpha != nullptr) {
    c.rgbReserved = m_alpha[static_cast<size_t>(uy) * GetWidth() + ux];
  }
  return c;
}

void CRasterImage::SetPixelColor(int64_t x, int64_t y, RasterQuad c, bool setAlpha) {
  if (!IsInside(x, y)) {
    return;
  }
  const uint32_t ux = static_cast<uint32_t>(x);
  const uint32_t uy = static_cast<uint32_t>(y);
  if (m_head.biClrUsed != 0) {
    BlindSetPixelIndex(ux, uy, GetNearestIndex(c));
  } else {
    uint8_t* p = m_bits + static_cast<size_t>(uy) * m_rowBytes + static_cast<size_t>(ux) * 3;
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
  }
  if (setAlpha) {
    AlphaSet(x, y, c.rgbReserved);
  }
}

// ---- bit fields ---------------------------------------------------------------------------------

bool CRasterImage::Bitfield2RGB(const uint8_t* src, uint64_t srcBytes, uint32_t redMask, uint32_t greenMask,
                                uint32_t blueMask, uint32_t bpp) {
  if (m_block == nullptr || GetBpp() != 24 || src == nullptr || (bpp != 16 && bpp != 32)) {
    return false;
  }
  const uint64_t width = GetWidth();
  const uint64_t height = GetHeight();
  const uint64_t srcRow = bpp == 16 ? (width + 1) / 2 * 4 : width * 4;
  if (srcRow * height > srcBytes) {
    return false;
  }
  uint32_t rs = 0, rb = 0, gs = 0, gb = 0, bs = 0, bb = 0;
  MaskShape(redMask, &rs, &rb);
  MaskShape(greenMask, &gs, &gb);
  MaskShape(blueMask, &bs, &bb);
  for (uint64_t y = 0; y < height; ++y) {
    const uint8_t* s = src + y * srcRow;
    uint8_t* d = GetBits(static_cast<uint32_t>(y));
    for (uint64_t x = 0; x < width; ++x) {
      const uint32_t px = bpp == 16 ? raster_internal::GetLe16(s + x * 2) : raster_internal::GetLe32(s + x * 4);
      d[0] = MaskChannel(px, blueMask, bs, bb);
      d[1] = MaskChannel(px, greenMask, gs, gb);
      d[2] = MaskChannel(px, redMask, rs, rb);
      d += 3;
    }
  }
  return true;
}

// ---- transparency and settings ------------------------------------------------------------------

RasterQuad CRasterImage::GetTransColor() const {
  if (m_head.biBitCount < 24 && m_transIndex >= 0 && m_block != nullptr) {
    return GetPaletteColor(static_cast<uint8_t>(m_transIndex));
  }
  return m_transColor;
}

void CRasterImage::SetLastError(const char* text) {
  if (text == nullptr) {
    m_lastError[0] = '\0';
    return;
  }
  std::strncpy(m_lastError, text, kRasterErrorSize - 1);
  m_lastError[kRasterErrorSize - 1] = '\0';
}

uint32_t CRasterImage::GetCodecOption(uint32_t type) const {
  if (type == 0) {
    type = m_type;
  }
  return type < kRasterFormatCount ? m_codecOptions[type] : 0;
}

void CRasterImage::SetCodecOption(uint32_t option, uint32_t type) {
  if (type == 0) {
    type = m_type;
  }
  if (type < kRasterFormatCount) {
    m_codecOptions[type] = option;
  }
}

void CRasterImage::SetXDPI(int32_t dpi) { SetResolution(&m_xDpi, &m_head.biXPelsPerMeter, dpi); }

void CRasterImage::SetYDPI(int32_t dpi) { SetResolution(&m_yDpi, &m_head.biYPelsPerMeter, dpi); }

void CRasterImage::SetResolution(int32_t* dpiField, int32_t* ppmField, int32_t dpi) {
  if (dpi <= 0) {
    dpi = kRasterDefaultDpi;
  }
  *dpiField = dpi;
  *ppmField = DpiToPpm(dpi);
  if (m_block != nullptr && !m_ghost) {
    raster_internal::PutInfoHeader(m_block, m_head);
  }
}

// ---- layers -------------------------------------------------------------------------------------

CRasterImage* CRasterImage::LayerCreate() {
  if (m_ghost) {
    return nullptr;
  }
  CRasterImage* layer = new (std::nothrow) CRasterImage(m_type);
  if (layer == nullptr) {
    return nullptr;
  }
  auto** grown = static_cast<CRasterImage**>(std::realloc(m_layers, sizeof(CRasterImage*) * (m_layerCount + 1)));
  if (grown == nullptr) {
    delete layer;
    return nullptr;
  }
  m_layers = grown;
  m_layers[m_layerCount++] = layer;
  return layer;
}

void CRasterImage::LayerDeleteAll() {
  if (m_ghost) {
    return;
  }
  for (uint32_t i = 0; i < m_layerCount; ++i) {
    delete m_layers[i];
  }
  std::free(m_layers);
  m_layers = nullptr;
  m_layerCount = 0;
}
