// Every picture the renderer draws must read back, with an independent decoder (zbarimg from
// zbar-tools), as exactly the text it was asked for: a label that scans as anything else stops a
// parcel. The pictures are written to a temporary folder as the renderer made them (BMP, or PNG
// after ConvertToPng) and decoded in one zbarimg run per test.

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "image/barcode_image.h"
#include "tests/image/barcode_test_util.h"

namespace {

using barcode_test::Decoded;
using barcode_test::DecodeFiles;
using barcode_test::TempDir;

struct Job {
  std::string text;
  std::string plan;
  bool i25 = false;
  bool gs1 = false;
  bool gs1Check = false;
  bool hide = false;
  int barHeight = 30;
  int moduleWidth = 2;
  int orientation = 0;
  bool png = false;
  std::string expected;  // what the decoder must report (the text, with any GS1 check digit)
};

[[nodiscard]] std::string Describe(const Job& j) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "%s \"%s\" plan \"%s\"%s%s width %d idir %d %s", j.i25 ? "I2of5" : "Code 128",
                j.text.c_str(), j.plan.c_str(), j.gs1 ? " GS1" : "", j.hide ? " hidden" : "", j.moduleWidth,
                j.orientation, j.png ? "PNG" : "BMP");
  return buf;
}

// Draws every job, decodes all pictures in one run and checks each reads as exactly its text.
void DrawAndDecode(const std::vector<Job>& jobs) {
  TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  std::vector<std::string> files;
  for (size_t i = 0; i < jobs.size(); ++i) {
    const Job& j = jobs[i];
    CBarcodeImage image;
    image.SetModuleWidth(j.moduleWidth);
    image.SetGs1Mode(j.gs1, j.gs1Check);
    const int drawn = j.i25 ? image.EncodeInterleaved2of5(j.text, j.barHeight, j.hide, j.orientation)
                            : image.EncodeCode128(j.text, j.barHeight, j.hide, j.plan, j.orientation);
    ASSERT_EQ(drawn, 1) << Describe(j);
    if (j.png) {
      ASSERT_EQ(image.ConvertToPng(nullptr), 1) << Describe(j);
      ASSERT_TRUE(image.IsPng());
    }
    char name[32];
    std::snprintf(name, sizeof name, "p%04zu.%s", i, j.png ? "png" : "bmp");
    if (j.moduleWidth == 1) {
      // One pixel per module is below what zbarimg resolves reliably: decode an exact enlargement.
      barcode_test::Bmp bmp = barcode_test::ReadBmp(image.FileImage(), image.FileLength());
      ASSERT_TRUE(bmp.ok) << Describe(j);
      std::vector<uint8_t> big = barcode_test::EnlargeBmp(bmp, 3);
      files.push_back(dir.Write(name, big.data(), static_cast<uint32_t>(big.size())));
    } else {
      files.push_back(dir.Write(name, image.FileImage(), image.FileLength()));
    }
    ASSERT_FALSE(files.back().empty());
  }
  bool ran = false;
  auto found = DecodeFiles(files, &ran);
  ASSERT_TRUE(ran) << "zbarimg (Debian package zbar-tools) must be installed";
  for (size_t i = 0; i < jobs.size(); ++i) {
    const Job& j = jobs[i];
    const std::vector<Decoded>& symbols = found[files[i]];
    EXPECT_EQ(symbols.size(), 1u) << Describe(j);
    if (symbols.size() != 1) {
      continue;
    }
    EXPECT_EQ(symbols[0].type, j.i25 ? "I2/5" : "CODE-128") << Describe(j);
    EXPECT_EQ(symbols[0].data, j.expected) << Describe(j);
    // zbar reports a leading FNC1 as the GS1 modifier, not as data.
    EXPECT_EQ(symbols[0].modifiers.find("GS1") != std::string::npos, j.gs1) << Describe(j);
  }
}

[[nodiscard]] Job Code128(std::string text, std::string plan = "") {
  Job j;
  j.expected = text;
  j.text = std::move(text);
  j.plan = std::move(plan);
  return j;
}

[[nodiscard]] Job Gs1(std::string text, bool check, std::string expected) {
  Job j = Code128(std::move(text));
  j.gs1 = true;
  j.gs1Check = check;
  j.expected = std::move(expected);
  return j;
}

