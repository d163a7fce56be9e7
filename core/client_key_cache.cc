#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/caches.h"
#include "core/db.h"

namespace {
constexpr size_t kMinKeyLength = 7;
// Read at the first request of each client: prepared once per connection.
DbPreparedSql kClientKeySql("SELECT capikey,voption FROM dorvane.dbo.client_arc WHERE icid=$1");
}  // namespace

bool ReadClientKey(SQLHDBC dbc, int32_t icid, char capikey[32], int32_t* option) {
  capikey[0] = '\0';
  *option = 0;
  DbStatement st(dbc);
  if (!st.ok()) return false;
  unsigned char voption[16] = {0};
  SQLLEN optionLength = 0;
  st.BindText(1, capikey, 32);
  st.BindBinary(2, voption, sizeof voption, &optionLength);
  if (!DbOk(st.ExecPrepared(kClientKeySql, DbParams().Int(icid)))) return false;
  if (DbOk(st.Fetch())) *option = voption[0];
  return true;
}

size_t CClientKeyCache::LowerBound(int32_t icid) const {
  size_t lo = 0, hi = records_.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (records_[mid]->icid < icid) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

std::optional<ClientKeyRecord> CClientKeyCache::FindRecord(int32_t icid) const {
  std::shared_lock<std::shared_timed_mutex> lock(lock_);
  size_t at = LowerBound(icid);
  if (at < records_.size() && records_[at]->icid == icid) return *records_[at];
  return std::nullopt;
}

std::optional<ClientKeyRecord> CClientKeyCache::Find(int32_t icid, SQLHDBC dbc, int* bLoaded) {
  *bLoaded = 0;
  if (auto hit = FindRecord(icid)) return hit;
  if (icid <= 0) return std::nullopt;
  ClientKeyRecord record;
  record.icid = icid;
  ReadClientKey(dbc, icid, record.capikey, &record.option);
  if (std::strlen(record.capikey) < kMinKeyLength) return std::nullopt;
  *bLoaded = 1;
  return Insert(record, true);
}

ClientKeyRecord CClientKeyCache::Insert(const ClientKeyRecord& record, bool bLock) {
  std::unique_lock<std::shared_timed_mutex> lock(lock_, std::defer_lock);
  if (bLock && !lock.try_lock_for(std::chrono::milliseconds(kCacheLockWaitMs))) return record;
  size_t at = LowerBound(record.icid);
  if (at < records_.size() && records_[at]->icid == record.icid) return *records_[at];
  records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(at), std::make_unique<ClientKeyRecord>(record));
  return record;
}

int CClientKeyCache::Reload(ClientKeyRecord& record, SQLHDBC dbc) {
  char key[32];
  int32_t option = 0;
  ReadClientKey(dbc, record.icid, key, &option);
  if (std::strlen(key) < kMinKeyLength) return 0;
  std::unique_lock<std::shared_timed_mutex> lock(lock_, std::defer_lock);
  if (!lock.try_lock_for(std::chrono::milliseconds(kCacheLockWaitMs))) return 0;
  size_t at = LowerBound(record.icid);
  ClientKeyRecord* stored =
      at < records_.size() && records_[at]->icid == record.icid ? records_[at].get() : nullptr;
  int changed = 0;
  if (std::strcmp(key, record.capikey) != 0) {
    std::memcpy(record.capikey, key, sizeof record.capikey);
    changed = 1;
  }
  record.option = option;
  if (stored != nullptr) *stored = record;
  return changed;
}

size_t CClientKeyCache::size() const {
  std::shared_lock<std::shared_timed_mutex> lock(lock_);
  return records_.size();
}

CClientKeyCache g_ClientKeyCache;
