#include "pricing/place_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "core/db.h"
#include "pricing/internal/gbk_fold.h"
#include "util/text.h"

namespace {

using tw::refdata::EndsWithChar;
using tw::refdata::FoldGbk;

constexpr char kLoadSql[] =
    "SELECT iid,ccode,cscan,carea,careae,narea,ntype,czipcode,cc2,cc3 FROM dorvane.dbo.sys_place ORDER BY iid";
// Column values are read into buffers of this size and then cut to their fields at a character
// boundary (a driver that cuts at the field size could split a two-byte character).
constexpr size_t kColumnBytes = 256;
constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// Names that mean one place although several places carry them.
struct FixedRule {
  std::string_view text;
  std::string_view place;
};
constexpr FixedRule kFixedRules[] = {
    {"鞍山", "辽宁鞍山"}, {"眉山", "四川眉山"}, {"龙泉", "浙江龙泉"}, {"普兰", "西藏普兰"},
    {"大连", "辽宁大连"}, {"长沙", "湖南长沙"}, {"三沙", "海南三沙"},
};
// Country names that other names contain (印度尼西亚, 几内亚比绍 ...): answered only exactly.
constexpr std::string_view kExactOnly[] = {"印度", "刚果", "几内亚", "朝鲜", "苏丹", "也门"};
// Names answered by prefix only (内蒙 finds 内蒙古).
constexpr std::string_view kPrefixOnly[] = {"俄罗斯", "内蒙", "内蒙古"};
// Trailing characters dropped before a second match.
constexpr std::string_view kDroppedEndings[] = {"市", "县", "省"};
// The text must be at least this long before an ending is dropped.
constexpr size_t kDropMinBytes = 6;
// Offsets of the tail after a three- and a two-character prefix (a province before a city).
constexpr uint8_t kThreeCharPrefix = 6;
constexpr uint8_t kTwoCharPrefix = 4;

uint8_t AreaByte(int32_t v) { return (v < 0 || v > 255) ? static_cast<uint8_t>(kUnknownArea) : static_cast<uint8_t>(v); }
uint8_t TypeByte(int32_t v) { return (v < 0 || v > 255) ? 0 : static_cast<uint8_t>(v); }

template <size_t N>
void CopyField(char (&field)[N], const char* value, size_t maxChars = N - 1) {
  tw::CopyTextLimited(field, value, maxChars < N - 1 ? maxChars : N - 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

CPlaceTable::~CPlaceTable() = default;

void CPlaceTable::Clear() {
  loaded_ = false;
  records_.clear();
  folded_.clear();
  byCode_.clear();
  byName_.clear();
  byNameE_.clear();
  suffixes_.clear();
}

int CPlaceTable::Load(PoolSlot& slot) {
  Clear();
  std::vector<PlaceRecord> rows;
  {
    DbStatement st(slot.hDbc);
    if (!st.ok()) {
      return 0;
    }
    int32_t iid = 0, narea = 0, ntype = 0;
    char ccode[kColumnBytes], cscan[kColumnBytes], carea[kColumnBytes], careae[kColumnBytes];
    char czipcode[kColumnBytes], cc2[kColumnBytes], cc3[kColumnBytes];
    st.BindInt(1, &iid);
    st.BindText(2, ccode, sizeof ccode);
    st.BindText(3, cscan, sizeof cscan);
    st.BindText(4, carea, sizeof carea);
    st.BindText(5, careae, sizeof careae);
    st.BindInt(6, &narea);
    st.BindInt(7, &ntype);
    st.BindText(8, czipcode, sizeof czipcode);
    st.BindText(9, cc2, sizeof cc2);
    st.BindText(10, cc3, sizeof cc3);
    if (!DbOk(st.ExecDirect(kLoadSql))) {
      return 0;
    }
    SQLRETURN rc;
    while (DbOk(rc = st.Fetch())) {
      PlaceRecord r;
      r.iid = iid;
      CopyField(r.ccode, ccode);
      CopyField(r.cscan, cscan);
      CopyField(r.carea, carea);
      CopyField(r.careae, careae);
      r.narea = AreaByte(narea);
      r.ntype = TypeByte(ntype);
      CopyField(r.czipcode, czipcode);
      CopyField(r.cc2, cc2, 2);
      CopyField(r.cc3, cc3);
      rows.push_back(r);
    }
    if (rc != SQL_NO_DATA) {
      return 0;  // a half-read table would price some places and not others
    }
  }
  return LoadRows(std::move(rows));
}

int CPlaceTable::LoadRows(std::vector<PlaceRecord> rows) {
  Clear();
  records_ = std::move(rows);
  std::stable_sort(records_.begin(), records_.end(),
                   [](const PlaceRecord& a, const PlaceRecord& b) { return a.iid < b.iid; });
  BuildIndexes();
  loaded_ = true;
  return static_cast<int>(records_.size());
}

void CPlaceTable::BuildIndexes() {
  folded_.assign(records_.size(), Folded{});
  byCode_.reserve(records_.size());
  byName_.reserve(records_.size());
  byNameE_.reserve(records_.size());
  for (uint32_t i = 0; i < records_.size(); ++i) {
    const PlaceRecord& r = records_[i];
    Folded& f = folded_[i];
    const size_t nCode = std::strlen(r.ccode), nName = std::strlen(r.carea), nNameE = std::strlen(r.careae);
    FoldGbk({r.ccode, nCode}, f.ccode);
    FoldGbk({r.carea, nName}, f.carea);
    FoldGbk({r.careae, nNameE}, f.careae);
    byCode_.push_back({{f.ccode, nCode}, i});
    byName_.push_back({{f.carea, nName}, i});
    byNameE_.push_back({{f.careae, nNameE}, i});
  }
  auto byKey = [](const IndexEntry& a, const IndexEntry& b) { return a.key < b.key; };
  std::stable_sort(byCode_.begin(), byCode_.end(), byKey);
  std::stable_sort(byName_.begin(), byName_.end(), byKey);
  std::stable_sort(byNameE_.begin(), byNameE_.end(), byKey);

  for (uint32_t pos = 0; pos < byName_.size(); ++pos) {
    const char* name = records_[byName_[pos].record].carea;
    const std::string_view whole(name);
    size_t at = 0;
    while (at < whole.size()) {
      suffixes_.push_back({whole.substr(at), pos, static_cast<uint8_t>(at)});
      at += (static_cast<unsigned char>(whole[at]) >= tw::refdata::kGbkLeadMin && at + 1 < whole.size()) ? 2 : 1;
    }
  }
  std::sort(suffixes_.begin(), suffixes_.end(), [](const Suffix& a, const Suffix& b) {
    return a.tail != b.tail ? a.tail < b.tail : a.position < b.position;
  });
}

const PlaceRecord* CPlaceTable::FindExact(const std::vector<IndexEntry>& index, std::string_view text) const {
  char folded[kPlaceTextMaxBytes];
  if (text.empty() || text.size() > sizeof folded) {
    return nullptr;
  }
  FoldGbk(text, folded);
  const std::string_view key(folded, text.size());
  auto it = std::lower_bound(index.begin(), index.end(), key,
                             [](const IndexEntry& e, std::string_view k) { return e.key < k; });
  if (it == index.end() || it->key != key) {
    return nullptr;
  }
  return &records_[it->record];
}

const PlaceRecord* CPlaceTable::FindByNameView(std::string_view text, bool bPrefix) const {
  // No name is as long as its field: such a text can neither equal nor begin one.
  if (text.empty() || text.size() >= sizeof PlaceRecord::carea) {
    return nullptr;
  }
  char folded[sizeof PlaceRecord::carea];
  FoldGbk(text, folded);
  const std::string_view key(folded, text.size());
  auto it = std::lower_bound(byName_.begin(), byName_.end(), key,
                             [](const IndexEntry& e, std::string_view k) { return e.key < k; });
  if (it != byName_.end() && it->key == key) {
    return &records_[it->record];
  }
  if (!bPrefix) {
    return nullptr;
  }
  // Names beginning with the exact bytes of the text begin with its folded form too, so they all
  // lie from the lower bound on, among the names whose folded form begins with it.
  const PlaceRecord* best = nullptr;
  size_t bestLen = 0;
  bool inRun = false;
  for (; it != byName_.end() && StartsWith(it->key, key); ++it) {
    const PlaceRecord& r = records_[it->record];
    const std::string_view name(r.carea, it->key.size());
    if (!StartsWith(name, text)) {
      if (inRun) {
        break;
      }
      continue;
    }
    inRun = true;
    if (best == nullptr || name.size() < bestLen) {
      best = &r;
      bestLen = name.size();
    }
  }
  return best;
}

const PlaceRecord* CPlaceTable::FindByName(const char* text, bool bPrefix) const {
  if (text == nullptr) {
    return nullptr;
  }
  return FindByNameView(text, bPrefix);
}

const PlaceRecord* CPlaceTable::FindByNameE(const char* text) const {
  return text == nullptr ? nullptr : FindExact(byNameE_, text);
}

const PlaceRecord* CPlaceTable::FindByCode(const char* text) const {
  return text == nullptr ? nullptr : FindExact(byCode_, text);
}

int CPlaceTable::GetArea(const char* text) const {
  const PlaceRecord* r = FindByName(text, false);
  return r == nullptr ? kUnknownArea : r->narea;
}

// The names containing the text, taken in name order: the first that is the text itself or ends
// with it after a three-character prefix wins; otherwise a single candidate; otherwise the first
// that ends with it after a two-character prefix, else the first candidate.
const PlaceRecord* CPlaceTable::MatchContained(std::string_view text) const {
  if (text.empty() || text.size() >= sizeof PlaceRecord::carea) {
    return nullptr;
  }
  auto it = std::lower_bound(suffixes_.begin(), suffixes_.end(), text,
                             [](const Suffix& s, std::string_view t) { return s.tail < t; });
  uint32_t firstFound = kNone, minAny = kNone, minWhole = kNone, minTwo = kNone;
  bool several = false;
  for (; it != suffixes_.end() && StartsWith(it->tail, text); ++it) {
    const uint32_t pos = it->position;
    const bool atEnd = it->tail.size() == text.size();
    if (atEnd && (it->offset == 0 || it->offset == kThreeCharPrefix)) {
      minWhole = std::min(minWhole, pos);
    }
    if (atEnd && it->offset == kTwoCharPrefix) {
      minTwo = std::min(minTwo, pos);
    }
    minAny = std::min(minAny, pos);
    if (firstFound == kNone) {
      firstFound = pos;
    } else if (pos != firstFound) {
      several = true;
    }
  }
  uint32_t chosen = kNone;
  if (minWhole != kNone) {
    chosen = minWhole;
  } else if (!several) {
    chosen = minAny;
  } else {
    chosen = minTwo != kNone ? minTwo : minAny;
  }
  return chosen == kNone ? nullptr : &records_[byName_[chosen].record];
}

const PlaceRecord* CPlaceTable::MatchOnce(std::string_view text, bool* bFinal) const {
  if (const PlaceRecord* r = FindByNameView(text, false)) {
    return r;
  }
  for (const FixedRule& rule : kFixedRules) {
    if (text == rule.text) {
      if (const PlaceRecord* r = FindByNameView(rule.place, true)) {
        return r;
      }
      break;
    }
  }
  for (std::string_view name : kExactOnly) {
    if (text == name) {
      *bFinal = true;
      return nullptr;  // the exact search above found nothing
    }
  }
  for (std::string_view name : kPrefixOnly) {
    if (text == name) {
      *bFinal = true;
      return FindByNameView(text, true);
    }
  }
  return MatchContained(text);
}

const PlaceRecord* CPlaceTable::MatchPlace(const char* text, [[maybe_unused]] int option) const {
  if (text == nullptr) {
    return nullptr;
  }
  std::string_view t(text);
  if (t.size() > kPlaceTextMaxBytes) {
    return nullptr;
  }
  // Each round drops one trailing 市, 县 or 省 (a loop, not a recursion: the text is untrusted).
  while (!t.empty()) {
    bool bFinal = false;
    if (const PlaceRecord* r = MatchOnce(t, &bFinal)) {
      return r;
    }
    if (bFinal || t.size() < kDropMinBytes) {
      return nullptr;
    }
    bool dropped = false;
    for (std::string_view ending : kDroppedEndings) {
      if (EndsWithChar(t, ending)) {
        t.remove_suffix(ending.size());
        dropped = true;
        break;
      }
    }
    if (!dropped) {
      return nullptr;
    }
  }
  return nullptr;
}
