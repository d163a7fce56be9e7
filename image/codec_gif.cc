// GIF codec: single and animated files, LZW coded.
//
// Everything in an uploaded GIF is untrusted. The LZW decoder's string stack is bounded by its 4096-
// entry table (a prefix always names an older entry, so no chain loops), codes beyond the table end
// the frame's data, pixels past the frame are dropped, and every frame is checked against the
// screen and the picture memory limit before anything is allocated.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/internal/raster_le.h"
#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

using raster_internal::GetLe16;
using raster_internal::PutLe16;
using raster_internal::ReadExact;
using raster_internal::StreamBytes;

namespace {

constexpr uint32_t kHeaderSize = 13;
constexpr uint32_t kDescriptorSize = 9;
constexpr uint8_t kExtension = '!';
constexpr uint8_t kImage = ',';
constexpr uint8_t kTrailer = ';';
constexpr uint8_t kLabelGraphicControl = 0xF9;
constexpr uint8_t kLabelComment = 0xFE;
constexpr uint8_t kLabelApplication = 0xFF;
constexpr uint8_t kFlagTable = 0x80;
constexpr uint8_t kFlagInterlaced = 0x40;
constexpr uint8_t kFlagTableSize = 0x07;
constexpr uint32_t kApplicationIdSize = 11;
constexpr uint32_t kGraphicControlSize = 4;
constexpr uint8_t kDisposeToBackground = 2;
constexpr int32_t kMinCodeSize = 2;
constexpr int32_t kMaxCodeSize = 9;
constexpr int32_t kMaxCodeBits = 12;
constexpr int32_t kTableSize = 1 << kMaxCodeBits;  // 4096
constexpr int32_t kHashSize = 5003;                // prime, about 80 % occupancy
constexpr uint32_t kSubBlockLzw = 254;
constexpr uint32_t kSubBlockRle = 255;
// The run-length coder clears its table before it would pass this many entries.
constexpr int32_t kRleTableLimit = kTableSize - 3;
// The most pixels one byte of LZW data can give: codes of at least 3 bits, each a string of at most
// 4096 pixels.
constexpr uint64_t kLzwPixelsPerByte = 8 * 4096 / 3 + 1;
// The buffered reader is ahead of the stream by less than its own size.
constexpr uint64_t kReadAhead = sizeof(raster_internal::StreamBytes);
// True-colour pictures are written as tiles that each fit one 256-entry palette with entry 0 spare.
constexpr uint32_t kTileWidth = 17;
constexpr uint32_t kTileHeight = 15;

struct GraphicControl {
  uint8_t flags = 0;
  uint16_t delay = 0;
  uint8_t transIndex = 0;
  [[nodiscard]] bool Transparent() const { return (flags & 1u) != 0; }
  [[nodiscard]] uint8_t Disposal() const { return static_cast<uint8_t>((flags >> 2) & 7u); }
};

// ---- reading ----

// Reads the data sub-blocks of one LZW stream (count byte, then that many bytes; 0 ends).
class SubBlocks {
 public:
  explicit SubBlocks(StreamBytes& in) : m_in(in) {}
  // Next(): the next data byte, or -1 at the end of the data (or of the stream).
  [[nodiscard]] int32_t Next() {
    while (m_left == 0) {
      if (m_done) {
        return -1;
      }
      const int32_t n = m_in.Next();
      if (n <= 0) {
        m_done = true;
        m_truncated = n < 0;
        return -1;
      }
      m_left = n;
    }
    const int32_t b = m_in.Next();
    if (b < 0) {
      m_done = true;
      m_truncated = true;
      return -1;
    }
    --m_left;
    return b;
  }
  // SkipRest: reads past the terminating zero-size block. Returns false when the stream ended first.
  bool SkipRest() {
    while (Next() >= 0) {
    }
    return !m_truncated;
  }

 private:
  StreamBytes& m_in;
  int32_t m_left = 0;
  bool m_done = false;
  bool m_truncated = false;
};

// Skips the sub-blocks that follow an extension's label. Returns false when the stream ended.
bool SkipSubBlocks(StreamBytes& in) {
  for (;;) {
    const int32_t n = in.Next();
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      return true;
    }
    for (int32_t i = 0; i < n; ++i) {
      if (in.Next() < 0) {
        return false;
      }
    }
  }
}

// Skips the rest of an extension whose first sub-block holds `size` bytes (the count already read).
// Returns false when the stream ended (or the count was missing).
bool SkipExtension(StreamBytes& in, int32_t size) {
  if (size <= 0) {
    return size == 0;
  }
  for (int32_t i = 0; i < size; ++i) {
    if (in.Next() < 0) {
      return false;
    }
  }
  return SkipSubBlocks(in);
}

