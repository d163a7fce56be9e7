#pragma once
// CRasterExifInfo: the JPEG section reader. It keeps the marker sections of a JPEG file (up to 20,
// each with its two length bytes), reads the camera information of an EXIF block into a
// RasterExifRecord, and writes the kept EXIF and comment sections back around freshly encoded image
// data. The JPEG codec reads the sections of every file it decodes; the picture keeps them
// (CRasterImage::GetExif) so a later JPEG encode carries the EXIF block on.
//
// Everything it reads is untrusted: a section longer than the stream, an EXIF offset or component
// count that points outside its block (all sums in 64 bits), directory links that loop or nest deeper
// than kExifMaxDepth are refused with their text; nothing recurses without bound.
//
// Thread-safety: one reader belongs to one thread at a time.

#include <cstddef>
#include <cstdint>

#include "image/raster_image.h"

class CRasterFile;

// The camera information of an EXIF block and the frame of the file. Zeroed when nothing was read.
struct RasterExifRecord {
  char version[5];       // tag 0x9000
  char cameraMake[32];   // tag 0x010F
  char cameraModel[40];  // tag 0x0110
  char dateTime[20];     // tag 0x9003, "YYYY:MM:DD HH:MM:SS"
  int32_t height;        // start-of-frame section
  int32_t width;
  int32_t orientation;       // tag 0x0112, 1..8 (0 when the file's value is out of range)
  int32_t isColor;           // start-of-frame section: 3 components
  int32_t process;           // the start-of-frame marker (0xC0 baseline, 0xC2 progressive ...)
  int32_t flashUsed;         // tag 0x9209: 1 when any of its three low bits is set
  float focalLength;         // tag 0x920A
  float exposureTime;        // tag 0x829A, else 1 / 2^shutter speed (0x9201)
  float apertureFNumber;     // tag 0x829D, else 2^(aperture / 2) (0x9202, 0x9205)
  float distance;            // tag 0x9206
  float ccdWidth;            // sensor width: largest EXIF dimension x focal-plane unit / focal-plane X resolution
  float exposureBias;        // tag 0x9204
  int32_t whiteBalance;      // tag 0x9208 (light source)
  int32_t meteringMode;      // tag 0x9207
  int32_t exposureProgram;   // tag 0x8822
  int32_t isoEquivalent;     // tag 0x8827; a value below 50 is multiplied by 200
  int32_t compressionLevel;  // tag 0x9102
  float focalPlaneXRes;      // tag 0xA20E
  float focalPlaneYRes;      // tag 0xA20F
  float focalPlaneUnits;     // tag 0xA210 as a factor to inches
  float xResolution;         // tag 0x011A
  float yResolution;         // tag 0x011B
  float resolutionUnit;      // tag 0x0128 as a factor to inches
  float brightness;          // tag 0x9203
  char comments[1000];       // tag 0x9286 or the first comment section
  uint32_t thumbnailOffset;  // of the thumbnail inside the EXIF block (from the byte-order mark)
  int32_t thumbnailSize;     // tags 0x0201 and 0x0202; 0 when there is none
  bool isExif;               // an EXIF block was parsed
};

// Flags of CRasterExifInfo::DecodeExif.
inline constexpr uint32_t kExifReadExif = 1;   // parse the EXIF block and keep the first comment
inline constexpr uint32_t kExifReadImage = 2;  // keep the image data after the start of scan
inline constexpr uint32_t kExifReadAll = kExifReadExif | kExifReadImage;

// Limits of the reader.
inline constexpr uint32_t kExifMaxSections = 20;
inline constexpr uint32_t kExifMaxDepth = 8;         // nested EXIF directories
inline constexpr uint32_t kExifMaxDirectories = 64;  // directories of one block

