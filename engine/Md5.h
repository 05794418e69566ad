#pragma once
// MD5 message digest (RFC 1321), fed incrementally. A plain value: one instance per computation,
// used by one thread at a time.
#include <array>
#include <cstddef>
#include <cstdint>

using Md5Digest = std::array<uint8_t, 16>;

class CMd5 {
public:
    CMd5() { Reset(); }

    // Starts a new computation.
    void Reset();
    // Feeds `length` more bytes; any split of the input into Update calls gives the same digest.
    void Update(const void* data, size_t length);
    // Finishes the computation and returns the 16 digest bytes in RFC 1321 output order. The
    // object must be Reset before it is fed again.
    Md5Digest Final();

    // The digest of one buffer.
    static Md5Digest Of(const void* data, size_t length);

    // Digests `blocks` whole 64-byte blocks into an MD5 state (the words A, B, C, D of RFC 1321):
    // the compression step alone, for code that keeps its own states (CMd5Lanes).
    static void Blocks(uint32_t state[4], const uint8_t* data, size_t blocks);

private:
    uint32_t m_state[4];
    uint64_t m_length;     // bytes fed so far
    uint8_t m_buffer[64];  // the incomplete block
};
