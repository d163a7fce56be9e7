#include "platform/codepage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>

namespace tw {
namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "char16_t units are exchanged as UTF-16LE");

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kQuestion = u'?';
constexpr size_t kNoRoom = static_cast<size_t>(-1);

// The iconv name of a code page, or null when this system does not know it.
const char* IconvName(int codePage, char* scratch, size_t size) {
  switch (codePage) {
    case kCodePageGbk:
      return "CP936";
    case kCodePageEucJp:
      return "EUC-JP";
    case kCodePageJisX0212:
      return nullptr;
    default:
      break;
  }
  if (codePage <= 0 || codePage == kCodePageUtf8) {
    return nullptr;
  }
  int n = snprintf(scratch, size, "CP%d", codePage);
  return (n > 0 && static_cast<size_t>(n) < size) ? scratch : nullptr;
}

// Owns one iconv descriptor for the length of a call.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (ok()) {
      iconv_close(cd_);
    }
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Appends bytes to the caller's output, or only counts them when `out` is null.
class Sink {
 public:
  Sink(char* out, size_t size) : out_(out), size_(size) {}
  bool Put(const void* p, size_t n) {
    if (out_ != nullptr) {
      if (n > size_ - used_) {
        return false;
      }
      memcpy(out_ + used_, p, n);
    }
    used_ += n;
    return true;
  }
  char* cursor() { return out_ + used_; }
  size_t room() const { return size_ - used_; }
  void Advance(size_t n) { used_ += n; }
  bool counting() const { return out_ == nullptr; }
  size_t used() const { return used_; }

 private:
  char* out_;
  size_t size_;
  size_t used_ = 0;
};

// Runs iconv over the whole input; an input unit that cannot be converted is replaced by
// `fallback` and skipped (`unit` bytes). Returns the bytes produced, or kNoRoom.
size_t RunIconv(iconv_t cd, const char* in, size_t inLen, size_t unit, Sink& sink,
                const void* fallback, size_t fallbackLen, bool* usedFallback) {
  char* ip = const_cast<char*>(in);
  size_t left = inLen;
  char scratch[256];
  while (left > 0) {
    char* op;
    size_t room;
    if (sink.counting()) {
      op = scratch;
      room = sizeof scratch;
    } else {
      op = sink.cursor();
      room = sink.room();
    }
    char* const start = op;
    size_t r = iconv(cd, &ip, &left, &op, &room);
    size_t produced = static_cast<size_t>(op - start);
    sink.Advance(produced);
    if (r != static_cast<size_t>(-1)) {
      break;
    }
    if (errno == E2BIG) {
      if (sink.counting()) {
        continue;
      }
      return kNoRoom;
    }
    // EILSEQ or EINVAL (a sequence cut at the end): one unit becomes the fallback.
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (!sink.Put(fallback, fallbackLen)) {
      return kNoRoom;
    }
    if (usedFallback != nullptr) {
      *usedFallback = true;
    }
    size_t skip = unit <= left ? unit : left;
    ip += skip;
    left -= skip;
  }
  // Flush any shift state (none of our code pages has one, but iconv asks for it).
  char* op = sink.counting() ? scratch : sink.cursor();
  size_t room = sink.counting() ? sizeof scratch : sink.room();
  char* const start = op;
  if (iconv(cd, nullptr, nullptr, &op, &room) == static_cast<size_t>(-1)) {
    return kNoRoom;
  }
  sink.Advance(static_cast<size_t>(op - start));
  return sink.used();
}

// Decodes UTF-8 to UTF-16: each maximal invalid subpart becomes one U+FFFD.
size_t Utf8ToUtf16(const unsigned char* s, size_t n, Sink& sink) {
  size_t i = 0;
  while (i < n) {
    char32_t c = DecodeUtf8Char(s, n, &i);
    if (c >= 0x10000) {
      c -= 0x10000;
      char16_t pair[2] = {static_cast<char16_t>(0xD800 + (c >> 10)),
                          static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
      if (!sink.Put(pair, sizeof pair)) {
        return kNoRoom;
      }
    } else {
      char16_t u = static_cast<char16_t>(c);
      if (!sink.Put(&u, sizeof u)) {
        return kNoRoom;
      }
    }
  }
  return sink.used();
}

// Encodes UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
size_t Utf16ToUtf8(const char16_t* s, size_t n, Sink& sink) {
  for (size_t i = 0; i < n; ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    unsigned char b[4];
    if (!sink.Put(b, EncodeUtf8Char(c, b))) {
      return kNoRoom;
    }
  }
  return sink.used();
}

}  // namespace

