// Untrusted texts through the reference-data lookups: destination texts through the place table,
// country and postcode texts through the country checks, and settings text through the field-fill
// block parser. Nothing may read or write outside the given bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pricing/country.h"
#include "pricing/kind_fill.h"
#include "pricing/place_table.h"
#include "util/text.h"

namespace {

const CPlaceTable& Table() {
  static CPlaceTable* table = [] {
    auto* t = new CPlaceTable();
    std::vector<PlaceRecord> rows;
    const char* names[][3] = {{"广州", "Guangzhou", "CAN"},  {"广东东莞", "Dongguan", "DGG"},
                              {"东莞南城", "Nancheng", "DGN"}, {"辽宁大连", "Dalian", "DLC"},
                              {"内蒙古", "Inner Mongolia", "NMG"}, {"印度尼西亚", "Indonesia", "IDN"},
                              {"\x81\x41\x81\x7C", "Odd", "ODD"}};
    int32_t iid = 1;
    for (const auto& n : names) {
      PlaceRecord r;
      r.iid = iid++;
      tw::CopyTextLimited(r.carea, n[0], sizeof r.carea - 1);
      tw::CopyTextLimited(r.careae, n[1], sizeof r.careae - 1);
      tw::CopyTextLimited(r.ccode, n[2], sizeof r.ccode - 1);
      r.narea = static_cast<uint8_t>(iid);
      rows.push_back(r);
    }
    t->LoadRows(rows);
    return t;
  }();
  return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The lookups take NUL-terminated text: an exact copy without room past its end.
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const char* t = text.data();

  const CPlaceTable& places = Table();
  volatile uintptr_t sink = 0;
  sink = sink + reinterpret_cast<uintptr_t>(places.MatchPlace(t, 0));
  sink = sink + reinterpret_cast<uintptr_t>(places.FindByName(t, true));
  sink = sink + reinterpret_cast<uintptr_t>(places.FindByCode(t));
  sink = sink + reinterpret_cast<uintptr_t>(places.FindByNameE(t));
  sink = sink + static_cast<uintptr_t>(places.GetArea(t));

  sink = sink + reinterpret_cast<uintptr_t>(FindCountryEntry(t, 1, "CN"));
  sink = sink + reinterpret_cast<uintptr_t>(FindCountryEntry(t, 0, nullptr));
  sink = sink + std::strlen(CountryCodeOf(t));
  sink = sink + static_cast<uintptr_t>(IsPostcodeValidForCountry(t, "英国"));
  sink = sink + static_cast<uintptr_t>(IsPostcodeValidForCountry(t, "日本"));

  std::string ini = std::string(kKindFillBlockStart) + "\r\n" + t;
  std::vector<EmsKindExFields> fills;
  ParseEmsKindExFields(ini.c_str(), fills);
  for (const EmsKindExFields& f : fills) {
    sink = sink + std::strlen(f.cEmsKind) + std::strlen(f.cReserve) + std::strlen(f.cBy5);
  }
  return 0;
}
