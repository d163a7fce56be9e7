#include "image/barcode_image.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "image/barcode_tables.h"

namespace bc = tw::barcode;

namespace {

// Widest symbol: start, FNC1, 61 data symbols (60 characters and a GS1 check digit) and 60 code-set
// switches, each 11 modules, plus check, stop and the quiet zones (11 * 123 + 40 = 1393).
constexpr uint32_t kMaxModules = 1400;
constexpr uint32_t kMaxSymbols = 128;
constexpr uint32_t kSetAMaxChars = 13;   // the set A path draws texts of at most 13 characters
constexpr uint32_t kSetAShortChars = 7;  // ... and with a hidden text band only up to 7
constexpr uint32_t kMinDigitRun = 6;     // shortest digit run the automatic plan packs in set C
constexpr uint32_t kMaxTurnStrideBytes = 200;
// A packed row of the one-pixel-per-module picture, with room for the widest symbol and a glyph
// that reaches past its last module.
constexpr uint32_t kPackedRowBytes = (kMaxModules + 7) / 8 + 8;
// One turned row holds every drawn row: at most 310 bar rows and the 10-row text band.
constexpr uint32_t kMaxColumnBytes = (kBarcodeMaxBarRows + kBarcodeTextRows + 31) / 32 * 4;
constexpr int kTextGlyphOffset = 2;    // text glyph mask column 0 relative to its 11-module symbol
constexpr int kDigitGlyphOffset1 = 1;  // first narrow digit of a set C pair
constexpr int kDigitGlyphOffset2 = 6;  // second narrow digit
constexpr int kI25GlyphOffset = 1;     // text glyph relative to its digit's 9 modules
constexpr int kGlyphRowsInBand = bc::kGlyphRows;
constexpr uint32_t kBmpFileHeaderBytes = 14;
constexpr uint32_t kBmpInfoHeaderBytes = 40;

[[nodiscard]] constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Bytes of one row of `widthBits` pixels, padded to 32 bits.
[[nodiscard]] constexpr uint32_t StrideBytes(uint32_t widthBits) { return (widthBits + 31) / 32 * 4; }

[[nodiscard]] constexpr uint64_t ImageBytes(uint32_t widthBits, uint32_t rows) {
  return static_cast<uint64_t>(StrideBytes(widthBits)) * rows;
}

// Sets bits [start, start + len) of a row, bit 7 of byte 0 being pixel 0.
// REQUIRES: start + len within the row.
void SetBitRun(uint8_t* row, uint32_t start, uint32_t len) {
  if (len == 0) {
    return;
  }
  uint32_t end = start + len;  // exclusive
  uint32_t first = start >> 3;
  uint32_t last = (end - 1) >> 3;
  uint8_t headMask = static_cast<uint8_t>(0xFFu >> (start & 7));
  uint8_t tailMask = static_cast<uint8_t>(0xFFu << (7 - ((end - 1) & 7)));
  if (first == last) {
    row[first] |= static_cast<uint8_t>(headMask & tailMask);
    return;
  }
  row[first] |= headMask;
  if (last > first + 1) {
    std::memset(row + first + 1, 0xFF, last - first - 1);
  }
  row[last] |= tailMask;
}

// kWiden[n][b]: the byte b with every pixel repeated n times, as n bytes (n = 1 to 8).
constexpr auto kWiden = [] {
  std::array<std::array<std::array<uint8_t, 8>, 256>, kBarcodeMaxModuleWidth + 1> t{};
  for (uint32_t n = 1; n <= static_cast<uint32_t>(kBarcodeMaxModuleWidth); ++n) {
    const uint64_t run = (uint64_t{1} << n) - 1;
    for (uint32_t b = 0; b < 256; ++b) {
      uint64_t wide = 0;  // pixel i of b becomes bits [n * i, n * (i + 1)) from the top
      for (uint32_t i = 0; i < 8; ++i) {
        if ((b & (0x80u >> i)) != 0) {
          wide |= run << (64 - n * (i + 1));
        }
      }
      for (uint32_t k = 0; k < 8; ++k) {
        t[n][b][k] = static_cast<uint8_t>(wide >> (56 - 8 * k));
      }
    }
  }
  return t;
}();

// Writes the first `stride` bytes of the packed row widened n times.
// REQUIRES: 1 <= n <= 8; the packed row holds at least stride / n + 1 bytes; bits past the symbol are 0.
void WidenPacked(const uint8_t* packed, uint32_t n, uint8_t* out, uint32_t stride) {
  if (n == 1) {
    std::memcpy(out, packed, stride);
    return;
  }
  uint32_t o = 0;
  for (uint32_t i = 0; o + n <= stride; ++i, o += n) {
    std::memcpy(out + o, kWiden[n][packed[i]].data(), n);
  }
  if (o < stride) {
    std::memcpy(out + o, kWiden[n][packed[stride / n]].data(), stride - o);
  }
}

// Writes the first `modules` bits of a packed row in reverse order into `out` (kPackedRowBytes).
void MirrorPacked(const uint8_t* packed, uint32_t modules, uint8_t* out) {
  std::memset(out, 0, kPackedRowBytes);
  for (uint32_t x = 0; x < modules; ++x) {
    if ((packed[x >> 3] & (0x80u >> (x & 7))) != 0) {
      const uint32_t m = modules - 1 - x;
      out[m >> 3] = static_cast<uint8_t>(out[m >> 3] | (0x80u >> (m & 7)));
    }
  }
}

void SetBit(uint8_t* row, uint32_t pos) { row[pos >> 3] |= static_cast<uint8_t>(0x80u >> (pos & 7)); }

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

// The GS1 mod-10 check digit of `digits` (weights 3, 1, 3 ... from the rightmost digit).
// REQUIRES: every character is a digit.
[[nodiscard]] char Gs1CheckDigit(std::string_view digits) {
  uint32_t sum = 0;
  uint32_t weight = 3;
  for (size_t i = digits.size(); i > 0; --i) {
    sum += weight * static_cast<uint32_t>(digits[i - 1] - '0');
    weight = 4 - weight;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// One Code 128 symbol with what the text band shows under it.
enum class GlyphKind : uint8_t { kNone, kText, kDigitPair };
struct Symbol {
  uint8_t value;
  GlyphKind glyph;
  char c1;
  char c2;
};

// The symbols of one Code 128 picture; refuses (returns false) when full instead of overrunning.
class SymbolList {
 public:
  [[nodiscard]] bool Add(int value, GlyphKind glyph = GlyphKind::kNone, char c1 = 0, char c2 = 0) {
    if (count_ >= kMaxSymbols) {
      return false;
    }
    symbols_[count_++] = Symbol{static_cast<uint8_t>(value), glyph, c1, c2};
    return true;
  }
  [[nodiscard]] uint32_t Count() const { return count_; }
  [[nodiscard]] const Symbol& operator[](uint32_t i) const { return symbols_[i]; }
  // (start value + sum of position x value, positions from 1) mod 103.
  [[nodiscard]] int CheckValue() const {
    uint32_t sum = count_ > 0 ? symbols_[0].value : 0;
    for (uint32_t i = 1; i < count_; ++i) {
      sum += i * symbols_[i].value;
    }
    return static_cast<int>(sum % bc::kCode128CheckModulus);
  }

 private:
  std::array<Symbol, kMaxSymbols> symbols_;
  uint32_t count_ = 0;
};

// One segment of a code-set plan.
struct PlanSegment {
  char set;       // 'A', 'B' or 'C'
  int32_t count;  // characters, or -1 for the rest of the text
};

struct ParsedPlan {
  std::array<PlanSegment, kMaxSymbols> segments;
  uint32_t count = 0;
};

// Reads a plan: letters A, B, C (any case), each with an optional count of one or two digits.
// Returns false for any other character, a count of 0, three digits in a row, the same letter twice
// in a row, or more segments than a text can use.
[[nodiscard]] bool ParsePlan(std::string_view plan, ParsedPlan& out) {
  out.count = 0;
  char previous = 0;
  size_t i = 0;
  while (i < plan.size()) {
    char set = plan[i];
    if (set >= 'a' && set <= 'c') {
      set = static_cast<char>(set - 'a' + 'A');
    }
    if ((set != 'A' && set != 'B' && set != 'C') || set == previous || out.count >= kMaxSymbols) {
      return false;
    }
    ++i;
    int32_t count = -1;
    if (i < plan.size() && IsDigit(plan[i])) {
      count = plan[i++] - '0';
      if (i < plan.size() && IsDigit(plan[i])) {
        count = count * 10 + (plan[i++] - '0');
      }
      if (count == 0) {
        return false;
      }
    }
    out.segments[out.count++] = PlanSegment{set, count};
    previous = set;
  }
  return out.count > 0;
}

// The automatic plan: the longest run of at least 6 digits (the later of equal runs) in code set C,
// shortened by its first digit when odd, the rest in code set B.
void AutomaticPlan(std::string_view text, char* out, size_t outSize) {
  size_t bestStart = 0;
  size_t bestLength = 0;
  for (size_t i = 0; i < text.size();) {
    if (!IsDigit(text[i])) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < text.size() && IsDigit(text[j])) {
      ++j;
    }
    if (j - i >= kMinDigitRun && j - i >= bestLength) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j;
  }
  if (bestLength == 0) {
    std::snprintf(out, outSize, "B");
    return;
  }
  if (bestLength % 2 != 0) {
    ++bestStart;
    --bestLength;
  }
  size_t rest = text.size() - bestStart - bestLength;
  int n = 0;
  if (bestStart > 0) {
    n = std::snprintf(out, outSize, "B%u", static_cast<unsigned>(bestStart));
  }
  n += std::snprintf(out + n, outSize - static_cast<size_t>(n), "C%u", static_cast<unsigned>(bestLength));
  if (rest > 0) {
    std::snprintf(out + n, outSize - static_cast<size_t>(n), "B%u", static_cast<unsigned>(rest));
  }
}

void CopyText(char* dst, size_t capacity, std::string_view src) {
  size_t n = std::min(src.size(), capacity - 1);
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

}  // namespace

// The picture at one pixel per module, quiet zones included: the bar row and the 9 glyph rows of
// the text band (row 0 = top), each packed 8 modules a byte, bit 7 of byte 0 being module 0.
struct CBarcodeImage::Layout {
  uint32_t modules = 0;
  bool overflow = false;
  uint8_t bar[kPackedRowBytes];
  uint8_t text[kGlyphRowsInBand][kPackedRowBytes];

  Layout() {
    std::memset(bar, 0, sizeof bar);
    std::memset(text, 0, sizeof text);
  }

  [[nodiscard]] bool Bar(uint32_t x) const { return (bar[x >> 3] & (0x80u >> (x & 7))) != 0; }
  [[nodiscard]] bool Text(int row, uint32_t x) const { return (text[row][x >> 3] & (0x80u >> (x & 7))) != 0; }

  // Appends `count` (at most 13) modules taken from `mask`, most significant of the `count` bits first.
  void PutModules(uint32_t mask, uint32_t count) {
    if (modules + count > kMaxModules) {
      overflow = true;
      return;
    }
    const uint32_t offset = modules & 7;
    const uint32_t v = (mask & ((1u << count) - 1)) << (24 - count - offset);
    uint8_t* p = bar + (modules >> 3);
    p[0] = static_cast<uint8_t>(p[0] | (v >> 16));
    p[1] = static_cast<uint8_t>(p[1] | (v >> 8));
    p[2] = static_cast<uint8_t>(p[2] | v);
    modules += count;
  }
  void PutSpace(uint32_t count) {
    if (modules + count > kMaxModules) {
      overflow = true;
      return;
    }
    modules += count;
  }
  void PutBar(uint32_t count) { PutModules((1u << count) - 1, count); }

  // Puts an 8-pixel-wide glyph with its mask column 0 at module column x.
  void PutGlyph(uint32_t x, const bc::Glyph& glyph) {
    if (x + 8 > kMaxModules) {
      overflow = true;
      return;
    }
    const uint32_t offset = x & 7;
    for (int r = 0; r < kGlyphRowsInBand; ++r) {
      const uint32_t v = static_cast<uint32_t>(glyph[static_cast<size_t>(r)]) << (8 - offset);
      uint8_t* p = text[r] + (x >> 3);
      p[0] = static_cast<uint8_t>(p[0] | (v >> 8));
      p[1] = static_cast<uint8_t>(p[1] | v);
    }
  }

  // Appends the Code 128 symbols, the check symbol, the stop symbol and both quiet zones.
  void PutCode128(const SymbolList& symbols) {
    PutSpace(kBarcodeQuietModules);
    for (uint32_t i = 0; i < symbols.Count(); ++i) {
      const Symbol& s = symbols[i];
      uint32_t x = modules;
      PutModules(bc::kCode128Masks[s.value], bc::kCode128Modules);
      if (s.glyph == GlyphKind::kText) {
        int value = s.c1 - bc::kFirstGlyph;
        if (value >= 0 && value < bc::kTextGlyphs) {
          PutGlyph(x + kTextGlyphOffset, bc::kTextFont[static_cast<size_t>(value)]);
        }
      } else if (s.glyph == GlyphKind::kDigitPair) {
        PutGlyph(x + kDigitGlyphOffset1, bc::kDigitFont[static_cast<size_t>(s.c1 - '0')]);
        PutGlyph(x + kDigitGlyphOffset2, bc::kDigitFont[static_cast<size_t>(s.c2 - '0')]);
      }
    }
    PutModules(bc::kCode128Masks[static_cast<size_t>(symbols.CheckValue())], bc::kCode128Modules);
    PutModules(bc::kCode128Masks[bc::kCode128Stop], bc::kCode128StopModules);
    PutSpace(kBarcodeQuietModules);
  }
};

CBarcodeImage::CBarcodeImage() { Reset(); }

CBarcodeImage::~CBarcodeImage() = default;

void CBarcodeImage::Reset() {
  encoded_[0] = '\0';
  display_[0] = '\0';
  plan_[0] = '\0';
  width_ = 0;
  strideBits_ = 0;
  rows_ = 0;
  fileLength_ = 0;
  moduleWidthUsed_ = 0;
  isPng_ = false;
}

void CBarcodeImage::SetGs1Mode(bool fnc1, bool checkDigit) {
  gs1Fnc1_ = fnc1;
  gs1CheckDigit_ = checkDigit;
}

void CBarcodeImage::SetModuleWidth(int n) { moduleWidth_ = n; }

int CBarcodeImage::EncodeCode128(std::string_view text, int barHeight, bool hideText,
                                 std::string_view plan, int orientation) {
  Reset();
  if (text.empty() || text.size() > kBarcodeMaxText) {
    return 0;
  }
  // Codes below 32 would be control characters of set A (or nothing at all); the text band has no
  // glyph for them and a label must not carry them, so every path refuses them.
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32 || u >= 128) {
      return 0;
    }
  }
  CopyText(display_, kTextCapacity, text);
  CopyText(encoded_, kTextCapacity, text);
  size_t encodedLength = text.size();
  if (gs1Fnc1_ && gs1CheckDigit_) {
    // The check digit is defined over digits only: a text with anything else cannot carry one.
    if (!std::all_of(text.begin(), text.end(), IsDigit)) {
      Reset();
      return 0;
    }
    std::string_view head = text.substr(0, text.size() - 1);
    if (Gs1CheckDigit(head) != text.back()) {
      encoded_[encodedLength++] = Gs1CheckDigit(text);
      encoded_[encodedLength] = '\0';
    }
  }
  std::string_view encoded(encoded_, encodedLength);

