#pragma once
// The begins-with filter of the warehouse's goods lists (the client's goods, the partner's lists):
// codes and names are searched from their first character.
//
// A function of its arguments; reentrant.

#include <string>

#include "core/paging.h"
#include "util/escape.h"

namespace tw::warehouse {

// AddPrefix: " AND <column> LIKE '<text>%'" when the text is not empty; a text that is not GBK
// selects nothing.
inline void AddPrefix(CListFilter& filter, const char* column, const char* text) {
  const std::string pattern = tw::MakeLikePattern(text, tw::kLikeBeginsWith);
  if (pattern.empty()) return;
  if (!IsGbkText(text)) {
    filter.Add("%s", kSqlSelectNothing);
    return;
  }
  filter.Add(" AND %s LIKE '%s'", column, pattern.c_str());
}

}  // namespace tw::warehouse
