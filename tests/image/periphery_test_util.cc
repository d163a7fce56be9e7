#include "tests/image/periphery_test_util.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "image/raster_file.h"

namespace periphery_test {

Difference Compare(const CRasterImage& img, const Bytes& rgba, bool alpha, bool skipTransparent, uint32_t border) {
  Difference d;
  const uint32_t w = img.GetWidth();
  const uint32_t h = img.GetHeight();
  d.sized = rgba.size() == static_cast<size_t>(w) * h * 4;
  if (!d.sized) {
    return d;
  }
  uint64_t sum = 0;
  uint64_t count = 0;
  for (uint32_t ty = 0; ty < h; ++ty) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t* r = &rgba[(static_cast<size_t>(ty) * w + x) * 4];
      if ((skipTransparent && r[3] == 0) || x < border || ty < border || x + border >= w || ty + border >= h) {
        continue;
      }
      const RasterQuad c = img.GetPixelColor(x, h - 1 - ty, true);  // the reference runs from the top
      const int diffs[4] = {std::abs(c.rgbRed - r[0]), std::abs(c.rgbGreen - r[1]), std::abs(c.rgbBlue - r[2]),
                            alpha ? std::abs(c.rgbReserved - r[3]) : 0};
      for (int k = 0; k < (alpha ? 4 : 3); ++k) {
        d.worst = std::max(d.worst, diffs[k]);
        sum += static_cast<uint64_t>(diffs[k]);
        ++count;
      }
    }
  }
  d.mean = count == 0 ? 0 : static_cast<double>(sum) / static_cast<double>(count);
  return d;
}

Bytes Fixture(const std::string& name) { return raster_test::ReadFile(raster_test::Fixture(name)); }

Bytes FixtureRgba(const std::string& name) { return raster_test::ReadFile(raster_test::Fixture(name + ".rgba")); }

void FillPattern(CRasterImage& img, uint32_t seed) {
  for (uint32_t y = 0; y < img.GetHeight(); ++y) {
    for (uint32_t x = 0; x < img.GetWidth(); ++x) {
      img.SetPixelColor(x, y,
                        RasterRgb(static_cast<uint8_t>(x * 7 + y * 3 + seed), static_cast<uint8_t>(x * 13 + y * 29),
                                  static_cast<uint8_t>((x ^ y) * 11 + seed * 5)));
    }
  }
}

bool DecodeBytes(const Bytes& bytes, uint32_t type, CRasterImage& img) {
  Bytes copy = bytes;
  copy.reserve(copy.size() + 1);
  CRasterMemFile mem(copy.data(), copy.size());
  return img.Decode(&mem, type);
}

bool HaveConvert() { return std::system("/usr/bin/convert -version >/dev/null 2>&1") == 0; }

Bytes ImageMagickRgba(const Bytes& bytes, const std::string& suffix, bool coalesce) {
  char dir[] = "/tmp/tw_convert_XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    return {};
  }
  const std::string in = std::string(dir) + "/in" + suffix;
  const std::string out = std::string(dir) + "/out.rgba";
  raster_test::WriteFile(in, bytes);
  // -auto-orient: ImageMagick keeps a TGA's rows in file order and only notes the origin.
  const std::string cmd = "/usr/bin/convert -regard-warnings '" + in + "'" + (coalesce ? " -coalesce" : "") +
                          " -auto-orient -depth 8 'rgba:" + out + "' >/dev/null 2>&1";
  const int rc = std::system(cmd.c_str());
  Bytes rgba = rc == 0 ? raster_test::ReadFile(out) : Bytes{};
  std::remove(in.c_str());
  std::remove(out.c_str());
  rmdir(dir);
  return rgba;
}

Bytes Tga(uint8_t mapType, uint8_t type, uint16_t mapLength, uint8_t mapBits, uint16_t w, uint16_t h, uint8_t depth,
          uint8_t descriptor, size_t dataBytes) {
  Bytes b = {0, mapType, type};
  raster_test::Put16(b, 0);
  raster_test::Put16(b, mapLength);
  b.push_back(mapBits);
  raster_test::Put16(b, 0);
  raster_test::Put16(b, 0);
  raster_test::Put16(b, w);
  raster_test::Put16(b, h);
  b.push_back(depth);
  b.push_back(descriptor);
  b.resize(b.size() + dataBytes, 0x11);
  return b;
}

void PutBe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

void PutBe32(Bytes& b, uint32_t v) {
  PutBe16(b, v >> 16);
  PutBe16(b, v & 0xFFFF);
}

}  // namespace periphery_test
