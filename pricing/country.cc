#include "pricing/country.h"

#include <cstring>
#include <string_view>

#include "pricing/internal/gbk_fold.h"
#include "util/text.h"

// The rows keep their fixed order: the passes below take the first row that fits, and the codes
// that occur twice are found by their first row.
const CountryEntry kCountryTable[kCountryCount] = {
    {"AF", "AFG", "004", "阿富汗", "Afghanistan"},
    {"AO", "AGO", "024", "安哥拉", "Angola"},
    {"AL", "ALB", "008", "阿尔巴尼亚", "Albania"},
    {"DZ", "DZA", "012", "阿尔及利亚", "Algeria"},
    {"AD", "AND", "020", "安道尔", "Andorra"},
    {"AI", "AIA", "660", "安圭拉", "Anguilla"},
    {"AG", "ATG", "028", "安提瓜和巴布达", "Antigua and Barbuda"},
    {"AR", "ARG", "032", "阿根廷", "Argentina"},
    {"AM", "ARM", "051", "亚美尼亚", "Armenia"},
    {"AU", "AUS", "036", "澳大利亚", "Australia"},
    {"AT", "AUT", "040", "奥地利", "Austria"},
    {"AZ", "AZE", "031", "阿塞拜疆", "Azerbaijan"},
    {"BS", "BHS", "044", "巴哈马", "Bahamas"},
    {"BH", "BHR", "048", "巴林", "Bahrain"},
    {"BD", "BGD", "050", "孟加拉国", "Bangladesh"},
    {"BB", "BRB", "052", "巴巴多斯", "Barbados"},
    {"BY", "BLR", "112", "白俄罗斯", "Belarus"},
    {"BE", "BEL", "056", "比利时", "Belgium"},
    {"BZ", "BLZ", "084", "伯利兹", "Belize"},
    {"BJ", "BEN", "204", "贝宁", "Benin"},
    {"BM", "BMU", "060", "百慕大", "Bermuda"},
    {"BO", "BOL", "068", "玻利维亚", "Bolivia"},
    {"BT", "BTN", "064", "不丹", "Bhutan"},
    {"BA", "BIH", "070", "波斯尼亚和黑塞哥维那", "Bosnia and Herzegovina"},
    {"BW", "BWA", "072", "博茨瓦纳", "Botswana"},
    {"BR", "BRA", "076", "巴西", "Brazil"},
    {"BN", "BRN", "096", "文莱", "Brunei"},
    {"BG", "BGR", "100", "保加利亚", "Bulgaria"},
    {"BF", "BFA", "854", "布基纳法索", "Burkina Faso"},
    {"MM", "MMR", "104", "缅甸", "Myanmar"},
    {"BI", "BDI", "108", "布隆迪", "Burundi"},
    {"CM", "CMR", "120", "喀麦隆", "Cameroon"},
    {"CA", "CAN", "124", "加拿大", "Canada"},
    {"KY", "CYM", "136", "开曼群岛", "Cayman Islands"},
    {"CF", "CAF", "140", "中非共和国", "Central African Republic"},
    {"TD", "TCD", "148", "乍得", "Chad"},
    {"CL", "CHL", "152", "智利", "Chile"},
    {"CN", "CHN", "156", "中国", "China"},
    {"CO", "COL", "170", "哥伦比亚", "Colombia"},
    {"CG", "COG", "178", "刚果", "Congo"},
    {"CK", "COK", "184", "库克群岛", "Cook Islands"},
    {"CR", "CRI", "188", "哥斯达黎加", "Costa Rica"},
    {"HR", "HRV", "191", "克罗地亚", "Croatia"},
    {"CU", "CUB", "192", "古巴", "Cuba"},
    {"CY", "CYP", "196", "塞浦路斯", "Cyprus"},
    {"CZ", "CZE", "203", "捷克", "Czech Republic"},
    {"DK", "DNK", "208", "丹麦", "Denmark"},
    {"DJ", "DJI", "262", "吉布提", "Djibouti"},
    {"DM", "DMA", "212", "多米尼克", "Dominica"},
    {"DO", "DOM", "214", "多米尼加", "Dominican Republic"},
    {"EC", "ECU", "218", "厄瓜多尔", "Ecuador"},
    {"EG", "EGY", "818", "埃及", "Egypt"},
    {"SV", "SLV", "222", "萨尔瓦多", "El Salvador"},
    {"GQ", "GNQ", "226", "赤道几内亚", "Equatorial Guinea"},
    {"ER", "ERI", "232", "厄立特里亚", "Eritrea"},
    {"EE", "EST", "233", "爱沙尼亚", "Estonia"},
    {"ET", "ETH", "231", "埃塞俄比亚", "Ethiopia"},
    {"FO", "FRO", "234", "法罗群岛", "Faroe Islands"},
    {"FJ", "FJI", "242", "斐济", "Fiji"},
    {"FI", "FIN", "246", "芬兰", "Finland"},
    {"FR", "FRA", "250", "法国", "France"},
    {"GF", "GUF", "254", "法属圭亚那", "French Guiana"},
    {"GA", "GAB", "266", "加蓬", "Gabon"},
    {"GM", "GMB", "270", "冈比亚", "Gambia"},
    {"GE", "GEO", "268", "格鲁吉亚", "Georgia"},
    {"DE", "DEU", "276", "德国", "Germany"},
    {"GH", "GHA", "288", "加纳", "Ghana"},
    {"GI", "GIB", "292", "直布罗陀", "Gibraltar"},
    {"GB", "GBR", "826", "英国", "United Kingdom"},
    {"GR", "GRC", "300", "希腊", "Greece"},
    {"GL", "GRL", "304", "格陵兰", "Greenland"},
    {"GD", "GRD", "308", "格林纳达", "Grenada"},
    {"GU", "GUM", "316", "关岛", "Guam"},
    {"GP", "GLP", "312", "瓜德罗普", "Guadeloupe"},
    {"GT", "GTM", "320", "危地马拉", "Guatemala"},
    {"GG", "GGY", "831", "根西岛", "Guernsey"},
    {"GN", "GIN", "324", "几内亚", "Guinea"},
    {"GW", "GNB", "624", "几内亚比绍", "Guinea-Bissau"},
    {"GY", "GUY", "328", "圭亚那", "Guyana"},
    {"HT", "HTI", "332", "海地", "Haiti"},
    {"HN", "HND", "340", "洪都拉斯", "Honduras"},
    {"HK", "HKG", "156", "香港", "Hongkong"},
    {"HU", "HUN", "348", "匈牙利", "Hungary"},
    {"IS", "ISL", "352", "冰岛", "Iceland"},
    {"ID", "IDN", "360", "印度尼西亚", "Indonesia"},
    {"IN", "IND", "356", "印度", "India"},
    {"IR", "IRN", "364", "伊朗", "Iran"},
    {"IQ", "IRQ", "368", "伊拉克", "Iraq"},
    {"IE", "IRL", "372", "爱尔兰", "Ireland"},
    {"IM", "IMN", "833", "马恩岛", "Isle of Man"},
    {"IL", "ISR", "376", "以色列", "Israel"},
    {"IT", "ITA", "380", "意大利", "Italy"},
    {"CI", "CIV", "384", "科特迪瓦", "Cote d'Ivoire"},
    {"JM", "JAM", "388", "牙买加", "Jamaica"},
    {"JP", "JPN", "392", "日本", "Japan"},
    {"JO", "JOR", "400", "约旦", "Jordan"},
    {"KH", "KHM", "116", "柬埔寨", "Cambodia"},
    {"KZ", "KAZ", "398", "哈萨克斯坦", "Kazakhstan"},
    {"KE", "KEN", "404", "肯尼亚", "Kenya"},
    {"KI", "KIR", "296", "基里巴斯", "Kiribati"},
    {"KP", "PRK", "408", "朝鲜", "North Korea"},
    {"KR", "KOR", "410", "韩国", "South Korea"},
    {"KW", "KWT", "414", "科威特", "Kuwait"},
    {"KG", "KGZ", "417", "吉尔吉斯斯坦", "Kyrgyzstan"},
    {"LA", "LAO", "418", "老挝", "Laos"},
    {"LV", "LVA", "428", "拉脱维亚", "Latvia"},
    {"LB", "LBN", "422", "黎巴嫩", "Lebanon"},
    {"LS", "LSO", "426", "莱索托", "Lesotho"},
    {"LR", "LBR", "430", "利比里亚", "Liberia"},
    {"LY", "LBY", "434", "利比亚", "Libya"},
    {"LI", "LIE", "438", "列支敦士登", "Liechtenstein"},
    {"LT", "LTU", "440", "立陶宛", "Lithuania"},
    {"LU", "LUX", "442", "卢森堡", "Luxembourg"},
    {"MO", "MAC", "446", "澳门", "Macao"},
    {"MK", "MKD", "807", "马其顿", "Macedonia"},
    {"MG", "MDG", "450", "马达加斯加", "Madagascar"},
    {"MW", "MWI", "454", "马拉维", "Malawi"},
    {"MY", "MYS", "458", "马来西亚", "Malaysia"},
    {"MV", "MDV", "462", "马尔代夫", "Maldives"},
    {"ML", "MLI", "466", "马里", "Mali"},
    {"MT", "MLT", "470", "马耳他", "Malta"},
    {"MH", "MHL", "584", "马绍尔群岛", "Marshall Islands"},
    {"MQ", "MTQ", "474", "马提尼克", "Martinique"},
    {"MR", "MRT", "478", "毛里塔尼亚", "Mauritania"},
    {"MU", "MUS", "480", "毛里求斯", "Mauritius"},
    {"YT", "MYT", "175", "马约特", "Mayotte"},
    {"MX", "MEX", "484", "墨西哥", "Mexico"},
    {"FM", "FSM", "583", "密克罗尼西亚", "Micronesia"},
    {"MD", "MDA", "498", "摩尔多瓦", "Moldova"},
    {"MC", "MCO", "492", "摩纳哥", "Monaco"},
    {"MN", "MNG", "496", "蒙古", "Mongolia"},
    {"ME", "MNE", "499", "黑山", "Montenegro"},
    {"MS", "MSR", "500", "蒙特塞拉特", "Montserrat"},
    {"MA", "MAR", "504", "摩洛哥", "Morocco"},
    {"MZ", "MOZ", "508", "莫桑比克", "Mozambique"},
    {"NA", "NAM", "516", "纳米比亚", "Namibia"},
    {"NR", "NRU", "520", "瑙鲁", "Nauru"},
    {"NP", "NPL", "524", "尼泊尔", "Nepal"},
    {"NL", "NLD", "528", "荷兰", "Netherlands"},
    {"AN", "ANT", "530", "荷属安的列斯", "Netherlands Antilles"},
    {"NC", "NCL", "540", "新喀里多尼亚", "New Caledonia"},
    {"NZ", "NZL", "554", "新西兰", "New Zealand"},
    {"NI", "NIC", "558", "尼加拉瓜", "Nicaragua"},
    {"NE", "NER", "562", "尼日尔", "Niger"},
    {"NG", "NGA", "566", "尼日利亚", "Nigeria"},
    {"NU", "NIU", "570", "纽埃", "Niue"},
    {"NF", "NFK", "574", "诺福克岛", "Norfolk Island"},
    {"MP", "MNP", "580", "北马里亚纳群岛", "Northern Mariana Islands"},
    {"NO", "NOR", "578", "挪威", "Norway"},
    {"OM", "OMN", "512", "阿曼", "Oman"},
    {"PK", "PAK", "586", "巴基斯坦", "Pakistan"},
    {"PW", "PLW", "585", "帕劳", "Palau"},
    {"PS", "PSE", "275", "巴勒斯坦", "Palestine"},
    {"PA", "PAN", "591", "巴拿马", "Panama"},
    {"PG", "PNG", "598", "巴布亚新几内亚", "Papua New Guinea"},
    {"PY", "PRY", "600", "巴拉圭", "Paraguay"},
    {"PE", "PER", "604", "秘鲁", "Peru"},
    {"PH", "PHL", "608", "菲律宾", "Philippines"},
    {"PL", "POL", "616", "波兰", "Poland"},
    {"PF", "PYF", "258", "法属波利尼西亚", "French Polynesia"},
    {"PT", "PRT", "620", "葡萄牙", "Portugal"},
    {"PR", "PRI", "630", "波多黎各", "Puerto Rico"},
    {"QA", "QAT", "634", "卡塔尔", "Qatar"},
    {"RE", "REU", "638", "留尼汪", "Reunion"},
    {"RO", "ROU", "642", "罗马尼亚", "Romania"},
    {"RU", "RUS", "643", "俄罗斯", "Russia"},
    {"RW", "RWA", "646", "卢旺达", "Rwanda"},
    {"SH", "SHN", "654", "圣赫勒拿", "Saint Helena"},
    {"KN", "KNA", "659", "圣基茨和尼维斯", "Saint Kitts and Nevis"},
    {"LC", "LCA", "662", "圣卢西亚", "Saint Lucia"},
    {"PM", "SPM", "666", "圣皮埃尔和密克隆", "Saint Pierre and Miquelon"},
    {"VC", "VCT", "670", "圣文森特和格林纳丁斯", "Saint Vincent and the Grenadines"},
    {"WS", "WSM", "882", "萨摩亚", "Samoa"},
    {"SM", "SMR", "674", "圣马力诺", "San Marino"},
    {"ST", "STP", "678", "圣多美和普林西比", "Sao Tome and Principe"},
    {"SA", "SAU", "682", "沙特阿拉伯", "Saudi Arabia"},
    {"SN", "SEN", "686", "塞内加尔", "Senegal"},
    {"RS", "SRB", "688", "塞尔维亚", "Serbia"},
    {"SC", "SYC", "690", "塞舌尔", "Seychelles"},
    {"SL", "SLE", "694", "塞拉利昂", "Sierra Leone"},
    {"SG", "SGP", "702", "新加坡", "Singapore"},
    {"SK", "SVK", "703", "斯洛伐克", "Slovakia"},
    {"SI", "SVN", "705", "斯洛文尼亚", "Slovenia"},
    {"SB", "SLB", "090", "所罗门群岛", "Solomon Islands"},
    {"SO", "SOM", "706", "索马里", "Somalia"},
    {"ZA", "ZAF", "710", "南非", "South Africa"},
    {"GS", "SGS", "239", "南乔治亚岛和南桑威奇群岛", "South Georgia and the South Sandwich Islands"},
    {"ES", "ESP", "724", "西班牙", "Spain"},
    {"LK", "LKA", "144", "斯里兰卡", "Sri Lanka"},
    {"SD", "SDN", "729", "苏丹", "Sudan"},
    {"SR", "SUR", "740", "苏里南", "Suriname"},
    {"SJ", "SJM", "744", "斯瓦尔巴和扬马延", "Svalbard and Jan Mayen"},
    {"SZ", "SWZ", "748", "斯威士兰", "Swaziland"},
    {"SE", "SWE", "752", "瑞典", "Sweden"},
    {"CH", "CHE", "756", "瑞士", "Switzerland"},
    {"SY", "SYR", "760", "叙利亚", "Syria"},
    {"TW", "TWN", "158", "台湾", "Taiwan"},
    {"TJ", "TJK", "762", "塔吉克斯坦", "Tajikistan"},
    {"TZ", "TZA", "834", "坦桑尼亚", "Tanzania"},
    {"TH", "THA", "764", "泰国", "Thailand"},
    {"TL", "TLS", "626", "东帝汶", "Timor-Leste"},
    {"TG", "TGO", "768", "多哥", "Togo"},
    {"TK", "TKL", "772", "托克劳", "Tokelau"},
    {"TO", "TON", "776", "汤加", "Tonga"},
    {"TT", "TTO", "780", "特立尼达和多巴哥", "Trinidad and Tobago"},
    {"TN", "TUN", "788", "突尼斯", "Tunisia"},
    {"TR", "TUR", "792", "土耳其", "Turkey"},
    {"TM", "TKM", "795", "土库曼斯坦", "Turkmenistan"},
    {"TC", "TCA", "796", "特克斯和凯科斯群岛", "Turks and Caicos Islands"},
    {"TV", "TUV", "798", "图瓦卢", "Tuvalu"},
    {"UG", "UGA", "800", "乌干达", "Uganda"},
    {"UA", "UKR", "804", "乌克兰", "Ukraine"},
    {"AE", "ARE", "784", "阿拉伯联合酋长国", "United Arab Emirates"},
    {"US", "USA", "581", "美国", "United States"},
    {"UY", "URY", "858", "乌拉圭", "Uruguay"},
    {"UZ", "UZB", "860", "乌兹别克斯坦", "Uzbekistan"},
    {"VU", "VUT", "548", "瓦努阿图", "Vanuatu"},
    {"VA", "VAT", "336", "梵蒂冈", "Vatican City"},
    {"VE", "VEN", "862", "委内瑞拉", "Venezuela"},
    {"VN", "VNM", "704", "越南", "Vietnam"},
    {"VG", "VGB", "092", "英属维尔京群岛", "British Virgin Islands"},
    {"VI", "VIR", "850", "美属维尔京群岛", "U.S. Virgin Islands"},
    {"WF", "WLF", "876", "瓦利斯和富图纳", "Wallis and Futuna"},
    {"EH", "ESH", "732", "西撒哈拉", "Western Sahara"},
    {"YE", "YEM", "887", "也门", "Yemen"},
    {"ZW", "ZWE", "716", "津巴布韦", "Zimbabwe"},
    {"CD", "COD", "180", "刚果民主共和国", "Democratic Republic of the Congo"},
    {"ZM", "ZMB", "894", "赞比亚", "Zambia"},
    {"AW", "ABW", "533", "阿鲁巴", "Aruba"},
    {"BW", "BWA", "072", "博茨瓦纳共和国", "Republic of Botswana"},
    {"TP", "TMP", "626", "东帝汶民主共和国", "East Timor"},
    {"FP", "PYF", "258", "塔希提", "Tahiti"},
    {"FK", "FLK", "238", "福克兰群岛", "Falkland Islands"},
    {"KG", "KGZ", "417", "吉尔吉斯", "Kirghizia"},
    {"KM", "COM", "174", "科摩罗", "Comoros"},
    {"MH", "MHL", "584", "马绍尔群岛共和国", "Republic of the Marshall Islands"},
    {"MS", "MSR", "500", "蒙特塞拉特岛", "Montserrat Island"},
    {"SP", "MNP", "580", "塞班岛", "Saipan"},
    {"RS", "SRB", "688", "塞尔维亚共和国", "Republic of Serbia"},
    {"JE", "JEY", "832", "泽西岛", "Jersey"},
};

