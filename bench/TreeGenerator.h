#pragma once
// Plans the benchmark trees: seeded and deterministic, so a seed, a preset and a scale always give
// the same folders, names, sizes, contents and times. Three presets:
//  - small: about 100,000 files of 1-64 KiB in about 10,000 folders up to 8 deep, a quarter of
//    the files duplicates (groups of 2-4 copies in different folders);
//  - large: a few hundred files of 5-64 MiB, about 3 GiB in all, some duplicated;
//  - mixed: tiny to large files in a few thousand folders, duplicates of every kind, empty files;
//  - real: the shape of a system's own folders: small files in a few thousand folders, large files
//    of sizes no other file has, symbolic links to sibling folders (met before or after the folder
//    itself, those folders holding the large files among them) and second names (hard links) of
//    files no other file duplicates.
// Every preset also holds distractors: files of an equal size with other content, sets of files
// of one size whose first KiB is equal and whose tails differ in one byte, and duplicate groups
// whose first KiB a file of their size with another tail shares, planned before them (sometimes
// with a second group of the same first KiB and size). A finder that compares whole contents
// gives the manifest's answer; one that compares a file only with the first of those sharing its
// first KiB misses groups.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchRandom.h"
#include "bench/TreePlan.h"

class CTreeGenerator {
public:
    enum class EPreset { Small, Large, Mixed, Real };

    struct SOptions {
        EPreset preset = EPreset::Small;
        uint64_t seed = 1;
        double scale = 1.0;          // fraction of the preset's counts (and of its total size)
        uint64_t largeTotalMiB = 0;  // total size of the large preset before scaling; 0: 3072
    };

    // Maps "small", "large", "mixed", "real" to the preset; false for any other name.
    static bool ParsePreset(std::string_view name, EPreset& preset);
    static const char* PresetName(EPreset preset);

    explicit CTreeGenerator(const SOptions& options);

    // Builds the plan of the tree. Call once per generator object.
    CTreePlan Build();

private:
    struct SSizeClass {
        uint64_t low = 0;
        uint64_t high = 0;
        double weight = 1.0;
        bool skewed = false;  // false: uniform magnitude; true: most sizes near low (x^4)
    };

    struct SRecipe {
        uint64_t files = 0;            // stop once this many files are planned (0: no limit)
        uint64_t bytes = 0;            // stop once this many bytes are planned (0: no limit)
        double duplicateShare = 0.25;  // wanted duplicate rows per planned file
        uint32_t groupMin = 2;
        uint32_t groupMax = 4;
        double sameSize = 0.04;      // per step: a new content of a size already planned
        double tailSiblings = 0.02;  // per step: a set of files with equal first KiB
        double prefixGroups = 0.01;  // per step: a stranger, then a group sharing its first KiB and size
        double sameFolder = 0.0;     // per group: keep two of the copies in one folder
        std::vector<SSizeClass> sizes;
    };

    void PlanSmall();
    void PlanLarge();
    void PlanMixed();
    void PlanReal();
    void AddFolderLink(uint32_t target);

    void MakeFolders(uint64_t count, uint32_t maxDepth);
    void FillFiles(const SRecipe& recipe);
    uint64_t SampleSize(const SRecipe& recipe);

    uint32_t AddContent(uint64_t size, uint64_t seed, uint64_t flipAt);
    uint32_t AddFile(uint32_t content, uint32_t folder);
    void AddGroup(uint64_t size, uint32_t copies, bool sameFolder);
    void AddSameSize();
    void AddTailSiblings(uint64_t size, uint32_t count);
    void AddGroupsAfterAStranger(uint64_t size, uint32_t copies);
    uint32_t RandomFolder();
    uint64_t Scaled(double count, uint64_t minimum) const;

    SOptions m_options;
    CBenchRandom m_random;
    CTreePlan m_plan;
    uint64_t m_plannedBytes = 0;
    uint64_t m_plannedRows = 0;
};