// JPEG markers the reader tells apart.
inline constexpr uint8_t kJpegMarkerSoi = 0xD8;
inline constexpr uint8_t kJpegMarkerEoi = 0xD9;
inline constexpr uint8_t kJpegMarkerSos = 0xDA;
inline constexpr uint8_t kJpegMarkerApp0 = 0xE0;
inline constexpr uint8_t kJpegMarkerApp1 = 0xE1;
inline constexpr uint8_t kJpegMarkerCom = 0xFE;
// Type of the section that holds the image data after the start of scan.
inline constexpr uint8_t kJpegSectionImageData = 0;

class CRasterExifInfo {
 public:
  // One kept section: the marker and its block, which starts with the two length bytes (the image
  // data section holds the raw rest of the file instead).
  struct Section {
    uint8_t type = 0;
    uint32_t size = 0;
    uint8_t* data = nullptr;
  };

  CRasterExifInfo();
  CRasterExifInfo(const CRasterExifInfo& other);  // copies every section
  CRasterExifInfo& operator=(const CRasterExifInfo& other);
  ~CRasterExifInfo();

  // DecodeExif: reads the sections of the JPEG file at the stream's position (flags kExifRead...),
  // appending them to those already kept. Reading ends at the start of scan. Returns false with the
  // last-error text set when the file is refused; the sections read so far stay.
  bool DecodeExif(CRasterFile* file, uint32_t flags);
  // ProcessExif: parses an EXIF block (`length` bytes from "Exif", after the two length bytes) into
  // the record. Returns false with the text set when the block is refused.
  bool ProcessExif(const uint8_t* block, uint32_t length);
  // DiscardAllButExif: keeps only the first EXIF APP1 section and the first comment, in that order.
  void DiscardAllButExif();
  // EncodeExif: keeps only the EXIF and comment sections (DiscardAllButExif), reads the sections of
  // the JPEG file `fresh` (`size` bytes) after them and writes the whole file to `out`. Returns false
  // with the text set when `fresh` is refused or has no image data (then nothing was written), or
  // with "Write Error" when `out` refused a write.
  bool EncodeExif(CRasterFile* out, const uint8_t* fresh, size_t size);

  [[nodiscard]] const RasterExifRecord& GetRecord() const { return m_record; }
  [[nodiscard]] const char* GetLastError() const { return m_lastError; }
  [[nodiscard]] uint32_t GetSectionCount() const { return m_count; }
  // GetSection: section n, or null.
  [[nodiscard]] const Section* GetSection(uint32_t n) const { return n < m_count ? &m_sections[n] : nullptr; }
  // FindSection: the first section of `type`, or null.
  [[nodiscard]] const Section* FindSection(uint8_t type) const;
  // GetThumbnail: the EXIF thumbnail (a JPEG inside the EXIF block) and its size, or null.
  [[nodiscard]] const uint8_t* GetThumbnail(int32_t* size) const;

 private:
  // Walks the directory at `offset` of the EXIF block and the directories it links to.
  bool ProcessDirectory(const uint8_t* tiff, uint64_t length, uint64_t offset, uint32_t depth);
  bool ProcessEntry(const uint8_t* tiff, uint64_t length, const uint8_t* entry, uint32_t depth, bool thumbnailOnly,
                    uint64_t* thumbOffset, uint64_t* thumbSize);
  void StoreComment(const uint8_t* text, uint32_t length);
  void SetError(const char* text);
  void Clear();
  bool Append(uint8_t type, uint8_t* data, uint32_t size);

  Section m_sections[kExifMaxSections];
  uint32_t m_count = 0;
  bool m_motorola = false;
  uint64_t m_exifImageDim = 0;  // largest image width or height named in the block
  uint64_t m_exifDataEnd = 0;   // end of the furthest value referenced
  uint64_t m_visited[kExifMaxDirectories] = {};
  uint32_t m_visitedCount = 0;
  uint32_t m_exifSection = UINT32_MAX;  // index of the parsed APP1 section
  RasterExifRecord m_record;
  char m_lastError[kRasterErrorSize] = {};
};
