// JPEG codec over libjpeg (libjpeg-turbo, IJG 6b API).
//
// libjpeg reports errors through its error manager's exit routine, which here copies the message into
// the picture and longjmps back. Each setjmp lives in a small function (RunDecode, RunEncode) whose
// frame holds no C++ object with a destructor; the libjpeg objects live in a context struct that the
// calling function destroys after it returns.
//
// Uploaded JPEGs are untrusted: the output size is checked against the picture memory limit before
// libjpeg allocates its buffers, libjpeg's own memory is capped, and a file with an absurd number of
// progressive scans is refused instead of being decoded for minutes.

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_exif.h"
#include "image/raster_file.h"

namespace {

constexpr size_t kJpegBufferSize = 4096;
// libjpeg's own allocations (coefficient buffers of progressive files among them).
constexpr long kJpegMaxMemory = 640L * 1024 * 1024;
// More scans than any encoder writes; beyond this a file is refused.
constexpr int kJpegMaxScans = 500;
constexpr double kCmPerInch = 2.54;
constexpr int kMinQuantColours = 8;
constexpr int kMaxQuantColours = 256;
constexpr int kJfifUnitDotsPerCm = 2;
constexpr int kJfifUnitDotsPerInch = 1;

struct JpegErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
  CRasterImage* img;
};

struct JpegSourceMgr {
  jpeg_source_mgr pub;
  CRasterFile* file;
  bool startOfFile;
  JOCTET buffer[kJpegBufferSize];
};

struct JpegDestMgr {
  jpeg_destination_mgr pub;
  CRasterFile* file;
  JOCTET buffer[kJpegBufferSize];
};

struct JpegProgressMgr {
  jpeg_progress_mgr pub;
  JpegErrorMgr* err;
};

struct JpegDecodeCtx {
  jpeg_decompress_struct cinfo;
  JpegErrorMgr err;
  JpegSourceMgr src;
  JpegProgressMgr progress;
  CRasterImage* img;
  uint8_t* row;  // row buffer for CMYK files, freed by the caller
  bool created;
  bool sizeOnly;
};

struct JpegEncodeCtx {
  jpeg_compress_struct cinfo;
  JpegErrorMgr err;
  JpegDestMgr dest;
  CRasterImage* img;
  bool created;
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
  char message[JMSG_LENGTH_MAX] = {};
  (*cinfo->err->format_message)(cinfo, message);
  err->img->SetLastError(message);
  longjmp(err->jump, 1);
}

// Warnings (corrupt data that libjpeg works around) are not printed anywhere.
void JpegOutputMessage(j_common_ptr) {}

void JpegProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) {
    return;
  }
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kJpegMaxScans) {
    auto* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
    err->img->SetLastError(raster_error::kJpegScans);
    longjmp(err->jump, 1);
  }
}

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<JpegSourceMgr*>(cinfo->src)->startOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<JpegSourceMgr*>(cinfo->src);
  size_t n = src->file->Read(src->buffer, 1, kJpegBufferSize);
  if (n == 0) {
    if (src->startOfFile) {
      ERREXIT(cinfo, JERR_INPUT_EMPTY);
    }
    // A truncated file ends in a fake end-of-image marker; what was decoded stays.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = n;
  src->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<JpegSourceMgr*>(cinfo->src);
  if (count <= 0) {
    return;
  }
  while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestMgr*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kJpegBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestMgr*>(cinfo->dest);
  if (dest->file->Write(dest->buffer, 1, kJpegBufferSize) != kJpegBufferSize) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kJpegBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestMgr*>(cinfo->dest);
  const size_t used = kJpegBufferSize - dest->pub.free_in_buffer;
  if (used > 0 && dest->file->Write(dest->buffer, 1, used) != used) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  if (!dest->file->Flush()) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

// Dots per inch of an EXIF resolution and its unit factor, or 0 when either is unusable.
int32_t ExifDpi(float resolution, float unitFactor) {
  if (!(resolution > 0) || !(unitFactor > 0)) {
    return 0;
  }
  const double dpi = std::floor(resolution / unitFactor + 0.5);
  return dpi >= 1 && dpi <= INT32_MAX ? static_cast<int32_t>(dpi) : 0;
}

int32_t DensityToDpi(int unit, unsigned density) {
  if (unit == kJfifUnitDotsPerCm) {
    return static_cast<int32_t>(density * kCmPerInch + 0.5);
  }
  return static_cast<int32_t>(density);
}

// The whole libjpeg read. Returns false after an error (the message is in the picture).
bool RunDecode(JpegDecodeCtx* ctx) {
  if (setjmp(ctx->err.jump)) {
    return false;
  }
  j_decompress_ptr cinfo = &ctx->cinfo;
  CRasterImage* img = ctx->img;
  jpeg_create_decompress(cinfo);
  ctx->created = true;
  cinfo->mem->max_memory_to_use = kJpegMaxMemory;
  ctx->src.pub.init_source = InitSource;
  ctx->src.pub.fill_input_buffer = FillInputBuffer;
  ctx->src.pub.skip_input_data = SkipInputData;
  ctx->src.pub.resync_to_restart = jpeg_resync_to_restart;
  ctx->src.pub.term_source = TermSource;
  ctx->src.pub.bytes_in_buffer = 0;
  ctx->src.pub.next_input_byte = nullptr;
  cinfo->src = &ctx->src.pub;
  ctx->progress.pub.progress_monitor = JpegProgress;
  ctx->progress.err = &ctx->err;
  cinfo->progress = &ctx->progress.pub;

  jpeg_read_header(cinfo, TRUE);
  if (img->GetJpegScale() != 0) {
    cinfo->scale_num = 1;
    cinfo->scale_denom = img->GetJpegScale();
  }
  const uint32_t options = img->GetCodecOption(kRasterFormatJpg);
  if ((options & kJpegDecodeGrayscale) != 0) {
    cinfo->out_color_space = JCS_GRAYSCALE;
  }
  const bool quantize = (options & kJpegDecodeQuantize) != 0;
  if (quantize) {
    int colours = img->GetJpegQuality();
    colours = colours < kMinQuantColours ? kMinQuantColours : (colours > kMaxQuantColours ? kMaxQuantColours : colours);
    cinfo->quantize_colors = TRUE;
    cinfo->desired_number_of_colors = colours;
    cinfo->dither_mode = (options & kJpegDecodeDither) != 0 ? JDITHER_FS : JDITHER_NONE;
    cinfo->two_pass_quantize = (options & kJpegDecodeOnePass) != 0 ? FALSE : TRUE;
  }
  if ((options & kJpegDecodeNoSmooth) != 0) {
    cinfo->do_fancy_upsampling = FALSE;
  }
  // Colour rows come out in the picture's blue-green-red order, straight into its rows.
  if (!quantize && cinfo->out_color_space == JCS_RGB) {
    cinfo->out_color_space = JCS_EXT_BGR;
  }
  jpeg_calc_output_dimensions(cinfo);
  if (img->GetEscape() == kRasterEscapeSizeOnly) {
    img->SetHeaderSize(cinfo->output_width, cinfo->output_height);
    ctx->sizeOnly = true;
    return true;
  }
  const uint32_t components = static_cast<uint32_t>(cinfo->output_components);
  if (components != 1 && components != 3 && components != 4) {
    img->SetLastError(raster_error::kJpegComponents);
    return false;
  }
  // Checked before libjpeg allocates anything for the picture.
  if (!CRasterImage::FitsMemoryLimit(cinfo->output_width, cinfo->output_height, 8 * components)) {
    img->SetLastError(raster_error::kMaxMemory);
    return false;
  }
  jpeg_start_decompress(cinfo);
  const uint32_t width = cinfo->output_width;
  const uint32_t height = cinfo->output_height;
  if (!raster_internal::CreateForDecode(*img, width, height, 8 * components, kRasterFormatJpg,
                                        raster_error::kCreateAlloc)) {
    return false;
  }
  img->SetXDPI(DensityToDpi(cinfo->density_unit, cinfo->X_density));
  img->SetYDPI(DensityToDpi(cinfo->density_unit, cinfo->Y_density));
  if (quantize) {
    RasterQuad* pal = img->GetPalette();
    const int n = cinfo->actual_number_of_colors < 256 ? cinfo->actual_number_of_colors : 256;
    for (int i = 0; i < n; ++i) {
      const uint8_t r = cinfo->colormap[0][i];
      const uint8_t g = cinfo->out_color_components >= 3 ? cinfo->colormap[1][i] : r;
      const uint8_t b = cinfo->out_color_components >= 3 ? cinfo->colormap[2][i] : r;
      pal[i] = RasterRgb(r, g, b);
    }
  } else if (components == 1) {
    img->SetGrayPalette();
  }
  if (components == 4) {
    ctx->row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * 4));
    if (ctx->row == nullptr) {
      img->SetLastError(raster_error::kCreateAlloc);
      return false;
    }
  }
  while (cinfo->output_scanline < height) {
    if (img->GetEscape() != 0) {
      img->SetLastError(raster_error::kCancelled);
      return false;
    }
    uint8_t* pixels = img->GetBits(height - 1 - cinfo->output_scanline);
    if (components != 4) {
      JSAMPROW rows[1] = {pixels};
      jpeg_read_scanlines(cinfo, rows, 1);
      continue;
    }
    JSAMPROW rows[1] = {ctx->row};
    jpeg_read_scanlines(cinfo, rows, 1);
    const uint8_t* s = ctx->row;
    for (uint32_t x = 0; x < width; ++x, s += 4) {
      const uint32_t k = s[3];
      pixels[x * 3] = static_cast<uint8_t>(s[2] * k / 255);
      pixels[x * 3 + 1] = static_cast<uint8_t>(s[1] * k / 255);
      pixels[x * 3 + 2] = static_cast<uint8_t>(s[0] * k / 255);
    }
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

// The whole libjpeg write. Returns false after an error.
bool RunEncode(JpegEncodeCtx* ctx) {
  if (setjmp(ctx->err.jump)) {
    return false;
  }
  j_compress_ptr cinfo = &ctx->cinfo;
  CRasterImage* img = ctx->img;
  jpeg_create_compress(cinfo);
  ctx->created = true;
  ctx->dest.pub.init_destination = InitDestination;
  ctx->dest.pub.empty_output_buffer = EmptyOutputBuffer;
  ctx->dest.pub.term_destination = TermDestination;
  cinfo->dest = &ctx->dest.pub;

  const uint32_t height = img->GetHeight();
  const bool colour = img->GetBpp() == 24;
  cinfo->image_width = img->GetWidth();
  cinfo->image_height = height;
  cinfo->input_components = colour ? 3 : 1;
  cinfo->in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
  jpeg_set_defaults(cinfo);
  const uint32_t options = img->GetCodecOption(kRasterFormatJpg);
  jpeg_set_quality(cinfo, img->GetJpegQuality(), (options & kJpegEncodeBaseline) != 0 ? TRUE : FALSE);
  if ((options & kJpegEncodeOptimize) != 0) {
    cinfo->optimize_coding = TRUE;
  }
  if ((options & kJpegEncodeProgressive) != 0) {
    jpeg_simple_progression(cinfo);
  }
  constexpr int32_t kMaxDensity = 65535;
  cinfo->density_unit = kJfifUnitDotsPerInch;
  cinfo->X_density = static_cast<UINT16>(img->GetXDPI() > kMaxDensity ? kMaxDensity : img->GetXDPI());
  cinfo->Y_density = static_cast<UINT16>(img->GetYDPI() > kMaxDensity ? kMaxDensity : img->GetYDPI());
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < height) {
    // libjpeg only reads the rows it is given.
    JSAMPROW rows[1] = {img->GetBits(height - 1 - cinfo->next_scanline)};
    jpeg_write_scanlines(cinfo, rows, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

void SetupErrors(JpegErrorMgr* err, CRasterImage* img) {
  jpeg_std_error(&err->pub);
  err->pub.error_exit = JpegErrorExit;
  err->pub.output_message = JpegOutputMessage;
  err->img = img;
}

}  // namespace

bool CRasterImageJPG::Decode(CRasterFile* file) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  // The marker sections first (EXIF parsed); a file the section reader refuses still decodes, only
  // without them.
  CRasterExifInfo* exif = nullptr;
  if (GetEscape() != kRasterEscapeSizeOnly) {
    const int64_t start = file->Tell();
    exif = new (std::nothrow) CRasterExifInfo;
    if (exif != nullptr && !exif->DecodeExif(file, kExifReadExif)) {
      delete exif;
      exif = nullptr;
    }
    if (!file->Seek(start, kRasterSeekSet)) {
      delete exif;
      SetLastError(raster_error::kJpegSeek);
      return false;
    }
  }
  auto* ctx = static_cast<JpegDecodeCtx*>(std::calloc(1, sizeof(JpegDecodeCtx)));
  if (ctx == nullptr) {
    delete exif;
    SetLastError(raster_error::kCreateAlloc);
    return false;
  }
  ctx->img = this;
  ctx->src.file = file;
  SetupErrors(&ctx->err, this);
  ctx->cinfo.err = &ctx->err.pub;
  const bool ok = RunDecode(ctx);
  if (ctx->created) {
    jpeg_destroy_decompress(&ctx->cinfo);
  }
  std::free(ctx->row);
  std::free(ctx);
  if (!ok || exif == nullptr) {
    delete exif;
    return ok;
  }
  const RasterExifRecord& r = exif->GetRecord();
  const int32_t xDpi = r.isExif ? ExifDpi(r.xResolution, r.resolutionUnit) : 0;
  const int32_t yDpi = r.isExif ? ExifDpi(r.yResolution, r.resolutionUnit) : 0;
  if (xDpi != 0 && yDpi != 0) {
    SetXDPI(xDpi);
    SetYDPI(yDpi);
  }
  SetExif(exif);
  return true;
}

bool CRasterImageJPG::Encode(CRasterFile* file) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  if (GetNumColors() != 0 && !IsGrayScale()) {
    SetLastError(raster_error::kJpegSaveKind);
    return false;
  }
  // A picture that carries an EXIF block is encoded into memory first, and the kept EXIF and comment
  // sections are written around the new image data.
  const bool withExif = GetExif() != nullptr && GetExif()->GetRecord().isExif;
  CRasterMemFile fresh;
  if (withExif && !fresh.Open()) {
    SetLastError(raster_error::kCreateAlloc);
    return false;
  }
  auto* ctx = static_cast<JpegEncodeCtx*>(std::calloc(1, sizeof(JpegEncodeCtx)));
  if (ctx == nullptr) {
    SetLastError(raster_error::kCreateAlloc);
    return false;
  }
  ctx->img = this;
  ctx->dest.file = withExif ? &fresh : file;
  SetupErrors(&ctx->err, this);
  ctx->cinfo.err = &ctx->err.pub;
  const bool ok = RunEncode(ctx);
  if (ctx->created) {
    jpeg_destroy_compress(&ctx->cinfo);
  }
  std::free(ctx);
  if (!ok || !withExif) {
    return ok;
  }
  const uint8_t* bytes = fresh.GetBuffer(false);
  const size_t size = static_cast<size_t>(fresh.Size());
  CRasterExifInfo writer(*GetExif());
  if (writer.EncodeExif(file, bytes, size)) {
    return true;
  }
  if (std::strcmp(writer.GetLastError(), raster_error::kWriteError) == 0) {
    SetLastError(raster_error::kWriteError);
    return false;
  }
  // The sections could not be put together: the fresh file goes out as it is.
  if (file->Write(bytes, 1, size) != size) {
    SetLastError(raster_error::kWriteError);
    return false;
  }
  return true;
}
