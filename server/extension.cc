// The extension and filter objects: start-up, the parse map, shutdown.

#include "server/extension.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "carriers/carrier_clients.h"
#include "carriers/label_worker.h"
#include "core/config.h"
#include "core/db.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "core/reply.h"
#include "platform/registry_store.h"
#include "pricing/zone_table.h"
#include "services/handlers.h"
#include "services/kind_aliases.h"

namespace {

constexpr char kModuleFileName[] = "Tarnwick.so";
constexpr char kFilterDescription[] = "Tarnwick Filter";
constexpr char kExtensionDescription[] = "Tarnwick Extension";
constexpr uint32_t kStopGraceMs = 100;

// The notification flags of the filter: low priority, end of net session, both kinds of port.
constexpr DWORD kFilterPriorityMask = 0xC0000;
constexpr DWORD kFilterFlags = SF_NOTIFY_ORDER_LOW | SF_NOTIFY_END_OF_NET_SESSION | SF_NOTIFY_NONSECURE_PORT |
                               SF_NOTIFY_SECURE_PORT;

void StartupFailed(const char* what) { std::fprintf(stderr, "Tarnwick: start-up failed: %s\n", what); }

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

// The folders: the module folder (of the library file, unless TARNWICK_MODULE_DIR names another), its
// parent, and the log folder (TARNWICK_LOG_DIR, else the parent's Tarnwick_LOG/).
bool FindFolders() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&FindFolders), &info) == 0 || info.dli_fname == nullptr) {
    StartupFailed("the library cannot find its own file");
    return false;
  }
  std::string file = info.dli_fname;
  size_t slash = file.rfind('/');
  std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  if (name != kModuleFileName) {
    std::string why = "the library file is named " + name + ", not " + kModuleFileName;
    StartupFailed(why.c_str());
    return false;
  }
  char resolved[4096];
  std::string folder = slash == std::string::npos ? std::string(".") : file.substr(0, slash);
  if (realpath(folder.c_str(), resolved) != nullptr) folder = resolved;
  if (const char* env = std::getenv("TARNWICK_MODULE_DIR"); env != nullptr && *env != '\0') folder = env;
  ExtensionSettings.moduleFolder = WithSlash(folder);

  std::string module = ExtensionSettings.moduleFolder;
  size_t cut = module.size() >= 2 ? module.rfind('/', module.size() - 2) : std::string::npos;
  ExtensionSettings.parentFolder = cut == std::string::npos ? module : module.substr(0, cut + 1);

  if (const char* env = std::getenv("TARNWICK_LOG_DIR"); env != nullptr && *env != '\0') {
    ExtensionSettings.logFolder = WithSlash(env);
  } else {
    ExtensionSettings.logFolder = ExtensionSettings.parentFolder + "Tarnwick_LOG/";
  }
  // The log folder is made when missing, so that the first entry has somewhere to go.
  ::mkdir(ExtensionSettings.logFolder.c_str(), 0755);
  return true;
}

void SignalStop() {
  if (g_bStopping.load() == 0) {
    tw::Sleep(kStopGraceMs);
    g_bStopping.store(1);
  }
  g_LabelWorkerStopEvent.SetEvent();
}

}  // namespace

void StartupTrace(const char*) {}

// What happened to a database connection (lost, reopened): on standard error and in the day's
// "DATABASE" log.
void LogDatabaseEvent(const char* text) {
  std::fprintf(stderr, "Tarnwick: %s\n", text);
  WriteLog(text, "DATABASE");
}

// ---------------------------------------------------------------------------------------------------
// CTarnwickExtension

CTarnwickExtension::CTarnwickExtension() : CHttpServer('&') {}

CTarnwickExtension::~CTarnwickExtension() {
  g_bLogEnabled.store(0);
  SignalStop();
}

