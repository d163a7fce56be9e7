// Palette, alpha and selection planes of CRasterImage, and the whole-picture operations built on
// them: vertical flip, horizontal mirror and colour inversion.

#include <cstdlib>
#include <cstring>

#include "image/raster_image.h"

// ---- palette ------------------------------------------------------------------------------------

RasterQuad CRasterImage::GetPaletteColor(uint8_t index) const {
  if (m_palette == nullptr || index >= m_head.biClrUsed) {
    return RasterQuad{};
  }
  return m_palette[index];
}

bool CRasterImage::GetPaletteColor(uint8_t index, uint8_t* red, uint8_t* green, uint8_t* blue) const {
  if (m_palette == nullptr || m_head.biClrUsed == 0 || index >= m_head.biClrUsed) {
    return false;
  }
  const RasterQuad& c = m_palette[index];
  if (red != nullptr) {
    *red = c.rgbRed;
  }
  if (green != nullptr) {
    *green = c.rgbGreen;
  }
  if (blue != nullptr) {
    *blue = c.rgbBlue;
  }
  return true;
}

void CRasterImage::SetPaletteColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue, uint8_t fourth) {
  SetPaletteColor(index, RasterRgb(red, green, blue, fourth));
}

void CRasterImage::SetPaletteColor(uint8_t index, RasterQuad c) {
  if (m_palette == nullptr || index >= m_head.biClrUsed) {
    return;
  }
  m_palette[index] = c;
  InvalidateNearestCache();
}

void CRasterImage::SetPalette(uint32_t count, const uint8_t* red, const uint8_t* green, const uint8_t* blue) {
  if (m_block == nullptr || m_head.biClrUsed == 0 || red == nullptr) {
    return;
  }
  if (green == nullptr) {
    green = red;
  }
  if (blue == nullptr) {
    blue = green;
  }
  const uint32_t n = count < m_head.biClrUsed ? count : m_head.biClrUsed;
  for (uint32_t i = 0; i < n; ++i) {
    m_palette[i].rgbRed = red[i];
    m_palette[i].rgbGreen = green[i];
    m_palette[i].rgbBlue = blue[i];
  }
  InvalidateNearestCache();
}

void CRasterImage::SetPaletteRgb(const uint8_t* rgb, uint32_t count) {
  if (m_block == nullptr || m_head.biClrUsed == 0 || rgb == nullptr) {
    return;
  }
  const uint32_t n = count < m_head.biClrUsed ? count : m_head.biClrUsed;
  for (uint32_t i = 0; i < n; ++i) {
    m_palette[i].rgbRed = rgb[i * 3];
    m_palette[i].rgbGreen = rgb[i * 3 + 1];
    m_palette[i].rgbBlue = rgb[i * 3 + 2];
  }
  InvalidateNearestCache();
}

void CRasterImage::SetPalette(const RasterQuad* entries, uint32_t count) {
  if (m_block == nullptr || m_head.biClrUsed == 0 || entries == nullptr) {
    return;
  }
  const uint32_t n = count < m_head.biClrUsed ? count : m_head.biClrUsed;
  std::memcpy(m_palette, entries, static_cast<size_t>(n) * sizeof(RasterQuad));
  InvalidateNearestCache();
}

void CRasterImage::SetGrayPalette() {
  const uint32_t n = m_head.biClrUsed;
  if (m_block == nullptr || n == 0) {
    return;
  }
  const uint32_t step = 255 / (n - 1);
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t v = static_cast<uint8_t>(i * step);
    m_palette[i] = RasterRgb(v, v, v);
  }
  InvalidateNearestCache();
}

bool CRasterImage::IsGrayScale() const {
  const uint32_t n = m_head.biClrUsed;
  if (m_block == nullptr || n == 0) {
    return false;
  }
  for (uint32_t i = 0; i < n; ++i) {
    const RasterQuad& c = m_palette[i];
    if (c.rgbBlue != i || c.rgbGreen != i || c.rgbRed != i) {
      return false;
    }
  }
  return true;
}

