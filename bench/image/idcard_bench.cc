// The whole ID-card picture work, against ImageMagick and vips on the same inputs in the same run:
// decode two 1600 x 1200 JPEGs, fit each to the card size 305 x 195 on white, stamp the watermark
// ("  -身份证上传-" in 黑体 at 26 pixels, weight 600, RGB(255, 99, 99) at opacity 0.5, turned 45
// degrees clockwise at (75, -5)), join the two side by side (610 x 195) and encode at quality 90.
//
//   IdCard/Tarnwick              the calls the ID-card handler makes (full decode, Thumbnail ...)
//   IdCard/TarnwickDecodeForSize the same with DecodeForSize (libjpeg scales in the DCT)
//   IdCard/Vips/threads:n        libvips in this process (thumbnail with shrink-on-load, text,
//                                composite, join, JPEG save); n worker threads, 0 its default
//   IdCard/ImageMagick           ImageMagick's convert, one process per card (as a caller would run it)
//   IdCard/ImageMagickSizeHint   the same with -define jpeg:size (ImageMagick's shrink-on-load)
// Target: Tarnwick faster than both. The inputs are plasma fractals written by ImageMagick (photo-like
// detail); without convert they are drawn here.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef TW_BENCH_VIPS
#include <vips/vips8>
#endif

#include "image/raster_file.h"
#include "image/raster_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kCardWidth = 305;
constexpr uint32_t kCardHeight = 195;
constexpr int kQuality = 90;
constexpr char kWatermark[] = "  -身份证上传-";  // GBK, as the configuration holds it
constexpr char kFont[] = "黑体";
constexpr char kFontFile[] = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";

Bytes ReadAll(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    return out;
  }
  uint8_t buf[65536];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) {
    out.insert(out.end(), buf, buf + n);
  }
  std::fclose(f);
  return out;
}

void WriteAll(const std::string& path, const void* p, size_t n) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f != nullptr) {
    std::fwrite(p, 1, n, f);
    std::fclose(f);
  }
}

// With TW_BENCH_SAVE=<folder> each pipeline's card is written there once, to be looked at.
void SaveOnce(const char* name, const void* p, size_t n) {
  const char* folder = std::getenv("TW_BENCH_SAVE");
  static std::vector<std::string>* saved = new std::vector<std::string>;
  if (folder == nullptr || std::find(saved->begin(), saved->end(), name) != saved->end()) {
    return;
  }
  saved->push_back(name);
  WriteAll(std::string(folder) + "/" + name + ".jpg", p, n);
}

struct Inputs {
  std::string dir;
  std::string front;  // paths of the two JPEGs
  std::string back;
  Bytes frontBytes;
  Bytes backBytes;
};

// A photo-like 1600 x 1200 JPEG drawn here when ImageMagick is missing.
Bytes DrawnJpeg(uint32_t seed) {
  CRasterImage img(1600, 1200, 24, 0);
  for (uint32_t y = 0; y < 1200; ++y) {
    uint8_t* row = img.GetBits(y);
    for (uint32_t x = 0; x < 1600; ++x) {
      seed = seed * 1103515245u + 12345u;
      const double n = ((seed >> 16) & 15) - 8;
      row[x * 3] = static_cast<uint8_t>(std::fmin(255, std::fmax(0, 120 + 80 * std::sin(x / 37.0) + n)));
      row[x * 3 + 1] = static_cast<uint8_t>(std::fmin(255, std::fmax(0, 120 + 80 * std::cos(y / 23.0) + n)));
      row[x * 3 + 2] = static_cast<uint8_t>(std::fmin(255, std::fmax(0, (x + y) / 11.0 + n)));
    }
  }
  img.SetJpegQuality(kQuality);
  uint8_t* out = nullptr;
  int64_t size = 0;
  Bytes bytes;
  if (img.Encode(out, size, kRasterFormatJpg)) {
    bytes.assign(out, out + size);
    std::free(out);
  }
  return bytes;
}

