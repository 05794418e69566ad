#pragma once
// The two kinds of digest and everything that follows from a kind: the bytes it covers and the
// cache in memory that keeps it. The one place that maps a kind to either.
#include <cstdint>

class CDigestCache;

enum class EDigestKind : int { Quick = 0, Full = 1 };

// Bytes covered by the quick digest.
constexpr uint64_t kQuickDigestBytes = 1024;

// The bytes a digest of this kind covers at most; 0 for the whole file.
constexpr uint64_t LimitOf(EDigestKind kind)
{
    return kind == EDigestKind::Quick ? kQuickDigestBytes : 0;
}

// A set of digest kinds, a bit for each.
using DigestKinds = unsigned;
constexpr DigestKinds KindsOf(EDigestKind kind)
{
    return 1u << static_cast<int>(kind);
}
constexpr DigestKinds kBothKinds = KindsOf(EDigestKind::Quick) | KindsOf(EDigestKind::Full);
constexpr EDigestKind kKinds[] = {EDigestKind::Quick, EDigestKind::Full};

// The process's cache of this kind: g_quickDigestCache or g_fullDigestCache.
CDigestCache& CacheOf(EDigestKind kind);
