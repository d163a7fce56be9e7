#include "pricing/prices.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "core/db.h"
#include "core/result_codes.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/text.h"

namespace {

constexpr const char* kTableSuffix[kPriceClassCount] = {"", "1", "2"};

constexpr char kBandByNameSql[] =
    "SELECT a.iid,a.ibweight,a.ieweight,a.iweightper,a.iprice,a.itopprice,a.ntype,a.narea FROM "
    "dorvane.dbo.ems_price%s AS a INNER JOIN dorvane.dbo.ems_area AS b ON(a.narea=b.narea AND b.carea='%s' AND "
    "b.cemskind='%s') WHERE a.cemskind='%s' AND a.nitemtype=%u AND a.ibweight<%d AND a.ieweight>=%d "
    "ORDER BY a.ibweight,a.iid LIMIT 1";
constexpr char kBandByAreaSql[] =
    "SELECT a.iid,a.ibweight,a.ieweight,a.iweightper,a.iprice,a.itopprice,a.ntype FROM dorvane.dbo.ems_price%s "
    "AS a INNER JOIN dorvane.dbo.ems_area AS b ON(a.narea=b.narea AND b.cemskind='%s') WHERE a.cemskind='%s' AND "
    "a.narea=%u AND a.nitemtype=%u AND a.ibweight<%d AND a.ieweight>=%d ORDER BY a.ibweight,a.iid LIMIT 1";

constexpr int64_t kRatioSteps = 10000;    // DiscountRatio works in steps of 0.0001
constexpr int64_t kRatioMaxSteps = 99999;  // 9.9999

// ceil(x / y) for y > 0 and x >= 0.
int64_t CeilDiv(int64_t x, int64_t y) { return x / y + (x % y != 0 ? 1 : 0); }

// Amounts are held within +-10^15 cents, so that no product or sum of them leaves 64 bits whatever
// a table row holds.
constexpr int64_t kCentsLimit = 1000000000000000;

int64_t ClampCents(__int128 v) {
  return static_cast<int64_t>(v > kCentsLimit ? kCentsLimit : v < -kCentsLimit ? -kCentsLimit : v);
}

// Runs a band statement that reads the seven band columns (and, with area, the area number).
// Returns 1 with the band filled, 0 no row, -9 failure.
int ReadBand(PoolSlot& slot, PriceBand* band, int32_t* area) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) {
    return kRcDbFailed;
  }
  int32_t ntype = 0;
  st.BindInt(1, &band->iid);
  st.BindInt(2, &band->ibweight);
  st.BindInt(3, &band->ieweight);
  st.BindInt(4, &band->iweightper);
  st.BindInt(5, &band->iprice);
  st.BindInt(6, &band->itopprice);
  st.BindInt(7, &ntype);
  if (area != nullptr) {
    st.BindInt(8, area);
  }
  if (!DbOk(st.ExecDirect(slot.szSql))) {
    return kRcDbFailed;
  }
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) {
    return 0;
  }
  if (!DbOk(rc)) {
    return kRcDbFailed;
  }
  band->ntype = static_cast<uint8_t>(ntype);
  return 1;
}

bool ValidClass(int priceClass) { return priceClass >= 0 && priceClass < kPriceClassCount; }

}  // namespace

// ----- Discounts -------------------------------------------------------------------------------------

int32_t DiscountCodeOf(const uint8_t vdiscount[8], int itemType) {
  if (itemType < 0 || itemType > 3) {
    return kDiscountNone;
  }
  return vdiscount[itemType] * 100 + vdiscount[4 + itemType];
}

int64_t AdjustByDiscount(int64_t cents, int32_t code) {
  if (code < 1 || code == kDiscountNone) {
    return cents;
  }
  const __int128 p = ClampCents(cents);
  if (code < kDiscountNone) {
    return ClampCents(p - ((kDiscountNone - code) * p + 5000) / 10000);
  }
  return ClampCents(p + ((static_cast<__int128>(code) - kDiscountNone) * p + 5000) / 10000);
}

double DiscountToFactor(int32_t code) { return code == kDiscountNone ? 0.0 : code * 0.0001; }

