#include "pricing/ostrum_container.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/db.h"
#include "core/result_codes.h"
#include "util/escape.h"
#include "util/text.h"

namespace {

constexpr size_t kDictValueBytes = 128;

// Index of the first user whose id compares not smaller (byte order). REQUIRES: lock held.
size_t LowerBound(const std::vector<std::unique_ptr<PdaUser>>& users, const char* cpda) {
  size_t lo = 0, hi = users.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (std::strcmp(users[mid]->cpda, cpda) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

}  // namespace

COstrumContainer::COstrumContainer() = default;
COstrumContainer::~COstrumContainer() = default;

int ReadSysDict(const char* dcname, char out[128], PoolSlot& slot) {
  out[0] = '\0';
  DbStatement st(slot.hDbc);
  if (!st.ok()) return kRcDbFailed;
  std::string sql = "SELECT dcvalue FROM dorvane.dbo.sys_dict WHERE dcname='" + tw::SqlEscape(dcname) + "'";
  st.BindText(1, out, kDictValueBytes);
  if (!DbOk(st.ExecDirect(sql.c_str()))) return kRcDbFailed;
  return DbOk(st.Fetch()) ? 1 : 0;
}

int COstrumContainer::Load(PoolSlot& slot) {
  // The place table and the base price bands come with the reference data.
  const int places = 0;
  const int bands = 0;
  std::snprintf(status_, sizeof status_, "Pl:%d,Pr:%d", places, bands);

  {
    DbStatement st(slot.hDbc);
    char value[kDictValueBytes] = {0};
    st.BindText(1, value, sizeof value);
    if (DbOk(st.ExecDirect("SELECT dcvalue FROM dorvane.dbo.sys_dict WHERE dcname='d_ctrlcode' ORDER BY diposition"))) {
      while (DbOk(st.Fetch())) controlCodes.emplace_back(value);
    }
  }
  ReadDictionary(slot);
  loaded_.store(1, std::memory_order_release);
  return places + bands;
}

void COstrumContainer::ReadDictionary(PoolSlot& slot) {
  char v[kDictValueBytes];
  struct Short {
    const char* name;
    char* field;
  } const shorts[] = {{"89", dict89}, {"90", dict90}, {"128", dict128}, {"132", dict132}};
  for (const Short& s : shorts) {
    if (ReadSysDict(s.name, v, slot) == 1) tw::CopyTextLimited(s.field, v, 3);
  }
  if (ReadSysDict("86", v, slot) == 1) dict86 = std::atof(v);
  if (ReadSysDict("87", v, slot) == 1) dict87 = std::atof(v);
  if (ReadSysDict("77", v, slot) == 1) tw::CopyTextLimited(pdaKey, v, sizeof pdaKey - 1);
  if (ReadSysDict("27", v, slot) == 1) dict27 = v[0] == '1';
  if (ReadSysDict("75", v, slot) == 1) {
    volumeLetter = v[0];
    volumeDivisor = v[0] == 'D' ? 5000 : v[0] == 'E' ? 8000 : v[0] == 'T' ? 3000 : 6000;
  }
  if (ReadSysDict("47", v, slot) == 1) {
    int n = std::atoi(v);
    weightRounding = n == 1 ? 5 : n == 2 ? 9 : n == 3 ? -1 : n;
  }
  if (ReadSysDict("115", v, slot) == 1) wholeShipmentWeight = v[0] == '1';
  if (ReadSysDict("39", v, slot) == 1) dict39 = std::atoi(v);
  if (ReadSysDict("64", v, slot) == 1) dict64 = v[0] == '1';
  if (ReadSysDict("65", v, slot) == 1) tw::CopyTextLimited(dict65, v, sizeof dict65 - 1);
}

std::optional<PdaUser> COstrumContainer::FindPdaUser(const char* cpda) const {
  std::shared_lock<std::shared_timed_mutex> lock(lock_);
  size_t at = LowerBound(pdaUsers_, cpda);
  if (at < pdaUsers_.size() && std::strcmp(pdaUsers_[at]->cpda, cpda) == 0) return *pdaUsers_[at];
  return std::nullopt;
}

std::optional<PdaUser> COstrumContainer::GetPdaUser(const char* cpda, SQLHDBC dbc) {
  if (cpda == nullptr || *cpda == '\0' || std::strlen(cpda) >= sizeof PdaUser::cpda) return std::nullopt;
  if (auto hit = FindPdaUser(cpda)) return hit;

  PdaUser user;
  tw::CopyTextLimited(user.cpda, cpda, sizeof user.cpda - 1);
  {
    DbStatement st(dbc);
    if (!st.ok()) return std::nullopt;
    std::string sql = "SELECT mcname,mcstation FROM dorvane.dbo.man_main WHERE cpda='" + tw::SqlEscape(cpda) + "'";
    st.BindText(1, user.mcname, sizeof user.mcname);
    st.BindText(2, user.mcstation, sizeof user.mcstation);
    if (!DbOk(st.ExecDirect(sql.c_str())) || !DbOk(st.Fetch()) || user.mcname[0] == '\0') return std::nullopt;
  }
  {
    DbStatement st(dbc);
    std::string sql =
        "SELECT cdepot FROM dorvane.dbo.w_depot_role WHERE cname='" + tw::SqlEscape(user.mcname) + "'";
    char depot[8] = {0};
    st.BindText(1, depot, sizeof depot);
    if (DbOk(st.ExecDirect(sql.c_str())) && DbOk(st.Fetch())) tw::CopyTextLimited(user.cdepot, depot, 3);
  }
  return InsertPdaUser(user, true);
}

PdaUser COstrumContainer::InsertPdaUser(const PdaUser& user, bool bLock) {
  std::unique_lock<std::shared_timed_mutex> lock(lock_, std::defer_lock);
  if (bLock && !lock.try_lock_for(std::chrono::milliseconds(kCacheLockWaitMs))) return user;
  size_t at = LowerBound(pdaUsers_, user.cpda);
  if (at < pdaUsers_.size() && std::strcmp(pdaUsers_[at]->cpda, user.cpda) == 0) return *pdaUsers_[at];
  pdaUsers_.insert(pdaUsers_.begin() + static_cast<std::ptrdiff_t>(at), std::make_unique<PdaUser>(user));
  return user;
}
