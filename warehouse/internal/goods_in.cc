#include "warehouse/internal/goods_in.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/numbering.h"

namespace tw::warehouse {

namespace {
std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}
}  // namespace

void MakeBatch(int32_t icid, char batch[kGoodsInTextMax + 1]) {
  const std::tm t = LocalNow();
  std::snprintf(batch, kGoodsInTextMax + 1, "%d%02d%02d%02d%06u", t.tm_year % 100, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                static_cast<unsigned>(icid > 0 ? icid : 0));
}

void DrawGoodsInNumber(PoolSlot& slot, int32_t icid, char number[kGoodsInTextMax + 1]) {
  number[0] = '\0';
  char text[kNumberTextBytes] = "";
  int64_t value = 0;
  if (GenerateNumber(slot, icid, "8831*", text, &value) == 0 || value <= 0) return;
  // A number the goods-in column cannot hold is not used.
  if (std::strlen(text) > kGoodsInTextMax) return;
  std::memcpy(number, text, std::strlen(text) + 1);
}

int32_t TodayNumber() {
  const std::tm t = LocalNow();
  return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

}  // namespace tw::warehouse
