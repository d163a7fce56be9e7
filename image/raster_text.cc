// CRasterImage::DrawString: text drawn with FreeType in a face that fontconfig chooses.
//
// Faces. The configuration names Windows' Chinese faces ("黑体", "宋体" ...); kFaceAliases maps each
// to the installed Debian families that stand in for it (WenQuanYi Zen Hei for the Hei faces, AR PL
// UMing for the Song faces ...), best first. fontconfig then sorts every installed face against those
// families, the language zh-cn, the weight and the slant, and the first face that has every character
// of the text draws it. When none has them all (no CJK font installed, say), nothing is drawn and the
// call fails with its text. Bold and italic are synthesised when the face has no such style.
//
// Threads. FreeType's library and faces and fontconfig's configuration are shared, lazily created
// state that lives for the process (heap-allocated, freed only by RasterReleaseTextState). One mutex
// guards all of it: the face lookup and the rendering of the glyph bitmaps run under it, and the
// bitmaps are copied out, so the blending into the picture runs outside it. Drawing the ID-card
// watermark holds the lock for about a quarter of a millisecond.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "image/raster_errors.h"
#include "image/raster_image.h"
#include "image/raster_text.h"
#include "util/codepage.h"

namespace {

// Longest face name taken from the caller, in bytes.
constexpr size_t kFaceNameMax = 31;
// Cell heights beyond this are refused (the work and the mask grow with the square of the size).
constexpr int32_t kMaxTextHeight = 2048;
constexpr int32_t kDefaultTextHeight = 12;
constexpr int32_t kWeightNormal = 400;
constexpr int32_t kWeightMin = 100;
constexpr int32_t kWeightMax = 900;
// A face is emboldened when the weight asked for is at least this and this much above its own.
constexpr int32_t kSyntheticBoldFrom = 600;
constexpr int32_t kSyntheticBoldGap = 150;
// Shear of a synthesised italic (the slant FreeType uses for oblique faces).
constexpr double kItalicShear = 0.2;
// Faces fontconfig offers that are looked at for the characters of a text.
constexpr int kMaxCandidates = 128;
// Cached lookups and open faces.
constexpr size_t kMaxLookups = 32;
constexpr size_t kMaxFaces = 8;
// Underlines are rasterised with this many samples per pixel side.
constexpr int kUnderlineSamples = 4;
constexpr double kDegreesPerTenth = 0.1;
// Places beyond this many pixels are outside every picture the memory limit allows.
constexpr int64_t kFarAway = int64_t{1} << 31;
constexpr double kPi = 3.14159265358979323846;

// One Windows face and the installed families that stand in for it, best first.
struct FaceAlias {
  const char16_t* names[4];
  const char* families[5];
};

constexpr FaceAlias kFaceAliases[] = {
    {{u"黑体", u"SimHei", nullptr, nullptr},
     {"WenQuanYi Zen Hei", "Noto Sans CJK SC", "Droid Sans Fallback", nullptr, nullptr}},
    {{u"宋体", u"SimSun", u"新宋体", u"NSimSun"},
     {"AR PL UMing CN", "AR PL SungtiL GB", "Noto Serif CJK SC", "WenQuanYi Zen Hei", nullptr}},
    {{u"楷体", u"楷体_GB2312", u"KaiTi", u"KaiTi_GB2312"},
     {"AR PL UKai CN", "AR PL KaitiM GB", "AR PL UMing CN", "WenQuanYi Zen Hei", nullptr}},
    {{u"仿宋", u"仿宋_GB2312", u"FangSong", u"FangSong_GB2312"},
     {"AR PL UMing CN", "AR PL UKai CN", "Noto Serif CJK SC", "WenQuanYi Zen Hei", nullptr}},
    {{u"微软雅黑", u"Microsoft YaHei", u"幼圆", u"YouYuan"},
     {"WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Droid Sans Fallback", nullptr}},
    {{u"隶书", u"LiSu", u"华文细黑", u"STXihei"},
     {"WenQuanYi Zen Hei", "AR PL UMing CN", "Noto Sans CJK SC", nullptr, nullptr}},
};

[[nodiscard]] char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

[[nodiscard]] bool SameName(const std::u16string& a, const char16_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return i == a.size() && b[i] == 0;
}

[[nodiscard]] const FaceAlias* FindAlias(const std::u16string& name) {
  for (const FaceAlias& alias : kFaceAliases) {
    for (const char16_t* n : alias.names) {
      if (n != nullptr && SameName(name, n)) {
        return &alias;
      }
    }
  }
  return nullptr;
}

[[nodiscard]] std::u16string GbkUnits(const char* text, size_t n) {
  std::u16string out(n, u'\0');
  out.resize(tw::GbkToUnits(std::string_view(text, n), out.data(), out.size()));
  return out;
}

[[nodiscard]] std::string Utf8Of(const std::u16string& units) {
  std::string out(units.size() * 3 + 1, '\0');
  tw::WideToUtf8(units.c_str(), out.data(), out.size());
  out.resize(std::strlen(out.c_str()));
  return out;
}

// Characters that are neither drawn nor looked up: controls (and the byte-order mark).
[[nodiscard]] bool IsInvisible(char16_t c) { return c < 0x20 || c == 0x7F || c == 0xFEFF; }
[[nodiscard]] bool IsBlank(char16_t c) { return c == u' ' || c == 0x3000; }

// ---- the shared font state (guarded by FontState::lock) ----

struct Lookup {
  std::string key;
  FcFontSet* fonts = nullptr;  // sorted best first; lives as long as the state
};

struct OpenFace {
  std::string file;
  int index = 0;
  FT_Face face = nullptr;
};

struct FontState {
  std::mutex lock;
  bool started = false;
  FcConfig* config = nullptr;
  FT_Library library = nullptr;
  std::vector<Lookup> lookups;
  std::vector<OpenFace> faces;
};

// The state: created on first use, never destroyed at exit (no destructor runs at library unload).
FontState* g_fontState = nullptr;
std::once_flag g_fontStateOnce;

FontState& State() {
  std::call_once(g_fontStateOnce, [] { g_fontState = new FontState; });
  return *g_fontState;
}

// REQUIRES: the lock. Starts fontconfig and FreeType once. Returns false when either cannot start.
bool Start(FontState& s) {
  if (!s.started) {
    s.started = true;
    s.config = FcInitLoadConfigAndFonts();
    if (FT_Init_FreeType(&s.library) != 0) {
      s.library = nullptr;
    }
  }
  return s.config != nullptr && s.library != nullptr;
}

// REQUIRES: the lock. The installed faces sorted against the face name, weight and slant.
FcFontSet* SortedFonts(FontState& s, const std::u16string& name, int32_t weight, bool italic) {
  const std::string utf8 = Utf8Of(name);
  const std::string key = utf8 + '\x1f' + std::to_string(weight) + (italic ? "i" : "r");
  for (const Lookup& l : s.lookups) {
    if (l.key == key) {
      return l.fonts;
    }
  }
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) {
    return nullptr;
  }
  if (const FaceAlias* alias = FindAlias(name)) {
    for (const char* family : alias->families) {
      if (family != nullptr) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
      }
    }
  }
  if (!utf8.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.c_str()));
  }
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(s.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* fonts = FcFontSort(s.config, pattern, FcFalse, nullptr, &result);
  FcPatternDestroy(pattern);
  if (fonts != nullptr && s.lookups.size() < kMaxLookups) {
    s.lookups.push_back(Lookup{key, fonts});
  }
  // Beyond the cache's size the set is still returned; the caller frees it (IsCached tells).
  return fonts;
}

