#pragma once
// SHA-256 (FIPS 180-4) from the system's libcrypto, fed incrementally: the strong digest that a
// whole-file MD5 is taken with, so that two files with equal MD5 but other bytes (MD5 collisions
// can be made at will) never count as equal. libcrypto uses the processor's SHA instructions where
// there are some. One instance per computation at a time, used by one thread at a time.
#include <array>
#include <cstddef>
#include <cstdint>

using StrongDigest = std::array<uint8_t, 32>;

class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // Starts a new computation.
    void Reset();
    // Feeds `length` more bytes; any split of the input gives the same digest.
    void Update(const void* data, size_t length);
    // Finishes the computation; Reset before feeding again.
    StrongDigest Final();

    // The digest of one buffer.
    static StrongDigest Of(const void* data, size_t length);

private:
    struct Context;
    Context* m_context;
};
