// PNG codec over libpng 1.6.
//
// libpng reports errors by longjmp. Each setjmp lives in a small function (RunDecode, RunEncode)
// whose frame, like every callback frame that libpng may jump out of, holds no C++ object with a
// destructor; the buffers it needs are plain pointers in a context struct that the calling function
// frees after it returns.

#include <png.h>

#include <cstdlib>
#include <cstring>

#include "image/internal/raster_le.h"
#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

namespace {

// Interlaced PNG encode is asked for with this codec option (a decode of an interlaced file sets it).
constexpr uint32_t kPngOptionInterlace = 1;
// Background for compositing when the file names none.
constexpr png_uint_16 kPngDefaultBackground = 192;
// Limits on what libpng itself allocates for ancillary chunks.
constexpr png_alloc_size_t kPngChunkMallocMax = 8u * 1024 * 1024;
constexpr png_uint_32 kPngChunkCacheMax = 1000;
constexpr size_t kRowSlack = 10;

struct PngDecodeCtx {
  png_structp png;
  png_infop info;
  CRasterImage* img;
  CRasterFile* file;
  uint8_t* row;  // row buffer, freed by the caller
  bool sizeOnly;
};

struct PngEncodeCtx {
  png_structp png;
  png_infop info;
  CRasterImage* img;  // the picture written (the caller's ghost or a private copy)
  CRasterImage* err;  // where the message goes
  CRasterFile* file;
  uint8_t* row;  // row buffer, freed by the caller
  bool writeFailed;
  bool flushFailed;
};

void PngDecodeError(png_structp png, png_const_charp msg) {
  auto* ctx = static_cast<PngDecodeCtx*>(png_get_error_ptr(png));
  ctx->img->SetLastError(msg);
  png_longjmp(png, 1);
}

void PngEncodeError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void PngWarning(png_structp, png_const_charp) {}

void PngReadData(png_structp png, png_bytep data, size_t length) {
  auto* ctx = static_cast<PngDecodeCtx*>(png_get_io_ptr(png));
  if (ctx->file->Read(data, 1, length) != length) {
    png_error(png, raster_error::kPngRead);
  }
}

void PngWriteData(png_structp png, png_bytep data, size_t length) {
  auto* ctx = static_cast<PngEncodeCtx*>(png_get_io_ptr(png));
  if (ctx->file->Write(data, 1, length) != length) {
    ctx->writeFailed = true;
    png_error(png, raster_error::kWriteError);
  }
}

void PngFlushData(png_structp png) {
  auto* ctx = static_cast<PngEncodeCtx*>(png_get_io_ptr(png));
  if (!ctx->file->Flush()) {
    ctx->flushFailed = true;
    png_error(png, raster_error::kPngFlush);
  }
}

// Widens a row of 2-bit pixels to 4-bit pixels (each value kept).
void Widen2To4(const uint8_t* src, uint8_t* dst, uint32_t width) {
  for (uint32_t x = 0; x < width; x += 2) {
    const uint8_t b = src[x >> 2];
    const uint32_t shift0 = 6 - 2 * (x & 3u);
    const uint8_t p0 = static_cast<uint8_t>((b >> shift0) & 3u);
    uint8_t p1 = 0;
    if (x + 1 < width) {
      p1 = static_cast<uint8_t>((b >> (shift0 - 2)) & 3u);
    }
    dst[x >> 1] = static_cast<uint8_t>((p0 << 4) | p1);
  }
}

int32_t ClampDpi(png_uint_32 v) { return v > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(v); }

// The whole libpng read. Returns false after a libpng error (the message is in the picture).
bool RunDecode(PngDecodeCtx* ctx) {
  if (setjmp(png_jmpbuf(ctx->png))) {
    return false;
  }
  png_structp png = ctx->png;
  png_infop info = ctx->info;
  CRasterImage* img = ctx->img;
  png_set_read_fn(png, ctx, PngReadData);
  png_read_info(png, info);

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colorType = 0;
  int interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  const int pixelDepth = bitDepth * png_get_channels(png, info);
  if (img->GetEscape() == kRasterEscapeSizeOnly) {
    img->SetHeaderSize(width, height);
    ctx->sizeOnly = true;
    return true;
  }

  png_color_16p fileBackground = nullptr;
  const bool hasBackground = png_get_bKGD(png, info, &fileBackground) != 0 && fileBackground != nullptr;
  if (pixelDepth != 32) {
    if (hasBackground) {
      png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    } else {
      png_color_16 grey = {0, kPngDefaultBackground, kPngDefaultBackground, kPngDefaultBackground,
                           kPngDefaultBackground};
      png_set_background(png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
  } else if (hasBackground) {
    const int shift = bitDepth == 16 ? 8 : 0;
    img->SetTransColor(RasterRgb(static_cast<uint8_t>(fileBackground->red >> shift),
                                 static_cast<uint8_t>(fileBackground->green >> shift),
                                 static_cast<uint8_t>(fileBackground->blue >> shift)));
  }
  if (bitDepth == 16) {
    png_set_strip_16(png);
  }

  const uint32_t bpp = pixelDepth == 16 ? 8 : (pixelDepth < 16 ? static_cast<uint32_t>(pixelDepth) : 24);
  if (!raster_internal::CreateForDecode(*img, width, height, bpp, kRasterFormatPng, raster_error::kCreateAlloc)) {
    png_longjmp(png, 1);
  }

  png_uint_32 resX = 0;
  png_uint_32 resY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resX, &resY, &unit) != 0) {
    if (unit == PNG_RESOLUTION_METER) {
      img->SetXDPI(raster_internal::PpmToDpi(ClampDpi(resX)));
      img->SetYDPI(raster_internal::PpmToDpi(ClampDpi(resY)));
    } else {
      img->SetXDPI(ClampDpi(resX));
      img->SetYDPI(ClampDpi(resY));
    }
  }

  png_colorp filePalette = nullptr;
  int paletteCount = 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &filePalette, &paletteCount) != 0) {
    img->SetPaletteRgb(reinterpret_cast<const uint8_t*>(filePalette), static_cast<uint32_t>(paletteCount));
  } else if (bitDepth == 2) {
    static constexpr uint8_t kGrey2[4] = {0, 85, 170, 255};
    img->SetPalette(4, kGrey2, nullptr, nullptr);
  } else {
    img->SetGrayPalette();
  }

  png_bytep trans = nullptr;
  int transCount = 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE && png_get_tRNS(png, info, &trans, &transCount, nullptr) != 0 &&
      trans != nullptr && transCount > 0) {
    if (transCount == 1 && trans[0] == 0) {
      img->SetTransIndex(0);
    } else {
      img->AlphaPaletteEnable(true);
      RasterQuad* pal = img->GetPalette();
      const uint32_t entries = img->GetNumColors();
      for (uint32_t i = 0; i < entries; ++i) {
        pal[i].rgbReserved = i < static_cast<uint32_t>(transCount) ? trans[i] : 255;
      }
    }
  }

  const bool alpha = colorType == PNG_COLOR_TYPE_RGB_ALPHA || (colorType == PNG_COLOR_TYPE_GRAY_ALPHA && pixelDepth == 32);
  if (alpha) {
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
      png_set_gray_to_rgb(png);
      png_set_expand(png);
    }
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    if (!img->AlphaCreate()) {
      img->SetLastError(raster_error::kCreateAlloc);
      png_longjmp(png, 1);
    }
  }
  if ((colorType & PNG_COLOR_MASK_COLOR) != 0) {
    png_set_bgr(png);
  }
  const int passes = png_set_interlace_handling(png);
  if (passes > 1) {
    img->SetCodecOption(kPngOptionInterlace, kRasterFormatPng);
  }
  png_read_update_info(png, info);

  // The transformed rows must match the picture exactly before anything is written into it.
  const size_t rowBytes = png_get_rowbytes(png, info);
  const size_t expected = alpha ? static_cast<size_t>(width) * 4
                                : (static_cast<size_t>(width) * (bitDepth == 2 ? 2 : bpp) + 7) / 8;
  if (rowBytes != expected || (!alpha && rowBytes > img->GetEffWidth())) {
    png_error(png, raster_error::kPngLayout);
  }
  ctx->row = static_cast<uint8_t*>(std::malloc(rowBytes + kRowSlack));
  if (ctx->row == nullptr) {
    png_error(png, raster_error::kCreateAlloc);
  }
  uint8_t* row = ctx->row;
  uint8_t* alphaPlane = img->AlphaGetPointer();
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      if (img->GetEscape() != 0) {
        png_error(png, raster_error::kCancelled);
      }
      const uint32_t target = height - 1 - y;
      uint8_t* pixels = img->GetBits(target);
      if (alpha) {
        uint8_t* a = alphaPlane + static_cast<size_t>(target) * width;
        if (pass > 0) {
          for (png_uint_32 x = 0; x < width; ++x) {
            row[x * 4] = pixels[x * 3];
            row[x * 4 + 1] = pixels[x * 3 + 1];
            row[x * 4 + 2] = pixels[x * 3 + 2];
            row[x * 4 + 3] = a[x];
          }
        }
        png_read_row(png, row, nullptr);
        for (png_uint_32 x = 0; x < width; ++x) {
          pixels[x * 3] = row[x * 4];
          pixels[x * 3 + 1] = row[x * 4 + 1];
          pixels[x * 3 + 2] = row[x * 4 + 2];
          a[x] = row[x * 4 + 3];
        }
      } else if (bitDepth == 2) {
        // Until the last pass the row keeps its 2-bit form inside the (larger) 4-bit row.
        if (pass > 0) {
          std::memcpy(row, pixels, rowBytes);
        }
        png_read_row(png, row, nullptr);
        if (pass == passes - 1) {
          Widen2To4(row, pixels, width);
        } else {
          std::memcpy(pixels, row, rowBytes);
        }
      } else {
        png_read_row(png, pixels, nullptr);
      }
    }
  }
  png_read_end(png, nullptr);
  return true;
}

