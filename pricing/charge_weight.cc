// Chargeable weight: a piece's real weight against its volume weight, blended by its percentage and
// rounded by the dictionary's rule (row "47"), per piece or over the whole shipment (row "115").

#include <algorithm>
#include <limits>

#include "pricing/ostrum_container.h"

namespace {

constexpr int kFullPercent = 100;
constexpr int64_t kCodeRoundingGrams = 500;  // volume codes charge whole half-kilograms
constexpr int kNoRounding = -1;
// Sides are held within one kilometre and volumes (and their sums) within 10^15 cm3, so that every
// product below fits 64 bits.
constexpr int64_t kSideLimitCm = 100000;
constexpr int64_t kVolumeLimitCm3 = 1000000000000000;
constexpr int64_t kReportedVolumeMinCm3 = 500;
constexpr double kReportedVolumeMaxM3 = 2100;

int64_t Side(int32_t v) { return std::clamp<int64_t>(v, -kSideLimitCm, kSideLimitCm); }

int64_t Volume(int32_t length, int32_t width, int32_t height) { return Side(length) * Side(width) * Side(height); }

// a + b held within the volume limit. REQUIRES: both within it.
int64_t AddVolumes(int64_t a, int64_t b) { return std::clamp<int64_t>(a + b, -kVolumeLimitCm3, kVolumeLimitCm3); }

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// v rounded to 10 g by the rounding value (v + rounding) / 10 x 10; unchanged without rounding.
int64_t RoundTens(int64_t v, int rounding) { return rounding == kNoRounding ? v : (v + rounding) / 10 * 10; }

// The real weight `real` against the volume weight `volume` (both grams, the volume already rounded)
// by the percentage: 0 the real weight, the real weight when it is not smaller, below 100 the blend.
int64_t ChargeOf(int64_t real, int64_t volume, int percent, int rounding) {
  if (percent <= 0) {
    return real;
  }
  if (real >= volume) {
    return real;
  }
  if (percent < kFullPercent) {
    return RoundTens((percent * volume + (kFullPercent - percent) * real) / kFullPercent, rounding);
  }
  return volume;
}

}  // namespace

int32_t COstrumContainer::CalcVolumeWeight(int32_t length, int32_t width, int32_t height, int32_t weight,
                                           int percent, char letter, int code) const {
  const int64_t volume = Volume(length, width, height);
  if (const int32_t codeDivisor = VolumeDivisorOfCode(code); codeDivisor > 0) {
    const int64_t d = std::max<int64_t>(weight, volume / codeDivisor);
    return Clamp32((d + kCodeRoundingGrams - 1) / kCodeRoundingGrams * kCodeRoundingGrams);
  }
  if (percent <= 0) {
    return weight;
  }
  const int64_t v = RoundTens(volume / VolumeDivisorOfLetter(letter), weightRounding);
  return Clamp32(ChargeOf(weight, v, percent, weightRounding));
}

double COstrumContainer::CalcChargeWeight(const PieceList& pieces, char letter, int bWholeShipment, int32_t* grams,
                                          double* realKg, double* cubicMetres, int code) const {
  *grams = 0;
  *realKg = 0;
  *cubicMetres = 0;
  if (pieces.empty()) {
    return 0;
  }
  int64_t charged = 0, real = 0, volume = 0;
  if ((!wholeShipmentWeight && bWholeShipment == 0) || code != 0) {
    for (const PieceItem& p : pieces) {
      charged += CalcVolumeWeight(p.length, p.width, p.height, p.weight, p.percent, letter, code);
      real += p.weight;
      volume = AddVolumes(volume, Volume(p.length, p.width, p.height));
    }
  } else {
    for (const PieceItem& p : pieces) {
      real += p.weight;
      volume = AddVolumes(volume, Volume(p.length, p.width, p.height));
    }
    const int percent = pieces.back().percent;
    charged = percent == 0 ? real
                           : ChargeOf(real, RoundTens(volume / VolumeDivisorOfLetter(letter), weightRounding),
                                      percent, weightRounding);
  }
  *realKg = static_cast<double>(real) / 1000.0;
  if (volume >= kReportedVolumeMinCm3) {
    // Whole litres first, then cubic metres.
    *cubicMetres = std::min(static_cast<double>((volume + 500) / 1000) / 1000.0, kReportedVolumeMaxM3);
  }
  if (weightRounding == kNoRounding || code != 0) {
    *grams = Clamp32(charged);
    return static_cast<double>(*grams) / 1000.0;
  }
  // Whole tens of grams.
  const int64_t tens = (charged + 1) / 10;
  *grams = Clamp32(tens * 10);
  return static_cast<double>(tens) / 100.0;
}