bool ReadBytes(StreamBytes& in, uint8_t* out, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    const int32_t b = in.Next();
    if (b < 0) {
      return false;
    }
    out[i] = static_cast<uint8_t>(b);
  }
  return true;
}

struct Descriptor {
  uint16_t left = 0;
  uint16_t top = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t flags = 0;
  [[nodiscard]] bool FitsScreen(uint32_t sw, uint32_t sh) const {
    return width > 0 && height > 0 && static_cast<uint32_t>(left) + width <= sw &&
           static_cast<uint32_t>(top) + height <= sh;
  }
};

bool ReadDescriptor(StreamBytes& in, Descriptor* d) {
  uint8_t b[kDescriptorSize];
  if (!ReadBytes(in, b, kDescriptorSize)) {
    return false;
  }
  d->left = GetLe16(b);
  d->top = GetLe16(b + 2);
  d->width = GetLe16(b + 4);
  d->height = GetLe16(b + 6);
  d->flags = b[8];
  return true;
}

[[nodiscard]] uint32_t TableEntries(uint8_t flags) { return 2u << (flags & kFlagTableSize); }

// The LZW decoder's tables, kept on the heap (a request thread's stack stays small).
struct LzwTables {
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint8_t stack[kTableSize + 1];
};

// Writes the decoded indices of one frame, top row first, in the four passes of an interlaced one.
class FrameWriter {
 public:
  FrameWriter(CRasterImage& frame, bool interlaced)
      : m_frame(frame), m_width(frame.GetWidth()), m_height(frame.GetHeight()), m_interlaced(interlaced) {}
  void Put(uint8_t index) {
    if (m_y >= m_height) {
      return;  // pixels past the frame are dropped
    }
    m_frame.SetPixelIndex(m_x, m_height - 1 - m_y, index);
    if (++m_x < m_width) {
      return;
    }
    m_x = 0;
    if (!m_interlaced) {
      ++m_y;
      return;
    }
    constexpr uint32_t kStart[4] = {0, 4, 2, 1};
    constexpr uint32_t kStep[4] = {8, 8, 4, 2};
    m_y += kStep[m_pass];
    while (m_y >= m_height && m_pass < 3) {
      ++m_pass;
      m_y = kStart[m_pass];
    }
  }

 private:
  CRasterImage& m_frame;
  uint32_t m_width;
  uint32_t m_height;
  bool m_interlaced;
  uint32_t m_x = 0;
  uint32_t m_y = 0;
  uint32_t m_pass = 0;
};

// Decodes one frame's LZW data (after its code size byte). Returns the number of codes that named no
// table entry (the data ends at the first one).
uint32_t DecodeLzw(SubBlocks& data, int32_t codeSize, LzwTables& t, FrameWriter& out) {
  const int32_t clear = 1 << codeSize;
  const int32_t end = clear + 1;
  int32_t width = codeSize + 1;
  int32_t avail = clear + 2;
  int32_t old = -1;
  uint8_t first = 0;
  uint32_t bits = 0;
  int32_t held = 0;
  for (int32_t i = 0; i < clear; ++i) {
    t.prefix[i] = 0;
    t.suffix[i] = static_cast<uint8_t>(i);
  }
  for (;;) {
    while (held < width) {
      const int32_t b = data.Next();
      if (b < 0) {
        return 0;
      }
      bits |= static_cast<uint32_t>(b) << held;
      held += 8;
    }
    int32_t code = static_cast<int32_t>(bits & ((1u << width) - 1));
    bits >>= width;
    held -= width;
    if (code == clear) {
      width = codeSize + 1;
      avail = clear + 2;
      old = -1;
      continue;
    }
    if (code == end) {
      return 0;
    }
    if (old < 0) {
      if (code >= clear) {
        return 1;
      }
      first = static_cast<uint8_t>(code);
      out.Put(first);
      old = code;
      continue;
    }
    if (code > avail) {
      return 1;
    }
    const int32_t in = code;
    int32_t sp = 0;
    if (code == avail) {
      t.stack[sp++] = first;
      code = old;
    }
    while (code >= clear) {
      t.stack[sp++] = t.suffix[code];
      code = t.prefix[code];
    }
    first = t.suffix[code];
    t.stack[sp++] = first;
    while (sp > 0) {
      out.Put(t.stack[--sp]);
    }
    if (avail < kTableSize) {
      t.prefix[avail] = static_cast<uint16_t>(old);
      t.suffix[avail] = first;
      ++avail;
      if (avail == (1 << width) && width < kMaxCodeBits) {
        ++width;
      }
    }
    old = in;
  }
}