// The whole libpng write. Returns false after a libpng error.
bool RunEncode(PngEncodeCtx* ctx) {
  if (setjmp(png_jmpbuf(ctx->png))) {
    return false;
  }
  png_structp png = ctx->png;
  png_infop info = ctx->info;
  CRasterImage* img = ctx->img;
  png_set_write_fn(png, ctx, PngWriteData, PngFlushData);

  const uint32_t width = img->GetWidth();
  const uint32_t height = img->GetHeight();
  const uint32_t bpp = img->GetBpp();
  const bool palette = img->GetNumColors() != 0;
  const bool transColour = bpp == 24 && img->GetTransIndex() >= 0;
  const bool alpha = img->AlphaIsValid() || transColour;
  const int interlace = img->GetCodecOption(kRasterFormatPng) == kPngOptionInterlace ? PNG_INTERLACE_ADAM7
                                                                                      : PNG_INTERLACE_NONE;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  if (alpha) {
    colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  } else if (palette) {
    colorType = PNG_COLOR_TYPE_PALETTE;
    bitDepth = static_cast<int>(bpp);
  }
  png_set_IHDR(png, info, width, height, bitDepth, colorType, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);

  png_color_16 background = {0, 255, 255, 255, 0};
  if (img->GetTransIndex() >= 0) {
    const RasterQuad tc = img->GetTransColor();
    background.red = tc.rgbRed;
    background.green = tc.rgbGreen;
    background.blue = tc.rgbBlue;
  }
  png_set_bKGD(png, info, &background);
  png_set_pHYs(png, info, static_cast<png_uint_32>(raster_internal::DpiToPpm(img->GetXDPI())),
               static_cast<png_uint_32>(raster_internal::DpiToPpm(img->GetYDPI())), PNG_RESOLUTION_METER);

  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    constexpr uint64_t kFullPaletteBelow = 65536;
    uint32_t entries = img->GetNumColors();
    if (entries > 2 && static_cast<uint64_t>(width) * height < kFullPaletteBelow) {
      entries = static_cast<uint32_t>(img->GetHighestIndex()) + 1;
    }
    png_color pal[256];
    png_byte alphas[256];
    const RasterQuad* src = img->GetPalette();
    for (uint32_t i = 0; i < entries; ++i) {
      pal[i].red = src[i].rgbRed;
      pal[i].green = src[i].rgbGreen;
      pal[i].blue = src[i].rgbBlue;
      alphas[i] = src[i].rgbReserved;
    }
    png_set_PLTE(png, info, pal, static_cast<int>(entries));
    if (img->AlphaPaletteIsEnabled()) {
      png_set_tRNS(png, info, alphas, static_cast<int>(entries), nullptr);
    } else if (img->GetTransIndex() >= 0) {
      png_byte clear = 0;
      png_set_tRNS(png, info, &clear, 1, nullptr);
    }
  }
  png_write_info(png, info);
  if (colorType == PNG_COLOR_TYPE_RGB) {
    png_set_bgr(png);
  }
  const int passes = png_set_interlace_handling(png);

  if (alpha) {
    ctx->row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * 4 + kRowSlack));
    if (ctx->row == nullptr) {
      png_error(png, raster_error::kCreateAlloc);
    }
  }
  uint8_t* row = ctx->row;
  const uint8_t* alphaPlane = img->AlphaGetPointer();
  const uint32_t ceiling = img->AlphaGetMax();
  const RasterQuad tc = img->GetTransColor();
  for (int pass = 0; pass < passes; ++pass) {
    for (uint32_t y = 0; y < height; ++y) {
      const uint32_t source = height - 1 - y;
      const uint8_t* pixels = img->GetBits(source);
      if (!alpha) {
        png_write_row(png, pixels);
        continue;
      }
      const uint8_t* a = alphaPlane != nullptr ? alphaPlane + static_cast<size_t>(source) * width : nullptr;
      for (uint32_t x = 0; x < width; ++x) {
        RasterQuad c;
        if (palette) {
          c = img->GetPixelColor(x, source, false);
        } else {
          c.rgbBlue = pixels[x * 3];
          c.rgbGreen = pixels[x * 3 + 1];
          c.rgbRed = pixels[x * 3 + 2];
        }
        uint32_t level = a != nullptr ? a[x] : 255;
        if (transColour && c.rgbBlue == tc.rgbBlue && c.rgbGreen == tc.rgbGreen && c.rgbRed == tc.rgbRed) {
          level = 0;
        }
        row[x * 4] = c.rgbRed;
        row[x * 4 + 1] = c.rgbGreen;
        row[x * 4 + 2] = c.rgbBlue;
        row[x * 4 + 3] = static_cast<uint8_t>(level * ceiling / 255);
      }
      png_write_row(png, row);
    }
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

bool CRasterImagePNG::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  PngDecodeCtx ctx = {};
  ctx.img = this;
  ctx.file = file;
  ctx.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, PngDecodeError, PngWarning);
  if (ctx.png == nullptr) {
    SetLastError(raster_error::kPngCreate);
    return false;
  }
  ctx.info = png_create_info_struct(ctx.png);
  if (ctx.info == nullptr) {
    png_destroy_read_struct(&ctx.png, nullptr, nullptr);
    SetLastError(raster_error::kPngInfo);
    return false;
  }
  png_set_chunk_malloc_max(ctx.png, kPngChunkMallocMax);
  png_set_chunk_cache_max(ctx.png, kPngChunkCacheMax);
  const bool ok = RunDecode(&ctx);
  png_destroy_read_struct(&ctx.png, &ctx.info, nullptr);
  std::free(ctx.row);
  return ok;
}

