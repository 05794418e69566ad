#include "engine/Md5Lanes.h"

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILLON_MD5_LANES_X86 1
#endif

namespace {

// Fewer busy lanes than this are digested one by one: the eight-lane code costs about as much
// for one lane as for eight, so one stream alone runs faster on the scalar code; two already go
// faster together.
constexpr unsigned kWideFromLanes = 2;

// Whether this processor runs the eight-lane kernels (the operating system saves the registers
// too: the compiler's check looks at that).
bool ProcessorHas(const char* feature)
{
#ifdef QUILLON_MD5_LANES_X86
    if (std::strcmp(feature, "avx2") == 0)
        return __builtin_cpu_supports("avx2");
    if (std::strcmp(feature, "avx512vl") == 0)
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#endif
    (void)feature;
    return false;
}

#ifdef QUILLON_MD5_LANES_X86

#define QUILLON_AVX2 __attribute__((target("avx2")))
#define QUILLON_AVX512 __attribute__((target("avx2,avx512f,avx512vl")))
#define QUILLON_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Loads 32 bytes at `offset` of each lane's block and turns them around: out[i] holds word i of
// the eight lanes (lane j in element j). Words are little-endian, as MD5 reads them.
QUILLON_AVX2_INLINE void LoadWords(const uint8_t* const lane[8], size_t offset, __m256i out[8])
{
#define LOAD8(j) _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lane[j] + offset))
    const __m256i r0 = LOAD8(0), r1 = LOAD8(1), r2 = LOAD8(2), r3 = LOAD8(3);
    const __m256i r4 = LOAD8(4), r5 = LOAD8(5), r6 = LOAD8(6), r7 = LOAD8(7);
#undef LOAD8
    const __m256i t0 = _mm256_unpacklo_epi32(r0, r1), t1 = _mm256_unpackhi_epi32(r0, r1);
    const __m256i t2 = _mm256_unpacklo_epi32(r2, r3), t3 = _mm256_unpackhi_epi32(r2, r3);
    const __m256i t4 = _mm256_unpacklo_epi32(r4, r5), t5 = _mm256_unpackhi_epi32(r4, r5);
    const __m256i t6 = _mm256_unpacklo_epi32(r6, r7), t7 = _mm256_unpackhi_epi32(r6, r7);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
    out[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    out[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    out[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    out[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    out[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    out[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    out[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    out[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

#define ADD8(x, y) _mm256_add_epi32(x, y)
#define WK8(i, k) ADD8(w[i], _mm256_set1_epi32(static_cast<int>(k)))

// The body of an eight-lane kernel: digests `blocks` blocks of every lane, lane j reading from
// data[j] on and moving on by advance[j] bytes a block (64, or 0 for a lane that takes no part and
// reads one block again and again). Only the lanes whose bit is set in `active` keep their new
// state. The steps (STEP8_F, _G, _H, _I) are those of the instruction set it is compiled for.
#define MD5_LANES_KERNEL_BODY                                                                                                    \
    const __m256i ones = _mm256_set1_epi32(-1);                                                                                  \
    (void)ones;                                                                                                                  \
    const __m256i bits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);                                                         \
    const __m256i keep = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(active)), bits), bits);          \
    const __m256i a0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[0]));                                            \
    const __m256i b0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[1]));                                            \
    const __m256i c0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[2]));                                            \
    const __m256i d0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[3]));                                            \
    __m256i a = a0, b = b0, c = c0, d = d0;                                                                                      \
    const uint8_t* lane[8];                                                                                                      \
    for (int j = 0; j < 8; ++j)                                                                                                  \
        lane[j] = data[j];                                                                                                       \
    for (; blocks > 0; --blocks) {                                                                                               \
        __m256i w[16];                                                                                                           \
        LoadWords(lane, 0, w);                                                                                                   \
        LoadWords(lane, 32, w + 8);                                                                                              \
        for (int j = 0; j < 8; ++j)                                                                                              \
            lane[j] += advance[j];                                                                                               \
        const __m256i sa = a, sb = b, sc = c, sd = d;                                                                            \
        STEP8_F(a, b, c, d, 0, 0xd76aa478, 7);                                                                                   \
        STEP8_F(d, a, b, c, 1, 0xe8c7b756, 12);                                                                                  \
        STEP8_F(c, d, a, b, 2, 0x242070db, 17);                                                                                  \
        STEP8_F(b, c, d, a, 3, 0xc1bdceee, 22);                                                                                  \
        STEP8_F(a, b, c, d, 4, 0xf57c0faf, 7);                                                                                   \
        STEP8_F(d, a, b, c, 5, 0x4787c62a, 12);                                                                                  \
        STEP8_F(c, d, a, b, 6, 0xa8304613, 17);                                                                                  \
        STEP8_F(b, c, d, a, 7, 0xfd469501, 22);                                                                                  \
        STEP8_F(a, b, c, d, 8, 0x698098d8, 7);                                                                                   \
        STEP8_F(d, a, b, c, 9, 0x8b44f7af, 12);                                                                                  \
        STEP8_F(c, d, a, b, 10, 0xffff5bb1, 17);                                                                                 \
        STEP8_F(b, c, d, a, 11, 0x895cd7be, 22);                                                                                 \
        STEP8_F(a, b, c, d, 12, 0x6b901122, 7);                                                                                  \
        STEP8_F(d, a, b, c, 13, 0xfd987193, 12);                                                                                 \
        STEP8_F(c, d, a, b, 14, 0xa679438e, 17);                                                                                 \
        STEP8_F(b, c, d, a, 15, 0x49b40821, 22);                                                                                 \
        STEP8_G(a, b, c, d, 1, 0xf61e2562, 5);                                                                                   \
        STEP8_G(d, a, b, c, 6, 0xc040b340, 9);                                                                                   \
        STEP8_G(c, d, a, b, 11, 0x265e5a51, 14);                                                                                 \
        STEP8_G(b, c, d, a, 0, 0xe9b6c7aa, 20);                                                                                  \
        STEP8_G(a, b, c, d, 5, 0xd62f105d, 5);                                                                                   \
        STEP8_G(d, a, b, c, 10, 0x02441453, 9);                                                                                  \
        STEP8_G(c, d, a, b, 15, 0xd8a1e681, 14);                                                                                 \
        STEP8_G(b, c, d, a, 4, 0xe7d3fbc8, 20);                                                                                  \
        STEP8_G(a, b, c, d, 9, 0x21e1cde6, 5);                                                                                   \
        STEP8_G(d, a, b, c, 14, 0xc33707d6, 9);                                                                                  \
        STEP8_G(c, d, a, b, 3, 0xf4d50d87, 14);                                                                                  \
        STEP8_G(b, c, d, a, 8, 0x455a14ed, 20);                                                                                  \
        STEP8_G(a, b, c, d, 13, 0xa9e3e905, 5);                                                                                  \
        STEP8_G(d, a, b, c, 2, 0xfcefa3f8, 9);                                                                                   \
        STEP8_G(c, d, a, b, 7, 0x676f02d9, 14);                                                                                  \
        STEP8_G(b, c, d, a, 12, 0x8d2a4c8a, 20);                                                                                 \
        STEP8_H(a, b, c, d, 5, 0xfffa3942, 4);                                                                                   \
        STEP8_H(d, a, b, c, 8, 0x8771f681, 11);                                                                                  \
        STEP8_H(c, d, a, b, 11, 0x6d9d6122, 16);                                                                                 \
        STEP8_H(b, c, d, a, 14, 0xfde5380c, 23);                                                                                 \
        STEP8_H(a, b, c, d, 1, 0xa4beea44, 4);                                                                                   \
        STEP8_H(d, a, b, c, 4, 0x4bdecfa9, 11);                                                                                  \
        STEP8_H(c, d, a, b, 7, 0xf6bb4b60, 16);                                                                                  \
        STEP8_H(b, c, d, a, 10, 0xbebfbc70, 23);                                                                                 \
        STEP8_H(a, b, c, d, 13, 0x289b7ec6, 4);                                                                                  \
        STEP8_H(d, a, b, c, 0, 0xeaa127fa, 11);                                                                                  \
        STEP8_H(c, d, a, b, 3, 0xd4ef3085, 16);                                                                                  \
        STEP8_H(b, c, d, a, 6, 0x04881d05, 23);                                                                                  \
        STEP8_H(a, b, c, d, 9, 0xd9d4d039, 4);                                                                                   \
        STEP8_H(d, a, b, c, 12, 0xe6db99e5, 11);                                                                                 \
        STEP8_H(c, d, a, b, 15, 0x1fa27cf8, 16);                                                                                 \
        STEP8_H(b, c, d, a, 2, 0xc4ac5665, 23);                                                                                  \
        STEP8_I(a, b, c, d, 0, 0xf4292244, 6);                                                                                   \
        STEP8_I(d, a, b, c, 7, 0x432aff97, 10);                                                                                  \
        STEP8_I(c, d, a, b, 14, 0xab9423a7, 15);                                                                                 \
        STEP8_I(b, c, d, a, 5, 0xfc93a039, 21);                                                                                  \
        STEP8_I(a, b, c, d, 12, 0x655b59c3, 6);                                                                                  \
        STEP8_I(d, a, b, c, 3, 0x8f0ccc92, 10);                                                                                  \
        STEP8_I(c, d, a, b, 10, 0xffeff47d, 15);                                                                                 \
        STEP8_I(b, c, d, a, 1, 0x85845dd1, 21);                                                                                  \
        STEP8_I(a, b, c, d, 8, 0x6fa87e4f, 6);                                                                                   \
        STEP8_I(d, a, b, c, 15, 0xfe2ce6e0, 10);                                                                                 \
        STEP8_I(c, d, a, b, 6, 0xa3014314, 15);                                                                                  \
        STEP8_I(b, c, d, a, 13, 0x4e0811a1, 21);                                                                                 \
        STEP8_I(a, b, c, d, 4, 0xf7537e82, 6);                                                                                   \
        STEP8_I(d, a, b, c, 11, 0xbd3af235, 10);                                                                                 \
        STEP8_I(c, d, a, b, 2, 0x2ad7d2bb, 15);                                                                                  \
        STEP8_I(b, c, d, a, 9, 0xeb86d391, 21);                                                                                  \
        a = ADD8(a, sa);                                                                                                         \
        b = ADD8(b, sb);                                                                                                         \
        c = ADD8(c, sc);                                                                                                         \
        d = ADD8(d, sd);                                                                                                         \
    }                                                                                                                            \
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[0]), _mm256_blendv_epi8(a0, a, keep));                                   \
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[1]), _mm256_blendv_epi8(b0, b, keep));                                   \
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[2]), _mm256_blendv_epi8(c0, c, keep));                                   \
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[3]), _mm256_blendv_epi8(d0, d, keep))

