#pragma once
// What the goods-in requests share: the batch and goods-in number a notice gets when the request
// names none, and today's date as the procedures take it.

#include <cstddef>
#include <cstdint>

struct PoolSlot;

namespace tw::warehouse {

inline constexpr size_t kGoodsInTextMax = 30;

// MakeBatch: "%d%02d%02d%02d%06u" of the year modulo 100, month, day and hour now and the client id
// (0 when none), into batch (kGoodsInTextMax + 1 bytes).
void MakeBatch(int32_t icid, char batch[kGoodsInTextMax + 1]);
// DrawGoodsInNumber: a new goods-in number of the rule "8831*" for the client, on the request's pool
// slot, into number (kGoodsInTextMax + 1 bytes); empty when none could be drawn. REQUIRES: no
// transaction is open on the slot's connection.
void DrawGoodsInNumber(PoolSlot& slot, int32_t icid, char number[kGoodsInTextMax + 1]);
// TodayNumber: today's local date as yyyymmdd.
[[nodiscard]] int32_t TodayNumber();

}  // namespace tw::warehouse