  Layout layout;
  int ok = 0;
  bool hasHigh = std::any_of(encoded.begin(), encoded.end(), [](char c) { return c > 95; });
  if (!plan.empty()) {
    CopyText(plan_, kTextCapacity, plan);
    ok = EncodeCode128Plan(plan, gs1Fnc1_, layout);
  } else if (!hasHigh && encoded.size() <= kSetAMaxChars && (encoded.size() <= kSetAShortChars || !hideText)) {
    std::snprintf(plan_, kTextCapacity, "A%u", static_cast<unsigned>(encoded.size()));
    ok = EncodeCode128SetA(gs1Fnc1_, layout);
  } else {
    AutomaticPlan(encoded, plan_, kTextCapacity);
    ok = EncodeCode128Plan(plan_, gs1Fnc1_, layout);
  }
  if (ok == 0 || layout.overflow) {
    Reset();
    return 0;
  }
  return Render(layout, barHeight, hideText, orientation);
}

int CBarcodeImage::EncodeCode128SetA(bool gs1, Layout& layout) const {
  SymbolList symbols;
  bool ok = symbols.Add(bc::kCode128StartA);
  if (gs1) {
    ok = ok && symbols.Add(bc::kCode128Fnc1);
  }
  for (const char* p = encoded_; *p != '\0'; ++p) {
    if (*p < 32 || *p > 95) {
      return 0;
    }
    ok = ok && symbols.Add(*p - 32, GlyphKind::kText, *p);
  }
  if (!ok) {
    return 0;
  }
  layout.PutCode128(symbols);
  return 1;
}