// AVX2: a rotation is two shifts and an OR; the round functions as in Md5.cpp, G's two halves
// added one after the other (they never share a set bit), so that only the second waits for b.
#define ROTL8(x, s) _mm256_or_si256(_mm256_slli_epi32(x, s), _mm256_srli_epi32(x, 32 - (s)))
#define STEP8_F(a, b, c, d, i, k, s)                                                                                             \
    a = ADD8(ADD8(a, WK8(i, k)), _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d))));                              \
    a = ADD8(ROTL8(a, s), b)
#define STEP8_G(a, b, c, d, i, k, s)                                                                                             \
    a = ADD8(ADD8(a, WK8(i, k)), _mm256_andnot_si256(d, c));                                                                     \
    a = ADD8(a, _mm256_and_si256(b, d));                                                                                         \
    a = ADD8(ROTL8(a, s), b)
#define STEP8_H(a, b, c, d, i, k, s)                                                                                             \
    a = ADD8(ADD8(a, WK8(i, k)), _mm256_xor_si256(_mm256_xor_si256(c, d), b));                                                   \
    a = ADD8(ROTL8(a, s), b)
#define STEP8_I(a, b, c, d, i, k, s)                                                                                             \
    a = ADD8(ADD8(a, WK8(i, k)), _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, ones))));                            \
    a = ADD8(ROTL8(a, s), b)