[[nodiscard]] bool IsCached(const FontState& s, const FcFontSet* fonts) {
  for (const Lookup& l : s.lookups) {
    if (l.fonts == fonts) {
      return true;
    }
  }
  return false;
}

// REQUIRES: the lock. The first face of `fonts` that has every character of `text` that is drawn.
FcPattern* FaceForText(FcFontSet* fonts, const std::u16string& text) {
  for (int i = 0; i < fonts->nfont && i < kMaxCandidates; ++i) {
    FcPattern* p = fonts->fonts[i];
    FcCharSet* chars = nullptr;
    FcChar8* file = nullptr;
    if (FcPatternGetCharSet(p, FC_CHARSET, 0, &chars) != FcResultMatch ||
        FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch) {
      continue;
    }
    bool all = true;
    for (char16_t c : text) {
      if (!IsInvisible(c) && !IsBlank(c) && !FcCharSetHasChar(chars, c)) {
        all = false;
        break;
      }
    }
    if (all) {
      return p;
    }
  }
  return nullptr;
}

// REQUIRES: the lock. The open FreeType face of `file` and `index`, or null.
FT_Face OpenFaceOf(FontState& s, const char* file, int index) {
  for (const OpenFace& f : s.faces) {
    if (f.index == index && f.file == file) {
      return f.face;
    }
  }
  FT_Face face = nullptr;
  if (FT_New_Face(s.library, file, index, &face) != 0) {
    return nullptr;
  }
  if (s.faces.size() >= kMaxFaces) {
    FT_Done_Face(s.faces.front().face);
    s.faces.erase(s.faces.begin());
  }
  s.faces.push_back(OpenFace{file, index, face});
  return face;
}

