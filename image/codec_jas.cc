// The JPEG-2000 family (format codes 10-14): jp2 and jpc through OpenJPEG; pgx, pnm (PBM, PGM, PPM)
// and ras (Sun raster) by small codecs of ours.
//
// Every member decodes into one model, a list of sample planes ("components"), which then becomes the
// picture by one rule: three components of one size are red, green and blue (a fourth of that size the
// alpha plane); any other layout gives one grey frame per component. Samples of any precision are
// scaled to the picture's depth (signed ones shifted up first).
//
// Untrusted input: sizes are checked against the picture memory limit (and OpenJPEG's 32-bit samples
// against kJasMaxSampleBytes) before OpenJPEG decodes or anything is allocated, and our own readers
// never read past the data the stream holds.

#include <openjpeg.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

using raster_internal::ReadExact;

namespace {

constexpr uint32_t kMaxComponents = 64;
// OpenJPEG keeps every sample in 32 bits while it decodes.
constexpr uint64_t kJasMaxSampleBytes = 512ull * 1024 * 1024;
constexpr uint32_t kMaxPrecision = 31;
constexpr size_t kOpjChunk = 64 * 1024;
constexpr uint32_t kOpjMaxResolutions = 6;
constexpr uint32_t kSunMagic = 0x59A66A95;
constexpr uint32_t kSunHeaderSize = 32;
constexpr uint8_t kSunEscape = 0x80;
constexpr uint32_t kSunTypeStandard = 1;
constexpr uint32_t kSunTypeByteEncoded = 2;
constexpr uint32_t kSunTypeRgb = 3;
constexpr uint32_t kSunMapRgb = 1;
constexpr size_t kHeadProbe = 12;

enum class Family { kNone, kJp2, kJpc, kPgx, kPnm, kRas };

// One plane of samples, top row first: its own, or a view of OpenJPEG's signed 32-bit samples (which
// are shifted by `offset` and clamped to 0 .. maxval as they are read).
struct Component {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t maxval = 255;  // the largest sample (2^precision - 1 for OpenJPEG)
  std::vector<uint32_t> samples;
  const int32_t* view = nullptr;
  int64_t offset = 0;
  [[nodiscard]] uint32_t At(size_t k) const {
    if (view == nullptr) {
      return samples[k];
    }
    const int64_t v = static_cast<int64_t>(view[k]) + offset;
    return static_cast<uint32_t>(v < 0 ? 0 : (v > maxval ? maxval : v));
  }
  // Own: copies a view into the plane's own samples.
  void Own() {
    if (view != nullptr) {
      samples.resize(static_cast<size_t>(width) * height);
      for (size_t k = 0; k < samples.size(); ++k) {
        samples[k] = At(k);
      }
      view = nullptr;
    }
  }
};

struct Components {
  std::vector<Component> planes;
  bool grey = false;  // the file says it is grey: never taken as colour
};

[[nodiscard]] Family Detect(const uint8_t* h, size_t n) {
  constexpr uint8_t kJp2[kHeadProbe] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  if (n >= kHeadProbe && std::memcmp(h, kJp2, kHeadProbe) == 0) {
    return Family::kJp2;
  }
  if (n >= 4 && h[0] == 0xFF && h[1] == 0x4F && h[2] == 0xFF && h[3] == 0x51) {
    return Family::kJpc;
  }
  if (n >= 5 && h[0] == 'P' && h[1] == 'G' && std::isspace(h[2]) != 0 &&
      ((h[3] == 'M' && h[4] == 'L') || (h[3] == 'L' && h[4] == 'M'))) {
    return Family::kPgx;
  }
  if (n >= 3 && h[0] == 'P' && h[1] >= '1' && h[1] <= '6' && std::isspace(h[2]) != 0) {
    return Family::kPnm;
  }
  if (n >= 4 && ((static_cast<uint32_t>(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3]) == kSunMagic) {
    return Family::kRas;
  }
  return Family::kNone;
}

// ---- the picture from the components ----

// Scales a sample of 0..maxval to 0..top.
[[nodiscard]] inline uint32_t Scale(uint32_t v, uint32_t maxval, uint32_t top) {
  if (v >= maxval) {
    return top;
  }
  return maxval == top ? v : static_cast<uint32_t>((static_cast<uint64_t>(v) * top + maxval / 2) / maxval);
}

bool ToPicture(const Components& c, CRasterImage& img, uint32_t type) {
  const std::vector<Component>& p = c.planes;
  if (p.empty()) {
    img.SetLastError(raster_error::kJasLoad);
    return false;
  }
  if (p.size() > kMaxComponents) {
    img.SetLastError(raster_error::kJasComponents);
    return false;
  }
  const auto sameSize = [&](size_t a, size_t b) { return p[a].width == p[b].width && p[a].height == p[b].height; };
  const bool colour = !c.grey && (p.size() == 3 || p.size() == 4) && sameSize(0, 1) && sameSize(0, 2) &&
                      (p.size() == 3 || sameSize(0, 3));
  if (colour) {
    const uint32_t w = p[0].width;
    const uint32_t h = p[0].height;
    if (!raster_internal::CreateForDecode(img, w, h, 24, type, raster_error::kJasCreate)) {
      return false;
    }
    if (p.size() == 4 && !img.AlphaCreate()) {
      img.SetLastError(raster_error::kJasCreate);
      return false;
    }
    for (uint32_t y = 0; y < h; ++y) {
      uint8_t* row = img.GetBits(h - 1 - y);
      uint8_t* alpha = p.size() == 4 ? img.AlphaGetPointer() + static_cast<size_t>(h - 1 - y) * w : nullptr;
      const size_t at = static_cast<size_t>(y) * w;
      for (uint32_t x = 0; x < w; ++x) {
        row[x * 3 + 2] = static_cast<uint8_t>(Scale(p[0].At(at + x), p[0].maxval, 255));
        row[x * 3 + 1] = static_cast<uint8_t>(Scale(p[1].At(at + x), p[1].maxval, 255));
        row[x * 3] = static_cast<uint8_t>(Scale(p[2].At(at + x), p[2].maxval, 255));
        if (alpha != nullptr) {
          alpha[x] = static_cast<uint8_t>(Scale(p[3].At(at + x), p[3].maxval, 255));
        }
      }
    }
    img.SetNumFrames(1);
    return true;
  }
  // One grey frame per component.
  const int32_t frames = static_cast<int32_t>(p.size());
  const int32_t frame = img.GetFrame();
  if (frame < 0 || frame >= frames) {
    img.SetLastError(raster_error::kJasFrame);
    return false;
  }
  const Component& g = p[static_cast<size_t>(frame)];
  const uint32_t bpp = g.maxval <= 1 ? 1 : (g.maxval <= 15 ? 4 : 8);
  if (!raster_internal::CreateForDecode(img, g.width, g.height, bpp, type, raster_error::kJasCreate)) {
    return false;
  }
  img.SetGrayPalette();
  const uint32_t top = (1u << bpp) - 1;
  for (uint32_t y = 0; y < g.height; ++y) {
    const uint32_t row = g.height - 1 - y;
    const size_t at = static_cast<size_t>(y) * g.width;
    uint8_t* bits = img.GetBits(row);
    for (uint32_t x = 0; x < g.width; ++x) {
      const uint8_t v = static_cast<uint8_t>(Scale(g.At(at + x), g.maxval, top));
      if (bpp == 8) {
        bits[x] = v;
      } else {
        img.SetPixelIndex(x, row, v);
      }
    }
  }
  img.SetNumFrames(frames);
  return true;
}

// ---- OpenJPEG ----

struct OpjStream {
  CRasterFile* file = nullptr;
  int64_t start = 0;
};

OPJ_SIZE_T OpjRead(void* buffer, OPJ_SIZE_T bytes, void* user) {
  auto* s = static_cast<OpjStream*>(user);
  const size_t n = s->file->Read(buffer, 1, bytes);
  return n == 0 ? static_cast<OPJ_SIZE_T>(-1) : n;
}

OPJ_SIZE_T OpjWrite(void* buffer, OPJ_SIZE_T bytes, void* user) {
  auto* s = static_cast<OpjStream*>(user);
  const size_t n = s->file->Write(buffer, 1, bytes);
  return n == bytes ? n : static_cast<OPJ_SIZE_T>(-1);
}

OPJ_OFF_T OpjSkip(OPJ_OFF_T bytes, void* user) {
  auto* s = static_cast<OpjStream*>(user);
  return s->file->Seek(bytes, kRasterSeekCur) ? bytes : -1;
}

OPJ_BOOL OpjSeek(OPJ_OFF_T at, void* user) {
  auto* s = static_cast<OpjStream*>(user);
  return s->file->Seek(s->start + at, kRasterSeekSet) ? OPJ_TRUE : OPJ_FALSE;
}

void OpjQuiet(const char*, void*) {}

// Owns the OpenJPEG objects of one call.
struct OpjCall {
  opj_stream_t* stream = nullptr;
  opj_codec_t* codec = nullptr;
  opj_image_t* image = nullptr;
  ~OpjCall() {
    if (image != nullptr) {
      opj_image_destroy(image);
    }
    if (codec != nullptr) {
      opj_destroy_codec(codec);
    }
    if (stream != nullptr) {
      opj_stream_destroy(stream);
    }
  }
};

opj_stream_t* MakeStream(OpjStream* user, bool input, uint64_t length) {
  opj_stream_t* s = opj_stream_create(kOpjChunk, input ? OPJ_TRUE : OPJ_FALSE);
  if (s == nullptr) {
    return nullptr;
  }
  opj_stream_set_user_data(s, user, nullptr);
  if (input) {
    opj_stream_set_user_data_length(s, length);
    opj_stream_set_read_function(s, OpjRead);
  } else {
    opj_stream_set_write_function(s, OpjWrite);
  }
  opj_stream_set_skip_function(s, OpjSkip);
  opj_stream_set_seek_function(s, OpjSeek);
  return s;
}

void Silence(opj_codec_t* codec) {
  opj_set_info_handler(codec, OpjQuiet, nullptr);
  opj_set_warning_handler(codec, OpjQuiet, nullptr);
  opj_set_error_handler(codec, OpjQuiet, nullptr);
}

// YCC to RGB of three components of one size (ITU-R BT.601, as JPEG-2000's sYCC).
void YccToRgb(Components& c) {
  std::vector<uint32_t>& y = c.planes[0].samples;
  std::vector<uint32_t>& cb = c.planes[1].samples;
  std::vector<uint32_t>& cr = c.planes[2].samples;
  const double top = c.planes[0].maxval;
  const double half = (c.planes[0].maxval + 1) / 2.0;
  auto clamp = [top](double v) { return static_cast<uint32_t>(v < 0 ? 0 : (v > top ? top : v + 0.5)); };
  for (size_t i = 0; i < y.size(); ++i) {
    const double l = y[i];
    const double b = static_cast<double>(cb[i]) - half;
    const double r = static_cast<double>(cr[i]) - half;
    y[i] = clamp(l + 1.402 * r);
    cb[i] = clamp(l - 0.344136 * b - 0.714136 * r);
    cr[i] = clamp(l + 1.772 * b);
  }
  // Now red, green, blue in planes 0, 1, 2.
}

// Decodes a jp2 file or jpc code stream and makes the picture of it (while OpenJPEG's samples live).
bool DecodeOpenJpeg(CRasterFile* file, bool jp2, CRasterImage& img, uint32_t type) {
  Components components;
  Components* out = &components;
  OpjStream user{file, file->Tell()};
  const int64_t remaining = raster_internal::StreamRemaining(file);
  OpjCall call;
  call.stream = MakeStream(&user, true, remaining < 0 ? 0 : static_cast<uint64_t>(remaining));
  call.codec = opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  if (call.stream == nullptr || call.codec == nullptr) {
    img.SetLastError(raster_error::kJasOpenInput);
    return false;
  }
  Silence(call.codec);
  opj_dparameters_t params;
  opj_set_default_decoder_parameters(&params);
  if (!opj_setup_decoder(call.codec, &params) || !opj_read_header(call.stream, call.codec, &call.image) ||
      call.image == nullptr) {
    img.SetLastError(raster_error::kJasLoad);
    return false;
  }
  const opj_image_t* im = call.image;
  if (im->numcomps == 0 || im->x1 <= im->x0 || im->y1 <= im->y0) {
    img.SetLastError(raster_error::kJasLoad);
    return false;
  }
  if (im->numcomps > kMaxComponents) {
    img.SetLastError(raster_error::kJasComponents);
    return false;
  }
  // Sizes as the header gives them, checked before OpenJPEG allocates its sample planes.
  const uint64_t fullW = im->x1 - im->x0;
  const uint64_t fullH = im->y1 - im->y0;
  uint64_t sampleBytes = 0;
  for (uint32_t i = 0; i < im->numcomps; ++i) {
    const opj_image_comp_t& comp = im->comps[i];
    if (comp.dx == 0 || comp.dy == 0 || comp.prec == 0 || comp.prec > kMaxPrecision) {
      img.SetLastError(raster_error::kJasLoad);
      return false;
    }
    sampleBytes += (fullW + comp.dx - 1) / comp.dx * ((fullH + comp.dy - 1) / comp.dy) * 4;
  }
  if (!CRasterImage::FitsMemoryLimit(fullW, fullH, 24) || sampleBytes > kJasMaxSampleBytes) {
    img.SetLastError(raster_error::kMaxMemory);
    return false;
  }
  if (img.GetEscape() == kRasterEscapeSizeOnly) {
    img.SetHeaderSize(static_cast<uint32_t>(fullW), static_cast<uint32_t>(fullH));
    return true;
  }
  if (img.GetEscape() != 0) {
    img.SetLastError(raster_error::kCancelled);
    return false;
  }
  if (!opj_decode(call.codec, call.stream, call.image) || !opj_end_decompress(call.codec, call.stream)) {
    img.SetLastError(raster_error::kJasLoad);
    return false;
  }
  im = call.image;
  out->grey = im->color_space == OPJ_CLRSPC_GRAY;
  for (uint32_t i = 0; i < im->numcomps; ++i) {
    const opj_image_comp_t& comp = im->comps[i];
    if (comp.data == nullptr || comp.w == 0 || comp.h == 0 || comp.prec == 0 || comp.prec > kMaxPrecision) {
      img.SetLastError(raster_error::kJasLoad);
      return false;
    }
    Component c;
    c.width = comp.w;
    c.height = comp.h;
    c.maxval = static_cast<uint32_t>((1ull << comp.prec) - 1);
    c.view = comp.data;
    c.offset = comp.sgnd != 0 ? (1ll << (comp.prec - 1)) : 0;
    out->planes.push_back(std::move(c));
  }
  const bool ycc = im->color_space == OPJ_CLRSPC_SYCC || im->color_space == OPJ_CLRSPC_EYCC;
  if (ycc && out->planes.size() >= 3 && out->planes[0].width == out->planes[1].width &&
      out->planes[0].width == out->planes[2].width && out->planes[0].height == out->planes[1].height &&
      out->planes[0].height == out->planes[2].height && out->planes[0].maxval == out->planes[1].maxval &&
      out->planes[0].maxval == out->planes[2].maxval) {
    for (size_t i = 0; i < 3; ++i) {
      out->planes[i].Own();
    }
    YccToRgb(*out);
  }
  return ToPicture(components, img, type);
}

// ---- our small readers (they read the whole rest of the stream: a few bytes of header and the data) ----

bool ReadRest(CRasterFile* file, std::vector<uint8_t>* data) {
  const int64_t remaining = raster_internal::StreamRemaining(file);
  if (remaining < 0 || static_cast<uint64_t>(remaining) > kRasterMaxImageBytes * 2) {
    return false;
  }
  data->resize(static_cast<size_t>(remaining));
  return ReadExact(file, data->data(), data->size());
}

// A cursor over a header of text fields.
class Fields {
 public:
  Fields(const std::vector<uint8_t>& d, size_t at) : m_d(d), m_at(at) {}
  // Skips blanks and (for PNM) comments from '#' to the end of the line.
  void Blanks(bool comments) {
    while (m_at < m_d.size()) {
      if (std::isspace(m_d[m_at]) != 0) {
        ++m_at;
      } else if (comments && m_d[m_at] == '#') {
        while (m_at < m_d.size() && m_d[m_at] != '\n' && m_d[m_at] != '\r') {
          ++m_at;
        }
      } else {
        break;
      }
    }
  }
  // A decimal number of at most 9 digits.
  bool Number(uint32_t* v, bool comments) {
    Blanks(comments);
    uint32_t n = 0;
    size_t digits = 0;
    while (m_at < m_d.size() && std::isdigit(m_d[m_at]) != 0 && digits < 9) {
      n = n * 10 + (m_d[m_at] - '0');
      ++m_at;
      ++digits;
    }
    *v = n;
    return digits > 0 && (m_at >= m_d.size() || std::isdigit(m_d[m_at]) == 0);
  }
  [[nodiscard]] bool AtEnd() const { return m_at >= m_d.size(); }
  [[nodiscard]] uint8_t Peek() const { return m_d[m_at]; }
  void Advance(size_t n) { m_at += n; }
  [[nodiscard]] size_t At() const { return m_at; }

 private:
  const std::vector<uint8_t>& m_d;
  size_t m_at;
};

[[nodiscard]] bool SizeAllowed(uint32_t w, uint32_t h) {
  return w > 0 && h > 0 && CRasterImage::FitsMemoryLimit(w, h, 24);
}

const char* DecodePnm(const std::vector<uint8_t>& d, CRasterImage& img, Components* out) {
  const uint8_t kind = d[1];
  Fields f(d, 2);
  uint32_t w = 0;
  uint32_t h = 0;
  uint32_t maxval = 1;
  if (!f.Number(&w, true) || !f.Number(&h, true) || !SizeAllowed(w, h)) {
    return raster_error::kJasLoad;
  }
  const bool bits = kind == '1' || kind == '4';
  if (!bits && (!f.Number(&maxval, true) || maxval == 0 || maxval > 65535)) {
    return raster_error::kJasLoad;
  }
  if (f.AtEnd() || std::isspace(f.Peek()) == 0) {
    return raster_error::kJasLoad;
  }
  f.Advance(1);  // the one blank before binary data
  if (img.GetEscape() == kRasterEscapeSizeOnly) {
    img.SetHeaderSize(w, h);
    return nullptr;
  }
  const uint32_t channels = (kind == '3' || kind == '6') ? 3 : 1;
  const uint64_t samples = static_cast<uint64_t>(w) * h * channels;
  const bool ascii = kind <= '3';
  const size_t left = d.size() - f.At();
  const uint64_t sampleBytes = maxval > 255 ? 2 : 1;
  const uint64_t need = ascii ? samples : (bits ? (static_cast<uint64_t>(w) + 7) / 8 * h : samples * sampleBytes);
  if (left < need) {
    return raster_error::kJasLoad;
  }
  out->planes.resize(channels);
  for (Component& c : out->planes) {
    c.width = w;
    c.height = h;
    c.maxval = maxval;
    c.samples.resize(static_cast<size_t>(w) * h);
  }
  out->grey = channels == 1;
  const uint8_t* p = d.data() + f.At();
  for (uint64_t i = 0; i < samples; ++i) {
    const size_t pixel = static_cast<size_t>(i / channels);
    uint32_t v = 0;
    if (ascii) {
      if (kind == '1') {
        f.Blanks(true);
        if (f.AtEnd() || (f.Peek() != '0' && f.Peek() != '1')) {
          return raster_error::kJasLoad;
        }
        v = f.Peek() == '1' ? 0 : 1;  // 1 is black
        f.Advance(1);
      } else if (!f.Number(&v, true)) {
        return raster_error::kJasLoad;
      }
    } else if (bits) {
      const uint64_t x = pixel % w;
      const uint64_t y = pixel / w;
      const uint8_t byte = p[y * ((w + 7) / 8) + x / 8];
      v = ((byte >> (7 - (x & 7))) & 1) != 0 ? 0 : 1;
    } else if (sampleBytes == 2) {
      v = (static_cast<uint32_t>(p[i * 2]) << 8) | p[i * 2 + 1];
    } else {
      v = p[i];
    }
    out->planes[i % channels].samples[pixel] = v > maxval ? maxval : v;
  }
  return nullptr;
}

const char* DecodePgx(const std::vector<uint8_t>& d, CRasterImage& img, Components* out) {
  const bool bigEndian = d[3] == 'M';
  Fields f(d, 5);
  f.Blanks(false);
  bool sgnd = false;
  if (!f.AtEnd() && (f.Peek() == '+' || f.Peek() == '-')) {
    sgnd = f.Peek() == '-';
    f.Advance(1);
  }
  uint32_t depth = 0;
  uint32_t w = 0;
  uint32_t h = 0;
  if (!f.Number(&depth, false) || depth == 0 || depth > kMaxPrecision || !f.Number(&w, false) || !f.Number(&h, false) ||
      !SizeAllowed(w, h)) {
    return raster_error::kJasLoad;
  }
  // The header ends with its line.
  while (!f.AtEnd() && f.Peek() != '\n') {
    if (std::isspace(f.Peek()) == 0) {
      return raster_error::kJasLoad;
    }
    f.Advance(1);
  }
  if (f.AtEnd()) {
    return raster_error::kJasLoad;
  }
  f.Advance(1);
  if (img.GetEscape() == kRasterEscapeSizeOnly) {
    img.SetHeaderSize(w, h);
    return nullptr;
  }
  const uint32_t bytes = depth <= 8 ? 1 : (depth <= 16 ? 2 : 4);
  const uint64_t count = static_cast<uint64_t>(w) * h;
  if (d.size() - f.At() < count * bytes) {
    return raster_error::kJasLoad;
  }
  Component c;
  c.width = w;
  c.height = h;
  c.maxval = static_cast<uint32_t>((1ull << depth) - 1);
  c.samples.resize(static_cast<size_t>(count));
  const uint8_t* p = d.data() + f.At();
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t v = 0;
    for (uint32_t b = 0; b < bytes; ++b) {
      const uint8_t byte = p[i * bytes + (bigEndian ? b : bytes - 1 - b)];
      v = (v << 8) | byte;
    }
    int64_t s = static_cast<int64_t>(v & c.maxval);
    if (sgnd) {
      // Two's complement in `depth` bits, shifted up to 0 .. maxval.
      const int64_t half = 1ll << (depth - 1);
      s = (s >= half ? s - (1ll << depth) : s) + half;
    }
    c.samples[static_cast<size_t>(i)] = static_cast<uint32_t>(s);
  }
  out->planes.push_back(std::move(c));
  out->grey = true;
  return nullptr;
}

[[nodiscard]] uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

const char* DecodeRas(const std::vector<uint8_t>& d, CRasterImage& img, Components* out) {
  if (d.size() < kSunHeaderSize) {
    return raster_error::kJasLoad;
  }
  const uint32_t w = Be32(&d[4]);
  const uint32_t h = Be32(&d[8]);
  const uint32_t depth = Be32(&d[12]);
  const uint32_t type = Be32(&d[20]);
  const uint32_t mapType = Be32(&d[24]);
  const uint32_t mapLength = Be32(&d[28]);
  if (!SizeAllowed(w, h) || (depth != 1 && depth != 8 && depth != 24 && depth != 32) || type > kSunTypeRgb ||
      mapType > kSunMapRgb || (mapType == 0 && mapLength != 0) ||
      (mapType == kSunMapRgb && (mapLength == 0 || mapLength % 3 != 0 || mapLength > 768)) ||
      d.size() - kSunHeaderSize < mapLength) {
    return raster_error::kJasLoad;
  }
  if (img.GetEscape() == kRasterEscapeSizeOnly) {
    img.SetHeaderSize(w, h);
    return nullptr;
  }
  const uint8_t* map = &d[kSunHeaderSize];
  const uint32_t mapEntries = mapLength / 3;
  const uint64_t rowBytes = (static_cast<uint64_t>(w) * depth + 15) / 16 * 2;
  const uint64_t need = rowBytes * h;
  const uint8_t* src = map + mapLength;
  const size_t left = d.size() - kSunHeaderSize - mapLength;
  std::vector<uint8_t> expanded;
  if (type == kSunTypeByteEncoded) {
    expanded.reserve(static_cast<size_t>(need));
    size_t i = 0;
    while (expanded.size() < need) {
      if (i >= left) {
        return raster_error::kJasLoad;
      }
      const uint8_t b = src[i++];
      if (b != kSunEscape) {
        expanded.push_back(b);
        continue;
      }
      if (i >= left) {
        return raster_error::kJasLoad;
      }
      const uint32_t n = src[i++];
      if (n == 0) {
        expanded.push_back(kSunEscape);
        continue;
      }
      if (i >= left) {
        return raster_error::kJasLoad;
      }
      const uint8_t v = src[i++];
      const uint64_t copies = std::min<uint64_t>(n + 1, need - expanded.size());
      expanded.insert(expanded.end(), static_cast<size_t>(copies), v);
    }
    src = expanded.data();
  } else if (left < need) {
    return raster_error::kJasLoad;
  }
  const bool coloured = mapType == kSunMapRgb || depth >= 24;
  out->planes.resize(coloured ? 3 : 1);
  for (Component& c : out->planes) {
    c.width = w;
    c.height = h;
    c.maxval = depth == 1 && !coloured ? 1 : 255;
    c.samples.resize(static_cast<size_t>(w) * h);
  }
  out->grey = !coloured;
  const bool rgbOrder = type == kSunTypeRgb;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = src + y * rowBytes;
    for (uint32_t x = 0; x < w; ++x) {
      const size_t at = static_cast<size_t>(y) * w + x;
      uint32_t r = 0;
      uint32_t g = 0;
      uint32_t b = 0;
      if (depth == 1 || depth == 8) {
        const uint32_t v = depth == 1 ? (row[x / 8] >> (7 - (x & 7))) & 1 : row[x];
        if (mapType == kSunMapRgb) {
          const uint32_t e = v < mapEntries ? v : mapEntries - 1;
          r = map[e];
          g = map[mapEntries + e];
          b = map[2 * mapEntries + e];
        } else {
          r = g = b = depth == 1 ? (v != 0 ? 0 : 1) : v;  // 1-bit: a set bit is black
        }
      } else {
        const uint8_t* px = row + static_cast<size_t>(x) * (depth / 8) + (depth == 32 ? 1 : 0);
        r = rgbOrder ? px[0] : px[2];
        g = px[1];
        b = rgbOrder ? px[2] : px[0];
      }
      out->planes[0].samples[at] = r;
      if (coloured) {
        out->planes[1].samples[at] = g;
        out->planes[2].samples[at] = b;
      }
    }
  }
  return nullptr;
}

