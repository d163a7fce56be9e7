// Destination texts resolved through the place table the way shipment entry resolves them
// (MatchPlace, then the code, the name prefix and the English name), on one core.
//
// The table: the 240 countries, 31 provinces and 2480 cities (half of them written with their
// province in front), about 2750 places. The texts: 100 000 of them, a mix of exact Chinese names,
// names with 市 or 县 after them, names without their province, place codes in either case, English
// names in any case, and misses (unknown Chinese names, unknown codes, free English text).
// Target: at least 1 000 000 look-ups per second.

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pricing/country.h"
#include "pricing/place_table.h"
#include "util/text.h"

namespace {

constexpr size_t kTexts = 100000;
constexpr int kPasses = 7;
constexpr double kTargetPerSecond = 1e6;

const char* const kProvinces[] = {"安徽", "福建", "甘肃", "广东", "广西", "贵州", "海南", "河北", "河南", "黑龙江",
                                  "湖北", "湖南", "吉林", "江苏", "江西", "辽宁", "内蒙古", "宁夏", "青海", "山东",
                                  "山西", "陕西", "四川", "西藏", "新疆", "云南", "浙江", "重庆", "北京", "天津",
                                  "上海"};
// Characters that city names are made of.
const char* const kSyllables[] = {"安", "宝", "昌", "德", "丰", "广", "海", "和", "华", "吉", "嘉", "江", "金",
                                  "靖", "康", "乐", "丽", "林", "隆", "梅", "明", "南", "宁", "平", "庆", "泉",
                                  "山", "沙", "石", "顺", "泰", "天", "通", "武", "西", "新", "兴", "阳", "宜",
                                  "永", "源", "云", "长", "州", "中", "珠"};
const char* const kLatin[] = {"an", "bao", "chang", "de", "feng", "guang", "hai", "he", "hua", "ji", "jia",
                              "jiang", "jin", "jing", "kang", "le", "li", "lin", "long", "mei", "ming", "nan",
                              "ning", "ping", "qing", "quan", "shan", "sha", "shi", "shun", "tai", "tian",
                              "tong", "wu", "xi", "xin", "xing", "yang", "yi", "yong", "yuan", "yun", "chang",
                              "zhou", "zhong", "zhu"};
constexpr size_t kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];
constexpr int kCitiesPerProvince = 80;

uint32_t g_seed = 20261210;
uint32_t Next() {
  g_seed = g_seed * 1664525u + 1013904223u;
  return g_seed >> 8;
}

struct City {
  std::string name, english, code, province;
};

std::vector<City> g_cities;

std::vector<PlaceRecord> BuildPlaces() {
  std::vector<PlaceRecord> rows;
  int32_t iid = 1;
  auto add = [&](const std::string& cn, const std::string& en, const std::string& code, int area) {
    PlaceRecord r;
    r.iid = iid++;
    tw::CopyTextLimited(r.carea, cn.c_str(), sizeof r.carea - 1);
    tw::CopyTextLimited(r.careae, en.c_str(), sizeof r.careae - 1);
    tw::CopyTextLimited(r.ccode, code.c_str(), sizeof r.ccode - 1);
    r.narea = static_cast<uint8_t>(area);
    rows.push_back(r);
  };
  for (const CountryEntry& e : kCountryTable) {
    add(e.nameCn, e.nameEn, e.code3, 10 + static_cast<int>(Next() % 40));
  }
  for (size_t p = 0; p < sizeof kProvinces / sizeof kProvinces[0]; ++p) {
    add(kProvinces[p], "Province " + std::to_string(p), "P" + std::to_string(p), 1 + static_cast<int>(p % 5));
    for (int c = 0; c < kCitiesPerProvince; ++c) {
      const size_t a = (p * 7 + static_cast<size_t>(c) * 3) % kSyllableCount;
      const size_t b = (p * 13 + static_cast<size_t>(c) * 11 + 5) % kSyllableCount;
      City city;
      city.name = std::string(kSyllables[a]) + kSyllables[b];
      city.english = std::string(kLatin[a]) + kLatin[b] + std::to_string(p);
      city.english[0] = static_cast<char>(city.english[0] - 'a' + 'A');
      char code[8];
      std::snprintf(code, sizeof code, "C%02zu%02d", p, c);
      city.code = code;
      city.province = kProvinces[p];
      add(c % 2 == 0 ? city.province + city.name : city.name, city.english, city.code, 1 + static_cast<int>(p % 5));
      g_cities.push_back(city);
    }
  }
  return rows;
}

