#pragma once
// Templates of carrier_text.h.

#include <cstring>

#include "core/config.h"
#include "util/text.h"

namespace tw::carrier {

template <size_t N>
void Setting(const char* key, const char* text, char (&out)[N], size_t minLen, size_t maxLen) {
  GetSettingText(key, text, out, N, minLen, maxLen < N - 1 ? maxLen : N - 1, true);
}

template <size_t N>
void Copy(char (&out)[N], const std::string& text) {
  tw::CopyTextLimited(out, text.c_str(), N - 1);
}

}  // namespace tw::carrier
