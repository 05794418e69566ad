#pragma once
// Eight MD5 computations (RFC 1321) side by side. On a processor with AVX2 the eight lanes are
// digested together, one 32-bit lane of a 256-bit register each, which on one core gives several
// times the throughput of one stream; with AVX-512VL the same eight lanes take fewer instructions
// (one-instruction rotations and round functions). Elsewhere every lane runs the one-stream code
// of CMd5. The environment variable QUILLON_MD5 narrows the choice: "avx2" keeps to AVX2,
// "scalar" to the one-stream code. Either way each lane's digest is exactly CMd5's of the same
// bytes. A plain value, used by one thread at a time.
//
// A lane is fed by queueing bytes (Update) and the end of its input (Finish); Run digests what is
// queued until some lane has nothing left, so that the caller can give that lane its next bytes
// while the others are still busy.
#include <cstddef>
#include <cstdint>

#include "engine/Md5.h"

class CMd5Lanes {
public:
    static constexpr size_t kLanes = 8;

    // Decides the code path from the processor and QUILLON_MD5 (read here, once per object).
    CMd5Lanes();

    // Whether this object digests the lanes together (false: lane by lane), and with AVX-512VL.
    bool Wide() const { return m_kernel != EKernel::Scalar; }
    bool UsesAvx512() const { return m_kernel == EKernel::Avx512; }

    // Starts a new computation in the lane, dropping whatever it held or had queued.
    void Start(size_t lane);
    // Queues `length` more bytes for the lane. The bytes are read by later Run calls and must stay
    // in place until the lane is no longer Busy. Bytes of an earlier Update that Run has not
    // digested yet are digested first, here. Does nothing after Finish until the next Start.
    void Update(size_t lane, const void* data, size_t length);
    // Queues the end of the lane's input (the padding); once the lane is no longer Busy, Digest
    // gives the result. Does nothing when the lane was Finished already.
    void Finish(size_t lane);
    // Whether the lane still has queued bytes that Run has not digested.
    bool Busy(size_t lane) const { return m_lanes[lane].segments != 0; }
    // The digest of a lane that was Finished and is no longer Busy.
    Md5Digest Digest(size_t lane) const;

    // Digests queued bytes until at least one lane that was Busy is no longer, or none is Busy.
    // Lanes with nothing queued take no part.
    void Run();

private:
    struct Segment {
        const uint8_t* data;
        size_t blocks;  // whole 64-byte blocks
    };
    struct Lane {
        uint64_t length = 0;  // bytes fed so far
        size_t used = 0;      // bytes in `partial`
        size_t segments = 0;  // queued segments, `queue[next]` onwards
        size_t next = 0;
        bool finished = false;
        Segment queue[3];       // at most: a completed block, the caller's bytes, the padding
        uint8_t partial[64];    // the incomplete block
        uint8_t completed[64];  // a block completed from `partial` and new bytes
        uint8_t padding[128];
    };
    void Push(size_t lane, const uint8_t* data, size_t blocks);
    void DrainScalar(size_t lane);
    void RunWide(unsigned busy);

    // The four state words of each lane, word by word, so that a register holds one word of every lane.
    alignas(32) uint32_t m_state[4][kLanes];
    Lane m_lanes[kLanes];
    enum class EKernel { Scalar, Avx2, Avx512 };
    EKernel m_kernel;
};
