#include "pricing/ostrum_container.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

#include "core/db.h"
#include "core/result_codes.h"
#include "pricing/internal/gbk_fold.h"
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
  const int nPlaces = places.Load(slot);
  const int nBands = basePrices.Load(slot);
  std::snprintf(status_, sizeof status_, "Pl:%d,Pr:%d", nPlaces, nBands);

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
  return nPlaces + nBands;
}

void COstrumContainer::ReadDictionary(PoolSlot& slot) {
  // The order in which the rows are read.
  static constexpr const char* kNames[] = {"89", "90", "128", "132", "86", "87", "77",
                                           "27", "75", "47",  "115", "39", "64", "65"};
  char v[kDictValueBytes];
  for (const char* name : kNames) {
    if (ReadSysDict(name, v, slot) == 1) SetDictValue(name, v);
  }
}

void COstrumContainer::SetDictValue(const char* dcname, const char* value) {
  if (dcname == nullptr || value == nullptr) return;
  const std::string_view name(dcname);
  const bool flag = value[0] == '1';
  if (name == "89") {
    tw::CopyTextLimited(dict89, value, sizeof dict89 - 1);
  } else if (name == "90") {
    tw::CopyTextLimited(dict90, value, sizeof dict90 - 1);
  } else if (name == "128") {
    tw::CopyTextLimited(dict128, value, sizeof dict128 - 1);
  } else if (name == "132") {
    tw::CopyTextLimited(dict132, value, sizeof dict132 - 1);
  } else if (name == "86") {
    dict86 = std::atof(value);
  } else if (name == "87") {
    dict87 = std::atof(value);
  } else if (name == "77") {
    tw::CopyTextLimited(pdaKey, value, sizeof pdaKey - 1);
  } else if (name == "27") {
    dict27 = flag;
  } else if (name == "75") {
    volumeLetter = value[0];
    volumeDivisor = value[0] == 'D' ? 5000 : value[0] == 'E' ? 8000 : value[0] == 'T' ? 3000 : 6000;
  } else if (name == "47") {
    const int n = tw::ParseIntClamped(value);
    weightRounding = n == 1 ? 5 : n == 2 ? 9 : n == 3 ? -1 : n;
  } else if (name == "115") {
    wholeShipmentWeight = flag;
  } else if (name == "39") {
    dict39 = tw::ParseIntClamped(value);
  } else if (name == "64") {
    dict64 = flag;
  } else if (name == "65") {
    tw::CopyTextLimited(dict65, value, sizeof dict65 - 1);
  }
}

int32_t COstrumContainer::GetBasePrice(int32_t weight, const char* place, int itemType) const {
  return basePrices.PriceForWeight(weight, places.GetArea(place), itemType);
}

// ----- Service kinds --------------------------------------------------------------------------------

