#pragma once
// A file-backed registry in place of the Windows one.
//
// The file (TARNWICK_REGISTRY, default /etc/tarnwick/registry) is text:
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Halvern]
//   Item1=hex:5a93...
// one section per key and one line per value, the value's bytes in hexadecimal. Key and value names
// compare without regard to ASCII case, as in the Windows registry. The file is read when a key is
// opened and written whole, through a temporary file and a rename, when a value is set.
// Thread-safety: calls may come from any thread; a process-wide mutex serialises them.

#include <cstdint>
#include <string>

#include "platform/isapi.h"

using LONG = int32_t;
using REGSAM = uint32_t;
using HKEY = struct RegistryKeyHandle*;

inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_MORE_DATA = 234;

inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_BINARY = 3;

// The registry file in use: TARNWICK_REGISTRY, else /etc/tarnwick/registry.
std::string RegistryFilePath();

// Opens an existing key. Returns ERROR_SUCCESS and a handle in *result, or ERROR_FILE_NOT_FOUND.
LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// Opens a key, creating it when missing. Returns ERROR_SUCCESS or an error code.
LONG RegCreateKeyExA(HKEY root, const char* subKey, REGSAM access, HKEY* result);
// Copies a value into data (*cbData bytes of room; on return the value's size). ERROR_MORE_DATA when
// it does not fit (nothing is copied), ERROR_FILE_NOT_FOUND when the value is absent.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, uint8_t* data,
                      DWORD* cbData);
// Stores a value (and writes the registry file).
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const uint8_t* data,
                    DWORD cbData);
LONG RegCloseKey(HKEY key);
