#pragma once
// The caches behind the signature checks: the API keys of clients (client and partner doors) and the
// PDA users (PDA door). Both are read from the database on first use and kept, sorted, for the life
// of the library; entries are never removed.
//
// Thread-safety: many request threads search while others insert. Searches take the cache's lock
// shared and copy the record out; inserts and reloads take it exclusively (waiting up to 5000 ms; an
// insert that cannot get the lock leaves the cache as it is), so no reader ever sees a half-moved
// list or a half-copied key.

#include <sql.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <vector>

struct ClientKeyRecord {
  int32_t icid = 0;
  int32_t option = 0;     // the first byte of the client's "voption"
  char capikey[32] = "";  // the API key, 7 to 31 characters
};

// The PDA user of a request, handed to every PDA handler.
struct PdaUser {
  char cpda[32] = "";       // the PDA user id
  char mcname[32] = "";     // the operator's name
  char mcstation[16] = "";  // the operator's station
  char cdepot[4] = "";      // the operator's depot code, empty when none
};

// How long an insert or reload waits for the lock.
inline constexpr uint32_t kCacheLockWaitMs = 5000;

class CClientKeyCache {
 public:
  CClientKeyCache() = default;
  CClientKeyCache(const CClientKeyCache&) = delete;
  CClientKeyCache& operator=(const CClientKeyCache&) = delete;
  virtual ~CClientKeyCache() = default;

  // Find: the client's record, from the cache or, on a miss, from the database on `dbc` (then
  // cached). *bLoaded is set when this very call read it from the database. Empty when the client
  // has no key of 7 characters or more.
  [[nodiscard]] std::optional<ClientKeyRecord> Find(int32_t icid, SQLHDBC dbc, int* bLoaded);
  // FindRecord: the cached record, without the database.
  [[nodiscard]] std::optional<ClientKeyRecord> FindRecord(int32_t icid) const;
  // Insert: stores a copy in icid order (unless the client is already there). Returns the copy held.
  ClientKeyRecord Insert(const ClientKeyRecord& record, bool bLock);
  // Reload: reads the client's key again. Returns 1 when the stored key changed (it is then replaced,
  // and `record` receives the new one), else 0; a key read of fewer than 7 characters changes
  // nothing. The option byte is refreshed either way.
  int Reload(ClientKeyRecord& record, SQLHDBC dbc);

  size_t size() const;

 private:
  // Index of the first record whose icid is not smaller. REQUIRES: lock held.
  size_t LowerBound(int32_t icid) const;

  mutable std::shared_timed_mutex lock_;
  std::vector<std::unique_ptr<ClientKeyRecord>> records_;
};

extern CClientKeyCache g_ClientKeyCache;

// ReadClientKey: capikey and the first byte of voption of a client from the database. False when the
// statement failed; an absent client gives an empty key.
bool ReadClientKey(SQLHDBC dbc, int32_t icid, char capikey[32], int32_t* option);
