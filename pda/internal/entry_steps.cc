#include "pda/internal/entry_steps.h"

#include <climits>
#include <cstdio>

#include "core/db.h"
#include "pricing/ostrum_container.h"
#include "pricing/prices.h"
#include "util/datetime.h"
#include "util/text.h"

namespace tw::pda {

namespace {

constexpr int kGramsPerKg = 1000;
constexpr double kMinKg = 0.001;
constexpr double kMinAmount = 0.01;

}  // namespace

int ReadStoredPieces(PoolSlot& slot, const char* sql, bool bGoods, PieceList& pieces) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) return -9;
  PieceItem row;
  int32_t percent = 0;
  st.BindInt(1, &row.length);
  st.BindInt(2, &row.width);
  st.BindInt(3, &row.height);
  st.BindInt(4, &row.weight);
  st.BindInt(5, &percent);
  if (bGoods) {
    st.BindText(6, row.cxGoods, sizeof row.cxGoods);
    st.BindInt(7, &row.quantity);
    st.BindInt(8, &row.price);
    st.BindText(9, row.cxGoodsA, sizeof row.cxGoodsA);
    st.BindText(10, row.cxGCodeA, sizeof row.cxGCodeA);
    st.BindText(11, row.cxGCodeB, sizeof row.cxGCodeB);
    st.BindText(12, row.cxGCodeC, sizeof row.cxGCodeC);
    st.BindDouble(13, &row.fxGCustom);
    st.BindDouble(14, &row.fxGCRate);
  }
  if (!DbOk(st.ExecDirect(sql))) return -9;
  int n = 0;
  for (;;) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) break;
    if (!DbOk(rc)) return -9;
    PieceItem p = row;
    p.percent = static_cast<uint8_t>(percent < 0 ? 0 : percent > 255 ? 255 : percent);
    p.index = static_cast<int32_t>(pieces.size()) + 1;
    pieces.push_back(p);
    ++n;
  }
  return n;
}

void WeighPieces(const CEmsKind& kind, const PieceList& pieces, double requestKg, double storedKg, WeighOutcome& out) {
  const char letter = GetVolumeDivisorCode(kind);
  int32_t grams = 0;
  double realKg = 0, cubicMetres = 0;
  const double charged =
      g_OstrumContainer.CalcChargeWeight(pieces, letter, kind.ncuball, &grams, &realKg, &cubicMetres, kind.nwtypec);
  double weight = requestKg;
  if (charged > weight) weight = charged;
  if (weight < kMinKg) weight = storedKg;
  out.weight = weight;
  out.realKg = realKg;
  out.cubicMetres = cubicMetres;
  out.recordWeight = (kind.nweights & 0xFF) != 0 ? realKg : weight;
  out.dims.clear();
  if (pieces.size() == 1 && pieces[0].length > 0 && pieces[0].width > 0 && pieces[0].height > 0) {
    out.dims = StringPrintf("%d*%d*%d", pieces[0].length, pieces[0].width, pieces[0].height);
  }
  if (letter != 0) out.dims += letter;
}

int PriceAgain(const RepriceQuery& q, bool bPriceCalc, PoolSlot& slot, RecordFees& fees) {
  if (!((bPriceCalc || fees.famount < kMinAmount) && q.weightKg >= kMinKg)) return kPriceNotAsked;
  PriceQuery p;
  p.kind = q.kind;
  p.clientId = q.clientId;
  p.recordId = q.recordId;
  tw::CopyTextLimited(p.origin, q.origin, sizeof p.origin - 1);
  tw::CopyTextLimited(p.destination, q.destination, sizeof p.destination - 1);
  p.pieceCount = q.pieceCount;
  const int64_t grams = tw::ScaleToInt(q.weightKg, kGramsPerKg);
  p.weight = static_cast<int32_t>(grams > INT32_MAX ? INT32_MAX : grams);
  p.activeClient = q.bActiveClient ? 1 : 0;
  p.itemType = static_cast<uint8_t>(q.itemType);
  p.customsFlag = static_cast<uint8_t>(q.customsFlag);
  if (g_OstrumContainer.GetClientPrice(p, slot, nullptr) != 0) {
    fees.famount = fees.Fees();
    return kPriceFailed;
  }
  if (fees.faother <= 0 && p.otherFeeCents > 0) fees.faother = Yuan(p.otherFeeCents);
  fees.faaddrate = p.fuelRate;
  fees.fabase = p.baseFreight;
  fees.faaddon = p.fuelAmount;
  fees.facustom = p.customsFee;
  fees.foprice = p.listFreight;
  fees.fdiscount = p.discountFactor;
  fees.focustomc = p.customsSetting;
  fees.famount = p.freight + fees.Fees();
  fees.fsprice = p.standardPrice + fees.Fees();
  return kPriced;
}

}  // namespace tw::pda
