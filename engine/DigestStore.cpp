#include "engine/DigestStore.h"

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

void ForeseeLearnedDigests()
{
    // A save of fewer files takes little time. Files learned outside the listing are not foreseen:
    // their paths are those of the cache's entries, which may go before the save.
    constexpr size_t kWorthForeseeing = 256;
    if (!g_digestStore)
        return;
    const std::vector<CDigestCache::Learned> quick = g_quickDigestCache.LearnedSoFar();
    if (quick.size() < kWorthForeseeing || quick.back().place == CDigestCache::Learned::kElsewhere)
        return;
    std::vector<IDigestStore::Learned> files;
    files.reserve(quick.size());
    for (const CDigestCache::Learned& learned : quick)
        files.push_back({learned.path, learned.folder, {learned.entry, nullptr}});
    g_digestStore->Foresee(std::move(files));
}

void SaveLearnedDigests()
{
    using Learned = CDigestCache::Learned;
    std::vector<Learned> quick = g_quickDigestCache.TakeLearned();
    std::vector<Learned> full = g_fullDigestCache.TakeLearned();
    if (!g_digestStore)
        return;
    // The two entries learned at one place of the listing are of one file; the others come alone.
    std::vector<IDigestStore::Learned> files;
    files.reserve(quick.size() + full.size());
    size_t q = 0;
    size_t f = 0;
    while (q < quick.size() || f < full.size()) {
        const uint32_t quickPlace = q < quick.size() ? quick[q].place : Learned::kElsewhere;
        const uint32_t fullPlace = f < full.size() ? full[f].place : Learned::kElsewhere;
        if (q < quick.size() && f < full.size() && quickPlace == fullPlace && quickPlace != Learned::kElsewhere) {
            files.push_back({quick[q].path, quick[q].folder, {quick[q].entry, full[f].entry}});
            ++q;
            ++f;
        } else if (q < quick.size() && (f == full.size() || quickPlace <= fullPlace)) {
            files.push_back({quick[q].path, quick[q].folder, {quick[q].entry, nullptr}});
            ++q;
        } else {
            files.push_back({full[f].path, full[f].folder, {nullptr, full[f].entry}});
            ++f;
        }
    }
    quick = std::vector<Learned>();  // memory the save can use
    full = std::vector<Learned>();
    g_digestStore->Save(files);
}
