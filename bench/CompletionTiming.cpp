// Google Benchmarks of the path edit's completion, on a folder of 10,000 subfolders:
//   ReadFolderAndShowList  typing the separator after a folder's path: the folder is listed into
//                          candidates, filtered, sorted and the drop-down shown and painted;
//   FilterKeystroke        one keystroke with the candidates already read: the filter over all
//                          10,000 candidates, the sort of the matches and the list shown again.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/ACEdit.h"
#include "platform/NativeName.h"

namespace {

constexpr int kSubfolders = 10000;

// Two folders of kSubfolders subfolders each, made once and removed at exit.
struct BenchTree {
    std::string root;
    std::string first;
    std::string second;
    BenchTree()
    {
        char pattern[] = "/tmp/quillon-completion-XXXXXX";
        root = mkdtemp(pattern);
        first = root + "/one";
        second = root + "/two";
        for (const std::string& folder : {first, second}) {
            mkdir(folder.c_str(), 0755);
            char name[32];
            for (int i = 0; i < kSubfolders; ++i) {
                std::snprintf(name, sizeof name, "/folder%05d", i);
                mkdir((folder + name).c_str(), 0755);
            }
        }
    }
    ~BenchTree() { std::filesystem::remove_all(root); }
};

BenchTree& Tree()
{
    static BenchTree tree;
    return tree;
}

// A shown window holding an attached path edit.
struct EditHost {
    QWidget window;
    CACEdit* edit;
    EditHost()
    {
        window.resize(600, 100);
        edit = new CACEdit(&window);
        edit->setGeometry(10, 10, 500, 22);
        edit->AttachToControl();
        edit->SetCompletionMode(ACEDIT_FILESYSTEM | ACEDIT_ONLY_FOLDERS, u"/");
        window.show();
        edit->setFocus();
    }
    void TypeSeparatorAfter(const std::string& folder)
    {
        edit->setText(QString::fromStdU16String(DecodeNativeName(folder)));
        QTest::keyClick(edit, Qt::Key_Slash, Qt::NoModifier);
    }
};

void ReadFolderAndShowList(benchmark::State& state)
{
    EditHost host;
    bool useFirst = true;
    for (auto _ : state) {
        // Alternating folders: each round reads its folder afresh.
        host.TypeSeparatorAfter(useFirst ? Tree().first : Tree().second);
        host.edit->ListWnd().repaint();
        useFirst = !useFirst;
    }
    if (host.edit->ListWnd().CandidateCount() != kSubfolders + 1 || !host.edit->IsListVisible())
        state.SkipWithError("the folder was not read into candidates");
}
BENCHMARK(ReadFolderAndShowList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void FilterKeystroke(benchmark::State& state)
{
    EditHost host;
    host.TypeSeparatorAfter(Tree().first);
    bool typeLetter = true;
    for (auto _ : state) {
        // "f" matches every candidate; the backspace back to the folder matches them all too.
        QTest::keyClick(host.edit, typeLetter ? Qt::Key_F : Qt::Key_Backspace, Qt::NoModifier);
        host.edit->ListWnd().repaint();
        typeLetter = !typeLetter;
    }
    if (host.edit->ListWnd().DisplayList().size() < static_cast<size_t>(kSubfolders))
        state.SkipWithError("the filter did not match the candidates");
}
BENCHMARK(FilterKeystroke)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    Tree();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
