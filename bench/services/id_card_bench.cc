// "DoIDCardPicSet" with two 1600 x 1200 photos: signed requests through tarnwick-host at 16
// keep-alive connections (wrk), each making a new x_sri record with its joined picture; beside it,
// in the same run, the picture work alone in this process (decode both sides, fit, watermark, join,
// JPEG), on one thread and on eight. Prints requests per second with the latency percentiles, and
// cards per second with the time of one card.
//
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE) and wrk.
//
//   id_card_bench [seconds]

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/wrk.h"
#include "core/config.h"
#include "core/pool.h"
#include "image/raster_image.h"
#include "services/internal/id_card_image.h"
#include "tests/support/e2e.h"
#include "util/escape.h"
#include "util/md5.h"

namespace {

constexpr int kConnections = 16;
constexpr int kThreads = 4;
constexpr int kClient = 990301;
constexpr char kKey[] = "BenchKey0301";
constexpr uint32_t kPhotoWidth = 1600;
constexpr uint32_t kPhotoHeight = 1200;
constexpr size_t kPictureTextMax = 1000000;

// A photo-like 1600 x 1200 JPEG (smooth shapes, fine grain), at the highest quality whose base64
// still fits a request's 1000000 characters.
std::string Photo(uint32_t seed) {
  CRasterImage img(kPhotoWidth, kPhotoHeight, 24, kRasterFormatJpg);
  for (uint32_t y = 0; y < kPhotoHeight; ++y) {
    uint8_t* row = img.GetBits(y);
    for (uint32_t x = 0; x < kPhotoWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const double n = static_cast<double>((seed >> 16) & 7) - 4;
      auto px = [](double v) { return static_cast<uint8_t>(std::fmin(255, std::fmax(0, v))); };
      row[x * 3] = px(120 + 70 * std::sin(x / 41.0 + y / 97.0) + n);
      row[x * 3 + 1] = px(130 + 60 * std::cos(y / 29.0) + n);
      row[x * 3 + 2] = px((x + 2 * y) / 15.0 + n);
    }
  }
  for (int quality = 90; quality >= 40; quality -= 5) {
    img.SetJpegQuality(static_cast<uint8_t>(quality));
    uint8_t* out = nullptr;
    int64_t size = 0;
    if (!img.Encode(out, size, kRasterFormatJpg)) return "";
    std::string bytes(reinterpret_cast<char*>(out), static_cast<size_t>(size));
    std::free(out);
    if ((bytes.size() + 2) / 3 * 4 <= kPictureTextMax) return bytes;
  }
  return "";
}

std::string Base64(const std::string& bytes) {
  std::string out(bytes.size() * 4 / 3 + 8, '\0');
  size_t needed = 0;
  if (tw::Base64Encode(bytes.data(), bytes.size(), out.data(), out.size(), &needed, 0) != 0) return "";
  out.resize(needed);
  return out;
}

// Seconds of a monotonic clock.
double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// The picture work alone on `threads` threads for `seconds`: cards per second.
double Pipeline(const std::string& front, const std::string& back, int threads, int seconds, bool* ok) {
  std::atomic<long long> cards{0};
  std::atomic<bool> failed{false};
  const double until = Now() + seconds;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      while (Now() < until) {
        tw::idcard::JpegBytes jpeg;
        size_t length = 0;
        int drawn = 0;
        if (tw::idcard::MakeCardJpeg(reinterpret_cast<const uint8_t*>(front.data()), front.size(),
                                     reinterpret_cast<const uint8_t*>(back.data()), back.size(), WatermarkSettings,
                                     kReplyBytes, &jpeg, &length, &drawn) != 0 ||
            drawn != 2) {
          failed = true;
          return;
        }
        ++cards;
      }
    });
  }
  for (std::thread& w : workers) w.join();
  *ok = !failed;
  return static_cast<double>(cards) / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "id_card_bench needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD)\n");
    return 1;
  }
  if (std::system("command -v wrk >/dev/null") != 0) {
    std::fprintf(stderr, "id_card_bench needs wrk\n");
    return 1;
  }
  const std::string front = Photo(1), back = Photo(2);
  if (front.empty() || back.empty()) {
    std::fprintf(stderr, "cannot make the photos\n");
    return 1;
  }
  twtest::TestDb db;
  if (!db.ok() ||
      !db.Exec("INSERT INTO dbo.client_arc (icid, capikey) VALUES (990301, 'BenchKey0301') ON CONFLICT (icid) DO "
               "UPDATE SET capikey = EXCLUDED.capikey") ||
      !db.Exec("DELETE FROM dbo.x_sri WHERE icid = 990301")) {
    std::fprintf(stderr, "cannot prepare the rows: %s\n", db.error().c_str());
    return 1;
  }
  std::printf("DoIDCardPicSet, two %u x %u photos (%zu and %zu bytes), %d s each\n", kPhotoWidth, kPhotoHeight,
              front.size(), back.size(), seconds);

  // The picture work alone, as the handler does it.
  bool ok1 = false, ok8 = false;
  const double one = Pipeline(front, back, 1, seconds, &ok1);
  const double eight = Pipeline(front, back, 8, seconds, &ok8);
  if (!ok1 || !ok8) {
    std::fprintf(stderr, "the picture work failed\n");
    return 1;
  }
  std::printf("  in process   1 thread  %6.1f cards/s (%.1f ms a card)\n", one, 1000.0 / one);
  std::printf("  in process   8 threads %6.1f cards/s\n", eight);

  // Over HTTP: one signature for the whole run (the time window is two hours).
  twtest::TestHost host;
  if (!host.Start()) {
    std::fprintf(stderr, "cannot start tarnwick-host: %s\n", host.error().c_str());
    return 1;
  }
  const long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string text = std::to_string(kClient) + std::to_string(ts) + kKey;
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), md5);
  const std::string body = "{\"RequestName\":\"DoIDCardPicSet\",\"icID\":" + std::to_string(kClient) +
                           ",\"TimeStamp\":" + std::to_string(ts) + ",\"MD5\":\"" + md5 +
                           "\",\"cRName\":\"Bench\",\"cIDCard\":\"B12345678\",\"vPic1\":\"" + Base64(front) +
                           "\",\"vPic2\":\"" + Base64(back) + "\"}";
  const std::string script = "/tmp/tarnwick-idcard-bench-" + std::to_string(getpid()) + ".lua";
  FILE* f = std::fopen(script.c_str(), "w");
  if (f == nullptr) return 1;
  std::fprintf(f,
               "wrk.method = \"POST\"\nwrk.headers[\"Content-Type\"] = \"application/json\"\n"
               "wrk.body = [==[%s]==]\n",
               body.c_str());
  std::fclose(f);
  const std::string url = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll?DoApp";
  twbench::WrkFigures fig;
  const bool ran = twbench::RunWrk(url, script, kThreads, kConnections, seconds, fig, "--timeout 10s");
  host.Stop();
  std::remove(script.c_str());
  const std::string stored = db.Scalar("SELECT count(*) FROM dbo.x_sri WHERE icid = 990301 AND ilen1 > 0");
  const std::string sizes = db.Scalar("SELECT min(ilen1) || '..' || max(ilen1) FROM dbo.x_sri WHERE icid = 990301");
  db.Exec("DELETE FROM dbo.x_sri WHERE icid = 990301");
  if (!ran || fig.requests == 0) {
    std::fprintf(stderr, "wrk did not run\n");
    return 1;
  }
  std::printf("  over HTTP   %d conns   %6.1f requests/s (%lld answered, %s stored, JPEG %s bytes), latency p50 %s "
              "p90 %s p99 %s\n",
              kConnections, fig.rps, fig.requests, stored.c_str(), sizes.c_str(), fig.p50.c_str(), fig.p90.c_str(),
              fig.p99.c_str());
  return 0;
}
