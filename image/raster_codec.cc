// Decoding and encoding by format code, with format detection for code 0.

#include <cstring>
#include <type_traits>

#include "image/internal/raster_stream.h"
#include "image/raster_codecs.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"
#include "image/raster_image.h"

namespace raster_internal {

int64_t StreamRemaining(CRasterFile* file) {
  const int64_t size = file->Size();
  const int64_t pos = file->Tell();
  if (size < 0 || pos < 0) {
    return -1;
  }
  return pos >= size ? 0 : size - pos;
}

bool ReadExact(CRasterFile* file, void* buffer, size_t bytes) {
  if (bytes == 0) {
    return true;
  }
  return file->Read(buffer, 1, bytes) == bytes;
}

bool Skip(CRasterFile* file, uint64_t bytes) {
  if (bytes == 0) {
    return true;
  }
  if (bytes > static_cast<uint64_t>(INT64_MAX)) {
    return false;
  }
  return file->Seek(static_cast<int64_t>(bytes), kRasterSeekCur);
}

bool CreateForDecode(CRasterImage& image, uint32_t width, uint32_t height, uint32_t bpp, uint32_t type,
                     const char* text) {
  if (image.Create(width, height, bpp, type) != nullptr) {
    return true;
  }
  if (std::strcmp(image.GetLastError(), raster_error::kMaxMemory) != 0 &&
      std::strcmp(image.GetLastError(), raster_error::kCreateSize) != 0) {
    image.SetLastError(text);
  }
  return false;
}

}  // namespace raster_internal

namespace {

using DecodeFn = bool (*)(CRasterImage& self, CRasterFile* file);
// `type` is the format code asked for (one codec may write several).
using EncodeFn = bool (*)(CRasterImage& self, CRasterFile* file, uint32_t type);

// Decodes into a fresh codec object carrying this picture's settings; on success the result replaces
// the picture (a size-only query hands back only the size and frame count).
template <class Codec>
bool DecodeAs(CRasterImage& self, CRasterFile* file) {
  Codec codec;
  codec.CopySettings(self);
  if (!codec.Decode(file)) {
    self.SetLastError(codec.GetLastError());
    return false;
  }
  if (self.GetEscape() == kRasterEscapeSizeOnly) {
    self.SetHeaderSize(codec.GetHeaderWidth(), codec.GetHeaderHeight());
    self.SetNumFrames(codec.GetNumFrames());
    return true;
  }
  return self.Transfer(codec);
}

// Encodes through a ghost: the codec sees the caller's planes and settings but owns nothing, and any
// change it needs (a palette swap, an extra plane) it makes on its own copy.
bool EncodeWith(CRasterImage& codec, bool (*encode)(CRasterImage&, CRasterFile*), CRasterImage& self,
                CRasterFile* file) {
  codec.Ghost(self);
  if (!encode(codec, file)) {
    self.SetLastError(codec.GetLastError());
    return false;
  }
  return true;
}

template <class Codec>
bool EncodeAs(CRasterImage& self, CRasterFile* file, uint32_t type) {
  auto encode = [](CRasterImage& codec, CRasterFile* f) { return static_cast<Codec&>(codec).Encode(f); };
  // A codec that writes several formats is told which one.
  if constexpr (std::is_constructible_v<Codec, uint32_t>) {
    Codec codec(type);
    return EncodeWith(codec, encode, self, file);
  } else {
    (void)type;
    Codec codec;
    return EncodeWith(codec, encode, self, file);
  }
}

bool EncodeWmfRefused(CRasterImage& self, CRasterFile*, uint32_t) {
  self.SetLastError(raster_error::kWmfSave);
  return false;
}

struct CodecEntry {
  uint32_t first;  // format codes first..last share the codec
  uint32_t last;
  DecodeFn decode;  // null: the codec is not part of this build yet
  EncodeFn encode;
};

// The codecs in the order that detection tries them. A row with null functions would keep its place
// in the order while its codec is not part of the build.
constexpr CodecEntry kCodecs[] = {
    {kRasterFormatBmp, kRasterFormatBmp, &DecodeAs<CRasterImageBMP>, &EncodeAs<CRasterImageBMP>},
    {kRasterFormatJpg, kRasterFormatJpg, &DecodeAs<CRasterImageJPG>, &EncodeAs<CRasterImageJPG>},
    {kRasterFormatIco, kRasterFormatIco, &DecodeAs<CRasterImageICO>, &EncodeAs<CRasterImageICO>},
    {kRasterFormatGif, kRasterFormatGif, &DecodeAs<CRasterImageGIF>, &EncodeAs<CRasterImageGIF>},
    {kRasterFormatPng, kRasterFormatPng, &DecodeAs<CRasterImagePNG>, &EncodeAs<CRasterImagePNG>},
    {kRasterFormatTga, kRasterFormatTga, &DecodeAs<CRasterImageTGA>, &EncodeAs<CRasterImageTGA>},
    {kRasterFormatPcx, kRasterFormatPcx, &DecodeAs<CRasterImagePCX>, &EncodeAs<CRasterImagePCX>},
    {kRasterFormatWbmp, kRasterFormatWbmp, &DecodeAs<CRasterImageWBMP>, &EncodeAs<CRasterImageWBMP>},
    {kRasterFormatWmf, kRasterFormatWmf, &DecodeAs<CRasterImageWMF>, &EncodeWmfRefused},
    // The JPEG-2000 family detects among its own formats whatever the code.
    {kRasterFormatJp2, kRasterFormatRas, &DecodeAs<CRasterImageJAS>, &EncodeAs<CRasterImageJAS>},
};

const CodecEntry* FindCodec(uint32_t type) {
  for (const CodecEntry& e : kCodecs) {
    if (type >= e.first && type <= e.last) {
      return &e;
    }
  }
  return nullptr;
}

}  // namespace

