// Unscrambling of registry values: the header rules, the three text forms, and round trips through
// the installation tool's scrambler.

#include "util/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tools/registry_scramble.h"

namespace {

constexpr size_t kLen = 128;

std::vector<uint8_t> Header(int stride, int pos, int count) {
  std::vector<uint8_t> b(kLen, 0x41);
  b[0] = static_cast<uint8_t>(stride ^ 0x5A);
  b[1] = static_cast<uint8_t>(pos ^ 0x93);
  b[2] = static_cast<uint8_t>(count ^ 0x27);
  return b;
}

TEST(UnscrambleRegistryValue, RefusesBadHeadersAndLeavesTheBufferAlone) {
  struct Case {
    int stride, pos, count, want;
  } cases[] = {
      {2, 10, 5, kUnscrambleBadStride},     // stride below 3
      {26, 10, 5, kUnscrambleBadStride},    // stride above 128 / 5
      {5, 10, 65, kUnscrambleBadLength},    // more than 128 / 2 characters
      {5, 4, 5, kUnscrambleBadPosition},    // key position below 5
      {5, 127, 5, kUnscrambleBadPosition},  // key position above 128 - 2
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = Header(c.stride, c.pos, c.count);
    std::vector<uint8_t> before = b;
    EXPECT_EQ(UnscrambleRegistryValue(b.data(), b.size()), c.want) << c.stride << "/" << c.pos << "/" << c.count;
    EXPECT_EQ(b, before);
  }
}

TEST(UnscrambleRegistryValue, ReadsOneAndTwoCharacterValues) {
  // One character: pos XOR key. Two: the second is byte 3 XOR key.
  std::vector<uint8_t> one = Header(5, 20, 1);
  one[20] = static_cast<uint8_t>(20 ^ 'Q');
  ASSERT_EQ(UnscrambleRegistryValue(one.data(), one.size()), kUnscrambleOk);
  EXPECT_STREQ(reinterpret_cast<char*>(one.data()), "Q");
  EXPECT_EQ(one[5], 0);  // the rest of the buffer is zeroed

  std::vector<uint8_t> two = Header(5, 30, 2);
  two[30] = static_cast<uint8_t>(30 ^ 'o');
  two[3] = static_cast<uint8_t>('k' ^ two[30]);
  ASSERT_EQ(UnscrambleRegistryValue(two.data(), two.size()), kUnscrambleOk);
  EXPECT_STREQ(reinterpret_cast<char*>(two.data()), "ok");
}

TEST(UnscrambleRegistryValue, ReadsLongerValuesColumnByColumn) {
  // Worked by hand: stride 3, key at 5, text "abcd". The key byte is 5 XOR 'a'; without it the value's
  // bytes 3, 6 and 9 (round 0, one column) hold b, c and d XOR key.
  std::vector<uint8_t> b = Header(3, 5, 4);
  const uint8_t key = static_cast<uint8_t>(5 ^ 'a');
  b[5] = key;
  b[3] = static_cast<uint8_t>('b' ^ key);
  b[3 + 3 + 1] = static_cast<uint8_t>('c' ^ key);  // value byte 6 sits after the key byte
  b[3 + 6 + 1] = static_cast<uint8_t>('d' ^ key);
  ASSERT_EQ(UnscrambleRegistryValue(b.data(), b.size()), kUnscrambleOk);
  EXPECT_STREQ(reinterpret_cast<char*>(b.data()), "abcd");
}

TEST(UnscrambleRegistryValue, ReadsBackWhatTheToolWrites) {
  std::mt19937 rng(7);
  const std::string texts[] = {"", "x", "ab", "dorvane", "Pa55-w0rd!", std::string(63, 'z')};
  const size_t strides[] = {3, 4, 11, 25};
  const size_t positions[] = {5, 6, 64, 126};
  for (const std::string& text : texts) {
    for (size_t stride : strides) {
      for (size_t pos : positions) {
        std::vector<uint8_t> value = ScrambleRegistryValueWith(text, kLen, stride, pos, rng);
        ASSERT_EQ(value.size(), kLen) << text << " " << stride << " " << pos;
        ASSERT_EQ(UnscrambleRegistryValue(value.data(), value.size()), kUnscrambleOk);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(value.data())), text);
      }
    }
  }
  EXPECT_TRUE(ScrambleRegistryValueWith(std::string(64, 'z'), kLen, 3, 5, rng).empty());  // over len / 2 - 1
}

TEST(ScramblePassword, IsItsOwnInverseOutsideTheMaskByte) {
  EXPECT_EQ(ScramblePassword(""), "");
  EXPECT_EQ(ScramblePassword("Secret9"), std::string("Xnhyn\x7f" "2"));  // each byte XOR 0x0B
  EXPECT_EQ(ScramblePassword(ScramblePassword("Secret9").c_str()), "Secret9");
  // A byte equal to the mask would become NUL: it is written as the fixed letter.
  EXPECT_EQ(ScramblePassword("a\x0b" "b"), std::string("j") + kPasswordMaskLetter + "i");
}

}  // namespace
