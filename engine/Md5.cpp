#include "engine/Md5.h"

#include <cstring>

namespace {

inline uint32_t Rotl(uint32_t x, int s)
{
    return (x << s) | (x >> (32 - s));
}

inline uint32_t LoadLittle(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

// The four rounds. F and G are written so that their two halves do not depend on each other,
// which shortens the dependency chain of each step; H alternates its operand order so that one
// XOR of every pair of steps can be shared.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

#define STEP_F(a, b, c, d, w, k, s)                                                                                              \
    a += (w) + (k) + MD5_F(b, c, d);                                                                                             \
    a = Rotl(a, s) + (b)
#define STEP_G(a, b, c, d, w, k, s)                                                                                              \
    a += (w) + (k) + ((c) & ~(d));                                                                                               \
    a += ((b) & (d));                                                                                                            \
    a = Rotl(a, s) + (b)
#define STEP_H(a, b, c, d, w, k, s)                                                                                              \
    a += (w) + (k) + MD5_H(b, c, d);                                                                                             \
    a = Rotl(a, s) + (b)
#define STEP_I(a, b, c, d, w, k, s)                                                                                              \
    a += (w) + (k) + MD5_I(b, c, d);                                                                                             \
    a = Rotl(a, s) + (b)

// The four rounds of one block, each sixteen steps over the block's words.
[[gnu::always_inline]] inline void RoundF(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t (&x)[16])
{
    STEP_F(a, b, c, d, x[0], 0xd76aa478, 7);
    STEP_F(d, a, b, c, x[1], 0xe8c7b756, 12);
    STEP_F(c, d, a, b, x[2], 0x242070db, 17);
    STEP_F(b, c, d, a, x[3], 0xc1bdceee, 22);
    STEP_F(a, b, c, d, x[4], 0xf57c0faf, 7);
    STEP_F(d, a, b, c, x[5], 0x4787c62a, 12);
    STEP_F(c, d, a, b, x[6], 0xa8304613, 17);
    STEP_F(b, c, d, a, x[7], 0xfd469501, 22);
    STEP_F(a, b, c, d, x[8], 0x698098d8, 7);
    STEP_F(d, a, b, c, x[9], 0x8b44f7af, 12);
    STEP_F(c, d, a, b, x[10], 0xffff5bb1, 17);
    STEP_F(b, c, d, a, x[11], 0x895cd7be, 22);
    STEP_F(a, b, c, d, x[12], 0x6b901122, 7);
    STEP_F(d, a, b, c, x[13], 0xfd987193, 12);
    STEP_F(c, d, a, b, x[14], 0xa679438e, 17);
    STEP_F(b, c, d, a, x[15], 0x49b40821, 22);
}

[[gnu::always_inline]] inline void RoundG(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t (&x)[16])
{
    STEP_G(a, b, c, d, x[1], 0xf61e2562, 5);
    STEP_G(d, a, b, c, x[6], 0xc040b340, 9);
    STEP_G(c, d, a, b, x[11], 0x265e5a51, 14);
    STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20);
    STEP_G(a, b, c, d, x[5], 0xd62f105d, 5);
    STEP_G(d, a, b, c, x[10], 0x02441453, 9);
    STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14);
    STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20);
    STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5);
    STEP_G(d, a, b, c, x[14], 0xc33707d6, 9);
    STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14);
    STEP_G(b, c, d, a, x[8], 0x455a14ed, 20);
    STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5);
    STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9);
    STEP_G(c, d, a, b, x[7], 0x676f02d9, 14);
    STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20);
}

