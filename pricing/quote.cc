#include "pricing/quote.h"

#include <cmath>

#include "pricing/prices.h"

namespace {

constexpr double kSideRoundUp = 0.9;
// A side a hair under its whole number after adding 0.9 (30.1 + 0.9 computed as 30.999...) still
// counts as that whole number.
constexpr double kSideEpsilon = 1e-9;
constexpr double kMinRate = 0.001;
constexpr double kMinFee = 0.001;

constexpr const char* kPriceKindText[] = {"(特殊目的地价)<BR>", "(特殊分区价)<BR>", "(同行报价)<BR>", "(会员价)<BR>"};

}  // namespace

int32_t QuoteSide(double cm) {
  if (!(cm > 0)) {
    return 0;
  }
  const double whole = std::floor(cm + kSideRoundUp + kSideEpsilon);
  return whole >= kQuoteSideMaxCm ? kQuoteSideMaxCm : static_cast<int32_t>(whole);
}

double QuotedWeightKg(double kg, double length, double width, double height, int32_t divisor) {
  const int64_t l = QuoteSide(length), w = QuoteSide(width), h = QuoteSide(height);
  if (l <= 0 || w <= 0 || h <= 0) {
    return kg;
  }
  const int64_t volume = l * w * h;
  const int64_t hundredths = divisor > 0 ? (volume * 100 + 5) / divisor : (volume / 6 + 5) / 10;
  const double volumeKg = static_cast<double>(hundredths) / 100.0;
  return volumeKg > kg || std::isnan(kg) ? volumeKg : kg;
}

PriceExplanation FormatPriceHtml(const PriceExplainInput& in) {
  PriceExplanation out;
  const BandPrice band = ClientBandPrice(in.band, in.grams);
  if (!band.bValid) {
    return out;
  }
  AppendBandLines(out.text, in.band, band, in.grams);
  int64_t t = band.cents;
  int32_t code = in.discountCode;
  const bool bMember = in.result >= kResultMember;
  if (in.result > kResultSpecialZone) {
    if (in.segmentCode != 0) {
      if (in.segmentCode != kDiscountNone) {
        const int64_t adjusted = AdjustByDiscount(t, in.segmentCode);
        AppendDiscountLine(out.text, true, t, in.segmentCode, adjusted - t);
        t = adjusted;
      }
      code = in.segmentCode;
    } else if (code > 0 && code < kDiscountNone) {
      const int64_t adjusted = AdjustByDiscount(t, code);
      AppendDiscountLine(out.text, false, t, code, adjusted - t);
      t = adjusted;
    }
  }
  const double rate = bMember ? in.dict86 : in.fuelRate;
  if (rate > kMinRate && (in.addons != 0 || in.result > kResultSpecialZone)) {
    const int64_t base = in.basePriceCents > 0 ? in.basePriceCents : 0;
    const int64_t fuel = in.nextra != 0 && !bMember ? PercentOfCents(rate, base) : PercentOfCents(rate, t);
    AppendFuelLine(out.text, fuel, rate);
    t += fuel;
  }
  const double fee = bMember ? in.dict87 : in.customsFee;
  if ((in.areaType > 0 || in.nallcustoms == 1) && fee > kMinFee) {
    int64_t customs = CentsOf(fee);
    if (in.ndiscountc == 1 && code != 0 && code != kDiscountNone) {
      customs = AdjustByDiscount(customs, code);
    }
    AppendCustomsLine(out.text, customs);
    t += customs;
  }
  if (in.fixedFeeCents > 0) {
    AppendFixedFeeLine(out.text, in.fixedFeeCents);
    t += in.fixedFeeCents;
  }
  AppendTotalLine(out.text, t);
  out.text += kPriceKindText[in.result < 0 ? 0 : in.result > kResultMember ? kResultMember : in.result];
  out.totalCents = t;
  out.bPriced = true;
  return out;
}

std::string QuoteMemo(const char* kindMemo, const char* areaMemo) {
  std::string joined = kindMemo != nullptr ? kindMemo : "";
  if (!joined.empty()) {
    joined += "<BR>";
  }
  joined += areaMemo != nullptr ? areaMemo : "";
  std::string memo;
  memo.reserve(joined.size());
  for (size_t i = 0; i < joined.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(joined[i]);
    if (c >= 0x80 && i + 1 < joined.size()) {
      memo.append(joined, i, 2);  // a two-byte character stays whole
      ++i;
    } else if (c == '\n') {
      memo += "<BR>";
    } else if (c != '\r') {
      memo.push_back(static_cast<char>(c));
    }
  }
  return memo;
}
