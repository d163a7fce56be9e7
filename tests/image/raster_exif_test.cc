// The JPEG section reader and EXIF: fields of blocks that exiftool wrote (make_periphery_fixtures.sh),
// the rules of the record worked out by hand, hand-made blocks and files that must be refused with
// their texts, and the sections written back around a new encode.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "image/raster_errors.h"
#include "image/raster_exif.h"
#include "image/raster_file.h"
#include "image/raster_image.h"
#include "tests/image/periphery_test_util.h"

using periphery_test::Bytes;

namespace {

// ---- hand-made EXIF blocks ----

struct Entry {
  uint16_t tag;
  uint16_t format;
  uint32_t count;
  uint32_t value;  // the value itself (up to 4 bytes) or its offset
};

struct Dir {
  uint32_t at;  // offset from the byte-order mark
  std::vector<Entry> entries;
  uint32_t link = 0;
};

class Block {
 public:
  Block(bool motorola, uint32_t size) : m_mm(motorola), m_b(6 + size, 0) {
    std::memcpy(m_b.data(), "Exif\0\0", 6);
    m_b[6] = m_mm ? 'M' : 'I';
    m_b[7] = m_mm ? 'M' : 'I';
    Put16(2, 42);
    Put32(4, 8);
  }
  Block& First(uint32_t offset) {
    Put32(4, offset);
    return *this;
  }
  Block& Directory(const Dir& d) {
    Put16(d.at, static_cast<uint32_t>(d.entries.size()));
    uint32_t at = d.at + 2;
    for (const Entry& e : d.entries) {
      Put16(at, e.tag);
      Put16(at + 2, e.format);
      Put32(at + 4, e.count);
      // A short standing in the entry takes its first two bytes.
      if (e.format == 3 && e.count == 1) {
        Put16(at + 8, e.value);
      } else {
        Put32(at + 8, e.value);
      }
      at += 12;
    }
    Put32(at, d.link);
    return *this;
  }
  Block& Bytes32(uint32_t at, uint32_t v) {
    Put32(at, v);
    return *this;
  }
  Block& Raw(uint32_t at, const void* p, size_t n) {
    std::memcpy(&m_b[6 + at], p, n);
    return *this;
  }
  Block& Poke(size_t at, uint8_t v) {
    m_b[at] = v;
    return *this;
  }
  [[nodiscard]] const Bytes& Data() const { return m_b; }