// ---- writing ----

class GifWriter {
 public:
  explicit GifWriter(CRasterFile* file) : m_file(file) {}
  void Bytes(const void* p, size_t n) {
    if (m_ok && n > 0 && m_file->Write(p, 1, n) != n) {
      m_ok = false;
    }
  }
  void Byte(uint8_t b) { Bytes(&b, 1); }
  void Word(uint16_t v) {
    uint8_t b[2];
    PutLe16(b, v);
    Bytes(b, 2);
  }
  [[nodiscard]] bool Ok() const { return m_ok; }

 private:
  CRasterFile* m_file;
  bool m_ok = true;
};

// Packs codes least significant bit first into sub-blocks of at most `blockSize` bytes.
class CodePacker {
 public:
  CodePacker(GifWriter& out, uint32_t blockSize) : m_out(out), m_blockSize(blockSize) {}
  void Put(int32_t code, int32_t width) {
    m_bits |= static_cast<uint64_t>(code) << m_held;
    m_held += width;
    while (m_held >= 8) {
      Emit(static_cast<uint8_t>(m_bits));
      m_bits >>= 8;
      m_held -= 8;
    }
  }
  void Finish() {
    if (m_held > 0) {
      Emit(static_cast<uint8_t>(m_bits));
      m_bits = 0;
      m_held = 0;
    }
    if (m_count > 0) {
      m_out.Byte(static_cast<uint8_t>(m_count));
      m_out.Bytes(m_block, m_count);
      m_count = 0;
    }
  }

 private:
  void Emit(uint8_t b) {
    m_block[m_count++] = b;
    if (m_count == m_blockSize) {
      m_out.Byte(static_cast<uint8_t>(m_count));
      m_out.Bytes(m_block, m_count);
      m_count = 0;
    }
  }
  GifWriter& m_out;
  uint32_t m_blockSize;
  uint8_t m_block[256] = {};
  uint32_t m_count = 0;
  uint64_t m_bits = 0;
  int32_t m_held = 0;
};

// The pixels to code, as a function of their position in writing order.
using PixelSource = uint8_t (*)(const void* ctx, uint64_t i);

// LZW: strings are found in an open-addressed hash of 5003 entries; codes grow to 12 bits and the
// table starts again with a clear code when it is full.
void EncodeLzw(CodePacker& out, int32_t codeSize, uint64_t count, PixelSource pixel, const void* ctx) {
  struct Hash {
    int32_t key[kHashSize];
    uint16_t code[kHashSize];
  };
  std::unique_ptr<Hash> h(new (std::nothrow) Hash);
  if (h == nullptr) {
    return;
  }
  const int32_t clear = 1 << codeSize;
  const int32_t initBits = codeSize + 1;
  int32_t width = initBits;
  int32_t maxCode = (1 << width) - 1;
  int32_t next = clear + 2;
  std::memset(h->key, 0xFF, sizeof(h->key));
  auto put = [&](int32_t code) {
    out.Put(code, width);
    if (next > maxCode && width < kMaxCodeBits) {
      ++width;
      maxCode = width == kMaxCodeBits ? kTableSize : (1 << width) - 1;
    }
  };
  out.Put(clear, width);
  if (count == 0) {
    out.Put(clear + 1, width);
    return;
  }
  int32_t ent = pixel(ctx, 0);
  for (uint64_t i = 1; i < count; ++i) {
    const int32_t c = pixel(ctx, i);
    const int32_t key = (c << kMaxCodeBits) + ent;
    int32_t slot = ((c << 4) ^ ent) % kHashSize;
    bool found = false;
    if (h->key[slot] == key) {
      found = true;
    } else if (h->key[slot] >= 0) {
      const int32_t step = slot == 0 ? 1 : kHashSize - slot;
      for (;;) {
        slot -= step;
        if (slot < 0) {
          slot += kHashSize;
        }
        if (h->key[slot] == key) {
          found = true;
          break;
        }
        if (h->key[slot] < 0) {
          break;
        }
      }
    }
    if (found) {
      ent = h->code[slot];
      continue;
    }
    put(ent);
    ent = c;
    if (next < kTableSize) {
      h->code[slot] = static_cast<uint16_t>(next++);
      h->key[slot] = key;
    } else {
      std::memset(h->key, 0xFF, sizeof(h->key));
      next = clear + 2;
      out.Put(clear, width);
      width = initBits;
      maxCode = (1 << width) - 1;
    }
  }
  put(ent);
  out.Put(clear + 1, width);
}

