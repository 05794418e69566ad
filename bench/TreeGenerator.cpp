#include "bench/TreeGenerator.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;
// Bytes a quick comparison looks at; the tail distractors differ only after them.
constexpr uint64_t kPrefixBytes = 1024;
// Shortest random content that cannot match another by chance (2^-128).
constexpr uint64_t kMinRandomSize = 16;
// Plausible names, some with blanks and letters outside ASCII.
const char* const kFileWords[] = {"IMG",  "scan",  "report",    "Notes",  "backup copy", "Résumé", "track",
                                  "data", "photo", "draft (2)", "export", "invoice",     "song",   "clip"};
const char* const kFileExtensions[] = {".jpg", ".dat", ".pdf", ".txt", ".bin", ".mp3", ".png", ".docx", ""};
const char* const kFolderWords[] = {"Documents", "photos", "2019", "Projects", "misc stuff", "Älbum", "archive",
                                    "src",       "Music",  "old",  "backup",   "Downloads",  "work"};
const char* const kSeparators[] = {"_", " ", "-"};
// Times between 2020-01-01 and the end of 2022.
constexpr int64_t kFirstTime = 1577836800;
constexpr int64_t kTimeSpan = 3 * 365 * 86400;

template <typename T, size_t N>
const T& Pick(CBenchRandom& random, const T (&items)[N])
{
    return items[random.Below(N)];
}

}  // namespace

bool CTreeGenerator::ParsePreset(std::string_view name, EPreset& preset)
{
    for (EPreset p : {EPreset::Small, EPreset::Large, EPreset::Mixed, EPreset::Real}) {
        if (name == PresetName(p)) {
            preset = p;
            return true;
        }
    }
    return false;
}

const char* CTreeGenerator::PresetName(EPreset preset)
{
    switch (preset) {
    case EPreset::Small:
        return "small";
    case EPreset::Large:
        return "large";
    case EPreset::Mixed:
        return "mixed";
    case EPreset::Real:
        return "real";
    }
    return "";
}

CTreeGenerator::CTreeGenerator(const SOptions& options)
    : m_options(options), m_random(CBenchRandom::Mix(options.seed, static_cast<uint64_t>(options.preset)))
{
}

CTreePlan CTreeGenerator::Build()
{
    switch (m_options.preset) {
    case EPreset::Small:
        PlanSmall();
        break;
    case EPreset::Large:
        PlanLarge();
        break;
    case EPreset::Mixed:
        PlanMixed();
        break;
    case EPreset::Real:
        PlanReal();
        break;
    }
    return std::move(m_plan);
}

void CTreeGenerator::PlanSmall()
{
    MakeFolders(Scaled(10000, 1), 8);
    SRecipe recipe;
    recipe.files = Scaled(100000, 8);
    recipe.sizes = {{1 * kKiB, 64 * kKiB, 1.0, false}};
    FillFiles(recipe);
}

void CTreeGenerator::PlanLarge()
{
    MakeFolders(Scaled(24, 1), 3);
    const uint64_t totalMiB = m_options.largeTotalMiB != 0 ? m_options.largeTotalMiB : 3072;
    SRecipe recipe;
    recipe.bytes = std::max<uint64_t>(Scaled(static_cast<double>(totalMiB), 1) * kMiB, 5 * kMiB);
    recipe.duplicateShare = 0.2;
    recipe.groupMax = 3;
    recipe.sameSize = 0.03;
    recipe.tailSiblings = 0.03;
    recipe.sameFolder = 0.1;
    recipe.sizes = {{5 * kMiB, 64 * kMiB, 1.0, true}};
    FillFiles(recipe);
}

