// quillon-window-search [--no-cache] [--repeat N] FOLDER...: one whole search (or N in a row) driven
// through the real main window
// (offscreen unless QT_QPA_PLATFORM says otherwise), from the click on "Search for Duplicates"
// to the filled results list; prints the totals of the status bar and the processor time the
// window thread used (what the window adds to the search). To time as a whole command
// against quillon-find on the same tree, e.g.
//   hyperfine -w1 'build/bench/quillon-window-search TREE' 'build/cli/quillon-find --no-progress TREE'
// The user's settings are neither read nor written; --no-cache leaves the digest cache kept
// between runs alone, as quillon-find --no-cache does. With --repeat N the same window searches N
// times and prints its resident memory (RSS) after each search, to show that searches do not
// accumulate memory, and the bytes the results list keeps per row (beside the rows themselves,
// whose paths it shares).
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "engine/DigestStore.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"
#include "res/ResourceIds.h"

namespace {

// The process's resident memory in KiB, from /proc.
long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1;
    int repeat = 1;
    for (bool more = true; more && argc > first;) {
        const std::string option = argv[first];
        if (option == "--no-cache") {
            g_digestStore = nullptr;
            ++first;
        } else if (option == "--repeat" && argc > first + 1) {
            repeat = std::max(1, std::atoi(argv[first + 1]));
            first += 2;
        } else {
            more = false;
        }
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: quillon-window-search [--no-cache] FOLDER...\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", "/nonexistent-quillon-bench", 1);
    QApplication app(argc, argv);
    for (int i = first; i < argc; ++i) {
        std::u16string folder = DecodeNativeName(argv[i]);
        AddTrailingBackslash(folder);
        theSettings.m_Folders.emplace_back(std::move(folder));
    }
    CQuillonDlg dialog;
    dialog.Create();
    dialog.show();
    for (int run = 1; run <= repeat; ++run) {
        QTest::mouseClick(dialog.GetDlgItem(IDC_BUTTON_SEARCH), Qt::LeftButton);
        while (dialog.IsSearching())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents();
        if (repeat > 1)
            std::printf("search %d: %d rows, RSS %ld KiB\n", run, dialog.ResultsList().GetItemCount(), ResidentKiB());
    }
    if (repeat > 1) {
        // A row of the list: its vector of three cells and the cells (the path texts are the rows').
        const size_t perRow = sizeof(CListControlModel::Row) + 3 * sizeof(CListControlModel::Cell);
        std::printf("the results list keeps %zu bytes per row (and a size text per group of equal sizes)\n", perRow);
    }
    timespec windowThread{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &windowThread);
    std::printf("%s  %s  %s  %s  window thread: %.3f s\n", qPrintable(dialog.StatusPane(1)->text()),
                qPrintable(dialog.StatusPane(2)->text()), qPrintable(dialog.StatusPane(3)->text()),
                qPrintable(dialog.StatusPane(4)->text()), windowThread.tv_sec + windowThread.tv_nsec / 1e9);
    return 0;
}
