// The static objects of the server room, built after those of every room below (the library links
// the rooms bottom first: core, pricing, carriers, services, pda, warehouse, then this one) and so
// destroyed before them when the library unloads. The filter object, built last, is destroyed first:
// its destructor joins the label worker, closes the pool and deletes the carrier clients while
// everything else still stands.

#include <ctime>

#include "server/extension.h"

namespace {
int DayOfYearNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_yday + 1;
}
}  // namespace

CEvent g_TransBagLock(false, false);
CTarnwickExtension theExtension;
int g_nLoadDayOfYear = DayOfYearNow();
CTarnwickFilter theFilter;