// ---- encoding ----

// The picture as 8-bit samples of 1 (grey: the palette's grey of each pixel, any depth) or 3 (red,
// green, blue) components, top row first.
Components SamplesOf(const CRasterImage& img) {
  Components c;
  const uint32_t w = img.GetWidth();
  const uint32_t h = img.GetHeight();
  const bool colour = img.GetBpp() == 24;
  c.planes.resize(colour ? 3 : 1);
  for (Component& p : c.planes) {
    p.width = w;
    p.height = h;
    p.maxval = 255;
    p.samples.resize(static_cast<size_t>(w) * h);
  }
  c.grey = !colour;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = img.GetBits(h - 1 - y);
    for (uint32_t x = 0; x < w; ++x) {
      const size_t at = static_cast<size_t>(y) * w + x;
      if (colour) {
        c.planes[0].samples[at] = row[x * 3 + 2];
        c.planes[1].samples[at] = row[x * 3 + 1];
        c.planes[2].samples[at] = row[x * 3];
      } else if (img.GetBpp() == 8) {
        c.planes[0].samples[at] = img.GetPaletteColor(row[x]).rgbRed;
      } else {
        c.planes[0].samples[at] = img.GetPaletteColor(img.GetPixelIndex(x, h - 1 - y)).rgbRed;
      }
    }
  }
  return c;
}

