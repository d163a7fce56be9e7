// Untrusted texts through the price readers: a request's piece list and dimension text through the
// chargeable weight, a stored zone definition through the zone table and its lookups, the
// configuration's field-check block through its checks, and arbitrary band and quote values through
// the explanation text. Nothing may read or write outside the given bytes or overflow an integer.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "pricing/field_check.h"
#include "pricing/ostrum_container.h"
#include "pricing/pieces.h"
#include "pricing/quote.h"
#include "pricing/zone_table.h"

namespace {

// The next 32-bit value of the input, little-endian (missing bytes are 0).
int32_t Take32(const uint8_t* data, size_t size, size_t* at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i, ++*at) {
    v |= static_cast<uint32_t>(*at < size ? data[*at] : 0) << (8 * i);
  }
  return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const char* t = text.data();

  PieceList pieces;
  (void)ParsePieceItems(pieces, std::string_view(t, size));
  (void)AddPieceFromDimensions(pieces, t, 1.5);
  for (int rounding : {-1, 5, 9}) {
    COstrumContainer container;
    container.weightRounding = rounding;
    int32_t grams = 0;
    double realKg = 0, m3 = 0;
    for (int code : {0, 2}) {
      (void)container.CalcChargeWeight(pieces, 'E', 0, &grams, &realKg, &m3, code);
      (void)container.CalcChargeWeight(pieces, 'D', 1, &grams, &realKg, &m3, code);
    }
  }

  CZoneTable zones;
  (void)zones.ParseDefinition(t);
  const std::string definition = std::string("[定义开始]\r\n类型=分拣\r\n快递类别=K\r\n备用2字母=1\r\n") + t;
  (void)zones.ParseDefinition(definition.c_str());
  char number[kZoneNumberBytes], letter[kZoneLetterBytes];
  const size_t cut = size < 16 ? size : 16;
  const std::string postcode(t, strnlen(t, cut));
  (void)zones.FindZone(postcode.c_str(), "K", number, letter);
  (void)zones.FindZoneNumber(postcode.c_str(), "K");

  CFieldCheckList checks;
  const std::string block = std::string(kFieldCheckBlockLine) + "\r\n" + t + "\r\n" + kFieldCheckBlockLine;
  (void)checks.Load(block.c_str());
  (void)checks.Load(t);
  char message[kFieldCheckMessageBytes];
  for (const FieldCheck& r : checks.rules()) {
    (void)checks.CheckInt(r.name, 5, message, sizeof message);
    (void)checks.CheckReal(r.name, 5.5, message, sizeof message);
    (void)checks.CheckLength(r.name, t, message, sizeof message);
  }

  size_t at = 0;
  PriceExplainInput in;
  in.grams = Take32(data, size, &at);
  in.band.ibweight = Take32(data, size, &at);
  in.band.ieweight = Take32(data, size, &at);
  in.band.iweightper = Take32(data, size, &at);
  in.band.iprice = Take32(data, size, &at);
  in.band.itopprice = Take32(data, size, &at);
  in.band.ntype = static_cast<uint8_t>(Take32(data, size, &at) & 3);
  in.discountCode = Take32(data, size, &at) % 20000;
  in.segmentCode = Take32(data, size, &at) % 20000;
  in.fixedFeeCents = Take32(data, size, &at);
  in.result = Take32(data, size, &at) % 5;
  in.addons = 1;
  in.fuelRate = 12.5;
  in.customsFee = 20;
  in.areaType = 1;
  (void)FormatPriceHtml(in);
  (void)QuoteMemo(t, t);
  return 0;
}