// ---- layout ----

// A glyph's coverage bitmap at its place on the picture, in top-down device pixels.
struct GlyphBitmap {
  int64_t left = 0;
  int64_t top = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> coverage;
};

struct Point {
  double x = 0;
  double y = 0;
};

struct TextLayout {
  std::vector<GlyphBitmap> glyphs;
  bool underline = false;
  Point corners[4];  // the underline's rectangle, in device pixels
};

struct TextRequest {
  std::u16string text;
  std::u16string face;
  int32_t size = 0;
  int32_t weight = kWeightNormal;
  bool italic = false;
  bool underline = false;
  double angle = 0;  // radians, counter-clockwise on the screen
  double x = 0;      // top-left of the first cell, top-down
  double y = 0;
};

FT_Fixed ToFixed(double v) { return static_cast<FT_Fixed>(std::lround(v * 65536.0)); }

// REQUIRES: the lock. Renders every glyph of the text and places it. Returns a refusal text or null.
const char* LayOut(FontState& s, const TextRequest& r, TextLayout* out) {
  FcFontSet* fonts = SortedFonts(s, r.face, r.weight, r.italic);
  if (fonts == nullptr) {
    return raster_error::kTextNoFont;
  }
  FcPattern* chosen = FaceForText(fonts, r.text);
  FcChar8* file = nullptr;
  int index = 0;
  int faceWeight = FC_WEIGHT_REGULAR;
  int faceSlant = FC_SLANT_ROMAN;
  if (chosen != nullptr) {
    FcPatternGetString(chosen, FC_FILE, 0, &file);
    FcPatternGetInteger(chosen, FC_INDEX, 0, &index);
    FcPatternGetInteger(chosen, FC_WEIGHT, 0, &faceWeight);
    FcPatternGetInteger(chosen, FC_SLANT, 0, &faceSlant);
  }
  const std::string path = file != nullptr ? reinterpret_cast<const char*>(file) : "";
  if (!IsCached(s, fonts)) {
    FcFontSetDestroy(fonts);  // `file` was copied into `path`
  }
  if (chosen == nullptr) {
    return raster_error::kTextNoFont;
  }
  FT_Face face = OpenFaceOf(s, path.c_str(), index);
  if (face == nullptr) {
    return raster_error::kTextFont;
  }
  FT_Size_RequestRec request{};
  request.type = r.size > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.height = static_cast<FT_Long>(r.size > 0 ? r.size : -r.size) * 64;
  if (FT_Request_Size(face, &request) != 0) {
    return raster_error::kTextFont;
  }
  FT_Set_Transform(face, nullptr, nullptr);
  const double ascender = face->size->metrics.ascender / 64.0;
  const double em = face->size->metrics.y_ppem;
  const int32_t ownWeight = static_cast<int32_t>(FcWeightToOpenType(faceWeight));
  const double boldStrength = (r.weight >= kSyntheticBoldFrom && r.weight - ownWeight >= kSyntheticBoldGap)
                                  ? em * (r.weight - ownWeight) / 300.0 / 24.0
                                  : 0.0;
  const bool shear = r.italic && faceSlant == FC_SLANT_ROMAN;
  const double c = std::cos(r.angle);
  const double sn = std::sin(r.angle);
  const bool rotated = r.angle != 0.0;
  // Directions on the top-down device: along the baseline and down across it.
  const Point along{c, -sn};
  const Point down{sn, c};
  const Point baseline{r.x + ascender * down.x, r.y + ascender * down.y};
  // Outline transform in FreeType's y-up frame: shear first, then the rotation.
  FT_Matrix matrix{ToFixed(c), ToFixed(-sn + (shear ? c * kItalicShear : 0.0)), ToFixed(sn),
                   ToFixed(c + (shear ? sn * kItalicShear : 0.0))};
  const bool transform = rotated || shear;
  const FT_Int32 loadFlags = FT_LOAD_NO_BITMAP | (transform ? FT_LOAD_NO_HINTING : FT_LOAD_DEFAULT);

  double advanced = 0;  // along the baseline
  for (char16_t ch : r.text) {
    if (IsInvisible(ch)) {
      continue;
    }
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, ch), loadFlags) != 0) {
      return raster_error::kTextFont;
    }
    FT_GlyphSlot slot = face->glyph;
    double advance = transform ? slot->linearHoriAdvance / 65536.0 : slot->advance.x / 64.0;
    const Point pen{baseline.x + advanced * along.x, baseline.y + advanced * along.y};
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points > 0) {
      if (boldStrength > 0) {
        FT_Outline_Embolden(&slot->outline, static_cast<FT_Pos>(std::lround(boldStrength * 64)));
        advance += boldStrength;
      }
      if (transform) {
        FT_Outline_Transform(&slot->outline, &matrix);
      }
      const double ix = std::floor(pen.x);
      const double iy = std::floor(pen.y);
      FT_Outline_Translate(&slot->outline, static_cast<FT_Pos>(std::lround((pen.x - ix) * 64)),
                           -static_cast<FT_Pos>(std::lround((pen.y - iy) * 64)));
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
        return raster_error::kTextFont;
      }
      const FT_Bitmap& bm = slot->bitmap;
      if (bm.width > 0 && bm.rows > 0 && bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        GlyphBitmap g;
        g.left = static_cast<int64_t>(ix) + slot->bitmap_left;
        g.top = static_cast<int64_t>(iy) - slot->bitmap_top;
        g.width = bm.width;
        g.height = bm.rows;
        g.coverage.resize(static_cast<size_t>(g.width) * g.height);
        const int pitch = bm.pitch;
        for (uint32_t row = 0; row < g.height; ++row) {
          const uint8_t* src = pitch >= 0
                                   ? bm.buffer + static_cast<size_t>(row) * pitch
                                   : bm.buffer + static_cast<size_t>(g.height - 1 - row) * static_cast<size_t>(-pitch);
          std::memcpy(&g.coverage[static_cast<size_t>(row) * g.width], src, g.width);
        }
        out->glyphs.push_back(std::move(g));
      }
    }
    advanced += advance;
  }
  if (r.underline && advanced > 0) {
    const double scale = face->size->metrics.y_scale / 65536.0 / 64.0;  // font units to pixels
    const double thickness = std::max(1.0, face->underline_thickness * scale);
    const double from = -face->underline_position * scale - thickness / 2;
    out->underline = true;
    const double d[4][2] = {{0, from}, {advanced, from}, {advanced, from + thickness}, {0, from + thickness}};
    for (int i = 0; i < 4; ++i) {
      out->corners[i] =
          Point{baseline.x + d[i][0] * along.x + d[i][1] * down.x, baseline.y + d[i][0] * along.y + d[i][1] * down.y};
    }
  }
  return nullptr;
}