bool WriteAll(CRasterFile* file, const void* p, size_t n) { return n == 0 || file->Write(p, 1, n) == n; }

bool EncodeOpenJpeg(const Components& c, bool jp2, uint8_t quality, CRasterFile* file, CRasterImage& img) {
  const uint32_t n = static_cast<uint32_t>(c.planes.size());
  const uint32_t w = c.planes[0].width;
  const uint32_t h = c.planes[0].height;
  opj_image_cmptparm_t parms[3];
  std::memset(parms, 0, sizeof(parms));
  for (uint32_t i = 0; i < n; ++i) {
    parms[i].dx = 1;
    parms[i].dy = 1;
    parms[i].w = w;
    parms[i].h = h;
    parms[i].prec = 8;
    parms[i].sgnd = 0;
  }
  OpjCall call;
  call.image = opj_image_create(n, parms, n == 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY);
  if (call.image == nullptr) {
    img.SetLastError(raster_error::kJasImageCreate);
    return false;
  }
  call.image->x0 = 0;
  call.image->y0 = 0;
  call.image->x1 = w;
  call.image->y1 = h;
  for (uint32_t i = 0; i < n; ++i) {
    for (size_t k = 0; k < c.planes[i].samples.size(); ++k) {
      call.image->comps[i].data[k] = static_cast<OPJ_INT32>(c.planes[i].samples[k]);
    }
  }
  opj_cparameters_t params;
  opj_set_default_encoder_parameters(&params);
  // The quality is the share of the uncompressed size kept (quality 90: 90 %); 100 is lossless.
  params.tcp_numlayers = 1;
  params.cp_disto_alloc = 1;
  if (quality >= 100) {
    params.tcp_rates[0] = 0;
    params.irreversible = 0;
  } else {
    const double rate = (quality == 0 ? 1 : quality) * 0.01;
    params.tcp_rates[0] = static_cast<float>(1.0 / rate);
    params.irreversible = 1;
  }
  params.tcp_mct = n == 3 ? 1 : 0;
  // Small pictures need fewer resolution levels (each halves the size).
  params.numresolution = static_cast<int>(kOpjMaxResolutions);
  const uint32_t side = w < h ? w : h;
  while (params.numresolution > 1 && (1u << (params.numresolution - 1)) > side) {
    --params.numresolution;
  }
  call.codec = opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  if (call.codec == nullptr) {
    img.SetLastError(raster_error::kJasEncode);
    return false;
  }
  Silence(call.codec);
  OpjStream user{file, file->Tell()};
  call.stream = MakeStream(&user, false, 0);
  if (call.stream == nullptr) {
    img.SetLastError(raster_error::kJasOpenOutput);
    return false;
  }
  if (!opj_setup_encoder(call.codec, &params, call.image) || !opj_start_compress(call.codec, call.image, call.stream) ||
      !opj_encode(call.codec, call.stream) || !opj_end_compress(call.codec, call.stream)) {
    img.SetLastError(raster_error::kJasEncode);
    return false;
  }
  return true;
}