namespace {

constexpr char kKindSql[] =
    "SELECT cemskind,narea,idocweighte,ibagweighte,nstate,cmemo,fcustoms,faddons,b1price,nextra,nclient,nsp,"
    "nweights,ckey,cemskindi,ninput,idiscount,ncost,cmaskno,cmasknum,ntrackbit,nbusitype,fscustoms,fsaddons,"
    "ncuball,nnoprice,cstation,ndiscountc,ndiscounts,nallcustoms,npubprice,crmtkind,COALESCE(ipubdis,0),"
    "COALESCE(cekgroup,''),COALESCE(nwtypec,0),COALESCE(nwtypes,0),COALESCE(iidgen,0) "
    "FROM dorvane.dbo.ems_kind WHERE cemskind";
constexpr char kKindByCodeSql[] = "='%s'";
constexpr char kKindByInputSql[] = "i='%s'";
constexpr char kKindByEitherSql[] = "='%s' OR cemskindi='%s'";
constexpr size_t kKindTextBytes = 256;

bool KindMatches(const EmsKindRow& k, std::string_view text, int mode) {
  using tw::refdata::EqualsNoCaseGbk;
  if (mode == kKindByCode) return EqualsNoCaseGbk(k.cemskind, text);
  if (mode == kKindByInputName) return EqualsNoCaseGbk(k.cemskindi, text);
  return EqualsNoCaseGbk(k.cemskind, text) || EqualsNoCaseGbk(k.cemskindi, text);
}

// Reads the first row of the kind statement into *row. 1 read, 0 no row, -9 statement failure.
int ReadKindRow(PoolSlot& slot, const char* sql, EmsKindRow* row) {
  DbStatement st(slot.hDbc);
  if (!st.ok()) return kRcDbFailed;
  struct Text {
    char* field;
    size_t size;
    char buffer[kKindTextBytes];
  };
  Text texts[] = {{row->cemskind, sizeof row->cemskind, {}}, {row->cmemo, sizeof row->cmemo, {}},
                  {row->ckey, sizeof row->ckey, {}},         {row->cemskindi, sizeof row->cemskindi, {}},
                  {row->cmaskno, sizeof row->cmaskno, {}},   {row->cmasknum, sizeof row->cmasknum, {}},
                  {row->cstation, sizeof row->cstation, {}}, {row->crmtkind, sizeof row->crmtkind, {}},
                  {row->cekgroup, sizeof row->cekgroup, {}}};
  enum { kCode, kMemo, kKey, kInput, kMaskNo, kMaskNum, kStation, kRmtKind, kEkGroup };
  SQLUSMALLINT c = 1;
  st.BindText(c++, texts[kCode].buffer, kKindTextBytes);
  st.BindInt(c++, &row->narea);
  st.BindInt(c++, &row->idocweighte);
  st.BindInt(c++, &row->ibagweighte);
  st.BindInt(c++, &row->nstate);
  st.BindText(c++, texts[kMemo].buffer, kKindTextBytes);
  st.BindDouble(c++, &row->fcustoms);
  st.BindDouble(c++, &row->faddons);
  st.BindInt(c++, &row->b1price);
  st.BindInt(c++, &row->nextra);
  st.BindInt(c++, &row->nclient);
  st.BindInt(c++, &row->nsp);
  st.BindInt(c++, &row->nweights);
  st.BindText(c++, texts[kKey].buffer, kKindTextBytes);
  st.BindText(c++, texts[kInput].buffer, kKindTextBytes);
  st.BindInt(c++, &row->ninput);
  st.BindInt(c++, &row->idiscount);
  st.BindInt(c++, &row->ncost);
  st.BindText(c++, texts[kMaskNo].buffer, kKindTextBytes);
  st.BindText(c++, texts[kMaskNum].buffer, kKindTextBytes);
  st.BindInt(c++, &row->ntrackbit);
  st.BindInt(c++, &row->nbusitype);
  st.BindDouble(c++, &row->fscustoms);
  st.BindDouble(c++, &row->fsaddons);
  st.BindInt(c++, &row->ncuball);
  st.BindInt(c++, &row->nnoprice);
  st.BindText(c++, texts[kStation].buffer, kKindTextBytes);
  st.BindInt(c++, &row->ndiscountc);
  st.BindInt(c++, &row->ndiscounts);
  st.BindInt(c++, &row->nallcustoms);
  st.BindInt(c++, &row->npubprice);
  st.BindText(c++, texts[kRmtKind].buffer, kKindTextBytes);
  st.BindInt(c++, &row->ipubdis);
  st.BindText(c++, texts[kEkGroup].buffer, kKindTextBytes);
  st.BindInt(c++, &row->nwtypec);
  st.BindInt(c++, &row->nwtypes);
  st.BindInt(c++, &row->iidgen);
  if (!DbOk(st.ExecDirect(sql))) return kRcDbFailed;
  SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  if (!DbOk(rc)) return kRcDbFailed;
  for (const Text& t : texts) tw::CopyTextLimited(t.field, t.buffer, t.size - 1);
  return 1;
}

}  // namespace

const CEmsKind* COstrumContainer::FindEmsKind(const char* kind, int mode) const {
  if (kind == nullptr || *kind == '\0') return nullptr;
  std::shared_lock<std::shared_mutex> lock(kindsLock_);
  for (const auto& k : kinds_) {
    if (KindMatches(*k, kind, mode)) return k.get();
  }
  return nullptr;
}

const CEmsKind* COstrumContainer::InsertEmsKind(const EmsKindRow& row) {
  std::unique_lock<std::shared_mutex> lock(kindsLock_);
  for (const auto& k : kinds_) {
    if (KindMatches(*k, row.cemskind, kKindByCode)) return k.get();
  }
  kinds_.push_back(std::make_unique<CEmsKind>(row));
  return kinds_.back().get();
}

const CEmsKind* COstrumContainer::LoadEmsKind(const char* kind, PoolSlot& slot, int mode) {
  // Kind codes and input names have at most 15 characters: a longer text names no kind.
  if (kind == nullptr || *kind == '\0' || std::strlen(kind) >= sizeof EmsKindRow::cemskind) return nullptr;
  if (const CEmsKind* hit = FindEmsKind(kind, mode)) return hit;

  const std::string escaped = tw::SqlEscape(kind);
  const std::string sql =
      std::string(kKindSql) + (mode == kKindByCode        ? StringPrintf(kKindByCodeSql, escaped.c_str())
                               : mode == kKindByInputName ? StringPrintf(kKindByInputSql, escaped.c_str())
                                                          : StringPrintf(kKindByEitherSql, escaped.c_str(),
                                                                         escaped.c_str()));
  auto row = std::make_unique<EmsKindRow>();
  if (ReadKindRow(slot, sql.c_str(), row.get()) != 1) return nullptr;
  return InsertEmsKind(*row);
}

size_t COstrumContainer::EmsKindCount() const {
  std::shared_lock<std::shared_mutex> lock(kindsLock_);
  return kinds_.size();
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

COstrumContainer g_OstrumContainer;