int CBarcodeImage::EncodeCode128Plan(std::string_view plan, bool gs1, Layout& layout) const {
  ParsedPlan parsed;
  if (!ParsePlan(plan, parsed)) {
    return 0;
  }
  std::string_view text(encoded_);
  SymbolList symbols;
  size_t pos = 0;
  bool ok = true;
  for (uint32_t s = 0; s < parsed.count && pos < text.size(); ++s) {
    const PlanSegment& seg = parsed.segments[s];
    size_t rest = text.size() - pos;
    if (s == 0) {
      int start = seg.set == 'A' ? bc::kCode128StartA : seg.set == 'B' ? bc::kCode128StartB : bc::kCode128StartC;
      ok = ok && symbols.Add(start);
      if (gs1) {
        ok = ok && symbols.Add(bc::kCode128Fnc1);
      }
    } else {
      int shift = seg.set == 'A' ? bc::kCode128ShiftCodeA : seg.set == 'B' ? bc::kCode128ShiftCodeB : bc::kCode128ShiftCodeC;
      ok = ok && symbols.Add(shift);
    }
    if (seg.set == 'C') {
      // Digits go in pairs: an odd count, a count past the end of the text or a non-digit refuses.
      size_t n = seg.count < 0 ? rest : static_cast<size_t>(seg.count);
      if (n % 2 != 0 || n > rest) {
        return 0;
      }
      for (size_t i = 0; i < n; i += 2) {
        char d1 = text[pos + i];
        char d2 = text[pos + i + 1];
        if (!IsDigit(d1) || !IsDigit(d2)) {
          return 0;
        }
        ok = ok && symbols.Add((d1 - '0') * 10 + (d2 - '0'), GlyphKind::kDigitPair, d1, d2);
      }
      pos += n;
    } else {
      size_t n = seg.count < 0 ? rest : std::min(rest, static_cast<size_t>(seg.count));
      char high = seg.set == 'A' ? 95 : 126;
      for (size_t i = 0; i < n; ++i) {
        char c = text[pos + i];
        if (c < 32 || c > high) {
          return 0;
        }
        ok = ok && symbols.Add(c - 32, GlyphKind::kText, c);
      }
      pos += n;
    }
  }
  // A plan whose counts end before the text would silently drop characters: refuse it.
  if (!ok || pos < text.size()) {
    return 0;
  }
  layout.PutCode128(symbols);
  return 1;
}

