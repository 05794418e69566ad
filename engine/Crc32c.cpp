#include "engine/Crc32c.h"

#include <nmmintrin.h>

#include <array>
#include <cstring>

namespace {

constexpr uint32_t kPolynomial = 0x82f63b78;  // reflected

constexpr std::array<uint32_t, 256> MakeTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1) ? kPolynomial : 0);
        table[i] = crc;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kTable = MakeTable();

uint32_t ByTable(const uint8_t* data, size_t length, uint32_t crc)
{
    for (size_t i = 0; i < length; ++i)
        crc = kTable[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return crc;
}

[[gnu::target("sse4.2")]] uint32_t ByInstruction(const uint8_t* data, size_t length, uint32_t crc)
{
    uint64_t wide = crc;
    for (; length >= 8; data += 8, length -= 8) {
        uint64_t word;
        std::memcpy(&word, data, 8);
        wide = _mm_crc32_u64(wide, word);
    }
    crc = static_cast<uint32_t>(wide);
    for (; length > 0; ++data, --length)
        crc = _mm_crc32_u8(crc, *data);
    return crc;
}

}  // namespace

uint32_t Crc32c(const void* data, size_t length, uint32_t crc)
{
    static const bool instruction = __builtin_cpu_supports("sse4.2");
    const auto* bytes = static_cast<const uint8_t*>(data);
    crc = ~crc;
    crc = instruction ? ByInstruction(bytes, length, crc) : ByTable(bytes, length, crc);
    return ~crc;
}
