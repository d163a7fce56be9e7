#include "testclient/form.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "util/codepage.h"
#include "util/datetime.h"

namespace tw {

namespace {

// The request paths by API type, each in a 64-byte text.
constexpr char kRequestPaths[3][64] = {
    "/cgi-bin/Tarnwick.dll",
    "/cgi-bin/Tarnwick.dll?DoApp",
    "/cgi-bin/Tarnwick.dll?DoApp",
};

// A typed text (one that differs from what the control showed) cut to the control's limit.
void Cut(std::string& text, const std::string& shown, size_t max) {
  if (text.size() > max && text != shown) {
    text.resize(GbkPrefixLength(text.data(), text.size(), max));
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

void ApplyLimits(TestForm& form, const TestForm& shown) {
  Cut(form.host, shown.host, kHostMax);
  Cut(form.key, shown.key, kKeyMax);
  Cut(form.requestName, shown.requestName, kRequestNameMax);
  Cut(form.jsonData, shown.jsonData, kJsonDataMax);
  Cut(form.frontPath, shown.frontPath, kPicturePathMax);
  Cut(form.backPath, shown.backPath, kPicturePathMax);
  Cut(form.kind, shown.kind, kKindMax);
  Cut(form.destination, shown.destination, kDestinationMax);
  Cut(form.idCardNo, shown.idCardNo, kIdCardNoMax);
  Cut(form.name, shown.name, kNameMax);
}

std::string TrimText(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(text[end - 1])) {
    --end;
  }
  return text.substr(begin, end - begin);
}

const char* RequestPath(int apiType) {
  return kRequestPaths[(apiType >= 0 && apiType <= 2) ? apiType : kApiOriginal];
}

std::string GbkToUtf8String(const std::string& gbk) {
  // A GBK byte becomes at most three UTF-8 bytes (0x80 is U+20AC).
  std::string out(gbk.size() * 3 + 1, '\0');
  GbkToUtf8(gbk.c_str(), out.data(), out.size());
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string Utf8ToGbkString(const std::string& utf8) {
  std::string out(utf8.size() + 1, '\0');
  size_t n = Utf8ToGbkText(utf8, out.data(), utf8.size(), nullptr);
  out.resize(n);
  return out;
}

int64_t TestClientTime() {
  const char* pinned = std::getenv("TARNWICK_TESTCLIENT_TIME");
  if (pinned != nullptr && *pinned != '\0') {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(pinned, &end, 10);
    if (errno == 0 && end != pinned && *end == '\0') {
      return v;
    }
  }
  return GetUtcTime();
}

}  // namespace tw
