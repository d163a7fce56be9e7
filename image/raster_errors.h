#pragma once
// The texts the image library leaves in a picture's last-error text. Callers and logs compare them as
// they stand, so every refusal of the library takes its words from here and nowhere else.

namespace raster_error {

// Picture object.
inline constexpr char kCreateSize[] = "CRasterImage::Create : width and height must be greater than zero";
inline constexpr char kMaxMemory[] = "RASTER_MAX_MEMORY exceeded";
inline constexpr char kCreateAlloc[] = "CRasterImage::Create can't allocate memory";
inline constexpr char kNullFile[] = "null file handler";
inline constexpr char kNullImage[] = "null image!!!";
inline constexpr char kBufferNotEmpty[] = "the buffer must be empty";
inline constexpr char kCancelled[] = "Cancelled";

// Dispatch by format code.
inline constexpr char kDecodeUnknown[] = "Decode: Unknown or wrong format";
inline constexpr char kEncodeUnknown[] = "Encode: Unknown format";
// A known format code whose codec is not part of this build yet.
inline constexpr char kCodecAbsent[] = "Codec not available for this format";

// BMP.
inline constexpr char kBmpNotBmp[] = "Not a BMP";
inline constexpr char kBmpInfo[] = "Error reading BMP info";
inline constexpr char kBmpAlloc[] = "Can't allocate memory";
inline constexpr char kBmpCompression[] = "compression type not supported";
inline constexpr char kBmpUnknownCompression[] = "unknown compression";
inline constexpr char kBmpTempAlloc[] = "can't allocate memory";
inline constexpr char kBmpTruncated[] = "BMP file is truncated";
inline constexpr char kBmpRle[] = "Corrupted BMP RLE data";

// ICO.
inline constexpr char kIcoHeader[] = "Not an icon file";
inline constexpr char kIcoFrame[] = "Icon frame not found";
inline constexpr char kIcoInfo[] = "Unsupported icon image";
inline constexpr char kIcoTruncated[] = "Icon file is truncated";
inline constexpr char kIcoSave[] = "Can't save this image as icon";

// PNG.
inline constexpr char kPngCreate[] = "Failed to create PNG structure";
inline constexpr char kPngInfo[] = "Failed to initialize PNG info structure";
inline constexpr char kPngRead[] = "Read Error";
inline constexpr char kWriteError[] = "Write Error";  // short write of any encoder
inline constexpr char kPngFlush[] = "Flush Error";
inline constexpr char kPngSave[] = "Error saving PNG file";
inline constexpr char kPngLayout[] = "Unsupported PNG pixel layout";

// JPEG.
inline constexpr char kJpegSaveKind[] = "JPEG can save only RGB or GreyScale images";
inline constexpr char kJpegScans[] = "Too many scans in JPEG file";
inline constexpr char kJpegComponents[] = "Unsupported JPEG colour components";

// Codecs that later pieces of the library add; their texts are fixed already.
inline constexpr char kTgaBitDepth[] = "Bit depth must be 8 or 24";
inline constexpr char kWmfSave[] = "Save WMF not supported";
inline constexpr char kJasSaveKind[] = "JasPer can save only RGB or GrayScale images";

}  // namespace raster_error