namespace {

using tw::refdata::EqualsNoCaseGbk;
using tw::refdata::kGbkLeadMin;

// Chinese provinces: a text naming one means China.
constexpr const char* kChinaNames[] = {
    "中国", "安徽", "福建", "甘肃", "广东", "广西", "贵州", "海南", "河北", "河南", "黑龙江",
    "湖北", "湖南", "吉林", "江苏", "江西", "辽宁", "内蒙古", "宁夏", "青海", "山东", "山西",
    "陕西", "四川", "西藏", "新疆", "云南", "浙江", "重庆", "北京", "天津", "上海",
};

// Room for a normalised text: " Is." growing to " Islands" at most doubles it.
constexpr size_t kNormalisedBytes = 2 * kCountryTextMaxBytes + 16;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCaseGbk(text.substr(0, prefix.size()), prefix);
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The last `window` bytes of text, moved forward to the next character boundary so a search never
// starts inside a two-byte character.
const char* Tail(const char* text, size_t length, size_t window) {
  if (length <= window) {
    return text;
  }
  size_t i = 0;
  while (i < length - window) {
    i += (static_cast<unsigned char>(text[i]) >= kGbkLeadMin && i + 1 < length) ? 2 : 1;
  }
  return text + i;
}

// One country check: its codes for texts of two or three bytes; else a text beginning with one of
// its Chinese names, or (when at least minLength bytes) one of its English names within the last
// `window` bytes, case ignored.
struct CountryCheck {
  const char* code2;
  const char* code3;
  const char* prefixes[2];
  const char* tailNames[3];
  size_t window;
  size_t minLength;
};

int RunCheck(const CountryCheck& check, const char* text) {
  if (text == nullptr) {
    return 0;
  }
  const size_t n = std::strlen(text);
  if (n == 2 || n == 3) {
    return (std::strcmp(text, check.code2) == 0 || std::strcmp(text, check.code3) == 0) ? 1 : 0;
  }
  for (const char* prefix : check.prefixes) {
    if (prefix != nullptr && StartsWith(text, prefix)) {
      return 1;
    }
  }
  if (n < check.minLength) {
    return 0;
  }
  const char* tail = Tail(text, n, check.window);
  for (const char* name : check.tailNames) {
    if (name != nullptr && tw::FindNoCase(tail, name) != nullptr) {
      return 1;
    }
  }
  return 0;
}

constexpr CountryCheck kUsCheck = {"US", "USA", {"美国", nullptr}, {"United States", "America", nullptr}, 13, 7};
constexpr CountryCheck kGbCheck = {"GB", "GBR", {"英国", nullptr}, {"Britain", "England", "United Kingdom"}, 14, 0};
constexpr CountryCheck kDeCheck = {"DE", "DEU", {"德国", nullptr}, {"Germany", "Deutschland", nullptr}, 11, 0};
constexpr CountryCheck kAuCheck = {"AU", "AUS", {"澳洲", "澳大利亚"}, {"Australia", nullptr, nullptr}, 9, 9};

// Replaces every " Is" that ends a word by " Island". Returns false when the result would not fit.
bool ExpandIsland(char* text, size_t size) {
  constexpr std::string_view kShort = " Is";
  constexpr std::string_view kLong = " Island";
  char out[kNormalisedBytes];
  size_t o = 0;
  const size_t n = std::strlen(text);
  for (size_t i = 0; i < n;) {
    const std::string_view rest(text + i, n - i);
    if (StartsWith(rest, kShort) && (rest.size() == kShort.size() || !IsAsciiLetter(rest[kShort.size()]))) {
      if (o + kLong.size() >= sizeof out) {
        return false;
      }
      std::memcpy(out + o, kLong.data(), kLong.size());
      o += kLong.size();
      i += kShort.size();
      continue;
    }
    const size_t step = (static_cast<unsigned char>(text[i]) >= kGbkLeadMin && i + 1 < n) ? 2 : 1;
    if (o + step >= sizeof out) {
      return false;
    }
    std::memcpy(out + o, text + i, step);
    o += step;
    i += step;
  }
  if (o >= size) {
    return false;
  }
  std::memcpy(text, out, o);
  text[o] = '\0';
  return true;
}

// The spellings the table does not hold, turned into ones it does.
void Normalise(char* t, size_t size) {
  struct Rewrite {
    const char* prefix;
    const char* name;
  };
  static constexpr Rewrite kRewrites[] = {
      {"印尼", "印度尼西亚"}, {"沙特", "沙特阿拉伯"}, {"阿联酋", "阿拉伯联合酋长国"}};
  for (const Rewrite& r : kRewrites) {
    if (StartsWith(t, r.prefix)) {
      tw::CopyTextLimited(t, r.name, size - 1);
      return;
    }
  }
  if (EqualsNoCaseGbk(t, "Great Britain") || EqualsNoCaseGbk(t, "England")) {
    tw::CopyTextLimited(t, "英国", size - 1);
    return;
  }
  // "Cook Is." -> "Cook Islands", "Marshall Is" -> "Marshall Island". A text that would outgrow
  // the buffer is left as it is.
  if (tw::ReplaceAll(t, size, " Is.", " Islands")) {
    ExpandIsland(t, size);
  }
}

bool Excluded(const CountryEntry& e, const char* excluded) {
  return excluded != nullptr && std::strcmp(e.code2, excluded) == 0;
}

}  // namespace

