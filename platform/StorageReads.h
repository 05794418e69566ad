#pragma once
// What the system tells of the reads this process made from storage (the disk itself, not the page
// cache).
#include <cstdint>
#include <optional>

// The bytes the system has fetched from storage for this process so far, all its threads together
// (`read_bytes` of /proc/self/io); nothing when the system does not tell. Any thread.
std::optional<uint64_t> StorageBytesRead();
