#include "util/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tw {
namespace {

struct Md5Case {
  std::string input;
  const char* hex;
  const char* source;
};

TEST(Md5Test, KnownDigests) {
  const Md5Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e", "RFC 1321 A.5"},
      {"a", "0cc175b9c0f1b6a831c399e269772661", "RFC 1321 A.5"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72", "RFC 1321 A.5"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0", "RFC 1321 A.5"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b", "RFC 1321 A.5"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f", "RFC 1321 A.5"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a", "RFC 1321 A.5"},
      // Padding crosses into a second block from 56 bytes on.
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65", "md5sum"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218", "md5sum"},
      {std::string(63, 'a'), "b06521f39153d618550606be297466d5", "md5sum"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367", "md5sum"},
      {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435", "md5sum"},
      {std::string(128, 'a'), "e510683b3f5ffe4093d021808bc6ff70", "md5sum"},
      // GBK bytes are hashed as they stand: the two characters D6D0 CEC4.
      {"\xD6\xD0\xCE\xC4", "bcce109775e8e1972e9f5fcda3e12895", "md5sum"},
  };
  for (const Md5Case& c : cases) {
    char out[kMd5HexSize];
    EXPECT_STREQ(MD5Hex(c.input.data(), c.input.size(), out), c.hex)
        << c.input.size() << " bytes (" << c.source << ")";
  }
}

TEST(Md5Test, PiecewiseUpdatesMatchOneShot) {
  // The signature of a request: id, time stamp and key joined, fed in pieces of every size.
  const std::string text = "123451700000000000abcdefghijABCDEFGHIJ0123456789-the-rest-of-a-key-xx";
  char whole[kMd5HexSize];
  MD5Hex(text.data(), text.size(), whole);
  for (size_t piece = 1; piece <= text.size(); ++piece) {
    MD5Context ctx;
    MD5Init(ctx);
    for (size_t i = 0; i < text.size(); i += piece) {
      MD5Update(ctx, text.data() + i, std::min(piece, text.size() - i));
    }
    unsigned char digest[kMd5DigestSize];
    MD5Final(ctx, digest);
    char hex[kMd5HexSize];
    for (size_t i = 0; i < kMd5DigestSize; ++i) {
      snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    }
    EXPECT_STREQ(hex, whole) << "pieces of " << piece;
  }
}

}  // namespace
}  // namespace tw
