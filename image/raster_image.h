#pragma once
// CRasterImage: the in-memory picture of the image library. One malloc'd pixel block holds a 40-byte
// bitmap info header, the palette (4 bytes an entry: blue, green, red, fourth byte) and the pixel rows,
// bottom row first, each row padded to a multiple of 4 bytes. Optional planes of one byte per pixel
// (alpha, selection) use the same bottom-up indexing, y * width + x, without padding.
//
// Sizes: every size is computed in 64 bits, and no picture of more than kRasterMaxImageBytes of pixel
// rows is ever allocated ("RASTER_MAX_MEMORY exceeded"), so a small file that claims a huge picture is
// refused before any allocation.
//
// Codecs: Decode/Encode dispatch by format code (raster_codec.h lists them); code 0 on decode detects.
// A failing operation leaves its text (raster_errors.h) in GetLastError(); nothing throws.
//
// A ghost shares another picture's planes and frees nothing; it must not outlive that picture.
//
// Thread-safety: one picture belongs to one thread at a time (the nearest-colour cache is mutable).

#include <cstddef>
#include <cstdint>

class CRasterFile;
class CRasterExifInfo;
struct RasterExifRecord;

// Format codes of the image library.
inline constexpr uint32_t kRasterFormatUnknown = 0;
inline constexpr uint32_t kRasterFormatBmp = 1;
inline constexpr uint32_t kRasterFormatGif = 2;
inline constexpr uint32_t kRasterFormatJpg = 3;
inline constexpr uint32_t kRasterFormatPng = 4;
inline constexpr uint32_t kRasterFormatIco = 5;
inline constexpr uint32_t kRasterFormatTga = 6;
inline constexpr uint32_t kRasterFormatPcx = 7;
inline constexpr uint32_t kRasterFormatWbmp = 8;
inline constexpr uint32_t kRasterFormatWmf = 9;
inline constexpr uint32_t kRasterFormatJp2 = 10;
inline constexpr uint32_t kRasterFormatJpc = 11;
inline constexpr uint32_t kRasterFormatPgx = 12;
inline constexpr uint32_t kRasterFormatPnm = 13;
inline constexpr uint32_t kRasterFormatRas = 14;
inline constexpr uint32_t kRasterFormatCount = 15;

// Pixel rows larger than this are refused ("RASTER_MAX_MEMORY exceeded").
inline constexpr uint64_t kRasterMaxImageBytes = 256000000;
// Length of the last-error text, with its terminating zero.
inline constexpr size_t kRasterErrorSize = 256;
inline constexpr uint8_t kRasterDefaultJpegQuality = 90;
inline constexpr int32_t kRasterDefaultDpi = 96;
inline constexpr int32_t kRasterNoTransparency = -1;
// Escape value that asks a decoder for the picture's size only.
inline constexpr int32_t kRasterEscapeSizeOnly = -1;

// Resample modes: nearest pixel, cubic B-spline; any other value (the ID-card pictures use 0) averages
// the covered area when a 24-bit picture shrinks both ways and interpolates bilinearly otherwise.
inline constexpr int32_t kRasterResampleBilinear = 0;
inline constexpr int32_t kRasterResampleNearest = 1;
inline constexpr int32_t kRasterResampleBicubic = 2;

// One palette entry or colour, in the byte order of a Windows RGBQUAD.
struct RasterQuad {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
};

[[nodiscard]] constexpr RasterQuad RasterRgb(uint8_t red, uint8_t green, uint8_t blue, uint8_t fourth = 0) {
  return RasterQuad{blue, green, red, fourth};
}
[[nodiscard]] constexpr bool operator==(const RasterQuad& a, const RasterQuad& b) {
  return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed && a.rgbReserved == b.rgbReserved;
}

