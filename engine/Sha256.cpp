#include "engine/Sha256.h"

#include <cpuid.h>
#include <immintrin.h>

#include <cstring>

namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01,
    0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc,
    0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08,
    0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t Rotate(uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

void PortableBlocks(uint32_t state[8], const uint8_t* data, size_t blocks)
{
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = (uint32_t{data[4 * i]} << 24) | (uint32_t{data[4 * i + 1]} << 16) | (uint32_t{data[4 * i + 2]} << 8) |
                uint32_t{data[4 * i + 3]};
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 =
                h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + kRoundConstants[i] + w[i];
            const uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

// The SHA extensions: two rounds per instruction, the message schedule in four registers of four
// words each, every group of four rounds feeding the schedule of the groups after it.
[[gnu::target("sha,sse4.1,ssse3")]] void InstructionBlocks(uint32_t state[8], const uint8_t* data, size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    dcba = _mm_shuffle_epi32(dcba, 0xb1);              // CDAB
    hgfe = _mm_shuffle_epi32(hgfe, 0x1b);              // EFGH
    __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);     // ABEF
    __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xf0);  // CDGH
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];
        for (int i = 0; i < 16; ++i) {
            if (i < 4)
                w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
            __m128i message = _mm_add_epi32(w[i & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * i])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            if (i >= 3 && i <= 14) {
                const __m128i next = _mm_add_epi32(w[(i + 1) & 3], _mm_alignr_epi8(w[i & 3], w[(i - 1) & 3], 4));
                w[(i + 1) & 3] = _mm_sha256msg2_epu32(next, w[i & 3]);
            }
            message = _mm_shuffle_epi32(message, 0x0e);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
            if (i >= 1 && i <= 12)
                w[(i - 1) & 3] = _mm_sha256msg1_epu32(w[(i - 1) & 3], w[i & 3]);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xf0));  // DCBA
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));     // HGFE
}

bool HasInstructions()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    return ssse3 && sse41 && (ebx & (1u << 29)) != 0;
}

bool Detected()
{
    static const bool instructions = HasInstructions();
    return instructions;
}

void Blocks(bool instructions, uint32_t state[8], const uint8_t* data, size_t blocks)
{
    if (instructions)
        InstructionBlocks(state, data, blocks);
    else
        PortableBlocks(state, data, blocks);
}

}  // namespace

bool CSha256::UsesInstructions()
{
    return Detected();
}

CSha256::CSha256(bool portable) : m_instructions(!portable && Detected())
{
    Reset();
}

void CSha256::Reset()
{
    static constexpr uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(m_state, kInitial, sizeof m_state);
    m_length = 0;
}

void CSha256::Update(const void* data, size_t length)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t held = m_length % 64;
    m_length += length;
    if (held != 0) {
        const size_t take = length < 64 - held ? length : 64 - held;
        std::memcpy(m_buffer + held, bytes, take);
        bytes += take;
        length -= take;
        held += take;
        if (held < 64)
            return;
        Blocks(m_instructions, m_state, m_buffer, 1);
    }
    Blocks(m_instructions, m_state, bytes, length / 64);
    std::memcpy(m_buffer, bytes + length / 64 * 64, length % 64);
}

StrongDigest CSha256::Final()
{
    const uint64_t bits = m_length * 8;
    size_t held = m_length % 64;
    m_buffer[held++] = 0x80;
    if (held > 56) {
        std::memset(m_buffer + held, 0, 64 - held);
        Blocks(m_instructions, m_state, m_buffer, 1);
        held = 0;
    }
    std::memset(m_buffer + held, 0, 56 - held);
    for (int i = 0; i < 8; ++i)
        m_buffer[56 + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Blocks(m_instructions, m_state, m_buffer, 1);
    StrongDigest digest;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * j));
    return digest;
}

StrongDigest CSha256::Of(const void* data, size_t length)
{
    CSha256 sha;
    sha.Update(data, length);
    return sha.Final();
}
