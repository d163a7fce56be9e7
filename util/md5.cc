#include "util/md5.h"

#include <cstring>

namespace tw {
namespace {

inline uint32_t Rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

inline uint32_t LoadLe32(const unsigned char* p) {
  uint32_t v;
  memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}

inline void StoreLe32(unsigned char* p, uint32_t v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  memcpy(p, &v, 4);
}

// The four round functions; F and G in their forms with fewer operations.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

#define TW_MD5_STEP(f, a, b, c, d, x, s, ac) \
  do {                                       \
    (a) += f((b), (c), (d)) + (x) + (ac);    \
    (a) = Rotl((a), (s)) + (b);              \
  } while (0)

}  // namespace

void MD5Transform(uint32_t state[4], const unsigned char block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    x[i] = LoadLe32(block + 4 * i);
  }
  uint32_t a = state[0];
  uint32_t b = state[1];
  uint32_t c = state[2];
  uint32_t d = state[3];

  TW_MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478);
  TW_MD5_STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756);
  TW_MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070db);
  TW_MD5_STEP(F, b, c, d, a, x[3], 22, 0xc1bdceee);
  TW_MD5_STEP(F, a, b, c, d, x[4], 7, 0xf57c0faf);
  TW_MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787c62a);
  TW_MD5_STEP(F, c, d, a, b, x[6], 17, 0xa8304613);
  TW_MD5_STEP(F, b, c, d, a, x[7], 22, 0xfd469501);
  TW_MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098d8);
  TW_MD5_STEP(F, d, a, b, c, x[9], 12, 0x8b44f7af);
  TW_MD5_STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1);
  TW_MD5_STEP(F, b, c, d, a, x[11], 22, 0x895cd7be);
  TW_MD5_STEP(F, a, b, c, d, x[12], 7, 0x6b901122);
  TW_MD5_STEP(F, d, a, b, c, x[13], 12, 0xfd987193);
  TW_MD5_STEP(F, c, d, a, b, x[14], 17, 0xa679438e);
  TW_MD5_STEP(F, b, c, d, a, x[15], 22, 0x49b40821);

  TW_MD5_STEP(G, a, b, c, d, x[1], 5, 0xf61e2562);
  TW_MD5_STEP(G, d, a, b, c, x[6], 9, 0xc040b340);
  TW_MD5_STEP(G, c, d, a, b, x[11], 14, 0x265e5a51);
  TW_MD5_STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aa);
  TW_MD5_STEP(G, a, b, c, d, x[5], 5, 0xd62f105d);
  TW_MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453);
  TW_MD5_STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681);
  TW_MD5_STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8);
  TW_MD5_STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6);
  TW_MD5_STEP(G, d, a, b, c, x[14], 9, 0xc33707d6);
  TW_MD5_STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87);
  TW_MD5_STEP(G, b, c, d, a, x[8], 20, 0x455a14ed);
  TW_MD5_STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905);
  TW_MD5_STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8);
  TW_MD5_STEP(G, c, d, a, b, x[7], 14, 0x676f02d9);
  TW_MD5_STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8a);

  TW_MD5_STEP(H, a, b, c, d, x[5], 4, 0xfffa3942);
  TW_MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771f681);
  TW_MD5_STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122);
  TW_MD5_STEP(H, b, c, d, a, x[14], 23, 0xfde5380c);
  TW_MD5_STEP(H, a, b, c, d, x[1], 4, 0xa4beea44);
  TW_MD5_STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9);
  TW_MD5_STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60);
  TW_MD5_STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70);
  TW_MD5_STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6);
  TW_MD5_STEP(H, d, a, b, c, x[0], 11, 0xeaa127fa);
  TW_MD5_STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085);
  TW_MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881d05);
  TW_MD5_STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039);
  TW_MD5_STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5);
  TW_MD5_STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8);
  TW_MD5_STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665);

  TW_MD5_STEP(I, a, b, c, d, x[0], 6, 0xf4292244);
  TW_MD5_STEP(I, d, a, b, c, x[7], 10, 0x432aff97);
  TW_MD5_STEP(I, c, d, a, b, x[14], 15, 0xab9423a7);
  TW_MD5_STEP(I, b, c, d, a, x[5], 21, 0xfc93a039);
  TW_MD5_STEP(I, a, b, c, d, x[12], 6, 0x655b59c3);
  TW_MD5_STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92);
  TW_MD5_STEP(I, c, d, a, b, x[10], 15, 0xffeff47d);
  TW_MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845dd1);
  TW_MD5_STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4f);
  TW_MD5_STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0);
  TW_MD5_STEP(I, c, d, a, b, x[6], 15, 0xa3014314);
  TW_MD5_STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1);
  TW_MD5_STEP(I, a, b, c, d, x[4], 6, 0xf7537e82);
  TW_MD5_STEP(I, d, a, b, c, x[11], 10, 0xbd3af235);
  TW_MD5_STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bb);
  TW_MD5_STEP(I, b, c, d, a, x[9], 21, 0xeb86d391);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

#undef TW_MD5_STEP

void MD5Init(MD5Context& ctx) {
  ctx.state[0] = 0x67452301;
  ctx.state[1] = 0xefcdab89;
  ctx.state[2] = 0x98badcfe;
  ctx.state[3] = 0x10325476;
  ctx.count[0] = 0;
  ctx.count[1] = 0;
}

void MD5Update(MD5Context& ctx, const void* data, size_t n) {
  const auto* in = static_cast<const unsigned char*>(data);
  size_t used = (ctx.count[0] >> 3) & 0x3F;
  uint64_t bits = (static_cast<uint64_t>(ctx.count[1]) << 32 | ctx.count[0]) +
                  (static_cast<uint64_t>(n) << 3);
  ctx.count[0] = static_cast<uint32_t>(bits);
  ctx.count[1] = static_cast<uint32_t>(bits >> 32);
  if (used > 0) {
    size_t take = 64 - used;
    if (n < take) {
      memcpy(ctx.block + used, in, n);
      return;
    }
    memcpy(ctx.block + used, in, take);
    MD5Transform(ctx.state, ctx.block);
    in += take;
    n -= take;
  }
  while (n >= 64) {
    MD5Transform(ctx.state, in);
    in += 64;
    n -= 64;
  }
  memcpy(ctx.block, in, n);
}

void MD5Final(MD5Context& ctx, unsigned char digest[kMd5DigestSize]) {
  unsigned char length[8];
  StoreLe32(length, ctx.count[0]);
  StoreLe32(length + 4, ctx.count[1]);
  size_t used = (ctx.count[0] >> 3) & 0x3F;
  static constexpr unsigned char kPadding[64] = {0x80};
  size_t pad = used < 56 ? 56 - used : 120 - used;
  MD5Update(ctx, kPadding, pad);
  MD5Update(ctx, length, 8);
  for (int i = 0; i < 4; ++i) {
    StoreLe32(digest + 4 * i, ctx.state[i]);
  }
}

char* MD5Hex(const void* data, size_t n, char out[kMd5HexSize]) {
  static constexpr char kHex[] = "0123456789abcdef";
  MD5Context ctx;
  MD5Init(ctx);
  MD5Update(ctx, data, n);
  unsigned char digest[kMd5DigestSize];
  MD5Final(ctx, digest);
  for (size_t i = 0; i < kMd5DigestSize; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  out[2 * kMd5DigestSize] = 0;
  return out;
}

}  // namespace tw