const std::vector<ParseMapEntry>& CTarnwickExtension::GetParseMap() const {
  using E = ParseMapEntry;
  auto raw = [](const char* name, void (CTarnwickExtension::*fn)(CHttpServerContext*, char*, int)) {
    E e{name, E::kRaw};
    e.raw = static_cast<E::RawCommand>(fn);
    return e;
  };
  static const std::vector<ParseMapEntry> kParseMap = [&] {
    std::vector<ParseMapEntry> map;
    E barcode{"DoBarCode", E::kTyped};
    barcode.typed = static_cast<E::TypedCommand>(&CTarnwickExtension::DoBarCodeArgs);
    barcode.paramDecl = "ccode= ih=30 iwz=1 idir=0 ntype=0 cmask=";
    barcode.paramTypes = "shhhhs";
    map.push_back(barcode);
    map.push_back(raw("DoPda", &CTarnwickExtension::DoPda));
    map.push_back(raw("DoChk", &CTarnwickExtension::DoChk));
    map.push_back(raw("DoApi", &CTarnwickExtension::DoApi));
    map.push_back(raw("WeChat", &CTarnwickExtension::WeChat));
    map.push_back(raw("PayWsj", &CTarnwickExtension::PayWsj));
    map.push_back(raw("DoApp", &CTarnwickExtension::DoApp));
    map.push_back(raw("Do", &CTarnwickExtension::Do));
    E about{"Default", E::kEmpty};
    about.empty = static_cast<E::EmptyCommand>(&CTarnwickExtension::Default);
    map.push_back(about);
    E fallback{nullptr, E::kEmpty};
    fallback.empty = static_cast<E::EmptyCommand>(&CTarnwickExtension::Default);
    map.push_back(fallback);
    return map;
  }();
  return kParseMap;
}

void CTarnwickExtension::DoBarCodeArgs(CHttpServerContext* pCtxt, const CHttpArgs& args) {
  DoBarCode(pCtxt, args.Text(0), args.Short(1), args.Short(2), args.Short(3), args.Short(4), args.Text(5));
}

BOOL CTarnwickExtension::GetExtensionVersion(HSE_VERSION_INFO* pVer) {
  CHttpServer::GetExtensionVersion(pVer);
  if (pVer != nullptr) {
    std::snprintf(pVer->lpszExtensionDesc, sizeof pVer->lpszExtensionDesc, "%s", kExtensionDescription);
  }
  // The kind alias table, on a slot taken like any other user's (none when the pool did not open).
  {
    PoolSlotGuard slot;
    if (slot.ok()) LoadEmsKindAliases(slot.slot());
  }
  OpenNumberLock();
  g_PayWsjLock.SetEvent();
  g_TransBagLock.SetEvent();
  g_bLogEnabled.store(1);
  // The postcode zone and price tables.
  LoadZipChoiceTables();
  return TRUE;
}

BOOL CTarnwickExtension::TerminateExtension(DWORD) {
  g_bStopping.store(1);
  return TRUE;
}

// ---------------------------------------------------------------------------------------------------
// CTarnwickFilter

BOOL CTarnwickFilter::GetFilterVersion(HTTP_FILTER_VERSION* pVer) {
  StartupTrace("GetFilterVersion");
  CHttpFilter::GetFilterVersion(pVer);
  if (pVer != nullptr) {
    pVer->dwFlags = (pVer->dwFlags & ~kFilterPriorityMask) | kFilterFlags;
    std::snprintf(pVer->lpszFilterDesc, sizeof pVer->lpszFilterDesc, "%s", kFilterDescription);
  }
  if (!FindFolders()) return FALSE;
  StartupTrace("registry login");
  if (!ReadRegistryLogin()) {
    std::string why = std::string("the registry key HKEY_LOCAL_MACHINE\\") + kLoginRegistryKey +
                      " or one of its values Item1, Item2, Item5 cannot be read from " + RegistryFilePath();
    StartupFailed(why.c_str());
    return FALSE;
  }
  StartupTrace("database connections");
  DbSetLog(&LogDatabaseEvent);
  char why[1024];
  if (!ConnectPool(ExtensionSettings.dataSource.c_str(), ExtensionSettings.user.c_str(),
                   ExtensionSettings.password.c_str(), why, sizeof why)) {
    StartupFailed(why);
    return FALSE;
  }
  OpenPool();
  StartupTrace("configuration");
  theExtension.LoadConfiguration();
  g_LabelWorkerStopEvent.ResetEvent();
  StartLabelWorker();
  return TRUE;
}

DWORD CTarnwickFilter::OnEndOfNetSession(HTTP_FILTER_CONTEXT*) { return SF_STATUS_REQ_NEXT_NOTIFICATION; }

CTarnwickFilter::~CTarnwickFilter() {
  SignalStop();
  // The worker holds a slot: it ends before the connections close.
  StopLabelWorker();
  ClosePool();
  g_TransferNumberRules.clear();
  DeleteCarrierClients();
}