[[nodiscard]] Job I25(std::string digits) {
  Job j = Code128(std::move(digits));
  j.i25 = true;
  return j;
}

// Texts that cover each road through the renderer.
[[nodiscard]] std::vector<Job> TypicalLabels() {
  std::vector<Job> base = {
      Code128("AB"),                    // set A
      Code128("PARCEL-0042"),           // set A with punctuation
      Code128("123456789012"),          // 12 digits: set A with the band, C12 without
      Code128("SF1234567890A"),         // 13 characters
      Code128("1234567890123456"),      // automatic C16
      Code128("abc1234567"),            // automatic B4C6 (odd run)
      Code128("Hello World 123"),       // automatic B
      Code128("ABC1234xy", "a3c4b2"),   // caller's plan, lower case letters
      Code128("order 20240614000123 for client 88 / depot CN-SHA, west"),  // long, B and C mixed
      Gs1("0101234567890128", false, "0101234567890128"),
      Gs1("0101", false, "0101"),
      Gs1("950110153000", true, "9501101530003"),
      I25("12"),
      I25("0123456789"),
      I25("123456789012"),
  };
  return base;
}

// Every typical label at each of the module widths, in every orientation, with and without the
// text band.
[[nodiscard]] std::vector<Job> LabelMatrix(std::initializer_list<int> widths, bool png) {
  std::vector<Job> jobs;
  for (const Job& label : TypicalLabels()) {
    for (int width : widths) {
      for (int dir : {0, 1, 2, 3}) {
        for (bool hide : {false, true}) {
          Job j = label;
          j.moduleWidth = width;
          j.orientation = dir;
          j.hide = hide;
          j.png = png;
          jobs.push_back(j);
        }
      }
    }
  }
  return jobs;
}

TEST(BarcodeDecode, EveryOrientationAndModuleWidthReadsBackAsBmp) { DrawAndDecode(LabelMatrix({1, 2, 3, 8}, false)); }

TEST(BarcodeDecode, EveryOrientationAndModuleWidthReadsBackAsPng) { DrawAndDecode(LabelMatrix({2, 3, 8}, true)); }

TEST(BarcodeDecode, EverySymbolValueReadsBack) {
  std::vector<Job> jobs;
  // Set C: every pair 00-99, 25 pairs a picture.
  for (int first = 0; first < 100; first += 25) {
    std::string digits;
    for (int v = first; v < first + 25; ++v) {
      digits += static_cast<char>('0' + v / 10);
      digits += static_cast<char>('0' + v % 10);
    }
    jobs.push_back(Code128(digits));
  }
  // Set B: every character 32-126; set A: every character 32-95.
  std::string b1, b2, a1, a2;
  for (int c = 32; c <= 126; ++c) {
    (c < 80 ? b1 : b2) += static_cast<char>(c);
  }
  for (int c = 32; c <= 95; ++c) {
    (c < 64 ? a1 : a2) += static_cast<char>(c);
  }
  jobs.push_back(Code128(b1, "B"));
  jobs.push_back(Code128(b2, "B"));
  jobs.push_back(Code128(a1, "A"));
  jobs.push_back(Code128(a2, "A"));
  // Every check value 0-102, including values no character maps to (95-102): two set A characters
  // whose check (103 + v1 + 2 x v2) mod 103 is that value.
  for (int target = 0; target < 103; ++target) {
    bool found = false;
    for (int v1 = 33; v1 < 64 && !found; ++v1) {  // from 'A' on: no leading space or quote
      for (int v2 = 0; v2 < 64 && !found; ++v2) {
        if ((103 + v1 + 2 * v2) % 103 == target) {
          jobs.push_back(Code128(std::string{static_cast<char>(32 + v1), static_cast<char>(32 + v2)}));
          found = true;
        }
      }
    }
    ASSERT_TRUE(found) << target;
  }
  // Interleaved 2 of 5: every digit in bars and in spaces.
  jobs.push_back(I25("01234567899876543210"));
  jobs.push_back(I25(std::string(60, '9')));
  DrawAndDecode(jobs);
}

}  // namespace
