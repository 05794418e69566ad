// The results list of the real main window (offscreen) with many rows: filling it, a header click
// that carries 10,000 marks across the re-sort, painting one screenful, and the memory a row takes.
// Run: QT_QPA_PLATFORM=offscreen build/bench/quillon_gui_bench
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "app/QuillonDlg.h"
#include "engine/Catalogue.h"
#include "widgets/Notify.h"

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "quillon_gui_bench";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// n rows in groups of 2 to 4 files, with paths of the length photo collections have.
void MakeRows(int n)
{
    g_duplicates.clear();
    g_duplicates.reserve(static_cast<size_t>(n));
    std::mt19937 random(7);
    while (static_cast<int>(g_duplicates.size()) < n) {
        const int copies = 1 + static_cast<int>(random() % 3);
        const std::u16string folder = u"/home/ann/Pictures/" + std::u16string(u"2019/") +
            std::u16string(1, static_cast<char16_t>(u'a' + random() % 26)) + u"/";
        std::string number = std::to_string(random());
        const CPathString original(folder + u"IMG_" + std::u16string(number.begin(), number.end()) + u".jpg");
        const uint64_t size = 1000 + random() % 10000000;
        for (int c = 0; c < copies && static_cast<int>(g_duplicates.size()) < n; ++c) {
            std::string other = std::to_string(random());
            const CPathString duplicate(u"/media/backup/Pictures/" + std::u16string(other.begin(), other.end()) +
                                        u"/IMG_copy.jpg");
            g_duplicates.push_back(CDuplicatePair{original, duplicate, size, 1, 2});
        }
    }
}

std::unique_ptr<CQuillonDlg> OpenDialog()
{
    App();
    auto dialog = std::make_unique<CQuillonDlg>();
    dialog->Create();
    dialog->resize(1000, 760);
    dialog->show();
    QApplication::processEvents();
    return dialog;
}

void BM_FillResults(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    MakeRows(rows);
    auto dialog = OpenDialog();
    for (auto _ : state) {
        dialog->FillResults();
        benchmark::DoNotOptimize(dialog->ResultsList().GetItemCount());
    }
    // What the list holds per row, measured on a fresh fill into an empty list.
    dialog->ResultsList().DeleteAllItems();
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks;
    dialog->FillResults();
    const size_t after = mallinfo2().uordblks;
    state.counters["bytes_per_row"] = static_cast<double>(after - before) / rows;
}
BENCHMARK(BM_FillResults)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HeaderClickKeepingMarks(benchmark::State& state)
{
    MakeRows(100000);
    auto dialog = OpenDialog();
    dialog->FillResults();
    std::mt19937 random(3);
    for (int mark = 0; mark < 10000; ++mark)
        dialog->Results().SetMark(static_cast<int>(random() % 100000), static_cast<int>(random() % 2), 1);
    CNotify click;
    click.column = 0;
    for (auto _ : state) {
        dialog->OnHeaderClick(click);  // flips the direction each time: every click re-sorts
        benchmark::DoNotOptimize(dialog->ResultsList().GetItemCount());
    }
}
BENCHMARK(BM_HeaderClickKeepingMarks)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintScreenful(benchmark::State& state)
{
    MakeRows(100000);
    auto dialog = OpenDialog();
    dialog->FillResults();
    dialog->EnableResultCommands();
    QWidget* rows = dialog->ResultsList().viewport();
    int scroll = 0;
    for (auto _ : state) {
        // A different screenful each time, as when scrolling.
        dialog->ResultsList().verticalScrollBar()->setValue(scroll = (scroll + 997) % 99000);
        rows->repaint();
    }
    state.counters["rows_shown"] = rows->height() / dialog->ResultsList().verticalHeader()->defaultSectionSize();
}
BENCHMARK(BM_PaintScreenful)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The window reads its placement from the store; keep the bench away from the user's.
    setenv("XDG_CONFIG_HOME", "/nonexistent-quillon-bench", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
