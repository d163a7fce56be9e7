// DrawString on a machine without CJK fonts: fontconfig is pointed at a configuration whose only font
// folder is empty (and then at one that holds Latin fonts only); drawing Chinese text then fails
// cleanly with its text and leaves the picture as it was. A program of its own, since the font state
// of a process starts once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/raster_errors.h"
#include "image/raster_image.h"
#include "image/raster_text.h"

namespace {

// Writes a fontconfig configuration with the one font folder `fonts` and points FONTCONFIG_FILE at it.
void UseFontFolder(const std::string& work, const std::string& fonts) {
  const std::string conf = work + "/fonts.conf";
  FILE* f = std::fopen(conf.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fprintf(
      f, "<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>%s</dir>\n  <cachedir>%s/cache</cachedir>\n</fontconfig>\n",
      fonts.c_str(), work.c_str());
  std::fclose(f);
  setenv("FONTCONFIG_FILE", conf.c_str(), 1);
}

bool Unchanged(const CRasterImage& a, const CRasterImage& b) {
  for (uint32_t y = 0; y < a.GetHeight(); ++y) {
    for (uint32_t x = 0; x < a.GetWidth(); ++x) {
      if (!(a.GetPixelColor(x, y) == b.GetPixelColor(x, y))) {
        return false;
      }
    }
  }
  return true;
}

TEST(RasterTextNoFont, DrawingFailsCleanlyWithoutACjkFont) {
  char work[] = "/tmp/tw_nofont_XXXXXX";
  ASSERT_NE(mkdtemp(work), nullptr);
  const std::string empty = std::string(work) + "/none";
  ASSERT_EQ(mkdir(empty.c_str(), 0700), 0);
  UseFontFolder(work, empty);
  RasterReleaseTextState();

  CRasterImage img(305, 195, 24, 0);
  img.Clear(255);
  const CRasterImage before(img);
  EXPECT_FALSE(img.DrawString(nullptr, 75, -5, "  -身份证上传-", RasterRgb(255, 99, 99), "黑体", 26, 600, false, false,
                              true, 0.5f, -450));
  EXPECT_STREQ(img.GetLastError(), raster_error::kTextNoFont);
  EXPECT_TRUE(Unchanged(img, before));

  // Latin fonts only (Debian's DejaVu, when installed): Latin text draws, Chinese text is refused.
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu";
  if (access(dejavu.c_str(), R_OK) == 0) {
    UseFontFolder(work, dejavu);
    RasterReleaseTextState();
    EXPECT_TRUE(
        img.DrawString(nullptr, 5, 5, "ID card", RasterRgb(0, 0, 0), "黑体", 26, 400, false, false, true, 0.0f, 0));
    EXPECT_FALSE(Unchanged(img, before));
    const CRasterImage latin(img);
    EXPECT_FALSE(
        img.DrawString(nullptr, 5, 60, "身份证", RasterRgb(0, 0, 0), "黑体", 26, 400, false, false, true, 0.0f, 0));
    EXPECT_STREQ(img.GetLastError(), raster_error::kTextNoFont);
    EXPECT_TRUE(Unchanged(img, latin));
  }
  RasterReleaseTextState();
  unsetenv("FONTCONFIG_FILE");
  std::system((std::string("rm -rf '") + work + "'").c_str());
}

}  // namespace