const Inputs& TheInputs() {
  static const Inputs* inputs = [] {
    auto* in = new Inputs;
    char dir[] = "/tmp/tw_idcard_bench_XXXXXX";
    in->dir = mkdtemp(dir) != nullptr ? dir : "/tmp";
    in->front = in->dir + "/front.jpg";
    in->back = in->dir + "/back.jpg";
    const std::string make = "/usr/bin/convert -size 1600x1200 -seed %d plasma:fractal -quality 90 '%s' 2>/dev/null";
    char cmd[512];
    std::snprintf(cmd, sizeof(cmd), make.c_str(), 7, in->front.c_str());
    const bool front = std::system(cmd) == 0;
    std::snprintf(cmd, sizeof(cmd), make.c_str(), 11, in->back.c_str());
    const bool back = std::system(cmd) == 0;
    if (!front || !back) {
      const Bytes a = DrawnJpeg(1);
      const Bytes b = DrawnJpeg(2);
      WriteAll(in->front, a.data(), a.size());
      WriteAll(in->back, b.data(), b.size());
    }
    in->frontBytes = ReadAll(in->front);
    in->backBytes = ReadAll(in->back);
    return in;
  }();
  return *inputs;
}

// The watermark text in UTF-8, for ImageMagick and vips.
const char* Utf8Watermark() {
  static const char8_t text[] = u8"  -身份证上传-";
  return reinterpret_cast<const char*>(text);
}

// ---- Tarnwick: the ID-card handler's calls ----

bool Normalise(CRasterImage& img) {
  if (img.GetWidth() > kCardWidth) {
    return img.Thumbnail(kCardWidth, kCardHeight, RasterRgb(255, 255, 255));
  }
  if (img.GetWidth() < kCardWidth) {
    return img.Resample(kCardWidth, kCardHeight, kRasterResampleBilinear);
  }
  return true;
}

size_t TarnwickCard(const Bytes& front, const Bytes& back, bool decodeForSize) {
  CRasterImage pictures[2];
  const Bytes* files[2] = {&front, &back};
  for (int i = 0; i < 2; ++i) {
    const Bytes& f = *files[i];
    if (decodeForSize) {
      pictures[i].DecodeForSize(f.data(), static_cast<uint32_t>(f.size()), kRasterFormatUnknown, kCardWidth,
                                kCardHeight);
    } else {
      pictures[i].Decode(f.data(), static_cast<uint32_t>(f.size()), kRasterFormatUnknown);
    }
    if (!pictures[i].IsValid() || !Normalise(pictures[i])) {
      return 0;
    }
    pictures[i].DrawString(nullptr, 75, -5, kWatermark, RasterRgb(255, 99, 99), kFont, 26, 600, false, false, true,
                           0.5f, -450);
  }
  CRasterImage joined(2 * kCardWidth, kCardHeight, 24, 0);
  joined.MixFrom(pictures[0], 0, 0);
  joined.MixFrom(pictures[1], kCardWidth, 0);
  joined.SetJpegQuality(kQuality);
  uint8_t* out = nullptr;
  int64_t size = 0;
  if (!joined.Encode(out, size, kRasterFormatJpg)) {
    return 0;
  }
  SaveOnce(decodeForSize ? "tarnwick_decode_for_size" : "tarnwick", out, static_cast<size_t>(size));
  std::free(out);
  return static_cast<size_t>(size);
}

void BM_IdCardTarnwick(benchmark::State& state) {
  const Inputs& in = TheInputs();
  for (auto _ : state) {
    benchmark::DoNotOptimize(TarnwickCard(in.frontBytes, in.backBytes, false));
  }
}
BENCHMARK(BM_IdCardTarnwick)->Name("IdCard/Tarnwick")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdCardTarnwickDecodeForSize(benchmark::State& state) {
  const Inputs& in = TheInputs();
  for (auto _ : state) {
    benchmark::DoNotOptimize(TarnwickCard(in.frontBytes, in.backBytes, true));
  }
}
BENCHMARK(BM_IdCardTarnwickDecodeForSize)
    ->Name("IdCard/TarnwickDecodeForSize")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- vips ----

