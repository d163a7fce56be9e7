// Draws 10 000 typical labels (12-digit and 13-character texts) with CBarcodeImage, as BMP and as
// PNG, and the same symbols with libzint into its in-memory bitmap, and prints the time per label.
// Both draw 2 pixels per module, 30 bar rows and the human-readable line.
//
//   barcode_bench [labels]

#include <unistd.h>
#include <zint.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "image/barcode_image.h"

namespace {

constexpr int kDefaultLabels = 10000;
constexpr int kBarHeight = 30;

[[nodiscard]] double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Label texts as the business prints them: 12-digit waybill numbers and 13-character tracking codes.
[[nodiscard]] std::vector<std::string> Texts(int count, bool digitsOnly) {
  std::vector<std::string> texts;
  uint64_t seed = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < count; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    char buf[16];
    if (digitsOnly) {
      std::snprintf(buf, sizeof buf, "%012llu", static_cast<unsigned long long>((seed >> 11) % 1000000000000ull));
    } else {
      std::snprintf(buf, sizeof buf, "%c%c%09lluCN", 'A' + static_cast<int>((seed >> 5) % 26),
                    'A' + static_cast<int>((seed >> 13) % 26),
                    static_cast<unsigned long long>((seed >> 21) % 1000000000ull));
    }
    texts.emplace_back(buf);
  }
  return texts;
}

enum class Kind { kCode128, kI25 };

struct Result {
  double seconds = 0;
  uint64_t bytes = 0;  // checksum against dead-code elimination
  int failures = 0;
};

[[nodiscard]] Result RunOurs(const std::vector<std::string>& texts, Kind kind, bool png) {
  Result r;
  double t0 = Now();
  for (const std::string& t : texts) {
    CBarcodeImage image;
    int ok = kind == Kind::kCode128 ? image.EncodeCode128(t, kBarHeight, false, "", 0)
                                    : image.EncodeInterleaved2of5(t, kBarHeight, false, 0);
    if (ok == 1 && png && image.ConvertToPng(nullptr) != 1) {
      ok = 0;
    }
    r.failures += ok == 1 ? 0 : 1;
    r.bytes += image.FileLength() + image.FileImage()[image.FileLength() / 2];
  }
  r.seconds = Now() - t0;
  return r;
}

// libzint draws into its in-memory bitmap, or (with `pngPath`) writes a PNG file: it has no
// in-memory PNG output, so that row includes its file writes.
[[nodiscard]] Result RunZint(const std::vector<std::string>& texts, Kind kind, const char* pngPath) {
  Result r;
  double t0 = Now();
  for (const std::string& t : texts) {
    zint_symbol* symbol = ZBarcode_Create();
    if (pngPath != nullptr) {
      std::snprintf(symbol->outfile, sizeof symbol->outfile, "%s", pngPath);
    }
    symbol->symbology = kind == Kind::kCode128 ? BARCODE_CODE128 : BARCODE_C25INTER;
    symbol->height = kBarHeight / 2.0f;  // zint's raster draws 2 pixels per unit at scale 1
    symbol->scale = 1.0f;
    symbol->show_hrt = 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(t.data());
    const int length = static_cast<int>(t.size());
    if (pngPath != nullptr) {
      int err = ZBarcode_Encode_and_Print(symbol, bytes, length, 0);
      r.failures += err >= ZINT_ERROR ? 1 : 0;
      r.bytes += static_cast<uint64_t>(symbol->width);
    } else if (ZBarcode_Encode_and_Buffer(symbol, bytes, length, 0) >= ZINT_ERROR || symbol->bitmap == nullptr) {
      ++r.failures;
    } else {
      r.bytes += static_cast<uint64_t>(symbol->bitmap_width) * static_cast<uint64_t>(symbol->bitmap_height) +
                 symbol->bitmap[0];
    }
    ZBarcode_Delete(symbol);
  }
  r.seconds = Now() - t0;
  return r;
}

void Report(const char* what, const Result& r, int labels) {
  std::printf("%-38s %9.0f ns/label  %8.3f s total  failures %d  (checksum %llu)\n", what,
              r.seconds * 1e9 / labels, r.seconds, r.failures, static_cast<unsigned long long>(r.bytes));
}

}  // namespace

int main(int argc, char** argv) {
  const int labels = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultLabels;
  const std::vector<std::string> digits = Texts(labels, true);
  const std::vector<std::string> codes = Texts(labels, false);
  char folder[] = "/tmp/tw_barcode_bench_XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string pngPath = std::string(folder) + "/zint.png";
  std::printf("%d labels per row, 2 pixels per module, %d bar rows, text line shown\n", labels, kBarHeight);

  struct Case {
    const char* name;
    const std::vector<std::string>* texts;
    Kind kind;
  };
  const Case cases[] = {
      {"Code 128, 12 digits", &digits, Kind::kCode128},
      {"Code 128, 13 characters", &codes, Kind::kCode128},
      {"Interleaved 2 of 5, 12 digits", &digits, Kind::kI25},
  };
  for (const Case& c : cases) {
    std::printf("\n%s\n", c.name);
    Result bmp = RunOurs(*c.texts, c.kind, false);
    Result png = RunOurs(*c.texts, c.kind, true);
    Result zint = RunZint(*c.texts, c.kind, nullptr);
    Result zintPng = RunZint(*c.texts, c.kind, pngPath.c_str());
    Report("  CBarcodeImage, BMP", bmp, labels);
    Report("  CBarcodeImage, PNG", png, labels);
    Report("  libzint, in-memory bitmap", zint, labels);
    Report("  libzint, PNG file", zintPng, labels);
    std::printf("  libzint bitmap / CBarcodeImage BMP: %.1fx   libzint PNG / CBarcodeImage PNG: %.1fx\n",
                zint.seconds / bmp.seconds, zintPng.seconds / png.seconds);
  }
  std::remove(pngPath.c_str());
  rmdir(folder);
  return 0;
}
