#include "bench/BenchRandom.h"

#include <cstring>

namespace {

uint64_t SplitMix(uint64_t& x)
{
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t RotateLeft(uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}

int BitWidth(uint64_t x)
{
    int width = 0;
    while (x != 0) {
        ++width;
        x >>= 1;
    }
    return width;
}

}  // namespace

CBenchRandom::CBenchRandom(uint64_t seed)
{
    for (uint64_t& word : m_state)
        word = SplitMix(seed);
}

uint64_t CBenchRandom::Next()
{
    const uint64_t result = RotateLeft(m_state[1] * 5, 7) * 9;
    const uint64_t t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = RotateLeft(m_state[3], 45);
    return result;
}

uint64_t CBenchRandom::Below(uint64_t bound)
{
    // Rejection keeps every value equally likely.
    const uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    uint64_t x = Next();
    while (x >= limit)
        x = Next();
    return x % bound;
}

uint64_t CBenchRandom::Between(uint64_t low, uint64_t high)
{
    if (high - low == UINT64_MAX)
        return Next();
    return low + Below(high - low + 1);
}

double CBenchRandom::Unit()
{
    return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

bool CBenchRandom::Chance(double probability)
{
    return Unit() < probability;
}

uint64_t CBenchRandom::LogUniform(uint64_t low, uint64_t high)
{
    // Band b holds [2^(b-1), 2^b - 1] (band 0 holds 0). A band that the range covers only in part
    // is weighted by the share it covers, so the magnitude stays uniform at both ends.
    struct SBand {
        uint64_t low, high, weight;
    };
    SBand bands[65];
    int count = 0;
    uint64_t total = 0;
    for (int b = BitWidth(low); b <= BitWidth(high); ++b) {
        const uint64_t fullLow = b == 0 ? 0 : uint64_t{1} << (b - 1);
        const uint64_t fullHigh = b == 0 ? 0 : (b == 64 ? UINT64_MAX : (uint64_t{1} << b) - 1);
        const uint64_t from = fullLow < low ? low : fullLow;
        const uint64_t to = fullHigh > high ? high : fullHigh;
        const double share = (static_cast<double>(to - from) + 1.0) / (static_cast<double>(fullHigh - fullLow) + 1.0);
        const uint64_t weight = 1 + static_cast<uint64_t>(share * 1048576.0);
        bands[count++] = {from, to, weight};
        total += weight;
    }
    uint64_t pick = Below(total);
    int chosen = 0;
    while (pick >= bands[chosen].weight) {
        pick -= bands[chosen].weight;
        ++chosen;
    }
    return Between(bands[chosen].low, bands[chosen].high);
}

void CBenchRandom::Fill(unsigned char* out, size_t length)
{
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const uint64_t word = Next();
        std::memcpy(out + i, &word, 8);
    }
    if (i < length) {
        const uint64_t word = Next();
        std::memcpy(out + i, &word, length - i);
    }
}

uint64_t CBenchRandom::Mix(uint64_t a, uint64_t b)
{
    // Both steps are one-to-one, so for a given a, different b give different seeds.
    uint64_t x = a;
    x = SplitMix(x) ^ b;
    return SplitMix(x);
}
