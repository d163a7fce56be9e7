#include "util/registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

CRegistryKey::~CRegistryKey() { Close(); }

LONG CRegistryKey::Open(HKEY root, const char* subKey, bool bReadOnly) {
  Close();
  m_strSubKey = subKey != nullptr ? subKey : "";
  if (bReadOnly) return RegOpenKeyExA(root, m_strSubKey.c_str(), 0, KEY_READ, &m_hKey);
  return RegCreateKeyExA(root, m_strSubKey.c_str(), KEY_ALL_ACCESS, &m_hKey);
}

LONG CRegistryKey::QueryValue(const char* valueName, uint8_t* buffer, DWORD* size) {
  if (m_hKey == nullptr) return ERROR_INVALID_HANDLE;
  DWORD type = 0;
  return RegQueryValueExA(m_hKey, valueName, nullptr, &type, buffer, size);
}

void CRegistryKey::Close() {
  if (m_hKey != nullptr) {
    RegCloseKey(m_hKey);
    m_hKey = nullptr;
  }
}

int UnscrambleRegistryValue(uint8_t* b, size_t len) {
  const size_t stride = b[0] ^ kStrideMask;
  if (stride < 3 || stride > len / 5) return kUnscrambleBadStride;
  const size_t count = b[2] ^ kLengthMask;
  if (count > len / 2) return kUnscrambleBadLength;
  const size_t pos = b[1] ^ kPositionMask;
  if (pos < 5 || pos > len - 2) return kUnscrambleBadPosition;

  const uint8_t key = b[pos];
  std::vector<uint8_t> clear;
  clear.reserve(count);
  clear.push_back(static_cast<uint8_t>(pos ^ key));
  if (count >= 3) {
    // The key byte leaves the value; the characters after the first stand in columns of `stride`
    // bytes starting at byte 3, one column per round.
    std::vector<uint8_t> rest(b, b + len);
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(pos));
    rest.push_back(b[len - 1]);
    for (size_t round = 0; clear.size() < count && round + 6 < len; ++round) {
      for (size_t offset = 0; offset < len - 6 - round && clear.size() < count; offset += stride) {
        clear.push_back(static_cast<uint8_t>(rest[3 + round + offset] ^ key));
      }
    }
  } else if (count != 1) {
    clear.push_back(static_cast<uint8_t>(b[3] ^ key));
  }
  clear.resize(count);  // a count of 0 is the empty text
  std::memset(b, 0, len);
  std::memcpy(b, clear.data(), std::min(clear.size(), len - 1));
  return kUnscrambleOk;
}

std::string ScramblePassword(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const char* p = text; *p != '\0'; ++p) {
    uint8_t c = static_cast<uint8_t>(*p);
    out.push_back(c == kPasswordMask ? kPasswordMaskLetter : static_cast<char>(c ^ kPasswordMask));
  }
  return out;
}
