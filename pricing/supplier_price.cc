// The suppliers the container keeps, and the supplier's cost of a shipment: its special price or the
// standard client price with the supplier's discount, its coefficient and the surcharges.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/db.h"
#include "pricing/ostrum_container.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/text.h"

namespace {

constexpr char kSupplierSql[] = "SELECT cname,nbatch,ntype FROM dorvane.dbo.sp_arc WHERE nstate=0 AND isid=%d";
constexpr char kSpPriceCallSql[] = "{?=CALL dorvane.dbo.cp_ee_get_sp_price(?,?,?,?,?,?,?,?,%d,'%s','%s',%d,%d)}";
constexpr size_t kColumnBytes = 256;
constexpr int32_t kFuelPosition = 1000;  // a price record at ipos 1000 or more charges the fuel surcharge
constexpr double kMinRate = 0.0001;
constexpr int64_t kMinCents = 1;

// The outputs of cp_ee_get_sp_price, in the order of its markers.
struct SpPriceReply {
  int32_t result = 0;  // below 0 standard price, 0 special destination price, above 0 special zone price
  int32_t bandStart = 0;
  int32_t bandEnd = 0;
  int32_t step = 0;
  int32_t stepPrice = 0;  // cents
  int32_t top = 0;        // cents
  int32_t rule = 0;
  int32_t addons = 0;
  int32_t segmentCode = 0;
};

// cents x coefficient, rounded to cents (held within +-10^15 cents).
int64_t TimesCoefficient(int64_t cents, double coefficient) {
  double v = Yuan(cents) * coefficient;
  tw::RoundCents(v);
  constexpr double kLimit = 1e15;
  return std::llround(std::clamp(v * 100.0, -kLimit, kLimit));
}

}  // namespace

const SupplierRecord* COstrumContainer::FindSupplier(int32_t isid) const {
  std::shared_lock<std::shared_mutex> lock(suppliersLock_);
  for (const auto& s : suppliers_) {
    if (s->isid == isid) {
      return s.get();
    }
  }
  return nullptr;
}

const SupplierRecord* COstrumContainer::LoadSupplier(int32_t isid, PoolSlot& slot) {
  if (const SupplierRecord* hit = FindSupplier(isid)) {
    return hit;
  }
  DbStatement st(slot.hDbc);
  if (!st.ok() || !FormatSql(slot.szSql, sizeof slot.szSql, kSupplierSql, isid)) {
    return nullptr;
  }
  SupplierRecord r;
  r.isid = isid;
  char name[kColumnBytes];
  st.BindText(1, name, sizeof name);
  st.BindInt(2, &r.nbatch);
  st.BindInt(3, &r.ntype);
  if (!DbOk(st.ExecDirect(slot.szSql)) || !DbOk(st.Fetch())) {
    return nullptr;
  }
  tw::CopyTextLimited(r.cname, name, sizeof r.cname - 1);
  std::unique_lock<std::shared_mutex> lock(suppliersLock_);
  for (const auto& s : suppliers_) {
    if (s->isid == isid) {
      return s.get();  // another request kept it meanwhile
    }
  }
  suppliers_.push_back(std::make_unique<SupplierRecord>(r));
  return suppliers_.back().get();
}