int CBarcodeImage::EncodeInterleaved2of5(std::string_view text, int barHeight, bool hideText,
                                         int orientation) {
  Reset();
  if (text.size() < 2 || text.size() > kBarcodeMaxText || text.size() % 2 != 0 ||
      !std::all_of(text.begin(), text.end(), IsDigit)) {
    return 0;
  }
  CopyText(display_, kTextCapacity, text);
  CopyText(encoded_, kTextCapacity, text);

  Layout layout;
  layout.PutSpace(kBarcodeQuietModules);
  for (int i = 0; i < 2; ++i) {  // start: narrow bar, narrow space, twice
    layout.PutBar(bc::kI25Narrow);
    layout.PutSpace(bc::kI25Narrow);
  }
  for (size_t i = 0; i < text.size(); i += 2) {
    const std::string_view barDigit = bc::kI25Digits[static_cast<size_t>(text[i] - '0')];
    const std::string_view spaceDigit = bc::kI25Digits[static_cast<size_t>(text[i + 1] - '0')];
    uint32_t x = layout.modules;
    for (size_t e = 0; e < 5; ++e) {
      layout.PutBar(barDigit[e] == 'w' ? bc::kI25Wide : bc::kI25Narrow);
      layout.PutSpace(spaceDigit[e] == 'w' ? bc::kI25Wide : bc::kI25Narrow);
    }
    // The pair spans 18 modules; each digit's glyph lies under its own 9.
    layout.PutGlyph(x + kI25GlyphOffset, bc::kTextFont[static_cast<size_t>(text[i] - bc::kFirstGlyph)]);
    layout.PutGlyph(x + bc::kI25DigitModules + kI25GlyphOffset,
                    bc::kTextFont[static_cast<size_t>(text[i + 1] - bc::kFirstGlyph)]);
  }
  layout.PutBar(bc::kI25Wide);  // stop: wide bar, narrow space, narrow bar
  layout.PutSpace(bc::kI25Narrow);
  layout.PutBar(bc::kI25Narrow);
  layout.PutSpace(kBarcodeQuietModules);
  if (layout.overflow) {
    Reset();
    return 0;
  }
  return Render(layout, barHeight, hideText, orientation);
}

