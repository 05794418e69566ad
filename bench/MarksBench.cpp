// The selection commands on 100,000 rows, collecting 100,000 marks, and moving 1,000 marked files
// to the trash. Runs on the offscreen platform with a private data folder (the trash lands in a
// temporary folder that is removed afterwards).
//   build/bench/quillon_marks_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/NativeName.h"
#include "res/ResourceIds.h"
#include "results/DeleteMarked.h"
#include "results/ListControlMem.h"
#include "results/ResultsView.h"
#include "results/SelectionCommands.h"
#include "results/TrashCan.h"

namespace {

constexpr int kRows = 100000;

// A results list of 100,000 rows: groups of three files in 1,000 folders, varied times.
struct Rows {
    std::vector<CDuplicatePair> pairs;
    CListControlMem list;
    CResultsView view{list, pairs};
    CSelectionCommands commands{view};

    Rows()
    {
        list.resize(800, 600);
        list.InsertColumn(0, QStringLiteral("Original"), LVCFMT_LEFT, 300);
        list.InsertColumn(1, QStringLiteral("Duplicate"), LVCFMT_LEFT, 300);
        list.InsertColumn(2, QStringLiteral("Size"), LVCFMT_LEFT, 100);
        pairs.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            CDuplicatePair pair;
            const int group = i / 2;
            pair.originalPath = QStringLiteral("/data/photos/folder%1/image%2.jpg").arg(group % 1000).arg(group).toStdU16String();
            pair.duplicatePath = QStringLiteral("/data/backup/folder%1/copy%2.%3")
                                     .arg(i % 1000)
                                     .arg(i)
                                     .arg(i % 3 ? "jpg" : "tmp")
                                     .toStdU16String();
            pair.size = 1000 + static_cast<uint64_t>(group);
            pair.originalTime = 1000 + static_cast<FileTime>(i % 7);
            pair.duplicateTime = 1000 + static_cast<FileTime>(i % 5);
            pairs.push_back(pair);
        }
        view.Fill();
    }
};

// Made on first use, destroyed before the application object.
std::unique_ptr<Rows> g_rows;

Rows& SharedRows()
{
    if (!g_rows)
        g_rows = std::make_unique<Rows>();
    return *g_rows;
}

template <class Command>
void RunCommand(benchmark::State& state, Command command)
{
    Rows& rows = SharedRows();
    for (auto _ : state) {
        state.PauseTiming();
        rows.commands.DeselectAll();
        state.ResumeTiming();
        command(rows);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_SelectNewer(benchmark::State& state)
{
    RunCommand(state, [](Rows& rows) { rows.commands.SelectByTime(ID_SELECT_NEWER); });
}
void BM_SelectOlder(benchmark::State& state)
{
    RunCommand(state, [](Rows& rows) { rows.commands.SelectByTime(ID_SELECT_OLDER); });
}
void BM_SelectFolder(benchmark::State& state)
{
    RunCommand(state, [](Rows& rows) { rows.commands.SelectFolder(u"/data/backup/folder7"); });
}
void BM_SelectPattern(benchmark::State& state)
{
    RunCommand(state, [](Rows& rows) { rows.commands.SelectPattern(u"*.tmp;*/folder1?/*"); });
}

void BM_Deselect(benchmark::State& state)
{
    Rows& rows = SharedRows();
    for (auto _ : state) {
        state.PauseTiming();
        rows.commands.SelectPattern(u"*");
        rows.commands.SelectByTime(ID_SELECT_NEWER);
        state.ResumeTiming();
        rows.commands.DeselectAll();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_CollectMarkedFiles(benchmark::State& state)
{
    Rows& rows = SharedRows();
    rows.commands.DeselectAll();
    rows.commands.SelectPattern(u"*");  // 100,000 duplicates marked
    size_t marked = 0;
    for (auto _ : state) {
        // Fresh containers as every caller has; their release is not part of the collection.
        auto list = std::make_unique<std::vector<CPathString>>();
        auto set = std::make_unique<MarkedPathSet>();
        rows.view.CollectMarkedFiles(*list, *set);
        marked = list->size();
        state.PauseTiming();
        list.reset();
        set.reset();
        state.ResumeTiming();
    }
    state.counters["marked"] = static_cast<double>(marked);
}

void BM_Trash1000Files(benchmark::State& state)
{
    QTemporaryDir root;
    const std::string base = root.path().toStdString();
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    CTrashCan trash;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = base + "/tree" + std::to_string(round++);
        ::mkdir(folder.c_str(), 0700);
        std::vector<CFileRecord> records;
        std::vector<CPathString> marked;
        for (int i = 0; i < 1000; ++i) {
            const std::string path = folder + "/file" + std::to_string(i) + ".jpg";
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            (void)!::write(fd, "duplicate content", 17);
            ::close(fd);
            struct stat info {};
            ::stat(path.c_str(), &info);
            CFileRecord record;
            record.path = DecodeNativeName(path);
            record.size = static_cast<uint64_t>(info.st_size);
            record.lastWrite = FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
            record.changeTime = NanosecondsFromUnix(info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
            record.identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
            records.push_back(record);
            marked.push_back(record.path);
        }
        const FileList files(records.begin(), records.end());
        CDeleteMarked plan(SharedRows().view, marked, files);
        state.ResumeTiming();
        const std::vector<TrashOutcome> outcomes = plan.MoveAll(trash);
        state.PauseTiming();
        for (const TrashOutcome& outcome : outcomes) {
            if (outcome.result != TrashResult::Trashed)
                state.SkipWithError("a file was not trashed");
        }
        QDir(QString::fromStdString(base + "/data/Trash")).removeRecursively();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_SelectNewer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectOlder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Deselect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollectMarkedFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Trash1000Files)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_rows.reset();
    return 0;
}