// The Windows BITMAPINFOHEADER with its 32-bit fields; stored little-endian in the pixel block.
struct RasterInfoHeader {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
inline constexpr uint32_t kRasterInfoHeaderSize = 40;

// Luminance of a colour with the weights 306 (red), 601 (green), 117 (blue) over 1024.
[[nodiscard]] constexpr uint8_t RasterGray(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<uint8_t>((red * 306u + green * 601u + blue * 117u) >> 10);
}

class CRasterImage {
 public:
  // An empty picture of format `type`.
  explicit CRasterImage(uint32_t type = kRasterFormatUnknown);
  // A zeroed picture (see Create).
  CRasterImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type);
  // Decodes `size` bytes at `buffer` (type 0 detects); the block stays the caller's. IsValid() tells.
  CRasterImage(const uint8_t* buffer, uint32_t size, uint32_t type);
  // Copies settings, pixels, selection and alpha.
  CRasterImage(const CRasterImage& src);
  CRasterImage(const CRasterImage& src, bool copyPixels, bool copySelection, bool copyAlpha);
  CRasterImage& operator=(const CRasterImage& src);
  virtual ~CRasterImage();

  // ---- life ----
  // Create: replaces the contents by a zeroed picture of `bpp` bits (normalised to 1, 4, 8 or 24).
  // Returns the pixel block, or null with the last-error text set (a ghost refuses: null).
  void* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type);
  // Destroy: frees layers, selection, alpha and pixels. Returns false for a ghost (nothing freed).
  bool Destroy();
  // Copy: settings of `src`, then (as asked) its pixels or only its palette, selection and alpha.
  // Returns false when the picture could not be made.
  bool Copy(const CRasterImage& src, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
  // Transfer: moves all planes and settings of `from` into this picture and empties `from`.
  // Returns false when either side is a ghost.
  bool Transfer(CRasterImage& from);
  // Ghost: this picture shares the planes of `from` (which keeps owning them).
  void Ghost(const CRasterImage& from);
  [[nodiscard]] bool IsGhost() const { return m_ghost; }

  // ---- codecs (raster_codec.cc) ----
  // Decode: reads a picture of format `type` (0: detect) from `file`. Returns true on success.
  bool Decode(CRasterFile* file, uint32_t type);
  bool Decode(const uint8_t* buffer, uint32_t size, uint32_t type);
  // Encode: writes the picture as format `type`. The picture itself is never changed.
  bool Encode(CRasterFile* file, uint32_t type);
  // Encode into a new malloc'd block; REQUIRES: buffer == nullptr ("the buffer must be empty").
  // On success the caller owns *buffer and frees it with free().
  bool Encode(uint8_t*& buffer, int64_t& size, uint32_t type);

  // DecodeForSize: Decode for a picture that will be fitted into width x height (Thumbnail). A JPEG is
  // decoded at the smallest of the sizes 1/1, 1/2, 1/4, 1/8 that still covers the box (and the fitted
  // size) and stays larger than the box where the full picture is; libjpeg scales in the DCT, so the
  // thumbnail stays within a few levels of the full-size one at a fraction of the work. Every other
  // format decodes as Decode does. Returns true on success.
  bool DecodeForSize(const uint8_t* buffer, uint32_t size, uint32_t type, uint32_t width, uint32_t height);

  // ---- transforms (raster_transform.cc) ----
  // Resample: scales the picture to newx x newy with `mode` (kRasterResample...); palette pictures
  // keep their depth and palette (interpolated colours take the nearest entry); an alpha plane is
  // scaled with the pixels. The result replaces this picture, or goes to *iDst when given (this one
  // then stays as it is). Returns false (nothing changed) for an empty picture, a size of 0, or a
  // picture that cannot be made.
  bool Resample(uint32_t newx, uint32_t newy, int32_t mode = kRasterResampleNearest, CRasterImage* iDst = nullptr);
  // Thumbnail: fits the picture inside newx x newy keeping its aspect ratio (only ever shrinking, by
  // Resample mode 0) and centres it on a newx x newy canvas of `canvasColour`; the odd border pixel
  // goes to the right and to the bottom. Result to this picture or *iDst. Returns false (nothing
  // changed) for an empty picture, a size of 0, or a picture that cannot be made.
  bool Thumbnail(uint32_t newx, uint32_t newy, RasterQuad canvasColour, CRasterImage* iDst = nullptr);
  // MixFrom: copies `source` into this picture with its pixel (0, 0) at (x, y) (picture coordinates,
  // bottom row 0), clipped to this picture. Pixels of the source's transparent colour (only when it has
  // one) are skipped; with an alpha plane the source is blended by its alpha. Returns false when either
  // picture is empty.
  bool MixFrom(const CRasterImage& source, int64_t x, int64_t y);

  // ---- text (raster_text.cc) ----
  // DrawString: draws `text` (GBK) in the font `font` (GBK face name such as "黑体" or "宋体", cut to 31
  // bytes; the Chinese face names are mapped to installed CJK fonts, see raster_text.cc), `size` pixels
  // of cell height (negative: of em height), `weight` 100..900, optionally italic and underlined, in
  // `colour` blended with `opacity` (0: the colour solid, 1: the picture unchanged) and weighted by
  // each pixel's glyph coverage. The text is rotated by `escapement` tenths of a degree counter-
  // clockwise (-450 runs down to the right at 45 degrees).
  // Placement: (x, y) is the top-left corner of the first character's cell in top-down coordinates
  // (y = 0 is the top row, as on a screen), with or without an escapement; a rotated text turns about
  // that point. Pixels outside the picture are never written. With `setAlpha` an alpha plane (when the
  // picture has one) is made opaque under the text by the same weight.
  // `hdc` is accepted for the callers' shape and not used. Safe to call from many threads at once on
  // different pictures. Returns true when drawn (also for an empty picture or an empty text: nothing
  // to do); false, picture unchanged, with the last-error text set, when no installed font can draw
  // the text or an argument is out of range.
  bool DrawString(void* hdc, int64_t x, int64_t y, const char* text, RasterQuad colour, const char* font,
                  int32_t size, int32_t weight, bool italic, bool underline, bool setAlpha, float opacity,
                  int32_t escapement);

  // ---- JPEG sections and EXIF (raster_exif.cc) ----
  // The marker sections and EXIF record of the JPEG file this picture was decoded from, or null. They
  // travel with Transfer and Copy, are dropped by Create and Destroy, and a later JPEG encode writes
  // the kept EXIF and comment sections back around the new image data.
  [[nodiscard]] const CRasterExifInfo* GetExif() const { return m_exif; }
  // GetExifInfo: the EXIF record, or null when the picture carries none.
  [[nodiscard]] const RasterExifRecord* GetExifInfo() const;
  // SetExif: hands `info` (owned from then on; may be null) to the picture, replacing what it had.
  void SetExif(CRasterExifInfo* info);

  // ---- geometry ----
  [[nodiscard]] bool IsValid() const { return m_block != nullptr; }
  [[nodiscard]] uint32_t GetWidth() const { return static_cast<uint32_t>(m_head.biWidth); }
  [[nodiscard]] uint32_t GetHeight() const { return static_cast<uint32_t>(m_head.biHeight); }
  [[nodiscard]] uint32_t GetBpp() const { return m_head.biBitCount; }
  [[nodiscard]] uint32_t GetType() const { return m_type; }
  // Row size in bytes (padded to 4).
  [[nodiscard]] uint32_t GetEffWidth() const { return m_rowBytes; }
  // Palette entries: 2, 16, 256, or 0 for 24 bits.
  [[nodiscard]] uint32_t GetNumColors() const { return m_head.biClrUsed; }
  [[nodiscard]] uint32_t GetPaletteSize() const { return m_head.biClrUsed * 4; }
  // Bytes of the pixel rows.
  [[nodiscard]] uint32_t GetImageSize() const { return m_head.biSizeImage; }
  // Bytes of the whole block: header, palette and rows (0 when empty).
  [[nodiscard]] uint64_t GetSize() const;
  [[nodiscard]] const RasterInfoHeader& GetInfoHeader() const { return m_head; }
  // The pixel block (header, palette, rows), or null.
  [[nodiscard]] uint8_t* GetDIB() { return m_block; }
  [[nodiscard]] const uint8_t* GetDIB() const { return m_block; }
  // First byte of pixel row `row` (0 = bottom row); REQUIRES row < GetHeight() of a valid picture.
  [[nodiscard]] uint8_t* GetBits(uint32_t row = 0) { return m_bits + static_cast<size_t>(row) * m_rowBytes; }
  [[nodiscard]] const uint8_t* GetBits(uint32_t row = 0) const {
    return m_bits + static_cast<size_t>(row) * m_rowBytes;
  }
  [[nodiscard]] bool IsInside(int64_t x, int64_t y) const {
    return m_block != nullptr && x >= 0 && y >= 0 && x < m_head.biWidth && y < m_head.biHeight;
  }
  // Clear: fills the pixel rows with `value` (1 bit: nonzero means 255; 4 bits: the nibble repeated).
  void Clear(uint8_t value = 0);

  // ---- pixels ----
  // GetPixelColor: the colour at (x, y) (y = 0 is the bottom row), with the alpha plane's value in
  // rgbReserved when `getAlpha`. Outside the picture: the transparent colour when one is set, else the
  // colour of pixel (0, 0), else the background colour.
  [[nodiscard]] RasterQuad GetPixelColor(int64_t x, int64_t y, bool getAlpha = true) const;
  // GetPixelIndex: the palette index at (x, y), 0 outside or for 24 bits.
  [[nodiscard]] uint8_t GetPixelIndex(int64_t x, int64_t y) const;
  // SetPixelIndex: writes a palette index (ignored outside or for 24 bits).
  void SetPixelIndex(int64_t x, int64_t y, uint8_t index);
  // SetPixelColor: writes a colour (nearest palette index below 24 bits); with `setAlpha` the alpha
  // plane takes c.rgbReserved. Ignored outside the picture.
  void SetPixelColor(int64_t x, int64_t y, RasterQuad c, bool setAlpha = false);

  // ---- palette (raster_planes.cc) ----
  [[nodiscard]] RasterQuad* GetPalette() { return m_palette; }
  [[nodiscard]] const RasterQuad* GetPalette() const { return m_palette; }
  // GetPaletteColor: entry `index` (all zero outside the palette).
  [[nodiscard]] RasterQuad GetPaletteColor(uint8_t index) const;
  // GetPaletteColor: false without a palette or outside it.
  bool GetPaletteColor(uint8_t index, uint8_t* red, uint8_t* green, uint8_t* blue) const;
  void SetPaletteColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue, uint8_t fourth = 0);
  void SetPaletteColor(uint8_t index, RasterQuad c);
  // SetPalette: entries 0 .. min(count, entries) - 1 from separate channel arrays (a missing green
  // array means the red one, a missing blue array the green one).
  void SetPalette(uint32_t count, const uint8_t* red, const uint8_t* green, const uint8_t* blue);
  // SetPalette: entries from consecutive red, green, blue triples.
  void SetPaletteRgb(const uint8_t* rgb, uint32_t count);
  // SetPalette: `count` 4-byte entries, at most the palette's size.
  void SetPalette(const RasterQuad* entries, uint32_t count);
  // SetGrayPalette: entry i = i * (255 / (entries - 1)).
  void SetGrayPalette();
  // IsGrayScale: every entry i is (i, i, i); false without a palette.
  [[nodiscard]] bool IsGrayScale() const;
  // GetNearestIndex: the palette index nearest to `c` (squared RGB distance); 0 without a palette.
  [[nodiscard]] uint8_t GetNearestIndex(RasterQuad c) const;
  // SwapIndex: exchanges entries a and b and rewrites the pixels that use them.
  void SwapIndex(uint8_t a, uint8_t b);
  // Highest palette index a pixel uses (0 for 24 bits or an empty picture).
  [[nodiscard]] uint8_t GetHighestIndex() const;
  // RGBtoBGR: exchanges the lowest and third bytes of a 32-bit colour and clears the top byte.
  [[nodiscard]] static uint32_t RGBtoBGR(uint32_t colour);
  // CompareColors: luminance order of two colours (<0, 0, >0).
  [[nodiscard]] static int32_t CompareColors(const RasterQuad& a, const RasterQuad& b);

  // ---- bit fields ----
  // Bitfield2RGB: converts 16- or 32-bit pixel rows (bottom-up, rows padded to 4 bytes) in `src` of
  // `srcBytes` bytes into this 24-bit picture with the given channel masks. Returns false when the
  // picture is not 24 bits, the depth is not 16 or 32, or `src` is too short.
  bool Bitfield2RGB(const uint8_t* src, uint64_t srcBytes, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                    uint32_t bpp);

  // ---- transparency and background ----
  [[nodiscard]] int32_t GetTransIndex() const { return m_transIndex; }
  void SetTransIndex(int32_t index) { m_transIndex = index; }
  // The transparent colour: the palette entry of the transparent index below 24 bits.
  [[nodiscard]] RasterQuad GetTransColor() const;
  void SetTransColor(RasterQuad c) { m_transColor = c; }
  [[nodiscard]] RasterQuad GetBkgndColor() const { return m_bkgndColor; }
  void SetBkgndColor(RasterQuad c) { m_bkgndColor = c; }
  [[nodiscard]] bool IsTransparent() const { return m_transIndex >= 0 || m_alpha != nullptr; }

  // ---- alpha plane (raster_planes.cc) ----
  [[nodiscard]] bool AlphaIsValid() const { return m_alpha != nullptr; }
  // AlphaCreate: keeps an existing plane, else makes one of 255. False when it cannot be allocated.
  bool AlphaCreate();
  void AlphaDelete();
  void AlphaSet(int64_t x, int64_t y, uint8_t level);
  // AlphaGet: 0 without a plane or outside the picture.
  [[nodiscard]] uint8_t AlphaGet(int64_t x, int64_t y) const;
  [[nodiscard]] uint8_t* AlphaGetPointer() { return m_alpha; }
  [[nodiscard]] const uint8_t* AlphaGetPointer() const { return m_alpha; }
  bool AlphaFlip();
  bool AlphaMirror();
  // AlphaPaletteIsValid: any palette entry has a nonzero fourth byte.
  [[nodiscard]] bool AlphaPaletteIsValid() const;
  [[nodiscard]] bool AlphaPaletteIsEnabled() const { return m_alphaPalette; }
  void AlphaPaletteEnable(bool enable = true) { m_alphaPalette = enable; }
  [[nodiscard]] uint8_t AlphaGetMax() const { return m_alphaMax; }
  void AlphaSetMax(uint8_t ceiling) { m_alphaMax = ceiling; }

  // ---- selection plane (raster_planes.cc) ----
  struct SelectionBox {
    int64_t left = 0;
    int64_t top = 0;
    int64_t right = 0;
    int64_t bottom = 0;
  };
  // SelectionCreate: an empty selection plane. False when it cannot be allocated.
  bool SelectionCreate();
  bool SelectionDelete();
  [[nodiscard]] bool SelectionIsValid() const { return m_selection != nullptr; }
  // SelectionSet: marks (x, y) selected (level > 0) or not and widens the box.
  void SelectionSet(int64_t x, int64_t y, uint8_t level);
  [[nodiscard]] bool SelectionIsInside(int64_t x, int64_t y) const;
  [[nodiscard]] const SelectionBox& GetSelectionBox() const { return m_selectionBox; }

  // ---- layers ----
  // LayerCreate: appends an empty child picture. Returns it, or null.
  CRasterImage* LayerCreate();
  [[nodiscard]] CRasterImage* GetLayer(uint32_t n) const { return n < m_layerCount ? m_layers[n] : nullptr; }
  [[nodiscard]] uint32_t GetNumLayers() const { return m_layerCount; }
  void LayerDeleteAll();

  // ---- whole-picture operations (raster_planes.cc) ----
  bool Flip();
  bool Mirror();
  bool Negative();

  // ---- settings ----
  [[nodiscard]] const char* GetLastError() const { return m_lastError; }
  void SetLastError(const char* text);
  [[nodiscard]] uint8_t GetJpegQuality() const { return m_jpegQuality; }
  void SetJpegQuality(uint8_t q) { m_jpegQuality = q; }
  [[nodiscard]] uint8_t GetJpegScale() const { return m_jpegScale; }
  void SetJpegScale(uint8_t s) { m_jpegScale = s; }
  [[nodiscard]] int32_t GetEscape() const { return m_escape; }
  void SetEscape(int32_t e) { m_escape = e; }
  [[nodiscard]] uint32_t GetProgress() const { return m_progress; }
  void SetProgress(uint32_t p) { m_progress = p; }
  [[nodiscard]] int32_t GetFrame() const { return m_frame; }
  void SetFrame(int32_t n) { m_frame = n; }
  [[nodiscard]] int32_t GetNumFrames() const { return m_numFrames; }
  void SetNumFrames(int32_t n) { m_numFrames = n; }
  // Codec option word of `type` (0: the picture's own format; above 14: 0).
  [[nodiscard]] uint32_t GetCodecOption(uint32_t type = 0) const;
  void SetCodecOption(uint32_t option, uint32_t type = 0);
  [[nodiscard]] int32_t GetXDPI() const { return m_xDpi; }
  [[nodiscard]] int32_t GetYDPI() const { return m_yDpi; }
  void SetXDPI(int32_t dpi);
  void SetYDPI(int32_t dpi);
  // Width and height of the last size-only decode, or of the picture.
  [[nodiscard]] uint32_t GetHeaderWidth() const { return m_headerWidth; }
  [[nodiscard]] uint32_t GetHeaderHeight() const { return m_headerHeight; }
  void SetHeaderSize(uint32_t width, uint32_t height) {
    m_headerWidth = width;
    m_headerHeight = height;
  }

  // Bytes of the pixel rows of a `width` x `height` picture of `bpp` bits (normalised), in 64 bits.
  [[nodiscard]] static uint64_t ImageBytes(uint64_t width, uint64_t height, uint32_t bpp);
  // True when such a picture stays within kRasterMaxImageBytes.
  [[nodiscard]] static bool FitsMemoryLimit(uint64_t width, uint64_t height, uint32_t bpp);
  // Bits per pixel as Create normalises them.
  [[nodiscard]] static uint32_t NormaliseBpp(uint32_t bpp);

  // EncodeSafeCheck: true when `file` and pixels exist; otherwise false with "null file handler" or
  // "null image!!!" in the last-error text. Every encoder starts with it.
  [[nodiscard]] bool EncodeSafeCheck(const CRasterFile* file);

  // CopySettings: takes the settings (not the planes) of `src`: format, transparency, JPEG quality and
  // scale, escape, frames, codec options, resolution.
  void CopySettings(const CRasterImage& src);

 private:
  void Startup(uint32_t type);
  void ResetPlanes();
  // Points this picture's planes and geometry at those of `from` (ownership is the caller's concern).
  void TakePlanesOf(const CRasterImage& from);
  // Sets one axis's resolution (a value of 0 or below means 96 dpi) and its pixels per metre.
  void SetResolution(int32_t* dpiField, int32_t* ppmField, int32_t dpi);
  void InvalidateNearestCache() const { m_lastNearestValid = false; }
  [[nodiscard]] uint8_t BlindGetPixelIndex(uint32_t x, uint32_t y) const;
  void BlindSetPixelIndex(uint32_t x, uint32_t y, uint8_t index);

  // Planes.
  uint8_t* m_block = nullptr;     // header + palette + rows
  RasterQuad* m_palette = nullptr;  // inside m_block
  uint8_t* m_bits = nullptr;      // inside m_block
  uint8_t* m_selection = nullptr;
  uint8_t* m_alpha = nullptr;
  CRasterImage** m_layers = nullptr;
  uint32_t m_layerCount = 0;
  CRasterExifInfo* m_exif = nullptr;  // sections of the decoded JPEG file
  bool m_ghost = false;

  // Geometry.
  RasterInfoHeader m_head;
  uint32_t m_rowBytes = 0;
  uint32_t m_type = 0;

  // Settings.
  int32_t m_transIndex = kRasterNoTransparency;
  RasterQuad m_transColor;
  RasterQuad m_bkgndColor;
  uint8_t m_jpegQuality = kRasterDefaultJpegQuality;
  uint8_t m_jpegScale = 0;
  uint8_t m_alphaMax = 255;
  bool m_alphaPalette = false;
  int32_t m_escape = 0;
  uint32_t m_progress = 0;
  int32_t m_frame = 0;
  int32_t m_numFrames = 0;
  uint32_t m_codecOptions[kRasterFormatCount] = {};
  int32_t m_xDpi = kRasterDefaultDpi;
  int32_t m_yDpi = kRasterDefaultDpi;
  uint32_t m_headerWidth = 0;
  uint32_t m_headerHeight = 0;
  SelectionBox m_selectionBox;
  char m_lastError[kRasterErrorSize] = {};

  // Nearest-colour cache.
  mutable RasterQuad m_lastNearestColor;
  mutable uint8_t m_lastNearestIndex = 0;
  mutable bool m_lastNearestValid = false;
};