bool EncodePgx(const Components& c, CRasterFile* file) {
  char head[64];
  const int n = std::snprintf(head, sizeof(head), "PG ML + 8 %u %u\n", c.planes[0].width, c.planes[0].height);
  std::vector<uint8_t> data(c.planes[0].samples.begin(), c.planes[0].samples.end());
  return WriteAll(file, head, static_cast<size_t>(n)) && WriteAll(file, data.data(), data.size());
}

bool EncodePnm(const Components& c, CRasterFile* file) {
  const uint32_t w = c.planes[0].width;
  const uint32_t h = c.planes[0].height;
  const size_t channels = c.planes.size();
  char head[64];
  const int n = std::snprintf(head, sizeof(head), "P%c\n%u %u\n255\n", channels == 3 ? '6' : '5', w, h);
  std::vector<uint8_t> data(static_cast<size_t>(w) * h * channels);
  for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
    for (size_t ch = 0; ch < channels; ++ch) {
      data[i * channels + ch] = static_cast<uint8_t>(c.planes[ch].samples[i]);
    }
  }
  return WriteAll(file, head, static_cast<size_t>(n)) && WriteAll(file, data.data(), data.size());
}

void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

bool EncodeRas(const Components& c, CRasterFile* file) {
  const uint32_t w = c.planes[0].width;
  const uint32_t h = c.planes[0].height;
  const bool colour = c.planes.size() == 3;
  const uint32_t depth = colour ? 24 : 8;
  const size_t rowBytes = (static_cast<size_t>(w) * depth + 15) / 16 * 2;
  uint8_t head[kSunHeaderSize];
  PutBe32(head, kSunMagic);
  PutBe32(head + 4, w);
  PutBe32(head + 8, h);
  PutBe32(head + 12, depth);
  PutBe32(head + 16, static_cast<uint32_t>(rowBytes * h));
  PutBe32(head + 20, kSunTypeStandard);
  PutBe32(head + 24, 0);
  PutBe32(head + 28, 0);
  if (!WriteAll(file, head, sizeof(head))) {
    return false;
  }
  std::vector<uint8_t> row(rowBytes, 0);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const size_t at = static_cast<size_t>(y) * w + x;
      if (colour) {
        row[x * 3] = static_cast<uint8_t>(c.planes[2].samples[at]);  // blue, green, red
        row[x * 3 + 1] = static_cast<uint8_t>(c.planes[1].samples[at]);
        row[x * 3 + 2] = static_cast<uint8_t>(c.planes[0].samples[at]);
      } else {
        row[x] = static_cast<uint8_t>(c.planes[0].samples[at]);
      }
    }
    if (!WriteAll(file, row.data(), row.size())) {
      return false;
    }
  }
  return true;
}

