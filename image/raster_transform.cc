// Resample, Thumbnail, MixFrom and DecodeForSize of CRasterImage: the picture operations of the ID-card
// handler, which fits every uploaded photo to one card size and joins two of them on one canvas.
//
// The scaling kernels work on planes of interleaved 8-bit channels (the 24-bit rows, an alpha plane,
// or palette pictures expanded to 24 bits) and never read outside their source: every source position
// is clamped to the picture. Area averaging and bilinear interpolation are fixed-point, in thousandths
// of a source pixel.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/raster_errors.h"
#include "image/raster_image.h"

namespace {

// Fixed-point unit of the area and bilinear kernels: a source pixel is 1000 units wide.
constexpr int64_t kUnit = 1000;
// Fixed-point scale of the B-spline weights.
constexpr int32_t kSplineOne = 1 << 14;

// One 8-bit plane of `channels` interleaved channels; row 0 is the bottom row, as in the picture.
struct Plane {
  uint8_t* bits = nullptr;
  size_t stride = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 0;
  [[nodiscard]] uint8_t* Row(uint32_t y) const { return bits + static_cast<size_t>(y) * stride; }
};

// Nearest pixel: target position x takes source position floor(x * old / new), per axis.
void ScaleNearest(const Plane& s, const Plane& d) {
  std::vector<uint32_t> xs(d.width);
  for (uint32_t x = 0; x < d.width; ++x) {
    xs[x] = static_cast<uint32_t>(static_cast<uint64_t>(x) * s.width / d.width);
  }
  const uint32_t c = s.channels;
  for (uint32_t y = 0; y < d.height; ++y) {
    const uint8_t* sr = s.Row(static_cast<uint32_t>(static_cast<uint64_t>(y) * s.height / d.height));
    uint8_t* dr = d.Row(y);
    for (uint32_t x = 0; x < d.width; ++x) {
      std::memcpy(dr + static_cast<size_t>(x) * c, sr + static_cast<size_t>(xs[x]) * c, c);
    }
  }
}

// The source span of each target pixel in thousandths: [start, end) with start = x * old * 1000 / new.
// A source pixel i covers [i * 1000, (i + 1) * 1000), so the weights of one target pixel are the
// overlaps and add up to end - start. Kept flat: target pixel x has weights[at[x] .. at[x + 1]) for
// the source pixels from first[x] on.
struct AreaTaps {
  std::vector<uint32_t> first;
  std::vector<uint32_t> at;
  std::vector<uint32_t> weights;
  std::vector<uint64_t> total;
};

AreaTaps MakeAreaTaps(uint32_t from, uint32_t to) {
  AreaTaps t;
  t.first.resize(to);
  t.at.resize(static_cast<size_t>(to) + 1);
  t.total.resize(to);
  for (uint32_t x = 0; x < to; ++x) {
    const uint64_t start = static_cast<uint64_t>(x) * from * kUnit / to;
    const uint64_t end = static_cast<uint64_t>(x + 1) * from * kUnit / to;
    t.first[x] = static_cast<uint32_t>(start / kUnit);
    t.at[x] = static_cast<uint32_t>(t.weights.size());
    for (uint64_t i = t.first[x]; i * kUnit < end && i < from; ++i) {
      const uint64_t lo = i * kUnit > start ? i * kUnit : start;
      const uint64_t hi = (i + 1) * kUnit < end ? (i + 1) * kUnit : end;
      t.weights.push_back(static_cast<uint32_t>(hi - lo));
    }
    t.total[x] = end - start;
  }
  t.at[to] = static_cast<uint32_t>(t.weights.size());
  return t;
}

// Area averaging (REQUIRES d.width <= s.width and d.height <= s.height): every target pixel is the
// mean of the source area it covers, partly covered pixels weighted by the covered fraction. For each
// target row the source rows it covers are summed down first (a loop over whole rows that the compiler
// vectorises), then that one row is summed across; `Acc` holds a sum down (255 x the rows' weights).
template <class Acc>
void ScaleAreaWith(const Plane& s, const Plane& d, const AreaTaps& cols, const AreaTaps& rows) {
  const uint32_t c = s.channels;
  const size_t rowValues = static_cast<size_t>(s.width) * c;
  std::vector<Acc> down(rowValues);
  for (uint32_t y = 0; y < d.height; ++y) {
    std::fill(down.begin(), down.end(), 0);
    for (uint32_t k = rows.at[y]; k < rows.at[y + 1]; ++k) {
      const uint8_t* sr = s.Row(rows.first[y] + (k - rows.at[y]));
      const Acc w = rows.weights[k];
      Acc* acc = down.data();
      for (size_t i = 0; i < rowValues; ++i) {
        acc[i] += w * sr[i];
      }
    }
    uint8_t* dr = d.Row(y);
    for (uint32_t x = 0; x < d.width; ++x) {
      const uint64_t area = cols.total[x] * rows.total[y];
      const Acc* p = down.data() + static_cast<size_t>(cols.first[x]) * c;
      if (c == 3) {
        uint64_t v0 = 0;
        uint64_t v1 = 0;
        uint64_t v2 = 0;
        for (uint32_t k = cols.at[x]; k < cols.at[x + 1]; ++k, p += 3) {
          const uint64_t w = cols.weights[k];
          v0 += w * p[0];
          v1 += w * p[1];
          v2 += w * p[2];
        }
        uint8_t* o = dr + static_cast<size_t>(x) * 3;
        o[0] = static_cast<uint8_t>((v0 + area / 2) / area);
        o[1] = static_cast<uint8_t>((v1 + area / 2) / area);
        o[2] = static_cast<uint8_t>((v2 + area / 2) / area);
        continue;
      }
      for (uint32_t ch = 0; ch < c; ++ch) {
        uint64_t v = 0;
        for (uint32_t k = cols.at[x], i = 0; k < cols.at[x + 1]; ++k, ++i) {
          v += static_cast<uint64_t>(cols.weights[k]) * p[static_cast<size_t>(i) * c + ch];
        }
        dr[static_cast<size_t>(x) * c + ch] = static_cast<uint8_t>((v + area / 2) / area);
      }
    }
  }
}

void ScaleArea(const Plane& s, const Plane& d) {
  const AreaTaps cols = MakeAreaTaps(s.width, d.width);
  const AreaTaps rows = MakeAreaTaps(s.height, d.height);
  uint64_t tallest = 0;
  for (uint64_t t : rows.total) {
    tallest = t > tallest ? t : tallest;
  }
  // 32-bit sums down while 255 x the largest row weight fits (it does unless one target row covers
  // more than 16000 source rows).
  if (tallest * 255 <= UINT32_MAX) {
    ScaleAreaWith<uint32_t>(s, d, cols, rows);
  } else {
    ScaleAreaWith<uint64_t>(s, d, cols, rows);
  }
}

// Bilinear position of each target pixel: the two source pixels and the weight of the second, in
// thousandths. Pixel centres are aligned: source position = (x + 0.5) * old / new - 0.5, clamped.
struct LinearTap {
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t wb = 0;
};

std::vector<LinearTap> LinearTaps(uint32_t from, uint32_t to) {
  std::vector<LinearTap> taps(to);
  for (uint32_t x = 0; x < to; ++x) {
    // In thousandths: (2x + 1) * from * 1000 / (2 * to) - 500 (the product needs more than 64 bits
    // only for sizes far past the memory limit, but never overflows).
    const unsigned __int128 scaled = static_cast<unsigned __int128>(2 * static_cast<uint64_t>(x) + 1) * from * kUnit;
    int64_t pos = static_cast<int64_t>(scaled / (2 * static_cast<uint64_t>(to))) - kUnit / 2;
    const int64_t last = static_cast<int64_t>(from - 1) * kUnit;
    pos = pos < 0 ? 0 : (pos > last ? last : pos);
    LinearTap& t = taps[x];
    t.a = static_cast<uint32_t>(pos / kUnit);
    t.b = t.a + 1 < from ? t.a + 1 : t.a;
    t.wb = static_cast<uint32_t>(pos % kUnit);
  }
  return taps;
}

void ScaleBilinear(const Plane& s, const Plane& d) {
  const std::vector<LinearTap> cols = LinearTaps(s.width, d.width);
  const std::vector<LinearTap> rows = LinearTaps(s.height, d.height);
  const uint32_t c = s.channels;
  for (uint32_t y = 0; y < d.height; ++y) {
    const LinearTap& ty = rows[y];
    const uint8_t* r0 = s.Row(ty.a);
    const uint8_t* r1 = s.Row(ty.b);
    const uint32_t wy1 = ty.wb;
    const uint32_t wy0 = static_cast<uint32_t>(kUnit) - wy1;
    uint8_t* dr = d.Row(y);
    for (uint32_t x = 0; x < d.width; ++x) {
      const LinearTap& tx = cols[x];
      const uint32_t wx1 = tx.wb;
      const uint32_t wx0 = static_cast<uint32_t>(kUnit) - wx1;
      const uint8_t* p00 = r0 + static_cast<size_t>(tx.a) * c;
      const uint8_t* p01 = r0 + static_cast<size_t>(tx.b) * c;
      const uint8_t* p10 = r1 + static_cast<size_t>(tx.a) * c;
      const uint8_t* p11 = r1 + static_cast<size_t>(tx.b) * c;
      for (uint32_t ch = 0; ch < c; ++ch) {
        const uint64_t top = static_cast<uint64_t>(p00[ch]) * wx0 + static_cast<uint64_t>(p01[ch]) * wx1;
        const uint64_t bottom = static_cast<uint64_t>(p10[ch]) * wx0 + static_cast<uint64_t>(p11[ch]) * wx1;
        const uint64_t v = top * wy0 + bottom * wy1;
        constexpr uint64_t kArea = static_cast<uint64_t>(kUnit) * kUnit;
        dr[static_cast<size_t>(x) * c + ch] = static_cast<uint8_t>((v + kArea / 2) / kArea);
      }
    }
  }
}

// The cubic B-spline kernel: k(x) = (P(x+2)^3 - 4 P(x+1)^3 + 6 P(x)^3 - 4 P(x-1)^3) / 6 for x <= 2,
// with P(t) = max(t, 0); its weights at the four neighbours of any position add up to one.
double Spline(double x) {
  if (x > 2.0) {
    return 0.0;
  }
  auto p3 = [](double t) { return t > 0.0 ? t * t * t : 0.0; };
  return (p3(x + 2.0) - 4.0 * p3(x + 1.0) + 6.0 * p3(x) - 4.0 * p3(x - 1.0)) / 6.0;
}

struct SplineTap {
  uint32_t at[4] = {};
  int32_t weight[4] = {};  // in kSplineOne units, adding up to kSplineOne
};

std::vector<SplineTap> SplineTaps(uint32_t from, uint32_t to) {
  std::vector<SplineTap> taps(to);
  for (uint32_t x = 0; x < to; ++x) {
    const double pos = (x + 0.5) * from / to - 0.5;
    const double base = std::floor(pos);
    SplineTap& t = taps[x];
    int32_t total = 0;
    for (int k = 0; k < 4; ++k) {
      const double at = base - 1 + k;
      const double clamped = at < 0 ? 0 : (at > from - 1 ? from - 1 : at);
      t.at[k] = static_cast<uint32_t>(clamped);
      t.weight[k] = static_cast<int32_t>(std::lround(Spline(std::fabs(pos - at)) * kSplineOne));
      total += t.weight[k];
    }
    t.weight[1] += kSplineOne - total;  // rounding left-over to a central tap
  }
  return taps;
}

// Bicubic B-spline over the 4 x 4 neighbourhood, done as two passes of four taps (the kernel is
// separable); every weight is positive, so values stay within the source's range.
void ScaleBicubic(const Plane& s, const Plane& d) {
  const std::vector<SplineTap> cols = SplineTaps(s.width, d.width);
  const std::vector<SplineTap> rows = SplineTaps(s.height, d.height);
  const uint32_t c = s.channels;
  // Horizontal pass of every source row, kept in kSplineOne units.
  std::vector<int32_t> across(static_cast<size_t>(s.height) * d.width * c);
  for (uint32_t y = 0; y < s.height; ++y) {
    const uint8_t* sr = s.Row(y);
    int32_t* out = &across[static_cast<size_t>(y) * d.width * c];
    for (uint32_t x = 0; x < d.width; ++x) {
      const SplineTap& t = cols[x];
      for (uint32_t ch = 0; ch < c; ++ch) {
        int32_t v = 0;
        for (int k = 0; k < 4; ++k) {
          v += t.weight[k] * sr[static_cast<size_t>(t.at[k]) * c + ch];
        }
        out[static_cast<size_t>(x) * c + ch] = v;
      }
    }
  }
  constexpr int64_t kOne2 = static_cast<int64_t>(kSplineOne) * kSplineOne;
  for (uint32_t y = 0; y < d.height; ++y) {
    const SplineTap& t = rows[y];
    uint8_t* dr = d.Row(y);
    for (size_t i = 0; i < static_cast<size_t>(d.width) * c; ++i) {
      int64_t v = 0;
      for (int k = 0; k < 4; ++k) {
        v += static_cast<int64_t>(t.weight[k]) * across[static_cast<size_t>(t.at[k]) * d.width * c + i];
      }
      v = (v + kOne2 / 2) / kOne2;
      dr[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
}

void ScalePlane(const Plane& s, const Plane& d, int32_t mode, bool areaAllowed) {
  if (mode == kRasterResampleNearest) {
    ScaleNearest(s, d);
  } else if (mode == kRasterResampleBicubic) {
    ScaleBicubic(s, d);
  } else if (areaAllowed && d.width <= s.width && d.height <= s.height) {
    ScaleArea(s, d);
  } else {
    ScaleBilinear(s, d);
  }
}

Plane PixelPlane(CRasterImage& img) {
  Plane p;
  p.bits = img.GetBits(0);
  p.stride = img.GetEffWidth();
  p.width = img.GetWidth();
  p.height = img.GetHeight();
  p.channels = 3;
  return p;
}

Plane AlphaPlane(CRasterImage& img) {
  Plane p;
  p.bits = img.AlphaGetPointer();
  p.stride = img.GetWidth();
  p.width = img.GetWidth();
  p.height = img.GetHeight();
  p.channels = 1;
  return p;
}

// A palette picture's colours as a 24-bit plane in `store`.
Plane ExpandedPlane(const CRasterImage& img, std::vector<uint8_t>& store) {
  Plane p;
  p.width = img.GetWidth();
  p.height = img.GetHeight();
  p.channels = 3;
  p.stride = static_cast<size_t>(p.width) * 3;
  store.resize(p.stride * p.height);
  p.bits = store.data();
  for (uint32_t y = 0; y < p.height; ++y) {
    uint8_t* r = p.Row(y);
    for (uint32_t x = 0; x < p.width; ++x) {
      const RasterQuad q = img.GetPixelColor(x, y, false);
      r[x * 3] = q.rgbBlue;
      r[x * 3 + 1] = q.rgbGreen;
      r[x * 3 + 2] = q.rgbRed;
    }
  }
  return p;
}

// Palette pictures scaled by nearest pixel keep their indices exactly.
void ScaleIndicesNearest(const CRasterImage& s, CRasterImage& d) {
  const uint32_t sw = s.GetWidth();
  const uint32_t sh = s.GetHeight();
  const uint32_t dw = d.GetWidth();
  const uint32_t dh = d.GetHeight();
  for (uint32_t y = 0; y < dh; ++y) {
    const uint32_t sy = static_cast<uint32_t>(static_cast<uint64_t>(y) * sh / dh);
    for (uint32_t x = 0; x < dw; ++x) {
      d.SetPixelIndex(x, y, s.GetPixelIndex(static_cast<uint32_t>(static_cast<uint64_t>(x) * sw / dw), sy));
    }
  }
}

// A new picture of `width` x `height` with the settings, depth and palette of `src`.
bool MakeLike(const CRasterImage& src, uint32_t width, uint32_t height, CRasterImage& out) {
  out.Destroy();
  out.CopySettings(src);  // Create keeps the settings and writes the resolution into the header
  if (out.Create(width, height, src.GetBpp(), src.GetType()) == nullptr) {
    return false;
  }
  out.SetPalette(src.GetPalette(), src.GetNumColors());
  return true;
}

// The size a w x h picture is fitted to inside boxW x boxH (only ever smaller): the tighter side
// decides (boxW / boxH x h > w means the height does), sizes truncated, never below one pixel.
void FitInside(uint64_t w, uint64_t h, uint64_t boxW, uint64_t boxH, uint64_t* fw, uint64_t* fh) {
  *fw = w;
  *fh = h;
  if (w <= boxW && h <= boxH) {
    return;
  }
  if (boxW * h > w * boxH) {
    *fh = boxH;
    *fw = w * boxH / h;
  } else {
    *fw = boxW;
    *fh = h * boxW / w;
  }
  *fw = *fw == 0 ? 1 : *fw;
  *fh = *fh == 0 ? 1 : *fh;
}

// Hands the finished `work` picture to `dst` (when given) or to `self`.
bool Deliver(CRasterImage& self, CRasterImage& work, CRasterImage* dst) {
  if (dst != nullptr && dst != &self) {
    return dst->Transfer(work);
  }
  return self.Transfer(work);
}

}  // namespace

bool CRasterImage::Resample(uint32_t newx, uint32_t newy, int32_t mode, CRasterImage* iDst) {
  if (!IsValid() || newx == 0 || newy == 0) {
    return false;
  }
  if (newx == GetWidth() && newy == GetHeight()) {
    if (iDst != nullptr && iDst != this) {
      return iDst->Copy(*this);
    }
    return true;
  }
  CRasterImage work;
  if (!MakeLike(*this, newx, newy, work)) {
    SetLastError(work.GetLastError());
    return false;
  }
  if (GetBpp() == 24) {
    ScalePlane(PixelPlane(*this), PixelPlane(work), mode, true);
  } else if (mode == kRasterResampleNearest) {
    ScaleIndicesNearest(*this, work);
  } else {
    std::vector<uint8_t> from;
    std::vector<uint8_t> to;
    const Plane s = ExpandedPlane(*this, from);
    Plane d = s;
    d.width = newx;
    d.height = newy;
    d.stride = static_cast<size_t>(newx) * 3;
    to.resize(d.stride * newy);
    d.bits = to.data();
    ScalePlane(s, d, mode, false);
    for (uint32_t y = 0; y < newy; ++y) {
      const uint8_t* r = d.Row(y);
      for (uint32_t x = 0; x < newx; ++x) {
        work.SetPixelColor(x, y, RasterRgb(r[x * 3 + 2], r[x * 3 + 1], r[x * 3]));
      }
    }
  }
  if (AlphaIsValid()) {
    if (!work.AlphaCreate()) {
      SetLastError(raster_error::kCreateAlloc);
      return false;
    }
    ScalePlane(AlphaPlane(*this), AlphaPlane(work), mode, GetBpp() == 24);
  }
  return Deliver(*this, work, iDst);
}

bool CRasterImage::Thumbnail(uint32_t newx, uint32_t newy, RasterQuad canvasColour, CRasterImage* iDst) {
  if (!IsValid() || newx == 0 || newy == 0) {
    return false;
  }
  CRasterImage fitted;
  const CRasterImage* inner = this;
  const uint64_t w = GetWidth();
  const uint64_t h = GetHeight();
  if (w > newx || h > newy) {
    uint64_t fw = 0;
    uint64_t fh = 0;
    FitInside(w, h, newx, newy, &fw, &fh);
    if (!Resample(static_cast<uint32_t>(fw), static_cast<uint32_t>(fh), kRasterResampleBilinear, &fitted)) {
      return false;
    }
    inner = &fitted;
  }
  CRasterImage canvas;
  if (!MakeLike(*inner, newx, newy, canvas)) {
    SetLastError(canvas.GetLastError());
    return false;
  }
  if (canvas.GetBpp() == 24) {
    for (uint32_t y = 0; y < newy; ++y) {
      uint8_t* r = canvas.GetBits(y);
      for (uint32_t x = 0; x < newx; ++x) {
        r[x * 3] = canvasColour.rgbBlue;
        r[x * 3 + 1] = canvasColour.rgbGreen;
        r[x * 3 + 2] = canvasColour.rgbRed;
      }
    }
  } else {
    canvas.Clear(canvas.GetNearestIndex(canvasColour));
  }
  if (inner->AlphaIsValid() && !canvas.AlphaCreate()) {
    SetLastError(raster_error::kCreateAlloc);
    return false;
  }
  // Borders in top-down terms: left (newx - w) / 2 and top (newy - h) / 2, the odd pixel to the right
  // and the bottom; in the picture's bottom-up rows the inner picture starts at the bottom border.
  const uint32_t iw = inner->GetWidth();
  const uint32_t ih = inner->GetHeight();
  const uint32_t left = (newx - iw) / 2;
  const uint32_t top = (newy - ih) / 2;
  const uint32_t bottom = newy - ih - top;
  for (uint32_t y = 0; y < ih; ++y) {
    if (canvas.GetBpp() == 24) {
      std::memcpy(canvas.GetBits(bottom + y) + static_cast<size_t>(left) * 3, inner->GetBits(y),
                  static_cast<size_t>(iw) * 3);
    } else {
      for (uint32_t x = 0; x < iw; ++x) {
        canvas.SetPixelIndex(left + x, bottom + y, inner->GetPixelIndex(x, y));
      }
    }
    if (inner->AlphaIsValid()) {
      std::memcpy(canvas.AlphaGetPointer() + static_cast<size_t>(bottom + y) * newx + left,
                  inner->AlphaGetPointer() + static_cast<size_t>(y) * iw, iw);
    }
  }
  return Deliver(*this, canvas, iDst);
}

bool CRasterImage::MixFrom(const CRasterImage& source, int64_t x, int64_t y) {
  if (!IsValid() || !source.IsValid()) {
    return false;
  }
  const int64_t sw = source.GetWidth();
  const int64_t sh = source.GetHeight();
  const int64_t width = GetWidth();
  const int64_t height = GetHeight();
  if (x >= width || y >= height || x <= -sw || y <= -sh) {
    return true;  // wholly outside (and no sum below can overflow)
  }
  // The part of the source that lands inside this picture.
  const int64_t i0 = x < 0 ? -x : 0;
  const int64_t j0 = y < 0 ? -y : 0;
  const int64_t i1 = x + sw > width ? width - x : sw;
  const int64_t j1 = y + sh > height ? height - y : sh;
  if (i0 >= i1 || j0 >= j1) {
    return true;
  }
  const bool keyed = source.GetTransIndex() >= 0;
  const RasterQuad key = source.GetTransColor();
  const bool alpha = source.AlphaIsValid();
  if (!keyed && !alpha && GetBpp() == 24 && source.GetBpp() == 24) {
    for (int64_t j = j0; j < j1; ++j) {
      std::memmove(GetBits(static_cast<uint32_t>(y + j)) + static_cast<size_t>(x + i0) * 3,
                   source.GetBits(static_cast<uint32_t>(j)) + static_cast<size_t>(i0) * 3,
                   static_cast<size_t>(i1 - i0) * 3);
    }
    return true;
  }
  for (int64_t j = j0; j < j1; ++j) {
    for (int64_t i = i0; i < i1; ++i) {
      RasterQuad c = source.GetPixelColor(i, j, false);
      if (keyed && c.rgbRed == key.rgbRed && c.rgbGreen == key.rgbGreen && c.rgbBlue == key.rgbBlue) {
        continue;
      }
      if (alpha) {
        const uint32_t a = source.AlphaGet(i, j);
        if (a == 0) {
          continue;
        }
        if (a < 255) {
          const RasterQuad o = GetPixelColor(x + i, y + j, false);
          auto mix = [a](uint8_t s, uint8_t d) { return static_cast<uint8_t>((s * a + d * (255 - a) + 127) / 255); };
          c = RasterRgb(mix(c.rgbRed, o.rgbRed), mix(c.rgbGreen, o.rgbGreen), mix(c.rgbBlue, o.rgbBlue));
        }
      }
      SetPixelColor(x + i, y + j, c, false);
    }
  }
  return true;
}

bool CRasterImage::DecodeForSize(const uint8_t* buffer, uint32_t size, uint32_t type, uint32_t width, uint32_t height) {
  const uint8_t scale = GetJpegScale();
  uint8_t chosen = scale;
  if ((type == kRasterFormatUnknown || type == kRasterFormatJpg) && buffer != nullptr && width > 0 && height > 0) {
    CRasterImage probe;
    probe.SetEscape(kRasterEscapeSizeOnly);
    if (probe.Decode(buffer, size, kRasterFormatJpg)) {
      const uint64_t w = probe.GetHeaderWidth();
      const uint64_t h = probe.GetHeaderHeight();
      // The size Thumbnail fits the picture to.
      uint64_t fw = 0;
      uint64_t fh = 0;
      FitInside(w, h, width, height, &fw, &fh);
      // The largest reduction that still covers the fitted size and the box (or the picture, where it
      // is smaller than the box), and keeps a side that was larger than the box larger than it, so a
      // caller comparing the decoded size with the box decides alike and never stretches a shrunk
      // picture.
      constexpr uint8_t kDenominators[] = {8, 4, 2};
      for (uint8_t denom : kDenominators) {
        const uint64_t sw = (w + denom - 1) / denom;  // libjpeg rounds scaled sizes up
        const uint64_t sh = (h + denom - 1) / denom;
        const uint64_t needW = std::max<uint64_t>(fw, std::min<uint64_t>(w, width));
        const uint64_t needH = std::max<uint64_t>(fh, std::min<uint64_t>(h, height));
        const bool covers = sw >= needW && sh >= needH;
        const bool keepsOrder = (w <= width || sw > width) && (h <= height || sh > height);
        if (covers && keepsOrder) {
          chosen = denom;
          break;
        }
      }
    }
  }
  SetJpegScale(chosen);
  const bool ok = Decode(buffer, size, type);
  SetJpegScale(scale);
  return ok;
}
