#include "pricing/zone_table.h"

#include <cstdio>
#include <cstring>

#include "core/config.h"
#include "util/text.h"

namespace {

constexpr char kStartLine[] = "[定义开始]";
constexpr char kTypeKey[] = "类型=";
constexpr char kKindKey[] = "快递类别=";
constexpr char kDefaultZoneKey[] = "邮编找不到时的分区=";
constexpr char kNumberKey[] = "备用1数字=";
constexpr char kLetterKey[] = "备用2字母=";
constexpr char kQuoteType[] = "报价";
constexpr char kSortingType[] = "分拣";
constexpr char kZoneLineFormat[] = "<第%u区定义";
constexpr size_t kTypeMin = 4, kTypeMax = 10;
constexpr size_t kKindMin = 1, kKindMax = 15;
constexpr size_t kZoneListMin = 6;
constexpr int kLettersPerRank = 26;

// Postcode text as it is compared: without blanks, "-", CR, LF and TAB, ASCII letters upper-cased,
// two-byte characters whole.
std::string CleanPostcodes(std::string_view text) {
  std::string cleaned;
  cleaned.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80 && i + 1 < text.size()) {
      cleaned.append(text.substr(i, 2));
      ++i;
    } else if (c != ' ' && c != '-' && c != '\r' && c != '\n' && c != '\t') {
      cleaned.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c));
    }
  }
  return cleaned;
}

// The postcode list of zone u in text, cleaned, as "," + list + ","; "" when the zone is missing,
// unclosed or too short (which ends the zones).
std::string ReadZoneList(const char* text, unsigned u) {
  char line[32];
  std::snprintf(line, sizeof line, kZoneLineFormat, u);
  const char* open = std::strstr(text, line);
  if (open == nullptr) {
    return std::string();
  }
  const char* after = open + std::strlen(line);
  const char* close = std::strstr(after, line);
  if (close == nullptr) {
    return std::string();
  }
  const char* comma = static_cast<const char*>(std::memchr(after, ',', static_cast<size_t>(close - after)));
  if (comma == nullptr) {
    return std::string();
  }
  std::string cleaned = "," + CleanPostcodes(std::string_view(comma + 1, static_cast<size_t>(close - comma - 1)));
  if (cleaned.size() - 1 < kZoneListMin) {
    return std::string();
  }
  cleaned.push_back(',');
  return cleaned;
}

}  // namespace

int ZoneDefinition::ZoneOf(std::string_view key) const {
  for (size_t i = 0; i < zones.size(); ++i) {
    if (zones[i].find(key) != std::string::npos) {
      return static_cast<int>(i) + 1;
    }
  }
  return defaultZone;
}

CZoneTable::~CZoneTable() = default;

void CZoneTable::Clear() {
  quotes_.clear();
  sortings_.clear();
}

int CZoneTable::ParseDefinition(const char* text) {
  const char* start = text != nullptr ? std::strstr(text, kStartLine) : nullptr;
  if (start == nullptr) {
    return kZoneBadText;
  }
  char type[kTypeMax + 1], kind[kKindMax + 1];
  GetSettingText(kTypeKey, start, type, sizeof type, kTypeMin, kTypeMax, true);
  GetSettingText(kKindKey, start, kind, sizeof kind, kKindMin, kKindMax, true);
  const bool bQuote = std::strcmp(type, kQuoteType) == 0;
  if ((!bQuote && std::strcmp(type, kSortingType) != 0) || kind[0] == '\0') {
    return kZoneBadText;
  }
  std::vector<ZoneDefinition>& list = bQuote ? quotes_ : sortings_;
  if (FindDefinition(list, kind) != nullptr) {
    return kZoneDuplicateKind;
  }
  ZoneDefinition d;
  d.bQuote = bQuote;
  tw::CopyTextLimited(d.kind, kind, sizeof d.kind - 1);
  d.defaultZone = GetSettingInt(kDefaultZoneKey, start, -1);
  if (!bQuote) {
    d.bNumber = GetSettingInt(kNumberKey, start, 0) == 1;
    d.bLetter = GetSettingInt(kLetterKey, start, 0) == 1;
  }
  for (unsigned u = 1; u <= kZoneMax; ++u) {
    std::string zone = ReadZoneList(start, u);
    if (zone.empty()) {
      break;
    }
    d.zones.push_back(std::move(zone));
  }
  list.push_back(std::move(d));
  return kZoneAdded;
}

const ZoneDefinition* CZoneTable::FindDefinition(const std::vector<ZoneDefinition>& list, const char* kind) const {
  if (kind == nullptr) {
    return nullptr;
  }
  for (const ZoneDefinition& d : list) {
    if (std::strcmp(d.kind, kind) == 0) {
      return &d;
    }
  }
  return nullptr;
}

int CZoneTable::FindZoneNumber(const char* postcode, const char* kind) const {
  const std::string key = ZoneKey(postcode);
  if (key.empty()) {
    return 0;
  }
  const ZoneDefinition* d = FindDefinition(quotes_, kind);
  return d != nullptr ? d->ZoneOf(key) : -1;
}

int CZoneTable::FindZone(const char* postcode, const char* kind, char number[kZoneNumberBytes],
                         char letter[kZoneLetterBytes]) const {
  number[0] = '\0';
  letter[0] = '\0';
  const int a = FindZoneNumber(postcode, kind);
  const ZoneDefinition* d = FindDefinition(sortings_, kind);
  const std::string key = ZoneKey(postcode);
  if (d == nullptr || key.empty()) {
    return 0;
  }
  const int i = d->ZoneOf(key);
  if (i <= 0) {
    return 0;
  }
  if (d->bNumber && a > 0) {
    std::snprintf(number, kZoneNumberBytes, "%u", static_cast<unsigned>(a));
  }
  if (d->bLetter) {
    ZoneLetter(i, letter);
  }
  return 1;
}

char* ZoneLetter(int n, char out[kZoneLetterBytes]) {
  out[0] = '\0';
  if (n < 1 || n > static_cast<int>(kZoneMax)) {
    return out;
  }
  if (n <= kLettersPerRank) {
    out[0] = static_cast<char>('A' + n - 1);
    out[1] = '\0';
  } else {
    out[0] = static_cast<char>((n - 1) / kLettersPerRank + 64);
    out[1] = static_cast<char>((n - 1) % kLettersPerRank + 65);
    out[2] = '\0';
  }
  return out;
}

std::string ZoneKey(const char* postcode) {
  if (postcode == nullptr) {
    return std::string();
  }
  const std::string cleaned = CleanPostcodes(postcode);
  if (cleaned.empty() || cleaned.find(',') != std::string::npos) {
    return std::string();
  }
  return "," + cleaned + ",";
}
