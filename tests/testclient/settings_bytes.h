#pragma once
// A test client settings file written byte by byte, as a hand-made one may be: host, port, API type,
// client id, page code (little-endian), key. A text of 64 bytes fills its field without a NUL.

#include <cstdint>
#include <string>

namespace twtest {

inline std::string SettingsBytes(const std::string& host, int32_t port, int32_t apiType, int32_t clientId,
                                 int32_t pageCode, const std::string& key) {
  std::string r(144, '\0');
  r.replace(0, host.size(), host);
  const int32_t ints[4] = {port, apiType, clientId, pageCode};
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 4; ++b) {
      r[64 + 4 * i + b] = static_cast<char>(static_cast<uint32_t>(ints[i]) >> (8 * b));
    }
  }
  r.replace(80, key.size(), key);
  return r;
}

}  // namespace twtest
