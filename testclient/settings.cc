#include "testclient/settings.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "util/codepage.h"

namespace tw {

namespace {

constexpr size_t kHostOffset = 0;
constexpr size_t kPortOffset = 64;
constexpr size_t kApiTypeOffset = 68;
constexpr size_t kClientIdOffset = 72;
constexpr size_t kPageCodeOffset = 76;
constexpr size_t kKeyOffset = 80;
static_assert(kKeyOffset + kSettingsTextSize == kSettingsRecordSize);

void PutInt32(SettingsRecord& r, size_t at, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) {
    r[at + i] = static_cast<unsigned char>(v >> (8 * i));
  }
}

int32_t GetInt32(const SettingsRecord& r, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    v |= static_cast<uint32_t>(r[at + i]) << (8 * i);
  }
  return static_cast<int32_t>(v);
}

void PutText(SettingsRecord& r, size_t at, const std::string& text) {
  // The record is zero-filled already; at most 63 bytes, whole characters only.
  size_t n = GbkPrefixLength(text.data(), std::strlen(text.c_str()), kSettingsTextSize - 1);
  std::memcpy(r.data() + at, text.data(), n);
}

std::string GetText(const SettingsRecord& r, size_t at) {
  const char* p = reinterpret_cast<const char*>(r.data() + at);
  // Byte 63 ends the text whatever the file holds there.
  return std::string(p, strnlen(p, kSettingsTextSize - 1));
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

}  // namespace

SettingsRecord EncodeSettings(const TestForm& form) {
  SettingsRecord r{};
  PutText(r, kHostOffset, form.host);
  PutInt32(r, kPortOffset, form.port);
  PutInt32(r, kApiTypeOffset, form.apiType);
  PutInt32(r, kClientIdOffset, form.clientId);
  PutInt32(r, kPageCodeOffset, form.pageCode);
  PutText(r, kKeyOffset, form.key);
  return r;
}

void DecodeSettings(const SettingsRecord& r, TestForm& form) {
  form.host = GetText(r, kHostOffset);
  form.port = GetInt32(r, kPortOffset);
  int apiType = GetInt32(r, kApiTypeOffset);
  form.apiType = (apiType >= kApiNameValue && apiType <= kApiOriginal) ? apiType : kApiOriginal;
  form.clientId = GetInt32(r, kClientIdOffset);
  int pageCode = GetInt32(r, kPageCodeOffset);
  form.pageCode = (pageCode == kPageUtf8) ? kPageUtf8 : kPageGbk;
  form.key = GetText(r, kKeyOffset);
}

bool LoadSettingsFile(const std::string& path, TestForm& form) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    return false;
  }
  // One byte more than a record tells a longer file apart.
  unsigned char buf[kSettingsRecordSize + 1];
  size_t n = std::fread(buf, 1, sizeof buf, f.get());
  if (n != kSettingsRecordSize) {
    return false;
  }
  SettingsRecord r;
  std::memcpy(r.data(), buf, kSettingsRecordSize);
  DecodeSettings(r, form);
  return true;
}

bool SaveSettingsFile(const std::string& path, const TestForm& form) {
  SettingsRecord r = EncodeSettings(form);
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) {
    return false;
  }
  bool ok = std::fwrite(r.data(), 1, r.size(), f.get()) == r.size();
  return std::fclose(f.release()) == 0 && ok;
}

std::string ProgramFolder() {
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) {
    return "./";
  }
  std::string exe(buf.data(), static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

std::string GbkPathToFileSystem(std::string_view gbkPath) {
  std::string gbk(gbkPath);
  std::vector<char> out(gbk.size() * 3 + 1);
  GbkToUtf8(gbk.c_str(), out.data(), out.size());
  return std::string(out.data());
}

}  // namespace tw