double DiscountRatio(double base, double price) {
  const int64_t baseCents = CentsOf(base);
  const int64_t priceCents = CentsOf(price);
  if (baseCents < 1 || priceCents == baseCents) {
    return 0;
  }
  int64_t steps = ClampCents(static_cast<__int128>(priceCents) * kRatioSteps / baseCents);
  if (steps > kRatioMaxSteps) {
    steps = kRatioMaxSteps;
  }
  return static_cast<double>(steps) / static_cast<double>(kRatioSteps);
}

// ----- Money -----------------------------------------------------------------------------------------

int64_t CentsOf(double yuan) { return tw::ScaleToInt(yuan, 100); }

int64_t PercentOfCents(double rate, int64_t cents) {
  if (!std::isfinite(rate)) {
    return 0;
  }
  double v = rate * Yuan(cents) / 100.0;
  tw::RoundCents(v);
  const double limit = static_cast<double>(kCentsLimit);
  return std::llround(std::clamp(v * 100.0, -limit, limit));
}

int64_t PerKgCents(int64_t w, int64_t perKg) {
  // w g x perKg cents/kg = w x perKg / 1000 cents = w x perKg / 100 thousandths of a yuan.
  const __int128 milli = static_cast<__int128>(w) * perKg / 100;
  return ClampCents(milli >= 0 ? (milli + 5) / 10 : -((-milli + 5) / 10));
}

// ----- Bands -----------------------------------------------------------------------------------------

BandPrice ClientBandPrice(const PriceBand& band, int32_t w) {
  BandPrice p;
  p.accounted = band.ibweight;
  const int64_t w64 = w > 0 ? w : 0;
  switch (band.ntype) {
    case kBandFixed:
      p.cents = band.itopprice;
      break;
    case kBandPerStep:
      if (band.iweightper <= 0) {
        return p;
      }
      p.steps = CeilDiv(w64, band.iweightper);
      p.accounted = static_cast<int32_t>(band.iweightper * (w64 / band.iweightper));
      p.cents = ClampCents(static_cast<__int128>(p.steps) * band.iprice);
      break;
    case kBandPerKg:
      p.amountCents = PerKgCents(w, band.iprice);
      p.cents = ClampCents(static_cast<__int128>(p.amountCents) + band.itopprice);
      break;
    default: {
      if (band.iweightper <= 0) {
        return p;
      }
      const int64_t over = w > band.ibweight ? static_cast<int64_t>(w) - band.ibweight : 0;
      p.steps = CeilDiv(over, band.iweightper);
      p.accounted = static_cast<int32_t>(
          std::clamp<int64_t>(band.ibweight + band.iweightper * (over / band.iweightper), INT32_MIN, INT32_MAX));
      p.cents = ClampCents(band.itopprice + static_cast<__int128>(p.steps) * band.iprice);
      break;
    }
  }
  p.bValid = true;
  return p;
}

void AppendBandLines(std::string& text, const PriceBand& band, const BandPrice& price, int32_t w) {
  char line[256];
  const double step = Yuan(band.iprice);
  switch (band.ntype) {
    case kBandFixed:
      std::snprintf(line, sizeof line, "　%10.2f(速查%d-%d克)<BR>", Yuan(price.cents), band.ibweight, band.ieweight);
      text += line;
      break;
    case kBandPerStep:
      std::snprintf(line, sizeof line, "　%10.2f(总乘%.2f元/%d克:%.2f*%lld)<BR>", Yuan(price.cents), step,
                    band.iweightper, step, static_cast<long long>(price.steps));
      text += line;
      break;
    case kBandPerKg: {
      char kg[32];
      std::snprintf(kg, sizeof kg, "%.3f", static_cast<double>(w) / 1000.0);
      tw::TrimTrailingZeros(kg);
      std::snprintf(line, sizeof line, "　%10.2f(直乘%.2f元/公斤:%.2f*%s公斤)<BR>", Yuan(price.amountCents), step, step,
                    kg);
      text += line;
      if (band.itopprice >= 1) {
        std::snprintf(line, sizeof line, "+ %10.2f(额外加价)<BR>", Yuan(band.itopprice));
        text += line;
      }
      break;
    }
    default:
      std::snprintf(line, sizeof line, "　%10.2f(首重%d克)<BR>+ %10.2f(续重%.2f元/%d克:%.2f*%lld)<BR>",
                    Yuan(band.itopprice), band.ibweight, Yuan(price.cents - band.itopprice), step, band.iweightper,
                    step, static_cast<long long>(price.steps));
      text += line;
      break;
  }
}