void CTreeGenerator::PlanMixed()
{
    MakeFolders(Scaled(4000, 1), 10);
    // Sizes at the edges that matter to a finder: one byte, around the first KiB and around 64 KiB.
    for (uint64_t size : {uint64_t{1}, uint64_t{1023}, uint64_t{1024}, uint64_t{1025}, 64 * kKiB, 64 * kKiB + 1})
        AddGroup(size, static_cast<uint32_t>(m_random.Between(2, 3)), false);
    // One small file copied into many folders, and one large file kept three times.
    AddGroup(m_random.Between(600, 3000), 10, false);
    AddGroup(m_random.Between(12 * kMiB, 20 * kMiB), 3, true);
    // A few empty files, two of them side by side; a search skips them.
    const uint32_t emptyContent = AddContent(0, 0, CTreePlan::kNoFlip);
    const uint32_t emptyFolder = RandomFolder();
    for (int i = 0; i < 7; ++i)
        AddFile(emptyContent, i < 2 ? emptyFolder : RandomFolder());

    SRecipe recipe;
    recipe.files = Scaled(30000, 16);
    recipe.duplicateShare = 0.2;
    recipe.groupMax = 6;
    recipe.sameSize = 0.04;
    recipe.tailSiblings = 0.02;
    recipe.sameFolder = 0.3;
    // Random contents shorter than 16 bytes could match by chance; the only ones are the group above.
    recipe.sizes = {
        {kMinRandomSize, 64 * kKiB, 0.9652, false}, {64 * kKiB + 1, 2 * kMiB, 0.034, false}, {5 * kMiB, 64 * kMiB, 0.0008, true}};
    FillFiles(recipe);
}

void CTreeGenerator::PlanReal()
{
    MakeFolders(Scaled(3000, 2), 7);
    SRecipe recipe;
    recipe.files = Scaled(40000, 8);
    recipe.duplicateShare = 0.15;
    recipe.sizes = {{kMinRandomSize, 64 * kKiB, 0.97, false}, {64 * kKiB + 1, 4 * kMiB, 0.03, false}};
    FillFiles(recipe);
    // Large files of sizes no other file has, each in a folder that a link beside it leads to.
    std::vector<uint64_t> sizes;
    for (const CTreePlan::SContent& content : m_plan.contents)
        sizes.push_back(content.size);
    std::sort(sizes.begin(), sizes.end());
    for (uint64_t i = 0, count = Scaled(24, 2); i < count; ++i) {
        uint64_t size = m_random.Between(Scaled(8.0 * kMiB, 256 * kKiB), Scaled(40.0 * kMiB, 1 * kMiB));
        while (std::binary_search(sizes.begin(), sizes.end(), size))
            ++size;
        sizes.insert(std::upper_bound(sizes.begin(), sizes.end(), size), size);
        const uint32_t folder = 1 + static_cast<uint32_t>(m_random.Below(m_plan.folders.size() - 1));
        AddFile(AddContent(size, 0, CTreePlan::kNoFlip), folder);
        AddFolderLink(folder);
    }
    // More links to folders anywhere but the root.
    for (uint64_t i = 0, count = Scaled(150, 2); i < count; ++i)
        AddFolderLink(1 + static_cast<uint32_t>(m_random.Below(m_plan.folders.size() - 1)));
    // Second names of files no other file duplicates, in other folders.
    const uint64_t files = m_plan.files.size();
    for (uint64_t i = 0, count = Scaled(800, 2); i < count; ++i) {
        const auto file = static_cast<uint32_t>(m_random.Below(files));
        const CTreePlan::SContent& content = m_plan.contents[m_plan.files[file].content];
        if (content.files.size() != 1 || content.size == 0)
            continue;
        m_plan.hardLinks.push_back(
            CTreePlan::SHardLink{file, RandomFolder(), "also-" + std::to_string(i) + "-" + m_plan.files[file].name});
    }
}

// A link to `target` in one of its sibling folders (or its parent's, when it has none), named so that
// it is listed before or after the folder it leads to.
void CTreeGenerator::AddFolderLink(uint32_t target)
{
    const uint32_t parent = m_plan.folders[target].parent;
    std::vector<uint32_t> siblings;
    for (uint32_t f = 1; f < m_plan.folders.size(); ++f)
        if (f != target && m_plan.folders[f].parent == parent)
            siblings.push_back(f);
    const uint32_t home = siblings.empty() ? parent : siblings[m_random.Below(siblings.size())];
    const std::string name = (m_random.Chance(0.5) ? "a-link-" : "z-link-") + std::to_string(m_plan.folderLinks.size());
    m_plan.folderLinks.push_back(CTreePlan::SFolderLink{home, target, name});
}