int COstrumContainer::GetSupplierPrice(SupplierPriceQuery& q, int bTakeFixedFee, PoolSlot& slot,
                                       std::string* breakdown) const {
  const CEmsKind& kind = *q.kind;
  q.customsSetting = kind.fscustoms;
  SpPriceReply reply;
  {
    DbStatement st(slot.hDbc);
    if (!st.ok() || !FormatSql(slot.szSql, sizeof slot.szSql, kSpPriceCallSql, q.supplierId,
                               tw::SqlEscape(kind.cemskind).c_str(), tw::SqlEscape(q.destination).c_str(), q.weight,
                               q.itemType)) {
      return -1;
    }
    int32_t* outs[] = {&reply.result, &reply.bandStart, &reply.bandEnd, &reply.step,        &reply.stepPrice,
                       &reply.top,    &reply.rule,      &reply.addons,  &reply.segmentCode};
    SQLUSMALLINT marker = 1;
    for (int32_t* out : outs) {
      st.BindOutInt(marker++, out);
    }
    if (!DbOk(st.ExecDirect(slot.szSql))) {
      return -1;
    }
  }

  const bool standard = reply.result < 0;
  bool fuelFlag = false;
  int32_t code = 0;
  int64_t special = 0;
  std::string lines;
  if (!standard) {
    fuelFlag = reply.addons != 0;
    PriceBand band;
    band.ibweight = reply.bandStart;
    band.ieweight = reply.bandEnd;
    band.iweightper = reply.step;
    band.iprice = reply.stepPrice;
    band.itopprice = reply.rule == kBandPerKg && reply.top < 0 ? 0 : reply.top;
    band.ntype = static_cast<uint8_t>(reply.rule);
    const BandPrice price = ClientBandPrice(band, q.weight);
    if (!price.bValid) {
      return -1;  // a stepped special band without a step prices nothing
    }
    special = price.cents;
    q.pricedWeight = price.accounted;
    q.bandStart = reply.bandStart;
    AppendBandLines(lines, band, price, q.weight);
  }

  int32_t w = q.weight;
  int64_t standardCents = PriceFromClientTable(slot, kind.cemskind, q.destination, 0, &w, q.itemType, 0,
                                               standard ? &lines : nullptr);
  if (standard) {
    q.pricedWeight = q.bandStart = w;
  }

  const SpPriceRecord* record = kind.GetSpPrice(q.supplierId, slot);
  if (record == nullptr) {
    return -1;
  }
  int64_t p = special;
  if (standard) {
    fuelFlag = record->ipos >= kFuelPosition;
    code = kind.GetSpDiscount(q.supplierId, q.itemType);
    if (standardCents <= 0) {
      return -1;
    }
    const bool bSegment = reply.segmentCode != 0;
    if (bSegment) {
      code = reply.segmentCode;
    }
    p = standardCents;
    if ((bSegment && code != kDiscountNone) || (!bSegment && code > 0 && code < kDiscountNone)) {
      const int64_t adjusted = AdjustByDiscount(p, code);
      AppendDiscountLine(lines, bSegment, p, code, adjusted - p);
      p = adjusted;
    }
  }

  const double coefficient = standard ? record->fsrate : record->fprate;
  if (coefficient > 0 && coefficient != 1) {
    p = TimesCoefficient(p, coefficient);
    char line[96];
    std::snprintf(line, sizeof line, "* %10.4f(系数)<BR>= %10.2f<BR>", coefficient, Yuan(p));
    lines += line;
  }
  q.freight = Yuan(p);
  q.fuelAmount = q.customsFee = q.fuelRate = 0;

  const double rate = kind.fsaddons;
  if (rate >= kMinRate && fuelFlag && p >= kMinCents) {
    const int64_t fuel = PercentOfCents(rate, record->nextra == 0 ? p : standardCents);
    p += fuel;
    q.fuelRate = rate;
    q.fuelAmount = Yuan(fuel);
    AppendFuelLine(lines, fuel, rate);
  }
  if (rate >= kMinRate) {
    standardCents += PercentOfCents(rate, standardCents);
  }
  if ((q.customsFlag != 0 || kind.nallcustoms != 0) && kind.fscustoms >= 0.01) {
    int64_t customs = CentsOf(kind.fscustoms);
    standardCents += customs;
    if (kind.ndiscounts == 1 && code > 0) {
      customs = AdjustByDiscount(customs, code);
    }
    q.customsFee = Yuan(customs);
    p += customs;
    AppendCustomsLine(lines, customs);
  }
  if (q.fixedFee < 0.01 && bTakeFixedFee != 0) {
    q.fixedFee = record->fother;
  }
  if (q.fixedFee >= 0.01) {
    const int64_t fixed = CentsOf(q.fixedFee);
    p += fixed;
    standardCents += fixed;
    AppendFixedFeeLine(lines, fixed);
  }
  q.standardPrice = Yuan(standardCents);
  q.total = Yuan(p);
  if (breakdown != nullptr) {
    AppendTotalLine(lines, p);
    *breakdown += lines;
  }
  return 0;
}