int FindClientPriceBand(PriceBand* band, PoolSlot& slot, const char* kind, const char* areaName, int32_t w,
                        int priceClass, int itemType) {
  if (!ValidClass(priceClass)) {
    return 0;
  }
  const std::string escapedKind = tw::SqlEscape(kind);
  if (!FormatSql(slot.szSql, sizeof slot.szSql, kBandByNameSql, kTableSuffix[priceClass],
                 tw::SqlEscape(areaName).c_str(), escapedKind.c_str(), escapedKind.c_str(),
                 static_cast<unsigned>(itemType), w, w)) {
    return 0;
  }
  int32_t area = 0;
  const int rc = ReadBand(slot, band, &area);
  if (rc != 1) {
    return rc;
  }
  return area > 0 ? area : 0;
}

int FindClientPriceBandByArea(PriceBand* band, PoolSlot& slot, const char* kind, int area, int32_t w,
                              int priceClass, int itemType) {
  if (area <= 0 || !ValidClass(priceClass)) {
    return 0;
  }
  const std::string escapedKind = tw::SqlEscape(kind);
  if (!FormatSql(slot.szSql, sizeof slot.szSql, kBandByAreaSql, kTableSuffix[priceClass], escapedKind.c_str(),
                 escapedKind.c_str(), static_cast<unsigned>(area), static_cast<unsigned>(itemType), w, w)) {
    return 0;
  }
  const int rc = ReadBand(slot, band, nullptr);
  return rc == 1 ? area : rc;
}

int64_t PriceFromClientTable(PoolSlot& slot, const char* kind, const char* destination, int area, int32_t* weight,
                             int itemType, int priceClass, std::string* explanation) {
  const bool byName = destination != nullptr && destination[0] != '\0';
  if (!byName && area <= 0) {
    return 0;
  }
  PriceBand band;
  const int found = byName ? FindClientPriceBand(&band, slot, kind, destination, *weight, priceClass, itemType)
                           : FindClientPriceBandByArea(&band, slot, kind, area, *weight, priceClass, itemType);
  if (found <= 0) {
    return 0;
  }
  const BandPrice price = ClientBandPrice(band, *weight);
  if (!price.bValid) {
    return 0;
  }
  if (explanation != nullptr) {
    AppendBandLines(*explanation, band, price, *weight);
  }
  *weight = price.accounted;
  return price.cents;
}

// ----- Explanation lines -----------------------------------------------------------------------------

void AppendDiscountLine(std::string& text, bool bSegment, int64_t beforeCents, int32_t code, int64_t deltaCents) {
  const bool bAdded = code > kDiscountNone;
  const double percent = (bAdded ? code - kDiscountNone : kDiscountNone - code) / 100.0;
  const char* format = !bSegment ? "- %10.2f(折扣:%.2f*%.2f%%)<BR>"
                       : bAdded  ? "+ %10.2f(段折扣:%.2f*%.2f%%)\r\n"
                                 : "- %10.2f(段折扣:%.2f*%.2f%%)\r\n";
  char line[128];
  std::snprintf(line, sizeof line, format, Yuan(deltaCents < 0 ? -deltaCents : deltaCents), Yuan(beforeCents),
                percent);
  text += line;
}

void AppendFuelLine(std::string& text, int64_t cents, double rate) {
  char line[96];
  std::snprintf(line, sizeof line, "+ %10.2f(燃附%.2f%%)<BR>", Yuan(cents), rate);
  text += line;
}

void AppendCustomsLine(std::string& text, int64_t cents) {
  char line[64];
  std::snprintf(line, sizeof line, "+ %10.2f(报关费)<BR>", Yuan(cents));
  text += line;
}

void AppendFixedFeeLine(std::string& text, int64_t cents) {
  char line[64];
  std::snprintf(line, sizeof line, "+ %10.2f(固定杂费)\r\n", Yuan(cents));
  text += line;
}

void AppendTotalLine(std::string& text, int64_t cents) {
  char line[96];
  std::snprintf(line, sizeof line, "────────────────<BR> =%10.2f", Yuan(cents));
  text += line;
}