uint8_t CRasterImage::GetNearestIndex(RasterQuad c) const {
  const uint32_t n = m_head.biClrUsed;
  if (m_block == nullptr || n == 0) {
    return 0;
  }
  if (m_lastNearestValid && m_lastNearestColor.rgbRed == c.rgbRed && m_lastNearestColor.rgbGreen == c.rgbGreen &&
      m_lastNearestColor.rgbBlue == c.rgbBlue) {
    return m_lastNearestIndex;
  }
  uint32_t best = 0;
  int64_t bestDistance = INT64_MAX;
  for (uint32_t i = 0; i < n; ++i) {
    const RasterQuad& p = m_palette[i];
    const int64_t dr = static_cast<int64_t>(p.rgbRed) - c.rgbRed;
    const int64_t dg = static_cast<int64_t>(p.rgbGreen) - c.rgbGreen;
    const int64_t db = static_cast<int64_t>(p.rgbBlue) - c.rgbBlue;
    const int64_t d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) {
        break;
      }
    }
  }
  m_lastNearestColor = c;
  m_lastNearestIndex = static_cast<uint8_t>(best);
  m_lastNearestValid = true;
  return m_lastNearestIndex;
}

void CRasterImage::SwapIndex(uint8_t a, uint8_t b) {
  const uint32_t n = m_head.biClrUsed;
  if (m_block == nullptr || n == 0 || a >= n || b >= n || a == b) {
    return;
  }
  const RasterQuad t = m_palette[a];
  m_palette[a] = m_palette[b];
  m_palette[b] = t;
  InvalidateNearestCache();
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t i = BlindGetPixelIndex(x, y);
      if (i == a) {
        BlindSetPixelIndex(x, y, b);
      } else if (i == b) {
        BlindSetPixelIndex(x, y, a);
      }
    }
  }
}

uint8_t CRasterImage::GetHighestIndex() const {
  if (m_block == nullptr || m_head.biClrUsed == 0) {
    return 0;
  }
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  uint8_t highest = 0;
  const uint8_t top = static_cast<uint8_t>(m_head.biClrUsed - 1);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t i = BlindGetPixelIndex(x, y);
      if (i > highest) {
        highest = i;
        if (highest == top) {
          return highest;
        }
      }
    }
  }
  return highest;
}

