#include "util/internal/c_locale.h"

namespace tw::internal {

locale_t CLocale() {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return cLocale;
}

}  // namespace tw::internal