QUILLON_AVX2 void Blocks8Avx2(uint32_t state[4][8], const uint8_t* const data[8], const size_t advance[8], size_t blocks,
                              unsigned active)
{
    MD5_LANES_KERNEL_BODY;
}

#undef ROTL8
#undef STEP8_F
#undef STEP8_G
#undef STEP8_H
#undef STEP8_I

// AVX-512VL on the same eight lanes: one instruction rotates, one computes a round function
// (vpternlogd: bit i of the table is the result for b, c, d = the bits of i, b the highest).
#define STEP8_X(a, b, c, d, i, k, s, table)                                                                                      \
    a = ADD8(ADD8(a, WK8(i, k)), _mm256_ternarylogic_epi32(b, c, d, table));                                                     \
    a = ADD8(_mm256_rol_epi32(a, s), b)
#define STEP8_F(a, b, c, d, i, k, s) STEP8_X(a, b, c, d, i, k, s, 0xca)  // b ? c : d
#define STEP8_G(a, b, c, d, i, k, s) STEP8_X(a, b, c, d, i, k, s, 0xe4)  // d ? b : c
#define STEP8_H(a, b, c, d, i, k, s) STEP8_X(a, b, c, d, i, k, s, 0x96)  // b ^ c ^ d
#define STEP8_I(a, b, c, d, i, k, s) STEP8_X(a, b, c, d, i, k, s, 0x39)  // c ^ (b | ~d)

