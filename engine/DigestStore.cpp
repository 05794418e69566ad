#include "engine/DigestStore.h"

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/SqliteDigestStore.h"

IDigestStore* g_digestStore = &CSqliteDigestStore::PerUser();

namespace {

// The paths whose cache entries this run computed, per kind, in the order they were computed.
std::vector<CPathString> s_learned[2];

DigestCache& CacheOf(EDigestKind kind)
{
    return kind == EDigestKind::Quick ? g_quickDigestCache : g_fullDigestCache;
}

}  // namespace

bool StoreWorthLoadingInBulk(EDigestKind kind, size_t records)
{
    return g_digestStore && CacheOf(kind).size() < records / 2;
}

void LoadStoredDigests(EDigestKind kind, const std::vector<const CFileRecord*>& records)
{
    if (!g_digestStore || records.empty())
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

void NoteDigestLearned(EDigestKind kind, const CPathString& path)
{
    if (g_digestStore)
        s_learned[static_cast<int>(kind)].push_back(path);
}

void SaveLearnedDigests()
{
    std::vector<const CFileRecord*> entries[2];
    for (const EDigestKind kind : {EDigestKind::Quick, EDigestKind::Full}) {
        std::vector<CPathString>& learned = s_learned[static_cast<int>(kind)];
        const DigestCache& cache = CacheOf(kind);
        for (const CPathString& path : learned) {
            const auto found = cache.find(path);
            if (found != cache.end())
                entries[static_cast<int>(kind)].push_back(&found->second);
        }
    }
    if (g_digestStore)
        g_digestStore->Save(entries[0], entries[1]);
    s_learned[0].clear();
    s_learned[1].clear();
}