// The coverage of all glyphs (and the underline) over the part of the picture they touch.
struct Mask {
  int64_t left = 0;
  int64_t top = 0;
  int64_t width = 0;
  int64_t height = 0;
  std::vector<uint8_t> coverage;
};

bool InsideQuad(const Point q[4], double x, double y) {
  // The underline's rectangle is convex: inside when on the same side of all four edges.
  int sign = 0;
  for (int i = 0; i < 4; ++i) {
    const Point& a = q[i];
    const Point& b = q[(i + 1) % 4];
    const double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    const int s = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
    if (s != 0) {
      if (sign != 0 && s != sign) {
        return false;
      }
      sign = s;
    }
  }
  return true;
}

void BuildMask(const TextLayout& layout, int64_t pictureWidth, int64_t pictureHeight, Mask* mask) {
  int64_t x0 = INT64_MAX;
  int64_t y0 = INT64_MAX;
  int64_t x1 = INT64_MIN;
  int64_t y1 = INT64_MIN;
  for (const GlyphBitmap& g : layout.glyphs) {
    x0 = std::min(x0, g.left);
    y0 = std::min(y0, g.top);
    x1 = std::max(x1, g.left + static_cast<int64_t>(g.width));
    y1 = std::max(y1, g.top + static_cast<int64_t>(g.height));
  }
  if (layout.underline) {
    for (const Point& p : layout.corners) {
      x0 = std::min(x0, static_cast<int64_t>(std::floor(p.x)));
      y0 = std::min(y0, static_cast<int64_t>(std::floor(p.y)));
      x1 = std::max(x1, static_cast<int64_t>(std::ceil(p.x)) + 1);
      y1 = std::max(y1, static_cast<int64_t>(std::ceil(p.y)) + 1);
    }
  }
  // Only the part inside the picture is kept.
  x0 = std::max<int64_t>(x0, 0);
  y0 = std::max<int64_t>(y0, 0);
  x1 = std::min(x1, pictureWidth);
  y1 = std::min(y1, pictureHeight);
  if (x0 >= x1 || y0 >= y1) {
    return;
  }
  mask->left = x0;
  mask->top = y0;
  mask->width = x1 - x0;
  mask->height = y1 - y0;
  mask->coverage.assign(static_cast<size_t>(mask->width * mask->height), 0);
  for (const GlyphBitmap& g : layout.glyphs) {
    const int64_t gx0 = std::max(g.left, x0);
    const int64_t gy0 = std::max(g.top, y0);
    const int64_t gx1 = std::min(g.left + static_cast<int64_t>(g.width), x1);
    const int64_t gy1 = std::min(g.top + static_cast<int64_t>(g.height), y1);
    for (int64_t y = gy0; y < gy1; ++y) {
      const uint8_t* src = &g.coverage[static_cast<size_t>((y - g.top) * g.width + (gx0 - g.left))];
      uint8_t* dst = &mask->coverage[static_cast<size_t>((y - y0) * mask->width + (gx0 - x0))];
      for (int64_t x = gx0; x < gx1; ++x, ++src, ++dst) {
        *dst = std::max(*dst, *src);
      }
    }
  }
  if (layout.underline) {
    constexpr int kSamples = kUnderlineSamples * kUnderlineSamples;
    for (int64_t y = y0; y < y1; ++y) {
      for (int64_t x = x0; x < x1; ++x) {
        int hits = 0;
        for (int sy = 0; sy < kUnderlineSamples; ++sy) {
          for (int sx = 0; sx < kUnderlineSamples; ++sx) {
            hits += InsideQuad(layout.corners, x + (sx + 0.5) / kUnderlineSamples, y + (sy + 0.5) / kUnderlineSamples)
                        ? 1
                        : 0;
          }
        }
        if (hits > 0) {
          uint8_t& m = mask->coverage[static_cast<size_t>((y - y0) * mask->width + (x - x0))];
          m = std::max<uint8_t>(m, static_cast<uint8_t>(hits * 255 / kSamples));
        }
      }
    }
  }
}