QUILLON_AVX512 void Blocks8Avx512(uint32_t state[4][8], const uint8_t* const data[8], const size_t advance[8], size_t blocks,
                                  unsigned active)
{
    MD5_LANES_KERNEL_BODY;
}

#undef STEP8_X
#undef STEP8_F
#undef STEP8_G
#undef STEP8_H
#undef STEP8_I
#undef MD5_LANES_KERNEL_BODY

#endif  // QUILLON_MD5_LANES_X86

// A block the lanes that take no part in a Blocks8 call read.
alignas(64) const uint8_t kIdleBlock[64] = {};

}  // namespace

CMd5Lanes::CMd5Lanes()
{
    const char* env = std::getenv("QUILLON_MD5");
    const std::string choice = env ? env : "";
    if (choice == "scalar")
        m_kernel = EKernel::Scalar;
    else if (ProcessorHas("avx512vl") && choice != "avx2")
        m_kernel = EKernel::Avx512;
    else if (ProcessorHas("avx2"))
        m_kernel = EKernel::Avx2;
    else
        m_kernel = EKernel::Scalar;
    for (size_t lane = 0; lane < kLanes; ++lane)
        Start(lane);
}

void CMd5Lanes::Start(size_t lane)
{
    m_state[0][lane] = 0x67452301;
    m_state[1][lane] = 0xefcdab89;
    m_state[2][lane] = 0x98badcfe;
    m_state[3][lane] = 0x10325476;
    Lane& l = m_lanes[lane];
    l.length = 0;
    l.used = 0;
    l.segments = 0;
    l.next = 0;
    l.finished = false;
}

void CMd5Lanes::Push(size_t lane, const uint8_t* data, size_t blocks)
{
    Lane& l = m_lanes[lane];
    l.queue[l.next + l.segments++] = Segment{data, blocks};
}

