// The static objects of the library, in the order they are built when the library loads; they are
// destroyed in the reverse order when it unloads. The filter object, built last, is destroyed first:
// its destructor joins the label worker and closes the pool while everything else still stands.

#include <ctime>

#include "carriers/carrier_clients.h"
#include "carriers/label_worker.h"
#include "carriers/return_address.h"
#include "core/caches.h"
#include "core/extension.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "pricing/ostrum_container.h"

namespace {
int DayOfYearNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_yday + 1;
}
}  // namespace

std::atomic<int32_t> g_bLogEnabled{0};

CEvent g_LabelWorkerStopEvent(false, false);
CClientKeyCache g_ClientKeyCache;
std::vector<NumberRule> g_TransferNumberRules;
std::vector<NumberRule> g_InternalNumberRules;
CEvent g_PayWsjLock(false, false);
CEvent g_TransBagLock(false, false);
COstrumContainer g_OstrumContainer;
CReturnAddressList g_ReturnAddressList;
CTarnwickExtension theExtension;
LabelJobQueue g_LabelJobQueue;
std::vector<std::unique_ptr<CEubClient>> g_EubClients;
CEubClient* g_pEubClient = nullptr;
std::unique_ptr<CAuPostClient> g_pAuPostClient;
std::unique_ptr<CSfClient> g_pSfClient;
int g_nLoadDayOfYear = DayOfYearNow();
CTarnwickFilter theFilter;
