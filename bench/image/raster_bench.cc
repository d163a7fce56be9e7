// Image library codecs against libjpeg-turbo and libpng called directly, on a 1600 x 1200 picture.
// Each pair does the same work: the whole file in memory to 24-bit rows (decode), or 24-bit rows to a
// file in memory at the same settings (encode: JPEG quality 90, libpng's default compression).
// Target: the library takes at most 1.1 times the direct time.

#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "image/raster_image.h"

namespace {

constexpr uint32_t kWidth = 1600;
constexpr uint32_t kHeight = 1200;
constexpr int kQuality = 90;

using Bytes = std::vector<uint8_t>;

// A photo-like picture: smooth shading with texture and a little noise, top row first, RGB.
const Bytes& SourceRgb() {
  static const Bytes rgb = [] {
    Bytes out(static_cast<size_t>(kWidth) * kHeight * 3);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>((seed >> 16) & 7) - 4;
        const double fx = x / 80.0;
        const double fy = y / 60.0;
        uint8_t* p = &out[(static_cast<size_t>(y) * kWidth + x) * 3];
        p[0] = static_cast<uint8_t>(std::clamp(128 + 90 * std::sin(fx) * std::cos(fy) + noise, 0.0, 255.0));
        p[1] = static_cast<uint8_t>(std::clamp(x * 255.0 / kWidth + noise, 0.0, 255.0));
        p[2] = static_cast<uint8_t>(std::clamp(y * 255.0 / kHeight + 40 * std::sin(fx + fy) + noise, 0.0, 255.0));
      }
    }
    return out;
  }();
  return rgb;
}

// ---- direct libjpeg ----

struct JpegErr {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void JpegExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegErr*>(cinfo->err)->jump, 1); }

Bytes DirectJpegEncode(const Bytes& rgb, bool progressive) {
  jpeg_compress_struct cinfo;
  JpegErr err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JpegExit;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kQuality, FALSE);
  if (progressive) {
    jpeg_simple_progression(&cinfo);
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < kHeight) {
    JSAMPROW row = const_cast<uint8_t*>(&rgb[static_cast<size_t>(cinfo.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes result(out, out + outSize);
  std::free(out);
  return result;
}

bool DirectJpegDecode(const Bytes& file, uint8_t** pixels) {
  jpeg_decompress_struct cinfo;
  JpegErr err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JpegExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const size_t row = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
  *pixels = static_cast<uint8_t*>(std::malloc(row * cinfo.output_height));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r = *pixels + cinfo.output_scanline * row;
    jpeg_read_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// ---- direct libpng ----

void PngAppend(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

Bytes DirectPngEncode(const Bytes& rgb) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, PngAppend, nullptr);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < kHeight; ++y) {
    png_write_row(png, &rgb[static_cast<size_t>(y) * kWidth * 3]);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct PngSource {
  const Bytes* file;
  size_t pos;
};

void PngRead(png_structp png, png_bytep data, size_t length) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (src->pos + length > src->file->size()) {
    png_error(png, "short");
  }
  std::memcpy(data, src->file->data() + src->pos, length);
  src->pos += length;
}

bool DirectPngDecode(const Bytes& file, uint8_t** pixels) {
  PngSource src{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &src, PngRead);
  png_read_info(png, info);
  const size_t row = png_get_rowbytes(png, info);
  const uint32_t height = png_get_image_height(png, info);
  *pixels = static_cast<uint8_t*>(std::malloc(row * height));
  for (uint32_t y = 0; y < height; ++y) {
    png_read_row(png, *pixels + y * row, nullptr);
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// ---- the same through the image library ----

CRasterImage& SourcePicture() {
  static CRasterImage* img = [] {
    auto* p = new CRasterImage(kWidth, kHeight, 24, 0);
    const Bytes& rgb = SourceRgb();
    for (uint32_t y = 0; y < kHeight; ++y) {
      uint8_t* row = p->GetBits(kHeight - 1 - y);
      const uint8_t* s = &rgb[static_cast<size_t>(y) * kWidth * 3];
      for (uint32_t x = 0; x < kWidth; ++x) {
        row[x * 3] = s[x * 3 + 2];
        row[x * 3 + 1] = s[x * 3 + 1];
        row[x * 3 + 2] = s[x * 3];
      }
    }
    p->SetJpegQuality(kQuality);
    return p;
  }();
  return *img;
}

const Bytes& JpegBaseline() {
  static const Bytes b = DirectJpegEncode(SourceRgb(), false);
  return b;
}
const Bytes& JpegProgressive() {
  static const Bytes b = DirectJpegEncode(SourceRgb(), true);
  return b;
}
const Bytes& PngFile() {
  static const Bytes b = DirectPngEncode(SourceRgb());
  return b;
}

void RasterDecode(benchmark::State& state, const Bytes& file, uint32_t type) {
  for (auto _ : state) {
    CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), type);
    if (!img.IsValid()) {
      state.SkipWithError(img.GetLastError());
      return;
    }
    benchmark::DoNotOptimize(img.GetBits(0));
  }
}

void DirectDecode(benchmark::State& state, const Bytes& file, bool (*decode)(const Bytes&, uint8_t**)) {
  for (auto _ : state) {
    uint8_t* pixels = nullptr;
    if (!decode(file, &pixels)) {
      state.SkipWithError("direct decode failed");
      return;
    }
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
}

void RasterEncode(benchmark::State& state, uint32_t type) {
  CRasterImage& img = SourcePicture();
  for (auto _ : state) {
    uint8_t* out = nullptr;
    int64_t size = 0;
    if (!img.Encode(out, size, type)) {
      state.SkipWithError(img.GetLastError());
      return;
    }
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
}

void BM_JpegBaselineDecode_Raster(benchmark::State& s) { RasterDecode(s, JpegBaseline(), kRasterFormatJpg); }
void BM_JpegBaselineDecode_Direct(benchmark::State& s) { DirectDecode(s, JpegBaseline(), DirectJpegDecode); }
void BM_JpegBaselineDecode_RasterDetect(benchmark::State& s) { RasterDecode(s, JpegBaseline(), 0); }
void BM_JpegProgressiveDecode_Raster(benchmark::State& s) { RasterDecode(s, JpegProgressive(), kRasterFormatJpg); }
void BM_JpegProgressiveDecode_Direct(benchmark::State& s) { DirectDecode(s, JpegProgressive(), DirectJpegDecode); }
void BM_PngDecode_Raster(benchmark::State& s) { RasterDecode(s, PngFile(), kRasterFormatPng); }
void BM_PngDecode_Direct(benchmark::State& s) { DirectDecode(s, PngFile(), DirectPngDecode); }
void BM_JpegEncode_Raster(benchmark::State& s) { RasterEncode(s, kRasterFormatJpg); }
void BM_JpegEncode_Direct(benchmark::State& s) {
  for (auto _ : s) {
    benchmark::DoNotOptimize(DirectJpegEncode(SourceRgb(), false));
  }
}
void BM_PngEncode_Raster(benchmark::State& s) { RasterEncode(s, kRasterFormatPng); }
void BM_PngEncode_Direct(benchmark::State& s) {
  for (auto _ : s) {
    benchmark::DoNotOptimize(DirectPngEncode(SourceRgb()));
  }
}

BENCHMARK(BM_JpegBaselineDecode_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBaselineDecode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBaselineDecode_RasterDetect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegProgressiveDecode_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegProgressiveDecode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDecode_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDecode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegEncode_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegEncode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngEncode_Raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngEncode_Direct)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