[[gnu::always_inline]] inline void RoundH(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t (&x)[16])
{
    STEP_H(a, b, c, d, x[5], 0xfffa3942, 4);
    STEP_H(d, a, b, c, x[8], 0x8771f681, 11);
    STEP_H(c, d, a, b, x[11], 0x6d9d6122, 16);
    STEP_H(b, c, d, a, x[14], 0xfde5380c, 23);
    STEP_H(a, b, c, d, x[1], 0xa4beea44, 4);
    STEP_H(d, a, b, c, x[4], 0x4bdecfa9, 11);
    STEP_H(c, d, a, b, x[7], 0xf6bb4b60, 16);
    STEP_H(b, c, d, a, x[10], 0xbebfbc70, 23);
    STEP_H(a, b, c, d, x[13], 0x289b7ec6, 4);
    STEP_H(d, a, b, c, x[0], 0xeaa127fa, 11);
    STEP_H(c, d, a, b, x[3], 0xd4ef3085, 16);
    STEP_H(b, c, d, a, x[6], 0x04881d05, 23);
    STEP_H(a, b, c, d, x[9], 0xd9d4d039, 4);
    STEP_H(d, a, b, c, x[12], 0xe6db99e5, 11);
    STEP_H(c, d, a, b, x[15], 0x1fa27cf8, 16);
    STEP_H(b, c, d, a, x[2], 0xc4ac5665, 23);
}

[[gnu::always_inline]] inline void RoundI(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t (&x)[16])
{
    STEP_I(a, b, c, d, x[0], 0xf4292244, 6);
    STEP_I(d, a, b, c, x[7], 0x432aff97, 10);
    STEP_I(c, d, a, b, x[14], 0xab9423a7, 15);
    STEP_I(b, c, d, a, x[5], 0xfc93a039, 21);
    STEP_I(a, b, c, d, x[12], 0x655b59c3, 6);
    STEP_I(d, a, b, c, x[3], 0x8f0ccc92, 10);
    STEP_I(c, d, a, b, x[10], 0xffeff47d, 15);
    STEP_I(b, c, d, a, x[1], 0x85845dd1, 21);
    STEP_I(a, b, c, d, x[8], 0x6fa87e4f, 6);
    STEP_I(d, a, b, c, x[15], 0xfe2ce6e0, 10);
    STEP_I(c, d, a, b, x[6], 0xa3014314, 15);
    STEP_I(b, c, d, a, x[13], 0x4e0811a1, 21);
    STEP_I(a, b, c, d, x[4], 0xf7537e82, 6);
    STEP_I(d, a, b, c, x[11], 0xbd3af235, 10);
    STEP_I(c, d, a, b, x[2], 0x2ad7d2bb, 15);
    STEP_I(b, c, d, a, x[9], 0xeb86d391, 21);
}
// Digests `blocks` consecutive 64-byte blocks into the state.
void ProcessBlocks(uint32_t state[4], const uint8_t* data, size_t blocks)
{
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = LoadLittle(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;
        RoundF(a, b, c, d, x);
        RoundG(a, b, c, d, x);
        RoundH(a, b, c, d, x);
        RoundI(a, b, c, d, x);
        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

}  // namespace

void CMd5::Reset()
{
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
    m_length = 0;
}

void CMd5::Update(const void* data, size_t length)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t used = static_cast<size_t>(m_length % 64);
    m_length += length;
    if (used != 0) {
        const size_t take = length < 64 - used ? length : 64 - used;
        std::memcpy(m_buffer + used, bytes, take);
        bytes += take;
        length -= take;
        used += take;
        if (used < 64)
            return;
        ProcessBlocks(m_state, m_buffer, 1);
    }
    const size_t whole = length / 64;
    if (whole != 0)
        ProcessBlocks(m_state, bytes, whole);
    std::memcpy(m_buffer, bytes + whole * 64, length % 64);
}

Md5Digest CMd5::Final()
{
    const uint64_t bits = m_length * 8;
    uint8_t padding[72] = {0x80};
    const size_t used = static_cast<size_t>(m_length % 64);
    const size_t padLength = used < 56 ? 56 - used : 120 - used;
    Update(padding, padLength);
    uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    Update(lengthBytes, 8);
    Md5Digest digest;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (8 * j));
    return digest;
}

void CMd5::Blocks(uint32_t state[4], const uint8_t* data, size_t blocks)
{
    ProcessBlocks(state, data, blocks);
}

Md5Digest CMd5::Of(const void* data, size_t length)
{
    CMd5 md5;
    md5.Update(data, length);
    return md5.Final();
}