int IsChinaText(const char* text) {
  if (text == nullptr) {
    return 0;
  }
  for (const char* name : kChinaNames) {
    if (tw::FindNoCase(text, name) != nullptr) {
      return 1;
    }
  }
  return 0;
}

int IsUsText(const char* text) { return RunCheck(kUsCheck, text); }
int IsGbText(const char* text) { return RunCheck(kGbCheck, text); }
int IsDeText(const char* text) { return RunCheck(kDeCheck, text); }
int IsAuText(const char* text) { return RunCheck(kAuCheck, text); }

const CountryEntry* FindCountryByCode(const char* code) {
  if (code == nullptr) {
    return nullptr;
  }
  for (const CountryEntry& e : kCountryTable) {
    if (std::strcmp(e.code2, code) == 0) {
      return &e;
    }
  }
  return nullptr;
}

const CountryEntry* FindCountryEntry(const char* text, int bLoose, const char* excluded) {
  if (text == nullptr || *text == '\0') {
    return nullptr;
  }
  const size_t n = std::strlen(text);
  if (n > kCountryTextMaxBytes) {
    return nullptr;
  }
  if (excluded != nullptr && *excluded == '\0') {
    excluded = nullptr;
  }
  // 内蒙古 holds 蒙古: a search that must not answer China must not answer Mongolia either.
  if (excluded != nullptr && std::strcmp(excluded, "CN") == 0 && tw::FindNoCase(text, "内蒙古") != nullptr) {
    return nullptr;
  }
  if (excluded == nullptr && IsChinaText(text)) {
    return FindCountryByCode("CN");
  }
  if (IsUsText(text)) {
    return FindCountryByCode("US");
  }
  if (IsGbText(text)) {
    return FindCountryByCode("GB");
  }
  if (IsDeText(text)) {
    return FindCountryByCode("DE");
  }
  if (IsAuText(text)) {
    return FindCountryByCode("AU");
  }

  char t[kNormalisedBytes];
  std::memcpy(t, text, n + 1);
  Normalise(t, sizeof t);
  const std::string_view tv(t);

  for (const CountryEntry& e : kCountryTable) {
    if (tv == e.nameCn || EqualsNoCaseGbk(tv, e.nameEn)) {
      return &e;
    }
  }
  for (const CountryEntry& e : kCountryTable) {
    if (!Excluded(e, excluded) && (StartsWith(tv, e.nameCn) || StartsWithNoCase(tv, e.nameEn))) {
      return &e;
    }
  }
  if (bLoose == 0) {
    return nullptr;
  }
  for (const CountryEntry& e : kCountryTable) {
    if (Excluded(e, excluded)) {
      continue;
    }
    if (tw::FindNoCase(t, e.nameCn) != nullptr || tw::FindNoCase(t, e.nameEn) != nullptr ||
        tw::FindNoCase(e.nameCn, t) != nullptr || tw::FindNoCase(e.nameEn, t) != nullptr) {
      return &e;
    }
  }
  return nullptr;
}