 private:
  void Put16(uint32_t at, uint32_t v) {
    uint8_t* p = &m_b[6 + at];
    p[m_mm ? 0 : 1] = static_cast<uint8_t>(v >> 8);
    p[m_mm ? 1 : 0] = static_cast<uint8_t>(v);
  }
  void Put32(uint32_t at, uint32_t v) {
    if (m_mm) {
      Put16(at, v >> 16);
      Put16(at + 2, v & 0xFFFF);
    } else {
      Put16(at, v & 0xFFFF);
      Put16(at + 2, v >> 16);
    }
  }
  bool m_mm;
  Bytes m_b;
};

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;
constexpr uint16_t kAscii = 2;
constexpr uint16_t kUndefined = 7;
constexpr uint16_t kSRational = 10;

Block Orientation(bool mm, uint32_t value) {
  Block b(mm, 64);
  b.Directory({8, {{0x0112, kShort, 1, value}}});
  return b;
}

struct BlockRow {
  const char* what;
  Bytes block;
  bool ok;
  const char* text;  // the last-error text afterwards ("" none)
  int32_t orientation;
};

std::vector<BlockRow> BlockRows() {
  std::vector<BlockRow> rows;
  rows.push_back({"orientation 3, Intel order", Orientation(false, 3).Data(), true, "", 3});
  rows.push_back({"orientation 3, Motorola order", Orientation(true, 3).Data(), true, "", 3});
  rows.push_back({"orientation 9 is out of range", Orientation(false, 9).Data(), true, raster_error::kExifRotation, 0});
  rows.push_back(
      {"header not Exif\\0\\0", Orientation(false, 3).Poke(5, 1).Data(), false, raster_error::kExifHeader, 0});
  rows.push_back({"byte order XX", Orientation(false, 3).Poke(6, 'X').Poke(7, 'X').Data(), false,
                  raster_error::kExifAlignment, 0});
  rows.push_back({"43 for 42", Orientation(false, 3).Poke(8, 43).Data(), false, raster_error::kExifStart, 0});
  rows.push_back({"first directory inside the header", Orientation(false, 3).First(4).Data(), false,
                  raster_error::kExifSubdirLink, 0});
  {
    // The first directory at 20, garbage at 8: the directory the header names is the one read.
    Block b(false, 80);
    b.First(20).Directory({20, {{0x0112, kShort, 1, 5}}});
    const uint8_t junk[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    b.Raw(8, junk, sizeof(junk));
    rows.push_back({"first directory after padding", b.Data(), true, "", 5});
  }
  {
    Block b(false, 64);
    b.Directory({8, {{0x0112, kShort, 1, 1}}, 8});
    rows.push_back({"directory linked to itself", b.Data(), false, raster_error::kExifLoop, 0});
  }
  {
    Block b(false, 64);
    b.Directory({8, {{0x0112, kShort, 1, 1}}, 30}).Directory({30, {{0x0201, kLong, 1, 0}}, 8});
    rows.push_back({"IFD1 linked back to IFD0", b.Data(), false, raster_error::kExifLoop, 0});
  }
  {
    Block b(false, 100);
    b.First(20).Directory({20, {{0x8769, kLong, 1, 60}}}).Directory({60, {{0x8769, kLong, 1, 20}}});
    rows.push_back({"sub-directory pointing back", b.Data(), false, raster_error::kExifLoop, 0});
  }
  {
    // Ten sub-directories each inside the one before.
    Block b(false, 260);
    for (uint32_t i = 0; i < 10; ++i) {
      b.Directory({8 + 20 * i, {{0x8769, kLong, 1, 8 + 20 * (i + 1)}}});
    }
    b.Directory({208, {{0x0112, kShort, 1, 2}}});
    rows.push_back({"sub-directories nested ten deep", b.Data(), false, raster_error::kExifTooDeep, 0});
  }
  {
    Block b(false, 64);
    b.Directory({8, {{0x0112, 13, 1, 1}}});
    rows.push_back({"format 13", b.Data(), false, raster_error::kExifFormat, 0});
  }
  {
    // 0x20000000 rationals are 2^32 bytes: 0 in 32 bits, past the block in 64.
    Block b(false, 64);
    b.Directory({8, {{0x829A, kRational, 0x20000000, 16}}});
    rows.push_back({"component count times size wraps 32 bits", b.Data(), false, raster_error::kExifPointer, 0});
  }
  {
    // 0xFFFFFFF0 + 32 is 16 in 32 bits.
    Block b(false, 64);
    b.Directory({8, {{0x010F, kAscii, 32, 0xFFFFFFF0}}});
    rows.push_back({"offset plus size wraps 32 bits", b.Data(), false, raster_error::kExifPointer, 0});
  }
  {
    Block b(false, 64);
    b.Directory({8, {{0x0112, kShort, 1, 1}}}).Bytes32(8, 1000);  // 1000 entries claimed
    rows.push_back({"1000 entries in a 64-byte block", b.Data(), false, raster_error::kExifDirSize, 0});
  }
  {
    Block b(false, 64);
    b.Directory({8, {{0x0112, kShort, 1, 1}}, 5000});
    rows.push_back({"link past the block", b.Data(), false, raster_error::kExifSubdirLink, 0});
  }
  {
    Block b(false, 64);
    b.Directory({8, {{0x8769, kLong, 1, 5000}}});
    rows.push_back({"sub-directory past the block", b.Data(), false, raster_error::kExifSubdirLink, 0});
  }
  return rows;
}

TEST(RasterExif, HandMadeBlocks) {
  for (const BlockRow& row : BlockRows()) {
    SCOPED_TRACE(row.what);
    CRasterExifInfo info;
    EXPECT_EQ(info.ProcessExif(row.block.data(), static_cast<uint32_t>(row.block.size())), row.ok);
    EXPECT_STREQ(info.GetLastError(), row.text);
    EXPECT_EQ(info.GetRecord().isExif, row.ok);
    if (row.ok) {
      EXPECT_EQ(info.GetRecord().orientation, row.orientation);
    }
  }
}

TEST(RasterExif, RecordRulesWorkedOutByHand) {
  // Shutter speed 7 (APEX) alone: exposure time 1 / 2^7 = 1/128. With an exposure time as well, the
  // exposure time stays. ISO 2 is stored as 400. A user comment "ASCII", three zero bytes and
  // "hello" stores "hello". Aperture 6 (APEX) alone: F-number 2^(6/2) = 8.
  const uint8_t rationals[16] = {7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 100, 0, 0, 0};  // 7/1, 1/100
  const uint8_t aperture[8] = {6, 0, 0, 0, 1, 0, 0, 0};
  const uint8_t comment[13] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
  Block shutterOnly(false, 128);
  shutterOnly
      .Directory({8,
                  {{0x9201, kSRational, 1, 80},
                   {0x9202, kRational, 1, 96},
                   {0x8827, kShort, 1, 2},
                   {0x9286, kUndefined, 13, 104}}})
      .Raw(80, rationals, 8)
      .Raw(96, aperture, 8)
      .Raw(104, comment, sizeof(comment));
  CRasterExifInfo a;
  ASSERT_TRUE(a.ProcessExif(shutterOnly.Data().data(), static_cast<uint32_t>(shutterOnly.Data().size())));
  EXPECT_FLOAT_EQ(a.GetRecord().exposureTime, 1.0f / 128);
  EXPECT_FLOAT_EQ(a.GetRecord().apertureFNumber, 8.0f);
  EXPECT_EQ(a.GetRecord().isoEquivalent, 400);
  EXPECT_STREQ(a.GetRecord().comments, "hello");

  Block both(false, 128);
  both.Directory({8, {{0x829A, kRational, 1, 88}, {0x9201, kSRational, 1, 80}}}).Raw(80, rationals, 16);
  CRasterExifInfo b;
  ASSERT_TRUE(b.ProcessExif(both.Data().data(), static_cast<uint32_t>(both.Data().size())));
  EXPECT_FLOAT_EQ(b.GetRecord().exposureTime, 0.01f);

  // Resolution units: 3 (centimetre) is 0.3937007874 of an inch; 6 is unknown and leaves the field.
  Block units(false, 64);
  units.Directory({8, {{0x0128, kShort, 1, 3}, {0xA210, kShort, 1, 6}}});
  CRasterExifInfo c;
  ASSERT_TRUE(c.ProcessExif(units.Data().data(), static_cast<uint32_t>(units.Data().size())));
  EXPECT_FLOAT_EQ(c.GetRecord().resolutionUnit, 0.3937007874f);
  EXPECT_FLOAT_EQ(c.GetRecord().focalPlaneUnits, 0.0f);
}

// ---- sections ----

void Section(Bytes& b, uint8_t marker, const Bytes& body) {
  b.push_back(0xFF);
  b.push_back(marker);
  periphery_test::PutBe16(b, static_cast<uint32_t>(body.size() + 2));
  b.insert(b.end(), body.begin(), body.end());
}

struct SectionRow {
  const char* what;
  Bytes file;
  const char* text;
};

TEST(RasterExif, SectionsRefusedWithTheirTexts) {
  std::vector<SectionRow> rows;
  Bytes soi = {0xFF, 0xD8};
  rows.push_back({"no start of image", Bytes{0x89, 'P', 'N', 'G'}, raster_error::kExifNotJpeg});
  {
    // An APP1 section that claims 16000 bytes in a 30-byte file is refused before it is allocated.
    Bytes b = soi;
    b.insert(b.end(), {0xFF, 0xE1, 0x3E, 0x80, 'E', 'x', 'i', 'f', 0, 0});
    b.resize(30, 0);
    rows.push_back({"section longer than the file", b, raster_error::kExifPremature});
  }
  {
    Bytes b = soi;
    for (int i = 0; i < 20; ++i) {
      Section(b, 0xE2, Bytes(4, 0));
    }
    rows.push_back({"twenty sections before the scan", b, raster_error::kExifTooManySections});
  }
  {
    Bytes b = soi;
    b.insert(b.end(), 8, 0xFF);
    b.insert(b.end(), {0xFE, 0, 4, 'a', 'b'});
    rows.push_back({"seven padding bytes", b, raster_error::kExifPadding});
  }
  {
    Bytes b = soi;
    b.insert(b.end(), {0xFF, 0xFE, 0, 1});
    rows.push_back({"length below 2", b, raster_error::kExifInvalidMarker});
  }
  {
    Bytes b = soi;
    Section(b, 0xDB, Bytes(65, 0));
    b.insert(b.end(), {0xFF, 0xD9, 0, 2});
    rows.push_back({"end of image before any scan", b, raster_error::kExifNoImage});
  }
  {
    Bytes b = soi;
    Block loop(false, 64);
    loop.Directory({8, {{0x0112, kShort, 1, 1}}, 8});
    Section(b, 0xE1, loop.Data());
    rows.push_back({"EXIF block whose directory links to itself", b, raster_error::kExifLoop});
  }
  for (const SectionRow& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes copy = row.file;
    CRasterMemFile mem(copy.data(), copy.size());
    CRasterExifInfo info;
    EXPECT_FALSE(info.DecodeExif(&mem, kExifReadAll));
    EXPECT_STREQ(info.GetLastError(), row.text);
  }
}

TEST(RasterExif, CommentTextIsCleaned) {
  // CR before LF is dropped, other bytes that are not printable become '?', TAB and LF stay; only
  // the first comment is kept.
  Bytes b = {0xFF, 0xD8};
  Section(b, 0xFE, Bytes{'a', '\r', '\n', 'b', 0x01, '\t', 'c', 0xB0});
  Section(b, 0xFE, Bytes{'s', 'e', 'c', 'o', 'n', 'd'});
  Section(b, 0xDA, Bytes(10, 0));
  CRasterMemFile mem(b.data(), b.size());
  CRasterExifInfo info;
  ASSERT_TRUE(info.DecodeExif(&mem, kExifReadExif));
  EXPECT_STREQ(info.GetRecord().comments, "a\nb?\tc?");
  EXPECT_EQ(info.GetSectionCount(), 2u);  // the comment and the start of scan
}

// ---- blocks written by exiftool, through the JPEG codec ----

TEST(RasterExif, FieldsOfAnIntelBlockFromExiftool) {
  // The values given to exiftool in make_periphery_fixtures.sh.
  const Bytes file = periphery_test::Fixture("exif_ii.jpg");
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
  ASSERT_TRUE(img.IsValid()) << img.GetLastError();
  const RasterExifRecord* r = img.GetExifInfo();
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(r->isExif);
  EXPECT_STREQ(r->cameraMake, "TarnCam");
  EXPECT_STREQ(r->cameraModel, "TC-100 Pro");
  EXPECT_STREQ(r->dateTime, "2023:05:17 14:32:09");
  EXPECT_STREQ(r->version, "0231");
  EXPECT_EQ(r->orientation, 6);
  EXPECT_FLOAT_EQ(r->exposureTime, 0.008f);   // kept over the shutter speed
  EXPECT_FLOAT_EQ(r->apertureFNumber, 2.8f);  // kept over the aperture value
  EXPECT_EQ(r->isoEquivalent, 200);
  EXPECT_EQ(r->flashUsed, 1);  // 25 = 0b11001
  EXPECT_FLOAT_EQ(r->focalLength, 4.5f);
  EXPECT_FLOAT_EQ(r->xResolution, 300.0f);  // the picture's, not the thumbnail's 72
  EXPECT_FLOAT_EQ(r->resolutionUnit, 1.0f);
  EXPECT_NEAR(r->exposureBias, -0.7f, 1e-6);
  EXPECT_EQ(r->meteringMode, 5);
  EXPECT_EQ(r->whiteBalance, 4);
  EXPECT_EQ(r->exposureProgram, 2);
  EXPECT_FLOAT_EQ(r->distance, 1.5f);
  EXPECT_FLOAT_EQ(r->brightness, 3.25f);
  EXPECT_EQ(r->compressionLevel, 2);
  EXPECT_FLOAT_EQ(r->focalPlaneXRes, 4000.0f);
  // 4032 pixels x 0.3937007874 inch per cm / 4000 pixels per cm.
  EXPECT_NEAR(r->ccdWidth, 4032 * 0.3937007874 / 4000, 1e-5);
  // The comment section comes after the EXIF block and replaces its user comment.
  EXPECT_STREQ(r->comments, "file comment");
  EXPECT_EQ(r->width, 64);
  EXPECT_EQ(r->height, 48);
  EXPECT_EQ(r->isColor, 1);
  EXPECT_EQ(r->process, 0xC0);
  EXPECT_EQ(img.GetXDPI(), 300);
  // The thumbnail is a JPEG of 16 x 12 inside the block.
  int32_t size = 0;
  const uint8_t* thumb = img.GetExif()->GetThumbnail(&size);
  ASSERT_NE(thumb, nullptr);
  EXPECT_EQ(size, r->thumbnailSize);
  CRasterImage small(thumb, static_cast<uint32_t>(size), kRasterFormatJpg);
  ASSERT_TRUE(small.IsValid());
  EXPECT_EQ(small.GetWidth(), 16u);
  EXPECT_EQ(small.GetHeight(), 12u);
}

TEST(RasterExif, FieldsOfAMotorolaBlockFromExiftool) {
  const Bytes file = periphery_test::Fixture("exif_mm.jpg");
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatJpg);
  ASSERT_TRUE(img.IsValid());
  const RasterExifRecord* r = img.GetExifInfo();
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r->cameraMake, "Motorola Order");
  EXPECT_STREQ(r->cameraModel, "MM-2");
  EXPECT_FLOAT_EQ(r->exposureTime, 1.0f / 128);  // shutter speed 7 alone
  EXPECT_FLOAT_EQ(r->apertureFNumber, 4.0f);     // aperture 4 alone: 2^(4/2)
  EXPECT_EQ(r->isoEquivalent, 400);              // ISO 2
  EXPECT_EQ(r->flashUsed, 0);                    // 16: none of the three low bits
  // 118 per centimetre: floor(118 / 0.3937007874 + 0.5) = 300 dots per inch.
  EXPECT_EQ(img.GetXDPI(), 300);
  EXPECT_EQ(img.GetYDPI(), 300);
}

