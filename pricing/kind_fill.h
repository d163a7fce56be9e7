#pragma once
// The two small tables beside the service kinds:
//  - the kind aliases (EmsKindAlias: a kind code and the input name clients enter), the kinds of
//    ems_kind that take input; the client services fill g_EmsKindAliases at start and refill it on
//    every "EmsKindList" request;
//  - the kind fill records (EmsKindExFields: per-kind default values of a shipment's reserve
//    fields), read from the block "<字段填写定义开始>" of tarnwick.ini into g_EmsKindExFields.
//
// Thread-safety: g_EmsKindAliases is replaced while requests read it; Replace swaps the whole table
// under an exclusive lock and readers copy records out under a shared one, so a reader sees the old
// or the new table, never one being rebuilt. g_EmsKindExFields is filled once on the start-up thread
// before requests are served and read afterwards without a lock.

#include <cstddef>
#include <cstdint>
#include <shared_mutex>
#include <vector>

// One kind alias: the kind code and its input name (each up to 15 characters).
struct EmsKindAlias {
  char cemskind[16] = "";
  char cemskindi[16] = "";
};

class CEmsKindAliasTable {
 public:
  CEmsKindAliasTable() = default;
  CEmsKindAliasTable(const CEmsKindAliasTable&) = delete;
  CEmsKindAliasTable& operator=(const CEmsKindAliasTable&) = delete;
  virtual ~CEmsKindAliasTable();

  // Replace: the table becomes `rows` (in their order), at once for every reader.
  void Replace(std::vector<EmsKindAlias> rows);
  // FindByInputName: copies the first alias whose input name equals `name` exactly (letter case
  // counts) into *out. False when none does.
  [[nodiscard]] bool FindByInputName(const char* name, EmsKindAlias* out) const;
  // FindByKind: copies the first alias whose kind code equals `code` exactly into *out. False when
  // none does.
  [[nodiscard]] bool FindByKind(const char* code, EmsKindAlias* out) const;
  // A copy of the whole table.
  [[nodiscard]] std::vector<EmsKindAlias> Snapshot() const;
  size_t size() const;

 private:
  using AliasField = char (EmsKindAlias::*)[16];
  // The first alias whose field equals text exactly, copied into *out.
  bool FindFirst(AliasField field, const char* text, EmsKindAlias* out) const;

  mutable std::shared_mutex lock_;
  std::vector<EmsKindAlias> rows_;
};

extern CEmsKindAliasTable g_EmsKindAliases;

// One kind fill record: the kind code and the default reserve fields.
struct EmsKindExFields {
  char cEmsKind[16] = "";  // 1..15 characters
  char cReserve[32] = "";  // up to 30
  char cBy1[64] = "";      // up to 62 each
  char cBy2[64] = "";
  char cBy3[64] = "";
  char cBy4[64] = "";
  char cBy5[256] = "";  // up to 254
};

extern std::vector<EmsKindExFields> g_EmsKindExFields;

// The markers of the field-fill block.
inline constexpr char kKindFillBlockStart[] = "<字段填写定义开始>";
inline constexpr char kKindFillBlockEnd[] = "<字段填写定义结束>";

// ParseEmsKindExFields: the records of the field-fill block in `iniText` (the whole settings text;
// the block runs from the line after the start marker to a line without "=" such as the end
// marker, or to the end of the text), appended to `out` in file order. A line is
// "kind=first|reserve|by1|by2|by3|by4|by5": the piece before the first "|" is dropped, the next six
// fill the fields, each only when it is not empty and fits its field. A line with six pieces or
// fewer, or with an empty kind, is skipped; a kind of more than 15 bytes ends the block. "|" splits
// only where it is a character of its own, never inside a two-byte character. Returns the number
// of records appended; 0 when the text has no block.
size_t ParseEmsKindExFields(const char* iniText, std::vector<EmsKindExFields>& out);

// LoadEmsKindExFields: g_EmsKindExFields becomes the records of the block in iniText. Returns their
// number. REQUIRES: the start-up thread, before requests are served.
size_t LoadEmsKindExFields(const char* iniText);

// FindEmsKindExFields: copies the fill record of the kind `name` into *out: the record whose kind
// equals the name exactly, else the record of the kind of the first alias whose input name equals
// it. Returns 1 when a record was copied, 0 when none (out untouched).
[[nodiscard]] int FindEmsKindExFields(const char* name, EmsKindExFields* out);
