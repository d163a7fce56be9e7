#include "core/config.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/registry.h"
#include "util/text.h"

ExtensionSettingsRecord ExtensionSettings;
WatermarkSettingsRecord WatermarkSettings;

namespace {

// The first occurrence of key that starts a line, or null.
const char* FindLineKey(const char* key, const char* text) {
  if (key == nullptr || text == nullptr || *key == '\0') return nullptr;
  const size_t n = std::strlen(key);
  for (const char* p = std::strstr(text, key); p != nullptr; p = std::strstr(p + 1, key)) {
    if (p == text || p[-1] == '\r' || p[-1] == '\n') return p + n;
  }
  return nullptr;
}

bool IsBlankOrBreak(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

void GetSettingText(const char* key, const char* text, char* out, size_t outSize, size_t minLen, size_t maxLen,
                    bool bTrim) {
  if (out == nullptr || outSize == 0) return;
  out[0] = '\0';
  const char* value = FindLineKey(key, text);
  if (value == nullptr) return;
  size_t len = std::strcspn(value, "\r\n");
  std::string copy(value, len);
  if (bTrim) {
    tw::TrimBlanksGbk(copy.data());
    copy.resize(std::strlen(copy.c_str()));
  }
  if (copy.size() < minLen || copy.size() > maxLen || copy.size() >= outSize) return;
  std::memcpy(out, copy.c_str(), copy.size() + 1);
}

int GetSettingInt(const char* key, const char* text, int def) {
  const char* value = FindLineKey(key, text);
  return value != nullptr ? std::atoi(value) : def;
}

void TrimBoth(char* text) {
  if (text == nullptr) return;
  size_t len = std::strlen(text);
  size_t start = 0;
  for (;;) {
    if (start < len && IsBlankOrBreak(static_cast<unsigned char>(text[start]))) {
      ++start;
    } else if (start + 1 < len && static_cast<unsigned char>(text[start]) == 0xA1 &&
               static_cast<unsigned char>(text[start + 1]) == 0xA1) {
      start += 2;
    } else {
      break;
    }
  }
  size_t end = len;
  for (;;) {
    if (end > start && IsBlankOrBreak(static_cast<unsigned char>(text[end - 1]))) {
      --end;
    } else if (end >= start + 2 && static_cast<unsigned char>(text[end - 1]) == 0xA1 &&
               static_cast<unsigned char>(text[end - 2]) == 0xA1) {
      end -= 2;
    } else {
      break;
    }
  }
  std::memmove(text, text + start, end - start);
  text[end - start] = '\0';
}

void StripQuotesAndTrim(char* text) {
  tw::RemoveChar(text, '\'');
  tw::RemoveChar(text, '"');
  TrimBoth(text);
}

char* AppendXmlElement(char* out, const char* outEnd, const char* text, const char* name) {
  if (out == nullptr || outEnd <= out) return out;
  const size_t room = static_cast<size_t>(outEnd - out);
  int n = (text == nullptr || *text == '\0') ? std::snprintf(out, room, "<%s/>\r\n", name)
                                             : std::snprintf(out, room, "<%s>%s</%s>\r\n", name, text, name);
  if (n < 0 || static_cast<size_t>(n) >= room) {
    *out = '\0';
    return out;
  }
  return out + n;
}

long ReadWholeFile(const char* path, char* buffer, size_t max) {
  if (buffer == nullptr) return -1;
  buffer[0] = '\0';
  FILE* f = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (f == nullptr) return -1;
  size_t got = std::fread(buffer, 1, max, f);
  int more = std::fgetc(f);
  std::fclose(f);
  if (more != EOF) {
    buffer[0] = '\0';
    return -2;
  }
  buffer[got] = '\0';
  return static_cast<long>(got);
}

void ReadWatermarkSettings(const char* text, WatermarkSettingsRecord& settings) {
  char value[32];  // every key takes at most 30 bytes
  GetSettingText("图片水印=", text, value, sizeof value, 2, 30, true);
  if (value[0] != '\0') std::snprintf(settings.text, sizeof settings.text, "  %s", value);
  // The transparency is found anywhere in the text, not only at a line start.
  if (const char* at = std::strstr(text, "水印透明=")) {
    double t = std::strtod(at + std::strlen("水印透明="), nullptr);  // the process keeps the C locale
    settings.transparency = static_cast<float>(t < 0 ? 0 : t > 1 ? 1 : t);
  }
  WatermarkSettingsRecord defaults;
  settings.red = defaults.red;
  settings.green = defaults.green;
  settings.blue = defaults.blue;
  settings.reserved = 0;
  std::memcpy(settings.font, defaults.font, sizeof settings.font);
  settings.fontSize = defaults.fontSize;
  settings.fontWeight = defaults.fontWeight;
  settings.width = defaults.width;
  settings.height = defaults.height;

  GetSettingText("水印颜色=", text, value, sizeof value, 10, 30, true);
  if (const char* rgb = std::strstr(value, "RGB(")) {
    const char* p = rgb + 4;
    uint8_t* channels[3] = {&settings.red, &settings.green, &settings.blue};
    for (uint8_t* channel : channels) {
      char* end = nullptr;
      long v = std::strtol(p, &end, 10);
      if (end == p) break;
      if (v >= 0 && v <= 255) *channel = static_cast<uint8_t>(v);
      p = end;
      if (*p != ',') break;
      ++p;
    }
  }
  GetSettingText("水印字体=", text, value, sizeof value, 10, 30, true);
  if (value[0] != '\0') tw::CopyTextLimited(settings.font, value, sizeof settings.font - 1);
  int n = GetSettingInt("水印字号=", text, 0);
  if (n >= 1 && n <= 59) settings.fontSize = n;
  n = GetSettingInt("水印加粗=", text, 0);
  if (n >= 100 && n <= 900) settings.fontWeight = n;
  n = GetSettingInt("图片质量=", text, 0);
  if (n >= 1 && n <= 100) settings.quality = n;
}

int CleanPictureFolder(const std::string& folder) {
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return 0;
  }
  int deleted = 0;
  while (dirent* entry = ::readdir(dir)) {
    struct stat st {};
    // lstat-like: a link is looked at itself, never followed.
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++deleted;
  }
  ::closedir(dir);
  return deleted;
}

bool ReadRegistryLogin() {
  CRegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kLoginRegistryKey, true) != ERROR_SUCCESS) return false;
  struct {
    const char* name;
    std::string* field;
  } const values[] = {
      {"Item1", &ExtensionSettings.dataSource},
      {"Item2", &ExtensionSettings.password},
      {"Item5", &ExtensionSettings.user},
  };
  for (const auto& v : values) {
    uint8_t buffer[128] = {0};
    DWORD size = sizeof buffer;
    if (key.QueryValue(v.name, buffer, &size) != ERROR_SUCCESS) return false;
    v.field->clear();
    if (UnscrambleRegistryValue(buffer, sizeof buffer) == kUnscrambleOk) {
      v.field->assign(reinterpret_cast<const char*>(buffer));
    }
  }
  key.Close();
  return true;
}

std::string GetLocalIp() {
  char host[256] = {0};
  if (gethostname(host, sizeof host - 1) != 0) return std::string();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* list = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) return std::string();
  char text[INET_ADDRSTRLEN] = {0};
  const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
  std::string result;
  if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) result = text;
  freeaddrinfo(list);
  return result;
}
