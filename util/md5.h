#pragma once
// MD5 message digests (RFC 1321), used for request signatures, the payment-terminal check, carrier
// verification codes and the test client's signing. Input is hashed as raw bytes (GBK or ASCII text
// as it stands, without its NUL). Reentrant: each context belongs to its caller.
#include <cstddef>
#include <cstdint>

namespace tw {

// The 32 lower-case hex digits and the NUL.
inline constexpr size_t kMd5HexSize = 33;
inline constexpr size_t kMd5DigestSize = 16;

struct MD5Context {
  uint32_t state[4];  // A, B, C, D
  uint32_t count[2];  // bit count, low and high halves
  unsigned char block[64];
};

// MD5Init: sets ctx to the initial state.
void MD5Init(MD5Context& ctx);
// MD5Update: absorbs n bytes of data.
void MD5Update(MD5Context& ctx, const void* data, size_t n);
// MD5Final: appends the padding and the bit count and writes the 16-byte digest.
void MD5Final(MD5Context& ctx, unsigned char digest[kMd5DigestSize]);
// MD5Transform: one compression step over a 64-byte block.
void MD5Transform(uint32_t state[4], const unsigned char block[64]);
// MD5Hex: the lower-case hex digest of n bytes of data in out (kMd5HexSize bytes). Returns out.
char* MD5Hex(const void* data, size_t n, char out[kMd5HexSize]);

}  // namespace tw
