#pragma once
// CZoneTable: the postcode zones of carriers and price lists, loaded once when the extension starts
// from the zone definition texts of table file_share (grade 188) and held by the extension object.
//
// A definition text is settings text (GBK):
//   [定义开始]
//   类型=报价                 (报价: a quote list; 分拣: a sorting list)
//   快递类别=EMS              (the service kind, 1 to 15 bytes)
//   邮编找不到时的分区=-1      (the zone of a postcode in no zone; default -1)
//   备用1数字=1               (sorting lists: 1 gives FindZone's zone number)
//   备用2字母=1               (sorting lists: 1 gives FindZone's zone letter)
//   <第1区定义>,2000,2001,2002-2005
//   <第1区定义>
//   <第2区定义>,3000,3001
//   <第2区定义>
// Zone u's postcode list starts after the first "," that follows its line "<第u区定义" and ends at
// the same line again; blanks, "-", CR, LF and TAB are removed from it. Zones are read from 1 up to
// the first zone that is missing, unclosed or shorter than 6 bytes, at most kZoneMax of them.
// Postcodes compare after blanks and "-" are removed and ASCII letters upper-cased.
//
// Thread-safety: filled on the start-up thread before requests are served, read-only afterwards.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kZoneMax = 256;
// FindZone's outputs: the zone number as text and the zone letter(s), NUL included.
inline constexpr size_t kZoneNumberBytes = 16;
inline constexpr size_t kZoneLetterBytes = 4;

// Results of CZoneTable::ParseDefinition.
inline constexpr int kZoneAdded = 1;
inline constexpr int kZoneBadText = -1;       // no "[定义开始]", a bad "类型=" or an empty kind
inline constexpr int kZoneDuplicateKind = -2;  // the list already holds a definition of that kind

// One zone definition.
struct ZoneDefinition {
  int32_t defaultZone = -1;
  char kind[16] = "";
  bool bNumber = false;  // 备用1数字
  bool bLetter = false;  // 备用2字母
  bool bQuote = false;   // 报价 (else 分拣)
  std::vector<std::string> zones;  // zone u at index u - 1, each as "," + list + ","

  // The 1-based zone whose list holds the key (",postcode,"), else the default zone.
  [[nodiscard]] int ZoneOf(std::string_view key) const;
};

class CZoneTable {
 public:
  CZoneTable() = default;
  CZoneTable(const CZoneTable&) = delete;
  CZoneTable& operator=(const CZoneTable&) = delete;
  virtual ~CZoneTable();

  // ParseDefinition: adds the definition of the text to the quote or the sorting list by its
  // "类型=". Returns kZoneAdded, kZoneBadText (a "类型=" that is neither, too) or kZoneDuplicateKind.
  int ParseDefinition(const char* text);
  // FindZoneNumber: the zone of the postcode in the first quote definition of the kind (compared
  // exactly): the 1-based zone whose list holds it, else the definition's default zone. 0 for an
  // empty postcode; -1 when no quote definition of the kind exists or nothing matched and the
  // default is -1.
  [[nodiscard]] int FindZoneNumber(const char* postcode, const char* kind) const;
  // FindZone: number and letter are emptied; with a sorting definition of the kind whose zone for the
  // postcode is above 0, number receives FindZoneNumber as "%u" when that is above 0 (bNumber) and
  // letter the ZoneLetter of the sorting zone (bLetter). Returns 1 then, else 0.
  int FindZone(const char* postcode, const char* kind, char number[kZoneNumberBytes],
               char letter[kZoneLetterBytes]) const;

  // The number of definitions held.
  [[nodiscard]] size_t count() const { return quotes_.size() + sortings_.size(); }
  // Drops every definition.
  void Clear();

 private:
  const ZoneDefinition* FindDefinition(const std::vector<ZoneDefinition>& list, const char* kind) const;

  std::vector<ZoneDefinition> quotes_;    // 报价, in load order
  std::vector<ZoneDefinition> sortings_;  // 分拣, in load order
};

// The postcode zones of the quote and sorting lists.
extern CZoneTable g_ZoneTable;
// LoadZipChoiceTables: fills g_ZoneTable from the zone definitions of file_share (grade 188,
// "Zip_Choice_Zone_0", "_1" ... then "Zip_Choice_Price_0" ...), on a slot of its own. REQUIRES: the
// start-up thread, before requests are served.
void LoadZipChoiceTables();

// ZoneLetter: "A".."Z" for 1..26; two letters for larger n ((n - 1) / 26 + 64, (n - 1) % 26 + 65, so
// 27 is "AA"); "" for n below 1 or above kZoneMax. Returns out.
char* ZoneLetter(int n, char out[kZoneLetterBytes]);

// ZoneKey: the lookup key of a postcode: blanks, "-", CR, LF and TAB removed, ASCII letters
// upper-cased, "," before and after. "" for a postcode that is empty then or holds a ",".
[[nodiscard]] std::string ZoneKey(const char* postcode);