void CTreeGenerator::MakeFolders(uint64_t count, uint32_t maxDepth)
{
    m_plan.folders.assign(1, CTreePlan::SFolder{});
    std::vector<uint32_t> open{0};  // folders that may still get children
    for (uint64_t i = 1; i <= count; ++i) {
        const uint32_t parent = open[m_random.Below(open.size())];
        CTreePlan::SFolder folder;
        folder.parent = parent;
        folder.depth = m_plan.folders[parent].depth + 1;
        folder.name = std::string(Pick(m_random, kFolderWords)) + Pick(m_random, kSeparators) + std::to_string(i);
        if (folder.depth < maxDepth)
            open.push_back(static_cast<uint32_t>(i));
        m_plan.folders.push_back(std::move(folder));
    }
}

void CTreeGenerator::FillFiles(const SRecipe& recipe)
{
    auto done = [&] {
        return (recipe.files != 0 && m_plan.files.size() >= recipe.files) ||
            (recipe.bytes != 0 && m_plannedBytes >= recipe.bytes);
    };
    while (!done()) {
        // Keep the share of duplicate rows on target as the tree grows; a tree starts with a group,
        // so that even a tiny tree has one.
        if (static_cast<double>(m_plannedRows) <= recipe.duplicateShare * static_cast<double>(m_plan.files.size())) {
            const auto copies = static_cast<uint32_t>(m_random.Between(recipe.groupMin, recipe.groupMax));
            AddGroup(SampleSize(recipe), copies, m_random.Chance(recipe.sameFolder));
            continue;
        }
        const double roll = m_random.Unit();
        if (roll < recipe.sameSize && !m_plan.contents.empty())
            AddSameSize();
        else if (roll < recipe.sameSize + recipe.tailSiblings)
            AddTailSiblings(SampleSize(recipe), static_cast<uint32_t>(m_random.Between(2, 3)));
        else if (roll < recipe.sameSize + recipe.tailSiblings + recipe.prefixGroups)
            AddGroupsAfterAStranger(SampleSize(recipe),
                                    static_cast<uint32_t>(m_random.Between(recipe.groupMin, recipe.groupMax)));
        else
            AddFile(AddContent(SampleSize(recipe), 0, CTreePlan::kNoFlip), RandomFolder());
    }
}

uint64_t CTreeGenerator::SampleSize(const SRecipe& recipe)
{
    double total = 0;
    for (const SSizeClass& c : recipe.sizes)
        total += c.weight;
    double roll = m_random.Unit() * total;
    const SSizeClass* chosen = &recipe.sizes.back();
    for (const SSizeClass& c : recipe.sizes) {
        if (roll < c.weight) {
            chosen = &c;
            break;
        }
        roll -= c.weight;
    }
    if (!chosen->skewed)
        return m_random.LogUniform(chosen->low, chosen->high);
    const double u = m_random.Unit();
    const double span = static_cast<double>(chosen->high - chosen->low);
    return chosen->low + static_cast<uint64_t>(span * (u * u * u * u));
}

uint32_t CTreeGenerator::AddContent(uint64_t size, uint64_t seed, uint64_t flipAt)
{
    const auto index = static_cast<uint32_t>(m_plan.contents.size());
    CTreePlan::SContent content;
    content.size = size;
    // A fresh content gets a stream of its own; siblings pass the seed they share.
    content.seed = seed != 0 ? seed : CBenchRandom::Mix(m_options.seed, index + 1);
    content.flipAt = flipAt;
    m_plan.contents.push_back(std::move(content));
    return index;
}

uint32_t CTreeGenerator::AddFile(uint32_t content, uint32_t folder)
{
    const auto index = static_cast<uint32_t>(m_plan.files.size());
    CTreePlan::SFile file;
    file.folder = folder;
    file.content = content;
    file.mtime = kFirstTime + static_cast<int64_t>(m_random.Below(kTimeSpan));
    file.name = std::string(Pick(m_random, kFileWords)) + Pick(m_random, kSeparators) + std::to_string(index) +
        Pick(m_random, kFileExtensions);
    m_plan.files.push_back(std::move(file));
    CTreePlan::SContent& c = m_plan.contents[content];
    c.files.push_back(index);
    m_plannedBytes += c.size;
    if (c.size != 0 && c.files.size() >= 2)
        ++m_plannedRows;
    return index;
}

