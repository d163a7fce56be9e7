#pragma once
// The return-address pool: return addresses handed out in turn from "Return_addr.txt" of the module
// folder (lines of a name, a tab and an address).
//
// Thread-safety: Load runs once at start-up; PickNext runs on many request threads and needs only an
// atomic counter.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

struct ReturnAddress {
  char name[32] = "";     // 4 to 30 characters
  char address[64] = "";  // 10 to 63 characters
};

class CReturnAddressList {
 public:
  CReturnAddressList() = default;
  CReturnAddressList(const CReturnAddressList&) = delete;
  CReturnAddressList& operator=(const CReturnAddressList&) = delete;
  virtual ~CReturnAddressList() = default;

  // Load: takes the entries of the whole file text. Returns 1 when at least one entry was taken.
  int Load(const char* text);
  // PickNext: the next entry as "name<TAB>address" into out (outSize bytes). Returns false, leaving
  // out empty, when the pool has no entry.
  bool PickNext(char* out, size_t outSize);
  void RemoveAll() { entries_.clear(); }
  size_t size() const { return entries_.size(); }

 private:
  std::vector<ReturnAddress> entries_;
  std::atomic<uint32_t> picks_{0};
};

extern CReturnAddressList g_ReturnAddressList;
