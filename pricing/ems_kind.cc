#include "pricing/ems_kind.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "core/db.h"
#include "pricing/internal/gbk_fold.h"
#include "util/escape.h"
#include "util/text.h"

namespace {

using tw::refdata::CompareNoCaseGbk;

constexpr char kAreaSql[] =
    "SELECT carea,careae,narea,ntype,ccode FROM dorvane.dbo.ems_area WHERE carea='%s' AND cemskind='%s'";
constexpr char kSpPriceSql[] =
    "SELECT a.ndocdiscount,a.nbagdiscount,a.nwbagdiscount,a.ipos,a.nextra,a.vdiscount,a.ibweight,a.iaddweight,"
    "a.fsrate,a.fprate,a.fother FROM dorvane.dbo.ems_sp AS a INNER JOIN dorvane.dbo.sp_arc AS b ON(a.isid=b.isid) "
    "WHERE a.isid=%u AND a.cemskind='%s' AND a.nstate=0";
constexpr size_t kColumnBytes = 256;

// Index of the first area whose name does not sort before `area`. REQUIRES: lock held.
size_t AreaLowerBound(const std::vector<std::unique_ptr<AreaRecord>>& areas, std::string_view area) {
  auto it = std::lower_bound(areas.begin(), areas.end(), area, [](const std::unique_ptr<AreaRecord>& r,
                                                                   std::string_view a) {
    return CompareNoCaseGbk(r->carea, a) < 0;
  });
  return static_cast<size_t>(it - areas.begin());
}

const SpPriceRecord* FindSupplier(const std::vector<std::unique_ptr<SpPriceRecord>>& list, int32_t isid) {
  for (const auto& r : list) {
    if (r->isid == isid) {
      return r.get();
    }
  }
  return nullptr;
}

}  // namespace

CEmsKind::~CEmsKind() = default;

const AreaRecord* CEmsKind::FindArea(const char* area) const {
  if (area == nullptr) {
    return nullptr;
  }
  std::shared_lock<std::shared_mutex> lock(lock_);
  const size_t at = AreaLowerBound(areas_, area);
  if (at < areas_.size() && CompareNoCaseGbk(areas_[at]->carea, area) == 0) {
    return areas_[at].get();
  }
  return nullptr;
}

const AreaRecord* CEmsKind::InsertArea(const AreaRecord& record) const {
  std::unique_lock<std::shared_mutex> lock(lock_);
  const size_t at = AreaLowerBound(areas_, record.carea);
  if (at < areas_.size() && CompareNoCaseGbk(areas_[at]->carea, record.carea) == 0) {
    return areas_[at].get();
  }
  areas_.insert(areas_.begin() + static_cast<std::ptrdiff_t>(at), std::make_unique<AreaRecord>(record));
  return areas_[at].get();
}

const AreaRecord* CEmsKind::GetArea(const char* area, PoolSlot& slot) const {
  // A name as long as the field, or longer, is no area name.
  if (area == nullptr || *area == '\0' || std::strlen(area) >= sizeof AreaRecord::carea) {
    return nullptr;
  }
  if (const AreaRecord* hit = FindArea(area)) {
    return hit;
  }
  DbStatement st(slot.hDbc);
  if (!st.ok() || !FormatSql(slot.szSql, sizeof slot.szSql, kAreaSql, tw::SqlEscape(area).c_str(),
                             tw::SqlEscape(cemskind).c_str())) {
    return nullptr;
  }
  char carea[kColumnBytes], careae[kColumnBytes], ccode[kColumnBytes];
  AreaRecord r;
  st.BindText(1, carea, sizeof carea);
  st.BindText(2, careae, sizeof careae);
  st.BindInt(3, &r.narea);
  st.BindInt(4, &r.ntype);
  st.BindText(5, ccode, sizeof ccode);
  if (!DbOk(st.ExecDirect(slot.szSql)) || !DbOk(st.Fetch())) {
    return nullptr;
  }
  tw::CopyTextLimited(r.carea, carea, sizeof r.carea - 1);
  tw::CopyTextLimited(r.careae, careae, sizeof r.careae - 1);
  tw::ParsePair(ccode, &r.nDaysB, &r.nDaysE);
  return InsertArea(r);
}

const SpPriceRecord* CEmsKind::FindSpPrice(int32_t isid) const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  return FindSupplier(spPrices_, isid);
}

const SpPriceRecord* CEmsKind::InsertSpPrice(const SpPriceRecord& record) const {
  std::unique_lock<std::shared_mutex> lock(lock_);
  if (const SpPriceRecord* held = FindSupplier(spPrices_, record.isid)) {
    return held;
  }
  auto it = std::upper_bound(spPrices_.begin(), spPrices_.end(), record.ipos,
                             [](int32_t ipos, const std::unique_ptr<SpPriceRecord>& r) { return ipos < r->ipos; });
  it = spPrices_.insert(it, std::make_unique<SpPriceRecord>(record));
  return it->get();
}

const SpPriceRecord* CEmsKind::GetSpPrice(int32_t isid, PoolSlot& slot) const {
  if (isid <= 0) {
    return nullptr;  // supplier ids start at 1
  }
  if (const SpPriceRecord* hit = FindSpPrice(isid)) {
    return hit;
  }
  DbStatement st(slot.hDbc);
  if (!st.ok() || !FormatSql(slot.szSql, sizeof slot.szSql, kSpPriceSql, static_cast<unsigned>(isid),
                             tw::SqlEscape(cemskind).c_str())) {
    return nullptr;
  }
  SpPriceRecord r;
  r.isid = isid;
  st.BindInt(1, &r.ndocdiscount);
  st.BindInt(2, &r.nbagdiscount);
  st.BindInt(3, &r.nwbagdiscount);
  st.BindInt(4, &r.ipos);
  st.BindInt(5, &r.nextra);
  st.BindInt(6, &r.vdiscount);
  st.BindInt(7, &r.ibweight);
  st.BindInt(8, &r.iaddweight);
  st.BindDouble(9, &r.fsrate);
  st.BindDouble(10, &r.fprate);
  st.BindDouble(11, &r.fother);
  if (!DbOk(st.ExecDirect(slot.szSql)) || !DbOk(st.Fetch())) {
    return nullptr;
  }
  return InsertSpPrice(r);
}

int32_t CEmsKind::GetSpDiscount(int32_t isid, int mode) const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  const SpPriceRecord* r = FindSupplier(spPrices_, isid);
  if (r == nullptr) {
    return kNoDiscount;
  }
  return mode == 0 ? r->ndocdiscount : mode == 1 ? r->nbagdiscount : r->nwbagdiscount;
}

size_t CEmsKind::AreaCount() const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  return areas_.size();
}

size_t CEmsKind::SpPriceCount() const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  return spPrices_.size();
}

char GetVolumeDivisorCode(const CEmsKind& kind) {
  switch (kind.nwtypec) {
    case 1:
      return 'D';
    case 3:
      return 'E';
    case 4:
      return 'T';
    default:
      return 0;
  }
}
