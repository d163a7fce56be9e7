#pragma once
// Internal: the C locale for number formatting and parsing, whatever locale the process has.
#include <locale.h>

namespace tw::internal {

// The process-wide C locale object (created once, never freed; a plain handle, no destructor).
locale_t CLocale();

// Switches the calling thread to the C locale for the scope's lifetime (uselocale is per thread).
class CLocaleScope {
 public:
  CLocaleScope() : previous_(CLocale() != nullptr ? uselocale(CLocale()) : nullptr) {}
  ~CLocaleScope() {
    if (previous_ != nullptr) {
      uselocale(previous_);
    }
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

}  // namespace tw::internal