bool CRasterImagePNG::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  // A transparent palette index other than 0 is written as index 0: the exchange is made on a private
  // copy, never on the caller's picture.
  CRasterImage swapped;
  CRasterImage* source = this;
  const bool palette = GetNumColors() != 0;
  if (palette && !AlphaIsValid() && GetTransIndex() > 0 && !AlphaPaletteIsEnabled()) {
    if (!swapped.Copy(*this) || !swapped.IsValid()) {
      SetLastError(raster_error::kCreateAlloc);
      return false;
    }
    swapped.SwapIndex(0, static_cast<uint8_t>(GetTransIndex()));
    swapped.SetTransIndex(0);
    source = &swapped;
  }
  PngEncodeCtx ctx = {};
  ctx.img = source;
  ctx.err = this;
  ctx.file = file;
  ctx.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, PngEncodeError, PngWarning);
  if (ctx.png == nullptr) {
    SetLastError(raster_error::kPngCreate);
    return false;
  }
  ctx.info = png_create_info_struct(ctx.png);
  if (ctx.info == nullptr) {
    png_destroy_write_struct(&ctx.png, nullptr);
    SetLastError(raster_error::kPngInfo);
    return false;
  }
  const bool ok = RunEncode(&ctx);
  png_destroy_write_struct(&ctx.png, &ctx.info);
  std::free(ctx.row);
  if (!ok) {
    SetLastError(ctx.writeFailed   ? raster_error::kWriteError
                 : ctx.flushFailed ? raster_error::kPngFlush
                                   : raster_error::kPngSave);
  }
  return ok;
}