void CMd5Lanes::Update(size_t lane, const void* data, size_t length)
{
    Lane& l = m_lanes[lane];
    if (l.finished)
        return;
    if (l.segments != 0)
        DrainScalar(lane);  // bytes queued earlier come first; the queue then starts empty
    const auto* bytes = static_cast<const uint8_t*>(data);
    l.length += length;
    if (l.used != 0) {
        const size_t take = length < 64 - l.used ? length : 64 - l.used;
        std::memcpy(l.partial + l.used, bytes, take);
        l.used += take;
        bytes += take;
        length -= take;
        if (l.used < 64)
            return;
        std::memcpy(l.completed, l.partial, 64);
        Push(lane, l.completed, 1);
        l.used = 0;
    }
    if (length >= 64)
        Push(lane, bytes, length / 64);
    l.used = length % 64;
    std::memcpy(l.partial, bytes + length - l.used, l.used);
}

void CMd5Lanes::Finish(size_t lane)
{
    Lane& l = m_lanes[lane];
    if (l.finished)
        return;
    const uint64_t bits = l.length * 8;
    const size_t padded = l.used < 56 ? 64 : 128;
    std::memcpy(l.padding, l.partial, l.used);
    l.padding[l.used] = 0x80;
    std::memset(l.padding + l.used + 1, 0, padded - l.used - 1);
    for (int i = 0; i < 8; ++i)
        l.padding[padded - 8 + i] = static_cast<uint8_t>(bits >> (8 * i));
    Push(lane, l.padding, padded / 64);
    l.used = 0;
    l.finished = true;
}

Md5Digest CMd5Lanes::Digest(size_t lane) const
{
    Md5Digest digest;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(m_state[i][lane] >> (8 * j));
    return digest;
}

void CMd5Lanes::DrainScalar(size_t lane)
{
    Lane& l = m_lanes[lane];
    uint32_t state[4] = {m_state[0][lane], m_state[1][lane], m_state[2][lane], m_state[3][lane]};
    for (; l.segments != 0; --l.segments, ++l.next)
        CMd5::Blocks(state, l.queue[l.next].data, l.queue[l.next].blocks);
    l.next = 0;
    for (int i = 0; i < 4; ++i)
        m_state[i][lane] = state[i];
}

void CMd5Lanes::Run()
{
    unsigned busy = 0;
    unsigned count = 0;
    for (size_t lane = 0; lane < kLanes; ++lane)
        if (Busy(lane)) {
            busy |= 1u << lane;
            ++count;
        }
    if (busy == 0)
        return;
    if (m_kernel == EKernel::Scalar || count < kWideFromLanes) {
        for (size_t lane = 0; lane < kLanes; ++lane)
            if (busy & (1u << lane))
                DrainScalar(lane);
        return;
    }
    RunWide(busy);
}

void CMd5Lanes::RunWide(unsigned busy)
{
#ifdef QUILLON_MD5_LANES_X86
    for (;;) {
        // Every busy lane digests as many blocks as the shortest current segment holds.
        size_t blocks = SIZE_MAX;
        const uint8_t* data[kLanes];
        size_t advance[kLanes];
        for (size_t lane = 0; lane < kLanes; ++lane) {
            const Lane& l = m_lanes[lane];
            if (busy & (1u << lane)) {
                const Segment& segment = l.queue[l.next];
                blocks = segment.blocks < blocks ? segment.blocks : blocks;
                data[lane] = segment.data;
                advance[lane] = 64;
            } else {
                data[lane] = kIdleBlock;
                advance[lane] = 0;
            }
        }
        if (m_kernel == EKernel::Avx512)
            Blocks8Avx512(m_state, data, advance, blocks, busy);
        else
            Blocks8Avx2(m_state, data, advance, blocks, busy);
        bool drained = false;
        for (size_t lane = 0; lane < kLanes; ++lane) {
            if (!(busy & (1u << lane)))
                continue;
            Lane& l = m_lanes[lane];
            Segment& segment = l.queue[l.next];
            segment.data += blocks * 64;
            segment.blocks -= blocks;
            if (segment.blocks == 0) {
                ++l.next;
                if (--l.segments == 0) {
                    l.next = 0;
                    drained = true;
                }
            }
        }
        if (drained)
            return;
    }
#else
    (void)busy;
#endif
}
