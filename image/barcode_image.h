#pragma once
// CBarcodeImage draws one linear barcode (Code 128, GS1-128 or Interleaved 2 of 5) as a complete
// one-bit Windows bitmap file in a fixed buffer inside the object, with a human-readable line under
// the bars. The barcode command draws one per request and sends the file image as it stands, or
// after ConvertToPng as PNG.
//
// Picture layout (rows counted from the bottom, as the BMP stores them): rows 0-8 hold the glyphs of
// the text band, row 9 stays white, rows 10 and up hold the bars; without the text band every row
// holds bars. A quiet zone of 8 modules lies left and right of the symbol. A set bit is black
// (palette entry 1); a fresh bitmap is white.
//
// Every refusal returns 0 and leaves FileLength() at 0. Nothing allocates except ConvertToPng.
// One object serves one request on one thread; it is not safe to share.

#include <cstdint>
#include <string_view>

// Size of the file buffer; a BMP file image or a PNG replacing it never exceeds it.
inline constexpr uint32_t kBarcodeFileCapacity = 32768;
// BMP file header + info header + two palette entries.
inline constexpr uint32_t kBarcodeBmpHeaderBytes = 62;
// Largest pixel block that fits the buffer behind the headers.
inline constexpr uint32_t kBarcodeMaxImageBytes = kBarcodeFileCapacity - kBarcodeBmpHeaderBytes;
// Longest text either symbology accepts.
inline constexpr uint32_t kBarcodeMaxText = 60;
// Bar rows are clamped to this range; the text band adds kBarcodeTextRows more.
inline constexpr int32_t kBarcodeMinBarRows = 20;
inline constexpr int32_t kBarcodeMaxBarRows = 310;
inline constexpr int32_t kBarcodeTextRows = 10;
// Quiet zone left and right of the symbol, in modules.
inline constexpr uint32_t kBarcodeQuietModules = 8;
// Module widths (pixels per module) the renderer widens to; other values draw 1 pixel per module.
inline constexpr int32_t kBarcodeMinModuleWidth = 2;
inline constexpr int32_t kBarcodeMaxModuleWidth = 8;
inline constexpr int32_t kBarcodeDefaultModuleWidth = 2;

class CBarcodeImage {
 public:
  CBarcodeImage();
  CBarcodeImage(const CBarcodeImage&) = delete;
  CBarcodeImage& operator=(const CBarcodeImage&) = delete;
  virtual ~CBarcodeImage();

  // EncodeCode128 draws `text` (1 to 60 characters, codes 32 to 127) as Code 128 with `barHeight`
  // bar rows (clamped to 20..310). A non-empty `plan` chooses the code sets: letters A, B or C (any
  // case), each with an optional one- or two-digit character count ("B4C6"; no count: the rest of
  // the text). Without a plan, short upper-case texts are drawn in code set A and others with an
  // automatic B/C plan that packs the longest run of 6 or more digits in code set C.
  // `orientation`: 0 as drawn, 1 a quarter turn clockwise, 2 a half turn, 3 and above a quarter turn
  // counter-clockwise. In GS1 mode FNC1 follows the start symbol and, when asked, the GS1 check
  // digit is appended (the text must then be all digits).
  // Returns 1 when the picture was drawn, 0 when the text or plan is refused or too large.
  [[nodiscard]] int EncodeCode128(std::string_view text, int barHeight, bool hideText,
                                  std::string_view plan, int orientation);

  // EncodeInterleaved2of5 draws an even number (2 to 60) of digits as Interleaved 2 of 5.
  // Returns 1 when drawn, 0 when refused (odd count, non-digit, empty or too long).
  [[nodiscard]] int EncodeInterleaved2of5(std::string_view text, int barHeight, bool hideText,
                                          int orientation);

  // SetGs1Mode switches GS1-128 on for later Code 128 pictures: `fnc1` puts FNC1 after the start
  // symbol; `checkDigit` (with `fnc1`) appends the mod-10 check digit unless the text already ends
  // with it.
  void SetGs1Mode(bool fnc1, bool checkDigit);

  // SetModuleWidth sets the pixels per module of later pictures: 2 to 8 widen every module column
  // (lowered while the picture would not fit the buffer); any other value draws 1 pixel per module.
  void SetModuleWidth(int n);

  // ConvertToPng replaces the drawn BMP by its PNG encoding and, when `path` is not null, also
  // writes the PNG bytes to that file (created or truncated). Returns 1 when the file image now holds
  // the PNG, 0 when there is no picture, the PNG could not be made or exceeds the buffer (the BMP
  // then stays).
  [[nodiscard]] int ConvertToPng(const char* path);

  // The file image (BMP, or PNG after ConvertToPng) and its length; length 0 after a refusal.
  [[nodiscard]] const uint8_t* FileImage() const { return file_; }
  [[nodiscard]] uint32_t FileLength() const { return fileLength_; }
  [[nodiscard]] bool IsPng() const { return isPng_; }

  // Bitmap geometry of the last picture (after widening and turning).
  [[nodiscard]] uint32_t Width() const { return width_; }
  [[nodiscard]] uint32_t Rows() const { return rows_; }
  [[nodiscard]] uint32_t StrideBits() const { return strideBits_; }
  // Pixels per module the last picture was drawn with (after any lowering).
  [[nodiscard]] int ModuleWidthUsed() const { return moduleWidthUsed_; }

  // The text the bars carry (with an appended GS1 check digit), the text the caller gave, and the
  // code-set plan the bars were drawn with ("A13", "B4C6", or the caller's plan).
  [[nodiscard]] const char* EncodedText() const { return encoded_; }
  [[nodiscard]] const char* DisplayText() const { return display_; }
  [[nodiscard]] const char* Plan() const { return plan_; }

 private:
  struct Layout;
  enum class Turn { kNone, kClockwise, kHalf, kCounterClockwise };

  void Reset();
  [[nodiscard]] int EncodeCode128SetA(bool gs1, Layout& layout) const;
  [[nodiscard]] int EncodeCode128Plan(std::string_view plan, bool gs1, Layout& layout) const;
  [[nodiscard]] int Render(const Layout& layout, int barHeight, bool hideText, int orientation);
  void WriteBmpHeader();

  static constexpr uint32_t kTextCapacity = 64;

  char encoded_[kTextCapacity];
  char display_[kTextCapacity];
  char plan_[kTextCapacity];
  uint32_t width_ = 0;
  uint32_t strideBits_ = 0;
  uint32_t rows_ = 0;
  uint32_t fileLength_ = 0;
  int moduleWidth_ = kBarcodeDefaultModuleWidth;
  int moduleWidthUsed_ = 0;
  bool gs1Fnc1_ = false;
  bool gs1CheckDigit_ = false;
  bool isPng_ = false;
  uint8_t file_[kBarcodeFileCapacity];
};
