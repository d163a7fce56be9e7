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

// JPEG sections and EXIF.
inline constexpr char kJpegSeek[] = "Can't return to the start of the JPEG data";
inline constexpr char kExifNotJpeg[] = "Not a JPEG file";
inline constexpr char kExifTooManySections[] = "Too many sections in jpg file";
inline constexpr char kExifPadding[] = "too many padding bytes";
inline constexpr char kExifInvalidMarker[] = "invalid marker";
inline constexpr char kExifAlloc[] = "Could not allocate memory";
inline constexpr char kExifPremature[] = "Premature end of file?";
inline constexpr char kExifNoImage[] = "No image in jpeg!";
inline constexpr char kExifImageAlloc[] = "could not allocate data for entire image";
inline constexpr char kExifImageRead[] = "could not read the rest of the image";
inline constexpr char kExifHeader[] = "Incorrect Exif header";
inline constexpr char kExifAlignment[] = "Invalid Exif alignment marker.";
inline constexpr char kExifStart[] = "Invalid Exif start (1)";
inline constexpr char kExifDirSize[] = "Illegally sized directory";
inline constexpr char kExifFormat[] = "Illegal format code in EXIF dir";
inline constexpr char kExifPointer[] = "Illegal pointer offset value in EXIF.";
inline constexpr char kExifRotation[] = "Undefined rotation value";
inline constexpr char kExifSubdirLink[] = "Illegal subdirectory link";
inline constexpr char kExifLoop[] = "EXIF directory links loop";
inline constexpr char kExifTooDeep[] = "EXIF directories nested too deep";
inline constexpr char kExifNotAll[] = "Can't write exif : didn't read all";

// Text drawing.
inline constexpr char kTextNoFont[] = "No installed font can draw the text";
inline constexpr char kTextFont[] = "Can't render the text with its font";
inline constexpr char kTextSize[] = "Text size out of range";

// GIF.
inline constexpr char kGifNotGif[] = "Not a GIF file";
inline constexpr char kGifFrame[] = "GIF frame not found";
inline constexpr char kGifTruncated[] = "GIF file is truncated";
inline constexpr char kGifWrite[] = "Write Error in GIF file";
inline constexpr char kGifSave[] = "Can't save this image as GIF";

// TGA.
inline constexpr char kTgaNotTga[] = "Not a TGA";
inline constexpr char kTgaType[] = "Unknown TGA image type";
inline constexpr char kTgaHeader[] = "bad TGA header";
inline constexpr char kTgaCreate[] = "TGA Create failed";
inline constexpr char kTgaCorrupted[] = "corrupted TGA";
inline constexpr char kTgaBitDepth[] = "Bit depth must be 8 or 24";

// PCX.
inline constexpr char kPcxRead[] = "Can't read PCX image";
inline constexpr char kPcxNotPcx[] = "Error: Not a PCX file";
inline constexpr char kPcxEncoding[] = "PCX file has unknown encoding scheme";
inline constexpr char kPcxPlanes[] = "Can't handle image with more than 4 planes";
inline constexpr char kPcxRepeat[] = "repeat count spans end of image";
inline constexpr char kPcxCorrupted[] = "corrupted PCX";
inline constexpr char kPcxColorMap[] = "bad color map signature";
inline constexpr char kPcxMorePlanes[] = "Can't handle more than 4 planes";
inline constexpr char kPcxMoreBits[] = "Can't handle more than 1 bit per pixel";
inline constexpr char kPcxPacked[] = "Can't handle packed pixels with more than 1 plane.";
inline constexpr char kPcxHeaderWrite[] = "cannot write PCX header";
inline constexpr char kPcxCreate[] = "PCX Create failed";

// WBMP.
inline constexpr char kWbmpNotWbmp[] = "Not a WBMP";
inline constexpr char kWbmpType[] = "Unsupported WBMP type";
inline constexpr char kWbmpCorrupted[] = "Corrupted WBMP";
inline constexpr char kWbmpCreate[] = "WBMP Create failed";
inline constexpr char kWbmpSave[] = "Can't save this image as WBMP";

// Metafiles.
inline constexpr char kWmfCorrupted[] = "corrupted WMF";
inline constexpr char kWmfEmpty[] = "empty WMF";
inline constexpr char kWmfSave[] = "Save WMF not supported";

// JPEG-2000 family (jp2 and jpc through OpenJPEG; pgx, pnm and ras our own).
inline constexpr char kJasOpenInput[] = "error: cannot open standard input";
inline constexpr char kJasLoad[] = "error: cannot load image data";
inline constexpr char kJasComponents[] = "error: too much components";
inline constexpr char kJasAlloc[] = "error: cannot allocate memory";
inline constexpr char kJasFrame[] = "wrong frame!";
inline constexpr char kJasCreate[] = "Can't allocate memory";
inline constexpr char kJasSaveKind[] = "JasPer can save only RGB or GrayScale images";
inline constexpr char kPgxSaveKind[] = "PGX can save only GrayScale images";
inline constexpr char kJasImageCreate[] = "error : jas_image_create";
inline constexpr char kJasEncode[] = "error: cannot encode image\n";
inline constexpr char kJasOpenOutput[] = "error: cannot open standard output";

}  // namespace raster_error