const char* CountryCodeOf(const char* text) {
  const CountryEntry* e = FindCountryEntry(text, 0, nullptr);
  if (e == nullptr) {
    e = FindCountryEntry(text, 1, nullptr);
  }
  return e == nullptr ? "" : e->code2;
}

int IsPostcodeValidForCountry(const char* postcode, const char* country) {
  constexpr size_t kMinBytes = 4, kMaxBytes = 15, kMinCleanBytes = 4, kGbMaxChars = 7;
  if (postcode == nullptr) {
    return 0;
  }
  const size_t n = std::strlen(postcode);
  if (n < kMinBytes || n > kMaxBytes) {
    return 0;
  }
  char clean[kMaxBytes + 1];
  size_t m = 0;
  for (size_t i = 0; i < n; ++i) {
    if (postcode[i] != '-' && postcode[i] != ' ') {
      clean[m++] = postcode[i];
    }
  }
  clean[m] = '\0';
  if (m < kMinCleanBytes) {
    return 0;
  }
  if (country == nullptr) {
    return 1;
  }
  struct DigitRule {
    const char* country;
    size_t digits;
  };
  static constexpr DigitRule kDigitRules[] = {{"澳大利亚", 4}, {"美国", 5}, {"法国", 5}, {"德国", 5},
                                              {"中国", 6},     {"俄罗斯", 6}, {"日本", 7}};
  for (const DigitRule& r : kDigitRules) {
    if (std::strcmp(country, r.country) == 0) {
      return (m == r.digits && tw::IsAllDigits(clean)) ? 1 : 0;
    }
  }
  if (std::strcmp(country, "英国") == 0) {
    if (m > kGbMaxChars) {
      return 0;
    }
    tw::MakeUpperAscii(clean);
    for (size_t i = 0; i < m; ++i) {
      const char c = clean[i];
      if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) {
        return 0;
      }
    }
    return 1;
  }
  return 1;
}
