#include "pricing/base_price.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "core/db.h"

namespace {

constexpr char kMaxAreaSql[] = "SELECT COALESCE(MAX(narea),0) FROM dorvane.dbo.sys_price";
constexpr const char* kBandSql[kItemTypeCount] = {
    "SELECT iid,ibweight,ieweight,iweightper,iprice,itopprice,ntype FROM dorvane.dbo.sys_price WHERE nitemtype=0 "
    "AND narea=%d ORDER BY ibweight",
    "SELECT iid,ibweight,ieweight,iweightper,iprice,itopprice,ntype FROM dorvane.dbo.sys_price WHERE nitemtype=1 "
    "AND narea=%d ORDER BY ibweight",
    "SELECT iid,ibweight,ieweight,iweightper,iprice,itopprice,ntype FROM dorvane.dbo.sys_price WHERE nitemtype=2 "
    "AND narea=%d ORDER BY ibweight",
};

// ceil(x / y) for y > 0: the integer quotient plus 1 when there is a remainder.
int64_t CeilDiv(int64_t x, int64_t y) { return x / y + (x % y != 0 ? 1 : 0); }

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

bool ValidBand(const PriceBand& band) {
  return band.ntype == kBandFixed || band.ntype == kBandPerKg || band.iweightper > 0;
}

int64_t PriceBandValue(const PriceBand& band, int32_t w) {
  switch (band.ntype) {
    case kBandFixed:
      return band.itopprice;
    case kBandPerStep:
      return CeilDiv(w, band.iweightper) * band.iprice;
    case kBandPerKg:
      return band.itopprice + static_cast<int64_t>(w) * band.iprice / 1000;
    default:
      return band.itopprice + CeilDiv(static_cast<int64_t>(w) - band.ibweight, band.iweightper) * band.iprice;
  }
}

CPriceBandList::~CPriceBandList() = default;

int CPriceBandList::Insert(const PriceBand& band) {
  auto it = std::upper_bound(bands_.begin(), bands_.end(), band.ibweight,
                             [](int32_t w, const PriceBand& b) { return w < b.ibweight; });
  if (it != bands_.begin() && std::prev(it)->ibweight == band.ibweight) {
    return 0;
  }
  bands_.insert(it, band);
  return 1;
}

CBasePriceTable::~CBasePriceTable() = default;

void CBasePriceTable::Clear() {
  for (auto& row : cells_) {
    for (auto& cell : row) {
      cell.reset();
    }
  }
}

int CBasePriceTable::BandCount() const {
  size_t n = 0;
  for (const auto& row : cells_) {
    for (const auto& cell : row) {
      if (cell) {
        n += cell->bands().size();
      }
    }
  }
  return static_cast<int>(n);
}

CPriceBandList* CBasePriceTable::GetBandList(int itemType, int areaIndex) {
  if (itemType < 0 || itemType >= kItemTypeCount || areaIndex < 0 || areaIndex >= kAreaCount) {
    return nullptr;
  }
  auto& cell = cells_[itemType][areaIndex];
  if (!cell) {
    cell = std::make_unique<CPriceBandList>();
  }
  return cell.get();
}

const CPriceBandList* CBasePriceTable::FindBandList(int itemType, int areaIndex) const {
  if (itemType < 0 || itemType >= kItemTypeCount || areaIndex < 0 || areaIndex >= kAreaCount) {
    return nullptr;
  }
  return cells_[itemType][areaIndex].get();
}

int CBasePriceTable::InsertBand(const PriceBand& band, int areaIndex, int itemType) {
  if (!ValidBand(band)) {
    return 0;  // a stepped band without a step would divide by zero when it prices
  }
  CPriceBandList* list = GetBandList(itemType, areaIndex);
  return list == nullptr ? 0 : list->Insert(band);
}

int CBasePriceTable::Load(PoolSlot& slot) {
  Clear();
  int32_t maxArea = 0;
  {
    DbStatement st(slot.hDbc);
    if (!st.ok()) {
      return 0;
    }
    st.BindInt(1, &maxArea);
    if (!DbOk(st.ExecDirect(kMaxAreaSql)) || !DbOk(st.Fetch())) {
      return 0;
    }
  }
  // Area numbers run 1..256 (one cell each); higher ones have no cell.
  maxArea = std::min<int32_t>(maxArea, kAreaCount);
  int loaded = 0;
  for (int area = 1; area <= maxArea; ++area) {
    for (int type = 0; type < kItemTypeCount; ++type) {
      DbStatement st(slot.hDbc);
      if (!st.ok() || !FormatSql(slot.szSql, sizeof slot.szSql, kBandSql[type], area)) {
        Clear();
        return 0;
      }
      PriceBand b;
      int32_t ntype = 0;
      st.BindInt(1, &b.iid);
      st.BindInt(2, &b.ibweight);
      st.BindInt(3, &b.ieweight);
      st.BindInt(4, &b.iweightper);
      st.BindInt(5, &b.iprice);
      st.BindInt(6, &b.itopprice);
      st.BindInt(7, &ntype);
      if (!DbOk(st.ExecDirect(slot.szSql))) {
        Clear();
        return 0;
      }
      SQLRETURN rc;
      while (DbOk(rc = st.Fetch())) {
        // A rule number outside 0..255 is none the pricing knows: the band is left out.
        if (ntype < 0 || ntype > 255) {
          continue;
        }
        b.ntype = static_cast<uint8_t>(ntype);
        loaded += InsertBand(b, area - 1, type);
      }
      if (rc != SQL_NO_DATA) {
        Clear();
        return 0;
      }
    }
  }
  return loaded;
}

int32_t CBasePriceTable::PriceForWeight(int32_t w, int area, int itemType) const {
  if (area < 1 || area > kAreaCount) {
    return 0;
  }
  const int type = (itemType == 0 || itemType == 1) ? itemType : 2;
  const CPriceBandList* list = cells_[type][area - 1].get();
  if (list == nullptr) {
    return 0;
  }
  int64_t price = 0;
  for (const PriceBand& b : list->bands()) {
    if (!(b.ibweight < w && w <= b.ieweight)) {
      continue;
    }
    price = PriceBandValue(b, w);
    if (b.ntype == kBandFixed || b.ntype == kBandPerStep || b.ntype == kBandPerKg) {
      break;
    }
  }
  return Clamp32(price);
}
