#include "tools/registry_scramble.h"

#include <cstring>

#include "util/registry.h"

std::vector<uint8_t> ScrambleRegistryValueWith(const std::string& clear, size_t len, size_t stride, size_t pos,
                                               std::mt19937& rng) {
  const size_t count = clear.size();
  if (len < 16 || count >= len / 2 || clear.find('\0') != std::string::npos) return {};
  if (stride < 3 || stride > len / 5 || pos < 5 || pos > len - 2) return {};
  std::uniform_int_distribution<int> byte(0, 255);

  // The key byte is fixed by the first character: first = pos XOR key.
  const uint8_t key = static_cast<uint8_t>(pos ^ static_cast<uint8_t>(count > 0 ? clear[0] : byte(rng)));
  std::vector<uint8_t> rest(len);
  for (uint8_t& b : rest) b = static_cast<uint8_t>(byte(rng));
  rest[0] = static_cast<uint8_t>(stride ^ kStrideMask);
  rest[1] = static_cast<uint8_t>(pos ^ kPositionMask);
  rest[2] = static_cast<uint8_t>(count ^ kLengthMask);

  std::vector<uint8_t> value;
  if (count >= 3) {
    // Characters 2.. in columns of `stride` bytes from byte 3 of the value without its key byte.
    std::vector<int> taken(len, -1);
    size_t made = 1;
    for (size_t round = 0; made < count && round + 6 < len; ++round) {
      for (size_t offset = 0; offset < len - 6 - round && made < count; offset += stride) {
        size_t at = 3 + round + offset;
        uint8_t want = static_cast<uint8_t>(clear[made] ^ key);
        if (taken[at] >= 0 && taken[at] != want) return {};
        taken[at] = want;
        rest[at] = want;
        ++made;
      }
    }
    if (made < count) return {};
    value.assign(rest.begin(), rest.begin() + static_cast<long>(pos));
    value.push_back(key);
    value.insert(value.end(), rest.begin() + static_cast<long>(pos), rest.end() - 1);
  } else {
    value = rest;
    if (count == 2) value[3] = static_cast<uint8_t>(clear[1] ^ key);
    value[pos] = key;
  }

  // Check the value the way the library will read it.
  std::vector<uint8_t> check = value;
  if (UnscrambleRegistryValue(check.data(), check.size()) != kUnscrambleOk) return {};
  if (std::memcmp(check.data(), clear.data(), count) != 0 || check[count] != 0) return {};
  return value;
}

std::vector<uint8_t> ScrambleRegistryValue(const std::string& clear, size_t len, std::mt19937& rng) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::uniform_int_distribution<size_t> strides(3, len / 5);
    std::uniform_int_distribution<size_t> positions(5, len - 2);
    std::vector<uint8_t> v = ScrambleRegistryValueWith(clear, len, strides(rng), positions(rng), rng);
    if (!v.empty()) return v;
  }
  return {};
}