int CBarcodeImage::Render(const Layout& layout, int barHeight, bool hideText, int orientation) {
  const uint32_t barRows = static_cast<uint32_t>(std::clamp(barHeight, kBarcodeMinBarRows, kBarcodeMaxBarRows));
  const uint32_t rows = barRows + (hideText ? 0u : static_cast<uint32_t>(kBarcodeTextRows));
  const uint32_t firstBarRow = hideText ? 0u : static_cast<uint32_t>(kBarcodeTextRows);
  const uint32_t modules = layout.modules;

  if (ImageBytes(modules, rows) > kBarcodeMaxImageBytes) {
    Reset();
    return 0;
  }
  uint32_t n = 1;
  if (moduleWidth_ >= kBarcodeMinModuleWidth && moduleWidth_ <= kBarcodeMaxModuleWidth) {
    n = static_cast<uint32_t>(moduleWidth_);
    while (n > 1 && ImageBytes(modules * n, rows) > kBarcodeMaxImageBytes) {
      --n;
    }
  }
  const uint32_t width = modules * n;

  Turn turn = orientation <= 0 ? Turn::kNone
              : orientation == 1 ? Turn::kClockwise
              : orientation == 2 ? Turn::kHalf
                                 : Turn::kCounterClockwise;
  if (turn != Turn::kNone &&
      (StrideBytes(width) > kMaxTurnStrideBytes ||
       (turn != Turn::kHalf && ImageBytes(rows, width) > kBarcodeMaxImageBytes))) {
    turn = Turn::kNone;  // the picture stays as drawn
  }
  const bool quarter = turn == Turn::kClockwise || turn == Turn::kCounterClockwise;

  width_ = quarter ? rows : width;
  rows_ = quarter ? width : rows;
  strideBits_ = StrideBytes(width_) * 8;
  moduleWidthUsed_ = static_cast<int>(n);
  const uint32_t stride = strideBits_ / 8;
  uint8_t* pixels = file_ + kBarcodeBmpHeaderBytes;
  std::memset(pixels, 0, static_cast<size_t>(stride) * rows_);

  if (!quarter) {
    // Drawn row r (from the bottom) goes to row r, or to row (rows - 1 - r) mirrored for the half
    // turn. Rows 0-8 show glyph rows 8-0, row 9 stays white.
    const bool half = turn == Turn::kHalf;
    auto target = [&](uint32_t r) { return pixels + static_cast<size_t>(stride) * (half ? rows - 1 - r : r); };
    uint8_t mirrored[kPackedRowBytes];
    auto source = [&](const uint8_t* packed) -> const uint8_t* {
      if (!half) {
        return packed;
      }
      MirrorPacked(packed, modules, mirrored);
      return mirrored;
    };
    uint8_t* barRow = target(firstBarRow);
    WidenPacked(source(layout.bar), n, barRow, stride);
    for (uint32_t r = firstBarRow + 1; r < rows; ++r) {
      std::memcpy(target(r), barRow, stride);
    }
    if (!hideText) {
      for (int g = 0; g < kGlyphRowsInBand; ++g) {
        WidenPacked(source(layout.text[g]), n, target(static_cast<uint32_t>(kGlyphRowsInBand - 1 - g)), stride);
      }
    }
  } else {
    // A quarter turn: each module column becomes n rows of the turned picture. Clockwise, drawn row
    // r goes to column r and pixel column c to row (width - 1 - c); counter-clockwise, row r goes to
    // column (rows - 1 - r) and pixel column c to row c. The text band thus stays on the edge the
    // bottom of the bars turns to, and glyphs read as turned, never mirrored.
    const bool cw = turn == Turn::kClockwise;
    uint8_t column[kMaxColumnBytes];
    for (uint32_t x = 0; x < modules; ++x) {
      std::memset(column, 0, stride);
      if (layout.Bar(x)) {
        SetBitRun(column, cw ? firstBarRow : 0, rows - firstBarRow);
      }
      if (!hideText) {
        for (int g = 0; g < kGlyphRowsInBand; ++g) {
          if (layout.Text(g, x)) {
            const uint32_t r = static_cast<uint32_t>(kGlyphRowsInBand - 1 - g);
            SetBit(column, cw ? r : rows - 1 - r);
          }
        }
      }
      for (uint32_t k = 0; k < n; ++k) {
        const uint32_t c = x * n + k;
        std::memcpy(pixels + static_cast<size_t>(stride) * (cw ? width - 1 - c : c), column, stride);
      }
    }
  }
  WriteBmpHeader();
  return 1;
}

void CBarcodeImage::WriteBmpHeader() {
  const uint32_t imageBytes = strideBits_ / 8 * rows_;
  uint8_t* h = file_;
  std::memset(h, 0, kBarcodeBmpHeaderBytes);
  h[0] = 'B';
  h[1] = 'M';
  PutLe32(h + 2, kBarcodeBmpHeaderBytes + imageBytes);
  PutLe32(h + 10, kBarcodeBmpHeaderBytes);
  uint8_t* info = h + kBmpFileHeaderBytes;
  PutLe32(info + 0, kBmpInfoHeaderBytes);
  PutLe32(info + 4, width_);
  PutLe32(info + 8, rows_);
  PutLe16(info + 12, 1);  // planes
  PutLe16(info + 14, 1);  // bits per pixel
  PutLe32(info + 16, 0);  // no compression
  PutLe32(info + 20, imageBytes);
  uint8_t* palette = info + kBmpInfoHeaderBytes;
  palette[0] = palette[1] = palette[2] = 255;  // entry 0 white, entry 1 black (already zero)
  fileLength_ = kBarcodeBmpHeaderBytes + imageBytes;
}
