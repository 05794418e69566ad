#pragma once
// SHA-256 (FIPS 180-4), fed incrementally: the strong digest that a whole-file MD5 is taken with,
// so that two files of equal MD5 but other bytes (MD5 collisions can be made at will) never count
// as equal. Uses the processor's SHA instructions where there are some. A plain value: one
// instance per computation, used by one thread at a time.
#include <array>
#include <cstddef>
#include <cstdint>

using StrongDigest = std::array<uint8_t, 32>;

class CSha256 {
public:
    // `portable`: never the processor's SHA instructions (to test the code used without them).
    explicit CSha256(bool portable = false);

    // Starts a new computation.
    void Reset();
    // Feeds `length` more bytes; any split of the input gives the same digest.
    void Update(const void* data, size_t length);
    // Finishes the computation; Reset before feeding again.
    StrongDigest Final();

    // The digest of one buffer.
    static StrongDigest Of(const void* data, size_t length);

    // Whether the processor's SHA instructions are used (for the benchmarks' notes).
    static bool UsesInstructions();

private:
    bool m_instructions;
    uint32_t m_state[8];
    uint64_t m_length;  // bytes fed so far
    uint8_t m_buffer[64];
};