char32_t DecodeUtf8Char(const unsigned char* s, size_t n, size_t* i) {
  size_t at = *i;
  uint32_t c = s[at];
  if (c < 0x80) {
    *i = at + 1;
    return c;
  }
  size_t need;
  uint32_t lo = 0x80;
  uint32_t hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    need = 1;
    c &= 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2;
    lo = c == 0xE0 ? 0xA0 : 0x80;
    hi = c == 0xED ? 0x9F : 0xBF;
    c &= 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 3;
    lo = c == 0xF0 ? 0x90 : 0x80;
    hi = c == 0xF4 ? 0x8F : 0xBF;
    c &= 0x07;
  } else {
    *i = at + 1;
    return kReplacement;
  }
  size_t j = at + 1;
  for (size_t k = 0; k < need; ++k, ++j) {
    if (j >= n || s[j] < lo || s[j] > hi) {
      *i = j;
      return kReplacement;
    }
    c = (c << 6) | (s[j] & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  *i = j;
  return c;
}

size_t EncodeUtf8Char(char32_t c, unsigned char out[4]) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
    c = kReplacement;
  }
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

bool IsCodePageKnown(int codePage) {
  if (codePage == kCodePageUtf8) {
    return true;
  }
  char name[16];
  const char* iname = IconvName(codePage, name, sizeof name);
  if (iname == nullptr) {
    return false;
  }
  IconvHandle h("UTF-16LE", iname);
  return h.ok();
}

int MultiByteToWideChar(int codePage, const char* src, int srcLen, char16_t* dst, int dstUnits) {
  if (src == nullptr || srcLen == 0 || dstUnits < 0 || (dstUnits > 0 && dst == nullptr)) {
    return 0;
  }
  size_t n = srcLen < 0 ? strlen(src) + 1 : static_cast<size_t>(srcLen);
  Sink sink(dstUnits == 0 ? nullptr : reinterpret_cast<char*>(dst),
            static_cast<size_t>(dstUnits) * sizeof(char16_t));
  size_t bytes;
  if (codePage == kCodePageUtf8) {
    bytes = Utf8ToUtf16(reinterpret_cast<const unsigned char*>(src), n, sink);
  } else {
    char name[16];
    const char* iname = IconvName(codePage, name, sizeof name);
    if (iname == nullptr) {
      return 0;
    }
    IconvHandle h("UTF-16LE", iname);
    if (!h.ok()) {
      return 0;
    }
    bytes = RunIconv(h.get(), src, n, 1, sink, &kQuestion, sizeof kQuestion, nullptr);
  }
  if (bytes == kNoRoom) {
    return 0;
  }
  return static_cast<int>(bytes / sizeof(char16_t));
}

int WideCharToMultiByte(int codePage, const char16_t* src, int srcLen, char* dst, int dstSize,
                        const char* defaultChar, bool* usedDefault) {
  if (usedDefault != nullptr) {
    *usedDefault = false;
  }
  if (src == nullptr || srcLen == 0 || dstSize < 0 || (dstSize > 0 && dst == nullptr)) {
    return 0;
  }
  size_t n = 0;
  if (srcLen < 0) {
    while (src[n] != 0) {
      ++n;
    }
    ++n;
  } else {
    n = static_cast<size_t>(srcLen);
  }
  Sink sink(dstSize == 0 ? nullptr : dst, static_cast<size_t>(dstSize));
  size_t bytes;
  if (codePage == kCodePageUtf8) {
    bytes = Utf16ToUtf8(src, n, sink);
  } else {
    char name[16];
    const char* iname = IconvName(codePage, name, sizeof name);
    if (iname == nullptr) {
      return 0;
    }
    IconvHandle h(iname, "UTF-16LE");
    if (!h.ok()) {
      return 0;
    }
    const char* fallback = defaultChar != nullptr && defaultChar[0] != 0 ? defaultChar : "?";
    bytes = RunIconv(h.get(), reinterpret_cast<const char*>(src), n * sizeof(char16_t),
                     sizeof(char16_t), sink, fallback, strlen(fallback), usedDefault);
  }
  if (bytes == kNoRoom || bytes > 0x7FFFFFFF) {
    return 0;
  }
  return static_cast<int>(bytes);
}

}  // namespace tw
