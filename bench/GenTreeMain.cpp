// quillon-gentree: writes a seeded benchmark tree and a manifest of the expected duplicates.
//   quillon-gentree --preset small|large|mixed|real --out DIR [--seed N] [--scale F] [--total-mib N]
// The tree goes to DIR/tree and the manifest to DIR/manifest.txt, written last, so a folder with a
// manifest holds a complete tree.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "bench/TreeGenerator.h"
#include "bench/TreeWriter.h"

namespace {

// Bump whenever a seed would plan a different tree, so cached trees are made again.
constexpr int kGeneratorVersion = 1;

const char kUsage[] = "Usage: quillon-gentree --preset small|large|mixed|real --out DIR [--seed N] [--scale F]\n"
                      "                       [--total-mib N] [--plan-only]\n"
                      "Writes a deterministic tree to DIR/tree and the expected duplicates to DIR/manifest.txt.\n"
                      "  --preset NAME   small: ~100,000 files of 1-64 KiB in ~10,000 deep folders;\n"
                      "                  large: a few hundred files of 5-64 MiB (~3 GiB);\n"
                      "                  mixed: tiny to large files, several thousand folders, empty files\n"
                      "                  real: small files, large files of unique sizes, links to sibling\n"
                      "                  folders and hard links, as a system's own folders hold them\n"
                      "  --seed N        seed of the tree (default 1); the same seed gives the same tree\n"
                      "  --scale F       fraction of the preset's counts and sizes (default 1)\n"
                      "  --total-mib N   total size of the large preset before scaling (default 3072)\n"
                      "  --plan-only     print the manifest without writing anything\n";

struct SArguments {
    CTreeGenerator::SOptions options;
    bool presetGiven = false;
    bool planOnly = false;
    std::string out;
};

bool ParseNumber(const char* text, uint64_t& value)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long n = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-')
        return false;
    value = n;
    return true;
}

// Returns 0 when the arguments are usable, else the exit status to end with.
int ParseArguments(int argc, char** argv, SArguments& args)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (arg == "--version") {
            std::printf("quillon-gentree %d\n", kGeneratorVersion);
            return -1;
        }
        if (arg == "--plan-only") {
            args.planOnly = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "quillon-gentree: %s needs a value or is unknown (see --help)\n", argv[i]);
            return 2;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--preset") {
            ok = CTreeGenerator::ParsePreset(value, args.options.preset);
            args.presetGiven = ok;
        } else if (arg == "--seed") {
            ok = ParseNumber(value, args.options.seed);
        } else if (arg == "--total-mib") {
            ok = ParseNumber(value, args.options.largeTotalMiB);
        } else if (arg == "--scale") {
            char* end = nullptr;
            args.options.scale = std::strtod(value, &end);
            ok = end != value && *end == '\0' && args.options.scale > 0 && args.options.scale <= 100;
        } else if (arg == "--out") {
            args.out = value;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "quillon-gentree: bad option %s %s (see --help)\n", argv[i - 1], value);
            return 2;
        }
    }
    if (!args.presetGiven || (args.out.empty() && !args.planOnly)) {
        std::fprintf(stderr, "quillon-gentree: --preset and --out are needed (see --help)\n");
        return 2;
    }
    return 0;
}

std::string Header(const SArguments& args)
{
    char scale[64];
    std::snprintf(scale, sizeof scale, "%g", args.options.scale);
    std::string header = "generator=" + std::to_string(kGeneratorVersion) + "\n";
    header += std::string("preset=") + CTreeGenerator::PresetName(args.options.preset) + "\n";
    header += "seed=" + std::to_string(args.options.seed) + "\n";
    header += std::string("scale=") + scale + "\n";
    if (args.options.preset == CTreeGenerator::EPreset::Large)
        header += "total_mib=" + std::to_string(args.options.largeTotalMiB != 0 ? args.options.largeTotalMiB : 3072) + "\n";
    return header;
}

bool MakeFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

int main(int argc, char** argv)
{
    SArguments args;
    const int status = ParseArguments(argc, argv, args);
    if (status != 0)
        return status < 0 ? 0 : status;

    const auto start = std::chrono::steady_clock::now();
    CTreeGenerator generator(args.options);
    const CTreePlan plan = generator.Build();
    const CTreePlan::SSummary summary = plan.Summarise();
    const std::string header = Header(args);
    if (args.planOnly) {
        std::fputs((header + CTreeWriter::FormatSummary(summary)).c_str(), stdout);
        return 0;
    }

    std::string error;
    if (!MakeFolder(args.out)) {
        std::fprintf(stderr, "quillon-gentree: cannot create %s: %s\n", args.out.c_str(), std::strerror(errno));
        return 1;
    }
    if (!CTreeWriter::WriteTree(plan, args.out + "/tree", error) ||
        !CTreeWriter::WriteManifest(summary, header, args.out + "/manifest.txt", error)) {
        std::fprintf(stderr, "quillon-gentree: %s\n", error.c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fputs((header + CTreeWriter::FormatSummary(summary)).c_str(), stdout);
    std::fprintf(stderr, "quillon-gentree: wrote %s/tree in %.1f s\n", args.out.c_str(), seconds);
    return 0;
}
