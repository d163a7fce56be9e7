// Streams: the memory stream's arithmetic at its edges, ownership across copies, and the stdio stream.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "image/raster_file.h"

namespace {

TEST(RasterMemFile, ReadAtTheEdgeReturnsWhatIsLeft) {
  std::vector<uint8_t> block(100);
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<uint8_t>(i);
  }
  CRasterMemFile mem(block.data(), block.size());
  ASSERT_TRUE(mem.Seek(95, kRasterSeekSet));
  uint8_t buf[10] = {};
  EXPECT_EQ(mem.Read(buf, 1, 10), 5u);  // 10 bytes asked at 95 of 100: 5 read
  EXPECT_EQ(buf[0], 95);
  EXPECT_EQ(buf[4], 99);
  EXPECT_TRUE(mem.Eof());
  EXPECT_EQ(mem.Read(buf, 1, 10), 0u);
  EXPECT_EQ(mem.GetC(), -1);

  ASSERT_TRUE(mem.Seek(95, kRasterSeekSet));
  EXPECT_EQ(mem.Read(buf, 4, 2), 1u);  // 8 bytes asked, 5 there: one whole item
  EXPECT_EQ(mem.Tell(), 100);
  // An item count whose byte count overflows reads what there is.
  ASSERT_TRUE(mem.Seek(0, kRasterSeekSet));
  std::vector<uint8_t> all(100);
  EXPECT_EQ(mem.Read(all.data(), 1, SIZE_MAX), 100u);
}

