#include "services/internal/client_id_text.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "util/pinyin.h"

namespace tw::clientid {

namespace {
// The unit name's limit, in bytes.
constexpr size_t kUnitNameMax = 63;
}  // namespace

void MakeAccount(const char* unitName, char out[kAccountBytes]) {
  char initials[2 * kUnitNameMax + 2];
  tw::GbkToPinyinInitials(unitName, initials, sizeof initials, false);
  std::string account;
  for (const char* p = initials; *p != '\0' && account.size() < kAccountMax; ++p) {
    account += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  if (account.empty()) {
    for (const char* p = unitName; *p != '\0' && account.size() < kAccountMax; ++p) {
      const unsigned char c = static_cast<unsigned char>(*p);
      if (c >= 0x80) {  // a two-byte character (without a reading) is skipped whole
        if (p[1] != '\0') ++p;
        continue;
      }
      const char u = static_cast<char>(std::toupper(c));
      if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z')) account += u;
    }
  }
  std::snprintf(out, kAccountBytes, "%s", account.c_str());
}

}  // namespace tw::clientid