TEST(RasterExif, ReencodeWritesExifAndCommentBeforeTheNewSections) {
  const Bytes file = periphery_test::Fixture("exif_ii.jpg");
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
  ASSERT_TRUE(img.IsValid());
  img.SetJpegQuality(75);
  const Bytes out = raster_test::EncodeToBytes(img, kRasterFormatJpg);
  ASSERT_GT(out.size(), 4u);
  // FF D8, then the EXIF APP1 (no JFIF APP0 first), then the comment, then the new file's sections.
  EXPECT_EQ(out[2], 0xFF);
  EXPECT_EQ(out[3], 0xE1);
  Bytes copy = out;
  CRasterMemFile mem(copy.data(), copy.size());
  CRasterExifInfo info;
  ASSERT_TRUE(info.DecodeExif(&mem, kExifReadAll)) << info.GetLastError();
  ASSERT_GE(info.GetSectionCount(), 4u);
  EXPECT_EQ(info.GetSection(0)->type, kJpegMarkerApp1);
  EXPECT_EQ(info.GetSection(1)->type, kJpegMarkerCom);
  EXPECT_EQ(info.GetSection(2)->type, 0xDB);  // the new quantisation tables
  EXPECT_EQ(info.GetSection(info.GetSectionCount() - 1)->type, kJpegSectionImageData);
  EXPECT_STREQ(info.GetRecord().cameraMake, "TarnCam");
  // The picture decodes again, and ImageMagick reads the file without complaint.
  CRasterImage back(out.data(), static_cast<uint32_t>(out.size()), kRasterFormatUnknown);
  ASSERT_TRUE(back.IsValid());
  EXPECT_EQ(back.GetWidth(), 64u);
  if (raster_test::HaveIdentify()) {
    bool ok = false;
    const std::string facts = raster_test::Identify(out, ".jpg", &ok);
    EXPECT_TRUE(ok) << facts;
  }
  // The caller's picture still carries every section it was decoded with.
  EXPECT_GT(img.GetExif()->GetSectionCount(), 3u);
}

