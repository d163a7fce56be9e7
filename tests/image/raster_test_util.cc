#include "tests/image/raster_test_util.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "image/raster_file.h"

namespace raster_test {

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
}

Bytes MakeBmp(const BmpSpec& shape, const Bytes& palette, const Bytes& data) {
  Bytes b;
  const uint32_t off = shape.dataOffset != 0 ? shape.dataOffset : static_cast<uint32_t>(14 + 40 + palette.size());
  if (shape.fileHeader) {
    b.push_back('B');
    b.push_back('M');
    Put32(b, static_cast<uint32_t>(off + data.size()));
    Put32(b, 0);
    Put32(b, off);
  }
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(shape.width));
  Put32(b, static_cast<uint32_t>(shape.height));
  Put16(b, 1);
  Put16(b, shape.bits);
  Put32(b, shape.compression);
  Put32(b, shape.sizeImage);
  Put32(b, 3780);
  Put32(b, 3780);
  Put32(b, shape.clrUsed);
  Put32(b, 0);
  b.insert(b.end(), palette.begin(), palette.end());
  if (shape.fileHeader) {
    while (b.size() < off) {
      b.push_back(0);
    }
  }
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes EncodeToBytes(CRasterImage& img, uint32_t type) {
  CRasterMemFile mem;
  if (!mem.Open() || !img.Encode(&mem, type)) {
    return {};
  }
  const uint8_t* p = mem.GetBuffer(false);
  return Bytes(p, p + mem.Size());
}

Bytes ReadFile(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    return out;
  }
  uint8_t buf[65536];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) {
    out.insert(out.end(), buf, buf + n);
  }
  std::fclose(f);
  return out;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string Fixture(const std::string& name) { return std::string(TW_IMAGE_FIXTURES) + "/" + name; }

bool HaveIdentify() { return std::system("identify -version >/dev/null 2>&1") == 0; }

std::string Identify(const Bytes& bytes, const std::string& suffix, bool* ok) {
  char dir[] = "/tmp/tw_identify_XXXXXX";
  *ok = false;
  if (mkdtemp(dir) == nullptr) {
    return "";
  }
  const std::string path = std::string(dir) + "/img" + suffix;
  const std::string out = std::string(dir) + "/out.txt";
  WriteFile(path, bytes);
  const std::string cmd = "identify -regard-warnings -format '%m %w %h %z %[channels] %[type]\\n' '" + path +
                          "' >'" + out + "' 2>&1";
  const int rc = std::system(cmd.c_str());
  const Bytes text = ReadFile(out);
  std::remove(path.c_str());
  std::remove(out.c_str());
  rmdir(dir);
  *ok = rc == 0;
  return std::string(text.begin(), text.end());
}

}  // namespace raster_test
