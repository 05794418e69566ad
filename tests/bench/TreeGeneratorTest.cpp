// The benchmark tree generator: the manifest must tell the truth about the tree on disk, since the
// comparison script judges every duplicate finder against it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "bench/TreeGenerator.h"
#include "bench/TreeWriter.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using quillon::test::TempDir;

namespace {

struct SFileSeen {
    std::string path;
    uint64_t size = 0;
    int64_t mtime = 0;
    size_t content = 0;  // hash of all bytes
    size_t prefix = 0;   // hash of the first KiB
};

// Every file below the root (once, under one of its names; links to folders not followed), sorted by
// path, with hashes of its bytes.
std::vector<SFileSeen> ReadTree(const std::string& root)
{
    std::vector<SFileSeen> seen;
    std::set<std::pair<dev_t, ino_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat status {};
        if (!entry.is_regular_file() || entry.is_symlink() || ::stat(entry.path().c_str(), &status) != 0 ||
            !files.insert({status.st_dev, status.st_ino}).second)
            continue;
        const std::string bytes = quillon::test::ReadFile(entry.path().string());
        SFileSeen f;
        f.path = fs::relative(entry.path(), root).string();
        f.size = bytes.size();
        f.mtime = std::chrono::duration_cast<std::chrono::seconds>(fs::last_write_time(entry.path()).time_since_epoch()).count();
        f.content = std::hash<std::string>{}(bytes);
        f.prefix = std::hash<std::string>{}(bytes.substr(0, 1024));
        seen.push_back(f);
    }
    std::sort(seen.begin(), seen.end(), [](const SFileSeen& a, const SFileSeen& b) { return a.path < b.path; });
    return seen;
}

using ContentKey = std::pair<uint64_t, size_t>;  // size, hash

// The figures a finder should report, counted from the files themselves.
struct SCounted {
    CTreePlan::SSummary summary;
    std::map<ContentKey, int> copies;
    uint64_t tailDistractorSets = 0;    // prefixes shared by several contents of one size
    uint64_t sameSizeOtherContent = 0;  // sizes held by several contents
    bool duplicateSharesPrefix = false;
};

SCounted Count(const std::vector<SFileSeen>& files)
{
    SCounted c;
    std::map<uint64_t, uint64_t> filesOfSize;
    for (const SFileSeen& f : files) {
        ++c.summary.files;
        c.summary.bytes += f.size;
        if (f.size == 0) {
            ++c.summary.emptyFiles;
            continue;
        }
        ++c.copies[{f.size, f.content}];
        ++filesOfSize[f.size];
    }
    std::map<size_t, std::set<ContentKey>> contentsOfPrefix;
    std::map<uint64_t, int> contentsOfSize;
    for (const SFileSeen& f : files) {
        if (f.size != 0)
            contentsOfPrefix[f.prefix].insert({f.size, f.content});
    }
    for (const auto& [key, n] : c.copies) {
        ++contentsOfSize[key.first];
        if (n >= 2) {
            ++c.summary.duplicateGroups;
            c.summary.duplicateRows += n - 1;
            c.summary.duplicateBytes += (n - 1) * key.first;
        }
    }
    for (const auto& [size, n] : filesOfSize) {
        if (n >= 2) {
            c.summary.sharedSizeFiles += n;
            c.summary.sharedSizeBytes += n * size;
        }
    }
    for (const auto& [size, n] : contentsOfSize)
        c.sameSizeOtherContent += n >= 2;
    for (const auto& [prefix, contents] : contentsOfPrefix) {
        c.tailDistractorSets += contents.size() >= 2;
        for (const ContentKey& key : contents)
            c.duplicateSharesPrefix |= contents.size() >= 2 && c.copies[key] >= 2;
    }
    return c;
}

std::string Manifest(const CTreePlan::SSummary& s)
{
    return CTreeWriter::FormatSummary(s);
}

CTreePlan Plan(CTreeGenerator::EPreset preset, uint64_t seed, double scale, uint64_t totalMiB = 0)
{
    CTreeGenerator::SOptions options;
    options.preset = preset;
    options.seed = seed;
    options.scale = scale;
    options.largeTotalMiB = totalMiB;
    return CTreeGenerator(options).Build();
}

std::string WriteAndCheck(const CTreePlan& plan, const TempDir& dir)
{
    std::string error;
    EXPECT_TRUE(CTreeWriter::WriteTree(plan, dir / "tree", error)) << error;
    EXPECT_TRUE(CTreeWriter::WriteManifest(plan.Summarise(), "preset=x\n", dir / "manifest.txt", error)) << error;
    return dir / "tree";
}

}  // namespace

TEST(TreeGenerator, ManifestAgreesWithTheFilesWrittenForEveryPreset)
{
    const std::tuple<CTreeGenerator::EPreset, double, uint64_t> cases[] = {
        {CTreeGenerator::EPreset::Small, 0.01, 0},
        {CTreeGenerator::EPreset::Mixed, 0.03, 0},
        {CTreeGenerator::EPreset::Large, 1.0, 40},
        {CTreeGenerator::EPreset::Real, 0.02, 0},
    };
    for (const auto& [preset, scale, totalMiB] : cases) {
        SCOPED_TRACE(CTreeGenerator::PresetName(preset));
        const CTreePlan plan = Plan(preset, 42, scale, totalMiB);
        TempDir dir("gentree");
        const std::string root = WriteAndCheck(plan, dir);
        const SCounted counted = Count(ReadTree(root));
        const CTreePlan::SSummary planned = plan.Summarise();
        EXPECT_EQ(Manifest(counted.summary).substr(Manifest(counted.summary).find("files=")),
                  Manifest(planned).substr(Manifest(planned).find("files=")));
        EXPECT_EQ(quillon::test::ReadFile(dir / "manifest.txt"), "preset=x\n" + Manifest(planned));
        EXPECT_GT(planned.duplicateRows, 0u);
        if (preset == CTreeGenerator::EPreset::Real) {
            EXPECT_FALSE(plan.folderLinks.empty());
            EXPECT_FALSE(plan.hardLinks.empty());
            EXPECT_TRUE(
                fs::is_symlink(dir / ("tree/" + plan.FolderPath(plan.folderLinks[0].folder) + "/" + plan.folderLinks[0].name)));
        }
        if (preset != CTreeGenerator::EPreset::Large) {
            // Groups that share their first KiB with other contents of their size.
            EXPECT_TRUE(counted.duplicateSharesPrefix);
            EXPECT_GT(counted.tailDistractorSets, 0u);
            EXPECT_GT(counted.sameSizeOtherContent, counted.tailDistractorSets);
        }
    }
}