void CTreeGenerator::AddGroup(uint64_t size, uint32_t copies, bool sameFolder)
{
    const uint32_t content = AddContent(size, 0, CTreePlan::kNoFlip);
    std::vector<uint32_t> used;
    for (uint32_t i = 0; i < copies; ++i) {
        uint32_t folder = RandomFolder();
        if (sameFolder && i == 1) {
            folder = used.front();
        } else {
            // Spread the copies over different folders where the tree has enough of them.
            for (int tries = 0; tries < 8 && std::find(used.begin(), used.end(), folder) != used.end(); ++tries)
                folder = RandomFolder();
        }
        used.push_back(folder);
        AddFile(content, folder);
    }
}

void CTreeGenerator::AddSameSize()
{
    const CTreePlan::SContent& other = m_plan.contents[m_random.Below(m_plan.contents.size())];
    if (other.size < kMinRandomSize)
        return;  // too short for a new random content to differ surely

    AddFile(AddContent(other.size, 0, CTreePlan::kNoFlip), RandomFolder());
}

void CTreeGenerator::AddTailSiblings(uint64_t size, uint32_t count)
{
    if (size < kPrefixBytes + count)
        size += kPrefixBytes + count;  // every sibling needs a byte of its own past the first KiB
    const uint64_t seed = CBenchRandom::Mix(m_options.seed, ~static_cast<uint64_t>(m_plan.contents.size()));
    std::vector<uint64_t> flips{CTreePlan::kNoFlip};
    while (flips.size() < count) {
        // The first byte past the first KiB, the last byte, or any byte between.
        uint64_t flip = 0;
        switch (m_random.Below(3)) {
        case 0:
            flip = kPrefixBytes;
            break;
        case 1:
            flip = size - 1;
            break;
        default:
            flip = m_random.Between(kPrefixBytes, size - 1);
            break;
        }
        if (std::find(flips.begin(), flips.end(), flip) == flips.end())
            flips.push_back(flip);
    }
    for (uint64_t flip : flips)
        AddFile(AddContent(size, seed, flip), RandomFolder());
}

void CTreeGenerator::AddGroupsAfterAStranger(uint64_t size, uint32_t copies)
{
    if (size < kPrefixBytes + 2)
        size += kPrefixBytes + 2;  // the stranger and a second group each need a byte of their own
    const uint64_t seed = CBenchRandom::Mix(m_options.seed, ~static_cast<uint64_t>(m_plan.contents.size()));
    // The stranger: the group's first KiB and size, one byte of its tail changed; planned first.
    const uint64_t strangerFlip = m_random.Between(kPrefixBytes, size - 1);
    AddFile(AddContent(size, seed, strangerFlip), RandomFolder());
    const uint32_t group = AddContent(size, seed, CTreePlan::kNoFlip);
    for (uint32_t i = 0; i < copies; ++i)
        AddFile(group, RandomFolder());
    // Sometimes a second group of the same first KiB and size, with yet another tail.
    if (m_random.Chance(0.5)) {
        uint64_t flip = m_random.Between(kPrefixBytes, size - 1);
        if (flip == strangerFlip)
            flip = flip == size - 1 ? kPrefixBytes : flip + 1;
        const uint32_t second = AddContent(size, seed, flip);
        for (uint32_t i = 0; i < 2; ++i)
            AddFile(second, RandomFolder());
    }
}

uint32_t CTreeGenerator::RandomFolder()
{
    return static_cast<uint32_t>(m_random.Below(m_plan.folders.size()));
}

uint64_t CTreeGenerator::Scaled(double count, uint64_t minimum) const
{
    const auto scaled = static_cast<uint64_t>(std::llround(count * m_options.scale));
    return std::max(scaled, minimum);
}
