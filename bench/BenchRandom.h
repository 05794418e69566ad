#pragma once
// A small seeded random source for the benchmark tree generator. Only integer and exactly rounded
// floating-point operations are used, so a seed gives the same numbers with every compiler and
// library on a little-endian machine (std::*_distribution makes no such promise).
#include <cstddef>
#include <cstdint>

class CBenchRandom {
public:
    // A stream fully determined by the seed (xoshiro256** seeded through splitmix64).
    explicit CBenchRandom(uint64_t seed);

    // The next 64 random bits.
    uint64_t Next();
    // A number in [0, bound); bound must be at least 1.
    uint64_t Below(uint64_t bound);
    // A number in [low, high], both included; low <= high.
    uint64_t Between(uint64_t low, uint64_t high);
    // A number in [0, 1) with 53 random bits.
    double Unit();
    // True with the given probability.
    bool Chance(double probability);
    // A number in [low, high] whose binary magnitude is uniform: each power-of-two band between
    // low and high is equally likely, and values are uniform inside a band. Many small, few big.
    uint64_t LogUniform(uint64_t low, uint64_t high);
    // Fills the bytes with the stream; successive calls continue it, so filling a buffer in
    // pieces of multiples of 8 bytes gives the same bytes as filling it at once.
    void Fill(unsigned char* out, size_t length);

    // A well-mixed seed derived from two values (for per-item streams).
    static uint64_t Mix(uint64_t a, uint64_t b);

private:
    uint64_t m_state[4];
};
