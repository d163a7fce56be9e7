// The check text arrives from the database and request bodies from the PDA: neither may make the
// parser read past its text, and the UPDATE built from a body keeps every value between its quotes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pda/internal/check_text.h"
#include "pda/internal/pda_common.h"

namespace {

constexpr tw::pda::FieldMapping kFields[] = {
    {"cMark", "cmark", 15},
    {"cBy1", "cby1", 63},
    {"cBy5", "cby5", 254},
    {"cNo", "cserviceno", 30},
};

// Counts the single quotes outside doubled pairs: a sanitised statement has an even number.
bool QuotesBalanced(const std::string& sql) {
  size_t n = 0;
  for (char c : sql) n += c == '\'';
  return n % 2 == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tw::pda::CheckText check;
  if (tw::pda::ParseCheckText(std::string_view(text.data(), text.size()), &check)) {
    // A parsed record id came from digits only.
    for (char c : check.line(13)) {
      if (c < '0' || c > '9') std::abort();
    }
  }
  const int given = tw::pda::CountGivenFields(kFields, text);
  const std::string sql = tw::pda::BuildFieldUpdate("dorvane.dbo.t", kFields, text, "op", "irid", 1);
  if (given < 0 || given > 4 || !QuotesBalanced(sql)) std::abort();
  (void)tw::pda::ExtractBatchNumber(text.c_str());
  return 0;
}
