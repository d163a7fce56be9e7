#include "core/config.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/db.h"
#include "core/extension.h"
#include "core/pool.h"
#include "carriers/carrier_clients.h"
#include "carriers/return_address.h"
#include "core/numbering.h"
#include "pricing/field_check.h"
#include "pricing/kind_fill.h"
#include "pricing/ostrum_container.h"
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

// ---------------------------------------------------------------------------------------------------
// The configuration loader.

namespace {

constexpr uint32_t kSlotRetryMs = 1000;
constexpr char kIniFileName[] = "tarnwick.ini";
constexpr char kReturnAddressFileName[] = "Return_addr.txt";
constexpr unsigned kMaxEubAccounts = 50;
constexpr long kCarrierFileMinBytes = 50;
constexpr size_t kCarrierFileClearBytes = 8192;

// Reads one carrier settings file into buffer; true when it has at least 50 bytes.
bool ReadCarrierFile(const std::string& name, char* buffer) {
  std::memset(buffer, 0, kCarrierFileClearBytes);
  std::string path = ExtensionSettings.moduleFolder + name;
  return ReadWholeFile(path.c_str(), buffer, kSettingsFileMaxBytes) >= kCarrierFileMinBytes;
}

// The carrier clients of the module folder's settings files: China Post EUB accounts 1, 2, ... up to
// 50 (a missing file or one that does not load ends the series), then Australia Post and SF Express.
void LoadCarrierSettings(char* buffer) {
  for (unsigned n = 1; n <= kMaxEubAccounts; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "EPostApi_set_%u.txt", n);
    if (!ReadCarrierFile(name, buffer)) break;
    auto client = std::make_unique<CEubClient>();
    if (client->LoadSettings(n, buffer) == 0) break;
    g_EubClients.push_back(std::move(client));
    if (g_pEubClient == nullptr) g_pEubClient = g_EubClients.front().get();
  }
  if (ReadCarrierFile("AUPostxApi_set_1.txt", buffer)) {
    g_pAuPostClient = std::make_unique<CAuPostClient>();
    if (g_pAuPostClient->LoadSettings(1, buffer) == 0) g_pAuPostClient.reset();
  }
  if (ReadCarrierFile("SFExApi_set_1.txt", buffer)) {
    g_pSfClient = std::make_unique<CSfClient>();
    if (g_pSfClient->LoadSettings(1, buffer) == 0) g_pSfClient.reset();
  }
}
constexpr size_t kReturnAddressFileMaxBytes = 500000;
constexpr size_t kReturnAddressClearBytes = 64000;

// The site value: dictionary row "45", lower-cased.
void ReadSiteValue(PoolSlot& slot) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) return;
  char value[256] = {0};
  st.BindText(1, value, sizeof value);
  if (!DbOk(st.ExecDirect("SELECT dcvalue FROM dorvane.dbo.sys_dict WHERE dcname='45'"))) return;
  if (!DbOk(st.Fetch())) return;
  // A value longer than the field keeps its first 35 characters.
  tw::CopyTextLimited(ExtensionSettings.site, value, sizeof ExtensionSettings.site - 1);
  for (char* p = ExtensionSettings.site; *p != '\0'; ++p) {
    *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  }
}

}  // namespace

int CTarnwickExtension::LoadConfiguration() {
  int index = AcquirePoolSlot();
  while (index < 0) {
    if (g_bStopping.load() != 0 || g_bPoolOpen.load() == 0) return 0;
    tw::Sleep(kSlotRetryMs);
    index = AcquirePoolSlot();
  }
  PoolSlotGuard guard(index);
  PoolSlot& slot = guard.slot();

  ReadSiteValue(slot);

  std::string path = ExtensionSettings.moduleFolder + kIniFileName;
  char* text = slot.szReply;
  if (ReadWholeFile(path.c_str(), text, kSettingsFileMaxBytes) <= 0) return 0;

  ReadWatermarkSettings(text, WatermarkSettings);
  CleanPictureFolder(ExtensionSettings.moduleFolder + kPictureFolderName);

  if (GetSettingInt("启用Ostrum容器=", text, 0) == 1) {
    uint32_t start = tw::GetTickCount();
    g_OstrumContainer.Load(slot);
    char line[300];
    std::snprintf(line, sizeof line, "启用Ostrum容器:%s,%u ms", g_OstrumContainer.GetLoadSummary(),
                  tw::GetTickCount() - start);
    WriteLog(line, "TARNWICK");
  }

  const char* fieldChecks = std::strstr(text, "<快递业务字段检查定义开始>");

  ExtensionSettings.defaultInternalRuleId = GetSettingInt("内单号生成ID=", text, 0);
  GetSettingText("IP=", text, ExtensionSettings.trustedAddress, sizeof ExtensionSettings.trustedAddress, 5, 15, true);
  GetSettingText("KEY=", text, ExtensionSettings.partnerKey, sizeof ExtensionSettings.partnerKey, 1, 30, true);
  GetSettingText("TEST_PASS=", text, ExtensionSettings.testPassword, sizeof ExtensionSettings.testPassword, 1, 30,
                 true);
  ExtensionSettings.urlEncode = GetSettingInt("URL_ENCODE=", text, 0);
  GetSettingText("PAYWSJ_KEY=", text, ExtensionSettings.payWsjKey, sizeof ExtensionSettings.payWsjKey, 1, 63, true);
  ExtensionSettings.payWsjAccount = GetSettingInt("PAYWSJ_ACCOUNT=", text, 0);
  if (ExtensionSettings.trustedAddress[0] == '\0') return 0;

  g_TransferNumberRules = ParseNumberRules(text, kTransferRulesStart, kTransferRulesEnd);
  g_InternalNumberRules = ParseNumberRules(text, kInternalRulesStart, kInternalRulesEnd);
  // The field-check block, from its start marker on, goes to the field-check loader (pricing).
  g_FieldCheckList.Load(fieldChecks);
  LoadEmsKindExFields(text);

  ExtensionSettings.ownAddress = GetLocalIp();

  LoadCarrierSettings(text);

  std::memset(text, 0, kReturnAddressClearBytes);
  path = ExtensionSettings.moduleFolder + kReturnAddressFileName;
  if (ReadWholeFile(path.c_str(), text, kReturnAddressFileMaxBytes) > 0) g_ReturnAddressList.Load(text);
  return 1;
}
