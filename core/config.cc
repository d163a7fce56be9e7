#include "core/config.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/db.h"
#include "core/extension.h"
#include "core/pool.h"
#include "carriers/return_address.h"
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

  // Watermark settings and the picture folder clean-up come with the ID-card pictures.

  if (GetSettingInt("启用Ostrum容器=", text, 0) == 1) {
    uint32_t start = tw::GetTickCount();
    g_OstrumContainer.Load(slot);
    char line[300];
    std::snprintf(line, sizeof line, "启用Ostrum容器:%s,%u ms", g_OstrumContainer.GetLoadSummary(),
                  tw::GetTickCount() - start);
    WriteLog(line, "TARNWICK");
  }

  // The block markers come with the number rules, field checks and field fills.

  ExtensionSettings.defaultInternalRuleId = GetSettingInt("内单号生成ID=", text, 0);
  GetSettingText("IP=", text, ExtensionSettings.trustedAddress, sizeof ExtensionSettings.trustedAddress, 5, 15, true);
  GetSettingText("KEY=", text, ExtensionSettings.partnerKey, sizeof ExtensionSettings.partnerKey, 1, 30, true);
  GetSettingText("TEST_PASS=", text, ExtensionSettings.testPassword, sizeof ExtensionSettings.testPassword, 1, 30,
                 true);
  ExtensionSettings.urlEncode = GetSettingInt("URL_ENCODE=", text, 0);
  if (ExtensionSettings.trustedAddress[0] == '\0') return 0;

  // Number rules, field checks and field fills come with their own capabilities.

  ExtensionSettings.ownAddress = GetLocalIp();

  // The carrier settings files come with the carrier clients.

  std::memset(text, 0, kReturnAddressClearBytes);
  path = ExtensionSettings.moduleFolder + kReturnAddressFileName;
  if (ReadWholeFile(path.c_str(), text, kReturnAddressFileMaxBytes) > 0) g_ReturnAddressList.Load(text);
  return 1;
}
