#pragma once
// CPlaceTable: the place list (table sys_place), loaded once at start-up by the reference-data
// container, and the rules that map a free destination text (Chinese or English name, place code)
// to a place, whose area number selects the base price band.
//
// Names and codes are matched with ASCII letter case ignored; two-byte GBK characters always compare
// as their exact bytes (see pricing/internal/gbk_fold.h). Containment only counts a text that starts
// on a character boundary of the name, so half of one character and half of the next never match.
//
// Thread-safety: Load and LoadRows run on the start-up thread before requests are served; after that
// the table is read-only and every lookup is safe from any thread. Records live as long as the table
// (until the next load).

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/pool.h"

// One sys_place row; every text NUL-terminated and cut at a character boundary to its field.
struct PlaceRecord {
  int32_t iid = 0;
  char carea[32] = "";     // Chinese name
  char careae[64] = "";    // English name
  char ccode[8] = "";      // place code
  char cscan[16] = "";     // scan code
  char czipcode[12] = "";  // postcode
  uint8_t narea = 0;       // price area number 1..255 (255 also means unknown)
  uint8_t ntype = 0;       // place type
  char cc2[4] = "";        // two-letter code (2 characters)
  char cc3[4] = "";        // three-letter code
};

// The area number of a text that names no place.
inline constexpr int kUnknownArea = 255;
// Destination texts longer than this name no place (no name or code is that long).
inline constexpr size_t kPlaceTextMaxBytes = 255;

class CPlaceTable {
 public:
  CPlaceTable() = default;
  CPlaceTable(const CPlaceTable&) = delete;
  CPlaceTable& operator=(const CPlaceTable&) = delete;
  virtual ~CPlaceTable();

  // Load: empties the table, reads sys_place on the slot's connection (in iid order) and builds the
  // indexes. Returns the number of places; 0, with the table left empty, when a statement failed.
  int Load(PoolSlot& slot);
  // LoadRows: the same from rows in memory (taken in iid order). Returns the number of places.
  int LoadRows(std::vector<PlaceRecord> rows);

  // FindByName: the place whose Chinese name equals text (case ignored); with bPrefix, when none
  // does, the shortest name of the first run (in name order) of names beginning with the exact
  // bytes of text. Null for an empty text or no match.
  [[nodiscard]] const PlaceRecord* FindByName(const char* text, bool bPrefix) const;
  // FindByNameE: the place whose English name equals text (case ignored), or null.
  [[nodiscard]] const PlaceRecord* FindByNameE(const char* text) const;
  // FindByCode: the place whose code equals text (case ignored), or null.
  [[nodiscard]] const PlaceRecord* FindByCode(const char* text) const;
  // MatchPlace: the place a destination text means: the exact name; the fixed rules of ambiguous
  // names (大连 -> 辽宁大连 ...); names answered only exactly (印度 ...) or by prefix (内蒙 -> 内蒙古);
  // a name containing the text (preferring one that is the text, or a three- then two-character
  // prefix followed by the text); finally the text without a trailing 市, 县 or 省, matched again.
  // Null when none. `option` is carried through the repeated match.
  [[nodiscard]] const PlaceRecord* MatchPlace(const char* text, int option) const;
  // GetArea: the area number of the place FindByName finds exactly, kUnknownArea when none.
  [[nodiscard]] int GetArea(const char* text) const;

  size_t size() const { return records_.size(); }
  bool IsLoaded() const { return loaded_; }
  // The records in iid order.
  const std::vector<PlaceRecord>& records() const { return records_; }

 private:
  struct IndexEntry {
    std::string_view key;  // the folded name or code
    uint32_t record;       // index into records_
  };
  // A character-boundary tail of a Chinese name, for containment.
  struct Suffix {
    std::string_view tail;  // exact bytes
    uint32_t position;      // the record's position in the name index
    uint8_t offset;         // byte offset of the tail in the name
  };
  // Folded copies of the indexed texts, one per record (the index keys point into them).
  struct Folded {
    char carea[sizeof PlaceRecord::carea];
    char careae[sizeof PlaceRecord::careae];
    char ccode[sizeof PlaceRecord::ccode];
  };

  void Clear();
  void BuildIndexes();
  const PlaceRecord* FindByNameView(std::string_view text, bool bPrefix) const;
  const PlaceRecord* MatchContained(std::string_view text) const;
  const PlaceRecord* MatchOnce(std::string_view text, bool* bFinal) const;
  // Binary search of an index by the folded text. Null when absent.
  const PlaceRecord* FindExact(const std::vector<IndexEntry>& index, std::string_view text) const;

  bool loaded_ = false;
  std::vector<PlaceRecord> records_;
  std::vector<Folded> folded_;
  std::vector<IndexEntry> byCode_, byName_, byNameE_;
  std::vector<Suffix> suffixes_;
};