TEST(RasterExif, SectionsTravelWithThePicture) {
  const Bytes file = periphery_test::Fixture("exif_ii.jpg");
  CRasterImage img(file.data(), static_cast<uint32_t>(file.size()), kRasterFormatUnknown);
  ASSERT_NE(img.GetExifInfo(), nullptr);
  const CRasterImage copy(img);
  ASSERT_NE(copy.GetExifInfo(), nullptr);
  EXPECT_STREQ(copy.GetExifInfo()->cameraModel, "TC-100 Pro");
  CRasterImage moved;
  ASSERT_TRUE(moved.Transfer(img));
  EXPECT_NE(moved.GetExifInfo(), nullptr);
  EXPECT_EQ(img.GetExifInfo(), nullptr);
  moved.Create(4, 4, 24, 0);  // a new picture carries nothing of the old file
  EXPECT_EQ(moved.GetExifInfo(), nullptr);
  // A file whose EXIF block is refused decodes without it; a file without one re-encodes plainly.
  Bytes bad = file;
  const size_t at = 2 + 18 + 4 + 6 + 4;  // SOI, APP0, APP1 head, "Exif\0\0", "II" 42: the first offset
  bad[at] = 0xF0;
  bad[at + 1] = 0xFF;
  CRasterImage plain(bad.data(), static_cast<uint32_t>(bad.size()), kRasterFormatJpg);
  ASSERT_TRUE(plain.IsValid());
  EXPECT_EQ(plain.GetExifInfo(), nullptr);
  const Bytes out = raster_test::EncodeToBytes(plain, kRasterFormatJpg);
  ASSERT_GT(out.size(), 4u);
  EXPECT_EQ(out[3], 0xE0);  // JFIF
}

}  // namespace
