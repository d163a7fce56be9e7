#pragma once
// CBasePriceTable: the base (list) price bands of table sys_price, loaded once at start-up by the
// reference-data container, that price a weight for a destination area and an item type without
// touching the database.
//
// Thread-safety: Load, LoadRows and InsertBand run on the start-up thread before requests are
// served; after that the table is read-only and PriceForWeight is safe from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/pool.h"

// One price band (a sys_price row; the client price tables use the same record).
struct PriceBand {
  int32_t iid = 0;
  int32_t ibweight = 0;    // band start in grams, exclusive
  int32_t ieweight = 0;    // band end in grams, inclusive
  int32_t iweightper = 0;  // step in grams
  uint8_t ntype = 0;       // pricing rule: 0 fixed, 1 per step, 3 base plus per kg, other base plus steps
  int32_t iprice = 0;      // cents per step or per kg
  int32_t itopprice = 0;   // cents: fixed or base price
};

// The pricing rules of a band.
inline constexpr uint8_t kBandFixed = 0;    // itopprice
inline constexpr uint8_t kBandPerStep = 1;  // ceil(w / step) x iprice
inline constexpr uint8_t kBandPerKg = 3;    // itopprice + w x iprice / 1000
// Any other rule: itopprice + ceil((w - ibweight) / step) x iprice, and later bands may replace it.

// PriceBandValue: the price in cents of weight w (grams) by one band's rule, as a 64-bit value (no
// overflow for any 32-bit inputs). REQUIRES: the band passed ValidBand.
[[nodiscard]] int64_t PriceBandValue(const PriceBand& band, int32_t w);
// ValidBand: false for a band that cannot price (a stepped rule with a step of 0 or less).
[[nodiscard]] bool ValidBand(const PriceBand& band);

// The bands of one (item type, area) cell, sorted by ibweight; no two share an ibweight.
class CPriceBandList {
 public:
  CPriceBandList() = default;
  virtual ~CPriceBandList();
  // Insert: before the first band whose ibweight is greater. Returns 1, or 0 when a band with the
  // same ibweight is there already.
  int Insert(const PriceBand& band);
  const std::vector<PriceBand>& bands() const { return bands_; }
  bool empty() const { return bands_.empty(); }

 private:
  std::vector<PriceBand> bands_;
};

inline constexpr int kItemTypeCount = 3;
inline constexpr int kAreaCount = 256;  // areas 1..256 at indexes 0..255

class CBasePriceTable {
 public:
  CBasePriceTable() = default;
  CBasePriceTable(const CBasePriceTable&) = delete;
  CBasePriceTable& operator=(const CBasePriceTable&) = delete;
  virtual ~CBasePriceTable();

  // Load: empties the table and reads the bands of every area (1 up to the highest area of
  // sys_price, at most 256) and item type 0, 1, 2 on the slot's connection. Returns the number of
  // bands loaded; 0, with the table left empty, when sys_price is empty or a statement failed.
  int Load(PoolSlot& slot);

  // InsertBand: adds a band to cell (item type, area index 0..255). Returns 1 when inserted; 0 when
  // the cell has a band of the same ibweight, the indexes are out of range or the band cannot price.
  int InsertBand(const PriceBand& band, int areaIndex, int itemType);
  // GetBandList: the cell's list, created when missing; null for indexes out of range.
  CPriceBandList* GetBandList(int itemType, int areaIndex);
  // FindBandList: the cell's list, or null when it has none.
  [[nodiscard]] const CPriceBandList* FindBandList(int itemType, int areaIndex) const;

  // PriceForWeight: the base price in cents of w grams for area number 1..256 and item type (0, 1,
  // anything else 2). 0 when there is none (area 0 or out of range, no bands, no band matches); a
  // price beyond the 32-bit range is held at INT32_MAX.
  [[nodiscard]] int32_t PriceForWeight(int32_t w, int area, int itemType) const;

  // Empties every cell.
  void Clear();
  // The number of bands held.
  int BandCount() const;

 private:
  std::array<std::array<std::unique_ptr<CPriceBandList>, kAreaCount>, kItemTypeCount> cells_;
};
