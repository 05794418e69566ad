#pragma once
// CRC-32C (Castagnoli, as in iSCSI and ext4): the checksum of every row of the digest store.
// Uses the processor's crc32 instruction where there is one. Pure code, any thread.
#include <cstddef>
#include <cstdint>

// The CRC-32C of `length` bytes, continuing from `crc` (0 to start).
uint32_t Crc32c(const void* data, size_t length, uint32_t crc = 0);
