// Country names: codes, Chinese and English names, provinces, normalised spellings, excluded codes,
// and the postcode formats per country.

#include <gtest/gtest.h>

#include <string>

#include "pricing/country.h"

namespace {

TEST(CountryTable, HoldsItsRowsInTheFixedOrder) {
  EXPECT_STREQ(kCountryTable[0].code2, "AF");
  EXPECT_STREQ(kCountryTable[kCountryCount - 1].code2, "JE");
  const CountryEntry* us = FindCountryByCode("US");
  ASSERT_NE(us, nullptr);
  EXPECT_STREQ(us->numeric, "581");
  EXPECT_STREQ(us->nameCn, "美国");
  const CountryEntry* hk = FindCountryByCode("HK");
  ASSERT_NE(hk, nullptr);
  EXPECT_STREQ(hk->code3, "HKG");
  EXPECT_STREQ(hk->numeric, "156");
  EXPECT_STREQ(hk->nameEn, "Hongkong");
  for (const CountryEntry& e : kCountryTable) {
    EXPECT_EQ(std::string(e.code2).size(), 2u) << e.nameEn;
    EXPECT_EQ(std::string(e.numeric).size(), 3u) << e.nameEn;
    EXPECT_NE(e.nameCn[0], '\0');
    EXPECT_NE(e.nameEn[0], '\0');
  }
}

TEST(CountryTable, CodeLookupsTakeTheFirstRowOfACode) {
  // BW and KG occur twice (positions from the fixed code list): the later rows are never found by code.
  const CountryEntry* bw = FindCountryByCode("BW");
  ASSERT_NE(bw, nullptr);
  EXPECT_EQ(bw - kCountryTable, 24);
  EXPECT_EQ(FindCountryByCode("KG") - kCountryTable, 103);
  EXPECT_NE(FindCountryByCode("TP"), nullptr);
  EXPECT_EQ(FindCountryByCode("bw"), nullptr) << "codes compare exactly";
  EXPECT_EQ(FindCountryByCode("XX"), nullptr);
  EXPECT_EQ(FindCountryByCode(nullptr), nullptr);
}

TEST(CountryCodeOf, MapsCodesNamesAndProvinces) {
  struct Case {
    const char* text;
    const char* want;
    const char* why;
  } cases[] = {
      {"United States of America", "US", "America within the last 13 bytes"},
      {"US", "US", "code"},
      {"USA", "US", "code"},
      {"usa", "", "three bytes only compare with the codes, exactly; no name fits"},
      {"美国纽约", "US", "begins with 美国"},
      {"广东省深圳市", "CN", "a province"},
      {"中国", "CN", "the Chinese name"},
      {"China", "CN", "the English name"},
      {"内蒙古", "CN", "内蒙古 is a province"},
      {"英国伦敦", "GB", "begins with 英国"},
      {"Great Britain", "GB", "Britain at the end"},
      {"GBR", "GB", "code"},
      {"Federal Republic of Germany", "DE", "Germany within the last 11 bytes"},
      {"Deutschland", "DE", "the German name"},
      {"澳洲", "AU", "begins with 澳洲"},
      {"Sydney Australia", "AU", "ends with Australia"},
      {"AUS", "AU", "code"},
      {"印尼", "ID", "normalised to 印度尼西亚"},
      {"沙特", "SA", "normalised to 沙特阿拉伯"},
      {"阿联酋迪拜", "AE", "normalised to 阿拉伯联合酋长国"},
      {"香港", "HK", "exact Chinese name"},
      {"日本东京", "JP", "prefix pass"},
      {"japan", "JP", "English names ignore case"},
      {"Tokyo, Japan", "JP", "the loose pass: the name occurs in the text"},
      {"Marshall Is", "MH", "Is -> Island, then the loose pass: the name contains the text"},
      {"火星", "", "no country"},
      {"", "", "empty"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(CountryCodeOf(c.text), c.want) << c.text << ": " << c.why;
  }
}

TEST(FindCountryEntry, NormalisesIslandsAndHonoursTheExcludedCode) {
  const CountryEntry* cook = FindCountryEntry("Cook Is.", 0, nullptr);
  ASSERT_NE(cook, nullptr);
  EXPECT_STREQ(cook->nameEn, "Cook Islands");
  EXPECT_EQ(FindCountryEntry("Marshall Is", 0, nullptr), nullptr) << "only the loose pass finds it";

  // With China excluded, 内蒙古 must not fall to Mongolia, while 蒙古 itself still does.
  EXPECT_EQ(FindCountryEntry("内蒙古", 1, "CN"), nullptr);
  const CountryEntry* mn = FindCountryEntry("蒙古", 0, "CN");
  ASSERT_NE(mn, nullptr);
  EXPECT_STREQ(mn->code2, "MN");
  // Excluded, 中国香港 is not China: the loose pass skips the CN row and finds 香港.
  const CountryEntry* hk = FindCountryEntry("中国香港", 1, "CN");
  ASSERT_NE(hk, nullptr);
  EXPECT_STREQ(hk->code2, "HK");
  EXPECT_STREQ(FindCountryEntry("中国香港", 1, nullptr)->code2, "CN");

  EXPECT_EQ(FindCountryEntry(std::string(256, 'x').c_str(), 1, nullptr), nullptr) << "over 255 bytes";
  EXPECT_EQ(FindCountryEntry(nullptr, 1, nullptr), nullptr);
}

TEST(CountryChecks, CompareCodesExactlyAndNamesNearTheEnd) {
  struct Case {
    const char* text;
    int us, gb, de, au;
    const char* why;
  } cases[] = {
      {"US", 1, 0, 0, 0, "code"},
      {"us", 0, 0, 0, 0, "codes are case-sensitive"},
      {"america", 1, 0, 0, 0, "seven bytes, case ignored"},
      {"Americas Cup Road", 0, 0, 0, 0, "America not within the last 13 bytes"},
      {"London England", 0, 1, 0, 0, "England within the last 14 bytes"},
      {"United Kingdom", 0, 1, 0, 0, "United Kingdom"},
      {"DEU", 0, 0, 1, 0, "code"},
      {"德国柏林", 0, 0, 1, 0, "begins with 德国"},
      {"澳大利亚悉尼", 0, 0, 0, 1, "begins with 澳大利亚"},
      {"Australia", 0, 0, 0, 1, "nine bytes"},
      {"AUS", 0, 0, 0, 1, "code"},
      // The last 13 bytes begin on the second byte of 0x81 0x41 ("A"): that "A" is no letter.
      {"\xB0\xA1\x81" "Americaxxxxxx", 0, 0, 0, 0, "a search never starts inside a character"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUsText(c.text), c.us) << c.why;
    EXPECT_EQ(IsGbText(c.text), c.gb) << c.why;
    EXPECT_EQ(IsDeText(c.text), c.de) << c.why;
    EXPECT_EQ(IsAuText(c.text), c.au) << c.why;
  }
  EXPECT_EQ(IsChinaText("浙江杭州"), 1);
  EXPECT_EQ(IsChinaText("中国"), 1);
  EXPECT_EQ(IsChinaText("中非共和国"), 0);
  EXPECT_EQ(IsChinaText(nullptr), 0);
}

TEST(IsPostcodeValidForCountry, ChecksTheFormatOfEachCountry) {
  struct Case {
    const char* postcode;
    const char* country;
    int want;
    const char* why;
  } cases[] = {
      {"2000", "澳大利亚", 1, "four digits"},
      {"200", "澳大利亚", 0, "shorter than 4 bytes"},
      {"20000", "澳大利亚", 0, "five digits"},
      {"2a00", "澳大利亚", 0, "not all digits"},
      {"SW1A 1AA", "英国", 1, "letters and digits, blank removed"},
      {"sw1a1aa", "英国", 1, "upper-cased first"},
      {"SW1A 1AAX", "英国", 0, "8 characters"},
      {"SW1A-1A!", "英国", 0, "a character that is neither"},
      {"100-0001", "日本", 1, "seven digits once the dash is gone"},
      {"90210", "美国", 1, "five digits"},
      {"90210-1234", "美国", 0, "ZIP+4 has nine digits"},
      {"75008", "法国", 1, "five digits"},
      {"10115", "德国", 1, "five digits"},
      {"518000", "中国", 1, "six digits"},
      {"51800", "中国", 0, "five digits"},
      {"101000", "俄罗斯", 1, "six digits"},
      {"12-3", "巴西", 0, "three bytes left"},
      {"ABC-123", "巴西", 1, "any format elsewhere"},
      {"1234567890123456", "巴西", 0, "over 15 bytes"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPostcodeValidForCountry(c.postcode, c.country), c.want) << c.postcode << ": " << c.why;
  }
}

}  // namespace
