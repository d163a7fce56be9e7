#include "pricing/kind_fill.h"

#include <cstring>
#include <mutex>
#include <string_view>
#include <utility>

#include "pricing/internal/gbk_fold.h"

CEmsKindAliasTable g_EmsKindAliases;
std::vector<EmsKindExFields> g_EmsKindExFields;

namespace {

constexpr size_t kKindCodeMaxBytes = sizeof EmsKindExFields::cEmsKind - 1;
// A line must hold more than this many pieces: the dropped first one and the six fields.
constexpr size_t kFillPieceMin = 7;

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Copies piece into field when it is not empty and fits (at most maxBytes bytes); else the field
// stays empty.
template <size_t N>
void FillField(char (&field)[N], std::string_view piece, size_t maxBytes) {
  static_assert(N > 1);
  if (piece.empty() || piece.size() > maxBytes || piece.size() >= N) {
    return;
  }
  std::memcpy(field, piece.data(), piece.size());
  field[piece.size()] = '\0';
}

// Splits the value at "|" characters (a "|" byte inside a two-byte character is no separator).
// Returns the number of pieces; only the first `room` are stored.
size_t SplitPieces(std::string_view value, std::string_view* pieces, size_t room) {
  size_t count = 0, start = 0, i = 0;
  auto add = [&](size_t end) {
    if (count < room) {
      pieces[count] = value.substr(start, end - start);
    }
    ++count;
  };
  while (i < value.size()) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c >= tw::refdata::kGbkLeadMin && i + 1 < value.size()) {
      i += 2;
    } else if (c == '|') {
      add(i);
      start = ++i;
    } else {
      ++i;
    }
  }
  add(value.size());
  return count;
}

bool FindFill(const char* kind, EmsKindExFields* out) {
  for (const EmsKindExFields& r : g_EmsKindExFields) {
    if (std::strcmp(r.cEmsKind, kind) == 0) {
      *out = r;
      return true;
    }
  }
  return false;
}

}  // namespace

// ---- kind aliases ------------------------------------------------------------------------------

CEmsKindAliasTable::~CEmsKindAliasTable() = default;

void CEmsKindAliasTable::Replace(std::vector<EmsKindAlias> rows) {
  std::unique_lock<std::shared_mutex> lock(lock_);
  rows_.swap(rows);
  // The old rows are freed after the lock is given up, when `rows` goes.
  lock.unlock();
}

bool CEmsKindAliasTable::FindFirst(AliasField field, const char* text, EmsKindAlias* out) const {
  if (text == nullptr) {
    return false;
  }
  std::shared_lock<std::shared_mutex> lock(lock_);
  for (const EmsKindAlias& a : rows_) {
    if (std::strcmp(a.*field, text) == 0) {
      *out = a;
      return true;
    }
  }
  return false;
}

bool CEmsKindAliasTable::FindByInputName(const char* name, EmsKindAlias* out) const {
  return FindFirst(&EmsKindAlias::cemskindi, name, out);
}

bool CEmsKindAliasTable::FindByKind(const char* code, EmsKindAlias* out) const {
  return FindFirst(&EmsKindAlias::cemskind, code, out);
}

std::vector<EmsKindAlias> CEmsKindAliasTable::Snapshot() const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  return rows_;
}

size_t CEmsKindAliasTable::size() const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  return rows_.size();
}

// ---- kind fill records -------------------------------------------------------------------------

size_t ParseEmsKindExFields(const char* iniText, std::vector<EmsKindExFields>& out) {
  if (iniText == nullptr) {
    return 0;
  }
  const char* p = std::strstr(iniText, kKindFillBlockStart);
  if (p == nullptr) {
    return 0;
  }
  p += sizeof kKindFillBlockStart - 1;
  size_t added = 0;
  for (;;) {
    while (IsLineBreak(*p)) {
      ++p;
    }
    if (*p == '\0') {
      break;
    }
    const char* end = p;
    while (*end != '\0' && !IsLineBreak(*end)) {
      ++end;
    }
    // A last line without a line break counts like any other.
    const std::string_view line(p, static_cast<size_t>(end - p));
    p = end;

    const size_t eq = line.find('=');  // "=" is never the second byte of a GBK character
    if (eq == std::string_view::npos || eq > kKindCodeMaxBytes) {
      break;  // the end marker, or a line that is not a fill line
    }
    if (eq == 0) {
      continue;  // no kind code
    }
    std::string_view pieces[kFillPieceMin];
    if (SplitPieces(line.substr(eq + 1), pieces, kFillPieceMin) < kFillPieceMin) {
      continue;
    }
    EmsKindExFields r;
    std::memcpy(r.cEmsKind, line.data(), eq);
    r.cEmsKind[eq] = '\0';
    FillField(r.cReserve, pieces[1], 30);
    FillField(r.cBy1, pieces[2], 62);
    FillField(r.cBy2, pieces[3], 62);
    FillField(r.cBy3, pieces[4], 62);
    FillField(r.cBy4, pieces[5], 62);
    FillField(r.cBy5, pieces[6], 254);
    out.push_back(r);
    ++added;
  }
  return added;
}

size_t LoadEmsKindExFields(const char* iniText) {
  std::vector<EmsKindExFields> records;
  ParseEmsKindExFields(iniText, records);
  g_EmsKindExFields = std::move(records);
  return g_EmsKindExFields.size();
}

int FindEmsKindExFields(const char* name, EmsKindExFields* out) {
  if (name == nullptr || out == nullptr) {
    return 0;
  }
  if (FindFill(name, out)) {
    return 1;
  }
  EmsKindAlias alias;
  if (!g_EmsKindAliases.FindByInputName(name, &alias)) {
    return 0;
  }
  return FindFill(alias.cemskind, out) ? 1 : 0;
}