#ifdef TW_BENCH_VIPS
vips::VImage VipsSide(const Bytes& file) {
  using vips::VImage;
  VipsBlob* blob = vips_blob_new(nullptr, file.data(), file.size());
  VImage t = VImage::thumbnail_buffer(blob, kCardWidth, VImage::option()->set("height", static_cast<int>(kCardHeight)));
  vips_area_unref(VIPS_AREA(blob));
  VImage card = t.gravity(VIPS_COMPASS_DIRECTION_CENTRE, kCardWidth, kCardHeight,
                          VImage::option()->set("extend", VIPS_EXTEND_WHITE));
  // The watermark: the text as a coverage mask, turned 45 degrees clockwise, as the alpha (at half
  // opacity) of a layer of the colour, laid over the card.
  VImage mask =
      VImage::text(Utf8Watermark(),
                   VImage::option()->set("font", "WenQuanYi Zen Hei 20")->set("fontfile", kFontFile)->set("dpi", 72));
  mask = mask.rotate(45.0);
  VImage colour = mask.new_from_image(std::vector<double>{255, 99, 99});
  VImage layer = colour.bandjoin(mask * 0.5).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  VImage over = card.composite2(layer, VIPS_BLEND_MODE_OVER, VImage::option()->set("x", 75)->set("y", -5));
  return over.extract_band(0, VImage::option()->set("n", 3));
}

size_t VipsCard(const Bytes& front, const Bytes& back) {
  vips::VImage joined = VipsSide(front).join(VipsSide(back), VIPS_DIRECTION_HORIZONTAL);
  void* out = nullptr;
  size_t size = 0;
  joined.write_to_buffer(".jpg", &out, &size, vips::VImage::option()->set("Q", kQuality));
  SaveOnce("vips", out, size);
  g_free(out);
  return size;
}

// vips with its own worker threads (one per core, its default) and with one.
void BM_IdCardVips(benchmark::State& state) {
  const Inputs& in = TheInputs();
  vips_concurrency_set(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(VipsCard(in.frontBytes, in.backBytes));
  }
}
BENCHMARK(BM_IdCardVips)->Name("IdCard/Vips/threads")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

// ---- ImageMagick ----

int ImageMagickCard(bool sizeHint) {
  const Inputs& in = TheInputs();
  const std::string hint = sizeHint ? "-define jpeg:size=610x390 " : "";
  // One side: fit, centre on white, then the text at half opacity turned 45 degrees clockwise.
  auto side = [&](const std::string& file) {
    return "\\( " + hint + "'" + file + "' -thumbnail 305x195 -background white -gravity center -extent 305x195 " +
           "-gravity northwest -font " + kFontFile + " -pointsize 20 -fill 'rgba(255,99,99,0.5)' " +
           "-annotate 45x45+60+10 '" + Utf8Watermark() + "' \\) ";
  };
  const std::string cmd =
      "/usr/bin/convert " + side(in.front) + side(in.back) + "+append -quality 90 '" + in.dir + "/out.jpg' 2>/dev/null";
  const int rc = std::system(cmd.c_str());
  const Bytes card = ReadAll(in.dir + "/out.jpg");
  SaveOnce(sizeHint ? "imagemagick_size_hint" : "imagemagick", card.data(), card.size());
  return rc;
}

void BM_IdCardImageMagick(benchmark::State& state) {
  if (ImageMagickCard(false) != 0) {
    state.SkipWithError("ImageMagick's convert is not installed");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ImageMagickCard(false));
  }
}
BENCHMARK(BM_IdCardImageMagick)->Name("IdCard/ImageMagick")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdCardImageMagickSizeHint(benchmark::State& state) {
  if (ImageMagickCard(true) != 0) {
    state.SkipWithError("ImageMagick's convert is not installed");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ImageMagickCard(true));
  }
}
BENCHMARK(BM_IdCardImageMagickSizeHint)
    ->Name("IdCard/ImageMagickSizeHint")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
#ifdef TW_BENCH_VIPS
  if (VIPS_INIT(argv[0]) != 0) {
    return 1;
  }
  vips_cache_set_max(0);  // every card is new work, as every request's pictures are
#endif
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const Inputs& in = TheInputs();
  for (const std::string& f : {in.front, in.back, in.dir + "/out.jpg"}) {
    std::remove(f.c_str());
  }
  rmdir(in.dir.c_str());
  return 0;
}