uint32_t CRasterImage::RGBtoBGR(uint32_t colour) {
  return ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

int32_t CRasterImage::CompareColors(const RasterQuad& a, const RasterQuad& b) {
  const int32_t ga = RasterGray(a.rgbRed, a.rgbGreen, a.rgbBlue);
  const int32_t gb = RasterGray(b.rgbRed, b.rgbGreen, b.rgbBlue);
  return ga - gb;
}

// ---- alpha plane --------------------------------------------------------------------------------

bool CRasterImage::AlphaCreate() {
  if (m_alpha != nullptr) {
    return true;
  }
  if (m_block == nullptr || m_ghost) {
    return false;
  }
  const uint64_t bytes = static_cast<uint64_t>(GetWidth()) * GetHeight();
  if (bytes > kRasterMaxImageBytes) {
    return false;
  }
  m_alpha = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
  if (m_alpha == nullptr) {
    return false;
  }
  std::memset(m_alpha, 255, static_cast<size_t>(bytes));
  return true;
}

void CRasterImage::AlphaDelete() {
  if (m_ghost) {
    m_alpha = nullptr;
    return;
  }
  std::free(m_alpha);
  m_alpha = nullptr;
}

void CRasterImage::AlphaSet(int64_t x, int64_t y, uint8_t level) {
  if (m_alpha == nullptr || !IsInside(x, y)) {
    return;
  }
  m_alpha[static_cast<size_t>(y) * GetWidth() + static_cast<size_t>(x)] = level;
}

uint8_t CRasterImage::AlphaGet(int64_t x, int64_t y) const {
  if (m_alpha == nullptr || !IsInside(x, y)) {
    return 0;
  }
  return m_alpha[static_cast<size_t>(y) * GetWidth() + static_cast<size_t>(x)];
}

bool CRasterImage::AlphaFlip() {
  if (m_alpha == nullptr) {
    return false;
  }
  const size_t width = GetWidth();
  const size_t height = GetHeight();
  auto* flipped = static_cast<uint8_t*>(std::malloc(width * height));
  if (flipped == nullptr) {
    return false;
  }
  for (size_t y = 0; y < height; ++y) {
    std::memcpy(flipped + y * width, m_alpha + (height - 1 - y) * width, width);
  }
  if (m_ghost) {
    // A ghost cannot replace a plane it does not own: the rows are written back in place.
    std::memcpy(m_alpha, flipped, width * height);
    std::free(flipped);
  } else {
    std::free(m_alpha);
    m_alpha = flipped;
  }
  return true;
}

bool CRasterImage::AlphaMirror() {
  if (m_alpha == nullptr) {
    return false;
  }
  const size_t width = GetWidth();
  const size_t height = GetHeight();
  auto* mirrored = static_cast<uint8_t*>(std::malloc(width * height));
  if (mirrored == nullptr) {
    return false;
  }
  for (size_t y = 0; y < height; ++y) {
    const uint8_t* s = m_alpha + y * width;
    uint8_t* d = mirrored + y * width;
    for (size_t x = 0; x < width; ++x) {
      d[x] = s[width - 1 - x];
    }
  }
  if (m_ghost) {
    std::memcpy(m_alpha, mirrored, width * height);
    std::free(mirrored);
  } else {
    std::free(m_alpha);
    m_alpha = mirrored;
  }
  return true;
}

bool CRasterImage::AlphaPaletteIsValid() const {
  for (uint32_t i = 0; m_palette != nullptr && i < m_head.biClrUsed; ++i) {
    if (m_palette[i].rgbReserved != 0) {
      return true;
    }
  }
  return false;
}

// ---- selection plane ----------------------------------------------------------------------------

bool CRasterImage::SelectionCreate() {
  if (m_block == nullptr || m_ghost) {
    return false;
  }
  SelectionDelete();
  const uint64_t bytes = static_cast<uint64_t>(GetWidth()) * GetHeight();
  if (bytes > kRasterMaxImageBytes) {
    return false;
  }
  m_selection = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(bytes)));
  return m_selection != nullptr;
}

bool CRasterImage::SelectionDelete() {
  if (!m_ghost) {
    std::free(m_selection);
  }
  m_selection = nullptr;
  m_selectionBox.left = GetWidth();
  m_selectionBox.top = 0;
  m_selectionBox.right = 0;
  m_selectionBox.bottom = GetHeight();
  return true;
}

void CRasterImage::SelectionSet(int64_t x, int64_t y, uint8_t level) {
  if (m_selection == nullptr || !IsInside(x, y)) {
    return;
  }
  m_selection[static_cast<size_t>(y) * GetWidth() + static_cast<size_t>(x)] = level;
  if (level != 0) {
    SelectionBox& b = m_selectionBox;
    b.left = x < b.left ? x : b.left;
    b.right = x + 1 > b.right ? x + 1 : b.right;
    b.bottom = y < b.bottom ? y : b.bottom;
    b.top = y + 1 > b.top ? y + 1 : b.top;
  }
}

bool CRasterImage::SelectionIsInside(int64_t x, int64_t y) const {
  if (!IsInside(x, y)) {
    return false;
  }
  if (m_selection == nullptr) {
    return true;
  }
  return m_selection[static_cast<size_t>(y) * GetWidth() + static_cast<size_t>(x)] != 0;
}

// ---- flip, mirror, negative ---------------------------------------------------------------------

bool CRasterImage::Flip() {
  if (m_block == nullptr || m_ghost) {
    return false;
  }
  CRasterImage work(*this, false, false, true);
  if (!work.IsValid()) {
    return false;
  }
  const uint32_t height = GetHeight();
  for (uint32_t i = 0; i < height; ++i) {
    std::memcpy(work.GetBits(i), GetBits(height - 1 - i), m_rowBytes);
  }
  if (work.AlphaIsValid()) {
    work.AlphaFlip();
  }
  return Transfer(work);
}