bool CRasterImage::Decode(CRasterFile* file, uint32_t type) {
  if (file == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  if (type == kRasterFormatUnknown) {
    const int64_t start = file->Tell();
    bool tooLarge = false;
    for (const CodecEntry& e : kCodecs) {
      if (e.decode == nullptr) {
        continue;
      }
      if (e.decode(*this, file)) {
        return true;
      }
      // A codec that read a valid header and refused only for the picture's size keeps that reason,
      // so an upload claiming a huge picture is reported as such and not as an unknown format.
      tooLarge = tooLarge || std::strcmp(GetLastError(), raster_error::kMaxMemory) == 0;
      file->Seek(start, kRasterSeekSet);
    }
    SetLastError(tooLarge ? raster_error::kMaxMemory : raster_error::kDecodeUnknown);
    return false;
  }
  const CodecEntry* e = FindCodec(type);
  if (e == nullptr) {
    SetLastError(raster_error::kDecodeUnknown);
    return false;
  }
  if (e->decode == nullptr) {
    SetLastError(raster_error::kCodecAbsent);
    return false;
  }
  return e->decode(*this, file);
}

bool CRasterImage::Decode(const uint8_t* buffer, uint32_t size, uint32_t type) {
  if (buffer == nullptr) {
    SetLastError(raster_error::kNullFile);
    return false;
  }
  // The block is only read; the stream never writes to or frees the caller's memory.
  CRasterMemFile file(const_cast<uint8_t*>(buffer), size);
  return Decode(&file, type);
}

bool CRasterImage::Encode(CRasterFile* file, uint32_t type) {
  if (!EncodeSafeCheck(file)) {
    return false;
  }
  const CodecEntry* e = type == kRasterFormatUnknown ? nullptr : FindCodec(type);
  if (e == nullptr) {
    SetLastError(raster_error::kEncodeUnknown);
    return false;
  }
  if (e->encode == nullptr) {
    SetLastError(raster_error::kCodecAbsent);
    return false;
  }
  return e->encode(*this, file, type);
}

bool CRasterImage::Encode(uint8_t*& buffer, int64_t& size, uint32_t type) {
  if (buffer != nullptr) {
    SetLastError(raster_error::kBufferNotEmpty);
    return false;
  }
  CRasterMemFile file;
  if (!file.Open()) {
    SetLastError(raster_error::kCreateAlloc);
    return false;
  }
  if (!Encode(&file, type)) {
    return false;
  }
  size = file.Size();
  buffer = file.GetBuffer(true);
  return true;
}