TEST(RasterMemFile, SeekOriginsAndClamping) {
  std::vector<uint8_t> block(50, 7);
  CRasterMemFile mem(block.data(), block.size());
  const struct {
    int64_t offset;
    int32_t origin;
    bool ok;
    int64_t position;
  } rows[] = {
      {-10, kRasterSeekSet, true, 0},  // a negative result becomes 0
      {20, kRasterSeekSet, true, 20},
      {5, kRasterSeekCur, true, 25},
      {-5, kRasterSeekEnd, true, 45},
      {10, kRasterSeekEnd, true, 60},  // past the end is allowed; Error() then reports it
      {0, 3, false, 60},               // unknown origin
      {INT64_MIN, kRasterSeekCur, true, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(mem.Seek(row.offset, row.origin), row.ok);
    EXPECT_EQ(mem.Tell(), row.position);
  }
  ASSERT_TRUE(mem.Seek(60, kRasterSeekSet));
  EXPECT_EQ(mem.Error(), 1);
  EXPECT_TRUE(mem.Eof());
}

TEST(RasterMemFile, GrowthStepsAndGapIsZero) {
  CRasterMemFile mem;
  EXPECT_EQ(mem.Write("x", 1, 1), 0u);  // no buffer before Open
  ASSERT_TRUE(mem.Open());
  EXPECT_FALSE(mem.Open());
  EXPECT_EQ(mem.Size(), 0);
  EXPECT_TRUE(mem.PutC('a'));
  EXPECT_EQ(mem.Capacity(), 4096u);  // 1 byte needed: 0 rounded down to 4096, plus 4096
  std::vector<uint8_t> big(5000, 3);
  EXPECT_EQ(mem.Write(big.data(), 1, big.size()), big.size());
  EXPECT_EQ(mem.Capacity(), 8192u);  // 5001 needed: 4096 + 4096
  EXPECT_EQ(mem.Size(), 5001);
  ASSERT_TRUE(mem.Seek(6000, kRasterSeekSet));
  EXPECT_TRUE(mem.PutC('z'));
  EXPECT_EQ(mem.Size(), 6001);
  const uint8_t* p = mem.GetBuffer(false);
  for (size_t i = 5001; i < 6000; ++i) {
    ASSERT_EQ(p[i], 0) << i;
  }
  EXPECT_EQ(p[6000], 'z');
}

TEST(RasterMemFile, CallersBlockIsNeverReallocatedOrFreed) {
  uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  {
    CRasterMemFile mem(block, sizeof(block));
    ASSERT_TRUE(mem.Seek(6, kRasterSeekSet));
    const uint8_t more[4] = {9, 9, 9, 9};
    EXPECT_EQ(mem.Write(more, 1, 4), 4u);  // past the caller's 8 bytes: moves into a block of its own
    EXPECT_NE(mem.GetBuffer(false), block);
    EXPECT_EQ(mem.Size(), 10);
    EXPECT_EQ(mem.GetBuffer(false)[0], 1);
    EXPECT_EQ(mem.GetBuffer(false)[9], 9);
  }
  // The caller's bytes are as they were; the stream freed only its own block (ASan would see).
  EXPECT_EQ(block[6], 7);
  EXPECT_EQ(block[7], 8);
}

TEST(RasterMemFile, CopiesNeverFreeTwice) {
  CRasterMemFile a;
  ASSERT_TRUE(a.Open());
  a.Write("hello", 1, 5);
  {
    CRasterMemFile b(a);  // owned data: b gets its own copy
    EXPECT_NE(b.GetBuffer(false), a.GetBuffer(false));
    EXPECT_EQ(b.Size(), 5);
    EXPECT_EQ(b.Tell(), 5);
    CRasterMemFile c;
    c = a;
    c = c;
    EXPECT_EQ(std::memcmp(c.GetBuffer(false), "hello", 5), 0);
  }
  EXPECT_EQ(std::memcmp(a.GetBuffer(false), "hello", 5), 0);

  uint8_t outside[3] = {1, 2, 3};
  CRasterMemFile wrapped(outside, 3);
  CRasterMemFile alias(wrapped);  // a caller's block: shared, owned by neither
  EXPECT_EQ(alias.GetBuffer(false), outside);

  // Detaching hands the block to the caller.
  uint8_t* taken = a.GetBuffer(true);
  a.Close();
  EXPECT_EQ(std::memcmp(taken, "hello", 5), 0);
  std::free(taken);
}

TEST(RasterMemFile, WithoutBufferEverythingReportsNothing) {
  CRasterMemFile mem;
  uint8_t b = 0;
  EXPECT_EQ(mem.Read(&b, 1, 1), 0u);
  EXPECT_EQ(mem.Tell(), -1);
  EXPECT_EQ(mem.Size(), -1);
  EXPECT_EQ(mem.Error(), -1);
  EXPECT_TRUE(mem.Eof());
  EXPECT_FALSE(mem.Flush());
  EXPECT_FALSE(mem.Seek(0, kRasterSeekSet));
  EXPECT_TRUE(mem.Close());
}

TEST(RasterIOFile, WriteSeekReadAndOwnership) {
  char path[] = "/tmp/tw_raster_io_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    CRasterIOFile f;
    EXPECT_EQ(f.Size(), -1);
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Eof());
    EXPECT_TRUE(f.Close());  // nothing to close
    ASSERT_TRUE(f.Open(path, "w+b"));
    EXPECT_FALSE(f.Open(path, "rb"));  // a stream is already held
    EXPECT_EQ(f.Write("abcdef", 1, 6), 6u);
    EXPECT_TRUE(f.PutC('g'));
    EXPECT_TRUE(f.Flush());
    EXPECT_EQ(f.Size(), 7);
    EXPECT_EQ(f.Tell(), 7);  // Size keeps the position
    ASSERT_TRUE(f.Seek(2, kRasterSeekSet));
    EXPECT_EQ(f.GetC(), 'c');
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 1, 8), 4u);
    EXPECT_STREQ(buf, "defg");
    EXPECT_EQ(f.Error(), 0);
    // A copy shares the stream but never closes it.
    CRasterIOFile copy(f);
    EXPECT_EQ(copy.GetStream(), f.GetStream());
    EXPECT_TRUE(copy.Close());
    EXPECT_TRUE(f.Seek(0, kRasterSeekSet));
    EXPECT_EQ(f.GetC(), 'a');
  }
  // A stream handed in is not closed by the object.
  FILE* fp = std::fopen(path, "rb");
  ASSERT_NE(fp, nullptr);
  {
    CRasterIOFile borrowed(fp);
    EXPECT_EQ(borrowed.GetC(), 'a');
  }
  EXPECT_EQ(std::fgetc(fp), 'b');
  std::fclose(fp);
  std::remove(path);
}

}  // namespace