[[nodiscard]] inline uint8_t Blend(uint32_t colour, uint32_t old, uint32_t weight) {
  return static_cast<uint8_t>((colour * weight + old * (256 - weight) + 128) >> 8);
}

}  // namespace

// fontconfig (2.14) loses a few hundred bytes while it parses its configuration files, once per
// configuration loaded; LeakSanitizer is told so, in sanitizer builds only.
#if defined(__SANITIZE_ADDRESS__)
#define TW_TEXT_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_TEXT_LSAN 1
#endif
#endif
#ifdef TW_TEXT_LSAN
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

void RasterReleaseTextState() {
  if (g_fontState == nullptr) {
    return;
  }
  FontState& s = *g_fontState;
  std::lock_guard<std::mutex> guard(s.lock);
  for (OpenFace& f : s.faces) {
    FT_Done_Face(f.face);
  }
  s.faces.clear();
  for (Lookup& l : s.lookups) {
    FcFontSetDestroy(l.fonts);
  }
  s.lookups.clear();
  if (s.library != nullptr) {
    FT_Done_FreeType(s.library);
    s.library = nullptr;
  }
  if (s.config != nullptr) {
    FcConfigDestroy(s.config);
    s.config = nullptr;
  }
  s.started = false;
}

bool CRasterImage::DrawString(void* /*hdc*/, int64_t x, int64_t y, const char* text, RasterQuad colour,
                              const char* font, int32_t size, int32_t weight, bool italic, bool underline,
                              bool setAlpha, float opacity, int32_t escapement) {
  if (!IsValid() || text == nullptr || text[0] == '\0') {
    return true;
  }
  if (size == 0) {
    size = kDefaultTextHeight;
  }
  if (size > kMaxTextHeight || size < -kMaxTextHeight) {
    SetLastError(raster_error::kTextSize);
    return false;
  }
  TextRequest request;
  request.text = GbkUnits(text, std::strlen(text));
  const char* faceName = font != nullptr ? font : "";
  const size_t faceBytes = tw::GbkPrefixLength(faceName, std::strlen(faceName), kFaceNameMax);
  request.face = GbkUnits(faceName, faceBytes);
  request.size = size;
  request.weight = weight <= 0 ? kWeightNormal : std::clamp(weight, kWeightMin, kWeightMax);
  request.italic = italic;
  request.underline = underline;
  request.angle = escapement * kDegreesPerTenth * kPi / 180.0;
  // Far outside any picture is as good as anywhere there (and keeps the sums below in range).
  request.x = static_cast<double>(std::clamp<int64_t>(x, -kFarAway, kFarAway));
  request.y = static_cast<double>(std::clamp<int64_t>(y, -kFarAway, kFarAway));

  TextLayout layout;
  {
    FontState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!Start(s)) {
      SetLastError(raster_error::kTextNoFont);
      return false;
    }
    if (const char* refusal = LayOut(s, request, &layout)) {
      SetLastError(refusal);
      return false;
    }
  }

  const int64_t width = GetWidth();
  const int64_t height = GetHeight();
  Mask mask;
  BuildMask(layout, width, height, &mask);
  if (mask.coverage.empty()) {
    return true;
  }
  // Opacity 0 draws the colour solid, 1 leaves the picture as it is; each pixel's weight is the
  // text's share of it (256 = all text).
  const float clamped = std::isnan(opacity) ? 0.0f : std::clamp(opacity, 0.0f, 1.0f);
  const uint32_t solid = 256 - static_cast<uint32_t>(std::lround(clamped * 256.0f));
  const bool alpha = setAlpha && AlphaIsValid();
  for (int64_t my = 0; my < mask.height; ++my) {
    const int64_t row = height - 1 - (mask.top + my);  // the picture's rows are bottom-up
    const uint8_t* cov = &mask.coverage[static_cast<size_t>(my * mask.width)];
    for (int64_t mx = 0; mx < mask.width; ++mx) {
      if (cov[mx] == 0) {
        continue;
      }
      const uint32_t w = (solid * cov[mx] + 127) / 255;
      const int64_t col = mask.left + mx;
      if (GetBpp() == 24) {
        uint8_t* p = GetBits(static_cast<uint32_t>(row)) + static_cast<size_t>(col) * 3;
        p[0] = Blend(colour.rgbBlue, p[0], w);
        p[1] = Blend(colour.rgbGreen, p[1], w);
        p[2] = Blend(colour.rgbRed, p[2], w);
      } else {
        const RasterQuad o = GetPixelColor(col, row, false);
        SetPixelColor(col, row,
                      RasterRgb(Blend(colour.rgbRed, o.rgbRed, w), Blend(colour.rgbGreen, o.rgbGreen, w),
                                Blend(colour.rgbBlue, o.rgbBlue, w)));
      }
      if (alpha) {
        AlphaSet(col, row, Blend(255, AlphaGet(col, row), w));
      }
    }
  }
  return true;
}
