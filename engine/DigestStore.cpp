#include "engine/DigestStore.h"

#include <algorithm>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/SqliteDigestStore.h"

IDigestStore* g_digestStore = &CSqliteDigestStore::PerUser();

namespace {

DigestCache& CacheOf(EDigestKind kind)
{
    return kind == EDigestKind::Quick ? g_quickDigestCache : g_fullDigestCache;
}

}  // namespace

bool StoreWorthLoadingInBulk(EDigestKind kind, size_t records)
{
    return g_digestStore && CacheOf(kind).size() < records / 2 && !g_digestStore->HoldsNothing();
}

void LoadStoredDigests(EDigestKind kind, const std::vector<const CFileRecord*>& records)
{
    if (!g_digestStore || records.empty() || g_digestStore->HoldsNothing())
        return;
    DigestCache& cache = CacheOf(kind);
    std::vector<const CFileRecord*> wanted;
    if (cache.empty()) {
        wanted = records;
    } else {
        for (const CFileRecord* record : records) {
            const auto found = cache.find(record->path);
            if (found == cache.end() || !CachedDigestFits(found->second, *record))
                wanted.push_back(record);
        }
    }
    if (wanted.empty())
        return;
    std::vector<IDigestStore::Wanted> files(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i)
        files[i] = IDigestStore::Wanted{wanted[i]->path.view(), wanted[i]->folder};
    std::vector<IDigestStore::Found> stored;
    stored.reserve(wanted.size());
    g_digestStore->Load(KindsOf(kind), files, stored);
    for (IDigestStore::Found& found : stored) {
        const CFileRecord& record = *wanted[found.wanted];
        found.entry.path = record.path;
        const auto entry = cache.insert_or_assign(record.path, std::move(found.entry)).first;
        // The listing order answers for the record from now on, without a hashed lookup.
        cache.NoteListed(record, entry->second);
    }
}

void NoteDigestLearned(EDigestKind kind, const CFileRecord& record, const CFileRecord& entry)
{
    if (g_digestStore)
        CacheOf(kind).NoteLearned(record, entry);
}

void SaveLearnedDigests()
{
    using Learned = CDigestCache::Learned;
    CDigestCache::Taken quick = g_quickDigestCache.TakeLearned();
    CDigestCache::Taken full = g_fullDigestCache.TakeLearned();
    if (!g_digestStore)
        return;
    // The two entries learned at one place of the listing are of one file; the others come alone.
    const std::vector<Learned>& quickLearned = quick.learned;
    const std::vector<Learned>& fullLearned = full.learned;
    std::vector<IDigestStore::Learned> files;
    files.reserve(std::max(quickLearned.size(), fullLearned.size()));
    size_t q = 0;
    size_t f = 0;
    while (q < quickLearned.size() || f < fullLearned.size()) {
        const Learned* const quickOne = q < quickLearned.size() ? &quickLearned[q] : nullptr;
        const Learned* const fullOne = f < fullLearned.size() ? &fullLearned[f] : nullptr;
        const uint32_t quickPlace = quickOne ? quickOne->place : Learned::kElsewhere;
        const uint32_t fullPlace = fullOne ? fullOne->place : Learned::kElsewhere;
        if (quickOne && fullOne && quickPlace == fullPlace && quickPlace != Learned::kElsewhere) {
            files.push_back({quickOne->path, quickOne->folder, {quickOne->entry, fullOne->entry}});
            ++q;
            ++f;
        } else if (quickOne && (!fullOne || quickPlace <= fullPlace)) {
            files.push_back({quickOne->path, quickOne->folder, {quickOne->entry, nullptr}});
            ++q;
        } else {
            files.push_back({fullOne->path, fullOne->folder, {nullptr, fullOne->entry}});
            ++f;
        }
    }
    quick.learned = std::vector<Learned>();  // memory the save can use; the entries stay
    full.learned = std::vector<Learned>();
    g_digestStore->Save(files);
}