bool CRasterImage::Mirror() {
  if (m_block == nullptr || m_ghost) {
    return false;
  }
  CRasterImage work(*this, false, false, true);
  if (!work.IsValid()) {
    return false;
  }
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* s = GetBits(y);
    uint8_t* d = work.GetBits(y);
    switch (GetBpp()) {
      case 8:
        for (uint32_t x = 0; x < width; ++x) {
          d[x] = s[width - 1 - x];
        }
        break;
      case 24:
        for (uint32_t x = 0; x < width; ++x) {
          const uint8_t* p = s + static_cast<size_t>(width - 1 - x) * 3;
          d[x * 3] = p[0];
          d[x * 3 + 1] = p[1];
          d[x * 3 + 2] = p[2];
        }
        break;
      default:
        for (uint32_t x = 0; x < width; ++x) {
          work.BlindSetPixelIndex(x, y, BlindGetPixelIndex(width - 1 - x, y));
        }
        break;
    }
  }
  if (work.AlphaIsValid()) {
    work.AlphaMirror();
  }
  return Transfer(work);
}

bool CRasterImage::Negative() {
  if (m_block == nullptr) {
    return false;
  }
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (GetBpp() == 24) {
    if (m_selection != nullptr) {
      const SelectionBox& b = m_selectionBox;
      for (int64_t y = b.bottom; y < b.top; ++y) {
        for (int64_t x = b.left; x < b.right; ++x) {
          if (SelectionIsInside(x, y)) {
            uint8_t* p = GetBits(static_cast<uint32_t>(y)) + static_cast<size_t>(x) * 3;
            p[0] = static_cast<uint8_t>(255 - p[0]);
            p[1] = static_cast<uint8_t>(255 - p[1]);
            p[2] = static_cast<uint8_t>(255 - p[2]);
          }
        }
      }
    } else {
      uint8_t* p = m_bits;
      const size_t n = GetImageSize();
      for (size_t i = 0; i < n; ++i) {
        p[i] = static_cast<uint8_t>(255 - p[i]);
      }
    }
    m_transColor.rgbBlue = static_cast<uint8_t>(255 - m_transColor.rgbBlue);
    m_transColor.rgbGreen = static_cast<uint8_t>(255 - m_transColor.rgbGreen);
    m_transColor.rgbRed = static_cast<uint8_t>(255 - m_transColor.rgbRed);
    return true;
  }
  if (!IsGrayScale()) {
    for (uint32_t i = 0; i < m_head.biClrUsed; ++i) {
      m_palette[i].rgbBlue = static_cast<uint8_t>(255 - m_palette[i].rgbBlue);
      m_palette[i].rgbGreen = static_cast<uint8_t>(255 - m_palette[i].rgbGreen);
      m_palette[i].rgbRed = static_cast<uint8_t>(255 - m_palette[i].rgbRed);
    }
    InvalidateNearestCache();
    return true;
  }
  const uint8_t top = static_cast<uint8_t>(m_head.biClrUsed - 1);
  const bool useBox = m_selection != nullptr;
  const int64_t x0 = useBox ? m_selectionBox.left : 0;
  const int64_t x1 = useBox ? m_selectionBox.right : width;
  const int64_t y0 = useBox ? m_selectionBox.bottom : 0;
  const int64_t y1 = useBox ? m_selectionBox.top : height;
  for (int64_t y = y0; y < y1; ++y) {
    for (int64_t x = x0; x < x1; ++x) {
      if (SelectionIsInside(x, y)) {
        const uint32_t ux = static_cast<uint32_t>(x);
        const uint32_t uy = static_cast<uint32_t>(y);
        BlindSetPixelIndex(ux, uy, static_cast<uint8_t>(top - BlindGetPixelIndex(ux, uy)));
      }
    }
  }
  return true;
}
