// The barcode command over HTTP: the picture's type and headers, and the bare "E!" of a refusal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HttpClient;
using twtest::HttpReply;
using twtest::TestHost;

// zbarimg's reading of a picture, "" when it reads none.
std::string Decode(const std::string& bytes, const char* suffix) {
  char path[64];
  std::snprintf(path, sizeof path, "/tmp/tarnwick-bar-%d%s", static_cast<int>(getpid()), suffix);
  std::ofstream(path, std::ios::binary) << bytes;
  std::string cmd = std::string("zbarimg --quiet --raw -Si25.min-length=2 ") + path + " 2>/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
  }
  std::remove(path);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

TEST(BarcodeDoor, AnswersPicturesOrERefusal) {
  if (std::system("command -v zbarimg >/dev/null 2>&1") != 0) GTEST_SKIP() << "zbarimg is not installed";
  TestHost host;  // the barcode command needs no database
  ASSERT_TRUE(host.Start()) << host.error();
  HttpClient http(host.port());
  struct Case {
    const char* query;
    const char* type;  // null: refused
    const char* text;
  } cases[] = {
      {"ccode=TW123456789CN", "image/bmp", "TW123456789CN"},
      {"ccode=123456789012&ntype=1000", "image/png", "123456789012"},
      {"ccode=12345678&ntype=1101&iwz=3", "image/png", "12345678"},  // Interleaved 2 of 5, no text line
      {"ccode=12345&ntype=1", "image/bmp", "12345"},                  // odd digits: Code 128 instead
      {"ccode=0123456789&ntype=2&idir=1", "image/bmp", "0123456789"},  // GS1-128, turned
      {"ccode=", nullptr, nullptr},
      {"ccode=%01A", nullptr, nullptr},
      {"ccode=AB12&cmask=A2A2", nullptr, nullptr},  // the same code set twice in a row
  };
  for (const Case& c : cases) {
    HttpReply r = http.Get(std::string("/cgi-bin/Tarnwick.dll?DoBarCode&") + c.query);
    ASSERT_EQ(r.status, 200) << c.query;
    if (c.type == nullptr) {
      EXPECT_EQ(r.body, "E!") << c.query;
      continue;
    }
    EXPECT_EQ(r.Header("content-type"), c.type) << c.query;
    EXPECT_EQ(r.Header("accept-ranges"), "bytes") << c.query;
    EXPECT_EQ(r.Header("content-length"), std::to_string(r.body.size())) << c.query;
    bool png = std::string(c.type) == "image/png";
    EXPECT_EQ(r.body.substr(0, png ? 4 : 2), png ? "\x89PNG" : "BM") << c.query;
    EXPECT_EQ(Decode(r.body, png ? ".png" : ".bmp"), c.text) << c.query;
  }
  EXPECT_EQ(host.Stop(), 0);
}

}  // namespace
