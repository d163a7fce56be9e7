// The configuration loader of the start-up: the site value of the dictionary, then tarnwick.ini
// (the watermark, the picture folder emptied, the reference-data container, the frame's settings,
// the numbering rules, the field checks and the kind fill), then the carriers' files.

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "carriers/carrier_clients.h"
#include "core/config.h"
#include "core/db.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "core/reply.h"
#include "pricing/field_check.h"
#include "pricing/kind_fill.h"
#include "pricing/ostrum_container.h"
#include "server/extension.h"
#include "util/text.h"

namespace {

constexpr uint32_t kSlotRetryMs = 1000;
constexpr char kIniFileName[] = "tarnwick.ini";

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

  LoadCarrierFiles(text);
  return 1;
}
