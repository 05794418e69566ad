#include "engine/DigestStore.h"

#include "engine/Catalogue.h"
#include "engine/SqliteDigestStore.h"

IDigestStore* g_digestStore = &CSqliteDigestStore::PerUser();

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
