#pragma once
// CEmsKind: one service (express) kind as cached from table ems_kind, with its destination areas
// (ems_area) and supplier prices (ems_sp), both read on demand and kept.
//
// The kind's row never changes once the kind is built. Its area and supplier-price lists grow while
// other threads search them: searches take the kind's lock shared, inserts exclusively, and records
// are held by unique_ptr and never removed, so a record pointer handed out stays valid for the life
// of the kind (which lives as long as the reference-data container).
//
// Kind codes and area names are compared with ASCII letter case ignored (two-byte characters
// exactly), as the database's citext columns compare them, so the cache and the database agree.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "core/pool.h"

// The columns of ems_kind, in the order the kind statement reads them.
struct EmsKindRow {
  char cemskind[16] = "";  // the kind code (up to 15 characters)
  int32_t narea = 0;
  int32_t idocweighte = 0;
  int32_t ibagweighte = 0;
  int32_t nstate = 0;
  char cmemo[256] = "";
  double fcustoms = 0;  // customs fee (yuan)
  double faddons = 0;   // fuel surcharge percentage
  int32_t b1price = 0;  // 0: clients are priced from ems_price1
  int32_t nextra = 0;
  int32_t nclient = 0;
  int32_t nsp = 0;
  int32_t nweights = 0;
  char ckey[32] = "";
  char cemskindi[16] = "";  // the input name (up to 15 characters)
  int32_t ninput = 0;
  int32_t idiscount = 0;
  int32_t ncost = 0;
  char cmaskno[32] = "";
  char cmasknum[32] = "";
  int32_t ntrackbit = 0;
  int32_t nbusitype = 0;
  double fscustoms = 0;  // supplier customs fee
  double fsaddons = 0;   // supplier fuel surcharge percentage
  int32_t ncuball = 0;
  int32_t nnoprice = 0;
  char cstation[16] = "";
  int32_t ndiscountc = 0;
  int32_t ndiscounts = 0;
  int32_t nallcustoms = 0;
  int32_t npubprice = 0;
  char crmtkind[16] = "";
  int32_t ipubdis = 0;
  char cekgroup[16] = "";
  int32_t nwtypec = 0;  // client weight type: 1 "D", 3 "E", 4 "T"
  int32_t nwtypes = 0;
  int32_t iidgen = 0;
};

// One ems_area row of a kind.
struct AreaRecord {
  char carea[32] = "";
  char careae[64] = "";
  int32_t narea = 0;
  int32_t ntype = 0;
  int32_t nDaysB = 0;  // ccode "a,b": a
  int32_t nDaysE = 0;  // ccode "a,b": b
};

// One ems_sp row: the prices of a supplier for a kind.
struct SpPriceRecord {
  int32_t isid = 0;
  int32_t ndocdiscount = 0;   // discounts in hundredths of a percent (10000: none)
  int32_t nbagdiscount = 0;
  int32_t nwbagdiscount = 0;
  int32_t ipos = 0;
  int32_t nextra = 0;
  int32_t vdiscount = 0;
  int32_t ibweight = 0;
  int32_t iaddweight = 0;
  double fsrate = 0;
  double fprate = 0;
  double fother = 0;
};

// The supplier discount when a kind has no price record for the supplier.
inline constexpr int32_t kNoDiscount = 10000;

class CEmsKind : public EmsKindRow {
 public:
  explicit CEmsKind(const EmsKindRow& row) : EmsKindRow(row) {}
  CEmsKind(const CEmsKind&) = delete;
  CEmsKind& operator=(const CEmsKind&) = delete;
  virtual ~CEmsKind();

  // GetArea: the kind's area of that name, from the list or, on a miss, from ems_area on the slot's
  // connection (then kept). Null when the kind has no such area or the statement failed.
  [[nodiscard]] const AreaRecord* GetArea(const char* area, PoolSlot& slot) const;
  // FindArea: the kept area of that name, without the database; null when none.
  [[nodiscard]] const AreaRecord* FindArea(const char* area) const;
  // InsertArea: keeps a copy in carea order. Returns the record held (the one already there when
  // an area of that name was kept before).
  const AreaRecord* InsertArea(const AreaRecord& record) const;

  // GetSpPrice: the supplier's price record, from the list or, on a miss, from ems_sp (active rows
  // of a known supplier) on the slot's connection (then kept). Null when none.
  [[nodiscard]] const SpPriceRecord* GetSpPrice(int32_t isid, PoolSlot& slot) const;
  // FindSpPrice: the kept record of the supplier, without the database; null when none.
  [[nodiscard]] const SpPriceRecord* FindSpPrice(int32_t isid) const;
  // InsertSpPrice: keeps a copy in ipos order. Returns the record held (the one already there when
  // the supplier was kept before).
  const SpPriceRecord* InsertSpPrice(const SpPriceRecord& record) const;
  // GetSpDiscount: the kept record's ndocdiscount (mode 0), nbagdiscount (1) or nwbagdiscount
  // (other); kNoDiscount when no record of the supplier is kept.
  [[nodiscard]] int32_t GetSpDiscount(int32_t isid, int mode) const;

  size_t AreaCount() const;
  size_t SpPriceCount() const;

 private:
  mutable std::shared_mutex lock_;  // guards the two lists
  mutable std::vector<std::unique_ptr<AreaRecord>> areas_;        // by carea (case ignored)
  mutable std::vector<std::unique_ptr<SpPriceRecord>> spPrices_;  // by ipos
};

// GetVolumeDivisorCode: the volume-divisor letter of the kind's client weight type: 'D' for nwtypec
// 1, 'E' for 3, 'T' for 4, else 0 (the default divisor).
[[nodiscard]] char GetVolumeDivisorCode(const CEmsKind& kind);

// Modes of COstrumContainer::LoadEmsKind: which column the text is matched with.
inline constexpr int kKindByCode = 0;       // cemskind
inline constexpr int kKindByInputName = 1;  // cemskindi
inline constexpr int kKindByEither = 2;     // any other mode: either
