#pragma once
// Registry access for the database login, and the two scrambling routines of stored secrets.
//
// The login (data source, password, user) lives under HKEY_LOCAL_MACHINE "SOFTWARE\Halvern" in the
// values "Item1", "Item2" and "Item5", each stored scrambled. Used only during start-up, on one thread.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/registry_store.h"

// One open registry key.
class CRegistryKey {
 public:
  CRegistryKey() = default;
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;
  virtual ~CRegistryKey();

  // Opens root\subKey: read-only opens an existing key, otherwise the key is created when missing.
  // Keeps the name. Returns ERROR_SUCCESS or the registry's error code.
  LONG Open(HKEY root, const char* subKey, bool bReadOnly);
  // Reads a value into buffer (*size bytes of room on entry, the value's size on return).
  LONG QueryValue(const char* valueName, uint8_t* buffer, DWORD* size);
  // Closes the key when one is open.
  void Close();

  const std::string& SubKey() const { return m_strSubKey; }

 private:
  HKEY m_hKey = nullptr;
  std::string m_strSubKey;
};

// Results of UnscrambleRegistryValue.
inline constexpr int kUnscrambleOk = 0;
inline constexpr int kUnscrambleBadStride = 1;
inline constexpr int kUnscrambleBadLength = 2;
inline constexpr int kUnscrambleBadPosition = 3;

// The header masks of a scrambled value: bytes 0 (column stride), 1 (key position) and 2 (length).
inline constexpr uint8_t kStrideMask = 0x5A;
inline constexpr uint8_t kPositionMask = 0x93;
inline constexpr uint8_t kLengthMask = 0x27;

// UnscrambleRegistryValue: turns the scrambled value in buffer[0..len) into its clear text, NUL-
// terminated, in the same buffer (zeroed first). Returns kUnscrambleOk, or 1, 2, 3 for a bad stride,
// length or key position in the header, leaving the buffer unchanged.
// REQUIRES: buffer holds len bytes; len >= 8.
[[nodiscard]] int UnscrambleRegistryValue(uint8_t* buffer, size_t len);

// The mask of member passwords, and the letter that stands for a byte equal to the mask.
inline constexpr uint8_t kPasswordMask = 0x0B;
inline constexpr char kPasswordMaskLetter = 'K';

// ScramblePassword: the stored form of a member password: every byte XORed with kPasswordMask, a
// byte equal to the mask (which would become NUL) written as kPasswordMaskLetter. Same length.
std::string ScramblePassword(const char* text);
