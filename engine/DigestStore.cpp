#include "engine/DigestStore.h"

#include "engine/Catalogue.h"
#include "engine/SqliteDigestStore.h"

IDigestStore* g_digestStore = &CSqliteDigestStore::PerUser();

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
