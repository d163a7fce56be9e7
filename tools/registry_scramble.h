#pragma once
// Writing scrambled registry values: the inverse of UnscrambleRegistryValue, for installation.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// The size of the buffer the library reads each login value into.
inline constexpr size_t kRegistryValueBytes = 128;

// ScrambleRegistryValue: a value of `len` bytes that UnscrambleRegistryValue(value, len) turns back
// into `clear`, with the stride, key position and filler bytes drawn from `rng`. Returns an empty
// vector when `clear` is longer than len / 2 - 1 bytes or holds a NUL.
std::vector<uint8_t> ScrambleRegistryValue(const std::string& clear, size_t len, std::mt19937& rng);

// The same with chosen stride and key position (tests); empty when they break the header rules.
std::vector<uint8_t> ScrambleRegistryValueWith(const std::string& clear, size_t len, size_t stride, size_t pos,
                                               std::mt19937& rng);