// Follows the decoder's table as codes go out, so the writer knows each code's width.
class DecoderModel {
 public:
  DecoderModel(CodePacker& out, int32_t codeSize)
      : m_out(out), m_codeSize(codeSize), m_clear(1 << codeSize), m_width(codeSize + 1) {
    Clear();
  }
  void Clear() {
    m_out.Put(m_clear, m_width);
    m_width = m_codeSize + 1;
    m_avail = m_clear + 2;
    m_afterClear = true;
  }
  // Code: sends `code`; the decoder then adds an entry (except right after a clear).
  void Code(int32_t code) {
    m_out.Put(code, m_width);
    if (!m_afterClear && m_avail < kTableSize) {
      ++m_avail;
      if (m_avail == (1 << m_width) && m_width < kMaxCodeBits) {
        ++m_width;
      }
    }
    m_afterClear = false;
  }
  void End() { m_out.Put(m_clear + 1, m_width); }
  [[nodiscard]] int32_t Avail() const { return m_avail; }
  [[nodiscard]] int32_t Width() const { return m_width; }
  [[nodiscard]] int32_t ClearCode() const { return m_clear; }

 private:
  CodePacker& m_out;
  int32_t m_codeSize;
  int32_t m_clear;
  int32_t m_width = 0;
  int32_t m_avail = 0;
  bool m_afterClear = true;
};

// Uncompressed: every pixel its own code, with a clear code before the decoder's codes would widen.
void EncodeUncompressed(CodePacker& out, int32_t codeSize, uint64_t count, PixelSource pixel, const void* ctx) {
  DecoderModel model(out, codeSize);
  const int32_t limit = (1 << (codeSize + 1)) - 1;
  for (uint64_t i = 0; i < count; ++i) {
    if (model.Avail() >= limit) {
      model.Clear();
    }
    model.Code(pixel(ctx, i));
  }
  model.End();
}

// Run-length: a run of one index v goes out as v, then the codes of v v, v v v ... that the decoder is
// about to add (each the next free entry, which a decoder expands as the previous string and its first
// index), so k codes cover 1 + 2 + ... + k pixels; the rest of the run is one code already in the
// table. The table starts again before it would pass kRleTableLimit entries.
void EncodeRunLength(CodePacker& out, int32_t codeSize, uint64_t count, PixelSource pixel, const void* ctx) {
  DecoderModel model(out, codeSize);
  std::vector<int32_t> codeOfLength(kTableSize + 1, 0);
  uint64_t i = 0;
  while (i < count) {
    const int32_t v = pixel(ctx, i);
    uint64_t n = 1;
    while (i + n < count && pixel(ctx, i + n) == v) {
      ++n;
    }
    i += n;
    while (n > 0) {
      if (model.Avail() >= kRleTableLimit) {
        model.Clear();
      }
      model.Code(v);
      --n;
      uint64_t length = 1;
      codeOfLength[1] = v;
      while (n >= length + 1 && model.Avail() < kRleTableLimit) {
        const int32_t code = model.Avail();
        model.Code(code);
        ++length;
        codeOfLength[length] = code;
        n -= length;
      }
      if (n > 0 && n <= length) {
        model.Code(codeOfLength[n]);
        n = 0;
      }
    }
  }
  model.End();
}

void EncodePixels(GifWriter& out, uint32_t option, int32_t codeSize, uint64_t count, PixelSource pixel,
                  const void* ctx) {
  CodePacker packer(out, option == kGifCodeRunLength ? kSubBlockRle : kSubBlockLzw);
  if (option == kGifCodeUncompressed) {
    EncodeUncompressed(packer, codeSize, count, pixel, ctx);
  } else if (option == kGifCodeRunLength) {
    EncodeRunLength(packer, codeSize, count, pixel, ctx);
  } else {
    EncodeLzw(packer, codeSize, count, pixel, ctx);
  }
  packer.Finish();
}

struct PictureRows {
  const CRasterImage* img;
  uint32_t width;
  uint32_t height;
};

uint8_t PictureIndex(const void* ctx, uint64_t i) {
  const auto* p = static_cast<const PictureRows*>(ctx);
  const uint32_t x = static_cast<uint32_t>(i % p->width);
  const uint32_t y = static_cast<uint32_t>(i / p->width);
  return p->img->GetPixelIndex(x, p->height - 1 - y);
}

