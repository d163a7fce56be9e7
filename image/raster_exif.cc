// The JPEG section reader and EXIF parser (CRasterExifInfo) and the EXIF record of a picture.

#include "image/raster_exif.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/internal/raster_stream.h"
#include "image/raster_errors.h"
#include "image/raster_file.h"

namespace {

constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint32_t kTiffHeaderSize = 8;
constexpr uint16_t kTiffMagic = 42;
constexpr uint32_t kDirectoryEntrySize = 12;
constexpr uint32_t kMaxPadding = 6;
// The comment text keeps at most this many bytes of a comment section, and of a user comment tag.
constexpr uint32_t kCommentSectionMax = 999;
constexpr uint32_t kUserCommentMax = 199;

// Bytes of one component of each EXIF format (0 unused; 1 byte ... 12 double).
constexpr uint32_t kBytesPerFormat[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
constexpr uint16_t kMaxFormat = 12;

enum ExifFormat : uint16_t {
  kFmtByte = 1,
  kFmtString = 2,
  kFmtUShort = 3,
  kFmtULong = 4,
  kFmtURational = 5,
  kFmtSByte = 6,
  kFmtUndefined = 7,
  kFmtSShort = 8,
  kFmtSLong = 9,
  kFmtSRational = 10,
  kFmtSingle = 11,
  kFmtDouble = 12,
};

enum ExifTag : uint16_t {
  kTagMake = 0x010F,
  kTagModel = 0x0110,
  kTagOrientation = 0x0112,
  kTagXResolution = 0x011A,
  kTagYResolution = 0x011B,
  kTagResolutionUnit = 0x0128,
  kTagThumbnailOffset = 0x0201,
  kTagThumbnailLength = 0x0202,
  kTagExposureTime = 0x829A,
  kTagFNumber = 0x829D,
  kTagExifOffset = 0x8769,
  kTagExposureProgram = 0x8822,
  kTagIsoEquivalent = 0x8827,
  kTagExifVersion = 0x9000,
  kTagDateTimeOriginal = 0x9003,
  kTagCompressionLevel = 0x9102,
  kTagShutterSpeed = 0x9201,
  kTagAperture = 0x9202,
  kTagBrightness = 0x9203,
  kTagExposureBias = 0x9204,
  kTagMaxAperture = 0x9205,
  kTagDistance = 0x9206,
  kTagMeteringMode = 0x9207,
  kTagLightSource = 0x9208,
  kTagFlash = 0x9209,
  kTagFocalLength = 0x920A,
  kTagUserComment = 0x9286,
  kTagExifImageWidth = 0xA002,
  kTagExifImageHeight = 0xA003,
  kTagInteropOffset = 0xA005,
  kTagFocalPlaneXRes = 0xA20E,
  kTagFocalPlaneYRes = 0xA20F,
  kTagFocalPlaneUnits = 0xA210,
};

// ISO values below this are camera-specific gain steps of 200.
constexpr double kIsoStepLimit = 50;
constexpr int32_t kIsoStep = 200;

// The 18-byte JFIF header written before the sections when the file starts with neither APP0 nor APP1.
constexpr uint8_t kJfifHeader[18] = {0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',  0x00,
                                     0x01, 0x01, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};

[[nodiscard]] bool IsStartOfFrame(int32_t marker) {
  switch (marker) {
    case 0xC0:
    case 0xC1:
    case 0xC2:
    case 0xC3:
    case 0xC5:
    case 0xC6:
    case 0xC7:
    case 0xC9:
    case 0xCA:
    case 0xCB:
    case 0xCD:
    case 0xCE:
    case 0xCF:
      return true;
    default:
      return false;
  }
}

// Factor to inches of an EXIF resolution unit (1 and 2 inch, 3 cm, 4 mm, 5 micrometre); false for others.
bool UnitFactor(int32_t unit, float* factor) {
  switch (unit) {
    case 1:
    case 2:
      *factor = 1.0f;
      return true;
    case 3:
      *factor = 0.3937007874f;
      return true;
    case 4:
      *factor = 0.03937007874f;
      return true;
    case 5:
      *factor = 0.000039370079f;
      return true;
    default:
      return false;
  }
}

// Copies at most cap - 1 bytes of text (stopping at a zero byte) and terminates it.
void CopyText(char* dst, size_t cap, const uint8_t* src, uint64_t n) {
  size_t i = 0;
  for (; i + 1 < cap && i < n && src[i] != 0; ++i) {
    dst[i] = static_cast<char>(src[i]);
  }
  dst[i] = '\0';
}

class ByteOrder {
 public:
  explicit ByteOrder(bool motorola) : m_motorola(motorola) {}
  [[nodiscard]] uint16_t Get16(const uint8_t* p) const {
    return m_motorola ? static_cast<uint16_t>((p[0] << 8) | p[1]) : static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  [[nodiscard]] uint32_t Get32(const uint8_t* p) const {
    if (m_motorola) {
      return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
             (static_cast<uint32_t>(p[2]) << 8) | p[3];
    }
    return (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[1]) << 8) | p[0];
  }
  // The first component of a value of `format` as a number (0 for text and unknown formats).
  [[nodiscard]] double Number(const uint8_t* p, uint16_t format) const {
    switch (format) {
      case kFmtByte:
        return p[0];
      case kFmtSByte:
        return static_cast<int8_t>(p[0]);
      case kFmtUShort:
        return Get16(p);
      case kFmtSShort:
        return static_cast<int16_t>(Get16(p));
      case kFmtULong:
        return Get32(p);
      case kFmtSLong:
        return static_cast<int32_t>(Get32(p));
      case kFmtURational: {
        const uint32_t den = Get32(p + 4);
        return den == 0 ? 0.0 : static_cast<double>(Get32(p)) / den;
      }
      case kFmtSRational: {
        const int32_t den = static_cast<int32_t>(Get32(p + 4));
        return den == 0 ? 0.0 : static_cast<double>(static_cast<int32_t>(Get32(p))) / den;
      }
      case kFmtSingle: {
        const uint32_t bits = Get32(p);
        float f = 0;
        std::memcpy(&f, &bits, sizeof(f));
        return f;
      }
      case kFmtDouble: {
        const uint64_t hi = Get32(p + (m_motorola ? 0 : 4));
        const uint64_t lo = Get32(p + (m_motorola ? 4 : 0));
        const uint64_t bits = (hi << 32) | lo;
        double d = 0;
        std::memcpy(&d, &bits, sizeof(d));
        return d;
      }
      default:
        return 0.0;
    }
  }

 private:
  bool m_motorola;
};

[[nodiscard]] int32_t ToInt(double v) {
  if (!(v > INT32_MIN && v < INT32_MAX)) {
    return 0;
  }
  return static_cast<int32_t>(v);
}

}  // namespace

// ---- life ---------------------------------------------------------------------------------------

CRasterExifInfo::CRasterExifInfo() { std::memset(&m_record, 0, sizeof(m_record)); }

CRasterExifInfo::CRasterExifInfo(const CRasterExifInfo& other) {
  std::memset(&m_record, 0, sizeof(m_record));
  *this = other;
}

CRasterExifInfo& CRasterExifInfo::operator=(const CRasterExifInfo& other) {
  if (this == &other) {
    return *this;
  }
  Clear();
  for (uint32_t i = 0; i < other.m_count; ++i) {
    const Section& s = other.m_sections[i];
    auto* copy = static_cast<uint8_t*>(std::malloc(s.size == 0 ? 1 : s.size));
    if (copy == nullptr) {
      break;
    }
    std::memcpy(copy, s.data, s.size);
    m_sections[m_count++] = Section{s.type, s.size, copy};
  }
  m_motorola = other.m_motorola;
  m_exifImageDim = other.m_exifImageDim;
  m_exifDataEnd = other.m_exifDataEnd;
  m_exifSection = other.m_exifSection < m_count ? other.m_exifSection : UINT32_MAX;
  m_record = other.m_record;
  std::memcpy(m_lastError, other.m_lastError, sizeof(m_lastError));
  return *this;
}

CRasterExifInfo::~CRasterExifInfo() { Clear(); }

void CRasterExifInfo::Clear() {
  for (uint32_t i = 0; i < m_count; ++i) {
    std::free(m_sections[i].data);
    m_sections[i] = Section{};
  }
  m_count = 0;
  m_exifSection = UINT32_MAX;
}

void CRasterExifInfo::SetError(const char* text) {
  std::strncpy(m_lastError, text, kRasterErrorSize - 1);
  m_lastError[kRasterErrorSize - 1] = '\0';
}

bool CRasterExifInfo::Append(uint8_t type, uint8_t* data, uint32_t size) {
  if (m_count >= kExifMaxSections) {
    std::free(data);
    SetError(raster_error::kExifTooManySections);
    return false;
  }
  m_sections[m_count++] = Section{type, size, data};
  return true;
}

const CRasterExifInfo::Section* CRasterExifInfo::FindSection(uint8_t type) const {
  for (uint32_t i = 0; i < m_count; ++i) {
    if (m_sections[i].type == type) {
      return &m_sections[i];
    }
  }
  return nullptr;
}

const uint8_t* CRasterExifInfo::GetThumbnail(int32_t* size) const {
  *size = 0;
  if (m_exifSection >= m_count || m_record.thumbnailSize <= 0) {
    return nullptr;
  }
  const Section& s = m_sections[m_exifSection];
  const uint64_t start = 2 + sizeof(kExifHeader) + static_cast<uint64_t>(m_record.thumbnailOffset);
  if (start + static_cast<uint64_t>(m_record.thumbnailSize) > s.size) {
    return nullptr;
  }
  *size = m_record.thumbnailSize;
  return s.data + start;
}

// ---- section reading ----------------------------------------------------------------------------

bool CRasterExifInfo::DecodeExif(CRasterFile* file, uint32_t flags) {
  if (file == nullptr) {
    SetError(raster_error::kNullFile);
    return false;
  }
  if (file->GetC() != 0xFF || file->GetC() != kJpegMarkerSoi) {
    SetError(raster_error::kExifNotJpeg);
    return false;
  }
  for (;;) {
    // One slot always stays free for the image data that follows the start of scan.
    if (m_count >= kExifMaxSections - 1) {
      SetError(raster_error::kExifTooManySections);
      return false;
    }
    int64_t c = file->GetC();
    if (c < 0) {
      SetError(raster_error::kExifPremature);
      return false;
    }
    if (c != 0xFF) {
      SetError(raster_error::kExifInvalidMarker);
      return false;
    }
    uint32_t padding = 0;
    int64_t marker = 0;
    for (;;) {
      marker = file->GetC();
      if (marker != 0xFF) {
        break;
      }
      if (++padding > kMaxPadding) {
        SetError(raster_error::kExifPadding);
        return false;
      }
    }
    const int64_t hi = marker < 0 ? -1 : file->GetC();
    const int64_t lo = hi < 0 ? -1 : file->GetC();
    if (lo < 0) {
      SetError(raster_error::kExifPremature);
      return false;
    }
    const uint32_t length = static_cast<uint32_t>((hi << 8) | lo);
    if (length < 2) {
      SetError(raster_error::kExifInvalidMarker);
      return false;
    }
    // A section longer than the rest of the stream is refused before anything is allocated.
    const int64_t remaining = raster_internal::StreamRemaining(file);
    if (remaining >= 0 && static_cast<uint64_t>(remaining) < length - 2u) {
      SetError(raster_error::kExifPremature);
      return false;
    }
    auto* data = static_cast<uint8_t*>(std::malloc(length));
    if (data == nullptr) {
      SetError(raster_error::kExifAlloc);
      return false;
    }
    data[0] = static_cast<uint8_t>(hi);
    data[1] = static_cast<uint8_t>(lo);
    if (!raster_internal::ReadExact(file, data + 2, length - 2)) {
      std::free(data);
      SetError(raster_error::kExifPremature);
      return false;
    }
    const uint8_t type = static_cast<uint8_t>(marker);
    switch (type) {
      case kJpegMarkerSos: {
        if (!Append(type, data, length)) {
          return false;
        }
        if ((flags & kExifReadImage) == 0) {
          return true;
        }
        const int64_t rest = raster_internal::StreamRemaining(file);
        if (rest < 0 || static_cast<uint64_t>(rest) > UINT32_MAX) {
          SetError(raster_error::kExifImageRead);
          return false;
        }
        auto* image = static_cast<uint8_t*>(std::malloc(rest == 0 ? 1 : static_cast<size_t>(rest)));
        if (image == nullptr) {
          SetError(raster_error::kExifImageAlloc);
          return false;
        }
        if (!raster_internal::ReadExact(file, image, static_cast<size_t>(rest))) {
          std::free(image);
          SetError(raster_error::kExifImageRead);
          return false;
        }
        return Append(kJpegSectionImageData, image, static_cast<uint32_t>(rest));
      }
      case kJpegMarkerEoi:
        std::free(data);
        SetError(raster_error::kExifNoImage);
        return false;
      case kJpegMarkerApp0:
        std::free(data);
        break;
      case kJpegMarkerCom:
        if ((flags & kExifReadExif) != 0 && FindSection(kJpegMarkerCom) != nullptr) {
          std::free(data);
          break;
        }
        if ((flags & kExifReadExif) != 0) {
          StoreComment(data + 2, length - 2);
        }
        if (!Append(type, data, length)) {
          return false;
        }
        break;
      case kJpegMarkerApp1: {
        const bool exif = (flags & kExifReadExif) != 0 && m_exifSection == UINT32_MAX && length >= 2 + 6 &&
                          std::memcmp(data + 2, kExifHeader, 4) == 0;
        if (exif && !ProcessExif(data + 2, length - 2)) {
          std::free(data);
          return false;
        }
        if (!Append(type, data, length)) {
          return false;
        }
        if (exif) {
          m_exifSection = m_count - 1;
        }
        break;
      }
      default:
        if (IsStartOfFrame(type) && length >= 8) {
          m_record.height = (data[3] << 8) | data[4];
          m_record.width = (data[5] << 8) | data[6];
          m_record.isColor = data[7] == 3 ? 1 : 0;
          m_record.process = type;
        }
        if (!Append(type, data, length)) {
          return false;
        }
        break;
    }
  }
}

void CRasterExifInfo::StoreComment(const uint8_t* text, uint32_t length) {
  const uint32_t n = length < kCommentSectionMax ? length : kCommentSectionMax;
  uint32_t out = 0;
  for (uint32_t a = 0; a < n; ++a) {
    const uint8_t ch = text[a];
    if (ch == '\r' && a + 1 < n && text[a + 1] == '\n') {
      continue;
    }
    const bool printable = ch >= 0x20 && ch <= 0x7E;
    m_record.comments[out++] = (printable || ch == '\n' || ch == '\t') ? static_cast<char>(ch) : '?';
  }
  m_record.comments[out] = '\0';
}

// ---- EXIF block ---------------------------------------------------------------------------------

bool CRasterExifInfo::ProcessExif(const uint8_t* block, uint32_t length) {
  if (length < sizeof(kExifHeader) || std::memcmp(block, kExifHeader, sizeof(kExifHeader)) != 0) {
    SetError(raster_error::kExifHeader);
    return false;
  }
  const uint8_t* tiff = block + sizeof(kExifHeader);
  const uint64_t tiffLength = length - sizeof(kExifHeader);
  if (tiffLength >= 2 && tiff[0] == 'I' && tiff[1] == 'I') {
    m_motorola = false;
  } else if (tiffLength >= 2 && tiff[0] == 'M' && tiff[1] == 'M') {
    m_motorola = true;
  } else {
    SetError(raster_error::kExifAlignment);
    return false;
  }
  const ByteOrder order(m_motorola);
  if (tiffLength < kTiffHeaderSize || order.Get16(tiff + 2) != kTiffMagic) {
    SetError(raster_error::kExifStart);
    return false;
  }
  // The first directory is where the header says it is (offset 8 in nearly every file).
  const uint64_t first = order.Get32(tiff + 4);
  if (first < kTiffHeaderSize || first >= tiffLength) {
    SetError(raster_error::kExifSubdirLink);
    return false;
  }
  m_exifImageDim = 0;
  m_exifDataEnd = 0;
  m_visitedCount = 0;
  if (!ProcessDirectory(tiff, tiffLength, first, 0)) {
    return false;
  }
  if (m_record.focalPlaneXRes != 0) {
    m_record.ccdWidth = static_cast<float>(m_exifImageDim * m_record.focalPlaneUnits / m_record.focalPlaneXRes);
  }
  m_record.isExif = true;
  return true;
}

bool CRasterExifInfo::ProcessDirectory(const uint8_t* tiff, uint64_t length, uint64_t offset, uint32_t depth) {
  if (depth > kExifMaxDepth) {
    SetError(raster_error::kExifTooDeep);
    return false;
  }
  const ByteOrder order(m_motorola);
  // The chain of linked directories is followed in this loop; only sub-directories recurse. The
  // directories linked after the first of the block (IFD1: the thumbnail's) give only the thumbnail:
  // their resolution, orientation and the like describe the thumbnail, not the picture.
  bool thumbnailOnly = false;
  for (;;) {
    for (uint32_t i = 0; i < m_visitedCount; ++i) {
      if (m_visited[i] == offset) {
        SetError(raster_error::kExifLoop);
        return false;
      }
    }
    if (m_visitedCount >= kExifMaxDirectories) {
      SetError(raster_error::kExifLoop);
      return false;
    }
    m_visited[m_visitedCount++] = offset;
    if (offset + 2 > length) {
      SetError(raster_error::kExifDirSize);
      return false;
    }
    const uint32_t entries = order.Get16(tiff + offset);
    const uint64_t linkAt = offset + 2 + static_cast<uint64_t>(entries) * kDirectoryEntrySize;
    if (linkAt > length) {
      SetError(raster_error::kExifDirSize);
      return false;
    }
    uint64_t thumbOffset = 0;
    uint64_t thumbSize = 0;
    for (uint32_t e = 0; e < entries; ++e) {
      const uint8_t* entry = tiff + offset + 2 + static_cast<uint64_t>(e) * kDirectoryEntrySize;
      if (!ProcessEntry(tiff, length, entry, depth, thumbnailOnly, &thumbOffset, &thumbSize)) {
        return false;
      }
    }
    if (thumbOffset != 0 && thumbSize != 0 && thumbOffset + thumbSize <= length) {
      m_record.thumbnailOffset = static_cast<uint32_t>(thumbOffset);
      m_record.thumbnailSize = static_cast<int32_t>(thumbSize);
    }
    // A directory that ends exactly at the end of the block has no room for a link: none.
    const uint64_t link = linkAt + 4 <= length ? order.Get32(tiff + linkAt) : 0;
    if (link == 0) {
      return true;
    }
    if (link < kTiffHeaderSize || link >= length) {
      SetError(raster_error::kExifSubdirLink);
      return false;
    }
    offset = link;
    thumbnailOnly = thumbnailOnly || depth == 0;
  }
}

bool CRasterExifInfo::ProcessEntry(const uint8_t* tiff, uint64_t length, const uint8_t* entry, uint32_t depth,
                                   bool thumbnailOnly, uint64_t* thumbOffset, uint64_t* thumbSize) {
  const ByteOrder order(m_motorola);
  const uint16_t tag = order.Get16(entry);
  const uint16_t format = order.Get16(entry + 2);
  const uint64_t components = order.Get32(entry + 4);
  if (format > kMaxFormat) {
    SetError(raster_error::kExifFormat);
    return false;
  }
  const uint64_t bytes = components * kBytesPerFormat[format];
  const uint8_t* value = entry + 8;
  if (bytes > 4) {
    const uint64_t at = order.Get32(entry + 8);
    if (at + bytes > length) {
      SetError(raster_error::kExifPointer);
      return false;
    }
    value = tiff + at;
    if (at + bytes > m_exifDataEnd) {
      m_exifDataEnd = at + bytes;
    }
  }
  // A number needs one whole component; a value without any reads as 0.
  const double number = bytes >= kBytesPerFormat[format] && format != 0 ? order.Number(value, format) : 0.0;
  if (thumbnailOnly && tag != kTagThumbnailOffset && tag != kTagThumbnailLength) {
    return true;
  }
  RasterExifRecord& r = m_record;
  switch (tag) {
    case kTagMake:
      CopyText(r.cameraMake, sizeof(r.cameraMake), value, bytes);
      break;
    case kTagModel:
      CopyText(r.cameraModel, sizeof(r.cameraModel), value, bytes);
      break;
    case kTagDateTimeOriginal:
      CopyText(r.dateTime, sizeof(r.dateTime), value, bytes);
      break;
    case kTagExifVersion:
      CopyText(r.version, sizeof(r.version), value, bytes);
      break;
    case kTagUserComment: {
      uint64_t n = bytes;
      while (n > 0 && value[n - 1] == ' ') {
        --n;
      }
      if (n >= 5 && std::memcmp(value, "ASCII", 5) == 0) {
        r.comments[0] = '\0';
        for (uint64_t a = 5; a < 10 && a < n; ++a) {
          if (value[a] != 0 && value[a] != ' ') {
            CopyText(r.comments, kUserCommentMax + 1, value + a, n - a);
            break;
          }
        }
      } else {
        CopyText(r.comments, kUserCommentMax + 1, value, n);
      }
      break;
    }
    case kTagOrientation: {
      const int32_t o = ToInt(number);
      if (o >= 1 && o <= 8) {
        r.orientation = o;
      } else {
        SetError(raster_error::kExifRotation);
        r.orientation = 0;
      }
      break;
    }
    case kTagFNumber:
      r.apertureFNumber = static_cast<float>(number);
      break;
    case kTagAperture:
    case kTagMaxAperture:
      if (r.apertureFNumber == 0) {
        r.apertureFNumber = static_cast<float>(std::exp2(number * 0.5));
      }
      break;
    case kTagFocalLength:
      r.focalLength = static_cast<float>(number);
      break;
    case kTagDistance:
      r.distance = static_cast<float>(number);
      break;
    case kTagExposureTime:
      r.exposureTime = static_cast<float>(number);
      break;
    case kTagShutterSpeed:
      if (r.exposureTime == 0) {
        r.exposureTime = static_cast<float>(1.0 / std::exp2(number));
      }
      break;
    case kTagFlash:
      r.flashUsed = (ToInt(number) & 7) != 0 ? 1 : 0;
      break;
    case kTagMeteringMode:
      r.meteringMode = ToInt(number);
      break;
    case kTagExposureProgram:
      r.exposureProgram = ToInt(number);
      break;
    case kTagExposureBias:
      r.exposureBias = static_cast<float>(number);
      break;
    case kTagLightSource:
      r.whiteBalance = ToInt(number);
      break;
    case kTagIsoEquivalent:
      r.isoEquivalent = ToInt(number);
      if (r.isoEquivalent >= 0 && r.isoEquivalent < kIsoStepLimit) {
        r.isoEquivalent *= kIsoStep;
      }
      break;
    case kTagCompressionLevel:
      r.compressionLevel = ToInt(number);
      break;
    case kTagXResolution:
      r.xResolution = static_cast<float>(number);
      break;
    case kTagYResolution:
      r.yResolution = static_cast<float>(number);
      break;
    case kTagResolutionUnit:
      UnitFactor(ToInt(number), &r.resolutionUnit);
      break;
    case kTagFocalPlaneXRes:
      r.focalPlaneXRes = static_cast<float>(number);
      break;
    case kTagFocalPlaneYRes:
      r.focalPlaneYRes = static_cast<float>(number);
      break;
    case kTagFocalPlaneUnits:
      UnitFactor(ToInt(number), &r.focalPlaneUnits);
      break;
    case kTagBrightness:
      r.brightness = static_cast<float>(number);
      break;
    case kTagExifImageWidth:
    case kTagExifImageHeight:
      if (number > static_cast<double>(m_exifImageDim) && number < 4294967296.0) {
        m_exifImageDim = static_cast<uint64_t>(number);
      }
      break;
    case kTagThumbnailOffset:
      *thumbOffset = number > 0 && number < 4294967296.0 ? static_cast<uint64_t>(number) : 0;
      break;
    case kTagThumbnailLength:
      *thumbSize = number > 0 && number < 2147483648.0 ? static_cast<uint64_t>(number) : 0;
      break;
    case kTagExifOffset:
    case kTagInteropOffset: {
      const uint64_t sub = number > 0 && number < 4294967296.0 ? static_cast<uint64_t>(number) : 0;
      if (sub < kTiffHeaderSize + 1) {
        break;
      }
      if (sub >= length) {
        SetError(raster_error::kExifSubdirLink);
        return false;
      }
      return ProcessDirectory(tiff, length, sub, depth + 1);
    }
    default:
      break;
  }
  return true;
}

// ---- writing back -------------------------------------------------------------------------------

void CRasterExifInfo::DiscardAllButExif() {
  Section app1;
  Section com;
  for (uint32_t i = 0; i < m_count; ++i) {
    Section& s = m_sections[i];
    const bool keepApp1 = i == m_exifSection && app1.data == nullptr;
    const bool keepCom = s.type == kJpegMarkerCom && com.data == nullptr;
    if (keepApp1) {
      app1 = s;
    } else if (keepCom) {
      com = s;
    } else {
      std::free(s.data);
    }
    s = Section{};
  }
  m_count = 0;
  m_exifSection = UINT32_MAX;
  if (app1.data != nullptr) {
    m_exifSection = m_count;
    m_sections[m_count++] = app1;
  }
  if (com.data != nullptr) {
    m_sections[m_count++] = com;
  }
}

bool CRasterExifInfo::EncodeExif(CRasterFile* out, const uint8_t* fresh, size_t size) {
  if (out == nullptr || fresh == nullptr) {
    SetError(raster_error::kNullFile);
    return false;
  }
  DiscardAllButExif();
  // The memory stream only reads the fresh file.
  CRasterMemFile in(const_cast<uint8_t*>(fresh), size);
  if (!DecodeExif(&in, kExifReadImage)) {
    return false;
  }
  bool scan = false;
  for (uint32_t i = 0; i + 1 < m_count; ++i) {
    scan = scan || m_sections[i].type == kJpegMarkerSos;
  }
  if (!scan) {
    SetError(raster_error::kExifNotAll);
    return false;
  }
  const uint8_t soi[2] = {0xFF, kJpegMarkerSoi};
  bool ok = out->Write(soi, 1, 2) == 2;
  const uint8_t firstType = m_sections[0].type;
  if (ok && firstType != kJpegMarkerApp0 && firstType != kJpegMarkerApp1) {
    ok = out->Write(kJfifHeader, 1, sizeof(kJfifHeader)) == sizeof(kJfifHeader);
  }
  for (uint32_t i = 0; ok && i + 1 < m_count; ++i) {
    const Section& s = m_sections[i];
    const uint8_t head[2] = {0xFF, s.type};
    ok = out->Write(head, 1, 2) == 2 && out->Write(s.data, 1, s.size) == s.size;
  }
  const Section& last = m_sections[m_count - 1];
  ok = ok && out->Write(last.data, 1, last.size) == last.size;
  if (!ok) {
    SetError(raster_error::kWriteError);
  }
  return ok;
}

// ---- the picture's record -----------------------------------------------------------------------

const RasterExifRecord* CRasterImage::GetExifInfo() const { return m_exif != nullptr ? &m_exif->GetRecord() : nullptr; }

void CRasterImage::SetExif(CRasterExifInfo* info) {
  if (m_ghost) {
    delete info;
    return;
  }
  delete m_exif;
  m_exif = info;
}
