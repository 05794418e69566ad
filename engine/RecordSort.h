#pragma once
// The orders of the grouping phase: records by size and by quick digest, both stable. Records are
// sorted as small pairs of a key and an iterator to the record, which move less than records would.
// Pure code on the worker's data; any thread.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "engine/FileRecord.h"

using RecordIterator = FileList::iterator;

// Records of a list beside the keys they are ordered by.
template <typename Key>
using KeyedRecords = std::vector<std::pair<Key, RecordIterator>>;

// The quick digest as a pair of numbers whose order is the byte-wise order of the digests (memcmp's).
using DigestKey = std::pair<uint64_t, uint64_t>;
inline DigestKey DigestKeyOf(const CFileRecord& record)
{
    uint64_t halves[2];
    std::memcpy(halves, record.digest.data(), sizeof halves);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    halves[0] = __builtin_bswap64(halves[0]);
    halves[1] = __builtin_bswap64(halves[1]);
#endif
    return {halves[0], halves[1]};
}

// Sorts records by a 64-bit number drawn from their key, stably: a least-significant-digit radix
// sort in 16-bit digits, over the digits where the numbers differ (sizes below 4 GiB take two
// passes). Two passes over the records per digit instead of a merge sort's log n.
template <typename Key, typename Bits>
void StableRadixSort(KeyedRecords<Key>& records, Bits bits)
{
    constexpr unsigned kDigitBits = 16;
    constexpr size_t kDigits = size_t{1} << kDigitBits;
    uint64_t differing = 0;
    if (!records.empty())
        for (const auto& keyed : records)
            differing |= bits(keyed.first) ^ bits(records.front().first);
    KeyedRecords<Key> sorted(records.size());
    std::vector<size_t> starts(kDigits);
    for (unsigned shift = 0; shift < 64; shift += kDigitBits) {
        if (((differing >> shift) & (kDigits - 1)) == 0)
            continue;  // every record has the same digit here
        std::fill(starts.begin(), starts.end(), 0);
        for (const auto& keyed : records)
            ++starts[(bits(keyed.first) >> shift) & (kDigits - 1)];
        size_t sum = 0;
        for (size_t& start : starts)
            sum += std::exchange(start, sum);
        for (auto& keyed : records)
            sorted[starts[(bits(keyed.first) >> shift) & (kDigits - 1)]++] = std::move(keyed);
        records.swap(sorted);
    }
}

// By size.
inline void StableSortByKey(KeyedRecords<uint64_t>& records)
{
    StableRadixSort(records, [](uint64_t size) { return size; });
}

// By the first half of the digest, then, where first halves are equal (very rarely), by the whole.
inline void StableSortByKey(KeyedRecords<DigestKey>& records)
{
    StableRadixSort(records, [](const DigestKey& key) { return key.first; });
    for (auto first = records.begin(); first != records.end();) {
        auto next = std::next(first);
        while (next != records.end() && next->first.first == first->first.first)
            ++next;
        if (std::distance(first, next) > 1)
            std::stable_sort(first, next, [](const auto& a, const auto& b) { return a.first < b.first; });
        first = next;
    }
}

// Puts records[order[i]] at place i for every i, moving each record once along the cycles of the
// permutation `order`, without a second array of records.
void GatherInPlace(FileList& records, const std::vector<size_t>& order);