uint8_t TileIndex(const void* ctx, uint64_t i) { return static_cast<const uint8_t*>(ctx)[i]; }

}  // namespace

void CRasterImageGIF::SetComment(const char* text) {
  if (text == nullptr) {
    m_comment[0] = '\0';
    return;
  }
  std::strncpy(m_comment, text, sizeof(m_comment) - 1);
  m_comment[sizeof(m_comment) - 1] = '\0';
}

bool CRasterImageGIF::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  uint8_t header[kHeaderSize];
  if (!ReadExact(file, header, kHeaderSize) || std::memcmp(header, "GIF8", 4) != 0) {
    SetLastError(raster_error::kGifNotGif);
    return false;
  }
  const uint32_t screenW = GetLe16(header + 6);
  const uint32_t screenH = GetLe16(header + 8);
  const bool global = (header[10] & kFlagTable) != 0;
  RasterQuad globalPalette[256];
  uint32_t globalEntries = 0;
  if (global) {
    globalEntries = TableEntries(header[10]);
    uint8_t rgb[256 * 3];
    if (!ReadExact(file, rgb, globalEntries * 3)) {
      SetLastError(raster_error::kGifTruncated);
      return false;
    }
    for (uint32_t i = 0; i < globalEntries; ++i) {
      globalPalette[i] = RasterRgb(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
    }
  }
  const int64_t dataStart = file->Tell();

  // First pass: the frames that fit inside the screen, and the size of the first.
  int32_t frames = 0;
  Descriptor firstFrame;
  {
    auto in = std::make_unique<StreamBytes>(file);
    for (bool more = true; more;) {
      const int32_t b = in->Next();
      if (b < 0 || b == kTrailer) {
        break;
      }
      if (b == kExtension) {
        more = in->Next() >= 0 && SkipSubBlocks(*in);
      } else if (b == kImage) {
        Descriptor d;
        if (!ReadDescriptor(*in, &d)) {
          break;
        }
        if ((d.flags & kFlagTable) != 0) {
          for (uint32_t i = 0; i < TableEntries(d.flags) * 3 && more; ++i) {
            more = in->Next() >= 0;
          }
        }
        more = more && in->Next() >= 0 && SkipSubBlocks(*in);
        if (d.FitsScreen(screenW, screenH)) {
          if (frames == 0) {
            firstFrame = d;
          }
          ++frames;
        }
      } else if (b != 0) {
        break;  // not a block: the file ends here
      }
    }
  }
  SetNumFrames(frames);
  if (GetEscape() == kRasterEscapeSizeOnly) {
    SetHeaderSize(screenW, screenH);
    return true;
  }
  if (GetFrame() < 0 || GetFrame() >= frames) {
    SetLastError(raster_error::kGifFrame);
    return false;
  }
  if (!file->Seek(dataStart, kRasterSeekSet)) {
    SetLastError(raster_error::kGifTruncated);
    return false;
  }
  // Files without a global table whose frames are smaller pieces of the screen are drawn piece by
  // piece in true colour.
  const bool pieces = !global && frames > 1 && firstFrame.width < screenW && firstFrame.height < screenH;

  std::unique_ptr<LzwTables> tables(new (std::nothrow) LzwTables);
  auto in = std::make_unique<StreamBytes>(file);
  if (tables == nullptr || in == nullptr) {
    SetLastError(raster_error::kCreateAlloc);
    return false;
  }
  // The combined screen is this picture itself (Create keeps the codec's settings).
  CRasterImage& screen = *this;
  GraphicControl gce;
  GraphicControl previous;
  RasterQuad previousClear;  // the colour a true-colour screen is cleared to for disposal 2
  bool havePrevious = false;
  int32_t frame = 0;
  bool done = false;
  while (!done) {
    if (GetEscape() != 0) {
      SetLastError(raster_error::kCancelled);
      return false;
    }
    const int32_t b = in->Next();
    if (b < 0 || b == kTrailer) {
      break;
    }
    if (b == 0) {
      continue;
    }
    if (b == kExtension) {
      const int32_t label = in->Next();
      bool ok = label >= 0;
      if (label == kLabelGraphicControl) {
        const int32_t size = in->Next();
        uint8_t block[kGraphicControlSize];
        if (size == static_cast<int32_t>(kGraphicControlSize) && ReadBytes(*in, block, kGraphicControlSize)) {
          gce.flags = block[0];
          gce.delay = GetLe16(block + 1);
          gce.transIndex = block[3];
          m_disposal = gce.Disposal();
          m_delay = gce.delay;
          ok = SkipSubBlocks(*in);
        } else {
          ok = SkipExtension(*in, size);
        }
      } else if (label == kLabelComment) {
        const int32_t size = in->Next();
        uint8_t text[255];
        if (size > 0 && ReadBytes(*in, text, static_cast<uint32_t>(size))) {
          std::memcpy(m_comment, text, static_cast<size_t>(size));
          m_comment[size] = '\0';
          ok = SkipSubBlocks(*in);
        } else {
          ok = SkipExtension(*in, size);
        }
      } else if (label == kLabelApplication) {
        const int32_t size = in->Next();
        uint8_t id[kApplicationIdSize];
        if (size == static_cast<int32_t>(kApplicationIdSize) && ReadBytes(*in, id, kApplicationIdSize)) {
          const int32_t n = in->Next();
          uint8_t sub[255];
          if (n > 0 && ReadBytes(*in, sub, static_cast<uint32_t>(n))) {
            if (n > 2) {
              m_loops = GetLe16(sub + 1);
            }
            ok = SkipSubBlocks(*in);
          } else {
            ok = SkipExtension(*in, n);
          }
        } else {
          ok = SkipExtension(*in, size);
        }
      } else if (ok) {
        ok = SkipSubBlocks(*in);
      }
      if (!ok) {
        break;
      }
      continue;
    }
    if (b != kImage) {
      break;
    }
    Descriptor d;
    if (!ReadDescriptor(*in, &d)) {
      break;
    }
    RasterQuad local[256];
    uint32_t entries = globalEntries;
    const RasterQuad* palette = globalPalette;
    if ((d.flags & kFlagTable) != 0) {
      entries = TableEntries(d.flags);
      uint8_t rgb[256 * 3];
      if (!ReadBytes(*in, rgb, entries * 3)) {
        break;
      }
      for (uint32_t i = 0; i < entries; ++i) {
        local[i] = RasterRgb(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
      }
      palette = local;
    }
    const int32_t codeSize = in->Next();
    if (codeSize < 0) {
      break;
    }
    SubBlocks data(*in);
    if (!d.FitsScreen(screenW, screenH)) {
      if (!data.SkipRest()) {
        break;
      }
      continue;
    }
    // The frame picture: 1, 4 or 8 bits by its table; a transparent frame of a smaller table gets
    // 256 entries, the ones past the table white.
    const bool transparent = gce.Transparent();
    uint32_t bpp = entries <= 2 ? 1 : (entries <= 16 ? 4 : 8);
    if (transparent && entries < 256) {
      bpp = 8;
    }
    // A frame more pixels than the rest of the file could code is truncated: refused before the
    // picture is made, so a few hundred bytes cannot make the decoder fill millions of pixels.
    const int64_t rest = raster_internal::StreamRemaining(file);
    if (rest >= 0 && static_cast<uint64_t>(d.width) * d.height >
                         (static_cast<uint64_t>(rest) + kReadAhead) * kLzwPixelsPerByte) {
      SetLastError(raster_error::kGifTruncated);
      return false;
    }
    CRasterImage image;
    if (!raster_internal::CreateForDecode(image, d.width, d.height, bpp, kRasterFormatGif,
                                          raster_error::kCreateAlloc)) {
      SetLastError(image.GetLastError());
      return false;
    }
    for (uint32_t i = 0; i < image.GetNumColors(); ++i) {
      image.SetPaletteColor(static_cast<uint8_t>(i),
                            i < entries ? palette[i] : (entries == 0 ? RasterRgb(i, i, i) : RasterRgb(255, 255, 255)));
    }
    if (entries == 0) {
      image.SetGrayPalette();
    }
    if (codeSize >= kMinCodeSize && codeSize <= kMaxCodeSize) {
      FrameWriter writer(image, (d.flags & kFlagInterlaced) != 0);
      DecodeLzw(data, codeSize, *tables, writer);
    }
    // Whatever follows the codes (after an end code, or after a code beyond the table) up to the
    // data's terminator is passed over.
    if (!data.SkipRest() && frame < GetFrame()) {
      break;
    }
    if (pieces) {
      if (!screen.IsValid() && !raster_internal::CreateForDecode(screen, screenW, screenH, 24, kRasterFormatGif,
                                                                 raster_error::kCreateAlloc)) {
        return false;
      }
      for (uint32_t y = 0; y < d.height; ++y) {
        for (uint32_t x = 0; x < d.width; ++x) {
          screen.SetPixelColor(d.left + x, screenH - 1 - (d.top + y), image.GetPixelColor(x, d.height - 1 - y, false));
        }
      }
      if (frame == GetFrame()) {
        if (transparent) {
          screen.SetTransColor(image.GetPaletteColor(gce.transIndex));
          screen.SetTransIndex(0);
        }
        done = true;
      }
    } else {
      // Frames are combined on a screen-size picture of the frame's depth (widened when a later
      // frame is deeper), cleared at the start and when the frame before asked for it. While the
      // frames share one palette they combine by index; a frame whose palette differs turns the
      // screen into true colour first, so the pixels of earlier frames keep their colours.
      const bool samePalette =
          !screen.IsValid() || screen.GetBpp() == 24 ||
          std::memcmp(screen.GetPalette(), image.GetPalette(),
                      std::min(screen.GetNumColors(), image.GetNumColors()) * sizeof(RasterQuad)) == 0;
      if (screen.IsValid() && screen.GetBpp() != 24 && !samePalette) {
        CRasterImage indexed;
        if (!indexed.Transfer(screen) ||
            !raster_internal::CreateForDecode(screen, screenW, screenH, 24, kRasterFormatGif,
                                              raster_error::kCreateAlloc)) {
          return false;
        }
        for (uint32_t y = 0; y < screenH; ++y) {
          for (uint32_t x = 0; x < screenW; ++x) {
            screen.SetPixelColor(x, y, indexed.GetPixelColor(x, y, false));
          }
        }
        if (indexed.GetTransIndex() >= 0) {
          screen.SetTransColor(indexed.GetTransColor());
          screen.SetTransIndex(0);
        }
      } else if (!screen.IsValid() || (screen.GetBpp() != 24 && screen.GetBpp() < bpp)) {
        CRasterImage narrower;
        if (screen.IsValid() && !narrower.Transfer(screen)) {
          return false;
        }
        if (!raster_internal::CreateForDecode(screen, screenW, screenH, bpp, kRasterFormatGif,
                                              raster_error::kCreateAlloc)) {
          return false;
        }
        if (narrower.IsValid()) {
          for (uint32_t y = 0; y < screenH; ++y) {
            for (uint32_t x = 0; x < screenW; ++x) {
              screen.SetPixelIndex(x, y, narrower.GetPixelIndex(x, y));
            }
          }
        } else {
          screen.Clear(gce.transIndex);
        }
      }
      const bool trueColour = screen.GetBpp() == 24;
      if (havePrevious && previous.Disposal() == kDisposeToBackground) {
        if (trueColour) {
          uint8_t* first = screen.GetBits(0);
          for (uint32_t x = 0; x < screenW; ++x) {
            first[x * 3] = previousClear.rgbBlue;
            first[x * 3 + 1] = previousClear.rgbGreen;
            first[x * 3 + 2] = previousClear.rgbRed;
          }
          for (uint32_t y = 1; y < screenH; ++y) {
            std::memcpy(screen.GetBits(y), first, screen.GetEffWidth());
          }
        } else {
          screen.Clear(previous.transIndex);
        }
      }
      for (uint32_t y = 0; y < d.height; ++y) {
        const uint32_t row = d.height - 1 - y;
        const uint32_t target = screenH - 1 - (d.top + y);
        for (uint32_t x = 0; x < d.width; ++x) {
          const uint8_t index = image.GetPixelIndex(x, row);
          if (transparent && index == gce.transIndex) {
            continue;
          }
          if (trueColour) {
            screen.SetPixelColor(d.left + x, target, image.GetPaletteColor(index));
          } else {
            screen.SetPixelIndex(d.left + x, target, index);
          }
        }
      }
      if (!trueColour) {
        screen.SetPalette(image.GetPalette(), image.GetNumColors());
        screen.SetTransIndex(transparent ? gce.transIndex : kRasterNoTransparency);
      }
      if (frame == GetFrame()) {
        done = true;
      }
    }
    previousClear = image.GetPaletteColor(gce.transIndex);
    previous = gce;
    havePrevious = true;
    gce = GraphicControl{};
    ++frame;
  }
  if (!done) {
    SetLastError(raster_error::kGifTruncated);
    return false;
  }
  return true;
}

bool CRasterImageGIF::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  const uint32_t bpp = GetBpp();
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (width > UINT16_MAX || height > UINT16_MAX) {
    SetLastError(raster_error::kGifSave);
    return false;
  }
  const uint32_t option = GetCodecOption(kRasterFormatGif);
  GifWriter out(file);
  out.Bytes("GIF89a", 6);
  out.Word(static_cast<uint16_t>(width));
  out.Word(static_cast<uint16_t>(height));
  const bool palette = GetNumColors() != 0;
  out.Byte(palette ? static_cast<uint8_t>(0x80 | (((bpp - 1) << 5) & 0xFF) | (bpp - 1)) : 0x11);
  out.Byte(0);  // background
  out.Byte(0);  // aspect
  for (uint32_t i = 0; palette && i < GetNumColors(); ++i) {
    const RasterQuad c = GetPaletteColor(static_cast<uint8_t>(i));
    const uint8_t rgb[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
    out.Bytes(rgb, 3);
  }
  const size_t commentLength = std::strlen(m_comment);
  auto graphicControl = [&](bool transparent, uint8_t index) {
    const uint8_t block[8] = {0x21,
                              kLabelGraphicControl,
                              static_cast<uint8_t>(kGraphicControlSize),
                              static_cast<uint8_t>(((m_disposal << 2) & 0x1C) | (transparent ? 1 : 0)),
                              static_cast<uint8_t>(m_delay),
                              static_cast<uint8_t>(m_delay >> 8),
                              index,
                              0};
    out.Bytes(block, sizeof(block));
  };
  if (palette) {
    graphicControl(GetTransIndex() >= 0, GetTransIndex() >= 0 ? static_cast<uint8_t>(GetTransIndex()) : 0);
  }
  if (commentLength > 0) {
    out.Byte(0x21);
    out.Byte(kLabelComment);
    out.Byte(static_cast<uint8_t>(commentLength));
    out.Bytes(m_comment, commentLength);
    out.Byte(0);
  }
  if (palette) {
    out.Byte(kImage);
    out.Word(m_left);
    out.Word(m_top);
    out.Word(static_cast<uint16_t>(width));
    out.Word(static_cast<uint16_t>(height));
    out.Byte(0);
    const int32_t codeSize = bpp < 2 ? 2 : static_cast<int32_t>(bpp);
    out.Byte(static_cast<uint8_t>(codeSize));
    const PictureRows rows{this, width, height};
    EncodePixels(out, option, codeSize, static_cast<uint64_t>(width) * height, &PictureIndex, &rows);
    out.Byte(0);
  } else {
    // True colour: tiles of 17 x 15 pixels, left to right in bands from the top, each an 8-bit frame
    // whose own palette gives every pixel its entry (entry 0 is the transparent colour).
    const bool transparent = GetTransIndex() >= 0;
    const RasterQuad key = GetTransColor();
    uint8_t indices[kTileWidth * kTileHeight];
    for (uint32_t top = 0; top < height && out.Ok(); top += kTileHeight) {
      const uint32_t th = height - top < kTileHeight ? height - top : kTileHeight;
      for (uint32_t left = 0; left < width && out.Ok(); left += kTileWidth) {
        const uint32_t tw = width - left < kTileWidth ? width - left : kTileWidth;
        uint8_t rgb[256 * 3] = {};
        if (transparent) {
          rgb[0] = key.rgbRed;
          rgb[1] = key.rgbGreen;
          rgb[2] = key.rgbBlue;
        }
        for (uint32_t y = 0; y < th; ++y) {
          for (uint32_t x = 0; x < tw; ++x) {
            const RasterQuad c = GetPixelColor(left + x, height - 1 - (top + y), false);
            const uint32_t entry = kTileWidth * y + x + 1;
            const bool isKey =
                transparent && c.rgbRed == key.rgbRed && c.rgbGreen == key.rgbGreen && c.rgbBlue == key.rgbBlue;
            indices[y * tw + x] = isKey ? 0 : static_cast<uint8_t>(entry);
            rgb[entry * 3] = c.rgbRed;
            rgb[entry * 3 + 1] = c.rgbGreen;
            rgb[entry * 3 + 2] = c.rgbBlue;
          }
        }
        graphicControl(transparent, 0);
        out.Byte(kImage);
        out.Word(static_cast<uint16_t>(left));
        out.Word(static_cast<uint16_t>(top));
        out.Word(static_cast<uint16_t>(tw));
        out.Word(static_cast<uint16_t>(th));
        out.Byte(kFlagTable | kFlagTableSize);
        out.Bytes(rgb, sizeof(rgb));
        out.Byte(8);
        EncodePixels(out, option, 8, static_cast<uint64_t>(tw) * th, &TileIndex, indices);
        out.Byte(0);
      }
    }
  }
  out.Byte(kTrailer);
  if (!out.Ok() || !file->Flush()) {
    SetLastError(raster_error::kGifWrite);
    return false;
  }
  return true;
}
