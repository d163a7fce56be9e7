// The place and base-price look-ups of the quotes: cp_query_sys_place and cp_get_base_price, run
// prepared on each connection with their values as parameters.

#include <cstring>

#include "core/db.h"
#include "core/pool.h"
#include "core/result_codes.h"
#include "pricing/quote.h"

namespace {

constexpr size_t kDestinationMax = 63;
constexpr int kBasePriceNone = -4;

DbPreparedSql kSysPlaceSql("{?=CALL dorvane.dbo.cp_query_sys_place(?,?,?,?,?,?,$1)}");
DbPreparedSql kBasePriceSql("{?=CALL dorvane.dbo.cp_get_base_price($1,$2,$3,$4)}");

}  // namespace

int QuerySysPlace(PoolSlot& slot, const char* text, SysPlace* place) {
  *place = SysPlace{};
  const size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length == 0 || length > kDestinationMax) {
    return 0;
  }
  DbStatement st(slot.hDbc);
  if (!st.ok()) {
    return kRcDbFailed;
  }
  int32_t found = 0;
  st.BindOutInt(1, &found);
  st.BindOutInt(2, &place->iid);
  st.BindOutInt(3, &place->narea);
  st.BindOutText(4, place->carea, 30, sizeof place->carea);
  st.BindOutText(5, place->careae, 63, sizeof place->careae);
  st.BindOutText(6, place->czipcode, 11, sizeof place->czipcode);
  st.BindOutText(7, place->ccode, 7, sizeof place->ccode);
  if (!DbOk(st.ExecPrepared(kSysPlaceSql, DbParams().SqlText(text)))) {
    return kRcDbFailed;
  }
  return found == 1 && place->carea[0] != '\0' ? 1 : 0;
}

int GetBasePriceByProc(PoolSlot& slot, const char* place, const char* kind, int itemType, int32_t grams) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) {
    return kRcDbFailed;
  }
  int32_t price = kBasePriceNone;
  st.BindOutInt(1, &price);
  if (!DbOk(st.ExecPrepared(kBasePriceSql, DbParams().Int(itemType).Int(grams).SqlText(kind).SqlText(place)))) {
    return kRcDbFailed;
  }
  return price;
}