TEST(TreeGenerator, MixedTreeHoldsEmptyAndTinyDuplicatesWithoutCountingTheEmptyOnes)
{
    const CTreePlan plan = Plan(CTreeGenerator::EPreset::Mixed, 3, 0.01);
    TempDir dir("gentree");
    const SCounted counted = Count(ReadTree(WriteAndCheck(plan, dir)));
    EXPECT_EQ(counted.summary.emptyFiles, 7u);
    EXPECT_EQ(plan.Summarise().emptyFiles, 7u);
    for (uint64_t size : {1u, 1023u, 1024u, 1025u, 65536u, 65537u}) {
        int copiesOfSize = 0;
        for (const auto& [key, n] : counted.copies)
            copiesOfSize = key.first == size ? std::max(copiesOfSize, n) : copiesOfSize;
        EXPECT_GE(copiesOfSize, 2) << size;
    }
}

TEST(TreeGenerator, SameSeedWritesTheSameTreeAndAnotherSeedAnotherOne)
{
    TempDir first("gentree"), second("gentree"), other("gentree");
    const auto a = ReadTree(WriteAndCheck(Plan(CTreeGenerator::EPreset::Mixed, 7, 0.01), first));
    const auto b = ReadTree(WriteAndCheck(Plan(CTreeGenerator::EPreset::Mixed, 7, 0.01), second));
    const auto c = ReadTree(WriteAndCheck(Plan(CTreeGenerator::EPreset::Mixed, 8, 0.01), other));
    auto same = [](const std::vector<SFileSeen>& x, const std::vector<SFileSeen>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const SFileSeen& p, const SFileSeen& q) {
            return std::tie(p.path, p.size, p.mtime, p.content) == std::tie(q.path, q.size, q.mtime, q.content);
        });
    };
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(same(a, b));
    EXPECT_FALSE(same(a, c));
}

TEST(TreeGenerator, FullSizePresetsHaveTheAdvertisedShape)
{
    const CTreePlan small = Plan(CTreeGenerator::EPreset::Small, 1, 1.0);
    const CTreePlan::SSummary s = small.Summarise();
    EXPECT_EQ(s.files, 100000u);
    EXPECT_EQ(s.folders, 10000u);
    EXPECT_NEAR(static_cast<double>(s.duplicateRows) / static_cast<double>(s.files), 0.25, 0.01);
    uint32_t deepest = 0;
    for (const auto& folder : small.folders)
        deepest = std::max(deepest, folder.depth);
    EXPECT_EQ(deepest, 8u);
    for (const auto& content : small.contents) {
        ASSERT_GE(content.size, 1024u);
        ASSERT_LE(content.size, 65536u);
        std::set<uint32_t> folders;
        for (uint32_t file : content.files)
            folders.insert(small.files[file].folder);
        ASSERT_EQ(folders.size(), content.files.size()) << "copies share a folder";
    }

    const CTreePlan large = Plan(CTreeGenerator::EPreset::Large, 1, 1.0);
    const CTreePlan::SSummary l = large.Summarise();
    EXPECT_GE(l.bytes, 3072ull << 20);
    EXPECT_LT(l.bytes, 3300ull << 20);
    EXPECT_GE(l.files, 100u);
    EXPECT_GT(l.duplicateGroups, 10u);
    for (const auto& content : large.contents) {
        ASSERT_GE(content.size, 5u << 20);
        ASSERT_LE(content.size, 64u << 20);
    }
}

TEST(TreeGenerator, WritingOverAnExistingFolderFailsAndLeavesItAlone)
{
    TempDir dir("gentree");
    quillon::test::WriteFile(dir / "tree/keep.txt", "mine");
    std::string error;
    EXPECT_FALSE(CTreeWriter::WriteTree(Plan(CTreeGenerator::EPreset::Small, 1, 0.001), dir / "tree", error));
    EXPECT_NE(error.find("tree"), std::string::npos);
    EXPECT_EQ(quillon::test::ReadFile(dir / "tree/keep.txt"), "mine");
}

TEST(BenchRandom, LogUniformStaysInsideItsBoundsAndReachesBothEnds)
{
    CBenchRandom random(5);
    uint64_t lowest = UINT64_MAX, highest = 0, belowTwoKiB = 0;
    for (int i = 0; i < 20000; ++i) {
        const uint64_t x = random.LogUniform(1000, 66000);
        lowest = std::min(lowest, x);
        highest = std::max(highest, x);
        belowTwoKiB += x < 2048;
    }
    EXPECT_GE(lowest, 1000u);
    EXPECT_LT(lowest, 1100u);
    EXPECT_LE(highest, 66000u);
    EXPECT_GT(highest, 60000u);
    // About one band in six of a uniform magnitude, far more than a uniform size would give.
    EXPECT_GT(belowTwoKiB, 2500u);
    EXPECT_LT(belowTwoKiB, 4500u);
}