std::string MixCase(std::string s) {
  for (char& ch : s) {
    if (ch >= 'a' && ch <= 'z' && Next() % 2 == 0) {
      ch = static_cast<char>(ch - 'a' + 'A');
    } else if (ch >= 'A' && ch <= 'Z' && Next() % 2 == 0) {
      ch = static_cast<char>(ch - 'A' + 'a');
    }
  }
  return s;
}

std::vector<std::string> BuildTexts(const std::vector<PlaceRecord>& places) {
  std::vector<std::string> texts;
  texts.reserve(kTexts);
  while (texts.size() < kTexts) {
    const City& city = g_cities[Next() % g_cities.size()];
    const PlaceRecord& place = places[Next() % places.size()];
    switch (Next() % 20) {
      case 0: case 1: case 2: case 3: case 4:
        texts.push_back(place.carea);  // exact Chinese name
        break;
      case 5: case 6:
        texts.push_back(city.name + "市");
        break;
      case 7:
        texts.push_back(city.name + "县");
        break;
      case 8: case 9:
        texts.push_back(city.name);  // without its province
        break;
      case 10: case 11: case 12:
        texts.push_back(MixCase(place.ccode));
        break;
      case 13: case 14: case 15:
        texts.push_back(MixCase(place.careae));
        break;
      case 16:
        texts.push_back(std::string(kSyllables[Next() % kSyllableCount]) + "火星" + kSyllables[Next() % kSyllableCount]);
        break;
      case 17:
        texts.push_back("火星" + std::string(kSyllables[Next() % kSyllableCount]) + "市");
        break;
      case 18:
        texts.push_back("Z" + std::to_string(Next() % 100000));
        break;
      default:
        texts.push_back("Somewhere " + std::to_string(Next() % 1000) + " Street");
        break;
    }
  }
  return texts;
}

const PlaceRecord* Resolve(const CPlaceTable& t, const char* text) {
  if (const PlaceRecord* r = t.MatchPlace(text, 0)) {
    return r;
  }
  if (const PlaceRecord* r = t.FindByCode(text)) {
    return r;
  }
  if (const PlaceRecord* r = t.FindByName(text, true)) {
    return r;
  }
  return t.FindByNameE(text);
}

double Seconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

int main() {
  CPlaceTable table;
  const int n = table.LoadRows(BuildPlaces());
  const std::vector<std::string> texts = BuildTexts(table.records());
  std::vector<const char*> ptrs;
  ptrs.reserve(texts.size());
  for (const std::string& s : texts) {
    ptrs.push_back(s.c_str());
  }

  size_t found = 0;
  std::vector<double> rates;
  for (int pass = 0; pass < kPasses; ++pass) {
    size_t hits = 0;
    const double start = Seconds();
    for (const char* text : ptrs) {
      hits += Resolve(table, text) != nullptr ? 1 : 0;
    }
    const double elapsed = Seconds() - start;
    rates.push_back(static_cast<double>(ptrs.size()) / elapsed);
    found = hits;
  }
  std::sort(rates.begin(), rates.end());
  const double median = rates[rates.size() / 2];
  std::printf("places: %d, texts: %zu, resolved: %zu (%.1f%%)\n", n, ptrs.size(), found,
              100.0 * static_cast<double>(found) / static_cast<double>(ptrs.size()));
  std::printf("look-ups per second: median %.0f, best %.0f, worst %.0f (target %.0f): %s\n", median, rates.back(),
              rates.front(), kTargetPerSecond, median >= kTargetPerSecond ? "met" : "MISSED");
  return 0;
}
