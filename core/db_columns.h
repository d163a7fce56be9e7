#pragma once
// DbColumns: binds the result columns of a statement in the order of its column list, so a row
// record and its SELECT read side by side ("b.Int(r.iid).Int(r.irid).Text(r.cemskind)...").
//
// DbText<n>: a buffer for a text column of at most n characters. The database counts characters,
// GBK writes up to two bytes for each, so the buffer holds 2n bytes and the NUL: a stored value
// never comes back cut (and never cut inside a two-byte character).

#include <cstddef>
#include <cstdint>

#include "core/db.h"

template <size_t Chars>
using DbText = char[2 * Chars + 1];

class DbColumns {
 public:
  explicit DbColumns(DbStatement& st) : st_(st) {}

  template <size_t N>
  DbColumns& Text(char (&buffer)[N]) {
    st_.BindText(next_++, buffer, N);
    return *this;
  }
  DbColumns& Int(int32_t& value) {
    st_.BindInt(next_++, &value);
    return *this;
  }
  DbColumns& Int64(int64_t& value) {
    st_.BindInt64(next_++, &value);
    return *this;
  }
  DbColumns& Double(double& value) {
    st_.BindDouble(next_++, &value);
    return *this;
  }
  // The number of columns bound so far.
  [[nodiscard]] int count() const { return next_ - 1; }

 private:
  DbStatement& st_;
  SQLUSMALLINT next_ = 1;
};
