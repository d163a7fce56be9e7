// DrawString: the ID-card watermark in its configured font, colour and opacity, rotated by its
// escapement; the placement rule; drawing from many threads at once.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "image/raster_errors.h"
#include "image/raster_image.h"

namespace {

// The watermark of the ID-card pictures as the handler draws it: the configured text (two blanks and
// the value), the default colour RGB(255, 99, 99), font "黑体" at 26 pixels and weight 600, opacity
// 0.5, at x 75, y -5, turned 45 degrees clockwise (escapement -450).
constexpr char kWatermark[] = "  -身份证上传-";
constexpr int32_t kSize = 26;

struct Changed {
  uint32_t x;   // picture column
  uint32_t ty;  // row from the top
  RasterQuad c;
};

std::vector<Changed> ChangedPixels(const CRasterImage& img, const CRasterImage& before) {
  std::vector<Changed> out;
  for (uint32_t y = 0; y < img.GetHeight(); ++y) {
    for (uint32_t x = 0; x < img.GetWidth(); ++x) {
      const RasterQuad c = img.GetPixelColor(x, y, false);
      if (!(c == before.GetPixelColor(x, y, false))) {
        out.push_back(Changed{x, img.GetHeight() - 1 - y, c});
      }
    }
  }
  return out;
}

CRasterImage WhiteCard() {
  CRasterImage img(305, 195, 24, 0);
  img.Clear(255);
  return img;
}

bool DrawWatermark(CRasterImage& img, float opacity, const char* font = "黑体") {
  return img.DrawString(nullptr, 75, -5, kWatermark, RasterRgb(255, 99, 99), font, kSize, 600, false, false, true,
                        opacity, -450);
}

TEST(RasterText, WatermarkRunsAlongTheFortyFiveDegreeBand) {
  CRasterImage img = WhiteCard();
  const CRasterImage before(img);
  ASSERT_TRUE(DrawWatermark(img, 0.5f)) << img.GetLastError();
  const std::vector<Changed> changed = ChangedPixels(img, before);
  ASSERT_GT(changed.size(), 500u);
  // In the text's own frame (turned 45 degrees clockwise about (75, -5)): `along` the baseline and
  // `down` across it. Every touched pixel lies in the band of one cell height below the line, and the
  // text reaches well along it (five Chinese characters of about 22 pixels each).
  const double k = std::sqrt(0.5);
  double minAlong = 1e9;
  double maxAlong = -1e9;
  for (const Changed& p : changed) {
    const double vx = p.x + 0.5 - 75;
    const double vy = p.ty + 0.5 + 5;
    const double along = (vx + vy) * k;
    const double down = (vy - vx) * k;
    EXPECT_GE(down, -3.0) << p.x << "," << p.ty;
    EXPECT_LE(down, kSize + 3.0) << p.x << "," << p.ty;
    EXPECT_GE(along, -3.0);
    minAlong = std::min(minAlong, along);
    maxAlong = std::max(maxAlong, along);
  }
  EXPECT_GT(maxAlong - minAlong, 110.0);
  EXPECT_LT(maxAlong, 9 * kSize + 3.0);  // nine characters of at most one cell each
}

TEST(RasterText, OpacityBlendsTheColourWithThePicture) {
  // Fully covered pixels become colour x (1 - 0.5) + white x 0.5: red (255 + 255) / 2 = 255, green and
  // blue (99 + 255) / 2 = 177 (rounded down from 177.5 at 1/256 steps: (99 * 128 + 255 * 128 + 128) >> 8).
  CRasterImage img = WhiteCard();
  const CRasterImage before(img);
  ASSERT_TRUE(DrawWatermark(img, 0.5f));
  int solid = 0;
  for (const Changed& p : ChangedPixels(img, before)) {
    EXPECT_EQ(p.c.rgbRed, 255);
    EXPECT_GE(p.c.rgbGreen, 177);  // partly covered edges lie between the blend and white
    EXPECT_EQ(p.c.rgbGreen, p.c.rgbBlue);
    solid += p.c.rgbGreen == 177 ? 1 : 0;
  }
  EXPECT_GT(solid, 40);  // turned strokes about two pixels wide cover few pixels wholly

  CRasterImage unchanged = WhiteCard();
  ASSERT_TRUE(DrawWatermark(unchanged, 1.0f));
  EXPECT_TRUE(ChangedPixels(unchanged, before).empty());

  CRasterImage exact = WhiteCard();
  ASSERT_TRUE(DrawWatermark(exact, 0.0f));
  int coloured = 0;
  for (const Changed& p : ChangedPixels(exact, before)) {
    coloured += p.c == RasterRgb(255, 99, 99) ? 1 : 0;
  }
  EXPECT_GT(coloured, 40);
}

TEST(RasterText, FaceNamesChooseTheirStandIns) {
  // "黑体" (a Hei face) and "宋体" (a Song face) are drawn by different installed fonts; an unknown face
  // still draws Chinese text in a CJK font.
  const CRasterImage before = WhiteCard();
  CRasterImage hei = WhiteCard();
  CRasterImage song = WhiteCard();
  CRasterImage unknown = WhiteCard();
  ASSERT_TRUE(DrawWatermark(hei, 0.0f, "黑体"));
  ASSERT_TRUE(DrawWatermark(song, 0.0f, "宋体"));
  ASSERT_TRUE(DrawWatermark(unknown, 0.0f, "NoSuchFace"));
  EXPECT_FALSE(ChangedPixels(song, before).empty());
  EXPECT_FALSE(ChangedPixels(unknown, before).empty());
  EXPECT_FALSE(ChangedPixels(hei, song).empty());
  CRasterImage simhei = WhiteCard();
  ASSERT_TRUE(DrawWatermark(simhei, 0.0f, "SimHei"));  // the English name of the same face
  EXPECT_TRUE(ChangedPixels(simhei, hei).empty());
}

TEST(RasterText, CellTopLeftIsThePlacementPoint) {
  // Without an escapement the text's cell starts at (x, y) from the top: nothing above y or left of
  // x, and ink within the cell height below it.
  CRasterImage img(200, 80, 24, 0);
  img.Clear(255);
  const CRasterImage before(img);
  ASSERT_TRUE(
      img.DrawString(nullptr, 20, 30, "上传", RasterRgb(0, 0, 0), "黑体", 26, 400, false, false, false, 0.0f, 0));
  const std::vector<Changed> changed = ChangedPixels(img, before);
  ASSERT_FALSE(changed.empty());
  uint32_t top = UINT32_MAX;
  uint32_t bottom = 0;
  uint32_t left = UINT32_MAX;
  for (const Changed& p : changed) {
    top = std::min(top, p.ty);
    bottom = std::max(bottom, p.ty);
    left = std::min(left, p.x);
  }
  EXPECT_GE(top, 30u);
  EXPECT_LT(bottom, 30u + kSize);
  EXPECT_GE(left, 20u);
  EXPECT_LT(left, 25u);
}

TEST(RasterText, NothingOutsideThePictureIsTouched) {
  // Text running far past every edge is clipped (the asan build checks every write); text wholly
  // outside changes nothing and is no failure.
  CRasterImage small(20, 20, 24, 0);
  small.Clear(255);
  const CRasterImage before(small);
  EXPECT_TRUE(small.DrawString(nullptr, -30, -30, "身份证上传身份证上传", RasterRgb(0, 0, 0), "黑体", 40, 900, true,
                               true, true, 0.0f, -450));
  EXPECT_FALSE(ChangedPixels(small, before).empty());
  CRasterImage away(20, 20, 24, 0);
  away.Clear(255);
  EXPECT_TRUE(
      away.DrawString(nullptr, 1000, 1000, "上传", RasterRgb(0, 0, 0), "黑体", 26, 400, false, false, true, 0.0f, 0));
  EXPECT_TRUE(away.DrawString(nullptr, INT64_MIN, INT64_MAX, "上传", RasterRgb(0, 0, 0), "黑体", 26, 400, false, false,
                              true, 0.0f, 900));
  EXPECT_TRUE(ChangedPixels(away, before).empty());
}

TEST(RasterText, PalettePicturesAndAlphaPlanes) {
  CRasterImage grey(60, 40, 8, 0);
  grey.SetGrayPalette();
  grey.Clear(255);
  const CRasterImage before(grey);
  ASSERT_TRUE(grey.DrawString(nullptr, 2, 2, "上", RasterRgb(0, 0, 0), "黑体", 30, 400, false, false, false, 0.0f, 0));
  bool black = false;
  for (const Changed& p : ChangedPixels(grey, before)) {
    black = black || p.c == RasterRgb(0, 0, 0);
  }
  EXPECT_TRUE(black);  // nearest palette entry of the blended colours

  CRasterImage clear(60, 40, 24, 0);
  ASSERT_TRUE(clear.AlphaCreate());
  for (uint32_t y = 0; y < 40; ++y) {
    for (uint32_t x = 0; x < 60; ++x) {
      clear.AlphaSet(x, y, 0);
    }
  }
  ASSERT_TRUE(clear.DrawString(nullptr, 2, 2, "上", RasterRgb(0, 0, 0), "黑体", 30, 400, false, false, true, 0.0f, 0));
  int opaque = 0;
  for (uint32_t y = 0; y < 40; ++y) {
    for (uint32_t x = 0; x < 60; ++x) {
      opaque += clear.AlphaGet(x, y) == 255 ? 1 : 0;
    }
  }
  EXPECT_GT(opaque, 20);  // the text is opaque where it covers the picture
}

TEST(RasterText, NothingToDrawAndRefusals) {
  CRasterImage empty;
  EXPECT_TRUE(
      empty.DrawString(nullptr, 0, 0, "上传", RasterRgb(0, 0, 0), "黑体", 26, 400, false, false, true, 0.5f, 0));
  CRasterImage img = WhiteCard();
  EXPECT_TRUE(img.DrawString(nullptr, 0, 0, "", RasterRgb(0, 0, 0), "黑体", 26, 400, false, false, true, 0.5f, 0));
  EXPECT_TRUE(img.DrawString(nullptr, 0, 0, nullptr, RasterRgb(0, 0, 0), "黑体", 26, 400, false, false, true, 0.5f, 0));
  const CRasterImage before(img);
  EXPECT_FALSE(
      img.DrawString(nullptr, 0, 0, "上传", RasterRgb(0, 0, 0), "黑体", 100000, 400, false, false, true, 0.5f, 0));
  EXPECT_STREQ(img.GetLastError(), raster_error::kTextSize);
  EXPECT_TRUE(ChangedPixels(img, before).empty());
}

TEST(RasterText, ManyThreadsDrawAtOnce) {
  CRasterImage reference = WhiteCard();
  ASSERT_TRUE(DrawWatermark(reference, 0.5f));
  constexpr int kThreads = 8;
  constexpr int kRounds = 25;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches, &reference] {
      for (int r = 0; r < kRounds; ++r) {
        CRasterImage img = WhiteCard();
        // Every other thread also draws in the Song face, so face lookups interleave.
        if (t % 2 == 1) {
          CRasterImage other = WhiteCard();
          DrawWatermark(other, 0.5f, "宋体");
        }
        if (!DrawWatermark(img, 0.5f) || !ChangedPixels(img, reference).empty()) {
          ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& th : threads) {
    th.join();
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(mismatches[t], 0) << "thread " << t;
  }
}

}  // namespace