[[nodiscard]] uint32_t CodeOf(Family f) {
  switch (f) {
    case Family::kJp2:
      return kRasterFormatJp2;
    case Family::kJpc:
      return kRasterFormatJpc;
    case Family::kPgx:
      return kRasterFormatPgx;
    case Family::kPnm:
      return kRasterFormatPnm;
    default:
      return kRasterFormatRas;
  }
}

}  // namespace

bool CRasterImageJAS::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  const int64_t start = file->Tell();
  uint8_t head[kHeadProbe] = {};
  const size_t got = file->Read(head, 1, sizeof(head));
  const Family family = Detect(head, got);
  if (family == Family::kNone || !file->Seek(start, kRasterSeekSet)) {
    SetLastError(raster_error::kJasLoad);
    return false;
  }
  if (family == Family::kJp2 || family == Family::kJpc) {
    return DecodeOpenJpeg(file, family == Family::kJp2, *this, CodeOf(family));
  }
  Components c;
  {
    std::vector<uint8_t> data;
    if (!ReadRest(file, &data)) {
      SetLastError(raster_error::kJasLoad);
      return false;
    }
    const char* refusal = family == Family::kPnm   ? DecodePnm(data, *this, &c)
                          : family == Family::kPgx ? DecodePgx(data, *this, &c)
                                                   : DecodeRas(data, *this, &c);
    if (refusal != nullptr) {
      SetLastError(refusal);
      return false;
    }
  }
  if (GetEscape() == kRasterEscapeSizeOnly) {
    return true;
  }
  if (GetEscape() != 0) {
    SetLastError(raster_error::kCancelled);
    return false;
  }
  return ToPicture(c, *this, CodeOf(family));
}

bool CRasterImageJAS::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  if (GetNumColors() != 0 && !IsGrayScale()) {
    SetLastError(raster_error::kJasSaveKind);
    return false;
  }
  if (m_target == kRasterFormatPgx && GetNumColors() == 0) {
    SetLastError(raster_error::kPgxSaveKind);
    return false;
  }
  const Components c = SamplesOf(*this);
  bool ok = false;
  switch (m_target) {
    case kRasterFormatJp2:
    case kRasterFormatJpc:
      return EncodeOpenJpeg(c, m_target == kRasterFormatJp2, GetJpegQuality(), file, *this);
    case kRasterFormatPgx:
      ok = EncodePgx(c, file);
      break;
    case kRasterFormatPnm:
      ok = EncodePnm(c, file);
      break;
    default:
      ok = EncodeRas(c, file);
      break;
  }
  if (!ok) {
    SetLastError(raster_error::kWriteError);
  }
  return ok;
}
