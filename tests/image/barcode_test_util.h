#pragma once
// Helpers of the barcode tests: a BMP reader of their own (so the tests do not read pictures back
// through the code under test) and a runner for the independent decoder zbarimg.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace barcode_test {

[[nodiscard]] inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
[[nodiscard]] inline uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }

// A 1-bit bottom-up BMP as the pictures are stored; Black(x, y) counts y from the top.
struct Bmp {
  bool ok = false;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t stride = 0;
  const uint8_t* pixels = nullptr;

  [[nodiscard]] bool Black(uint32_t x, uint32_t y) const {
    const uint8_t* row = pixels + static_cast<size_t>(stride) * (height - 1 - y);
    return (row[x / 8] & (0x80u >> (x % 8))) != 0;
  }
  // The pixels of one row from the top as '1' (black) and '0'.
  [[nodiscard]] std::string Row(uint32_t y) const {
    std::string s;
    for (uint32_t x = 0; x < width; ++x) {
      s += Black(x, y) ? '1' : '0';
    }
    return s;
  }
};

// Reads the picture's headers; ok only for an uncompressed 1-bit file whose pixels fit the bytes.
[[nodiscard]] inline Bmp ReadBmp(const uint8_t* data, uint32_t size) {
  Bmp b;
  if (size < 62 || data[0] != 'B' || data[1] != 'M') {
    return b;
  }
  const uint32_t offset = Le32(data + 10);
  b.width = Le32(data + 18);
  b.height = Le32(data + 22);
  if (Le16(data + 28) != 1 || Le32(data + 30) != 0 || offset > size) {
    return b;
  }
  b.stride = (b.width + 31) / 32 * 4;
  if (static_cast<uint64_t>(b.stride) * b.height > size - offset) {
    return b;
  }
  b.pixels = data + offset;
  b.ok = true;
  return b;
}

// Enlarges a 1-bit picture `factor` times in both directions, every pixel becoming a square block,
// and returns it as a BMP file of the same form. zbarimg misses some symbols drawn at one pixel per
// module; the enlarged copy carries exactly the same modules.
[[nodiscard]] inline std::vector<uint8_t> EnlargeBmp(const Bmp& in, uint32_t factor) {
  const uint32_t width = in.width * factor;
  const uint32_t height = in.height * factor;
  const uint32_t stride = (width + 31) / 32 * 4;
  std::vector<uint8_t> out(62 + static_cast<size_t>(stride) * height, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 62);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  out[26] = 1;
  out[28] = 1;
  put32(34, stride * height);
  out[54] = out[55] = out[56] = 255;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = out.data() + 62 + static_cast<size_t>(stride) * (height - 1 - y);
    for (uint32_t x = 0; x < width; ++x) {
      if (in.Black(x / factor, y / factor)) {
        row[x / 8] = static_cast<uint8_t>(row[x / 8] | (0x80u >> (x % 8)));
      }
    }
  }
  return out;
}

// Turns element widths ("211412 111323 ...", bar first, spaces between digits ignored) into module
// flags with the 8-module quiet zone on both sides.
[[nodiscard]] inline std::string ModulesFromWidths(const std::string& widths) {
  std::string s(8, '0');
  bool bar = true;
  for (char c : widths) {
    if (c < '1' || c > '9') {
      continue;
    }
    s.append(static_cast<size_t>(c - '0'), bar ? '1' : '0');
    bar = !bar;
  }
  s.append(8, '0');
  return s;
}

// A temporary folder, removed with its files at the end of the test.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/tw_barcode_XXXXXX";
    const char* made = mkdtemp(tmpl);
    path_ = made != nullptr ? made : "";
  }
  ~TempDir() {
    if (!path_.empty()) {
      std::string cmd = "rm -rf '" + path_ + "'";
      (void)std::system(cmd.c_str());
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] const std::string& Path() const { return path_; }

  // Writes bytes to a file of the folder; returns its full path (empty on failure).
  [[nodiscard]] std::string Write(const std::string& name, const uint8_t* data, uint32_t size) const {
    std::string file = path_ + "/" + name;
    FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr) {
      return "";
    }
    const bool written = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written ? file : "";
  }

 private:
  std::string path_;
};

// One symbol zbarimg found.
struct Decoded {
  std::string type;       // "CODE-128", "I2/5" ...
  std::string modifiers;  // "GS1" when the symbol starts with FNC1
  std::string data;
};

[[nodiscard]] inline std::string Attribute(const std::string& tag, const std::string& name) {
  std::string key = name + "='";
  size_t p = tag.find(key);
  if (p == std::string::npos) {
    return "";
  }
  p += key.size();
  size_t e = tag.find('\'', p);
  return e == std::string::npos ? "" : tag.substr(p, e - p);
}

// Runs zbarimg once over all `files` and returns the symbols found in each file (by full path).
// Interleaved 2 of 5 is accepted from 2 digits on (zbar's own default minimum is 6).
[[nodiscard]] inline std::map<std::string, std::vector<Decoded>> DecodeFiles(const std::vector<std::string>& files,
                                                                            bool* ran) {
  std::map<std::string, std::vector<Decoded>> found;
  std::string cmd = "zbarimg --nodbus --xml -Si25.min-length=2";
  for (const std::string& f : files) {
    cmd += " '" + f + "'";
  }
  cmd += " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  *ran = p != nullptr;
  if (p == nullptr) {
    return found;
  }
  std::string out;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
    out.append(buf, n);
  }
  const int status = pclose(p);
  // zbarimg exits 0 when something was found, 4 when nothing was; 127 means it is not installed.
  *ran = WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 4) &&
         out.find("<barcodes") != std::string::npos;

  std::string source;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t lt = out.find('<', pos);
    if (lt == std::string::npos) {
      break;
    }
    size_t gt = out.find('>', lt);
    if (gt == std::string::npos) {
      break;
    }
    std::string tag = out.substr(lt, gt - lt + 1);
    pos = gt + 1;
    if (tag.rfind("<source", 0) == 0) {
      source = Attribute(tag, "href");
      found[source];
    } else if (tag.rfind("<symbol", 0) == 0) {
      Decoded d;
      d.type = Attribute(tag, "type");
      d.modifiers = Attribute(tag, "modifiers");
      const std::string open = "<data><![CDATA[";
      size_t ds = out.find(open, pos);
      size_t de = out.find("]]></data>", ds == std::string::npos ? pos : ds);
      if (ds != std::string::npos && de != std::string::npos) {
        d.data = out.substr(ds + open.size(), de - ds - open.size());
        pos = de;
      }
      found[source].push_back(d);
    }
  }
  return found;
}

}  // namespace barcode_test
